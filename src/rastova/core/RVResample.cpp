// The kernel filters, the weight lists and the two-pass kernel resampler, and the dispatch of
// every filtered resampling.
#include "rastova/core/RVResample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVDibBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVResampleInternal.h"
#include "rastova/core/RVResampleVector.h"
#include "rastova/core/RVStartup.h"

namespace rv {

namespace testing {
int32_t ResampleThreadCount = 0;
}  // namespace testing

using namespace resample_detail;

// ---------------------------------------------------------------- kernels
// The arithmetic runs in extended precision; each kernel returns a double.

namespace {
constexpr long double kPi = 3.141592653589793238462643383279502884L;
}

double FilterTriangle(double x) {
  long double a = std::fabs(static_cast<long double>(x));
  return a < 1.0L ? static_cast<double>(1.0L - a) : 0.0;
}

double FilterHermite(double x) {
  long double v = x;
  long double a = std::fabs(v);
  return a < 1.0L ? static_cast<double>((2.0L * a - 3.0L) * v * v + 1.0L) : 0.0;
}

double FilterBell(double x) {
  long double v = x;
  long double a = std::fabs(v);
  if (a < 0.5L) return static_cast<double>(0.75L - v * v);
  if (a < 1.5L) {
    long double t = a - 1.5L;
    return static_cast<double>(0.5L * t * t);
  }
  return 0.0;
}

double FilterBSpline(double x) {
  long double v = x;
  long double a = std::fabs(v);
  if (a < 1.0L) return static_cast<double>(0.5L * a * a * a - v * v + 2.0L / 3.0L);
  if (a < 2.0L) {
    long double t = 2.0L - a;
    return static_cast<double>(t * t * t / 6.0L);
  }
  return 0.0;
}

double SinC(double x) {
  if (x == 0.0) return 1.0;
  long double p = kPi * static_cast<long double>(x);
  return static_cast<double>(std::sin(p) / p);
}

double FilterLanczos3(double x) {
  double a = std::fabs(x);
  if (a < 3.0) return static_cast<double>(static_cast<long double>(SinC(a)) * static_cast<long double>(SinC(a / 3.0)));
  return 0.0;
}

double FilterMitchell(double x) {
  long double v = x;
  long double a = std::fabs(v);
  long double v2 = v * v;
  if (a < 1.0L) return static_cast<double>((7.0L * a * v2 - 12.0L * v2 + 16.0L / 3.0L) / 6.0L);
  if (a < 2.0L) return static_cast<double>((-7.0L / 3.0L * a * v2 + 12.0L * v2 - 20.0L * a + 32.0L / 3.0L) / 6.0L);
  return 0.0;
}

double FilterBox(double x) { return (x > -0.5 && x <= 0.5) ? 1.0 : 0.0; }

double FilterLinear(double x) {
  if (x >= -1.0 && x < 0.0) return x + 1.0;
  if (x >= 0.0 && x < 1.0) return 1.0 - x;
  return 0.0;
}

const TResampleFilterEntry ResampleFilterTable[8] = {
    {FilterTriangle, 1.0}, {FilterHermite, 1.0}, {FilterBell, 1.5},    {FilterBSpline, 2.0},
    {FilterLanczos3, 3.0}, {FilterMitchell, 2.0}, {FilterBox, 1.0}, {FilterLinear, 1.0},
};

// ---------------------------------------------------------------- weight lists

double ResampleAxisScale(int32_t srcSize, int32_t dstSize) {
  if (srcSize == 1 || dstSize == 1) return static_cast<double>(dstSize) / srcSize;
  return static_cast<double>(dstSize - 1) / (srcSize - 1);
}

namespace {

int32_t ReflectIndex(int64_t j, int32_t size) {
  if (j < 0) j = -j;
  else if (j >= size) j = 2 * static_cast<int64_t>(size) - 1 - j;
  if (j < 0) j = 0;
  if (j >= size) j = size - 1;
  return static_cast<int32_t>(j);
}

// Terms of one destination position. `weightScale` multiplies the kernel value (256 for the
// normal 8-bit weights).
void BuildOneList(TContributorList& list, double centre, double width, double fscale, bool enlarging,
                  double (*kernel)(double), double weightScale, int32_t srcSize) {
  list.clear();
  int64_t first = common::Floor(static_cast<long double>(centre - width));
  int64_t last = common::Ceil(static_cast<long double>(centre + width));
  for (int64_t j = first; j <= last; ++j) {
    double v;
    if (enlarging) v = kernel(centre - static_cast<double>(j)) * weightScale;
    else v = kernel((centre - static_cast<double>(j)) / fscale) * weightScale / fscale;
    int32_t w = common::RoundInt(v);
    if (w == 0) continue;
    list.push_back(TContributor{ReflectIndex(j, srcSize), w});
  }
}

}  // namespace

namespace resample_detail {

void BuildContributorRange(std::vector<TContributorList>& lists, int32_t srcSize, TResampleFilter filter, int32_t from,
                           int32_t to) {
  const int32_t dstSize = static_cast<int32_t>(lists.size());
  const TResampleFilterEntry& entry = ResampleFilterTable[filter - rfTriangle];
  double f = ResampleAxisScale(srcSize, dstSize);
  bool enlarging = f >= 1.0;
  double width = enlarging ? entry.Support : entry.Support / f;
  double fscale = enlarging ? 1.0 : 1.0 / f;
  for (int32_t i = from; i < to; ++i) {
    TContributorList& list = lists[static_cast<size_t>(i)];
    double centre = i / f;
    BuildOneList(list, centre, width, fscale, enlarging, entry.Kernel, 256.0, srcSize);
    if (!list.empty()) continue;
    // Every 8-bit weight rounded to 0: the source span is wider than 256 weight units can
    // share. Finer weights of the same kernel keep the position's average; their total stays
    // below 2^22, so sums of 8-bit channels still fit in 32 bits.
    double room = std::floor(2.0 * width + 1.0);
    double scale = 4194304.0 / std::max(1.0, room) * fscale;
    BuildOneList(list, centre, width, fscale, enlarging, entry.Kernel, scale, srcSize);
    if (list.empty()) {
      int64_t nearest = common::Round(static_cast<long double>(centre));
      list.push_back(TContributor{ReflectIndex(nearest, srcSize), 256});
    }
  }
}

}  // namespace resample_detail

std::vector<TContributorList> BuildContributorLists(int32_t srcSize, int32_t dstSize, TResampleFilter filter) {
  std::vector<TContributorList> lists;
  if (srcSize <= 0 || dstSize <= 0 || !IsKernelFilter(filter)) return lists;
  lists.resize(static_cast<size_t>(dstSize));
  BuildContributorRange(lists, srcSize, filter, 0, dstSize);
  return lists;
}

namespace {

// The lists of one axis flattened for the passes: terms of position i are start[i] ..
// start[i + 1] - 1; `offset` is the source index times the pixel size.
struct FlatLists {
  std::vector<int32_t> start;
  std::vector<int32_t> offset;
  std::vector<int32_t> weight;
  std::vector<int32_t> weightSum;
};

FlatLists Flatten(const std::vector<TContributorList>& lists, int32_t pixelSize, int32_t clampTo) {
  FlatLists f;
  f.start.reserve(lists.size() + 1);
  f.weightSum.reserve(lists.size());
  size_t total = 0;
  for (const auto& l : lists) total += l.size();
  f.offset.reserve(total);
  f.weight.reserve(total);
  for (const auto& l : lists) {
    f.start.push_back(static_cast<int32_t>(f.offset.size()));
    int32_t sum = 0;
    for (const TContributor& c : l) {
      int32_t p = std::clamp(c.Pixel, 0, clampTo - 1);
      f.offset.push_back(p * pixelSize);
      f.weight.push_back(c.Weight);
      sum += c.Weight;
    }
    f.weightSum.push_back(sum);
  }
  f.start.push_back(static_cast<int32_t>(f.offset.size()));
  return f;
}

// The channel value of a sum: divided by the weight sum (truncating) and clamped; a weight sum
// of 0 takes the sum / 256, negative sums giving 0.
inline uint8_t Channel(int32_t sum, int32_t weightSum) {
  if (weightSum == 0) return sum < 0 ? 0 : Clamp255(sum >> 8);
  // Exact: the quotient of two 32-bit integers is never within one double ulp of the next
  // integer, so truncating the correctly rounded double quotient truncates the true one.
  return Clamp255(static_cast<int32_t>(static_cast<double>(sum) / weightSum));
}

// Horizontal pass of 24-bit rows: every destination column of one source row.
void HorizontalRow24(const uint8_t* src, uint8_t* dst, int32_t dw, const FlatLists& h) {
  const int32_t* start = h.start.data();
  const int32_t* off = h.offset.data();
  const int32_t* wt = h.weight.data();
  for (int32_t x = 0; x < dw; ++x) {
    int32_t b = 0, g = 0, r = 0;
    for (int32_t k = start[x], e = start[x + 1]; k < e; ++k) {
      const uint8_t* p = src + off[k];
      int32_t w = wt[k];
      b += w * p[0];
      g += w * p[1];
      r += w * p[2];
    }
    int32_t ws = h.weightSum[static_cast<size_t>(x)];
    dst[0] = Channel(b, ws);
    dst[1] = Channel(g, ws);
    dst[2] = Channel(r, ws);
    dst += 3;
  }
}

// Horizontal pass of 8-bit rows.
void HorizontalRow8(const uint8_t* src, uint8_t* dst, int32_t dw, const FlatLists& h) {
  const int32_t* start = h.start.data();
  const int32_t* off = h.offset.data();
  const int32_t* wt = h.weight.data();
  for (int32_t x = 0; x < dw; ++x) {
    int32_t v = 0;
    for (int32_t k = start[x], e = start[x + 1]; k < e; ++k) v += wt[k] * src[off[k]];
    dst[x] = Channel(v, h.weightSum[static_cast<size_t>(x)]);
  }
}

// Vertical pass of one destination row over `samples` samples per row: every term adds its
// weighted work row into the accumulators, which keeps the inner loop contiguous.
void VerticalRow(uint8_t* const* workRows, int32_t workHeight, const FlatLists& v, int32_t y, int32_t samples,
                 std::vector<int32_t>& acc, uint8_t* dst) {
  std::fill(acc.begin(), acc.end(), 0);
  int32_t* a = acc.data();
  for (int32_t k = v.start[static_cast<size_t>(y)], e = v.start[static_cast<size_t>(y) + 1]; k < e; ++k) {
    int32_t row = std::clamp(v.offset[static_cast<size_t>(k)], 0, workHeight - 1);
    const uint8_t* p = workRows[row];
    int32_t w = v.weight[static_cast<size_t>(k)];
    for (int32_t i = 0; i < samples; ++i) a[i] += w * p[i];
  }
  int32_t ws = v.weightSum[static_cast<size_t>(y)];
  for (int32_t i = 0; i < samples; ++i) dst[i] = Channel(a[i], ws);
}

std::vector<uint8_t*> WorkRows(TRVWorkBitmap& work) {
  std::vector<uint8_t*> rows(static_cast<size_t>(work.Height()));
  for (int32_t y = 0; y < work.Height(); ++y) {
    rows[static_cast<size_t>(y)] = work.GetScanline(y);
    if (!rows[static_cast<size_t>(y)]) throw std::bad_alloc();
  }
  return rows;
}

// The horizontal lists of one axis in the form the pass will use: the vector layout where the
// processor has it and the weights allow it, else the flat scalar one.
struct HorizontalLists {
  HorizontalLists(const std::vector<TContributorList>& lists, int32_t srcSize, int32_t pixelBytes, int32_t level)
      : rowBytes(srcSize * pixelBytes), pixelBytes(pixelBytes) {
    if (level > 0) vec = BuildHorizontalAxis(lists, srcSize, pixelBytes);
    this->level = vec.Usable ? level : 0;
    if (this->level == 0) flat = Flatten(lists, pixelBytes, srcSize);
  }
  // One row; `tail` is the calling thread's own copy buffer.
  void Row(const uint8_t* src, uint8_t* dst, int32_t dw, TailCopy* tail) const {
    if (level > 0) HorizontalRowVector(src, tail->Of(src), dst, dw, vec, level);
    else if (pixelBytes == 3) HorizontalRow24(src, dst, dw, flat);
    else HorizontalRow8(src, dst, dw, flat);
  }
  std::unique_ptr<TailCopy> NewTail() const {
    return level > 0 ? std::make_unique<TailCopy>(vec, rowBytes) : nullptr;
  }
  int32_t rowBytes, pixelBytes, level = 0;
  TVectorAxis vec;
  FlatLists flat;
};

// The vertical lists likewise.
struct VerticalLists {
  VerticalLists(const std::vector<TContributorList>& lists, int32_t srcSize, int32_t level) : workHeight(srcSize) {
    if (level > 0) vec = BuildVerticalAxis(lists, srcSize);
    this->level = vec.Usable ? level : 0;
    if (this->level == 0) flat = Flatten(lists, 1, srcSize);
  }
  void Row(uint8_t* const* workRows, int32_t y, int32_t samples, std::vector<int32_t>& acc, uint8_t* dst) const {
    if (level > 0) VerticalRowVector(workRows, vec, y, samples, dst, level);
    else VerticalRow(workRows, workHeight, flat, y, samples, acc, dst);
  }
  int32_t workHeight, level = 0;
  TVectorAxis vec;
  FlatLists flat;
};

// Thread bands: band i of n starts at i * (size / n) and has size / n rows, the last one the rest.
inline int32_t BandFirst(int32_t i, int32_t n, int32_t size) { return i * (size / n); }
inline int32_t BandCount(int32_t i, int32_t n, int32_t size) { return i == n - 1 ? size - (n - 1) * (size / n) : size / n; }

// Two-pass kernel resampler of a 24-bit source into a 24-bit destination.
void ResampleKernel24(TRVBaseBitmap& source, TRVBaseBitmap& dest, TResampleFilter filter, void* sender,
                      const TRVProgressEvent& onProgress) {
  const int32_t sw = source.GetWidth(), sh = source.GetHeight();
  const int32_t dw = dest.GetWidth(), dh = dest.GetHeight();
  if (dw <= 0 || dh <= 0) return;
  AccessScope readOnly(source, 1);
  const int32_t level = ResampleVectorLevel();
  const bool oneThread = IsFileBacked(source);
  int32_t n = testing::ResampleThreadCount > 0 ? testing::ResampleThreadCount : GetProcessorCoreCount();
  if (n < 1 || oneThread) n = 1;

  const double step = 100.0 / (sh + dh + 0.5);
  TRVWorkBitmap work(dw, sh, 24);
  std::vector<uint8_t*> workRows = WorkRows(work);
  // The weight lists of both axes, built in bands of positions: their kernel values are much
  // of the work of a strong reduction.
  std::vector<TContributorList> columnLists(static_cast<size_t>(dw)), rowLists(static_cast<size_t>(dh));
  RunBands(n, [&](int32_t index) {
    const int32_t total = dw + dh;
    const int32_t from = BandFirst(index, n, total), to = from + BandCount(index, n, total);
    if (from < dw) BuildContributorRange(columnLists, sw, filter, from, std::min(to, dw));
    if (to > dw) BuildContributorRange(rowLists, sh, filter, std::max(from, dw) - dw, to - dw);
  });
  std::unique_ptr<VerticalLists> v;
  {
    const HorizontalLists h(columnLists, sw, 3, level);
    if (oneThread) {
      // Only one source row is valid at a time: the pass runs here, fetching row by row.
      ProgressReporter progress(sender, onProgress);
      auto tail = h.NewTail();
      for (int32_t y = 0; y < sh; ++y) {
        const uint8_t* src = source.GetScanLine(y);
        if (src) h.Row(src, workRows[static_cast<size_t>(y)], dw, tail.get());
        progress.Changed(static_cast<int32_t>(common::Trunc((y + 1) * step)));
      }
    } else {
      // Every row address is taken here, before any worker starts; the workers only read
      // the source and the lists and write their own work rows.
      std::vector<const uint8_t*> srcRows(static_cast<size_t>(sh));
      for (int32_t y = 0; y < sh; ++y) srcRows[static_cast<size_t>(y)] = source.GetScanLine(y);
      RunBands(n, [&](int32_t index) {
        ProgressReporter progress(sender, onProgress);
        auto tail = h.NewTail();
        const int32_t first = BandFirst(index, n, sh), count = BandCount(index, n, sh);
        for (int32_t r = 0; r < count; ++r) {
          int32_t y = first + r;
          const uint8_t* src = srcRows[static_cast<size_t>(y)];
          if (src) h.Row(src, workRows[static_cast<size_t>(y)], dw, tail.get());
          if (index == 0) progress.Changed(static_cast<int32_t>(common::Trunc((static_cast<long double>(n) * r + 1) * step)));
        }
      });
    }
  }
  v = std::make_unique<VerticalLists>(rowLists, sh, level);
  ProgressReporter progress(sender, onProgress);
  auto report = [&](int32_t y) { progress.Changed(static_cast<int32_t>(common::Trunc((sh + y + 1) * step))); };
  if (oneThread || n == 1 || IsFileBacked(dest)) {
    std::vector<int32_t> acc(static_cast<size_t>(dw) * 3);
    for (int32_t y = 0; y < dh; ++y) {
      uint8_t* dst = dest.GetScanLine(y);
      if (dst) v->Row(workRows.data(), y, dw * 3, acc, dst);
      report(y);
    }
    return;
  }
  // Bands of destination rows on the workers; the progress of a band's rows is reported here,
  // on the calling thread, once that band (and every band before it) has ended.
  std::vector<uint8_t*> dstRows(static_cast<size_t>(dh));
  for (int32_t y = 0; y < dh; ++y) dstRows[static_cast<size_t>(y)] = dest.GetScanLine(y);
  RunBands(
      n,
      [&](int32_t index) {
        std::vector<int32_t> acc(v->level > 0 ? 0 : static_cast<size_t>(dw) * 3);
        const int32_t first = BandFirst(index, n, dh), count = BandCount(index, n, dh);
        for (int32_t y = first; y < first + count; ++y)
          if (uint8_t* dst = dstRows[static_cast<size_t>(y)]) v->Row(workRows.data(), y, dw * 3, acc, dst);
      },
      [&](int32_t index) {
        const int32_t first = BandFirst(index, n, dh), count = BandCount(index, n, dh);
        for (int32_t y = first; y < first + count; ++y) report(y);
      });
}

// Two-pass kernel resampler of one 8-bit channel on the calling thread. `readRow` gives a
// source row as 8-bit samples; `writeRow` stores a destination row.
template <class ReadRow, class WriteRow>
void ResampleKernel8(int32_t sw, int32_t sh, int32_t dw, int32_t dh, TResampleFilter filter, ReadRow readRow,
                     WriteRow writeRow) {
  if (dw <= 0 || dh <= 0) return;
  const int32_t level = ResampleVectorLevel();
  // The intermediate rows live in an 8-bit mask used as a plain row buffer.
  TRVMask work;
  work.AllocateBits(dw, sh, 8);
  if (!work.HasBits()) throw std::bad_alloc();
  std::vector<uint8_t*> workRows(static_cast<size_t>(sh));
  for (int32_t y = 0; y < sh; ++y) workRows[static_cast<size_t>(y)] = work.GetScanLine(y);
  {
    const HorizontalLists h(BuildContributorLists(sw, dw, filter), sw, 1, level);
    auto tail = h.NewTail();
    for (int32_t y = 0; y < sh; ++y) {
      const uint8_t* src = readRow(y);
      if (src) h.Row(src, workRows[static_cast<size_t>(y)], dw, tail.get());
    }
  }
  const VerticalLists v(BuildContributorLists(sh, dh, filter), sh, level);
  std::vector<int32_t> acc(static_cast<size_t>(dw));
  std::vector<uint8_t> row(static_cast<size_t>(dw));
  for (int32_t y = 0; y < dh; ++y) {
    v.Row(workRows.data(), y, dw, acc, row.data());
    writeRow(y, row.data());
  }
}

// A 1 x 1 source: every destination pixel takes its value (24-bit or 8-bit destination).
void ReplicatePixel(const uint8_t* pixel, int32_t bytes, TRVBaseBitmap& dest) {
  AccessScope writeOnly(dest, 2);
  for (int32_t y = 0; y < dest.GetHeight(); ++y) {
    uint8_t* d = dest.GetScanLine(y);
    if (!d) continue;
    for (int32_t x = 0; x < dest.GetWidth(); ++x) std::memcpy(d + static_cast<int64_t>(x) * bytes, pixel, static_cast<size_t>(bytes));
  }
}

}  // namespace

// ---------------------------------------------------------------- grey and 1-bit variants

void ResampleGrayFiltered(TRVBitmap& source, TRVBitmap& dest, TResampleFilter filter) {
  const int32_t sw = source.GetWidth(), sh = source.GetHeight();
  if (sw <= 0 || sh <= 0 || source.IsEmpty() || dest.IsEmpty()) return;
  if (filter == rfFastLinear || filter == rfBilinear || filter == rfBicubic || filter == rfProjectBW ||
      filter == rfProjectWB) {
    // The fast pass writes 8-bit rows only: a destination of another format would keep whatever
    // its memory held.
    if (dest.GetBitCount() != 8) SwitchPixelFormat(dest, rv8g);
    ResampleFastLinearGray(source, dest, nullptr, TRVProgressEvent());
    return;
  }
  if (!IsKernelFilter(filter)) return;
  if (source.GetPixelFormat() != rv8g) return;
  SwitchPixelFormat(dest, rv8g);
  AccessScope readOnly(source, 1);
  if (sw == 1 && sh == 1) {
    const uint8_t* p = source.GetScanLine(0);
    uint8_t v = p ? p[0] : 0;
    ReplicatePixel(&v, 1, dest);
    return;
  }
  ResampleKernel8(
      sw, sh, dest.GetWidth(), dest.GetHeight(), filter, [&](int32_t y) -> const uint8_t* { return source.GetScanLine(y); },
      [&](int32_t y, const uint8_t* row) {
        uint8_t* d = dest.GetScanLine(y);
        if (d) std::memcpy(d, row, static_cast<size_t>(dest.GetWidth()));
      });
}

void ResampleAlpha(TRVBitmap& source, TRVBitmap& dest, TResampleFilter filter) {
  ResampleGrayFiltered(source, dest, filter);
}

void Resample1Bit(TRVBitmap& source, TRVBitmap& dest, TResampleFilter filter) {
  ResampleBWFiltered(source, dest, filter);
}

void Reduce1BitTo24(TRVBitmap& source, int32_t x1, int32_t y1, int32_t x2, int32_t y2, TRVBitmap& dest) {
  ReduceBWRectToGray(source, x1, y1, dest, y2, x2);
}

void ResampleBWFiltered(TRVBitmap& source, TRVBitmap& dest, TResampleFilter filter) {
  const int32_t sw = source.GetWidth(), sh = source.GetHeight();
  if (sw <= 0 || sh <= 0 || source.IsEmpty() || dest.IsEmpty()) return;
  if (filter == rfFastLinear || filter == rfBilinear || filter == rfBicubic) {
    ResampleFastLinearBW(source, dest, nullptr, TRVProgressEvent());
    return;
  }
  if (filter == rfProjectBW || filter == rfProjectWB) {
    ResampleProjectBW1(source, dest, filter == rfProjectWB, nullptr, TRVProgressEvent());
    return;
  }
  if (!IsKernelFilter(filter) || source.GetPixelFormat() != rv1g) return;
  if (dest.GetPixelFormat() != rv24RGB) SwitchPixelFormat(dest, rv24RGB);
  AccessScope readOnly(source, 1);
  std::vector<uint8_t> expanded(static_cast<size_t>(sw));
  auto readRow = [&](int32_t y) -> const uint8_t* {
    const uint8_t* s = source.GetScanLine(y);
    if (!s) return nullptr;
    for (int32_t x = 0; x < sw; ++x) expanded[static_cast<size_t>(x)] = GetBufferBit(s, x) ? 255 : 0;
    return expanded.data();
  };
  if (sw == 1 && sh == 1) {
    const uint8_t* p = readRow(0);
    uint8_t v = p ? p[0] : 0;
    uint8_t px[3] = {v, v, v};
    ReplicatePixel(px, 3, dest);
    return;
  }
  ResampleKernel8(sw, sh, dest.GetWidth(), dest.GetHeight(), filter, readRow, [&](int32_t y, const uint8_t* row) {
    uint8_t* d = dest.GetScanLine(y);
    if (!d) return;
    for (int32_t x = 0; x < dest.GetWidth(); ++x) d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = row[x];
  });
}

// ---------------------------------------------------------------- dispatch

void ResampleFiltered(TRVBaseBitmap& source, TRVBaseBitmap& dest, TResampleFilter filter, void* sender,
                      const TRVProgressEvent& onProgress) {
  if (source.GetWidth() <= 0 || source.GetHeight() <= 0 || dest.GetWidth() <= 0 || dest.GetHeight() <= 0) return;
  if (filter == rfNone || filter > rfProjectWB) return;
  TRVPixelFormat format = source.GetPixelFormat();
  if (filter == rfBilinear || filter == rfBicubic) {
    if (format == rv24RGB || format == rv8g) {
      SwitchPixelFormat(dest, format);
      ResampleAreaInterp8(source, dest, filter == rfBicubic, sender, onProgress);
      return;
    }
    if (format == rv48RGB || format == rv16g) {
      SwitchPixelFormat(dest, format);
      ResampleAreaInterp16(source, dest, filter == rfBicubic, sender, onProgress);
      return;
    }
    filter = rfTriangle;
  }
  auto* srcBitmap = dynamic_cast<TRVBitmap*>(&source);
  auto* dstBitmap = dynamic_cast<TRVBitmap*>(&dest);
  if (format == rv8g) {
    if (srcBitmap && dstBitmap) ResampleGrayFiltered(*srcBitmap, *dstBitmap, filter);
    return;
  }
  TRVBaseBitmap* work = &source;
  std::unique_ptr<TRVBitmap> converted;
  if (format != rv24RGB) {
    if (!srcBitmap || !dstBitmap) return;
    converted = std::make_unique<TRVBitmap>(source.GetWidth(), source.GetHeight(), rv24RGB);
    if (converted->IsEmpty()) throw std::bad_alloc();
    converted->CopyAndConvertFormat(*srcBitmap);
    work = converted.get();
  }
  if (filter == rfProjectBW || filter == rfProjectWB) {
    ResampleProject24(*work, dest, filter == rfProjectWB, sender, onProgress);
    return;
  }
  SwitchPixelFormat(dest, rv24RGB);
  if (dest.GetPixelFormat() != rv24RGB) return;
  if (filter == rfFastLinear) {
    ResampleFastLinear24(*work, dest, sender, onProgress);
    return;
  }
  if (work->GetWidth() == 1 && work->GetHeight() == 1) {
    AccessScope readOnly(*work, 1);
    const uint8_t* p = work->GetScanLine(0);
    uint8_t px[3] = {0, 0, 0};
    if (p) std::memcpy(px, p, 3);
    ReplicatePixel(px, 3, dest);
    return;
  }
  ResampleKernel24(*work, dest, filter, sender, onProgress);
}

}  // namespace rv
