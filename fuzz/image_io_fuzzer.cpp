// The image I/O component loading a stream of unknown type: detection picks the reader.
#include <exception>

#include "fuzz/ImageInput.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RastovaIO.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::StartImageLibrary();
  rv::TRVMemStream stream(data, static_cast<int64_t>(size));
  rv::TRastovaIO io;
  try {
    io.LoadFromStream(stream);
  } catch (const std::exception&) {
  }
  return 0;
}
