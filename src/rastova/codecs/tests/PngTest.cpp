#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <sstream>

#include "TestTools.h"
#include "common/tests/support/AllocationWatch.h"
#include "rastova/codecs/png/pngfilt.h"

namespace rv {
namespace {

using namespace test;

struct PngDecoded {
  TRVBitmap bitmap;
  TIOParamsVals params;
  bool ok = false;
  int32_t progressCalls = 0;
  int32_t lastPercent = -1;
};

std::unique_ptr<PngDecoded> ReadPng(const std::vector<uint8_t>& data, bool native = false, int64_t offset = 0,
                                 bool paramsOnly = false) {
  auto d = std::make_unique<PngDecoded>();
  d->params.NativePixelFormat = native;
  auto s = StreamOf(data);
  s->SetPosition(offset);
  TRVProgressRec progress;
  progress.fnc = [p = d.get()](void*, int32_t per) {
    ++p->progressCalls;
    p->lastPercent = per;
  };
  ReadPNGStream(*s, d->bitmap, d->params, paramsOnly, progress);
  d->ok = !progress.IsAborting();
  return d;
}

std::vector<uint8_t> WritePng(TRVBitmap& bitmap, TIOParamsVals& params, TRVMask* mask, bool* ok = nullptr) {
  TMemoryStream s;
  TRVProgressRec progress;
  WritePNGStream(s, bitmap, params, mask, progress);
  if (ok) *ok = !progress.IsAborting();
  return s.Data();
}

uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
  return (uint32_t(b[at]) << 24) | (uint32_t(b[at + 1]) << 16) | (uint32_t(b[at + 2]) << 8) | b[at + 3];
}
void PutBe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = uint8_t(v >> 24);
  b[at + 1] = uint8_t(v >> 16);
  b[at + 2] = uint8_t(v >> 8);
  b[at + 3] = uint8_t(v);
}
// Offset of a chunk's length field, or 0.
size_t FindChunk(const std::vector<uint8_t>& f, const char* type) {
  size_t at = 8;
  while (at + 8 <= f.size()) {
    if (std::memcmp(&f[at + 4], type, 4) == 0) return at;
    at += 12 + Be32(f, at);
  }
  return 0;
}
void FixCrc(std::vector<uint8_t>& f, size_t chunk) {
  const uint32_t len = Be32(f, chunk);
  PutBe32(f, chunk + 8 + len, uint32_t(crc32(0, &f[chunk + 4], len + 4)));
}
std::vector<std::string> ChunkTypes(const std::vector<uint8_t>& f) {
  std::vector<std::string> out;
  size_t at = 8;
  while (at + 8 <= f.size()) {
    out.emplace_back(reinterpret_cast<const char*>(&f[at + 4]), 4);
    at += 12 + Be32(f, at);
  }
  return out;
}

