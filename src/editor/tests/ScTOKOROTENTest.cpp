// The extrusion editor driven through a headless pane, and its commands.
#include <cmath>
#include <numbers>

#include "editor/editors/uScTOKOROTEN.h"
#include "editor/tests/ShapeEditorTestUtil.h"

using editor::TScTOKOROTEN;
using editor_test::Pane;
using shape::TDbl2D;

namespace {

class TokorotenTest : public editor_test::ShapeEditorTest {
 protected:
  shape::TCS& Shape(shape::TScType type = shape::SCTYPE_SPHERE, int size = 33) {
    shape::TCS& cs = NewShape(type, size, size);
    tokoroten.ResetForShape();
    tokoroten.SyncFromShape(cs);
    return cs;
  }
  TScTOKOROTEN tokoroten;
};

}  // namespace

TEST_F(TokorotenTest, CapModeCarriesTheLowerCapMirroredAndTheWall) {
  shape::TCS& cs = Shape();
  ASSERT_TRUE(tokoroten.CapMode);
  ASSERT_EQ(tokoroten.LastLine, 32);
  tokoroten.SideMarks[12] = 0;
  Pane pane(tokoroten, cs);
  pane.Paint();
  // A point of the rim row dragged outwards (pane u is y, v is x).
  const QPoint p = At(tokoroten, cs.CP[8][24]);
  pane.Drag({p, p + QPoint(20, 0), p + QPoint(32, 0)});
  ASSERT_NEAR(cs.CP[8][24][1], cs.DP[8][24][1] + 32.0 / 256, 1e-9);
  // Row 8, the lower rim, mirrors row 24 (32 - 8); the wall follows the rim.
  ExpectSame(cs.CP[8][8], {{cs.CP[8][24][0], cs.CP[8][24][1], cs.DP[8][8][2]}});
  ExpectSame(cs.CP[8][16], {{cs.CP[8][24][0], cs.CP[8][24][1], cs.DP[8][16][2]}});
  // A row marked 0 never follows.
  ExpectSame(cs.CP[8][12], cs.DP[8][12]);
  // Other columns stay.
  ExpectSame(cs.CP[4][16], cs.DP[4][16]);
}

TEST_F(TokorotenTest, MarkedRowsFollowTheCurrentRow) {
  shape::TCS& cs = Shape(shape::SCTYPE_CYLINDER, 9);
  tokoroten.CurrentLine = 4;
  tokoroten.SideMarks[2] = 0;
  tokoroten.SyncFromShape(cs);
  Pane pane(tokoroten, cs);
  pane.Paint();
  const QPoint p = At(tokoroten, cs.CP[0][4]);
  pane.Drag({p, p + QPoint(0, 64)});  // column 0 (x = 0.75) pushed to x = 1.0
  for (int r : {0, 1, 3, 8}) EXPECT_NEAR(cs.CP[0][r][0], 1.0, 1e-9) << r;
  ExpectSame(cs.CP[0][2], cs.DP[0][2]);
  ExpectSame(cs.CP[3][1], cs.DP[3][1]);
}

TEST_F(TokorotenTest, FourRotationWritesTheQuarterPartners) {
  shape::TCS& cs = Shape(shape::SCTYPE_CYLINDER, 33);
  tokoroten.CurrentLine = 10;
  tokoroten.SyncFromShape(cs);
  editor::SymmetryMode = 4;
  cs.RP[19][10] = true;
  Pane pane(tokoroten, cs);
  pane.Paint();
  const QPoint p = At(tokoroten, cs.CP[3][10]);
  pane.Drag({p, p + QPoint(10, 5)});
  TDbl2D moved;
  tokoroten.ProjectPoint(cs.CP[3][10], moved);
  auto pane11 = [&](int c) {
    TDbl2D q;
    tokoroten.ProjectPoint(cs.CP[c][10], q);
    return q;
  };
  EXPECT_NEAR(pane11(11)[0], moved[1], 1e-9);
  EXPECT_NEAR(pane11(11)[1], -moved[0], 1e-9);
  ExpectSame(cs.CP[19][10], cs.DP[19][10]);  // locked
  EXPECT_NEAR(pane11(27)[0], -moved[1], 1e-9);
  EXPECT_NEAR(pane11(27)[1], moved[0], 1e-9);
  // Mirror Image and Rotation: the partners of column 3.
  for (int mode : {1, 2, 3}) {
    SCOPED_TRACE(mode);
    shape::TCS& c2 = Shape(shape::SCTYPE_CYLINDER, 33);
    tokoroten.CurrentLine = 10;
    tokoroten.SyncFromShape(c2);
    editor::SymmetryMode = mode;
    c2.SP[3][10] = true;
    shape::CountSelectedPoints(c2);
    shape::CommitShapePoints(c2);
    tokoroten.MoveSelected(c2, {{0.1, 0.05}});
    TDbl2D a, b;
    tokoroten.ProjectPoint(c2.CP[3][10], a);
    tokoroten.ProjectPoint(c2.CP[mode == 1 ? 29 : 19][10], b);
    EXPECT_NEAR(b[0], -a[0], 1e-9);
    EXPECT_NEAR(b[1], mode == 1 ? a[1] : -a[1], 1e-9);
  }
}

