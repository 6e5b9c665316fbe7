// The raw bitmap stream reader, straight from memory or (first byte odd) through a zlib
// decompression stream, which cannot tell its size.
#include <exception>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVRawStream.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVZLib.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const unsigned mode = zephor_fuzz::TakeChoice(data, size, 2);
  rv::TRVMemStream stream(data, static_cast<int64_t>(size));
  rv::TRVBitmap bitmap;
  try {
    if (mode == 1) {
      rv::TZDecompressionStream z(stream);
      rv::LoadRawFromStream(bitmap, z);
    } else {
      rv::LoadRawFromStream(bitmap, stream);
    }
  } catch (const std::exception&) {
  }
  return 0;
}
