#pragma once
// The CPU side of textures. TGLBaseImage is one block of pixel data holding up to 16 levels of
// detail, with the OpenGL layout of its pixels; it computes every level's size and offset,
// converts itself to 8-bit RGBA, builds and drops mipmaps, uploads itself to a texture and reads a
// texture back. TGLImage, the image that texture images hand out, adds the blank state (levels
// described, no pixels held), size and format setters, rows as 8-bit RGBA (ScanLine, bottom row
// first), assignment from the picture layer's bitmaps and PNG images, and the alpha, brightness,
// gamma and normal-map operations that textures apply.
//
// Pixel rows follow each other without gaps; a cube map's level holds its six faces in the order
// +X, -X, +Y, -Y, +Z, -Z; an array's or a volume's level holds its slices one after the other.
// Sizes are computed in 64 bits; a picture whose bytes do not fit in 32 bits cannot be held and is
// treated as a failed conversion (the image becomes the error picture).
#include <GL/gl.h>

#include <cstdint>
#include <memory>

#include "scene3d/base/BaseClasses.h"
#include "scene3d/gl/GLContext.h"
#include "scene3d/gl/GLTextureFormat.h"
#include "scene3d/scene/texture/ImageUtils.h"
#include "scene3d/scene/texture/picture/Bitmap.h"

namespace gl3d {

class TPngImage;

enum TGLLODStreamingState : uint8_t { ssKeeping, ssLoading, ssLoaded, ssTransfered };
// A level index, 0 to 15.
using TGLImageLODRange = uint8_t;
inline constexpr int kImageLevelCount = 16;

struct TGLImageLevel {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Depth = 0;
  // A pixel-unpack buffer a caller may store here; owned by the image, never copied.
  std::unique_ptr<TGLUnpackPBOHandle> PBO;
  void* MapAddress = nullptr;
  uint64_t Offset = 0;  // in Data
  uint32_t StreamOffset = 0;
  uint64_t Size = 0;  // bytes of the level
  TGLLODStreamingState State = ssKeeping;
};

struct TGLPixel32 {
  uint8_t R, G, B, A;
};
static_assert(sizeof(TGLPixel32) == 4);
// A scan line: the pixels of one row (the array type bounds what one block can address).
using TGLPixel32Array = TGLPixel32[268435456];
using PGLPixel32Array = TGLPixel32*;

// Where block (x, y, z) of a w x h x d compressed volume lies in GL_NV_texture_compression_vtc
// order, in bytes: slabs of four slices, each block's four slices side by side. A last slab of
// fewer than four slices keeps its blocks' slices side by side likewise.
uint64_t VTCBlockOffset(int32_t x, int32_t y, int32_t z, int32_t w, int32_t h, int32_t d,
                        int32_t elementSize);

struct TImageUpload;

class TGLBaseImage : public TDataFile {
 public:
  // Empty, GL_RGBA / GL_UNSIGNED_BYTE, tfRGBA8, element size 4, one level.
  TGLBaseImage();
  ~TGLBaseImage() override;
  TGLBaseImage(const TGLBaseImage&) = delete;
  TGLBaseImage& operator=(const TGLBaseImage&) = delete;
  const char* ClassName() const override { return "TGLBaseImage"; }
  // The parameterless virtual constructor (the owner is not used).
  std::unique_ptr<TDataFile> NewInstance(TPersistent* owner) const override;

  // From an image: its level descriptions (not the pixel buffers), formats and DataSize bytes of
  // pixels. From nil: nothing. Anything else: "Cannot assign a <source> to a <this>".
  void Assign(const TPersistent* source) override;

  virtual uint8_t* GetData() const { return data_; }
  // Hands the levels to OpenGL for `handle`'s target (see GLImageTransfer.cpp). Needs a current
  // context; the caller binds the texture unless the context has direct state access. The sizes
  // sent for level 0 come back in width, height and depth (untouched for ttNoShape).
  virtual void UploadToTexture(TGLTextureHandle& handle, bool mipmapsWanted, GLenum internalFormat,
                               int32_t& width, int32_t& height, int32_t& depth);
  // Makes the image hold the texture's levels (at most 16). Colour format and data type 0 take
  // the ones of the internal format. False when no context is at hand or the texture holds no data.
  virtual bool ReadBackFromTexture(TGLTextureHandle& handle, bool useTextureFormat,
                                   TGLInternalFormat internalFormat, GLenum colorFormat, GLenum dataType);
  // Builds levels 1 and up from level 0 (volumes: only makes room for them).
  virtual void GenerateMipmap(TImageFilterFunction kernel);
  // Keeps level 0 only; the block keeps its size.
  virtual void UnMipmap();

