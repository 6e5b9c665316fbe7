#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "ShapeTestUtil.h"
#include "shape/model/Dbl3D.h"
#include "shape/model/uScPrim.h"

using namespace shape;
using shape_test::NewShape;
using shape_test::SettingsGuard;

namespace {

// What a separately built library sees of the record: raw bytes at fixed offsets.
template <typename T>
T ReadAt(const TCS& cs, size_t offset) {
  T v;
  std::memcpy(&v, reinterpret_cast<const unsigned char*>(&cs) + offset, sizeof v);
  return v;
}

int gResizeCalls = 0;
int gResizeWidth = 0;
int gResizeHeight = 0;
void RecordResize(int32_t w, int32_t h) {
  ++gResizeCalls;
  gResizeWidth = w;
  gResizeHeight = h;
}

}  // namespace

TEST(Record, RawBytesSitAtTheSharedOffsets) {
  auto cs = std::make_unique<TCS>();
  cs->ScType = SCTYPE_CYLINDER;
  cs->CPMaxI = 65;
  cs->CPMaxJ = 17;
  cs->Count = 7;
  cs->R0.b7 = {1.25, -2.5};
  cs->R1.rp = {3.5, 4.5};
  cs->CP[2][3] = {0.125, -0.25, 0.5};
  cs->DP[256][256] = {9, 8, 7};
  cs->SP[1][2] = true;
  cs->RP[256][256] = true;
  cs->GP[4][5] = 42;
  cs->GP[256][256] = -1;
  EXPECT_EQ(ReadAt<uint8_t>(*cs, 0), 3);
  EXPECT_EQ(ReadAt<int32_t>(*cs, 4), 65);
  EXPECT_EQ(ReadAt<int32_t>(*cs, 8), 17);
  EXPECT_EQ(ReadAt<int32_t>(*cs, 12), 7);
  EXPECT_EQ(ReadAt<double>(*cs, 16 + 192), 1.25);
  EXPECT_EQ(ReadAt<double>(*cs, 16 + 200), -2.5);
  EXPECT_EQ(ReadAt<double>(*cs, 224 + 64 + 8), 4.5);
  EXPECT_EQ(ReadAt<double>(*cs, 432 + (2 * 257 + 3) * 24 + 16), 0.5);
  EXPECT_EQ(ReadAt<double>(*cs, 1585608 + (256 * 257 + 256) * 24), 9.0);
  EXPECT_EQ(ReadAt<uint8_t>(*cs, 3170784 + 1 * 257 + 2), 1);
  EXPECT_EQ(ReadAt<uint8_t>(*cs, 3236833 + 256 * 257 + 256), 1);
  EXPECT_EQ(ReadAt<int32_t>(*cs, 3302884 + (4 * 257 + 5) * 4), 42);
  EXPECT_EQ(ReadAt<int32_t>(*cs, 3302884 + (256 * 257 + 256) * 4), -1);
  EXPECT_EQ(3302884 + 257 * 257 * 4, 3567080);
}

TEST(Primitive, SphereOf33Rows) {
  auto cs = NewShape(SCTYPE_SPHERE, 33, 33);
  EXPECT_EQ(CapRows, 8);
  EXPECT_EQ(UpperRimRow, 24);
  EXPECT_EQ(CPHalfI, 16);
  EXPECT_EQ(CPHalfJ, 16);
  for (int i = 0; i < 33; ++i) {
    SCOPED_TRACE(i);
    // Poles: exactly one point each, with no negative zeros left by r = 0.
    EXPECT_EQ(std::memcmp(&cs->CP[i][0], &cs->CP[0][0], sizeof(TDbl3D)), 0);
    EXPECT_TRUE(EqualDbl3D(cs->CP[i][0], {0, 0, -0.75}));
    EXPECT_FALSE(std::signbit(cs->CP[i][0][0]) || std::signbit(cs->CP[i][0][1]));
    EXPECT_TRUE(EqualDbl3D(cs->CP[i][32], {0, 0, 0.75}));
    // Rims: circles of radius 0.75.
    EXPECT_NEAR(std::hypot(cs->CP[i][8][0], cs->CP[i][8][1]), 0.75, 1e-15);
    EXPECT_EQ(cs->CP[i][8][2], -0.75);
    EXPECT_NEAR(std::hypot(cs->CP[i][24][0], cs->CP[i][24][1]), 0.75, 1e-15);
    EXPECT_EQ(cs->CP[i][24][2], 0.75);
  }
  for (int j = 0; j < 33; ++j) EXPECT_TRUE(EqualDbl3D(cs->CP[32][j], cs->CP[0][j])) << j;
  // Axis points are snapped to exact values.
  EXPECT_TRUE(EqualDbl3D(cs->CP[8][16], {0, 0.75, 0}));
  EXPECT_TRUE(EqualDbl3D(cs->CP[16][16], {-0.75, 0, 0}));
  // Lower cap: radius grows by 0.75 / CapRows per row.
  EXPECT_NEAR(cs->CP[0][4][0], 0.375, 1e-15);
  EXPECT_EQ(cs->CP[0][4][2], -0.75);
}

