// The TIFF writer: the files it makes read correctly in Pillow and show the expected tags in
// libtiff's tiffdump, read back through our reader, take inserted pages, and code PackBits runs.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "TiffTestTools.h"
#include "rastova/core/RVStream.h"

namespace rv {
namespace {

using namespace test;

class TiffWrite : public TiffTest {};

// The IFD of a file we wrote: its entries (tag -> count and value) and whether they are sorted
// and every offset even.
struct TiffParsed {
  std::map<uint16_t, std::pair<uint32_t, uint32_t>> tags;
  bool sorted = true;
  bool even = true;
  uint32_t ifd = 0;
};

uint32_t TiffLe32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

TiffParsed Parse(const std::vector<uint8_t>& f, uint32_t ifd = 0) {
  TiffParsed p;
  p.ifd = ifd ? ifd : TiffLe32(f, 4);
  const uint16_t n = uint16_t(f[p.ifd] | f[p.ifd + 1] << 8);
  uint16_t last = 0;
  p.even = p.ifd % 2 == 0;
  for (uint16_t i = 0; i < n; ++i) {
    const size_t e = p.ifd + 2 + 12 * size_t(i);
    const uint16_t tag = uint16_t(f[e] | f[e + 1] << 8);
    const uint16_t type = uint16_t(f[e + 2] | f[e + 3] << 8);
    const uint32_t count = TiffLe32(f, e + 4), value = TiffLe32(f, e + 8);
    const int size = type == 3 ? 2 : type == 4 ? 4 : type == 5 ? 8 : 1;
    if (int64_t(count) * size > 4 && value % 2) p.even = false;
    if (i && tag <= last) p.sorted = false;
    last = tag;
    p.tags[tag] = {count, value};
  }
  return p;
}

struct TiffWritten {
  const char* name;
  uint8_t compression;
  int samples, bits;
  bool alpha;
  int tolerance;
  uint16_t predictor;  // expected Predictor tag (0: none)
};

TEST_F(TiffWrite, FilesReadInPillowAndBackInOurReader) {
  if (!HavePillow()) GTEST_SKIP() << "Pillow missing";
  const TiffWritten cases[] = {
      {"none", 0, 3, 8, false, 0, 0},     {"lzw", 5, 3, 8, false, 0, 2},
      {"packbits", 8, 3, 8, false, 0, 0}, {"deflate", 9, 3, 8, false, 0, 0},
      {"adobe", 10, 3, 8, false, 0, 0},   {"jpeg", 7, 3, 8, false, 2, 0},
      {"lzwalpha", 5, 3, 8, true, 0, 0},  {"alpha", 0, 3, 8, true, 0, 0},
      {"palette", 5, 1, 8, false, 0, 0},  {"palette4", 8, 1, 4, false, 0, 0},
  };
  TempDir dir;
  const int w = 53, h = 37;
  TRVBitmap source;
  FillTestBitmap(source, w, h, true);
  auto alpha = TestAlphaMask(w, h, true);
  std::vector<std::string> paths;
  std::map<size_t, std::unique_ptr<test::TiffRead>> lossy;  // our decoding of the JPEG pages
  for (const TiffWritten& c : cases) {
    TIOParamsVals params;
    params.TIFF_Compression = c.compression;
    params.SamplesPerPixel = c.samples;
    params.BitsPerSample = c.bits;
    bool ok = false;
    const auto file = WriteTiff(source, params, c.alpha ? alpha.get() : nullptr, &ok);
    ASSERT_TRUE(ok) << c.name;
    const TiffParsed p = Parse(file);
    EXPECT_TRUE(p.sorted) << c.name;
    EXPECT_TRUE(p.even) << c.name;
    EXPECT_EQ(p.tags.count(317) ? p.tags.at(317).second : 0u, c.predictor) << c.name;
    if (c.alpha) {
      ASSERT_TRUE(p.tags.count(338)) << c.name;
      EXPECT_EQ(p.tags.at(338).second, 2u) << "unassociated alpha";
    }
    paths.push_back(dir.File(std::string(c.name) + ".tif"));
    WriteFileBytes(paths.back(), file);
    // Our reader gives the picture back.
    auto r = ReadTiff(file);
    ASSERT_TRUE(r->ok) << c.name;
    if (c.tolerance == 0) {
      ExpectPicture(r->bitmap, w, h, true, c.name);
    } else {
      lossy[paths.size() - 1] = std::move(r);
    }
  }
  ASSERT_TRUE(PillowDecodeAll(paths));
  for (size_t i = 0; i < paths.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    // libtiff decodes every strip without a complaint.
    if (HaveTiffTools()) {
      EXPECT_TRUE(RunCommand("tiffinfo -D '" + paths[i] + "' > /dev/null 2> '" + paths[i] + ".err'"));
      EXPECT_TRUE(ReadFileBytes(paths[i] + ".err").empty());
    }
    int dw = 0, dh = 0;
    std::vector<uint8_t> rgba;
    ASSERT_TRUE(LoadDecoded(paths[i], dw, dh, rgba));
    ASSERT_EQ(dw, w);
    ASSERT_EQ(dh, h);
    // Lossless pages exactly; JPEG pages as Pillow and our reader decode them, on the mean.
    int worst = 0;
    int64_t sum = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        // JPEG pages: Pillow's decoding against ours.
        const Rgba e = lossy.count(i) ? PixelOf(lossy[i]->bitmap, x, y) : FewColorPixel(x, y);
        const uint8_t* a = &rgba[(size_t(y) * w + x) * 4];
        const int d = std::max({std::abs(a[0] - e.r), std::abs(a[1] - e.g), std::abs(a[2] - e.b)});
        worst = std::max(worst, d);
        sum += d;
        if (cases[i].alpha) worst = std::max(worst, std::abs(a[3] - e.a));
      }
    if (cases[i].tolerance == 0)
      EXPECT_EQ(worst, 0);
    else
      EXPECT_LE(sum / (w * h), cases[i].tolerance);
  }
}

// JPEG pages of a detailed picture (its blue channel changes at almost every pixel) at the
// default quality of 80 come back close to the picture through ImageMagick's reading and through
// ours. YCbCr pages keep every colour sample (halved colour planes gave a mean error of 33 and a
// worst of 221 here); RGB pages come within the error of an RGB JPEG at quality 75 (mean 5.9,
// worst 43 by Pillow's writer).
TEST_F(TiffWrite, JpegPagesKeepTheirQuality) {
  if (!HaveMagick()) GTEST_SKIP() << "ImageMagick missing";
  struct Case {
    uint8_t colorSpace;
    uint16_t photometric;
    double mean;
    int worst;
  };
  const Case cases[] = {{2, 6, 12.0, 85}, {0, 2, 6.0, 45}};
  const int w = 97, h = 61;
  TRVBitmap source;
  FillTestBitmap(source, w, h);
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.colorSpace));
    TIOParamsVals params;
    params.TIFF_Compression = 7;
    params.TIFF_JPEGColorSpace = c.colorSpace;
    bool ok = false;
    const auto file = WriteTiff(source, params, nullptr, &ok);
    ASSERT_TRUE(ok);
    const TiffParsed p = Parse(file);
    EXPECT_EQ(p.tags.at(262).second, c.photometric);
    const std::string path = dir.File("jpeg" + std::to_string(c.colorSpace) + ".tif");
    WriteFileBytes(path, file);
    auto ours = ReadTiff(file);
    ASSERT_TRUE(ours->ok);
    int dw = 0, dh = 0;
    std::vector<uint8_t> rgba;
    ASSERT_TRUE(MagickDecode(path, dw, dh, rgba));
    ASSERT_EQ(dw, w);
    ASSERT_EQ(dh, h);
    for (int tool = 0; tool < 2; ++tool) {
      int64_t sum = 0;
      int worst = 0;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const Rgba e = TestPixel(x, y);
          const uint8_t* m = &rgba[(size_t(y) * w + x) * 4];
          const Rgba a = tool == 0 ? Rgba{m[0], m[1], m[2], 255} : PixelOf(ours->bitmap, x, y);
          for (int d : {std::abs(a.r - e.r), std::abs(a.g - e.g), std::abs(a.b - e.b)}) {
            sum += d;
            worst = std::max(worst, d);
          }
        }
      EXPECT_LE(double(sum) / (3.0 * w * h), c.mean) << (tool == 0 ? "ImageMagick" : "ours");
      EXPECT_LE(worst, c.worst) << (tool == 0 ? "ImageMagick" : "ours");
    }
  }
}

