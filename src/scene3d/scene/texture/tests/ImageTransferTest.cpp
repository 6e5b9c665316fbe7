// Upload and read-back of texture images on the recording table: the exact texture-image calls of
// every mode and target kind, the size fitting, the mipmap branches behind their extension flags,
// the GL_NV_texture_compression_vtc block order, and the read-back loop.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ImageProbe.h"
#include "scene3d/gl/tests/RecordingFixture.h"
#include "scene3d/scene/texture/GLGraphics.h"

using namespace gl3d;

namespace {

class Transfer : public RecordingFixture {
 protected:
  void SetUp() override {
    RecordingFixture::SetUp();
    rec.OnCall = [this](const TGLRecordedCall& c) {
      TGLArgValue r;
      auto out = [&](size_t i) { return static_cast<GLint*>(const_cast<void*>(c.Args[i].P)); };
      if (c.Name == "GenTextures") *static_cast<GLuint*>(const_cast<void*>(c.Args[1].P)) = 7;
      if (c.Name == "IsTexture") r.I = 1;
      if (c.Name == "GetIntegerv" && c.Args[0].I == GL_MAX_TEXTURE_SIZE) *out(1) = maxSize;
      if (c.Name == "GetIntegerv" && c.Args[0].I == GL_PACK_ALIGNMENT) *out(1) = 4;
      if (answer) answer(c);
      return r;
    };
  }
  // A handle of `target` with a name in the recording context; the recorder is cleared afterwards.
  std::unique_ptr<TGLTextureHandle> Handle(TGLTextureTarget target) {
    auto h = std::make_unique<TGLTextureHandle>();
    h->AllocateHandle();  // clears the recorded target
    h->SetTarget(target);
    rec.Clear();
    return h;
  }
  std::string Upload(TGLBaseImage& image, TGLTextureTarget target, bool mipmaps,
                     GLenum internalFormat = GL_RGBA8) {
    auto handle = Handle(target);
    image.UploadToTexture(*handle, mipmaps, internalFormat, w, h, d);
    return TextureCalls();
  }
  // The texture-image and texture-parameter calls, as text.
  std::string TextureCalls() const {
    std::string log;
    for (const TGLRecordedCall& c : rec.Calls) {
      const std::string_view n = c.Name;
      if (n.find("TexImage") == std::string_view::npos && n.find("TextureImage") == std::string_view::npos &&
          n.find("Parameter") == std::string_view::npos)
        continue;
      if (!log.empty()) log += "; ";
      log += c.Text();
    }
    return log;
  }
  // The data argument of the n-th texture-image call.
  const void* DataOfCall(size_t n) const {
    for (const TGLRecordedCall& c : rec.Calls)
      if ((c.Name.find("TexImage") != std::string_view::npos ||
           c.Name.find("TextureImage") != std::string_view::npos) &&
          n-- == 0)
        return c.Args.back().P;
    return reinterpret_cast<const void*>(1);
  }
  void SetFlags(bool npot, bool generate, bool lod, bool dsa) {
    G().ARB_texture_non_power_of_two = npot;
    G().SGIS_generate_mipmap = generate;
    G().SGIS_texture_lod = lod;
    G().EXT_direct_state_access = dsa;
  }

  GLint maxSize = 4096;
  std::function<void(const TGLRecordedCall&)> answer;
  int32_t w = -7, h = -7, d = -7;
};

}  // namespace

TEST_F(Transfer, FourModes) {
  struct Case {
    bool compressed, dsa;
    const char* log;
  } cases[] = {
      {false, false,
       "TexParameteri(3553, 33085, 1); TexImage2D(3553, 0, 32856, 4, 4, 0, 6408, 5121, ptr); "
       "TexImage2D(3553, 1, 32856, 2, 2, 0, 6408, 5121, ptr)"},
      {true, false,
       "TexParameteri(3553, 33085, 1); CompressedTexImage2D(3553, 0, 32856, 8, 8, 0, 32, ptr); "
       "CompressedTexImage2D(3553, 1, 32856, 4, 4, 0, 8, ptr)"},
      {false, true,
       "TextureParameterf(7, 3553, 33085, 1); TextureImage2D(7, 3553, 0, 32856, 4, 4, 0, 6408, 5121, ptr); "
       "TextureImage2D(7, 3553, 1, 32856, 2, 2, 0, 6408, 5121, ptr)"},
      {true, true,
       "TextureParameterf(7, 3553, 33085, 1); CompressedTextureImage2D(7, 3553, 0, 32856, 8, 8, 0, 32, ptr); "
       "CompressedTextureImage2D(7, 3553, 1, 32856, 4, 4, 0, 8, ptr)"},
  };
  for (const Case& c : cases) {
    SetFlags(true, true, true, c.dsa);
    Probe image;
    if (c.compressed) {
      image.Layout(8, 8, 0, GL_RGBA, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, tfCOMPRESSED_RGBA_S3TC_DXT1, 8, false,
                   false, 2);
      image.Fill();
    } else {
      image.Rgba(4, 4, 2);
    }
    EXPECT_EQ(Upload(image, ttTexture2D, false), c.log);
    EXPECT_EQ(DataOfCall(0), image.LevelAddress(0));
    EXPECT_EQ(DataOfCall(1), image.LevelAddress(1));
  }
}

