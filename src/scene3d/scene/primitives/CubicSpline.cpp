#include "scene3d/scene/primitives/CubicSpline.h"

#include <cmath>

#include "common/Exception.h"
#include "common/Round.h"

namespace gl3d {

namespace {

// The node derivatives of the natural spline through y[0..n-1]: M·D = r with M tridiagonal,
// diagonal (2, 4, ..., 4, 2) and off-diagonals 1, solved by the Cholesky factorisation M = L·Lᵀ
// (l-diagonal d, sub-diagonal e).
std::vector<double> NodeDerivatives(const float* y, int n) {
  std::vector<double> r(static_cast<size_t>(n)), d(static_cast<size_t>(n)), e(static_cast<size_t>(n)),
      z(static_cast<size_t>(n)), D(static_cast<size_t>(n));
  r[0] = 3.0 * (static_cast<double>(y[1]) - y[0]);
  r[n - 1] = 3.0 * (static_cast<double>(y[n - 1]) - y[n - 2]);
  for (int k = 1; k < n - 1; ++k) r[k] = 3.0 * (static_cast<double>(y[k + 1]) - y[k - 1]);

  d[0] = std::sqrt(2.0);
  e[0] = 1.0 / d[0];
  for (int k = 1; k < n - 1; ++k) {
    d[k] = std::sqrt(4.0 - e[k - 1] * e[k - 1]);
    e[k] = 1.0 / d[k];
  }
  d[n - 1] = std::sqrt(2.0 - e[n - 2] * e[n - 2]);

  z[0] = r[0] / d[0];
  for (int k = 1; k < n; ++k) z[k] = (r[k] - z[k - 1] * e[k - 1]) / d[k];
  D[n - 1] = z[n - 1] / d[n - 1];
  for (int k = n - 2; k >= 0; --k) D[k] = (z[k] - D[k + 1] * e[k]) / d[k];
  ZASSERT(D.size() == r.size(), "Assertion failure (spline)");
  return D;
}

TCubicSplineMatrix CoefficientTable(const float* y, int n) {
  TCubicSplineMatrix rows;
  if (!y || n < 2) return rows;
  const std::vector<double> D = NodeDerivatives(y, n);
  rows.resize(static_cast<size_t>(n - 1));
  for (int j = 0; j < n - 1; ++j) {
    const double delta = static_cast<double>(y[j + 1]) - y[j];
    const double c = 3 * delta - 2 * D[j] - D[j + 1];
    const double dd = D[j] + D[j + 1] - 2 * delta;
    // y[j] + D[j]·s + c·s² + d·s³ with s = t - j, expanded in t.
    auto& row = rows[static_cast<size_t>(j)];
    row[0] = static_cast<float>(dd);
    row[1] = static_cast<float>(c - 3.0 * j * dd);
    row[2] = static_cast<float>(D[j] + j * (3.0 * j * dd - 2 * c));
    row[3] = static_cast<float>(y[j] + j * (j * (c - j * dd) - D[j]));
  }
  return rows;
}

float Evaluate(const TCubicSplineMatrix& rows, float t) {
  if (rows.empty()) return 0;
  const int last = static_cast<int>(rows.size());  // the last node's index
  int k;
  if (t <= 0)
    k = 0;
  else if (t > last)
    k = last;
  else
    k = common::TruncInt(t);
  if (k >= last) k = last - 1;  // t = n - 1 belongs to the last segment
  if (k < 0) k = 0;             // a NaN parameter
  const auto& row = rows[static_cast<size_t>(k)];
  return ((row[0] * t + row[1]) * t + row[2]) * t + row[3];
}

}  // namespace

TCubicSpline::TCubicSpline(const float* x, const float* y, const float* z, const float* w, int n)
    : nodeCount_(n) {
  coefficients_[0] = CoefficientTable(x, n);
  coefficients_[1] = CoefficientTable(y, n);
  coefficients_[2] = CoefficientTable(z, n);
  coefficients_[3] = CoefficientTable(w, n);
}

void TCubicSpline::SplineXYZ(float t, float& x, float& y, float& z) const {
  x = Evaluate(coefficients_[0], t);
  y = Evaluate(coefficients_[1], t);
  z = Evaluate(coefficients_[2], t);
}

}  // namespace gl3d
