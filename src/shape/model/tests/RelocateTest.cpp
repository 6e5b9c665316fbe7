#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <vector>

#include "ShapeTestUtil.h"
#include "settings/AppSettings.h"
#include "shape/model/LineMarks.h"
#include "shape/model/uRelocate.h"
#include "shape/model/uScSelect.h"
#include "shape/model/uScTransform.h"

using namespace shape;
using shape_test::NewShape;
using shape_test::SettingsGuard;

using shape_test::ExpectEqual3;
using shape_test::ExpectNear3;

namespace {

// A committed plane in the x-z plane (y = 0 everywhere).
std::unique_ptr<TCS> CommittedPlane(int columns, int rows) {
  auto cs = NewShape(SCTYPE_PLANE, columns, rows);
  CommitShapePoints(*cs);
  return cs;
}

void SetLevel(int level, int rearrange) {
  settings::AppSettings.EditLevel = level;
  settings::AppSettings.RearrangeType = rearrange;
}

// The bilinear hat of height `height` round the level point (8, 8) with level step 4.
double Hat(int i, int j, double height) {
  const double u = 1 - std::abs(i - 8) / 4.0, v = 1 - std::abs(j - 8) / 4.0;
  return u > 0 && v > 0 ? height * u * v : 0.0;
}

}  // namespace

TEST(Relocate, NearLevelOrNoRuleDoesNothing) {
  SettingsGuard guard;
  for (auto [level, rule] :
       {std::pair{1, 1}, std::pair{1, 2}, std::pair{1, 3}, std::pair{4, 0}, std::pair{2, 0}}) {
    SCOPED_TRACE(level * 10 + rule);
    SetLevel(level, rule);
    auto cs = CommittedPlane(17, 17);
    cs->CP[8][8][1] = 0.5;
    cs->SP[8][8] = true;
    auto before = std::make_unique<TCS>(*cs);
    RelocateToLod(*cs);
    RelocateToLodColumnMarks(*cs);
    RelocateToLodRowMarks(*cs);
    for (int i = 0; i < 17; ++i)
      for (int j = 0; j < 17; ++j) ExpectEqual3(cs->CP[i][j], before->CP[i][j]);
  }
}

// Moving the level point (8, 8) re-spaces the four cells that share it into a bilinear hat; a
// locked point inside them stays.
TEST(Relocate, LinearRespacesTheCellsOfAMovedLevelPoint) {
  SettingsGuard guard;
  SetLevel(4, 1);
  auto cs = CommittedPlane(33, 33);
  auto before = std::make_unique<TCS>(*cs);
  cs->CP[8][8][1] = 0.5;
  cs->RP[6][7] = true;
  RelocateToLod(*cs);
  for (int i = 0; i < 33; ++i)
    for (int j = 0; j < 33; ++j) {
      SCOPED_TRACE(i * 100 + j);
      if (i == 6 && j == 7) {
        ExpectEqual3(cs->CP[i][j], before->CP[i][j]);
        continue;
      }
      EXPECT_NEAR(cs->CP[i][j][1], Hat(i, j, 0.5), 1e-15);
      EXPECT_NEAR(cs->CP[i][j][0], before->CP[i][j][0], 1e-15);
      EXPECT_NEAR(cs->CP[i][j][2], before->CP[i][j][2], 1e-15);
    }
}

TEST(Relocate, ParentCopiesTheBottomLeftLevelPoint) {
  SettingsGuard guard;
  SetLevel(4, 2);
  auto cs = CommittedPlane(33, 33);
  cs->CP[8][8][1] = 0.5;
  const TDbl3D p88 = cs->CP[8][8], p48 = cs->CP[4][8], p44 = cs->CP[4][4], p84 = cs->CP[8][4];
  RelocateToLod(*cs);
  // Bottom edge of the cell above-right of (8, 8): every point takes the bottom-left corner.
  for (int i = 9; i <= 11; ++i) ExpectEqual3(cs->CP[i][8], p88);
  // Column 8 between rows 8 and 12 takes (8, 8) too.
  for (int j = 9; j <= 11; ++j) ExpectEqual3(cs->CP[8][j], p88);
  // In the cell below-left, the rows copy their left column, which copies (4, 4) up to row 7.
  ExpectEqual3(cs->CP[6][8], p48);
  ExpectEqual3(cs->CP[6][6], p44);
  ExpectEqual3(cs->CP[8][6], p84);
}

TEST(Relocate, MarkedColumnsAndRowsAreLeftAlone) {
  SettingsGuard guard;
  const TLineMarks savedColumns = ColumnMarks, savedRows = RowMarks;
  for (bool rows : {false, true}) {
    SCOPED_TRACE(rows);
    for (int rule : {1, 2}) {
      SetLevel(4, rule);
      FillLineMarks(ColumnMarks, 0);
      FillLineMarks(RowMarks, 0);
      (rows ? RowMarks : ColumnMarks)[6] = 1;
      auto cs = CommittedPlane(33, 33);
      auto before = std::make_unique<TCS>(*cs);
      cs->CP[8][8][1] = 0.5;
      if (rows)
        RelocateToLodRowMarks(*cs);
      else
        RelocateToLodColumnMarks(*cs);
      for (int k = 0; k < 33; ++k)
        ExpectEqual3(rows ? cs->CP[k][6] : cs->CP[6][k], rows ? before->CP[k][6] : before->CP[6][k]);
      // The lines beyond the moved level point follow it.
      EXPECT_GT(cs->CP[9][8][1], 0.0);
      EXPECT_GT(cs->CP[8][9][1], 0.0);
    }
  }
  ColumnMarks = savedColumns;
  RowMarks = savedRows;
}

