// The pane base: zoom, wheel, scroll arithmetic, panning with the space bar, the rubber band and
// the routing of mouse and key events, driven through real events on a headless pane.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "PaneTestUtil.h"
#include "common/Round.h"
#include "editor/panes/EditBase.h"

using editor::TEditBase;
using editor_test::NewShape;
using editor_test::Pane;
using editor_test::SettingsGuard;

namespace {

// Records which slots the base reached.
class TProbe : public TEditBase {
 public:
  void ChoosePainters() override {}
  std::vector<std::string> log;
  int32_t modeAtPress = editor::DRAG_NONE;
  bool upResult = true;

  int32_t KeyDown(shape::TCS&, uint16_t& key, platform::TShiftState) override {
    log.push_back("key " + std::to_string(key));
    return 2;
  }
  bool MouseDown(shape::TCS&, editor::TImage&, platform::TShiftState, int32_t, int32_t) override {
    log.push_back("down");
    DragMode = modeAtPress;
    return true;
  }
  void MouseHover(shape::TCS&, editor::TImage&, platform::TShiftState, int32_t, int32_t) override {
    log.push_back("hover");
  }
  bool MouseDrag(shape::TCS&, editor::TImage&, bool, int32_t, int32_t) override {
    log.push_back("drag");
    return true;
  }
  bool MouseUp(shape::TCS&, editor::TImage&, bool, int32_t, int32_t) override {
    log.push_back("up");
    return upResult;
  }
  void BeforePaint(editor::TImage&) override { log.push_back("before"); }
  int Count(const std::string& what) const {
    return static_cast<int>(std::count(log.begin(), log.end(), what));
  }
};

class EditBase : public ::testing::Test {
 protected:
  SettingsGuard guard;
  std::unique_ptr<shape::TCS> cs = NewShape(shape::SCTYPE_SPHERE, 9, 9);
  TProbe probe;
};

}  // namespace

TEST_F(EditBase, ConstructionStartsAtTheDefaultView) {
  EXPECT_EQ(probe.Scale, 256);
  EXPECT_EQ(probe.OffsetX, 0);
  EXPECT_EQ(probe.OffsetY, 0);
  EXPECT_EQ(probe.DragMode, editor::DRAG_NONE);
  EXPECT_FALSE(probe.MouseIsDown);
  EXPECT_EQ(probe.EditMode, editor::EDIT_NORMAL);
}

TEST_F(EditBase, ZoomStaysWithinItsLimitsAndLevelsRoundToEven) {
  for (int k = 0; k < 5; ++k) probe.ZoomStep(1);
  EXPECT_NEAR(probe.Scale, 256 * std::pow(1.15, 5), 1e-9);
  EXPECT_NEAR(probe.Scale, 514.9, 0.01);
  EXPECT_EQ(probe.GetZoomLevel(), 4);

  probe.Scale = 1400;
  probe.ZoomStep(1);
  EXPECT_EQ(probe.Scale, 1536);
  probe.Scale = 200;
  probe.ZoomStep(-1);
  EXPECT_EQ(probe.Scale, 192);

  // SetZoomLevel has no limits; the next zoom step clamps again.
  probe.SetZoomLevel(1);
  EXPECT_EQ(probe.Scale, 128);
  probe.ZoomStep(-1);
  EXPECT_EQ(probe.Scale, 192);
  probe.SetZoomLevel(13);
  EXPECT_EQ(probe.Scale, 1664);
  probe.ZoomStep(1);
  EXPECT_EQ(probe.Scale, 1536);

  // Halves go to the even level.
  probe.Scale = 320;  // 2.5
  EXPECT_EQ(probe.GetZoomLevel(), 2);
  probe.Scale = 448;  // 3.5
  EXPECT_EQ(probe.GetZoomLevel(), 4);
}

TEST_F(EditBase, ZoomKeepsTheModelPointUnderTheMouse) {
  probe.OffsetX = 40;
  probe.OffsetY = -25;
  const double dx = 70, dy = -35;  // pane centre minus mouse position
  const double beforeH = (probe.OffsetX - dx) / probe.Scale;
  const double beforeV = (probe.OffsetY - dy) / probe.Scale;
  probe.ZoomAt(1, dx, dy);
  EXPECT_NEAR((probe.OffsetX - dx) / probe.Scale, beforeH, 0.5 / probe.Scale);
  EXPECT_NEAR((probe.OffsetY - dy) / probe.Scale, beforeV, 0.5 / probe.Scale);
  // With 0, 0 the pane centre stays: the offsets only scale.
  probe.OffsetX = 100;
  probe.ZoomAt(-1, 0, 0);
  EXPECT_EQ(probe.OffsetX, common::RoundInt(100 / 1.15));
}

