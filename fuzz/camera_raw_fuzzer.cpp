// The camera-raw reader with its metadata (TIFF-based raw files, CRW heaps, embedded JPEGs).
#include "rastova/codecs/raw/rvraw.h"
#include "rastova/core/RVBitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rv::TRVBitmap bitmap;
  rv::ReadCameraRawFromMemory(data, static_cast<int64_t>(size), bitmap);
  return 0;
}
