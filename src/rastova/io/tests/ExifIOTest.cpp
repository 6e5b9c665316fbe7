// EXIF, HD Photo and camera raw through the I/O component: the JPEG save replaces the EXIF
// segment, content detection finds camera raw and HD Photo, and both load by file name.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "IoTestTools.h"
#include "rastova/codecs/RVEXIF.h"
#include "rastova/codecs/tests/RawTools.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RastovaIO.h"

namespace rv {
namespace {

using namespace iotest;

bool HaveExifTool() {
  bool ok = false;
  RunCapture("command -v exiftool", ok);
  return ok;
}

std::map<std::string, std::string> ExifTags(const std::string& path) {
  bool ok = false;
  std::istringstream out(RunCapture("exiftool -a -G1 -n -args '" + path + "'", ok));
  std::map<std::string, std::string> tags;
  std::string line;
  while (std::getline(out, line)) {
    const size_t eq = line.find('=');
    if (line.size() > 1 && line[0] == '-' && eq != std::string::npos)
      tags[line.substr(1, eq - 1)] = line.substr(eq + 1);
  }
  return tags;
}

void Picture(TRVBitmap& b, int w, int h) {
  b.Allocate(w, h, rv24RGB);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Rgba t = TestPixel(x, y);
      b.SetPixels_rv24RGB(x, y, uint32_t(t.r) << 16 | uint32_t(t.g) << 8 | t.b);
    }
}

TEST(ExifIO, JpegSaveReplacesTheExifSegmentAndReadsItBack) {
  TempDir dir;
  TRastovaIO io;
  Picture(*io.GetAttachedRVBitmap(), 40, 30);
  // An old EXIF segment that the save must replace, not keep beside the new one.
  TIOParamsVals old;
  old.EXIF_HasEXIFData = true;
  old.EXIF_Make = "Old";
  const std::vector<uint8_t> stale = BuildEXIFBlock(old, true);
  io.Params.JPEG_MarkerList.AddMarker(0xE1, stale.data(), static_cast<int32_t>(stale.size()));
  io.Params.EXIF_HasEXIFData = true;
  io.Params.EXIF_Make = "NewCam";
  io.Params.SetEXIF_ExposureTime(0.01);
  io.Params.EXIF_Thumbnail = std::make_unique<TRVBitmap>();
  Picture(*io.Params.EXIF_Thumbnail, 16, 12);
  io.SaveToFile(dir.File("e.jpg"));
  ASSERT_FALSE(io.Aborting);
  int exifSegments = 0;
  for (int32_t i = 0; i < io.Params.JPEG_MarkerList.Count(); ++i)
    exifSegments += IsEXIFMarker(io.Params.JPEG_MarkerList.GetMarkerData(i),
                                 io.Params.JPEG_MarkerList.GetMarkerLength(i));
  EXPECT_EQ(exifSegments, 1);
  TRastovaIO back;
  back.LoadFromFile(dir.File("e.jpg"));
  ASSERT_FALSE(back.Aborting);
  EXPECT_TRUE(back.Params.EXIF_HasEXIFData);
  EXPECT_EQ(back.Params.EXIF_Make, "NewCam");
  EXPECT_NEAR(back.Params.EXIF_ExposureTime, 0.01, 1e-9);
  ASSERT_TRUE(back.Params.EXIF_Thumbnail);
  EXPECT_EQ(back.Params.EXIF_Thumbnail->GetWidth(), 16);
  if (HaveExifTool()) {
    auto tags = ExifTags(dir.File("e.jpg"));
    EXPECT_EQ(tags["IFD0:Make"], "NewCam");
    EXPECT_EQ(tags["ExifIFD:ExposureTime"], "0.01");
  }
}

TEST(ExifIO, HDPhotoSavedAndLoadedByName) {
  TempDir dir;
  TRastovaIO io;
  Picture(*io.GetAttachedRVBitmap(), 33, 21);
  io.Params.HDP_Lossless = true;
  io.SaveToFile(dir.File("p.wdp"));
  ASSERT_FALSE(io.Aborting);
  EXPECT_EQ(FindFileFormat(dir.File("p.wdp"), true), ioHDP);
  TRastovaIO back;
  back.LoadFromFile(dir.File("p.wdp"));
  ASSERT_FALSE(back.Aborting);
  TRVBitmap& b = *back.GetAttachedRVBitmap();
  ASSERT_EQ(b.GetWidth(), 33);
  const TRGB c = b.GetPixels(7, 5);
  const Rgba t = TestPixel(7, 5);
  EXPECT_EQ((std::array<int, 3>{c.r, c.g, c.b}), (std::array<int, 3>{t.r, t.g, t.b}));
  EXPECT_EQ(back.Params.FileType, ioHDP);
}

TEST(ExifIO, CameraRawIsFoundLastByContentAndLoads) {
  TempDir dir;
  // A DNG is a TIFF container that the TIFF test leaves to the camera-raw test at the end.
  const std::vector<uint8_t> dng = test::MakeSyntheticDNG({});
  TRVMemStream s(dng.data(), static_cast<int64_t>(dng.size()));
  EXPECT_EQ(FindStreamFormat(s), ioRAW);
  EXPECT_EQ(s.GetPosition(), 0);
  const std::vector<uint8_t> noise(4000, 0x11);
  TRVMemStream n(noise.data(), static_cast<int64_t>(noise.size()));
  EXPECT_EQ(FindStreamFormat(n), 0);
  WriteFileBytes(dir.File("shot.nef"), dng);
  EXPECT_EQ(FindFileFormat(dir.File("shot.nef"), true), ioRAW);
  TRastovaIO io;
  io.LoadFromFile(dir.File("shot.nef"));
  ASSERT_FALSE(io.Aborting);
  EXPECT_EQ(io.GetAttachedRVBitmap()->GetWidth(), 62);
  EXPECT_EQ(io.Params.FileType, ioRAW);
  EXPECT_EQ(io.Params.EXIF_Make, "Zephor");
  // Camera raw is read only.
  io.SaveToFile(dir.File("shot.raw"));
  EXPECT_TRUE(io.Aborting);
}

}  // namespace
}  // namespace rv
