// The device-independent bitmap drawing calls, on bitmaps written by Pillow.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "rastova/core/draw/RVDrawDib.h"

using namespace rv;

namespace {

std::vector<uint8_t> ReadDibFixture(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes a 9 x 6 picture as a 24-bit, an 8-bit palette and a 1-bit BMP, each beside the RGB
// bytes Pillow shows for it; false when Pillow is not there.
bool WritePillowBitmaps(const std::string& dir) {
  const std::string script =
      "import sys\n"
      "from PIL import Image\n"
      "d = sys.argv[1]\n"
      "im = Image.new('RGB', (9, 6))\n"
      "im.putdata([((x * 29 + y * 7) % 256, (y * 41 + 3) % 256, (x * y * 13) % 256) for y in range(6) for x "
      "in range(9)])\n"
      "for n, m in (('rgb', im), ('pal', im.quantize(7)), ('mono', im.convert('1'))):\n"
      "    m.save(d + n + '.bmp')\n"
      "    open(d + n + '.rgb', 'wb').write(Image.open(d + n + '.bmp').convert('RGB').tobytes())\n";
  const std::string cmd = "/usr/bin/python3 -c \"" + script + "\" " + dir + " 2>/dev/null";
  return std::system(cmd.c_str()) == 0;
}

uint32_t LittleEndian32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

}  // namespace

TEST(DrawDib, HandlesOfItsOwn) {
  const HDRAWDIB a = DrawDibOpenProc(), b = DrawDibOpenProc();
  EXPECT_NE(a, 0u);
  EXPECT_NE(a, b);
  platform::TBitmap target(4, 4, platform::pf24bit);
  EXPECT_EQ(DrawDibRealizeProc(a, &target.Canvas(), true), 0);
  EXPECT_TRUE(DrawDibCloseProc(a));
  EXPECT_TRUE(DrawDibCloseProc(b));
}

TEST(DrawDib, DrawsPillowBitmapsAsPillowShowsThem) {
  if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "no /usr/bin/python3";
  const std::string dir = ::testing::TempDir();
  if (!WritePillowBitmaps(dir)) GTEST_SKIP() << "Pillow is not available";
  const HDRAWDIB handle = DrawDibOpenProc();
  for (const char* name : {"rgb", "pal", "mono"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> file = ReadDibFixture(dir + name + ".bmp");
    const std::vector<uint8_t> shown = ReadDibFixture(dir + name + ".rgb");
    ASSERT_GT(file.size(), 54u);
    ASSERT_EQ(shown.size(), 9u * 6 * 3);
    const uint32_t bitsAt = LittleEndian32(&file[10]);
    ASSERT_LT(bitsAt, file.size());
    // The packed bitmap is the file without its 14-byte file header; its rows may also be given apart.
    std::vector<uint8_t> packed(file.begin() + 14, file.end());
    const auto* header = reinterpret_cast<const TBitmapInfoHeader*>(packed.data());
    const std::vector<uint8_t> rows(file.begin() + bitsAt, file.end());
    for (const void* bits : {static_cast<const void*>(nullptr), static_cast<const void*>(rows.data())}) {
      platform::TBitmap target(30, 20, platform::pf24bit);
      target.Canvas().Brush.Color = platform::clWhite;
      target.Canvas().FillRect(platform::Rect(0, 0, 30, 20));
      target.Canvas().CopyMode = platform::cmSrcInvert;
      // The whole picture at (2, 3), and columns 1..4 of rows 2..4 twice as large at (12, 8).
      ASSERT_TRUE(DrawDibDrawProc(handle, &target.Canvas(), 2, 3, 9, 6, header, bits, 0, 0, 9, 6, 0));
      ASSERT_TRUE(DrawDibDrawProc(handle, &target.Canvas(), 12, 8, 8, 6, header, bits, 1, 2, 4, 3, 0));
      EXPECT_EQ(target.Canvas().CopyMode, platform::cmSrcInvert);
      const auto expectPixel = [&](int tx, int ty, int sx, int sy) {
        const uint8_t* p = target.ScanLine(ty) + 3 * tx;
        const uint8_t* q = &shown[3 * (sy * 9 + sx)];
        ASSERT_TRUE(p[2] == q[0] && p[1] == q[1] && p[0] == q[2]) << tx << "," << ty;
      };
      for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 9; ++x) expectPixel(2 + x, 3 + y, x, y);
      for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) expectPixel(12 + x, 8 + y, 1 + x / 2, 2 + y / 2);
      EXPECT_EQ(target.PixelColor(1, 3), platform::clWhite);
      EXPECT_EQ(target.PixelColor(20, 8), platform::clWhite);
    }
  }
}

TEST(DrawDib, RefusesWhatItCannotDraw) {
  std::vector<uint8_t> packed(40 + 4 * 4, 0);
  TBitmapInfoHeader h;
  h.biWidth = 2;
  h.biHeight = 2;
  h.biBitCount = 24;
  std::memcpy(packed.data(), &h, sizeof(h));
  const auto* good = reinterpret_cast<const TBitmapInfoHeader*>(packed.data());
  platform::TBitmap target(8, 8, platform::pf24bit);
  platform::TCanvas* dc = &target.Canvas();
  EXPECT_TRUE(DrawDibDrawProc(1, dc, 0, 0, 2, 2, good, nullptr, 0, 0, 2, 2, 0));
  EXPECT_FALSE(DrawDibDrawProc(0, dc, 0, 0, 2, 2, good, nullptr, 0, 0, 2, 2, 0));
  EXPECT_FALSE(DrawDibDrawProc(1, nullptr, 0, 0, 2, 2, good, nullptr, 0, 0, 2, 2, 0));
  EXPECT_FALSE(DrawDibDrawProc(1, dc, 0, 0, 2, 2, nullptr, nullptr, 0, 0, 2, 2, 0));
  EXPECT_FALSE(DrawDibDrawProc(1, dc, 0, 0, 0, 2, good, nullptr, 0, 0, 2, 2, 0));
  EXPECT_FALSE(DrawDibDrawProc(1, dc, 2147483000, 0, 1000, 2, good, nullptr, 0, 0, 2, 2, 0));
  h.biSize = 12;  // an old core header: not a header this reader takes
  std::memcpy(packed.data(), &h, sizeof(h));
  EXPECT_FALSE(DrawDibDrawProc(1, dc, 0, 0, 2, 2, good, nullptr, 0, 0, 2, 2, 0));
}
