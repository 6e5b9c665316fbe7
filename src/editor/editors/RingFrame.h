#pragma once
// The local frame of one ring of the grid (a row), as the ring editor (uScWAPPA.h) shows it:
// the ring's plane turned so that its normal becomes +z and its column 0 lies on the plane's
// positive v axis. Needs no window.
#include <cstdint>

#include "shape/model/ShapeRecord.h"

namespace editor {

struct TRingFrame {
  shape::TDbl3D Centre{};
  double OffsetH = 0;  // plane coordinates of the model origin
  double OffsetV = 0;
  double Rotation[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};  // row by row
  double RotationT[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  double Radius = 0;
};

// The first two components of Rotation x (p - Centre), minus the offsets; since the offsets
// are the plane coordinates of the origin, that is the first two components of Rotation x p.
shape::TDbl2D RingToPlane(const TRingFrame& Frame, const shape::TDbl3D& P);
// RotationT x (u + OffsetH, v + OffsetV, 0) + Centre: a point of the ring's plane.
shape::TDbl3D PlaneToRing(const TRingFrame& Frame, double U, double V);

// The frame of row `Row` from the committed points DP of columns 0, q, 2q and 3q
// (q = (CPMaxI - 1) div 4): their mean is the centre and their mean distance from it the
// radius; the normal is the unit sum of the unit normals of the triangles (V0, V1, V3) and
// (V3, V1, V2) ((0, 0, 1) for a zero vector); a turn about z and a tilt about y (each the
// identity when the normal is within 0.01 of the axis) bring it to +z; a last turn about z puts
// column 0 on +v.
void BuildRingFrame(const shape::TCS& Shape, int32_t Row, TRingFrame& Frame);

}  // namespace editor
