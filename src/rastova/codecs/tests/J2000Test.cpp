// The JPEG 2000 codec: signatures, the YCbCr tables, our round trips, files of OpenJPEG's tools
// and Pillow read by us and ours by them, and damaged streams.
#include <gtest/gtest.h>
#include <openjpeg.h>

#include <cstring>
#include <random>
#include <utility>

#include "TestTools.h"
#include "common/tests/support/AllocationWatch.h"
#include "rastova/codecs/j2000/rvj2000.h"
#include "rastova/core/RVUtils.h"

namespace rv {
namespace {

using namespace test;

bool HaveOpjTools() {
  static const bool have =
      std::filesystem::exists("/usr/bin/opj_compress") && std::filesystem::exists("/usr/bin/opj_decompress");
  return have;
}

struct J2000Read {
  TRVBitmap bitmap;
  TIOParamsVals params;
  bool ok = false;
};

std::unique_ptr<J2000Read> ReadJ2K(const std::vector<uint8_t>& data, bool paramsOnly = false) {
  auto r = std::make_unique<J2000Read>();
  auto s = StreamOf(data);
  TRVProgressRec progress;
  ReadJ2000Stream(*s, r->bitmap, r->params, progress, paramsOnly);
  r->ok = !progress.IsAborting();
  return r;
}

std::vector<uint8_t> WriteJ2K(TRVBitmap& bitmap, TIOParamsVals& params, int32_t format, bool* ok = nullptr) {
  TMemoryStream s;
  TRVProgressRec progress;
  WriteJ2000Stream(s, bitmap, params, progress, format);
  if (ok) *ok = !progress.IsAborting();
  return s.Data();
}

// The code stream inside a JP2 file or the stream itself: the offset of a marker (FF xx).
size_t FindMarker(const std::vector<uint8_t>& f, uint8_t code) {
  for (size_t i = 0; i + 1 < f.size(); ++i)
    if (f[i] == 0xFF && f[i + 1] == code) return i;
  return std::string::npos;
}

void FillGreyRamp(TRVBitmap& b, int w, int h) {
  ASSERT_TRUE(b.Allocate(w, h, rv24RGB));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = b.GetScanLine(y) + 3 * x;
      p[0] = p[1] = p[2] = uint8_t((x * 7 + y * 3) % 256);
    }
}

TEST(J2000, SignaturesRestoreThePosition) {
  const std::vector<uint8_t> jp2 = {0, 0, 0, 12, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A, 0};
  const std::vector<uint8_t> j2k = {0xFF, 0x4F, 0xFF, 0x51, 0};
  struct Case {
    std::vector<uint8_t> bytes;
    int64_t at;
    bool isJP2, isJ2K;
  } cases[] = {
      {jp2, 0, true, false},
      {j2k, 0, false, true},
      {{1, 2, 0xFF, 0x4F, 0xFF, 0x51}, 2, false, true},
      {{0xFF, 0x4F, 0xFF, 0x52}, 0, false, false},
      {{0, 0, 0, 13, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A}, 0, false, false},
      {{0, 0, 0, 12, 'j', 'P'}, 0, false, false},  // too short
      {{}, 0, false, false},
  };
  for (const Case& c : cases) {
    auto s = StreamOf(c.bytes);
    s->SetPosition(c.at);
    EXPECT_EQ(IsJP2Stream(*s), c.isJP2);
    EXPECT_EQ(s->GetPosition(), c.at);
    EXPECT_EQ(IsJ2KStream(*s), c.isJ2K);
    EXPECT_EQ(s->GetPosition(), c.at);
  }
}

TEST(J2000, YCbCrTables) {
  // round(1.402 x 127) = 178, round(1.772 x -128) = -227, and the green terms.
  EXPECT_EQ(J2000CrToRed[128], 0);
  EXPECT_EQ(J2000CrToRed[255], 178);
  EXPECT_EQ(J2000CrToRed[0], -179);
  EXPECT_EQ(J2000CbToBlue[0], -227);
  EXPECT_EQ(J2000CbToBlue[255], 225);
  EXPECT_EQ(J2000CrToGreen[255], -91);
  EXPECT_EQ(J2000CbToGreen[255], -44);
  EXPECT_EQ(J2000CbToGreen[128], 0);
}

// Our files read back as written: lossless at rate 1, in both containers, for each model.
TEST(J2000, LosslessRoundTrips) {
  struct Case {
    const char* what;
    int w, h;
    TRVPixelFormat format;
    uint8_t colorSpace;
    bool alpha;
  } cases[] = {
      {"rgb", 40, 30, rv24RGB, 1, false},  // smaller than the default resolution levels allow
      {"ycbcr setting", 17, 9, rv24RGB, 2, false}, {"rgb with alpha", 33, 21, rv24RGB, 1, true},
      {"grey", 64, 48, rv24RGB, 0, false},         {"1-bit", 37, 19, rv1g, 1, false},
      {"one pixel", 1, 1, rv24RGB, 1, false},
  };
  for (const Case& c : cases) {
    for (int32_t format : {0, 1}) {
      SCOPED_TRACE(std::string(c.what) + (format ? " j2k" : " jp2"));
      TRVBitmap src;
      if (c.format == rv1g) {
        ASSERT_TRUE(src.Allocate(c.w, c.h, rv1g));
        for (int y = 0; y < c.h; ++y)
          for (int x = 0; x < c.w; ++x) SetBufferBit(src.GetScanLine(y), x, (x * y + x) % 3 == 0);
      } else if (c.colorSpace == 0) {
        FillGreyRamp(src, c.w, c.h);
      } else {
        FillTestBitmap(src, c.w, c.h);
      }
      if (c.alpha) src.AlphaBitmap()->CopyFromTRVMask(TestAlphaMask(c.w, c.h).get());
      TIOParamsVals p;
      p.J2000_ColorSpace = c.colorSpace;
      bool ok = false;
      const std::vector<uint8_t> file = WriteJ2K(src, p, format, &ok);
      ASSERT_TRUE(ok);
      EXPECT_EQ(format == 0 ? IsJP2Stream(*StreamOf(file)) : IsJ2KStream(*StreamOf(file)), true);
      if (c.format == rv1g) {
        EXPECT_EQ(p.BitsPerSample, 1);
        EXPECT_EQ(p.J2000_ColorSpace, 0);
      }
      auto r = ReadJ2K(file);
      ASSERT_TRUE(r->ok);
      EXPECT_EQ(r->params.Width, c.w);
      EXPECT_EQ(r->params.Height, c.h);
      EXPECT_EQ(r->params.ImageCount, 1);
      ASSERT_EQ(r->bitmap.GetPixelFormat(), c.format);
      EXPECT_EQ(r->params.SamplesPerPixel, c.format == rv1g || c.colorSpace == 0 ? 1 : 3);
      EXPECT_EQ(r->bitmap.HasAlphaBitmap(), c.alpha);
      for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
          const Rgba a = PixelOf(src, x, y), b = PixelOf(r->bitmap, x, y);
          ASSERT_TRUE(a.r == b.r && a.g == b.g && a.b == b.b) << x << "," << y;
          if (c.alpha) {
            ASSERT_EQ(r->bitmap.AlphaBitmap()->GetScanLine(y)[x], TestPixel(x, y).a);
          }
        }
    }
  }
}

