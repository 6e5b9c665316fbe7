// The render loop on a real driver (Mesa through EGL, headless): the clear of an empty scene,
// the swap that hands the frame over (or not), a whole frame against the same picture drawn by
// bare GL calls, the memory viewer with its colour buffers and its copies into textures, and the
// driver's limits. A missing EGL display fails.
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "scene3d/gl/GLContextManager.h"
#include "scene3d/gl/GLEGLContext.h"
#include "scene3d/gl/GLStateCache.h"
#include "scene3d/scene/Scene3dScene.h"
#include "scene3d/scene/render/GL3DSceneBuffer.h"
#include "scene3d/scene/render/GLNonVisualViewer.h"
#include "scene3d/scene/render/tests/gl/BareCameraFrame.h"

using namespace gl3d;

namespace {

using TFrame = std::vector<uint8_t>;

class RenderLoopOnMesa : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(TGLEGLContext::Display(), EGL_NO_DISPLAY) << "no EGL display";
    Scene3dSceneStartup();
    GLContextStartup();
  }

  // A buffer with a window-like context of w x h whose swapped frames land in `frames`.
  void MakeBuffer(TGL3DSceneBuffer& buffer, int w, int h) {
    output.Width = w;
    output.Height = h;
    output.OnFrame = [this](const uint8_t* p, int fw, int fh) {
      frames.emplace_back(p, p + static_cast<size_t>(fw) * fh * 4);
    };
    buffer.SetViewPort(0, 0, w, h);
    buffer.CreateRenderingContext(&output, false, 1);
  }

  // The current read buffer's w x h RGBA pixels of the context.
  static TFrame ReadBack(TGLContext& context, int w, int h) {
    TFrame pixels(static_cast<size_t>(w) * h * 4);
    context.Activate();
    context.GL().ReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    context.Deactivate();
    return pixels;
  }

  static void ExpectEveryPixel(const TFrame& frame, uint8_t r, uint8_t g, uint8_t b, uint8_t a,
                               const char* what) {
    ASSERT_FALSE(frame.empty()) << what;
    int wrong = 0;
    for (size_t i = 0; i < frame.size(); i += 4)
      if (frame[i] != r || frame[i + 1] != g || frame[i + 2] != b || frame[i + 3] != a) ++wrong;
    EXPECT_EQ(wrong, 0) << what << ": first pixel " << int(frame[0]) << " " << int(frame[1]) << " "
                        << int(frame[2]) << " " << int(frame[3]);
  }

  TGLEGLOutput output;
  std::vector<TFrame> frames;
};

// Draws a quad of one colour across (-0.5, -0.5) to (0.5, 0.5) at z = 0, facing +z.
class TQuad : public TGLBaseSceneObject {
 public:
  explicit TQuad(TComponent* owner) : TGLBaseSceneObject(owner) {}
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TQuad>; }
  void BuildList(TRenderContextInfo&) override { DrawQuad(CurrentGLEntryPoints()); }
  static void DrawQuad(TGLExtensionsAndEntryPoints& gl) {
    gl.Color3ub(200, 50, 25);
    gl.Begin(GL_QUADS);
    gl.Vertex3f(-0.5f, -0.5f, 0);
    gl.Vertex3f(0.5f, -0.5f, 0);
    gl.Vertex3f(0.5f, 0.5f, 0);
    gl.Vertex3f(-0.5f, 0.5f, 0);
    gl.End();
  }
};

}  // namespace

TEST_F(RenderLoopOnMesa, EmptySceneClearsToTheBackgroundWithTheFrameAlpha) {
  struct Case {
    float alpha;
    uint8_t frameAlpha;
  };
  for (const Case c : {Case{1.0f, 255}, Case{0.5f, 128}}) {
    TGL3DSceneBuffer buffer(nullptr);
    buffer.SetBackgroundColor(clGray);
    buffer.SetBackgroundAlpha(c.alpha);
    frames.clear();
    MakeBuffer(buffer, 16, 8);
    // The clear colour set with the context is opaque whatever the frame's alpha.
    GLfloat clear[4];
    TGLContext& context = *buffer.RenderingContext();
    context.Activate();
    context.GL().GetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    context.Deactivate();
    EXPECT_FLOAT_EQ(clear[3], 1.0f);
    buffer.Render();
    ASSERT_EQ(frames.size(), 1u);
    ExpectEveryPixel(frames[0], 128, 128, 128, c.frameAlpha, "frame");
  }
}

TEST_F(RenderLoopOnMesa, NoSwapBuffersHandsOverNoFrameAndKeepsItInTheBackBuffer) {
  TGL3DSceneBuffer buffer(nullptr);
  buffer.SetBackgroundColor(0x204060);
  buffer.SetContextOptions(buffer.ContextOptions() | ContextOptionBit(roNoSwapBuffers));
  MakeBuffer(buffer, 8, 8);
  buffer.Render();
  EXPECT_TRUE(frames.empty());
  EXPECT_EQ(buffer.FrameCount(), 1);
  ExpectEveryPixel(ReadBack(*buffer.RenderingContext(), 8, 8), 0x60, 0x40, 0x20, 255, "back buffer");
}

