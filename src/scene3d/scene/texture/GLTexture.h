#pragma once
// The texture of a material. TGLTexture owns the texture image that provides its pixels
// (GLTextureImage.h) and the settings that say how the pixels are uploaded (internal format,
// compression, alpha rule, brightness, gamma), sampled (filters, wraps, anisotropy, depth
// comparison), combined with the fragment colour (texture mode, environment colour) and how
// texture coordinates are made (mapping mode and planes).
//
// OpenGL sees it through two per-context handles: the texture object, whose data-changed mark
// means "upload the image again", and a virtual sampler handle, whose mark means "send the
// sampler parameters again". A change of the image or of an upload setting marks the first, a
// change of a sampling setting the second; GetHandle does what the marks ask for in the current
// context, and Apply binds and configures the texture on a texture unit before geometry is drawn
// (GLTextureApply.cpp). After a successful upload the image's CPU pixels are released unless
// KeepImageAfterTransfer.
#include <GL/gl.h>

#include <cstdint>
#include <memory>
#include <string>

#include "scene3d/base/BaseClasses.h"
#include "scene3d/base/GLColor.h"
#include "scene3d/gl/GLContext.h"
#include "scene3d/gl/GLStateCache.h"
#include "scene3d/gl/GLTextureFormat.h"
#include "scene3d/scene/core/GLCoordinates.h"
#include "scene3d/scene/core/GLRenderContextInfo.h"
#include "scene3d/scene/texture/GLTextureImage.h"

namespace gl3d {

enum TGLTextureMode : uint8_t { tmDecal, tmModulate, tmBlend, tmReplace, tmAdd };
enum TGLTextureWrap : uint8_t { twBoth, twNone, twVertical, twHorizontal, twSeparate };
enum TGLMinFilter : uint8_t {
  miNearest,
  miLinear,
  miNearestMipmapNearest,
  miLinearMipmapNearest,
  miNearestMipmapLinear,
  miLinearMipmapLinear
};
enum TGLMagFilter : uint8_t { maNearest, maLinear };
enum TGLTextureImageAlpha : uint8_t {
  tiaDefault,
  tiaAlphaFromIntensity,
  tiaSuperBlackTransparent,
  tiaLuminance,
  tiaLuminanceSqrt,
  tiaOpaque,
  tiaTopLeftPointColorTransparent,
  tiaInverseLuminance,
  tiaInverseLuminanceSqrt,
  tiaBottomRightPointColorTransparent
};
enum TGLTextureFormat : uint8_t {
  tfDefault,
  tfRGB,
  tfRGBA,
  tfRGB16,
  tfRGBA16,
  tfAlpha,
  tfLuminance,
  tfLuminanceAlpha,
  tfIntensity,
  tfNormalMap,
  tfRGBAFloat16,
  tfRGBAFloat32,
  tfExtended
};
enum TGLTextureMappingMode : uint8_t {
  tmmUser,
  tmmObjectLinear,
  tmmEyeLinear,
  tmmSphere,
  tmmCubeMapReflection,
  tmmCubeMapNormal,
  tmmCubeMapLight0,
  tmmCubeMapCamera
};
enum TGLDepthTextureMode : uint8_t { dtmLuminance, dtmIntensity, dtmAlpha };

// What tfDefault and tcDefault stand for.
inline constexpr TGLInternalFormat DefaultTextureFormat = tfRGBA8;
inline constexpr TGLInternalCompression DefaultTextureCompression = tcNone;

// Implemented by owners of textures (materials, texture-ex items) that want to hear when a
// texture's coordinates change their nature (enabled or disabled, generated or not): geometry
// then has to send other texture coordinates. (Plain changes arrive through IGLNotifyAble.)
class IGLTextureNotifyAble {
 public:
  virtual ~IGLTextureNotifyAble() = default;
  virtual void NotifyTexMapChange(TObject* sender) = 0;
};

class TGLTextureExItem;

class TGLTexture : public TGLUpdateAbleObject {
 public:
  // The defaults: disabled, tmDecal, twBoth (each separate wrap twRepeat), maLinear and
  // miLinearMipmapLinear, internal format tfRGBA8, tcDefault, tfIsotropic, tmmUser, colours
  // (0, 0, 0, 0), brightness and gamma 1, normal-map scale 0.125, tcmNone, cfLEqual,
  // dtmLuminance, and an empty TGLPersistentImage.
  explicit TGLTexture(TPersistent* owner);
  ~TGLTexture() override;
  TGLTexture(const TGLTexture&) = delete;
  TGLTexture& operator=(const TGLTexture&) = delete;
  const char* ClassName() const override { return "TGLTexture"; }

