// The image library's start-up for the fuzz targets that read pictures.
#include "fuzz/FuzzSupport.h"
#include "rastova/core/RVStartup.h"
#include "rastova/io/RastovaIOStartup.h"

namespace zephor_fuzz {

void StartImageLibrary() {
  static const bool started = [] {
    rv::RegisterRastovaIOStartup();
    rv::RastovaLibraryStartup();
    return true;
  }();
  (void)started;
}

}  // namespace zephor_fuzz
