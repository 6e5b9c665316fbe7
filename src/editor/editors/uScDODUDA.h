#pragma once
// TScDODUDA, the six-sided point editor (editor mode 0): the pane shows the whole grid as a
// wire mesh seen from one of the six view sides, with a mark on every point, and the user
// selects, moves, turns, scales and warps the points themselves. Its Generate only relocates
// points for the coarse edit levels. Each view side can carry its own background picture, and
// one picture of 3:2 or 3:1 can be split over all six sides at once.
//
// With "DODUDA Surface" on only the points of triangles facing the viewer are editable (and
// drawn): SurfaceMask, rebuilt by every paint, holds them, and the hit tests between two paints
// use the mask of the last paint.
//
// The edit-line marks: two arrays of 257 bytes, EditColumnMarks and EditRowMarks, all 1 at
// start and after ResetForShape, that the Edit Line dialog edits. PublishLineMarks publishes
// them, so the texture overlay shows the unmarked lines in silver; with "DODUDA Line" on the
// mesh draws the segments of unmarked columns and rows in silver ($C0C0C0) too.
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "editor/editors/ScEditable.h"
#include "platform/gfx/Bitmap.h"

namespace editor {

// Size of a side's background picture.
constexpr int32_t SideBackgroundSize = 511;

// A tile of a picture: `target` becomes SideBackgroundSize x SideBackgroundSize, white, with the
// picture's rectangle (X, Y, X + 511, Y + 511) copied onto it (what lies outside the picture
// stays white).
void CopyBackgroundTile(const platform::TBitmap& picture, int32_t X, int32_t Y, platform::TBitmap& target);

class TScDODUDA : public TScEditable {
 public:
  TScDODUDA();

  shape::TASP256 SurfaceMask{};                      // 1 for points of triangles facing the viewer
  std::array<platform::TBitmap, 6> SideBackgrounds;  // per view side; empty until loaded
  shape::TLineMarks EditColumnMarks{};
  shape::TLineMarks EditRowMarks{};

  // The facing test of triangle (a, b, c): FaceNormalDbl3D (a, b, c) . viewing direction < 0.
  bool Faces(const TDbl3D& A, const TDbl3D& B, const TDbl3D& C) const;
  // Point[DepthAxis] x DepthSign.
  double DepthOf(const TDbl3D& Point) const;
  // Every point while "DODUDA Surface" is off, else the points of the mask.
  bool IsEditable(int32_t I, int32_t J) const;
  // SurfaceMask over the grid at step 1, whatever the setting.
  void BuildSurfaceMask(const TCS& Shape);

  void PublishLineMarks() override;
  bool EqualIntervals(TCS& Shape) override;
  bool CanEqualIntervals(const TCS& Shape) override;
  bool EqualDistance(TCS& Shape) override;
  bool CanEqualDistance(const TCS& Shape) override;
  bool Smooth(TCS& Shape, int32_t Kind) override;
  void Generate(TCS& Shape) override;
  void FixSeams(TCS& Shape) override;
  // Of the editable points within "Pointer Size", the one with the largest DepthOf (the first
  // found on equal depth).
  bool ClickSelect(TCS& Shape, int32_t X, int32_t Y, bool ShiftHeld, uint8_t& Value) override;
  // Transforms, warps and the magnet act on every selected, unlocked point, editable or not.
  void TransformSelection(TCS& Shape, const TDbl2D& PressPane, const TDbl2D& CurrentPane,
                          const TFrameBuild& Build, TFrameMap Map, bool ShiftHeld,
                          shape::TFrameDrag& Transform) override;
  void WarpSelection(TCS& Shape, TWarpMap WarpMap) override;
  bool Magnet(TCS& Shape) override;
  void SnapToGrid(TCS& Shape) override;
  // The six-sided editor keeps the base's projection and constrains no point, so its move is
  // the base's without the walk that constrains each moved point (a drag moves every point).
  void ProjectPoint(const TDbl3D& Point, TDbl2D& Pane) const final;
  void UnprojectPoint(const TDbl2D& Pane, const TDbl3D& Source, TDbl3D& Point) const final;
  bool KeepsSideProjection() const final;
  void ConstrainPoint(TCS& Shape, int32_t I, int32_t J) final;
  void MoveSelected(TCS& Shape, const TDbl2D& Delta) override;
  void DrawBackgroundGdiPlus(platform::TDrawing& Graphics) override;
  void DrawBackgroundD2D(platform::TDrawing& Canvas) override;
  void DrawShapeGdiPlus(TCS& Shape, platform::TDrawing& Graphics) override;
  void DrawShapeD2D(TCS& Shape, platform::TDrawing& Canvas) override;
  void SyncFromShape(TCS& Shape) override;
  // SelectViewSide (0) and every edit-line mark 1.
  void ResetForShape() override;
  // The base's side, then BackgroundLoaded := that side has a picture.
  void SelectViewSide(int32_t Side) override;
  // Loads, resamples (Lanczos3), fades and tiles a picture: 3:2 with "Auto Split BkImage" to
  // 1533 x 1022 over all six sides, 3:1 to 1533 x 511 over the sides in pairs, otherwise to
  // 511 x 511 into the current side. False, with every picture and flag unchanged, on any
  // failure.
  bool LoadBackground(const std::string& FileName) override;

  void ForEachEditable(const TCS& Shape, const TPointVisit& Visit) const override;

 private:
  // Segments gathered per colour in the order the colours first come, drawn in one call each;
  // the lists are kept from paint to paint.
  class TSegmentBatches {
   public:
    void Start();
    void Add(platform::TColor Colour, platform::TPointF A, platform::TPointF B);
    void Draw(platform::TDrawing& Drawing) const;

   private:
    std::vector<platform::TPointF>& Batch(platform::TColor Colour);
    std::vector<std::pair<platform::TColor, std::vector<platform::TPointF>>> batches_;
    size_t used_ = 0;
  };

  // facing_ := per cell of the grid (i x (CPMaxJ - 1) + j), bit 0 for its triangle (i, j),
  // (i + 1, j), (i, j + 1) facing the viewer and bit 1 for (i + 1, j + 1), (i, j + 1), (i + 1, j).
  void FindFacing(const TCS& Shape);
  // SurfaceMask from facing_.
  void MaskFromFacing(const TCS& Shape);
  void DrawMesh(TCS& Shape, platform::TDrawing& Drawing, bool D2D);

  std::vector<uint8_t> facing_;
  TSegmentBatches segments_;
};

}  // namespace editor
