#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/gfx/Bitmap.h"
#include "rastova/core/RVBitmap.h"
#include "shape/PictureFiles.h"
#include "shape/TextureBitmaps.h"
#include "shape/tests/PictureTestUtil.h"
#include "shape/tests/TextureTestUtil.h"

using namespace shape;
using platform::TBitmap;
using shape_test::NewShape;
using shape_test::ScratchDir;
using shape_test::SettingsGuard;
using shape_test::TextureFixture;

namespace {

std::string ReadAll(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A colour and alpha pair with a pattern that shows every channel.
void MakePair(TBitmap& color, TBitmap& alpha, int w, int h) {
  color.SetPixelFormat(platform::pf32bit);
  color.SetSize(w, h);
  alpha.SetPixelFormat(platform::pf8bit);
  alpha.SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = color.ScanLine(y) + x * 4;
      p[0] = static_cast<uint8_t>(x * 7 + y);       // blue
      p[1] = static_cast<uint8_t>(x + y * 5);       // green
      p[2] = static_cast<uint8_t>(x * 3 + y * 11);  // red
      alpha.ScanLine(y)[x] = static_cast<uint8_t>(x * 13 + y * 3);
    }
}

}  // namespace

TEST(PictureFiles, SaveChoosesTheFormatByExtensionAndNamesOnce) {
  SettingsGuard guard;
  ScratchDir dir;
  TBitmap color, alpha(0, 0, platform::pf8bit);
  MakePair(color, alpha, 20, 10);
  struct Case {
    const char* asked;
    const char* written;
    bool png;
  };
  for (const Case& c :
       {Case{"a.Png", "a.png", true}, Case{"b.PNG", "b.png", true}, Case{"c.jpg", "c.tga", false},
        Case{"d", "d.tga", false}, Case{"my.shape.tga", "my.shape.tga", false},
        Case{"my.shape.png", "my.shape.png", true}}) {
    std::string name = dir / c.asked;
    EXPECT_EQ(SaveImageWithAlpha(name, color, alpha), 0) << c.asked;
    EXPECT_EQ(name, dir / c.written) << c.asked;
    const std::string bytes = ReadAll(name);
    EXPECT_EQ(bytes.substr(1, 3) == "PNG", c.png) << c.asked;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "my.tga"));
  EXPECT_FALSE(std::filesystem::exists(dir / "my.png"));

  // A failed save is reported.
  std::string missing = dir / "no/such/folder/x.tga";
  EXPECT_EQ(SaveImageWithAlpha(missing, color, alpha), -1);
  TBitmap empty;
  std::string name = dir / "empty.png";
  EXPECT_EQ(SaveImageWithAlpha(name, empty, alpha), -1);
}

TEST(PictureFiles, PillowReadsOurTargaAndPngAsRgbaWithTheAuthorMarks) {
  if (!shape_test::HavePillow()) GTEST_SKIP() << "Pillow (python3-pil) is not installed";
  SettingsGuard guard;
  ScratchDir dir;
  TBitmap color, alpha(0, 0, platform::pf8bit);
  MakePair(color, alpha, 37, 23);
  std::string tga = dir / "my.shape.tga";
  std::string png = dir / "my.shape.png";
  ASSERT_EQ(SaveImageWithAlpha(tga, color, alpha), 0);
  ASSERT_EQ(SaveImageWithAlpha(png, color, alpha), 0);
  std::string script = "from PIL import Image\nbad = 0\n";
  for (const std::string& f : {tga, png}) {
    script += "im = Image.open('" + f + "')\n";
    script += "assert im.size == (37, 23), im.size\n";
    script += "im = im.convert('RGBA') if im.mode != 'RGBA' else im\n";
    script +=
        "for y in range(23):\n"
        "  for x in range(37):\n"
        "    e = ((x * 3 + y * 11) % 256, (x + y * 5) % 256, (x * 7 + y) % 256, (x * 13 + y * 3) % 256)\n"
        "    bad += im.getpixel((x, y)) != e\n";
  }
  script += "print('bad', bad)\n";
  script += "info = Image.open('" + png + "').info\n";
  script += "print('author', info.get('Author'))\nprint('name', info.get('ImageName'))\n";
  script += "print('mode', Image.open('" + tga + "').mode, Image.open('" + png + "').mode)\n";
  std::string out;
  ASSERT_TRUE(shape_test::RunPython(script, &out)) << out;
  EXPECT_NE(out.find("bad 0\n"), std::string::npos) << out;
  EXPECT_NE(out.find("author DURIM PROJECT\n"), std::string::npos) << out;
  EXPECT_NE(out.find("name my.shape\n"), std::string::npos) << out;
  EXPECT_NE(out.find("mode RGBA RGBA"), std::string::npos) << out;
  // The Targa extension area carries the author and the image name.
  const std::string bytes = ReadAll(tga);
  EXPECT_NE(bytes.find(std::string("DURIM PROJECT Ver.3.0")), std::string::npos);
  EXPECT_NE(bytes.find(std::string("my.shape")), std::string::npos);
}

