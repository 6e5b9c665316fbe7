// The mesh connectivity and the skinned pose, each against its baseline (run with
// --benchmark_filter=<pair> and compare the two times):
//   Connectivity/*   the connectivity of a free form holding the editor's largest grid
//                    (257 x 257 points, two triangles per cell), against a TConnectivity given
//                    the same vertices and triangles directly (goal: within 1.2x);
//   Skinning/*       ApplySkeletonFrame over 10,000 vertices with one bone each (four bones, in
//                    runs of 2,500 vertices), against VectorTransform3f of the same vertices by
//                    the same matrices (goal: within 2x).
#include <benchmark/benchmark.h>

#include <vector>

#include "scene3d/scene/Scene3dScene.h"
#include "scene3d/scene/animation/GLBaseMeshConnectivity.h"
#include "scene3d/scene/animation/Skeleton.h"
#include "scene3d/scene/animation/SkeletonMeshObject.h"
#include "scene3d/scene/mesh/GLBaseMesh.h"
#include "scene3d/scene/mesh/tests/MeshTestSupport.h"

using namespace gl3d;

namespace {

constexpr int kGrid = 257;
constexpr int kVertices = 10000;
constexpr int kBones = 4;

void Connectivity_BaseMesh(benchmark::State& state) {
  TGLFreeForm form(nullptr);
  gl3d::test::BuildPreviewMesh(*form.MeshObjects(), kGrid);
  for (auto _ : state) {
    TGLBaseMeshConnectivity connectivity(&form);
    benchmark::DoNotOptimize(connectivity.FaceCount());
  }
}
BENCHMARK(Connectivity_BaseMesh)->Unit(benchmark::kMillisecond);

void Connectivity_Direct(benchmark::State& state) {
  TGLFreeForm form(nullptr);
  TMeshObject& mesh = *gl3d::test::BuildPreviewMesh(*form.MeshObjects(), kGrid);
  const TIntegerList& indices =
      *static_cast<TFGVertexIndexList*>(mesh.FaceGroups()->Items(0))->VertexIndices();
  for (auto _ : state) {
    TConnectivity connectivity(true);
    connectivity.Vertices().Assign(mesh.Vertices());
    for (int i = 0; i + 2 < indices.Count(); i += 3)
      connectivity.AddIndexedFace(indices[i], indices[i + 1], indices[i + 2]);
    benchmark::DoNotOptimize(connectivity.FaceCount());
  }
}
BENCHMARK(Connectivity_Direct)->Unit(benchmark::kMillisecond);

// A free form whose skeleton has kBones root bones, each turned and moved by the current frame,
// and one skinned mesh object of kVertices vertices (no normals), one bone each.
struct TRig {
  TRig() {
    Scene3dSceneStartup();
    TSkeleton& skeleton = *form.Skeleton();
    auto* frame = new TSkeletonFrame(skeleton.Frames());
    for (int b = 0; b < kBones; ++b) {
      new TSkeletonBone(skeleton.RootBones(), b);
      frame->Position()->Add({float(b), 1, -2});
      frame->Rotation()->Add({0.1f * b, 0.2f, -0.3f});
    }
    mesh = new TSkeletonMeshObject(form.MeshObjects());
    mesh->SetVerticeBoneWeightCount(kVertices);
    for (int i = 0; i < kVertices; ++i) {
      mesh->Vertices()->Add({float(i % 100) * 0.01f, float(i / 100) * 0.01f, 0.5f});
      mesh->VerticesBonesWeights(i, 0) = {i / (kVertices / kBones), 1};
    }
    mesh->PrepareBoneSpaceMeshes();
    skeleton.RootBones()->PrepareGlobalMatrices();
  }
  TGLFreeForm form{nullptr};
  TSkeletonMeshObject* mesh;
};

void Skinning_ApplySkeletonFrame(benchmark::State& state) {
  TRig rig;
  for (auto _ : state) {
    rig.mesh->ApplySkeletonFrame(false);
    benchmark::DoNotOptimize(rig.mesh->Vertices()->List());
  }
}
BENCHMARK(Skinning_ApplySkeletonFrame)->Unit(benchmark::kMicrosecond);

void Skinning_TransformDirect(benchmark::State& state) {
  TRig rig;
  const TAffineVectorList& source = *rig.mesh->BoneSpaceMesh(0)->Vertices();
  std::vector<TMatrix4f> matrices;
  for (int b = 0; b < kBones; ++b) matrices.push_back(rig.form.Skeleton()->BoneByID(b)->GlobalMatrix());
  std::vector<TVector3f> out(kVertices);
  for (auto _ : state) {
    for (int i = 0; i < kVertices; ++i)
      VectorTransform3f(source.Get(i), matrices[i / (kVertices / kBones)], out[i]);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(Skinning_TransformDirect)->Unit(benchmark::kMicrosecond);

}  // namespace
