// The shared slots of the shape editors over their editable points (ScEditable.h).
#include "editor/editors/ScEditable.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "common/Round.h"
#include "editor/editors/ShapeEditorGrid.h"
#include "settings/AppSettings.h"
#include "shape/model/uEqualSpacing.h"
#include "shape/model/uScSelect.h"
#include "shape/model/uScTransform.h"
#include "shape/model/uTwistPresets.h"

namespace editor {

// ---------------------------------------------------------------------------------------
// TScEditable

bool TScEditable::IsNear(const TCS& Shape, int32_t I, int32_t J, int32_t X, int32_t Y) const {
  const platform::TPoint q = PointToScreen(Shape.CP[I][J]);
  const int32_t p = settings::AppSettings.PointerSize;
  return std::abs(q.X - X) <= p && std::abs(q.Y - Y) <= p;
}

bool TScEditable::IsInside(const TCS& Shape, int32_t I, int32_t J, int32_t Left, int32_t Top, int32_t Right,
                           int32_t Bottom) const {
  const platform::TPoint q = PointToScreen(Shape.CP[I][J]);
  return q.X >= Left && q.X <= Right && q.Y >= Top && q.Y <= Bottom;
}

bool TScEditable::HitPoint(const TCS& Shape, int32_t X, int32_t Y) {
  bool hit = false;
  ForEachEditable(Shape, [&](int32_t i, int32_t j) {
    hit = IsNear(Shape, i, j, X, Y);
    return !hit;
  });
  return hit;
}

bool TScEditable::ClickSelect(TCS& Shape, int32_t X, int32_t Y, bool ShiftHeld, uint8_t& Value) {
  int32_t hi = -1, hj = -1;
  ForEachEditable(Shape, [&](int32_t i, int32_t j) {
    if (!IsNear(Shape, i, j, X, Y)) return true;
    hi = i;
    hj = j;
    return false;
  });
  if (hi < 0) return false;
  if (ShiftHeld) {
    Value = Shape.SP[hi][hj] ? 0 : 1;
  } else {
    shape::FillPointFlags(Shape.SP, Shape.CPMaxI, Shape.CPMaxJ, false);
    Value = 1;
  }
  Shape.SP[hi][hj] = Value != 0;
  return true;
}

uint8_t TScEditable::RubberBandValue(const TCS& Shape, int32_t Left, int32_t Top, int32_t Right,
                                     int32_t Bottom) {
  uint8_t value = 0;
  ForEachEditable(Shape, [&](int32_t i, int32_t j) {
    if (IsInside(Shape, i, j, Left, Top, Right, Bottom) && !Shape.SP[i][j]) value = 1;
    return value == 0;
  });
  return value;
}

void TScEditable::RubberBandSelect(TCS& Shape, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom,
                                   uint8_t Value) {
  ForEachEditable(Shape, [&](int32_t i, int32_t j) {
    if (IsInside(Shape, i, j, Left, Top, Right, Bottom)) Shape.SP[i][j] = Value != 0;
    return true;
  });
}

void TScEditable::MapEditable(TCS& Shape, const std::function<TDbl2D(const TDbl2D&)>& Map) {
  ForEachEditable(Shape, [&](int32_t i, int32_t j) {
    if (Shape.SP[i][j] && !Shape.RP[i][j]) {
      TDbl2D pane;
      ProjectPoint(Shape.DP[i][j], pane);
      UnprojectPoint(Map(pane), Shape.DP[i][j], Shape.CP[i][j]);
    }
    return true;
  });
}

void TScEditable::TransformSelection(TCS& Shape, const TDbl2D& PressPane, const TDbl2D& CurrentPane,
                                     const TFrameBuild& Build, TFrameMap Map, bool ShiftHeld,
                                     shape::TFrameDrag& Transform) {
  Build(Shape, PressPane, CurrentPane, Transform, ShiftHeld);
  MapEditable(Shape, [&](const TDbl2D& p) { return Map(Transform, p); });
}

void TScEditable::WarpSelection(TCS& Shape, TWarpMap WarpMap) {
  MapEditable(Shape, [&](const TDbl2D& p) { return WarpMap(Shape.R0, Shape.R1, p); });
}

bool TScEditable::Magnet(TCS& Shape) {
  const TDbl2D pivot = Shape.R0.rp;
  MapEditable(Shape, [&](const TDbl2D&) { return pivot; });
  ApplyShape(Shape, true);
  return true;
}

void TScEditable::SnapToGrid(TCS& Shape) {
  const int32_t grid = settings::AppSettings.Grid;
  if (grid <= 0) return;
  const double g = grid / 128.0;
  ForEachEditable(Shape, [&](int32_t i, int32_t j) {
    if (Shape.SP[i][j] && !Shape.RP[i][j])
      for (int k = 0; k < 3; ++k) {
        double& c = Shape.CP[i][j][k];
        if (std::isfinite(c)) c = g * static_cast<double>(common::Round(c / g));
      }
    return true;
  });
}

void TScEditable::DrawMark(platform::TDrawing& Drawing, bool D2D, const TCS& Shape, int32_t I, int32_t J,
                           platform::TColor Colour, bool Square) {
  const platform::TPointF at = PointToScreenF(Shape.CP[I][J]);
  if (D2D)
    DrawPointMarkD2D(Drawing, Colour, Shape.RP[I][J], Shape.SP[I][J], Shape.GP[I][J], at, Square);
  else
    DrawPointMarkGdiPlus(Drawing, Colour, Shape.RP[I][J], Shape.SP[I][J], Shape.GP[I][J], at, Square);
}

void TScEditable::WritePanePartners(TCS& Shape, int32_t I, int32_t J, bool BendTwin) {
  TSymmetryPartner partners[3];
  const int32_t count = SymmetryPartners(SymmetryMode, I, Shape.CPMaxI, BendTwin, partners);
  TDbl2D pane;
  ProjectPoint(Shape.CP[I][J], pane);
  for (int32_t k = 0; k < count; ++k) {
    const TSymmetryPartner& p = partners[k];
    if (Shape.SP[p.Column][J] || Shape.RP[p.Column][J]) continue;
    const TDbl2D moved{{p.Uu * pane[0] + p.Uv * pane[1], p.Vu * pane[0] + p.Vv * pane[1]}};
    UnprojectPoint(moved, Shape.DP[p.Column][J], Shape.CP[p.Column][J]);
  }
}

void TScEditable::RestoreExcept(TCS& Shape, const std::function<bool(int32_t I, int32_t J)>& keep) {
  for (int32_t i = 0; i < Shape.CPMaxI; ++i)
    for (int32_t j = 0; j < Shape.CPMaxJ; ++j)
      if (!keep(i, j)) Shape.CP[i][j] = Shape.DP[i][j];
}

bool TScEditable::SmoothKeeping(TCS& Shape, int32_t Kind,
                                const std::function<bool(int32_t I, int32_t J)>& keep) {
  shape::CommitShapePoints(Shape);
  shape::SmoothGrid(Shape, Kind);
  RestoreExcept(Shape, keep);
  ApplyShape(Shape, true);
  return true;
}

// ---------------------------------------------------------------------------------------
// TScLineEditor

TScLineEditor::TScLineEditor() { shape::FillLineMarks(SideMarks, 0); }

void TScLineEditor::ToggleCurrentLine() { shape::ToggleLineMark(SideMarks[CurrentLine]); }

bool TScLineEditor::IsCurrentLineMarked() { return SideMarks[CurrentLine] == 1; }

bool TScLineEditor::MarkAllSides(bool Value) {
  shape::FillLineMarks(SideMarks, Value ? 1 : 0);
  return true;
}

bool TScLineEditor::MarkSidesEveryN(int32_t N) {
  if (N < 1) return false;
  shape::MarkLineRuns(SideMarks, N);
  return true;
}

bool TScLineEditor::ReverseSides() {
  shape::InvertLineMarks(SideMarks);
  return true;
}

bool TScLineEditor::CanCustomSides() { return true; }

int32_t TScEditable::SelectedInRow(const TCS& Shape, int32_t Row) const {
  // A plane's row is open: its last column is a point of its own.
  const int32_t columns = OpenRows(Shape) ? Shape.CPMaxI : Shape.CPMaxI - 1;
  int32_t n = 0;
  for (int32_t i = 0; i < columns; ++i)
    if (Shape.SP[i][Row]) ++n;
  return n;
}

bool TScEditable::OpenRows(const TCS& Shape) { return Shape.ScType == shape::SCTYPE_PLANE; }

bool TScEditable::OpenRowRun(const TCS& Shape, int32_t Row, int32_t& Start, int32_t& End) const {
  Start = -1;
  End = -1;
  int32_t count = 0;
  for (int32_t i = 0; i < Shape.CPMaxI; ++i) {
    if (!Shape.SP[i][Row]) continue;
    if (Start < 0) Start = i;
    End = i;
    ++count;
  }
  return count > 2 && count == End - Start + 1;
}

namespace {

bool WholeRowSelected(const TCS& Shape, int32_t Row) {
  for (int32_t i = 0; i < Shape.CPMaxI; ++i)
    if (!Shape.SP[i][Row]) return false;
  return true;
}

}  // namespace

bool TScEditable::CanSpaceRow(const TCS& Shape, int32_t Row) const {
  int32_t start = 0, end = 0;
  if (OpenRows(Shape)) return OpenRowRun(Shape, Row, start, end);
  if (WholeRowSelected(Shape, Row)) return true;
  return SelectedInRow(Shape, Row) > 2 && shape::SingleRunInRow(Shape, Row, start, end);
}

void TScEditable::MakeRingCircular(TCS& Shape, int32_t Row) {
  const int32_t n = Shape.CPMaxI - 1;
  std::vector<TDbl2D> pane(static_cast<size_t>(n) + 1);
  for (int32_t i = 0; i < n; ++i) ProjectPoint(Shape.CP[i][Row], pane[i]);
  pane[n] = pane[0];
  shape::MakeCircularPolygon(n + 1, pane.data());
  for (int32_t i = 0; i < n; ++i)
    if (!Shape.RP[i][Row]) UnprojectPoint(pane[i], Shape.DP[i][Row], Shape.CP[i][Row]);
}

bool TScEditable::SpaceRowIntervals(TCS& Shape, int32_t Row) {
  if (Shape.CPMaxI < 2) return false;
  int32_t start = 0, end = 0;
  // An open row is never closed into a ring: its run is spaced between its own ends.
  const bool open = OpenRows(Shape);
  if (open) {
    if (!OpenRowRun(Shape, Row, start, end)) return false;
  } else if (WholeRowSelected(Shape, Row)) {
    MakeRingCircular(Shape, Row);
    return true;
  } else if (SelectedInRow(Shape, Row) <= 2 || !shape::SingleRunInRow(Shape, Row, start, end)) {
    return false;
  }
  const int32_t n = open ? Shape.CPMaxI : Shape.CPMaxI - 1;
  const int32_t count = open ? end - start : shape::CyclicSteps(start, end, Shape.CPMaxI);
  TDbl2D a, b;
  ProjectPoint(Shape.CP[start][Row], a);
  ProjectPoint(Shape.CP[end][Row], b);
  for (int32_t g = 1; g < count; ++g) {
    const int32_t i = (start + g) % n;
    if (Shape.RP[i][Row]) continue;
    const TDbl2D p{{LerpSteps(a[0], b[0], g, count), LerpSteps(a[1], b[1], g, count)}};
    UnprojectPoint(p, Shape.DP[i][Row], Shape.CP[i][Row]);
    ConstrainPoint(Shape, i, Row);
  }
  return true;
}

bool TScEditable::SpaceRowDistance(TCS& Shape, int32_t Row) {
  const int32_t n = Shape.CPMaxI - 1;
  if (n < 1) return false;
  shape::TPolyline3D line;
  auto add = [&](int32_t i) {
    TDbl2D p;
    ProjectPoint(Shape.CP[i][Row], p);
    line.P[line.Count++] = {{p[0], p[1], 0}};
  };
  auto take = [&](int32_t i, int32_t k) {
    UnprojectPoint({{line.P[k][0], line.P[k][1]}}, Shape.DP[i][Row], Shape.CP[i][Row]);
  };
  line.Count = 0;
  int32_t start = 0, end = 0;
  const bool open = OpenRows(Shape);
  if (open) {
    if (!OpenRowRun(Shape, Row, start, end)) return false;
  } else if (WholeRowSelected(Shape, Row)) {
    for (int32_t i = 0; i <= n; ++i) add(i);
    shape::EqualizePolyline(line);
    for (int32_t i = 1; i < n; ++i)
      if (Shape.SP[i][Row] && !Shape.RP[i][Row]) take(i, i);
    return true;
  } else if (SelectedInRow(Shape, Row) < 3 || !shape::SingleRunInRow(Shape, Row, start, end)) {
    return false;
  }
  const int32_t m = open ? Shape.CPMaxI : n;
  const int32_t count = open ? end - start : shape::CyclicSteps(start, end, Shape.CPMaxI);
  for (int32_t g = 0; g <= count; ++g) add((start + g) % m);
  shape::EqualizePolyline(line);
  for (int32_t g = 1; g < count; ++g) {
    const int32_t i = (start + g) % m;
    if (!Shape.RP[i][Row]) take(i, g);
  }
  return true;
}

void TScEditable::SpaceColumnIntervals(TCS& Shape, int32_t Column) {
  int32_t count = 0, first = 0, last = 0;
  shape::SelectedSpanInColumn(Shape, Column, count, first, last);
  if (count < 3) return;
  TDbl2D a, b;
  ProjectPoint(Shape.CP[Column][first], a);
  ProjectPoint(Shape.CP[Column][last], b);
  const int32_t c = count - 1;
  int32_t k = 0;
  for (int32_t j = first; j <= last; ++j) {
    if (!Shape.SP[Column][j]) continue;
    if (j != first && j != last && !Shape.RP[Column][j])
      UnprojectPoint({{LerpSteps(a[0], b[0], k, c), LerpSteps(a[1], b[1], k, c)}}, Shape.DP[Column][j],
                     Shape.CP[Column][j]);
    ++k;
  }
}

void TScEditable::SpaceColumnDistance(TCS& Shape, int32_t Column) {
  shape::TPolyline3D line;
  line.Count = 0;
  int32_t rows[shape::kGridMax];
  for (int32_t j = 0; j < Shape.CPMaxJ; ++j) {
    if (!Shape.SP[Column][j]) continue;
    TDbl2D pane;
    ProjectPoint(Shape.CP[Column][j], pane);
    rows[line.Count] = j;
    line.P[line.Count++] = {{pane[0], pane[1], 0}};
  }
  if (line.Count < 3) return;
  shape::EqualizePolyline(line);
  for (int32_t k = 0; k < line.Count; ++k)
    if (!Shape.RP[Column][rows[k]])
      UnprojectPoint({{line.P[k][0], line.P[k][1]}}, Shape.DP[Column][rows[k]], Shape.CP[Column][rows[k]]);
}

}  // namespace editor
