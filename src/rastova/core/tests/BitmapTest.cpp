#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVBitmapInternal.h"
#include "rastova/core/RVDibBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

using namespace rv;

namespace {

const char* const kFormatNames[] = {"none", "1g", "8p", "8g", "16g", "24RGB", "32f", "CMYK", "48RGB", "CIELab", "32RGB"};

// A tiny picture of known colours: black, white, primaries, greys and a few mixtures.
const uint32_t kColours[3][5] = {{0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF},
                                 {0x808080, 0xFFFF00, 0x1E3C5A, 0x404040, 0xC0C0C0},
                                 {0x00FFFF, 0xFF00FF, 0x102030, 0xFFFFFF, 0x000000}};

std::unique_ptr<TRVBitmap> Reference() {
  auto b = std::make_unique<TRVBitmap>(5, 3, rv24RGB);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) b->SetPixels_rv24RGB(x, y, kColours[y][x]);
  return b;
}

// The pixel bytes (no row padding) and the palette.
std::vector<uint8_t> Dump(TRVBitmap& b) {
  std::vector<uint8_t> out;
  int32_t w = b.GetWidth(), h = b.GetHeight();
  for (int y = 0; y < h; ++y) {
    if (b.GetPixelFormat() == rv1g) {
      for (int x = 0; x < w; ++x) out.push_back(b.GetPixels_rv1g(x, y));
    } else {
      const uint8_t* r = b.GetScanLine(y);
      out.insert(out.end(), r, r + AlignedRowLength(w, b.GetBitCount(), 8));
    }
  }
  for (int i = 0; i < b.GetPaletteLength(); ++i) {
    TRGB p = b.GetPalette(i);
    out.insert(out.end(), {p.b, p.g, p.r});
  }
  return out;
}

// Runs every test of the fixture twice: in memory and with every buffer in a temporary file.
class BitmapTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) GlobalMemoryThreshold = 0;
  }
  void TearDown() override {
    GlobalMemoryThreshold = -1;
    rv::testing::MaxBlockSize = -1;
  }
  bool InFile() const { return GetParam(); }
  TRVLocation Expected() const { return InFile() ? rvInTempFile : rvInMemory; }
};

}  // namespace

