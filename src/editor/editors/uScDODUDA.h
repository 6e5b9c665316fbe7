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
  void DrawMesh(TCS& Shape, platform::TDrawing& Drawing, bool D2D);
};

}  // namespace editor
