// The window-free grid routines of the shape editors: symmetry partners, the similarity step,
// the lathe's sweep and Folder command, the cap's Optimize, the chamfer walk and the ring frame.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>

#include "editor/editors/RingFrame.h"
#include "editor/editors/ShapeEditorGrid.h"
#include "shape/model/Dbl3D.h"
#include "shape/model/uScPrim.h"
#include "shape/model/uScSelect.h"

using shape::TCS;
using shape::TDbl3D;

namespace {

std::unique_ptr<TCS> NewShape(shape::TScType type, int columns, int rows) {
  auto cs = std::make_unique<TCS>();
  shape::InitShape(*cs, type, columns, rows);
  shape::CommitShapePoints(*cs);
  return cs;
}

bool AllFinite(const TCS& cs) {
  for (int i = 0; i < cs.CPMaxI; ++i)
    for (int j = 0; j < cs.CPMaxJ; ++j)
      for (int k = 0; k < 3; ++k)
        if (!std::isfinite(cs.CP[i][j][k])) return false;
  return true;
}

}  // namespace

TEST(SymmetryPartners, ColumnsAndMapsOfEachMode) {
  struct Case {
    int mode, column;
    bool bend;
    int count;
    int columns[3];
    int maps[3][4];
  } cases[] = {
      {1, 2, false, 1, {30}, {{-1, 0, 0, 1}}},
      {1, 2, true, 1, {14}, {{-1, 0, 0, 1}}},
      {2, 3, false, 1, {19}, {{-1, 0, 0, -1}}},
      {3, 3, false, 3, {19, 13, 29}, {{-1, 0, 0, -1}, {1, 0, 0, -1}, {-1, 0, 0, 1}}},
      {3, 3, true, 3, {19, 29, 13}, {{-1, 0, 0, -1}, {1, 0, 0, -1}, {-1, 0, 0, 1}}},
      {4, 3, false, 3, {11, 19, 27}, {{0, 1, -1, 0}, {-1, 0, 0, -1}, {0, -1, 1, 0}}},
      {4, 30, true, 3, {6, 14, 22}, {{0, 1, -1, 0}, {-1, 0, 0, -1}, {0, -1, 1, 0}}},
      {0, 3, false, 0, {}, {}},
      {5, 3, false, 0, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " column " << c.column << " bend " << c.bend);
    editor::TSymmetryPartner out[3];
    ASSERT_EQ(editor::SymmetryPartners(c.mode, c.column, 33, c.bend, out), c.count);
    for (int k = 0; k < c.count; ++k) {
      EXPECT_EQ(out[k].Column, c.columns[k]);
      EXPECT_EQ(out[k].Uu, c.maps[k][0]);
      EXPECT_EQ(out[k].Uv, c.maps[k][1]);
      EXPECT_EQ(out[k].Vu, c.maps[k][2]);
      EXPECT_EQ(out[k].Vv, c.maps[k][3]);
    }
  }
  // Tiny rings stay inside: 2 columns give one distinct column, 0.
  editor::TSymmetryPartner out[3];
  for (int mode = 1; mode <= 4; ++mode) {
    const int n = editor::SymmetryPartners(mode, 1, 2, false, out);
    for (int k = 0; k < n; ++k) EXPECT_EQ(out[k].Column, 0);
  }
}

TEST(FollowSimilarity, TurnsAndScalesAboutTheCentre) {
  TDbl3D r{{0, 0, 7}};
  // a = (1, 0) goes to b = (0, 2) about the origin: a quarter turn and a factor 2.
  editor::FollowSimilarity({{0, 0, 0}}, {{1, 0, 0}}, {{0, 2, 0}}, {{1, 1, 5}}, r);
  EXPECT_NEAR(r[0], -2, 1e-12);
  EXPECT_NEAR(r[1], 2, 1e-12);
  EXPECT_EQ(r[2], 7);  // z is not written
  // A committed point on the centre: no scaling, only the turn (0 here).
  editor::FollowSimilarity({{1, 1, 0}}, {{1, 1, 0}}, {{3, 1, 0}}, {{2, 1, 0}}, r);
  EXPECT_NEAR(r[0], 2, 1e-12);
  EXPECT_NEAR(r[1], 1, 1e-12);
}

