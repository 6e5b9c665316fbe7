#include "scene3d/scene/mesh/MeshUtils.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "scene3d/gl/GLContext.h"
#include "scene3d/gl/GLStateCache.h"

namespace gl3d {

namespace {

// 1 / i for i from 1 to 255; entry 0 is 0, so a vertex that no triangle reached stays zero.
const std::array<float, 256>& ReciprocalTable() {
  static const std::array<float, 256> table = [] {
    std::array<float, 256> t{};
    for (int i = 1; i < 256; ++i) t[static_cast<size_t>(i)] = 1.0f / static_cast<float>(i);
    return t;
  }();
  return table;
}

// The normals of a block of triangles are made first, four at a time, then added to their
// vertices in triangle order. Making them apart keeps the square roots and divisions of
// neighbouring triangles independent (adding each normal as soon as it is made would chain them
// through the shared vertices' sums), and four in one register do the same IEEE operations as one
// at a time: (b - a) x (c - a) in single precision, k := 1 / sqrt(x*x + y*y + z*z) when that sum is
// above 0, else 0, and the normal (x*k, y*k, z*k). The largest preview grid has 131,072 triangles
// to go through at every edit.
constexpr int kBlock = 256;  // triangles, a multiple of 4

struct TTriangleNormals {
  alignas(16) float X[kBlock];
  alignas(16) float Y[kBlock];
  alignas(16) float Z[kBlock];
  // Whether all three indices of the triangle lie in the vertex list; the others are skipped.
  bool Inside[kBlock];
};

#if defined(__SSE2__)

// (x, y, z, 0) of vertex i. Vertices are 4-byte aligned only: x and y come in through the
// unaligned 8-byte integer load.
inline __m128 LoadVertex(const TVector3f* v, int32_t i) {
  const float* p = &v[i].X;
  const __m128 xy = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
  return _mm_movelh_ps(xy, _mm_load_ss(p + 2));
}

// The x, y and z of the corners of four triangles (corner c of triangles t..t+3), one register each.
inline void LoadCorners(const TVector3f* v, const int32_t* corner, __m128& x, __m128& y, __m128& z) {
  __m128 r0 = LoadVertex(v, corner[0]), r1 = LoadVertex(v, corner[3]), r2 = LoadVertex(v, corner[6]),
         r3 = LoadVertex(v, corner[9]);
  _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
  x = r0;
  y = r1;
  z = r2;
}

// The normals of the four triangles whose 12 indices (all inside the list) begin at idx.
inline void FourNormals(const TVector3f* v, const int32_t* idx, float* nx, float* ny, float* nz) {
  __m128 ax, ay, az, bx, by, bz, cx, cy, cz;
  LoadCorners(v, idx, ax, ay, az);
  LoadCorners(v, idx + 1, bx, by, bz);
  LoadCorners(v, idx + 2, cx, cy, cz);
  const __m128 ux = _mm_sub_ps(bx, ax), uy = _mm_sub_ps(by, ay), uz = _mm_sub_ps(bz, az);
  const __m128 vx = _mm_sub_ps(cx, ax), vy = _mm_sub_ps(cy, ay), vz = _mm_sub_ps(cz, az);
  const __m128 x = _mm_sub_ps(_mm_mul_ps(uy, vz), _mm_mul_ps(uz, vy));
  const __m128 y = _mm_sub_ps(_mm_mul_ps(uz, vx), _mm_mul_ps(ux, vz));
  const __m128 z = _mm_sub_ps(_mm_mul_ps(ux, vy), _mm_mul_ps(uy, vx));
  const __m128 n2 = _mm_add_ps(_mm_add_ps(_mm_mul_ps(x, x), _mm_mul_ps(y, y)), _mm_mul_ps(z, z));
  const __m128 k = _mm_and_ps(_mm_cmpgt_ps(n2, _mm_setzero_ps()), _mm_div_ps(_mm_set1_ps(1.0f), _mm_sqrt_ps(n2)));
  _mm_store_ps(nx, _mm_mul_ps(x, k));
  _mm_store_ps(ny, _mm_mul_ps(y, k));
  _mm_store_ps(nz, _mm_mul_ps(z, k));
}

// A triangle's normal ready to add, and the addition of its x, y and z to a sum (the fourth lane
// is never stored).
using TNormal = __m128;
inline TNormal MakeNormal(float x, float y, float z) { return _mm_setr_ps(x, y, z, 0); }
inline void AddNormal(TVector3f& sum, TNormal normal) {
  float* p = &sum.X;
  const __m128 s = _mm_add_ps(LoadVertex(reinterpret_cast<const TVector3f*>(p), 0), normal);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_castps_si128(s));
  _mm_store_ss(p + 2, _mm_movehl_ps(s, s));
}

#else

inline void FourNormals(const TVector3f* v, const int32_t* idx, float* nx, float* ny, float* nz) {
  for (int t = 0; t < 4; ++t) {
    const TVector3f &a = v[idx[3 * t]], &b = v[idx[3 * t + 1]], &c = v[idx[3 * t + 2]];
    const float ux = b.X - a.X, uy = b.Y - a.Y, uz = b.Z - a.Z;
    const float vx = c.X - a.X, vy = c.Y - a.Y, vz = c.Z - a.Z;
    const float x = uy * vz - uz * vy, y = uz * vx - ux * vz, z = ux * vy - uy * vx;
    const float n2 = x * x + y * y + z * z;
    const float k = n2 > 0 ? 1.0f / std::sqrt(n2) : 0.0f;
    nx[t] = x * k;
    ny[t] = y * k;
    nz[t] = z * k;
  }
}

using TNormal = TVector3f;
inline TNormal MakeNormal(float x, float y, float z) { return {x, y, z}; }
inline void AddNormal(TVector3f& sum, const TNormal& normal) {
  sum.X += normal.X;
  sum.Y += normal.Y;
  sum.Z += normal.Z;
}

#endif

// Whether the triangle's three indices lie in 0..n-1.
inline bool Inside(const int32_t* c, int n) {
  const auto u = static_cast<uint32_t>(n);
  return (static_cast<uint32_t>(c[0]) < u) & (static_cast<uint32_t>(c[1]) < u) & (static_cast<uint32_t>(c[2]) < u);
}

// The normals of `count` triangles (at most kBlock) starting at idx. Triangles with an index
// outside 0..n-1 are marked outside; a group of four with one of them is made with index 0 in its
// place (only n > 0 gets here) so no vertex outside the list is read.
void BlockNormals(const TVector3f* v, int n, const int32_t* idx, int count, TTriangleNormals& out) {
  for (int t = 0; t < count; t += 4) {
    const int32_t* group = idx + 3 * t;
    if (count - t >= 4) {
      const bool a = Inside(group, n), b = Inside(group + 3, n), c = Inside(group + 6, n), d = Inside(group + 9, n);
      out.Inside[t] = a;
      out.Inside[t + 1] = b;
      out.Inside[t + 2] = c;
      out.Inside[t + 3] = d;
      if (a & b & c & d) {
        FourNormals(v, group, &out.X[t], &out.Y[t], &out.Z[t]);
        continue;
      }
    }
    int32_t corners[12] = {};
    for (int q = 0; q < 4 && t + q < count; ++q) {
      const bool inside = Inside(group + 3 * q, n);
      out.Inside[t + q] = inside;
      if (inside)
        for (int r = 0; r < 3; ++r) corners[3 * q + r] = group[3 * q + r];
    }
    FourNormals(v, corners, &out.X[t], &out.Y[t], &out.Z[t]);
  }
}

TVector3f VertexOrZero(const TAffineVectorList& vertices, int32_t index) {
  return index >= 0 && index < vertices.Count() ? vertices.List()[index] : NullVector3f;
}

}  // namespace

