// Pixel access, fills and conversion between the pixel formats of TRVBitmap.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVBitmapInternal.h"
#include "rastova/core/RVDibBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVUtils.h"

namespace rv {

namespace {

// Ordered-dithering matrix, indexed [x mod 8][y mod 8].
constexpr uint8_t kBayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21}};

// Float samples saturate into the integer range; NaN becomes 0.
inline uint8_t SatByte(double v) {
  if (!(v > 0)) return 0;
  if (v >= 255) return 255;
  return static_cast<uint8_t>(v);
}
inline uint16_t SatWord(double v) {
  if (!(v > 0)) return 0;
  if (v >= 65535) return 65535;
  return static_cast<uint16_t>(v);
}

inline uint16_t Load16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline void Store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }
inline float LoadF(const uint8_t* p) {
  float v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void StoreF(uint8_t* p, float v) { std::memcpy(p, &v, 4); }

inline int32_t Gray16(int64_t r, int64_t g, int64_t b) { return static_cast<int32_t>((r * 212 + g * 713 + b * 75) / 1000); }
inline float GrayF8(int r, int g, int b) {
  return static_cast<float>((r * 0.2126L + g * 0.7152L + b * 0.0722L) / 255);
}
inline float GrayF16(int r, int g, int b) {
  return static_cast<float>((r / 256.0L * 0.2126L + g / 256.0L * 0.7152L + b / 256.0L * 0.0722L) / 255);
}

inline void PutBit(uint8_t* row, int32_t x, bool white) {
  if (white) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
  else row[x >> 3] &= static_cast<uint8_t>(~(0x80 >> (x & 7)));
}
inline bool GetBit(const uint8_t* row, int32_t x) { return (row[x >> 3] & (0x80 >> (x & 7))) != 0; }
inline void Dither(uint8_t* row, int32_t x, int32_t y, int32_t level) { PutBit(row, x, kBayer[x & 7][y & 7] < level); }

bool HasDirect(TRVPixelFormat s, TRVPixelFormat d) {
  switch (s) {
    case rv1g:
    case rv8p:
    case rv8g:
    case rv16g:
    case rv32f: return d != rvCMYK && d != rvCIELab;
    case rv24RGB: return true;
    case rvCMYK:
    case rvCIELab: return d == rv24RGB || d == rv32RGB;
    case rv48RGB: return d != rv8p && d != rvCMYK && d != rvCIELab;
    case rv32RGB: return d == rv24RGB;
    default: return false;
  }
}

struct RowContext {
  const TRGB* palette;  // the source palette (256 entries) or nullptr
  double displayMin, displayMax;
  int32_t width, y;
};

void ConvertRow(TRVPixelFormat sf, TRVPixelFormat df, const uint8_t* s, uint8_t* d, const RowContext& c) {
  const int32_t w = c.width;
  static const TRGB kBlack{};
  auto pal = [&](uint8_t i) -> const TRGB& { return c.palette ? c.palette[i] : kBlack; };
  switch (sf) {
    case rv1g:
      for (int32_t x = 0; x < w; ++x) {
        bool on = GetBit(s, x);
        uint8_t b = on ? 255 : 0;
        uint16_t ww = on ? 65535 : 0;
        switch (df) {
          case rv8p: d[x] = on ? 1 : 0; break;
          case rv8g: d[x] = b; break;
          case rv16g: Store16(d + 2 * x, ww); break;
          case rv24RGB: d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = b; break;
          case rv32f: StoreF(d + 4 * x, on ? 1.0f : 0.0f); break;
          case rv48RGB: Store16(d + 6 * x, ww); Store16(d + 6 * x + 2, ww); Store16(d + 6 * x + 4, ww); break;
          case rv32RGB: d[4 * x] = d[4 * x + 1] = d[4 * x + 2] = b; d[4 * x + 3] = 255; break;
          default: break;
        }
      }
      break;
    case rv8p:
      for (int32_t x = 0; x < w; ++x) {
        const TRGB& p = pal(s[x]);
        switch (df) {
          case rv1g: Dither(d, x, c.y, Gray8(p.r, p.g, p.b) / 4); break;
          case rv8g: d[x] = static_cast<uint8_t>(Gray8(p.r, p.g, p.b)); break;
          case rv16g: Store16(d + 2 * x, static_cast<uint16_t>(Gray16(p.r * 257, p.g * 257, p.b * 257))); break;
          case rv24RGB: d[3 * x] = p.b; d[3 * x + 1] = p.g; d[3 * x + 2] = p.r; break;
          case rv32f: StoreF(d + 4 * x, GrayF8(p.r, p.g, p.b)); break;
          case rv48RGB:
            Store16(d + 6 * x, static_cast<uint16_t>(p.r * 257));
            Store16(d + 6 * x + 2, static_cast<uint16_t>(p.g * 257));
            Store16(d + 6 * x + 4, static_cast<uint16_t>(p.b * 257));
            break;
          case rv32RGB: d[4 * x] = p.b; d[4 * x + 1] = p.g; d[4 * x + 2] = p.r; d[4 * x + 3] = 255; break;
          default: break;
        }
      }
      break;
    case rv8g:
      if (df == rv8p) {
        std::memcpy(d, s, static_cast<size_t>(w));
        break;
      }
      for (int32_t x = 0; x < w; ++x) {
        uint8_t v = s[x];
        switch (df) {
          case rv1g: Dither(d, x, c.y, v / 4); break;
          case rv16g: Store16(d + 2 * x, static_cast<uint16_t>(v * 257)); break;
          case rv24RGB: d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = v; break;
          case rv32f: StoreF(d + 4 * x, static_cast<float>(v / 255.0L)); break;
          case rv48RGB:
            Store16(d + 6 * x, static_cast<uint16_t>(v * 257));
            Store16(d + 6 * x + 2, static_cast<uint16_t>(v * 257));
            Store16(d + 6 * x + 4, static_cast<uint16_t>(v * 257));
            break;
          case rv32RGB: d[4 * x] = d[4 * x + 1] = d[4 * x + 2] = v; d[4 * x + 3] = 255; break;
          default: break;
        }
      }
      break;
    case rv16g: {
      const double range = c.displayMax - c.displayMin;
      const int64_t lo = common::Trunc(c.displayMin), hi = common::Trunc(c.displayMax);
      for (int32_t x = 0; x < w; ++x) {
        uint16_t v = Load16(s + 2 * x);
        switch (df) {
          case rv1g: Dither(d, x, c.y, v / 1024); break;
          case rv8p:
          case rv8g: d[x] = static_cast<uint8_t>(v >> 8); break;
          case rv24RGB: {
            uint8_t b;
            if (range != 0) {
              int64_t vv = std::clamp<int64_t>(v, std::min(lo, hi), std::max(lo, hi));
              b = SatByte(static_cast<double>(common::Trunc((vv - lo) / range * 255)));
            } else {
              b = static_cast<uint8_t>(v >> 8);
            }
            d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = b;
            break;
          }
          case rv32f: StoreF(d + 4 * x, static_cast<float>(v / 65535.0L)); break;
          case rv48RGB: Store16(d + 6 * x, v); Store16(d + 6 * x + 2, v); Store16(d + 6 * x + 4, v); break;
          case rv32RGB: d[4 * x] = d[4 * x + 1] = d[4 * x + 2] = static_cast<uint8_t>(v >> 8); d[4 * x + 3] = 255; break;
          default: break;
        }
      }
      break;
    }
    case rv24RGB:
      // The common conversions get loops of their own (the weights in locals: stores through
      // byte pointers would otherwise reload them for every pixel).
      if (df == rv32RGB) {
        const uint8_t* __restrict src = s;
        uint8_t* __restrict dst = d;
        for (int32_t x = 0; x < w; ++x) {
          uint32_t v = uint32_t(src[3 * x]) | (uint32_t(src[3 * x + 1]) << 8) | (uint32_t(src[3 * x + 2]) << 16) |
                       0xFF000000u;
          std::memcpy(dst + 4 * x, &v, 4);
        }
        break;
      }
      if (df == rv8g) {
        const uint8_t* __restrict src = s;
        uint8_t* __restrict dst = d;
        const uint32_t wr = static_cast<uint32_t>(RedToGrayCoef), wg = static_cast<uint32_t>(GreenToGrayCoef),
                       wb = static_cast<uint32_t>(BlueToGrayCoef);
        for (int32_t x = 0; x < w; ++x)
          dst[x] = static_cast<uint8_t>((src[3 * x + 2] * wr + src[3 * x + 1] * wg + src[3 * x] * wb) / 100u);
        break;
      }
      for (int32_t x = 0; x < w; ++x) {
        const uint8_t* p = s + 3 * x;
        const uint8_t b = p[0], g = p[1], r = p[2];
        switch (df) {
          case rv1g: Dither(d, x, c.y, Gray8(r, g, b) / 4); break;
          case rv8g: d[x] = static_cast<uint8_t>(Gray8(r, g, b)); break;
          case rv16g: Store16(d + 2 * x, static_cast<uint16_t>(Gray16(r * 257, g * 257, b * 257))); break;
          case rv32f: StoreF(d + 4 * x, GrayF8(r, g, b)); break;
          case rvCMYK: {
            TCMYK k = RGBToCMYK((uint32_t(r) << 16) | (uint32_t(g) << 8) | b);
            std::memcpy(d + 4 * x, &k, 4);
            break;
          }
          case rv48RGB:
            Store16(d + 6 * x, static_cast<uint16_t>(r * 257));
            Store16(d + 6 * x + 2, static_cast<uint16_t>(g * 257));
            Store16(d + 6 * x + 4, static_cast<uint16_t>(b * 257));
            break;
          case rvCIELab: {
            TCIELab l;
            RGBToCIELab((uint32_t(r) << 16) | (uint32_t(g) << 8) | b, l);
            std::memcpy(d + 3 * x, &l, 3);
            break;
          }
          case rv32RGB: d[4 * x] = b; d[4 * x + 1] = g; d[4 * x + 2] = r; d[4 * x + 3] = 255; break;
          default: break;
        }
      }
      break;
    case rv32f:
      for (int32_t x = 0; x < w; ++x) {
        double v = LoadF(s + 4 * x);
        uint8_t b = SatByte(v * 255);
        uint16_t ww = SatWord(v * 65535);
        switch (df) {
          case rv1g: Dither(d, x, c.y, b / 4); break;
          case rv8p:
          case rv8g: d[x] = b; break;
          case rv16g: Store16(d + 2 * x, ww); break;
          case rv24RGB: d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = b; break;
          case rv48RGB: Store16(d + 6 * x, ww); Store16(d + 6 * x + 2, ww); Store16(d + 6 * x + 4, ww); break;
          case rv32RGB: d[4 * x] = d[4 * x + 1] = d[4 * x + 2] = b; d[4 * x + 3] = 255; break;
          default: break;
        }
      }
      break;
    case rvCMYK:
      for (int32_t x = 0; x < w; ++x) {
        TCMYK k;
        std::memcpy(&k, s + 4 * x, 4);
        TRGB p = CMYKToRGB(k);
        if (df == rv24RGB) {
          d[3 * x] = p.b; d[3 * x + 1] = p.g; d[3 * x + 2] = p.r;
        } else {
          d[4 * x] = p.b; d[4 * x + 1] = p.g; d[4 * x + 2] = p.r; d[4 * x + 3] = 255;
        }
      }
      break;
    case rv48RGB:
      for (int32_t x = 0; x < w; ++x) {
        uint16_t R = Load16(s + 6 * x), G = Load16(s + 6 * x + 2), B = Load16(s + 6 * x + 4);
        uint8_t r = static_cast<uint8_t>(R >> 8), g = static_cast<uint8_t>(G >> 8), b = static_cast<uint8_t>(B >> 8);
        switch (df) {
          case rv1g: Dither(d, x, c.y, Gray8(r, g, b) / 4); break;
          case rv8g: d[x] = static_cast<uint8_t>(Gray8(r, g, b)); break;
          case rv16g: Store16(d + 2 * x, static_cast<uint16_t>(Gray16(R, G, B))); break;
          case rv24RGB: d[3 * x] = b; d[3 * x + 1] = g; d[3 * x + 2] = r; break;
          case rv32f: StoreF(d + 4 * x, GrayF16(R, G, B)); break;
          case rv32RGB: d[4 * x] = b; d[4 * x + 1] = g; d[4 * x + 2] = r; d[4 * x + 3] = 255; break;
          default: break;
        }
      }
      break;
    case rvCIELab:
      for (int32_t x = 0; x < w; ++x) {
        const uint8_t* p = s + 3 * x;
        TRGB q;
        CIELabToRGB(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16), q);
        if (df == rv24RGB) {
          d[3 * x] = q.b; d[3 * x + 1] = q.g; d[3 * x + 2] = q.r;
        } else {
          d[4 * x] = q.b; d[4 * x + 1] = q.g; d[4 * x + 2] = q.r; d[4 * x + 3] = 255;
        }
      }
      break;
    case rv32RGB:
      for (int32_t x = 0; x < w; ++x) {
        d[3 * x] = s[4 * x];
        d[3 * x + 1] = s[4 * x + 1];
        d[3 * x + 2] = s[4 * x + 2];
      }
      break;
    default: break;
  }
}

