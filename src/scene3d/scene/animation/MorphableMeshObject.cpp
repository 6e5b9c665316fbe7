#include "scene3d/scene/animation/MorphableMeshObject.h"

#include <algorithm>

#include "common/Exception.h"
#include "scene3d/scene/animation/AnimationArchives.h"

namespace gl3d {

namespace {
constexpr const char* kAssertText = "Assertion failure (GLVectorFileObjects)";
}

// ---- TMeshMorphTarget ----

TMeshMorphTarget::TMeshMorphTarget(TMeshMorphTargetList* owner) : owner_(owner) {
  if (owner_) owner_->Add(this);
}

TMeshMorphTarget::~TMeshMorphTarget() {
  if (owner_) owner_->Remove(this);
}

std::unique_ptr<TPersistentObject> TMeshMorphTarget::NewInstance() const {
  return std::make_unique<TMeshMorphTarget>();
}

void TMeshMorphTarget::WriteToFiler(TVirtualWriter& writer) const {
  TBaseMeshObject::WriteToFiler(writer);
  writer.WriteInteger(0);
}

void TMeshMorphTarget::ReadFromFiler(TVirtualReader& reader) {
  TBaseMeshObject::ReadFromFiler(reader);
  const int32_t version = reader.ReadInteger();
  if (version != 0) RaiseFilerException(version);
}

// ---- TMeshMorphTargetList ----

TMeshMorphTargetList::~TMeshMorphTargetList() { Clear(); }

std::unique_ptr<TPersistentObject> TMeshMorphTargetList::NewInstance() const {
  return std::make_unique<TMeshMorphTargetList>();
}

void TMeshMorphTargetList::Clear() {
  // Each entry is emptied before its item goes, so a target's leaving finds nothing to remove;
  // items of another class that a failed read left behind go the same way.
  FreeItems();
  TPersistentObjectList::Clear();
}

void TMeshMorphTargetList::Translate(const TVector3f& delta) {
  for (int i = 0; i < Count(); ++i) Items(i)->Translate(delta);
}

void TMeshMorphTargetList::ReadFromFiler(TVirtualReader& reader) {
  Clear();
  ReadOwningList(*this, reader);
  AdoptArchiveItems<TMeshMorphTarget>(*this);
}

// ---- TMorphableMeshObject ----

TMorphableMeshObject::TMorphableMeshObject() : morphTargets_(std::make_unique<TMeshMorphTargetList>(this)) {}

TMorphableMeshObject::TMorphableMeshObject(TMeshObjectList* owner)
    : TMeshObject(owner), morphTargets_(std::make_unique<TMeshMorphTargetList>(this)) {}

TMorphableMeshObject::~TMorphableMeshObject() = default;

std::unique_ptr<TPersistentObject> TMorphableMeshObject::NewInstance() const {
  return std::make_unique<TMorphableMeshObject>();
}

void TMorphableMeshObject::InvalidateBufferOf(TMeshObjectBuffer buffer) {
  SetValidBuffers(ValidBuffers() & static_cast<TMeshObjectBuffers>(~MeshBufferBit(buffer)));
}

void TMorphableMeshObject::SetToTarget(int index) {
  if (index == 0 && morphTargets_->Count() == 0) return;
  ZASSERT(index >= 0 && index < morphTargets_->Count(), kAssertText);
  TMeshMorphTarget* target = morphTargets_->Items(index);
  if (target->Vertices()->Count() > 0) {
    vertices_.Assign(target->Vertices());
    InvalidateBufferOf(vbVertices);
  }
  if (target->Normals()->Count() > 0) {
    normals_.Assign(target->Normals());
    InvalidateBufferOf(vbNormals);
  }
}

void TMorphableMeshObject::Lerp(int index1, int index2, float t) {
  const int count = morphTargets_->Count();
  ZASSERT(index1 >= 0 && index1 < count && index2 >= 0 && index2 < count, kAssertText);
  if (t == 0) {
    SetToTarget(index1);
    return;
  }
  if (t == 1) {
    SetToTarget(index2);
    return;
  }
  TMeshMorphTarget* first = morphTargets_->Items(index1);
  TMeshMorphTarget* second = morphTargets_->Items(index2);
  if (first->Vertices()->Count() > 0) {
    vertices_.Lerp(*first->Vertices(), *second->Vertices(), t);
    InvalidateBufferOf(vbVertices);
  }
  if (first->Normals()->Count() > 0) {
    normals_.Lerp(*first->Normals(), *second->Normals(), t);
    normals_.Normalize();
    InvalidateBufferOf(vbNormals);
  }
}

void TMorphableMeshObject::Translate(const TVector3f& delta) {
  TMeshObject::Translate(delta);
  morphTargets_->Translate(delta);
  InvalidateBufferOf(vbVertices);
}

void TMorphableMeshObject::Clear() {
  TMeshObject::Clear();
  morphTargets_->Clear();
}

// ---- The mesh-object list's morph forwarding ----

void TMeshObjectList::ApplyMorphTarget(int index) {
  for (int i = 0; i < Count(); ++i)
    if (auto* morph = dynamic_cast<TMorphableMeshObject*>(Get(i))) morph->SetToTarget(index);
}

void TMeshObjectList::Lerp(int index1, int index2, float t) {
  for (int i = 0; i < Count(); ++i)
    if (auto* morph = dynamic_cast<TMorphableMeshObject*>(Get(i))) morph->Lerp(index1, index2, t);
}

int TMeshObjectList::MorphTargetCount() const {
  int count = -1;
  for (int i = 0; i < Count(); ++i)
    if (auto* morph = dynamic_cast<const TMorphableMeshObject*>(Get(i)))
      count = count < 0 ? morph->MorphTargets()->Count() : std::min(count, morph->MorphTargets()->Count());
  return std::max(count, 0);
}

void TMorphableMeshObject::WriteToFiler(TVirtualWriter& writer) const {
  TMeshObject::WriteToFiler(writer);
  writer.WriteInteger(0);
  morphTargets_->WriteToFiler(writer);
}

void TMorphableMeshObject::ReadFromFiler(TVirtualReader& reader) {
  TMeshObject::ReadFromFiler(reader);
  const int32_t version = reader.ReadInteger();
  if (version != 0) RaiseFilerException(version);
  morphTargets_->ReadFromFiler(reader);
}

}  // namespace gl3d
