#pragma once
// The three small property objects of a material (GLMaterial.h): the colours of one side of a
// face (front and back), the depth-buffer settings, and the alpha-test and blend settings of the
// custom blending mode. Each reports every change to its owner material and sends its values
// through the state cache when the material is applied, so unchanged state costs no GL call.
#include <cstdint>
#include <memory>

#include "scene3d/base/BaseClasses.h"
#include "scene3d/base/GLColor.h"
#include "scene3d/gl/GLStateCache.h"
#include "scene3d/scene/core/GLRenderContextInfo.h"

namespace gl3d {

// The material family's property writers: a value that differs is stored, then the object tells
// of its change.
template <class T>
void ChangeAndNotify(TGLUpdateAbleObject& object, T& field, T value) {
  if (field == value) return;
  field = value;
  object.NotifyChange(&object);
}

// The specular exponent of a face, 0 to 128.
using TShininess = uint8_t;
inline constexpr TShininess MaxShininess = 128;

class TGLFaceProperties : public TGLUpdateAbleObject {
 public:
  // Ambient (0.2, 0.2, 0.2, 1), diffuse (0.8, 0.8, 0.8, 1), specular and emission (0, 0, 0, 1),
  // shininess 0. The colours are owned by this object, so their changes reach the material
  // through it.
  explicit TGLFaceProperties(TPersistent* owner);
  ~TGLFaceProperties() override;
  const char* ClassName() const override { return "TGLFaceProperties"; }

  TGLColor* Ambient() const { return ambient_.get(); }
  TGLColor* Diffuse() const { return diffuse_.get(); }
  TGLColor* Specular() const { return specular_.get(); }
  TGLColor* Emission() const { return emission_.get(); }
  // Each copies the colour's four components, then notifies (also when nothing changed).
  void SetAmbient(const TGLColor* value) { SetColor(*ambient_, value); }
  void SetDiffuse(const TGLColor* value) { SetColor(*diffuse_, value); }
  void SetSpecular(const TGLColor* value) { SetColor(*specular_, value); }
  void SetEmission(const TGLColor* value) { SetColor(*emission_, value); }
  TShininess Shininess() const { return shininess_; }
  // Values above 128 store 128.
  void SetShininess(TShininess value);
  // Sets the value without telling anyone (archives fill it this way).
  void SetShininessNoNotify(TShininess value) { shininess_ = value < MaxShininess ? value : MaxShininess; }

  // From face properties: the four colours and the shininess, then one notification. Any other
  // source, nil included, is ignored.
  void Assign(const TPersistent* source) override;
  // The colours of the side (cmFront or cmBack) through the state cache.
  void Apply(TRenderContextInfo& rci, TCullFaceMode face);
  // Lighting off: the diffuse colour becomes the current colour (glColor4fv).
  void ApplyNoLighting();

 private:
  void SetColor(TGLColor& own, const TGLColor* value);
  std::unique_ptr<TGLColor> ambient_;
  std::unique_ptr<TGLColor> diffuse_;
  std::unique_ptr<TGLColor> specular_;
  std::unique_ptr<TGLColor> emission_;
  TShininess shininess_ = 0;
};

class TGLDepthProperties : public TGLUpdateAbleObject {
 public:
  // Depth test and writes on, range 0 to 1, cfLEqual, no depth clamp.
  explicit TGLDepthProperties(TPersistent* owner) : TGLUpdateAbleObject(owner) {}
  const char* ClassName() const override { return "TGLDepthProperties"; }

  bool DepthTest() const { return depthTest_; }
  void SetDepthTest(bool value);
  bool DepthWrite() const { return depthWrite_; }
  void SetDepthWrite(bool value);
  float ZNear() const { return zNear_; }
  float ZFar() const { return zFar_; }
  // Both clamp to [0, 1] and notify only when the clamped value differs.
  void SetZNear(float value);
  void SetZFar(float value);
  TComparisonFunction DepthCompareFunction() const { return compareFunction_; }
  void SetDepthCompareFunction(TComparisonFunction value);
  bool DepthClamp() const { return depthClamp_; }
  void SetDepthClamp(bool value);
  // What a description stores beyond the defaults.
  bool StoreZNear() const { return zNear_ != 0.0f; }
  bool StoreZFar() const { return zFar_ != 1.0f; }

  // From depth properties: everything but DepthClamp, then one notification. Any other source is
  // ignored.
  void Assign(const TPersistent* source) override;
  // The depth test only while the pass has it on too; then writes, function, range and, where
  // the context has GL_ARB_depth_clamp, the clamp.
  void Apply(TRenderContextInfo& rci);

 private:
  bool depthTest_ = true;
  bool depthWrite_ = true;
  float zNear_ = 0.0f;
  float zFar_ = 1.0f;
  TComparisonFunction compareFunction_ = cfLEqual;
  bool depthClamp_ = false;
};

class TGLBlendingParameters : public TGLUpdateAbleObject {
 public:
  // No alpha test (cfGreater, 0 when on), blending with source alpha / one minus source alpha
  // for colour and alpha alike.
  explicit TGLBlendingParameters(TPersistent* owner) : TGLUpdateAbleObject(owner) {}
  const char* ClassName() const override { return "TGLBlendingParameters"; }

  bool UseAlphaFunc() const { return useAlphaFunc_; }
  void SetUseAlphaFunc(bool value);
  bool UseBlendFunc() const { return useBlendFunc_; }
  void SetUseBlendFunc(bool value);
  bool SeparateBlendFunc() const { return separateBlendFunc_; }
  // Switching it off gives the alpha factors the colour factors again.
  void SetSeparateBlendFunc(bool value);
  TComparisonFunction AlphaFunctType() const { return alphaFunctType_; }
  void SetAlphaFunctType(TComparisonFunction value);
  float AlphaFuncRef() const { return alphaFuncRef_; }
  void SetAlphaFuncRef(float value);
  bool StoreAlphaFuncRef() const { return alphaFuncRef_ > 0.001f || alphaFuncRef_ < -0.001f; }
  TBlendFunction BlendFuncSFactor() const { return blendFuncSFactor_; }
  TBlendFunction BlendFuncDFactor() const { return blendFuncDFactor_; }
  // While the factors are not separate, the matching alpha factor follows.
  void SetBlendFuncSFactor(TBlendFunction value);
  void SetBlendFuncDFactor(TBlendFunction value);
  TBlendFunction AlphaBlendFuncSFactor() const { return alphaBlendFuncSFactor_; }
  TBlendFunction AlphaBlendFuncDFactor() const { return alphaBlendFuncDFactor_; }
  // Ignored unless the factors are separate.
  void SetAlphaBlendFuncSFactor(TBlendFunction value);
  void SetAlphaBlendFuncDFactor(TBlendFunction value);

  // From blending parameters: the nine settings, then one notification. Anything else:
  // EConvertError.
  void Assign(const TPersistent* source) override;
  // Alpha test and blending through the state cache.
  void Apply(TRenderContextInfo& rci);

 private:
  bool useAlphaFunc_ = false;
  bool useBlendFunc_ = true;
  bool separateBlendFunc_ = false;
  TComparisonFunction alphaFunctType_ = cfGreater;
  float alphaFuncRef_ = 0.0f;
  TBlendFunction blendFuncSFactor_ = bfSrcAlpha;
  TBlendFunction blendFuncDFactor_ = bfOneMinusSrcAlpha;
  TBlendFunction alphaBlendFuncSFactor_ = bfSrcAlpha;
  TBlendFunction alphaBlendFuncDFactor_ = bfOneMinusSrcAlpha;
};

}  // namespace gl3d
