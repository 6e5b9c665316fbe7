// TGLImage: the blank state, the setters, scan lines, assignment from the picture layer and the
// pixel operations that textures apply to their images.
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "common/Round.h"
#include "scene3d/base/GLColor.h"
#include "scene3d/gl/GLContext.h"
#include "scene3d/scene/texture/GLGraphics.h"
#include "scene3d/scene/texture/GLUtils.h"
#include "scene3d/scene/texture/picture/Bitmap.h"
#include "scene3d/scene/texture/picture/PngImage.h"

namespace gl3d {

namespace {

// R, G, B of every pixel through a 256-entry table; alpha unchanged.
void ApplyTable(TGLPixel32* pixels, size_t count, const uint8_t table[256]) {
  for (size_t i = 0; i < count; ++i) {
    pixels[i].R = table[pixels[i].R];
    pixels[i].G = table[pixels[i].G];
    pixels[i].B = table[pixels[i].B];
  }
}

void ApplyBrightness(TGLPixel32* pixels, size_t count, float factor) {
  ZASSERT(factor >= 0, "Assertion failed");
  if (count < 1) return;
  uint8_t table[256];
  for (int i = 0; i < 256; ++i)
    table[i] = static_cast<uint8_t>(std::min<int64_t>(common::Round(factor * static_cast<float>(i)), 255));
  ApplyTable(pixels, count, table);
}

void ApplyGamma(TGLPixel32* pixels, size_t count, float gamma) {
  ZASSERT(gamma > 0, "Assertion failed");
  if (count < 1) return;
  const float exponent = gamma < 0.1f ? 10.0f : 1.0f / gamma;
  uint8_t table[256];
  for (int i = 0; i < 256; ++i) {
    const float base = static_cast<float>(static_cast<long double>(i) * (1.0L / 255.0L));
    table[i] = static_cast<uint8_t>(common::Round(std::pow(base, exponent) * 255.0f));
  }
  ApplyTable(pixels, count, table);
}

// One bitmap row to RGBA: B, G, R becomes R, G, B, 255; B, G, R, A becomes R, G, B, A.
void SwapBGR24ToRGBA(const uint8_t* in, uint8_t* out, int32_t count) {
  for (int32_t x = 0; x < count; ++x, in += 3, out += 4) {
    out[0] = in[2];
    out[1] = in[1];
    out[2] = in[0];
    out[3] = 255;
  }
}

void SwapBGRA32ToRGBA(const uint8_t* in, uint8_t* out, int32_t count) {
  for (int32_t x = 0; x < count; ++x, in += 4, out += 4) {
    out[0] = in[2];
    out[1] = in[1];
    out[2] = in[0];
    out[3] = in[3];
  }
}

uint8_t NormalComponent(float v) {
  return static_cast<uint8_t>(common::Round(std::clamp(v, -128.0f, 127.0f) + 128.0f));
}

}  // namespace

TGLImage::TGLImage() { SetBlank(false); }

std::unique_ptr<TDataFile> TGLImage::NewInstance(TPersistent*) const { return std::make_unique<TGLImage>(); }

void TGLImage::SetExtent(int32_t& extent, int32_t value) {
  ZASSERT(value >= 0, "Assertion failed");
  if (value == extent) return;
  extent = value;
  blank_ = true;
}

void TGLImage::SetWidth(int32_t value) { SetExtent(lod_[0].Width, value); }
void TGLImage::SetHeight(int32_t value) { SetExtent(lod_[0].Height, value); }
void TGLImage::SetDepth(int32_t value) { SetExtent(lod_[0].Depth, value); }

void TGLImage::SetCubeMap(bool value) {
  if (value == cubeMap_) return;
  cubeMap_ = value;
  blank_ = true;
}

void TGLImage::SetTextureArray(bool value) {
  if (value == textureArray_) return;
  textureArray_ = value;
  blank_ = true;
}

void TGLImage::SetBlank(bool value) {
  if (!value && !IsEmpty()) {
    try {
      ResizeData(DataSize());
    } catch (const std::exception&) {
      ConversionFailed();
    }
  }
  blank_ = value;
}

void TGLImage::SetColorFormatDataType(uint32_t colorFormat, uint32_t dataType) {
  if (blank_) {
    colorFormat_ = colorFormat;
    dataType_ = dataType;
    return;
  }
  DataSize();  // the level table of the old layout, whose offsets the conversion reads from
  oldColorFormat_ = colorFormat_;
  oldDataType_ = dataType_;
  colorFormat_ = colorFormat;
  dataType_ = dataType;
  elementSize_ = GetTextureElementSize(colorFormat, dataType);
  ConvertLevelsToFormat();
}

// Every level (each slice, and each face of a cube map) from the old layout to the new one. A
// volume's levels are converted too, each with its own number of slices, so that its pixels always
// match its layout.
void TGLImage::ConvertLevelsToFormat() {
  uint64_t oldOffsets[kImageLevelCount];
  for (int i = 0; i < kImageLevelCount; ++i) oldOffsets[i] = lod_[i].Offset;
  const bool volume = IsVolume();
  const uint64_t size = DataSize();
  int64_t slices = std::max(GetDepth(), 1);
  if (cubeMap_ && !textureArray_) slices *= 6;
  uint8_t* block = nullptr;
  try {
    if (size > std::numeric_limits<uint32_t>::max()) throw EGLImageUtils("Image too large");
    block = static_cast<uint8_t*>(std::malloc(std::max<size_t>(size, 1)));
    if (!block) throw EGLImageUtils("Image too large");
    for (int level = levelCount_ - 1; level >= 0; --level) {
      const int64_t rows =
          static_cast<int64_t>(lod_[level].Height) * (volume ? std::max(lod_[level].Depth, 1) : slices);
      if (rows > std::numeric_limits<int32_t>::max()) throw EGLImageUtils("Image too large");
      ConvertPixels(data_ ? data_ + oldOffsets[level] : nullptr, block + lod_[level].Offset, oldColorFormat_,
                    colorFormat_, oldDataType_, dataType_, lod_[level].Width, static_cast<int32_t>(rows));
    }
  } catch (const std::exception&) {
    std::free(block);
    ConversionFailed();
    return;
  }
  FreeData();
  data_ = block;
  held_ = size;
}

void TGLImage::GenerateMipmap(TImageFilterFunction kernel) {
  if (!blank_) TGLBaseImage::GenerateMipmap(kernel);
}

void TGLImage::UnMipmap() {
  TGLBaseImage::UnMipmap();
  if (blank_ || IsEmpty()) return;
  const uint64_t size = DataSize();
  if (size < held_) ResizeData(size);
}

PGLPixel32Array TGLImage::GetScanLine(int32_t row) {
  ConvertToRGBA8();
  const uint64_t rowBytes = static_cast<uint64_t>(GetWidth()) * 4;
  ZASSERT(row >= 0 && row < GetHeight() && data_ && (static_cast<uint64_t>(row) + 1) * rowBytes <= held_,
          "Assertion failed");
  return reinterpret_cast<PGLPixel32Array>(data_ + static_cast<uint64_t>(row) * rowBytes);
}

std::unique_ptr<TBitmap> TGLImage::CreateBGRABitmap() {
  if (blank_) return nullptr;
  ConvertToRGBA8();
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf32bit);
  const int32_t w = GetWidth(), h = GetHeight();
  bitmap->SetSize(w, h);
  const uint64_t rowBytes = static_cast<uint64_t>(w) * 4;
  for (int32_t i = 0; i < h; ++i) {
    const uint64_t at = static_cast<uint64_t>(h - 1 - i) * rowBytes;
    if (!data_ || at + rowBytes > held_) break;
    SwapBGRA32ToRGBA(data_ + at, bitmap->ScanLine(i), w);  // the same swap takes R, G, B, A to B, G, R, A
  }
  return bitmap;
}