TEST(Png, SculptMapRoundTrip) {
  const int w = 17, h = 9;
  TRVBitmap src;
  FillTestBitmap(src, w, h);
  auto mask = TestAlphaMask(w, h);
  TIOParamsVals p;
  p.PNG_TextKeys = {"Author", "ImageName"};
  p.PNG_TextValues = {"DURIM PROJECT", "sculpt.png"};
  p.PNG_Interlaced = false;
  p.PNG_Compression = 9;
  p.PNG_Background = MakeRGB(255, 128, 0);
  p.SetDpiX(72);
  p.SetDpiY(96);
  bool ok = false;
  auto f = WritePng(src, p, mask.get(), &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(f[8 + 8 + 9], 6);  // colour type RGBA
  auto types = ChunkTypes(f);
  EXPECT_EQ(types.front(), "IHDR");
  EXPECT_EQ(types.back(), "IEND");
  auto d = ReadPng(f);
  ASSERT_TRUE(d->ok);
  ExpectPicture(d->bitmap, w, h, false, "sculpt");
  ASSERT_TRUE(d->bitmap.HasAlphaBitmap());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ASSERT_EQ(d->bitmap.GetAlpha(x, y), TestPixel(x, y).a);
  EXPECT_EQ(d->params.PNG_TextKeys, p.PNG_TextKeys);
  EXPECT_EQ(d->params.PNG_TextValues, p.PNG_TextValues);
  EXPECT_EQ(d->params.PNG_Background, MakeRGB(255, 128, 0));
  EXPECT_EQ(d->params.SamplesPerPixel, 4);
  EXPECT_EQ(d->params.BitsPerSample, 8);
  EXPECT_EQ(d->params.DpiX, 72);
  EXPECT_EQ(d->params.DpiY, 96);
  EXPECT_FALSE(d->params.PNG_Interlaced);
}

TEST(Png, OutputVariantsRoundTrip) {
  struct Case {
    const char* name;
    int samples, bits;
    bool interlaced, alpha, few;
    int colorType, depth;
  };
  const Case cases[] = {
      {"rgb", 3, 8, false, false, false, 2, 8},
      {"rgb interlaced", 3, 8, true, false, false, 2, 8},
      {"rgba interlaced", 3, 8, true, true, false, 6, 8},
      {"palette", 1, 8, false, false, true, 3, 8},
      {"palette interlaced", 1, 8, true, false, true, 3, 8},
      {"palette, 4 bits asked", 1, 4, false, false, true, 3, 8},
  };
  const int w = 12, h = 10;
  for (const auto& c : cases) {
    TRVBitmap src;
    FillTestBitmap(src, w, h, c.few);
    auto mask = TestAlphaMask(w, h);
    TIOParamsVals p;
    p.SamplesPerPixel = c.samples;
    p.BitsPerSample = c.bits;
    p.PNG_Interlaced = c.interlaced;
    auto f = WritePng(src, p, c.alpha ? mask.get() : nullptr);
    EXPECT_EQ(f[25], c.colorType) << c.name;
    EXPECT_EQ(f[24], c.depth) << c.name;
    if (c.bits == 4) {
      EXPECT_EQ(p.BitsPerSample, 8) << "the caller's parameters change too";
    }
    if (c.colorType == 3) {
      EXPECT_EQ(Be32(f, FindChunk(f, "PLTE")), 768u) << c.name;
    }
    auto d = ReadPng(f);
    ASSERT_TRUE(d->ok) << c.name;
    ExpectPicture(d->bitmap, w, h, c.few, c.name);
    EXPECT_EQ(d->params.PNG_Interlaced, c.interlaced);
    if (c.alpha) {
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ASSERT_EQ(d->bitmap.GetAlpha(x, y), TestPixel(x, y).a) << c.name;
    }
    if (c.interlaced) {
      EXPECT_EQ(d->lastPercent, 100) << "progress runs over all seven passes";
    }
  }
}

TEST(Png, PaletteWithAlphaAndGreyAndOneBit) {
  const int w = 20, h = 4;
  // Palette with binary alpha: transparent pixels become entry 0.
  TRVBitmap src;
  FillTestBitmap(src, w, h, true);
  auto mask = TestAlphaMask(w, h, true);
  TIOParamsVals p;
  p.SamplesPerPixel = 1;
  p.BitsPerSample = 8;
  p.PNG_Background = MakeRGB(1, 2, 3);
  auto f = WritePng(src, p, mask.get());
  EXPECT_EQ(f[25], 3);
  ASSERT_NE(FindChunk(f, "tRNS"), 0u);
  auto d = ReadPng(f);
  ASSERT_TRUE(d->ok);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Rgba e = FewColorPixel(x, y);
      ASSERT_EQ(d->bitmap.GetAlpha(x, y), e.a);
      if (e.a == 255) {
        ASSERT_EQ(PixelOf(d->bitmap, x, y).r, e.r);
      }
    }
  EXPECT_EQ(d->params.PNG_Background, MakeRGB(1, 2, 3));
  auto n = ReadPng(f, true);
  ASSERT_TRUE(n->ok);
  EXPECT_EQ(n->bitmap.GetPixelFormat(), rv8p);
  EXPECT_FALSE(n->bitmap.HasAlphaBitmap());

  // A grey picture with one sample is written grey.
  TRVBitmap grey(w, h, rv24RGB);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) grey.SetPixels(x, y, uint32_t(x * 12 + y) * 0x010101u);
  TIOParamsVals g;
  g.SamplesPerPixel = 1;
  g.PNG_Background = MakeRGB(40, 40, 40);
  auto gf = WritePng(grey, g, nullptr);
  EXPECT_EQ(gf[25], 0);
  auto gd = ReadPng(gf, true);
  ASSERT_TRUE(gd->ok);
  EXPECT_EQ(gd->bitmap.GetPixelFormat(), rv8g);
  EXPECT_EQ(gd->bitmap.GetPixels_rv8(3, 2), 38);
  EXPECT_EQ(gd->bitmap.GetPixels_rv8(12, 1), 145);
  EXPECT_EQ(gd->params.PNG_Background, MakeRGB(40, 40, 40));

  // 1 bit.
  TRVBitmap one(w, h, rv1g);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) one.SetPixels_rv1g(x, y, (x * y) % 3 == 0);
  TIOParamsVals o;
  o.SamplesPerPixel = 1;
  o.BitsPerSample = 1;
  auto of = WritePng(one, o, nullptr);
  EXPECT_EQ(of[24], 1);
  EXPECT_EQ(of[25], 0);
  auto od = ReadPng(of);
  ASSERT_TRUE(od->ok);
  ASSERT_EQ(od->bitmap.GetPixelFormat(), rv1g);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ASSERT_EQ(od->bitmap.GetPixels_rv1g(x, y), (x * y) % 3 == 0);
}

