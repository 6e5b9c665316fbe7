// The magic wand: the segment-stack fill over a visited bit grid, the masks written from it, and
// the outline traced round the region drawn four times enlarged.
#include "rastova/core/select/RVMagicWand.h"

#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <new>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVBitmapInternal.h"
#include "rastova/core/RVMask.h"

namespace rv {

namespace {

// ---------------------------------------------------------------- colour match

// Match bits of 64 24-bit pixels (192 bytes): per byte |pixel - seed| <= tolerance by saturating
// differences, sixteen bytes at a time; a pixel matches when its three bytes do.
__attribute__((target("avx2,bmi2"))) uint64_t MatchBGRWord(const uint8_t* p, const uint8_t (*seed)[16],
                                                           uint8_t tolerance) {
  const __m128i limit = _mm_set1_epi8(static_cast<char>(tolerance));
  __m128i s[3];
  for (int v = 0; v < 3; ++v) s[v] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(seed[v]));
  uint64_t bits = 0;
  for (int q = 0; q < 4; ++q) {
    uint64_t bytes = 0;
    for (int v = 0; v < 3; ++v) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48 * q + 16 * v));
      const __m128i d = _mm_or_si128(_mm_subs_epu8(x, s[v]), _mm_subs_epu8(s[v], x));
      const __m128i near = _mm_cmpeq_epi8(_mm_subs_epu8(d, limit), _mm_setzero_si128());
      bytes |= uint64_t(static_cast<uint32_t>(_mm_movemask_epi8(near))) << (16 * v);
    }
    // Bit 3i: the three bytes of pixel i.
    bits |= _pext_u64(bytes & (bytes >> 1) & (bytes >> 2), 0x249249249249ull) << (16 * q);
  }
  return bits;
}

// Whether the pixels of the current row match the seed colour, 64 pixels at a time. The byte
// formats read their rows directly (through a table of the 256 or 2 values for the grey, palette
// and 1-bit ones); the others read each pixel through GetPixels.
class TWandMatch {
 public:
  TWandMatch(TRVBitmap& bitmap, const TRGB& seed, int32_t tolerance)
      : bitmap_(bitmap), seed_(seed), tolerance_(std::min(tolerance, 255)), width_(bitmap.GetWidth()) {
    if (tolerance < 0) return;  // kind_ stays kNothing
    switch (bitmap.GetPixelFormat()) {
      case rv1g:
        kind_ = kBits;
        table_[0] = Close(TRGB{0, 0, 0});
        table_[1] = Close(TRGB{255, 255, 255});
        break;
      case rv8g:
      case rv8p:
        kind_ = kBytes;
        for (int v = 0; v < 256; ++v) {
          const auto b = static_cast<uint8_t>(v);
          table_[v] = Close(bitmap.GetPixelFormat() == rv8g ? TRGB{b, b, b} : bitmap.GetPalette(v));
        }
        break;
      case rv24RGB:
        kind_ = kBGR;
        step_ = 3;
        break;
      case rv32RGB:
        kind_ = kBGR;
        step_ = 4;
        break;
      default:
        kind_ = kPixels;
        break;
    }
    const uint8_t channels[3] = {seed.b, seed.g, seed.r};
    for (int i = 0; i < 48; ++i) seedBytes_[i / 16][i % 16] = channels[i % 3];
    static const bool wide = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2");
    wide_ = wide && kind_ == kBGR && step_ == 3;
  }

  bool Nothing() const { return kind_ == kNothing; }

  void SetRow(int32_t y) {
    y_ = y;
    if (kind_ != kPixels && kind_ != kNothing) row_ = bitmap_.GetScanLine(y);
  }