namespace {

// ---- the conversion table, written out per pixel for the all-pairs test

constexpr int32_t kPairW = 11, kPairH = 9;  // both past the 8 x 8 dithering matrix
const int kBayer[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                          {12, 44, 4, 36, 14, 46, 6, 38},  {60, 28, 52, 20, 62, 30, 54, 22},
                          {3, 35, 11, 43, 1, 33, 9, 41},   {51, 19, 59, 27, 49, 17, 57, 25},
                          {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21}};

int Grey8(int r, int g, int b) { return (r * 21 + g * 71 + b * 8) / 100; }
int Grey16(int64_t r, int64_t g, int64_t b) { return static_cast<int>((r * 212 + g * 713 + b * 75) / 1000); }
float GreyF(long double r, long double g, long double b) {
  return static_cast<float>((r * 0.2126L + g * 0.7152L + b * 0.0722L) / 255);
}
void Put16(std::vector<uint8_t>& out, int v) {
  const uint16_t w = static_cast<uint16_t>(v);
  out.push_back(static_cast<uint8_t>(w));
  out.push_back(static_cast<uint8_t>(w >> 8));
}
void PutF(std::vector<uint8_t>& out, float v) {
  uint8_t b[4];
  std::memcpy(b, &v, 4);
  out.insert(out.end(), b, b + 4);
}
int Get16(const uint8_t* p) { return p[0] | (p[1] << 8); }
float GetF(const uint8_t* p) {
  float v;
  std::memcpy(&v, p, 4);
  return v;
}

// A picture of random samples in any format (random palette for rv8p, 0..1 for rv32f).
std::unique_ptr<TRVBitmap> RandomPicture(TRVPixelFormat f, uint32_t seed) {
  auto b = std::make_unique<TRVBitmap>(kPairW, kPairH, f);
  std::mt19937 gen(seed);
  const int32_t bytes = AlignedRowLength(kPairW, b->GetBitCount(), 8);
  for (int32_t y = 0; y < kPairH; ++y) {
    uint8_t* row = b->GetScanLine(y);
    for (int32_t i = 0; i < bytes; ++i) row[i] = static_cast<uint8_t>(gen());
    if (f == rv16g || f == rv48RGB)  // half the words at the edges of their high byte
      for (int32_t i = 0; i + 1 < bytes; i += 2)
        if (gen() % 2) row[i] = gen() % 2 ? 0 : 255;
    if (f == rv32f)
      for (int32_t x = 0; x < kPairW; ++x) {
        const float v = (x + y) % 7 == 0 ? float((x + y) % 2) : static_cast<float>(gen() % 100001) / 100000.0f;
        std::memcpy(row + 4 * x, &v, 4);
      }
  }
  if (f == rv8p)
    for (int32_t i = 0; i < 256; ++i)
      b->SetPalette(i, TRGB{static_cast<uint8_t>(gen()), static_cast<uint8_t>(gen()), static_cast<uint8_t>(gen())});
  return b;
}

// Whether the table converts between the two formats without going through rv24RGB.
bool DirectPair(TRVPixelFormat s, TRVPixelFormat d) {
  switch (s) {
    case rvCMYK:
    case rvCIELab: return d == rv24RGB || d == rv32RGB;
    case rv32RGB: return d == rv24RGB;
    case rv48RGB: return d != rv8p && d != rvCMYK && d != rvCIELab;
    case rv24RGB: return true;
    default: return d != rvCMYK && d != rvCIELab;
  }
}

// The source pixel (x, y) converted to rv24RGB by the table.
TRGB To24(TRVBitmap& src, int32_t x, int32_t y) {
  const uint8_t* row = src.GetScanLine(y);
  switch (src.GetPixelFormat()) {
    case rv1g: {
      const uint8_t v = (row[x / 8] >> (7 - x % 8)) & 1 ? 255 : 0;
      return TRGB{v, v, v};
    }
    case rv8p: return src.GetPalette(row[x]);
    case rv8g: return TRGB{row[x], row[x], row[x]};
    case rv16g: {
      const uint8_t v = static_cast<uint8_t>(Get16(row + 2 * x) / 256);
      return TRGB{v, v, v};
    }
    case rv24RGB: return TRGB{row[3 * x], row[3 * x + 1], row[3 * x + 2]};
    case rv32f: {
      const uint8_t v = static_cast<uint8_t>(static_cast<int64_t>(GetF(row + 4 * x) * 255.0L));
      return TRGB{v, v, v};
    }
    case rvCMYK: return CMYKToRGB(TCMYK{row[4 * x], row[4 * x + 1], row[4 * x + 2], row[4 * x + 3]});
    case rv48RGB: {
      const uint8_t* p = row + 6 * x;
      return TRGB{static_cast<uint8_t>(Get16(p + 4) / 256), static_cast<uint8_t>(Get16(p + 2) / 256),
                  static_cast<uint8_t>(Get16(p) / 256)};
    }
    case rvCIELab: {
      TRGB c;
      CIELabToRGB(uint32_t(row[3 * x]) | uint32_t(row[3 * x + 1]) << 8 | uint32_t(row[3 * x + 2]) << 16, c);
      return c;
    }
    case rv32RGB: return TRGB{row[4 * x], row[4 * x + 1], row[4 * x + 2]};
    default: return TRGB{};
  }
}

std::unique_ptr<TRVBitmap> As24(TRVBitmap& src) {
  auto b = std::make_unique<TRVBitmap>(kPairW, kPairH, rv24RGB);
  for (int32_t y = 0; y < kPairH; ++y)
    for (int32_t x = 0; x < kPairW; ++x) {
      const TRGB c = To24(src, x, y);
      std::memcpy(b->GetScanLine(y) + 3 * x, &c, 3);
    }
  return b;
}

// Appends the destination sample of source pixel (x, y) in the layout Dump uses; for rv8p
// destinations it appends the index and may fill `palette`.
void ConvertPixel(TRVBitmap& src, TRVPixelFormat df, int32_t x, int32_t y, std::vector<uint8_t>& out,
                  std::vector<TRGB>& palette) {
  const TRVPixelFormat sf = src.GetPixelFormat();
  // A copy of the row: in a temporary file the next GetScanLine (To24) unmaps it.
  const uint8_t* live = src.GetScanLine(y);
  const std::vector<uint8_t> rowCopy(live, live + AlignedRowLength(kPairW, src.GetBitCount(), 8));
  const uint8_t* row = rowCopy.data();
  if (sf == df) {
    if (sf == rv1g) {
      out.push_back((row[x / 8] >> (7 - x % 8)) & 1);
    } else {
      const int32_t n = src.GetBitCount() / 8;
      out.insert(out.end(), row + x * n, row + (x + 1) * n);
    }
    return;
  }
  if (df == rv1g) {  // ordered dithering of a 6-bit level
    int level;
    if (sf == rv8g) level = row[x] / 4;
    else if (sf == rv16g) level = Get16(row + 2 * x) / 1024;
    else if (sf == rv32f) level = (static_cast<int>(static_cast<int64_t>(GetF(row + 4 * x) * 255.0L)) % 256) / 4;
    else {
      const TRGB c = To24(src, x, y);
      level = Grey8(c.r, c.g, c.b) / 4;
    }
    out.push_back(kBayer[x % 8][y % 8] < level ? 1 : 0);
    return;
  }
  // Sources whose samples are grey levels or colours, as the table reads them.
  if (sf == rv1g || sf == rv8g || sf == rv16g || sf == rv32f) {
    const bool on = sf == rv1g && ((row[x / 8] >> (7 - x % 8)) & 1);
    const int s8 = sf == rv1g ? (on ? 255 : 0) : To24(src, x, y).r;
    const int s16 = sf == rv1g ? (on ? 65535 : 0)
                    : sf == rv8g ? row[x] * 257
                    : sf == rv16g ? Get16(row + 2 * x)
                                  : static_cast<int>(static_cast<int64_t>(GetF(row + 4 * x) * 65535.0L));
    const float f = sf == rv1g ? (on ? 1.0f : 0.0f)
                    : sf == rv8g ? static_cast<float>(row[x] / 255.0L)
                    : sf == rv16g ? static_cast<float>(Get16(row + 2 * x) / 65535.0L)
                                  : GetF(row + 4 * x);
    switch (df) {
      case rv8p:
        if (sf == rv1g) {
          palette[0] = TRGB{0, 0, 0};
          palette[1] = TRGB{255, 255, 255};
          out.push_back(on ? 1 : 0);
        } else {
          for (int i = 0; i < 256; ++i) palette[static_cast<size_t>(i)] = TRGB{uint8_t(i), uint8_t(i), uint8_t(i)};
          out.push_back(static_cast<uint8_t>(s8));
        }
        return;
      case rv8g: out.push_back(static_cast<uint8_t>(s8)); return;
      case rv16g: Put16(out, s16); return;
      case rv24RGB: out.insert(out.end(), 3, static_cast<uint8_t>(s8)); return;
      case rv32f: PutF(out, f); return;
      case rv48RGB: for (int i = 0; i < 3; ++i) Put16(out, s16); return;
      case rv32RGB: out.insert(out.end(), {uint8_t(s8), uint8_t(s8), uint8_t(s8), 255}); return;
      default: break;
    }
  }
  if (sf == rv48RGB && DirectPair(sf, df) && df != rv24RGB && df != rv32RGB) {
    const uint8_t* p = row + 6 * x;
    const int r = Get16(p), g = Get16(p + 2), b = Get16(p + 4);
    if (df == rv8g) out.push_back(static_cast<uint8_t>(Grey8(r / 256, g / 256, b / 256)));
    if (df == rv16g) Put16(out, Grey16(r, g, b));
    if (df == rv32f) PutF(out, GreyF(r / 256.0L, g / 256.0L, b / 256.0L));
    return;
  }
  // Everything else is a colour: the source's own (8p, 24, 48, CMYK, CIELab, 32RGB), through
  // rv24RGB where the table has no direct conversion.
  const TRGB c = To24(src, x, y);
  switch (df) {
    case rv8g: out.push_back(static_cast<uint8_t>(Grey8(c.r, c.g, c.b))); return;
    case rv16g: Put16(out, Grey16(c.r * 257, c.g * 257, c.b * 257)); return;
    case rv24RGB: out.insert(out.end(), {c.b, c.g, c.r}); return;
    case rv32f: PutF(out, GreyF(c.r, c.g, c.b)); return;
    case rvCMYK: {
      const TCMYK k = RGBToCMYK(PackRGB(c));
      out.insert(out.end(), {k.c, k.m, k.y, k.k});
      return;
    }
    case rv48RGB: Put16(out, c.r * 257); Put16(out, c.g * 257); Put16(out, c.b * 257); return;
    case rvCIELab: {
      TCIELab l;
      RGBToCIELab(PackRGB(c), l);
      out.insert(out.end(), {l.l, static_cast<uint8_t>(l.a), static_cast<uint8_t>(l.b)});
      return;
    }
    case rv32RGB: out.insert(out.end(), {c.b, c.g, c.r, 255}); return;
    default: return;
  }
}

// Dump of what converting `src` into a new image of format `df` must give. `before` is the
// new image's palette before the conversion (entries the conversion does not set keep it).
std::vector<uint8_t> ExpectedConversion(TRVBitmap& src, TRVPixelFormat df, uint8_t bwConversion,
                                        std::vector<TRGB> palette) {
  const TRVPixelFormat sf = src.GetPixelFormat();
  std::vector<uint8_t> out;
  if (df == rv1g && sf != rv1g && bwConversion == 1) {
    // The whole image through the automatic threshold; colours that the table first takes to
    // rv24RGB are thresholded from there.
    TRVBitmap bw(kPairW, kPairH, rv1g);
    if (sf == rv48RGB || !DirectPair(sf, rv1g))
      ThresholdTo1Bit(*As24(src), bw, -1);
    else
      ThresholdTo1Bit(src, bw, -1);
    for (int32_t y = 0; y < kPairH; ++y)
      for (int32_t x = 0; x < kPairW; ++x) out.push_back(bw.GetPixels_rv1g(x, y));
  } else if (df == rv8p && sf != rv8p && (sf == rv24RGB || !DirectPair(sf, df))) {
    // The quantizer: a picture of fewer than 256 colours gets exactly its colours, in the order
    // they first appear, the other entries black.
    auto c24 = As24(src);
    std::vector<uint32_t> colours;
    for (int32_t y = 0; y < kPairH; ++y)
      for (int32_t x = 0; x < kPairW; ++x) {
        const uint32_t c = PackRGB(c24->GetPixels_rv24RGB(x, y));
        auto at = std::find(colours.begin(), colours.end(), c);
        if (at == colours.end()) at = colours.insert(colours.end(), c);
        out.push_back(static_cast<uint8_t>(at - colours.begin()));
      }
    palette.assign(256, TRGB{});
    for (size_t i = 0; i < colours.size(); ++i) palette[i] = UnpackRGB(colours[i]);
  } else {
    if (df == rv8p && palette.size() < 256) palette.resize(256);
    if (sf == rv8p && df == rv8p)
      for (int i = 0; i < 256; ++i) palette[static_cast<size_t>(i)] = src.GetPalette(i);
    for (int32_t y = 0; y < kPairH; ++y)
      for (int32_t x = 0; x < kPairW; ++x) ConvertPixel(src, df, x, y, out, palette);
  }
  for (const TRGB& p : palette) out.insert(out.end(), {p.b, p.g, p.r});
  return out;
}

}  // namespace

