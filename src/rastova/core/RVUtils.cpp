#include "rastova/core/RVUtils.h"

#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <clocale>
#include <limits>
#include <memory>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "common/CodePage.h"
#include "common/NumberText.h"
#include "common/Round.h"
#include "rastova/core/RVStream.h"

namespace rv {

using common::Round;
using common::Trunc;

// ---------------------------------------------------------------- numbers and bits

int32_t CeilToInt(long double value) {
  int32_t t = common::TruncInt(value);
  if (common::Frac(value) > 0 && t < std::numeric_limits<int32_t>::max()) return t + 1;
  return t;
}

void OrderRectCorners(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2) {
  if (x2 < x1) SwapIntValues(x1, x2);
  if (y2 < y1) SwapIntValues(y1, y2);
}

void CopyBitBlock(const void* source, void* dest, int64_t sourceBit, int64_t destBit, int64_t bitCount) {
  if (bitCount <= 0) return;
  const uint8_t* s = static_cast<const uint8_t*>(source);
  uint8_t* d = static_cast<uint8_t*>(dest);
  // Whole bytes when both runs start on a byte boundary.
  if ((sourceBit & 7) == 0 && (destBit & 7) == 0) {
    int64_t bytes = bitCount >> 3;
    std::memmove(d + (destBit >> 3), s + (sourceBit >> 3), static_cast<size_t>(bytes));
    sourceBit += bytes * 8;
    destBit += bytes * 8;
    bitCount -= bytes * 8;
  }
  for (int64_t i = 0; i < bitCount; ++i) SetBufferBit(d, destBit + i, GetBufferBit(s, sourceBit + i));
}

int32_t BitMaskWidth(uint32_t mask) {
  int lowest = 31;
  for (int i = 0; i <= 30; ++i) {
    if (mask & (1u << i)) {
      lowest = i;
      break;
    }
  }
  int32_t n = 0;
  for (int i = lowest; i <= 31 && (mask & (1u << i)); ++i) ++n;
  return n;
}

int32_t CeilLog2(uint32_t n) {
  if (n == 0) return -1;
  int high = 31 - __builtin_clz(n);
  return (n & (n - 1)) == 0 ? high : high + 1;
}

int64_t AlignedRowLength64(int64_t width, int32_t bitsPerPixel, int32_t alignBits) {
  if (width <= 0 || bitsPerPixel <= 0) return 0;
  if (alignBits < 8) alignBits = 8;
  int64_t bits = width * bitsPerPixel;
  if (alignBits == 32) return ((bits + 31) >> 5) * 4;
  return ((bits + alignBits - 1) / alignBits) * (alignBits / 8);
}

int32_t AlignedRowLength(int32_t width, int32_t bitsPerPixel, int32_t alignBits) {
  return common::SaturateInt32(AlignedRowLength64(width, bitsPerPixel, alignBits));
}

int32_t PixelFormatBitCount(TPixelFormat format) {
  switch (format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit: return 15;
    case pf16bit: return 16;
    case pf24bit: return 24;
    case pf32bit: return 32;
    default: return 0;
  }
}

TRVPixelFormat PixelFormatToRVFormat(TPixelFormat format) {
  switch (format) {
    case pf1bit: return rv1g;
    case pf4bit:
    case pf8bit: return rv8p;
    default: return rv24RGB;
  }
}

int32_t BitmapRowLength(int32_t width, TPixelFormat format) {
  return AlignedRowLength(width, PixelFormatBitCount(format), 32);
}

int32_t BitDepthColorCount(int32_t bitsPerSample, int32_t samplesPerPixel) {
  if (samplesPerPixel <= 0) return 1;
  int64_t bits = int64_t(bitsPerSample) * samplesPerPixel;
  if (bits < 0) return 1;
  if (bits >= 31) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(int64_t(1) << bits);
}

namespace {
struct ReverseTable {
  uint8_t t[256];
  constexpr ReverseTable() : t() {
    for (int i = 0; i < 256; ++i) {
      int r = 0;
      for (int b = 0; b < 8; ++b)
        if (i & (1 << b)) r |= 0x80 >> b;
      t[i] = static_cast<uint8_t>(r);
    }
  }
};
constexpr ReverseTable kReverse;
}  // namespace

void ReverseBitsInByte(uint8_t& b) { b = kReverse.t[b]; }

void ReverseBits32(uint32_t& v) {
  uint32_t r = 0;
  for (int i = 0; i < 4; ++i) r |= uint32_t(kReverse.t[(v >> (8 * i)) & 0xFF]) << (8 * (3 - i));
  v = r;
}

void ByteSwap16Array(uint16_t* p, int64_t n) {
  for (int64_t i = 0; i < n; ++i) p[i] = SwapBytes16(p[i]);
}

// ---------------------------------------------------------------- powers

long double FloatIntPower(int32_t n, long double x) {
  int64_t e = n < 0 ? -int64_t(n) : int64_t(n);
  long double result = 1.0L, base = x;
  while (e > 0) {
    if (e & 1) result *= base;
    base *= base;
    e >>= 1;
  }
  return n < 0 ? 1.0L / result : result;
}

long double FloatPower(long double base, long double exponent) {
  if (exponent == 0) return 1.0L;
  if (base == 0 && exponent > 0) return 0.0L;
  if (common::Frac(exponent) != 0 || std::fabs(exponent) > 2147483647.0L)
    return std::exp(exponent * std::log(base));
  return FloatIntPower(static_cast<int32_t>(exponent), base);
}

long double DoublePower(double base, double exponent) {
  if (std::fabs(exponent) < 2147483647.0 && exponent == std::trunc(exponent)) {
    int32_t n = static_cast<int32_t>(exponent);
    if (n == 0) return 1.0L;
    if (base == 0) return 0.0L;
    switch (n) {
      case 1: return base;
      case 2: return static_cast<long double>(base) * base;
      case -1: return 1.0L / base;
      case -2: return 1.0L / (static_cast<long double>(base) * base);
      default: return FloatIntPower(n, base);
    }
  }
  return std::exp2(static_cast<long double>(exponent) * std::log2(static_cast<long double>(base)));
}

// ---------------------------------------------------------------- colours

TRGB MakeRGB(uint8_t red, uint8_t green, uint8_t blue) { return TRGB{blue, green, red}; }
TRGB48 MakeRGB48(uint16_t red, uint16_t green, uint16_t blue) { return TRGB48{red, green, blue}; }
uint32_t MakeRGBA(uint8_t red, uint8_t green, uint8_t blue, uint8_t fourth) {
  return uint32_t(blue) | (uint32_t(green) << 8) | (uint32_t(red) << 16) | (uint32_t(fourth) << 24);
}
TCMYK MakeCMYK(uint8_t c, uint8_t m, uint8_t y, uint8_t k) { return TCMYK{c, m, y, k}; }

namespace {

// The classic default system colours, as RGB (red in bits 16-23).
constexpr uint32_t kSystemColors[31] = {
    0xC8C8C8, 0x000000, 0x99B4D1, 0xBFCDDB, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
    0x000000, 0x000000, 0xB4B4B4, 0xF4F7FC, 0xABABAB, 0x3399FF, 0xFFFFFF, 0xF0F0F0,
    0xA0A0A0, 0x6D6D6D, 0x000000, 0x434E54, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
    0xFFFFE1, 0x000000, 0x0066CC, 0xB9D1EA, 0xD7E4F2, 0x3399FF, 0xF0F0F0};

// Default resolver: the table above, answered as a TColor (red in the low byte).
uint32_t DefaultSystemColor(TColor color) {
  uint32_t index = static_cast<uint32_t>(color) & 0xFF;
  uint32_t rgb = index < 31 ? kSystemColors[index] : 0;
  return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

TSystemColorResolver systemColorResolver = DefaultSystemColor;
TCMYKToRGBHook cmykToRGBHook = nullptr;
TRGBToCMYKHook rgbToCMYKHook = nullptr;

}  // namespace

void SetSystemColorResolver(TSystemColorResolver resolver) {
  systemColorResolver = resolver ? resolver : DefaultSystemColor;
}

void ColorToTRGB(TColor color, TRGB& value) {
  uint32_t c = static_cast<uint32_t>(color);
  if (color < 0) c = systemColorResolver(color);
  value.r = static_cast<uint8_t>(c);
  value.g = static_cast<uint8_t>(c >> 8);
  value.b = static_cast<uint8_t>(c >> 16);
}

TRGB ColorToTRGB(TColor color) {
  TRGB v;
  ColorToTRGB(color, v);
  return v;
}

TColor RGBToColor(const TRGB& value) {
  return static_cast<TColor>(uint32_t(value.r) | (uint32_t(value.g) << 8) | (uint32_t(value.b) << 16));
}

int32_t RGBToGrayLevel(uint32_t packedRGB) {
  return Gray8((packedRGB >> 16) & 0xFF, (packedRGB >> 8) & 0xFF, packedRGB & 0xFF);
}

void TRGBToHSL(double& hue, double& saturation, double& lightness, uint32_t packedRGB) {
  double r = ((packedRGB >> 16) & 0xFF) / 255.0, g = ((packedRGB >> 8) & 0xFF) / 255.0,
         b = (packedRGB & 0xFF) / 255.0;
  double mx = std::max(r, std::max(g, b)), mn = std::min(r, std::min(g, b));
  lightness = (mx + mn) / 2;
  if (mx == mn) {
    hue = saturation = 0;
    return;
  }
  double d = mx - mn;
  saturation = lightness >= 0.5 ? d / (2 - mx - mn) : d / (mx + mn);
  double h;
  if (mx == r) h = (g - b) / d;
  else if (mx == g) h = (b - r) / d + 2;
  else h = (r - g) / d + 4;
  h /= 6;
  if (h < 0) h += 1;
  hue = h;
}

namespace {
double HueToRGB(double h, double m2, double m1) {
  if (h < 0) h += 1;
  else if (h > 1) h -= 1;
  if (6 * h < 1) return m1 + (m2 - m1) * h * 6;
  if (2 * h < 1) return m2;
  if (3 * h < 2) return m1 + (m2 - m1) * (2.0 / 3.0 - h) * 6;
  return m1;
}
uint8_t UnitToByte(double v) { return ClampToByte(common::RoundInt(v * 255)); }
}  // namespace

void HSLToTRGB(TRGB& value, double lightness, double saturation, double hue) {
  if (hue < 0) hue += 1;
  else if (hue > 1) hue -= 1;
  saturation = std::clamp(saturation, 0.0, 1.0);
  lightness = std::clamp(lightness, 0.0, 1.0);
  if (saturation == 0) {
    uint8_t v = UnitToByte(lightness);
    value = TRGB{v, v, v};
    return;
  }
  double m2 = lightness > 0.5 ? saturation + lightness - saturation * lightness : lightness * (1 + saturation);
  double m1 = 2 * lightness - m2;
  value.r = UnitToByte(HueToRGB(hue + 1.0 / 3.0, m2, m1));
  value.g = UnitToByte(HueToRGB(hue, m2, m1));
  value.b = UnitToByte(HueToRGB(hue - 1.0 / 3.0, m2, m1));
}

namespace {
double Linearise(double v) { return v <= 0.04045 ? v / 12.92 : static_cast<double>(DoublePower((v + 0.055) / 1.055, 2.4)); }
double LabF(double t) {
  return t > 0.008856 ? static_cast<double>(DoublePower(t, 1.0 / 3.0)) : 7.787 * t + 16.0 / 116.0;
}
}  // namespace

void RGBToCIELab(uint32_t packedRGB, TCIELab& lab) {
  double r = Linearise(((packedRGB >> 16) & 0xFF) / 255.0);
  double g = Linearise(((packedRGB >> 8) & 0xFF) / 255.0);
  double b = Linearise((packedRGB & 0xFF) / 255.0);
  double x = (0.412453 * r + 0.35758 * g + 0.180423 * b) / 0.95047;
  double y = 0.212671 * r + 0.71516 * g + 0.072169 * b;
  double z = (0.019334 * r + 0.119193 * g + 0.950227 * b) / 1.08883;
  double fy = LabF(y);
  double l = y > 0.008856 ? 116 * fy - 16 : 903.3 * y;
  lab.l = static_cast<uint8_t>(Trunc(l * 255 / 100));
  lab.a = static_cast<int8_t>(static_cast<uint8_t>(Trunc(500 * (LabF(x) - fy))));
  lab.b = static_cast<int8_t>(static_cast<uint8_t>(Trunc(200 * (fy - LabF(z)))));
}

void CIELabToRGB(uint32_t lab, TRGB& rgb) {
  double l = lab & 0xFF;
  double a = static_cast<int8_t>((lab >> 8) & 0xFF);
  double b = static_cast<int8_t>((lab >> 16) & 0xFF);
  double fy = (l * 0.39215686275 + 16) / 116;
  double fx = fy + a / 500;
  double fz = fy - b / 200;
  auto inv = [](double f) {
    double f3 = f * f * f;
    return f3 > 0.008856 ? f3 : (f - 16.0 / 116.0) / 7.787;
  };
  double x = 0.95047 * inv(fx), y = inv(fy), z = 1.08883 * inv(fz);
  double r = 3.2406 * x - 1.5372 * y - 0.4986 * z;
  double g = -0.9689 * x + 1.8758 * y + 0.0415 * z;
  double bb = 0.0557 * x - 0.204 * y + 1.057 * z;
  auto gamma = [](double v) {
    double c = v <= 0.0031308 ? 12.92 * v : 1.055 * static_cast<double>(DoublePower(v, 1 / 2.4)) - 0.055;
    return ClampToByte(common::RoundInt(c * 255));
  };
  rgb.r = gamma(r);
  rgb.g = gamma(g);
  rgb.b = gamma(bb);
}

void SetCMYKConversionHooks(TCMYKToRGBHook toRGB, TRGBToCMYKHook toCMYK) {
  cmykToRGBHook = toRGB;
  rgbToCMYKHook = toCMYK;
}

TRGB CMYKToRGB(const TCMYK& value) {
  TRGB rgb;
  if (cmykToRGBHook && cmykToRGBHook(value, rgb)) return rgb;
  rgb.r = static_cast<uint8_t>(value.c * value.k / 255);
  rgb.g = static_cast<uint8_t>(value.m * value.k / 255);
  rgb.b = static_cast<uint8_t>(value.y * value.k / 255);
  return rgb;
}

TCMYK RGBToCMYK(uint32_t packedRGB) {
  TRGB rgb = UnpackRGB(packedRGB);
  TCMYK cmyk;
  if (rgbToCMYKHook && rgbToCMYKHook(rgb, cmyk)) return cmyk;
  int k = std::max<int>(rgb.r, std::max<int>(rgb.g, rgb.b));
  if (k == 0) k = 1;
  cmyk.c = static_cast<uint8_t>(rgb.r * 255 / k);
  cmyk.m = static_cast<uint8_t>(rgb.g * 255 / k);
  cmyk.y = static_cast<uint8_t>(rgb.b * 255 / k);
  cmyk.k = static_cast<uint8_t>(k);
  return cmyk;
}

int32_t NearestPaletteIndex(const TRGB* palette, int32_t count, const TRGB& colour) {
  int32_t best = 0, bestSum = 1000;
  for (int32_t i = 0; i < count; ++i) {
    int32_t s = std::abs(palette[i].r - colour.r) + std::abs(palette[i].g - colour.g) +
                std::abs(palette[i].b - colour.b);
    if (s < bestSum) {
      bestSum = s;
      best = i;
    }
  }
  return best;
}

namespace {

#if defined(__x86_64__)
// Sixteen pixels fill three 16-byte blocks; output block k takes bytes from input blocks k - 1,
// k and k + 1. The shuffle for (output block, input block) picks byte j of the output from the
// input block that holds its source, 0x80 leaving it to another input block.
struct TSwapMasks {
  alignas(16) uint8_t m[3][3][16];  // [output block][input block][byte]
  TSwapMasks() {
    for (int k = 0; k < 3; ++k)
      for (int in = 0; in < 3; ++in)
        for (int i = 0; i < 16; ++i) {
          const int j = 16 * k + i;
          const int source = j - j % 3 + 2 - j % 3;
          m[k][in][i] = source / 16 == in ? static_cast<uint8_t>(source % 16) : 0x80;
        }
  }
};

// Copies whole blocks of sixteen pixels from `s` to `d` with red and blue swapped (in place when
// they are the same); returns how many pixels it did.
__attribute__((target("ssse3"))) int64_t SwapRedBlueShuffle(const uint8_t* s, uint8_t* d, int64_t count) {
  static const TSwapMasks masks;
  const auto mask = [](const uint8_t* m) { return _mm_load_si128(reinterpret_cast<const __m128i*>(m)); };
  const __m128i m00 = mask(masks.m[0][0]), m01 = mask(masks.m[0][1]);
  const __m128i m10 = mask(masks.m[1][0]), m11 = mask(masks.m[1][1]), m12 = mask(masks.m[1][2]);
  const __m128i m21 = mask(masks.m[2][1]), m22 = mask(masks.m[2][2]);
  int64_t i = 0;
  for (; i + 16 <= count; i += 16, s += 48, d += 48) {
    const auto* u = reinterpret_cast<const __m128i*>(s);
    auto* v = reinterpret_cast<__m128i*>(d);
    const __m128i a = _mm_loadu_si128(u), b = _mm_loadu_si128(u + 1), c = _mm_loadu_si128(u + 2);
    _mm_storeu_si128(v, _mm_or_si128(_mm_shuffle_epi8(a, m00), _mm_shuffle_epi8(b, m01)));
    _mm_storeu_si128(v + 1, _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, m10), _mm_shuffle_epi8(b, m11)),
                                         _mm_shuffle_epi8(c, m12)));
    _mm_storeu_si128(v + 2, _mm_or_si128(_mm_shuffle_epi8(b, m21), _mm_shuffle_epi8(c, m22)));
  }
  return i;
}

