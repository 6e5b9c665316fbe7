// Materials on a real driver (Mesa through EGL, headless): a whole frame with a camera, a light
// and a textured, transparent quad against the same picture drawn by bare GL calls, and the
// memory viewer's copies into texture objects. A missing EGL display fails.
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "scene3d/gl/GLContextManager.h"
#include "scene3d/gl/GLEGLContext.h"
#include "scene3d/scene/Scene3dScene.h"
#include "scene3d/scene/material/GLCustomSceneObject.h"
#include "scene3d/scene/render/GL3DSceneBuffer.h"
#include "scene3d/scene/render/GLNonVisualViewer.h"
#include "scene3d/scene/render/tests/gl/BareCameraFrame.h"
#include "scene3d/scene/render/tests/gl/SceneFrames.h"
#include "scene3d/scene/texture/GLTextureImage.h"
#include "scene3d/scene/texture/picture/Bitmap.h"

using namespace gl3d;

namespace {

using TFrame = std::vector<uint8_t>;
constexpr int kSize = 128;
constexpr int kTexels = 4;

// The texture's texels, bottom row first, R G B A: colour by position, alpha 255, 160, 60 or 0
// by column.
TFrame Texels() {
  TFrame t;
  const uint8_t alpha[kTexels] = {255, 160, 60, 0};
  for (int y = 0; y < kTexels; ++y)
    for (int x = 0; x < kTexels; ++x) {
      t.push_back(static_cast<uint8_t>(40 + 60 * x));
      t.push_back(static_cast<uint8_t>(220 - 50 * y));
      t.push_back(static_cast<uint8_t>(30 * (x + y)));
      t.push_back(alpha[x]);
    }
  return t;
}

// The same texels as a 32-bit bitmap (B G R A, top row first).
TBitmap TexelBitmap() {
  const TFrame t = Texels();
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf32bit);
  bitmap.SetSize(kTexels, kTexels);
  for (int y = 0; y < kTexels; ++y)
    for (int x = 0; x < kTexels; ++x) {
      const uint8_t* s = &t[4 * ((kTexels - 1 - y) * kTexels + x)];
      uint8_t* d = bitmap.ScanLine(y) + 4 * x;
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
      d[3] = s[3];
    }
  return bitmap;
}

void DrawTexturedQuad(TGLExtensionsAndEntryPoints& gl) {
  gl.Begin(GL_QUADS);
  gl.TexCoord2f(0, 0);
  gl.Vertex3f(-0.5f, -0.5f, 0);
  gl.TexCoord2f(1, 0);
  gl.Vertex3f(0.5f, -0.5f, 0);
  gl.TexCoord2f(1, 1);
  gl.Vertex3f(0.5f, 0.5f, 0);
  gl.TexCoord2f(0, 1);
  gl.Vertex3f(-0.5f, 0.5f, 0);
  gl.End();
}

// A scene object whose geometry is the quad; its material does the rest.
class TTexturedQuad : public TGL3DSceneObject {
 public:
  explicit TTexturedQuad(TComponent* owner) : TGL3DSceneObject(owner) {
    SetObjectStyle(ObjectStyleBit(sfDirectDraw));
  }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TTexturedQuad>; }
  void BuildList(TRenderContextInfo&) override { DrawTexturedQuad(CurrentGLEntryPoints()); }
};

class MaterialOnMesa : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(TGLEGLContext::Display(), EGL_NO_DISPLAY) << "no EGL display";
    Scene3dSceneStartup();
    GLContextStartup();
  }

  static TFrame ReadBack(TGLContext& context, int w, int h) {
    TFrame pixels(static_cast<size_t>(w) * h * 4);
    context.Activate();
    context.GL().ReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    context.Deactivate();
    return pixels;
  }

  // Level 0 of the texture object in the context, as RGBA bytes.
  static TFrame TexImage(TGLContext& context, TGLTexture& texture, int w, int h) {
    TFrame pixels(static_cast<size_t>(w) * h * 4);
    context.Activate();
    context.GL().BindTexture(GL_TEXTURE_2D, texture.TextureHandle().GetHandle());
    context.GL().GetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    context.Deactivate();
    return pixels;
  }
};

// The picture of the whole-frame test drawn by bare calls: gray background, the camera's
// frustum, culling and depth test, the texture modulated by the unlit front diffuse colour,
// blended over the background where its alpha is above 0.
TFrame BareFrame() {
  TGLEGLContext bare;
  bare.SetDepthBits(24);
  bare.CreateContext(nullptr);
  bare.Activate();
  TGLExtensionsAndEntryPoints& gl = bare.GL();
  GLuint texture = 0;
  gl3d::test::BeginBareCameraFrame(gl, kSize);

  const TFrame texels = Texels();
  gl.GenTextures(1, &texture);
  gl.BindTexture(GL_TEXTURE_2D, texture);
  gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kTexels, kTexels, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  gl.Enable(GL_TEXTURE_2D);
  gl.TexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  gl.Enable(GL_BLEND);
  gl.BlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  gl.Enable(GL_ALPHA_TEST);
  gl.AlphaFunc(GL_GREATER, 0);
  gl.Color4f(0.8f, 0.8f, 0.8f, 1);
  DrawTexturedQuad(gl);
  TFrame frame(static_cast<size_t>(kSize) * kSize * 4);
  gl.ReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, frame.data());
  bare.Deactivate();
  return frame;
}

}  // namespace