// With nothing marked, the linear marks variant on a single moved level point gives the same
// bilinear hat as the whole-grid rule.
TEST(Relocate, LinearMarksVariantsWithoutMarksMatchTheHat) {
  SettingsGuard guard;
  const TLineMarks savedColumns = ColumnMarks, savedRows = RowMarks;
  SetLevel(4, 1);
  FillLineMarks(ColumnMarks, 0);
  FillLineMarks(RowMarks, 0);
  for (bool rows : {false, true}) {
    auto cs = CommittedPlane(33, 33);
    cs->CP[8][8][1] = 0.5;
    if (rows)
      RelocateToLodRowMarks(*cs);
    else
      RelocateToLodColumnMarks(*cs);
    for (int i = 0; i < 33; ++i)
      for (int j = 0; j < 33; ++j)
        EXPECT_NEAR(cs->CP[i][j][1], Hat(i, j, 0.5), 1e-15) << rows << " " << i << " " << j;
  }
  ColumnMarks = savedColumns;
  RowMarks = savedRows;
}

TEST(Relocate, OneRowRules) {
  SettingsGuard guard;
  SetLevel(4, 1);
  auto cs = CommittedPlane(17, 17);
  cs->CP[8][5][1] = 0.4;
  cs->RP[10][5] = true;
  RelocateRowLinear(*cs, 5);
  EXPECT_NEAR(cs->CP[5][5][1], 0.1, 1e-15);
  EXPECT_NEAR(cs->CP[7][5][1], 0.3, 1e-15);
  EXPECT_NEAR(cs->CP[9][5][1], 0.3, 1e-15);
  EXPECT_EQ(cs->CP[10][5][1], 0.0);  // locked
  EXPECT_EQ(cs->CP[13][5][1], 0.0);  // cell without a moved end
  EXPECT_EQ(cs->CP[7][4][1], 0.0);   // other rows untouched
  RelocateRowByParent(*cs, 5);
  ExpectEqual3(cs->CP[5][5], cs->CP[4][5]);
  ExpectEqual3(cs->CP[9][5], cs->CP[8][5]);
  // Rows outside the grid are refused.
  RelocateRowLinear(*cs, -1);
  RelocateRowLinear(*cs, 17);
  RelocateRowBySubdivision(*cs, 4, 300);
}

TEST(Relocate, IndexWrapping) {
  struct Case {
    TScType type;
    int column, row;
    int wrappedColumn, wrappedRow;  // WrapGridIndex
    int scratchColumn, scratchRow;  // ScratchPointWrapped
  };
  const std::vector<Case> cases = {
      {SCTYPE_PLANE, -1, 3, -1, 3, 0, 3},   {SCTYPE_PLANE, 9, 9, -1, -1, 8, 8},
      {SCTYPE_SPHERE, -1, -2, 7, -1, 7, 0}, {SCTYPE_SPHERE, 8, 10, 0, -1, 0, 8},
      {SCTYPE_CYLINDER, 10, 4, 2, 4, 2, 4}, {SCTYPE_TORUS, -1, -1, 7, 7, 7, 7},
      {SCTYPE_TORUS, 9, 8, 1, 0, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type * 1000 + c.column * 10 + c.row);
    auto cs = NewShape(c.type, 9, 9);
    for (int i = 0; i < 9; ++i)
      for (int j = 0; j < 9; ++j) cs->CP[i][j] = TDbl3D{{double(i), double(j), 0.0}};
    int col = c.column, row = c.row;
    WrapGridIndex(*cs, col, row);
    EXPECT_EQ(col, c.wrappedColumn);
    EXPECT_EQ(row, c.wrappedRow);
    CopyToScratchGrid(*cs);
    TDbl3D p;
    ScratchPointWrapped(*cs, c.column, c.row, p);
    EXPECT_EQ(p[0], c.scratchColumn);
    EXPECT_EQ(p[1], c.scratchRow);
  }
}

// A lifted point among flat neighbours, worked by hand: face points 1/8, edge points 3/16, new
// centre 9/32 of the lift.
TEST(Relocate, CatmullClarkCentreWorkedByHand) {
  TDbl3DBlock3 p{};
  p[1][1] = TDbl3D{{0.0, 0.5, 0.0}};
  TDbl3DBlock3 out;
  CatmullClarkCentre(p, out);
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) {
      const bool corner = a != 1 && b != 1, centre = a == 1 && b == 1;
      EXPECT_DOUBLE_EQ(out[a][b][1], centre ? 0.28125 : corner ? 0.125 : 0.1875) << a << b;
    }
}