bool HaveShuffle() {
  static const bool have = __builtin_cpu_supports("ssse3");
  return have;
}
#endif

}  // namespace

void SwapRedBlue(void* pixels, int64_t count) {
  uint8_t* p = static_cast<uint8_t*>(pixels);
  int64_t i = 0;
#if defined(__x86_64__)
  if (HaveShuffle()) {
    i = SwapRedBlueShuffle(p, p, count);
    p += 3 * i;
  }
#endif
  for (; i < count; ++i, p += 3) std::swap(p[0], p[2]);
}

void SwapRedBlue48(void* pixels, int64_t count) {
  uint8_t* p = static_cast<uint8_t*>(pixels);
  for (int64_t i = 0; i < count; ++i, p += 6) {
    std::swap(p[0], p[4]);
    std::swap(p[1], p[5]);
  }
}

void CopyBGRToRGB(void* dest, const void* source, int64_t count) {
  uint8_t* d = static_cast<uint8_t*>(dest);
  const uint8_t* s = static_cast<const uint8_t*>(source);
  int64_t i = 0;
#if defined(__x86_64__)
  // By blocks when the rows are the same or apart; rows that overlap otherwise go pixel by pixel.
  const auto at = [](const uint8_t* q) { return reinterpret_cast<uintptr_t>(q); };
  const uintptr_t bytes = count > 0 ? uintptr_t(count) * 3 : 0;
  if (HaveShuffle() && (d == s || at(d) + bytes <= at(s) || at(s) + bytes <= at(d))) {
    i = SwapRedBlueShuffle(s, d, count);
    s += 3 * i;
    d += 3 * i;
  }
#endif
  for (; i < count; ++i, d += 3, s += 3) {
    uint8_t b0 = s[0], b1 = s[1], b2 = s[2];
    d[0] = b2;
    d[1] = b1;
    d[2] = b0;
  }
}

