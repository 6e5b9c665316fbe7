// PCX and DCX: round trips of every depth, the run-length line coder, plane lines, the page
// table, damaged files, and files of and for Pillow and ImageMagick.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>

#include "TestTools.h"
#include "rastova/codecs/bitmaps/pcxfilter.h"

namespace rv {
namespace {

using namespace test;

struct PcxDecoded {
  TRVBitmap bitmap;
  TIOParamsVals params;
  bool ok = false;
};

std::unique_ptr<PcxDecoded> ReadPcx(const std::vector<uint8_t>& data, bool paramsOnly = false) {
  auto d = std::make_unique<PcxDecoded>();
  auto s = StreamOf(data);
  TRVProgressRec progress;
  ReadPCXStream(*s, d->bitmap, d->params, int64_t(data.size()), progress, paramsOnly);
  d->ok = !progress.IsAborting();
  return d;
}

std::vector<uint8_t> WritePcx(TRVBitmap& bitmap, TIOParamsVals& params) {
  TMemoryStream s;
  TRVProgressRec progress;
  WritePCXStream(s, bitmap, params, progress);
  EXPECT_FALSE(progress.IsAborting());
  return s.Data();
}

// A PCX header with the given layout, followed by `data`.
std::vector<uint8_t> PcxFile(int w, int h, int bits, int planes, int bpl, bool rle, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> f(128, 0);
  f[0] = 10;
  f[1] = 5;
  f[2] = rle ? 1 : 0;
  f[3] = uint8_t(bits);
  f[8] = uint8_t(w - 1);
  f[9] = uint8_t((w - 1) >> 8);
  f[10] = uint8_t(h - 1);
  f[11] = uint8_t((h - 1) >> 8);
  f[12] = 72;
  f[14] = 72;
  for (int i = 0; i < 16; ++i) f[16 + 3 * i] = f[17 + 3 * i] = f[18 + 3 * i] = uint8_t(i * 17);
  f[65] = uint8_t(planes);
  f[66] = uint8_t(bpl);
  f[67] = uint8_t(bpl >> 8);
  Append(f, data);
  return f;
}

TEST(Pcx, EveryDepthRoundTrips) {
  const int w = 13, h = 9;
  for (int compression : {0, 1}) {
    struct Case {
      int bps, spp;
      bool few;
      TRVPixelFormat format;
    };
    for (const Case& c : {Case{8, 3, false, rv24RGB}, Case{8, 1, true, rv24RGB}, Case{4, 1, true, rv24RGB},
                          Case{1, 1, false, rv1g}, Case{5, 1, false, rv24RGB}}) {
      SCOPED_TRACE(testing::Message() << c.bps << "x" << c.spp << " compression " << compression);
      TRVBitmap src;
      FillTestBitmap(src, w, h, c.few);
      if (c.bps == 1) src.SetPixelFormat(rv1g);
      TIOParamsVals p;
      p.BitsPerSample = c.bps;
      p.SamplesPerPixel = c.spp;
      p.PCX_Compression = uint8_t(compression);
      p.SetDpiX(150);
      p.SetDpiY(75);
      const auto file = WritePcx(src, p);
      EXPECT_EQ(file[66] % 2, 0);  // even bytes per line
      auto d = ReadPcx(file);
      ASSERT_TRUE(d->ok);
      EXPECT_EQ(d->params.DpiX, 150);
      EXPECT_EQ(d->params.DpiY, 75);
      ASSERT_EQ(d->bitmap.GetPixelFormat(), c.format);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const Rgba a = PixelOf(d->bitmap, x, y), e = PixelOf(src, x, y);
          ASSERT_TRUE(a.r == e.r && a.g == e.g && a.b == e.b) << x << "," << y;
        }
    }
  }
}

TEST(Pcx, LargeImagesDecodeAcrossTheReadBlocks) {
  // Several read blocks of data whose runs and literals fall on every boundary.
  for (int compression : {0, 1}) {
    TRVBitmap src;
    FillTestBitmap(src, 701, 97);
    for (int y = 0; y < 97; ++y)
      for (int x = 0; x < 701; x += 5) std::memset(src.GetScanLine(y) + 3 * x, 0xC7 + (y & 3), size_t(std::min(9, 3 * (701 - x))));
    TIOParamsVals p;
    p.PCX_Compression = uint8_t(compression);
    auto d = ReadPcx(WritePcx(src, p));
    ASSERT_TRUE(d->ok) << compression;
    for (int y = 0; y < 97; ++y)
      ASSERT_EQ(std::memcmp(d->bitmap.GetScanLine(y), src.GetScanLine(y), 701 * 3), 0) << compression << " row " << y;
  }
}

TEST(Pcx, LineCoderAndPlaneLines) {
  struct Case {
    std::vector<uint8_t> in;
    std::vector<uint8_t> out;
  };
  const Case cases[] = {
      {{0xC5, 1}, {0xC1, 0xC5, 1}},                    // a single high byte is a run of 1
      {{7, 7, 7}, {0xC3, 7, 0}},                       // odd count: a zero byte appended
      {std::vector<uint8_t>(64, 9), {0xFF, 9, 9}},     // 63 + 1
      {std::vector<uint8_t>(130, 2), {0xFF, 2, 0xFF, 2, 0xC4, 2}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> out(c.in.size() * 2 + 2);
    const int n = PCXEncodeLine(out.data(), c.in.data(), int32_t(c.in.size()), 1, 0);
    out.resize(size_t(n));
    EXPECT_EQ(out, c.out);
  }
  // A 3-pixel 8-bit image has 4 bytes per line, its coded lines end with the appended zero.
  TRVBitmap three;
  FillTestBitmap(three, 3, 2, true);
  TIOParamsVals p;
  p.SamplesPerPixel = 1;
  const auto file = WritePcx(three, p);
  EXPECT_EQ(file[66], 4);
  // A run that crosses from the red plane line into the green one continues there: 2 x 1
  // pixels, 2 bytes per line; the run of 3 covers red 0, red 1 and green 0.
  auto d = ReadPcx(PcxFile(2, 1, 8, 3, 2, true, {0xC3, 200, 50, 0xC2, 9}));
  ASSERT_TRUE(d->ok);
  EXPECT_EQ(PixelOf(d->bitmap, 0, 0).r, 200);
  EXPECT_EQ(PixelOf(d->bitmap, 1, 0).r, 200);
  EXPECT_EQ(PixelOf(d->bitmap, 0, 0).g, 200);
  EXPECT_EQ(PixelOf(d->bitmap, 1, 0).g, 50);
  EXPECT_EQ(PixelOf(d->bitmap, 1, 0).b, 9);
  // 16 colours on four 1-bit planes: parameters 4 bits, 1 sample; bit p of the planes is 2^p.
  auto planes = ReadPcx(PcxFile(8, 1, 1, 4, 2, false, {0x80, 0, 0x80, 0, 0x80, 0, 0x80, 0}));
  ASSERT_TRUE(planes->ok);
  EXPECT_EQ(planes->params.BitsPerSample, 4);
  EXPECT_EQ(planes->params.SamplesPerPixel, 1);
  EXPECT_EQ(PixelOf(planes->bitmap, 0, 0).r, 255);
  EXPECT_EQ(PixelOf(planes->bitmap, 1, 0).r, 0);
  // Resolution 300 x 0 gives both the library default.
  auto dpi = PcxFile(2, 1, 8, 3, 2, false, std::vector<uint8_t>(6, 1));
  dpi[12] = 0x2C;
  dpi[13] = 1;
  dpi[14] = 0;
  auto dd = ReadPcx(dpi);
  EXPECT_EQ(dd->params.DpiX, DefaultDpiX);
  EXPECT_EQ(dd->params.DpiY, DefaultDpiY);
  // A 1-bit source writes black and white into header entries 0 and 1; an odd uncompressed
  // 24-bit line is padded with 0.
  TRVBitmap bw(5, 2, rv1g);
  bw.Fill(0);
  TIOParamsVals pb;
  pb.BitsPerSample = 1;
  const auto bwFile = WritePcx(bw, pb);
  EXPECT_EQ(std::vector<uint8_t>(bwFile.begin() + 16, bwFile.begin() + 22), (std::vector<uint8_t>{0, 0, 0, 255, 255, 255}));
  TRVBitmap odd;
  FillTestBitmap(odd, 3, 1);
  TIOParamsVals po;
  po.PCX_Compression = 0;
  const auto oddFile = WritePcx(odd, po);
  EXPECT_EQ(oddFile[128 + 3], 0);
  EXPECT_EQ(oddFile[128 + 7], 0);
}

// Run-length data of every kind of token, in mixes that keep the decoder's sixteen-byte blocks
// busy (literals, single high bytes, runs of two) and that stop them (long and empty runs, runs
// that cross into the next line, the ends of lines and of the read blocks), against a plain
// token by token decoding; cut data keep the complete rows and leave the rest black.
TEST(Pcx, RunLengthTokenMixesDecodeAsTokenByToken) {
  struct Mix {
    const char* name;
    int literal, single, two, longRun, empty;
  };
  const Mix mixes[] = {
      {"literals", 1, 0, 0, 0, 0},   {"single high bytes", 0, 1, 0, 0, 0}, {"noisy", 6, 3, 1, 0, 0},
      {"every kind", 6, 3, 2, 1, 1}, {"mostly long runs", 1, 0, 0, 4, 0},
  };
  struct Size {
    int w, h;
  };
  const Size sizes[] = {{37, 5}, {200, 7}, {1001, 30}};
  std::mt19937 random(7);
  for (const Mix& mix : mixes) {
    for (const Size& size : sizes) {
      const int bpl = size.w + (size.w & 1);
      const size_t total = size_t(bpl) * 3 * size_t(size.h);
      std::vector<uint8_t> data, plain;
      std::discrete_distribution<int> kind(
          {double(mix.literal), double(mix.single), double(mix.two), double(mix.longRun), double(mix.empty)});
      while (plain.size() < total) {
        const uint8_t v = uint8_t(random());
        int count = 1;
        switch (kind(random)) {
          case 0:
            data.push_back(v % 0xC0);
            plain.push_back(v % 0xC0);
            continue;
          case 1:
            count = 1;
            break;
          case 2:
            count = 2;
            break;
          case 3:
            count = 3 + int(random() % 61);
            break;
          default:
            count = 0;
            break;
        }
        data.push_back(uint8_t(0xC0 + count));
        data.push_back(v);
        plain.insert(plain.end(), size_t(count), v);
      }
      for (size_t cut : {data.size(), data.size() / 2 + 1, data.size() / 3}) {
        const std::vector<uint8_t> part(data.begin(), data.begin() + long(cut));
        size_t produced = 0;
        for (size_t i = 0; i < part.size(); ++i) {
          if (part[i] < 0xC0)
            ++produced;
          else if (i + 1 < part.size())
            produced += part[i++] & 0x3F;
        }
        auto d = ReadPcx(PcxFile(size.w, size.h, 8, 3, bpl, true, part));
        const std::string where = std::string(mix.name) + ", " + std::to_string(size.w) + " wide, " +
                                  std::to_string(cut) + " of " + std::to_string(data.size()) + " bytes";
        EXPECT_EQ(d->ok, produced >= total) << where;
        // Data that could not fill the image even with the longest runs are refused at once.
        if (total > (cut / 2 + 1) * 63) continue;
        ASSERT_EQ(d->bitmap.GetHeight(), size.h) << where;
        for (int y = 0; y < size.h; ++y) {
          const size_t line = size_t(y) * 3 * size_t(bpl);
          const bool reached = produced >= line + 3 * size_t(bpl);
          const uint8_t* row = d->bitmap.GetScanLine(y);
          for (int x = 0; x < size.w; ++x) {
            const uint8_t expected[3] = {uint8_t(reached ? plain[line + 2 * size_t(bpl) + size_t(x)] : 0),
                                         uint8_t(reached ? plain[line + size_t(bpl) + size_t(x)] : 0),
                                         uint8_t(reached ? plain[line + size_t(x)] : 0)};
            ASSERT_EQ(std::memcmp(row + 3 * x, expected, 3), 0) << where << ", pixel " << x << ", " << y;
          }
        }
      }
    }
  }
}

TEST(Pcx, DamagedFiles) {
  TRVBitmap src;
  FillTestBitmap(src, 20, 10, true);
  TIOParamsVals p;
  p.SamplesPerPixel = 1;
  const auto good = WritePcx(src, p);  // 8-bit, run-length, trailing palette
  auto with = [&](size_t at, uint8_t v) {
    auto f = good;
    f[at] = v;
    return f;
  };
  auto cut = [&](size_t n) { return std::vector<uint8_t>(good.begin(), good.begin() + long(n)); };
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
  };
  const Case cases[] = {
      {"empty", {}},
      {"manufacturer 9", with(0, 9)},
      {"encoding 2", with(2, 2)},
      {"9 bits", with(3, 9)},
      {"x max below x min", with(4, 40)},
      {"width beyond bytes per line", with(66, 2)},
      {"cut in the header", cut(100)},
      {"an 8-bit file shorter than 896 bytes", cut(300)},
      {"run-length data that end early", PcxFile(20, 10, 8, 3, 20, true, {0xFF, 1, 0xFF, 2})},
      {"2 bits on one plane", PcxFile(8, 1, 2, 1, 2, false, {1, 2})},
      {"2 planes", PcxFile(8, 1, 8, 2, 8, false, std::vector<uint8_t>(16, 1))},
      {"a huge window with little data", PcxFile(255, 255, 8, 3, 255, true, {0xFF, 1}) },
  };
  for (const Case& c : cases) {
    auto d = ReadPcx(c.data);
    EXPECT_FALSE(d->ok) << c.name;
  }
  // Rows the data do not reach stay black.
  auto early = ReadPcx(PcxFile(2, 3, 8, 3, 2, false, {9, 9, 9, 9, 9, 9}));
  EXPECT_FALSE(early->ok);
  ASSERT_EQ(early->bitmap.GetHeight(), 3);
  EXPECT_EQ(PixelOf(early->bitmap, 0, 0).r, 9);
  EXPECT_EQ(PixelOf(early->bitmap, 1, 2).r, 0);
  for (size_t at = 0; at < good.size(); at += 5) {
    auto f = good;
    f[at] ^= 0xA5;
    ReadPcx(f);
  }
}

// ---------------------------------------------------------------- DCX

std::vector<uint8_t> Page(int shade) {
  TRVBitmap b;
  b.Allocate(4, 3, rv24RGB);
  b.Fill(double(shade * 0x010101));
  TIOParamsVals p;
  return WritePcx(b, p);
}

int ShadeOfPage(TMemoryStream& dcx, int index, int* count = nullptr) {
  TRVBitmap b;
  TIOParamsVals p;
  p.SetImageIndex(index);
  TRVProgressRec progress;
  dcx.SetPosition(0);
  ReadDCXStream(dcx, b, p, progress, false);
  if (count) *count = p.ImageIndex;
  return progress.IsAborting() ? -1 : PixelOf(b, 0, 0).r;
}

void InsertPage(TMemoryStream& dcx, int shade, int index, bool* ok = nullptr) {
  TRVBitmap b;
  b.Allocate(4, 3, rv24RGB);
  b.Fill(double(shade * 0x010101));
  TIOParamsVals p;
  p.SetImageIndex(index);
  TRVProgressRec progress;
  WriteDCXStream(dcx, b, p, progress);
  if (ok) *ok = !progress.IsAborting();
}

TEST(Dcx, PagesInsertReadAndClamp) {
  TMemoryStream dcx;
  InsertPage(dcx, 10, 0);
  InsertPage(dcx, 20, 1);
  dcx.SetPosition(0);
  EXPECT_TRUE(IsDCXStream(dcx));
  InsertPage(dcx, 30, 0);  // at 0: first
  EXPECT_EQ(ShadeOfPage(dcx, 0), 30);
  EXPECT_EQ(ShadeOfPage(dcx, 1), 10);
  InsertPage(dcx, 40, 3);  // at the page count: appended
  EXPECT_EQ(ShadeOfPage(dcx, 3), 40);
  const auto before = dcx.Data();
  InsertPage(dcx, 50, 9);  // past the pages: nothing added
  EXPECT_EQ(dcx.Data().size(), before.size() + 4);  // only the table's placeholder entry grew
  int index = 0;
  EXPECT_EQ(ShadeOfPage(dcx, 7, &index), 40);  // clamped to the last page
  EXPECT_EQ(index, 3);
  // A stream that holds something else is refused and left alone.
  TMemoryStream other;
  other.WriteBuffer("not a dcx file", 14);
  bool ok = true;
  InsertPage(other, 1, 0, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(other.GetSize(), 14);
}

TEST(Dcx, DamagedTables) {
  const uint8_t magic[4] = {0xB1, 0x68, 0xDE, 0x3A};
  auto file = [&](const std::vector<uint32_t>& table, const std::vector<uint8_t>& tail) {
    std::vector<uint8_t> f(magic, magic + 4);
    for (uint32_t v : table)
      for (int k = 0; k < 4; ++k) f.push_back(uint8_t(v >> (8 * k)));
    Append(f, tail);
    return f;
  };
  std::vector<uint32_t> many(1024, 4 + 4 * 1024);
  const auto page = Page(7);
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
    bool ok;
  };
  const Case cases[] = {
      {"offset past the end", file({0x7FFFFFFF, 0}, page), false},
      {"no entry", file({0}, page), false},
      {"1,024 entries", file(many, page), true},
      {"a page that is not PCX", file({12, 0}, std::vector<uint8_t>(200, 3)), false},
  };
  for (const Case& c : cases) {
    auto s = StreamOf(c.data);
    TRVBitmap b;
    TIOParamsVals p;
    TRVProgressRec progress;
    ReadDCXStream(*s, b, p, progress, false);
    EXPECT_EQ(!progress.IsAborting(), c.ok) << c.name;
  }
}

// ---------------------------------------------------------------- independent tools

TEST(PcxTools, PillowFilesReadAndOursReadInPillow) {
  if (!HavePillow()) GTEST_SKIP() << "Pillow (/usr/bin/python3 with PIL) is not installed";
  TempDir dir;
  const int w = 19, h = 11;
  std::ostringstream py;
  py << "from PIL import Image\n" << kPyTestPixel
     << "base = Image.new('RGB', (" << w << ", " << h << "))\n"
     << "base.putdata([px(x, y)[:3] for y in range(" << h << ") for x in range(" << w << ")])\n"
     << "base.save('" << dir.File("rgb.pcx") << "')\n"
     << "base.convert('L').save('" << dir.File("grey.pcx") << "')\n"
     << "base.quantize(colors=40).save('" << dir.File("pal.pcx") << "')\n"
     << "base.convert('1').save('" << dir.File("bw.pcx") << "')\n";
  ASSERT_TRUE(RunPython(py.str()));
  std::vector<std::string> paths;
  for (const char* n : {"rgb", "grey", "pal", "bw"}) paths.push_back(dir.File(std::string(n) + ".pcx"));
  // Ours, at each depth, for Pillow to read.
  TRVBitmap src;
  FillTestBitmap(src, w, h, true);
  // Pillow has no 4-bit single-plane PCX; ImageMagick checks that one below.
  for (int bps : {1, 8}) {
    TIOParamsVals p;
    p.BitsPerSample = bps;
    p.SamplesPerPixel = 1;
    TRVBitmap copy;
    copy.Assign(&src);
    if (bps == 1) copy.SetPixelFormat(rv1g);
    paths.push_back(dir.File("ours" + std::to_string(bps) + ".pcx"));
    WriteFileBytes(paths.back(), WritePcx(copy, p));
  }
  TIOParamsVals p24;
  paths.push_back(dir.File("ours24.pcx"));
  WriteFileBytes(paths.back(), WritePcx(src, p24));
  ASSERT_TRUE(PillowDecodeAll(paths));
  if (HaveMagick()) {
    TIOParamsVals p4;
    p4.BitsPerSample = 4;
    p4.SamplesPerPixel = 1;
    paths.push_back(dir.File("ours4.pcx"));
    WriteFileBytes(paths.back(), WritePcx(src, p4));
  }
  for (const auto& path : paths) {
    int dw, dh;
    std::vector<uint8_t> expect;
    const bool magick = path == dir.File("ours4.pcx");
    ASSERT_TRUE(magick ? MagickDecode(path, dw, dh, expect) : LoadDecoded(path, dw, dh, expect)) << path;
    auto d = ReadPcx(ReadFileBytes(path));
    ASSERT_TRUE(d->ok) << path;
    ASSERT_EQ(d->bitmap.GetWidth(), dw);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t* e = &expect[size_t(4 * (y * w + x))];
        const Rgba a = PixelOf(d->bitmap, x, y);
        ASSERT_TRUE(a.r == e[0] && a.g == e[1] && a.b == e[2]) << path << " at " << x << "," << y;
      }
  }
}

