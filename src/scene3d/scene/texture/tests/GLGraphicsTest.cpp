// The texture image buffer (levels, formats, conversion, mipmaps, the error picture) and the RGBA
// image (blank state, scan lines, assignment from bitmaps and PNG images, pixel operations).
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "ImageProbe.h"
#include "scene3d/gl/GLLog.h"
#include "scene3d/gl/tests/RecordingFixture.h"
#include "scene3d/scene/texture/GLGraphics.h"
#include "scene3d/scene/texture/picture/Bitmap.h"
#include "scene3d/scene/texture/picture/PngImage.h"

using namespace gl3d;
using common::EAssertionFailed;

namespace {

using Bytes = std::vector<uint8_t>;

// A w x h RGBA image holding `pixels` (w * h * 4 bytes, first row first).
void MakeRgba(TGLImage& image, int w, int h, const Bytes& pixels) {
  image.SetWidth(w);
  image.SetHeight(h);
  image.SetBlank(false);
  std::memcpy(image.GetData(), pixels.data(), pixels.size());
}

Bytes DataOf(const TGLBaseImage& image, uint64_t from, uint64_t count) {
  return Bytes(image.GetData() + from, image.GetData() + from + count);
}

// A 24- or 32-bit bitmap whose pixel (x, y), y = 0 the top row, is (x * 10 + y, 100 + y, 200 - x, 50 + x).
TBitmap MakeBitmap(int w, int h, TPixelFormat format, bool topDown = false) {
  const int step = format == pf32bit ? 4 : 3;
  const size_t stride = (static_cast<size_t>(w) * step + 3) & ~size_t(3);
  Bytes pixels(stride * h);
  for (int y = 0; y < h; ++y) {
    const int stored = topDown ? y : h - 1 - y;
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &pixels[stored * stride + x * step];
      p[0] = static_cast<uint8_t>(200 - x);     // blue
      p[1] = static_cast<uint8_t>(100 + y);     // green
      p[2] = static_cast<uint8_t>(x * 10 + y);  // red
      if (step == 4) p[3] = static_cast<uint8_t>(50 + x);
    }
  }
  TBitmap b;
  b.Adopt(w, h, format, topDown, std::move(pixels));
  return b;
}

struct LogCatcher {
  std::vector<std::string> lines;
  LogCatcher() {
    gllog::SetObserver([](gllog::TLevel, std::string_view t,
                          void* self) { static_cast<LogCatcher*>(self)->lines.emplace_back(t); },
                       this);
  }
  ~LogCatcher() { gllog::SetObserver(nullptr, nullptr); }
};

void ExpectErrorPicture(const TGLBaseImage& image) {
  EXPECT_EQ(image.GetWidth(), 64);
  EXPECT_EQ(image.GetHeight(), 64);
  EXPECT_EQ(image.GetDepth(), 0);
  EXPECT_EQ(image.ColorFormat(), uint32_t(GL_RGB));
  EXPECT_EQ(image.InternalFormat(), tfRGB8);
  EXPECT_EQ(image.ElementSize(), 3);
  EXPECT_EQ(image.LevelCount(), 1);
  EXPECT_FALSE(image.CubeMap());
  EXPECT_EQ(image.DataSize(), 12288u);
}

}  // namespace

// ---- Levels ----