TEST_F(Transfer, TargetKinds) {
  SetFlags(true, true, false, false);
  struct Case {
    TGLTextureTarget target;
    int32_t w, h, d;
    bool cube, array;
    const char* log;
  } cases[] = {
      {ttTexture1D, 8, 1, 0, false, false,
       "TexImage1D(3552, 0, 32856, 8, 0, 6408, 5121, ptr); TexImage1D(3552, 1, 32856, 4, 0, 6408, 5121, "
       "ptr)"},
      {ttTexture3D, 4, 4, 4, false, false,
       "TexImage3D(32879, 0, 32856, 4, 4, 4, 0, 6408, 5121, ptr); TexImage3D(32879, 1, 32856, 2, 2, 2, 0, "
       "6408, 5121, "
       "ptr)"},
      {ttTexture1DArray, 8, 3, 0, false, true,
       "TexImage2D(35864, 0, 32856, 8, 3, 0, 6408, 5121, ptr); TexImage2D(35864, 1, 32856, 4, 3, 0, 6408, "
       "5121, ptr)"},
      {ttTexture2DArray, 4, 4, 3, false, true,
       "TexImage3D(35866, 0, 32856, 4, 4, 3, 0, 6408, 5121, ptr); TexImage3D(35866, 1, 32856, 2, 2, 3, 0, "
       "6408, 5121, "
       "ptr)"},
      {ttTextureCubeArray, 4, 4, 6, false, true,
       "TexImage3D(36873, 0, 32856, 4, 4, 6, 0, 6408, 5121, ptr); TexImage3D(36873, 1, 32856, 2, 2, 6, 0, "
       "6408, 5121, "
       "ptr)"},
      {ttTextureRect, 4, 4, 0, false, false, "TexImage2D(34037, 0, 32856, 4, 4, 0, 6408, 5121, ptr)"},
      {ttTextureBuffer, 4, 4, 0, false, false, ""},
      {ttTexture2DMultisample, 4, 4, 0, false, false, ""},
      {ttTexture2DMultisampleArray, 4, 4, 0, false, false, ""},
  };
  for (const Case& c : cases) {
    Probe image;
    image.Layout(c.w, c.h, c.d, GL_RGBA, GL_UNSIGNED_BYTE, tfRGBA8, 4, c.cube, c.array, 2);
    image.Fill();
    EXPECT_EQ(Upload(image, c.target, false), c.log) << int(c.target);
  }

  // A cube map: six faces a level, each with its slot of the level.
  Probe cube;
  cube.Layout(4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, tfRGBA8, 4, true, false, 2);
  cube.Fill();
  Upload(cube, ttTextureCube, false);
  ASSERT_EQ(rec.Count("TexImage2D"), 12u);
  size_t n = 0;
  for (const TGLRecordedCall& c : rec.Calls) {
    if (c.Name != "TexImage2D") continue;
    const int level = static_cast<int>(n / 6), face = static_cast<int>(n % 6);
    EXPECT_EQ(c.Args[0].I, GL_TEXTURE_CUBE_MAP_POSITIVE_X + face);
    EXPECT_EQ(c.Args[1].I, level);
    EXPECT_EQ(c.Args[3].I, 4 >> level);
    EXPECT_EQ(c.Args[8].P, cube.LevelFaceAddress(level, face));
    ++n;
  }
  // Compressed faces pass a sixth of the level.
  Probe dxt;
  dxt.Layout(8, 8, 0, GL_RGBA, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, tfCOMPRESSED_RGBA_S3TC_DXT5, 16, true);
  dxt.Fill();
  const std::string faces = Upload(dxt, ttTextureCube, false);
  ASSERT_EQ(rec.Count("CompressedTexImage2D"), 6u);
  EXPECT_EQ(faces.substr(faces.rfind("; ") + 2), "CompressedTexImage2D(34074, 0, 32856, 8, 8, 0, 64, ptr)");

  // No shape: nothing at all, the out values untouched.
  auto h0 = Handle(ttNoShape);
  w = h = d = -7;
  cube.UploadToTexture(*h0, true, GL_RGBA8, w, h, d);
  EXPECT_TRUE(rec.Calls.empty());
  EXPECT_EQ(w, -7);
  EXPECT_EQ(h, -7);
  EXPECT_EQ(d, -7);
}

