// The built-in vertex sets and the grid generator, without the dialog.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "PolyhedronGrid.h"
#include "PolyhedronVertices.h"
#include "common/Exception.h"

namespace {

using polyhedron::PolyhedronSet;
using polyhedron::PolyhedronVertices;
using shape::TCS;
using shape::TDbl3D;

double Length(const TDbl3D& v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }
double Distance(const TDbl3D& a, const TDbl3D& b) {
  return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}
bool Equal(const TDbl3D& a, const TDbl3D& b) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; }
double AzimuthDeg(const TDbl3D& v) {
  double a = std::atan2(v[1], v[0]) * 180 / std::numbers::pi;
  return a < 0 ? a + 360 : a;
}

struct SolidFacts {
  int vertices, edges, faces;
};
// Vertices, edges and faces of the kinds 0 to 14.
constexpr SolidFacts kSolids[15] = {
    {4, 6, 4},    {6, 12, 8},   {8, 12, 6},   {20, 30, 12},  {12, 30, 20},
    {12, 24, 14}, {30, 60, 32}, {12, 18, 8},  {24, 36, 14},  {24, 36, 14},
    {60, 90, 32}, {60, 90, 32}, {24, 48, 26}, {60, 120, 62}, {48, 72, 26},
};

TEST(PolyhedronVertices, EverySetIsAUniformPolyhedronOnTheUnitSphere) {
  for (int kind = 0; kind < 15; ++kind) {
    SCOPED_TRACE(kind);
    const auto set = PolyhedronSet(kind);
    ASSERT_EQ(static_cast<int>(set.size()), kSolids[kind].vertices);
    for (const TDbl3D& v : set) {
      EXPECT_NEAR(Length(v), 1.0, 4e-16);
      for (int a = 0; a < 3; ++a)
        EXPECT_TRUE(v[a] == 0 || std::fabs(v[a]) > 1e-3) << v[a];  // zeros are exact
    }
    // All edges equally long to double precision, and exactly as many as the solid has:
    // rounded angles or heights would show here at once.
    double edge = INFINITY;
    for (size_t a = 0; a < set.size(); ++a)
      for (size_t b = a + 1; b < set.size(); ++b) edge = std::min(edge, Distance(set[a], set[b]));
    int edges = 0;
    for (size_t a = 0; a < set.size(); ++a)
      for (size_t b = a + 1; b < set.size(); ++b) {
        const double d = Distance(set[a], set[b]);
        if (d < edge * (1 + 1e-9)) {
          EXPECT_NEAR(d, edge, 8e-16);
          ++edges;
        } else {
          EXPECT_GT(d, edge * 1.05);  // no near-edges
        }
      }
    EXPECT_EQ(edges, kSolids[kind].edges);
  }
}

// Rings from the top down: height, number of azimuths base + step k (each twice, at -delta
// and +delta, when delta is not 0). A step of 0 marks a pole.
struct Ring {
  double z;
  double base, step, delta;
};
struct Orientation {
  int kind;
  std::vector<Ring> rings;
};

