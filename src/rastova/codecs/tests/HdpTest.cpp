// HD Photo through libjxr: files of libjxr's own tools read pixel for pixel, our files read by
// them and by exiftool, the pixel formats both ways, quality, and damaged files.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sstream>

#include "ExifTools.h"
#include "rastova/codecs/hdp/rvwic.h"
#include "rastova/core/RVTIFFHandler.h"

namespace rv {
namespace {

using namespace test;

bool HaveJxrTools() {
  return RunCommand("command -v JxrEncApp >/dev/null && command -v JxrDecApp >/dev/null");
}

std::vector<uint8_t> WriteHdp(TRVBitmap& b, TIOParamsVals& p, bool* ok = nullptr) {
  TMemoryStream s;
  TRVProgressRec progress;
  WriteHDPStream(s, b, p, progress);
  if (ok) *ok = !progress.IsAborting();
  return s.Data();
}

bool ReadHdp(const std::vector<uint8_t>& data, TRVBitmap& b, TIOParamsVals& p) {
  auto s = StreamOf(data);
  TRVProgressRec progress;
  ReadHDPStream(*s, b, p, progress, false);
  return !progress.IsAborting();
}

TEST(HdPhoto, FilesOfLibjxrsEncoderReadPixelForPixel) {
  if (!HaveJxrTools() || !HavePillow())
    GTEST_SKIP() << "JxrEncApp/JxrDecApp (libjxr-tools) or Pillow missing";
  TempDir dir;
  std::ostringstream script;
  script << kPyTestPixel << "from PIL import Image\nim = Image.new('RGB', (45, 29))\n"
         << "im.putdata([px(x, y)[:3] for y in range(29) for x in range(45)])\n"
         << "im.save('" << dir.File("in.bmp") << "')\nim.save('" << dir.File("in.tif") << "')\n";
  ASSERT_TRUE(RunPython(script.str()));
  for (const char* name : {"in.bmp", "in.tif"}) {
    SCOPED_TRACE(name);
    const std::string out = dir.File(std::string(name) + ".wdp");
    ASSERT_TRUE(RunCommand("JxrEncApp -i '" + dir.File(name) + "' -o '" + out + "' -q 1 >/dev/null 2>&1"));
    TRVBitmap b;
    TIOParamsVals p;
    ASSERT_TRUE(ReadHdp(ReadFileBytes(out), b, p));
    EXPECT_EQ(b.GetPixelFormat(), rv24RGB);
    ExpectPicture(b, 45, 29, false, name);
    EXPECT_EQ(p.Width, 45);
    EXPECT_EQ(p.SamplesPerPixel, 3);
    EXPECT_EQ(p.BitsPerSample, 8);
  }
}

TEST(HdPhoto, FormatsWithAlphaReadAsTheirColours) {
  // 32-bit BGRA and 64-bit RGBA, which libjxr cannot convert to 24-bit BGR itself: their colours
  // read as 24-bit with native formats and without.
  if (!HaveJxrTools() || !HavePillow() || !HaveMagick())
    GTEST_SKIP() << "JxrEncApp (libjxr-tools), Pillow or ImageMagick missing";
  TempDir dir;
  std::ostringstream script;
  script << kPyTestPixel << "from PIL import Image\nim = Image.new('RGBA', (37, 21))\n"
         << "im.putdata([px(x, y) for y in range(21) for x in range(37)])\n"
         << "im.save('" << dir.File("in.bmp") << "')\nim.save('" << dir.File("in.png") << "')\n";
  ASSERT_TRUE(RunPython(script.str()));
  ASSERT_TRUE(RunCommand("/usr/bin/convert '" + dir.File("in.png") + "' -depth 16 -compress None '" +
                         dir.File("in16.tif") + "'"));
  struct Case {
    const char* source;
    const char* format;
  };
  for (const Case& c : {Case{"in.bmp", "22"}, Case{"in16.tif", "23"}}) {
    SCOPED_TRACE(c.format);
    const std::string out = dir.File(std::string(c.source) + ".wdp");
    ASSERT_TRUE(RunCommand("JxrEncApp -i '" + dir.File(c.source) + "' -o '" + out + "' -c " + c.format +
                           " -q 1 >/dev/null 2>&1"));
    for (bool native : {false, true}) {
      TRVBitmap b;
      TIOParamsVals p;
      p.NativePixelFormat = native;
      ASSERT_TRUE(ReadHdp(ReadFileBytes(out), b, p)) << native;
      EXPECT_EQ(b.GetPixelFormat(), rv24RGB);
      ExpectPicture(b, 37, 21, false, c.source);
      EXPECT_EQ(p.SamplesPerPixel, 3);
    }
  }
}

TEST(HdPhoto, OurLosslessFilesDecodeWithLibjxrsDecoderAndCarryExif) {
  if (!HaveJxrTools() || !HavePillow()) GTEST_SKIP() << "libjxr-tools or Pillow missing";
  TempDir dir;
  TRVBitmap b;
  FillTestBitmap(b, 50, 33);
  TIOParamsVals p;
  p.HDP_Lossless = true;
  FillKnownEXIF(p);
  bool ok = false;
  WriteFileBytes(dir.File("ours.wdp"), WriteHdp(b, p, &ok));
  ASSERT_TRUE(ok);
  ASSERT_TRUE(RunCommand("JxrDecApp -i '" + dir.File("ours.wdp") + "' -o '" + dir.File("back.bmp") +
                         "' >/dev/null 2>&1"));
  int w = 0, h = 0;
  std::vector<uint8_t> rgba;
  ASSERT_TRUE(PillowDecode(dir.File("back.bmp"), w, h, rgba));
  ASSERT_EQ(w, 50);
  ASSERT_EQ(h, 33);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Rgba t = TestPixel(x, y);
      const uint8_t* q = &rgba[4 * (size_t(y) * w + x)];
      ASSERT_EQ((std::array<int, 3>{q[0], q[1], q[2]}), (std::array<int, 3>{t.r, t.g, t.b})) << x << "," << y;
    }
  // The EXIF tags we inject are read by exiftool and by our reader.
  if (HaveExifTool()) {
    auto tags = ExifToolTags(dir.File("ours.wdp"));
    EXPECT_EQ(tags["IFD0:Make"], "ZephorCam");
    EXPECT_EQ(tags["ExifIFD:ExposureTime"], "0.004");
    EXPECT_EQ(tags["GPS:GPSLatitudeRef"], "N");
  }
  TRVBitmap c;
  TIOParamsVals q;
  ASSERT_TRUE(ReadHdp(ReadFileBytes(dir.File("ours.wdp")), c, q));
  EXPECT_EQ(q.EXIF_Make, "ZephorCam");
  EXPECT_NEAR(q.EXIF_ExposureTime, 0.004, 1e-9);
}

TEST(HdPhoto, PixelFormatsBothWays) {
  struct Case {
    TRVPixelFormat written;
    TRVPixelFormat nativeRead;
  } cases[] = {{rv1g, rv1g},       {rv8g, rv8g},       {rv16g, rv16g},
               {rv24RGB, rv24RGB}, {rv48RGB, rv48RGB}, {rvCMYK, rvCMYK}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    TRVBitmap b;
    ASSERT_TRUE(b.Allocate(35, 20, c.written));
    const int32_t rowLen = b.GetRowLen();
    for (int y = 0; y < 20; ++y)
      for (int i = 0; i < rowLen; ++i) b.GetScanLine(y)[i] = uint8_t((i * 13 + y * 29) % 251);
    TIOParamsVals p;
    p.HDP_Lossless = true;
    bool ok = false;
    const std::vector<uint8_t> file = WriteHdp(b, p, &ok);
    ASSERT_TRUE(ok);
    TRVBitmap native;
    TIOParamsVals np;
    np.NativePixelFormat = true;
    ASSERT_TRUE(ReadHdp(file, native, np));
    ASSERT_EQ(native.GetPixelFormat(), c.nativeRead);
    const int32_t usedBytes = (35 * b.GetBitCount() + 7) / 8;
    for (int y = 0; y < 20; ++y) {
      // A 1-bit row's last byte holds bits beyond the width.
      const int32_t whole = c.written == rv1g ? 35 / 8 : usedBytes;
      ASSERT_EQ(std::vector<uint8_t>(native.GetScanLine(y), native.GetScanLine(y) + whole),
                std::vector<uint8_t>(b.GetScanLine(y), b.GetScanLine(y) + whole))
          << "row " << y;
    }
    TRVBitmap plain;
    TIOParamsVals pp;
    ASSERT_TRUE(ReadHdp(file, plain, pp));
    EXPECT_EQ(plain.GetPixelFormat(), c.written == rv1g ? rv1g : rv24RGB);
  }
  // A palette bitmap has no HD Photo format.
  TRVBitmap pal(4, 4, rv8p);
  TIOParamsVals p;
  EXPECT_THROW(WriteHdp(pal, p), common::EAssertionFailed);
}

// The encoder takes the rows in bands: a picture of several bands, and a last band cut inside a
// macroblock row, come back exactly.
TEST(HdPhoto, PicturesOfSeveralBandsRoundTripLosslessly) {
  TRVBitmap b;
  FillTestBitmap(b, 70, 301);
  TIOParamsVals p;
  p.HDP_Lossless = true;
  bool ok = false;
  const std::vector<uint8_t> file = WriteHdp(b, p, &ok);
  ASSERT_TRUE(ok);
  TRVBitmap back;
  TIOParamsVals q;
  ASSERT_TRUE(ReadHdp(file, back, q));
  ExpectPicture(back, 70, 301, false, "301 rows");
}

TEST(HdPhoto, QualityBelowOneQuantises) {
  TRVBitmap b;
  FillTestBitmap(b, 64, 64);
  TIOParamsVals lossless, lossy, unset;
  lossless.HDP_Lossless = true;
  lossy.HDP_ImageQuality = 0.3;
  unset.HDP_ImageQuality = -1;
  const size_t a = WriteHdp(b, lossless).size(), c = WriteHdp(b, lossy).size(), u = WriteHdp(b, unset).size();
  EXPECT_LT(c, a);
  EXPECT_EQ(u, a);
  TRVBitmap back;
  TIOParamsVals p;
  ASSERT_TRUE(ReadHdp(WriteHdp(b, lossy), back, p));
  EXPECT_EQ(back.GetWidth(), 64);
}

TEST(HdPhoto, DamagedFilesAbort) {
  TRVBitmap b;
  FillTestBitmap(b, 40, 40);
  TIOParamsVals p;
  p.HDP_Lossless = true;
  const std::vector<uint8_t> good = WriteHdp(b, p);
  ASSERT_GT(good.size(), 200u);
  // The image plane's offset (tag 0xBCC0) moved past the end.
  std::vector<uint8_t> planeOutside = good;
  {
    TRVTIFFHandler h;
    TRVMemStream s(good.data(), static_cast<int64_t>(good.size()));
    ASSERT_TRUE(h.LoadFromStream(s));
    EXPECT_EQ(h.Magic(), 444);
  }
  const uint32_t ifd = good[4] | (good[5] << 8) | (good[6] << 16) | (uint32_t(good[7]) << 24);
  const int n = good[ifd] | (good[ifd + 1] << 8);
  for (int i = 0; i < n; ++i) {
    uint8_t* e = &planeOutside[ifd + 2 + 12 * size_t(i)];
    if ((e[0] | (e[1] << 8)) == 0xBCC0) e[8] = e[9] = e[10] = 0x7F;
  }
  // The plane's own header (after "WMPHOTO" and four bytes of flags) claims 48,647 rows where the
  // container says 40: libjxr would decode by the one and lay out by the other.
  std::vector<uint8_t> planeTaller = good;
  for (int i = 0; i < n; ++i) {
    const uint8_t* e = &good[ifd + 2 + 12 * size_t(i)];
    if ((e[0] | (e[1] << 8)) != 0xBCC0) continue;
    const size_t plane = e[8] | (e[9] << 8) | (e[10] << 16) | (size_t(e[11]) << 24);
    ASSERT_EQ(std::string(reinterpret_cast<const char*>(&good[plane]), 7), "WMPHOTO");
    const size_t height = plane + (good[plane + 10] & 0x80 ? 14 : 18);
    planeTaller[height] = 0xBE;
    planeTaller[height + 1] = 0x06;
  }
  // A copy of the file whose IFD entry of `tag` went through `edit`; empty without the entry.
  auto withEntry = [&](uint16_t tag, const std::function<void(uint8_t*)>& edit) {
    std::vector<uint8_t> f = good;
    for (int i = 0; i < n; ++i) {
      uint8_t* e = &f[ifd + 2 + 12 * size_t(i)];
      if ((e[0] | (e[1] << 8)) != tag) continue;
      edit(e);
      return f;
    }
    return std::vector<uint8_t>{};
  };
  // A transformation (tag 0xBC02) beyond the eight orientations: libjxr asserts on it.
  const std::vector<uint8_t> badTransformation = withEntry(0xBC02, [](uint8_t* e) { e[8] = 8; });
  ASSERT_FALSE(badTransformation.empty());
  // The horizontal resolution (tag 0x011A, a rational) renamed the image description (0x010E),
  // which libjxr takes only as text or bytes: it asserts on any other type.
  const std::vector<uint8_t> rationalDescription = withEntry(0x011A, [](uint8_t* e) { e[0] = 0x0E; });
  ASSERT_FALSE(rationalDescription.empty());
  // Width and height (tags 0xBC80, 0xBC81) of 2^32 - 1 each: their product passes 64 bits.
  std::vector<uint8_t> huge = good;
  int sizes = 0;
  for (int i = 0; i < n; ++i) {
    uint8_t* e = &huge[ifd + 2 + 12 * size_t(i)];
    const int tag = e[0] | (e[1] << 8);
    if (tag != 0xBC80 && tag != 0xBC81) continue;
    const uint8_t entry[10] = {4, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};  // LONG, one, 2^32 - 1
    std::memcpy(e + 2, entry, sizeof entry);
    ++sizes;
  }
  ASSERT_EQ(sizes, 2);
  // Four bytes of a plane's coded data changed (found by the fuzz target): libjxr's decoder
  // reads through a wild pointer on it.
  const std::vector<uint8_t> wildRead =
      ReadFileBytes(std::string(ZEPHOR_TEST_DATA_DIR) + "/coded-data-libjxr-reads-out-of-bounds.wdp");
  ASSERT_FALSE(wildRead.empty());
  std::vector<uint8_t> mutated = good;
  for (size_t i = 150; i < mutated.size(); i += 11) mutated[i] ^= 0x5A;
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
  } cases[] = {
      {"empty", {}},
      {"cut after the header", std::vector<uint8_t>(good.begin(), good.begin() + 8)},
      {"cut inside the IFD", std::vector<uint8_t>(good.begin(), good.begin() + 60)},
      {"cut inside the image plane",
       std::vector<uint8_t>(good.begin(), good.begin() + long(good.size() / 2))},
      {"plane past the end", planeOutside},
      {"plane taller than the container says", planeTaller},
      {"transformation beyond the eight orientations", badTransformation},
      {"image description of a type libjxr asserts on", rationalDescription},
      {"coded data libjxr reads out of bounds on", wildRead},
      {"sizes of 2^32 - 1 by 2^32 - 1", huge},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // A failed read leaves the bitmap as it was, also when the decoder failed half way.
    TRVBitmap out(3, 2, rv24RGB);
    TIOParamsVals q;
    EXPECT_FALSE(ReadHdp(c.data, out, q));
    EXPECT_EQ(out.GetWidth(), 3);
    EXPECT_EQ(out.GetHeight(), 2);
    EXPECT_FALSE(ReadHDPFromMemory(c.data.data(), static_cast<int64_t>(c.data.size()), out));
  }
  // The reader and writer serve HD Photo only.
  EXPECT_TRUE(IsWICAvailable());
  EXPECT_TRUE(IsWICAvailable());
  auto s = StreamOf(good);
  TRVWICReader reader;
  EXPECT_FALSE(reader.Open(*s, 1));
  TRVProgressRec progress;
  TRVBitmap none;
  reader.ReadFrame(0, none, progress, nullptr);
  EXPECT_TRUE(progress.IsAborting());
  TRVWICWriter writer;
  EXPECT_FALSE(writer.Open(*s, 3));
  // Mutated plane bytes: libjxr's output is whatever it decodes, but the read ends.
  TRVBitmap out;
  ReadHDPFromMemory(mutated.data(), static_cast<int64_t>(mutated.size()), out);
}

}  // namespace
}  // namespace rv