TEST(PictureFiles, TextureLoadsAtTheTextureSize) {
  TextureFixture fx;
  ScratchDir dir;
  auto cs = NewShape(SCTYPE_SPHERE, 33, 33);
  TTextureBitmaps& t = fx.T();
  // With alpha: a half-transparent picture of another size and aspect.
  ASSERT_TRUE(shape_test::WritePicture(
      dir / "tex.png", 100, 37, [](int, int) { return 0x3060C0u; }, "",
      [](int, int) { return uint8_t{128}; }));
  LoadTextureFile(dir / "tex.png");
  ASSERT_EQ(t.LoadedColor.Width(), 512);
  ASSERT_EQ(t.LoadedColor.Height(), 512);
  EXPECT_EQ(t.LoadedColor.PixelColor(200, 300), 0x3060C0);
  EXPECT_EQ(t.LoadedAlpha.ScanLine(300)[200], 128);
  EXPECT_EQ(t.BaseColor.PixelColor(511, 0), 0x3060C0);
  EXPECT_EQ(t.BaseAlpha.ScanLine(0)[511], 128);

  // Without alpha the texture becomes opaque, whatever the previous texture's alpha was.
  ASSERT_TRUE(shape_test::WritePicture(dir / "plain.tga", 64, 64,
                                       [](int x, int) { return x < 32 ? 0xFFu : 0xFF00u; }));
  LoadTextureFile(dir / "plain.tga");
  int opaque = 0;
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 512; ++x)
      opaque += t.LoadedAlpha.ScanLine(y)[x] == 255 && t.BaseAlpha.ScanLine(y)[x] == 255;
  EXPECT_EQ(opaque, 512 * 512);
  EXPECT_EQ(t.BaseColor.PixelColor(10, 10), 0xFF);
  EXPECT_EQ(t.BaseColor.PixelColor(500, 10), 0xFF00);

  // A failing load raises and leaves the texture as it was.
  std::ofstream(dir / "junk.png") << "not a picture";
  EXPECT_THROW(LoadTextureFile(dir / "junk.png"), std::exception);
  EXPECT_THROW(LoadTextureFile(dir / "missing.png"), std::exception);
  EXPECT_EQ(t.BaseColor.PixelColor(10, 10), 0xFF);
  EXPECT_EQ(t.LoadedColor.Width(), 512);
}

namespace {
// The 11 x 7 picture of texture_lanczos_reference.py: sharp edges in red (across x), green
// (across y) and alpha (across x), a pattern in blue.
uint32_t TexturePicture(int x, int y) {
  const uint32_t red = x < 5 ? 40 : 210, green = y < 3 ? 200 : 30, blue = (x * 23 + y * 41) % 256;
  return red | (green << 8) | (blue << 16);
}
uint8_t TexturePictureAlpha(int x, int) { return x < 6 ? 255 : 20; }

struct TextureRow {
  int y;
  std::vector<std::array<int, 4>> pixels;  // blue, green, red, alpha
};
std::vector<TextureRow> TextureReference() {
  std::ifstream in(std::string(ZEPHOR_TEST_DATA_DIR) + "/texture_lanczos_reference.txt");
  std::vector<TextureRow> rows;
  std::string word;
  while (in >> word) {
    if (word != "row") return {};
    TextureRow r;
    in >> r.y;
    r.pixels.resize(512);
    for (auto& p : r.pixels) in >> p[0] >> p[1] >> p[2] >> p[3];
    rows.push_back(r);
  }
  return rows;
}
}  // namespace

