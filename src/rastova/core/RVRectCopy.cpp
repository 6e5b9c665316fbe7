#include "rastova/core/RVRectCopy.h"

#include <algorithm>
#include <cstring>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVBitmapInternal.h"
#include "rastova/core/RVUtils.h"

namespace rv {

namespace {

// Bytes per pixel of the formats whose rectangles are copied as blocks (0: not copied so).
int32_t BlockPixelSize(TRVPixelFormat f) {
  switch (f) {
    case rv8p:
    case rv8g:
      return 1;
    case rv16g:
      return 2;
    case rv24RGB:
    case rvCIELab:
      return 3;
    case rv32f:
    case rvCMYK:
    case rv32RGB:
      return 4;
    case rv48RGB:
      return 6;
    default:
      return 0;
  }
}

struct ClippedRect {
  int32_t sx = 0, sy = 0, dx = 0, dy = 0, w = 0, h = 0;
};

// The rectangle arithmetic shared by the copy and the alpha merge.
bool Clip(int32_t srcW, int32_t srcH, int32_t dstW, int32_t dstH, int32_t srcX, int32_t srcY, int32_t dstX,
          int32_t dstY, int32_t width, int32_t height, ClippedRect& r) {
  if (srcW <= 0 || srcH <= 0 || dstW <= 0 || dstH <= 0 || width <= 0 || height <= 0) return false;
  int64_t w = width, h = height, sx = srcX, sy = srcY;
  if (dstX < 0) {
    sx -= dstX;
    w += dstX;
  }
  if (dstY < 0) {
    sy -= dstY;
    h += dstY;
  }
  const int64_t x = std::min<int64_t>(std::max(dstX, 0), dstW - 1);
  const int64_t y = std::min<int64_t>(std::max(dstY, 0), dstH - 1);
  sx = std::min<int64_t>(std::max<int64_t>(sx, 0), srcW - 1);
  sy = std::min<int64_t>(std::max<int64_t>(sy, 0), srcH - 1);
  w = std::min({w, srcW - sx, dstW - x});
  h = std::min({h, srcH - sy, dstH - y});
  if (w <= 0 || h <= 0) return false;
  r = ClippedRect{static_cast<int32_t>(sx), static_cast<int32_t>(sy), static_cast<int32_t>(x),
                  static_cast<int32_t>(y),  static_cast<int32_t>(w),  static_cast<int32_t>(h)};
  return true;
}

}  // namespace

void CopyRectTo(TRVBitmap& source, TRVBitmap& dest, int32_t srcX, int32_t srcY, int32_t dstX, int32_t dstY,
                int32_t width, int32_t height) {
  if (&source == &dest) {
    // Overlapping rows of one image go through a temporary copy.
    MoveRect(source, srcX, srcY, srcX + width - 1, srcY + height - 1, dstX, dstY, 0, false);
    return;
  }
  ClippedRect r;
  if (!Clip(source.GetWidth(), source.GetHeight(), dest.GetWidth(), dest.GetHeight(), srcX, srcY, dstX, dstY,
            width, height, r))
    return;
  const TRVPixelFormat sf = source.GetPixelFormat(), df = dest.GetPixelFormat();
  const int32_t size = BlockPixelSize(sf);
  const bool bits = sf == rv1g && df == rv1g;
  const bool expand = sf == rv1g && df == rv24RGB;
  if (!bits && !expand && (sf != df || size == 0)) return;
  RowAccessScope ro(source, 1);
  // Destination rows are read first unless whole rows are overwritten.
  RowAccessScope rw(dest, 3);
  for (int32_t j = 0; j < r.h; ++j) {
    const uint8_t* s = source.GetLockedRow(r.sy + j);
    uint8_t* d = dest.GetScanLine(r.dy + j);
    if (s != nullptr && d != nullptr) {
      if (bits) {
        CopyBitBlock(s, d, r.sx, r.dx, r.w);
      } else if (expand) {
        uint8_t* p = d + static_cast<int64_t>(r.dx) * 3;
        for (int32_t i = 0; i < r.w; ++i, p += 3) std::memset(p, GetBufferBit(s, r.sx + i) ? 255 : 0, 3);
      } else {
        std::memmove(d + static_cast<int64_t>(r.dx) * size, s + static_cast<int64_t>(r.sx) * size,
                     static_cast<size_t>(r.w) * static_cast<size_t>(size));
      }
    }
    source.ReleaseLockedRow(r.sy + j);
  }
  source.ReleaseFileRows();
  dest.ReleaseFileRows();
  dest.Full = false;
}

void MergeAlphaRectTo(TRVBitmap& source, TRVBitmap& dest, int32_t srcX, int32_t srcY, int32_t dstX,
                      int32_t dstY, int32_t width, int32_t height) {
  TRVBitmap* sa = source.IsAlphaChannel() ? nullptr : source.AlphaBitmap();
  TRVBitmap* da = dest.IsAlphaChannel() ? nullptr : dest.AlphaBitmap();
  if (sa == nullptr || da == nullptr || sa == da) return;
  if (sa->GetPixelFormat() != rv8g || da->GetPixelFormat() != rv8g) return;
  ClippedRect r;
  if (!Clip(sa->GetWidth(), sa->GetHeight(), da->GetWidth(), da->GetHeight(), srcX, srcY, dstX, dstY, width,
            height, r))
    return;
  RowAccessScope ro(*sa, 1);
  RowAccessScope rw(*da, 3);
  for (int32_t j = 0; j < r.h; ++j) {
    const uint8_t* s = sa->GetLockedRow(r.sy + j) + r.sx;
    uint8_t* d = da->GetScanLine(r.dy + j) + r.dx;
    for (int32_t i = 0; i < r.w; ++i) d[i] = std::max(d[i], s[i]);
    sa->ReleaseLockedRow(r.sy + j);
  }
  sa->ReleaseFileRows();
  da->ReleaseFileRows();
}

void TRVBitmap::MoveRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t newLeft,
                         int32_t newTop, double fillValue, bool clear) {
  rv::MoveRect(*this, left, top, right, bottom, newLeft, newTop, fillValue, clear);
}