TEST_F(TokorotenTest, EqualCurvesAcrossTheHalfTurnAndOptimize) {
  shape::TCS& cs = Shape(shape::SCTYPE_CYLINDER, 33);
  tokoroten.CurrentLine = 5;
  tokoroten.SyncFromShape(cs);
  // Columns 12..20 run across the pane's angle pi (pane u = y, v = x: the angle of
  // (y, x) passes pi where x = 0 and y < 0).
  for (int i = 12; i <= 20; ++i) cs.SP[i][5] = true;
  cs.CP[14][5] = {{0.2, -0.2, cs.CP[14][5][2]}};
  shape::CountSelectedPoints(cs);
  ASSERT_TRUE(tokoroten.CanEqualCurves(cs));
  ASSERT_TRUE(tokoroten.EqualCurves(cs));
  for (int i = 12; i <= 20; ++i) EXPECT_NEAR(std::hypot(cs.CP[i][5][0], cs.CP[i][5][1]), 0.75, 1e-9) << i;
  EXPECT_NEAR(std::abs(std::atan2(cs.CP[16][5][1], cs.CP[16][5][0])), std::numbers::pi, 1e-9);

  shape::TCS& s = Shape();
  for (int i = 0; i < 33; ++i) s.CP[i][28] = {{0.9, 0.9, s.CP[i][28][2]}};
  tokoroten.Optimize(s);
  EXPECT_TRUE(AllFinite(s));
}

TEST_F(TokorotenTest, TwistTurnsTheWallWithoutApplying) {
  shape::TCS& cs = Shape();
  cs.SP[3][3] = true;  // not counted: Twist does not apply the shape
  tokoroten.Twist(cs, 1);
  EXPECT_EQ(cs.Count, 0);
  ExpectSame(cs.CP[4][30], cs.DP[4][30]);
  EXPECT_GT(std::abs(cs.CP[4][16][0] - cs.DP[4][16][0]), 1e-3);
}

TEST_F(TokorotenTest, LinesCountFromTheTopAndTheTorusSeamMark) {
  shape::TCS& cs = Shape(shape::SCTYPE_TORUS, 9);
  tokoroten.CurrentLine = 7;
  tokoroten.PrevLine(cs);
  EXPECT_EQ(tokoroten.CurrentLine, 0);
  tokoroten.NextLine(cs);
  EXPECT_EQ(tokoroten.CurrentLine, 7);
  std::string label;
  tokoroten.CurrentLineLabel(cs, label);
  EXPECT_EQ(label, "01");  // row 7 of 9 is line 1 from the top
  shape::TLineMarks marks{};
  for (auto& m : marks) m = 1;
  marks[7] = 0;  // line 7 is row 1
  tokoroten.SideMarks[0] = 0;
  tokoroten.SetSideMarks(marks, cs);
  EXPECT_EQ(tokoroten.SideMarks[1], 0);
  EXPECT_EQ(tokoroten.SideMarks[8], 0);  // row 0's mark copied to the last row
  std::vector<std::string> items;
  tokoroten.ListSideLabels(cs, items);
  EXPECT_EQ(items.size(), 8u);
}
