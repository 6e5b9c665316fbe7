// The archives of skeletons (frames, bones, colliders) and skinned mesh objects, the shared
// checks of animation archives, and the registration of the classes that archives name.
//
// Every part writes its version first and reads only the versions it knows. Reading checks what
// the later steps rely on (list items of the right class, frame transforms, bone IDs, weight
// counts against the data); anything else fails the read with EReadError.
#include "scene3d/scene/animation/AnimationArchives.h"

#include <memory>
#include <string>

#include "scene3d/scene/animation/MorphableMeshObject.h"
#include "scene3d/scene/animation/Skeleton.h"
#include "scene3d/scene/animation/SkeletonMeshObject.h"

namespace gl3d {

void ArchiveDamaged(const TObject& object, const std::string& what) {
  throw EReadError(std::string(object.ClassName()) + " : " + what);
}

void ReadOwningList(TPersistentObjectList& list, TVirtualReader& reader) {
  try {
    list.TPersistentObjectList::ReadFromFiler(reader);
  } catch (...) {
    list.Clear();
    throw;
  }
}

// ---- Frames ----

void TSkeletonFrame::WriteToFiler(TVirtualWriter& writer) const {
  TPersistentObject::WriteToFiler(writer);
  writer.WriteInteger(1);
  writer.WriteString(name_);
  position_->WriteToFiler(writer);
  rotation_->WriteToFiler(writer);
  quaternion_->WriteToFiler(writer);
  writer.WriteInteger(transformMode_);
}

void TSkeletonFrame::ReadFromFiler(TVirtualReader& reader) {
  TPersistentObject::ReadFromFiler(reader);
  const int32_t version = reader.ReadInteger();
  if (version != 0 && version != 1) RaiseFilerException(version);
  name_ = reader.ReadString();
  position_->ReadFromFiler(reader);
  rotation_->ReadFromFiler(reader);
  if (version == 1) {
    quaternion_->ReadFromFiler(reader);
    const int32_t mode = reader.ReadInteger();
    if (mode != ftAngles && mode != ftQuaternions) ArchiveDamaged(*this, "transform " + std::to_string(mode));
    transformMode_ = static_cast<TSkeletonFrameTransform>(mode);
  } else {
    quaternion_->Clear();
    transformMode_ = ftAngles;
  }
  FlushLocalMatrixList();
}

void TSkeletonFrameList::ReadFromFiler(TVirtualReader& reader) {
  Clear();
  ReadOwningList(*this, reader);
  AdoptArchiveItems<TSkeletonFrame>(*this);
}

// ---- Bones ----

void TSkeletonBoneList::WriteToFiler(TVirtualWriter& writer) const {
  TPersistentObjectList::WriteToFiler(writer);
  writer.WriteInteger(0);
}

void TSkeletonBoneList::ReadFromFiler(TVirtualReader& reader) {
  Clear();
  ReadOwningList(*this, reader);
  AdoptArchiveItems<TSkeletonBone>(*this);
  const int32_t version = reader.ReadInteger();
  if (version != 0) RaiseFilerException(version);
}

void TSkeletonRootBoneList::WriteToFiler(TVirtualWriter& writer) const {
  TSkeletonBoneList::WriteToFiler(writer);
  writer.WriteInteger(0);
}

void TSkeletonRootBoneList::ReadFromFiler(TVirtualReader& reader) {
  TSkeletonBoneList::ReadFromFiler(reader);
  const int32_t version = reader.ReadInteger();
  if (version != 0) RaiseFilerException(version);
}

void TSkeletonBone::WriteToFiler(TVirtualWriter& writer) const {
  TSkeletonBoneList::WriteToFiler(writer);
  writer.WriteInteger(0);
  writer.WriteString(name_);
  writer.WriteInteger(boneID_);
  writer.WriteInteger(static_cast<int32_t>(color_));
}

void TSkeletonBone::ReadFromFiler(TVirtualReader& reader) {
  TSkeletonBoneList::ReadFromFiler(reader);
  const int32_t version = reader.ReadInteger();
  if (version != 0) RaiseFilerException(version);
  name_ = reader.ReadString();
  const int32_t id = reader.ReadInteger();
  if (id < 0) ArchiveDamaged(*this, "bone ID " + std::to_string(id));
  boneID_ = id;
  color_ = static_cast<uint32_t>(reader.ReadInteger());
}

// ---- Colliders ----

void TSkeletonCollider::WriteToFiler(TVirtualWriter& writer) const {
  TPersistentObject::WriteToFiler(writer);
  writer.WriteInteger(0);
  writer.WriteInteger(bone_ ? bone_->BoneID() : -1);
  writer.Write(&localMatrix_, sizeof localMatrix_);
}

void TSkeletonCollider::ReadFromFiler(TVirtualReader& reader) {
  TPersistentObject::ReadFromFiler(reader);
  const int32_t version = reader.ReadInteger();
  if (version != 0) RaiseFilerException(version);
  const int32_t id = reader.ReadInteger();
  if (id < -1) ArchiveDamaged(*this, "bone ID " + std::to_string(id));
  TMatrix4f m;
  reader.Read(&m, sizeof m);
  boneID_ = id;
  bone_ = nullptr;
  localMatrix_ = m;
}

void TSkeletonColliderList::ReadFromFiler(TVirtualReader& reader) {
  Clear();
  ReadOwningList(*this, reader);
  AdoptArchiveItems<TSkeletonCollider>(*this);
  for (int i = 0; i < Count(); ++i) {
    TSkeletonCollider* collider = Items(i);
    if (collider->BoneID() == -1 || !owner_) continue;
    TSkeletonBone* bone = nullptr;
    try {
      bone = owner_->BoneByID(collider->BoneID());
    } catch (const EListError&) {
    }
    if (!bone) {
      const int32_t id = collider->BoneID();
      Clear();
      ArchiveDamaged(*this, "no bone of ID " + std::to_string(id));
    }
    collider->SetBone(bone);
  }
}

// ---- Skeleton ----

void TSkeleton::WriteToFiler(TVirtualWriter& writer) const {
  TPersistentObject::WriteToFiler(writer);
  const bool withColliders = colliders_->Count() > 0;
  writer.WriteInteger(withColliders ? 1 : 0);
  rootBones_->WriteToFiler(writer);
  frames_->WriteToFiler(writer);
  if (withColliders) colliders_->WriteToFiler(writer);
}

void TSkeleton::ReadFromFiler(TVirtualReader& reader) {
  TPersistentObject::ReadFromFiler(reader);
  const int32_t version = reader.ReadInteger();
  if (version != 0 && version != 1) RaiseFilerException(version);
  // Read into new lists, so that a damaged archive leaves the skeleton as it was.
  auto rootBones = std::make_unique<TSkeletonRootBoneList>(this);
  auto frames = std::make_unique<TSkeletonFrameList>(this);
  auto colliders = std::make_unique<TSkeletonColliderList>(this);
  rootBones->ReadFromFiler(reader);
  frames->ReadFromFiler(reader);
  colliders_.swap(colliders);
  rootBones_.swap(rootBones);
  frames_.swap(frames);
  FlushBoneByIDCache();
  try {
    // The colliders find their bones among the new ones.
    if (version == 1) colliders_->ReadFromFiler(reader);
  } catch (...) {
    colliders_.swap(colliders);
    rootBones_.swap(rootBones);
    frames_.swap(frames);
    FlushBoneByIDCache();
    throw;
  }
  currentFrame_.reset();
  colliders.reset();  // before the bones they may point at
}

// ---- Skinned mesh objects ----

void TSkeletonMeshObject::WriteToFiler(TVirtualWriter& writer) const {
  TMorphableMeshObject::WriteToFiler(writer);
  writer.WriteInteger(0);
  writer.WriteInteger(weightCount_);
  writer.WriteInteger(bonesPerVertex_);
  writer.WriteInteger(capacity_);
  if (!weights_.empty())
    writer.Write(weights_.data(), static_cast<int64_t>(weights_.size() * sizeof(TVertexBoneWeight)));
}

void TSkeletonMeshObject::ReadFromFiler(TVirtualReader& reader) {
  TMorphableMeshObject::ReadFromFiler(reader);
  const int32_t version = reader.ReadInteger();
  if (version != 0) RaiseFilerException(version);
  const int32_t count = reader.ReadInteger();
  const int32_t perVertex = reader.ReadInteger();
  const int32_t capacity = reader.ReadInteger();
  if (count < 0 || count > capacity) ArchiveDamaged(*this, "weight count " + std::to_string(count));
  if (perVertex < 1) ArchiveDamaged(*this, "bones per vertex " + std::to_string(perVertex));
  const int64_t bytes =
      static_cast<int64_t>(count) * perVertex * static_cast<int64_t>(sizeof(TVertexBoneWeight));
  if (bytes > reader.Stream().Remaining()) ArchiveDamaged(*this, "weights beyond the data");
  std::vector<TVertexBoneWeight> weights(static_cast<size_t>(count) * perVertex);
  if (bytes > 0) reader.Read(weights.data(), bytes);
  for (const TVertexBoneWeight& w : weights)
    if (w.BoneID < 0) ArchiveDamaged(*this, "bone ID " + std::to_string(w.BoneID));
  weights_ = std::move(weights);
  weightCount_ = count;
  bonesPerVertex_ = perVertex;
  capacity_ = capacity;
  boneSpaceMeshes_.clear();
}

void RegisterAnimationClasses() {
  TPersistentObjectRegistry& r = TPersistentObjectRegistry::Instance();
  r.Register<TSkeleton>("TSkeleton");
  r.Register<TSkeletonFrame>("TSkeletonFrame");
  r.Register<TSkeletonBone>("TSkeletonBone");
  r.Register<TSkeletonMeshObject>("TSkeletonMeshObject");
  r.Register<TSkeletonFrameList>("TSkeletonFrameList");
  r.Register<TMeshMorphTarget>("TMeshMorphTarget");
  r.Register<TMorphableMeshObject>("TMorphableMeshObject");
  r.Register<TSkeletonCollider>("TSkeletonCollider");
  r.Register<TSkeletonColliderList>("TSkeletonColliderList");
}

}  // namespace gl3d
