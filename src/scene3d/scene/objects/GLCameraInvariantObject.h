#pragma once
// Scene objects that change how they are drawn rather than what they draw: a camera-invariant
// object cancels the camera's translation or rotation (the base of the dummy cube), a direct-GL
// object draws by calling an event with the render context, and a render point calls a list of
// registered callbacks.
#include <cstdint>
#include <functional>
#include <vector>

#include "scene3d/scene/material/GLCustomSceneObject.h"

namespace gl3d {

enum TGLCameraInvarianceMode : uint8_t { cimNone, cimPosition, cimOrientation };

class TGLCameraInvariantObject : public TGLImmaterialSceneObject {
 public:
  explicit TGLCameraInvariantObject(TComponent* owner) : TGLImmaterialSceneObject(owner) {}
  const char* ClassName() const override { return "TGLCameraInvariantObject"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGLCameraInvariantObject>; }
  TGLCameraInvarianceMode CamInvarianceMode() const { return camInvarianceMode_; }
  void SetCamInvarianceMode(TGLCameraInvarianceMode value);
  void Assign(const TPersistent* source) override;
  // cimPosition draws as if the camera stood at the origin (its translation cancelled),
  // cimOrientation under the fixed view scale(1, -1, -1); cimNone as any object.
  void DoRender(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) override;

 private:
  TGLCameraInvarianceMode camInvarianceMode_ = cimNone;
};

using TDirectRenderEvent = std::function<void(TObject* sender, TRenderContextInfo& rci)>;

class TGLDirectOpenGL : public TGLImmaterialSceneObject {
 public:
  // Drawn directly (sfDirectDraw) until UseBuildList is set.
  explicit TGLDirectOpenGL(TComponent* owner);
  const char* ClassName() const override { return "TGLDirectOpenGL"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGLDirectOpenGL>; }
  bool UseBuildList() const { return useBuildList_; }
  // True compiles OnRender's output into the display list (sfDirectDraw off). No notification.
  void SetUseBuildList(bool value);
  bool Blend() const { return blend_; }
  void SetBlend(bool value);
  TDirectRenderEvent OnRender;

  void Assign(const TPersistent* source) override;
  bool Blended() const override { return blend_; }
  // No extent: (0, 0, 0, 1).
  TVector4f AxisAlignedDimensionsUnscaled() override { return {0, 0, 0, 1}; }
  // The main texture mapping, then OnRender.
  void BuildList(TRenderContextInfo& rci) override;

 private:
  bool useBuildList_ = false;
  bool blend_ = false;
};

class TGLRenderPoint : public TGLImmaterialSceneObject {
 public:
  explicit TGLRenderPoint(TComponent* owner);
  // Clear first: every registered party hears that the point goes.
  ~TGLRenderPoint() override;
  const char* ClassName() const override { return "TGLRenderPoint"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGLRenderPoint>; }
  // Adds a pair: the callback that draws and the one told when the point lets go of it.
  void RegisterCallback(const TDirectRenderEvent& renderEvent, const TNotifyEvent& freeEvent);
  int CallbackCount() const { return static_cast<int>(renderCallbacks_.size()); }
  // From the last pair to the first: its free callback hears of it, then the pair goes.
  void Clear();
  // Every render callback in order.
  void BuildList(TRenderContextInfo& rci) override;

 private:
  std::vector<TDirectRenderEvent> renderCallbacks_;
  std::vector<TNotifyEvent> freeCallbacks_;
};

}  // namespace gl3d
