// TIFF through the component: page counts, the alpha channel, the "TIFF" stream header, the
// parameters-only path, and a CIE L*a*b* page through the row conversions of the I/O start-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
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

class TiffIO : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!iotest::HavePillow()) GTEST_SKIP() << "Pillow (python3-pil) is not installed";
    std::string script = "from PIL import Image\n";
    script += iotest::kPyPixel;
    script +=
        "W, H = 23, 13\nim = Image.new('RGBA', (W, H))\n"
        "im.putdata([px(x, y) for y in range(H) for x in range(W)])\nd = '" +
        dir.Path().string() +
        "/'\n"
        "im.save(d + 'rgba.tif', compression='tiff_lzw')\n"
        "rgb = im.convert('RGB')\n"
        "rgb.save(d + 'pages.tif', save_all=True, append_images=[rgb.rotate(90, expand=True), rgb])\n"
        "rgb.convert('LAB').save(d + 'lab.tif')\n";
    ASSERT_TRUE(iotest::RunPython(script));
  }
  TempDir dir;
};

TEST_F(TiffIO, FilesLoadWithPagesAndAlpha) {
  TRastovaIO io;
  EXPECT_EQ(io.LoadFromFileTIFF(dir.File("rgba.tif")), 1);
  ASSERT_FALSE(io.Aborting);
  TRVBitmap& b = *io.GetAttachedRVBitmap();
  ASSERT_EQ(b.GetWidth(), 23);
  ASSERT_TRUE(b.HasAlphaBitmap());
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 23; ++x) {
      const iotest::Rgba e = iotest::TestPixel(x, y);
      const TRGB c = b.GetPixels(x, y);
      ASSERT_TRUE(c.r == e.r && c.g == e.g && c.b == e.b && b.GetAlpha(x, y) == e.a) << x << "," << y;
    }
  EXPECT_EQ(io.Params.FileType, ioTIFF);
  // The second page of three, by its index.
  io.Params.SetImageIndex(1);
  EXPECT_EQ(io.LoadFromFileTIFF(dir.File("pages.tif")), 3);
  EXPECT_EQ(b.GetWidth(), 13);
  EXPECT_FALSE(b.HasAlphaBitmap());
  // Through the extension and the content.
  io.Params.SetImageIndex(0);
  io.LoadFromFile(dir.File("pages.tif"));
  ASSERT_FALSE(io.Aborting);
  EXPECT_EQ(b.GetWidth(), 23);
  io.ParamsFromFile(dir.File("pages.tif"));
  EXPECT_EQ(io.Params.FileType, ioTIFF);
  EXPECT_EQ(io.Params.ImageCount, 3);
  EXPECT_EQ(io.Params.Height, 13);
}

TEST_F(TiffIO, StreamHeadersLetPagesFollowEachOther) {
  TRVBitmap picture(9, 5, rv24RGB);
  picture.Fill(0x123456);
  TRVBitmap other(4, 6, rv24RGB);
  other.Fill(0xABCDEF);
  TMemoryStream stream;
  const uint8_t lead[5] = {1, 2, 3, 4, 5};
  stream.WriteBuffer(lead, 5);
  {
    TRastovaIO io(&picture);
    io.StreamHeaders = true;
    io.Params.TIFF_Compression = 5;
    io.SaveToStreamTIFF(stream);
    ASSERT_FALSE(io.Aborting);
    io.SetAttachedRVBitmap(&other);
    io.SaveToStreamTIFF(stream);
    ASSERT_FALSE(io.Aborting);
  }
  const std::vector<uint8_t>& data = stream.Data();
  ASSERT_EQ(std::memcmp(&data[5], "TIFF\0\0\0\0", 8), 0);
  TRastovaIO reader;
  reader.StreamHeaders = true;
  stream.SetPosition(5);
  EXPECT_EQ(reader.LoadFromStreamTIFF(stream), 1);
  ASSERT_FALSE(reader.Aborting);
  EXPECT_EQ(reader.GetAttachedRVBitmap()->GetPixels(8, 4).r, 0x56);
  const int64_t second = stream.GetPosition();
  EXPECT_EQ(std::memcmp(&data[size_t(second)], "TIFF", 4), 0);
  reader.LoadFromStreamTIFF(stream);
  ASSERT_FALSE(reader.Aborting);
  EXPECT_EQ(reader.GetAttachedRVBitmap()->GetHeight(), 6);
  EXPECT_EQ(stream.GetPosition(), stream.GetSize());
  // With stream headers on, data without one are refused.
  stream.SetPosition(0);
  reader.LoadFromStreamTIFF(stream);
  EXPECT_TRUE(reader.Aborting);
  // Without them, a plain TIFF in a stream reads with offsets from its start.
  const std::vector<uint8_t> file = iotest::ReadFileBytes(dir.File("rgba.tif"));
  std::vector<uint8_t> shifted(7, 0);
  shifted.insert(shifted.end(), file.begin(), file.end());
  TRVMemStream plain(shifted.data(), int64_t(shifted.size()));
  plain.SetPosition(7);
  TRastovaIO r2;
  EXPECT_EQ(r2.LoadFromStreamTIFF(plain), 1);
  EXPECT_FALSE(r2.Aborting);
  EXPECT_TRUE(r2.GetAttachedRVBitmap()->HasAlphaBitmap());
}

