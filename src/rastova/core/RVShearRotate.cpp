// Three-shear rotation with 12-bit blending of neighbours, and the nearest-pixel rotations
// of 1-bit and 8-bit images.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVBitmapInternal.h"
#include "rastova/core/RVRectCopy.h"
#include "rastova/core/RVRotate.h"
#include "rastova/core/RVUtils.h"

namespace rv {

namespace {

constexpr long double kPi = 3.141592653589793238462643383279502884L;

inline int32_t NearestI(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

// One channel of a blend of the previous pixel (weight e) and the current one (weight f,
// e + f = 4096), rounded once to the nearest integer. e may be negative: the blend then
// extrapolates and is clamped.
inline uint8_t Blend(int32_t prev, int32_t cur, int32_t e, int32_t f) {
  return ClampToByte(NearestI(static_cast<double>(prev * e + cur * f) / 4096.0));
}

template <int N>
inline void BlendPixel(uint8_t* out, const uint8_t* prev, const uint8_t* cur, int32_t e, int32_t f) {
  for (int c = 0; c < N; ++c) out[c] = Blend(prev[c], cur[c], e, f);
}

template <int N>
inline void FillPixels(uint8_t* p, int64_t count, const uint8_t* bg) {
  for (int64_t i = 0; i < count; ++i, p += N) std::memcpy(p, bg, N);
}

template <int N>
void QuarterTurn(TRVBitmap& source, TRVBitmap& dest, bool clockwise) {
  if (N == 3) {
    if (clockwise)
      Rotate90CW24(source, dest);
    else
      Rotate90CCW24(source, dest);
  } else {
    if (clockwise)
      Rotate90CW8(source, dest);
    else
      Rotate90CCW8(source, dest);
  }
}

template <int N>
void ShearRotate(TRVBitmap& bitmap, double angle, bool antialias, const uint8_t* bg,
                 const TRVProgressEvent& onProgress, void* sender) {
  if (angle == 0 || !std::isfinite(angle) || bitmap.IsEmpty()) return;
  angle = static_cast<double>(common::Trunc(static_cast<long double>(angle) * 1000) % 360000) / 1000.0;
  TRVBitmap turned;
  TRVBitmap* t = &bitmap;  // the image the shears read
  while (angle > 45) {
    QuarterTurn<N>(bitmap, turned, false);
    angle -= 90;
    t = &turned;
    if (angle > 45) TakeImage(bitmap, turned);
  }
  while (angle < -45) {
    QuarterTurn<N>(bitmap, turned, true);
    angle += 90;
    t = &turned;
    if (angle < -45) TakeImage(bitmap, turned);
  }
  if (angle == 0) {
    if (t != &bitmap) TakeImage(bitmap, turned);
    return;
  }
  if (t->IsEmpty()) return;
  const long double theta = static_cast<long double>(angle) * kPi / 180;
  const int32_t w = t->GetWidth(), h = t->GetHeight();
  const double tau = static_cast<double>(std::fabs(std::sin(theta / 2) / std::cos(theta / 2)));
  const double sigma = static_cast<double>(std::fabs(std::sin(theta)));
  const bool positive = theta > 0;
  const int32_t w1 = NearestI(h * tau + w + 1);
  const int32_t s1 = NearestI((w1 - w) * sigma);
  int32_t h2 = NearestI(sigma * w1 + h + 1);
  const int32_t s2 = NearestI(tau * (h2 - h - s1));
  h2 = NearestI(h2 - 2.0 * s1);
  const int32_t w3 = NearestI(tau * h2 + w1 + 1 - 2.0 * s2);
  if (w1 <= 0 || h2 <= 0 || w3 <= 0) return;
  const double step = 100.0 / (h + w1 + h2);
  auto report = [&](int64_t k) {
    if (onProgress) onProgress(sender, static_cast<int32_t>(common::Trunc(k * step)));
  };

  // Pass 1: horizontal shear of the source into W1 x H.
  std::vector<uint8_t> work1(static_cast<size_t>(int64_t(w1) * h * N));
  {
    RowAccessScope ro(*t, 1);
    for (int32_t y = 0; y < h; ++y) {
      const double c = positive ? tau * y : tau * (h - y);
      const int32_t n = NearestI(c);
      uint8_t* row = work1.data() + int64_t(y) * w1 * N;
      const uint8_t* s = t->GetScanLine(y);
      FillPixels<N>(row, w1, bg);
      if (antialias) {
        const int32_t e = static_cast<int32_t>(common::Trunc((c - n) * 4096.0L));
        const int32_t f = 4096 - e;
        const uint8_t* prev = bg;
        for (int32_t x = 0; x < w; ++x) {
          const int32_t col = n + x;
          if (col >= 0 && col < w1) BlendPixel<N>(row + int64_t(col) * N, prev, s + int64_t(x) * N, e, f);
          prev = s + int64_t(x) * N;
        }
        if (e > 0 && n + w < w1 && n + w >= 0) BlendPixel<N>(row + int64_t(n + w) * N, prev, bg, e, f);
      } else {
        for (int32_t x = 0; x < w; ++x) {
          const int32_t col = n + x;
          if (col >= 0 && col < w1) std::memcpy(row + int64_t(col) * N, s + int64_t(x) * N, N);
        }
      }
      report(y);
    }
    t->ReleaseFileRows();
  }
  if (t == &turned) turned.FreeImage(true);

  // Pass 2: vertical shear into W1 x H2. This pass and the last blend neighbours whether or not
  // antialiasing is asked for; the flag only governs the first shear.
  std::vector<uint8_t> work2(static_cast<size_t>(int64_t(w1) * h2 * N));
  for (int32_t x = 0; x < w1; ++x) {
    const double c = positive ? sigma * (w1 - x) : sigma * x;
    const int32_t n = NearestI(c);
    const int32_t e = NearestI((c - n) * 4096);
    const int32_t f = 4096 - e;
    const int32_t d = n - s1;
    for (int32_t y = 0; y < h2; ++y) std::memcpy(work2.data() + (int64_t(y) * w1 + x) * N, bg, N);
    const uint8_t* prev = bg;
    for (int32_t y = 0; y < h; ++y) {
      const int32_t ty = y + d;
      if (ty < 0 || ty >= h2) continue;
      const uint8_t* cur = work1.data() + (int64_t(y) * w1 + x) * N;
      BlendPixel<N>(work2.data() + (int64_t(ty) * w1 + x) * N, prev, cur, e, f);
      prev = cur;
    }
    if (e > 0 && d + h < h2 && d + h >= 0)
      BlendPixel<N>(work2.data() + (int64_t(d + h) * w1 + x) * N, prev, bg, e, f);
    report(int64_t(h) + x);
  }
  std::vector<uint8_t>().swap(work1);

  // Pass 3: horizontal shear into the image, now W3 x H2.
  bitmap.SetWidth(w3);
  bitmap.SetHeight(h2);
  if (bitmap.GetWidth() != w3 || bitmap.GetHeight() != h2) return;
  RowAccessScope wo(bitmap, 2);
  for (int32_t y = 0; y < h2; ++y) {
    const double c = positive ? tau * y : tau * (h2 - y);
    const int32_t n = NearestI(c);
    const int32_t e = NearestI((c - n) * 4096);
    const int32_t f = 4096 - e;
    const int32_t d = n - s2;
    uint8_t* row = bitmap.GetScanLine(y);
    FillPixels<N>(row, w3, bg);
    const uint8_t* src = work2.data() + int64_t(y) * w1 * N;
    const uint8_t* prev = bg;
    for (int32_t x = 0; x < w1; ++x) {
      const int32_t tx = x + d;
      if (tx < 0 || tx >= w3) continue;
      BlendPixel<N>(row + int64_t(tx) * N, prev, src + int64_t(x) * N, e, f);
      prev = src + int64_t(x) * N;
    }
    if (e > 0 && d + w1 < w3 && d + w1 >= 0) BlendPixel<N>(row + int64_t(d + w1) * N, prev, bg, e, f);
    report(int64_t(h) + w1 + y);
  }
  bitmap.ReleaseFileRows();
  bitmap.Full = false;
}

// Nearest-pixel rotation of rv1g (bits) or 8-bit images.
void NearestSmall(TRVBitmap& bitmap, bool bits, uint8_t background, const TRVProgressRec* progress,
                  double angle) {
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  TRVBitmap r;
  r.MemoryThreshold = bitmap.MemoryThreshold;
  if (angle == 90 || angle == -90 || angle == 270 || angle == 180 || angle == -180) {
    if (angle == 90)
      Rotate90CCW(bitmap, r);
    else if (angle == 180 || angle == -180)
      Rotate180(bitmap, r);
    else
      Rotate90CW(bitmap, r);
  } else {
    const double theta = -angle / 57.295779513082320877;
    const double cs = static_cast<double>(common::Trunc(std::cos(theta) * 10000)) / 10000;
    const double sn = static_cast<double>(common::Trunc(std::sin(theta) * 10000)) / 10000;
    const int32_t rw = std::max(1, common::TruncInt(std::fabs(w * cs) + std::fabs(h * sn)));
    const int32_t rh = std::max(1, common::TruncInt(std::fabs(-w * sn) + std::fabs(h * cs)));
    if (!r.Allocate(rw, rh, bitmap.GetPixelFormat())) return;
    if (bitmap.GetPixelFormat() == rv8p) bitmap.CopyPaletteTo(&r);
    std::vector<int32_t> px(static_cast<size_t>(rw)), py(static_cast<size_t>(rw));
    for (int32_t k = 0; k < rw; ++k) {
      const double tk = k - (rw / 2.0 - 0.5);
      px[static_cast<size_t>(k)] = static_cast<int32_t>(cs * tk);
      py[static_cast<size_t>(k)] = static_cast<int32_t>(-sn * tk);
    }
    RowAccessScope ro(bitmap, 1);
    std::vector<uint8_t*> rows(static_cast<size_t>(h));
    for (int32_t y = 0; y < h; ++y) rows[static_cast<size_t>(y)] = bitmap.GetLockedRow(y);
    RowAccessScope wo(r, 2);
    for (int32_t j = 0; j < rh; ++j) {
      const double u = j - (rh / 2.0 - 0.5);
      const int32_t vx = static_cast<int32_t>((w / 2.0 - 0.5) + sn * u);
      const int32_t vy = static_cast<int32_t>((h / 2.0 - 0.5) + cs * u);
      uint8_t* d = r.GetScanLine(j);
      if (bits) std::memset(d, 0, static_cast<size_t>(r.GetRowLen()));
      for (int32_t k = 0; k < rw; ++k) {
        const int32_t x = vx + px[static_cast<size_t>(k)], y = vy + py[static_cast<size_t>(k)];
        const bool inside = static_cast<uint32_t>(x) < static_cast<uint32_t>(w) &&
                            static_cast<uint32_t>(y) < static_cast<uint32_t>(h);
        if (bits) {
          if (inside ? GetBufferBit(rows[static_cast<size_t>(y)], x) : background != 0)
            d[k >> 3] |= static_cast<uint8_t>(0x80 >> (k & 7));
        } else {
          d[k] = inside ? rows[static_cast<size_t>(y)][x] : background;
        }
      }
      if (progress) progress->Report(static_cast<int32_t>(common::Trunc(j * (100.0 / rh))));
    }
    r.ReleaseFileRows();
    bitmap.ReleaseFileRows();
  }
  if (!r.IsEmpty()) TakeImage(bitmap, r);
}

}  // namespace

void RotateShear24(TRVBitmap& bitmap, double angle, bool antialias, uint32_t background,
                   const TRVProgressEvent& onProgress, void* sender) {
  if (bitmap.GetPixelFormat() != rv24RGB) {
    if (bitmap.GetPixelFormat() == rv1g) {
      TRVProgressRec rec;
      rec.fnc = onProgress;
      rec.Sender = sender;
      const bool bit =
          (background & 0xFF) != 0 && ((background >> 8) & 0xFF) != 0 && ((background >> 16) & 0xFF) != 0;
      RotateBWNearest(bitmap, bit, rec, angle);
    }
    return;
  }
  const uint8_t bg[3] = {static_cast<uint8_t>(background), static_cast<uint8_t>(background >> 8),
                         static_cast<uint8_t>(background >> 16)};
  ShearRotate<3>(bitmap, angle, antialias, bg, onProgress, sender);
}

void RotateShear8(TRVBitmap& bitmap, double angle, bool antialias, uint8_t background,
                  const TRVProgressEvent& onProgress, void* sender) {
  const TRVPixelFormat f = bitmap.GetPixelFormat();
  if (f != rv8g && f != rv8p) return;
  ShearRotate<1>(bitmap, angle, antialias, &background, onProgress, sender);
}

void RotateBWNearest(TRVBitmap& bitmap, bool background, const TRVProgressRec& progress, double angle) {
  if (bitmap.GetPixelFormat() != rv1g || bitmap.IsEmpty() || !std::isfinite(angle)) return;
  NearestSmall(bitmap, true, background ? 1 : 0, &progress, angle);
}

void RotateGrayNearest(TRVBitmap& bitmap, uint8_t background, double angle) {
  const TRVPixelFormat f = bitmap.GetPixelFormat();
  if ((f != rv8g && f != rv8p) || bitmap.IsEmpty() || !std::isfinite(angle)) return;
  NearestSmall(bitmap, false, background, nullptr, angle);
}

void RotateBitmap(TRVBitmap& bitmap, bool antialias, const TRVProgressEvent& onProgress, void* sender,
                  const TRGB& background, double degrees) {
  if (degrees == 0 || bitmap.IsEmpty()) return;
  const TRVPixelFormat f = bitmap.GetPixelFormat();
  const uint8_t grey = static_cast<uint8_t>(Gray8(background.r, background.g, background.b));
  // The alpha channel is turned on its own, the same way, and put back afterwards.
  std::unique_ptr<TRVBitmap> alpha = bitmap.ReplaceAlphaBitmap(nullptr);
  switch (f) {
    case rv24RGB:
    case rv1g:
      RotateShear24(bitmap, degrees, antialias, PackRGB(background), onProgress, sender);
      // A 1-bit image takes the nearest-pixel rotation, whose size the alpha channel follows.
      if (alpha && f == rv1g) RotateGrayNearest(*alpha, 0, degrees);
      if (alpha && f == rv24RGB) RotateShear8(*alpha, degrees, antialias, 0, {}, nullptr);
      break;
    case rv8g:
    case rv8p:
      RotateShear8(bitmap, degrees, antialias, grey, onProgress, sender);
      if (alpha) RotateShear8(*alpha, degrees, antialias, 0, {}, nullptr);
      break;
    default: {
      // The background as TRVBitmap::Fill takes it for the format.
      const double fill = f == rv16g ? grey * 257.0 : f == rv32f ? grey / 255.0 : RGBToColor(background);
      RotateBitmapNearest(bitmap, fill, sender, onProgress, degrees);
      if (alpha) RotateBitmapNearest(*alpha, 0, nullptr, {}, degrees);
      break;
    }
  }
  if (alpha) bitmap.ReplaceAlphaBitmap(std::move(alpha));
}

}  // namespace rv
