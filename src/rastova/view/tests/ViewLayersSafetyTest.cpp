// The layer stack where it used to lose track of its images: removing a layer together with its
// mask below, above or at the current layer, a layer shown with its own picture as an external
// one, the draw mode that lightens the area outside layer 0 by a caller's amount, and layers and
// selections moved to the ends of the integer range.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "rastova/view/tests/ViewTestTools.h"

using namespace rv;
using namespace rv::viewtest;
using ViewLayersSafety = rv::viewtest::ViewLibraryTest;

namespace layerssafety {

// The view's current layer is valid and its image is the one the view works on.
void ExpectConsistent(TRastovaView& v, const std::string& what) {
  ASSERT_GE(v.FLayersCurrent, 0) << what;
  ASSERT_LT(v.FLayersCurrent, v.GetLayersCount()) << what;
  ASSERT_NE(v.GetCurrentLayer(), nullptr) << what;
  EXPECT_EQ(v.GetRVBitmap(), v.GetCurrentLayer()->Bitmap) << what;
}

// Layer 2 is the mask of layer 1; removing layer 1 takes both. The layer that was current stays
// current under its new index; when it went, the layer that moved into the removed place (or
// the new top) becomes current. A second removal then never frees the image the view draws.
TEST_F(ViewLayersSafety, RemovingALayerWithItsMaskKeepsTheCurrentLayer) {
  struct Case {
    int32_t layers, current;
    int32_t expected;  // original index of the layer current afterwards
  } cases[] = {
      {4, 3, 3}, {5, 3, 3}, {5, 4, 4}, {4, 0, 0}, {4, 1, 3}, {4, 2, 3}, {5, 2, 3}, {3, 2, 0}, {3, 1, 0},
  };
  for (const Case& c : cases) {
    const std::string what = std::to_string(c.layers) + " layers, " + std::to_string(c.current) + " current";
    TViewInWindow w{40, 30};
    TRastovaView& v = *w.view;
    w.SetPicture(12, 10);
    std::vector<TRVLayer*> original{v.GetLayer(0)};
    for (int32_t i = 1; i < c.layers; ++i) {
      original.push_back(v.GetLayer(v.LayersAdd()));
      FillPicture(*v.GetRVBitmap(), 12 - i, 10 - i);
    }
    v.GetLayer(2)->IsMask = true;
    v.SetCurrentLayer(c.current);
    ASSERT_EQ(v.FLayersCurrent, c.current) << what;
    v.LayersRemove(1);
    EXPECT_EQ(v.GetLayersCount(), c.layers - 2) << what;
    ExpectConsistent(v, what);
    EXPECT_EQ(v.GetCurrentLayer(), original[size_t(c.expected)]) << what;
    w.Paint();
    v.LayersRemove(1);
    ExpectConsistent(v, what + ", removed again");
    v.Update();
    w.Paint();
  }
}

// A layer given its own picture as an external one keeps it, and keeps owning it; a layer that
// already shows an external picture and gets it again goes on not owning it.
TEST_F(ViewLayersSafety, ExternalBitmapThatIsTheLayersOwnPicture) {
  TViewInWindow w{30, 30};
  TRastovaView& v = *w.view;
  w.SetPicture(8, 6);
  for (bool legacy : {true, false}) {
    v.WriteLegacyBitmap(legacy);
    TRVBitmap* own = v.GetRVBitmap();
    v.SetExternalBitmap(own);
    EXPECT_EQ(v.GetRVBitmap(), own) << legacy;
    EXPECT_TRUE(v.GetCurrentLayer()->OwnsBitmap) << legacy;
    EXPECT_TRUE(*own->GetPPixels_rv24RGB(3, 2) == PictureColour(3, 2)) << legacy;
    v.Update();
    w.Paint();
  }
  TRVBitmap external;
  FillPicture(external, 5, 4);
  v.SetExternalBitmap(&external);
  v.SetExternalBitmap(&external);
  EXPECT_FALSE(v.GetCurrentLayer()->OwnsBitmap);
  EXPECT_EQ(v.GetRVBitmap(), &external);
  v.SetExternalBitmap(nullptr);
  EXPECT_TRUE(*external.GetPPixels_rv24RGB(4, 3) == PictureColour(4, 3));
}

// Draw mode 3 adds the caller's parameter to every channel outside layer 0, clamped to 0..255,
// however large the parameter is.
TEST_F(ViewLayersSafety, DrawModeThreeWithParametersPastTheByteRange) {
  TViewInWindow w{20, 16};
  w.view->WriteBackground(platform::RGB(10, 20, 30));
  w.SetPicture(8, 6);
  w.view->FLayersDrawMode = 3;
  struct Case {
    int32_t param;
    TRGB outside;
  } cases[] = {
      {INT_MAX, TRGB{255, 255, 255}}, {INT_MAX - 5, TRGB{255, 255, 255}},
      {300, TRGB{255, 255, 255}},     {INT_MIN, TRGB{0, 0, 0}},
      {-300, TRGB{0, 0, 0}},          {5, TRGB{35, 25, 15}},
  };
  for (const Case& c : cases) {
    w.view->FLayersDrawParam = c.param;
    w.view->Update();
    w.Paint();
    EXPECT_TRUE(SurfacePixel(*w.view, 0, 0) == c.outside) << c.param;
  }
}

TEST_F(ViewLayersSafety, ALayerAtTheEndsOfTheRangeIsNotDrawnOverThePicture) {
  // Its screen edges are rounded towards the picture position they map back to; at the ends of
  // the range that step wrapped round and put the far layer's edge at the other end.
  TViewInWindow w{20, 16};
  w.SetPicture(8, 6);
  TRastovaView& v = *w.view;
  v.LayersAdd();
  FillPicture(*v.GetRVBitmap(), 4, 4);
  v.GetRVBitmap()->Fill(0x0000FF);
  v.SetCurrentLayer(0);
  for (double zoom : {100.0, 33.3, 50.0, 300.0}) {
    // The picture as it shows without the far layer.
    v.SetZoom(zoom);
    v.GetLayer(1)->Visible = false;
    v.Update();
    w.Paint();
    std::vector<TRGB> alone;
    for (int32_t y = 0; y < 16; ++y)
      for (int32_t x = 0; x < 20; ++x) alone.push_back(SurfacePixel(v, x, y));
    v.GetLayer(1)->Visible = true;
    for (int32_t pos : {INT_MAX, INT_MAX - 1, INT_MAX - 3, INT_MIN, INT_MIN + 1}) {
      SCOPED_TRACE(::testing::Message() << zoom << " % at " << pos);
      v.SetZoom(zoom);
      v.GetLayer(1)->PosX = pos;
      v.GetLayer(1)->PosY = pos;
      v.Update();
      w.Paint();
      size_t same = 0;
      for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 20; ++x) same += SurfacePixel(v, x, y) == alone[size_t(y * 20 + x)];
      EXPECT_EQ(same, alone.size());
    }
  }
}

