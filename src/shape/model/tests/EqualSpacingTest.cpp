#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <numbers>
#include <vector>

#include "ShapeTestUtil.h"
#include "shape/model/Dbl3D.h"
#include "shape/model/uEqualSpacing.h"
#include "shape/model/uScSelect.h"

using namespace shape;
using shape_test::NewShape;

using shape_test::ExpectEqual3;
using shape_test::ExpectNear3;

namespace {

constexpr double kPi = std::numbers::pi;

// Selects columns c0..c1 (stepping cyclically over the I - 1 distinct columns when `wrap`) and
// rows r0..r1, then joins the seams the way the editors do.
void SelectBlock(TCS& cs, int c0, int c1, int r0, int r1, bool wrap) {
  const int n = cs.CPMaxI - 1;
  for (int c = c0;; c = wrap ? (c + 1) % n : c + 1) {
    for (int r = r0; r <= r1; ++r) cs.SP[c][r] = true;
    if (c == c1) break;
  }
  JoinSeamFlagsOr(cs, cs.SP);
  CountSelectedPoints(cs);
}

void SelectRows(TCS& cs, int r0, int r1) {
  for (int i = 0; i < cs.CPMaxI; ++i)
    for (int j = r0; j <= r1; ++j) cs.SP[i][j] = true;
  CountSelectedPoints(cs);
}

// A smooth, uneven displacement so that nothing is evenly spaced to begin with.
void Disturb(TCS& cs) {
  for (int i = 0; i < cs.CPMaxI; ++i)
    for (int j = 0; j < cs.CPMaxJ; ++j) {
      cs.CP[i][j][0] += 0.02 * std::sin(1.3 * i + 0.7 * j);
      cs.CP[i][j][1] += 0.03 * std::cos(0.9 * i - 1.1 * j);
      cs.CP[i][j][2] += 0.01 * std::sin(0.5 * i * j);
    }
  CopySeams(cs, 0);
}

}  // namespace

TEST(EqualSpacing, CyclicSteps) {
  EXPECT_EQ(CyclicSteps(30, 2, 33), 4);
  EXPECT_EQ(CyclicSteps(2, 30, 33), 28);
  EXPECT_EQ(CyclicSteps(5, 5, 33), 0);
  EXPECT_EQ(CyclicSteps(0, 3, 2), 0);
  EXPECT_EQ(CyclicSteps(0, 3, 1), 0);  // no cycle at all: no steps, no division by zero
}

