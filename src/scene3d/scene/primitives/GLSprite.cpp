#include "scene3d/scene/primitives/GLSprite.h"

#include <GL/gl.h>

#include <cmath>

#include "scene3d/gl/GLTransformation.h"
#include "scene3d/scene/texture/GLMultitextureCoordinator.h"

namespace gl3d {

TGLSprite::TGLSprite(TComponent* owner) : TGL3DSceneObject(owner) {
  SetObjectStyle(ObjectStyle() | ObjectStyleBit(sfDirectDraw) | ObjectStyleBit(sfNoVisibilityCulling));
}

void TGLSprite::SetWidth(float value) {
  if (width_ == value) return;
  width_ = value;
  NotifyChange(this);
}

void TGLSprite::SetHeight(float value) {
  if (height_ == value) return;
  height_ = value;
  NotifyChange(this);
}

void TGLSprite::SetRotation(float value) {
  if (rotation_ == value) return;
  rotation_ = value;
  NotifyChange(this);
}

void TGLSprite::SetAlphaChannel(float value) {
  if (alphaChannel_ == value) return;
  if (!(value >= 0))
    value = 0;
  else if (value > 1)
    value = 1;
  alphaChannel_ = value;
  NotifyChange(this);
}

void TGLSprite::SetMirrorU(bool value) {
  mirrorU_ = value;
  NotifyChange(this);
}

void TGLSprite::SetMirrorV(bool value) {
  mirrorV_ = value;
  NotifyChange(this);
}

void TGLSprite::Assign(const TPersistent* source) {
  if (auto* src = dynamic_cast<const TGLSprite*>(source)) {
    width_ = src->width_;
    height_ = src->height_;
    rotation_ = src->rotation_;
    alphaChannel_ = src->alphaChannel_;
  }
  TGL3DSceneObject::Assign(source);
}

TVector4f TGLSprite::AxisAlignedDimensionsUnscaled() {
  return {std::fabs(width_) * 0.5f, std::fabs(height_) * 0.5f, std::fabs(width_) * 0.5f, 0};
}

void TGLSprite::BuildList(TRenderContextInfo& rci) {
  if (alphaChannel_ != 1) rci.StateCache->SetGLMaterialAlphaChannel(GL_FRONT, alphaChannel_);
  // The columns of the model-view matrix are the viewer's axes in object coordinates.
  const TMatrix4f& m = rci.Transformation->GetModelViewMatrix();
  TVector3f vx{m[0].X, m[1].X, m[2].X}, vy{m[0].Y, m[1].Y, m[2].Y};
  NormalizeVector3f(vx);
  ScaleVector3f(vx, width_ * 0.5f);
  NormalizeVector3f(vy);
  ScaleVector3f(vy, height_ * 0.5f);
  const float uA = mirrorU_ ? 0.0f : 1.0f, uB = 1 - uA;
  const float tA = mirrorV_ ? 0.0f : 1.0f, tB = 1 - tA;

  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  TGLMultitextureCoordinator& xgl = *CurrentMultitextureCoordinator();
  if (rotation_ != 0) {
    gl.PushMatrix();
    gl.Rotatef(rotation_, m[0].Z, m[1].Z, m[2].Z);
  }
  gl.Begin(GL_QUADS);
  xgl.TexCoord2f(uA, tA);
  gl.Vertex3f(vx.X + vy.X, vx.Y + vy.Y, vx.Z + vy.Z);
  xgl.TexCoord2f(uB, tA);
  gl.Vertex3f(-vx.X + vy.X, -vx.Y + vy.Y, -vx.Z + vy.Z);
  xgl.TexCoord2f(uB, tB);
  gl.Vertex3f(-vx.X - vy.X, -vx.Y - vy.Y, -vx.Z - vy.Z);
  xgl.TexCoord2f(uA, tB);
  gl.Vertex3f(vx.X - vy.X, vx.Y - vy.Y, vx.Z - vy.Z);
  gl.End();
  if (rotation_ != 0) gl.PopMatrix();
}

}  // namespace gl3d
