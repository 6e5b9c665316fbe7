// The shape-editor base through a small test editor on a headless pane: view sides and
// mappings, ApplyShape, click and band selection, the hit tests and the drag-mode choice,
// every kind of drag, the release results, hover text and cursors, arrow keys, turning,
// aligning, snapping and the background picture.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "PaneTestUtil.h"
#include "TestEditor.h"
#include "common/Round.h"
#include "editor/panes/ScBase.h"

using editor::TDbl2D;
using editor_test::NewShape;
using editor_test::Pane;
using editor_test::SettingsGuard;
using editor_test::TTestEditor;
using shape::TCS;

namespace {

constexpr double kStep = 0.25;

// A 5 x 5 plane in the x-z plane: CP[i][j] = (-0.5 + 0.25 i, 0, -0.5 + 0.25 j). Seen from side 0
// on a 400 x 400 pane at the default zoom, point (i, j) is at pixel (72 + 64 i, 328 - 64 j).
class ScBase : public ::testing::Test {
 protected:
  void SetUp() override {
    settings::AppSettings.PointerSize = 3;
    settings::AppSettings.Grid = 0;
    settings::AppSettings.GridRad = 36;
    settings::UpdateGridAngleStep();
    cs = NewShape(shape::SCTYPE_PLANE, 5, 5);
    Layout();
    pane = std::make_unique<Pane>(ed, *cs);
    ed.SelectViewSide(0);
    ed.SyncFromShape(*cs);
    ed.BeforePaint(*pane->control);
  }
  // The points back at their places, committed.
  void Layout() {
    for (int i = 0; i < 5; ++i)
      for (int j = 0; j < 5; ++j) cs->CP[i][j] = {{-0.5 + kStep * i, 0, -0.5 + kStep * j}};
    shape::CommitShapePoints(*cs);
  }
  QPoint At(int i, int j) const {
    const platform::TPoint p = ed.PointToScreen(cs->CP[i][j]);
    return {p.X, p.Y};
  }
  // Selects the points (all of them by default), commits and frames them.
  void Select(const std::vector<std::pair<int, int>>& points = {}) {
    shape::FillPointFlags(cs->SP, 5, 5, points.empty());
    for (auto [i, j] : points) cs->SP[i][j] = true;
    shape::CountSelectedPoints(*cs);
    shape::CommitShapePoints(*cs);
    ed.UpdateSelectionBox(*cs, true);
  }
  // The nine inner points 1..3 x 1..3: a frame from (136, 136) to (264, 264).
  static std::vector<std::pair<int, int>> Inner() {
    std::vector<std::pair<int, int>> points;
    for (int i = 1; i <= 3; ++i)
      for (int j = 1; j <= 3; ++j) points.push_back({i, j});
    return points;
  }
  bool SameAsCommitted() const {
    for (int i = 0; i < 5; ++i)
      for (int j = 0; j < 5; ++j)
        for (int k = 0; k < 3; ++k)
          if (cs->CP[i][j][k] != cs->DP[i][j][k]) return false;
    return true;
  }

  SettingsGuard guard;
  std::unique_ptr<TCS> cs;
  TTestEditor ed;
  std::unique_ptr<Pane> pane;
};

}  // namespace

TEST_F(ScBase, ViewSidesShowTheirAxesTheRightWayRound) {
  struct Case {
    int side;
    int right, up;  // model axes that run right and up on the screen
    double rightSign, upSign;
    int depth;
    double depthSign;
  };
  const Case cases[] = {{0, 0, 2, +1, +1, 1, -1}, {1, 1, 2, +1, +1, 0, +1}, {2, 0, 1, +1, -1, 2, -1},
                        {3, 0, 2, -1, +1, 1, +1}, {4, 1, 2, -1, +1, 0, -1}, {5, 0, 1, +1, +1, 2, +1}};
  for (const Case& c : cases) {
    ed.SelectViewSide(c.side);
    EXPECT_EQ(ed.ViewSide, c.side);
    EXPECT_EQ(ed.DepthAxis, c.depth);
    EXPECT_EQ(ed.DepthSign, c.depthSign);
    const platform::TPoint o = ed.PointToScreen({{0, 0, 0}});
    shape::TDbl3D p{{0, 0, 0}};
    p[c.right] = 0.5;
    EXPECT_EQ(ed.PointToScreen(p).X - o.X, c.rightSign * 128) << c.side;
    EXPECT_EQ(ed.PointToScreen(p).Y, o.Y) << c.side;
    p = {{0, 0, 0}};
    p[c.up] = 0.5;
    EXPECT_EQ(o.Y - ed.PointToScreen(p).Y, c.upSign * 128) << c.side << " (screen y grows downward)";
    // Unprojecting keeps the depth and gives back the point.
    const shape::TDbl3D q{{0.3, -0.6, 0.9}};
    TDbl2D pane2;
    ed.ProjectPoint(q, pane2);
    shape::TDbl3D back;
    ed.UnprojectPoint(pane2, {{7, 7, 7}}, back);
    EXPECT_EQ(back[c.right], q[c.right]);
    EXPECT_EQ(back[c.up], q[c.up]);
    EXPECT_EQ(back[c.depth], 7);
  }
  ed.SelectViewSide(6);
  EXPECT_EQ(ed.ViewSide, 5) << "other sides are ignored";
  EXPECT_STREQ(editor::EditorTypeNames[4], "MAGE");
  EXPECT_STREQ(editor::EditorTypeNames[7], "Bitmap");
}

