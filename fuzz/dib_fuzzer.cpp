// The packed DIB reader (clipboard and capture blocks).
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVDibTransfer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rv::TRVBitmap bitmap;
  rv::PackedDIBToBitmap(data, size, bitmap);
  return 0;
}
