// The layer stack and its composition: the layer object, removal and current layer, rotation
// angles, merging, the two drawing paths, masks and the draw modes.
#include <gtest/gtest.h>

#include <cstring>

#include "common/tests/support/AllocationWatch.h"
#include "rastova/view/tests/ViewTestTools.h"

using namespace rv;
using ViewLayers = rv::viewtest::ViewLibraryTest;
using namespace rv::viewtest;

namespace {

int32_t AddLayerOfSize(TRastovaView& v, int32_t w, int32_t h) {
  const int32_t i = v.LayersAdd();
  FillPicture(*v.GetRVBitmap(), w, h);
  return i;
}

}  // namespace

TEST_F(ViewLayers, LayerIdentityDefaultsAndRotation) {
  TRastovaView v;
  TRVLayer a(&v, false, nullptr), b(&v, false, nullptr);
  EXPECT_NE(std::memcmp(a.Guid, b.Guid, 16), 0);
  EXPECT_EQ(a.Guid[7] >> 4, 4);  // a random identity: version 4 in Data3's high nibble
  EXPECT_EQ(a.Opacity, 255);
  EXPECT_EQ(a.MagnifierSource, 1);
  EXPECT_TRUE(a.OwnsBitmap);
  EXPECT_TRUE(a.Bitmap->IsEmpty());
  struct Case {
    double in, stored;
  } cases[] = {{360, 0}, {-720, 0}, {0, 0}, {359.5, 359.5}, {450, 450}, {90, 90}};
  for (const Case& c : cases) {
    a.SetRotation(c.in);
    EXPECT_EQ(a.Rotation, c.stored) << c.in;
  }
  EXPECT_EQ(a.ConvXScr2Bmp(10), 0);  // no display width and an empty bitmap
}

TEST_F(ViewLayers, AssignCopiesOwnedUserDataAndResetFreesIt) {
  TRastovaView v;
  TRVLayer a(&v, false, nullptr), b(&v, false, nullptr);
  a.UserData = std::malloc(4);
  std::memcpy(a.UserData, "abcd", 4);
  a.UserDataLen = 4;
  a.Name = "top";
  a.PosX = -3;
  a.SetRotation(30);
  b.Assign(a);
  EXPECT_EQ(b.UserDataLen, 4);
  ASSERT_NE(b.UserData, nullptr);
  EXPECT_NE(b.UserData, a.UserData);
  EXPECT_EQ(std::memcmp(b.UserData, "abcd", 4), 0);
  EXPECT_EQ(b.Name, "top");
  EXPECT_EQ(b.PosX, -3);
  EXPECT_EQ(b.Rotation, 0);
  a.Reset();
  EXPECT_EQ(a.UserData, nullptr);
  EXPECT_EQ(a.UserDataLen, 0);
  EXPECT_EQ(std::memcmp(b.UserData, "abcd", 4), 0);
  // A block the source does not own is shared, not copied.
  char shared[2] = {'x', 'y'};
  a.UserData = shared;
  b.Assign(a);
  EXPECT_EQ(b.UserData, shared);
  EXPECT_EQ(b.UserDataLen, 0);
}

TEST_F(ViewLayers, RemovalKeepsTheRightLayerCurrent) {
  TRastovaView v;
  FillPicture(*v.GetRVBitmap(), 6, 6);
  const int32_t l1 = AddLayerOfSize(v, 5, 5), l2 = AddLayerOfSize(v, 4, 4);
  TRVLayer* layer1 = v.GetLayer(l1);
  EXPECT_EQ(v.FLayersCurrent, 2);
  // Removing the current top layer makes the new top one current.
  v.LayersRemove(l2);
  EXPECT_EQ(v.GetLayersCount(), 2);
  EXPECT_EQ(v.FLayersCurrent, 1);
  EXPECT_EQ(v.GetRVBitmap(), layer1->Bitmap);
  // Removing a layer below the current one keeps the same layer current.
  AddLayerOfSize(v, 3, 3);
  TRVLayer* top = v.GetCurrentLayer();
  v.LayersRemove(1);
  EXPECT_EQ(v.GetCurrentLayer(), top);
  EXPECT_EQ(v.FLayersCurrent, 1);
  // A layer followed by its mask goes with it, but never the last layers of the view.
  AddLayerOfSize(v, 2, 2);
  v.GetLayer(2)->IsMask = true;
  v.LayersRemove(1);
  EXPECT_EQ(v.GetLayersCount(), 1);
  EXPECT_EQ(v.FLayersCurrent, 0);
  AddLayerOfSize(v, 2, 2);
  v.GetLayer(1)->IsMask = true;
  v.LayersRemove(0);
  EXPECT_EQ(v.GetLayersCount(), 2);
  v.LayersRemove(1);
  EXPECT_EQ(v.GetLayersCount(), 1);
  v.LayersRemove(0);
  EXPECT_EQ(v.GetLayersCount(), 1);
  EXPECT_THROW(v.GetLayer(3), std::out_of_range);
}

