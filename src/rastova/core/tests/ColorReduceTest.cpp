#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVChannelOps.h"
#include "rastova/core/RVColorReduce.h"
#include "rastova/core/RVPixelRoutines.h"
#include "rastova/core/RVPlatformBitmap.h"
#include "rastova/core/RVQuantizer.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RVUtils.h"
#include "rastova/core/tests/GeomTestUtil.h"

using namespace rv;

namespace {

std::unique_ptr<TRVBitmap> Uniform(int32_t w, int32_t h, uint32_t packedRGB) {
  auto b = std::make_unique<TRVBitmap>(w, h, rv24RGB);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) b->SetPixels_rv24RGB(x, y, packedRGB);
  return b;
}

}  // namespace

TEST(ColorReduce, OrderedDither) {
  // White beats every matrix value.
  auto white = Uniform(16, 16, 0xFFFFFF);
  TRVProgressRec rec;
  std::vector<int32_t> seen;
  rec.fnc = [&](void*, int32_t p) { seen.push_back(p); };
  white->AlphaBitmap()->Fill(77);
  DitherTo1Bit(*white, rec);
  ASSERT_EQ(white->GetPixelFormat(), rv1g);
  EXPECT_EQ(white->AlphaBitmap()->GetPixels_rv8(3, 3), 77);  // the alpha channel stays
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x) ASSERT_TRUE(white->GetPixels_rv1g(x, y));
  ASSERT_EQ(seen.size(), 16u);
  EXPECT_EQ(seen.front(), 6);  // Trunc(1 * 100 / 16.5)
  EXPECT_EQ(seen.back(), 96);
  // Grey level 128 gives level 32: white where the matrix value is below 32.
  auto grey = Uniform(8, 8, 0x808080);
  TRVProgressRec none;
  DitherTo1Bit(*grey, none);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x)
      EXPECT_EQ(grey->GetPixels_rv1g(x, y), OrderedDitherMatrix[x][y] < 32) << x << "," << y;
}

TEST(ColorReduce, QuantizeBitmapReplacesPixelsByPaletteEntries) {
  auto photo = rvtest::PhotoLike(50, 40);
  std::vector<TRGB> pal(20);
  std::vector<int32_t> seen;
  QuantizeBitmap(*photo, 20, pal.data(), nullptr, [&](void*, int32_t p) { seen.push_back(p); });
  std::set<uint32_t> entries;
  for (const TRGB& c : pal) entries.insert(PackRGB(c));
  std::set<uint32_t> used;
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 0; x < 50; ++x) {
      uint32_t c = PackRGB(photo->GetPixels_rv24RGB(x, y));
      ASSERT_TRUE(entries.count(c));
      used.insert(c);
    }
  EXPECT_LE(used.size(), 20u);
  ASSERT_EQ(seen.size(), 40u);
  EXPECT_EQ(seen.back(), 98);  // Trunc(100 / 40.5 * 40)
  // An image with few colours keeps them exactly.
  auto few = Uniform(5, 5, 0x123456);
  few->SetPixels_rv24RGB(2, 2, 0xABCDEF);
  QuantizeBitmap(*few, 4, nullptr, nullptr, {});
  EXPECT_EQ(PackRGB(few->GetPixels_rv24RGB(2, 2)), 0xABCDEFu);
  EXPECT_EQ(PackRGB(few->GetPixels_rv24RGB(0, 0)), 0x123456u);
}

TEST(ColorReduce, TwoColourImages) {
  // Red (grey 54) and blue (grey 20): blue is bit 0 whichever comes first.
  for (bool redFirst : {true, false}) {
    auto b = Uniform(9, 3, redFirst ? 0xFF0000 : 0x0000FF);
    b->SetPixels_rv24RGB(4, 1, redFirst ? 0x0000FF : 0xFF0000);
    TRGB c0, c1;
    auto bw = TwoColorBitmapTo1Bit(*b, c0, c1);
    ASSERT_TRUE(bw);
    EXPECT_EQ(PackRGB(c0), 0x0000FFu);
    EXPECT_EQ(PackRGB(c1), 0xFF0000u);
    EXPECT_EQ(bw->GetPixels_rv1g(4, 1), !redFirst);
    EXPECT_EQ(bw->GetPixels_rv1g(0, 0), redFirst);
  }
  TRGB c0, c1;
  auto one = Uniform(4, 4, 0x336699);
  EXPECT_FALSE(TwoColorBitmapTo1Bit(*one, c0, c1));
  auto three = Uniform(4, 4, 0x336699);
  three->SetPixels_rv24RGB(0, 0, 0x000000);
  three->SetPixels_rv24RGB(3, 3, 0xFFFFFF);
  EXPECT_FALSE(TwoColorBitmapTo1Bit(*three, c0, c1));
}