void SwapPaletteRedBlue(TRGB* palette, int32_t count) {
  for (int32_t i = 0; i < count; ++i) std::swap(palette[i].r, palette[i].b);
}

void YCbCrToRGB(uint8_t* dst, int32_t y, int32_t cb, int32_t cr) {
  dst[2] = ClampToByte(common::TruncInt(y + 1.402 * (cr - 128)));
  dst[1] = ClampToByte(common::TruncInt(y - 0.34414 * (cb - 128) - 0.71414 * (cr - 128)));
  dst[0] = ClampToByte(common::TruncInt(y + 1.772 * (cb - 128)));
}

// ---------------------------------------------------------------- text and numbers

long double StrToFloatDefA(std::string_view s, long double fallback) {
  double v;
  if (common::TryStrToFloat(s, v)) return v;
  std::string t(s);
  size_t comma = t.find(',');
  if (comma != std::string::npos) {
    t[comma] = '.';
  } else {
    size_t dot = t.find('.');
    if (dot == std::string::npos) return fallback;
    t[dot] = ',';
  }
  if (common::TryStrToFloat(t, v)) return v;
  return fallback;
}

std::string FloatToStrDotA(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0) return "0";
  // 15 significant digits in exponent form, then laid out as the general format does.
  std::string e = common::FormatC("%.14e", value);
  bool negative = e[0] == '-';
  size_t p = negative ? 1 : 0;
  std::string digits;
  digits += e[p];
  size_t epos = e.find('e');
  for (size_t i = p + 2; i < epos; ++i) digits += e[i];
  int exponent = std::atoi(e.c_str() + epos + 1);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string out = negative ? "-" : "";
  if (exponent >= -4 && exponent < 15) {
    if (exponent < 0) {
      out += "0.";
      out.append(static_cast<size_t>(-exponent - 1), '0');
      out += digits;
    } else {
      size_t intDigits = static_cast<size_t>(exponent) + 1;
      if (digits.size() <= intDigits) {
        out += digits;
        out.append(intDigits - digits.size(), '0');
      } else {
        out += digits.substr(0, intDigits);
        out += '.';
        out += digits.substr(intDigits);
      }
    }
  } else {
    out += digits[0];
    if (digits.size() > 1) {
      out += '.';
      out += digits.substr(1);
    }
    out += 'E';
    out += std::to_string(exponent);
  }
  return out;
}

