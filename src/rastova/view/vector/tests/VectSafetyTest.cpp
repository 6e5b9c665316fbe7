// The object store where a caller's values used to reach freed or foreign memory: an object's
// own picture or slot given back to it, alpha planes that do not fit the picture, and moves,
// resizes and extents at the ends of the 32-bit range.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <memory>
#include <string>

#include "rastova/view/vector/tests/VectTestTools.h"

using namespace rv;
using namespace rv::vecttest;

namespace vectsafety {

class VectSafety : public viewtest::ViewLibraryTest {};

constexpr TRVVStyle kEveryStyle = rvvsSelectable | rvvsMoveable | rvvsSizeable | rvvsVisible;

std::unique_ptr<TRVBitmap> Grey(int32_t w, int32_t h, uint8_t v, TRVPixelFormat f = rv24RGB) {
  auto b = std::make_unique<TRVBitmap>(w, h, f);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      if (f == rv24RGB)
        *b->GetPPixels_rv24RGB(x, y) = TRGB{v, v, v};
      else
        b->SetPixels_rv8(x, y, v);
    }
  return b;
}

std::array<int32_t, 4> Box(const TRVVObjRecord& o) { return {o.X1, o.Y1, o.X2, o.Y2}; }

// Writing an object's picture or slot back to it keeps the picture: it is looked up (or
// copied) before the object's slot is released. With sharing on the slot and its count stay;
// with it off the object gets a copy of equal pixels.
TEST_F(VectSafety, AnObjectsOwnPictureOrSlotGivenBack) {
  for (bool share : {true, false}) {
    TVectInWindow w(40, 40, 40, 40);
    TRastovaVect& v = *w.vect;
    v.ShareBitmaps = share;
    TRVVObjRecord r = Obj(v, rvkBITMAP, 2, 2, 9, 7);
    r.Style = kEveryStyle;
    const int32_t a = v.AddNewObject(r), b = v.AddNewObject(r);
    auto picture = Grey(8, 6, 40);
    v.SetObjBitmap(a, picture.get());
    v.SetObjBitmap(b, Grey(8, 6, 90).get());
    auto expectPicture = [&](int32_t h, uint8_t grey, const std::string& what) {
      TRVBitmap* p = v.GetObjBitmap(h);
      ASSERT_NE(p, nullptr) << what;
      ASSERT_EQ(p->GetWidth(), 8) << what;
      EXPECT_EQ(p->GetPPixels_rv24RGB(5, 4)->g, grey) << what;
      EXPECT_EQ(v.SharedBitmaps[size_t(v.GetObj(h)->BitmapIdx)].RefCount, 1) << what;
    };
    const std::string mode = share ? "shared" : "not shared";
    v.SetObjBitmap(a, v.GetObjBitmap(a));
    expectPicture(a, 40, mode + ": own picture");
    v.ShareObjBitmap(a, v.GetObj(a)->BitmapIdx);
    expectPicture(a, 40, mode + ": own slot");
    v.SetObjBitmap(kObjTemplate, v.GetObjBitmap(kObjTemplate));
    EXPECT_NE(v.GetObjBitmap(kObjTemplate), nullptr) << mode;
    // Another object's picture: shared or copied, never lost.
    v.SetObjBitmap(a, v.GetObjBitmap(b));
    EXPECT_EQ(v.GetObjBitmap(a)->GetPPixels_rv24RGB(5, 4)->g, 90) << mode;
    EXPECT_EQ(v.GetObj(a)->BitmapIdx == v.GetObj(b)->BitmapIdx, share) << mode;
    EXPECT_EQ(v.GetObjBitmap(b)->GetPPixels_rv24RGB(5, 4)->g, 90) << mode;
    double d;
    EXPECT_EQ(v.FindObjectAt(5, 4, d, false), b) << mode;
    w.Paint();
  }
}

