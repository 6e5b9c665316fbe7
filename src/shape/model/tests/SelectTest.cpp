#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "ShapeTestUtil.h"
#include "shape/model/Dbl3D.h"
#include "shape/model/uScColor.h"
#include "shape/model/uScSelect.h"

using namespace shape;
using shape_test::NewShape;

TEST(Count, FullySelected33x33PerStitchType) {
  struct Case {
    TScType type;
    int count;
  } cases[] = {{SCTYPE_TORUS, 1024}, {SCTYPE_SPHERE, 994}, {SCTYPE_PLANE, 1089}, {SCTYPE_CYLINDER, 1056}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    auto cs = NewShape(c.type, 33, 33);
    FillPointFlags(cs->SP, 33, 33, true);
    CountSelectedPoints(*cs);
    EXPECT_EQ(cs->Count, c.count);
    InvertPointFlags(cs->SP, 33, 33);
    CountSelectedPoints(*cs);
    EXPECT_EQ(cs->Count, 0);
  }
}

TEST(Count, SeamCopyDecidesTheDuplicates) {
  // A flag set only on a duplicate does not count: the seam copy overwrites it first.
  auto cs = NewShape(SCTYPE_CYLINDER, 9, 9);
  cs->SP[8][3] = true;
  CountSelectedPoints(*cs);
  EXPECT_EQ(cs->Count, 0);
  EXPECT_FALSE(cs->SP[8][3]);
  cs->SP[0][3] = true;
  CountSelectedPoints(*cs);
  EXPECT_EQ(cs->Count, 1);
  EXPECT_TRUE(cs->SP[8][3]);
}

namespace {

// A reproducible scatter of flags, thinned to about one in `every` set.
void ScatterFlags(TASP256& flags, int columns, int rows, uint32_t seed, int every) {
  for (int i = 0; i < columns; ++i)
    for (int j = 0; j < rows; ++j) {
      seed = seed * 1664525u + 1013904223u;
      flags[i][j] = (seed >> 24) % every == 0;
    }
}

// The unique points of each stitch type, counted the plain way.
int PlainCount(const TCS& cs) {
  const int ni = cs.CPMaxI, nj = cs.CPMaxJ;
  int n = 0;
  for (int i = 0; i < ni; ++i)
    for (int j = 0; j < nj; ++j) {
      const bool seamColumn = i == ni - 1 && cs.ScType != SCTYPE_PLANE;
      const bool seamRow = j == nj - 1 && cs.ScType == SCTYPE_TORUS;
      const bool poleCopy = cs.ScType == SCTYPE_SPHERE && (j == 0 || j == nj - 1) && i != 0;
      if (!seamColumn && !seamRow && !poleCopy && cs.SP[i][j]) ++n;
    }
  return n;
}

}  // namespace

TEST(Count, ScatteredSelectionsOfEverySizeAndStitchType) {
  // Rows of every length round the eight flags counted at once, runs that start at row 1 (the
  // sphere's), and selections from sparse to full.
  for (TScType type : {SCTYPE_SPHERE, SCTYPE_TORUS, SCTYPE_CYLINDER, SCTYPE_PLANE})
    for (int rows : {2, 3, 7, 8, 9, 10, 17, 33, 257})
      for (int every : {1, 2, 5}) {
        SCOPED_TRACE(testing::Message() << "type " << int(type) << " rows " << rows << " every " << every);
        auto cs = NewShape(type, 11, rows);
        ScatterFlags(cs->SP, 11, rows, static_cast<uint32_t>(rows * 31 + every), every);
        CountSelectedPoints(*cs);
        EXPECT_EQ(cs->Count, PlainCount(*cs));
      }
}

TEST(Walk, SetFlagsInThePlainLoopsOrder) {
  for (int rows : {1, 2, 7, 8, 9, 16, 17, 257})
    for (int every : {1, 3, 40}) {
      SCOPED_TRACE(testing::Message() << "rows " << rows << " every " << every);
      auto cs = NewShape(SCTYPE_PLANE, 9, rows < 2 ? 2 : rows);
      ScatterFlags(cs->SP, 9, rows, static_cast<uint32_t>(rows + every), every);
      cs->SP[8][rows - 1] = true;  // the very last flag of the block
      std::vector<std::pair<int, int>> want, got;
      for (int i = 0; i < 9; ++i)
        for (int j = 0; j < rows; ++j)
          if (cs->SP[i][j]) want.push_back({i, j});
      ForEachSetFlag(cs->SP, 9, rows, [&](int32_t i, int32_t j) { got.push_back({i, j}); });
      EXPECT_EQ(got, want);
    }
}

