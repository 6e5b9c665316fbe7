#include "scene3d/scene/mesh/MeshUtils.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
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
//
// Each vertex's running sum lives in a 16-byte slot of its own while the triangles are added: x, y
// and z, and in the fourth lane the vertex's number of triangles, counted in single precision. Each
// triangle's normal carries 1 in its fourth lane, so one aligned load, one float addition and one
// store add a triangle to a vertex, where the 12-byte items of the list took two loads and two
// stores plus the byte counter's own. A vertex shared by neighbouring triangles gets its additions
// one after the other, each waiting for the store before it, so the fewer steps between a load and
// its store the better. Whole numbers count exactly up to 2^24; every kCounterChunk triangles each
// count is brought back to its value modulo 256, long before it could get there.
constexpr int kBlock = 256;                  // triangles, a multiple of 8
constexpr int kCounterChunk = kBlock << 12;  // 2^20 triangles: 3 x 2^20 counts at most between resets

struct alignas(16) TVertexSum {
  float X, Y, Z;
  float Count;
};

// The count modulo 256 (the byte counter's value).
inline uint32_t CountByte(float count) { return static_cast<uint32_t>(count) & 0xFFu; }
static_assert(sizeof(TVertexSum) == 16);

struct TTriangleNormals {
  // (x, y, z, 1) of each triangle.
  alignas(16) float N[kBlock][4];
  // Whether all three indices of the triangle lie in the vertex list; the others are skipped.
  bool Inside[kBlock];
};

// Whether all `count` indices (a multiple of 4) lie in 0..n-2: then no triangle of the block is
// skipped and every corner is followed by another vertex. Blocks of a mesh whose last vertex is a
// corner, or with indices outside the list, go the checked way.
bool PlainBlock(const int32_t* idx, int count, int n) {
#if defined(__SSE2__)
  // Unsigned idx < n - 1 as a signed comparison of both sides shifted by 2^31.
  const __m128i shift = _mm_set1_epi32(INT32_MIN);
  const __m128i limit = _mm_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(n - 1) ^ 0x80000000u));
  __m128i below = _mm_set1_epi32(-1);
  for (int k = 0; k < count; k += 4) {
    const __m128i x = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(idx + k)), shift);
    below = _mm_and_si128(below, _mm_cmplt_epi32(x, limit));
  }
  return _mm_movemask_epi8(below) == 0xFFFF;
#else
  const auto limit = static_cast<uint32_t>(n - 1);
  bool below = true;
  for (int k = 0; k < count; ++k) below &= static_cast<uint32_t>(idx[k]) < limit;
  return below;
#endif
}

#if defined(__SSE2__)

// (x, y, z, w) of vertex i of n, where w is whatever follows z (it is never used). Every vertex
// but the last is followed by another, so 16 bytes from it lie in the list; the last vertex comes
// in through the unaligned 8-byte integer load and a single (w = 0). kFollowed: i is known to be
// below n - 1.
template <bool kFollowed>
inline __m128 LoadVertex(const TVector3f* v, int n, int32_t i) {
  const float* p = &v[i].X;
  if (kFollowed || i + 1 < n) return _mm_loadu_ps(p);
  const __m128 xy = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
  return _mm_movelh_ps(xy, _mm_load_ss(p + 2));
}

// The x, y and z of the corners of four triangles (corner c of triangles t..t+3), one register each.
template <bool kFollowed>
inline void LoadCorners(const TVector3f* v, int n, const int32_t* corner, __m128& x, __m128& y, __m128& z) {
  __m128 r0 = LoadVertex<kFollowed>(v, n, corner[0]), r1 = LoadVertex<kFollowed>(v, n, corner[3]),
         r2 = LoadVertex<kFollowed>(v, n, corner[6]), r3 = LoadVertex<kFollowed>(v, n, corner[9]);
  _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
  x = r0;
  y = r1;
  z = r2;
}