TEST(LatheSweep, MarkedColumnsFollowTheProfileRadius) {
  auto cs = NewShape(shape::SCTYPE_SPHERE, 9, 9);
  shape::TLineMarks marks;
  shape::FillLineMarks(marks, 1);
  marks[3] = 0;
  cs->RP[5][4] = true;
  // Profile column 2, row 4 (radius 0.75) pushed out to radius 1.5 and up.
  cs->CP[2][4] = {{0, 1.5, 0.25}};
  // Row 0 is the pole (on the axis): a profile point moved off it sweeps to a circle.
  cs->CP[2][0] = {{0, 0.5, -0.75}};
  editor::SweepProfile(*cs, 2, marks);
  for (int c = 0; c < 9; ++c) {
    SCOPED_TRACE(c);
    if (c == 2) continue;
    if (c == 3 || c == 5) {
      EXPECT_TRUE(shape::EqualDbl3D(cs->CP[c][4], cs->DP[c][4]));  // unmarked, locked
      continue;
    }
    EXPECT_NEAR(cs->CP[c][4][0], cs->DP[c][4][0] * 2, 1e-9);
    EXPECT_NEAR(cs->CP[c][4][1], cs->DP[c][4][1] * 2, 1e-9);
    EXPECT_EQ(cs->CP[c][4][2], 0.25);
    if (c == 3) continue;
    const double angle = c * 2 * std::numbers::pi / 8;
    EXPECT_NEAR(cs->CP[c][0][0], 0.5 * std::cos(angle), 1e-12);
    EXPECT_NEAR(cs->CP[c][0][1], 0.5 * std::sin(angle), 1e-12);
  }
  // Rows whose profile point did not move are left alone.
  for (int c = 0; c < 9; ++c) EXPECT_TRUE(shape::EqualDbl3D(cs->CP[c][6], cs->DP[c][6]));
}

TEST(LatheFolder, UnmarkedColumnsBetweenTheirMarkedNeighbours) {
  auto cs = NewShape(shape::SCTYPE_CYLINDER, 9, 3);
  shape::TLineMarks marks;
  shape::FillLineMarks(marks, 0);
  // Marked: 7 (at -45 degrees) and 1 (at 45 degrees); columns 0 and 8 are one.
  marks[1] = marks[7] = 1;
  cs->CP[1][1] = {{0, 1, 0.5}};   // radius 1 at 90 degrees
  cs->CP[7][1] = {{0.5, 0, 0}};   // radius 0.5 at 0 degrees
  cs->CP[7][0] = {{0, -0.5, 0}};  // -90 degrees
  cs->RP[0][2] = true;
  editor::FillUnmarkedColumns(*cs, marks);
  // Column 0: one step from 7 (a = 1), one from 1 (b = 1), across the +-pi wrap of atan2:
  // angles 0 and 90 degrees, radii 0.5 and 1.
  EXPECT_NEAR(cs->CP[0][1][0], 0.75 * std::cos(std::numbers::pi / 4), 1e-12);
  EXPECT_NEAR(cs->CP[0][1][1], 0.75 * std::sin(std::numbers::pi / 4), 1e-12);
  EXPECT_NEAR(cs->CP[0][1][2], 0.25, 1e-12);
  // Column 4 lies 3 steps from each: angle between -90 + ... taken the way atan2 gives them.
  EXPECT_TRUE(AllFinite(*cs));
  EXPECT_TRUE(shape::EqualDbl3D(cs->CP[0][2], cs->DP[0][2]));  // locked
  // Column 3: 2 steps from 1 (b side is 7, 4 steps on): weights 4 and 2.
  const double r1 = 1, r7 = 0.5;
  EXPECT_NEAR(std::hypot(cs->CP[3][1][0], cs->CP[3][1][1]), (4 * r1 + 2 * r7) / 6, 1e-12);

  // Fewer than two marks: nothing changes.
  auto other = NewShape(shape::SCTYPE_SPHERE, 9, 9);
  shape::FillLineMarks(marks, 0);
  marks[2] = 1;
  other->CP[4][4] = {{0.1, 0.1, 0.1}};
  editor::FillUnmarkedColumns(*other, marks);
  EXPECT_EQ(other->CP[4][4][0], 0.1);
  EXPECT_TRUE(shape::EqualDbl3D(other->CP[5][4], other->DP[5][4]));
}

TEST(OptimizeCap, EveryLevelIsSetAndTheRimAndPoleStay) {
  for (int size : {2, 3, 4, 6, 9, 33}) {
    SCOPED_TRACE(size);
    auto cs = NewShape(shape::SCTYPE_SPHERE, size, size);
    const int rim = editor::UpperRimRowOf(*cs), top = size - 1;
    const TDbl3D pole = cs->CP[0][top], rimPoint = cs->CP[0][rim];
    // Scramble the cap's inner rows.
    for (int i = 0; i < size; ++i)
      for (int j = rim + 1; j < top; ++j) cs->CP[i][j] = {{0.9, -0.9, 0.75}};
    editor::OptimizeUpperCap(*cs);
    EXPECT_TRUE(AllFinite(*cs));
    EXPECT_TRUE(shape::EqualDbl3D(cs->CP[0][top], pole));
    EXPECT_TRUE(shape::EqualDbl3D(cs->CP[0][rim], rimPoint));
    // The primitive's cap is convex: every inner row lies on the spoke from the pole.
    for (int i = 0; i + 1 < size; ++i)
      for (int j = rim + 1; j < top; ++j) {
        const double f = static_cast<double>(top - j) / (top - rim);
        EXPECT_NEAR(cs->CP[i][j][0], f * cs->CP[i][rim][0] + (1 - f) * pole[0], 1e-12);
        EXPECT_NEAR(cs->CP[i][j][1], f * cs->CP[i][rim][1] + (1 - f) * pole[1], 1e-12);
      }
  }
}

