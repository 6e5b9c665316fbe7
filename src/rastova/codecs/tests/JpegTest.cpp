#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "TestTools.h"
#include "rastova/codecs/jpeg/jpegfilt.h"

namespace rv {
namespace {

using namespace test;

struct JpegDecoded {
  TRVBitmap bitmap;
  TIOParamsVals params;
  bool ok = false;
  int32_t rows = 0;
};

std::unique_ptr<JpegDecoded> ReadJpeg(const std::vector<uint8_t>& data, bool native = false, int64_t offset = 0,
                                  bool paramsOnly = false, TIOParamsVals* use = nullptr) {
  auto d = std::make_unique<JpegDecoded>();
  TIOParamsVals& p = use ? *use : d->params;
  auto s = StreamOf(data);
  s->SetPosition(offset);
  TRVProgressRec progress;
  d->rows = ReadJpegStream(*s, nullptr, d->bitmap, native, -1, true, true, false, true, false, paramsOnly, progress, p);
  d->ok = !progress.IsAborting();
  return d;
}

std::vector<uint8_t> WriteJpeg(TRVBitmap& bitmap, TIOParamsVals& params, bool* ok = nullptr) {
  TMemoryStream s;
  TRVProgressRec progress;
  WriteJpegStream(s, bitmap, params, progress);
  if (ok) *ok = !progress.IsAborting();
  return s.Data();
}

// A smooth picture, friendly to JPEG, so that decoded pixels stay near the source.
void FillJpegSmooth(TRVBitmap& b, int w, int h) {
  ASSERT_TRUE(b.Allocate(w, h, rv24RGB));
  for (int y = 0; y < h; ++y) {
    uint8_t* row = b.GetScanLine(y);
    for (int x = 0; x < w; ++x) {
      row[3 * x] = uint8_t(40 + x * 150 / w);
      row[3 * x + 1] = uint8_t(60 + y * 150 / h);
      row[3 * x + 2] = uint8_t(200 - (x + y) * 100 / (w + h));
    }
  }
}

int MaxDifference(TRVBitmap& a, TRVBitmap& b) {
  int worst = 0;
  for (int y = 0; y < a.GetHeight(); ++y)
    for (int x = 0; x < a.GetWidth(); ++x) {
      const Rgba p = PixelOf(a, x, y), q = PixelOf(b, x, y);
      worst = std::max({worst, std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)});
    }
  return worst;
}

// Markers of a JPEG file as (code, payload) in file order, up to the start of scan.
std::vector<std::pair<uint8_t, std::vector<uint8_t>>> Markers(const std::vector<uint8_t>& f) {
  std::vector<std::pair<uint8_t, std::vector<uint8_t>>> out;
  size_t at = 2;
  while (at + 4 <= f.size() && f[at] == 0xFF && f[at + 1] != 0xDA) {
    const size_t len = (size_t(f[at + 2]) << 8) | f[at + 3];
    out.emplace_back(f[at + 1], std::vector<uint8_t>(f.begin() + long(at + 4), f.begin() + long(at + 2 + len)));
    at += 2 + len;
  }
  return out;
}

size_t FindJpegMarker(const std::vector<uint8_t>& f, uint8_t code) {
  for (size_t i = 2; i + 1 < f.size(); ++i)
    if (f[i] == 0xFF && f[i + 1] == code) return i;
  return 0;
}

TEST(Jpeg, BaselineProgressiveGreyRoundTrips) {
  TRVBitmap src;
  FillJpegSmooth(src, 40, 24);
  struct Case {
    const char* name;
    uint8_t colorSpace;
    bool progressive;
    int tolerance;
  };
  const Case cases[] = {{"YCbCr baseline", 2, false, 12}, {"YCbCr progressive", 2, true, 12},
                        {"RGB", 0, false, 12},           {"grey", 1, false, 0}};
  for (const auto& c : cases) {
    TIOParamsVals p;
    p.JPEG_ColorSpace = c.colorSpace;
    p.JPEG_Progressive = c.progressive;
    p.JPEG_Quality = 95;
    bool ok = false;
    auto f = WriteJpeg(src, p, &ok);
    ASSERT_TRUE(ok) << c.name;
    auto d = ReadJpeg(f, true);
    ASSERT_TRUE(d->ok) << c.name;
    EXPECT_EQ(d->rows, 24);
    EXPECT_EQ(d->params.JPEG_Progressive, c.progressive) << c.name;
    EXPECT_EQ(d->params.JPEG_ColorSpace, c.colorSpace) << c.name;
    EXPECT_EQ(d->params.ImageCount, 1);
    if (c.colorSpace == 1) {
      EXPECT_EQ(d->bitmap.GetPixelFormat(), rv8g);
      EXPECT_EQ(d->params.SamplesPerPixel, 1);
    } else {
      EXPECT_LE(MaxDifference(src, d->bitmap), c.tolerance) << c.name;
    }
  }
}

TEST(Jpeg, CMYKWrittenWithAdobeMarker) {
  TRVBitmap src;
  FillJpegSmooth(src, 16, 16);
  TIOParamsVals p;
  p.JPEG_ColorSpace = 3;
  p.JPEG_Quality = 95;
  auto f = WriteJpeg(src, p);
  ASSERT_NE(FindJpegMarker(f, 0xEE), 0u);
  auto d = ReadJpeg(f);
  ASSERT_TRUE(d->ok);
  EXPECT_EQ(d->params.SamplesPerPixel, 4);
  EXPECT_EQ(d->params.JPEG_ColorSpace, 3);
  EXPECT_LE(MaxDifference(src, d->bitmap), 16);
  auto n = ReadJpeg(f, true);
  EXPECT_EQ(n->bitmap.GetPixelFormat(), rvCMYK);
}

// Raw YCbCr samples come from YCbCr files only: grey, RGB and CMYK files decode as without
// the request (their samples once went unconverted into rows laid out for three bytes).
TEST(Jpeg, RawYCbCrTouchesOnlyYCbCrFiles) {
  TRVBitmap src;
  FillJpegSmooth(src, 16, 8);
  auto read = [](const std::vector<uint8_t>& f, bool raw, TRVBitmap& out) {
    auto s = StreamOf(f);
    TRVProgressRec progress;
    TIOParamsVals p;
    ReadJpegStream(*s, nullptr, out, false, -1, false, false, false, false, raw, false, progress, p);
    return !progress.IsAborting();
  };
  for (uint8_t colorSpace : {0, 1, 2, 3}) {
    TIOParamsVals p;
    p.JPEG_ColorSpace = colorSpace;
    p.JPEG_Quality = 90;
    const auto f = WriteJpeg(src, p);
    TRVBitmap plain, raw;
    ASSERT_TRUE(read(f, false, plain)) << int(colorSpace);
    ASSERT_TRUE(read(f, true, raw)) << int(colorSpace);
    ASSERT_EQ(raw.GetPixelFormat(), rv24RGB) << int(colorSpace);
    EXPECT_EQ(MaxDifference(plain, raw) == 0, colorSpace != 2) << int(colorSpace);
  }
}

TEST(Jpeg, StartOfImageSearchAndStreamPosition) {
  TRVBitmap src;
  FillJpegSmooth(src, 8, 8);
  TIOParamsVals p;
  const auto f = WriteJpeg(src, p);
  std::vector<uint8_t> junk20(20, 0x11);
  Append(junk20, f);
  EXPECT_TRUE(ReadJpeg(junk20)->ok);
  std::vector<uint8_t> junk150(150, 0x11);
  Append(junk150, f);
  EXPECT_FALSE(ReadJpeg(junk150)->ok);
  auto s = StreamOf(junk20);
  EXPECT_EQ(FindJpegSOI(*s, true), 20);
  EXPECT_EQ(FindJpegSOI(*s, false), -1);
  EXPECT_EQ(s->GetPosition(), 0);
  s->SetPosition(20);
  EXPECT_EQ(FindJpegSOI(*s, false), 0);
  EXPECT_EQ(GetJpegStreamLength(*s), int64_t(f.size()));
  EXPECT_EQ(s->GetPosition(), 20);
}

TEST(Jpeg, ResolutionFromTheDensity) {
  TRVBitmap src;
  FillJpegSmooth(src, 8, 8);
  TIOParamsVals p;
  p.SetDpiX(300);
  p.SetDpiY(300);
  auto f = WriteJpeg(src, p);
  ASSERT_EQ(std::memcmp(&f[6], "JFIF", 4), 0);
  EXPECT_EQ(ReadJpeg(f)->params.DpiX, 300);
  f[13] = 2;  // dots per centimetre
  f[14] = 0;
  f[15] = 118;
  f[16] = 0;
  f[17] = 118;
  auto d = ReadJpeg(f);
  EXPECT_EQ(d->params.DpiX, 299);
  EXPECT_EQ(d->params.DpiY, 299);
}

TEST(Jpeg, ScalingAutomaticAndFixed) {
  TRVBitmap src;
  FillJpegSmooth(src, 64, 48);
  TIOParamsVals p;
  auto f = WriteJpeg(src, p);
  // Header only of a file that claims 4000 x 3000.
  const size_t sof = FindJpegMarker(f, 0xC0);
  ASSERT_NE(sof, 0u);
  auto big = f;
  big[sof + 5] = 3000 >> 8;
  big[sof + 6] = 3000 & 0xFF;
  big[sof + 7] = 4000 >> 8;
  big[sof + 8] = 4000 & 0xFF;
  TIOParamsVals wish;
  wish.JPEG_Scale = 0;
  wish.Width = 900;
  wish.Height = 700;
  auto d = ReadJpeg(big, false, 0, true, &wish);
  EXPECT_TRUE(d->ok);
  EXPECT_EQ(wish.JPEG_ScaleUsed, 4);
  EXPECT_EQ(wish.StoredWidth, 4000);
  TIOParamsVals half;
  half.JPEG_Scale = 2;
  auto h = ReadJpeg(f, false, 0, false, &half);
  ASSERT_TRUE(h->ok);
  EXPECT_EQ(h->bitmap.GetWidth(), 32);
  EXPECT_EQ(half.Width, 32);
  EXPECT_EQ(half.StoredWidth, 64);
}

std::vector<uint8_t> ICCChunk(uint8_t seq, uint8_t count, const std::vector<uint8_t>& part) {
  std::vector<uint8_t> c = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, seq, count};
  Append(c, part);
  return c;
}

