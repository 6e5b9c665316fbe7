// The PNG reader; the first byte chooses native pixel formats and parameters only.
#include "fuzz/FuzzSupport.h"
#include "rastova/codecs/pngfilt.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::StartImageLibrary();
  const unsigned mode = zephor_fuzz::TakeChoice(data, size, 4);
  rv::TRVMemStream stream(data, static_cast<int64_t>(size));
  rv::TRVBitmap bitmap;
  rv::TIOParamsVals params;
  params.NativePixelFormat = (mode & 1) != 0;
  rv::TRVProgressRec progress;
  rv::ReadPNGStream(stream, bitmap, params, (mode & 2) != 0, progress);
  return 0;
}
