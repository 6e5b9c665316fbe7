// The renderer and StretchRectTo: geometry, the ten source formats, display range, contrast
// and offsets, transparency and alpha, index tables (checked against a transcription in Python
// of the table rules on random images), chunked destinations and hostile arguments.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/tests/support/AllocationWatch.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVBitmapInternal.h"
#include "rastova/core/RVRenderOperation.h"
#include "rastova/core/RVResample.h"
#include "rastova/core/RVUtils.h"

using namespace rv;

namespace {

// A 24-bit image of random pixels.
std::unique_ptr<TRVBitmap> RenderRandom24(int32_t w, int32_t h, uint32_t seed) {
  auto b = std::make_unique<TRVBitmap>(w, h, rv24RGB);
  std::mt19937 gen(seed);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = b->GetScanLine(y);
    for (int32_t i = 0; i < w * 3; ++i) row[i] = static_cast<uint8_t>(gen());
  }
  return b;
}

// The destination's pixels, row by row, without padding.
std::vector<uint8_t> RenderPixels(TRVBitmap& b) {
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < b.GetHeight(); ++y) {
    const uint8_t* row = b.GetScanLine(y);
    out.insert(out.end(), row, row + b.GetWidth() * 3);
  }
  return out;
}

std::unique_ptr<TRVBitmap> RenderDest(int32_t w, int32_t h, uint8_t fill) {
  auto d = std::make_unique<TRVBitmap>(w, h, rv24RGB);
  for (int32_t y = 0; y < h; ++y) std::memset(d->GetScanLine(y), fill, size_t(w) * 3);
  return d;
}

// Plain nearest render with own tables.
void RenderPlain(TRVBitmap& src, TRVBitmap& dst, int32_t xd, int32_t yd, int32_t dxd, int32_t dyd, int32_t xs,
                 int32_t ys, int32_t dxs, int32_t dys, int32_t transparency = 255,
                 TRVRenderOperation op = rvlNormal) {
  src.RenderToTRVBitmap(&dst, xd, yd, dxd, dyd, xs, ys, dxs, dys, transparency, rfNone, op);
}

TRGB RenderPixel(TRVBitmap& b, int32_t x, int32_t y) { return b.GetPixels_rv24RGB(x, y); }

}  // namespace

TEST(ImageRender, NegativeOriginSkipsScaledSourceColumnsAndRows) {
  // A source of 100 x 60 grey values x + y drawn at (-10, -3) at twice its scale down:
  // Round (10 x 2) = 20 columns and Round (3 x 2) = 6 rows of the source are skipped.
  TRVBitmap src(100, 60, rv8g);
  for (int32_t y = 0; y < 60; ++y)
    for (int32_t x = 0; x < 100; ++x) src.SetPixels_rv8(x, y, static_cast<uint8_t>(x + y));
  auto dst = RenderDest(50, 30, 0);
  RenderPlain(src, *dst, -10, -3, 50, 30, 0, 0, 100, 60);
  for (int32_t y = 0; y < 27; ++y)
    for (int32_t x = 0; x < 40; ++x)
      ASSERT_EQ(RenderPixel(*dst, x, y).r, (20 + 2 * x) + (6 + 2 * y)) << x << "," << y;
  // The destination rectangle ends at column 39 and row 26; the rest stays as it was.
  EXPECT_EQ(RenderPixel(*dst, 40, 0).r, 0);
  EXPECT_EQ(RenderPixel(*dst, 0, 27).r, 0);
}

TEST(ImageRender, EmptySizesDrawNothingAndLeaveTheTables) {
  auto src = RenderRandom24(8, 8, 1);
  struct Case {
    int32_t dxd, dyd, dxs, dys;
  } cases[] = {{0, 4, 8, 8}, {4, 0, 8, 8}, {4, 4, 0, 8}, {4, 4, 8, 0}, {-4, 4, 8, 8}, {4, 4, -8, 8}};
  for (const Case& c : cases) {
    auto dst = RenderDest(8, 8, 9);
    TRVRowTable rows;
    TRVIndexTable xs{1, 2}, ys{3};
    src->RenderToTRVBitmapEx(dst.get(), rows, xs, ys, nullptr, 0, 0, c.dxd, c.dyd, 0, 0, c.dxs, c.dys, true,
                             false, 255, rfNone, false, rvlNormal);
    EXPECT_EQ(RenderPixels(*dst), std::vector<uint8_t>(8 * 8 * 3, 9));
    EXPECT_EQ(xs, (TRVIndexTable{1, 2}));
    EXPECT_EQ(ys, (TRVIndexTable{3}));
  }
}

