// Moving a TGLBaseImage between the CPU and OpenGL: UploadToTexture and ReadBackFromTexture.
//
// The upload fits the size to the context (powers of two without GL_ARB_texture_non_power_of_two,
// the largest texture size), resamples with the Lanczos-3 kernel when it must, arranges mipmaps
// (GL_SGIS_generate_mipmap, else on the CPU) and sends every level with the texture-image call of
// the handle's target in one of four modes: classic or direct state access, plain or compressed.
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "scene3d/gl/GLContext.h"
#include "scene3d/gl/GLStateCache.h"
#include "scene3d/scene/texture/GLGraphics.h"
#include "scene3d/scene/texture/GLUtils.h"

namespace gl3d {

namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
using Block = std::unique_ptr<uint8_t, FreeDeleter>;

Block AllocateBlock(uint64_t bytes) {
  if (bytes > 0xFFFFFFFFull) return nullptr;
  return Block(static_cast<uint8_t*>(std::malloc(std::max<size_t>(static_cast<size_t>(bytes), 1))));
}

// The texture-image calls of one upload: mode 0 classic, 1 compressed, 2 direct state access,
// 3 compressed direct state access.
struct LevelSender {
  TGLExtensionsAndEntryPoints& gl;
  int mode;
  GLuint name;
  GLenum internalFormat;
  GLenum colorFormat;
  GLenum dataType;

  void Send1D(GLenum target, int level, int32_t w, const void* data, uint64_t size) const {
    const auto bytes = static_cast<GLsizei>(size);
    switch (mode) {
      case 0:
        gl.TexImage1D(target, level, static_cast<GLint>(internalFormat), w, 0, colorFormat, dataType, data);
        break;
      case 1:
        gl.CompressedTexImage1D(target, level, internalFormat, w, 0, bytes, data);
        break;
      case 2:
        gl.TextureImage1D(name, target, level, static_cast<GLint>(internalFormat), w, 0, colorFormat,
                          dataType, data);
        break;
      default:
        gl.CompressedTextureImage1D(name, target, level, internalFormat, w, 0, bytes, data);
        break;
    }
  }
  void Send2D(GLenum target, int level, int32_t w, int32_t h, const void* data, uint64_t size) const {
    const auto bytes = static_cast<GLsizei>(size);
    switch (mode) {
      case 0:
        gl.TexImage2D(target, level, static_cast<GLint>(internalFormat), w, h, 0, colorFormat, dataType,
                      data);
        break;
      case 1:
        gl.CompressedTexImage2D(target, level, internalFormat, w, h, 0, bytes, data);
        break;
      case 2:
        gl.TextureImage2D(name, target, level, static_cast<GLint>(internalFormat), w, h, 0, colorFormat,
                          dataType, data);
        break;
      default:
        gl.CompressedTextureImage2D(name, target, level, internalFormat, w, h, 0, bytes, data);
        break;
    }
  }
  void Send3D(GLenum target, int level, int32_t w, int32_t h, int32_t d, const void* data,
              uint64_t size) const {
    const auto bytes = static_cast<GLsizei>(size);
    switch (mode) {
      case 0:
        gl.TexImage3D(target, level, static_cast<GLint>(internalFormat), w, h, d, 0, colorFormat, dataType,
                      data);
        break;
      case 1:
        gl.CompressedTexImage3D(target, level, internalFormat, w, h, d, 0, bytes, data);
        break;
      case 2:
        gl.TextureImage3D(name, target, level, static_cast<GLint>(internalFormat), w, h, d, 0, colorFormat,
                          dataType, data);
        break;
      default:
        gl.CompressedTextureImage3D(name, target, level, internalFormat, w, h, d, 0, bytes, data);
        break;
    }
  }
};

// Copies the blocks of a w x h x d compressed level between slice order (`slices`) and the
// GL_NV_texture_compression_vtc order (`vtc`), in the direction asked.
void ReorderVTC(uint8_t* slices, uint8_t* vtc, int32_t w, int32_t h, int32_t d, int32_t elementSize,
                bool toVTC) {
  const int32_t w4 = (w + 3) / 4, h4 = (h + 3) / 4;
  const size_t block = static_cast<size_t>(elementSize);
  for (int32_t z = 0; z < d; ++z)
    for (int32_t y = 0; y < h4; ++y)
      for (int32_t x = 0; x < w4; ++x) {
        uint8_t* plain = slices + ((static_cast<size_t>(z) * h4 + y) * w4 + x) * block;
        uint8_t* ordered = vtc + VTCBlockOffset(x, y, z, w, h, d, elementSize);
        if (toVTC)
          std::memcpy(ordered, plain, block);
        else
          std::memcpy(plain, ordered, block);
      }
}

GLint GetTexLevelInt(TGLExtensionsAndEntryPoints& gl, GLenum target, int level, GLenum pname) {
  GLint v = 0;
  gl.GetTexLevelParameteriv(target, level, pname, &v);
  return v;
}

}  // namespace

