#pragma once
// TScGYRAN, the lathe editor (editor mode 1): the shape as a surface of revolution about the z
// axis. One column of the grid, the profile (CurrentLine, 0..CPMaxI - 2), is drawn and edited
// in the pane as a curve (distance from the axis, height); each edit is swept about the axis
// onto the other columns marked in SideMarks. Each column is a meridian, each row a ring; the
// last column is the seam copy of column 0.
//
// Pane coordinates of (x, y, z): (sqrt(x^2 + y^2) / ProfileScale, -z).
#include <cstdint>

#include "editor/editors/ScEditable.h"

namespace editor {

class TScGYRAN : public TScLineEditor {
 public:
  double ProfileAngle = 0;  // the profile column's direction in the xy plane, radians
  // 1 / max(|cos|, |sin|) of ProfileAngle, at least 1. Starts at 1 (not 0): it divides in
  // ProjectPoint, and nothing but the callers' order would otherwise put a SyncFromShape first.
  double ProfileScale = 1;

  // The profile column, CurrentLine brought into 0..CPMaxI - 2 of the shape.
  int32_t ProfileColumn(const TCS& Shape) const;

  void PublishLineMarks() override;
  bool EqualIntervals(TCS& Shape) override;
  bool CanEqualIntervals(const TCS& Shape) override;
  bool EqualDistance(TCS& Shape) override;
  bool CanEqualDistance(const TCS& Shape) override;
  bool Smooth(TCS& Shape, int32_t Kind) override;
  bool TwistApplies(shape::TScType StitchType) override;
  bool CanTwist(const TCS& Shape) override;
  void ProjectPoint(const TDbl3D& Point, TDbl2D& Pane) const override;
  // The radius is |u| x ProfileScale (a profile point never crosses the axis), in the
  // direction of the reference point from the axis (along ProfileAngle when it lies on it).
  void UnprojectPoint(const TDbl2D& Pane, const TDbl3D& Source, TDbl3D& Point) const override;
  void Generate(TCS& Shape) override;
  void FixSeams(TCS& Shape) override;
  void DrawShapeGdiPlus(TCS& Shape, platform::TDrawing& Graphics) override;
  void DrawShapeD2D(TCS& Shape, platform::TDrawing& Canvas) override;
  void DrawCubeGdiPlus(platform::TDrawing& Graphics) override;
  void DrawCubeD2D(platform::TDrawing& Canvas) override;
  void DrawAxesGdiPlus(platform::TDrawing& Graphics) override;
  void DrawAxesD2D(platform::TDrawing& Canvas) override;
  void DrawSurfaceGdiPlus(TCS& Shape, platform::TDrawing& Graphics) override;
  void DrawSurfaceD2D(TCS& Shape, platform::TDrawing& Canvas) override;
  void SyncFromShape(TCS& Shape) override;
  void ResetForShape() override;
  int32_t SelectedCount(const TCS& Shape) override;
  bool Twist(TCS& Shape, int32_t Direction) override;
  void PrevLine(TCS& Shape) override;
  void NextLine(TCS& Shape) override;
  void CurrentLineLabel(const TCS& Shape, std::string& Text) override;
  void ListSideLabels(const TCS& Shape, std::vector<std::string>& Items) override;
  void GetSideMarks(shape::TLineMarks& Marks, const TCS& Shape) override;
  void SetSideMarks(const shape::TLineMarks& Marks, TCS& Shape) override;
  bool FillUnmarkedSides(TCS& Shape) override;
  // 0 Ball, 1 Cap, 2 Cone, 3 Bevel on the marked columns, each keeping its own meridian;
  // 4 Fill Pillar and 5 Cushion (not on a torus). Ends with ApplyShape (Shape, false).
  void RoundPreset(TCS& Shape, int32_t Kind) override;

  void ForEachEditable(const TCS& Shape, const TPointVisit& Visit) const override;

  // The sector of ProfileAngle for the colours of the horizontal axis: round((angle - 1/(8 pi)
  // + 2 pi) x 4 / pi) mod 8.
  int32_t AxisOctant() const;

 private:
  void RespaceProfile(TCS& Shape, int32_t Profile);
  void RoundPresetTorus(TCS& Shape, int32_t Kind);
  void RoundPresetColumn(TCS& Shape, int32_t Kind, int32_t Column);
  // Writes pane point (u, v) to point (i, j) unless it or the profile's point of row j is locked.
  void PresetPoint(TCS& Shape, int32_t I, int32_t J, double U, double V);
  void EqualIntervalsTorus(TCS& Shape, int32_t Profile);
  void EqualDistanceTorus(TCS& Shape, int32_t Profile);
  void DrawProfile(TCS& Shape, platform::TDrawing& Drawing, bool D2D);
  void DrawSurfaceWith(const TCS& Shape, platform::TDrawing& Drawing, platform::TArgb Colour);
  void DrawAxesWith(platform::TDrawing& Drawing, uint8_t Alpha);
};

}  // namespace editor