// The alpha plane of an object's picture is one 8-bit value per picture pixel. A plane of the
// picture's size is taken (converted to 8-bit grey when it is not); a plane of another size is
// refused, as the write is for an object without a picture, and hit testing reads only inside
// the plane.
TEST_F(VectSafety, AlphaPlanesThatDoNotFitThePicture) {
  TVectInWindow w(60, 40, 60, 40);
  TRastovaVect& v = *w.vect;
  TRVVObjRecord r = Obj(v, rvkBITMAP, 0, 0, 32, 16);
  r.Style = kEveryStyle;
  const int32_t h = v.AddNewObject(r);
  v.SetObjBitmap(h, Grey(33, 17, 40).get());
  // A fitting plane, transparent at the top-left.
  auto plane = Grey(33, 17, 255, rv8g);
  plane->SetPixels_rv8(0, 0, 0);
  v.SetObjBitmapAlpha(h, plane.get());
  EXPECT_EQ(v.ObjectDistance(*v.GetObj(h), 0, 0), 1000);
  EXPECT_EQ(v.ObjectDistance(*v.GetObj(h), 20, 10), 0);
  double d;
  struct Case {
    const char* what;
    int32_t w, h;
    TRVPixelFormat format;
    bool taken;
  } cases[] = {
      {"3 x 2", 3, 2, rv8g, false},          {"33 x 2", 33, 2, rv8g, false},
      {"3 x 17", 3, 17, rv8g, false},        {"34 x 18", 34, 18, rv8g, false},
      {"1-bit 3 x 2", 3, 2, rv1g, false},    {"24-bit 33 x 17", 33, 17, rv24RGB, true},
      {"1-bit 33 x 17", 33, 17, rv1g, true},
  };
  for (const Case& c : cases) {
    v.SetObjBitmapAlpha(h, plane.get());
    TRVBitmap given(c.w, c.h, c.format);  // all 0: everything transparent
    given.Fill(0);
    v.SetObjBitmapAlpha(h, &given);
    TRVBitmap& alpha = *v.GetObjBitmapAlpha(h);
    EXPECT_EQ(alpha.GetWidth(), 33) << c.what;
    EXPECT_EQ(alpha.GetHeight(), 17) << c.what;
    EXPECT_EQ(alpha.GetPixelFormat(), rv8g) << c.what;
    EXPECT_EQ(alpha.GetPixels_rv8(32, 16), c.taken ? 0 : 255) << c.what;
    for (int32_t y = 0; y <= 16; ++y)
      for (int32_t x = 0; x <= 32; ++x) v.FindObjectAt(x, y, d, false);
    EXPECT_EQ(v.ObjectDistance(*v.GetObj(h), 32, 16), c.taken ? 1000 : 0) << c.what;
    w.Paint();
  }
  // A caller that shrinks the plane it was handed: hit testing reads only inside it.
  v.SetObjBitmapAlpha(h, plane.get());
  v.GetObjBitmapAlpha(h)->Allocate(3, 2, rv8g);
  v.GetObjBitmapAlpha(h)->Fill(0);
  EXPECT_EQ(v.ObjectDistance(*v.GetObj(h), 0, 0), 1000);
  EXPECT_EQ(v.ObjectDistance(*v.GetObj(h), 32, 16), 0);
  for (int32_t y = 0; y <= 16; ++y)
    for (int32_t x = 0; x <= 32; ++x) v.FindObjectAt(x, y, d, false);
  w.Paint();
}

