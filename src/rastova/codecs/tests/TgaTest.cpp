#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "TestTools.h"
#include "rastova/codecs/CodecUtils.h"
#include "rastova/codecs/tga/rvtgafil.h"

namespace rv {
namespace {

using namespace test;

struct ReadResult {
  TRVBitmap bitmap;
  TIOParamsVals params;
  std::unique_ptr<TRVMask> mask;
  bool ok = false;
};

std::unique_ptr<ReadResult> ReadTga(const std::vector<uint8_t>& data, bool ignoreAlpha = false, int64_t offset = 0) {
  auto r = std::make_unique<ReadResult>();
  auto s = StreamOf(data);
  s->SetPosition(offset);
  TRVProgressRec progress;
  ReadTGAStream(*s, r->bitmap, r->params, ignoreAlpha, r->mask, false, progress);
  r->ok = !progress.IsAborting();
  return r;
}

std::vector<uint8_t> WriteTga(TRVBitmap& bitmap, TIOParamsVals& params, TRVMask* mask, bool* ok = nullptr) {
  TMemoryStream s;
  TRVProgressRec progress;
  WriteTGAStream(s, bitmap, params, mask, progress);
  if (ok) *ok = !progress.IsAborting();
  return s.Data();
}

uint16_t Le16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }
uint32_t TgaLe32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(Le16(b, at)) | (uint32_t(Le16(b, at + 2)) << 16);
}

// A Targa file built by hand: header, optional colour map, the given pixel bytes, no footer.
std::vector<uint8_t> BuildTga(uint8_t type, uint8_t depth, uint8_t descriptor, uint16_t w, uint16_t h,
                              const std::vector<uint8_t>& pixels, uint8_t mapType = 0, uint16_t first = 0,
                              uint16_t length = 0, uint8_t entry = 0, const std::vector<uint8_t>& map = {}) {
  std::vector<uint8_t> b(18, 0);
  b[1] = mapType;
  b[2] = type;
  b[3] = uint8_t(first);
  b[4] = uint8_t(first >> 8);
  b[5] = uint8_t(length);
  b[6] = uint8_t(length >> 8);
  b[7] = entry;
  b[12] = uint8_t(w);
  b[13] = uint8_t(w >> 8);
  b[14] = uint8_t(h);
  b[15] = uint8_t(h >> 8);
  b[16] = depth;
  b[17] = descriptor;
  Append(b, map);
  Append(b, pixels);
  return b;
}

// ---------------------------------------------------------------- round trips through our writer

TEST(Targa, RoundTripEveryOutputDepth) {
  struct Case {
    const char* name;
    int samples, bits;
    bool grey, compressed, alpha;
    uint8_t type, depth;
  };
  const Case cases[] = {
      {"4-bit map", 1, 4, false, true, false, 1, 4},
      {"8-bit map", 1, 8, false, false, false, 1, 8},
      {"8-bit map RLE", 1, 8, false, true, false, 9, 8},
      {"8-bit grey", 1, 8, true, false, false, 3, 8},
      {"8-bit grey RLE", 1, 8, true, true, false, 11, 8},
      {"24-bit", 3, 8, false, false, false, 2, 24},
      {"24-bit RLE", 3, 8, false, true, false, 10, 24},
      {"32-bit (RLE asked)", 3, 8, false, true, true, 2, 32},
  };
  const int w = 13, h = 7;
  for (const auto& c : cases) {
    const bool few = c.samples == 1 && !c.grey;
    TRVBitmap src;
    FillTestBitmap(src, w, h, few);
    auto mask = TestAlphaMask(w, h);
    TIOParamsVals p;
    p.SamplesPerPixel = c.samples;
    p.BitsPerSample = c.bits;
    p.TGA_GrayLevel = c.grey;
    p.TGA_Compressed = c.compressed;
    bool ok = false;
    auto file = WriteTga(src, p, c.alpha ? mask.get() : nullptr, &ok);
    ASSERT_TRUE(ok) << c.name;
    EXPECT_EQ(file[2], c.type) << c.name;
    EXPECT_EQ(file[16], c.depth) << c.name;
    auto r = ReadTga(file);
    ASSERT_TRUE(r->ok) << c.name;
    if (c.grey) {
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const Rgba e = TestPixel(x, y);
          const int g = (e.r * 21 + e.g * 71 + e.b * 8) / 100;
          ASSERT_EQ(PixelOf(r->bitmap, x, y).g, g) << c.name;
        }
      EXPECT_TRUE(r->params.TGA_GrayLevel);
    } else {
      ExpectPicture(r->bitmap, w, h, few, c.name);
    }
    if (c.alpha) {
      ASSERT_TRUE(r->mask) << c.name;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ASSERT_EQ(r->mask->GetPixel(x, y), TestPixel(x, y).a) << c.name;
      EXPECT_FALSE(p.TGA_Compressed) << "a 32-bit save reports it was written uncompressed";
    } else {
      EXPECT_FALSE(r->mask) << c.name;
    }
  }
}

