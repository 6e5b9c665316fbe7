#pragma once
// TScWAPPA, the ring editor (editor mode 5): one ring (a row, CurrentLine) at a time, shown flat
// in its own plane whatever its orientation in space. The rings marked in SideMarks follow the
// edited ring, each scaled by its own radius and placed in its own plane. The view side does
// not affect the projection.
#include <cstdint>

#include "editor/editors/RingFrame.h"
#include "editor/editors/ScEditable.h"

namespace editor {

class TScWAPPA : public TScLineEditor {
 public:
  TRingFrame RingFrame;  // the frame of the current ring
  // Half the extent of the model box projected into the ring plane. 1 until the first
  // SyncFromShape, so a projection before it divides by nothing smaller.
  double HalfWidth = 1;
  double HalfHeight = 1;

  // The row being edited, brought into the shape's grid.
  int32_t Row(const TCS& Shape) const;
  // The last row that can be current: CPMaxJ - 2 on a torus (its last row is its first ring
  // again), else CPMaxJ - 1.
  static int32_t LastRingRow(const TCS& Shape);
  bool CanSpaceRing(const TCS& Shape) const;

  void PublishLineMarks() override;
  bool EqualIntervals(TCS& Shape) override;
  bool CanEqualIntervals(const TCS& Shape) override;
  bool EqualDistance(TCS& Shape) override;
  bool CanEqualDistance(const TCS& Shape) override;
  bool Smooth(TCS& Shape, int32_t Kind) override;
  // (u / HalfWidth, v / HalfHeight) of RingToPlane (AxisRatios o p).
  void ProjectPoint(const TDbl3D& Point, TDbl2D& Pane) const override;
  // Always a point of the ring's plane: the reference point is not used.
  void UnprojectPoint(const TDbl2D& Pane, const TDbl3D& Source, TDbl3D& Point) const override;
  void SnapToGrid(TCS& Shape) override;
  void Generate(TCS& Shape) override;
  void ConstrainPoint(TCS& Shape, int32_t I, int32_t J) override;
  void DrawShapeGdiPlus(TCS& Shape, platform::TDrawing& Graphics) override;
  void DrawShapeD2D(TCS& Shape, platform::TDrawing& Canvas) override;
  // Commits the shape and rebuilds the frame and the half extents from it.
  void SyncFromShape(TCS& Shape) override;
  void ResetForShape() override;
  void PrevLine(TCS& Shape) override;
  void NextLine(TCS& Shape) override;
  void CurrentLineLabel(const TCS& Shape, std::string& Text) override;
  void ListSideLabels(const TCS& Shape, std::vector<std::string>& Items) override;
  void GetSideMarks(shape::TLineMarks& Marks, const TCS& Shape) override;
  // Each mark that is 0 or 1 takes the dialog's entry; on a torus row 0 then takes the mark of
  // the last row (the dialog's first entry), both being the same ring.
  void SetSideMarks(const shape::TLineMarks& Marks, TCS& Shape) override;
  bool FillUnmarkedSides(TCS& Shape) override;

  void ForEachEditable(const TCS& Shape, const TPointVisit& Visit) const override;

 protected:
  // In plane coordinates: the points on the circle of their mean radius (MakeCircularPolygon).
  void MakeRingCircular(TCS& Shape, int32_t Row) override;

 private:
  void DrawRing(TCS& Shape, platform::TDrawing& Drawing, bool D2D);
};

}  // namespace editor