std::vector<uint8_t> SRGBBytes() {
  cmsHPROFILE p = cmsCreate_sRGBProfile();
  cmsUInt32Number n = 0;
  cmsSaveProfileToMem(p, nullptr, &n);
  std::vector<uint8_t> out(n);
  cmsSaveProfileToMem(p, out.data(), &n);
  cmsCloseProfile(p);
  return out;
}

TEST(Jpeg, MarkersAndICCChunksRoundTrip) {
  TRVBitmap src;
  FillJpegSmooth(src, 8, 8);
  const auto icc = SRGBBytes();
  const size_t third = icc.size() / 3;
  const std::vector<uint8_t> a(icc.begin(), icc.begin() + long(third)), b(icc.begin() + long(third), icc.begin() + long(2 * third)),
      c(icc.begin() + long(2 * third), icc.end());
  TIOParamsVals p;
  const std::string xmp = std::string("http://ns.adobe.com/xap/1.0/\0", 29) + "<x:xmpmeta>hello</x:xmpmeta>";
  const std::string exif = std::string("Exif\0\0", 6) + "II*\0";
  p.JPEG_MarkerList.AddMarker(0xE1, xmp.data(), int32_t(xmp.size()));
  p.JPEG_MarkerList.AddMarker(0xFE, "a comment", 9);
  auto c3 = ICCChunk(3, 3, c), c1 = ICCChunk(1, 3, a), c2 = ICCChunk(2, 3, b), bad0 = ICCChunk(0, 3, a),
       bad9 = ICCChunk(9, 3, a);
  for (auto* m : {&c3, &bad0, &c1, &bad9, &c2}) p.JPEG_MarkerList.AddMarker(0xE2, m->data(), int32_t(m->size()));
  p.JPEG_MarkerList.AddMarker(0xE1, exif.data(), int32_t(exif.size()));
  p.JPEG_MarkerList.AddMarker(0xEE, "Adobe", 5);
  auto f = WriteJpeg(src, p);
  auto m = Markers(f);
  ASSERT_GE(m.size(), 9u);
  EXPECT_EQ(m[0].first, 0xE0);  // JFIF from the library
  EXPECT_EQ(m[1].first, 0xE1);
  EXPECT_TRUE(IsEXIFMarker(m[1].second.data(), int32_t(m[1].second.size())));
  EXPECT_EQ(m[2].first, 0xE1);
  std::vector<int> seqs;
  for (auto& mk : m)
    if (mk.first == 0xE2) seqs.push_back(mk.second[12]);
  EXPECT_EQ(seqs, (std::vector<int>{0, 1, 2, 3, 9}));
  for (auto& mk : m) EXPECT_NE(mk.first, 0xEE) << "APP14 is the library's own";

  // Reading joins the chunks by number, ignoring the ones that fit nowhere, and keeps the markers.
  TIOParamsVals q;
  auto d = ReadJpeg(f, false, 0, false, &q);
  ASSERT_TRUE(d->ok);
  ASSERT_TRUE(q.HasInputICCProfile());
  EXPECT_EQ(q.GetInputICCProfile().Raw(), icc);
  EXPECT_TRUE(q.GetInputICCProfile().IsValid());
  EXPECT_EQ(q.XMP_Info, "<x:xmpmeta>hello</x:xmpmeta>");
  EXPECT_EQ(q.JPEG_MarkerList.IndexOf(0xE0), -1);
  EXPECT_NE(q.JPEG_MarkerList.IndexOf(0xFE), -1);
  // Saving again writes them back without a second JFIF header.
  auto again = Markers(WriteJpeg(d->bitmap, q));
  EXPECT_EQ(std::count_if(again.begin(), again.end(), [](auto& mk) { return mk.first == 0xE0; }), 1);
}

