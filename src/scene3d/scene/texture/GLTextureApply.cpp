// The texture in OpenGL: the per-context object and its two change marks, the upload with the
// alpha, brightness and gamma rules, the sampler parameters, binding and configuring on a texture
// unit (Apply, ApplyOnUnit) and undoing it, texture-coordinate generation and the error picture.
#include <GL/gl.h>
#include <GL/glext.h>

#include "scene3d/gl/GLTransformation.h"
#include "scene3d/scene/core/GLBaseSceneObject.h"
#include "scene3d/scene/texture/GLMultitextureCoordinator.h"
#include "scene3d/scene/texture/GLTexture.h"

namespace gl3d {

namespace {

constexpr GLenum kTextureModes[] = {GL_DECAL, GL_MODULATE, GL_BLEND, GL_REPLACE, GL_ADD};

// The S, T and R wraps of the four plain modes with edge clamping, then S and T without it.
struct WrapRow {
  GLenum S, T, R, SNoEdgeClamp, TNoEdgeClamp;
};
constexpr WrapRow kWraps[] = {
    {GL_REPEAT, GL_REPEAT, GL_REPEAT, GL_REPEAT, GL_REPEAT},                     // twBoth
    {GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, GL_CLAMP, GL_CLAMP},  // twNone
    {GL_CLAMP_TO_EDGE, GL_REPEAT, GL_REPEAT, GL_CLAMP, GL_REPEAT},               // twVertical
    {GL_REPEAT, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, GL_REPEAT, GL_CLAMP}};       // twHorizontal
constexpr GLenum kSeparateWraps[] = {GL_REPEAT,
                                     GL_CLAMP_TO_EDGE,
                                     GL_CLAMP_TO_BORDER,
                                     GL_MIRRORED_REPEAT,
                                     0x8743 /* GL_MIRROR_CLAMP_TO_EDGE_EXT */,
                                     0x8912 /* GL_MIRROR_CLAMP_TO_BORDER_EXT */};
constexpr GLenum kMinFilters[] = {GL_NEAREST,
                                  GL_LINEAR,
                                  GL_NEAREST_MIPMAP_NEAREST,
                                  GL_LINEAR_MIPMAP_NEAREST,
                                  GL_NEAREST_MIPMAP_LINEAR,
                                  GL_LINEAR_MIPMAP_LINEAR};
constexpr GLenum kDepthTextureModes[] = {GL_LUMINANCE, GL_INTENSITY, GL_ALPHA};

bool IsMultisample(TGLTextureTarget target) {
  return target == ttTexture2DMultisample || target == ttTexture2DMultisampleArray;
}

TGLStateCache& StatesOf(const TRenderContextInfo& rci) {
  return rci.StateCache ? *rci.StateCache : SafeCurrentGLContext()->GLStates();
}

TGLTransformation& TransformationOf(const TRenderContextInfo& rci) {
  return rci.Transformation ? *rci.Transformation : SafeCurrentGLContext()->PipelineTransformation();
}

// The matrix re-orthonormalised and transposed: the inverse rotation of a view or model-view.
TMatrix4f InverseRotation(TMatrix4f m) {
  NormalizeMatrix(m);
  TransposeMatrix4fInPlace(m);
  return m;
}

// The first light the scene holds, or nullptr.
TGLBaseSceneObject* FirstLight(const TRenderContextInfo& rci) {
  if (!rci.Scene) return nullptr;
  const TPersistentObjectList& lights = rci.Scene->Lights();
  for (int i = 0; i < lights.Count(); ++i)
    if (auto* light = dynamic_cast<TGLBaseSceneObject*>(lights[i])) return light;
  return nullptr;
}

// Mipmap filters reduced to the plain filter of the same kind.
TGLMinFilter WithoutMipmaps(TGLMinFilter filter) {
  switch (filter) {
    case miNearestMipmapNearest:
    case miNearestMipmapLinear:
      return miNearest;
    case miLinearMipmapNearest:
    case miLinearMipmapLinear:
      return miLinear;
    default:
      return filter;
  }
}

}  // namespace

// ---- Handles ----

GLuint TGLTexture::GetHandle() {
  TGLContext* context = SafeCurrentGLContext();
  TGLStateCache& states = context->GLStates();
  const int unit = states.ActiveTexture();
  // The upload binds on the active unit; whatever was bound there is put back afterwards, except
  // this texture itself, which must not stay bound under a target it may be leaving.
  const auto recorded = static_cast<TGLTextureTarget>(textureHandle_->Target());
  const GLuint current = textureHandle_->GetHandle();
  if (current != 0 && states.GetTextureBinding(unit, recorded) == current)
    states.SetTextureBinding(unit, recorded, 0);
  GLuint saved[kTextureTargetCount];
  for (int t = 0; t < kTextureTargetCount; ++t)
    saved[t] = states.GetTextureBinding(unit, static_cast<TGLTextureTarget>(t));
  auto restore = [&] {
    for (int t = 1; t < kTextureTargetCount; ++t)
      states.SetTextureBinding(unit, static_cast<TGLTextureTarget>(t), saved[t]);
  };

  GLuint name = 0;
  try {
    name = PrepareHandle();
    if (textureHandle_->IsDataNeedUpdate() && image_->NativeTarget() != ttNoShape) {
      textureHandle_->NotifyDataUpdated();
      GLenum target = TextureTargetToGL(image_->NativeTarget());
      if (!IsGLTargetSupported(target) || !IsFormatSupported(textureFormat_)) {
        UseErrorImage();
        target = GL_TEXTURE_2D;
        name = textureHandle_->GetHandle();  // the error picture may have remade the object as 2D
      }
      if (!context->GL().EXT_direct_state_access)
        states.SetTextureBinding(unit, static_cast<TGLTextureTarget>(textureHandle_->Target()), name);
      UploadImage(target);
    }
  } catch (...) {
    restore();
    throw;
  }
  restore();
  return name;
}

GLuint TGLTexture::PrepareHandle() {
  TGLStateCache& states = SafeCurrentGLContext()->GLStates();
  const TGLTextureTarget target = image_->NativeTarget();
  const auto recorded = static_cast<TGLTextureTarget>(textureHandle_->Target());
  // An image whose target changed (a 2D picture that became a cube map) needs a new object.
  if (target != ttNoShape && recorded != ttNoShape && target != recorded) textureHandle_->DestroyHandle();

  GLuint name = textureHandle_->GetHandle();
  if (name == 0) {
    textureHandle_->AllocateHandle();
    name = textureHandle_->GetHandle();
  }
  if (textureHandle_->IsDataNeedUpdate()) {
    textureHandle_->SetTarget(target);
    samplerHandle_->NotifyChangesOfData();
  }
  if (samplerHandle_->GetHandle() == 0) samplerHandle_->AllocateHandle();

  const auto bound = static_cast<TGLTextureTarget>(textureHandle_->Target());
  if (bound == ttNoShape || !IsTargetSupported(bound)) return 0;
  if (!samplerHandle_->IsDataNeedUpdate()) return name;
  states.SetTextureBinding(states.ActiveTexture(), bound, name);
  SendSamplerParameters(TextureTargetToGL(bound));
  samplerHandle_->NotifyDataUpdated();
  return name;
}

bool TGLTexture::HasHandle() { return textureHandle_->GetHandle() != 0; }

void TGLTexture::DestroyHandles() {
  textureHandle_->DestroyHandle();
  samplerHandle_->DestroyHandle();
  requiredMemory_ = -1;
}

// ---- Sampler parameters ----

void TGLTexture::SendSamplerParameters(GLenum target) {
  if (target == GL_TEXTURE_2D_MULTISAMPLE || target == GL_TEXTURE_2D_MULTISAMPLE_ARRAY) return;
  TGLContext* context = SafeCurrentGLContext();
  TGLStateCache& states = context->GLStates();
  TGLExtensionsAndEntryPoints& gl = context->GL();
  const bool thirdAxis = gl.ARB_texture_cube_map || gl.EXT_texture3D;

  states.SetUnpackAlignment(1);
  states.SetUnpackRowLength(0);
  states.SetUnpackSkipRows(0);
  states.SetUnpackSkipPixels(0);
  gl.TexParameterfv(target, GL_TEXTURE_BORDER_COLOR, borderColor_->ColorAddress());

  GLenum s, t, r;
  if (gl.VERSION_1_2 || gl.EXT_texture_edge_clamp) {
    if (textureWrap_ == twSeparate) {
      s = kSeparateWraps[wrapS_];
      t = kSeparateWraps[wrapT_];
      r = kSeparateWraps[wrapR_];
    } else {
      s = kWraps[textureWrap_].S;
      t = kWraps[textureWrap_].T;
      r = kWraps[textureWrap_].R;
    }
    gl.TexParameteri(target, GL_TEXTURE_WRAP_S, static_cast<GLint>(s));
    gl.TexParameteri(target, GL_TEXTURE_WRAP_T, static_cast<GLint>(t));
    if (thirdAxis) gl.TexParameteri(target, GL_TEXTURE_WRAP_R, static_cast<GLint>(r));
  } else {
    // Without edge clamping the separate wraps come down to repeating or clamping.
    if (textureWrap_ == twSeparate) {
      s = wrapS_ == twRepeat ? GL_REPEAT : GL_CLAMP;
      t = wrapT_ == twRepeat ? GL_REPEAT : GL_CLAMP;
    } else {
      s = kWraps[textureWrap_].SNoEdgeClamp;
      t = kWraps[textureWrap_].TNoEdgeClamp;
    }
    gl.TexParameteri(target, GL_TEXTURE_WRAP_S, static_cast<GLint>(s));
    gl.TexParameteri(target, GL_TEXTURE_WRAP_T, static_cast<GLint>(t));
  }

  TGLMinFilter minFilter = minFilter_;
  if (target == GL_TEXTURE_RECTANGLE || !(gl.EXT_texture_lod || gl.SGIS_texture_lod))
    minFilter = WithoutMipmaps(minFilter);
  gl.TexParameteri(target, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(kMinFilters[minFilter]));
  gl.TexParameteri(target, GL_TEXTURE_MAG_FILTER, magFilter_ == maNearest ? GL_NEAREST : GL_LINEAR);
  if (gl.EXT_texture_filter_anisotropic)
    gl.TexParameteri(target, GL_TEXTURE_MAX_ANISOTROPY_EXT, filteringQuality_ == tfIsotropic ? 1 : 2);

  if (IsDepthFormat(textureFormat_)) {
    gl.TexParameteri(target, GL_TEXTURE_COMPARE_MODE,
                     compareMode_ == tcmNone ? GL_NONE : GL_COMPARE_R_TO_TEXTURE);
    gl.TexParameteri(target, GL_TEXTURE_COMPARE_FUNC,
                     static_cast<GLint>(ComparisonFunctionToGL(compareFunc_)));
    if (!states.ForwardContext())
      gl.TexParameteri(target, GL_DEPTH_TEXTURE_MODE,
                       static_cast<GLint>(kDepthTextureModes[depthTextureMode_]));
  }
}

// ---- Upload ----

static_assert(DefaultTextureCompression != tcDefault);

GLenum TGLTexture::GLInternalFormat() {
  TGLContext* context = SafeCurrentGLContext();
  const TGLTextureFormat format = TextureFormat();
  TGLInternalCompression compression = tcNone;
  if (context->GL().ARB_texture_compression && format != tfExtended)
    compression = compression_ == tcDefault ? DefaultTextureCompression : compression_;
  if (HasFloatFormat()) compression = tcNone;
  if (compression == tcNone || format == tfRGBAFloat16 || format == tfRGBAFloat32 || format == tfExtended)
    return InternalFormatToGL(textureFormat_);
  context->GLStates().SetTextureCompressionHint(compression == tcStandard      ? hintDontCare
                                                : compression == tcHighQuality ? hintNicest
                                                                               : hintFastest);
  return CompressedInternalFormatToGL(textureFormat_);
}

void TGLTexture::ApplyAlphaAndColour(TGLImage& image) {
  auto pixelAt = [&image](size_t index, TGLPixel32& out) {
    image.ConvertToRGBA8();
    if (!image.GetData() || (index + 1) * 4 > image.HeldBytes()) return false;
    out = reinterpret_cast<const TGLPixel32*>(image.GetData())[index];
    return true;
  };
  TGLPixel32 key{};
  switch (imageAlpha_) {
    case tiaDefault:
      break;
    case tiaAlphaFromIntensity:
    case tiaLuminance:
      image.SetAlphaToIntensity();
      break;
    case tiaSuperBlackTransparent:
      image.ClearAlphaForColor(TColor(0));
      break;
    case tiaLuminanceSqrt:
      image.SetAlphaToIntensity();
      image.SqrtAlpha();
      break;
    case tiaOpaque:
      image.FillAlpha(255);
      break;
    case tiaTopLeftPointColorTransparent:
      if (pixelAt(0, key)) image.ClearAlphaForColor(key);
      break;
    case tiaInverseLuminance:
      image.SetAlphaToIntensity();
      image.InvertAlpha();
      break;
    case tiaInverseLuminanceSqrt:
      image.SetAlphaToIntensity();
      image.SqrtAlpha();
      image.InvertAlpha();
      break;
    case tiaBottomRightPointColorTransparent:
      // The last pixel of the first stored row.
      if (image.GetWidth() > 0 && pixelAt(static_cast<size_t>(image.GetWidth()) - 1, key))
        image.ClearAlphaForColor(key);
      break;
  }
  if (imageBrightness_ != 1.0f) image.ApplyImageBrightness(imageBrightness_);
  if (imageGamma_ != 1.0f) image.ApplyImageGamma(imageGamma_);
}

// The target only tells what the image is uploaded as; the image goes to the object of the
// texture handle, which the caller has bound.
void TGLTexture::UploadImage(GLenum) {
  TGLExtensionsAndEntryPoints& gl = SafeCurrentGLContext()->GL();
  if (image_->LoadsItself()) {
    gl.ClearError();
    image_->UploadItself(textureFormat_);
  } else {
    TGLImage* image = image_->GetImageBuffer();
    if (!image || image->IsEmpty()) return;
    ApplyAlphaAndColour(*image);
    const GLenum internalFormat = GLInternalFormat();
    gl.ClearError();  // an error left by someone else must not count as this upload's
    image->UploadToTexture(*textureHandle_, minFilter_ > miLinear, internalFormat, texWidth_, texHeight_,
                           texDepth_);
  }
  if (gl.GetError() != GL_NO_ERROR) {
    gl.ClearError();
    UseErrorImage();
    return;
  }
  requiredMemory_ = -1;
  RequiredMemory();
  if (!keepImageAfterTransfer_) image_->ReleaseImageBuffer();
}

// An internal format the context lacks gives way to the default one as well: the error picture
// could not be uploaded with it, and would be tried again at every frame.
void TGLTexture::UseErrorImage() {
  if (image_->ImageClass() != TGLBlankImage::StaticClass())
    InstallImage(TGLBlankImage::StaticClass()->Create(this));
  if (CurrentGLContext() && !IsFormatSupported(textureFormat_)) textureFormat_ = DefaultTextureFormat;
  TGLImage error;
  error.LoadErrorPicture();
  image_->Assign(&error);
  SetMagFilter(maNearest);
  SetMinFilter(miNearest);
  SetTextureWrap(twBoth);
  SetMappingMode(tmmUser);
  SetCompression(tcNone);
  PrepareHandle();
}

// ---- Apply and unapply ----

void TGLTexture::Apply(TRenderContextInfo& rci) {
  if (IsMultisample(static_cast<TGLTextureTarget>(textureHandle_->Target()))) return;
  const GLuint name = GetHandle();
  TGLStateCache& states = StatesOf(rci);
  // The target is read after GetHandle, which may have made the object for a new one.
  const auto target = static_cast<TGLTextureTarget>(textureHandle_->Target());
  if (!disabled_ && name != 0 && target != ttNoShape) {
    states.SetActiveTexture(0);
    states.SetTextureBinding(0, target, name);
    states.SetActiveTextureEnabled(target, true);
    if (states.ForwardContext()) return;
    if (target == ttTextureCube) SetCubeMapTextureMatrix(rci);
    TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
    gl.TexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLint>(kTextureModes[textureMode_]));
    gl.TexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, envColor_->ColorAddress());
    ApplyCoordinateGeneration();
    CurrentMultitextureCoordinator()->SetMainMapping();
  } else if (!states.ForwardContext()) {
    CurrentMultitextureCoordinator()->SetMainMapping();
  }
}

