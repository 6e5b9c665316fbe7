#include "rastova/io/RVCodecBindings.h"

#include <algorithm>
#include <climits>

#include "rastova/core/RVProgressRec.h"
#include "rastova/codecs/bmp/bmpfilt.h"
#include "rastova/codecs/jpeg/jpegfilt.h"
#include "rastova/codecs/pages/pdffilt.h"
#include "rastova/codecs/pages/psfilt.h"
#include "rastova/codecs/png/pngfilt.h"
#include "rastova/codecs/dicom/rvdicom.h"
#include "rastova/codecs/j2000/rvj2000.h"
#include "rastova/codecs/raw/rvraw.h"
#include "rastova/codecs/hdp/rvwic.h"
#include "rastova/codecs/tiff/tiffilt.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RVStream.h"

namespace rv {

const bool kHavePngCodec = true;
const bool kHaveBmpCodec = true;
const bool kHaveJpegCodec = true;
const bool kHaveTiffCodec = true;
const bool kHaveJ2000Codec = true;
const bool kHaveDicomCodec = true;
const bool kHaveRawCodec = true;
// libjxr is linked in, so HD Photo is always available (IsWICAvailable).
const bool kHaveHDPCodec = true;
const bool kHavePsCodec = true;
const bool kHavePdfCodec = true;

bool CodecIsPNGStream(TStream& stream) { return IsPNGStream(stream); }

void CodecReadPNG(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
                  TRVProgressRec& progress) {
  ReadPNGStream(stream, bitmap, params, paramsOnly, progress);
}

void CodecWritePNG(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVMask* alpha,
                   TRVProgressRec& progress) {
  WritePNGStream(stream, bitmap, params, alpha, progress);
}

void CodecReadBMP(TStream& stream, TRVBitmap& bitmap, int64_t length, TIOParamsVals& params, bool paramsOnly,
                  std::unique_ptr<TRVMask>& alpha, bool ignoreAlpha, TRVProgressRec& progress) {
  // A length the reader cannot take as a 32-bit number is left for it to find out.
  const int32_t block = length > 0 && length <= INT32_MAX ? static_cast<int32_t>(length) : 0;
  ReadBMPStream(stream, bitmap, block, params, progress, paramsOnly, false, alpha, ignoreAlpha);
}
void CodecWriteBMP(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool saveAlpha,
                   TRVProgressRec& progress) {
  WriteBMPStream(stream, bitmap, params, progress, saveAlpha);
}

int64_t CodecFindJpegSOI(TStream& stream, bool scan) { return FindJpegSOI(stream, scan); }
void CodecReadJpeg(TStream& stream, TRVBitmap& bitmap, bool nativeFormat, bool paramsOnly,
                   TIOParamsVals& params, TRVProgressRec& progress) {
  ReadJpegStream(stream, nullptr, bitmap, nativeFormat, -1, true, true, false, true, false, paramsOnly,
                 progress, params);
}
void CodecWriteJpeg(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress) {
  WriteJpegStream(stream, bitmap, params, progress);
}

bool CodecIsPlainTIFFStream(TStream& stream) { return IsTIFFStream(stream) && !IsCameraRawTIFFStream(stream); }
bool CodecIsHDPStream(TStream& stream) { return IsHDPStream(stream); }

int32_t CodecReadTIFF(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
                      bool absoluteOffsets, std::unique_ptr<TRVMask>& alpha, TRVProgressRec& progress) {
  int32_t pages = 0;
  ReadTIFFStream(bitmap, stream, pages, false, false, !absoluteOffsets, alpha, paramsOnly, progress, params);
  return pages;
}

int32_t CodecWriteTIFF(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVMask* alpha,
                       TRVProgressRec& progress) {
  return WriteTIFFStream(stream, false, &bitmap, alpha, progress, params);
}

bool CodecIsJP2Stream(TStream& stream) { return IsJP2Stream(stream); }
bool CodecIsJ2KStream(TStream& stream) { return IsJ2KStream(stream); }
void CodecReadJ2000(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
                    TRVProgressRec& progress) {
  ReadJ2000Stream(stream, bitmap, params, progress, paramsOnly);
}
void CodecWriteJ2000(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, int32_t format,
                     TRVProgressRec& progress) {
  WriteJ2000Stream(stream, bitmap, params, progress, format);
}

bool CodecIsDICOMStream(TStream& stream) { return IsDICOMStream(stream); }
void CodecReadDICOM(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
                    TRVProgressRec& progress) {
  ReadDICOMStream(stream, params, bitmap, progress, paramsOnly);
}

void CodecWritePS(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress) {
  WritePSStream(stream, bitmap, params, progress);
}
void CodecWritePDF(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress) {
  WritePDFStream(stream, bitmap, params, progress);
}

void RegisterCodecStartupSteps() {
  RegisterRastovaStartupStep(TRVStartupSlot::J2000, "RVJ2000", RVJ2000Startup, RVJ2000Shutdown);
}

bool CodecIsCameraRawStream(TStream& stream) { return IsCameraRawStream(stream); }

void CodecReadRAW(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
                  TRVProgressRec& progress) {
  ReadCameraRawStream(stream, bitmap, params, progress, paramsOnly);
}

void CodecReadHDP(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress) {
  ReadHDPStream(stream, bitmap, params, progress, false);
}

void CodecWriteHDP(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress) {
  WriteHDPStream(stream, bitmap, params, progress);
}

}  // namespace rv
