// The picture layer (BMP reader and writer, PNG reader, picture), the file utilities and the
// registered picture formats. Files come from ImageMagick and Pillow; their pixels are compared with
// Pillow's decoding. Every reader also gets a table of damaged inputs.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "TextureTestTools.h"
#include "common/Exception.h"
#include "common/tests/support/AllocationWatch.h"
#include "common/tests/support/ReplacedFiles.h"
#include "scene3d/scene/texture/GLGraphics.h"
#include "scene3d/scene/texture/GLUtils.h"
#include "scene3d/scene/texture/PictureRegisteredFormats.h"
#include "scene3d/scene/texture/TextureStartup.h"
#include "scene3d/scene/texture/picture/Bitmap.h"
#include "scene3d/scene/texture/picture/Picture.h"
#include "scene3d/scene/texture/picture/PngImage.h"

using namespace gl3d;
using test::TempDir;

namespace {

constexpr int kW = 7, kH = 5;

void Put32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}
void Put16(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 2; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}
uint32_t Get32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(s[at + i]);
  return v;
}

// The test picture as PNG files written by Pillow, one per mode, named "<prefix><mode>.png".
std::vector<std::string> WritePillowPngs(const TempDir& dir, const std::string& prefix,
                                         const std::vector<std::string>& modes) {
  std::ostringstream py;
  py << "from PIL import Image\n"
     << test::kPyTestPixel << "src = Image.new('RGBA', (" << kW << ", " << kH << "))\n"
     << "src.putdata([px(x, y) for y in range(" << kH << ") for x in range(" << kW << ")])\n";
  std::vector<std::string> paths;
  for (const std::string& mode : modes) {
    paths.push_back(dir.File(prefix + mode + ".png"));
    if (mode == "P")
      py << "im = src.convert('RGB').quantize(16)\n";
    else
      py << "im = src.convert('" << mode << "')\n";
    py << "im.save('" << paths.back() << "')\n";
  }
  EXPECT_TRUE(test::RunPython(py.str()));
  return paths;
}

std::string WritePillowPng(const TempDir& dir, const std::string& prefix, const std::string& mode) {
  return WritePillowPngs(dir, prefix, {mode})[0];
}

template <class Graphic>
void Load(Graphic& g, const std::string& bytes) {
  TMemoryStream s(bytes);
  g.LoadFromStream(s);
}

// Pixel (x, y), y = 0 the top row, of a decoded picture.
const uint8_t* At(const test::Rgba& p, int x, int y) {
  return &p.Pixels[(static_cast<size_t>(y) * p.Width + x) * 4];
}

void ExpectBitmapIs(const TBitmap& b, const test::Rgba& want, int tolerance, bool alpha,
                    const std::string& what) {
  ASSERT_EQ(b.Width(), want.Width) << what;
  ASSERT_EQ(b.Height(), want.Height) << what;
  const int step = b.BytesPerPixel();
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      const uint8_t* p = b.ScanLine(y) + step * x;
      const uint8_t* q = At(want, x, y);
      for (int c = 0; c < 3; ++c)
        ASSERT_LE(std::abs(int(p[2 - c]) - int(q[c])), tolerance)
            << what << " at " << x << "," << y << " channel " << c;
      if (alpha) {
        ASSERT_EQ(p[3], q[3]) << what << " alpha at " << x << "," << y;
      }
    }
}

// Every damaged variant must fail with the reader's error and leave the graphic as it was.
template <class Graphic>
void ExpectRejected(const std::vector<std::pair<std::string, std::string>>& variants,
                    const std::string& message, const std::string& good) {
  for (const auto& [what, bytes] : variants) {
    Graphic g;
    Load(g, good);
    const int32_t w = g.Width(), h = g.Height();
    try {
      Load(g, bytes);
      ADD_FAILURE() << what << ": accepted";
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message(), message) << what;
    }
    EXPECT_EQ(g.Width(), w) << what;
    EXPECT_EQ(g.Height(), h) << what;
  }
}

// Random byte mutations: each either loads or fails with EInvalidGraphic; never anything else.
template <class Graphic>
void Mutate(const std::string& good, int rounds, unsigned seed) {
  std::mt19937 rng(seed);
  for (int i = 0; i < rounds; ++i) {
    std::string bytes = good;
    const int changes = 1 + static_cast<int>(rng() % 4);
    for (int k = 0; k < changes; ++k) bytes[rng() % bytes.size()] = static_cast<char>(rng());
    Graphic g;
    try {
      Load(g, bytes);
    } catch (const EInvalidGraphic&) {
    }
  }
}