  // Bytes of all present levels (0 for an empty image); refreshes the level table.
  uint64_t DataSize() const;
  int32_t GetWidth() const { return lod_[0].Width; }
  int32_t GetHeight() const { return lod_[0].Height; }
  int32_t GetDepth() const { return lod_[0].Depth; }
  uint8_t* LevelAddress(int level) const;
  // LevelAddress(level) + face * (level size / 6).
  uint8_t* LevelFaceAddress(int level, int face) const;
  bool IsEmpty() const { return GetWidth() == 0 || GetHeight() == 0; }
  bool IsCompressed() const { return IsCompressedFormat(internalFormat_); }
  // Depth 1 or more, neither a cube map nor an array.
  bool IsVolume() const { return GetDepth() >= 1 && !cubeMap_ && !textureArray_; }

  // To plain GL_RGBA / GL_UNSIGNED_BYTE of level 0's first slice or face; nothing to do when the
  // image is that already. A failing conversion is logged and gives the error picture.
  void ConvertToRGBA8();
  // The built-in 64 x 64 GL_RGB picture (coloured lettering on black).
  void LoadErrorPicture();

  // extent div 2, then 1 when that is 0.
  static void HalveDimension(int32_t& extent);
  static int MipLevelCount(int32_t width, int32_t height, int32_t depth, bool halveDepth);

  int32_t LevelWidth(TGLImageLODRange level) const { return lod_[level].Width; }
  int32_t LevelHeight(TGLImageLODRange level) const { return lod_[level].Height; }
  int32_t LevelDepth(TGLImageLODRange level) const { return lod_[level].Depth; }
  TGLUnpackPBOHandle* LevelPixelBuffer(TGLImageLODRange level) const { return lod_[level].PBO.get(); }
  void SetLevelPixelBuffer(TGLImageLODRange level, std::unique_ptr<TGLUnpackPBOHandle> pbo);
  uint64_t LevelOffset(TGLImageLODRange level) const { return lod_[level].Offset; }
  uint64_t LevelSizeInByte(TGLImageLODRange level) const { return lod_[level].Size; }
  TGLLODStreamingState LevelStreamingState(TGLImageLODRange level) const { return lod_[level].State; }
  void SetLevelStreamingState(TGLImageLODRange level, TGLLODStreamingState state) {
    lod_[level].State = state;
  }

  uint8_t LevelCount() const { return levelCount_; }
  uint32_t ColorFormat() const { return colorFormat_; }
  TGLInternalFormat InternalFormat() const { return internalFormat_; }
  uint32_t DataType() const { return dataType_; }
  int32_t ElementSize() const { return elementSize_; }
  bool CubeMap() const { return cubeMap_; }
  bool TextureArray() const { return textureArray_; }
  // Bytes the pixel block holds (0 without one).
  uint64_t HeldBytes() const { return held_; }

 protected:
  // Recomputes the sizes and offsets of all 16 levels from level 0's extents.
  void UpdateLevels() const;
  // Resizes the block, keeping its bytes (new ones are not set). A size beyond 32 bits, or one the
  // system cannot provide, raises EGLImageUtils and leaves the block as it was.
  void ResizeData(uint64_t size);
  void FreeData();
  // Level 0's extents and the pixel layout; the block and the level count are not touched.
  void SetLayout(int32_t width, int32_t height, int32_t depth, uint32_t colorFormat, uint32_t dataType,
                 TGLInternalFormat internalFormat, int32_t elementSize, bool cubeMap = false,
                 bool textureArray = false);
  // Copies the level descriptions (all but the pixel buffers) and the formats of `source`.
  void AssignDescription(const TGLBaseImage& source);
  // Logs "<class>: can't convert image to RGBA8 format" and loads the error picture.
  void ConversionFailed();
  friend struct TImageUpload;
  // Takes a malloc'ed block of `bytes` holding width x height pixels as level 0, the only level.
  void AdoptLevelZero(uint8_t* block, uint64_t bytes, int32_t width, int32_t height);