TEST_F(TiffWrite, FaxPagesCarryTheirTagsAndReadInPillow) {
  if (!HavePillow() || !HaveTiffTools()) GTEST_SKIP() << "Pillow or tiffdump missing";
  // A two-colour 24-bit picture asked for as one bit: the darker colour becomes black.
  const int w = 61, h = 29;
  TRVBitmap source;
  source.Allocate(w, h, rv24RGB);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) source.SetPixels(x, y, ((x / 3 + y / 2) % 3 == 0) ? 0x203040 : 0xF0E0D0);
  TempDir dir;
  for (uint8_t compression : {1, 2, 3, 4}) {
    for (int fill : {1, 2}) {
      TIOParamsVals params;
      params.TIFF_Compression = compression;
      params.SamplesPerPixel = params.BitsPerSample = 1;
      params.TIFF_FillOrder = fill;
      const auto file = WriteTiff(source, params);
      const std::string path = dir.File("fax" + std::to_string(compression) + std::to_string(fill) + ".tif");
      WriteFileBytes(path, file);
      const std::string dump = TiffDump(path);
      SCOPED_TRACE(path);
      EXPECT_NE(dump.find("Photometric (262) SHORT (3) 1<0>"), std::string::npos) << dump;
      EXPECT_NE(dump.find("FillOrder (266) SHORT (3) 1<" + std::to_string(fill) + ">"), std::string::npos);
      EXPECT_NE(dump.find("PlanarConfig (284) SHORT (3) 1<1>"), std::string::npos);
      EXPECT_NE(dump.find("CleanFaxData (327) SHORT (3) 1<0>"), std::string::npos);
      // libtiff decodes every row without an error (its one-dimensional Group 3 decoder finds
      // each row by the EOL code before it; it only warns of the T4 and T6 options tags it does
      // not expect beside each other) and copies the page.
      EXPECT_TRUE(RunCommand("tiffinfo -D '" + path + "' > /dev/null 2> '" + path + ".err'"));
      const std::vector<uint8_t> err = ReadFileBytes(path + ".err");
      EXPECT_EQ(std::string(err.begin(), err.end()).find("rror"), std::string::npos);
      EXPECT_TRUE(RunCommand("tiffcp -c none '" + path + "' '" + path + ".copy.tif' 2>/dev/null"));
      int dw = 0, dh = 0;
      std::vector<uint8_t> rgba;
      ASSERT_TRUE(PillowDecode(path, dw, dh, rgba));
      ASSERT_EQ(dw, w);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const bool dark = (x / 3 + y / 2) % 3 == 0;
          ASSERT_EQ(rgba[(size_t(y) * w + x) * 4], dark ? 0 : 255) << x << "," << y;
        }
      auto r = ReadTiff(file);
      ASSERT_TRUE(r->ok);
      EXPECT_EQ(PixelOf(r->bitmap, 0, 0).r, 0);
      EXPECT_EQ(PixelOf(r->bitmap, 3, 0).r, 255);
    }
  }
}