TEST(GLBaseImage, LevelTables) {
  struct Case {
    const char* what;
    int32_t w, h, d;
    uint32_t format, type;
    TGLInternalFormat internal;
    int32_t elementSize;
    bool cube, array;
    uint8_t levels;
    std::vector<uint64_t> sizes;  // of the first levels
    uint64_t dataSize;
  } cases[] = {
      {"256 x 256 RGBA",
       256,
       256,
       0,
       GL_RGBA,
       GL_UNSIGNED_BYTE,
       tfRGBA8,
       4,
       false,
       false,
       9,
       {262144, 65536, 16384, 4096, 1024, 256, 64, 16, 4},
       349524},
      {"5 x 3 RGB rounds up to 4",
       5,
       3,
       0,
       GL_RGB,
       GL_UNSIGNED_BYTE,
       tfRGB8,
       3,
       false,
       false,
       1,
       {48, 8},
       48},
      {"64 x 64 cube map",
       64,
       64,
       0,
       GL_RGBA,
       GL_UNSIGNED_BYTE,
       tfRGBA8,
       4,
       true,
       false,
       2,
       {98304, 24576},
       122880},
      {"16 x 16 array of 4",
       16,
       16,
       4,
       GL_RGBA,
       GL_UNSIGNED_BYTE,
       tfRGBA8,
       4,
       false,
       true,
       5,
       {4096, 1024, 256, 64, 16},
       5456},
      {"10 x 6 DXT1",
       10,
       6,
       0,
       GL_COMPRESSED_RGBA_S3TC_DXT1_EXT,
       GL_COMPRESSED_RGBA_S3TC_DXT1_EXT,
       tfCOMPRESSED_RGBA_S3TC_DXT1,
       8,
       false,
       false,
       3,
       {48, 16, 8},
       72},
      {"8 x 8 x 8 volume: the depth reaches 0",
       8,
       8,
       8,
       GL_RGBA,
       GL_UNSIGNED_BYTE,
       tfRGBA8,
       4,
       false,
       false,
       5,
       {2048, 256, 32, 4, 4},
       2344},
      {"1 x 1", 1, 1, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, tfLUMINANCE8, 1, false, false, 1, {4}, 4},
  };
  for (const Case& c : cases) {
    Probe image;
    image.Layout(c.w, c.h, c.d, c.format, c.type, c.internal, c.elementSize, c.cube, c.array, c.levels);
    EXPECT_EQ(image.DataSize(), c.dataSize) << c.what;
    uint64_t offset = 0;
    for (size_t i = 0; i < c.sizes.size(); ++i) {
      EXPECT_EQ(image.LevelSizeInByte(static_cast<uint8_t>(i)), c.sizes[i]) << c.what << " level " << i;
      EXPECT_EQ(image.LevelOffset(static_cast<uint8_t>(i)), offset) << c.what << " level " << i;
      offset += c.sizes[i];
    }
  }
  Probe array;
  array.Layout(16, 16, 4, GL_RGBA, GL_UNSIGNED_BYTE, tfRGBA8, 4, false, true);
  array.DataSize();
  for (uint8_t i = 0; i < 16; ++i) EXPECT_EQ(array.LevelDepth(i), 4) << int(i);

  Probe cube;
  cube.Layout(64, 64, 0, GL_RGBA, GL_UNSIGNED_BYTE, tfRGBA8, 4, true);
  cube.Fill();
  EXPECT_EQ(cube.LevelFaceAddress(0, 2), cube.GetData() + 32768);
}

TEST(GLBaseImage, MipLevelCounts) {
  struct Case {
    int32_t w, h, d;
    bool halveDepth;
    int count;
  } cases[] = {{256, 256, 0, false, 9}, {16, 16, 4, false, 5},   {16, 16, 64, true, 7}, {1, 1, 0, false, 1},
               {8, 1, 0, false, 4},     {1021, 3, 0, false, 10}, {0, 0, 0, false, 1}};
  for (const Case& c : cases)
    EXPECT_EQ(TGLBaseImage::MipLevelCount(c.w, c.h, c.d, c.halveDepth), c.count)
        << c.w << "x" << c.h << "x" << c.d;
  int32_t e = 1;
  TGLBaseImage::HalveDimension(e);
  EXPECT_EQ(e, 1);
  e = 7;
  TGLBaseImage::HalveDimension(e);
  EXPECT_EQ(e, 3);
}

// Sizes are counted in 64 bits: a picture whose bytes do not fit in 32 bits is a failed
// conversion and gives the error picture instead of a wrapped size.
TEST(GLBaseImage, HugeSizesGiveTheErrorPicture) {
  LogCatcher log;
  struct Case {
    int32_t w, h, d;
  } cases[] = {{70000, 70000, 0}, {65536, 65536, 1}, {2147483647, 2147483647, 2147483647}};
  for (const Case& c : cases) {
    TGLImage image;
    image.SetWidth(c.w);
    image.SetHeight(c.h);
    image.SetDepth(c.d);
    EXPECT_TRUE(image.Blank());
    image.SetBlank(false);
    EXPECT_FALSE(image.Blank());
    ExpectErrorPicture(image);
  }
  EXPECT_EQ(log.lines.size(), 3u);
  EXPECT_EQ(log.lines[0], "TGLImage: can't convert image to RGBA8 format");
}

