// The portable bitmap, grey map and pixmap reader (text and binary).
#include "rastova/codecs/MemoryReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rv::ReadPXMFromMemory(data, size);
  return 0;
}
