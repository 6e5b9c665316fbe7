// The TIFF reader: page 0 with its metadata, every compression the codec knows.
#include "rastova/codecs/tiff/tiffilt.h"
#include "rastova/core/RVBitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rv::TRVBitmap bitmap;
  rv::ReadTIFFFromMemory(data, static_cast<int64_t>(size), bitmap);
  return 0;
}