TEST(Primitive, CapRowsAndRimRowsFollowTheRowCount) {
  struct Case {
    int rows, capRows, upperRim;
  } cases[] = {{5, 1, 3}, {9, 2, 6}, {17, 6, 10}, {33, 8, 24}, {257, 8, 248}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rows);
    auto cs = NewShape(SCTYPE_SPHERE, 9, c.rows);
    EXPECT_EQ(CapRows, c.capRows);
    EXPECT_EQ(UpperRimRow, c.upperRim);
    EXPECT_EQ(cs->CP[0][CapRows][2], -0.75);
    EXPECT_EQ(cs->CP[0][UpperRimRow][2], 0.75);
  }
  auto five = NewShape(SCTYPE_SPHERE, 9, 5);
  EXPECT_EQ(five->CP[0][1][2], -0.75);
  EXPECT_EQ(five->CP[0][2][2], 0.0);
  EXPECT_EQ(five->CP[0][3][2], 0.75);
}

// With 3 rows the wall is the single row 1, both lower and upper rim: it sits halfway between
// the two poles instead of at 0 / 0 steps.
TEST(Primitive, SphereOfThreeRowsHasAFiniteWallRow) {
  for (int columns : {2, 3, 9}) {
    SCOPED_TRACE(columns);
    auto cs = NewShape(SCTYPE_SPHERE, columns, 3);
    ASSERT_EQ(CapRows, 1);
    ASSERT_EQ(UpperRimRow, 1);
    for (int i = 0; i < columns; ++i) {
      EXPECT_EQ(cs->CP[i][0][2], -0.75);
      EXPECT_EQ(cs->CP[i][1][2], 0.0);
      EXPECT_EQ(cs->CP[i][2][2], 0.75);
    }
  }
}

TEST(Primitive, TorusPlaneAndCylinder) {
  SettingsGuard guard;
  auto torus = NewShape(SCTYPE_TORUS, 33, 33);
  EXPECT_TRUE(EqualDbl3D(torus->CP[0][0], {0.3, 0, 0}));
  EXPECT_NEAR(torus->CP[0][16][0], 0.9, 1e-15);
  EXPECT_TRUE(EqualDbl3D(torus->CP[32][32], torus->CP[0][0]));
  EXPECT_EQ(torus->CP[0][8][2], -0.3);

  settings::AppSettings.MaximizeWithSymmetry = false;
  auto plane = NewShape(SCTYPE_PLANE, 33, 17);
  EXPECT_EQ(plane->CP[0][0][0], -0.9921875);
  EXPECT_EQ(plane->CP[32][16][0], 1.0);
  EXPECT_EQ(plane->CP[32][16][2], 1.0);
  EXPECT_EQ(plane->CP[5][5][1], 0.0);
  settings::AppSettings.MaximizeWithSymmetry = true;
  plane = NewShape(SCTYPE_PLANE, 33, 17);
  EXPECT_EQ(plane->CP[32][16][0], 0.9921875);
  EXPECT_EQ(plane->CP[16][8][0], 0.0);

  auto cyl = NewShape(SCTYPE_CYLINDER, 17, 9);
  EXPECT_EQ(cyl->CP[0][0][2], -0.75);
  EXPECT_EQ(cyl->CP[0][8][2], 0.75);
  EXPECT_EQ(cyl->CP[3][4][2], 0.0);
  for (int j = 0; j < 9; ++j) EXPECT_TRUE(EqualDbl3D(cyl->CP[16][j], cyl->CP[0][j]));
}

