// Texture images: the image-class registry and the graphic extensions, the blank, persistent,
// picture-file and cube-map images, and their files with tables of damaged ones. The cube-map file
// is cut at its BMP headers and each face read by ImageMagick.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "TextureTestObjects.h"
#include "TextureTestTools.h"
#include "common/Exception.h"
#include "scene3d/base/GLUtils.h"
#include "scene3d/scene/texture/GLTexture.h"
#include "scene3d/scene/texture/GLTextureImage.h"
#include "scene3d/scene/texture/GLUtils.h"
#include "scene3d/scene/texture/TextureStartup.h"
#include "scene3d/scene/texture/picture/Bitmap.h"

using namespace gl3d;
using common::EAssertionFailed;
using test::TempDir;

namespace {

using test::PlainBitmap;

std::string SaveBitmap(const TempDir& dir, const std::string& name, const TBitmap& bitmap) {
  const std::string path = dir.File(name);
  bitmap.SaveToFile(path);
  return path;
}

// The first pixel of a CPU image's level 0 as R, G, B, A.
std::vector<int> FirstPixel(TGLImage& image) {
  const TGLPixel32* p = image.ScanLine(0);
  return {p->R, p->G, p->B, p->A};
}

// Counts the changes a texture reports (its image's changes reach it).
struct Counted {
  Counted() {
    TextureStartup();
    texture.OnPropertyChange = [this](TObject*) { ++changes; };
  }
  TGLTexture texture{nullptr};
  int changes = 0;
};

class TextureImages : public ::testing::Test {
 protected:
  void SetUp() override { TextureStartup(); }
};

// ---- Registries ----

TEST_F(TextureImages, RegistryFindsExactNamesOnly) {
  struct Case {
    const char* name;
    TGLTextureImageClass expected;
  } cases[] = {{"TGLBlankImage", TGLBlankImage::StaticClass()},
               {"TGLPersistentImage", TGLPersistentImage::StaticClass()},
               {"TGLPicFileImage", TGLPicFileImage::StaticClass()},
               {"TGLCubeMapImage", TGLCubeMapImage::StaticClass()},
               {"tglblankimage", nullptr},
               {"TGLBlankimage", nullptr},
               {"TGLPictureImage", nullptr},
               {"", nullptr}};
  for (const Case& c : cases) EXPECT_EQ(FindTextureImageClass(c.name), c.expected) << c.name;

  // Duplicates are kept and the first one wins; start-up makes the registry anew.
  static const TGLTextureImageClassInfo other{"TGLBlankImage", nullptr, "", ""};
  RegisterTextureImageClass(&other);
  EXPECT_EQ(FindTextureImageClass("TGLBlankImage"), TGLBlankImage::StaticClass());
  ResetTextureImageRegistries();
  EXPECT_EQ(FindTextureImageClass("TGLBlankImage"), nullptr);
  TextureStartup();

  TGLBlankImage blank(nullptr);
  EXPECT_EQ(blank.DisplayName(), "Blank Image");
  EXPECT_EQ(blank.DisplayDescription(), "Blank Image (Width x Height x Depth)");
  TGLCubeMapImage cube(nullptr);
  EXPECT_EQ(cube.DisplayName(), "CubeMap Image");
}

TEST_F(TextureImages, LoadGraphicFromFileByExtension) {
  TempDir dir;
  const std::string upper = SaveBitmap(dir, "picture.BMP", PlainBitmap(4, 2, 1, 2, 3));
  std::unique_ptr<TGraphic> graphic = LoadGraphicFromFile(upper);
  ASSERT_NE(graphic, nullptr);
  EXPECT_STREQ(graphic->ClassName(), "TBitmap");
  EXPECT_EQ(graphic->Width(), 4);

  // ".png" is not in the extension table: the registered picture formats know it.
  std::filesystem::copy_file(upper, dir.File("not-a-png.png"));
  EXPECT_THROW(LoadGraphicFromFile(dir.File("not-a-png.png")), EInvalidGraphic);
  std::filesystem::copy_file(upper, dir.File("picture.gif"));
  EXPECT_EQ(LoadGraphicFromFile(dir.File("picture.gif")), nullptr);
  EXPECT_EQ(LoadGraphicFromFile(dir.File("missing.bmp")), nullptr);
  EXPECT_EQ(LoadGraphicFromFile(dir.File("")), nullptr);
}

TEST_F(TextureImages, OwnerMustBeATexture) {
  TBitmap notATexture;
  EXPECT_THROW(TGLBlankImage{&notATexture}, EInvalidCast);
  TGLBlankImage free(nullptr);
  EXPECT_EQ(free.OwnerTexture(), nullptr);
  free.NotifyChange(nullptr);  // nothing to tell
  TGLTexture texture(nullptr);
  EXPECT_EQ(texture.Image()->OwnerTexture(), &texture);
}

// ---- Blank image ----

TEST_F(TextureImages, BlankImageSettersClampAndInvalidateOnChangeOnly) {
  Counted t;
  t.texture.SetImageClassName("TGLBlankImage");
  auto* blank = static_cast<TGLBlankImage*>(t.texture.Image());
  EXPECT_EQ(blank->GetWidth(), 256);
  EXPECT_EQ(blank->GetHeight(), 256);
  EXPECT_EQ(blank->GetDepth(), 0);
  EXPECT_EQ(blank->ColorFormat(), GLenum(GL_RGBA));

  struct Case {
    void (TGLBlankImage::*set)(int32_t);
    int32_t (TGLBlankImage::*get)() const;
    int32_t value, stored;
  } cases[] = {{&TGLBlankImage::SetWidth, &TGLBlankImage::GetWidth, 0, 1},
               {&TGLBlankImage::SetWidth, &TGLBlankImage::GetWidth, -5, 1},
               {&TGLBlankImage::SetWidth, &TGLBlankImage::GetWidth, 64, 64},
               {&TGLBlankImage::SetHeight, &TGLBlankImage::GetHeight, -1, 1},
               {&TGLBlankImage::SetHeight, &TGLBlankImage::GetHeight, 32, 32},
               {&TGLBlankImage::SetDepth, &TGLBlankImage::GetDepth, -1, 0},
               {&TGLBlankImage::SetDepth, &TGLBlankImage::GetDepth, 3, 3}};
  for (const Case& c : cases) {
    (blank->*c.set)(c.value);
    EXPECT_EQ((blank->*c.get)(), c.stored) << c.value;
    const int before = t.changes;
    (blank->*c.set)(c.stored);
    EXPECT_EQ(t.changes, before) << "an unchanged value does not invalidate";
  }
  const int before = t.changes;
  blank->SetCubeMap(true);
  blank->SetCubeMap(true);
  EXPECT_EQ(t.changes, before + 1);
  blank->SetColorFormat(GL_LUMINANCE);
  EXPECT_EQ(t.changes, before + 1) << "the colour format is a plain field";

  // A new buffer is blank, with the stored size and format.
  blank->SetCubeMap(false);
  blank->SetDepth(0);
  TGLImage* image = blank->GetImageBuffer();
  EXPECT_TRUE(image->Blank());
  EXPECT_EQ(image->GetWidth(), 64);
  EXPECT_EQ(image->GetHeight(), 32);
  EXPECT_EQ(image->ColorFormat(), GLenum(GL_LUMINANCE));
  EXPECT_EQ(blank->GetImageBuffer(), image);
}

TEST_F(TextureImages, BlankImageNativeTargets) {
  TGLTexture texture(nullptr);
  texture.SetImageClassName("TGLBlankImage");
  auto* blank = static_cast<TGLBlankImage*>(texture.Image());
  struct Case {
    int32_t height, depth;
    bool cube, array;
    TGLInternalFormat format;
    TGLTextureTarget expected;
  } cases[] = {{256, 0, false, false, tfRGBA8, ttTexture2D},
               {1, 0, false, false, tfRGBA8, ttTexture1D},
               {1, 1, false, false, tfRGBA8, ttTexture3D},
               {256, 0, true, false, tfRGBA8, ttTextureCube},
               {256, 2, true, false, tfRGBA8, ttTexture3D},
               {256, 1, false, true, tfRGBA8, ttTexture1DArray},
               {256, 2, false, true, tfRGBA8, ttTexture2DArray},
               {256, 2, true, true, tfRGBA8, ttTextureCubeArray},
               {256, 0, false, false, tfFLOAT_RGBA16, ttTextureRect},
               {1, 1, false, false, tfFLOAT_R32, ttTextureRect},
               {256, 0, false, false, tfRGBA_FLOAT16, ttTexture2D}};
  for (const Case& c : cases) {
    blank->SetHeight(c.height);
    blank->SetDepth(c.depth);
    blank->SetCubeMap(c.cube);
    blank->SetTextureArray(c.array);
    texture.SetTextureFormatEx(c.format);
    EXPECT_EQ(blank->NativeTarget(), c.expected) << c.height << " " << c.depth << " " << c.cube << c.array;
  }
}

TEST_F(TextureImages, PixelsAssignedToTheBufferSetTheBlankImagesSize) {
  Counted t;
  t.texture.SetImageClassName("TGLBlankImage");
  TGLTextureImage* blank = t.texture.Image();
  TGLImage picture;
  picture.SetWidth(64);
  picture.SetHeight(32);
  picture.SetBlank(false);
  blank->GetImageBuffer()->Assign(&picture);
  const int before = t.changes;
  blank->NotifyChange(nullptr);
  EXPECT_EQ(t.changes, before + 1);
  EXPECT_EQ(blank->GetWidth(), 64);
  EXPECT_EQ(blank->GetHeight(), 32);

  // Assigning a blank image copies its description; anything else becomes the buffer's pixels.
  TGLBlankImage other(nullptr);
  other.SetWidth(5);
  other.SetDepth(2);
  blank->Assign(&other);
  EXPECT_EQ(blank->GetWidth(), 5);
  EXPECT_EQ(blank->GetDepth(), 2);
  blank->Assign(&picture);
  EXPECT_EQ(blank->GetImageBuffer()->GetWidth(), 64);
  EXPECT_FALSE(blank->GetImageBuffer()->Blank());
  EXPECT_THROW(blank->Assign(nullptr), EConvertError);
}

TEST_F(TextureImages, BlankImageFiles) {
  TempDir dir;
  TGLBlankImage blank(nullptr);
  blank.SetWidth(12);
  blank.SetHeight(34);
  blank.SetDepth(5);
  const std::string path = dir.File("blank.txt");
  blank.SaveToFile(path);
  EXPECT_EQ(test::ReadFile(path), "[BlankImage]\r\nWidth=12\r\nHeight=34\r\nDepth=5");

  TGLBlankImage loaded(nullptr);
  loaded.LoadFromFile(path);
  EXPECT_EQ(loaded.GetWidth(), 12);
  EXPECT_EQ(loaded.GetHeight(), 34);
  EXPECT_EQ(loaded.GetDepth(), 5);

  // Without a Depth line the depth is 1: a volume. Keys are found in any case and line ending.
  test::WriteFile(path, "[BlankImage]\nwidth=8\rHEIGHT=0\n");
  loaded.LoadFromFile(path);
  EXPECT_EQ(loaded.GetWidth(), 8);
  EXPECT_EQ(loaded.GetHeight(), 1) << "sizes go through the setters' clamps";
  EXPECT_EQ(loaded.GetDepth(), 1);
  EXPECT_EQ(loaded.NativeTarget(), ttTexture3D);

  // The handler may name another file; a missing one fails the assertion with the name passed.
  const std::string other = dir.File("other.txt");
  test::WriteFile(other, "Width=3\r\nHeight=4\r\nDepth=0");
  loaded.OnTextureNeeded = [&](TObject*, std::string& name) {
    if (name == "alias") name = other;
  };
  loaded.LoadFromFile("alias");
  EXPECT_EQ(loaded.GetWidth(), 3);
  try {
    loaded.LoadFromFile(dir.File("missing.txt"));
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Message(), "Could not open file: " + dir.File("missing.txt"));
  }
}