// The rate, the progression order and the transform reach the code stream's COD segment.
TEST(J2000, RateAndProgressionOrder) {
  TRVBitmap src;
  FillTestBitmap(src, 128, 96);
  struct Case {
    double rate;
    uint8_t order;
    uint8_t expectedOrder, expectedTransform;  // 0 LRCP, 1 RLCP; 1 reversible 5/3, 0 irreversible 9/7
  } cases[] = {{1.0, 0, 0, 1}, {0.5, 1, 1, 0}, {2.0, 1, 1, 1}, {0.0, 0, 0, 0}, {-3.0, 7, 0, 0}};
  size_t lossless = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rate);
    TIOParamsVals p;
    p.J2000_Rate = c.rate;
    p.J2000_Progression = c.order;
    bool ok = false;
    const std::vector<uint8_t> f = WriteJ2K(src, p, 1, &ok);
    ASSERT_TRUE(ok);
    const size_t cod = FindMarker(f, 0x52);
    ASSERT_NE(cod, std::string::npos);
    EXPECT_EQ(f[cod + 5], c.expectedOrder);
    EXPECT_EQ(f[cod + 9], 5);  // six resolution levels fit 96 rows
    EXPECT_EQ(f[cod + 13], c.expectedTransform);
    if (c.rate == 1.0) lossless = f.size();
    if (c.rate == 0.5) {
      EXPECT_LT(f.size(), lossless);
      auto r = ReadJ2K(f);
      EXPECT_TRUE(r->ok);
    }
  }
}