void TGLTexture::SetCubeMapTextureMatrix(TRenderContextInfo& rci) {
  TMatrix4f m;
  switch (mappingMode_) {
    case tmmCubeMapReflection:
    case tmmCubeMapNormal:
      m = InverseRotation(TransformationOf(rci).GetViewMatrix());
      break;
    case tmmCubeMapLight0: {
      TGLBaseSceneObject* light = FirstLight(rci);
      if (!light) return;
      TMatrix4f lightMatrix = light->CopyAbsoluteMatrix();
      NormalizeMatrix(lightMatrix);
      MatrixMultiplyInto(lightMatrix, InverseRotation(TransformationOf(rci).GetViewMatrix()), m);
      break;
    }
    case tmmCubeMapCamera: {
      TMatrix4f camera;
      VectorCrossProduct4f(rci.CameraDirection, rci.CameraUp, camera[0]);
      camera[0].W = 0;
      VectorNegate4f(rci.CameraDirection, camera[1]);
      camera[2] = rci.CameraUp;
      camera[3] = TVector4f{0, 0, 0, 1};
      MatrixMultiplyInto(camera, InverseRotation(TransformationOf(rci).GetViewMatrix()), m);
      break;
    }
    default:
      return;
  }
  StatesOf(rci).SetTextureMatrix(m);
}

