// The EGL context on a real driver (Mesa llvmpipe headless in CI). A missing display fails.
#include <EGL/egl.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "Watchdog.h"
#include "common/MainThreadQueue.h"
#include "scene3d/gl/GLContextManager.h"
#include "scene3d/gl/GLEGLContext.h"
#include "scene3d/gl/GLLog.h"
#include "scene3d/gl/GLStateCache.h"

using namespace gl3d;

using gl3d::test::WithWatchdog;

namespace {

std::unique_ptr<TGLEGLContext> MakeContext(TGLEGLOutput* out = nullptr) {
  auto c = std::make_unique<TGLEGLContext>();
  c->SetDepthBits(24);
  c->CreateContext(out);
  return c;
}

}  // namespace

TEST(GLEGLContext, DisplayExists) { ASSERT_NE(TGLEGLContext::Display(), EGL_NO_DISPLAY); }

TEST(GLEGLContext, VersionFlagsAndGatedEntries) {
  auto c = MakeContext();
  c->Activate();
  TGLExtensionsAndEntryPoints& gl = c->GL();
  EXPECT_TRUE(gl.Initialized());
  EXPECT_TRUE(gl.VERSION_2_1);
  EXPECT_TRUE(gl.VERSION_3_0);  // Mesa offers 3.0 or later in the compatibility profile
  EXPECT_TRUE(gl.ARB_multitexture);
  EXPECT_TRUE(gl.ARB_vertex_buffer_object);
  // The driver answers any name, yet an entry it lacks is the stub.
  EXPECT_NE(eglGetProcAddress("glGenPathsNV"), nullptr);
  EXPECT_FALSE(gl.NV_path_rendering);
  EXPECT_THROW(gl.GenPathsNV(1), EAbort);
  // Real calls go through.
  gl.ClearError();
  GLint max = 0;
  gl.GetIntegerv(GL_MAX_TEXTURE_SIZE, &max);
  EXPECT_GT(max, 0);
  EXPECT_EQ(c->GLStates().GetMaxTextureSize(), max);
  EXPECT_EQ(gl.GetError(), GLenum(GL_NO_ERROR));
  // 8-8-8-8 colour
  GLint bits[4] = {};
  gl.GetIntegerv(GL_RED_BITS, &bits[0]);
  gl.GetIntegerv(GL_GREEN_BITS, &bits[1]);
  gl.GetIntegerv(GL_BLUE_BITS, &bits[2]);
  gl.GetIntegerv(GL_ALPHA_BITS, &bits[3]);
  EXPECT_EQ(bits[0], 8);
  EXPECT_EQ(bits[1], 8);
  EXPECT_EQ(bits[2], 8);
  EXPECT_EQ(bits[3], 8);
  c->Deactivate();
  EXPECT_EQ(eglGetCurrentContext(), nullptr);
}

TEST(GLEGLContext, TexturesAreSharedAndHandlesRestoreTheCurrentContext) {
  auto a = MakeContext();
  auto b = std::make_unique<TGLEGLContext>();
  b->ShareLists(a.get());  // before creation: B is made sharing with A
  b->CreateContext(nullptr);
  ASSERT_EQ(b->ShareList().size(), 2u);

  TGLTextureHandle tex;
  a->Activate();
  GLuint name = tex.AllocateHandle();
  ASSERT_NE(name, 0u);
  a->GL().BindTexture(GL_TEXTURE_2D, name);
  const uint8_t px[4] = {10, 20, 30, 40};
  a->GL().TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, px);
  a->GL().Finish();
  a->Deactivate();

  b->Activate();
  EXPECT_EQ(tex.AllocateHandle(), name);
  EXPECT_TRUE(b->GL().IsTexture(name));
  uint8_t back[4] = {};
  b->GL().BindTexture(GL_TEXTURE_2D, name);
  b->GL().GetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, back);
  EXPECT_EQ(back[2], 30);
  // DestroyHandle activates each owner in turn and leaves B current again.
  tex.DestroyHandle();
  EXPECT_EQ(CurrentGLContext(), b.get());
  EXPECT_EQ(eglGetCurrentContext(), b->NativeContext());
  EXPECT_FALSE(b->GL().IsTexture(name));
  b->Deactivate();
}

