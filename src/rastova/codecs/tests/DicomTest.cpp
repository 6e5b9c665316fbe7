// The DICOM reader: encodings, the tag list, frame selection, the pixel layouts with the window
// and inversion, lossless JPEG with restart intervals, dcmtk's files of every transfer syntax,
// and damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "DicomTestTools.h"
#include "TestTools.h"
#include "rastova/codecs/jpeg/jpegfilt.h"
#include "rastova/codecs/dicom/rvdicom.h"
#include "rastova/codecs/j2000/rvj2000.h"

namespace rv {
namespace {

using namespace test;
using B = DicomBuilder;

const char* const kExplicitLE = "1.2.840.10008.1.2.1";
const char* const kImplicitLE = "1.2.840.10008.1.2";
const char* const kExplicitBE = "1.2.840.10008.1.2.2";
const char* const kRLE = "1.2.840.10008.1.2.5";
const char* const kLossless = "1.2.840.10008.1.2.4.70";
const char* const kJ2000 = "1.2.840.10008.1.2.4.91";

struct Read {
  TRVBitmap bitmap;
  TIOParamsVals params;
  bool ok = false;
};

std::unique_ptr<Read> ReadDcm(const std::vector<uint8_t>& data, int32_t index = 0, bool paramsOnly = false) {
  auto r = std::make_unique<Read>();
  r->params.SetImageIndex(index);
  auto s = StreamOf(data);
  TRVProgressRec progress;
  ReadDICOMStream(*s, r->params, r->bitmap, progress, paramsOnly);
  r->ok = !progress.IsAborting();
  return r;
}

uint16_t Grey16(TRVBitmap& b, int x, int y) { return reinterpret_cast<const uint16_t*>(b.GetScanLine(y))[x]; }
uint8_t Grey8(TRVBitmap& b, int x, int y) { return b.GetScanLine(y)[x]; }

std::vector<uint8_t> Samples16(const std::vector<uint16_t>& v, bool bigEndian) {
  std::vector<uint8_t> out;
  for (uint16_t s : v) B::Put16(out, s, bigEndian);
  return out;
}

// PackBits of a plane as literal runs, and an RLE frame of such segments.
std::vector<uint8_t> PackBits(const std::vector<uint8_t>& plane) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < plane.size(); i += 128) {
    const size_t n = std::min<size_t>(128, plane.size() - i);
    out.push_back(uint8_t(n - 1));
    out.insert(out.end(), plane.begin() + long(i), plane.begin() + long(i + n));
  }
  return out;
}
std::vector<uint8_t> RLEFrame(const std::vector<std::vector<uint8_t>>& planes) {
  std::vector<uint8_t> out(64, 0);
  out[0] = uint8_t(planes.size());
  for (size_t i = 0; i < planes.size(); ++i) {
    const uint32_t at = uint32_t(out.size());
    for (int k = 0; k < 4; ++k) out[4 + 4 * i + size_t(k)] = uint8_t(at >> (8 * k));
    const std::vector<uint8_t> seg = PackBits(planes[i]);
    out.insert(out.end(), seg.begin(), seg.end());
  }
  return out;
}

// The 3 x 2 16-bit picture of the encoding tests: values 100 to 200.
const std::vector<uint16_t> kValues = {100, 150, 200, 120, 180, 200};
uint16_t Stretched(uint16_t v) { return uint16_t((v - 100) * 65535 / 100); }

TEST(Dicom, EncodingsReadAlike) {
  struct Case {
    const char* what;
    const char* syntax;
    B::Encoding encoding;
    bool preamble;
  } cases[] = {
      {"explicit little-endian", kExplicitLE, B::ExplicitLE, true},
      {"implicit little-endian", kImplicitLE, B::ImplicitLE, true},
      {"explicit big-endian", kExplicitBE, B::ExplicitBE, true},
      {"bare data set", "", B::ImplicitLE, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<uint8_t> file = B(c.syntax, c.encoding, c.preamble)
                                          .Text(0x0010, 0x0010, "PN", "Doe^John")
                                          .Image(2, 3, 1, 16, 16, "MONOCHROME2")
                                          .NativePixels(Samples16(kValues, c.encoding == B::ExplicitBE))
                                          .Bytes();
    EXPECT_EQ(IsDICOMStream(*StreamOf(file)), c.preamble);
    auto r = ReadDcm(file);
    ASSERT_TRUE(r->ok);
    EXPECT_EQ(r->params.Width, 3);
    EXPECT_EQ(r->params.Height, 2);
    EXPECT_EQ(r->params.BitsPerSample, 16);
    EXPECT_EQ(r->params.SamplesPerPixel, 1);
    EXPECT_EQ(r->params.ImageCount, 1);
    ASSERT_EQ(r->bitmap.GetPixelFormat(), rv16g);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(Grey16(r->bitmap, i % 3, i / 3), Stretched(kValues[size_t(i)])) << i;
    // The tag list holds every element before the pixel data, with the dictionary's
    // representation (also in the implicit encoding).
    const TRVDICOMTags& tags = r->params.DICOM_Tags;
    ASSERT_EQ(tags.Count(), (c.preamble ? 1 : 0) + 1 + 8);
    const TRVDICOMTags::TTag& name = tags.Tag(c.preamble ? 1 : 0);
    EXPECT_EQ(name.Group, 0x0010);
    EXPECT_EQ(std::memcmp(name.VR, "PN", 2), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(name.Data.get()), "Doe^John");
    const TRVDICOMTags::TTag& rows = tags.Tag(tags.Count() - 6);
    EXPECT_EQ(rows.Element, 0x0010);
    EXPECT_EQ(std::memcmp(rows.VR, "US", 2), 0);
    EXPECT_EQ(rows.DataLength, 2);
  }
}

TEST(Dicom, TagListFollowsTheFile) {
  // A sequence of undefined length whose item (also undefined) holds an element: the nested
  // elements are kept as if they stood at the top level, and parsing goes on after them.
  B b(kExplicitLE, B::ExplicitLE);
  b.Header(0x0008, 0x1140, "SQ", 0xFFFFFFFFu)
      .Header(0xFFFE, 0xE000, "", 0xFFFFFFFFu)
      .Text(0x0008, 0x1150, "UI", "1.2.3")
      .Header(0xFFFE, 0xE00D, "", 0)
      .Header(0xFFFE, 0xE0DD, "", 0)
      .Text(0x0020, 0x000D, "UI", "4.5")
      .Image(1, 1, 1, 8, 8, "MONOCHROME2")
      .NativePixels({7, 0});
  auto r = ReadDcm(b.Bytes());
  ASSERT_TRUE(r->ok);
  const TRVDICOMTags& tags = r->params.DICOM_Tags;
  std::vector<std::pair<uint16_t, uint16_t>> seen;
  for (int32_t i = 0; i < tags.Count(); ++i) seen.emplace_back(tags.Tag(i).Group, tags.Tag(i).Element);
  const std::vector<std::pair<uint16_t, uint16_t>> expected = {
      {0x0002, 0x0010}, {0x0008, 0x1140}, {0xFFFE, 0xE000}, {0x0008, 0x1150}, {0xFFFE, 0xE00D},
      {0xFFFE, 0xE0DD}, {0x0020, 0x000D}};
  ASSERT_GE(seen.size(), expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), seen.begin()));
  EXPECT_EQ(tags.Tag(1).DataLength, 0);  // undefined length: no value
  EXPECT_EQ(std::memcmp(tags.Tag(2).VR, "!!", 2), 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(tags.Tag(3).Data.get()), "1.2.3");

  // Explicit UT values have 32-bit lengths, like OB, OW, UN and SQ: what follows stays in step.
  const std::string longText(70000, 'a');
  r = ReadDcm(B(kExplicitLE, B::ExplicitLE).Text(0x0040, 0xA160, "UT", longText).Image(1, 1, 1, 8, 8, "MONOCHROME2").NativePixels({9, 0}).Bytes());
  ASSERT_TRUE(r->ok);
  EXPECT_EQ(r->params.DICOM_Tags.Tag(1).DataLength, 70000);
  EXPECT_EQ(r->params.Width, 1);
  EXPECT_EQ(Grey8(r->bitmap, 0, 0), 9);

  // An element whose length reaches past the end keeps no value, but its length from the file, also
  // in a copy of the parameters.
  B cut(kExplicitLE, B::ExplicitLE);
  cut.Text(0x0010, 0x0010, "PN", "Doe").Header(0x0010, 0x0020, "LO", 400);
  std::vector<uint8_t> bytes = cut.Bytes();
  bytes.resize(bytes.size() + 10, 'x');
  r = ReadDcm(bytes);
  TIOParamsVals copy;
  copy.Assign(r->params);
  for (const TRVDICOMTags* t2 : {&r->params.DICOM_Tags, &copy.DICOM_Tags}) {
    ASSERT_GE(t2->Count(), 3);
    EXPECT_EQ(t2->Tag(2).Element, 0x0020);
    EXPECT_EQ(t2->Tag(2).Data, nullptr);
    EXPECT_EQ(t2->Tag(2).DataLength, 400);
  }
  EXPECT_TRUE(r->bitmap.IsEmpty());
}

