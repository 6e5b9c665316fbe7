#include "scene3d/scene/material/GLCustomSceneObject.h"

namespace gl3d {

TGLCustomSceneObject::TGLCustomSceneObject(TComponent* owner)
    : TGLBaseSceneObject(owner), material_(std::make_unique<TGLMaterial>(this)) {}

TGLCustomSceneObject::~TGLCustomSceneObject() = default;

void TGLCustomSceneObject::SetMaterial(const TGLMaterial* value) {
  material_->Assign(value);
  NotifyChange(this);
}

void TGLCustomSceneObject::Assign(const TPersistent* source) {
  if (const auto* src = dynamic_cast<const TGLCustomSceneObject*>(source)) {
    material_->Assign(src->material_.get());
    hint_ = src->hint_;
  }
  TGLBaseSceneObject::Assign(source);
}

void TGLCustomSceneObject::AfterLoad() {
  TGLBaseSceneObject::AfterLoad();
  material_->Loaded();
}

void TGLCustomSceneObject::DestroyHandle() {
  TGLBaseSceneObject::DestroyHandle();
  material_->DestroyHandles();
}

void TGLCustomSceneObject::DoRender(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) {
  if (renderSelf) {
    if (rci.IgnoreMaterials) {
      TGLBaseSceneObject::DoRender(rci, true, false);
    } else {
      // A multi-pass material is applied once; it keeps its state between the passes.
      material_->Apply(rci);
      do {
        TGLBaseSceneObject::DoRender(rci, true, false);
      } while (material_->UnApply(rci));
    }
  }
  if (renderChildren) TGLBaseSceneObject::DoRender(rci, false, true);
}

void TGLImmaterialSceneObject::DoRender(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) {
  TGLBaseSceneObject::DoRender(rci, renderSelf, renderChildren);
}

}  // namespace gl3d