TEST(ColorReduce, AverageNearestHslAndConstructors) {
  auto b = Uniform(4, 2, 0x102030);
  b->SetPixels_rv24RGB(0, 0, 0x506070);
  int32_t r, g, bl;
  AverageRGB(*b, r, g, bl);
  // Row 0: (0x50 + 3 * 0x10) div 4 = 32 red; row 1: 16 red; (32 + 16) div 2 = 24.
  EXPECT_EQ(r, 24);
  EXPECT_EQ(g, 40);
  EXPECT_EQ(bl, 56);
  TRVBitmap g16(2, 1, rv16g);
  g16.SetPixels_rv16g(0, 0, 65535);
  g16.SetPixels_rv16g(1, 0, 0);
  AverageRGB(g16, r, g, bl);
  EXPECT_EQ(r, 127);
  TRVBitmap bits(8, 1, rv1g);
  bits.GetScanLine(0)[0] = 0xF0;
  AverageRGB(bits, r, g, bl);
  EXPECT_EQ(bl, 127);

  const TRGB pal[2] = {TRGB{0, 0, 10}, TRGB{0, 0, 30}};
  EXPECT_EQ(NearestPaletteIndex(pal, 2, TRGB{0, 0, 20}), 0);  // equal distance: the first

  TRGB c;
  HSLToRGB(c, 0.3, 0, 0.5);
  EXPECT_EQ(PackRGB(c), 0x808080u);  // 127.5 to the even 128
  double h, s, l;
  RGBToHSL(h, s, l, TRGB{0, 0, 255});
  EXPECT_DOUBLE_EQ(h, 0);
  EXPECT_DOUBLE_EQ(s, 1);
  EXPECT_DOUBLE_EQ(l, 0.5);
  HSLToRGB(c, 2.0 / 3.0, 1, 0.5);
  EXPECT_EQ(PackRGB(c), 0x0000FFu);
  EXPECT_DOUBLE_EQ(HueToRGB(1.2, 1, 0), 1);  // 0.2 after wrapping: 6h >= 1, 2h < 1
  EXPECT_EQ(ColorToARGB(0x0000FF, 0x80), 0x80FF0000u);
}

TEST(ColorReduce, GreyConversionAndConvolution) {
  auto b = Uniform(6, 4, 0xFF0000);
  std::vector<int32_t> seen;
  ConvertRectToGray(
      *b, 1, 1, 100, 3, [&](void*, int32_t p) { seen.push_back(p); }, nullptr);
  EXPECT_EQ(PackRGB(b->GetPixels_rv24RGB(0, 1)), 0xFF0000u);
  EXPECT_EQ(PackRGB(b->GetPixels_rv24RGB(5, 2)), 0x353535u);  // 255 * 21 div 100 = 53
  EXPECT_EQ(PackRGB(b->GetPixels_rv24RGB(3, 3)), 0xFF0000u);
  EXPECT_EQ(seen, (std::vector<int32_t>{40, 80}));

  TRVBitmap g(5, 5, rv8g);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 5; ++x) g.SetPixels_rv8(x, y, static_cast<uint8_t>(10 * x + y));
  TFilter3x3 edge;
  for (int i = 0; i < 9; ++i) edge.Values[i] = -1;
  edge.Values[4] = 8;
  edge.Divisor = 0;  // taken as 1
  TRVBitmap orig;
  orig.Assign(&g);
  Convolve3x3Gray(g, edge, 1, 1, 3, 3);
  // A linear ramp has no edges inside; at the image border the clamped neighbours differ.
  EXPECT_EQ(g.GetPixels_rv8(1, 1), 0);
  EXPECT_EQ(g.GetPixels_rv8(2, 2), 0);
  EXPECT_EQ(g.GetPixels_rv8(3, 3), orig.GetPixels_rv8(3, 3));  // outside [1, 3)
  EXPECT_EQ(g.GetPixels_rv8(0, 0), orig.GetPixels_rv8(0, 0));
  TFilter3x3 corner;
  corner.Values[0] = 1;  // the pixel above left
  Convolve3x3Gray(orig, corner, 0, 0, 5, 5);
  EXPECT_EQ(orig.GetPixels_rv8(0, 0), 0);   // clamped to itself
  EXPECT_EQ(orig.GetPixels_rv8(3, 2), 21);  // (2, 1)
}

