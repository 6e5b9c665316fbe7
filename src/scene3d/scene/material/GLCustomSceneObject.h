#pragma once
// Scene objects with a material (GLMaterial.h): TGLCustomSceneObject applies its material around
// its own drawing, as many passes as the material asks for; TGLImmaterialSceneObject carries one
// but never applies it; TGL3DSceneObject is the base of the drawn primitives (cube, plane, free
// form, ...). They live beside the material so that the scene core needs no material code.
#include <memory>
#include <string>

#include "scene3d/scene/core/GLBaseSceneObject.h"
#include "scene3d/scene/material/GLMaterial.h"

namespace gl3d {

class TGLCustomSceneObject : public TGLBaseSceneObject {
 public:
  explicit TGLCustomSceneObject(TComponent* owner);
  ~TGLCustomSceneObject() override;
  const char* ClassName() const override { return "TGLCustomSceneObject"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGLCustomSceneObject>; }

  TGLMaterial* Material() const { return material_.get(); }
  // The material copies the value, then the object notifies.
  void SetMaterial(const TGLMaterial* value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& value) { hint_ = value; }

  // From a custom scene object: material and hint first, then the scene object's assignment.
  void Assign(const TPersistent* source) override;
  // The scene object's load completion, then the material's.
  void AfterLoad() override;
  bool Blended() const override { return material_->Blended(); }
  // The display list and the material's texture handles.
  void DestroyHandle() override;
  // Unless the pass ignores materials: Apply once, then draw again while UnApply asks for a pass.
  void DoRender(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) override;

 private:
  std::unique_ptr<TGLMaterial> material_;
  std::string hint_;
};

// An object whose material is never applied: it draws as a plain scene object.
class TGLImmaterialSceneObject : public TGLCustomSceneObject {
 public:
  using TGLCustomSceneObject::TGLCustomSceneObject;
  const char* ClassName() const override { return "TGLImmaterialSceneObject"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGLImmaterialSceneObject>; }
  void DoRender(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) override;
};

// The base of the drawn primitives: a custom scene object that stores its material.
class TGL3DSceneObject : public TGLCustomSceneObject {
 public:
  using TGLCustomSceneObject::TGLCustomSceneObject;
  const char* ClassName() const override { return "TGL3DSceneObject"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGL3DSceneObject>; }
};

}  // namespace gl3d