TEST(Primitive, InitShapeClearsWholeMasksButKeepsCommittedPointsAndFrames) {
  auto cs = std::make_unique<TCS>();
  cs->SP[200][200] = true;
  cs->RP[256][0] = true;
  cs->GP[100][250] = 5;
  cs->DP[1][1] = {0.5, 0.5, 0.5};
  cs->R0.rp = {1, 2};
  cs->CP[100][100] = {0.25, 0.25, 0.25};
  cs->Count = 9;
  InitShape(*cs, SCTYPE_SPHERE, 33, 33);
  EXPECT_FALSE(cs->SP[200][200]);
  EXPECT_FALSE(cs->RP[256][0]);
  EXPECT_EQ(cs->GP[100][250], -1);
  EXPECT_EQ(cs->Count, 0);
  EXPECT_TRUE(EqualDbl3D(cs->DP[1][1], {0.5, 0.5, 0.5}));
  EXPECT_EQ(cs->R0.rp[1], 2.0);
  EXPECT_TRUE(EqualDbl3D(cs->CP[100][100], {0.25, 0.25, 0.25}));  // outside the block
}

TEST(Primitive, ResetDefaultShapeTouchesOnlyTypeSizeAndPoints) {
  auto cs = NewShape(SCTYPE_TORUS, 65, 17);
  cs->SP[3][3] = true;
  cs->Count = 1;
  ResetDefaultShape(*cs);
  EXPECT_EQ(cs->ScType, SCTYPE_SPHERE);
  EXPECT_EQ(cs->CPMaxI, 33);
  EXPECT_EQ(cs->CPMaxJ, 33);
  EXPECT_EQ(CapRows, 8);
  EXPECT_TRUE(cs->SP[3][3]);
  EXPECT_EQ(cs->Count, 1);
  EXPECT_EQ(cs->CP[0][0][2], -0.75);
}

TEST(GridSize, DerivedValuesAndTextureHook) {
  SettingsGuard guard;
  SetTextureResizeHook(&RecordResize);
  gResizeCalls = 0;
  auto cs = std::make_unique<TCS>();
  cs->CPMaxI = 257;
  cs->CPMaxJ = 33;
  settings::AppSettings.DividedHorizontal = true;
  SetGridSize(*cs);
  EXPECT_EQ(LinesPerPart, 4);
  EXPECT_EQ(TextureWidth, 4096);
  EXPECT_EQ(TextureHeight, 512);
  EXPECT_EQ(gResizeCalls, 1);
  EXPECT_EQ(gResizeWidth, 4096);
  EXPECT_EQ(gResizeHeight, 512);
  settings::AppSettings.DividedHorizontal = false;
  SetGridSize(*cs);
  EXPECT_EQ(LinesPerPart, 32);
  EXPECT_EQ(CPHalfI, 128);
  SetTextureResizeHook(nullptr);
  SetGridSize(*cs);
  EXPECT_EQ(gResizeCalls, 2);
}

TEST(Seams, TorusCornerEndsEqualToTheOrigin) {
  auto cs = NewShape(SCTYPE_TORUS, 9, 9);
  cs->CP[0][0] = {0.1, 0.2, 0.3};
  cs->CP[8][0] = {0.9, 0.9, 0.9};
  cs->SP[0][0] = true;
  cs->GP[0][0] = 3;
  CopySeams(*cs, 0);
  EXPECT_TRUE(EqualDbl3D(cs->CP[8][8], {0.1, 0.2, 0.3}));
  EXPECT_TRUE(EqualDbl3D(cs->CP[0][8], {0.1, 0.2, 0.3}));
  EXPECT_TRUE(cs->SP[8][8]);
  EXPECT_EQ(cs->GP[8][8], 3);
}

TEST(Seams, SpherePolesTakeTheGivenColumn) {
  auto cs = NewShape(SCTYPE_SPHERE, 9, 9);
  cs->CP[4][0] = {0.5, 0, -0.5};
  cs->RP[4][8] = true;
  CopySeams(*cs, 4);
  for (int i = 0; i < 9; ++i) {
    EXPECT_TRUE(EqualDbl3D(cs->CP[i][0], {0.5, 0, -0.5}));
    EXPECT_TRUE(cs->RP[i][8]);
  }
}

