#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVQuantizer.h"
#include "rastova/core/RVUtils.h"
#include "rastova/core/tests/GeomTestUtil.h"

using namespace rv;

namespace {

// Restores the library-wide quantizer settings after a test.
struct SettingsGuard {
  int32_t method = ColorReductionMethod, quality = NeuQuantSetting;
  ~SettingsGuard() {
    ColorReductionMethod = method;
    NeuQuantSetting = quality;
  }
};

std::unique_ptr<TRVBitmap> Colours(const std::vector<uint32_t>& colours, int32_t w, int32_t h) {
  auto b = std::make_unique<TRVBitmap>(w, h, rv24RGB);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      b->SetPixels_rv24RGB(x, y, colours[static_cast<size_t>(y * w + x) % colours.size()]);
  return b;
}

}  // namespace

TEST(Quantizer, ExactColoursInScanOrderAndOneMoreSwitchesToAQuantizer) {
  std::vector<uint32_t> colours;
  for (uint32_t i = 0; i < 16; ++i) colours.push_back(0x102030u * i + 0x050000u * (i % 3));
  auto b = Colours(colours, 8, 4);
  std::vector<TRGB> pal(16, TRGB{1, 2, 3});
  TRVQuantizer q(*b, 16, 134217727, pal.data());
  EXPECT_EQ(q.Kind(), TRVQuantizerKind::Exact);
  ASSERT_EQ(q.ColorsMade(), 16);
  for (size_t i = 0; i < 16; ++i) {
    EXPECT_EQ(PackRGB(pal[i]), colours[i]) << i;
    EXPECT_EQ(q.GetRGBIndex(colours[i]), static_cast<int32_t>(i));
  }
  std::vector<TRGB> pal15(15);
  TRVQuantizer q15(*b, 15, 134217727, pal15.data());
  EXPECT_EQ(q15.Kind(), TRVQuantizerKind::VarianceSplit);
  EXPECT_LE(q15.ColorsMade(), 15);
}

TEST(Quantizer, UniformImageHasOneColourAndForeignColoursMapInsideThePalette) {
  auto b = Colours({0x336699}, 5, 5);
  std::vector<TRGB> pal(4, TRGB{9, 9, 9});
  TRVQuantizer q(*b, 4, 134217727, pal.data());
  EXPECT_EQ(q.Kind(), TRVQuantizerKind::Exact);
  EXPECT_EQ(q.ColorsMade(), 1);
  EXPECT_EQ(PackRGB(pal[0]), 0x336699u);
  EXPECT_EQ(PackRGB(pal[1]), 0x090909u);  // entries beyond the colours made are left alone
  // A colour that is not in the palette maps to the nearest entry, never to -1.
  EXPECT_EQ(q.GetRGBIndex(0xFFFFFFu), 0);
  // With two colours the nearer one wins.
  auto two = Colours({0x000080, 0xFFFF00}, 2, 1);
  TRVQuantizer q2(*two, 8, 0, pal.data());
  EXPECT_EQ(q2.Kind(), TRVQuantizerKind::Exact);
  EXPECT_EQ(q2.GetRGBIndex(0x101070u), 0);
  EXPECT_EQ(q2.GetRGBIndex(0xF0E010u), 1);
}

TEST(Quantizer, GreyImageGetsARamp) {
  auto b = std::make_unique<TRVBitmap>(16, 2, rv24RGB);
  for (int32_t x = 0; x < 16; ++x)
    for (int32_t y = 0; y < 2; ++y) b->SetPixels_rv24RGB(x, y, 0x010101u * static_cast<uint32_t>(x * 16 + y));
  std::vector<TRGB> pal(16);
  TRVQuantizer q(*b, 16, 134217727, pal.data());
  EXPECT_EQ(q.Kind(), TRVQuantizerKind::GrayRamp);
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(PackRGB(pal[static_cast<size_t>(i)]), 0x010101u * static_cast<uint32_t>(16 * i));
  EXPECT_EQ(q.GetRGBIndex(0xFF0000u), 15);
  EXPECT_EQ(q.GetRGBIndex(0x202020u), 2);
  // An 8-bit grey image takes the same ramp.
  TRVBitmap g(4, 4, rv8g);
  TRVQuantizer qg(g, 4, 0, pal.data());
  EXPECT_EQ(qg.Kind(), TRVQuantizerKind::GrayRamp);
  EXPECT_EQ(PackRGB(pal[3]), 0xC0C0C0u);
}

TEST(Quantizer, PaletteImageGivesItsPaletteAndNearestIndices) {
  TRVBitmap b(4, 4, rv8p);
  b.SetPalette(0, TRGB{0, 0, 255});
  b.SetPalette(1, TRGB{0, 255, 0});
  b.SetPalette(2, TRGB{255, 0, 0});
  for (int i = 3; i < b.GetPaletteLength(); ++i) b.SetPalette(i, TRGB{255, 0, 0});
  std::vector<TRGB> pal(3);
  TRVQuantizer q(b, 3, 0, pal.data());
  EXPECT_EQ(q.Kind(), TRVQuantizerKind::ImagePalette);
  EXPECT_EQ(pal[1], (TRGB{0, 255, 0}));
  EXPECT_EQ(q.GetRGBIndex(TRGB{0, 255, 0}), 1);
  EXPECT_EQ(q.GetRGBIndex(TRGB{10, 200, 20}), 1);  // not in the palette: the nearest entry
}