void MoveRect(TRVBitmap& bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t dstX, int32_t dstY,
              double background, bool fillSource) {
  const int64_t w = int64_t(x2) - x1 + 1, h = int64_t(y2) - y1 + 1;
  if (w <= 0 || h <= 0 || bitmap.IsEmpty()) return;
  // The temporary never needs to be larger than the image.
  const int32_t tw = static_cast<int32_t>(std::min<int64_t>(w, bitmap.GetWidth()));
  const int32_t th = static_cast<int32_t>(std::min<int64_t>(h, bitmap.GetHeight()));
  TRVBitmap tmp;
  tmp.MemoryThreshold = bitmap.MemoryThreshold;
  if (!tmp.Allocate(tw, th, bitmap.GetPixelFormat())) return;
  // A rectangle starting left of or above the image keeps its placement relative to the target.
  const int32_t cx = std::max(x1, 0), cy = std::max(y1, 0);
  CopyRectTo(bitmap, tmp, cx, cy, 0, 0, tw, th);
  if (fillSource) bitmap.FillRect(x1, y1, x2, y2, background);
  CopyRectTo(tmp, bitmap, 0, 0, dstX + (cx - x1), dstY + (cy - y1),
             static_cast<int32_t>(std::min<int64_t>(tw, w - (cx - x1))),
             static_cast<int32_t>(std::min<int64_t>(th, h - (cy - y1))));
}

