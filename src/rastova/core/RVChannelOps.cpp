#include "rastova/core/RVChannelOps.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVBitmapInternal.h"
#include "rastova/core/RVColorReduce.h"
#include "rastova/core/RVUtils.h"

namespace rv {

namespace {

inline uint16_t Load16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline void Store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }

// Grey level of pixel x of a row in any format but rv1g.
int32_t GreyOf(TRVBitmap& bitmap, TRVPixelFormat f, const uint8_t* row, int32_t x) {
  switch (f) {
    case rv8p: {
      const TRGB c = bitmap.GetPalette(row[x]);
      return Gray8(c.r, c.g, c.b);
    }
    case rv8g:
      return row[x];
    case rv16g:
      return Load16(row + 2 * x) >> 8;
    case rv24RGB:
      return Gray8(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    case rv32RGB:
      return Gray8(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
    case rv32f: {
      float v;
      std::memcpy(&v, row + 4 * x, 4);
      return common::TruncInt(static_cast<long double>(v) * 255);
    }
    case rvCMYK: {
      TCMYK k;
      std::memcpy(&k, row + 4 * x, 4);
      const TRGB c = CMYKToRGB(k);
      return Gray8(c.r, c.g, c.b);
    }
    case rv48RGB: {
      const uint8_t* p = row + 6 * x;
      return Gray8(Load16(p) >> 8, Load16(p + 2) >> 8, Load16(p + 4) >> 8);
    }
    case rvCIELab: {
      TRGB c;
      CIELabToRGB(uint32_t(row[3 * x]) | (uint32_t(row[3 * x + 1]) << 8) | (uint32_t(row[3 * x + 2]) << 16),
                  c);
      return Gray8(c.r, c.g, c.b);
    }
    default:
      return 0;
  }
}

}  // namespace

void FillArea(TRVBitmap& bitmap, int32_t left, int32_t top, int32_t right, int32_t bottom, const TRGB& colour,
              void* sender, const TRVProgressEvent& onProgress) {
  const TRVPixelFormat f = bitmap.GetPixelFormat();
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, bitmap.GetWidth());
  const int32_t last = std::min(bottom, bitmap.GetHeight()) - 1;
  if (right <= left || last < top || f == rvNone) return;
  if (f != rv1g && f != rv8g && f != rv24RGB) {
    bitmap.FillRect(left, top, right - 1, last, RGBToColor(colour));
    return;
  }
  const double step = 100 / (last - top + 1 + 0.5);
  const uint8_t grey = static_cast<uint8_t>(Gray8(colour.r, colour.g, colour.b));
  RowAccessScope rw(bitmap, 3);
  for (int32_t y = top; y <= last; ++y) {
    uint8_t* r = bitmap.GetScanLine(y);
    if (f == rv1g) {
      for (int32_t x = left; x < right; ++x) SetBufferBit(r, x, colour.r != 0);
    } else if (f == rv8g) {
      std::memset(r + left, grey, static_cast<size_t>(right - left));
    } else {
      for (int32_t x = left; x < right; ++x) std::memcpy(r + 3 * int64_t(x), &colour, 3);
    }
    if (onProgress) onProgress(sender, static_cast<int32_t>(common::Trunc(step * (y - top + 1))));
  }
  bitmap.ReleaseFileRows();
  bitmap.Full = false;
}

void BuildGrayHistogram(TRVBitmap& bitmap, uint32_t (&histogram)[256]) {
  std::fill(std::begin(histogram), std::end(histogram), 0u);
  const TRVPixelFormat f = bitmap.GetPixelFormat();
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  if (f == rvNone) return;
  RowAccessScope ro(bitmap, 1);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* r = bitmap.GetScanLine(y);
    if (f == rv1g) {
      for (int32_t x = 0; x < w; ++x) ++histogram[GetBufferBit(r, x) ? 1 : 0];
    } else {
      for (int32_t x = 0; x < w; ++x) ++histogram[std::clamp(GreyOf(bitmap, f, r, x), 0, 255)];
    }
  }
  bitmap.ReleaseFileRows();
}

int32_t MaxEntropyThreshold(TRVBitmap& bitmap) {
  uint32_t hist[256];
  BuildGrayHistogram(bitmap, hist);
  const double total = double(bitmap.GetWidth()) * bitmap.GetHeight();
  if (total <= 0) return -2;
  double q[256], ht = 0;
  for (int i = 0; i < 256; ++i) {
    q[i] = hist[i] / total;
    if (q[i] != 0) ht -= q[i] * std::log(q[i]);
  }
  double p = 0, hb = 0, value = 0, best = 0;
  int32_t threshold = -2;
  for (int t = 1; t < 256; ++t) {
    p += q[t - 1];
    if (q[t - 1] > 0) hb -= q[t - 1] * std::log(q[t - 1]);
    if (p > 0 && p < 1) value = std::log(p - p * p) + hb / p + (ht - hb) / (1 - p);
    if (value > best) {
      best = value;
      threshold = t;
    }
  }
  return threshold;
}

