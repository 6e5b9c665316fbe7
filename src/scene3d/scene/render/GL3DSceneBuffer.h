#pragma once
// The render target of a viewer: TGL3DSceneBuffer owns the viewer's rendering context, holds the
// frame settings (background, ambient light, depth test, culling, lighting, fog, shading and the
// options that shape the context) and renders one frame of the scene as seen through a camera:
// activate the context, set the initial state, clear, load the camera's projection and view, set
// up the lights and the fog, draw the tree, swap, and time the frame.
//
// The viewers that own a buffer are the scene viewer control (scene3d/platform) and the
// off-screen viewers of GLNonVisualViewer.h. The buffer tells its owner of a visible change
// through OnChange (silent while it renders, so objects that change during a frame ask for no
// new one) and of an option that needs a new context through OnStructuralChange.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "scene3d/base/GLColor.h"
#include "scene3d/gl/GLContext.h"
#include "scene3d/scene/core/GLBaseSceneObject.h"
#include "scene3d/scene/core/GLFogEnvironment.h"
#include "scene3d/scene/core/GLRenderContextInfo.h"

namespace gl3d {

class TGLTexture;

// ContextOptions: bit n for the option of ordinal n.
enum TContextOption : uint8_t {
  roSoftwareMode,
  roDoubleBuffer,
  roStencilBuffer,
  roRenderToWindow,
  roTwoSideLighting,
  roStereo,
  roDestinationAlpha,
  roNoColorBuffer,
  roNoColorBufferClear,
  roNoSwapBuffers,
  roNoDepthBufferClear,
  roDebugContext,
  roForwardContext,
  roOpenGL_ES2_Context
};
using TContextOptions = uint16_t;
constexpr TContextOptions ContextOptionBit(TContextOption o) { return static_cast<TContextOptions>(1u << o); }
constexpr TContextOptions kDefaultContextOptions =
    ContextOptionBit(roDoubleBuffer) | ContextOptionBit(roRenderToWindow) | ContextOptionBit(roDebugContext);

enum TGLDepthPrecision : uint8_t { dpDefault, dp16bits, dp24bits, dp32bits };
enum TGLColorDepth : uint8_t { cdDefault, cd8bits, cd16bits, cd24bits, cdFloat64bits, cdFloat128bits };
enum TGLShadeModel : uint8_t { smDefault, smSmooth, smFlat };

// What GetLimit asks the driver for.
enum TLimitType : uint8_t {
  limClipPlanes,
  limEvalOrder,
  limLights,
  limListNesting,
  limModelViewStack,
  limNameStack,
  limPixelMapTable,
  limProjectionStack,
  limTextureSize,
  limTextureStack,
  limViewportDims,
  limAccumAlphaBits,
  limAccumBlueBits,
  limAccumGreenBits,
  limAccumRedBits,
  limAlphaBits,
  limAuxBuffers,
  limBlueBits,
  limGreenBits,
  limRedBits,
  limIndexBits,
  limStereo,
  limDoubleBuffer,
  limSubpixelBits,
  limDepthBits,
  limStencilBits,
  limNbTextureUnits
};

using TDirectRenderEvent = std::function<void(TObject* sender, TRenderContextInfo& rci)>;

class TGL3DSceneBuffer : public TGLAbstractSceneBuffer {
 public:
  // The owner is the viewer (nullptr for a viewer that is no component).
  explicit TGL3DSceneBuffer(TPersistent* owner);
  // Destroys the rendering context first.
  ~TGL3DSceneBuffer() override;
  const char* ClassName() const override { return "TGL3DSceneBuffer"; }

  // ---- The scene's view of the buffer ----
  TGLContext* RenderingContext() const override { return context_.get(); }
  // The picking path has no caller here, so the buffer keeps no selector.
  TGLPickSelector* PickSelector() const override { return nullptr; }
  bool DepthTest() const override { return depthTest_; }
  // Fires OnChange unless a frame or a context creation is under way.
  void NotifyChange(TObject* sender) override;
  // Fires OnStructuralChange unless the owning component is loading.
  void StructuralChange();