TEST(Dicom, FrameSelection) {
  // Three native frames of 2 x 2 bytes: frame k holds k x 60 + pixel.
  std::vector<uint8_t> native;
  std::vector<std::vector<uint8_t>> rle;
  for (int k = 0; k < 3; ++k) {
    std::vector<uint8_t> frame;
    for (int i = 0; i < 4; ++i) frame.push_back(uint8_t(k * 60 + i * 10));
    native.insert(native.end(), frame.begin(), frame.end());
    rle.push_back(RLEFrame({frame}));
  }
  auto frameOf = [](TRVBitmap& b) { return Grey8(b, 1, 1); };  // stretched: the largest is 255 always
  auto frameMin = [](Read& r) { return r.params.ImageIndex; };
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    int32_t index, expectedIndex;
  } cases[] = {
      {"native index 2", B(kExplicitLE, B::ExplicitLE).Image(2, 2, 1, 8, 8, "MONOCHROME2", 0, 3).NativePixels(native).Bytes(), 2, 2},
      {"native index 7", B(kExplicitLE, B::ExplicitLE).Image(2, 2, 1, 8, 8, "MONOCHROME2", 0, 3).NativePixels(native).Bytes(), 7, 2},
      {"rle, empty offset table, index 1", B(kRLE, B::ExplicitLE).Image(2, 2, 1, 8, 8, "MONOCHROME2", 0, 3).EncapsulatedPixels(rle, false).Bytes(), 1, 1},
      {"rle, offset table, index 2", B(kRLE, B::ExplicitLE).Image(2, 2, 1, 8, 8, "MONOCHROME2", 0, 3).EncapsulatedPixels(rle, true).Bytes(), 2, 2},
      {"rle, index 9", B(kRLE, B::ExplicitLE).Image(2, 2, 1, 8, 8, "MONOCHROME2", 0, 3).EncapsulatedPixels(rle, true).Bytes(), 9, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto r = ReadDcm(c.file, c.index);
    ASSERT_TRUE(r->ok);
    EXPECT_EQ(frameMin(*r), c.expectedIndex);
    EXPECT_EQ(r->params.ImageCount, 3);
    ASSERT_EQ(r->bitmap.GetPixelFormat(), rv8g);
    // Native 8-bit data are only shifted, never stretched: the frame's own values show.
    if (std::string(c.what).rfind("native", 0) == 0) {
      EXPECT_EQ(Grey8(r->bitmap, 0, 0), c.expectedIndex * 60);
    } else {
      EXPECT_EQ(frameOf(r->bitmap), 255);
      EXPECT_EQ(Grey8(r->bitmap, 0, 0), 0);
    }
  }
  // RLE frames are told apart by their first pixel before stretching: make frame 1 uniform.
  rle[1] = RLEFrame({{9, 9, 9, 9}});
  auto r = ReadDcm(B(kRLE, B::ExplicitLE).Image(2, 2, 1, 8, 8, "MONOCHROME2", 0, 3).EncapsulatedPixels(rle, false).Bytes(), 1);
  ASSERT_TRUE(r->ok);
  EXPECT_EQ(Grey8(r->bitmap, 1, 1), 0);  // one value only comes out 0
}

TEST(Dicom, PixelLayouts) {
  struct Case {
    const char* what;
    B builder;
    TRVPixelFormat format;
    std::vector<std::array<int, 3>> pixels;  // x, y, and the expected grey value (or packed RGB)
  };
  auto image = [](const char* photometric, int bits, int stored, int pr = 0) {
    B b(kExplicitLE, B::ExplicitLE);
    b.Image(1, 3, 1, bits, stored, photometric, pr);
    return b;
  };
  auto rgbOf = [](int r, int g, int b) { return r << 16 | g << 8 | b; };
  std::vector<Case> cases;
  {
    B b(kExplicitLE, B::ExplicitLE);
    b.Image(1, 2, 3, 8, 8, "RGB").NativePixels({10, 20, 30, 40, 50, 60});
    cases.push_back({"interleaved RGB", b, rv24RGB, {{0, 0, rgbOf(10, 20, 30)}, {1, 0, rgbOf(40, 50, 60)}}});
  }
  {
    B b(kExplicitLE, B::ExplicitLE);
    b.US(0x0028, 0x0002, 3).Text(0x0028, 0x0004, "CS", "RGB").US(0x0028, 0x0006, 1).US(0x0028, 0x0010, 1)
        .US(0x0028, 0x0011, 2).US(0x0028, 0x0100, 8).US(0x0028, 0x0101, 8).NativePixels({10, 40, 20, 50, 30, 60});
    cases.push_back({"planar RGB", b, rv24RGB, {{0, 0, rgbOf(10, 20, 30)}, {1, 0, rgbOf(40, 50, 60)}}});
  }
  cases.push_back({"MONOCHROME1 8-bit is inverted without a window", image("MONOCHROME1", 8, 8).NativePixels({0, 255, 100, 0}),
                   rv8g, {{0, 0, 255}, {1, 0, 0}, {2, 0, 155}}});
  cases.push_back({"6 of 8 bits are shifted", image("MONOCHROME2", 8, 6).NativePixels({1, 63, 32, 0}), rv8g,
                   {{0, 0, 4}, {1, 0, 252}, {2, 0, 128}}});
  cases.push_back({"16 bits allocated, 8 stored", image("MONOCHROME2", 16, 8).NativePixels({5, 99, 6, 99, 7, 99}), rv8g,
                   {{0, 0, 5}, {1, 0, 6}, {2, 0, 7}}});
  cases.push_back({"16-bit unsigned above 32767 keep their order",
                   image("MONOCHROME2", 16, 16).NativePixels(Samples16({30000, 40000, 65535}, false)), rv16g,
                   {{0, 0, 0}, {1, 0, 10000 * 65535 / 35535}, {2, 0, 65535}}});
  cases.push_back({"16-bit signed: 40000 is negative",
                   image("MONOCHROME2", 16, 16, 1).NativePixels(Samples16({30000, 40000, 32767}, false)), rv16g,
                   {{0, 0, int(55536LL * 65535 / 58303)}, {1, 0, 0}, {2, 0, 65535}}});
  cases.push_back({"MONOCHROME1 16-bit is inverted after stretching",
                   image("MONOCHROME1", 16, 16).NativePixels(Samples16({100, 200, 150}, false)), rv16g,
                   {{0, 0, 65535}, {1, 0, 0}, {2, 0, 65535 - 32767}}});
  {
    B b = image("MONOCHROME2", 16, 16);
    b.Text(0x0028, 0x1050, "DS", "0").Text(0x0028, 0x1051, "DS", "10");
    cases.push_back({"a window centre of 0 is no window", b.NativePixels(Samples16({100, 200, 150}, false)), rv16g,
                     {{0, 0, 0}, {1, 0, 65535}, {2, 0, 32767}}});
  }
  {
    // Centre 150, width 51: at or below 124 black, from 174 white, between on the ramp.
    B b = image("MONOCHROME2", 16, 16);
    b.Text(0x0028, 0x1050, "DS", "150\\300").Text(0x0028, 0x1051, "DS", "51");
    cases.push_back({"window", b.NativePixels(Samples16({110, 190, 150}, false)), rv16g,
                     {{0, 0, 0}, {1, 0, 65535}, {2, 0, int(((150 - 149.5) / 50 + 0.5) * 65535)}}});
  }
  {
    B b = image("MONOCHROME2", 16, 16);
    b.Text(0x0028, 0x1052, "DS", "-1000").Text(0x0028, 0x1053, "DS", "2");
    cases.push_back({"rescale", b.NativePixels(Samples16({0, 1000, 500}, false)), rv16g,
                     {{0, 0, 0}, {1, 0, 65535}, {2, 0, 32767}}});
  }
  {
    // 0x123, 0x456, 0x789 packed two pixels in three bytes.
    B b(kExplicitLE, B::ExplicitLE);
    b.Image(1, 3, 1, 12, 12, "MONOCHROME2").NativePixels({0x23, 0x61, 0x45, 0x89, 0x07, 0});
    cases.push_back({"packed 12-bit", b, rv16g, {{0, 0, 0}, {1, 0, 32767}, {2, 0, 65535}}});
  }
  {
    // A palette of three entries; index 3 and beyond take the last one.
    B b = image("PALETTE COLOR", 8, 8);
    b.Element(0x0028, 0x1201, "OW", Samples16({0, 257 * 10, 257 * 20}, false))
        .Element(0x0028, 0x1202, "OW", Samples16({0, 257 * 11, 257 * 21}, false))
        .Element(0x0028, 0x1203, "OW", Samples16({0, 257 * 12, 257 * 22}, false));
    cases.push_back({"palette", b.NativePixels({1, 2, 200, 0}), rv24RGB,
                     {{0, 0, rgbOf(10, 11, 12)}, {1, 0, rgbOf(20, 21, 22)}, {2, 0, rgbOf(20, 21, 22)}}});
  }
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto r = ReadDcm(c.builder.Bytes());
    ASSERT_TRUE(r->ok);
    ASSERT_EQ(r->bitmap.GetPixelFormat(), c.format);
    for (const auto& p : c.pixels) {
      if (c.format == rv24RGB) {
        const uint8_t* q = r->bitmap.GetScanLine(p[1]) + 3 * p[0];
        EXPECT_EQ(q[2] << 16 | q[1] << 8 | q[0], p[2]) << p[0];
      } else if (c.format == rv16g) {
        EXPECT_NEAR(Grey16(r->bitmap, p[0], p[1]), p[2], 1) << p[0];
      } else {
        EXPECT_EQ(Grey8(r->bitmap, p[0], p[1]), p[2]) << p[0];
      }
    }
  }
  // A 16-bit palette gives 48-bit colour from the tables' words.
  B b = image("PALETTE COLOR", 16, 16);
  b.Element(0x0028, 0x1201, "OW", Samples16({1, 2, 3}, false))
      .Element(0x0028, 0x1202, "OW", Samples16({4, 5, 6}, false))
      .Element(0x0028, 0x1203, "OW", Samples16({7, 8, 9}, false))
      .NativePixels(Samples16({0, 2, 60000}, false));
  auto r = ReadDcm(b.Bytes());
  ASSERT_TRUE(r->ok);
  ASSERT_EQ(r->bitmap.GetPixelFormat(), rv48RGB);
  const TRGB48 p = r->bitmap.GetPixels_rv48RGB(2, 0);
  EXPECT_EQ(p.r, 3);
  EXPECT_EQ(p.g, 6);
  EXPECT_EQ(p.b, 9);
}

