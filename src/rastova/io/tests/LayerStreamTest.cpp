// The layer stream without a view: round trips in every image format, the format test, damaged
// streams, and files checked against an independent reader and writer.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "IoTestTools.h"
#include "common/tests/support/AllocationWatch.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RVLayerStream.h"

namespace rv {
namespace {

// The independent reader and writer beside this file.
const std::string kScript = (std::filesystem::path(__FILE__).parent_path() / "layers_file.py").string();

std::unique_ptr<TRVBitmap> MakeImage(int32_t w, int32_t h, bool alpha, uint32_t seed) {
  auto b = std::make_unique<TRVBitmap>(w, h, rv24RGB);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      b->SetPixels(x, y, (uint32_t(x * 7 + seed) & 255) << 16 | (uint32_t(y * 13) & 255) << 8 | uint32_t((x ^ y) & 255));
      if (alpha) b->AlphaBitmap()->SetPixels_rv8(x, y, uint8_t(x * 11 + y));
    }
  return b;
}

bool SameImage(TRVBitmap& a, TRVBitmap& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() || a.HasAlphaBitmap() != b.HasAlphaBitmap())
    return false;
  for (int32_t y = 0; y < a.GetHeight(); ++y)
    for (int32_t x = 0; x < a.GetWidth(); ++x) {
      const TRGB p = a.GetPixels(x, y), q = b.GetPixels(x, y);
      if (p.r != q.r || p.g != q.g || p.b != q.b) return false;
      if (a.HasAlphaBitmap() && a.AlphaBitmap()->GetPixels_rv8(x, y) != b.AlphaBitmap()->GetPixels_rv8(x, y))
        return false;
    }
  return true;
}

struct TwoLayers {
  TRVLayerProps p0, p1;
  std::unique_ptr<TRVBitmap> i0 = MakeImage(12, 9, false, 1), i1 = MakeImage(5, 4, true, 2);
  TwoLayers() {
    p1.Name = "Top";
    p1.PosX = 10;
    p1.PosY = -3;
    p1.Opacity = 128;
    p1.UserData = {1, 2, 3};
    p1.IsMask = false;
    p1.Selectable = false;
    p1.ShadeOutside = true;
    p1.MagnifierRate = 3.5;
    p1.DisplayWidth = 20;
    p1.DisplayHeight = 16;
    p1.UseResampleFilter = true;
    p1.ResampleFilter = 3;
  }
  std::vector<uint8_t> Write(int32_t format) {
    TMemoryStream s;
    WriteLayerStream(s, format, {{&p0, i0.get()}, {&p1, i1.get()}});
    return s.Data();
  }
};

TRVLayerStreamContent Read(const std::vector<uint8_t>& bytes, TLayerStreamRead expect = TLayerStreamRead::Ok) {
  TRVMemStream s(bytes.data(), int64_t(bytes.size()));
  TRVLayerStreamContent c;
  EXPECT_EQ(ReadLayerStream(s, c), expect);
  return c;
}

int32_t I32At(const std::vector<uint8_t>& b, size_t at) {
  int32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}
void PutI32(std::vector<uint8_t>& b, size_t at, int32_t v) { std::memcpy(b.data() + at, &v, 4); }

