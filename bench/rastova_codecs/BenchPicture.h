#pragma once
// The codec benchmarks' picture: smooth with a little noise, neither trivial nor random for the
// compressors; and a memory stream over encoded bytes.
#include <cstdint>
#include <memory>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"

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

inline std::unique_ptr<TMemoryStream> StreamOf(const std::vector<uint8_t>& data) {
  auto s = std::make_unique<TMemoryStream>();
  s->Write(data.data(), int64_t(data.size()));
  s->SetPosition(0);
  return s;
}

}  // namespace rv::bench
