// The Gaussian blur of grey images against a plain transcription of its rule, the soft shadow,
// the filter presets, the dialogs' parameter block and the processing module's start-up.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "common/tests/support/AllocationWatch.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVColorReduce.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RastovaProc.h"
#include "rastova/core/filter/RVFilterPresets.h"
#include "rastova/core/filter/RVSoftShadow.h"

namespace rv {
namespace {

// ---------------------------------------------------------------- blur

// The blur as its rule reads, in 32-bit integers: weights for -100..100, scaled to 65536 and
// rounded halves to even, the radius shrunk while both outer weights are 0 (or forced), rows
// then columns, samples past the ends repeating the end sample.
void ReferenceBlur(std::vector<std::vector<int>>& img, int left, int top, int right, int bottom, double sigma,
                   int forcedRadius = 0) {
  double g[201], total = 0;
  for (int k = -100; k <= 100; ++k) total += g[k + 100] = std::exp(-(k / sigma) * (k / sigma) / 2);
  uint32_t w[201];
  for (int i = 0; i < 201; ++i) w[i] = static_cast<uint32_t>(std::nearbyint(g[i] * 65536 / total));
  int radius = 100;
  while (radius > 1 && w[100 + radius] == 0 && w[100 - radius] == 0) --radius;
  if (forcedRadius > 0) radius = forcedRadius;
  auto line = [&](std::vector<int*> s) {
    const int n = static_cast<int>(s.size());
    std::vector<int> in(n);
    for (int i = 0; i < n; ++i) in[i] = *s[i];
    for (int i = 0; i < n; ++i) {
      uint32_t sum = 0;
      for (int k = -radius; k <= radius; ++k)
        sum += w[100 + k] * static_cast<uint32_t>(in[std::clamp(i + k, 0, n - 1)]);
      *s[i] = static_cast<int>(std::min<uint32_t>((sum + 32768) >> 16, 255));
    }
  };
  for (int y = top; y <= bottom; ++y) {
    std::vector<int*> s;
    for (int x = left; x <= right; ++x) s.push_back(&img[y][x]);
    line(s);
  }
  for (int x = left; x <= right; ++x) {
    std::vector<int*> s;
    for (int y = top; y <= bottom; ++y) s.push_back(&img[y][x]);
    line(s);
  }
}

std::vector<std::vector<int>> GreyValues(TRVBitmap& b) {
  std::vector<std::vector<int>> v(static_cast<size_t>(b.GetHeight()),
                                  std::vector<int>(static_cast<size_t>(b.GetWidth())));
  for (int32_t y = 0; y < b.GetHeight(); ++y)
    for (int32_t x = 0; x < b.GetWidth(); ++x) v[y][x] = b.GetPixels_rv8(x, y);
  return v;
}

std::unique_ptr<TRVBitmap> NoisyGrey(int32_t w, int32_t h, uint32_t seed) {
  auto b = std::make_unique<TRVBitmap>(w, h, rv8g);
  std::mt19937 random(seed);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      b->SetPixels_rv8(x, y,
                       static_cast<uint8_t>((x / 37 + y / 5) % 2 ? 200 + random() % 56 : random() % 40));
  return b;
}

// Wide enough for two strips of the column pass and lanes left over; both processor paths.
TEST(GaussianBlur, MatchesTheIntegerRuleOnBothPaths) {
  struct Case {
    double sigma;
    int left, top, right, bottom;
  };
  const Case cases[] = {{0.3, 0, 0, 1099, 29},   {0.5, 3, 2, 1090, 27}, {1.0, 0, 0, 1099, 29},
                        {3.0, 500, 1, 1030, 28}, {7.5, 0, 0, 1099, 29}, {40, 0, 0, 1099, 29},
                        {1e6, 2, 0, 1099, 29},   {2.0, 7, 3, 7, 25},    {2.0, 0, 4, 1099, 4},
                        {4.0, -50, -3, 2000, 90}};
  for (bool plain : {false, true}) {
    testing::BlurWithoutAvx2 = plain;
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << "sigma " << c.sigma << " plain " << plain << " rect " << c.left
                                        << "," << c.top << "," << c.right << "," << c.bottom);
      auto image = NoisyGrey(1100, 30, 5);
      auto expected = GreyValues(*image);
      ReferenceBlur(expected, std::max(c.left, 0), std::max(c.top, 0), std::min(c.right, 1099),
                    std::min(c.bottom, 29), c.sigma);
      GaussianBlurGray(*image, c.left, c.top, c.right, c.bottom, c.sigma);
      ASSERT_EQ(GreyValues(*image), expected);
    }
  }
  testing::BlurWithoutAvx2 = false;
}