// ---- built-in stand-ins for the processing code

void DefaultQuantize(TRVBitmap& source, TRVBitmap& dest, int32_t colorCount) {
  const int32_t w = source.GetWidth(), h = source.GetHeight();
  colorCount = std::clamp(colorCount, 1, 256);
  std::vector<TRGB> palette;
  std::unordered_map<uint32_t, int32_t> index;
  bool exact = true;
  {
    RowAccessScope ro(source, 1);
    for (int32_t y = 0; y < h && exact; ++y) {
      const uint8_t* s = source.GetScanLine(y);
      for (int32_t x = 0; x < w; ++x) {
        uint32_t key = (uint32_t(s[3 * x + 2]) << 16) | (uint32_t(s[3 * x + 1]) << 8) | s[3 * x];
        if (index.count(key)) continue;
        if (static_cast<int32_t>(palette.size()) == colorCount) {
          exact = false;
          break;
        }
        index.emplace(key, static_cast<int32_t>(palette.size()));
        palette.push_back(UnpackRGB(key));
      }
    }
  }
  if (!exact) {
    palette.clear();
    index.clear();
    if (colorCount < 8) {
      for (int32_t i = 0; i < colorCount; ++i) {
        uint8_t v = static_cast<uint8_t>(colorCount == 1 ? 0 : i * 255 / (colorCount - 1));
        palette.push_back(TRGB{v, v, v});
      }
    } else {
      int32_t n = 2;
      while ((n + 1) * (n + 1) * (n + 1) <= colorCount) ++n;
      for (int32_t r = 0; r < n; ++r)
        for (int32_t g = 0; g < n; ++g)
          for (int32_t b = 0; b < n; ++b)
            palette.push_back(MakeRGB(static_cast<uint8_t>(r * 255 / (n - 1)), static_cast<uint8_t>(g * 255 / (n - 1)),
                                      static_cast<uint8_t>(b * 255 / (n - 1))));
    }
  }
  for (int32_t i = 0; i < 256; ++i) dest.SetPalette(i, i < static_cast<int32_t>(palette.size()) ? palette[i] : TRGB{});
  RowAccessScope ro(source, 1), wo(dest, 2);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* s = source.GetLockedRow(y);
    uint8_t* d = dest.GetScanLine(y);
    for (int32_t x = 0; x < w; ++x) {
      uint32_t key = (uint32_t(s[3 * x + 2]) << 16) | (uint32_t(s[3 * x + 1]) << 8) | s[3 * x];
      auto it = index.find(key);
      if (it == index.end())
        it = index.emplace(key, NearestPaletteIndex(palette.data(), static_cast<int32_t>(palette.size()), UnpackRGB(key)))
                 .first;
      d[x] = static_cast<uint8_t>(it->second);
    }
    source.ReleaseLockedRow(y);
  }
  dest.ReleaseFileRows();
}