TEST(Png, SixteenBitGreyKeepsEverySample) {
  TRVBitmap src(6, 2, rv16g);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 6; ++x) src.SetPixels_rv16g(x, y, uint16_t(x * 10007 + y * 313));
  TIOParamsVals p;
  p.SamplesPerPixel = 1;
  p.BitsPerSample = 16;
  p.PNG_Background = MakeRGB(200, 200, 200);
  auto f = WritePng(src, p, nullptr);
  EXPECT_EQ(f[24], 16);
  auto d = ReadPng(f, true);
  ASSERT_TRUE(d->ok);
  ASSERT_EQ(d->bitmap.GetPixelFormat(), rv16g);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(d->bitmap.GetPixels_rv16g(x, y), uint16_t(x * 10007 + y * 313));
  EXPECT_EQ(d->params.PNG_Background, MakeRGB(200, 200, 200));
  auto e = ReadPng(f, false);
  ASSERT_TRUE(e->ok);
  EXPECT_EQ(e->bitmap.GetPixelFormat(), rv24RGB);
  EXPECT_EQ(PixelOf(e->bitmap, 5, 1).g, uint16_t(5 * 10007 + 313) >> 8);
}

TEST(Png, SixteenBitColourMapIsRefused) {
  TRVBitmap src;
  FillTestBitmap(src, 4, 4);
  TIOParamsVals p;
  p.SamplesPerPixel = 1;
  p.BitsPerSample = 16;
  TMemoryStream s;
  TRVProgressRec progress;
  try {
    WritePNGStream(s, src, p, nullptr, progress);
    FAIL() << "no exception";
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "Error on creating PNG");
  }
}

TEST(Png, ResolutionAndParamsOnly) {
  TRVBitmap src;
  FillTestBitmap(src, 3, 3);
  TIOParamsVals p;
  p.SetDpiX(72);
  p.SetDpiY(72);
  auto f = WritePng(src, p, nullptr);
  const size_t phys = FindChunk(f, "pHYs");
  ASSERT_NE(phys, 0u);
  EXPECT_EQ(Be32(f, phys + 8), 2835u);
  // Without pHYs the library default applies.
  std::vector<uint8_t> noPhys(f.begin(), f.begin() + long(phys));
  Append(noPhys, std::vector<uint8_t>(f.begin() + long(phys) + 21, f.end()));
  auto d = ReadPng(noPhys, false, 0, true);
  ASSERT_TRUE(d->ok);
  EXPECT_EQ(d->params.DpiX, 300);
  EXPECT_EQ(d->bitmap.GetWidth(), 0);
  EXPECT_EQ(d->params.Width, 3);
  EXPECT_EQ(d->params.ImageCount, 1);
}

