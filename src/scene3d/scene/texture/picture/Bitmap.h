#pragma once
// A 24- or 32-bit bitmap of the picture layer (Graphic.h): pixels B, G, R (and A), rows padded to
// 4 bytes as in a BMP file, kept bottom-up or top-down as the file they came from. ScanLine
// addresses rows in picture order (row 0 is the top row) whatever the storage order.
//
// Its stream form is a BMP file. The reader takes 1-, 4- and 8-bit palette pictures (plain or
// run-length coded), 16-bit ones (5-5-5 or bit fields), 24-bit and 32-bit ones (plain or bit
// fields), bottom-up or top-down; palette and 16- and 24-bit pictures become pf24bit, 32-bit ones
// and those with an alpha mask pf32bit. The writer writes a bottom-up 24- or 32-bit file with a
// 40-byte header.
#include <cstdint>
#include <vector>

#include "scene3d/scene/texture/picture/Graphic.h"

namespace gl3d {

enum TPixelFormat : uint8_t { pf24bit, pf32bit };

class TBitmap : public TGraphic {
 public:
  TBitmap() = default;
  static std::unique_ptr<TGraphic> Create() { return std::make_unique<TBitmap>(); }
  const char* ClassName() const override { return "TBitmap"; }
  TGraphicClass GraphicClass() const override { return &TBitmap::Create; }

  bool Empty() const override { return width_ == 0 || height_ == 0; }
  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  TPixelFormat PixelFormat() const { return format_; }
  int BytesPerPixel() const { return format_ == pf32bit ? 4 : 3; }
  // Whether row 0 of the storage is the top row (as in a BMP file with a negative height).
  bool TopDown() const { return topDown_; }

  // New sizes clear the pixels to 0 (black, and transparent for pf32bit). Negative sizes count
  // as 0.
  void SetSize(int32_t width, int32_t height);
  void SetWidth(int32_t width) { SetSize(width, height_); }
  void SetHeight(int32_t height) { SetSize(width_, height); }
  // Converts the pixels: 24 to 32 bits gives alpha 255, 32 to 24 bits drops the alpha.
  void SetPixelFormat(TPixelFormat format);

  // Row `row` of the picture, 0 being the top row. A row outside the bitmap raises
  // EInvalidGraphic "Scan line index out of range".
  uint8_t* ScanLine(int32_t row);
  const uint8_t* ScanLine(int32_t row) const;

  // From a bitmap: a copy. From nil: empty. From a PNG image: its pixels (PngImage.h).
  void Assign(const TPersistent* source) override;

  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) const override;
  void StretchDraw(TBitmap& target, int32_t left, int32_t top, int32_t width, int32_t height) const override;

  // Replaces the whole contents (used by readers once a picture is complete).
  void Adopt(int32_t width, int32_t height, TPixelFormat format, bool topDown, std::vector<uint8_t> pixels);
  size_t Stride() const { return stride_; }

 private:
  static size_t StrideFor(int32_t width, TPixelFormat format);
  int32_t width_ = 0, height_ = 0;
  TPixelFormat format_ = pf24bit;
  bool topDown_ = false;
  size_t stride_ = 0;
  std::vector<uint8_t> pixels_;
};

// The address of one row of a bitmap, row 0 being the top row, for either storage order.
inline uint8_t* BitmapScanLine(TBitmap& bitmap, int32_t row) { return bitmap.ScanLine(row); }

}  // namespace gl3d
