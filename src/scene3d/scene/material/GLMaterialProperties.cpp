#include "scene3d/scene/material/GLMaterialProperties.h"

#include <algorithm>

#include "scene3d/gl/GLContext.h"

namespace gl3d {

// ---- Face properties ----

TGLFaceProperties::TGLFaceProperties(TPersistent* owner)
    : TGLUpdateAbleObject(owner),
      ambient_(std::make_unique<TGLColor>(this, TVector4f{0.2f, 0.2f, 0.2f, 1.0f})),
      diffuse_(std::make_unique<TGLColor>(this, TVector4f{0.8f, 0.8f, 0.8f, 1.0f})),
      specular_(std::make_unique<TGLColor>(this, TVector4f{0, 0, 0, 1})),
      emission_(std::make_unique<TGLColor>(this, TVector4f{0, 0, 0, 1})) {}

TGLFaceProperties::~TGLFaceProperties() = default;

void TGLFaceProperties::SetColor(TGLColor& own, const TGLColor* value) {
  if (value) own.SetColorNoNotify(value->Color());
  NotifyChange(this);
}

void TGLFaceProperties::SetShininess(TShininess value) {
  ChangeAndNotify(*this, shininess_, std::min(value, MaxShininess));
}

void TGLFaceProperties::Assign(const TPersistent* source) {
  const auto* src = dynamic_cast<const TGLFaceProperties*>(source);
  if (!src) return;
  ambient_->SetColorNoNotify(src->ambient_->Color());
  diffuse_->SetColorNoNotify(src->diffuse_->Color());
  specular_->SetColorNoNotify(src->specular_->Color());
  emission_->SetColorNoNotify(src->emission_->Color());
  shininess_ = src->shininess_;
  NotifyChange(this);
}

void TGLFaceProperties::Apply(TRenderContextInfo& rci, TCullFaceMode face) {
  rci.StateCache->SetGLMaterialColors(face, emission_->Color(), ambient_->Color(), diffuse_->Color(),
                                      specular_->Color(), shininess_);
}

void TGLFaceProperties::ApplyNoLighting() { CurrentGLEntryPoints().Color4fv(diffuse_->ColorAddress()); }

// ---- Depth properties ----

void TGLDepthProperties::SetDepthTest(bool value) { ChangeAndNotify(*this, depthTest_, value); }
void TGLDepthProperties::SetDepthWrite(bool value) { ChangeAndNotify(*this, depthWrite_, value); }
void TGLDepthProperties::SetZNear(float value) {
  ChangeAndNotify(*this, zNear_, std::clamp(value, 0.0f, 1.0f));
}
void TGLDepthProperties::SetZFar(float value) {
  ChangeAndNotify(*this, zFar_, std::clamp(value, 0.0f, 1.0f));
}
void TGLDepthProperties::SetDepthCompareFunction(TComparisonFunction value) {
  ChangeAndNotify(*this, compareFunction_, value);
}
void TGLDepthProperties::SetDepthClamp(bool value) { ChangeAndNotify(*this, depthClamp_, value); }

void TGLDepthProperties::Assign(const TPersistent* source) {
  const auto* src = dynamic_cast<const TGLDepthProperties*>(source);
  if (!src) return;
  depthTest_ = src->depthTest_;
  depthWrite_ = src->depthWrite_;
  zNear_ = src->zNear_;
  zFar_ = src->zFar_;
  compareFunction_ = src->compareFunction_;
  NotifyChange(this);
}

void TGLDepthProperties::Apply(TRenderContextInfo& rci) {
  TGLStateCache& states = *rci.StateCache;
  if (depthTest_ && rci.DepthTestOn)
    states.Enable(capDepthTest);
  else
    states.Disable(capDepthTest);
  states.SetDepthWriteMask(depthWrite_);
  states.SetDepthFunc(compareFunction_);
  states.SetDepthRange(zNear_, zFar_);
  if (CurrentGLEntryPoints().ARB_depth_clamp) {
    if (depthClamp_)
      states.Enable(capDepthClamp);
    else
      states.Disable(capDepthClamp);
  }
}

// ---- Blending parameters ----

void TGLBlendingParameters::SetUseAlphaFunc(bool value) { ChangeAndNotify(*this, useAlphaFunc_, value); }
void TGLBlendingParameters::SetUseBlendFunc(bool value) { ChangeAndNotify(*this, useBlendFunc_, value); }
void TGLBlendingParameters::SetAlphaFunctType(TComparisonFunction value) {
  ChangeAndNotify(*this, alphaFunctType_, value);
}
void TGLBlendingParameters::SetAlphaFuncRef(float value) { ChangeAndNotify(*this, alphaFuncRef_, value); }

void TGLBlendingParameters::SetSeparateBlendFunc(bool value) {
  if (value == separateBlendFunc_) return;
  separateBlendFunc_ = value;
  if (!value) {
    alphaBlendFuncSFactor_ = blendFuncSFactor_;
    alphaBlendFuncDFactor_ = blendFuncDFactor_;
  }
  NotifyChange(this);
}

void TGLBlendingParameters::SetBlendFuncSFactor(TBlendFunction value) {
  if (value == blendFuncSFactor_) return;
  blendFuncSFactor_ = value;
  if (!separateBlendFunc_) alphaBlendFuncSFactor_ = value;
  NotifyChange(this);
}

void TGLBlendingParameters::SetBlendFuncDFactor(TBlendFunction value) {
  if (value == blendFuncDFactor_) return;
  blendFuncDFactor_ = value;
  if (!separateBlendFunc_) alphaBlendFuncDFactor_ = value;
  NotifyChange(this);
}

void TGLBlendingParameters::SetAlphaBlendFuncSFactor(TBlendFunction value) {
  if (separateBlendFunc_) ChangeAndNotify(*this, alphaBlendFuncSFactor_, value);
}

void TGLBlendingParameters::SetAlphaBlendFuncDFactor(TBlendFunction value) {
  if (separateBlendFunc_) ChangeAndNotify(*this, alphaBlendFuncDFactor_, value);
}

void TGLBlendingParameters::Assign(const TPersistent* source) {
  const auto* src = dynamic_cast<const TGLBlendingParameters*>(source);
  if (!src) {
    TGLUpdateAbleObject::Assign(source);
    return;
  }
  useAlphaFunc_ = src->useAlphaFunc_;
  useBlendFunc_ = src->useBlendFunc_;
  separateBlendFunc_ = src->separateBlendFunc_;
  alphaFunctType_ = src->alphaFunctType_;
  alphaFuncRef_ = src->alphaFuncRef_;
  blendFuncSFactor_ = src->blendFuncSFactor_;
  blendFuncDFactor_ = src->blendFuncDFactor_;
  alphaBlendFuncSFactor_ = src->alphaBlendFuncSFactor_;
  alphaBlendFuncDFactor_ = src->alphaBlendFuncDFactor_;
  NotifyChange(this);
}

void TGLBlendingParameters::Apply(TRenderContextInfo& rci) {
  TGLStateCache& states = *rci.StateCache;
  if (useAlphaFunc_) {
    states.Enable(capAlphaTest);
    states.SetAlphaFunction(alphaFunctType_, alphaFuncRef_);
  } else {
    states.Disable(capAlphaTest);
  }
  if (!useBlendFunc_) {
    states.Disable(capBlend);
    return;
  }
  states.Enable(capBlend);
  if (separateBlendFunc_)
    states.SetBlendFuncSeparate(blendFuncSFactor_, blendFuncDFactor_, alphaBlendFuncSFactor_,
                                alphaBlendFuncDFactor_);
  else
    states.SetBlendFunc(blendFuncSFactor_, blendFuncDFactor_);
}

}  // namespace gl3d