void TGLTexture::ApplyCoordinateGeneration() {
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  const bool rq = gl.ARB_texture_cube_map || gl.EXT_texture3D;
  const GLenum coords[4] = {GL_S, GL_T, GL_R, GL_Q};
  const GLenum gens[4] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q};
  auto mode = [&](int first, int last, GLenum value) {
    for (int i = first; i <= last; ++i) gl.TexGeni(coords[i], GL_TEXTURE_GEN_MODE, static_cast<GLint>(value));
  };
  auto plane = [&](int i, GLenum which) {
    gl.TexGenfv(coords[i], which, &MappingCoordinates(i)->AsVector().X);
  };
  auto enable = [&](int first, int last) {
    for (int i = first; i <= last; ++i) gl.Enable(gens[i]);
  };
  switch (mappingMode_) {
    case tmmUser:
      break;
    case tmmObjectLinear:
      mode(0, 1, GL_OBJECT_LINEAR);
      plane(0, GL_OBJECT_PLANE);
      plane(1, GL_OBJECT_PLANE);
      enable(0, 1);
      if (rq) {
        mode(2, 3, GL_OBJECT_LINEAR);
        plane(2, GL_OBJECT_PLANE);
        plane(3, GL_OBJECT_PLANE);
        enable(2, 3);
      }
      break;
    case tmmEyeLinear:
      // The eye planes are taken in eye space as the identity model-view sees them. R and Q get
      // their planes and are enabled, their mode left as it is.
      mode(0, 1, GL_EYE_LINEAR);
      gl.MatrixMode(GL_MODELVIEW);
      gl.PushMatrix();
      gl.LoadIdentity();
      plane(0, GL_EYE_PLANE);
      plane(1, GL_EYE_PLANE);
      enable(0, 1);
      if (rq) {
        plane(2, GL_EYE_PLANE);
        plane(3, GL_EYE_PLANE);
        enable(2, 3);
      }
      gl.PopMatrix();
      break;
    case tmmSphere:
      mode(0, 1, GL_SPHERE_MAP);
      enable(0, 1);
      break;
    case tmmCubeMapReflection:
    case tmmCubeMapCamera:
    case tmmCubeMapNormal:
    case tmmCubeMapLight0:
      if (gl.ARB_texture_cube_map) {
        const bool reflection = mappingMode_ == tmmCubeMapReflection || mappingMode_ == tmmCubeMapCamera;
        mode(0, 2, reflection ? GL_REFLECTION_MAP : GL_NORMAL_MAP);
        enable(0, 2);
      }
      break;
  }
}