TEST_F(ViewLayers, UnselectableLayersAreSkipped) {
  for (bool skip : {true, false}) {
    TRastovaView v;
    FillPicture(*v.GetRVBitmap(), 6, 6);
    AddLayerOfSize(v, 5, 5);
    AddLayerOfSize(v, 4, 4);
    v.SetCurrentLayer(0);
    v.GetLayer(1)->Selectable = false;
    v.GetLayer(2)->Selectable = false;
    v.FSkipUnselectableLayers = skip;
    int changes = 0;
    v.AddBitmapChangeHandler([&](bool destroying) {
      if (!destroying) ++changes;  // the counter is gone when the view is destroyed
    });
    v.SetCurrentLayer(2);
    EXPECT_EQ(v.FLayersCurrent, skip ? 0 : 2);
    EXPECT_EQ(changes, 1);
  }
}

TEST_F(ViewLayers, MergeWithANegativePositionWidensTheImage) {
  TRastovaView v;
  v.WriteBackground(0x00FFFFFF);
  FillPicture(*v.GetRVBitmap(), 6, 4);
  AddLayerOfSize(v, 3, 2);
  v.GetCurrentLayer()->PosX = -4;
  v.GetCurrentLayer()->PosY = 1;
  v.LayersMergeAll();
  ASSERT_EQ(v.GetLayersCount(), 1);
  TRVBitmap& m = *v.GetRVBitmap();
  EXPECT_EQ(m.GetWidth(), 10);
  EXPECT_EQ(m.GetHeight(), 4);
  // Layer 0 moved right by 4; the layer's pixels at its place; white where nothing was.
  EXPECT_TRUE(m.GetPixels_rv24RGB(4, 0) == PictureColour(0, 0));
  EXPECT_TRUE(m.GetPixels_rv24RGB(9, 3) == PictureColour(5, 3));
  EXPECT_TRUE(m.GetPixels_rv24RGB(0, 1) == PictureColour(0, 0));
  EXPECT_TRUE(m.GetPixels_rv24RGB(2, 2) == PictureColour(2, 1));
  EXPECT_TRUE(m.GetPixels_rv24RGB(0, 0) == (TRGB{255, 255, 255}));
}

TEST_F(ViewLayers, WholeViewAndPositionedPaths) {
  TViewInWindow w(20, 16);
  w.SetPicture(12, 10);
  w.view->SetZoom(200);
  w.view->SetViewXY(4, 2);
  w.Paint();
  TRVLayer& l = *w.view->GetLayer(0);
  // The whole-view path draws only the visible source.
  EXPECT_EQ(l.DrawSource[0], 2);
  EXPECT_EQ(l.DrawSource[2], 10);
  const TRGB before = SurfacePixel(*w.view, 5, 5);
  // One pixel to the right: the positioned path draws the whole bitmap, one zoomed pixel further.
  l.PosX = 1;
  w.view->Update();
  w.Paint();
  EXPECT_EQ(l.DrawSource[0], 0);
  EXPECT_EQ(l.DrawSource[2], 12);
  EXPECT_TRUE(SurfacePixel(*w.view, 7, 5) == before);
  EXPECT_EQ(l.ScreenRect.Left, -2);
}

