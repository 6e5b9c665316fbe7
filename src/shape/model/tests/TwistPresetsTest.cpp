#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <memory>
#include <numbers>
#include <vector>

#include "ShapeTestUtil.h"
#include "shape/model/LineMarks.h"
#include "shape/model/uScSelect.h"
#include "shape/model/uTwistPresets.h"

using namespace shape;
using shape_test::NewShape;

using shape_test::ExpectEqual3;
using shape_test::ExpectNear3;

namespace {


TDbl3D RotatedZ(const TDbl3D& p, double degrees) {
  const double a = degrees * std::numbers::pi / 180;
  return TDbl3D{{p[0] * std::cos(a) - p[1] * std::sin(a), p[0] * std::sin(a) + p[1] * std::cos(a), p[2]}};
}

void ExpectAllFiniteInRange(const TCS& cs) {
  for (int i = 0; i < cs.CPMaxI; ++i)
    for (int j = 0; j < cs.CPMaxJ; ++j)
      for (int k = 0; k < 3; ++k) {
        ASSERT_TRUE(std::isfinite(cs.CP[i][j][k])) << i << " " << j;
        ASSERT_GE(cs.CP[i][j][k], -1.0);
        ASSERT_LE(cs.CP[i][j][k], 1.0);
      }
}

}  // namespace

TEST(TwistPresets, DirectionAngle2D) {
  EXPECT_DOUBLE_EQ(DirectionAngle2D(-1, 0, 5), 3 * std::numbers::pi / 2);
  EXPECT_DOUBLE_EQ(DirectionAngle2D(1, 0, 5), std::numbers::pi / 2);
  EXPECT_DOUBLE_EQ(DirectionAngle2D(0, 0, 5), 5);
  EXPECT_DOUBLE_EQ(DirectionAngle2D(1, 1, 5), std::numbers::pi / 4);
  EXPECT_DOUBLE_EQ(DirectionAngle2D(-1, -1, 5), -3 * std::numbers::pi / 4);
}

// Rows 3 to 6 with 40 degrees: row 6 stays, rows 5, 4, 3 turn by -10, -20, -30 degrees and
// the rows below by -30 as well; the rows above b stay.
TEST(TwistPresets, TwistRowsTurnsInSteps) {
  for (auto [a, b] : {std::pair{3, 6}, std::pair{6, 3}}) {
    auto cs = NewShape(SCTYPE_CYLINDER, 9, 9);
    auto before = std::make_unique<TCS>(*cs);
    cs->RP[2][4] = true;
    TwistRows(*cs, a, b, 40);
    const double turn[9] = {-30, -30, -30, -30, -20, -10, 0, 0, 0};
    for (int j = 0; j < 9; ++j)
      for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i * 10 + j);
        if (i == 2 && j == 4)
          ExpectEqual3(cs->CP[i][j], before->CP[i][j]);
        else
          ExpectNear3(cs->CP[i][j], RotatedZ(before->CP[i][j], turn[j]));
      }
    for (int j = 0; j < 9; ++j) ExpectEqual3(cs->CP[8][j], cs->CP[0][j]);
  }
}

// On a plane the last column is a column of its own: it turns with the others and is not
// replaced by the first.
TEST(TwistPresets, TwistRowsOnAPlaneKeepsTheLastColumn) {
  auto cs = NewShape(SCTYPE_PLANE, 9, 9);
  auto before = std::make_unique<TCS>(*cs);
  TwistRows(*cs, 0, 8, 90);
  for (int j = 0; j < 8; ++j) ExpectNear3(cs->CP[8][j], RotatedZ(before->CP[8][j], -10.0 * (8 - j)));
  EXPECT_NE(cs->CP[8][3][0], cs->CP[0][3][0]);
}

TEST(TwistPresets, TwistRowsOutsideTheGridDoesNothing) {
  auto cs = NewShape(SCTYPE_CYLINDER, 9, 9);
  auto before = std::make_unique<TCS>(*cs);
  TwistRows(*cs, 20, 30, 45);
  TwistRows(*cs, -5, -1, 45);
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) ExpectEqual3(cs->CP[i][j], before->CP[i][j]);
}

TEST(TwistPresets, TwistTorus) {
  auto cs = NewShape(SCTYPE_TORUS, 33, 33);
  CommitShapePoints(*cs);
  auto before = std::make_unique<TCS>(*cs);
  TwistTorus(*cs, 0);
  for (int i = 0; i < 33; ++i)
    for (int j = 0; j < 33; ++j) ExpectNear3(cs->CP[i][j], before->CP[i][j]);
  TwistTorus(*cs, 1);
  for (int j = 0; j < 33; ++j) {
    ExpectNear3(cs->CP[0][j], before->CP[0][j]);    // column 0 does not turn
    ExpectNear3(cs->CP[32][j], before->CP[32][j]);  // the last one a whole turn
    // Half way round, each tube section has turned by half a turn: every point took the
    // place of the one opposite it.
    ExpectNear3(cs->CP[16][j], before->CP[16][(j + 16) % 32]);
  }
  for (int i = 0; i < 33; ++i) ExpectEqual3(cs->CP[i][32], cs->CP[i][0]);
}

