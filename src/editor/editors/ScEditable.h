#pragma once
// TScEditable: what the six shape editors share on top of TScBase (editor/panes/ScBase.h):
// each names the points its pane edits, in the order its hit test scans them, and gets from
// that the hit test, the first-hit click selection, the rubber band, the frame drags and
// warps, the magnet and the snap over those points. TScLineEditor adds the side marks of the
// editors that work one line at a time (lathe, extrusion, ring) with their Sides commands,
// and the spacing of one ring that the extrusion, torus bend and ring editors share.
#include <cstdint>
#include <functional>

#include "editor/panes/ScBase.h"
#include "shape/model/LineMarks.h"

namespace editor {

// Visits one point (column, row); answering false ends the walk.
using TPointVisit = std::function<bool(int32_t I, int32_t J)>;

class TScEditable : public TScBase {
 public:
  // Within "Pointer Size" of (X, Y) in both screen axes (bounds included).
  bool IsNear(const TCS& Shape, int32_t I, int32_t J, int32_t X, int32_t Y) const;
  bool IsInside(const TCS& Shape, int32_t I, int32_t J, int32_t Left, int32_t Top, int32_t Right,
                int32_t Bottom) const;

  // The first editable point within "Pointer Size" of (X, Y).
  bool HitPoint(const TCS& Shape, int32_t X, int32_t Y) override;
  // That point: with ShiftHeld its flag inverted, otherwise the whole selection cleared and
  // its flag set; Value reports the new flag.
  bool ClickSelect(TCS& Shape, int32_t X, int32_t Y, bool ShiftHeld, uint8_t& Value) override;
  uint8_t RubberBandValue(const TCS& Shape, int32_t Left, int32_t Top, int32_t Right,
                          int32_t Bottom) override;
  void RubberBandSelect(TCS& Shape, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom,
                        uint8_t Value) override;
  // The selected, unlocked editable points from DP through the map into CP.
  void TransformSelection(TCS& Shape, const TDbl2D& PressPane, const TDbl2D& CurrentPane,
                          const TFrameBuild& Build, TFrameMap Map, bool ShiftHeld,
                          shape::TFrameDrag& Transform) override;
  void WarpSelection(TCS& Shape, TWarpMap WarpMap) override;
  // The selected, unlocked editable points onto R0's pivot in the pane (their depth stays),
  // then ApplyShape (Shape, true).
  bool Magnet(TCS& Shape) override;
  // The selected, unlocked editable points to the nearest multiple of "Grid" / 128 (x, y, z).
  void SnapToGrid(TCS& Shape) override;

  // The editable points in scan order.
  virtual void ForEachEditable(const TCS& Shape, const TPointVisit& Visit) const = 0;

 protected:
  // The spacing commands on row `Row` over its columns, in the pane (a ring whose last column
  // repeats its first; a plane's row is open and only its run is spaced, between its ends). Whole ring selected: a circle (MakeCircularPolygon); one cyclic run of
  // more than 2 selected: even steps on the straight line between its ends, each written point
  // followed by ConstrainPoint. Answer whether the row was handled.
  bool SpaceRowIntervals(TCS& Shape, int32_t Row);
  // Whole ring: the closed polyline of all CPMaxI points to equal arc length, selected unlocked
  // columns 1..CPMaxI - 2 written; one run of at least 3: the points strictly between its ends.
  bool SpaceRowDistance(TCS& Shape, int32_t Row);
  // Whether the row is wholly selected or holds one cyclic run of more than 2 selected points.
  bool CanSpaceRow(const TCS& Shape, int32_t Row) const;
  // Non-zero selection flags of row `Row` over columns 0..CPMaxI - 2 (a plane's open row: over
  // all its columns).
  int32_t SelectedInRow(const TCS& Shape, int32_t Row) const;
  // A plane has no seam: its rows are open lines, and its last column is no copy of column 0.
  static bool OpenRows(const TCS& Shape);
  // On an open row: the selected points form one run of more than 2 from Start to End.
  bool OpenRowRun(const TCS& Shape, int32_t Row, int32_t& Start, int32_t& End) const;
  // The wholly selected ring of SpaceRowIntervals made circular: its pane points through
  // MakeCircularPolygon, each unlocked column 0..CPMaxI - 2 unprojected against its DP.
  virtual void MakeRingCircular(TCS& Shape, int32_t Row);
  // The same along column `Column` over its rows, for an open line: the selected rows, when
  // more than 2, evenly on the straight line between the first and the last (Intervals), or
  // to equal arc length along their polyline (Distance); locked rows stay.
  void SpaceColumnIntervals(TCS& Shape, int32_t Column);
  void SpaceColumnDistance(TCS& Shape, int32_t Column);
  // The mark of point (I, J) in `Colour`, with its lock, selection and group, by the pipeline.
  void DrawMark(platform::TDrawing& Drawing, bool D2D, const TCS& Shape, int32_t I, int32_t J,
                platform::TColor Colour, bool Square);
  // Writes the symmetry partners of moved point (I, J) on its row (SymmetryMode): each partner
  // that is neither selected nor locked takes the mapped pane point, unprojected against its DP.
  void WritePanePartners(TCS& Shape, int32_t I, int32_t J, bool BendTwin);
  // The selected, unlocked editable points from DP through Map in the pane into CP.
  void MapEditable(TCS& Shape, const std::function<TDbl2D(const TDbl2D&)>& Map);
  // Every point of the grid but those `keep` names gets its committed point back.
  void RestoreExcept(TCS& Shape, const std::function<bool(int32_t I, int32_t J)>& keep);
  // Commit, SmoothGrid, the points `keep` does not name back to DP, ApplyShape (Shape, true).
  bool SmoothKeeping(TCS& Shape, int32_t Kind, const std::function<bool(int32_t I, int32_t J)>& keep);
};

class TScLineEditor : public TScEditable {
 public:
  TScLineEditor();

  shape::TLineMarks SideMarks{};  // one mark per line: 1 it follows the edited line, 0 not

  void ToggleCurrentLine() override;
  bool IsCurrentLineMarked() override;
  bool MarkAllSides(bool Value) override;
  bool MarkSidesEveryN(int32_t N) override;
  bool ReverseSides() override;
  bool CanCustomSides() override;
};

}  // namespace editor