// Sigma 0.5: the weights at +-3 round to 0 and those at +-2 do not, so the radius is 2.
TEST(GaussianBlur, SigmaOneHalfReachesTwoPixels) {
  auto image = NoisyGrey(300, 40, 9);
  auto two = GreyValues(*image), one = two;
  ReferenceBlur(two, 0, 0, 299, 39, 0.5);
  ReferenceBlur(one, 0, 0, 299, 39, 0.5, 1);
  ASSERT_NE(one, two) << "the picture shows no difference between the radii";
  auto three = GreyValues(*image);
  ReferenceBlur(three, 0, 0, 299, 39, 0.5, 3);
  EXPECT_EQ(three, two);
  GaussianBlurGray(*image, 0, 0, 299, 39, 0.5);
  EXPECT_EQ(GreyValues(*image), two);
}

TEST(GaussianBlur, BadSigmasAndRectangles) {
  const double sigmas[] = {0,
                           -1,
                           std::nan(""),
                           -std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::infinity(),
                           1e6,
                           1e-300,
                           5e-324};
  for (double sigma : sigmas) {
    auto image = NoisyGrey(64, 48, 2);
    auto expected = GreyValues(*image);
    if (sigma > 0) ReferenceBlur(expected, 0, 0, 63, 47, sigma);
    const size_t largest =
        test_support::LargestAllocationDuring([&] { GaussianBlurGray(*image, 0, 0, 63, 47, sigma); });
    EXPECT_LT(largest, 1u << 16) << sigma;
    EXPECT_EQ(GreyValues(*image), expected) << sigma;
  }
  auto image = NoisyGrey(64, 48, 2);
  const auto before = GreyValues(*image);
  for (auto [l, t, r, b] :
       {std::array{INT_MAX, 0, INT_MIN, 47}, std::array{64, 0, 100, 47}, std::array{0, -9, 63, -1}})
    GaussianBlurGray(*image, l, t, r, b, 2.0);
  EXPECT_EQ(GreyValues(*image), before);
}

// ---------------------------------------------------------------- soft shadow

// A 24-bit picture of one colour with an opaque square object (alpha 0 round it).
std::unique_ptr<TRVBitmap> ShadowScene(int32_t size, int32_t left, int32_t top, int32_t right, int32_t bottom,
                                       uint8_t objectAlpha = 255, TRVPixelFormat format = rv24RGB) {
  auto b = std::make_unique<TRVBitmap>(size, size, format);
  b->Fill(0xC8C8C8);
  b->AlphaBitmap()->Fill(0);
  b->AlphaBitmap()->FillRect(left, top, right, bottom, objectAlpha);
  return b;
}

TEST(SoftShadow, BorderFollowsTheOffsetsAndTheRadius) {
  struct Case {
    int32_t dx, dy;
    double radius;
    int32_t border;
  };
  const Case cases[] = {
      {4, -2, 1, 13},           {0, 0, 0, 10},  {0, 0, 0.1, 1},           {-3, 7, 2.5, 26},
      {0, 0, std::nan(""), 10}, {0, 0, -4, 10}, {1000000, 0, 1, 2000005}, {INT_MIN, 0, 1, INT_MAX},
      {0, 0, 1e300, INT_MAX}};
  for (const Case& c : cases) {
    auto image = ShadowScene(40, 10, 10, 19, 19);
    const size_t largest = test_support::LargestAllocationDuring([&] {
      EXPECT_EQ(ApplySoftShadow(*image, c.dx, c.dy, c.radius, 100, 0, 10, 10, 19, 19), c.border)
          << c.dx << "," << c.radius;
    });
    EXPECT_LT(largest, 1u << 16);
  }
}