TEST(ImageRender, DisplayRangeOfGreyAndFloatImages) {
  struct Case {
    TRVPixelFormat format;
    double value;
    uint8_t expected;
  } cases[] = {
      {rv16g, 150, 127}, {rv16g, 50, 0}, {rv16g, 250, 255},   {rv16g, 200, 255},
      {rv8g, 150, 127},  {rv8g, 99, 0},  {rv32f, 150.5, 128}, {rv32f, 300, 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << int(c.format) << " " << c.value);
    TRVBitmap src(1, 1, c.format);
    if (c.format == rv16g)
      src.SetPixels_rv16g(0, 0, static_cast<uint16_t>(c.value));
    else if (c.format == rv8g)
      src.SetPixels_rv8(0, 0, static_cast<uint8_t>(c.value));
    else
      src.SetPixels_rv32f(0, 0, static_cast<float>(c.value));
    src.DisplayMin = 100;
    src.DisplayMax = 200;
    auto dst = RenderDest(2, 2, 33);
    RenderPlain(src, *dst, 0, 0, 2, 2, 0, 0, 1, 1);
    EXPECT_EQ(RenderPixel(*dst, 1, 1), (TRGB{c.expected, c.expected, c.expected}));
  }
  // A range whose truncated bounds stretch past 255 stays within a byte.
  TRVBitmap src(1, 1, rv8g);
  src.SetPixels_rv8(0, 0, 200);
  src.DisplayMin = 100.7;
  src.DisplayMax = 200;
  auto dst = RenderDest(1, 1, 0);
  RenderPlain(src, *dst, 0, 0, 1, 1, 0, 0, 1, 1);
  EXPECT_EQ(RenderPixel(*dst, 0, 0).r, 255);
}

TEST(ImageRender, TransparencyAlphaAndFullAlpha) {
  // A black 1-bit pixel at transparency 128 over white: 255 + ((128 x -255) >> 8) = 127.
  TRVBitmap bw(2, 1, rv1g);
  bw.SetPixels_rv1g(0, 0, false);
  bw.SetPixels_rv1g(1, 0, true);
  auto white = RenderDest(2, 1, 255);
  RenderPlain(bw, *white, 0, 0, 2, 1, 0, 0, 2, 1, 128);
  EXPECT_EQ(RenderPixel(*white, 0, 0), (TRGB{127, 127, 127}));
  EXPECT_EQ(RenderPixel(*white, 1, 0), (TRGB{255, 255, 255}));

  // The alpha channel limited by the transparency: a = min (T, A).
  TRVBitmap src(3, 1, rv24RGB);
  for (int32_t x = 0; x < 3; ++x) src.SetPixels_rv24RGB(x, 0, 0xC86432);  // r 200, g 100, b 50
  TRVBitmap* alpha = src.AlphaBitmap();
  alpha->SetPixels_rv8(0, 0, 0);
  alpha->SetPixels_rv8(1, 0, 64);
  alpha->SetPixels_rv8(2, 0, 255);
  alpha->Full = false;
  auto dst = RenderDest(3, 1, 100);
  RenderPlain(src, *dst, 0, 0, 3, 1, 0, 0, 3, 1, 128);
  EXPECT_EQ(RenderPixel(*dst, 0, 0), (TRGB{100, 100, 100}));
  EXPECT_EQ(RenderPixel(*dst, 1, 0), (TRGB{100 + ((64 * -50) >> 8), 100, 100 + ((64 * 100) >> 8)}));
  EXPECT_EQ(RenderPixel(*dst, 2, 0), (TRGB{100 + ((128 * -50) >> 8), 100, 100 + ((128 * 100) >> 8)}));

  // A fully opaque source pixel is written as it is (the shift by 8 alone would give 254 for 255).
  auto opaque = RenderDest(3, 1, 100);
  RenderPlain(src, *opaque, 0, 0, 3, 1, 0, 0, 3, 1, 255);
  EXPECT_EQ(RenderPixel(*opaque, 2, 0), (TRGB{50, 100, 200}));
  EXPECT_EQ(RenderPixel(*opaque, 0, 0), (TRGB{100, 100, 100}));

  // An alpha channel marked Full is not looked at: the plain renderer copies.
  alpha->Fill(0);
  alpha->Full = true;
  auto plain = RenderDest(3, 1, 100);
  RenderPlain(src, *plain, 0, 0, 3, 1, 0, 0, 3, 1);
  EXPECT_EQ(RenderPixel(*plain, 1, 0), (TRGB{50, 100, 200}));
}

