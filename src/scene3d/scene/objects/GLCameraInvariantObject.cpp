#include "scene3d/scene/objects/GLCameraInvariantObject.h"

#include "common/Exception.h"
#include "scene3d/gl/GLStateCache.h"
#include "scene3d/gl/GLTransformation.h"
#include "scene3d/scene/texture/GLMultitextureCoordinator.h"

namespace gl3d {

// ---- TGLCameraInvariantObject ----

void TGLCameraInvariantObject::SetCamInvarianceMode(TGLCameraInvarianceMode value) {
  if (value == camInvarianceMode_) return;
  camInvarianceMode_ = value;
  NotifyChange(this);
}

void TGLCameraInvariantObject::Assign(const TPersistent* source) {
  if (const auto* other = dynamic_cast<const TGLCameraInvariantObject*>(source))
    camInvarianceMode_ = other->camInvarianceMode_;
  TGLImmaterialSceneObject::Assign(source);
}

void TGLCameraInvariantObject::DoRender(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) {
  if (camInvarianceMode_ == cimNone) {
    TGLImmaterialSceneObject::DoRender(rci, renderSelf, renderChildren);
    return;
  }
  TGLTransformation& transformation = *rci.Transformation;
  transformation.Push();
  struct TPop {
    TGLTransformation& t;
    ~TPop() { t.Pop(); }
  } pop{transformation};
  switch (camInvarianceMode_) {
    case cimPosition: {
      TMatrix4f view;
      MultiplyMatrix4f(CreateTranslationMatrix4f(rci.CameraPosition), transformation.GetViewMatrix(), view);
      transformation.SetViewMatrix(view);
      break;
    }
    case cimOrientation:
      transformation.SetViewMatrix(CreateScaleMatrix3f({1, -1, -1}));
      break;
    default:
      ZASSERT(false, "Assertion failed");
  }
  transformation.SetModelMatrix(GetMatrix());
  if (renderSelf) {
    if (HasStyle(sfDirectDraw) || rci.Amalgamating)
      BuildList(rci);
    else
      rci.StateCache->CallList(GetHandle(rci));
  }
  if (renderChildren) RenderChildren(0, Count() - 1, rci);
}

// ---- TGLDirectOpenGL ----

TGLDirectOpenGL::TGLDirectOpenGL(TComponent* owner) : TGLImmaterialSceneObject(owner) {
  SetObjectStyle(ObjectStyle() | ObjectStyleBit(sfDirectDraw));
}

void TGLDirectOpenGL::SetUseBuildList(bool value) {
  if (value == useBuildList_) return;
  useBuildList_ = value;
  if (value)
    SetObjectStyle(ObjectStyle() & ~ObjectStyleBit(sfDirectDraw));
  else
    SetObjectStyle(ObjectStyle() | ObjectStyleBit(sfDirectDraw));
}

void TGLDirectOpenGL::SetBlend(bool value) {
  if (value == blend_) return;
  blend_ = value;
  StructureChanged();
}

void TGLDirectOpenGL::Assign(const TPersistent* source) {
  if (const auto* other = dynamic_cast<const TGLDirectOpenGL*>(source)) {
    SetUseBuildList(other->useBuildList_);
    OnRender = other->OnRender;
    blend_ = other->blend_;
  }
  TGLImmaterialSceneObject::Assign(source);
}

void TGLDirectOpenGL::BuildList(TRenderContextInfo& rci) {
  if (!OnRender) return;
  CurrentMultitextureCoordinator()->SetMainMapping();
  OnRender(this, rci);
}

// ---- TGLRenderPoint ----

TGLRenderPoint::TGLRenderPoint(TComponent* owner) : TGLImmaterialSceneObject(owner) {
  SetObjectStyle(ObjectStyle() | ObjectStyleBit(sfDirectDraw));
}

TGLRenderPoint::~TGLRenderPoint() { Clear(); }

void TGLRenderPoint::RegisterCallback(const TDirectRenderEvent& renderEvent, const TNotifyEvent& freeEvent) {
  renderCallbacks_.push_back(renderEvent);
  freeCallbacks_.push_back(freeEvent);
}

void TGLRenderPoint::Clear() {
  while (!renderCallbacks_.empty()) {
    const size_t last = renderCallbacks_.size() - 1;
    if (freeCallbacks_[last]) freeCallbacks_[last](this);
    renderCallbacks_.pop_back();
    freeCallbacks_.pop_back();
  }
}

void TGLRenderPoint::BuildList(TRenderContextInfo& rci) {
  for (size_t i = 0; i < renderCallbacks_.size(); ++i)
    if (renderCallbacks_[i]) renderCallbacks_[i](this, rci);
}

}  // namespace gl3d
