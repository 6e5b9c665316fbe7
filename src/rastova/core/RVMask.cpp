#include "rastova/core/RVMask.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVBitmapInternal.h"
#include "rastova/core/RVPlatformBitmap.h"

namespace rv {

// ---------------------------------------------------------------- storage

void TRVMask::FreeBits() {
  stretch_.clear();
  stretchW_ = stretchH_ = stretchRowLen_ = 0;
  bits_.clear();
  bits_.shrink_to_fit();
  width_ = height_ = bitsPerPixel_ = rowLen_ = 0;
}

void TRVMask::AllocateBits(int32_t width, int32_t height, int32_t bitsPerPixel) {
  FreeBits();
  if (width > 0 && height > 0 && (bitsPerPixel == 1 || bitsPerPixel == 8)) {
    int64_t rowLen = AlignedRowLength64(width, bitsPerPixel, 32);
    bits_.assign(static_cast<size_t>(rowLen * height), 0);
    width_ = width;
    height_ = height;
    bitsPerPixel_ = bitsPerPixel;
    rowLen_ = static_cast<int32_t>(rowLen);
  }
  EmptyBox();
  Full = false;
}

void TRVMask::ClampBox() {
  Left = std::max(Left, 0);
  Top = std::max(Top, 0);
  Right = std::min(Right, width_ - 1);
  Bottom = std::min(Bottom, height_ - 1);
}

void TRVMask::Resize(int32_t newWidth, int32_t newHeight) {
  if (newWidth < 0 || newHeight < 0 || bitsPerPixel_ == 0) return;
  int64_t newRowLen = AlignedRowLength64(newWidth, bitsPerPixel_, 32);
  std::vector<uint8_t> bits(static_cast<size_t>(newRowLen * newHeight), 0);
  int32_t rows = std::min(height_, newHeight);
  size_t n = static_cast<size_t>(std::min<int64_t>(rowLen_, newRowLen));
  for (int32_t r = 0; r < rows; ++r)
    std::memcpy(bits.data() + newRowLen * (newHeight - r - 1), bits_.data() + int64_t(rowLen_) * (height_ - r - 1), n);
  bits_ = std::move(bits);
  width_ = newWidth;
  height_ = newHeight;
  rowLen_ = static_cast<int32_t>(newRowLen);
  if (!IsEmpty()) {
    // Every side of a non-empty box stays inside the mask (a one-column box too).
    Left = std::min(Left, newWidth - 1);
    Top = std::min(Top, newHeight - 1);
    Right = std::min(Right, newWidth - 1);
    Bottom = std::min(Bottom, newHeight - 1);
  }
}

// ---------------------------------------------------------------- pixels

void TRVMask::SetPixel(int32_t x, int32_t y, int32_t value) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  if (value != 0) {
    Left = std::min(Left, x);
    Right = std::max(Right, x);
    Top = std::min(Top, y);
    Bottom = std::max(Bottom, y);
    ClampBox();
  }
  uint8_t* row = GetScanLine(y);
  if (bitsPerPixel_ == 1) {
    if (value != 0) {
      row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    } else {
      row[x >> 3] &= static_cast<uint8_t>(~(0x80 >> (x & 7)));
      Full = false;
    }
  } else {
    row[x] = static_cast<uint8_t>(value);
    if (Full && (value & 0xFF) != 255) Full = false;
  }
}

int32_t TRVMask::GetPixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  const uint8_t* row = bits_.data() + static_cast<int64_t>(rowLen_) * (height_ - y - 1);
  if (bitsPerPixel_ == 1) return row[x >> 3] & (0x80 >> (x & 7));
  return row[x];
}

int32_t TRVMask::DrawHorizontalSpan(int32_t value, int32_t x1, int32_t y, int32_t x2) {
  if (bits_.empty()) return 0;
  if (x1 < 0) x1 = 0;
  if (x2 >= width_) x2 = width_ - 1;
  if (y < 0) y = 0;
  if (y >= height_) y = height_ - 1;
  if (x2 < x1) return 0;
  uint8_t* row = GetScanLine(y);
  if (bitsPerPixel_ == 1) {
    bool set = value == 1;
    if (!set) Full = false;
    for (int32_t x = x1; x <= x2; ++x) {
      if (set) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
      else row[x >> 3] &= static_cast<uint8_t>(~(0x80 >> (x & 7)));
    }
  } else {
    if (Full && (value & 0xFF) != 255) Full = false;
    std::memset(row + x1, value & 0xFF, static_cast<size_t>(x2 - x1 + 1));
  }
  return x2 - x1 + 1;
}

