#pragma once
// A proxy draws another scene object (its master) at its own place: the master's geometry, its
// children and its effects, each part when its option is set. The master stays where it is in
// the tree; a proxy that reaches itself through its master draws nothing more (re-entry guard).
#include <cstdint>
#include <memory>

#include "scene3d/scene/core/GLBaseSceneObject.h"

namespace gl3d {

enum TGLProxyObjectOption : uint8_t { pooEffects, pooObjects, pooTransformation };
using TGLProxyObjectOptions = uint8_t;
constexpr TGLProxyObjectOptions ProxyOptionBit(TGLProxyObjectOption o) {
  return static_cast<TGLProxyObjectOptions>(1u << o);
}
inline constexpr TGLProxyObjectOptions cDefaultProxyOptions = 0x07;

class TGLProxyObject : public TGLBaseSceneObject {
 public:
  explicit TGLProxyObject(TComponent* owner);
  // Lets go of the master first.
  ~TGLProxyObject() override;
  const char* ClassName() const override { return "TGLProxyObject"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGLProxyObject>; }

  TGLBaseSceneObject* MasterObject() const { return masterObject_; }
  // Moves the free notification from the old master to the new one, then StructureChanged.
  virtual void SetMasterObject(TGLBaseSceneObject* value);
  TGLProxyObjectOptions ProxyOptions() const { return proxyOptions_; }
  void SetProxyOptions(TGLProxyObjectOptions value);
  // Set while the proxy draws.
  bool Rendering() const { return rendering_; }

  // The master from another proxy, then the base assignment.
  void Assign(const TPersistent* source) override;
  // The proxy's handling of the component model's notices: a master that is freed is cleared;
  // then the inherited handling.
  void HandleNotification(TComponent* component, TOperation operation);
  void Notification(TComponent* component, TOperation operation) override {
    HandleNotification(component, operation);
  }
  // The proxy's place moved by the master's barycentre offset.
  TVector4f BarycenterAbsolutePosition() override;
  // The master's, else the base answer.
  TVector4f AxisAlignedDimensionsUnscaled() override;
  // The ray taken into the master's frame and the master's hit brought back; false without one.
  bool RayCastIntersect(const TVector4f& rayStart, const TVector4f& rayVector, TVector4f* intersectPoint = nullptr,
                        TVector4f* intersectNormal = nullptr) override;
  // The master's, else none.
  std::unique_ptr<TGLSilhouette> GenerateSilhouette(const TSilhouetteQuery& params) override;
  void DoRender(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) override;

 private:
  TGLBaseSceneObject* masterObject_ = nullptr;
  TGLProxyObjectOptions proxyOptions_ = cDefaultProxyOptions;
  bool rendering_ = false;
};

}  // namespace gl3d
