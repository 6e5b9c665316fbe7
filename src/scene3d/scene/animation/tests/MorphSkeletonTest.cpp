// Morph targets and skeletons: interpolation of targets, frame matrices, bones and their index,
// global matrices, lerped and blended frames, skinned mesh objects posed by one or two bones, and
// colliders.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "scene3d/scene/animation/MorphableMeshObject.h"
#include "scene3d/scene/animation/Skeleton.h"
#include "scene3d/scene/animation/SkeletonMeshObject.h"
#include "scene3d/scene/animation/tests/AnimationTestSupport.h"
#include "scene3d/scene/mesh/GLBaseMesh.h"

using namespace gl3d;

TEST(MorphTargets, LerpInterpolatesVerticesAndRenormalisesNormals) {
  TMorphableMeshObject mesh;
  mesh.Vertices()->Add({5, 5, 5});
  auto* a = new TMeshMorphTarget(mesh.MorphTargets());
  auto* b = new TMeshMorphTarget(mesh.MorphTargets());
  a->Vertices()->Add({0, 0, 0});
  b->Vertices()->Add({2, 0, 0});
  a->Normals()->Add({1, 0, 0});
  b->Normals()->Add({0, 1, 0});
  mesh.SetValidBuffers(MeshBufferBit(vbVertices) | MeshBufferBit(vbNormals) | MeshBufferBit(vbColors));
  mesh.Lerp(0, 1, 0.5f);
  ExpectVector(mesh.Vertices()->Get(0), {1, 0, 0});
  const float h = std::sqrt(0.5f);
  ExpectVector(mesh.Normals()->Get(0), {h, h, 0});
  EXPECT_EQ(mesh.ValidBuffers(), MeshBufferBit(vbColors)) << "vertices and normals marked for upload";

  mesh.Lerp(0, 1, 1);
  ExpectVector(mesh.Vertices()->Get(0), {2, 0, 0});
  ExpectVector(mesh.Normals()->Get(0), {0, 1, 0});
  mesh.Lerp(0, 1, 0);
  ExpectVector(mesh.Vertices()->Get(0), {0, 0, 0});

  EXPECT_THROW(mesh.Lerp(0, 2, 0.5f), common::EAssertionFailed);
  EXPECT_THROW(mesh.SetToTarget(2), common::EAssertionFailed);
  EXPECT_THROW(mesh.SetToTarget(-1), common::EAssertionFailed);
}

TEST(MorphTargets, EmptyTargetsLeaveTheListsAndTranslateMovesEveryTarget) {
  TMorphableMeshObject mesh;
  mesh.SetToTarget(0);  // no target at all: nothing
  mesh.Vertices()->Add({1, 2, 3});
  mesh.Normals()->Add({0, 0, 1});
  auto* empty = new TMeshMorphTarget(mesh.MorphTargets());
  empty->Normals()->Add({1, 0, 0});
  mesh.SetToTarget(0);
  ExpectVector(mesh.Vertices()->Get(0), {1, 2, 3});
  ExpectVector(mesh.Normals()->Get(0), {1, 0, 0}) << "the target's normals are taken";

  auto* full = new TMeshMorphTarget(mesh.MorphTargets());
  full->Vertices()->Add({4, 4, 4});
  mesh.Translate({1, 0, 0});
  ExpectVector(mesh.Vertices()->Get(0), {2, 2, 3});
  ExpectVector(full->Vertices()->Get(0), {5, 4, 4});

  delete full;  // a target leaves its list
  EXPECT_EQ(mesh.MorphTargets()->Count(), 1);
  mesh.Clear();
  EXPECT_EQ(mesh.MorphTargets()->Count(), 0);
  EXPECT_EQ(mesh.Vertices()->Count(), 0);
}