TEST(ImageRender, TenSourceFormatsWithAndWithoutAlpha) {
  // Each format's pixel (x, y) and the 24-bit value the renderer gives it.
  TRGB palette[256];
  for (int i = 0; i < 256; ++i) palette[i] = TRGB{uint8_t(i * 3), uint8_t(i * 5), uint8_t(i * 7)};
  auto v = [](int32_t x, int32_t y, int k) { return static_cast<uint8_t>(x * 37 + y * 91 + k * 53 + 7); };
  struct Case {
    TRVPixelFormat format;
  } cases[] = {{rv1g},  {rv8p},   {rv8g},    {rv16g},    {rv24RGB},
               {rv32f}, {rvCMYK}, {rv48RGB}, {rvCIELab}, {rv32RGB}};
  const int32_t w = 11, h = 3;
  for (const Case& c : cases) {
    for (bool withAlpha : {false, true}) {
      SCOPED_TRACE(::testing::Message() << int(c.format) << (withAlpha ? " alpha" : ""));
      TRVBitmap src(w, h, c.format);
      std::vector<TRGB> expected;
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
          const uint8_t a = v(x, y, 0), b = v(x, y, 1), d = v(x, y, 2), e = v(x, y, 3);
          TRGB want;
          switch (c.format) {
            case rv1g:
              src.SetPixels_rv1g(x, y, a & 1);
              want = (a & 1) ? TRGB{255, 255, 255} : TRGB{};
              break;
            case rv8p:
              src.SetPalette(a, palette[a]);
              src.SetPixels_rv8(x, y, a);
              want = palette[a];
              break;
            case rv8g:
              src.SetPixels_rv8(x, y, a);
              want = TRGB{a, a, a};
              break;
            case rv16g:
              src.SetPixels_rv16g(x, y, uint16_t(a * 256 + b));
              want = TRGB{a, a, a};
              break;
            case rv24RGB:
              src.SetPixels_rv24RGB(x, y, PackRGB(TRGB{a, b, d}));
              want = TRGB{a, b, d};
              break;
            case rv32f: {
              const float f = a / 256.0f;  // Trunc (f x 255)
              src.SetPixels_rv32f(x, y, f);
              const uint8_t g = static_cast<uint8_t>(static_cast<int>(f * 255.0));
              want = TRGB{g, g, g};
              break;
            }
            case rvCMYK:
              src.SetPixels_rvCMYK(x, y, TCMYK{a, b, d, e});
              want = CMYKToRGB(TCMYK{a, b, d, e});
              break;
            case rv48RGB:
              src.SetPixels_rv48RGB(
                  x, y, TRGB48{uint16_t(a * 256 + e), uint16_t(b * 256), uint16_t(d * 256 + 255)});
              want = TRGB{d, b, a};
              break;
            case rvCIELab: {
              const TCIELab lab{a, int8_t(b), int8_t(d)};
              src.SetPixels_rvCIELab(x, y, lab);
              CIELabToRGB(PackLab(lab), want);
              break;
            }
            default:
              src.SetPixels_rv32RGB(x, y, uint32_t(e) << 24 | PackRGB(TRGB{a, b, d}));
              want = TRGB{a, b, d};
              break;
          }
          expected.push_back(want);
        }
      if (withAlpha) {
        TRVBitmap* alpha = src.AlphaBitmap();
        for (int32_t y = 0; y < h; ++y)
          for (int32_t x = 0; x < w; ++x) alpha->SetPixels_rv8(x, y, v(x, y, 5));
        alpha->Full = false;
      }
      auto dst = RenderDest(w, h, 90);
      RenderPlain(src, *dst, 0, 0, w, h, 0, 0, w, h);
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
          TRGB want = expected[size_t(y * w + x)];
          if (withAlpha) {
            const int32_t a = v(x, y, 5);
            auto mix = [a](int32_t s) {
              return static_cast<uint8_t>(a == 255 ? s : 90 + ((a * (s - 90)) >> 8));
            };
            want = TRGB{mix(want.b), mix(want.g), mix(want.r)};
          }
          ASSERT_EQ(RenderPixel(*dst, x, y), want) << x << "," << y;
        }
    }
  }
}

TEST(ImageRender, ContrastOffsetsAndOperationOfColourSources) {
  // Contrast 10: CF = 2.0 (131072 in 16.16); -25: CF = 0.5. Red takes ChannelOffset[0].
  struct Case {
    int32_t contrast, offsetRed;
    TRVRenderOperation op;
    TRGB expected;  // source (b 100, g 100, r 100) over a destination of 40
  } cases[] = {
      {10, 0, rvlNormal, {72, 72, 72}},       // 2 x (100 - 128) + 128
      {10, 20, rvlNormal, {72, 72, 112}},     // 2 x (120 - 128) + 128
      {-25, 0, rvlNormal, {114, 114, 114}},   // (32768 x -28) div 65536 + 128
      {-400, 0, rvlNormal, {156, 156, 156}},  // CF -1 inverts around 128
      {0, 200, rvlNormal, {100, 100, 255}},   // clamped
      {0, 0, rvlAdd, {140, 140, 140}},        // through the blend operation
  };
  for (TRVPixelFormat f : {rv24RGB, rv32RGB, rv48RGB}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << int(f) << " contrast " << c.contrast << " offset " << c.offsetRed);
      TRVBitmap src(2, 2, f);
      for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 2; ++x) {
          if (f == rv48RGB)
            src.SetPixels_rv48RGB(x, y, TRGB48{25600, 25600, 25600});
          else if (f == rv24RGB)
            src.SetPixels_rv24RGB(x, y, 0x646464);
          else
            src.SetPixels_rv32RGB(x, y, 0xFF646464);
        }
      src.Contrast = c.contrast;
      // 48-bit offsets count in 16-bit units.
      src.SetChannelOffset(0, f == rv48RGB ? c.offsetRed * 256 : c.offsetRed);
      auto dst = RenderDest(4, 4, 40);
      RenderPlain(src, *dst, 0, 0, 4, 4, 0, 0, 2, 2, 255, c.op);
      EXPECT_EQ(RenderPixel(*dst, 3, 3), c.expected);
    }
  }
}

