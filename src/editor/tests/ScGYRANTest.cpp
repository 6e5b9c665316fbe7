// The lathe editor driven through a headless pane, and its commands.
#include <cmath>
#include <numbers>

#include "editor/editors/uScGYRAN.h"
#include "editor/tests/ShapeEditorTestUtil.h"

using editor::TScGYRAN;
using editor_test::Pane;

namespace {

class GyranTest : public editor_test::ShapeEditorTest {
 protected:
  shape::TCS& Sphere(int size = 33) {
    shape::TCS& cs = NewShape(shape::SCTYPE_SPHERE, size, size);
    gyran.ResetForShape();
    gyran.SyncFromShape(cs);
    gyran.PublishLineMarks();
    return cs;
  }
  TScGYRAN gyran;
};

}  // namespace

TEST_F(GyranTest, AProfilePointDraggedAcrossTheAxisStaysOnItsSide) {
  shape::TCS& cs = Sphere();
  ASSERT_EQ(gyran.CurrentLine, 8);  // a quarter turn: the profile points along +y
  EXPECT_NEAR(gyran.ProfileScale, 1, 1e-12);
  Pane pane(gyran, cs);
  pane.Paint();
  const QPoint p = At(gyran, cs.CP[8][16]);
  // 0.75 to the right of the axis, dragged to 0.25 left of it.
  pane.Drag({p, p - QPoint(128, 0), p - QPoint(256, 0)});
  EXPECT_TRUE(pane.upResult);
  EXPECT_NEAR(cs.CP[8][16][0], 0, 1e-9);
  EXPECT_NEAR(cs.CP[8][16][1], 0.25, 1e-9);
  // Every marked column follows on its own meridian, the row's other profile points stay.
  for (int c = 0; c < 33; ++c) EXPECT_NEAR(std::hypot(cs.CP[c][16][0], cs.CP[c][16][1]), 0.25, 1e-9) << c;
  ExpectSame(cs.CP[8][15], cs.DP[8][15]);
}

TEST_F(GyranTest, EditLevelOneNeverRespaces) {
  for (int type : {0, 1, 2, 3}) {
    SCOPED_TRACE(type);
    shape::TCS& cs = Sphere();
    settings::AppSettings.RearrangeType = type;
    Pane pane(gyran, cs);
    pane.Paint();
    const QPoint p = At(gyran, cs.CP[8][12]);
    pane.Drag({p, p + QPoint(20, -6)});
    for (int j = 0; j < 33; ++j)
      if (j != 12) ExpectSame(cs.CP[8][j], cs.DP[8][j]);
  }
  // With "Edit Level" 2 by Linear the rows between the level rows follow.
  shape::TCS& cs = Sphere();
  settings::AppSettings.EditLevel = 2;
  settings::AppSettings.RearrangeType = 1;
  Pane pane(gyran, cs);
  pane.Paint();
  const QPoint p = At(gyran, cs.CP[8][12]);
  pane.Drag({p, p + QPoint(40, 0)});
  EXPECT_NEAR(cs.CP[8][13][1], (cs.CP[8][12][1] + cs.CP[8][14][1]) / 2, 1e-9);
}

TEST_F(GyranTest, UnmarkedColumnsAndTheAxisRow) {
  shape::TCS& cs = NewShape(shape::SCTYPE_CYLINDER, 9, 9);
  gyran.ResetForShape();
  gyran.SyncFromShape(cs);
  gyran.SideMarks[5] = 0;
  // A profile point committed on the axis, moved off it, sweeps to a circle at c 2 pi / 8.
  cs.CP[2][0] = {{0, 0, -0.75}};
  cs.SP[2][0] = true;
  shape::CountSelectedPoints(cs);
  shape::CommitShapePoints(cs);
  gyran.MoveSelected(cs, {{0.5, 0}});
  gyran.ApplyShape(cs, true);
  for (int c = 0; c < 8; ++c) {
    if (c == 5) {
      ExpectSame(cs.CP[5][0], cs.DP[5][0]);
      continue;
    }
    const double a = c * 2 * std::numbers::pi / 8;
    EXPECT_NEAR(cs.CP[c][0][0], 0.5 * std::cos(a), 1e-9) << c;
    EXPECT_NEAR(cs.CP[c][0][1], 0.5 * std::sin(a), 1e-9) << c;
  }
}