// A picture with sharp edges becomes the texture resampled with the Lanczos filter of radius 3:
// every pixel of the reference rows matches the resampler's reference, and beside the edges the
// filter rings (values beyond the colours on either side), which no smoothing filter does.
TEST(PictureFiles, TextureIsThePictureResampledWithLanczos3) {
  TextureFixture fx;
  ScratchDir dir;
  auto cs = NewShape(SCTYPE_SPHERE, 33, 33);
  TTextureBitmaps& t = fx.T();
  ASSERT_TRUE(shape_test::WritePicture(dir / "edges.png", 11, 7, TexturePicture, "", TexturePictureAlpha));
  LoadTextureFile(dir / "edges.png");
  ASSERT_EQ(t.LoadedColor.Width(), 512);
  ASSERT_EQ(t.LoadedColor.Height(), 512);
  const std::vector<TextureRow> reference = TextureReference();
  ASSERT_EQ(reference.size(), 5u) << "texture_lanczos_reference.txt is missing or damaged";
  int bad = 0, below = 0, above = 0;
  for (const TextureRow& r : reference) {
    const uint8_t* color = t.LoadedColor.ScanLine(r.y);
    const uint8_t* alpha = t.LoadedAlpha.ScanLine(r.y);
    const uint8_t* base = t.BaseColor.ScanLine(r.y);
    for (int x = 0; x < 512; ++x) {
      const auto& want = r.pixels[static_cast<size_t>(x)];
      const std::array<int, 4> got{color[4 * x], color[4 * x + 1], color[4 * x + 2], alpha[x]};
      if (got != want && ++bad <= 5)
        ADD_FAILURE() << "pixel (" << x << ", " << r.y << "): " << got[0] << " " << got[1] << " " << got[2]
                      << " " << got[3] << ", reference " << want[0] << " " << want[1] << " " << want[2] << " "
                      << want[3];
      bad += std::memcmp(base + 4 * x, color + 4 * x, 3) != 0;
      below += got[2] < 40;
      above += got[2] > 210;
    }
  }
  EXPECT_EQ(bad, 0);
  EXPECT_GT(below, 0);
  EXPECT_GT(above, 0);
}

TEST(PictureFiles, BackgroundIsFadedAt511) {
  ScratchDir dir;
  rv::TRVBitmap b(3, 1, rv::rv24RGB);
  uint8_t* row = b.GetScanLine(0);
  const uint8_t in[9] = {0, 100, 255, 1, 2, 3, 128, 129, 254};
  std::memcpy(row, in, 9);
  FadeBitmap(b);
  row = b.GetScanLine(0);
  EXPECT_EQ(row[0], 153);
  EXPECT_EQ(row[1], 193);
  EXPECT_EQ(row[2], 255);
  EXPECT_EQ(row[3], 153);  // 153.4
  EXPECT_EQ(row[5], 154);  // 154.2
  EXPECT_EQ(row[6], 204);  // 204.2
  EXPECT_EQ(row[8], 255);  // 254.6

  ASSERT_TRUE(shape_test::WritePicture(dir / "bk.png", 40, 30, [](int, int) { return 0u; }));
  TBitmap bmp(0, 0, platform::pf24bit);
  EXPECT_EQ(LoadBackgroundPicture(dir / "bk.png", bmp), 0);
  ASSERT_EQ(bmp.Width(), 511);
  ASSERT_EQ(bmp.Height(), 511);
  EXPECT_EQ(bmp.PixelFormat(), platform::pf24bit);
  EXPECT_EQ(bmp.PixelColor(0, 0), 0x999999);
  EXPECT_EQ(bmp.PixelColor(510, 510), 0x999999);
  TBitmap other(0, 0, platform::pf32bit);
  EXPECT_EQ(LoadBackgroundPicture(dir / "missing.png", other), -1);
  EXPECT_TRUE(other.Empty());
}