// Deltas and corners near the ends of the range saturate instead of wrapping round.
TEST_F(VectSafety, MovesResizesAndExtentsAtTheEndsOfTheRange) {
  TVectInWindow w(40, 40, 40, 40);
  TRastovaVect& v = *w.vect;
  const int32_t box = v.AddNewObject(Obj(v, rvkBOX, -10, -10, 20, 20));
  struct Case {
    const char* what;
    std::array<int32_t, 4> deltas;  // X1, Y1, X2, Y2
    bool move;
    std::array<int32_t, 4> expected;
  } cases[] = {
      {"move right down", {INT_MAX, INT_MAX, 0, 0}, true, {INT_MAX - 10, INT_MAX - 10, INT_MAX, INT_MAX}},
      {"move left up", {INT_MIN, INT_MIN, 0, 0}, true, {INT_MIN, INT_MIN, INT_MIN + 20, INT_MIN + 20}},
      {"move by one less", {INT_MAX - 20, 0, 0, 0}, true, {INT_MAX - 30, -10, INT_MAX, 20}},
      {"resize outward", {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, false, {INT_MIN, INT_MIN, INT_MAX, INT_MAX}},
      {"resize inward", {INT_MAX, 0, INT_MIN, 0}, false, {INT_MAX - 10, -10, INT_MIN + 20, 20}},
  };
  for (const Case& c : cases) {
    TRVVObjRecord& o = *v.GetObj(box);
    o.X1 = o.Y1 = -10, o.X2 = o.Y2 = 20;
    if (c.move)
      v.MoveObject(box, c.deltas[0], c.deltas[1]);
    else
      v.ResizeObject(box, c.deltas[0], c.deltas[1], c.deltas[2], c.deltas[3], false, 2);
    EXPECT_EQ(Box(*v.GetObj(box)), c.expected) << c.what;
  }
  // With the aspect kept, the driven side saturates too.
  TRVVObjRecord& o = *v.GetObj(box);
  o.X1 = o.Y1 = 0, o.X2 = 10, o.Y2 = 1000;
  std::array<int32_t, 4> down{0, 0, 1, 1000};
  std::copy(down.begin(), down.end(), o.DownRect);
  v.ResizeObject(box, 0, 0, INT_MAX, 0, true, 2);
  EXPECT_EQ(Box(o), (std::array{0, 0, INT_MAX, INT_MAX}));
  // An angle's placed points move with it and saturate; an unplaced one stays unplaced.
  TRVVObjRecord a = Obj(v, rvkANGLE, 0, 0, 10, 10);
  a.AnglePoints[0] = {5, -5};
  a.AnglePoints[1] = {0, 0};
  a.AnglePoints[2] = {kAnglePointUnset, 0};
  const int32_t angle = v.AddNewObject(a);
  v.MoveObject(angle, INT_MAX, INT_MIN);
  const TRVVObjRecord& ao = *v.GetObj(angle);
  EXPECT_EQ(ao.AnglePoints[0].x, INT_MAX);
  EXPECT_EQ(ao.AnglePoints[0].y, INT_MIN);
  EXPECT_EQ(ao.AnglePoints[1].x, INT_MAX);
  EXPECT_EQ(ao.AnglePoints[2].x, kAnglePointUnset);
  // Extents: one past the largest corner, at most the largest integer.
  TRVVObjRecord& last = *v.GetObj(box);
  last.X1 = last.Y1 = 0, last.X2 = last.Y2 = INT_MAX;
  platform::TRect r;
  v.GetObjectsExtents(r);
  EXPECT_EQ(r.Right, INT_MAX);
  EXPECT_EQ(r.Bottom, INT_MAX);
}

// A move handler may hand back any offsets: dragging an angle's point by them saturates.
TEST_F(VectSafety, AngleGripDraggedByAHandlersOffsets) {
  TVectInWindow w(120, 120, 100, 100);
  TRastovaVect& v = *w.vect;
  TRVVObjRecord a = Obj(v, rvkANGLE, 20, 20, 80, 50);
  a.Style = kEveryStyle;
  a.AnglePoints[0] = {20, 50};
  a.AnglePoints[1] = {50, 20};
  a.AnglePoints[2] = {80, 50};
  const int32_t h = v.AddNewObject(a);
  v.AddSelObject(h);
  v.ObjectInteract = rvoiEditObjects;
  v.OnObjectMoveResize = [](TRastovaVect*, int32_t, int32_t, int32_t& dx, int32_t& dy) {
    dx = INT_MAX;
    dy = INT_MIN;
  };
  v.MouseDown(platform::mbLeft, {}, 20, 50);
  v.MouseMove({}, 25, 55);
  v.MouseUp(platform::mbLeft, {}, 25, 55);
  EXPECT_EQ(v.GetObj(h)->AnglePoints[0].x, INT_MAX);
  EXPECT_EQ(v.GetObj(h)->AnglePoints[0].y, INT_MIN + 50);
  EXPECT_EQ(v.GetObj(h)->AnglePoints[1].x, 50);
}

}  // namespace vectsafety