char DecimalSeparatorChar() {
  const char* point = ::nl_langinfo(RADIXCHAR);
  return point && point[0] ? point[0] : '.';
}

namespace {

// The thousands separator of the process's format settings ("" when it groups nothing).
std::string ThousandsSeparator() {
  const char* sep = ::nl_langinfo(THOUSEP);
  return sep ? sep : "";
}

// Significant digits of |value| rounded to `precision` of them, and the decimal exponent of the
// first one (value = 0.d1d2... x 10^(exponent + 1)).
void SignificantDigits(double value, int32_t precision, std::string& digits, int32_t& exponent) {
  const std::string e = common::FormatC("%.*Le", precision - 1, std::fabs(static_cast<long double>(value)));
  const size_t at = e.find('e');
  digits.clear();
  for (size_t i = 0; i < at; ++i)
    if (e[i] != '.') digits += e[i];
  exponent = std::atoi(e.c_str() + at + 1);
}

// "E", the exponent's sign (the plus sign only when asked) and at least `minDigits` digits.
std::string ExponentText(int32_t exponent, int32_t minDigits, bool plusSign) {
  std::string out = "E";
  if (exponent < 0) out += '-';
  else if (plusSign) out += '+';
  std::string n = std::to_string(exponent < 0 ? -exponent : exponent);
  if (static_cast<int32_t>(n.size()) < minDigits) n.insert(0, static_cast<size_t>(minDigits) - n.size(), '0');
  return out + n;
}

// Fixed notation with `decimals` digits after the separator, grouped by thousands when asked.
std::string FixedText(double value, int32_t decimals, bool grouped) {
  std::string plain = common::FormatC("%.*Lf", decimals, std::fabs(static_cast<long double>(value)));
  const size_t point = plain.find('.');
  std::string whole = plain.substr(0, point);
  const std::string fraction = point == std::string::npos ? "" : plain.substr(point + 1);
  const std::string sep = grouped ? ThousandsSeparator() : "";
  if (!sep.empty())
    for (ptrdiff_t i = static_cast<ptrdiff_t>(whole.size()) - 3; i > 0; i -= 3) whole.insert(static_cast<size_t>(i), sep);
  std::string out = whole;
  if (decimals > 0) out += DecimalSeparatorChar() + fraction;
  return out;
}

// The general format: the shorter of plain and scientific notation with at most `precision`
// significant digits and no trailing zeros; plain for magnitudes from 0.0001 up to those with
// `precision` digits before the separator.
std::string GeneralText(double value, int32_t precision, int32_t expDigits) {
  std::string digits;
  int32_t exponent = 0;
  SignificantDigits(value, precision, digits, exponent);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const char point = DecimalSeparatorChar();
  std::string out;
  if (exponent >= -4 && exponent < precision) {
    if (exponent < 0) {
      out = std::string("0") + point + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    } else if (static_cast<int32_t>(digits.size()) <= exponent + 1) {
      out = digits + std::string(static_cast<size_t>(exponent + 1) - digits.size(), '0');
    } else {
      out = digits.substr(0, static_cast<size_t>(exponent + 1)) + point + digits.substr(static_cast<size_t>(exponent + 1));
    }
  } else {
    out = digits.substr(0, 1);
    if (digits.size() > 1) out += point + digits.substr(1);
    out += ExponentText(exponent, expDigits, false);
  }
  return out;
}

}  // namespace