TEST_F(Transfer, SizesWithoutNonPowerOfTwo) {
  // 1021 x 1021 becomes one resampled 1024 x 1024 level with GPU mipmaps.
  for (bool dsa : {false, true}) {
    SetFlags(false, true, true, dsa);
    Probe image;
    image.Rgba(1021, 1021);
    const std::string log = Upload(image, ttTexture2D, true);
    EXPECT_EQ(
        log,
        dsa ? "TextureParameterf(7, 3553, 33169, 1); TextureImage2D(7, 3553, 0, 32856, 1024, 1024, 0, "
              "6408, 5121, ptr)"
            : "TexParameteri(3553, 33169, 1); TexImage2D(3553, 0, 32856, 1024, 1024, 0, 6408, 5121, ptr)");
    EXPECT_NE(DataOfCall(0), image.GetData()) << "a resampled block";
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 1024);
    EXPECT_EQ(d, 0);
    EXPECT_EQ(image.GetWidth(), 1021) << "the image keeps its size";
    EXPECT_FALSE(image.Blank());
  }
  // With non-power-of-two textures the size stays.
  SetFlags(true, true, true, false);
  Probe same;
  same.Rgba(1021, 1021);
  Upload(same, ttTexture2D, false);
  EXPECT_EQ(w, 1021);
  EXPECT_EQ(d, 0);
  EXPECT_EQ(DataOfCall(0), same.GetData());
  // The largest texture size limits width and height.
  maxSize = 256;
  ctx->GLStates() = TGLStateCache();
  Probe large;
  large.Rgba(512, 300);
  EXPECT_EQ(Upload(large, ttTexture2D, false), "TexImage2D(3553, 0, 32856, 256, 256, 0, 6408, 5121, ptr)");
}

TEST_F(Transfer, StorageOnly) {
  SetFlags(false, true, true, false);
  struct Case {
    const char* what;
    std::function<void(Probe&)> make;
    TGLTextureTarget target;
    const char* log;
    GLint maxSize = 32;
  } cases[] = {
      {"blank image, every level nil",
       [](Probe& p) {
         p.Rgba(256, 256, 3);
         p.SetBlank(true);
       },
       ttTexture2D,
       "TexParameteri(3553, 33085, 2); TexImage2D(3553, 0, 32856, 256, 256, 0, 6408, 5121, nil); "
       "TexImage2D(3553, 1, 32856, 128, 128, 0, 6408, 5121, nil); TexImage2D(3553, 2, 32856, 64, 64, 0, "
       "6408, 5121, "
       "nil)",
       4096},
      {"volume above the largest size",
       [](Probe& p) {
         p.Layout(64, 64, 16, GL_RGBA, GL_UNSIGNED_BYTE, tfRGBA8, 4);
         p.Fill();
       },
       ttTexture3D, "TexImage3D(32879, 0, 32856, 32, 32, 16, 0, 6408, 5121, nil)"},
      {"compressed, resized",
       [](Probe& p) {
         p.Layout(10, 6, 0, GL_RGBA, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, tfCOMPRESSED_RGBA_S3TC_DXT1, 8);
         p.Fill();
       },
       ttTexture2D, "CompressedTexImage2D(3553, 0, 32856, 16, 8, 0, 48, nil)"},
      {"cube map, resized",
       [](Probe& p) {
         p.Layout(20, 20, 0, GL_RGBA, GL_UNSIGNED_BYTE, tfRGBA8, 4, true);
         p.Fill();
       },
       ttTextureCube, nullptr},
  };
  for (const Case& c : cases) {
    maxSize = c.maxSize;
    ctx->GLStates() = TGLStateCache();  // forgets the largest size it read
    Probe image;
    c.make(image);
    const std::string log = Upload(image, c.target, false);
    if (c.log) {
      EXPECT_EQ(log, c.log) << c.what;
    }
    for (size_t i = 0; DataOfCall(i) != reinterpret_cast<const void*>(1); ++i)
      EXPECT_EQ(DataOfCall(i), nullptr) << c.what << " call " << i;
    EXPECT_TRUE(image.Blank()) << c.what;
  }
}