TEST_F(MaterialOnMesa, WholeFrameWithATransparentTexturedQuadMatchesBareGlCalls) {
  TComponent form(nullptr);
  auto* scene = new TGL3DScene(&form);
  auto* light = scene->Objects()->AddNewChild<TGLLightSource>();
  light->Position()->SetPoint(2, 2, 5);
  auto* quad = scene->Objects()->AddNewChild<TTexturedQuad>();
  TGLMaterial& m = *quad->Material();
  m.SetBlendingMode(bmTransparency);
  m.SetMaterialOptions(MaterialOptionBit(moNoLighting));
  TGLTexture& t = *m.Texture();
  const TBitmap bitmap = TexelBitmap();
  t.Image()->Assign(&bitmap);
  t.SetMinFilter(miNearest);
  t.SetMagFilter(maNearest);
  t.SetTextureMode(tmModulate);
  t.SetDisabled(false);
  auto* camera = scene->Objects()->AddNewChild<TGLCamera>();
  camera->Position()->SetPoint(0, 0, 3);
  camera->SetTargetObject(quad);

  // The second frame draws from the uploaded texture.
  const std::vector<TFrame> frames = gl3d::test::RenderSceneFrames(camera, kSize, kSize, 2);
  ASSERT_EQ(frames.size(), 2u);

  const TFrame expected = BareFrame();
  int worst = 0, blended = 0, cut = 0;
  for (size_t i = 0; i < expected.size(); ++i) worst = std::max(worst, std::abs(frames[1][i] - expected[i]));
  for (size_t i = 0; i < expected.size(); i += 4) {
    blended += expected[i + 1] != 128 && expected[i + 1] != 0 && expected[i + 3] != 255;
    cut += expected[i] == 128 && expected[i + 1] == 128;
  }
  EXPECT_LE(worst, 1);
  EXPECT_EQ(frames[0], frames[1]);
  EXPECT_GT(blended, 0) << "translucent texels are blended";
  EXPECT_GT(cut, kSize * 8) << "the background and the texels of alpha 0 show gray";
}

TEST_F(MaterialOnMesa, MemoryViewerCopiesIntoTextureObjects) {
  TComponent form(nullptr);
  auto* viewer = new TGLMemoryViewer(&form);
  viewer->SetWidth(64);
  viewer->SetHeight(32);
  viewer->SetBufferCount(2);
  viewer->Buffer()->SetBackgroundColor(0x3070B0);
  viewer->Buffer()->PostRender = [](TObject*) {
    TGLContext* c = CurrentGLContext();
    c->GL().DrawBuffer(GL_COLOR_ATTACHMENT1);
    c->GLStates().SetColorClearValue({0, 1, 0, 1});
    c->GL().Clear(GL_COLOR_BUFFER_BIT);
    const GLenum both[] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1};
    c->GL().DrawBuffers(2, both);
  };
  viewer->Render();
  TGLContext& context = *viewer->Buffer()->RenderingContext();
  const TFrame frame = ReadBack(context, 64, 32);

  TGLTexture texture(nullptr);  // a persistent image: it becomes a blank image of the frame's size
  viewer->CopyToTexture(texture);
  ASSERT_EQ(texture.ImageClassName(), "TGLBlankImage");
  EXPECT_EQ(texture.Image()->GetWidth(), 64);
  EXPECT_EQ(texture.Image()->GetHeight(), 32);
  EXPECT_EQ(TexImage(context, texture, 64, 32), frame);

  TGLTexture second(nullptr);
  second.SetImageClassName("TGLBlankImage");
  dynamic_cast<TGLBlankImage*>(second.Image())->SetWidth(64);
  dynamic_cast<TGLBlankImage*>(second.Image())->SetHeight(32);
  second.SetMinFilter(miLinear);
  viewer->CopyToTextureMRT(second, 1);  // no name yet: through memory
  const TFrame green = TexImage(context, second, 64, 32);
  ASSERT_EQ(green.size(), frame.size());
  EXPECT_EQ(green[0], 0);
  EXPECT_EQ(green[1], 255);
  viewer->CopyToTextureMRT(second, 0);  // named: directly
  EXPECT_EQ(TexImage(context, second, 64, 32), frame);
  context.Activate();
  texture.DestroyHandles();
  second.DestroyHandles();
  context.Deactivate();
}
