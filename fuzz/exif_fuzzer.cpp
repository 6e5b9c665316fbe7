// The EXIF block of a JPEG's APP1 marker (fields, maker note, thumbnail), and the block built
// again from what was read, as saving the picture does.
#include <cstdint>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/codecs/RVEXIF.h"
#include "fuzz/ImageInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::StartImageLibrary();
  if (size > INT32_MAX) return 0;
  rv::TIOParamsVals params;
  if (rv::ReadEXIFMarker(data, static_cast<int32_t>(size), params)) rv::BuildEXIFBlock(params, true);
  return 0;
}
