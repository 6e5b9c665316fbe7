// The Shape menu's presets on the shape record: the side-division table, the polygon walk, the
// round bodies, locked points, the rows that take part, and grids of every size the readers
// accept (never a point written outside the grid, never a value that is not finite).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <numeric>

#include "editor/panes/ShapePresets.h"
#include "settings/AppSettings.h"
#include "shape/model/uScPrim.h"
#include "shape/model/uScSelect.h"

using editor::PrismPresetPoints;
using editor::PrismPresetTorusPoints;
using editor::RoundPresetPoints;
using editor::SideDivisionRow;
using shape::TCS;
using shape::TDbl3D;

namespace {

class Presets : public ::testing::Test {
 protected:
  void TearDown() override { settings::AppSettings = saved_; }

  static std::unique_ptr<TCS> Shape(shape::TScType type, int columns, int rows) {
    auto cs = std::make_unique<TCS>();
    shape::InitShape(*cs, type, columns, rows);
    shape::CommitShapePoints(*cs);
    shape::CountSelectedPoints(*cs);
    return cs;
  }
  static double Angle(const TDbl3D& p) { return std::atan2(p[1], p[0]); }
  static double Radius(const TDbl3D& p) { return std::hypot(p[0], p[1]); }
  static bool Same(const TDbl3D& a, const TDbl3D& b, double eps = 1e-12) {
    return std::fabs(a[0] - b[0]) <= eps && std::fabs(a[1] - b[1]) <= eps && std::fabs(a[2] - b[2]) <= eps;
  }

 private:
  settings::TAppSettings saved_ = settings::AppSettings;
};

// The corner s of a polygon of `sides` round a circle of radius r.
TDbl3D Corner(double r, int s, int sides, double z) {
  const double a = 2 * std::numbers::pi * s / sides;
  return {{r * std::cos(a), r * std::sin(a), z}};
}

}  // namespace

TEST_F(Presets, SideDivisionRowsAddUpToThePowerOfTwo) {
  for (int k = 2; k <= 8; ++k)
    for (int sides = 3; sides <= 8; ++sides) {
      const auto row = SideDivisionRow((1 << k) + 1, sides);
      ASSERT_EQ(row.size(), static_cast<size_t>(sides));
      EXPECT_EQ(std::accumulate(row.begin(), row.end(), 0), 1 << k) << k << " " << sides;
    }
  // Any grid size takes the nearest row within 5..257 points.
  EXPECT_EQ(SideDivisionRow(2, 4).data(), SideDivisionRow(5, 4).data());
  EXPECT_EQ(SideDivisionRow(3, 4).data(), SideDivisionRow(5, 4).data());
  EXPECT_EQ(SideDivisionRow(6, 4).data(), SideDivisionRow(9, 4).data());
  EXPECT_EQ(SideDivisionRow(100, 4).data(), SideDivisionRow(129, 4).data());
  EXPECT_TRUE(SideDivisionRow(33, 2).empty());
  EXPECT_TRUE(SideDivisionRow(33, 9).empty());
}

TEST_F(Presets, OctagonOnFivePointsSitsOnTheOddCorners) {
  auto cs = Shape(shape::SCTYPE_CYLINDER, 5, 5);
  PrismPresetPoints(*cs, 8, true, 0);
  for (int j = 0; j < 5; ++j) {
    const double r = Radius(shape::TDbl3D(cs->CP[0][j]));
    for (int i = 0; i < 4; ++i)
      EXPECT_TRUE(Same(cs->CP[i][j], Corner(r, 2 * i + 1, 8, cs->CP[0][j][2]))) << i;
    EXPECT_TRUE(Same(cs->CP[4][j], cs->CP[0][j]));
  }
}

