// Pictures of metafile playback: bitmaps read from records and drawn with the common ternary
// raster operations, and the transfers that use only the brush and the destination.
#include <uemf.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVDibTransfer.h"
#include "rastova/io/metafile/RVMetaDC.h"
#include "rastova/io/metafile/RVMetaDib.h"

namespace rv {

namespace {

// A 1-bit uncompressed bitmap: rows of bits, each padded to 4 bytes.
TRVMetaDib DecodeBits1(const TRVMetaRecord& info, const TRVMetaRecord& bits, int32_t width, int32_t height,
                       bool bitValues) {
  const uint32_t headerSize = info.U32(0);
  const int64_t rows = std::abs(int64_t(height));
  const int64_t rowLength = (int64_t(width) + 31) / 32 * 4;
  // The table: the entries in use, or two; the first two give the colours.
  const uint32_t used = info.U32(32);
  if (used > 256) return {};
  const uint64_t entries = used == 0 ? 2 : used;
  TRVMetaRecord source = bits;
  if (!bits.Size()) {
    const uint64_t at = uint64_t(headerSize) + entries * 4;
    source = info.Has(at, 0) ? info.Sub(at, info.Size() - at) : TRVMetaRecord(nullptr, 0);
  }
  if (!source.HasArray(0, uint64_t(rows), uint64_t(rowLength))) return {};
  TRVMetaDib out;
  out.BottomUp = height > 0;
  out.Image = QImage(width, int(rows), QImage::Format_Indexed8);
  if (out.Image.isNull()) return {};
  QList<QRgb> table{qRgb(0, 0, 0), qRgb(255, 255, 255)};
  if (!bitValues) {
    for (uint64_t i = 0; i < std::min<uint64_t>(entries, 2); ++i) {
      const uint64_t at = uint64_t(headerSize) + 4 * i;
      if (info.Has(at, 4)) table[qsizetype(i)] = qRgb(info.U8(at + 2), info.U8(at + 1), info.U8(at));
    }
  }
  out.Image.setColorTable(table);
  for (int64_t y = 0; y < rows; ++y) {
    const uint8_t* s = source.Data() + rowLength * y;
    uchar* d = out.Image.scanLine(int(out.BottomUp ? rows - 1 - y : y));
    for (int32_t x = 0; x < width; ++x) d[x] = (s[x >> 3] >> (7 - (x & 7))) & 1;
  }
  if (!bitValues) out.Image = out.Image.convertToFormat(QImage::Format_RGB32);
  return out;
}

}  // namespace

TRVMetaDib DecodeMetaDib(const TRVMetaRecord& info, const TRVMetaRecord& bits, bool bitValues) {
  if (!info.Has(0, 40) || info.U32(0) < 40) return {};
  const int32_t width = info.I32(4), height = info.I32(8);
  const uint16_t bitCount = info.U16(14);
  const uint32_t compression = info.U32(16);
  if (width <= 0 || height == 0 || height == INT32_MIN) return {};
  if (int64_t(width) * std::abs(int64_t(height)) > kMaxDibPixels) return {};
  if (bitCount == 1 && compression == BI_RGB) return DecodeBits1(info, bits, width, height, bitValues);
  TRVBitmap decoded;
  if (PackedDIBToBitmap(info.Data(), info.Size(), decoded, bits.Size() ? bits.Data() : nullptr,
                        bits.Size()) == 0)
    return {};
  if (decoded.GetPixelFormat() != rv24RGB) return {};
  const int32_t w = decoded.GetWidth(), h = decoded.GetHeight();
  TRVMetaDib out;
  out.BottomUp = height > 0;
  out.Image = QImage(w, h, QImage::Format_RGB32);
  if (out.Image.isNull()) return {};
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* s = decoded.GetScanLine(y);
    QRgb* d = reinterpret_cast<QRgb*>(out.Image.scanLine(y));
    for (int32_t x = 0; x < w; ++x, s += 3) d[x] = qRgb(s[2], s[1], s[0]);
  }
  return out;
}