TEST(ColorReduce, ExpandOneBitPlatformBitmap) {
  auto src = CreateMemoryPlatformBitmap();
  src->SetPixelFormat(pf1bit);
  src->SetSize(11, 2);
  src->ScanLine(0)[0] = 0xA5;
  src->ScanLine(0)[1] = 0xC0;
  auto dst = CreateMemoryPlatformBitmap();
  TRVProgressRec rec;
  Expand1BitBitmap(*src, *dst, rec);
  ASSERT_EQ(dst->PixelFormat(), pf24bit);
  ASSERT_EQ(dst->Width(), 11);
  const uint8_t* r = dst->ScanLine(0);
  const int expected[11] = {1, 0, 1, 0, 0, 1, 0, 1, 1, 1, 0};
  for (int x = 0; x < 11; ++x) EXPECT_EQ(r[3 * x + 1], expected[x] ? 255 : 0) << x;
}

// The blur against results computed independently from its rules (tests/data/blur_reference.py):
// the kernel's radius, the rounding, the repeated end samples and the clamped rectangle.
TEST(Blur, GreyBlurMatchesTheReference) {
  std::ifstream in(std::string(ZEPHOR_TEST_DATA_DIR) + "/blur_reference.txt");
  ASSERT_TRUE(in.good());
  std::string line;
  int cases = 0;
  while (std::getline(in, line)) {
    std::istringstream s(line);
    double sigma;
    int32_t left, top, right, bottom;
    s >> sigma >> left >> top >> right >> bottom;
    SCOPED_TRACE(line.substr(0, 24));
    TRVBitmap b(13, 9, rv8g);
    for (int32_t y = 0; y < 9; ++y)
      for (int32_t x = 0; x < 13; ++x) b.SetPixels_rv8(x, y, static_cast<uint8_t>((x * 29 + y * 47) % 200));
    b.SetPixels_rv8(6, 4, 255);
    BlurGreyBitmap(b, left, top, sigma, bottom, right);  // the service's argument order
    for (int32_t y = 0; y < 9; ++y)
      for (int32_t x = 0; x < 13; ++x) {
        int expected = -1;
        s >> expected;
        ASSERT_EQ(b.GetPixels_rv8(x, y), expected) << x << "," << y;
      }
    ++cases;
  }
  EXPECT_EQ(cases, 4);
}

TEST(Blur, OtherFormatsAndNoRadiusChangeNothing) {
  TRVBitmap g(6, 5, rv8g);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 6; ++x) g.SetPixels_rv8(x, y, static_cast<uint8_t>(x * 40));
  const auto before = rvtest::Pixels(g);
  for (double radius : {0.0, -1.0, std::nan("")}) {
    BlurGreyBitmap(g, 0, 0, radius, 4, 5);
    EXPECT_EQ(rvtest::Pixels(g), before) << radius;
  }
  BlurGreyBitmap(g, 4, 0, 2.0, 4, 1);  // an empty rectangle
  EXPECT_EQ(rvtest::Pixels(g), before);
  auto colour = Uniform(6, 5, 0x102030);
  colour->SetPixels_rv24RGB(2, 2, 0xFFFFFF);
  const auto colourBefore = rvtest::Pixels(*colour);
  BlurGreyBitmap(*colour, 0, 0, 2.0, 4, 5);
  EXPECT_EQ(rvtest::Pixels(*colour), colourBefore);
  // A white picture stays white although the rounded weights add up to more than 65536.
  TRVBitmap white(9, 9, rv8g);
  white.Fill(255);
  for (double radius : {0.7, 1.3, 2.5, 9.0}) {
    BlurGreyBitmap(white, 0, 0, radius, 8, 8);
    for (int32_t x = 0; x < 9; ++x) ASSERT_EQ(white.GetPixels_rv8(x, 4), 255) << radius;
  }
}

