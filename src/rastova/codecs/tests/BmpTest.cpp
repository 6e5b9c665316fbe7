#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "TestTools.h"
#include "common/tests/support/AllocationWatch.h"
#include "rastova/codecs/bmp/bmpfilt.h"
#include "rastova/core/RVUtils.h"

namespace rv {
namespace {

using namespace test;

struct Decoded {
  TRVBitmap bitmap;
  TIOParamsVals params;
  std::unique_ptr<TRVMask> mask;
  bool ok = false;
};

std::unique_ptr<Decoded> ReadBmp(const std::vector<uint8_t>& data, bool native = false, bool ignoreAlpha = false,
                                 int64_t offset = 0) {
  auto d = std::make_unique<Decoded>();
  d->params.NativePixelFormat = native;
  auto s = StreamOf(data);
  s->SetPosition(offset);
  TRVProgressRec progress;
  ReadBMPStream(*s, d->bitmap, 0, d->params, progress, false, false, d->mask, ignoreAlpha);
  d->ok = !progress.IsAborting();
  return d;
}

std::vector<uint8_t> WriteBmp(TRVBitmap& bitmap, TIOParamsVals& params, bool saveAlpha, bool* ok = nullptr) {
  TMemoryStream s;
  TRVProgressRec progress;
  WriteBMPStream(s, bitmap, params, progress, saveAlpha);
  if (ok) *ok = !progress.IsAborting();
  return s.Data();
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | (uint32_t(b[at + 1]) << 8) | (uint32_t(b[at + 2]) << 16) | (uint32_t(b[at + 3]) << 24);
}
void PutLe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) b[at + size_t(k)] = uint8_t(v >> (8 * k));
}

// A BMP built by hand: file header, a header of `headerSize` bytes (the given fields, the rest
// zero), the masks (red, green, blue and, in headers of 56 bytes and more, alpha) inside a
// header that holds them or else right after it, then the colour table and pixel bytes.
std::vector<uint8_t> BuildBmp(int32_t w, int32_t h, uint16_t bits, uint32_t compression, const std::vector<uint8_t>& table,
                              const std::vector<uint8_t>& pixels, uint32_t headerSize = 40, uint32_t used = 0,
                              const uint32_t* masks = nullptr, uint32_t alphaMask = 0) {
  std::vector<uint8_t> f(14 + headerSize, 0);
  f[0] = 'B';
  f[1] = 'M';
  PutLe32(f, 14, headerSize);
  PutLe32(f, 18, uint32_t(w));
  PutLe32(f, 22, uint32_t(h));
  f[26] = 1;
  f[28] = uint8_t(bits);
  PutLe32(f, 30, compression);
  PutLe32(f, 34, uint32_t(pixels.size()));
  PutLe32(f, 46, used);
  if (masks && headerSize >= 52)
    for (int k = 0; k < 3; ++k) PutLe32(f, 14 + 40 + size_t(4 * k), masks[k]);
  if (headerSize >= 56) PutLe32(f, 14 + 52, alphaMask);
  if (masks && headerSize < 52) {
    std::vector<uint8_t> m(12);
    for (int k = 0; k < 3; ++k) PutLe32(m, size_t(4 * k), masks[k]);
    Append(f, m);
  }
  Append(f, table);
  PutLe32(f, 10, uint32_t(f.size()));
  Append(f, pixels);
  PutLe32(f, 2, uint32_t(f.size()));
  return f;
}

TEST(Bmp, RunLengthRowEncodings) {
  uint8_t out[4000];
  const uint8_t a[] = {0, 1, 2};
  int32_t n = EncodeRLE4Row(a, 3, out);
  EXPECT_EQ(std::vector<uint8_t>(out, out + n), (std::vector<uint8_t>{0, 3, 0x01, 0x20, 0, 0}));
  const uint8_t b[] = {0, 1, 2, 3, 4};
  n = EncodeRLE4Row(b, 5, out);
  ASSERT_EQ(n, 8);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 5);
  EXPECT_EQ(out[2], 0x01);
  EXPECT_EQ(out[3], 0x23);
  EXPECT_EQ(out[4], 0x40);
  EXPECT_EQ(out[6], 0);
  EXPECT_EQ(out[7], 0);
  std::vector<uint8_t> same(300, 7);
  n = EncodeRLE8Row(same.data(), 300, out);
  EXPECT_EQ(std::vector<uint8_t>(out, out + n), (std::vector<uint8_t>{255, 7, 45, 7, 0, 0}));
  const uint8_t two[] = {4, 9};
  n = EncodeRLE8Row(two, 2, out);
  EXPECT_EQ(std::vector<uint8_t>(out, out + n), (std::vector<uint8_t>{1, 4, 1, 9, 0, 0}));
}

