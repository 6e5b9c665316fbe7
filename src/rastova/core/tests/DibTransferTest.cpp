#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVDibBitmap.h"
#include "rastova/core/RVDibTransfer.h"
#include "rastova/core/RVPlatformBitmap.h"
#include "rastova/core/RVUtils.h"
#include "rastova/core/tests/GeomTestUtil.h"

using namespace rv;

namespace {

std::vector<uint8_t> ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}
std::string Data(const char* name) { return std::string(ZEPHOR_TEST_DATA_DIR) + "/" + name; }

// A packed DIB built field by field.
std::vector<uint8_t> MakeDib(int32_t w, int32_t h, uint16_t bits, uint32_t compression,
                             const std::vector<uint32_t>& table, const std::vector<uint8_t>& pixels,
                             uint32_t clrUsed = 0) {
  TBitmapInfoHeader header;
  header.biWidth = w;
  header.biHeight = h;
  header.biBitCount = bits;
  header.biCompression = compression;
  header.biClrUsed = clrUsed;
  std::vector<uint8_t> dib(sizeof(header));
  std::memcpy(dib.data(), &header, sizeof(header));
  for (uint32_t e : table)
    for (int k = 0; k < 4; ++k) dib.push_back(static_cast<uint8_t>(e >> (8 * k)));
  dib.insert(dib.end(), pixels.begin(), pixels.end());
  return dib;
}

// The image as RGB bytes, top row first.
std::vector<uint8_t> RGBBytes(TRVBitmap& b) {
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < b.GetHeight(); ++y)
    for (int32_t x = 0; x < b.GetWidth(); ++x) {
      TRGB c = b.GetPixels(x, y);
      out.insert(out.end(), {c.r, c.g, c.b});
    }
  return out;
}

}  // namespace

TEST(DibTransfer, ReadsWhatPillowAndImageMagickWrite) {
  for (const char* name : {"dib24", "dib8", "dib1", "dib_rle8", "dib16"}) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> file = ReadFile(Data((std::string(name) + ".bmp").c_str()));
    std::vector<uint8_t> expected = ReadFile(Data((std::string(name) + ".rgb").c_str()));
    ASSERT_GT(file.size(), 14u);
    TRVBitmap b;
    const int32_t bits = PackedDIBToBitmap(file.data() + 14, file.size() - 14, b);
    ASSERT_NE(bits, 0);
    EXPECT_EQ(b.GetWidth(), 7);
    EXPECT_EQ(b.GetHeight(), 5);
    EXPECT_EQ(b.GetPixelFormat(), bits == 1 ? rv1g : rv24RGB);
    if (std::string(name) == "dib16") {
      // 5 and 6-bit channels keep their low bits clear; Pillow scales them up to 255.
      std::vector<uint8_t> got = RGBBytes(b);
      ASSERT_EQ(got.size(), expected.size());
      for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_LE(got[i], expected[i]) << i;
        EXPECT_GE(got[i] + 8, expected[i]) << i;
        EXPECT_EQ(got[i] & 3, 0) << i;
      }
    } else {
      EXPECT_EQ(RGBBytes(b), expected);
    }
    // The same through the DIB bitmap.
    TRVDibbitmap d;
    ASSERT_EQ(PackedDIBToDibBitmap(file.data() + 14, file.size() - 14, d), bits);
    EXPECT_EQ(d.GetWidth(), 7);
    EXPECT_EQ(d.GetBitCount(), bits == 1 ? 1 : 24);
  }
}

