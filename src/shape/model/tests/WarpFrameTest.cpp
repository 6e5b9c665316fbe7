#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <vector>

#include "settings/AppSettings.h"
#include "shape/model/uWarpFrame.h"

using namespace shape;

namespace {


TDbl2D P2(double x, double y) { return TDbl2D{{x, y}}; }

// A committed frame from (x0, y0) to (x1, y1) with its pivot at the centre and the handles at
// the thirds, as the editor leaves it after a selection.
std::unique_ptr<TCS> FrameShape(double x0, double y0, double x1, double y1) {
  auto cs = std::make_unique<TCS>();
  cs->R1.r00 = P2(x0, y0);
  cs->R1.r11 = P2(x1, y1);
  ResetFrameHandles(*cs);
  SetFrameCorners(*cs, true);
  cs->R0 = cs->R1;
  return cs;
}

void ExpectPoint(const TDbl2D& got, double x, double y, double tol = 1e-12) {
  EXPECT_NEAR(got[0], x, tol);
  EXPECT_NEAR(got[1], y, tol);
}

// Restores the angle step a test changes.
class AngleStepGuard {
 public:
  AngleStepGuard() : saved_(settings::GridAngleStep) {}
  ~AngleStepGuard() { settings::GridAngleStep = saved_; }

 private:
  double saved_;
};

}  // namespace