TEST(Targa, OneBitFromTwoColoursAndBack) {
  TRVBitmap src(9, 3, rv24RGB);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 9; ++x) src.SetPixels(x, y, ((x + y) % 3 == 0) ? 0x2040A0 : 0xF0E0D0);
  TIOParamsVals p;
  p.SamplesPerPixel = 1;
  p.BitsPerSample = 1;
  auto file = WriteTga(src, p, nullptr);
  EXPECT_EQ(file[2], 3);
  EXPECT_EQ(file[16], 1);
  auto r = ReadTga(file);
  ASSERT_TRUE(r->ok);
  ASSERT_EQ(r->bitmap.GetPixelFormat(), rv1g);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 9; ++x) EXPECT_EQ(r->bitmap.GetPixels_rv1g(x, y), (x + y) % 3 != 0);
}

TEST(Targa, SculptMapByteLayout) {
  TRVBitmap src;
  FillTestBitmap(src, 8, 8);
  auto mask = TestAlphaMask(8, 8);
  TIOParamsVals p;
  p.TGA_Author = "DURIM PROJECT Ver.3.0";
  p.TGA_ImageName = "sculpt_001.tga";
  p.TGA_Compressed = true;
  ASSERT_TRUE(codecs::TryEncodeDateTime(2024, 2, 29, 13, 45, 59, p.TGA_Date));
  auto f = WriteTga(src, p, mask.get());
  ASSERT_EQ(f.size(), 18u + 1 + 8 * 8 * 4 + 495 + 26);
  EXPECT_EQ(f[0], 1);  // empty ID and its zero byte
  EXPECT_EQ(f[1], 0);
  EXPECT_EQ(f[2], 2);
  EXPECT_EQ(f[16], 32);
  EXPECT_EQ(f[17], 0x28);
  const size_t foot = f.size() - 26;
  EXPECT_EQ(std::string(f.begin() + long(foot) + 8, f.end()), std::string("TRUEVISION-XFILE.\0", 18));
  EXPECT_EQ(TgaLe32(f, foot + 4), 0u);
  const size_t ext = TgaLe32(f, foot);
  EXPECT_EQ(ext, 18u + 1 + 256);
  EXPECT_EQ(Le16(f, ext), 495);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[ext + 2])), "DURIM PROJECT Ver.3.0");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[ext + 379])), "sculpt_001.tga");
  EXPECT_EQ(Le16(f, ext + 367), 2);
  EXPECT_EQ(Le16(f, ext + 369), 29);
  EXPECT_EQ(Le16(f, ext + 371), 2024);
  EXPECT_EQ(Le16(f, ext + 377), 59);
  EXPECT_EQ(Le16(f, ext + 478), 22000);
  EXPECT_EQ(Le16(f, ext + 480), 10000);
  EXPECT_EQ(Le16(f, ext + 474), 10000);
  // First pixel: blue, green, red, alpha of the top row.
  EXPECT_EQ(f[19], TestPixel(0, 0).b);
  EXPECT_EQ(f[22], TestPixel(0, 0).a);
}