TEST(Jpeg, ColourManagedRowsAndDroppedMarkers) {
  TRVBitmap src;
  FillJpegSmooth(src, 8, 8);
  const auto icc = SRGBBytes();
  TIOParamsVals p;
  auto chunk = ICCChunk(1, 1, icc);
  p.JPEG_MarkerList.AddMarker(0xE2, chunk.data(), int32_t(chunk.size()));
  p.JPEG_Quality = 95;
  auto f = WriteJpeg(src, p);
  ColorManagementOn = true;
  TIOParamsVals q;
  auto d = ReadJpeg(f, false, 0, false, &q);
  ColorManagementOn = false;
  ASSERT_TRUE(d->ok);
  EXPECT_LE(MaxDifference(src, d->bitmap), 20);
  EXPECT_TRUE(q.GetInputICCProfile().Applied());
  EXPECT_EQ(q.JPEG_MarkerList.IndexOf(0xE2), -1);
}

TEST(Jpeg, TruncatedFilesDecodeToTheirEnd) {
  TRVBitmap src;
  FillJpegSmooth(src, 64, 64);
  TIOParamsVals p;
  p.JPEG_Quality = 100;
  auto f = WriteJpeg(src, p);
  f.resize(f.size() * 2 / 3);
  auto d = ReadJpeg(f);
  EXPECT_TRUE(d->ok);
  EXPECT_EQ(d->bitmap.GetHeight(), 64);
  EXPECT_GT(d->params.JPEG_WarningCount, 0);
  EXPECT_NE(d->params.JPEG_LastWarning, 0);
}