// One upload, step by step: the size OpenGL gets, the level-0 data of that size, the mipmaps, and
// the texture-image calls of the target kind.
struct TImageUpload {
  TGLBaseImage& image;
  TGLExtensionsAndEntryPoints& gl;
  TGLStateCache& states;
  TGLTextureTarget target;
  GLenum glTarget;
  GLuint name;
  bool blank;
  int32_t tw = 0, th = 0, td = 0;
  int levels = 1;
  Block scratch;  // the resampled level 0
  uint64_t scratchBytes = 0;

  TImageUpload(TGLBaseImage& i, TGLTextureHandle& handle, TGLTextureTarget t, bool isBlank)
      : image(i),
        gl(CurrentGLEntryPoints()),
        states(SafeCurrentGLContext()->GLStates()),
        target(t),
        glTarget(TextureTargetToGL(t)),
        name(handle.GetHandle()),
        blank(isBlank),
        levels(i.levelCount_) {}

  // Powers of two without GL_ARB_texture_non_power_of_two; width and height within the largest
  // texture size.
  void FitSize() {
    tw = image.GetWidth(), th = image.GetHeight(), td = image.GetDepth();
    if (!gl.ARB_texture_non_power_of_two) {
      tw = NextPowerOfTwo(tw);
      th = NextPowerOfTwo(th);
      td = td == 0 ? 0 : NextPowerOfTwo(td);
    }
    const int32_t maxSize = states.GetMaxTextureSize();
    if (maxSize > 0) {
      tw = std::min(tw, maxSize);
      th = std::min(th, maxSize);
    }
  }

  // Another size: the picture resampled with Lanczos-3, or storage only for volumes, compressed
  // images, cube maps and pictures that cannot be resampled.
  void Resize() {
    if (image.GetWidth() == tw && image.GetHeight() == th) return;
    if (td > 0 || image.IsCompressed() || (image.cubeMap_ && target == ttTextureCube)) {
      blank = true;
      return;
    }
    if (blank) return;
    scratchBytes =
        (static_cast<uint64_t>(tw) * static_cast<uint64_t>(th) * static_cast<uint64_t>(image.elementSize_) +
         3) &
        ~static_cast<uint64_t>(3);
    scratch = AllocateBlock(scratchBytes);
    try {
      if (!scratch || !image.data_) throw EGLImageUtils("Image too large");
      ResamplePixels(image.data_, scratch.get(), image.colorFormat_, image.dataType_, Lanczos3FilterKernel,
                     image.GetWidth(), image.GetHeight(), tw, th);
      levels = 1;
    } catch (const std::exception&) {
      scratch.reset();
      blank = true;
    }
  }

  // Made by OpenGL (GL_SGIS_generate_mipmap), else on the CPU from the picture at its texture size.
  void ArrangeMipmaps(bool wanted) {
    const bool dsa = gl.EXT_direct_state_access;
    if (wanted && TargetSupportsMipmaps(glTarget) && levels == 1) {
      if (gl.SGIS_generate_mipmap) {
        if (dsa)
          gl.TextureParameterf(name, glTarget, GL_GENERATE_MIPMAP_SGIS, 1.0f);
        else
          gl.TexParameteri(glTarget, GL_GENERATE_MIPMAP_SGIS, 1);
      } else {
        if (scratch) image.AdoptLevelZero(scratch.release(), scratchBytes, tw, th);
        try {
          image.GenerateMipmap(TentFilterKernel);
        } catch (const std::exception&) {
          image.UnMipmap();  // a layout the filters cannot write is sent as one level
        }
        levels = image.levelCount_;
      }
    }
    if (gl.SGIS_texture_lod && levels > 1) {
      if (dsa)
        gl.TextureParameterf(name, glTarget, GL_TEXTURE_MAX_LEVEL_SGIS, static_cast<float>(levels - 1));
      else
        gl.TexParameteri(glTarget, GL_TEXTURE_MAX_LEVEL_SGIS, levels - 1);
    }
    image.UpdateLevels();
  }

  // A level's data: the resampled block for level 0, nothing when blank, else the level's bytes
  // (nothing when the block does not hold them).
  const void* LevelData(int i, const uint8_t* address) const {
    if (i == 0 && scratch) return scratch.get();
    if (blank || !address) return nullptr;
    const uint64_t bytes = image.lod_[i].Size / (target == ttTextureCube ? 6 : 1);
    return static_cast<uint64_t>(address - image.data_) + bytes <= image.held_ ? address : nullptr;
  }

