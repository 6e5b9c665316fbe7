// The ring editor driven through a headless pane, and its commands.
#include <cmath>

#include "editor/editors/uScWAPPA.h"
#include "editor/tests/ShapeEditorTestUtil.h"

using editor::TScWAPPA;
using editor_test::Pane;

namespace {

class WappaTest : public editor_test::ShapeEditorTest {
 protected:
  shape::TCS& Shape(shape::TScType type, int columns, int rows) {
    shape::TCS& cs = NewShape(type, columns, rows);
    wappa.ResetForShape();
    wappa.SyncFromShape(cs);
    return cs;
  }
  shape::TDbl2D Plane(const shape::TCS& cs, int i) const {
    return editor::RingToPlane(wappa.RingFrame, cs.CP[i][wappa.CurrentLine]);
  }
  TScWAPPA wappa;
};

}  // namespace

TEST_F(WappaTest, MirrorImageMovesThePartnerUnlessItIsHeld) {
  for (int hold = 0; hold < 3; ++hold) {
    SCOPED_TRACE(hold);
    shape::TCS& cs = Shape(shape::SCTYPE_CYLINDER, 33, 9);
    editor::SymmetryMode = 1;
    if (hold == 1) cs.RP[30][wappa.CurrentLine] = true;
    Pane pane(wappa, cs);
    pane.Paint();
    const QPoint p = At(wappa, cs.CP[2][wappa.CurrentLine]);
    if (hold == 2) {  // column 30 selected too: held by its selection
      pane.Drag({p});
      pane.Drag({At(wappa, cs.CP[30][wappa.CurrentLine])}, Qt::ShiftModifier);
    }
    pane.Drag({p, p + QPoint(12, 7)});
    const shape::TDbl2D a = Plane(cs, 2), b = Plane(cs, 30);
    const double cu = -wappa.RingFrame.OffsetH;
    if (hold == 0) {
      EXPECT_NEAR(b[0], 2 * cu - a[0], 1e-9);
      EXPECT_NEAR(b[1], a[1], 1e-9);
    } else if (hold == 1) {
      ExpectSame(cs.CP[30][wappa.CurrentLine], cs.DP[30][wappa.CurrentLine]);
    }
  }
}

TEST_F(WappaTest, EqualIntervalsCircleAndRun) {
  shape::TCS& cs = Shape(shape::SCTYPE_CYLINDER, 33, 9);
  const int row = wappa.CurrentLine;
  for (int i = 0; i < 33; ++i) cs.SP[i][row] = true;
  cs.CP[5][row] = {{0.1, 0.2, cs.CP[5][row][2]}};
  shape::CountSelectedPoints(cs);
  ASSERT_TRUE(wappa.CanEqualIntervals(cs));
  ASSERT_TRUE(wappa.EqualIntervals(cs));
  shape::TDbl3D centre{{0, 0, 0}};
  for (int i = 0; i < 32; ++i)
    for (int k = 0; k < 3; ++k) centre[k] += cs.CP[i][row][k] / 32;
  double lo = 9, hi = 0;
  for (int i = 0; i < 32; ++i) {
    const double r = editor::Distance3D(cs.CP[i][row], centre);
    lo = std::min(lo, r);
    hi = std::max(hi, r);
  }
  EXPECT_NEAR(hi - lo, 0, 1e-9);
  // Columns 5..9 selected: only 6, 7 and 8 move, onto the line from 5 to 9.
  shape::TCS& c2 = Shape(shape::SCTYPE_CYLINDER, 33, 9);
  for (int i = 5; i <= 9; ++i) c2.SP[i][row] = true;
  shape::CountSelectedPoints(c2);
  ASSERT_TRUE(wappa.EqualIntervals(c2));
  for (int i : {4, 5, 9, 10}) ExpectSame(c2.CP[i][row], c2.DP[i][row]);
  for (int i : {6, 7, 8}) {
    const double f = (i - 5) / 4.0;
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(c2.CP[i][row][k], (1 - f) * c2.CP[5][row][k] + f * c2.CP[9][row][k], 1e-9) << i;
  }
  // Two selected: not available, nothing changes.
  shape::TCS& c3 = Shape(shape::SCTYPE_CYLINDER, 33, 9);
  c3.SP[3][row] = c3.SP[4][row] = true;
  EXPECT_FALSE(wappa.CanEqualIntervals(c3));
  EXPECT_FALSE(wappa.EqualIntervals(c3));
}

TEST_F(WappaTest, TorusLinesWrapAndRowZeroFollowsTheDialog) {
  shape::TCS& cs = Shape(shape::SCTYPE_TORUS, 9, 9);
  wappa.CurrentLine = 7;
  wappa.PrevLine(cs);
  EXPECT_EQ(wappa.CurrentLine, 0);
  wappa.NextLine(cs);
  EXPECT_EQ(wappa.CurrentLine, 7);
  wappa.CurrentLine = 0;
  std::string label;
  wappa.CurrentLineLabel(cs, label);
  EXPECT_EQ(label, "00");
  shape::TLineMarks marks{};
  for (auto& m : marks) m = 1;
  marks[0] = 0;  // the dialog's first entry: row 8, the same ring as row 0
  wappa.SetSideMarks(marks, cs);
  EXPECT_EQ(wappa.SideMarks[8], 0);
  EXPECT_EQ(wappa.SideMarks[0], 0);
  // Marks other than 0 and 1 stay.
  wappa.SideMarks[4] = 2;
  marks[4] = 0;
  wappa.SetSideMarks(marks, cs);
  EXPECT_EQ(wappa.SideMarks[4], 2);
}

TEST_F(WappaTest, AFollowerOfAPoleRowStaysFinite) {
  shape::TCS& cs = Shape(shape::SCTYPE_SPHERE, 9, 9);
  wappa.CurrentLine = 0;  // the lower pole: a ring of radius 0
  wappa.SyncFromShape(cs);
  ASSERT_EQ(wappa.RingFrame.Radius, 0);
  cs.SP[2][0] = true;
  shape::CountSelectedPoints(cs);
  wappa.MoveSelected(cs, {{0.1, 0.1}});
  wappa.ApplyShape(cs, true);
  EXPECT_TRUE(AllFinite(cs));
  // Followers move by the same plane offset (k = 1) instead of to the cube's corner.
  for (int r = 1; r < 8; ++r) EXPECT_LT(std::abs(cs.CP[2][r][0]), 0.99) << r;
}
