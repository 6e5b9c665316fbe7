// Archives of morph targets, skeletons and skinned mesh objects: versions, byte-for-byte round
// trips, and damaged archives (truncated anywhere, mutated bytes, counts and IDs out of range),
// which must end in the archive error and leave a mesh's objects as they were.
#include <gtest/gtest.h>

#include <string>

#include "scene3d/scene/Scene3dScene.h"
#include "scene3d/scene/animation/MorphableMeshObject.h"
#include "scene3d/scene/animation/Skeleton.h"
#include "scene3d/scene/animation/SkeletonMeshObject.h"
#include "scene3d/scene/animation/tests/AnimationTestSupport.h"
#include "scene3d/scene/mesh/GLBaseMesh.h"

using namespace gl3d;

namespace {

class AnimationArchives : public ::testing::Test {
 protected:
  void SetUp() override { Scene3dSceneStartup(); }
};

// A skeleton of three bones in two levels, an angle frame and a quaternion frame, and with
// colliders one collider on bone 2 and one without a bone.
void FillSkeleton(TSkeleton& skeleton, bool colliders) {
  auto* root = new TSkeletonBone(skeleton.RootBones(), 0);
  root->SetName("root");
  root->SetColor(0x80FF0000u);
  auto* arm = new TSkeletonBone(root, 2);
  arm->SetName("arm");
  new TSkeletonBone(skeleton.RootBones(), 1);
  auto* angles = new TSkeletonFrame(skeleton.Frames());
  angles->SetName("rest");
  auto* quats = new TSkeletonFrame(skeleton.Frames());
  quats->SetTransformMode(ftQuaternions);
  for (int b = 0; b < 3; ++b) {
    angles->Position()->Add({static_cast<float>(b), 0.5f, -1});
    angles->Rotation()->Add({0.1f * b, 0, 0.2f});
    quats->Position()->Add({0, static_cast<float>(b), 0});
    gl3d::test::AddQuaternion(*quats->Quaternion(), {0, 0, 0.6f, 0.8f});
  }
  if (!colliders) return;
  auto* c = new TSkeletonCollider(skeleton.Colliders());
  c->SetBone(arm);
  TMatrix4f m = IdentityMatrix4f;
  m[3] = {1, 2, 3, 1};
  c->SetLocalMatrix(m);
  new TSkeletonCollider(skeleton.Colliders());
}

// A mesh-object list with a morphable object (two targets) and a skinned object (two bones per
// vertex), as the free form of a rigged skeleton holds it.
void FillMeshes(TGLFreeForm& form) {
  FillSkeleton(*form.Skeleton(), false);
  auto* morph = new TMorphableMeshObject(form.MeshObjects());
  morph->SetName("morph");
  morph->Vertices()->Add({1, 1, 1});
  for (float x : {0.0f, 3.0f}) {
    auto* t = new TMeshMorphTarget(morph->MorphTargets());
    t->SetName("t");
    t->Vertices()->Add({x, 0, 0});
  }
  auto* skin = new TSkeletonMeshObject(form.MeshObjects());
  skin->Vertices()->Add({0, 1, 0});
  skin->Vertices()->Add({1, 0, 0});
  skin->Normals()->Add({0, 0, 1});
  skin->Normals()->Add({0, 0, 1});
  skin->SetBonesPerVertex(2);
  skin->SetVerticeBoneWeightCount(2);
  skin->SetVerticeBoneWeightCapacity(6);
  skin->VerticesBonesWeights(0, 0) = {2, 0.75f};
  skin->VerticesBonesWeights(0, 1) = {1, 0.25f};
  skin->VerticesBonesWeights(1, 0) = {0, 1};
}

// A mesh-object list holding one skinned object: the morphable part of `skin`, then the given
// weight fields and weight bytes, as a list archive would carry it.
std::string SkinnedListArchive(TSkeletonMeshObject& skin, int count, int perVertex, int capacity,
                               const void* weights, size_t bytes) {
  TMemoryStream stream;
  TBinaryWriter writer(stream);
  skin.TMorphableMeshObject::WriteToFiler(writer);
  writer.WriteInteger(0);
  writer.WriteInteger(count);
  writer.WriteInteger(perVertex);
  writer.WriteInteger(capacity);
  if (bytes > 0) writer.Write(weights, static_cast<int64_t>(bytes));
  TMemoryStream list;
  TBinaryWriter listWriter(list);
  listWriter.WriteInteger(0);
  listWriter.WriteListBegin();
  listWriter.WriteString("TSkeletonMeshObject");
  listWriter.Write(stream.DataString().data(), static_cast<int64_t>(stream.DataString().size()));
  listWriter.WriteListEnd();
  return list.DataString();
}

}  // namespace