void DefaultThreshold(TRVBitmap& source, TRVBitmap& dest, int32_t threshold) {
  const int32_t w = std::min(source.GetWidth(), dest.GetWidth()), h = std::min(source.GetHeight(), dest.GetHeight());
  if (source.GetPixelFormat() == rv1g) {
    dest.AssignImage(source);
    return;
  }
  // Grey levels are taken from 24-bit rows (a converted copy for the other formats).
  TRVBitmap copy;
  TRVBitmap* rgb = &source;
  if (source.GetPixelFormat() != rv24RGB) {
    copy.MemoryThreshold = source.MemoryThreshold;
    if (!copy.Allocate(source.GetWidth(), source.GetHeight(), rv24RGB)) return;
    copy.CopyAndConvertFormat(source);
    rgb = &copy;
  }
  RowAccessScope ro(*rgb, 1);
  if (threshold < 0) {
    // The grey level of the average colour.
    int64_t sr = 0, sg = 0, sb = 0;
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* s = rgb->GetScanLine(y);
      int64_t rr = 0, rg = 0, rb = 0;
      for (int32_t x = 0; x < w; ++x) {
        rb += s[3 * x];
        rg += s[3 * x + 1];
        rr += s[3 * x + 2];
      }
      sr += rr / std::max(w, 1);
      sg += rg / std::max(w, 1);
      sb += rb / std::max(w, 1);
    }
    int32_t n = std::max(h, 1);
    threshold = Gray8(static_cast<int>(sr / n), static_cast<int>(sg / n), static_cast<int>(sb / n));
  }
  RowAccessScope wo(dest, 3);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* s = rgb->GetLockedRow(y);
    uint8_t* d = dest.GetScanLine(y);
    for (int32_t x = 0; x < w; ++x) PutBit(d, x, Gray8(s[3 * x + 2], s[3 * x + 1], s[3 * x]) >= threshold);
    rgb->ReleaseLockedRow(y);
  }
  dest.ReleaseFileRows();
  rgb->ReleaseFileRows();
}

