#pragma once
// Skeletons: a tree of bones with keyframes of per-bone transforms (angles or quaternions),
// colliders that follow bones, and the skeleton that owns them all, interpolates and blends its
// frames and poses the skinned mesh objects (SkeletonMeshObject.h) of its base mesh. Every base
// mesh owns one skeleton, empty unless a loaded model fills it.
//
// Bones are lists of their child bones. Bone IDs are looked up through an index of the bones by
// ID (built on first use): an ID beyond the highest one fails with EListError, an ID in range
// without a bone answers nullptr. Archives are checked as they are read (lists of the right
// classes, transforms and bone IDs in range); anything else fails the read with EReadError.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "scene3d/base/PersistentClasses.h"
#include "scene3d/base/VectorLists.h"
#include "scene3d/scene/core/GLRenderContextInfo.h"

namespace gl3d {

class TGLBaseMesh;
class TSkeleton;
class TSkeletonBone;
class TSkeletonFrameList;
class TSkeletonColliderList;

// How a frame stores its rotations: angles in radians about X, Y, Z, or quaternions.
enum TSkeletonFrameTransform : uint8_t { ftAngles, ftQuaternions };

// One keyframe: a position and a rotation per bone, indexed by bone ID.
class TSkeletonFrame : public TPersistentObject {
 public:
  // Appended to owner when given (the list owns it).
  explicit TSkeletonFrame(TSkeletonFrameList* owner = nullptr);
  // Leaves its owner list.
  ~TSkeletonFrame() override;
  const char* ClassName() const override { return "TSkeletonFrame"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;

  TSkeletonFrameList* Owner() const { return owner_; }
  void SetOwner(TSkeletonFrameList* owner) { owner_ = owner; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  TAffineVectorList* Position() const { return position_.get(); }
  TAffineVectorList* Rotation() const { return rotation_.get(); }
  TQuaternionList* Quaternion() const { return quaternion_.get(); }
  TSkeletonFrameTransform TransformMode() const { return transformMode_; }
  void SetTransformMode(TSkeletonFrameTransform mode) { transformMode_ = mode; }

  // One matrix per position, computed on first use and kept until FlushLocalMatrixList. Angles:
  // the rotation about X, then Y, then Z (each only when not 0); quaternions: the quaternion's
  // rotation. The translation row is the position; a bone without a rotation entry turns not.
  const std::vector<TMatrix4f>& LocalMatrixList();
  void FlushLocalMatrixList() { localMatrices_.clear(); }

  // Version 1: name, positions, rotations, quaternions, transform; version 0 ends after the
  // rotations.
  void WriteToFiler(TVirtualWriter& writer) const override;
  void ReadFromFiler(TVirtualReader& reader) override;

 private:
  TSkeletonFrameList* owner_ = nullptr;
  std::string name_;
  std::unique_ptr<TAffineVectorList> position_;
  std::unique_ptr<TAffineVectorList> rotation_;
  std::unique_ptr<TQuaternionList> quaternion_;
  TSkeletonFrameTransform transformMode_ = ftAngles;
  std::vector<TMatrix4f> localMatrices_;
};

// The frames of a skeleton; it owns them.
class TSkeletonFrameList : public TPersistentObjectList {
 public:
  explicit TSkeletonFrameList(TSkeleton* owner = nullptr) : owner_(owner) {}
  ~TSkeletonFrameList() override;
  const char* ClassName() const override { return "TSkeletonFrameList"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;
  TSkeleton* Owner() const { return owner_; }
  TSkeletonFrame* Items(int index) const { return static_cast<TSkeletonFrame*>(Get(index)); }

  // Frees the frames.
  void Clear() override;
  // Only frames belong in the archive; each frame's owner := the list.
  void ReadFromFiler(TVirtualReader& reader) override;

 private:
  TSkeleton* owner_;
};

// A list of bones (the skeleton's root bones, or the children of a bone); it owns them.
class TSkeletonBoneList : public TPersistentObjectList {
 public:
  explicit TSkeletonBoneList(TSkeleton* skeleton = nullptr) : skeleton_(skeleton) {}
  ~TSkeletonBoneList() override;
  const char* ClassName() const override { return "TSkeletonBoneList"; }

  TSkeleton* Skeleton() const { return skeleton_; }
  // Identity after construction.
  const TMatrix4f& GlobalMatrix() const { return globalMatrix_; }
  void SetGlobalMatrix(const TMatrix4f& m) { globalMatrix_ = m; }
  TSkeletonBone* Items(int index) const;

  // The first bone of the list or below it (depth first) with the ID / the exact name.
  virtual TSkeletonBone* BoneByID(int32_t id) const;
  virtual TSkeletonBone* BoneByName(const std::string& name) const;
  virtual void BuildList(TRenderContextInfo& rci) = 0;
  // Every bone's global matrix, from the skeleton's current frame.
  virtual void PrepareGlobalMatrices();

  // Frees the bones.
  void Clear() override;
  // A bone created while reading gets the list as owner and the list's skeleton.
  void AfterObjectCreatedByReader(TObject* sender, TObject* object) override;
  // The object-list archive of the bones, then version 0.
  void WriteToFiler(TVirtualWriter& writer) const override;
  void ReadFromFiler(TVirtualReader& reader) override;

 protected:
  TSkeleton* skeleton_;
  TMatrix4f globalMatrix_ = IdentityMatrix4f;
};

// The skeleton's top-level bones.
class TSkeletonRootBoneList : public TSkeletonBoneList {
 public:
  using TSkeletonBoneList::TSkeletonBoneList;
  const char* ClassName() const override { return "TSkeletonRootBoneList"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;
  // The skeleton as an overlay: colour material and lighting off, white, then every root bone.
  void BuildList(TRenderContextInfo& rci) override;
  // The bone list's archive, then one more version 0.
  void WriteToFiler(TVirtualWriter& writer) const override;
  void ReadFromFiler(TVirtualReader& reader) override;
};

// A bone: the list of its child bones, with a name, an ID and a colour.
class TSkeletonBone : public TSkeletonBoneList {
 public:
  TSkeletonBone();
  // CreateOwned: appended to owner, which owns it, with the owner's skeleton.
  TSkeletonBone(TSkeletonBoneList* owner, int32_t boneID);
  // Leaves its owner list.
  ~TSkeletonBone() override;
  const char* ClassName() const override { return "TSkeletonBone"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;

  TSkeletonBoneList* Owner() const { return owner_; }
  void SetOwner(TSkeletonBoneList* owner) { owner_ = owner; }
  void SetSkeleton(TSkeleton* skeleton) { skeleton_ = skeleton; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  int32_t BoneID() const { return boneID_; }
  void SetBoneID(int32_t id) { boneID_ = id; }
  // Red in the low byte, alpha in the high byte; opaque white after construction.
  uint32_t Color() const { return color_; }
  void SetColor(uint32_t color) { color_ = color; }

  // This bone when its ID / name matches, else the first match among its children.
  TSkeletonBone* BoneByID(int32_t id) const override;
  TSkeletonBone* BoneByName(const std::string& name) const override;
  // Global := the current frame's local matrix of this bone's ID × the owner's global matrix,
  // then the children (EListError when the frame has no matrix for the ID).
  void PrepareGlobalMatrices() override;
  // A point at the bone in its colour (size 5), a line from its parent bone, then the children.
  void BuildList(TRenderContextInfo& rci) override;
  // Bone ID 0, no name, no children.
  void FreeItemsAndClear();

  // The bone list's archive, then version 0, name, bone ID and colour. Negative IDs fail the read.
  void WriteToFiler(TVirtualWriter& writer) const override;
  void ReadFromFiler(TVirtualReader& reader) override;

 private:
  TSkeletonBoneList* owner_ = nullptr;
  std::string name_;
  int32_t boneID_ = 0;
  uint32_t color_ = 0xFFFFFFFFu;
};

// One entry of a blend: two frames and the factor between them, a weight, and optional lists
// that stand for the interpolation.
struct TBlendedLerpInfo {
  int frameIndex1 = 0;
  int frameIndex2 = 0;
  float lerpFactor = 0;
  float weight = 0;
  TAffineVectorList* externalPositionList = nullptr;
  TAffineVectorList* externalRotationList = nullptr;
  TQuaternionList* externalQuatList = nullptr;
};

// A volume that follows a bone (without one, it stays where its local matrix puts it).
class TSkeletonCollider : public TPersistentObject {
 public:
  // Appended to owner when given (the list owns it).
  explicit TSkeletonCollider(TSkeletonColliderList* owner = nullptr);
  // Leaves its owner list.
  ~TSkeletonCollider() override;
  const char* ClassName() const override { return "TSkeletonCollider"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;

  TSkeletonColliderList* Owner() const { return owner_; }
  void SetOwner(TSkeletonColliderList* owner) { owner_ = owner; }
  TSkeletonBone* Bone() const { return bone_; }
  void SetBone(TSkeletonBone* bone);
  // The bone ID read from an archive (-1: no bone).
  int32_t BoneID() const { return boneID_; }
  const TMatrix4f& LocalMatrix() const { return localMatrix_; }
  void SetLocalMatrix(const TMatrix4f& m) { localMatrix_ = m; }
  const TMatrix4f& GlobalMatrix() const { return globalMatrix_; }
  bool AutoUpdate() const { return autoUpdate_; }
  void SetAutoUpdate(bool value) { autoUpdate_ = value; }

  // Global := local without a bone; else local × (bone global × the mesh's absolute matrix), or
  // local × bone global when the skeleton has no mesh.
  virtual void AlignCollider();

  // Version 0, the bone's ID (-1 without), the 64 bytes of the local matrix.
  void WriteToFiler(TVirtualWriter& writer) const override;
  void ReadFromFiler(TVirtualReader& reader) override;

 private:
  TSkeletonColliderList* owner_ = nullptr;
  TSkeletonBone* bone_ = nullptr;
  int32_t boneID_ = -1;
  TMatrix4f localMatrix_ = IdentityMatrix4f;
  TMatrix4f globalMatrix_ = IdentityMatrix4f;
  bool autoUpdate_ = true;
};

// The colliders of a skeleton; it owns them.
class TSkeletonColliderList : public TPersistentObjectList {
 public:
  explicit TSkeletonColliderList(TSkeleton* owner = nullptr) : owner_(owner) {}
  ~TSkeletonColliderList() override;
  const char* ClassName() const override { return "TSkeletonColliderList"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;
  TSkeleton* Owner() const { return owner_; }
  void SetOwner(TSkeleton* owner) { owner_ = owner; }
  TSkeletonCollider* Items(int index) const { return static_cast<TSkeletonCollider*>(Get(index)); }

  // Every auto-updating collider.
  void AlignColliders();
  // Frees the colliders.
  void Clear() override;
  // Only colliders belong in the archive; each gets the list as owner and, for an ID other than
  // -1, the skeleton's bone of that ID (an ID without a bone fails the read).
  void ReadFromFiler(TVirtualReader& reader) override;

 private:
  TSkeleton* owner_;
};

class TSkeleton : public TPersistentObject {
 public:
  explicit TSkeleton(TGLBaseMesh* owner = nullptr);
  ~TSkeleton() override;
  const char* ClassName() const override { return "TSkeleton"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;

  TGLBaseMesh* Owner() const { return owner_; }
  TSkeletonRootBoneList* RootBones() const { return rootBones_.get(); }
  TSkeletonFrameList* Frames() const { return frames_.get(); }
  TSkeletonColliderList* Colliders() const { return colliders_.get(); }

  // Made on first use as a copy of frame 0; nullptr while there is no frame.
  TSkeletonFrame* CurrentFrame();
  // The old current frame is replaced by a copy of frame.
  void SetCurrentFrame(const TSkeletonFrame* frame);
  // See the header comment for the index; FlushBoneByIDCache drops it.
  TSkeletonBone* BoneByID(int32_t id);
  TSkeletonBone* BoneByName(const std::string& name) const { return rootBones_->BoneByName(name); }
  void FlushBoneByIDCache();

  // The current frame becomes frame index1 interpolated towards frame index2 by t (positions
  // linearly, angles or quaternions through quaternions), with frame index1's transform.
  void LerpFrames(int index1, int index2, float t);
  // One entry: LerpFrames. Several: the first entry's interpolation (positions scaled by its
  // weight) plus every further entry's external lists or interpolation.
  void BlendFrames(const std::vector<TBlendedLerpInfo>& infos);
  // Global matrices from the current frame, colliders aligned, and every visible skinned mesh
  // object of the mesh posed (its normals normalised with normalize).
  void ApplyToMeshes(bool normalize);
  // The current frame copied from the other skeleton's, then ApplyToMeshes(true).
  void CopyCurrentFrameFrom(TSkeleton* other);
  // No bones, frames, current frame, colliders or index.
  void Clear();

  // Version 1 with colliders, else 0: root bones, frames, then the colliders (version 1 only).
  void WriteToFiler(TVirtualWriter& writer) const override;
  void ReadFromFiler(TVirtualReader& reader) override;

 private:
  void BuildBoneIndex(const TSkeletonBoneList& bones);

  TGLBaseMesh* owner_;
  std::unique_ptr<TSkeletonRootBoneList> rootBones_;
  std::unique_ptr<TSkeletonFrameList> frames_;
  std::unique_ptr<TSkeletonFrame> currentFrame_;
  std::unique_ptr<TSkeletonColliderList> colliders_;
  // The bone-by-ID index: built, the bones by ID and the highest ID.
  bool boneIndexBuilt_ = false;
  std::unordered_map<int32_t, TSkeletonBone*> bonesByID_;
  int32_t highestBoneID_ = -1;
};

// Registers the skeleton, morph-target and skinned mesh-object classes that archives name.
void RegisterAnimationClasses();

}  // namespace gl3d
