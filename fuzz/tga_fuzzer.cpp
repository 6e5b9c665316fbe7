// The Targa reader; the first byte chooses whether alpha is ignored and whether only the
// parameters are read.
#include "fuzz/ImageInput.h"
#include "rastova/codecs/tga/rvtgafil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::ImageInput in(data, size, 4);
  rv::ReadTGAStream(*in.stream, in.bitmap, in.params, (in.choice & 1) != 0, in.alpha, (in.choice & 2) != 0,
                    in.progress);
  return 0;
}