TEST(TwistPresets, ReshapeWithOnlyTheEndRowsMarkedChangesNothing) {
  auto cs = NewShape(SCTYPE_CYLINDER, 9, 9);
  auto before = std::make_unique<TCS>(*cs);
  TLineMarks marks{};
  marks[8] = 1;
  ReshapeThroughMarks(*cs, marks);
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) ExpectEqual3(cs->CP[i][j], before->CP[i][j]);
  // The marks of the end rows are put back as they were.
  EXPECT_EQ(marks[0], 0);
  EXPECT_EQ(marks[8], 1);
}

// Marks on rows 2 and 5 of nine: three segments over rows 0-3, 3-5 and 5-8. The marked points
// move to rows 3 and 5, the ends stay, and the rows between lie on the Bezier segments.
TEST(TwistPresets, ReshapeOpenProfileThroughMarks) {
  auto cs = NewShape(SCTYPE_CYLINDER, 9, 9);
  const double zs[9] = {-0.8, -0.7, -0.3, -0.2, 0.0, 0.1, 0.4, 0.6, 0.9};
  const double xs[9] = {0.1, 0.3, 0.5, 0.6, 0.7, 0.6, 0.4, 0.3, 0.2};
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) cs->CP[i][j] = TDbl3D{{xs[j], 0.01 * i, zs[j]}};
  auto before = std::make_unique<TCS>(*cs);
  cs->RP[4][1] = true;
  TLineMarks marks{};
  marks[2] = 1;
  marks[5] = 1;
  ReshapeThroughMarks(*cs, marks);
  EXPECT_EQ(marks[0], 0);
  EXPECT_EQ(marks[8], 0);
  for (int i = 0; i < 9; ++i) {
    SCOPED_TRACE(i);
    const TDbl3D& p0 = before->CP[i][0];
    const TDbl3D& q0 = before->CP[i][2];
    const TDbl3D& q1 = before->CP[i][5];
    const TDbl3D& p8 = before->CP[i][8];
    ExpectEqual3(cs->CP[i][0], p0);
    ExpectEqual3(cs->CP[i][3], q0);
    ExpectEqual3(cs->CP[i][5], q1);
    ExpectEqual3(cs->CP[i][8], p8);
    // Row 4 is a third of the way along the middle segment.
    TDbl3D out0, in1;
    for (int k = 0; k < 3; ++k) {
      out0[k] = q0[k] + (q1[k] - p0[k]) / 4;
      in1[k] = q1[k] - (p8[k] - q0[k]) / 4;
    }
    const double t = 1.0 / 3, s = 1 - t;
    TDbl3D expected;
    for (int k = 0; k < 3; ++k)
      expected[k] = s * s * s * q0[k] + 3 * s * s * t * out0[k] + 3 * s * t * t * in1[k] + t * t * t * q1[k];
    ExpectNear3(cs->CP[i][4], expected, 1e-14);
    if (i == 4) ExpectEqual3(cs->CP[i][1], before->CP[i][1]);  // locked
  }
}

// A torus: unmarked rows lie between their marked neighbours, found cyclically.
TEST(TwistPresets, ReshapeClosedProfile) {
  auto cs = NewShape(SCTYPE_TORUS, 9, 17);
  auto before = std::make_unique<TCS>(*cs);
  TLineMarks marks{};
  marks[0] = marks[4] = marks[10] = 1;
  cs->RP[3][7] = true;
  ReshapeThroughMarks(*cs, marks);
  for (int i = 0; i < 9; ++i)
    for (int k = 0; k < 3; ++k) {
      const double p0 = before->CP[i][0][k], p4 = before->CP[i][4][k], p10 = before->CP[i][10][k];
      EXPECT_NEAR(cs->CP[i][2][k], (p0 + p4) / 2, 1e-14);
      EXPECT_NEAR(cs->CP[i][5][k], (5 * p4 + p10) / 6, 1e-14);
      EXPECT_NEAR(cs->CP[i][12][k], (4 * p10 + 2 * p0) / 6, 1e-14);  // rows 11..15 wrap to row 0
      EXPECT_EQ(cs->CP[i][4][k], p4);
    }
  ExpectEqual3(cs->CP[3][7], before->CP[3][7]);
}

