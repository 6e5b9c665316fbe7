// The sculpt-image editor's grid operations: band selection with the seam duplicates of each
// stitch type on grids of every size, nudges and typed channel values.
#include <gtest/gtest.h>

#include <memory>

#include "editor/panes/BitmapCells.h"
#include "shape/model/uScPrim.h"
#include "shape/model/uScSelect.h"

using editor::SelectCellBand;
using shape::TCS;

namespace {

std::unique_ptr<TCS> Shape(shape::TScType type, int columns, int rows) {
  auto cs = std::make_unique<TCS>();
  shape::InitShape(*cs, type, columns, rows);
  shape::CountSelectedPoints(*cs);
  return cs;
}

int Selected(const TCS& cs) {
  int n = 0;
  for (int i = 0; i < shape::kGridMax; ++i)
    for (int j = 0; j < shape::kGridMax; ++j) n += cs.SP[i][j];
  return n;
}

}  // namespace

TEST(BitmapCells, BandsSelectBoxesWholeLinesOrNothing) {
  auto cs = Shape(shape::SCTYPE_PLANE, 9, 7);
  SelectCellBand(*cs, 2, 4, 1, 3, true);
  EXPECT_EQ(cs->Count, 9);
  EXPECT_TRUE(cs->SP[2][1] && cs->SP[4][3]);
  SelectCellBand(*cs, -1, 8, 5, 5, true);  // from the header column: the whole row 5
  EXPECT_EQ(cs->Count, 18);
  SelectCellBand(*cs, 7, 7, -1, 6, true);  // from the header row: the whole column 7
  EXPECT_EQ(cs->Count, 18 + 6);
  SelectCellBand(*cs, -1, 3, -1, 2, true);  // from the corner header: nothing
  EXPECT_EQ(cs->Count, 24);
  SelectCellBand(*cs, 7, 7, -1, -1, false);  // the column header alone deselects its column
  EXPECT_EQ(cs->Count, 24 - 7);
  // Corners outside the grid are cut off: -2 rows lie below row 0, columns past the last beyond it.
  SelectCellBand(*cs, 6, 9, -2, 0, true);
  EXPECT_TRUE(cs->SP[6][0] && cs->SP[8][0]);
  EXPECT_FALSE(cs->SP[9][0]);
}

TEST(BitmapCells, SeamDuplicatesFollowTheBand) {
  // Cylinder: reaching the last column selects column 0 of the band's rows.
  auto cs = Shape(shape::SCTYPE_CYLINDER, 33, 9);
  SelectCellBand(*cs, 0, 32, 2, 4, true);
  for (int j = 0; j < 9; ++j) EXPECT_EQ(cs->SP[0][j], cs->SP[32][j]) << j;
  SelectCellBand(*cs, 20, 32, 6, 6, true);
  EXPECT_TRUE(cs->SP[0][6]);
  // Sphere: the poles with rows 0 and last; column 0 of the inner rows with the last column.
  cs = Shape(shape::SCTYPE_SPHERE, 9, 9);
  SelectCellBand(*cs, 3, 8, 0, 2, true);
  EXPECT_TRUE(cs->SP[0][0]);
  EXPECT_TRUE(cs->SP[0][1] && cs->SP[0][2]);
  EXPECT_TRUE(cs->SP[5][0]) << "a pole is one point: every column of row 0 with it";
  // Torus: row 0 brings the last row, the last column brings column 0, both the far corner.
  cs = Shape(shape::SCTYPE_TORUS, 9, 9);
  SelectCellBand(*cs, 4, 8, 0, 1, true);
  for (int i = 4; i <= 8; ++i) EXPECT_TRUE(cs->SP[i][8]) << i;
  EXPECT_TRUE(cs->SP[0][0] && cs->SP[0][1] && cs->SP[0][8]);
  // A deselecting band takes the duplicates out with it.
  SelectCellBand(*cs, 8, 8, 0, 1, false);
  EXPECT_FALSE(cs->SP[0][0]);
  EXPECT_FALSE(cs->SP[8][8]);
}

TEST(BitmapCells, GroupsAreSelectedWhole) {
  auto cs = Shape(shape::SCTYPE_PLANE, 5, 5);
  cs->GP[1][1] = cs->GP[4][4] = 3;
  SelectCellBand(*cs, 0, 1, 0, 1, true);
  EXPECT_TRUE(cs->SP[4][4]);
  EXPECT_EQ(cs->Count, 5);
}

TEST(BitmapCells, EveryGridSizeKeepsBandsInsideTheGrid) {
  for (int n : {2, 3, 4, 6, 100})
    for (shape::TScType type :
         {shape::SCTYPE_SPHERE, shape::SCTYPE_TORUS, shape::SCTYPE_PLANE, shape::SCTYPE_CYLINDER}) {
      auto cs = Shape(type, n, n);
      SelectCellBand(*cs, -1, n + 5, -2, n + 5, true);
      SelectCellBand(*cs, 0, n, -1, 3, true);
      SelectCellBand(*cs, -2, n - 1, 0, n - 1, true);
      int inside = 0;
      for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) inside += cs->SP[i][j];
      EXPECT_EQ(inside, n * n) << n << " " << type;
      EXPECT_EQ(Selected(*cs), n * n) << n << " " << type << ": nothing outside the grid";
      SelectCellBand(*cs, 0, n + 3, 0, n + 3, false);
      EXPECT_EQ(Selected(*cs), 0);
      EXPECT_EQ(cs->Count, 0);
    }
}

TEST(BitmapCells, NudgesAndTypedChannelsMoveSelectedUnlockedPoints) {
  auto cs = Shape(shape::SCTYPE_PLANE, 3, 3);
  cs->CP[0][0] = {{0.0, 0.5, -0.5}};
  cs->CP[1][0] = {{1.0, 0.0, 0.0}};
  cs->CP[2][0] = {{0.25, 0.25, 0.25}};
  cs->SP[0][0] = cs->SP[1][0] = cs->SP[2][0] = true;
  cs->RP[2][0] = true;
  editor::NudgePoints(*cs, 4, 0, -2);
  EXPECT_EQ(cs->CP[0][0][0], 4.0 / 128);
  EXPECT_EQ(cs->CP[0][0][2], -0.5 - 2.0 / 128);
  EXPECT_EQ(cs->CP[1][0][0], 1.0) << "clamped";
  EXPECT_EQ(cs->CP[2][0][0], 0.25) << "locked";
  EXPECT_EQ(cs->CP[1][1][0], cs->CP[1][1][0]);
  editor::SetPointChannels(*cs, 255, 127, 0);
  EXPECT_EQ(cs->CP[0][0][0], 1.0);
  EXPECT_EQ(cs->CP[0][0][1], 0.0);
  EXPECT_EQ(cs->CP[0][0][2], -0.9921875);
  EXPECT_EQ(cs->CP[2][0][0], 0.25);
  editor::SetPointChannels(*cs, 400, -50, 128);  // beyond the channel range: clamped
  EXPECT_EQ(cs->CP[1][0][0], 1.0);
  EXPECT_EQ(cs->CP[1][0][1], -0.9921875);
  EXPECT_EQ(cs->CP[1][0][2], 1.0 / 128);
}