TEST(Bmp, WriterVariantsRoundTrip) {
  struct Case {
    const char* name;
    int bits, samples;
    uint8_t version, compression;
    bool alpha, few;
    int bitsWritten;
    uint32_t headerSize, compressionWritten;
  };
  const Case cases[] = {
      {"4-bit", 4, 1, 1, 0, false, true, 4, 40, 0},
      {"4-bit RLE", 4, 1, 1, 1, false, true, 4, 40, 2},
      {"8-bit", 8, 1, 1, 0, false, true, 8, 40, 0},
      {"8-bit RLE", 8, 1, 1, 1, false, true, 8, 40, 1},
      {"8-bit core, RLE asked", 8, 1, 2, 1, false, true, 8, 12, 0},
      {"24-bit", 8, 3, 1, 0, false, false, 24, 40, 0},
      {"24-bit, 64-byte header", 8, 3, 3, 0, false, false, 24, 64, 0},
      {"16 asked gives 24", 5, 3, 1, 0, false, false, 24, 40, 0},
      {"16 asked with alpha gives 32", 5, 3, 1, 0, true, false, 32, 40, 0},
      {"24-bit core", 8, 3, 2, 0, false, false, 24, 12, 0},
  };
  const int w = 13, h = 6;
  for (const auto& c : cases) {
    TRVBitmap src;
    FillTestBitmap(src, w, h, c.few);
    if (c.alpha) {
      auto m = TestAlphaMask(w, h);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) src.SetAlpha(x, y, uint8_t(m->GetPixel(x, y)));
    }
    TIOParamsVals p;
    p.BitsPerSample = c.bits;
    p.SamplesPerPixel = c.samples;
    p.BMP_Version = c.version;
    p.BMP_Compression = c.compression;
    bool ok = false;
    auto f = WriteBmp(src, p, true, &ok);
    ASSERT_TRUE(ok) << c.name;
    EXPECT_EQ(Le32(f, 2), f.size()) << c.name;
    EXPECT_EQ(Le32(f, 14), c.headerSize) << c.name;
    if (c.headerSize == 12) {
      EXPECT_EQ(f[24], c.bitsWritten) << c.name;
    } else {
      EXPECT_EQ(f[28], c.bitsWritten) << c.name;
      EXPECT_EQ(Le32(f, 30), c.compressionWritten) << c.name;
      EXPECT_EQ(Le32(f, 34), f.size() - Le32(f, 10)) << c.name;
    }
    auto d = ReadBmp(f);
    ASSERT_TRUE(d->ok) << c.name;
    ExpectPicture(d->bitmap, w, h, c.few, c.name);
    if (c.alpha) {
      ASSERT_TRUE(d->mask) << c.name;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ASSERT_EQ(d->mask->GetPixel(x, y), TestPixel(x, y).a) << c.name;
    }
    EXPECT_EQ(d->params.BMP_Version, c.headerSize == 40 ? 1 : (c.headerSize == 12 ? 2 : 3)) << c.name;
  }
}

TEST(Bmp, OneBitFiles) {
  TRVBitmap src(10, 3, rv24RGB);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 10; ++x) src.SetPixels(x, y, (x + y) % 4 ? 0x204060 : 0xE0C0A0);
  TIOParamsVals p;
  p.BitsPerSample = 1;
  auto f = WriteBmp(src, p, false);
  EXPECT_EQ(f[28], 1);
  auto d = ReadBmp(f);
  ASSERT_TRUE(d->ok);
  ASSERT_EQ(d->params.ColorMapCount, 2);
  EXPECT_EQ(d->params.ColorMap[0], MakeRGB(0x20, 0x40, 0x60));  // darker first
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 10; ++x) ASSERT_EQ(d->bitmap.GetPixels_rv1g(x, y), (x + y) % 4 == 0);

  // White-then-black palette: bits inverted so that white is 1.
  const std::vector<uint8_t> whiteBlack = {255, 255, 255, 0, 0, 0, 0, 0};
  const std::vector<uint8_t> blackWhite = {0, 0, 0, 0, 255, 255, 255, 0};
  const std::vector<uint8_t> px = {0xA0, 0, 0, 0};
  auto a = ReadBmp(BuildBmp(3, 1, 1, 0, whiteBlack, px, 40, 2));
  auto b = ReadBmp(BuildBmp(3, 1, 1, 0, blackWhite, {0x5F, 0, 0, 0}, 40, 2));
  ASSERT_TRUE(a->ok && b->ok);
  for (int x = 0; x < 3; ++x) EXPECT_EQ(a->bitmap.GetPixels_rv1g(x, 0), b->bitmap.GetPixels_rv1g(x, 0));
  EXPECT_FALSE(a->bitmap.GetPixels_rv1g(0, 0));  // bit set with white-black palette = black
}