  // ---- Context ----
  // Turns the options into the pixel-format request of a context that is not made yet, then
  // fires OnPrepareContext.
  void ApplyContextOptions(TGLContext& context);
  // Replaces any context by a new one from the context manager: a memory (pbuffer) context of
  // the viewport's size, or one for the output device. Exception "Failed to create
  // RenderingContext." without a context class; a failing creation frees the half-made context
  // and passes the error on.
  void CreateRenderingContext(TGLOutputDevice device, bool memoryContext, int bufferCount);
  void DestroyRenderingContext();
  bool HasRenderingContext() const { return context_ != nullptr; }
  // Width and height below 1 become 1; with a context, its viewport follows at once.
  void SetViewPort(int left, int top, int width, int height);
  const TRectangle& ViewPort() const { return viewport_; }
  // Stores the viewport without telling the context (a viewer that makes the context next).
  void SetViewPortSize(int width, int height);

  // ---- The frame ----
  // The state every frame starts from, with the context current: light model, shading, the
  // forced capabilities (depth test, culling, lighting, fog, dithering) and texture matrices.
  void SetupRenderingContext(TGLContext& context);
  void ClearBuffers();
  // Projection (with the pick rectangle, when given) and view of the camera.
  void PrepareMatrices(const TRectangle& viewport, int resolution, const TRectangle* pickRectangle = nullptr);
  void DoBaseRender(const TRectangle& viewport, int resolution, TGLBaseSceneObject* baseObject,
                    TDrawState drawMode);
  void Render() { RenderFrom(nullptr); }
  // One whole frame, from the base object or the scene's root. Nothing while a frame is under
  // way or without a context.
  void RenderFrom(TGLBaseSceneObject* baseObject);
  void RenderScene(TGL3DScene* scene, int width, int height, TDrawState drawMode,
                   TGLBaseSceneObject* baseObject);
  bool Rendering() const { return rendering_; }

  // Saved view and projection matrices of the context; a frame must leave both stacks empty.
  void PushViewMatrix(const TMatrix4f& newMatrix);
  void PopViewMatrix();
  void PushProjectionMatrix(const TMatrix4f& newMatrix);
  void PopProjectionMatrix();

  // ---- Camera and statistics ----
  TGLCamera* Camera() const { return camera_; }
  // A camera that belongs to no scene leaves the buffer without one.
  void SetCamera(TGLCamera* camera);
  void ResetPerformanceMonitor();
  float FramesPerSecond() const { return framesPerSecond_; }
  int FrameCount() const { return frameCount_; }
  // Seconds the last frame took.
  float LastFrameTime() const { return lastFrameTime_; }
  // The driver's limit; the context must be current. 0 for a value outside the type.
  int GetLimit(TLimitType limitType) const;
  // Copies the rectangle of the frame into level 0 of the texture at the destination, the
  // texture bound on unit 0 for its target (cubeFace: the face's enumerant, or 0). Nothing
  // without a context.
  void CopyToTexture(TGLTextureHandle& texture, TGLTextureTarget target, int xSrc, int ySrc, int width,
                     int height, int xDest, int yDest, GLenum cubeFace = 0);
  // The same into a texture object: its image becomes a blank image of the copy's size (a cube
  // map when a face is given, no depth), whose texture object is made (and uploaded) first.
  void CopyToTexture(TGLTexture& texture, int xSrc, int ySrc, int width, int height, int xDest, int yDest,
                     GLenum cubeFace = 0);

