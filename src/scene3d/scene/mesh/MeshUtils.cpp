#include "scene3d/scene/mesh/MeshUtils.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

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

// The unit normal of (b - a) x (c - a); zero for a degenerate triangle. Single precision with one
// square root per triangle: the largest preview grid has 131,072 triangles to go through at every
// edit, and the result stays within a few units of the last place of an exact computation.
inline TVector3f UnitPlaneNormal(const TVector3f& a, const TVector3f& b, const TVector3f& c) {
  const float ux = b.X - a.X, uy = b.Y - a.Y, uz = b.Z - a.Z;
  const float vx = c.X - a.X, vy = c.Y - a.Y, vz = c.Z - a.Z;
  const float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
  const float n2 = nx * nx + ny * ny + nz * nz;
  const float k = n2 > 0 ? 1.0f / std::sqrt(n2) : 0.0f;
  return {nx * k, ny * k, nz * k};
}

TVector3f VertexOrZero(const TAffineVectorList& vertices, int32_t index) {
  return index >= 0 && index < vertices.Count() ? vertices.List()[index] : NullVector3f;
}

}  // namespace

std::unique_ptr<TAffineVectorList> BuildNormals(const TAffineVectorList& vertices, const TIntegerList& indices) {
  auto result = std::make_unique<TAffineVectorList>();
  const int n = vertices.Count();
  result->SetCount(n);
  TVector3f* sums = result->List();
  std::vector<uint8_t> counters(static_cast<size_t>(n), 0);
  const TVector3f* v = vertices.List();
  const int32_t* idx = indices.List();
  const int whole = indices.Count() / 3 * 3;
  // Neighbouring triangles share vertices, so adding each normal as soon as it is made would chain
  // every square root to the previous triangle's sums. The normals of a block of triangles are made
  // first (independent of one another), then added.
  constexpr int kBlock = 256;
  TVector3f normals[kBlock];
  for (int start = 0; start < whole; start += 3 * kBlock) {
    const int end = std::min(whole, start + 3 * kBlock);
    for (int i = start; i < end; i += 3) {
      const int32_t a = idx[i], b = idx[i + 1], c = idx[i + 2];
      const bool inside = a >= 0 && a < n && b >= 0 && b < n && c >= 0 && c < n;
      normals[(i - start) / 3] = inside ? UnitPlaneNormal(v[a], v[b], v[c]) : NullVector3f;
    }
    for (int i = start; i < end; i += 3) {
      const int32_t a = idx[i], b = idx[i + 1], c = idx[i + 2];
      if (a < 0 || a >= n || b < 0 || b >= n || c < 0 || c >= n) continue;
      const TVector3f& normal = normals[(i - start) / 3];
      for (const int32_t k : {a, b, c}) {
        sums[k].X += normal.X;
        sums[k].Y += normal.Y;
        sums[k].Z += normal.Z;
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