TEST(PcxTools, ImageMagickDcxPages) {
  if (!HaveMagick()) GTEST_SKIP() << "ImageMagick (/usr/bin/convert) is not installed";
  TempDir dir;
  const std::string theirs = dir.File("theirs.dcx");
  ASSERT_TRUE(RunCommand("/usr/bin/convert -size 6x4 xc:'#FF0000' xc:'#00FF00' xc:'#0000FF' '" + theirs + "'"));
  auto s = StreamOf(ReadFileBytes(theirs));
  EXPECT_TRUE(IsDCXStream(*s));
  const uint8_t expect[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  for (int k = 0; k < 3; ++k) {
    TRVBitmap b;
    TIOParamsVals p;
    p.SetImageIndex(k);
    TRVProgressRec progress;
    s->SetPosition(0);
    ReadDCXStream(*s, b, p, progress, false);
    ASSERT_FALSE(progress.IsAborting()) << k;
    const Rgba a = PixelOf(b, 5, 3);
    EXPECT_TRUE(a.r == expect[k][0] && a.g == expect[k][1] && a.b == expect[k][2]) << k;
  }
  // Ours: three pages that ImageMagick reads back in order.
  TMemoryStream dcx;
  InsertPage(dcx, 30, 0);
  InsertPage(dcx, 90, 1);
  InsertPage(dcx, 150, 2);
  const std::string ours = dir.File("ours.dcx");
  WriteFileBytes(ours, dcx.Data());
  for (int k = 0; k < 3; ++k) {
    int w, h;
    std::vector<uint8_t> rgba;
    ASSERT_TRUE(MagickDecode(ours + "[" + std::to_string(k) + "]", w, h, rgba)) << k;
    EXPECT_EQ(rgba[0], 30 + 60 * k) << k;
  }
}

}  // namespace
}  // namespace rv
