#pragma once
// A small shape editor for the tests and benchmarks of TScBase: every point of the grid is
// editable and shown where the view side projects it, a click picks the nearest point within
// the pointer size, and the pane shows the whole grid (its row and column lines, then a mark on
// every point). Generate leaves the grid as it is and counts its calls.
#include <cmath>
#include <cstdlib>
#include <vector>

#include "editor/panes/ScBase.h"
#include "settings/AppSettings.h"
#include "shape/model/uScSelect.h"

namespace editor_test {

class TTestEditor : public editor::TScBase {
 public:
  int generated = 0;

  void Generate(shape::TCS&) override { ++generated; }

  // The point under (X, Y) within the pointer size (Chebyshev distance), the nearest first.
  bool PointAt(const shape::TCS& s, int32_t X, int32_t Y, int& pi, int& pj) const {
    const int p = settings::AppSettings.PointerSize;
    int best = p + 1;
    for (int i = 0; i < s.CPMaxI; ++i)
      for (int j = 0; j < s.CPMaxJ; ++j) {
        const platform::TPoint q = PointToScreen(s.CP[i][j]);
        const int d = std::max(std::abs(q.X - X), std::abs(q.Y - Y));
        if (d < best) {
          best = d;
          pi = i;
          pj = j;
        }
      }
    return best <= p;
  }
  bool HitPoint(const shape::TCS& s, int32_t X, int32_t Y) override {
    int i = 0, j = 0;
    return PointAt(s, X, Y, i, j);
  }
  // Shift toggles the point; without Shift a point not yet selected becomes the selection.
  bool ClickSelect(shape::TCS& s, int32_t X, int32_t Y, bool ShiftHeld, uint8_t& Value) override {
    int i = 0, j = 0;
    if (!PointAt(s, X, Y, i, j)) return false;
    if (ShiftHeld) {
      s.SP[i][j] = !s.SP[i][j];
    } else if (!s.SP[i][j]) {
      shape::FillPointFlags(s.SP, s.CPMaxI, s.CPMaxJ, false);
      s.SP[i][j] = true;
    }
    Value = s.SP[i][j] ? 1 : 0;
    return true;
  }
  bool Inside(const shape::TCS& s, int i, int j, int32_t l, int32_t t, int32_t r, int32_t b) const {
    const platform::TPoint q = PointToScreen(s.CP[i][j]);
    return q.X >= l && q.X <= r && q.Y >= t && q.Y <= b;
  }
  uint8_t RubberBandValue(const shape::TCS& s, int32_t l, int32_t t, int32_t r, int32_t b) override {
    for (int i = 0; i < s.CPMaxI; ++i)
      for (int j = 0; j < s.CPMaxJ; ++j)
        if (Inside(s, i, j, l, t, r, b) && !s.SP[i][j]) return 1;
    return 0;
  }
  void RubberBandSelect(shape::TCS& s, int32_t l, int32_t t, int32_t r, int32_t b, uint8_t v) override {
    for (int i = 0; i < s.CPMaxI; ++i)
      for (int j = 0; j < s.CPMaxJ; ++j)
        if (Inside(s, i, j, l, t, r, b)) s.SP[i][j] = v != 0;
  }
  void TransformSelection(shape::TCS& s, const editor::TDbl2D& press, const editor::TDbl2D& current,
                          const editor::TFrameBuild& build, editor::TFrameMap map, bool shift,
                          shape::TFrameDrag& t) override {
    build(s, press, current, t, shift);
    MapSelectedPoints(s, [&](const editor::TDbl2D& p) { return map(t, p); });
  }
  void WarpSelection(shape::TCS& s, editor::TWarpMap warp) override {
    MapSelectedPoints(s, [&](const editor::TDbl2D& p) { return warp(s.R0, s.R1, p); });
  }
  void SyncFromShape(shape::TCS& s) override {
    TScBase::SyncFromShape(s);
    AxisScaleH = settings::AxisRatios[HAxis];
    AxisScaleV = settings::AxisRatios[VAxis];
  }

  // The grid's lines (one batch per direction), then the mark of every point.
  void DrawGrid(shape::TCS& s, platform::TDrawing& g, bool d2d) {
    std::vector<platform::TPointF> ends;
    ends.reserve(static_cast<size_t>(4 * s.CPMaxI * s.CPMaxJ));
    for (int i = 0; i < s.CPMaxI; ++i)
      for (int j = 0; j + 1 < s.CPMaxJ; ++j) {
        ends.push_back(PointToScreenF(s.CP[i][j]));
        ends.push_back(PointToScreenF(s.CP[i][j + 1]));
      }
    g.Lines(ends, 0xFF000000, 1);
    ends.clear();
    for (int j = 0; j < s.CPMaxJ; ++j)
      for (int i = 0; i + 1 < s.CPMaxI; ++i) {
        ends.push_back(PointToScreenF(s.CP[i][j]));
        ends.push_back(PointToScreenF(s.CP[i + 1][j]));
      }
    g.Lines(ends, 0xFF0000FF, 1);
    for (int i = 0; i < s.CPMaxI; ++i)
      for (int j = 0; j < s.CPMaxJ; ++j) {
        if (d2d)
          DrawPointMarkD2D(g, 0x0000FF, s.RP[i][j], s.SP[i][j], s.GP[i][j], PointToScreenF(s.CP[i][j]), true);
        else
          DrawPointMarkGdiPlus(g, 0x0000FF, s.RP[i][j], s.SP[i][j], s.GP[i][j], PointToScreenF(s.CP[i][j]),
                               true);
      }
  }
  void DrawShapeGdiPlus(shape::TCS& s, platform::TDrawing& g) override { DrawGrid(s, g, false); }
  void DrawShapeD2D(shape::TCS& s, platform::TDrawing& g) override { DrawGrid(s, g, true); }

  // Public for the tests.
  using TScBase::MapSelectedPoints;
};

}  // namespace editor_test