  // From another texture: the image and the settings that shape it (alpha, mode, wrap, internal
  // format, compression, filters, mapping mode and planes, Disabled, brightness, gamma, filtering
  // quality, colours, normal-map scale; the separate wraps and the depth-comparison settings are
  // not copied), then both marks. From a graphic or a picture: the image takes it. From nil:
  // disabled with a new empty persistent image. Anything else: EConvertError.
  void Assign(const TPersistent* source) override;
  // A texture-ex owner hears of the change first; a change reported by the image marks the data.
  void NotifyChange(TObject* sender) override;

  // ---- The image ----
  TGLTextureImage* Image() const { return image_.get(); }
  // The image becomes one of the value's class (made anew unless it is one already) and copies
  // the value; nullptr gives a new empty persistent image.
  void SetImage(const TGLTextureImage* value);
  std::string ImageClassName() const { return image_->ClassName(); }
  // An unknown name fails the assertion "Make sure you include the unit for <name> in your uses
  // clause" and keeps the image. No notification.
  void SetImageClassName(const std::string& value);

  // ---- Upload settings (a change marks the data) ----
  TGLTextureImageAlpha ImageAlpha() const { return imageAlpha_; }
  void SetImageAlpha(TGLTextureImageAlpha value);
  float ImageBrightness() const { return imageBrightness_; }
  void SetImageBrightness(float value);
  float ImageGamma() const { return imageGamma_; }
  void SetImageGamma(float value);
  // Reads tfDefault for DefaultTextureFormat, else the first format whose internal format is the
  // one stored, else tfExtended. The write stores the format's internal format (tfExtended stores
  // nothing) without notification.
  TGLTextureFormat TextureFormat() const;
  void SetTextureFormat(TGLTextureFormat value);
  TGLInternalFormat TextureFormatEx() const { return textureFormat_; }
  void SetTextureFormatEx(TGLInternalFormat value);

  // ---- Sampling settings (a change marks the parameters) ----
  TGLMagFilter MagFilter() const { return magFilter_; }
  void SetMagFilter(TGLMagFilter value);
  TGLMinFilter MinFilter() const { return minFilter_; }
  void SetMinFilter(TGLMinFilter value);
  TGLTextureMode TextureMode() const { return textureMode_; }
  void SetTextureMode(TGLTextureMode value);
  TGLTextureWrap TextureWrap() const { return textureWrap_; }
  void SetTextureWrap(TGLTextureWrap value);
  TGLSeparateTextureWrap TextureWrapS() const { return wrapS_; }
  void SetTextureWrapS(TGLSeparateTextureWrap value);
  TGLSeparateTextureWrap TextureWrapT() const { return wrapT_; }
  void SetTextureWrapT(TGLSeparateTextureWrap value);
  TGLSeparateTextureWrap TextureWrapR() const { return wrapR_; }
  void SetTextureWrapR(TGLSeparateTextureWrap value);
  TGLInternalCompression Compression() const { return compression_; }
  void SetCompression(TGLInternalCompression value);
  TGLTextureFilteringQuality FilteringQuality() const { return filteringQuality_; }
  void SetFilteringQuality(TGLTextureFilteringQuality value);
  TGLColor& EnvColor() const { return *envColor_; }
  void SetEnvColor(const TGLColor* value);
  TGLColor& BorderColor() const { return *borderColor_; }
  void SetBorderColor(const TGLColor* value);
  TGLTextureCompareMode TextureCompareMode() const { return compareMode_; }
  void SetTextureCompareMode(TGLTextureCompareMode value);
  TComparisonFunction TextureCompareFunc() const { return compareFunc_; }
  void SetTextureCompareFunc(TComparisonFunction value);
  TGLDepthTextureMode DepthTextureMode() const { return depthTextureMode_; }
  void SetDepthTextureMode(TGLDepthTextureMode value);

