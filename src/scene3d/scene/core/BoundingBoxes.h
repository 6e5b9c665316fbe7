#pragma once
// Bounding boxes of scene objects: an eight-corner box that any matrix can carry, and an
// axis-aligned box of a minimum and a maximum corner. Extents, culling and picking use them.
//
// Corner numbering (M the maximum, m the minimum of an axis): 0 (Mx, My, Mz), 1 (Mx, my, Mz),
// 2 (Mx, my, mz), 3 (Mx, My, mz), 4 (mx, My, Mz), 5 (mx, my, Mz), 6 (mx, my, mz), 7 (mx, My, mz).
// Faces, each with the axis it fixes: 0 (0 1 2 3) x max, 1 (4 5 6 7) x min, 2 (0 4 7 3) y max,
// 3 (1 5 6 2) y min, 4 (0 1 5 4) z max, 5 (2 3 7 6) z min.
#include "scene3d/base/VectorGeometry.h"

namespace gl3d {

struct TCornerBox {
  TVector4f Corner[8];
  TVector4f& operator[](int i) { return Corner[i]; }
  const TVector4f& operator[](int i) const { return Corner[i]; }
};

struct TAxisBox {
  TVector3f Min;
  TVector3f Max;
};

// The four corners of the face get the face's axis := value and w := 1.
void SetCornerBoxFace(TCornerBox& box, int face, float value);
// Byte-for-byte equality of the eight corners.
bool CornerBoxesEqual(const TCornerBox& a, const TCornerBox& b);
// Grows box in place: every corner p of other, faces 0 to 5 in turn and each face's corners in
// their order, moves a face out to p where p lies beyond that corner on the face's axis; then
// out := box.
void AddCornerBox(TCornerBox& box, const TCornerBox& other, TCornerBox& out);
// The union: minimum of the minima, maximum of the maxima.
void AddAxisBox(TAxisBox& box, const TAxisBox& other);
// Maximum := (|x|, |y|, |z|) of v, minimum its negation.
void SetAxisBoxFromExtents(TAxisBox& box, const TVector4f& v);
// Each corner := corner·M.
void TransformCornerBox(TCornerBox& box, const TMatrix4f& m);
// The bounds of the box's eight corners, each transformed as a point.
void TransformAxisBox(TAxisBox& box, const TMatrix4f& m);
void ScaleAxisBox(TAxisBox& box, const TVector3f& s);
void IncludeInAxisBox(TAxisBox& box, const TVector3f& p);
void CornerBoxToAxisBox(const TCornerBox& box, TAxisBox& out);
// Face 2i := maximum i and face 2i + 1 := minimum i for each axis i.
void AxisBoxToCornerBox(const TAxisBox& box, TCornerBox& out);
// Adds v to every corner and sets w := 1.
void OffsetCornerBox(TCornerBox& box, const TVector3f& v);
// Bounds included.
bool PointInAxisBox(const TVector3f& p, const TAxisBox& box);
// The slab test: whether the ray origin + t·direction (t >= 0) meets the box. On a hit tNear and
// tFar are the entry and exit parameters (tNear < 0 when the origin is inside); on a miss they
// are left alone. An axis the ray runs parallel to is a miss when the origin lies outside its
// slab.
bool RayCastAxisBox(const TVector3f& origin, const TVector3f& direction, const TAxisBox& box, float& tNear,
                    float& tFar);

}  // namespace gl3d