TEST(SoftShadow, ShadowLiesInTheMovedBoxAndTheObjectStays) {
  auto image = ShadowScene(40, 10, 10, 19, 19);
  ASSERT_EQ(ApplySoftShadow(*image, 4, -2, 1, 100, 0x102030, 10, 10, 19, 19), 13);
  TRVBitmap& alpha = *image->AlphaBitmap();
  EXPECT_FALSE(alpha.Full);
  // The object grown by half the border (6), moved by (4, -2): x 8..29, y 2..23.
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 0; x < 40; ++x) {
      const bool object = x >= 10 && x <= 19 && y >= 10 && y <= 19;
      const uint8_t s = alpha.GetPixels_rv8(x, y);
      const TRGB p = image->GetPixels(x, y);
      if (object) {
        ASSERT_EQ(s, 255) << x << "," << y;
        ASSERT_EQ(PackRGB(p), 0xC8C8C8u);
      } else if (x < 8 || x > 29 || y < 2 || y > 23) {
        ASSERT_EQ(s, 0) << x << "," << y;
      } else if (s > 0) {
        ASSERT_EQ(PackRGB(p), 0x102030u) << x << "," << y;
      }
    }
  EXPECT_GT(alpha.GetPixels_rv8(21, 12), 100);  // right of the object, where the shadow falls
  EXPECT_EQ(alpha.GetPixels_rv8(9, 19), 0);     // left of it, where it does not
}

// Intensity 100 keeps the shadow's alpha, 50 halves it and 0 takes a third.
TEST(SoftShadow, IntensityDividesTheShadowAlpha) {
  auto full = ShadowScene(40, 10, 10, 19, 19);
  ApplySoftShadow(*full, 3, 3, 2, 100, 0, 10, 10, 19, 19);
  int shadowPixels = 0;
  for (auto [intensity, divisor] :
       {std::pair{50, 2}, std::pair{0, 3}, std::pair{-20, 3}, std::pair{250, 1}}) {
    auto image = ShadowScene(40, 10, 10, 19, 19);
    ApplySoftShadow(*image, 3, 3, 2, intensity, 0, 10, 10, 19, 19);
    for (int32_t y = 0; y < 40; ++y)
      for (int32_t x = 0; x < 40; ++x) {
        const bool object = x >= 10 && x <= 19 && y >= 10 && y <= 19;
        const int s = full->AlphaBitmap()->GetPixels_rv8(x, y);
        ASSERT_EQ(image->AlphaBitmap()->GetPixels_rv8(x, y), object ? 255 : s / divisor)
            << intensity << " at " << x << "," << y;
        shadowPixels += !object && s > 0;
      }
  }
  EXPECT_GT(shadowPixels, 100);
}

TEST(SoftShadow, PartlyTransparentObjectIsMixedOverItsShadow) {
  auto image = ShadowScene(60, 10, 10, 49, 49, 128);
  image->FillRect(0, 0, 59, 59, 0xC8C8C8);
  ApplySoftShadow(*image, 0, 0, 1.5, 100, 0x000000, 10, 10, 49, 49);
  // Deep inside, the shadow alpha is the object's 128: the shadow colour under the pixel is
  // Trunc(127/255 x 200) = 99, the pixel Trunc(128/255 x 200 + 127/255 x 99) = 149 and the alpha
  // Trunc((128/255 + 128/255 x 127/255) x 255) = 191.
  EXPECT_EQ(PackRGB(image->GetPixels(30, 30)), 149u * 0x010101u);
  EXPECT_EQ(image->AlphaBitmap()->GetPixels_rv8(30, 30), 191);
}

// A radius of 0 blurs with the preset "Blur": one pass of the 3 x 3 average spreads the shadow
// one pixel beyond the box it was moved to.
TEST(SoftShadow, RadiusZeroTakesTheBlurPreset) {
  auto image = ShadowScene(30, 10, 10, 14, 14);
  EXPECT_EQ(ApplySoftShadow(*image, 2, 0, 0, 100, 0, 10, 10, 14, 14), 14);
  TRVBitmap& alpha = *image->AlphaBitmap();
  EXPECT_EQ(alpha.GetPixels_rv8(17, 12), 255 * 3 / 9);  // right of the object: a third of the square
  EXPECT_EQ(alpha.GetPixels_rv8(18, 12), 0);
}