void TRVMask::Fill(int32_t value) {
  std::fill(bits_.begin(), bits_.end(), static_cast<uint8_t>(value));
  Full = (value & 0xFF) == 255;
}

void TRVMask::Clear() {
  Fill(0);
  EmptyBox();
}

void TRVMask::RecomputeBounds() {
  EmptyBox();
  for (int32_t y = 0; y < height_; ++y)
    for (int32_t x = 0; x < width_; ++x)
      if (GetPixel(x, y) != 0) {
        Left = std::min(Left, x);
        Right = std::max(Right, x);
        Top = std::min(Top, y);
        Bottom = std::max(Bottom, y);
      }
  if (!IsEmpty()) ClampBox();
}

void TRVMask::CheckFull() {
  if (width_ == 0 || height_ == 0 || bits_.empty()) {
    Full = true;
    return;
  }
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* row = GetScanLine(y);
    if (bitsPerPixel_ == 1) {
      int32_t whole = width_ / 8;
      for (int32_t i = 0; i < whole; ++i)
        if (row[i] != 0xFF) {
          Full = false;
          return;
        }
      for (int32_t x = whole * 8; x < width_; ++x)
        if (!(row[x >> 3] & (0x80 >> (x & 7)))) {
          Full = false;
          return;
        }
    } else {
      for (int32_t x = 0; x < width_; ++x)
        if (row[x] != 255) {
          Full = false;
          return;
        }
    }
  }
  Full = true;
}

// ---------------------------------------------------------------- polygons

void TRVMask::AddPolygons(int32_t value, const TRVPoint* points, int32_t count) {
  int32_t start = 0;
  for (int32_t i = 0; i <= count; ++i) {
    if (i == count || points[i].x == kPolygonSeparator) {
      if (i > start) AddPolygon(value, points + start, i - start);
      start = i + 1;
    }
  }
  CheckFull();
}

namespace {

struct Edge {
  int64_t x1, y1, y2, dx, dy;
  int64_t XAt(int64_t y) const {
    // The incremental stepping of the scan converter in closed form: the error term of the
    // stepping keeps x within half a pixel of the exact crossing, rounding as it does.
    if (dx == 0) return x1;
    __int128 t = static_cast<__int128>(2 * dx) * (y - y1);
    __int128 d2 = 2 * static_cast<__int128>(dy);
    if (dx > 0) {
      __int128 num = t - dy;  // ceil(num / d2)
      __int128 q = num >= 0 ? (num + d2 - 1) / d2 : -((-num) / d2);
      return x1 + static_cast<int64_t>(q);
    }
    __int128 num = t + dy;  // floor(num / d2)
    __int128 q = num >= 0 ? num / d2 : -((-num + d2 - 1) / d2);
    return x1 + static_cast<int64_t>(q);
  }
};

// Bytes p[0 .. n - 1] (n is 1 or 8) of a 1-bit row as the top bits of a word, the leftmost
// pixel on top.
inline uint64_t RowBits(const uint8_t* p, int n) {
  if (n == 1) return uint64_t(p[0]) << 56;
  uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
  return v;
}

// Joins the border pixels of a row, met left to right, into runs for the painter.
class TBorderRuns {
 public:
  explicit TBorderRuns(TRVMaskPainter& painter) : painter_(painter) {}
  // Row y; column c lies at xDst + c and has colour colours[c - firstCol].
  void Start(int64_t y, int64_t xDst, int64_t firstCol, const TRGB* colours) {
    y_ = y;
    xDst_ = xDst;
    firstCol_ = firstCol;
    colours_ = colours;
    start_ = end_ = -1;
  }
  // Columns c0 .. c1 - 1, right of every column added before.
  void Add(int64_t c0, int64_t c1) {
    if (c0 != end_) {
      Flush();
      start_ = c0;
    }
    end_ = c1;
  }
  void Flush() {
    if (end_ > start_)
      painter_.PaintRun(static_cast<int32_t>(xDst_ + start_), static_cast<int32_t>(y_),
                        static_cast<int32_t>(end_ - start_), colours_ + (start_ - firstCol_));
    start_ = end_ = -1;
  }

