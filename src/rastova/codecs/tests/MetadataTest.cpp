#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstring>
#include <string>
#include <vector>

#include "rastova/codecs/RVICC.h"
#include "rastova/codecs/RVMarkerList.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"

namespace rv {
namespace {

std::vector<uint8_t> Bytes(const char* s, size_t n) { return std::vector<uint8_t>(s, s + n); }

TEST(MarkerList, AddCutsToSixteenBitsAndIndexErrorsThrow) {
  TRVMarkerList m;
  std::vector<uint8_t> big(70000, 7);
  m.AddMarker(0xE3, big.data(), 70000);
  EXPECT_EQ(m.GetMarkerLength(0), 4464);
  EXPECT_EQ(m.IndexOf(0xE3), 0);
  EXPECT_EQ(m.IndexOf(0xE4), -1);
  EXPECT_THROW(m.GetMarkerType(1), EListError);
  EXPECT_THROW(m.DeleteMarker(-1), EListError);
  m.SetMarker(0, 0xFE, "ab", 2);
  EXPECT_EQ(m.GetMarkerType(0), 0xFE);
  EXPECT_EQ(m.GetMarkerStream(0).GetSize(), 2);
}

TEST(MarkerList, SortOrdersTypesICCChunksAndEXIFFirst) {
  TRVMarkerList m;
  std::string icc2 = std::string("ICC_PROFILE\0", 12) + "\x02\x02" + "second";
  std::string icc1 = std::string("ICC_PROFILE\0", 12) + "\x01\x02" + "first!";
  const std::string xmp = "http://ns.adobe.com/xap/1.0/";
  const std::string exif = std::string("Exif\0\0", 6) + "data";
  m.AddMarker(0xE1, xmp.data(), int32_t(xmp.size()));
  m.AddMarker(0xE2, icc2.data(), int32_t(icc2.size()));
  m.AddMarker(0xE0, "JFIF", 4);
  m.AddMarker(0xE2, icc1.data(), int32_t(icc1.size()));
  m.AddMarker(0xE1, exif.data(), int32_t(exif.size()));
  m.SortMarkers();
  ASSERT_EQ(m.Count(), 5);
  EXPECT_EQ(m.GetMarkerType(0), 0xE0);
  EXPECT_TRUE(IsEXIFMarker(m.GetMarkerData(1), m.GetMarkerLength(1)));
  EXPECT_EQ(m.GetMarkerType(2), 0xE1);
  EXPECT_EQ(m.GetMarkerData(3)[12], 1);
  EXPECT_EQ(m.GetMarkerData(4)[12], 2);
}

TEST(IPTCList, EncodingsOfTheLayouts) {
  TRVIPTCInfoList l;
  l.AddItem(2, 120, "hello", 5);
  l.AddItem(2, 0, "\x00\x02", 2);  // record version: written by the encoder itself
  l.AddItem(2, 25, "", 0);         // empty: not written
  auto ps = l.SaveToBuffer(true);
  ASSERT_EQ(ps.size(), 36u);
  EXPECT_EQ(std::string(ps.begin(), ps.begin() + 13), "Photoshop 3.0");
  EXPECT_EQ(ps[22], 0);
  EXPECT_EQ(ps[25], 10);
  auto plain = l.SaveToBuffer(false);
  ASSERT_EQ(plain.size(), 18u);
  EXPECT_EQ(plain[17], 0);

  TRVIPTCInfoList back;
  EXPECT_TRUE(back.LoadFromBuffer(ps.data(), int32_t(ps.size())));
  ASSERT_EQ(back.Count(), 1);
  EXPECT_EQ(back.GetStrings(0), "hello");
  EXPECT_FALSE(back.Changed);
  EXPECT_EQ(back.GetStrings(5), "");

  TRVIPTCInfoList big;
  std::vector<uint8_t> data(40000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7);
  big.AddItem(2, 202, data.data(), 40000);
  auto enc = big.SaveToBuffer(false);
  const uint8_t len[] = {0x80, 0x04, 0x00, 0x00, 0x9C, 0x40};
  EXPECT_EQ(std::memcmp(enc.data() + 7 + 3, len, 6), 0);
  TRVIPTCInfoList big2;
  ASSERT_TRUE(big2.LoadFromBuffer(enc.data(), int32_t(enc.size())));
  // The record version written by the encoder is read back as a record of its own.
  ASSERT_EQ(big2.Count(), 2);
  ASSERT_EQ(big2.GetLength(1), 40000);
  EXPECT_EQ(std::memcmp(big2.GetData(1), data.data(), 40000), 0);
}

TEST(IPTCList, DamagedBuffersStopCleanly) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int records;
  };
  const std::vector<Case> cases = {
      {"junk before the first record", {9, 9, 9, 0x1C, 2, 5, 0, 2, 'a', 'b'}, 1},
      {"length past the end", {0x1C, 2, 5, 0, 50, 'a'}, 0},
      {"extended length past the end", {0x1C, 2, 5, 0x80, 4, 0x7F, 0xFF, 0xFF, 0xFF, 'a'}, 0},
      {"negative extended length", {0x1C, 2, 5, 0x80, 4, 0xFF, 0xFF, 0xFF, 0xFE, 'a', 'b', 'c'}, 1},
      {"header only", {0x1C, 2, 5}, 0},
      {"Photoshop header without resource", Bytes("Photoshop 3.0\0xxxx", 18), 0},
      {"empty", {}, 0},
  };
  for (const auto& c : cases) {
    TRVIPTCInfoList l;
    l.LoadFromBuffer(c.bytes.data(), int32_t(c.bytes.size()));
    EXPECT_EQ(l.Count(), c.records) << c.name;
  }
}

