#include "scene3d/scene/core/BoundingBoxes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace gl3d {

namespace {

struct TFace {
  int Corner[4];
  int Axis;
  bool Maximum;
};

constexpr TFace kFaces[6] = {{{0, 1, 2, 3}, 0, true},  {{4, 5, 6, 7}, 0, false}, {{0, 4, 7, 3}, 1, true},
                             {{1, 5, 6, 2}, 1, false}, {{0, 1, 5, 4}, 2, true},  {{2, 3, 7, 6}, 2, false}};

// The corner's (x, y, z) taken from the maximum (true) or the minimum of each axis.
constexpr bool kCornerFromMax[8][3] = {{true, true, true},    {true, false, true}, {true, false, false},
                                       {true, true, false},   {false, true, true}, {false, false, true},
                                       {false, false, false}, {false, true, false}};

TVector3f CornerOf(const TAxisBox& box, int corner) {
  TVector3f p;
  for (int axis = 0; axis < 3; ++axis) p[axis] = kCornerFromMax[corner][axis] ? box.Max[axis] : box.Min[axis];
  return p;
}

}  // namespace

void SetCornerBoxFace(TCornerBox& box, int face, float value) {
  const TFace& f = kFaces[face];
  for (int c : f.Corner) {
    box[c][f.Axis] = value;
    box[c].W = 1;
  }
}

bool CornerBoxesEqual(const TCornerBox& a, const TCornerBox& b) {
  return std::memcmp(&a, &b, sizeof(TCornerBox)) == 0;
}

void AddCornerBox(TCornerBox& box, const TCornerBox& other, TCornerBox& out) {
  for (const TVector4f& p : other.Corner)
    for (int face = 0; face < 6; ++face) {
      const TFace& f = kFaces[face];
      for (int c : f.Corner) {
        const float v = p[f.Axis];
        if (f.Maximum ? v > box[c][f.Axis] : v < box[c][f.Axis]) SetCornerBoxFace(box, face, v);
      }
    }
  out = box;
}

void AddAxisBox(TAxisBox& box, const TAxisBox& other) {
  for (int i = 0; i < 3; ++i) {
    box.Min[i] = std::min(box.Min[i], other.Min[i]);
    box.Max[i] = std::max(box.Max[i], other.Max[i]);
  }
}

void SetAxisBoxFromExtents(TAxisBox& box, const TVector4f& v) {
  box.Max = {std::fabs(v.X), std::fabs(v.Y), std::fabs(v.Z)};
  box.Min = {-box.Max.X, -box.Max.Y, -box.Max.Z};
}

void TransformCornerBox(TCornerBox& box, const TMatrix4f& m) {
  for (TVector4f& c : box.Corner) {
    const TVector4f v = c;
    VectorTransform4f(v, m, c);
  }
}

void TransformAxisBox(TAxisBox& box, const TMatrix4f& m) {
  TVector3f corners[8];
  for (int i = 0; i < 8; ++i) VectorTransform3f(CornerOf(box, i), m, corners[i]);
  TAxisBox out{corners[6], corners[6]};  // the transformed minimum corner
  for (const TVector3f& p : corners) IncludeInAxisBox(out, p);
  box = out;
}

void ScaleAxisBox(TAxisBox& box, const TVector3f& s) {
  ScaleVectorByVector3f(box.Min, s);
  ScaleVectorByVector3f(box.Max, s);
}

void IncludeInAxisBox(TAxisBox& box, const TVector3f& p) {
  for (int i = 0; i < 3; ++i) {
    if (p[i] < box.Min[i]) box.Min[i] = p[i];
    if (p[i] > box.Max[i]) box.Max[i] = p[i];
  }
}

void CornerBoxToAxisBox(const TCornerBox& box, TAxisBox& out) {
  out.Min = {box[0].X, box[0].Y, box[0].Z};
  out.Max = out.Min;
  for (const TVector4f& c : box.Corner) IncludeInAxisBox(out, {c.X, c.Y, c.Z});
}

void AxisBoxToCornerBox(const TAxisBox& box, TCornerBox& out) {
  for (int axis = 0; axis < 3; ++axis) {
    SetCornerBoxFace(out, 2 * axis, box.Max[axis]);
    SetCornerBoxFace(out, 2 * axis + 1, box.Min[axis]);
  }
}

void OffsetCornerBox(TCornerBox& box, const TVector3f& v) {
  for (TVector4f& c : box.Corner) {
    c.X += v.X;
    c.Y += v.Y;
    c.Z += v.Z;
    c.W = 1;
  }
}

bool PointInAxisBox(const TVector3f& p, const TAxisBox& box) {
  for (int i = 0; i < 3; ++i)
    if (p[i] < box.Min[i] || p[i] > box.Max[i]) return false;
  return true;
}

bool RayCastAxisBox(const TVector3f& origin, const TVector3f& direction, const TAxisBox& box, float& tNear,
                    float& tFar) {
  float nearT = -std::numeric_limits<float>::infinity();
  float farT = std::numeric_limits<float>::infinity();
  for (int i = 0; i < 3; ++i) {
    if (direction[i] != 0) {
      const double inverse = 1.0 / static_cast<double>(direction[i]);
      float t1 = static_cast<float>((box.Min[i] - origin[i]) * inverse);
      float t2 = static_cast<float>((box.Max[i] - origin[i]) * inverse);
      if (t1 > t2) std::swap(t1, t2);
      nearT = std::max(nearT, t1);
      farT = std::min(farT, t2);
      if (nearT > farT || farT < 0) return false;
    } else if (origin[i] < box.Min[i] || origin[i] > box.Max[i]) {
      return false;
    }
  }
  tNear = nearT;
  tFar = farT;
  return true;
}

}  // namespace gl3d
