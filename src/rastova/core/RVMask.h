#pragma once
// TRVMask: a 1- or 8-bit selection or transparency mask with the bounding box of its non-zero
// pixels and a flag telling whether every pixel is fully set. Readers collect transparency in
// it; the view rasterises selections into it, moves it, outlines and shades it; the
// processing code copies pixels through it.
#include <cstdint>
#include <vector>

#include "rastova/core/RVDefs.h"
#include "rastova/core/RVUtils.h"

namespace platform {
class TBitmap;
}

namespace rv {

class TRVBitmap;
class TRVPlatformBitmap;

// Where the drawing routines put their pixels (a canvas of the drawing layer, or a test).
class TRVMaskPainter {
 public:
  virtual ~TRVMaskPainter() = default;
  virtual void PaintPixel(int32_t x, int32_t y, const TRGB& colour) = 0;
  virtual void InvertPixel(int32_t x, int32_t y) = 0;
  // `count` pixels from (x, y) rightwards, one colour each, left to right. Painters that can
  // write a row at once override it; the others get the pixels one by one.
  virtual void PaintRun(int32_t x, int32_t y, int32_t count, const TRGB* colours) {
    for (int32_t i = 0; i < count; ++i) PaintPixel(static_cast<int32_t>(int64_t(x) + i), y, colours[i]);
  }
};

class TRVMask {
 public:
  // A point with this x separates the polygons of one point list.
  static constexpr int32_t kPolygonSeparator = 0xFFFFF;
  static constexpr int32_t kEmptyBox = 2147483647;

  TRVMask() = default;
  TRVMask(const TRVMask&) = delete;
  TRVMask& operator=(const TRVMask&) = delete;

  void FreeBits();
  // Zero-filled; empties the box and clears the full flag.
  void AllocateBits(int32_t width, int32_t height, int32_t bitsPerPixel);
  // Keeps the top-left content; the box is clamped into the new size.
  void Resize(int32_t newWidth, int32_t newHeight);
  // Row 0 is the top row; no range check.
  uint8_t* GetScanLine(int32_t row) {
    return bits_.data() + static_cast<int64_t>(rowLen_) * (height_ - row - 1);
  }

  void SetPixel(int32_t x, int32_t y, int32_t value);
  // 0 outside; a set 1-bit pixel answers its bit (128 >> x mod 8); 8-bit the byte.
  int32_t GetPixel(int32_t x, int32_t y) const;
  bool IsPointInside(int32_t x, int32_t y) const { return GetPixel(x, y) != 0; }
  // Clamped into the mask; 1-bit: value 1 sets, any other value clears. Returns the pixels written.
  int32_t DrawHorizontalSpan(int32_t value, int32_t x1, int32_t y, int32_t x2);
  void Fill(int32_t value);
  void Clear();
  bool IsEmpty() const { return Left == kEmptyBox; }
  void RecomputeBounds();
  void CheckFull();

  // Polygons separated by points with x = kPolygonSeparator, each filled by the even-odd rule;
  // then CheckFull.
  void AddPolygons(int32_t value, const TRVPoint* points, int32_t count);
  // Covers rows from the smallest y to the largest y - 1 and columns from the left crossing to
  // the right crossing - 1. Only the rows inside the mask are visited; a polygon that draws
  // nothing leaves the mask and its box unchanged.
  void AddPolygon(int32_t value, const TRVPoint* points, int32_t n);

  // Moves the content by (dx, dy). Crop false reduces the offsets so that the box stays inside.
  void Translate(int32_t& dx, int32_t& dy, bool crop);

  // Selected pixels of a 1-bit mask invert the destination (nearest-neighbour scaled).
  void DrawXor(TRVMaskPainter& painter, int32_t xDst, int32_t yDst, int32_t dstW, int32_t dstH, int32_t xSrc,
               int32_t ySrc, int32_t srcW, int32_t srcH);
  // The dashed outline of the selection as the view shows it.
  struct TRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
  };
  void DrawSelectionBorder(TRVMaskPainter& painter, int32_t xDst, int32_t yDst, int32_t dstW, int32_t dstH,
                           int32_t srcX, int32_t srcY, int32_t srcW, int32_t srcH, int32_t phase, TColor colour1,
                           TColor colour2, TRect* rect);
  // Darkens or tints the unselected part of a 24-bit platform bitmap.
  void ShadeUnselectedArea(TRVPlatformBitmap& bitmap, int32_t xDst, int32_t yDst, int32_t dstW, int32_t dstH,
                           int32_t srcX, int32_t srcY, int32_t srcW, int32_t srcH, int32_t opacity, TColor colour);
  void ShadeUnselectedArea(platform::TBitmap* bitmap, int32_t xDst, int32_t yDst, int32_t dstW, int32_t dstH,
                           int32_t srcX, int32_t srcY, int32_t srcW, int32_t srcH, int32_t opacity, TColor colour);
  // Copies source pixels into dest where the mask selects them; pixels outside either bitmap
  // are skipped.
  void CopyBitmap(TRVBitmap& dest, TRVBitmap& source, bool withAlpha, bool clip, bool destRelative);

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t BitsPerPixel() const { return bitsPerPixel_; }
  int32_t RowLen() const { return rowLen_; }
  bool HasBits() const { return !bits_.empty(); }

  int32_t Left = kEmptyBox, Top = kEmptyBox, Right = 0, Bottom = 0;
  bool Full = false;

 private:
  void EmptyBox() {
    Left = Top = kEmptyBox;
    Right = Bottom = 0;
  }
  void ClampBox();
  void PrepareStretch(int32_t dstW, int32_t dstH);
  uint8_t* StretchRow(int32_t r) { return stretch_.data() + static_cast<int64_t>(stretchRowLen_) * r; }
  bool StretchSelected(int32_t r, int32_t c) const;

  int32_t width_ = 0, height_ = 0, bitsPerPixel_ = 0, rowLen_ = 0;
  std::vector<uint8_t> bits_;
  // Scratch of the size last drawn, rows top-down.
  std::vector<uint8_t> stretch_;
  int32_t stretchW_ = 0, stretchH_ = 0, stretchRowLen_ = 0, stretchBpp_ = 0;

  friend void StretchMaskRows(TRVMask& mask, uint8_t* dest, int32_t destRowLen, int32_t destWidth,
                              int32_t destHeight, int32_t srcX, int32_t srcY, int32_t srcW, int32_t srcH);
};

// Nearest-neighbour scaling of the part of the mask that its box can reach into `dest`
// (destHeight rows of destRowLen bytes, top-down, bits per pixel of the mask); the rest of
// dest is cleared. Steps have 14 fraction bits.
void StretchMaskRows(TRVMask& mask, uint8_t* dest, int32_t destRowLen, int32_t destWidth, int32_t destHeight,
                     int32_t srcX, int32_t srcY, int32_t srcW, int32_t srcH);

}  // namespace rv