  // ---- Texture coordinates ----
  TGLTextureMappingMode MappingMode() const { return mappingMode_; }
  // Between tmmUser and a generated mode: the owner's NotifyTexMapChange (when it has one);
  // between two generated modes: NotifyChange.
  void SetMappingMode(TGLTextureMappingMode value);
  // The planes of coordinate generation, created on first use: (1,0,0,0), (0,1,0,0), (0,0,1,0),
  // (0,0,0,1). Their changes notify the texture.
  TGLCoordinates4* MappingSCoordinates() { return MappingCoordinates(0); }
  TGLCoordinates4* MappingTCoordinates() { return MappingCoordinates(1); }
  TGLCoordinates4* MappingRCoordinates() { return MappingCoordinates(2); }
  TGLCoordinates4* MappingQCoordinates() { return MappingCoordinates(3); }
  void SetMappingSCoordinates(const TGLCoordinates4* value) { MappingCoordinates(0)->Assign(value); }
  void SetMappingTCoordinates(const TGLCoordinates4* value) { MappingCoordinates(1)->Assign(value); }
  void SetMappingRCoordinates(const TGLCoordinates4* value) { MappingCoordinates(2)->Assign(value); }
  void SetMappingQCoordinates(const TGLCoordinates4* value) { MappingCoordinates(3)->Assign(value); }

  // ---- Enabling and the rest ----
  bool Disabled() const { return disabled_; }
  // A change tells an owner that implements IGLTextureNotifyAble through NotifyTexMapChange, any
  // other owner through the texture's NotifyChange.
  void SetDisabled(bool value);
  bool Enabled() const { return !disabled_; }
  void SetEnabled(bool value) { SetDisabled(!value); }
  // Stored and copied only: nothing uploads it.
  float NormalMapScale() const { return normalMapScale_; }
  void SetNormalMapScale(float value);
  bool KeepImageAfterTransfer() const { return keepImageAfterTransfer_; }
  void SetKeepImageAfterTransfer(bool value) { keepImageAfterTransfer_ = value; }
  TTextureNeededEvent OnTextureNeeded;

  // What a description stores beyond the defaults: the image class when it is not the persistent
  // image; the internal format only when TextureFormat cannot name it.
  bool StoreImageClassName() const { return ImageClassName() != "TGLPersistentImage"; }
  bool StoreTextureFormatEx() const { return TextureFormat() == tfExtended; }

  // ---- Change marks ----
  // Marks the data (upload again), then NotifyChange(this).
  void MarkImageChanged();
  // Marks the parameters (send them again), then NotifyChange(this).
  void MarkParamsChanged();
  TGLTextureHandle& TextureHandle() { return *textureHandle_; }
  TGLVirtualHandle& SamplerHandle() { return *samplerHandle_; }

  // Bytes the texture takes in OpenGL: the image's width and height (compressed formats in whole
  // 4 x 4 blocks) times the element size of the internal format, times the depth when above 0,
  // plus the mipmap chain for mipmap filters, times 6 for a cube map. Cached until the next
  // upload or DestroyHandles; values beyond 32 bits give the largest 32-bit value.
  int32_t RequiredMemory();
  // The size the last upload sent for level 0.
  int32_t TexWidth() const { return texWidth_; }
  int32_t TexHeight() const { return texHeight_; }
  int32_t TexDepth() const { return texDepth_; }