TEST(Png, ReadsFromTheStreamPositionAndStopsOnShortWrites) {
  TRVBitmap src;
  FillTestBitmap(src, 5, 5);
  TIOParamsVals p;
  std::vector<uint8_t> data = {1, 2, 3};
  Append(data, WritePng(src, p, nullptr));
  auto d = ReadPng(data, false, 3);
  ASSERT_TRUE(d->ok);
  ExpectPicture(d->bitmap, 5, 5, false, "offset");
  auto sig = StreamOf(data);
  EXPECT_FALSE(IsPNGStream(*sig));
  sig->SetPosition(3);
  EXPECT_TRUE(IsPNGStream(*sig));
  EXPECT_EQ(sig->GetPosition(), 3);

  class Short : public TMemoryStream {
   public:
    int64_t Write(const void* b, int64_t n) override {
      return TMemoryStream::Write(b, std::min<int64_t>(n, std::max<int64_t>(0, 40 - GetSize())));
    }
  } shortStream;
  TRVProgressRec progress;
  WritePNGStream(shortStream, src, p, nullptr, progress);
  EXPECT_TRUE(progress.IsAborting());
}

TEST(Png, DamagedFiles) {
  TRVBitmap src;
  FillTestBitmap(src, 20, 12);
  TIOParamsVals p;
  p.PNG_TextKeys = {"k"};
  p.PNG_TextValues = {"v"};
  const auto good = WritePng(src, p, nullptr);
  TIOParamsVals pp;
  pp.SamplesPerPixel = 1;
  TRVBitmap few;
  FillTestBitmap(few, 20, 12, true);
  const auto pal = WritePng(few, pp, nullptr);
  const size_t ihdr = FindChunk(good, "IHDR"), idat = FindChunk(good, "IDAT");
  auto cut = [](const std::vector<uint8_t>& f, size_t n) { return std::vector<uint8_t>(f.begin(), f.begin() + long(n)); };
  auto withSize = [&](uint32_t w, uint32_t h) {
    auto f = good;
    PutBe32(f, ihdr + 8, w);
    PutBe32(f, ihdr + 12, h);
    FixCrc(f, ihdr);
    return f;
  };
  auto flip = [](std::vector<uint8_t> f, size_t at) {
    f[at] ^= 0x5A;
    return f;
  };
  auto plteLength = [&](uint32_t n) {
    auto f = pal;
    PutBe32(f, FindChunk(f, "PLTE"), n);
    return f;
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
  };
  const std::vector<Case> cases = {
      {"empty", {}},
      {"signature only", cut(good, 8)},
      {"cut in IHDR", cut(good, 20)},
      {"cut after IHDR", cut(good, idat)},
      {"cut in IDAT", cut(good, idat + 30)},
      {"cut before IEND", cut(good, good.size() - 12)},
      {"width 0", withSize(0, 12)},
      {"height 0", withSize(20, 0)},
      {"width 2^31", withSize(0x80000000u, 12)},
      {"size 1000000 x 1000000", withSize(1000000, 1000000)},
      {"size 60000 x 60000", withSize(60000, 60000)},
      {"IHDR bytes mutated (CRC)", flip(good, ihdr + 10)},
      {"IDAT bytes mutated", flip(good, idat + 20)},
      {"IDAT length huge", [&] {
         auto f = good;
         PutBe32(f, idat, 0x7FFFFFF0u);
         return f;
       }()},
      {"PLTE of 300 entries", plteLength(900)},
      {"PLTE length not a multiple of 3", plteLength(10)},
      // 41 bytes: signature, IHDR and the head of a text chunk that declares 1.9 GB.
      {"text chunk of 1.9 GB", [&] {
         auto f = cut(good, ihdr + 25);
         Append(f, {0x71, 0, 0, 0, 't', 'E', 'X', 't'});
         return f;
       }()},
      {"compressed text chunk of 100 MB", [&] {
         auto f = cut(good, ihdr + 25);
         Append(f, {0x06, 0, 0, 0, 'z', 'T', 'X', 't', 'k', 0, 0});
         return f;
       }()},
  };
  for (const auto& c : cases) {
    std::unique_ptr<PngDecoded> d;
    const size_t largest = test_support::LargestAllocationDuring([&] { d = ReadPng(c.data); });
    EXPECT_FALSE(d->ok) << c.name;
    EXPECT_LT(largest, size_t(16) << 20) << c.name;
  }
  // Palette indices past the palette read as some colour, without harm.
  auto f = pal;
  const size_t plte = FindChunk(f, "PLTE");
  std::vector<uint8_t> shortPal(f.begin(), f.begin() + long(plte));
  std::vector<uint8_t> chunk = {0, 0, 0, 6, 'P', 'L', 'T', 'E', 1, 2, 3, 4, 5, 6, 0, 0, 0, 0};
  PutBe32(chunk, 14, uint32_t(crc32(0, &chunk[4], 10)));
  Append(shortPal, chunk);
  Append(shortPal, std::vector<uint8_t>(f.begin() + long(plte) + 12 + Be32(f, plte), f.end()));
  auto d = ReadPng(shortPal);
  (void)d;
}

