// The mesh utilities: smooth normals (against numpy's float64 answers for a 33 x 33 grid) and the
// strip expansions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "scene3d/scene/mesh/MeshUtils.h"

using namespace gl3d;

namespace {

#include "NormalsTable.inc"

std::unique_ptr<TAffineVectorList> Points(std::initializer_list<TVector3f> points) {
  auto list = std::make_unique<TAffineVectorList>();
  for (const TVector3f& p : points) list->Add(p);
  return list;
}

std::unique_ptr<TIntegerList> Indices(std::initializer_list<int32_t> indices) {
  auto list = std::make_unique<TIntegerList>();
  for (int32_t i : indices) list->Add(i);
  return list;
}

void ExpectVector(const TVector3f& v, float x, float y, float z, const char* what) {
  EXPECT_NEAR(v.X, x, 1e-6) << what;
  EXPECT_NEAR(v.Y, y, 1e-6) << what;
  EXPECT_NEAR(v.Z, z, 1e-6) << what;
}

}  // namespace

TEST(BuildNormals, SharedVerticesAverageTheirFacesWithoutRenormalising) {
  // Face (0, 1, 2) has the normal (0, 0, 1), face (0, 3, 1) the normal (0, 1, 0).
  const auto v = Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}});
  struct Case {
    const char* what;
    std::unique_ptr<TIntegerList> indices;
    std::vector<TVector3f> expected;
  };
  Case cases[] = {
      {"two faces", Indices({0, 1, 2, 0, 3, 1}), {{0, 0.5f, 0.5f}, {0, 0.5f, 0.5f}, {0, 0, 1}, {0, 1, 0}}},
      {"no indices", Indices({}), {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}},
      // A trailing partial triangle and a triangle that reaches past the vertices are skipped.
      {"partial and outside",
       Indices({0, 1, 2, 0, 3, 9, 0, 3}),
       {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 0}}},
      {"negative index", Indices({0, 1, 2, -1, 3, 1}), {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 0}}},
  };
  for (Case& c : cases) {
    std::unique_ptr<TAffineVectorList> n = BuildNormals(*v, *c.indices);
    ASSERT_EQ(n->Count(), 4) << c.what;
    for (int i = 0; i < 4; ++i)
      ExpectVector(n->Get(i), c.expected[static_cast<size_t>(i)].X, c.expected[static_cast<size_t>(i)].Y,
                   c.expected[static_cast<size_t>(i)].Z, c.what);
  }
}

TEST(BuildNormals, TheByteCounterWrapsAt256Faces) {
  const auto v = Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  for (const int faces : {255, 256, 257}) {
    TIntegerList indices;
    for (int f = 0; f < faces; ++f) indices.AddThree(0, 1, 2);
    std::unique_ptr<TAffineVectorList> n = BuildNormals(*v, indices);
    // 256 faces count as none; 257 as one face carrying the sum of all of them.
    const float z = faces == 255 ? 1.0f : (faces == 256 ? 0.0f : 257.0f);
    EXPECT_NEAR(n->Get(0).Z, z, 1e-4) << faces;
  }
}

TEST(BuildNormals, GridMatchesNumpy) {
  TAffineVectorList v;
  for (const auto& p : kGridPoints) v.Add({p[0], p[1], p[2]});
  TIntegerList indices;
  const int n = kGridSize;
  for (int i = 0; i + 1 < n; ++i)
    for (int j = 0; j + 1 < n; ++j) {
      const int k = i * n + j;
      indices.AddThree(k, k + n, k + 1);
      indices.AddThree(k + 1, k + n, k + n + 1);
    }
  std::unique_ptr<TAffineVectorList> normals = BuildNormals(v, indices);
  ASSERT_EQ(normals->Count(), n * n);
  double worst = 0;
  for (int k = 0; k < n * n; ++k)
    for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(normals->Get(k)[c] - kGridNormals[k][c]));
  EXPECT_LT(worst, 1e-6);
}

