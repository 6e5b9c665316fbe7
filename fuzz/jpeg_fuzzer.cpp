// The JPEG reader with its markers, ICC profile and metadata; the first byte chooses native
// pixel formats, raw YCbCr and CMYK inversion.
#include <exception>

#include "fuzz/FuzzSupport.h"
#include "rastova/codecs/jpegfilt.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::StartImageLibrary();
  const unsigned mode = zephor_fuzz::TakeChoice(data, size, 8);
  rv::TRVMemStream stream(data, static_cast<int64_t>(size));
  rv::TRVBitmap bitmap;
  rv::TIOParamsVals params;
  rv::TRVProgressRec progress;
  try {
    rv::ReadJpegStream(stream, nullptr, bitmap, (mode & 1) != 0, -1, true, false, (mode & 4) != 0, true,
                       (mode & 2) != 0, false, progress, params);
  } catch (const std::exception&) {
  }
  return 0;
}