TEST_F(ScBase, ScreenMappingsAgree) {
  ed.OffsetX = 13;
  ed.OffsetY = -7;
  ed.AxisScaleH = 2;
  const TDbl2D p{{0.3, -0.4}};
  const platform::TPointF f = ed.ToScreenF(p);
  const platform::TPoint n = ed.ToScreenInt(p);
  EXPECT_FLOAT_EQ(f.X, static_cast<float>(0.3 * 512 + 200 - 13 + 0.5));
  EXPECT_FLOAT_EQ(f.Y, static_cast<float>(-0.4 * 256 + 200 + 7 + 0.5));
  EXPECT_EQ(n.X, common::RoundInt(0.3 * 512 + 200 - 13));
  const TDbl2D back = ed.ScreenToPane(0.3 * 512 + 200 - 13, -0.4 * 256 + 200 + 7);
  EXPECT_NEAR(back[0], 0.3, 1e-12);
  EXPECT_NEAR(back[1], -0.4, 1e-12);
  const TDbl2D d = ed.PaneDelta(10, 10, 20, 5);
  EXPECT_DOUBLE_EQ(d[0], 10.0 / 512);
  EXPECT_DOUBLE_EQ(d[1], -5.0 / 256);
  // The pane square one pixel larger each way, the same in both pipelines.
  const platform::TRectF g = ed.CubeRectGdiPlus(), r = ed.CubeRectD2D();
  EXPECT_EQ(g, r);
  EXPECT_FLOAT_EQ(g.Left, ed.ToScreenF({{-1, -1}}).X);
  EXPECT_FLOAT_EQ(g.Right, ed.ToScreenF({{1, 1}}).X + 1);
}

TEST_F(ScBase, ApplyShapeSnapsClampsGeneratesAndCounts) {
  Select({{1, 1}, {2, 2}});
  cs->CP[1][1] = {{0.30, 0.0, 5.0}};
  cs->CP[3][3] = {{0.30, 0.0, 0.0}};  // not selected: never snapped
  cs->RP[2][2] = true;
  cs->CP[2][2] = {{0.30, 0.0, 0.0}};  // locked: never snapped
  ed.SnapGrid = 16;
  ed.generated = 0;
  EXPECT_EQ(ed.ApplyShape(*cs, false), 2);
  EXPECT_EQ(ed.generated, 0);
  EXPECT_EQ(cs->CP[1][1][0], 0.30) << "no snap without Full";
  EXPECT_EQ(cs->CP[1][1][2], 1.0) << "always clamped";
  EXPECT_EQ(ed.ApplyShape(*cs, true), 2);
  EXPECT_EQ(ed.generated, 1);
  EXPECT_EQ(cs->CP[1][1][0], 0.25) << "Grid 16 snaps 0.30 to the step 0.125";
  EXPECT_EQ(cs->CP[3][3][0], 0.30);
  EXPECT_EQ(cs->CP[2][2][0], 0.30);
  EXPECT_EQ(cs->Count, 2);
}

