#pragma once
// Small pictures shared by the tests of the colour reduction and geometry routines.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "rastova/core/RVBitmap.h"

namespace rvtest {

// A smooth, photograph-like 24-bit picture: gradients, a few soft blobs and fixed noise.
inline std::unique_ptr<rv::TRVBitmap> PhotoLike(int32_t w, int32_t h, uint32_t seed = 1) {
  auto b = std::make_unique<rv::TRVBitmap>(w, h, rv::rv24RGB);
  uint32_t s = seed * 2654435761u + 12345;
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = b->GetScanLine(y);
    for (int32_t x = 0; x < w; ++x) {
      s = s * 1103515245u + 12345u;
      int noise = static_cast<int>((s >> 16) % 9) - 4;
      int r = x * 255 / (w > 1 ? w - 1 : 1);
      int g = y * 255 / (h > 1 ? h - 1 : 1);
      int dx = x - w / 3, dy = y - h / 2;
      int blob = 255 - std::min(255, static_cast<int>((dx * dx + dy * dy) * 1024 / (w * w + 1)));
      int bl = (blob + (x ^ y) % 64) % 256;
      auto c = [&](int v) { return static_cast<uint8_t>(std::clamp(v + noise, 0, 255)); };
      row[3 * x] = c(bl);
      row[3 * x + 1] = c(g);
      row[3 * x + 2] = c(r);
    }
  }
  return b;
}

// Every pixel of any format as bytes (no row padding), row by row; 1-bit pixels as 0 or 1.
inline std::vector<uint8_t> Pixels(rv::TRVBitmap& b) {
  std::vector<uint8_t> out;
  const int32_t w = b.GetWidth(), h = b.GetHeight();
  const int32_t bits = b.GetBitCount();
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* r = b.GetScanLine(y);
    if (bits == 1) {
      for (int32_t x = 0; x < w; ++x) out.push_back((r[x >> 3] >> (7 - (x & 7))) & 1);
    } else {
      out.insert(out.end(), r, r + static_cast<int64_t>(w) * bits / 8);
    }
  }
  return out;
}

// Fills every byte of the image (all formats) with a pattern unique per pixel and byte.
inline void FillPattern(rv::TRVBitmap& b) {
  const int32_t w = b.GetWidth(), h = b.GetHeight();
  const int32_t bits = b.GetBitCount();
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* r = b.GetScanLine(y);
    if (bits == 1) {
      for (int32_t x = 0; x < w; ++x) {
        uint8_t m = static_cast<uint8_t>(0x80 >> (x & 7));
        if (((x * 7 + y * 3) % 5) < 2)
          r[x >> 3] |= m;
        else
          r[x >> 3] &= static_cast<uint8_t>(~m);
      }
    } else {
      const int32_t bpp = bits / 8;
      for (int32_t x = 0; x < w; ++x)
        for (int32_t k = 0; k < bpp; ++k) r[x * bpp + k] = static_cast<uint8_t>(x * 31 + y * 17 + k * 5 + 1);
    }
  }
}

}  // namespace rvtest