TRVQuantizeHook quantizeHook = nullptr;
TRVThresholdHook thresholdHook = nullptr;

}  // namespace

void SetQuantizeHook(TRVQuantizeHook hook) { quantizeHook = hook; }
void SetThresholdTo1BitHook(TRVThresholdHook hook) { thresholdHook = hook; }

void ThresholdTo1Bit(TRVBitmap& source, TRVBitmap& dest, int32_t threshold) {
  (thresholdHook ? thresholdHook : DefaultThreshold)(source, dest, threshold);
}

// ---------------------------------------------------------------- typed accessors

bool TRVBitmap::GetPixels_rv1g(int32_t x, int32_t y) { return GetBit(GetScanLine(y), x); }
void TRVBitmap::SetPixels_rv1g(int32_t x, int32_t y, bool value) {
  PutBit(GetScanLine(y), x, value);
  if (!value) Full = false;
}
uint8_t TRVBitmap::GetPixels_rv8(int32_t x, int32_t y) { return GetScanLine(y)[x]; }
void TRVBitmap::SetPixels_rv8(int32_t x, int32_t y, uint8_t value) {
  GetScanLine(y)[x] = value;
  if (value != 255) Full = false;
}
uint16_t TRVBitmap::GetPixels_rv16g(int32_t x, int32_t y) { return Load16(GetScanLine(y) + 2 * int64_t(x)); }
void TRVBitmap::SetPixels_rv16g(int32_t x, int32_t y, uint16_t value) {
  Store16(GetScanLine(y) + 2 * int64_t(x), value);
  if (value != 65535) Full = false;
}
TRGB TRVBitmap::GetPixels_rv24RGB(int32_t x, int32_t y) { return *GetPPixels_rv24RGB(x, y); }
TRGB* TRVBitmap::GetPPixels_rv24RGB(int32_t x, int32_t y) {
  return reinterpret_cast<TRGB*>(GetScanLine(y) + 3 * int64_t(x));
}
void TRVBitmap::SetPixels_rv24RGB(int32_t x, int32_t y, uint32_t packedRGB) {
  TRGB v = UnpackRGB(packedRGB);
  *GetPPixels_rv24RGB(x, y) = v;
  if (v.r != 255 || v.g != 255 || v.b != 255) Full = false;
}
uint32_t TRVBitmap::GetPixels_rv32RGB(int32_t x, int32_t y) {
  uint32_t v;
  std::memcpy(&v, GetScanLine(y) + 4 * int64_t(x), 4);
  return v;
}
uint32_t* TRVBitmap::GetPPixels_rv32RGB(int32_t x, int32_t y) {
  return reinterpret_cast<uint32_t*>(GetScanLine(y) + 4 * int64_t(x));
}
void TRVBitmap::SetPixels_rv32RGB(int32_t x, int32_t y, uint32_t value) {
  std::memcpy(GetScanLine(y) + 4 * int64_t(x), &value, 4);
  if ((value & 0xFFFFFF) != 0xFFFFFF) Full = false;
}
float TRVBitmap::GetPixels_rv32f(int32_t x, int32_t y) { return LoadF(GetScanLine(y) + 4 * int64_t(x)); }
void TRVBitmap::SetPixels_rv32f(int32_t x, int32_t y, float value) {
  StoreF(GetScanLine(y) + 4 * int64_t(x), value);
  if (!(value >= 1.0f)) Full = false;
}
TCMYK TRVBitmap::GetPixels_rvCMYK(int32_t x, int32_t y) {
  TCMYK v;
  std::memcpy(&v, GetScanLine(y) + 4 * int64_t(x), 4);
  return v;
}
void TRVBitmap::SetPixels_rvCMYK(int32_t x, int32_t y, const TCMYK& value) {
  std::memcpy(GetScanLine(y) + 4 * int64_t(x), &value, 4);
}
TCIELab TRVBitmap::GetPixels_rvCIELab(int32_t x, int32_t y) {
  TCIELab v;
  std::memcpy(&v, GetScanLine(y) + 3 * int64_t(x), 3);
  return v;
}
void TRVBitmap::SetPixels_rvCIELab(int32_t x, int32_t y, const TCIELab& value) {
  std::memcpy(GetScanLine(y) + 3 * int64_t(x), &value, 3);
}
TRGB48 TRVBitmap::GetPixels_rv48RGB(int32_t x, int32_t y) {
  TRGB48 v;
  std::memcpy(&v, GetScanLine(y) + 6 * int64_t(x), 6);
  return v;
}
TRGB48* TRVBitmap::GetPPixels_rv48RGB(int32_t x, int32_t y) {
  return reinterpret_cast<TRGB48*>(GetScanLine(y) + 6 * int64_t(x));
}
void TRVBitmap::SetPixels_rv48RGB(int32_t x, int32_t y, const TRGB48& value) {
  std::memcpy(GetScanLine(y) + 6 * int64_t(x), &value, 6);
  if (value.r != 65535 || value.g != 65535 || value.b != 65535) Full = false;
}

