// Skeleton frames, bones, colliders and the skeleton; their archives are in
// AnimationArchives.cpp.
#include "scene3d/scene/animation/Skeleton.h"

#include <GL/gl.h>

#include "common/Exception.h"
#include "scene3d/scene/animation/SkeletonMeshObject.h"
#include "scene3d/scene/mesh/GLBaseMesh.h"

namespace gl3d {

namespace {
constexpr const char* kAssertText = "Assertion failure (GLVectorFileObjects)";

TVector3f Translation(const TMatrix4f& m) { return {m[3].X, m[3].Y, m[3].Z}; }
}  // namespace

// ---- TSkeletonFrame ----

TSkeletonFrame::TSkeletonFrame(TSkeletonFrameList* owner)
    : owner_(owner),
      position_(std::make_unique<TAffineVectorList>()),
      rotation_(std::make_unique<TAffineVectorList>()),
      quaternion_(std::make_unique<TQuaternionList>()) {
  if (owner_) owner_->Add(this);
}

TSkeletonFrame::~TSkeletonFrame() {
  if (owner_) owner_->Remove(this);
}

std::unique_ptr<TPersistentObject> TSkeletonFrame::NewInstance() const {
  return std::make_unique<TSkeletonFrame>();
}

const std::vector<TMatrix4f>& TSkeletonFrame::LocalMatrixList() {
  if (!localMatrices_.empty() || position_->Count() == 0) return localMatrices_;
  const int n = position_->Count();
  localMatrices_.resize(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    TMatrix4f m = IdentityMatrix4f;
    if (transformMode_ == ftQuaternions) {
      if (i < quaternion_->Count()) QuaternionToMatrix(quaternion_->Get(i), m);
    } else if (i < rotation_->Count()) {
      const TVector3f& r = rotation_->Get(i);
      if (r.X != 0) m = CreateRotationMatrixX(r.X);
      if (r.Y != 0) MatrixMultiplyInto(m, CreateRotationMatrixY(r.Y), m);
      if (r.Z != 0) MatrixMultiplyInto(m, CreateRotationMatrixZ(r.Z), m);
    }
    const TVector3f& p = position_->Get(i);
    m[3] = {p.X, p.Y, p.Z, 1};
    localMatrices_[static_cast<size_t>(i)] = m;
  }
  return localMatrices_;
}

// ---- TSkeletonFrameList ----

TSkeletonFrameList::~TSkeletonFrameList() { Clear(); }

std::unique_ptr<TPersistentObject> TSkeletonFrameList::NewInstance() const {
  return std::make_unique<TSkeletonFrameList>();
}

void TSkeletonFrameList::Clear() {
  FreeItems();
  TPersistentObjectList::Clear();
}

// ---- TSkeletonBoneList ----

TSkeletonBoneList::~TSkeletonBoneList() { TSkeletonBoneList::Clear(); }

TSkeletonBone* TSkeletonBoneList::Items(int index) const { return static_cast<TSkeletonBone*>(Get(index)); }

TSkeletonBone* TSkeletonBoneList::BoneByID(int32_t id) const {
  for (int i = 0; i < Count(); ++i)
    if (TSkeletonBone* bone = Items(i)->BoneByID(id)) return bone;
  return nullptr;
}

TSkeletonBone* TSkeletonBoneList::BoneByName(const std::string& name) const {
  for (int i = 0; i < Count(); ++i)
    if (TSkeletonBone* bone = Items(i)->BoneByName(name)) return bone;
  return nullptr;
}

void TSkeletonBoneList::PrepareGlobalMatrices() {
  for (int i = 0; i < Count(); ++i) Items(i)->PrepareGlobalMatrices();
}

void TSkeletonBoneList::Clear() {
  FreeItems();
  TPersistentObjectList::Clear();
}

void TSkeletonBoneList::AfterObjectCreatedByReader(TObject*, TObject* object) {
  if (auto* bone = dynamic_cast<TSkeletonBone*>(object)) {
    bone->SetOwner(this);
    bone->SetSkeleton(skeleton_);
  }
}

// ---- TSkeletonRootBoneList ----

std::unique_ptr<TPersistentObject> TSkeletonRootBoneList::NewInstance() const {
  return std::make_unique<TSkeletonRootBoneList>();
}

void TSkeletonRootBoneList::BuildList(TRenderContextInfo& rci) {
  rci.StateCache->Disable(capColorMaterial);
  rci.StateCache->Disable(capLighting);
  CurrentGLEntryPoints().Color3f(1, 1, 1);
  for (int i = 0; i < Count(); ++i) Items(i)->BuildList(rci);
}

// ---- TSkeletonBone ----

TSkeletonBone::TSkeletonBone() = default;

TSkeletonBone::TSkeletonBone(TSkeletonBoneList* owner, int32_t boneID)
    : TSkeletonBoneList(owner ? owner->Skeleton() : nullptr), owner_(owner), boneID_(boneID) {
  if (owner_) owner_->Add(this);
}

TSkeletonBone::~TSkeletonBone() {
  if (owner_) owner_->Remove(this);
}

std::unique_ptr<TPersistentObject> TSkeletonBone::NewInstance() const {
  return std::make_unique<TSkeletonBone>();
}

TSkeletonBone* TSkeletonBone::BoneByID(int32_t id) const {
  if (boneID_ == id) return const_cast<TSkeletonBone*>(this);
  return TSkeletonBoneList::BoneByID(id);
}

TSkeletonBone* TSkeletonBone::BoneByName(const std::string& name) const {
  if (name_ == name) return const_cast<TSkeletonBone*>(this);
  return TSkeletonBoneList::BoneByName(name);
}

void TSkeletonBone::PrepareGlobalMatrices() {
  TSkeletonFrame* frame = skeleton_ ? skeleton_->CurrentFrame() : nullptr;
  if (frame) {
    const std::vector<TMatrix4f>& local = frame->LocalMatrixList();
    if (boneID_ < 0 || static_cast<size_t>(boneID_) >= local.size()) throw EListError("Invalid list index");
    const TMatrix4f& parent = owner_ ? owner_->GlobalMatrix() : IdentityMatrix4f;
    MultiplyMatrix4f(local[static_cast<size_t>(boneID_)], parent, globalMatrix_);
  }
  TSkeletonBoneList::PrepareGlobalMatrices();
}

void TSkeletonBone::BuildList(TRenderContextInfo& rci) {
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  rci.StateCache->SetPointSize(5);
  const TVector3f here = Translation(globalMatrix_);
  gl.Begin(GL_POINTS);
  gl.Color4f((color_ & 0xFF) / 255.0f, ((color_ >> 8) & 0xFF) / 255.0f, ((color_ >> 16) & 0xFF) / 255.0f,
             (color_ >> 24) / 255.0f);
  gl.Vertex3fv(&here.X);
  gl.End();
  if (auto* parent = dynamic_cast<TSkeletonBone*>(owner_)) {
    const TVector3f from = Translation(parent->GlobalMatrix());
    gl.Begin(GL_LINES);
    gl.Vertex3fv(&from.X);
    gl.Vertex3fv(&here.X);
    gl.End();
  }
  for (int i = 0; i < Count(); ++i) Items(i)->BuildList(rci);
}

void TSkeletonBone::FreeItemsAndClear() {
  boneID_ = 0;
  name_.clear();
  Clear();
}

// ---- TSkeletonCollider ----

TSkeletonCollider::TSkeletonCollider(TSkeletonColliderList* owner) : owner_(owner) {
  if (owner_) owner_->Add(this);
}

TSkeletonCollider::~TSkeletonCollider() {
  if (owner_) owner_->Remove(this);
}

std::unique_ptr<TPersistentObject> TSkeletonCollider::NewInstance() const {
  return std::make_unique<TSkeletonCollider>();
}

void TSkeletonCollider::SetBone(TSkeletonBone* bone) {
  bone_ = bone;
  boneID_ = bone ? bone->BoneID() : -1;
}

void TSkeletonCollider::AlignCollider() {
  if (!bone_) {
    globalMatrix_ = localMatrix_;
    return;
  }
  TSkeleton* skeleton = owner_ ? owner_->Owner() : nullptr;
  TGLBaseMesh* mesh = skeleton ? skeleton->Owner() : nullptr;
  if (mesh) {
    TMatrix4f boneInWorld;
    MultiplyMatrix4f(bone_->GlobalMatrix(), mesh->GetAbsoluteMatrix(), boneInWorld);
    MultiplyMatrix4f(localMatrix_, boneInWorld, globalMatrix_);
  } else {
    MultiplyMatrix4f(localMatrix_, bone_->GlobalMatrix(), globalMatrix_);
  }
}

// ---- TSkeletonColliderList ----

TSkeletonColliderList::~TSkeletonColliderList() { Clear(); }

std::unique_ptr<TPersistentObject> TSkeletonColliderList::NewInstance() const {
  return std::make_unique<TSkeletonColliderList>();
}

void TSkeletonColliderList::AlignColliders() {
  for (int i = 0; i < Count(); ++i)
    if (Items(i)->AutoUpdate()) Items(i)->AlignCollider();
}

void TSkeletonColliderList::Clear() {
  FreeItems();
  TPersistentObjectList::Clear();
}

// ---- TSkeleton ----

TSkeleton::TSkeleton(TGLBaseMesh* owner)
    : owner_(owner),
      rootBones_(std::make_unique<TSkeletonRootBoneList>(this)),
      frames_(std::make_unique<TSkeletonFrameList>(this)),
      colliders_(std::make_unique<TSkeletonColliderList>(this)) {}

TSkeleton::~TSkeleton() {
  // The colliders point at bones: they go first.
  colliders_.reset();
}

std::unique_ptr<TPersistentObject> TSkeleton::NewInstance() const { return std::make_unique<TSkeleton>(); }

TSkeletonFrame* TSkeleton::CurrentFrame() {
  if (!currentFrame_ && frames_->Count() > 0) {
    auto clone = frames_->Items(0)->CreateClone();
    currentFrame_.reset(static_cast<TSkeletonFrame*>(clone.release()));
  }
  return currentFrame_.get();
}

void TSkeleton::SetCurrentFrame(const TSkeletonFrame* frame) {
  std::unique_ptr<TSkeletonFrame> copy;
  if (frame) copy.reset(static_cast<TSkeletonFrame*>(frame->CreateClone().release()));
  currentFrame_ = std::move(copy);
}

void TSkeleton::BuildBoneIndex(const TSkeletonBoneList& bones) {
  for (int i = 0; i < bones.Count(); ++i) {
    TSkeletonBone* bone = bones.Items(i);
    bonesByID_.try_emplace(bone->BoneID(), bone);
    highestBoneID_ = std::max(highestBoneID_, bone->BoneID());
    BuildBoneIndex(*bone);
  }
}

TSkeletonBone* TSkeleton::BoneByID(int32_t id) {
  if (!boneIndexBuilt_) {
    bonesByID_.clear();
    highestBoneID_ = -1;
    BuildBoneIndex(*rootBones_);
    boneIndexBuilt_ = true;
  }
  if (id < 0 || id > highestBoneID_) throw EListError("Invalid list index");
  const auto it = bonesByID_.find(id);
  return it == bonesByID_.end() ? nullptr : it->second;
}

void TSkeleton::FlushBoneByIDCache() {
  boneIndexBuilt_ = false;
  bonesByID_.clear();
  highestBoneID_ = -1;
}

void TSkeleton::LerpFrames(int index1, int index2, float t) {
  TSkeletonFrame& first = *frames_->Items(index1);
  TSkeletonFrame& second = *frames_->Items(index2);
  auto frame = std::make_unique<TSkeletonFrame>();
  frame->SetTransformMode(first.TransformMode());
  frame->Position()->Lerp(*first.Position(), *second.Position(), t);
  if (first.TransformMode() == ftAngles)
    frame->Rotation()->AngleLerp(*first.Rotation(), *second.Rotation(), t);
  else
    frame->Quaternion()->Lerp(*first.Quaternion(), *second.Quaternion(), t);
  currentFrame_ = std::move(frame);
}

void TSkeleton::BlendFrames(const std::vector<TBlendedLerpInfo>& infos) {
  ZASSERT(!infos.empty(), kAssertText);
  if (infos.size() == 1) {
    LerpFrames(infos[0].frameIndex1, infos[0].frameIndex2, infos[0].lerpFactor);
    return;
  }
  const TBlendedLerpInfo& lead = infos[0];
  TSkeletonFrame& first = *frames_->Items(lead.frameIndex1);
  auto frame = std::make_unique<TSkeletonFrame>();
  const TSkeletonFrameTransform mode = first.TransformMode();
  frame->SetTransformMode(mode);

  TAffineVectorList& positions = *frame->Position();
  positions.Lerp(*first.Position(), *frames_->Items(lead.frameIndex2)->Position(), lead.lerpFactor);
  if (lead.weight != 1) positions.Scale(lead.weight);
  TAffineVectorList scratch;
  for (size_t k = 1; k < infos.size(); ++k) {
    const TBlendedLerpInfo& info = infos[k];
    if (info.externalPositionList) {
      positions.Combine(*info.externalPositionList, 1);
    } else {
      scratch.Lerp(*frames_->Items(info.frameIndex1)->Position(),
                   *frames_->Items(info.frameIndex2)->Position(), info.lerpFactor);
      positions.Combine(scratch, 1);
    }
  }

  if (mode == ftAngles) {
    TAffineVectorList& rotations = *frame->Rotation();
    rotations.AngleLerp(*first.Rotation(), *frames_->Items(lead.frameIndex2)->Rotation(), lead.lerpFactor);
    for (size_t k = 1; k < infos.size(); ++k) {
      const TBlendedLerpInfo& info = infos[k];
      if (info.externalRotationList) {
        rotations.AngleCombine(*info.externalRotationList, 1);
      } else {
        scratch.AngleLerp(*frames_->Items(info.frameIndex1)->Rotation(),
                          *frames_->Items(info.frameIndex2)->Rotation(), info.lerpFactor);
        rotations.AngleCombine(scratch, 1);
      }
    }
  } else {
    TQuaternionList& quaternions = *frame->Quaternion();
    quaternions.Lerp(*first.Quaternion(), *frames_->Items(lead.frameIndex2)->Quaternion(), lead.lerpFactor);
    TQuaternionList quatScratch;
    for (size_t k = 1; k < infos.size(); ++k) {
      const TBlendedLerpInfo& info = infos[k];
      if (info.externalQuatList) {
        quaternions.Combine(*info.externalQuatList, 1);
      } else {
        quatScratch.Lerp(*frames_->Items(info.frameIndex1)->Quaternion(),
                         *frames_->Items(info.frameIndex2)->Quaternion(), info.lerpFactor);
        quaternions.Combine(quatScratch, 1);
      }
    }
  }
  currentFrame_ = std::move(frame);
}

void TSkeleton::ApplyToMeshes(bool normalize) {
  if (!owner_ || owner_->MeshObjects()->Count() == 0 || !CurrentFrame()) return;
  rootBones_->PrepareGlobalMatrices();
  colliders_->AlignColliders();
  TMeshObjectList& meshes = *owner_->MeshObjects();
  for (int i = 0; i < meshes.Count(); ++i) {
    auto* skinned = dynamic_cast<TSkeletonMeshObject*>(meshes.Items(i));
    if (skinned && skinned->Visible()) skinned->ApplySkeletonFrame(normalize);
  }
}

void TSkeleton::CopyCurrentFrameFrom(TSkeleton* other) {
  TSkeletonFrame* theirs = other ? other->CurrentFrame() : nullptr;
  TSkeletonFrame* mine = CurrentFrame();
  if (theirs && mine) mine->Assign(theirs);
  if (mine) mine->FlushLocalMatrixList();
  ApplyToMeshes(true);
}

void TSkeleton::Clear() {
  FlushBoneByIDCache();
  colliders_->Clear();
  rootBones_->Clear();
  frames_->Clear();
  currentFrame_.reset();
}

}  // namespace gl3d