 private:
  TRVMaskPainter& painter_;
  const TRGB* colours_ = nullptr;
  int64_t y_ = 0, xDst_ = 0, firstCol_ = 0, start_ = -1, end_ = -1;
};
}  // namespace

void TRVMask::AddPolygon(int32_t value, const TRVPoint* points, int32_t n) {
  if (n <= 0 || bits_.empty()) return;
  int64_t minY = std::numeric_limits<int64_t>::max(), maxY = std::numeric_limits<int64_t>::min();
  for (int32_t i = 0; i < n; ++i) {
    minY = std::min<int64_t>(minY, points[i].y);
    maxY = std::max<int64_t>(maxY, points[i].y);
  }
  // Only the rows inside the mask are scanned; edges that start above it enter at row 0.
  int64_t first = std::max<int64_t>(minY, 0), last = std::min<int64_t>(maxY - 1, height_ - 1);
  int64_t total = 0;
  if (first <= last) {
    std::vector<std::vector<Edge>> buckets(static_cast<size_t>(last - first + 1));
    for (int32_t i = 0; i < n; ++i) {
      const TRVPoint& a = points[i];
      const TRVPoint& b = points[(i + 1) % n];
      if (a.y == b.y) continue;
      Edge e;
      if (a.y < b.y) e = Edge{a.x, a.y, b.y, int64_t(b.x) - a.x, int64_t(b.y) - a.y};
      else e = Edge{b.x, b.y, a.y, int64_t(a.x) - b.x, int64_t(a.y) - b.y};
      if (e.y2 <= first || e.y1 > last) continue;
      int64_t start = std::max(e.y1, first);
      auto& bucket = buckets[static_cast<size_t>(start - first)];
      bucket.insert(bucket.begin(), e);  // pushed at the head, as the edge table does
    }
    std::vector<Edge> active;
    for (int64_t y = first; y <= last; ++y) {
      active.erase(std::remove_if(active.begin(), active.end(), [y](const Edge& e) { return e.y2 == y; }),
                   active.end());
      for (const Edge& e : buckets[static_cast<size_t>(y - first)]) {
        int64_t ex = e.XAt(y);
        auto pos = active.begin();
        for (; pos != active.end(); ++pos) {
          int64_t ax = pos->XAt(y);
          if (ax > ex) break;
          if (ax == ex && static_cast<__int128>(pos->dx) * e.dy >= static_cast<__int128>(e.dx) * pos->dy) break;
        }
        active.insert(pos, e);
      }
      for (size_t k = 0; k + 1 < active.size(); k += 2) {
        int64_t l = active[k].XAt(y), r = active[k + 1].XAt(y) - 1;
        if (r < l || r < 0 || l >= width_) continue;
        total += DrawHorizontalSpan(value, static_cast<int32_t>(std::max<int64_t>(l, 0)), static_cast<int32_t>(y),
                                    static_cast<int32_t>(std::min<int64_t>(r, width_ - 1)));
      }
    }
  }
  if (total == 0 || value == 0) return;
  // The box grows by every point (clamped into the mask) once something was drawn.
  for (int32_t i = 0; i < n; ++i) {
    Left = std::min(Left, points[i].x);
    if (points[i].x > Right) Right = points[i].x - 1;
    Top = std::min(Top, points[i].y);
    if (points[i].y > Bottom) Bottom = points[i].y - 1;
  }
  ClampBox();
}

// ---------------------------------------------------------------- moving