TRGB TRVBitmap::GetPixels(int32_t x, int32_t y) {
  switch (GetPixelFormat()) {
    case rv1g: {
      uint8_t v = GetPixels_rv1g(x, y) ? 255 : 0;
      return TRGB{v, v, v};
    }
    case rv8p: return GetPalette(GetPixels_rv8(x, y));
    case rv8g: {
      uint8_t v = GetPixels_rv8(x, y);
      return TRGB{v, v, v};
    }
    case rv16g: {
      uint8_t v = static_cast<uint8_t>(GetPixels_rv16g(x, y) >> 8);
      return TRGB{v, v, v};
    }
    case rv24RGB: return GetPixels_rv24RGB(x, y);
    case rv32f: {
      uint8_t v = SatByte(static_cast<double>(GetPixels_rv32f(x, y)) * 255);
      return TRGB{v, v, v};
    }
    case rvCMYK: return CMYKToRGB(GetPixels_rvCMYK(x, y));
    case rv48RGB: {
      TRGB48 v = GetPixels_rv48RGB(x, y);
      return MakeRGB(static_cast<uint8_t>(v.r >> 8), static_cast<uint8_t>(v.g >> 8), static_cast<uint8_t>(v.b >> 8));
    }
    case rvCIELab: {
      TRGB v;
      CIELabToRGB(PackLab(GetPixels_rvCIELab(x, y)), v);
      return v;
    }
    case rv32RGB: {
      const uint8_t* p = GetScanLine(y) + 4 * int64_t(x);
      return TRGB{p[0], p[1], p[2]};
    }
    default: return TRGB{};
  }
}

void TRVBitmap::SetPixels(int32_t x, int32_t y, uint32_t packedRGB) {
  TRGB c = UnpackRGB(packedRGB);
  int32_t grey = Gray8(c.r, c.g, c.b);
  switch (GetPixelFormat()) {
    case rv1g: SetPixels_rv1g(x, y, (packedRGB & 0xFFFFFF) != 0); break;
    case rv8g: SetPixels_rv8(x, y, static_cast<uint8_t>(grey)); break;
    case rv16g: SetPixels_rv16g(x, y, static_cast<uint16_t>(grey * 257)); break;
    case rv24RGB: SetPixels_rv24RGB(x, y, packedRGB); break;
    case rv32f: SetPixels_rv32f(x, y, static_cast<float>(grey / 255.0L)); break;
    case rvCMYK: SetPixels_rvCMYK(x, y, RGBToCMYK(packedRGB)); break;
    case rv48RGB:
      SetPixels_rv48RGB(x, y, TRGB48{static_cast<uint16_t>(c.r * 257), static_cast<uint16_t>(c.g * 257),
                                     static_cast<uint16_t>(c.b * 257)});
      break;
    case rvCIELab: {
      TCIELab l;
      RGBToCIELab(packedRGB, l);
      SetPixels_rvCIELab(x, y, l);
      break;
    }
    case rv32RGB: SetPixels_rv32RGB(x, y, MakeRGBA(c.r, c.g, c.b, 255)); break;
    default: break;  // rv8p: a colour has no index here
  }
}

uint8_t TRVBitmap::GetAlpha(int32_t x, int32_t y) {
  if (isAlphaChannel_) return GetPixels_rv8(x, y);
  TRVBitmap* a = AlphaBitmap();
  return a && !a->IsEmpty() ? a->GetPixels_rv8(x, y) : 255;
}

void TRVBitmap::SetAlpha(int32_t x, int32_t y, uint8_t value) {
  TRVBitmap* a = isAlphaChannel_ ? this : AlphaBitmap();
  if (!a || a->IsEmpty()) return;
  a->GetScanLine(y)[x] = value;
  if (value != 255) {
    a->Full = false;
    Full = false;
  }
}

// ---------------------------------------------------------------- fills