const std::vector<Orientation>& Orientations() {
  static const std::vector<Orientation> t = {
      {0, {{1.0 / 3, 90, 120, 0}, {-1, 0, 0, 0}}},
      {1, {{1, 0, 0, 0}, {0, 45, 90, 0}, {-1, 0, 0, 0}}},
      {2, {{0.577350, 45, 90, 0}, {-0.577350, 45, 90, 0}}},
      {3, {{0.794654, 18, 72, 0}, {0.187592, 18, 72, 0}, {-0.187592, 54, 72, 0}, {-0.794654, 54, 72, 0}}},
      {4, {{1, 0, 0, 0}, {0.447214, 18, 72, 0}, {-0.447214, 54, 72, 0}, {-1, 0, 0, 0}}},
      {5, {{0.816497, 30, 120, 0}, {0, 0, 60, 0}, {-0.816497, 90, 120, 0}}},
      {6,
       {{0.850651, 54, 72, 0},
        {0.525731, 18, 72, 0},
        {0, 0, 36, 0},
        {-0.525731, 54, 72, 0},
        {-0.850651, 18, 72, 0}}},
      {7, {{0.522233, 0, 60, 0}, {-0.174078, 90, 120, 0}, {-0.870388, 90, 120, 0}}},
      {8,
       {{0.774597, 0, 60, 0},
        {0.258199, 30, 120, 19.107},
        {-0.258199, 90, 120, 19.107},
        {-0.774597, 0, 60, 0}}},
      {9, {{0.678598, 22.5, 45, 0}, {0.281085, 0, 90, 0}, {-0.281085, 0, 90, 0}, {-0.678598, 22.5, 45, 0}}},
      {10,
       {{0.939234, 18, 72, 0},
        {0.727076, 18, 72, 0},
        {0.514918, 54, 72, 13.614},
        {0.171639, 18, 72, 11.819},
        {-0.171639, 54, 72, 11.819},
        {-0.514918, 18, 72, 13.614},
        {-0.727076, 54, 72, 0},
        {-0.939234, 54, 72, 0}}},
      {11,
       {{0.838505, 0, 36, 0},
        {0.661458, 54, 72, 0},
        {0.374991, 54, 72, 0},
        {0.088523, 54, 72, 9.732},
        {-0.088523, 18, 72, 9.732},
        {-0.374991, 18, 72, 0},
        {-0.661458, 18, 72, 0},
        {-0.838505, 0, 36, 0}}},
      {12,
       {{0.862856, 45, 90, 0}, {0.357407, 22.5, 45, 0}, {-0.357407, 22.5, 45, 0}, {-0.862856, 45, 90, 0}}},
      {13,
       {{0.924594, 54, 72, 0},
        {0.689152, 0, 36, 0},
        {0.308198, 54, 72, 13.614},
        {0.072756, 18, 72, 0},
        {-0.072756, 54, 72, 0},
        {-0.308198, 18, 72, 13.614},
        {-0.689152, 0, 36, 0},
        {-0.924594, 18, 72, 0}}},
      {14,
       {{0.825943, 22.5, 45, 0},
        {0.520841, 0, 90, 14.639},
        {0.215739, 45, 90, 12.764},
        {-0.215739, 45, 90, 12.764},
        {-0.520841, 0, 90, 14.639},
        {-0.825943, 22.5, 45, 0}}},
  };
  return t;
}

double AngleGap(double a, double b) {
  double d = std::fmod(std::fabs(a - b), 360.0);
  return std::min(d, 360 - d);
}

TEST(PolyhedronVertices, OrientationRingByRing) {
  for (const Orientation& o : Orientations()) {
    SCOPED_TRACE(o.kind);
    std::vector<TDbl3D> left(PolyhedronSet(o.kind).begin(), PolyhedronSet(o.kind).end());
    for (const Ring& r : o.rings) {
      SCOPED_TRACE(r.z);
      std::vector<double> want;
      if (r.step == 0) {
        want.push_back(-1);
      } else {
        for (double a = r.base; a < r.base + 360 - 1e-9; a += r.step) {
          if (r.delta == 0) {
            want.push_back(a);
          } else {
            want.push_back(a - r.delta);
            want.push_back(a + r.delta);
          }
        }
      }
      std::vector<TDbl3D> ring;
      for (auto it = left.begin(); it != left.end();) {
        if (std::fabs((*it)[2] - r.z) < 1e-6) {
          ring.push_back(*it);
          it = left.erase(it);
        } else {
          ++it;
        }
      }
      ASSERT_EQ(ring.size(), want.size());
      if (r.step == 0) {
        EXPECT_EQ(ring[0][0], 0.0);
        EXPECT_EQ(ring[0][1], 0.0);
        EXPECT_EQ(ring[0][2], r.z);
        continue;
      }
      for (double a : want) {
        const bool found = std::any_of(ring.begin(), ring.end(),
                                       [&](const TDbl3D& v) { return AngleGap(AzimuthDeg(v), a) < 1.5e-3; });
        EXPECT_TRUE(found) << "azimuth " << a;
      }
    }
    EXPECT_TRUE(left.empty()) << left.size() << " vertices on no listed ring";
  }
}