void TRVMask::Translate(int32_t& dx, int32_t& dy, bool crop) {
  if (IsEmpty()) RecomputeBounds();
  if (IsEmpty() || bits_.empty()) return;
  if (crop) {
    if (int64_t(Left) + dx < 0) Left = -dx;
    if (int64_t(Top) + dy < 0) Top = -dy;
    if (int64_t(Right) + dx >= width_) Right = width_ - 1 - dx;
    if (int64_t(Bottom) + dy >= height_) Bottom = height_ - 1 - dy;
  } else {
    if (int64_t(Left) + dx < 0) dx = -Left;
    if (int64_t(Right) + dx >= width_) dx = width_ - Right - 1;
    if (int64_t(Top) + dy < 0) dy = -Top;
    if (int64_t(Bottom) + dy >= height_) dy = height_ - Bottom - 1;
  }
  if (dx == 0 && dy == 0) return;
  if (bitsPerPixel_ == 1) {
    if (Right < Left || Bottom < Top) {
      Clear();
      return;
    }
    int32_t boxW = Right - Left + 1, boxH = Bottom - Top + 1;
    int64_t tmpRow = AlignedRowLength64(boxW, 1, 32);
    std::vector<uint8_t> tmp(static_cast<size_t>(tmpRow * boxH), 0);
    for (int32_t r = 0; r < boxH; ++r) CopyBitBlock(GetScanLine(Top + r), tmp.data() + tmpRow * r, Left, 0, boxW);
    std::fill(bits_.begin(), bits_.end(), 0);
    for (int32_t r = 0; r < boxH; ++r) CopyBitBlock(tmp.data() + tmpRow * r, GetScanLine(Top + dy + r), 0, Left + dx, boxW);
  } else {
    std::vector<uint8_t> old = bits_;
    std::fill(bits_.begin(), bits_.end(), 0);
    for (int32_t y = std::max(Top, 0); y <= std::min(Bottom, height_ - 1); ++y) {
      const uint8_t* src = old.data() + static_cast<int64_t>(rowLen_) * (height_ - y - 1);
      int64_t ty = int64_t(y) + dy;
      if (ty < 0 || ty >= height_) continue;
      uint8_t* dst = GetScanLine(static_cast<int32_t>(ty));
      for (int32_t x = std::max(Left, 0); x <= std::min(Right, width_ - 1); ++x) {
        int64_t tx = int64_t(x) + dx;
        if (tx >= 0 && tx < width_) dst[tx] = src[x];
      }
    }
  }
  Left = static_cast<int32_t>(std::clamp<int64_t>(int64_t(Left) + dx, 0, width_ - 1));
  Right = static_cast<int32_t>(std::clamp<int64_t>(int64_t(Right) + dx, 0, width_ - 1));
  Top = static_cast<int32_t>(std::clamp<int64_t>(int64_t(Top) + dy, 0, height_ - 1));
  Bottom = static_cast<int32_t>(std::clamp<int64_t>(int64_t(Bottom) + dy, 0, height_ - 1));
}

// ---------------------------------------------------------------- drawing

void StretchMaskRows(TRVMask& mask, uint8_t* dest, int32_t destRowLen, int32_t destWidth, int32_t destHeight,
                     int32_t srcX, int32_t srcY, int32_t srcW, int32_t srcH) {
  if (destWidth <= 0 || destHeight <= 0) return;
  std::memset(dest, 0, static_cast<size_t>(int64_t(destRowLen) * destHeight));
  if (srcW <= 0 || srcH <= 0 || mask.bits_.empty() || mask.IsEmpty()) return;
  int64_t xStep = common::Trunc(static_cast<long double>(srcW) / destWidth * 16384);
  int64_t yStep = common::Trunc(static_cast<long double>(srcH) / destHeight * 16384);
  int64_t firstRow = std::max<int64_t>(common::Trunc(static_cast<long double>(int64_t(mask.Top) - srcY) * destHeight / srcH), 0);
  int64_t lastRow = std::min<int64_t>(
      common::Trunc(static_cast<long double>(destHeight) / srcH * (int64_t(mask.Bottom) - srcY + 1)), destHeight - 1);
  int64_t firstCol = std::max<int64_t>(common::Trunc(static_cast<long double>(int64_t(mask.Left) - srcX) * destWidth / srcW), 0);
  int64_t lastCol = std::min<int64_t>(
      common::Trunc(static_cast<long double>(destWidth) / srcW * (int64_t(mask.Right) - srcX + 1)), destWidth - 1);
  if (lastCol < firstCol) return;
  std::vector<int64_t> cols(static_cast<size_t>(lastCol - firstCol + 1));
  for (int64_t c = firstCol; c <= lastCol; ++c) cols[static_cast<size_t>(c - firstCol)] = srcX + ((xStep * c) >> 14);
  const bool oneBit = mask.bitsPerPixel_ == 1;
  // At 1:1 a 1-bit row is a shifted copy: eight pixels at once where all eight lie inside,
  // that is for the columns c = 8k from wholeFrom to wholeTo.
  const bool whole = oneBit && xStep == 16384;
  const int64_t wholeFrom = (std::max<int64_t>(firstCol, -int64_t(srcX)) + 7) & ~int64_t(7);
  const int64_t wholeTo = std::min<int64_t>(lastCol - 7, int64_t(mask.width_) - 8 - srcX);
  for (int64_t r = firstRow; r <= lastRow; ++r) {
    int64_t sy = std::min<int64_t>(mask.height_ - 1, srcY + ((yStep * r) >> 14));
    if (sy < 0) continue;
    const uint8_t* src = mask.GetScanLine(static_cast<int32_t>(sy));
    uint8_t* d = dest + int64_t(destRowLen) * r;
    for (int64_t c = firstCol; c <= lastCol; ++c) {
      int64_t sx = cols[static_cast<size_t>(c - firstCol)];
      if (whole && c == wholeFrom && c <= wholeTo) {
        const int64_t bytes = ((wholeTo - c) >> 3) + 1;
        const uint8_t* s = src + (sx >> 3);
        uint8_t* o = d + (c >> 3);
        const int shift = static_cast<int>(sx & 7);
        if (shift == 0) {
          std::memcpy(o, s, static_cast<size_t>(bytes));
        } else {
          for (int64_t i = 0; i < bytes; ++i)
            o[i] = static_cast<uint8_t>(uint32_t(s[i]) << shift | uint32_t(s[i + 1]) >> (8 - shift));
        }
        c += bytes * 8 - 1;
        continue;
      }
      if (sx < 0 || sx >= mask.width_) continue;
      if (oneBit) {
        if (src[sx >> 3] & (0x80 >> (sx & 7))) d[c >> 3] |= static_cast<uint8_t>(0x80 >> (c & 7));
      } else {
        d[c] = src[sx];
      }
    }
  }
}