TEST(Dicom, LosslessDecoderRestartIntervals) {
  const int w = 7, h = 5;
  std::vector<int> samples;
  for (int i = 0; i < w * h; ++i) samples.push_back((i * 37 + (i % 3) * 900) % 4096);
  for (int restart : {0, 3, 7, 10}) {
    SCOPED_TRACE(restart);
    const std::vector<uint8_t> jpeg = LosslessJpeg(w, h, 12, restart, samples);
    std::vector<uint16_t> out(size_t(w * h));
    auto s = StreamOf(jpeg);
    ASSERT_TRUE(DecodeLosslessJPEG(*s, out.data(), nullptr, int64_t(out.size()), nullptr, int64_t(jpeg.size())));
    for (int i = 0; i < w * h; ++i) ASSERT_EQ(out[size_t(i)], samples[size_t(i)]) << i;
    // The samples never overrun the destination.
    std::vector<uint16_t> small(5, 0xABCD);
    auto s2 = StreamOf(jpeg);
    ASSERT_TRUE(DecodeLosslessJPEG(*s2, small.data(), nullptr, 4, nullptr, int64_t(jpeg.size())));
    EXPECT_EQ(small[4], 0xABCD);
  }
  // A stream without SOF3 decodes nothing and succeeds; fewer than 32 bytes fail.
  std::vector<uint8_t> baseline = LosslessJpeg(w, h, 12, 0, samples);
  baseline[3] = 0xC1;
  auto s = StreamOf(baseline);
  std::vector<uint16_t> out(size_t(w * h), 7);
  EXPECT_TRUE(DecodeLosslessJPEG(*s, out.data(), nullptr, int64_t(out.size()), nullptr, int64_t(baseline.size())));
  EXPECT_EQ(out[0], 7);
  auto shortStream = StreamOf(std::vector<uint8_t>(baseline.begin(), baseline.begin() + 31));
  EXPECT_FALSE(DecodeLosslessJPEG(*shortStream, out.data(), nullptr, 1, nullptr, 31));
}

TEST(Dicom, PackBitsSegments) {
  // Literal, repeat and no-op headers; runs are cut at the count.
  const std::vector<uint8_t> data = {2, 1, 2, 3, 0xFE, 9, 0x80, 0xFD, 4, 0};
  struct Case {
    int64_t count;
    std::vector<uint8_t> expected;
    int64_t consumed;
  } cases[] = {{10, {1, 2, 3, 9, 9, 9, 4, 4, 4, 4}, 9}, {4, {1, 2, 3, 9}, 6}, {2, {1, 2}, 4}, {12, {1, 2, 3, 9, 9, 9, 4, 4, 4, 4, 0, 0}, 10}};
  for (const Case& c : cases) {
    std::vector<uint8_t> out(size_t(c.count), 0);
    auto s = StreamOf(data);
    EXPECT_EQ(DecodePackBitsSegment(*s, out.data(), c.count), c.consumed) << c.count;
    EXPECT_EQ(out, c.expected) << c.count;
    EXPECT_EQ(s->GetPosition(), c.consumed);
  }
}

TEST(Dicom, JPEG2000Frames) {
  TRVBitmap src;
  ASSERT_TRUE(src.Allocate(4, 2, rv24RGB));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) std::memset(src.GetScanLine(y) + 3 * x, 40 + 30 * x + y, 3);
  TIOParamsVals p;
  p.J2000_ColorSpace = 0;
  TMemoryStream s;
  TRVProgressRec progress;
  WriteJ2000Stream(s, src, p, progress, 1);
  ASSERT_FALSE(progress.IsAborting());
  auto r = ReadDcm(B(kJ2000, B::ExplicitLE).Image(2, 4, 1, 8, 8, "MONOCHROME1").EncapsulatedPixels({s.Data()}, false).Bytes());
  ASSERT_TRUE(r->ok);
  ASSERT_EQ(r->bitmap.GetPixelFormat(), rv24RGB);
  // Stretched from 40..131 to the full range, then inverted.
  EXPECT_EQ(PixelOf(r->bitmap, 0, 0).r, 255);
  EXPECT_EQ(PixelOf(r->bitmap, 3, 1).g, 0);
}

// A JPEG stream stored in the pixel data element without items is decoded after the data set.
TEST(Dicom, JpegWithoutItems) {
  TRVBitmap src;
  ASSERT_TRUE(src.Allocate(16, 8, rv24RGB));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) std::memset(src.GetScanLine(y) + 3 * x, 30 + x * 10, 3);
  TIOParamsVals p;
  p.JPEG_Quality = 100;
  p.JPEG_ColorSpace = 1;
  TMemoryStream jpeg;
  TRVProgressRec progress;
  WriteJpegStream(jpeg, src, p, progress);
  const std::vector<uint8_t> data = jpeg.Data();
  ASSERT_EQ(data[3], 0xE0);
  auto r = ReadDcm(B("1.2.840.10008.1.2.4.50", B::ExplicitLE)
                       .Image(8, 16, 1, 8, 8, "MONOCHROME2")
                       .Element(0x7FE0, 0x0010, "OB", data)
                       .Text(0x0010, 0x0010, "PN", "After^Pixels")
                       .Bytes());
  ASSERT_TRUE(r->ok);
  ASSERT_EQ(r->bitmap.GetPixelFormat(), rv8g);
  EXPECT_LT(Grey8(r->bitmap, 0, 3), 8);     // stretched: the darkest column black
  EXPECT_GT(Grey8(r->bitmap, 15, 3), 247);  // and the brightest white
  EXPECT_EQ(r->params.DICOM_Tags.Tag(r->params.DICOM_Tags.Count() - 1).Group, 0x0010);
}

// Reads into a bitmap that already holds a 2 x 2 picture, for the reads that must leave it alone.
std::unique_ptr<Read> ReadOver(const std::vector<uint8_t>& data, bool paramsOnly = false) {
  auto r = std::make_unique<Read>();
  FillTestBitmap(r->bitmap, 2, 2);
  auto s = StreamOf(data);
  TRVProgressRec progress;
  ReadDICOMStream(*s, r->params, r->bitmap, progress, paramsOnly);
  r->ok = !progress.IsAborting();
  return r;
}

void ExpectUntouched(TRVBitmap& b) {
  ASSERT_EQ(b.GetWidth(), 2);
  ASSERT_EQ(b.GetPixelFormat(), rv24RGB);
  ExpectPicture(b, 2, 2, false, "the bitmap given");
}

// Files without pixel data, and pixel data that no decoder here covers, are failures that leave
// the caller's bitmap as it was; reading only the parameters fails only without pixel data.
TEST(Dicom, UndecodedPixelDataFails) {
  auto planes = [](int count) { return std::vector<std::vector<uint8_t>>(size_t(count), std::vector<uint8_t>(6, 9)); };
  const std::vector<uint8_t> dataSet = B(kExplicitLE, B::ExplicitLE).Image(2, 3, 1, 8, 8, "MONOCHROME2").NativePixels({1, 2, 3, 4, 5, 6}).Bytes();
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    bool paramsRead;
  } cases[] = {
      {"no pixel data", B(kExplicitLE, B::ExplicitLE).Text(0x0010, 0x0010, "PN", "No^Image").Image(2, 3, 1, 8, 8, "MONOCHROME2").Bytes(), false},
      {"32-bit grey", B(kExplicitLE, B::ExplicitLE).Image(2, 3, 1, 32, 32, "MONOCHROME2").NativePixels(std::vector<uint8_t>(24, 3)).Bytes(), true},
      {"16-bit RGB", B(kExplicitLE, B::ExplicitLE).Image(2, 3, 3, 16, 16, "RGB").NativePixels(std::vector<uint8_t>(36, 3)).Bytes(), true},
      {"16-bit RGB, run-length", B(kRLE, B::ExplicitLE).Image(2, 3, 3, 16, 16, "RGB").EncapsulatedPixels({RLEFrame(planes(6))}, false).Bytes(), true},
      {"32-bit RGB, run-length", B(kRLE, B::ExplicitLE).Image(2, 3, 3, 32, 32, "RGB").EncapsulatedPixels({RLEFrame(planes(12))}, false).Bytes(), true},
      {"32-bit grey, run-length", B(kRLE, B::ExplicitLE).Image(2, 3, 1, 32, 32, "MONOCHROME2").EncapsulatedPixels({RLEFrame(planes(4))}, false).Bytes(), true},
      {"no rows", B(kExplicitLE, B::ExplicitLE).Image(0, 3, 1, 8, 8, "MONOCHROME2").NativePixels({1, 2}).Bytes(), true},
      {"fragments of a compression without a decoder here",
       B("1.2.840.10008.1.2.4.80", B::ExplicitLE).Image(2, 3, 1, 8, 8, "MONOCHROME2").EncapsulatedPixels({{0xFF, 0xD8, 0xFF, 0xF7, 1, 2}}, false).Bytes(), true},
      // The data set after the meta group is deflated: not parsed, even when it would parse.
      {"deflated data set", [&] {
         std::vector<uint8_t> f = B("1.2.840.10008.1.2.1.99", B::ExplicitLE).Bytes();
         Append(f, std::vector<uint8_t>(dataSet.begin() + 132 + 8 + 20, dataSet.end()));
         return f;
       }(), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto r = ReadOver(c.file);
    EXPECT_FALSE(r->ok);
    ExpectUntouched(r->bitmap);
    r = ReadOver(c.file, true);
    EXPECT_EQ(r->ok, c.paramsRead);
    ExpectUntouched(r->bitmap);
  }
  // A decoder that fails half-way leaves the bitmap as it was too.
  std::vector<uint8_t> cut = B(kExplicitLE, B::ExplicitLE).Image(2, 3, 1, 16, 16, "MONOCHROME2").NativePixels(std::vector<uint8_t>(12, 1)).Bytes();
  cut.resize(cut.size() - 3);
  auto r = ReadOver(cut);
  EXPECT_FALSE(r->ok);
  ExpectUntouched(r->bitmap);
  // The sound file beside them reads.
  r = ReadOver(dataSet);
  ASSERT_TRUE(r->ok);
  EXPECT_EQ(r->bitmap.GetWidth(), 3);
}

