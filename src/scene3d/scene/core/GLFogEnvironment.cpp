#include "scene3d/scene/core/GLFogEnvironment.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "common/Exception.h"
#include "scene3d/gl/GLContext.h"

namespace gl3d {

namespace {
// The driver's own fog distance mode, read the first time the default is applied (-1: not yet).
int gDefaultFogDistanceMode = -1;
}  // namespace

TGLFogEnvironment::TGLFogEnvironment(TPersistent* owner)
    : TGLUpdateAbleObject(owner),
      sceneBuffer_(dynamic_cast<TGLAbstractSceneBuffer*>(owner)),
      fogColor_(std::make_unique<TGLColor>(this)) {
  ZASSERT(sceneBuffer_ != nullptr, "Assertion failure (scene core)");
}

void TGLFogEnvironment::SetFogColor(const TGLColor* value) {
  if (!value) return;
  fogColor_->Assign(value);
  NotifyChange(this);
}

void TGLFogEnvironment::SetFogStart(float value) {
  if (value == fogStart_) return;
  fogStart_ = value;
  NotifyChange(this);
}

void TGLFogEnvironment::SetFogEnd(float value) {
  if (value == fogEnd_) return;
  fogEnd_ = value;
  NotifyChange(this);
}

void TGLFogEnvironment::SetFogMode(TFogMode value) {
  if (value == fogMode_) return;
  fogMode_ = value;
  NotifyChange(this);
}

void TGLFogEnvironment::SetFogDistance(TFogDistance value) {
  if (value == fogDistance_) return;
  fogDistance_ = value;
  NotifyChange(this);
}

void TGLFogEnvironment::ApplyFog() {
  TGLContext* context = sceneBuffer_->RenderingContext();
  if (!context) return;
  const bool activated = !context->GetActive();
  if (activated) context->Activate();
  struct TDeactivate {
    TGLContext* context;
    bool active;
    ~TDeactivate() {
      if (active) context->Deactivate();
    }
  } deactivate{context, activated};

  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  switch (fogMode_) {
    case fmLinear:
      gl.Fogi(GL_FOG_MODE, GL_LINEAR);
      break;
    case fmExp:
      gl.Fogi(GL_FOG_MODE, GL_EXP);
      gl.Fogf(GL_FOG_DENSITY, fogColor_->Alpha());
      break;
    case fmExp2:
      gl.Fogi(GL_FOG_MODE, GL_EXP2);
      gl.Fogf(GL_FOG_DENSITY, fogColor_->Alpha());
      break;
  }
  gl.Fogfv(GL_FOG_COLOR, fogColor_->ColorAddress());
  gl.Fogf(GL_FOG_START, fogStart_);
  gl.Fogf(GL_FOG_END, fogEnd_);
  if (!gl.NV_fog_distance) return;
  switch (fogDistance_) {
    case fdDefault:
      if (gDefaultFogDistanceMode < 0)
        gl.GetIntegerv(GL_FOG_DISTANCE_MODE_NV, &gDefaultFogDistanceMode);
      else
        gl.Fogi(GL_FOG_DISTANCE_MODE_NV, gDefaultFogDistanceMode);
      break;
    case fdEyeRadial:
      gl.Fogi(GL_FOG_DISTANCE_MODE_NV, GL_EYE_RADIAL_NV);
      break;
    case fdEyePlane:
      gl.Fogi(GL_FOG_DISTANCE_MODE_NV, GL_EYE_PLANE_ABSOLUTE_NV);
      break;
    default:
      ZASSERT(false, "Assertion failure (scene core)");
  }
}

bool TGLFogEnvironment::IsAtDefaultValues() const {
  return fogStart_ == 10 && fogEnd_ == 1000 && fogMode_ == fmLinear && fogDistance_ == fdDefault;
}

void TGLFogEnvironment::Assign(const TPersistent* source) {
  if (auto* fog = dynamic_cast<const TGLFogEnvironment*>(source)) {
    fogColor_->Initialize(fog->fogColor_->Color());
    fogStart_ = fog->fogStart_;
    fogEnd_ = fog->fogEnd_;
    fogMode_ = fog->fogMode_;
    fogDistance_ = fog->fogDistance_;
    NotifyChange(this);
  } else {
    TGLUpdateAbleObject::Assign(source);
  }
}

}  // namespace gl3d
