#include "rastova/io/RastovaIOStartup.h"

#include <curl/curl.h>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/codecs/RVEXIF.h"
#include "rastova/codecs/jpeg/jpegfilt.h"
#include "rastova/codecs/gif/giflzw.h"
#include "rastova/codecs/tiff/tifccitt.h"
#include "rastova/codecs/tiff/tiflzw.h"
#include "rastova/core/RVDefs.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RVUtils.h"
#include "rastova/io/RVCodecBindings.h"
#include "rastova/io/RVColorConv.h"
#include "rastova/io/RVFileFormat.h"

namespace rv {

int32_t MetafileSizeLimit = 8000;

namespace {
bool urlLibraryLoaded = false;
}  // namespace

void RegisterRastovaIOStartup() {
  RegisterCodecStartupSteps();
  RegisterRastovaStartupStep(TRVStartupSlot::IO, "RastovaIO", RastovaIOStartup, RastovaIOShutdown);
  // The fax coder's tables come up in their own slot with the I/O front end that uses them.
  RegisterTifCCITTStartup();
}

void RastovaIOStartup() {
  // Every parameter set copies the LZW hooks when it is reset.
  GIFLZWDecoderHook = GIFLZWDecompress;
  GIFLZWEncoderHook = GIFLZWCompress;
  TIFFLZWDecoderHook = TIFFLZWDecompress;
  TIFFLZWEncoderHook = TIFFLZWCompress;
  // The JPEG reader interprets its EXIF segments through the EXIF glue.
  JpegReadEXIFMarkerHook = ReadEXIFMarker;
  TempDirectory.clear();
  BuildFileFormatRegistry();
  // The transfer library for loading pictures by address; without it only that is unavailable.
  if (!urlLibraryLoaded) urlLibraryLoaded = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  ConvertPixelRowHook = IOConvertPixelRow;
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
  TIFFLZWDecoderHook = nullptr;
  TIFFLZWEncoderHook = nullptr;
  JpegReadEXIFMarkerHook = nullptr;
  FreeCMYKProfiles();
  SetCMYKConversionHooks(nullptr, nullptr);
  ConvertPixelRowHook = nullptr;
  FreeFileFormatRegistry();
  if (urlLibraryLoaded) curl_global_cleanup();
  urlLibraryLoaded = false;
}

bool URLLibraryLoaded() { return urlLibraryLoaded; }

}  // namespace rv