TEST_F(Transfer, MipmapsOnTheCpu) {
  SetFlags(true, false, true, false);
  Probe image;
  image.Rgba(8, 4);
  EXPECT_EQ(
      Upload(image, ttTexture2D, true),
      "TexParameteri(3553, 33085, 3); TexImage2D(3553, 0, 32856, 8, 4, 0, 6408, 5121, ptr); "
      "TexImage2D(3553, 1, 32856, 4, 2, 0, 6408, 5121, ptr); TexImage2D(3553, 2, 32856, 2, 1, 0, 6408, 5121, "
      "ptr); TexImage2D(3553, 3, 32856, 1, 1, 0, 6408, 5121, ptr)");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(DataOfCall(i), image.LevelAddress(i)) << i;

  // Resampled first: the resampled block becomes level 0, so every level matches its extents.
  SetFlags(false, false, false, false);
  Probe odd;
  odd.Rgba(1021, 1021);
  Upload(odd, ttTexture2D, true);
  ASSERT_EQ(rec.Count("TexImage2D"), 11u);
  EXPECT_EQ(odd.GetWidth(), 1024);
  EXPECT_EQ(odd.LevelCount(), 11);
  int level = 0;
  for (const TGLRecordedCall& c : rec.Calls) {
    if (c.Name != "TexImage2D") continue;
    EXPECT_EQ(c.Args[3].I, odd.LevelWidth(static_cast<uint8_t>(level)));
    EXPECT_EQ(c.Args[3].I, 1024 >> level);
    EXPECT_EQ(c.Args[8].P, odd.LevelAddress(level));
    ++level;
  }
  EXPECT_EQ(rec.Count("TexParameteri"), 0u) << "no GL_SGIS_texture_lod";

  // A layout the filters cannot write goes up as its one level.
  Probe dxt;
  dxt.Layout(8, 8, 0, GL_RGBA, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, tfCOMPRESSED_RGBA_S3TC_DXT1, 8);
  dxt.Fill();
  SetFlags(true, false, true, false);
  EXPECT_EQ(Upload(dxt, ttTexture2D, true), "CompressedTexImage2D(3553, 0, 32856, 8, 8, 0, 32, ptr)");
  // A rectangle takes no mipmaps.
  Probe rect;
  rect.Rgba(8, 4);
  SetFlags(true, true, true, false);
  EXPECT_EQ(Upload(rect, ttTextureRect, true), "TexImage2D(34037, 0, 32856, 8, 4, 0, 6408, 5121, ptr)");
}

TEST(VTCBlockOffset, SlabsOfFourSlices) {
  struct Case {
    int32_t x, y, z, w, h, d;
    uint64_t offset;
  } cases[] = {{0, 0, 0, 8, 8, 8, 0},   {1, 0, 0, 8, 8, 8, 32},  {0, 0, 1, 8, 8, 8, 8},
               {0, 0, 5, 8, 8, 8, 136}, {1, 1, 7, 8, 8, 8, 248}, {1, 0, 5, 8, 8, 6, 152},
               {1, 1, 5, 8, 8, 6, 184}, {0, 0, 4, 5, 5, 5, 128}};
  for (const Case& c : cases)
    EXPECT_EQ(VTCBlockOffset(c.x, c.y, c.z, c.w, c.h, c.d, 8), c.offset)
        << c.x << "," << c.y << "," << c.z << " d " << c.d;
}