  // The match bits of pixels 64k .. 64k + 63 of the current row, bit i for pixel 64k + i (0
  // past the row's end).
  uint64_t Word(int32_t k) const {
    const int32_t x0 = 64 * k, n = std::min(64, width_ - x0);
    uint64_t bits = 0;
    switch (kind_) {
      case kBGR:
        if (wide_ && n == 64)
          return MatchBGRWord(row_ + static_cast<int64_t>(x0) * 3, seedBytes_,
                              static_cast<uint8_t>(tolerance_));
        for (int32_t i = 0; i < n; ++i) {
          const uint8_t* p = row_ + static_cast<int64_t>(x0 + i) * step_;
          const uint64_t b = Near(p[0], seed_.b), g = Near(p[1], seed_.g), r = Near(p[2], seed_.r);
          bits |= (b & g & r) << i;
        }
        break;
      case kBytes:
        for (int32_t i = 0; i < n; ++i) bits |= uint64_t(table_[row_[x0 + i]]) << i;
        break;
      case kBits:
        for (int32_t i = 0; i < n; ++i)
          bits |= uint64_t(table_[(row_[(x0 + i) >> 3] >> (7 - ((x0 + i) & 7))) & 1]) << i;
        break;
      case kPixels:
        for (int32_t i = 0; i < n; ++i) bits |= uint64_t(Close(bitmap_.GetPixels(x0 + i, y_))) << i;
        break;
      default:
        break;
    }
    return bits;
  }

 private:
  enum TKind : uint8_t { kNothing, kBits, kBytes, kBGR, kPixels };
  // |a - b| <= tolerance, for a tolerance of 0 or more.
  bool Near(uint8_t a, uint8_t b) const {
    return static_cast<uint32_t>(a - b + tolerance_) <= 2u * static_cast<uint32_t>(tolerance_);
  }
  bool Close(const TRGB& c) const { return Near(c.b, seed_.b) && Near(c.g, seed_.g) && Near(c.r, seed_.r); }

  TRVBitmap& bitmap_;
  TRGB seed_;
  int32_t tolerance_;
  int32_t width_;
  TKind kind_ = kNothing;
  int32_t step_ = 3;
  bool wide_ = false;
  int32_t y_ = 0;
  const uint8_t* row_ = nullptr;
  bool table_[256] = {};
  uint8_t seedBytes_[3][16] = {};  // the seed's blue, green, red repeated over 48 bytes
};

// ---------------------------------------------------------------- bit rows

// Rows of bits, bit x of a row in word x / 64 at bit x % 64, all zero at first.
class TBitGrid {
 public:
  TBitGrid(int32_t width, int32_t height)
      : width_(width),
        stride_((static_cast<size_t>(width) + 63) / 64),
        words_(stride_ * static_cast<size_t>(height), 0) {}
  uint64_t* Row(int32_t y) { return words_.data() + stride_ * static_cast<size_t>(y); }
  const uint64_t* Row(int32_t y) const { return words_.data() + stride_ * static_cast<size_t>(y); }
  size_t Stride() const { return stride_; }
  int32_t Width() const { return width_; }

 private:
  int32_t width_;
  size_t stride_;
  std::vector<uint64_t> words_;
};

// Calls run(first, last) for every run of set bits among the first `width` bits of `row`.
template <class TRun>
void ForEachRun(const uint64_t* row, size_t stride, int32_t width, TRun&& run) {
  int64_t x = 0;
  while (x < width) {
    // The next set bit from x.
    size_t k = static_cast<size_t>(x >> 6);
    uint64_t word = row[k] & (~uint64_t(0) << (x & 63));
    while (word == 0 && ++k < stride) word = row[k];
    if (word == 0) return;
    const int64_t first = static_cast<int64_t>(k) * 64 + std::countr_zero(word);
    if (first >= width) return;
    // The next clear bit from there.
    word = ~row[k] & (~uint64_t(0) << (first & 63));
    while (word == 0 && ++k < stride) word = ~row[k];
    const int64_t end =
        word == 0 ? static_cast<int64_t>(stride) * 64 : static_cast<int64_t>(k) * 64 + std::countr_zero(word);
    const int64_t last = std::min<int64_t>(end, width) - 1;
    run(static_cast<int32_t>(first), static_cast<int32_t>(last));
    x = last + 2;
  }
}

