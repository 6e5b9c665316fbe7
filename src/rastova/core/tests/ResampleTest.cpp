// The kernel resampler against results computed independently (tests/data/resample_reference.py),
// its threading, file-backed sources, strong reductions and 1 x 1 sources.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVResample.h"
#include "rastova/core/RVUtils.h"

namespace rv {
namespace {

// The test patterns of the reference script.
void FillPattern24(TRVBitmap& b) {
  for (int32_t y = 0; y < b.GetHeight(); ++y) {
    uint8_t* p = b.GetScanLine(y);
    for (int32_t x = 0; x < b.GetWidth(); ++x) {
      p[3 * x] = static_cast<uint8_t>((x * 37 + y * 91 + 13) % 256);
      p[3 * x + 1] = static_cast<uint8_t>((x * x * 7 + y * 3 + 200) % 256);
      p[3 * x + 2] = static_cast<uint8_t>((x * y * 11 + (x ^ y) * 29) % 256);
    }
  }
}

void FillPattern8(TRVBitmap& b) {
  for (int32_t y = 0; y < b.GetHeight(); ++y) {
    uint8_t* p = b.GetScanLine(y);
    for (int32_t x = 0; x < b.GetWidth(); ++x) p[x] = static_cast<uint8_t>((x * 53 + y * y * 17 + 5) % 256);
  }
}

std::vector<uint8_t> ResampledPixels(TRVBitmap& b) {
  std::vector<uint8_t> v;
  int32_t bytes = (b.GetWidth() * b.GetBitCount() + 7) / 8;
  for (int32_t y = 0; y < b.GetHeight(); ++y) {
    const uint8_t* p = b.GetScanLine(y);
    v.insert(v.end(), p, p + bytes);
  }
  return v;
}

struct Reference {
  struct Weights {
    int filter, src, dst;
    std::vector<std::string> lists;
  };
  struct Pass {
    int channels, filter, sw, sh, dw, dh;
    std::vector<uint8_t> pixels;
  };
  std::vector<Weights> weights;
  std::vector<Pass> passes;
};

const Reference& LoadReference() {
  static Reference ref = [] {
    Reference r;
    std::ifstream in(std::string(ZEPHOR_TEST_DATA_DIR) + "/resample_reference.txt");
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream s(line);
      std::string kind;
      s >> kind;
      if (kind == "weights") {
        Reference::Weights w{};
        s >> w.filter >> w.src >> w.dst;
        for (int i = 0; i < w.dst && std::getline(in, line); ++i) w.lists.push_back(line);
        r.weights.push_back(w);
      } else if (kind == "pass") {
        Reference::Pass p{};
        s >> p.channels >> p.filter >> p.sw >> p.sh >> p.dw >> p.dh;
        for (int i = 0; i < p.dh && std::getline(in, line); ++i) {
          std::istringstream rs(line);
          int v;
          while (rs >> v) p.pixels.push_back(static_cast<uint8_t>(v));
        }
        r.passes.push_back(p);
      }
    }
    return r;
  }();
  return ref;
}

TEST(ResampleWeights, MatchTheReferenceForEveryKernel) {
  const Reference& ref = LoadReference();
  ASSERT_EQ(ref.weights.size(), 8u * 7u);
  for (const auto& w : ref.weights) {
    auto lists = BuildContributorLists(w.src, w.dst, static_cast<TResampleFilter>(w.filter));
    ASSERT_EQ(lists.size(), static_cast<size_t>(w.dst));
    for (int i = 0; i < w.dst; ++i) {
      std::string text;
      for (const TContributor& c : lists[static_cast<size_t>(i)]) {
        if (!text.empty()) text += ' ';
        text += std::to_string(c.Pixel) + ":" + std::to_string(c.Weight);
      }
      EXPECT_EQ(text, w.lists[static_cast<size_t>(i)])
          << "filter " << w.filter << " " << w.src << " -> " << w.dst << " position " << i;
    }
  }
}

TEST(ResampleWeights, ScaleMapsCornersOntoCorners) {
  EXPECT_DOUBLE_EQ(ResampleAxisScale(2, 3), 2.0);
  EXPECT_DOUBLE_EQ(ResampleAxisScale(1, 4), 4.0);
  EXPECT_DOUBLE_EQ(ResampleAxisScale(9, 1), 1.0 / 9.0);
  EXPECT_DOUBLE_EQ(ResampleAxisScale(13, 4), 3.0 / 12.0);
}

TEST(ResampleWeights, KernelValues) {
  EXPECT_DOUBLE_EQ(FilterTriangle(0.25), 0.75);
  EXPECT_DOUBLE_EQ(FilterBox(0.5), 1.0);
  EXPECT_DOUBLE_EQ(FilterBox(-0.5), 0.0);
  EXPECT_DOUBLE_EQ(FilterLinear(-1.0), 0.0);
  EXPECT_DOUBLE_EQ(FilterLanczos3(0.0), 1.0);
  EXPECT_DOUBLE_EQ(FilterLanczos3(3.0), 0.0);
  EXPECT_NEAR(FilterLanczos3(1.5), -0.1350949, 1e-6);
  EXPECT_NEAR(FilterMitchell(0.0), 16.0 / 18.0, 1e-15);
  EXPECT_NEAR(FilterBSpline(1.0), 1.0 / 6.0, 1e-15);
  EXPECT_DOUBLE_EQ(SinC(0.0), 1.0);
}

TEST(ResamplePasses, MatchTheReferenceOn24BitAndGreyImages) {
  const Reference& ref = LoadReference();
  ASSERT_EQ(ref.passes.size(), 8u * 6u * 2u);
  for (const auto& p : ref.passes) {
    TRVPixelFormat format = p.channels == 3 ? rv24RGB : rv8g;
    TRVBitmap src(p.sw, p.sh, format), dst(p.dw, p.dh, format);
    if (p.channels == 3) {
      FillPattern24(src);
      ResampleFiltered(src, dst, static_cast<TResampleFilter>(p.filter), nullptr, TRVProgressEvent());
    } else {
      FillPattern8(src);
      ResampleGrayFiltered(src, dst, static_cast<TResampleFilter>(p.filter));
    }
    EXPECT_EQ(ResampledPixels(dst), p.pixels) << "channels " << p.channels << " filter " << p.filter << " " << p.sw << "x"
                                     << p.sh << " -> " << p.dw << "x" << p.dh;
  }
}

TEST(ResamplePasses, EnlargingTwoByTwoKeepsTheCorners) {
  TRVBitmap src(2, 2, rv24RGB), dst(3, 3, rv24RGB);
  FillPattern24(src);
  ResampleFiltered(src, dst, rfTriangle, nullptr, TRVProgressEvent());
  for (auto [sx, sy, dx, dy] : {std::array{0, 0, 0, 0}, {1, 0, 2, 0}, {0, 1, 0, 2}, {1, 1, 2, 2}})
    EXPECT_EQ(dst.GetPixels_rv24RGB(dx, dy), src.GetPixels_rv24RGB(sx, sy));
}

TEST(ResampleThreads, OneAndEightThreadsAndAFileBackedSourceGiveTheSameImage) {
  struct Case {
    int sw, sh, dw, dh;
    TResampleFilter filter;
  };
  for (Case c : {Case{301, 203, 97, 151, rfLanczos3}, Case{64, 45, 130, 99, rfMitchell}, Case{33, 5, 12, 17, rfBell}}) {
    TRVBitmap src(c.sw, c.sh, rv24RGB);
    FillPattern24(src);
    std::vector<std::vector<uint8_t>> results;
    for (int threads : {1, 8, 3}) {
      testing::ResampleThreadCount = threads;
      TRVBitmap dst(c.dw, c.dh, rv24RGB);
      ResampleFiltered(src, dst, c.filter, nullptr, TRVProgressEvent());
      results.push_back(ResampledPixels(dst));
    }
    testing::ResampleThreadCount = 0;
    TRVBitmap fileSrc;
    fileSrc.MemoryThreshold = 0;
    fileSrc.Allocate(c.sw, c.sh, rv24RGB);
    ASSERT_EQ(fileSrc.GetLocation(), rvInTempFile);
    for (int32_t y = 0; y < c.sh; ++y) std::memcpy(fileSrc.GetScanLine(y), src.GetScanLine(y), static_cast<size_t>(c.sw) * 3);
    TRVBitmap dst(c.dw, c.dh, rv24RGB);
    ResampleFiltered(fileSrc, dst, c.filter, nullptr, TRVProgressEvent());
    results.push_back(ResampledPixels(dst));
    for (size_t i = 1; i < results.size(); ++i) EXPECT_EQ(results[i], results[0]) << c.sw << "x" << c.sh << " run " << i;
  }
}

TEST(ResampleThreads, ProgressRunsToTheEndOnce) {
  TRVBitmap src(50, 40, rv24RGB), dst(20, 30, rv24RGB);
  FillPattern24(src);
  std::vector<int32_t> seen;
  int marker = 0;
  testing::ResampleThreadCount = 4;
  ResampleFiltered(src, dst, rfLanczos3, &marker, [&](void* sender, int32_t per) {
    EXPECT_EQ(sender, &marker);
    seen.push_back(per);
  });
  testing::ResampleThreadCount = 0;
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), 99);  // Trunc(70 / 70.5 x 100)
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_LT(seen[i - 1], seen[i]);
}