void TRVBitmap::Fill(double value) {
  TRVPixelFormat f = GetPixelFormat();
  if (f == rvNone || IsEmpty()) return;
  // Rows are written whole; rv32RGB keeps its fourth bytes, so it reads its rows first.
  RowAccessScope mode(*this, f == rv32RGB ? 3 : 2);
  const int64_t V = common::Trunc(value);
  const TRGB C = ColorToTRGB(static_cast<TColor>(static_cast<uint32_t>(V)));
  const bool white = C.r == 255 && C.g == 255 && C.b == 255;
  std::vector<uint8_t> pattern(static_cast<size_t>(rowLen_), 0);
  uint8_t* p = pattern.data();
  bool usePattern = true;
  switch (f) {
    case rv1g:
      std::memset(p, V != 0 ? 255 : 0, pattern.size());
      Full = V != 0;
      break;
    case rv8p:
    case rv8g:
      std::memset(p, static_cast<uint8_t>(V), pattern.size());
      Full = V == 255;
      break;
    case rv16g:
      for (int32_t x = 0; x < width_; ++x) Store16(p + 2 * x, static_cast<uint16_t>(V));
      Full = V == 65535;
      break;
    case rv24RGB:
      for (int32_t x = 0; x < width_; ++x) std::memcpy(p + 3 * x, &C, 3);
      Full = white;
      break;
    case rv32f:
      for (int32_t x = 0; x < width_; ++x) StoreF(p + 4 * x, static_cast<float>(value));
      Full = value == 1.0;
      break;
    case rvCMYK: {
      TCMYK k = RGBToCMYK(PackRGB(C));
      for (int32_t x = 0; x < width_; ++x) std::memcpy(p + 4 * x, &k, 4);
      Full = white;
      break;
    }
    case rv48RGB: {
      TRGB48 v{static_cast<uint16_t>(C.r * 257), static_cast<uint16_t>(C.g * 257), static_cast<uint16_t>(C.b * 257)};
      for (int32_t x = 0; x < width_; ++x) std::memcpy(p + 6 * x, &v, 6);
      Full = white;
      break;
    }
    case rvCIELab: {
      TCIELab l;
      RGBToCIELab(PackRGB(C), l);
      for (int32_t x = 0; x < width_; ++x) std::memcpy(p + 3 * x, &l, 3);
      Full = white;
      break;
    }
    case rv32RGB:
      usePattern = false;
      Full = white;
      break;
    default: return;
  }
  for (int32_t y = 0; y < height_; ++y) {
    uint8_t* row = GetScanLine(y);
    if (usePattern) {
      std::memcpy(row, p, pattern.size());
    } else {
      for (int32_t x = 0; x < width_; ++x) std::memcpy(row + 4 * x, &C, 3);
    }
  }
  ReleaseFileRows();
}

void TRVBitmap::FillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, double value) {
  TRVPixelFormat f = GetPixelFormat();
  if (f == rvNone || IsEmpty()) return;
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, width_ - 1);
  y2 = std::min(y2, height_ - 1);
  if (y2 < y1 || x2 < x1) return;
  const int64_t V = common::Trunc(value);
  const TRGB C = ColorToTRGB(static_cast<TColor>(static_cast<uint32_t>(V)));
  uint8_t px[8] = {};
  int32_t n = 0;
  switch (f) {
    case rv8p:
    case rv8g: px[0] = static_cast<uint8_t>(V); n = 1; break;
    case rv16g: Store16(px, static_cast<uint16_t>(V)); n = 2; break;
    case rv24RGB: std::memcpy(px, &C, 3); n = 3; break;
    case rv32f: StoreF(px, static_cast<float>(V)); n = 4; break;
    case rvCMYK: {
      TCMYK k = RGBToCMYK(PackRGB(C));
      std::memcpy(px, &k, 4);
      n = 4;
      break;
    }
    case rv48RGB: {
      TRGB48 v{static_cast<uint16_t>(C.r * 257), static_cast<uint16_t>(C.g * 257), static_cast<uint16_t>(C.b * 257)};
      std::memcpy(px, &v, 6);
      n = 6;
      break;
    }
    case rvCIELab: {
      TCIELab l;
      RGBToCIELab(PackRGB(C), l);
      std::memcpy(px, &l, 3);
      n = 3;
      break;
    }
    case rv32RGB: std::memcpy(px, &C, 3); n = 3; break;
    default: break;
  }
  const int32_t stride = f == rv32RGB ? 4 : n;
  for (int32_t y = y1; y <= y2; ++y) {
    uint8_t* row = GetScanLine(y);
    if (f == rv1g) {
      for (int32_t x = x1; x <= x2; ++x) PutBit(row, x, V != 0);
    } else {
      for (int32_t x = x1; x <= x2; ++x) std::memcpy(row + int64_t(x) * stride, px, static_cast<size_t>(n));
    }
  }
  ReleaseFileRows();
}

// ---------------------------------------------------------------- conversion

void TRVBitmap::SetPixelFormat(TRVPixelFormat value) {
  if (value != GetPixelFormat()) ConvertToPixelFormat(value);
}

void TRVBitmap::ConvertToPixelFormat(TRVPixelFormat value) {
  if (value >= kRVPixelFormatCount) return;
  if (value == GetPixelFormat() && !IsEmpty()) return;
  if (location_ == rvTBitmap) {
    ConvertToPixelFormatAtTBitmap(value);
    return;
  }
  TRVBitmap tmp;
  MoveTo(tmp);
  width_ = tmp.width_;
  height_ = tmp.height_;
  pixelFormat_ = value;
  if (!AllocateStorage()) return;
  NeedsAllocation = false;
  if (tmp.pixelFormat_ != rvNone) {
    ConvertRows(tmp);
    alpha_ = std::move(tmp.alpha_);
  }
}

void TRVBitmap::ConvertToPixelFormatAtTBitmap(TRVPixelFormat value) {
  const bool holds = value == rv1g || value == rv8p || value == rv8g || value == rv24RGB || value == rv32RGB;
  if (!holds) {
    // The platform bitmap cannot keep these samples: the image moves to memory first.
    SetLocation(rvInMemory);
    if (location_ != rvTBitmap) ConvertToPixelFormat(value);
    return;
  }
  if (IsEmpty()) {
    if (tbitmap_ && (value == rv1g || value == rv24RGB)) {
      try {
        tbitmap_->SetPixelFormat(value == rv1g ? pf1bit : pf24bit);
      } catch (...) {
      }
    }
    pixelFormat_ = value;
    RecomputeGeometry();
    BuildRowTable();
    return;
  }
  TRVBitmap converted;
  converted.location_ = rvInMemory;
  converted.AssignImage(*this);
  converted.ConvertToPixelFormat(value);
  if (converted.IsEmpty()) return;
  auto keepAlpha = std::move(alpha_);
  NeedsAllocation = true;
  if (Allocate(converted.width_, converted.height_, value)) {
    CopyRowsFrom(converted);
    if (value == rv8p) {
      palette_ = converted.palette_;
      UpdateTBitmapPalette();
    }
  }
  alpha_ = std::move(keepAlpha);
}