// ---- Conversion ----

TEST(GLBaseImage, ConvertToRGBA8) {
  TGLImage rgba;
  MakeRgba(rgba, 2, 1, {1, 2, 3, 4, 5, 6, 7, 8});
  uint8_t* before = rgba.GetData();
  rgba.ConvertToRGBA8();
  EXPECT_EQ(rgba.GetData(), before) << "RGBA8 is left as it is";

  Probe bgr;
  bgr.Layout(2, 2, 0, GL_BGR, GL_UNSIGNED_BYTE, tfRGB8, 3);
  bgr.SetBlank(false);
  const Bytes pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  std::memcpy(bgr.GetData(), pixels.data(), pixels.size());
  bgr.ConvertToRGBA8();
  EXPECT_EQ(bgr.ColorFormat(), uint32_t(GL_RGBA));
  EXPECT_EQ(bgr.ElementSize(), 4);
  EXPECT_EQ(bgr.InternalFormat(), tfRGBA8);
  EXPECT_EQ(DataOf(bgr, 0, 16), (Bytes{3, 2, 1, 255, 6, 5, 4, 255, 9, 8, 7, 255, 12, 11, 10, 255}));

  // An array keeps its first slice only.
  Probe array;
  array.Layout(1, 1, 3, GL_LUMINANCE, GL_UNSIGNED_BYTE, tfLUMINANCE8, 1, false, true);
  array.Fill();
  const uint8_t first = array.GetData()[0];
  array.ConvertToRGBA8();
  EXPECT_EQ(array.GetDepth(), 0);
  EXPECT_FALSE(array.TextureArray());
  EXPECT_EQ(DataOf(array, 0, 4), (Bytes{first, first, first, 255}));

  // A layout the readers do not know: logged, and the error picture.
  LogCatcher log;
  Probe srgb;
  srgb.Layout(4, 4, 0, GL_RGBA, GL_COMPRESSED_SRGB_S3TC_DXT1_EXT, tfCOMPRESSED_SRGB_S3TC_DXT1, 8);
  srgb.Fill();
  srgb.ConvertToRGBA8();
  ExpectErrorPicture(srgb);
  ASSERT_EQ(log.lines.size(), 1u);
}

TEST(GLBaseImage, ErrorPicture) {
  TGLImage image;
  MakeRgba(image, 2, 2, Bytes(16, 9));
  image.LoadErrorPicture();
  ExpectErrorPicture(image);
  const uint8_t* p = image.GetData();
  int coloured = 0;
  for (int i = 0; i < 64 * 64; ++i) coloured += (p[3 * i] | p[3 * i + 1] | p[3 * i + 2]) != 0;
  EXPECT_GT(coloured, 200);
  EXPECT_LT(coloured, 64 * 64 / 2) << "lettering on black";
  EXPECT_EQ(Bytes(p, p + 64 * 3), Bytes(64 * 3, 0)) << "the bottom row is black";
}

TEST(GLBaseImage, AssignCopiesDescriptionAndPixels) {
  Probe source;
  source.Layout(4, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, tfRGB8, 3, false, false, 2);
  source.Fill();
  TGLBaseImage copy;
  copy.Assign(&source);
  EXPECT_EQ(copy.GetWidth(), 4);
  EXPECT_EQ(copy.LevelCount(), 2);
  EXPECT_EQ(copy.ColorFormat(), uint32_t(GL_RGB));
  EXPECT_EQ(copy.ElementSize(), 3);
  EXPECT_EQ(copy.LevelWidth(1), 2);
  ASSERT_EQ(copy.DataSize(), source.DataSize());
  EXPECT_EQ(DataOf(copy, 0, copy.DataSize()), DataOf(source, 0, source.DataSize()));
  copy.Assign(nullptr);
  EXPECT_EQ(copy.GetWidth(), 4);
  TBitmap bitmap;
  try {
    copy.Assign(&bitmap);
    FAIL();
  } catch (const common::EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TBitmap to a TGLBaseImage");
  }
}

// ---- Mipmaps ----

