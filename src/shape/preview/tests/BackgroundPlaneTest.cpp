// The background plane: its texture (axis cross and picture, sampled in the plane's texture image)
// and its size, orientation and position for each side of the modelling cube.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "platform/gfx/Canvas.h"
#include "scene3d/scene/objects/GLPlane.h"
#include "settings/AppSettings.h"
#include "shape/preview/BackgroundPlane.h"
#include "shape/preview/tests/PreviewSceneFixture.h"

using namespace shape;
using platform::TColor;

namespace {

struct TPlaneFixture : shape_test::TPreviewSceneFixture<gl3d::TGLPlane> {
  // As the main window's plane: a blank texture image of its own.
  TPlaneFixture() { plane->Material()->Texture()->SetImageClassName("TGLBlankImage"); }
  // The colour the texture shows at bitmap pixel (x, y) (the image holds the rows bottom-up).
  TColor At(int x, int y) {
    const gl3d::TGLPixel32 p = Image().GetScanLine(kSidePlaneTextureSize - 1 - y)[x];
    EXPECT_EQ(p.A, 255);
    return static_cast<TColor>(p.R | p.G << 8 | p.B << 16);
  }

  gl3d::TGLPlane* plane = object;
  platform::TBitmap noPicture;
};

// A 511 x 511 picture of one colour.
void Fill(platform::TBitmap& picture, TColor color) {
  picture.SetSize(511, 511);
  picture.Canvas().Brush.Color = color;
  picture.Canvas().FillRect({0, 0, 511, 511});
}

}  // namespace

TEST(UpdateBackgroundPlane, Side2ShowsItsCrossWithTheArrowUp) {
  TPlaneFixture f;
  f.buffer.notices = 0;
  UpdateBackgroundPlane(*f.plane, 2, 0, f.noPicture);
  EXPECT_GE(f.buffer.notices, 1);
  ASSERT_EQ(f.Image().GetWidth(), 1021);
  ASSERT_EQ(f.Image().GetHeight(), 1021);
  EXPECT_EQ(f.At(511, 100), kAxisYMinusColor) << "up, dark green";
  EXPECT_EQ(f.At(521, 25), kAxisYMinusColor) << "the arrow head's right stroke";
  EXPECT_EQ(f.At(501, 25), kAxisYMinusColor) << "the arrow head's left stroke";
  EXPECT_EQ(f.At(511, 900), kAxisYPlusColor) << "down";
  EXPECT_EQ(f.At(100, 511), kAxisXMinusColor) << "left";
  EXPECT_EQ(f.At(900, 511), kAxisXPlusColor) << "right, X+";
  EXPECT_EQ(f.At(512, 900), kAxisYPlusColor) << "pen width 3";
  EXPECT_EQ(f.At(514, 900), platform::clBlack);
  EXPECT_EQ(f.At(300, 300), platform::clBlack) << "the ground";
}

TEST(UpdateBackgroundPlane, ThePictureFillsTheCentralHalfOnlyWithTheFlag) {
  TPlaneFixture f;
  platform::TBitmap picture;
  Fill(picture, 0x123456);
  UpdateBackgroundPlane(*f.plane, 0, 1, picture);
  EXPECT_EQ(f.At(255, 255), 0x123456);
  EXPECT_EQ(f.At(765, 765), 0x123456);
  EXPECT_EQ(f.At(254, 300), platform::clBlack);
  EXPECT_EQ(f.At(766, 300), platform::clBlack);
  EXPECT_EQ(f.At(511, 100), kAxisZPlusColor) << "the cross over the picture";

  // Flag 0, or flag 1 with an empty picture: the cross alone.
  for (const int flag : {0, 1}) {
    UpdateBackgroundPlane(*f.plane, 0, flag, flag == 0 ? picture : f.noPicture);
    EXPECT_EQ(f.At(300, 300), platform::clBlack) << flag;
    EXPECT_EQ(f.At(900, 511), kAxisXPlusColor) << flag;
  }
}

