#include "rastova/io/RVCodecBindings.h"

#include <algorithm>
#include <climits>

#include "rastova/codecs/RVProgressRec.h"
#include "rastova/codecs/pngfilt.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVStream.h"

// The BMP and JPEG codecs are bound as soon as they are in the tree.
#if __has_include("rastova/codecs/bmpfilt.h")
#include "rastova/codecs/bmpfilt.h"
#define RV_IO_HAVE_BMP 1
#else
#define RV_IO_HAVE_BMP 0
#endif
#if __has_include("rastova/codecs/jpegfilt.h")
#include "rastova/codecs/jpegfilt.h"
#define RV_IO_HAVE_JPEG 1
#else
#define RV_IO_HAVE_JPEG 0
#endif

namespace rv {

const bool kHavePngCodec = true;
const bool kHaveBmpCodec = RV_IO_HAVE_BMP != 0;
const bool kHaveJpegCodec = RV_IO_HAVE_JPEG != 0;

bool CodecIsPNGStream(TStream& stream) { return IsPNGStream(stream); }

void CodecReadPNG(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
                  TRVProgressRec& progress) {
  ReadPNGStream(stream, bitmap, params, paramsOnly, progress);
}

void CodecWritePNG(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVMask* alpha,
                   TRVProgressRec& progress) {
  WritePNGStream(stream, bitmap, params, alpha, progress);
}

#if RV_IO_HAVE_BMP
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
#else
void CodecReadBMP(TStream&, TRVBitmap&, int64_t, TIOParamsVals&, bool, std::unique_ptr<TRVMask>&, bool,
                  TRVProgressRec& progress) {
  progress.SetAborting();
}
void CodecWriteBMP(TStream&, TRVBitmap&, TIOParamsVals&, bool, TRVProgressRec& progress) { progress.SetAborting(); }
#endif

#if RV_IO_HAVE_JPEG
int64_t CodecFindJpegSOI(TStream& stream, bool scan) { return FindJpegSOI(stream, scan); }
void CodecReadJpeg(TStream& stream, TRVBitmap& bitmap, bool nativeFormat, bool paramsOnly, TIOParamsVals& params,
                   TRVProgressRec& progress) {
  ReadJpegStream(stream, nullptr, bitmap, nativeFormat, -1, true, true, false, true, false, paramsOnly, progress,
                 params);
}
void CodecWriteJpeg(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress) {
  WriteJpegStream(stream, bitmap, params, progress);
}
#else
int64_t CodecFindJpegSOI(TStream&, bool) { return -1; }
void CodecReadJpeg(TStream&, TRVBitmap&, bool, bool, TIOParamsVals&, TRVProgressRec& progress) {
  progress.SetAborting();
}
void CodecWriteJpeg(TStream&, TRVBitmap&, TIOParamsVals&, TRVProgressRec& progress) { progress.SetAborting(); }
#endif

}  // namespace rv