TEST(BitmapConversion, EveryFormatToEveryFormatInMemoryAndInTemporaryFiles) {
  for (int inFile = 0; inFile < 2; ++inFile) {
    GlobalMemoryThreshold = inFile ? 0 : -1;
    const TRVLocation expected = inFile ? rvInTempFile : rvInMemory;
    for (int sf = 1; sf < kRVPixelFormatCount; ++sf) {
      for (int df = 1; df < kRVPixelFormatCount; ++df) {
        for (uint8_t bw = 0; bw < (df == rv1g ? 2 : 1); ++bw) {
          SCOPED_TRACE(std::string(kFormatNames[sf]) + " -> " + kFormatNames[df] + (bw ? " thresholded" : "") +
                       (inFile ? " in files" : " in memory"));
          auto src = RandomPicture(static_cast<TRVPixelFormat>(sf), static_cast<uint32_t>(sf * 31 + df));
          ASSERT_EQ(src->GetLocation(), expected);
          const std::vector<uint8_t> before = Dump(*src);
          TRVBitmap dst(kPairW, kPairH, static_cast<TRVPixelFormat>(df));
          ASSERT_EQ(dst.GetLocation(), expected);
          dst.BWConversion = bw;
          std::vector<TRGB> palette;
          for (int32_t i = 0; i < dst.GetPaletteLength(); ++i) palette.push_back(dst.GetPalette(i));
          const std::vector<uint8_t> want = ExpectedConversion(*src, static_cast<TRVPixelFormat>(df), bw, palette);
          dst.CopyAndConvertFormat(*src);
          EXPECT_EQ(src->GetPixelFormat(), sf);
          EXPECT_EQ(Dump(*src), before) << "the source changed";
          const std::vector<uint8_t> got = Dump(dst);
          ASSERT_EQ(got.size(), want.size());
          size_t wrong = 0;
          for (size_t i = 0; i < got.size(); ++i)
            if (got[i] != want[i] && wrong++ < 3)
              ADD_FAILURE() << "byte " << i << " is " << int(got[i]) << ", the table gives " << int(want[i]);
          EXPECT_EQ(wrong, 0u);
        }
      }
    }
  }
  GlobalMemoryThreshold = -1;
}

