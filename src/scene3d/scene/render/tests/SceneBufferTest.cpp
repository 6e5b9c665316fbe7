// The render buffer without a driver: the recording table stands in for OpenGL. Settings and the
// notices they send, the context request, the forced start state of a frame, the clear mask,
// the frame's timing, the matrix-stack checks, the camera rules, and the off-screen viewers'
// sizes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Exception.h"
#include "scene3d/gl/GLContextManager.h"
#include "scene3d/gl/GLRecordingContext.h"
#include "scene3d/gl/GLRecordingFunctions.h"
#include "scene3d/gl/GLStateCache.h"
#include "scene3d/scene/Scene3dScene.h"
#include "scene3d/scene/render/GL3DSceneBuffer.h"
#include "scene3d/scene/render/GLNonVisualViewer.h"

using namespace gl3d;

namespace {

// A context class whose creation fails, as a driver without a usable config does.
class TFailingContext : public TGLRecordingContext {
 public:
  static std::unique_ptr<TGLContext> Create() { return std::make_unique<TFailingContext>(); }

 protected:
  void DoCreateContext(TGLOutputDevice) override { throw EGLContext("no config"); }
};

std::string ExceptionText(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

class SceneBuffer : public ::testing::Test {
 protected:
  void SetUp() override {
    Scene3dSceneStartup();
    RegisterGLContextClass(&TGLRecordingContext::Create);
    scene = new TGL3DScene(&form);
    camera = scene->Objects()->AddNewChild<TGLCamera>();
    buffer.OnChange = [this](TObject*) { ++changes; };
    buffer.OnStructuralChange = [this](TObject*) { ++structuralChanges; };
  }
  void TearDown() override { buffer.DestroyRenderingContext(); }

  // A context of the registered class for the buffer, 64 x 32.
  void MakeContext() {
    buffer.SetViewPort(0, 0, 64, 32);
    buffer.CreateRenderingContext(nullptr, false, 1);
    rec.Clear();
  }
  // The recorded calls with the given name, as text.
  std::vector<std::string> CallsNamed(std::string_view name) const {
    std::vector<std::string> out;
    for (const TGLRecordedCall& c : rec.Calls)
      if (c.Name == name) out.push_back(c.Text());
    return out;
  }

  TGLCallRecorder rec;
  TComponent form{nullptr};
  TGL3DScene* scene = nullptr;
  TGLCamera* camera = nullptr;
  TGL3DSceneBuffer buffer{nullptr};
  int changes = 0;
  int structuralChanges = 0;
};

}  // namespace

TEST_F(SceneBuffer, SettingsNotifyOnlyWhenChangedAndContextShapingOnesAskForANewContext) {
  EXPECT_EQ(buffer.BackgroundColor(), clBtnFace);
  EXPECT_EQ(buffer.ContextOptions(), kDefaultContextOptions);
  EXPECT_FLOAT_EQ(buffer.AmbientColor()->Red(), 0.2f);
  struct Case {
    const char* name;
    std::function<void()> change;
    int changes, structural;
  };
  const std::vector<Case> cases = {
      {"BackgroundColor", [&] { buffer.SetBackgroundColor(clGray); }, 1, 0},
      {"BackgroundColor again", [&] { buffer.SetBackgroundColor(clGray); }, 0, 0},
      {"DepthTest", [&] { buffer.SetDepthTest(false); }, 1, 0},
      {"FaceCulling", [&] { buffer.SetFaceCulling(false); }, 1, 0},
      {"Lighting", [&] { buffer.SetLighting(false); }, 1, 0},
      {"Lighting again", [&] { buffer.SetLighting(false); }, 0, 0},
      {"FogEnable", [&] { buffer.SetFogEnable(true); }, 1, 0},
      {"ShadeModel", [&] { buffer.SetShadeModel(smFlat); }, 1, 0},
      // A colour tells an update-able owner twice (its interface, then the propagation).
      {"AmbientColor", [&] { buffer.AmbientColor()->SetRed(0.5f); }, 2, 0},
      {"AntiAliasing", [&] { buffer.SetAntiAliasing(aa4x); }, 0, 1},
      {"AntiAliasing again", [&] { buffer.SetAntiAliasing(aa4x); }, 0, 0},
      {"DepthPrecision", [&] { buffer.SetDepthPrecision(dp16bits); }, 0, 1},
      {"ColorDepth", [&] { buffer.SetColorDepth(cd16bits); }, 0, 1},
      {"AccumBufferBits", [&] { buffer.SetAccumBufferBits(32); }, 0, 1},
      {"ContextOptions", [&] { buffer.SetContextOptions(ContextOptionBit(roStencilBuffer)); }, 0, 1},
  };
  for (const Case& c : cases) {
    changes = structuralChanges = 0;
    c.change();
    EXPECT_EQ(changes, c.changes) << c.name;
    EXPECT_EQ(structuralChanges, c.structural) << c.name;
  }
}

TEST_F(SceneBuffer, StructuralChangeIsSilentWhileTheOwnerLoads) {
  TComponent owner(nullptr);
  TGL3DSceneBuffer owned(&owner);
  int structural = 0;
  owned.OnStructuralChange = [&](TObject*) { ++structural; };
  owner.Loading();
  owned.SetAntiAliasing(aaNone);
  EXPECT_EQ(structural, 0);
  owner.Loaded();
  owned.SetAntiAliasing(aa2x);
  EXPECT_EQ(structural, 1);
}

TEST_F(SceneBuffer, ContextRequestFollowsTheOptions) {
  struct Case {
    TContextOptions options;
    TGLColorDepth colorDepth;
    TGLDepthPrecision depth;
    int colorBits, depthBits, stencilBits, alphaBits;
    TGLContextOptions flags;
    TGLContextHardwareMode acceleration;
    bool forward;
  };
  const Case cases[] = {
      {kDefaultContextOptions, cdDefault, dpDefault, 24, 24, 0, 0,
       ContextOption(cfDoubleBuffer) | ContextOption(cfDebug), hmHardware, false},
      {ContextOptionBit(roSoftwareMode) | ContextOptionBit(roStencilBuffer) |
           ContextOptionBit(roDestinationAlpha),
       cdFloat128bits, dp32bits, 128, 32, 8, 8, 0, hmSoftware, false},
      {ContextOptionBit(roNoColorBuffer) | ContextOptionBit(roStereo) |
           ContextOptionBit(roOpenGL_ES2_Context),
       cd8bits, dp16bits, 0, 16, 0, 0, ContextOption(cfStereo) | ContextOption(cfOpenGLES2), hmHardware,
       false},
      {ContextOptionBit(roForwardContext), cd16bits, dp24bits, 16, 24, 0, 0, 0, hmHardware, true},
  };
  for (const Case& c : cases) {
    TGL3DSceneBuffer b(nullptr);
    b.SetContextOptions(c.options);
    b.SetColorDepth(c.colorDepth);
    b.SetDepthPrecision(c.depth);
    b.SetAccumBufferBits(16);
    b.SetAntiAliasing(aa2x);
    int prepared = 0;
    b.OnPrepareContext = [&](TObject*) { ++prepared; };
    TGLRecordingContext context;
    b.ApplyContextOptions(context);
    SCOPED_TRACE(c.options);
    EXPECT_EQ(context.ColorBits(), c.colorBits);
    EXPECT_EQ(context.DepthBits(), c.depthBits);
    EXPECT_EQ(context.StencilBits(), c.stencilBits);
    EXPECT_EQ(context.AlphaBits(), c.alphaBits);
    EXPECT_EQ(context.AccumBits(), 16);
    EXPECT_EQ(context.AntiAliasing(), aa2x);
    EXPECT_EQ(context.Options(), c.flags);
    EXPECT_EQ(context.Acceleration(), c.acceleration);
    EXPECT_EQ(context.GLStates().ForwardContext(), c.forward);
    EXPECT_EQ(prepared, 1);
  }
}

TEST_F(SceneBuffer, ViewportKeepsAtLeastOnePixelAndReachesTheContext) {
  buffer.SetViewPort(3, 4, 0, -5);
  EXPECT_EQ(buffer.ViewPort().Width, 1);
  EXPECT_EQ(buffer.ViewPort().Height, 1);
  MakeContext();
  buffer.SetViewPort(0, 0, 0, 20);
  EXPECT_EQ(CallsNamed("Viewport"), std::vector<std::string>{"Viewport(0, 0, 1, 20)"});
  EXPECT_FALSE(buffer.RenderingContext()->GetActive());
}

TEST_F(SceneBuffer, SetupForcesTheFrameCapabilitiesEveryFrame) {
  MakeContext();
  // A 5-6-5 buffer wants dithering; an 8-bit one does not.
  int blueBits = 5;
  rec.OnCall = [&](const TGLRecordedCall& call) {
    if (call.Name == "GetIntegerv" && call.Args[0].I == GL_BLUE_BITS)
      *static_cast<GLint*>(const_cast<void*>(call.Args[1].P)) = blueBits;
    return TGLArgValue{};
  };
  TGLContext& context = *buffer.RenderingContext();
  context.Activate();
  buffer.SetupRenderingContext(context);
  const std::string first = rec.Log();
  EXPECT_NE(first.find("ShadeModel(7425)"), std::string::npos) << first;  // GL_SMOOTH
  EXPECT_NE(first.find("Enable(3024)"), std::string::npos) << first;      // GL_DITHER
  rec.Clear();
  blueBits = 8;
  buffer.SetupRenderingContext(context);
  // The second set-up sends the forced capabilities again, but not what the cache holds.
  EXPECT_EQ(CallsNamed("Enable"), (std::vector<std::string>{"Enable(2929)", "Enable(2884)",
                                                            "Enable(2896)"}));  // depth, cull, lighting
  EXPECT_EQ(CallsNamed("Disable"),
            (std::vector<std::string>{"Disable(2912)", "Disable(3024)"}));  // fog, dither
  context.Deactivate();
}

TEST_F(SceneBuffer, UnknownShadeModelFailsAnAssertion) {
  MakeContext();
  buffer.SetShadeModel(static_cast<TGLShadeModel>(7));
  TGLContext& context = *buffer.RenderingContext();
  context.Activate();
  EXPECT_EQ(ExceptionText([&] { buffer.SetupRenderingContext(context); }), "Error: Unknown type!");
  context.Deactivate();
}

TEST_F(SceneBuffer, ClearMaskFollowsTheOptions) {
  MakeContext();
  struct Case {
    TContextOptions options;
    const char* clear;
  };
  const Case cases[] = {
      {0, "Clear(16640)"},                                       // depth + colour
      {ContextOptionBit(roStencilBuffer), "Clear(17664)"},       // + stencil
      {ContextOptionBit(roNoDepthBufferClear), "Clear(16384)"},  // colour only
      {ContextOptionBit(roNoColorBufferClear), "Clear(256)"},    // depth only
      {ContextOptionBit(roNoColorBuffer) | ContextOptionBit(roNoDepthBufferClear), "Clear(0)"},
  };
  TGLContext& context = *buffer.RenderingContext();
  context.Activate();
  for (const Case& c : cases) {
    buffer.SetContextOptions(c.options);
    rec.Clear();
    buffer.ClearBuffers();
    EXPECT_EQ(CallsNamed("Clear"), std::vector<std::string>{c.clear}) << c.options;
  }
  context.Deactivate();
}

TEST_F(SceneBuffer, FrameRateCountsFromTheFirstFrameWithTheInjectedCounter) {
  ASSERT_GT(CounterFrequency(), 0);
  const double f = static_cast<double>(CounterFrequency());
  MakeContext();
  // Per frame: t0, (first frame only) the first-frame time, then t1.
  std::vector<int64_t> ticks = {1000, 1100, 1000 + static_cast<int64_t>(f / 10), 2000,
                                1100 + static_cast<int64_t>(f / 4)};
  size_t next = 0;
  buffer.PerformanceCounter = [&] { return ticks.at(next++); };
  buffer.Render();
  EXPECT_EQ(buffer.FrameCount(), 1);
  EXPECT_NEAR(buffer.FramesPerSecond(), f / (ticks[2] - 1100), 1e-3);
  EXPECT_NEAR(buffer.LastFrameTime(), 0.1, 1e-6);
  buffer.Render();
  EXPECT_EQ(buffer.FrameCount(), 2);
  EXPECT_NEAR(buffer.FramesPerSecond(), 2 * f / (ticks[4] - 1100), 1e-3);  // 8 frames a second
  buffer.ResetPerformanceMonitor();
  EXPECT_EQ(buffer.FrameCount(), 0);
  EXPECT_EQ(buffer.FramesPerSecond(), 0);
}

TEST_F(SceneBuffer, NoticesAreSilentDuringAFrameAndReentrantFramesAreIgnored) {
  buffer.SetCamera(camera);
  MakeContext();
  changes = 0;
  int frames = 0;
  buffer.BeforeRender = [&](TObject*) {
    ++frames;
    buffer.SetBackgroundColor(buffer.BackgroundColor() + 1);  // a setting
    camera->Position()->SetPoint(0, 0, 10);                   // a scene change
    buffer.Render();                                          // a paint inside the frame
  };
  buffer.Render();
  EXPECT_EQ(frames, 1);
  EXPECT_EQ(buffer.FrameCount(), 1);
  EXPECT_EQ(changes, 0);
  EXPECT_FALSE(buffer.Rendering());
  camera->Position()->SetPoint(0, 0, 11);
  EXPECT_EQ(changes, 1);
}

TEST_F(SceneBuffer, UnbalancedMatrixStacksFailTheFrame) {
  MakeContext();
  struct Case {
    std::function<void()> push;
    const char* text;
  };
  const Case cases[] = {
      {[&] { buffer.PushViewMatrix(IdentityMatrix4f); }, "Unbalance Push/PopViewMatrix."},
      {[&] { buffer.PushProjectionMatrix(IdentityMatrix4f); }, "Unbalance Push/PopProjectionMatrix."},
  };
  for (const Case& c : cases) {
    buffer.PostRender = [&](TObject*) { c.push(); };
    EXPECT_EQ(ExceptionText([&] { buffer.Render(); }), c.text);
    // The frame left the context inactive and the buffer ready for the next one.
    EXPECT_FALSE(buffer.RenderingContext()->GetActive());
    EXPECT_FALSE(buffer.Rendering());
    buffer.PostRender = nullptr;
    buffer.RenderingContext()->Activate();
    if (std::string(c.text).find("View") != std::string::npos)
      buffer.PopViewMatrix();
    else
      buffer.PopProjectionMatrix();
    buffer.RenderingContext()->Deactivate();
    EXPECT_NO_THROW(buffer.Render());
  }
}

TEST_F(SceneBuffer, CameraMustBelongToASceneAndSwitchingLeavesTheOldScene) {
  TGLCamera loose(nullptr);
  buffer.SetCamera(&loose);
  EXPECT_EQ(buffer.Camera(), nullptr);
  changes = 0;
  buffer.SetCamera(camera);
  EXPECT_EQ(buffer.Camera(), camera);
  EXPECT_EQ(changes, 1);
  MakeContext();
  buffer.Render();
  ASSERT_NE(scene->Buffers(), nullptr);
  EXPECT_EQ(scene->BaseContext(), buffer.RenderingContext());

  auto* other = new TGL3DScene(&form);
  auto* otherCamera = other->Objects()->AddNewChild<TGLCamera>();
  buffer.SetCamera(otherCamera);
  EXPECT_EQ(scene->Buffers(), nullptr);
  EXPECT_EQ(scene->BaseContext(), nullptr);
  buffer.DestroyRenderingContext();
  EXPECT_EQ(other->Buffers(), nullptr);
}

TEST_F(SceneBuffer, AFreedBufferLeavesItsSceneAfterItsCameraLeftIt) {
  // Each way the camera can leave the scene while the buffer is listed there; then the buffer
  // goes, and the scene's next change must reach no buffer.
  const struct {
    const char* what;
    void (*leave)(TGLCamera& camera, TGL3DScene& other);
  } ways[] = {
      {"taken out of the tree", [](TGLCamera& camera, TGL3DScene&) { camera.MoveTo(nullptr); }},
      {"moved into another scene",
       [](TGLCamera& camera, TGL3DScene& other) { camera.MoveTo(other.Objects()); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.what);
    auto* cam = scene->Objects()->AddNewChild<TGLCamera>();
    auto* other = new TGL3DScene(&form);
    int heard = 0;
    {
      TGL3DSceneBuffer listed(nullptr);
      listed.OnChange = [&heard](TObject*) { ++heard; };
      listed.SetCamera(cam);
      listed.SetViewPort(0, 0, 8, 8);
      listed.CreateRenderingContext(nullptr, false, 1);
      ASSERT_EQ(listed.ListedScene(), scene);
      way.leave(*cam, *other);
      heard = 0;
      scene->NotifyChange(nullptr);
      EXPECT_EQ(heard, 1) << "still listed until it goes";
      if (cam->Scene() == other) {
        // Its next frame moves it to the camera's new scene.
        listed.Render();
        EXPECT_EQ(listed.ListedScene(), other);
        EXPECT_EQ(scene->Buffers(), nullptr);
        EXPECT_EQ(other->Buffers()->Count(), 1);
      }
    }
    heard = 0;
    EXPECT_EQ(scene->Buffers(), nullptr);
    EXPECT_EQ(other->Buffers(), nullptr);
    scene->NotifyChange(nullptr);
    other->NotifyChange(nullptr);
    EXPECT_EQ(heard, 0);
    delete cam;
    delete other;
  }
  // A scene freed before its buffer: the buffer forgets it.
  auto* doomed = new TGL3DScene(&form);
  buffer.SetCamera(doomed->Objects()->AddNewChild<TGLCamera>());
  MakeContext();
  ASSERT_EQ(buffer.ListedScene(), doomed);
  delete doomed;
  EXPECT_EQ(buffer.ListedScene(), nullptr);
}

TEST_F(SceneBuffer, FailedContextCreationLeavesNoContextInTheScene) {
  buffer.SetCamera(camera);
  RegisterGLContextClass(&TFailingContext::Create);
  EXPECT_EQ(ExceptionText([&] { buffer.CreateRenderingContext(nullptr, false, 1); }), "no config");
  EXPECT_FALSE(buffer.HasRenderingContext());
  EXPECT_FALSE(buffer.Rendering());
  // The scene forgot the buffer and the half-made context with it.
  EXPECT_EQ(scene->Buffers(), nullptr);
  EXPECT_EQ(scene->BaseContext(), nullptr);
  RegisterGLContextClass(&TGLRecordingContext::Create);
  EXPECT_NO_THROW(MakeContext());
}

TEST_F(SceneBuffer, LimitsComeFromTheDriver) {
  MakeContext();
  rec.OnCall = [](const TGLRecordedCall& call) {
    if (call.Name == "GetDoublev") {
      auto* d = static_cast<GLdouble*>(const_cast<void*>(call.Args[1].P));
      d[0] = 8192;
      d[1] = 16383.6;
    }
    if (call.Name == "GetIntegerv") *static_cast<GLint*>(const_cast<void*>(call.Args[1].P)) = 42;
    return TGLArgValue{};
  };
  TGLContext& context = *buffer.RenderingContext();
  context.Activate();
  EXPECT_EQ(buffer.GetLimit(limViewportDims), 16384);
  EXPECT_EQ(buffer.GetLimit(limLights), 42);
  EXPECT_EQ(CallsNamed("GetIntegerv").back(), "GetIntegerv(3377, ptr)");  // GL_MAX_LIGHTS
  EXPECT_EQ(buffer.GetLimit(limNbTextureUnits), 42);
  context.GL().ARB_multitexture = false;
  EXPECT_EQ(buffer.GetLimit(limNbTextureUnits), 1);
  EXPECT_EQ(buffer.GetLimit(static_cast<TLimitType>(99)), 0);
  context.Deactivate();
}

TEST(OffscreenViewer, SizesAndBufferCountAreKeptInRangeAndDropTheContext) {
  RegisterGLContextClass(&TGLRecordingContext::Create);
  TComponent form(nullptr);
  auto* viewer = new TGLMemoryViewer(&form);
  EXPECT_EQ(viewer->Width(), 256);
  EXPECT_EQ(viewer->Height(), 256);
  EXPECT_EQ(viewer->BufferCount(), 1);
  viewer->InitializeRenderingContext();
  ASSERT_TRUE(viewer->Buffer()->HasRenderingContext());
  EXPECT_EQ(viewer->Buffer()->ViewPort().Width, 256);
  struct Case {
    const char* name;
    std::function<void()> change;
    int width, height, bufferCount;
    bool dropped;
  };
  const Case cases[] = {
      {"Width 0", [&] { viewer->SetWidth(0); }, 1, 256, 1, true},
      {"Height -3", [&] { viewer->SetHeight(-3); }, 1, 1, 1, true},
      {"Height again", [&] { viewer->SetHeight(0); }, 1, 1, 1, false},
      {"BufferCount 9", [&] { viewer->SetBufferCount(9); }, 1, 1, 4, true},
      {"BufferCount 5", [&] { viewer->SetBufferCount(5); }, 1, 1, 4, false},
      {"BufferCount 0", [&] { viewer->SetBufferCount(0); }, 1, 1, 1, true},
  };
  for (const Case& c : cases) {
    viewer->InitializeRenderingContext();
    c.change();
    EXPECT_EQ(viewer->Width(), c.width) << c.name;
    EXPECT_EQ(viewer->Height(), c.height) << c.name;
    EXPECT_EQ(viewer->BufferCount(), c.bufferCount) << c.name;
    EXPECT_EQ(!viewer->Buffer()->HasRenderingContext(), c.dropped) << c.name;
  }
}

TEST(OffscreenViewer, AFreedCameraIsCleared) {
  TComponent form(nullptr);
  auto* scene = new TGL3DScene(&form);
  auto* camera = scene->Objects()->AddNewChild<TGLCamera>();
  auto* viewer = new TGLMemoryViewer(&form);
  viewer->SetCamera(camera);
  ASSERT_EQ(viewer->Camera(), camera);
  delete camera;
  EXPECT_EQ(viewer->Camera(), nullptr);
}
