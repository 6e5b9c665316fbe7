#pragma once
// The float64 references that make_curve_tables.py computes with numpy (CurveTables.inc).
namespace gl3d::test {

struct TSplineCase {
  int n;
  float y[12];
  double rows[11][4];
  double samples[10][2];  // (t, value)
};

#include "CurveTables.inc"

}  // namespace gl3d::test