TEST(Bmp, TopDownAndAlphaRules) {
  // 2 x 2, 32-bit: rows stored bottom first, then the same top-down.
  const std::vector<uint8_t> top = {1, 2, 3, 10, 4, 5, 6, 20};
  const std::vector<uint8_t> bottom = {7, 8, 9, 30, 11, 12, 13, 40};
  std::vector<uint8_t> bu = bottom, td = top;
  Append(bu, top);
  Append(td, bottom);
  auto a = ReadBmp(BuildBmp(2, 2, 32, 0, {}, bu));
  auto b = ReadBmp(BuildBmp(2, -2, 32, 0, {}, td));
  ASSERT_TRUE(a->ok && b->ok);
  ASSERT_TRUE(a->mask && b->mask);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) {
      EXPECT_EQ(PixelOf(a->bitmap, x, y).r, PixelOf(b->bitmap, x, y).r);
      EXPECT_EQ(a->mask->GetPixel(x, y), b->mask->GetPixel(x, y));
    }
  EXPECT_EQ(b->mask->GetPixel(1, 0), 20);
  EXPECT_EQ(b->params.Height, 2);

  std::vector<uint8_t> zeros = {1, 2, 3, 0, 4, 5, 6, 0}, full = {1, 2, 3, 255, 4, 5, 6, 255};
  EXPECT_FALSE(ReadBmp(BuildBmp(2, 1, 32, 0, {}, zeros))->mask);
  EXPECT_FALSE(ReadBmp(BuildBmp(2, 1, 32, 0, {}, full))->mask);
  EXPECT_FALSE(ReadBmp(BuildBmp(2, 2, 32, 0, {}, bu), false, true)->mask);
}

TEST(Bmp, ThirtyTwoBitFieldsOfAnyWidthScaleRounded) {
  // Each field v of n bits reads as v x 255 / (2^n - 1), rounded: a full field is 255 whatever
  // its width, 513 of 1,023 is 128, 64 of 127 is 129 (truncation read each one step low).
  struct Case {
    const char* name;
    uint32_t masks[3], alphaMask;
    uint32_t fields[4];  // red, green, blue, alpha
    uint8_t expect[4];
  };
  const Case cases[] = {
      {"10-10-10-2 full and half", {0x3FF00000, 0x000FFC00, 0x000003FF}, 0xC0000000, {1023, 513, 1, 1}, {255, 128, 0, 85}},
      {"10-10-10-2 others", {0x3FF00000, 0x000FFC00, 0x000003FF}, 0xC0000000, {512, 2, 1022, 2}, {128, 0, 255, 170}},
      {"7-1-8-7 full", {0x7F000000, 0x00800000, 0x007F8000}, 0x00007F00, {127, 1, 255, 127}, {255, 255, 255, 255}},
      {"7-1-8-7 middle", {0x7F000000, 0x00800000, 0x007F8000}, 0x00007F00, {64, 0, 128, 63}, {129, 0, 128, 126}},
  };
  for (const Case& c : cases) {
    const uint32_t all[4] = {c.masks[0], c.masks[1], c.masks[2], c.alphaMask};
    uint32_t word = 0;
    for (int k = 0; k < 4; ++k) {
      int shift = 0;
      while (!((all[k] >> shift) & 1)) ++shift;
      word |= c.fields[k] << shift;
    }
    // Two pixels: the word, and a transparent black one so that the alpha is not uniform.
    std::vector<uint8_t> pixels(8, 0);
    for (int k = 0; k < 4; ++k) pixels[size_t(k)] = uint8_t(word >> (8 * k));
    auto d = ReadBmp(BuildBmp(2, 1, 32, 3, {}, pixels, 124, 0, c.masks, c.alphaMask));
    ASSERT_TRUE(d->ok) << c.name;
    const Rgba p = PixelOf(d->bitmap, 0, 0);
    EXPECT_EQ(p.r, c.expect[0]) << c.name;
    EXPECT_EQ(p.g, c.expect[1]) << c.name;
    EXPECT_EQ(p.b, c.expect[2]) << c.name;
    ASSERT_TRUE(d->mask) << c.name;
    EXPECT_EQ(d->mask->GetPixel(0, 0), c.expect[3]) << c.name;
    EXPECT_EQ(d->mask->GetPixel(1, 0), 0) << c.name;
  }
}