std::vector<uint8_t> SavedProfile(cmsHPROFILE p) {
  cmsUInt32Number n = 0;
  cmsSaveProfileToMem(p, nullptr, &n);
  std::vector<uint8_t> out(n);
  cmsSaveProfileToMem(p, out.data(), &n);
  cmsCloseProfile(p);
  return out;
}

TEST(ICC, ConvertsRowsBetweenFormats) {
  TRVICC src, dst;
  auto srgb = SavedProfile(cmsCreate_sRGBProfile());
  src.LoadFromBuffer(srgb.data(), int64_t(srgb.size()));
  ASSERT_TRUE(src.IsValid());
  dst.LoadSRGB();
  ASSERT_TRUE(dst.IsValid());
  const uint8_t bgr[6] = {10, 20, 30, 200, 100, 50};
  uint8_t out[6] = {};
  EXPECT_TRUE(src.Transform(dst, 1, 1, 0, 0, bgr, out, 2));
  EXPECT_NEAR(out[0], 10, 1);
  EXPECT_NEAR(out[5], 50, 1);
  EXPECT_EQ(bgr[0], 10);  // the source run is left as it was
  // Reusing the transform keeps it; a new format replaces it and marks the profile applied.
  EXPECT_TRUE(src.Transform(dst, 1, 1, 0, 0, bgr, out, 2));
  EXPECT_FALSE(src.Applied());
  // 48-bit target: filled with 16-bit samples.
  uint8_t rgb16[12] = {};
  EXPECT_TRUE(src.Transform(dst, 1, 6, 0, 0, bgr, rgb16, 2));
  EXPECT_NEAR(rgb16[1], 30, 1);  // high byte of red of pixel 0
  EXPECT_TRUE(src.Applied());

  // Grey and Lab targets are filled too.
  TRVICC grey, lab;
  auto g = SavedProfile(cmsCreateGrayProfile(cmsD50_xyY(), cmsBuildGamma(nullptr, 2.2)));
  grey.LoadFromBuffer(g.data(), int64_t(g.size()));
  auto l = SavedProfile(cmsCreateLab4Profile(nullptr));
  lab.LoadFromBuffer(l.data(), int64_t(l.size()));
  const uint8_t white[3] = {255, 255, 255};
  uint8_t gv = 0;
  EXPECT_TRUE(src.Transform(grey, 1, 5, 0, 0, white, &gv, 1));
  EXPECT_GE(gv, 250);
  uint8_t lv[3] = {};
  EXPECT_TRUE(src.Transform(lab, 1, 4, 0, 0, white, lv, 1));
  EXPECT_GE(lv[0], 250);
  // A colour space that does not fit the profile opens no transform.
  EXPECT_FALSE(src.Transform(dst, 2, 1, 0, 0, white, out, 0));
}

TEST(ICC, ConvertBitmapAndFormatsItRefuses) {
  TRVICC src, dst;
  src.LoadSRGB();
  dst.LoadSRGB();
  TRVBitmap b(3, 2, rv24RGB);
  b.Fill(0x102030);
  EXPECT_TRUE(src.ConvertBitmap(b, rv48RGB, dst));
  EXPECT_EQ(b.GetPixelFormat(), rv48RGB);
  EXPECT_TRUE(src.Applied());
  TRVBitmap one(3, 2, rv1g), rgb32(3, 2, rv32RGB);
  EXPECT_FALSE(src.ConvertBitmap(one, rv24RGB, dst));
  EXPECT_FALSE(src.ConvertBitmap(rgb32, rv24RGB, dst));
  EXPECT_EQ(one.GetPixelFormat(), rv1g);

  TMemoryStream s;
  EXPECT_TRUE(src.SaveToStream(s, false));
  EXPECT_EQ(s.GetSize(), 4);
}

TEST(ICC, ProfileTextsStayInsideTheProfile) {
  // A tag table whose texts end without a zero at the profile's end, and one past it.
  std::vector<uint8_t> raw(200, 0);
  auto be32 = [&](size_t at, uint32_t v) {
    raw[at] = uint8_t(v >> 24);
    raw[at + 1] = uint8_t(v >> 16);
    raw[at + 2] = uint8_t(v >> 8);
    raw[at + 3] = uint8_t(v);
  };
  be32(128, 2);
  std::memcpy(&raw[132], "cprt", 4);
  be32(136, 180);
  be32(140, 20);
  std::memcpy(&raw[144], "desc", 4);
  be32(148, 150);
  be32(152, 30);
  std::memcpy(&raw[188], "ABCDEFGHIJKL", 12);  // cprt text runs to the end, no zero
  std::memcpy(&raw[162], "Name", 5);
  TRVICC p;
  p.LoadFromBuffer(raw.data(), int64_t(raw.size()));
  EXPECT_FALSE(p.IsValid());
  EXPECT_EQ(p.CprtText(), "ABCDEFGHIJKL");
  EXPECT_EQ(p.DescText(), "Name");
  TRVICC tiny;
  tiny.LoadFromBuffer(raw.data(), 100);
  EXPECT_EQ(tiny.CprtText(), "");
}

}  // namespace
}  // namespace rv
