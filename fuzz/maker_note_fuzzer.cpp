// The EXIF maker note: read from the stream of an enclosing TIFF structure at a position the
// first byte chooses (bits 1 to 7; bit 0 the structure's byte order), its entries taken apart and
// the note written back.
#include <algorithm>

#include "fuzz/FuzzSupport.h"
#include "rastova/codecs/RVTagsHandler.h"
#include "rastova/core/RVStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const unsigned choice = zephor_fuzz::TakeChoice(data, size, 256);
  rv::TRVMemStream stream(data, static_cast<int64_t>(size));
  const int64_t at = std::min<int64_t>(choice >> 1, static_cast<int64_t>(size));
  stream.SetPosition(at);
  rv::TRVTagsHandler handler;
  handler.ReadMakerNote(stream, static_cast<int32_t>(static_cast<int64_t>(size) - at), (choice & 1) != 0);
  for (int32_t i = 0; i < handler.EntryCount(); ++i) handler.GetEntryData(i);
  rv::TMemoryStream out;
  handler.WriteMakerNote(out);
  return 0;
}