TEST_F(TextureImages, DamagedBlankImageFilesChangeNothing) {
  TempDir dir;
  const std::string path = dir.File("blank.txt");
  const char* damaged[] = {"",
                           "[BlankImage]\r\nHeight=4\r\nDepth=0",
                           "Width=4\r\nDepth=0",
                           "Width=4\r\nHeight=four",
                           "Width=4\r\nHeight=4\r\nDepth=x",
                           "Width=65537\r\nHeight=4",
                           "Width=4\r\nHeight=99999999999",
                           "Width=4\r\nHeight=4\r\nDepth=70000",
                           "Width=0x\r\nHeight=4"};
  for (const char* text : damaged) {
    test::WriteFile(path, text);
    Counted t;
    t.texture.SetImageClassName("TGLBlankImage");
    TGLTextureImage* blank = t.texture.Image();
    const int before = t.changes;
    EXPECT_THROW(blank->LoadFromFile(path), EConvertError) << text;
    EXPECT_EQ(blank->GetWidth(), 256) << text;
    EXPECT_EQ(blank->GetHeight(), 256) << text;
    EXPECT_EQ(blank->GetDepth(), 0) << text;
    EXPECT_EQ(t.changes, before) << text;
  }
  // The largest side allowed.
  test::WriteFile(path, "Width=65536\r\nHeight=1\r\nDepth=0");
  TGLBlankImage blank(nullptr);
  blank.LoadFromFile(path);
  EXPECT_EQ(blank.GetWidth(), 65536);
}

