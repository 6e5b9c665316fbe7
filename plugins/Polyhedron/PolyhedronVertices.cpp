#include "PolyhedronVertices.h"

#include <array>
#include <cmath>

#include "common/Exception.h"

namespace polyhedron {

std::vector<TDbl3D> PolyhedronVertices;
int32_t PolyhedronVertexCount = 0;

namespace {

// The sets are built in extended precision from closed forms and rounded to double once at
// the end, so every coordinate is the double nearest to the exact value (or next to it).
struct LV {
  long double x, y, z;
};
using LSet = std::vector<LV>;

constexpr long double kPi = 3.141592653589793238462643383279502884L;

LV Sub(const LV& a, const LV& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
LV Add(const LV& a, const LV& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
LV Scale(const LV& a, long double s) { return {a.x * s, a.y * s, a.z * s}; }
long double Dot(const LV& a, const LV& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
long double Length(const LV& a) { return std::sqrt(Dot(a, a)); }

// cos and sin of an angle in degrees; multiples of 90 degrees give exact zeros and ones.
void CosSinDeg(long double deg, long double& c, long double& s) {
  long double q = std::fmod(deg, 360.0L);
  if (q < 0) q += 360.0L;
  int quadrant = 0;
  while (q >= 90.0L) {
    q -= 90.0L;
    ++quadrant;
  }
  if (q == 0) {
    c = 1;
    s = 0;
  } else {
    c = std::cos(q * kPi / 180.0L);
    s = std::sin(q * kPi / 180.0L);
  }
  for (int k = 0; k < quadrant; ++k) {  // rotate by 90 degrees: (c, s) -> (-s, c)
    const long double t = c;
    c = -s;
    s = t;
  }
}

// `count` vertices at height z on the unit sphere, the first at azimuth `firstDeg` (from +x
// towards +y), the others evenly spaced around the circle.
void AddRing(LSet& set, long double z, long double firstDeg, int count) {
  const long double r = std::sqrt(1.0L - z * z);
  for (int k = 0; k < count; ++k) {
    long double c, s;
    CosSinDeg(firstDeg + 360.0L * k / count, c, s);
    set.push_back({r * c, r * s, z});
  }
}

void AddPole(LSet& set, long double z) { set.push_back({0, 0, z}); }

LSet Mirrored(LSet set) {  // in the x-y plane
  for (LV& v : set) v.z = -v.z;
  return set;
}

long double MinDistance(const LSet& set) {
  long double best = INFINITY;
  for (size_t a = 0; a < set.size(); ++a)
    for (size_t b = a + 1; b < set.size(); ++b) best = std::min(best, Length(Sub(set[a], set[b])));
  return best;
}

// The edges of a polyhedron whose edges are its shortest vertex distances.
template <typename F>
void ForEachEdge(const LSet& set, F f) {
  const long double edge = MinDistance(set);
  for (size_t a = 0; a < set.size(); ++a)
    for (size_t b = a + 1; b < set.size(); ++b)
      if (std::fabs(Length(Sub(set[a], set[b])) - edge) < edge * 1e-12L) f(set[a], set[b]);
}

// Cuts every corner off: on each edge the two points at fraction t from either end.
LSet Truncated(const LSet& set, long double t) {
  LSet out;
  ForEachEdge(set, [&](const LV& a, const LV& b) {
    out.push_back(Add(a, Scale(Sub(b, a), t)));
    out.push_back(Add(b, Scale(Sub(a, b), t)));
  });
  return out;
}

// Pushes every face outwards along its normal until the gaps between faces are squares.
// `normals` are the unit face normals.
LSet Expanded(const LSet& set, const LSet& normals) {
  const long double distance = MinDistance(set) / MinDistance(normals);
  LSet out;
  for (const LV& n : normals) {
    long double top = -INFINITY;
    for (const LV& v : set) top = std::max(top, Dot(v, n));
    for (const LV& v : set)
      if (top - Dot(v, n) < 1e-12L) out.push_back(Add(v, Scale(n, distance)));
  }
  return out;
}

LSet Tetrahedron() {  // triangular face up, vertex down
  LSet s;
  AddRing(s, 1.0L / 3, 90, 3);
  AddPole(s, -1);
  return s;
}

LSet Octahedron() {  // vertex up and down
  LSet s;
  AddPole(s, 1);
  AddRing(s, 0, 45, 4);
  AddPole(s, -1);
  return s;
}

LSet Cube() {  // (+-1, +-1, +-1) / sqrt 3
  LSet s;
  AddRing(s, 1 / std::sqrt(3.0L), 45, 4);
  AddRing(s, -1 / std::sqrt(3.0L), 45, 4);
  return s;
}

LSet Dodecahedron() {  // pentagonal face up and down
  const long double r5 = std::sqrt(5.0L);
  const long double z1 = std::sqrt((5 + 2 * r5) / 15), z2 = std::sqrt((5 - 2 * r5) / 15);
  LSet s;
  AddRing(s, z1, 18, 5);
  AddRing(s, z2, 18, 5);
  AddRing(s, -z2, 54, 5);
  AddRing(s, -z1, 54, 5);
  return s;
}

LSet Icosahedron() {  // vertex up and down
  const long double z = 1 / std::sqrt(5.0L);
  LSet s;
  AddPole(s, 1);
  AddRing(s, z, 18, 5);
  AddRing(s, -z, 54, 5);
  AddPole(s, -1);
  return s;
}

LSet Cuboctahedron() {  // triangular face up and down
  const long double z = std::sqrt(2.0L / 3);
  LSet s;
  AddRing(s, z, 30, 3);
  AddRing(s, 0, 0, 6);
  AddRing(s, -z, 90, 3);
  return s;
}

LSet Icosidodecahedron() {  // pentagonal face up and down
  const long double r5 = std::sqrt(5.0L);
  const long double z1 = std::sqrt((5 + r5) / 10), z2 = std::sqrt((5 - r5) / 10);
  LSet s;
  AddRing(s, z1, 54, 5);
  AddRing(s, z2, 18, 5);
  AddRing(s, 0, 0, 10);
  AddRing(s, -z2, 54, 5);
  AddRing(s, -z1, 18, 5);
  return s;
}

LSet TruncatedTetrahedron() {  // hexagonal face up, triangular face down
  const long double r33 = std::sqrt(33.0L);
  LSet s;
  AddRing(s, 3 / r33, 0, 6);
  AddRing(s, -1 / r33, 90, 3);
  AddRing(s, -5 / r33, 90, 3);
  return s;
}

LSet TruncatedOctahedron() {  // hexagonal face up and down
  // an octahedron standing on a face, its upper face's corners at 30 + 120k degrees
  LSet octahedron;
  AddRing(octahedron, 1 / std::sqrt(3.0L), 30, 3);
  AddRing(octahedron, -1 / std::sqrt(3.0L), 90, 3);
  return Truncated(octahedron, 1.0L / 3);
}

LSet TruncatedCube() {  // octagonal face up and down
  // a cube with its vertical edges at 90k degrees
  LSet cube;
  AddRing(cube, 1 / std::sqrt(3.0L), 0, 4);
  AddRing(cube, -1 / std::sqrt(3.0L), 0, 4);
  return Truncated(cube, 1 / (2 + std::sqrt(2.0L)));
}

LSet TruncatedIcosahedron() {  // pentagonal face up and down
  return Truncated(Icosahedron(), 1.0L / 3);
}

LSet TruncatedDodecahedron() {  // decagonal face up and down
  // cut at 1 / (2 + golden ratio) of each edge, so the pentagons become regular decagons
  const long double phi = (1 + std::sqrt(5.0L)) / 2;
  return Truncated(Mirrored(Dodecahedron()), 1 / (2 + phi));
}

LSet Rhombicuboctahedron() {  // square face up and down: permutations of (+-1, +-1, +-(1 + sqrt 2))
  const long double a = 1 + std::sqrt(2.0L);
  LSet s;
  for (const LV& p : {LV{1, 1, a}, LV{a, 1, 1}, LV{1, a, 1}})
    for (int sign = 0; sign < 8; ++sign)
      s.push_back({sign & 1 ? -p.x : p.x, sign & 2 ? -p.y : p.y, sign & 4 ? -p.z : p.z});
  return s;
}

LSet Rhombicosidodecahedron() {  // pentagonal face up and down
  // the dodecahedron with its faces up at 54 + 72k degrees, expanded; its face normals are
  // the vertices of the icosahedron
  return Expanded(Mirrored(Dodecahedron()), Icosahedron());
}

LSet TruncatedCuboctahedron() {  // octagonal face up and down
  // permutations of (+-1, +-(1 + sqrt 2), +-(1 + 2 sqrt 2))
  const long double r2 = std::sqrt(2.0L);
  const long double c[3] = {1, 1 + r2, 1 + 2 * r2};
  static constexpr int kPerm[6][3] = {{0, 1, 2}, {1, 0, 2}, {0, 2, 1}, {2, 0, 1}, {1, 2, 0}, {2, 1, 0}};
  LSet s;
  for (const auto& p : kPerm)
    for (int sign = 0; sign < 8; ++sign)
      s.push_back(
          {sign & 1 ? -c[p[0]] : c[p[0]], sign & 2 ? -c[p[1]] : c[p[1]], sign & 4 ? -c[p[2]] : c[p[2]]});
  return s;
}

std::vector<TDbl3D> ToUnitDoubles(const LSet& set) {
  std::vector<TDbl3D> out;
  out.reserve(set.size());
  // A coordinate of these solids is either 0 or far from it; what extended precision leaves
  // of a cancellation (around 1e-20) is set to 0 exactly.
  auto coordinate = [](long double c) { return std::fabs(c) < 1e-15L ? 0.0 : static_cast<double>(c); };
  for (const LV& v : set) {
    const LV u = Scale(v, 1 / Length(v));
    out.push_back(TDbl3D{{coordinate(u.x), coordinate(u.y), coordinate(u.z)}});
  }
  return out;
}

using SetTable = std::array<std::vector<TDbl3D>, PolyhedronKindCount>;

SetTable BuildSets() {
  SetTable t;
  t[0] = ToUnitDoubles(Tetrahedron());
  t[1] = ToUnitDoubles(Octahedron());
  t[2] = ToUnitDoubles(Cube());
  t[3] = ToUnitDoubles(Dodecahedron());
  t[4] = ToUnitDoubles(Icosahedron());
  t[5] = ToUnitDoubles(Cuboctahedron());
  t[6] = ToUnitDoubles(Icosidodecahedron());
  t[7] = ToUnitDoubles(TruncatedTetrahedron());
  t[8] = ToUnitDoubles(TruncatedOctahedron());
  t[9] = ToUnitDoubles(TruncatedCube());
  t[10] = ToUnitDoubles(TruncatedIcosahedron());
  t[11] = ToUnitDoubles(TruncatedDodecahedron());
  t[12] = ToUnitDoubles(Rhombicuboctahedron());
  t[13] = ToUnitDoubles(Rhombicosidodecahedron());
  t[14] = ToUnitDoubles(TruncatedCuboctahedron());
  return t;
}

}  // namespace

std::span<const TDbl3D> PolyhedronSet(int32_t kind) {
  ZASSERT(kind >= 0 && kind < PolyhedronKindCount, "Polyhedron kind out of range");
  static const SetTable sets = BuildSets();
  return sets[kind];
}

void AddPolyhedronVertices(int32_t kind, double xScale, double yScale, double zScale) {
  const std::span<const TDbl3D> set = PolyhedronSet(kind);
  PolyhedronVertices.reserve(PolyhedronVertices.size() + set.size());
  for (const TDbl3D& v : set)
    PolyhedronVertices.push_back(TDbl3D{{v[0] * xScale, v[1] * yScale, v[2] * zScale}});
  PolyhedronVertexCount = static_cast<int32_t>(PolyhedronVertices.size());
}

void ClearPolyhedronVertices() {
  PolyhedronVertices.clear();
  PolyhedronVertexCount = 0;
}

}  // namespace polyhedron
