#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "ShapeTestUtil.h"
#include "shape/model/Dbl3D.h"
#include "shape/model/uScSelect.h"
#include "shape/model/uScTransform.h"

using namespace shape;
using shape_test::NewShape;
using shape_test::SettingsGuard;

namespace {

int gTurnedWidth = 0;
int gTurnedHeight = 0;
void RecordTurnResize(int32_t w, int32_t h) {
  gTurnedWidth = w;
  gTurnedHeight = h;
}

// A plane whose points all differ and lie well inside the range: (i, j) -> (i/300, j/300, (i - j)/600).
std::unique_ptr<TCS> Numbered(TScType type, int columns, int rows) {
  auto cs = NewShape(type, columns, rows);
  for (int i = 0; i < columns; ++i)
    for (int j = 0; j < rows; ++j) cs->CP[i][j] = {i / 300.0, j / 300.0, (i - j) / 600.0};
  return cs;
}

bool SameBytes(const TCS& a, const TCS& b) { return std::memcmp(&a, &b, sizeof(TCS)) == 0; }

}  // namespace

TEST(Flip, VerticalIsAHalfTurnAboutTheChosenAxisAndSparesLocks) {
  auto cs = NewShape(SCTYPE_PLANE, 33, 33);
  cs->CP[0][0] = {0.5, 0.2, -0.3};
  cs->CP[32][32] = {0.1, 0.1, 0.1};
  FlipShapeVertical(*cs, 1);
  EXPECT_TRUE(EqualDbl3D(cs->CP[32][32], {-0.5, 0.2, 0.3}));
  EXPECT_TRUE(EqualDbl3D(cs->CP[0][0], {-0.1, 0.1, -0.1}));

  cs = NewShape(SCTYPE_PLANE, 33, 33);
  cs->CP[0][0] = {0.5, 0.2, -0.3};
  cs->CP[32][32] = {0.1, 0.1, 0.1};
  cs->RP[32][32] = true;
  FlipShapeVertical(*cs, 1);
  EXPECT_TRUE(EqualDbl3D(cs->CP[32][32], {0.1, 0.1, 0.1}));
  EXPECT_TRUE(EqualDbl3D(cs->CP[0][0], {-0.1, 0.1, -0.1}));
}

TEST(Flip, HorizontalNegatesTheAxisAndReversesColumns) {
  auto cs = Numbered(SCTYPE_PLANE, 9, 5);
  const TDbl3D p = cs->CP[1][3];
  FlipShapeHorizontal(*cs, 0);
  EXPECT_TRUE(EqualDbl3D(cs->CP[7][3], {-p[0], p[1], p[2]}));
  auto z = Numbered(SCTYPE_PLANE, 9, 5);
  FlipShapeHorizontal(*z, 2);
  EXPECT_TRUE(EqualDbl3D(z->CP[7][3], {p[0], p[1], -p[2]}));
}

TEST(Flip, ClosedDialogChangesNothing) {
  auto cs = Numbered(SCTYPE_SPHERE, 9, 9);
  cs->CP[4][4] = {1.5, 0, 0};  // out of range: not even clamped
  auto before = std::make_unique<TCS>(*cs);
  FlipShapeVertical(*cs, -1);
  FlipShapeHorizontal(*cs, -1);
  EXPECT_TRUE(SameBytes(*cs, *before));
}

TEST(Mirror, VerticalRewritesTheLowerRowsFromTheUpperOnes) {
  auto cs = Numbered(SCTYPE_PLANE, 5, 33);
  auto before = std::make_unique<TCS>(*cs);
  cs->RP[2][3] = true;
  MirrorShapeVertical(*cs, 1);  // "YZ": x mirrored
  for (int i = 0; i < 5; ++i)
    for (int r = 0; r < 16; ++r) {
      if (i == 2 && r == 3) {
        EXPECT_TRUE(EqualDbl3D(cs->CP[i][r], before->CP[i][r]));
        continue;
      }
      const TDbl3D& t = before->CP[i][32 - r];
      const TDbl3D want{2 * before->CP[i][16][0] - t[0], t[1], t[2]};
      EXPECT_TRUE(EqualDbl3D(cs->CP[i][r], want)) << i << "," << r;
    }
  for (int i = 0; i < 5; ++i)
    for (int j = 16; j < 33; ++j) EXPECT_TRUE(EqualDbl3D(cs->CP[i][j], before->CP[i][j]));
}

