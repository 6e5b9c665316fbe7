// PNM (P1 to P6) and WBMP: header tokens and comments, every form, scaling by the maximum,
// damaged files, and files of and for netpbm, Pillow and ImageMagick.
#include <gtest/gtest.h>

#include <sstream>

#include "TestTools.h"
#include "rastova/codecs/bitmaps/pxmfilter.h"

namespace rv {
namespace {

using namespace test;

struct PxmDecoded {
  TRVBitmap bitmap;
  TIOParamsVals params;
  bool ok = false;
};

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::unique_ptr<PxmDecoded> ReadPxm(const std::vector<uint8_t>& data, bool native = false) {
  auto d = std::make_unique<PxmDecoded>();
  d->params.NativePixelFormat = native;
  auto s = StreamOf(data);
  TRVProgressRec progress;
  ReadPXMStream(*s, d->bitmap, d->params, false, progress);
  d->ok = !progress.IsAborting();
  return d;
}

std::unique_ptr<PxmDecoded> ReadWbmp(const std::vector<uint8_t>& data) {
  auto d = std::make_unique<PxmDecoded>();
  auto s = StreamOf(data);
  TRVProgressRec progress;
  ReadWBMPStream(*s, d->bitmap, d->params, false, progress);
  d->ok = !progress.IsAborting();
  return d;
}

std::vector<uint8_t> WritePxm(TRVBitmap& b, TIOParamsVals& p) {
  TMemoryStream s;
  TRVProgressRec progress;
  WritePXMStream(s, b, p, progress);
  EXPECT_FALSE(progress.IsAborting());
  return s.Data();
}

TEST(Pxm, HeadersTokensAndComments) {
  // Comments between every token read the same as none, and land in PXM_Comments.
  auto plain = ReadPxm(Bytes("P2 3 1 9 0 9 3"));
  auto commented = ReadPxm(Bytes("P2 #  one  \n3 #two\r1 # three\n9\n0 9 3"));
  ASSERT_TRUE(plain->ok);
  ASSERT_TRUE(commented->ok);
  EXPECT_EQ(commented->params.PXM_Comments, (std::vector<std::string>{"one", "two", "three"}));
  for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelOf(plain->bitmap, x, 0).r, PixelOf(commented->bitmap, x, 0).r);
  EXPECT_EQ(PixelOf(plain->bitmap, 1, 0).g, 255);
  EXPECT_EQ(PixelOf(plain->bitmap, 2, 0).b, 85);
  // A minus sign separates tokens like any other byte that is neither letter nor digit.
  auto minus = ReadPxm(Bytes("P2 2 -1 -9 9-3"));
  ASSERT_TRUE(minus->ok);
  EXPECT_EQ(minus->bitmap.GetHeight(), 1);
  EXPECT_EQ(PixelOf(minus->bitmap, 0, 0).r, 255);
  EXPECT_EQ(PixelOf(minus->bitmap, 1, 0).r, 85);
  std::string token;
  auto ts = StreamOf(Bytes("-12-x"));
  ReadPNMToken(*ts, token);
  EXPECT_EQ(token, "12");
  // P1 with blanks, line breaks or no separators at all.
  for (const char* text : {"P1 4 2 1 0 1 0\n0 1 0 1", "P1\n4 2\n10100101", "P1 4 2 1010\n0\n1 01"}) {
    auto d = ReadPxm(Bytes(text));
    ASSERT_TRUE(d->ok) << text;
    ASSERT_EQ(d->bitmap.GetPixelFormat(), rv1g);
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(d->bitmap.GetPixels_rv1g(x, 0), x % 2 == 1) << text;  // "0" is white
      EXPECT_EQ(d->bitmap.GetPixels_rv1g(x, 1), x % 2 == 0) << text;
    }
  }
  // The writer puts each comment on its own line after the magic.
  TRVBitmap b;
  FillTestBitmap(b, 2, 1);
  TIOParamsVals p;
  p.PXM_Comments = {"a", "b c"};
  const auto file = WritePxm(b, p);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 23), "P6 \n# a\n\n# b c\n2 1 255\n");
  auto back = ReadPxm(file);
  EXPECT_EQ(back->params.PXM_Comments, p.PXM_Comments);
  auto s = StreamOf(file);
  EXPECT_TRUE(IsPXMStream(*s));
  EXPECT_EQ(s->GetPosition(), 0);
}

