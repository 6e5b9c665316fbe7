#pragma once
// The float64 references that make_geometry_table.py computes with numpy (GeometryTable.inc).
namespace gl3d::test {

struct TSlabCase {
  float o[3], d[3], mn[3], mx[3];
  bool hit;
  double tNear, tFar;
};
struct TSphereCase {
  float start[3], dir[3], centre[3], radius;
  bool hit;
  double point[3];
};
struct TCullCase {
  float centre[3], radius;
  bool clipped;
};

#include "GeometryTable.inc"

}  // namespace gl3d::test