TEST(ChamferWalk, PointCountsByTheRingSize) {
  struct Case {
    int ring, steps;
  } cases[] = {{33, 32}, {25, 32}, {17, 16}, {12, 16}, {11, 0}, {9, 0}, {2, 0}, {257, 256}, {129, 128}};
  std::vector<editor::TChamferStep> walk;
  for (const Case& c : cases) {
    editor::ChamferWalk(c.ring, walk);
    EXPECT_EQ(static_cast<int>(walk.size()), c.steps) << c.ring;
  }
  editor::ChamferWalk(33, walk);
  // From the first edge round the rectangle with its corners cut by 5 percent.
  EXPECT_EQ(walk[0].S, 1);
  EXPECT_EQ(walk[0].Depth, 0);
  EXPECT_NEAR(walk[3].S, 1, 1e-12);
  EXPECT_NEAR(walk[3].Depth, 0.95, 1e-12);
  EXPECT_NEAR(walk[5].S, 0.975, 1e-12);  // the cut corner
  EXPECT_NEAR(walk[5].Depth, 1, 1e-12);
  for (const auto& s : walk) {
    EXPECT_GE(s.S, 0);
    EXPECT_LE(s.S, 1);
    EXPECT_LE(std::abs(s.Depth), 1);
  }
}

namespace {

// A ring of 33 points on row 1 of a plane grid, on a circle of radius r about `centre` in the
// plane spanned by e1 and e2.
std::unique_ptr<TCS> RingShape(const TDbl3D& centre, const TDbl3D& e1, const TDbl3D& e2, double r) {
  auto cs = NewShape(shape::SCTYPE_CYLINDER, 33, 3);
  for (int i = 0; i < 33; ++i) {
    const double a = i * 2 * std::numbers::pi / 32;
    for (int k = 0; k < 3; ++k) cs->DP[i][1][k] = centre[k] + r * (std::cos(a) * e1[k] + std::sin(a) * e2[k]);
    cs->CP[i][1] = cs->DP[i][1];
  }
  return cs;
}

}  // namespace

TEST(RingFrame, FlatUprightAndDegenerateRings) {
  editor::TRingFrame f;
  // Flat ring whose triangles' normal is +z (clockwise seen from above): no tilt (the third row
  // of the rotation stays +z). Turning the other way it is turned over (the normal becomes +z).
  auto flat = RingShape({{0.1, 0.2, 0.3}}, {{0, 1, 0}}, {{1, 0, 0}}, 0.5);
  editor::BuildRingFrame(*flat, 1, f);
  EXPECT_NEAR(f.Rotation[2][0], 0, 1e-12);
  EXPECT_NEAR(f.Rotation[2][1], 0, 1e-12);
  EXPECT_NEAR(f.Rotation[2][2], 1, 1e-12);
  EXPECT_NEAR(f.Radius, 0.5, 1e-12);
  EXPECT_NEAR(f.Centre[2], 0.3, 1e-12);
  // Column 0 on the positive v axis, the centre at (-OffsetH, -OffsetV).
  const shape::TDbl2D c0 = editor::RingToPlane(f, flat->DP[0][1]);
  EXPECT_NEAR(c0[0] + f.OffsetH, 0, 1e-9);
  EXPECT_NEAR(c0[1] + f.OffsetV, 0.5, 1e-9);
  auto over = RingShape({{0.1, 0.2, 0.3}}, {{1, 0, 0}}, {{0, 1, 0}}, 0.5);
  editor::BuildRingFrame(*over, 1, f);
  EXPECT_NEAR(f.Rotation[2][2], -1, 1e-12);
  // Upright ring in the xz plane (containing the z axis): tilted by 90 degrees.
  auto upright = RingShape({{0, 0, 0}}, {{1, 0, 0}}, {{0, 0, 1}}, 0.5);
  editor::BuildRingFrame(*upright, 1, f);
  EXPECT_NEAR(std::abs(f.Rotation[2][2]), 0, 1e-12);
  EXPECT_NEAR(std::abs(f.Rotation[2][1]), 1, 1e-12);
  // Every point of the ring maps into the plane and back.
  for (int i = 0; i < 33; ++i) {
    const shape::TDbl2D p = editor::RingToPlane(f, upright->DP[i][1]);
    const TDbl3D back = editor::PlaneToRing(f, p[0], p[1]);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(back[k], upright->DP[i][1][k], 1e-12);
  }
  // Four coinciding samples: a zero normal, taken as +z (no tilt), radius 0.
  auto point = RingShape({{0.2, 0.2, 0.2}}, {{1, 0, 0}}, {{0, 1, 0}}, 0);
  editor::BuildRingFrame(*point, 1, f);
  EXPECT_NEAR(f.Rotation[2][2], 1, 1e-12);
  EXPECT_EQ(f.Radius, 0);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_TRUE(std::isfinite(f.Rotation[i][j]));
}