std::string FloatToStrFormatted(int32_t format, int32_t precision, int32_t digits, double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  precision = std::clamp(precision, 1, 18);
  const std::string sign = std::signbit(value) && value != 0 ? "-" : "";
  switch (format) {
    case ffExponent: {
      std::string mantissa;
      int32_t exponent = 0;
      SignificantDigits(value, precision, mantissa, exponent);
      std::string out = sign + mantissa.substr(0, 1);
      if (mantissa.size() > 1) out += DecimalSeparatorChar() + mantissa.substr(1);
      return out + ExponentText(value == 0 ? 0 : exponent, std::clamp(digits, 0, 4), true);
    }
    case ffFixed:
    case ffNumber:
    case ffCurrency: {
      // More digits before the separator than the precision holds: the general format.
      if (value != 0 && std::floor(std::log10(std::fabs(value))) + 1 > precision)
        return sign + GeneralText(value, precision, 0);
      const int32_t decimals = std::clamp(digits, 0, 18);
      const std::string number = FixedText(value, decimals, format != ffFixed);
      // No minus sign on a value that rounds to 0.
      const std::string lead = number.find_first_of("123456789") == std::string::npos ? "" : sign;
      if (format != ffCurrency) return lead + number;
      const lconv* money = std::localeconv();
      const std::string symbol = money && money->currency_symbol ? money->currency_symbol : "";
      if (symbol.empty()) return lead + number;
      const bool before = money->p_cs_precedes == 1, space = money->p_sep_by_space == 1;
      return before ? lead + symbol + (space ? " " : "") + number : lead + number + (space ? " " : "") + symbol;
    }
    default:
      return value == 0 ? "0" : sign + GeneralText(value, precision, std::clamp(digits, 0, 4));
  }
}

std::unique_ptr<char[]> DuplicatePChar(const char* text) {
  if (!text) return nullptr;
  const size_t n = std::strlen(text) + 1;
  auto copy = std::make_unique<char[]>(n);
  std::memcpy(copy.get(), text, n);
  return copy;
}