TEST_F(ViewLayers, MasksAndDrawModes) {
  TViewInWindow w(20, 16);
  w.view->WriteBackground(0x00000000);
  w.SetPicture(8, 6);
  // A mask layer over layer 1 hides its left half.
  const int32_t top = AddLayerOfSize(*w.view, 8, 6);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x) *w.view->GetRVBitmap()->GetPPixels_rv24RGB(x, y) = TRGB{0, 0, 255};
  const int32_t mask = w.view->LayersAdd();
  TRVBitmap& mb = *w.view->GetRVBitmap();
  mb.Allocate(8, 6, rv8g);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x) mb.SetPixels_rv8(x, y, x < 4 ? 0 : 255);
  w.view->GetLayer(mask)->IsMask = true;
  w.view->GetLayer(mask)->Visible = false;
  w.view->Update();
  w.Paint();
  const int32_t ox = w.view->FOffsetX, oy = w.view->FOffsetY;
  EXPECT_TRUE(SurfacePixel(*w.view, ox + 1, oy + 1) == PictureColour(1, 1));
  EXPECT_TRUE(SurfacePixel(*w.view, ox + 6, oy + 1) == (TRGB{0, 0, 255}));
  EXPECT_NE(w.view->GetLayer(top)->MaskedAlphaCache, nullptr);
  EXPECT_FALSE(w.view->GetLayer(top)->Bitmap->HasAlphaBitmap());
  // A mask without pixels masks nothing.
  w.view->SetCurrentLayer(0);
  mb.FreeImage(true);
  w.view->Update();
  w.Paint();
  EXPECT_TRUE(SurfacePixel(*w.view, ox + 1, oy + 1) == (TRGB{0, 0, 255}));
  // Draw mode 2 greys outside layer 0 but not its bottom-right corner; mode 3 lightens it.
  struct Case {
    uint8_t mode;
    TRGB corner;
  } cases[] = {{2, TRGB{0, 0, 0}}, {3, TRGB{60, 60, 60}}};
  for (const Case& c : cases) {
    w.view->FLayersDrawMode = c.mode;
    w.view->Update();
    w.Paint();
    const TRVLayer& l0 = *w.view->GetLayer(0);
    const int32_t cx = l0.DrawDest[0] + l0.DrawDest[2], cy = l0.DrawDest[1] + l0.DrawDest[3];
    EXPECT_TRUE(SurfacePixel(*w.view, cx, cy) == c.corner) << int(c.mode);
  }
  EXPECT_TRUE(SurfacePixel(*w.view, 0, 0) == (TRGB{60, 60, 60}));
}

TEST_F(ViewLayers, RotatedLayerCornersAndFixRotation) {
  TViewInWindow w(40, 40);
  w.SetPicture(10, 10);
  AddLayerOfSize(*w.view, 4, 2);
  TRVLayer& l = *w.view->GetCurrentLayer();
  l.PosX = 3;
  l.PosY = 3;
  l.SetRotation(90);
  w.view->Update();
  w.Paint();
  EXPECT_TRUE(w.view->IsPointInLayer(l.Corners[0].x, l.Corners[0].y, 1) ||
              w.view->IsPointInLayer((l.Corners[0].x + l.Corners[2].x) / 2,
                                     (l.Corners[0].y + l.Corners[2].y) / 2, 1));
  w.view->LayersFixRotations(-1);
  EXPECT_EQ(l.Rotation, 0);
  EXPECT_EQ(l.Bitmap->GetWidth(), 2);
  EXPECT_EQ(l.Bitmap->GetHeight(), 4);
}

TEST_F(ViewLayers, MagnifierShowsTheBottomLayerEnlarged) {
  TViewInWindow w(30, 30);
  w.SetPicture(12, 12);
  const int32_t i = AddLayerOfSize(*w.view, 4, 4);
  TRVLayer& l = *w.view->GetLayer(i);
  l.PosX = 4;
  l.PosY = 4;
  l.MagnifierEnabled = true;
  l.MagnifierRate = 2.0;
  l.MagnifierSource = 0;
  w.view->SetCurrentLayer(0);
  w.view->Update();
  w.Paint();
  // The area of half the layer's size around its centre, one pixel more (columns 5 to 7), is
  // drawn over the layer's 4 x 4 pixels.
  const int32_t ox = w.view->FOffsetX + 4, oy = w.view->FOffsetY + 4;
  EXPECT_TRUE(SurfacePixel(*w.view, ox, oy) == PictureColour(5, 5));
  EXPECT_TRUE(SurfacePixel(*w.view, ox + 3, oy + 3) == PictureColour(7, 7));
  // A rate below 1 draws the layer as it is.
  l.MagnifierRate = 0.5;
  FillPicture(*l.Bitmap, 4, 4);
  w.view->Update();
  w.Paint();
  EXPECT_TRUE(SurfacePixel(*w.view, ox, oy) == PictureColour(0, 0));
}