TEST(Mirror, HorizontalRewritesTheRightColumnsFromTheLeftOnes) {
  auto cs = Numbered(SCTYPE_PLANE, 9, 3);
  auto before = std::make_unique<TCS>(*cs);
  MirrorShapeHorizontal(*cs, 2);  // "ZX": y mirrored
  for (int c = 0; c < 4; ++c)
    for (int j = 0; j < 3; ++j) {
      const TDbl3D& s = before->CP[c][j];
      EXPECT_TRUE(EqualDbl3D(cs->CP[8 - c][j], {s[0], 2 * before->CP[4][j][1] - s[1], s[2]}));
    }
  EXPECT_TRUE(EqualDbl3D(cs->CP[4][1], before->CP[4][1]));
}

TEST(Mirror, ClosedDialogStillClampsAndCounts) {
  auto cs = Numbered(SCTYPE_PLANE, 9, 9);
  cs->CP[4][4] = {1.5, 0, -2};
  cs->SP[1][1] = true;
  MirrorShapeVertical(*cs, -1);
  EXPECT_TRUE(EqualDbl3D(cs->CP[4][4], {1.0, 0, -0.9921875}));
  EXPECT_TRUE(EqualDbl3D(cs->CP[4][0], {4 / 300.0, 0, 4 / 600.0}));
  EXPECT_EQ(cs->Count, 1);
}

TEST(Mirror, DefaultButtonIsThePlaneOfLeastSpread) {
  struct Case {
    TDbl3D spread;  // the middle row runs along this direction
    int button;
  } cases[] = {{{1, 0, 0}, 0}, {{1, 0, 0.5}, 2}, {{0, 1, 0.5}, 1}, {{0, 0.5, 1}, 1}, {{0.5, 1, 0}, 0}};
  for (const auto& c : cases) {
    auto cs = NewShape(SCTYPE_PLANE, 9, 9);
    for (int i = 0; i < 9; ++i)
      cs->CP[i][4] = {c.spread[0] * i / 10, c.spread[1] * i / 10, c.spread[2] * i / 10};
    for (int j = 0; j < 9; ++j)
      cs->CP[4][j] = {c.spread[0] * j / 10, c.spread[1] * j / 10, c.spread[2] * j / 10};
    EXPECT_EQ(MirrorVerticalDefaultButton(*cs), c.button);
    EXPECT_EQ(MirrorHorizontalDefaultButton(*cs), c.button);
  }
}

TEST(InsideOut, ReversesEveryRow) {
  for (int columns : {33, 34}) {
    SCOPED_TRACE(columns);
    auto cs = Numbered(SCTYPE_PLANE, columns, 3);
    auto before = std::make_unique<TCS>(*cs);
    cs->RP[0][0] = true;  // locks are ignored
    TurnShapeInsideOut(*cs);
    for (int i = 0; i < columns; ++i)
      for (int j = 0; j < 3; ++j) EXPECT_TRUE(EqualDbl3D(cs->CP[i][j], before->CP[columns - 1 - i][j])) << i;
  }
}

