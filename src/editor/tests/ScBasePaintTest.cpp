// Painting a shape editor's pane: the choice of pipeline, the order of the steps, and the
// colours, widths and opacities of every common step, frame and point mark, read from the
// recorded drawing calls, with pixel checks of the antialiasing.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "PaneTestUtil.h"
#include "TestEditor.h"
#include "editor/panes/PaneDrawing.h"
#include "shape/model/uScColor.h"

using editor_test::NewShape;
using editor_test::PaintRecorder;
using editor_test::Pane;
using editor_test::SettingsGuard;
using editor_test::TTestEditor;
using platform::TArgb;
using platform::TDrawCall;
using shape::TCS;

namespace {

constexpr TArgb kGdiSurface = 0x18181818;
constexpr TArgb kD2DSurface = 0x14000000;  // black at 20/255
constexpr TArgb kGdiCube = 0x40404040;
constexpr TArgb kD2DCube = 0x80C0C0C0;  // silver at 128/255
constexpr TArgb kGdiGrid = 0x80404040;

class Painting : public ::testing::Test {
 protected:
  void SetUp() override {
    settings::AppSettings.PointerSize = 3;
    settings::AppSettings.Grid = 0;
    settings::AppSettings.ViewLevel = 1;
    cs = NewShape(shape::SCTYPE_PLANE, 5, 5);
    for (int i = 0; i < 5; ++i)
      for (int j = 0; j < 5; ++j) cs->CP[i][j] = {{-0.5 + 0.25 * i, 0, -0.5 + 0.25 * j}};
    shape::CommitShapePoints(*cs);
    pane = std::make_unique<Pane>(ed, *cs);
    ed.SyncFromShape(*cs);
  }
  void SelectAll() {
    shape::FillPointFlags(cs->SP, 5, 5, true);
    shape::CountSelectedPoints(*cs);
    ed.UpdateSelectionBox(*cs, true);
  }
  // The recorded calls of one full (or quick) paint.
  std::vector<TDrawCall> Record(bool quick = false) {
    PaintRecorder rec;
    if (quick) {
      ed.BeforePaint(*pane->control);
      ed.PaintAlt(*cs, *pane->control);
    } else {
      pane->Paint();
    }
    return rec.calls;
  }
  // The calls of the frame step (from its outline on) of a paint with every point selected.
  std::vector<TDrawCall> FrameCalls() {
    SelectAll();
    const std::vector<TDrawCall> calls = Record();
    const int start = Find(calls, [](const TDrawCall& d) { return d.Kind == TDrawCall::OutlinePolygon; });
    if (start < 0) return {};
    return {calls.begin() + start, calls.end()};
  }
  static int CountColor(const std::vector<TDrawCall>& calls, TArgb color) {
    return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const TDrawCall& c) {
      return c.Color == color && c.Kind != TDrawCall::Antialias;
    }));
  }
  static int Find(const std::vector<TDrawCall>& calls, const std::function<bool(const TDrawCall&)>& pred) {
    for (size_t k = 0; k < calls.size(); ++k)
      if (pred(calls[k])) return static_cast<int>(k);
    return -1;
  }

  SettingsGuard guard;
  std::unique_ptr<TCS> cs;
  TTestEditor ed;
  std::unique_ptr<Pane> pane;
};

}  // namespace