  void Send(GLenum internalFormat) {
    const bool compressed = image.IsCompressed();
    const LevelSender send{gl,
                           (compressed ? 1 : 0) + (gl.EXT_direct_state_access ? 2 : 0),
                           name,
                           internalFormat,
                           image.colorFormat_,
                           image.dataType_};
    const TGLImageLevel* lod = image.lod_;
    int32_t w = tw, h = th, d = td;
    switch (target) {
      case ttTexture1D:
        for (int i = 0; i < levels; ++i, TGLBaseImage::HalveDimension(w))
          send.Send1D(glTarget, i, w, LevelData(i, image.LevelAddress(i)), lod[i].Size);
        break;
      case ttTexture2D:
        for (int i = 0; i < levels; ++i, TGLBaseImage::HalveDimension(w), TGLBaseImage::HalveDimension(h))
          send.Send2D(glTarget, i, w, h, LevelData(i, image.LevelAddress(i)), lod[i].Size);
        break;
      case ttTextureRect:
        send.Send2D(glTarget, 0, w, h, LevelData(0, image.LevelAddress(0)), lod[0].Size);
        break;
      case ttTexture3D:
        SendVolume(send, compressed);
        break;
      case ttTexture1DArray:
        for (int i = 0; i < levels; ++i, TGLBaseImage::HalveDimension(w))
          send.Send2D(glTarget, i, w, h, LevelData(i, image.LevelAddress(i)), lod[i].Size);
        break;
      case ttTexture2DArray:
      case ttTextureCubeArray:
        for (int i = 0; i < levels; ++i, TGLBaseImage::HalveDimension(w), TGLBaseImage::HalveDimension(h))
          send.Send3D(glTarget, i, w, h, d, LevelData(i, image.LevelAddress(i)), lod[i].Size);
        break;
      case ttTextureCube:
        for (int i = 0; i < levels; ++i, TGLBaseImage::HalveDimension(w), TGLBaseImage::HalveDimension(h))
          for (int face = 0; face < 6; ++face)
            send.Send2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, i, w, h,
                        LevelData(i, image.LevelFaceAddress(i, face)), lod[i].Size / 6);
        break;
      default:
        break;  // buffers and multisample textures take no image
    }
  }

  // Volumes; compressed ones go in GL_NV_texture_compression_vtc block order where it exists.
  void SendVolume(const LevelSender& send, bool compressed) {
    const bool vtc = gl.NV_texture_compression_vtc && compressed;
    Block reordered;
    int32_t w = tw, h = th, d = td;
    for (int i = 0; i < levels; ++i) {
      const void* data = LevelData(i, image.LevelAddress(i));
      if (vtc && data) {
        if (!reordered) reordered = AllocateBlock(image.lod_[0].Size);
        if (reordered) {
          ReorderVTC(static_cast<uint8_t*>(const_cast<void*>(data)), reordered.get(), w, h, d,
                     image.elementSize_, true);
          data = reordered.get();
        }
      }
      send.Send3D(glTarget, i, w, h, d, data, image.lod_[i].Size);
      TGLBaseImage::HalveDimension(w);
      TGLBaseImage::HalveDimension(h);
      TGLBaseImage::HalveDimension(d);
    }
  }
};

void TGLBaseImage::UploadToTexture(TGLTextureHandle& handle, bool mipmapsWanted, GLenum internalFormat,
                                   int32_t& width, int32_t& height, int32_t& depth) {
  const auto target = static_cast<TGLTextureTarget>(handle.Target());
  if (target == ttNoShape) return;
  UpdateLevels();
  auto* image = dynamic_cast<TGLImage*>(this);
  TImageUpload upload(*this, handle, target, image && image->blank_);
  upload.states.SetUnpackAlignment(1);  // rows are sent without padding
  upload.FitSize();
  width = upload.tw;
  height = upload.th;
  depth = upload.td;
  upload.Resize();
  if (image) image->blank_ = upload.blank;
  upload.ArrangeMipmaps(mipmapsWanted);
  upload.Send(internalFormat);
}

