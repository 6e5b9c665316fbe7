#pragma once
// Morph targets: whole alternative vertex and normal sets of a mesh object, which the morphable
// mesh object copies (SetToTarget) or interpolates (Lerp). An actor (GLActor.h) steps through them
// as its frames.
#include <memory>

#include "scene3d/scene/mesh/MeshObject.h"

namespace gl3d {

class TMeshMorphTargetList;
class TMorphableMeshObject;

// A name, vertices and normals (those of the base mesh object).
class TMeshMorphTarget : public TBaseMeshObject {
 public:
  // Appends itself to owner when given.
  explicit TMeshMorphTarget(TMeshMorphTargetList* owner = nullptr);
  // Leaves its owner list.
  ~TMeshMorphTarget() override;
  const char* ClassName() const override { return "TMeshMorphTarget"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;
  TMeshMorphTargetList* Owner() const { return owner_; }
  void SetOwner(TMeshMorphTargetList* owner) { owner_ = owner; }

  // The base mesh object's archive, then version 0.
  void WriteToFiler(TVirtualWriter& writer) const override;
  void ReadFromFiler(TVirtualReader& reader) override;

 private:
  TMeshMorphTargetList* owner_ = nullptr;
};

// The targets of a morphable mesh object; it owns them.
class TMeshMorphTargetList : public TPersistentObjectList {
 public:
  explicit TMeshMorphTargetList(TMorphableMeshObject* owner = nullptr) : owner_(owner) {}
  ~TMeshMorphTargetList() override;
  const char* ClassName() const override { return "TMeshMorphTargetList"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;
  TMorphableMeshObject* Owner() const { return owner_; }
  TMeshMorphTarget* Items(int index) const { return static_cast<TMeshMorphTarget*>(Get(index)); }

  // Frees the targets.
  void Clear() override;
  // Translates every target.
  void Translate(const TVector3f& delta);
  // The list archive; only morph targets belong in it (anything else fails the read with
  // EReadError). Each target's owner := the list.
  void ReadFromFiler(TVirtualReader& reader) override;

 private:
  TMorphableMeshObject* owner_;
};

class TMorphableMeshObject : public TMeshObject {
 public:
  TMorphableMeshObject();
  // CreateOwned: appended to owner when given.
  explicit TMorphableMeshObject(TMeshObjectList* owner);
  ~TMorphableMeshObject() override;
  const char* ClassName() const override { return "TMorphableMeshObject"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;

  TMeshMorphTargetList* MorphTargets() const { return morphTargets_.get(); }

  // Takes target index's vertices and normals (each only when the target has some) and marks the
  // buffers of what changed for upload. Nothing for index 0 without targets; another index must
  // name a target (EAssertionFailed).
  virtual void SetToTarget(int index);
  // The interpolation of two targets by t (0: the first, 1: the second); interpolated normals are
  // normalised again. Both indices must name targets (EAssertionFailed).
  virtual void Lerp(int index1, int index2, float t);
  // The vertices and every target.
  void Translate(const TVector3f& delta) override;
  // The mesh object's clear, then the targets are freed.
  void Clear() override;

  // The mesh object's archive, version 0, then the target list.
  void WriteToFiler(TVirtualWriter& writer) const override;
  void ReadFromFiler(TVirtualReader& reader) override;

 protected:
  void InvalidateBufferOf(TMeshObjectBuffer buffer);

 private:
  std::unique_ptr<TMeshMorphTargetList> morphTargets_;
};

}  // namespace gl3d
