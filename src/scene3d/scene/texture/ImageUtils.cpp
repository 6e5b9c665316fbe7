// Pixel-layout conversion: the readers and writers of PixelConverterTable and ConvertPixels.
// Resampling and mipmap chains are in ImageResample.cpp.
#include "scene3d/scene/texture/ImageUtils.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <type_traits>

#include "scene3d/base/GLUtils.h"
#include "scene3d/scene/texture/ImageUtilsInternal.h"

namespace gl3d {

namespace {

constexpr uint32_t kGL_COMPRESSED_LUMINANCE_ALPHA_3DC_ATI = 0x8837;

[[noreturn]] void InvalidDataType() { throw EGLImageUtils("Invalid data type"); }
[[noreturn]] void Unimplemented() { throw EGLImageUtils("Unimplemented type of conversion"); }

void UnimplementedReader(const void*, TWorkPixel*, uint32_t, int32_t, int32_t) { Unimplemented(); }
void UnimplementedWriter(const TWorkPixel*, void*, uint32_t, int32_t, int32_t) { Unimplemented(); }

size_t PixelCount(int32_t width, int32_t height) {
  return static_cast<size_t>(width) * static_cast<size_t>(height < 1 ? 1 : height);
}

template <class T>
T Load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof(T));
  return v;
}

// ---- Plain readers ----

// An integer colour format reads and writes as its normalised twin.
uint32_t NormalisedTwin(uint32_t format, bool* integer = nullptr) {
  uint32_t twin = format;
  switch (format) {
    case GL_RED_INTEGER:
      twin = GL_RED;
      break;
    case GL_GREEN_INTEGER:
      twin = GL_GREEN;
      break;
    case GL_BLUE_INTEGER:
      twin = GL_BLUE;
      break;
    case GL_ALPHA_INTEGER:
      twin = GL_ALPHA;
      break;
    case GL_RGB_INTEGER:
      twin = GL_RGB;
      break;
    case GL_RGBA_INTEGER:
      twin = GL_RGBA;
      break;
    case GL_BGR_INTEGER:
      twin = GL_BGR;
      break;
    case GL_BGRA_INTEGER:
      twin = GL_BGRA;
      break;
    case GL_LUMINANCE_INTEGER_EXT:
      twin = GL_LUMINANCE;
      break;
    case GL_LUMINANCE_ALPHA_INTEGER_EXT:
      twin = GL_LUMINANCE_ALPHA;
      break;
    case GL_RG_INTEGER:
      twin = GL_RG;
      break;
    default:
      break;
  }
  if (integer) *integer = twin != format;
  return twin;
}

struct UByteIn {
  using T = uint8_t;
  static float Get(T e) { return e; }
};
struct ByteIn {
  using T = int8_t;
  static float Get(T e) { return e; }
};
// 16- and 32-bit integers are divided so that their top byte gives the 0..255 scale.
template <class E, int Shift>
struct ScaledIn {
  using T = E;
  static float Get(T e) { return static_cast<float>(e) / static_cast<float>(1u << Shift); }
};
using UShortIn = ScaledIn<uint16_t, 8>;
using ShortIn = ScaledIn<int16_t, 8>;
using UIntIn = ScaledIn<uint32_t, 24>;
using IntIn = ScaledIn<int32_t, 24>;
struct FloatIn {
  using T = float;
  static float Get(T e) { return e * 255.0f; }
};
struct HalfIn {
  using T = uint16_t;
  static float Get(T e) { return HalfToFloat(e) * 255.0f; }
};

// Element index per channel; kZero and kFull stand for the constants 0 and 255.
constexpr int kZero = -1;
constexpr int kFull = -2;

template <class In, int N, int R, int G, int B, int A>
void ReadShape(const void* source, TWorkPixel* dest, size_t count) {
  using T = typename In::T;
  const auto* p = static_cast<const uint8_t*>(source);
  auto channel = [](const uint8_t* px, int index) -> float {
    if (index == kZero) return 0.0f;
    if (index == kFull) return 255.0f;
    return In::Get(Load<T>(px + index * sizeof(T)));
  };
  for (size_t i = 0; i < count; ++i, p += N * sizeof(T)) {
    dest[i].R = channel(p, R);
    dest[i].G = channel(p, G);
    dest[i].B = channel(p, B);
    dest[i].A = channel(p, A);
  }
}