// The normals of the four triangles whose 12 indices (all inside the list) begin at idx, as four
// (x, y, z, 0) rows.
template <bool kFollowed>
inline void FourNormals(const TVector3f* v, int n, const int32_t* idx, float (*out)[4]) {
  __m128 ax, ay, az, bx, by, bz, cx, cy, cz;
  LoadCorners<kFollowed>(v, n, idx, ax, ay, az);
  LoadCorners<kFollowed>(v, n, idx + 1, bx, by, bz);
  LoadCorners<kFollowed>(v, n, idx + 2, cx, cy, cz);
  const __m128 ux = _mm_sub_ps(bx, ax), uy = _mm_sub_ps(by, ay), uz = _mm_sub_ps(bz, az);
  const __m128 vx = _mm_sub_ps(cx, ax), vy = _mm_sub_ps(cy, ay), vz = _mm_sub_ps(cz, az);
  const __m128 x = _mm_sub_ps(_mm_mul_ps(uy, vz), _mm_mul_ps(uz, vy));
  const __m128 y = _mm_sub_ps(_mm_mul_ps(uz, vx), _mm_mul_ps(ux, vz));
  const __m128 z = _mm_sub_ps(_mm_mul_ps(ux, vy), _mm_mul_ps(uy, vx));
  const __m128 n2 = _mm_add_ps(_mm_add_ps(_mm_mul_ps(x, x), _mm_mul_ps(y, y)), _mm_mul_ps(z, z));
  const __m128 k =
      _mm_and_ps(_mm_cmpgt_ps(n2, _mm_setzero_ps()), _mm_div_ps(_mm_set1_ps(1.0f), _mm_sqrt_ps(n2)));
  __m128 r0 = _mm_mul_ps(x, k), r1 = _mm_mul_ps(y, k), r2 = _mm_mul_ps(z, k), r3 = _mm_set1_ps(1.0f);
  _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
  _mm_store_ps(out[0], r0);
  _mm_store_ps(out[1], r1);
  _mm_store_ps(out[2], r2);
  _mm_store_ps(out[3], r3);
}

// A triangle's normal ready to add (loaded once for its three corners).
using TNormal = __m128;
inline TNormal LoadNormal(const float* normal) { return _mm_load_ps(normal); }

// Adds a triangle's (x, y, z, 1) to a vertex's sum and count.
inline void AddNormal(TVertexSum& sum, TNormal normal) {
  _mm_store_ps(&sum.X, _mm_add_ps(_mm_load_ps(&sum.X), normal));
}

#else

template <bool kFollowed>
inline void FourNormals(const TVector3f* v, int, const int32_t* idx, float (*out)[4]) {
  for (int t = 0; t < 4; ++t) {
    const TVector3f &a = v[idx[3 * t]], &b = v[idx[3 * t + 1]], &c = v[idx[3 * t + 2]];
    const float ux = b.X - a.X, uy = b.Y - a.Y, uz = b.Z - a.Z;
    const float vx = c.X - a.X, vy = c.Y - a.Y, vz = c.Z - a.Z;
    const float x = uy * vz - uz * vy, y = uz * vx - ux * vz, z = ux * vy - uy * vx;
    const float n2 = x * x + y * y + z * z;
    const float k = n2 > 0 ? 1.0f / std::sqrt(n2) : 0.0f;
    out[t][0] = x * k;
    out[t][1] = y * k;
    out[t][2] = z * k;
    out[t][3] = 1;
  }
}

using TNormal = const float*;
inline TNormal LoadNormal(const float* normal) { return normal; }

inline void AddNormal(TVertexSum& sum, TNormal normal) {
  sum.X += normal[0];
  sum.Y += normal[1];
  sum.Z += normal[2];
  sum.Count += normal[3];
}

#endif