TEST(LayerStream, RoundTripsInEveryImageFormat) {
  // -1 and -2 keep every pixel and alpha value; PNG too for 24-bit images; TIFF is written as PNG.
  for (int32_t format : {kLayerImageZlib, kLayerImageRaw, int32_t(ioPNG), int32_t(ioTIFF)}) {
    SCOPED_TRACE(format);
    TwoLayers t;
    const std::vector<uint8_t> bytes = t.Write(format);
    EXPECT_EQ(I32At(bytes, 13), 6);
    EXPECT_EQ(I32At(bytes, 17), format == ioTIFF ? int32_t(ioPNG) : format);
    TRVLayerStreamContent c = Read(bytes);
    ASSERT_EQ(c.Layers.size(), 2u);
    EXPECT_TRUE(SameImage(*c.Layers[0].Image, *t.i0));
    EXPECT_TRUE(SameImage(*c.Layers[1].Image, *t.i1));
    const TRVLayerProps& p = c.Layers[1].Props;
    EXPECT_EQ(p.Name, "Top");
    EXPECT_EQ(p.PosX, 10);
    EXPECT_EQ(p.PosY, -3);
    EXPECT_EQ(p.Opacity, 128);
    EXPECT_EQ(p.UserData, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_FALSE(p.Selectable);
    EXPECT_TRUE(p.ShadeOutside);
    EXPECT_EQ(p.MagnifierRate, 3.5);
    EXPECT_EQ(p.DisplayWidth, 20);
    EXPECT_TRUE(p.UseResampleFilter);
    EXPECT_EQ(p.ResampleFilter, 3);
  }
}

TEST(LayerStream, OlderVersionsSkipNewerFieldsAndNoLayersIsValid) {
  // A version 2 record: fields 1-10, 12-14 and the slot; the newer fields keep their defaults.
  TwoLayers t;
  std::vector<uint8_t> v6 = t.Write(kLayerImageRaw);
  // Rebuild layer 1 alone as a version 2 stream by hand.
  std::vector<uint8_t> b(v6.begin(), v6.begin() + 25);
  PutI32(b, 13, 2);
  PutI32(b, 21, 1);
  const uint8_t rec[] = {1, 0, 77, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 64, 2, 7, 0, 0, 0, 0, 0, 0, 0, 0};
  b.insert(b.end(), rec, rec + sizeof rec);
  const size_t slot = b.size();
  b.resize(b.size() + 8);
  PutI32(b, slot, int32_t(b.size()));
  TMemoryStream img;
  WriteLayerRawImage(img, *t.i1, false);
  b.insert(b.end(), img.Data().begin(), img.Data().end());
  TRVLayerStreamContent c = Read(b);
  ASSERT_EQ(c.Layers.size(), 1u);
  const TRVLayerProps& p = c.Layers[0].Props;
  EXPECT_EQ(p.Opacity, 77);
  EXPECT_EQ(p.PosX, 4);
  EXPECT_EQ(p.PosY, 5);
  EXPECT_TRUE(p.ClipToImage);
  EXPECT_EQ(p.MagnifierRate, 2.0);
  EXPECT_EQ(p.Operation, 7);
  EXPECT_EQ(p.MagnifierSource, 1);
  EXPECT_TRUE(p.Selectable);
  EXPECT_TRUE(p.Name.empty());
  EXPECT_TRUE(SameImage(*c.Layers[0].Image, *t.i1));

  // No layers; versions above 6 read as 6; a version of 0 is refused by the test and the reader.
  std::vector<uint8_t> none(v6.begin(), v6.begin() + 25);
  PutI32(none, 21, 0);
  EXPECT_TRUE(Read(none).Layers.empty());
  std::vector<uint8_t> v9 = v6;
  PutI32(v9, 13, 9);
  EXPECT_EQ(Read(v9).Layers.size(), 2u);
  PutI32(none, 13, 0);
  Read(none, TLayerStreamRead::BadVersion);
  TRVMemStream s0(none.data(), int64_t(none.size()));
  EXPECT_FALSE(IsLayersStream(s0));
  none[0] = 'X';
  Read(none, TLayerStreamRead::NotLayers);
}

TEST(LayerStream, FormatTestRestoresThePosition) {
  TwoLayers t;
  TMemoryStream written;
  const uint8_t before[7] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  written.WriteBuffer(before, 7);
  WriteLayerStream(written, kLayerImageZlib, {{&t.p0, t.i0.get()}, {&t.p1, t.i1.get()}});
  const std::vector<uint8_t> bytes = written.Data();
  TRVMemStream s(bytes.data(), int64_t(bytes.size()));
  s.SetPosition(7);
  EXPECT_TRUE(IsLayersStream(s));
  EXPECT_EQ(s.GetPosition(), 7);
  s.SetPosition(0);
  EXPECT_FALSE(IsLayersStream(s));
  EXPECT_EQ(s.GetPosition(), 0);
  // A stream that starts inside a larger one keeps its images at absolute positions.
  s.SetPosition(7);
  TRVLayerStreamContent c;
  EXPECT_EQ(ReadLayerStream(s, c), TLayerStreamRead::Ok);
  EXPECT_TRUE(SameImage(*c.Layers[1].Image, *t.i1));
}

TEST(LayerStream, DamagedStreamsFailCleanly) {
  TwoLayers t;
  t.p0.Name.clear();  // layer 0's record: name length at 63, user data length at 67, slot at 74
  const std::vector<uint8_t> good = t.Write(kLayerImageZlib);
  const int32_t image0 = I32At(good, 74);
  std::vector<uint8_t> png = t.Write(ioPNG);
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
    bool usePng = false;
  };
  const Case cases[] = {
      {"truncated inside the header", [](auto& b) { b.resize(20); }},
      {"truncated inside a record", [](auto& b) { b.resize(40); }},
      {"truncated inside the slot table", [](auto& b) { b.resize(78); }},
      {"truncated inside an image", [](auto& b) { b.resize(b.size() - 5); }},
      {"negative layer count", [](auto& b) { PutI32(b, 21, -1); }},
      {"huge layer count", [](auto& b) { PutI32(b, 21, 0x7FFFFFFF); }},
      {"name past the end", [](auto& b) { PutI32(b, 63, 0x7FFFFFF0); }},
      {"negative name length", [](auto& b) { PutI32(b, 63, -5); }},
      {"user data past the end", [](auto& b) { PutI32(b, 67, 0x7FFFFFF0); }},
      {"image before the header", [](auto& b) { PutI32(b, 74, 3); }},
      {"image past the end", [](auto& b) { PutI32(b, 74, int32_t(b.size()) + 10); }},
      {"image above 4 GiB", [](auto& b) { PutI32(b, 78, 1); }},
      {"image count past the end", [=](auto& b) { PutI32(b, size_t(image0), 0x7FFFFF00); }},
      {"image that does not inflate", [=](auto& b) { std::memset(b.data() + image0 + 4, 0x5A, 16); }},
      {"image that is not a raw bitmap", [=](auto& b) { std::memset(b.data() + image0 + 6, 0, 4); }},
      {"format 8 image that is not a PNG",
       [](auto& b) {
         const int32_t at = I32At(b, 74);
         std::memset(b.data() + at, 0x33, 24);
       },
       true},
      {"an image format of the view's own", [](auto& b) { PutI32(b, 17, ioLYR); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> b = c.usePng ? png : good;
    c.damage(b);
    TRVMemStream s(b.data(), int64_t(b.size()));
    TRVLayerStreamContent content;
    EXPECT_THROW(ReadLayerStream(s, content), ERVLayerStreamError);
  }
}

// A version 6 record with an empty name and no user data, its 8-byte slot included.
constexpr size_t kRecordSize = 57;
size_t SlotOf(size_t record) { return 25 + kRecordSize * record + kRecordSize - 8; }

// A stream of `records` layers of display size `displayW` x `displayH`, record i naming image
// `imageOf(i)`; the images follow the records in the raw format, deflated or stored.
std::vector<uint8_t> Handmade(const std::vector<TRVBitmap*>& images, size_t records, bool deflated,
                              const std::function<size_t(size_t)>& imageOf, int32_t displayW = 0,
                              int32_t displayH = 0) {
  std::vector<TRVLayerProps> props(records);
  TRVBitmap placeholder(1, 1, rv8g);
  std::vector<TRVLayerToWrite> layers;
  for (TRVLayerProps& p : props) {
    p.DisplayWidth = displayW;
    p.DisplayHeight = displayH;
    layers.push_back({&p, &placeholder});
  }
  TMemoryStream s;
  WriteLayerStream(s, deflated ? kLayerImageZlib : kLayerImageRaw, layers);
  std::vector<uint8_t> b = s.Data();
  b.resize(25 + kRecordSize * records);
  std::vector<int32_t> positions;
  for (TRVBitmap* image : images) {
    positions.push_back(int32_t(b.size()));
    TMemoryStream one;
    WriteLayerRawImage(one, *image, deflated);
    b.insert(b.end(), one.Data().begin(), one.Data().end());
  }
  for (size_t i = 0; i < records; ++i) PutI32(b, SlotOf(i), positions[imageOf(i)]);
  return b;
}

TEST(LayerStream, EveryImageIsReadFromBytesOfItsOwn) {
  // Twenty layers naming one 1,024 x 1,024 image (1 MB, 1 KB deflated) would hold it twenty times:
  // refused before more than one copy is made.
  TRVBitmap big(1024, 1024, rv8g);
  big.Fill(0);
  const std::vector<uint8_t> shared = Handmade({&big}, 20, true, [](size_t) { return size_t(0); });
  ASSERT_LT(shared.size(), size_t(4096));
  const size_t total = test_support::TotalAllocationDuring([&] {
    TRVMemStream s(shared.data(), int64_t(shared.size()));
    TRVLayerStreamContent c;
    EXPECT_THROW(ReadLayerStream(s, c), ERVLayerStreamError);
  });
  EXPECT_LT(total, size_t(3) << 20);

  // An image whose byte count runs into the next image's bytes, and one that runs past them to
  // the end of the stream, are refused; the same images in bytes of their own are read.
  auto small = MakeImage(6, 5, false, 3), other = MakeImage(3, 2, true, 4);
  const auto own = [](size_t i) { return i; };
  for (bool deflated : {false, true}) {
    SCOPED_TRACE(deflated);
    std::vector<uint8_t> good = Handmade({small.get(), other.get()}, 2, deflated, own);
    EXPECT_EQ(Read(good).Layers.size(), 2u);
    const size_t image0 = size_t(I32At(good, SlotOf(0)));
    std::vector<uint8_t> into = good;
    PutI32(into, image0, I32At(good, image0) + 1);
    TRVMemStream s1(into.data(), int64_t(into.size()));
    TRVLayerStreamContent c;
    EXPECT_THROW(ReadLayerStream(s1, c), ERVLayerStreamError);
    std::vector<uint8_t> past = good;
    PutI32(past, image0, int32_t(good.size() - image0 - 4));
    TRVMemStream s2(past.data(), int64_t(past.size()));
    EXPECT_THROW(ReadLayerStream(s2, c), ERVLayerStreamError);
  }
}

TEST(LayerStream, DisplaySizesStretchTheImageAtMost256Times) {
  auto image = MakeImage(5, 4, false, 1);
  TRVBitmap square(200, 200, rv8g);
  square.Fill(0);
  struct Case {
    const char* what;
    TRVBitmap* image;
    int32_t w, h;
    bool read;
  } const cases[] = {
      {"none", image.get(), 0, 0, true},
      {"256 times on both sides", image.get(), 5 * 256, 4 * 256, true},
      {"one side only", image.get(), 0, 4 * 256, true},
      {"smaller than the image", image.get(), 1, 1, true},
      {"one pixel too wide", image.get(), 5 * 256 + 1, 0, false},
      {"one pixel too high", image.get(), 0, 4 * 256 + 1, false},
      {"2,000,000,000 wide", image.get(), 2000000000, 4, false},
      {"negative", image.get(), -5, 4, false},
      {"more pixels than any reader makes", &square, 200 * 240, 200 * 240, false},
      {"as many as a reader makes", &square, 46340, 46340, true},
  };
  const auto first = [](size_t) { return size_t(0); };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<uint8_t> b = Handmade({c.image}, 1, true, first, c.w, c.h);
    TRVMemStream s(b.data(), int64_t(b.size()));
    TRVLayerStreamContent content;
    if (c.read) {
      ASSERT_EQ(ReadLayerStream(s, content), TLayerStreamRead::Ok);
      EXPECT_EQ(content.Layers[0].Props.DisplayWidth, c.w);
      EXPECT_EQ(content.Layers[0].Props.DisplayHeight, c.h);
    } else {
      EXPECT_THROW(ReadLayerStream(s, content), ERVLayerStreamError);
    }
  }
}

TEST(LayerStream, IndependentReaderAndWriterAgree) {
  if (!iotest::HavePillow()) GTEST_SKIP() << "Pillow (python3-pil) is not installed";
  iotest::TempDir dir;
  // Ours read by the script: properties, raw images (zlib and stored) and PNG images.
  for (int32_t format : {kLayerImageZlib, kLayerImageRaw, int32_t(ioPNG)}) {
    SCOPED_TRACE(format);
    TwoLayers t;
    const std::string file = dir.File("ours.lyr");
    iotest::WriteFileBytes(file, t.Write(format));
    bool ok = false;
    const std::string out = iotest::RunCapture("/usr/bin/python3 " + kScript + " read " + file, ok);
    ASSERT_TRUE(ok) << out;
    EXPECT_NE(out.find("\"format\": " + std::to_string(format)), std::string::npos);
    EXPECT_NE(out.find("\"Name\": \"Top\""), std::string::npos);
    EXPECT_NE(out.find("\"PosX\": 10, \"PosY\": -3"), std::string::npos);
    EXPECT_NE(out.find("\"UserData\": [1, 2, 3]"), std::string::npos);
    EXPECT_NE(out.find("\"width\": 5, \"height\": 4"), std::string::npos);
    const TRGB first = t.i0->GetPixels(0, 0);
    const std::string rgb = "\"first\": [" + std::to_string(first.r) + ", " + std::to_string(first.g) + ", " +
                            std::to_string(first.b) + "]";
    EXPECT_NE(out.find(rgb), std::string::npos) << out;
  }
  // The script's file (PNG images made by Pillow) read by us.
  const std::string theirs = dir.File("theirs.lyr");
  ASSERT_EQ(std::system(("/usr/bin/python3 " + kScript + " write " + theirs).c_str()), 0);
  const std::vector<uint8_t> bytes = iotest::ReadFileBytes(theirs);
  TRVLayerStreamContent c = Read(bytes);
  ASSERT_EQ(c.Layers.size(), 2u);
  EXPECT_EQ(c.Layers[1].Props.Name, "Blue box");
  EXPECT_EQ(c.Layers[1].Props.PosX, 5);
  EXPECT_EQ(c.Layers[1].Image->GetWidth(), 10);
  const TRGB red = c.Layers[0].Image->GetPixels(3, 3);
  EXPECT_EQ((std::vector<int>{red.r, red.g, red.b}), (std::vector<int>{200, 10, 20}));
  EXPECT_EQ(FindFileFormat(theirs, false), GetFileFormatInfo(ioLYR) ? int32_t(ioLYR) : 0);
}

}  // namespace
}  // namespace rv