TEST_F(Painting, PainterChoiceFollowsTheTable) {
  struct Case {
    bool d2d, simplified, quick;
    bool antialias, surface;
  };
  const Case cases[] = {
      {true, false, false, true, true},   {true, false, true, true, true},    // Direct2D, normal
      {true, true, false, false, true},   {true, true, true, false, false},   // Direct2D, simplified
      {false, false, false, false, true}, {false, false, true, false, true},  // GDI+, normal
      {false, true, false, false, true},  {false, true, true, false, false},  // GDI+, simplified
  };
  for (const Case& c : cases) {
    settings::AppSettings.UseDirect2D = c.d2d;
    settings::AppSettings.SimplifiedDisplay = c.simplified;
    ed.ChoosePainters();
    const std::vector<TDrawCall> calls = Record(c.quick);
    const std::string what = std::string(c.d2d ? "D2D" : "GDI+") + (c.simplified ? " simplified" : "") +
                             (c.quick ? " quick" : " full");
    ASSERT_GE(calls.size(), 2u) << what;
    EXPECT_EQ(calls[0].Kind, TDrawCall::Antialias) << what;
    EXPECT_EQ(calls[0].On, c.antialias) << what;
    EXPECT_EQ(calls[1].Kind, TDrawCall::Clear) << what;
    EXPECT_EQ(calls[1].Color, 0xFFFFFFFFu) << what;
    EXPECT_EQ(CountColor(calls, c.d2d ? kD2DSurface : kGdiSurface) > 0, c.surface) << what;
    EXPECT_EQ(CountColor(calls, c.d2d ? kD2DCube : kGdiCube), 1) << what << ": the pipeline's own colours";
    EXPECT_EQ(CountColor(calls, c.d2d ? kGdiCube : kD2DCube), 0) << what;
  }
}

TEST_F(Painting, StepsComeInTheirOrder) {
  for (bool d2d : {false, true}) {
    settings::AppSettings.UseDirect2D = d2d;
    ed.ChoosePainters();
    ed.BackgroundBitmap.SetSize(8, 8);
    ed.ShowBackground = true;
    SelectAll();
    const std::vector<TDrawCall> calls = Record();
    const int clear = Find(calls, [](const TDrawCall& c) { return c.Kind == TDrawCall::Clear; });
    const int background = Find(calls, [](const TDrawCall& c) { return c.Kind == TDrawCall::Bitmap; });
    const int surface = Find(calls, [](const TDrawCall& c) { return c.Kind == TDrawCall::FillPolygon; });
    const int cube = Find(calls, [&](const TDrawCall& c) { return c.Color == (d2d ? kD2DCube : kGdiCube); });
    const int axes = Find(calls, [&](const TDrawCall& c) {
      return c.Color == editor::ColorToArgb(editor::AxisColors[0].Positive, d2d ? 200 : 128);
    });
    const int shapeStep =
        Find(calls, [](const TDrawCall& c) { return c.Color == 0xFF000000 && c.Kind == TDrawCall::Lines; });
    const int frame = Find(calls, [](const TDrawCall& c) { return c.Kind == TDrawCall::OutlinePolygon; });
    EXPECT_EQ(clear, 1);
    EXPECT_EQ(background, 2) << d2d;
    EXPECT_LT(background, surface);
    EXPECT_LT(surface, cube);
    EXPECT_LT(cube, axes);
    EXPECT_LT(axes, shapeStep);
    EXPECT_LT(shapeStep, frame);
    EXPECT_EQ(calls[static_cast<size_t>(background)].Opacity, 1.0f);
    EXPECT_EQ(calls[static_cast<size_t>(background)].Rect, ed.CubeRectD2D());
  }
}

TEST_F(Painting, CommonStepsUseTheirColoursWidthsAndOpacities) {
  for (bool d2d : {false, true}) {
    settings::AppSettings.UseDirect2D = d2d;
    ed.ChoosePainters();
    const std::vector<TDrawCall> calls = Record();
    // Surface: one fill per cell, overlaps darkening (4 x 4 cells at "View Level" 1).
    EXPECT_EQ(CountColor(calls, d2d ? kD2DSurface : kGdiSurface), 16);
    // Cube: twelve edges of width 1.
    const int cube = Find(calls, [&](const TDrawCall& c) { return c.Color == (d2d ? kD2DCube : kGdiCube); });
    ASSERT_GE(cube, 0);
    EXPECT_EQ(calls[static_cast<size_t>(cube)].Points.size(), 24u);
    EXPECT_EQ(calls[static_cast<size_t>(cube)].Width, 1);
    // Axes: both halves of each axis, in its colours with alpha 128 (GDI+) or opacity 200/255.
    const uint8_t alpha = d2d ? 200 : 128;
    for (int axis = 0; axis < 3; ++axis)
      for (platform::TColor colour : {editor::AxisColors[axis].Positive, editor::AxisColors[axis].Negative}) {
        const int k =
            Find(calls, [&](const TDrawCall& c) { return c.Color == editor::ColorToArgb(colour, alpha); });
        ASSERT_GE(k, 0) << axis;
        EXPECT_EQ(calls[static_cast<size_t>(k)].Kind, TDrawCall::Line);
        EXPECT_EQ(calls[static_cast<size_t>(k)].Width, 1);
      }
  }
  EXPECT_EQ(editor::ColorToArgb(editor::AxisColors[2].Positive, 128), 0x808888FFu) << "z: light blue";
  EXPECT_EQ(editor::ColorToArgb(0x123456, 0xAB), 0xAB563412u);
}

