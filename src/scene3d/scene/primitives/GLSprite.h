#pragma once
// The sprite: a textured rectangle that always faces the viewer, drawn directly every frame and
// never culled, optionally turned about the viewing direction, mirrored, or made translucent.
#include "scene3d/scene/material/GLCustomSceneObject.h"

namespace gl3d {

class TGLSprite : public TGL3DSceneObject {
 public:
  // Direct drawing, no visibility culling.
  explicit TGLSprite(TComponent* owner);
  const char* ClassName() const override { return "TGLSprite"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGLSprite>; }

  float Width() const { return width_; }
  void SetWidth(float value);
  float Height() const { return height_; }
  void SetHeight(float value);
  // Degrees about the viewing direction.
  float Rotation() const { return rotation_; }
  void SetRotation(float value);
  float AlphaChannel() const { return alphaChannel_; }
  // Clamped to [0, 1]; a value that is not >= 0 (NaN included) becomes 0.
  void SetAlphaChannel(float value);
  bool MirrorU() const { return mirrorU_; }
  // The mirror writes notify on every write.
  void SetMirrorU(bool value);
  bool MirrorV() const { return mirrorV_; }
  void SetMirrorV(bool value);

  // From a sprite: Width, Height, Rotation and AlphaChannel (not the mirror flags), then the
  // inherited assignment.
  void Assign(const TPersistent* source) override;
  // (|Width| / 2, |Height| / 2, |Width| / 2).
  TVector4f AxisAlignedDimensionsUnscaled() override;
  // One quad spanned by the viewer's right and up axes, read from the model-view matrix.
  void BuildList(TRenderContextInfo& rci) override;

 private:
  float width_ = 1;
  float height_ = 1;
  float rotation_ = 0;
  float alphaChannel_ = 1;
  bool mirrorU_ = false;
  bool mirrorV_ = false;
};

}  // namespace gl3d