void TRVBitmap::CopyAndConvertFormat(TRVBitmap& source) {
  if (&source == this || location_ == rvTBitmap) return;
  if (GetWidth() != source.GetWidth() || GetHeight() != source.GetHeight()) return;
  if (source.GetPixelFormat() == rvNone || IsEmpty()) return;
  ConvertRows(source);
  if (source.alpha_ && !isAlphaChannel_) AlphaBitmap()->Assign(source.alpha_.get());
}

void TRVBitmap::ConvertRows(TRVBitmap& source) {
  const TRVPixelFormat sf = source.GetPixelFormat(), df = pixelFormat_;
  if (sf == df) {
    // Same format: the pixels are copied as they are.
    CopyRowsFrom(source);
    if (df == rv8p) palette_ = source.palette_;
    return;
  }
  if (df == rv1g && BWConversion != 0) {
    ThresholdTo1Bit(source, *this, -1);
    return;
  }
  if (df == rv8p && sf == rv24RGB) {
    (quantizeHook ? quantizeHook : DefaultQuantize)(source, *this, std::clamp(PaletteColorCount, 1, 256));
    UpdateTBitmapPalette();
    return;
  }
  if (!HasDirect(sf, df)) {
    // Through 24 bits, on a copy: the caller's source stays as it is.
    TRVBitmap via;
    via.MemoryThreshold = MemoryThreshold;
    if (!via.Allocate(width_, height_, rv24RGB)) return;
    via.ConvertRows(source);
    ConvertRows(via);
    return;
  }
  if (df == rv8p) {
    if (palette_.size() < 256) palette_.resize(256);
    if (sf == rv1g) {
      palette_[0] = TRGB{0, 0, 0};
      palette_[1] = TRGB{255, 255, 255};
    } else {
      for (int i = 0; i < 256; ++i) palette_[static_cast<size_t>(i)] = TRGB{uint8_t(i), uint8_t(i), uint8_t(i)};
    }
    UpdateTBitmapPalette();
  }
  RowContext ctx{source.palette_.size() >= 256 ? source.palette_.data() : nullptr, DisplayMin, DisplayMax, width_, 0};
  RowAccessScope ro(source, 1), wo(*this, 2);
  for (int32_t y = 0; y < height_; ++y) {
    ctx.y = y;
    const uint8_t* s = source.GetScanLine(y);
    uint8_t* d = GetScanLine(y);
    ConvertRow(sf, df, s, d, ctx);
  }
  ReleaseFileRows();
  source.ReleaseFileRows();
}

void TRVBitmap::CopyFromPlatformBitmap(TRVPlatformBitmap& bitmap) {
  const TPixelFormat pf = bitmap.PixelFormat();
  const int32_t w = bitmap.Width(), h = bitmap.Height();
  if (pf != pf1bit && pf != pf8bit && pf != pf24bit && pf != pf32bit) return;
  if (location_ == rvTBitmap) {
    try {
      if (!tbitmap_) tbitmap_ = CreatePlatformBitmap();
      tbitmap_->SetSize(1, 1);
      tbitmap_->SetPixelFormat(pf);
      tbitmap_->SetSize(w, h);
      int32_t n = std::min(bitmap.ColorTableSize(), tbitmap_->ColorTableSize());
      if (n > 0) {
        std::vector<TRGB> table(static_cast<size_t>(n));
        bitmap.GetColorTable(table.data(), n);
        tbitmap_->SetColorTable(table.data(), n);
      }
      size_t bytes = static_cast<size_t>(BitmapRowLength(w, pf));
      for (int32_t y = 0; y < h; ++y) std::memcpy(tbitmap_->ScanLine(y), bitmap.ScanLine(y), bytes);
    } catch (...) {
      return;
    }
    width_ = height_ = -1;  // forces the next sync to pick everything up
    SyncFromTBitmap();
    Full = false;
    return;
  }
  TRVPixelFormat f = rv24RGB;
  TRGB table[256] = {};
  int32_t tableSize = std::min(bitmap.ColorTableSize(), 256);
  if (tableSize > 0) bitmap.GetColorTable(table, tableSize);
  bool mono = pf == pf1bit && (tableSize < 2 || (table[0] == TRGB{0, 0, 0} && table[1] == TRGB{255, 255, 255}));
  if (pf == pf1bit) f = mono ? rv1g : rv8p;
  else if (pf == pf8bit) f = rv8p;
  else if (pf == pf32bit) f = rv32RGB;
  NeedsAllocation = true;
  if (!Allocate(w, h, f)) return;
  if (f == rv8p) {
    for (int32_t i = 0; i < tableSize; ++i) palette_[static_cast<size_t>(i)] = table[i];
  }
  RowAccessScope wo(*this, 2);
  size_t bytes = static_cast<size_t>(std::min(rowLen_, BitmapRowLength(w, pf)));
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* s = bitmap.ScanLine(y);
    uint8_t* d = GetScanLine(y);
    if (pf == pf1bit && !mono) {
      for (int32_t x = 0; x < w; ++x) d[x] = GetBit(s, x) ? 1 : 0;
    } else {
      std::memcpy(d, s, bytes);
    }
  }
  ReleaseFileRows();
  Full = false;
}