TEST(J2000, WriterRefusals) {
  TRVBitmap src;
  FillTestBitmap(src, 8, 8);
  TIOParamsVals p;
  p.J2000_ColorSpace = 3;
  bool ok = true;
  EXPECT_TRUE(WriteJ2K(src, p, 0, &ok).empty());
  EXPECT_FALSE(ok);
  p.J2000_ColorSpace = 1;
  p.BitsPerSample = 0;
  EXPECT_TRUE(WriteJ2K(src, p, 1, &ok).empty());
  EXPECT_FALSE(ok);
  TRVBitmap empty;
  TIOParamsVals q;
  WriteJ2K(empty, q, 1, &ok);
  EXPECT_FALSE(ok);
  // A stream that takes no bytes: the short write is reported.
  TRVMemStream readOnly(nullptr, 0);
  TRVProgressRec progress;
  WriteJ2000Stream(readOnly, src, q, progress, 0);
  EXPECT_TRUE(progress.IsAborting());
}

// Builds a JP2 or code stream through OpenJPEG itself, for layouts our writer does not make:
// chroma subsampled YCbCr, signed samples, other precisions.
std::vector<uint8_t> EncodeWithOpenJPEG(int w, int h, OPJ_COLOR_SPACE space, int comps, const int* dx,
                                        int prec, bool sgnd, bool jp2,
                                        const std::function<int(int c, int x, int y)>& value) {
  opj_image_cmptparm_t parts[4];
  std::memset(parts, 0, sizeof parts);
  for (int c = 0; c < comps; ++c) {
    parts[c].dx = parts[c].dy = static_cast<OPJ_UINT32>(dx[c]);
    parts[c].w = static_cast<OPJ_UINT32>((w + dx[c] - 1) / dx[c]);
    parts[c].h = static_cast<OPJ_UINT32>((h + dx[c] - 1) / dx[c]);
    parts[c].prec = static_cast<OPJ_UINT32>(prec);
    parts[c].sgnd = sgnd;
  }
  opj_image_t* image = opj_image_create(static_cast<OPJ_UINT32>(comps), parts, space);
  image->x1 = static_cast<OPJ_UINT32>(w);
  image->y1 = static_cast<OPJ_UINT32>(h);
  for (int c = 0; c < comps; ++c)
    for (OPJ_UINT32 y = 0; y < parts[c].h; ++y)
      for (OPJ_UINT32 x = 0; x < parts[c].w; ++x)
        image->comps[c].data[y * parts[c].w + x] = value(c, int(x), int(y));
  opj_cparameters_t p;
  opj_set_default_encoder_parameters(&p);
  p.numresolution = 1;
  p.tcp_numlayers = 1;
  p.tcp_rates[0] = 0;
  p.cp_disto_alloc = 1;
  opj_codec_t* codec = opj_create_compress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
  opj_setup_encoder(codec, &p, image);
  TempDir dir;
  const std::string path = dir.File("x.bin");
  opj_stream_t* s = opj_stream_create_default_file_stream(path.c_str(), OPJ_FALSE);
  const bool ok = opj_start_compress(codec, image, s) && opj_encode(codec, s) && opj_end_compress(codec, s);
  opj_stream_destroy(s);
  opj_destroy_codec(codec);
  opj_image_destroy(image);
  EXPECT_TRUE(ok);
  return ReadFileBytes(path);
}

