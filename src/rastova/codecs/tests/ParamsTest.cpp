#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVBitmap.h"

namespace rv {
namespace {

class FakeOwner : public TIOParamsOwner {
 public:
  bool ParamsOwnerBitmapSize(int32_t& w, int32_t& h) override {
    w = 40;
    h = 30;
    return true;
  }
  void ParamsOwnerDpiChanged(bool horizontal, int32_t value) override { (horizontal ? lastX : lastY) = value; }
  int32_t lastX = -1, lastY = -1;
};

TEST(IOParamsVals, DefaultsOfTheTable) {
  TIOParamsVals p;
  EXPECT_EQ(p.DpiX, 0);
  EXPECT_EQ(p.DpiY, 0);
  EXPECT_EQ(p.Width, 0);
  EXPECT_EQ(p.Height, 0);
  EXPECT_EQ(p.BitsPerSample, 8);
  EXPECT_EQ(p.SamplesPerPixel, 3);
  EXPECT_EQ(p.GIF_Version, "GIF89a");
  EXPECT_EQ(p.JPEG_Quality, 80);
  EXPECT_EQ(p.JPEG_ColorSpace, 2);
  EXPECT_EQ(p.JPEG_ChromaSubsampling, 1);
  EXPECT_EQ(p.JPEG_Scale, 1);
  EXPECT_EQ(p.PNG_Compression, 5);
  EXPECT_DOUBLE_EQ(p.TGA_Gamma, 2.2);
  EXPECT_DOUBLE_EQ(p.TGA_AspectRatio, 1.0);
  EXPECT_TRUE(p.TGA_Compressed);
  EXPECT_EQ(p.PS_Title, "No Title");
  EXPECT_EQ(p.PS_PaperWidth, 595);
  EXPECT_EQ(p.PS_PaperHeight, 842);
  EXPECT_EQ(p.PDF_PaperWidth, 595);
  EXPECT_EQ(p.PDF_PaperHeight, 842);
  EXPECT_EQ(p.TIFF_SubIndex, -1);
  EXPECT_EQ(p.TIFF_Orientation, 1);
  EXPECT_EQ(p.EXIF_Orientation, 0);
  EXPECT_EQ(p.BMP_Version, 1);
  EXPECT_EQ(p.ICO_Sizes[0].cx, 64);
  EXPECT_EQ(p.ICO_BitCount[0], 8);
  EXPECT_EQ(p.ICO_BitCount[1], 0);
  EXPECT_EQ(p.ICO_Background, (TRGB{255, 255, 255}));
  EXPECT_EQ(p.RAWBMP_RowAlign, 8);
  EXPECT_DOUBLE_EQ(p.RAW_OutputGamma, 0.6);
  EXPECT_DOUBLE_EQ(p.HDP_ImageQuality, 0.9);
  EXPECT_TRUE(p.PSD_ReplaceViewLayers);
  EXPECT_EQ(p.TGA_Date, DateToday());
  EXPECT_DOUBLE_EQ(p.EXIF_DigitalZoomRatio, -1);
  EXPECT_DOUBLE_EQ(p.EXIF_BrightnessValue, -1000);
}

TEST(IOParamsVals, OwnerGivesSizeAndResolution) {
  FakeOwner owner;
  TIOParamsVals p(&owner);
  EXPECT_EQ(p.Width, 40);
  EXPECT_EQ(p.Height, 30);
  EXPECT_EQ(p.DpiX, 300);
  EXPECT_EQ(p.DpiY, 300);
  EXPECT_EQ(owner.lastX, 300);
  p.SetDpiX(72);
  EXPECT_EQ(owner.lastX, 72);
  EXPECT_DOUBLE_EQ(p.EXIF_XResolution, 72.0);
}

TEST(IOParamsVals, SettersKeepCopiesTogether) {
  TIOParamsVals p;
  p.SetImageIndex(3);
  for (int32_t v : {p.ImageIndex, p.TIFF_ImageIndex, p.GIF_ImageIndex, p.ICO_ImageIndex, p.CUR_ImageIndex,
                    p.DCX_ImageIndex})
    EXPECT_EQ(v, 3);
  p.SetImageCount(5);
  for (int32_t v : {p.ImageCount, p.TIFF_ImageCount, p.AVI_FrameCount, p.GIF_ImageCount}) EXPECT_EQ(v, 5);
  p.SetTIFF_Orientation(6);
  EXPECT_EQ(p.EXIF_Orientation, 6);
  p.SetEXIF_Orientation(3);
  EXPECT_EQ(p.TIFF_Orientation, 3);
  p.SetGetEXIFThumbnail(true);
  EXPECT_TRUE(p.GetThumbnail);
  EXPECT_TRUE(p.JPEG_GetExifThumbnail);
  p.SetEXIF_XResolution(299.7);
  EXPECT_EQ(p.DpiX, 299);
  EXPECT_DOUBLE_EQ(p.EXIF_XResolution, 299.7);
  p.SetEXIF_YResolution(std::nan(""));
  EXPECT_EQ(p.DpiY, 0);
}

TEST(IOParamsVals, AssignCopiesColorMapListsAndProfiles) {
  TIOParamsVals a, b;
  a.SetColorMapCount(256);
  for (int i = 0; i < 256; ++i) a.ColorMap[size_t(i)] = TRGB{uint8_t(i), 1, 2};
  a.PNG_TextKeys = {"Author"};
  a.JPEG_MarkerList.AddMarker(0xFE, "hi", 2);
  a.IPTC_Info.AddItem(2, 120, "abc", 3);
  a.EXIF_Thumbnail = std::make_unique<TRVBitmap>(4, 3, rv24RGB);
  a.SetEXIF_FNumber(2.8);
  a.GetOutputICCProfile();
  a.DICOM_Tags.AddTag(0x0028, 0x0010, 0, nullptr, "US");
  b.Assign(a);
  a.DICOM_Tags.Clear();
  EXPECT_EQ(b.DICOM_Tags.Count(), 1);
  EXPECT_EQ(b.ColorMapCount, 256);
  ASSERT_EQ(b.ColorMap.size() * sizeof(TRGB), 768u);
  EXPECT_EQ(b.ColorMap[200].b, 200);
  EXPECT_EQ(b.PNG_TextKeys, a.PNG_TextKeys);
  EXPECT_EQ(b.JPEG_MarkerList.Count(), 1);
  EXPECT_EQ(b.IPTC_Info.GetStrings(0), "abc");
  ASSERT_TRUE(b.EXIF_Thumbnail);
  EXPECT_EQ(b.EXIF_Thumbnail->GetWidth(), 4);
  EXPECT_TRUE(b.HasEXIFTag(0x829D));
  EXPECT_TRUE(b.HasOutputICCProfile());
  EXPECT_TRUE(b.GetOutputICCProfile().IsValid());
  EXPECT_FALSE(b.HasInputICCProfile());

  TIOParamsVals empty;
  b.Assign(empty);
  EXPECT_EQ(b.ColorMapCount, 0);
  EXPECT_TRUE(b.ColorMap.empty());
  EXPECT_FALSE(b.EXIF_Thumbnail);
  EXPECT_EQ(b.DICOM_Tags.Count(), 0);
}

TEST(IOParamsVals, ResetInfoKeepsWriteSettings) {
  TIOParamsVals p;
  p.PNG_Compression = 9;
  p.JPEG_Quality = 55;
  p.PNG_TextKeys = {"k"};
  p.PNG_TextValues = {"v"};
  p.TGA_Author = "someone";
  p.XMP_Info = "x";
  p.GetInputICCProfile();
  p.DICOM_Tags.AddTag(0x0028, 0x0010, 0, nullptr, "US");
  p.ResetInfo();
  EXPECT_EQ(p.DICOM_Tags.Count(), 0);
  EXPECT_EQ(p.PNG_Compression, 9);
  EXPECT_EQ(p.JPEG_Quality, 55);
  EXPECT_TRUE(p.PNG_TextKeys.empty());
  EXPECT_TRUE(p.PNG_TextValues.empty());
  EXPECT_TRUE(p.TGA_Author.empty());
  EXPECT_TRUE(p.XMP_Info.empty());
  EXPECT_FALSE(p.HasInputICCProfile());
  p.SetDefaultParams();
  EXPECT_EQ(p.PNG_Compression, 5);
}

// The IPTC flag tells the JPEG writer to re-encode the IPTC marker: only an edit of the records
// sets it, never a reset of the parameters, and a copy carries its source's flag.
TEST(IOParamsVals, OnlyEditsMarkTheIPTCRecordsChanged) {
  TIOParamsVals p;
  EXPECT_FALSE(p.IPTC_Info.Changed);
  p.IPTC_Info.AddItem(2, 120, "abc", 3);
  EXPECT_TRUE(p.IPTC_Info.Changed);
  p.ResetInfo();
  EXPECT_EQ(p.IPTC_Info.Count(), 0);
  EXPECT_FALSE(p.IPTC_Info.Changed);
  p.IPTC_Info.AddItem(2, 120, "abc", 3);
  p.SetDefaultParams();
  EXPECT_EQ(p.IPTC_Info.Count(), 0);
  EXPECT_FALSE(p.IPTC_Info.Changed);
  p.IPTC_Info.Clear();  // the user's own emptying is an edit
  EXPECT_TRUE(p.IPTC_Info.Changed);

  TIOParamsVals loaded, edited, copy;
  const uint8_t records[] = {0x1C, 2, 120, 0, 3, 'a', 'b', 'c'};
  ASSERT_TRUE(loaded.IPTC_Info.LoadFromBuffer(records, sizeof records));
  ASSERT_FALSE(loaded.IPTC_Info.Changed);
  copy.Assign(loaded);
  EXPECT_EQ(copy.IPTC_Info.GetStrings(0), "abc");
  EXPECT_FALSE(copy.IPTC_Info.Changed);
  edited.IPTC_Info.AddItem(2, 5, "t", 1);
  copy.Assign(edited);
  EXPECT_TRUE(copy.IPTC_Info.Changed);
}

TEST(IOParamsVals, ListedEXIFTags) {
  TIOParamsVals p;
  p.SetEXIF_ExposureTime(0.004);
  p.SetEXIF_ExposureTime(0.004);
  EXPECT_EQ(std::count(p.EXIF_Tags.begin(), p.EXIF_Tags.end(), 0x829A), 1);
  p.SetEXIF_ExposureTime(-1);
  EXPECT_FALSE(p.HasEXIFTag(0x829A));
  p.SetEXIF_CompressedBitsPerPixel(0);
  EXPECT_FALSE(p.HasEXIFTag(0x9102));
  p.SetEXIF_BrightnessValue(-1);
  EXPECT_TRUE(p.HasEXIFTag(0x9203));
  p.SetEXIF_BrightnessValue(std::nan(""));
  EXPECT_FALSE(p.HasEXIFTag(0x9203));
  p.SetEXIF_PixelXDimension(0);
  EXPECT_FALSE(p.HasEXIFTag(0xA002));
  p.SetEXIF_PixelXDimension(640);
  EXPECT_TRUE(p.HasEXIFTag(0xA002));
  p.SetEXIF_ISOSpeedRatings(1, 200);
  EXPECT_EQ(p.GetEXIF_ISOSpeedRatings(1), 200);
  p.SetEXIF_ISOSpeedRatings(7, 1);  // outside: ignored
  EXPECT_EQ(p.GetEXIF_ISOSpeedRatings(7), 0);

  p.EXIF_DigitalZoomRatio = 2;
  p.ResetEXIF();
  EXPECT_TRUE(p.EXIF_Tags.empty());
  EXPECT_EQ(p.GetEXIF_ISOSpeedRatings(0), 0);
  EXPECT_EQ(p.GetEXIF_ISOSpeedRatings(1), 0);
  EXPECT_DOUBLE_EQ(p.EXIF_DigitalZoomRatio, -1);
}

TEST(IOParamsVals, ResetEXIFDropsOnlyTheFirstEXIFSegment) {
  TIOParamsVals p;
  const char exif1[] = "Exif\0\0first";
  const char exif2[] = "Exif\0\0second";
  p.JPEG_MarkerList.AddMarker(0xE1, "http://ns.adobe.com/xap/1.0/", 29);
  p.JPEG_MarkerList.AddMarker(0xE1, exif1, sizeof exif1);
  p.JPEG_MarkerList.AddMarker(0xE1, exif2, sizeof exif2);
  p.ResetEXIF();
  ASSERT_EQ(p.JPEG_MarkerList.Count(), 2);
  EXPECT_EQ(std::memcmp(p.JPEG_MarkerList.GetMarkerData(1), exif2, sizeof exif2), 0);
}

}  // namespace
}  // namespace rv