// The names the image buffer calls the bit-depth conversions by.
TEST(ColorReduce, ServiceNamesOfTheBitDepthConversions) {
  auto picture = Uniform(7, 3, 0x202020);
  picture->SetPixels_rv24RGB(3, 1, 0xF0F0F0);
  picture->AlphaBitmap()->SetPixels_rv8(0, 0, 9);
  TRVProgressRec rec;
  ThresholdTo1BitInPlace(*picture, 100, rec);
  ASSERT_EQ(picture->GetPixelFormat(), rv1g);
  EXPECT_TRUE(picture->GetPixels_rv1g(3, 1));
  EXPECT_FALSE(picture->GetPixels_rv1g(2, 1));
  EXPECT_EQ(picture->AlphaBitmap()->GetPixels_rv8(0, 0), 9);  // the alpha channel stays
  TRVBitmap grey(4, 2, rv8g);
  grey.Fill(200);
  ThresholdTo1BitInPlace(grey, 100, rec);
  EXPECT_EQ(grey.GetPixelFormat(), rv8g);  // only 24-bit images are reduced

  auto bits = CreateMemoryPlatformBitmap();
  bits->SetPixelFormat(pf1bit);
  bits->SetSize(10, 1);
  bits->ScanLine(0)[0] = 0x81;
  bits->ScanLine(0)[1] = 0x40;
  auto wide = CreateMemoryPlatformBitmap();
  TBitmap1To24(*bits, *wide, rec);
  ASSERT_EQ(wide->PixelFormat(), pf24bit);
  ASSERT_EQ(wide->Width(), 10);
  const int expected[10] = {1, 0, 0, 0, 0, 0, 0, 1, 0, 1};
  for (int x = 0; x < 10; ++x) EXPECT_EQ(wide->ScanLine(0)[3 * x], expected[x] ? 255 : 0) << x;
}

TEST(Threshold, FixedAverageAndAutomatic) {
  auto b = std::make_unique<TRVBitmap>(4, 1, rv24RGB);
  const uint32_t greys[4] = {0x000000, 0x404040, 0x808080, 0xFFFFFF};
  for (int x = 0; x < 4; ++x) b->SetPixels_rv24RGB(x, 0, greys[x]);
  struct Case {
    int32_t threshold;
    bool bits[4];
  } cases[] = {{0, {1, 1, 1, 1}}, {256, {0, 0, 0, 0}}, {0x80, {0, 0, 1, 1}}, {-1, {0, 0, 1, 1}}};
  for (const Case& c : cases) {
    TRVBitmap d(4, 1, rv1g);
    TRVProgressRec rec;
    ThresholdTo1Bit(*b, d, c.threshold, rec);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(d.GetPixels_rv1g(x, 0), c.bits[x]) << c.threshold << " " << x;
  }
  // One grey level: no automatic threshold, every pixel white.
  auto flat = Uniform(5, 5, 0x777777);
  EXPECT_EQ(MaxEntropyThreshold(*flat), -2);
  TRVBitmap d(5, 5, rv1g);
  TRVProgressRec rec;
  ThresholdTo1Bit(*flat, d, -2, rec);
  EXPECT_TRUE(d.GetPixels_rv1g(4, 4));
  // Two well separated groups of spread levels: the automatic threshold falls between them.
  auto two = Uniform(10, 10, 0);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 10; ++x)
      two->SetPixels_rv24RGB(x, y, 0x010101u * static_cast<uint32_t>((x < 5 ? 0x20 : 0xD0) + (x + y) % 7));
  const int32_t t = MaxEntropyThreshold(*two);
  EXPECT_GT(t, 0x26);
  EXPECT_LE(t, 0xD0);
  // Other formats: 16-bit grey by its high byte, 48-bit RGB by the high bytes.
  TRVBitmap g16(2, 1, rv16g);
  g16.SetPixels_rv16g(0, 0, 0x7FFF);
  g16.SetPixels_rv16g(1, 0, 0x8000);
  TRVBitmap d16(2, 1, rv1g);
  ThresholdTo1Bit(g16, d16, 0x80, rec);
  EXPECT_FALSE(d16.GetPixels_rv1g(0, 0));
  EXPECT_TRUE(d16.GetPixels_rv1g(1, 0));
  // Binarizing keeps the alpha channel.
  auto bin = Uniform(3, 3, 0xFFFFFF);
  bin->AlphaBitmap()->Fill(9);
  BinarizeByThreshold(*bin, -1, rec);
  EXPECT_EQ(bin->GetPixelFormat(), rv1g);
  EXPECT_EQ(bin->AlphaBitmap()->GetPixels_rv8(1, 1), 9);
}

