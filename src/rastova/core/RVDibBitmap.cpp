#include "rastova/core/RVDibBitmap.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "rastova/core/RVUtils.h"

namespace rv {

bool TRVDibbitmap::AllocateBits(int32_t width, int32_t height, int32_t bitCount) {
  if (width <= 0 || height <= 0 || (bitCount != 1 && bitCount != 24)) return false;
  int64_t rowLen = AlignedRowLength64(width, bitCount, 32);
  int64_t size = rowLen * height;
  if (rowLen > std::numeric_limits<int32_t>::max()) return false;
  int64_t physical = GetPhysicalMemory(false);
  if (physical > 0 && size > physical) return false;
  auto* bits = static_cast<uint8_t*>(std::calloc(1, static_cast<size_t>(size)));
  if (!bits) return false;
  FreeBits();
  bits_ = bits;
  width_ = static_cast<uint32_t>(width);
  height_ = static_cast<uint32_t>(height);
  bitCount_ = bitCount;
  rowLen_ = static_cast<int32_t>(rowLen);
  return true;
}

void TRVDibbitmap::FreeBits() {
  std::free(bits_);
  bits_ = nullptr;
  width_ = height_ = 0;
  bitCount_ = 0;
}

uint8_t* TRVDibbitmap::GetScanLine(int32_t row) {
  if (!bits_ || row < 0 || static_cast<uint32_t>(row) >= height_) return nullptr;
  return bits_ + static_cast<int64_t>(rowLen_) * (static_cast<int64_t>(height_) - row - 1);
}

bool TRVDibbitmap::Allocate(int32_t width, int32_t height, TRVPixelFormat format) {
  if (format == rv1g) return AllocateBits(width, height, 1);
  if (format == rv24RGB) return AllocateBits(width, height, 24);
  return false;
}

void TRVDibbitmap::Assign(TRVBaseBitmap* source) {
  auto* s = dynamic_cast<TRVDibbitmap*>(source);
  if (!s || s == this || !s->bits_) return;
  if (AllocateBits(static_cast<int32_t>(s->width_), static_cast<int32_t>(s->height_), s->bitCount_))
    std::memcpy(bits_, s->bits_, static_cast<size_t>(int64_t(rowLen_) * height_));
}

TRVWorkBitmap::TRVWorkBitmap(int32_t width, int32_t height, int32_t bitCount) {
  if (width > 0 && height > 0) Allocate(width, height, bitCount);
}

void TRVWorkBitmap::Allocate(int32_t width, int32_t height, int32_t bitCount) {
  if (width == width_ && height == height_ && bitCount == bitCount_ && memory_) return;
  FreeBits();
  width_ = width;
  height_ = height;
  bitCount_ = bitCount;
  rowLen_ = AlignedRowLength(width, bitCount, 32);
  int64_t size = int64_t(rowLen_) * (height > 0 ? height : 0);
  memory_ = size > 0 ? static_cast<uint8_t*>(AllocBlock(size)) : nullptr;
}

void TRVWorkBitmap::FreeBits() {
  if (memory_) {
    void* p = memory_;
    FreeBlock(p);
  }
  memory_ = nullptr;
  width_ = height_ = bitCount_ = rowLen_ = 0;
}

uint8_t* TRVWorkBitmap::GetScanline(int32_t row) {
  if (!memory_ || row < 0 || row >= height_) return nullptr;
  return memory_ + static_cast<int64_t>(rowLen_) * (height_ - row - 1);
}

}  // namespace rv