void TRVMask::PrepareStretch(int32_t dstW, int32_t dstH) {
  if (dstW != stretchW_ || dstH != stretchH_ || stretchBpp_ != bitsPerPixel_) {
    stretchRowLen_ = static_cast<int32_t>(AlignedRowLength64(dstW, bitsPerPixel_, 32));
    stretch_.assign(static_cast<size_t>(int64_t(stretchRowLen_) * dstH), 0);
    stretchW_ = dstW;
    stretchH_ = dstH;
    stretchBpp_ = bitsPerPixel_;
  }
}

bool TRVMask::StretchSelected(int32_t r, int32_t c) const {
  const uint8_t* row = stretch_.data() + static_cast<int64_t>(stretchRowLen_) * r;
  if (stretchBpp_ == 1) return (row[c >> 3] & (0x80 >> (c & 7))) != 0;
  return row[c] != 0;
}

void TRVMask::DrawXor(TRVMaskPainter& painter, int32_t xDst, int32_t yDst, int32_t dstW, int32_t dstH, int32_t xSrc,
                      int32_t ySrc, int32_t srcW, int32_t srcH) {
  if (bitsPerPixel_ != 1 || IsEmpty() || bits_.empty() || dstW <= 0 || dstH <= 0 || srcW <= 0 || srcH <= 0) return;
  for (int32_t r = 0; r < dstH; ++r) {
    int64_t sy = ySrc + int64_t(r) * srcH / dstH;
    if (sy < 0 || sy >= height_) continue;
    for (int32_t c = 0; c < dstW; ++c) {
      int64_t sx = xSrc + int64_t(c) * srcW / dstW;
      if (sx < 0 || sx >= width_) continue;
      if (GetPixel(static_cast<int32_t>(sx), static_cast<int32_t>(sy))) painter.InvertPixel(xDst + c, yDst + r);
    }
  }
}