void FloatToRational(int32_t& num, int32_t& den, double value, double precision) {
  int32_t s = value < 0 ? -1 : 1;
  double x = std::fabs(value);
  if (std::isnan(x)) {
    num = 0;
    den = 1;
    return;
  }
  if (x == std::trunc(x) && x <= 1E19) {
    num = common::SaturateInt32(common::Trunc(s * x));
    den = 1;
    return;
  }
  if (x < 1E-19) {
    num = s;
    den = 999999999;
    return;
  }
  if (x > 1E19) {
    num = 999999999 * s;
    den = 1;
    return;
  }
  // Continued fractions in 64 bits; stop before a term leaves the 32-bit range.
  long double z = x;
  int64_t prevDen = 0, d = 1, n = common::Trunc(x + 0.5L);
  int32_t bestNum = common::SaturateInt32(n), bestDen = 1;
  for (int iter = 0; iter < 64; ++iter) {
    long double f = z - std::trunc(z);
    if (f == 0) break;
    z = 1.0L / f;
    long double term = std::trunc(z);
    if (term > 4294967296.0L) break;
    int64_t nd = d * static_cast<int64_t>(term) + prevDen;
    if (nd > std::numeric_limits<int32_t>::max()) break;
    prevDen = d;
    d = nd;
    n = common::Trunc(x * static_cast<long double>(d) + 0.5L);
    if (n > std::numeric_limits<int32_t>::max()) break;
    bestNum = static_cast<int32_t>(n);
    bestDen = static_cast<int32_t>(d);
    if (std::fabs(x - static_cast<double>(n) / static_cast<double>(d)) < precision) break;
    if (z == std::trunc(z)) break;
  }
  num = bestNum * s;
  den = bestDen;
}

std::string IntToStrA(int64_t value) { return std::to_string(value); }

std::string IntToHexA(uint64_t value, int32_t digits) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string s;
  do {
    s.insert(s.begin(), kHex[value & 15]);
    value >>= 4;
  } while (value);
  while (static_cast<int32_t>(s.size()) < digits) s.insert(s.begin(), '0');
  return s;
}

int32_t StrToIntDefA(std::string_view text, int32_t fallback) { return common::StrToIntDef(text, fallback); }

void FitSizeKeepingAspect(int32_t w, int32_t h, int32_t boxW, int32_t boxH, int32_t& newW, int32_t& newH) {
  if (w == 0 || h == 0) return;
  double f = std::min(static_cast<double>(boxH) / h, static_cast<double>(boxW) / w);
  newW = std::max(1, common::TruncInt(w * f));
  newH = std::max(1, common::TruncInt(h * f));
}

std::string TrimA(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(b, e - b));
}

std::string UpperCaseA(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return r;
}

std::string LowerCaseA(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return r;
}

std::string CopyA(std::string_view s, int32_t from, int32_t count) {
  if (from < 1) from = 1;
  if (count <= 0 || from > static_cast<int64_t>(s.size())) return {};
  return std::string(s.substr(static_cast<size_t>(from - 1), static_cast<size_t>(count)));
}

int32_t PosA(std::string_view sub, std::string_view s) {
  if (sub.empty()) return 0;
  size_t p = s.find(sub);
  return p == std::string_view::npos ? 0 : static_cast<int32_t>(p + 1);
}

std::string ExtractFileExtLower(std::string_view name, bool withDot) {
  std::string lower = LowerCaseA(name);
  size_t p = lower.find_last_of("./\\:");
  if (p == std::string::npos || lower[p] != '.') return {};
  return lower.substr(withDot ? p : p + 1);
}

int32_t GetURLKind(std::string_view name) {
  std::string l = LowerCaseA(name.substr(0, 8));
  if (l.rfind("http://", 0) == 0) return 1;
  if (l.rfind("https://", 0) == 0) return 2;
  if (l.rfind("ftp://", 0) == 0) return 3;
  return 0;
}

// ---------------------------------------------------------------- encoders

int32_t ASCII85EncodeGroup(const uint8_t*& src, int32_t count, uint8_t*& dst) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | (i < count ? src[i] : 0);
  src += count;
  if (count == 4 && v == 0) {
    *dst++ = 'z';
    return 1;
  }
  static const uint32_t kDiv[5] = {52200625u, 614125u, 7225u, 85u, 1u};
  for (int i = 0; i <= count; ++i) *dst++ = static_cast<uint8_t>((v / kDiv[i]) % 85 + 33);
  return count + 1;
}

int64_t ASCII85Encode(const uint8_t*& src, int64_t size, uint8_t*& dst, int64_t& counter) {
  int64_t total = 0;
  if (size <= 0) {
    *dst++ = '~';
    *dst++ = '>';
    return 2;
  }
  int32_t line = 0;
  while (size > 0) {
    int32_t n = static_cast<int32_t>(std::min<int64_t>(4, size));
    int32_t w = ASCII85EncodeGroup(src, n, dst);
    size -= n;
    total += w;
    counter += w;
    line += w;
    if (line >= 75) {
      *dst++ = '\r';
      *dst++ = '\n';
      total += 2;
      line = 0;
    }
  }
  *dst++ = '~';
  *dst++ = '>';
  *dst++ = '\r';
  *dst++ = '\n';
  return total + 4;
}

int64_t RunLengthEncode(const uint8_t* src, int64_t len, uint8_t* dst) {
  int64_t out = 0, i = 0;
  while (i < len) {
    int64_t run = 1;
    while (i + run < len && run < 128 && src[i + run] == src[i]) ++run;
    if (run >= 2) {
      dst[out++] = static_cast<uint8_t>(257 - run);
      dst[out++] = src[i];
      i += run;
      continue;
    }
    int64_t n = 1;
    while (i + n < len && n < 128 && src[i + n] != src[i + n - 1]) ++n;
    dst[out++] = static_cast<uint8_t>(n - 1);
    std::memcpy(dst + out, src + i, static_cast<size_t>(n));
    out += n;
    i += n;
  }
  dst[out++] = 128;
  return out;
}