TEST(ImageRender, ClipRectangleRowRepeatAndHandedBackTables) {
  TRVBitmap src(4, 3, rv1g);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) src.SetPixels_rv1g(x, y, (x + y) % 2 == 0);
  // Enlarged 3 times with row repeat: the same as without.
  auto plain = RenderDest(12, 9, 5), repeated = RenderDest(12, 9, 5);
  RenderPlain(src, *plain, 0, 0, 12, 9, 0, 0, 4, 3);
  TRVRowTable rows;
  TRVIndexTable xs, ys;
  src.RenderToTRVBitmapEx(repeated.get(), rows, xs, ys, nullptr, 0, 0, 12, 9, 0, 0, 4, 3, true, true, 255,
                          rfNone, false, rvlNormal);
  EXPECT_EQ(RenderPixels(*repeated), RenderPixels(*plain));
  // The built tables come back: one entry per rendered column and row, one row per destination row.
  EXPECT_EQ(xs, (TRVIndexTable{0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3}));
  EXPECT_EQ(ys.size(), 9u);
  EXPECT_EQ(rows.size(), 9u);

  // A clip rectangle limits the written pixels; rows repeated inside it leave the rest alone.
  auto clipped = RenderDest(12, 9, 5);
  const TRVClipRect clip{2, 1, 6, 4};
  TRVRowTable r2;
  TRVIndexTable x2, y2;
  src.RenderToTRVBitmapEx(clipped.get(), r2, x2, y2, &clip, 0, 0, 12, 9, 0, 0, 4, 3, true, true, 255, rfNone,
                          true, rvlNormal);
  EXPECT_TRUE(r2.empty() && x2.empty() && y2.empty());
  for (int32_t y = 0; y < 9; ++y)
    for (int32_t x = 0; x < 12; ++x) {
      const bool in = x >= 2 && x <= 6 && y >= 1 && y <= 4;
      ASSERT_EQ(RenderPixel(*clipped, x, y), in ? RenderPixel(*plain, x, y) : (TRGB{5, 5, 5}))
          << x << "," << y;
    }
}

TEST(ImageRender, CallerTablesAreClampedToTheSource) {
  auto src = RenderRandom24(5, 4, 3);
  auto dst = RenderDest(6, 2, 0);
  TRVRowTable rows;
  // Entries outside the source are clamped; trailing ones outside it end the rendered range.
  TRVIndexTable xs{-7, 2, 1000, 4, 9, 99}, ys{3, -1};
  src->RenderToTRVBitmapEx(dst.get(), rows, xs, ys, nullptr, 0, 0, 6, 2, 0, 0, 6, 2, true, false, 255, rfNone,
                           false, rvlNormal);
  const int32_t cols[] = {0, 2, 4, 4};
  for (int32_t x = 0; x < 4; ++x) {
    EXPECT_EQ(RenderPixel(*dst, x, 0), src->GetPixels_rv24RGB(cols[x], 3)) << x;
    EXPECT_EQ(RenderPixel(*dst, x, 1), (TRGB{})) << x;  // the last row's entry is outside: not drawn
  }
  EXPECT_EQ(RenderPixel(*dst, 4, 0), (TRGB{}));
  EXPECT_EQ(xs[0], -7);  // the caller's table is left as it was
}

TEST(ImageRender, FilteredPathResamplesFirst) {
  auto src = RenderRandom24(40, 30, 5);
  // A 24-bit source with a filter: the cut rectangle resampled to the destination size.
  auto dst = RenderDest(25, 17, 0);
  RenderPlain(*src, *dst, 0, 0, 25, 17, 0, 0, 40, 30);
  auto filtered = RenderDest(25, 17, 0);
  src->RenderToTRVBitmap(filtered.get(), 0, 0, 25, 17, 0, 0, 40, 30, 255, rfTriangle, rvlNormal);
  TRVBitmap expected(25, 17, rv24RGB);
  ResampleFiltered(*src, expected, rfTriangle, nullptr, TRVProgressEvent());
  EXPECT_EQ(RenderPixels(*filtered), RenderPixels(expected));
  EXPECT_NE(RenderPixels(*filtered), RenderPixels(*dst));

  // A 1-bit source reduced with a filter: each pixel the share of white it covers.
  TRVBitmap bw(8, 4, rv1g);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 8; ++x) bw.SetPixels_rv1g(x, y, x % 4 == 0);
  auto reduced = RenderDest(2, 1, 0);
  bw.RenderToTRVBitmap(reduced.get(), 0, 0, 2, 1, 0, 0, 8, 4, 255, rfTriangle, rvlNormal);
  TRVBitmap want(2, 1, rv24RGB);
  Reduce1BitTo24(bw, 0, 0, 7, 3, want);
  EXPECT_EQ(RenderPixels(*reduced), RenderPixels(want));
}