TEST_F(AnimationArchives, ASkeletonWithoutCollidersWritesVersionZero) {
  TSkeleton plain, withColliders;
  FillSkeleton(plain, false);
  FillSkeleton(withColliders, true);
  // The archive starts with the skeleton's version as a one-byte integer (tag 2).
  EXPECT_EQ(plain.SaveToString().substr(0, 2), std::string("\x02\x00", 2));
  EXPECT_EQ(withColliders.SaveToString().substr(0, 2), std::string("\x02\x01", 2));

  TSkeleton back;
  back.LoadFromString(plain.SaveToString());
  EXPECT_EQ(back.Colliders()->Count(), 0);
  EXPECT_EQ(back.RootBones()->Count(), 2);
  back.LoadFromString(withColliders.SaveToString());
  ASSERT_EQ(back.Colliders()->Count(), 2);
  EXPECT_EQ(back.Colliders()->Items(0)->Bone(), back.BoneByName("arm")) << "linked to the new bone";
  EXPECT_EQ(back.Colliders()->Items(1)->Bone(), nullptr);
  EXPECT_EQ(back.Colliders()->Items(0)->LocalMatrix()[3].Y, 2);
}

TEST_F(AnimationArchives, RoundTripsAreByteForByte) {
  TSkeleton skeleton;
  FillSkeleton(skeleton, true);
  const std::string bytes = skeleton.SaveToString();
  TSkeleton back;
  back.LoadFromString(bytes);
  EXPECT_EQ(back.SaveToString(), bytes);
  EXPECT_EQ(back.BoneByID(2)->Owner(), back.BoneByID(0)) << "the tree is rebuilt";
  EXPECT_EQ(back.BoneByID(2)->Skeleton(), &back);
  EXPECT_EQ(back.BoneByID(0)->Color(), 0x80FF0000u);
  EXPECT_EQ(back.Frames()->Items(1)->TransformMode(), ftQuaternions);
  EXPECT_EQ(back.Frames()->Items(0)->Name(), "rest");
  EXPECT_EQ(back.Frames()->Items(0)->Owner(), back.Frames());

  TGLFreeForm form(nullptr);
  FillMeshes(form);
  const std::string meshes = form.MeshObjects()->SaveToString();
  TGLFreeForm other(nullptr);
  other.Skeleton()->Assign(form.Skeleton());
  other.MeshObjects()->LoadFromString(meshes);
  EXPECT_EQ(other.MeshObjects()->SaveToString(), meshes);
  auto* skin = dynamic_cast<TSkeletonMeshObject*>(other.MeshObjects()->Items(1));
  ASSERT_NE(skin, nullptr);
  EXPECT_EQ(skin->VerticeBoneWeightCapacity(), 6);
  EXPECT_EQ(skin->VerticesBonesWeights(0, 1).BoneID, 1);
  EXPECT_EQ(skin->BoneSpaceMeshCount(), 2) << "reading the list prepares the bone-space meshes";
  auto* morph = dynamic_cast<TMorphableMeshObject*>(other.MeshObjects()->Items(0));
  ASSERT_NE(morph, nullptr);
  EXPECT_EQ(morph->MorphTargets()->Count(), 2);
  EXPECT_EQ(morph->MorphTargets()->Items(1)->Owner(), morph->MorphTargets());
  EXPECT_EQ(other.MeshObjects()->MorphTargetCount(), 0)
      << "the skinned object is morphable too, without targets";
}