TEST(Targa, ExtensionAreaAndIdRoundTrip) {
  TRVBitmap src;
  FillTestBitmap(src, 5, 4);
  TIOParamsVals p;
  p.TGA_Author = std::string(50, 'a');
  p.TGA_ImageName = "job";
  p.TGA_Descriptor = "id-text";
  p.TGA_XPos = 12;
  p.TGA_YPos = 34;
  p.TGA_Background = MakeRGB(255, 128, 1);
  p.TGA_Gamma = 2.2;
  p.TGA_AspectRatio = 1.0;
  ASSERT_TRUE(codecs::TryEncodeDateTime(2001, 12, 31, 23, 59, 58, p.TGA_Date));
  auto r = ReadTga(WriteTga(src, p, nullptr));
  ASSERT_TRUE(r->ok);
  EXPECT_EQ(r->params.TGA_Author, std::string(40, 'a'));  // the field holds 40 characters
  EXPECT_EQ(r->params.TGA_ImageName, "job");
  EXPECT_EQ(r->params.TGA_Descriptor, std::string("id-text\0", 8));
  EXPECT_EQ(r->params.TGA_XPos, 12);
  EXPECT_EQ(r->params.TGA_YPos, 34);
  EXPECT_EQ(r->params.TGA_Background, MakeRGB(255, 128, 1));
  EXPECT_DOUBLE_EQ(r->params.TGA_Gamma, 2.2);
  EXPECT_DOUBLE_EQ(r->params.TGA_AspectRatio, 1.0);
  EXPECT_DOUBLE_EQ(r->params.TGA_Date, p.TGA_Date);
  EXPECT_EQ(r->params.DpiX, 300);
  EXPECT_EQ(r->params.ImageCount, 1);
  // An ID too long for its length byte is cut so that it and its zero byte fit.
  p.TGA_Descriptor = std::string(300, 'x');
  auto f = WriteTga(src, p, nullptr);
  EXPECT_EQ(f[0], 255);
  auto r2 = ReadTga(f);
  ASSERT_TRUE(r2->ok);
  EXPECT_EQ(r2->params.TGA_Descriptor, std::string(254, 'x') + std::string(1, '\0'));
  ExpectPicture(r2->bitmap, 5, 4, false, "long id");
}

TEST(Targa, FileWithoutFooterGetsDefaults) {
  std::vector<uint8_t> px(2 * 2 * 3, 9);
  auto r = ReadTga(BuildTga(2, 24, 0, 2, 2, px));
  ASSERT_TRUE(r->ok);
  EXPECT_TRUE(r->params.TGA_Author.empty());
  EXPECT_DOUBLE_EQ(r->params.TGA_Gamma, 2.2);
  EXPECT_DOUBLE_EQ(r->params.TGA_AspectRatio, 1.0);
  EXPECT_EQ(r->params.TGA_Date, DateToday());
}

// ---------------------------------------------------------------- reader variants