// Adds the normals of a whole block of triangles (all inside the list) to their vertices, in
// triangle order.
[[gnu::always_inline]] inline void AddBlockNormals(const int32_t* idx, const TTriangleNormals& normals,
                                                   TVertexSum* sums) {
#pragma GCC unroll 4
  for (int t = 0; t < kBlock; ++t) {
    const int32_t* c = idx + 3 * t;
    const TNormal normal = LoadNormal(normals.N[t]);
    AddNormal(sums[c[0]], normal);
    AddNormal(sums[c[1]], normal);
    AddNormal(sums[c[2]], normal);
  }
}

#if defined(__x86_64__)
// The same steps eight triangles at a time on processors with 256-bit vectors: every lane does the
// very operations the four-wide path does (no fused multiply-add), so the bits are the same.
#define ZEPHOR_WIDE __attribute__((target("avx2")))
#define ZEPHOR_WIDE_INLINE __attribute__((target("avx2"), always_inline)) inline

// Whether all `count` indices (a multiple of 8) lie in 0..n-2, through their unsigned maximum.
ZEPHOR_WIDE bool PlainBlockWide(const int32_t* idx, int count, int n) {
  __m256i most = _mm256_setzero_si256();
  for (int k = 0; k < count; k += 8)
    most = _mm256_max_epu32(most, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(idx + k)));
  const __m128i half = _mm_max_epu32(_mm256_castsi256_si128(most), _mm256_extracti128_si256(most, 1));
  const __m128i quarter = _mm_max_epu32(half, _mm_shuffle_epi32(half, _MM_SHUFFLE(1, 0, 3, 2)));
  const __m128i top = _mm_max_epu32(quarter, _mm_shuffle_epi32(quarter, _MM_SHUFFLE(2, 3, 0, 1)));
  return static_cast<uint32_t>(_mm_cvtsi128_si32(top)) < static_cast<uint32_t>(n - 1);
}

// Rows (a0 | b0) .. (a3 | b3) of two 4 x 4 blocks into their columns, each half on its own.
ZEPHOR_WIDE_INLINE void TransposeHalves(__m256& r0, __m256& r1, __m256& r2, __m256& r3) {
  const __m256 t0 = _mm256_unpacklo_ps(r0, r1), t1 = _mm256_unpackhi_ps(r0, r1);
  const __m256 t2 = _mm256_unpacklo_ps(r2, r3), t3 = _mm256_unpackhi_ps(r2, r3);
  r0 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(1, 0, 1, 0));
  r1 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(3, 2, 3, 2));
  r2 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(1, 0, 1, 0));
  r3 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(3, 2, 3, 2));
}

// Vertex i in the low half, vertex j in the high one (both followed by another vertex).
ZEPHOR_WIDE_INLINE __m256 LoadPair(const TVector3f* v, int32_t i, int32_t j) {
  return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(&v[i].X)), _mm_loadu_ps(&v[j].X), 1);
}

// Corner c of triangles t..t+7 (every vertex followed by another): triangles t..t+3 in the low
// halves, t+4..t+7 in the high ones.
ZEPHOR_WIDE_INLINE void LoadCornersWide(const TVector3f* v, const int32_t* corner, __m256& x, __m256& y,
                                        __m256& z) {
  __m256 r0 = LoadPair(v, corner[0], corner[12]), r1 = LoadPair(v, corner[3], corner[15]),
         r2 = LoadPair(v, corner[6], corner[18]), r3 = LoadPair(v, corner[9], corner[21]);
  TransposeHalves(r0, r1, r2, r3);
  x = r0;
  y = r1;
  z = r2;
}

ZEPHOR_WIDE_INLINE void StoreHalves(__m256 r, float* low, float* high) {
  _mm_store_ps(low, _mm256_castps256_ps128(r));
  _mm_store_ps(high, _mm256_extractf128_ps(r, 1));
}

