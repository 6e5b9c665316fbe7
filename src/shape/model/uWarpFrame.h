#pragma once
// The warp frame round the selected points, in pane coordinates: its geometry in the shape
// record, the transform that each kind of handle drag makes, and the three ways a transform
// maps a point (affine about a fixed point, bilinear corner warp, cubic curve patch).
//
// A frame of zero width or height cannot be scaled: a drag whose factor would divide by that
// zero extent makes the identity instead (the maker answers false), so the points stay put.
#include "shape/model/ShapeRecord.h"

namespace shape {

// Affine form of a frame transform: result = f + M (point - f).
struct TFrameTransform {
  double m00 = 1.0, m01 = 0.0;
  double m10 = 0.0, m11 = 1.0;
  double fx = 0.0, fy = 0.0;  // the fixed point
};

// Corner-warp form: the anchor corner, the frame extents measured from it, and the offset of
// the mouse point from it. The corner anchor + (ex, ey) moves to anchor + (ox, oy).
struct TCornerWarp {
  double ax = 0.0, ay = 0.0;
  double ex = 0.0, ey = 0.0;
  double ox = 0.0, oy = 0.0;
};

// Drag modes of the selection frame.
enum TFrameDragMode : int {
  FRAME_CORNER_00 = 1,
  FRAME_CORNER_01 = 2,
  FRAME_CORNER_10 = 3,
  FRAME_CORNER_11 = 4,
  FRAME_EDGE_Y0 = 5,
  FRAME_EDGE_Y1 = 6,
  FRAME_EDGE_X0 = 7,
  FRAME_EDGE_X1 = 8,
  FRAME_ROTATE = 9,
  FRAME_CENTRED_CORNER_00 = 101,
  FRAME_CENTRED_CORNER_01 = 102,
  FRAME_CENTRED_CORNER_10 = 103,
  FRAME_CENTRED_CORNER_11 = 104,
  FRAME_CENTRED_EDGE_Y0 = 105,
  FRAME_CENTRED_EDGE_Y1 = 106,
  FRAME_CENTRED_EDGE_X0 = 107,
  FRAME_CENTRED_EDGE_X1 = 108,
  FRAME_WARP_00 = 201,
  FRAME_WARP_01 = 202,
  FRAME_WARP_10 = 203,
  FRAME_WARP_11 = 204,
};

// On R1: r01 := (r00.x, r11.y), r10 := (r11.x, r00.y); with `centrePivot` the pivot goes to the
// frame's centre, on each axis where the frame is wider than 1/128 (else onto r00's coordinate).
void SetFrameCorners(TCS& cs, bool centrePivot);
// On R1: the same two corners, then the eight edge handles at the thirds of their edges.
void ResetFrameHandles(TCS& cs);

// atan2(p.y - c.y, p.x - c.x); straight up or down (+-pi/2) when p.x = c.x.
double FrameAngle(const TDbl2D& p, const TDbl2D& c);

// Transform makers. They read R0's corners and pivot and R1's pivot; `start` is where the drag
// began, `mouse` where the mouse is now. Each answers false, with the identity, when the frame's
// extent the mode divides by is zero.
//   modes 1..4: the corner lands on the mouse point, the opposite corner stays.
bool FrameCornerScale(const TCS& cs, int mode, const TDbl2D& mouse, TFrameTransform& t);
//   modes 5..8: the edge lands on the mouse point, the opposite edge stays.
bool FrameEdgeScale(const TCS& cs, int mode, const TDbl2D& mouse, TFrameTransform& t);
//   mode 9: turns about R0's pivot by the angle swept about R1's pivot; with `snap` the angle
//   goes to the nearest multiple of settings::GridAngleStep.
bool FrameRotation(const TCS& cs, const TDbl2D& start, const TDbl2D& mouse, bool snap, TFrameTransform& t);
//   modes 101..104: uniform scale about the centre by the mean of the two axis ratios.
bool FrameCentredCornerScale(const TCS& cs, int mode, const TDbl2D& mouse, TFrameTransform& t);
//   modes 105..108: one axis scaled about the centre.
bool FrameCentredEdgeScale(const TCS& cs, int mode, const TDbl2D& mouse, TFrameTransform& t);
//   modes 201..204: the bilinear warp that moves the named corner onto the mouse point.
bool FrameCornerWarp(const TCS& cs, int mode, const TDbl2D& mouse, TCornerWarp& w);

// One drag of any mode, for callers that keep the mode as a number.
struct TFrameDrag {
  bool Warp = false;  // modes 201..204 use Corner, every other mode Affine
  TFrameTransform Affine;
  TCornerWarp Corner;
};
// Builds the transform of `mode`; false (and the identity) for an unknown mode or a frame the
// mode cannot scale.
bool MakeFrameDrag(const TCS& cs, int mode, const TDbl2D& start, const TDbl2D& mouse, bool snap,
                   TFrameDrag& d);
TDbl2D ApplyFrameDrag(const TFrameDrag& d, const TDbl2D& p);

// Appliers.
TDbl2D ApplyFrameTransform(const TFrameTransform& t, const TDbl2D& p);
// Bilinear: keeps the anchor and its two neighbouring corners; the point is left as it was
// when an extent is zero.
TDbl2D ApplyCornerWarp(const TCornerWarp& w, const TDbl2D& p);
// Maps a point of the committed frame f0 into the curved patch of f1 (corners and edge
// handles as cubic Bezier control points). Points outside f0 map as if on its border.
TDbl2D CurveWarpPoint(const TRengeD& f0, const TRengeD& f1, const TDbl2D& p);

}  // namespace shape