uint32_t Crc32(const std::string& data) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : data) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// A PNG with IHDR's width and height replaced, its CRC made right again.
std::string WithPngSize(std::string png, uint32_t w, uint32_t h) {
  auto be = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) png[at + i] = static_cast<char>(v >> (24 - 8 * i));
  };
  be(16, w);
  be(20, h);
  be(29, Crc32(png.substr(12, 17)));
  return png;
}

}  // namespace

// ---- BMP ----

TEST(BitmapReader, ImageMagickFilesGivePillowsPixels) {
  TempDir dir;
  const std::string source = WritePillowPng(dir, "source-", "RGBA");
  struct Case {
    const char* name;
    const char* options;
    int bits;
    TPixelFormat format;
    int tolerance;
    bool alpha;
  } cases[] = {
      {"v3-24.bmp", "-alpha off -type TrueColor BMP3:", 24, pf24bit, 0, false},
      {"v5-24.bmp", "-alpha off -type TrueColor BMP:", 24, pf24bit, 0, false},
      {"v5-32.bmp", "-type TrueColorAlpha BMP:", 32, pf32bit, 0, true},
      {"565.bmp", "-alpha off -type TrueColor -define bmp:subtype=RGB565 BMP:", 16, pf24bit, 1, false},
      {"8-rle.bmp", "-alpha off -colors 40 -type Palette BMP3:", 8, pf24bit, 0, false},
      {"8.bmp", "-alpha off -colors 40 -type Palette -compress None BMP3:", 8, pf24bit, 0, false},
      {"4.bmp", "-alpha off -colors 9 -type Palette BMP3:", 4, pf24bit, 0, false},
      {"1.bmp", "-alpha off -type Bilevel BMP3:", 1, pf24bit, 0, false},
  };
  std::string commands = "true";
  std::vector<std::string> paths;
  for (const Case& c : cases) {
    paths.push_back(dir.File(c.name));
    commands += " && /usr/bin/convert '" + source + "' " + c.options + "'" + paths.back() + "'";
  }
  ASSERT_TRUE(test::RunCommand(commands));
  ASSERT_TRUE(test::PillowDecodeAll(paths));
  for (const Case& c : cases) {
    const std::string path = dir.File(c.name);
    const std::string bytes = test::ReadFile(path);
    ASSERT_EQ(static_cast<uint8_t>(bytes[28]), c.bits) << c.name << ": ImageMagick wrote another depth";
    test::Rgba want;
    ASSERT_TRUE(test::LoadDecoded(path, want)) << c.name;
    TBitmap b;
    Load(b, bytes);
    EXPECT_EQ(b.PixelFormat(), c.format) << c.name;
    EXPECT_FALSE(b.TopDown()) << c.name;
    ExpectBitmapIs(b, want, c.tolerance, c.alpha, c.name);

    // The same file stored top-down: rows reversed, the height negative.
    if (c.bits == 24) {
      std::string topDown = bytes;
      const uint32_t offBits = Get32(bytes, 10);
      const size_t stride = (kW * 3 + 3) & ~size_t(3);
      for (int r = 0; r < kH; ++r)
        topDown.replace(offBits + r * stride, stride, bytes.substr(offBits + (kH - 1 - r) * stride, stride));
      Put32(topDown, 22, static_cast<uint32_t>(-kH));
      TBitmap t;
      Load(t, topDown);
      EXPECT_TRUE(t.TopDown());
      ExpectBitmapIs(t, want, 0, false, std::string(c.name) + " top-down");
    }
  }
}

TEST(BitmapWriter, WritesWhatPillowAndIdentifyRead) {
  TempDir dir;
  for (TPixelFormat format : {pf24bit, pf32bit}) {
    TBitmap b;
    b.SetPixelFormat(format);
    b.SetSize(kW, kH);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        uint8_t px[4];
        test::TestPixel(x, y, px);
        uint8_t* p = b.ScanLine(y) + b.BytesPerPixel() * x;
        p[0] = px[2], p[1] = px[1], p[2] = px[0];
        if (format == pf32bit) p[3] = px[3];
      }
    const std::string path = dir.File(format == pf24bit ? "w24.bmp" : "w32.bmp");
    b.SaveToFile(path);
    test::Rgba pillow, magick;
    ASSERT_TRUE(test::PillowDecode(path, pillow));
    ASSERT_TRUE(test::MagickDecode(path, magick));
    ExpectBitmapIs(b, pillow, 0, false, path);
    ExpectBitmapIs(b, magick, 0, false, path);
    TBitmap back;
    back.LoadFromFile(path);
    EXPECT_EQ(back.PixelFormat(), format);
    for (int y = 0; y < kH; ++y)
      EXPECT_EQ(std::memcmp(back.ScanLine(y), b.ScanLine(y), static_cast<size_t>(kW) * b.BytesPerPixel()), 0)
          << y;
  }
}