TEST(DibTransfer, ExportIsReadByPillow) {
  if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "no /usr/bin/python3";
  const std::string dir = ::testing::TempDir();
  struct Case {
    const char* name;
    TRVPixelFormat format;
  } cases[] = {{"e24", rv24RGB}, {"e8g", rv8g}, {"e8p", rv8p}, {"e1", rv1g}, {"e48", rv48RGB}};
  std::vector<std::vector<uint8_t>> expected;
  std::string files;
  for (const Case& c : cases) {
    auto photo = rvtest::PhotoLike(13, 6);
    TRVBitmap b;
    if (c.format == rv24RGB) {
      b.Assign(photo.get());
    } else {
      b.Allocate(13, 6, c.format);
      if (c.format == rv8p) {
        for (int i = 0; i < 256; ++i)
          b.SetPalette(
              i, TRGB{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 7)});
      }
      rvtest::FillPattern(b);
    }
    // A rectangle of the image: columns 2..11, rows 1..5.
    std::vector<uint8_t> dib = CopyBitmaptoDIBEx(b, 2, 1, 12, 0, 96, 96);
    ASSERT_FALSE(dib.empty());
    TBitmapInfoHeader h;
    std::memcpy(&h, dib.data(), sizeof(h));
    const uint32_t offset = 14 + 40 + (h.biBitCount == 1 ? 8 : h.biBitCount == 8 ? 1024 : 0);
    std::vector<uint8_t> file = {'B', 'M'};
    const uint32_t size = static_cast<uint32_t>(14 + dib.size());
    for (uint32_t v : {size, 0u, offset})
      for (int k = 0; k < 4; ++k) file.push_back(static_cast<uint8_t>(v >> (8 * k)));
    file.insert(file.end(), dib.begin(), dib.end());
    const std::string name = dir + c.name + ".bmp";
    std::ofstream(name, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    files += " " + name;
    std::vector<uint8_t> rgb;
    for (int32_t y = 1; y < 6; ++y)
      for (int32_t x = 2; x < 12; ++x) {
        TRGB p = b.GetPixels(x, y);
        rgb.insert(rgb.end(), {p.r, p.g, p.b});
      }
    expected.push_back(rgb);
  }
  const std::string cmd =
      "/usr/bin/python3 -c \"import sys\nfrom PIL import Image\nfor n in sys.argv[1:]:\n"
      " im = Image.open(n); open(n + '.rgb', 'wb').write(im.convert('RGB').tobytes())\"" +
      files;
  if (std::system(cmd.c_str()) != 0) GTEST_SKIP() << "Pillow is not available";
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(ReadFile(dir + cases[i].name + ".bmp.rgb"), expected[i]);
  }
}

TEST(DibTransfer, HeaderNumbersAndRoundTrips) {
  TRVBitmap b(100, 50, rv24RGB);
  std::vector<uint8_t> dib = CopyBitmaptoDIBEx(b, 0, 0, 0, 0, 72, 72);
  EXPECT_EQ(dib.size(), 15044u);
  TBitmapInfoHeader h;
  std::memcpy(&h, dib.data(), sizeof(h));
  EXPECT_EQ(h.biXPelsPerMeter, 2834);
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biBitCount, 24);
  // Back into an image: identical pixels, and a 1-bit image stays 1-bit.
  for (TRVPixelFormat f : {rv24RGB, rv1g, rv8g}) {
    TRVBitmap s(21, 9, f);
    rvtest::FillPattern(s);
    std::vector<uint8_t> d = CopyBitmaptoDIBEx(s, 0, 0, 0, 0, 96, 96);
    TRVBitmap back;
    ASSERT_EQ(PackedDIBToBitmap(d.data(), d.size(), back), f == rv24RGB ? 24 : f == rv1g ? 1 : 8);
    EXPECT_EQ(back.GetPixelFormat(), f == rv1g ? rv1g : rv24RGB);
    EXPECT_EQ(RGBBytes(back), RGBBytes(s));
  }
  // The empty rectangle and the empty image give nothing.
  EXPECT_TRUE(CopyBitmaptoDIBEx(b, 10, 0, 10, 0, 72, 72).empty());
  TRVBitmap none;
  EXPECT_TRUE(CopyBitmaptoDIBEx(none, 0, 0, 0, 0, 72, 72).empty());
}

