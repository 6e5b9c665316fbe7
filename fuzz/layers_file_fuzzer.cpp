// A layers file (file type 26) loaded through the I/O component without a view: the layer
// stream is read into a view of the component's own, its layers are merged (positions, display
// sizes, masks, magnifiers, blend operations) and the picture taken over. A file the merge
// cannot justify must fail, not ask for gigabytes (run with -rss_limit_mb=2048).
#include <exception>

#include "fuzz/FuzzSupport.h"
#include "fuzz/ViewFilesStartup.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RastovaIO.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zephor_fuzz::StartViewLibrary();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::StartViewLibrary();
  // The I/O component reads the view's own files from files only.
  const zephor_fuzz::TempFile file("layers_file", ".lyr", data, size);
  if (file.Name().empty()) return 0;
  rv::TRVBitmap picture;
  rv::TRastovaIO io(&picture);
  try {
    io.LoadFromFileFormat(file.Name(), rv::ioLYR);
  } catch (const std::exception&) {
  }
  return 0;
}