TEST_F(Transfer, CompressedVolumesInVtcOrder) {
  SetFlags(true, true, false, false);
  for (bool vtc : {true, false}) {
    G().NV_texture_compression_vtc = vtc;
    Probe volume;
    volume.Layout(8, 8, 6, GL_RGBA, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, tfCOMPRESSED_RGBA_S3TC_DXT1, 8);
    volume.SetBlank(false);
    // Block number in slice order, in the first byte of each block.
    for (int b = 0; b < 2 * 2 * 6; ++b) volume.GetData()[8 * b] = static_cast<uint8_t>(b);
    std::string sent;
    answer = [&](const TGLRecordedCall& c) {
      if (c.Name == "CompressedTexImage3D")
        sent.assign(static_cast<const char*>(c.Args[8].P), static_cast<size_t>(c.Args[7].I));
    };
    Upload(volume, ttTexture3D, false);
    answer = nullptr;
    ASSERT_EQ(sent.size(), 2u * 2 * 6 * 8);
    for (int z = 0; z < 6; ++z)
      for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) {
          const uint64_t at =
              vtc ? VTCBlockOffset(x, y, z, 8, 8, 6, 8) : static_cast<uint64_t>((z * 2 + y) * 2 + x) * 8;
          EXPECT_EQ(static_cast<uint8_t>(sent[at]), (z * 2 + y) * 2 + x)
              << vtc << " " << x << "," << y << "," << z;
        }
  }
}

// ---- Read-back ----

namespace {

// Answers the read-back queries for a texture of `levels` levels of w x h GL_RGBA8.
std::function<void(const TGLRecordedCall&)> TextureOf(int levels, int w, int h, GLint maxLevel = 1000,
                                                      GLint format = GL_RGBA8, GLint depth = 0) {
  return [=](const TGLRecordedCall& c) {
    auto out = [&](size_t i) { return static_cast<GLint*>(const_cast<void*>(c.Args[i].P)); };
    if (c.Name == "GetTexParameteriv" && c.Args[1].I == GL_TEXTURE_MAX_LEVEL) *out(2) = maxLevel;
    if (c.Name == "GetTexLevelParameteriv") {
      const int level = static_cast<int>(c.Args[1].I);
      switch (c.Args[2].I) {
        case GL_TEXTURE_INTERNAL_FORMAT:
          *out(3) = level < levels ? format : 1;
          break;
        case GL_TEXTURE_WIDTH:
          *out(3) = std::max(w >> level, 1);
          break;
        case GL_TEXTURE_HEIGHT:
          *out(3) = std::max(h >> level, 1);
          break;
        case GL_TEXTURE_DEPTH:
          *out(3) = std::max(depth >> level, 1);
          break;
        default:
          *out(3) = 0;
      }
    }
    if (c.Name == "GetTexImage") {
      const int level = static_cast<int>(c.Args[1].I);
      const size_t bytes = static_cast<size_t>(std::max(w >> level, 1)) * std::max(h >> level, 1) * 4;
      std::memset(const_cast<void*>(c.Args[4].P), 16 * level + static_cast<int>(c.Args[0].I & 15), bytes);
    }
  };
}

}  // namespace

TEST_F(Transfer, ReadBackLevels) {
  auto handle = Handle(ttTexture2D);
  handle->NotifyDataUpdated();
  answer = TextureOf(3, 8, 4);
  TGLImage image;
  ASSERT_TRUE(image.ReadBackFromTexture(*handle, true, tfRGBA8, 0, 0));
  EXPECT_EQ(image.LevelCount(), 3);
  EXPECT_EQ(image.GetWidth(), 8);
  EXPECT_EQ(image.GetHeight(), 4);
  EXPECT_EQ(image.ColorFormat(), uint32_t(GL_RGBA));
  EXPECT_EQ(image.DataType(), uint32_t(GL_UNSIGNED_BYTE));
  EXPECT_FALSE(image.Blank());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(image.LevelAddress(i)[0], 16 * i + (GL_TEXTURE_2D & 15)) << i;
  EXPECT_EQ(image.HeldBytes(), image.DataSize());
  // Rows come back unpadded, and the pack alignment is restored.
  std::string pack;
  for (const TGLRecordedCall& c : rec.Calls)
    if (c.Name == "PixelStorei") pack += c.Text() + " ";
  EXPECT_EQ(pack, "PixelStorei(3333, 1) PixelStorei(3333, 4) ");

  struct Case {
    const char* what;
    int levels, w, h;
    GLint maxLevel, format;
    int expected;
  } cases[] = {
      {"GL_TEXTURE_MAX_LEVEL is the last level's index", 9, 256, 256, 2, GL_RGBA8, 3},
      {"never above the table's 16 levels", 17, 65536, 1, 1000, GL_RGBA8, 16},
      {"a float format reads one level", 5, 16, 16, 1000, 0x888A, 1},
      {"a full chain ends at the smallest level", 30, 4, 4, 1000, GL_RGBA8, 3},
  };
  for (const Case& c : cases) {
    answer = TextureOf(c.levels, c.w, c.h, c.maxLevel, c.format);
    TGLImage other;
    ASSERT_TRUE(other.ReadBackFromTexture(*handle, true, tfRGBA8, 0, GL_UNSIGNED_BYTE)) << c.what;
    EXPECT_EQ(other.LevelCount(), c.expected) << c.what;
  }
}