// Every drag mode: the dragged corner or edge lands on the mouse point and the opposite anchor
// stays where it was.
TEST(WarpFrame, DraggedHandleLandsOnTheMouseAndTheAnchorStays) {
  const double x0 = -0.5, y0 = -0.25, x1 = 0.5, y1 = 0.75, cx = 0.0, cy = 0.25;
  auto cs = FrameShape(x0, y0, x1, y1);
  const TDbl2D mouse = P2(0.875, 1.125);
  struct Case {
    int mode;
    TDbl2D handle;    // the point the user grabbed
    TDbl2D expected;  // where it must land
    TDbl2D anchor;    // a point that must stay
  };
  const std::vector<Case> cases = {
      {1, P2(x0, y0), mouse, P2(x1, y1)},
      {2, P2(x0, y1), mouse, P2(x1, y0)},
      {3, P2(x1, y0), mouse, P2(x0, y1)},
      {4, P2(x1, y1), mouse, P2(x0, y0)},
      {5, P2(x0, y0), P2(x0, mouse[1]), P2(x1, y1)},
      {6, P2(x1, y1), P2(x1, mouse[1]), P2(x0, y0)},
      {7, P2(x0, y0), P2(mouse[0], y0), P2(x1, y1)},
      {8, P2(x1, y1), P2(mouse[0], y1), P2(x0, y0)},
      {105, P2(cx, y0), P2(cx, mouse[1]), P2(cx, cy)},
      {106, P2(cx, y1), P2(cx, mouse[1]), P2(cx, cy)},
      {107, P2(x0, cy), P2(mouse[0], cy), P2(cx, cy)},
      {108, P2(x1, cy), P2(mouse[0], cy), P2(cx, cy)},
      {201, P2(x0, y0), mouse, P2(x1, y1)},
      {202, P2(x0, y1), mouse, P2(x1, y0)},
      {203, P2(x1, y0), mouse, P2(x0, y1)},
      {204, P2(x1, y1), mouse, P2(x0, y0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    TFrameDrag d;
    ASSERT_TRUE(MakeFrameDrag(*cs, c.mode, mouse, mouse, false, d));
    ExpectPoint(ApplyFrameDrag(d, c.handle), c.expected[0], c.expected[1]);
    ExpectPoint(ApplyFrameDrag(d, c.anchor), c.anchor[0], c.anchor[1]);
  }
  // The corner warp keeps the two corners beside its anchor as well.
  TFrameDrag d;
  ASSERT_TRUE(MakeFrameDrag(*cs, 204, mouse, mouse, false, d));
  ExpectPoint(ApplyFrameDrag(d, P2(x1, y0)), x1, y0);
  ExpectPoint(ApplyFrameDrag(d, P2(x0, y1)), x0, y1);
}

TEST(WarpFrame, CornerR11DraggedOneWidthRightDoublesTheWidth) {
  auto cs = FrameShape(-0.5, -0.25, 0.5, 0.75);
  TFrameTransform t;
  ASSERT_TRUE(FrameCornerScale(*cs, 4, P2(1.5, 0.75), t));
  EXPECT_DOUBLE_EQ(t.m00, 2.0);
  EXPECT_DOUBLE_EQ(t.m11, 1.0);
  ExpectPoint(ApplyFrameTransform(t, P2(-0.5, -0.25)), -0.5, -0.25);
  ExpectPoint(ApplyFrameTransform(t, P2(0.0, 0.5)), 0.5, 0.5);
}

// Centred corners scale both axes by the mean of the two ratios: a diagonal drag lands the
// corner on the mouse, an axis-only drag of the same corner scales less.
TEST(WarpFrame, CentredCornersScaleUniformlyByTheMeanRatio) {
  auto cs = FrameShape(-1.0, -0.5, 1.0, 0.5);  // centre (0, 0)
  TFrameTransform diag, axis;
  ASSERT_TRUE(FrameCentredCornerScale(*cs, 104, P2(2.0, 1.0), diag));
  ASSERT_TRUE(FrameCentredCornerScale(*cs, 104, P2(2.0, 0.5), axis));
  EXPECT_DOUBLE_EQ(diag.m00, 2.0);
  EXPECT_DOUBLE_EQ(diag.m11, 2.0);
  EXPECT_DOUBLE_EQ(axis.m00, 1.5);
  EXPECT_DOUBLE_EQ(axis.m11, 1.5);
  ExpectPoint(ApplyFrameTransform(diag, P2(1.0, 0.5)), 2.0, 1.0);
  // The other three corners mirror the ratios.
  TFrameTransform t;
  ASSERT_TRUE(FrameCentredCornerScale(*cs, 101, P2(-2.0, -1.0), t));
  EXPECT_DOUBLE_EQ(t.m00, 2.0);
  ASSERT_TRUE(FrameCentredCornerScale(*cs, 102, P2(-2.0, 1.0), t));
  EXPECT_DOUBLE_EQ(t.m11, 2.0);
  ASSERT_TRUE(FrameCentredCornerScale(*cs, 103, P2(2.0, -1.0), t));
  EXPECT_DOUBLE_EQ(t.m00, 2.0);
}

// A frame of zero width or height: every drag that would divide by the missing extent changes
// nothing, and no point becomes NaN; drags along the extent the frame has still act.
TEST(WarpFrame, FlatFrameDragsThatWouldDivideByZeroChangeNothing) {
  struct Frame {
    double x0, y0, x1, y1;
    std::vector<int> refused, acting;
  };
  const std::vector<Frame> frames = {
      {0.25,
       -0.5,
       0.25,
       0.5,
       {1, 2, 3, 4, 7, 8, 101, 102, 103, 104, 107, 108, 201, 202, 203, 204},
       {5, 6, 105, 106}},
      {-0.5,
       0.25,
       0.5,
       0.25,
       {1, 2, 3, 4, 5, 6, 101, 102, 103, 104, 105, 106, 201, 202, 203, 204},
       {7, 8, 107, 108}},
      {0.25,
       0.25,
       0.25,
       0.25,
       {1, 2, 3, 4, 5, 6, 7, 8, 101, 102, 103, 104, 105, 106, 107, 108, 201, 202, 203, 204},
       {}},
  };
  const std::vector<TDbl2D> points = {P2(0.25, 0.25), P2(0.25, -0.5), P2(0.7, 0.1), P2(-3.0, 2.0)};
  const TDbl2D mouse = P2(0.9, 0.8);
  for (const Frame& f : frames) {
    auto cs = FrameShape(f.x0, f.y0, f.x1, f.y1);
    for (int mode : f.refused) {
      SCOPED_TRACE(mode);
      TFrameDrag d;
      EXPECT_FALSE(MakeFrameDrag(*cs, mode, mouse, mouse, false, d));
      for (const TDbl2D& p : points) {
        const TDbl2D q = ApplyFrameDrag(d, p);
        EXPECT_EQ(q[0], p[0]);
        EXPECT_EQ(q[1], p[1]);
      }
    }
    for (int mode : f.acting) {
      SCOPED_TRACE(mode);
      TFrameDrag d;
      EXPECT_TRUE(MakeFrameDrag(*cs, mode, mouse, mouse, false, d));
      const TDbl2D q = ApplyFrameDrag(d, P2(f.x1, f.y1));
      EXPECT_TRUE(std::isfinite(q[0]) && std::isfinite(q[1]));
    }
    // Rotation divides by nothing and turns even a flat frame.
    TFrameDrag d;
    EXPECT_TRUE(MakeFrameDrag(*cs, 9, P2(f.x0 + 1, f.y0), P2(f.x0, f.y0 + 1), false, d));
  }
  // Unknown modes make the identity.
  auto cs = FrameShape(-1, -1, 1, 1);
  TFrameDrag d;
  EXPECT_FALSE(MakeFrameDrag(*cs, 0, mouse, mouse, false, d));
  EXPECT_FALSE(MakeFrameDrag(*cs, 300, mouse, mouse, false, d));
  ExpectPoint(ApplyFrameDrag(d, P2(0.3, 0.4)), 0.3, 0.4, 0);
}

TEST(WarpFrame, CornerWarpOfZeroExtentLeavesThePoint) {
  const TCornerWarp w{0.0, 0.0, 0.0, 1.0, 0.5, 0.5};
  const TDbl2D q = ApplyCornerWarp(w, P2(0.3, 0.4));
  EXPECT_EQ(q[0], 0.3);
  EXPECT_EQ(q[1], 0.4);
}

TEST(WarpFrame, CornerWarpIsBilinear) {
  auto cs = FrameShape(0.0, 0.0, 1.0, 1.0);
  TCornerWarp w;
  ASSERT_TRUE(FrameCornerWarp(*cs, 204, P2(1.5, 2.0), w));
  // Anchor r00, corner r11 moved by (0.5, 1.0): the centre moves by a quarter of that.
  ExpectPoint(ApplyCornerWarp(w, P2(0.5, 0.5)), 0.625, 0.75);
  // The edges from the anchor stay straight and in place.
  ExpectPoint(ApplyCornerWarp(w, P2(0.5, 0.0)), 0.5, 0.0);
  ExpectPoint(ApplyCornerWarp(w, P2(0.0, 0.5)), 0.0, 0.5);
}

TEST(WarpFrame, RotationSnapsToTheGridAngleStep) {
  AngleStepGuard guard;
  settings::GridAngleStep = 2 * std::numbers::pi / 36;  // "GridRad" 36: steps of 10 degrees
  auto cs = FrameShape(-1, -1, 1, 1);
  const TDbl2D start = P2(1.0, 0.0);
  struct Case {
    double degrees, snapped;
  };
  for (const Case c : {Case{23, 20}, Case{26, 30}, Case{4, 0}, Case{-16, -20}, Case{178, 180}}) {
    SCOPED_TRACE(c.degrees);
    const double a = c.degrees * std::numbers::pi / 180;
    const TDbl2D mouse = P2(2 * std::cos(a), 2 * std::sin(a));
    TFrameTransform snap, free;
    ASSERT_TRUE(FrameRotation(*cs, start, mouse, true, snap));
    ASSERT_TRUE(FrameRotation(*cs, start, mouse, false, free));
    const double s = c.snapped * std::numbers::pi / 180;
    ExpectPoint(ApplyFrameTransform(snap, P2(1, 0)), std::cos(s), std::sin(s));
    ExpectPoint(ApplyFrameTransform(free, P2(1, 0)), std::cos(a), std::sin(a));
  }
  // The turn is about R0's pivot, the angle measured about R1's.
  cs->R0.rp = P2(1.0, 1.0);
  TFrameTransform t;
  ASSERT_TRUE(FrameRotation(*cs, start, P2(0.0, 1.0), false, t));
  ExpectPoint(ApplyFrameTransform(t, P2(2.0, 1.0)), 1.0, 2.0);
}

// A "GridRad" of 0 gives a step of infinity: snapping then turns nothing instead of writing NaN.
TEST(WarpFrame, SnappingWithoutAUsableStepTurnsNothing) {
  AngleStepGuard guard;
  auto cs = FrameShape(-1, -1, 1, 1);
  for (double step :
       {std::numeric_limits<double>::infinity(), 0.0, std::numeric_limits<double>::quiet_NaN()}) {
    settings::GridAngleStep = step;
    TFrameTransform t;
    ASSERT_TRUE(FrameRotation(*cs, P2(1, 0), P2(0, 1), true, t));
    ExpectPoint(ApplyFrameTransform(t, P2(0.5, 0.25)), 0.5, 0.25, 0);
  }
}

TEST(WarpFrame, FrameAngleOnTheVertical) {
  EXPECT_DOUBLE_EQ(FrameAngle(P2(1, 3), P2(1, 2)), std::numbers::pi / 2);
  EXPECT_DOUBLE_EQ(FrameAngle(P2(1, 2), P2(1, 2)), std::numbers::pi / 2);
  EXPECT_DOUBLE_EQ(FrameAngle(P2(1, 1), P2(1, 2)), -std::numbers::pi / 2);
  EXPECT_DOUBLE_EQ(FrameAngle(P2(0, 1), P2(1, 2)), -3 * std::numbers::pi / 4);
}

TEST(WarpFrame, SetFrameCornersAndHandles) {
  auto cs = std::make_unique<TCS>();
  cs->R1.r00 = P2(0.0, -0.3);
  cs->R1.r11 = P2(0.005, 0.9);
  cs->R1.rp = P2(7, 7);
  SetFrameCorners(*cs, false);
  ExpectPoint(cs->R1.r01, 0.0, 0.9, 0);
  ExpectPoint(cs->R1.r10, 0.005, -0.3, 0);
  ExpectPoint(cs->R1.rp, 7, 7, 0);
  SetFrameCorners(*cs, true);
  // Narrower than 1/128: the pivot's x stays on r00's; the height is wide enough to centre.
  ExpectPoint(cs->R1.rp, 0.0, 0.3);

  cs->R1.r00 = P2(0.0, 0.0);
  cs->R1.r11 = P2(3.0, 6.0);
  ResetFrameHandles(*cs);
  ExpectPoint(cs->R1.b0, 1, 0);
  ExpectPoint(cs->R1.b1, 2, 0);
  ExpectPoint(cs->R1.b2, 0, 2);
  ExpectPoint(cs->R1.b3, 0, 4);
  ExpectPoint(cs->R1.b4, 3, 2);
  ExpectPoint(cs->R1.b5, 3, 4);
  ExpectPoint(cs->R1.b6, 1, 6);
  ExpectPoint(cs->R1.b7, 2, 6);
}

TEST(WarpFrame, CurveWarpWithUnchangedHandlesIsTheIdentity) {
  auto cs = FrameShape(-0.75, -0.5, 0.5, 1.0);
  for (double u = 0; u <= 1.0; u += 0.125)
    for (double v = 0; v <= 1.0; v += 0.125) {
      const TDbl2D p = P2(-0.75 + 1.25 * u, -0.5 + 1.5 * v);
      const TDbl2D q = CurveWarpPoint(cs->R0, cs->R1, p);
      ExpectPoint(q, p[0], p[1], 1e-14);
    }
  // Outside the frame the point maps as if on the border.
  ExpectPoint(CurveWarpPoint(cs->R0, cs->R1, P2(2.0, 0.25)), 0.5, 0.25, 1e-14);
  ExpectPoint(CurveWarpPoint(cs->R0, cs->R1, P2(-3.0, -3.0)), -0.75, -0.5, 1e-14);
}

TEST(WarpFrame, CurveWarpFollowsTheMovedHandles) {
  auto cs = FrameShape(0.0, 0.0, 1.0, 1.0);
  cs->R1.r11 = P2(1.5, 1.25);
  cs->R1.b6 = P2(1.0 / 3, 1.5);
  cs->R1.b7 = P2(2.0 / 3, 1.5);
  ExpectPoint(CurveWarpPoint(cs->R0, cs->R1, P2(1.0, 1.0)), 1.5, 1.25, 1e-14);
  ExpectPoint(CurveWarpPoint(cs->R0, cs->R1, P2(0.0, 1.0)), 0.0, 1.0, 1e-14);
  // The top edge bulges to the handles: at its middle the Bezier reaches 3/4 of the way.
  const TDbl2D top = CurveWarpPoint(cs->R0, cs->R1, P2(0.5, 1.0));
  EXPECT_NEAR(top[1], 0.125 * 1.0 + 0.375 * 1.5 + 0.375 * 1.5 + 0.125 * 1.25, 1e-14);
  // The bottom edge did not change.
  ExpectPoint(CurveWarpPoint(cs->R0, cs->R1, P2(0.5, 0.0)), 0.5, 0.0, 1e-14);
}

TEST(WarpFrame, CurveWarpOfAFlatCommittedFrameGivesTheLowerEdgeCurve) {
  auto cs = FrameShape(0.0, 0.5, 1.0, 0.5);
  cs->R1.b0 = P2(1.0 / 3, 0.0);
  cs->R1.b1 = P2(2.0 / 3, 0.0);
  const TDbl2D q = CurveWarpPoint(cs->R0, cs->R1, P2(0.5, 0.9));
  EXPECT_NEAR(q[0], 0.5, 1e-14);
  EXPECT_NEAR(q[1], 0.125 * 0.5 + 0.75 * 0.0 + 0.125 * 0.5, 1e-14);
  for (double y : {-1.0, 0.5, 3.0}) {
    const TDbl2D r = CurveWarpPoint(cs->R0, cs->R1, P2(0.5, y));
    EXPECT_EQ(r[0], q[0]);
    EXPECT_EQ(r[1], q[1]);
  }
}