void ThresholdTo1Bit(TRVBitmap& source, TRVBitmap& dest, int32_t threshold, TRVProgressRec& progress) {
  const TRVPixelFormat f = source.GetPixelFormat();
  if (f == rv1g) {
    dest.AssignImage(source);
    return;
  }
  if (dest.GetPixelFormat() != rv1g || f == rvNone || source.IsEmpty()) return;
  if (threshold == -1) {
    int32_t r, g, b;
    AverageRGB(source, r, g, b);
    threshold = Gray8(r, g, b);
  } else if (threshold == -2) {
    threshold = MaxEntropyThreshold(source);
  }
  const int32_t w = std::min(source.GetWidth(), dest.GetWidth()),
                h = std::min(source.GetHeight(), dest.GetHeight());
  progress.per1 = 100 / (source.GetHeight() + 0.5);
  RowAccessScope ro(source, 1), rw(dest, 3);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* s = source.GetLockedRow(y);
    uint8_t* d = dest.GetScanLine(y);
    for (int32_t x = 0; x < w; ++x) SetBufferBit(d, x, GreyOf(source, f, s, x) >= threshold);
    source.ReleaseLockedRow(y);
    progress.Report(static_cast<int32_t>(common::Trunc((y + 1) * progress.per1)));
  }
  source.ReleaseFileRows();
  dest.ReleaseFileRows();
}

void MatchChannelHistogram(TRVBitmap& bitmap, int32_t channel, const uint32_t (&target)[256],
                           int64_t targetCount) {
  const TRVPixelFormat f = bitmap.GetPixelFormat();
  if ((f != rv24RGB && f != rv48RGB) || channel < 0 || channel > 2 || targetCount <= 0 || bitmap.IsEmpty())
    return;
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  const bool wide = f == rv48RGB;
  // 48-bit pixels hold red, green, blue words: blue is the third.
  const int32_t offset = wide ? 2 * (2 - channel) : channel;
  const int32_t size = wide ? 6 : 3;
  uint32_t hist[256] = {};
  {
    RowAccessScope ro(bitmap, 1);
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* p = bitmap.GetScanLine(y) + offset;
      for (int32_t x = 0; x < w; ++x, p += size) ++hist[wide ? Load16(p) >> 8 : *p];
    }
    bitmap.ReleaseFileRows();
  }
  const double pixels = double(w) * h;
  int32_t equalised[256];
  double t[256];
  uint64_t sum = 0, tsum = 0;
  for (int i = 0; i < 256; ++i) {
    sum += hist[i];
    equalised[i] = common::TruncInt(static_cast<long double>(sum) * 255 / pixels);
    tsum += target[i];
    t[i] = (255.0 / static_cast<double>(targetCount)) * static_cast<double>(tsum);
  }
  int32_t inverse[256];
  for (int i = 0; i < 256; ++i) {
    int32_t best = 0;
    double bestD = std::fabs(i - t[0]);
    for (int j = 1; j < 256; ++j) {
      const double d = std::fabs(i - t[j]);
      if (d < bestD) {
        bestD = d;
        best = j;
      }
    }
    inverse[i] = best;
  }
  int32_t map[256];
  for (int i = 0; i < 256; ++i) map[i] = inverse[std::clamp(equalised[i], 0, 255)];
  RowAccessScope rw(bitmap, 3);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* p = bitmap.GetScanLine(y) + offset;
    for (int32_t x = 0; x < w; ++x, p += size) {
      if (wide)
        Store16(p, static_cast<uint16_t>(map[Load16(p) >> 8] * 257));
      else
        *p = static_cast<uint8_t>(map[*p]);
    }
  }
  bitmap.ReleaseFileRows();
}

void MatchHistogram(TRVBitmap& reference, TRVBitmap& bitmap) {
  if (reference.GetPixelFormat() != rv24RGB || reference.IsEmpty() || bitmap.IsEmpty()) return;
  uint32_t hist[3][256] = {};
  const int32_t w = reference.GetWidth(), h = reference.GetHeight();
  {
    RowAccessScope ro(reference, 1);
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* p = reference.GetScanLine(y);
      for (int32_t x = 0; x < w; ++x, p += 3) {
        ++hist[0][p[0]];
        ++hist[1][p[1]];
        ++hist[2][p[2]];
      }
    }
    reference.ReleaseFileRows();
  }
  for (int c = 0; c < 3; ++c) MatchChannelHistogram(bitmap, c, hist[c], int64_t(w) * h);
}

void ReorderChannels(TRVBitmap& bitmap, std::string_view order, void* sender,
                     const TRVProgressEvent& onProgress) {
  const TRVPixelFormat f = bitmap.GetPixelFormat();
  if ((f != rv24RGB && f != rv48RGB) || bitmap.IsEmpty() || order.size() < 3) return;
  int32_t from[3];
  for (int i = 0; i < 3; ++i) {
    switch (order[static_cast<size_t>(i)]) {
      case 'B':
      case 'b':
        from[i] = 0;
        break;
      case 'G':
      case 'g':
        from[i] = 1;
        break;
      case 'R':
      case 'r':
        from[i] = 2;
        break;
      default:
        from[i] = 3;
        break;  // zero
    }
  }
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  RowAccessScope rw(bitmap, 3);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* p = bitmap.GetScanLine(y);
    if (f == rv24RGB) {
      for (int32_t x = 0; x < w; ++x, p += 3) {
        const uint8_t v[4] = {p[0], p[1], p[2], 0};
        p[0] = v[from[0]];
        p[1] = v[from[1]];
        p[2] = v[from[2]];
      }
    } else {
      for (int32_t x = 0; x < w; ++x, p += 6) {
        const uint16_t v[4] = {Load16(p + 4), Load16(p + 2), Load16(p), 0};  // blue, green, red
        Store16(p + 4, v[from[0]]);
        Store16(p + 2, v[from[1]]);
        Store16(p, v[from[2]]);
      }
    }
    if (onProgress)
      onProgress(sender, static_cast<int32_t>(common::Trunc(static_cast<long double>(y) / h * 100)));
  }
  bitmap.ReleaseFileRows();
}

}  // namespace rv
