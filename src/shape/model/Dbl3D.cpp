#include "shape/model/Dbl3D.h"

#include <cmath>

namespace shape {

bool SameDbl3D(const TDbl3D& a, const TDbl3D& b) {
  for (int k = 0; k < 3; ++k)
    if (!(std::fabs(a[k] - b[k]) <= 1e-05)) return false;
  return true;
}

bool EqualDbl3D(const TDbl3D& a, const TDbl3D& b) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; }

double Dbl3DLength(const TDbl3D& a) { return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]); }

TDbl3D AddDbl3D(const TDbl3D& a, const TDbl3D& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }

TDbl3D SubDbl3D(const TDbl3D& a, const TDbl3D& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

void IncDbl3D(TDbl3D& a, const TDbl3D& b) {
  a[0] += b[0];
  a[1] += b[1];
  a[2] += b[2];
}

double DotDbl3D(const TDbl3D& a, const TDbl3D& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

TDbl3D CrossDbl3D(const TDbl3D& a, const TDbl3D& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

TDbl3D NormalizeDbl3D(const TDbl3D& a) {
  const double len = Dbl3DLength(a);
  if (!(len > 0)) return {0, 0, 0};
  return {a[0] / len, a[1] / len, a[2] / len};
}

TDbl3D UnitDbl3D(const TDbl3D& a) {
  const double len = Dbl3DLength(a);
  if (!(len > 0)) return {0, 0, 1};
  return {a[0] / len, a[1] / len, a[2] / len};
}

TDbl3D TriangleNormal(const TDbl3D& a, const TDbl3D& b, const TDbl3D& c) {
  return CrossDbl3D(NormalizeDbl3D(SubDbl3D(b, a)), NormalizeDbl3D(SubDbl3D(c, a)));
}

TDbl3D FaceNormalDbl3D(const TDbl3D& a, const TDbl3D& b, const TDbl3D& c) {
  return CrossDbl3D(SubDbl3D(a, b), SubDbl3D(c, a));
}

double CosAngleDbl3D(const TDbl3D& a, const TDbl3D& b) {
  const double lengths = Dbl3DLength(a) * Dbl3DLength(b);
  if (lengths == 0) return 1;
  return DotDbl3D(a, b) / lengths;
}

}  // namespace shape