// Reductions of several hundred times give 8-bit weights that all round to 0; the image must
// still come out as the average of its spans, not black.
TEST(ResampleStrongReduction, KeepsTheAverage) {
  struct Case {
    int sw, sh, dw, dh;
    TResampleFilter filter;
  };
  for (Case c : {Case{1200, 2, 3, 2, rfLanczos3}, Case{2048, 1, 4, 1, rfMitchell}, Case{3, 1600, 3, 2, rfBSpline},
                 Case{5000, 3, 1, 1, rfLanczos3}, Case{600, 600, 1, 1, rfTriangle}, Case{4096, 1, 2, 1, rfNearest}}) {
    for (bool grey : {false, true}) {
      TRVBitmap src(c.sw, c.sh, grey ? rv8g : rv24RGB), dst(c.dw, c.dh, grey ? rv8g : rv24RGB);
      src.Fill(grey ? 200 : 0x3080C8);  // TColor: red C8, green 80, blue 30
      dst.Fill(0);
      ResampleFiltered(src, dst, c.filter, nullptr, TRVProgressEvent());
      for (int32_t y = 0; y < c.dh; ++y) {
        for (int32_t x = 0; x < c.dw; ++x) {
          if (grey) {
            EXPECT_EQ(dst.GetPixels_rv8(x, y), 200) << c.sw << " -> " << c.dw;
          } else {
            TRGB p = dst.GetPixels_rv24RGB(x, y);
            EXPECT_EQ(p.r, 0xC8) << c.sw << " -> " << c.dw;
            EXPECT_EQ(p.g, 0x80);
            EXPECT_EQ(p.b, 0x30);
          }
        }
      }
    }
  }
  // A ramp keeps its mean: the middle of three outputs of a 1200-pixel ramp is mid-grey.
  TRVBitmap ramp(1200, 1, rv8g), out(3, 1, rv8g);
  for (int32_t x = 0; x < 1200; ++x) ramp.GetScanLine(0)[x] = static_cast<uint8_t>(x * 255 / 1199);
  ResampleFiltered(ramp, out, rfLanczos3, nullptr, TRVProgressEvent());
  EXPECT_NEAR(out.GetPixels_rv8(1, 0), 127, 3);
  EXPECT_LT(out.GetPixels_rv8(0, 0), 60);
  EXPECT_GT(out.GetPixels_rv8(2, 0), 195);
}