TEST_P(BitmapTest, ConversionValuesOfTheFormulas) {
  auto ref = Reference();
  TRVBitmap grey(5, 3, rv8g);
  grey.CopyAndConvertFormat(*ref);
  EXPECT_EQ(grey.GetPixels_rv8(2, 0), 53);                    // red: 255 * 21 div 100
  EXPECT_EQ(grey.GetPixels_rv8(2, 1), (30 * 21 + 60 * 71 + 90 * 8) / 100);
  TRVBitmap g16(5, 3, rv16g);
  g16.CopyAndConvertFormat(*ref);
  EXPECT_EQ(g16.GetPixels_rv16g(1, 0), 65535);
  EXPECT_EQ(g16.GetPixels_rv16g(2, 0), 255 * 257 * 212 / 1000);
  TRVBitmap f(5, 3, rv32f);
  f.CopyAndConvertFormat(*ref);
  EXPECT_FLOAT_EQ(f.GetPixels_rv32f(3, 0), static_cast<float>(255 * 0.7152L / 255));
  TRVBitmap w48(5, 3, rv48RGB);
  w48.CopyAndConvertFormat(*ref);
  EXPECT_EQ(w48.GetPixels_rv48RGB(2, 1), (TRGB48{30 * 257, 60 * 257, 90 * 257}));
  TRVBitmap lab(5, 3, rvCIELab);
  lab.CopyAndConvertFormat(*ref);
  EXPECT_EQ(lab.GetPixels_rvCIELab(2, 0), (TCIELab{135, 80, 67}));
  TRVBitmap cmyk(5, 3, rvCMYK);
  cmyk.CopyAndConvertFormat(*ref);
  EXPECT_EQ(cmyk.GetPixels_rvCMYK(1, 1), (TCMYK{255, 255, 0, 255}));

  // 16-bit grey through the display range.
  TRVBitmap s16(3, 1, rv16g);
  s16.SetPixels_rv16g(0, 0, 1500);
  s16.SetPixels_rv16g(1, 0, 3000);
  s16.SetPixels_rv16g(2, 0, 0x4321);
  TRVBitmap out(3, 1, rv24RGB);
  out.DisplayMin = 1000;
  out.DisplayMax = 2000;
  out.CopyAndConvertFormat(s16);
  EXPECT_EQ(out.GetPixels(0, 0).r, 127);
  EXPECT_EQ(out.GetPixels(1, 0).r, 255);
  out.DisplayMin = out.DisplayMax = 0;
  out.CopyAndConvertFormat(s16);
  EXPECT_EQ(out.GetPixels(2, 0).r, 0x43);

  // Ordered dithering: level 63 sets every bit of a 2 x 2 block, level 0 none.
  for (int v : {255, 3}) {
    TRVBitmap g(2, 2, rv8g);
    g.Fill(v);
    TRVBitmap bw(2, 2, rv1g);
    bw.BWConversion = 0;
    bw.CopyAndConvertFormat(g);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 2; ++x) EXPECT_EQ(bw.GetPixels_rv1g(x, y), v == 255);
  }
}

