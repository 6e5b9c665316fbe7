// The preview mesh at the largest grid, 257 x 257. Run by hand (Release build), for instance:
//   build/bench/bench_shape_preview_mesh --benchmark_min_time=0.5
//
// BuildPreviewMesh at "View Level" 1 with "Auto Maximize" on (64 parts) into a free form, against
// a plain loop that makes the same positions (the same quantisation), texture coordinates,
// normals (one unit normal per triangle, averaged per vertex) and indices in std::vector (goal:
// within 1.5x), and against copying the finished vertex, texture-coordinate, normal and index
// arrays into fresh blocks. Every benchmark first sets the allocator up as the editor does at
// start-up (common::KeepFreedMemoryForReuse), so the lists of one rebuild reuse the pages of the
// last one, as in the program.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/StartupSequence.h"
#include "scene3d/scene/mesh/GLBaseMesh.h"
#include "settings/AppSettings.h"
#include "shape/model/uScPrim.h"
#include "shape/preview/PreviewMesh.h"

using namespace shape;

namespace {

constexpr int kSize = 257;

// A 257 x 257 sphere, bent a little so that no two parts have the same box.
std::unique_ptr<TCS> BigShape() {
  auto cs = std::make_unique<TCS>();
  InitShape(*cs, SCTYPE_SPHERE, kSize, kSize);
  for (int i = 0; i < kSize; ++i)
    for (int j = 0; j < kSize; ++j) cs->CP[i][j][1] += 0.01 * std::sin(0.37 * i + 0.11 * j);
  return cs;
}

void BM_BuildPreviewMesh(benchmark::State& state) {
  common::KeepFreedMemoryForReuse();
  settings::AppSettings.ViewLevel = 1;
  settings::AppSettings.AutoMaximize = true;
  const auto cs = BigShape();
  gl3d::TGLFreeForm freeForm(nullptr);
  for (auto _ : state) {
    BuildPreviewMesh(*cs, freeForm);
    benchmark::DoNotOptimize(freeForm.MeshObjects()->GetMeshObject(0)->Normals()->List());
  }
}
BENCHMARK(BM_BuildPreviewMesh)->Unit(benchmark::kMicrosecond);

// The same mesh as plain arrays, made by the most direct loops.
struct TPlainMesh {
  std::vector<float> positions, texCoords, normals;
  std::vector<uint32_t> indices;
};

void BuildPlainMesh(const TCS& cs, TPlainMesh& mesh) {
  const int n = kSize;
  const TPreviewQuantizer quantizer(cs);
  mesh.positions.assign(size_t{3} * n * n, 0);
  mesh.texCoords.assign(size_t{3} * n * n, 0);
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) {
      const size_t v = 3 * static_cast<size_t>(c + n * r);
      const gl3d::TVector3f p = quantizer.Position(c, n - 1 - r);
      mesh.positions[v] = p.X;
      mesh.positions[v + 1] = p.Y;
      mesh.positions[v + 2] = p.Z;
      mesh.texCoords[v] = static_cast<float>(c / double(n - 1));
      mesh.texCoords[v + 1] = static_cast<float>((n - 1 - r) / double(n - 1));
    }
  mesh.indices.clear();
  mesh.indices.reserve(size_t{6} * (n - 1) * (n - 1));
  for (int r = 0; r + 1 < n; ++r)
    for (int c = 0; c + 1 < n; ++c) {
      const uint32_t k = static_cast<uint32_t>(c + n * r), w = static_cast<uint32_t>(n);
      for (const uint32_t i : {k, k + w, k + 1, k + 1, k + w, k + w + 1}) mesh.indices.push_back(i);
    }
  mesh.normals.assign(size_t{3} * n * n, 0);
  std::vector<uint8_t> counts(size_t{1} * n * n, 0);
  const float* p = mesh.positions.data();
  float* out = mesh.normals.data();
  for (size_t t = 0; t < mesh.indices.size(); t += 3) {
    const uint32_t a = mesh.indices[t], b = mesh.indices[t + 1], c = mesh.indices[t + 2];
    const float ux = p[3 * b] - p[3 * a], uy = p[3 * b + 1] - p[3 * a + 1], uz = p[3 * b + 2] - p[3 * a + 2];
    const float vx = p[3 * c] - p[3 * a], vy = p[3 * c + 1] - p[3 * a + 1], vz = p[3 * c + 2] - p[3 * a + 2];
    const float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    const float len = std::sqrt(nx * nx + ny * ny + nz * nz);
    const float k = len > 0 ? 1 / len : 0;
    for (const uint32_t v : {a, b, c}) {
      out[3 * v] += nx * k;
      out[3 * v + 1] += ny * k;
      out[3 * v + 2] += nz * k;
      ++counts[v];
    }
  }
  for (size_t v = 0; v < counts.size(); ++v) {
    const float k = counts[v] ? 1.0f / counts[v] : 0;
    out[3 * v] *= k;
    out[3 * v + 1] *= k;
    out[3 * v + 2] *= k;
  }
}

void BM_PlainMeshLoop(benchmark::State& state) {
  common::KeepFreedMemoryForReuse();
  settings::AppSettings.AutoMaximize = true;
  const auto cs = BigShape();
  for (auto _ : state) {
    TPlainMesh mesh;  // fresh blocks, as the mesh object's lists are
    BuildPlainMesh(*cs, mesh);
    benchmark::DoNotOptimize(mesh.normals.data());
  }
}
BENCHMARK(BM_PlainMeshLoop)->Unit(benchmark::kMicrosecond);

void BM_CopyFinishedMeshArrays(benchmark::State& state) {
  common::KeepFreedMemoryForReuse();
  const auto cs = BigShape();
  TPlainMesh source;
  BuildPlainMesh(*cs, source);
  for (auto _ : state) {
    TPlainMesh copy;
    copy.positions = source.positions;
    copy.texCoords = source.texCoords;
    copy.normals = source.normals;
    copy.indices = source.indices;
    benchmark::DoNotOptimize(copy.indices.data());
  }
}
BENCHMARK(BM_CopyFinishedMeshArrays)->Unit(benchmark::kMicrosecond);

}  // namespace
