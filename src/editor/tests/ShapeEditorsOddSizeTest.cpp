// Every shape editor on grids of odd sizes (2, 3, 4, 6 and 100 columns or rows, each stitch
// type): edits, presets, line stepping, sections, spacing and painting stay inside the grid
// and write no NaN or infinity.
#include <memory>
#include <vector>

#include "editor/editors/uScDODUDA.h"
#include "editor/editors/uScGYRAN.h"
#include "editor/editors/uScMAGE.h"
#include "editor/editors/uScTOKOROTEN.h"
#include "editor/editors/uScWAPPA.h"
#include "editor/tests/ShapeEditorTestUtil.h"

using editor::TScBase;
using editor_test::Pane;

namespace {

class OddSizeTest : public editor_test::ShapeEditorTest {
 protected:
  // Points outside the grid hold a marker that no edit may overwrite.
  void MarkOutside(shape::TCS& cs) {
    for (int i = 0; i < shape::kGridMax; ++i)
      for (int j = 0; j < shape::kGridMax; ++j)
        if (i >= cs.CPMaxI || j >= cs.CPMaxJ) cs.CP[i][j] = {{5, 5, 5}};
  }
  bool OutsideIntact(const shape::TCS& cs) {
    for (int i = 0; i < shape::kGridMax; ++i)
      for (int j = 0; j < shape::kGridMax; ++j)
        if ((i >= cs.CPMaxI || j >= cs.CPMaxJ) && cs.CP[i][j][0] != 5) return false;
    return true;
  }
  void SelectAll(shape::TCS& cs) {
    shape::FillPointFlags(cs.SP, cs.CPMaxI, cs.CPMaxJ, true);
    shape::CountSelectedPoints(cs);
    shape::CommitShapePoints(cs);
  }
  void Exercise(TScBase& e, Pane& pane, shape::TCS& cs) {
    e.ResetForShape();
    e.SyncFromShape(cs);
    e.PublishLineMarks();
    pane.Paint();
    for (int level : {2, 4})
      for (int type : {1, 2, 3}) {
        settings::AppSettings.EditLevel = level;
        settings::AppSettings.RearrangeType = type;
        SelectAll(cs);
        e.MoveSelected(cs, {{0.05, -0.03}});
        e.ApplyShape(cs, true);
      }
    settings::AppSettings.EditLevel = 1;
    SelectAll(cs);
    e.EqualIntervals(cs);
    e.EqualDistance(cs);
    e.EqualCurves(cs);
    e.SameWidth(cs);
    e.Optimize(cs);
    e.FillUnmarkedSides(cs);
    e.Twist(cs, 1);
    e.Twist(cs, -1);
    e.Magnet(cs);
    for (int kind = 0; kind < 4; ++kind) e.Smooth(cs, kind);
    e.Rotate(cs, 30);
    for (int kind = 0; kind < 6; ++kind) e.RoundPreset(cs, kind);
    for (int sides : {0, 3, 8}) e.PrismPreset(cs, sides, false);
    for (int section = 1; section < editor::SectionTypeCount; ++section) {
      editor::CurrentSection = section;
      e.SectionChanged(cs);
      SelectAll(cs);
      e.MoveSelected(cs, {{0.02, 0.02}});
      e.ApplyShape(cs, true);
    }
    for (int k = 0; k < 6; ++k) {
      e.NextLine(cs);
      e.SyncFromShape(cs);
      pane.Paint();
      e.PublishLineMarks();
    }
    for (int k = 0; k < 6; ++k) {
      e.PrevLine(cs);
      e.SyncFromShape(cs);
      std::string label;
      e.CurrentLineLabel(cs, label);
      std::vector<std::string> items;
      e.ListSideLabels(cs, items);
      shape::TLineMarks marks{};
      e.GetSideMarks(marks, cs);
      e.SetSideMarks(marks, cs);
    }
    // A click and a drag through the pane.
    pane.Drag({{100, 100}, {110, 104}, {90, 120}});
    pane.Drag({{5, 5}, {195, 195}});
    e.MarkSidesEveryN(2);
    e.ToggleCurrentLine();
    e.SelectViewSide(2);
    e.SyncFromShape(cs);
    pane.Paint();
  }

 public:
  void RunAll(TScBase& e) {
    Pane pane(e, shape::CurrentShape, 200, 200);
    const int sizes[][2] = {{2, 2}, {3, 3}, {4, 4}, {6, 6}, {100, 100}, {2, 100}, {100, 3}, {3, 6}, {6, 4}};
    for (int type = 0; type < 4; ++type)
      for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << "type " << type << " " << size[0] << " x " << size[1]);
        shape::TCS& cs = NewShape(static_cast<shape::TScType>(type), size[0], size[1]);
        MarkOutside(cs);
        Exercise(e, pane, cs);
        ASSERT_TRUE(AllFinite(cs));
        ASSERT_TRUE(OutsideIntact(cs));
      }
  }
};

}  // namespace

// Each editor in its own test, so they run side by side.

TEST_F(OddSizeTest, Doduda) {
  editor::TScDODUDA e;
  RunAll(e);
}
TEST_F(OddSizeTest, Gyran) {
  editor::TScGYRAN e;
  RunAll(e);
}
TEST_F(OddSizeTest, Tokoroten) {
  editor::TScTOKOROTEN e;
  RunAll(e);
}
TEST_F(OddSizeTest, Mage) {
  editor::TScMAGE e;
  RunAll(e);
}
TEST_F(OddSizeTest, MageTorus) {
  editor::TScMAGETorus e;
  RunAll(e);
}
TEST_F(OddSizeTest, Wappa) {
  editor::TScWAPPA e;
  RunAll(e);
}