template <class In>
void ReadPlain(const void* source, TWorkPixel* dest, uint32_t colorFormat, int32_t width, int32_t height) {
  const size_t n = PixelCount(width, height);
  switch (NormalisedTwin(colorFormat)) {
    case GL_RED:
      return ReadShape<In, 1, 0, kZero, kZero, kFull>(source, dest, n);
    case GL_GREEN:
      return ReadShape<In, 1, kZero, 0, kZero, kFull>(source, dest, n);
    case GL_BLUE:
      return ReadShape<In, 1, kZero, kZero, 0, kFull>(source, dest, n);
    case GL_ALPHA:
      return ReadShape<In, 1, kZero, kZero, kZero, 0>(source, dest, n);
    case GL_RGB:
      return ReadShape<In, 3, 0, 1, 2, kFull>(source, dest, n);
    case GL_RGBA:
      return ReadShape<In, 4, 0, 1, 2, 3>(source, dest, n);
    case GL_LUMINANCE:
      return ReadShape<In, 1, 0, 0, 0, kFull>(source, dest, n);
    case GL_LUMINANCE_ALPHA:
      return ReadShape<In, 2, 0, 0, 0, 1>(source, dest, n);
    case GL_BGR:
      return ReadShape<In, 3, 2, 1, 0, kFull>(source, dest, n);
    case GL_BGRA:
      return ReadShape<In, 4, 2, 1, 0, 3>(source, dest, n);
    case GL_RG:
      return ReadShape<In, 2, 0, 1, kZero, kFull>(source, dest, n);
    default:
      break;
  }
  // GL_INTENSITY has no integer twin: the untranslated format must be it.
  if (colorFormat == GL_INTENSITY) return ReadShape<In, 1, 0, 0, 0, 0>(source, dest, n);
  InvalidDataType();
}

// ---- Packed readers ----

struct PackedField {
  uint8_t Shift, Bits;
};
struct PackedLayout {
  uint8_t WordBytes;
  bool Alpha;            // has a fourth field
  bool ThreeThreeTwo;    // accepts GL_RGB and GL_BGR only, without integer twins
  PackedField Field[4];  // c0..c3 in the type's component order
};

float FieldValue(uint32_t word, PackedField f) {
  const uint32_t v = (word >> f.Shift) & ((1u << f.Bits) - 1u);
  // n <= 8 bits: moved to the top of a byte without bit replication; 10 bits: v / 4.
  return f.Bits <= 8 ? static_cast<float>(v << (8 - f.Bits)) : static_cast<float>(v) / 4.0f;
}

constexpr PackedLayout kPacked[] = {
    {1, false, true, {{5, 3}, {2, 3}, {0, 2}, {0, 0}}},        // 3_3_2
    {1, false, true, {{0, 3}, {3, 3}, {6, 2}, {0, 0}}},        // 2_3_3_REV
    {4, true, false, {{24, 8}, {16, 8}, {8, 8}, {0, 8}}},      // 8_8_8_8
    {4, true, false, {{0, 8}, {8, 8}, {16, 8}, {24, 8}}},      // 8_8_8_8_REV
    {2, true, false, {{12, 4}, {8, 4}, {4, 4}, {0, 4}}},       // 4_4_4_4
    {2, true, false, {{0, 4}, {4, 4}, {8, 4}, {12, 4}}},       // 4_4_4_4_REV
    {2, false, false, {{11, 5}, {5, 6}, {0, 5}, {0, 0}}},      // 5_6_5
    {2, false, false, {{0, 5}, {5, 6}, {11, 5}, {0, 0}}},      // 5_6_5_REV
    {2, true, false, {{11, 5}, {6, 5}, {1, 5}, {0, 1}}},       // 5_5_5_1
    {2, true, false, {{0, 5}, {5, 5}, {10, 5}, {15, 1}}},      // 1_5_5_5_REV
    {4, true, false, {{22, 10}, {12, 10}, {2, 10}, {0, 2}}},   // 10_10_10_2
    {4, true, false, {{0, 10}, {10, 10}, {20, 10}, {30, 2}}},  // 2_10_10_10_REV
};