// `out` = each bit of `in` or'ed with its left and right neighbours (the row's bits only).
void DilateRow(const uint64_t* in, uint64_t* out, size_t stride, int32_t width) {
  for (size_t k = 0; k < stride; ++k) {
    const uint64_t w = in[k];
    const uint64_t fromLeft = k > 0 ? in[k - 1] >> 63 : 0;
    const uint64_t fromRight = k + 1 < stride ? in[k + 1] << 63 : 0;
    out[k] = w | (w << 1) | fromLeft | (w >> 1) | fromRight;
  }
  if (width % 64 != 0) out[stride - 1] &= (uint64_t(1) << (width % 64)) - 1;
}

// ---------------------------------------------------------------- the region fill

// The visited pixels of the 4-connected region of matching pixels round a seed, with their box.
struct TWandRegion {
  explicit TWandRegion(int32_t width, int32_t height) : visited(width, height) {}
  TBitGrid visited;
  int32_t minX = std::numeric_limits<int32_t>::max(), minY = std::numeric_limits<int32_t>::max();
  int32_t maxX = 0, maxY = 0;
  bool Empty() const { return minX > maxX; }
};

// A request to fill row y + dy between the columns xl and xr, row y being filled there.
struct TWandSpan {
  int32_t y, xl, xr, dy;
};
static_assert(sizeof(TWandSpan) == 16);

// One row of the fill: the pixels still open (matching and not visited yet), 64 at a time. The
// match bits of a word are computed on its first use, so each pixel is compared once.
class TWandRow {
 public:
  TWandRow(TWandMatch& match, TWandRegion& region, TBitGrid& matched, std::vector<uint8_t>& known)
      : match_(match), region_(region), matched_(matched), known_(known) {}

  void SetRow(int32_t y) {
    match_.SetRow(y);
    seen_ = region_.visited.Row(y);
    matches_ = matched_.Row(y);
    known_row_ = known_.data() + matched_.Stride() * static_cast<size_t>(y);
  }

  uint64_t Open(int32_t k) {
    if (!known_row_[k]) {
      matches_[k] = match_.Word(k);
      known_row_[k] = 1;
    }
    return matches_[k] & ~seen_[k];
  }

  // Marks the open pixels from x leftwards; returns the first column left of them.
  int32_t MarkLeft(int32_t x) {
    while (x >= 0) {
      const int32_t b = x & 63;
      const int n = std::countl_one(Open(x >> 6) << (63 - b));
      if (n == 0) break;
      seen_[x >> 6] |= (n == 64 ? ~uint64_t(0) : ((uint64_t(1) << n) - 1)) << (b + 1 - n);
      x -= n;
      if (n <= b) break;
    }
    return x;
  }

  // Marks the open pixels from x rightwards; returns the first column right of them.
  int32_t MarkRight(int32_t x, int32_t width) {
    while (x < width) {
      const int32_t b = x & 63;
      const int n = std::countr_one(Open(x >> 6) >> b);
      if (n == 0) break;
      seen_[x >> 6] |= (n == 64 ? ~uint64_t(0) : ((uint64_t(1) << n) - 1)) << b;
      x += n;
      if (n < 64 - b) break;
    }
    return x;
  }

  // The first open column of x..last, or last + 1.
  int32_t NextOpen(int32_t x, int32_t last) {
    while (x <= last) {
      const uint64_t o = Open(x >> 6) & (~uint64_t(0) << (x & 63));
      if (o != 0) return std::min(last + 1, (x & ~63) + std::countr_zero(o));
      x = (x & ~63) + 64;
    }
    return last + 1;
  }