// ---- Persistent image ----

TEST_F(TextureImages, PersistentImageGivesTheErrorPictureWhenEmpty) {
  TGLTexture texture(nullptr);
  EXPECT_EQ(texture.ImageClassName(), "TGLPersistentImage");
  TGLTextureImage* image = texture.Image();
  EXPECT_EQ(image->GetWidth(), 0);
  EXPECT_EQ(image->NativeTarget(), ttTexture2D);
  TGLImage* pixels = image->GetImageBuffer();
  EXPECT_EQ(pixels->GetWidth(), 64);
  EXPECT_EQ(pixels->GetHeight(), 64);
  EXPECT_EQ(pixels->ColorFormat(), GLenum(GL_RGB));
}

TEST_F(TextureImages, PersistentImageFilesAndPictureChanges) {
  TempDir dir;
  Counted t;
  auto* image = static_cast<TGLPersistentImage*>(t.texture.Image());
  const std::string path = SaveBitmap(dir, "red.bmp", PlainBitmap(8, 4, 200, 10, 20));
  image->LoadFromFile(path);
  EXPECT_EQ(image->ResourceName(), path);
  EXPECT_EQ(image->GetWidth(), 8);
  EXPECT_EQ(FirstPixel(*image->GetImageBuffer()), (std::vector<int>{200, 10, 20, 255}));

  // A change of the picture drops the pixels and tells the texture.
  const int before = t.changes;
  TBitmap blue = PlainBitmap(4, 4, 0, 0, 255);
  image->Picture()->SetGraphic(&blue);
  EXPECT_EQ(t.changes, before + 1);
  EXPECT_EQ(FirstPixel(*image->GetImageBuffer()), (std::vector<int>{0, 0, 255, 255}));

  // A damaged file keeps the picture; a missing one empties it and raises ETexture.
  const std::string damaged = dir.File("damaged.bmp");
  test::WriteFile(damaged, test::ReadFile(path).substr(0, 40));
  EXPECT_THROW(image->LoadFromFile(damaged), EInvalidGraphic);
  EXPECT_EQ(image->GetWidth(), 4);
  try {
    image->LoadFromFile(dir.File("missing.bmp"));
    FAIL();
  } catch (const ETexture& e) {
    EXPECT_EQ(e.Message(), "Could not open file: " + dir.File("missing.bmp"));
  }
  EXPECT_EQ(image->Picture()->Graphic(), nullptr);

  // Saving writes the picture.
  image->Picture()->SetGraphic(&blue);
  const std::string saved = dir.File("saved.bmp");
  image->SaveToFile(saved);
  EXPECT_EQ(image->ResourceName(), saved);
  test::Rgba decoded;
  ASSERT_TRUE(test::MagickDecode(saved, decoded));
  EXPECT_EQ(decoded.Width, 4);
  EXPECT_EQ(decoded.Pixels[2], 255);
}