template <int Index>
void ReadPacked(const void* source, TWorkPixel* dest, uint32_t colorFormat, int32_t width, int32_t height) {
  const PackedLayout& layout = kPacked[Index];
  bool integer = false;
  const uint32_t twin = NormalisedTwin(colorFormat, &integer);
  const uint32_t rgb = layout.Alpha ? GL_RGBA : GL_RGB;
  const uint32_t bgr = layout.Alpha ? GL_BGRA : GL_BGR;
  if ((twin != rgb && twin != bgr) || (integer && layout.ThreeThreeTwo)) InvalidDataType();
  const bool swap = twin == bgr;
  const size_t n = PixelCount(width, height);
  const auto* p = static_cast<const uint8_t*>(source);
  for (size_t i = 0; i < n; ++i, p += layout.WordBytes) {
    uint32_t word = layout.WordBytes == 1   ? *p
                    : layout.WordBytes == 2 ? Load<uint16_t>(p)
                                            : Load<uint32_t>(p);
    const float c0 = FieldValue(word, layout.Field[0]);
    const float c2 = FieldValue(word, layout.Field[2]);
    dest[i].R = swap ? c2 : c0;
    dest[i].G = FieldValue(word, layout.Field[1]);
    dest[i].B = swap ? c0 : c2;
    dest[i].A = layout.Alpha ? FieldValue(word, layout.Field[3]) : 255.0f;
  }
}

// ---- Block readers ----

struct Rgba8 {
  int R, G, B, A;
};

// Blocks of 4 x 4 texels, block row by block row; texels of edge blocks outside the image are
// skipped. `decode` fills 16 texels (index 4y + x) from one block of `blockBytes`.
template <class Decode>
void ReadBlocks(const void* source, TWorkPixel* dest, int32_t width, int32_t height, int blockBytes,
                Decode decode) {
  if (height < 1) height = 1;
  const int32_t bw = (width + 3) / 4, bh = (height + 3) / 4;
  const auto* p = static_cast<const uint8_t*>(source);
  TWorkPixel texels[16];
  for (int32_t by = 0; by < bh; ++by) {
    for (int32_t bx = 0; bx < bw; ++bx, p += blockBytes) {
      decode(p, texels);
      for (int y = 0; y < 4; ++y) {
        const int32_t iy = by * 4 + y;
        if (iy >= height) break;
        for (int x = 0; x < 4; ++x) {
          const int32_t ix = bx * 4 + x;
          if (ix >= width) break;
          dest[static_cast<size_t>(iy) * static_cast<size_t>(width) + static_cast<size_t>(ix)] =
              texels[4 * y + x];
        }
      }
    }
  }
}

Rgba8 Colour565(uint16_t c) { return Rgba8{((c >> 11) & 31) * 8, ((c >> 5) & 63) * 4, (c & 31) * 8, 255}; }

// The colour half of a DXT block: two 5-6-5 colours and 2-bit indices. `fourColour` forces the
// four-colour palette (DXT3 and DXT5 always use it; DXT1 when c0 > c1).
void DecodeColourBlock(const uint8_t* p, bool forceFourColour, TWorkPixel* texels, bool setAlpha) {
  const uint16_t c0 = Load<uint16_t>(p), c1 = Load<uint16_t>(p + 2);
  const uint32_t indices = Load<uint32_t>(p + 4);
  Rgba8 pal[4];
  pal[0] = Colour565(c0);
  pal[1] = Colour565(c1);
  const Rgba8& a = pal[0];
  const Rgba8& b = pal[1];
  auto mix = [](int x, int y, int wx, int wy, int add, int div) { return (wx * x + wy * y + add) / div; };
  if (forceFourColour || c0 > c1) {
    pal[2] = {mix(a.R, b.R, 2, 1, 1, 3), mix(a.G, b.G, 2, 1, 1, 3), mix(a.B, b.B, 2, 1, 1, 3), 255};
    pal[3] = {mix(a.R, b.R, 1, 2, 1, 3), mix(a.G, b.G, 1, 2, 1, 3), mix(a.B, b.B, 1, 2, 1, 3), 255};
  } else {
    pal[2] = {(a.R + b.R) / 2, (a.G + b.G) / 2, (a.B + b.B) / 2, 255};
    pal[3] = {mix(a.R, b.R, 1, 2, 1, 3), mix(a.G, b.G, 1, 2, 1, 3), mix(a.B, b.B, 1, 2, 1, 3), 0};
  }
  for (int k = 0; k < 16; ++k) {
    const Rgba8& c = pal[(indices >> (2 * k)) & 3];
    texels[k].R = static_cast<float>(c.R);
    texels[k].G = static_cast<float>(c.G);
    texels[k].B = static_cast<float>(c.B);
    if (setAlpha) texels[k].A = static_cast<float>(c.A);
  }
}

