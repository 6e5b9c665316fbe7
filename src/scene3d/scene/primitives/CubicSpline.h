#pragma once
// Natural cubic splines through a sequence of points, one per coordinate, parameterised by the
// point index: point k sits at parameter k. The lines (GLLines.h) draw their cubic-spline mode
// through one; the node list (GLNodes.h) builds it.
#include <array>
#include <vector>

#include "scene3d/base/Classes.h"

namespace gl3d {

// One row per segment: the segment's cubic expanded in the global parameter t, highest power
// first, so that the value is ((row[0]·t + row[1])·t + row[2])·t + row[3].
using TCubicSplineMatrix = std::vector<std::array<float, 4>>;

class TCubicSpline : public TObject {
 public:
  // Each array may be nullptr (no table for that coordinate); n is the number of points. Fewer
  // than two points cannot form a segment: every table is then empty.
  TCubicSpline(const float* x, const float* y, const float* z, const float* w, int n);
  const char* ClassName() const override { return "TCubicSpline"; }

  // X, Y and Z at t; an empty table gives 0. Outside [0, n - 1] the end segments extrapolate.
  void SplineXYZ(float t, float& x, float& y, float& z) const;

  const TCubicSplineMatrix& CoefficientsX() const { return coefficients_[0]; }
  const TCubicSplineMatrix& CoefficientsY() const { return coefficients_[1]; }
  const TCubicSplineMatrix& CoefficientsZ() const { return coefficients_[2]; }
  const TCubicSplineMatrix& CoefficientsW() const { return coefficients_[3]; }
  int NodeCount() const { return nodeCount_; }

 private:
  std::array<TCubicSplineMatrix, 4> coefficients_;
  int nodeCount_;
};

}  // namespace gl3d
