// JPEG 2000 and DICOM through the component: saves and loads by extension, stream detection,
// parameters only, the conversion before writing and DICOM's read-only row.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "IoTestTools.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RastovaIO.h"

namespace rv {
namespace {

using iotest::TempDir;
using iotest::TestPixel;

void FillPictureRows(TRVBitmap& b, int w, int h) {
  ASSERT_TRUE(b.Allocate(w, h, rv24RGB));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const iotest::Rgba p = TestPixel(x, y);
      uint8_t* q = b.GetScanLine(y) + 3 * x;
      q[0] = p.b;
      q[1] = p.g;
      q[2] = p.r;
    }
}

bool SamePicture(TRVBitmap& a, TRVBitmap& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() || a.GetPixelFormat() != b.GetPixelFormat())
    return false;
  for (int y = 0; y < a.GetHeight(); ++y)
    if (std::memcmp(a.GetScanLine(y), b.GetScanLine(y), size_t(a.GetWidth()) * 3) != 0) return false;
  return true;
}

// A small explicit little-endian DICOM file: 2 frames of 3 x 2 8-bit grey samples.
std::vector<uint8_t> SmallDicom() {
  std::vector<uint8_t> f(128, 0);
  auto put = [&](std::initializer_list<uint8_t> b) { f.insert(f.end(), b); };
  auto us = [&](uint8_t element, uint8_t value) { put({0x28, 0, element, 0, 'U', 'S', 2, 0, value, 0}); };
  put({'D', 'I', 'C', 'M'});
  const std::string ts = "1.2.840.10008.1.2.1";
  put({2, 0, 0x10, 0, 'U', 'I', uint8_t(ts.size() + 1), 0});
  f.insert(f.end(), ts.begin(), ts.end());
  put({0});
  us(0x02, 1);
  put({0x28, 0, 0x04, 0, 'C', 'S', 12, 0});
  for (char c : std::string("MONOCHROME2 ")) f.push_back(uint8_t(c));
  put({0x28, 0, 0x08, 0, 'I', 'S', 2, 0, '2', ' '});
  us(0x10, 2);
  us(0x11, 3);
  f.insert(f.end(), {0x28, 0, 0x00, 0x01, 'U', 'S', 2, 0, 8, 0});
  f.insert(f.end(), {0x28, 0, 0x01, 0x01, 'U', 'S', 2, 0, 8, 0});
  put({0xE0, 0x7F, 0x10, 0, 'O', 'W', 0, 0, 12, 0, 0, 0});
  for (int i = 0; i < 12; ++i) f.push_back(uint8_t(i * 20));
  return f;
}

TEST(J2000IO, SavedFilesLoadBackByExtensionAndContent) {
  TempDir dir;
  TRVBitmap picture;
  FillPictureRows(picture, 21, 14);
  for (const char* name : {"a.jp2", "b.j2k", "c.jpc", "d.j2c"}) {
    SCOPED_TRACE(name);
    TRVBitmap work;
    work.Assign(&picture);
    TRastovaIO io(&work);
    io.SaveToFile(dir.File(name));
    ASSERT_FALSE(io.Aborting);
    const int32_t type = std::string(name) == "a.jp2" ? ioJP2 : ioJ2K;
    EXPECT_EQ(io.Params.FileType, type);
    EXPECT_EQ(FindFileFormat(dir.File(name), true), type);
    TRVBitmap loaded;
    TRastovaIO reader(&loaded);
    reader.LoadFromFile(dir.File(name));
    ASSERT_FALSE(reader.Aborting);
    EXPECT_EQ(reader.Params.FileType, type);
    EXPECT_TRUE(SamePicture(loaded, picture));
    // From a stream the content decides.
    const std::vector<uint8_t> bytes = iotest::ReadFileBytes(dir.File(name));
    TRVMemStream stream(bytes.data(), int64_t(bytes.size()));
    TRVBitmap fromStream;
    TRastovaIO streamReader(&fromStream);
    streamReader.LoadFromStream(stream);
    ASSERT_FALSE(streamReader.Aborting);
    EXPECT_EQ(streamReader.Params.FileType, type);
    EXPECT_TRUE(SamePicture(fromStream, picture));
  }
}

TEST(J2000IO, WriterGetsRGBOrBilevelAndAlpha) {
  // A grey bitmap is converted to rv24RGB before writing; the alpha channel travels along.
  TRVBitmap grey(9, 5, rv8g);
  grey.Fill(0x404040);
  grey.AlphaBitmap()->Fill(0x202020);
  grey.AlphaBitmap()->Full = false;
  TRastovaIO io(&grey);
  TMemoryStream stream;
  io.SaveToStream(stream, ioJP2);
  ASSERT_FALSE(io.Aborting);
  EXPECT_EQ(grey.GetPixelFormat(), rv24RGB);
  TRVBitmap loaded;
  TRastovaIO reader(&loaded);
  stream.SetPosition(0);
  reader.LoadFromStreamJP2(stream);
  ASSERT_FALSE(reader.Aborting);
  ASSERT_TRUE(loaded.HasAlphaBitmap());
  EXPECT_EQ(loaded.AlphaBitmap()->GetScanLine(2)[3], 0x20);
  EXPECT_EQ(loaded.GetScanLine(4)[0], 0x40);
  // An unknown colour model is refused before anything is written.
  TRastovaIO refusing(&grey);
  refusing.Params.J2000_ColorSpace = 5;
  TMemoryStream empty;
  refusing.SaveToStreamJ2K(empty);
  EXPECT_TRUE(refusing.Aborting);
  EXPECT_EQ(empty.GetSize(), 0);
}

TEST(DicomIO, LoadsByExtensionAndContentAndIsReadOnly) {
  TempDir dir;
  const std::vector<uint8_t> file = SmallDicom();
  iotest::WriteFileBytes(dir.File("scan.dcm"), file);
  EXPECT_EQ(FindFileFormat(dir.File("scan.dcm"), true), ioDICOM);
  TRVBitmap bitmap;
  TRastovaIO io(&bitmap);
  io.Params.SetDpiX(123);  // DICOM loads keep the resolution as it is
  io.Params.SetImageIndex(1);
  io.LoadFromFile(dir.File("scan.dcm"));
  ASSERT_FALSE(io.Aborting);
  EXPECT_EQ(io.Params.FileType, ioDICOM);
  EXPECT_EQ(io.Params.ImageCount, 2);
  EXPECT_EQ(io.Params.DpiX, 123);
  ASSERT_EQ(bitmap.GetPixelFormat(), rv8g);
  EXPECT_EQ(bitmap.GetScanLine(0)[0], 120);  // frame 1 starts at sample 6
  EXPECT_GT(io.Params.DICOM_Tags.Count(), 5);

  TRVMemStream stream(file.data(), int64_t(file.size()));
  TRVBitmap fromStream;
  TRastovaIO streamReader(&fromStream);
  streamReader.LoadFromStream(stream);
  ASSERT_FALSE(streamReader.Aborting);
  EXPECT_EQ(streamReader.Params.FileType, ioDICOM);
  EXPECT_EQ(fromStream.GetScanLine(1)[2], 100);

  TRastovaIO params;
  params.ParamsFromFile(dir.File("scan.dcm"));
  EXPECT_EQ(params.Params.FileType, ioDICOM);
  EXPECT_EQ(params.Params.Width, 3);
  EXPECT_EQ(params.Params.Height, 2);

  io.SaveToFile(dir.File("out.dcm"));
  EXPECT_TRUE(io.Aborting);
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.dcm")));
}

}  // namespace
}  // namespace rv