TEST(ImageRender, NearestSamplingMatchesTheTableRules) {
  if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "no /usr/bin/python3";
  // Geometries: destination origin and size, source origin and size; the destination is 23 x 17.
  struct Geo {
    int32_t xd, yd, dxd, dyd, xs, ys, dxs, dys;
  } geos[] = {
      {0, 0, 23, 17, 0, 0, 31, 19},    {-7, -5, 40, 30, 3, 2, 25, 14}, {5, 3, 9, 7, 10, 4, 21, 15},
      {-3, 2, 11, 40, 30, 0, 3, 19},   {1, 1, 50, 50, -4, -2, 37, 23}, {0, 0, 23, 17, 0, 0, 23, 17},
      {4, -2, 19, 20, 7, 5, 19, 20},   {-9, -9, 30, 30, 0, 0, 7, 3},   {20, 15, 100, 100, 36, 18, 5, 5},
      {-2, 0, 23, 17, 1, 1, 100, 100}, {3, 4, 13, 9, 2, 2, 39, 3},
  };
  const int32_t sw = 37, sh = 23, dw = 23, dh = 17;
  auto src = RenderRandom24(sw, sh, 11);
  const std::string dir = ::testing::TempDir();
  {
    std::ofstream f(dir + "render_src.raw", std::ios::binary);
    auto px = RenderPixels(*src);
    f.write(reinterpret_cast<const char*>(px.data()), std::streamsize(px.size()));
  }
  std::ostringstream geoText;
  for (const Geo& g : geos)
    geoText << "(" << g.xd << "," << g.yd << "," << g.dxd << "," << g.dyd << "," << g.xs << "," << g.ys << ","
            << g.dxs << "," << g.dys << "),";
  // The index-table rules, transcribed independently: clip a negative origin by Round (halves
  // to even), cut at the far edge by Trunc, clamp, then Trunc ((d - dst) x scale + src) clamped.
  const std::string script =
      "import math, sys\n"
      "sw, sh, dw, dh = " +
      std::to_string(sw) + ", " + std::to_string(sh) + ", " + std::to_string(dw) + ", " + std::to_string(dh) +
      "\n"
      "src = open(sys.argv[1] + 'render_src.raw', 'rb').read()\n"
      "cl = lambda v, lo, hi: lo if v < lo else (hi if v > hi else v)\n"
      "out = bytearray()\n"
      "for (xd, yd, dxd, dyd, xs, ys, dxs, dys) in [" +
      geoText.str() +
      "]:\n"
      "  d = bytearray([7]) * (dw * dh * 3)\n"
      "  ysc = dys / dyd; xsc = dxs / dxd\n"
      "  if yd < 0:\n"
      "    c = round(-yd * ysc); dyd += yd; dys -= c; ys += c; yd = 0\n"
      "  if yd + dyd > dh:\n"
      "    dys -= math.trunc((yd + dyd - dh) * ysc); dyd = dh - yd\n"
      "  if xd < 0:\n"
      "    c = round(-xd * xsc); dxd += xd; dxs -= c; xs += c; xd = 0\n"
      "  if xd + dxd > dw:\n"
      "    dxs -= math.trunc((xd + dxd - dw) * xsc); dxd = dw - xd\n"
      "  xD = cl(xd, 0, dw - 1); yD = cl(yd, 0, dh - 1); dxD = cl(dxd, 0, dw); dyD = cl(dyd, 0, dh)\n"
      "  xS = cl(xs, 0, sw - 1); yS = cl(ys, 0, sh - 1); dxS = cl(dxs, 0, sw); dyS = cl(dys, 0, sh)\n"
      "  if 0 not in (dxD, dyD, dxS, dyS):\n"
      "    for y in range(yD, min(yD + dyD - 1, dh - 1) + 1):\n"
      "      sy = cl(math.trunc((y - yD) * ysc + yS), 0, sh - 1)\n"
      "      for x in range(xD, min(xD + dxD - 1, dw - 1) + 1):\n"
      "        sx = cl(math.trunc((x - xD) * xsc + xS), 0, sw - 1)\n"
      "        i = (y * dw + x) * 3; j = (sy * sw + sx) * 3\n"
      "        d[i:i + 3] = src[j:j + 3]\n"
      "  out += d\n"
      "open(sys.argv[1] + 'render_expected.raw', 'wb').write(out)\n";
  {
    std::ofstream f(dir + "render_rules.py");
    f << script;
  }
  ASSERT_EQ(std::system(("/usr/bin/python3 " + dir + "render_rules.py " + dir).c_str()), 0);
  std::ifstream in(dir + "render_expected.raw", std::ios::binary);
  std::vector<uint8_t> expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(expected.size(), std::size(geos) * dw * dh * 3);

  // The same renders into a destination in one block and into one split into chunks.
  const int64_t savedMax = rv::testing::MaxBlockSize;
  for (bool chunked : {false, true}) {
    rv::testing::MaxBlockSize = chunked ? 400 : -1;  // four chunks of five rows
    auto dst = RenderDest(dw, dh, 7);
    rv::testing::MaxBlockSize = savedMax;
    ASSERT_EQ(dst->ChunkCount() > 1, chunked);
    for (size_t i = 0; i < std::size(geos); ++i) {
      SCOPED_TRACE(::testing::Message() << "geometry " << i << (chunked ? " chunked" : ""));
      const Geo& g = geos[i];
      for (int32_t y = 0; y < dh; ++y) std::memset(dst->GetScanLine(y), 7, size_t(dw) * 3);
      RenderPlain(*src, *dst, g.xd, g.yd, g.dxd, g.dyd, g.xs, g.ys, g.dxs, g.dys);
      const std::vector<uint8_t> want(expected.begin() + std::ptrdiff_t(i * dw * dh * 3),
                                      expected.begin() + std::ptrdiff_t((i + 1) * dw * dh * 3));
      ASSERT_EQ(RenderPixels(*dst), want);
    }
  }
}