TEST(GLBaseImage, GenerateMipmapFiltersEverySliceAndFace) {
  struct Case {
    const char* what;
    int32_t w, h, d;
    bool cube, array;
    int slices, levels;
  } cases[] = {{"2D", 8, 4, 0, false, false, 1, 4},
               {"array of 3", 8, 8, 3, false, true, 3, 4},
               {"cube map: all six faces", 4, 4, 0, true, false, 6, 3}};
  for (const Case& c : cases) {
    Probe image;
    image.Layout(c.w, c.h, c.d, GL_RGBA, GL_UNSIGNED_BYTE, tfRGBA8, 4, c.cube, c.array);
    image.Fill();
    const Bytes level0 = DataOf(image, 0, image.LevelSizeInByte(0));
    image.GenerateMipmap(TentFilterKernel);
    ASSERT_EQ(image.LevelCount(), c.levels) << c.what;
    EXPECT_EQ(DataOf(image, 0, level0.size()), level0) << c.what;
    const size_t slice0 = level0.size() / c.slices;
    for (int s = 0; s < c.slices; ++s) {
      std::vector<Bytes> want;
      std::vector<void*> pointers;
      for (int i = 1; i < c.levels; ++i)
        want.emplace_back(image.LevelSizeInByte(static_cast<uint8_t>(i)) / c.slices);
      for (Bytes& b : want) pointers.push_back(b.data());
      BuildMipmapChain(level0.data() + s * slice0, pointers, GL_RGBA, GL_UNSIGNED_BYTE, TentFilterKernel, c.w,
                       c.h);
      for (int i = 1; i < c.levels; ++i) {
        const uint64_t size = want[i - 1].size();
        EXPECT_EQ(DataOf(image, image.LevelOffset(static_cast<uint8_t>(i)) + s * size, size), want[i - 1])
            << c.what << " slice " << s << " level " << i;
      }
    }
    image.UnMipmap();
    EXPECT_EQ(image.LevelCount(), 1);
    EXPECT_EQ(image.HeldBytes(), level0.size()) << "the RGBA image shrinks its block";
  }
}

TEST(GLBaseImage, GenerateMipmapOnVolumesAndLongPictures) {
  Probe volume;
  volume.Layout(8, 8, 8, GL_RGBA, GL_UNSIGNED_BYTE, tfRGBA8, 4);
  volume.Fill();
  volume.GenerateMipmap(TentFilterKernel);
  EXPECT_EQ(volume.LevelCount(), 4);
  EXPECT_EQ(volume.HeldBytes(), volume.DataSize());
  // The level table holds 16 levels: 65536 x 1 keeps its first 16 of 17.
  Probe longOne;
  longOne.Layout(65536, 1, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, tfLUMINANCE8, 1);
  longOne.Fill();
  longOne.GenerateMipmap(TentFilterKernel);
  EXPECT_EQ(longOne.LevelCount(), 16);
  EXPECT_EQ(longOne.LevelWidth(15), 2);
  // A blank image builds nothing.
  TGLImage blank;
  blank.SetWidth(8);
  blank.SetHeight(8);
  blank.GenerateMipmap(TentFilterKernel);
  EXPECT_EQ(blank.LevelCount(), 1);
}

// ---- The RGBA image ----

TEST(GLImage, BlankStateAndScanLines) {
  TGLImage image;
  EXPECT_FALSE(image.Blank());
  EXPECT_TRUE(image.IsEmpty());
  EXPECT_EQ(image.GetData(), nullptr);
  image.SetWidth(4);
  image.SetHeight(2);
  EXPECT_TRUE(image.Blank());
  image.SetBlank(false);
  EXPECT_EQ(image.HeldBytes(), 32u);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(image.ScanLine(1)), image.GetData() + 16);
  std::memset(image.GetData(), 5, 32);
  image.SetWidth(4);
  EXPECT_FALSE(image.Blank()) << "an unchanged width";
  EXPECT_EQ(image.GetData()[31], 5);
  EXPECT_THROW(image.ScanLine(2), EAssertionFailed);
  EXPECT_THROW(image.ScanLine(-1), EAssertionFailed);
  EXPECT_THROW(image.SetWidth(-1), EAssertionFailed);
  EXPECT_THROW(image.SetDepth(-3), EAssertionFailed);
  EXPECT_EQ(image.GetWidth(), 4);
  image.SetCubeMap(true);
  EXPECT_TRUE(image.Blank());
  EXPECT_EQ(image.GetData()[31], 5) << "blank keeps the block";
  image.SetCubeMap(false);
  image.SetWidth(8);
  EXPECT_THROW(image.ScanLine(1), EAssertionFailed) << "a row beyond the pixels held";
}