TEST(Quantizer, AutomaticMethodAndItsPaletteProperties) {
  SettingsGuard guard;
  ColorReductionMethod = -1;
  NeuQuantSetting = -1;
  auto photo = rvtest::PhotoLike(96, 80);
  struct Case {
    int32_t colours;
    TRVQuantizerKind kind;
  } cases[] = {{100, TRVQuantizerKind::VarianceSplit},
               {127, TRVQuantizerKind::VarianceSplit},
               {128, TRVQuantizerKind::NeuQuant},
               {256, TRVQuantizerKind::NeuQuant},
               {4, TRVQuantizerKind::VarianceSplit}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.colours);
    std::vector<TRGB> pal(static_cast<size_t>(c.colours));
    TRVQuantizer q(*photo, c.colours, 134217727, pal.data());
    EXPECT_EQ(q.Kind(), c.kind);
    ASSERT_GE(q.ColorsMade(), 1);
    ASSERT_LE(q.ColorsMade(), c.colours);
    // Every pixel maps to an entry of the palette made, and the entries are near the pixels.
    int64_t error = 0;
    std::set<int32_t> used;
    for (int32_t y = 0; y < photo->GetHeight(); ++y)
      for (int32_t x = 0; x < photo->GetWidth(); ++x) {
        TRGB p = photo->GetPixels_rv24RGB(x, y);
        int32_t i = q.GetRGBIndex(p);
        ASSERT_GE(i, 0);
        ASSERT_LT(i, q.ColorsMade());
        used.insert(i);
        const TRGB& e = pal[static_cast<size_t>(i)];
        error += std::abs(e.r - p.r) + std::abs(e.g - p.g) + std::abs(e.b - p.b);
      }
    double mean = double(error) / (photo->GetWidth() * photo->GetHeight());
    EXPECT_LT(mean, c.colours >= 100 ? 40.0 : 160.0);
    EXPECT_GT(used.size(), static_cast<size_t>(c.colours / 4));
  }
}

TEST(Quantizer, VarianceSplitNeverPassesItsBoxesWhateverIsAsked) {
  SettingsGuard guard;
  ColorReductionMethod = 1;
  auto photo = rvtest::PhotoLike(64, 64, 7);
  for (int32_t n : {257, 1000, 1024}) {
    std::vector<TRGB> pal(static_cast<size_t>(n), TRGB{7, 7, 7});
    TRVQuantizer q(*photo, n, 134217727, pal.data());
    EXPECT_EQ(q.Kind(), TRVQuantizerKind::VarianceSplit);
    EXPECT_LE(q.ColorsMade(), 256);
    EXPECT_EQ(pal[256], (TRGB{7, 7, 7}));
    // Colours far from the image still map to an entry of the palette.
    for (uint32_t c : {0x000000u, 0xFFFFFFu, 0x00FF00u, 0xFF00FFu}) {
      int32_t i = q.GetRGBIndex(c);
      EXPECT_GE(i, 0);
      EXPECT_LT(i, q.ColorsMade());
    }
  }
  // A colour absent from the image takes the nearest entry of the palette.
  auto two = Colours({0x000000, 0xFFFFFF, 0x202020, 0xE0E0E0, 0x101010, 0xF0F0F0}, 6, 4);
  for (int32_t y = 0; y < 4; ++y) two->SetPixels_rv24RGB(0, y, 0xFF0000u + static_cast<uint32_t>(y));
  std::vector<TRGB> pal(2);
  TRVQuantizer q(*two, 2, 0, pal.data());
  ASSERT_EQ(q.Kind(), TRVQuantizerKind::VarianceSplit);
  int32_t i = q.GetRGBIndex(0x0000F8u);
  EXPECT_EQ(i, NearestPaletteIndex(pal.data(), q.ColorsMade(), UnpackRGB(0x0000F8u)));
}

TEST(Quantizer, NeuQuantSettingsAndSmallNetworks) {
  SettingsGuard guard;
  ColorReductionMethod = 0;
  auto photo = rvtest::PhotoLike(60, 50, 3);
  struct Case {
    int32_t quality, factor;
  } cases[] = {{-1, 2}, {100, 1}, {0, 30}, {50, 15}};
  for (const Case& c : cases) {
    NeuQuantSetting = c.quality;
    std::vector<TRGB> pal(32);
    TRVQuantizer q(*photo, 32, 0, pal.data());
    EXPECT_EQ(q.Kind(), TRVQuantizerKind::NeuQuant);
    EXPECT_EQ(q.SamplingFactor(), c.factor) << c.quality;
  }
  NeuQuantSetting = -1;
  auto tiny = rvtest::PhotoLike(30, 30, 9);  // below 2000 pixels: every pixel sampled
  for (int32_t n : {1, 2, 5, 7, 8}) {
    std::vector<TRGB> pal(static_cast<size_t>(n));
    TRVQuantizer q(*tiny, n, 0, pal.data());
    EXPECT_EQ(q.SamplingFactor(), 1);
    for (int32_t y = 0; y < 30; y += 7)
      for (int32_t x = 0; x < 30; x += 5) {
        int32_t i = q.GetRGBIndex(tiny->GetPixels_rv24RGB(x, y));
        ASSERT_GE(i, 0);
        ASSERT_LT(i, n);
      }
  }
}

TEST(Quantizer, QuantizeToPalette8FillsIndicesAndPalette) {
  auto photo = rvtest::PhotoLike(40, 30, 5);
  TRVBitmap dest(40, 30, rv8p);
  QuantizeToPalette8(*photo, dest, 16);
  ASSERT_EQ(dest.GetPaletteLength(), 256);
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x) ASSERT_LT(dest.GetPixels_rv8(x, y), 16);
}