TEST_F(Presets, PentagonOn33PointsHasSidesOf8_4_8_4_8) {
  auto cs = Shape(shape::SCTYPE_CYLINDER, 33, 9);
  const double r = Radius(cs->CP[0][4]), z = cs->CP[0][4][2];
  PrismPresetPoints(*cs, 5, true, 0);
  const int cornerColumns[] = {0, 8, 12, 20, 24, 32};
  for (int s = 0; s < 6; ++s) EXPECT_TRUE(Same(cs->CP[cornerColumns[s]][4], Corner(r, s % 5, 5, z))) << s;
  // Between two corners the points are evenly spaced on the side.
  const TDbl3D c1 = Corner(r, 1, 5, z), c2 = Corner(r, 2, 5, z);
  const TDbl3D half{{(c1[0] + c2[0]) / 2, (c1[1] + c2[1]) / 2, z}};
  EXPECT_TRUE(Same(cs->CP[10][4], half));
}

TEST_F(Presets, CrystallizedPrismGathersEachSideOnItsFirstCorner) {
  for (int mode = 0; mode < 2; ++mode) {
    settings::AppSettings.Crystallized = mode == 0;
    settings::AppSettings.RearrangeType = mode == 0 ? 1 : 2;
    auto cs = Shape(shape::SCTYPE_CYLINDER, 33, 5);
    const double r = Radius(cs->CP[0][2]), z = cs->CP[0][2][2];
    PrismPresetPoints(*cs, 3, true, 0);
    int counts[3] = {0, 0, 0};
    for (int i = 0; i < 32; ++i)
      for (int s = 0; s < 3; ++s) counts[s] += Same(cs->CP[i][2], Corner(r, s, 3, z), 1e-12);
    EXPECT_EQ(counts[0], 12) << mode;
    EXPECT_EQ(counts[1], 8) << mode;
    EXPECT_EQ(counts[2], 12) << mode;
  }
}

TEST_F(Presets, CylinderKeepsEachRowsHeightAndRadiusOfItsFirstPoint) {
  auto cs = Shape(shape::SCTYPE_CYLINDER, 9, 5);
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 5; ++j) cs->CP[i][j] = {{0.1 * j + 0.2, 0.05 * i, 0.1 * i - 0.3 * j}};
  PrismPresetPoints(*cs, 0, true, 0);
  for (int j = 0; j < 5; ++j) {
    const double r = 0.1 * j + 0.2, z = -0.3 * j;
    for (int i = 0; i < 8; ++i) {
      const double a = 2 * std::numbers::pi * i / 8;
      EXPECT_TRUE(Same(cs->CP[i][j], {{r * std::cos(a), r * std::sin(a), z}})) << i << " " << j;
    }
    EXPECT_TRUE(Same(cs->CP[8][j], cs->CP[0][j]));
  }
}

TEST_F(Presets, OnlyTheRowsSelectedInTheCurrentLineChange) {
  auto cs = Shape(shape::SCTYPE_CYLINDER, 9, 9);
  auto before = std::make_unique<TCS>(*cs);
  cs->SP[3][2] = cs->SP[3][6] = true;
  cs->SP[5][4] = true;  // another column: not the current line
  PrismPresetPoints(*cs, 4, false, 3);
  for (int j = 0; j < 9; ++j) {
    const bool changed = std::memcmp(&cs->CP[1][j], &before->CP[1][j], sizeof(TDbl3D)) != 0;
    EXPECT_EQ(changed, j == 2 || j == 6) << j;
  }
  // With nothing selected every row takes part (rows 2 and 6 are square already).
  shape::FillPointFlags(cs->SP, 9, 9, false);
  *before = *cs;
  PrismPresetPoints(*cs, 4, false, 3);
  for (int j = 0; j < 9; ++j) {
    const bool changed = std::memcmp(&cs->CP[1][j], &before->CP[1][j], sizeof(TDbl3D)) != 0;
    EXPECT_EQ(changed, j != 2 && j != 6) << j;
  }
}