// Refining a flat regular grid reproduces it exactly; a misplaced window would shift points.
TEST(Relocate, SubdivisionReproducesAFlatGrid) {
  TDbl3DBlock3 level;
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) level[a][b] = TDbl3D{{4.0 * (a - 1), 0.25 * (b - 1), 4.0 * (b - 1)}};
  TSubdivBlock work;
  SubdivideBlock4(level, work);
  for (int a = -3; a <= 3; ++a)
    for (int b = -3; b <= 3; ++b)
      ExpectNear3(work[a + 3][b + 3], TDbl3D{{double(a), b / 16.0, double(b)}}, 1e-15);
  SubdivideBlock2(level, work);
  for (int a = -1; a <= 1; ++a)
    for (int b = -1; b <= 1; ++b) ExpectNear3(work[a + 3][b + 3], TDbl3D{{2.0 * a, b / 8.0, 2.0 * b}}, 1e-15);
}

TEST(Relocate, SubdivisionActsRoundSelectedLevelPoints) {
  SettingsGuard guard;
  SetLevel(2, 3);
  auto cs = CommittedPlane(17, 17);
  // Level points are lifted; the one at (8, 8) is selected, nothing has "moved" since the commit.
  cs->CP[8][8][1] = 0.5;
  CommitShapePoints(*cs);
  cs->SP[8][8] = true;
  cs->RP[7][9] = true;
  RelocateToLod(*cs);
  EXPECT_DOUBLE_EQ(cs->CP[8][8][1], 0.28125);
  EXPECT_DOUBLE_EQ(cs->CP[9][8][1], 0.1875);
  EXPECT_DOUBLE_EQ(cs->CP[8][7][1], 0.1875);
  EXPECT_DOUBLE_EQ(cs->CP[9][9][1], 0.125);
  EXPECT_EQ(cs->CP[7][9][1], 0.0);   // locked
  EXPECT_EQ(cs->CP[10][8][1], 0.0);  // beyond the refined block
  // With L = 4 the refined block is symmetric round the lifted level point.
  SetLevel(4, 3);
  auto c4 = CommittedPlane(17, 17);
  c4->CP[8][8][1] = 0.5;
  c4->SP[8][8] = true;
  RelocateToLod(*c4);
  for (int a = 1; a <= 3; ++a)
    for (int b = 0; b <= 3; ++b) {
      const double v = c4->CP[8 + a][8 + b][1];
      EXPECT_GT(v, 0.0);
      EXPECT_DOUBLE_EQ(c4->CP[8 - a][8 + b][1], v);
      EXPECT_DOUBLE_EQ(c4->CP[8 + a][8 - b][1], v);
      EXPECT_DOUBLE_EQ(c4->CP[8 + b][8 + a][1], c4->CP[8 + a][8 + b][1]);
    }
  EXPECT_LT(c4->CP[8][8][1], 0.5);
}

// On a plane the offsets beyond the border are skipped; on a cylinder they wrap round the seam.
TEST(Relocate, SubdivisionAtTheBorder) {
  SettingsGuard guard;
  SetLevel(2, 3);
  for (TScType type : {SCTYPE_PLANE, SCTYPE_CYLINDER, SCTYPE_SPHERE}) {
    SCOPED_TRACE(type);
    auto cs = NewShape(type, 17, 17);
    CommitShapePoints(*cs);
    for (int j = 0; j < 17; ++j) cs->SP[0][j] = true;
    auto before = std::make_unique<TCS>(*cs);
    RelocateToLod(*cs);
    for (int i = 0; i < 17; ++i)
      for (int j = 0; j < 17; ++j)
        for (int k = 0; k < 3; ++k) ASSERT_TRUE(std::isfinite(cs->CP[i][j][k]));
    bool changed15 = false;
    for (int j = 0; j < 17; ++j)
      for (int k = 0; k < 3; ++k) changed15 = changed15 || cs->CP[15][j][k] != before->CP[15][j][k];
    EXPECT_EQ(changed15, type != SCTYPE_PLANE);
  }
}

TEST(Relocate, RowBySubdivisionUsesMovedLevelPoints) {
  auto cs = CommittedPlane(17, 17);
  cs->CP[8][8][1] = 0.5;
  cs->CP[4][8][1] = 0.5;
  CommitShapePoints(*cs);
  cs->CP[8][8][1] = 0.75;  // moved; (4, 8) was lifted but not moved
  RelocateRowBySubdivision(*cs, 2, 8);
  // Only the cell round column 8 (offsets -1..1) is refined.
  EXPECT_NE(cs->CP[7][8][1], 0.0);
  EXPECT_NE(cs->CP[9][8][1], 0.0);
  EXPECT_EQ(cs->CP[5][8][1], 0.0);
  EXPECT_EQ(cs->CP[3][8][1], 0.0);
  EXPECT_EQ(cs->CP[8][9][1], 0.0);  // other rows untouched
}
