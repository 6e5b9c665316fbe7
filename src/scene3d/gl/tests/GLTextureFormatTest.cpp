// Texture format and target tables, and their support tests against the current record's flags.
#include <GL/gl.h>
#include <GL/glext.h>

#include "RecordingFixture.h"
#include "common/Exception.h"
#include "scene3d/gl/GLTextureFormat.h"

using namespace gl3d;

TEST(GLTextureFormat, ElementSizes) {
  struct Case {
    TGLInternalFormat f;
    int size;
  } cases[] = {{tfRGBA8, 4},
               {tfRGB8, 3},
               {tfLUMINANCE16, 2},
               {tfRGBA_FLOAT16, 8},
               {tfR11F_G11F_B10F, 12},
               {tfRGB5, 2},
               {tfCOMPRESSED_RGBA_S3TC_DXT5, 16},
               {tfCOMPRESSED_RGB_S3TC_DXT1, 8},
               {tfR8_SNORM, 1},
               {tfRGBA32UI, 16},
               {tfRG16F, 4},
               {tfDEPTH24_STENCIL8, 1},
               {tfR16G16B16A16, 8}};
  for (const auto& c : cases) EXPECT_EQ(GetInternalFormatElementSize(c.f), c.size) << int(c.f);
}

TEST(GLTextureFormat, RowsAndFlags) {
  EXPECT_EQ(GLToInternalFormat(GL_RGBA8), tfRGBA8);
  EXPECT_EQ(InternalFormatToGL(tfR16G16B16), 0x8054u);
  EXPECT_EQ(InternalFormatToGL(tfHILO16), 0x86F8u);
  EXPECT_EQ(InternalFormatToGL(tfRGBA_FLOAT32), 0x8814u);
  EXPECT_EQ(InternalFormatToGL(tfLUMINANCE_ALPHA8I), 0x8D93u);
  EXPECT_EQ(InternalFormatToGL(tfRGBA16_SNORM), 0x8F9Bu);
  EXPECT_THROW(GLToInternalFormat(0x1234), common::EAssertionFailed);
  EXPECT_TRUE(IsFloatFormat(tfR8UI));
  EXPECT_FALSE(IsFloatFormat(tfRGB9_E5));
  EXPECT_TRUE(IsFloatFormat(tfLUMINANCE_ALPHA16I));
  EXPECT_FALSE(IsFloatFormat(tfLUMINANCE16I));
  EXPECT_TRUE(IsDepthFormat(tfDEPTH32F_STENCIL8));
  EXPECT_TRUE(IsCompressedFormat(tfCOMPRESSED_SIGNED_RG_RGTC2));
  uint32_t color = 0, type = 0;
  GetCompatibleDataFormat(tfR32F, color, type);
  EXPECT_EQ(color, uint32_t(GL_LUMINANCE));
  EXPECT_EQ(type, uint32_t(GL_FLOAT));
  GetCompatibleDataFormat(tfINTENSITY8I, color, type);
  EXPECT_EQ(color, uint32_t(GL_INTENSITY));
  EXPECT_EQ(type, uint32_t(GL_BYTE));
  GetCompatibleDataFormat(tfRGB10, color, type);
  EXPECT_EQ(color, uint32_t(GL_RGBA));
  EXPECT_EQ(CompressedInternalFormatToGL(tfRGB5), uint32_t(GL_COMPRESSED_RGB));
  EXPECT_THROW(CompressedInternalFormatToGL(tfR8), common::EAssertionFailed);
}

TEST(GLTextureFormat, Targets) {
  EXPECT_EQ(GLToTextureTarget(GL_TEXTURE_BUFFER), ttTextureBuffer);
  EXPECT_EQ(TextureTargetToGL(ttTextureCubeArray), uint32_t(GL_TEXTURE_CUBE_MAP_ARRAY));
  try {
    GLToTextureTarget(GL_TEXTURE_CUBE_MAP_POSITIVE_X);
    FAIL();
  } catch (const common::EAssertionFailed& e) {
    EXPECT_STREQ(e.what(), "Error: Unknown type!");
  }
  EXPECT_THROW(TextureTargetToGL(ttNoShape), common::EAssertionFailed);
  EXPECT_FALSE(TargetSupportsMipmaps(GL_TEXTURE_RECTANGLE));
  EXPECT_TRUE(TargetSupportsMipmaps(GL_TEXTURE_CUBE_MAP));
  EXPECT_TRUE(TargetSupportsMipmaps(0));
}

using GLTextureSupport = RecordingFixture;

TEST_F(GLTextureSupport, FollowsTheCurrentRecordsFlags) {
  G().ARB_texture_rg = false;  // a 3.0 driver without the extension
  EXPECT_FALSE(IsFormatSupported(tfR8));
  G().ARB_texture_rg = true;
  EXPECT_TRUE(IsFormatSupported(tfR8));
  EXPECT_TRUE(IsFormatSupported(tfRGBA8));
  EXPECT_FALSE(IsFormatSupported(tfRGBA16_SNORM));  // 3.1 only; the recording context reports 2.1
  EXPECT_TRUE(IsGLTargetSupported(GL_TEXTURE_CUBE_MAP_POSITIVE_X));
  G().ARB_texture_cube_map = false;
  EXPECT_FALSE(IsTargetSupported(ttTextureCube));
  EXPECT_THROW(IsGLTargetSupported(0x1234), common::EAssertionFailed);
  EXPECT_EQ(rec.Calls.size(), 0u);
}

TEST(GLTextureSupportWithoutContext, EverythingIsUnsupported) {
  EXPECT_FALSE(IsFormatSupported(tfRGBA8));
  EXPECT_FALSE(IsTargetSupported(ttTexture2D));
}