TEST(DibTransfer, SmallDepthsBitFieldsAndTopDown) {
  // 4 bits, width 5: every pixel of each row, the last byte giving its high nibble only.
  std::vector<uint32_t> table(16);
  for (uint32_t i = 0; i < 16; ++i) table[i] = i * 0x101010u;
  auto dib4 = MakeDib(5, 2, 4, BI_RGB, table, {0x01, 0x23, 0x4F, 0, 0x56, 0x78, 0x9F, 0});
  TRVBitmap b;
  ASSERT_EQ(PackedDIBToBitmap(dib4.data(), dib4.size(), b), 4);
  EXPECT_EQ(b.GetPixels(4, 1).r, 0x40);  // bottom-up: the first DIB row is the last image row
  EXPECT_EQ(b.GetPixels(4, 0).r, 0x90);
  EXPECT_EQ(b.GetPixels(0, 0).r, 0x50);
  // A negative height stores the rows top-down.
  auto down = MakeDib(5, -2, 4, BI_RGB, table, {0x01, 0x23, 0x4F, 0, 0x56, 0x78, 0x9F, 0});
  ASSERT_EQ(PackedDIBToBitmap(down.data(), down.size(), b), 4);
  EXPECT_EQ(b.GetPixels(4, 0).r, 0x40);
  // A 1-bit table with white first is read the right way round.
  auto inverted = MakeDib(8, 1, 1, BI_RGB, {0xFFFFFF, 0x000000}, {0xF0, 0, 0, 0});
  ASSERT_EQ(PackedDIBToBitmap(inverted.data(), inverted.size(), b), 1);
  EXPECT_FALSE(b.GetPixels_rv1g(0, 0));
  EXPECT_TRUE(b.GetPixels_rv1g(7, 0));
  // 16 bits: 5-5-5 without masks, 5-6-5 with them; 32 bits with masks.
  auto d555 = MakeDib(2, 1, 16, BI_RGB, {}, {0x00, 0x7C, 0x1F, 0x00});
  ASSERT_EQ(PackedDIBToBitmap(d555.data(), d555.size(), b), 16);
  EXPECT_EQ(PackRGB(b.GetPixels(0, 0)), 0xF80000u);
  EXPECT_EQ(PackRGB(b.GetPixels(1, 0)), 0x0000F8u);
  auto d565 = MakeDib(2, 1, 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, {0xE0, 0x07, 0x1F, 0x00});
  ASSERT_EQ(PackedDIBToBitmap(d565.data(), d565.size(), b), 16);
  EXPECT_EQ(PackRGB(b.GetPixels(0, 0)), 0x00FC00u);
  EXPECT_EQ(PackRGB(b.GetPixels(1, 0)), 0x0000F8u);
  auto d32 = MakeDib(1, 1, 32, BI_BITFIELDS, {0xFF0000, 0xFF00, 0xFF}, {0x11, 0x22, 0x33, 0x44});
  ASSERT_EQ(PackedDIBToBitmap(d32.data(), d32.size(), b), 32);
  EXPECT_EQ(PackRGB(b.GetPixels(0, 0)), 0x332211u);
  // 32 bits go through their masks: red, green, blue in the upper three bytes; 10-10-10.
  auto xbgr = MakeDib(1, 1, 32, BI_BITFIELDS, {0xFF00, 0xFF0000, 0xFF000000}, {0x11, 0x22, 0x33, 0x44});
  ASSERT_EQ(PackedDIBToBitmap(xbgr.data(), xbgr.size(), b), 32);
  EXPECT_EQ(PackRGB(b.GetPixels(0, 0)), 0x223344u);
  auto d1010 = MakeDib(1, 1, 32, BI_BITFIELDS, {0x3FF00000, 0xFFC00, 0x3FF}, {0xFF, 0x03, 0xF0, 0x3F});
  ASSERT_EQ(PackedDIBToBitmap(d1010.data(), d1010.size(), b), 32);
  EXPECT_EQ(PackRGB(b.GetPixels(0, 0)), 0xFF00FFu);
  // Fields narrower than a byte scale to the full range (v x 255 / (2^n - 1)): 2-bit 1, 2, 3
  // read 85, 170, 255, not the truncated 64, 128, 192.
  auto d222 = MakeDib(1, 1, 32, BI_BITFIELDS, {0x30, 0x0C, 0x03}, {0x1B, 0x00, 0x00, 0x00});
  ASSERT_EQ(PackedDIBToBitmap(d222.data(), d222.size(), b), 32);
  EXPECT_EQ(PackRGB(b.GetPixels(0, 0)), 0x55AAFFu);
  // Rows handed over separately replace those of the block.
  auto header = MakeDib(1, 1, 24, BI_RGB, {}, {});
  const uint8_t row[4] = {1, 2, 3, 0};
  ASSERT_EQ(PackedDIBToBitmap(header.data(), header.size(), b, row, sizeof(row)), 24);
  EXPECT_EQ(PackRGB(b.GetPixels(0, 0)), 0x030201u);
}