TEST_F(TextureImages, PictureImagesAssign) {
  TGLPersistentImage image(nullptr);
  TGLImage pixels;
  pixels.SetWidth(4);
  pixels.SetHeight(2);
  pixels.SetBlank(false);
  std::memset(pixels.GetData(), 0x40, 4 * 2 * 4);
  pixels.SetResourceName("from-image");
  image.Assign(&pixels);
  ASSERT_NE(image.Picture()->Graphic(), nullptr);
  EXPECT_EQ(image.GetWidth(), 4);
  EXPECT_EQ(static_cast<TBitmap*>(image.Picture()->Graphic())->PixelFormat(), pf32bit);
  EXPECT_EQ(image.ResourceName(), "from-image");
  EXPECT_EQ(pixels.ColorFormat(), GLenum(GL_RGBA)) << "the source is left as it was";

  TGLPersistentImage copy(nullptr);
  copy.Assign(&image);
  EXPECT_EQ(copy.GetWidth(), 4);
  EXPECT_NE(copy.Picture()->Graphic(), image.Picture()->Graphic());
  TBitmap bitmap = PlainBitmap(12, 3, 1, 2, 3);
  copy.Assign(&bitmap);
  EXPECT_EQ(copy.GetWidth(), 12);
  TGLBlankImage blank(nullptr);
  EXPECT_THROW(copy.Assign(&blank), EConvertError);
  EXPECT_THROW(copy.Assign(nullptr), EConvertError);
}

