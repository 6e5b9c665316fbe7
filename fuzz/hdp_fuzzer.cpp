// The HD Photo reader.
#include "rastova/codecs/hdp/rvwic.h"
#include "rastova/core/RVBitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rv::TRVBitmap bitmap;
  rv::ReadHDPFromMemory(data, static_cast<int64_t>(size), bitmap);
  return 0;
}