TEST(Bmp, HeadersBitFieldsAndResolution) {
  // A 124-byte header with 5-6-5 masks inside it; the pixel is white.
  const uint32_t m565[3] = {0xF800, 0x07E0, 0x001F};
  auto v5 = ReadBmp(BuildBmp(1, 1, 16, 3, {}, {0xFF, 0xFF, 0, 0}, 124, 0, m565));
  ASSERT_TRUE(v5->ok);
  EXPECT_EQ(v5->params.BMP_Version, 0);
  const Rgba c = PixelOf(v5->bitmap, 0, 0);
  EXPECT_EQ(c.r, 248);
  EXPECT_EQ(c.g, 252);
  EXPECT_EQ(c.b, 248);
  // The same with a 40-byte header: masks after it; 108-byte header, 8-bit palette right after it.
  auto v3 = ReadBmp(BuildBmp(1, 1, 16, 3, {}, {0xFF, 0xFF, 0, 0}, 40, 0, m565));
  EXPECT_EQ(PixelOf(v3->bitmap, 0, 0).g, 252);
  std::vector<uint8_t> table(256 * 4, 0);
  table[5 * 4 + 2] = 200;
  auto v4 = ReadBmp(BuildBmp(1, 1, 8, 0, table, {5, 0, 0, 0}, 108));
  ASSERT_TRUE(v4->ok);
  EXPECT_EQ(PixelOf(v4->bitmap, 0, 0).r, 200);
  // 5-5-5 without masks.
  auto d555 = ReadBmp(BuildBmp(1, 1, 16, 0, {}, {0xFF, 0x7F, 0, 0}));
  EXPECT_EQ(PixelOf(d555->bitmap, 0, 0).r, 248);
  // Odd and extreme masks: no shift goes negative or past 31.
  const uint32_t odd[3] = {0xFFFFFFFF, 0x80000000, 0x00000000};
  auto o = ReadBmp(BuildBmp(1, 1, 16, 3, {}, {0xFF, 0xFF, 0, 0}, 40, 0, odd));
  EXPECT_TRUE(o->ok);
  // 96 dpi is 3,780 pixels per metre, both ways.
  TRVBitmap src;
  FillTestBitmap(src, 2, 2);
  TIOParamsVals p;
  p.SetDpiX(96);
  p.SetDpiY(96);
  auto f = WriteBmp(src, p, false);
  EXPECT_EQ(Le32(f, 38), 3780u);
  auto r = ReadBmp(f);
  EXPECT_EQ(r->params.DpiX, 96);
  // Width 0: parameters only.
  auto z = ReadBmp(BuildBmp(0, 5, 24, 0, {}, {}));
  EXPECT_TRUE(z->ok);
  EXPECT_EQ(z->params.Height, 5);
  EXPECT_TRUE(z->bitmap.IsEmpty());
}

TEST(Bmp, RunLengthDecoding) {
  std::vector<uint8_t> table(16 * 4, 0);
  for (int i = 0; i < 16; ++i) table[size_t(i) * 4 + 2] = uint8_t(i * 10);
  // RLE8, 5 x 2: absolute run of 3 (padded), a run of 2; then a delta of (1, 1) and one pixel.
  const std::vector<uint8_t> rle8 = {0, 3, 1, 2, 3, 0, 2, 4, 0, 0, 1, 9, 0, 2, 1, 1, 1, 7, 0, 1};
  auto d = ReadBmp(BuildBmp(5, 3, 8, 1, table, rle8, 40, 16), true);
  ASSERT_TRUE(d->ok);
  EXPECT_EQ(d->bitmap.GetPixels_rv8(0, 2), 1);
  EXPECT_EQ(d->bitmap.GetPixels_rv8(4, 2), 4);
  EXPECT_EQ(d->bitmap.GetPixels_rv8(0, 1), 9);
  EXPECT_EQ(d->bitmap.GetPixels_rv8(2, 0), 7);  // column 1 + dx 1, one row up
  EXPECT_EQ(d->bitmap.GetPixels_rv8(3, 0), 0);  // unreached pixels are cleared
  // RLE4 through the colour map; index 12 lies past a 10-entry map and reads as black.
  const std::vector<uint8_t> rle4 = {4, 0x12, 2, 0xC3, 0, 1};
  auto e = ReadBmp(BuildBmp(6, 1, 4, 2, std::vector<uint8_t>(table.begin(), table.begin() + 40), rle4, 40, 10));
  ASSERT_TRUE(e->ok);
  EXPECT_EQ(PixelOf(e->bitmap, 0, 0).r, 10);
  EXPECT_EQ(PixelOf(e->bitmap, 1, 0).r, 20);
  EXPECT_EQ(PixelOf(e->bitmap, 4, 0).r, 0);
  EXPECT_EQ(PixelOf(e->bitmap, 5, 0).r, 30);
}