TEST(Walk, FlagsChangedAheadAreSeenAsTheyAreThen) {
  // Each visit clears the flag one row on and sets the one nine rows on: the walk must see both
  // changes, including across the groups of eight it passes over when they are all unset.
  auto walked = NewShape(SCTYPE_PLANE, 3, 40);
  auto plain = NewShape(SCTYPE_PLANE, 3, 40);
  for (auto* cs : {walked.get(), plain.get()}) {
    cs->SP[0][0] = cs->SP[0][1] = cs->SP[1][5] = cs->SP[2][39] = true;
  }
  std::vector<std::pair<int, int>> want, got;
  auto touch = [](TCS& cs, int i, int j) {
    if (j + 1 < 40) cs.SP[i][j + 1] = false;
    if (j + 9 < 40) cs.SP[i][j + 9] = true;
  };
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 40; ++j)
      if (plain->SP[i][j]) {
        want.push_back({i, j});
        touch(*plain, i, j);
      }
  ForEachSetFlag(walked->SP, 3, 40, [&](int32_t i, int32_t j) {
    got.push_back({i, j});
    touch(*walked, i, j);
  });
  EXPECT_EQ(got, want);
  EXPECT_GT(want.size(), 8u);
}

TEST(SeamJoin, SpherePoleIsSelectedAsAWhole) {
  auto cs = NewShape(SCTYPE_SPHERE, 33, 33);
  cs->SP[5][0] = true;
  JoinSeamFlagsOr(*cs, cs->SP);
  for (int i = 0; i < 33; ++i) EXPECT_TRUE(cs->SP[i][0]) << i;
  CountSelectedPoints(*cs);
  EXPECT_EQ(cs->Count, 1);
  // Clearing one duplicate of the upper pole and joining by AND clears the whole pole.
  FillPointFlags(cs->SP, 33, 33, true);
  cs->SP[7][32] = false;
  JoinSeamFlagsAnd(*cs, cs->SP);
  for (int i = 0; i < 33; ++i) EXPECT_FALSE(cs->SP[i][32]) << i;
  EXPECT_TRUE(cs->SP[7][31]);
}

TEST(SeamJoin, CylinderTorusAndPlane) {
  auto cyl = NewShape(SCTYPE_CYLINDER, 9, 9);
  FillPointFlags(cyl->SP, 9, 9, true);
  for (int j = 0; j < 9; ++j) cyl->SP[0][j] = false;
  JoinSeamFlagsAnd(*cyl, cyl->SP);
  for (int j = 0; j < 9; ++j) EXPECT_FALSE(cyl->SP[8][j]);
  EXPECT_TRUE(cyl->SP[1][0]);  // rows are no seam on a cylinder

  auto torus = NewShape(SCTYPE_TORUS, 9, 9);
  torus->RP[3][8] = true;
  torus->RP[8][4] = true;
  JoinSeamFlagsOr(*torus, torus->RP);
  EXPECT_TRUE(torus->RP[3][0]);
  EXPECT_TRUE(torus->RP[0][4]);
  // Both passes together reach the corner.
  torus->RP[8][8] = false;
  torus->RP[0][0] = false;
  torus->RP[8][0] = true;
  JoinSeamFlagsOr(*torus, torus->RP);
  EXPECT_TRUE(torus->RP[0][0] && torus->RP[0][8] && torus->RP[8][8]);

  auto plane = NewShape(SCTYPE_PLANE, 9, 9);
  plane->SP[0][0] = true;
  plane->SP[8][8] = true;
  JoinSeamFlagsOr(*plane, plane->SP);
  JoinSeamFlagsAnd(*plane, plane->SP);
  int set = 0;
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) set += plane->SP[i][j];
  EXPECT_EQ(set, 2);
}