TEST(Targa, OrientationsAndRunsAcrossRows) {
  // 3 x 2, 24-bit: rows A (top) and B.
  const std::vector<uint8_t> top = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  const std::vector<uint8_t> bottom = {10, 11, 12, 13, 14, 15, 16, 17, 18};
  auto rows = [](const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    std::vector<uint8_t> v = a;
    Append(v, b);
    return v;
  };
  auto bottomUp = ReadTga(BuildTga(2, 24, 0x00, 3, 2, rows(bottom, top)));
  auto topDown = ReadTga(BuildTga(2, 24, 0x20, 3, 2, rows(top, bottom)));
  ASSERT_TRUE(bottomUp->ok && topDown->ok);
  for (int y = 0; y < 2; ++y)
    EXPECT_EQ(std::memcmp(bottomUp->bitmap.GetScanLine(y), topDown->bitmap.GetScanLine(y), 9), 0);
  EXPECT_EQ(topDown->bitmap.GetScanLine(0)[0], 1);

  // A run of 6 equal pixels spanning both rows equals two runs of 3.
  const std::vector<uint8_t> px = {9, 8, 7};
  std::vector<uint8_t> span = {0x85};
  Append(span, px);
  std::vector<uint8_t> split = {0x82, 9, 8, 7, 0x82, 9, 8, 7};
  auto a = ReadTga(BuildTga(10, 24, 0x20, 3, 2, span));
  auto b = ReadTga(BuildTga(10, 24, 0x20, 3, 2, split));
  ASSERT_TRUE(a->ok && b->ok);
  for (int y = 0; y < 2; ++y) EXPECT_EQ(std::memcmp(a->bitmap.GetScanLine(y), b->bitmap.GetScanLine(y), 9), 0);
  // A raw packet spanning rows, too.
  std::vector<uint8_t> rawSpan = {0x05};
  for (int i = 0; i < 18; ++i) rawSpan.push_back(uint8_t(i));
  auto c = ReadTga(BuildTga(10, 24, 0x20, 3, 2, rawSpan));
  ASSERT_TRUE(c->ok);
  EXPECT_EQ(c->bitmap.GetScanLine(1)[0], 9);
}

TEST(Targa, SixteenBitAndGreyAndPaletteAlpha) {
  // 16-bit: white, pure red, pure green, pure blue.
  const std::vector<uint8_t> px = {0xFF, 0x7F, 0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00};
  auto r = ReadTga(BuildTga(2, 16, 0x20, 4, 1, px));
  ASSERT_TRUE(r->ok);
  EXPECT_EQ(r->params.BitsPerSample, 5);
  EXPECT_EQ(r->params.SamplesPerPixel, 3);
  EXPECT_EQ(PixelOf(r->bitmap, 0, 0).r, 248);
  EXPECT_EQ(PixelOf(r->bitmap, 1, 0).r, 248);
  EXPECT_EQ(PixelOf(r->bitmap, 1, 0).g, 0);
  EXPECT_EQ(PixelOf(r->bitmap, 2, 0).g, 248);
  EXPECT_EQ(PixelOf(r->bitmap, 3, 0).b, 248);

  // 8-bit without a map is grey; saving it again with the parameters read keeps it grey.
  auto g = ReadTga(BuildTga(3, 8, 0x20, 3, 1, {0, 100, 255}));
  ASSERT_TRUE(g->ok);
  EXPECT_TRUE(g->params.TGA_GrayLevel);
  EXPECT_EQ(PixelOf(g->bitmap, 1, 0).r, 100);
  auto again = WriteTga(g->bitmap, g->params, nullptr);
  EXPECT_EQ(again[1], 0);
  EXPECT_EQ(again[2], 3);  // grey, uncompressed as it was read
  auto g2 = ReadTga(again);
  EXPECT_EQ(PixelOf(g2->bitmap, 2, 0).r, 255);

  // 8-bit with a 32-bit map: alpha from the map.
  const std::vector<uint8_t> map = {10, 20, 30, 0, 40, 50, 60, 200};
  auto m = ReadTga(BuildTga(1, 8, 0x20, 2, 1, {1, 0}, 1, 0, 2, 32, map));
  ASSERT_TRUE(m->ok);
  ASSERT_TRUE(m->mask);
  EXPECT_EQ(m->mask->GetPixel(0, 0), 200);
  EXPECT_EQ(m->mask->GetPixel(1, 0), 0);
  EXPECT_EQ(PixelOf(m->bitmap, 0, 0).r, 60);
  EXPECT_EQ(m->params.ColorMapCount, 2);
  EXPECT_FALSE(m->params.TGA_GrayLevel);
  auto noAlpha = ReadTga(BuildTga(1, 8, 0x20, 2, 1, {1, 0}, 1, 0, 2, 32, map), true);
  EXPECT_FALSE(noAlpha->mask);
}