bool FakeExif(const uint8_t* data, int32_t length, TIOParamsVals& params) {
  if (!IsEXIFMarker(data, length)) return false;
  params.EXIF_HasEXIFData = true;
  params.SetEXIF_Orientation(6);
  params.EXIF_XResolution = 72;
  params.EXIF_YResolution = 72;
  params.EXIF_ResolutionUnit = 2;
  return true;
}
TEST(Jpeg, MetadataHooksAndThumbnailPathReadFromTheEntryPosition) {
  TRVBitmap small, large;
  FillJpegSmooth(small, 8, 8);
  FillJpegSmooth(large, 24, 16);
  TIOParamsVals p;
  const std::string exif = std::string("Exif\0\0", 6) + "MM";
  p.JPEG_MarkerList.AddMarker(0xE1, exif.data(), int32_t(exif.size()));
  auto a = WriteJpeg(small, p);
  auto b = WriteJpeg(large, p);
  b[13] = 0;  // aspect ratio only: 1 x 1
  b[14] = 0;
  b[15] = 1;
  b[16] = 0;
  b[17] = 1;
  std::vector<uint8_t> both = a;
  Append(both, b);
  JpegReadEXIFMarkerHook = FakeExif;
  TIOParamsVals q;
  q.SetGetEXIFThumbnail(true);
  q.JPEG_EnableAdjustOrientation = true;
  auto d = ReadJpeg(both, false, int64_t(a.size()), false, &q);
  JpegReadEXIFMarkerHook = nullptr;
  ASSERT_TRUE(d->ok);
  // The 24 x 16 picture at the entry position (not the first one of the stream), turned upright
  // by orientation 6 (a quarter turn clockwise).
  EXPECT_EQ(d->bitmap.GetWidth(), 16);
  EXPECT_EQ(d->bitmap.GetHeight(), 24);
  EXPECT_EQ(q.EXIF_Orientation, 1);
  EXPECT_EQ(q.DpiX, 72);
}

