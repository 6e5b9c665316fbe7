// The mesh utilities: smooth normals (against numpy's float64 answers for a 33 x 33 grid) and the
// strip expansions.
#include <gtest/gtest.h>

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
      {"partial and outside", Indices({0, 1, 2, 0, 3, 9, 0, 3}), {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 0}}},
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