TEST_P(BitmapTest, FloatPixelsSaturateAndNaNBecomesZero) {
  TRVBitmap f(4, 1, rv32f);
  f.SetPixels_rv32f(0, 0, std::numeric_limits<float>::quiet_NaN());
  f.SetPixels_rv32f(1, 0, 7.5f);
  f.SetPixels_rv32f(2, 0, -3.0f);
  f.SetPixels_rv32f(3, 0, 0.5f);
  for (TRVPixelFormat df : {rv8g, rv16g, rv24RGB, rv48RGB, rv32RGB, rv8p}) {
    TRVBitmap d(4, 1, df);
    d.CopyAndConvertFormat(f);
    EXPECT_EQ(d.GetPixels(0, 0).r, 0) << kFormatNames[df];
    EXPECT_EQ(d.GetPixels(1, 0).r, 255) << kFormatNames[df];
    EXPECT_EQ(d.GetPixels(2, 0).r, 0) << kFormatNames[df];
    EXPECT_EQ(d.GetPixels(3, 0).r, 127) << kFormatNames[df];
  }
  TRVBitmap w(4, 1, rv16g);
  w.CopyAndConvertFormat(f);
  EXPECT_EQ(w.GetPixels_rv16g(1, 0), 65535);
  EXPECT_EQ(f.GetPixels(1, 0).r, 255);
}

TEST_P(BitmapTest, ConversionThroughTwentyFourBitsLeavesTheSourceAlone) {
  TRVBitmap bw(9, 2, rv1g);
  bw.Fill(0);
  bw.SetPixels_rv1g(3, 1, true);
  TRVBitmap lab(9, 2, rvCIELab);
  lab.CopyAndConvertFormat(bw);
  EXPECT_EQ(bw.GetPixelFormat(), rv1g);
  EXPECT_EQ(lab.GetPixels_rvCIELab(0, 0), (TCIELab{0, 0, 0}));
  EXPECT_EQ(lab.GetPixels_rvCIELab(3, 1), (TCIELab{255, 0, 0}));
  TRVBitmap cmyk(2, 1, rvCMYK);
  cmyk.SetPixels_rvCMYK(0, 0, TCMYK{255, 0, 0, 255});
  cmyk.SetPixels_rvCMYK(1, 0, TCMYK{0, 0, 0, 1});
  TRVBitmap g(2, 1, rv8g);
  g.CopyAndConvertFormat(cmyk);
  EXPECT_EQ(cmyk.GetPixelFormat(), rvCMYK);
  EXPECT_EQ(g.GetPixels_rv8(0, 0), 53);
  EXPECT_EQ(g.GetPixels_rv8(1, 0), 0);
}

TEST_P(BitmapTest, StorageFollowsTheThresholdAndTheFileHoldsTheRows) {
  TRVBitmap b;
  EXPECT_EQ(b.GetLocation(), rvInTempFile);
  ASSERT_TRUE(b.Allocate(7, 5, rv24RGB));
  EXPECT_EQ(b.GetLocation(), Expected());
  EXPECT_EQ(b.GetRowLen(), 24);
  EXPECT_FALSE(b.IsEmpty());
  for (int y = 0; y < 5; ++y) std::memset(b.GetScanLine(y), 10 * y + 1, 21);
  if (InFile()) {
    const std::string name = b.FileBuffer().FileName();
    EXPECT_FALSE(FileExistsUnicode(name)) << "the file keeps its name while in use";
    EXPECT_EQ(name.rfind(TemporaryDirectory() + "IMG-", 0), 0u);
    uint8_t* r1 = b.GetScanLine(1);
    EXPECT_EQ(r1[0], 11);
    r1[0] = 99;
    b.GetScanLine(2);  // releases row 1 (written back)
    EXPECT_EQ(b.GetScanLine(1)[0], 99);
    uint8_t* h0 = b.GetLockedRow(0);
    uint8_t* h4 = b.GetLockedRow(4);
    h0[1] = 7;
    h4[1] = 8;
    EXPECT_EQ(h0[0], 1);
    b.ReleaseLockedRow(0);
    b.ReleaseFileRows();
    EXPECT_EQ(b.GetScanLine(0)[1], 7);
    EXPECT_EQ(b.GetScanLine(4)[1], 8);
    b.FreeImage(true);
    EXPECT_FALSE(FileExistsUnicode(name)) << "the temporary file outlived the image";
  } else {
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b.GetScanLine(4)) % 64, 0u);
    // Same size and format again: nothing is reallocated.
    uint8_t* before = b.GetScanLine(2);
    EXPECT_TRUE(b.Allocate(7, 5, rv24RGB));
    EXPECT_EQ(b.GetScanLine(2), before);
    EXPECT_EQ(before[0], 21);
  }
}