TEST(ImageRender, DestinationsItCannotHoldAreRefused) {
  auto src = RenderRandom24(4, 4, 2);
  // Rows in a temporary file: nothing drawn.
  TRVBitmap file;
  file.MemoryThreshold = 0;
  file.SetLocation(rvInTempFile);
  ASSERT_TRUE(file.Allocate(4, 4, rv24RGB));
  ASSERT_EQ(file.GetLocation(), rvInTempFile);
  for (int32_t y = 0; y < 4; ++y) {
    std::memset(file.GetScanLine(y), 3, 12);
  }
  file.ReleaseFileRows();
  RenderPlain(*src, file, 0, 0, 4, 4, 0, 0, 4, 4);
  EXPECT_EQ(RenderPixels(file), std::vector<uint8_t>(48, 3));
  // Other formats than 24-bit and the image itself: nothing drawn.
  TRVBitmap grey(4, 4, rv8g);
  grey.Fill(3);
  RenderPlain(*src, grey, 0, 0, 4, 4, 0, 0, 4, 4);
  EXPECT_EQ(grey.GetPixels_rv8(1, 1), 3);
  auto before = RenderPixels(*src);
  RenderPlain(*src, *src, 1, 1, 4, 4, 0, 0, 4, 4);
  EXPECT_EQ(RenderPixels(*src), before);
}

TEST(ImageRender, ASourceInATemporaryFileRendersAsInMemory) {
  auto src = RenderRandom24(30, 20, 9);
  TRVBitmap* alpha = src->AlphaBitmap();
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 30; ++x) alpha->SetPixels_rv8(x, y, static_cast<uint8_t>(x * 9 + y));
  alpha->Full = false;
  TRVBitmap file;
  file.MemoryThreshold = 0;
  file.SetLocation(rvInTempFile);
  file.Assign(src.get());
  ASSERT_EQ(file.GetLocation(), rvInTempFile);
  ASSERT_TRUE(file.HasAlphaBitmap());
  file.AlphaBitmap()->Full = false;
  auto fromMemory = RenderDest(17, 13, 60), fromFile = RenderDest(17, 13, 60);
  RenderPlain(*src, *fromMemory, -2, 1, 20, 15, 3, 2, 25, 16, 200);
  RenderPlain(file, *fromFile, -2, 1, 20, 15, 3, 2, 25, 16, 200);
  EXPECT_EQ(RenderPixels(*fromFile), RenderPixels(*fromMemory));
  EXPECT_EQ(file.RowAccess, 3);  // restored after the call
}

TEST(ImageRender, StretchRectToWithAlphaAndMaxAlpha) {
  // Without a source alpha channel the destination area's alpha becomes MaxAlpha.
  auto src = RenderRandom24(4, 3, 4);
  auto dst = RenderDest(10, 8, 0);
  src->StretchRectTo(dst.get(), 1, 1, 8, 6, 0, 0, 4, 3, rfNone, 128);
  ASSERT_TRUE(dst->HasAlphaBitmap());
  EXPECT_FALSE(dst->AlphaBitmap()->Full);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 10; ++x) {
      const bool in = x >= 1 && x <= 8 && y >= 1 && y <= 6;
      ASSERT_EQ(dst->AlphaBitmap()->GetPixels_rv8(x, y), in ? 128 : 255) << x << "," << y;
      ASSERT_EQ(RenderPixel(*dst, x, y), in ? src->GetPixels_rv24RGB((x - 1) / 2, (y - 1) / 2) : TRGB{});
    }
  // A source alpha channel is copied through the tables, each byte limited to MaxAlpha.
  TRVBitmap* alpha = src->AlphaBitmap();
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) alpha->SetPixels_rv8(x, y, static_cast<uint8_t>(60 * x + y));
  alpha->Full = false;
  auto d2 = RenderDest(4, 3, 0);
  src->StretchRectTo(d2.get(), 0, 0, 4, 3, 0, 0, 4, 3, rfNone, 100);
  for (int32_t x = 0; x < 4; ++x)
    EXPECT_EQ(d2->AlphaBitmap()->GetPixels_rv8(x, 2), std::min(60 * x + 2, 100));
  EXPECT_EQ(RenderPixels(*d2), RenderPixels(*src));
  // 1-bit sources give black and white; a filtered stretch resamples first.
  TRVBitmap bw(2, 1, rv1g);
  bw.SetPixels_rv1g(0, 0, false);
  bw.SetPixels_rv1g(1, 0, true);
  auto d3 = RenderDest(4, 1, 9);
  bw.StretchRectTo(d3.get(), 0, 0, 4, 1, 0, 0, 2, 1, rfNone, 255);
  EXPECT_EQ(RenderPixels(*d3), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 255, 255, 255, 255, 255, 255}));
  auto d4 = RenderDest(8, 6, 0);
  src->StretchRectTo(d4.get(), 0, 0, 8, 6, 0, 0, 4, 3, rfTriangle, 255);
  TRVBitmap want(8, 6, rv24RGB);
  ResampleFiltered(*src, want, rfTriangle, nullptr, TRVProgressEvent());
  EXPECT_EQ(RenderPixels(*d4), RenderPixels(want));
}