TEST(PolyhedronVertices, ClosedFormsAndFacesOfTheStars) {
  // tetrahedron: the pole and a vertex at (0, 2 sqrt 2 / 3, 1/3)
  const auto tetra = PolyhedronSet(0);
  EXPECT_TRUE(std::any_of(tetra.begin(), tetra.end(), [](const TDbl3D& v) {
    return Equal(v, {{0, 0, -1}});
  }));
  EXPECT_TRUE(std::any_of(tetra.begin(), tetra.end(), [](const TDbl3D& v) {
    return Equal(v, {{0, static_cast<double>(2 * std::sqrt(2.0L) / 3), 1.0 / 3}});
  }));
  // cube: exactly the eight (+-1, +-1, +-1) / sqrt 3
  const double c = static_cast<double>(1 / std::sqrt(3.0L));  // correctly rounded
  std::set<std::tuple<double, double, double>> cube, want;
  for (const TDbl3D& v : PolyhedronSet(2)) cube.insert({v[0], v[1], v[2]});
  for (double x : {-c, c})
    for (double y : {-c, c})
      for (double z : {-c, c}) want.insert({x, y, z});
  EXPECT_EQ(cube, want);
  // The dodecahedron's face centres point at the mirrored icosahedron's vertices, and the
  // icosahedron's face centres at the mirrored dodecahedron's: the stars rest on this.
  auto faceCentresMatch = [](int solid, int mirroredDual, size_t faceSize) {
    const auto s = PolyhedronSet(solid);
    for (const TDbl3D& d : PolyhedronSet(mirroredDual)) {
      const TDbl3D n{{d[0], d[1], -d[2]}};
      std::vector<std::pair<double, TDbl3D>> byDot;
      for (const TDbl3D& v : s) byDot.push_back({-(v[0] * n[0] + v[1] * n[1] + v[2] * n[2]), v});
      std::sort(byDot.begin(), byDot.end(), [](auto& a, auto& b) { return a.first < b.first; });
      TDbl3D centre{{0, 0, 0}};
      for (size_t k = 0; k < faceSize; ++k)
        for (int a = 0; a < 3; ++a) centre[a] += byDot[k].second[a] / faceSize;
      EXPECT_NEAR(byDot[faceSize - 1].first, byDot[0].first, 1e-15);  // one face
      const double len = Length(centre);
      for (int a = 0; a < 3; ++a) EXPECT_NEAR(centre[a] / len, n[a], 1e-15);
    }
  };
  faceCentresMatch(3, 4, 5);
  faceCentresMatch(4, 3, 3);
}

TEST(PolyhedronVertices, AddAppendsScaledInCallOrder) {
  polyhedron::ClearPolyhedronVertices();
  polyhedron::AddPolyhedronVertices(4, 1, 1, -1);
  ASSERT_EQ(polyhedron::PolyhedronVertexCount, 12);
  // mirrored icosahedron: poles, an upper ring at 54 + 72k and a lower one at 18 + 72k
  for (const TDbl3D& v : PolyhedronVertices) {
    if (std::fabs(v[2]) == 1) continue;
    const double base = v[2] > 0 ? 54 : 18;
    EXPECT_NEAR(std::fmod(AzimuthDeg(v) - base + 720, 72.0), 0.0, 1e-9);
  }
  polyhedron::AddPolyhedronVertices(3, 0.5625, 0.5625, 0.5625);
  ASSERT_EQ(polyhedron::PolyhedronVertexCount, 32);
  ASSERT_EQ(PolyhedronVertices.size(), 32u);
  const auto ico = PolyhedronSet(4);
  for (int k = 0; k < 12; ++k)
    EXPECT_TRUE(Equal(PolyhedronVertices[k], {{ico[k][0], ico[k][1], -ico[k][2]}}));
  for (int k = 12; k < 32; ++k) EXPECT_NEAR(Length(PolyhedronVertices[k]), 0.5625, 1e-15);

  polyhedron::ClearPolyhedronVertices();
  polyhedron::AddPolyhedronVertices(13, 0.4, 0.4, 0.4);
  for (const TDbl3D& v : PolyhedronVertices) EXPECT_NEAR(Length(v), 0.4, 1e-15);
  EXPECT_THROW(polyhedron::AddPolyhedronVertices(15, 1, 1, 1), common::EAssertionFailed);
  EXPECT_THROW(polyhedron::AddPolyhedronVertices(-1, 1, 1, 1), common::EAssertionFailed);
}

// A record whose every byte is set, so that any stray write shows.
std::unique_ptr<TCS> PatternRecord() {
  auto cs = std::make_unique<TCS>();
  auto* bytes = reinterpret_cast<unsigned char*>(cs.get());
  for (size_t k = 0; k < sizeof(TCS); ++k) bytes[k] = static_cast<unsigned char>(k * 7 + 3);
  cs->ScType = shape::SCTYPE_TORUS;
  cs->CPMaxI = 257;
  cs->CPMaxJ = 257;
  return cs;
}

struct Hull {
  int vertices = -1, facets = -1;
};

Hull ConvexHull(const std::vector<TDbl3D>& points) {
  const auto file =
      std::filesystem::temp_directory_path() / ("polyhedron_hull_" + std::to_string(::getpid()) + ".txt");
  {
    std::ofstream out(file);
    out.precision(17);
    out << "3\n" << points.size() << "\n";
    for (const TDbl3D& p : points) out << p[0] << ' ' << p[1] << ' ' << p[2] << '\n';
  }
  Hull h;
  const std::string cmd = "qconvex s < '" + file.string() + "' 2>&1";
  if (FILE* pipe = ::popen(cmd.c_str(), "r")) {
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
      std::sscanf(line, " Number of vertices: %d", &h.vertices);
      std::sscanf(line, " Number of facets: %d", &h.facets);
    }
    ::pclose(pipe);
  }
  std::filesystem::remove(file);
  return h;
}

