#include "ExifTools.h"

#include <fstream>
#include <sstream>

namespace rv::test {

bool HaveExifTool() {
  static const bool have = RunCommand("command -v exiftool >/dev/null 2>&1");
  return have;
}

std::map<std::string, std::string> ExifToolTags(const std::string& path) {
  std::map<std::string, std::string> tags;
  const std::string out = path + ".args";
  if (!RunCommand("exiftool -a -G1 -n -args '" + path + "' > '" + out + "' 2>/dev/null")) return tags;
  std::ifstream f(out);
  std::string line;
  while (std::getline(f, line)) {
    // -Group:Tag=value
    const size_t eq = line.find('=');
    if (line.size() < 2 || line[0] != '-' || eq == std::string::npos) continue;
    tags[line.substr(1, eq - 1)] = line.substr(eq + 1);
  }
  return tags;
}

void FillKnownEXIF(TIOParamsVals& p) {
  p.EXIF_HasEXIFData = true;
  p.EXIF_ImageDescription = "A test scene";
  p.EXIF_Make = "ZephorCam";
  p.EXIF_Model = "Model 7";
  p.SetEXIF_Orientation(6);
  p.SetEXIF_XResolution(72);
  p.SetEXIF_YResolution(72);
  p.EXIF_Software = "zephor";
  p.EXIF_DateTime = "2024:05:06 07:08:09";
  p.EXIF_Artist = "Someone";
  p.EXIF_Copyright = "(c) nobody";
  p.EXIF_Rating = 4;
  p.SetEXIF_ExposureTime(0.004);
  p.SetEXIF_FNumber(2.8);
  p.SetEXIF_ExposureProgram(2);
  p.EXIF_ISOSpeedRatings[0] = 200;
  p.EXIF_ExifVersion = "0230";
  p.EXIF_DateTimeOriginal = "2024:05:06 07:08:09";
  p.SetEXIF_ExposureBiasValue(-0.5);
  p.SetEXIF_Flash(16);
  p.SetEXIF_FocalLength(35);
  p.SetEXIF_ColorSpace(1);
  p.SetEXIF_PixelXDimension(640);
  p.SetEXIF_PixelYDimension(480);
  p.EXIF_WhiteBalance = 1;
  p.EXIF_UserCommentCode = std::string("UNICODE\0", 8);
  p.EXIF_UserComment = u"Grüße";
  p.EXIF_XPTitle = u"Title";
  p.EXIF_XPAuthor = u"A";
  p.EXIF_GPSVersionID = "2.2.0.0";
  p.EXIF_GPSLatitudeRef = std::string("N\0", 2);
  p.EXIF_GPSLatitude[0] = 48;
  p.EXIF_GPSLatitude[1] = 30;
  p.EXIF_GPSLatitude[2] = 15.5;
  p.EXIF_GPSLongitudeRef = std::string("E\0", 2);
  p.EXIF_GPSLongitude[0] = 11;
  p.EXIF_GPSLongitude[1] = 15;
  p.EXIF_GPSLongitude[2] = 0;
  p.EXIF_GPSAltitudeRef = "0";
  p.EXIF_GPSAltitude = 519.5;
  p.EXIF_GPSMapDatum = "WGS-84";
  p.EXIF_GPSDateStamp = "2024:05:06";
}

void ExpectKnownEXIF(const TIOParamsVals& p, bool description) {
  EXPECT_TRUE(p.EXIF_HasEXIFData);
  if (description) {
    EXPECT_EQ(p.EXIF_ImageDescription, "A test scene");
  }
  EXPECT_EQ(p.EXIF_Make, "ZephorCam");
  EXPECT_EQ(p.EXIF_Model, "Model 7");
  EXPECT_EQ(p.EXIF_Orientation, 6);
  EXPECT_EQ(p.TIFF_Orientation, 6);
  EXPECT_DOUBLE_EQ(p.EXIF_XResolution, 72);
  EXPECT_EQ(p.DpiX, 72);
  EXPECT_EQ(p.EXIF_Software, "zephor");
  EXPECT_EQ(p.EXIF_DateTime, "2024:05:06 07:08:09");
  EXPECT_EQ(p.EXIF_Artist, "Someone");
  EXPECT_EQ(p.EXIF_Copyright, "(c) nobody");
  EXPECT_EQ(p.EXIF_Rating, 4);
  EXPECT_NEAR(p.EXIF_ExposureTime, 0.004, 1e-9);
  EXPECT_NEAR(p.EXIF_FNumber, 2.8, 1e-9);
  EXPECT_EQ(p.EXIF_ExposureProgram, 2);
  EXPECT_EQ(p.EXIF_ISOSpeedRatings[0], 200);
  EXPECT_EQ(p.EXIF_ExifVersion, "0230");
  EXPECT_NEAR(p.EXIF_ExposureBiasValue, -0.5, 1e-9);
  EXPECT_EQ(p.EXIF_Flash, 16);
  EXPECT_NEAR(p.EXIF_FocalLength, 35, 1e-9);
  EXPECT_EQ(p.EXIF_ColorSpace, 1);
  EXPECT_EQ(p.EXIF_PixelXDimension, 640u);
  EXPECT_EQ(p.EXIF_WhiteBalance, 1);
  EXPECT_EQ(p.EXIF_UserComment, u"Grüße");
  EXPECT_EQ(p.EXIF_XPTitle, u"Title");
  EXPECT_EQ(p.EXIF_XPAuthor, u"A");
  EXPECT_EQ(p.EXIF_GPSVersionID, "2.2.0.0");
  EXPECT_EQ(p.EXIF_GPSLatitudeRef, std::string("N\0", 2));
  EXPECT_NEAR(p.EXIF_GPSLatitude[2], 15.5, 1e-9);
  EXPECT_NEAR(p.EXIF_GPSLongitude[0], 11, 1e-9);
  EXPECT_EQ(p.EXIF_GPSAltitudeRef, "0");
  EXPECT_NEAR(p.EXIF_GPSAltitude, 519.5, 1e-9);
  EXPECT_EQ(p.EXIF_GPSMapDatum, "WGS-84");
  EXPECT_EQ(p.EXIF_GPSDateStamp, "2024:05:06");
  for (uint16_t tag : {0x829A, 0x829D, 0x8822, 0x9204, 0x9209, 0x920A, 0xA001, 0xA002, 0xA003})
    EXPECT_TRUE(p.HasEXIFTag(tag)) << tag;
}

std::vector<uint8_t> JpegWithMarkers(const std::vector<std::pair<uint8_t, std::vector<uint8_t>>>& markers,
                                     int w, int h) {
  TRVBitmap b;
  FillTestBitmap(b, w, h);
  TIOParamsVals p;
  for (const auto& [type, data] : markers)
    p.JPEG_MarkerList.AddMarker(type, data.data(), static_cast<int32_t>(data.size()));
  TMemoryStream s;
  TRVProgressRec progress;
  WriteJpegStream(s, b, p, progress);
  return s.Data();
}

bool ReadJpegWithEXIF(const std::vector<uint8_t>& data, TRVBitmap& bitmap, TIOParamsVals& params) {
  ExifHook hook;
  auto s = StreamOf(data);
  TRVProgressRec progress;
  ReadJpegStream(*s, nullptr, bitmap, false, -1, false, false, false, true, false, false, progress, params);
  return !progress.IsAborting();
}

}  // namespace rv::test
