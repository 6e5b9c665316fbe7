// TScTOKOROTEN, the extrusion editor (uScTOKOROTEN.h).
#include "editor/editors/uScTOKOROTEN.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "editor/editors/ShapeEditorGrid.h"
#include "editor/panes/PaneDrawing.h"
#include "settings/AppSettings.h"
#include "shape/TextureBitmaps.h"
#include "shape/model/uEqualSpacing.h"
#include "shape/model/uRelocate.h"
#include "shape/model/uScPrim.h"
#include "shape/model/uScSelect.h"
#include "shape/model/uTwistPresets.h"

namespace editor {

using platform::TPointF;
using shape::TCS;

namespace {

int32_t EditStep() { return std::max(1, settings::AppSettings.EditLevel); }

}  // namespace

// ---------------------------------------------------------------------------------------
// Rows and projection

int32_t TScTOKOROTEN::FirstRow(const TCS& Shape) const {
  return std::clamp(CurrentLine, 0, Shape.CPMaxJ - 1);
}

int32_t TScTOKOROTEN::LastRow(const TCS& Shape) const {
  return std::clamp(LastLine, FirstRow(Shape), Shape.CPMaxJ - 1);
}

int32_t TScTOKOROTEN::TopLine(const TCS& Shape) const {
  return std::max(0, Shape.ScType == shape::SCTYPE_TORUS ? Shape.CPMaxJ - 2 : Shape.CPMaxJ - 1);
}

void TScTOKOROTEN::ForEachEditable(const TCS& Shape, const TPointVisit& Visit) const {
  for (int32_t j = FirstRow(Shape); j <= LastRow(Shape); ++j)
    for (int32_t i = 0; i < Shape.CPMaxI; ++i)
      if (!Visit(i, j)) return;
}

void TScTOKOROTEN::ProjectPoint(const TDbl3D& Point, TDbl2D& Pane) const {
  Pane[0] = Point[1];
  Pane[1] = Point[0];
}

void TScTOKOROTEN::UnprojectPoint(const TDbl2D& Pane, const TDbl3D& Source, TDbl3D& Point) const {
  Point = {{Pane[1], Pane[0], Source[2]}};
}

void TScTOKOROTEN::SyncFromShape(TCS& Shape) {
  TScBase::SyncFromShape(Shape);
  AxisScaleH = settings::AxisRatios[1];
  AxisScaleV = settings::AxisRatios[0];
  CapMode = Shape.ScType == shape::SCTYPE_SPHERE && CurrentLine == UpperRimRowOf(Shape);
  LastLine = CapMode ? Shape.CPMaxJ - 1 : CurrentLine;
}

void TScTOKOROTEN::ResetForShape() {
  TScBase::ResetForShape();
  CurrentLine = shape::UpperRimRow;
  shape::FillLineMarks(SideMarks, 1);
}

TDbl3D TScTOKOROTEN::ExtrusionCentre(const TCS& Shape) {
  const int32_t columns = Shape.ScType == shape::SCTYPE_PLANE ? Shape.CPMaxI : std::max(1, Shape.CPMaxI - 1);
  double x = 0, y = 0;
  for (int32_t i = 0; i < columns; ++i) {
    x += Shape.DP[i][0][0];
    y += Shape.DP[i][0][1];
  }
  return {{x / columns, y / columns, 0}};
}

// ---------------------------------------------------------------------------------------
// Generate

void TScTOKOROTEN::RespaceCap(TCS& Shape, int32_t n, int32_t type) {
  const int32_t top = Shape.CPMaxJ - 1, caps = CapRowsOf(Shape), rim = UpperRimRowOf(Shape);
  if (type == 3) {
    shape::CopyToScratchGrid(Shape);
    for (int32_t c = 0; c <= (Shape.CPMaxI - 1) / n; ++c)
      for (int32_t k = 0; k <= caps / n; ++k) {
        const int32_t d = (top - k * n) / n;
        if (!Shape.SP[c * n][d * n]) continue;
        shape::TDbl3DBlock3 block;
        for (int32_t a = -1; a <= 1; ++a)
          for (int32_t b = -1; b <= 1; ++b)
            shape::ScratchPointWrapped(Shape, n * (c + a), n * (d + b), block[a + 1][b + 1]);
        shape::TSubdivBlock work;
        if (n == 2)
          shape::SubdivideBlock2(block, work);
        else
          shape::SubdivideBlock4(block, work);
        for (int32_t f = 1 - n; f <= n - 1; ++f)
          for (int32_t h = 1 - n; h <= n - 1; ++h) {
            int32_t column = c * n + f, row = d * n + h;
            shape::WrapGridIndex(Shape, column, row);
            if (column < 0 || row < 0 || row < rim || Shape.RP[column][row]) continue;
            Shape.CP[column][row][0] = work[f + 3][h + 3][0];
            Shape.CP[column][row][1] = work[f + 3][h + 3][1];
          }
      }
    return;
  }
  for (int32_t k = 0; k <= caps / n; ++k) {
    if (type == 1)
      shape::RelocateRowLinear(Shape, top - k * n);
    else
      shape::RelocateRowByParent(Shape, top - k * n);
  }
  for (int32_t k = 0; k < caps / n; ++k) {
    const int32_t g = Shape.CPMaxJ - (k + 1) * n - 1, l = Shape.CPMaxJ - k * n - 1;
    if (g < 0) break;
    for (int32_t i = 0; i + 1 < Shape.CPMaxI; ++i) {
      if (!shape::PointMovedSinceCommit(Shape, i, g) && !shape::PointMovedSinceCommit(Shape, i, l)) continue;
      for (int32_t m = 1; m < n; ++m) {
        if (Shape.RP[i][g + m]) continue;
        for (int c = 0; c < 3; ++c)
          Shape.CP[i][g + m][c] =
              type == 2 ? Shape.CP[i][g][c] : LerpSteps(Shape.CP[i][g][c], Shape.CP[i][l][c], m, n);
      }
    }
  }
}

void TScTOKOROTEN::GenerateCap(TCS& Shape) {
  const int32_t n = EditStep(), type = settings::AppSettings.RearrangeType;
  if (n > 1 && type >= 1 && type <= 3) RespaceCap(Shape, n, type);
  const int32_t top = Shape.CPMaxJ - 1, caps = CapRowsOf(Shape), rim = UpperRimRowOf(Shape);
  const int32_t line = FirstRow(Shape);
  // The lower cap follows the upper one mirrored: row i follows row top - i.
  for (int32_t i = 0; i <= caps && i <= top; ++i) {
    if (SideMarks[i] != 1) continue;
    for (int32_t j = 0; j < Shape.CPMaxI; ++j) {
      if (Shape.RP[j][i] || !shape::PointMovedSinceCommit(Shape, j, top - i)) continue;
      FollowSimilarity(Shape.CP[0][0], Shape.DP[j][top - i], Shape.CP[j][top - i], Shape.DP[j][i],
                       Shape.CP[j][i]);
    }
  }
  // The wall follows the rim row: one similarity per column (made again should the current line
  // lie inside the wall, once its own point has followed).
  for (int32_t j = 0; j < Shape.CPMaxI; ++j) {
    if (!shape::PointMovedSinceCommit(Shape, j, line)) continue;
    TSimilarity follow = MakeSimilarity(Shape.CP[0][0], Shape.DP[j][line], Shape.CP[j][line]);
    for (int32_t r = caps + 1; r < rim; ++r) {
      if (Shape.RP[j][r] || SideMarks[r] != 1) continue;
      ApplySimilarity(follow, Shape.DP[j][r], Shape.CP[j][r]);
      if (r == line) follow = MakeSimilarity(Shape.CP[0][0], Shape.DP[j][line], Shape.CP[j][line]);
    }
  }
}

void TScTOKOROTEN::GenerateRows(TCS& Shape) {
  const int32_t n = EditStep(), line = FirstRow(Shape);
  if (n > 1) {
    switch (settings::AppSettings.RearrangeType) {
      case 1:
        shape::RelocateRowLinear(Shape, line);
        break;
      case 2:
        shape::RelocateRowByParent(Shape, line);
        break;
      case 3:
        shape::RelocateRowBySubdivision(Shape, n, line);
        break;
      default:
        break;
    }
  }
  const TDbl3D centre = ExtrusionCentre(Shape);
  for (int32_t j = 0; j < Shape.CPMaxI; ++j) {
    if (!Shape.SP[j][line] && !shape::PointMovedSinceCommit(Shape, j, line)) continue;
    // The current line's point is never written here, so its similarity holds for the column.
    const TSimilarity follow = MakeSimilarity(centre, Shape.DP[j][line], Shape.CP[j][line]);
    for (int32_t r = 0; r < Shape.CPMaxJ; ++r)
      if (r != line && SideMarks[r] == 1 && !Shape.RP[j][r])
        ApplySimilarity(follow, Shape.DP[j][r], Shape.CP[j][r]);
  }
}

void TScTOKOROTEN::Generate(TCS& Shape) {
  const int32_t top = Shape.CPMaxJ - 1;
  if (CapMode && Shape.ScType == shape::SCTYPE_SPHERE) {
    GenerateCap(Shape);
  } else if (Shape.ScType == shape::SCTYPE_SPHERE && CurrentLine == 0) {
    Shape.CP[0][top] = Shape.CP[0][0];
  } else if (Shape.ScType == shape::SCTYPE_SPHERE && CurrentLine == top) {
    Shape.CP[0][0] = Shape.CP[0][top];
  } else {
    GenerateRows(Shape);
  }
  shape::RelocateToLodRowMarks(Shape);
}

void TScTOKOROTEN::FixSeams(TCS& Shape) {
  const int32_t last = Shape.CPMaxI - 1, top = Shape.CPMaxJ - 1;
  if (Shape.ScType == shape::SCTYPE_SPHERE) {
    for (int32_t r = FirstRow(Shape); r <= LastRow(Shape); ++r) {
      Shape.SP[last][r] = Shape.SP[0][r];
      Shape.RP[last][r] = Shape.RP[0][r];
    }
    if (!settings::AppSettings.FixedToAxis) return;
    for (int32_t j : {0, top})
      if (Shape.SP[0][j] && !Shape.RP[0][j]) Shape.CP[0][j][0] = Shape.CP[0][j][1] = 0;
    return;
  }
  // A plane has no seam: its last column is a point of its own.
  if (Shape.ScType == shape::SCTYPE_PLANE) return;
  const int32_t line = FirstRow(Shape);
  Shape.SP[last][line] = Shape.SP[0][line];
  Shape.RP[last][line] = Shape.RP[0][line];
  if (Shape.ScType != shape::SCTYPE_TORUS) return;
  for (int32_t i = 0; i < Shape.CPMaxI; ++i) {
    Shape.SP[i][top] = Shape.SP[i][0];
    Shape.RP[i][top] = Shape.RP[i][0];
  }
}

void TScTOKOROTEN::ConstrainPoint(TCS& Shape, int32_t I, int32_t J) { WritePanePartners(Shape, I, J, false); }

// ---------------------------------------------------------------------------------------
// Commands

void TScTOKOROTEN::PublishLineMarks() {
  shape::FillLineMarks(shape::ColumnMarks, 1);
  shape::CopyLineMarks(SideMarks, shape::RowMarks);
  if (CurrentLine >= 0 && CurrentLine < shape::kGridMax) shape::RowMarks[CurrentLine] = 2;
}

bool TScTOKOROTEN::CanEqualIntervals(const TCS& Shape) {
  for (int32_t r = FirstRow(Shape); r <= LastRow(Shape); ++r)
    if (CanSpaceRow(Shape, r)) return true;
  return false;
}

bool TScTOKOROTEN::CanEqualDistance(const TCS& Shape) { return CanEqualIntervals(Shape); }

bool TScTOKOROTEN::CanEqualCurves(const TCS& Shape) { return CanEqualIntervals(Shape); }

namespace {

void CopySeamColumn(TCS& Shape, int32_t first, int32_t last) {
  if (Shape.ScType == shape::SCTYPE_PLANE) return;
  for (int32_t r = first; r <= last; ++r) Shape.CP[Shape.CPMaxI - 1][r] = Shape.CP[0][r];
}

}  // namespace

bool TScTOKOROTEN::EqualIntervals(TCS& Shape) {
  bool handled = false;
  for (int32_t r = FirstRow(Shape); r <= LastRow(Shape); ++r)
    handled = SpaceRowIntervals(Shape, r) || handled;
  if (!handled) return false;
  CopySeamColumn(Shape, FirstRow(Shape), LastRow(Shape));
  ApplyShape(Shape, true);
  return true;
}

bool TScTOKOROTEN::EqualDistance(TCS& Shape) {
  bool handled = false;
  for (int32_t r = FirstRow(Shape); r <= LastRow(Shape); ++r) handled = SpaceRowDistance(Shape, r) || handled;
  if (!handled) return false;
  CopySeamColumn(Shape, FirstRow(Shape), LastRow(Shape));
  ApplyShape(Shape, true);
  return true;
}

bool TScTOKOROTEN::EqualCurvesRow(TCS& Shape, int32_t Row) {
  if (Shape.CPMaxI < 2) return false;
  int32_t start = 0, end = 0;
  const bool open = OpenRows(Shape);
  bool whole = !open;
  for (int32_t i = 0; i < Shape.CPMaxI; ++i) whole = whole && Shape.SP[i][Row];
  if (whole) {
    MakeRingCircular(Shape, Row);
  } else {
    if (open ? !OpenRowRun(Shape, Row, start, end)
             : SelectedInRow(Shape, Row) < 3 || !shape::SingleRunInRow(Shape, Row, start, end))
      return false;
    // Evenly in angle and radius about the extrusion axis, the shorter way round; an open row
    // from its run's start to its end.
    const int32_t n = open ? Shape.CPMaxI : Shape.CPMaxI - 1;
    const int32_t count = open ? end - start : shape::CyclicSteps(start, end, Shape.CPMaxI);
    TDbl2D a, b;
    ProjectPoint(Shape.CP[start][Row], a);
    ProjectPoint(Shape.CP[end][Row], b);
    const double ra = std::hypot(a[0], a[1]), rb = std::hypot(b[0], b[1]);
    double aa = std::atan2(a[1], a[0]), ab = std::atan2(b[1], b[0]);
    if (aa - ab > std::numbers::pi) ab += 2 * std::numbers::pi;
    if (ab - aa > std::numbers::pi) aa += 2 * std::numbers::pi;
    for (int32_t g = 0, i = start; i != end && g <= count; ++g, i = (start + g) % n) {
      if (Shape.RP[i][Row]) continue;
      const double rho = LerpSteps(ra, rb, g, count), alpha = LerpSteps(aa, ab, g, count);
      UnprojectPoint({{rho * std::cos(alpha), rho * std::sin(alpha)}}, Shape.DP[i][Row], Shape.CP[i][Row]);
      ConstrainPoint(Shape, i, Row);
    }
  }
  if (!open) Shape.CP[Shape.CPMaxI - 1][Row] = Shape.CP[0][Row];
  return true;
}

bool TScTOKOROTEN::EqualCurves(TCS& Shape) {
  bool handled = false;
  for (int32_t r = FirstRow(Shape); r <= LastRow(Shape); ++r) handled = EqualCurvesRow(Shape, r) || handled;
  if (!handled) return false;
  ApplyShape(Shape, true);
  return true;
}

bool TScTOKOROTEN::Smooth(TCS& Shape, int32_t Kind) {
  const int32_t line = FirstRow(Shape), rim = UpperRimRowOf(Shape);
  const bool cap = CapMode;
  return SmoothKeeping(Shape, Kind, [=](int32_t, int32_t j) { return cap ? j >= rim : j == line; });
}

bool TScTOKOROTEN::TwistApplies(shape::TScType) { return true; }

bool TScTOKOROTEN::CanTwist(const TCS&) { return true; }

bool TScTOKOROTEN::Twist(TCS& Shape, int32_t Direction) {
  shape::TwistRows(Shape, CapRowsOf(Shape), UpperRimRowOf(Shape),
                   Direction * settings::AppSettings.TwistDegreeF);
  return true;
}

void TScTOKOROTEN::Optimize(TCS& Shape) {
  OptimizeUpperCap(Shape);
  ApplyShape(Shape, true);
}

bool TScTOKOROTEN::CanOptimize(const TCS&) { return true; }

void TScTOKOROTEN::PrevLine(TCS& Shape) {
  const int32_t top = TopLine(Shape);
  CurrentLine = CurrentLine >= top || CurrentLine < 0 ? 0 : CurrentLine + 1;
}

void TScTOKOROTEN::NextLine(TCS& Shape) {
  const int32_t top = TopLine(Shape);
  CurrentLine = CurrentLine <= 0 || CurrentLine > top ? top : CurrentLine - 1;
}

void TScTOKOROTEN::CurrentLineLabel(const TCS& Shape, std::string& Text) {
  Text = shape::GridLabelPair(Shape.CPMaxJ - CurrentLine - 1, Shape.CPMaxJ);
}

void TScTOKOROTEN::ListSideLabels(const TCS& Shape, std::vector<std::string>& Items) {
  for (int32_t l = 0; l <= TopLine(Shape); ++l) Items.push_back(shape::GridLabelPair(l, Shape.CPMaxJ));
}

void TScTOKOROTEN::GetSideMarks(shape::TLineMarks& Marks, const TCS& Shape) {
  for (int32_t l = 0; l <= TopLine(Shape); ++l) Marks[l] = SideMarks[Shape.CPMaxJ - 1 - l];
}

void TScTOKOROTEN::SetSideMarks(const shape::TLineMarks& Marks, TCS& Shape) {
  for (int32_t l = 0; l <= TopLine(Shape); ++l) SideMarks[Shape.CPMaxJ - 1 - l] = Marks[l];
  if (Shape.ScType == shape::SCTYPE_TORUS) SideMarks[Shape.CPMaxJ - 1] = SideMarks[0];
}

bool TScTOKOROTEN::FillUnmarkedSides(TCS& Shape) {
  shape::ReshapeThroughMarks(Shape, SideMarks);
  ApplyShape(Shape, true);
  return true;
}

// ---------------------------------------------------------------------------------------
// Painting

void TScTOKOROTEN::DrawShapeGdiPlus(TCS& Shape, platform::TDrawing& Graphics) {
  DrawRings(Shape, Graphics, false);
}

void TScTOKOROTEN::DrawShapeD2D(TCS& Shape, platform::TDrawing& Canvas) { DrawRings(Shape, Canvas, true); }

void TScTOKOROTEN::DrawRings(TCS& Shape, platform::TDrawing& Drawing, bool D2D) {
  const int32_t s = std::max(1, settings::AppSettings.ViewLevel);
  const int32_t ni = Shape.CPMaxI, nj = Shape.CPMaxJ, top = nj - 1;
  std::vector<TPointF> line;
  auto ring = [&](int32_t r) {
    line.clear();
    for (int32_t i = 0; i <= ((ni - 1) / s) * s; i += s) line.push_back(PointToScreenF(Shape.CP[i][r]));
    Drawing.Polyline(line, ColorToArgb(shape::GridLineColor(r, nj, 1), 255), 1);
  };
  if (CapMode) {
    const int32_t caps = CapRowsOf(Shape);
    for (int32_t c = 0; c <= (ni - 1) / s; ++c) {
      line.clear();
      line.push_back(PointToScreenF(Shape.CP[c * s][top]));
      for (int32_t k = 1; k <= caps / s && top - k * s >= 0; ++k)
        line.push_back(PointToScreenF(Shape.CP[c * s][top - k * s]));
      Drawing.Polyline(line, ColorToArgb(shape::GridLineColor(c * s, ni, 0), 255), 1);
    }
    for (int32_t k = 0; k <= caps / s && top - k * s >= 0; ++k) ring(top - k * s);
  } else {
    ring(FirstRow(Shape));
  }
  for (int32_t r = FirstRow(Shape); r <= LastRow(Shape); ++r)
    for (int32_t j = 0; j < ni; ++j) {
      const platform::TColor colour = shape::GridLineColor(j, ni, 0);
      const bool square = j % 2 == 0 && r % 2 == 0;
      DrawMark(Drawing, D2D, Shape, j, r, colour, square);
    }
}

}  // namespace editor
