// The Photoshop reader with its layers.
#include "rastova/codecs/MemoryReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rv::ReadPSDFromMemory(data, size);
  return 0;
}
