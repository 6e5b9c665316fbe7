#include "rastova/io/RVCodecBindings.h"

#include "rastova/codecs/RVProgressRec.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVStream.h"

namespace rv {

const bool kHavePngCodec = false;
const bool kHaveBmpCodec = false;
const bool kHaveJpegCodec = false;

bool CodecIsPNGStream(TStream&) { return false; }
int64_t CodecFindJpegSOI(TStream&, bool) { return -1; }

void CodecReadPNG(TStream&, TRVBitmap&, TIOParamsVals&, bool, TRVProgressRec& progress) { progress.SetAborting(); }
void CodecWritePNG(TStream&, TRVBitmap&, TIOParamsVals&, TRVMask*, TRVProgressRec& progress) {
  progress.SetAborting();
}
void CodecReadBMP(TStream&, TRVBitmap&, int64_t, TIOParamsVals&, bool, std::unique_ptr<TRVMask>&, bool,
                  TRVProgressRec& progress) {
  progress.SetAborting();
}
void CodecWriteBMP(TStream&, TRVBitmap&, TIOParamsVals&, bool, TRVProgressRec& progress) { progress.SetAborting(); }
void CodecReadJpeg(TStream&, TRVBitmap&, bool, bool, TIOParamsVals&, TRVProgressRec& progress) {
  progress.SetAborting();
}
void CodecWriteJpeg(TStream&, TRVBitmap&, TIOParamsVals&, TRVProgressRec& progress) { progress.SetAborting(); }

}  // namespace rv