TEST(Jpeg, WriterErrorsAndShortWrites) {
  TRVBitmap src;
  FillJpegSmooth(src, 32, 32);
  TIOParamsVals p;
  p.JPEG_MarkerList.AddMarker(0xE3, std::vector<uint8_t>(65535, 1).data(), 65535);  // too long for a segment
  TMemoryStream s;
  TRVProgressRec progress;
  EXPECT_THROW(WriteJpegStream(s, src, p, progress), ERVJpegException);

  class Short : public TMemoryStream {
   public:
    int64_t Write(const void* b, int64_t n) override {
      return TMemoryStream::Write(b, std::min<int64_t>(n, std::max<int64_t>(0, 100 - GetSize())));
    }
  } shortStream;
  TIOParamsVals q;
  TRVProgressRec progress2;
  WriteJpegStream(shortStream, src, q, progress2);
  EXPECT_TRUE(progress2.IsAborting());
  TRVBitmap empty;
  TRVProgressRec progress3;
  WriteJpegStream(s, empty, q, progress3);
  EXPECT_TRUE(progress3.IsAborting());
}

TEST(Jpeg, DamagedFiles) {
  TRVBitmap src;
  FillJpegSmooth(src, 48, 32);
  TIOParamsVals p;
  const auto f = WriteJpeg(src, p);
  const size_t sof = FindJpegMarker(f, 0xC0), dht = FindJpegMarker(f, 0xC4), dqt = FindJpegMarker(f, 0xDB),
               sos = FindJpegMarker(f, 0xDA);
  auto cut = [&](size_t n) { return std::vector<uint8_t>(f.begin(), f.begin() + long(n)); };
  auto set = [&](size_t at, std::vector<uint8_t> bytes) {
    auto g = f;
    std::copy(bytes.begin(), bytes.end(), g.begin() + long(at));
    return g;
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
    bool readable;
  };
  const std::vector<Case> cases = {
      {"empty", {}, false},
      {"start of image only", cut(2), false},
      {"cut in the tables", cut(dqt + 20), false},
      {"cut in the frame header", cut(sof + 6), false},
      {"cut right after the scan header", cut(sos + 14), true},
      {"cut in the scan", cut(sos + (f.size() - sos) / 2), true},
      {"width 0", set(sof + 7, {0, 0}), false},
      {"height 0", set(sof + 5, {0, 0}), false},
      {"65535 x 65535", set(sof + 5, {0xFF, 0xFF, 0xFF, 0xFF}), false},
      {"component count 9", set(sof + 9, {9}), false},
      {"table length past the end", set(dqt + 2, {0xFF, 0xFF}), false},
      {"Huffman table mutated", set(dht + 5, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), false},
      {"precision 12 bits", set(sof + 4, {12}), false},
      {"no start of image", set(0, {0, 0}), false},
  };
  for (const auto& c : cases) {
    auto d = ReadJpeg(c.data);
    EXPECT_EQ(d->ok, c.readable) << c.name;
  }
  // ICC chunks with odd sequence numbers and a truncated APP2.
  std::vector<uint8_t> odd = {0xFF, 0xD8, 0xFF, 0xE2, 0x00, 0x20};
  Append(odd, ICCChunk(0, 0, {1, 2, 3}));
  TIOParamsVals q;
  auto s = StreamOf(odd);
  ReadJpegICCProfile(*s, q);
  EXPECT_FALSE(q.HasInputICCProfile());
}

// ---------------------------------------------------------------- independent tools

