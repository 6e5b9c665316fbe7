// The render buffer: its context, the state a frame starts from, and the frame itself.
#include "scene3d/scene/render/GL3DSceneBuffer.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>

#include "common/Round.h"
#include "scene3d/base/GLUtils.h"
#include "scene3d/gl/GLContextManager.h"
#include "scene3d/gl/GLLog.h"
#include "scene3d/gl/GLStateCache.h"
#include "scene3d/gl/GLTransformation.h"
#include "scene3d/scene/core/GLBehaviours.h"
#include "scene3d/scene/render/ContextActivation.h"
#include "scene3d/scene/texture/GLMultitextureCoordinator.h"
#include "scene3d/scene/texture/GLTexture.h"

namespace gl3d {

namespace {

// Colour and depth bits of the request, by ColorDepth and DepthPrecision.
constexpr int kColorBits[] = {24, 8, 16, 24, 64, 128};
constexpr int kDepthBits[] = {24, 16, 24, 32};

// The attribute groups a display list saves: sttPoint through sttTransform.
constexpr TGLStateTypes kListStateTypes = [] {
  TGLStateTypes t = 0;
  for (int s = sttPoint; s <= sttTransform; ++s) t |= StateTypes(static_cast<TGLStateType>(s));
  return t;
}();

// The driver constant behind each limit answered by glGetIntegerv (0: answered otherwise).
constexpr GLenum kLimitQueries[] = {GL_MAX_CLIP_PLANES,
                                    GL_MAX_EVAL_ORDER,
                                    GL_MAX_LIGHTS,
                                    GL_MAX_LIST_NESTING,
                                    GL_MAX_MODELVIEW_STACK_DEPTH,
                                    GL_MAX_NAME_STACK_DEPTH,
                                    GL_MAX_PIXEL_MAP_TABLE,
                                    GL_MAX_PROJECTION_STACK_DEPTH,
                                    GL_MAX_TEXTURE_SIZE,
                                    GL_MAX_TEXTURE_STACK_DEPTH,
                                    0,
                                    GL_ACCUM_ALPHA_BITS,
                                    GL_ACCUM_BLUE_BITS,
                                    GL_ACCUM_GREEN_BITS,
                                    GL_ACCUM_RED_BITS,
                                    GL_ALPHA_BITS,
                                    GL_AUX_BUFFERS,
                                    GL_BLUE_BITS,
                                    GL_GREEN_BITS,
                                    GL_RED_BITS,
                                    GL_INDEX_BITS,
                                    GL_STEREO,
                                    GL_DOUBLEBUFFER,
                                    GL_SUBPIXEL_BITS,
                                    GL_DEPTH_BITS,
                                    GL_STENCIL_BITS,
                                    0};
static_assert(std::size(kLimitQueries) == limNbTextureUnits + 1);

void ForceCapability(TGLStateCache& states, TGLCapability cap, bool on) {
  if (on)
    states.ForceEnable(cap);
  else
    states.ForceDisable(cap);
}

TVector4f NormalizedDirection(const TVector4f& v) {
  TVector4f d{v.X, v.Y, v.Z, 0};
  NormalizeVector4f(d);
  d.W = 0;
  return d;
}

TVector4f Cross(const TVector4f& a, const TVector4f& b) {
  return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X, 0};
}

// Sets a flag for a scope and clears it at the end, also when an exception passes.
class TFlagScope {
 public:
  explicit TFlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~TFlagScope() { flag_ = false; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;

 private:
  bool& flag_;
};

}  // namespace

TGL3DSceneBuffer::TGL3DSceneBuffer(TPersistent* owner)
    : TGLAbstractSceneBuffer(owner),
      afterRenderEffects_(std::make_unique<TPersistentObjectList>()),
      backgroundColor_(clBtnFace),
      ambientColor_(std::make_unique<TGLColor>(this, TVector4f{0.2f, 0.2f, 0.2f, 1})),
      fogEnvironment_(std::make_unique<TGLFogEnvironment>(this)) {
  ResetPerformanceMonitor();
}

TGL3DSceneBuffer::~TGL3DSceneBuffer() {
  try {
    DestroyRenderingContext();
  } catch (...) {
  }
}

void TGL3DSceneBuffer::NotifyChange(TObject*) {
  if (!rendering_ && OnChange) OnChange(this);
}

void TGL3DSceneBuffer::StructuralChange() {
  auto* component = dynamic_cast<TComponent*>(Owner());
  if (component && component->IsLoading()) return;
  if (OnStructuralChange) OnStructuralChange(this);
}

// ---- Context ----

void TGL3DSceneBuffer::ApplyContextOptions(TGLContext& context) {
  context.SetAcceleration(HasOption(roSoftwareMode) ? hmSoftware : hmHardware);
  TGLContextOptions flags = 0;
  if (HasOption(roDoubleBuffer)) flags |= ContextOption(cfDoubleBuffer);
  if (HasOption(roStereo)) flags |= ContextOption(cfStereo);
  if (HasOption(roDebugContext)) flags |= ContextOption(cfDebug);
  if (HasOption(roOpenGL_ES2_Context)) flags |= ContextOption(cfOpenGLES2);
  context.SetOptions(flags);
  context.SetColorBits(HasOption(roNoColorBuffer) ? 0 : kColorBits[colorDepth_]);
  context.SetDepthBits(kDepthBits[depthPrecision_]);
  context.SetStencilBits(HasOption(roStencilBuffer) ? 8 : 0);
  context.SetAlphaBits(HasOption(roDestinationAlpha) ? 8 : 0);
  context.SetAccumBits(accumBufferBits_);
  context.SetAuxBuffers(0);
  context.SetAntiAliasing(antiAliasing_);
  context.SetLayer(layer_);
  context.GLStates().SetForwardContext(HasOption(roForwardContext));
  if (OnPrepareContext) OnPrepareContext(this);
}

void TGL3DSceneBuffer::CreateRenderingContext(TGLOutputDevice device, bool memoryContext, int bufferCount) {
  DestroyRenderingContext();
  TFlagScope rendering(rendering_);
  context_ = GLContextManager().CreateContext();
  if (!context_) throw common::Exception("Failed to create RenderingContext.");
  TGL3DScene* scene = camera_ ? camera_->Scene() : nullptr;
  try {
    ApplyContextOptions(*context_);
    if (scene) scene->AddBuffer(this);
    if (memoryContext)
      context_->CreateMemoryContext(device, viewport_.Width, viewport_.Height, bufferCount);
    else
      context_->CreateContext(device);
  } catch (...) {
    // The scene must not keep this buffer, or its context, once the context is gone.
    LeaveListedScene();
    context_.reset();
    throw;
  }
  TGLContextActivation active(*context_);
  if (!context_->GL().VERSION_1_1) {
    gllog::Error("Need at least OpenGL version 1.1");
    throw EAbort();
  }
  TGLStateCache& states = context_->GLStates();
  states.SetViewPort(viewport_.Left, viewport_.Top, viewport_.Width, viewport_.Height);
  SetupRenderingContext(*context_);
  TVector4f clear;
  WinColorToVector4f(backgroundColor_, clear, 1.0f);
  states.SetColorClearValue(clear);
}

void TGL3DSceneBuffer::DestroyRenderingContext() {
  if (!context_) return;
  std::unique_ptr<TGLContext> context = std::move(context_);
  context.reset();
  LeaveListedScene();
}

void TGL3DSceneBuffer::SetViewPort(int left, int top, int width, int height) {
  viewport_ = {left, top, std::max(width, 1), std::max(height, 1)};
  if (!context_) return;
  TGLContextActivation active(*context_);
  context_->GLStates().SetViewPort(viewport_.Left, viewport_.Top, viewport_.Width, viewport_.Height);
}

void TGL3DSceneBuffer::SetViewPortSize(int width, int height) {
  viewport_ = {0, 0, std::max(width, 1), std::max(height, 1)};
}

// ---- The frame ----

void TGL3DSceneBuffer::SetupRenderingContext(TGLContext& context) {
  TGLExtensionsAndEntryPoints& gl = context.GL();
  TGLStateCache& states = context.GLStates();
  const bool forward = HasOption(roForwardContext);
  if (!forward) {
    gl.LightModelfv(GL_LIGHT_MODEL_AMBIENT, ambientColor_->ColorAddress());
    gl.LightModeli(GL_LIGHT_MODEL_TWO_SIDE, HasOption(roTwoSideLighting) ? 1 : 0);
    gl.Hint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    switch (shadeModel_) {
      case smDefault:
      case smSmooth:
        gl.ShadeModel(GL_SMOOTH);
        break;
      case smFlat:
        gl.ShadeModel(GL_FLAT);
        break;
      default:
        ZASSERT(false, "Error: Unknown type!");
    }
  }
  states.Enable(capNormalize);
  ForceCapability(states, capDepthTest, depthTest_);
  ForceCapability(states, capCullFace, faceCulling_);
  ForceCapability(states, capLighting, lighting_);
  ForceCapability(states, capFog, fogEnable_);
  if (gl.ARB_depth_clamp) states.Disable(capDepthClamp);
  if (!forward) {
    GLint blueBits = 0;
    gl.GetIntegerv(GL_BLUE_BITS, &blueBits);
    // Dithering only helps a buffer of fewer than 8 bits a channel.
    ForceCapability(states, capDither, blueBits < 8);
  }
  states.ResetAllTextureMatrix();
}

void TGL3DSceneBuffer::ClearBuffers() {
  TGLStateCache& states = SafeCurrentGLContext()->GLStates();
  GLbitfield mask = 0;
  if (!HasOption(roNoDepthBufferClear)) {
    states.SetDepthWriteMask(true);
    mask |= GL_DEPTH_BUFFER_BIT;
  }
  if (!HasOption(roNoColorBuffer) && !HasOption(roNoColorBufferClear)) {
    states.SetColorMask(cAllColorComponents);
    mask |= GL_COLOR_BUFFER_BIT;
  }
  if (HasOption(roStencilBuffer)) mask |= GL_STENCIL_BUFFER_BIT;
  CurrentGLEntryPoints().Clear(mask);
}

void TGL3DSceneBuffer::PrepareMatrices(const TRectangle& viewport, int resolution,
                                       const TRectangle* pickRectangle) {
  TGLTransformation& transformation = SafeCurrentGLContext()->PipelineTransformation();
  transformation.ResetToIdentity();
  if (pickRectangle) {
    const TRectangle& r = *pickRectangle;
    transformation.SetProjectionMatrix(CreatePickMatrix(
        (r.Left + r.Width * 0.5f), (r.Top + r.Height * 0.5f), static_cast<float>(r.Width),
        static_cast<float>(r.Height), {viewport_.Left, viewport_.Top, viewport_.Width, viewport_.Height}));
  }
  baseProjectionMatrix_ = transformation.GetProjectionMatrix();
  if (!camera_) return;
  camera_->ApplyPerspective(viewport, viewport.Width, viewport.Height, resolution);
  camera_->Apply();
  cameraPosition_ = camera_->AbsolutePosition();
}

void TGL3DSceneBuffer::DoBaseRender(const TRectangle& viewport, int resolution,
                                    TGLBaseSceneObject* baseObject, TDrawState drawMode) {
  TGLContext* context = SafeCurrentGLContext();
  TGLStateCache& states = context->GLStates();
  PrepareMatrices(viewport, resolution);
  if (!states.ForwardContext()) {
    TGLMultitextureCoordinator* coordinator = CurrentMultitextureCoordinator();
    coordinator->SetNullMapping();
    coordinator->SetMainMapping();
  }
  if (drawMode != dsPrinting && OnFrameSetup) OnFrameSetup(this);
  if (BeforeRender) BeforeRender(this);
  if (camera_ && camera_->Scene()) {
    TGL3DScene* scene = camera_->Scene();
    scene->SetupLights(states.GetMaxLights());
    if (!states.ForwardContext()) {
      if (fogEnable_) {
        states.Enable(capFog);
        fogEnvironment_->ApplyFog();
      } else {
        states.Disable(capFog);
      }
    }
    RenderScene(scene, viewport.Width, viewport.Height, drawMode, baseObject);
  }
  if (PostRender) PostRender(this);
  ZASSERT(viewMatrixStack_.empty(), "Unbalance Push/PopViewMatrix.");
  ZASSERT(projectionMatrixStack_.empty(), "Unbalance Push/PopProjectionMatrix.");
}

void TGL3DSceneBuffer::FillRenderContextInfo(TRenderContextInfo& rci, TGL3DScene* scene, int width,
                                             int height, TDrawState drawMode) {
  TGLContext* context = SafeCurrentGLContext();
  rci.Scene = scene;
  rci.Buffer = this;
  rci.AfterRenderEffects = afterRenderEffects_.get();
  rci.ObjectsSorting = scene->ObjectsSorting();
  rci.VisibilityCulling = scene->VisibilityCulling();
  rci.FaceCulling = faceCulling_;
  rci.LightingOn = lighting_;
  rci.FogOn = fogEnable_;
  rci.DepthTestOn = depthTest_;
  rci.DrawMode = drawMode;
  rci.SceneAmbientColor = ambientColor_->Color();
  rci.ListStateTypes = kListStateTypes;
  rci.CameraPosition = cameraPosition_;
  if (camera_) {
    rci.CameraDirection = NormalizedDirection(camera_->LastDirection());
    const TVector4f& up = camera_->Up()->AsVector();
    rci.CameraUp = NormalizedDirection(Cross(Cross(rci.CameraDirection, up), rci.CameraDirection));
    rci.ViewPortRadius = camera_->ViewPortRadius();
    rci.ClipNearDistance = camera_->NearPlane();
    rci.ClipFarDistance = camera_->NearPlane() + camera_->DepthOfView();
  }
  rci.ClippingOrigin = rci.CameraPosition;
  rci.ClippingDirection = rci.CameraDirection;
  rci.Frustum = context->PipelineTransformation().GetFrustum();
  rci.ViewPortWidth = width;
  rci.ViewPortHeight = height;
  rci.RenderDPI = renderDPI_;
  rci.StateCache = &context->GLStates();
  rci.Transformation = &context->PipelineTransformation();
  rci.ProxyRender = false;
  rci.IgnoreMaterials = HasOption(roNoColorBuffer) || drawMode == dsPicking;
  rci.IgnoreBlending = drawMode == dsPicking;
}

void TGL3DSceneBuffer::RenderScene(TGL3DScene* scene, int width, int height, TDrawState drawMode,
                                   TGLBaseSceneObject* baseObject) {
  TGLContext* context = SafeCurrentGLContext();
  afterRenderEffects_->Clear();
  TRenderContextInfo rci{};
  FillRenderContextInfo(rci, scene, width, height, drawMode);
  TGLStateCache& states = context->GLStates();
  states.SetColorWriting(!rci.IgnoreMaterials);
  if (InitiateRendering) InitiateRendering(this, rci);
  TGLInitializableObjectList& waiting = scene->InitializableObjects();
  for (int i = waiting.Count() - 1; i >= 0; --i) {
    if (i >= waiting.Count()) continue;
    waiting.Items(i)->InitializeObject(scene, rci);
    if (i < waiting.Count()) waiting.Delete(i);
  }
  if (context->IsPreparationNeed()) context->PrepareHandlesData();
  (baseObject ? baseObject : scene->Objects())->Render(rci);
  states.SetColorWriting(true);
  for (int i = 0; i < afterRenderEffects_->Count(); ++i)
    if (auto* effect = dynamic_cast<TGLObjectEffect*>(afterRenderEffects_->Get(i))) effect->Render(rci);
  if (WrapUpRendering) WrapUpRendering(this, rci);
}

int64_t TGL3DSceneBuffer::ReadCounter() const {
  if (PerformanceCounter) return PerformanceCounter();
  int64_t counter = 0;
  ReadPerformanceCounter(counter);
  return counter;
}

void TGL3DSceneBuffer::FinishFrameTiming(int64_t t0) {
  ++frameCount_;
  const int64_t t1 = ReadCounter();
  const int64_t frequency = CounterFrequency();
  if (frequency > 0) {
    lastFrameTime_ = static_cast<float>(static_cast<double>(t1 - t0) / static_cast<double>(frequency));
    if (t1 - firstFrameTime_ > 0)
      framesPerSecond_ =
          static_cast<float>(static_cast<double>(frameCount_) * static_cast<double>(frequency) /
                             static_cast<double>(t1 - firstFrameTime_));
  }
}

void TGL3DSceneBuffer::RenderFrame(TGLBaseSceneObject* baseObject, int64_t t0) {
  TGLContextActivation active(*context_);
  if (frameCount_ == 0) firstFrameTime_ = ReadCounter();
  TGLExtensionsAndEntryPoints& gl = context_->GL();
  renderDPI_ = 96;
  gl.ClearError();
  SetupRenderingContext(*context_);
  TVector4f clear;
  WinColorToVector4f(backgroundColor_, clear, backgroundAlpha_);
  context_->GLStates().SetColorClearValue(clear);
  ClearBuffers();
  gl.CheckError();
  DoBaseRender(viewport_, renderDPI_, baseObject, dsRendering);
  if (!HasOption(roNoSwapBuffers)) context_->SwapBuffers();
  FinishFrameTiming(t0);
  gl.CheckError();
}

void TGL3DSceneBuffer::RenderFrom(TGLBaseSceneObject* baseObject) {
  if (rendering_ || !context_) return;
  const int64_t t0 = ReadCounter();
  if (camera_ && camera_->Scene()) {
    camera_->GetAbsoluteMatrix();
    camera_->Scene()->AddBuffer(this);
  }
  TFlagScope rendering(rendering_);
  RenderFrame(baseObject, t0);
  if (AfterRender) AfterRender(this);
}

void TGL3DSceneBuffer::PushViewMatrix(const TMatrix4f& newMatrix) {
  TGLTransformation& transformation = SafeCurrentGLContext()->PipelineTransformation();
  viewMatrixStack_.push_back(transformation.GetViewMatrix());
  transformation.SetViewMatrix(newMatrix);
}

void TGL3DSceneBuffer::PopViewMatrix() {
  ZASSERT(!viewMatrixStack_.empty(), "Unbalance Push/PopViewMatrix.");
  SafeCurrentGLContext()->PipelineTransformation().SetViewMatrix(viewMatrixStack_.back());
  viewMatrixStack_.pop_back();
}

void TGL3DSceneBuffer::PushProjectionMatrix(const TMatrix4f& newMatrix) {
  TGLTransformation& transformation = SafeCurrentGLContext()->PipelineTransformation();
  projectionMatrixStack_.push_back(transformation.GetProjectionMatrix());
  transformation.SetProjectionMatrix(newMatrix);
}

void TGL3DSceneBuffer::PopProjectionMatrix() {
  ZASSERT(!projectionMatrixStack_.empty(), "Unbalance Push/PopProjectionMatrix.");
  SafeCurrentGLContext()->PipelineTransformation().SetProjectionMatrix(projectionMatrixStack_.back());
  projectionMatrixStack_.pop_back();
}

// ---- Camera and statistics ----

void TGL3DSceneBuffer::SetCamera(TGLCamera* camera) {
  if (camera == camera_) return;
  if (camera_) {
    LeaveListedScene();
    camera_ = nullptr;
  }
  if (camera && camera->Scene()) {
    camera_ = camera;
    camera->TransformationChanged();
  }
  NotifyChange(this);
}

void TGL3DSceneBuffer::ResetPerformanceMonitor() {
  framesPerSecond_ = 0;
  frameCount_ = 0;
  firstFrameTime_ = 0;
}

int TGL3DSceneBuffer::GetLimit(TLimitType limitType) const {
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  if (limitType > limNbTextureUnits) return 0;
  GLint value = 0;
  if (limitType == limViewportDims) {
    GLdouble dims[2] = {0, 0};
    gl.GetDoublev(GL_MAX_VIEWPORT_DIMS, dims);
    return common::RoundInt(std::max(dims[0], dims[1]));
  }
  if (limitType == limNbTextureUnits) {
    if (!gl.ARB_multitexture) return 1;
    gl.GetIntegerv(GL_MAX_TEXTURE_UNITS, &value);
    return value;
  }
  gl.GetIntegerv(kLimitQueries[limitType], &value);
  return value;
}

void TGL3DSceneBuffer::CopyToTexture(TGLTextureHandle& texture, TGLTextureTarget target, int xSrc, int ySrc,
                                     int width, int height, int xDest, int yDest, GLenum cubeFace) {
  if (!context_) return;
  TGLContextActivation active(*context_);
  const GLuint name = texture.AllocateHandle();
  texture.SetTarget(target);
  context_->GLStates().SetTextureBinding(0, target, name);
  context_->GL().CopyTexSubImage2D(cubeFace ? cubeFace : TextureTargetToGL(target), 0, xDest, yDest, xSrc,
                                   ySrc, width, height);
}

void TGL3DSceneBuffer::CopyToTexture(TGLTexture& texture, int xSrc, int ySrc, int width, int height,
                                     int xDest, int yDest, GLenum cubeFace) {
  if (!context_) return;
  TGLContextActivation active(*context_);
  auto* blank = dynamic_cast<TGLBlankImage*>(texture.Image());
  if (!blank) {
    texture.SetImageClassName("TGLBlankImage");
    blank = dynamic_cast<TGLBlankImage*>(texture.Image());
  }
  if (blank->GetWidth() != width) blank->SetWidth(width);
  if (blank->GetHeight() != height) blank->SetHeight(height);
  if (blank->GetDepth() != 0) blank->SetDepth(0);
  blank->SetCubeMap(cubeFace != 0);
  const GLuint name = texture.GetHandle();
  const TGLTextureTarget target = blank->NativeTarget();
  context_->GLStates().SetTextureBinding(0, target, name);
  context_->GL().CopyTexSubImage2D(cubeFace ? cubeFace : TextureTargetToGL(target), 0, xDest, yDest, xSrc,
                                   ySrc, width, height);
}

// ---- Settings ----

namespace {
// Stores a value that differs and then tells of the change.
template <class T, class Tell>
void ChangeSetting(T& field, T value, Tell tell) {
  if (value == field) return;
  field = value;
  tell();
}
}  // namespace

void TGL3DSceneBuffer::SetBackgroundColor(int32_t value) {
  ChangeSetting(backgroundColor_, value, [this] { NotifyChange(this); });
}
void TGL3DSceneBuffer::SetBackgroundAlpha(float value) {
  ChangeSetting(backgroundAlpha_, value, [this] { NotifyChange(this); });
}
void TGL3DSceneBuffer::SetDepthTest(bool value) {
  ChangeSetting(depthTest_, value, [this] { NotifyChange(this); });
}
void TGL3DSceneBuffer::SetFaceCulling(bool value) {
  ChangeSetting(faceCulling_, value, [this] { NotifyChange(this); });
}
void TGL3DSceneBuffer::SetLighting(bool value) {
  ChangeSetting(lighting_, value, [this] { NotifyChange(this); });
}
void TGL3DSceneBuffer::SetFogEnable(bool value) {
  ChangeSetting(fogEnable_, value, [this] { NotifyChange(this); });
}
void TGL3DSceneBuffer::SetShadeModel(TGLShadeModel value) {
  ChangeSetting(shadeModel_, value, [this] { NotifyChange(this); });
}

void TGL3DSceneBuffer::SetFogEnvironment(const TGLFogEnvironment* value) {
  fogEnvironment_->Assign(value);
  NotifyChange(this);
}

void TGL3DSceneBuffer::SetContextOptions(TContextOptions value) {
  ChangeSetting(contextOptions_, value, [this] { StructuralChange(); });
}
void TGL3DSceneBuffer::SetAntiAliasing(TGLAntiAliasing value) {
  ChangeSetting(antiAliasing_, value, [this] { StructuralChange(); });
}
void TGL3DSceneBuffer::SetDepthPrecision(TGLDepthPrecision value) {
  ChangeSetting(depthPrecision_, value, [this] { StructuralChange(); });
}
void TGL3DSceneBuffer::SetColorDepth(TGLColorDepth value) {
  ChangeSetting(colorDepth_, value, [this] { StructuralChange(); });
}
void TGL3DSceneBuffer::SetAccumBufferBits(int value) {
  ChangeSetting(accumBufferBits_, value, [this] { StructuralChange(); });
}

}  // namespace gl3d