TEST(J2000, ColourModelsPrecisionAndSubsampling) {
  // YCbCr with 2:1 chroma: each chroma sample covers two pixels; Y 128 Cb 128 Cr 128 is grey 128
  // and Cr 255 with Y 255 is red 255 after clamping.
  const int sub[3] = {1, 2, 2};
  auto ycc = EncodeWithOpenJPEG(8, 4, OPJ_CLRSPC_SYCC, 3, sub, 8, false, true, [](int c, int x, int) {
    if (c == 0) return x < 4 ? 128 : 255;
    if (c == 1) return 128;
    return x < 2 ? 128 : 255;
  });
  auto r = ReadJ2K(ycc);
  ASSERT_TRUE(r->ok);
  EXPECT_EQ(r->params.SamplesPerPixel, 3);
  Rgba p = PixelOf(r->bitmap, 1, 0);
  EXPECT_TRUE(p.r == 128 && p.g == 128 && p.b == 128);
  p = PixelOf(r->bitmap, 5, 2);  // chroma column 2 (pixels 4 and 5)
  EXPECT_EQ(p.r, 255);
  EXPECT_EQ(p.b, ClampToByte(255 + J2000CbToBlue[128]));
  EXPECT_EQ(PixelOf(r->bitmap, 4, 3).r, ClampToByte(255 + J2000CrToRed[255]));  // replicated
  EXPECT_EQ(PixelOf(r->bitmap, 3, 3).r, 128);  // Cr 128 of chroma column 1 covers pixels 2 and 3
  EXPECT_EQ(PixelOf(r->bitmap, 2, 3).r, 128);

  // 12-bit RGB keeps the top 8 bits; signed 8-bit grey is lifted by half its range.
  const int one[4] = {1, 1, 1, 1};
  auto rgb12 = EncodeWithOpenJPEG(4, 2, OPJ_CLRSPC_SRGB, 3, one, 12, false, false,
                                  [](int c, int x, int) { return c * 1000 + x * 17 + 5; });
  r = ReadJ2K(rgb12);
  ASSERT_TRUE(r->ok);
  EXPECT_EQ(r->params.BitsPerSample, 12);
  p = PixelOf(r->bitmap, 3, 1);
  EXPECT_EQ(p.r, (0 + 3 * 17 + 5) >> 4);
  EXPECT_EQ(p.g, (1000 + 3 * 17 + 5) >> 4);
  EXPECT_EQ(p.b, (2000 + 3 * 17 + 5) >> 4);
  auto signedGrey = EncodeWithOpenJPEG(3, 1, OPJ_CLRSPC_GRAY, 1, one, 8, true, false,
                                       [](int, int x, int) { return x == 0 ? -128 : (x == 1 ? 0 : 127); });
  r = ReadJ2K(signedGrey);
  ASSERT_TRUE(r->ok);
  EXPECT_EQ(PixelOf(r->bitmap, 0, 0).r, 0);
  EXPECT_EQ(PixelOf(r->bitmap, 1, 0).r, 128);
  EXPECT_EQ(PixelOf(r->bitmap, 2, 0).r, 255);

  // A 1-bit grey code stream becomes rv1g.
  auto oneBit = EncodeWithOpenJPEG(5, 3, OPJ_CLRSPC_GRAY, 1, one, 1, false, false,
                                   [](int, int x, int y) { return (x + y) % 2; });
  r = ReadJ2K(oneBit);
  ASSERT_TRUE(r->ok);
  ASSERT_EQ(r->bitmap.GetPixelFormat(), rv1g);
  EXPECT_EQ(r->params.BitsPerSample, 1);
  EXPECT_EQ(PixelOf(r->bitmap, 1, 0).r, 255);
  EXPECT_EQ(PixelOf(r->bitmap, 1, 1).r, 0);

  // A bare code stream has no colour space: 1 component grey, 3 RGB, 4 RGB with alpha.
  auto four = EncodeWithOpenJPEG(2, 2, OPJ_CLRSPC_UNSPECIFIED, 4, one, 8, false, false,
                                 [](int c, int x, int y) { return c * 60 + x + y; });
  r = ReadJ2K(four);
  ASSERT_TRUE(r->ok);
  ASSERT_TRUE(r->bitmap.HasAlphaBitmap());
  EXPECT_EQ(PixelOf(r->bitmap, 1, 1).g, 62);
  EXPECT_EQ(r->bitmap.AlphaBitmap()->GetScanLine(1)[1], 182);
  auto two = EncodeWithOpenJPEG(2, 1, OPJ_CLRSPC_UNSPECIFIED, 2, one, 8, false, false,
                                [](int c, int x, int) { return c * 100 + x; });
  r = ReadJ2K(two);
  ASSERT_TRUE(r->ok);
  EXPECT_EQ(r->params.SamplesPerPixel, 1);
  EXPECT_EQ(PixelOf(r->bitmap, 1, 0).r, 1);
  EXPECT_FALSE(r->bitmap.HasAlphaBitmap());

  // Parameters only: nothing decoded, the size and depth reported.
  r = ReadJ2K(rgb12, true);
  EXPECT_TRUE(r->ok);
  EXPECT_TRUE(r->bitmap.IsEmpty());
  EXPECT_EQ(r->params.Width, 4);
  EXPECT_EQ(r->params.BitsPerSample, 12);
}

