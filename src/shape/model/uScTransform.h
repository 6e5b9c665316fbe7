#pragma once
// Whole-grid transforms: flips, half-mirrors, inside-out, grid rotations and cyclic offsets,
// magnet, the four smoothing filters and the equal-arc-length redistribution of a polyline.
//
// The symmetry plane of the flips and mirrors is the button the user pressed in the symmetry
// dialog: 0 "XY", 1 "YZ", 2 "ZX", -1 when the dialog was closed otherwise.
#include <cstdint>

#include "shape/model/ShapeRecord.h"

namespace shape {

// Program-wide work copy of points; an operation copies what it reads into it first, so every
// result is computed from the points as they were before the operation.
extern TACP256 ScratchGrid;

// Captions of the symmetry dialog for each command, and the button given the focus.
constexpr const char* kFlipVerticalCaption = "Flip Virtical";
constexpr const char* kFlipHorizontalCaption = "Flip Horizontal";
constexpr const char* kMirrorVerticalCaption = "Mirror 08-GG From 00-G7";
constexpr const char* kMirrorHorizontalCaption = "Mirror 80-GG From 00-7G";
constexpr int32_t kFlipVerticalDefaultButton = 1;
constexpr int32_t kFlipHorizontalDefaultButton = 0;
// The plane across which the middle row (vertical) or middle column (horizontal) spreads least.
int32_t MirrorVerticalDefaultButton(const TCS& cs);
int32_t MirrorHorizontalDefaultButton(const TCS& cs);

// A half turn about the axis of `button` (both index directions reversed); locked points stay.
// With button -1 nothing changes.
void FlipShapeVertical(TCS& cs, int32_t button);
// The axis of `button` negated and the column order reversed; locked points stay.
void FlipShapeHorizontal(TCS& cs, int32_t button);
// Rows 0..m-1 become the mirror image of the last m rows (m = (CPMaxJ - 1) div 2) about the
// middle row of each column; with button -1 no point moves but the shape is still clamped and
// counted.
void MirrorShapeVertical(TCS& cs, int32_t button);
// The last m columns become the mirror image of columns 0..m-1 (m = (CPMaxI - 1) div 2).
void MirrorShapeHorizontal(TCS& cs, int32_t button);
// Reverses the column order of every row (locks ignored).
void TurnShapeInsideOut(TCS& cs);
// A quarter turn exchanges the grid sizes and turns the points with their selection, lock and
// group flags; a half turn reverses both index directions of the points.
void RotateShapeGrid(TCS& cs, bool quarterTurn, bool halfTurn);
// Shifts the point layout cyclically; seam duplicates are left out of the cycle and restored.
void OffsetShapeGrid(TCS& cs, int32_t columnShift, int32_t rowShift);
// Moves every selected unlocked point to the centroid of the selection.
void MagnetSelectedPoints(TCS& cs);

// Smoothing kernels.
constexpr int32_t SMOOTH_GAUSS = 0;
constexpr int32_t SMOOTH_MOVING_AVERAGE = 1;
constexpr int32_t SMOOTH_HORIZONTAL_AVERAGE = 2;
constexpr int32_t SMOOTH_VERTICAL_AVERAGE = 3;
// Smooths the selected unlocked points (only when more than one is selected); a sphere's poles
// are always collapsed to their mean.
void SmoothGrid(TCS& cs, int32_t kernel);

struct TPolyline3D {
  int32_t Count;
  TDbl3D P[kGridMax];
};
// Moves the inner points to equal arc length along the polyline; the ends stay. A polyline of
// zero (or not finite) length is left as it is.
void EqualizePolyline(TPolyline3D& line);

}  // namespace shape