// ---- Assignment ----

void TGLImage::Assign(const TPersistent* source) {
  if (const auto* image = dynamic_cast<const TGLBaseImage*>(source)) {
    if (image == this) return;
    const auto* rgba = dynamic_cast<const TGLImage*>(image);
    const bool sourceBlank = rgba && rgba->blank_;
    if (sourceBlank)
      AssignDescription(*image);
    else
      TGLBaseImage::Assign(source);
    blank_ = sourceBlank;
    return;
  }
  if (const auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
    if (bitmap->Width() % 4 == 0 || CurrentGLEntryPoints().EXT_bgra) {
      if (bitmap->PixelFormat() == pf24bit)
        AssignFrom24BitsBitmap(*bitmap);
      else
        AssignFrom32BitsBitmap(*bitmap);
      return;
    }
  } else if (const auto* png = dynamic_cast<const TPngImage*>(source)) {
    AssignFromPngImage(*png);
    return;
  }
  if (const auto* graphic = dynamic_cast<const TGraphic*>(source)) {
    // Through a 24-bit bitmap whose width is a multiple of 4, the picture stretched over it.
    TBitmap temporary;
    const int32_t w = graphic->Width(), h = graphic->Height();
    if (w % 4 == 0) {
      temporary.SetSize(w, h);
      graphic->Draw(temporary, 0, 0);
    } else {
      temporary.SetSize(w / 4 * 4 + 4, h);
      graphic->StretchDraw(temporary, 0, 0, temporary.Width(), h);
    }
    AssignFrom24BitsBitmap(temporary);
    return;
  }
  TGLBaseImage::Assign(source);
}