TEST(ChannelOps, FillAreaByFormat) {
  TRVBitmap b(8, 4, rv1g);
  b.Fill(1);
  FillArea(b, 0, 0, 8, 4, TRGB{255, 255, 0}, nullptr, {});  // red 0: black
  EXPECT_FALSE(b.GetPixels_rv1g(3, 3));
  FillArea(b, 2, 1, 4, 3, TRGB{0, 0, 1}, nullptr, {});
  EXPECT_TRUE(b.GetPixels_rv1g(2, 1));
  EXPECT_TRUE(b.GetPixels_rv1g(3, 2));
  EXPECT_FALSE(b.GetPixels_rv1g(4, 2));
  EXPECT_FALSE(b.GetPixels_rv1g(2, 3));
  TRVBitmap rgb(5, 5, rv24RGB);
  rgb.Fill(0);
  std::vector<int32_t> seen;
  FillArea(rgb, 1, 1, 99, 3, TRGB{1, 2, 3}, nullptr, [&](void*, int32_t p) { seen.push_back(p); });
  EXPECT_EQ(seen, (std::vector<int32_t>{40, 80}));
  EXPECT_EQ(PackRGB(rgb.GetPixels_rv24RGB(4, 2)), 0x030201u);
  EXPECT_EQ(PackRGB(rgb.GetPixels_rv24RGB(4, 3)), 0u);
  TRVBitmap g(3, 3, rv8g);
  g.Fill(0);
  FillArea(g, 0, 0, 3, 3, TRGB{0, 0, 255}, nullptr, {});
  EXPECT_EQ(g.GetPixels_rv8(1, 1), 53);
  TRVBitmap w(3, 3, rv48RGB);
  w.Fill(0);
  FillArea(w, 0, 0, 2, 2, TRGB{0, 0, 255}, nullptr, {});
  EXPECT_EQ(w.GetPixels_rv48RGB(1, 1).r, 65535);
  EXPECT_EQ(w.GetPixels_rv48RGB(2, 2).r, 0);
}

