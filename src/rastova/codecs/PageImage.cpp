#include "rastova/codecs/PageImage.h"

#include "rastova/codecs/CodecUtils.h"
#include "rastova/codecs/jpegfilt.h"
#include "rastova/core/RVBitmap.h"

namespace rv {

TRVBitmap* PageImage(TRVBitmap& bitmap, std::unique_ptr<TRVBitmap>& copy) {
  if (bitmap.GetWidth() <= 0 || bitmap.GetHeight() <= 0) return nullptr;
  const TRVPixelFormat f = bitmap.GetPixelFormat();
  if (f == rv1g || f == rv24RGB) return &bitmap;
  copy = codecs::ConvertedCopy(bitmap, rv24RGB);
  return copy.get();
}

void WritePageJpeg(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress) {
  const uint8_t colorSpace = params.JPEG_ColorSpace;
  if (colorSpace > 2) params.JPEG_ColorSpace = 2;
  try {
    WriteJpegStream(stream, bitmap, params, progress);
  } catch (...) {
    params.JPEG_ColorSpace = colorSpace;
    throw;
  }
  params.JPEG_ColorSpace = colorSpace;
}

}  // namespace rv