TEST(GLImage, AssignImages) {
  TGLImage source;
  MakeRgba(source, 2, 1, {1, 2, 3, 4, 5, 6, 7, 8});
  TGLImage copy;
  copy.Assign(&source);
  EXPECT_FALSE(copy.Blank());
  EXPECT_EQ(DataOf(copy, 0, 8), DataOf(source, 0, 8));

  TGLImage blank;
  blank.SetWidth(64);
  blank.SetHeight(32);
  blank.SetColorFormatDataType(GL_BGRA, GL_UNSIGNED_BYTE);
  uint8_t* kept = copy.GetData();
  copy.Assign(&blank);
  EXPECT_TRUE(copy.Blank());
  EXPECT_EQ(copy.GetWidth(), 64);
  EXPECT_EQ(copy.GetHeight(), 32);
  EXPECT_EQ(copy.ColorFormat(), uint32_t(GL_BGRA));
  EXPECT_EQ(copy.GetData(), kept) << "no pixels copied";

  TGLBaseImage base;
  copy.Assign(&base);
  EXPECT_FALSE(copy.Blank()) << "a plain image is never blank";
  copy.Assign(nullptr);
  EXPECT_FALSE(copy.Blank());
}

TEST(GLImage, SetColorFormatDataType) {
  TGLImage image;
  MakeRgba(image, 2, 1, {10, 20, 30, 40, 50, 60, 70, 80});
  image.SetColorFormatDataType(GL_BGR, GL_UNSIGNED_BYTE);
  EXPECT_EQ(image.ElementSize(), 3);
  EXPECT_EQ(image.OldColorFormat(), uint32_t(GL_RGBA));
  EXPECT_EQ(image.OldDataType(), uint32_t(GL_UNSIGNED_BYTE));
  EXPECT_EQ(DataOf(image, 0, 6), (Bytes{30, 20, 10, 70, 60, 50}));

  TGLImage blank;
  blank.SetWidth(2);
  blank.SetHeight(2);
  blank.SetColorFormatDataType(GL_RGB, GL_FLOAT);
  EXPECT_EQ(blank.ColorFormat(), uint32_t(GL_RGB));
  EXPECT_EQ(blank.DataType(), uint32_t(GL_FLOAT));
  EXPECT_EQ(blank.ElementSize(), 4) << "a blank image keeps its element size";

  // A cube map converts all six faces.
  Probe cube;
  cube.Layout(1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, tfRGBA8, 4, true);
  cube.Fill();
  Bytes faces = DataOf(cube, 0, 24);
  cube.SetColorFormatDataType(GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE);
  for (int f = 0; f < 6; ++f) {
    const uint8_t* in = &faces[4 * f];
    const uint8_t l = static_cast<uint8_t>((float(in[0]) + in[1] + in[2]) / 3.0f);
    EXPECT_EQ(DataOf(cube, 2 * f, 2), (Bytes{l, in[3]})) << "face " << f;
  }

  // So does a volume, level by level with each level's slices.
  Probe volume;
  volume.Layout(2, 2, 2, GL_RGBA, GL_UNSIGNED_BYTE, tfRGBA8, 4, false, false, 2);
  volume.Fill();
  const Bytes before = DataOf(volume, 0, volume.DataSize());
  volume.SetColorFormatDataType(GL_BGRA, GL_UNSIGNED_BYTE);
  ASSERT_EQ(volume.DataSize(), before.size());
  for (size_t p = 0; p < (2 * 2 * 2 + 1); ++p)
    EXPECT_EQ(DataOf(volume, 4 * p, 4),
              (Bytes{before[4 * p + 2], before[4 * p + 1], before[4 * p], before[4 * p + 3]}))
        << "texel " << p;

  LogCatcher log;
  image.SetColorFormatDataType(GL_RGB, GL_UNSIGNED_SHORT_5_6_5);
  ExpectErrorPicture(image);
  EXPECT_EQ(log.lines.size(), 1u);
}

class GLImageOnContext : public RecordingFixture {};

