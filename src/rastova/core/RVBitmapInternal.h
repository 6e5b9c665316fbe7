#pragma once
// Internal helpers of the image buffer's sources and tests; not part of the library's surface.
#include <cstdint>

namespace rv {

class TRVBitmap;

// Sets a bitmap's row-access mode for a scope and restores it afterwards.
struct RowAccessScope {
  RowAccessScope(TRVBitmap& b, uint8_t mode);
  ~RowAccessScope();
  RowAccessScope(const RowAccessScope&) = delete;
  RowAccessScope& operator=(const RowAccessScope&) = delete;
  TRVBitmap& bitmap;
  uint8_t saved;
};

namespace testing {
// When not negative, single memory blocks and chunks above this many bytes are refused, so
// that tests reach the chunk and file fallbacks.
extern int64_t MaxBlockSize;
}  // namespace testing

}  // namespace rv