TEST(DibTransfer, RunLengthDecoding) {
  std::vector<uint32_t> table = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  // RLE8, 6 x 2: bottom row "3 x 1, literal 2 3 0", top row delta then "1 x 2", end.
  auto rle8 = MakeDib(6, 2, 8, BI_RLE8, table, {3, 1, 0, 3, 2, 3, 0, 0, 0, 0, 0, 2, 4, 0, 1, 2, 0, 1}, 4);
  TRVBitmap b;
  ASSERT_EQ(PackedDIBToBitmap(rle8.data(), rle8.size(), b), 8);
  const uint32_t bottom[6] = {0xFF0000, 0xFF0000, 0xFF0000, 0x00FF00, 0x0000FF, 0x000000};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(PackRGB(b.GetPixels(x, 1)), bottom[x]) << x;
  EXPECT_EQ(PackRGB(b.GetPixels(3, 0)), 0x000000u);
  EXPECT_EQ(PackRGB(b.GetPixels(4, 0)), 0x00FF00u);
  // RLE4, 5 x 1: a run of alternating nibbles and a literal group of one.
  auto rle4 = MakeDib(5, 1, 4, BI_RLE4, table, {4, 0x12, 0, 3, 0x31, 0x20, 0, 1}, 4);
  ASSERT_EQ(PackedDIBToBitmap(rle4.data(), rle4.size(), b), 4);
  const uint32_t row[5] = {0xFF0000, 0x00FF00, 0xFF0000, 0x00FF00, 0x0000FF};
  for (int x = 0; x < 5; ++x) EXPECT_EQ(PackRGB(b.GetPixels(x, 0)), row[x]) << x;
}

TEST(DibTransfer, YUVLayouts) {
  EXPECT_EQ(PackRGB(YUVToRGB(16, 128, 128)), 0x000000u);
  EXPECT_EQ(PackRGB(YUVToRGB(235, 128, 128)), 0xFFFFFFu);
  const TRGB c = YUVToRGB(81, 90, 240);  // a saturated red
  EXPECT_GT(c.r, 230);
  EXPECT_LT(c.g, 30);
  // YUY2, 2 x 2, positive height: the first row is the top row.
  auto yuy2 = MakeDib(2, 2, 16, MakeFourCC('Y', 'U', 'Y', '2'), {}, {235, 128, 16, 128, 16, 128, 235, 128});
  TRVBitmap b;
  ASSERT_EQ(PackedDIBToBitmap(yuy2.data(), yuy2.size(), b), 16);
  EXPECT_EQ(PackRGB(b.GetPixels(0, 0)), 0xFFFFFFu);
  EXPECT_EQ(PackRGB(b.GetPixels(1, 0)), 0x000000u);
  EXPECT_EQ(PackRGB(b.GetPixels(1, 1)), 0xFFFFFFu);
  // UYVY the other way round for cyuv.
  auto cyuv = MakeDib(2, 2, 16, MakeFourCC('c', 'y', 'u', 'v'), {}, {128, 235, 128, 16, 128, 16, 128, 235});
  ASSERT_NE(PackedDIBToBitmap(cyuv.data(), cyuv.size(), b), 0);
  EXPECT_EQ(PackRGB(b.GetPixels(0, 1)), 0xFFFFFFu);
  EXPECT_EQ(PackRGB(b.GetPixels(1, 0)), 0xFFFFFFu);
  // I420 and YV12: planes Y, then U and V in their order.
  std::vector<uint8_t> planes = {235, 235, 16, 16, 16, 16, 235, 235, 90, 128, 240, 128};
  auto i420 = MakeDib(4, 2, 12, MakeFourCC('I', '4', '2', '0'), {}, planes);
  ASSERT_NE(PackedDIBToBitmap(i420.data(), i420.size(), b), 0);
  EXPECT_GT(b.GetPixels(0, 0).r, 230);  // U 90, V 240: red
  EXPECT_EQ(PackRGB(b.GetPixels(3, 1)), 0xFFFFFFu);
  auto yv12 = MakeDib(4, 2, 12, MakeFourCC('Y', 'V', '1', '2'), {}, planes);
  ASSERT_NE(PackedDIBToBitmap(yv12.data(), yv12.size(), b), 0);
  EXPECT_GT(b.GetPixels(0, 0).b, 200);  // V 90, U 240: blue
  // Y211: pixels 0 and 1 share Y0.
  auto y211 = MakeDib(4, 1, 8, MakeFourCC('Y', '2', '1', '1'), {}, {235, 128, 16, 128});
  ASSERT_NE(PackedDIBToBitmap(y211.data(), y211.size(), b), 0);
  EXPECT_EQ(PackRGB(b.GetPixels(1, 0)), 0xFFFFFFu);
  EXPECT_EQ(PackRGB(b.GetPixels(2, 0)), 0x000000u);
}

