// The texture upload of the preview: the free form's texture image holds the bytes of
// CopyPreviewTexture, and the scene hears of the change.
#include <gtest/gtest.h>

#include <cstring>

#include "scene3d/scene/mesh/GLBaseMesh.h"
#include "shape/preview/PreviewTexture.h"
#include "shape/preview/tests/PreviewSceneFixture.h"
#include "shape/tests/TextureTestUtil.h"

using namespace shape;
using shape_test::NewShape;

namespace {

// A pattern no two neighbouring pixels share, in the display pair.
void PaintDisplayPair(TTextureBitmaps& t) {
  for (int y = 0; y < t.DisplayColor.Height(); ++y) {
    uint8_t* c = t.DisplayColor.ScanLine(y);
    uint8_t* a = t.DisplayAlpha.ScanLine(y);
    for (int x = 0; x < t.DisplayColor.Width(); ++x) {
      c[4 * x] = static_cast<uint8_t>(x);          // blue
      c[4 * x + 1] = static_cast<uint8_t>(y);      // green
      c[4 * x + 2] = static_cast<uint8_t>(x + y);  // red
      a[x] = static_cast<uint8_t>(3 * x + y);
    }
  }
}

struct TUploadFixture : shape_test::TPreviewSceneFixture<gl3d::TGLFreeForm> {
  // The image's bytes as CopyPreviewTexture gives them.
  void ExpectTheDisplayPair() {
    TRGBAImage expected;
    CopyPreviewTexture(expected);
    gl3d::TGLImage& image = Image();
    ASSERT_EQ(image.GetWidth(), expected.Width);
    ASSERT_EQ(image.GetHeight(), expected.Height);
    EXPECT_EQ(image.ColorFormat(), static_cast<uint32_t>(GL_RGBA));
    EXPECT_EQ(image.DataType(), static_cast<uint32_t>(GL_UNSIGNED_BYTE));
    EXPECT_EQ(image.LevelCount(), 1);
    EXPECT_EQ(std::memcmp(image.GetScanLine(0), expected.Pixels.data(), expected.Pixels.size()), 0);
  }

  shape_test::TextureFixture textures;
};

}  // namespace

TEST(UploadPreviewTexture, TheTextureImageHoldsTheDisplayPairRowsFlippedAsRGBA) {
  TUploadFixture f;
  auto cs = NewShape(SCTYPE_SPHERE, 33, 17);  // 512 x 256
  PaintDisplayPair(f.textures.T());
  f.buffer.notices = 0;
  UploadPreviewTexture(*f.object);
  f.ExpectTheDisplayPair();
  EXPECT_GE(f.buffer.notices, 1) << "the texture image was told of the change";
  // Image row 0 is the bitmap's last row: bitmap pixel (x, 255) as red, green, blue, alpha.
  const gl3d::TGLPixel32 p = f.Image().GetScanLine(0)[10];
  EXPECT_EQ(p.R, static_cast<uint8_t>(10 + 255));
  EXPECT_EQ(p.G, 255);
  EXPECT_EQ(p.B, 10);
  EXPECT_EQ(p.A, static_cast<uint8_t>(30 + 255));

  // A new grid size: the same image takes the new size.
  InitShape(*cs, SCTYPE_PLANE, 9, 65);  // 128 x 1024
  PaintDisplayPair(f.textures.T());
  UploadPreviewTexture(*f.object);
  f.ExpectTheDisplayPair();
}

TEST(UploadPreviewTexture, DisplayBitmapsOfAnotherSizeGiveAZeroImage) {
  TUploadFixture f;
  auto cs = NewShape(SCTYPE_SPHERE, 17, 17);  // 256 x 256
  f.textures.T().DisplayAlpha.SetSize(10, 10);
  UploadPreviewTexture(*f.object);
  f.ExpectTheDisplayPair();
  const gl3d::TGLPixel32* row = f.Image().GetScanLine(100);
  for (int x = 0; x < 256; ++x) ASSERT_EQ(row[x].R | row[x].G | row[x].B | row[x].A, 0);
}
