// Rotation by any angle (nearest pixel, bilinear, bicubic), exact quarter and half turns of
// every pixel format, flips and the EXIF orientation step.
#include "rastova/core/RVRotate.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVBitmapInternal.h"
#include "rastova/core/RVRectCopy.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RVUtils.h"

namespace rv {

namespace {

constexpr long double kPi = 3.141592653589793238462643383279502884L;

// Nearest integer, halves to the even neighbour, for values known to be small and finite.
inline int32_t NearestI(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

int32_t PixelBytes(TRVBitmap& b) { return b.GetBitCount() / 8; }

inline void CopyPixel(uint8_t* d, const uint8_t* s, int32_t n) {
  switch (n) {
    case 1:
      *d = *s;
      break;
    case 2:
      std::memcpy(d, s, 2);
      break;
    case 3:
      std::memcpy(d, s, 3);
      break;
    case 4:
      std::memcpy(d, s, 4);
      break;
    case 6:
      std::memcpy(d, s, 6);
      break;
    default:
      std::memcpy(d, s, static_cast<size_t>(n));
      break;
  }
}

// Holds every row of an image for the duration of a routine (file-backed images keep each
// held row mapped), releasing them at the end.
class HeldRows {
 public:
  HeldRows(TRVBitmap& b, uint8_t mode) : b_(b), scope_(b, mode) {
    const int32_t h = b.GetHeight();
    rows_.resize(static_cast<size_t>(std::max(h, 0)));
    for (int32_t y = 0; y < h; ++y) rows_[static_cast<size_t>(y)] = b.GetLockedRow(y);
  }
  ~HeldRows() {
    try {
      b_.ReleaseFileRows();
    } catch (...) {
    }
  }
  HeldRows(const HeldRows&) = delete;
  HeldRows& operator=(const HeldRows&) = delete;
  uint8_t* operator[](int32_t y) const { return rows_[static_cast<size_t>(y)]; }

 private:
  TRVBitmap& b_;
  RowAccessScope scope_;
  std::vector<uint8_t*> rows_;
};

bool AllocateLike(TRVBitmap& dest, TRVBitmap& source, int32_t w, int32_t h) {
  if (&dest == &source) return false;
  dest.MemoryThreshold = source.MemoryThreshold;
  if (!dest.Allocate(w, h, source.GetPixelFormat())) return false;
  if (source.GetPixelFormat() == rv8p) source.CopyPaletteTo(&dest);
  return true;
}

enum class Turn { CCW, CW, Half };

// Exact turns of any pixel format.
void TurnExact(TRVBitmap& source, TRVBitmap& dest, Turn turn) {
  const int32_t w = source.GetWidth(), h = source.GetHeight();
  const TRVPixelFormat f = source.GetPixelFormat();
  if (f == rvNone || source.IsEmpty()) return;
  const int32_t dw = turn == Turn::Half ? w : h, dh = turn == Turn::Half ? h : w;
  if (!AllocateLike(dest, source, dw, dh)) return;
  HeldRows src(source, 1);
  RowAccessScope wo(dest, 2);
  const int32_t n = PixelBytes(source);
  for (int32_t dy = 0; dy < dh; ++dy) {
    uint8_t* d = dest.GetScanLine(dy);
    if (f == rv1g) {
      std::memset(d, 0, static_cast<size_t>(dest.GetRowLen()));
      for (int32_t dx = 0; dx < dw; ++dx) {
        bool bit;
        if (turn == Turn::Half)
          bit = GetBufferBit(src[h - 1 - dy], w - 1 - dx);
        else if (turn == Turn::CCW)
          bit = GetBufferBit(src[dx], w - 1 - dy);  // (x, y) -> (y, W-1-x)
        else
          bit = GetBufferBit(src[h - 1 - dx], dy);  // (x, y) -> (H-1-y, x)
        if (bit) d[dx >> 3] |= static_cast<uint8_t>(0x80 >> (dx & 7));
      }
    } else if (turn == Turn::Half) {
      const uint8_t* s = src[h - 1 - dy];
      for (int32_t dx = 0; dx < dw; ++dx) CopyPixel(d + int64_t(dx) * n, s + int64_t(w - 1 - dx) * n, n);
    } else if (turn == Turn::CCW) {
      const int64_t sx = int64_t(w - 1 - dy) * n;
      for (int32_t dx = 0; dx < dw; ++dx) CopyPixel(d + int64_t(dx) * n, src[dx] + sx, n);
    } else {
      const int64_t sx = int64_t(dy) * n;
      for (int32_t dx = 0; dx < dw; ++dx) CopyPixel(d + int64_t(dx) * n, src[h - 1 - dx] + sx, n);
    }
  }
  dest.ReleaseFileRows();
}

// ---------------------------------------------------------------- interpolation

// A source of one or three 8-bit channels with the rotation's 3-pixel border: bordered
// pixel (x, y) is the image's (x - 3, y - 3), and everything outside the image is background.
template <int N>
struct BorderedSource {
  const HeldRows* rows;
  int32_t w, h;
  uint8_t bg[3];
  inline const uint8_t* At(int32_t bx, int32_t by) const {
    const int32_t x = bx - 3, y = by - 3;
    if (static_cast<uint32_t>(x) >= static_cast<uint32_t>(w) ||
        static_cast<uint32_t>(y) >= static_cast<uint32_t>(h))
      return bg;
    return (*rows)[y] + int64_t(x) * N;
  }
  inline bool Inside(int32_t bx0, int32_t by0, int32_t bx1, int32_t by1) const {
    return bx0 - 3 >= 0 && by0 - 3 >= 0 && bx1 - 3 < w && by1 - 3 < h;
  }
};

template <int N>
inline void SampleBilinear(const BorderedSource<N>& s, double x, double y, uint8_t* out) {
  const int32_t x0 = static_cast<int32_t>(x), y0 = static_cast<int32_t>(y);  // Trunc
  const double fx = x - std::floor(x), fy = y - std::floor(y);
  const uint8_t *p00, *p10, *p01, *p11;
  if (s.Inside(x0, y0, x0 + 1, y0 + 1)) {
    p00 = (*s.rows)[y0 - 3] + int64_t(x0 - 3) * N;
    p10 = p00 + N;
    p01 = (*s.rows)[y0 - 2] + int64_t(x0 - 3) * N;
    p11 = p01 + N;
  } else {
    p00 = s.At(x0, y0);
    p10 = s.At(x0 + 1, y0);
    p01 = s.At(x0, y0 + 1);
    p11 = s.At(x0 + 1, y0 + 1);
  }
  for (int c = 0; c < N; ++c) {
    const double top = p00[c] + (p10[c] - p00[c]) * fx;
    const double bottom = p01[c] + (p11[c] - p01[c]) * fx;
    out[c] = static_cast<uint8_t>(std::clamp(static_cast<int32_t>(top + (bottom - top) * fy), 0, 255));
  }
}

inline void CubicWeights(double t, double w[4]) {
  const double t2 = t * t, t3 = t2 * t;
  w[0] = -t * (1 - t) * (1 - t);
  w[1] = 1 - 2 * t2 + t3;
  w[2] = t * (1 + t - t2);
  w[3] = t3 - t2;
}

template <int N>
inline void SampleBicubic(const BorderedSource<N>& s, double x, double y, uint8_t* out) {
  const int32_t x0 = static_cast<int32_t>(x), y0 = static_cast<int32_t>(y);  // Trunc
  double wx[4], wy[4];
  CubicWeights(x - x0, wx);
  CubicWeights(y - y0, wy);
  double acc[N] = {};
  const bool inside = s.Inside(x0 - 1, y0 - 1, x0 + 2, y0 + 2);
  for (int j = 0; j < 4; ++j) {
    double row[N] = {};
    if (inside) {
      const uint8_t* p = (*s.rows)[y0 - 4 + j] + int64_t(x0 - 4) * N;
      for (int i = 0; i < 4; ++i, p += N)
        for (int c = 0; c < N; ++c) row[c] += p[c] * wx[i];
    } else {
      for (int i = 0; i < 4; ++i) {
        const uint8_t* p = s.At(x0 - 1 + i, y0 - 1 + j);
        for (int c = 0; c < N; ++c) row[c] += p[c] * wx[i];
      }
    }
    for (int c = 0; c < N; ++c) acc[c] += row[c] * wy[j];
  }
  for (int c = 0; c < N; ++c) {
    // A negative overshoot comes back as its absolute value. The sum of 16 weighted bytes is
    // finite and small, so the conversion truncates safely.
    const int32_t v = static_cast<int32_t>(acc[c]);
    out[c] = static_cast<uint8_t>(std::min(v < 0 ? -v : v, 255));
  }
}

template <int N>
void RotateInterpolated(TRVBitmap& bitmap, const uint8_t* background, int32_t quality, void* sender,
                        const TRVProgressEvent& onProgress, double angle) {
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  const long double a = static_cast<long double>(angle) * kPi / 180;
  const double sn = static_cast<double>(std::sin(a)), cs = static_cast<double>(std::cos(a));
  const int32_t bw = w + 6, bh = h + 6;
  const int32_t nw = common::RoundInt(std::fabs(sn) * (bh - 1) + std::fabs(cs) * (bw - 1));
  const int32_t nh = common::RoundInt(std::fabs(cs) * (bh - 1) + std::fabs(sn) * (bw - 1));
  const int32_t fw = nw - 6, fh = nh - 6;
  if (fw <= 0 || fh <= 0) return;
  TRVBitmap out;
  if (!AllocateLike(out, bitmap, fw, fh)) return;
  if (quality != 1 && quality != 2) {
    // No sampler for this quality: the picture becomes background rather than undefined memory.
    RowAccessScope wo(out, 2);
    for (int32_t y = 0; y < fh; ++y) {
      uint8_t* d = out.GetScanLine(y);
      for (int32_t i = 0; i < fw; ++i) std::memcpy(d + int64_t(i) * N, background, N);
    }
    out.ReleaseFileRows();
  }
  {
    HeldRows rows(bitmap, 1);
    BorderedSource<N> src{
        &rows, w, h, {background[0], N > 1 ? background[1] : uint8_t(0), N > 2 ? background[2] : uint8_t(0)}};
    const double cx = (bw - 1) / 2.0, cy = (bh - 1) / 2.0;
    const double cxd = (nw - 1) / 2.0, cyd = (nh - 1) / 2.0;
    std::vector<double> colX(static_cast<size_t>(fw)), colY(static_cast<size_t>(fw));
    for (int32_t i = 0; i < fw; ++i) {
      colX[static_cast<size_t>(i)] = (i + 3 - cxd) * cs + cx;
      colY[static_cast<size_t>(i)] = (i + 3 - cxd) * sn + cy;
    }
    auto runRows = [&](int32_t from, int32_t to, bool report) {
      for (int32_t y = from; y < to; ++y) {
        uint8_t* d = out.GetScanLine(y);
        const double dy = y + 3 - cyd;
        const double ox = -dy * sn, oy = dy * cs;
        if (quality == 1) {
          for (int32_t i = 0; i < fw; ++i)
            SampleBilinear<N>(src, colX[static_cast<size_t>(i)] + ox, colY[static_cast<size_t>(i)] + oy,
                              d + int64_t(i) * N);
        } else if (quality == 2) {
          for (int32_t i = 0; i < fw; ++i)
            SampleBicubic<N>(src, colX[static_cast<size_t>(i)] + ox, colY[static_cast<size_t>(i)] + oy,
                             d + int64_t(i) * N);
        }
        // The calling thread's band stands for the whole when bands run side by side.
        if (report && onProgress)
          onProgress(sender, static_cast<int32_t>(int64_t(y - from) * 100 / (to - from)));
      }
    };
    // Bands of rows on worker threads when both images are plain memory.
    const int64_t work = int64_t(fw) * fh;
    const int32_t threads = std::min<int32_t>(GetProcessorCoreCount(), 8);
    if (work >= (1 << 18) && threads > 1 && bitmap.GetLocation() == rvInMemory &&
        out.GetLocation() == rvInMemory) {
      TRVThreadPool pool;
      const int32_t band = (fh + threads - 1) / threads;
      for (int32_t t = 1; t < threads; ++t) {
        const int32_t from = t * band, to = std::min(fh, from + band);
        if (from < to) pool.Add([&runRows, from, to] { runRows(from, to, false); });
      }
      runRows(0, std::min(band, fh), true);
      pool.WaitAll();
    } else {
      runRows(0, fh, true);
    }
  }
  out.ReleaseFileRows();
  TakeImage(bitmap, out);
}

}  // namespace

// ---------------------------------------------------------------- public routines

bool IsMultipleOf90(double angle) {
  if (!std::isfinite(angle)) return false;
  if (common::Frac(angle) != 0) return false;
  return common::Trunc(angle) % 90 == 0;
}

void Rotate90CW(TRVBitmap& source, TRVBitmap& dest) { TurnExact(source, dest, Turn::CW); }
void Rotate90CCW(TRVBitmap& source, TRVBitmap& dest) { TurnExact(source, dest, Turn::CCW); }
void Rotate180(TRVBitmap& source, TRVBitmap& dest) { TurnExact(source, dest, Turn::Half); }

void Rotate90CW24(TRVBitmap& source, TRVBitmap& dest) {
  if (source.GetBitCount() == 24) TurnExact(source, dest, Turn::CW);
}
void Rotate90CCW24(TRVBitmap& source, TRVBitmap& dest) {
  if (source.GetBitCount() == 24) TurnExact(source, dest, Turn::CCW);
}
void Rotate90CW8(TRVBitmap& source, TRVBitmap& dest) {
  if (source.GetBitCount() == 8) TurnExact(source, dest, Turn::CW);
}
void Rotate90CCW8(TRVBitmap& source, TRVBitmap& dest) {
  if (source.GetBitCount() == 8) TurnExact(source, dest, Turn::CCW);
}

void RotateBitmapTo(TRVBitmap& source, TRVBitmap& dest, double background, void* sender,
                    const TRVProgressEvent& onProgress, double angle) {
  if (&source == &dest || source.IsEmpty() || source.GetPixelFormat() == rvNone || !std::isfinite(angle))
    return;
  if (IsMultipleOf90(angle)) {
    switch (common::Trunc(angle) % 360) {
      case 90:
      case -270:
        TurnExact(source, dest, Turn::CCW);
        break;
      case 180:
      case -180:
        TurnExact(source, dest, Turn::Half);
        break;
      case 270:
      case -90:
        TurnExact(source, dest, Turn::CW);
        break;
      default:
        dest.Assign(&source);
        break;
    }
    return;
  }
  const int32_t w = source.GetWidth(), h = source.GetHeight();
  const long double a = static_cast<long double>(angle) * kPi / 180;
  const double sn = static_cast<double>(std::sin(a)), cs = static_cast<double>(std::cos(a));
  const int32_t dw = common::RoundInt(std::fabs(sn * h) + std::fabs(cs * w));
  const int32_t dh = common::RoundInt(std::fabs(cs * h) + std::fabs(sn * w));
  if (dw <= 0 || dh <= 0) return;
  if (!AllocateLike(dest, source, dw, dh)) return;
  const bool bits = source.GetPixelFormat() == rv1g;
  dest.Fill(bits ? 0.0 : background);
  const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0, cxd = (dw - 1) / 2.0, cyd = (dh - 1) / 2.0;
  std::vector<int32_t> sx(static_cast<size_t>(dw)), sy(static_cast<size_t>(dw));
  for (int32_t i = 0; i < dw; ++i) {
    sx[static_cast<size_t>(i)] = NearestI((i - cxd) * cs + cx);
    sy[static_cast<size_t>(i)] = NearestI((i - cxd) * sn + cy);
  }
  const int32_t n = PixelBytes(source);
  HeldRows src(source, 1);
  RowAccessScope rw(dest, 3);
  for (int32_t y = 0; y < dh; ++y) {
    const int32_t ds = NearestI((y - cyd) * sn), dc = NearestI((y - cyd) * cs);
    uint8_t* d = dest.GetScanLine(y);
    for (int32_t i = 0; i < dw; ++i) {
      const int32_t x0 = sx[static_cast<size_t>(i)] - ds, y0 = sy[static_cast<size_t>(i)] + dc;
      if (static_cast<uint32_t>(x0) >= static_cast<uint32_t>(w) ||
          static_cast<uint32_t>(y0) >= static_cast<uint32_t>(h))
        continue;
      if (bits) {
        if (GetBufferBit(src[y0], x0)) d[i >> 3] |= static_cast<uint8_t>(0x80 >> (i & 7));
      } else {
        CopyPixel(d + int64_t(i) * n, src[y0] + int64_t(x0) * n, n);
      }
    }
    if (onProgress) onProgress(sender, static_cast<int32_t>(int64_t(y) * 100 / dh));
  }
  dest.ReleaseFileRows();
  dest.Full = false;
}

void RotateBitmapNearest(TRVBitmap& bitmap, double background, void* sender,
                         const TRVProgressEvent& onProgress, double angle) {
  if (bitmap.IsEmpty()) return;
  TRVBitmap turned;
  RotateBitmapTo(bitmap, turned, background, sender, onProgress, angle);
  if (turned.IsEmpty()) return;
  turned.ReplaceAlphaBitmap(nullptr);  // an exact copy carries the alpha channel; it stays the bitmap's own
  TakeImage(bitmap, turned);
}

void RotateInterpolated24(TRVBitmap& bitmap, TColor background, int32_t quality, void* sender,
                          const TRVProgressEvent& onProgress, double angle) {
  if (bitmap.GetPixelFormat() != rv24RGB || bitmap.IsEmpty() || !std::isfinite(angle)) return;
  const TRGB bg = ColorToTRGB(background);
  const uint8_t bytes[3] = {bg.b, bg.g, bg.r};
  RotateInterpolated<3>(bitmap, bytes, quality, sender, onProgress, angle);
}

void RotateInterpolatedGray(TRVBitmap& bitmap, uint8_t background, int32_t quality, double angle) {
  const TRVPixelFormat f = bitmap.GetPixelFormat();
  if ((f != rv8g && f != rv8p) || bitmap.IsEmpty() || !std::isfinite(angle)) return;
  RotateInterpolated<1>(bitmap, &background, quality, nullptr, TRVProgressEvent(), angle);
}

void FlipBitmap(TRVBitmap& bitmap, int32_t direction) {
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  if (bitmap.IsEmpty() || bitmap.GetPixelFormat() == rvNone) return;
  const int32_t n = PixelBytes(bitmap);
  {
    RowAccessScope rw(bitmap, 3);
    if (direction == 0) {
      std::vector<uint8_t> tmp(static_cast<size_t>(bitmap.GetRowLen()) + 1);
      for (int32_t y = 0; y < h; ++y) {
        uint8_t* r = bitmap.GetScanLine(y);
        if (n == 0) {
          // Reverse the bytes and the bits of each, then shift the run back to bit 0.
          const int32_t bytes = (w + 7) / 8;
          for (int32_t i = 0; i < bytes; ++i) {
            uint8_t b = r[bytes - 1 - i];
            ReverseBitsInByte(b);
            tmp[static_cast<size_t>(i)] = b;
          }
          CopyBitBlock(tmp.data(), r, bytes * 8 - w, 0, w);
        } else {
          for (int32_t i = 0, j = w - 1; i < j; ++i, --j) {
            std::memcpy(tmp.data(), r + int64_t(i) * n, static_cast<size_t>(n));
            std::memcpy(r + int64_t(i) * n, r + int64_t(j) * n, static_cast<size_t>(n));
            std::memcpy(r + int64_t(j) * n, tmp.data(), static_cast<size_t>(n));
          }
        }
      }
    } else if (direction == 1) {
      const size_t len = static_cast<size_t>(bitmap.GetRowLen());
      std::vector<uint8_t> tmp(len);
      for (int32_t y = 0, z = h - 1; y < z; ++y, --z) {
        uint8_t* a = bitmap.GetLockedRow(y);
        uint8_t* b = bitmap.GetLockedRow(z);
        std::memcpy(tmp.data(), a, len);
        std::memcpy(a, b, len);
        std::memcpy(b, tmp.data(), len);
        bitmap.ReleaseLockedRow(z);
        bitmap.ReleaseLockedRow(y);
      }
    }
    bitmap.ReleaseFileRows();
  }
  if (bitmap.HasAlphaBitmap()) FlipBitmap(*bitmap.AlphaBitmap(), direction);
}

void ApplyEXIFOrientation(TRVBitmap& bitmap, int32_t orientation) {
  if (orientation < 2 || orientation > 8 || bitmap.IsEmpty()) return;
  // Quarter turns of the image and of its alpha channel.
  auto turn = [&bitmap](bool clockwise) { RotateBitmap(bitmap, false, {}, nullptr, TRGB{}, clockwise ? -90 : 90); };
  switch (orientation) {
    case 2:
      FlipBitmap(bitmap, 0);
      break;
    case 3:
      FlipBitmap(bitmap, 1);
      FlipBitmap(bitmap, 0);
      break;
    case 4:
      FlipBitmap(bitmap, 1);
      break;
    case 5:  // transpose: (x, y) -> (y, x)
      turn(true);
      FlipBitmap(bitmap, 0);
      break;
    case 6:
      turn(true);
      break;
    case 7:  // transverse: (x, y) -> (H - 1 - y, W - 1 - x)
      turn(false);
      FlipBitmap(bitmap, 0);
      break;
    case 8:
      turn(false);
      break;
    default:
      break;
  }
}

}  // namespace rv
