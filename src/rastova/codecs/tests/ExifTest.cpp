// The EXIF glue and the tag mapping: blocks built and read back, what exiftool reads of our JPEG
// and TIFF output and what we read of its, the edge cases of the tag tables, the injection into
// a two-page file, and damaged EXIF segments.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <sstream>

#include "ExifTools.h"
#include "rastova/core/RVTIFFHandler.h"

namespace rv {
namespace {

using namespace test;

class Exif : public TiffTest {};

// The structure of a block built without its header, for inspecting entries.
struct Built {
  std::vector<uint8_t> bytes;
  TRVTIFFHandler h;
  explicit Built(TIOParamsVals& p) : bytes(BuildEXIFBlock(p, false)) {
    TRVMemStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
    h.LoadFromStream(s);
  }
  // The entry of `tag` in page 0 or in the sub-IFD of `pointer`; nullptr when absent.
  const TRVTIFFEntry* Find(uint16_t tag, uint16_t pointer = 0) {
    if (h.PageCount() == 0) return nullptr;
    TRVTIFFEntryList* list = &h.Page(0);
    if (pointer) {
      const int32_t i = TRVTIFFHandler::FindTagInList(*list, pointer);
      if (i < 0 || !list->entries[size_t(i)].sub) return nullptr;
      list = list->entries[size_t(i)].sub.get();
    }
    const int32_t i = TRVTIFFHandler::FindTagInList(*list, tag);
    return i < 0 ? nullptr : &list->entries[size_t(i)];
  }
};

TEST_F(Exif, BlockBuiltAndReadBackKeepsEveryField) {
  TIOParamsVals p;
  FillKnownEXIF(p);
  p.EXIF_Thumbnail = std::make_unique<TRVBitmap>();
  FillTestBitmap(*p.EXIF_Thumbnail, 40, 30);
  const std::vector<uint8_t> block = BuildEXIFBlock(p, true);
  ASSERT_GT(block.size(), 6u);
  EXPECT_EQ(std::string(block.begin(), block.begin() + 6), std::string("Exif\0\0", 6));
  TIOParamsVals q;
  ASSERT_TRUE(ReadEXIFMarker(block.data(), static_cast<int32_t>(block.size()), q));
  ExpectKnownEXIF(q);
  // The thumbnail comes back as a JPEG of its size, turned upright by orientation 6.
  ASSERT_TRUE(q.EXIF_Thumbnail);
  EXPECT_EQ(q.EXIF_Thumbnail->GetWidth(), 30);
  EXPECT_EQ(q.EXIF_Thumbnail->GetHeight(), 40);
}

TEST_F(Exif, TagTableEdgeCases) {
  TIOParamsVals p;
  p.EXIF_HasEXIFData = true;
  p.EXIF_GPSVersionID = "2.2.0.0";
  p.EXIF_GPSLatitudeRef = std::string("N\0", 2);
  p.EXIF_XPTitle = u"A";
  p.EXIF_UserComment = u"hello";  // an empty code counts as UNICODE
  Built b(p);
  const TRVTIFFEntry* version = b.Find(0, 34853);
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version->count, 4u);
  EXPECT_EQ(std::vector<uint8_t>(version->value, version->value + 4), (std::vector<uint8_t>{2, 2, 0, 0}));
  const TRVTIFFEntry* ref = b.Find(1, 34853);
  ASSERT_NE(ref, nullptr);
  EXPECT_EQ(ref->count, 2u);
  const TRVTIFFEntry* title = b.Find(40091);
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->count, 4u);
  EXPECT_EQ(title->value[0], 'A');
  const TRVTIFFEntry* comment = b.Find(37510, 34665);
  ASSERT_NE(comment, nullptr);
  EXPECT_EQ(comment->count, 2u * 5 + 10);
  EXPECT_EQ(std::string(comment->data.begin(), comment->data.begin() + 8), std::string("UNICODE\0", 8));
  // Parameters without YCbCrPositioning write none; the orientation is always written.
  EXPECT_EQ(b.Find(531), nullptr);
  EXPECT_NE(b.Find(274), nullptr);
  // A code that is neither UNICODE nor ASCII: the code and the text as 8-bit characters.
  p.EXIF_UserCommentCode = std::string("JIS\0\0\0\0\0", 8);
  Built c(p);
  const TRVTIFFEntry* jis = c.Find(37510, 34665);
  ASSERT_NE(jis, nullptr);
  EXPECT_EQ(jis->count, 5u + 9);
  EXPECT_EQ(std::string(jis->data.begin() + 8, jis->data.end()), std::string("hello\0", 6));
  TIOParamsVals q;
  ASSERT_TRUE(ReadEXIFMarker(BuildEXIFBlock(p, true).data(),
                             static_cast<int32_t>(BuildEXIFBlock(p, true).size()), q));
  EXPECT_EQ(q.EXIF_UserComment, u"hello");
  EXPECT_EQ(q.EXIF_UserCommentCode, std::string("JIS\0\0\0\0\0", 8));
}

