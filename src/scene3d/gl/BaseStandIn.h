#pragma once
// TEMPORARY: stands in for the 3D library base (vector types, matrix product, frustum planes,
// millisecond clock) until it lands; replaced by the base's own headers then.
#include <type_traits>

namespace gl3d {

struct TVector3f {
  float X, Y, Z;
};
using TAffineVector = TVector3f;
struct TVector4f {
  float X, Y, Z, W;
  float& operator[](int i) { return i == 0 ? X : (i == 1 ? Y : (i == 2 ? Z : W)); }
  float operator[](int i) const { return i == 0 ? X : (i == 1 ? Y : (i == 2 ? Z : W)); }
};
struct TMatrix4f {
  TVector4f Row[4];
  TVector4f& operator[](int i) { return Row[i]; }
  const TVector4f& operator[](int i) const { return Row[i]; }
};
struct TFrustum {
  TVector4f Planes[6];
};
inline constexpr TMatrix4f IdentityMatrix4f{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
void MultiplyMatrix4f(const TMatrix4f& m1, const TMatrix4f& m2, TMatrix4f& out);
void ExtractFrustumPlanes(const TMatrix4f& modelViewProjection, TFrustum& out);
double GLClockMs();

}  // namespace gl3d
