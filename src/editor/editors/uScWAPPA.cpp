// TScWAPPA, the ring editor (uScWAPPA.h).
#include "editor/editors/uScWAPPA.h"

#include <algorithm>
#include <vector>

#include "editor/editors/ShapeEditorGrid.h"
#include "editor/panes/PaneDrawing.h"
#include "settings/AppSettings.h"
#include "shape/TextureBitmaps.h"
#include "shape/model/uRelocate.h"
#include "shape/model/uScPrim.h"
#include "shape/model/uScSelect.h"
#include "shape/model/uTwistPresets.h"

namespace editor {

using platform::TPointF;
using shape::TCS;

namespace {

TDbl3D ScaledByRatios(const TDbl3D& p) {
  return {{p[0] * settings::AxisRatios[0], p[1] * settings::AxisRatios[1], p[2] * settings::AxisRatios[2]}};
}

}  // namespace

int32_t TScWAPPA::Row(const TCS& Shape) const { return std::clamp(CurrentLine, 0, Shape.CPMaxJ - 1); }

int32_t TScWAPPA::LastRingRow(const TCS& Shape) {
  return std::max(0, Shape.ScType == shape::SCTYPE_TORUS ? Shape.CPMaxJ - 2 : Shape.CPMaxJ - 1);
}

void TScWAPPA::ForEachEditable(const TCS& Shape, const TPointVisit& Visit) const {
  const int32_t row = Row(Shape);
  for (int32_t i = 0; i < Shape.CPMaxI; ++i)
    if (!Visit(i, row)) return;
}

// ---------------------------------------------------------------------------------------
// Frame and projection

void TScWAPPA::ProjectPoint(const TDbl3D& Point, TDbl2D& Pane) const {
  const TDbl2D p = RingToPlane(RingFrame, ScaledByRatios(Point));
  Pane[0] = p[0] / HalfWidth;
  Pane[1] = p[1] / HalfHeight;
}

void TScWAPPA::UnprojectPoint(const TDbl2D& Pane, const TDbl3D&, TDbl3D& Point) const {
  const TDbl3D p = PlaneToRing(RingFrame, Pane[0] * HalfWidth, Pane[1] * HalfHeight);
  Point = {{p[0] / settings::AxisRatios[0], p[1] / settings::AxisRatios[1], p[2] / settings::AxisRatios[2]}};
}

void TScWAPPA::SnapToGrid(TCS&) {}

void TScWAPPA::SyncFromShape(TCS& Shape) {
  TScBase::SyncFromShape(Shape);
  SnapGrid = 0;
  shape::CommitShapePoints(Shape);
  BuildRingFrame(Shape, Row(Shape), RingFrame);
  double minU = 3, maxU = -3, minV = 3, maxV = -3;
  for (int k = 0; k < 8; ++k) {
    const TDbl3D corner{{(k & 1 ? 1 : -1) * settings::AxisRatios[0],
                         (k & 2 ? 1 : -1) * settings::AxisRatios[1],
                         (k & 4 ? 1 : -1) * settings::AxisRatios[2]}};
    const TDbl2D p = RingToPlane(RingFrame, corner);
    minU = std::min(minU, p[0]);
    maxU = std::max(maxU, p[0]);
    minV = std::min(minV, p[1]);
    maxV = std::max(maxV, p[1]);
  }
  HalfWidth = (maxU - minU) / 2;
  HalfHeight = (maxV - minV) / 2;
  AxisScaleH = HalfWidth;
  AxisScaleV = HalfHeight;
}

void TScWAPPA::ResetForShape() {
  TScBase::ResetForShape();
  CurrentLine = shape::UpperRimRow;
  shape::FillLineMarks(SideMarks, 1);
  SelectViewSide(0);
}

// ---------------------------------------------------------------------------------------
// Generate and symmetry

void TScWAPPA::Generate(TCS& Shape) {
  const int32_t n = std::max(1, settings::AppSettings.EditLevel), line = Row(Shape);
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
  // The current ring's points that lead, in its plane about its centre (the current ring is
  // never written below, so they are found once for all the followers).
  struct TLead {
    int32_t Column;
    double U, V;
  };
  TLead leads[shape::kGridMax];
  int32_t count = 0;
  for (int32_t j = 0; j < Shape.CPMaxI; ++j) {
    if (!Shape.SP[j][line] && !shape::PointMovedSinceCommit(Shape, j, line)) continue;
    const TDbl2D p = RingToPlane(RingFrame, Shape.CP[j][line]);
    leads[count++] = {j, p[0] + RingFrame.OffsetH, p[1] + RingFrame.OffsetV};
  }
  // A current ring of radius 0 (a sphere's pole row) scales the followers by 1.
  const double radius = RingFrame.Radius;
  for (int32_t i = 0; i < Shape.CPMaxJ && count > 0; ++i) {
    if (i == line || SideMarks[i] != 1) continue;
    TRingFrame f;
    BuildRingFrame(Shape, i, f);
    const double k = radius != 0 ? f.Radius / radius : 1.0;
    for (int32_t n = 0; n < count; ++n) {
      const TLead& lead = leads[n];
      if (Shape.RP[lead.Column][i]) continue;
      Shape.CP[lead.Column][i] = PlaneToRing(f, lead.U * k - f.OffsetH, lead.V * k - f.OffsetV);
    }
  }
  BuildRingFrame(Shape, line, RingFrame);
  shape::RelocateToLodRowMarks(Shape);
}

void TScWAPPA::ConstrainPoint(TCS& Shape, int32_t I, int32_t J) {
  TSymmetryPartner partners[3];
  const int32_t count = SymmetryPartners(SymmetryMode, I, Shape.CPMaxI, false, partners);
  const TDbl2D p = RingToPlane(RingFrame, Shape.CP[I][J]);
  const double cu = -RingFrame.OffsetH, cv = -RingFrame.OffsetV;
  const double du = p[0] - cu, dv = p[1] - cv;
  for (int32_t k = 0; k < count; ++k) {
    const TSymmetryPartner& s = partners[k];
    if (Shape.SP[s.Column][J] || Shape.RP[s.Column][J]) continue;
    Shape.CP[s.Column][J] = PlaneToRing(RingFrame, cu + s.Uu * du + s.Uv * dv, cv + s.Vu * du + s.Vv * dv);
  }
}

// ---------------------------------------------------------------------------------------
// Commands

void TScWAPPA::PublishLineMarks() {
  shape::FillLineMarks(shape::ColumnMarks, 1);
  shape::CopyLineMarks(SideMarks, shape::RowMarks);
  if (CurrentLine >= 0 && CurrentLine < shape::kGridMax) shape::RowMarks[CurrentLine] = 2;
}

bool TScWAPPA::CanSpaceRing(const TCS& Shape) const { return CanSpaceRow(Shape, Row(Shape)); }

bool TScWAPPA::CanEqualIntervals(const TCS& Shape) { return CanSpaceRing(Shape); }

bool TScWAPPA::CanEqualDistance(const TCS& Shape) { return CanSpaceRing(Shape); }

void TScWAPPA::MakeRingCircular(TCS& Shape, int32_t Row) {
  const int32_t n = Shape.CPMaxI - 1;
  std::vector<TDbl2D> plane(static_cast<size_t>(n) + 1);
  for (int32_t i = 0; i < n; ++i) plane[i] = RingToPlane(RingFrame, Shape.CP[i][Row]);
  plane[n] = plane[0];
  shape::MakeCircularPolygon(n + 1, plane.data());
  for (int32_t i = 0; i < n; ++i)
    if (!Shape.RP[i][Row]) Shape.CP[i][Row] = PlaneToRing(RingFrame, plane[i][0], plane[i][1]);
}

bool TScWAPPA::EqualIntervals(TCS& Shape) {
  const int32_t row = Row(Shape);
  if (!CanSpaceRing(Shape) || !SpaceRowIntervals(Shape, row)) return false;
  if (!OpenRows(Shape)) Shape.CP[Shape.CPMaxI - 1][row] = Shape.CP[0][row];
  ApplyShape(Shape, true);
  return true;
}

bool TScWAPPA::EqualDistance(TCS& Shape) {
  const int32_t row = Row(Shape);
  if (!CanSpaceRing(Shape) || !SpaceRowDistance(Shape, row)) return false;
  if (!OpenRows(Shape)) Shape.CP[Shape.CPMaxI - 1][row] = Shape.CP[0][row];
  ApplyShape(Shape, true);
  return true;
}

bool TScWAPPA::Smooth(TCS& Shape, int32_t Kind) {
  shape::CommitShapePoints(Shape);
  BuildRingFrame(Shape, Row(Shape), RingFrame);
  const int32_t row = Row(Shape);
  return SmoothKeeping(Shape, Kind, [row](int32_t, int32_t j) { return j == row; });
}

void TScWAPPA::PrevLine(TCS& Shape) { shape::StepLineIndex(CurrentLine, +1, LastRingRow(Shape), 0); }

void TScWAPPA::NextLine(TCS& Shape) { shape::StepLineIndex(CurrentLine, -1, 0, LastRingRow(Shape)); }

void TScWAPPA::CurrentLineLabel(const TCS& Shape, std::string& Text) {
  if (Shape.ScType == shape::SCTYPE_TORUS && CurrentLine == 0)
    Text = shape::GridLabelPair(0, Shape.CPMaxJ);
  else
    Text = shape::GridLabelPair(Shape.CPMaxJ - 1 - CurrentLine, Shape.CPMaxJ);
}

void TScWAPPA::ListSideLabels(const TCS& Shape, std::vector<std::string>& Items) {
  for (int32_t k = 0; k <= LastRingRow(Shape); ++k) Items.push_back(shape::GridLabelPair(k, Shape.CPMaxJ));
}

void TScWAPPA::GetSideMarks(shape::TLineMarks& Marks, const TCS& Shape) {
  for (int32_t k = 0; k <= LastRingRow(Shape); ++k) Marks[k] = SideMarks[Shape.CPMaxJ - 1 - k];
}

void TScWAPPA::SetSideMarks(const shape::TLineMarks& Marks, TCS& Shape) {
  for (int32_t k = 0; k <= LastRingRow(Shape); ++k) {
    uint8_t& mark = SideMarks[Shape.CPMaxJ - 1 - k];
    if (mark == 0 || mark == 1) mark = Marks[k];
  }
  if (Shape.ScType == shape::SCTYPE_TORUS) SideMarks[0] = SideMarks[Shape.CPMaxJ - 1];
}

bool TScWAPPA::FillUnmarkedSides(TCS& Shape) {
  shape::ReshapeThroughMarks(Shape, SideMarks);
  ApplyShape(Shape, true);
  return true;
}

// ---------------------------------------------------------------------------------------
// Painting

void TScWAPPA::DrawShapeGdiPlus(TCS& Shape, platform::TDrawing& Graphics) {
  DrawRing(Shape, Graphics, false);
}

void TScWAPPA::DrawShapeD2D(TCS& Shape, platform::TDrawing& Canvas) { DrawRing(Shape, Canvas, true); }

void TScWAPPA::DrawRing(TCS& Shape, platform::TDrawing& Drawing, bool D2D) {
  const int32_t s = std::max(1, settings::AppSettings.ViewLevel), row = Row(Shape), ni = Shape.CPMaxI;
  std::vector<TPointF> line;
  for (int32_t i = 0; i <= s * ((ni - 1) / s); i += s) line.push_back(PointToScreenF(Shape.CP[i][row]));
  Drawing.Polyline(line, ColorToArgb(shape::GridLineColor(row, Shape.CPMaxJ, 1), 255), 1);
  for (int32_t i = 0; i < ni; ++i) {
    const platform::TColor colour = shape::GridLineColor(i, ni, 0);
    const bool square = i % 2 == 0 && row % 2 == 0;
    DrawMark(Drawing, D2D, Shape, i, row, colour, square);
  }
}

}  // namespace editor
