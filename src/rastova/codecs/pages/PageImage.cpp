#include "rastova/codecs/pages/PageImage.h"

#include <algorithm>

#include "rastova/codecs/CodecUtils.h"
#include "rastova/codecs/jpeg/jpegfilt.h"
#include "rastova/codecs/tiff/tifccitt.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"

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

std::vector<uint8_t> BilevelRows(TRVBitmap& bitmap) {
  const int32_t h = bitmap.GetHeight();
  const int64_t rowBytes = (int64_t(bitmap.GetWidth()) + 7) / 8;
  std::vector<uint8_t> rows(static_cast<size_t>(rowBytes * h));
  for (int32_t y = 0; y < h; ++y) std::copy_n(bitmap.GetScanLine(y), rowBytes, rows.data() + y * rowBytes);
  return rows;
}

bool FaxCodeRows(TRVBitmap& bitmap, bool group4, TMemoryStream& coded) {
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  bool error = false;
  std::vector<uint8_t> reference;
  int32_t pendingCount = 0;
  uint8_t pendingByte = 0;
  auto row = [&](const uint8_t* r) {
    if (group4)
      FaxEncodeG4Row(r, w, coded, 1, error, reference, pendingCount, pendingByte);
    else
      FaxEncodeG3Row(r, w, coded, 1, error, reference, pendingCount, pendingByte);
  };
  for (int32_t y = 0; y < h; ++y) row(bitmap.GetScanLine(y));
  row(nullptr);
  return !error && coded.GetSize() > 0;
}

}  // namespace rv