TEST(Locks, LockSelectedAndFill) {
  auto cs = NewShape(SCTYPE_PLANE, 9, 9);
  cs->SP[2][2] = cs->SP[3][4] = true;
  LockSelectedPoints(*cs, 9, 9, true);
  EXPECT_TRUE(cs->RP[2][2] && cs->RP[3][4]);
  EXPECT_FALSE(cs->RP[2][3]);
  cs->SP[2][2] = false;
  LockSelectedPoints(*cs, 9, 9, false);
  EXPECT_TRUE(cs->RP[2][2]);
  EXPECT_FALSE(cs->RP[3][4]);
  FillPointFlags(cs->RP, 9, 9, false);
  EXPECT_FALSE(cs->RP[2][2]);
  cs->RP[20][20] = true;
  FillPointFlags(cs->RP, 9, 9, false);
  EXPECT_TRUE(cs->RP[20][20]);  // outside the block
}

TEST(Centroid, UniquePointsOnly) {
  auto cs = NewShape(SCTYPE_SPHERE, 9, 9);
  EXPECT_TRUE(EqualDbl3D(SelectionCentroid(*cs), {0, 0, 0}));
  // The whole lower pole row plus one wall point: the pole counts once.
  for (int i = 0; i < 9; ++i) cs->SP[i][0] = true;
  cs->SP[0][4] = true;
  const TDbl3D c = SelectionCentroid(*cs);
  EXPECT_DOUBLE_EQ(c[0], cs->CP[0][4][0] / 2);
  EXPECT_DOUBLE_EQ(c[2], (-0.75 + cs->CP[0][4][2]) / 2);
}

TEST(Commit, CopiesPointsAndFrame) {
  auto cs = NewShape(SCTYPE_PLANE, 9, 9);
  cs->R1.r11 = {0.5, 0.25};
  CommitShapePoints(*cs);
  EXPECT_FALSE(PointMovedSinceCommit(*cs, 3, 3));
  EXPECT_EQ(cs->R0.r11[1], 0.25);
  cs->CP[3][3][2] += 0.5;
  EXPECT_TRUE(PointMovedSinceCommit(*cs, 3, 3));
  EXPECT_FALSE(PointMovedSinceCommit(*cs, 3, 4));
}

TEST(Clamp, IntoTheSculptMapRange) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double in, out;
  } cases[] = {{1.5, 1.0},   {-1.0, -0.9921875}, {1.0, 1.0}, {-0.9921875, -0.9921875},
               {0.25, 0.25}, {nan, -0.9921875},  {inf, 1.0}, {-inf, -0.9921875}};
  auto cs = NewShape(SCTYPE_PLANE, 9, 9);
  for (const auto& c : cases) {
    cs->CP[4][4] = {c.in, c.in, c.in};
    ClampShapePoints(*cs);
    EXPECT_TRUE(EqualDbl3D(cs->CP[4][4], {c.out, c.out, c.out})) << c.in;
  }
}

TEST(Clamp, EveryCoordinateWhereverItLies) {
  // The clamp of each coordinate must not depend on its place in the grid: each coordinate of
  // every point takes the values below in turn, on grids whose columns hold an odd and an even
  // number of coordinates. A negative zero stays negative.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double in[] = {1.5, -1.0, 1.0, -0.9921875, 0.25, nan, inf, -inf, -0.0, 1.0000001, -0.99};
  const double out[] = {1.0, -0.9921875, 1.0,  -0.9921875, 0.25, -0.9921875,
                        1.0, -0.9921875, -0.0, 1.0,        -0.99};
  constexpr int kValues = sizeof(in) / sizeof(in[0]);
  for (int rows : {2, 3, 9, 257})
    for (int shift = 0; shift < 3; ++shift) {
      SCOPED_TRACE(testing::Message() << "rows " << rows << " shift " << shift);
      auto cs = NewShape(SCTYPE_PLANE, 5, rows);
      for (int i = 0; i < 5; ++i)
        for (int j = 0; j < rows; ++j)
          for (int k = 0; k < 3; ++k) cs->CP[i][j][k] = in[(i * 7 + j * 3 + k + shift) % kValues];
      const bool outside = rows < kGridMax;
      if (outside) cs->CP[0][rows][0] = 5.0;  // a row outside the block: left alone
      ClampShapePoints(*cs);
      for (int i = 0; i < 5; ++i)
        for (int j = 0; j < rows; ++j)
          for (int k = 0; k < 3; ++k) {
            const double want = out[(i * 7 + j * 3 + k + shift) % kValues];
            const double got = cs->CP[i][j][k];
            ASSERT_EQ(got, want) << i << "," << j << "," << k;
            ASSERT_EQ(std::signbit(got), std::signbit(want)) << i << "," << j << "," << k;
          }
      if (outside) {
        EXPECT_EQ(cs->CP[0][rows][0], 5.0);
      }
    }
}

