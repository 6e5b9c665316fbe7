#pragma once
// Packed device-independent bitmaps (DIBs) as byte blocks: a 40-byte BITMAPINFOHEADER (or a
// larger header of the same start), the colour table (4 bytes per entry: blue, green, red,
// reserved) and the pixel rows, each padded to 4 bytes, the bottom row first for a positive
// height. Capture drivers and the clipboard also deliver YUV pixel layouts named by a
// FourCC code in the compression field; they are decoded here too.
//
// Every reader checks every size, count and offset against the block it is given and
// refuses (returns 0) what does not fit, never reading outside it.
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "rastova/core/RVDefs.h"

namespace rv {

class TRVBitmap;
class TRVDibbitmap;
class TRVPlatformBitmap;

#pragma pack(push, 1)
struct TBitmapInfoHeader {
  uint32_t biSize = 40;
  int32_t biWidth = 0;
  int32_t biHeight = 0;
  uint16_t biPlanes = 1;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
};
#pragma pack(pop)
static_assert(sizeof(TBitmapInfoHeader) == 40);
static_assert(offsetof(TBitmapInfoHeader, biBitCount) == 14);
static_assert(offsetof(TBitmapInfoHeader, biCompression) == 16);
static_assert(offsetof(TBitmapInfoHeader, biXPelsPerMeter) == 24);
static_assert(offsetof(TBitmapInfoHeader, biClrUsed) == 32);

// Compression codes.
constexpr uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3;
// A FourCC code read as a little-endian 32-bit value.
constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | (uint32_t(uint8_t(b)) << 8) | (uint32_t(uint8_t(c)) << 16) |
         (uint32_t(uint8_t(d)) << 24);
}

// The rectangle [x1, x2) x [y1, y2) of the image (x2 or y2 of 0: the width or height) as a
// packed DIB: rv1g as 1 bit, rv8p and rv8g as 8 bits with a 256-entry table, rv24RGB as 24
// bits, other formats converted to 24 bits first. The block ends with 4 spare zero bytes.
// Empty when the rectangle is empty or the memory cannot be had.
std::vector<uint8_t> CopyBitmaptoDIBEx(TRVBitmap& bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                                       int32_t dpiX, int32_t dpiY);

// Reads a packed DIB of `size` bytes into the bitmap (rv1g for 1-bit DIBs, else rv24RGB).
// `bits`, when given, holds the pixel rows instead of the block (`bitsSize` bytes). Returns
// the DIB's bit count, or 0 when the block is refused (too short, sizes that do not fit,
// unknown compression); the bitmap is then left empty. RLE8 and RLE4 are decoded.
int32_t PackedDIBToBitmap(const uint8_t* dib, size_t size, TRVBitmap& bitmap, const uint8_t* bits = nullptr,
                          size_t bitsSize = 0);
// The same into a 1-bit (1-bit DIBs) or 24-bit DIB bitmap.
int32_t PackedDIBToDibBitmap(const uint8_t* dib, size_t size, TRVDibbitmap& dibBitmap,
                             const uint8_t* bits = nullptr, size_t bitsSize = 0);

// One channel of a bit-field pixel: the bits of `mask`, scaled to 8 bits by keeping the top 8
// of a wider field, or by placing a narrower one at the top of the byte (a full 5-bit field
// reads as 248). A zero mask reads as 0.
struct BitField {
  uint32_t mask = 0;
  int32_t shift = 0, width = 0;
  explicit BitField(uint32_t m);
  uint8_t Get(uint32_t v) const {
    if (width == 0) return 0;
    const uint32_t f = (v & mask) >> shift;
    return static_cast<uint8_t>(width >= 8 ? f >> (width - 8) : f << (8 - width));
  }
  // The field scaled to 8 bits as v x 255 / (2^n - 1), rounded, for any width n: the rule of
  // 32-bit bit-field pixels, where a field narrower or wider than a byte read by truncation
  // would come out one step low against every other reader. A zero mask reads as 0.
  uint8_t Scaled(uint32_t v) const {
    if (width == 0) return 0;
    const uint64_t top = (uint64_t(1) << width) - 1;
    const uint64_t f = std::min<uint64_t>((v & mask) >> shift, top);
    return static_cast<uint8_t>((f * 255 + top / 2) / top);
  }
};

// Whether a run-length image of width x height pixels may be decoded from `dataBytes` bytes of
// coded data: up to max(4096 x 4096, 256 x dataBytes) pixels. The one bound of every run-length
// reader, so that a tiny file cannot ask for a huge image.
bool RLEImageFits(int64_t width, int64_t height, int64_t dataBytes);

// YUV samples to RGB: d = 1.164 (Y - 16), blue d + 2.018 (U - 128), green d - 0.813 (V - 128)
// - 0.391 (U - 128), red d + 1.596 (V - 128), each to the nearest integer and clamped.
TRGB YUVToRGB(int32_t y, int32_t u, int32_t v);

// Copies the pixels (size, format, colour table and rows) of one platform bitmap into another.
void CopyTBitmapPixels(TRVPlatformBitmap& source, TRVPlatformBitmap& dest);
std::unique_ptr<TRVPlatformBitmap> DuplicateTBitmap(TRVPlatformBitmap& source);
// The same two under the names the image buffer calls them by.
inline void CopyTBitmap(TRVPlatformBitmap& source, TRVPlatformBitmap& dest) { CopyTBitmapPixels(source, dest); }
inline std::unique_ptr<TRVPlatformBitmap> CloneTBitmap(TRVPlatformBitmap& bitmap) { return DuplicateTBitmap(bitmap); }

}  // namespace rv