TEST(GLEGLContext, SwapHandsTheFrameToTheOutput) {
  TGLEGLOutput out;
  out.Width = 4;
  out.Height = 2;
  std::vector<uint8_t> frame;
  out.OnFrame = [&frame](const uint8_t* p, int w, int h) { frame.assign(p, p + w * h * 4); };
  auto c = std::make_unique<TGLEGLContext>();
  c->SetOptions(ContextOption(cfDoubleBuffer));
  c->CreateContext(&out);
  c->Activate();
  c->GLStates().SetColorClearValue({1, 0, 0, 1});
  c->GL().Clear(GL_COLOR_BUFFER_BIT);
  c->SwapBuffers();
  c->Deactivate();
  ASSERT_EQ(frame.size(), 4u * 2 * 4);
  EXPECT_EQ(frame[0], 255);
  EXPECT_EQ(frame[1], 0);
  EXPECT_EQ(frame[3], 255);
}

TEST(GLEGLContext, ResizeKeepsTheContextsObjectsAndSwapsFramesOfTheNewSize) {
  TGLEGLOutput out;
  out.Width = 4;
  out.Height = 2;
  int frameWidth = 0, frameHeight = 0;
  uint8_t firstRed = 0;
  out.OnFrame = [&](const uint8_t* p, int w, int h) {
    frameWidth = w;
    frameHeight = h;
    firstRed = p[0];
  };
  auto c = std::make_unique<TGLEGLContext>();
  c->SetOptions(ContextOption(cfDoubleBuffer));
  c->CreateContext(&out);
  c->Activate();
  GLuint texture = 0;
  c->GL().GenTextures(1, &texture);
  c->GL().BindTexture(GL_TEXTURE_2D, texture);
  c->Resize(30, 20);
  c->GL().Viewport(0, 0, 30, 20);
  c->GLStates().SetColorClearValue({1, 0, 0, 1});
  c->GL().Clear(GL_COLOR_BUFFER_BIT);
  c->SwapBuffers();
  EXPECT_TRUE(c->GL().IsTexture(texture));
  c->Deactivate();
  EXPECT_EQ(frameWidth, 30);
  EXPECT_EQ(frameHeight, 20);
  EXPECT_EQ(firstRed, 255);
  EXPECT_EQ(out.Width, 30);
  EXPECT_EQ(out.Height, 20);
  EXPECT_FALSE(c->GetActive());
  c->Resize(0, -4);  // at least one pixel
  EXPECT_EQ(c->Width(), 1);
  EXPECT_EQ(c->Height(), 1);
}

TEST(GLEGLContext, RequestsNoConfigOffersFallBackWithALogLine) {
  static std::vector<std::string> lines;
  lines.clear();
  gllog::SetObserver(
      [](gllog::TLevel level, std::string_view text, void*) {
        if (level == gllog::lvWarning && text.rfind("No ", 0) == 0) lines.emplace_back(text);
      },
      nullptr);
  auto c = std::make_unique<TGLEGLContext>();
  c->SetOptions(ContextOption(cfStereo));
  c->SetColorBits(128);
  c->SetAccumBits(32);
  c->SetAuxBuffers(2);
  c->SetLayer(plOverlay1);
  c->CreateContext(nullptr);
  gllog::SetObserver(nullptr, nullptr);
  EXPECT_TRUE(c->IsValid());
  EXPECT_EQ(lines.size(), 5u);
  c->Activate();
  GLint red = 0;
  c->GL().GetIntegerv(GL_RED_BITS, &red);
  c->Deactivate();
  EXPECT_EQ(red, 8);
}

TEST(GLEGLContext, ServiceContextStartsSharesAndShutsDown) {
  common::TMainThreadQueue::Instance().SetMainThread();
  GLContextStartup();
  WithWatchdog(std::chrono::seconds(30), [] { GLContextManager().CreateServiceContext(); });
  TGLContext* service = GetServiceContext();
  ASSERT_NE(service, nullptr);
  ASSERT_TRUE(service->IsValid());
  EXPECT_EQ(service->Acceleration(), hmSoftware);  // llvmpipe demotes the hardware request
  {
    auto viewer = MakeContext();
    EXPECT_EQ(viewer->ShareList().size(), 2u);
    // an object made on the service thread is seen by the viewer's context
    GLuint made = 0;
    WithWatchdog(std::chrono::seconds(30), [&made] {
      QueueServiceContextTask(nullptr, [&made] {
        CurrentGLEntryPoints().GenTextures(1, &made);
        CurrentGLEntryPoints().BindTexture(GL_TEXTURE_2D, made);
        CurrentGLEntryPoints().Finish();
      });
    });
    ASSERT_NE(made, 0u);
    viewer->Activate();
    EXPECT_TRUE(viewer->GL().IsTexture(made));
    viewer->Deactivate();
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(150));  // the thread now waits on the main thread
  WithWatchdog(std::chrono::seconds(30), [] { GLContextShutdown(); });
  EXPECT_EQ(GetServiceContext(), nullptr);
}