TEST_F(Transfer, ReadBackCubeMapAndEmptyTextures) {
  auto handle = Handle(ttTextureCube);
  handle->NotifyDataUpdated();
  answer = TextureOf(1, 4, 4);
  TGLImage image;
  ASSERT_TRUE(image.ReadBackFromTexture(*handle, false, tfRGBA8, 0, 0));
  EXPECT_TRUE(image.CubeMap());
  EXPECT_EQ(rec.Count("GetTexImage"), 6u);
  for (int face = 0; face < 6; ++face)
    EXPECT_EQ(image.LevelFaceAddress(0, face)[0], (GL_TEXTURE_CUBE_MAP_POSITIVE_X + face) & 15) << face;
  for (const TGLRecordedCall& c : rec.Calls)
    if (c.Name == "GetTexLevelParameteriv") {
      EXPECT_EQ(c.Args[0].I, GL_TEXTURE_CUBE_MAP_POSITIVE_X);
    }

  // No level: a blank image without pixels.
  answer = TextureOf(0, 4, 4);
  EXPECT_TRUE(image.ReadBackFromTexture(*handle, false, tfRGBA8, 0, 0));
  EXPECT_TRUE(image.Blank());
  EXPECT_EQ(image.GetData(), nullptr);
  EXPECT_EQ(image.LevelCount(), 1);
}

TEST_F(Transfer, ReadBackNeedsValidData) {
  Probe image;
  image.Rgba(2, 2);
  const uint8_t* before = image.GetData();
  auto handle = Handle(ttTexture2D);  // data marked changed: not valid yet
  EXPECT_FALSE(image.ReadBackFromTexture(*handle, true, tfRGBA8, 0, 0));
  EXPECT_EQ(image.GetData(), before);
  EXPECT_EQ(image.LevelCount(), 1);
  // No current context and a handle that never got a name: nothing to read.
  TGLTextureHandle none;
  none.SetTarget(ttTexture2D);  // never allocated: no context holds a name
  ctx->Deactivate();
  EXPECT_FALSE(image.ReadBackFromTexture(none, true, tfRGBA8, 0, 0));
  EXPECT_EQ(image.GetWidth(), 2);
  ctx->Activate();
}

// A compressed volume comes back in slice order, also from GL_NV_texture_compression_vtc order.
TEST_F(Transfer, ReadBackCompressedVolumes) {
  auto handle = Handle(ttTexture3D);
  handle->NotifyDataUpdated();
  for (bool vtc : {true, false}) {
    G().NV_texture_compression_vtc = vtc;
    const auto texture = TextureOf(1, 8, 8, 0, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 6);
    answer = [vtc, texture](const TGLRecordedCall& c) {
      texture(c);
      if (c.Name != "GetCompressedTexImage") return;
      auto* blocks = static_cast<uint8_t*>(const_cast<void*>(c.Args[2].P));
      for (int z = 0; z < 6; ++z)
        for (int y = 0; y < 2; ++y)
          for (int x = 0; x < 2; ++x) {
            const uint64_t at = vtc ? VTCBlockOffset(x, y, z, 8, 8, 6, 8) : ((z * 2 + y) * 2 + x) * 8;
            blocks[at] = static_cast<uint8_t>((z * 2 + y) * 2 + x);
          }
    };
    TGLImage image;
    ASSERT_TRUE(image.ReadBackFromTexture(*handle, true, tfRGBA8, 0, 0));
    ASSERT_TRUE(image.IsCompressed());
    ASSERT_EQ(image.GetDepth(), 6);
    ASSERT_EQ(image.HeldBytes(), 192u);
    for (int b = 0; b < 24; ++b) EXPECT_EQ(image.GetData()[8 * b], b) << vtc << " block " << b;
  }
}