// ---------------------------------------------------------------- dcmtk's files

bool HaveDcmtk() {
  static const bool have = std::filesystem::exists("/usr/bin/dcmconv") && std::filesystem::exists("/usr/bin/dcmcjpeg") &&
                           std::filesystem::exists("/usr/bin/dcmcrle") && std::filesystem::exists("/usr/bin/dcmdump");
  return have;
}

// pydicom (Debian's python3-pydicom) for the system's Python, and a snippet that defines
// make(path, rows, columns, samples, bits, photometric, data, planar=0, signed=0, extra={}): a
// native explicit little-endian file of `data` (bytes; None for a file without pixel data), with
// `extra` attributes by keyword.
bool HavePydicom() {
  static const bool have = RunCommand("/usr/bin/python3 -c 'import pydicom, numpy' >/dev/null 2>&1");
  return have;
}

const char* const kPyDicomMake = R"(
from pydicom.dataset import FileDataset, FileMetaDataset
from pydicom.uid import ExplicitVRLittleEndian
def make(path, rows, columns, samples, bits, photometric, data, planar=0, signed=0, extra={}):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = "1.2.840.10008.5.1.4.1.1.7"
    meta.MediaStorageSOPInstanceUID = "1.2.3.4.5"
    meta.TransferSyntaxUID = ExplicitVRLittleEndian
    ds = FileDataset(path, {}, file_meta=meta, preamble=b"\0" * 128)
    ds.is_little_endian = True
    ds.is_implicit_VR = False
    ds.SOPClassUID = meta.MediaStorageSOPClassUID
    ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
    ds.PatientName = "Test^Patient"
    if rows:
        ds.Rows, ds.Columns, ds.SamplesPerPixel = rows, columns, samples
        ds.PhotometricInterpretation = photometric
        if samples > 1:
            ds.PlanarConfiguration = planar
        ds.BitsAllocated, ds.BitsStored, ds.HighBit = bits, bits, bits - 1
        ds.PixelRepresentation = signed
    for k, v in extra.items():
        setattr(ds, k, v)
    if data is not None:
        ds.PixelData = data
    ds.save_as(path, write_like_original=False)
)";

// The tags of a file as dcmdump lists them: group, element and representation, in file order,
// without the items and delimiters.
std::vector<std::string> DcmdumpTags(const std::string& path, TempDir& dir) {
  const std::string out = dir.File("dump.txt");
  EXPECT_TRUE(RunCommand("dcmdump -q " + path + " > " + out));
  std::vector<std::string> tags;
  std::ifstream f(out);
  for (std::string line; std::getline(f, line);) {
    const size_t at = line.find('(');
    if (at == std::string::npos || line.size() < at + 14 || line[at + 5] != ',') continue;
    std::string tag = line.substr(at, 14);
    for (char& ch : tag) ch = char(std::toupper(static_cast<unsigned char>(ch)));
    if (tag.rfind("(FFFE", 0) == 0 || tag.rfind("(7FE0,0010)", 0) == 0) continue;
    tags.push_back(tag);
  }
  return tags;
}

// Our tag list in dcmdump's form, without the items and delimiters.
std::vector<std::string> ListedTags(const TRVDICOMTags& tags) {
  std::vector<std::string> listed;
  for (int32_t i = 0; i < tags.Count(); ++i) {
    const auto& t = tags.Tag(i);
    if (t.Group == 0xFFFE) continue;
    char text[16];
    std::snprintf(text, sizeof text, "(%04X,%04X) %c%c", t.Group, t.Element, t.VR[0], t.VR[1]);
    listed.push_back(text);
  }
  return listed;
}

TEST(DicomTools, DcmtkTransferSyntaxesReadAlike) {
  if (!HaveDcmtk()) GTEST_SKIP() << "dcmtk (dcmconv, dcmcjpeg, dcmcrle, dcmdump) is not installed";
  TempDir dir;
  const int w = 37, h = 23;
  // A 12-bit grey picture in 16-bit samples, and an 8-bit RGB one, as our native files.
  std::vector<uint16_t> grey;
  std::vector<uint8_t> rgb;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      grey.push_back(uint16_t((x * 97 + y * 211 + (x * y) % 50) % 4096));
      const Rgba p = TestPixel(x, y);
      rgb.insert(rgb.end(), {p.r, p.g, p.b});
    }
  auto base = [](const char* syntax) {
    B b(syntax, B::ExplicitLE);
    b.Text(0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.7").Text(0x0008, 0x0018, "UI", "1.2.3.4.5")
        .Text(0x0010, 0x0010, "PN", "Test^Patient");
    return b;
  };
  WriteFileBytes(dir.File("grey.dcm"), base(kExplicitLE).Image(h, w, 1, 16, 12, "MONOCHROME2").NativePixels(Samples16(grey, false)).Bytes());
  WriteFileBytes(dir.File("rgb.dcm"), base(kExplicitLE).Image(h, w, 3, 8, 8, "RGB").NativePixels(rgb).Bytes());
  auto reference = ReadDcm(ReadFileBytes(dir.File("grey.dcm")));
  ASSERT_TRUE(reference->ok);
  auto rgbReference = ReadDcm(ReadFileBytes(dir.File("rgb.dcm")));
  ASSERT_TRUE(rgbReference->ok);

  struct Case {
    const char* source;
    const char* command;  // with IN and OUT
    const char* out;
  } cases[] = {
      {"grey.dcm", "dcmconv +ti IN OUT", "implicit.dcm"},
      {"grey.dcm", "dcmconv +tb IN OUT", "bigendian.dcm"},
      {"grey.dcm", "dcmcjpeg +e1 IN OUT", "sv1.dcm"},
      {"grey.dcm", "dcmcjpeg +el +sv 1 IN OUT", "p1.dcm"},
      {"grey.dcm", "dcmcjpeg +el +sv 2 IN OUT", "p2.dcm"},
      {"grey.dcm", "dcmcjpeg +el +sv 3 IN OUT", "p3.dcm"},
      {"grey.dcm", "dcmcjpeg +el +sv 4 IN OUT", "p4.dcm"},
      {"grey.dcm", "dcmcjpeg +el +sv 5 IN OUT", "p5.dcm"},
      {"grey.dcm", "dcmcjpeg +el +sv 6 IN OUT", "p6.dcm"},
      {"grey.dcm", "dcmcjpeg +el +sv 7 IN OUT", "p7.dcm"},
      {"p6.dcm", "dcmdjpeg IN OUT", "decoded.dcm"},
      {"grey.dcm", "dcmcrle IN OUT", "rle.dcm"},
      {"rgb.dcm", "dcmcjpeg +el +sv 4 IN OUT", "rgb-lossless.dcm"},
      {"rgb.dcm", "dcmcrle IN OUT", "rgb-rle.dcm"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.out);
    std::string command = c.command;
    command.replace(command.find("IN"), 2, dir.File(c.source));
    command.replace(command.find("OUT"), 3, dir.File(c.out));
    ASSERT_TRUE(RunCommand(command + " >/dev/null 2>&1"));
    auto r = ReadDcm(ReadFileBytes(dir.File(c.out)));
    ASSERT_TRUE(r->ok);
    Read& ref = std::string(c.source).rfind("rgb", 0) == 0 ? *rgbReference : *reference;
    ASSERT_EQ(r->bitmap.GetPixelFormat(), ref.bitmap.GetPixelFormat());
    EXPECT_EQ(r->params.BitsPerSample, ref.params.BitsPerSample);
    const size_t rowBytes = size_t(w) * size_t(kRVBitCount[ref.bitmap.GetPixelFormat()] / 8);
    for (int y = 0; y < h; ++y)
      ASSERT_EQ(std::memcmp(r->bitmap.GetScanLine(y), ref.bitmap.GetScanLine(y), rowBytes), 0) << "row " << y;
    // dcmdump lists the same elements in the same order.
    EXPECT_EQ(ListedTags(r->params.DICOM_Tags), DcmdumpTags(dir.File(c.out), dir));
  }

  // MONOCHROME1 (dcmodify) inverts; a baseline JPEG (8 bits) stays near the source.
  ASSERT_TRUE(RunCommand("cp " + dir.File("grey.dcm") + " " + dir.File("mono1.dcm") + " && dcmodify -nb -m \"(0028,0004)=MONOCHROME1\" " +
                         dir.File("mono1.dcm") + " >/dev/null 2>&1"));
  auto inverted = ReadDcm(ReadFileBytes(dir.File("mono1.dcm")));
  ASSERT_TRUE(inverted->ok);
  EXPECT_EQ(Grey16(inverted->bitmap, 5, 3), 65535 - Grey16(reference->bitmap, 5, 3));
  ASSERT_TRUE(RunCommand("dcmcjpeg +eb " + dir.File("rgb.dcm") + " " + dir.File("baseline.dcm") + " >/dev/null 2>&1"));
  auto baseline = ReadDcm(ReadFileBytes(dir.File("baseline.dcm")));
  ASSERT_TRUE(baseline->ok);
  ASSERT_EQ(baseline->bitmap.GetPixelFormat(), rv24RGB);
  int total = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) total += std::abs(PixelOf(baseline->bitmap, x, y).g - TestPixel(x, y).g);
  EXPECT_LT(total / (w * h), 12);  // the test picture is noisy; JPEG keeps its shape
}