TEST_F(EditBase, SetZoomLevelScalesTheOffsets) {
  probe.OffsetX = 30;
  probe.OffsetY = -11;
  probe.WheelCount = 2;
  probe.SetZoomLevel(4);  // 256 -> 512
  EXPECT_EQ(probe.OffsetX, 60);
  EXPECT_EQ(probe.OffsetY, -22);
  EXPECT_EQ(probe.WheelCount, 0);
}

TEST_F(EditBase, EveryThirdWheelEventZoomsAndAZoomStepRestartsTheCount) {
  std::vector<int> zoomedAt;
  for (int event = 1; event <= 9; ++event) {
    const double before = probe.Scale;
    probe.WheelZoom(1, 0, 0);
    if (probe.Scale != before) zoomedAt.push_back(event);
  }
  EXPECT_EQ(zoomedAt, (std::vector<int>{3, 6, 9}));

  probe.WheelZoom(-1, 0, 0);
  probe.WheelZoom(-1, 0, 0);
  probe.ZoomStep(-1);
  const double afterStep = probe.Scale;
  probe.WheelZoom(-1, 0, 0);
  probe.WheelZoom(-1, 0, 0);
  EXPECT_EQ(probe.Scale, afterStep) << "two wheel events after the step do not zoom yet";
  probe.WheelZoom(-1, 0, 0);
  EXPECT_LT(probe.Scale, afterStep);
}

TEST_F(EditBase, ScrollStepsStopAtZeroWhenTheyCrossIt) {
  struct Case {
    int32_t offset, code, size, expected;
  };
  const Case cases[] = {
      {10, -2, 400, 0},    // a page left from +10 gives 0, not -90
      {0, -2, 400, -100},  // from zero a page is a page
      {0, 1, 400, 20},     // a line is 5 %
      {-30, 1, 400, -10},  // not crossing
      {5, -1, 400, 0},     // crossing
      {-20, 1, 400, 0},    // reaching zero
      {100, 2, 400, 200},  // a page is 25 %
      {7, 0, 400, 7},      // code 0 adds nothing
      {0, 1, 30, 2},       // 1.5 rounds to the even 2
      {0, 1, 50, 2},       // 2.5 rounds to the even 2
  };
  for (const Case& c : cases) {
    probe.OffsetX = c.offset;
    probe.OffsetY = -c.offset;
    probe.ScrollBy(c.code, -c.code, c.size, c.size);
    EXPECT_EQ(probe.OffsetX, c.expected) << c.offset << " " << c.code;
    EXPECT_EQ(probe.OffsetY, -c.expected) << c.offset << " " << c.code;
  }
}

TEST_F(EditBase, ScrollPositionsRoundTripOverTheOffsetRange) {
  settings::MaxAxisRatio = 3;
  for (double scale : {256.0, 192.0, 1536.0}) {
    probe.Scale = scale;
    for (int p : {0, 1, 17, 49, 50, 51, 83, 100}) {
      probe.SetScrollPosX(p);
      probe.SetScrollPosY(100 - p);
      int32_t x = -1, y = -1;
      probe.GetScrollPos(x, y);
      EXPECT_EQ(x, p) << scale;
      EXPECT_EQ(y, 100 - p) << scale;
    }
  }
  probe.Scale = 256;
  probe.SetScrollPosX(100);
  EXPECT_EQ(probe.OffsetX, common::RoundInt(256 * 1.5 * 3));
  probe.SetScrollPosX(50);
  EXPECT_EQ(probe.OffsetX, 0);
}

TEST_F(EditBase, SpaceBarPanningNeverReachesTheDescendant) {
  Pane pane(probe, *cs);
  QTest::keyPress(pane.control.get(), Qt::Key_Space);
  pane.Hover({50, 60});
  EXPECT_EQ(pane.control->Cursor(), editor::crHand1);
  pane.Press({100, 100});
  EXPECT_EQ(probe.DragMode, editor::DRAG_PAN);
  EXPECT_EQ(pane.control->Cursor(), editor::crHand2);
  pane.MoveTo({120, 90});
  EXPECT_TRUE(pane.moveChanged);
  EXPECT_EQ(probe.OffsetX, -20);
  EXPECT_EQ(probe.OffsetY, 10);
  // Letting go of the space bar during the drag changes nothing.
  QTest::keyRelease(pane.control.get(), Qt::Key_Space);
  pane.MoveTo({130, 95});
  pane.Release({130, 95});
  EXPECT_TRUE(pane.released);
  EXPECT_TRUE(pane.upResult);
  EXPECT_EQ(probe.OffsetX, -30);
  EXPECT_EQ(probe.OffsetY, 5);
  EXPECT_EQ(probe.Count("down"), 0);
  EXPECT_EQ(probe.Count("drag"), 0);
  EXPECT_EQ(probe.Count("up"), 0);
  EXPECT_EQ(probe.DragMode, editor::DRAG_NONE);
  // Without the space bar a hover reaches the descendant.
  pane.Hover({10, 10});
  EXPECT_GE(probe.Count("hover"), 1);
}