TEST_F(AnimationArchives, DamagedArchivesFailWithTheArchiveError) {
  TSkeleton skeleton;
  FillSkeleton(skeleton, true);
  TGLFreeForm form(nullptr);
  FillMeshes(form);
  const std::string skeletonBytes = skeleton.SaveToString();
  const std::string meshBytes = form.MeshObjects()->SaveToString();

  // Every truncation and every single-byte mutation either reads or fails cleanly.
  auto tryRead = [&](const std::string& data, bool meshes) {
    try {
      if (meshes) {
        TGLFreeForm target(nullptr);
        target.Skeleton()->Assign(form.Skeleton());
        target.MeshObjects()->LoadFromString(data);
      } else {
        TSkeleton target;
        target.LoadFromString(data);
      }
      return true;
    } catch (const common::Exception&) {
      return false;
    }
  };
  for (const bool meshes : {false, true}) {
    const std::string& bytes = meshes ? meshBytes : skeletonBytes;
    for (size_t n = 0; n < bytes.size(); ++n) EXPECT_FALSE(tryRead(bytes.substr(0, n), meshes)) << n;
    for (size_t i = 0; i < bytes.size(); ++i)
      for (const uint8_t x : {0x01, 0x80, 0xFF}) {
        std::string mutated = bytes;
        mutated[i] = static_cast<char>(mutated[i] ^ x);
        tryRead(mutated, meshes);
      }
  }
}

TEST_F(AnimationArchives, CountsAndIdsOutOfRangeFailTheRead) {
  // A skinned object's archive with its weight fields rewritten: weight count, bones per vertex,
  // capacity and the first bone ID follow the morphable part.
  TGLFreeForm form(nullptr);
  FillMeshes(form);
  auto* skin = static_cast<TSkeletonMeshObject*>(form.MeshObjects()->Items(1));
  struct Case {
    const char* what;
    int count, perVertex, capacity, firstBone;
  } cases[] = {
      {"more weights than the capacity", 2, 2, 1, 2},
      {"no bone per vertex", 2, 0, 6, 2},
      {"more bones per vertex than the data holds", 2, 3, 6, 2},
      {"a huge weight count", 0x7FFFFFF0, 2, 0x7FFFFFFF, 2},
      {"a negative bone ID", 2, 2, 6, -3},
      {"a bone the skeleton lacks", 2, 2, 6, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const TVertexBoneWeight weights[4] = {{c.firstBone, 0.75f}, {1, 0.25f}, {0, 1}, {0, 0}};
    // As the only object of a mesh-object list read into a rigged free form.
    const std::string list =
        SkinnedListArchive(*skin, c.count, c.perVertex, c.capacity, weights, sizeof weights);
    TGLFreeForm target(nullptr);
    target.Skeleton()->Assign(form.Skeleton());
    EXPECT_THROW(target.MeshObjects()->LoadFromString(list), EReadError);
  }

  // Frames with an unknown transform, bones with negative IDs, colliders on missing bones and
  // lists of foreign classes, each written by a skeleton damaged in memory.
  const struct {
    const char* what;
    void (*damage)(TSkeleton&);
  } damages[] = {
      {"transform 5",
       [](TSkeleton& s) { s.Frames()->Items(1)->SetTransformMode(static_cast<TSkeletonFrameTransform>(5)); }},
      {"bone ID -4", [](TSkeleton& s) { s.BoneByName("arm")->SetBoneID(-4); }},
      {"a collider on a bone of another skeleton",
       [](TSkeleton& s) {
         static TSkeletonBone stray(nullptr, 7);
         s.Colliders()->Items(1)->SetBone(&stray);
       }},
      {"a frame among the bones", [](TSkeleton& s) { s.RootBones()->Add(new TSkeletonFrame); }},
      {"a bone among the colliders", [](TSkeleton& s) { s.Colliders()->Add(new TSkeletonBone); }},
  };
  for (const auto& d : damages) {
    SCOPED_TRACE(d.what);
    TSkeleton damaged;
    FillSkeleton(damaged, true);
    d.damage(damaged);
    const std::string text = damaged.SaveToString();
    TSkeleton target;
    new TSkeletonBone(target.RootBones(), 42);
    EXPECT_THROW(target.LoadFromString(text), EReadError);
    EXPECT_NE(target.BoneByID(42), nullptr) << "a failed read leaves the skeleton as it was";
  }
}

TEST_F(AnimationArchives, BonesPerVertexWithoutWeightDataCostNothing) {
  // A skinned object of 2,000 vertices whose archive gives a weight count and many bones per
  // vertex: the bone-space copies may hold no more vertices than the weights the archive carries.
  TGLFreeForm form(nullptr);
  FillSkeleton(*form.Skeleton(), false);
  TSkeletonMeshObject skin;
  for (int i = 0; i < 2000; ++i) skin.Vertices()->Add({static_cast<float>(i), 0, 0});
  const struct { int count, perVertex; } cases[] = {{0, 20000}, {0, 1}, {1, 2000}, {3, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.count) + " weights of " + std::to_string(c.perVertex) + " bones");
    const std::vector<TVertexBoneWeight> weights(static_cast<size_t>(c.count) * c.perVertex, {1, 0.5f});
    TGLFreeForm target(nullptr);
    target.Skeleton()->Assign(form.Skeleton());
    target.MeshObjects()->LoadFromString(SkinnedListArchive(
        skin, c.count, c.perVertex, c.count, weights.data(), weights.size() * sizeof(TVertexBoneWeight)));
    auto* read = static_cast<TSkeletonMeshObject*>(target.MeshObjects()->Items(0));
    EXPECT_EQ(read->Vertices()->Count(), 2000);
    int64_t copied = 0;
    for (int k = 0; k < read->BoneSpaceMeshCount(); ++k)
      copied += read->BoneSpaceMesh(k)->Vertices()->Count();
    EXPECT_EQ(copied, int64_t{c.count} * c.perVertex);
    // The weighted vertices follow their bone; the others stay as they are.
    target.Skeleton()->ApplyToMeshes(false);
    EXPECT_EQ(read->Vertices()->Get(1999).X, 1999);
  }
}