TEST_F(ScBase, PressCodesFollowTheModifiersAndTheFrameHandles) {
  // Frame round all points: r00 (72, 72) top-left, r11 (328, 328), pivot in the centre.
  struct Case {
    QPoint at;
    Qt::KeyboardModifiers mods;
    int mode;
  };
  const Qt::KeyboardModifiers none = Qt::NoModifier, ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier,
                              alt = Qt::AltModifier, shiftCtrl = Qt::ShiftModifier | Qt::ControlModifier;
  const Case cases[] = {
      {{72, 72}, none, 1},          {{72, 328}, none, 2},        {{328, 72}, none, 3},
      {{328, 328}, none, 4},        {{200, 72}, none, 5},        {{200, 328}, none, 6},
      {{72, 200}, none, 7},         {{328, 200}, none, 8},       {{330, 250}, none, 0},
      {{160, 120}, none, 0},        {{64, 150}, none, 9},        {{200, 200}, none, 10},
      {{10, 10}, none, -2},         {{72, 72}, ctrl, 101},       {{328, 328}, ctrl, 104},
      {{200, 72}, ctrl, 105},       {{328, 200}, ctrl, 108},     {{160, 120}, ctrl, 100},
      {{64, 150}, ctrl, 109},       {{200, 200}, ctrl, 10},      {{10, 10}, ctrl, -2},
      {{72, 72}, shiftCtrl, 201},   {{72, 328}, shiftCtrl, 202}, {{328, 72}, shiftCtrl, 203},
      {{328, 328}, shiftCtrl, 204}, {{200, 72}, shiftCtrl, 5},   {{160, 120}, shiftCtrl, 0},
      {{10, 10}, alt, 0},           {{160, 120}, alt, 0},        {{10, 10}, shift, -2},
      {{160, 120}, shift, -2},
  };
  for (const Case& c : cases) {
    Select();
    pane->Press(c.at, c.mods);
    EXPECT_EQ(ed.DragMode, c.mode) << c.at.x() << "," << c.at.y() << " mods " << c.mods.toInt();
    pane->Release(c.at, c.mods);
  }
}

TEST_F(ScBase, ShiftClickTogglesAPointAndStartsAMove) {
  Select({{1, 1}, {2, 1}, {3, 3}});
  pane->Press(At(4, 0), Qt::ShiftModifier);
  EXPECT_EQ(ed.DragMode, 0);
  EXPECT_TRUE(cs->SP[4][0]);
  EXPECT_EQ(cs->Count, 4);
  pane->Release(At(4, 0), Qt::ShiftModifier);
  pane->Press(At(4, 0), Qt::ShiftModifier);
  EXPECT_FALSE(cs->SP[4][0]);
  pane->Release(At(4, 0), Qt::ShiftModifier);
  EXPECT_EQ(cs->Count, 3);
}

TEST_F(ScBase, CornersAreNotOfferedWhileThePivotSharesAScreenLineWithR00) {
  Select();
  ASSERT_EQ(ed.FrameHandleAt(*cs, 72, 72), 1);
  for (const TDbl2D pivot : {TDbl2D{{-0.5, 0.1}}, TDbl2D{{0.2, -0.5}}, TDbl2D{{-0.5, -0.5}}}) {
    cs->R1.rp = pivot;
    EXPECT_NE(ed.FrameHandleAt(*cs, 72, 72), 1);
    EXPECT_NE(ed.FrameHandleAt(*cs, 328, 328), 4);
    EXPECT_EQ(ed.FrameHandleAt(*cs, 66, 66), 9) << "the ring covers the corner's outside";
  }
}

TEST_F(ScBase, NarrowFramesOfferNoEdgeHandlesAcrossThem) {
  // Points (1, 2) and (3, 2) on one row: a frame 128 wide and 0 high, whose pivot lies on r00's
  // row, so no corners either: the ends are the left and right edge handles.
  Select({{1, 2}, {3, 2}});
  const int y = 200;
  EXPECT_EQ(ed.FrameHandleAt(*cs, 136, y), 7);
  EXPECT_EQ(ed.FrameHandleAt(*cs, 137, y - 1), 7);
  EXPECT_EQ(ed.FrameHandleAt(*cs, 264, y), 8);
  EXPECT_EQ(ed.FrameHandleAt(*cs, 200, y), 10) << "the pivot, not a top or bottom edge";
  // 6P is the bound: with P = 3 a frame of 18 pixels has none, 19 has them.
  settings::AppSettings.PointerSize = 11;  // 6P = 66 > 64 in height
  Select({{1, 1}, {3, 2}});                // (136, 200) to (264, 264): 128 x 64 pixels
  EXPECT_EQ(ed.FrameHandleAt(*cs, 136, 232), 7);
  EXPECT_NE(ed.FrameHandleAt(*cs, 200, 264), 6);
  EXPECT_NE(ed.FrameHandleAt(*cs, 200, 200), 5);
  settings::AppSettings.PointerSize = 10;  // 6P = 60 < 64
  EXPECT_EQ(ed.FrameHandleAt(*cs, 200, 264), 6);
  EXPECT_EQ(ed.FrameHandleAt(*cs, 200, 200), 5);
  // One selected point has no frame at all.
  Select({{2, 2}});
  EXPECT_EQ(ed.FrameHandleAt(*cs, 200, 200), -1);
  EXPECT_EQ(ed.WarpHandleAt(*cs, 200, 200), -1);
}

