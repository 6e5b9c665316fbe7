// The TIFF structure handler: a file's tag structure loaded and written back whole, as the
// EXIF injection does with a file the user names.
#include "rastova/core/RVStream.h"
#include "rastova/core/RVTIFFHandler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rv::TRVMemStream in(data, static_cast<int64_t>(size));
  rv::TRVTIFFHandler handler;
  if (!handler.LoadFromStream(in)) return 0;
  for (int32_t page = 0; page < handler.PageCount(); ++page) handler.SortPage(page);
  rv::TMemoryStream out;
  handler.WriteStream(out, -1);
  return 0;
}