void TRVMask::DrawSelectionBorder(TRVMaskPainter& painter, int32_t xDst, int32_t yDst, int32_t dstW, int32_t dstH,
                                  int32_t srcX, int32_t srcY, int32_t srcW, int32_t srcH, int32_t phase,
                                  TColor colour1, TColor colour2, TRect* rect) {
  if (dstW <= 0 || dstH <= 0 || IsEmpty() || bits_.empty() || srcW <= 0 || srcH <= 0) return;
  TRGB c1 = ColorToTRGB(colour1), c2 = ColorToTRGB(colour2);
  PrepareStretch(dstW, dstH);
  StretchMaskRows(*this, stretch_.data(), stretchRowLen_, dstW, dstH, srcX, srcY, srcW, srcH);
  int64_t xStep = std::max<int64_t>(common::Trunc(static_cast<long double>(srcW) / dstW * 16384), 1);
  int64_t yStep = std::max<int64_t>(common::Trunc(static_cast<long double>(srcH) / dstH * 16384), 1);
  auto fdiv = [](int64_t a, int64_t b) { return a / b; };  // toward zero, as the scaler divides
  int64_t firstRow = std::max<int64_t>(fdiv((int64_t(Top) - srcY) * 16384, yStep), 0);
  int64_t lastRow = std::min<int64_t>(fdiv((int64_t(Bottom) - srcY + 1) * 16384, yStep) + 1, dstH - 1);
  int64_t firstCol = std::max<int64_t>(fdiv((int64_t(Left) - srcX) * 16384, xStep), 0);
  int64_t lastCol = std::min<int64_t>(fdiv((int64_t(Right) - srcX + 1) * 16384, xStep) + 1, dstW - 1);
  if (rect) {
    rect->left = static_cast<int32_t>(xDst + firstCol + 1);
    rect->top = static_cast<int32_t>(yDst + firstRow + 1);
    rect->right = static_cast<int32_t>(xDst + lastCol - 1);
    rect->bottom = static_cast<int32_t>(yDst + lastRow - 1);
  }
  if (lastCol < firstCol) return;
  const bool oneBit = stretchBpp_ == 1;
  // A border pixel at (x, y) takes colour 2 where (x + y + phase) mod 8 < 4, colour 1 elsewhere
  // (a negative sum counts as below 4). From a sum s0 >= 0 on, the colours of a row are the
  // pattern below from s0 mod 8 on; a row whose sums start below zero gets its own colours.
  const int64_t n = lastCol - firstCol + 1;
  std::vector<TRGB> pattern(static_cast<size_t>(n + 8)), ownRow;
  for (int64_t i = 0; i < n + 8; ++i) pattern[static_cast<size_t>(i)] = i % 8 < 4 ? c2 : c1;
  TBorderRuns runs{painter};
  for (int64_t r = firstRow; r <= lastRow; ++r) {
    const int64_t y = yDst + r, s0 = xDst + firstCol + y + phase;
    if (s0 >= 0) {
      runs.Start(y, xDst, firstCol, pattern.data() + (s0 & 7));
    } else {
      ownRow.resize(static_cast<size_t>(n));
      for (int64_t i = 0; i < n; ++i) ownRow[static_cast<size_t>(i)] = (s0 + i) % 8 < 4 ? c2 : c1;
      runs.Start(y, xDst, firstCol, ownRow.data());
    }
    const bool innerRow = r > 0 && r < dstH - 1;
    const uint8_t* up = innerRow ? StretchRow(static_cast<int32_t>(r - 1)) : nullptr;
    const uint8_t* row = StretchRow(static_cast<int32_t>(r));
    const uint8_t* down = innerRow ? StretchRow(static_cast<int32_t>(r + 1)) : nullptr;
    for (int64_t c = firstCol; c <= lastCol; ++c) {
      // Sixty-four or eight pixels of a 1-bit mask at once, away from the image's edges: a
      // selected pixel is on the border when any of its eight neighbours is not selected.
      if (oneBit && innerRow && (c & 7) == 0 && c >= 8 && c + 8 <= dstW - 1) {
        const int64_t b = c >> 3;
        const int n = c + 64 <= dstW - 1 ? 8 : 1;
        const uint64_t cur = RowBits(row + b, n);
        if (cur != 0) {
          auto left = [b, n](const uint8_t* p) { return RowBits(p + b, n) >> 1 | uint64_t(p[b - 1]) << 63; };
          auto right = [b, n](const uint8_t* p) {
            return RowBits(p + b, n) << 1 | uint64_t(p[b + n] >> 7) << (64 - 8 * n);
          };
          const uint64_t all = RowBits(up + b, n) & left(up) & right(up) & left(row) & right(row) &
                               RowBits(down + b, n) & left(down) & right(down);
          // The top bit is the leftmost pixel: the runs of set bits from the top down.
          for (uint64_t border = cur & ~all; border != 0;) {
            const int k = std::countl_zero(border);
            const int len = std::countl_one(border << k);
            runs.Add(c + k, c + k + len);
            border = k + len >= 64 ? 0 : border & (~uint64_t(0) >> (k + len));
          }
        }
        c += 8 * n - 1;
        continue;
      }
      int32_t ri = static_cast<int32_t>(r), ci = static_cast<int32_t>(c);
      if (!StretchSelected(ri, ci)) continue;
      bool border;
      if (c == 0) {
        border = srcX <= Left;
      } else if (c == dstW - 1) {
        border = ((c * xStep) >> 14) + srcX >= Right || srcW == width_;
      } else if (r == 0) {
        border = srcY <= Top;
      } else if (r == dstH - 1) {
        border = ((r * yStep) >> 14) + srcY >= Bottom || srcH == height_;
      } else {
        border = false;
        for (int32_t rr = std::max(ri - 1, 0); rr <= std::min(ri + 1, dstH - 1) && !border; ++rr)
          for (int32_t cc = ci - 1; cc <= ci + 1; ++cc)
            if (!StretchSelected(rr, cc)) {
              border = true;
              break;
            }
      }
      if (border) runs.Add(c, c + 1);
    }
    runs.Flush();
  }
}