TEST(EqualSpacing, SelectionKindAndBlockAnalysis) {
  struct Case {
    const char* name;
    TScType type;
    int columns, rows;
    int c0, c1, r0, r1;
    bool wrap;
    int kind;
    bool block;
    int S, E, A, Z;
  };
  const std::vector<Case> cases = {
      {"sphere whole rows", SCTYPE_SPHERE, 33, 33, 0, 31, 5, 9, true, 1, false, 0, 0, 0, 0},
      {"plane rectangle", SCTYPE_PLANE, 33, 33, 3, 7, 4, 6, false, 0, true, 3, 7, 4, 6},
      {"cylinder across the seam", SCTYPE_CYLINDER, 33, 9, 30, 2, 3, 5, true, 0, true, 30, 2, 3, 5},
      {"cylinder block from column 0", SCTYPE_CYLINDER, 33, 9, 0, 5, 0, 8, true, 0, true, 0, 5, 0, 8},
      {"sphere block", SCTYPE_SPHERE, 33, 33, 4, 10, 2, 30, true, 0, true, 4, 10, 2, 30},
      {"sphere with a pole", SCTYPE_SPHERE, 33, 33, 4, 10, 0, 3, true, 0, false, 0, 0, 0, 0},
      {"torus across both seams", SCTYPE_TORUS, 17, 17, 14, 2, 13, 3, true, 0, true, 14, 2, 13, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto cs = NewShape(c.type, c.columns, c.rows);
    if (c.type == SCTYPE_TORUS) {
      const int n = c.rows - 1;
      for (int r = c.r0;; r = (r + 1) % n) {
        for (int col = c.c0;; col = (col + 1) % (c.columns - 1)) {
          cs->SP[col][r] = true;
          if (col == c.c1) break;
        }
        if (r == c.r1) break;
      }
      JoinSeamFlagsOr(*cs, cs->SP);
      CountSelectedPoints(*cs);
    } else {
      SelectBlock(*cs, c.c0, c.c1, c.r0, c.r1, c.wrap);
    }
    EXPECT_EQ(SelectionKind(*cs), c.kind);
    int S, E, A, Z;
    EXPECT_EQ(SelectionBlock(*cs, S, E, A, Z), c.block);
    if (c.block) {
      EXPECT_EQ(S, c.S);
      EXPECT_EQ(E, c.E);
      EXPECT_EQ(A, c.A);
      EXPECT_EQ(Z, c.Z);
    }
    EXPECT_EQ(GridCanEqualDistance(*cs), c.block);
    EXPECT_EQ(GridCanEqualIntervals(*cs), c.block || c.kind != 0);
  }
}

TEST(EqualSpacing, PlaneShapesThatAreNoBlock) {
  auto cs = NewShape(SCTYPE_PLANE, 9, 9);
  EXPECT_FALSE(GridCanEqualIntervals(*cs));  // nothing selected
  // An L shape.
  SelectBlock(*cs, 1, 5, 1, 1, false);
  SelectBlock(*cs, 1, 1, 1, 4, false);
  EXPECT_FALSE(GridCanEqualIntervals(*cs));
  EXPECT_FALSE(GridCanEqualDistance(*cs));
  const TDbl3D before = cs->CP[3][3];
  GridEqualIntervals(*cs);
  EXPECT_FALSE(GridEqualDistance(*cs));
  ExpectEqual3(cs->CP[3][3], before);
  // Completing the rectangle of 5 x 4 points makes both available.
  SelectBlock(*cs, 1, 5, 1, 4, false);
  EXPECT_TRUE(GridCanEqualIntervals(*cs));
  EXPECT_TRUE(GridCanEqualDistance(*cs));
}

// Sphere and cylinder blocks: every row's run starts in one column and ends in one column, and
// the rows that end a run follow each other.
TEST(EqualSpacing, RowRunsThatAreNoBlock) {
  for (TScType type : {SCTYPE_CYLINDER, SCTYPE_SPHERE}) {
    SCOPED_TRACE(type);
    auto gap = NewShape(type, 17, 17);
    SelectBlock(*gap, 3, 6, 2, 4, false);
    SelectBlock(*gap, 3, 6, 8, 9, false);
    EXPECT_FALSE(GridCanEqualDistance(*gap));
    auto skew = NewShape(type, 17, 17);
    SelectBlock(*skew, 3, 6, 2, 4, false);
    SelectBlock(*skew, 4, 6, 5, 6, false);
    EXPECT_FALSE(GridCanEqualDistance(*skew));
    auto twoRuns = NewShape(type, 17, 17);
    SelectBlock(*twoRuns, 1, 3, 2, 4, false);
    SelectBlock(*twoRuns, 8, 10, 2, 4, false);
    EXPECT_FALSE(GridCanEqualDistance(*twoRuns));
    auto fine = NewShape(type, 17, 17);
    SelectBlock(*fine, 3, 6, 2, 9, false);
    EXPECT_TRUE(GridCanEqualDistance(*fine));
  }
}

// Whole columns of a torus are loops with no first or last row: Equal Intervals makes them
// circles, but they are no block Equal Distance could walk.
TEST(EqualSpacing, TorusLoopsAreColumnsNotABlock) {
  auto cs = NewShape(SCTYPE_TORUS, 33, 17);
  for (int i = 4; i <= 6; ++i)
    for (int j = 0; j < 17; ++j) cs->SP[i][j] = true;
  EXPECT_EQ(SelectionKind(*cs), 2);
  int S, E, A, Z;
  EXPECT_FALSE(SelectionBlock(*cs, S, E, A, Z));
  EXPECT_FALSE(GridCanEqualDistance(*cs));
  EXPECT_TRUE(GridCanEqualIntervals(*cs));
  EXPECT_FALSE(GridEqualDistance(*cs));
}

TEST(EqualSpacing, WholeRowsBecomeCirclesAboutTheirOwnCentre) {
  auto cs = NewShape(SCTYPE_SPHERE, 33, 33);
  Disturb(*cs);
  SelectRows(*cs, 5, 9);
  const TDbl3D untouched = cs->CP[3][4];
  ASSERT_EQ(SelectionKind(*cs), 1);
  std::vector<TDbl3D> centres;
  for (int j = 5; j <= 9; ++j) {
    TDbl3D c{{0, 0, 0}};
    for (int i = 0; i < 32; ++i)
      for (int k = 0; k < 3; ++k) c[k] += cs->CP[i][j][k] / 32;
    centres.push_back(c);
  }
  GridEqualIntervals(*cs);
  for (int j = 5; j <= 9; ++j) {
    const TDbl3D& c = centres[j - 5];
    const double r = std::hypot(cs->CP[0][j][0] - c[0], cs->CP[0][j][1] - c[1]);
    for (int i = 0; i < 32; ++i) {
      EXPECT_NEAR(cs->CP[i][j][2], c[2], 1e-12);
      EXPECT_NEAR(std::hypot(cs->CP[i][j][0] - c[0], cs->CP[i][j][1] - c[1]), r, 1e-12);
      const double angle = std::atan2(cs->CP[i][j][1] - c[1], cs->CP[i][j][0] - c[0]);
      EXPECT_NEAR(std::remainder(angle - 2 * kPi * i / 32, 2 * kPi), 0.0, 1e-12);
    }
    ExpectEqual3(cs->CP[32][j], cs->CP[0][j]);
  }
  ExpectEqual3(cs->CP[3][4], untouched);
}

// A column of the torus primitive already is the circle the command makes.
TEST(EqualSpacing, TorusColumnCircleMatchesThePrimitive) {
  auto cs = NewShape(SCTYPE_TORUS, 33, 33);
  auto original = NewShape(SCTYPE_TORUS, 33, 33);
  for (int j = 0; j < 33; ++j) cs->SP[5][j] = true;
  GridEqualIntervals(*cs);
  for (int j = 0; j < 33; ++j) ExpectNear3(cs->CP[5][j], original->CP[5][j], 1e-12);
  // Disturbed, it is rebuilt as a circle in the column's own vertical plane.
  for (int j = 0; j < 32; ++j) cs->CP[5][j][2] *= 1.0 + 0.1 * std::sin(j);
  GridEqualIntervals(*cs);
  TDbl3D centre{{0, 0, 0}};
  for (int j = 0; j < 32; ++j)
    for (int k = 0; k < 3; ++k) centre[k] += cs->CP[5][j][k] / 32;
  const double radius = Dbl3DLength(SubDbl3D(cs->CP[5][0], centre));
  for (int j = 0; j < 32; ++j) {
    EXPECT_NEAR(std::atan2(cs->CP[5][j][1], cs->CP[5][j][0]), 2 * kPi * 5 / 32, 1e-12);
    EXPECT_NEAR(Dbl3DLength(SubDbl3D(cs->CP[5][j], centre)), radius, 1e-12);
  }
  ExpectEqual3(cs->CP[5][32], cs->CP[5][0]);
}

// A plane block becomes the ruled surface of its corners; locked points and corners stay.
TEST(EqualSpacing, PlaneBlockBecomesTheRuledSurfaceOfItsCorners) {
  auto cs = NewShape(SCTYPE_PLANE, 7, 7);
  Disturb(*cs);
  cs->CP[1][1] = TDbl3D{{0.0, 0.0, 0.0}};
  cs->CP[4][1] = TDbl3D{{0.75, 0.0, 0.0}};
  cs->CP[1][5] = TDbl3D{{0.0, 0.25, 1.0}};
  cs->CP[4][5] = TDbl3D{{0.75, 0.5, 0.5}};
  SelectBlock(*cs, 1, 4, 1, 5, false);
  cs->RP[2][3] = true;
  const TDbl3D locked = cs->CP[2][3];
  const TDbl3D outside = cs->CP[5][3];
  const TDbl3D inside = cs->CP[3][3];
  GridEqualIntervals(*cs);
  for (int i = 1; i <= 4; ++i)
    for (int j = 1; j <= 5; ++j) {
      if (i == 2 && j == 3) continue;
      const double u = (i - 1) / 3.0, v = (j - 1) / 4.0;
      const TDbl3D expected{{0.75 * u, (1 - u) * 0.25 * v + u * 0.5 * v, (1 - u) * v + u * 0.5 * v}};
      ExpectNear3(cs->CP[i][j], expected, 1e-12);
    }
  ExpectEqual3(cs->CP[2][3], locked);
  ExpectEqual3(cs->CP[5][3], outside);
  // The command commits the points before it works.
  ExpectEqual3(cs->DP[3][3], inside);
}

// A block across the seam of a cylinder is re-spaced through column 0, and the seam column
// follows.
TEST(EqualSpacing, CylinderBlockAcrossTheSeam) {
  auto cs = NewShape(SCTYPE_CYLINDER, 33, 9);
  Disturb(*cs);
  SelectBlock(*cs, 30, 2, 3, 5, true);
  GridEqualIntervals(*cs);
  // Row 4 lies between the boundary rows; column 30 and column 2 are first made straight, then
  // the columns 31, 0 and 1 between them.
  for (int col : {30, 2})
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(cs->CP[col][4][k], (cs->CP[col][3][k] + cs->CP[col][5][k]) / 2, 1e-12);
  const TDbl3D s = cs->CP[30][4], e = cs->CP[2][4];
  for (int u = 1; u <= 3; ++u) {
    const int col = (30 + u) % 32;
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(cs->CP[col][4][k], (u * e[k] + (4 - u) * s[k]) / 4, 1e-12);
  }
  ExpectEqual3(cs->CP[32][4], cs->CP[0][4]);
}

// Equal Distance: the block's edges are spaced evenly along themselves, the inside takes the
// mean of the two directions, corners stay.
TEST(EqualSpacing, EqualDistanceOnAPlaneBlockWorkedByHand) {
  auto cs = NewShape(SCTYPE_PLANE, 5, 3);
  const double xs[5] = {0.0, 0.1, 0.2, 0.6, 1.0};
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 3; ++j) cs->CP[i][j] = TDbl3D{{xs[i], 0.0, 0.5 * j}};
  SelectBlock(*cs, 0, 4, 0, 2, false);
  ASSERT_TRUE(GridEqualDistance(*cs));
  for (int i = 0; i < 5; ++i) {
    EXPECT_NEAR(cs->CP[i][0][0], 0.25 * i, 1e-12);  // first row: the row pass alone
    EXPECT_NEAR(cs->CP[i][2][0], 0.25 * i, 1e-12);  // last row likewise
    // Middle row: the column pass left x (columns are straight), the row pass spaced it.
    const double expected = (i == 0 || i == 4) ? xs[i] : (xs[i] + 0.25 * i) / 2;
    EXPECT_NEAR(cs->CP[i][1][0], expected, 1e-12);
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(cs->CP[i][j][2], 0.5 * j, 1e-12);
  }
}