void WriteLineCRLF(TStream& stream, std::string_view text) {
  stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  stream.WriteBuffer("\r\n", 2);
}

void Base64EncodeGroup(const uint8_t* src, char* dst, int32_t count) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  uint32_t v = (uint32_t(src[0]) << 16) | (uint32_t(count > 1 ? src[1] : 0) << 8) | (count > 2 ? src[2] : 0);
  dst[0] = kAlphabet[(v >> 18) & 63];
  dst[1] = kAlphabet[(v >> 12) & 63];
  dst[2] = count < 2 ? '=' : kAlphabet[(v >> 6) & 63];
  dst[3] = count < 3 ? '=' : kAlphabet[v & 63];
}

void WriteBase64Lines(TStream& stream, std::string& output, int32_t lineLength) {
  int32_t perLine = std::max(1, (lineLength + 3) / 4);
  while (stream.GetPosition() < stream.GetSize()) {
    int32_t groups = 0;
    bool exhausted = false;
    while (groups < perLine) {
      uint8_t b[3] = {0, 0, 0};
      int64_t got = stream.Read(b, 3);
      if (got <= 0) {
        exhausted = true;
        break;
      }
      char chars[4];
      Base64EncodeGroup(b, chars, static_cast<int32_t>(got));
      output.append(chars, 4);
      ++groups;
      if (got < 3 || stream.GetPosition() >= stream.GetSize()) {
        exhausted = true;
        break;
      }
    }
    if (groups > 0) output += "\r\n";
    if (exhausted) break;
  }
}

// ---------------------------------------------------------------- files and system

bool FileExistsUnicode(const std::string& name) {
  struct stat st;
  return !name.empty() && ::stat(name.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool FileExistsWide(const std::u16string& name) { return FileExistsUnicode(common::Utf16ToUtf8(name)); }

int64_t GetPhysicalMemory(bool available) {
  long pages = sysconf(available ? _SC_AVPHYS_PAGES : _SC_PHYS_PAGES);
  long size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || size <= 0) return 0;
  return static_cast<int64_t>(pages) * size;
}

bool IsRemoteSession() { return false; }

std::string TemporaryDirectory() {
  if (!TempDirectory.empty()) return TempDirectory;
  const char* env = std::getenv("TMPDIR");
  std::string dir = env && *env ? env : "/tmp";
  if (dir.back() != '/') dir += '/';
  return dir;
}

// ---------------------------------------------------------------- memory

namespace {
// The tag sits at the start of a 16-byte header so that the caller's memory stays aligned.
constexpr int64_t kTagSpace = 16;
}  // namespace

void* AllocBlock(int64_t size) {
  if (size < 0 || size > std::numeric_limits<int64_t>::max() - kTagSpace) return nullptr;
  int64_t physical = GetPhysicalMemory(false);
  if (physical > 0 && size > physical) return nullptr;
  uint8_t* p = nullptr;
  uint8_t tag = 0;
  if (size < 1048576) {
    p = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size + kTagSpace)));
  }
  if (!p) {
    p = static_cast<uint8_t*>(std::calloc(1, static_cast<size_t>(size + kTagSpace)));
    tag = 1;
  }
  if (!p) return nullptr;
  p[0] = tag;
  return p + kTagSpace;
}

void FreeBlock(void*& p) {
  if (!p) return;
  std::free(static_cast<uint8_t*>(p) - kTagSpace);
  p = nullptr;
}

void TryGetMem(void*& p, int64_t size) {
  p = size < 0 ? nullptr : std::malloc(static_cast<size_t>(size));
}

void* GlobalAllocZeroed(int64_t size) {
  if (size < 0) return nullptr;
  return std::calloc(1, static_cast<size_t>(size));
}

void GlobalFreeAndNil(void*& p) {
  std::free(p);
  p = nullptr;
}

// ---------------------------------------------------------------- XMP

namespace {
constexpr char kXMPNamespace[] = "http://ns.adobe.com/xap/1.0/";  // 28 characters
}

const uint8_t* FindXMPPacket(const uint8_t* data, int64_t len) {
  if (!data || len < 30 || std::memcmp(data, kXMPNamespace, 24) != 0) return nullptr;
  const void* zero = std::memchr(data, 0, static_cast<size_t>(len));
  if (!zero) return nullptr;
  return static_cast<const uint8_t*>(zero) + 1;
}

bool ReadXMPMarker(const uint8_t* data, int64_t len, std::string& xmpInfo) {
  const uint8_t* p = FindXMPPacket(data, len);
  if (!p) return false;
  xmpInfo.assign(reinterpret_cast<const char*>(p), static_cast<size_t>(data + len - p));
  return true;
}

std::vector<uint8_t> BuildXMPMarker(const std::string& xmpInfo) {
  std::vector<uint8_t> out(29 + xmpInfo.size());
  std::memcpy(out.data(), kXMPNamespace, 28);
  out[28] = 0;
  std::memcpy(out.data() + 29, xmpInfo.data(), xmpInfo.size());
  return out;
}

// ---------------------------------------------------------------- sorting and lists

void QuickSortIndexed(int32_t l, int32_t r, TIndexCompare compare, void* compareData,
                      TIndexExchange exchange, void* exchangeData) {
  int32_t i, j;
  do {
    i = l;
    j = r;
    int32_t p = l + (r - l) / 2;
    do {
      while (compare(compareData, i, p) < 0) ++i;
      while (compare(compareData, j, p) > 0) --j;
      if (i <= j) {
        if (p == i) p = j;
        else if (p == j) p = i;
        exchange(exchangeData, i, j);
        ++i;
        --j;
      }
    } while (i <= j);
    if (l < j) QuickSortIndexed(l, j, compare, compareData, exchange, exchangeData);
    l = i;
  } while (i < r);
}

