#include "scene3d/scene/objects/GLProxyObject.h"

#include "scene3d/gl/GLTransformation.h"

namespace gl3d {

TGLProxyObject::TGLProxyObject(TComponent* owner) : TGLBaseSceneObject(owner) {}

TGLProxyObject::~TGLProxyObject() { SetMasterObject(nullptr); }

void TGLProxyObject::SetMasterObject(TGLBaseSceneObject* value) {
  if (value == masterObject_) return;
  if (masterObject_) RemoveFreeNotification(masterObject_);
  masterObject_ = value;
  if (masterObject_) FreeNotification(masterObject_);
  StructureChanged();
}

void TGLProxyObject::SetProxyOptions(TGLProxyObjectOptions value) {
  if (value == proxyOptions_) return;
  proxyOptions_ = value;
  StructureChanged();
}

void TGLProxyObject::Assign(const TPersistent* source) {
  if (const auto* other = dynamic_cast<const TGLProxyObject*>(source)) SetMasterObject(other->masterObject_);
  TGLBaseSceneObject::Assign(source);
}

void TGLProxyObject::HandleNotification(TComponent* component, TOperation operation) {
  if (operation == opRemove && component == masterObject_) {
    // The master is being destroyed: only the pointer is dropped (the link dies with it).
    masterObject_ = nullptr;
    StructureChanged();
  }
  TGLBaseSceneObject::Notification(component, operation);
}

TVector4f TGLProxyObject::BarycenterAbsolutePosition() {
  if (!masterObject_) return TGLBaseSceneObject::BarycenterAbsolutePosition();
  TVector4f delta, master = masterObject_->BarycenterAbsolutePosition();
  VectorSubtract4f(master, masterObject_->AbsolutePosition(), delta);
  delta.W = 0;
  TVector4f p = Position()->AsVector();
  Position()->SetPoint(p.X + delta.X, p.Y + delta.Y, p.Z + delta.Z);
  const TVector4f result = AbsolutePosition();
  Position()->SetPoint(p.X, p.Y, p.Z);
  return result;
}

TVector4f TGLProxyObject::AxisAlignedDimensionsUnscaled() {
  return masterObject_ ? masterObject_->AxisAlignedDimensionsUnscaled()
                       : TGLBaseSceneObject::AxisAlignedDimensionsUnscaled();
}

bool TGLProxyObject::RayCastIntersect(const TVector4f& rayStart, const TVector4f& rayVector,
                                      TVector4f* intersectPoint, TVector4f* intersectNormal) {
  if (!masterObject_) return false;
  const TVector4f start = masterObject_->LocalToAbsolute(AbsoluteToLocal(rayStart));
  TVector4f vector = masterObject_->LocalToAbsolute(AbsoluteToLocal(rayVector));
  NormalizeVector4f(vector);
  const bool hit = masterObject_->RayCastIntersect(start, vector, intersectPoint, intersectNormal);
  if (hit) {
    if (intersectPoint) *intersectPoint = LocalToAbsolute(masterObject_->AbsoluteToLocal(*intersectPoint));
    if (intersectNormal) *intersectNormal = LocalToAbsolute(masterObject_->AbsoluteToLocal(*intersectNormal));
  }
  return hit;
}

std::unique_ptr<TGLSilhouette> TGLProxyObject::GenerateSilhouette(const TSilhouetteQuery& params) {
  return masterObject_ ? masterObject_->GenerateSilhouette(params) : nullptr;
}

void TGLProxyObject::DoRender(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) {
  if (rendering_) return;
  rendering_ = true;
  struct TGuard {
    bool& flag;
    ~TGuard() { flag = false; }
  } guard{rendering_};
  const bool masterEffects = masterObject_ && (proxyOptions_ & ProxyOptionBit(pooEffects)) &&
                             masterObject_->Effects()->Count() > 0;
  if (masterObject_ && (proxyOptions_ & ProxyOptionBit(pooObjects))) {
    const bool oldProxyRender = rci.ProxyRender;
    rci.ProxyRender = true;
    struct TRestore {
      TRenderContextInfo& rci;
      bool value;
      ~TRestore() { rci.ProxyRender = value; }
    } restore{rci, oldProxyRender};
    if (proxyOptions_ & ProxyOptionBit(pooTransformation)) {
      TGLTransformation& transformation = *rci.Transformation;
      TMatrix4f m;
      MultiplyMatrix4f(masterObject_->GetMatrix(), transformation.GetModelMatrix(), m);
      transformation.SetModelMatrix(m);
    }
    masterObject_->DoRender(rci, renderSelf, masterObject_->Count() > 0);
  }
  if (renderChildren && Count() > 0) RenderChildren(0, Count() - 1, rci);
  if (masterEffects) masterObject_->Effects()->RenderPostEffects(rci);
  ClearStructureChanged();
}

}  // namespace gl3d