TEST(ChannelOps, HistogramMatchAndReorder) {
  uint32_t hist[256];
  TRVBitmap g(4, 1, rv8g);
  for (int x = 0; x < 4; ++x) g.SetPixels_rv8(x, 0, static_cast<uint8_t>(x * 2));
  BuildGrayHistogram(g, hist);
  EXPECT_EQ(hist[0], 1u);
  EXPECT_EQ(hist[6], 1u);
  TRVBitmap bits(10, 1, rv1g);
  bits.Fill(0);
  bits.SetPixels_rv1g(3, 0, true);
  BuildGrayHistogram(bits, hist);
  EXPECT_EQ(hist[0], 9u);
  EXPECT_EQ(hist[1], 1u);

  // Matching an image to itself keeps every level that its histogram reproduces.
  auto ref = rvtest::PhotoLike(32, 32);
  auto img = rvtest::PhotoLike(32, 32, 99);
  MatchHistogram(*ref, *img);
  uint32_t a[256] = {}, b[256] = {};
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 32; ++x) {
      ++a[ref->GetPixels_rv24RGB(x, y).g];
      ++b[img->GetPixels_rv24RGB(x, y).g];
    }
  // The cumulative green histograms follow each other closely.
  int64_t ca = 0, cb = 0, worst = 0;
  for (int i = 0; i < 256; ++i) {
    ca += a[i];
    cb += b[i];
    worst = std::max<int64_t>(worst, std::abs(ca - cb));
  }
  EXPECT_LT(worst, 32 * 32 / 20);

  auto rgb = std::make_unique<TRVBitmap>(2, 1, rv24RGB);
  rgb->SetPixels_rv24RGB(0, 0, 0x112233);
  ReorderChannels(*rgb, "RGB", nullptr, {});
  EXPECT_EQ(PackRGB(rgb->GetPixels_rv24RGB(0, 0)), 0x332211u);
  ReorderChannels(*rgb, "00r", nullptr, {});
  EXPECT_EQ(PackRGB(rgb->GetPixels_rv24RGB(0, 0)), 0x330000u);
  TRVBitmap w(1, 1, rv48RGB);
  w.SetPixels_rv48RGB(0, 0, TRGB48{1000, 2000, 3000});
  ReorderChannels(w, "rgb", nullptr, {});
  EXPECT_EQ(w.GetPixels_rv48RGB(0, 0), (TRGB48{3000, 2000, 1000}));
}