TEST(Targa, AlphaAllZeroLoadsOpaque) {
  std::vector<uint8_t> zero = {1, 2, 3, 0, 4, 5, 6, 0};
  auto a = ReadTga(BuildTga(2, 32, 0x28, 2, 1, zero));
  ASSERT_TRUE(a->ok);
  EXPECT_FALSE(a->mask);
  zero[7] = 1;
  auto b = ReadTga(BuildTga(2, 32, 0x28, 2, 1, zero));
  ASSERT_TRUE(b->mask);
  EXPECT_EQ(b->mask->GetPixel(1, 0), 1);
}

// ---------------------------------------------------------------- mends

TEST(Targa, FourBitFilesReadBack) {
  TRVBitmap src;
  FillTestBitmap(src, 7, 5, true);
  TIOParamsVals p;
  p.SamplesPerPixel = 1;
  p.BitsPerSample = 4;
  auto f = WriteTga(src, p, nullptr);
  EXPECT_EQ(Le16(f, 5), 16);  // 16 map entries of 24 bits
  EXPECT_EQ(f[7], 24);
  EXPECT_EQ(f[16], 4);
  auto r = ReadTga(f);
  ASSERT_TRUE(r->ok);
  EXPECT_EQ(r->params.BitsPerSample, 4);
  ExpectPicture(r->bitmap, 7, 5, true, "4-bit");
}

TEST(Targa, RightToLeftMirrorsAlphaAndSixteenBitRows) {
  // 32-bit, 2 x 1, right-to-left: the file's first pixel is the rightmost.
  const std::vector<uint8_t> px = {1, 2, 3, 50, 4, 5, 6, 60};
  auto r = ReadTga(BuildTga(2, 32, 0x38, 2, 1, px));
  ASSERT_TRUE(r->ok);
  EXPECT_EQ(PixelOf(r->bitmap, 0, 0).b, 4);
  ASSERT_TRUE(r->mask);
  EXPECT_EQ(r->mask->GetPixel(0, 0), 60);
  EXPECT_EQ(r->mask->GetPixel(1, 0), 50);
  // 16-bit: red then blue, right-to-left.
  auto s = ReadTga(BuildTga(2, 16, 0x30, 2, 1, {0x00, 0x7C, 0x1F, 0x00}));
  ASSERT_TRUE(s->ok);
  EXPECT_EQ(PixelOf(s->bitmap, 0, 0).b, 248);
  EXPECT_EQ(PixelOf(s->bitmap, 1, 0).r, 248);
  // 1-bit: 10000000 right-to-left on 3 pixels is 001.
  auto o = ReadTga(BuildTga(3, 1, 0x30, 3, 1, {0x80}));
  ASSERT_TRUE(o->ok);
  EXPECT_FALSE(o->bitmap.GetPixels_rv1g(0, 0));
  EXPECT_TRUE(o->bitmap.GetPixels_rv1g(2, 0));
}

TEST(Targa, ColourMapPastTheEndOfThePaletteIsBounded) {
  // First entry 250, 10 entries: the last four fall outside the palette and are dropped.
  std::vector<uint8_t> map;
  for (int i = 0; i < 10; ++i) Append(map, {uint8_t(i), uint8_t(i), uint8_t(i)});
  auto r = ReadTga(BuildTga(1, 8, 0x20, 2, 1, {250, 255}, 1, 250, 10, 24, map));
  ASSERT_TRUE(r->ok);
  EXPECT_EQ(PixelOf(r->bitmap, 0, 0).r, 0);
  EXPECT_EQ(PixelOf(r->bitmap, 1, 0).r, 5);
  EXPECT_EQ(r->params.ColorMapCount, 10);
}