TEST_F(RenderLoopOnMesa, WholeFrameMatchesBareGlCalls) {
  constexpr int kSize = 128;
  TComponent form(nullptr);
  auto* scene = new TGL3DScene(&form);
  auto* light = scene->Objects()->AddNewChild<TGLLightSource>();
  light->Position()->SetPoint(2, 2, 5);
  auto* quad = scene->Objects()->AddNewChild<TQuad>();
  auto* camera = scene->Objects()->AddNewChild<TGLCamera>();
  camera->Position()->SetPoint(0, 0, 3);
  camera->SetTargetObject(quad);
  TGL3DSceneBuffer buffer(nullptr);
  buffer.SetBackgroundColor(clGray);
  buffer.SetLighting(false);
  buffer.SetCamera(camera);
  MakeBuffer(buffer, kSize, kSize);
  buffer.Render();
  ASSERT_EQ(frames.size(), 1u);

  // The same picture: the camera's frustum at 96 DPI (focal length 50, depth of view 100).
  TGLEGLContext bare;
  bare.SetDepthBits(24);
  bare.CreateContext(nullptr);
  bare.Activate();
  TGLExtensionsAndEntryPoints& gl = bare.GL();
  TFrame expected(static_cast<size_t>(kSize) * kSize * 4);
  gl3d::test::BeginBareCameraFrame(gl, kSize);
  TQuad::DrawQuad(gl);
  gl.ReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, expected.data());
  bare.Deactivate();

  int worst = 0, quadPixels = 0;
  for (size_t i = 0; i < expected.size(); ++i) worst = std::max(worst, std::abs(frames[0][i] - expected[i]));
  for (size_t i = 0; i < expected.size(); i += 4) quadPixels += expected[i] == 200;
  EXPECT_LE(worst, 1);
  EXPECT_GT(quadPixels, kSize * kSize / 8);  // the quad is in the picture
}

TEST_F(RenderLoopOnMesa, MemoryViewerRendersWithoutAWindowAndCopiesIntoATexture) {
  TComponent form(nullptr);
  auto* viewer = new TGLMemoryViewer(&form);
  viewer->SetWidth(64);
  viewer->SetHeight(32);
  viewer->Buffer()->SetBackgroundColor(0x3070B0);
  viewer->Render();
  TGLContext& context = *viewer->Buffer()->RenderingContext();
  const TFrame frame = ReadBack(context, 64, 32);
  ExpectEveryPixel(frame, 0xB0, 0x70, 0x30, 255, "pbuffer");

  TGLTextureHandle texture;
  context.Activate();
  const GLuint name = texture.AllocateHandle();
  context.GL().BindTexture(GL_TEXTURE_2D, name);
  context.GL().TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 64, 32, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  context.Deactivate();
  viewer->CopyToTexture(texture, ttTexture2D);
  TFrame copied(frame.size());
  context.Activate();
  context.GL().BindTexture(GL_TEXTURE_2D, name);
  context.GL().GetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, copied.data());
  EXPECT_EQ(context.GL().GetError(), GLenum(GL_NO_ERROR));
  context.Deactivate();
  EXPECT_EQ(copied, frame);
}

TEST_F(RenderLoopOnMesa, MemoryViewerColourBuffersAreReadOneByOne) {
  TComponent form(nullptr);
  auto* viewer = new TGLMemoryViewer(&form);
  viewer->SetWidth(16);
  viewer->SetHeight(8);
  viewer->SetBufferCount(3);
  viewer->Buffer()->SetBackgroundColor(clGray);
  // After the clear of all three, the second buffer alone is cleared to red.
  viewer->Buffer()->PostRender = [](TObject*) {
    TGLContext* c = CurrentGLContext();
    TGLExtensionsAndEntryPoints& gl = c->GL();
    gl.DrawBuffer(GL_COLOR_ATTACHMENT1);
    c->GLStates().SetColorClearValue({1, 0, 0, 1});
    gl.Clear(GL_COLOR_BUFFER_BIT);
    const GLenum all[] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1, GL_COLOR_ATTACHMENT2};
    gl.DrawBuffers(3, all);
  };
  viewer->Render();
  TGLContext& context = *viewer->Buffer()->RenderingContext();
  ExpectEveryPixel(ReadBack(context, 16, 8), 128, 128, 128, 255, "first buffer");

  auto texel = [&](TGLTextureHandle& texture) {
    TFrame pixels(16 * 8 * 4);
    context.Activate();
    context.GL().BindTexture(GL_TEXTURE_2D, texture.GetHandle());
    context.GL().GetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    context.Deactivate();
    return pixels;
  };
  // A texture without a name goes through memory; one with a name is copied directly.
  TGLTextureHandle fresh, named;
  viewer->CopyToTextureMRT(fresh, ttTexture2D, 1);
  ExpectEveryPixel(texel(fresh), 255, 0, 0, 255, "second buffer through memory");
  viewer->CopyToTextureMRT(named, ttTexture2D, 2);
  viewer->CopyToTextureMRT(named, ttTexture2D, 0);
  ExpectEveryPixel(texel(named), 128, 128, 128, 255, "first buffer directly");
  // The read buffer is the first one again.
  ExpectEveryPixel(ReadBack(context, 16, 8), 128, 128, 128, 255, "first buffer after the copies");
}

TEST_F(RenderLoopOnMesa, LimitsOfTheDriver) {
  TGL3DSceneBuffer buffer(nullptr);
  MakeBuffer(buffer, 4, 4);
  TGLContext& context = *buffer.RenderingContext();
  context.Activate();
  EXPECT_EQ(buffer.GetLimit(limLights), 8);
  EXPECT_EQ(buffer.GetLimit(limRedBits), 8);
  EXPECT_GE(buffer.GetLimit(limDepthBits), 24);
  EXPECT_GE(buffer.GetLimit(limViewportDims), 4096);
  EXPECT_GE(buffer.GetLimit(limNbTextureUnits), 2);
  context.Deactivate();
}