uint64_t Load48(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 5; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

// One 8-byte channel block of LATC and RGTC (signed: endpoints and palette as signed bytes).
void DecodeChannelBlock(const uint8_t* p, bool isSigned, int out[16]) {
  const int e0 = isSigned ? static_cast<int8_t>(p[0]) : p[0];
  const int e1 = isSigned ? static_cast<int8_t>(p[1]) : p[1];
  int pal[8];
  pal[0] = e0;
  pal[1] = e1;
  if (e0 > e1) {
    for (int j = 2; j < 8; ++j) pal[j] = ((8 - j) * e0 + (j - 1) * e1) / 7;
  } else {
    for (int j = 2; j < 6; ++j) pal[j] = ((6 - j) * e0 + (j - 1) * e1) / 5;
    pal[6] = isSigned ? -127 : 0;
    pal[7] = isSigned ? 127 : 255;
  }
  const uint64_t bits = Load48(p + 2);
  for (int k = 0; k < 16; ++k) out[k] = pal[(bits >> (3 * k)) & 7];
}

void ReadDXT1(const void* source, TWorkPixel* dest, uint32_t, int32_t width, int32_t height) {
  ReadBlocks(source, dest, width, height, 8,
             [](const uint8_t* p, TWorkPixel* t) { DecodeColourBlock(p, false, t, true); });
}

void ReadDXT3(const void* source, TWorkPixel* dest, uint32_t, int32_t width, int32_t height) {
  ReadBlocks(source, dest, width, height, 16, [](const uint8_t* p, TWorkPixel* t) {
    DecodeColourBlock(p + 8, true, t, false);
    for (int y = 0; y < 4; ++y) {
      const uint16_t row = Load<uint16_t>(p + 2 * y);
      for (int x = 0; x < 4; ++x) t[4 * y + x].A = static_cast<float>(((row >> (4 * x)) & 15) * 17);
    }
  });
}

void ReadDXT5(const void* source, TWorkPixel* dest, uint32_t, int32_t width, int32_t height) {
  ReadBlocks(source, dest, width, height, 16, [](const uint8_t* p, TWorkPixel* t) {
    DecodeColourBlock(p + 8, true, t, false);
    const int a0 = p[0], a1 = p[1];
    int pal[8] = {a0, a1};
    if (a0 > a1) {
      for (int j = 2; j < 8; ++j) pal[j] = ((8 - j) * a0 + (j - 1) * a1 + 3) / 7;
    } else {
      for (int j = 2; j < 6; ++j) pal[j] = ((6 - j) * a0 + (j - 1) * a1 + 2) / 5;
      pal[6] = 0;
      pal[7] = 255;
    }
    const uint64_t bits = Load48(p + 2);
    for (int k = 0; k < 16; ++k) t[k].A = static_cast<float>(pal[(bits >> (3 * k)) & 7]);
  });
}

// Channel placement of the one-channel block types: which channels take q1 and q2; the signed
// variants double the values and put 127 where the unsigned ones put 255.
enum Place : uint8_t { kQ1, kQ2, kNone, kFullAlpha };
struct ChannelBlockType {
  bool Signed;
  bool Two;  // two channel blocks per 4 x 4 block
  Place R, G, B, A;
};

template <int Index>
void ReadChannelBlocks(const void* source, TWorkPixel* dest, uint32_t, int32_t width, int32_t height) {
  static constexpr ChannelBlockType kTypes[] = {
      {false, false, kQ1, kQ1, kQ1, kFullAlpha},      // LATC1
      {true, false, kQ1, kQ1, kQ1, kFullAlpha},       // signed LATC1
      {false, true, kQ1, kQ1, kQ1, kQ2},              // LATC2
      {true, true, kQ1, kQ1, kQ1, kQ2},               // signed LATC2
      {false, false, kQ1, kNone, kNone, kFullAlpha},  // RGTC1
      {true, false, kQ1, kNone, kNone, kFullAlpha},   // signed RGTC1
      {false, true, kQ1, kQ2, kNone, kFullAlpha},     // RGTC2
      {true, true, kQ1, kQ2, kNone, kFullAlpha},      // signed RGTC2
  };
  static constexpr ChannelBlockType type = kTypes[Index];
  ReadBlocks(source, dest, width, height, type.Two ? 16 : 8, [](const uint8_t* p, TWorkPixel* t) {
    int q1[16], q2[16] = {};
    DecodeChannelBlock(p, type.Signed, q1);
    if (type.Two) DecodeChannelBlock(p + 8, type.Signed, q2);
    const float scale = type.Signed ? 2.0f : 1.0f;
    auto value = [&](Place place, int k) -> float {
      switch (place) {
        case kQ1:
          return scale * static_cast<float>(q1[k]);
        case kQ2:
          return scale * static_cast<float>(q2[k]);
        case kNone:
          return 0.0f;
        default:
          return type.Signed ? 127.0f : 255.0f;
      }
    };
    for (int k = 0; k < 16; ++k)
      t[k] = TWorkPixel{value(type.R, k), value(type.G, k), value(type.B, k), value(type.A, k)};
  });
}

// ---- Plain writers ----

// Toward zero through 64 bits: values outside 64 bits saturate, NaN gives 0.
int64_t TruncSaturated(float x) {
  if (std::isnan(x)) return 0;
  if (x >= 9.2233720368547758e18f) return std::numeric_limits<int64_t>::max();
  if (x <= -9.2233720368547758e18f) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(x);
}

// Normalised formats clamp to the type's range (NaN gives 0); integer formats keep the low bytes
// of the saturated 64-bit value.
template <class T, int64_t Lo, int64_t Hi>
struct IntOut {
  static T Put(float x, bool integer) {
    if (integer) return static_cast<T>(static_cast<uint64_t>(TruncSaturated(x)));
    if constexpr (sizeof(T) < 4 && Lo == 0) {
      // The common case, without branches: NaN fails the first comparison and gives 0.
      const float v = std::min(std::max(0.0f, x), static_cast<float>(Hi));
      return static_cast<T>(static_cast<int32_t>(v));
    } else {
      if (std::isnan(x)) return 0;
      if (x <= static_cast<float>(Lo)) return static_cast<T>(Lo);
      if (x >= static_cast<float>(Hi)) return static_cast<T>(Hi);
      return static_cast<T>(static_cast<int64_t>(x));
    }
  }
};
using UByteOut = IntOut<uint8_t, 0, 255>;
using ByteOut = IntOut<int8_t, -127, 127>;
using UShortOut = IntOut<uint16_t, 0, 65535>;
using ShortOut = IntOut<int16_t, -32767, 32767>;
using UIntOut = IntOut<uint32_t, 0, 4294967295>;
using IntOutT = IntOut<int32_t, -2147483647 - 1, 2147483647>;

// x * (1/255) with the extended-precision constant, stored as a single.
float Unscale(float x) { return static_cast<float>(static_cast<long double>(x) * (1.0L / 255.0L)); }
struct FloatOut {
  static float Put(float x, bool) { return Unscale(x); }
};
struct HalfOut {
  static uint16_t Put(float x, bool) { return FloatToHalf(Unscale(x)); }
};

// Channel selectors of the writers: R, G, B, A or L = (R + G + B) / 3.
enum Sel : int8_t { sR, sG, sB, sA, sL };

template <int Sel>
float Pick(const TWorkPixel& p) {
  if constexpr (Sel == sR) return p.R;
  if constexpr (Sel == sG) return p.G;
  if constexpr (Sel == sB) return p.B;
  if constexpr (Sel == sA) return p.A;
  if constexpr (Sel == sL) return (p.R + p.G + p.B) / 3.0f;
}

// The four channels of a working pixel clamped to 0..255 (NaN gives 0) and truncated, at once.
using Floats4 = float __attribute__((vector_size(16)));
using Ints4 = int32_t __attribute__((vector_size(16)));
inline Ints4 ClampToBytes(const TWorkPixel& p) {
  Floats4 v;
  std::memcpy(&v, &p, sizeof(v));
  const Floats4 zero = {0, 0, 0, 0}, top = {255, 255, 255, 255};
  v = v > zero ? v : zero;
  v = v < top ? v : top;
  return __builtin_convertvector(v, Ints4);
}

// The elements of each pixel in memory order, expanded at compile time. Normalised bytes of the
// four channels, the common case, take all four through one vector clamp.
template <class Out, int... Sels>
void WriteShape(const TWorkPixel* source, void* dest, size_t count, bool integer) {
  using T = decltype(Out::Put(0.0f, false));
  auto* p = static_cast<uint8_t*>(dest);
  if constexpr (std::is_same_v<Out, IntOut<uint8_t, 0, 255>> && ((Sels != sL) && ...)) {
    if (!integer) {
      for (size_t i = 0; i < count; ++i, p += sizeof...(Sels)) {
        const Ints4 q = ClampToBytes(source[i]);
        const uint8_t out[] = {static_cast<uint8_t>(q[Sels])...};
        std::memcpy(p, out, sizeof(out));
      }
      return;
    }
  }
  for (size_t i = 0; i < count; ++i) {
    const T out[] = {Out::Put(Pick<Sels>(source[i]), integer)...};
    std::memcpy(p, out, sizeof(out));
    p += sizeof(out);
  }
}

template <class Out>
void WritePlain(const TWorkPixel* source, void* dest, uint32_t colorFormat, int32_t width, int32_t height) {
  const size_t n = PixelCount(width, height);
  bool integer = false;
  const uint32_t twin = NormalisedTwin(colorFormat, &integer);
  switch (twin) {
    case GL_RED:
      return WriteShape<Out, sR>(source, dest, n, integer);
    case GL_GREEN:
      return WriteShape<Out, sG>(source, dest, n, integer);
    case GL_BLUE:
      return WriteShape<Out, sB>(source, dest, n, integer);
    case GL_ALPHA:
      return WriteShape<Out, sA>(source, dest, n, integer);
    case GL_RGB:
      return WriteShape<Out, sR, sG, sB>(source, dest, n, integer);
    case GL_RGBA:
      return WriteShape<Out, sR, sG, sB, sA>(source, dest, n, integer);
    case GL_LUMINANCE:
    case GL_INTENSITY:
      return WriteShape<Out, sL>(source, dest, n, integer);
    case GL_LUMINANCE_ALPHA:
      return WriteShape<Out, sL, sA>(source, dest, n, integer);
    case GL_BGR:
      return WriteShape<Out, sB, sG, sR>(source, dest, n, integer);
    case GL_BGRA:
      return WriteShape<Out, sB, sG, sR, sA>(source, dest, n, integer);
    case GL_RG:
      return WriteShape<Out, sR, sG>(source, dest, n, integer);
    default:
      InvalidDataType();
  }
}

}  // namespace

