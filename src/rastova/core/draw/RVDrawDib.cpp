#include "rastova/core/draw/RVDrawDib.h"

#include <atomic>
#include <limits>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "rastova/core/RVBitmap.h"

namespace rv {

namespace {

std::atomic<HDRAWDIB> nextHandle{1};

// The bytes of the header with its colour table or masks, and of the rows, as the header
// gives them; false for a header too short or sizes beyond the address space.
bool DibExtent(const TBitmapInfoHeader& h, uint64_t& infoBytes, uint64_t& bitsBytes) {
  if (h.biSize < sizeof(TBitmapInfoHeader) || h.biWidth <= 0 || h.biHeight == 0 || h.biBitCount == 0)
    return false;
  uint64_t colours = h.biClrUsed;
  if (colours == 0 && h.biBitCount <= 8) colours = uint64_t(1) << h.biBitCount;
  infoBytes = uint64_t(h.biSize) + 4 * colours;
  if (h.biCompression == BI_BITFIELDS && h.biSize == sizeof(TBitmapInfoHeader)) infoBytes += 12;
  const uint64_t rows = h.biHeight < 0 ? uint64_t(-int64_t(h.biHeight)) : uint64_t(h.biHeight);
  const uint64_t stride = (uint64_t(h.biWidth) * h.biBitCount + 31) / 32 * 4;
  const bool coded = h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS;
  bitsBytes = coded && h.biSizeImage != 0 ? h.biSizeImage : stride * rows;
  constexpr uint64_t kLimit = std::numeric_limits<size_t>::max() / 4;
  return infoBytes < kLimit && bitsBytes < kLimit;
}

bool FitsInt32(int32_t origin, int32_t extent) {
  return extent > 0 && int64_t(origin) + extent <= std::numeric_limits<int32_t>::max();
}

}  // namespace

HDRAWDIB DrawDibOpenProc() { return nextHandle.fetch_add(1); }

bool DrawDibCloseProc(HDRAWDIB /*Handle*/) { return true; }

int32_t DrawDibRealizeProc(HDRAWDIB /*Handle*/, platform::TCanvas* /*DC*/, bool /*Background*/) { return 0; }

bool DrawDibDrawProc(HDRAWDIB Handle, platform::TCanvas* DC, int32_t xDst, int32_t yDst, int32_t dxDst,
                     int32_t dyDst, const TBitmapInfoHeader* BitmapInfoHeader, const void* Bits, int32_t xSrc,
                     int32_t ySrc, int32_t dxSrc, int32_t dySrc, uint32_t /*Flags*/) {
  uint64_t infoBytes = 0, bitsBytes = 0;
  if (Handle == 0 || DC == nullptr || BitmapInfoHeader == nullptr ||
      !DibExtent(*BitmapInfoHeader, infoBytes, bitsBytes))
    return false;
  const auto* info = reinterpret_cast<const uint8_t*>(BitmapInfoHeader);
  TRVBitmap image;
  const int32_t read =
      Bits ? PackedDIBToBitmap(info, infoBytes, image, static_cast<const uint8_t*>(Bits), bitsBytes)
           : PackedDIBToBitmap(info, infoBytes + bitsBytes, image);
  platform::TBitmap* source = read != 0 ? image.BitmapView() : nullptr;
  if (source == nullptr || !FitsInt32(xDst, dxDst) || !FitsInt32(yDst, dyDst) || !FitsInt32(xSrc, dxSrc) ||
      !FitsInt32(ySrc, dySrc))
    return false;
  const platform::TCopyMode mode = DC->CopyMode;
  DC->CopyMode = platform::cmSrcCopy;
  DC->CopyRect(platform::Bounds(xDst, yDst, dxDst, dyDst), source->Canvas(),
               platform::Bounds(xSrc, ySrc, dxSrc, dySrc));
  DC->CopyMode = mode;
  return true;
}

}  // namespace rv