ZEPHOR_WIDE_INLINE void EightNormals(const TVector3f* v, const int32_t* idx, float (*out)[4]) {
  __m256 ax, ay, az, bx, by, bz, cx, cy, cz;
  LoadCornersWide(v, idx, ax, ay, az);
  LoadCornersWide(v, idx + 1, bx, by, bz);
  LoadCornersWide(v, idx + 2, cx, cy, cz);
  const __m256 ux = _mm256_sub_ps(bx, ax), uy = _mm256_sub_ps(by, ay), uz = _mm256_sub_ps(bz, az);
  const __m256 vx = _mm256_sub_ps(cx, ax), vy = _mm256_sub_ps(cy, ay), vz = _mm256_sub_ps(cz, az);
  const __m256 x = _mm256_sub_ps(_mm256_mul_ps(uy, vz), _mm256_mul_ps(uz, vy));
  const __m256 y = _mm256_sub_ps(_mm256_mul_ps(uz, vx), _mm256_mul_ps(ux, vz));
  const __m256 z = _mm256_sub_ps(_mm256_mul_ps(ux, vy), _mm256_mul_ps(uy, vx));
  const __m256 n2 =
      _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(x, x), _mm256_mul_ps(y, y)), _mm256_mul_ps(z, z));
  const __m256 k = _mm256_and_ps(_mm256_cmp_ps(n2, _mm256_setzero_ps(), _CMP_GT_OS),
                                 _mm256_div_ps(_mm256_set1_ps(1.0f), _mm256_sqrt_ps(n2)));
  __m256 r0 = _mm256_mul_ps(x, k), r1 = _mm256_mul_ps(y, k), r2 = _mm256_mul_ps(z, k),
         r3 = _mm256_set1_ps(1.0f);
  TransposeHalves(r0, r1, r2, r3);
  StoreHalves(r0, out[0], out[4]);
  StoreHalves(r1, out[1], out[5]);
  StoreHalves(r2, out[2], out[6]);
  StoreHalves(r3, out[3], out[7]);
}

ZEPHOR_WIDE void AddPlainBlockWide(const TVector3f* v, const int32_t* idx, TTriangleNormals& normals,
                                   TVertexSum* sums) {
  for (int t = 0; t < kBlock; t += 8) EightNormals(v, idx + 3 * t, &normals.N[t]);
  AddBlockNormals(idx, normals, sums);
}

std::atomic<bool> wideVectorsAllowed{true};

bool UseWideVectors() {
  static const bool present = __builtin_cpu_supports("avx2");
  return present && wideVectorsAllowed.load(std::memory_order_relaxed);
}
#endif

// Whether the triangle's three indices lie in 0..n-1.
inline bool Inside(const int32_t* c, int n) {
  const auto u = static_cast<uint32_t>(n);
  return (static_cast<uint32_t>(c[0]) < u) & (static_cast<uint32_t>(c[1]) < u) &
         (static_cast<uint32_t>(c[2]) < u);
}

// A whole block of kBlock triangles whose indices all lie in 0..n-2.
void AddPlainBlock(const TVector3f* v, int n, const int32_t* idx, TTriangleNormals& normals,
                   TVertexSum* sums) {
  for (int t = 0; t < kBlock; t += 4) FourNormals<true>(v, n, idx + 3 * t, &normals.N[t]);
  AddBlockNormals(idx, normals, sums);
}