// Other formats keep their pixels; one bit images turn the shadow black. In every format the
// object keeps its own alpha (the blurred and moved copy would make its edges transparent).
TEST(SoftShadow, OtherFormatsKeepTheirPixelsAndTheObjectItsAlpha) {
  for (TRVPixelFormat format : {rv1g, rv8g, rv16g}) {
    auto image = ShadowScene(40, 10, 10, 19, 19, 255, format);
    image->Fill(format == rv1g ? 0xFFFFFF : 0xC8C8C8);
    TRVBitmap before;
    before.Assign(image.get());
    ApplySoftShadow(*image, 6, 6, 1, 100, 0x0000FF, 10, 10, 19, 19);
    TRVBitmap& alpha = *image->AlphaBitmap();
    for (int32_t y = 10; y <= 19; ++y)
      for (int32_t x = 10; x <= 19; ++x) ASSERT_EQ(alpha.GetPixels_rv8(x, y), 255) << int(format);
    EXPECT_GT(alpha.GetPixels_rv8(24, 24), 0);
    const uint32_t shadow = PackRGB(image->GetPixels(24, 24));
    EXPECT_EQ(shadow, format == rv1g ? 0u : PackRGB(before.GetPixels(24, 24))) << int(format);
    EXPECT_EQ(PackRGB(image->GetPixels(12, 12)), PackRGB(before.GetPixels(12, 12)));
  }
}

TEST(SoftShadow, BadArguments) {
  struct Case {
    int32_t dx, dy;
    double radius;
    int32_t left, top, right, bottom;
  };
  const Case cases[] = {
      {1000000, 0, 1, 5, 5, 10, 10},
      {-1000000, 1000000, 1, 5, 5, 10, 10},
      {0, -1000000, std::nan(""), 5, 5, 10, 10},
      {3, 3, std::nan(""), 5, 5, 10, 10},
      {3, 3, 1e6, 5, 5, 10, 10},
      {3, 3, 1, 10, 10, 5, 5},
      {3, 3, 1, -100, -100, -90, -90},
      {3, 3, 1, INT_MIN, INT_MIN, INT_MAX, INT_MAX},
      {INT_MAX, INT_MIN, 1, 0, 0, 31, 31},
  };
  for (const Case& c : cases) {
    auto image = ShadowScene(32, 5, 5, 10, 10);
    const size_t largest = test_support::LargestAllocationDuring([&] {
      ApplySoftShadow(*image, c.dx, c.dy, c.radius, 50, 0x808080, c.left, c.top, c.right, c.bottom);
    });
    EXPECT_LT(largest, 1u << 16) << c.dx << "," << c.dy << "," << c.radius;
  }
  TRVBitmap empty;
  EXPECT_EQ(ApplySoftShadow(empty, 1, 1, 1, 50, 0, 0, 0, 5, 5), 7);
  EXPECT_TRUE(empty.IsEmpty());
}

// ---------------------------------------------------------------- presets, parameters, start-up

TEST(FilterPresets, NineNamedFiltersLiveWithTheLibrary) {
  ASSERT_EQ(FilterPresets.size(), 9u);
  ASSERT_EQ(FilterPresetNames.size(), 9u);
  const char* names[] = {"None",        "Blur",        "Edges",      "Emboss",    "High Pass 1",
                         "High Pass 2", "High Pass 3", "Low Pass 1", "Low Pass 2"};
  const int32_t divisors[] = {0, 9, 1, 1, 1, 1, 1, 10, 16};
  const int32_t centres[] = {1, 1, -8, 1, 5, 9, 5, 1, 4};
  const int32_t sums[] = {1, 9, 0, 1, 1, 1, 1, 9, 16};
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(FilterPresetNames[i], names[i]);
    EXPECT_EQ(FilterPresets[i].Divisor, divisors[i]) << names[i];
    EXPECT_EQ(FilterPresets[i].Values[4], centres[i]) << names[i];
    int32_t sum = 0;
    for (int32_t v : FilterPresets[i].Values) sum += v;
    EXPECT_EQ(sum, sums[i]) << names[i];
  }
  EXPECT_EQ(std::vector<int32_t>(FilterPresets[3].Values, FilterPresets[3].Values + 9),
            (std::vector<int32_t>{-1, 0, 1, -1, 1, 1, -1, 0, 1}));
  // "Blur" over a grey image: each pixel the average of its 3 x 3 neighbourhood.
  TRVBitmap g(3, 3, rv8g);
  g.Fill(0);
  g.SetPixels_rv8(1, 1, 90);
  Convolve3x3Gray(g, FilterPresets[1], 0, 0, 3, 3);
  EXPECT_EQ(g.GetPixels_rv8(0, 0), 10);
}