TEST(J2000Tools, ToolFilesReadCorrectly) {
  if (!HaveOpjTools()) GTEST_SKIP() << "opj_compress (libopenjp2-tools) is not installed";
  TempDir dir;
  const int w = 23, h = 13;
  // Grey 8-bit, grey 12-bit (maximum 4095) and RGB, as PNM sources of opj_compress (which makes
  // 8-bit samples of a 1-bit source; that case is made through the library above).
  auto pnm = [&](const std::string& name, const std::string& magic, int maxval, int channels,
                 const std::function<int(int x, int y, int c)>& v) {
    std::string text =
        magic + "\n" + std::to_string(w) + " " + std::to_string(h) + "\n" + std::to_string(maxval) + "\n";
    std::vector<uint8_t> data(text.begin(), text.end());
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < channels; ++c) {
          const int s = v(x, y, c);
          if (maxval > 255) data.push_back(uint8_t(s >> 8));
          data.push_back(uint8_t(s));
        }
    WriteFileBytes(dir.File(name), data);
  };
  pnm("g8.pgm", "P5", 255, 1, [](int x, int y, int) { return (x * 11 + y * 5) % 256; });
  pnm("g12.pgm", "P5", 4095, 1, [](int x, int y, int) { return (x * 170 + y * 13) % 4096; });
  pnm("rgb.ppm", "P6", 255, 3, [](int x, int y, int c) {
    const Rgba p = TestPixel(x, y);
    return c == 0 ? p.r : (c == 1 ? p.g : p.b);
  });
  struct Case {
    const char* source;
    const char* out;
    int bits;
    std::function<Rgba(int x, int y)> expected;
  } cases[] = {
      {"g8.pgm", "g8.jp2", 8,
       [](int x, int y) {
         uint8_t v = uint8_t((x * 11 + y * 5) % 256);
         return Rgba{v, v, v, 255};
       }},
      {"g8.pgm", "g8.j2k", 8,
       [](int x, int y) {
         uint8_t v = uint8_t((x * 11 + y * 5) % 256);
         return Rgba{v, v, v, 255};
       }},
      {"g12.pgm", "g12.jp2", 12,
       [](int x, int y) {
         uint8_t v = uint8_t(((x * 170 + y * 13) % 4096) >> 4);
         return Rgba{v, v, v, 255};
       }},
      {"rgb.ppm", "rgb.jp2", 8, [](int x, int y) { return TestPixel(x, y); }},
      {"rgb.ppm", "rgb.jpc", 8, [](int x, int y) { return TestPixel(x, y); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.out);
    ASSERT_TRUE(RunCommand("opj_compress -i " + dir.File(c.source) + " -o " + dir.File(c.out) +
                           " -n 3 >/dev/null 2>&1"));
    auto r = ReadJ2K(ReadFileBytes(dir.File(c.out)));
    ASSERT_TRUE(r->ok);
    EXPECT_EQ(r->params.BitsPerSample, c.bits);
    EXPECT_EQ(r->bitmap.GetPixelFormat(), c.bits == 1 ? rv1g : rv24RGB);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const Rgba a = PixelOf(r->bitmap, x, y), e = c.expected(x, y);
        ASSERT_TRUE(a.r == e.r && a.g == e.g && a.b == e.b) << x << "," << y;
      }
  }
  // Pillow's files: RGB and RGBA.
  if (!HavePillow()) return;
  ASSERT_TRUE(RunPython(std::string("from PIL import Image\n") + kPyTestPixel +
                        "im = Image.new('RGBA', (23, 13))\n"
                        "im.putdata([px(x, y) for y in range(13) for x in range(23)])\n"
                        "im.save('" +
                        dir.File("pil.jp2") +
                        "', irreversible=False)\n"
                        "im.convert('RGB').save('" +
                        dir.File("pil.j2k") + "', irreversible=False)\n"));
  for (const char* name : {"pil.jp2", "pil.j2k"}) {
    SCOPED_TRACE(name);
    auto r = ReadJ2K(ReadFileBytes(dir.File(name)));
    ASSERT_TRUE(r->ok);
    const bool alpha = std::string(name) == "pil.jp2";
    EXPECT_EQ(r->bitmap.HasAlphaBitmap(), alpha);
    ExpectPicture(r->bitmap, w, h, false, name);
    if (alpha) {
      EXPECT_EQ(r->bitmap.AlphaBitmap()->GetScanLine(4)[7], TestPixel(7, 4).a);
    }
  }
}