 private:
  TWandMatch& match_;
  TWandRegion& region_;
  TBitGrid& matched_;
  std::vector<uint8_t>& known_;
  uint64_t* seen_ = nullptr;
  uint64_t* matches_ = nullptr;
  uint8_t* known_row_ = nullptr;
};

void FillRegion(TRVBitmap& bitmap, int32_t seedX, int32_t seedY, TWandMatch& match, TWandRegion& region) {
  if (match.Nothing()) return;
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  TBitGrid matched(w, h);
  std::vector<uint8_t> known(matched.Stride() * static_cast<size_t>(h), 0);
  TWandRow row(match, region, matched, known);
  std::vector<TWandSpan> stack;
  stack.reserve(2 * static_cast<size_t>(w));
  stack.push_back({seedY, seedX, seedX, 1});
  stack.push_back({seedY + 1, seedX, seedX, -1});
  while (!stack.empty()) {
    const TWandSpan s = stack.back();
    stack.pop_back();
    const int32_t y = s.y + s.dy;
    if (y < 0 || y >= h) continue;
    row.SetRow(y);
    bool marked = false;
    // Leftwards from xl; what lies left of xl leaks back into the row the request came from.
    int32_t x = s.xl;
    int32_t left = row.MarkLeft(x) + 1;
    bool inRun = left <= s.xl;
    if (inRun) {
      if (left < s.xl) stack.push_back({y, left, s.xl - 1, -s.dy});
      x = s.xl + 1;
    }
    // Runs from there rightwards up to xr; a run may pass xr (up to the right edge), and its part
    // beyond xr + 1 leaks back.
    for (;;) {
      if (inRun) {
        x = row.MarkRight(x, w);
        region.minX = std::min(region.minX, left);
        region.maxX = std::max(region.maxX, x - 1);
        marked = true;
        stack.push_back({y, left, x - 1, s.dy});
        if (x > s.xr + 1) stack.push_back({y, s.xr + 1, x - 1, -s.dy});
      }
      x = row.NextOpen(x + 1, s.xr);
      if (x > s.xr) break;
      left = x;
      inRun = true;
    }
    if (marked) {
      region.minY = std::min(region.minY, y);
      region.maxY = std::max(region.maxY, y);
    }
  }
  bitmap.ReleaseFileRows();
}

bool Inside(TRVBitmap& bitmap, int32_t x, int32_t y) {
  return !bitmap.IsEmpty() && x >= 0 && y >= 0 && x < bitmap.GetWidth() && y < bitmap.GetHeight();
}

// ---------------------------------------------------------------- masks

// Sets x1..x2 of row y as TRVMask::SetPixel sets each pixel (clipped to the mask).
void SetMaskSpan(TRVMask& mask, int32_t y, int32_t x1, int32_t x2, int32_t value) {
  if (y < 0 || y >= mask.Height() || !mask.HasBits()) return;
  x1 = std::max(x1, 0);
  x2 = std::min(x2, mask.Width() - 1);
  if (x2 < x1) return;
  // The ends through SetPixel, which keeps the box and the full flag; the inside directly.
  mask.SetPixel(x1, y, value);
  mask.SetPixel(x2, y, value);
  uint8_t* row = mask.GetScanLine(y);
  if (mask.BitsPerPixel() == 8) {
    std::memset(row + x1, static_cast<uint8_t>(value), static_cast<size_t>(x2 - x1 + 1));
    return;
  }
  for (int32_t x = x1 + 1; x < x2; ++x) {
    if ((x & 7) == 0 && x + 8 <= x2) {
      row[x >> 3] = value != 0 ? 0xFF : 0;
      x += 7;
    } else if (value != 0) {
      row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    } else {
      row[x >> 3] &= static_cast<uint8_t>(~(0x80 >> (x & 7)));
    }
  }
}

