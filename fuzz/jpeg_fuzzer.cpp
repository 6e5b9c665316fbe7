// The JPEG reader with its markers, ICC profile and metadata; the first byte chooses native
// pixel formats, raw YCbCr and CMYK inversion.
#include <exception>

#include "fuzz/ImageInput.h"
#include "rastova/codecs/jpeg/jpegfilt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::ImageInput in(data, size, 8);
  try {
    rv::ReadJpegStream(*in.stream, nullptr, in.bitmap, (in.choice & 1) != 0, -1, true, false, (in.choice & 4) != 0,
                       true, (in.choice & 2) != 0, false, in.progress, in.params);
  } catch (const std::exception&) {
  }
  return 0;
}