TEST(Pxm, MaximaScaleTheSamples) {
  // P5 and P6 with maximum 15: 15 reads as 255; samples above the maximum are taken as it.
  std::vector<uint8_t> p5 = Bytes("P5 3 1 15\n");
  Append(p5, {15, 5, 200});
  auto d5 = ReadPxm(p5);
  ASSERT_TRUE(d5->ok);
  EXPECT_EQ(PixelOf(d5->bitmap, 0, 0).r, 255);
  EXPECT_EQ(PixelOf(d5->bitmap, 1, 0).r, 85);
  EXPECT_EQ(PixelOf(d5->bitmap, 2, 0).r, 255);
  std::vector<uint8_t> p6 = Bytes("P6 1 1 15\n");
  Append(p6, {15, 0, 5});
  auto d6 = ReadPxm(p6);
  EXPECT_EQ(PixelOf(d6->bitmap, 0, 0).r, 255);
  EXPECT_EQ(PixelOf(d6->bitmap, 0, 0).b, 85);
  // P5 with maximum 1,023 and NativePixelFormat: 1,023 reads as 65,535 into rv16g.
  std::vector<uint8_t> wide = Bytes("P5 2 1 1023\n");
  Append(wide, {0x03, 0xFF, 0x01, 0xFF});
  auto native = ReadPxm(wide, true);
  ASSERT_EQ(native->bitmap.GetPixelFormat(), rv16g);
  EXPECT_EQ(native->bitmap.GetPixels_rv16g(0, 0), 65535);
  EXPECT_EQ(native->bitmap.GetPixels_rv16g(1, 0), 511 * 65535 / 1023);
  EXPECT_EQ(native->params.BitsPerSample, 16);
  auto eight = ReadPxm(wide);
  EXPECT_EQ(eight->bitmap.GetPixelFormat(), rv24RGB);
  // Without NativePixelFormat 16-bit grey is trunc(v / maximum x 255) and 16-bit colour the high
  // byte of trunc(v / maximum x 65,535): the two differ by one step at 513 of 1,023 and 299 of 300.
  struct Case {
    const char* magic;
    int maximum, value, expect;
  };
  const Case cases[] = {
      {"P5", 1023, 513, 127}, {"P5", 1023, 1023, 255}, {"P5", 300, 299, 254}, {"P5", 65535, 32767, 127},
      {"P6", 1023, 513, 128}, {"P6", 1023, 1023, 255}, {"P6", 300, 299, 255}, {"P6", 65535, 32767, 127},
  };
  for (const Case& c : cases) {
    const bool colour = std::string(c.magic) == "P6";
    std::vector<uint8_t> f = Bytes(std::string(c.magic) + " 1 1 " + std::to_string(c.maximum) + "\n");
    for (int k = 0; k < (colour ? 3 : 1); ++k) Append(f, {uint8_t(c.value >> 8), uint8_t(c.value)});
    auto d = ReadPxm(f);
    ASSERT_TRUE(d->ok) << c.magic << " " << c.value;
    EXPECT_EQ(PixelOf(d->bitmap, 0, 0).r, c.expect) << c.magic << " " << c.maximum << " " << c.value;
    EXPECT_EQ(PixelOf(d->bitmap, 0, 0).b, c.expect) << c.magic << " " << c.maximum << " " << c.value;
  }
}

