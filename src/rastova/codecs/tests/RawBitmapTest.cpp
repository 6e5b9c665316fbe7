// Raw pixels in every layout and coding, and the metafile signature tests.
#include <gtest/gtest.h>

#include <cstring>

#include "TestTools.h"
#include "common/Exception.h"
#include "rastova/codecs/bitmaps/rawbmpfilt.h"

namespace rv {
namespace {

using namespace test;

std::vector<uint8_t> TextBytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// Reads `data` into a bitmap of w x h in `format` whose bytes start as 0xEE.
std::unique_ptr<TRVBitmap> ReadRaw(const std::vector<uint8_t>& data, int w, int h, TRVPixelFormat format,
                                   TIOParamsVals& p, std::vector<int>* reports = nullptr) {
  auto b = std::make_unique<TRVBitmap>();
  b->Allocate(w, h, format);
  for (int y = 0; y < h; ++y) std::memset(b->GetScanLine(y), 0xEE, size_t(b->GetRowLen()));
  auto s = StreamOf(data);
  TRVProgressRec progress;
  if (reports) progress.fnc = [reports](void*, int per) { reports->push_back(per); };
  ReadRawBitmapStream(*s, *b, p, progress);
  return b;
}

TEST(RawBitmap, LayoutsAlignmentAndChannelOrder) {
  // 24 bits stored red, green, blue load with the right colours; with the channel order kept,
  // blue, green, red data do.
  TIOParamsVals p;
  auto rgb = ReadRaw({10, 20, 30, 40, 50, 60}, 2, 1, rv24RGB, p);
  EXPECT_EQ(PixelOf(*rgb, 0, 0).r, 10);
  EXPECT_EQ(PixelOf(*rgb, 1, 0).b, 60);
  p.RAWBMP_ChannelOrder = 1;
  auto bgr = ReadRaw({10, 20, 30}, 1, 1, rv24RGB, p);
  EXPECT_EQ(PixelOf(*bgr, 0, 0).b, 10);
  // 8-bit grey of width 3 aligned to 64 bits: 8-byte rows.
  TIOParamsVals a64;
  a64.RAWBMP_RowAlign = 64;
  auto g = ReadRaw({1, 2, 3, 9, 9, 9, 9, 9, 4, 5, 6, 9, 9, 9, 9, 9}, 3, 2, rv8g, a64);
  EXPECT_EQ(g->GetScanLine(1)[0], 4);
  EXPECT_EQ(g->GetScanLine(1)[2], 6);
  TIOParamsVals a8;
  auto g8 = ReadRaw({1, 2, 3, 4, 5, 6}, 3, 2, rv8g, a8);
  EXPECT_EQ(g8->GetScanLine(1)[0], 4);
  // A header skipped; planar 24 bits reports 0, 33, 66 and 100.
  TIOParamsVals planar;
  planar.RAWBMP_Planar = 1;
  planar.RAWBMP_HeaderSize = 2;
  std::vector<int> reports;
  auto pl = ReadRaw({0, 0, 1, 2, 3, 4, 5, 6}, 2, 1, rv24RGB, planar, &reports);
  EXPECT_EQ(reports, (std::vector<int>{0, 33, 66, 100}));
  EXPECT_EQ(PixelOf(*pl, 0, 0).r, 1);
  EXPECT_EQ(PixelOf(*pl, 1, 0).g, 4);
  EXPECT_EQ(PixelOf(*pl, 1, 0).b, 6);
  // Planar 16-bit and 48-bit interleaved samples.
  TIOParamsVals p48;
  auto w48 = ReadRaw({1, 0, 2, 0, 3, 0}, 1, 1, rv48RGB, p48);
  EXPECT_EQ(w48->GetPixels_rv48RGB(0, 0).r, 3);
  EXPECT_EQ(w48->GetPixels_rv48RGB(0, 0).b, 1);
  // Short data leave the rest of the bitmap as it was.
  auto shortData = ReadRaw({7}, 2, 2, rv8g, a8);
  EXPECT_EQ(shortData->GetScanLine(0)[0], 7);
  EXPECT_EQ(shortData->GetScanLine(1)[1], 0xEE);
}

TEST(RawBitmap, TextCodings) {
  TIOParamsVals dec;
  dec.RAWBMP_DataFormat = 1;
  TIOParamsVals hex;
  hex.RAWBMP_DataFormat = 2;
  // Decimal 255, 0, 10 and hexadecimal FF, 00, 0A with any separators give the same bytes.
  auto d = ReadRaw(TextBytes("255,0;;10"), 3, 1, rv8g, dec);
  auto x = ReadRaw(TextBytes("FF 00\n0A"), 3, 1, rv8g, hex);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(d->GetScanLine(0)[i], x->GetScanLine(0)[i]) << i;
  EXPECT_EQ(d->GetScanLine(0)[2], 10);
  // Lower-case hexadecimal separates values; values above the sample's range are clamped.
  auto lower = ReadRaw(TextBytes("ff 1A 2"), 2, 1, rv8g, hex);
  EXPECT_EQ(lower->GetScanLine(0)[0], 0x1A);
  EXPECT_EQ(lower->GetScanLine(0)[1], 2);
  auto clamp = ReadRaw(TextBytes("300 70000"), 2, 1, rv8g, dec);
  EXPECT_EQ(clamp->GetScanLine(0)[0], 255);
  EXPECT_EQ(clamp->GetScanLine(0)[1], 255);
  auto words = ReadRaw(TextBytes("70000 1000"), 2, 1, rv16g, dec);
  EXPECT_EQ(words->GetPixels_rv16g(0, 0), 65535);
  EXPECT_EQ(words->GetPixels_rv16g(1, 0), 1000);
  auto floats = ReadRaw(TextBytes("1.5 250"), 2, 1, rv32f, dec);
  EXPECT_FLOAT_EQ(floats->GetPixels_rv32f(0, 0), 1.5f);
  EXPECT_FLOAT_EQ(floats->GetPixels_rv32f(1, 0), 250.0f);
  // Into rv1g each value fills one byte of the packed row.
  auto bits = ReadRaw(TextBytes("255 1"), 16, 1, rv1g, dec);
  EXPECT_EQ(bits->GetScanLine(0)[0], 255);
  EXPECT_EQ(bits->GetScanLine(0)[1], 1);
  // Hexadecimal text into rv32f is refused.
  EXPECT_THROW(ReadRaw(TextBytes("FF"), 1, 1, rv32f, hex), common::Exception);
}

TEST(RawBitmap, DamagedLayouts) {
  // Alignments of 0 and -8 act as 8; a header past the data and data shorter than the image
  // end quietly with the rest untouched.
  for (int align : {0, -8}) {
    TIOParamsVals p;
    p.RAWBMP_RowAlign = align;
    auto b = ReadRaw({1, 2, 3, 4}, 2, 2, rv8g, p);
    EXPECT_EQ(b->GetScanLine(1)[1], 4) << align;
  }
  TIOParamsVals past;
  past.RAWBMP_HeaderSize = 1000;
  auto b = ReadRaw({1, 2, 3, 4}, 2, 2, rv8g, past);
  EXPECT_EQ(b->GetScanLine(0)[0], 0xEE);
  TIOParamsVals planar;
  planar.RAWBMP_Planar = 1;
  auto c = ReadRaw({1, 2}, 3, 3, rvCMYK, planar);
  EXPECT_EQ(c->GetPixels_rvCMYK(0, 0).c, 1);
}

TEST(Metafile, SignatureTests) {
  std::vector<uint8_t> emf(108, 0);
  emf[0] = 1;
  emf[40] = 0x20;
  emf[41] = 0x45;
  emf[42] = 0x4D;
  emf[43] = 0x46;
  std::vector<uint8_t> wmf(18, 0);
  wmf[0] = 1;
  wmf[2] = 9;
  std::vector<uint8_t> placeable = {0xD7, 0xCD, 0xC6, 0x9A};
  placeable.resize(22, 0);
  Append(placeable, wmf);
  const std::vector<uint8_t> bmp = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0};
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
    bool isEmf, isWmf;
  };
  const Case cases[] = {
      {"EMF", emf, true, false},
      {"WMF", wmf, false, true},
      {"placeable WMF", placeable, false, true},
      {"BMP", bmp, false, false},
      {"short", {1, 0}, false, false},
  };
  for (const Case& c : cases) {
    auto s = StreamOf(c.data);
    EXPECT_EQ(IsEMFStream(*s), c.isEmf) << c.name;
    EXPECT_EQ(IsWMFStream(*s), c.isWmf) << c.name;
    EXPECT_EQ(s->GetPosition(), 0) << c.name;
  }
}

}  // namespace
}  // namespace rv