TEST_F(AnimationArchives, AFreeFormKeepsItsObjectsWhenAGlsmFileIsDamaged) {
  TGLFreeForm form(nullptr);
  FillMeshes(form);
  TMemoryStream saved;
  form.SaveToStream("rig.glsm", saved);
  std::string bytes = saved.DataString();
  bytes.resize(bytes.size() - 9);

  TGLFreeForm target(nullptr);
  target.Skeleton()->Assign(form.Skeleton());
  new TMeshObject(target.MeshObjects());
  TMemoryStream damaged(bytes);
  EXPECT_THROW(target.LoadFromStream("rig.glsm", damaged), common::Exception);
  ASSERT_EQ(target.MeshObjects()->Count(), 1);
  EXPECT_STREQ(target.MeshObjects()->Items(0)->ClassName(), "TMeshObject");
}

TEST_F(AnimationArchives, EveryRegisteredClassIsCreatedByName) {
  for (const char* name :
       {"TSkeleton", "TSkeletonFrame", "TSkeletonBone", "TSkeletonMeshObject", "TSkeletonFrameList",
        "TMeshMorphTarget", "TMorphableMeshObject", "TSkeletonCollider", "TSkeletonColliderList"}) {
    const auto object = TPersistentObjectRegistry::Instance().Create(name);
    ASSERT_NE(object, nullptr) << name;
    EXPECT_STREQ(object->ClassName(), name);
    // Each writes an archive that a fresh object of its class reads back unchanged.
    const std::string bytes = object->SaveToString();
    auto again = TPersistentObjectRegistry::Instance().Create(name);
    again->LoadFromString(bytes);
    EXPECT_EQ(again->SaveToString(), bytes) << name;
  }
  for (const char* name : {"TGLActor", "TGLAnimationControler"}) {
    const auto object = CreateRegisteredClass(name);
    ASSERT_NE(object, nullptr) << name;
    EXPECT_STREQ(object->ClassName(), name);
  }
}