TEST_F(GyranTest, PresetsOfRevolution) {
  shape::TCS& cs = Sphere();
  gyran.RoundPreset(cs, 0);  // Ball of the lower rim's radius 0.75
  for (int c : {0, 8, 20})
    for (int j : {0, 8, 16, 32}) {
      const double t = j * std::numbers::pi / 32;
      EXPECT_NEAR(std::hypot(cs.CP[c][j][0], cs.CP[c][j][1]), std::min(0.75 * std::sin(t), 1.0), 1e-9);
      EXPECT_NEAR(cs.CP[c][j][2], -0.75 * std::cos(t), 1e-9);
    }
  shape::CommitShapePoints(cs);
  gyran.RoundPreset(cs, 2);  // Cone: base on z = -1, apex at z = +1
  EXPECT_NEAR(cs.CP[8][0][2], shape::kCoordMin, 1e-12);
  EXPECT_NEAR(cs.CP[8][32][2], 1, 1e-12);
  EXPECT_NEAR(std::hypot(cs.CP[8][32][0], cs.CP[8][32][1]), 0, 1e-12);
  shape::CommitShapePoints(cs);
  gyran.RoundPreset(cs, 1);  // Cap: a flat disc on z = 0 under a half sphere
  EXPECT_NEAR(cs.CP[8][4][2], 0, 1e-12);
  EXPECT_NEAR(cs.CP[8][32][2], 0.75 * std::sin(std::numbers::pi / 4), 1e-9);  // R from the Ball's row 8
  const shape::TDbl3D before = cs.CP[8][24];
  shape::CommitShapePoints(cs);
  gyran.RoundPreset(cs, 3);  // Bevel moves the two rim rows only
  EXPECT_NE(cs.CP[8][24][2], before[2]);
  ExpectSame(cs.CP[8][23], cs.DP[8][23]);

  // A torus tube of width 0 gets 0.15; the Cone's slope rows never divide by 0.
  for (int rows : {3, 4, 5, 33}) {
    SCOPED_TRACE(rows);
    shape::TCS& t = NewShape(shape::SCTYPE_TORUS, 9, rows);
    for (int i = 0; i < 9; ++i)
      for (int j = 0; j < rows; ++j)
        t.CP[i][j] = {{0.5 * std::cos(i * M_PI / 4), 0.5 * std::sin(i * M_PI / 4), 0}};
    shape::CommitShapePoints(t);
    gyran.ResetForShape();
    gyran.SyncFromShape(t);
    for (int kind : {0, 1, 2}) {
      gyran.RoundPreset(t, kind);
      EXPECT_TRUE(AllFinite(t));
    }
    gyran.RoundPreset(t, 0);
    double lo = 9, hi = 0;
    for (int j = 0; j < rows; ++j) {
      const double r = std::hypot(t.CP[3][j][0], t.CP[3][j][1]);
      lo = std::min(lo, r);
      hi = std::max(hi, r);
    }
    if (rows >= 5) {
      EXPECT_NEAR(hi - lo, 0.3, 1e-9);
    }
  }
}

TEST_F(GyranTest, FolderAcrossTheWrapAndWithFewMarks) {
  shape::TCS& cs = Sphere(9);
  gyran.MarkAllSides(false);
  gyran.SideMarks[1] = gyran.SideMarks[7] = 1;
  cs.CP[7][4] = {{0.5, -0.5, 0}};
  ASSERT_TRUE(gyran.FillUnmarkedSides(cs));
  // Column 0 halfway between -45 and 45 degrees (atan2's wrap).
  EXPECT_NEAR(std::atan2(cs.CP[0][4][1], cs.CP[0][4][0]), 0, 1e-9);
  // One mark: nothing moves, still true.
  shape::TCS& other = Sphere(9);
  gyran.MarkAllSides(false);
  gyran.SideMarks[3] = 1;
  EXPECT_TRUE(gyran.FillUnmarkedSides(other));
  for (int i = 0; i < 9; ++i) ExpectSame(other.CP[i][4], other.DP[i][4]);
}

TEST_F(GyranTest, TheProfileColumnCyclesAndShowsTheSeam) {
  shape::TCS& cs = Sphere(9);
  gyran.CurrentLine = 0;
  gyran.PrevLine(cs);
  EXPECT_EQ(gyran.CurrentLine, 7);
  gyran.NextLine(cs);
  EXPECT_EQ(gyran.CurrentLine, 0);
  gyran.PublishLineMarks();
  EXPECT_EQ(shape::ColumnMarks[0], 2);
  EXPECT_EQ(shape::ColumnMarks[8], 2);
  EXPECT_EQ(shape::RowMarks[3], 1);
  std::string label;
  gyran.CurrentLineLabel(cs, label);
  EXPECT_EQ(label, "00");
  std::vector<std::string> items;
  gyran.ListSideLabels(cs, items);
  EXPECT_EQ(items.size(), 8u);
  shape::TLineMarks marks{};
  marks[0] = 0;
  for (int i = 1; i < 8; ++i) marks[i] = 1;
  gyran.SetSideMarks(marks, cs);
  EXPECT_EQ(gyran.SideMarks[8], 0);
  EXPECT_FALSE(gyran.IsCurrentLineMarked());
  gyran.ToggleCurrentLine();
  EXPECT_TRUE(gyran.IsCurrentLineMarked());
}

TEST_F(GyranTest, EqualSpacingOfTheProfile) {
  shape::TCS& cs = Sphere(9);
  gyran.CurrentLine = 0;
  gyran.SyncFromShape(cs);
  for (int j = 2; j <= 6; ++j) cs.SP[0][j] = true;
  cs.CP[0][3] = {{0.1, 0, 0.6}};
  shape::CountSelectedPoints(cs);
  ASSERT_TRUE(gyran.CanEqualIntervals(cs));
  gyran.EqualIntervals(cs);
  // Rows 3, 4, 5 evenly between rows 2 and 6 of the profile.
  for (int j = 3; j <= 5; ++j)
    EXPECT_NEAR(cs.CP[0][j][2], cs.CP[0][2][2] + (j - 2) * (cs.CP[0][6][2] - cs.CP[0][2][2]) / 4, 1e-9);
  // A torus profile wholly selected becomes a circle.
  shape::TCS& t = NewShape(shape::SCTYPE_TORUS, 9, 9);
  gyran.ResetForShape();
  gyran.CurrentLine = 0;
  gyran.SyncFromShape(t);
  for (int j = 0; j < 9; ++j) t.SP[0][j] = true;
  t.CP[0][2] = {{0.9, 0, 0.1}};
  shape::CountSelectedPoints(t);
  ASSERT_TRUE(gyran.CanEqualIntervals(t));
  gyran.EqualIntervals(t);
  ExpectSame(t.CP[0][8], t.CP[0][0]);
  EXPECT_TRUE(AllFinite(t));
}