// Files of pydicom and dcmtk whose pixel data no decoder here covers (16- and 32-bit RGB in
// run-length segments, a 32-bit dose grid, a deflated data set) or that hold no picture fail and
// leave the bitmap as it was; the 8-bit RGB file they were made from reads, in every encoding.
TEST(DicomTools, UndecodedFilesOfTheToolsFail) {
  if (!HaveDcmtk() || !HavePydicom()) GTEST_SKIP() << "dcmtk or pydicom (python3-pydicom) is not installed";
  TempDir dir;
  ASSERT_TRUE(RunPython(std::string(kPyDicomMake) + "import numpy as np\n"
                        "d = '" + dir.File("") + "'\n"
                        "rgb = np.arange(7 * 5 * 3, dtype=np.uint32).reshape(5, 7, 3) * 2\n"
                        "make(d + 'rgb8.dcm', 5, 7, 3, 8, 'RGB', rgb.astype(np.uint8).tobytes())\n"
                        "make(d + 'rgb16.dcm', 5, 7, 3, 16, 'RGB', (rgb * 300).astype('<u2').tobytes())\n"
                        "make(d + 'rgb32.dcm', 5, 7, 3, 32, 'RGB', (rgb * 70000).astype('<u4').tobytes())\n"
                        "make(d + 'dose.dcm', 5, 7, 1, 32, 'MONOCHROME2', (rgb[:, :, 0] * 90000).astype('<u4').tobytes(),\n"
                        "     extra={'DoseGridScaling': '0.0001', 'DoseUnits': 'GY', 'Modality': 'RTDOSE'})\n"
                        "make(d + 'structures.dcm', 0, 0, 0, 0, '', None, extra={'Modality': 'RTSTRUCT'})\n"));
  for (const char* name : {"rgb8", "rgb16", "rgb32", "dose"})
    ASSERT_TRUE(RunCommand("dcmcrle " + dir.File(std::string(name) + ".dcm") + " " + dir.File(std::string(name) + "-rle.dcm") + " >/dev/null 2>&1")) << name;
  ASSERT_TRUE(RunCommand("dcmconv +td " + dir.File("rgb8.dcm") + " " + dir.File("deflated.dcm") + " >/dev/null 2>&1"));
  struct Case {
    const char* file;
    bool reads, paramsRead;
  } cases[] = {
      {"rgb8.dcm", true, true},   {"rgb8-rle.dcm", true, true},   {"rgb16.dcm", false, true},
      {"rgb16-rle.dcm", false, true}, {"rgb32.dcm", false, true}, {"rgb32-rle.dcm", false, true},
      {"dose.dcm", false, true},  {"dose-rle.dcm", false, true},  {"deflated.dcm", false, false},
      {"structures.dcm", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::vector<uint8_t> file = ReadFileBytes(dir.File(c.file));
    ASSERT_FALSE(file.empty());
    auto r = ReadOver(file);
    EXPECT_EQ(r->ok, c.reads);
    if (c.reads) {
      EXPECT_EQ(r->bitmap.GetWidth(), 7);
    } else {
      ExpectUntouched(r->bitmap);
    }
    r = ReadOver(file, true);
    EXPECT_EQ(r->ok, c.paramsRead);
    ExpectUntouched(r->bitmap);
    if (c.paramsRead) {
      EXPECT_EQ(r->params.Width, 7);
    }
  }
}

// A big-endian data set stores 8-bit samples of an OW element as 16-bit words, so each pair of
// bytes comes swapped (OB values stay in order), and the low byte of a 16-bit sample comes second.
// dcmtk's big-endian copies read as the little-endian files they were made from.
TEST(DicomTools, BigEndianEightBitSamples) {
  if (!HaveDcmtk()) GTEST_SKIP() << "dcmtk is not installed";
  TempDir dir;
  const int w = 7, h = 5;
  std::vector<uint8_t> rgb, grey, grey16;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Rgba p = TestPixel(x, y);
      rgb.insert(rgb.end(), {p.r, p.g, p.b});
      grey.push_back(p.g);
      grey16.insert(grey16.end(), {p.g, 0});
    }
  std::vector<uint8_t> planar;
  for (int k = 0; k < 3; ++k)
    for (size_t i = 0; i < size_t(w * h); ++i) planar.push_back(rgb[i * 3 + size_t(k)]);
  auto file = [&](int samples, int bits, int stored, const char* photometric, const char* vr,
                  const std::vector<uint8_t>& pixels, int planarConfiguration = 0) {
    B b(kExplicitLE, B::ExplicitLE);
    b.US(0x0028, 0x0002, uint16_t(samples)).Text(0x0028, 0x0004, "CS", photometric);
    if (samples > 1) b.US(0x0028, 0x0006, uint16_t(planarConfiguration));
    b.US(0x0028, 0x0010, h).US(0x0028, 0x0011, w).US(0x0028, 0x0100, uint16_t(bits)).US(0x0028, 0x0101, uint16_t(stored));
    return b.Element(0x7FE0, 0x0010, vr, pixels).Bytes();
  };
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
  } cases[] = {
      {"RGB, OW", file(3, 8, 8, "RGB", "OW", rgb)},
      {"RGB, OB", file(3, 8, 8, "RGB", "OB", rgb)},
      {"planar RGB, OW", file(3, 8, 8, "RGB", "OW", planar, 1)},
      {"grey, OW", file(1, 8, 8, "MONOCHROME2", "OW", grey)},
      {"grey 8 of 16 bits", file(1, 16, 8, "MONOCHROME2", "OW", grey16)},
      {"palette, OW", [&] {
         B b(kExplicitLE, B::ExplicitLE);
         b.Image(h, w, 1, 8, 8, "PALETTE COLOR");
         std::vector<uint16_t> red, green, blue;
         for (int i = 0; i < 256; ++i) {
           red.push_back(uint16_t(i * 257));
           green.push_back(uint16_t((255 - i) * 257));
           blue.push_back(uint16_t((i * 5 % 256) * 257));
         }
         b.Element(0x0028, 0x1201, "OW", Samples16(red, false)).Element(0x0028, 0x1202, "OW", Samples16(green, false))
             .Element(0x0028, 0x1203, "OW", Samples16(blue, false));
         return b.Element(0x7FE0, 0x0010, "OW", grey).Bytes();
       }()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileBytes(dir.File("le.dcm"), c.file);
    ASSERT_TRUE(RunCommand("dcmconv +tb " + dir.File("le.dcm") + " " + dir.File("be.dcm") + " >/dev/null 2>&1"));
    auto little = ReadDcm(c.file), big = ReadDcm(ReadFileBytes(dir.File("be.dcm")));
    ASSERT_TRUE(little->ok && big->ok);
    ASSERT_EQ(big->bitmap.GetPixelFormat(), little->bitmap.GetPixelFormat());
    const size_t rowBytes = size_t(w) * size_t(kRVBitCount[little->bitmap.GetPixelFormat()] / 8);
    for (int y = 0; y < h; ++y)
      ASSERT_EQ(std::memcmp(big->bitmap.GetScanLine(y), little->bitmap.GetScanLine(y), rowBytes), 0) << "row " << y;
    // And the little-endian file holds the samples written.
    const Rgba p = PixelOf(little->bitmap, 5, 3), e = TestPixel(5, 3);
    if (little->bitmap.GetPixelFormat() == rv8g) {
      EXPECT_EQ(p.r, e.g);
    } else if (std::string(c.what).rfind("palette", 0) == 0) {
      EXPECT_TRUE(p.r == e.g && p.g == 255 - e.g);
    } else {
      EXPECT_TRUE(p.r == e.r && p.g == e.g && p.b == e.b);
    }
  }
}

// The JPEG stream of a file with one fragment, without the Adobe marker and with components
// numbered 1, 2, 3: what encoders that mark neither RGB nor YCbCr write. Such a stream of three
// components reads as YCbCr unless its container says otherwise.
std::vector<uint8_t> UnmarkedJpeg(const std::vector<uint8_t>& file) {
  auto find = [](const std::vector<uint8_t>& v, std::initializer_list<uint8_t> what, size_t from = 0) {
    return size_t(std::search(v.begin() + long(from), v.end(), what.begin(), what.end()) - v.begin());
  };
  const size_t start = find(file, {0xFF, 0xD8}), end = find(file, {0xFF, 0xD9}, start);
  if (end >= file.size()) return {};
  std::vector<uint8_t> j(file.begin() + long(start), file.begin() + long(end) + 2);
  const size_t adobe = find(j, {0xFF, 0xEE});
  if (adobe < j.size()) j.erase(j.begin() + long(adobe), j.begin() + long(adobe + 2 + size_t(j[adobe + 2] << 8 | j[adobe + 3])));
  const size_t sof = find(j, {0xFF, 0xC0}), sos = find(j, {0xFF, 0xDA});
  if (sof + 19 > j.size() || sos + 11 > j.size()) return {};
  for (size_t c = 0; c < 3; ++c) {
    j[sof + 10 + 3 * c] = uint8_t(c + 1);
    j[sos + 5 + 2 * c] = uint8_t(c + 1);
  }
  return j;
}