TEST(JpegTools, ToolFilesReadCorrectly) {
  if (!HavePillow()) GTEST_SKIP() << "Pillow (/usr/bin/python3 with PIL) is not installed";
  TempDir dir;
  const int w = 40, h = 24;
  struct Case {
    const char* name;
    const char* save;
  };
  const Case cases[] = {
      {"baseline", "base.convert('RGB').save(P, quality=90)"},
      {"progressive", "base.convert('RGB').save(P, quality=90, progressive=True)"},
      {"grey", "base.convert('L').save(P, quality=90)"},
      {"cmyk", "base.convert('RGB').convert('CMYK').save(P, quality=95)"},
  };
  std::ostringstream py;
  py << "from PIL import Image\n"
     << "def px(x, y):\n    return (40 + x*150//" << w << ", 60 + y*150//" << h << ", 200 - (x+y)*100//" << (w + h)
     << ", 255)\n"
     << "base = Image.new('RGBA', (" << w << ", " << h << "))\n"
     << "base.putdata([px(x, y) for y in range(" << h << ") for x in range(" << w << ")])\n";
  std::vector<std::string> paths;
  for (const auto& c : cases) {
    paths.push_back(dir.File(std::string(c.name) + ".jpg"));
    py << "P = '" << paths.back() << "'\n" << c.save << "\n";
  }
  // The CMYK file's own samples as Pillow holds them (ink amounts, 255 = full ink).
  py << "im = Image.open(P); im.load(); open(P + '.cmyk', 'wb').write(im.tobytes())\n";
  ASSERT_TRUE(RunPython(py.str()));
  ASSERT_TRUE(PillowDecodeAll(paths));
  for (size_t i = 0; i < paths.size(); ++i) {
    const std::string name = cases[i].name;
    auto d = ReadJpeg(ReadFileBytes(paths[i]), name == "cmyk");
    ASSERT_TRUE(d->ok) << name;
    ASSERT_EQ(d->bitmap.GetWidth(), w);
    if (name == "progressive") {
      EXPECT_TRUE(d->params.JPEG_Progressive);
    }
    if (name == "cmyk") {
      ASSERT_EQ(d->bitmap.GetPixelFormat(), rvCMYK);
      const auto ink = ReadFileBytes(paths[i] + ".cmyk");
      ASSERT_EQ(ink.size(), size_t(w * h * 4));
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const TCMYK c = d->bitmap.GetPixels_rvCMYK(x, y);
          const uint8_t* e = &ink[size_t(4 * (y * w + x))];
          // The file stores inverted ink (Adobe); the codec keeps the stored bytes.
          ASSERT_NEAR(255 - c.c, e[0], 1) << x << "," << y;
          ASSERT_NEAR(255 - c.k, e[3], 1) << x << "," << y;
        }
      continue;
    }
    int dw, dh;
    std::vector<uint8_t> expect;
    ASSERT_TRUE(LoadDecoded(paths[i], dw, dh, expect));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t* e = &expect[size_t(4 * (y * w + x))];
        const Rgba a = PixelOf(d->bitmap, x, y);
        ASSERT_NEAR(a.r, e[0], 2) << name << " at " << x << "," << y;
        ASSERT_NEAR(a.g, e[1], 2) << name << " at " << x << "," << y;
        ASSERT_NEAR(a.b, e[2], 2) << name << " at " << x << "," << y;
      }
  }
}

TEST(JpegTools, OurFilesReadInPillowAndImageMagick) {
  const bool pil = HavePillow(), magick = HaveMagick();
  if (!pil && !magick) GTEST_SKIP() << "neither Pillow nor ImageMagick is installed";
  TempDir dir;
  const int w = 40, h = 24;
  TRVBitmap src;
  FillJpegSmooth(src, w, h);
  struct Case {
    const char* name;
    uint8_t colorSpace;
    bool progressive;
  };
  const Case cases[] = {{"baseline", 2, false}, {"progressive", 2, true}, {"grey", 1, false}, {"cmyk", 3, false}};
  std::vector<std::string> paths;
  std::vector<std::unique_ptr<JpegDecoded>> ours;
  for (const auto& c : cases) {
    TIOParamsVals p;
    p.JPEG_ColorSpace = c.colorSpace;
    p.JPEG_Progressive = c.progressive;
    p.JPEG_Quality = 92;
    auto f = WriteJpeg(src, p);
    paths.push_back(dir.File(std::string(c.name) + ".jpg"));
    WriteFileBytes(paths.back(), f);
    ours.push_back(ReadJpeg(f));
  }
  ForEachToolDecoding(paths, pil, magick, w, h, [&](size_t i, int tool, const std::vector<uint8_t>& got) {
    const std::string name = cases[i].name;
    // Against the source picture: lossy coding and the tools' CMYK formulas leave some error.
    const int tolerance = name == "cmyk" ? 24 : 14;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const Rgba e = PixelOf(name == "grey" ? ours[i]->bitmap : src, x, y);
        const uint8_t* g = &got[size_t(4 * (y * w + x))];
        ASSERT_NEAR(g[0], e.r, tolerance) << name << " tool " << tool << " at " << x << "," << y;
        ASSERT_NEAR(g[1], e.g, tolerance) << name << " tool " << tool;
        ASSERT_NEAR(g[2], e.b, tolerance) << name << " tool " << tool;
      }
  });
}

}  // namespace
}  // namespace rv