TEST(EqualSpacing, EqualDistanceReachesEveryColumnOfAWideGrid) {
  auto cs = NewShape(SCTYPE_PLANE, 65, 17);
  for (int i = 0; i < 65; ++i)
    for (int j = 0; j < 17; ++j) cs->CP[i][j][0] = std::pow(i / 64.0, 2);
  SelectBlock(*cs, 10, 50, 2, 5, false);
  ASSERT_TRUE(GridEqualDistance(*cs));
  const double x10 = std::pow(10 / 64.0, 2), x50 = std::pow(50 / 64.0, 2);
  for (int i : {20, 30, 40, 49}) EXPECT_NEAR(cs->CP[i][2][0], x10 + (x50 - x10) * (i - 10) / 40, 1e-12) << i;
  EXPECT_EQ(cs->CP[51][2][0], std::pow(51 / 64.0, 2));
}

// A locked point inside the block, or a point outside the selection, is not written.
TEST(EqualSpacing, EqualDistanceLeavesLockedAndUnselectedPoints) {
  auto cs = NewShape(SCTYPE_TORUS, 17, 17);
  Disturb(*cs);
  // A block across both seams of the torus.
  for (int r : {14, 15, 0, 1, 2})
    for (int c : {13, 14, 15, 0, 1}) cs->SP[c][r] = true;
  JoinSeamFlagsOr(*cs, cs->SP);
  cs->RP[15][15] = true;
  auto before = std::make_unique<TCS>(*cs);
  ASSERT_TRUE(GridEqualDistance(*cs));
  ExpectEqual3(cs->CP[15][15], before->CP[15][15]);
  ExpectEqual3(cs->CP[5][5], before->CP[5][5]);
  // Corners stay; an inside point moved.
  ExpectEqual3(cs->CP[13][14], before->CP[13][14]);
  ExpectEqual3(cs->CP[1][2], before->CP[1][2]);
  bool moved = false;
  for (int k = 0; k < 3; ++k) moved = moved || cs->CP[0][0][k] != before->CP[0][0][k];
  EXPECT_TRUE(moved);
  for (int i = 0; i < 17; ++i)
    for (int j = 0; j < 17; ++j)
      for (int k = 0; k < 3; ++k) ASSERT_TRUE(std::isfinite(cs->CP[i][j][k]));
}

// Points that all coincide have no length to share out: Equal Distance leaves them.
TEST(EqualSpacing, EqualDistanceOnCoincidentPointsWritesNoNaN) {
  auto cs = NewShape(SCTYPE_PLANE, 5, 5);
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 5; ++j) cs->CP[i][j] = TDbl3D{{0.5, 0.5, 0.5}};
  SelectBlock(*cs, 0, 4, 0, 4, false);
  ASSERT_TRUE(GridEqualDistance(*cs));
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 5; ++j) ExpectEqual3(cs->CP[i][j], TDbl3D{{0.5, 0.5, 0.5}});
}
