// The raw pixel reader: the first two bytes choose the coding and the layout (see
// ReadRawBitmapFromMemory), the rest are the pixels.
#include "rastova/codecs/MemoryReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rv::ReadRawBitmapFromMemory(data, size);
  return 0;
}