TEST(Rotate, QuarterTurnOf65x17KeepsFlagsOnTheirPoints) {
  SetTextureResizeHook(&RecordTurnResize);
  auto cs = Numbered(SCTYPE_PLANE, 65, 17);
  auto before = std::make_unique<TCS>(*cs);
  cs->RP[10][3] = true;
  cs->SP[40][12] = true;
  cs->GP[64][0] = 7;
  cs->SP[0][20] = true;  // stale, outside the old block but inside the new one
  cs->RP[3][40] = true;
  RotateShapeGrid(*cs, true, false);
  SetTextureResizeHook(nullptr);
  EXPECT_EQ(cs->CPMaxI, 17);
  EXPECT_EQ(cs->CPMaxJ, 65);
  EXPECT_EQ(gTurnedWidth, 256);
  EXPECT_EQ(gTurnedHeight, 1024);
  // Old (i, j) lands on new (16 - j, i).
  for (int i = 0; i < 65; ++i)
    for (int j = 0; j < 17; ++j)
      ASSERT_TRUE(EqualDbl3D(cs->CP[16 - j][i], before->CP[i][j])) << i << "," << j;
  EXPECT_TRUE(cs->RP[13][10]);
  EXPECT_TRUE(cs->SP[4][40]);
  EXPECT_EQ(cs->GP[16][64], 7);
  int locks = 0, selected = 0, grouped = 0;
  for (int i = 0; i < 17; ++i)
    for (int j = 0; j < 65; ++j) {
      locks += cs->RP[i][j];
      selected += cs->SP[i][j];
      grouped += cs->GP[i][j] != -1;
    }
  EXPECT_EQ(locks, 1);
  EXPECT_EQ(selected, 1);
  EXPECT_EQ(grouped, 1);
  EXPECT_EQ(cs->Count, 1);
}

TEST(Rotate, HalfTurnReversesBothDirections) {
  auto cs = Numbered(SCTYPE_PLANE, 9, 5);
  auto before = std::make_unique<TCS>(*cs);
  cs->RP[0][0] = true;
  RotateShapeGrid(*cs, false, true);
  EXPECT_EQ(cs->CPMaxI, 9);
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 5; ++j) EXPECT_TRUE(EqualDbl3D(cs->CP[i][j], before->CP[8 - i][4 - j]));
  EXPECT_TRUE(cs->RP[0][0]);
}

TEST(Offset, TorusByOneColumnAndRow) {
  auto cs = Numbered(SCTYPE_TORUS, 33, 33);
  CopySeams(*cs, 0);
  auto before = std::make_unique<TCS>(*cs);
  OffsetShapeGrid(*cs, 1, 1);
  EXPECT_TRUE(EqualDbl3D(cs->CP[1][1], before->CP[0][0]));
  EXPECT_TRUE(EqualDbl3D(cs->CP[0][0], before->CP[31][31]));
  for (int k = 0; k < 33; ++k) {
    EXPECT_TRUE(EqualDbl3D(cs->CP[32][k], cs->CP[0][k]));
    EXPECT_TRUE(EqualDbl3D(cs->CP[k][32], cs->CP[k][0]));
  }
}

TEST(Offset, NegativeShiftsWrapPerStitchType) {
  struct Case {
    TScType type;
    int e, d;  // the cycle sizes
  } cases[] = {{SCTYPE_SPHERE, 8, 9}, {SCTYPE_TORUS, 8, 8}, {SCTYPE_PLANE, 9, 9}, {SCTYPE_CYLINDER, 8, 9}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    auto cs = Numbered(c.type, 9, 9);
    auto before = std::make_unique<TCS>(*cs);
    OffsetShapeGrid(*cs, -2, -16);
    const int ti = (c.e - 2) % c.e;
    const int tj = ((-16 % c.d) + c.d) % c.d;
    // Point (0, 3) moves to ((0 - 2) mod e, (3 - 16) mod d).
    EXPECT_TRUE(EqualDbl3D(cs->CP[ti][(3 + tj) % c.d], before->CP[0][3]));
  }
}

TEST(Magnet, PullsSelectedUnlockedPointsToTheCentroid) {
  auto cs = Numbered(SCTYPE_PLANE, 9, 9);
  auto before = std::make_unique<TCS>(*cs);
  MagnetSelectedPoints(*cs);
  EXPECT_TRUE(SameBytes(*cs, *before));

  cs->SP[1][1] = cs->SP[3][5] = true;
  MagnetSelectedPoints(*cs);
  const TDbl3D mid{(1 + 3) / 600.0, (1 + 5) / 600.0, (0 - 2) / 1200.0};
  EXPECT_TRUE(SameDbl3D(cs->CP[1][1], mid));
  EXPECT_TRUE(EqualDbl3D(cs->CP[1][1], cs->CP[3][5]));
  EXPECT_EQ(cs->Count, 2);

  cs = Numbered(SCTYPE_PLANE, 9, 9);
  cs->SP[0][0] = cs->SP[6][0] = true;
  cs->RP[6][0] = true;
  MagnetSelectedPoints(*cs);
  EXPECT_TRUE(SameDbl3D(cs->CP[0][0], {3 / 300.0, 0, 3 / 600.0}));
  EXPECT_TRUE(EqualDbl3D(cs->CP[6][0], {6 / 300.0, 0, 6 / 600.0}));
}