// opj_compress -s spreads every component over a reference grid of twice (or more) the
// picture's size: the picture is the components' own grid, as opj_decompress gives it, not the
// reference grid. Lossless, so the source comes back exactly.
TEST(J2000Tools, SubsampledPicturesKeepTheirSize) {
  if (!HaveOpjTools()) GTEST_SKIP() << "opj_compress (libopenjp2-tools) is not installed";
  TempDir dir;
  const int w = 23, h = 13;
  std::string ppm = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  std::vector<uint8_t> data(ppm.begin(), ppm.end());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Rgba p = TestPixel(x, y);
      data.insert(data.end(), {p.r, p.g, p.b});
    }
  WriteFileBytes(dir.File("rgb.ppm"), data);
  for (const char* steps : {"2,2", "2,1", "1,3"}) {
    for (const char* ext : {"jp2", "j2k"}) {
      SCOPED_TRACE(std::string(steps) + " " + ext);
      const std::string out = dir.File(std::string("sub.") + ext);
      ASSERT_TRUE(RunCommand("opj_compress -i " + dir.File("rgb.ppm") + " -o " + out + " -s " + steps + " -n 2 >/dev/null 2>&1"));
      auto r = ReadJ2K(ReadFileBytes(out));
      ASSERT_TRUE(r->ok);
      EXPECT_EQ(r->params.Width, w);
      EXPECT_EQ(r->params.Height, h);
      ExpectPicture(r->bitmap, w, h, false, steps);
      auto params = ReadJ2K(ReadFileBytes(out), true);
      EXPECT_EQ(params->params.Width, w);
      EXPECT_EQ(params->params.Height, h);
    }
  }
}