// RGB compressed as baseline JPEG without a colour transform (photometric RGB) is taken as it
// stands, as dcmtk and pydicom do, also when the stream carries no marker that says so; YCbCr
// data (dcmtk's default) are converted as before.
TEST(DicomTools, BaselineJpegRgbWithoutColourTransform) {
  if (!HaveDcmtk()) GTEST_SKIP() << "dcmtk is not installed";
  TempDir dir;
  const int w = 40, h = 24;
  std::vector<uint8_t> rgb;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) rgb.insert(rgb.end(), {uint8_t(x * 6), uint8_t(200 - y * 8), uint8_t((x + y) * 3)});
  WriteFileBytes(dir.File("rgb.dcm"), B(kExplicitLE, B::ExplicitLE).Image(h, w, 3, 8, 8, "RGB").NativePixels(rgb).Bytes());
  auto compress = [&](const char* colour) {
    EXPECT_TRUE(RunCommand(std::string("dcmcjpeg +eb +q 95 ") + colour + " " + dir.File("rgb.dcm") + " " + dir.File("jpeg.dcm") +
                           " >/dev/null 2>&1"));
    return ReadFileBytes(dir.File("jpeg.dcm"));
  };
  const std::vector<uint8_t> unmarked = UnmarkedJpeg(compress("+cr"));
  ASSERT_FALSE(unmarked.empty());
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
  } cases[] = {
      {"RGB, unmarked", B("1.2.840.10008.1.2.4.50", B::ExplicitLE).Image(h, w, 3, 8, 8, "RGB").EncapsulatedPixels({unmarked}, false).Bytes()},
      {"RGB, Adobe marker", compress("+cr")},
      {"YCbCr", compress("+cy")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileBytes(dir.File("jpeg.dcm"), c.file);
    // dcmtk's own decoding, back to native samples.
    ASSERT_TRUE(RunCommand("dcmdjpeg " + dir.File("jpeg.dcm") + " " + dir.File("decoded.dcm") + " >/dev/null 2>&1"));
    auto r = ReadDcm(c.file), ref = ReadDcm(ReadFileBytes(dir.File("decoded.dcm")));
    ASSERT_TRUE(r->ok && ref->ok);
    ASSERT_EQ(r->bitmap.GetPixelFormat(), rv24RGB);
    int worst = 0, total = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const Rgba a = PixelOf(r->bitmap, x, y), e = PixelOf(ref->bitmap, x, y);
        const uint8_t* s = rgb.data() + 3 * (y * w + x);
        worst = std::max({worst, std::abs(a.r - e.r), std::abs(a.g - e.g), std::abs(a.b - e.b)});
        total += std::abs(a.r - s[0]) + std::abs(a.g - s[1]) + std::abs(a.b - s[2]);
      }
    EXPECT_LE(worst, 2);
    EXPECT_LT(total / (w * h * 3), 4);
  }
}

// JPEG 2000 grey frames whose code stream declares another precision than Bits Stored (a 16-bit
// stream of 12-bit values, a 12-bit stream under Bits Stored 16), signed ones, and windowed ones
// read as the same samples stored natively.
TEST(DicomTools, JPEG2000GreyFramesReadAsTheirSamples) {
  if (!std::filesystem::exists("/usr/bin/opj_compress")) GTEST_SKIP() << "opj_compress is not installed";
  TempDir dir;
  const int w = 11, h = 6;
  std::vector<uint16_t> values;
  for (int i = 0; i < w * h; ++i) values.push_back(uint16_t((i * 173 + (i % 5) * 700) % 4096));
  // opj_compress reads raw big-endian samples of a given depth and signedness.
  auto codeStream = [&](int depth, bool isSigned, const std::vector<uint16_t>& v) {
    WriteFileBytes(dir.File("in.raw"), Samples16(v, true));
    EXPECT_TRUE(RunCommand("opj_compress -i " + dir.File("in.raw") + " -o " + dir.File("out.j2k") + " -F " + std::to_string(w) +
                           "," + std::to_string(h) + ",1," + std::to_string(depth) + (isSigned ? ",s" : ",u") +
                           " -n 2 >/dev/null 2>&1"));
    return ReadFileBytes(dir.File("out.j2k"));
  };
  std::vector<uint16_t> signedValues;
  for (uint16_t v : values) signedValues.push_back(uint16_t(int16_t(v) - 2048));
  struct Case {
    const char* what;
    int depth, stored, pixelRepresentation;
    const std::vector<uint16_t>& samples;
    const char* centre;
    const char* width;
  } cases[] = {
      {"16-bit stream, 12 bits stored", 16, 12, 0, values, nullptr, nullptr},
      {"12-bit stream, 16 bits stored", 12, 16, 0, values, nullptr, nullptr},
      {"12-bit stream, 12 bits stored, windowed", 12, 12, 0, values, "2000", "1500"},
      {"signed 16-bit stream, 16 bits stored", 16, 16, 1, signedValues, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto file = [&](const char* syntax) {
      B b(syntax, B::ExplicitLE);
      b.Image(h, w, 1, 16, c.stored, "MONOCHROME1", c.pixelRepresentation);
      if (c.centre) b.Text(0x0028, 0x1050, "DS", c.centre).Text(0x0028, 0x1051, "DS", c.width);
      return b;
    };
    auto j2k = ReadDcm(file(kJ2000).EncapsulatedPixels({codeStream(c.depth, c.pixelRepresentation == 1, c.samples)}, false).Bytes());
    auto native = ReadDcm(file(kExplicitLE).NativePixels(Samples16(c.samples, false)).Bytes());
    ASSERT_TRUE(j2k->ok && native->ok);
    ASSERT_EQ(j2k->bitmap.GetPixelFormat(), rv16g);
    ASSERT_EQ(native->bitmap.GetPixelFormat(), rv16g);
    for (int i = 0; i < w * h; ++i)
      ASSERT_EQ(Grey16(j2k->bitmap, i % w, i / w), Grey16(native->bitmap, i % w, i / w)) << "pixel " << i;
  }
}

// Files of the lossless-only JPEG 2000 syntax (pydicom around OpenJPEG's lossless code streams)
// read as the same samples stored natively, as the files of the general syntax do: grey 12-bit
// samples under a window, and RGB through the reversible colour transform.
TEST(DicomTools, JPEG2000LosslessOnlyFilesReadAsTheirSamples) {
  if (!std::filesystem::exists("/usr/bin/opj_compress") || !HavePydicom())
    GTEST_SKIP() << "opj_compress or pydicom (python3-pydicom) is not installed";
  TempDir dir;
  const int w = 13, h = 7;
  ASSERT_TRUE(RunPython(std::string(kPyDicomMake) + "import numpy as np, subprocess\n"
                        "from pydicom.encaps import encapsulate\n"
                        "d = '" + dir.File("") + "'\n"
                        "y, x = np.mgrid[0:" + std::to_string(h) + ", 0:" + std::to_string(w) + "]\n"
                        "grey = ((x * 311 + y * 97) % 4096).astype('>u2')\n"
                        "rgb = np.stack([x * 19 + y, y * 31, 255 - x * 7], axis=-1).astype(np.uint8)\n"
                        "def stream(name, planes, depth):\n"
                        "    open(d + name + '.raw', 'wb').write(planes.tobytes())\n"
                        "    subprocess.run(['opj_compress', '-i', d + name + '.raw', '-o', d + name + '.j2k', '-F',\n"
                        "                    '%d,%d,%d,%d,u' % (planes.shape[-1], planes.shape[-2], len(planes), depth), '-n', '2'],\n"
                        "                   check=True, capture_output=True)\n"
                        "    return open(d + name + '.j2k', 'rb').read()\n"
                        "def j2k(path, syntax, rows, columns, samples, bits, photometric, frame, stored, extra={}):\n"
                        "    make(path, rows, columns, samples, bits, photometric, None, extra=extra)\n"
                        "    import pydicom\n"
                        "    ds = pydicom.dcmread(path)\n"
                        "    ds.file_meta.TransferSyntaxUID = syntax\n"
                        "    ds.BitsStored, ds.HighBit = stored, stored - 1\n"
                        "    ds.PixelData = encapsulate([frame])\n"
                        "    ds['PixelData'].is_undefined_length = True\n"
                        "    ds['PixelData'].VR = 'OB'\n"
                        "    ds.save_as(path, write_like_original=False)\n"
                        "window = {'WindowCenter': '2000', 'WindowWidth': '3000'}\n"
                        "make(d + 'grey.dcm', " + std::to_string(h) + ", " + std::to_string(w) + ", 1, 16, 'MONOCHROME2',\n"
                        "     grey.astype('<u2').tobytes(), extra=window)\n"
                        "make(d + 'rgb.dcm', " + std::to_string(h) + ", " + std::to_string(w) + ", 3, 8, 'RGB', rgb.tobytes())\n"
                        "g, c = stream('grey', grey[np.newaxis], 12), stream('rgb', rgb.transpose(2, 0, 1), 8)\n"
                        "for syntax in ('90', '91'):\n"
                        "    j2k(d + 'grey-' + syntax + '.dcm', '1.2.840.10008.1.2.4.' + syntax, " + std::to_string(h) + ", " +
                        std::to_string(w) + ", 1, 16, 'MONOCHROME2', g, 12, window)\n"
                        "    j2k(d + 'rgb-' + syntax + '.dcm', '1.2.840.10008.1.2.4.' + syntax, " + std::to_string(h) + ", " +
                        std::to_string(w) + ", 3, 8, 'YBR_RCT', c, 8)\n"));
  auto native = ReadDcm(ReadFileBytes(dir.File("grey.dcm")));
  auto nativeRgb = ReadDcm(ReadFileBytes(dir.File("rgb.dcm")));
  ASSERT_TRUE(native->ok && nativeRgb->ok);
  for (const char* syntax : {"90", "91"}) {
    SCOPED_TRACE(syntax);
    auto grey = ReadDcm(ReadFileBytes(dir.File(std::string("grey-") + syntax + ".dcm")));
    ASSERT_TRUE(grey->ok);
    ASSERT_EQ(grey->bitmap.GetPixelFormat(), rv16g);
    for (int i = 0; i < w * h; ++i)
      ASSERT_EQ(Grey16(grey->bitmap, i % w, i / w), Grey16(native->bitmap, i % w, i / w)) << "pixel " << i;
    auto rgb = ReadDcm(ReadFileBytes(dir.File(std::string("rgb-") + syntax + ".dcm")));
    ASSERT_TRUE(rgb->ok);
    ASSERT_EQ(rgb->bitmap.GetPixelFormat(), rv24RGB);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const Rgba p = PixelOf(rgb->bitmap, x, y);
        ASSERT_TRUE(p.r == uint8_t(x * 19 + y) && p.g == uint8_t(y * 31) && p.b == uint8_t(255 - x * 7))
            << x << ", " << y;
      }
  }
}