TEST(Detect, EachPrimitiveAndTheSeamComesFirst) {
  for (TScType t : {SCTYPE_SPHERE, SCTYPE_TORUS, SCTYPE_PLANE, SCTYPE_CYLINDER}) {
    auto cs = NewShape(t, 17, 9);
    EXPECT_EQ(DetectStitchType(*cs, -1), t);
  }
  auto cs = NewShape(SCTYPE_SPHERE, 17, 9);
  EXPECT_EQ(DetectStitchType(*cs, 2), SCTYPE_PLANE);
  EXPECT_EQ(DetectStitchType(*cs, 4), SCTYPE_SPHERE);
  cs->CP[16][5][0] += 0.01;  // seam broken; the poles still collapse
  EXPECT_EQ(DetectStitchType(*cs, 4), SCTYPE_PLANE);
}

TEST(Detect, StitchTypeNameOfABlock) {
  auto cs = std::make_unique<TCS>();
  // A 9 x 9 torus placed at column 10, row 20 of a plane.
  InitShape(*cs, SCTYPE_PLANE, 40, 40);
  auto torus = NewShape(SCTYPE_TORUS, 9, 9);
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) cs->CP[10 + i][20 + j] = torus->CP[i][j];
  EXPECT_EQ(StitchTypeName(cs->CP, 10, 20, 9, 9), "TORUS");
  EXPECT_EQ(StitchTypeName(cs->CP, 10, 20, 9, 8), "CYLINDER");
  EXPECT_EQ(StitchTypeName(cs->CP, 10, 20, 8, 9), "PLANE");
  auto sphere = NewShape(SCTYPE_SPHERE, 9, 9);
  EXPECT_EQ(StitchTypeName(sphere->CP, 0, 0, 9, 9), "SPHERE");
}

TEST(Maximize, ScalesEachAxisAndZeroesAFlatOne) {
  SettingsGuard guard;
  settings::AppSettings.MaximizeWithSymmetry = false;
  auto cs = NewShape(SCTYPE_PLANE, 5, 5);
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 5; ++j) cs->CP[i][j] = {0.1 * i, 0.3, -0.2 + 0.05 * j};
  cs->CP[10][10] = {5, 5, 5};  // outside the block: not part of the extent
  MaximizeShape(*cs);
  EXPECT_EQ(cs->CP[0][0][0], -0.9921875);
  EXPECT_EQ(cs->CP[4][0][0], 1.0);
  EXPECT_EQ(cs->CP[2][2][1], 0.0);
  EXPECT_EQ(cs->CP[0][4][2], 1.0);
  EXPECT_NEAR(cs->CP[0][2][2], 0.00390625, 1e-15);
  EXPECT_EQ(cs->CP[10][10][0], 5.0);
}

TEST(Dbl3D, Routines) {
  const TDbl3D zero{0, 0, 0};
  EXPECT_TRUE(EqualDbl3D(NormalizeDbl3D(zero), zero));
  EXPECT_TRUE(EqualDbl3D(UnitDbl3D(zero), {0, 0, 1}));
  EXPECT_EQ(CosAngleDbl3D(zero, {1, 0, 0}), 1.0);
  EXPECT_TRUE(SameDbl3D({1, 1, 1}, {1.0000099, 0.9999901, 1}));
  EXPECT_FALSE(SameDbl3D({1, 1, 1}, {1.00002, 1, 1}));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(SameDbl3D({nan, 0, 0}, {nan, 0, 0}));
  EXPECT_TRUE(EqualDbl3D(CrossDbl3D({1, 0, 0}, {0, 1, 0}), {0, 0, 1}));
  EXPECT_EQ(Dbl3DLength({3, 4, 12}), 13.0);
  EXPECT_TRUE(EqualDbl3D(NormalizeDbl3D({0, 3, 4}), {0, 0.6, 0.8}));
  EXPECT_EQ(DotDbl3D({1, 2, 3}, {4, 5, 6}), 32.0);
  TDbl3D a{1, 2, 3};
  IncDbl3D(a, {1, 1, 1});
  EXPECT_TRUE(EqualDbl3D(a, {2, 3, 4}));
  EXPECT_TRUE(EqualDbl3D(AddDbl3D(a, a), {4, 6, 8}));
  // (a - b) x (c - a) of a counter-clockwise triangle in the xy plane points down.
  EXPECT_TRUE(EqualDbl3D(FaceNormalDbl3D({0, 0, 0}, {1, 0, 0}, {0, 1, 0}), {0, 0, -1}));
  EXPECT_TRUE(EqualDbl3D(TriangleNormal({0, 0, 0}, {2, 0, 0}, {0, 3, 0}), {0, 0, 1}));
  EXPECT_EQ(CosAngleDbl3D({1, 0, 0}, {0, 2, 0}), 0.0);
}