TEST_F(ScBase, OneSelectedPointMovesWithoutAFrame) {
  Select({{2, 2}});
  pane->Drag({At(2, 2), {220, 190}});
  EXPECT_TRUE(pane->upResult);
  EXPECT_DOUBLE_EQ(cs->CP[2][2][0], 20.0 / 256);
  EXPECT_DOUBLE_EQ(cs->CP[2][2][2], 10.0 / 256);
  EXPECT_EQ(cs->CP[1][1][0], -0.25) << "unselected points stay";
}

TEST_F(ScBase, DraggingAwayAndBackRestoresTheCommittedPointsExactly) {
  Select({{0, 0}, {1, 3}, {4, 4}, {2, 2}});
  pane->Drag({{170, 150}, {311, 27}, {5, 390}, {170, 150}});
  EXPECT_TRUE(pane->upResult);
  EXPECT_TRUE(SameAsCommitted());
  EXPECT_EQ(cs->R1.rp[0], cs->R0.rp[0]);
  EXPECT_EQ(cs->R1.rp[1], cs->R0.rp[1]);
}

TEST_F(ScBase, MoveDragCarriesThePivotAndReportsAChange) {
  Select();
  const TDbl2D pivot = cs->R0.rp;
  pane->Press({160, 120});
  ASSERT_EQ(ed.DragMode, 0);
  pane->MoveTo({176, 104});
  EXPECT_TRUE(pane->moveChanged);
  EXPECT_DOUBLE_EQ(cs->R1.rp[0], pivot[0] + 16.0 / 256);
  EXPECT_DOUBLE_EQ(cs->R1.rp[1], pivot[1] - 16.0 / 256);
  EXPECT_DOUBLE_EQ(cs->CP[0][0][0], -0.5 + 16.0 / 256);
  EXPECT_DOUBLE_EQ(cs->CP[0][0][2], -0.5 + 16.0 / 256);
  pane->Release({176, 104});
  EXPECT_TRUE(pane->upResult);
  // The pivot alone.
  Layout();
  Select();
  pane->Drag({{200, 200}, {232, 200}});
  EXPECT_TRUE(SameAsCommitted());
  EXPECT_DOUBLE_EQ(cs->R1.rp[0], cs->R0.rp[0] + 0.125);
}

TEST_F(ScBase, CtrlOnTheInsideOrTheRingMovesNothingButReportsAChange) {
  for (QPoint at : {QPoint(160, 120), QPoint(64, 150)}) {
    Select();
    pane->Drag({at, {at.x() + 40, at.y() + 30}}, Qt::ControlModifier);
    EXPECT_FALSE(pane->moveChanged);
    EXPECT_TRUE(pane->upResult);
    EXPECT_TRUE(SameAsCommitted());
  }
}

TEST_F(ScBase, CornerDragScalesAboutTheOppositeCorner) {
  // Points 1..3 in both directions: a frame from (136, 136) to (264, 264).
  const std::vector<std::pair<int, int>> inner = Inner();
  Select(inner);
  ASSERT_EQ(ed.FrameHandleAt(*cs, 264, 264), 4);
  // r11 to (x1 + (x1 - x0), y1): the width doubles, the height stays, r00 stays.
  pane->Drag({{264, 264}, {392, 264}});
  EXPECT_TRUE(pane->upResult);
  EXPECT_DOUBLE_EQ(cs->CP[1][1][0], -0.25);
  EXPECT_DOUBLE_EQ(cs->CP[3][1][0], 0.75);
  EXPECT_DOUBLE_EQ(cs->CP[2][1][0], 0.25);
  EXPECT_DOUBLE_EQ(cs->CP[3][3][2], 0.25);
  EXPECT_DOUBLE_EQ(cs->CP[3][1][2], -0.25);
  EXPECT_DOUBLE_EQ(cs->R1.r11[0], 0.75);
  EXPECT_DOUBLE_EQ(cs->R1.r00[0], -0.25);
  EXPECT_EQ(cs->CP[4][4][0], 0.5) << "unselected";
}

