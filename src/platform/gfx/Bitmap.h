#pragma once
// TBitmap: a device-independent bitmap over pixel memory the bitmap owns.
//
// Layout: rows top-down and contiguous, row 0 the top row, each row padded to a multiple of
// 4 bytes (BytesPerLine). Pixels: pf1bit 8 pixels per byte, the most significant bit the
// leftmost, each bit an index into a 2-entry colour table; pf8bit one index per byte into a
// 256-entry colour table; pf24bit blue, green, red; pf32bit blue, green, red and a fourth
// byte that drawing ignores.
//
// The pixel memory moves only when SetSize, SetWidth, SetHeight, SetPixelFormat or an Assign
// that changes the size or format reallocates it; nothing else (drawing, palette changes,
// reading) moves it. Code that keeps row addresses (the image library's row tables) re-reads
// them after those calls.
//
// Drawing lands in this memory: the canvas paints through QImage objects that wrap it, and
// Image() hands out such a wrapper for QPainter or for reading. Never keep a copy of that
// QImage and paint on both: Qt would then detach the painted one into a private copy.
//
// The canvas may keep its painter open on the pixels between its calls; the bitmap ends that
// painter before it hands out the pixels (ScanLine, Bits, Image, PixelColor, SetPixelColor),
// moves them, or is destroyed, so code outside the canvas always finds the pixels at rest.
#include <QImage>
#include <QList>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/gfx/Color.h"

namespace platform {

class TCanvas;

enum TPixelFormat : uint8_t {
  pfDevice,
  pf1bit,
  pf4bit,
  pf8bit,
  pf15bit,
  pf16bit,
  pf24bit,
  pf32bit,
  pfCustom
};

// One colour-table entry, laid out as the bitmap files and the image library store it.
struct TRGBQuad {
  uint8_t rgbBlue = 0;
  uint8_t rgbGreen = 0;
  uint8_t rgbRed = 0;
  uint8_t rgbReserved = 0;
  friend bool operator==(const TRGBQuad&, const TRGBQuad&) = default;
};
static_assert(sizeof(TRGBQuad) == 4);

class TBitmap {
 public:
  // An empty bitmap (0 x 0) of format pf32bit.
  TBitmap();
  TBitmap(int width, int height, TPixelFormat format = pf32bit);
  ~TBitmap();
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  // Takes size, pixel format, pixels and colour table of `source`. The memory stays where it
  // is when size and format already agree.
  void Assign(const TBitmap& source);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  // Changes the size keeping the pixels of the common top-left part; new pixels are 0
  // (black, or colour-table entry 0). Negative sizes count as 0. Throws EOutOfResources when
  // the memory cannot be had (the bitmap then keeps its old size and pixels).
  void SetSize(int width, int height);
  void SetWidth(int width) { SetSize(width, height_); }
  void SetHeight(int height) { SetSize(width_, height); }

  // pfDevice gives pf32bit (the display's depth). Changing the format converts the pixels:
  // into pf1bit and pf8bit each pixel takes the nearest entry of the colour table, which is
  // reset to black and white (pf1bit) or the grey ramp (pf8bit). pf4bit, pf15bit, pf16bit
  // and pfCustom are not held: EInvalidGraphicOperation.
  TPixelFormat PixelFormat() const { return format_; }
  void SetPixelFormat(TPixelFormat format);
  int BitsPerPixel() const;
  int BytesPerLine() const { return stride_; }

  // Row y, 0 the top row. EInvalidGraphicOperation ("Scan line index out of range") when y
  // is outside the bitmap.
  uint8_t* ScanLine(int y);
  const uint8_t* ScanLine(int y) const;
  // Row 0; the rows follow at BytesPerLine() steps. Null for an empty bitmap.
  uint8_t* Bits() {
    EndKeptPainter();
    return data_.get();
  }
  const uint8_t* Bits() const {
    EndKeptPainter();
    return data_.get();
  }

  // Colour table of pf1bit (2 entries) and pf8bit (256 entries); empty for other formats.
  int ColorTableSize() const { return static_cast<int>(palette_.size()); }
  std::vector<TRGBQuad> GetColorTable() const { return palette_; }
  // Writes entries first, first + 1, ...; entries beyond the table are dropped.
  void SetColorTable(int first, std::span<const TRGBQuad> entries);
  // Entry i = (i, i, i) for every entry of an 8-bit table.
  bool IsGrayColorTable() const;

  // The pixels as QImage over this bitmap's own memory: pf24bit Format_BGR888, pf32bit
  // Format_RGB32 (bytes blue, green, red and one Qt treats as opaque), pf8bit Format_Indexed8
  // and pf1bit Format_Mono with the colour table. QPainter can paint on the first two; the
  // indexed ones are for reading and for drawing from (paint on them through Canvas()).
  // A null image for an empty bitmap.
  QImage Image();
  QImage Image() const;  // read-only: painting on it paints a private copy

  // The canvas that draws on this bitmap (created on first use, owned by the bitmap).
  TCanvas& Canvas();

  // Colour of a pixel (the table entry for indexed formats) and the nearest table index for
  // a colour. No range checks beyond those documented on TCanvas.
  TColor PixelColor(int x, int y) const;
  void SetPixelColor(int x, int y, TColor color);
  int NearestIndex(TColor color) const;

 private:
  friend class TCanvas;

  void Reallocate(int width, int height, TPixelFormat format);
  void UpdateGrayFlag();
  void Rewrap();
  // The QImage the canvas paints on: the pixels themselves, or for indexed formats the
  // indices seen as grey levels (pf1bit through an unpacked copy of `area`, written back by
  // EndPaint; the painter must stay inside `area`).
  QImage* BeginPaint(const QRect& area);
  void EndPaint(const QRect& area);
  // Ends the painter a canvas keeps open on paint_ between its calls, if there is one.
  void EndKeptPainter() const {
    if (keeper_.load(std::memory_order_relaxed)) EndKeeper();
  }
  void EndKeeper() const;

  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  TPixelFormat format_ = pf32bit;
  std::unique_ptr<uint8_t[]> data_;
  std::vector<TRGBQuad> palette_;
  bool grayTable_ = false;             // pf8bit with entry i = (i, i, i)
  QImage paint_;                       // drawing target over data_ (or shadow_)
  std::unique_ptr<uint8_t[]> shadow_;  // pf1bit: one byte per pixel, 0 or 255
  int shadowStride_ = 0;
  std::unique_ptr<TCanvas> canvas_;
  // The canvas whose painter is open on paint_ between its calls. Taken atomically, so that
  // threads working on rows of one bitmap end that painter once.
  mutable std::atomic<TCanvas*> keeper_{nullptr};
};

}  // namespace platform