TEST(ResampleOnePixel, SourceIsReplicatedByEveryFilter) {
  for (int f = rfTriangle; f <= rfBicubic; ++f) {
    TRVBitmap src(1, 1, rv24RGB), dst(5, 4, rv24RGB);
    src.SetPixels_rv24RGB(0, 0, 0x123456);
    dst.Fill(0);
    ResampleFiltered(src, dst, static_cast<TResampleFilter>(f), nullptr, TRVProgressEvent());
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(PackRGB(dst.GetPixels_rv24RGB(x, y)), 0x123456u) << "filter " << f;
    TRVBitmap g(1, 1, rv8g), gd(3, 7, rv8g);
    g.GetScanLine(0)[0] = 77;
    gd.Fill(0);
    ResampleGrayFiltered(g, gd, static_cast<TResampleFilter>(f));
    for (int32_t y = 0; y < 7; ++y)
      for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(gd.GetPixels_rv8(x, y), 77) << "filter " << f;
  }
}

TEST(ResampleDispatch, OtherFormatsGoThrough24Bit) {
  // Bilinear on 32-bit RGB behaves like the triangle kernel after conversion; the destination
  // ends up 24-bit.
  TRVBitmap src32(9, 7, rv32RGB), src24(9, 7, rv24RGB);
  FillPattern24(src24);
  for (int32_t y = 0; y < 7; ++y)
    for (int32_t x = 0; x < 9; ++x) src32.SetPixels_rv32RGB(x, y, PackRGB(src24.GetPixels_rv24RGB(x, y)));
  TRVBitmap a(4, 12, rv32RGB), b(4, 12, rv24RGB);
  ResampleFiltered(src32, a, rfBilinear, nullptr, TRVProgressEvent());
  ResampleFiltered(src24, b, rfTriangle, nullptr, TRVProgressEvent());
  EXPECT_EQ(a.GetPixelFormat(), rv24RGB);
  EXPECT_EQ(ResampledPixels(a), ResampledPixels(b));

  // A 1-bit source through the kernel path reads its bits as 0 and 255.
  TRVBitmap bw(8, 2, rv1g), rgb(4, 1, rv24RGB);
  bw.GetScanLine(0)[0] = 0xF0;
  bw.GetScanLine(1)[0] = 0xF0;
  ResampleBWFiltered(bw, rgb, rfNearest);
  EXPECT_EQ(rgb.GetPixels_rv24RGB(0, 0).g, 255);
  EXPECT_EQ(rgb.GetPixels_rv24RGB(3, 0).r, 0);
}

}  // namespace
}  // namespace rv
