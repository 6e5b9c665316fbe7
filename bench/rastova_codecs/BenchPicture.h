#pragma once
// The codec benchmarks' picture: smooth with a little noise, neither trivial nor random for the
// compressors.
#include <cstdint>

#include "rastova/core/RVBitmap.h"

namespace rv::bench {

inline void FillBenchPicture(TRVBitmap& bitmap, int size) {
  bitmap.Allocate(size, size, rv24RGB);
  uint32_t seed = 12345;
  for (int y = 0; y < size; ++y) {
    uint8_t* row = bitmap.GetScanLine(y);
    for (int x = 0; x < size; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int n = int(seed >> 29);
      row[3 * x] = uint8_t((x / 16 + n) & 0xFF);
      row[3 * x + 1] = uint8_t((y / 16 + n) & 0xFF);
      row[3 * x + 2] = uint8_t(((x + y) / 32 + n) & 0xFF);
    }
  }
}

}  // namespace rv::bench