// Any block of `count` triangles (at most kBlock). Triangles with an index outside 0..n-1 are
// skipped; a group of four with one of them is made with index 0 in its place (only n > 0 gets
// here) so no vertex outside the list is read.
void AddCheckedBlock(const TVector3f* v, int n, const int32_t* idx, int count, TTriangleNormals& out,
                     TVertexSum* sums) {
  for (int t = 0; t < count; t += 4) {
    const int32_t* group = idx + 3 * t;
    if (count - t >= 4) {
      const bool a = Inside(group, n), b = Inside(group + 3, n), c = Inside(group + 6, n),
                 d = Inside(group + 9, n);
      out.Inside[t] = a;
      out.Inside[t + 1] = b;
      out.Inside[t + 2] = c;
      out.Inside[t + 3] = d;
      if (a & b & c & d) {
        FourNormals<false>(v, n, group, &out.N[t]);
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
    // The block has room for whole groups of four past `count`.
    FourNormals<false>(v, n, corners, &out.N[t]);
  }
  for (int t = 0; t < count; ++t) {
    if (!out.Inside[t]) continue;
    const TNormal normal = LoadNormal(out.N[t]);
    for (int r = 0; r < 3; ++r) AddNormal(sums[idx[3 * t + r]], normal);
  }
}

// Every sum and count 0.
void StartSums(TVertexSum* sums, int n) { std::fill(sums, sums + n, TVertexSum{0, 0, 0, 0}); }

// The normals: each sum times 1 / (its count modulo 256), 0 for none.
void FinishSums(const TVertexSum* sums, int n, TVector3f* out) {
  const std::array<float, 256>& table = ReciprocalTable();
#if defined(__SSE2__)
  // Sixteen bytes go out for every vertex but the last: the fourth (the counter times the factor)
  // reaches into the next vertex, which is written right after.
  for (int k = 0; k + 1 < n; ++k) {
    const __m128 s = _mm_load_ps(&sums[k].X);
    _mm_storeu_ps(&out[k].X, _mm_mul_ps(s, _mm_set1_ps(table[CountByte(sums[k].Count)])));
  }
#else
  for (int k = 0; k + 1 < n; ++k) {
    const float r = table[CountByte(sums[k].Count)];
    out[k] = {sums[k].X * r, sums[k].Y * r, sums[k].Z * r};
  }
#endif
  const TVertexSum& s = sums[n - 1];
  const float r = table[CountByte(s.Count)];
  out[n - 1] = {s.X * r, s.Y * r, s.Z * r};
}

TVector3f VertexOrZero(const TAffineVectorList& vertices, int32_t index) {
  return index >= 0 && index < vertices.Count() ? vertices.List()[index] : NullVector3f;
}

}  // namespace

void AllowWideVectorsInBuildNormals(bool allowed) {
#if defined(__x86_64__)
  wideVectorsAllowed.store(allowed, std::memory_order_relaxed);
#else
  (void)allowed;
#endif
}

std::unique_ptr<TAffineVectorList> BuildNormals(const TAffineVectorList& vertices,
                                                const TIntegerList& indices) {
  auto result = std::make_unique<TAffineVectorList>();
  const int n = vertices.Count();
  if (n == 0) return result;
  std::unique_ptr<TVertexSum[]> sums(new TVertexSum[static_cast<size_t>(n)]);
  StartSums(sums.get(), n);
  const TVector3f* v = vertices.List();
  const int32_t* idx = indices.List();
  const int triangles = indices.Count() / 3;
  TTriangleNormals normals;
#if defined(__x86_64__)
  const bool wide = UseWideVectors();
#endif
  for (int start = 0; start < triangles; start += kBlock) {
    if (start > 0 && start % kCounterChunk == 0)
      for (int k = 0; k < n; ++k) sums[k].Count = static_cast<float>(CountByte(sums[k].Count));
    const int count = std::min(kBlock, triangles - start);
    const int32_t* block = idx + 3 * start;
#if defined(__x86_64__)
    if (wide) {
      if (count == kBlock && PlainBlockWide(block, 3 * kBlock, n))
        AddPlainBlockWide(v, block, normals, sums.get());
      else
        AddCheckedBlock(v, n, block, count, normals, sums.get());
      continue;
    }
#endif
    if (count == kBlock && PlainBlock(block, 3 * kBlock, n))
      AddPlainBlock(v, n, block, normals, sums.get());
    else
      AddCheckedBlock(v, n, block, count, normals, sums.get());
  }
  result->SetCount(n);
  FinishSums(sums.get(), n, result->List());
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