TEST_F(Presets, LockedPointsStayWhereTheyAre) {
  for (int kind = -1; kind <= 3; ++kind) {
    auto cs = Shape(shape::SCTYPE_SPHERE, 17, 17);
    cs->RP[3][5] = true;
    cs->RP[6][cs->CPMaxJ - 1 - 4] = true;  // on a rim row for the bevel
    cs->RP[6][4] = true;
    auto before = std::make_unique<TCS>(*cs);
    if (kind < 0)
      PrismPresetPoints(*cs, 6, true, 0);
    else
      RoundPresetPoints(*cs, kind);
    for (auto [i, j] : {std::pair{3, 5}, std::pair{6, 12}, std::pair{6, 4}})
      EXPECT_TRUE(Same(cs->CP[i][j], before->CP[i][j], 0)) << kind << " " << i << "," << j;
  }
}

TEST_F(Presets, TorusTubesOfNoThicknessGetRadius015) {
  for (int kind = 0; kind <= 2; ++kind) {
    auto cs = Shape(shape::SCTYPE_TORUS, 9, 17);
    const int m = 8;
    cs->CP[2][m] = cs->CP[2][0] = {{0.6, 0, 0}};
    RoundPresetPoints(*cs, kind);
    double outer = 0;
    for (int j = 0; j < 17; ++j) outer = std::max(outer, Radius(cs->CP[2][j]));
    EXPECT_NEAR(outer, 0.75, 1e-12) << kind;
  }
  // Ball: rho = f - o cos a, z = -o sin a.
  auto cs = Shape(shape::SCTYPE_TORUS, 9, 17);
  cs->CP[0][0] = {{0.3, 0, 0}};
  cs->CP[0][8] = {{0.7, 0, 0}};
  RoundPresetPoints(*cs, 0);
  EXPECT_TRUE(Same(cs->CP[0][4], {{0.5, 0, -0.2}}));
  EXPECT_TRUE(Same(cs->CP[0][8], {{0.7, 0, 0}}));
}

TEST_F(Presets, TorusPrismSweepsTheTubePolygon) {
  auto cs = Shape(shape::SCTYPE_TORUS, 9, 9);
  cs->CP[0][0] = {{0.3, 0, 0}};
  cs->CP[0][4] = {{0.7, 0, 0}};  // tube radius 0.2 about 0.5
  PrismPresetTorusPoints(*cs, 4);
  // Row 0 is corner 0 (rho 0.3, z 0), row 2 corner 1 (rho 0.5, z -0.2), swept to 90 degrees.
  EXPECT_TRUE(Same(cs->CP[0][2], {{0.5, 0, -0.2}}));
  EXPECT_TRUE(Same(cs->CP[2][2], {{0.5 * std::cos(std::numbers::pi / 2), 0.5, -0.2}}));
  for (int i = 0; i < 9; ++i) EXPECT_TRUE(Same(cs->CP[i][8], cs->CP[i][0])) << "last row repeats the first";
  PrismPresetTorusPoints(*cs, 0);
  EXPECT_TRUE(Same(cs->CP[0][2], {{0.5, 0, -0.2}}));
}

TEST_F(Presets, RoundBodiesOnASphere) {
  auto cs = Shape(shape::SCTYPE_SPHERE, 9, 17);
  const int capRows = std::clamp((17 - 1) / 2 - 2, 1, 8);
  const double e = Radius(cs->CP[0][capRows]);
  RoundPresetPoints(*cs, 0);
  EXPECT_TRUE(Same(cs->CP[0][0], {{0, 0, -e}}));
  EXPECT_TRUE(Same(cs->CP[0][8], {{e, 0, 0}}));
  EXPECT_TRUE(Same(cs->CP[0][16], {{0, 0, e}}, 1e-12));
  // Cone: a flat disc at z = -1 up to the cap row, then up to the apex at z = 1.
  cs = Shape(shape::SCTYPE_SPHERE, 9, 17);
  const double e2 = Radius(cs->CP[2][capRows]);
  RoundPresetPoints(*cs, 2);
  EXPECT_EQ(cs->CP[2][0][2], -1);
  EXPECT_EQ(cs->CP[2][capRows][2], -1);
  EXPECT_NEAR(Radius(cs->CP[2][capRows]), e2, 1e-12);
  EXPECT_TRUE(Same(cs->CP[2][16], {{0, 0, 1}}));
}

