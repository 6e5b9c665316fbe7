#include "rastova/core/RVColorReduce.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVBitmapInternal.h"
#include "rastova/core/RVChannelOps.h"
#include "rastova/core/RVPixelRoutines.h"
#include "rastova/core/RVPlatformBitmap.h"
#include "rastova/core/RVQuantizer.h"
#include "rastova/core/RVRectCopy.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RVUtils.h"

namespace rv {

const uint8_t OrderedDitherMatrix[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                                           {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
                                           {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
                                           {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};

namespace {

struct ExpandTable {
  uint8_t entries[256][24];
  ExpandTable() {
    for (int n = 0; n < 256; ++n)
      for (int bit = 0; bit < 8; ++bit) std::memset(entries[n] + 3 * bit, (n & (0x80 >> bit)) ? 255 : 0, 3);
  }
};

inline int32_t Grey(const uint8_t* bgr) { return Gray8(bgr[2], bgr[1], bgr[0]); }

}  // namespace

const uint8_t (&BWExpandTable())[256][24] {
  static const ExpandTable table;
  return table.entries;
}

void ConvertRectToGray(TRVBitmap& bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                       const TRVProgressEvent& onProgress, void* sender) {
  if (bitmap.GetPixelFormat() != rv24RGB) return;
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, bitmap.GetWidth());
  y2 = std::min(y2, bitmap.GetHeight());
  if (x2 <= x1 || y2 <= y1) return;
  const double rows = y2 - y1 + 0.5;
  RowAccessScope rw(bitmap, 3);
  for (int32_t y = y1; y < y2; ++y) {
    uint8_t* p = bitmap.GetScanLine(y) + int64_t(x1) * 3;
    for (int32_t x = x1; x < x2; ++x, p += 3) std::memset(p, Grey(p), 3);
    if (onProgress) onProgress(sender, static_cast<int32_t>(common::Trunc((y - y1 + 1) * 100 / rows)));
  }
  bitmap.ReleaseFileRows();
}

void QuantizeBitmap(TRVBitmap& bitmap, int32_t numColors, TRGB* palette, void* sender,
                    const TRVProgressEvent& onProgress) {
  if (bitmap.GetPixelFormat() != rv24RGB || bitmap.IsEmpty() || numColors < 1) return;
  std::vector<TRGB> own;
  if (palette == nullptr) {
    own.resize(static_cast<size_t>(numColors));
    palette = own.data();
  }
  TRVQuantizer q(bitmap, numColors, 134217727, palette);
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  const double step = 100 / (h + 0.5);
  RowAccessScope rw(bitmap, 3);
  uint32_t lastKey = 0xFFFFFFFF;
  TRGB lastColour{};
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* p = bitmap.GetScanLine(y);
    for (int32_t x = 0; x < w; ++x, p += 3) {
      const uint32_t key = (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
      if (key != lastKey) {
        lastKey = key;
        lastColour = palette[q.GetRGBIndex(TRGB{p[0], p[1], p[2]})];
      }
      p[0] = lastColour.b;
      p[1] = lastColour.g;
      p[2] = lastColour.r;
    }
    if (onProgress) onProgress(sender, static_cast<int32_t>(common::Trunc(step * (y + 1))));
  }
  bitmap.ReleaseFileRows();
  bitmap.Full = false;
}

void DitherTo1Bit(TRVBitmap& bitmap, TRVProgressRec& progress) {
  if (bitmap.GetPixelFormat() != rv24RGB || bitmap.IsEmpty()) return;
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  TRVBitmap bw;
  bw.MemoryThreshold = bitmap.MemoryThreshold;
  if (!bw.Allocate(w, h, rv1g)) return;
  progress.per1 = 100 / (h + 0.5);
  {
    RowAccessScope ro(bitmap, 1), wo(bw, 2);
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* s = bitmap.GetScanLine(y);
      uint8_t* d = bw.GetScanLine(y);
      std::memset(d, 0, static_cast<size_t>(bw.GetRowLen()));
      for (int32_t x = 0; x < w; ++x, s += 3) {
        const int32_t level = (s[0] > 250 && s[1] > 250 && s[2] > 250) ? 64 : Grey(s) / 4;
        if (level > OrderedDitherMatrix[x & 7][y & 7]) d[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
      }
      progress.Report(static_cast<int32_t>(common::Trunc((y + 1) * progress.per1)));
    }
    bitmap.ReleaseFileRows();
    bw.ReleaseFileRows();
  }
  TakeImage(bitmap, bw);
}

void BinarizeByThreshold(TRVBitmap& bitmap, int32_t threshold, TRVProgressRec& progress) {
  if (bitmap.GetPixelFormat() != rv24RGB || bitmap.IsEmpty()) return;
  TRVBitmap bw;
  bw.MemoryThreshold = bitmap.MemoryThreshold;
  if (!bw.Allocate(bitmap.GetWidth(), bitmap.GetHeight(), rv1g)) return;
  ThresholdTo1Bit(bitmap, bw, threshold, progress);
  TakeImage(bitmap, bw);
}

void ThresholdTo1BitInPlace(TRVBitmap& bitmap, int32_t threshold, TRVProgressRec& progress) {
  BinarizeByThreshold(bitmap, threshold, progress);
}

std::unique_ptr<TRVBitmap> TwoColorBitmapTo1Bit(TRVBitmap& bitmap, TRGB& color0, TRGB& color1) {
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  if (bitmap.IsEmpty()) return nullptr;
  auto bw = std::make_unique<TRVBitmap>();
  bw->MemoryThreshold = bitmap.MemoryThreshold;
  if (!bw->Allocate(w, h, rv1g)) return nullptr;
  int32_t count = 0;
  {
    RowAccessScope ro(bitmap, 1), wo(*bw, 2);
    for (int32_t y = 0; y < h && count <= 2; ++y) {
      uint8_t* d = bw->GetScanLine(y);
      std::memset(d, 0, static_cast<size_t>(bw->GetRowLen()));
      for (int32_t x = 0; x < w; ++x) {
        const TRGB c = bitmap.GetPixels(x, y);
        if (count == 0 || (c != color0 && (count < 2 || c != color1))) {
          if (count == 0)
            color0 = c;
          else if (count == 1)
            color1 = c;
          ++count;
        }
        if (c != color0) d[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
      }
    }
    bitmap.ReleaseFileRows();
    bw->ReleaseFileRows();
  }
  if (count != 2) return nullptr;
  auto level = [](const TRGB& c) {
    return common::RoundInt((c.r * RedToGrayCoef + c.g * GreenToGrayCoef + c.b * BlueToGrayCoef) / 100.0L);
  };
  if (level(color1) < level(color0)) {
    InvertBitmapRows(*bw);
    std::swap(color0, color1);
  }
  return bw;
}

void AverageRGB(TRVBitmap& bitmap, int32_t& r, int32_t& g, int32_t& b) {
  r = g = b = 0;
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  if (w <= 0 || h <= 0) return;
  const TRVPixelFormat f = bitmap.GetPixelFormat();
  try {
    RowAccessScope ro(bitmap, 1);
    int64_t sr = 0, sg = 0, sb = 0;
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* p = bitmap.GetScanLine(y);
      if (p == nullptr) throw 0;
      int64_t rr = 0, rg = 0, rb = 0;
      auto add = [&](int32_t cr, int32_t cg, int32_t cb) {
        rr += cr;
        rg += cg;
        rb += cb;
      };
      for (int32_t x = 0; x < w; ++x) {
        switch (f) {
          case rv1g: {
            const int32_t v = GetBufferBit(p, x) ? 255 : 0;
            add(v, v, v);
            break;
          }
          case rv8p: {
            const TRGB c = bitmap.GetPalette(p[x]);
            add(c.r, c.g, c.b);
            break;
          }
          case rv8g:
            add(p[x], p[x], p[x]);
            break;
          case rv16g: {
            uint16_t v;
            std::memcpy(&v, p + 2 * x, 2);
            const int32_t c = static_cast<int32_t>(common::Trunc(v / 65535.0L * 255));
            add(c, c, c);
            break;
          }
          case rv24RGB:
            add(p[3 * x + 2], p[3 * x + 1], p[3 * x]);
            break;
          case rv32RGB:
            add(p[4 * x + 2], p[4 * x + 1], p[4 * x]);
            break;
          case rv32f: {
            float v;
            std::memcpy(&v, p + 4 * x, 4);
            const int32_t c = std::clamp(common::TruncInt(static_cast<long double>(v) * 255), 0, 255);
            add(c, c, c);
            break;
          }
          case rvCMYK: {
            TCMYK k;
            std::memcpy(&k, p + 4 * x, 4);
            const TRGB c = CMYKToRGB(k);
            add(c.r, c.g, c.b);
            break;
          }
          case rvCIELab: {
            TRGB c;
            CIELabToRGB(uint32_t(p[3 * x]) | (uint32_t(p[3 * x + 1]) << 8) | (uint32_t(p[3 * x + 2]) << 16),
                        c);
            add(c.r, c.g, c.b);
            break;
          }
          case rv48RGB: {
            uint16_t v[3];
            std::memcpy(v, p + 6 * x, 6);
            add(static_cast<int32_t>(common::Trunc(v[0] / 65535.0L * 255)),
                static_cast<int32_t>(common::Trunc(v[1] / 65535.0L * 255)),
                static_cast<int32_t>(common::Trunc(v[2] / 65535.0L * 255)));
            break;
          }
          default:
            break;
        }
      }
      sr += rr / w;
      sg += rg / w;
      sb += rb / w;
    }
    bitmap.ReleaseFileRows();
    r = static_cast<int32_t>(sr / h);
    g = static_cast<int32_t>(sg / h);
    b = static_cast<int32_t>(sb / h);
  } catch (...) {
    r = g = b = 128;
  }
}

void Expand1BitBitmap(TRVPlatformBitmap& source, TRVPlatformBitmap& dest, TRVProgressRec& progress) {
  const int32_t w = source.Width(), h = source.Height();
  dest.SetSize(1, 1);
  dest.SetPixelFormat(pf24bit);
  dest.SetSize(w, h);
  if (source.PixelFormat() != pf1bit || w <= 0 || h <= 0) return;
  const auto& table = BWExpandTable();
  progress.per1 = 100 / (h + 0.5);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* s = source.ScanLine(y);
    uint8_t* d = dest.ScanLine(y);
    const int32_t full = w / 8, rest = w % 8;
    for (int32_t i = 0; i < full; ++i) std::memcpy(d + 24 * i, table[s[i]], 24);
    if (rest) std::memcpy(d + 24 * full, table[s[full]], static_cast<size_t>(rest) * 3);
    progress.Report(static_cast<int32_t>(common::Trunc((y + 1) * progress.per1)));
  }
}

void RGBToHSL(double& h, double& s, double& l, const TRGB& colour) { TRGBToHSL(h, s, l, PackRGB(colour)); }

void HSLToRGB(TRGB& colour, double h, double s, double l) { HSLToTRGB(colour, l, s, h); }

double HueToRGB(double h, double m2, double m1) {
  if (h < 0)
    h += 1;
  else if (h > 1)
    h -= 1;
  if (6 * h < 1) return m1 + (m2 - m1) * h * 6;
  if (2 * h < 1) return m2;
  if (3 * h < 2) return m1 + (m2 - m1) * (2.0 / 3.0 - h) * 6;
  return m1;
}

void TBitmap1To24(TRVPlatformBitmap& source, TRVPlatformBitmap& dest, TRVProgressRec& progress) {
  Expand1BitBitmap(source, dest, progress);
}

namespace {

// The Gaussian blur works in single-precision floats on eight samples at a time: weights, samples
// and every partial sum are whole numbers below 2^24 (at most 255 x the weights' total, which
// rounding keeps below 65,637), so each sum is exact and the result is that of 32-bit integers.
// No function takes or returns the lanes by value (how a call passes 256-bit vectors depends on
// the processor the code is built for).
typedef float TBlurLanes __attribute__((vector_size(32)));
typedef int32_t TBlurInts __attribute__((vector_size(32)));
constexpr int32_t kBlurLanes = 8;
// Columns per strip of the column pass, so that its rows of floats stay in the cache.
constexpr int32_t kBlurStrip = 512;

struct TBlurKernel {
  int32_t radius = 1;
  std::vector<float> w;  // w[k] for k = 0..radius (the kernel is symmetric)
};

TBlurKernel MakeBlurKernel(double sigma) {
  // 201 Gaussian weights for the offsets -100..100, scaled to 65536 in all and rounded (halves
  // to even); the radius shrinks from 100 while both outermost weights are 0.
  constexpr int32_t kMax = 100;
  double g[2 * kMax + 1];
  double total = 0;
  for (int32_t k = -kMax; k <= kMax; ++k) total += g[k + kMax] = std::exp(-(k / sigma) * (k / sigma) / 2);
  int64_t all[2 * kMax + 1];
  for (int32_t i = 0; i <= 2 * kMax; ++i) all[i] = common::Round(g[i] * 65536 / total);
  TBlurKernel kernel;
  kernel.radius = kMax;
  while (kernel.radius > 1 && all[kMax + kernel.radius] == 0 && all[kMax - kernel.radius] == 0)
    --kernel.radius;
  for (int32_t k = 0; k <= kernel.radius; ++k) kernel.w.push_back(static_cast<float>(all[kMax + k]));
  return kernel;
}

// Eight results from the samples at(k) for k = -radius..radius (each the address of eight
// floats), rounded into bytes (the rounded weights may add up to a little more than 65536: a
// white line stays white).
template <class TAt>
__attribute__((always_inline)) inline void BlurLanes(const TBlurKernel& kernel, TAt&& at, uint8_t* out,
                                                     int32_t count) {
  const float* w = kernel.w.data();
  TBlurLanes sum, before, after;
  __builtin_memcpy(&sum, at(0), sizeof sum);
  sum *= w[0];
  for (int32_t k = 1; k <= kernel.radius; ++k) {
    __builtin_memcpy(&before, at(-k), sizeof before);
    __builtin_memcpy(&after, at(k), sizeof after);
    sum += w[k] * (before + after);
  }
  TBlurInts v = __builtin_convertvector(sum + 32768.0f, TBlurInts) >> 16;
  v = v > 255 ? 255 : v;
  for (int32_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(v[i]);
}

// Filters n samples in place; samples beyond either end repeat the end sample. `padded` has
// room for n + 2 x radius + 8 floats.
__attribute__((always_inline)) inline void BlurRow(uint8_t* samples, int32_t n, const TBlurKernel& kernel,
                                                   float* padded) {
  const int32_t r = kernel.radius;
  for (int32_t i = 0; i < r; ++i) padded[i] = samples[0];
  for (int32_t i = 0; i < n; ++i) padded[r + i] = samples[i];
  for (int32_t i = r + n; i < n + 2 * r + kBlurLanes; ++i) padded[i] = samples[n - 1];
  for (int32_t i = 0; i < n; i += kBlurLanes) {
    const float* centre = padded + r + i;
    BlurLanes(
        kernel, [centre](int32_t k) { return centre + k; }, samples + i, std::min(kBlurLanes, n - i));
  }
}

// The column pass over columns x0..x0 + n - 1 of `lines`: a ring of 2 x radius + 1 rows of
// floats holds the rows around the current one as they were before it was written.
__attribute__((always_inline)) inline void BlurColumns(uint8_t* const* lines, int32_t rows, int32_t x0,
                                                       int32_t n, const TBlurKernel& kernel, float* ring) {
  const int32_t r = kernel.radius, size = 2 * r + 1;
  const int32_t stride = (n + kBlurLanes - 1) / kBlurLanes * kBlurLanes;
  auto slot = [&](int32_t j) { return ring + static_cast<ptrdiff_t>(((j % size) + size) % size) * stride; };
  auto load = [&](int32_t j) {
    const uint8_t* src = lines[std::clamp(j, 0, rows - 1)] + x0;
    float* dst = slot(j);
    for (int32_t i = 0; i < n; ++i) dst[i] = src[i];
  };
  for (int32_t j = -r; j < r; ++j) load(j);
  std::vector<const float*> around(static_cast<size_t>(size));
  for (int32_t y = 0; y < rows; ++y) {
    load(y + r);
    for (int32_t k = -r; k <= r; ++k) around[static_cast<size_t>(k + r)] = slot(y + k);
    const float* const* middle = around.data() + r;
    uint8_t* out = lines[y] + x0;
    for (int32_t i = 0; i < n; i += kBlurLanes)
      BlurLanes(
          kernel, [middle, i](int32_t k) { return middle[k] + i; }, out + i, std::min(kBlurLanes, n - i));
  }
}

// Rows, then columns in strips.
__attribute__((always_inline)) inline void BlurRect(uint8_t* const* lines, int32_t left, int32_t cols,
                                                    int32_t rows, const TBlurKernel& kernel) {
  const int32_t r = kernel.radius;
  std::vector<float> padded(static_cast<size_t>(cols) + 2 * static_cast<size_t>(r) + kBlurLanes);
  for (int32_t y = 0; y < rows; ++y) BlurRow(lines[y] + left, cols, kernel, padded.data());
  const int32_t strip = std::min(cols, kBlurStrip);
  const size_t stride = static_cast<size_t>((strip + kBlurLanes - 1) / kBlurLanes * kBlurLanes);
  // Room for reading a full group of lanes past the last column of a strip.
  std::vector<float> ring(stride * static_cast<size_t>(2 * r + 1) + kBlurLanes);
  for (int32_t x0 = 0; x0 < cols; x0 += strip)
    BlurColumns(lines, rows, left + x0, std::min(strip, cols - x0), kernel, ring.data());
}

void BlurRectPlain(uint8_t* const* lines, int32_t left, int32_t cols, int32_t rows,
                   const TBlurKernel& kernel) {
  BlurRect(lines, left, cols, rows, kernel);
}

__attribute__((target("avx2,fma"))) void BlurRectWide(uint8_t* const* lines, int32_t left, int32_t cols,
                                                      int32_t rows, const TBlurKernel& kernel) {
  BlurRect(lines, left, cols, rows, kernel);
}

}  // namespace

bool testing::BlurWithoutAvx2 = false;

void GaussianBlurGray(TRVBitmap& bitmap, int32_t left, int32_t top, int32_t right, int32_t bottom, double sigma) {
  if (bitmap.GetPixelFormat() != rv8g || bitmap.IsEmpty() || !(sigma > 0)) return;
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, bitmap.GetWidth() - 1);
  bottom = std::min(bottom, bitmap.GetHeight() - 1);
  if (right < left || bottom < top) return;
  const TBlurKernel kernel = MakeBlurKernel(sigma);
  const int32_t cols = right - left + 1, rows = bottom - top + 1;
  RowAccessScope rw(bitmap, 3);
  std::vector<uint8_t*> lines(static_cast<size_t>(rows));
  for (int32_t y = 0; y < rows; ++y) lines[static_cast<size_t>(y)] = bitmap.GetLockedRow(top + y);
  static const bool wide = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  if (wide && !testing::BlurWithoutAvx2)
    BlurRectWide(lines.data(), left, cols, rows, kernel);
  else
    BlurRectPlain(lines.data(), left, cols, rows, kernel);
  for (int32_t y = 0; y < rows; ++y) bitmap.ReleaseLockedRow(top + y);
  bitmap.ReleaseFileRows();
}

void BlurGreyBitmap(TRVBitmap& bitmap, int32_t x1, int32_t y1, double radius, int32_t y2, int32_t x2) {
  GaussianBlurGray(bitmap, x1, y1, x2, y2, radius);
}

void Convolve3x3Gray(TRVBitmap& bitmap, const TFilter3x3& filter, int32_t x1, int32_t y1, int32_t x2,
                     int32_t y2) {
  if (bitmap.GetPixelFormat() != rv8g || bitmap.IsEmpty()) return;
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, w);
  y2 = std::min(y2, h);
  if (x2 <= x1 || y2 <= y1) return;
  const int32_t divisor = filter.Divisor == 0 ? 1 : filter.Divisor;
  // The nine products of each coefficient with every byte value.
  std::vector<int32_t> products(9 * 256);
  for (int k = 0; k < 9; ++k)
    for (int v = 0; v < 256; ++v) products[static_cast<size_t>(k * 256 + v)] = filter.Values[k] * v;
  TRVBitmap out;
  out.MemoryThreshold = bitmap.MemoryThreshold;
  if (!out.Allocate(w, h, rv8g)) return;
  {
    RowAccessScope ro(bitmap, 1), wo(out, 2);
    for (int32_t y = y1; y < y2; ++y) {
      const int32_t rowsY[3] = {std::max(y - 1, 0), y, std::min(y + 1, h - 1)};
      const uint8_t* rows[3];
      for (int k = 0; k < 3; ++k) rows[k] = bitmap.GetLockedRow(rowsY[k]);
      uint8_t* d = out.GetScanLine(y);
      for (int32_t x = x1; x < x2; ++x) {
        const int32_t cols[3] = {std::max(x - 1, 0), x, std::min(x + 1, w - 1)};
        int64_t sum = 0;
        for (int r = 0; r < 3; ++r)
          for (int c = 0; c < 3; ++c)
            sum += products[static_cast<size_t>((r * 3 + c) * 256 + rows[r][cols[c]])];
        const int64_t v = (sum < 0 ? -sum : sum) / divisor;
        d[x] = static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 255));
      }
      for (int k = 0; k < 3; ++k) bitmap.ReleaseLockedRow(rowsY[k]);
    }
    bitmap.ReleaseFileRows();
    out.ReleaseFileRows();
  }
  CopyRectTo(out, bitmap, x1, y1, x1, y1, x2 - x1, y2 - y1);
}

uint32_t ColorToARGB(TColor color, uint8_t alpha) {
  const TRGB c = ColorToTRGB(color);
  return (uint32_t(alpha) << 24) | PackRGB(c);
}

namespace {
void ThresholdHook(TRVBitmap& source, TRVBitmap& dest, int32_t threshold) {
  TRVProgressRec progress;
  ThresholdTo1Bit(source, dest, threshold, progress);
}
}  // namespace

void RVColorReductionStartup() {
  SetQuantizeHook(QuantizeToPalette8);
  SetThresholdTo1BitHook(ThresholdHook);
}

void RVColorReductionShutdown() {
  SetQuantizeHook(nullptr);
  SetThresholdTo1BitHook(nullptr);
}

}  // namespace rv