bool TGLBaseImage::ReadBackFromTexture(TGLTextureHandle& handle, bool useTextureFormat,
                                       TGLInternalFormat internalFormat, GLenum colorFormat,
                                       GLenum dataType) {
  TGLContext* context = CurrentGLContext();
  if (!context) context = handle.GetContext();
  if (!context) return false;
  const auto target = static_cast<TGLTextureTarget>(handle.Target());
  if (target == ttNoShape) return false;
  context->Activate();
  struct Deactivator {
    TGLContext* c;
    ~Deactivator() { c->Deactivate(); }
  } deactivate{context};

  if (handle.IsDataNeedUpdate()) return false;
  TGLExtensionsAndEntryPoints& gl = context->GL();
  context->GLStates().SetTextureBinding(0, target, handle.GetHandle());
  const GLenum glTarget = TextureTargetToGL(target);
  levelCount_ = 0;
  GLint maxLevel = 0;
  gl.GetTexParameteriv(glTarget, GL_TEXTURE_MAX_LEVEL, &maxLevel);
  // The level count: GL_TEXTURE_MAX_LEVEL is the last level's index; never above the table's 16.
  int64_t max = std::min<int64_t>(static_cast<int64_t>(maxLevel) + 1, kImageLevelCount);

  cubeMap_ = glTarget == GL_TEXTURE_CUBE_MAP;
  const int faces = cubeMap_ ? 6 : 1;
  const GLenum query = cubeMap_ ? GL_TEXTURE_CUBE_MAP_POSITIVE_X : glTarget;
  textureArray_ = glTarget == GL_TEXTURE_1D_ARRAY || glTarget == GL_TEXTURE_2D_ARRAY ||
                  glTarget == GL_TEXTURE_CUBE_MAP_ARRAY;

  while (levelCount_ < max && GetTexLevelInt(gl, query, levelCount_, GL_TEXTURE_INTERNAL_FORMAT) != 1) {
    if (++levelCount_ != 1) continue;
    lod_[0].Width = GetTexLevelInt(gl, query, 0, GL_TEXTURE_WIDTH);
    lod_[0].Height = GetTexLevelInt(gl, query, 0, GL_TEXTURE_HEIGHT);
    lod_[0].Depth = 0;
    if (glTarget == GL_TEXTURE_3D || glTarget == GL_TEXTURE_2D_ARRAY || glTarget == GL_TEXTURE_CUBE_MAP_ARRAY)
      lod_[0].Depth = GetTexLevelInt(gl, query, 0, GL_TEXTURE_DEPTH);
    internalFormat_ = useTextureFormat ? GLToInternalFormat(static_cast<uint32_t>(
                                             GetTexLevelInt(gl, query, 0, GL_TEXTURE_INTERNAL_FORMAT)))
                                       : internalFormat;
    GetCompatibleDataFormat(internalFormat_, colorFormat_, dataType_);
    if (colorFormat != 0) colorFormat_ = colorFormat;
    if (dataType != 0) dataType_ = dataType;
    max = std::min<int64_t>(
        max, MipLevelCount(lod_[0].Width, lod_[0].Height, lod_[0].Depth, glTarget == GL_TEXTURE_3D));
    if (internalFormat_ >= tfFLOAT_R16 && internalFormat_ <= tfFLOAT_RGBA32) max = 1;
  }

  if (levelCount_ > 0) {
    elementSize_ = GetTextureElementSize(colorFormat_, dataType_);
    ResizeData(DataSize());
    const bool compressed = IsCompressed();
    const bool vtc = compressed && gl.NV_texture_compression_vtc && GetDepth() >= 2 && !textureArray_;
    // Rows come back without padding.
    GLint packAlignment = 4;
    gl.GetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
    gl.PixelStorei(GL_PACK_ALIGNMENT, 1);
    Block scratch;
    for (int face = 0; face < faces; ++face) {
      int32_t w = GetWidth(), h = GetHeight(), d = GetDepth();
      for (int i = 0; i < levelCount_; ++i, HalveDimension(w), HalveDimension(h), HalveDimension(d)) {
        const GLenum faceTarget = cubeMap_ ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + face : glTarget;
        uint8_t* dest = cubeMap_ ? LevelFaceAddress(i, face) : LevelAddress(i);
        if (!dest) continue;
        if (!compressed) {
          gl.GetTexImage(faceTarget, i, colorFormat_, dataType_, dest);
        } else if (vtc) {
          if (!scratch) scratch = AllocateBlock(lod_[0].Size);
          if (!scratch) continue;
          gl.GetCompressedTexImage(faceTarget, i, scratch.get());
          ReorderVTC(dest, scratch.get(), w, h, d, elementSize_, false);
        } else {
          gl.GetCompressedTexImage(faceTarget, i, dest);
        }
      }
    }
    gl.PixelStorei(GL_PACK_ALIGNMENT, packAlignment);
  }
  ResizeData(DataSize());
  if (auto* image = dynamic_cast<TGLImage*>(this)) {
    image->blank_ = levelCount_ == 0;
    if (levelCount_ == 0) {
      UnMipmap();
      FreeData();
    }
  }
  gl.CheckError();
  return true;
}

}  // namespace gl3d