// User comments as stored: (bytes after the 8-byte code, expected text).
TEST_F(Exif, UserCommentsOfEveryShape) {
  struct Case {
    const char* what;
    std::vector<uint8_t> value;
    std::string code;
    std::u16string text;
  } cases[] = {
      {"8 bytes only", {'A', 'S', 'C', 'I', 'I', 0, 0, 0}, std::string("UNICODE\0", 8), u""},
      {"ASCII", {'A', 'S', 'C', 'I', 'I', 0, 0, 0, 'h', 'i', 0}, std::string("ASCII\0\0\0", 8), u"hi"},
      {"UNICODE odd length",
       {'U', 'N', 'I', 'C', 'O', 'D', 'E', 0, 'h', 0, 'i', 0, 'x'},
       std::string("UNICODE\0", 8),
       u"hi"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // IFD 0 points at IFD 1, the EXIF IFD, which follows it (the builder puts the IFDs after
    // the data, in order).
    TiffBuilder t;
    t.Entry(256, 3, {4});
    t.Entry(257, 3, {4});
    t.RawEntry(34665, 4, 1, 0);
    t.NextIFD();
    t.Entry(37510, 7, std::vector<uint32_t>(c.value.begin(), c.value.end()));
    std::vector<uint8_t> merged = t.Bytes({-1, -1});
    const uint32_t ifd0 = merged[4] | (merged[5] << 8) | (merged[6] << 16) | (uint32_t(merged[7]) << 24);
    const uint32_t ifd1 = ifd0 + 2 + 3 * 12 + 4;
    for (int i = 0; i < 4; ++i) merged[ifd0 + 2 + 2 * 12 + 8 + i] = uint8_t(ifd1 >> (8 * i));
    auto r = ReadTiff(merged, 0, false, true);
    EXPECT_TRUE(r->params.EXIF_HasEXIFData);
    EXPECT_EQ(r->params.EXIF_UserCommentCode, c.code);
    EXPECT_EQ(r->params.EXIF_UserComment, c.text);
  }
}

TEST_F(Exif, ExifToolReadsOurJpegAndTiff) {
  if (!HaveExifTool()) GTEST_SKIP() << "exiftool (libimage-exiftool-perl) missing";
  TempDir dir;
  TIOParamsVals p;
  FillKnownEXIF(p);
  p.EXIF_Thumbnail = std::make_unique<TRVBitmap>();
  FillTestBitmap(*p.EXIF_Thumbnail, 48, 32);
  // JPEG: the block as the APP1 marker the front end stores.
  const std::vector<uint8_t> block = BuildEXIFBlock(p, true);
  WriteFileBytes(dir.File("a.jpg"), JpegWithMarkers({{0xE1, block}}));
  // TIFF: the writer's EXIF mode.
  TRVBitmap b;
  FillTestBitmap(b, 20, 10);
  WriteFileBytes(dir.File("a.tif"), WriteTiff(b, p));
  for (const char* name : {"a.jpg", "a.tif"}) {
    SCOPED_TRACE(name);
    auto tags = ExifToolTags(dir.File(name));
    EXPECT_EQ(tags["IFD0:Make"], "ZephorCam");
    EXPECT_EQ(tags["IFD0:Model"], "Model 7");
    EXPECT_EQ(tags["IFD0:Orientation"], "6");
    EXPECT_EQ(tags["IFD0:Artist"], "Someone");
    EXPECT_EQ(tags["IFD0:Rating"], "4");
    EXPECT_EQ(tags["IFD0:XPTitle"], "Title");
    EXPECT_EQ(tags["ExifIFD:ExposureTime"], "0.004");
    EXPECT_EQ(tags["ExifIFD:FNumber"], "2.8");
    EXPECT_EQ(tags["ExifIFD:ISO"], "200");
    EXPECT_EQ(tags["ExifIFD:ExposureCompensation"], "-0.5");
    EXPECT_EQ(tags["ExifIFD:UserComment"], "Grüße");
    EXPECT_EQ(tags["ExifIFD:ExifImageWidth"], "640");
    EXPECT_EQ(tags["GPS:GPSVersionID"], "2 2 0 0");
    EXPECT_EQ(tags["GPS:GPSLatitudeRef"], "N");
    EXPECT_EQ(tags["GPS:GPSLatitude"], "48.5043055555556");
    EXPECT_EQ(tags["GPS:GPSAltitude"], "519.5");
    EXPECT_EQ(tags["GPS:GPSMapDatum"], "WGS-84");
  }
  // The thumbnail of IFD 1 is a JPEG exiftool can extract.
  ASSERT_TRUE(
      RunCommand("exiftool -b -ThumbnailImage '" + dir.File("a.jpg") + "' > '" + dir.File("t.jpg") + "'"));
  int w = 0, h = 0;
  std::vector<uint8_t> rgba;
  if (HaveMagick()) {
    ASSERT_TRUE(MagickDecode(dir.File("t.jpg"), w, h, rgba));
    EXPECT_EQ(w, 48);
    EXPECT_EQ(h, 32);
  }
}

TEST_F(Exif, WeReadWhatExifToolWrites) {
  if (!HaveExifTool() || !HavePillow()) GTEST_SKIP() << "exiftool or Pillow missing";
  TempDir dir;
  std::ostringstream script;
  script << "from PIL import Image\nim = Image.new('RGB', (40, 30), (10, 200, 30))\n"
         << "im.save('" << dir.File("e.jpg") << "')\nim.save('" << dir.File("e.tif") << "')\n";
  ASSERT_TRUE(RunPython(script.str()));
  const std::string args =
      "exiftool -q -overwrite_original -Make=Cam -Model=M1 -Orientation#=8 -ExposureTime=1/250 -FNumber=4 "
      "-ISO=400 -ExposureCompensation=-1 -GPSVersionID='2 2 0 0' -GPSLatitude=48.5 -GPSLatitudeRef=N "
      "-GPSLongitude=11.25 -GPSLongitudeRef=E -XPTitle=Hello -UserComment=Note ";
  for (const char* name : {"e.jpg", "e.tif"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(RunCommand(args + "'" + dir.File(name) + "'"));
    const std::vector<uint8_t> data = ReadFileBytes(dir.File(name));
    TIOParamsVals p;
    TRVBitmap b;
    if (std::string(name) == "e.jpg") {
      ASSERT_TRUE(ReadJpegWithEXIF(data, b, p));
    } else {
      auto r = ReadTiff(data);
      ASSERT_TRUE(r->ok);
      p.Assign(r->params);
    }
    EXPECT_TRUE(p.EXIF_HasEXIFData);
    EXPECT_EQ(p.EXIF_Make, "Cam");
    EXPECT_EQ(p.EXIF_Model, "M1");
    EXPECT_EQ(p.EXIF_Orientation, 8);
    EXPECT_NEAR(p.EXIF_ExposureTime, 0.004, 1e-9);
    EXPECT_NEAR(p.EXIF_FNumber, 4, 1e-9);
    EXPECT_EQ(p.EXIF_ISOSpeedRatings[0], 400);
    EXPECT_NEAR(p.EXIF_ExposureBiasValue, -1, 1e-9);
    EXPECT_EQ(p.EXIF_GPSVersionID, "2.2.0.0");
    EXPECT_NEAR(p.EXIF_GPSLatitude[0] + p.EXIF_GPSLatitude[1] / 60 + p.EXIF_GPSLatitude[2] / 3600, 48.5,
                1e-6);
    EXPECT_EQ(p.EXIF_GPSLatitudeRef.substr(0, 1), "N");
    EXPECT_EQ(p.EXIF_XPTitle, u"Hello");
    EXPECT_EQ(p.EXIF_UserComment, u"Note");
  }
}

// IPTC, XMP, annotations and the ICC profile go into a TIFF page and come back.
TEST_F(Exif, BlocksTravelThroughATiffPage) {
  TIOParamsVals p;
  p.IPTC_Info.AddItem(2, 120, "caption", 7);  // odd length: padded to whole LONG items
  p.XMP_Info = "<x:xmpmeta>test</x:xmpmeta>";
  TRVImagingObject& mark = p.GetImagingAnnot().AddObject();
  mark.SetMarkType(3);
  mark.Points = {{1, 2}, {3, 4}};
  {
    // A profile with bytes of its own (the built-in sRGB has none to store).
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsUInt32Number n = 0;
    cmsSaveProfileToMem(srgb, nullptr, &n);
    std::vector<uint8_t> icc(n);
    cmsSaveProfileToMem(srgb, icc.data(), &n);
    cmsCloseProfile(srgb);
    p.GetInputICCProfile().LoadFromBuffer(icc.data(), n);
  }
  TRVBitmap b;
  FillTestBitmap(b, 12, 9);
  auto r = ReadTiff(WriteTiff(b, p));
  ASSERT_TRUE(r->ok);
  bool caption = false;
  for (int32_t i = 0; i < r->params.IPTC_Info.Count(); ++i)
    caption |= r->params.IPTC_Info.GetDataSet(i) == 120;
  EXPECT_TRUE(caption);
  EXPECT_EQ(r->params.XMP_Info, p.XMP_Info);
  ASSERT_TRUE(r->params.HasImagingAnnot());
  ASSERT_EQ(r->params.GetImagingAnnot().Count(), 1);
  EXPECT_EQ(r->params.GetImagingAnnot().GetObject(0).Points.size(), 2u);
  EXPECT_TRUE(r->params.GetInputICCProfile().IsValid());
  // The parameters copy the annotations and the MakerNote, and a reset drops them.
  TIOParamsVals copy;
  r->params.EXIF_MakerNote.InternalStream().WriteBuffer(
      "\x01\x00\x01\x00\x03\x00\x01\x00\x00\x00\x05\x00\x00\x00", 14);
  r->params.EXIF_MakerNote.IndexEntries();
  copy.Assign(r->params);
  EXPECT_EQ(copy.GetImagingAnnot().Count(), 1);
  EXPECT_EQ(copy.EXIF_MakerNote.EntryCount(), 1);
  copy.ResetInfo();
  EXPECT_FALSE(copy.HasImagingAnnot());
  EXPECT_EQ(copy.EXIF_MakerNote.EntryCount(), 0);
}

TEST_F(Exif, PageWithoutExifClearsTheFieldsButKeepsTheFlag) {
  TIOParamsVals p;
  FillKnownEXIF(p);
  TRVBitmap b;
  FillTestBitmap(b, 8, 8);
  TIOParamsVals plain;
  const std::vector<uint8_t> file = WriteTiff(b, plain);
  auto s = StreamOf(file);
  TRVProgressRec progress;
  std::unique_ptr<TRVMask> mask;
  int32_t pages = 0;
  ReadTIFFStream(b, *s, pages, false, false, true, mask, true, progress, p);
  EXPECT_TRUE(p.EXIF_HasEXIFData);
  EXPECT_EQ(p.EXIF_Make, "");
  EXPECT_DOUBLE_EQ(p.EXIF_ExposureTime, -1);
  EXPECT_EQ(p.EXIF_ISOSpeedRatings[0], 0);
  EXPECT_EQ(p.EXIF_GPSVersionID, "");
  EXPECT_FALSE(p.HasEXIFTag(0x829A));
}

TEST_F(Exif, FindTIFFHeaderSkipsHeadersThatPointOutside) {
  std::vector<uint8_t> data(12, 0x55);
  // "MM", 42, an offset past the end: skipped.
  const uint8_t bad[8] = {'M', 'M', 0, 42, 0x7F, 0, 0, 0};
  std::copy(bad, bad + 8, data.begin() + 2);
  const uint8_t good[8] = {'I', 'I', 42, 0, 8, 0, 0, 0};
  data.insert(data.end(), good, good + 8);
  data.resize(64, 0);
  auto s = StreamOf(data);
  s->SetPosition(0);
  EXPECT_EQ(FindTIFFHeader(*s), 12);
  EXPECT_EQ(s->GetPosition(), 0);
  const std::vector<uint8_t> none(100, 0);
  auto t = StreamOf(none);
  EXPECT_EQ(FindTIFFHeader(*t), -1);
}

// A thumbnail directory as cameras and exiftool write it gives only the JPEG's offset and length,
// no width or height: the thumbnail is read from a JPEG, kept when the JPEG is saved again, and
// read from a camera raw file's EXIF structure.
TEST_F(Exif, ThumbnailsWithoutSizeTagsAreKept) {
  if (!HaveExifTool() || !HavePillow() || !HaveMagick()) GTEST_SKIP() << "exiftool, Pillow or ImageMagick missing";
  TempDir dir;
  std::ostringstream script;
  script << kPyTestPixel << "from PIL import Image\nim = Image.new('RGB', (64, 48))\n"
         << "im.putdata([px(x, y)[:3] for y in range(48) for x in range(64)])\n"
         << "im.save('" << dir.File("e.jpg") << "')\nim.resize((40, 30)).save('" << dir.File("t.jpg") << "')\n";
  ASSERT_TRUE(RunPython(script.str()));
  ASSERT_TRUE(RunCommand("exiftool -q -overwrite_original -Make=Cam '-ThumbnailImage<=" + dir.File("t.jpg") +
                         "' '" + dir.File("e.jpg") + "'"));
  auto tags = ExifToolTags(dir.File("e.jpg"));
  ASSERT_TRUE(tags.count("IFD1:ThumbnailLength"));
  EXPECT_FALSE(tags.count("IFD1:ImageWidth"));
  const std::vector<uint8_t> data = ReadFileBytes(dir.File("e.jpg"));
  TIOParamsVals p;
  TRVBitmap b;
  ASSERT_TRUE(ReadJpegWithEXIF(data, b, p));
  EXPECT_EQ(p.EXIF_Make, "Cam");
  ASSERT_TRUE(p.EXIF_Thumbnail);
  EXPECT_EQ(p.EXIF_Thumbnail->GetWidth(), 40);
  EXPECT_EQ(p.EXIF_Thumbnail->GetHeight(), 30);
  // Saved again with the block the parameters give (as the I/O front end saves a JPEG).
  WriteFileBytes(dir.File("a.jpg"), JpegWithMarkers({{0xE1, BuildEXIFBlock(p, true)}}));
  ASSERT_TRUE(
      RunCommand("exiftool -b -ThumbnailImage '" + dir.File("a.jpg") + "' > '" + dir.File("t2.jpg") + "'"));
  int w = 0, h = 0;
  std::vector<uint8_t> rgba;
  ASSERT_TRUE(MagickDecode(dir.File("t2.jpg"), w, h, rgba));
  EXPECT_EQ(w, 40);
  EXPECT_EQ(h, 30);
  // The same EXIF structure inside a camera raw file, after bytes of the raw container.
  const uint8_t exifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
  const auto at = std::search(data.begin(), data.end(), exifHeader, exifHeader + 6);
  ASSERT_NE(at, data.end());
  std::vector<uint8_t> raw(100, 0x20);
  raw.insert(raw.end(), at + 6, data.end());
  auto stream = StreamOf(raw);
  ASSERT_EQ(FindTIFFHeader(*stream), 100);
  stream->SetPosition(100);
  TIOParamsVals q;
  ASSERT_TRUE(ReadRawEXIF(*stream, q));
  EXPECT_EQ(q.EXIF_Make, "Cam");
  ASSERT_TRUE(q.EXIF_Thumbnail);
  EXPECT_EQ(q.EXIF_Thumbnail->GetWidth(), 40);
  EXPECT_EQ(q.EXIF_Thumbnail->GetHeight(), 30);
}

TEST_F(Exif, RawExifKeepsTheNarrowerImage) {
  TMemoryStream file;
  TRVProgressRec progress;
  TIOParamsVals first;
  first.EXIF_HasEXIFData = true;
  first.EXIF_Make = "RawCam";
  TRVBitmap wide, narrow;
  FillTestBitmap(wide, 160, 20);
  FillTestBitmap(narrow, 120, 20);
  WriteTIFFStream(file, false, &wide, nullptr, progress, first);
  TIOParamsVals second;
  second.SetImageIndex(1);
  file.SetPosition(0);
  WriteTIFFStream(file, true, &narrow, nullptr, progress, second);
  ASSERT_FALSE(progress.IsAborting());
  file.SetPosition(0);
  TIOParamsVals p;
  ASSERT_TRUE(ReadRawEXIF(file, p));
  EXPECT_EQ(file.GetPosition(), 0);
  EXPECT_EQ(p.EXIF_Make, "RawCam");
  ASSERT_TRUE(p.EXIF_Thumbnail);
  EXPECT_EQ(p.EXIF_Thumbnail->GetWidth(), 120);
}

TEST_F(Exif, InjectionIntoOnePageOfATwoPageFile) {
  TMemoryStream file;
  TRVProgressRec progress;
  TRVBitmap a, b;
  FillTestBitmap(a, 30, 20);
  FillTestBitmap(b, 25, 15);
  TIOParamsVals p0;
  WriteTIFFStream(file, false, &a, nullptr, progress, p0);
  TIOParamsVals p1;
  p1.SetImageIndex(1);
  file.SetPosition(0);
  WriteTIFFStream(file, true, &b, nullptr, progress, p1);
  ASSERT_FALSE(progress.IsAborting());
  TIOParamsVals exif;
  FillKnownEXIF(exif);
  file.SetPosition(0);
  ASSERT_TRUE(InjectTIFFEXIF(&file, &file, "", exif, 1, ""));
  const std::vector<uint8_t> out = file.Data();
  auto page0 = ReadTiff(out, 0);
  auto page1 = ReadTiff(out, 1);
  ASSERT_TRUE(page0->ok);
  ASSERT_TRUE(page1->ok);
  EXPECT_EQ(page0->pages, 2);
  EXPECT_FALSE(page0->params.EXIF_HasEXIFData);
  EXPECT_EQ(page0->params.EXIF_Make, "");
  ExpectPicture(page0->bitmap, 30, 20, false, "page 0");
  ExpectKnownEXIF(page1->params, false);
  ExpectPicture(page1->bitmap, 25, 15, false, "page 1");

  // A big-endian target cannot take the little-endian block's tags: refused, nothing written.
  const std::vector<uint8_t> bigEndian = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 1, 0, 0, 3,
                                          0,   0,   0, 1,  0, 7, 0, 0, 0, 0, 0, 0, 0, 0};
  auto target = StreamOf(bigEndian);
  EXPECT_FALSE(InjectTIFFEXIF(target.get(), target.get(), "", exif, 0, ""));
  EXPECT_EQ(BytesOf(*target), bigEndian);
}

// A JPEG whose EXIF segment is damaged still loads, with no EXIF or no thumbnail.
TEST_F(Exif, DamagedExifSegmentsInJpeg) {
  TIOParamsVals full;
  FillKnownEXIF(full);
  full.EXIF_Thumbnail = std::make_unique<TRVBitmap>();
  FillTestBitmap(*full.EXIF_Thumbnail, 40, 30);
  const std::vector<uint8_t> good = BuildEXIFBlock(full, true);
  // The block with the offset of IFD 0 pointing past its end.
  std::vector<uint8_t> pastEnd = good;
  pastEnd[10] = 0xFF;
  pastEnd[11] = 0xFF;
  // The thumbnail's JPEG cut away: the block ends inside IFD 1's data.
  TIOParamsVals noThumb;
  FillKnownEXIF(noThumb);
  const size_t withoutThumb = BuildEXIFBlock(noThumb, true).size();
  std::vector<uint8_t> cutThumb(good.begin(), good.begin() + static_cast<long>(withoutThumb + 60));
  // Mutated bytes inside the entries.
  std::vector<uint8_t> mutated = good;
  for (size_t i = 20; i < std::min<size_t>(mutated.size(), 400); i += 7) mutated[i] ^= 0xA5;
  struct Case {
    const char* what;
    std::vector<uint8_t> app1;
    bool exif;
  } cases[] = {
      {"5-byte Exif", {'E', 'x', 'i', 'f', 0}, false},
      {"header only", {'E', 'x', 'i', 'f', 0, 0}, true},
      {"IFD offset past the block", pastEnd, true},
      {"thumbnail cut", cutThumb, true},
      {"mutated", mutated, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TRVBitmap b;
    TIOParamsVals p;
    ASSERT_TRUE(ReadJpegWithEXIF(JpegWithMarkers({{0xE1, c.app1}}), b, p));
    EXPECT_EQ(b.GetWidth(), 32);
    EXPECT_EQ(p.EXIF_HasEXIFData, c.exif);
    EXPECT_TRUE(!p.EXIF_Thumbnail || p.EXIF_Thumbnail->IsEmpty() || p.EXIF_Thumbnail->GetWidth() <= 40);
  }
}

}  // namespace
}  // namespace rv