TEST(TwistPresets, MakeCircularPolygon) {
  // A square already is a circle of radius 1 about the origin, either way round.
  for (double dir : {1.0, -1.0}) {
    std::vector<TDbl2D> sq = {{{1, 0}}, {{0, dir}}, {{-1, 0}}, {{0, -dir}}, {{1, 0}}};
    const auto orig = sq;
    MakeCircularPolygon(5, sq.data());
    for (int k = 0; k < 5; ++k) {
      EXPECT_NEAR(sq[k][0], orig[k][0], 1e-15);
      EXPECT_NEAR(sq[k][1], orig[k][1], 1e-15);
    }
  }
  // An uneven clockwise polygon: every point on one circle, the farthest keeps its direction,
  // the order and turning direction stay.
  std::vector<TDbl2D> p = {{{2, 0}}, {{0.5, -1}}, {{-1, -0.5}}, {{-1, 1}}, {{0.3, 0.8}}, {{2, 0}}};
  double cx = 0, cy = 0;
  for (int k = 0; k < 5; ++k) {
    cx += p[k][0] / 5;
    cy += p[k][1] / 5;
  }
  const double farAngle = std::atan2(p[0][1] - cy, p[0][0] - cx);
  MakeCircularPolygon(6, p.data());
  const double r = std::hypot(p[0][0] - cx, p[0][1] - cy);
  EXPECT_NEAR(std::atan2(p[0][1] - cy, p[0][0] - cx), farAngle, 1e-12);
  for (int k = 0; k < 5; ++k) {
    EXPECT_NEAR(std::hypot(p[k][0] - cx, p[k][1] - cy), r, 1e-12);
    const double a = std::atan2(p[k][1] - cy, p[k][0] - cx);
    EXPECT_NEAR(std::remainder(a - (farAngle - 2 * std::numbers::pi * k / 5), 2 * std::numbers::pi), 0.0, 1e-12) << k;
  }
  EXPECT_EQ(p[5][0], p[0][0]);
  EXPECT_EQ(p[5][1], p[0][1]);
}

// Coincident points have no direction and no radius: they collapse onto their centre without
// NaN, and a repeated vertex does not disturb the turning direction.
TEST(TwistPresets, MakeCircularPolygonDegenerate) {
  std::vector<TDbl2D> same(4, TDbl2D{{0.25, -0.5}});
  MakeCircularPolygon(4, same.data());
  for (const TDbl2D& q : same) {
    EXPECT_EQ(q[0], 0.25);
    EXPECT_EQ(q[1], -0.5);
  }
  std::vector<TDbl2D> rep = {{{1, 0}}, {{1, 0}}, {{0, -1}}, {{-1, 0}}, {{0, 1}}, {{1, 0}}};
  MakeCircularPolygon(6, rep.data());
  for (const TDbl2D& q : rep) EXPECT_TRUE(std::isfinite(q[0]) && std::isfinite(q[1]));
  // Clockwise order kept: the second point is a fifth of a turn clockwise from the first.
  double cx = 0, cy = 0;
  for (int k = 0; k < 5; ++k) {
    cx += rep[k][0] / 5;
    cy += rep[k][1] / 5;
  }
  const double a0 = std::atan2(rep[0][1] - cy, rep[0][0] - cx),
               a1 = std::atan2(rep[1][1] - cy, rep[1][0] - cx);
  EXPECT_NEAR(std::remainder(a1 - a0 + 2 * std::numbers::pi / 5, 2 * std::numbers::pi), 0.0, 1e-12);
  MakeCircularPolygon(1, rep.data());
  MakeCircularPolygon(0, nullptr);
}

TEST(TwistPresets, ParabolaThrough) {
  double k, c;
  ParabolaThrough(1, 2, 2, 5, k, c);
  EXPECT_DOUBLE_EQ(k, 1);
  EXPECT_DOUBLE_EQ(c, 1);
  ParabolaThrough(-0.5, 0.3, 0.5, 0.7, k, c);  // equal squares: flat through the second point
  EXPECT_EQ(k, 0);
  EXPECT_EQ(c, 0.7);
}