TEST(BitmapReader, ReadsBackToBackPictures) {
  // Two pictures one after the other in a stream: each read stops after its own data.
  TBitmap a, b;
  a.SetSize(3, 2);
  b.SetPixelFormat(pf32bit);
  b.SetSize(5, 1);
  a.ScanLine(1)[0] = 77;
  b.ScanLine(0)[3] = 99;
  TMemoryStream s;
  a.SaveToStream(s);
  b.SaveToStream(s);
  s.SetPosition(0);
  TBitmap x, y;
  x.LoadFromStream(s);
  y.LoadFromStream(s);
  EXPECT_EQ(s.Position(), s.Size());
  EXPECT_EQ(x.Width(), 3);
  EXPECT_EQ(x.ScanLine(1)[0], 77);
  EXPECT_EQ(y.Width(), 5);
  EXPECT_EQ(y.ScanLine(0)[3], 99);
}

namespace {

// An 8 x 6 run-length coded palette picture (8 or 4 bits) with 16 grey colours and `codes`.
std::string RunLengthBmp(int bits, const std::string& codes) {
  std::string f(14 + 40 + 64, '\0');
  f[0] = 'B', f[1] = 'M';
  Put32(f, 10, static_cast<uint32_t>(f.size()));
  Put32(f, 14, 40);
  Put32(f, 18, 8);
  Put32(f, 22, 6);
  Put16(f, 26, 1);
  Put16(f, 28, static_cast<uint32_t>(bits));
  Put32(f, 30, bits == 8 ? 1 : 2);
  Put32(f, 34, static_cast<uint32_t>(codes.size()));
  Put32(f, 46, 16);
  for (int i = 0; i < 16; ++i) f[54 + 4 * i] = f[55 + 4 * i] = f[56 + 4 * i] = static_cast<char>(i * 16);
  return f + codes;
}

}  // namespace

