// The JPEG 2000 reader (JP2 files and bare code streams); the first byte chooses whether only
// the parameters are read.
#include "fuzz/ImageInput.h"
#include "rastova/codecs/j2000/rvj2000.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::ImageInput in(data, size, 2);
  rv::ReadJ2000Stream(*in.stream, in.bitmap, in.params, in.progress, in.choice == 1);
  return 0;
}