namespace {

// One triangle at a time, each normal added as soon as it is made: what BuildNormals computes,
// written the plain way.
std::vector<TVector3f> PlainNormals(const TAffineVectorList& vertices, const TIntegerList& indices) {
  const int n = vertices.Count();
  std::vector<TVector3f> sums(static_cast<size_t>(n), TVector3f{0, 0, 0});
  std::vector<uint8_t> counters(static_cast<size_t>(n), 0);
  for (int i = 0; i + 2 < indices.Count(); i += 3) {
    const int32_t t[3] = {indices.Get(i), indices.Get(i + 1), indices.Get(i + 2)};
    bool inside = true;
    for (const int32_t k : t) inside = inside && k >= 0 && k < n;
    if (!inside) continue;
    const TVector3f &a = vertices.Get(t[0]), &b = vertices.Get(t[1]), &c = vertices.Get(t[2]);
    const float ux = b.X - a.X, uy = b.Y - a.Y, uz = b.Z - a.Z;
    const float vx = c.X - a.X, vy = c.Y - a.Y, vz = c.Z - a.Z;
    const float x = uy * vz - uz * vy, y = uz * vx - ux * vz, z = ux * vy - uy * vx;
    const float n2 = x * x + y * y + z * z;
    const float r = n2 > 0 ? 1.0f / std::sqrt(n2) : 0.0f;
    for (const int32_t k : t) {
      TVector3f& s = sums[static_cast<size_t>(k)];
      s.X += x * r;
      s.Y += y * r;
      s.Z += z * r;
      ++counters[static_cast<size_t>(k)];
    }
  }
  for (int k = 0; k < n; ++k) {
    const uint8_t c = counters[static_cast<size_t>(k)];
    const float r = c ? 1.0f / static_cast<float>(c) : 0.0f;
    TVector3f& s = sums[static_cast<size_t>(k)];
    s = {s.X * r, s.Y * r, s.Z * r};
  }
  return sums;
}

// BuildNormals against PlainNormals. Any NaN stands for any other: which operand's NaN an
// instruction passes on is the compiler's choice. Everything else, signed zeros and infinities too,
// bit for bit.
testing::AssertionResult SameBitsAsPlainNormals(const TAffineVectorList& vertices,
                                                const TIntegerList& indices) {
  const std::vector<TVector3f> expected = PlainNormals(vertices, indices);
  const std::unique_ptr<TAffineVectorList> normals = BuildNormals(vertices, indices);
  if (normals->Count() != vertices.Count())
    return testing::AssertionFailure() << normals->Count() << " normals";
  for (int k = 0; k < vertices.Count(); ++k)
    for (int c = 0; c < 3; ++c) {
      const float got = normals->Get(k)[c], want = expected[static_cast<size_t>(k)][c];
      if (std::isnan(want) ? !std::isnan(got) : std::memcmp(&got, &want, sizeof(float)) != 0)
        return testing::AssertionFailure() << "vertex " << k << ": " << got << " " << want;
    }
  return testing::AssertionSuccess();
}

// Runs a check with and without the 256-bit path (where the processor has one), and leaves it
// allowed again.
template <typename Check>
void WithBothVectorWidths(Check check) {
  for (const bool wide : {true, false}) {
    SCOPED_TRACE(wide ? "wide vectors allowed" : "four-wide vectors");
    AllowWideVectorsInBuildNormals(wide);
    check();
  }
  AllowWideVectorsInBuildNormals(true);
}

}  // namespace

TEST(BuildNormals, SameBitsAsTheOneTriangleAtATimeSum) {
  // Random meshes round the block and group sizes of the fast path: a few vertices shared by
  // hundreds of faces (the counters wrap), indices outside the list, repeated corners, partial
  // last triangles, and coordinates with zeros, infinities and NaNs.
  WithBothVectorWidths([] {
    std::mt19937 random(20240611);
    const float specials[] = {
        0.0f,   -0.0f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(),
        1e-30f, 3e38f};
    for (int round = 0; round < 60; ++round) {
      const int vertexCount =
          round % 10 == 0 ? 0 : 1 + static_cast<int>(random() % (round % 3 == 0 ? 5 : 700));
      const int indexCount = static_cast<int>(random() % 4000);
      TAffineVectorList v;
      std::uniform_real_distribution<float> coordinate(-2, 2);
      for (int i = 0; i < vertexCount; ++i) {
        TVector3f p{coordinate(random), coordinate(random), coordinate(random)};
        if (round % 4 == 1 && random() % 50 == 0) p[static_cast<int>(random() % 3)] = specials[random() % 6];
        v.Add(p);
      }
      TIntegerList indices;
      for (int i = 0; i < indexCount; ++i) {
        int32_t k = vertexCount > 0 ? static_cast<int32_t>(random() % static_cast<unsigned>(vertexCount)) : 0;
        if (random() % 97 == 0) k = random() % 2 ? -1 - k : vertexCount + k;
        if (i % 3 != 0 && random() % 61 == 0) k = indices.Get(i - 1);
        indices.Add(k);
      }
      ASSERT_TRUE(SameBitsAsPlainNormals(v, indices)) << "round " << round;
    }
  });
}