  uint8_t* data_ = nullptr;
  uint64_t held_ = 0;
  mutable TGLImageLevel lod_[kImageLevelCount];
  uint8_t levelCount_ = 1;
  uint32_t colorFormat_ = GL_RGBA;
  TGLInternalFormat internalFormat_ = tfRGBA8;
  uint32_t dataType_ = GL_UNSIGNED_BYTE;
  int32_t elementSize_ = 4;
  bool cubeMap_ = false;
  bool textureArray_ = false;

 private:
  uint64_t LevelBytes(int32_t width, int32_t height, int32_t depth) const;
};

class TGLImage : public TGLBaseImage {
 public:
  // The base defaults, not blank, no pixels.
  TGLImage();
  const char* ClassName() const override { return "TGLImage"; }
  std::unique_ptr<TDataFile> NewInstance(TPersistent* owner) const override;

  // From an image: its blank state, and its pixels unless it is blank. From a 24- or 32-bit bitmap
  // whose width is a multiple of 4 or, on a context with GL_EXT_bgra, any bitmap: its rows, the
  // bottom row first unless KeepRowOrder. From a PNG image: its rows, the bottom row first. From
  // any other graphic: through a 24-bit bitmap whose width is raised to a multiple of 4, the
  // picture stretched over it. From nil: nothing.
  void Assign(const TPersistent* source) override;
  void GenerateMipmap(TImageFilterFunction kernel) override;
  void UnMipmap() override;

  // A negative value fails an assertion; a new value makes the image blank (the pixels stay).
  void SetWidth(int32_t value);
  void SetHeight(int32_t value);
  void SetDepth(int32_t value);
  void SetCubeMap(bool value);
  void SetTextureArray(bool value);
  // Blank: only the two formats are stored. Otherwise the pixels are converted to the new layout
  // (a failure gives the error picture).
  void SetColorFormatDataType(uint32_t colorFormat, uint32_t dataType);
  bool Blank() const { return blank_; }
  // False sizes the block for the described levels (new bytes are not set; a picture too large to
  // hold gives the error picture). True keeps the block.
  void SetBlank(bool value);
  bool KeepRowOrder() const { return keepRowOrder_; }
  void SetKeepRowOrder(bool value) { keepRowOrder_ = value; }
  uint32_t OldColorFormat() const { return oldColorFormat_; }
  uint32_t OldDataType() const { return oldDataType_; }

  // Row `row` as 8-bit RGBA (the image is converted first); row 0 is the bottom row of the
  // picture. A row outside the image or the pixels held fails an assertion.
  PGLPixel32Array GetScanLine(int32_t row);
  PGLPixel32Array ScanLine(int32_t row) { return GetScanLine(row); }

  // A new 32-bit bitmap of the picture (top row first), or nullptr when blank.
  std::unique_ptr<TBitmap> CreateBGRABitmap();

  // The alpha, brightness and gamma rules of textures, over every pixel after ConvertToRGBA8. An
  // image without pixels is left alone.
  void SetAlphaToIntensity();
  void ClearAlphaForColor(TColor color);
  void ClearAlphaForColor(TGLPixel32 color);
  void FillAlpha(uint8_t value);
  void InvertAlpha();
  void SqrtAlpha();
  // factor >= 0 (else an assertion fails): R, G, B := min(round(factor * v), 255).
  void ApplyImageBrightness(float factor);
  // gamma > 0 (else an assertion fails): R, G, B := round((v / 255) ^ (1 / gamma) * 255).
  void ApplyImageGamma(float gamma);
  // The green channel as a height field becomes a normal map (R, G, B = x, y, z around 128).
  void MakeNormalMap(bool wrapHorizontally, bool wrapVertically, float scale);

  void AssignFrom24BitsBitmap(const TBitmap& bitmap);
  void AssignFrom32BitsBitmap(const TBitmap& bitmap);
  void AssignFromPngImage(const TPngImage& png);

 private:
  friend class TGLBaseImage;  // the upload and the read-back set the blank flag
  void StartAssignFrom(int32_t width, int32_t height, uint32_t colorFormat, int32_t elementSize);
  void AssignFromBitmapRows(const TBitmap& bitmap, TPixelFormat format);
  // A new level-0 extent makes the image blank.
  void SetExtent(int32_t& extent, int32_t value);
  void ConvertLevelsToFormat();
  // The RGBA pixels after ConvertToRGBA8, or nullptr when none are held; `count` receives their number.
  TGLPixel32* RgbaPixels(size_t& count);

  bool keepRowOrder_ = false;
  bool blank_ = false;
  uint32_t oldColorFormat_ = 0;
  uint32_t oldDataType_ = 0;
};

}  // namespace gl3d
