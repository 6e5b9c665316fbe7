// Objects whose soft shadow reaches as far as its numbers go: the shadow's margin is worked out in
// 64 bits, and the object is still drawn in its place.
#include <gtest/gtest.h>

#include <climits>

#include "rastova/view/vector/tests/VectTestTools.h"

using namespace rv;
using namespace rv::vecttest;

namespace {
class VectFarShadow : public viewtest::ViewLibraryTest {};
}  // namespace

TEST_F(VectFarShadow, AShadowReachingPastTheNumbersLeavesTheObjectDrawn) {
  struct Case {
    const char* what;
    int32_t offset;
    double radius;
  } const cases[] = {
      {"offset -2^31", INT_MIN, 3}, {"offset 2^31 - 1", INT_MAX, 3}, {"radius 10^9", 2, 1e9}, {"both", INT_MIN, 1e9}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TVectInWindow w(40, 30, 40, 30);
    TRastovaVect& v = *w.vect;
    TRVVObjRecord box = Obj(v, rvkBOX, 10, 8, 25, 20);
    box.BrushColor = 0x0000FF;  // red
    box.BrushStyle = platform::bsSolid;
    box.Style = rvvsVisible;
    box.SoftShadow.Enabled = true;
    box.SoftShadow.OffsetX = c.offset;
    box.SoftShadow.OffsetY = c.offset;
    box.SoftShadow.Radius = c.radius;
    v.AddNewObject(box);
    TRVBitmap picture(40, 30, rv24RGB);
    picture.Fill(0xFFFFFF);
    for (bool antialias : {false, true}) {
      v.DrawObjectsToRVBitmap(&picture, antialias, kObjAll);
      const TRGB inside = picture.GetPixels(17, 14);
      EXPECT_EQ(inside.r, 255) << antialias;
      EXPECT_EQ(inside.g, 0) << antialias;
      EXPECT_EQ(inside.b, 0) << antialias;
    }
  }
}
