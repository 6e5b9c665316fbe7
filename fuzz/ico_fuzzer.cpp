// The icon and cursor readers, one directory format; the first byte chooses which.
#include "fuzz/FuzzSupport.h"
#include "rastova/codecs/MemoryReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (zephor_fuzz::TakeChoice(data, size, 2) == 0) rv::ReadICOFromMemory(data, size);
  else rv::ReadCURFromMemory(data, size);
  return 0;
}