TEST(PolyhedronGrid, EveryEntryAndSize) {
  for (int entry = 0; entry < polyhedron::PolyhedronEntryCount; ++entry) {
    for (int size : {1, 3, 10}) {
      SCOPED_TRACE(::testing::Message() << "entry " << entry << " size " << size);
      auto cs = PatternRecord();
      auto expected = std::make_unique<TCS>(*cs);
      polyhedron::GeneratePolyhedronGrid(*cs, entry, size, 10);
      EXPECT_EQ(cs->ScType, shape::SCTYPE_SPHERE);
      EXPECT_EQ(cs->CPMaxI, 33);
      EXPECT_EQ(cs->CPMaxJ, 33);

      const double f = size / 10.0 * 0.9921875;
      const std::vector<TDbl3D> list = PolyhedronVertices;
      std::vector<bool> used(list.size());
      std::vector<TDbl3D> points;
      for (int i = 0; i < 33; ++i)
        for (int j = 0; j < 33; ++j) {
          const TDbl3D& p = cs->CP[i][j];
          size_t k = 0;
          while (k < list.size() && !Equal(p, {{f * list[k][0], f * list[k][1], f * list[k][2]}})) ++k;
          ASSERT_LT(k, list.size()) << "CP[" << i << "][" << j << "] is no vertex";
          used[k] = true;
          if (std::none_of(points.begin(), points.end(), [&](const TDbl3D& q) { return Equal(p, q); }))
            points.push_back(p);
        }
      EXPECT_EQ(std::count(used.begin(), used.end(), true), static_cast<long>(list.size()));
      for (int i = 0; i < 33; ++i) {
        EXPECT_TRUE(Equal(cs->CP[i][0], cs->CP[0][0]));
        EXPECT_TRUE(Equal(cs->CP[i][32], cs->CP[0][32]));
      }
      for (int j = 0; j < 33; ++j) EXPECT_TRUE(Equal(cs->CP[32][j], cs->CP[0][j]));
      EXPECT_LT(cs->CP[0][0][2], 0);
      EXPECT_GT(cs->CP[0][32][2], 0);

      // Nothing but the header fields and the 33 x 33 points has changed.
      expected->ScType = cs->ScType;
      expected->CPMaxI = cs->CPMaxI;
      expected->CPMaxJ = cs->CPMaxJ;
      for (int i = 0; i < 33; ++i)
        for (int j = 0; j < 33; ++j) expected->CP[i][j] = cs->CP[i][j];
      EXPECT_EQ(std::memcmp(expected.get(), cs.get(), sizeof(TCS)), 0);

      if (size == 10) {
        const Hull h = ConvexHull(points);
        if (entry < 15) {
          EXPECT_EQ(h.vertices, kSolids[entry].vertices);
          EXPECT_EQ(h.facets, kSolids[entry].faces);
        } else if (entry == 15) {  // the tips span an icosahedron
          EXPECT_EQ(h.vertices, 12);
          EXPECT_EQ(h.facets, 20);
        } else {  // the tips span a dodecahedron
          EXPECT_EQ(h.vertices, 20);
          EXPECT_EQ(h.facets, 12);
        }
      }
    }
  }
}

TEST(PolyhedronGrid, FactsOfSingleEntries) {
  auto cs = PatternRecord();
  // tetrahedron at full size: the lower pole row is its lowest vertex
  polyhedron::GeneratePolyhedronGrid(*cs, 0, 10, 10);
  for (int i = 0; i < 33; ++i) EXPECT_TRUE(Equal(cs->CP[i][0], {{0, 0, -0.9921875}}));

  // cube at size 5: (+-1, +-1, +-1) / sqrt 3 x 0.49609375, all eight corners
  polyhedron::GeneratePolyhedronGrid(*cs, 2, 5, 10);
  const double c = 1 / std::sqrt(3.0) * 0.49609375;
  std::set<std::tuple<double, double, double>> corners;
  for (int i = 0; i < 33; ++i)
    for (int j = 0; j < 33; ++j) {
      const TDbl3D& p = cs->CP[i][j];
      for (int a = 0; a < 3; ++a) EXPECT_NEAR(std::fabs(p[a]), c, 1e-16);
      corners.insert({p[0], p[1], p[2]});
    }
  EXPECT_EQ(corners.size(), 8u);

  // the stars: a tip at full size or an inner point
  struct Star {
    int entry;
    double inner;
  };
  for (const Star s : {Star{15, 0.55810546875}, Star{16, 0.396875}}) {
    polyhedron::GeneratePolyhedronGrid(*cs, s.entry, 10, 10);
    int tips = 0, inner = 0;
    for (int i = 0; i < 33; ++i)
      for (int j = 0; j < 33; ++j) {
        const double len = Length(cs->CP[i][j]);
        if (std::fabs(len - 0.9921875) < 1e-15) {
          ++tips;
        } else {
          EXPECT_NEAR(len, s.inner, 1e-15);
          ++inner;
        }
      }
    EXPECT_GT(tips, 0);
    EXPECT_GT(inner, 0);
  }
}

