#pragma once
// Small helpers shared by the drawing tests.
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <utility>
#include <vector>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"

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

// One step of drawing on a bitmap through its canvas.
using TCanvasStep = std::function<void(TBitmap&, TCanvas&)>;

// Runs the steps on a noisy bitmap of `format` through its canvas, which may keep its painter
// from one step to the next; and again on a second such bitmap whose painter is ended after
// every step by taking its pixels. Returns the bytes of both, to be compared.
inline std::pair<std::vector<uint8_t>, std::vector<uint8_t>> KeptAndEnded(TPixelFormat format, int width,
                                                                           int height,
                                                                           const std::vector<TCanvasStep>& steps) {
  TBitmap kept(width, height, format), ended(width, height, format);
  FillNoise(kept, 7);
  FillNoise(ended, 7);
  for (const auto& step : steps) {
    step(kept, kept.Canvas());
    step(ended, ended.Canvas());
    (void)ended.Bits();
  }
  return {Snapshot(kept), Snapshot(ended)};
}

}  // namespace platform::test
