#include "PolyhedronGrid.h"

#include <array>
#include <cmath>
#include <numbers>

#include "PolyhedronVertices.h"
#include "common/Exception.h"

namespace polyhedron {

const char* const PolyhedronEntryNames[PolyhedronEntryCount] = {
    "r01 Tetrahedron ",
    "r02 Octahedron ",
    "r03 Cube ",
    "r04 Dodecahedron ",
    "r05 Icosahedron ",
    "s01 Cuboctahedron ",
    "s02 Icosidodecahedron ",
    "s03 Truncated tetrahedron ",
    "s04 Truncated octahedron ",
    "s05 Truncated cube ",
    "s06 Truncated icosahedron ",
    "s07 Truncated dodecahedron ",
    "s08 Rhombicuboctahedron ",
    "s09 Rhombicosidodecahedron ",
    "s10 Truncated cuboctahedron ",
    "k05 Small stellated dodecahedron",
    "k03 Great stellated dodecahedron",
};

namespace {

constexpr int M = PolyhedronGridPoints - 1;  // 32 steps from pole to pole and around

// cos and sin of the angle k / n of a full turn (n a multiple of 8). Quarter turns are exact,
// and angles symmetric about an eighth turn get mirrored values, so the grid's poles are
// single points and its rows and columns keep the symmetry of the sphere.
void CosSinTurn(int k, int n, double& c, double& s) {
  k %= n;
  if (k < 0) k += n;
  const int quarter = n / 4;
  const int q = k / quarter;
  const int r = k % quarter;
  double rc, rs;  // of the angle r / n, within the first quadrant
  if (r == 0) {
    rc = 1;
    rs = 0;
  } else if (2 * r <= quarter) {
    const double a = 2 * std::numbers::pi * r / n;
    rc = std::cos(a);
    rs = std::sin(a);
  } else {
    const double a = 2 * std::numbers::pi * (quarter - r) / n;
    rc = std::sin(a);
    rs = std::cos(a);
  }
  switch (q) {
    case 0:
      c = rc;
      s = rs;
      break;
    case 1:
      c = -rs;
      s = rc;
      break;
    case 2:
      c = -rc;
      s = -rs;
      break;
    default:
      c = rs;
      s = -rc;
      break;
  }
}

}  // namespace

void BuildPolyhedronVertexList(int32_t entry) {
  ZASSERT(entry >= 0 && entry < PolyhedronEntryCount, "Polyhedron entry out of range");
  ClearPolyhedronVertices();
  if (entry < PolyhedronKindCount) {
    AddPolyhedronVertices(entry, 1, 1, 1);
  } else if (entry == 15) {
    // twelve star tips towards the dodecahedron's face centres, then its twenty vertices
    AddPolyhedronVertices(4, 1, 1, -1);
    AddPolyhedronVertices(3, 0.5625, 0.5625, 0.5625);
  } else {
    // twenty star tips towards the icosahedron's face centres, then its twelve vertices
    AddPolyhedronVertices(3, 1, 1, -1);
    AddPolyhedronVertices(4, 0.4, 0.4, 0.4);
  }
}

void GeneratePolyhedronGrid(shape::TCS& cs, int32_t entry, int32_t size, int32_t sizeMax) {
  ZASSERT(sizeMax > 0, "Polyhedron size maximum must be positive");
  BuildPolyhedronVertexList(entry);
  const std::vector<TDbl3D>& vertices = PolyhedronVertices;
  ZASSERT(!vertices.empty(), "Polyhedron vertex list is empty");

  // The outermost vertices end at f from the origin: 127/128 of the unit at full size.
  const double f = static_cast<double>(size) / sizeMax * 0.9921875;

  // The sphere that chooses the vertices: its radius squared is the mean squared vertex
  // length. The small stellated dodecahedron's is widened so that the tips take their share.
  double g = 0;
  for (const TDbl3D& v : vertices) g += v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
  g /= static_cast<double>(vertices.size());
  if (entry == 15) g = g / 12 * 20;

  std::array<std::array<TDbl3D, PolyhedronGridPoints>, PolyhedronGridPoints> grid;  // [i][j]
  for (int j = 0; j <= M; ++j) {
    double ca, sa;  // polar angle j / 2M of a turn, from the -z pole up
    CosSinTurn(j, 2 * M, ca, sa);
    for (int i = 0; i <= M; ++i) {
      double cb, sb;  // azimuth i / M of a turn; column M is column 0 again
      CosSinTurn(i, M, cb, sb);
      const TDbl3D p{{g * sa * cb, g * sa * sb, -g * ca}};
      size_t best = 0;
      double bestDistance = INFINITY;
      for (size_t k = 0; k < vertices.size(); ++k) {
        const double dx = vertices[k][0] - p[0], dy = vertices[k][1] - p[1], dz = vertices[k][2] - p[2];
        const double d = dx * dx + dy * dy + dz * dz;
        if (d < bestDistance) {  // of equally near vertices the earliest stays
          bestDistance = d;
          best = k;
        }
      }
      const TDbl3D& v = vertices[best];
      grid[i][j] = TDbl3D{{f * v[0], f * v[1], f * v[2]}};
    }
  }

  cs.ScType = shape::SCTYPE_SPHERE;
  cs.CPMaxI = PolyhedronGridPoints;
  cs.CPMaxJ = PolyhedronGridPoints;
  for (int i = 0; i <= M; ++i)
    for (int j = 0; j <= M; ++j) cs.CP[i][j] = grid[i][j];
}

}  // namespace polyhedron
