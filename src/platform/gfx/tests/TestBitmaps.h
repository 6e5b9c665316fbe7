#pragma once
// Small helpers shared by the drawing tests.
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "platform/gfx/Bitmap.h"

namespace platform::test {

// Fills every byte of the pixel rows (padding included) with noise.
inline void FillNoise(TBitmap& b, uint32_t seed = 1) {
  std::mt19937 rng(seed);
  for (int y = 0; y < b.Height(); ++y) {
    uint8_t* row = b.ScanLine(y);
    for (int i = 0; i < b.BytesPerLine(); ++i) row[i] = static_cast<uint8_t>(rng());
  }
}

inline std::vector<uint8_t> Snapshot(const TBitmap& b) {
  const auto* p = b.Bits();
  return std::vector<uint8_t>(p, p + static_cast<size_t>(b.BytesPerLine()) * b.Height());
}

// Number of pixels whose colour differs between the bitmap and a snapshot of it.
inline int ChangedPixels(const TBitmap& b, const std::vector<uint8_t>& before) {
  TBitmap old(b.Width(), b.Height(), b.PixelFormat());
  std::memcpy(old.Bits(), before.data(), before.size());
  auto table = b.GetColorTable();
  old.SetColorTable(0, table);
  int n = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) n += old.PixelColor(x, y) != b.PixelColor(x, y);
  return n;
}

}  // namespace platform::test