const TPixelConverterRow PixelConverterTable[kPixelConverterRowCount] = {
    {GL_UNSIGNED_BYTE, ReadPlain<UByteIn>, WritePlain<UByteOut>},
    {GL_UNSIGNED_BYTE_3_3_2, ReadPacked<0>, UnimplementedWriter},
    {GL_UNSIGNED_BYTE_2_3_3_REV, ReadPacked<1>, UnimplementedWriter},
    {GL_BYTE, ReadPlain<ByteIn>, WritePlain<ByteOut>},
    {GL_UNSIGNED_SHORT, ReadPlain<UShortIn>, WritePlain<UShortOut>},
    {GL_SHORT, ReadPlain<ShortIn>, WritePlain<ShortOut>},
    {GL_UNSIGNED_INT, ReadPlain<UIntIn>, WritePlain<UIntOut>},
    {GL_INT, ReadPlain<IntIn>, WritePlain<IntOutT>},
    {GL_FLOAT, ReadPlain<FloatIn>, WritePlain<FloatOut>},
    {GL_HALF_FLOAT, ReadPlain<HalfIn>, WritePlain<HalfOut>},
    {GL_UNSIGNED_INT_8_8_8_8, ReadPacked<2>, UnimplementedWriter},
    {GL_UNSIGNED_INT_8_8_8_8_REV, ReadPacked<3>, UnimplementedWriter},
    {GL_UNSIGNED_SHORT_4_4_4_4, ReadPacked<4>, UnimplementedWriter},
    {GL_UNSIGNED_SHORT_4_4_4_4_REV, ReadPacked<5>, UnimplementedWriter},
    {GL_UNSIGNED_SHORT_5_6_5, ReadPacked<6>, UnimplementedWriter},
    {GL_UNSIGNED_SHORT_5_6_5_REV, ReadPacked<7>, UnimplementedWriter},
    {GL_UNSIGNED_SHORT_5_5_5_1, ReadPacked<8>, UnimplementedWriter},
    {GL_UNSIGNED_SHORT_1_5_5_5_REV, ReadPacked<9>, UnimplementedWriter},
    {GL_UNSIGNED_INT_10_10_10_2, ReadPacked<10>, UnimplementedWriter},
    {GL_UNSIGNED_INT_2_10_10_10_REV, ReadPacked<11>, UnimplementedWriter},
    {GL_COMPRESSED_RGB_S3TC_DXT1_EXT, ReadDXT1, UnimplementedWriter},
    {GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, ReadDXT1, UnimplementedWriter},
    {GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, ReadDXT3, UnimplementedWriter},
    {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, ReadDXT5, UnimplementedWriter},
    {GL_COMPRESSED_SRGB_S3TC_DXT1_EXT, UnimplementedReader, UnimplementedWriter},
    {GL_COMPRESSED_SRGB_ALPHA_S3TC_DXT1_EXT, UnimplementedReader, UnimplementedWriter},
    {GL_COMPRESSED_SRGB_ALPHA_S3TC_DXT3_EXT, UnimplementedReader, UnimplementedWriter},
    {GL_COMPRESSED_SRGB_ALPHA_S3TC_DXT5_EXT, UnimplementedReader, UnimplementedWriter},
    {GL_COMPRESSED_LUMINANCE_LATC1_EXT, ReadChannelBlocks<0>, UnimplementedWriter},
    {GL_COMPRESSED_SIGNED_LUMINANCE_LATC1_EXT, ReadChannelBlocks<1>, UnimplementedWriter},
    {GL_COMPRESSED_LUMINANCE_ALPHA_LATC2_EXT, ReadChannelBlocks<2>, UnimplementedWriter},
    {GL_COMPRESSED_SIGNED_LUMINANCE_ALPHA_LATC2_EXT, ReadChannelBlocks<3>, UnimplementedWriter},
    {kGL_COMPRESSED_LUMINANCE_ALPHA_3DC_ATI, UnimplementedReader, UnimplementedWriter},
    {GL_COMPRESSED_RED_RGTC1, ReadChannelBlocks<4>, UnimplementedWriter},
    {GL_COMPRESSED_SIGNED_RED_RGTC1, ReadChannelBlocks<5>, UnimplementedWriter},
    {GL_COMPRESSED_RG_RGTC2, ReadChannelBlocks<6>, UnimplementedWriter},
    {GL_COMPRESSED_SIGNED_RG_RGTC2, ReadChannelBlocks<7>, UnimplementedWriter},
};