TEST_F(TiffWrite, LayoutRules) {
  TRVBitmap rgb;
  FillTestBitmap(rgb, 16, 8);
  struct Case {
    const char* what;
    uint8_t compression, photometric;
    int samples, bits;
    uint16_t fileCompression, filePhotometric;
  };
  const Case cases[] = {
      {"fax asked for a 24-bit image", 4, 2, 3, 8, 1, 2},
      {"palette asked for with JPEG", 7, 3, 1, 8, 1, 3},
      {"grey asked as three samples", 0, 1, 3, 8, 1, 2},
      {"CMYK", 0, 5, 4, 8, 1, 5},
  };
  for (const Case& c : cases) {
    TIOParamsVals params;
    params.TIFF_Compression = c.compression;
    params.TIFF_Photometric = c.photometric;
    params.SamplesPerPixel = c.samples;
    params.BitsPerSample = c.bits;
    const TiffParsed p = Parse(WriteTiff(rgb, params));
    EXPECT_EQ(p.tags.at(259).second, c.fileCompression) << c.what;
    EXPECT_EQ(p.tags.at(262).second, c.filePhotometric) << c.what;
  }
}

TEST_F(TiffWrite, GreyBuffersAskedForAsColourAreWrittenAsColour) {
  TRVBitmap grey;
  grey.Allocate(6, 3, rv8g);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) grey.SetPixels_rv8(x, y, uint8_t(x * 40 + y));
  for (int samples : {1, 3}) {
    TIOParamsVals params;
    params.SamplesPerPixel = samples;
    const auto file = WriteTiff(grey, params);
    const TiffParsed p = Parse(file);
    EXPECT_EQ(p.tags.at(277).second, uint32_t(samples));
    auto r = ReadTiff(file);
    ASSERT_TRUE(r->ok);
    EXPECT_EQ(PixelOf(r->bitmap, 5, 2).g, 202) << samples;
  }
}