TEST(UpdateBackgroundPlane, EachSidesSizeOrientationAndPosition) {
  // The axis each side's texture shows upwards and to the right, as the cross's colours name them.
  const gl3d::TVector3f X{1, 0, 0}, Y{0, 1, 0}, Z{0, 0, 1};
  const auto neg = [](gl3d::TVector3f v) { return gl3d::TVector3f{-v.X, -v.Y, -v.Z}; };
  const struct {
    int side;
    float width, height;  // with AxisScales (0.5, 1, 0.25)
    gl3d::TVector3f position, up, right;
    TColor upColor, rightColor;
  } cases[] = {
      {0, 2, 1, {0, 1.001f, 0}, Z, X, kAxisZPlusColor, kAxisXPlusColor},
      {1, 4, 1, {-1.001f, 0, 0}, Z, Y, kAxisZPlusColor, kAxisYPlusColor},
      {2, 2, 4, {0, 0, 1.001f}, neg(Y), X, kAxisYMinusColor, kAxisXPlusColor},
      {3, 2, 1, {0, -1.001f, 0}, Z, neg(X), kAxisZPlusColor, kAxisXMinusColor},
      {4, 4, 1, {1.001f, 0, 0}, Z, neg(Y), kAxisZPlusColor, kAxisYMinusColor},
      {5, 2, 4, {0, 0, -1.001f}, Y, X, kAxisYPlusColor, kAxisXPlusColor},
  };
  for (const auto& c : cases) {
    TPlaneFixture f;
    settings::AxisScales[0] = 0.5;
    settings::AxisScales[1] = 1;
    settings::AxisScales[2] = 0.25;
    f.plane->SetWidth(9);
    UpdateBackgroundPlane(*f.plane, c.side, 0, f.noPicture);
    SCOPED_TRACE(c.side);
    EXPECT_EQ(f.plane->Width(), c.width);
    EXPECT_EQ(f.plane->Height(), c.height);
    EXPECT_TRUE(f.plane->Position()->Equals({c.position.X, c.position.Y, c.position.Z, 1}));
    // The plane's local X and Y (its texture's right and up) in the world, and its face turned to
    // the centre of the cube.
    const gl3d::TMatrix4f& m = f.plane->GetMatrix();
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(m[0][k], (&c.right.X)[k], 1e-6) << "right " << k;
      EXPECT_NEAR(m[1][k], (&c.up.X)[k], 1e-6) << "up " << k;
      EXPECT_NEAR(m[2][k], -(&c.position.X)[k] / 1.001f, 1e-6) << "facing " << k;
      EXPECT_NEAR(m[3][k], (&c.position.X)[k], 1e-6) << "position " << k;
    }
    EXPECT_EQ(f.At(511, 100), c.upColor);
    EXPECT_EQ(f.At(900, 511), c.rightColor);
  }
}

TEST(UpdateBackgroundPlane, ASideOutsideTheCubeLeavesThePlaneAndDrawsNoCross) {
  for (const int side : {-1, 6, 1000}) {
    TPlaneFixture f;
    f.plane->SetWidth(3);
    f.plane->Position()->SetPoint(0.5f, 0.5f, 0.5f);
    platform::TBitmap picture;
    Fill(picture, 0x00AA00);
    UpdateBackgroundPlane(*f.plane, side, 1, picture);
    EXPECT_EQ(f.plane->Width(), 3);
    EXPECT_TRUE(f.plane->Position()->Equals({0.5f, 0.5f, 0.5f, 1}));
    EXPECT_EQ(f.At(511, 511), 0x00AA00) << side;
    EXPECT_EQ(f.At(511, 100), platform::clBlack) << side;
  }
}

TEST(CopyBitmapToGLImage, RowsFlippedAsOpaqueRGBA) {
  platform::TBitmap bitmap(3, 2, platform::pf32bit);
  bitmap.Canvas().SetPixels(0, 0, 0x010203);
  bitmap.Canvas().SetPixels(2, 1, 0xA0B0C0);
  gl3d::TGLImage image;
  image.LoadErrorPicture();  // held pixels of another layout are replaced
  CopyBitmapToGLImage(bitmap, image);
  ASSERT_EQ(image.GetWidth(), 3);
  ASSERT_EQ(image.GetHeight(), 2);
  EXPECT_EQ(image.ColorFormat(), static_cast<uint32_t>(GL_RGBA));
  const gl3d::TGLPixel32 top = image.GetScanLine(1)[0], bottom = image.GetScanLine(0)[2];
  EXPECT_EQ((std::array<int, 4>{top.R, top.G, top.B, top.A}), (std::array<int, 4>{3, 2, 1, 255}));
  EXPECT_EQ((std::array<int, 4>{bottom.R, bottom.G, bottom.B, bottom.A}),
            (std::array<int, 4>{0xC0, 0xB0, 0xA0, 255}));
}