// ---- Picture-file image ----

TEST_F(TextureImages, PictureFileFilesNameOrHoldThePicture) {
  TempDir dir;
  const std::string picture = SaveBitmap(dir, "p.bmp", PlainBitmap(4, 4, 9, 9, 9));
  struct Case {
    std::string contents;
    std::string expected;  // "" for the file itself
  } cases[] = {{"/short/path/ab.bmp\r\n", "/short/path/ab.bmp\r\n"},
               {std::string("name\0with-nul.bmp...", 20), ""},
               {std::string(600, 'x'), ""},
               {"", ""}};
  for (const Case& c : cases) {
    const std::string path = dir.File("ref.pic");
    test::WriteFile(path, c.contents);
    TGLPicFileImage image(nullptr);
    image.LoadFromFile(path);
    const std::string expected = c.expected.empty() && !c.contents.empty() ? path : c.expected;
    EXPECT_EQ(image.PictureFileName(), expected) << c.contents.size();
    EXPECT_EQ(image.ResourceName(), expected);
  }
  TGLPicFileImage image(nullptr);
  EXPECT_THROW(image.LoadFromFile(dir.File("missing.pic")), common::Exception);
  EXPECT_EQ(image.PictureFileName(), "");

  image.SetPictureFileName(picture);
  const std::string saved = dir.File("saved.pic");
  image.SaveToFile(saved);
  EXPECT_EQ(test::ReadFile(saved), picture);
  EXPECT_EQ(image.ResourceName(), saved);
}