TEST(Bmp, PaletteIndicesPastTheMapReadBlack) {
  const std::vector<uint8_t> table = {0, 0, 200, 0, 0, 200, 0, 0};
  auto d = ReadBmp(BuildBmp(3, 1, 8, 0, table, {1, 0, 77, 0}, 40, 2));
  ASSERT_TRUE(d->ok);
  EXPECT_EQ(PixelOf(d->bitmap, 0, 0).g, 200);
  EXPECT_EQ(PixelOf(d->bitmap, 1, 0).r, 200);
  const Rgba past = PixelOf(d->bitmap, 2, 0);
  EXPECT_EQ(past.r + past.g + past.b, 0);
}

TEST(Bmp, StreamPositionAndShortWrites) {
  TRVBitmap src;
  FillTestBitmap(src, 4, 4);
  TIOParamsVals p;
  std::vector<uint8_t> data = {9, 9};
  Append(data, WriteBmp(src, p, false));
  auto d = ReadBmp(data, false, false, 2);
  ASSERT_TRUE(d->ok);
  ExpectPicture(d->bitmap, 4, 4, false, "offset");

  class Short : public TMemoryStream {
   public:
    int64_t Write(const void* b, int64_t n) override {
      return TMemoryStream::Write(b, std::min<int64_t>(n, std::max<int64_t>(0, 60 - GetSize())));
    }
  } shortStream;
  TRVProgressRec progress;
  WriteBMPStream(shortStream, src, p, progress, false);
  EXPECT_TRUE(progress.IsAborting());
}

TEST(Bmp, DamagedFiles) {
  TRVBitmap src;
  FillTestBitmap(src, 9, 7, true);
  TIOParamsVals p8;
  p8.SamplesPerPixel = 1;
  p8.BMP_Compression = 1;
  const auto rle = WriteBmp(src, p8, false);
  TIOParamsVals p24;
  const auto raw = WriteBmp(src, p24, false);
  auto cut = [](const std::vector<uint8_t>& f, size_t n) { return std::vector<uint8_t>(f.begin(), f.begin() + long(n)); };
  auto set32 = [](std::vector<uint8_t> f, size_t at, uint32_t v) {
    PutLe32(f, at, v);
    return f;
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
    bool readable;
  };
  const std::vector<Case> cases = {
      {"empty", {}, false},
      {"cut in the file header", cut(raw, 9), false},
      {"cut in the bitmap header", cut(raw, 30), false},
      {"cut in the colour table", cut(rle, 14 + 40 + 100), false},
      {"cut in the pixels", cut(raw, raw.size() - 40), false},
      {"last row without padding", cut(raw, raw.size() - 1), true},
      {"cut in the RLE data", cut(rle, rle.size() - 20), true},
      {"not BM", set32(raw, 0, 0x00004D43), false},
      {"header size 0", set32(raw, 14, 0), false},
      {"header size 2^31", set32(raw, 14, 0x80000000u), false},
      {"header size past the end", set32(raw, 14, 100000), false},
      {"width 2^31", set32(raw, 18, 0x80000000u), false},
      {"width 2^31 - 1", set32(raw, 18, 0x7FFFFFFFu), false},
      {"height -2^31", set32(raw, 22, 0x80000000u), false},
      {"RLE 65535 x 65535", set32(set32(rle, 18, 65535), 22, 65535), false},
      {"bit count 7", set32(raw, 28, 7 | (1u << 16)), false},
      {"compression 4", set32(raw, 30, 4), false},
      {"RLE8 with a 24-bit count", set32(raw, 30, 1), false},
      {"pixel offset past the end", set32(raw, 10, 0x7FFFFFFF), false},
      {"colours used 2^31", set32(rle, 46, 0x80000000u), true},
      {"RLE 16384 x 16384 from a kilobyte", set32(set32(rle, 18, 16384), 22, 16384), false},
      {"32-bit rows times height past 64 bits", set32(set32(set32(raw, 18, 0x7FFFFFFF), 22, 0x7FFFFFFF), 28, 32),
       false},
  };
  for (const auto& c : cases) {
    std::unique_ptr<Decoded> d;
    const size_t largest = test_support::LargestAllocationDuring([&] { d = ReadBmp(c.data); });
    EXPECT_EQ(d->ok, c.readable) << c.name;
    EXPECT_LT(largest, size_t(16) << 20) << c.name;
  }
  // RLE codes that point past the image end quietly.
  const std::vector<std::vector<uint8_t>> codes = {
      {0, 2, 200, 200, 5, 1},        // delta far outside
      {0, 200, 1, 2, 3},             // absolute run past the data
      {255, 3, 255, 3, 255, 3},      // runs past the right edge
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 4},  // more rows than the image
  };
  std::vector<uint8_t> table(256 * 4, 0);
  for (const auto& c : codes) {
    auto d = ReadBmp(BuildBmp(4, 3, 8, 1, table, c));
    EXPECT_TRUE(d->ok);
    auto e = ReadBmp(BuildBmp(4, 3, 4, 2, std::vector<uint8_t>(table.begin(), table.begin() + 64), c));
    EXPECT_TRUE(e->ok);
  }
}

