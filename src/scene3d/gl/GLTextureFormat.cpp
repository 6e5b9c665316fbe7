#include "scene3d/gl/GLTextureFormat.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <array>

#include "common/Exception.h"
#include "scene3d/gl/GLContext.h"

namespace gl3d {
namespace {

struct TFormatRow {
  uint32_t internal = 0, color = 0, type = 0;
  bool depth = false, isFloat = false, compressed = false;
};

constexpr uint32_t UB = GL_UNSIGNED_BYTE, US = GL_UNSIGNED_SHORT, UI = GL_UNSIGNED_INT, B = GL_BYTE,
                   S = GL_SHORT, I = GL_INT, H = GL_HALF_FLOAT, F = GL_FLOAT;

constexpr std::array<TFormatRow, kInternalFormatCount> BuildTable() {
  std::array<TFormatRow, kInternalFormatCount> t{};
  auto set = [&t](int ord, uint32_t internal, uint32_t color, uint32_t type) {
    t[ord].internal = internal;
    t[ord].color = color;
    t[ord].type = type;
  };
  auto compressed = [&t](int ord, uint32_t internal) {
    t[ord].internal = t[ord].color = t[ord].type = internal;
    t[ord].compressed = true;
  };
  for (int i = 0; i < 4; ++i) set(0 + i, 0x803B + i, GL_ALPHA, i < 2 ? UB : US);
  for (int i = 0; i < 3; ++i) {
    set(4 + i, 0x81A5 + i, GL_DEPTH_COMPONENT, UB);
    t[4 + i].depth = true;
  }
  for (int i = 0; i < 4; ++i) set(7 + i, 0x803F + i, GL_LUMINANCE, i < 2 ? UB : US);
  for (int i = 0; i < 6; ++i) set(11 + i, 0x8043 + i, GL_LUMINANCE_ALPHA, i < 3 ? UB : US);
  for (int i = 0; i < 4; ++i) set(17 + i, 0x804A + i, GL_LUMINANCE, i < 2 ? UB : US);
  set(21, 0x2A10, GL_RGB, GL_UNSIGNED_BYTE_3_3_2);
  for (int i = 0; i < 6; ++i) set(22 + i, 0x804F + i, GL_RGB, UB);
  t[tfRGB5].type = GL_UNSIGNED_SHORT_5_6_5;
  t[tfRGB10].color = GL_RGBA;
  t[tfRGB10].type = GL_UNSIGNED_INT_10_10_10_2;
  t[tfR16G16B16].type = US;
  for (int i = 0; i < 7; ++i) set(28 + i, 0x8055 + i, GL_RGBA, UB);
  t[tfRGBA4].type = GL_UNSIGNED_SHORT_4_4_4_4;
  t[tfRGB5_A1].type = GL_UNSIGNED_SHORT_5_5_5_1;
  t[tfRGB10_A2].type = GL_UNSIGNED_INT_10_10_10_2;
  t[tfR16G16B16A16].type = US;
  for (int i = 0; i < 4; ++i) compressed(35 + i, 0x83F0 + i);
  {
    const uint32_t in[] = {0x8702, 0x8704, 0x86FF, 0x86FC, 0x870D, 0x8706, 0x8708};
    const uint32_t co[] = {GL_LUMINANCE, GL_LUMINANCE_ALPHA, GL_RGB,      GL_RGBA,
                           GL_RGBA,      GL_ALPHA,           GL_INTENSITY};
    for (int i = 0; i < 7; ++i) set(39 + i, in[i], co[i], i == 1 ? S : B);
  }
  {
    const uint32_t in[] = {0x86F8, 0x86FA, 0x8709, 0x870A, 0x870B, 0x885E, 0x885F};
    const uint32_t co[] = {GL_RG, GL_RG, GL_RED, GL_RG, GL_RGB, GL_RG, GL_RG};
    const uint32_t ty[] = {US, S, UB, UB, UB, UB, B};
    for (int i = 0; i < 7; ++i) set(46 + i, in[i], co[i], ty[i]);
  }
  {
    const uint32_t in[] = {0x8884, 0x8885, 0x8886, 0x8888, 0x888A, 0x8887, 0x8889, 0x888B};
    const uint32_t co[] = {GL_RED, GL_RED, GL_RG, GL_RGB, GL_RGBA, GL_RG, GL_RGB, GL_RGBA};
    const uint32_t ty[] = {H, F, H, H, H, F, F, F};
    for (int i = 0; i < 8; ++i) {
      set(53 + i, in[i], co[i], ty[i]);
      t[53 + i].isFloat = true;
    }
  }
  {
    const uint32_t co[] = {GL_RGBA, GL_RGB, GL_ALPHA, GL_LUMINANCE, GL_LUMINANCE, GL_LUMINANCE_ALPHA};
    for (int i = 0; i < 12; ++i) {
      set(61 + i, 0x8814 + i, co[i % 6], i < 6 ? F : H);
      t[61 + i].isFloat = true;
    }
  }
  set(73, 0x88F0, GL_DEPTH_STENCIL, UB);
  set(74, 0x8CAC, GL_DEPTH_COMPONENT, F);
  set(75, 0x8CAD, GL_DEPTH_STENCIL, F);
  t[73].depth = t[74].depth = t[75].depth = true;
  t[74].isFloat = t[75].isFloat = true;
  set(76, 0x8C41, GL_RGB, UB);
  set(77, 0x8C43, GL_RGBA, UB);
  set(78, 0x8C47, GL_LUMINANCE, UB);
  set(79, 0x8C45, GL_LUMINANCE_ALPHA, UB);
  for (int i = 0; i < 4; ++i) compressed(80 + i, 0x8C4C + i);
  set(84, 0x8C3D, GL_RGBA, F);
  set(85, 0x8C3A, GL_RGB, F);
  t[85].isFloat = true;
  for (int i = 0; i < 4; ++i) compressed(86 + i, 0x8C70 + i);
  compressed(90, 0x8837);
  {
    // per family of six: RGBA, RGB, ALPHA, INTENSITY, LUMINANCE, LUMINANCE_ALPHA
    const uint32_t co[] = {GL_RGBA_INTEGER,          GL_RGB_INTEGER,
                           GL_ALPHA_INTEGER,         GL_LUMINANCE_INTEGER_EXT,
                           GL_LUMINANCE_INTEGER_EXT, GL_LUMINANCE_ALPHA_INTEGER_EXT};
    const uint32_t ty[] = {UI, US, UB, I, S, B};
    for (int i = 0; i < 36; ++i) set(91 + i, 0x8D70 + i, co[i % 6], ty[i / 6]);
    t[tfINTENSITY8I].color = GL_INTENSITY;
    t[tfLUMINANCE8I].color = GL_LUMINANCE;
    t[tfLUMINANCE_ALPHA8I].color = GL_LUMINANCE_ALPHA;
    t[tfLUMINANCE_ALPHA32UI].isFloat = t[tfLUMINANCE_ALPHA8UI].isFloat = t[tfLUMINANCE_ALPHA16I].isFloat =
        true;
  }
  {
    const uint32_t in[] = {0x823C, 0x8236, 0x823A, 0x8234, 0x8238, 0x8232,
                           0x823B, 0x8235, 0x8239, 0x8233, 0x8237, 0x8231};
    const uint32_t ty[] = {UI, UI, US, US, UB, UB, I, I, S, S, B, B};
    for (int i = 0; i < 12; ++i) set(127 + i, in[i], i % 2 == 0 ? GL_RG : GL_RED_INTEGER, ty[i]);
    t[tfR8UI].isFloat = true;
  }
  {
    const uint32_t in[] = {0x822B, 0x8229, 0x822C, 0x822A, 0x822F, 0x822D, 0x8230, 0x822E};
    const uint32_t co[] = {GL_RG, GL_RED, GL_RG, GL_RED, GL_RG, GL_RED, GL_RG, GL_LUMINANCE};
    const uint32_t ty[] = {B, B, S, S, H, H, F, F};
    for (int i = 0; i < 8; ++i) {
      set(139 + i, in[i], co[i], ty[i]);
      t[139 + i].isFloat = i >= 4;
    }
  }
  for (int i = 0; i < 4; ++i) compressed(147 + i, 0x8DBB + i);
  {
    const uint32_t co[] = {0x2002 /* GL_R */, GL_RG, GL_RGB, GL_RGBA};
    for (int i = 0; i < 8; ++i) set(151 + i, 0x8F94 + i, co[i % 4], i < 4 ? B : S);
  }
  return t;
}

constexpr std::array<TFormatRow, kInternalFormatCount> kFormats = BuildTable();

constexpr uint32_t kTargets[kTextureTargetCount] = {0,
                                                    GL_TEXTURE_1D,
                                                    GL_TEXTURE_2D,
                                                    GL_TEXTURE_3D,
                                                    GL_TEXTURE_1D_ARRAY,
                                                    GL_TEXTURE_2D_ARRAY,
                                                    GL_TEXTURE_RECTANGLE,
                                                    GL_TEXTURE_BUFFER,
                                                    GL_TEXTURE_CUBE_MAP,
                                                    GL_TEXTURE_2D_MULTISAMPLE,
                                                    GL_TEXTURE_2D_MULTISAMPLE_ARRAY,
                                                    GL_TEXTURE_CUBE_MAP_ARRAY};

const TFormatRow& Row(TGLInternalFormat f) {
  ZASSERT(static_cast<int>(f) < kInternalFormatCount, "Assertion failed");
  return kFormats[f];
}

}  // namespace

uint32_t InternalFormatToGL(TGLInternalFormat format) { return Row(format).internal; }

TGLInternalFormat GLToInternalFormat(uint32_t glFormat) {
  for (int i = 0; i < kInternalFormatCount; ++i)
    if (kFormats[i].internal == glFormat) return static_cast<TGLInternalFormat>(i);
  ZASSERT(false, "Assertion failed");
  return tfRGBA8;
}

void GetCompatibleDataFormat(TGLInternalFormat format, uint32_t& colorFormat, uint32_t& dataType) {
  colorFormat = Row(format).color;
  dataType = Row(format).type;
}

int GetInternalFormatElementSize(TGLInternalFormat format) {
  return GetTextureElementSize(Row(format).color, Row(format).type);
}

int GetTextureElementSize(uint32_t colorFormat, uint32_t dataType) {
  int c = 1;
  switch (colorFormat) {
    case GL_RGB:
    case GL_BGR:
    case GL_RGB_INTEGER:
      c = 3;
      break;
    case GL_RGBA:
    case GL_BGRA:
    case GL_RGBA_INTEGER:
      c = 4;
      break;
    case GL_LUMINANCE_ALPHA:
    case GL_RG:
    case GL_RG_INTEGER:
    case GL_LUMINANCE_ALPHA_INTEGER_EXT:
      c = 2;
      break;
    default:
      c = 1;
      break;
  }
  switch (dataType) {
    case GL_BYTE:
    case GL_UNSIGNED_BYTE:
    case GL_BITMAP:
      return c;
    case GL_SHORT:
    case GL_UNSIGNED_SHORT:
    case GL_HALF_FLOAT:
      return 2 * c;
    case GL_INT:
    case GL_UNSIGNED_INT:
    case GL_FLOAT:
      return 4 * c;
    case GL_UNSIGNED_BYTE_3_3_2:
    case GL_UNSIGNED_BYTE_2_3_3_REV:
      return 1;
    case GL_UNSIGNED_SHORT_4_4_4_4:
    case GL_UNSIGNED_SHORT_5_5_5_1:
    case GL_UNSIGNED_SHORT_5_6_5:
    case GL_UNSIGNED_SHORT_5_6_5_REV:
    case GL_UNSIGNED_SHORT_4_4_4_4_REV:
    case GL_UNSIGNED_SHORT_1_5_5_5_REV:
      return 2;
    case GL_UNSIGNED_INT_8_8_8_8:
    case GL_UNSIGNED_INT_10_10_10_2:
    case GL_UNSIGNED_INT_8_8_8_8_REV:
    case GL_UNSIGNED_INT_2_10_10_10_REV:
      return 4;
    case 0x83F0:
    case 0x83F1:
    case 0x8C4C:
    case 0x8C4D:
    case 0x8C70:
    case 0x8C71:
    case 0x8DBB:
    case 0x8DBC:
      return 8;
    case 0x83F2:
    case 0x83F3:
    case 0x8C4E:
    case 0x8C4F:
    case 0x8C72:
    case 0x8C73:
    case 0x8837:
    case 0x8DBD:
    case 0x8DBE:
      return 16;
    default:
      return 1;
  }
}

uint32_t CompressedInternalFormatToGL(TGLInternalFormat format) {
  switch (format) {
    case tfALPHA8:
      return GL_COMPRESSED_ALPHA;
    case tfLUMINANCE8:
      return GL_COMPRESSED_LUMINANCE;
    case tfLUMINANCE8_ALPHA8:
      return GL_COMPRESSED_LUMINANCE_ALPHA;
    case tfINTENSITY8:
      return GL_COMPRESSED_INTENSITY;
    case tfRGB5:
    case tfRGB8:
      return GL_COMPRESSED_RGB;
    case tfRGBA4:
    case tfRGBA8:
      return GL_COMPRESSED_RGBA;
    default:
      ZASSERT(false, "Assertion failed");
      return GL_COMPRESSED_RGBA;
  }
}

bool IsFormatSupported(TGLInternalFormat format) {
  const TGLExtensionsAndEntryPoints& g = CurrentGLEntryPoints();
  Row(format);
  const int o = static_cast<int>(format);
  if (o <= 3 || (o >= 7 && o <= 34)) return g.VERSION_1_1;
  if (o <= 6) return g.ARB_depth_texture;
  if (o <= 38) return g.EXT_texture_compression_s3tc;
  if (o <= 50) return g.NV_texture_shader;
  if (o <= 52) return g.NV_texture_shader3;
  if (o <= 60) return g.NV_float_buffer;
  if (o <= 72) return g.ATI_texture_float;
  if (o == 73) return g.EXT_packed_depth_stencil;
  if (o <= 75) return g.NV_depth_buffer_float;
  if (o <= 83) return g.EXT_texture_sRGB;
  if (o == 84) return g.EXT_texture_shared_exponent;
  if (o == 85) return g.EXT_packed_float;
  if (o <= 89) return g.EXT_texture_compression_latc;
  if (o == 90) return g.ATI_texture_compression_3dc;
  if (o <= 126) return g.EXT_texture_integer;
  if (o <= 146) return g.ARB_texture_rg;
  if (o <= 150) return g.ARB_texture_compression_rgtc;
  return g.VERSION_3_1;
}

bool IsFloatFormat(TGLInternalFormat format) { return Row(format).isFloat; }
bool IsDepthFormat(TGLInternalFormat format) { return Row(format).depth; }
bool IsCompressedFormat(TGLInternalFormat format) { return Row(format).compressed; }

uint32_t TextureTargetToGL(TGLTextureTarget target) {
  ZASSERT(target != ttNoShape && static_cast<int>(target) < kTextureTargetCount, "Assertion failed");
  return kTargets[target];
}

TGLTextureTarget GLToTextureTarget(uint32_t glTarget) {
  for (int i = 1; i < kTextureTargetCount; ++i)
    if (kTargets[i] == glTarget) return static_cast<TGLTextureTarget>(i);
  ZASSERT(false, "Error: Unknown type!");
  return ttTexture2D;
}

bool IsTargetSupported(TGLTextureTarget target) { return IsGLTargetSupported(TextureTargetToGL(target)); }

bool IsGLTargetSupported(uint32_t glTarget) {
  const TGLExtensionsAndEntryPoints& g = CurrentGLEntryPoints();
  switch (glTarget) {
    case GL_TEXTURE_1D:
    case GL_TEXTURE_2D:
      return g.VERSION_1_1 || g.EXT_texture_object;
    case GL_TEXTURE_3D:
      return g.EXT_texture3D;
    case GL_TEXTURE_RECTANGLE:
      return g.ARB_texture_rectangle;
    case GL_TEXTURE_CUBE_MAP:
    case GL_TEXTURE_CUBE_MAP_POSITIVE_X:
    case GL_TEXTURE_CUBE_MAP_NEGATIVE_X:
    case GL_TEXTURE_CUBE_MAP_POSITIVE_Y:
    case GL_TEXTURE_CUBE_MAP_NEGATIVE_Y:
    case GL_TEXTURE_CUBE_MAP_POSITIVE_Z:
    case GL_TEXTURE_CUBE_MAP_NEGATIVE_Z:
      return g.ARB_texture_cube_map;
    case GL_TEXTURE_1D_ARRAY:
    case GL_TEXTURE_2D_ARRAY:
      return g.EXT_texture_array;
    case GL_TEXTURE_CUBE_MAP_ARRAY:
      return g.ARB_texture_cube_map_array;
    case GL_TEXTURE_BUFFER:
      return g.ARB_texture_buffer_object;
    case GL_TEXTURE_2D_MULTISAMPLE:
    case GL_TEXTURE_2D_MULTISAMPLE_ARRAY:
      return g.ARB_texture_multisample;
    default:
      ZASSERT(false, "Error: Unknown type!");
      return false;
  }
}

bool TargetSupportsMipmaps(uint32_t glTarget) {
  return glTarget != GL_TEXTURE_RECTANGLE && glTarget != GL_TEXTURE_2D_MULTISAMPLE &&
         glTarget != GL_TEXTURE_2D_MULTISAMPLE_ARRAY;
}

}  // namespace gl3d