TEST(PixelRoutines, BitsRowsAndNumbers) {
  EXPECT_EQ(IntClamp(5, 10, 0), 10);
  EXPECT_EQ(IntClamp(-3, 0, 255), 0);
  EXPECT_EQ(ClampToByte(300), 255);
  EXPECT_EQ(CeilToInt(-1.5), -1);
  EXPECT_EQ(FloorToInt(-1.5), -2);
  EXPECT_EQ(FloorToInt(2.0), 2);
  EXPECT_EQ(FloorToInt(2.5), 2);

  // 10 bits from source bit 6 to destination bit 0: only the first byte and the top two
  // bits of the second change.
  const uint8_t src[3] = {0x03, 0x5A, 0xFF};
  for (int pass = 0; pass < 2; ++pass) {
    uint8_t dst[3] = {0x00, 0x00, 0x00};
    if (pass == 0)
      CopyBitBlock(src, dst, 6, 0, 10);
    else
      CopyBitsOneByOne(dst, src, 0, 10, 6);
    for (int k = 0; k < 10; ++k) EXPECT_EQ(GetBufferBit(dst, k), GetBufferBit(src, 6 + k)) << k;
    EXPECT_EQ(dst[1] & 0x3F, 0);
    EXPECT_EQ(dst[2], 0);
  }
  uint8_t none[1] = {0x55};
  CopyBitsOneByOne(none, src, -1, 4, 0);
  EXPECT_EQ(none[0], 0x55);

  TRVBitmap a(5, 3, rv24RGB), b(5, 3, rv24RGB);
  rvtest::FillPattern(a);
  rvtest::FillPattern(b);
  EXPECT_TRUE(SameBitmaps(a, b));
  b.AlphaBitmap();
  EXPECT_FALSE(SameBitmaps(a, b));
  a.AlphaBitmap()->SetPixels_rv8(0, 0, 3);
  EXPECT_FALSE(SameBitmaps(a, b));
  // Only the pixels' bits are compared: row padding and the unused bits of a last byte are not;
  // pictures of different formats are never the same.
  {
    TRVBitmap c(1, 2, rv24RGB), d(1, 2, rv24RGB);
    for (TRVBitmap* m : {&c, &d})
      for (int32_t y = 0; y < 2; ++y) std::memset(m->GetScanLine(y), 7, 3);
    c.GetScanLine(0)[3] = 1, d.GetScanLine(0)[3] = 2;
    EXPECT_TRUE(SameBitmaps(c, d));
    d.GetScanLine(1)[2] = 8;
    EXPECT_FALSE(SameBitmaps(c, d));
    TRVBitmap e(3, 1, rv1g), f(3, 1, rv1g);
    e.GetScanLine(0)[0] = 0xA0, f.GetScanLine(0)[0] = 0xBF;
    EXPECT_TRUE(SameBitmaps(e, f));
    f.GetScanLine(0)[0] = 0xC0;
    EXPECT_FALSE(SameBitmaps(e, f));
    TRVBitmap g(4, 1, rv8g), k(4, 1, rv24RGB);
    std::memset(g.GetScanLine(0), 0, 4), std::memset(k.GetScanLine(0), 0, 12);
    EXPECT_FALSE(SameBitmaps(g, k));
  }
  InvertBitmapRows(a);
  EXPECT_EQ(a.GetScanLine(1)[0], static_cast<uint8_t>(~b.GetScanLine(1)[0]));

  const TRGB pal[2] = {TRGB{1, 2, 3}, TRGB{4, 5, 6}};
  const uint8_t bitsRow[1] = {0xA0};
  uint8_t out[24] = {};
  EXPECT_EQ(ConvertRowBitDepth(bitsRow, out, 1, nullptr, 2, pal, 3, 24), 9);
  EXPECT_EQ(out[0], 4);
  EXPECT_EQ(out[3], 1);
  uint8_t nib[2] = {};
  EXPECT_EQ(ConvertRowBitDepth(bitsRow, nib, 1, nullptr, 0, nullptr, 3, 4), 2);
  EXPECT_EQ(nib[0], 0x10);
  EXPECT_EQ(nib[1], 0x10);
  const uint8_t bytes[3] = {1, 0, 1};
  uint8_t packed[1] = {0xFF};
  EXPECT_EQ(ConvertRowBitDepth(bytes, packed, 8, nullptr, 0, nullptr, 3, 1), 1);
  EXPECT_EQ(packed[0], 0xA0);
  const uint8_t four[2] = {0x1F, 0x30};
  uint8_t eight[3] = {};
  EXPECT_EQ(ConvertRowBitDepth(four, eight, 4, nullptr, 0, nullptr, 3, 8), 3);
  EXPECT_EQ(eight[1], 0x0F);
  EXPECT_EQ(eight[2], 3);
  // 24 bits to 8 through a quantizer; palette indices past the palette give black.
  auto img = std::make_unique<TRVBitmap>(2, 1, rv24RGB);
  img->SetPixels_rv24RGB(0, 0, 0x0000FF);
  img->SetPixels_rv24RGB(1, 0, 0xFF0000);
  std::vector<TRGB> qp(4);
  TRVQuantizer q(*img, 4, 0, qp.data());
  uint8_t idx[2] = {};
  EXPECT_EQ(ConvertRowBitDepth(img->GetScanLine(0), idx, 24, &q, 0, nullptr, 2, 8), 2);
  EXPECT_EQ(idx[0], 0);
  EXPECT_EQ(idx[1], 1);
  uint8_t rgbOut[3] = {9, 9, 9};
  const uint8_t bigIndex[1] = {200};
  ConvertRowBitDepth(bigIndex, rgbOut, 8, nullptr, 2, pal, 1, 24);
  EXPECT_EQ(rgbOut[0] | rgbOut[1] | rgbOut[2], 0);
  const uint8_t px32[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(ConvertRowBitDepth(px32, rgbOut, 32, nullptr, 0, nullptr, 1, 24), 3);
  EXPECT_EQ(rgbOut[2], 3);
  EXPECT_EQ(ConvertRowBitDepth(px32, rgbOut, 32, nullptr, 0, nullptr, 1, 16), 0);
}

TEST(ColorReduce, StartupInstallsTheBufferConversions) {
  RVColorReductionStartup();
  auto photo = rvtest::PhotoLike(30, 20);
  photo->PaletteColorCount = 16;
  photo->SetPixelFormat(rv8p);
  ASSERT_EQ(photo->GetPixelFormat(), rv8p);
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 30; ++x) ASSERT_LT(photo->GetPixels_rv8(x, y), 16);
  RVColorReductionShutdown();
  // The library's own start-up runs it.
  const auto names = RastovaStartupStepNames();
  EXPECT_NE(std::find(names.begin(), names.end(), "RVColorReduction"), names.end());
}
