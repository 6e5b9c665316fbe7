// The TIFF reader on hand-made files: page selection and the IFD walk, the defaults of the page
// tags, resolution and position units, thumbnails and single tiles, sample decoding cases, and
// the table of damaged files.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "TiffTestTools.h"
#include "common/tests/support/AllocationWatch.h"

namespace rv {
namespace {

using namespace test;

class TiffRead : public TiffTest {};

// A grey page of 8 x 4 with values y * 8 + x, and its strip.
std::vector<uint8_t> GreyRamp(int w = 8, int h = 4) {
  std::vector<uint8_t> s(size_t(w) * h);
  for (size_t i = 0; i < s.size(); ++i) s[i] = uint8_t(i * 3);
  return s;
}

// The common tags of an 8-bit grey page with one strip (the caller adds the rest).
void GreyPage(TiffBuilder& b, int w, int h, const std::vector<uint8_t>& strip) {
  const uint32_t at = b.Data(strip);
  b.Entry(256, 3, {uint32_t(w)});
  b.Entry(257, 3, {uint32_t(h)});
  b.Entry(258, 3, {8});
  b.Entry(262, 3, {1});
  b.Entry(273, 4, {at});
  b.Entry(279, 4, {uint32_t(strip.size())});
}

TEST_F(TiffRead, PagesAndTheIFDWalk) {
  struct Case {
    const char* what;
    int ifds;
    std::vector<int> links;
    int index;
    int pages;
    bool decoded;
  };
  const Case cases[] = {
      {"index past the last page", 1, {}, 1, 1, false},
      {"self-pointing IFD", 1, {0}, 0, 1, true},
      {"cycle of two", 2, {1, 0}, 1, 2, true},
      {"cycle of three", 3, {1, 2, 0}, 2, 3, true},
      {"cycle of three, index beyond", 3, {1, 2, 1}, 5, 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TiffBuilder b;
    for (int i = 0; i < c.ifds; ++i) {
      if (i) b.NextIFD();
      GreyPage(b, 8, 4, GreyRamp());
    }
    auto r = ReadTiff(b.Bytes(c.links), c.index, true);
    EXPECT_TRUE(r->ok);
    EXPECT_EQ(r->pages, c.pages);
    EXPECT_EQ(!r->bitmap.IsEmpty(), c.decoded);
  }
  // A second IFD with no entries: one page.
  TiffBuilder b;
  GreyPage(b, 8, 4, GreyRamp());
  b.NextIFD();
  auto r = ReadTiff(b.Bytes(), 0);
  EXPECT_EQ(r->pages, 1);
}

// A page the file does not hold, or data of a compression the reader does not know, fail the
// read and leave the caller's bitmap as it was.
TEST_F(TiffRead, MissingPagesAndUnknownCompressionsFail) {
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    int32_t index, subIndex;
  };
  std::vector<Case> cases;
  {
    std::vector<uint8_t> f = {'I', 'I', 42, 0, 0x00, 0x10, 0, 0};
    cases.push_back({"first IFD past the end", f, 0, -1});
  }
  {
    TiffBuilder b;
    GreyPage(b, 8, 4, GreyRamp());
    std::vector<uint8_t> f = b.Bytes();
    // The next-IFD link of page 0 (the file's last four bytes) points past the end.
    f[f.size() - 2] = 0x01;
    cases.push_back({"second page past the end", f, 1, -1});
  }
  {
    TiffBuilder b;
    GreyPage(b, 8, 4, GreyRamp());
    b.Entry(330, 4, {0x7FFF0});
    cases.push_back({"sub-image past the end", b.Bytes(), 0, 0});
  }
  for (uint32_t code : {34925u, 50000u, 50001u, 6u, 9u, 12345u}) {
    TiffBuilder b;
    GreyPage(b, 8, 4, GreyRamp());
    b.Entry(259, 3, {code});
    // Compression 6 with a lossless JPEG process is not the old-style JPEG the reader knows.
    if (code == 6) b.Entry(512, 3, {14});
    cases.push_back({"unknown compression", b.Bytes(), 0, -1});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TRVBitmap bitmap;
    ASSERT_TRUE(bitmap.Allocate(3, 2, rv24RGB));
    bitmap.Fill(0x5A);
    TIOParamsVals params;
    params.TIFF_ImageIndex = c.index;
    params.TIFF_SubIndex = c.subIndex;
    std::unique_ptr<TRVMask> mask;
    TRVProgressRec progress;
    int32_t pages = 0;
    auto s = StreamOf(c.file);
    ReadTIFFStream(bitmap, *s, pages, false, false, true, mask, false, progress, params);
    EXPECT_TRUE(progress.IsAborting());
    ASSERT_EQ(bitmap.GetWidth(), 3);
    ASSERT_EQ(bitmap.GetHeight(), 2);
    EXPECT_EQ(bitmap.GetScanLine(1)[8], 0x5A);
  }
}

TEST_F(TiffRead, SubImagesReplaceThePage) {
  // Page 0 (filled with 1) lists a sub-image (filled with 200) that is not in the chain.
  TiffBuilder b;
  GreyPage(b, 8, 4, std::vector<uint8_t>(32, 1));
  b.Entry(330, 4, {0});
  b.NextIFD();
  GreyPage(b, 4, 2, std::vector<uint8_t>(8, 200));
  auto f = b.Bytes();
  const uint32_t ifd0 = f[4] | f[5] << 8 | f[6] << 16 | uint32_t(f[7]) << 24;
  const uint16_t n = uint16_t(f[ifd0] | f[ifd0 + 1] << 8);
  const size_t next = ifd0 + 2 + 12 * size_t(n);
  const uint32_t ifd1 = f[next] | f[next + 1] << 8 | f[next + 2] << 16 | uint32_t(f[next + 3]) << 24;
  for (int k = 0; k < 4; ++k) f[next + size_t(k)] = 0;
  for (uint16_t i = 0; i < n; ++i) {
    const size_t e = ifd0 + 2 + 12 * size_t(i);
    if ((f[e] | f[e + 1] << 8) == 330)
      for (int k = 0; k < 4; ++k) f[e + 8 + size_t(k)] = uint8_t(ifd1 >> (8 * k));
  }
  for (int sub : {-1, 0, 1}) {
    test::TiffRead r;
    r.params.TIFF_SubIndex = sub;
    auto s = StreamOf(f);
    TRVProgressRec progress;
    ReadTIFFStream(r.bitmap, *s, r.pages, false, false, true, r.mask, false, progress, r.params);
    ASSERT_FALSE(progress.IsAborting()) << sub;
    EXPECT_EQ(r.pages, 1);
    EXPECT_EQ(r.bitmap.GetWidth(), sub == 0 ? 4 : 8) << sub;
  }
}

TEST_F(TiffRead, RowsPerStripVariantsMeanOneStrip) {
  for (uint32_t rps : {0u, 0xFFFFFFFFu, 4u, 100u}) {
    TiffBuilder b;
    GreyPage(b, 8, 4, GreyRamp());
    b.Entry(278, 4, {rps});
    auto r = ReadTiff(b.Bytes(), 0, true);
    ASSERT_TRUE(r->ok) << rps;
    EXPECT_EQ(r->bitmap.GetPixels_rv8(7, 3), uint8_t(31 * 3)) << rps;
  }
}

TEST_F(TiffRead, BitsPerSampleValuesMustAgree) {
  for (auto [bits, ok] : {std::pair<std::vector<uint32_t>, bool>{{8, 8, 8}, true},
                          {{8, 8, 16}, false},
                          {{0}, false},
                          {{64}, false}}) {
    TiffBuilder b;
    const std::vector<uint8_t> strip(8 * 4 * bits.size(), 7);
    const uint32_t at = b.Data(strip);
    b.Entry(256, 3, {8});
    b.Entry(257, 3, {4});
    b.Entry(258, 3, bits);
    b.Entry(277, 3, {uint32_t(bits.size())});
    b.Entry(273, 4, {at});
    b.Entry(279, 4, {uint32_t(strip.size())});
    auto r = ReadTiff(b.Bytes());
    EXPECT_EQ(r->ok, ok) << bits.size() << " " << bits[0];
    if (ok) {
      EXPECT_EQ(r->params.BitsPerSample, 8);
    }
  }
}

TEST_F(TiffRead, ResolutionAndPositionUnits) {
  struct Case {
    uint32_t unit;
    std::vector<uint32_t> xres, xpos;
    int dpi;
    double exif;
    int pos;
  };
  const Case cases[] = {
      {3, {100, 1}, {508, 100}, 254, 254.0, 2},  // centimetres: 5.08 cm is 2 inches
      {2, {719, 10}, {29, 10}, 71, 71.9, 2},     // inches
  };
  for (const Case& c : cases) {
    TiffBuilder b;
    GreyPage(b, 8, 4, GreyRamp());
    b.Entry(296, 3, {c.unit});
    b.Entry(282, 5, c.xres);
    b.Entry(286, 5, c.xpos);
    auto r = ReadTiff(b.Bytes());
    ASSERT_TRUE(r->ok);
    EXPECT_EQ(r->params.DpiX, c.dpi);
    EXPECT_NEAR(r->params.EXIF_XResolution, c.exif, 1e-9);
    EXPECT_EQ(r->params.TIFF_XPos, c.pos);
  }
}

TEST_F(TiffRead, BigEndianTagsReadAsLittleEndianOnes) {
  for (bool le : {true, false}) {
    TiffBuilder b(le);
    GreyPage(b, 8, 4, GreyRamp());
    b.Entry(274, 3, {6});
    b.Entry(297, 3, {3, 9});
    b.Entry(269, 2, {'a', 'b', 0});
    auto r = ReadTiff(b.Bytes(), 0, true);
    ASSERT_TRUE(r->ok);
    EXPECT_EQ(r->params.TIFF_Orientation, 6);
    EXPECT_EQ(r->params.EXIF_Orientation, 6);
    EXPECT_EQ(r->params.TIFF_PageNumber, 3);
    EXPECT_EQ(r->params.TIFF_PageCount, 9);
    EXPECT_EQ(r->params.TIFF_DocumentName, "ab");
    EXPECT_EQ(r->params.TIFF_LittleEndian, le);
    EXPECT_EQ(r->bitmap.GetPixels_rv8(1, 0), 3);
  }
}

TEST_F(TiffRead, ThumbnailModeLimitsTheSize) {
  for (auto [w, ok] : {std::pair{400, true}, {401, false}}) {
    auto r =
        ReadTiff(TiffBuilder::Page(w, 2, 8, std::vector<uint8_t>(size_t(w) * 2, 9)), 0, false, false, true);
    EXPECT_EQ(r->ok, ok) << w;
  }
}

TEST_F(TiffRead, OneTileIsDecodedIntoABitmapOfItsSize) {
  // Four 16 x 16 tiles, tile i filled with 40 * i.
  TiffBuilder b;
  std::vector<uint32_t> offsets, counts;
  for (int i = 0; i < 4; ++i) {
    offsets.push_back(b.Data(std::vector<uint8_t>(256, uint8_t(40 * i))));
    counts.push_back(256);
  }
  b.Entry(256, 3, {32});
  b.Entry(257, 3, {32});
  b.Entry(258, 3, {8});
  b.Entry(262, 3, {1});
  b.Entry(322, 3, {16});
  b.Entry(323, 3, {16});
  b.Entry(324, 4, offsets);
  b.Entry(325, 4, counts);
  const auto file = b.Bytes();
  auto all = ReadTiff(file, 0, true);
  ASSERT_TRUE(all->ok);
  EXPECT_EQ(all->bitmap.GetPixels_rv8(20, 20), 120);
  EXPECT_EQ(all->bitmap.GetPixels_rv8(20, 3), 40);
  auto one = std::make_unique<test::TiffRead>();
  one->params.TIFF_GetTile = 3;
  one->params.NativePixelFormat = true;
  auto s = StreamOf(file);
  TRVProgressRec progress;
  ReadTIFFStream(one->bitmap, *s, one->pages, false, false, true, one->mask, false, progress, one->params);
  ASSERT_FALSE(progress.IsAborting());
  EXPECT_EQ(one->bitmap.GetWidth(), 16);
  EXPECT_EQ(one->bitmap.GetPixels_rv8(5, 5), 120);
}

TEST_F(TiffRead, SampleCases) {
  struct Case {
    const char* what;
    int bits;
    uint16_t photometric;
    std::vector<uint8_t> strip;
    int width;
    std::vector<uint8_t> grey;  // expected grey values of row 0
  };
  const Case cases[] = {
      {"4-bit odd width", 4, 1, {0x0F, 0x80}, 3, {0, 255, 136}},
      {"2-bit BlackIsZero", 2, 1, {0x1B}, 4, {0, 85, 170, 255}},
      {"7-bit doubles", 7, 1, {0xFE, 0x00}, 2, {254, 0}},
      {"WhiteIsZero bytes", 8, 0, {0, 200}, 2, {255, 55}},
      {"WhiteIsZero bilevel", 1, 0, {0x40}, 3, {255, 0, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto r = ReadTiff(TiffBuilder::Page(c.width, 1, c.bits, c.strip, 1, c.photometric));
    ASSERT_TRUE(r->ok);
    for (int x = 0; x < c.width; ++x) EXPECT_EQ(PixelOf(r->bitmap, x, 0).g, c.grey[size_t(x)]) << x;
  }
  // A 16-bit grey page maps 65535 to 255, or 4095 when its Software is Look@Molli v1.1.
  for (bool molli : {false, true}) {
    TiffBuilder b;
    const uint32_t at = b.Data({0xFF, 0x0F, 0xFF, 0xFF});
    b.Entry(256, 3, {2});
    b.Entry(257, 3, {1});
    b.Entry(258, 3, {16});
    b.Entry(262, 3, {1});
    b.Entry(273, 4, {at});
    b.Entry(279, 4, {4});
    if (molli) {
      const std::string sw = "Look@Molli v1.1";
      b.Entry(305, 2, std::vector<uint32_t>(sw.begin(), sw.end()));
    }
    auto r = ReadTiff(b.Bytes());
    ASSERT_TRUE(r->ok);
    EXPECT_EQ(PixelOf(r->bitmap, molli ? 0 : 1, 0).g, 255) << molli;
  }
}

TEST_F(TiffRead, BilevelRGBIsWhiteIsZeroAndOrientationTurnsThePage) {
  // One sample of one bit that claims RGB: 1 is black.
  auto r = ReadTiff(TiffBuilder::Page(8, 1, 1, {0x80}, 1, 2));
  ASSERT_TRUE(r->ok);
  EXPECT_EQ(r->params.TIFF_Photometric, 0);
  EXPECT_EQ(PixelOf(r->bitmap, 0, 0).r, 0);
  EXPECT_EQ(PixelOf(r->bitmap, 1, 0).r, 255);
  // Orientation 3 with the adjustment on: a half turn, and the orientation becomes 1.
  TiffBuilder b;
  GreyPage(b, 8, 4, GreyRamp());
  b.Entry(274, 3, {3});
  const auto file = b.Bytes();
  test::TiffRead turned;
  turned.params.TIFF_EnableAdjustOrientation = true;
  turned.params.NativePixelFormat = true;
  auto s = StreamOf(file);
  TRVProgressRec progress;
  ReadTIFFStream(turned.bitmap, *s, turned.pages, false, false, true, turned.mask, false, progress,
                 turned.params);
  ASSERT_FALSE(progress.IsAborting());
  EXPECT_EQ(turned.bitmap.GetPixels_rv8(0, 0), uint8_t(31 * 3));
  EXPECT_EQ(turned.params.TIFF_Orientation, 1);
}

TEST_F(TiffRead, AssociatedAlphaIsDividedOutAndClamped) {
  // RGB with two extra samples: associated alpha, then one without meaning.
  TiffBuilder b;
  const uint32_t at = b.Data({200, 100, 50, 100, 9, 10, 20, 30, 255, 9});
  b.Entry(256, 3, {2});
  b.Entry(257, 3, {1});
  b.Entry(258, 3, {8, 8, 8, 8, 8});
  b.Entry(262, 3, {2});
  b.Entry(277, 3, {5});
  b.Entry(338, 3, {1, 0});
  b.Entry(273, 4, {at});
  b.Entry(279, 4, {10});
  auto r = ReadTiff(b.Bytes());
  ASSERT_TRUE(r->ok);
  ASSERT_TRUE(r->mask);
  const Rgba p = PixelOf(r->bitmap, 0, 0);
  EXPECT_EQ(p.r, 255);  // 200 / (100 / 255) passes 255
  EXPECT_EQ(p.g, 255);
  EXPECT_EQ(p.b, 128);
  EXPECT_EQ(r->mask->GetScanLine(0)[0], 100);
  EXPECT_EQ(PixelOf(r->bitmap, 1, 0).g, 20);
}

TEST_F(TiffRead, PackBitsRunsAreCutAtTheRowEnd) {
  // -128 is skipped; a run of 5 that passes the 4-byte row is cut; the next row follows.
  const std::vector<uint8_t> strip = {0x80, 0xFC, 9, 0x01, 1, 2, 0xFD, 7};
  auto r = ReadTiff(TiffBuilder::Page(4, 2, 8, strip, 32773), 0, true);
  ASSERT_TRUE(r->ok);
  EXPECT_EQ(r->bitmap.GetPixels_rv8(3, 0), 9);
  EXPECT_EQ(r->bitmap.GetPixels_rv8(0, 1), 1);
  EXPECT_EQ(r->bitmap.GetPixels_rv8(2, 1), 7);
}

TEST_F(TiffRead, AlphaIsKeptOrDropped) {
  // RGBA with unassociated alpha; with the no-alpha flag the colours are the same.
  TiffBuilder b;
  const uint32_t at = b.Data({10, 20, 30, 128, 200, 100, 50, 255});
  b.Entry(256, 3, {2});
  b.Entry(257, 3, {1});
  b.Entry(258, 3, {8, 8, 8, 8});
  b.Entry(262, 3, {2});
  b.Entry(277, 3, {4});
  b.Entry(338, 3, {2});
  b.Entry(273, 4, {at});
  b.Entry(279, 4, {8});
  const auto file = b.Bytes();
  for (bool noAlpha : {false, true}) {
    test::TiffRead r;
    auto s = StreamOf(file);
    TRVProgressRec progress;
    ReadTIFFStream(r.bitmap, *s, r.pages, false, noAlpha, true, r.mask, false, progress, r.params);
    ASSERT_FALSE(progress.IsAborting());
    EXPECT_EQ(PixelOf(r.bitmap, 0, 0).b, 30);
    EXPECT_EQ(PixelOf(r.bitmap, 1, 0).r, 200);
    EXPECT_EQ(r.mask != nullptr, !noAlpha);
    if (r.mask) {
      EXPECT_EQ(r.mask->GetScanLine(0)[0], 128);
    }
  }
}

TEST_F(TiffRead, ContentTests) {
  auto page = TiffBuilder::Page(8, 4, 8, GreyRamp());
  auto s = StreamOf(page);
  s->SetPosition(0);
  EXPECT_TRUE(IsTIFFStream(*s));
  EXPECT_EQ(s->GetPosition(), 0);
  EXPECT_FALSE(IsCameraRawTIFFStream(*s));
  EXPECT_FALSE(IsHDPStream(*s));
  TiffBuilder dng;
  GreyPage(dng, 8, 4, GreyRamp());
  dng.Entry(50706, 1, {1, 4, 0, 0});
  auto d = StreamOf(dng.Bytes());
  EXPECT_TRUE(IsTIFFStream(*d));
  EXPECT_TRUE(IsCameraRawTIFFStream(*d));
  TiffBuilder hdp;
  for (uint16_t tag : {0xBC01, 0xBC80, 0xBC81, 0xBCC0, 0xBCC1}) hdp.Entry(tag, 4, {1});
  auto h = StreamOf(hdp.Bytes());
  EXPECT_TRUE(IsHDPStream(*h));
  EXPECT_FALSE(IsTIFFStream(*h));
}

// ---------------------------------------------------------------- damaged files

struct Damaged {
  const char* what;
  std::vector<uint8_t> file;
  bool aborts;
};

std::vector<Damaged> DamagedFiles() {
  std::vector<Damaged> out;
  const auto good = TiffBuilder::Page(8, 4, 8, GreyRamp());
  auto bad = good;
  bad[1] = 'X';
  out.push_back({"byte order IX", bad, true});
  bad = good;
  bad[4] = 0xF0, bad[5] = 0xFF, bad[6] = 0xFF, bad[7] = 0x7F;
  out.push_back({"first IFD past the end", bad, true});
  bad = good;
  bad[4] = bad[5] = bad[6] = bad[7] = 0;
  out.push_back({"first IFD at 0", bad, false});
  {
    // 65,535 entries announced with 100 bytes left.
    TiffBuilder b;
    GreyPage(b, 8, 4, GreyRamp());
    auto f = b.Bytes();
    const uint32_t ifd = f[4] | f[5] << 8;
    f[ifd] = 0xFF, f[ifd + 1] = 0xFF;
    f.resize(ifd + 102);
    out.push_back({"65535 entries", f, false});
  }
  auto big = [](uint32_t w, uint32_t h, uint32_t compression = 1) {
    TiffBuilder b;
    const uint32_t at = b.Data(std::vector<uint8_t>(16, 1));
    b.Entry(256, 4, {w});
    b.Entry(257, 4, {h});
    b.Entry(258, 3, {8});
    b.Entry(259, 3, {compression});
    b.Entry(262, 3, {1});
    b.Entry(273, 4, {at});
    b.Entry(279, 4, {16});
    return b.Bytes();
  };
  out.push_back({"width 2^31", big(0x80000000u, 4), true});
  out.push_back({"width 0", big(0, 4), true});
  out.push_back({"65535 x 65535 with one small strip", big(65535, 65535), true});
  out.push_back({"4000 x 4000 with one small strip", big(4000, 4000), true});
  out.push_back({"Deflate 20000 x 20000 from 16 bytes", big(20000, 20000, 8), true});
  out.push_back({"LZW 20000 x 20000 from 16 bytes", big(20000, 20000, 5), true});
  {
    TiffBuilder b;
    GreyPage(b, 8, 4, GreyRamp());
    b.Entry(278, 3, {1});
    b.Entry(273, 4, {8, 0x7FFFFFF0u, 12, 0xFFFFFFFFu});
    b.Entry(279, 4, {0xFFFFFFFFu, 8});
    out.push_back({"strip offsets past the end, huge and missing byte counts", b.Bytes(), false});
  }
  {
    // LZW data without a Clear, with codes beyond the table.
    std::vector<uint8_t> junk(40);
    for (size_t i = 0; i < junk.size(); ++i) junk[i] = uint8_t(i * 37 + 11);
    out.push_back({"LZW garbage", TiffBuilder::Page(8, 4, 8, junk, 5), false});
    out.push_back({"fax garbage G4", TiffBuilder::Page(50, 40, 1, junk, 4, 0), false});
    out.push_back({"fax garbage G3", TiffBuilder::Page(50, 40, 1, junk, 3, 0), false});
    out.push_back({"fax garbage MH", TiffBuilder::Page(50, 40, 1, junk, 2, 0), false});
    out.push_back({"corrupt Deflate", TiffBuilder::Page(8, 4, 8, junk, 32946), true});
    out.push_back({"JPEG garbage", TiffBuilder::Page(8, 4, 8, junk, 7), true});
  }
  {
    // A colour map of 8-bit palette images that is too short: no map, the page is read.
    TiffBuilder b;
    GreyPage(b, 8, 4, GreyRamp());
    b.Entry(262, 3, {3});
    b.Entry(320, 3, std::vector<uint32_t>(300, 65535));
    out.push_back({"short colour map", b.Bytes(), false});
  }
  for (uint32_t tw : {0u, 0x80000000u}) {
    TiffBuilder b;
    GreyPage(b, 8, 4, GreyRamp());
    b.Entry(322, 4, {tw});
    b.Entry(323, 4, {16});
    b.Entry(324, 4, {8});
    b.Entry(325, 4, {0xFFFFFFF0u});
    out.push_back({"tile width 0 or 2^31", b.Bytes(), true});
  }
  {
    TiffBuilder b;
    GreyPage(b, 8, 4, GreyRamp());
    b.Entry(322, 4, {16});
    b.Entry(323, 4, {16});
    b.Entry(324, 4, {8, 0xFFFFFF00u});
    b.Entry(325, 4, {0xFFFFFFF0u, 5});
    out.push_back({"tile byte counts past the end", b.Bytes(), false});
    b.Entry(284, 3, {2});
    out.push_back({"planar tiles", b.Bytes(), true});
  }
  {
    TiffBuilder b;
    GreyPage(b, 8, 4, GreyRamp());
    b.Entry(284, 3, {2});
    b.Entry(277, 3, {12});
    out.push_back({"planar data with 12 samples", b.Bytes(), true});
  }
  {
    // One-pixel-wide tiles of 2^31 - 1 rows across a page as wide: the bytes they stand for
    // pass 64 bits.
    TiffBuilder b;
    const uint32_t at = b.Data(GreyRamp());
    b.Entry(256, 4, {0x7FFFFFFFu});
    b.Entry(257, 4, {1});
    b.Entry(258, 3, {16});
    b.Entry(277, 3, {65535});
    b.Entry(262, 3, {2});
    b.Entry(322, 4, {1});
    b.Entry(323, 4, {0x7FFFFFFFu});
    b.Entry(324, 4, {at});
    b.Entry(325, 4, {32});
    out.push_back({"tile bytes past 64 bits", b.Bytes(), true});
  }
  {
    // Old-style JPEG whose strip 0 announces a marker segment longer than itself.
    TiffBuilder b;
    const uint32_t s0 = b.Data({0xFF, 0xD8, 0x7F, 0xFF, 1, 2});
    const uint32_t s1 = b.Data({0xFF, 0xD9});
    b.Entry(256, 3, {8});
    b.Entry(257, 3, {8});
    b.Entry(258, 3, {8, 8, 8});
    b.Entry(277, 3, {3});
    b.Entry(259, 3, {6});
    b.Entry(262, 3, {6});
    b.Entry(278, 3, {4});
    b.Entry(273, 4, {s0, s1});
    b.Entry(279, 4, {6, 2});
    out.push_back({"old-style JPEG segment past strip 0", b.Bytes(), true});
  }
  return out;
}

TEST_F(TiffRead, DamagedFilesEndInTheirDocumentedFailure) {
  for (const Damaged& d : DamagedFiles()) {
    SCOPED_TRACE(d.what);
    auto r = ReadTiff(d.file);
    EXPECT_EQ(!r->ok, d.aborts);
    // Refused pages allocate nothing.
    if (d.aborts) {
      EXPECT_LE(r->bitmap.ImageSize(), int64_t(64) << 20);
    }
  }
}

// One bit of Group 4 data can code a whole row, so a fax page is bounded by its width and by the
// pixels its data can stand for, and its rows are decoded into bit rows, not byte rows.
TEST_F(TiffRead, FaxPagesAreBoundedByWhatTheirDataCanCode) {
  const std::vector<uint8_t> vZero(3500, 0xFF);  // V0 codes: each row repeats the one above
  // An 8 x 1 page in one tile of 16 x 16,000,000 bytes: each tile is decoded whole.
  const std::vector<uint8_t> tiledFax = [&] {
    TiffBuilder b;
    const uint32_t at = b.Data(vZero);
    b.Entry(256, 3, {8});
    b.Entry(257, 3, {1});
    b.Entry(258, 3, {8});
    b.Entry(259, 3, {4});
    b.Entry(262, 3, {1});
    b.Entry(322, 3, {16});
    b.Entry(323, 4, {16000000});
    b.Entry(324, 4, {at});
    b.Entry(325, 4, {uint32_t(vZero.size())});
    return b.Bytes();
  }();
  struct TCase {
    const char* what;
    std::vector<uint8_t> file;
    bool readable;
    size_t mostAllocated;
  };
  const TCase cases[] = {
      {"2^31 - 1 x 1 from 3.5 KB", TiffBuilder::Page(0x7FFFFFFF, 1, 1, vZero, 4, 0), false, 1 << 20},
      {"65,537 x 1, wider than any page", TiffBuilder::Page(65537, 1, 1, vZero, 4, 0), false, 1 << 20},
      {"65,536 x 65,536 from 3.5 KB", TiffBuilder::Page(65536, 65536, 1, vZero, 4, 0), false, 1 << 20},
      {"G3 65,536 x 65,536 from 3.5 KB", TiffBuilder::Page(65536, 65536, 1, vZero, 3, 0), false, 1 << 20},
      {"8 x 1 in a tile of 16 x 16,000,000 bytes", tiledFax, false, 1 << 20},
      // 65,536 bytes of bitmap; the row buffer is a bit row too.
      {"65,536 x 8 from 3.5 KB", TiffBuilder::Page(65536, 8, 1, vZero, 4, 0), true, 65536 + 4096},
  };
  for (const TCase& c : cases) {
    std::unique_ptr<test::TiffRead> r;
    const size_t largest = test_support::LargestAllocationDuring([&] { r = ReadTiff(c.file); });
    EXPECT_EQ(r->ok, c.readable) << c.what;
    EXPECT_LE(largest, c.mostAllocated) << c.what;
  }

  // An all-white A4 page at 1200 dpi, one bit a row, still reads.
  TRVBitmap page;
  ASSERT_TRUE(page.Allocate(9921, 14031, rv1g));
  page.Fill(1);
  TIOParamsVals params;
  params.TIFF_Compression = 4;
  params.SamplesPerPixel = 1;
  params.BitsPerSample = 1;
  bool written = false;
  const std::vector<uint8_t> file = WriteTiff(page, params, nullptr, &written);
  ASSERT_TRUE(written);
  EXPECT_LT(file.size(), 4096u);
  auto r = ReadTiff(file);
  ASSERT_TRUE(r->ok);
  EXPECT_EQ(r->bitmap.GetWidth(), 9921);
  EXPECT_EQ(r->bitmap.GetHeight(), 14031);
}

TEST_F(TiffRead, CutAndMutatedFilesNeverCrash) {
  std::vector<std::vector<uint8_t>> seeds;
  std::vector<uint8_t> strip(24 * 16 * 3);
  for (size_t i = 0; i < strip.size(); ++i) strip[i] = uint8_t(i * 7 % 251);
  TRVBitmap source;
  source.Allocate(24, 16, rv24RGB);
  for (int y = 0; y < 16; ++y) std::memcpy(source.GetScanLine(y), &strip[size_t(y) * 72], 72);
  auto alpha = TestAlphaMask(24, 16);
  struct Seed {
    uint8_t compression;
    int samples, bits;
    bool alpha;
  };
  for (Seed sd : {Seed{0, 3, 8, false}, Seed{1, 1, 1, false}, Seed{2, 1, 1, false}, Seed{3, 1, 1, false},
                  Seed{4, 1, 1, false}, Seed{5, 3, 8, false}, Seed{5, 3, 8, true}, Seed{6, 3, 8, false},
                  Seed{7, 3, 8, false}, Seed{8, 1, 4, false}, Seed{9, 3, 8, false}}) {
    TIOParamsVals params;
    params.TIFF_Compression = sd.compression;
    params.SamplesPerPixel = sd.samples;
    params.BitsPerSample = sd.bits;
    seeds.push_back(WriteTiff(source, params, sd.alpha ? alpha.get() : nullptr));
  }
  {
    // Tiles and planar strips.
    TiffBuilder t;
    std::vector<uint32_t> offsets;
    for (int i = 0; i < 4; ++i) offsets.push_back(t.Data(std::vector<uint8_t>(256, uint8_t(i * 50))));
    t.Entry(256, 3, {30});
    t.Entry(257, 3, {20});
    t.Entry(258, 3, {8});
    t.Entry(262, 3, {1});
    t.Entry(322, 3, {16});
    t.Entry(323, 3, {16});
    t.Entry(324, 4, offsets);
    t.Entry(325, 4, {256, 256, 256, 256});
    seeds.push_back(t.Bytes());
    TiffBuilder p;
    std::vector<uint32_t> planes;
    for (int i = 0; i < 3; ++i) planes.push_back(p.Data(std::vector<uint8_t>(24 * 16, uint8_t(i * 70))));
    p.Entry(256, 3, {24});
    p.Entry(257, 3, {16});
    p.Entry(258, 3, {8, 8, 8});
    p.Entry(277, 3, {3});
    p.Entry(284, 3, {2});
    p.Entry(273, 4, planes);
    p.Entry(279, 4, {384, 384, 384});
    seeds.push_back(p.Bytes());
  }
  std::mt19937 rng(5);
  for (const auto& seed : seeds) {
    for (size_t cut = 0; cut < seed.size(); cut += 31) {
      std::vector<uint8_t> part(seed.begin(), seed.begin() + long(cut));
      ReadTiff(part);
    }
    for (int trial = 0; trial < 40; ++trial) {
      auto m = seed;
      for (int k = 0; k < 4; ++k) m[rng() % m.size()] = uint8_t(rng());
      ReadTiff(m);
    }
  }
}

}  // namespace
}  // namespace rv
