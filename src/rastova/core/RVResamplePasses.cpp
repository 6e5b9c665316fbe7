// The fast linear, projection, area-weighted and 1-bit box passes of the resampling engine.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVDibBitmap.h"
#include "rastova/core/RVResample.h"
#include "rastova/core/RVResampleInternal.h"
#include "rastova/core/RVUtils.h"

namespace rv {

using namespace resample_detail;

namespace {

int32_t TruncI(long double v) { return common::TruncInt(v); }

// ---------------------------------------------------------------- fast linear

// Per-column (or per-row) tables of the fast linear passes: the first source position, the
// 17-bit fraction towards the next one and the end of the averaged span.
struct LinearAxis {
  std::vector<int32_t> q, f, e;
};

LinearAxis HorizontalAxis(int32_t dw, int32_t sw, double sx) {
  LinearAxis a;
  a.q.resize(static_cast<size_t>(dw));
  a.f.resize(static_cast<size_t>(dw));
  a.e.resize(static_cast<size_t>(dw));
  for (int32_t i = 0; i < dw; ++i) {
    double pos = i / sx;
    int32_t q = std::clamp(TruncI(pos), 0, sw - 1);
    a.q[static_cast<size_t>(i)] = q;
    a.f[static_cast<size_t>(i)] = TruncI((pos - q) * 131072.0);
    int32_t e = TruncI(std::min(i + 1, dw - 1) / sx + 1e-10);
    a.e[static_cast<size_t>(i)] = std::clamp(e, q, sw - 1);
  }
  return a;
}

// a + Floor((b - a) * f / 131072).
inline uint8_t Lerp17(int32_t a, int32_t b, int32_t f) { return static_cast<uint8_t>(a + (((b - a) * f) >> 17)); }

// Fast linear on `channels` interleaved 8-bit samples per pixel. `readRow` gives source row y
// as 8-bit samples; `writeRow` stores destination row y (`channels` samples per pixel).
template <class ReadRow, class WriteRow>
void FastLinearPasses(int32_t sw, int32_t sh, int32_t dw, int32_t dh, int32_t channels, bool alwaysInterpolate,
                      ReadRow readRow, WriteRow writeRow, ProgressReporter& progress) {
  const double sx = static_cast<double>(dw) / sw;
  const double sy = static_cast<double>(dh) / sh;
  const double step = 100.0 / (sh + dh + 0.5);
  TRVWorkBitmap work(dw, sh, channels * 8);
  std::vector<uint8_t*> rows(static_cast<size_t>(sh));
  for (int32_t y = 0; y < sh; ++y) {
    rows[static_cast<size_t>(y)] = work.GetScanline(y);
    if (!rows[static_cast<size_t>(y)]) throw std::bad_alloc();
  }
  LinearAxis ax = HorizontalAxis(dw, sw, sx);
  const bool interpH = alwaysInterpolate || sx > 1.0;
  for (int32_t y = 0; y < sh; ++y) {
    const uint8_t* src = readRow(y);
    uint8_t* dst = rows[static_cast<size_t>(y)];
    if (src) {
      for (int32_t i = 0; i < dw; ++i) {
        int32_t q = ax.q[static_cast<size_t>(i)];
        if (interpH) {
          int32_t q2 = std::min(q + 1, sw - 1);
          int32_t f = ax.f[static_cast<size_t>(i)];
          for (int32_t c = 0; c < channels; ++c)
            dst[i * channels + c] = Lerp17(src[q * channels + c], src[q2 * channels + c], f);
        } else {
          int32_t e = ax.e[static_cast<size_t>(i)];
          for (int32_t c = 0; c < channels; ++c) {
            int32_t sum = 0;
            for (int32_t k = q; k <= e; ++k) sum += src[k * channels + c];
            dst[i * channels + c] = static_cast<uint8_t>(sum / (e - q + 1));
          }
        }
      }
    }
    progress.Always(TruncI(step * y));
  }
  const bool interpV = alwaysInterpolate || sy > 1.0;
  std::vector<uint8_t> out(static_cast<size_t>(dw) * channels);
  for (int32_t j = 0; j < dh; ++j) {
    double pos = j / sy;
    int32_t row = std::clamp(TruncI(pos), 0, sh - 1);
    if (interpV) {
      int32_t f = TruncI((pos - row) * 131072.0);
      int32_t row2 = row + 1 < sh ? row + 1 : row;
      const uint8_t* a = rows[static_cast<size_t>(row)];
      const uint8_t* b = rows[static_cast<size_t>(row2)];
      for (int32_t k = 0; k < dw * channels; ++k) out[static_cast<size_t>(k)] = Lerp17(a[k], b[k], f);
    } else {
      int32_t last = std::clamp(TruncI(std::min(j + 1, dh - 1) / sy), row, sh - 1);
      int32_t n = last - row + 1;
      for (int32_t k = 0; k < dw * channels; ++k) {
        int32_t sum = 0;
        for (int32_t r = row; r <= last; ++r) sum += rows[static_cast<size_t>(r)][k];
        out[static_cast<size_t>(k)] = static_cast<uint8_t>(sum / n);
      }
    }
    writeRow(j, out.data());
    progress.Always(TruncI(step * (sh + j)));
  }
}

bool SameSize(TRVBaseBitmap& a, TRVBaseBitmap& b) {
  return a.GetWidth() == b.GetWidth() && a.GetHeight() == b.GetHeight();
}

}  // namespace

void ResampleFastLinear24(TRVBaseBitmap& source, TRVBaseBitmap& dest, void* sender, const TRVProgressEvent& onProgress) {
  const int32_t sw = source.GetWidth(), sh = source.GetHeight(), dw = dest.GetWidth(), dh = dest.GetHeight();
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  if (SameSize(source, dest)) {
    dest.Assign(&source);
    return;
  }
  AccessScope readOnly(source, 1);
  ProgressReporter progress(sender, onProgress);
  FastLinearPasses(
      sw, sh, dw, dh, 3, false, [&](int32_t y) -> const uint8_t* { return source.GetScanLine(y); },
      [&](int32_t y, const uint8_t* row) {
        uint8_t* d = dest.GetScanLine(y);
        if (d) std::memcpy(d, row, static_cast<size_t>(dw) * 3);
      },
      progress);
}

void ResampleFastLinearGray(TRVBaseBitmap& source, TRVBaseBitmap& dest, void* sender,
                            const TRVProgressEvent& onProgress) {
  const int32_t sw = source.GetWidth(), sh = source.GetHeight(), dw = dest.GetWidth(), dh = dest.GetHeight();
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  if (SameSize(source, dest)) {
    dest.Assign(&source);
    return;
  }
  if (source.GetBitCount() != 8 || dest.GetBitCount() != 8) return;
  AccessScope readOnly(source, 1);
  ProgressReporter progress(sender, onProgress);
  FastLinearPasses(
      sw, sh, dw, dh, 1, false, [&](int32_t y) -> const uint8_t* { return source.GetScanLine(y); },
      [&](int32_t y, const uint8_t* row) {
        uint8_t* d = dest.GetScanLine(y);
        if (d) std::memcpy(d, row, static_cast<size_t>(dw));
      },
      progress);
}

void ResampleFastLinearBW(TRVBaseBitmap& source, TRVBaseBitmap& dest, void* sender, const TRVProgressEvent& onProgress) {
  const int32_t sw = source.GetWidth(), sh = source.GetHeight(), dw = dest.GetWidth(), dh = dest.GetHeight();
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  if (SameSize(source, dest)) {
    dest.Assign(&source);
    return;
  }
  const double sx = static_cast<double>(dw) / sw, sy = static_cast<double>(dh) / sh;
  if (sx < 1.0 && sy < 1.0) {
    ReduceBWRectToGray(source, 0, 0, dest, sh - 1, sw - 1);
    return;
  }
  if (dest.GetBitCount() != 24) return;
  AccessScope readOnly(source, 1);
  ProgressReporter progress(sender, onProgress);
  std::vector<uint8_t> expanded(static_cast<size_t>(sw));
  FastLinearPasses(
      sw, sh, dw, dh, 1, true,
      [&](int32_t y) -> const uint8_t* {
        const uint8_t* s = source.GetScanLine(y);
        if (!s) return nullptr;
        for (int32_t x = 0; x < sw; ++x) expanded[static_cast<size_t>(x)] = GetBufferBit(s, x) ? 255 : 0;
        return expanded.data();
      },
      [&](int32_t y, const uint8_t* row) {
        uint8_t* d = dest.GetScanLine(y);
        if (!d) return;
        for (int32_t x = 0; x < dw; ++x) d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = row[x];
      },
      progress);
}

// ---------------------------------------------------------------- 1-bit box reduction

void ReduceBWRectToGray(TRVBaseBitmap& source, int32_t x1, int32_t y1, TRVBaseBitmap& dest, int32_t y2, int32_t x2) {
  const int32_t sw = source.GetWidth(), sh = source.GetHeight(), dw = dest.GetWidth(), dh = dest.GetHeight();
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  if (source.GetBitCount() != 1 || dest.GetBitCount() != 24) return;
  AccessScope readOnly(source, 1);
  const double fx = static_cast<double>(x2 - x1 + 1) / dw;
  const double fy = static_cast<double>(y2 - y1 + 1) / dh;
  const int32_t hy = TruncI(fy);
  std::vector<int32_t> c0(static_cast<size_t>(dw)), c1(static_cast<size_t>(dw));
  for (int32_t i = 0; i < dw; ++i) {
    c0[static_cast<size_t>(i)] = std::clamp(x1 + TruncI(fx * i - fx / 2), 0, sw - 1);
    c1[static_cast<size_t>(i)] = std::clamp(x1 + TruncI(fx * i + fx / 2), 0, sw - 1);
  }
  std::vector<int32_t> counts(static_cast<size_t>(dw));
  for (int32_t i = 0; i < dh; ++i) {
    int32_t r0 = std::clamp(y1 + TruncI(fy * i - fy / 2), 0, sh - 1);
    int32_t r1 = std::clamp(y1 + TruncI(fy * i + hy / 2.0), 0, sh - 1);
    std::fill(counts.begin(), counts.end(), 0);
    for (int32_t r = r0; r <= r1; ++r) {
      const uint8_t* s = source.GetScanLine(r);
      if (!s) continue;
      for (int32_t x = 0; x < dw; ++x) {
        int32_t n = 0;
        for (int32_t c = c0[static_cast<size_t>(x)]; c <= c1[static_cast<size_t>(x)]; ++c) n += GetBufferBit(s, c) ? 1 : 0;
        counts[static_cast<size_t>(x)] += n;
      }
    }
    uint8_t* d = dest.GetScanLine(i);
    if (!d) continue;
    for (int32_t x = 0; x < dw; ++x) {
      int64_t pixels = static_cast<int64_t>(r1 - r0 + 1) * (c1[static_cast<size_t>(x)] - c0[static_cast<size_t>(x)] + 1);
      auto v = static_cast<uint8_t>(255 * static_cast<int64_t>(counts[static_cast<size_t>(x)]) / pixels);
      d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = v;
    }
  }
}

// ---------------------------------------------------------------- projection

namespace {

// Shared walk of both projection passes; `boxMatches(row, c0, c1)` tells whether a source row
// has a dark (or light) pixel in columns c0..c1.
template <class Matches>
void ProjectPass(TRVBaseBitmap& source, TRVBaseBitmap& dest, bool whiteOnBlack, void* sender,
                 const TRVProgressEvent& onProgress, Matches boxMatches) {
  const int32_t sw = source.GetWidth(), sh = source.GetHeight();
  const int32_t dw = dest.GetWidth(), dh = dest.GetHeight();
  SwitchPixelFormat(dest, rv1g);
  if (dest.GetPixelFormat() != rv1g || sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  AccessScope readOnly(source, 1);
  AccessScope writeOnly(dest, 2);
  ProgressReporter progress(sender, onProgress);
  const double fx = static_cast<double>(sw) / dw, fy = static_cast<double>(sh) / dh;
  std::vector<int32_t> c(static_cast<size_t>(dw));
  for (int32_t k = 0; k < dw; ++k) c[static_cast<size_t>(k)] = std::clamp(TruncI(fx * k), 0, sw - 1);
  std::vector<uint8_t> hit(static_cast<size_t>(dw));
  const int32_t rowBytes = (dw + 7) / 8;
  std::vector<uint8_t> out(static_cast<size_t>(rowBytes));
  for (int32_t j = 0; j < dh; ++j) {
    int32_t r0 = j == 0 ? 0 : std::clamp(TruncI(fy * (j - 1)), 0, sh - 1);
    int32_t r1 = j == 0 ? 0 : std::clamp(TruncI(fy * j), r0, sh - 1);
    std::fill(hit.begin(), hit.end(), 0);
    for (int32_t r = r0; r <= r1; ++r) {
      const uint8_t* s = source.GetScanLine(r);
      if (!s) continue;
      for (int32_t k = 0; k < dw; ++k) {
        if (hit[static_cast<size_t>(k)]) continue;
        int32_t k0 = k == 0 ? 0 : c[static_cast<size_t>(k) - 1];
        int32_t k1 = k == 0 ? 0 : c[static_cast<size_t>(k)];
        if (boxMatches(s, k0, k1)) hit[static_cast<size_t>(k)] = 1;
      }
    }
    std::fill(out.begin(), out.end(), whiteOnBlack ? 0 : 0xFF);
    for (int32_t k = 0; k < dw; ++k)
      if (hit[static_cast<size_t>(k)]) SetBufferBit(out.data(), k, whiteOnBlack);
    uint8_t* d = dest.GetScanLine(j);
    if (d) std::memcpy(d, out.data(), static_cast<size_t>(rowBytes));
    progress.Always(TruncI(100.0 / (dh + 0.5) * j));
  }
}

}  // namespace

TRVBaseBitmap& ResampleProject24(TRVBaseBitmap& source, TRVBaseBitmap& dest, bool whiteOnBlack, void* sender,
                                 const TRVProgressEvent& onProgress) {
  if (source.GetBitCount() != 24) return dest;
  ProjectPass(source, dest, whiteOnBlack, sender, onProgress, [whiteOnBlack](const uint8_t* s, int32_t c0, int32_t c1) {
    for (int32_t c = c0; c <= c1; ++c) {
      const uint8_t* p = s + 3 * static_cast<int64_t>(c);
      if (whiteOnBlack ? (p[0] > 128 && p[1] > 128 && p[2] > 128) : (p[0] < 128 && p[1] < 128 && p[2] < 128))
        return true;
    }
    return false;
  });
  return dest;
}

TRVBaseBitmap& ResampleProjectBW1(TRVBaseBitmap& source, TRVBaseBitmap& dest, bool whiteOnBlack, void* sender,
                                  const TRVProgressEvent& onProgress) {
  if (source.GetBitCount() != 1) return dest;
  ProjectPass(source, dest, whiteOnBlack, sender, onProgress, [whiteOnBlack](const uint8_t* s, int32_t c0, int32_t c1) {
    for (int32_t c = c0; c <= c1; ++c)
      if (GetBufferBit(s, c) == whiteOnBlack) return true;
    return false;
  });
  return dest;
}

// ---------------------------------------------------------------- area-weighted passes

double CubicInterpolate(int32_t pm1, int32_t p0, int32_t p1, int32_t p2, double hi, double lo, double t) {
  auto inner = [](double u) { return u * u * u - 2.0 * u * u + 1.0; };
  auto outer = [](double u) { return -u * u * u + 5.0 * u * u - 8.0 * u + 4.0; };
  double v = outer(std::fabs(t + 1.0)) * pm1 + inner(std::fabs(t)) * p0 + inner(std::fabs(t - 1.0)) * p1 +
             outer(std::fabs(t - 2.0)) * p2;
  if (v < lo) v = lo;
  if (v > hi) v = hi;
  return v;
}

namespace {

// One segment of an axis cut at every source and destination pixel boundary.
struct Segment {
  double length;
  double param;       // where the segment ends inside its source pixel (1 at its far edge)
  int32_t srcIndex;   // source pixel the segment lies in (bounded to the source)
  int32_t dstIndex;   // destination pixel it belongs to (may equal the size for a last empty piece)
  bool endsOnSource;  // otherwise on a destination boundary
};

// Exactly srcSize + dstSize segments: every boundary of either grid ends one segment.
std::vector<Segment> CutAxis(int32_t srcSize, int32_t dstSize, double g) {
  std::vector<Segment> segs;
  segs.reserve(static_cast<size_t>(srcSize) + static_cast<size_t>(dstSize));
  int32_t sp = 0, dp = 0;
  double pos = 0.0;
  for (int64_t n = 0; n < static_cast<int64_t>(srcSize) + dstSize; ++n) {
    double b = sp + 1.0;
    double t = (dp + 1.0) * g;
    Segment s{};
    s.srcIndex = std::min(sp, srcSize - 1);
    s.dstIndex = dp;
    if (b + 0.0001 >= t) {
      s.length = t - pos;
      s.param = t - sp;
      s.endsOnSource = false;
      pos = t;
      ++dp;
    } else {
      s.length = b - pos;
      s.param = 1.0;
      s.endsOnSource = true;
      pos = b;
      ++sp;
    }
    segs.push_back(s);
  }
  return segs;
}

template <class T>
void AreaInterp(TRVBaseBitmap& source, TRVBaseBitmap& dest, int32_t channels, bool bicubic, double maxValue,
                void* sender, const TRVProgressEvent& onProgress) {
  const int32_t sw = source.GetWidth(), sh = source.GetHeight(), dw = dest.GetWidth(), dh = dest.GetHeight();
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  AccessScope readOnly(source, 1);
  ProgressReporter progress(sender, onProgress);
  const double gx = static_cast<double>(sw) / dw, gy = static_cast<double>(sh) / dh;
  const bool interpH = gx < 1.0, interpV = gy < 1.0;
  const std::vector<Segment> hsegs = CutAxis(sw, dw, gx);
  const std::vector<Segment> vsegs = CutAxis(sh, dh, gy);
  const double norm = 1.0 / (gx * gy);

  // Four source rows held as copies (a file-backed source keeps only one row valid).
  const size_t rowSamples = static_cast<size_t>(sw) * channels;
  struct Slot {
    int32_t row = -1;
    std::vector<T> data;
  };
  Slot slots[4];
  for (Slot& s : slots) s.data.assign(rowSamples, 0);
  auto fetch = [&](int32_t row, const int32_t (&needed)[4]) -> const T* {
    for (Slot& s : slots)
      if (s.row == row) return s.data.data();
    for (Slot& s : slots) {
      if (std::find(std::begin(needed), std::end(needed), s.row) != std::end(needed)) continue;
      const uint8_t* p = source.GetScanLine(row);
      if (p) std::memcpy(s.data.data(), p, rowSamples * sizeof(T));
      else std::fill(s.data.begin(), s.data.end(), T(0));
      s.row = row;
      return s.data.data();
    }
    return slots[0].data.data();
  };

  std::vector<double> acc(static_cast<size_t>(dw) * channels, 0.0);
  std::vector<T> out(static_cast<size_t>(dw) * channels);
  int32_t rowsDone = 0;
  for (const Segment& vs : vsegs) {
    const int32_t sy = vs.srcIndex;
    const int32_t needed[4] = {std::max(sy - 1, 0), sy, std::min(sy + 1, sh - 1), std::min(sy + 2, sh - 1)};
    const T* rows[4];
    for (int i = 0; i < 4; ++i) rows[i] = fetch(needed[i], needed);
    const double e = vs.param;
    if (vs.length != 0.0 && vs.dstIndex < dh) {
      for (const Segment& hs : hsegs) {
        if (hs.dstIndex >= dw || hs.length == 0.0) continue;
        const int32_t x = hs.srcIndex;
        const int32_t xl = std::max(x - 1, 0), xr = std::min(x + 1, sw - 1);
        const int32_t xr2 = x + 2 < sw ? x + 2 : xr;
        const double p = hs.param;
        const double area = hs.length * vs.length;
        double* a = &acc[static_cast<size_t>(hs.dstIndex) * channels];
        for (int32_t c = 0; c < channels; ++c) {
          auto at = [&](int r, int32_t col) { return static_cast<int32_t>(rows[r][col * channels + c]); };
          double v;
          if (!interpH && !interpV) {
            v = at(1, x);
          } else if (!bicubic) {
            if (interpH && interpV)
              v = (1 - e) * ((1 - p) * at(1, x) + p * at(1, xr)) + e * ((1 - p) * at(2, x) + p * at(2, xr));
            else if (interpH)
              v = (1 - p) * at(1, x) + p * at(1, xr);
            else
              v = (1 - e) * at(1, x) + e * at(2, x);
          } else {
            if (interpH && interpV) {
              int32_t r4[4];
              for (int r = 0; r < 4; ++r)
                r4[r] = common::RoundInt(CubicInterpolate(at(r, xl), at(r, x), at(r, xr), at(r, xr2), maxValue, 0, p));
              v = CubicInterpolate(r4[0], r4[1], r4[2], r4[3], maxValue, 0, e);
            } else if (interpH) {
              v = CubicInterpolate(at(1, xl), at(1, x), at(1, xr), at(1, xr2), maxValue, 0, p);
            } else {
              v = CubicInterpolate(at(0, x), at(1, x), at(2, x), at(3, x), maxValue, 0, e);
            }
          }
          a[c] += v * area;
        }
      }
    }
    if (!vs.endsOnSource && rowsDone < dh) {
      for (size_t i = 0; i < acc.size(); ++i) {
        int64_t v = common::Round(static_cast<long double>(acc[i] * norm));
        out[i] = static_cast<T>(v < 0 ? 0 : (v > static_cast<int64_t>(maxValue) ? static_cast<int64_t>(maxValue) : v));
      }
      uint8_t* d = dest.GetScanLine(rowsDone);
      if (d) std::memcpy(d, out.data(), out.size() * sizeof(T));
      std::fill(acc.begin(), acc.end(), 0.0);
      ++rowsDone;
      progress.Always(TruncI(static_cast<double>(rowsDone) / dh * 100.0));
    }
  }
}

}  // namespace

void ResampleAreaInterp8(TRVBaseBitmap& source, TRVBaseBitmap& dest, bool bicubic, void* sender,
                         const TRVProgressEvent& onProgress) {
  TRVPixelFormat f = source.GetPixelFormat();
  if ((f != rv8g && f != rv24RGB) || dest.GetPixelFormat() != f) return;
  AreaInterp<uint8_t>(source, dest, f == rv24RGB ? 3 : 1, bicubic, 255.0, sender, onProgress);
}

void ResampleAreaInterp16(TRVBaseBitmap& source, TRVBaseBitmap& dest, bool bicubic, void* sender,
                          const TRVProgressEvent& onProgress) {
  TRVPixelFormat f = source.GetPixelFormat();
  if ((f != rv16g && f != rv48RGB) || dest.GetPixelFormat() != f) return;
  AreaInterp<uint16_t>(source, dest, f == rv48RGB ? 3 : 1, bicubic, 65535.0, sender, onProgress);
}

}  // namespace rv