TEST(Targa, ShortStreamsAndStreamsStartingLater) {
  // A stream shorter than the footer, read from an offset.
  std::vector<uint8_t> data(7, 0xAA);
  auto tiny = BuildTga(2, 24, 0x20, 1, 1, {1, 2, 3});
  Append(data, tiny);
  auto r = ReadTga(data, false, 7);
  ASSERT_TRUE(r->ok);
  EXPECT_EQ(PixelOf(r->bitmap, 0, 0).r, 3);
  // A file written after other data in the stream reads back from its start.
  TRVBitmap src;
  FillTestBitmap(src, 3, 3);
  TMemoryStream s;
  s.Write("prefix", 6);
  TIOParamsVals p;
  p.TGA_Author = "me";
  TRVProgressRec progress;
  WriteTGAStream(s, src, p, nullptr, progress);
  auto r2 = ReadTga(s.Data(), false, 6);
  ASSERT_TRUE(r2->ok);
  EXPECT_EQ(r2->params.TGA_Author, "me");
  ExpectPicture(r2->bitmap, 3, 3, false, "offset");
}

TEST(Targa, WriterRefusalsAndShortWrites) {
  TRVBitmap grey(4, 4, rv8g);
  TMemoryStream s;
  TIOParamsVals p;
  TRVProgressRec progress;
  WriteTGAStream(s, grey, p, nullptr, progress);
  EXPECT_EQ(s.GetSize(), 0);
  EXPECT_FALSE(progress.IsAborting());

  // A stream that takes only 30 bytes.
  class Short : public TMemoryStream {
   public:
    int64_t Write(const void* b, int64_t n) override {
      const int64_t k = std::min<int64_t>(n, std::max<int64_t>(0, 30 - GetSize()));
      return TMemoryStream::Write(b, k);
    }
  } shortStream;
  TRVBitmap src;
  FillTestBitmap(src, 8, 8);
  TRVProgressRec progress2;
  WriteTGAStream(shortStream, src, p, nullptr, progress2);
  EXPECT_TRUE(progress2.IsAborting());
}

TEST(Targa, SignatureTest) {
  auto good = BuildTga(2, 24, 0, 1, 1, {1, 2, 3});
  auto s = StreamOf(good);
  EXPECT_TRUE(IsTGAStream(*s));
  EXPECT_EQ(s->GetPosition(), 0);
  auto d15 = BuildTga(2, 15, 0, 1, 1, {1, 2});
  EXPECT_FALSE(IsTGAStream(*StreamOf(d15)));
  EXPECT_FALSE(ReadTga(d15)->ok);
  EXPECT_FALSE(IsTGAStream(*StreamOf(std::vector<uint8_t>(good.begin(), good.begin() + 17))));
  auto zero = BuildTga(2, 24, 0, 0, 1, {});
  EXPECT_FALSE(IsTGAStream(*StreamOf(zero)));
}

// ---------------------------------------------------------------- damaged files

