// The image library's start-up and the reader arguments of the fuzz targets that read pictures.
#include "fuzz/ImageInput.h"

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

ImageInput::ImageInput(const uint8_t* data, size_t size, unsigned choices) {
  StartImageLibrary();
  choice = TakeChoice(data, size, choices);
  stream = std::make_unique<rv::TRVMemStream>(data, static_cast<int64_t>(size));
}

}  // namespace zephor_fuzz