void TGLImage::StartAssignFrom(int32_t width, int32_t height, uint32_t colorFormat, int32_t elementSize) {
  UnMipmap();
  SetLayout(width, height, 0, colorFormat, GL_UNSIGNED_BYTE, tfRGBA8, elementSize);
  ResizeData(DataSize());
  blank_ = false;
}

void TGLImage::AssignFrom24BitsBitmap(const TBitmap& bitmap) { AssignFromBitmapRows(bitmap, pf24bit); }
void TGLImage::AssignFrom32BitsBitmap(const TBitmap& bitmap) { AssignFromBitmapRows(bitmap, pf32bit); }

// With GL_EXT_bgra the rows are copied as they are (GL_BGR or GL_BGRA); without, B, G, R (, A)
// becomes R, G, B, A (alpha 255 from 24 bits).
void TGLImage::AssignFromBitmapRows(const TBitmap& bitmap, TPixelFormat format) {
  ZASSERT(bitmap.PixelFormat() == format, "Assertion failed");
  const int step = format == pf32bit ? 4 : 3;
  const bool bgra = CurrentGLEntryPoints().EXT_bgra;
  const int32_t w = bitmap.Width(), h = bitmap.Height();
  if (!bgra) ZASSERT(w % 4 == 0, "Assertion failed");
  StartAssignFrom(w, h, bgra ? (step == 4 ? GL_BGRA : GL_BGR) : GL_RGBA, bgra ? step : 4);
  const size_t rowBytes = static_cast<size_t>(w) * static_cast<size_t>(elementSize_);
  for (int32_t k = 0; k < h; ++k) {
    const uint8_t* in = bitmap.ScanLine(keepRowOrder_ ? k : h - 1 - k);
    uint8_t* out = data_ + static_cast<size_t>(k) * rowBytes;
    if (bgra) {
      std::memcpy(out, in, rowBytes);
      continue;
    }
    if (step == 4)
      SwapBGRA32ToRGBA(in, out, w);
    else
      SwapBGR24ToRGBA(in, out, w);
  }
}

void TGLImage::AssignFromPngImage(const TPngImage& png) {
  const int32_t w = png.Width(), h = png.Height();
  StartAssignFrom(w, h, GL_RGBA, 4);
  const uint8_t type = png.Header().ColorType;
  const bool truecolour = type == COLOR_RGB || type == COLOR_RGBALPHA;
  for (int32_t k = 0; k < h; ++k) {
    const int32_t row = h - 1 - k;
    const uint8_t* colour = png.ScanLine(row);
    const uint8_t* alpha = png.AlphaScanline(row);
    uint8_t* out = data_ + static_cast<size_t>(k) * static_cast<size_t>(w) * 4;
    for (int32_t x = 0; x < w; ++x) {
      if (truecolour) {
        out[4 * x] = colour[3 * x + 2];
        out[4 * x + 1] = colour[3 * x + 1];
        out[4 * x + 2] = colour[3 * x];
      } else {
        const TColor c = png.Pixels(x, row);
        out[4 * x] = GetRedValue(c);
        out[4 * x + 1] = GetGreenValue(c);
        out[4 * x + 2] = GetBlueValue(c);
      }
      out[4 * x + 3] = alpha ? alpha[x] : 255;
    }
  }
}