TEST(DicomTools, Img2dcmBaselineJpeg) {
  if (!std::filesystem::exists("/usr/bin/img2dcm")) GTEST_SKIP() << "img2dcm (dcmtk) is not installed";
  TempDir dir;
  // A grey JPEG of a smooth ramp, wrapped by img2dcm without decoding.
  TRVBitmap src;
  ASSERT_TRUE(src.Allocate(32, 16, rv8g));
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32; ++x) src.GetScanLine(y)[x] = uint8_t(20 + x * 6);
  TIOParamsVals p;
  p.JPEG_Quality = 100;
  p.JPEG_ColorSpace = 1;  // one grey component
  TMemoryStream jpeg;
  TRVProgressRec progress;
  TRVBitmap grey24;
  grey24.Assign(&src);
  grey24.SetPixelFormat(rv24RGB);
  WriteJpegStream(jpeg, grey24, p, progress);
  WriteFileBytes(dir.File("in.jpg"), jpeg.Data());
  ASSERT_TRUE(RunCommand("img2dcm " + dir.File("in.jpg") + " " + dir.File("out.dcm") + " >/dev/null 2>&1"));
  auto r = ReadDcm(ReadFileBytes(dir.File("out.dcm")));
  ASSERT_TRUE(r->ok);
  EXPECT_EQ(r->params.Width, 32);
  ASSERT_FALSE(r->bitmap.IsEmpty());
  // Stretched: the darkest column black, the brightest white.
  EXPECT_LT(PixelOf(r->bitmap, 0, 5).r, 8);
  EXPECT_GT(PixelOf(r->bitmap, 31, 5).r, 247);
}

// dump2dcm builds files from a text dump and a raw pixel file, independently of our builder: 16-bit
// grey of three frames with a window, and palette colour. The pixels are the values written,
// windowed and stretched; dcmdump lists the same elements.
TEST(DicomTools, Dump2dcmFilesFromRawPixels) {
  if (!std::filesystem::exists("/usr/bin/dump2dcm")) GTEST_SKIP() << "dump2dcm (dcmtk) is not installed";
  TempDir dir;
  const int w = 5, h = 2;
  const std::string meta =
      "(0002,0010) UI =LittleEndianExplicit\n(0008,0016) UI =SecondaryCaptureImageStorage\n"
      "(0008,0018) UI [1.2.3.4]\n(0010,0010) PN [Raw^Pixels]\n";
  auto make = [&](const std::string& name, const std::string& dump, const std::vector<uint8_t>& pixels,
                  const std::string& vr = "OW") {
    WriteFileBytes(dir.File(name + ".raw"), pixels);
    const std::string text = meta + dump + "(7fe0,0010) " + vr + " =" + dir.File(name + ".raw") + "\n";
    WriteFileBytes(dir.File(name + ".txt"), std::vector<uint8_t>(text.begin(), text.end()));
    EXPECT_TRUE(RunCommand("dump2dcm +te " + dir.File(name + ".txt") + " " + dir.File(name + ".dcm") +
                           " >/dev/null 2>&1"));
    return dir.File(name + ".dcm");
  };

  // Frame k holds 100 + 1000 k + 37 i, unsigned up to 40,000 and more; a window of centre 1,150 and
  // width 101 over frame 1.
  std::vector<uint16_t> values;
  for (int k = 0; k < 3; ++k)
    for (int i = 0; i < w * h; ++i)
      values.push_back(uint16_t(k == 2 ? 40000 + 1000 * i : 100 + 1000 * k + 37 * i));
  const std::string grey =
      "(0028,0002) US 1\n(0028,0004) CS [MONOCHROME2]\n(0028,0008) IS [3]\n(0028,0010) US " +
      std::to_string(h) + "\n(0028,0011) US " + std::to_string(w) +
      "\n(0028,0100) US 16\n(0028,0101) US 16\n(0028,0102) US 15\n(0028,0103) US 0\n";
  const std::string plain = make("grey", grey, Samples16(values, false));
  const std::string windowed =
      make("window", grey + "(0028,1050) DS [1150]\n(0028,1051) DS [101]\n", Samples16(values, false));
  // The Part's window, then the stretch to the full range.
  auto expect = [&](int frame, bool window) {
    std::vector<double> v;
    for (int i = 0; i < w * h; ++i) {
      double s = values[size_t(frame * w * h + i)];
      if (window) {
        const double c = 1150, ww = 101, lower = std::trunc(c - 0.5 - (ww - 1) / 2),
                     upper = std::trunc(c - 0.5 + (ww - 1) / 2);
        s = s <= lower ? 0 : (s < upper ? std::trunc(((s - (c - 0.5)) / (ww - 1) + 0.5) * 65535) : 65535);
      }
      v.push_back(s);
    }
    const double lo = *std::min_element(v.begin(), v.end()), hi = *std::max_element(v.begin(), v.end());
    for (double& s : v) s = std::trunc((s - lo) / (hi - lo) * 65535);
    return v;
  };
  struct Case {
    std::string file;
    int32_t index, frame;
    bool window;
  } cases[] = {{plain, 0, 0, false}, {plain, 7, 2, false}, {windowed, 1, 1, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " index " + std::to_string(c.index));
    auto r = ReadDcm(ReadFileBytes(c.file), c.index);
    ASSERT_TRUE(r->ok);
    EXPECT_EQ(r->params.ImageIndex, c.frame);
    EXPECT_EQ(r->params.ImageCount, 3);
    ASSERT_EQ(r->bitmap.GetPixelFormat(), rv16g);
    const std::vector<double> e = expect(c.frame, c.window);
    for (int i = 0; i < w * h; ++i)
      EXPECT_NEAR(Grey16(r->bitmap, i % w, i / w), e[size_t(i)], 1) << "pixel " << i;
    EXPECT_EQ(ListedTags(r->params.DICOM_Tags), DcmdumpTags(c.file, dir));
  }

  // Palette colour: 8-bit indices through three 256-entry tables of 16-bit entries.
  std::vector<uint16_t> red, green, blue;
  for (int i = 0; i < 256; ++i) {
    red.push_back(uint16_t(i * 257));
    green.push_back(uint16_t((255 - i) * 257));
    blue.push_back(uint16_t(((i * 7) & 255) * 257));
  }
  auto lut = [&](const char* element, const std::vector<uint16_t>& table) {
    const std::string name = std::string("lut") + element;
    WriteFileBytes(dir.File(name), Samples16(table, false));
    return std::string("(0028,") + element + ") OW =" + dir.File(name) + "\n";
  };
  std::vector<uint8_t> indices;
  for (int i = 0; i < w * h; ++i) indices.push_back(uint8_t(i * 29));
  const std::string palette =
      make("palette",
           "(0028,0002) US 1\n(0028,0004) CS [PALETTE COLOR]\n(0028,0010) US " + std::to_string(h) +
               "\n(0028,0011) US " + std::to_string(w) +
               "\n(0028,0100) US 8\n(0028,0101) US 8\n(0028,0102) US 7\n(0028,0103) US 0\n"
               "(0028,1101) US 256\\0\\16\n(0028,1102) US 256\\0\\16\n(0028,1103) US 256\\0\\16\n" +
               lut("1201", red) + lut("1202", green) + lut("1203", blue),
           indices, "OB");
  auto r = ReadDcm(ReadFileBytes(palette));
  ASSERT_TRUE(r->ok);
  ASSERT_EQ(r->bitmap.GetPixelFormat(), rv24RGB);
  for (int i = 0; i < w * h; ++i) {
    const int k = indices[size_t(i)];
    const Rgba p = PixelOf(r->bitmap, i % w, i / w);
    EXPECT_TRUE(p.r == k && p.g == 255 - k && p.b == ((k * 7) & 255)) << "pixel " << i;
  }
  EXPECT_EQ(ListedTags(r->params.DICOM_Tags), DcmdumpTags(palette, dir));
}

