// The texture on Mesa through EGL: the editor's road (pixels written, image notified, texture
// applied) leaves the image in OpenGL as it was written, a stale OpenGL error does not turn the
// texture into the error picture while a format the driver lacks does, and a picture that becomes
// a cube map gets a cube-map object. A bare glGetTexImage checks what OpenGL holds.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "scene3d/gl/GLEGLContext.h"
#include "scene3d/gl/GLStateCache.h"
#include "scene3d/scene/texture/GLTexture.h"
#include "scene3d/scene/texture/TextureStartup.h"
#include "scene3d/scene/texture/picture/Bitmap.h"

using namespace gl3d;

namespace {

using Bytes = std::vector<uint8_t>;

class TextureMesa : public ::testing::Test {
 protected:
  void SetUp() override {
    TextureStartup();
    ctx = std::make_unique<TGLEGLContext>();
    ctx->CreateContext(nullptr);
    ctx->Activate();
    rci.StateCache = &ctx->GLStates();
    rci.Transformation = &ctx->PipelineTransformation();
  }
  void TearDown() override {
    texture.reset();
    ctx->Deactivate();
    ctx.reset();
  }
  TGLExtensionsAndEntryPoints& G() { return ctx->GL(); }
  // A blank-image texture, enabled, as the editor's background plane has it.
  void MakeTexture() {
    texture = std::make_unique<TGLTexture>(nullptr);
    texture->SetImageClassName("TGLBlankImage");
    texture->SetDisabled(false);
  }
  // Writes a w x h picture into the image's buffer row by row, bottom row first, and notifies.
  Bytes Paint(int w, int h, uint8_t seed) {
    TGLTextureImage* image = texture->Image();
    TGLImage painted;
    painted.SetWidth(w);
    painted.SetHeight(h);
    painted.SetBlank(false);
    Bytes bytes;
    for (int y = 0; y < h; ++y) {
      TGLPixel32* row = painted.ScanLine(y);
      for (int x = 0; x < w; ++x) {
        row[x] = {static_cast<uint8_t>(x * 7 + seed), static_cast<uint8_t>(y * 13),
                  static_cast<uint8_t>(x ^ y), static_cast<uint8_t>(255 - x)};
        bytes.insert(bytes.end(), {row[x].R, row[x].G, row[x].B, row[x].A});
      }
    }
    image->GetImageBuffer()->Assign(&painted);
    image->NotifyChange(nullptr);
    return bytes;
  }
  GLint Int(GLenum pname) {
    GLint v = 0;
    G().GetIntegerv(pname, &v);
    return v;
  }
  // Level 0 of the texture bound to `target` (a face for cube maps) as RGBA bytes.
  Bytes Read(GLenum target) {
    GLint w = 0, h = 0;
    G().GetTexLevelParameteriv(target, 0, GL_TEXTURE_WIDTH, &w);
    G().GetTexLevelParameteriv(target, 0, GL_TEXTURE_HEIGHT, &h);
    Bytes out(static_cast<size_t>(w) * h * 4);
    G().PixelStorei(GL_PACK_ALIGNMENT, 1);
    G().GetTexImage(target, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    return out;
  }

  std::unique_ptr<TGLEGLContext> ctx;
  std::unique_ptr<TGLTexture> texture;
  TRenderContextInfo rci;
};

}  // namespace

TEST_F(TextureMesa, ANotifiedTextureHoldsWhatWasPainted) {
  MakeTexture();
  const Bytes painted = Paint(37, 21, 1);
  texture->Apply(rci);
  const GLuint name = texture->TextureHandle().GetHandle();
  ASSERT_NE(name, 0u);
  EXPECT_EQ(static_cast<GLuint>(Int(GL_TEXTURE_BINDING_2D)), name);
  EXPECT_TRUE(G().IsEnabled(GL_TEXTURE_2D));
  EXPECT_EQ(Read(GL_TEXTURE_2D), painted);
  GLint filter = 0;
  G().GetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
  EXPECT_EQ(filter, GL_LINEAR_MIPMAP_LINEAR);
  GLint mode = 0;
  G().GetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
  EXPECT_EQ(mode, GL_DECAL);
  texture->UnApply(rci);
  EXPECT_FALSE(G().IsEnabled(GL_TEXTURE_2D));
  EXPECT_TRUE(texture->Image()->GetImageBuffer()->Blank()) << "the CPU pixels were released";

  // New pixels of another size replace the old ones in the same object.
  const Bytes repainted = Paint(16, 8, 9);
  texture->Apply(rci);
  EXPECT_EQ(texture->TextureHandle().GetHandle(), name);
  EXPECT_EQ(Read(GL_TEXTURE_2D), repainted);
  texture->UnApply(rci);
  EXPECT_EQ(G().GetError(), GLenum(GL_NO_ERROR));
}

TEST_F(TextureMesa, AStaleErrorDoesNotMakeTheErrorPicture) {
  MakeTexture();
  const Bytes painted = Paint(8, 8, 3);
  G().Enable(0x7FFF);  // an error of someone else's, still pending
  texture->Apply(rci);
  EXPECT_EQ(texture->MagFilter(), maLinear);
  EXPECT_EQ(Read(GL_TEXTURE_2D), painted);
  texture->UnApply(rci);
}

TEST_F(TextureMesa, AFormatTheDriverLacksGivesTheErrorPicture) {
  ASSERT_FALSE(G().NV_texture_shader);
  MakeTexture();
  Paint(8, 8, 3);
  texture->SetTextureFormatEx(tfHILO16);
  texture->Apply(rci);
  EXPECT_EQ(texture->MagFilter(), maNearest);
  EXPECT_EQ(texture->Image()->GetWidth(), 64);
  GLint w = 0;
  G().GetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  EXPECT_EQ(w, 64);
  EXPECT_EQ(G().GetError(), GLenum(GL_NO_ERROR));
  texture->UnApply(rci);
}

TEST_F(TextureMesa, APictureThatBecomesACubeMapGetsACubeMapObject) {
  texture = std::make_unique<TGLTexture>(nullptr);
  TBitmap face;
  face.SetSize(4, 4);
  texture->Assign(&face);
  texture->SetDisabled(false);
  texture->Apply(rci);
  texture->UnApply(rci);
  const GLuint first = texture->TextureHandle().GetHandle();

  TGLCubeMapImage cube(nullptr);
  for (int i = 0; i < 6; ++i) {
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        uint8_t* p = face.ScanLine(y) + 3 * x;
        p[0] = static_cast<uint8_t>(30 * i);  // blue
        p[1] = static_cast<uint8_t>(y);
        p[2] = static_cast<uint8_t>(x);
      }
    cube.Pictures(static_cast<TGLCubeMapTarget>(i))->SetGraphic(&face);
  }
  texture->SetImage(&cube);
  texture->Apply(rci);
  const GLuint name = texture->TextureHandle().GetHandle();
  EXPECT_NE(name, first);
  EXPECT_FALSE(G().IsTexture(first));
  EXPECT_EQ(static_cast<GLuint>(Int(GL_TEXTURE_BINDING_CUBE_MAP)), name);
  EXPECT_TRUE(G().IsEnabled(GL_TEXTURE_CUBE_MAP));
  for (int i = 0; i < 6; ++i) {
    const Bytes faceBytes = Read(GL_TEXTURE_CUBE_MAP_POSITIVE_X + i);
    ASSERT_EQ(faceBytes.size(), 64u);
    // Rows are taken top row first: the first texel is the picture's top-left pixel.
    EXPECT_EQ(faceBytes[0], 0) << i;
    EXPECT_EQ(faceBytes[1], 0) << i;
    EXPECT_EQ(faceBytes[2], 30 * i) << i;
    EXPECT_EQ(faceBytes[4 * 5], 1) << "x of texel (1, 1)";
    EXPECT_EQ(faceBytes[4 * 5 + 1], 1) << "y of texel (1, 1)";
  }
  texture->UnApply(rci);
  EXPECT_EQ(G().GetError(), GLenum(GL_NO_ERROR));
}