// ---- Pixel operations ----

TGLPixel32* TGLImage::RgbaPixels(size_t& count) {
  ConvertToRGBA8();
  count = static_cast<size_t>(std::min(DataSize(), held_) / 4);
  return data_ ? reinterpret_cast<TGLPixel32*>(data_) : (count = 0, nullptr);
}

void TGLImage::SetAlphaToIntensity() {
  size_t n;
  TGLPixel32* p = RgbaPixels(n);
  for (size_t i = 0; i < n; ++i) p[i].A = static_cast<uint8_t>((p[i].R + p[i].G + p[i].B) / 3);
}

void TGLImage::ClearAlphaForColor(TColor color) {
  ClearAlphaForColor(TGLPixel32{GetRedValue(color), GetGreenValue(color), GetBlueValue(color), 0});
}

void TGLImage::ClearAlphaForColor(TGLPixel32 color) {
  size_t n;
  TGLPixel32* p = RgbaPixels(n);
  for (size_t i = 0; i < n; ++i)
    p[i].A = (p[i].R == color.R && p[i].G == color.G && p[i].B == color.B) ? 0 : 255;
}

void TGLImage::FillAlpha(uint8_t value) {
  size_t n;
  TGLPixel32* p = RgbaPixels(n);
  for (size_t i = 0; i < n; ++i) p[i].A = value;
}

void TGLImage::InvertAlpha() {
  size_t n;
  TGLPixel32* p = RgbaPixels(n);
  for (size_t i = 0; i < n; ++i) p[i].A = static_cast<uint8_t>(255 - p[i].A);
}

void TGLImage::SqrtAlpha() {
  const uint8_t* table = SqrtByteTable();
  size_t n;
  TGLPixel32* p = RgbaPixels(n);
  for (size_t i = 0; i < n; ++i) p[i].A = table[(p[i].R + p[i].G + p[i].B) / 3];
}

void TGLImage::ApplyImageBrightness(float factor) {
  if (!data_) return;
  size_t n;
  TGLPixel32* p = RgbaPixels(n);
  ApplyBrightness(p, n, factor);
}

void TGLImage::ApplyImageGamma(float gamma) {
  if (!data_) return;
  size_t n;
  TGLPixel32* p = RgbaPixels(n);
  ApplyGamma(p, n, gamma);
}

void TGLImage::MakeNormalMap(bool wrapHorizontally, bool wrapVertically, float scale) {
  if (!data_) return;
  size_t n;
  const TGLPixel32* p = RgbaPixels(n);
  const int32_t w = GetWidth(), h = GetHeight();
  if (!p || n < static_cast<size_t>(w) * static_cast<size_t>(h)) return;
  const int32_t mw = w - 1, mh = h - 1;
  std::vector<TGLPixel32> out(n);
  auto green = [&](int32_t x, int32_t y) {
    return static_cast<float>(p[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)].G);
  };
  for (int32_t y = 0; y < h; ++y) {
    const int32_t above = wrapVertically ? ((y - 1) & mh) : std::max(y - 1, 0);
    const int32_t below = wrapVertically ? ((y + 1) & mh) : std::min(y + 1, mh);
    for (int32_t x = 0; x < w; ++x) {
      const int32_t left = wrapHorizontally ? ((x - 1) & mw) : std::max(x - 1, 0);
      const int32_t right = wrapHorizontally ? ((x + 1) & mw) : std::min(x + 1, mw);
      const float dx = (green(left, y) - green(right, y)) * scale;
      const float dy = (green(x, above) - green(x, below)) * scale;
      const float len = 1.0f / std::sqrt(dx * dx + dy * dy + 1.0f) * 127.0f;
      out[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] =
          TGLPixel32{NormalComponent(dx * len), NormalComponent(dy * len), NormalComponent(len), 255};
    }
  }
  std::memcpy(data_, out.data(), static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
}

}  // namespace gl3d