TEST(DibTransfer, DamagedBlocksAreRefused) {
  auto good = MakeDib(4, 3, 24, BI_RGB, {}, std::vector<uint8_t>(36, 7));
  auto with = [&](size_t at, std::vector<uint8_t> bytes) {
    auto d = good;
    std::copy(bytes.begin(), bytes.end(), d.begin() + static_cast<std::ptrdiff_t>(at));
    return d;
  };
  auto truncated = good;
  truncated.resize(good.size() - 1);
  // A header of 44 bytes holds only the first mask; the block (header and one pixel) ends there.
  auto header44BitFields = MakeDib(1, 1, 16, BI_BITFIELDS, {}, {});
  header44BitFields[0] = 44;
  header44BitFields.resize(48, 0xFF);
  struct Case {
    const char* what;
    std::vector<uint8_t> dib;
  } cases[] = {
      {"shorter than a header", std::vector<uint8_t>(good.begin(), good.begin() + 39)},
      {"rows cut short", truncated},
      {"header size past the block", with(0, {0xFF, 0xFF, 0, 0})},
      {"core header", with(0, {12, 0, 0, 0})},
      {"zero width", with(4, {0, 0, 0, 0})},
      {"negative width", with(4, {0xFF, 0xFF, 0xFF, 0xFF})},
      {"zero height", with(8, {0, 0, 0, 0})},
      {"huge width", with(4, {0xFF, 0xFF, 0xFF, 0x7F})},
      {"huge height", with(8, {0, 0, 0, 0x80})},
      {"unknown bit count", with(14, {7, 0})},
      {"unknown compression", with(16, {9, 0, 0, 0})},
      {"RLE8 on 24 bits", with(16, {1, 0, 0, 0})},
      {"colour table past the block", with(32, {0, 0, 0, 1})},
      {"YUY2 rows cut short",
       MakeDib(4, 4, 16, MakeFourCC('Y', 'U', 'Y', '2'), {}, std::vector<uint8_t>(31))},
      {"I420 planes cut short",
       MakeDib(4, 4, 12, MakeFourCC('I', '4', '2', '0'), {}, std::vector<uint8_t>(23))},
      {"RLE8 literal past the end", MakeDib(4, 1, 8, BI_RLE8, {0, 0xFFFFFF}, {0, 5, 1, 1}, 2)},
      {"RLE8 delta cut short", MakeDib(4, 1, 8, BI_RLE8, {0, 0xFFFFFF}, {0, 2, 1}, 2)},
      {"RLE8 huge picture", MakeDib(60000, 60000, 8, BI_RLE8, {0, 0xFFFFFF}, {0, 1}, 2)},
      {"RLE stored top-down", MakeDib(4, -1, 8, BI_RLE8, {0, 0xFFFFFF}, {4, 1, 0, 1}, 2)},
      {"bit fields without their masks", MakeDib(1, 1, 16, BI_BITFIELDS, {}, {})},
      {"bit fields after a 44-byte header, block ends before the masks", header44BitFields},
      {"rows times height past 64 bits", MakeDib(0x7FFFFFFF, 0x7FFFFFFF, 32, BI_RGB, {}, {1, 2, 3, 4})},
      {"IYU2 rows times height past 64 bits",
       MakeDib(0x7FFFFFFF, 0x7FFFFFFF, 24, MakeFourCC('I', 'Y', 'U', '2'), {}, {1, 2, 3})},
      {"I420 planes past 64 bits",
       MakeDib(0x7FFFFFFF, 0x7FFFFFFF, 12, MakeFourCC('I', '4', '2', '0'), {}, {1, 2, 3})},
  };
  for (const Case& c : cases) {
    TRVBitmap b(2, 2, rv24RGB);
    EXPECT_EQ(PackedDIBToBitmap(c.dib.data(), c.dib.size(), b), 0) << c.what;
    EXPECT_TRUE(b.IsEmpty()) << c.what;
  }
  TRVBitmap b;
  EXPECT_EQ(PackedDIBToBitmap(nullptr, 100, b), 0);
  // Rows handed over separately are checked against their own size.
  const uint8_t row[2] = {1, 2};
  EXPECT_EQ(PackedDIBToBitmap(good.data(), 40, b, row, sizeof(row)), 0);
  // Mutated fixtures never read outside the block (the sanitizer build watches).
  for (const char* name : {"dib8.bmp", "dib_rle8.bmp", "dib16.bmp", "dib1.bmp"}) {
    std::vector<uint8_t> file = ReadFile(Data(name));
    std::vector<uint8_t> dib(file.begin() + 14, file.end());
    uint32_t s = 1;
    for (int round = 0; round < 300; ++round) {
      std::vector<uint8_t> m = dib;
      for (int k = 0; k < 3; ++k) {
        s = s * 1103515245u + 12345u;
        m[(s >> 8) % m.size()] = static_cast<uint8_t>(s >> 20);
      }
      const size_t cut = (s >> 4) % 4 == 0 ? (s >> 12) % m.size() : m.size();
      TRVBitmap t;
      PackedDIBToBitmap(m.data(), cut, t);
    }
  }
}

