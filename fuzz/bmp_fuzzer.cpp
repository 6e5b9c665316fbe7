// The BMP reader; the first byte chooses native pixel formats, alpha, and a stream that
// starts with the bitmap header.
#include "fuzz/ImageInput.h"
#include "rastova/codecs/bmp/bmpfilt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::ImageInput in(data, size, 8);
  in.params.NativePixelFormat = (in.choice & 1) != 0;
  rv::ReadBMPStream(*in.stream, in.bitmap, 0, in.params, in.progress, false, (in.choice & 4) != 0, in.alpha,
                    (in.choice & 2) != 0);
  return 0;
}