TEST(BitmapStorage, ThresholdEdgesAndLocationMoves) {
  // Exactly at the threshold an image keeps the location it had.
  GlobalMemoryThreshold = 12 * 4;
  TRVBitmap fresh;
  ASSERT_TRUE(fresh.Allocate(4, 4, rv24RGB));  // 12 bytes per row, 48 in all
  EXPECT_EQ(fresh.GetLocation(), rvInTempFile);
  TRVBitmap inMemory;
  inMemory.SetLocation(rvInMemory);
  ASSERT_TRUE(inMemory.Allocate(4, 4, rv24RGB));
  EXPECT_EQ(inMemory.GetLocation(), rvInMemory);
  // Above the threshold an image asked into memory stays in its file.
  TRVBitmap big(8, 8, rv24RGB);
  ASSERT_EQ(big.GetLocation(), rvInTempFile);
  big.SetPixels_rv24RGB(3, 3, 0x123456);
  big.SetLocation(rvInMemory);
  EXPECT_EQ(big.GetLocation(), rvInTempFile);
  EXPECT_EQ(PackRGB(big.GetPixels(3, 3)), 0x123456u);
  GlobalMemoryThreshold = -1;

  // Chunks when no single block can be had, then the file.
  rv::testing::MaxBlockSize = 40;
  TRVBitmap chunked(10, 9, rv8g);
  EXPECT_EQ(chunked.GetLocation(), rvInMemory);
  EXPECT_EQ(chunked.ChunkCount(), 3);  // 3 rows each: the fourth chunk is not needed
  for (int y = 0; y < 9; ++y) chunked.GetScanLine(y)[0] = static_cast<uint8_t>(y);
  for (int y = 0; y < 9; ++y) EXPECT_EQ(chunked.GetScanLine(y)[0], y);
  rv::testing::MaxBlockSize = 0;
  TRVBitmap fallback(10, 9, rv8g);
  EXPECT_EQ(fallback.GetLocation(), rvInTempFile);
  AllowFileFallback = false;
  TRVBitmap refused;
  refused.SetLocation(rvInMemory);
  EXPECT_FALSE(refused.Allocate(10, 9, rv8g));
  EXPECT_TRUE(refused.IsEmpty());
  AllowFileFallback = true;
  rv::testing::MaxBlockSize = -1;

  // Sizes the machine cannot hold fail cleanly, whatever the threshold says.
  GlobalMemoryThreshold = 0;
  TRVBitmap huge;
  EXPECT_FALSE(huge.Allocate(1 << 30, 1 << 20, rv48RGB));
  EXPECT_TRUE(huge.IsEmpty());
  EXPECT_FALSE(huge.FileBuffer().IsAllocated());
  GlobalMemoryThreshold = -1;
  TRVBitmap huge2;
  EXPECT_FALSE(huge2.Allocate(1 << 30, 1 << 20, rv24RGB));
  EXPECT_FALSE(huge2.Allocate(0, 5, rv8g));
  EXPECT_FALSE(huge2.Allocate(5, 5, rvNone));
  EXPECT_FALSE(huge2.Allocate(0, 0, rv8g)) << "an empty image is never reported as allocated";
}

TEST_P(BitmapTest, FillsAndTheFullFlag) {
  std::unique_ptr<TRVBitmap> alpha = TRVBitmap::CreateAlpha(5, 2, rvInMemory);
  EXPECT_TRUE(alpha->IsAlphaChannel());
  EXPECT_TRUE(alpha->Full);
  alpha->SetPixels_rv8(2, 1, 254);
  EXPECT_FALSE(alpha->Full);
  alpha->UpdateOpaqueFlag();
  EXPECT_FALSE(alpha->Full);
  alpha->SetPixels_rv8(2, 1, 255);
  alpha->UpdateOpaqueFlag();
  EXPECT_TRUE(alpha->Full);

  TRVBitmap f(3, 2, rv32f);
  f.Fill(0.75);
  EXPECT_FLOAT_EQ(f.GetPixels_rv32f(2, 1), 0.75f);
  f.FillRect(0, 0, 10, 10, 0.75);
  EXPECT_FLOAT_EQ(f.GetPixels_rv32f(2, 1), 0.0f);

  TRVBitmap q(3, 2, rv32RGB);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) q.SetPixels_rv32RGB(x, y, 0x11000000u * (x + 1));
  q.Fill(0xFFFFFF);
  EXPECT_TRUE(q.Full);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(q.GetPixels_rv32RGB(x, y), 0x11000000u * (x + 1) + 0xFFFFFF);

  TRVBitmap c(4, 4, rv24RGB);
  c.Fill(0x0000FF);  // a TColor: red
  EXPECT_EQ(PackRGB(c.GetPixels(3, 3)), 0xFF0000u);
  EXPECT_FALSE(c.Full);
  c.FillRect(-5, 1, 2, 2, 0xFF0000);
  EXPECT_EQ(PackRGB(c.GetPixels(0, 1)), 0x0000FFu);
  EXPECT_EQ(PackRGB(c.GetPixels(3, 1)), 0xFF0000u);
  EXPECT_EQ(PackRGB(c.GetPixels(0, 3)), 0xFF0000u);

  TRVBitmap z(3, 3, rv8g);
  z.Fill(0);
  EXPECT_TRUE(z.IsAllZero());
  z.SetPixels(1, 1, 0xFFFFFF);
  EXPECT_FALSE(z.IsAllZero());
  TRVBitmap p(2, 2, rv8p);
  p.Fill(1);
  p.SetPixels(0, 0, 0xFFFFFF);  // no colour-to-index mapping here
  EXPECT_EQ(p.GetPixels_rv8(0, 0), 1);
  EXPECT_TRUE(Reference()->HasOnlyGrays() == false);
  TRVBitmap greyOnly(2, 1, rv24RGB);
  greyOnly.Fill(0x808080);
  EXPECT_TRUE(greyOnly.HasOnlyGrays());
}