TEST(Smooth, OneSelectedPointOnlyCollapsesSpherePoles) {
  auto cs = Numbered(SCTYPE_SPHERE, 9, 9);
  cs->SP[3][3] = true;
  CountSelectedPoints(*cs);
  cs->CP[0][0] = {0.08, 0, 0};  // the poles are no longer single points
  auto before = std::make_unique<TCS>(*cs);
  for (int k = 0; k < 4; ++k) SmoothGrid(*cs, k);
  for (int i = 0; i < 9; ++i)
    for (int j = 1; j < 8; ++j) ASSERT_TRUE(EqualDbl3D(cs->CP[i][j], before->CP[i][j]));
  // Lower pole: the mean of row 0, columns 0..7 (the count's seam copy left (0, 0, 0) in 1..7).
  const double x = 0.08 / 8;
  for (int i = 0; i < 8; ++i) EXPECT_NEAR(cs->CP[i][0][0], x, 1e-15);
  EXPECT_NEAR(cs->CP[3][8][1], 8 / 300.0, 1e-15);
}

TEST(Smooth, HorizontalAverageNeedsBothHorizontalNeighbours) {
  auto cs = Numbered(SCTYPE_PLANE, 9, 9);
  for (int i = 2; i <= 5; ++i) cs->SP[i][4] = true;
  cs->CP[3][4][1] = 0.5;
  CountSelectedPoints(*cs);
  auto before = std::make_unique<TCS>(*cs);
  SmoothGrid(*cs, SMOOTH_HORIZONTAL_AVERAGE);
  EXPECT_NEAR(cs->CP[3][4][1], (0.5 + 2 * 4 / 300.0) / 3, 1e-15);
  EXPECT_NEAR(cs->CP[4][4][1], (0.5 + 2 * 4 / 300.0) / 3, 1e-15);  // from the old points
  EXPECT_TRUE(EqualDbl3D(cs->CP[2][4], before->CP[2][4]));         // left neighbour not flagged
  EXPECT_TRUE(EqualDbl3D(cs->CP[5][4], before->CP[5][4]));
  // The vertical kernel over a horizontal run: neither neighbour pair vertical, so nothing moves.
  cs = Numbered(SCTYPE_PLANE, 9, 9);
  for (int i = 2; i <= 5; ++i) cs->SP[i][4] = true;
  CountSelectedPoints(*cs);
  before = std::make_unique<TCS>(*cs);
  SmoothGrid(*cs, SMOOTH_VERTICAL_AVERAGE);
  EXPECT_TRUE(SameBytes(*cs, *before));
}

TEST(Smooth, LockedNeighboursAndSeams) {
  // Cylinder: column 0's left neighbour is column 7 (column 8 duplicates column 0).
  auto cs = NewShape(SCTYPE_CYLINDER, 9, 5);
  for (int i = 0; i < 9; ++i) cs->SP[i][2] = true;
  cs->RP[1][2] = true;
  CountSelectedPoints(*cs);
  auto before = std::make_unique<TCS>(*cs);
  SmoothGrid(*cs, SMOOTH_HORIZONTAL_AVERAGE);
  EXPECT_TRUE(EqualDbl3D(cs->CP[0][2], before->CP[0][2]));  // right neighbour locked
  EXPECT_TRUE(EqualDbl3D(cs->CP[1][2], before->CP[1][2]));  // locked
  for (int k = 0; k < 3; ++k)
    EXPECT_NEAR(cs->CP[7][2][k], (before->CP[6][2][k] + before->CP[7][2][k] + before->CP[0][2][k]) / 3,
                1e-15);
  // Unlocked, column 0 takes columns 7 and 1 as its neighbours.
  cs->RP[1][2] = false;
  *cs = *before;
  cs->RP[1][2] = false;
  SmoothGrid(*cs, SMOOTH_HORIZONTAL_AVERAGE);
  for (int k = 0; k < 3; ++k)
    EXPECT_NEAR(cs->CP[0][2][k], (before->CP[7][2][k] + before->CP[0][2][k] + before->CP[1][2][k]) / 3,
                1e-15);
}