TEST_F(Painting, GridLinesReplaceTheCube) {
  struct Case {
    int grid;
    size_t lines;
  };
  for (const Case& c : {Case{32, 9}, Case{16, 17}, Case{1, 257}, Case{3, 86}}) {
    for (bool d2d : {false, true}) {
      settings::AppSettings.UseDirect2D = d2d;
      settings::AppSettings.Grid = c.grid;
      ed.SyncFromShape(*cs);
      ed.ChoosePainters();
      const std::vector<TDrawCall> calls = Record();
      const TArgb colour = d2d ? kD2DCube : kGdiGrid;
      const int k = Find(calls, [&](const TDrawCall& d) { return d.Color == colour; });
      ASSERT_GE(k, 0) << c.grid;
      EXPECT_EQ(calls[static_cast<size_t>(k)].Points.size(), 4 * c.lines) << c.grid << " lines each way";
      EXPECT_EQ(CountColor(calls, d2d ? kD2DCube : kGdiCube), d2d ? 1 : 0) << "no cube besides";
    }
  }
}

TEST_F(Painting, FramesNeedTwoSelectedPoints) {
  for (int mode : {editor::EDIT_NORMAL, editor::EDIT_WORP}) {
    ed.SetEditMode(mode);
    for (bool d2d : {false, true}) {
      settings::AppSettings.UseDirect2D = d2d;
      ed.ChoosePainters();
      shape::FillPointFlags(cs->SP, 5, 5, false);
      cs->SP[2][2] = true;
      shape::CountSelectedPoints(*cs);
      std::vector<TDrawCall> calls = Record();
      EXPECT_EQ(Find(calls, [](const TDrawCall& c) { return c.Width == 3 || c.Width == 2; }), -1)
          << "no frame for one selected point";
      SelectAll();
      calls = Record();
      EXPECT_NE(Find(calls, [](const TDrawCall& c) { return c.Width == 3; }), -1);
    }
  }
  ed.SetEditMode(editor::EDIT_NORMAL);
}

TEST_F(Painting, SelectionFrameColours) {
  struct Case {
    bool d2d;
    TArgb outline, handleOutline, handleFill;
  };
  for (const Case& c :
       {Case{false, 0x80808080, 0x80000000, 0xEEFFFFFF}, Case{true, 0x80000000, 0xFF000000, 0xFFFFFFFF}}) {
    settings::AppSettings.UseDirect2D = c.d2d;
    ed.ChoosePainters();
    const std::vector<TDrawCall> frame = FrameCalls();
    ASSERT_FALSE(frame.empty());
    ASSERT_EQ(frame.size(), 1u + 1 + 8 * 2);
    EXPECT_EQ(frame[0].Color, c.outline);
    EXPECT_EQ(frame[0].Width, 3);
    EXPECT_EQ(frame[0].Points.size(), 4u);
    // The pivot: an outline only, half-size P, at the frame's centre.
    EXPECT_EQ(frame[1].Kind, TDrawCall::OutlineRect);
    EXPECT_EQ(frame[1].Color, c.handleOutline);
    EXPECT_EQ(frame[1].Rect.Width(), 6);
    EXPECT_FLOAT_EQ((frame[1].Rect.Left + frame[1].Rect.Right) / 2, 200.5f);
    // Edge midpoints, then corners: fill and outline each.
    for (size_t k = 2; k < frame.size(); k += 2) {
      EXPECT_EQ(frame[k].Kind, TDrawCall::FillRect);
      EXPECT_EQ(frame[k].Color, c.handleFill);
      EXPECT_EQ(frame[k + 1].Kind, TDrawCall::OutlineRect);
      EXPECT_EQ(frame[k + 1].Color, c.handleOutline);
      EXPECT_EQ(frame[k + 1].Width, 1);
    }
    EXPECT_FLOAT_EQ(frame[2].Rect.Left + 3, 72.5f) << "first the midpoint of r00 and r01";
    EXPECT_FLOAT_EQ(frame[2].Rect.Top + 3, 200.5f);
    EXPECT_FLOAT_EQ(frame[10].Rect.Left + 3, 72.5f) << "then the corners from r00";
    EXPECT_FLOAT_EQ(frame[10].Rect.Top + 3, 72.5f);
  }
}