TEST_P(BitmapTest, AlphaChannelLifecycle) {
  TRVBitmap b(3, 2, rv24RGB);
  EXPECT_FALSE(b.HasAlphaBitmap());
  EXPECT_EQ(b.GetAlpha(1, 1), 255);  // created on demand
  ASSERT_TRUE(b.HasAlphaBitmap());
  TRVBitmap* a = b.AlphaBitmap();
  EXPECT_EQ(a->GetWidth(), 3);
  EXPECT_EQ(a->GetLocation(), Expected());
  EXPECT_EQ(a->AlphaBitmap(), nullptr);
  b.Fill(0xFFFFFF);
  b.SetAlpha(0, 0, 255);
  b.SetAlpha(1, 0, 0);
  EXPECT_FALSE(a->Full);
  b.RemoveAlphaBitmap(true, 0);
  EXPECT_FALSE(b.HasAlphaBitmap());
  EXPECT_EQ(b.GetPixels(0, 0).r, 254);
  EXPECT_EQ(b.GetPixels(1, 0).r, 0);
  EXPECT_EQ(b.GetPixels(2, 1).r, 254);

  // Assign copies the alpha channel; AssignImage keeps the target's own.
  TRVBitmap src(3, 2, rv8g);
  src.Fill(9);
  src.SetAlpha(2, 1, 77);
  TRVBitmap dst;
  dst.Assign(&src);
  EXPECT_EQ(dst.GetPixelFormat(), rv8g);
  EXPECT_EQ(dst.GetPixels_rv8(1, 1), 9);
  EXPECT_EQ(dst.GetAlpha(2, 1), 77);
  TRVBitmap keep(3, 2, rv24RGB);
  keep.SetAlpha(0, 0, 5);
  keep.AssignImage(src);
  EXPECT_EQ(keep.GetPixelFormat(), rv8g);
  EXPECT_EQ(keep.GetAlpha(0, 0), 5);
  EXPECT_EQ(keep.GetAlpha(2, 1), 255);
  TRVBitmap noAlpha(3, 2, rv8g);
  dst.Assign(&noAlpha);
  EXPECT_FALSE(dst.HasAlphaBitmap());

  std::unique_ptr<TRVBitmap> own = TRVBitmap::CreateAlpha(3, 2, rvInMemory);
  TRVBitmap* raw = own.get();
  EXPECT_EQ(dst.ReplaceAlphaBitmap(std::move(own)), nullptr);
  EXPECT_EQ(dst.AlphaBitmap(), raw);
}

TEST_P(BitmapTest, ResizingKeepsTheTopLeftPixelsAndThePalette) {
  TRVBitmap p(6, 3, rv8p);
  for (int i = 0; i < 256; ++i) p.SetPalette(i, MakeRGB(static_cast<uint8_t>(i), 0, 255 - i));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) p.SetPixels_rv8(x, y, static_cast<uint8_t>(10 * y + x));
  p.AlphaBitmap()->SetPixels_rv8(1, 1, 33);
  p.SetWidth(2);
  p.SetWidth(5);
  p.SetHeight(4);
  EXPECT_EQ(p.GetWidth(), 5);
  EXPECT_EQ(p.GetHeight(), 4);
  EXPECT_EQ(p.GetPixelFormat(), rv8p);
  EXPECT_EQ(p.GetPixels_rv8(1, 2), 21);
  EXPECT_EQ(p.GetPalette(200), MakeRGB(200, 0, 55));
  EXPECT_EQ(p.AlphaBitmap()->GetWidth(), 5);
  EXPECT_EQ(p.GetAlpha(1, 1), 33);
}

// A picture of a format but without rows (a side of 0: an alpha channel made for an empty
// picture, or an allocation of 0 x 0) gets rows once it is given both sides, whichever comes
// first.
TEST_P(BitmapTest, ResizingAPictureWithoutRowsGivesItRows) {
  for (bool widthFirst : {true, false}) {
    for (bool asAlpha : {true, false}) {
      TRVBitmap owner, plain;
      TRVBitmap& p = asAlpha ? *owner.AlphaBitmap() : plain;
      if (!asAlpha) p.Allocate(0, 0, rv24RGB);
      ASSERT_TRUE(p.IsEmpty());
      if (widthFirst) {
        p.SetWidth(5);
        p.SetHeight(4);
      } else {
        p.SetHeight(4);
        p.SetWidth(5);
      }
      const std::string what =
          std::string(asAlpha ? "alpha" : "24-bit") + (widthFirst ? ", width first" : "");
      ASSERT_EQ(p.GetWidth(), 5) << what;
      ASSERT_EQ(p.GetHeight(), 4) << what;
      EXPECT_EQ(p.GetPixelFormat(), asAlpha ? rv8g : rv24RGB) << what;
      for (int32_t y = 0; y < 4; ++y) EXPECT_NE(p.GetScanLine(y), nullptr) << what << ", row " << y;
      p.FillRect(1, 1, 3, 2, 200);
      EXPECT_EQ(p.GetScanLine(2)[asAlpha ? 3 : 3 * 3 + 2], 200) << what;  // 24-bit: the red byte of pixel 3
    }
  }
}