void TGLTexture::UnApplyCoordinateGeneration() {
  if (mappingMode_ == tmmUser) return;
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  gl.Disable(GL_TEXTURE_GEN_S);
  gl.Disable(GL_TEXTURE_GEN_T);
  if (gl.EXT_texture3D || gl.ARB_texture_cube_map) {
    gl.Disable(GL_TEXTURE_GEN_R);
    gl.Disable(GL_TEXTURE_GEN_Q);
  }
}

void TGLTexture::UnApply(TRenderContextInfo& rci) {
  if (disabled_) return;
  TGLStateCache& states = StatesOf(rci);
  if (states.ForwardContext()) return;
  const auto target = static_cast<TGLTextureTarget>(textureHandle_->Target());
  if (target == ttNoShape || IsMultisample(target)) return;
  states.SetActiveTexture(0);
  states.SetActiveTextureEnabled(target, false);
  if (target == ttTextureCube) states.ResetTextureMatrix();
  UnApplyCoordinateGeneration();
}

void TGLTexture::ApplyOnUnit(int n, TRenderContextInfo& rci, const TMatrix4f* textureMatrix) {
  if (disabled_ || IsMultisample(static_cast<TGLTextureTarget>(textureHandle_->Target()))) return;
  TGLStateCache& states = StatesOf(rci);
  states.SetActiveTexture(n - 1);
  const GLuint name = GetHandle();
  const auto target = static_cast<TGLTextureTarget>(textureHandle_->Target());
  if (target != ttNoShape) {
    states.SetTextureBinding(n - 1, target, name);
    states.SetActiveTextureEnabled(target, true);
  }
  if (textureMatrix)
    states.SetTextureMatrix(*textureMatrix);
  else if (target == ttTextureCube)
    states.SetTextureMatrix(InverseRotation(TransformationOf(rci).GetModelViewMatrix()));
  if (states.ForwardContext()) return;  // the active unit stays n - 1
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  gl.TexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLint>(kTextureModes[textureMode_]));
  gl.TexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, envColor_->ColorAddress());
  ApplyCoordinateGeneration();
  states.SetActiveTexture(0);
}

void TGLTexture::UnApplyOnUnit(int n, TRenderContextInfo& rci, bool resetTextureMatrix) {
  TGLStateCache& states = StatesOf(rci);
  if (states.ForwardContext()) return;
  const auto target = static_cast<TGLTextureTarget>(textureHandle_->Target());
  if (target == ttNoShape || IsMultisample(target)) return;
  states.SetActiveTexture(n - 1);
  states.SetActiveTextureEnabled(target, false);
  UnApplyCoordinateGeneration();
  if (resetTextureMatrix || target == ttTextureCube) states.ResetTextureMatrix();
  states.SetActiveTexture(0);
}

}  // namespace gl3d