TEST_F(EditBase, ReleaseWithoutPressAnswersFalseAndTouchesNothing) {
  Pane pane(probe, *cs);
  pane.upResult = true;
  pane.Release({20, 20});
  EXPECT_TRUE(pane.released);
  EXPECT_FALSE(pane.upResult);
  EXPECT_EQ(probe.Count("up"), 0);
  // A press that started no drag (mode -1) answers false too.
  pane.Drag({{5, 5}, {9, 9}});
  EXPECT_FALSE(pane.upResult);
  EXPECT_EQ(probe.Count("up"), 0);
  // A descendant's mode reaches MouseDrag and MouseUp with its answer.
  probe.modeAtPress = 3;
  probe.upResult = true;
  pane.Drag({{5, 5}, {9, 9}});
  EXPECT_TRUE(pane.moveChanged);
  EXPECT_TRUE(pane.upResult);
  EXPECT_EQ(probe.Count("up"), 1);
}

TEST_F(EditBase, CtrlPlusAndMinusZoomWithNothingSelected) {
  Pane pane(probe, *cs);
  ASSERT_EQ(cs->Count, 0);
  EXPECT_EQ(pane.Key(Qt::Key_Plus, Qt::ControlModifier), 1);
  EXPECT_NEAR(probe.Scale, 256 * 1.15, 1e-9);
  EXPECT_EQ(pane.Key(Qt::Key_Minus, Qt::ControlModifier), 1);
  EXPECT_NEAR(probe.Scale, 256, 1e-9);
  EXPECT_EQ(pane.Key(Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier), 1);
  EXPECT_EQ(pane.Key(Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier), 1);
  // Other keys need a selection.
  EXPECT_EQ(pane.Key(Qt::Key_Left), 0);
  EXPECT_EQ(probe.Count("key 37"), 0);
  cs->SP[3][3] = true;
  shape::CountSelectedPoints(*cs);
  EXPECT_EQ(pane.Key(Qt::Key_Left), 2);
  EXPECT_EQ(probe.Count("key 37"), 1);
  EXPECT_EQ(pane.Key(Qt::Key_Plus), 2) << "plus without Ctrl is an ordinary key";
}

TEST_F(EditBase, RubberBandDrawnTwiceGivesBackEveryPixel) {
  Pane pane(probe, *cs, 120, 90);
  platform::TBitmap& surface = pane.Surface();
  for (int y = 0; y < surface.Height(); ++y)
    for (int x = 0; x < surface.Width(); ++x)
      surface.SetPixelColor(x, y,
                            platform::RGB(static_cast<uint8_t>(x * 7), static_cast<uint8_t>(y * 5), 0x5A));
  const QImage before = surface.Image().copy();
  probe.modeAtPress = editor::DRAG_BAND;
  pane.Press({10, 12});
  pane.MoveTo({60, 50});
  EXPECT_NE(surface.Image(), before) << "the band is drawn while it is dragged";
  pane.MoveTo({30, 70});
  pane.MoveTo({90, 20});
  pane.Release({90, 20});
  EXPECT_TRUE(pane.upResult);
  // Only the last outline is left; drawing it once more restores the surface exactly.
  probe.DrawRubberBand(*pane.control);
  EXPECT_EQ(surface.Image(), before);
  EXPECT_EQ(pane.control->Canvas().Pen.Mode, platform::pmXor);
}

TEST_F(EditBase, PaintRunsBeforePaintThenThePainterAndPaintAltOnlyTheQuickOne) {
  Pane pane(probe, *cs, 50, 40);
  probe.Painter = [&](shape::TCS&, editor::TImage& image) {
    probe.log.push_back("painter " + std::to_string(image.Surface().Width()));
  };
  probe.QuickPainter = [&](shape::TCS&, editor::TImage&) { probe.log.push_back("quick"); };
  pane.control->Canvas().Pen.Mode = platform::pmXor;
  probe.log.clear();
  pane.Paint();
  EXPECT_EQ(probe.log, (std::vector<std::string>{"before", "painter 50"}));
  EXPECT_EQ(pane.control->Canvas().Pen.Mode, platform::pmCopy);
  probe.log.clear();
  probe.PaintAlt(*cs, *pane.control);
  EXPECT_EQ(probe.log, (std::vector<std::string>{"quick"}));
}