TEST_F(Presets, EveryGridSizeStaysInsideItsGrid) {
  // Every preset on 2, 3, 4, 6, 40 and 100 columns and rows: nothing beyond the grid changes,
  // and every point of the grid stays finite.
  auto cs = std::make_unique<TCS>();  // one record for every case: it is 3.5 MB
  for (int n : {2, 3, 4, 6, 40, 100})
    for (shape::TScType type :
         {shape::SCTYPE_SPHERE, shape::SCTYPE_TORUS, shape::SCTYPE_PLANE, shape::SCTYPE_CYLINDER})
      for (int op = 0; op < 14; ++op) {
        shape::InitShape(*cs, type, n, n);
        // Points of their own (the primitives of the smallest grids are not all finite), and a
        // band of eight lines round the grid where a stray write would land.
        const int limit = std::min(shape::kGridMax, n + 8);
        for (int i = 0; i < limit; ++i)
          for (int j = 0; j < limit; ++j)
            cs->CP[i][j] = i >= n || j >= n
                               ? TDbl3D{{7, 7, 7}}
                               : TDbl3D{{0.8 * std::sin(1.3 * i + j), 0.8 * std::cos(0.7 * j + i),
                                         0.8 * std::sin(i + 0.5 * j)}};
        if (op == 8 || op == 10) cs->CP[0][0] = cs->CP[0][(n - 1) / 2];  // a torus tube of no thickness
        const std::string what =
            std::to_string(n) + " type " + std::to_string(type) + " op " + std::to_string(op);
        if (op < 7)
          PrismPresetPoints(*cs, op == 0 ? 0 : op + 2, true, 0);
        else if (op < 13)
          RoundPresetPoints(*cs, op - 7);
        else
          PrismPresetTorusPoints(*cs, 5);
        for (int i = 0; i < limit; ++i)
          for (int j = 0; j < limit; ++j)
            for (int k = 0; k < 3; ++k) {
              const double c = cs->CP[i][j][k];
              if (i >= n || j >= n)
                ASSERT_EQ(c, 7) << what << " wrote " << i << "," << j;
              else
                ASSERT_TRUE(std::isfinite(c)) << what << " at " << i << "," << j;
            }
      }
}

TEST_F(Presets, ColumnsBeyondTheTablesSumKeepTheirPoints) {
  // 40 columns: the 33-point row (32 intervals) covers columns 0..31; 32..38 stay.
  auto cs = Shape(shape::SCTYPE_CYLINDER, 40, 5);
  auto before = std::make_unique<TCS>(*cs);
  PrismPresetPoints(*cs, 4, true, 0);
  for (int i = 32; i <= 38; ++i)
    for (int j = 0; j < 5; ++j) EXPECT_TRUE(Same(cs->CP[i][j], before->CP[i][j], 0)) << i;
  EXPECT_FALSE(Same(cs->CP[16][2], before->CP[16][2], 1e-9));
  // 6 columns: the 9-point row would run past the last distinct column (4); it stops there.
  cs = Shape(shape::SCTYPE_CYLINDER, 6, 5);
  const double r = Radius(cs->CP[0][2]);
  PrismPresetPoints(*cs, 4, true, 0);
  EXPECT_TRUE(Same(cs->CP[2][2], Corner(r, 1, 4, cs->CP[0][2][2])));
  EXPECT_TRUE(Same(cs->CP[5][2], cs->CP[0][2]));
}