// ---------------------------------------------------------------- independent tools

TEST(BmpTools, ToolFilesReadCorrectly) {
  if (!HavePillow()) GTEST_SKIP() << "Pillow (/usr/bin/python3 with PIL) is not installed";
  TempDir dir;
  const int w = 13, h = 7;
  struct Case {
    const char* name;
    const char* pillow;     // statements turning `base` into the file P (or its source)
    const char* magick;     // arguments of the ImageMagick conversion of the source, or nullptr
    bool alpha;
  };
  const Case cases[] = {
      {"b1", "base.convert('L').point(lambda v: 255 if v > 120 else 0).convert('1').save(P)", nullptr, false},
      {"b4", "base.convert('RGB').quantize(colors=16).save(P)", "-colors 16 BMP3", false},
      {"b8", "base.convert('RGB').quantize(colors=200).save(P)", nullptr, false},
      {"b8grey", "base.convert('L').save(P)", nullptr, false},
      {"b24", "base.convert('RGB').save(P)", nullptr, false},
      {"b32", "base.save(P)", nullptr, true},
      {"rle8", "base.convert('RGB').quantize(colors=20).save(P)", "-type Palette -compress RLE BMP3", false},
      {"bf565", "base.convert('RGB').save(P)", "-define bmp:subtype=RGB565 BMP", false},
      {"bf555", "base.convert('RGB').save(P)", "-define bmp:subtype=RGB555 BMP", false},
      {"argb_v5", "base.save(P)", "BMP", true},
  };
  std::ostringstream py;
  py << "from PIL import Image\n" << kPyTestPixel << "base = Image.new('RGBA', (" << w << ", " << h << "))\n"
     << "base.putdata([px(x, y) for y in range(" << h << ") for x in range(" << w << ")])\n";
  std::vector<std::string> paths;
  for (const auto& c : cases) {
    paths.push_back(dir.File(std::string(c.name) + ".bmp"));
    py << "P = '" << (c.magick ? paths.back() + ".src.png" : paths.back()) << "'\n" << c.pillow << "\n";
  }
  ASSERT_TRUE(RunPython(py.str()));
  for (size_t i = 0; i < paths.size(); ++i) {
    if (!cases[i].magick) continue;
    if (!HaveMagick()) GTEST_SKIP() << "ImageMagick (/usr/bin/convert) is not installed";
    std::string args = cases[i].magick;
    const size_t sp = args.rfind(' ');
    const std::string format = sp == std::string::npos ? args : args.substr(sp + 1);
    const std::string opts = sp == std::string::npos ? "" : args.substr(0, sp);
    ASSERT_TRUE(RunCommand("/usr/bin/convert '" + paths[i] + ".src.png' " + opts + " '" + format + ":" + paths[i] + "'"))
        << cases[i].name;
  }
  // A top-down twin of the 24-bit file: height negated, rows reversed.
  {
    auto f = ReadFileBytes(paths[4]);
    const uint32_t off = Le32(f, 10);
    const size_t rowLen = (size_t(w) * 3 + 3) / 4 * 4;
    std::vector<uint8_t> td(f.begin(), f.begin() + off);
    PutLe32(td, 22, uint32_t(-h));
    for (int r = h - 1; r >= 0; --r)
      Append(td, std::vector<uint8_t>(f.begin() + long(off + r * rowLen), f.begin() + long(off + (r + 1) * rowLen)));
    paths.push_back(dir.File("topdown.bmp"));
    WriteFileBytes(paths.back(), td);
  }
  // An RLE4 file written by our encoder, checked against Pillow's reading of it.
  {
    TRVBitmap few;
    FillTestBitmap(few, w, h, true);
    TIOParamsVals p;
    p.BitsPerSample = 4;
    p.BMP_Compression = 1;
    paths.push_back(dir.File("rle4.bmp"));
    WriteFileBytes(paths.back(), WriteBmp(few, p, false));
  }
  ASSERT_TRUE(PillowDecodeAll(paths));
  for (size_t i = 0; i < paths.size(); ++i) {
    const bool alpha = i < std::size(cases) && cases[i].alpha;
    int dw, dh;
    std::vector<uint8_t> expect;
    ASSERT_TRUE(LoadDecoded(paths[i], dw, dh, expect)) << paths[i];
    auto d = ReadBmp(ReadFileBytes(paths[i]));
    ASSERT_TRUE(d->ok) << paths[i];
    ASSERT_EQ(d->bitmap.GetWidth(), w) << paths[i];
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t* e = &expect[size_t(4 * (y * w + x))];
        const Rgba a = PixelOf(d->bitmap, x, y);
        // 16-bit channels keep their bits at the top of the byte; Pillow replicates them below.
        const std::string name = i < std::size(cases) ? cases[i].name : "";
        const uint8_t mr = name.rfind("bf", 0) == 0 ? 0xF8 : 0xFF;
        const uint8_t mg = name == "bf565" ? 0xFC : mr;
        ASSERT_TRUE(a.r == (e[0] & mr) && a.g == (e[1] & mg) && a.b == (e[2] & mr))
            << paths[i] << " at " << x << "," << y << ": " << int(a.r) << " " << int(e[0]);
        // Pillow ignores the fourth byte of 32-bit pixels without an alpha mask in the header,
        // so the alpha read is checked against the picture itself.
        if (alpha) {
          ASSERT_TRUE(d->mask) << paths[i];
          ASSERT_EQ(d->mask->GetPixel(x, y), TestPixel(x, y).a) << paths[i];
        }
      }
  }
}