TEST(BuildNormals, SameBitsOnWholeBlocksOfIndicesInsideTheList) {
  // Blocks of hundreds of triangles whose corners all lie in the list (and are not its last
  // vertex, the way the largest meshes are mostly made): a bumpy 65 x 65 grid as the preview makes
  // it, random triangles, and three vertices shared by more than a million faces, so the counters
  // go round thousands of times.
  WithBothVectorWidths([] {
    std::mt19937 random(20240612);
    std::uniform_real_distribution<float> coordinate(-2, 2);
    {
      constexpr int n = 65;
      TAffineVectorList v;
      for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) v.Add({c / 64.0f, r / 64.0f, 0.1f * coordinate(random)});
      TIntegerList indices;
      for (int r = 0; r + 1 < n; ++r)
        for (int c = 0; c + 1 < n; ++c) {
          const int k = c + n * r;
          for (const int i : {k, k + n, k + 1, k + 1, k + n, k + n + 1}) indices.Add(i);
        }
      EXPECT_TRUE(SameBitsAsPlainNormals(v, indices)) << "grid";
    }
    for (int round = 0; round < 10; ++round) {
      const int vertexCount = 2 + static_cast<int>(random() % 700);
      TAffineVectorList v;
      for (int i = 0; i < vertexCount; ++i)
        v.Add({coordinate(random), coordinate(random), coordinate(random)});
      TIntegerList indices;
      const int indexCount = 3 * (256 * (1 + round % 4) + static_cast<int>(random() % 256));
      for (int i = 0; i < indexCount; ++i) indices.Add(static_cast<int32_t>(random() % (vertexCount - 1)));
      EXPECT_TRUE(SameBitsAsPlainNormals(v, indices)) << "round " << round;
    }
    // Vertices 2 and 3 come to counts that are no multiple of 256 after 2^20 faces and at the end.
    const auto v = Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 0, 1}, {1, 1, 1}});
    TIntegerList indices;
    for (int t = 0; t < (1 << 20) + 300; ++t) indices.AddThree(0, 1, t < 100 ? 3 : 2);
    EXPECT_TRUE(SameBitsAsPlainNormals(*v, indices)) << "2^20 + 300 faces";
  });
}

TEST(StripToTriangles, EveryTriangleKeepsTheStripWinding) {
  const auto strip = Points({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}});
  TAffineVectorList plain, indexed;
  StripToTriangles(*strip, plain);
  IndexedStripToTriangles(*strip, *Indices({0, 1, 2, 3, 4}), indexed);
  const float expected[] = {0, 1, 2, 3, 2, 1, 2, 3, 4};
  for (TAffineVectorList* out : {&plain, &indexed}) {
    ASSERT_EQ(out->Count(), 9);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(out->Get(i).X, expected[i]) << i;
  }
  // Fewer than three points give nothing; an index outside the vertices gives the zero vector.
  TAffineVectorList none;
  StripToTriangles(*Points({{1, 1, 1}, {2, 2, 2}}), none);
  IndexedStripToTriangles(*strip, *Indices({4, 1}), none);
  EXPECT_EQ(none.Count(), 0);
  IndexedStripToTriangles(*strip, *Indices({4, 7, 1}), none);
  ASSERT_EQ(none.Count(), 3);
  EXPECT_EQ(none.Get(1).X, 0);
}
