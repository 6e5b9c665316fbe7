// TEMPORARY: see BaseStandIn.h.
#include "scene3d/gl/BaseStandIn.h"

#include <chrono>
#include <cmath>

namespace gl3d {

void MultiplyMatrix4f(const TMatrix4f& m1, const TMatrix4f& m2, TMatrix4f& out) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      long double s = 0;
      for (int k = 0; k < 4; ++k) s += static_cast<long double>(m1[i][k]) * m2[k][j];
      out[i][j] = static_cast<float>(s);
    }
}

void ExtractFrustumPlanes(const TMatrix4f& m, TFrustum& out) {
  auto col = [&m](int j) { return TVector4f{m[0][j], m[1][j], m[2][j], m[3][j]}; };
  TVector4f c0 = col(0), c1 = col(1), c2 = col(2), c3 = col(3);
  auto comb = [](const TVector4f& a, const TVector4f& b, float s) {
    return TVector4f{a.X + s * b.X, a.Y + s * b.Y, a.Z + s * b.Z, a.W + s * b.W};
  };
  out.Planes[0] = comb(c3, c0, 1);
  out.Planes[1] = comb(c3, c1, -1);
  out.Planes[2] = comb(c3, c0, -1);
  out.Planes[3] = comb(c3, c1, 1);
  out.Planes[4] = comb(c3, c2, 1);
  out.Planes[5] = comb(c3, c2, -1);
  for (auto& p : out.Planes) {
    float n = std::sqrt(p.X * p.X + p.Y * p.Y + p.Z * p.Z);
    if (n > 0) p = TVector4f{p.X / n, p.Y / n, p.Z / n, p.W / n};
  }
}

double GLClockMs() {
  static const auto start = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace gl3d