TEST(PictureFiles, PictureWithAlphaTakesItsOwnSize) {
  ScratchDir dir;
  TBitmap color, alpha(0, 0, platform::pf8bit);
  ASSERT_TRUE(
      shape_test::WritePicture(dir / "p.tga", 13, 7, [](int x, int y) { return uint32_t(x + 16 * y); }));
  ASSERT_TRUE(LoadPictureWithAlpha(dir / "p.tga", color, alpha));
  EXPECT_EQ(color.Width(), 13);
  EXPECT_EQ(alpha.Height(), 7);
  EXPECT_EQ(alpha.ScanLine(6)[12], 255);  // no alpha in the file: white
  EXPECT_EQ(color.PixelColor(12, 6), 12 + 96);
  EXPECT_FALSE(LoadPictureWithAlpha(dir / "missing.tga", color, alpha));
}

TEST(PictureFiles, DividedTextureTilesTheSourceFromTheTop) {
  TextureFixture fx;
  ScratchDir dir;
  settings::AppSettings.DividedHorizontal = true;
  auto cs = NewShape(SCTYPE_PLANE, 33, 129);
  TTextureBitmaps& t = fx.T();
  ASSERT_EQ(t.BaseColor.Height(), 2048);
  for (int y = 0; y < 2048; ++y)
    for (int x = 0; x < 512; ++x) t.BaseColor.SetPixelColor(x, y, y / 512 * 40);
  std::memset(t.BaseAlpha.Bits(), 77, static_cast<size_t>(t.BaseAlpha.BytesPerLine()) * 2048);
  EXPECT_TRUE(SaveDividedImage(dir / "tex.shape", ".png", dir / "missing.png", 32, 128));
  for (int n = 1; n <= 4; ++n) {
    TBitmap color, alpha(0, 0, platform::pf8bit);
    ASSERT_TRUE(LoadPictureWithAlpha(dir / ("tex.shape-0" + std::to_string(n) + ".png"), color, alpha)) << n;
    EXPECT_EQ(color.Width(), 512);
    EXPECT_EQ(color.Height(), 512);
    EXPECT_EQ(color.PixelColor(100, 100), (n - 1) * 40) << n;  // part 01 is the top
    EXPECT_EQ(alpha.ScanLine(511)[511], 77);
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "tex.shape-05.png"));

  // From a texture file at its own size, side by side: 100 x 30 in 4 parts of 25 columns.
  settings::AppSettings.DividedHorizontal = false;
  ASSERT_TRUE(shape_test::WritePicture(dir / "src.tga", 100, 30, [](int x, int) { return uint32_t(x); }));
  EXPECT_TRUE(SaveDividedImage(dir / "side", ".tga", dir / "src.tga", 128, 32));
  for (int n = 1; n <= 4; ++n) {
    TBitmap color, alpha(0, 0, platform::pf8bit);
    ASSERT_TRUE(LoadPictureWithAlpha(dir / ("side-0" + std::to_string(n) + ".tga"), color, alpha)) << n;
    EXPECT_EQ(color.Width(), 25);
    EXPECT_EQ(color.Height(), 30);
    EXPECT_EQ(color.PixelColor(0, 0), (n - 1) * 25);
    EXPECT_EQ(alpha.ScanLine(0)[0], 255);
  }
  // Parts that cannot be written, and a grid with nothing to divide, report a failure.
  EXPECT_FALSE(SaveDividedImage(dir / "no-such-folder/side", ".tga", dir / "src.tga", 128, 32));
  EXPECT_FALSE(SaveDividedImage(dir / "zero", ".tga", dir / "src.tga", 0, 32));
}