  // ---- Settings ----
  int32_t BackgroundColor() const { return backgroundColor_; }
  void SetBackgroundColor(int32_t value);
  float BackgroundAlpha() const { return backgroundAlpha_; }
  void SetBackgroundAlpha(float value);
  TGLColor* AmbientColor() const { return ambientColor_.get(); }
  void SetAmbientColor(const TGLColor* value) { ambientColor_->Assign(value); }
  void SetDepthTest(bool value);
  bool FaceCulling() const { return faceCulling_; }
  void SetFaceCulling(bool value);
  bool Lighting() const { return lighting_; }
  void SetLighting(bool value);
  bool FogEnable() const { return fogEnable_; }
  void SetFogEnable(bool value);
  TGLShadeModel ShadeModel() const { return shadeModel_; }
  void SetShadeModel(TGLShadeModel value);
  TGLFogEnvironment* FogEnvironment() const { return fogEnvironment_.get(); }
  void SetFogEnvironment(const TGLFogEnvironment* value);
  // These shape the context: a change asks the owner for a new one (StructuralChange).
  TContextOptions ContextOptions() const { return contextOptions_; }
  void SetContextOptions(TContextOptions value);
  bool HasOption(TContextOption o) const { return (contextOptions_ & ContextOptionBit(o)) != 0; }
  TGLAntiAliasing AntiAliasing() const { return antiAliasing_; }
  void SetAntiAliasing(TGLAntiAliasing value);
  TGLDepthPrecision DepthPrecision() const { return depthPrecision_; }
  void SetDepthPrecision(TGLDepthPrecision value);
  TGLColorDepth ColorDepth() const { return colorDepth_; }
  void SetColorDepth(TGLColorDepth value);
  int AccumBufferBits() const { return accumBufferBits_; }
  void SetAccumBufferBits(int value);
  TGLContextPlaneLayer Layer() const { return layer_; }
  int RenderDPI() const { return renderDPI_; }
  const TMatrix4f& BaseProjectionMatrix() const { return baseProjectionMatrix_; }
  const TVector4f& CameraPosition() const { return cameraPosition_; }

  // ---- Events ----
  TNotifyEvent OnChange;
  TNotifyEvent OnStructuralChange;
  // Before a context is made, after its request was filled in.
  TNotifyEvent OnPrepareContext;
  TNotifyEvent BeforeRender;
  // At the start of every frame that is not printed (the viewer sets its vertical sync here).
  TNotifyEvent OnFrameSetup;
  TNotifyEvent PostRender;
  TNotifyEvent AfterRender;
  TDirectRenderEvent InitiateRendering;
  TDirectRenderEvent WrapUpRendering;

  // The high-resolution counter the frame timing reads (ReadPerformanceCounter unless set).
  std::function<int64_t()> PerformanceCounter;

 private:
  int64_t ReadCounter() const;
  void FillRenderContextInfo(TRenderContextInfo& rci, TGL3DScene* scene, int width, int height,
                             TDrawState drawMode);
  void FinishFrameTiming(int64_t t0);
  void RenderFrame(TGLBaseSceneObject* baseObject, int64_t t0);

  std::unique_ptr<TGLContext> context_;
  std::unique_ptr<TPersistentObjectList> afterRenderEffects_;
  std::vector<TMatrix4f> viewMatrixStack_;
  std::vector<TMatrix4f> projectionMatrixStack_;
  TMatrix4f baseProjectionMatrix_ = IdentityMatrix4f;
  TVector4f cameraPosition_{0, 0, 0, 1};
  TRectangle viewport_{0, 0, 0, 0};
  bool faceCulling_ = true;
  bool fogEnable_ = false;
  bool lighting_ = true;
  bool depthTest_ = true;
  int32_t backgroundColor_;
  float backgroundAlpha_ = 1;
  std::unique_ptr<TGLColor> ambientColor_;
  TGLAntiAliasing antiAliasing_ = aaDefault;
  TGLDepthPrecision depthPrecision_ = dpDefault;
  TGLColorDepth colorDepth_ = cdDefault;
  TContextOptions contextOptions_ = kDefaultContextOptions;
  TGLShadeModel shadeModel_ = smDefault;
  int renderDPI_ = 96;
  std::unique_ptr<TGLFogEnvironment> fogEnvironment_;
  int accumBufferBits_ = 0;
  TGLContextPlaneLayer layer_ = plMainPlane;
  TGLCamera* camera_ = nullptr;
  int frameCount_ = 0;
  float framesPerSecond_ = 0;
  int64_t firstFrameTime_ = 0;
  float lastFrameTime_ = 0;
  bool rendering_ = false;
};

}  // namespace gl3d