// The region's rows minY..maxY, with maxFilter grown by one pixel each way inside `clip`
// (left, top, right, bottom): fn(y, bits) for each row of the result.
template <class TRow>
void ForEachRegionRow(TWandRegion& region, bool maxFilter, int32_t clipLeft, int32_t clipTop,
                      int32_t clipRight, int32_t clipBottom, TRow&& fn) {
  const TBitGrid& v = region.visited;
  const size_t stride = v.Stride();
  std::vector<uint64_t> merged(stride), grown(stride);
  const int32_t top = maxFilter ? std::max(region.minY - 1, clipTop) : region.minY;
  const int32_t bottom = maxFilter ? std::min(region.maxY + 1, clipBottom) : region.maxY;
  for (int32_t y = top; y <= bottom; ++y) {
    if (!maxFilter) {
      fn(y, v.Row(y));
      continue;
    }
    std::fill(merged.begin(), merged.end(), 0);
    for (int32_t r = std::max(y - 1, region.minY); r <= std::min(y + 1, region.maxY); ++r) {
      const uint64_t* row = v.Row(r);
      for (size_t k = 0; k < stride; ++k) merged[k] |= row[k];
    }
    DilateRow(merged.data(), grown.data(), stride, v.Width());
    // Clipped to the columns clipLeft..clipRight.
    for (size_t k = 0; k < stride; ++k) {
      const int64_t base = static_cast<int64_t>(k) * 64;
      if (base + 63 < clipLeft || base > clipRight) {
        grown[k] = 0;
        continue;
      }
      if (clipLeft > base) grown[k] &= ~uint64_t(0) << (clipLeft - base);
      if (clipRight < base + 63) grown[k] &= ~uint64_t(0) >> (63 - (clipRight - base));
    }
    fn(y, grown.data());
  }
}

// ---------------------------------------------------------------- the outline

constexpr int32_t kStepX[8] = {1, 0, -1, 0, 1, -1, -1, 1};
constexpr int32_t kStepY[8] = {0, -1, 0, 1, -1, -1, 1, 1};
constexpr uint8_t kStepCode[8] = {0, 2, 4, 6, 1, 3, 5, 7};
// The direction of each chain code.
constexpr int32_t kCodeX[8] = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr int32_t kCodeY[8] = {0, -1, -1, -1, 0, 1, 1, 1};

enum : uint8_t { kEmptyCell = 0, kPixelCell = 1, kTracedCell = 2, kRingCell = 3 };

// The byte grid of the region's box drawn four times enlarged with a two-cell border, its ring
// cells marked; false when the grid cannot be had.
struct TOutlineGrid {
  int64_t cols = 0, rows = 0;
  std::vector<uint8_t> cells;
  uint8_t* Row(int64_t r) { return cells.data() + r * cols; }
  uint8_t& At(int64_t c, int64_t r) { return cells[static_cast<size_t>(r * cols + c)]; }
};

