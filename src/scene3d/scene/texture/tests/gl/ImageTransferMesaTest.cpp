// Upload and read-back on Mesa through EGL. The live path is direct state access, non-power-of-two
// sizes and GPU mipmaps; the other branches are reached by switching the extension flags off. A
// bare glGetTexImage checks what OpenGL holds.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "../ImageProbe.h"
#include "scene3d/gl/GLEGLContext.h"
#include "scene3d/gl/GLStateCache.h"
#include "scene3d/scene/texture/GLGraphics.h"
#include "scene3d/scene/texture/TextureStartup.h"
#include "scene3d/scene/texture/picture/Bitmap.h"

using namespace gl3d;

namespace {

using Bytes = std::vector<uint8_t>;

struct Flags {
  bool dsa, npot, generate, lod;
};

class Mesa : public ::testing::Test {
 protected:
  void SetUp() override {
    TextureStartup();
    ctx = std::make_unique<TGLEGLContext>();
    ctx->CreateContext(nullptr);
    ctx->Activate();
    ASSERT_TRUE(G().EXT_direct_state_access && G().ARB_texture_non_power_of_two && G().SGIS_generate_mipmap &&
                G().SGIS_texture_lod && G().EXT_bgra)
        << "the live path of Mesa";
  }
  void TearDown() override {
    handles.clear();
    ctx->Deactivate();
    ctx.reset();
  }
  TGLExtensionsAndEntryPoints& G() { return ctx->GL(); }
  void Set(const Flags& f) {
    G().EXT_direct_state_access = f.dsa;
    G().ARB_texture_non_power_of_two = f.npot;
    G().SGIS_generate_mipmap = f.generate;
    G().SGIS_texture_lod = f.lod;
  }
  // A new texture of `target` holding the image; left bound on unit 0.
  GLenum Upload(TGLBaseImage& image, TGLTextureTarget target, bool mipmaps,
                GLenum internalFormat = GL_RGBA8) {
    auto handle = std::make_unique<TGLTextureHandle>();
    const GLuint name = handle->AllocateHandle();  // clears the recorded target
    handle->SetTarget(target);
    if (!G().EXT_direct_state_access) ctx->GLStates().SetTextureBinding(0, target, name);
    G().ClearError();
    image.UploadToTexture(*handle, mipmaps, internalFormat, w, h, d);
    EXPECT_EQ(G().GetError(), GLenum(GL_NO_ERROR));
    ctx->GLStates().SetTextureBinding(0, target, name);
    handle->NotifyDataUpdated();
    handles.push_back(std::move(handle));
    return TextureTargetToGL(target);
  }
  GLint LevelInt(GLenum target, int level, GLenum pname) {
    GLint v = 0;
    G().GetTexLevelParameteriv(target, level, pname, &v);
    return v;
  }
  GLint TexInt(GLenum target, GLenum pname) {
    GLint v = 0;
    G().GetTexParameteriv(target, pname, &v);
    return v;
  }
  // Level `level` of the bound texture as RGBA bytes.
  Bytes Read(GLenum target, int level) {
    const int lw = LevelInt(target, level, GL_TEXTURE_WIDTH), lh = LevelInt(target, level, GL_TEXTURE_HEIGHT);
    Bytes out(static_cast<size_t>(lw) * lh * 4);
    G().PixelStorei(GL_PACK_ALIGNMENT, 1);
    G().GetTexImage(target, level, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    return out;
  }

  std::unique_ptr<TGLEGLContext> ctx;
  std::vector<std::unique_ptr<TGLTextureHandle>> handles;
  int32_t w = 0, h = 0, d = 0;
};

}  // namespace

TEST_F(Mesa, LiveAndClassicPathsHoldTheImage) {
  for (bool dsa : {true, false}) {
    Set({dsa, true, true, true});
    Probe image;
    image.Rgba(37, 21);
    const Bytes level0 = image.Level(0);
    const GLenum target = Upload(image, ttTexture2D, true);
    EXPECT_EQ(w, 37);
    EXPECT_EQ(h, 21);
    EXPECT_EQ(Read(target, 0), level0) << dsa;
    EXPECT_EQ(TexInt(target, GL_GENERATE_MIPMAP), GL_TRUE) << dsa;
    EXPECT_EQ(LevelInt(target, 1, GL_TEXTURE_WIDTH), 18) << "made by OpenGL";
    EXPECT_EQ(LevelInt(target, 5, GL_TEXTURE_WIDTH), 1);
  }
}

// 1021 x 1021 without non-power-of-two textures becomes one 1024 x 1024 level, resampled with
// Lanczos-3, with OpenGL making the mipmaps.
TEST_F(Mesa, ResampledToAPowerOfTwo) {
  for (bool dsa : {true, false}) {
    Set({dsa, false, true, true});
    Probe image;
    image.Rgba(1021, 1021);
    Bytes resampled(1024 * 1024 * 4);
    ResamplePixels(image.GetData(), resampled.data(), GL_RGBA, GL_UNSIGNED_BYTE, Lanczos3FilterKernel, 1021,
                   1021, 1024, 1024);
    const GLenum target = Upload(image, ttTexture2D, true);
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(LevelInt(target, 0, GL_TEXTURE_WIDTH), 1024);
    EXPECT_EQ(TexInt(target, GL_GENERATE_MIPMAP), GL_TRUE);
    EXPECT_EQ(TexInt(target, GL_TEXTURE_MAX_LEVEL), 1000) << "one level sent";
    EXPECT_TRUE(Read(target, 0) == resampled) << dsa;
    EXPECT_EQ(LevelInt(target, 10, GL_TEXTURE_WIDTH), 1);
  }
}

TEST_F(Mesa, MipmapsMadeOnTheCpu) {
  struct Case {
    const char* what;
    Flags flags;
    int32_t side;
    GLint maxLevel;
  } cases[] = {{"with level limit", {true, true, false, true}, 40, 5},
               {"without level limit", {false, true, false, false}, 40, 1000},
               {"resampled first", {true, false, false, true}, 61, 6}};
  for (const Case& c : cases) {
    Set(c.flags);
    Probe image;
    image.Rgba(c.side, c.side - 3);
    Probe reference;
    reference.Rgba(c.side, c.side - 3);
    const GLenum target = Upload(image, ttTexture2D, true);
    EXPECT_EQ(TexInt(target, GL_GENERATE_MIPMAP), GL_FALSE) << c.what;
    EXPECT_EQ(TexInt(target, GL_TEXTURE_MAX_LEVEL), c.maxLevel) << c.what;
    ASSERT_GT(image.LevelCount(), 1) << c.what;
    // Every level holds the image's level, of the image's extents.
    for (int i = 0; i < image.LevelCount(); ++i) {
      EXPECT_EQ(LevelInt(target, i, GL_TEXTURE_WIDTH), image.LevelWidth(static_cast<uint8_t>(i)))
          << c.what << i;
      EXPECT_TRUE(Read(target, i) == image.Level(i)) << c.what << " level " << i;
    }
    if (c.flags.npot) {
      // ... and those are the chain of the original picture.
      std::vector<Bytes> chain;
      std::vector<void*> pointers;
      for (int i = 1; i < image.LevelCount(); ++i)
        chain.emplace_back(image.LevelSizeInByte(static_cast<uint8_t>(i)));
      for (Bytes& b : chain) pointers.push_back(b.data());
      BuildMipmapChain(reference.GetData(), pointers, GL_RGBA, GL_UNSIGNED_BYTE, TentFilterKernel, c.side,
                       c.side - 3);
      for (int i = 1; i < image.LevelCount(); ++i) EXPECT_TRUE(image.Level(i) == chain[i - 1]) << c.what << i;
    } else {
      EXPECT_EQ(image.GetWidth(), 64);
    }
  }
}

TEST_F(Mesa, BitmapsWithAndWithoutBgra) {
  TBitmap bitmap;
  bitmap.SetSize(6, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) {
      uint8_t* p = bitmap.ScanLine(y) + 3 * x;
      p[0] = static_cast<uint8_t>(10 * x), p[1] = static_cast<uint8_t>(50 * y), p[2] = 200;
    }
  for (bool bgra : {true, false}) {
    G().EXT_bgra = bgra;
    TGLImage image;
    image.Assign(&bitmap);
    EXPECT_EQ(image.ColorFormat(), uint32_t(bgra ? GL_BGR : GL_RGBA));
    const GLenum target = Upload(image, ttTexture2D, false);
    const Bytes got = Read(target, 0);
    const int width = image.GetWidth();
    EXPECT_EQ(width, bgra ? 6 : 8);
    // Texture row 0 is the bitmap's bottom row; B, G, R became R, G, B.
    for (int k = 0; k < 3; ++k)
      for (int x = 0; x < width; ++x) {
        const int sx = bgra ? x : x * 6 / 8;
        const uint8_t* p = &got[(static_cast<size_t>(k) * width + x) * 4];
        EXPECT_EQ(p[0], 200);
        EXPECT_EQ(p[1], 50 * (2 - k));
        EXPECT_EQ(p[2], 10 * sx) << bgra << " " << x << "," << k;
        EXPECT_EQ(p[3], 255);
      }
  }
}

TEST_F(Mesa, ReadBackGivesTheLevelsBack) {
  for (bool generate : {false, true}) {
    Set({true, true, generate, true});
    Probe image;
    image.Rgba(16, 8);
    const Bytes level0 = image.Level(0);
    Upload(image, ttTexture2D, true);
    TGLImage back;
    ASSERT_TRUE(back.ReadBackFromTexture(*handles.back(), true, tfRGBA8, 0, 0));
    EXPECT_FALSE(back.Blank());
    EXPECT_EQ(back.LevelCount(), 5) << generate;
    EXPECT_EQ(back.InternalFormat(), tfRGBA8);
    EXPECT_EQ(Bytes(back.LevelAddress(0), back.LevelAddress(0) + level0.size()), level0);
    if (generate) continue;
    for (int i = 1; i < 5; ++i) {
      const Bytes level(back.LevelAddress(i),
                        back.LevelAddress(i) + back.LevelSizeInByte(static_cast<uint8_t>(i)));
      EXPECT_TRUE(level == image.Level(i)) << i;
    }
  }
}

TEST_F(Mesa, CubeMapsAndCompressedImages) {
  Set({true, true, true, true});
  Probe cube;
  cube.Rgba(8, 8);
  cube.SetCubeMap(true);
  cube.SetBlank(false);
  for (uint64_t i = 0; i < cube.HeldBytes(); ++i)
    cube.GetData()[i] = static_cast<uint8_t>(i / 256 * 40 + i % 7);
  Upload(cube, ttTextureCube, false);
  for (int face = 0; face < 6; ++face) {
    const uint8_t* p = cube.LevelFaceAddress(0, face);
    EXPECT_TRUE(Read(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0) == Bytes(p, p + 256)) << face;
  }
  TGLImage back;
  ASSERT_TRUE(back.ReadBackFromTexture(*handles.back(), true, tfRGBA8, 0, 0));
  EXPECT_TRUE(back.CubeMap());
  EXPECT_EQ(Bytes(back.GetData(), back.GetData() + 1536), Bytes(cube.GetData(), cube.GetData() + 1536));

  // DXT1 blocks go up as they are, in both compressed modes.
  for (bool dsa : {true, false}) {
    Set({dsa, true, true, true});
    Probe dxt;
    dxt.Layout(8, 8, 0, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT,
               tfCOMPRESSED_RGBA_S3TC_DXT1, 8);
    dxt.SetBlank(false);
    ASSERT_EQ(dxt.HeldBytes(), 32u);
    for (int i = 0; i < 32; ++i) dxt.GetData()[i] = static_cast<uint8_t>(i * 37 + 1);
    const GLenum target = Upload(dxt, ttTexture2D, false, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT);
    Bytes got(32);
    G().GetCompressedTexImage(target, 0, got.data());
    EXPECT_EQ(got, Bytes(dxt.GetData(), dxt.GetData() + 32)) << dsa;
    Bytes decoded(8 * 8 * 4);
    ConvertPixels(dxt.GetData(), decoded.data(), GL_RGBA, GL_RGBA, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT,
                  GL_UNSIGNED_BYTE, 8, 8);
    const Bytes mesa = Read(target, 0);
    // Within 8 a channel (no bit replication here); a transparent texel's colour is not compared.
    for (size_t p = 0; p < decoded.size(); p += 4) {
      EXPECT_EQ(mesa[p + 3], decoded[p + 3]) << p / 4;
      if (decoded[p + 3] == 0) continue;
      for (int c = 0; c < 3; ++c) EXPECT_LE(std::abs(int(mesa[p + c]) - int(decoded[p + c])), 8) << p / 4;
    }
  }
}