namespace {

// Whether a ternary raster operation reads the source: its result differs for source 0 and 1.
bool UsesSource(uint32_t rop) { return (((rop >> 2) ^ rop) & 0x00330000) != 0; }

// The composition of the source-using operations drawn; others draw the source as it is.
QPainter::CompositionMode SourceMode(uint32_t rop) {
  switch (rop) {
    case U_SRCPAINT:
      return QPainter::RasterOp_SourceOrDestination;
    case U_SRCAND:
      return QPainter::RasterOp_SourceAndDestination;
    case U_SRCINVERT:
      return QPainter::RasterOp_SourceXorDestination;
    case U_SRCERASE:
      return QPainter::RasterOp_SourceAndNotDestination;
    case U_NOTSRCCOPY:
      return QPainter::RasterOp_NotSource;
    case U_NOTSRCERASE:
      return QPainter::RasterOp_NotSourceAndNotDestination;
    case U_MERGEPAINT:
      return QPainter::RasterOp_NotSourceOrDestination;
    default:
      return QPainter::CompositionMode_SourceOver;
  }
}

}  // namespace

void TRVMetaDC::StretchImage(const QRectF& dest, const QImage& image, const QRectF& src, uint32_t rop) {
  rop &= 0x00FFFFFF;  // without the no-mirror flag
  if (!UsesSource(rop)) {
    PatBlt(dest, rop);
    return;
  }
  if (image.isNull() || src.width() == 0 || src.height() == 0 || dest.width() == 0 || dest.height() == 0)
    return;
  // Image pixels to logical units: src onto dest (a negative size mirrors).
  const double sx = dest.width() / src.width(), sy = dest.height() / src.height();
  const QTransform m(sx, 0, 0, sy, dest.x() - src.x() * sx, dest.y() - src.y() * sy);
  const QRectF part = src.normalized().intersected(QRectF(image.rect()));
  if (part.isEmpty() || !BeginDraw(m * Transform(), part, 1)) return;
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, state_.StretchMode == U_HALFTONE);
  painter_.setCompositionMode(SourceMode(rop));
  painter_.drawImage(part, image, part);
  painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
}

void TRVMetaDC::PatBlt(const QRectF& dest, uint32_t rop) {
  rop &= 0x00FFFFFF;
  TRVMetaBrush brush = state_.Brush;
  uint32_t mode = U_R2_COPYPEN;
  switch (rop) {
    case U_PATCOPY:
      break;
    case U_PATINVERT:
      mode = U_R2_XORPEN;
      break;
    case U_DSTINVERT:
      mode = U_R2_NOT;
      break;
    case U_BLACKNESS:
      mode = U_R2_BLACK;
      break;
    case U_WHITENESS:
      mode = U_R2_WHITE;
      break;
    case U_NOOP:
      return;
    default:  // other pattern operations: the pattern as it is
      break;
  }
  if (mode != U_R2_COPYPEN && mode != U_R2_XORPEN) brush = TRVMetaBrush{};
  QPainterPath path;
  path.addRect(dest.normalized());
  const QTransform t = Transform();
  if (!BeginDraw(t, path.controlPointRect(), 1)) return;
  const uint32_t rop2 = state_.Rop2;
  state_.Rop2 = mode;
  FillWithBrush(path, brush, t);
  state_.Rop2 = rop2;
  painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

}  // namespace rv

