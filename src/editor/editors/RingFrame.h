#pragma once
// The local frame of one ring of the grid (a row), as the ring editor (uScWAPPA.h) shows it:
// the ring's plane turned so that its normal becomes +z and its column 0 lies on the plane's
// positive v axis. Needs no window.
#include <cstdint>

#include "shape/model/Dbl3D.h"
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

// M x p, row by row.
inline shape::TDbl3D MultiplyRotation(const double (&m)[3][3], const shape::TDbl3D& p) {
  return {{m[0][0] * p[0] + m[0][1] * p[1] + m[0][2] * p[2], m[1][0] * p[0] + m[1][1] * p[1] + m[1][2] * p[2],
           m[2][0] * p[0] + m[2][1] * p[1] + m[2][2] * p[2]}};
}

// The first two components of Rotation x (p - Centre), minus the offsets; since the offsets
// are the plane coordinates of the origin, that is the first two components of Rotation x p.
// Inline, as the ring editor carries every point of the grid through these two.
inline shape::TDbl2D RingToPlane(const TRingFrame& Frame, const shape::TDbl3D& P) {
  const shape::TDbl3D r = MultiplyRotation(Frame.Rotation, shape::SubDbl3D(P, Frame.Centre));
  return {{r[0] - Frame.OffsetH, r[1] - Frame.OffsetV}};
}
// RotationT x (u + OffsetH, v + OffsetV, 0) + Centre: a point of the ring's plane.
inline shape::TDbl3D PlaneToRing(const TRingFrame& Frame, double U, double V) {
  return shape::AddDbl3D(MultiplyRotation(Frame.RotationT, {{U + Frame.OffsetH, V + Frame.OffsetV, 0}}),
                         Frame.Centre);
}

// The frame of row `Row` from the committed points DP of columns 0, q, 2q and 3q
// (q = (CPMaxI - 1) div 4): their mean is the centre and their mean distance from it the
// radius; the normal is the unit sum of the unit normals of the triangles (V0, V1, V3) and
// (V3, V1, V2) ((0, 0, 1) for a zero vector); a turn about z and a tilt about y (each the
// identity when the normal is within 0.01 of the axis) bring it to +z; a last turn about z puts
// column 0 on +v.
void BuildRingFrame(const shape::TCS& Shape, int32_t Row, TRingFrame& Frame);

}  // namespace editor