TEST(J2000Tools, OurFilesReadInOpenJPEGAndPillow) {
  if (!HaveOpjTools()) GTEST_SKIP() << "opj_decompress (libopenjp2-tools) is not installed";
  TempDir dir;
  const int w = 29, h = 17;
  TRVBitmap rgb;
  FillTestBitmap(rgb, w, h);
  TIOParamsVals p;
  WriteFileBytes(dir.File("ours.jp2"), WriteJ2K(rgb, p, 0));
  WriteFileBytes(dir.File("ours.j2k"), WriteJ2K(rgb, p, 1));
  rgb.AlphaBitmap()->CopyFromTRVMask(TestAlphaMask(w, h).get());
  WriteFileBytes(dir.File("alpha.jp2"), WriteJ2K(rgb, p, 0));
  for (const char* name : {"ours.jp2", "ours.j2k"}) {
    SCOPED_TRACE(name);
    const std::string out = dir.File(std::string(name) + ".ppm");
    ASSERT_TRUE(RunCommand("opj_decompress -i " + dir.File(name) + " -o " + out + " >/dev/null 2>&1"));
    const std::vector<uint8_t> ppm = ReadFileBytes(out);
    ASSERT_GE(ppm.size(), size_t(w * h * 3));
    const uint8_t* px = ppm.data() + ppm.size() - size_t(w * h * 3);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const Rgba e = TestPixel(x, y);
        const uint8_t* q = px + 3 * (y * w + x);
        ASSERT_TRUE(q[0] == e.r && q[1] == e.g && q[2] == e.b) << x << "," << y;
      }
  }
  if (!HavePillow()) return;
  ForEachToolDecoding({dir.File("ours.jp2"), dir.File("ours.j2k"), dir.File("alpha.jp2")}, true, false, w, h,
                      [&](size_t i, int, const std::vector<uint8_t>& rgba) {
                        for (int y = 0; y < h; ++y)
                          for (int x = 0; x < w; ++x) {
                            const Rgba e = TestPixel(x, y);
                            const uint8_t* q = rgba.data() + 4 * (y * w + x);
                            ASSERT_TRUE(q[0] == e.r && q[1] == e.g && q[2] == e.b)
                                << i << ": " << x << "," << y;
                            if (i == 2) {
                              ASSERT_EQ(q[3], e.a);
                            }
                          }
                      });
}

// Damaged streams fail with the abort flag and leave the bitmap as it was.
TEST(J2000, DamagedStreams) {
  TRVBitmap src;
  FillTestBitmap(src, 64, 40);
  TIOParamsVals p;
  const std::vector<uint8_t> j2k = WriteJ2K(src, p, 1);
  const std::vector<uint8_t> jp2 = WriteJ2K(src, p, 0);
  const size_t sot = FindMarker(j2k, 0x90);
  const size_t siz = FindMarker(j2k, 0x51);
  const size_t colr = [&] {
    for (size_t i = 0; i + 4 < jp2.size(); ++i)
      if (std::memcmp(jp2.data() + i, "colr", 4) == 0) return i;
    return std::string::npos;
  }();
  ASSERT_NE(sot, std::string::npos);
  ASSERT_NE(colr, std::string::npos);
  auto cut = [](std::vector<uint8_t> f, size_t n) {
    f.resize(n);
    return f;
  };
  auto patch = [](std::vector<uint8_t> f, size_t at, std::vector<uint8_t> bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) f[at + i] = bytes[i];
    return f;
  };
  // SIZ: FF51 Lsiz(2) Rsiz(2) Xsiz Ysiz XOsiz YOsiz XTsiz YTsiz XTOsiz YTOsiz (4 each) Csiz(2),
  // then per component Ssiz XRsiz YRsiz.
  const size_t comp0 = siz + 40;
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"signature only", cut(j2k, 4)},
      {"cut after the main header", cut(j2k, sot)},
      {"cut inside a tile", cut(j2k, sot + (j2k.size() - sot) / 2)},
      {"jp2 cut inside the code stream", cut(jp2, jp2.size() - 40)},
      {"unknown colour space", patch(jp2, colr + 7, {0, 0, 0, 99})},
      {"component of another size", patch(j2k, comp0 + 4, {2, 2})},
      {"precision beyond 31 bits", patch(j2k, comp0, {37})},
      {"signed 128-bit precision", patch(j2k, comp0, {0xFF})},
      {"zero width", patch(j2k, siz + 6, {0, 0, 0, 0})},
      {"huge size", patch(j2k, siz + 6, {0x7F, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF})},
      {"no components", patch(j2k, siz + 38, {0, 0})},
      {"jp2 box length past the end", patch(jp2, 12, {0x7F, 0xFF, 0xFF, 0xFF})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TRVBitmap b;
    ASSERT_TRUE(b.Allocate(3, 2, rv24RGB));
    b.GetScanLine(1)[5] = 77;
    auto s = StreamOf(c.bytes);
    TIOParamsVals params;
    TRVProgressRec progress;
    ReadJ2000Stream(*s, b, params, progress, false);
    EXPECT_TRUE(progress.IsAborting());
    EXPECT_EQ(b.GetWidth(), 3);
    EXPECT_EQ(b.GetPixelFormat(), rv24RGB);
    EXPECT_EQ(b.GetScanLine(1)[5], 77);
  }
  // Mutated bytes anywhere: whatever the outcome, no crash and a whole picture or none.
  std::mt19937 random(7);
  for (int round = 0; round < 60; ++round) {
    std::vector<uint8_t> f = round % 2 ? jp2 : j2k;
    for (int k = 0; k < 4; ++k) f[random() % f.size()] = uint8_t(random());
    auto r = ReadJ2K(f);
    if (r->ok) {
      EXPECT_EQ(r->bitmap.GetWidth(), r->params.Width);
    }
  }
}