TEST(Targa, DamagedFiles) {
  TRVBitmap src;
  FillTestBitmap(src, 16, 9);
  auto mask = TestAlphaMask(16, 9);
  TIOParamsVals p;
  const auto rle = WriteTga(src, p, nullptr);  // 24-bit RLE with footer
  const auto raw32 = WriteTga(src, p, mask.get());
  auto cut = [](const std::vector<uint8_t>& f, size_t n) { return std::vector<uint8_t>(f.begin(), f.begin() + long(n)); };
  auto mutate = [](std::vector<uint8_t> f, size_t at, std::vector<uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), f.begin() + long(at));
    return f;
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
    bool readable;
  };
  const std::vector<Case> cases = {
      {"empty", {}, false},
      {"cut in the header", cut(rle, 10), false},
      {"header only", cut(rle, 18), false},
      {"cut in the ID", mutate(cut(rle, 19), 0, {40}), false},
      {"cut in the RLE data", cut(rle, 60), false},
      {"cut in the raw data", cut(raw32, 18 + 1 + 100), false},
      {"cut before the footer", cut(raw32, raw32.size() - 30), true},
      {"width 0", mutate(rle, 12, {0, 0}), false},
      {"height 0", mutate(rle, 14, {0, 0}), false},
      {"width 65535", mutate(raw32, 12, {0xFF, 0xFF}), false},
      {"size 65535 x 65535 RLE", mutate(rle, 12, {0xFF, 0xFF, 0xFF, 0xFF}), false},
      {"image type 7", mutate(rle, 2, {7}), false},
      {"depth 15", mutate(rle, 16, {15}), false},
      {"depth 33", mutate(rle, 16, {33}), false},
      {"map type 5", mutate(rle, 1, {5}), false},
      {"map of 65535 entries", mutate(rle, 1, {1, 0, 0, 0xFF, 0xFF, 24}), false},
      {"map of odd entry size", mutate(rle, 1, {1, 0, 0, 2, 0, 8}), false},
      {"extension offset past the end", mutate(raw32, raw32.size() - 26, {0xFF, 0xFF, 0xFF, 0x7F}), true},
      {"extension offset 0", mutate(raw32, raw32.size() - 26, {0, 0, 0, 0}), true},
      {"run counts past the end", mutate(cut(rle, 40), 19, {0xFF}), false},
  };
  for (const auto& c : cases) {
    auto r = ReadTga(c.data);
    EXPECT_EQ(r->ok, c.readable) << c.name;
    if (r->ok) {
      EXPECT_EQ(r->bitmap.GetWidth(), 16) << c.name;
    }
  }
}

// ---------------------------------------------------------------- independent tools

TEST(TargaTools, PillowFilesReadCorrectly) {
  if (!HavePillow()) GTEST_SKIP() << "Pillow (/usr/bin/python3 with PIL) is not installed";
  TempDir dir;
  struct Case {
    const char* mode;
    bool rle;
    int orientation;
  };
  std::vector<Case> cases;
  for (const char* mode : {"L", "P", "RGB", "RGBA"})
    for (bool rle : {false, true})
      for (int o : {-1, 1}) cases.push_back({mode, rle, o});
  const int w = 11, h = 6;
  std::ostringstream py;
  py << "from PIL import Image\n" << kPyTestPixel << "base = Image.new('RGBA', (" << w << ", " << h << "))\n"
     << "base.putdata([px(x, y) for y in range(" << h << ") for x in range(" << w << ")])\n";
  std::vector<std::string> paths;
  for (const auto& c : cases) {
    const std::string path =
        dir.File(std::string("pil_") + c.mode + (c.rle ? "_rle" : "") + std::to_string(c.orientation) + ".tga");
    paths.push_back(path);
    if (std::string(c.mode) == "P") py << "im = base.convert('RGB').quantize(colors=64)\n";
    else py << "im = base.convert('" << c.mode << "')\n";
    py << "im.save('" << path << "', compression=" << (c.rle ? "'tga_rle'" : "None") << ", orientation=" << c.orientation
       << ")\n";
  }
  ASSERT_TRUE(RunPython(py.str()));
  ASSERT_TRUE(PillowDecodeAll(paths));
  for (size_t i = 0; i < cases.size(); ++i) {
    const auto& c = cases[i];
    const std::string& path = paths[i];
    int pw, ph;
    std::vector<uint8_t> expect;
    ASSERT_TRUE(LoadDecoded(path, pw, ph, expect));
    auto r = ReadTga(ReadFileBytes(path));
    ASSERT_TRUE(r->ok) << path;
    ASSERT_EQ(r->bitmap.GetWidth(), w);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t* e = &expect[size_t(4 * (y * w + x))];
        const Rgba a = PixelOf(r->bitmap, x, y);
        ASSERT_TRUE(a.r == e[0] && a.g == e[1] && a.b == e[2]) << path << " at " << x << "," << y;
        if (std::string(c.mode) == "RGBA") {
          ASSERT_TRUE(r->mask);
          ASSERT_EQ(r->mask->GetPixel(x, y), e[3]) << path;
        }
      }
  }
}

