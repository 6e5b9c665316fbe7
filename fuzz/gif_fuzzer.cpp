// The GIF reader (every frame, the LZW decoder, the extensions).
#include "rastova/codecs/MemoryReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rv::ReadGIFFromMemory(data, size);
  return 0;
}