TEST_F(TextureImages, PictureFileImageReadsItsFileWhenThePixelsAreAskedFor) {
  static std::vector<std::string> shown;
  shown.clear();
  SetMessageBoxHook(
      [](const std::string& text, const std::string& caption) { shown.push_back(caption + "|" + text); });
  TempDir dir;
  Counted t;
  t.texture.SetImageClassName("TGLPicFileImage");
  auto* image = static_cast<TGLPicFileImage*>(t.texture.Image());
  EXPECT_EQ(image->GetImageBuffer()->GetWidth(), 64) << "no name: the error picture";

  const std::string first = SaveBitmap(dir, "first.bmp", PlainBitmap(8, 4, 1, 2, 3));
  image->SetPictureFileName(first);
  EXPECT_EQ(image->GetWidth(), 0);
  EXPECT_EQ(FirstPixel(*image->GetImageBuffer()), (std::vector<int>{1, 2, 3, 255}));
  EXPECT_EQ(image->GetWidth(), 8);
  EXPECT_EQ(image->GetHeight(), 4);
  EXPECT_EQ(image->Picture()->Graphic(), nullptr) << "only the pixels are kept";

  // Released pixels are read again; a new name reads the new file.
  image->ReleaseImageBuffer();
  EXPECT_EQ(image->GetImageBuffer()->GetWidth(), 8);
  const std::string second = SaveBitmap(dir, "second.bmp", PlainBitmap(12, 2, 7, 8, 9));
  image->SetPictureFileName(second);
  EXPECT_EQ(FirstPixel(*image->GetImageBuffer()), (std::vector<int>{7, 8, 9, 255}));
  EXPECT_EQ(image->GetWidth(), 12);

  // A missing file: the error picture, one message per name.
  image->SetPictureFileName(dir.File("gone.bmp"));
  EXPECT_EQ(image->GetImageBuffer()->GetWidth(), 64);
  image->Invalidate();
  EXPECT_EQ(image->GetImageBuffer()->GetWidth(), 64);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "Error!|Could not open file: " + dir.File("gone.bmp") + "\r\n(Current directory is " +
                          ExeDirectory() + ")");
  // A damaged file gives the error picture too.
  const std::string damaged = dir.File("damaged.bmp");
  test::WriteFile(damaged, "BM garbage");
  image->SetPictureFileName(damaged);
  EXPECT_EQ(image->GetImageBuffer()->GetWidth(), 64);
  SetMessageBoxHook(nullptr);

  TGLPicFileImage copy(nullptr);
  copy.Assign(image);
  EXPECT_EQ(copy.PictureFileName(), damaged);
}

TEST_F(TextureImages, PictureFileImageLooksRelativeNamesUpInTheProgramFolder) {
  const std::string name = "zephor-picfile-test-" + std::to_string(::getpid()) + ".bmp";
  const std::string inProgramFolder = ExeDirectory() + "/" + name;
  PlainBitmap(4, 4, 5, 6, 7).SaveToFile(inProgramFolder);
  const std::filesystem::path before = std::filesystem::current_path();
  TempDir elsewhere;
  std::filesystem::current_path(elsewhere.File(""));
  TGLPicFileImage image(nullptr);
  image.SetPictureFileName(name);
  const std::vector<int> pixel = FirstPixel(*image.GetImageBuffer());
  const std::filesystem::path after = std::filesystem::current_path();
  std::filesystem::current_path(before);
  std::filesystem::remove(inProgramFolder);
  EXPECT_EQ(pixel, (std::vector<int>{5, 6, 7, 255}));
  EXPECT_TRUE(std::filesystem::equivalent(after, elsewhere.File(""))) << "the current folder stays";
}

// ---- Cube map ----