TEST_F(Painting, WarpFrameColours) {
  struct Case {
    bool d2d;
    TArgb committed, arm, handle;
  };
  ed.SetEditMode(editor::EDIT_WORP);
  for (const Case& c :
       {Case{false, 0x20808080, 0x80202020, 0x80404040}, Case{true, 0x20808080, 0x80202020, 0x80404040}}) {
    settings::AppSettings.UseDirect2D = c.d2d;
    ed.ChoosePainters();
    const std::vector<TDrawCall> frame = FrameCalls();
    ASSERT_FALSE(frame.empty());
    ASSERT_EQ(frame.size(), 1u + 4 * 5);
    EXPECT_EQ(frame[0].Color, c.committed);
    EXPECT_EQ(frame[0].Width, 3);
    for (size_t k = 1; k < frame.size(); k += 5) {
      EXPECT_EQ(frame[k].Kind, TDrawCall::Line);
      EXPECT_EQ(frame[k].Color, c.arm);
      EXPECT_EQ(frame[k].Width, 2);
      EXPECT_EQ(frame[k + 2].Kind, TDrawCall::FillRect);
      EXPECT_EQ(frame[k + 2].Rect.Width(), 12) << "half-size 2P";
      EXPECT_EQ(frame[k + 3].Kind, TDrawCall::FillEllipse);
      EXPECT_EQ(frame[k + 4].Kind, TDrawCall::FillEllipse);
      EXPECT_EQ(frame[k + 4].Color, c.handle);
    }
    // The second corner is r01 with b3 and b6.
    EXPECT_EQ(frame[6].Points[0], ed.ToScreenF(cs->R1.r01));
    EXPECT_EQ(frame[6].Points[1], ed.ToScreenF(cs->R1.b3));
    EXPECT_EQ(frame[7].Points[1], ed.ToScreenF(cs->R1.b6));
  }
  ed.SetEditMode(editor::EDIT_NORMAL);
}

TEST_F(Painting, AnEmptyBackgroundIsNotDrawn) {
  ed.ShowBackground = true;
  ASSERT_EQ(ed.BackgroundBitmap.Width(), 0);
  for (bool d2d : {false, true}) {
    settings::AppSettings.UseDirect2D = d2d;
    ed.ChoosePainters();
    const std::vector<TDrawCall> calls = Record();
    EXPECT_EQ(Find(calls, [](const TDrawCall& c) { return c.Kind == TDrawCall::Bitmap; }), -1);
  }
}