TEST(TargaTools, SixteenBitFilesAgreeWithPillow) {
  if (!HavePillow()) GTEST_SKIP() << "Pillow (/usr/bin/python3 with PIL) is not installed";
  TempDir dir;
  const int w = 5, h = 3;
  std::vector<uint8_t> px;
  for (int i = 0; i < w * h; ++i) {
    const uint16_t v = uint16_t((i * 2731) & 0x7FFF);
    px.push_back(uint8_t(v));
    px.push_back(uint8_t(v >> 8));
  }
  const std::vector<uint8_t> descriptors = {0x00, 0x20};
  std::vector<std::string> paths;
  for (uint8_t desc : descriptors) {
    paths.push_back(dir.File("x16_" + std::to_string(desc) + ".tga"));
    WriteFileBytes(paths.back(), BuildTga(2, 16, desc, w, h, px));
  }
  ASSERT_TRUE(PillowDecodeAll(paths, "RGB"));
  for (const auto& path : paths) {
    int pw, ph;
    std::vector<uint8_t> expect;
    ASSERT_TRUE(LoadDecoded(path, pw, ph, expect));
    auto r = ReadTga(ReadFileBytes(path));
    ASSERT_TRUE(r->ok);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t* e = &expect[size_t(4 * (y * w + x))];
        const Rgba a = PixelOf(r->bitmap, x, y);
        // Pillow widens 5 bits by replicating the high bits; the codec multiplies by 8.
        ASSERT_EQ(a.r, e[0] & 0xF8) << x << "," << y;
        ASSERT_EQ(a.g, e[1] & 0xF8);
        ASSERT_EQ(a.b, e[2] & 0xF8);
      }
  }
}

TEST(TargaTools, OurFilesReadInPillowAndImageMagick) {
  const bool pil = HavePillow(), magick = HaveMagick();
  if (!pil && !magick) GTEST_SKIP() << "neither Pillow nor ImageMagick is installed";
  TempDir dir;
  const int w = 10, h = 6;
  struct Case {
    const char* name;
    int samples, bits;
    bool compressed, alpha, few;
  };
  const Case cases[] = {
      {"map8", 1, 8, false, false, true}, {"map8rle", 1, 8, true, false, true}, {"rgb24", 3, 8, false, false, false},
      {"rgb24rle", 3, 8, true, false, false}, {"rgba32", 3, 8, false, true, false},
  };
  std::vector<std::string> paths;
  for (const auto& c : cases) {
    TRVBitmap src;
    FillTestBitmap(src, w, h, c.few);
    auto mask = TestAlphaMask(w, h);
    TIOParamsVals p;
    p.SamplesPerPixel = c.samples;
    p.BitsPerSample = c.bits;
    p.TGA_Compressed = c.compressed;
    p.TGA_Author = "DURIM PROJECT Ver.3.0";
    paths.push_back(dir.File(std::string(c.name) + ".tga"));
    WriteFileBytes(paths.back(), WriteTga(src, p, c.alpha ? mask.get() : nullptr));
  }
  ForEachToolDecoding(paths, pil, magick, w, h, [&](size_t i, int tool, const std::vector<uint8_t>& got) {
    const auto& c = cases[i];
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const Rgba e = c.few ? FewColorPixel(x, y) : TestPixel(x, y);
        const uint8_t* g = &got[size_t(4 * (y * w + x))];
        ASSERT_TRUE(g[0] == e.r && g[1] == e.g && g[2] == e.b) << c.name << " tool " << tool << " at " << x << "," << y;
        if (c.alpha) {
          ASSERT_EQ(g[3], e.a) << c.name << " tool " << tool;
        }
      }
  });
}

}  // namespace
}  // namespace rv
