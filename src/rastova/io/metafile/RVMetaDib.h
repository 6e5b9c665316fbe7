#pragma once
// Device-independent bitmaps held in metafile records (block transfers, pattern brushes), read
// into QImages. The image library's DIB reader (RVDibTransfer.h) does the decoding, with its
// checks of every size against the bytes; 1-bit bitmaps are read here, since their two colours
// matter to a metafile (a monochrome brush takes them from the device context).
#include <QImage>
#include <cstdint>

#include "rastova/io/metafile/RVMetaRecord.h"

class QRectF;
class QPointF;

namespace rv {

class TRVMetaDC;

// A bitmap of more pixels is not read (8192 x 4096; 128 MB as 32-bit pixels).
constexpr int64_t kMaxDibPixels = int64_t(1) << 25;

struct TRVMetaDib {
  QImage Image;           // top-down; Format_RGB32, or a two-entry Indexed8 for bit values
  bool BottomUp = false;  // the rows were stored bottom-up (a positive height)
};

// The bitmap whose header and colour table are `info` and whose rows are `bits` (empty: the rows
// follow the colour table in `info`, as in a packed bitmap). With `bitValues` a 1-bit bitmap
// keeps its bit values (Indexed8, table black and white) instead of its colours. A null image
// when the bitmap is refused.
TRVMetaDib DecodeMetaDib(const TRVMetaRecord& info, const TRVMetaRecord& bits, bool bitValues);

// The same, counted against the device context's budget of decoded pixels, and refused beyond
// 2^20 pixels and 256 a byte of the bitmap (run-length coded rows, which could otherwise ask for
// 4096 x 4096 pixels from a few bytes).
TRVMetaDib DecodeMetaDib(TRVMetaDC& dc, const TRVMetaRecord& info, const TRVMetaRecord& bits, bool bitValues);

// The block transfers of both formats, with a bitmap given as for DecodeMetaDib; the bitmap is
// read only when the raster operation uses a source and the destination shows on the picture.
// StretchDIBits: the source rectangle as stored (y counted from the bottom row of a bottom-up
// bitmap) onto the logical rectangle `dest`.
void StretchDibits(TRVMetaDC& dc, const TRVMetaRecord& info, const TRVMetaRecord& bits, const QRectF& dest,
                   const QRectF& src, uint32_t rop);
// BitBlt and StretchBlt: the source rectangle counted from the top row.
void BltDib(TRVMetaDC& dc, const TRVMetaRecord& info, const TRVMetaRecord& bits, const QRectF& dest,
            const QRectF& src, uint32_t rop);
// SetDIBitsToDevice: `bits` holds the scan lines [startScan, startScan + scanCount) of the
// bitmap (counted as stored); the part of them in `src` is drawn at one logical unit per pixel
// with its corner at `dest`.
void DibitsToDevice(TRVMetaDC& dc, const TRVMetaRecord& info, const TRVMetaRecord& bits, const QPointF& dest,
                    const QRectF& src, uint32_t startScan, uint32_t scanCount);

}  // namespace rv
