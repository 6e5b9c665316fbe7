// The wireless bitmap reader.
#include "rastova/codecs/MemoryReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rv::ReadWBMPFromMemory(data, size);
  return 0;
}
