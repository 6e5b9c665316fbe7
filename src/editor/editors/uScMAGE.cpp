// The bend editors TScMAGE and, through its transposed grid access, TScMAGETorus (uScMAGE.h).
#include "editor/editors/uScMAGE.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "editor/editors/ShapeEditorGrid.h"
#include "editor/editors/uScKANTEN.h"
#include "editor/panes/PaneDrawing.h"
#include "settings/AppSettings.h"
#include "shape/TextureBitmaps.h"
#include "shape/model/uRelocate.h"
#include "shape/model/uScSelect.h"

namespace editor {

using platform::TPointF;
using shape::TCS;

namespace {

// The edge lines' colours: dark red and dark blue ("GDI+" ARGB; "Direct2D" $BBGGRR colours).
constexpr platform::TArgb kEdgeAGdiPlus = 0xFF8B0000;
constexpr platform::TArgb kEdgeBGdiPlus = 0xFF00008B;
constexpr platform::TColor kEdgeAD2D = 0x000099;
constexpr platform::TColor kEdgeBD2D = 0x990000;

}  // namespace

TScMAGE::TScMAGE() : TScMAGE(false) {}

TScMAGE::TScMAGE(bool transposed) : transposed_(transposed) {}

// ---------------------------------------------------------------------------------------
// Grid access

int32_t TScMAGE::RingLength(const TCS& Shape) const { return transposed_ ? Shape.CPMaxJ : Shape.CPMaxI; }

int32_t TScMAGE::PathLength(const TCS& Shape) const { return transposed_ ? Shape.CPMaxI : Shape.CPMaxJ; }

int32_t TScMAGE::FirstRing(const TCS& Shape) const {
  return !transposed_ && Shape.ScType == shape::SCTYPE_SPHERE ? 1 : 0;
}

int32_t TScMAGE::LastRing(const TCS& Shape) const {
  if (transposed_) return Shape.CPMaxI - 2;
  return Shape.ScType == shape::SCTYPE_SPHERE ? Shape.CPMaxJ - 2 : Shape.CPMaxJ - 1;
}

bool TScMAGE::MovedAt(const TCS& Shape, int32_t Position, int32_t Ring) const {
  return transposed_ ? shape::PointMovedSinceCommit(Shape, Ring, Position)
                     : shape::PointMovedSinceCommit(Shape, Position, Ring);
}

void TScMAGE::ForEachEditable(const TCS& Shape, const TPointVisit& Visit) const {
  // TScMAGE: every row of the two edge columns; the twin: columns 0..CPMaxI - 2 of its edge rows.
  const int32_t rings = transposed_ ? Shape.CPMaxI - 1 : Shape.CPMaxJ;
  for (int32_t edge : {EdgeA, EdgeB}) {
    if (edge < 0 || edge >= RingLength(Shape)) continue;
    for (int32_t r = 0; r < rings; ++r)
      if (!(transposed_ ? Visit(r, edge) : Visit(edge, r))) return;
  }
}

// ---------------------------------------------------------------------------------------
// Lines and views

void TScMAGE::SyncFromShape(TCS& Shape) {
  TScBase::SyncFromShape(Shape);
  AxisScaleH = settings::AxisRatios[HAxis];
  AxisScaleV = settings::AxisRatios[VAxis];
  const int32_t n = std::max(1, RingLength(Shape) - 1);
  EdgeA = std::clamp(CurrentLine, 0, n - 1);
  EdgeB = (n / 2 + EdgeA) % n;
}

void TScMAGE::ResetForShape() {
  SelectViewSide(transposed_ ? 5 : 0);
  CurrentLine = 0;
}

void TScMAGE::FollowLine() {
  const int32_t q = std::max(0, RingLength(shape::CurrentShape) - 1) / 4;
  static constexpr int32_t kSides[2][4] = {{0, 1, 3, 4}, {5, 1, 2, 4}};
  for (int32_t k = 0; k < 4; ++k)
    if (CurrentLine == k * q) {
      SelectViewSide(kSides[transposed_ ? 1 : 0][k]);
      return;
    }
}

void TScMAGE::PrevLine(TCS& Shape) {
  const int32_t q = (RingLength(Shape) - 1) / 4;
  CurrentLine = CurrentLine <= 0 ? 3 * q : std::max(0, CurrentLine - q);
  FollowLine();
}

void TScMAGE::NextLine(TCS& Shape) {
  const int32_t q = (RingLength(Shape) - 1) / 4;
  CurrentLine = CurrentLine >= 3 * q ? 0 : CurrentLine + q;
  FollowLine();
}

bool TScMAGE::IsCurrentLineMarked() { return true; }

void TScMAGE::CurrentLineLabel(const TCS& Shape, std::string& Text) {
  Text = shape::GridLabelPair(CurrentLine, RingLength(Shape));
}

void TScMAGE::PublishLineMarks() {
  shape::FillLineMarks(shape::ColumnMarks, 0);
  shape::FillLineMarks(shape::RowMarks, 0);
  shape::TLineMarks& marks = transposed_ ? shape::RowMarks : shape::ColumnMarks;
  const int32_t last = RingLength(shape::CurrentShape) - 1;
  auto mark = [&](int32_t edge, uint8_t value) {
    if (edge < 0 || edge >= shape::kGridMax) return;
    marks[edge] = value;
    if (edge == 0 && last >= 0) marks[last] = value;
  };
  mark(EdgeA, 3);
  mark(EdgeB, 4);
}

// ---------------------------------------------------------------------------------------
// Generate

void TScMAGE::SubdivideEdge(TCS& Shape, int32_t Edge, int32_t n) {
  shape::CopyToScratchGrid(Shape);
  const int32_t line = n * (Edge / n);
  for (int32_t k = 0; k <= (PathLength(Shape) - 1) / n; ++k) {
    // TScMAGE refines round each selected level point, the twin round each moved one.
    const bool take = transposed_ ? shape::PointMovedSinceCommit(Shape, n * k, line) : Shape.SP[line][n * k];
    if (!take) continue;
    shape::TDbl3DBlock3 block;
    for (int32_t d = -1; d <= 1; ++d)
      for (int32_t e = -1; e <= 1; ++e) {
        if (transposed_)
          shape::ScratchPointWrapped(Shape, n * (k + d), line + n * e, block[d + 1][e + 1]);
        else
          shape::ScratchPointWrapped(Shape, line + n * d, n * (k + e), block[d + 1][e + 1]);
      }
    shape::TSubdivBlock work;
    if (n == 2)
      shape::SubdivideBlock2(block, work);
    else
      shape::SubdivideBlock4(block, work);
    for (int32_t m = 1 - n; m <= n - 1; ++m) {
      int32_t column = transposed_ ? n * k + m : line, row = transposed_ ? line : n * k + m;
      shape::WrapGridIndex(Shape, column, row);
      if (column < 0 || row < 0 || Shape.RP[column][row]) continue;
      Shape.CP[column][row] = transposed_ ? work[m + 3][3] : work[3][m + 3];
    }
  }
}

void TScMAGE::RespaceEdge(TCS& Shape, int32_t Edge, int32_t n, int32_t type) {
  if (type == 3) {
    SubdivideEdge(Shape, Edge, n);
    return;
  }
  for (int32_t k = 0; k < (PathLength(Shape) - 1) / n; ++k) {
    const int32_t a = k * n, b = (k + 1) * n;
    const bool take = transposed_ ? MovedAt(Shape, Edge, a) || MovedAt(Shape, Edge, b)
                                  : SelectedAt(Shape, Edge, a) || SelectedAt(Shape, Edge, b);
    if (!take) continue;
    const TDbl3D pa = PointAt(Shape, Edge, a), pb = PointAt(Shape, Edge, b);
    for (int32_t m = 1; m < n; ++m) {
      if (LockedAt(Shape, Edge, a + m)) continue;
      TDbl3D& p = PointAt(Shape, Edge, a + m);
      for (int c = 0; c < 3; ++c) p[c] = type == 2 ? pa[c] : LerpSteps(pa[c], pb[c], m, n);
    }
  }
}

void TScMAGE::RebuildSimilar(TCS& Shape, int32_t Ring) {
  const TDbl3D a = PointAt(Shape, EdgeA, Ring), b = PointAt(Shape, EdgeB, Ring);
  const TDbl3D a0 = CommittedAt(Shape, EdgeA, Ring), b0 = CommittedAt(Shape, EdgeB, Ring);
  TDbl3D m, m0;
  Midpoint3D(a, b, m);
  Midpoint3D(a0, b0, m0);
  const double c = Distance3D(a, b), c0 = Distance3D(a0, b0);
  const int32_t h = HAxis, v = VAxis;
  const double theta = std::atan2(a[v] - b[v], a[h] - b[h]);
  const double theta0 = std::atan2(a0[v] - b0[v], a0[h] - b0[h]);
  // The turns and the scaling are the ring's own, the same for each of its points.
  const double cos0 = std::cos(-theta0), sin0 = std::sin(-theta0);
  const double cos1 = std::cos(theta), sin1 = std::sin(theta);
  const double scale = c0 > 0 ? c / c0 : 0;
  // The point's coordinates across (h), up (v) and along the view (d) are kept apart, each
  // in its own variable.
  const int32_t d = 3 - h - v;
  const int32_t n = RingLength(Shape) - 1;
  for (int32_t p = 0; p < n; ++p) {
    if (LockedAt(Shape, p, Ring)) continue;
    const TDbl3D& committed = CommittedAt(Shape, p, Ring);
    const double xh = committed[h] - m0[h], xv = committed[v] - m0[v], xd = committed[d] - m0[d];
    // Into the committed pair's frame, scaled by the change of their distance ...
    double wh = xh * cos0 - xv * sin0;
    double wv = xh * sin0 + xv * cos0;
    double wd = xd;
    if (c0 > 0) {
      wh *= scale;
      wv *= scale;
      wd *= scale;
    } else {
      // Coinciding committed edge points: a circle of the current edge distance, by the
      // point's place along the ring (both twins), in the model's x and y.
      const double phi = p * 2 * std::numbers::pi / n;
      const TDbl3D w{{c * std::cos(phi), c * std::sin(phi), 0}};
      wh = w[h];
      wv = w[v];
      wd = w[d];
    }
    // ... and out into the current pair's.
    TDbl3D& out = PointAt(Shape, p, Ring);
    out[h] = m[h] + (wh * cos1 - wv * sin1);
    out[v] = m[v] + (wh * sin1 + wv * cos1);
    out[d] = m[d] + wd;
  }
}

void TScMAGE::RebuildProfile(TCS& Shape, int32_t Ring) {
  const int32_t n = RingLength(Shape) - 1;
  if (n < 1 || static_cast<int32_t>(SectionPoints.size()) < n) return;
  const TDbl3D a = PointAt(Shape, EdgeA, Ring), b = PointAt(Shape, EdgeB, Ring);
  for (int32_t j = 0; j < n; ++j) {
    const int32_t p = (EdgeA + j) % n;
    if (LockedAt(Shape, p, Ring)) continue;
    const double x = SectionPoints[j][0], y = SectionPoints[j][1];
    TDbl3D& out = PointAt(Shape, p, Ring);
    out[HAxis] = (1 - x) * a[HAxis] + x * b[HAxis];
    out[VAxis] = (1 - x) * a[VAxis] + x * b[VAxis];
    out[DepthAxis] = DepthSign * y;
  }
  if (!OpenRows(Shape)) PointAt(Shape, n, Ring) = PointAt(Shape, 0, Ring);
}

void TScMAGE::RebuildChamfer(TCS& Shape, int32_t Ring) {
  const int32_t n = RingLength(Shape) - 1;
  std::vector<TChamferStep> walk;
  ChamferWalk(RingLength(Shape), walk);
  if (walk.empty() || n < 1) return;
  const TDbl3D a = PointAt(Shape, EdgeA, Ring), b = PointAt(Shape, EdgeB, Ring);
  int32_t p = EdgeA % n;
  for (const TChamferStep& step : walk) {
    if (!LockedAt(Shape, p, Ring)) {
      TDbl3D& out = PointAt(Shape, p, Ring);
      out[HAxis] = step.S * a[HAxis] + (1 - step.S) * b[HAxis];
      out[VAxis] = step.S * a[VAxis] + (1 - step.S) * b[VAxis];
      out[DepthAxis] = transposed_ ? -step.Depth : step.Depth;
    }
    p = (p + 1) % n;
  }
  if (!OpenRows(Shape)) PointAt(Shape, n, Ring) = PointAt(Shape, 0, Ring);
}

void TScMAGE::RebuildRing(TCS& Shape, int32_t Ring) {
  switch (CurrentSection) {
    case SECTION_NORMAL:
      RebuildSimilar(Shape, Ring);
      break;
    case SECTION_CHAMFER:
      RebuildChamfer(Shape, Ring);
      break;
    default:
      RebuildProfile(Shape, Ring);
      break;
  }
}

void TScMAGE::Generate(TCS& Shape) {
  if (RingLength(Shape) < 2) return;
  const int32_t n = std::max(1, settings::AppSettings.EditLevel), type = settings::AppSettings.RearrangeType;
  if (n > 1 && type >= 1 && type <= 3) {
    RespaceEdge(Shape, EdgeA, n, type);
    RespaceEdge(Shape, EdgeB, n, type);
  }
  MakeCurrentSection(RingLength(Shape), SectionPoints);
  for (int32_t r = FirstRing(Shape); r <= LastRing(Shape); ++r) {
    const bool moved = (!LockedAt(Shape, EdgeA, r) && MovedAt(Shape, EdgeA, r)) ||
                       (!LockedAt(Shape, EdgeB, r) && MovedAt(Shape, EdgeB, r));
    if (moved) RebuildRing(Shape, r);
  }
  SectionPoints.clear();
}

bool TScMAGE::SectionChanged(TCS& Shape) {
  if (CurrentSection == SECTION_NORMAL || RingLength(Shape) < 2) return false;
  MakeCurrentSection(RingLength(Shape), SectionPoints);
  for (int32_t r = FirstRing(Shape); r <= LastRing(Shape); ++r) RebuildRing(Shape, r);
  SectionPoints.clear();
  ApplyShape(Shape, true);
  return true;
}

// ---------------------------------------------------------------------------------------
// Commands

bool TScMAGE::CanEqualIntervals(const TCS& Shape) {
  for (int32_t edge : {EdgeA, EdgeB}) {
    if (transposed_) {
      if (CanSpaceRow(Shape, edge)) return true;
    } else {
      int32_t count = 0, first = 0, last = 0;
      shape::SelectedSpanInColumn(Shape, edge, count, first, last);
      if (count > 2) return true;
    }
  }
  return false;
}

bool TScMAGE::CanEqualDistance(const TCS& Shape) { return CanEqualIntervals(Shape); }

bool TScMAGE::EqualIntervals(TCS& Shape) {
  if (!transposed_) {
    SpaceColumnIntervals(Shape, EdgeA);
    SpaceColumnIntervals(Shape, EdgeB);
    ApplyShape(Shape, true);
    return true;
  }
  bool handled = SpaceRowIntervals(Shape, EdgeA);
  handled = SpaceRowIntervals(Shape, EdgeB) || handled;
  if (handled) ApplyShape(Shape, true);
  return handled;
}

bool TScMAGE::EqualDistance(TCS& Shape) {
  if (!transposed_) {
    SpaceColumnDistance(Shape, EdgeA);
    SpaceColumnDistance(Shape, EdgeB);
    ApplyShape(Shape, true);
    return true;
  }
  bool handled = SpaceRowDistance(Shape, EdgeA);
  handled = SpaceRowDistance(Shape, EdgeB) || handled;
  if (handled) ApplyShape(Shape, true);
  return handled;
}

bool TScMAGE::Smooth(TCS& Shape, int32_t Kind) {
  const int32_t a = EdgeA, b = EdgeB;
  const bool t = transposed_;
  return SmoothKeeping(Shape, Kind, [=](int32_t i, int32_t j) {
    const int32_t line = t ? j : i;
    return line == a || line == b;
  });
}

bool TScMAGE::MeanWidth(const TCS& Shape, double& Width) const {
  double sum = 0;
  int32_t k = 0;
  for (int32_t r = FirstRing(Shape); r <= LastRing(Shape); ++r) {
    if (!SelectedAt(Shape, EdgeA, r) || !SelectedAt(Shape, EdgeB, r)) continue;
    sum += Distance3D(PointAt(Shape, EdgeA, r), PointAt(Shape, EdgeB, r));
    ++k;
  }
  if (sum <= 0 || k <= 1) return false;
  Width = sum / k;
  return true;
}

bool TScMAGE::CanSameWidth(const TCS& Shape) {
  double w = 0;
  return MeanWidth(Shape, w);
}

bool TScMAGE::SameWidth(TCS& Shape) {
  double w = 0;
  if (!MeanWidth(Shape, w)) return false;
  for (int32_t r = FirstRing(Shape); r <= LastRing(Shape); ++r) {
    if (!SelectedAt(Shape, EdgeA, r) || !SelectedAt(Shape, EdgeB, r)) continue;
    TDbl3D& a = PointAt(Shape, EdgeA, r);
    TDbl3D& b = PointAt(Shape, EdgeB, r);
    const double e = Distance3D(a, b);
    if (e <= 0) continue;
    TDbl3D m;
    Midpoint3D(a, b, m);
    for (int k = 0; k < 3; ++k) {
      a[k] = m[k] + w * (a[k] - m[k]) / e;
      b[k] = m[k] + w * (b[k] - m[k]) / e;
    }
  }
  ApplyShape(Shape, true);
  return true;
}

void TScMAGE::ProjectPoint(const TDbl3D& Point, TDbl2D& Pane) const { TScBase::ProjectPoint(Point, Pane); }

void TScMAGE::UnprojectPoint(const TDbl2D& Pane, const TDbl3D& Source, TDbl3D& Point) const {
  TScBase::UnprojectPoint(Pane, Source, Point);
}

bool TScMAGE::KeepsSideProjection() const { return true; }

void TScMAGE::ConstrainPoint(TCS& Shape, int32_t I, int32_t J) {
  if (transposed_) WritePanePartners(Shape, I, J, true);
}

// ---------------------------------------------------------------------------------------
// Painting

void TScMAGE::DrawShapeGdiPlus(TCS& Shape, platform::TDrawing& Graphics) { DrawBand(Shape, Graphics, false); }

void TScMAGE::DrawShapeD2D(TCS& Shape, platform::TDrawing& Canvas) { DrawBand(Shape, Canvas, true); }

void TScMAGE::DrawBand(TCS& Shape, platform::TDrawing& Drawing, bool D2D) {
  const int32_t s = std::max(1, settings::AppSettings.ViewLevel);
  const int32_t path = PathLength(Shape), ring = RingLength(Shape);
  if (EdgeA >= ring || EdgeB >= ring) return;
  const int32_t direction = transposed_ ? 0 : 1;
  // Cross lines from edge to edge.
  int32_t first = 0, last = (path - 1) / s;
  if (transposed_)
    last = (path - 1) / s - 1;
  else if (Shape.ScType == shape::SCTYPE_SPHERE) {
    first = 1;
    last = (path - 2) / s;
  }
  for (int32_t k = first; k <= last; ++k)
    Drawing.Line(PointToScreenF(PointAt(Shape, EdgeA, k * s)), PointToScreenF(PointAt(Shape, EdgeB, k * s)),
                 ColorToArgb(shape::GridLineColor(k * s, path, direction), 255), 1);
  // The two edge lines.
  std::vector<TPointF> line;
  for (int32_t e = 0; e < 2; ++e) {
    const int32_t edge = e == 0 ? EdgeA : EdgeB;
    line.clear();
    for (int32_t r = 0; r <= ((path - 1) / s) * s; r += s)
      line.push_back(PointToScreenF(PointAt(Shape, edge, r)));
    const platform::TArgb colour =
        D2D ? ColorToArgb(e == 0 ? kEdgeAD2D : kEdgeBD2D, 255) : (e == 0 ? kEdgeAGdiPlus : kEdgeBGdiPlus);
    Drawing.Polyline(line, colour, 1);
  }
  // The marks of the edge points.
  const int32_t marks = transposed_ ? path - 1 : path;
  for (int32_t edge : {EdgeA, EdgeB})
    for (int32_t r = 0; r < marks; ++r) {
      const int32_t i = transposed_ ? r : edge, j = transposed_ ? edge : r;
      const platform::TColor colour = shape::GridLineColor(r, path, direction);
      DrawMark(Drawing, D2D, Shape, i, j, colour, r % 2 == 0);
    }
}

}  // namespace editor
