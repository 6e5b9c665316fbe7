#include "rastova/core/RVDefs.h"

namespace rv {

// Constant-initialised to the values the start-up gives them, so that the library behaves the
// same whether an object is made before or after the start-up has run.
int32_t RedToGrayCoef = 21;
int32_t GreenToGrayCoef = 71;
int32_t BlueToGrayCoef = 8;
uint8_t DialogBackgroundStyle = 0;
const char* const RastovaVersion = "3.1.2";

int32_t DefaultDpiX = 300;
int32_t DefaultDpiY = 300;
int32_t ScreenDpiX = 96;
int32_t ScreenDpiY = 96;

std::string TempDirectory;

int64_t GlobalMemoryThreshold = -1;
bool AllowFileFallback = true;
bool AllowMemoryChunks = true;
uint8_t WindowsVersion = 9;
bool WinNTPlatform = true;
int32_t CosineRampTable[256] = {};

}  // namespace rv