void SortIndexed(int32_t count, TIndexCompare compare, void* compareData, TIndexExchange exchange,
                 void* exchangeData) {
  if (count > 0) QuickSortIndexed(0, count - 1, compare, compareData, exchange, exchangeData);
}

void CopyTList(const std::vector<void*>& source, std::vector<void*>& dest) { dest = source; }

bool SameGUID(const void* a, const void* b) { return std::memcmp(a, b, 16) == 0; }

// ---------------------------------------------------------------- geometry

long double PointDistance(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  long double dx = static_cast<long double>(int64_t(x2) - x1), dy = static_cast<long double>(int64_t(y2) - y1);
  return std::sqrt(dx * dx + dy * dy);
}

double DistanceToLine(int32_t px, int32_t py, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  double a = static_cast<double>(int64_t(y1) - y2), b = static_cast<double>(int64_t(x2) - x1);
  double c = static_cast<double>(x1) * y2 - static_cast<double>(x2) * y1;
  double d = std::sqrt(a * a + b * b);
  if (d == 0) return static_cast<double>(PointDistance(px, py, x1, y1));
  return std::fabs(a * px + b * py + c) / d;
}

double DistanceToSegment(int32_t px, int32_t py, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (x1 == x2 && y1 == y2) return static_cast<double>(PointDistance(px, py, x1, y1));
  double ex = static_cast<double>(int64_t(x2) - x1), ey = static_cast<double>(int64_t(y2) - y1);
  double t = ((static_cast<double>(int64_t(px) - x1)) * ex + (static_cast<double>(int64_t(py) - y1)) * ey) /
             (ex * ex + ey * ey);
  if (!std::isfinite(t)) return 1000000;
  if (t > 1) {
    if (std::llabs(int64_t(px) - x2) < 45001 && std::llabs(int64_t(py) - y2) < 45001)
      return static_cast<double>(PointDistance(px, py, x2, y2));
    return 1000000;
  }
  if (t >= 0) return DistanceToLine(px, py, x1, y1, x2, y2);
  if (std::llabs(int64_t(x1) - px) < 45001 && std::llabs(int64_t(y1) - py) < 45001)
    return static_cast<double>(PointDistance(px, py, x1, y1));
  return 1000000;
}

double DistanceToPolyline(int32_t px, int32_t py, const TRVPoint* points, int32_t count, bool closed,
                          int32_t width, double xScale, double yScale, int32_t xOffset, int32_t yOffset,
                          int32_t xOrigin, int32_t yOrigin) {
  double result = 1000000;
  if (count <= 0 || !points) return result;
  std::vector<TRVPoint> m(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    m[i].x = common::RoundInt(xScale * (static_cast<double>(points[i].x) - xOrigin) + xOffset);
    m[i].y = common::RoundInt(yScale * (static_cast<double>(points[i].y) - yOrigin) + yOffset);
  }
  auto segment = [&](const TRVPoint& a, const TRVPoint& b) {
    double d = DistanceToSegment(px, py, a.x, a.y, b.x, b.y);
    if (width > 1) {
      int32_t h = width / 2;
      for (int32_t dx = -h; dx <= h; ++dx)
        for (int32_t dy = 2; dy <= h; ++dy)
          d = std::min(d, DistanceToSegment(px, py, a.x + dx, a.y + dy, b.x + dx, b.y + dy));
    }
    result = std::min(result, d);
  };
  for (int32_t i = 0; i + 1 < count; ++i) segment(m[i], m[i + 1]);
  if (closed && count > 1) segment(m[count - 1], m[0]);
  return result;
}

void SnapToAxisOrDiagonal(int32_t x0, int32_t y0, int32_t& x, int32_t& y) {
  int64_t dx = std::llabs(int64_t(x) - x0), dy = std::llabs(int64_t(y) - y0);
  if (dy > dx + 30) {
    x = x0;
    return;
  }
  if (dy < dx - 30) {
    y = y0;
    return;
  }
  int32_t d = static_cast<int32_t>(std::llabs(dx - dy));
  int64_t a = int64_t(x0) - x, b = int64_t(y0) - y;
  bool moveX = dy > dx;
  if (a < 0 && b < 0) {  // right and below
    if (moveX) x += d; else y += d;
  } else if (a > 0 && b > 0) {  // left and above
    if (moveX) x -= d; else y -= d;
  } else if (a > 0) {  // left, at or below the starting row
    if (moveX) x -= d; else y += d;
  } else if (b > 0) {  // right or on the column, above the starting row
    if (moveX) x += d; else y -= d;
  }
}

bool RectsOverlap(int32_t ax1, int32_t ay1, int32_t ax2, int32_t ay2, int32_t left, int32_t top,
                  int32_t right, int32_t bottom) {
  if (std::max(ax1, ax2) < left || right < std::min(ax1, ax2)) return false;
  if (std::max(ay1, ay2) < top || bottom < std::min(ay1, ay2)) return false;
  return true;
}

bool PointInRectangle(int32_t x, int32_t y, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return left <= x && x <= right && top <= y && y <= bottom;
}

bool PointInNormalizedRect(int32_t x, int32_t y, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  OrderRectCorners(x1, y1, x2, y2);
  return PointInRectangle(x, y, x1, y1, x2, y2);
}

uint8_t GetWindowsVersionCode() { return 9; }

}  // namespace rv
