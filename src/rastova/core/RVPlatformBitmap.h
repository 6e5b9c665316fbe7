#pragma once
// The platform bitmap as the image buffer sees it: a bitmap of the drawing layer (1, 8, 24 or
// 32 bits per pixel, rows 4-byte aligned, row 0 the top row) whose own memory holds the
// pixels, so that drawing through its canvas lands in rows the image buffer reads.
//
// The image buffer talks to it only through this small interface. The drawing layer's
// adapter implements it over `platform::TBitmap`; without it a plain memory bitmap stands in
// (same rows and colour table, no canvas).
#include <cstdint>
#include <memory>

#include "rastova/core/RVDefs.h"

namespace platform {
class TBitmap;
class TCanvas;
}  // namespace platform

namespace rv {

class TRVPlatformBitmap {
 public:
  virtual ~TRVPlatformBitmap() = default;

  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  virtual TPixelFormat PixelFormat() const = 0;
  // pf1bit, pf8bit, pf24bit or pf32bit; throws for a format the bitmap cannot take. The
  // content is not kept.
  virtual void SetPixelFormat(TPixelFormat format) = 0;
  // Keeps the overlapping top-left part of the content.
  virtual void SetSize(int32_t width, int32_t height) = 0;
  // Row `row` (0 = top); rows are BitmapRowLength(width, format) bytes apart or more.
  virtual uint8_t* ScanLine(int32_t row) = 0;

  // Colour table of 1- and 8-bit bitmaps (2 or 256 entries; 0 for the others).
  virtual int32_t ColorTableSize() const = 0;
  virtual void GetColorTable(TRGB* entries, int32_t count) const = 0;
  virtual void SetColorTable(const TRGB* entries, int32_t count) = 0;

  // The drawing layer's bitmap and its canvas; nullptr for the memory stand-in.
  virtual platform::TBitmap* Bitmap() = 0;
  virtual platform::TCanvas* Canvas() = 0;
  // Resets a world transform left on the canvas, before it is handed out.
  virtual void ResetCanvasTransform() {}
};

// Makes a new, owned platform bitmap (1 x 1, pf24bit).
using TRVPlatformBitmapFactory = std::unique_ptr<TRVPlatformBitmap> (*)();
// Wraps a caller's bitmap without taking it over.
using TRVPlatformBitmapWrapper = std::unique_ptr<TRVPlatformBitmap> (*)(platform::TBitmap* bitmap);

// The drawing layer's adapter installs both; nullptr restores the memory stand-in.
void SetPlatformBitmapFactory(TRVPlatformBitmapFactory factory, TRVPlatformBitmapWrapper wrapper);
std::unique_ptr<TRVPlatformBitmap> CreatePlatformBitmap();
// nullptr when no adapter is installed or `bitmap` is nullptr.
std::unique_ptr<TRVPlatformBitmap> WrapPlatformBitmap(platform::TBitmap* bitmap);
// The memory stand-in, whatever is installed.
std::unique_ptr<TRVPlatformBitmap> CreateMemoryPlatformBitmap();

// Colour-table helpers of 8-bit platform bitmaps.
void SetTBitmapGrayPalette(TRVPlatformBitmap& bitmap);
bool IsTBitmapGrayPalette(const TRVPlatformBitmap& bitmap);

}  // namespace rv