// ---------------------------------------------------------------- damaged files

TEST(Dicom, DamagedFiles) {
  const std::vector<uint8_t> native16 = Samples16({1, 2, 3, 4, 5, 6}, false);
  std::vector<uint16_t> ramp;
  for (int i = 0; i < 35; ++i) ramp.push_back(uint16_t(i * 100));
  std::vector<int> rampInts(ramp.begin(), ramp.end());
  const std::vector<uint8_t> lossless = LosslessJpeg(7, 5, 12, 0, rampInts);
  auto losslessFile = [](const std::vector<uint8_t>& jpeg) {
    return B(kLossless, B::ExplicitLE).Image(5, 7, 1, 16, 12, "MONOCHROME2").EncapsulatedPixels({jpeg}, false).Bytes();
  };
  auto patched = [](std::vector<uint8_t> f, size_t at, std::vector<uint8_t> bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) f[at + i] = bytes[i];
    return f;
  };
  // Lossless variants: five tables, a table of 18 codes, more codes of a length than it has, no
  // scan, a second scan, a segment past the end.
  std::vector<uint8_t> fiveTables = lossless;
  {
    const std::vector<uint8_t> dht(lossless.begin() + 15, lossless.begin() + 15 + 38);
    for (int i = 0; i < 4; ++i) fiveTables.insert(fiveTables.begin() + 15, dht.begin(), dht.end());
  }
  std::vector<uint8_t> eighteen = patched(lossless, 15 + 4 + 1 + 4, {18});
  std::vector<uint8_t> oversubscribed = patched(lossless, 15 + 4 + 1 + 3, {17, 0});  // 17 codes of 4 bits
  std::vector<uint8_t> noScan(lossless.begin(), lossless.begin() + 53);
  noScan.insert(noScan.end(), 20, 0);
  std::vector<uint8_t> secondScan = lossless;
  secondScan.insert(secondScan.end() - 2, lossless.begin() + 53, lossless.begin() + 63);
  std::vector<uint8_t> pastEnd = patched(lossless, 15 + 2, {0x7F, 0xFF});

  std::vector<uint8_t> rle15(64, 0);
  rle15[0] = 15;
  for (int i = 0; i < 15; ++i) rle15[size_t(4 + 4 * i + 1)] = 0x40;  // offsets of 16,384
  rle15.resize(80, 0);

  const std::vector<uint8_t> good = B(kExplicitLE, B::ExplicitLE).Image(2, 3, 1, 16, 16, "MONOCHROME2").NativePixels(native16).Bytes();
  std::vector<uint8_t> noMagic = good;
  std::memcpy(noMagic.data() + 128, "DICX", 4);
  noMagic.resize(400, 0xEE);
  std::vector<uint8_t> hugeLength = good;
  hugeLength.insert(hugeLength.end() - 12 - 12, {0x10, 0x00, 0x10, 0x00, 'P', 'N', 0xFF, 0xFF});
  std::vector<uint8_t> undefinedEverywhere(140, 0);
  std::memcpy(undefinedEverywhere.data() + 128, "DICM", 4);
  for (int i = 0; i < 30; ++i) undefinedEverywhere.insert(undefinedEverywhere.end(), {0x08, 0, 0x05, 0, 'O', 'B', 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
  std::vector<uint8_t> offsetsTooLong = B(kRLE, B::ExplicitLE).Image(2, 2, 1, 8, 8, "MONOCHROME2", 0, 2).EncapsulatedPixels({RLEFrame({{1, 2, 3, 4}}), RLEFrame({{1, 2, 3, 4}})}, true).Bytes();
  {
    // The offset table's item claims 4 GB.
    const size_t at = offsetsTooLong.size() - 8 - 2 * (8 + 70) - 8 - 8 + 4;
    offsetsTooLong = patched(offsetsTooLong, at, {0xF0, 0xFF, 0xFF, 0xFF});
  }
  std::vector<uint8_t> lutHuge = B(kExplicitLE, B::ExplicitLE)
                                     .Image(1, 2, 1, 8, 8, "PALETTE COLOR")
                                     .Header(0x0028, 0x1101, "US", 6)
                                     .Element(0x0028, 0x1101, "US", {0, 0, 0, 0, 16, 0})
                                     .Element(0x0028, 0x1201, "OW", Samples16({1, 2}, false))
                                     .NativePixels({0, 255})
                                     .Bytes();

  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    int32_t index;
    bool aborts;
  } cases[] = {
      {"preamble without DICM and garbage", noMagic, 0, false},
      {"an element length past the end", hugeLength, 0, false},
      {"undefined lengths in odd places (no picture)", undefinedEverywhere, 0, true},
      {"65535 x 65535 with little data", B(kExplicitLE, B::ExplicitLE).Image(65535, 65535, 1, 16, 16, "MONOCHROME2").NativePixels(native16).Bytes(), 0, true},
      {"bits allocated 0", B(kExplicitLE, B::ExplicitLE).Image(2, 3, 1, 0, 0, "MONOCHROME2").NativePixels(native16).Bytes(), 0, true},
      {"bits allocated 64", B(kExplicitLE, B::ExplicitLE).Image(2, 3, 1, 64, 64, "MONOCHROME2").NativePixels(native16).Bytes(), 0, true},
      // Sizes whose products pass 64 bits: refused before anything is read or allocated.
      {"65535 columns, rows, samples and bits", B(kExplicitLE, B::ExplicitLE).Image(65535, 65535, 65535, 65535, 65535, "RGB").NativePixels(native16).Bytes(), 0, true},
      {"65535 everywhere, 2^31 frames, index 7", B(kExplicitLE, B::ExplicitLE).Image(65535, 65535, 65535, 65535, 65535, "RGB", 0, 2147483647).NativePixels(native16).Bytes(), 7, true},
      {"2^31 frames, index 7", B(kExplicitLE, B::ExplicitLE).Image(2, 3, 1, 16, 16, "MONOCHROME2", 0, 0).Text(0x0028, 0x0008, "IS", "2147483647").NativePixels(native16).Bytes(), 7, true},
      {"frames beyond 32 bits, index 7", B(kExplicitLE, B::ExplicitLE).Image(2, 3, 1, 16, 16, "MONOCHROME2").Text(0x0028, 0x0008, "IS", "2147483648").NativePixels(native16).Bytes(), 7, false},
      {"an offset table longer than the data", offsetsTooLong, 1, true},
      {"RLE: 15 segments past the frame", B(kRLE, B::ExplicitLE).Image(2, 2, 1, 8, 8, "MONOCHROME2").EncapsulatedPixels({rle15}, false).Bytes(), 0, true},
      {"RLE: a picture larger than its segments hold", B(kRLE, B::ExplicitLE).Image(4000, 4000, 1, 8, 8, "MONOCHROME2").EncapsulatedPixels({RLEFrame({{1, 2}})}, false).Bytes(), 0, true},
      {"lookup table descriptors of 2^20 entries", lutHuge, 0, false},
      {"lossless: five tables", losslessFile(fiveTables), 0, true},
      {"lossless: a table of 18 codes", losslessFile(eighteen), 0, true},
      {"lossless: more codes of a length than it has", losslessFile(oversubscribed), 0, true},
      {"lossless: no scan", losslessFile(noScan), 0, true},
      {"lossless: a second scan", losslessFile(secondScan), 0, true},
      {"lossless: a segment past the end", losslessFile(pastEnd), 0, true},
      {"lossless: a frame header of 65535 x 65535 samples", losslessFile(patched(lossless, 7, {0xFF, 0xFF, 0xFF, 0xFF})), 0, true},
      {"lossless: a picture larger than the data", B(kLossless, B::ExplicitLE).Image(5000, 5000, 1, 16, 12, "MONOCHROME2").EncapsulatedPixels({lossless}, false).Bytes(), 0, true},
      {"encapsulated: no item", B(kRLE, B::ExplicitLE).Image(2, 2, 1, 8, 8, "MONOCHROME2").EncapsulatedPixels({}, false).Bytes(), 1, true},
      {"MPEG-2", B("1.2.840.10008.1.2.4.100", B::ExplicitLE).Image(2, 2, 1, 8, 8, "MONOCHROME2").EncapsulatedPixels({{1, 2}}, false).Bytes(), 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto r = ReadDcm(c.file, c.index);
    EXPECT_EQ(!r->ok, c.aborts);
    EXPECT_TRUE(r->bitmap.IsEmpty() || r->bitmap.GetWidth() <= 4);
  }
  // Every prefix of a good file and of a lossless one, and mutated bytes: no crash, no hang.
  const std::vector<uint8_t> goodLossless = losslessFile(lossless);
  ASSERT_TRUE(ReadDcm(goodLossless)->ok);
  for (const auto* f : {&good, &goodLossless})
    for (size_t n = 0; n < f->size(); n += 3) ReadDcm(std::vector<uint8_t>(f->begin(), f->begin() + long(n)));
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> f = round % 2 ? goodLossless : offsetsTooLong;
    for (int k = 0; k < 3; ++k) f[random() % f.size()] = uint8_t(random());
    ReadDcm(f, round % 3);
  }
}

}  // namespace
}  // namespace rv