TEST_F(GLImageOnContext, BitmapAssignmentWithAndWithoutBgra) {
  for (bool bgra : {true, false}) {
    G().EXT_bgra = bgra;
    for (bool topDown : {false, true}) {
      for (bool keep : {false, true}) {
        const std::string what = std::string(bgra ? "bgra" : "no bgra") + (topDown ? " top-down" : "") +
                                 (keep ? " keeping row order" : "");
        TBitmap b24 = MakeBitmap(4, 3, pf24bit, topDown), b32 = MakeBitmap(4, 3, pf32bit, topDown);
        TGLImage i24, i32;
        i24.SetKeepRowOrder(keep);
        i32.SetKeepRowOrder(keep);
        i24.Assign(&b24);
        i32.Assign(&b32);
        EXPECT_EQ(i24.ColorFormat(), uint32_t(bgra ? GL_BGR : GL_RGBA)) << what;
        EXPECT_EQ(i24.ElementSize(), bgra ? 3 : 4) << what;
        EXPECT_EQ(i32.ColorFormat(), uint32_t(bgra ? GL_BGRA : GL_RGBA)) << what;
        EXPECT_EQ(i24.InternalFormat(), tfRGBA8) << what;
        // Image row k is bitmap row (height - 1 - k), or k with KeepRowOrder; as RGBA.
        for (int k = 0; k < 3; ++k) {
          const int y = keep ? k : 2 - k;
          const TGLPixel32* p24 = i24.ScanLine(k);
          const TGLPixel32* p32 = i32.ScanLine(k);
          for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(p24[x].R, x * 10 + y) << what;
            EXPECT_EQ(p24[x].G, 100 + y) << what;
            EXPECT_EQ(p24[x].B, 200 - x) << what;
            EXPECT_EQ(p24[x].A, 255) << what;
            EXPECT_EQ(p32[x].R, x * 10 + y) << what;
            EXPECT_EQ(p32[x].A, 50 + x) << what;
          }
        }
      }
    }
  }
}

TEST_F(GLImageOnContext, NarrowBitmapWithoutBgraIsStretchedToAMultipleOfFour) {
  G().EXT_bgra = false;
  TBitmap b = MakeBitmap(3, 3, pf24bit);
  TGLImage image;
  image.Assign(&b);
  ASSERT_EQ(image.GetWidth(), 4);
  ASSERT_EQ(image.GetHeight(), 3);
  const int sourceColumn[4] = {0, 0, 1, 2};  // nearest pixel of 3 over 4
  for (int x = 0; x < 4; ++x) EXPECT_EQ(image.ScanLine(2)[x].R, sourceColumn[x] * 10) << x;
  // With GL_EXT_bgra the width stays.
  G().EXT_bgra = true;
  image.Assign(&b);
  EXPECT_EQ(image.GetWidth(), 3);
}

TEST(GLImage, BitmapOfTheImage) {
  TBitmap b = MakeBitmap(4, 2, pf32bit);
  TGLImage image;
  image.Assign(&b);
  std::unique_ptr<TBitmap> back = image.CreateBGRABitmap();
  ASSERT_TRUE(back);
  ASSERT_EQ(back->PixelFormat(), pf32bit);
  for (int y = 0; y < 2; ++y)
    EXPECT_EQ(Bytes(back->ScanLine(y), back->ScanLine(y) + 16), Bytes(b.ScanLine(y), b.ScanLine(y) + 16))
        << y;
  image.SetWidth(9);
  EXPECT_EQ(image.CreateBGRABitmap(), nullptr) << "blank";
}