TEST_F(TiffIO, SavedFilesKeepTheirAlphaAndLabPagesLoad) {
  TRastovaIO io;
  io.LoadFromFile(dir.File("rgba.tif"));
  ASSERT_FALSE(io.Aborting);
  io.Params.TIFF_Compression = 5;
  io.SaveToFile(dir.File("again.tif"));
  ASSERT_FALSE(io.Aborting);
  TRastovaIO back;
  back.LoadFromFile(dir.File("again.tif"));
  ASSERT_FALSE(back.Aborting);
  TRVBitmap& b = *back.GetAttachedRVBitmap();
  ASSERT_TRUE(b.HasAlphaBitmap());
  EXPECT_EQ(b.GetAlpha(5, 7), iotest::TestPixel(5, 7).a);
  EXPECT_EQ(b.GetPixels(5, 7).g, iotest::TestPixel(5, 7).g);
  // A CIE L*a*b* page goes through the row conversion of the I/O start-up.
  TRastovaIO lab;
  lab.LoadFromFile(dir.File("lab.tif"));
  ASSERT_FALSE(lab.Aborting);
  EXPECT_EQ(lab.GetAttachedRVBitmap()->GetWidth(), 23);
  EXPECT_EQ(lab.Params.TIFF_Photometric, 7);
}

// A little-endian page of one strip with tags {tag, type, count, value} whose values stand in
// their entries.
std::vector<uint8_t> SmallTiff(const std::vector<uint8_t>& strip, std::vector<std::array<uint32_t, 4>> tags) {
  std::vector<uint8_t> f = {'I', 'I', 42, 0, 0, 0, 0, 0};
  auto put = [&f](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) f.push_back(uint8_t(v >> (8 * i)));
  };
  f.insert(f.end(), strip.begin(), strip.end());
  if (f.size() & 1) f.push_back(0);
  const uint32_t ifd = uint32_t(f.size());
  for (int i = 0; i < 4; ++i) f[4 + size_t(i)] = uint8_t(ifd >> (8 * i));
  tags.push_back({273, 4, 1, 8});
  tags.push_back({279, 4, 1, uint32_t(strip.size())});
  std::sort(tags.begin(), tags.end());
  put(uint32_t(tags.size()), 2);
  for (const auto& t : tags) {
    put(t[0], 2);
    put(t[1], 2);
    put(t[2], 4);
    put(t[3], 4);
  }
  put(0, 4);
  return f;
}

TEST(TiffIOConversions, YCbCrRowsOfOddWidthStayInside) {
  // Three pixels subsampled 2 x 1: Y0 Y1 Cb Cr, Y2 (Y3) Cb Cr; grey chroma gives the Y values.
  const std::vector<uint8_t> strip = {10, 60, 128, 128, 200, 255, 128, 128};
  const std::vector<uint8_t> f = SmallTiff(strip, {{256, 3, 1, 3},
                                                   {257, 3, 1, 1},
                                                   {258, 3, 1, 8},
                                                   {262, 3, 1, 6},
                                                   {277, 3, 1, 3},
                                                   {530, 3, 2, 2 | (1 << 16)}});
  TRVMemStream s(f.data(), int64_t(f.size()));
  TRastovaIO io;
  io.LoadFromStreamTIFF(s);
  ASSERT_FALSE(io.Aborting);
  TRVBitmap& b = *io.GetAttachedRVBitmap();
  ASSERT_EQ(b.GetWidth(), 3);
  const uint8_t expected[3] = {10, 60, 200};
  for (int x = 0; x < 3; ++x) EXPECT_NEAR(b.GetPixels(x, 0).g, expected[x], 2) << x;
}

}  // namespace
}  // namespace rv
