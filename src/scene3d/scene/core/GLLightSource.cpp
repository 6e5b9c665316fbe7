// The light source: a scene object standing for one fixed-function OpenGL light.
#include "scene3d/scene/core/GLBaseSceneObject.h"

namespace gl3d {

TGLLightSource::TGLLightSource(TComponent* owner)
    : TGLBaseSceneObject(owner),
      spotDirection_(std::make_unique<TGLCoordinates3>(this, TVector4f{0, 0, -1, 0}, ckVector)),
      ambient_(std::make_unique<TGLColor>(this, TVector4f{0, 0, 0, 1})),
      diffuse_(std::make_unique<TGLColor>(this, TVector4f{1, 1, 1, 1})),
      specular_(std::make_unique<TGLColor>(this, TVector4f{0, 0, 0, 1})) {}

TGLLightSource::~TGLLightSource() {
  // The scene's slot must not outlive the light; later stages of destruction no longer know
  // that this object is a light.
  if (Scene()) Scene()->RemoveLight(this);
}

void TGLLightSource::CoordinateChanged(TGLCustomCoordinates* sender) {
  TGLBaseSceneObject::CoordinateChanged(sender);
  if (sender == spotDirection_.get()) TransformationChanged();
}

void TGLLightSource::SetSpotDirection(const TGLCustomCoordinates& value) {
  spotDirection_->AssignVectorQuietly({value.X(), value.Y(), value.Z(), spotDirection_->W()});
  spotDirection_->SetW(0);
  NotifyChange(this);
}

void TGLLightSource::SetSpotExponent(float value) {
  if (value == spotExponent_) return;
  spotExponent_ = value;
  NotifyChange(this);
}

void TGLLightSource::SetSpotCutOff(float value) {
  if (value == spotCutOff_) return;
  if ((value >= 0 && value <= 90) || value == 180) {
    spotCutOff_ = value;
    NotifyChange(this);
  }
}

void TGLLightSource::SetConstAttenuation(float value) {
  if (value == constAttenuation_) return;
  constAttenuation_ = value;
  NotifyChange(this);
}

void TGLLightSource::SetLinearAttenuation(float value) {
  if (value == linearAttenuation_) return;
  linearAttenuation_ = value;
  NotifyChange(this);
}

void TGLLightSource::SetQuadraticAttenuation(float value) {
  if (value == quadraticAttenuation_) return;
  quadraticAttenuation_ = value;
  NotifyChange(this);
}

void TGLLightSource::SetShining(bool value) {
  if (value == shining_) return;
  shining_ = value;
  NotifyChange(this);
}

void TGLLightSource::SetLightStyle(TLightStyle value) {
  if (value == lightStyle_) return;
  lightStyle_ = value;
  NotifyChange(this);
}

void TGLLightSource::SetAmbient(const TGLColor& value) {
  ambient_->Initialize(value.Color());
  NotifyChange(this);
}

void TGLLightSource::SetDiffuse(const TGLColor& value) {
  diffuse_->Initialize(value.Color());
  NotifyChange(this);
}

void TGLLightSource::SetSpecular(const TGLColor& value) {
  specular_->Initialize(value.Color());
  NotifyChange(this);
}

void TGLLightSource::DoRender(TRenderContextInfo& rci, bool, bool renderChildren) {
  if (renderChildren && GetCount() > 0) RenderChildren(0, GetCount() - 1, rci);
}

}  // namespace gl3d