// ---------------------------------------------------------------- independent tools

TEST(PngTools, ToolFilesReadCorrectly) {
  if (!HavePillow()) GTEST_SKIP() << "Pillow (/usr/bin/python3 with PIL) is not installed";
  TempDir dir;
  const int w = 13, h = 9;
  struct Case {
    const char* name;
    const char* pillowSave;  // Python statements turning `base` (RGBA) into the file
    bool magick;             // converted by ImageMagick from the Pillow file
    const char* magickArgs;
    bool alpha;
  };
  const Case cases[] = {
      {"grey", "base.convert('L').save(P)", false, "", false},
      {"grey_alpha", "base.convert('LA').save(P)", false, "", true},
      {"rgb", "base.convert('RGB').save(P)", false, "", false},
      {"rgba", "base.save(P)", false, "", true},
      {"palette_trns", "q = base.convert('RGB').quantize(colors=32); q.info['transparency'] = 3; q.save(P, transparency=3)",
       false, "", true},
      {"palette4", "base.convert('RGB').quantize(colors=12).save(P, bits=4)", false, "", false},
      {"grey16", "base.convert('L').point(lambda v: v * 257, 'I').convert('I;16').save(P)", false, "", false},
      {"grey1", "base.convert('L').point(lambda v: 255 if v > 120 else 0).convert('1').save(P)", false, "", false},
      {"rgba_interlaced", "base.save(P)", true, "-interlace PNG", true},
      {"rgb48", "base.convert('RGB').save(P)", true, "-depth 16", false},
  };
  std::ostringstream py;
  py << "from PIL import Image\n" << kPyTestPixel << "base = Image.new('RGBA', (" << w << ", " << h << "))\n"
     << "base.putdata([px(x, y) for y in range(" << h << ") for x in range(" << w << ")])\n";
  std::vector<std::string> paths;
  for (const auto& c : cases) {
    const std::string path = dir.File(std::string(c.name) + ".png");
    paths.push_back(path);
    py << "P = '" << (c.magick ? path + ".src.png" : path) << "'\n" << c.pillowSave << "\n";
  }
  ASSERT_TRUE(RunPython(py.str()));
  for (size_t i = 0; i < paths.size(); ++i) {
    if (!cases[i].magick) continue;
    if (!HaveMagick()) GTEST_SKIP() << "ImageMagick (/usr/bin/convert) is not installed";
    ASSERT_TRUE(RunCommand("/usr/bin/convert '" + paths[i] + ".src.png' " + cases[i].magickArgs + " 'PNG" +
                           (std::string(cases[i].name) == "rgb48" ? "48" : "32") + ":" + paths[i] + "'"));
  }
  ASSERT_TRUE(PillowDecodeAll(paths));
  for (size_t i = 0; i < paths.size(); ++i) {
    const auto& c = cases[i];
    int dw, dh;
    std::vector<uint8_t> expect;
    // Pillow clips 16-bit grey when it converts to RGBA; the file holds the 8-bit grey x 257.
    const size_t from = std::string(c.name) == "grey16" ? 0 : i;
    ASSERT_TRUE(LoadDecoded(paths[from], dw, dh, expect)) << c.name;
    auto d = ReadPng(ReadFileBytes(paths[i]));
    ASSERT_TRUE(d->ok) << c.name;
    ASSERT_EQ(d->bitmap.GetWidth(), w) << c.name;
    if (std::string(c.name) == "rgba_interlaced") {
      EXPECT_TRUE(d->params.PNG_Interlaced);
    }
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t* e = &expect[size_t(4 * (y * w + x))];
        const Rgba a = PixelOf(d->bitmap, x, y);
        const int tol = std::string(c.name) == "rgb48" ? 1 : 0;
        ASSERT_NEAR(a.r, e[0], tol) << c.name << " at " << x << "," << y;
        ASSERT_NEAR(a.g, e[1], tol) << c.name << " at " << x << "," << y;
        ASSERT_NEAR(a.b, e[2], tol) << c.name << " at " << x << "," << y;
        if (c.alpha) {
          ASSERT_EQ(d->bitmap.GetAlpha(x, y), e[3]) << c.name;
        }
      }
    if (!c.alpha) {
      EXPECT_FALSE(d->bitmap.HasAlphaBitmap()) << c.name;
    }
  }
}

