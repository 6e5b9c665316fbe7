// The BMP reader; the first byte chooses native pixel formats, alpha, and a stream that
// starts with the bitmap header.
#include <memory>

#include "fuzz/FuzzSupport.h"
#include "rastova/codecs/bmpfilt.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::StartImageLibrary();
  const unsigned mode = zephor_fuzz::TakeChoice(data, size, 8);
  rv::TRVMemStream stream(data, static_cast<int64_t>(size));
  rv::TRVBitmap bitmap;
  rv::TIOParamsVals params;
  params.NativePixelFormat = (mode & 1) != 0;
  rv::TRVProgressRec progress;
  std::unique_ptr<rv::TRVMask> alpha;
  rv::ReadBMPStream(stream, bitmap, 0, params, progress, false, (mode & 4) != 0, alpha, (mode & 2) != 0);
  return 0;
}