namespace image_utils_detail {

const TPixelConverterRow* FindConverterRow(uint32_t dataType) {
  for (const TPixelConverterRow& row : PixelConverterTable)
    if (row.DataType == dataType) return &row;
  return nullptr;
}

TPixelReader ReaderFor(uint32_t dataType) {
  const TPixelConverterRow* row = FindConverterRow(dataType);
  return row ? row->Reader : UnimplementedReader;
}

TPixelWriter WriterFor(uint32_t dataType) {
  const TPixelConverterRow* row = FindConverterRow(dataType);
  return row ? row->Writer : UnimplementedWriter;
}

std::unique_ptr<TWorkPixel[]> AllocateWork(int64_t width, int64_t height) {
  if (width < 1) width = 1;
  if (height < 1) height = 1;
  if (width > std::numeric_limits<int64_t>::max() / static_cast<int64_t>(sizeof(TWorkPixel)) / height)
    throw std::bad_alloc();
  // Every reader fills each pixel of its extent, so the block needs no clearing.
  return std::unique_ptr<TWorkPixel[]>(new TWorkPixel[static_cast<size_t>(width * height)]);
}

int64_t PixelBytes(uint32_t colorFormat, uint32_t dataType) {
  int64_t element = 0;
  switch (dataType) {
    case GL_UNSIGNED_BYTE_3_3_2:
    case GL_UNSIGNED_BYTE_2_3_3_REV:
      return 1;
    case GL_UNSIGNED_SHORT_4_4_4_4:
    case GL_UNSIGNED_SHORT_4_4_4_4_REV:
    case GL_UNSIGNED_SHORT_5_6_5:
    case GL_UNSIGNED_SHORT_5_6_5_REV:
    case GL_UNSIGNED_SHORT_5_5_5_1:
    case GL_UNSIGNED_SHORT_1_5_5_5_REV:
      return 2;
    case GL_UNSIGNED_INT_8_8_8_8:
    case GL_UNSIGNED_INT_8_8_8_8_REV:
    case GL_UNSIGNED_INT_10_10_10_2:
    case GL_UNSIGNED_INT_2_10_10_10_REV:
      return 4;
    case GL_UNSIGNED_BYTE:
    case GL_BYTE:
      element = 1;
      break;
    case GL_UNSIGNED_SHORT:
    case GL_SHORT:
    case GL_HALF_FLOAT:
      element = 2;
      break;
    case GL_UNSIGNED_INT:
    case GL_INT:
    case GL_FLOAT:
      element = 4;
      break;
    default:
      return 0;
  }
  switch (colorFormat == GL_INTENSITY ? GL_LUMINANCE : NormalisedTwin(colorFormat)) {
    case GL_RED:
    case GL_GREEN:
    case GL_BLUE:
    case GL_ALPHA:
    case GL_LUMINANCE:
      return element;
    case GL_LUMINANCE_ALPHA:
    case GL_RG:
      return 2 * element;
    case GL_RGB:
    case GL_BGR:
      return 3 * element;
    case GL_RGBA:
    case GL_BGRA:
      return 4 * element;
    default:
      return 0;
  }
}

bool BlocksApart(const void* a, int64_t aBytes, const void* b, int64_t bBytes) {
  const auto x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
  return x + static_cast<uintptr_t>(aBytes) <= y || y + static_cast<uintptr_t>(bBytes) <= x;
}

int32_t StripRows(int32_t width) {
  return static_cast<int32_t>(std::max<int64_t>(1, kStripPixels / std::max(width, 1)));
}

}  // namespace image_utils_detail

