// TScGYRAN, the lathe editor (uScGYRAN.h).
#include "editor/editors/uScGYRAN.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "common/Round.h"
#include "editor/editors/ShapeEditorGrid.h"
#include "editor/panes/PaneDrawing.h"
#include "settings/AppSettings.h"
#include "shape/TextureBitmaps.h"
#include "shape/model/uEqualSpacing.h"
#include "shape/model/uRelocate.h"
#include "shape/model/uScPrim.h"
#include "shape/model/uScSelect.h"
#include "shape/model/uScTransform.h"
#include "shape/model/uTwistPresets.h"

namespace editor {

using platform::TPointF;
using shape::TCS;

namespace {

constexpr double kPi = std::numbers::pi;

int32_t EditStep() { return std::max(1, settings::AppSettings.EditLevel); }
int32_t ViewStep() { return std::max(1, settings::AppSettings.ViewLevel); }

}  // namespace

int32_t TScGYRAN::ProfileColumn(const TCS& Shape) const {
  return std::clamp(CurrentLine, 0, std::max(0, Shape.CPMaxI - 2));
}

void TScGYRAN::ForEachEditable(const TCS& Shape, const TPointVisit& Visit) const {
  const int32_t p = ProfileColumn(Shape);
  for (int32_t j = 0; j < Shape.CPMaxJ; ++j)
    if (!Visit(p, j)) return;
}

// ---------------------------------------------------------------------------------------
// Projection

void TScGYRAN::ProjectPoint(const TDbl3D& Point, TDbl2D& Pane) const {
  Pane[0] = std::hypot(Point[0], Point[1]) / ProfileScale;
  Pane[1] = -Point[2];
}

void TScGYRAN::UnprojectPoint(const TDbl2D& Pane, const TDbl3D& Source, TDbl3D& Point) const {
  const double rho = std::abs(Pane[0]) * ProfileScale;
  const double r = std::hypot(Source[0], Source[1]);
  double dx = std::cos(ProfileAngle), dy = std::sin(ProfileAngle);
  if (r > 0) {
    dx = Source[0] / r;
    dy = Source[1] / r;
  }
  Point = {{rho * dx, rho * dy, -Pane[1]}};
}

void TScGYRAN::SyncFromShape(TCS& Shape) {
  TScBase::SyncFromShape(Shape);
  const int32_t p = ProfileColumn(Shape);
  int32_t best = 0;
  double radius = 0;
  for (int32_t j = 0; j < Shape.CPMaxJ; ++j) {
    const double r = std::hypot(Shape.CP[p][j][0], Shape.CP[p][j][1]);
    if (r > radius) {
      radius = r;
      best = j;
    }
  }
  const TDbl3D& q = Shape.CP[p][best];
  ProfileAngle = shape::DirectionAngle2D(q[1], q[0], CurrentLine * 2 * kPi / (Shape.CPMaxI - 1));
  const double c = std::abs(std::cos(ProfileAngle)), s = std::abs(std::sin(ProfileAngle));
  if (c > s) {
    ProfileScale = 1 / c;
    AxisScaleH = ProfileScale * settings::AxisRatios[0];
  } else {
    ProfileScale = 1 / s;
    AxisScaleH = ProfileScale * settings::AxisRatios[1];
  }
  AxisScaleV = settings::AxisRatios[2];
}

void TScGYRAN::ResetForShape() {
  TScBase::ResetForShape();
  CurrentLine = (shape::CurrentShape.CPMaxI - 1) / 4;
  shape::FillLineMarks(SideMarks, 1);
}

// ---------------------------------------------------------------------------------------
// Generate and seams

void TScGYRAN::RespaceProfile(TCS& Shape, int32_t Profile) {
  const int32_t n = EditStep();
  const int32_t type = settings::AppSettings.RearrangeType;
  if (n <= 1 || type < 1 || type > 3) return;
  const int32_t levels = (Shape.CPMaxJ - 1) / n;
  auto& cp = Shape.CP[Profile];
  if (type == 3) {
    shape::CopyToScratchGrid(Shape);
    for (int32_t k = 0; k < levels; ++k) {
      if (!Shape.SP[Profile][k * n]) continue;
      shape::TDbl3DBlock3 block;
      for (int32_t d = -1; d <= 1; ++d)
        for (int32_t e = -1; e <= 1; ++e)
          shape::ScratchPointWrapped(Shape, n * (Profile / n + d), n * (k + e), block[d + 1][e + 1]);
      shape::TSubdivBlock work;
      if (n == 2)
        shape::SubdivideBlock2(block, work);
      else
        shape::SubdivideBlock4(block, work);
      for (int32_t m = 1 - n; m <= n - 1; ++m) {
        int32_t column = Profile, row = k * n + m;
        shape::WrapGridIndex(Shape, column, row);
        if (column < 0 || row < 0 || Shape.RP[column][row]) continue;
        Shape.CP[column][row] = work[3][m + 3];
      }
    }
    return;
  }
  for (int32_t k = 0; k < levels; ++k) {
    const int32_t a = k * n, b = (k + 1) * n;
    if (!Shape.SP[Profile][a] && !Shape.SP[Profile][b]) continue;
    for (int32_t m = 1; m < n; ++m) {
      if (Shape.RP[Profile][a + m]) continue;
      if (type == 2) {
        cp[a + m] = cp[a];
      } else {
        for (int c = 0; c < 3; ++c) cp[a + m][c] = ((n - m) * cp[a][c] + m * cp[b][c]) / n;
      }
    }
  }
}

void TScGYRAN::Generate(TCS& Shape) {
  const int32_t profile = ProfileColumn(Shape);
  RespaceProfile(Shape, profile);
  SweepProfile(Shape, profile, SideMarks);
  shape::RelocateToLodColumnMarks(Shape);
}

void TScGYRAN::FixSeams(TCS& Shape) {
  if (Shape.ScType != shape::SCTYPE_SPHERE) return;
  const int32_t p = ProfileColumn(Shape), last = Shape.CPMaxJ - 1;
  for (int32_t j : {0, last}) {
    Shape.SP[0][j] = Shape.SP[p][j];
    Shape.RP[0][j] = Shape.RP[p][j];
  }
  if (!settings::AppSettings.FixedToAxis) return;
  for (int32_t j : {0, last})
    if (Shape.SP[0][j] && !Shape.RP[0][j]) Shape.CP[0][j] = {{0, 0, Shape.CP[p][j][2]}};
}

// ---------------------------------------------------------------------------------------
// Commands

void TScGYRAN::PublishLineMarks() {
  shape::FillLineMarks(shape::RowMarks, 1);
  shape::CopyLineMarks(SideMarks, shape::ColumnMarks);
  const int32_t columns = shape::CurrentShape.CPMaxI;
  if (CurrentLine >= 0 && CurrentLine < shape::kGridMax) shape::ColumnMarks[CurrentLine] = 2;
  if (CurrentLine == 0 && columns >= 1) shape::ColumnMarks[columns - 1] = 2;
}

int32_t TScGYRAN::SelectedCount(const TCS& Shape) {
  int32_t n = 0;
  ForEachEditable(Shape, [&](int32_t i, int32_t j) {
    if (Shape.SP[i][j]) ++n;
    return true;
  });
  return n;
}

bool TScGYRAN::CanEqualIntervals(const TCS& Shape) {
  const int32_t n = SelectedCount(Shape);
  if (Shape.ScType != shape::SCTYPE_TORUS) return n > 2;
  if (n == Shape.CPMaxJ) return true;
  if (n < 3) return false;
  int32_t start = 0, end = 0;
  return shape::SingleRunInColumn(Shape, ProfileColumn(Shape), start, end);
}

bool TScGYRAN::CanEqualDistance(const TCS& Shape) { return CanEqualIntervals(Shape); }

bool TScGYRAN::EqualIntervals(TCS& Shape) {
  const int32_t p = ProfileColumn(Shape);
  if (Shape.ScType == shape::SCTYPE_TORUS) {
    EqualIntervalsTorus(Shape, p);
  } else {
    SpaceColumnIntervals(Shape, p);
  }
  ApplyShape(Shape, true);
  return true;
}

void TScGYRAN::EqualIntervalsTorus(TCS& Shape, int32_t p) {
  const int32_t rows = Shape.CPMaxJ, n = rows - 1;
  if (n < 1) return;
  const int32_t selected = SelectedCount(Shape);
  if (selected == rows) {
    std::vector<TDbl2D> pane(static_cast<size_t>(rows));
    for (int32_t j = 0; j < n; ++j) ProjectPoint(Shape.CP[p][j], pane[j]);
    pane[n] = pane[0];
    shape::MakeCircularPolygon(rows, pane.data());
    for (int32_t j = 0; j < n; ++j)
      if (!Shape.RP[p][j]) UnprojectPoint(pane[j], Shape.DP[p][j], Shape.CP[p][j]);
  } else {
    int32_t start = 0, end = 0;
    if (selected <= 2 || !shape::SingleRunInColumn(Shape, p, start, end)) return;
    const int32_t count = shape::CyclicSteps(start, end, rows);
    TDbl2D a, b;
    ProjectPoint(Shape.CP[p][start], a);
    ProjectPoint(Shape.CP[p][end], b);
    for (int32_t g = 0; g < count; ++g) {
      const int32_t j = (start + g) % n;
      if (!Shape.RP[p][j])
        UnprojectPoint({{LerpSteps(a[0], b[0], g, count), LerpSteps(a[1], b[1], g, count)}}, Shape.DP[p][j],
                       Shape.CP[p][j]);
    }
  }
  Shape.CP[p][n] = Shape.CP[p][0];
}

bool TScGYRAN::EqualDistance(TCS& Shape) {
  const int32_t p = ProfileColumn(Shape);
  if (Shape.ScType == shape::SCTYPE_TORUS) {
    EqualDistanceTorus(Shape, p);
  } else {
    SpaceColumnDistance(Shape, p);
  }
  ApplyShape(Shape, true);
  return true;
}

void TScGYRAN::EqualDistanceTorus(TCS& Shape, int32_t p) {
  const int32_t rows = Shape.CPMaxJ, n = rows - 1;
  if (n < 1) return;
  shape::TPolyline3D line;
  line.Count = 0;
  auto add = [&](int32_t j) {
    TDbl2D pane;
    ProjectPoint(Shape.CP[p][j], pane);
    line.P[line.Count++] = {{pane[0], pane[1], 0}};
  };
  auto take = [&](int32_t j, int32_t k) {
    UnprojectPoint({{line.P[k][0], line.P[k][1]}}, Shape.DP[p][j], Shape.CP[p][j]);
  };
  const int32_t selected = SelectedCount(Shape);
  if (selected == rows) {
    for (int32_t j = 0; j < rows; ++j) add(j);
    shape::EqualizePolyline(line);
    for (int32_t j = 1; j < n; ++j)
      if (!Shape.RP[p][j]) take(j, j);
    return;
  }
  int32_t start = 0, end = 0;
  if (selected <= 2 || !shape::SingleRunInColumn(Shape, p, start, end)) return;
  const int32_t count = shape::CyclicSteps(start, end, rows);
  for (int32_t g = 0; g <= count; ++g) add((start + g) % n);
  shape::EqualizePolyline(line);
  for (int32_t g = 1; g < count; ++g) {
    const int32_t j = (start + g) % n;
    if (!Shape.RP[p][j]) take(j, g);
  }
  Shape.CP[p][n] = Shape.CP[p][0];
}

bool TScGYRAN::Smooth(TCS& Shape, int32_t Kind) {
  const int32_t p = ProfileColumn(Shape);
  return SmoothKeeping(Shape, Kind, [p](int32_t i, int32_t) { return i == p; });
}

bool TScGYRAN::TwistApplies(shape::TScType StitchType) { return StitchType != shape::SCTYPE_PLANE; }

bool TScGYRAN::CanTwist(const TCS& Shape) { return Shape.ScType != shape::SCTYPE_PLANE; }

bool TScGYRAN::Twist(TCS& Shape, int32_t Direction) {
  const double degrees = Direction * settings::AppSettings.TwistDegreeF;
  switch (Shape.ScType) {
    case shape::SCTYPE_SPHERE:
    case shape::SCTYPE_CYLINDER: {
      int32_t count = 0, first = 0, last = 0;
      shape::SelectedSpanInColumn(Shape, ProfileColumn(Shape), count, first, last);
      if (count >= 2)
        shape::TwistRows(Shape, first, last, degrees);
      else
        shape::TwistRows(Shape, 0, Shape.CPMaxJ - 1, degrees);
      break;
    }
    case shape::SCTYPE_TORUS:
      shape::TwistTorus(Shape, Direction);
      break;
    default:
      return false;
  }
  ApplyShape(Shape, false);
  return true;
}

void TScGYRAN::PrevLine(TCS& Shape) {
  const int32_t last = std::max(0, Shape.CPMaxI - 2);
  CurrentLine = CurrentLine <= 0 || CurrentLine > last ? last : CurrentLine - 1;
}

void TScGYRAN::NextLine(TCS& Shape) {
  const int32_t last = std::max(0, Shape.CPMaxI - 2);
  CurrentLine = CurrentLine >= last || CurrentLine < 0 ? 0 : CurrentLine + 1;
}

void TScGYRAN::CurrentLineLabel(const TCS& Shape, std::string& Text) {
  Text = shape::GridLabelPair(CurrentLine, Shape.CPMaxI);
}

void TScGYRAN::ListSideLabels(const TCS& Shape, std::vector<std::string>& Items) {
  for (int32_t i = 0; i + 1 < Shape.CPMaxI; ++i) Items.push_back(shape::GridLabelPair(i, Shape.CPMaxI));
}

void TScGYRAN::GetSideMarks(shape::TLineMarks& Marks, const TCS& Shape) {
  for (int32_t i = 0; i + 1 < Shape.CPMaxI; ++i) Marks[i] = SideMarks[i];
}

void TScGYRAN::SetSideMarks(const shape::TLineMarks& Marks, TCS& Shape) {
  for (int32_t i = 0; i + 1 < Shape.CPMaxI; ++i) SideMarks[i] = Marks[i];
  SideMarks[Shape.CPMaxI - 1] = SideMarks[0];
}

bool TScGYRAN::FillUnmarkedSides(TCS& Shape) {
  FillUnmarkedColumns(Shape, SideMarks);
  ApplyShape(Shape, true);
  return true;
}

// ---------------------------------------------------------------------------------------
// Presets of revolution

void TScGYRAN::PresetPoint(TCS& Shape, int32_t I, int32_t J, double U, double V) {
  const int32_t p = ProfileColumn(Shape);
  if (Shape.RP[I][J] || Shape.RP[p][J]) return;
  UnprojectPoint({{U, V}}, Shape.DP[I][J], Shape.CP[I][J]);
}

void TScGYRAN::RoundPreset(TCS& Shape, int32_t Kind) {
  if (Shape.ScType == shape::SCTYPE_TORUS) {
    RoundPresetTorus(Shape, Kind);
  } else if (Kind == 4) {
    shape::MakeFillPillar(Shape);
  } else if (Kind == 5) {
    shape::MakeCushion(Shape, CurrentLine);
    shape::OffsetShapeGrid(Shape, CurrentLine, 0);
  } else if (Kind >= 0 && Kind <= 3) {
    for (int32_t i = 0; i < Shape.CPMaxI; ++i)
      if (SideMarks[i] == 1) RoundPresetColumn(Shape, Kind, i);
  }
  ApplyShape(Shape, false);
}

void TScGYRAN::RoundPresetColumn(TCS& Shape, int32_t Kind, int32_t i) {
  const int32_t n = Shape.CPMaxJ, caps = CapRowsOf(Shape), rim = UpperRimRowOf(Shape);
  auto pane = [&](int32_t j) {
    TDbl2D p;
    ProjectPoint(Shape.CP[i][j], p);
    return p;
  };
  const double r = pane(caps)[0];
  // The fraction of the way from the lower rim to the last row (0 on a grid without that way).
  auto along = [&](int32_t j) {
    return n - caps - 1 > 0 ? static_cast<double>(j - caps) / (n - caps - 1) : 0.0;
  };
  switch (Kind) {
    case 0:
      for (int32_t j = 0; j < n; ++j) {
        const double t = j * kPi / (n - 1);
        PresetPoint(Shape, i, j, r * std::sin(t), r * std::cos(t));
      }
      break;
    case 1:
      for (int32_t j = 0; j <= caps; ++j) PresetPoint(Shape, i, j, j * r / caps, 0);
      for (int32_t j = caps; j < n; ++j) {
        const double t = (along(j) + 1) * kPi / 2;
        PresetPoint(Shape, i, j, r * std::sin(t), r * std::cos(t));
      }
      break;
    case 2:
      for (int32_t j = 0; j <= caps; ++j) PresetPoint(Shape, i, j, j * r / caps, 1);
      for (int32_t j = caps; j < n; ++j) {
        const double s = 1 - along(j);
        PresetPoint(Shape, i, j, r * s, 2 * s - 1);
      }
      break;
    case 3: {
      // Each rim corner onto the 45-degree point of the quarter circle joining its neighbours.
      const double root2 = std::numbers::sqrt2;
      if (rim >= 1 && rim + 1 < n) {
        const TDbl2D a = pane(rim - 1), b = pane(rim + 1);
        PresetPoint(Shape, i, rim, (a[0] + (root2 - 1) * b[0]) / root2, (b[1] + (root2 - 1) * a[1]) / root2);
      }
      if (caps >= 1 && caps + 1 < n) {
        const TDbl2D a = pane(caps - 1), b = pane(caps + 1);
        PresetPoint(Shape, i, caps, ((root2 - 1) * a[0] + b[0]) / root2, (a[1] + (root2 - 1) * b[1]) / root2);
      }
      break;
    }
    default:
      break;
  }
}

void TScGYRAN::RoundPresetTorus(TCS& Shape, int32_t Kind) {
  if (Kind < 0 || Kind > 2) return;
  const int32_t rows = Shape.CPMaxJ, half = (rows - 1) / 2;
  // The Cone's slopes take h rows each; at least 1, so small grids do not divide by 0.
  const int32_t h = std::max(1, half / 2);
  for (int32_t i = 0; i < Shape.CPMaxI; ++i) {
    if (SideMarks[i] != 1) continue;
    TDbl2D p0, pm;
    ProjectPoint(Shape.CP[i][0], p0);
    ProjectPoint(Shape.CP[i][half], pm);
    const double c = (p0[0] + pm[0]) / 2;
    double m = std::abs(pm[0] - p0[0]) / 2;
    if (m == 0) m = 0.15;
    auto ball = [&](int32_t j) {
      const double t = j * 2 * kPi / (rows - 1);
      PresetPoint(Shape, i, j, c - m * std::cos(t), m * std::sin(t));
    };
    if (Kind == 0) {
      for (int32_t j = 0; j < rows; ++j) ball(j);
      continue;
    }
    const double v = Kind == 1 ? 0 : 1;
    for (int32_t j = 0; j <= half; ++j) PresetPoint(Shape, i, j, LerpSteps(c - m, c + m, j, half), v);
    if (Kind == 1) {
      for (int32_t j = half + 1; j < rows; ++j) ball(j);
      continue;
    }
    for (int32_t j = half + 1; j < rows; ++j) {
      if (j <= half + h) {
        const int32_t d = j - half;
        PresetPoint(Shape, i, j, ((h - d) * (c + m) + d * c) / h, static_cast<double>((h - d) - d) / h);
      } else {
        const int32_t d = j - half - h;
        PresetPoint(Shape, i, j, ((h - d) * c + d * (c - m)) / h, static_cast<double>(-(h - d) + d) / h);
      }
    }
  }
}

// ---------------------------------------------------------------------------------------
// Painting

void TScGYRAN::DrawShapeGdiPlus(TCS& Shape, platform::TDrawing& Graphics) {
  DrawProfile(Shape, Graphics, false);
}

void TScGYRAN::DrawShapeD2D(TCS& Shape, platform::TDrawing& Canvas) { DrawProfile(Shape, Canvas, true); }

void TScGYRAN::DrawProfile(TCS& Shape, platform::TDrawing& Drawing, bool D2D) {
  const int32_t p = ProfileColumn(Shape), n = Shape.CPMaxJ, s = ViewStep();
  std::vector<TPointF> line;
  for (int32_t j = 0; j <= ((n - 2) / s) * s; j += s) line.push_back(PointToScreenF(Shape.CP[p][j]));
  line.push_back(PointToScreenF(Shape.CP[p][n - 1]));
  Drawing.Polyline(line, 0xFF000000, 1);
  for (int32_t j = 0; j < n; ++j) {
    const bool square = p % 2 == 0 && j % 2 == 0;
    const platform::TColor colour = shape::GridLineColor(j, n, 1);
    DrawMark(Drawing, D2D, Shape, p, j, colour, square);
  }
}

void TScGYRAN::DrawCubeGdiPlus(platform::TDrawing& Graphics) {
  const TPointF square[4] = {ToScreenF({{1, 1}}), ToScreenF({{-1, 1}}), ToScreenF({{-1, -1}}),
                             ToScreenF({{1, -1}})};
  Graphics.OutlinePolygon(square, 0x40404040, 1);
}

void TScGYRAN::DrawCubeD2D(platform::TDrawing& Canvas) {
  const TPointF square[4] = {ToScreenF({{1, 1}}), ToScreenF({{-1, 1}}), ToScreenF({{-1, -1}}),
                             ToScreenF({{1, -1}})};
  Canvas.OutlinePolygon(square, ColorToArgb(platform::clSilver, 128), 1);
}

void TScGYRAN::DrawSurfaceGdiPlus(TCS& Shape, platform::TDrawing& Graphics) {
  DrawSurfaceWith(Shape, Graphics, 0x18181818);
}

void TScGYRAN::DrawSurfaceD2D(TCS& Shape, platform::TDrawing& Canvas) {
  DrawSurfaceWith(Shape, Canvas, ColorToArgb(0, 40));
}

// The section through the axis: the profile and, mirrored, the opposite column.
void TScGYRAN::DrawSurfaceWith(const TCS& Shape, platform::TDrawing& Drawing, platform::TArgb Colour) {
  if (Shape.ScType == shape::SCTYPE_PLANE || Shape.CPMaxI < 2) return;
  const int32_t p = ProfileColumn(Shape), n = Shape.CPMaxJ, s = ViewStep();
  const int32_t o = ((Shape.CPMaxI - 1) / 2 + p) % (Shape.CPMaxI - 1);
  auto point = [&](int32_t column, int32_t row, bool mirrored) {
    TDbl2D pane;
    ProjectPoint(Shape.CP[column][row], pane);
    if (mirrored) pane[0] = -pane[0];
    return ToScreenF(pane);
  };
  std::vector<TPointF> polygon;
  switch (Shape.ScType) {
    case shape::SCTYPE_SPHERE:
      for (int32_t j = 0; j <= ((n - 2) / s) * s; j += s) polygon.push_back(point(p, j, false));
      for (int32_t q = (n - 1) / s; q >= 1; --q) polygon.push_back(point(o, q * s, true));
      Drawing.FillPolygon(polygon, Colour);
      break;
    case shape::SCTYPE_TORUS:
      for (int32_t j = 0; j <= ((n - 2) / s) * s; j += s) polygon.push_back(point(p, j, false));
      Drawing.FillPolygon(polygon, Colour);
      polygon.clear();
      for (int32_t j = 0; j <= ((n - 2) / s) * s; j += s) polygon.push_back(point(o, j, true));
      Drawing.FillPolygon(polygon, Colour);
      break;
    default:
      for (int32_t j = 0; j <= ((n - 1) / s) * s; j += s) polygon.push_back(point(p, j, false));
      for (int32_t j = ((n - 1) / s) * s; j >= 0; j -= s) polygon.push_back(point(o, j, true));
      Drawing.FillPolygon(polygon, Colour);
      break;
  }
}

int32_t TScGYRAN::AxisOctant() const {
  const double k = (ProfileAngle - 1 / (8 * kPi) + 2 * kPi) * 4 / kPi;
  return ((static_cast<int32_t>(common::Round(k)) % 8) + 8) % 8;
}

void TScGYRAN::DrawAxesGdiPlus(platform::TDrawing& Graphics) { DrawAxesWith(Graphics, 128); }

void TScGYRAN::DrawAxesD2D(platform::TDrawing& Canvas) { DrawAxesWith(Canvas, 200); }

void TScGYRAN::DrawAxesWith(platform::TDrawing& Drawing, uint8_t Alpha) {
  const TPointF origin = PointToScreenF({{0, 0, 0}});
  Drawing.Line(origin, PointToScreenF({{0, 0, 2}}), ColorToArgb(AxisColors[2].Positive, Alpha), 1);
  Drawing.Line(origin, PointToScreenF({{0, 0, -2}}), ColorToArgb(AxisColors[2].Negative, Alpha), 1);
  // The horizontal axis shows the model axis the profile points along, when it points along one.
  const int32_t k = AxisOctant();
  platform::TColor right = platform::clSilver, left = platform::clSilver;
  switch (k) {
    case 0:
      right = AxisColors[0].Positive;
      left = AxisColors[0].Negative;
      break;
    case 2:
      right = AxisColors[1].Positive;
      left = AxisColors[1].Negative;
      break;
    case 4:
      right = AxisColors[0].Negative;
      left = AxisColors[0].Positive;
      break;
    case 6:
      right = AxisColors[1].Negative;
      left = AxisColors[1].Positive;
      break;
    default:
      break;
  }
  Drawing.Line(origin, ToScreenF({{2, 0}}), ColorToArgb(right, Alpha), 1);
  Drawing.Line(origin, ToScreenF({{-2, 0}}), ColorToArgb(left, Alpha), 1);
}

}  // namespace editor