  // ---- OpenGL (GLTextureApply.cpp); all need a current context ----
  // The name for the current context, uploading and sending parameters as the marks say.
  virtual GLuint GetHandle();
  // The name, made and given its parameters when needed, without an upload; 0 while the image's
  // target is none or not supported.
  GLuint PrepareHandle();
  bool HasHandle();
  // Deletes the objects in every context and forgets the memory estimate.
  void DestroyHandles();
  // The internal format an upload would ask for (setting the compression hint when it compresses).
  GLenum GLInternalFormat();
  bool HasFloatFormat() const { return IsFloatFormat(textureFormat_); }
  virtual void UploadImage(GLenum target);
  virtual void SendSamplerParameters(GLenum target);

  // The texture as the only one, on unit 0.
  void Apply(TRenderContextInfo& rci);
  void UnApply(TRenderContextInfo& rci);
  // The texture on unit n - 1 (n counts from 1), with the given texture matrix or none.
  void ApplyOnUnit(int n, TRenderContextInfo& rci, const TMatrix4f* textureMatrix);
  void UnApplyOnUnit(int n, TRenderContextInfo& rci, bool resetTextureMatrix);
  void ApplyOnSecondUnit(TRenderContextInfo& rci, const TMatrix4f* textureMatrix) {
    ApplyOnUnit(2, rci, textureMatrix);
  }
  void UnApplyOnSecondUnit(TRenderContextInfo& rci, bool resetTextureMatrix) {
    UnApplyOnUnit(2, rci, resetTextureMatrix);
  }
  // Texture-coordinate generation by MappingMode on the active unit, and its end.
  void ApplyCoordinateGeneration();
  void UnApplyCoordinateGeneration();
  // The texture becomes the 64 x 64 error picture in a blank image, sampled nearest and
  // repeated, with user coordinates and no compression; an internal format the context lacks
  // becomes DefaultTextureFormat.
  void UseErrorImage();

 private:
  TGLCoordinates4* MappingCoordinates(int index) const;
  void InstallImage(std::unique_ptr<TGLTextureImage> image);
  void ForwardTextureNeeded(TObject* sender, std::string& fileName);
  // Tells an owner that implements IGLTextureNotifyAble; false when the owner does not.
  bool NotifyOwnerTexMapChange();
  template <class T>
  void SetAndMark(T& field, T value, void (TGLTexture::*mark)());
  void SetCubeMapTextureMatrix(TRenderContextInfo& rci);
  void ApplyAlphaAndColour(TGLImage& image);

  std::unique_ptr<TGLTextureImage> image_;
  std::unique_ptr<TGLTextureHandle> textureHandle_;
  std::unique_ptr<TGLVirtualHandle> samplerHandle_;
  std::unique_ptr<TGLColor> envColor_;
  std::unique_ptr<TGLColor> borderColor_;
  mutable std::unique_ptr<TGLCoordinates4> mapping_[4];  // made on first use
  TGLTextureImageAlpha imageAlpha_ = tiaDefault;
  float imageBrightness_ = 1.0f;
  float imageGamma_ = 1.0f;
  TGLMagFilter magFilter_ = maLinear;
  TGLMinFilter minFilter_ = miLinearMipmapLinear;
  TGLTextureMode textureMode_ = tmDecal;
  TGLTextureWrap textureWrap_ = twBoth;
  TGLSeparateTextureWrap wrapS_ = twRepeat;
  TGLSeparateTextureWrap wrapT_ = twRepeat;
  TGLSeparateTextureWrap wrapR_ = twRepeat;
  TGLInternalFormat textureFormat_ = DefaultTextureFormat;
  TGLInternalCompression compression_ = tcDefault;
  TGLTextureFilteringQuality filteringQuality_ = tfIsotropic;
  TGLTextureMappingMode mappingMode_ = tmmUser;
  bool disabled_ = true;
  float normalMapScale_ = 0.125f;
  TGLTextureCompareMode compareMode_ = tcmNone;
  TComparisonFunction compareFunc_ = cfLEqual;
  TGLDepthTextureMode depthTextureMode_ = dtmLuminance;
  bool keepImageAfterTransfer_ = false;
  int32_t requiredMemory_ = -1;
  int32_t texWidth_ = 0;
  int32_t texHeight_ = 0;
  int32_t texDepth_ = 0;
};

}  // namespace gl3d