TEST(SkeletonFrames, LocalMatricesFromAnglesOrQuaternions) {
  TSkeletonFrame frame;
  frame.Position()->Add({1, 2, 3});
  frame.Rotation()->Add({0, 0, 0});
  frame.Position()->Add({0, 0, 0});
  frame.Rotation()->Add({0.3f, -0.7f, 1.1f});
  const auto& m = frame.LocalMatrixList();
  ASSERT_EQ(m.size(), 2u);
  TMatrix4f expected = IdentityMatrix4f;
  expected[3] = {1, 2, 3, 1};
  gl3d::test::ExpectMatrix(m[0], expected);
  TMatrix4f xy, xyz;
  MultiplyMatrix4f(CreateRotationMatrixX(0.3f), CreateRotationMatrixY(-0.7f), xy);
  MultiplyMatrix4f(xy, CreateRotationMatrixZ(1.1f), xyz);
  gl3d::test::ExpectMatrix(m[1], xyz);

  frame.Position()->Put(0, {7, 7, 7});
  EXPECT_EQ(frame.LocalMatrixList()[0][3].X, 1) << "kept until flushed";
  frame.FlushLocalMatrixList();
  EXPECT_EQ(frame.LocalMatrixList()[0][3].X, 7);

  TSkeletonFrame quaternions;
  quaternions.SetTransformMode(ftQuaternions);
  quaternions.Position()->Add({0, 1, 0});
  TQuaternion q;
  QuaternionFromAxisAngle({0, 0, 1}, 90, q);
  gl3d::test::AddQuaternion(*quaternions.Quaternion(), q);
  quaternions.Position()->Add({0, 0, 2});  // no quaternion for this bone: no turn
  TMatrix4f rotation;
  QuaternionToMatrix(q, rotation);
  rotation[3] = {0, 1, 0, 1};
  gl3d::test::ExpectMatrix(quaternions.LocalMatrixList()[0], rotation);
  EXPECT_EQ(quaternions.LocalMatrixList()[1][0].X, 1);
  EXPECT_EQ(quaternions.LocalMatrixList()[1][3].Z, 2);
}

TEST(SkeletonBones, FoundByIdAndNameThroughTheIndex) {
  TSkeleton skeleton;
  auto* root = new TSkeletonBone(skeleton.RootBones(), 0);
  root->SetName("hip");
  auto* leg = new TSkeletonBone(root, 3);
  leg->SetName("leg");
  auto* foot = new TSkeletonBone(leg, 5);
  foot->SetName("foot");
  EXPECT_EQ(foot->Skeleton(), &skeleton) << "bones take their owner's skeleton";
  EXPECT_EQ(foot->Owner(), leg);
  EXPECT_EQ(skeleton.BoneByName("foot"), foot);
  EXPECT_EQ(skeleton.BoneByName("Foot"), nullptr) << "names compare exactly";
  EXPECT_EQ(root->BoneByID(5), foot);
  EXPECT_EQ(skeleton.BoneByID(3), leg);
  EXPECT_EQ(skeleton.BoneByID(4), nullptr) << "an ID in range without a bone";
  EXPECT_THROW(skeleton.BoneByID(6), EListError);
  EXPECT_THROW(skeleton.BoneByID(-1), EListError);

  new TSkeletonBone(foot, 9);
  EXPECT_THROW(skeleton.BoneByID(9), EListError) << "the index is kept until flushed";
  skeleton.FlushBoneByIDCache();
  EXPECT_NE(skeleton.BoneByID(9), nullptr);

  leg->FreeItemsAndClear();
  EXPECT_EQ(leg->Count(), 0);
  EXPECT_EQ(leg->BoneID(), 0);
  EXPECT_EQ(leg->Name(), "");
}

TEST(SkeletonBones, GlobalMatricesChainTheLocalOnes) {
  TSkeleton skeleton;
  auto* root = new TSkeletonBone(skeleton.RootBones(), 0);
  auto* child = new TSkeletonBone(root, 1);
  auto* frame = new TSkeletonFrame(skeleton.Frames());
  frame->Position()->Add({1, 0, 0});
  frame->Rotation()->Add({0, 0, std::numbers::pi_v<float> / 2});
  frame->Position()->Add({0, 2, 0});
  frame->Rotation()->Add({0, 0, 0});
  skeleton.RootBones()->PrepareGlobalMatrices();
  // The child's offset (0, 2, 0) turned a quarter about Z by its parent, then moved by (1, 0, 0).
  const TMatrix4f& g = child->GlobalMatrix();
  EXPECT_NEAR(g[3].X, 1 - 2, 1e-6);
  EXPECT_NEAR(g[3].Y, 0, 1e-6);
  TMatrix4f expected;
  MultiplyMatrix4f(frame->LocalMatrixList()[1], root->GlobalMatrix(), expected);
  gl3d::test::ExpectMatrix(g, expected);

  auto* orphan = new TSkeletonBone(root, 7);  // the frame has no matrix for ID 7
  EXPECT_THROW(skeleton.RootBones()->PrepareGlobalMatrices(), EListError);
  delete orphan;
}

