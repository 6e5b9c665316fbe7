#pragma once
// TScTOKOROTEN, the extrusion editor (editor mode 2): the shape as a stack of cross-sections
// along the z axis. The current row (CurrentLine) is shown as a ring seen along z, and an edit
// of it is carried over to the rows marked in SideMarks by a rotation and scaling in the xy
// plane about the extrusion axis. On a sphere whose current row is the upper rim row the pane
// works on the whole upper cap at once (cap mode) and carries the edit to the lower cap,
// mirrored, and to the wall.
//
// Pane coordinates of (x, y, z): (y, x); the depth along the extrusion never changes here.
// Lines are numbered from the top in labels and in the custom sides dialog: line L is row
// CPMaxJ - 1 - L.
#include <cstdint>

#include "editor/editors/ScEditable.h"

namespace editor {

class TScTOKOROTEN : public TScLineEditor {
 public:
  bool CapMode = false;  // sphere with CurrentLine on the upper rim row; set by SyncFromShape
  int32_t LastLine = 0;  // the last row the pane works on: CPMaxJ - 1 in cap mode, else CurrentLine

  // The first and last row the pane works on, brought into the shape's grid.
  int32_t FirstRow(const TCS& Shape) const;
  int32_t LastRow(const TCS& Shape) const;
  // The centre of the extrusion: the mean of the committed points of row 0 in the xy plane,
  // over the distinct columns (0..CPMaxI - 2 where the last column repeats the first).
  static TDbl3D ExtrusionCentre(const TCS& Shape);

  void PublishLineMarks() override;
  bool EqualIntervals(TCS& Shape) override;
  bool CanEqualIntervals(const TCS& Shape) override;
  bool EqualDistance(TCS& Shape) override;
  bool CanEqualDistance(const TCS& Shape) override;
  bool CanEqualCurves(const TCS& Shape) override;
  bool Smooth(TCS& Shape, int32_t Kind) override;
  bool TwistApplies(shape::TScType StitchType) override;
  bool CanTwist(const TCS& Shape) override;
  void ProjectPoint(const TDbl3D& Point, TDbl2D& Pane) const override;
  void UnprojectPoint(const TDbl2D& Pane, const TDbl3D& Source, TDbl3D& Point) const override;
  void Generate(TCS& Shape) override;
  void FixSeams(TCS& Shape) override;
  // The symmetry partners of a moved point on its row (SymmetryMode 1..4), each unless it is
  // selected or locked.
  void ConstrainPoint(TCS& Shape, int32_t I, int32_t J) override;
  void DrawShapeGdiPlus(TCS& Shape, platform::TDrawing& Graphics) override;
  void DrawShapeD2D(TCS& Shape, platform::TDrawing& Canvas) override;
  void SyncFromShape(TCS& Shape) override;
  void ResetForShape() override;
  bool EqualCurves(TCS& Shape) override;
  // Twists rows CapRows .. UpperRimRow whatever the stitch type, without applying the shape.
  bool Twist(TCS& Shape, int32_t Direction) override;
  void Optimize(TCS& Shape) override;
  bool CanOptimize(const TCS& Shape) override;
  void PrevLine(TCS& Shape) override;
  void NextLine(TCS& Shape) override;
  void CurrentLineLabel(const TCS& Shape, std::string& Text) override;
  void ListSideLabels(const TCS& Shape, std::vector<std::string>& Items) override;
  void GetSideMarks(shape::TLineMarks& Marks, const TCS& Shape) override;
  void SetSideMarks(const shape::TLineMarks& Marks, TCS& Shape) override;
  bool FillUnmarkedSides(TCS& Shape) override;

  void ForEachEditable(const TCS& Shape, const TPointVisit& Visit) const override;

 private:
  void GenerateCap(TCS& Shape);
  void RespaceCap(TCS& Shape, int32_t n, int32_t type);
  void GenerateRows(TCS& Shape);
  bool EqualCurvesRow(TCS& Shape, int32_t Row);
  // The highest line the current line can take: CPMaxJ - 1, on a torus CPMaxJ - 2.
  int32_t TopLine(const TCS& Shape) const;
  void DrawRings(TCS& Shape, platform::TDrawing& Drawing, bool D2D);
};

}  // namespace editor