TEST(ProcStartup, BuildsThePresetsAndNumbersTheClipboardFormat) {
  RastovaLibraryShutdown();
  EXPECT_TRUE(FilterPresets.empty());
  EXPECT_TRUE(FilterPresetNames.empty());
  RastovaLibraryStartup();
  EXPECT_EQ(FilterPresets.size(), 9u);
  EXPECT_GE(RastovaRawClipboardFormat, 0xC000u);
  EXPECT_EQ(ClipboardFormatName(RastovaRawClipboardFormat), "RASTOVA RAW FORMAT");
  EXPECT_EQ(RegisterClipboardFormatName("RASTOVA RAW FORMAT"), RastovaRawClipboardFormat);
  const uint32_t other = RegisterClipboardFormatName("another format");
  EXPECT_NE(other, RastovaRawClipboardFormat);
  EXPECT_EQ(ClipboardFormatName(other), "another format");
  EXPECT_EQ(ClipboardFormatName(0), "");
  // The expansion table: pixel j of entry n is white when bit 7 - j is set.
  EXPECT_EQ(BWExpandTable()[0x41][3], 255);
  EXPECT_EQ(BWExpandTable()[0x41][0], 0);
  EXPECT_EQ(BWExpandTable()[0x41][21], 255);
}

TEST(IPDialogParams, ResetGivesTheDefaultsAndTheSettersEmptyTheStream) {
  TRastovaProc proc;
  TIPDialogParams& p = proc.DialogParams();
  EXPECT_EQ(p.GetValue1(), -1);
  EXPECT_EQ(p.GetValue4(), -1);
  for (int32_t v : p.Integers) EXPECT_EQ(v, 0);
  EXPECT_EQ(p.Filter.Values[4], 1);
  EXPECT_EQ(p.Filter.Divisor, 0);
  EXPECT_EQ(PackRGB(p.Colors[0]), 0u);
  EXPECT_EQ(PackRGB(p.Colors[1]), 0xFFFFFFu);
  EXPECT_EQ(PackRGB(p.Colors[3]), 0xFFFFFFu);
  EXPECT_EQ(PackRGB(p.Color5), 0xFFFFFFu);
  EXPECT_EQ(std::vector<int32_t>({p.Integer14, p.Integer15, p.Integer19, p.Integer20, p.Integer21,
                                  p.Integer22, p.Integer25, p.Integer26, p.Integer27}),
            (std::vector<int32_t>{150, 150, 150, 150, 10, 10, 1, 1, 4}));
  EXPECT_EQ(std::vector<int>({p.Flag1, p.Flag2, p.Flag3, p.Flag4, p.Flag5}),
            (std::vector<int>{0, 1, 1, 0, 1}));
  EXPECT_EQ(p.Double1, 1.7);
  EXPECT_EQ(p.Double2, 0.0);
  EXPECT_EQ(p.Double3, 1.0);
  using TSetter = void (TIPDialogParams::*)(int32_t);
  for (TSetter set : {&TIPDialogParams::SetValue1, &TIPDialogParams::SetValue2, &TIPDialogParams::SetValue3,
                      &TIPDialogParams::SetValue4}) {
    const uint8_t bytes[3] = {1, 2, 3};
    p.Stream().Write(bytes, 3);
    (p.*set)(7);
    EXPECT_EQ(p.Stream().GetSize(), 0);
  }
  EXPECT_EQ(p.GetValue3(), 7);
  p.Integers[5] = 9;
  p.Double1 = 0;
  p.Stream().Write("x", 1);
  p.Reset();
  EXPECT_EQ(p.GetValue3(), -1);
  EXPECT_EQ(p.Integers[5], 0);
  EXPECT_EQ(p.Double1, 1.7);
  EXPECT_EQ(p.Stream().GetSize(), 0);
}

}  // namespace
}  // namespace rv
