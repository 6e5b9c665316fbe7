#pragma once
// Two small pixel containers: TRVDibbitmap, a 1- or 24-bit bitmap with bottom-up rows that
// video frames and packed DIBs are decoded into, and TRVWorkBitmap, the bare row buffer of
// the resampling engine's intermediate images.
#include <cstdint>

#include "rastova/core/RVBitmap.h"

namespace rv {

class TRVDibbitmap : public TRVBaseBitmap {
 public:
  TRVDibbitmap() { RowAccess = 0; }
  ~TRVDibbitmap() override { FreeBits(); }
  TRVDibbitmap(const TRVDibbitmap&) = delete;
  TRVDibbitmap& operator=(const TRVDibbitmap&) = delete;

  // False, with nothing changed, when width or height is 0 (or the size is unusable).
  bool AllocateBits(int32_t width, int32_t height, int32_t bitCount);
  void FreeBits();

  uint8_t* GetScanLine(int32_t row) override;
  int32_t GetBitCount() override { return bitCount_; }
  int32_t GetHeight() override { return static_cast<int32_t>(height_); }
  int32_t GetWidth() override { return static_cast<int32_t>(width_); }
  TRVPixelFormat GetPixelFormat() override { return bitCount_ == 1 ? rv1g : bitCount_ == 24 ? rv24RGB : rvNone; }
  int32_t GetRowLen() override { return rowLen_; }
  TRGB* GetPaletteBuffer() override { return nullptr; }
  TRGB GetPalette(int32_t) override { return TRGB{}; }
  void SetPalette(int32_t, const TRGB&) override {}
  int32_t GetPaletteLength() override { return 0; }
  // rv1g and rv24RGB only.
  bool Allocate(int32_t width, int32_t height, TRVPixelFormat format) override;
  // Only from another TRVDibbitmap.
  void Assign(TRVBaseBitmap* source) override;
  void CopyPaletteTo(TRVBaseBitmap*) override {}
  uint8_t* Bits() { return bits_; }

 private:
  uint32_t width_ = 0, height_ = 0;
  int32_t bitCount_ = 0, rowLen_ = 0;
  uint8_t* bits_ = nullptr;
};

class TRVWorkBitmap {
 public:
  TRVWorkBitmap(int32_t width, int32_t height, int32_t bitCount);
  ~TRVWorkBitmap() { FreeBits(); }
  TRVWorkBitmap(const TRVWorkBitmap&) = delete;
  TRVWorkBitmap& operator=(const TRVWorkBitmap&) = delete;

  // Keeps the block when the geometry is unchanged; the content is undefined otherwise.
  void Allocate(int32_t width, int32_t height, int32_t bitCount);
  void FreeBits();
  // Bottom-up rows; nullptr outside the rows or when nothing is allocated.
  uint8_t* GetScanline(int32_t row);
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t BitCount() const { return bitCount_; }
  int32_t RowLen() const { return rowLen_; }
  uint8_t* Memory() { return memory_; }

 private:
  int32_t width_ = 0, height_ = 0, bitCount_ = 0, rowLen_ = 0;
  uint8_t* memory_ = nullptr;
};

}  // namespace rv