bool BuildOutlineGrid(TWandRegion& region, bool maxFilter, TOutlineGrid& grid) {
  const int64_t bw = int64_t(region.maxX) - region.minX + 1, bh = int64_t(region.maxY) - region.minY + 1;
  grid.cols = 4 * bw + 4;
  grid.rows = 4 * bh + 4;
  if (grid.cols > std::numeric_limits<int64_t>::max() / grid.rows) return false;
  const auto cells = static_cast<uint64_t>(grid.cols * grid.rows);
  // The grid is written whole at once: one larger than the physical memory is refused rather
  // than left to the system's overcommitment.
  const int64_t physical = GetPhysicalMemory(false);
  if (cells > grid.cells.max_size() || (physical > 0 && cells > static_cast<uint64_t>(physical)) ||
      (testing::MaxBlockSize >= 0 && cells > static_cast<uint64_t>(testing::MaxBlockSize)))
    return false;
  try {
    grid.cells.assign(static_cast<size_t>(cells), kEmptyCell);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  // Pixel (i, j) of the box covers columns 4i + 2 .. 4i + 5 and rows 4j + 2 .. 4j + 5.
  ForEachRegionRow(
      region, maxFilter, region.minX, region.minY, region.maxX, region.maxY,
      [&](int32_t y, const uint64_t* bits) {
        if (y < region.minY || y > region.maxY) return;
        const int64_t r0 = 4 * int64_t(y - region.minY) + 2;
        ForEachRun(bits, region.visited.Stride(), region.maxX + 1, [&](int32_t first, int32_t last) {
          if (last < region.minX) return;
          first = std::max(first, region.minX);
          const int64_t c0 = 4 * int64_t(first - region.minX) + 2, n = 4 * int64_t(last - first + 1);
          for (int64_t r = r0; r < r0 + 4; ++r)
            std::memset(grid.Row(r) + c0, kPixelCell, static_cast<size_t>(n));
        });
      });
  // Every empty cell beside a pixel cell (left, right, above or below) is a ring cell.
  for (int64_t r = 1; r + 1 < grid.rows; ++r) {
    const uint8_t* above = grid.Row(r - 1);
    uint8_t* row = grid.Row(r);
    const uint8_t* below = grid.Row(r + 1);
    for (int64_t c = 1; c + 1 < grid.cols; ++c) {
      if (row[c] == kPixelCell) continue;
      if (row[c - 1] == kPixelCell || row[c + 1] == kPixelCell || above[c] == kPixelCell ||
          below[c] == kPixelCell)
        row[c] = kRingCell;
    }
  }
  return true;
}

// The ring cell closest to the corner of the smallest ring column and row (the first of equals,
// row by row from the top).
bool FindStartCell(TOutlineGrid& grid, int64_t& startCol, int64_t& startRow) {
  int64_t minCol = grid.cols, minRow = -1;
  std::vector<int64_t> firstInRow(static_cast<size_t>(grid.rows), -1);
  for (int64_t r = 0; r < grid.rows; ++r) {
    const uint8_t* row = grid.Row(r);
    const uint8_t* ring =
        static_cast<const uint8_t*>(std::memchr(row + 1, kRingCell, static_cast<size_t>(grid.cols - 1)));
    if (ring == nullptr) continue;
    firstInRow[static_cast<size_t>(r)] = ring - row;
    minCol = std::min<int64_t>(minCol, ring - row);
    if (minRow < 0) minRow = r;
  }
  if (minRow < 0) return false;
  int64_t best = std::numeric_limits<int64_t>::max();
  for (int64_t r = minRow; r < grid.rows && (r - minRow) * (r - minRow) < best; ++r) {
    const int64_t c = firstInRow[static_cast<size_t>(r)];
    if (c < 0) continue;
    const int64_t d = (c - minCol) * (c - minCol) + (r - minRow) * (r - minRow);
    if (d < best) {
      best = d;
      startCol = c;
      startRow = r;
    }
  }
  return true;
}

// The chain codes of the trace round the ring from the start cell.
std::vector<uint8_t> TraceRing(TOutlineGrid& grid, int64_t startCol, int64_t startRow) {
  std::vector<uint8_t> codes;
  int64_t c = startCol, r = startRow;
  grid.At(c, r) = kTracedCell;
  auto take = [&](int k) {
    c += kStepX[k];
    r += kStepY[k];
    grid.At(c, r) = kTracedCell;
    codes.push_back(kStepCode[k]);
  };
  int preferred = 4;
  for (;;) {
    if (grid.At(c + kStepX[preferred], r + kStepY[preferred]) == kRingCell) take(preferred);
    int k = 0;
    while (k < 8 && grid.At(c + kStepX[k], r + kStepY[k]) != kRingCell) ++k;
    if (k == 8) break;
    take(k);
    preferred = k;
  }
  for (int k = 0; k < 8; ++k)
    if (startCol - c == kStepX[k] && startRow - r == kStepY[k]) {
      codes.push_back(kStepCode[k]);
      break;
    }
  return codes;
}

}  // namespace