using namespace image_utils_detail;

// Blocks that do not overlap are converted a strip of rows at a time through a small working array;
// the result and the failures are the same as through one array for the whole picture (a reader or
// writer refuses a layout on the first strip, before anything is written). Blocks that overlap,
// and block formats, go through one array.
void ConvertPixels(const void* source, void* destination, uint32_t sourceColorFormat,
                   uint32_t destinationColorFormat, uint32_t sourceDataType, uint32_t destinationDataType,
                   int32_t width, int32_t height) {
  if (width < 1) return;
  if (height < 1) height = 1;
  const TPixelReader reader = ReaderFor(sourceDataType);
  const TPixelWriter writer = WriterFor(destinationDataType);
  const int64_t pixels = static_cast<int64_t>(width) * height;
  const int64_t inBytes = PixelBytes(sourceColorFormat, sourceDataType);
  const int64_t outBytes = PixelBytes(destinationColorFormat, destinationDataType);
  const bool apart =
      inBytes > 0 && outBytes > 0 && BlocksApart(source, pixels * inBytes, destination, pixels * outBytes);
  if (!apart || pixels <= kStripPixels) {
    std::unique_ptr<TWorkPixel[]> work = AllocateWork(width, height);
    reader(source, work.get(), sourceColorFormat, width, height);
    writer(work.get(), destination, destinationColorFormat, width, height);
    return;
  }
  const int32_t rows = StripRows(width);
  std::unique_ptr<TWorkPixel[]> work = AllocateWork(width, rows);
  for (int32_t y = 0; y < height; y += rows) {
    const int32_t n = std::min(rows, height - y);
    const int64_t first = static_cast<int64_t>(y) * width;
    reader(static_cast<const uint8_t*>(source) + first * inBytes, work.get(), sourceColorFormat, width, n);
    writer(work.get(), static_cast<uint8_t*>(destination) + first * outBytes, destinationColorFormat, width,
           n);
  }
}

}  // namespace gl3d