class CubeMaps : public TextureImages {
 protected:
  // Face i is 4 x 4 of colour (40 i, 10, 200 - i).
  void Fill(TGLCubeMapImage& cube) {
    for (int i = 0; i < 6; ++i) {
      TBitmap face = PlainBitmap(4, 4, static_cast<uint8_t>(40 * i), 10, static_cast<uint8_t>(200 - i));
      cube.Pictures(static_cast<TGLCubeMapTarget>(i))->SetGraphic(&face);
    }
  }
  // A filled cube map saved to a file of the folder; the file's path.
  std::string SaveFilled(const TempDir& dir) {
    TGLCubeMapImage cube(nullptr);
    Fill(cube);
    const std::string path = dir.File("cube.cbm");
    cube.SaveToFile(path);
    return path;
  }
  static std::vector<int> FaceColour(int i) { return {40 * i, 10, 200 - i, 255}; }
  static std::vector<int> FacePixel(TGLImage& image, int face) {
    const uint8_t* p = image.LevelFaceAddress(0, face);
    return {p[0], p[1], p[2], p[3]};
  }
};

TEST_F(CubeMaps, FacesGoToTheirSlots) {
  Counted t;
  t.texture.SetImageClassName("TGLCubeMapImage");
  auto* cube = static_cast<TGLCubeMapImage*>(t.texture.Image());
  EXPECT_EQ(cube->NativeTarget(), ttTextureCube);
  Fill(*cube);
  EXPECT_EQ(cube->GetWidth(), 4);
  TGLImage* image = cube->GetImageBuffer();
  EXPECT_TRUE(image->CubeMap());
  EXPECT_FALSE(image->Blank());
  EXPECT_EQ(image->GetWidth(), 4);
  ASSERT_EQ(image->HeldBytes(), 6u * 4 * 4 * 4);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(FacePixel(*image, i), FaceColour(i)) << i;
  EXPECT_NE(cube->GetImageBuffer(), nullptr) << "rebuilt at each request";

  // A smaller face fills part of its slot; a larger one copies only its slot.
  TBitmap small = PlainBitmap(2, 2, 1, 1, 1), large = PlainBitmap(16, 16, 2, 2, 2);
  cube->Pictures(cmtNY)->SetGraphic(&small);
  cube->Pictures(cmtNZ)->SetGraphic(&large);
  image = cube->GetImageBuffer();
  ASSERT_EQ(image->HeldBytes(), 6u * 4 * 4 * 4);
  EXPECT_EQ(FacePixel(*image, cmtNY), (std::vector<int>{1, 1, 1, 255}));
  EXPECT_EQ(FacePixel(*image, cmtNZ), (std::vector<int>{2, 2, 2, 255}));
  EXPECT_EQ(FacePixel(*image, cmtPZ), FaceColour(cmtPZ));

  // A change of a face tells the texture, also through the named faces; copies take all six.
  int before = t.changes;
  cube->Pictures(cmtPX)->SetGraphic(&small);
  EXPECT_GT(t.changes, before);
  const TPicture* named[6] = {cube->PicturePX(), cube->PictureNX(), cube->PicturePY(),
                              cube->PictureNY(), cube->PicturePZ(), cube->PictureNZ()};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(named[i], cube->Pictures(static_cast<TGLCubeMapTarget>(i))) << i;
  TPicture picture;
  picture.SetGraphic(&large);
  before = t.changes;
  cube->SetPicturePY(&picture);
  EXPECT_GT(t.changes, before);
  EXPECT_EQ(cube->PicturePY()->Width(), 16);
  TGLCubeMapImage copy(nullptr);
  copy.Assign(cube);
  EXPECT_EQ(copy.Pictures(cmtNZ)->Width(), 16);
  TGLBlankImage blank(nullptr);
  EXPECT_THROW(copy.Assign(&blank), EConvertError);

  // Six empty faces give an empty image.
  TGLCubeMapImage empty(nullptr);
  EXPECT_TRUE(empty.GetImageBuffer()->IsEmpty());
}

