// Camera raw through LibRaw: a synthetic DNG decoded with the glue's sizes, curve and metadata,
// the curve and white point on known histograms, the Fuji rotation, the CRW records, and
// damaged files.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "ExifTools.h"
#include "RawTools.h"
#include "rastova/codecs/raw/rvraw.h"

namespace rv {
namespace {

using namespace test;

struct RawRead {
  TRVBitmap bitmap;
  TIOParamsVals params;
  bool ok = false;
};

std::unique_ptr<RawRead> ReadRaw(const std::vector<uint8_t>& data,
                                 const std::function<void(TIOParamsVals&)>& set = {},
                                 bool paramsOnly = false) {
  auto r = std::make_unique<RawRead>();
  if (set) set(r->params);
  auto s = StreamOf(data);
  TRVProgressRec progress;
  ReadCameraRawStream(*s, r->bitmap, r->params, progress, paramsOnly);
  r->ok = !progress.IsAborting();
  return r;
}

TEST(CameraRaw, SyntheticDngDecodesWithTheGluesSizesAndMetadata) {
  const std::vector<uint8_t> dng = MakeSyntheticDNG({});
  auto s = StreamOf(dng);
  EXPECT_TRUE(IsCameraRawStream(*s));
  EXPECT_EQ(s->GetPosition(), 0);
  auto r = ReadRaw(dng);
  ASSERT_TRUE(r->ok);
  // One pixel per border is trimmed after interpolation.
  EXPECT_EQ(r->params.Width, 62);
  EXPECT_EQ(r->params.Height, 46);
  EXPECT_EQ(r->bitmap.GetWidth(), 62);
  EXPECT_EQ(r->bitmap.GetHeight(), 46);
  EXPECT_EQ(r->bitmap.GetPixelFormat(), rv24RGB);
  EXPECT_EQ(r->params.BitsPerSample, 8);
  EXPECT_EQ(r->params.RAW_Camera.substr(0, 15), "Zephor SynthCam");
  EXPECT_EQ(r->params.EXIF_Make, "Zephor");
  EXPECT_EQ(r->params.EXIF_Model, "SynthCam");
  EXPECT_TRUE(r->params.EXIF_HasEXIFData);
  // The mosaic is mostly red: the picture is too.
  const TRGB c = r->bitmap.GetPixels(30, 20);
  EXPECT_GT(c.r, c.b);
  // Native: 16-bit samples.
  auto n = ReadRaw(dng, [](TIOParamsVals& p) { p.NativePixelFormat = true; });
  ASSERT_TRUE(n->ok);
  EXPECT_EQ(n->bitmap.GetPixelFormat(), rv48RGB);
  EXPECT_EQ(n->params.BitsPerSample, 16);
  const TRGB48 c16 = n->bitmap.GetPixels_rv48RGB(30, 20);
  EXPECT_NEAR(c16.r / 257.0, c.r, 1.5);
}

// LibRaw's own tools on the synthetic DNG: raw-identify names the camera and its size, and
// dcraw_emu's linear 16-bit output (no curve, no brightening, quick interpolation) differs from
// ours, pixel by pixel, only by our curve's one factor, the same for red, green and blue.
TEST(CameraRaw, LibRawsToolsAgreeOnTheSyntheticDng) {
  if (!std::filesystem::exists("/usr/bin/raw-identify") || !std::filesystem::exists("/usr/bin/dcraw_emu"))
    GTEST_SKIP() << "raw-identify and dcraw_emu (libraw-bin) are not installed";
  TempDir dir;
  // Samples well inside the white level, so that no channel clips.
  TSyntheticDNG spec;
  spec.sample = [](int32_t x, int32_t y, int32_t c) {
    return uint16_t(500 + 250 * c + (x * 37 + y * 23) % 600);
  };
  const std::vector<uint8_t> dng = MakeSyntheticDNG(spec);
  const std::string file = dir.File("synth.dng");
  WriteFileBytes(file, dng);
  ASSERT_TRUE(RunCommand("raw-identify -v " + file + " > " + dir.File("id.txt") + " 2>&1"));
  const std::vector<uint8_t> idBytes = ReadFileBytes(dir.File("id.txt"));
  const std::string id(idBytes.begin(), idBytes.end());
  EXPECT_NE(id.find("Camera: Zephor SynthCam"), std::string::npos);
  EXPECT_NE(id.find("Image size:    64 x 48"), std::string::npos);
  EXPECT_NE(id.find("Filter pattern: RGGB"), std::string::npos);

  // dcraw_emu -4: 16 bits, gamma 1, no brightening; -q 0: the quick (linear) interpolation.
  ASSERT_TRUE(RunCommand("dcraw_emu -4 -q 0 " + file + " >/dev/null 2>&1"));
  const std::vector<uint8_t> ppm = ReadFileBytes(file + ".ppm");
  const std::string head = "P6\n64 48\n65535\n";
  ASSERT_EQ(ppm.size(), head.size() + 64 * 48 * 6);
  ASSERT_EQ(std::string(ppm.begin(), ppm.begin() + long(head.size())), head);
  auto theirs = [&](int x, int y, int c) {
    const uint8_t* q = ppm.data() + head.size() + 6 * (size_t(y) * 64 + size_t(x)) + 2 * size_t(c);
    return (q[0] << 8) | q[1];
  };
  auto ours = ReadRaw(dng, [](TIOParamsVals& p) { p.NativePixelFormat = true; });
  ASSERT_TRUE(ours->ok);
  int compared = 0;
  for (int y = 0; y < 46; ++y)
    for (int x = 0; x < 62; ++x) {
      const TRGB48 o = ours->bitmap.GetPixels_rv48RGB(x, y);
      const int t[3] = {theirs(x + 1, y + 1, 0), theirs(x + 1, y + 1, 1), theirs(x + 1, y + 1, 2)};
      const int mine[3] = {o.r, o.g, o.b};
      // Channels clipped on either side, or too dark to measure a ratio, say nothing.
      bool usable = true;
      for (int c = 0; c < 3; ++c)
        usable = usable && t[c] >= 512 && t[c] < 65535 && mine[c] >= 512 && mine[c] < 65535;
      if (!usable) continue;
      ++compared;
      const double k = double(mine[1]) / t[1];
      EXPECT_NEAR(double(mine[0]) / t[0], k, 0.01 * k) << x << "," << y;
      EXPECT_NEAR(double(mine[2]) / t[2], k, 0.01 * k) << x << "," << y;
    }
  EXPECT_GT(compared, 62 * 46 * 3 / 4);
}

TEST(CameraRaw, HalfSizeRoundsUpAndKeepsTheBorder) {
  TSyntheticDNG spec;
  spec.width = 65;
  spec.height = 49;
  auto r = ReadRaw(MakeSyntheticDNG(spec), [](TIOParamsVals& p) { p.RAW_HalfSize = true; });
  ASSERT_TRUE(r->ok);
  // LibRaw keeps the mosaic's sizes even (64 x 48 here); the halves round up and no border is
  // trimmed, as nothing was interpolated.
  const int32_t w = r->params.Width + 2, h = r->params.Height + 2;
  EXPECT_EQ(r->bitmap.GetWidth(), (w + 1) / 2);
  EXPECT_EQ(r->bitmap.GetHeight(), (h + 1) / 2);
  EXPECT_EQ(w, 64);
}

TEST(CameraRaw, RedAndBlueFactorsScaleTheirChannels) {
  const std::vector<uint8_t> dng = MakeSyntheticDNG({});
  auto plain = ReadRaw(dng);
  auto scaled = ReadRaw(dng, [](TIOParamsVals& p) {
    p.RAW_RedFactor = 0.5;
    p.RAW_BlueFactor = 2;
  });
  ASSERT_TRUE(plain->ok && scaled->ok);
  const TRGB a = plain->bitmap.GetPixels(20, 20), b = scaled->bitmap.GetPixels(20, 20);
  EXPECT_LT(b.r, a.r);
  EXPECT_GT(b.b, a.b);
}

TEST(CameraRaw, WhitePointAndCurveOnKnownHistograms) {
  std::vector<uint32_t> h(8192, 0);
  EXPECT_EQ(RawWhitePoint(h.data(), 0, 0.01), 1);  // white 0 taken as 1
  h[1000] = 99;
  h[8000] = 1;
  // 1 % of 100 pixels is 1: the single pixel at the top is not more, so the walk goes on.
  EXPECT_EQ(RawWhitePoint(h.data(), 100, 0.01), 16000);
  EXPECT_EQ(RawWhitePoint(h.data(), 100, 0.005), 8000 * 16);
  std::vector<double> t(65536);
  BuildRawCurve(t.data(), 16000, 0.6, 1.0, false);
  EXPECT_EQ(t[0], 0);
  // table[i] = (2i / white)^(gamma - 1) x bright x 442 / white
  EXPECT_NEAR(t[8000], 442.0 / 16000, 1e-12);
  EXPECT_NEAR(t[4000], std::pow(0.5, -0.4) * 442 / 16000, 1e-12);
  std::vector<double> t16(65536);
  BuildRawCurve(t16.data(), 16000, 0.6, 2.0, true);
  EXPECT_NEAR(t16[8000], 2 * 442.0 / 16000 * 65535 / 255, 1e-9);
}

TEST(CameraRaw, FujiRotationTurnsADiamondUpright) {
  for (TRVPixelFormat f : {rv24RGB, rv48RGB}) {
    SCOPED_TRACE(int(f));
    TRVBitmap b;
    ASSERT_TRUE(b.Allocate(20, 20, f));
    b.Fill(0);
    // Row 0 has 5 black pixels before the diamond and its last lit pixel at 14.
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x) {
        const bool lit = y > 0 || (x >= 5 && x <= 14);
        if (!lit) continue;
        if (f == rv24RGB)
          b.SetPixels_rv24RGB(x, y, 0x6496C8);
        else
          b.SetPixels_rv48RGB(x, y, TRGB48{1000, 2000, 3000});
      }
    if (f == rv24RGB)
      FujiRotate24(b);
    else
      FujiRotate48(b);
    // Height 2 x (W - L) - 4, width 2N.
    EXPECT_EQ(b.GetHeight(), 2 * (20 - 5) - 4);
    EXPECT_EQ(b.GetWidth(), 28);
    // Every output row but the last comes from the grid: the lit part of the diamond reaches
    // row T - 2 (and row T - 1 is never written).
    auto rowLit = [&](int y) {
      for (int x = 0; x < b.GetWidth(); ++x) {
        const TRGB c = b.GetPixels(x, y);
        if (c.r || c.g || c.b) return true;
      }
      return false;
    };
    EXPECT_TRUE(rowLit(b.GetHeight() - 2));
    EXPECT_FALSE(rowLit(b.GetHeight() - 1));
    if (f == rv24RGB) {
      const TRGB c = b.GetPixels(14, 12);
      EXPECT_EQ((std::array<int, 3>{c.r, c.g, c.b}), (std::array<int, 3>{0x64, 0x96, 0xC8}));
    } else {
      const TRGB48 c = b.GetPixels_rv48RGB(14, 12);
      EXPECT_EQ(c.r, 1000);
      EXPECT_EQ(c.b, 3000);
    }
  }
}

// A CIFF heap: records at the start, the directory after them, its offset in the last 4 bytes.
struct Heap {
  std::vector<uint8_t> data;
  std::vector<std::array<uint32_t, 3>> dir;  // tag, size, offset
  void Record(uint16_t tag, const std::vector<uint8_t>& bytes) {
    dir.push_back({tag, uint32_t(bytes.size()), uint32_t(data.size())});
    data.insert(data.end(), bytes.begin(), bytes.end());
  }
  std::vector<uint8_t> Bytes(int32_t dirOffsetDelta = 0) const {
    std::vector<uint8_t> out = data;
    const uint32_t at = uint32_t(out.size()) + uint32_t(dirOffsetDelta);
    auto p16 = [&](uint32_t v) {
      out.push_back(uint8_t(v));
      out.push_back(uint8_t(v >> 8));
    };
    auto p32 = [&](uint32_t v) {
      p16(v & 0xFFFF);
      p16(v >> 16);
    };
    p16(uint32_t(dir.size()));
    for (const auto& d : dir) {
      p16(d[0]);
      p32(d[1]);
      p32(d[2]);
    }
    p32(at);
    return out;
  }
};

std::vector<uint8_t> CrwFile(const std::vector<uint8_t>& heap) {
  std::vector<uint8_t> f = {'I', 'I', 26, 0, 0, 0, 'H', 'E', 'A', 'P', 'C', 'C', 'D', 'R', 0, 0, 1, 0};
  f.resize(26, 0);
  f.insert(f.end(), heap.begin(), heap.end());
  return f;
}

std::vector<uint8_t> SmallJpeg(int w, int h) { return JpegWithMarkers({}, w, h); }

TEST(CameraRaw, CrwRecordsFillTheMetadata) {
  Heap sub;
  sub.Record(0x1810, {0x40, 1, 0, 0, 0xF0, 0, 0, 0});  // 320 x 240
  sub.Record(0x2008, SmallJpeg(24, 16));
  Heap top;
  top.Record(0x080A, {'C', 'a', 'n', 'o', 'n', 0, 'E', 'O', 'S', ' ', 'T', 0});
  top.Record(0x080B, {'F', 'W', ' ', '1', '.', '0', 0});
  top.Record(0x0805, {'D', 'e', 's', 'c', 0});
  top.Record(0x102A, {1, 0, 2, 0, 3, 0, 4, 0});
  top.Record(0x102D, {9, 0, 8, 0});
  top.Record(0x2007, SmallJpeg(40, 30));
  top.Record(0x300A, sub.Bytes());
  const std::vector<uint8_t> crw = CrwFile(top.Bytes());
  auto s = StreamOf(crw);
  TIOParamsVals p;
  ReadCRWMetadata(*s, p);
  EXPECT_EQ(p.EXIF_Make, "Canon");
  EXPECT_EQ(p.EXIF_Model, "EOS T");
  EXPECT_EQ(p.EXIF_Software, "FW 1.0");
  EXPECT_EQ(p.EXIF_ImageDescription, "Desc");
  EXPECT_EQ(p.EXIF_PixelXDimension, 320u);
  EXPECT_EQ(p.EXIF_PixelYDimension, 240u);
  ASSERT_TRUE(p.EXIF_Thumbnail);
  EXPECT_EQ(p.EXIF_Thumbnail->GetWidth(), 24);
  ASSERT_EQ(p.EXIF_MakerNote.EntryCount(), 2);
  EXPECT_EQ(p.EXIF_MakerNote.GetEntry(0).tag, 4);
  EXPECT_EQ(p.EXIF_MakerNote.GetEntry(0).count, 4u);
  EXPECT_EQ(p.EXIF_MakerNote.GetEntryData(0), (std::vector<uint8_t>{1, 0, 2, 0, 3, 0, 4, 0}));
  EXPECT_EQ(p.EXIF_MakerNote.GetEntry(1).tag, 1);
}

TEST(CameraRaw, DamagedCrwHeapsEndTheMetadataQuietly) {
  Heap self;
  self.Record(0x080A, {'A', 0, 'B', 0});
  // A sub-heap that is the whole heap again (its records and directory).
  self.dir.push_back({0x300A, 0, 0});
  std::vector<uint8_t> selfHeap = self.Bytes();
  // Let the sub-heap span the whole heap: size = the heap's length.
  const size_t sizeAt = selfHeap.size() - 4 - 10 + 2;
  const uint32_t len = uint32_t(selfHeap.size());
  for (int i = 0; i < 4; ++i) selfHeap[sizeAt + size_t(i)] = uint8_t(len >> (8 * i));
  Heap outside;
  outside.Record(0x080A, {'A', 0, 'B', 0});
  Heap entryPast;
  entryPast.Record(0x080B, {'x', 0});
  entryPast.dir[0][2] = 0x100000;
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
  } cases[] = {
      {"heap that nests itself", CrwFile(selfHeap)},
      {"directory past the heap", CrwFile(outside.Bytes(5000))},
      {"entry past the heap", CrwFile(entryPast.Bytes())},
      {"header only", CrwFile({})},
      {"cut header", {'I', 'I', 26, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto s = StreamOf(c.file);
    TIOParamsVals p;
    ReadCRWMetadata(*s, p);
    EXPECT_EQ(p.EXIF_Software, "");
    EXPECT_TRUE(!p.EXIF_Thumbnail || p.EXIF_Thumbnail->IsEmpty());
  }
}

TEST(CameraRaw, EmbeddedImageInsteadOfDecoding) {
  Heap top;
  top.Record(0x080A, {'C', 'a', 'n', 'o', 'n', 0, 'X', 0});
  top.Record(0x2007, SmallJpeg(24, 16));
  auto r = ReadRaw(CrwFile(top.Bytes()), [](TIOParamsVals& p) { p.SetRAW_GetEXIFThumbnail(true); });
  EXPECT_TRUE(r->ok);
  EXPECT_EQ(r->bitmap.GetWidth(), 24);
  EXPECT_EQ(r->bitmap.GetHeight(), 16);
  EXPECT_TRUE(r->params.RAW_GetExifThumbnail);
  // Without the flag the same file is decoded, which LibRaw refuses.
  EXPECT_FALSE(ReadRaw(CrwFile(top.Bytes()))->ok);
}

TEST(CameraRaw, ThumbnailInsteadOfDecoding) {
  // A DNG has no embedded image LibRaw is not asked for: without a thumbnail the image is decoded.
  auto r = ReadRaw(MakeSyntheticDNG({}), [](TIOParamsVals& p) { p.SetRAW_GetEXIFThumbnail(true); });
  ASSERT_TRUE(r->ok);
  EXPECT_EQ(r->bitmap.GetWidth(), 62);
  EXPECT_TRUE(r->params.RAW_GetExifThumbnail);
}

TEST(CameraRaw, ParametersOnlyLeavesTheBitmapAlone) {
  auto r = std::make_unique<RawRead>();
  r->bitmap.Allocate(3, 2, rv8g);
  auto s = StreamOf(MakeSyntheticDNG({}));
  TRVProgressRec progress;
  r->params.RAW_MatchThumbnailColors = true;
  ReadCameraRawStream(*s, r->bitmap, r->params, progress, true);
  EXPECT_FALSE(progress.IsAborting());
  EXPECT_EQ(r->params.Width, 62);
  EXPECT_EQ(r->bitmap.GetWidth(), 3);
  EXPECT_EQ(r->bitmap.GetPixelFormat(), rv8g);
}

TEST(CameraRaw, ACancelStopsTheDecode) {
  auto s = StreamOf(MakeSyntheticDNG({}));
  TRVBitmap b;
  TIOParamsVals p;
  std::atomic<bool> aborting{true};
  TRVProgressRec progress(&aborting);
  ReadCameraRawStream(*s, b, p, progress, false);
  EXPECT_TRUE(aborting);
  EXPECT_TRUE(b.IsEmpty());
}

TEST(CameraRaw, DamagedFilesAbort) {
  const std::vector<uint8_t> dng = MakeSyntheticDNG({});
  TSyntheticDNG cutSpec;
  cutSpec.cut = 2000;
  std::vector<uint8_t> mutated = dng;
  for (size_t i = 8; i < 300; i += 5) mutated[i] ^= 0x3C;
  // IFD structures LibRaw must not see: it reads far outside its tables on them.
  const size_t ifd = dng[4] | dng[5] << 8 | dng[6] << 16 | size_t(dng[7]) << 24;
  std::vector<uint8_t> longTable = dng, typeless = dng, valuesPastEnd = dng;
  longTable[ifd] = longTable[ifd + 1] = 0xFF;
  typeless[ifd + 4] = typeless[ifd + 5] = 0;       // entry 0's type
  valuesPastEnd[ifd + 2 + 12 * 2 + 7] = 0x40;      // entry 2's count times 2^24
  const uint8_t libRawCrash[] = {  // found by fuzzing: 25 entries in 64 bytes, a typeless CFA pattern
      0x49, 0x49, 0x2a, 0x00, 0x08, 0x00, 0x00, 0x00, 0x19, 0x00, 0x01, 0x00, 0x00, 0x00, 0x8e, 0x82,
      0x01, 0xde, 0x24, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x02, 0x12, 0xc6, 0x01, 0x00, 0x04, 0x00,
      0x00, 0x00, 0x1c, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x8e, 0x82,
      0x01, 0xde, 0x24, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x02, 0x12, 0x00, 0x04, 0x00, 0x00, 0x00};
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
    bool identified = false;  // by the detection, which does not decode
  } cases[] = {
      {"empty", {}},
      {"DNG cut inside the strip", MakeSyntheticDNG(cutSpec), true},
      {"DNG cut inside the IFD", std::vector<uint8_t>(dng.begin(), dng.begin() + 100)},
      {"not a raw file", SmallJpeg(16, 16)},
      {"noise", std::vector<uint8_t>(5000, 0x5A)},
      {"an IFD table past the end", longTable},
      {"an entry of type 0", typeless},
      {"an entry's values past the end", valuesPastEnd},
      {"a table cut short with a typeless CFA pattern", std::vector<uint8_t>(std::begin(libRawCrash), std::end(libRawCrash))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto r = ReadRaw(c.data);
    EXPECT_FALSE(r->ok);
    TRVBitmap b;
    EXPECT_FALSE(ReadCameraRawFromMemory(c.data.data(), static_cast<int64_t>(c.data.size()), b));
    TRVMemStream detect(c.data.data(), static_cast<int64_t>(c.data.size()));
    EXPECT_EQ(IsCameraRawStream(detect), c.identified);
  }
  // Mutated tags: whatever LibRaw makes of them, the read ends.
  TRVBitmap b;
  ReadCameraRawFromMemory(mutated.data(), static_cast<int64_t>(mutated.size()), b);
}

}  // namespace
}  // namespace rv
