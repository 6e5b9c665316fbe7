// A plane has no seam: every editor that keeps seams leaves a plane's last column a point of its
// own, and the spacing commands treat a plane's rows as open lines. The torus and the cylinder
// keep their seam column.
#include <cmath>

#include "editor/editors/uScDODUDA.h"
#include "editor/editors/uScGYRAN.h"
#include "editor/editors/uScMAGE.h"
#include "editor/editors/uScMAGETorus.h"
#include "editor/editors/uScTOKOROTEN.h"
#include "editor/editors/uScWAPPA.h"
#include "editor/tests/ShapeEditorTestUtil.h"

using editor::TScTOKOROTEN;
using editor_test::Pane;

namespace {

class PlaneTest : public editor_test::ShapeEditorTest {
 protected:
  // A 9 x 9 shape in the extrusion editor with row 4 current, the whole row selected.
  shape::TCS& Extrusion(shape::TScType type) {
    shape::TCS& cs = NewShape(type, 9, 9);
    tokoroten.ResetForShape();
    tokoroten.CurrentLine = 4;
    tokoroten.SyncFromShape(cs);
    return cs;
  }
  static void SelectRow(shape::TCS& cs, int row) {
    for (int i = 0; i < cs.CPMaxI; ++i) cs.SP[i][row] = true;
  }
  TScTOKOROTEN tokoroten;
};

}  // namespace

TEST_F(PlaneTest, ThePlanesLastPointOfTheRowCanBeSelectedDraggedAndLocked) {
  shape::TCS& cs = Extrusion(shape::SCTYPE_PLANE);
  // Tall enough that the last point (x = 1, below the middle) lies inside the pane: a press
  // outside the client area does not reach the control.
  Pane pane(tokoroten, cs, 400, 600);
  pane.Paint();
  // A plane lies in y = 0: in this pane (u = y, v = x) its row is a vertical line; the last
  // column is its own point, at x = 1.
  const QPoint last = At(tokoroten, cs.CP[8][4]);
  ASSERT_TRUE(pane.control->rect().contains(last)) << last.x() << ", " << last.y();
  pane.Drag({last});  // a click
  EXPECT_TRUE(cs.SP[8][4]);
  EXPECT_FALSE(cs.SP[0][4]);
  pane.Drag({last, last + QPoint(16, 0)}, Qt::AltModifier);
  EXPECT_NEAR(cs.CP[8][4][1], 16.0 / 256, 1e-9);
  EXPECT_NEAR(cs.CP[0][4][1], 0, 1e-12);
  // A lock on it survives the next edit.
  cs.RP[8][4] = true;
  cs.RP[0][4] = false;
  tokoroten.ApplyShape(cs, true);
  EXPECT_TRUE(cs.RP[8][4]);
}

TEST_F(PlaneTest, SpacingCommandsTreatAPlanesRowAsOpen) {
  using Command = bool (TScTOKOROTEN::*)(shape::TCS&);
  struct Case {
    const char* name;
    Command command;
  } cases[] = {{"Equal Intervals", &TScTOKOROTEN::EqualIntervals},
               {"Equal Distance", &TScTOKOROTEN::EqualDistance},
               {"Equal Curves", &TScTOKOROTEN::EqualCurves}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    shape::TCS& cs = Extrusion(shape::SCTYPE_PLANE);
    // Bunch the inner points towards column 0, then space the whole row again.
    for (int i = 1; i < 8; ++i) cs.CP[i][4][0] = cs.CP[0][4][0] + 0.01 * i;
    shape::CommitShapePoints(cs);
    SelectRow(cs, 4);
    ASSERT_TRUE(tokoroten.CanEqualIntervals(cs));
    const shape::TDbl3D first = cs.CP[0][4], last = cs.CP[8][4];
    ASSERT_TRUE((tokoroten.*c.command)(cs));
    // The ends stay where they were (the last column is not put onto column 0) ...
    ExpectSame(cs.CP[0][4], first);
    ExpectSame(cs.CP[8][4], last);
    // ... and the points between lie evenly on the line between them.
    if (c.command != &TScTOKOROTEN::EqualCurves) {
      for (int i = 1; i < 8; ++i) EXPECT_NEAR(cs.CP[i][4][0], first[0] + (last[0] - first[0]) * i / 8, 1e-9) << i;
    }
    for (int i = 0; i < 9; ++i) EXPECT_TRUE(std::isfinite(cs.CP[i][4][0])) << i;
  }
  // A run that wraps from the last column to column 0 is no run on an open row.
  shape::TCS& cs = Extrusion(shape::SCTYPE_PLANE);
  for (int i : {7, 8, 0, 1}) cs.SP[i][4] = true;
  EXPECT_FALSE(tokoroten.CanEqualIntervals(cs));
  EXPECT_FALSE(tokoroten.EqualIntervals(cs));
}