TEST(Pxm, WriterFormsRoundTrip) {
  const int w = 11, h = 5;
  TRVBitmap src;
  FillTestBitmap(src, w, h);
  struct Case {
    const char* name;
    TRVPixelFormat format;
    int bps, spp;
    const char* magic;
  };
  const Case cases[] = {
      {"P4 from rv1g", rv1g, 8, 3, "P4 "},
      {"P5", rv24RGB, 8, 1, "P5 "},
      {"P6 16-bit from 24", rv24RGB, 16, 3, "P6 "},
      {"P6 from 48", rv48RGB, 8, 3, "P6 "},
      {"P6", rv24RGB, 8, 3, "P6 "},
  };
  for (const Case& c : cases) {
    TRVBitmap b;
    b.Assign(&src);
    if (c.format != rv24RGB) b.SetPixelFormat(c.format);
    TIOParamsVals p;
    p.BitsPerSample = c.bps;
    p.SamplesPerPixel = c.spp;
    const auto file = WritePxm(b, p);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 3), c.magic) << c.name;
    auto d = ReadPxm(file, true);
    ASSERT_TRUE(d->ok) << c.name;
    const bool grey = c.spp == 1 && c.format != rv1g;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const Rgba a = PixelOf(d->bitmap, x, y);
        Rgba e = PixelOf(b, x, y);
        if (grey) e.r = e.g = e.b = uint8_t((e.r * 21 + e.g * 71 + e.b * 8) / 100);
        ASSERT_TRUE(a.r == e.r && a.g == e.g && a.b == e.b) << c.name << " at " << x << "," << y << ": " << int(a.r) << " " << int(e.r);
      }
  }
  // In P4 a white pixel is a 0 bit in the file and a 1 bit in the buffer.
  TRVBitmap white(8, 1, rv1g);
  white.Fill(1);
  TIOParamsVals p;
  const auto f = WritePxm(white, p);
  EXPECT_EQ(f.back(), 0);
}

TEST(Pxm, DamagedFiles) {
  std::vector<uint8_t> shortBinary = Bytes("P6 4 4 255\n");
  Append(shortBinary, std::vector<uint8_t>(20, 1));
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
  };
  const Case cases[] = {
      {"empty", {}},
      {"magic P7", Bytes("P7 2 2 255\n1234")},
      {"width 0", Bytes("P5 0 2 255\n12")},
      {"2^31 - 1 by 2^31 - 1 colour pixels", Bytes("P6 2147483647 2147483647")},
      {"2^31 - 1 by 2^31 - 1 with data", Bytes("P5 2147483647 2147483647 65535\n1234")},
      {"width 99999999999", Bytes("P5 99999999999 1 255\n12")},
      {"maximum 0", Bytes("P2 2 1 0 0 0")},
      {"maximum 70000 in binary", Bytes("P5 1 1 70000\n12")},
      {"binary data shorter than the header says", shortBinary},
      {"text shorter than a byte a sample", Bytes("P3 100 100 255 1 2 3")},
      {"huge P4", Bytes("P4 2000000000 2000000000\n12")},
  };
  for (const Case& c : cases) {
    auto d = ReadPxm(c.data);
    EXPECT_FALSE(d->ok) << c.name;
    EXPECT_TRUE(d->bitmap.IsEmpty()) << c.name;
  }
}

// ---------------------------------------------------------------- WBMP

std::vector<uint8_t> WriteWbmp(TRVBitmap& b) {
  TMemoryStream s;
  TRVProgressRec progress;
  WriteWBMPStream(s, b, progress);
  EXPECT_FALSE(progress.IsAborting());
  return s.Data();
}

