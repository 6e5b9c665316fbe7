// The preview mesh against its baselines (run by hand, Release build).
//
// Build: what the editor's preview builder does at 257 x 257 (CreateOwned, 66,049 vertices and
// texture coordinates appended, 393,216 indices through Add, BuildNormals, SetNormals and the
// structure change of the mesh list) against memcpy of the same vertex, texture-coordinate,
// normal and index bytes. Goal: within 8 times.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "scene3d/scene/mesh/MeshObject.h"
#include "scene3d/scene/mesh/MeshUtils.h"

using namespace gl3d;

namespace {

constexpr int kGrid = 257;

// The grid's points: a sphere of radius 0.5 (column i, row j), as the builder takes them.
const std::vector<TVector3f>& GridPoints() {
  static const std::vector<TVector3f> points = [] {
    std::vector<TVector3f> p;
    for (int i = 0; i < kGrid; ++i)
      for (int j = 0; j < kGrid; ++j) {
        const double u = 2 * M_PI * i / (kGrid - 1), v = M_PI * j / (kGrid - 1);
        p.push_back({static_cast<float>(0.5 * std::sin(v) * std::cos(u)), static_cast<float>(0.5 * std::cos(v)),
                     static_cast<float>(0.5 * std::sin(v) * std::sin(u))});
      }
    return p;
  }();
  return points;
}

void BM_BuildPreviewMesh(benchmark::State& state) {
  const std::vector<TVector3f>& points = GridPoints();
  TMeshObjectList list;
  for (auto _ : state) {
    list.Clear();
    TMeshObject* mesh = TMeshObject::CreateOwned(&list);
    mesh->SetMode(moFaceGroups);
    for (int i = 0; i < kGrid; ++i)
      for (int j = 0; j < kGrid; ++j) {
        mesh->Vertices()->Add(points[static_cast<size_t>(i * kGrid + j)]);
        mesh->TexCoords()->Add({static_cast<float>(i) / (kGrid - 1), static_cast<float>(j) / (kGrid - 1), 0});
      }
    auto* group = TFaceGroup::CreateOwned<TFGVertexIndexList>(mesh->FaceGroups());
    for (int i = 0; i + 1 < kGrid; ++i)
      for (int j = 0; j + 1 < kGrid; ++j) {
        const int k = i * kGrid + j;
        group->Add(k);
        group->Add(k + kGrid);
        group->Add(k + 1);
        group->Add(k + 1);
        group->Add(k + kGrid);
        group->Add(k + kGrid + 1);
      }
    mesh->SetNormals(*BuildNormals(*mesh->Vertices(), *group->VertexIndices()));
    list.InvalidateBuffers();
    benchmark::DoNotOptimize(mesh->Normals()->List());
  }
}
BENCHMARK(BM_BuildPreviewMesh)->Unit(benchmark::kMicrosecond);

void BM_MemcpyPreviewData(benchmark::State& state) {
  const size_t vertexBytes = sizeof(TVector3f) * kGrid * kGrid;
  const size_t indexBytes = sizeof(int32_t) * 6 * (kGrid - 1) * (kGrid - 1);
  std::vector<char> source(3 * vertexBytes + indexBytes, 1), target(source.size());
  for (auto _ : state) {
    // Vertices, texture coordinates, normals and indices, each into a fresh block as the lists do.
    std::vector<char> fresh(target.size());
    std::memcpy(fresh.data(), source.data(), source.size());
    benchmark::DoNotOptimize(fresh.data());
  }
}
BENCHMARK(BM_MemcpyPreviewData)->Unit(benchmark::kMicrosecond);

}  // namespace
