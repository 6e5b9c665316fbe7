#pragma once
// The fog settings of a render buffer and the OpenGL calls that apply them.
#include <cstdint>
#include <memory>

#include "scene3d/base/GLColor.h"
#include "scene3d/scene/core/GLRenderContextInfo.h"

namespace gl3d {

enum TFogMode : uint8_t { fmLinear, fmExp, fmExp2 };
// How the distance to a fragment is measured (with GL_NV_fog_distance): the driver's own way,
// radially from the eye, or along the view axis.
enum TFogDistance : uint8_t { fdDefault, fdEyeRadial, fdEyePlane };

class TGLFogEnvironment : public TGLUpdateAbleObject {
 public:
  // The owner must be a render buffer (assertion).
  explicit TGLFogEnvironment(TPersistent* owner);
  const char* ClassName() const override { return "TGLFogEnvironment"; }

  TGLAbstractSceneBuffer* SceneBuffer() const { return sceneBuffer_; }
  // Its alpha is the density of the exponential modes.
  TGLColor* FogColor() const { return fogColor_.get(); }
  // Assigns (nothing for nullptr) and notifies.
  void SetFogColor(const TGLColor* value);
  float FogStart() const { return fogStart_; }
  void SetFogStart(float value);
  float FogEnd() const { return fogEnd_; }
  void SetFogEnd(float value);
  TFogMode FogMode() const { return fogMode_; }
  void SetFogMode(TFogMode value);
  TFogDistance FogDistance() const { return fogDistance_; }
  void SetFogDistance(TFogDistance value);

  // Sends the settings to OpenGL in the buffer's context (activated for the call when it is not
  // active); nothing while the buffer has no context.
  void ApplyFog();
  // Start 10, end 1000, linear, default distance; the colour takes no part.
  bool IsAtDefaultValues() const;
  // From fog settings: everything, then one notification. Anything else: the persistent
  // assignment.
  void Assign(const TPersistent* source) override;

 private:
  TGLAbstractSceneBuffer* sceneBuffer_;
  std::unique_ptr<TGLColor> fogColor_;
  float fogStart_ = 10;
  float fogEnd_ = 1000;
  TFogMode fogMode_ = fmLinear;
  TFogDistance fogDistance_ = fdDefault;
};

}  // namespace gl3d
