// The vector passes of the kernel resampler give the bytes of the scalar passes: every kernel,
// enlarging and reducing on either axis, odd widths, 24-bit with and without alpha, grey and
// 1-bit sources, weights that cancel to 0, and the vertical pass on worker threads.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVResample.h"
#include "rastova/core/RVResampleVector.h"

namespace rv {
namespace {

void FillNoise(TRVBitmap& b, uint32_t seed) {
  std::mt19937 rng(seed);
  const int32_t bytes = (b.GetWidth() * b.GetBitCount() + 7) / 8;
  for (int32_t y = 0; y < b.GetHeight(); ++y) {
    uint8_t* p = b.GetScanLine(y);
    for (int32_t i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(rng());
  }
}

std::vector<uint8_t> Pixels(TRVBitmap& b) {
  std::vector<uint8_t> v;
  const int32_t bytes = (b.GetWidth() * b.GetBitCount() + 7) / 8;
  for (int32_t y = 0; y < b.GetHeight(); ++y) {
    const uint8_t* p = b.GetScanLine(y);
    v.insert(v.end(), p, p + bytes);
  }
  if (b.HasAlphaBitmap()) {
    std::vector<uint8_t> a = Pixels(*b.AlphaBitmap());
    v.insert(v.end(), a.begin(), a.end());
  }
  return v;
}

// Restores the automatic choice of instructions and threads whatever the test does.
struct LevelScope {
  ~LevelScope() {
    testing::ResampleVectorLevel = -1;
    testing::ResampleThreadCount = 0;
  }
};

// What the processor has, whatever level a test has set.
int32_t ProcessorLevel() {
  const int32_t saved = testing::ResampleVectorLevel;
  testing::ResampleVectorLevel = -1;
  const int32_t level = resample_detail::ResampleVectorLevel();
  testing::ResampleVectorLevel = saved;
  return level;
}

enum class Kind { Rgb, RgbAlpha, Grey, Bw };

// One resampling at the given instruction level.
std::vector<uint8_t> Resample(TRVBitmap& src, int32_t dw, int32_t dh, TResampleFilter filter, Kind kind, int32_t level) {
  testing::ResampleVectorLevel = level;
  TRVPixelFormat destFormat = kind == Kind::Grey ? rv8g : rv24RGB;
  TRVBitmap dst(dw, dh, destFormat);
  dst.Fill(0);
  switch (kind) {
    case Kind::Rgb:
      ResampleFiltered(src, dst, filter, nullptr, TRVProgressEvent());
      break;
    case Kind::RgbAlpha: {
      ResampleFiltered(src, dst, filter, nullptr, TRVProgressEvent());
      dst.AlphaBitmap()->Fill(0);
      ResampleAlpha(*src.AlphaBitmap(), *dst.AlphaBitmap(), filter);
      break;
    }
    case Kind::Grey:
      ResampleGrayFiltered(src, dst, filter);
      break;
    case Kind::Bw:
      ResampleBWFiltered(src, dst, filter);
      break;
  }
  return Pixels(dst);
}

std::string FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size()) return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i])
      return "byte " + std::to_string(i) + ": " + std::to_string(a[i]) + " against " + std::to_string(b[i]);
  return "";
}

// Every level the processor has against the scalar passes.
void ExpectSameBytes(TRVBitmap& src, int32_t dw, int32_t dh, TResampleFilter filter, Kind kind) {
  LevelScope restore;
  const int32_t processor = ProcessorLevel();
  const std::vector<uint8_t> reference = Resample(src, dw, dh, filter, kind, 0);
  for (int32_t level = 1; level <= processor; ++level) {
    const std::vector<uint8_t> fast = Resample(src, dw, dh, filter, kind, level);
    EXPECT_EQ(FirstDifference(fast, reference), "")
        << "level " << level << " filter " << filter << " kind " << static_cast<int>(kind) << " " << src.GetWidth()
        << "x" << src.GetHeight() << " -> " << dw << "x" << dh;
  }
}

TEST(ResampleVector, SameBytesAsTheScalarPassesOverSizesAndKernels) {
  ASSERT_GE(ProcessorLevel(), 1) << "every x86-64 processor in use has SSE4.1";
  // Sizes on either axis, enlarging and reducing, with odd widths; each against every kernel.
  const int32_t sizes[][4] = {{1, 7, 16, 3},    {2, 3, 17, 511}, {3, 2, 7, 1},      {7, 16, 2, 17},
                              {16, 1, 1, 2},    {17, 511, 3, 7}, {511, 17, 1024, 16}, {1024, 3, 511, 2},
                              {4000, 2, 17, 3}, {3, 4000, 7, 16}, {33, 29, 97, 61},  {97, 61, 33, 29}};
  uint32_t seed = 1;
  for (const auto& s : sizes) {
    TRVBitmap rgb(s[0], s[1], rv24RGB);
    FillNoise(rgb, seed++);
    for (int f = rfTriangle; f <= rfLinear; ++f) ExpectSameBytes(rgb, s[2], s[3], static_cast<TResampleFilter>(f), Kind::Rgb);
  }
}

