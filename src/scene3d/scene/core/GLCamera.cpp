// The camera: lens settings, the projection of each camera style, the view looking along the
// camera or at its target, and the orbit about the target.
#include <algorithm>
#include <cmath>

#include "common/Exception.h"
#include "scene3d/gl/GLTransformation.h"
#include "scene3d/scene/core/GLBaseSceneObject.h"

namespace gl3d {

namespace {

// The library's global epsilon, used by the infinite projection.
constexpr double kEpsilon = 0.0001;

// m · (the current projection), as the current projection.
void MultiplyProjection(TGLTransformation& transformation, const TMatrix4f& m) {
  TMatrix4f product;
  MultiplyMatrix4f(m, transformation.GetProjectionMatrix(), product);
  transformation.SetProjectionMatrix(product);
}

TMatrix4f InfinitePerspectiveMatrix(double left, double right, double bottom, double top, double znear) {
  TMatrix4f m = IdentityMatrix4f;
  m[0][0] = static_cast<float>(2 * znear / (right - left));
  m[1][1] = static_cast<float>(2 * znear / (top - bottom));
  m[2][0] = static_cast<float>((right + left) / (right - left));
  m[2][1] = static_cast<float>((top + bottom) / (top - bottom));
  m[2][2] = static_cast<float>(kEpsilon - 1);
  m[2][3] = -1;
  m[3][2] = static_cast<float>((kEpsilon - 2) * znear);
  m[3][3] = 0;
  return m;
}

}  // namespace

TGLCamera::TGLCamera(TComponent* owner) : TGLBaseSceneObject(owner) {
  Direction()->Initialize({0, 0, -1, 0});
}

TGLCamera::~TGLCamera() { SetTargetObject(nullptr); }

void TGLCamera::SetFocalLength(float value) {
  if (value <= 0) value = 1;
  if (value == focalLength_) return;
  focalLength_ = value;
  fovY_ = -1;
  if (!IsLoading()) TransformationChanged();
}

void TGLCamera::SetDepthOfView(float value) {
  if (value == depthOfView_) return;
  depthOfView_ = value;
  fovY_ = -1;
  if (!IsLoading()) TransformationChanged();
}

void TGLCamera::SetNearPlaneBias(float value) {
  if (value <= 0) value = 1;
  if (value == nearPlaneBias_) return;
  nearPlaneBias_ = value;
  fovY_ = -1;
  NotifyChange(this);
}

void TGLCamera::SetCameraStyle(TGLCameraStyle value) {
  if (value == cameraStyle_) return;
  cameraStyle_ = value;
  fovY_ = -1;
  NotifyChange(this);
}

void TGLCamera::SetKeepFOVMode(TGLCameraKeepFOVMode value) {
  if (value == keepFOVMode_) return;
  keepFOVMode_ = value;
  fovY_ = -1;
  if (cameraStyle_ == csPerspectiveKeepFOV) NotifyChange(this);
}

void TGLCamera::SetSceneScale(float value) {
  if (value == 0) value = 1;
  if (value == sceneScale_) return;
  sceneScale_ = value;
  fovY_ = -1;
  NotifyChange(this);
}

void TGLCamera::SetTargetObject(TGLBaseSceneObject* value) {
  if (value == targetObject_) return;
  if (targetObject_) targetObject_->RemoveFreeNotification(this);
  targetObject_ = value;
  if (targetObject_) targetObject_->FreeNotification(this);
  if (!IsLoading()) TransformationChanged();
}

void TGLCamera::HandleNotification(TComponent* component, TOperation operation) {
  if (operation == opRemove && component && component == targetObject_) SetTargetObject(nullptr);
  TGLBaseSceneObject::Notification(component, operation);
}

float TGLCamera::GetFieldOfView(float viewportDimension) const {
  if (focalLength_ == 0) return 0;
  return static_cast<float>(RadToDegExtended(2 * ArcTan2Extended(viewportDimension * 0.5L, focalLength_)));
}

void TGLCamera::SetFieldOfView(float fieldOfView, float viewportDimension) {
  SetFocalLength(
      static_cast<float>(viewportDimension / (2 * TanExtended(DegToRadExtended(fieldOfView / 2.0L)))));
}

void TGLCamera::MoveAroundTarget(float pitchDelta, float turnDelta) {
  if (targetObject_) MoveObjectAround(targetObject_, pitchDelta, turnDelta);
}

void TGLCamera::Apply() {
  if (OnApplyView) {
    OnApplyView(this);
    return;
  }
  const TVector4f eye = AbsolutePosition();
  TVector4f centre, up;
  if (targetObject_) {
    centre = targetObject_->AbsolutePosition();
    VectorSubtract4f(centre, eye, lastDirection_);
    NormalizeVector4f(lastDirection_);
    up = Up()->AsVector();
  } else {
    const TMatrix4f& m = Parent() ? Parent()->GetAbsoluteMatrix() : IdentityMatrix4f;
    VectorTransform4f(Direction()->AsVector(), m, lastDirection_);
    VectorTransform4f(Up()->AsVector(), m, up);
    VectorAdd4f(eye, lastDirection_, centre);
  }
  TGLTransformation& transformation = SafeCurrentGLContext()->PipelineTransformation();
  TMatrix4f view;
  MultiplyMatrix4f(CreateLookAtMatrix(eye, centre, up), transformation.GetViewMatrix(), view);
  transformation.SetViewMatrix(view);
  ClearStructureChanged();
}

void TGLCamera::ApplyPerspective(const TRectangle& viewport, int width, int height, int dpi) {
  if (width < 1 || height < 1) return;
  TGLTransformation& transformation = SafeCurrentGLContext()->PipelineTransformation();
  const double w = width, h = height;
  if (cameraStyle_ == csOrtho2D) {
    MultiplyProjection(transformation,
                       CreateOrthoMatrix(0, static_cast<float>(w), 0, static_cast<float>(h), -1, 1));
    nearPlane_ = -1;
    viewPortRadius_ = static_cast<float>(std::sqrt(w * w + h * h) / 2);
    return;
  }
  if (cameraStyle_ == csCustom) {
    viewPortRadius_ = static_cast<float>(std::sqrt(w * w + h * h) / 2);
    if (OnCustomPerspective) OnCustomPerspective(viewport, width, height, dpi, viewPortRadius_);
    return;
  }
  const double maxDim = std::max(w, h);
  double sx, sy;
  if (cameraStyle_ == csOrthogonal) {
    sx = 100.0 * nearPlaneBias_ / (w * focalLength_ * sceneScale_);
    sy = 100.0 * nearPlaneBias_ / (h * focalLength_ * sceneScale_);
  } else {
    sx = nearPlaneBias_ / (w * sceneScale_);
    sy = nearPlaneBias_ / (h * sceneScale_);
  }
  const double right = w * ((2.0 * viewport.Width + 2.0 * viewport.Left - w) * sx) / (2 * maxDim);
  const double left = -w * ((w - 2.0 * viewport.Left) * sx) / (2 * maxDim);
  const double top = h * ((2.0 * viewport.Height + 2.0 * viewport.Top - h) * sy) / (2 * maxDim);
  const double bottom = -h * ((h - 2.0 * viewport.Top) * sy) / (2 * maxDim);
  nearPlane_ = static_cast<float>(focalLength_ * 2.0 * dpi / (25.4 * maxDim) * nearPlaneBias_);
  const double znear = nearPlane_;
  const double zfar = znear + depthOfView_;
  const auto f = [](double v) { return static_cast<float>(v); };

  TMatrix4f projection{};
  switch (cameraStyle_) {
    case csPerspective:
      projection = CreateFrustumMatrix(f(left), f(right), f(bottom), f(top), f(znear), f(zfar));
      break;
    case csOrthogonal:
      projection = CreateOrthoMatrix(f(left), f(right), f(bottom), f(top), f(znear), f(zfar));
      break;
    case csInfinitePerspective:
      projection = InfinitePerspectiveMatrix(left, right, bottom, top, znear);
      break;
    case csPerspectiveKeepFOV: {
      if (fovY_ < 0) {
        fovY_ = 2 * std::atan2(top - bottom, 2 * znear);
        fovX_ = 2 * std::atan2(right - left, 2 * znear);
      }
      double x = 0, y = 0;
      switch (keepFOVMode_) {
        case ckmHorizontalFOV:
          x = std::tan(fovX_ / 2) * znear;
          y = x * h / w;
          break;
        case ckmVerticalFOV:
          y = std::tan(fovY_ / 2) * znear;
          x = y * w / h;
          break;
        default:
          ZASSERT(false, "Unknown keep camera angle mode");
      }
      projection = CreateFrustumMatrix(f(-x), f(x), f(-y), f(y), f(znear), f(zfar));
      break;
    }
    default:
      ZASSERT(false, "Assertion failure (scene core)");
  }
  MultiplyProjection(transformation, projection);
  viewPortRadius_ = static_cast<float>(std::sqrt(right * right + top * top) / znear);
}

void TGLCamera::Assign(const TPersistent* source) {
  if (!source) return;
  TGLBaseSceneObject::Assign(source);
  auto* camera = const_cast<TGLCamera*>(dynamic_cast<const TGLCamera*>(source));
  if (!camera) return;
  SetDepthOfView(camera->depthOfView_);
  SetFocalLength(camera->focalLength_);
  SetCameraStyle(camera->cameraStyle_);
  SetSceneScale(camera->sceneScale_);
  SetNearPlaneBias(camera->nearPlaneBias_);
  SetScene(camera->Scene());
  SetKeepFOVMode(camera->keepFOVMode_);
  if (Parent()) {
    SetTargetObject(camera->targetObject_);
    return;
  }
  const TVector4f from = camera->AbsolutePosition();
  Position()->SetPoint(from.X, from.Y, from.Z);
  if (camera->targetObject_) {
    TVector4f d;
    VectorSubtract4f(camera->targetObject_->AbsolutePosition(), AbsolutePosition(), d);
    NormalizeVector4f(d);
    Direction()->SetVector(d.X, d.Y, d.Z);
  }
}

void TGLCamera::DoRender(TRenderContextInfo& rci, bool, bool renderChildren) {
  if (renderChildren && GetCount() > 0) RenderChildren(0, GetCount() - 1, rci);
}

}  // namespace gl3d