TEST(GLImage, PixelOperations) {
  auto make = [](const Bytes& pixels) {
    auto image = std::make_unique<TGLImage>();
    MakeRgba(*image, static_cast<int>(pixels.size() / 4), 1, pixels);
    return image;
  };
  auto alphas = [](TGLImage& image) {
    Bytes a;
    for (uint64_t i = 3; i < image.DataSize(); i += 4) a.push_back(image.GetData()[i]);
    return a;
  };
  {
    auto image = make({0, 0, 0, 77, 0, 0, 1, 77, 30, 60, 90, 1});
    image->ClearAlphaForColor(TColor(0));
    EXPECT_EQ(alphas(*image), (Bytes{0, 255, 255}));
    image->ClearAlphaForColor(TGLPixel32{30, 60, 90, 0});
    EXPECT_EQ(alphas(*image), (Bytes{255, 255, 0}));
    image->SetAlphaToIntensity();
    EXPECT_EQ(alphas(*image), (Bytes{0, 0, 60}));
    image->InvertAlpha();
    EXPECT_EQ(alphas(*image), (Bytes{255, 255, 195}));
    image->FillAlpha(9);
    EXPECT_EQ(alphas(*image), (Bytes{9, 9, 9}));
    image->SqrtAlpha();
    EXPECT_EQ(alphas(*image), (Bytes{0, 0, 123}));  // sqrt(60 / 255) * 255 = 123.7
  }
  {
    auto image = make({100, 200, 0, 7});
    image->ApplyImageBrightness(2);
    EXPECT_EQ(DataOf(*image, 0, 4), (Bytes{200, 255, 0, 7}));
    image->ApplyImageGamma(1);
    EXPECT_EQ(DataOf(*image, 0, 4), (Bytes{200, 255, 0, 7}));
    image->ApplyImageGamma(2);  // round(sqrt(200 / 255) * 255) = 225.8
    EXPECT_EQ(DataOf(*image, 0, 4), (Bytes{226, 255, 0, 7}));
    image->ApplyImageGamma(0.05f);  // exponent 10 below a gamma of 0.1
    EXPECT_EQ(DataOf(*image, 0, 4)[0], static_cast<uint8_t>(std::lround(std::pow(226 / 255.0, 10) * 255)));
    EXPECT_THROW(image->ApplyImageBrightness(-1), EAssertionFailed);
    EXPECT_THROW(image->ApplyImageGamma(0), EAssertionFailed);
  }
  {
    // The operations first bring the image to RGBA.
    Probe bgr;
    bgr.Layout(1, 1, 0, GL_BGR, GL_UNSIGNED_BYTE, tfRGB8, 3);
    bgr.SetBlank(false);
    std::memcpy(bgr.GetData(), "\x01\x02\x03", 3);
    bgr.FillAlpha(200);
    EXPECT_EQ(DataOf(bgr, 0, 4), (Bytes{3, 2, 1, 200}));
  }
  {
    // A blank image without pixels is left alone (no pixels to touch).
    TGLImage blank;
    blank.SetWidth(256);
    blank.SetHeight(256);
    blank.SetColorFormatDataType(GL_RGB, GL_UNSIGNED_BYTE);
    blank.FillAlpha(255);
    blank.SetAlphaToIntensity();
    blank.ApplyImageBrightness(2);
    blank.MakeNormalMap(true, true, 1);
    EXPECT_TRUE(blank.Blank());
    EXPECT_EQ(blank.GetData(), nullptr);
  }
}

TEST(GLImage, MakeNormalMap) {
  TGLImage uniform;
  MakeRgba(uniform, 4, 4, Bytes(64, 90));
  uniform.MakeNormalMap(true, true, 1);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(DataOf(uniform, 4 * i, 4), (Bytes{128, 128, 255, 255})) << i;

  // Green rising by 10 a column: dx = (G[x-1] - G[x+1]) * scale = -20 inside, wrapping at the edges.
  for (bool wrap : {true, false}) {
    Bytes pixels(4 * 4 * 4, 0);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) pixels[(y * 4 + x) * 4 + 1] = static_cast<uint8_t>(10 * x);
    TGLImage image;
    MakeRgba(image, 4, 4, pixels);
    image.MakeNormalMap(wrap, wrap, 0.1f);
    auto expected = [](float dx) {
      const float n = 1.0f / std::sqrt(dx * dx + 1.0f) * 127.0f;
      return Bytes{static_cast<uint8_t>(std::lrint(std::clamp(dx * n, -128.0f, 127.0f) + 128)), 128,
                   static_cast<uint8_t>(std::lrint(n + 128)), 255};
    };
    EXPECT_EQ(DataOf(image, 4, 4), expected(-2.0f)) << "x = 1";
    EXPECT_EQ(DataOf(image, 0, 4), expected(wrap ? (30 - 10) * 0.1f : (0 - 10) * 0.1f)) << "x = 0";
    EXPECT_EQ(DataOf(image, 12, 4), expected(wrap ? (20 - 0) * 0.1f : (20 - 30) * 0.1f)) << "x = 3";
  }
}