TEST(Skeleton, LerpAndBlendFrames) {
  TSkeleton skeleton;
  EXPECT_EQ(skeleton.CurrentFrame(), nullptr) << "no frame to copy";
  for (const float x : {0.0f, 4.0f, 10.0f}) {
    auto* f = new TSkeletonFrame(skeleton.Frames());
    f->Position()->Add({x, 0, 0});
    f->Rotation()->Add({0, x / 10, 0});
  }
  ASSERT_NE(skeleton.CurrentFrame(), nullptr);
  EXPECT_EQ(skeleton.CurrentFrame()->Position()->Get(0).X, 0) << "a copy of frame 0";
  EXPECT_NE(skeleton.CurrentFrame(), skeleton.Frames()->Items(0));

  skeleton.LerpFrames(0, 1, 0.25f);
  EXPECT_FLOAT_EQ(skeleton.CurrentFrame()->Position()->Get(0).X, 1);
  EXPECT_NEAR(skeleton.CurrentFrame()->Rotation()->Get(0).Y, 0.1f, 1e-6);
  EXPECT_THROW(skeleton.LerpFrames(0, 3, 0.5f), EListError);

  // Two entries: the first (weight 0.5) plus the second's interpolation.
  std::vector<TBlendedLerpInfo> infos(2);
  infos[0] = {0, 1, 0.5f, 0.5f};
  infos[1] = {2, 2, 0, 1};
  skeleton.BlendFrames(infos);
  EXPECT_FLOAT_EQ(skeleton.CurrentFrame()->Position()->Get(0).X, 2 * 0.5f + 10);
  EXPECT_NEAR(skeleton.CurrentFrame()->Rotation()->Get(0).Y, 0.2f + 1.0f, 1e-5);
  // External positions stand for the interpolation.
  TAffineVectorList external;
  external.Add({-1, 0, 0});
  infos[1].externalPositionList = &external;
  skeleton.BlendFrames(infos);
  EXPECT_FLOAT_EQ(skeleton.CurrentFrame()->Position()->Get(0).X, 1 - 1);
  // One entry is a plain lerp; none fails.
  skeleton.BlendFrames({infos[0]});
  EXPECT_FLOAT_EQ(skeleton.CurrentFrame()->Position()->Get(0).X, 2);
  EXPECT_THROW(skeleton.BlendFrames({}), common::EAssertionFailed);
}

TEST(SkeletonMesh, OneBonePerVertexFollowsItsBone) {
  gl3d::test::TSkinnedMesh rig(1);
  TSkeletonMeshObject& mesh = *rig.mesh;
  ExpectVector(mesh.BoneSpaceMesh(0)->Vertices()->Get(1), {0, 1, 0})
      << "bone 0 sits at the origin in frame 0";

  rig.freeForm.Skeleton()->SetCurrentFrame(rig.freeForm.Skeleton()->Frames()->Items(1));
  rig.freeForm.Skeleton()->ApplyToMeshes(true);
  // Frame 1 turns bone 0 a quarter about Z and moves it by (1, 0, 0).
  ExpectVector(mesh.Vertices()->Get(0), {1, 1, 0});
  ExpectVector(mesh.Vertices()->Get(1), {0, 0, 0});
  ExpectVector(mesh.Normals()->Get(0), {0, 1, 0});
  // Vertex 2 follows bone 1, which frame 1 leaves where it was.
  ExpectVector(mesh.Vertices()->Get(2), {0, 0, 1});

  rig.freeForm.Skeleton()->LerpFrames(0, 1, 0.5f);
  rig.freeForm.Skeleton()->ApplyToMeshes(true);
  const float h = std::sqrt(0.5f);
  ExpectVector(mesh.Vertices()->Get(0), {0.5f + h, h, 0});
  EXPECT_NEAR(VectorLength3f(mesh.Normals()->Get(0)), 1, 1e-6);

  mesh.SetVisible(false);
  rig.freeForm.Skeleton()->SetCurrentFrame(rig.freeForm.Skeleton()->Frames()->Items(0));
  rig.freeForm.Skeleton()->ApplyToMeshes(true);
  ExpectVector(mesh.Vertices()->Get(0), {0.5f + h, h, 0}) << "invisible meshes keep their pose";
}