void PlaceBeforeShrink(TRVBitmap& bitmap, int32_t newWidth, int32_t newHeight, double background,
                       uint8_t horzAlign, uint8_t vertAlign) {
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  if (newWidth < w && newWidth > 0) {
    const int32_t d = w - newWidth;
    if (horzAlign == rvAlignCenter)
      MoveRect(bitmap, d / 2, 0, d / 2 + newWidth - 1, h - 1, 0, 0, background, true);
    else if (horzAlign == rvAlignFar)
      MoveRect(bitmap, d, 0, w - 1, h - 1, 0, 0, background, true);
  }
  if (newHeight < h && newHeight > 0) {
    const int32_t d = h - newHeight;
    if (vertAlign == rvAlignCenter)
      MoveRect(bitmap, 0, d / 2, w - 1, d / 2 + newHeight - 1, 0, 0, background, true);
    else if (vertAlign == rvAlignFar)
      MoveRect(bitmap, 0, d, w - 1, h - 1, 0, 0, background, true);
  }
}

void PlaceAfterGrow(TRVBitmap& bitmap, int32_t oldWidth, int32_t oldHeight, double background,
                    uint8_t horzAlign, uint8_t vertAlign) {
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  if (oldWidth < w) {
    bitmap.FillRect(oldWidth, 0, w - 1, h - 1, background);
    int32_t shift = horzAlign == rvAlignCenter ? (w - oldWidth) / 2
                    : horzAlign == rvAlignFar  ? w - oldWidth
                                               : 0;
    if (shift > 0) MoveRect(bitmap, 0, 0, oldWidth - 1, oldHeight - 1, shift, 0, background, true);
  }
  if (oldHeight < h) {
    bitmap.FillRect(0, oldHeight, w - 1, h - 1, background);
    int32_t shift = vertAlign == rvAlignCenter ? (h - oldHeight) / 2
                    : vertAlign == rvAlignFar  ? h - oldHeight
                                               : 0;
    if (shift > 0) MoveRect(bitmap, 0, 0, w - 1, oldHeight - 1, 0, shift, background, true);
  }
}

void Resize(TRVBitmap& bitmap, int32_t newWidth, int32_t newHeight, double background, int32_t alphaFill,
            uint8_t horzAlign, uint8_t vertAlign) {
  if (newWidth <= 0 || newHeight <= 0) return;
  const int32_t oldWidth = bitmap.GetWidth(), oldHeight = bitmap.GetHeight();
  TRVBitmap* alpha = bitmap.HasAlphaBitmap() ? bitmap.AlphaBitmap() : nullptr;
  PlaceBeforeShrink(bitmap, newWidth, newHeight, background, horzAlign, vertAlign);
  if (alpha) PlaceBeforeShrink(*alpha, newWidth, newHeight, alphaFill, horzAlign, vertAlign);
  bitmap.SetWidth(newWidth);
  bitmap.SetHeight(newHeight);
  PlaceAfterGrow(bitmap, oldWidth, oldHeight, background, horzAlign, vertAlign);
  alpha = bitmap.HasAlphaBitmap() ? bitmap.AlphaBitmap() : nullptr;
  if (alpha) PlaceAfterGrow(*alpha, oldWidth, oldHeight, alphaFill, horzAlign, vertAlign);
}

void TakeImage(TRVBitmap& target, TRVBitmap& image) {
  if (&target == &image) return;
  if (target.GetLocation() == rvTBitmap || target.IsAlphaChannel() || image.GetLocation() == rvTBitmap ||
      image.HasAlphaBitmap()) {
    target.AssignImage(image);
    return;
  }
  // Hand the storage over instead of copying it, keeping what belongs to the target.
  auto alpha = target.ReplaceAlphaBitmap(nullptr);
  const uint8_t bw = target.BWConversion;
  const int32_t alignment = target.GetRowAlignment();
  const uint8_t allocator = target.Allocator;
  image.MoveTo(target);
  target.BWConversion = bw;
  target.Allocator = allocator;
  target.SetRowAlignment(alignment);
  target.ReplaceAlphaBitmap(std::move(alpha));
  target.Full = false;
}

}  // namespace rv
