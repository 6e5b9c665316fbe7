// The layer stream reader (layers files, layer undo steps) over untrusted bytes.
#include <exception>

#include "fuzz/ImageInput.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVLayerStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::StartImageLibrary();
  rv::TRVMemStream stream(data, static_cast<int64_t>(size));
  rv::IsLayersStream(stream);
  rv::TRVLayerStreamContent content;
  try {
    rv::ReadLayerStream(stream, content);
  } catch (const std::exception&) {
  }
  return 0;
}
