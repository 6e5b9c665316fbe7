// TGLBaseImage: the level table, the pixel block, conversion to 8-bit RGBA, mipmaps on the CPU and
// the built-in error picture. The upload and the read-back are in GLImageTransfer.cpp.
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "scene3d/gl/GLLog.h"
#include "scene3d/scene/texture/GLGraphics.h"

namespace gl3d {

namespace {

// The largest block an image holds: its byte counts are 32-bit numbers.
constexpr uint64_t kMaxImageBytes = std::numeric_limits<uint32_t>::max();
constexpr uint64_t kSaturated = std::numeric_limits<uint64_t>::max();

uint64_t SatMul(uint64_t a, uint64_t b) { return (a != 0 && b > kSaturated / a) ? kSaturated : a * b; }
uint64_t SatAdd(uint64_t a, uint64_t b) { return b > kSaturated - a ? kSaturated : a + b; }
uint64_t NonNegative(int32_t v) { return v < 0 ? 0 : static_cast<uint64_t>(v); }

// The error picture: "ERROR" in five colours on black, in a 5 x 7 font drawn at twice its size.
void DrawErrorPicture(uint8_t* rgb) {
  static const uint8_t kGlyphE[7] = {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F};
  static const uint8_t kGlyphR[7] = {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11};
  static const uint8_t kGlyphO[7] = {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E};
  static const uint8_t* const kText[5] = {kGlyphE, kGlyphR, kGlyphR, kGlyphO, kGlyphR};
  static const uint8_t kColours[5][3] = {
      {255, 64, 64}, {255, 200, 0}, {64, 255, 64}, {64, 160, 255}, {255, 64, 255}};
  std::memset(rgb, 0, 64 * 64 * 3);
  for (int letter = 0; letter < 5; ++letter) {
    for (int gy = 0; gy < 7; ++gy)
      for (int gx = 0; gx < 5; ++gx) {
        if (!((kText[letter][gy] >> (4 - gx)) & 1)) continue;
        for (int dy = 0; dy < 2; ++dy)
          for (int dx = 0; dx < 2; ++dx) {
            const int x = 3 + letter * 12 + gx * 2 + dx;
            const int top = 25 + gy * 2 + dy;
            uint8_t* p = rgb + ((63 - top) * 64 + x) * 3;  // bottom row first
            std::memcpy(p, kColours[letter], 3);
          }
      }
  }
}

}  // namespace

uint64_t VTCBlockOffset(int32_t x, int32_t y, int32_t z, int32_t w, int32_t h, int32_t d,
                        int32_t elementSize) {
  const uint64_t w4 = NonNegative((w + 3) / 4), h4 = NonNegative((h + 3) / 4);
  const uint64_t slab = NonNegative(z / 4);
  const uint64_t slabDepth = std::min<uint64_t>(4, NonNegative(d) - 4 * slab);
  const uint64_t block =
      4 * w4 * h4 * slab + slabDepth * (NonNegative(x) + w4 * NonNegative(y)) + NonNegative(z % 4);
  return block * NonNegative(elementSize);
}

TGLBaseImage::TGLBaseImage() : TDataFile(nullptr) {}

TGLBaseImage::~TGLBaseImage() { FreeData(); }

std::unique_ptr<TDataFile> TGLBaseImage::NewInstance(TPersistent*) const {
  return std::make_unique<TGLBaseImage>();
}

void TGLBaseImage::SetLevelPixelBuffer(TGLImageLODRange level, std::unique_ptr<TGLUnpackPBOHandle> pbo) {
  lod_[level].PBO = std::move(pbo);
}

void TGLBaseImage::FreeData() {
  std::free(data_);
  data_ = nullptr;
  held_ = 0;
}

void TGLBaseImage::ResizeData(uint64_t size) {
  if (size > kMaxImageBytes) throw EGLImageUtils("Image too large");
  if (size == held_) return;
  if (size == 0) return FreeData();
  void* block = std::realloc(data_, static_cast<size_t>(size));
  if (!block) throw EGLImageUtils("Image too large");
  data_ = static_cast<uint8_t*>(block);
  held_ = size;
}

uint64_t TGLBaseImage::LevelBytes(int32_t width, int32_t height, int32_t depth) const {
  uint64_t slices = NonNegative(textureArray_ ? lod_[0].Depth : depth);
  if (slices == 0) slices = 1;
  uint64_t w = NonNegative(width), h = NonNegative(height);
  if (IsCompressed()) {
    w = (w + 3) / 4;
    h = (h + 3) / 4;
  }
  if (h == 0) h = 1;
  uint64_t size = SatMul(SatMul(SatMul(w, h), slices), NonNegative(elementSize_));
  if (cubeMap_ && !textureArray_) size = SatMul(size, 6);
  if (size % 4 != 0) size = SatAdd(size / 4 * 4, 4);
  return size;
}

void TGLBaseImage::UpdateLevels() const {
  int32_t w = lod_[0].Width, h = lod_[0].Height, d = lod_[0].Depth;
  lod_[0].Offset = 0;
  lod_[0].Size = LevelBytes(w, h, d);
  for (int i = 1; i < kImageLevelCount; ++i) {
    HalveDimension(w);
    HalveDimension(h);
    if (!textureArray_) d /= 2;
    lod_[i].Width = w;
    lod_[i].Height = h;
    lod_[i].Depth = d;
    lod_[i].Offset = SatAdd(lod_[i - 1].Offset, lod_[i - 1].Size);
    lod_[i].Size = LevelBytes(w, h, d);
  }
}

uint64_t TGLBaseImage::DataSize() const {
  if (IsEmpty()) return 0;
  UpdateLevels();
  uint64_t total = 0;
  for (int i = 0; i < levelCount_; ++i) total = SatAdd(total, lod_[i].Size);
  return total;
}

uint8_t* TGLBaseImage::LevelAddress(int level) const {
  if (!data_ || lod_[level].Offset > held_) return nullptr;
  return data_ + lod_[level].Offset;
}

uint8_t* TGLBaseImage::LevelFaceAddress(int level, int face) const {
  uint8_t* base = LevelAddress(level);
  const uint64_t offset = static_cast<uint64_t>(face) * (lod_[level].Size / 6);
  if (!base || lod_[level].Offset + offset > held_) return nullptr;
  return base + offset;
}

void TGLBaseImage::HalveDimension(int32_t& extent) {
  extent /= 2;
  if (extent == 0) extent = 1;
}

int TGLBaseImage::MipLevelCount(int32_t width, int32_t height, int32_t depth, bool halveDepth) {
  depth = std::max(depth, 1);
  int count = 1;
  while (width > 1 || height > 1 || (halveDepth && depth > 1)) {
    HalveDimension(width);
    HalveDimension(height);
    if (halveDepth) HalveDimension(depth);
    ++count;
  }
  return count;
}

void TGLBaseImage::SetLayout(int32_t width, int32_t height, int32_t depth, uint32_t colorFormat,
                             uint32_t dataType, TGLInternalFormat internalFormat, int32_t elementSize,
                             bool cubeMap, bool textureArray) {
  lod_[0].Width = width;
  lod_[0].Height = height;
  lod_[0].Depth = depth;
  colorFormat_ = colorFormat;
  dataType_ = dataType;
  internalFormat_ = internalFormat;
  elementSize_ = elementSize;
  cubeMap_ = cubeMap;
  textureArray_ = textureArray;
}

void TGLBaseImage::AssignDescription(const TGLBaseImage& source) {
  for (int i = 0; i < kImageLevelCount; ++i) {
    TGLImageLevel& to = lod_[i];
    const TGLImageLevel& from = source.lod_[i];
    to.Width = from.Width;
    to.Height = from.Height;
    to.Depth = from.Depth;
    to.MapAddress = from.MapAddress;
    to.Offset = from.Offset;
    to.StreamOffset = from.StreamOffset;
    to.Size = from.Size;
    to.State = from.State;
  }
  levelCount_ = source.levelCount_;
  colorFormat_ = source.colorFormat_;
  internalFormat_ = source.internalFormat_;
  dataType_ = source.dataType_;
  elementSize_ = source.elementSize_;
  cubeMap_ = source.cubeMap_;
  textureArray_ = source.textureArray_;
}

void TGLBaseImage::Assign(const TPersistent* source) {
  if (source == nullptr) return;
  const auto* image = dynamic_cast<const TGLBaseImage*>(source);
  if (!image) return TDataFile::Assign(source);
  if (image == this) return;
  const uint64_t size = image->DataSize();
  ResizeData(size);
  AssignDescription(*image);
  // A source that holds fewer bytes than it describes gives what it has.
  const uint64_t copied = std::min(size, image->held_);
  if (copied) std::memcpy(data_, image->data_, static_cast<size_t>(copied));
}

void TGLBaseImage::UnMipmap() {
  for (int i = 1; i < kImageLevelCount; ++i) {
    lod_[i].Width = 0;
    lod_[i].Height = 0;
    lod_[i].Depth = 0;
  }
  levelCount_ = 1;
}

void TGLBaseImage::ConversionFailed() {
  gllog::Error(gllog::Format("%s: can't convert image to RGBA8 format", ClassName()));
  LoadErrorPicture();
}

void TGLBaseImage::ConvertToRGBA8() {
  if (colorFormat_ == GL_RGBA && GetDepth() == 0 && dataType_ == GL_UNSIGNED_BYTE && levelCount_ == 1 &&
      !textureArray_ && !cubeMap_)
    return;
  UnMipmap();
  const int32_t w = GetWidth(), h = GetHeight();
  auto becomeRGBA8 = [this, w, h] { SetLayout(w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, tfRGBA8, 4); };
  // The first slice or face of level 0 is what is converted; an image without those pixels (a
  // blank one) changes its description only.
  const uint64_t sliceBytes =
      IsCompressed()
          ? SatMul(SatMul((NonNegative(w) + 3) / 4, (NonNegative(h) + 3) / 4), NonNegative(elementSize_))
          : SatMul(SatMul(NonNegative(w), NonNegative(h)), NonNegative(elementSize_));
  if (!data_ || held_ < sliceBytes) {
    becomeRGBA8();
    return;
  }
  const uint64_t bytes = SatMul(SatMul(NonNegative(w), NonNegative(h)), 4);
  try {
    if (bytes > kMaxImageBytes) throw EGLImageUtils("Image too large");
    std::unique_ptr<uint8_t, decltype(&std::free)> block(
        static_cast<uint8_t*>(std::malloc(std::max<size_t>(bytes, 1))), &std::free);
    if (!block) throw EGLImageUtils("Image too large");
    ConvertPixels(data_, block.get(), colorFormat_, GL_RGBA, dataType_, GL_UNSIGNED_BYTE, w, h);
    becomeRGBA8();
    FreeData();
    data_ = block.release();
    held_ = bytes;
  } catch (const std::exception&) {
    ConversionFailed();
  }
}

void TGLBaseImage::LoadErrorPicture() {
  UnMipmap();
  SetLayout(64, 64, 0, GL_RGB, GL_UNSIGNED_BYTE, tfRGB8, 3);
  ResizeData(DataSize());
  DrawErrorPicture(data_);
}

void TGLBaseImage::GenerateMipmap(TImageFilterFunction kernel) {
  UnMipmap();
  const int32_t w = GetWidth(), h = GetHeight(), d = GetDepth();
  // The level table has 16 entries: a picture above 32768 on a side keeps its first 16 levels.
  const bool volume = IsVolume();
  levelCount_ = static_cast<uint8_t>(std::min(MipLevelCount(w, h, d, volume), kImageLevelCount));
  try {
    ResizeData(DataSize());
  } catch (const std::exception&) {
    ConversionFailed();
    return;
  }
  if (volume || levelCount_ == 1) return;
  // Each slice of an array, and each face of a cube map, is filtered on its own.
  const int32_t slices = std::max(d, 1) * (cubeMap_ && !textureArray_ ? 6 : 1);
  std::vector<void*> levels;
  for (int i = 1; i < levelCount_; ++i) levels.push_back(LevelAddress(i));
  for (int32_t s = 0; s < slices; ++s) {
    BuildMipmapChain(LevelAddress(0) + static_cast<uint64_t>(s) * (lod_[0].Size / slices), levels,
                     colorFormat_, dataType_, kernel, w, h);
    for (int i = 1; i < levelCount_; ++i)
      levels[i - 1] = static_cast<uint8_t*>(levels[i - 1]) + lod_[i].Size / slices;
  }
}

void TGLBaseImage::AdoptLevelZero(uint8_t* block, uint64_t bytes, int32_t width, int32_t height) {
  TGLBaseImage::UnMipmap();
  FreeData();
  lod_[0].Width = width;
  lod_[0].Height = height;
  data_ = block;
  held_ = bytes;
  UpdateLevels();
}

}  // namespace gl3d