TEST(TwistPresets, FillPillarOn33) {
  auto cs = NewShape(SCTYPE_SPHERE, 33, 33);  // CapRows 8, UpperRimRow 24
  cs->RP[5][0] = true;                        // a locked pole point stays
  cs->RP[8][24] = true;                       // a locked corner is written all the same
  cs->RP[4][24] = true;                       // a locked edge point stays
  cs->RP[9][15] = true;                       // the wall does not consult locks
  auto before = std::make_unique<TCS>(*cs);
  MakeFillPillar(*cs);
  ExpectEqual3(cs->CP[5][0], before->CP[5][0]);
  ExpectEqual3(cs->CP[6][0], (TDbl3D{{0, 0, -0.9921875}}));
  ExpectEqual3(cs->CP[6][32], (TDbl3D{{0, 0, 1.0}}));
  const double corners[5][2] = {
      {1.0, 1.0}, {-0.9921875, 1.0}, {-0.9921875, -0.9921875}, {1.0, -0.9921875}, {1.0, 1.0}};
  for (int k = 0; k < 5; ++k) {
    ExpectEqual3(cs->CP[8 * k][24], (TDbl3D{{corners[k][0], corners[k][1], 1.0}}));
    ExpectEqual3(cs->CP[8 * k][8], (TDbl3D{{corners[k][0], corners[k][1], -0.9921875}}));
  }
  ExpectEqual3(cs->CP[4][24], before->CP[4][24]);
  ExpectNear3(cs->CP[4][8], (TDbl3D{{0.00390625, 1.0, -0.9921875}}), 1e-15);
  ExpectNear3(cs->CP[20][24], (TDbl3D{{0.00390625, -0.9921875, 1.0}}), 1e-15);
  // Caps run straight from the pole to the rim, the wall straight between the rims.
  ExpectNear3(cs->CP[16][4], (TDbl3D{{-0.49609375, -0.49609375, -0.9921875}}), 1e-15);
  for (int j = 9; j < 24; ++j) {
    const double t = (j - 8) / 16.0;
    ExpectNear3(cs->CP[9][j], (TDbl3D{{cs->CP[9][8][0], cs->CP[9][8][1], -0.9921875 + t * 1.9921875}}),
                1e-15);
  }
  ExpectAllFiniteInRange(*cs);
}

TEST(TwistPresets, FillPillarOnTheSmallestGrid) {
  auto cs = NewShape(SCTYPE_SPHERE, 5, 5);  // CapRows 1, UpperRimRow 3, corner columns 0..4
  MakeFillPillar(*cs);
  ExpectEqual3(cs->CP[2][0], (TDbl3D{{0, 0, -0.9921875}}));
  ExpectEqual3(cs->CP[1][3], (TDbl3D{{-0.9921875, 1.0, 1.0}}));
  ExpectEqual3(cs->CP[4][1], cs->CP[0][1]);
  ExpectNear3(cs->CP[3][2], (TDbl3D{{1.0, -0.9921875, 0.00390625}}), 1e-15);
  ExpectAllFiniteInRange(*cs);
}

TEST(TwistPresets, CushionOnNineRowsWorkedByHand) {
  auto cs = NewShape(SCTYPE_SPHERE, 9, 9);  // CapRows 2: rows 1 and 2 at z -0.75, wall from row 2
  MakeCushion(*cs, 0);
  // Rows 1 and 2 of the source lie at one height: a flat lower parabola z = -0.75.
  for (int i = 0; i < 9; ++i) ExpectEqual3(cs->CP[i][0], (TDbl3D{{0, 0, -0.75}}));
  for (int i = 0; i < 8; ++i) {
    const double th = 2 * std::numbers::pi * i / 8;
    ExpectNear3(cs->CP[i][1], (TDbl3D{{0.375 * std::cos(th), 0, -0.75}}), 1e-15);
  }
  // Row 3: the source point (0.75, 0, -0.375) blended towards the cap's height.
  const double v = std::numbers::pi / 4, zs = -0.375, B = (zs - 0.75 * std::cos(v)) / 2, D = zs - B;
  for (int i = 0; i < 8; ++i) {
    const double th = 2 * std::numbers::pi * i / 8;
    ExpectNear3(cs->CP[i][3],
                (TDbl3D{{0.75 * std::cos(th), std::sin(th) * std::sin(v), B + D * std::cos(2 * th)}}), 1e-15);
  }
  for (int j = 0; j < 9; ++j) ExpectEqual3(cs->CP[8][j], cs->CP[0][j]);
  ExpectAllFiniteInRange(*cs);
}

TEST(TwistPresets, CushionOn33AndItsLimits) {
  auto cs = NewShape(SCTYPE_SPHERE, 33, 33);
  MakeCushion(*cs, 5);
  ExpectAllFiniteInRange(*cs);
  for (int j = 0; j < 33; ++j) ExpectEqual3(cs->CP[32][j], cs->CP[0][j]);
  for (int i = 1; i < 33; ++i) {
    ExpectEqual3(cs->CP[i][0], cs->CP[0][0]);
    ExpectEqual3(cs->CP[i][32], cs->CP[0][32]);
  }
  // Fewer than nine rows, or a source column outside the grid: nothing happens.
  for (auto [rows, source] : {std::pair{5, 0}, std::pair{8, 0}, std::pair{33, 33}, std::pair{33, -1}}) {
    auto small = NewShape(SCTYPE_SPHERE, 33, rows);
    auto before = std::make_unique<TCS>(*small);
    MakeCushion(*small, source);
    for (int i = 0; i < 33; ++i)
      for (int j = 0; j < rows; ++j) ExpectEqual3(small->CP[i][j], before->CP[i][j]);
  }
}