// Runs, absolute stretches of odd length, moves, line ends, and runs past a row's end (dropped).
// The expected indices are written out, top row first (ImageMagick agrees on the well-formed ones;
// the tools differ on codes past a row's end).
TEST(BitmapReader, RunLengthCodes) {
  struct Case {
    const char* what;
    int bits;
    std::string codes;
    int rows[6][8];
  } cases[] = {
      {"8 bits",
       8,
       std::string("\x03\x05\x00\x03\x01\x02\x03\x00\x00\x00"  // run, absolute 3, end of line
                   "\x04\x07\x00\x02\x02\x01\x02\x09\x00\x00"  // run, move, run, end of line
                   "\x08\x0F\x00\x01",                         // a row, end of picture
                   24),
       {{0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {15, 15, 15, 15, 15, 15, 15, 15},
        {0, 0, 0, 0, 0, 0, 9, 9},
        {7, 7, 7, 7, 0, 0, 0, 0},
        {5, 5, 5, 1, 2, 3, 0, 0}}},
      {"4 bits",
       4,
       std::string("\x05\x12\x00\x05\x34\x56\x70\x00\x00\x00"  // run, absolute 5 (two past the end)
                   "\x00\x02\x03\x02\x04\xAB\x00\x00"          // move, run of two colours
                   "\x08\xEF\x00\x01",
                   22),
       {{0, 0, 0, 0, 0, 0, 0, 0},
        {14, 15, 14, 15, 14, 15, 14, 15},
        {0, 0, 0, 10, 11, 10, 11, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {1, 2, 1, 2, 1, 3, 4, 5}}},
      {"run past the end, no end of picture",
       8,
       std::string("\x0A\x07\x00\x00\x03\x02", 6),
       {{0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {2, 2, 2, 0, 0, 0, 0, 0},
        {7, 7, 7, 7, 7, 7, 7, 7}}},
  };
  for (const Case& c : cases) {
    TBitmap b;
    Load(b, RunLengthBmp(c.bits, c.codes));
    ASSERT_EQ(b.Width(), 8);
    ASSERT_EQ(b.Height(), 6);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 8; ++x)
        EXPECT_EQ(b.ScanLine(y)[3 * x], c.rows[y][x] * 16) << c.what << " " << x << "," << y;
  }
}

TEST(BitmapReader, DamagedFilesFailAndKeepThePicture) {
  // A 6 x 4 8-bit palette picture with a full colour table, and a 32-bit bit-field one.
  std::string p8(14 + 40 + 1024, '\0');
  p8[0] = 'B', p8[1] = 'M';
  Put32(p8, 10, 14 + 40 + 1024);
  Put32(p8, 14, 40);
  Put32(p8, 18, 6);
  Put32(p8, 22, 4);
  Put16(p8, 26, 1);
  Put16(p8, 28, 8);
  p8 += std::string(8 * 4, '\x05');
  TBitmap probe;
  Load(probe, p8);
  ASSERT_EQ(probe.Width(), 6);

  std::string f32(14 + 40 + 12, '\0');
  f32[0] = 'B', f32[1] = 'M';
  Put32(f32, 10, 14 + 40 + 12);
  Put32(f32, 14, 40);
  Put32(f32, 18, 2);
  Put32(f32, 22, 2);
  Put16(f32, 28, 32);
  Put32(f32, 30, 3);  // BI_BITFIELDS
  Put32(f32, 54, 0xFF0000);
  Put32(f32, 58, 0xFF00);
  Put32(f32, 62, 0xFF);
  f32 += std::string(16, '\x40');
  Load(probe, f32);
  ASSERT_EQ(probe.PixelFormat(), pf32bit);

  std::vector<std::pair<std::string, std::string>> bad;
  for (size_t cut : {size_t(0), size_t(1), size_t(13), size_t(14), size_t(17), size_t(30), size_t(53),
                     size_t(60), size_t(1077), p8.size() - 1})
    bad.emplace_back("cut at " + std::to_string(cut), p8.substr(0, cut));
  auto with32 = [&](const std::string& what, size_t at, uint32_t v, const std::string& base) {
    std::string s = base;
    Put32(s, at, v);
    bad.emplace_back(what, s);
  };
  auto with16 = [&](const std::string& what, size_t at, uint32_t v) {
    std::string s = p8;
    Put16(s, at, v);
    bad.emplace_back(what, s);
  };
  with32("signature", 0, 0x4D42 ^ 0x0101, p8);
  with32("width huge", 18, 0x7FFFFFFF, p8);
  with32("height huge", 22, 0x7FFFFFFF, p8);
  with32("height most negative", 22, 0x80000000, p8);
  with32("height below the data", 22, 5, p8);
  with32("width 0", 18, 0, p8);
  with32("width negative", 18, static_cast<uint32_t>(-6), p8);
  with32("offset past the end", 10, 0xFFFFFFF0, p8);
  with32("offset inside the headers", 10, 20, p8);
  with32("offset leaves too few rows", 10, 14 + 40 + 1024 + 4, p8);
  with32("header size 0", 14, 0, p8);
  with32("header size 64", 14, 64, p8);
  with32("header size huge", 14, 0xFFFFFFFF, p8);
  with32("JPEG compression", 30, 4, p8);
  with32("compression garbage", 30, 0xFFFFFFFF, p8);
  with32("colours used huge", 46, 0xFFFFFFFF, p8);
  with32("colours used 257", 46, 257, p8);
  with16("no bits", 28, 0);
  with16("2 bits", 28, 2);
  with16("64 bits", 28, 64);
  with32("bit fields all zero", 54, 0, [&] {
    std::string s = f32;
    Put32(s, 58, 0);
    Put32(s, 62, 0);
    return s;
  }());
  with32("bit fields on 8 bits", 30, 3, p8);
  bad.emplace_back("bit fields cut", f32.substr(0, 60));
  const std::string rle = RunLengthBmp(8, std::string("\x08\x01\x00\x01", 4));
  with32("run-length data beyond the stream", 34, 5, rle);
  with32("run-length picture larger than its data can fill", 18, 100000, rle);
  with32("run-length row of 2^31 - 1 pixels", 18, 0x7FFFFFFF, [&] {
    std::string one = rle;
    Put32(one, 22, 1);
    return one;
  }());
  with32("32-bit rows of 2^31 - 1 pixels, 2^31 - 1 rows", 22, 0x7FFFFFFF, [&] {
    std::string s = p8;
    Put16(s, 28, 32);
    Put32(s, 18, 0x7FFFFFFF);
    return s;
  }());
  with32("run-length top-down", 22, static_cast<uint32_t>(-6), rle);
  {
    std::string s24 = rle;
    Put16(s24, 28, 24);
    bad.emplace_back("run-length on 24 bits", s24);
  }
  ExpectRejected<TBitmap>(bad, "Bitmap image is not valid", p8);
  Mutate<TBitmap>(p8.substr(0, 14 + 40 + 64) + p8.substr(14 + 40 + 1024), 400, 1);
  Mutate<TBitmap>(f32, 400, 2);
  Mutate<TBitmap>(
      RunLengthBmp(4, std::string("\x05\x12\x00\x05\x34\x56\x70\x00\x00\x02\x03\x02\x00\x01", 14)), 400, 4);
}

// ---- PNG ----

TEST(PngReader, PillowFilesGivePillowsPixels) {
  TempDir dir;
  struct Case {
    const char* mode;
    uint8_t colorType;
    bool alpha;
  } cases[] = {{"RGB", COLOR_RGB, false},     {"RGBA", COLOR_RGBALPHA, true},
               {"L", COLOR_GRAYSCALE, false}, {"LA", COLOR_GRAYSCALEALPHA, true},
               {"P", COLOR_PALETTE, false},   {"1", COLOR_GRAYSCALE, false}};
  std::vector<std::string> modes;
  for (const Case& c : cases) modes.push_back(c.mode);
  const std::vector<std::string> paths = WritePillowPngs(dir, "p-", modes);
  ASSERT_TRUE(test::PillowDecodeAll(paths));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const std::string& path = paths[i];
    test::Rgba want;
    ASSERT_TRUE(test::LoadDecoded(path, want)) << c.mode;
    TPngImage png;
    png.LoadFromFile(path);
    ASSERT_EQ(png.Width(), kW);
    ASSERT_EQ(png.Height(), kH);
    EXPECT_EQ(png.Header().ColorType, c.colorType) << c.mode;
    EXPECT_EQ(png.AlphaScanline(0) != nullptr, c.alpha) << c.mode;
    // The RGBA image: Pillow's pixels with the rows reversed, alpha 255 without an alpha channel.
    TGLImage image;
    image.Assign(&png);
    ASSERT_EQ(image.ColorFormat(), uint32_t(GL_RGBA)) << c.mode;
    for (int k = 0; k < kH; ++k) {
      const TGLPixel32* row = image.ScanLine(k);
      for (int x = 0; x < kW; ++x) {
        const uint8_t* q = At(want, x, kH - 1 - k);
        ASSERT_EQ(row[x].R, q[0]) << c.mode << " " << x << "," << k;
        ASSERT_EQ(row[x].G, q[1]) << c.mode << " " << x << "," << k;
        ASSERT_EQ(row[x].B, q[2]) << c.mode << " " << x << "," << k;
        ASSERT_EQ(row[x].A, c.alpha ? q[3] : 255) << c.mode << " " << x << "," << k;
        ASSERT_EQ(png.Pixels(x, kH - 1 - k), TColor(q[0] | (q[1] << 8) | (q[2] << 16)));
      }
    }
  }
}

TEST(PngReader, InterlacedAndSixteenBitFiles) {
  TempDir dir;
  const std::string source = WritePillowPng(dir, "source-", "RGBA");
  // PNG32 and PNG64 keep the alpha channel (ImageMagick would write a small picture as a palette).
  const char* const options[] = {
      "-interlace PNG PNG32:", "-depth 16 PNG64:", "-depth 16 -interlace PNG PNG64:"};
  std::string commands = "true";
  std::vector<std::string> paths;
  for (const char* o : options) {
    paths.push_back(dir.File("x" + std::to_string(paths.size()) + ".png"));
    commands += " && /usr/bin/convert '" + source + "' " + o + "'" + paths.back() + "'";
  }
  ASSERT_TRUE(test::RunCommand(commands));
  ASSERT_TRUE(test::PillowDecodeAll(paths));
  for (size_t i = 0; i < paths.size(); ++i) {
    test::Rgba want;
    ASSERT_TRUE(test::LoadDecoded(paths[i], want));
    TPngImage png;
    png.LoadFromFile(paths[i]);
    TBitmap b;
    b.Assign(&png);
    ASSERT_EQ(b.PixelFormat(), pf32bit) << options[i];
    ExpectBitmapIs(b, want, 0, true, options[i]);
  }
}

TEST(PngReader, DamagedFilesFailAndKeepThePicture) {
  TempDir dir;
  const std::string good = test::ReadFile(WritePillowPng(dir, "good-", "RGBA"));
  ASSERT_GT(good.size(), 60u);
  std::vector<std::pair<std::string, std::string>> bad;
  for (size_t cut : {size_t(0), size_t(7), size_t(8), size_t(20), size_t(33), size_t(40), good.size() / 2,
                     good.size() - 12, good.size() - 1})
    bad.emplace_back("cut at " + std::to_string(cut), good.substr(0, cut));
  std::string s = good;
  s[1] = 'Q';
  bad.emplace_back("signature", s);
  s = good;
  s[20] ^= 0x55;
  bad.emplace_back("header CRC", s);
  bad.emplace_back("width 0", WithPngSize(good, 0, kH));
  bad.emplace_back("sizes beyond the data", WithPngSize(good, 100000, 100000));
  bad.emplace_back("height beyond the data", WithPngSize(good, kW, 0x7FFFFFF0));
  bad.emplace_back("width above 31 bits", WithPngSize(good, 0x80000000u, kH));
  s = good;
  Put32(s, 33, 0xF0FFFFFF);  // the next chunk's length, big-endian 0xFFFFFFF0
  bad.emplace_back("chunk length huge", s);
  s = good;
  s[good.size() / 2] ^= 0x5A;
  bad.emplace_back("image data mutated", s);
  // The head of a text chunk that declares 1.9 GB, right after the header.
  bad.emplace_back("text chunk of 1.9 GB", good.substr(0, 33) + std::string("\x71\0\0\0tEXt", 8));
  // None asks for memory its data cannot fill.
  const size_t largest = test_support::LargestAllocationDuring(
      [&] { ExpectRejected<TPngImage>(bad, "PNG image is not valid", good); });
  EXPECT_LT(largest, size_t(16) << 20);
  Mutate<TPngImage>(good, 300, 3);
}

// ---- Picture and registered formats ----

TEST(Picture, LoadsByExtensionAndKeepsItsGraphicOnFailure) {
  TextureStartup();
  TempDir dir;
  const std::string pngPath = dir.File("a.PNG");
  std::filesystem::rename(WritePillowPng(dir, "a-", "RGB"), pngPath);
  TBitmap b;
  b.SetSize(3, 2);
  const std::string bmpPath = dir.File("b.Bmp");
  b.SaveToFile(bmpPath);

  TPicture picture;
  int changes = 0;
  picture.OnChange = [&](TObject*) { ++changes; };
  picture.LoadFromFile(bmpPath);
  EXPECT_STREQ(picture.Graphic()->ClassName(), "TBitmap");
  EXPECT_EQ(changes, 1);
  picture.LoadFromFile(pngPath);
  EXPECT_STREQ(picture.Graphic()->ClassName(), "TPngImage");
  EXPECT_EQ(picture.Width(), kW);
  EXPECT_EQ(changes, 2);

  const std::string damaged = dir.File("c.png");
  test::WriteFile(damaged, "\x89PNG\r\n\x1a\n garbage");
  EXPECT_THROW(picture.LoadFromFile(damaged), EInvalidGraphic);
  EXPECT_STREQ(picture.Graphic()->ClassName(), "TPngImage");
  EXPECT_EQ(picture.Width(), kW);
  EXPECT_EQ(changes, 2);
  try {
    picture.LoadFromFile(dir.File("d.gif"));
    FAIL();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Unknown picture file extension (.gif)");
  }
  EXPECT_THROW(picture.LoadFromFile(dir.File("missing.bmp")), common::Exception);

  // The graphic's own changes reach the picture's event; copies are independent.
  TPicture other;
  other.Assign(&picture);
  EXPECT_NE(other.Graphic(), picture.Graphic());
  EXPECT_EQ(other.Width(), kW);
  picture.SetGraphic(&b);
  EXPECT_EQ(changes, 3);
  static_cast<TBitmap*>(picture.Graphic())->SetSize(9, 9);
  EXPECT_EQ(changes, 4);
  picture.Assign(nullptr);
  EXPECT_EQ(picture.Graphic(), nullptr);
}

TEST(Picture, AFailedSaveLeavesTheOldFile) {
  TextureStartup();
  TempDir dir;
  const std::string path = dir.File("keep.png");
  test::WriteFile(path, "old contents");
  TPngImage png;
  EXPECT_THROW(png.SaveToFile(path), EInvalidGraphic);
  EXPECT_EQ(test::ReadFile(path), "old contents");
  TBitmap b;
  b.SetSize(2, 2);
  b.SaveToFile(path);
  EXPECT_EQ(test::ReadFile(path).substr(0, 2), "BM");
  EXPECT_FALSE(std::filesystem::exists(path + ".saving~"));
}

TEST(PictureRegisteredFormats, LinesAndExtensions) {
  TextureStartup();
  std::vector<TPictureFormatLine> lines;
  GetRegisteredPictureFormats(lines);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0].Text, "bmp=Bitmaps");
  EXPECT_EQ(lines[0].Object, &TBitmap::Create);
  EXPECT_EQ(lines[1].Text, "png=Portable Network Graphics");
  struct Case {
    const char* extension;
    TGraphicClass expected;
  } cases[] = {{"bmp", &TBitmap::Create},
               {".BMP", &TBitmap::Create},
               {"Png", &TPngImage::Create},
               {".png", &TPngImage::Create},
               {"", nullptr},
               {"gif", nullptr},
               {".", nullptr},
               {"bm", nullptr}};
  for (const Case& c : cases) EXPECT_EQ(GraphicClassForExtension(c.extension), c.expected) << c.extension;
}

