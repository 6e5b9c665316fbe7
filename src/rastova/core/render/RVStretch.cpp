// Stretching a rectangle of an image into a rectangle of another, alpha channel included: the
// simpler sibling of the renderer, used where the destination's alpha channel must follow
// (layers, transitions). 1-bit and 24-bit sources write pixels; every source writes alpha.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVBitmapInternal.h"
#include "rastova/core/RVRectCopy.h"
#include "rastova/core/RVResample.h"

namespace rv {

namespace {

// A filtered stretch resamples the whole destination rectangle into a scratch image first;
// one much larger than the destination (a rectangle reaching far past it) is stretched
// without filter instead of allocating what the destination cannot show.
bool ScratchFits(int64_t width, int64_t height, TRVBitmap& dest) {
  return width * height * 3 <= std::max<int64_t>(int64_t(4) * dest.ImageSize(), int64_t(1) << 24);
}

// Index table of one axis: start + ((v - origin) x step) shifted right by 14, clamped into the source.
std::vector<int32_t> StretchTable(int32_t first, int32_t last, int64_t origin, int64_t start, int64_t step,
                                  int32_t size) {
  std::vector<int32_t> t(static_cast<size_t>(last - first + 1));
  for (int32_t v = first; v <= last; ++v) {
    // v - origin is never negative; the product is worked out as a real number so that no
    // extreme step overflows, and a far-away result is clamped like any other.
    const int64_t along = std::min<int64_t>(
        common::Trunc(static_cast<long double>(v - origin) * step / 16384), int64_t(1) << 40);
    const int64_t s = start + along;
    t[static_cast<size_t>(v - first)] = static_cast<int32_t>(std::clamp<int64_t>(s, 0, size - 1));
  }
  return t;
}

}  // namespace

void TRVBitmap::StretchRectTo(TRVBitmap* Dest, int32_t xDst, int32_t yDst, int32_t dxDst, int32_t dyDst,
                              int32_t xSrc, int32_t ySrc, int32_t dxSrc, int32_t dySrc,
                              TResampleFilter Filter, int32_t MaxAlpha) {
  if (!Dest || Dest == this || IsEmpty() || Dest->IsEmpty() || Dest->GetPixelFormat() != rv24RGB) return;
  if (dxDst <= 0 || dyDst <= 0 || dxSrc <= 0 || dySrc <= 0) return;
  MaxAlpha = std::clamp(MaxAlpha, 0, 255);
  const TRVPixelFormat format = GetPixelFormat();
  const int32_t srcW = GetWidth(), srcH = GetHeight(), destW = Dest->GetWidth(), destH = Dest->GetHeight();
  // The destination area, clamped to Dest.
  const int32_t x0 = std::max(xDst, 0), y0 = std::max(yDst, 0);
  const int32_t x1 = static_cast<int32_t>(std::min<int64_t>(int64_t(xDst) + dxDst - 1, destW - 1));
  const int32_t y1 = static_cast<int32_t>(std::min<int64_t>(int64_t(yDst) + dyDst - 1, destH - 1));
  if (x0 > x1 || y0 > y1) return;
  RowAccessScope readOnly(*this, 1);

  if (Filter != rfNone && (dxSrc != dxDst || dySrc != dyDst) && ScratchFits(dxDst, dyDst, *Dest)) {
    // The source rectangle where it overlaps the source.
    const int32_t sx = std::clamp(xSrc, 0, srcW - 1), sy = std::clamp(ySrc, 0, srcH - 1);
    const int32_t cw = static_cast<int32_t>(std::min<int64_t>(dxSrc, srcW - sx));
    const int32_t ch = static_cast<int32_t>(std::min<int64_t>(dySrc, srcH - sy));
    TRVBitmap scaled;
    if (dxSrc < dxDst || format != rv1g || HasAlphaBitmap()) {
      TRVBitmap cut(cw, ch, format);
      if (cut.IsEmpty()) return;
      CopyRectTo(*this, cut, sx, sy, 0, 0, cw, ch);
      CopyPaletteTo(&cut);
      const bool projection = format == rv1g && (Filter == rfProjectBW || Filter == rfProjectWB);
      if (!scaled.Allocate(dxDst, dyDst, projection ? rv1g : rv24RGB)) return;
      if (format == rv1g) {
        Resample1Bit(cut, scaled, Filter);
      } else {
        ResampleFiltered(cut, scaled, Filter, nullptr, TRVProgressEvent());
        // The resampler keeps 8-bit grey (every filter) and 16-bit grey and 48-bit colour (the
        // area filters) in their own format; the copy below writes colour from 24-bit and 1-bit
        // pictures only, so the others come over as 24-bit.
        if (scaled.GetPixelFormat() != rv24RGB && scaled.GetPixelFormat() != rv1g)
          scaled.ConvertToPixelFormat(rv24RGB);
      }
      if (HasAlphaBitmap()) {
        TRVBitmap* cutAlpha = cut.AlphaBitmap();
        CopyRectTo(*AlphaBitmap(), *cutAlpha, sx, sy, 0, 0, cw, ch);
        cutAlpha->Full = AlphaBitmap()->Full;
        TRVBitmap* alpha = scaled.AlphaBitmap();
        ResampleAlpha(*cutAlpha, *alpha, Filter);
        alpha->Full = cutAlpha->Full;
      }
    } else {
      if (!scaled.Allocate(dxDst, dyDst, rv24RGB)) return;
      Reduce1BitTo24(*this, sx, sy, sx + cw - 1, sy + ch - 1, scaled);
    }
    scaled.StretchRectTo(Dest, xDst, yDst, dxDst, dyDst, 0, 0, dxDst, dyDst, rfNone, MaxAlpha);
    return;
  }

  const int64_t yStep = common::Trunc(static_cast<long double>(dySrc) / dyDst * 16384);
  const int64_t xStep = common::Trunc(static_cast<long double>(dxSrc) / dxDst * 16384);
  const bool alphaUsed = HasAlphaBitmap() && !AlphaBitmap()->Full && AlphaBitmap()->GetWidth() == srcW &&
                         AlphaBitmap()->GetHeight() == srcH;
  // 1:1 copies whole row segments when they lie inside the source; the tables clamp otherwise.
  const bool inside = int64_t(xSrc) + (x0 - xDst) >= 0 && int64_t(xSrc) + (x1 - xDst) < srcW &&
                      int64_t(ySrc) + (y0 - yDst) >= 0 && int64_t(ySrc) + (y1 - yDst) < srcH;
  const bool tables = yStep != 16384 || xStep != 16384 || format == rv1g || alphaUsed || !inside;
  std::vector<int32_t> xt, yt;
  if (tables) {
    xt = StretchTable(x0, x1, xDst, xSrc, xStep, srcW);
    yt = StretchTable(y0, y1, yDst, ySrc, yStep, srcH);
  }
  auto sourceRow = [&](int32_t y) { return tables ? yt[size_t(y - y0)] : int32_t(ySrc + (y - yDst)); };
  auto sourceCol = [&](int32_t x) { return tables ? xt[size_t(x - x0)] : int32_t(xSrc + (x - xDst)); };
  const size_t n = static_cast<size_t>(x1 - x0 + 1);

  // Alpha: the source's, limited to MaxAlpha, or MaxAlpha over the whole area.
  TRVBitmap* destAlpha = Dest->AlphaBitmap();
  if (destAlpha && destAlpha->GetWidth() == destW && destAlpha->GetHeight() == destH) {
    if (alphaUsed) {
      TRVBitmap* alpha = AlphaBitmap();
      RowAccessScope alphaReadOnly(*alpha, 1);
      for (int32_t y = y0; y <= y1; ++y) {
        const uint8_t* s = alpha->GetScanLine(sourceRow(y));
        uint8_t* d = destAlpha->GetScanLine(y);
        if (!s || !d) continue;
        if (tables) {
          for (int32_t x = x0; x <= x1; ++x)
            d[x] = std::min<uint8_t>(s[xt[size_t(x - x0)]], uint8_t(MaxAlpha));
        } else {
          std::memcpy(d + x0, s + sourceCol(x0), n);
          for (size_t i = 0; i < n; ++i) d[x0 + i] = std::min<uint8_t>(d[x0 + i], uint8_t(MaxAlpha));
        }
      }
      destAlpha->ReleaseFileRows();
      destAlpha->Full = false;
    } else {
      destAlpha->FillRect(x0, y0, x1, y1, MaxAlpha);
      if (MaxAlpha < 255) destAlpha->Full = false;
    }
  }

  // Pixels: black and white from 1-bit sources, copies from 24-bit ones.
  if (format != rv1g && format != rv24RGB) return;
  for (int32_t y = y0; y <= y1; ++y) {
    const uint8_t* s = GetScanLine(sourceRow(y));
    uint8_t* d = Dest->GetScanLine(y);
    if (!s || !d) continue;
    d += size_t(x0) * 3;
    if (format == rv1g) {
      for (int32_t x = x0; x <= x1; ++x, d += 3) {
        const int32_t c = xt[size_t(x - x0)];
        const uint8_t v = (s[c >> 3] & (0x80 >> (c & 7))) ? 255 : 0;
        d[0] = d[1] = d[2] = v;
      }
    } else if (tables) {
      for (int32_t x = x0; x <= x1; ++x, d += 3) std::memcpy(d, s + size_t(xt[size_t(x - x0)]) * 3, 3);
    } else {
      std::memcpy(d, s + size_t(sourceCol(x0)) * 3, n * 3);
    }
  }
  Dest->ReleaseFileRows();
}

}  // namespace rv