TEST(PolyhedronGrid, BadArgumentsLeaveTheRecordAlone) {
  auto cs = PatternRecord();
  const auto before = std::make_unique<TCS>(*cs);
  EXPECT_THROW(polyhedron::GeneratePolyhedronGrid(*cs, 17, 10, 10), common::EAssertionFailed);
  EXPECT_THROW(polyhedron::GeneratePolyhedronGrid(*cs, -1, 10, 10), common::EAssertionFailed);
  EXPECT_THROW(polyhedron::GeneratePolyhedronGrid(*cs, 3, 10, 0), common::EAssertionFailed);
  EXPECT_EQ(std::memcmp(before.get(), cs.get(), sizeof(TCS)), 0);
}

}  // namespace

// Every grid point is the vertex of the list nearest to the grid's point on the search sphere,
// the earliest of equally near ones. The sphere point of column i and row j lies at the polar
// angle j pi / 32 from the -z pole and the azimuth i 2 pi / 32, at the distance g from the
// origin: 1 for the solids, the mean squared vertex length for the stars, widened by 20 / 12 for
// the small one.
TEST(PolyhedronGrid, EveryPointTakesItsNearestVertex) {
  const double g15 = (12 + 20 * 0.5625 * 0.5625) / 32 * 20 / 12;
  const double g16 = (20 + 12 * 0.4 * 0.4) / 32;
  EXPECT_NEAR(g15, 0.954590, 1e-6);
  EXPECT_NEAR(g16, 0.685, 1e-15);
  auto cs = PatternRecord();
  for (int entry = 0; entry < polyhedron::PolyhedronEntryCount; ++entry) {
    SCOPED_TRACE(::testing::Message() << "entry " << entry);
    polyhedron::GeneratePolyhedronGrid(*cs, entry, 10, 10);
    const std::vector<TDbl3D> list = PolyhedronVertices;
    const double f = 0.9921875;
    const double g = entry < 15 ? 1.0 : entry == 15 ? g15 : g16;
    for (int j = 0; j <= 32; ++j)
      for (int i = 0; i <= 32; ++i) {
        SCOPED_TRACE(::testing::Message() << "CP[" << i << "][" << j << "]");
        const double a = j * std::numbers::pi / 32, b = i * 2 * std::numbers::pi / 32;
        // The pole rows are single points: sin a is exactly 0 there.
        const double sa = (j == 0 || j == 32) ? 0.0 : std::sin(a);
        const double ca = j == 0 ? 1.0 : j == 32 ? -1.0 : std::cos(a);
        const TDbl3D p{{g * sa * std::cos(b), g * sa * std::sin(b), -g * ca}};
        std::vector<double> d(list.size());
        for (size_t k = 0; k < list.size(); ++k)
          d[k] = std::pow(list[k][0] - p[0], 2) + std::pow(list[k][1] - p[1], 2) +
                 std::pow(list[k][2] - p[2], 2);
        const double best = *std::min_element(d.begin(), d.end());
        size_t taken = 0;
        while (taken < list.size() &&
               !Equal(cs->CP[i][j], {{f * list[taken][0], f * list[taken][1], f * list[taken][2]}}))
          ++taken;
        ASSERT_LT(taken, list.size()) << "not a vertex of the list";
        if (j == 0 || j == 32) {
          // The pole is exact, and so is every distance to it: the nearest vertex, and of
          // exactly equal ones the earliest.
          EXPECT_EQ(taken, static_cast<size_t>(std::find(d.begin(), d.end(), best) - d.begin()));
        } else {
          // Elsewhere the angles are rounded: a vertex within that rounding of the nearest.
          EXPECT_LE(d[taken], best + 1e-12) << "nearest " << best;
        }
      }
  }
}