TEST(SkeletonMesh, SeveralBonesBlendByWeight) {
  gl3d::test::TSkinnedMesh rig(2);
  TSkeletonMeshObject& mesh = *rig.mesh;
  // Vertex 0: half bone 0, half bone 1.
  mesh.VerticesBonesWeights(0, 0) = {0, 0.5f};
  mesh.VerticesBonesWeights(0, 1) = {1, 0.5f};
  mesh.PrepareBoneSpaceMeshes();
  ASSERT_EQ(mesh.BoneSpaceMeshCount(), 2);
  rig.freeForm.Skeleton()->SetCurrentFrame(rig.freeForm.Skeleton()->Frames()->Items(1));
  rig.freeForm.Skeleton()->ApplyToMeshes(false);
  // Bone 0 takes (1, 0, 0) to (1, 1, 0), bone 1 keeps it: the mean.
  ExpectVector(mesh.Vertices()->Get(0), {1, 0.5f, 0});
  EXPECT_THROW(mesh.VerticesBonesWeights(3, 0), EListError);
  EXPECT_THROW(mesh.VerticesBonesWeights(0, 2), EListError);

  // Reshaping keeps what fits.
  mesh.SetBonesPerVertex(1);
  EXPECT_EQ(mesh.VerticesBonesWeights(0, 0).BoneID, 0);
  EXPECT_EQ(mesh.VerticesBonesWeights(0, 0).Weight, 0.5f);
  mesh.SetVerticeBoneWeightCount(5);
  EXPECT_EQ(mesh.VerticeBoneWeightCapacity(), 5);
  EXPECT_EQ(mesh.VerticesBonesWeights(4, 0).Weight, 0) << "new rows are zero";
  mesh.Clear();
  EXPECT_EQ(mesh.VerticeBoneWeightCount(), 0);
  EXPECT_EQ(mesh.BoneSpaceMeshCount(), 0);
}

TEST(SkeletonMesh, AWeightOnAMissingBoneIsAListError) {
  gl3d::test::TSkinnedMesh rig(1);
  rig.mesh->VerticesBonesWeights(1, 0).BoneID = 4;
  EXPECT_THROW(rig.mesh->PrepareBoneSpaceMeshes(), EListError);
  TSkeletonMeshObject alone;  // no owner mesh, no skeleton: nothing to pose
  alone.Vertices()->Add({1, 1, 1});
  alone.SetVerticeBoneWeightCount(1);
  alone.PrepareBoneSpaceMeshes();
  alone.ApplySkeletonFrame(true);
  ExpectVector(alone.Vertices()->Get(0), {1, 1, 1});
}

TEST(SkeletonColliders, FollowTheirBoneAndTheMesh) {
  gl3d::test::TSkinnedMesh rig(1);
  TSkeleton& skeleton = *rig.freeForm.Skeleton();
  auto* loose = new TSkeletonCollider(skeleton.Colliders());
  TMatrix4f local = IdentityMatrix4f;
  local[3] = {0, 0, 3, 1};
  loose->SetLocalMatrix(local);
  auto* attached = new TSkeletonCollider(skeleton.Colliders());
  attached->SetLocalMatrix(local);
  attached->SetBone(skeleton.BoneByID(0));
  EXPECT_EQ(attached->BoneID(), 0);
  rig.freeForm.Position()->SetPoint(0, 10, 0);
  skeleton.SetCurrentFrame(skeleton.Frames()->Items(1));
  skeleton.ApplyToMeshes(true);
  gl3d::test::ExpectMatrix(loose->GlobalMatrix(), local);
  // Local (0, 0, 3), then bone 0 (a quarter about Z, (1, 0, 0)), then the mesh at (0, 10, 0).
  EXPECT_NEAR(attached->GlobalMatrix()[3].X, 1, 1e-6);
  EXPECT_NEAR(attached->GlobalMatrix()[3].Y, 10, 1e-6);
  EXPECT_NEAR(attached->GlobalMatrix()[3].Z, 3, 1e-6);

  attached->SetAutoUpdate(false);
  skeleton.SetCurrentFrame(skeleton.Frames()->Items(0));
  skeleton.ApplyToMeshes(true);
  EXPECT_NEAR(attached->GlobalMatrix()[3].X, 1, 1e-6) << "not auto-updating";

  TSkeleton detached;  // a skeleton without a mesh: the bone's matrix alone
  auto* bone = new TSkeletonBone(detached.RootBones(), 0);
  TMatrix4f moved = IdentityMatrix4f;
  moved[3] = {2, 0, 0, 1};
  bone->SetGlobalMatrix(moved);
  auto* c = new TSkeletonCollider(detached.Colliders());
  c->SetBone(bone);
  c->AlignCollider();
  EXPECT_EQ(c->GlobalMatrix()[3].X, 2);
}