TEST_F(TiffWrite, StripsOfAbout512KB) {
  // 1,000 rows of 3,000 bytes: five strips of 200 rows.
  TRVBitmap b;
  b.Allocate(1000, 1000, rv24RGB);
  b.Fill(0);
  TIOParamsVals params;
  const TiffParsed p = Parse(WriteTiff(b, params));
  EXPECT_EQ(p.tags.at(278).second, 200u);
  EXPECT_EQ(p.tags.at(273).first, 5u);
  // A row longer than 512 KB still gets strips of one row.
  TRVBitmap wide;
  wide.Allocate(200000, 3, rv24RGB);
  wide.Fill(0);
  TIOParamsVals wp;
  wp.TIFF_Compression = 8;
  bool ok = false;
  const auto file = WriteTiff(wide, wp, nullptr, &ok);
  ASSERT_TRUE(ok);
  const TiffParsed q = Parse(file);
  EXPECT_EQ(q.tags.at(278).second, 1u);
  EXPECT_EQ(q.tags.at(273).first, 3u);
}

TEST_F(TiffWrite, ShortStringsStandInTheEntry) {
  TRVBitmap b;
  FillTestBitmap(b, 4, 4);
  TIOParamsVals params;
  params.TIFF_DocumentName = "abcd";
  params.TIFF_PageName = "longer name";
  params.TIFF_ImageDescription = "";
  const auto file = WriteTiff(b, params);
  const TiffParsed p = Parse(file);
  EXPECT_EQ(p.tags.at(269).first, 4u);
  EXPECT_EQ(p.tags.at(269).second, uint32_t('a' | 'b' << 8 | 'c' << 16 | 'd' << 24));
  EXPECT_EQ(p.tags.at(285).first, 12u);
  EXPECT_EQ(p.tags.count(270), 0u);
  auto r = ReadTiff(file);
  EXPECT_EQ(r->params.TIFF_DocumentName, "abcd");
  EXPECT_EQ(r->params.TIFF_PageName, "longer name");
}

