#include "scene3d/gl/GLTransformation.h"

#include <GL/gl.h>

#include "scene3d/gl/GLContext.h"
#include "scene3d/gl/GLLog.h"

namespace gl3d {
namespace {
constexpr uint32_t kModelViewStale = 1u << 0;
constexpr uint32_t kModelDerivedStale = 1u << 1 | 1u << 2 | 1u << 3;
constexpr uint32_t kViewProjectionStale = 1u << 4;
constexpr uint32_t kFrustumStale = 1u << 5;
constexpr uint32_t kAllStale = 0x3F;
}  // namespace

TGLTransformation::TGLTransformation() : stack_(1) { ResetToIdentity(); }

void TGLTransformation::ResetToIdentity() {
  TTransformationRec& r = TopRec();
  r.FModelMatrix = IdentityMatrix4f;
  r.FViewMatrix = IdentityMatrix4f;
  r.FProjectionMatrix = IdentityMatrix4f;
  r.FStates = kAllStale;
  if (LoadMatricesEnabled) {
    LoadModelViewMatrix();
    LoadProjectionMatrix();
  }
}

void TGLTransformation::Push(const TTransformationRec* record) {
  if (position_ > kStackWarningDepth)
    gllog::Warning(gllog::Format("Transformation stack overflow, more then %d values", kStackWarningDepth));
  const int previous = position_;
  ++position_;
  if (stack_.size() <= static_cast<size_t>(position_)) stack_.resize(static_cast<size_t>(position_) + 1);
  if (record) {
    TopRec() = *record;
    if (LoadMatricesEnabled) {
      LoadModelViewMatrix();
      LoadProjectionMatrix();
    }
    DoOnPush();
  } else {
    TopRec() = stack_[static_cast<size_t>(previous)];
  }
}

void TGLTransformation::Pop() {
  if (position_ == 0) {
    gllog::Error("Transformation stack underflow");
    return;
  }
  --position_;
  if (LoadMatricesEnabled) {
    LoadModelViewMatrix();
    LoadProjectionMatrix();
  }
}

void TGLTransformation::SetModelMatrix(const TMatrix4f& m) {
  TTransformationRec& r = TopRec();
  r.FModelMatrix = m;
  r.FStates |= kModelViewStale | kModelDerivedStale;
  if (LoadMatricesEnabled) CurrentGLEntryPoints().LoadMatrixf(&GetModelViewMatrix()[0].X);
}

void TGLTransformation::SetViewMatrix(const TMatrix4f& m) {
  TTransformationRec& r = TopRec();
  r.FViewMatrix = m;
  r.FStates |= kModelViewStale | (1u << 1) | kViewProjectionStale | kFrustumStale;
  if (LoadMatricesEnabled) CurrentGLEntryPoints().LoadMatrixf(&GetModelViewMatrix()[0].X);
}

void TGLTransformation::SetProjectionMatrix(const TMatrix4f& m) {
  TTransformationRec& r = TopRec();
  r.FProjectionMatrix = m;
  r.FStates |= kViewProjectionStale | kFrustumStale;
  if (LoadMatricesEnabled) LoadProjectionMatrix();
}

const TMatrix4f& TGLTransformation::GetModelViewMatrix() {
  TTransformationRec& r = TopRec();
  if (r.FStates & kModelViewStale) {
    MultiplyMatrix4f(r.FModelMatrix, r.FViewMatrix, r.FModelViewMatrix);
    r.FStates &= ~kModelViewStale;
  }
  return r.FModelViewMatrix;
}

const TMatrix4f& TGLTransformation::GetViewProjectionMatrix() {
  TTransformationRec& r = TopRec();
  if (r.FStates & kViewProjectionStale) {
    MultiplyMatrix4f(r.FViewMatrix, r.FProjectionMatrix, r.FViewProjectionMatrix);
    r.FStates &= ~kViewProjectionStale;
  }
  return r.FViewProjectionMatrix;
}

const TFrustum& TGLTransformation::GetFrustum() {
  TTransformationRec& r = TopRec();
  if (r.FStates & kFrustumStale) {
    ExtractFrustumPlanes(GetViewProjectionMatrix(), r.FFrustum);
    r.FStates &= ~kFrustumStale;
  }
  return r.FFrustum;
}

void TGLTransformation::LoadModelViewMatrix() {
  CurrentGLEntryPoints().LoadMatrixf(&GetModelViewMatrix()[0].X);
}

void TGLTransformation::LoadProjectionMatrix() {
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  gl.MatrixMode(GL_PROJECTION);
  gl.LoadMatrixf(&TopRec().FProjectionMatrix[0].X);
  gl.MatrixMode(GL_MODELVIEW);
}

void TGLTransformation::DoOnPush() {
  if (OnPush) OnPush();
}

}  // namespace gl3d