TEST_F(ScBase, EdgeAndCentredDragsScaleOneOrBothAxes) {
  const std::vector<std::pair<int, int>> inner = Inner();
  // Right edge (mode 8) out by 64 pixels: x from -0.25..0.25 to -0.25..0.5.
  Select(inner);
  pane->Drag({{264, 200}, {328, 230}});
  EXPECT_DOUBLE_EQ(cs->CP[3][3][0], 0.5);
  EXPECT_DOUBLE_EQ(cs->CP[3][3][2], 0.25) << "the other axis stays";
  // Ctrl on the right edge (mode 108): about the centre, both sides move.
  Layout();
  Select(inner);
  pane->Drag({{264, 200}, {328, 200}}, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(cs->CP[3][3][0], 0.5);
  EXPECT_DOUBLE_EQ(cs->CP[1][3][0], -0.5);
  // Ctrl on a corner (mode 104): uniform by the mean of the two factors (2 and 1 -> 1.5).
  Layout();
  Select(inner);
  pane->Drag({{264, 264}, {328, 264}}, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(cs->CP[3][1][0], 0.375);
  EXPECT_DOUBLE_EQ(cs->CP[3][1][2], -0.375);
}

TEST_F(ScBase, RingDragTurnsAboutThePivotAndShiftSnapsToGridRadSteps) {
  const std::vector<std::pair<int, int>> inner = Inner();
  Select(inner);
  // From the ring right of the pivot to straight below it on the screen: a quarter turn in pane
  // space.
  ASSERT_EQ(ed.FrameHandleAt(*cs, 270, 200), 9);
  pane->Drag({{270, 200}, {200, 274}});
  EXPECT_NEAR(cs->CP[3][2][0], 0.0, 1e-12);
  EXPECT_NEAR(cs->CP[3][2][2], -0.25, 1e-12);
  // 14 degrees with Shift held while dragging snaps to 10 (GridRad 36); Shift at the press
  // would have started a band.
  Layout();
  Select(inner);
  const double a = 14 * std::numbers::pi / 180;
  const QPoint end(200 + common::RoundInt(150 * std::cos(a)), 200 + common::RoundInt(150 * std::sin(a)));
  pane->Press({270, 200});
  pane->MoveTo(end, Qt::ShiftModifier);
  pane->Release(end, Qt::ShiftModifier);
  const double b = 10 * std::numbers::pi / 180;
  EXPECT_NEAR(cs->CP[3][2][0], 0.25 * std::cos(b), 1e-12);
  EXPECT_NEAR(cs->CP[3][2][2], -0.25 * std::sin(b), 1e-12);
}

TEST_F(ScBase, ShiftCtrlCornerDragWarpsTheSelectionBilinearly) {
  Select();
  pane->Drag({{328, 328}, {300, 350}}, Qt::ShiftModifier | Qt::ControlModifier);
  const TDbl2D moved = ed.ScreenToPane(300, 350);
  EXPECT_DOUBLE_EQ(cs->CP[4][0][0], moved[0]) << "the corner lands on the mouse";
  EXPECT_DOUBLE_EQ(cs->CP[4][0][2], -moved[1]);
  EXPECT_EQ(cs->CP[0][4][0], -0.5) << "the opposite corner stays";
  EXPECT_EQ(cs->CP[0][0][0], -0.5);
  EXPECT_EQ(cs->CP[4][4][0], 0.5);
  // The centre (u = v = 1/2 from the anchor r00) takes a quarter of the corner's offset.
  const double ox = moved[0] + 0.5, oy = moved[1] + 0.5;
  EXPECT_DOUBLE_EQ(cs->CP[2][2][0], -0.5 + 0.25 + 0.25 * ox);
  EXPECT_DOUBLE_EQ(-cs->CP[2][2][2], -0.5 + 0.25 + 0.25 * oy);
}

TEST_F(ScBase, WarpDragsLeaveTheCommittedPointsAndFrameAlone) {
  ed.SetEditMode(editor::EDIT_WORP);
  Select();
  const shape::TRengeD committed = cs->R0;
  ASSERT_EQ(ed.WarpHandleAt(*cs, 328, 328), 303);
  pane->Drag({{328, 328}, {360, 340}});
  EXPECT_FALSE(pane->upResult) << "a warp drag reports no change of its own";
  EXPECT_FALSE(SameAsCommitted());
  EXPECT_EQ(std::memcmp(&cs->R0, &committed, sizeof committed), 0);
  EXPECT_DOUBLE_EQ(cs->CP[4][0][0], ed.ScreenToPane(360, 340)[0]);
  // A second drag warps from the same committed points through the frame as the first left it.
  pane->Drag({{72, 72}, {80, 72}});
  EXPECT_FALSE(pane->upResult);
  EXPECT_EQ(std::memcmp(&cs->R0, &committed, sizeof committed), 0);
  EXPECT_DOUBLE_EQ(cs->CP[4][0][0], ed.ScreenToPane(360, 340)[0]) << "the first bend holds";
  EXPECT_DOUBLE_EQ(cs->CP[0][4][0], ed.ScreenToPane(80, 72)[0]);
  EXPECT_EQ(cs->DP[0][4][0], -0.5);
  // Shift starts a band in Worp mode; a miss too.
  pane->Press({150, 150}, Qt::ShiftModifier);
  EXPECT_EQ(ed.DragMode, editor::DRAG_BAND);
  pane->Release({150, 150}, Qt::ShiftModifier);
  ed.SetEditMode(editor::EDIT_NORMAL);
}

TEST_F(ScBase, WarpHandlesOfAFlatFrameKeepItFlat) {
  ed.SetEditMode(editor::EDIT_WORP);
  // One column of points: a frame of zero width.
  Select({{2, 0}, {2, 1}, {2, 4}});
  ASSERT_EQ(cs->R0.r00[0], cs->R0.r11[0]);
  const QPoint b2(ed.ToScreenInt(cs->R1.b2).X, ed.ToScreenInt(cs->R1.b2).Y);
  ASSERT_EQ(ed.WarpHandleAt(*cs, b2.x(), b2.y()), 306);
  pane->Drag({b2, {b2.x() + 30, b2.y()}});
  const shape::TRengeD& f = cs->R1;
  auto same = [](const TDbl2D& a, const TDbl2D& b) { return a[0] == b[0] && a[1] == b[1]; };
  EXPECT_TRUE(same(f.r10, f.r00) && same(f.b0, f.r00) && same(f.b1, f.r00));
  EXPECT_TRUE(same(f.r01, f.r11) && same(f.b6, f.r11) && same(f.b7, f.r11));
  EXPECT_TRUE(same(f.b4, f.b2) && same(f.b5, f.b3));
  EXPECT_FALSE(SameAsCommitted()) << "the bent handle bends the column";
  // A frame that is a point does nothing at all.
  cs->CP[2][4] = cs->CP[2][0] = cs->CP[2][1];
  Select({{2, 0}, {2, 1}, {2, 4}});
  const QPoint c(ed.ToScreenInt(cs->R1.b3).X, ed.ToScreenInt(cs->R1.b3).Y);
  pane->Drag({c, {c.x() + 30, c.y() + 20}});
  EXPECT_TRUE(SameAsCommitted());
  ed.SetEditMode(editor::EDIT_NORMAL);
}

TEST_F(ScBase, BandSelectionTakesItsValueBeforeClearing) {
  // A band without Shift over points that are all selected clears them.
  Select({{0, 0}, {1, 0}, {0, 1}, {1, 1}});
  pane->Drag({{60, 340}, {150, 250}});
  EXPECT_TRUE(pane->upResult);
  EXPECT_EQ(cs->Count, 0);
  // Over unselected points it replaces the selection; with Shift it adds.
  Select({{4, 4}});
  pane->Drag({{60, 340}, {150, 250}});
  EXPECT_EQ(cs->Count, 4);
  EXPECT_FALSE(cs->SP[4][4]);
  pane->Drag({{250, 60}, {340, 150}}, Qt::ShiftModifier);
  EXPECT_EQ(cs->Count, 8);
  // With Shift over points all selected already: removed from the selection.
  pane->Drag({{250, 60}, {340, 150}}, Qt::ShiftModifier);
  EXPECT_EQ(cs->Count, 4);
  // A band over no point clears the selection.
  pane->Drag({{90, 90}, {120, 120}});
  EXPECT_EQ(cs->Count, 0);
  // The frame follows a band selection, committed.
  pane->Drag({{60, 340}, {220, 180}});
  EXPECT_EQ(cs->Count, 9);
  EXPECT_DOUBLE_EQ(cs->R0.r11[0], 0.0);
  EXPECT_DOUBLE_EQ(cs->R1.r00[0], -0.5);
}

TEST_F(ScBase, ReleaseResultsByMode) {
  struct Case {
    int32_t mode;
    bool result;
  };
  for (const Case& c : {Case{editor::DRAG_BAND, true}, Case{0, true}, Case{10, true}, Case{4, true},
                        Case{100, true}, Case{109, true}, Case{300, false}, Case{311, false},
                        Case{editor::DRAG_NONE, false}, Case{-4, false}}) {
    Select();
    ed.DragMode = c.mode;
    EXPECT_EQ(ed.MouseUp(*cs, *pane->control, false, 200, 200), c.result) << c.mode;
  }
}

TEST_F(ScBase, TurnAlignAndSnap) {
  Select({{4, 2}, {2, 4}});
  cs->R0.rp = {{0, 0}};
  // Pane (0.5, 0) turned by 90 degrees about the origin goes to (0, 0.5): x 0.5 -> 0, z 0 -> -0.5.
  EXPECT_TRUE(ed.Rotate(*cs, 90));
  EXPECT_NEAR(cs->CP[4][2][0], 0.0, 1e-12);
  EXPECT_NEAR(cs->CP[4][2][2], -0.5, 1e-12);
  shape::CommitShapePoints(*cs);
  cs->R0.rp = {{0.125, -0.375}};
  EXPECT_TRUE(ed.Align(*cs, 0));
  EXPECT_EQ(cs->CP[4][2][0], 0.125);
  EXPECT_EQ(cs->CP[2][4][0], 0.125);
  EXPECT_TRUE(ed.Align(*cs, 1));
  EXPECT_EQ(cs->CP[2][4][2], 0.375);
  // Locked points stay.
  cs->RP[2][4] = true;
  shape::CommitShapePoints(*cs);
  EXPECT_TRUE(ed.Rotate(*cs, 45));
  EXPECT_EQ(cs->CP[2][4][0], cs->DP[2][4][0]);
}

TEST_F(ScBase, HoverTextShowsChannelsOrCoordinates) {
  // Pane (0.75, -0.25) from side 0 is x 0.75, z 0.25.
  const int x = 200 + 192, y = 200 - 64;
  std::string text;
  editor::HoverShowsChannels = true;
  ed.HoverText(x, y, text);
  EXPECT_EQ(text, "223,159");
  ed.HoverText(200 + 128, 200, text);
  EXPECT_EQ(text, "191,127") << "0.5 is 191 and 0 is 127";
  ed.HoverText(200 - 256, 200, text);
  EXPECT_EQ(text, "-001,127") << "the three digits come after the sign";
  editor::HoverShowsChannels = false;
  settings::AppSettings.MaximizeWithSymmetry = true;
  ed.HoverText(x, y, text);
  EXPECT_EQ(text, "0.76,0.25");
  settings::AppSettings.MaximizeWithSymmetry = false;
  ed.HoverText(x, y, text);
  EXPECT_EQ(text, "0.75,0.25");
  editor::HoverShowsChannels = true;
}

TEST_F(ScBase, HoverSetsTheCursorOfEveryCode) {
  struct Case {
    int code;
    platform::TCursor cursor;
  };
  const Case table[] = {{0, platform::crSizeAll},   {1, platform::crSizeNWSE},  {4, platform::crSizeNWSE},
                        {2, platform::crSizeNESW},  {3, platform::crSizeNESW},  {5, platform::crSizeNS},
                        {6, platform::crSizeNS},    {7, platform::crSizeWE},    {8, platform::crSizeWE},
                        {9, editor::crRoturn},      {12, editor::crArmove},     {101, editor::crBtnwse},
                        {104, editor::crBtnwse},    {102, editor::crBtnesw},    {103, editor::crBtnesw},
                        {105, editor::crBtns},      {106, editor::crBtns},      {107, editor::crBtew},
                        {108, editor::crBtew},      {201, editor::crRonwse},    {204, editor::crRonwse},
                        {202, editor::crRonesw},    {203, editor::crRonesw},    {10, platform::crDefault},
                        {300, platform::crDefault}, {311, platform::crDefault}, {-2, platform::crDefault},
                        {100, platform::crDefault}};
  for (const Case& c : table) EXPECT_EQ(editor::TScBase::HoverCursor(c.code), c.cursor) << c.code;
  // Through real hovers.
  Select({{1, 1}, {3, 3}});
  pane->Hover({136, 264});  // r01 of the frame (bottom-left)
  EXPECT_EQ(pane->control->Cursor(), platform::crSizeNESW);
  pane->Hover({136, 264}, Qt::ControlModifier);
  EXPECT_EQ(pane->control->Cursor(), editor::crBtnesw);
  pane->Hover({136, 136});  // r00
  EXPECT_EQ(pane->control->Cursor(), platform::crSizeNWSE);
  pane->Hover(At(4, 4));  // a point outside the frame's ring
  EXPECT_EQ(pane->control->Cursor(), editor::crArmove);
  pane->Hover({20, 380});
  EXPECT_EQ(pane->control->Cursor(), platform::crDefault);
  pane->Hover({170, 170}, Qt::ShiftModifier | Qt::ControlModifier);
  EXPECT_EQ(pane->control->Cursor(), platform::crSizeAll) << "Shift+Ctrl inside moves";
}

TEST_F(ScBase, ArrowKeysMoveTheSelectionTheWayTheyPoint) {
  struct Case {
    int side;
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    int grid;
    int axis;
    double delta;
  };
  const Case cases[] = {
      {0, Qt::Key_Left, Qt::NoModifier, 0, 0, -1.0 / 128},
      {0, Qt::Key_Right, Qt::ShiftModifier, 0, 0, 4.0 / 128},
      {0, Qt::Key_Up, Qt::NoModifier, 0, 2, 1.0 / 128},
      {0, Qt::Key_Down, Qt::NoModifier, 4, 2, -4.0 / 128},
      {0, Qt::Key_Up, Qt::ShiftModifier, 4, 2, 8.0 / 128},
      {0, Qt::Key_Left, Qt::ControlModifier, 0, 0, -1.0 / 256},
      {3, Qt::Key_Left, Qt::NoModifier, 0, 0, 1.0 / 128},
      {2, Qt::Key_Up, Qt::NoModifier, 0, 1, -1.0 / 128},
      {3, Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier, 0, 0, -4.0 / 256},
  };
  for (const Case& c : cases) {
    settings::AppSettings.Grid = c.grid;
    ed.SelectViewSide(c.side);
    for (int i = 0; i < 5; ++i)
      for (int j = 0; j < 5; ++j) cs->CP[i][j] = {{-0.5 + kStep * i, -0.5 + kStep * j, -0.5 + kStep * j}};
    Select({{2, 2}});
    const shape::TDbl3D before = cs->CP[2][2];
    EXPECT_EQ(pane->Key(c.key, c.mods), 2) << c.side << " " << c.key;
    EXPECT_DOUBLE_EQ(cs->CP[2][2][c.axis], before[c.axis] + c.delta) << c.side << " " << c.key;
  }
  EXPECT_EQ(pane->Key(Qt::Key_A), 0);
}

TEST_F(ScBase, BackgroundPicturesLoadOrLeaveEverythingAsItWas) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("zephor_bg_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string good = (dir / "good.png").string();
  QImage picture(40, 30, QImage::Format_RGB32);
  picture.fill(QColor(10, 200, 30));
  ASSERT_TRUE(picture.save(QString::fromStdString(good)));
  std::string bytes;
  {
    std::ifstream in(good, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  auto write = [&](const std::string& name, const std::string& content) {
    const std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary) << content;
    return path;
  };
  std::string huge = bytes;
  // IHDR width and height at bytes 16..23: 60000 x 60000.
  for (int k : {16, 20}) {
    huge[k] = 0;
    huge[k + 1] = 0;
    huge[k + 2] = static_cast<char>(0xEA);
    huge[k + 3] = 0x60;
  }
  std::string mutated = bytes;
  for (size_t k = 40; k < mutated.size(); k += 7) mutated[k] = static_cast<char>(mutated[k] ^ 0x5A);
  const std::vector<std::string> bad = {
      (dir / "missing.png").string(),
      write("empty.png", ""),
      write("short.png", bytes.substr(0, 8)),
      write("truncated.png", bytes.substr(0, bytes.size() / 2)),
      write("huge.png", huge),
      write("mutated.png", mutated),
      write("text.png", "not a picture at all"),
      dir.string(),
  };
  for (const std::string& file : bad) {
    EXPECT_FALSE(ed.LoadBackground(file)) << file;
    EXPECT_FALSE(ed.ShowBackground) << file;
    EXPECT_FALSE(ed.BackgroundLoaded) << file;
    EXPECT_EQ(ed.BackgroundBitmap.Width(), 0) << file;
  }
  ASSERT_TRUE(ed.LoadBackground(good));
  EXPECT_TRUE(ed.ShowBackground);
  EXPECT_TRUE(ed.BackgroundLoaded);
  EXPECT_EQ(ed.BackgroundBitmap.Width(), 511);
  EXPECT_EQ(ed.BackgroundBitmap.Height(), 511);
  // A later failure keeps the loaded picture and the flags.
  ed.ToggleBackground();
  EXPECT_FALSE(ed.ShowBackground);
  EXPECT_FALSE(ed.LoadBackground(bad[3]));
  EXPECT_FALSE(ed.ShowBackground);
  EXPECT_TRUE(ed.BackgroundLoaded);
  EXPECT_EQ(ed.BackgroundBitmap.Width(), 511);
  ed.ToggleBackground();
  EXPECT_TRUE(ed.ShowBackground);
  fs::remove_all(dir);
}