TEST(Channels, RoundHalvesToEvenAndDoNotClip) {
  struct Case {
    double c;
    int value;
  } cases[] = {{0.0, 127},        {1.0, 255},        {-0.9921875, 0},
               {-1.0, -1},        {0.99609375, 255},  // 128 - 128c = 0.5 rounds to 0
               {0.98828125, 253},                     // 1.5 rounds to 2
               {1.5, 319}};
  for (const auto& c : cases) EXPECT_EQ(CoordToChannelValue(c.c), c.value) << c.c;
  auto cs = NewShape(SCTYPE_PLANE, 9, 9);
  cs->CP[1][2] = {1.0, 0.0, -0.9921875};
  int32_t r, g, b;
  PointChannelValues(cs->CP, 1, 2, r, g, b);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 127);
  EXPECT_EQ(b, 0);
}

TEST(Groups, IdsAndWholeGroupSelection) {
  auto cs = NewShape(SCTYPE_PLANE, 9, 9);
  EXPECT_EQ(NewGroupId(*cs), 0);
  cs->SP[1][1] = cs->SP[1][2] = true;
  SetSelectedGroup(*cs, 0);
  FillPointFlags(cs->SP, 9, 9, false);
  cs->SP[5][5] = cs->SP[6][6] = cs->SP[7][7] = true;
  SetSelectedGroup(*cs, 2);
  EXPECT_FALSE(IsGroupIdFree(*cs, 2));
  EXPECT_TRUE(IsGroupIdFree(*cs, 1));
  EXPECT_EQ(NewGroupId(*cs), 1);
  cs->GP[20][20] = 1;  // outside the block: does not count
  EXPECT_EQ(NewGroupId(*cs), 1);

  // Selecting one point of a group selects the group; other groups stay as they are.
  FillPointFlags(cs->SP, 9, 9, false);
  cs->SP[6][6] = true;
  SelectWholeGroups(*cs, true);
  EXPECT_TRUE(cs->SP[5][5] && cs->SP[7][7]);
  EXPECT_FALSE(cs->SP[1][1]);
  // Deselecting one deselects the group.
  cs->SP[7][7] = false;
  SelectWholeGroups(*cs, false);
  EXPECT_FALSE(cs->SP[5][5] || cs->SP[6][6]);

  FillPointFlags(cs->SP, 9, 9, true);
  cs->SP[1][1] = false;
  UngroupSelected(*cs);
  EXPECT_EQ(cs->GP[1][1], 0);
  EXPECT_EQ(cs->GP[1][2], -1);
  ClearGroups(*cs);
  EXPECT_EQ(cs->GP[1][1], -1);
  EXPECT_EQ(cs->GP[20][20], 1);
}

TEST(Colors, ElevenGroupColours) {
  const uint8_t rgb[11][3] = {{255, 127, 127}, {127, 255, 150}, {174, 127, 255}, {255, 197, 127},
                              {127, 255, 221}, {244, 127, 255}, {244, 255, 127}, {127, 221, 255},
                              {255, 127, 197}, {174, 255, 127}, {127, 150, 255}};
  for (int id = 0; id < 11; ++id) {
    const uint32_t want = rgb[id][0] | (rgb[id][1] << 8) | (rgb[id][2] << 16);
    EXPECT_EQ(GroupColor(id), want) << id;
    EXPECT_EQ(GroupColor(id + 11), want) << id;
  }
}

TEST(Colors, RGBAndHSL) {
  int32_t h, s, l;
  RGBToHSL(0x0000FF, h, s, l);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(s, 100);
  EXPECT_EQ(l, 50);
  RGBToHSL(0xFFFFFF, h, s, l);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(l, 100);
  RGBToHSL(0xFF0000, h, s, l);  // blue
  EXPECT_EQ(h, 240);
  RGBToHSL(0x00FF00, h, s, l);  // green
  EXPECT_EQ(h, 120);
  uint8_t r, g, b;
  HSLToRGB(0, 100, 50, r, g, b);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(b, 0);
  HSLToRGB(123, 0, 40, r, g, b);  // grey: 0.4 * 255 = 102
  EXPECT_EQ(r, 102);
  EXPECT_EQ(g, 102);
  EXPECT_EQ(b, 102);
}
