#pragma once
// What the animation tests share: vector and matrix comparisons, and a free form rigged with a
// two-bone skeleton and one skinned mesh object.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "scene3d/scene/Scene3dScene.h"
#include "scene3d/scene/animation/Skeleton.h"
#include "scene3d/scene/animation/SkeletonMeshObject.h"
#include "scene3d/scene/mesh/GLBaseMesh.h"

namespace gl3d::test {

inline ::testing::AssertionResult NearVector(const TVector3f& actual, const TVector3f& expected) {
  for (int c = 0; c < 3; ++c)
    if (std::fabs(actual[c] - expected[c]) > 1e-5f)
      return ::testing::AssertionFailure()
             << "(" << actual.X << ", " << actual.Y << ", " << actual.Z << ") instead of (" << expected.X
             << ", " << expected.Y << ", " << expected.Z << ")";
  return ::testing::AssertionSuccess();
}
#define ExpectVector(actual, ...) EXPECT_TRUE(gl3d::test::NearVector((actual), __VA_ARGS__))

inline void AddQuaternion(TQuaternionList& list, const TQuaternion& q) {
  list.SetCount(list.Count() + 1);
  list.Put(list.Count() - 1, q);
}

inline void ExpectMatrix(const TMatrix4f& actual, const TMatrix4f& expected) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_NEAR(actual[r][c], expected[r][c], 1e-6) << "row " << r << " column " << c;
}

// A free form whose skeleton has two root bones (IDs 0 and 1) and two frames: frame 0 leaves both
// at the origin; frame 1 turns bone 0 a quarter about Z and moves it by (1, 0, 0). Its one
// skinned mesh object has the vertices (1, 0, 0), (0, 1, 0), (0, 0, 1), normals (1, 0, 0), the
// first two on bone 0 and the third on bone 1 (slot 0, weight 1), prepared in frame 0.
struct TSkinnedMesh {
  explicit TSkinnedMesh(int bonesPerVertex) {
    Scene3dSceneStartup();  // copies of the rig go through archives
    TSkeleton& skeleton = *freeForm.Skeleton();
    new TSkeletonBone(skeleton.RootBones(), 0);
    new TSkeletonBone(skeleton.RootBones(), 1);
    auto* rest = new TSkeletonFrame(skeleton.Frames());
    auto* turned = new TSkeletonFrame(skeleton.Frames());
    for (int bone = 0; bone < 2; ++bone) {
      rest->Position()->Add({0, 0, 0});
      rest->Rotation()->Add({0, 0, 0});
    }
    turned->Position()->Add({1, 0, 0});
    turned->Rotation()->Add({0, 0, std::numbers::pi_v<float> / 2});
    turned->Position()->Add({0, 0, 0});
    turned->Rotation()->Add({0, 0, 0});

    mesh = new TSkeletonMeshObject(freeForm.MeshObjects());
    for (const TVector3f& v : {TVector3f{1, 0, 0}, TVector3f{0, 1, 0}, TVector3f{0, 0, 1}}) {
      mesh->Vertices()->Add(v);
      mesh->Normals()->Add({1, 0, 0});
    }
    mesh->SetBonesPerVertex(bonesPerVertex);
    mesh->SetVerticeBoneWeightCount(3);
    for (int v = 0; v < 3; ++v) mesh->VerticesBonesWeights(v, 0) = {v == 2 ? 1 : 0, 1};
    skeleton.RootBones()->PrepareGlobalMatrices();
    mesh->PrepareBoneSpaceMeshes();
  }
  TGLFreeForm freeForm{nullptr};
  TSkeletonMeshObject* mesh;
};

}  // namespace gl3d::test
