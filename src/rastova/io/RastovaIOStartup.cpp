#include "rastova/io/RastovaIOStartup.h"

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVDefs.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RVUtils.h"
#include "rastova/io/RVColorConv.h"
#include "rastova/io/RVFileFormat.h"

namespace rv {

int32_t ColorReductionMethod = -1;
int32_t NeuQuantSetting = -1;
bool BufferedReaderRelative = false;
int32_t MetafileSizeLimit = 8000;

void RegisterRastovaIOStartup() {
  RegisterRastovaStartupStep(TRVStartupSlot::IO, "RastovaIO", RastovaIOStartup, RastovaIOShutdown);
}

void RastovaIOStartup() {
  // The LZW coders join the GIF and TIFF hooks with their codecs.
  TempDirectory.clear();
  BuildFileFormatRegistry();
  // URL loading through libcurl joins here with the download support.
  SetCMYKConversionHooks(ManagedCMYKToRGB, ManagedRGBToCMYK);
  ColorManagementOn = false;
  ColorReductionMethod = -1;
  NeuQuantSetting = -1;
  BufferedReaderRelative = false;
  CMYKConversionOn = true;
  FreeCMYKProfiles();
  MetafileSizeLimit = 8000;
}

void RastovaIOShutdown() {
  FreeCMYKProfiles();
  SetCMYKConversionHooks(nullptr, nullptr);
  FreeFileFormatRegistry();
}

}  // namespace rv
