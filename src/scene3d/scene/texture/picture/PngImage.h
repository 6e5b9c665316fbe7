#pragma once
// A PNG image of the picture layer (Graphic.h), read with libpng. Whatever the file's colour type
// and depth, the image keeps 8-bit rows: colour as B, G, R triples (ScanLine), and for the colour
// types with an alpha channel (4 and 6) one alpha byte a pixel (AlphaScanline). The header keeps
// the file's own colour type and depth. Rows are in file order, row 0 being the top row.
//
// Nothing is allocated beyond what the data can hold: a picture whose rows could not fit in the
// compressed data at deflate's largest ratio is refused before its rows are allocated.
#include <cstdint>
#include <vector>

#include "scene3d/scene/texture/picture/Graphic.h"

namespace gl3d {

// PNG colour types.
enum : uint8_t {
  COLOR_GRAYSCALE = 0,
  COLOR_RGB = 2,
  COLOR_PALETTE = 3,
  COLOR_GRAYSCALEALPHA = 4,
  COLOR_RGBALPHA = 6
};

struct TPngHeader {
  int32_t Width = 0;
  int32_t Height = 0;
  uint8_t BitDepth = 0;
  uint8_t ColorType = 0;
};

class TPngImage : public TGraphic {
 public:
  TPngImage() = default;
  static std::unique_ptr<TGraphic> Create() { return std::make_unique<TPngImage>(); }
  const char* ClassName() const override { return "TPngImage"; }
  TGraphicClass GraphicClass() const override { return &TPngImage::Create; }

  bool Empty() const override { return header_.Width == 0 || header_.Height == 0; }
  int32_t Width() const override { return header_.Width; }
  int32_t Height() const override { return header_.Height; }
  const TPngHeader& Header() const { return header_; }

  // B, G, R of each pixel of row `row` (0 the top row); out of range raises EInvalidGraphic.
  const uint8_t* ScanLine(int32_t row) const;
  // The alpha bytes of a row, or nullptr when the colour type has no alpha channel.
  const uint8_t* AlphaScanline(int32_t row) const;
  // The colour of one pixel (red in the low byte); 0 outside the image.
  TColor Pixels(int32_t x, int32_t y) const;

  // From a PNG image: a copy. From nil: empty.
  void Assign(const TPersistent* source) override;
  // EInvalidGraphic "PNG image is not valid" on damaged data; the image keeps what it held.
  void LoadFromStream(TStream& stream) override;
  // The picture layer reads PNG only: raises EInvalidGraphic "Cannot save a PNG image".
  void SaveToStream(TStream& stream) const override;
  // Blends the pixels over the target with their alpha.
  void StretchDraw(TBitmap& target, int32_t left, int32_t top, int32_t width, int32_t height) const override;

 protected:
  // Into a bitmap: pf32bit with the alpha when the image has an alpha channel, else pf24bit.
  void AssignTo(TPersistent* dest) const override;

 private:
  TPngHeader header_;
  std::vector<uint8_t> colour_;  // Width * 3 bytes a row
  std::vector<uint8_t> alpha_;   // Width bytes a row, empty without an alpha channel
};

}  // namespace gl3d
