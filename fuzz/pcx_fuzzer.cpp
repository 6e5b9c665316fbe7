// The PCX reader and the DCX reader of the multi-page files made of PCX pages; the first byte
// chooses which.
#include "fuzz/FuzzSupport.h"
#include "rastova/codecs/MemoryReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (zephor_fuzz::TakeChoice(data, size, 2) == 0) rv::ReadPCXFromMemory(data, size);
  else rv::ReadDCXFromMemory(data, size);
  return 0;
}