TEST(ResampleVector, SameBytesForAlphaGreyAndOneBitSources) {
  const int32_t sizes[][4] = {{45, 31, 17, 77}, {200, 9, 33, 40}, {9, 200, 40, 33}, {1, 5, 19, 3}};
  uint32_t seed = 100;
  for (const auto& s : sizes) {
    TRVBitmap alpha(s[0], s[1], rv24RGB);
    FillNoise(alpha, seed++);
    alpha.AlphaBitmap();  // makes the channel
    FillNoise(*alpha.AlphaBitmap(), seed++);
    TRVBitmap grey(s[0], s[1], rv8g);
    FillNoise(grey, seed++);
    TRVBitmap bw(s[0], s[1], rv1g);
    FillNoise(bw, seed++);
    for (int f = rfTriangle; f <= rfLinear; ++f) {
      auto filter = static_cast<TResampleFilter>(f);
      ExpectSameBytes(alpha, s[2], s[3], filter, Kind::RgbAlpha);
      ExpectSameBytes(grey, s[2], s[3], filter, Kind::Grey);
      ExpectSameBytes(bw, s[2], s[3], filter, Kind::Bw);
    }
  }
}

TEST(ResampleVector, SameBytesWhenWeightsCancelOrAreFine) {
  // Extreme values make Lanczos's negative lobes count; strong reductions take the finer
  // weights whose sums no 16-bit vector can hold (the scalar pass serves them).
  TRVBitmap stripes(64, 40, rv24RGB);
  for (int32_t y = 0; y < 40; ++y) {
    uint8_t* p = stripes.GetScanLine(y);
    for (int32_t i = 0; i < 64 * 3; ++i) p[i] = ((i / 3 + y) % 2) ? 255 : 0;
  }
  for (auto [dw, dh] : {std::pair{150, 97}, {63, 39}, {5, 3}, {128, 80}}) ExpectSameBytes(stripes, dw, dh, rfLanczos3, Kind::Rgb);
  TRVBitmap wide(3000, 2, rv24RGB);
  FillNoise(wide, 7);
  ExpectSameBytes(wide, 2, 2, rfLanczos3, Kind::Rgb);
  ExpectSameBytes(wide, 1, 1, rfMitchell, Kind::Rgb);
}

TEST(ResampleVector, DivisionByMultiplyAndShiftIsExact) {
  // Every divisor a weight sum of the passes can have (up to 2^22), over the sums that decide
  // the result: each multiple of the divisor, one below, and the clamping ends.
  for (int32_t d : {1, 2, 3, 7, 255, 256, 257, 1000, 65535, 65536, 99991, 1 << 20, (1 << 22) - 1, 1 << 22}) {
    resample_detail::TVectorAxis axis;
    std::vector<TContributorList> lists{TContributorList{TContributor{0, d}}};
    axis = resample_detail::BuildVerticalAxis(lists, 1);
    if (d > 32767) {
      EXPECT_FALSE(axis.Usable);  // the weight itself no longer fits 16 bits
      continue;
    }
    ASSERT_TRUE(axis.Usable) << d;
    const resample_detail::TReciprocal& r = axis.Divide[0];
    for (int64_t q = 0; q <= 256; ++q) {
      for (int64_t sum : {q * d - 1, q * d, q * d + d / 2}) {
        if (sum < -1 || sum > INT32_MAX) continue;
        uint32_t x = sum < 0 ? 0u : static_cast<uint32_t>(std::min<int64_t>(sum, r.Limit));
        int64_t got = static_cast<int64_t>((static_cast<uint64_t>(x) * r.Magic) >> axis.Shift);
        int64_t want = sum < 0 ? 0 : std::min<int64_t>(sum / d, 255);
        ASSERT_EQ(got, want) << "divisor " << d << " sum " << sum;
      }
    }
  }
}

TEST(ResampleVector, VerticalBandsOnWorkersReportProgressInOrder) {
  TRVBitmap src(300, 200, rv24RGB);
  FillNoise(src, 3);
  LevelScope restore;
  std::vector<uint8_t> reference;
  std::vector<int32_t> referenceProgress;
  for (int32_t threads : {1, 3, 8}) {
    testing::ResampleThreadCount = threads;
    TRVBitmap dst(123, 301, rv24RGB);
    std::vector<int32_t> seen;
    ResampleFiltered(src, dst, rfLanczos3, nullptr, [&](void*, int32_t per) { seen.push_back(per); });
    if (threads == 1) {
      reference = Pixels(dst);
      referenceProgress = seen;
      continue;
    }
    EXPECT_EQ(Pixels(dst), reference) << threads;
    // The horizontal pass reports from band 0 only, so the figures before the vertical pass
    // differ with the band count; the vertical pass's figures are the same in the same order.
    auto vertical = [](const std::vector<int32_t>& v) {
      std::vector<int32_t> out;
      for (int32_t p : v)
        if (p >= 40) out.push_back(p);  // 200 / (200 + 301 + 0.5) x 100 = 39.9
      return out;
    };
    EXPECT_EQ(vertical(seen), vertical(referenceProgress)) << threads;
  }
}

}  // namespace
}  // namespace rv