TEST_F(TiffWrite, InsertedPagesGoWhereTheIndexSays) {
  auto page = [](uint8_t grey) {
    auto b = std::make_unique<TRVBitmap>();
    b->Allocate(5, 3, rv24RGB);
    b->Fill(grey * 0x010101);
    return b;
  };
  TMemoryStream s;
  TIOParamsVals params;
  TRVProgressRec progress;
  EXPECT_EQ(WriteTIFFStream(s, false, page(10).get(), nullptr, progress, params), 1);
  struct Step {
    int index;
    uint8_t grey;
    int pages;
  };
  for (Step st : {Step{0, 20, 2}, Step{9, 30, 3}, Step{1, 40, 4}}) {
    params.TIFF_ImageIndex = st.index;
    s.SetPosition(0);
    EXPECT_EQ(WriteTIFFStream(s, true, page(st.grey).get(), nullptr, progress, params), st.pages);
  }
  ASSERT_FALSE(progress.IsAborting());
  // Order: 20 (inserted first), 40, 10, 30 (appended).
  const uint8_t expected[4] = {20, 40, 10, 30};
  for (int i = 0; i < 4; ++i) {
    auto r = ReadTiff(s.Data(), i);
    ASSERT_TRUE(r->ok);
    EXPECT_EQ(r->pages, 4);
    EXPECT_EQ(PixelOf(r->bitmap, 2, 1).r, expected[i]) << i;
  }
  // Only "II" files take pages.
  TMemoryStream other;
  const uint8_t mm[8] = {'M', 'M', 0, 42, 0, 0, 0, 8};
  other.WriteBuffer(mm, 8);
  other.SetPosition(0);
  TRVProgressRec p2;
  EXPECT_EQ(WriteTIFFStream(other, true, page(1).get(), nullptr, p2, params), 0);
  EXPECT_TRUE(p2.IsAborting());
  EXPECT_EQ(other.GetSize(), 8);
}

TEST_F(TiffWrite, WithoutABitmapOnlyTheDescriptiveTagsAreWritten) {
  TMemoryStream s;
  TIOParamsVals params;
  params.TIFF_ImageDescription = "metadata only";
  params.TIFF_PageName = "p";
  TRVProgressRec progress;
  EXPECT_EQ(WriteTIFFStream(s, false, nullptr, nullptr, progress, params), 1);
  ASSERT_FALSE(progress.IsAborting());
  const TiffParsed p = Parse(s.Data());
  EXPECT_TRUE(p.tags.count(270));
  EXPECT_TRUE(p.tags.count(285));
  EXPECT_FALSE(p.tags.count(256));
  EXPECT_FALSE(p.tags.count(277));
}

TEST_F(TiffWrite, PackBitsPackets) {
  auto code = [](const std::vector<uint8_t>& row) {
    TMemoryStream s;
    bool error = false;
    PackBitsEncodeRow(row.data(), int32_t(row.size()), s, error);
    return s.Data();
  };
  EXPECT_EQ(code(std::vector<uint8_t>(128, 7)), (std::vector<uint8_t>{0x81, 7}));
  EXPECT_EQ(code(std::vector<uint8_t>(129, 7)), (std::vector<uint8_t>{0x81, 7, 0, 7}));
  EXPECT_EQ(code({1, 2, 3, 3, 3, 3, 3}), (std::vector<uint8_t>{1, 1, 2, 0xFC, 3}));
  std::vector<uint8_t> literal(130);
  for (size_t i = 0; i < literal.size(); ++i) literal[i] = uint8_t(i);
  const auto out = code(literal);
  ASSERT_EQ(out.size(), 132u);
  EXPECT_EQ(out[0], 127);
  EXPECT_EQ(out[129], 1);
}

TEST_F(TiffWrite, ShortWritesFail) {
  // A stream that takes only the first bytes.
  class TShortStream : public TMemoryStream {
   public:
    int64_t Write(const void* b, int64_t n) override {
      if (GetSize() + n > 300) return 0;
      return TMemoryStream::Write(b, n);
    }
  } s;
  TRVBitmap b;
  FillTestBitmap(b, 40, 40);
  TIOParamsVals params;
  TRVProgressRec progress;
  WriteTIFFStream(s, false, &b, nullptr, progress, params);
  EXPECT_TRUE(progress.IsAborting());
}

}  // namespace
}  // namespace rv