// Bit-field files written by hand, read here with the file's alpha kept, and by ImageMagick.
// Fields of 8 bits read as ImageMagick reads them. Other 32-bit fields are scaled as
// v x 255 / (2^n - 1), rounded, which the test computes from the pixel's word (ImageMagick comes
// out a step low on them: 254 for a full 10-bit field, 64 for 1 in a 2-bit one). 16-bit fields
// keep their bits at the top of the byte (ImageMagick scales them up, so only those bits are
// compared).
TEST(BmpTools, BitFieldsReadAsImageMagickReadsThem) {
  if (!HaveMagick()) GTEST_SKIP() << "ImageMagick (/usr/bin/convert) is not installed";
  const int w = 5, h = 3;
  struct Case {
    const char* name;
    uint16_t bits;
    uint32_t headerSize;
    uint32_t masks[3];
    uint32_t alphaMask;
    uint32_t used;  // colour-table entries between the masks and the pixels
  };
  const Case cases[] = {
      {"565 with a colour table", 16, 40, {0xF800, 0x07E0, 0x001F}, 0, 16},
      {"xbgr", 32, 40, {0x0000FF00, 0x00FF0000, 0xFF000000}, 0, 0},
      {"11-11-10", 32, 40, {0xFFE00000, 0x001FFC00, 0x000003FF}, 0, 0},
      {"10-10-10-2", 32, 124, {0x3FF00000, 0x000FFC00, 0x000003FF}, 0xC0000000, 0},
      {"7-1-8-7", 32, 124, {0x7F000000, 0x00800000, 0x007F8000}, 0x00007F00, 0},
      {"rgba, alpha in the low byte", 32, 108, {0xFF000000, 0x00FF0000, 0x0000FF00}, 0x000000FF, 0},
      {"bgra with a table", 32, 40, {0x00FF0000, 0x0000FF00, 0x000000FF}, 0, 4},
  };
  TempDir dir;
  uint32_t seed = 12345;
  for (const Case& c : cases) {
    // Pixels of every bit pattern, and one pixel each of all zeros and all ones.
    const size_t bytesPerPixel = c.bits / 8, rowLen = (w * bytesPerPixel + 3) / 4 * 4;
    std::vector<uint8_t> pixels(rowLen * h, 0);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        seed = seed * 1103515245u + 12345u;
        uint32_t v = (seed >> 16) | (seed << 16);
        if (x == 0 && y == 0) v = 0;
        if (x == 1 && y == 0) v = 0xFFFFFFFF;
        for (size_t k = 0; k < bytesPerPixel; ++k) pixels[size_t(y) * rowLen + x * bytesPerPixel + k] = uint8_t(v >> (8 * k));
      }
    std::vector<uint8_t> table(size_t(c.used) * 4);
    for (size_t i = 0; i < table.size(); ++i) table[i] = uint8_t(i * 37);
    const auto file = BuildBmp(w, h, c.bits, 3, table, pixels, c.headerSize, c.used, c.masks, c.alphaMask);
    const std::string path = dir.File("bitfields.bmp");
    WriteFileBytes(path, file);
    int mw = 0, mh = 0;
    std::vector<uint8_t> expect;
    ASSERT_TRUE(MagickDecode(path, mw, mh, expect)) << c.name;
    ASSERT_EQ(mw, w) << c.name;
    auto d = ReadBmp(file);
    ASSERT_TRUE(d->ok) << c.name;
    ASSERT_EQ(d->bitmap.GetWidth(), w) << c.name;
    const uint32_t fieldMasks[4] = {c.masks[0], c.masks[1], c.masks[2], c.alphaMask};
    bool anyAlpha = false;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const Rgba p = PixelOf(d->bitmap, x, y);
        const uint8_t alpha = d->mask ? uint8_t(d->mask->GetPixel(x, y)) : 255;
        const uint8_t ours[4] = {p.r, p.g, p.b, alpha};
        const uint8_t* theirs = &expect[size_t(4 * (y * w + x))];
        for (int k = 0; k < 4; ++k) {
          const int width = BitMaskWidth(fieldMasks[k]);
          if (k == 3 && width == 0) {
            EXPECT_EQ(theirs[3], 255) << c.name;  // no alpha mask: opaque for both
            continue;
          }
          const std::string where = std::string(c.name) + " at " + std::to_string(x) + "," + std::to_string(y) +
                                    " channel " + std::to_string(k) + ": " + std::to_string(ours[k]) + " vs " +
                                    std::to_string(theirs[k]);
          if (c.bits == 32 && width != 8) {
            const size_t at = size_t(h - 1 - y) * rowLen + size_t(4 * x);
            const uint32_t word = uint32_t(pixels[at]) | uint32_t(pixels[at + 1]) << 8 |
                                  uint32_t(pixels[at + 2]) << 16 | uint32_t(pixels[at + 3]) << 24;
            int shift = 0;
            while (!((fieldMasks[k] >> shift) & 1)) ++shift;
            const uint64_t top = (uint64_t(1) << width) - 1, v = (word & fieldMasks[k]) >> shift;
            EXPECT_EQ(ours[k], int((v * 255 + top / 2) / top)) << where;
          } else if (width < 8) {
            const int drop = 8 - width;
            EXPECT_EQ(ours[k] >> drop, theirs[k] >> drop) << where;
            EXPECT_EQ(ours[k] & ((1 << drop) - 1), 0) << where;
          } else {
            EXPECT_LE(std::abs(ours[k] - theirs[k]), width == 8 ? 0 : 1) << where;
          }
        }
        anyAlpha |= alpha != 255;
      }
    EXPECT_EQ(anyAlpha, c.alphaMask != 0) << c.name;
  }
}