std::unique_ptr<TAffineVectorList> BuildNormals(const TAffineVectorList& vertices, const TIntegerList& indices) {
  auto result = std::make_unique<TAffineVectorList>();
  const int n = vertices.Count();
  result->SetCount(n);
  if (n == 0) return result;
  TVector3f* sums = result->List();
  std::vector<uint8_t> counters(static_cast<size_t>(n), 0);
  const TVector3f* v = vertices.List();
  const int32_t* idx = indices.List();
  const int triangles = indices.Count() / 3;
  TTriangleNormals normals;
  for (int start = 0; start < triangles; start += kBlock) {
    const int count = std::min(kBlock, triangles - start);
    const int32_t* block = idx + 3 * start;
    BlockNormals(v, n, block, count, normals);
    for (int t = 0; t < count; ++t) {
      if (!normals.Inside[t]) continue;
      const TNormal normal = MakeNormal(normals.X[t], normals.Y[t], normals.Z[t]);
      for (int r = 0; r < 3; ++r) {
        const int32_t k = block[3 * t + r];
        AddNormal(sums[k], normal);
        ++counters[static_cast<size_t>(k)];
      }
    }
  }
  const std::array<float, 256>& table = ReciprocalTable();
  for (int k = 0; k < n; ++k) {
    const float r = table[counters[static_cast<size_t>(k)]];
    sums[k].X *= r;
    sums[k].Y *= r;
    sums[k].Z *= r;
  }
  return result;
}

void StripToTriangles(const TAffineVectorList& strip, TAffineVectorList& destination) {
  const int n = strip.Count();
  if (n < 3) return;
  destination.EnsureCapacity(destination.Count() + 3 * n - 6);
  const TVector3f* v = strip.List();
  for (int k = 0; k + 2 < n; ++k) {
    if (k % 2 == 0)
      destination.AddThree(v[k], v[k + 1], v[k + 2]);
    else
      destination.AddThree(v[k + 2], v[k + 1], v[k]);
  }
}

void IndexedStripToTriangles(const TAffineVectorList& vertices, const TIntegerList& indices,
                             TAffineVectorList& destination) {
  const int n = indices.Count();
  if (n < 3) return;
  destination.EnsureCapacity(destination.Count() + 3 * n - 6);
  const int32_t* idx = indices.List();
  for (int k = 0; k + 2 < n; ++k) {
    const TVector3f a = VertexOrZero(vertices, idx[k]);
    const TVector3f b = VertexOrZero(vertices, idx[k + 1]);
    const TVector3f c = VertexOrZero(vertices, idx[k + 2]);
    if (k % 2 == 0)
      destination.AddThree(a, b, c);
    else
      destination.AddThree(c, b, a);
  }
}

void ResetColorMaterial(TRenderContextInfo& rci) {
  TGLStateCache& states = *rci.StateCache;
  states.Enable(capColorMaterial);
  CurrentGLEntryPoints().ColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  const TVector4f emission{0, 0, 0, 1}, ambient{0.2f, 0.2f, 0.2f, 1}, diffuse{0.8f, 0.8f, 0.8f, 1},
      specular{0, 0, 0, 1};
  states.SetGLMaterialColors(cmFront, emission, ambient, diffuse, specular, 0);
  states.SetGLMaterialColors(cmBack, emission, ambient, diffuse, specular, 0);
}

}  // namespace gl3d