// ---- File utilities ----

TEST(GLUtils, NextPowerOfTwo) {
  const int32_t cases[][2] = {{-5, 1},
                              {0, 1},
                              {1, 1},
                              {2, 2},
                              {3, 4},
                              {1021, 1024},
                              {1024, 1024},
                              {1025, 2048},
                              {1 << 30, 1 << 30},
                              {(1 << 30) + 1, 1 << 30},
                              {2147483647, 1 << 30}};
  for (const auto& c : cases) EXPECT_EQ(NextPowerOfTwo(c[0]), c[1]) << c[0];
}

TEST(GLUtils, WholeFileStrings) {
  TempDir dir;
  const std::string path = dir.File("text.txt");
  EXPECT_EQ(LoadAnsiStringFromFile(path), "");
  EXPECT_EQ(FileSizeOf(path), 0);
  const std::string bytes("a\0b\xff", 4);
  SaveAnsiStringToFile(path, bytes);
  EXPECT_EQ(LoadAnsiStringFromFile(path), bytes);
  EXPECT_EQ(FileSizeOf(path), 4);
  SaveAnsiStringToFile(path, "");
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(FileSizeOf(path), 0);
  EXPECT_EQ(LoadAnsiStringFromFile(path), "");
  EXPECT_EQ(LoadAnsiStringFromFile(dir.File("")), "") << "a folder is not a file";
  common::test::ExpectSaveKeepsLinksAndModes(
      ".txt", [](const std::string& name) { SaveAnsiStringToFile(name, "new"); });
}

TEST(GLUtils, SqrtByteTable) {
  const uint8_t* t = SqrtByteTable();
  EXPECT_EQ(t, SqrtByteTable());
  const int head[] = {0, 15, 22, 27, 31, 35, 39, 42, 45, 47};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(t[i], head[i]) << i;
  EXPECT_EQ(t[64], 127);
  EXPECT_EQ(t[128], 180);
  EXPECT_EQ(t[252], 253);
  EXPECT_EQ(t[255], 255);
  for (int i = 0; i < 256; ++i)
    EXPECT_EQ(t[i], static_cast<int>(std::floor(std::sqrt(i / 255.0L) * 255.0L + 1e-12L))) << i;
}

TEST(GLUtils, MessageBoxesGoThroughTheHook) {
  static std::vector<std::string> shown;
  shown.clear();
  ShowInformation("nobody listens");
  SetMessageBoxHook(
      [](const std::string& text, const std::string& caption) { shown.push_back(caption + "|" + text); });
  ShowInformation("hello");
  ShowMessageBox("Could not open file: x", "Error!");
  SetMessageBoxHook(nullptr);
  EXPECT_EQ(shown, (std::vector<std::string>{"|hello", "Error!|Could not open file: x"}));
}