void MagicWandFillMask(TRVBitmap& bitmap, int32_t x, int32_t y, int32_t maskValue, TRVMask& mask,
                       int32_t tolerance, bool maxFilter) {
  if (!Inside(bitmap, x, y)) return;
  RowAccessScope readOnly(bitmap, 1);
  TWandMatch match(bitmap, bitmap.GetPixels(x, y), tolerance);
  try {
    TWandRegion region(bitmap.GetWidth(), bitmap.GetHeight());
    FillRegion(bitmap, x, y, match, region);
    if (region.Empty()) return;
    ForEachRegionRow(
        region, maxFilter, 0, 0, bitmap.GetWidth() - 1, bitmap.GetHeight() - 1,
        [&](int32_t row, const uint64_t* bits) {
          ForEachRun(bits, region.visited.Stride(), bitmap.GetWidth(),
                     [&](int32_t first, int32_t last) { SetMaskSpan(mask, row, first, last, maskValue); });
        });
  } catch (const std::bad_alloc&) {
    // No room for the visited grid: nothing is selected.
  }
}

void MagicWandGlobalMask(TRVBitmap& bitmap, int32_t x, int32_t y, int32_t maskValue, TRVMask& mask,
                         int32_t tolerance) {
  if (!Inside(bitmap, x, y)) return;
  RowAccessScope readOnly(bitmap, 1);
  TWandMatch match(bitmap, bitmap.GetPixels(x, y), tolerance);
  if (match.Nothing()) return;
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  std::vector<uint64_t> bits((static_cast<size_t>(w) + 63) / 64);
  for (int32_t row = 0; row < h; ++row) {
    match.SetRow(row);
    for (size_t k = 0; k < bits.size(); ++k) bits[k] = match.Word(static_cast<int32_t>(k));
    ForEachRun(bits.data(), bits.size(), w,
               [&](int32_t first, int32_t last) { SetMaskSpan(mask, row, first, last, maskValue); });
  }
  bitmap.ReleaseFileRows();
}

std::vector<TRVPoint> MagicWandOutline(TRVBitmap& bitmap, int32_t x, int32_t y, int32_t& count,
                                       int32_t tolerance, bool maxFilter) {
  count = 0;
  std::vector<TRVPoint> points;
  if (!Inside(bitmap, x, y)) return points;
  RowAccessScope readOnly(bitmap, 1);
  TWandMatch match(bitmap, bitmap.GetPixels(x, y), tolerance);
  try {
    TWandRegion region(bitmap.GetWidth(), bitmap.GetHeight());
    FillRegion(bitmap, x, y, match, region);
    if (region.Empty()) return points;
    TOutlineGrid grid;
    if (!BuildOutlineGrid(region, maxFilter, grid)) return points;
    const int32_t boxLeft = region.minX, boxTop = region.minY;
    region = TWandRegion(0, 0);  // the visited grid is not needed any more
    int64_t startCol = 0, startRow = 0;
    if (!FindStartCell(grid, startCol, startRow)) return points;
    const std::vector<uint8_t> codes = TraceRing(grid, startCol, startRow);
    grid = TOutlineGrid();
    // Every change of direction is a vertex; cells of the enlarged grid back to pixel corners.
    int64_t px = startCol + 4 * int64_t(boxLeft) - 1, py = startRow + 4 * int64_t(boxTop) - 1;
    auto vertex = [&] { points.push_back({static_cast<int32_t>(px / 4), static_cast<int32_t>(py / 4)}); };
    vertex();
    uint8_t previous = codes.empty() ? 0 : codes.front();
    for (uint8_t code : codes) {
      if (code != previous) vertex();
      previous = code;
      px += kCodeX[code];
      py += kCodeY[code];
    }
  } catch (const std::bad_alloc&) {
    points.clear();
  }
  count = static_cast<int32_t>(points.size());
  return points;
}

}  // namespace rv
