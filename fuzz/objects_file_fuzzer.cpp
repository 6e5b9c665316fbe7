// A vector-object file (file type 25) loaded through the I/O component without a vector layer:
// the objects are read into a layer of the component's own, the picture is sized to their
// extent and the objects are drawn into it (every kind, with its pictures, fonts, curves and
// shadows). An extent the file cannot justify must fail, not ask for gigabytes (run with
// -rss_limit_mb=2048).
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
  const zephor_fuzz::TempFile file("objects_file", ".rvv", data, size);
  if (file.Name().empty()) return 0;
  rv::TRVBitmap picture;
  rv::TRastovaIO io(&picture);
  try {
    io.LoadFromFileFormat(file.Name(), rv::ioRVV);
  } catch (const std::exception&) {
  }
  return 0;
}
