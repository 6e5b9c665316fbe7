// The row renderers: every source format turned into 24-bit pixels on the way into the
// destination rows. RVRender.cpp has checked the geometry and built the tables: every table
// entry lies inside the source and every rendered column and row inside the destination.
//
// The source value of a pixel is computed per format (display range of grey and float images,
// channel offsets and contrast of colour images), then written (plain variants), combined by
// the render operation (24-, 32- and 48-bit sources), or blended towards by
// a = min(Transparency, alpha of the source pixel): d + ((a * (v - d)) >> 8), arithmetic shift,
// and v itself where a is 255.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVRenderOperation.h"
#include "rastova/core/RVUtils.h"

namespace rv {

namespace {

// How a source value reaches its destination pixel.
enum TWriteMode { wmPlain, wmOperation, wmBlend, wmBlendOperation };

// d + ((w x (v - d)) >> 8) for every byte of a row, written as (d x (256 - w) + v x w) >> 8,
// which is the same (the arithmetic shift rounds down) and keeps to unsigned numbers, so that
// the compiler can work on many bytes at once.
// Sixteen, then eight bytes at a time in 16-bit lanes: no lane exceeds 255 x 256.
typedef uint8_t TBytes8 __attribute__((vector_size(8)));
typedef uint16_t TWords8 __attribute__((vector_size(16)));
typedef uint8_t TBytes16 __attribute__((vector_size(16)));
typedef uint16_t TWords16 __attribute__((vector_size(32)));

void BlendRow(uint8_t* d, const uint8_t* v, const uint16_t* w, size_t count) {
  size_t j = 0;
  for (; j + 16 <= count; j += 16) {
    TBytes16 db, vb;
    TWords16 ww;
    std::memcpy(&db, d + j, 16);
    std::memcpy(&vb, v + j, 16);
    std::memcpy(&ww, w + j, 32);
    const TWords16 r =
        (__builtin_convertvector(db, TWords16) * (256 - ww) + __builtin_convertvector(vb, TWords16) * ww) >>
        8;
    const TBytes16 rb = __builtin_convertvector(r, TBytes16);
    std::memcpy(d + j, &rb, 16);
  }
  for (; j + 8 <= count; j += 8) {
    TBytes8 db, vb;
    TWords8 ww;
    std::memcpy(&db, d + j, 8);
    std::memcpy(&vb, v + j, 8);
    std::memcpy(&ww, w + j, 16);
    const TWords8 r =
        (__builtin_convertvector(db, TWords8) * (256 - ww) + __builtin_convertvector(vb, TWords8) * ww) >> 8;
    const TBytes8 rb = __builtin_convertvector(r, TBytes8);
    std::memcpy(d + j, &rb, 8);
  }
  for (; j < count; ++j)
    d[j] = static_cast<uint8_t>((uint32_t(d[j]) * (256u - w[j]) + uint32_t(v[j]) * w[j]) >> 8);
}

// The loop of every format: `fetch(sourceRow, column)` gives the source value as TRGB.
// `rowRepeat` copies the previous destination row when two rows come from one source row;
// callers allow it only where the result does not depend on the destination.
template <TWriteMode M, class Fetch>
void RenderLoop(TRVBitmap& source, const TRVRenderRowsArgs& a, bool rowRepeat, Fetch fetch) {
  constexpr bool blend = M == wmBlend || M == wmBlendOperation;
  TRVBitmap* alpha = blend && a.UseAlpha && source.HasAlphaBitmap() ? source.AlphaBitmap() : nullptr;
  const int32_t t = std::clamp(a.Transparency, 0, 255);
  const int32_t n = a.LastCol - a.FirstCol + 1;
  const size_t first = static_cast<size_t>(a.FirstCol) * 3;
  // Local copies: the byte stores below could otherwise alias the arguments.
  const int32_t* const xTable = a.XTable;
  uint8_t* const* const rowTable = a.RowTable;
  const TRVRenderOperation operation = a.RenderOperation;
  std::vector<uint8_t> values(blend ? size_t(n) * 3 : 0);
  std::vector<uint16_t> weights(blend ? size_t(n) * 3 : 0);
  int32_t previous = -1;
  for (int32_t y = a.FirstRow; y <= a.LastRow; ++y) {
    const int32_t sy = a.YTable[y - a.FirstRow];
    uint8_t* d = rowTable[y] + first;
    if (rowRepeat && sy == previous) {
      std::memcpy(d, rowTable[y - 1] + first, static_cast<size_t>(n) * 3);
      continue;
    }
    previous = -1;
    const uint8_t* s = source.GetScanLine(sy);
    const uint8_t* as = alpha ? alpha->GetScanLine(sy) : nullptr;
    if (!s || (alpha && !as)) continue;
    previous = sy;
    for (int32_t i = 0; i < n; ++i, d += 3) {
      const int32_t sx = xTable[i];
      TRGB v = fetch(s, sx);
      if constexpr (M == wmPlain) {
        d[0] = v.b;
        d[1] = v.g;
        d[2] = v.r;
      } else if constexpr (M == wmOperation) {
        ApplyRenderOperation(&v, reinterpret_cast<TRGB*>(d), operation, y);
      } else {
        // The values and weights of the row first; BlendRow then mixes them in.
        int32_t w = as ? std::min<int32_t>(t, as[sx]) : t;
        w += w == 255;  // a fully opaque pixel counts 256: the value itself (255 would leave 255 at 254)
        if constexpr (M == wmBlendOperation) {
          TRGB r{d[0], d[1], d[2]};
          ApplyRenderOperation(&v, &r, operation, y);
          v = r;
        }
        uint8_t* val = &values[size_t(i) * 3];
        uint16_t* wt = &weights[size_t(i) * 3];
        val[0] = v.b;
        val[1] = v.g;
        val[2] = v.r;
        wt[0] = wt[1] = wt[2] = static_cast<uint16_t>(w);
      }
    }
    if constexpr (blend) BlendRow(rowTable[y] + first, values.data(), weights.data(), size_t(n) * 3);
  }
}

template <class Fetch>
void RenderWith(TRVBitmap& source, const TRVRenderRowsArgs& a, bool blend, bool operation, bool rowRepeat,
                Fetch fetch) {
  if (blend) {
    if (operation)
      RenderLoop<wmBlendOperation>(source, a, false, fetch);
    else
      RenderLoop<wmBlend>(source, a, false, fetch);
  } else if (operation) {
    RenderLoop<wmOperation>(source, a, false, fetch);
  } else {
    RenderLoop<wmPlain>(source, a, rowRepeat, fetch);
  }
}

// The display range of grey and float images: (clamp (s, Trunc (min), Trunc (max)) -
// Trunc (min)) / (max - min) x 255, truncated and kept within a byte.
struct TDisplayRange {
  bool On = false;
  int32_t Lo = 0, Hi = 0;
  double Min = 0, Max = 0, Span = 1;
  explicit TDisplayRange(TRVBitmap& b)
      : Min(b.DisplayMin), Max(b.DisplayMax), Span(b.DisplayMax - b.DisplayMin) {
    On = Span != 0;
    Lo = common::TruncInt(Min);
    Hi = common::TruncInt(Max);
  }
  uint8_t Map(int32_t s) const {
    const int32_t v = IntClamp(s, Lo, Hi);
    return ClampToByte(common::TruncInt((static_cast<double>(v) - Lo) / Span * 255));
  }
  // The float rule: s clamped as a real number.
  uint8_t MapFloat(double s) const {
    const double v = s < Min ? Min : (s > Max ? Max : s);
    return ClampToByte(common::TruncInt((v - Min) / Span * 255));
  }
  // A table over the values 0 .. count - 1 (identity shifted by `shift` when no range is set).
  std::vector<uint8_t> Table(int32_t count, int32_t shift) const {
    std::vector<uint8_t> t(static_cast<size_t>(count));
    for (int32_t s = 0; s < count; ++s)
      t[static_cast<size_t>(s)] = On ? Map(s) : static_cast<uint8_t>(s >> shift);
    return t;
  }
};

// Contrast factor of 8-bit channels in 16.16: (1 - sqrt (-c) / 10) x 65536 for c < 0, else
// (c / 10 + 1) x 65536, truncated (kept within 32 bits, which changes no result).
int64_t ContrastFactor(int32_t contrast) {
  const long double c = contrast;
  const long double f = contrast < 0 ? (1.0L - std::sqrt(-c) / 10) * 65536 : (c / 10 + 1) * 65536;
  return std::clamp<int64_t>(common::Trunc(f), INT32_MIN, INT32_MAX);
}

// The colour path of 8-bit channels as one table per channel (blue, green, red):
// clamp (CF x (s + offset - 128) div 65536 + 128, 0, 255), then the display range when asked.
struct TChannelTables {
  uint8_t T[3][256];
  TChannelTables(TRVBitmap& b, bool withRange) {
    const int64_t cf = ContrastFactor(b.Contrast);
    const TDisplayRange range(b);
    for (int c = 0; c < 3; ++c) {
      // Offsets beyond +-2^24 saturate every channel already; clamping them keeps the products in 64 bits.
      const int64_t offset =
          std::clamp<int64_t>(b.ChannelOffset[2 - c], -(int64_t(1) << 24), int64_t(1) << 24);
      for (int32_t s = 0; s < 256; ++s) {
        int32_t v = ClampToByte(
            static_cast<int32_t>(std::clamp<int64_t>(cf * (s + offset - 128) / 65536 + 128, -1, 256)));
        if (withRange && range.On) v = range.Map(v);
        T[c][s] = static_cast<uint8_t>(v);
      }
    }
  }
};

bool Adjusted(TRVBitmap& b, TRVRenderOperation op) {
  return b.ChannelOffsetSet || b.Contrast != 0 || op != rvlNormal;
}

// Whether the rendered columns take consecutive source columns (a 1:1 placement).
bool ContiguousColumns(const TRVRenderRowsArgs& a) {
  const int32_t n = a.LastCol - a.FirstCol + 1;
  if (!a.XTable || n < 1) return false;
  for (int32_t i = 1; i < n; ++i)
    if (a.XTable[i] != a.XTable[0] + i) return false;
  return true;
}

// One row of 24-bit pixels blended by one alpha byte per pixel, capped at t: the weight of a
// pixel is min (t, alpha), 256 where that is 255, the same for its three bytes. Sixteen pixels
// (48 bytes) at a time: their weights are spread over the bytes by shuffles, which need the byte
// shuffle of the newer processors (on others the compiler spells them out byte by byte).
__attribute__((always_inline)) inline void BlendRowAlpha24Body(uint8_t* d, const uint8_t* v,
                                                               const uint8_t* alpha, int32_t n, int32_t t) {
  int32_t i = 0;
  const TWords16 cap = TWords16{} + static_cast<uint16_t>(t);
  for (; i + 16 <= n; i += 16) {
    TBytes16 a;
    std::memcpy(&a, alpha + i, 16);
    const TBytes16 spread[3] = {
        __builtin_shufflevector(a, a, 0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5),
        __builtin_shufflevector(a, a, 5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10),
        __builtin_shufflevector(a, a, 10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15)};
    for (int k = 0; k < 3; ++k) {
      uint8_t* dk = d + size_t(i) * 3 + size_t(k) * 16;
      TWords16 w = __builtin_convertvector(spread[k], TWords16);
      const TWords16 below = (TWords16)(w < cap);
      w = (w & below) | (cap & ~below);
      w += (TWords16)(w == 255) & 1;
      TBytes16 db, vb;
      std::memcpy(&db, dk, 16);
      std::memcpy(&vb, v + size_t(i) * 3 + size_t(k) * 16, 16);
      const TWords16 r =
          (__builtin_convertvector(db, TWords16) * (256 - w) + __builtin_convertvector(vb, TWords16) * w) >>
          8;
      const TBytes16 rb = __builtin_convertvector(r, TBytes16);
      std::memcpy(dk, &rb, 16);
    }
  }
  for (; i < n; ++i) {
    uint32_t w = static_cast<uint32_t>(std::min<int32_t>(t, alpha[i]));
    w += w == 255;
    for (int c = 0; c < 3; ++c) {
      uint8_t& b = d[size_t(i) * 3 + c];
      b = static_cast<uint8_t>((uint32_t(b) * (256u - w) + uint32_t(v[size_t(i) * 3 + c]) * w) >> 8);
    }
  }
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void BlendRowAlpha24Avx2(uint8_t* d, const uint8_t* v, const uint8_t* alpha,
                                                         int32_t n, int32_t t) {
  BlendRowAlpha24Body(d, v, alpha, n, t);
}
#endif

// Without the byte shuffle: the weights of a row first, then BlendRow.
void BlendRowAlpha24Plain(uint8_t* d, const uint8_t* v, const uint8_t* alpha, int32_t n, int32_t t,
                          std::vector<uint16_t>& weights) {
  weights.resize(size_t(n) * 3);
  uint16_t* w = weights.data();
  for (int32_t i = 0; i < n; ++i, w += 3) {
    int32_t x = std::min<int32_t>(t, alpha[i]);
    x += x == 255;
    w[0] = w[1] = w[2] = static_cast<uint16_t>(x);
  }
  BlendRow(d, v, weights.data(), size_t(n) * 3);
}

void BlendRowAlpha24(uint8_t* d, const uint8_t* v, const uint8_t* alpha, int32_t n, int32_t t,
                     std::vector<uint16_t>& weights) {
#if defined(__x86_64__)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) return BlendRowAlpha24Avx2(d, v, alpha, n, t);
#endif
  BlendRowAlpha24Plain(d, v, alpha, n, t, weights);
}

// Blending a plain 24-bit source placed 1:1: the source row is the value row itself (the same
// result as RenderLoop's).
void BlendContiguous24(TRVBitmap& source, const TRVRenderRowsArgs& a) {
  TRVBitmap* alpha = a.UseAlpha && source.HasAlphaBitmap() ? source.AlphaBitmap() : nullptr;
  const int32_t t = std::clamp(a.Transparency, 0, 255);
  const int32_t n = a.LastCol - a.FirstCol + 1;
  const size_t first = static_cast<size_t>(a.FirstCol) * 3;
  const size_t from = static_cast<size_t>(a.XTable[0]) * 3;
  std::vector<uint16_t> weights(alpha ? 0 : size_t(n) * 3, static_cast<uint16_t>(t + (t == 255)));
  for (int32_t y = a.FirstRow; y <= a.LastRow; ++y) {
    const int32_t sy = a.YTable[y - a.FirstRow];
    const uint8_t* s = source.GetScanLine(sy);
    const uint8_t* as = alpha ? alpha->GetScanLine(sy) : nullptr;
    if (!s || (alpha && !as)) continue;
    if (as)
      BlendRowAlpha24(a.RowTable[y] + first, s + from, as + a.XTable[0], n, t, weights);
    else
      BlendRow(a.RowTable[y] + first, s + from, weights.data(), size_t(n) * 3);
  }
}

// The 24- and 32-bit colour sources: pixels of `stride` 3 or 4 bytes, the first three blue,
// green, red.
template <size_t stride>
void RenderColour(TRVBitmap& source, const TRVRenderRowsArgs& a, bool blend, bool withRange) {
  const bool operation = a.RenderOperation != rvlNormal;
  if (stride == 3 && blend && !Adjusted(source, a.RenderOperation) &&
      !(withRange && TDisplayRange(source).On) && ContiguousColumns(a)) {
    BlendContiguous24(source, a);
    return;
  }
  if (Adjusted(source, a.RenderOperation) || (withRange && TDisplayRange(source).On)) {
    const TChannelTables tables(source, withRange);
    RenderWith(source, a, blend, operation, a.RowRepeat && !(withRange && TDisplayRange(source).On),
               [&](const uint8_t* s, int32_t x) {
                 const uint8_t* p = s + static_cast<size_t>(x) * stride;
                 return TRGB{tables.T[0][p[0]], tables.T[1][p[1]], tables.T[2][p[2]]};
               });
    return;
  }
  RenderWith(source, a, blend, false, a.RowRepeat, [](const uint8_t* s, int32_t x) {
    const uint8_t* p = s + static_cast<size_t>(x) * stride;
    return TRGB{p[0], p[1], p[2]};
  });
}

// The 1:1 copy of a 24-bit source without any adjustment: one block per destination row,
// each row reached through the row table (chunked destinations are not evenly spaced).
void CopyRowSegments(TRVBitmap& source, const TRVRenderRowsArgs& a) {
  const size_t bytes = static_cast<size_t>(a.LastCol - a.FirstCol + 1) * 3;
  const size_t from = static_cast<size_t>(a.FirstCol + a.xSrc - a.xDst) * 3;
  for (int32_t y = a.FirstRow; y <= a.LastRow; ++y) {
    const uint8_t* s = source.GetScanLine(y + a.ySrc - a.yDst);
    if (s) std::memcpy(a.RowTable[y] + static_cast<size_t>(a.FirstCol) * 3, s + from, bytes);
  }
}

void RenderGray8(TRVBitmap& source, const TRVRenderRowsArgs& a, bool blend) {
  const std::vector<uint8_t> table = TDisplayRange(source).Table(256, 0);
  RenderWith(source, a, blend, false, false, [&](const uint8_t* s, int32_t x) {
    const uint8_t v = table[s[x]];
    return TRGB{v, v, v};
  });
}

void RenderGray16(TRVBitmap& source, const TRVRenderRowsArgs& a, bool blend) {
  const std::vector<uint8_t> table = TDisplayRange(source).Table(65536, 8);
  RenderWith(source, a, blend, false, false, [&](const uint8_t* s, int32_t x) {
    uint16_t w;
    std::memcpy(&w, s + static_cast<size_t>(x) * 2, 2);
    const uint8_t v = table[w];
    return TRGB{v, v, v};
  });
}

void RenderFloat(TRVBitmap& source, const TRVRenderRowsArgs& a, bool blend) {
  const TDisplayRange range(source);
  RenderWith(source, a, blend, false, false, [&](const uint8_t* s, int32_t x) {
    float f;
    std::memcpy(&f, s + static_cast<size_t>(x) * 4, 4);
    const uint8_t v =
        range.On ? range.MapFloat(f) : static_cast<uint8_t>(common::Trunc(static_cast<double>(f) * 255));
    return TRGB{v, v, v};
  });
}

void RenderBW(TRVBitmap& source, const TRVRenderRowsArgs& a, bool blend) {
  RenderWith(source, a, blend, false, a.RowRepeat, [](const uint8_t* s, int32_t x) {
    const uint8_t v = (s[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
    return TRGB{v, v, v};
  });
}

void RenderPalette(TRVBitmap& source, const TRVRenderRowsArgs& a, bool blend) {
  const TRGB* palette = source.GetPaletteBuffer();
  const int32_t count = source.GetPaletteLength();
  if (!palette || count <= 0) return;
  RenderWith(source, a, blend, false, false,
             [=](const uint8_t* s, int32_t x) { return s[x] < count ? palette[s[x]] : TRGB{}; });
}

void RenderCMYK(TRVBitmap& source, const TRVRenderRowsArgs& a, bool blend) {
  RenderWith(source, a, blend, false, false, [](const uint8_t* s, int32_t x) {
    const uint8_t* p = s + static_cast<size_t>(x) * 4;
    return CMYKToRGB(TCMYK{p[0], p[1], p[2], p[3]});
  });
}

void RenderLab(TRVBitmap& source, const TRVRenderRowsArgs& a, bool blend) {
  RenderWith(source, a, blend, false, false, [](const uint8_t* s, int32_t x) {
    const uint8_t* p = s + static_cast<size_t>(x) * 3;
    TRGB rgb;
    CIELabToRGB(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16), rgb);
    return rgb;
  });
}

// 48-bit sources: the high byte of each word, or with an adjustment
// clamp (Trunc ((s + offset - 32768) x CF + 32768) div 256, 0, 255), CF a real number.
void RenderRGB48(TRVBitmap& source, const TRVRenderRowsArgs& a, bool blend) {
  auto word = [](const uint8_t* p, int i) {
    uint16_t w;
    std::memcpy(&w, p + 2 * i, 2);
    return w;
  };
  if (!Adjusted(source, a.RenderOperation)) {
    RenderWith(source, a, blend, false, false, [&](const uint8_t* s, int32_t x) {
      const uint8_t* p = s + static_cast<size_t>(x) * 6;
      return TRGB{static_cast<uint8_t>(word(p, 2) >> 8), static_cast<uint8_t>(word(p, 1) >> 8),
                  static_cast<uint8_t>(word(p, 0) >> 8)};
    });
    return;
  }
  const double c = source.Contrast;
  const double cf = source.Contrast < 0 ? 1 - std::sqrt(-c) / 10 : c / 10 + 1;
  const double offset[3] = {double(source.ChannelOffset[0]), double(source.ChannelOffset[1]),
                            double(source.ChannelOffset[2])};
  auto channel = [&](uint16_t s, int i) {
    const int64_t v = common::Trunc((s + offset[i] - 32768) * cf + 32768) / 256;
    return static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 255));
  };
  RenderWith(source, a, blend, a.RenderOperation != rvlNormal, false, [&](const uint8_t* s, int32_t x) {
    const uint8_t* p = s + static_cast<size_t>(x) * 6;
    return TRGB{channel(word(p, 2), 2), channel(word(p, 1), 1), channel(word(p, 0), 0)};
  });
}

}  // namespace

void TRVBitmap::RenderRows_rv24RGB(const TRVRenderRowsArgs& a) {
  if (!a.YTable || !a.XTable) {
    CopyRowSegments(*this, a);
    return;
  }
  RenderColour<3>(*this, a, false, true);
}
void TRVBitmap::RenderRowsAlpha_rv24RGB(const TRVRenderRowsArgs& a) {
  RenderColour<3>(*this, a, true, false);
}
void TRVBitmap::RenderRows_rv32RGB(const TRVRenderRowsArgs& a) { RenderColour<4>(*this, a, false, false); }
void TRVBitmap::RenderRowsAlpha_rv32RGB(const TRVRenderRowsArgs& a) {
  RenderColour<4>(*this, a, true, false);
}
void TRVBitmap::RenderRows_rv1g(const TRVRenderRowsArgs& a) { RenderBW(*this, a, false); }
void TRVBitmap::RenderRowsAlpha_rv1g(const TRVRenderRowsArgs& a) { RenderBW(*this, a, true); }
void TRVBitmap::RenderRows_rv8g(const TRVRenderRowsArgs& a) { RenderGray8(*this, a, false); }
void TRVBitmap::RenderRowsAlpha_rv8g(const TRVRenderRowsArgs& a) { RenderGray8(*this, a, true); }
void TRVBitmap::RenderRows_rv8p(const TRVRenderRowsArgs& a) { RenderPalette(*this, a, false); }
void TRVBitmap::RenderRowsAlpha_rv8p(const TRVRenderRowsArgs& a) { RenderPalette(*this, a, true); }
void TRVBitmap::RenderRows_rv16g(const TRVRenderRowsArgs& a) { RenderGray16(*this, a, false); }
void TRVBitmap::RenderRowsAlpha_rv16g(const TRVRenderRowsArgs& a) { RenderGray16(*this, a, true); }
void TRVBitmap::RenderRows_rv32f(const TRVRenderRowsArgs& a) { RenderFloat(*this, a, false); }
void TRVBitmap::RenderRowsAlpha_rv32f(const TRVRenderRowsArgs& a) { RenderFloat(*this, a, true); }
void TRVBitmap::RenderRows_rvCMYK(const TRVRenderRowsArgs& a) { RenderCMYK(*this, a, false); }
void TRVBitmap::RenderRowsAlpha_rvCMYK(const TRVRenderRowsArgs& a) { RenderCMYK(*this, a, true); }
void TRVBitmap::RenderRows_rvCIELab(const TRVRenderRowsArgs& a) { RenderLab(*this, a, false); }
void TRVBitmap::RenderRowsAlpha_rvCIELab(const TRVRenderRowsArgs& a) { RenderLab(*this, a, true); }
void TRVBitmap::RenderRows_rv48RGB(const TRVRenderRowsArgs& a) { RenderRGB48(*this, a, false); }
void TRVBitmap::RenderRowsAlpha_rv48RGB(const TRVRenderRowsArgs& a) { RenderRGB48(*this, a, true); }

}  // namespace rv