TEST(PngTools, OurFilesReadInPillowAndImageMagick) {
  const bool pil = HavePillow(), magick = HaveMagick();
  if (!pil && !magick) GTEST_SKIP() << "neither Pillow nor ImageMagick is installed";
  TempDir dir;
  const int w = 11, h = 7;
  struct Case {
    const char* name;
    int samples, bits;
    bool interlaced, alpha, few;
  };
  const Case cases[] = {
      {"rgba", 3, 8, false, true, false},   {"rgb_interlaced", 3, 8, true, false, false},
      {"palette", 1, 8, false, false, true}, {"palette_alpha", 1, 8, false, true, true},
  };
  std::vector<std::string> paths;
  for (const auto& c : cases) {
    TRVBitmap src;
    FillTestBitmap(src, w, h, c.few);
    auto mask = TestAlphaMask(w, h, c.few);
    TIOParamsVals p;
    p.SamplesPerPixel = c.samples;
    p.BitsPerSample = c.bits;
    p.PNG_Interlaced = c.interlaced;
    p.PNG_TextKeys = {"Author"};
    p.PNG_TextValues = {"DURIM PROJECT"};
    paths.push_back(dir.File(std::string(c.name) + ".png"));
    WriteFileBytes(paths.back(), WritePng(src, p, c.alpha ? mask.get() : nullptr));
  }
  ForEachToolDecoding(paths, pil, magick, w, h, [&](size_t i, int tool, const std::vector<uint8_t>& got) {
    const auto& c = cases[i];
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const Rgba e = c.few ? FewColorPixel(x, y) : TestPixel(x, y);
        const uint8_t* g = &got[size_t(4 * (y * w + x))];
        if (c.alpha) {
          ASSERT_EQ(g[3], e.a) << c.name << " tool " << tool;
        }
        if (g[3] == 0) continue;
        ASSERT_TRUE(g[0] == e.r && g[1] == e.g && g[2] == e.b) << c.name << " tool " << tool << " at " << x << "," << y;
      }
  });
}

}  // namespace
}  // namespace rv