namespace {

// A layer whose pixels are all one colour.
int32_t AddSolidLayer(TRastovaView& v, int32_t w, int32_t h, TRGB colour) {
  const int32_t i = v.LayersAdd();
  TRVBitmap& b = *v.GetRVBitmap();
  b.Allocate(w, h, rv24RGB);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) *b.GetPPixels_rv24RGB(x, y) = colour;
  return i;
}

}  // namespace

TEST_F(ViewLayers, APaintMakesNoPictureLargerThanItShowsOrTheLayerHolds) {
  // A 4 x 2 layer shown at 3,000 x 1,500 in a 40 x 40 view: the magnifier and the rotation would
  // make the layer 3,000 x 1,500 (13.5 MB) to show 1,600 pixels of it.
  constexpr size_t kBound = size_t(1) << 20;
  {
    SCOPED_TRACE("rotated by 90 degrees");
    TViewInWindow w(40, 40);
    w.SetPicture(10, 10);
    const TRGB red{0, 0, 255};
    TRVLayer& l = *w.view->GetLayer(AddSolidLayer(*w.view, 4, 2, red));
    l.PosX = 3;
    l.PosY = 3000;
    l.DisplayWidth = 3000;
    l.DisplayHeight = 1500;
    l.RotateCenterX = l.RotateCenterY = 0;
    l.SetRotation(90);
    w.view->Update();
    EXPECT_LT(test_support::LargestAllocationDuring([&] { w.Paint(); }), kBound);
    // Still drawn where it belongs: turned counter-clockwise about its top-left corner, 1,500
    // wide and 3,000 high, from (3, 0) on; its corners those of the display size.
    EXPECT_EQ(l.DisplayWidth, 3000);
    const int32_t ox = w.view->FOffsetX, oy = w.view->FOffsetY;
    EXPECT_EQ(l.ScreenRect.Left, ox + 3);
    EXPECT_EQ(l.ScreenRect.Top, oy);
    EXPECT_EQ(l.ScreenRect.Right - l.ScreenRect.Left, 1500);
    EXPECT_EQ(l.ScreenRect.Bottom - l.ScreenRect.Top, 3000);
    EXPECT_EQ(l.Corners[2].x - l.Corners[0].x, 1500);
    EXPECT_EQ(l.Corners[2].y - l.Corners[0].y, -3000);
    EXPECT_TRUE(SurfacePixel(*w.view, ox + 20, oy + 20) == red);
  }
  for (uint8_t source : {uint8_t(0), uint8_t(1)}) {
    SCOPED_TRACE(source == 0 ? "magnifier of the bottom layer" : "magnifier of the composed picture");
    TViewInWindow w(40, 40);
    w.SetPicture(10, 10);
    TRVLayer& l = *w.view->GetLayer(AddSolidLayer(*w.view, 4, 2, TRGB{0, 0, 255}));
    l.PosX = 3;
    l.PosY = 3;
    l.DisplayWidth = 3000;
    l.DisplayHeight = 1500;
    l.MagnifierEnabled = true;
    l.MagnifierSource = source;
    w.view->SetCurrentLayer(0);
    w.view->Update();
    EXPECT_LT(test_support::LargestAllocationDuring([&] { w.Paint(); }), kBound);
    EXPECT_LE(int64_t(l.Bitmap->GetWidth()) * l.Bitmap->GetHeight(), 40 * 40);
    EXPECT_EQ(l.GetDisplayWidth(), 3000);
    EXPECT_EQ(l.GetDisplayHeight(), 1500);
    EXPECT_EQ(l.ScreenRect.Right - l.ScreenRect.Left, 3000);
  }
  {
    // A side without a display size of its own keeps the bitmap's, also when the bitmap shrinks.
    TViewInWindow w(40, 40);
    w.SetPicture(10, 10);
    TRVLayer& l = *w.view->GetLayer(AddSolidLayer(*w.view, 4, 2, TRGB{0, 0, 255}));
    l.DisplayHeight = 100000;
    l.MagnifierEnabled = true;
    w.view->SetCurrentLayer(0);
    w.view->Update();
    EXPECT_LT(test_support::LargestAllocationDuring([&] { w.Paint(); }), kBound);
    EXPECT_EQ(l.GetDisplayWidth(), 4);
    EXPECT_EQ(l.GetDisplayHeight(), 100000);
  }
}