void TRVMask::ShadeUnselectedArea(TRVPlatformBitmap& bitmap, int32_t xDst, int32_t yDst, int32_t dstW, int32_t dstH,
                                  int32_t srcX, int32_t srcY, int32_t srcW, int32_t srcH, int32_t opacity,
                                  TColor colour) {
  if (dstW < 1 || dstH < 1 || IsEmpty() || bits_.empty() || srcW <= 0 || srcH <= 0) return;
  if (bitmap.PixelFormat() != pf24bit) return;
  if (yDst < 0) {
    srcY += -common::RoundInt(static_cast<long double>(yDst) * srcH / dstH);
    yDst = 0;
  }
  if (xDst < 0) {
    srcX += -common::RoundInt(static_cast<long double>(xDst) * srcW / dstW);
    xDst = 0;
  }
  PrepareStretch(dstW, dstH);
  StretchMaskRows(*this, stretch_.data(), stretchRowLen_, dstW, dstH, srcX, srcY, srcW, srcH);
  int64_t xStep = std::max<int64_t>(common::Trunc(static_cast<long double>(srcW) / dstW * 16384), 1);
  int64_t yStep = std::max<int64_t>(common::Trunc(static_cast<long double>(srcH) / dstH * 16384), 1);
  int32_t bw = bitmap.Width(), bh = bitmap.Height();
  int64_t firstRow = std::max<int64_t>((-int64_t(srcY) * 16384) / yStep, 0);
  int64_t lastRow = std::min<int64_t>({((int64_t(height_) - srcY) * 16384) / yStep + 1, int64_t(dstH) - 1, int64_t(bh) - 1});
  int64_t firstCol = std::max<int64_t>((-int64_t(srcX) * 16384) / xStep, 0);
  int64_t lastCol = std::min<int64_t>({((int64_t(width_) - srcX) * 16384) / xStep + 1, int64_t(dstW) - 1, int64_t(bw) - 1});
  TRGB tint = ColorToTRGB(colour);
  double w = opacity / 255.0;
  for (int64_t r = firstRow; r <= lastRow; ++r) {
    if (yDst + r >= bh) break;
    uint8_t* row = bitmap.ScanLine(static_cast<int32_t>(yDst + r));
    for (int64_t c = firstCol; c <= lastCol; ++c) {
      if (xDst + c >= bw) break;
      if (StretchSelected(static_cast<int32_t>(r), static_cast<int32_t>(c))) continue;
      uint8_t* p = row + (xDst + c) * 3;
      if (opacity == -1) {
        if ((r & 1) == (c & 1)) p[0] = p[1] = p[2] = 97;
      } else {
        p[0] = static_cast<uint8_t>(common::Trunc(w * tint.b + (1 - w) * p[0]));
        p[1] = static_cast<uint8_t>(common::Trunc(w * tint.g + (1 - w) * p[1]));
        p[2] = static_cast<uint8_t>(common::Trunc(w * tint.r + (1 - w) * p[2]));
      }
    }
  }
}

void TRVMask::ShadeUnselectedArea(platform::TBitmap* bitmap, int32_t xDst, int32_t yDst, int32_t dstW, int32_t dstH,
                                  int32_t srcX, int32_t srcY, int32_t srcW, int32_t srcH, int32_t opacity,
                                  TColor colour) {
  auto wrapped = WrapPlatformBitmap(bitmap);
  if (wrapped) ShadeUnselectedArea(*wrapped, xDst, yDst, dstW, dstH, srcX, srcY, srcW, srcH, opacity, colour);
}