TEST_F(Painting, PointMarksFillByLockAndSelection) {
  struct Case {
    bool locked, selected;
    int group;
    bool square;
    std::vector<TDrawCall::TKind> kinds;
    TArgb fill;
  };
  const TArgb red = 0xFFFF0000;
  const Case cases[] = {
      {true, true, -1, true, {TDrawCall::FillRect, TDrawCall::OutlineRect}, 0xFFFFFF00},
      {true, false, -1, true, {TDrawCall::FillRect, TDrawCall::OutlineRect}, 0xFF00FFFF},
      {false, true, -1, false, {TDrawCall::FillEllipse, TDrawCall::OutlineEllipse}, red},
      {false, false, -1, false, {TDrawCall::OutlineEllipse}, 0},
      {false, false, 3, true, {TDrawCall::OutlineRect, TDrawCall::OutlineRect}, 0},
      {true,
       false,
       0,
       false,
       {TDrawCall::OutlineEllipse, TDrawCall::FillEllipse, TDrawCall::OutlineEllipse},
       0xFF00FFFF},
  };
  for (const Case& c : cases) {
    for (bool d2d : {false, true}) {
      platform::TRecordingDrawing g;
      const platform::TPointF centre{100.5f, 50.5f};
      if (d2d)
        ed.DrawPointMarkD2D(g, platform::clRed, c.locked, c.selected, c.group, centre, c.square);
      else
        ed.DrawPointMarkGdiPlus(g, platform::clRed, c.locked, c.selected, c.group, centre, c.square);
      ASSERT_EQ(g.Calls.size(), c.kinds.size());
      for (size_t k = 0; k < c.kinds.size(); ++k) EXPECT_EQ(g.Calls[k].Kind, c.kinds[k]) << k;
      const TDrawCall& outline = g.Calls.back();
      EXPECT_EQ(outline.Color, red) << "the outline is the point's colour";
      EXPECT_EQ(outline.Rect, (platform::TRectF{97.5f, 47.5f, 103.5f, 53.5f})) << "half-size P";
      if (c.fill != 0) {
        EXPECT_EQ(g.Calls[g.Calls.size() - 2].Color, c.fill);
      }
      if (c.group != -1) {
        EXPECT_EQ(g.Calls[0].Color,
                  editor::ColorToArgb(static_cast<platform::TColor>(shape::GroupColor(c.group)), 255));
        EXPECT_EQ(g.Calls[0].Rect.Width(), 8) << "half-size P + 1";
      }
    }
  }
}

TEST_F(Painting, AntialiasingShowsInThePixelsAsTheTableSays) {
  // A diagonal line away from the axes: the test editor draws it in blue.
  cs = NewShape(shape::SCTYPE_PLANE, 2, 2);
  cs->CP[0][0] = cs->CP[0][1] = {{-0.7, 0, 0.2}};
  cs->CP[1][0] = cs->CP[1][1] = {{-0.1, 0, 0.6}};
  pane = std::make_unique<Pane>(ed, *cs);
  struct Case {
    bool d2d, simplified;
    bool antialias;
  };
  for (const Case& c : {Case{true, false, true}, Case{true, true, false}, Case{false, false, false},
                        Case{false, true, false}}) {
    settings::AppSettings.UseDirect2D = c.d2d;
    settings::AppSettings.SimplifiedDisplay = c.simplified;
    ed.ChoosePainters();
    pane->Paint();
    // Pixels of the window round the line's middle that are neither the ground nor the line.
    std::set<platform::TColor> colours;
    for (int y = 60; y < 100; ++y)
      for (int x = 60; x < 110; ++x) colours.insert(pane->Pixel(x, y));
    colours.erase(platform::clWhite);
    colours.erase(platform::clBlue);
    EXPECT_EQ(!colours.empty(), c.antialias) << c.d2d << " " << c.simplified << " " << colours.size();
  }
}

TEST_F(Painting, EverySizeOfGridPaintsItsOwnCellsOnly) {
  for (int n : {2, 3, 4, 6, 100}) {
    for (int level : {1, 2, 4}) {
      settings::AppSettings.ViewLevel = level;
      cs = NewShape(shape::SCTYPE_TORUS, n, n);
      pane = std::make_unique<Pane>(ed, *cs, 200, 150);
      settings::AppSettings.UseDirect2D = false;
      ed.ChoosePainters();
      const std::vector<TDrawCall> calls = Record();
      const int cells = (n - 1) / level;
      EXPECT_EQ(CountColor(calls, kGdiSurface), cells * cells) << n << " " << level;
    }
  }
}