TEST_P(BitmapTest, RowAlignmentIsStoredAndApplied) {
  TRVBitmap empty;
  empty.SetRowAlignment(8);
  EXPECT_EQ(empty.GetRowAlignment(), 8);
  ASSERT_TRUE(empty.Allocate(3, 2, rv24RGB));
  EXPECT_EQ(empty.GetRowLen(), 9);
  TRVBitmap b(3, 2, rv24RGB);
  b.SetPixels_rv24RGB(2, 1, 0xABCDEF);
  b.SetRowAlignment(8);
  EXPECT_EQ(b.GetRowLen(), 9);
  EXPECT_EQ(PackRGB(b.GetPixels(2, 1)), 0xABCDEFu);
  b.SetRowAlignment(12);  // not a multiple of 8: ignored
  EXPECT_EQ(b.GetRowAlignment(), 8);
}

TEST_P(BitmapTest, MoveToHandsOverEverything) {
  TRVBitmap a(4, 2, rv8p);
  a.SetPalette(3, MakeRGB(1, 2, 3));
  a.Fill(3);
  a.AlphaBitmap();
  TRVBitmap b;
  a.MoveTo(b);
  EXPECT_TRUE(a.IsEmpty());
  EXPECT_EQ(a.GetPixelFormat(), rvNone);
  EXPECT_FALSE(a.HasAlphaBitmap());
  EXPECT_EQ(b.GetPixels(3, 1), MakeRGB(1, 2, 3));
  EXPECT_TRUE(b.HasAlphaBitmap());
  EXPECT_EQ(b.GetLocation(), Expected());
}

TEST_P(BitmapTest, MasksAndDibsCopyInAndOut) {
  TRVMask m;
  m.AllocateBits(10, 3, 8);
  m.Fill(255);
  m.SetPixel(4, 2, 0);
  TRVBitmap b;
  b.CopyFromTRVMask(&m);
  EXPECT_EQ(b.GetPixelFormat(), rv8g);
  EXPECT_EQ(b.GetPixels_rv8(4, 2), 0);
  EXPECT_EQ(b.GetPixels_rv8(5, 2), 255);
  EXPECT_FALSE(b.Full);
  TRVMask back;
  b.CopyToTRVMask(back);
  EXPECT_EQ(back.BitsPerPixel(), 8);
  EXPECT_EQ(back.GetPixel(4, 2), 0);
  EXPECT_EQ(back.Right, 9);
  b.CopyFromTRVMask(nullptr);
  EXPECT_TRUE(b.Full);

  TRVDibbitmap dib;
  ASSERT_TRUE(dib.Allocate(33, 2, rv1g));
  EXPECT_EQ(dib.GetRowLen(), 8);
  dib.GetScanLine(1)[0] = 0x80;
  TRVBitmap fromDib;
  fromDib.CopyFromTRVDibbitmap(&dib);
  EXPECT_EQ(fromDib.GetPixelFormat(), rv1g);
  EXPECT_TRUE(fromDib.GetPixels_rv1g(0, 1));
  EXPECT_FALSE(fromDib.GetPixels_rv1g(0, 0));
}

INSTANTIATE_TEST_SUITE_P(Storage, BitmapTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "TempFile" : "Memory"; });

TEST(Dibbitmap, ContainersOfTheResampler) {
  TRVDibbitmap d;
  EXPECT_FALSE(d.AllocateBits(0, 5, 24));
  ASSERT_TRUE(d.AllocateBits(1, 3, 24));
  EXPECT_EQ(d.GetRowLen(), 4);
  EXPECT_EQ(d.GetScanLine(0), d.Bits() + 8);  // bottom-up rows
  EXPECT_FALSE(d.AllocateBits(0, 1, 24));
  EXPECT_EQ(d.GetWidth(), 1);  // the previous section is kept
  EXPECT_FALSE(d.Allocate(4, 4, rv8p));
  TRVBitmap other(2, 2, rv24RGB);
  d.Assign(&other);
  EXPECT_EQ(d.GetHeight(), 3);
  TRVWorkBitmap w(5, 0, 24);
  EXPECT_EQ(w.Memory(), nullptr);
  EXPECT_EQ(w.Width(), 0);
  w.Allocate(5, 2, 24);
  uint8_t* mem = w.Memory();
  w.GetScanline(0)[0] = 42;
  w.Allocate(5, 2, 24);
  EXPECT_EQ(w.Memory(), mem);
  EXPECT_EQ(w.GetScanline(0)[0], 42);
}
