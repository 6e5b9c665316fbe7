// The PNG reader; the first byte chooses native pixel formats and parameters only.
#include "fuzz/ImageInput.h"
#include "rastova/codecs/png/pngfilt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::ImageInput in(data, size, 4);
  in.params.NativePixelFormat = (in.choice & 1) != 0;
  rv::ReadPNGStream(*in.stream, in.bitmap, in.params, (in.choice & 2) != 0, in.progress);
  return 0;
}