TEST_F(PlaneTest, ClosedShapesKeepTheirSeamColumn) {
  for (shape::TScType type : {shape::SCTYPE_TORUS, shape::SCTYPE_CYLINDER}) {
    SCOPED_TRACE(type);
    shape::TCS& cs = Extrusion(type);
    SelectRow(cs, 4);
    ASSERT_TRUE(tokoroten.EqualDistance(cs));
    ExpectSame(cs.CP[8][4], cs.CP[0][4], 0);
    cs.SP[0][4] = false;
    cs.RP[0][4] = true;
    tokoroten.ApplyShape(cs, true);
    EXPECT_TRUE(cs.RP[8][4]);  // the seam column follows column 0
    EXPECT_FALSE(cs.SP[8][4]);
  }
}

TEST_F(PlaneTest, TheRingEditorAndTheBendEditorsLeaveThePlanesLastColumn) {
  // The ring editor's spacing.
  {
    shape::TCS& cs = NewShape(shape::SCTYPE_PLANE, 9, 9);
    editor::TScWAPPA wappa;
    wappa.ResetForShape();
    wappa.SyncFromShape(cs);
    const int row = wappa.CurrentLine;
    SelectRow(cs, row);
    const shape::TDbl3D last = cs.CP[8][row];
    if (wappa.EqualIntervals(cs)) ExpectSame(cs.CP[8][row], last);
    EXPECT_FALSE(shape::EqualDbl3D(cs.CP[8][row], cs.CP[0][row]));
  }
  // The bend editors' profile and chamfer rings.
  for (int32_t section : {editor::SECTION_CHAMFER, editor::SECTION_ROUND}) {
    SCOPED_TRACE(section);
    editor::CurrentSection = section;
    editor::TScMAGE mage;
    shape::TCS& cs = NewShape(shape::SCTYPE_PLANE, 17, 9);
    mage.ResetForShape();
    mage.SyncFromShape(cs);
    const shape::TDbl3D last = cs.CP[16][4];
    ASSERT_TRUE(mage.SectionChanged(cs));
    ExpectSame(cs.CP[16][4], last, 0);
    EXPECT_FALSE(shape::EqualDbl3D(cs.CP[16][4], cs.CP[0][4]));
  }
}

// Every shape editor's edit leaves the selection and locks of a plane's last column its own.
TEST_F(PlaneTest, EveryEditorKeepsThePlanesLastColumnFlags) {
  editor::TScDODUDA doduda;
  editor::TScGYRAN gyran;
  editor::TScMAGE mage;
  editor::TScMAGETorus mageTorus;
  editor::TScWAPPA wappa;
  editor::TScBase* editors[] = {&doduda, &gyran, &tokoroten, &mage, &mageTorus, &wappa};
  for (editor::TScBase* e : editors) {
    shape::TCS& cs = NewShape(shape::SCTYPE_PLANE, 9, 9);
    e->ResetForShape();
    e->SyncFromShape(cs);
    SCOPED_TRACE(e->CurrentLine);
    for (int j = 0; j < 9; ++j) {
      cs.SP[8][j] = true;
      cs.RP[8][j] = j % 2 == 0;
      cs.SP[0][j] = cs.RP[0][j] = false;
    }
    e->ApplyShape(cs, true);
    for (int j = 0; j < 9; ++j) {
      EXPECT_TRUE(cs.SP[8][j]) << j;
      EXPECT_EQ(cs.RP[8][j], j % 2 == 0) << j;
      EXPECT_FALSE(cs.SP[0][j]) << j;
    }
  }
}