TEST_F(ViewLayersSafety, ASelectionMovedByTheEndsOfTheRangeStopsAtThePictureEdge) {
  // The deltas are a caller's; added to the corners in 32 bits they wrapped round.
  TViewInWindow w{80, 60};
  w.SetPicture(64, 48);
  TRastovaView& v = *w.view;
  for (bool cut : {false, true}) {
    SCOPED_TRACE(cut ? "cut at the borders" : "kept whole");
    v.SelectRectangle(10, 10, 30, 20, 0);
    TRVSelectionPolygon& r = *v.FSelectionPolygon;
    v.MoveSelection(INT_MAX, INT_MAX, cut);
    EXPECT_EQ((std::vector<int32_t>{r.X1, r.Y1, r.X2, r.Y2}), (std::vector<int32_t>{44, 38, 64, 48}));
    v.MoveSelection(INT_MIN, INT_MIN, cut);
    EXPECT_EQ((std::vector<int32_t>{r.X1, r.Y1, r.X2, r.Y2}), (std::vector<int32_t>{0, 0, 20, 10}));
    for (const TRVPoint& p : r.Points) {
      EXPECT_GE(p.x, 0);
      EXPECT_LE(p.x, 64);
    }
  }
}

TEST_F(ViewLayersSafety, AClientAreaSelectionAtTheEndsOfTheRangeCoversThePicture) {
  // Window coordinates are moved by the layer's position before they map to the picture; at the
  // ends of the range that difference wrapped round.
  TViewInWindow w{80, 60};
  w.SetPicture(64, 48);
  TRastovaView& v = *w.view;
  v.FSelectionBase = rvsbClientArea;
  for (int32_t pos : {14, -14}) {
    SCOPED_TRACE(pos);
    v.GetCurrentLayer()->PosX = v.GetCurrentLayer()->PosY = pos;
    v.SelectRectangle(INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0);
    const TRVSelectionPolygon& r = *v.FSelectionPolygon;
    EXPECT_EQ((std::vector<int32_t>{r.X1, r.Y1, r.X2, r.Y2}), (std::vector<int32_t>{0, 0, 64, 48}));
  }
}

TEST_F(ViewLayersSafety, GripsOfALayerAtTheEndsOfTheRangeStayInIt) {
  // The grip boxes around a layer's corners and side midpoints saturate instead of wrapping round
  // to the other end of the range, turned or not.
  TViewInWindow w{80, 60};
  w.SetPicture(64, 48);
  TRastovaView& v = *w.view;
  v.LayersAdd();
  FillPicture(*v.GetRVBitmap(), 4, 4);
  for (double rotation : {0.0, 30.0}) {
    for (int32_t pos : {INT_MAX, INT_MIN, INT_MAX - 2}) {
      SCOPED_TRACE(::testing::Message() << rotation << " at " << pos);
      v.GetCurrentLayer()->PosX = v.GetCurrentLayer()->PosY = pos;
      v.GetCurrentLayer()->SetRotation(rotation);
      v.Update();
      w.Paint();
      platform::TRect grips[9];
      v.GetLayerGripRects(v.FLayersCurrent, grips);
      for (const platform::TRect& g : grips) {
        EXPECT_LE(g.Left, g.Right);
        EXPECT_LE(g.Top, g.Bottom);
      }
      EXPECT_EQ(v.HitLayerGrip(10, 10), TRVGrip::rvNone);
    }
  }
}

}  // namespace layerssafety