// A filtered stretch resamples into a 24-bit picture whatever the source's format: a picture of
// one colour stays that colour (as the renderer gives it for the format) with every filter, and
// the projection filters of pictures worked as 24-bit keep a dark (BW) or light (WB) colour as
// black or white. Grey pictures and 16-bit ones under the area filters once came out black.
TEST(ImageRender, FilteredStretchGivesColourForEverySourceFormat) {
  struct Case {
    TRVPixelFormat format;
    TRGB colour;  // the renderer's value for the source pixel set below
  } const cases[] = {
      {rv1g, {255, 255, 255}},  {rv8p, {30, 50, 70}},      {rv8g, {100, 100, 100}},
      {rv16g, {100, 100, 100}}, {rv24RGB, {40, 150, 220}}, {rv32RGB, {220, 150, 40}},
      {rv48RGB, {20, 60, 90}},  {rv32f, {63, 63, 63}},     {rvCMYK, CMYKToRGB(TCMYK{10, 80, 160, 20})},
      {rvCIELab, {}},
  };
  for (const Case& c : cases) {
    TRVBitmap src(4, 3, c.format);
    TRGB colour = c.colour;
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 4; ++x) switch (c.format) {
          case rv1g:
            src.SetPixels_rv1g(x, y, true);
            break;
          case rv8p:
            src.SetPalette(7, colour);
            src.SetPixels_rv8(x, y, 7);
            break;
          case rv8g:
            src.SetPixels_rv8(x, y, 100);
            break;
          case rv16g:
            src.SetPixels_rv16g(x, y, 100 * 256 + 99);
            break;
          case rv24RGB:
            src.SetPixels_rv24RGB(x, y, PackRGB(colour));
            break;
          case rv32RGB:
            src.SetPixels_rv32RGB(x, y, 0xFF000000u | PackRGB(colour));
            break;
          case rv48RGB:
            src.SetPixels_rv48RGB(x, y, TRGB48{90 * 256 + 5, 60 * 256 + 200, 20 * 256});
            break;
          case rv32f:  // Trunc (0.25 x 255)
            src.SetPixels_rv32f(x, y, 0.25f);
            break;
          case rvCMYK:
            src.SetPixels_rvCMYK(x, y, TCMYK{10, 80, 160, 20});
            break;
          default: {
            const TCIELab lab{60, int8_t(20), int8_t(-30)};
            src.SetPixels_rvCIELab(x, y, lab);
            CIELabToRGB(PackLab(lab), colour);
            break;
          }
        }
    for (int f = rfTriangle; f <= rfProjectWB; ++f) {
      SCOPED_TRACE(::testing::Message() << "format " << int(c.format) << " filter " << f);
      TRGB want = colour;
      const bool keptGrey = c.format == rv8g;  // grey pictures are resampled as grey
      if (f == rfProjectBW && !keptGrey) {
        const bool dark = colour.r < 128 && colour.g < 128 && colour.b < 128;
        want = dark ? TRGB{} : TRGB{255, 255, 255};
      } else if (f == rfProjectWB && !keptGrey) {
        const bool light = colour.r > 128 && colour.g > 128 && colour.b > 128;
        want = light ? TRGB{255, 255, 255} : TRGB{};
      }
      auto dst = RenderDest(10, 8, 9);
      src.StretchRectTo(dst.get(), 1, 1, 8, 6, 0, 0, 4, 3, static_cast<TResampleFilter>(f), 255);
      for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 10; ++x) {
          const bool in = x >= 1 && x <= 8 && y >= 1 && y <= 6;
          ASSERT_EQ(RenderPixel(*dst, x, y), (in ? want : TRGB{9, 9, 9})) << x << "," << y;
        }
    }
  }
}