TEST(Smooth, MovingAverageAndGaussBlend) {
  SettingsGuard guard;
  auto cs = Numbered(SCTYPE_PLANE, 9, 9);
  FillPointFlags(cs->SP, 9, 9, true);
  cs->CP[4][4][1] = 0.9;
  CountSelectedPoints(*cs);
  auto before = std::make_unique<TCS>(*cs);
  SmoothGrid(*cs, SMOOTH_MOVING_AVERAGE);
  // A linear field stays; the bump spreads with weight 4/16.
  EXPECT_NEAR(cs->CP[4][4][1], 4 / 300.0 + (0.9 - 4 / 300.0) * 4 / 16, 1e-15);
  EXPECT_NEAR(cs->CP[3][4][1], 4 / 300.0 + (0.9 - 4 / 300.0) * 2 / 16, 1e-15);
  EXPECT_NEAR(cs->CP[2][2][0], 2 / 300.0, 1e-15);

  settings::AppSettings.GaussRadius = 0;  // blends nothing in
  *cs = *before;
  SmoothGrid(*cs, SMOOTH_GAUSS);
  EXPECT_TRUE(SameBytes(*cs, *before));
  settings::AppSettings.GaussRadius = 0.5;
  SmoothGrid(*cs, SMOOTH_GAUSS);
  const double w0 = 1, w1 = std::exp(-0.5), w2 = std::exp(-1.0);
  const double mean = (w0 * 0.9 + (4 * w1 + 4 * w2) * 4 / 300.0) / (w0 + 4 * w1 + 4 * w2);
  EXPECT_NEAR(cs->CP[4][4][1], 0.5 * mean + 0.5 * 0.9, 1e-15);
}

TEST(Equalize, EqualArcLength) {
  TPolyline3D line{};
  line.Count = 3;
  line.P[0] = {0, 0, 0};
  line.P[1] = {1, 0, 0};
  line.P[2] = {3, 0, 0};
  EqualizePolyline(line);
  EXPECT_TRUE(EqualDbl3D(line.P[1], {1.5, 0, 0}));
  EXPECT_TRUE(EqualDbl3D(line.P[2], {3, 0, 0}));

  line.Count = 5;
  line.P[0] = {0, 0, 0};
  line.P[1] = {0.1, 0, 0};
  line.P[2] = {0.2, 0, 0};
  line.P[3] = {1, 0, 0};
  line.P[4] = {1, 1, 0};  // total length 2
  EqualizePolyline(line);
  EXPECT_NEAR(line.P[1][0], 0.5, 1e-15);
  EXPECT_NEAR(line.P[2][0], 1.0, 1e-15);
  EXPECT_NEAR(line.P[2][1], 0.0, 1e-15);
  EXPECT_NEAR(line.P[3][1], 0.5, 1e-15);

  // Coincident points: nothing to share out, the points stay.
  TPolyline3D flat{};
  flat.Count = 4;
  for (int k = 0; k < 4; ++k) flat.P[k] = {0.25, 0.25, 0.25};
  EqualizePolyline(flat);
  for (int k = 0; k < 4; ++k) EXPECT_TRUE(EqualDbl3D(flat.P[k], {0.25, 0.25, 0.25}));
  // Two points or fewer: nothing.
  TPolyline3D two{};
  two.Count = 2;
  two.P[1] = {1, 1, 1};
  EqualizePolyline(two);
  EXPECT_TRUE(EqualDbl3D(two.P[1], {1, 1, 1}));
}