void TRVBitmap::CopyFromTBitmap(platform::TBitmap* bitmap) {
  auto wrapped = WrapPlatformBitmap(bitmap);
  if (wrapped) CopyFromPlatformBitmap(*wrapped);
}

void TRVBitmap::CopyFromTRVMask(TRVMask* mask) {
  if (!mask) {
    Fill(255);
    return;
  }
  if (!mask->HasBits() || (mask->BitsPerPixel() != 1 && mask->BitsPerPixel() != 8)) return;
  if (!Allocate(mask->Width(), mask->Height(), mask->BitsPerPixel() == 1 ? rv1g : rv8g)) return;
  RowAccessScope wo(*this, 2);
  size_t n = static_cast<size_t>(std::min(rowLen_, mask->RowLen()));
  for (int32_t y = 0; y < height_; ++y) std::memcpy(GetScanLine(y), mask->GetScanLine(y), n);
  ReleaseFileRows();
  Full = mask->Full;
}

void TRVBitmap::CopyToTRVMask(TRVMask& mask) {
  TRVPixelFormat f = GetPixelFormat();
  if (IsEmpty() || (f != rv1g && f != rv8g && f != rv24RGB)) return;
  mask.AllocateBits(width_, height_, f == rv1g ? 1 : 8);
  RowAccessScope ro(*this, 1);
  size_t n = static_cast<size_t>(std::min(rowLen_, mask.RowLen()));
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* s = GetScanLine(y);
    uint8_t* d = mask.GetScanLine(y);
    if (f == rv24RGB) {
      for (int32_t x = 0; x < width_; ++x) d[x] = static_cast<uint8_t>(Gray8(s[3 * x + 2], s[3 * x + 1], s[3 * x]));
    } else {
      std::memcpy(d, s, n);
    }
  }
  ReleaseFileRows();
  if (f != rv24RGB) mask.Full = Full;
  // The box describes the pixels just copied.
  mask.RecomputeBounds();
}

void TRVBitmap::CopyFromTRVDibbitmap(TRVDibbitmap* dib) {
  if (!dib || dib->GetWidth() <= 0 || dib->GetHeight() <= 0) return;
  const int32_t bc = dib->GetBitCount();
  TRVPixelFormat f = bc == 1 ? rv1g : bc == 8 ? rv8g : bc == 24 ? rv24RGB : rvNone;
  if (f == rvNone) return;
  if (location_ == rvTBitmap) {
    auto keepAlpha = std::move(alpha_);
    NeedsAllocation = true;
    bool ok = Allocate(dib->GetWidth(), dib->GetHeight(), f);
    alpha_ = std::move(keepAlpha);
    if (!ok) return;
  } else if (!Allocate(dib->GetWidth(), dib->GetHeight(), f)) {
    return;
  }
  RowAccessScope wo(*this, 2);
  size_t n = static_cast<size_t>(std::min(rowLen_, dib->GetRowLen()));
  for (int32_t y = 0; y < height_; ++y) std::memcpy(GetScanLine(y), dib->GetScanLine(y), n);
  ReleaseFileRows();
}

void CopyTBitmapPalette(TRVPlatformBitmap& bitmap, TRVBitmap& target) {
  if (bitmap.PixelFormat() != pf8bit || target.GetPixelFormat() != rv8p) return;
  int32_t n = std::min({bitmap.ColorTableSize(), target.GetPaletteLength(), 256});
  TRGB table[256];
  bitmap.GetColorTable(table, n);
  for (int32_t i = 0; i < n; ++i) target.SetPalette(i, table[i]);
}

// ---------------------------------------------------------------- flags and tests

void TRVBitmap::UpdateOpaqueFlag() {
  if (IsEmpty()) return;
  RowAccessScope ro(*this, 1);
  size_t n = static_cast<size_t>(AlignedRowLength(width_, bitCount_, 8));
  bool full = true;
  for (int32_t y = 0; y < height_ && full; ++y) {
    const uint8_t* r = GetScanLine(y);
    for (size_t i = 0; i < n; ++i)
      if (r[i] != 255) {
        full = false;
        break;
      }
  }
  ReleaseFileRows();
  Full = full;
}

bool TRVBitmap::IsAllZero() {
  if (IsEmpty()) return true;
  RowAccessScope ro(*this, 1);
  size_t n = static_cast<size_t>(AlignedRowLength(width_, bitCount_, 8));
  bool zero = true;
  for (int32_t y = 0; y < height_ && zero; ++y) {
    const uint8_t* r = GetScanLine(y);
    for (size_t i = 0; i < n; ++i)
      if (r[i] != 0) {
        zero = false;
        break;
      }
  }
  ReleaseFileRows();
  return zero;
}

bool TRVBitmap::HasOnlyGrays() {
  TRVPixelFormat f = GetPixelFormat();
  if (f == rv8p) {
    for (const TRGB& p : palette_)
      if (p.r != p.g || p.g != p.b) return false;
    return true;
  }
  if (f != rv24RGB && f != rv32RGB && f != rv48RGB) return true;
  RowAccessScope ro(*this, 1);
  bool grey = true;
  for (int32_t y = 0; y < height_ && grey; ++y) {
    const uint8_t* r = GetScanLine(y);
    for (int32_t x = 0; x < width_ && grey; ++x) {
      if (f == rv48RGB) {
        const uint8_t* p = r + 6 * x;
        grey = Load16(p) == Load16(p + 2) && Load16(p + 2) == Load16(p + 4);
      } else {
        const uint8_t* p = r + (f == rv24RGB ? 3 : 4) * x;
        grey = p[0] == p[1] && p[1] == p[2];
      }
    }
  }
  ReleaseFileRows();
  return grey;
}

}  // namespace rv