TEST(ImageRender, HostileArgumentsEndQuietly) {
  auto src = RenderRandom24(16, 12, 6);
  src->AlphaBitmap()->Fill(100);
  src->AlphaBitmap()->Full = false;
  TRVBitmap bw(16, 12, rv1g), grey(16, 12, rv8g);
  const int32_t big = INT32_MAX, small = INT32_MIN;
  struct Case {
    int32_t xd, yd, dxd, dyd, xs, ys, dxs, dys;
  } cases[] = {
      {0, 0, 0, 0, 0, 0, 0, 0},
      {0, 0, -5, -5, 0, 0, 16, 12},
      {0, 0, 8, 8, 0, 0, -16, -12},
      {small, small, 8, 8, 0, 0, 16, 12},
      {big, big, 8, 8, 0, 0, 16, 12},
      {0, 0, 8, 8, small, small, 16, 12},
      {0, 0, 8, 8, big, big, 16, 12},
      {small, 0, big, 8, 0, 0, big, 12},
      {-3, -3, 8, 8, big, big, big, big},
      {0, 0, 10000, 10000, 0, 0, 1, 1},
      {0, 0, 1, 1, 0, 0, 10000, 10000},
      {-5000, -5000, 10000, 10000, 3, 3, 1, 1},
      {small, small, big, big, small, small, big, big},
  };
  const size_t largest = test_support::LargestAllocationDuring([&] {
    for (const Case& c : cases) {
      for (TResampleFilter f : {rfNone, rfTriangle, rfProjectBW}) {
        for (TRVBitmap* s : {src.get(), &bw, &grey}) {
          auto dst = RenderDest(20, 15, 0);
          s->RenderToTRVBitmap(dst.get(), c.xd, c.yd, c.dxd, c.dyd, c.xs, c.ys, c.dxs, c.dys, 200, f,
                               rvlNormal);
          s->StretchRectTo(dst.get(), c.xd, c.yd, c.dxd, c.dyd, c.xs, c.ys, c.dxs, c.dys, f, 300);
        }
      }
    }
    // Index tables pointing outside the source, shorter than the range, or at the limits.
    auto dst = RenderDest(20, 15, 0);
    TRVRowTable rows{nullptr};
    TRVIndexTable xs{small, big, -1, 16, 1000}, ys{big, small};
    src->RenderToTRVBitmapEx(dst.get(), rows, xs, ys, nullptr, 0, 0, 20, 15, 0, 0, 16, 12, true, true, 255,
                             rfNone, false, rvlNormal);
    // Stretching from and into empty images.
    TRVBitmap empty;
    empty.StretchRectTo(dst.get(), 0, 0, 5, 5, 0, 0, 0, 0, rfNone, 255);
    empty.StretchRectTo(dst.get(), 0, 0, 5, 5, 0, 0, 3, 3, rfTriangle, 255);
    src->StretchRectTo(dst.get(), 0, 0, 5, 5, 0, 0, 0, 0, rfNone, 255);
    src->StretchRectTo(&empty, 0, 0, 5, 5, 0, 0, 3, 3, rfNone, 255);
    empty.RenderToTRVBitmap(dst.get(), 0, 0, 5, 5, 0, 0, 3, 3, 255, rfNone, rvlNormal);
  });
  EXPECT_LT(largest, size_t(16) << 20);
}

#ifdef ZEPHOR_HAVE_PLATFORM_GFX
#include "platform/gfx/Bitmap.h"

TEST(ImageRender, IntoAPlatformBitmap) {
  auto src = RenderRandom24(3, 2, 8);
  platform::TBitmap target(6, 4, platform::pf24bit);
  src->RenderToTBitmap(&target, 0, 0, 6, 4, 0, 0, 3, 2, 255, rfNone, rvlNormal);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 6; ++x) {
      const uint8_t* p = target.ScanLine(y) + 3 * x;
      ASSERT_EQ((TRGB{p[0], p[1], p[2]}), src->GetPixels_rv24RGB(x / 2, y / 2)) << x << "," << y;
    }
  // A 32-bit platform bitmap is no 24-bit destination: nothing drawn.
  platform::TBitmap wide(2, 2, platform::pf32bit);
  std::memset(wide.ScanLine(0), 1, 8);
  src->RenderToTBitmap(&wide, 0, 0, 2, 2, 0, 0, 2, 2, 255, rfNone, rvlNormal);
  EXPECT_EQ(wide.ScanLine(0)[0], 1);
}
#endif

TEST(ImageRender, OneToOneBlendingFollowsTheAlphaRuleAtEveryWidth) {
  // 1:1 placements blend a row at a time (16 pixels per step where the processor allows): every
  // width from 1 to 40 and an offset source, at three transparencies, against the rule
  // a = min (T, A), 256 for 255, d = (d x (256 - a) + v x a) >> 8.
  for (int32_t transparency : {255, 128, 0}) {
    for (int32_t w = 1; w <= 40; ++w) {
      auto src = RenderRandom24(w + 3, 2, uint32_t(w * 7 + transparency));
      TRVBitmap* alpha = src->AlphaBitmap();
      std::mt19937 gen{static_cast<uint32_t>(w)};
      for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < w + 3; ++x) alpha->SetPixels_rv8(x, y, gen() % 3 == 0 ? 255 : uint8_t(gen()));
      alpha->Full = false;
      auto dst = RenderRandom24(w + 2, 2, uint32_t(w));
      const std::vector<uint8_t> before = RenderPixels(*dst);
      RenderPlain(*src, *dst, 1, 0, w, 2, 3, 0, w, 2, transparency);
      for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < w + 2; ++x)
          for (int32_t c = 0; c < 3; ++c) {
            const uint8_t old = before[size_t(y) * (w + 2) * 3 + size_t(x) * 3 + c];
            uint8_t want = old;
            if (x >= 1 && x < w + 1) {
              int32_t a = std::min<int32_t>(transparency, alpha->GetPixels_rv8(x + 2, y));
              a += a == 255;
              const uint8_t v = src->GetScanLine(y)[(x + 2) * 3 + c];
              want = uint8_t((old * (256 - a) + v * a) >> 8);
            }
            ASSERT_EQ(dst->GetScanLine(y)[x * 3 + c], want)
                << "w " << w << " T " << transparency << " x " << x;
          }
    }
  }
}