TEST(Wbmp, SizesAndCuts) {
  // 300 pixels wide: a two-byte width (0x82, 0x2C).
  TRVBitmap wide(300, 2, rv1g);
  for (int x = 0; x < 300; ++x) wide.SetPixels_rv1g(x, 0, x % 3 == 0), wide.SetPixels_rv1g(x, 1, true);
  TRVBitmap wide2;
  wide2.Assign(&wide);
  const auto file = WriteWbmp(wide2);
  // Cut to 255 x trunc(2 x 255 / 300) = 255 x 1.
  EXPECT_EQ(file[2], 0x81);
  EXPECT_EQ(file[3], 0x7F);
  std::vector<uint8_t> w300 = {0, 0, 0x82, 0x2C, 1};
  Append(w300, std::vector<uint8_t>(38, 0xA5));
  auto d = ReadWbmp(w300);
  ASSERT_TRUE(d->ok);
  EXPECT_EQ(d->bitmap.GetWidth(), 300);
  EXPECT_EQ(d->bitmap.GetPixels_rv1g(0, 0), true);  // 1 is white
  EXPECT_EQ(d->bitmap.GetPixels_rv1g(1, 0), false);
  // 600 x 300 gives a 255 x 127 file of the top-left part; the image is not changed.
  TRVBitmap big(600, 300, rv1g);
  big.Fill(0);
  big.SetPixels_rv1g(254, 126, true);
  big.SetPixels_rv1g(255, 0, true);
  const auto cut = WriteWbmp(big);
  EXPECT_EQ(big.GetWidth(), 600);
  auto c = ReadWbmp(cut);
  ASSERT_TRUE(c->ok);
  EXPECT_EQ(c->bitmap.GetWidth(), 255);
  EXPECT_EQ(c->bitmap.GetHeight(), 127);
  EXPECT_TRUE(c->bitmap.GetPixels_rv1g(254, 126));
  // A 24-bit source is written through 1 bit; a short write sets the abort flag.
  TRVBitmap colour;
  FillTestBitmap(colour, 9, 4);
  auto back = ReadWbmp(WriteWbmp(colour));
  EXPECT_TRUE(back->ok);
  EXPECT_EQ(colour.GetPixelFormat(), rv24RGB);
  TRVMemStream readOnly(nullptr, 0);
  TRVProgressRec progress;
  WriteWBMPStream(readOnly, colour, progress);
  EXPECT_TRUE(progress.IsAborting());
}

TEST(Wbmp, DamagedFiles) {
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
  };
  const Case cases[] = {
      {"empty", {}},
      {"type 1", {1, 0, 8, 1, 0xFF}},
      {"fixed header 1", {0, 1, 8, 1, 0xFF}},
      {"size 0", {0, 0, 0, 1, 0xFF}},
      {"a 5-byte integer", {0, 0, 0x81, 0x80, 0x80, 0x80, 0x01, 1, 0xFF}},
      {"rows past the data", {0, 0, 0x7F, 0x7F, 0xFF}},
  };
  for (const Case& c : cases) {
    auto d = ReadWbmp(c.data);
    EXPECT_FALSE(d->ok) << c.name;
    EXPECT_TRUE(d->bitmap.IsEmpty()) << c.name;
  }
}

// ---------------------------------------------------------------- independent tools