TEST(DibTransfer, PlatformBitmapCopies) {
  auto src = CreateMemoryPlatformBitmap();
  src->SetPixelFormat(pf8bit);
  src->SetSize(5, 3);
  TRGB table[256];
  for (int i = 0; i < 256; ++i) table[i] = TRGB{static_cast<uint8_t>(i), 0, 0};
  src->SetColorTable(table, 256);
  src->ScanLine(2)[4] = 77;
  auto copy = DuplicateTBitmap(*src);
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->Width(), 5);
  EXPECT_EQ(copy->PixelFormat(), pf8bit);
  EXPECT_EQ(copy->ScanLine(2)[4], 77);
  TRGB back[256];
  copy->GetColorTable(back, 256);
  EXPECT_EQ(back[9].b, 9);
  // The same copies under the image buffer's names: a clone, and a copy into a bitmap of
  // another size and format.
  auto clone = CloneTBitmap(*src);
  ASSERT_TRUE(clone);
  EXPECT_NE(clone.get(), src.get());
  EXPECT_EQ(clone->Height(), 3);
  EXPECT_EQ(clone->ScanLine(2)[4], 77);
  auto other = CreateMemoryPlatformBitmap();
  other->SetPixelFormat(pf24bit);
  other->SetSize(9, 9);
  CopyTBitmap(*src, *other);
  EXPECT_EQ(other->Width(), 5);
  EXPECT_EQ(other->Height(), 3);
  EXPECT_EQ(other->PixelFormat(), pf8bit);
  EXPECT_EQ(other->ScanLine(2)[4], 77);
  // A bitmap without size leaves a 1 x 1 bitmap of its format.
  auto none = CreateMemoryPlatformBitmap();
  none->SetPixelFormat(pf1bit);
  CopyTBitmap(*none, *other);
  EXPECT_EQ(other->Width(), 1);
  EXPECT_EQ(other->Height(), 1);
  EXPECT_EQ(other->PixelFormat(), pf1bit);
}
