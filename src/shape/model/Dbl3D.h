#pragma once
// Small double-precision vector routines on TDbl3D. They are inline: the mesh builders call them
// for every cell and corner of grids of up to 257 x 257 points.
#include <cmath>

#include "shape/model/ShapeRecord.h"

namespace shape {

// Each component differs by at most 1e-05.
inline bool SameDbl3D(const TDbl3D& a, const TDbl3D& b) {
  for (int k = 0; k < 3; ++k)
    if (!(std::fabs(a[k] - b[k]) <= 1e-05)) return false;
  return true;
}

// All three components exactly equal.
inline bool EqualDbl3D(const TDbl3D& a, const TDbl3D& b) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; }

inline double Dbl3DLength(const TDbl3D& a) { return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]); }

inline TDbl3D AddDbl3D(const TDbl3D& a, const TDbl3D& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }

inline TDbl3D SubDbl3D(const TDbl3D& a, const TDbl3D& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

inline void IncDbl3D(TDbl3D& a, const TDbl3D& b) {
  a[0] += b[0];
  a[1] += b[1];
  a[2] += b[2];
}

inline double DotDbl3D(const TDbl3D& a, const TDbl3D& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

inline TDbl3D CrossDbl3D(const TDbl3D& a, const TDbl3D& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// a / |a|; the zero vector when the length is not greater than 0.
inline TDbl3D NormalizeDbl3D(const TDbl3D& a) {
  const double len = Dbl3DLength(a);
  if (!(len > 0)) return {0, 0, 0};
  return {a[0] / len, a[1] / len, a[2] / len};
}

// a / |a|; (0, 0, 1) when the length is not greater than 0.
inline TDbl3D UnitDbl3D(const TDbl3D& a) {
  const double len = Dbl3DLength(a);
  if (!(len > 0)) return {0, 0, 1};
  return {a[0] / len, a[1] / len, a[2] / len};
}

// Normalize(b - a) x Normalize(c - a), not normalised again.
inline TDbl3D TriangleNormal(const TDbl3D& a, const TDbl3D& b, const TDbl3D& c) {
  return CrossDbl3D(NormalizeDbl3D(SubDbl3D(b, a)), NormalizeDbl3D(SubDbl3D(c, a)));
}

// (a - b) x (c - a), not normalised.
inline TDbl3D FaceNormalDbl3D(const TDbl3D& a, const TDbl3D& b, const TDbl3D& c) {
  return CrossDbl3D(SubDbl3D(a, b), SubDbl3D(c, a));
}

// a . b / (|a| |b|) with the lengths given; 1 when their product is 0.
inline double CosAngleWithLengths(const TDbl3D& a, const TDbl3D& b, double lengthA, double lengthB) {
  const double lengths = lengthA * lengthB;
  if (lengths == 0) return 1;
  return DotDbl3D(a, b) / lengths;
}

// a . b / (|a| |b|); 1 when the product of the lengths is 0.
inline double CosAngleDbl3D(const TDbl3D& a, const TDbl3D& b) {
  return CosAngleWithLengths(a, b, Dbl3DLength(a), Dbl3DLength(b));
}

}  // namespace shape