TEST(PxmTools, NetpbmAndPillowFilesAndOursInThem) {
  if (!HavePillow()) GTEST_SKIP() << "Pillow (/usr/bin/python3 with PIL) is not installed";
  if (!RunCommand("command -v pnmtopnm >/dev/null && command -v pamdepth >/dev/null"))
    GTEST_SKIP() << "netpbm is not installed";
  TempDir dir;
  const int w = 17, h = 9;
  std::ostringstream py;
  py << "from PIL import Image\n" << kPyTestPixel
     << "base = Image.new('RGB', (" << w << ", " << h << "))\n"
     << "base.putdata([px(x, y)[:3] for y in range(" << h << ") for x in range(" << w << ")])\n"
     << "base.save('" << dir.File("p6.ppm") << "')\n"
     << "base.convert('L').save('" << dir.File("p5.pgm") << "')\n"
     << "base.convert('1').save('" << dir.File("p4.pbm") << "')\n";
  ASSERT_TRUE(RunPython(py.str()));
  // The plain forms and odd maxima from netpbm.
  const std::string d = dir.File("");
  ASSERT_TRUE(RunCommand("cd '" + d + "' && pnmtopnm -plain p6.ppm > p3.ppm && pnmtopnm -plain p5.pgm > p2.pgm && "
                         "pnmtopnm -plain p4.pbm > p1.pbm && pamdepth 15 p6.ppm > m15.ppm 2>/dev/null && "
                         "pamdepth 1023 p5.pgm > m1023.pgm 2>/dev/null"));
  // Ours for the tools: P4, P5 and P6.
  TRVBitmap src;
  FillTestBitmap(src, w, h);
  TIOParamsVals p6;
  WriteFileBytes(dir.File("o6.ppm"), WritePxm(src, p6));
  TIOParamsVals p5;
  p5.SamplesPerPixel = 1;
  WriteFileBytes(dir.File("o5.pgm"), WritePxm(src, p5));
  TRVBitmap bw;
  bw.Assign(&src);
  bw.SetPixelFormat(rv1g);
  TIOParamsVals p4;
  WriteFileBytes(dir.File("o4.pbm"), WritePxm(bw, p4));
  std::vector<std::string> paths;
  for (const char* n : {"p6.ppm", "p5.pgm", "p4.pbm", "p3.ppm", "p2.pgm", "p1.pbm", "m15.ppm", "m1023.pgm", "o6.ppm",
                        "o5.pgm", "o4.pbm"})
    paths.push_back(dir.File(n));
  ASSERT_TRUE(PillowDecodeAll(paths));
  for (const auto& path : paths) {
    int dw, dh;
    std::vector<uint8_t> expect;
    ASSERT_TRUE(LoadDecoded(path, dw, dh, expect)) << path;
    // Pillow clips 16-bit grey when it converts it; the 8-bit original is the reference.
    if (path == dir.File("m1023.pgm")) {
      ASSERT_TRUE(LoadDecoded(dir.File("p5.pgm"), dw, dh, expect));
    }
    auto got = ReadPxm(ReadFileBytes(path));
    ASSERT_TRUE(got->ok) << path;
    ASSERT_EQ(got->bitmap.GetWidth(), dw);
    const bool odd = path.find("m1") != std::string::npos;  // Pillow rounds, the reader truncates
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t* e = &expect[size_t(4 * (y * w + x))];
        const Rgba a = PixelOf(got->bitmap, x, y);
        const int tol = odd ? 1 : 0;
        ASSERT_TRUE(std::abs(a.r - e[0]) <= tol && std::abs(a.g - e[1]) <= tol && std::abs(a.b - e[2]) <= tol)
            << path << " at " << x << "," << y << ": " << int(a.r) << " vs " << int(e[0]);
      }
  }
}

TEST(PxmTools, ImageMagickWbmp) {
  if (!HaveMagick()) GTEST_SKIP() << "ImageMagick (/usr/bin/convert) is not installed";
  TempDir dir;
  const std::string theirs = dir.File("t.wbmp");
  ASSERT_TRUE(RunCommand("/usr/bin/convert -size 21x7 pattern:checkerboard -monochrome '" + theirs + "'"));
  auto d = ReadWbmp(ReadFileBytes(theirs));
  ASSERT_TRUE(d->ok);
  int w, h;
  std::vector<uint8_t> expect;
  ASSERT_TRUE(MagickDecode(theirs, w, h, expect));
  ASSERT_EQ(d->bitmap.GetWidth(), w);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ASSERT_EQ(d->bitmap.GetPixels_rv1g(x, y), expect[size_t(4 * (y * w + x))] > 127);
  const std::string ours = dir.File("o.wbmp");
  WriteFileBytes(ours, WriteWbmp(d->bitmap));
  std::vector<uint8_t> back;
  ASSERT_TRUE(MagickDecode(ours, w, h, back));
  EXPECT_EQ(back, expect);
}

}  // namespace
}  // namespace rv