TEST(BmpTools, OurFilesReadInPillowAndImageMagick) {
  const bool pil = HavePillow(), magick = HaveMagick();
  if (!pil && !magick) GTEST_SKIP() << "neither Pillow nor ImageMagick is installed";
  TempDir dir;
  const int w = 11, h = 5;
  struct Case {
    const char* name;
    int bits, samples;
    uint8_t version, compression;
    bool alpha, few;
  };
  const Case cases[] = {
      {"b4", 4, 1, 1, 0, false, true},   {"b8", 8, 1, 1, 0, false, true},   {"rle8", 8, 1, 1, 1, false, true},
      {"b24", 8, 3, 1, 0, false, false}, {"b32", 8, 3, 1, 0, true, false}, {"core24", 8, 3, 2, 0, false, false},
  };
  std::vector<std::string> paths;
  for (const auto& c : cases) {
    TRVBitmap src;
    FillTestBitmap(src, w, h, c.few);
    if (c.alpha)
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) src.SetAlpha(x, y, TestPixel(x, y).a);
    TIOParamsVals p;
    p.BitsPerSample = c.bits;
    p.SamplesPerPixel = c.samples;
    p.BMP_Version = c.version;
    p.BMP_Compression = c.compression;
    paths.push_back(dir.File(std::string(c.name) + ".bmp"));
    WriteFileBytes(paths.back(), WriteBmp(src, p, true));
  }
  ForEachToolDecoding(paths, pil, magick, w, h, [&](size_t i, int tool, const std::vector<uint8_t>& got) {
    const auto& c = cases[i];
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const Rgba e = c.few ? FewColorPixel(x, y) : TestPixel(x, y);
        const uint8_t* g = &got[size_t(4 * (y * w + x))];
        ASSERT_TRUE(g[0] == e.r && g[1] == e.g && g[2] == e.b) << c.name << " tool " << tool << " at " << x << "," << y;
      }
  });
}

}  // namespace
}  // namespace rv