// ---------------------------------------------------------------- copying

void TRVMask::CopyBitmap(TRVBitmap& dest, TRVBitmap& source, bool withAlpha, bool clip, bool destRelative) {
  if (IsEmpty() || bits_.empty()) return;
  int32_t sw = source.GetWidth(), sh = source.GetHeight(), dw = dest.GetWidth(), dh = dest.GetHeight();
  int32_t left = std::max(Left, 0), top = std::max(Top, 0);
  int32_t right = std::min(Right, width_ - 1), bottom = std::min(Bottom, height_ - 1);
  if (clip) {
    right = left + std::min({right - left, sw - 1, dw - 1});
    bottom = top + std::min({bottom - top, sh - 1, dh - 1});
  }
  if (right < left || bottom < top) return;
  TRVPixelFormat sf = source.GetPixelFormat(), df = dest.GetPixelFormat();
  const bool oneBitMask = bitsPerPixel_ == 1;
  const bool sameFormat = sf == df && sf != rvNone;
  const int32_t bytesPerPixel = source.GetBitCount() / 8;
  auto srcX = [&](int32_t x) { return clip ? x - left : x; };
  auto dstX = [&](int32_t x) { return destRelative ? x - left : x; };
  for (int32_t y = top; y <= bottom; ++y) {
    int32_t sy = clip ? y - top : y, dy = destRelative ? y - top : y;
    if (sy < 0 || sy >= sh || dy < 0 || dy >= dh) continue;
    const uint8_t* m = GetScanLine(y);
    if (sameFormat) {
      uint8_t* s = source.GetLockedRow(sy);
      uint8_t* d = dest.GetScanLine(dy);
      for (int32_t x = left; x <= right; ++x) {
        int32_t sx = srcX(x), dx = dstX(x);
        if (sx < 0 || sx >= sw || dx < 0 || dx >= dw) continue;
        int32_t mv = oneBitMask ? ((m[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0) : m[x];
        if (mv == 0) continue;
        if (sf == rv1g) {
          SetBufferBit(d, dx, GetBufferBit(s, sx));
        } else if (oneBitMask) {
          std::memcpy(d + int64_t(dx) * bytesPerPixel, s + int64_t(sx) * bytesPerPixel, static_cast<size_t>(bytesPerPixel));
        } else if (sf == rv24RGB) {
          for (int k = 0; k < 3; ++k) {
            int32_t dv = d[dx * 3 + k], sv = s[sx * 3 + k];
            d[dx * 3 + k] = static_cast<uint8_t>(dv + (((sv - dv) * (mv << 10)) >> 18));
          }
        } else if (sf == rv8p || sf == rv8g) {
          int32_t dv = d[dx], sv = s[sx];
          d[dx] = static_cast<uint8_t>(dv + (((sv - dv) * mv) >> 8));
        }
      }
      source.ReleaseLockedRow(sy);
    }
  }
  dest.ReleaseFileRows();
  source.ReleaseFileRows();
  if (!withAlpha) return;
  TRVBitmap* da = dest.AlphaBitmap();
  if (!da || da->IsEmpty()) return;
  TRVBitmap* sa = source.HasAlphaBitmap() ? source.AlphaBitmap() : nullptr;
  for (int32_t y = top; y <= bottom; ++y) {
    int32_t sy = clip ? y - top : y, dy = destRelative ? y - top : y;
    if (dy < 0 || dy >= dh || sy < 0 || sy >= sh) continue;  // only where a pixel was copied
    const uint8_t* m = GetScanLine(y);
    const uint8_t* s = sa ? sa->GetLockedRow(sy) : nullptr;
    uint8_t* d = da->GetScanLine(dy);
    for (int32_t x = left; x <= right; ++x) {
      int32_t sx = srcX(x), dx = dstX(x);
      if (dx < 0 || dx >= dw || sx < 0 || sx >= sw) continue;
      int32_t mv = oneBitMask ? ((m[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0) : m[x];
      int32_t a = s ? s[sx] : 255;
      d[dx] = static_cast<uint8_t>(mv == 0 ? 0 : std::min(a, mv));
    }
    if (s) sa->ReleaseLockedRow(sy);
  }
  da->ReleaseFileRows();
  da->Full = false;
}

}  // namespace rv