namespace rv {

TRVMetaDib DecodeMetaDib(TRVMetaDC& dc, const TRVMetaRecord& info, const TRVMetaRecord& bits,
                         bool bitValues) {
  if (!info.Has(0, 40)) return {};
  const int64_t pixels = int64_t(info.I32(4)) * std::abs(int64_t(info.I32(8)));
  // Run-length coded rows may stand for many pixels a byte, but not without bound: at most
  // 256 a byte of the bitmap, beyond a first million.
  const int64_t bytes = int64_t(info.Size()) + int64_t(bits.Size());
  if (pixels <= 0 || pixels > kMaxDibPixels || pixels > (int64_t(1) << 20) + 256 * bytes ||
      !dc.SpendDibPixels(pixels))
    return {};
  return DecodeMetaDib(info, bits, bitValues);
}

void StretchDibits(TRVMetaDC& dc, const TRVMetaRecord& info, const TRVMetaRecord& bits, const QRectF& dest,
                   const QRectF& src, uint32_t rop) {
  if (!UsesSource(rop & 0x00FFFFFF)) {
    dc.PatBlt(dest, rop);
    return;
  }
  if (!dc.Visible(dest)) return;
  const TRVMetaDib dib = DecodeMetaDib(dc, info, bits, false);
  if (dib.Image.isNull()) return;
  QRectF s = src;
  if (dib.BottomUp) s.moveTop(dib.Image.height() - src.y() - src.height());
  dc.StretchImage(dest, dib.Image, s, rop);
}

void BltDib(TRVMetaDC& dc, const TRVMetaRecord& info, const TRVMetaRecord& bits, const QRectF& dest,
            const QRectF& src, uint32_t rop) {
  if (!UsesSource(rop & 0x00FFFFFF)) {
    dc.PatBlt(dest, rop);
    return;
  }
  if (!dc.Visible(dest)) return;
  const TRVMetaDib dib = DecodeMetaDib(dc, info, bits, false);
  if (!dib.Image.isNull()) dc.StretchImage(dest, dib.Image, src, rop);
}

void DibitsToDevice(TRVMetaDC& dc, const TRVMetaRecord& info, const TRVMetaRecord& bits, const QPointF& dest,
                    const QRectF& src, uint32_t startScan, uint32_t scanCount) {
  // Whole numbers of 32 bits at most, in 64-bit arithmetic.
  const int64_t sx = int64_t(src.x()), sy = int64_t(src.y()), sw = int64_t(src.width()),
                sh = int64_t(src.height());
  if (!info.Has(0, 40) || sw <= 0 || sh <= 0) return;
  const int32_t height = info.I32(8);
  const int64_t rows = std::abs(int64_t(height));
  if (scanCount == 0 || startScan >= rows) return;
  const int64_t count = std::min<int64_t>(scanCount, rows - startScan);
  if (!dc.Visible(QRectF(dest, QSizeF(double(sw), double(sh))))) return;
  // The scan lines given make a bitmap of their own height.
  std::vector<uint8_t> header(info.Data(), info.Data() + info.Size());
  const int32_t chunkHeight = static_cast<int32_t>(height > 0 ? count : -count);
  std::memcpy(header.data() + 8, &chunkHeight, 4);
  const TRVMetaDib chunk = DecodeMetaDib(dc, TRVMetaRecord(header.data(), header.size()), bits, false);
  if (chunk.Image.isNull()) return;
  // Top-down rows of the whole bitmap: those of the chunk, and those of the source rectangle;
  // the part of the source rectangle the chunk holds.
  const int64_t first = chunk.BottomUp ? rows - startScan - count : startScan;
  const int64_t top = chunk.BottomUp ? rows - sy - sh : sy;
  const int64_t x0 = std::max<int64_t>(sx, 0), x1 = std::min<int64_t>(sx + sw, chunk.Image.width());
  const int64_t y0 = std::max(top, first), y1 = std::min(top + sh, first + count);
  if (x0 >= x1 || y0 >= y1) return;
  const QRectF target(dest.x() + double(x0 - sx), dest.y() + double(y0 - top), double(x1 - x0),
                      double(y1 - y0));
  dc.StretchImage(target, chunk.Image,
                  QRectF(double(x0), double(y0 - first), double(x1 - x0), double(y1 - y0)), U_SRCCOPY);
}

}  // namespace rv