TEST_F(CubeMaps, FileIsAVersionWordAndSixBitmapsThatImageMagickReads) {
  TempDir dir;
  const std::string path = SaveFilled(dir);
  const std::string bytes = test::ReadFile(path);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), std::string("\x00\x01", 2));

  // Cut at the six BMP headers, each piece is a BMP file of its face.
  size_t at = 2;
  for (int i = 0; i < 6; ++i) {
    ASSERT_LE(at + 6, bytes.size());
    EXPECT_EQ(bytes.substr(at, 2), "BM");
    uint32_t size = 0;
    for (int k = 3; k >= 0; --k) size = (size << 8) | static_cast<uint8_t>(bytes[at + 2 + k]);
    ASSERT_LE(at + size, bytes.size());
    const std::string piece = dir.File("face" + std::to_string(i) + ".bmp");
    test::WriteFile(piece, bytes.substr(at, size));
    test::Rgba decoded;
    ASSERT_TRUE(test::MagickDecode(piece, decoded)) << i;
    EXPECT_EQ(decoded.Width, 4);
    EXPECT_EQ(decoded.Height, 4);
    EXPECT_EQ(std::vector<int>(decoded.Pixels.begin(), decoded.Pixels.begin() + 4), FaceColour(i)) << i;
    at += size;
  }
  EXPECT_EQ(at, bytes.size());

  TGLCubeMapImage loaded(nullptr);
  loaded.LoadFromFile(path);
  TGLImage* image = loaded.GetImageBuffer();
  for (int i = 0; i < 6; ++i) EXPECT_EQ(FacePixel(*image, i), FaceColour(i)) << i;
}

TEST_F(CubeMaps, DamagedFilesKeepTheFacesNotRead) {
  TempDir dir;
  const std::string path = SaveFilled(dir);
  const std::string good = test::ReadFile(path);
  const size_t faceBytes = (good.size() - 2) / 6;

  struct Case {
    const char* what;
    std::string bytes;
    int facesRead;  // faces replaced before the failure
  };
  std::string version = good;
  version[1] = 0x02;
  std::string sizeBeyond = good;
  sizeBeyond[2 + 2 * faceBytes + 22] = '\x7f';  // face 2's height
  std::string badOffset = good;
  badOffset[2 + faceBytes + 12] = '\x7f';  // face 1's pixel offset, far beyond the file
  const Case cases[] = {{"empty", "", 0},
                        {"half a version word", good.substr(0, 1), 0},
                        {"wrong version", version, 0},
                        {"no faces", good.substr(0, 2), 0},
                        {"cut in face 3's header", good.substr(0, 2 + 3 * faceBytes + 20), 3},
                        {"cut in face 5's pixels", good.substr(0, good.size() - 5), 5},
                        {"face 2 higher than its data", sizeBeyond, 2},
                        {"face 1's pixels beyond the file", badOffset, 1}};
  for (const Case& c : cases) {
    test::WriteFile(path, c.bytes);
    TGLCubeMapImage cube(nullptr);
    TBitmap old = PlainBitmap(8, 8, 1, 1, 1);
    for (int i = 0; i < 6; ++i) cube.Pictures(static_cast<TGLCubeMapTarget>(i))->SetGraphic(&old);
    EXPECT_THROW(cube.LoadFromFile(path), common::Exception) << c.what;
    for (int i = 0; i < 6; ++i)
      EXPECT_EQ(cube.Pictures(static_cast<TGLCubeMapTarget>(i))->Width(), i < c.facesRead ? 4 : 8)
          << c.what << i;
  }
  TGLCubeMapImage cube(nullptr);
  EXPECT_THROW(cube.LoadFromFile(dir.File("missing.cbm")), common::Exception);
}

}  // namespace