// A header may declare no more tiles than its data can hold, each tile having a tile part of 14
// bytes at least, and no more pixels than 2048 a byte beyond 2048 x 2048: such a stream is
// refused before OpenJPEG allocates a record for every tile or the picture's components.
TEST(J2000, TilesAndPixelsBeyondWhatTheDataHoldAreRefusedBeforeAllocating) {
  TRVBitmap src;
  FillTestBitmap(src, 64, 40);
  TIOParamsVals p;
  const std::vector<uint8_t> j2k = WriteJ2K(src, p, 1), jp2 = WriteJ2K(src, p, 0);
  ASSERT_LT(j2k.size() / 14, 640u);
  ASSERT_LT(jp2.size() / 14, 640u);
  // Xsiz, Ysiz, XTsiz and YTsiz (4 bytes each at 6, 10, 22 and 26 after the SIZ marker) of the
  // code stream in either file.
  auto sized = [](std::vector<uint8_t> f, uint32_t width, uint32_t height, uint32_t tileWidth,
                  uint32_t tileHeight) {
    const size_t siz = FindMarker(f, 0x51);
    const std::pair<size_t, uint32_t> fields[] = {
        {6, width}, {10, height}, {22, tileWidth}, {26, tileHeight}};
    for (const auto& [at, value] : fields)
      for (int k = 0; k < 4; ++k) f[siz + at + size_t(k)] = uint8_t(value >> (8 * (3 - k)));
    return f;
  };
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    bool refused;
  } cases[] = {
      {"2560 tiles of one pixel", sized(j2k, 64, 40, 1, 1), true},
      {"jp2: 2560 tiles of one pixel", sized(jp2, 64, 40, 1, 1), true},
      {"jp2: 640 tiles of two by two", sized(jp2, 64, 40, 2, 2), true},
      {"24577 tiles of 8 x 6 in one row", sized(j2k, 196616, 6, 8, 6), true},
      {"24577 tiles of 6 x 8 in one column", sized(j2k, 6, 196616, 6, 8), true},
      {"117 million pixels in six tiles", sized(j2k, 16777009, 7, 7274504, 6), true},
      {"8192 x 8192 pixels in one tile", sized(j2k, 8192, 8192, 8192, 8192), true},
      {"4259965 x 6 pixels in one tile", sized(j2k, 4259965, 6, 4259965, 6), true},
      {"one tile as written", j2k, false},
      {"jp2: one tile as written", jp2, false},
      // as many tiles as the data can hold: the header reads (the picture lacks its tiles)
      {"12 tiles of 16 x 16", sized(j2k, 64, 40, 16, 16), false},
      {"jp2: 12 tiles of 16 x 16", sized(jp2, 64, 40, 16, 16), false},
      {"2048 x 2048 pixels in one tile", sized(j2k, 2048, 2048, 2048, 2048), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<J2000Read> r;
    size_t largest = test_support::LargestAllocationDuring([&] { r = ReadJ2K(c.bytes, true); });
    EXPECT_EQ(r->ok, !c.refused) << "parameters";
    if (!c.refused) continue;
    EXPECT_LT(largest, size_t(1) << 20) << "parameters";
    largest = test_support::LargestAllocationDuring([&] { r = ReadJ2K(c.bytes); });
    EXPECT_FALSE(r->ok) << "picture";
    EXPECT_LT(largest, size_t(1) << 20) << "picture";
  }
}

}  // namespace
}  // namespace rv
