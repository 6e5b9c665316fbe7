#include "shape/preview/BackgroundPlane.h"

#include <cmath>

#include "platform/gfx/Canvas.h"
#include "scene3d/scene/objects/GLPlane.h"
#include "settings/AppSettings.h"
#include "shape/preview/PreviewTexture.h"

namespace shape {

namespace {

// Where a side's plane stands and how its cross is coloured. The matrix is RotY(yTurns pi/2) x
// RotX(xTurns pi/2); without a turn about Y it is RotX alone.
struct TSideLayout {
  int widthAxis, heightAxis;  // the AxisScales factors of the width and the height
  bool turnAboutY;
  int yTurns, xTurns;
  float x, y, z;
  platform::TColor up, down, left, right;
};

constexpr float kOut = 1.001f;
constexpr TSideLayout kSides[6] = {
    {0, 2, false, 0, 1, 0, kOut, 0, kAxisZPlusColor, kAxisZMinusColor, kAxisXMinusColor, kAxisXPlusColor},
    {1, 2, true, 1, 1, -kOut, 0, 0, kAxisZPlusColor, kAxisZMinusColor, kAxisYMinusColor, kAxisYPlusColor},
    {0, 1, false, 0, 2, 0, 0, kOut, kAxisYMinusColor, kAxisYPlusColor, kAxisXMinusColor, kAxisXPlusColor},
    {0, 2, true, 2, 1, 0, -kOut, 0, kAxisZPlusColor, kAxisZMinusColor, kAxisXPlusColor, kAxisXMinusColor},
    {1, 2, true, -1, 1, kOut, 0, 0, kAxisZPlusColor, kAxisZMinusColor, kAxisYPlusColor, kAxisYMinusColor},
    {0, 1, false, 0, 0, 0, 0, -kOut, kAxisYPlusColor, kAxisYMinusColor, kAxisXMinusColor, kAxisXPlusColor},
};

// A multiple of the single-precision pi/2.
float QuarterTurns(int n) {
  const float halfPi = static_cast<float>(M_PI) / 2;
  return static_cast<float>(n) * halfPi;
}

gl3d::TMatrix4f SideMatrix(const TSideLayout& side) {
  const gl3d::TMatrix4f rotX = gl3d::CreateRotationMatrixX(QuarterTurns(side.xTurns));
  if (!side.turnAboutY) return rotX;
  gl3d::TMatrix4f m;
  gl3d::MultiplyMatrix4f(gl3d::CreateRotationMatrixY(QuarterTurns(side.yTurns)), rotX, m);
  return m;
}

void Line(platform::TCanvas& canvas, platform::TColor color, int x1, int y1, int x2, int y2) {
  canvas.Pen.Color = color;
  canvas.MoveTo(x1, y1);
  canvas.LineTo(x2, y2);
}

// From the centre (511, 511): up with its arrow head, down, left, right.
void DrawAxisCross(platform::TCanvas& canvas, const TSideLayout& side) {
  constexpr int c = 511, last = kSidePlaneTextureSize - 1;
  Line(canvas, side.up, c, c, c, 0);
  Line(canvas, side.up, c, 0, c + 20, 50);
  Line(canvas, side.up, c, 0, c - 20, 50);
  Line(canvas, side.down, c, c, c, last);
  Line(canvas, side.left, c, c, 0, c);
  Line(canvas, side.right, c, c, last, c);
}

void PlaceSidePlane(gl3d::TGLPlane& plane, const TSideLayout& side) {
  plane.SetWidth(static_cast<float>(4 * settings::AxisScales[side.widthAxis]));
  plane.SetHeight(static_cast<float>(4 * settings::AxisScales[side.heightAxis]));
  plane.SetMatrix(SideMatrix(side));
  plane.Position()->SetCoordinate(0, side.x);
  plane.Position()->SetCoordinate(1, side.y);
  plane.Position()->SetCoordinate(2, side.z);
}

}  // namespace

void CopyBitmapToGLImage(const platform::TBitmap& bitmap, gl3d::TGLImage& image) {
  const int32_t w = bitmap.Width(), h = bitmap.Height();
  uint8_t* pixels = PrepareRGBA8Image(image, w, h);
  if (!pixels) return;
  platform::TBitmap converted;
  const platform::TBitmap* source = &bitmap;
  if (bitmap.PixelFormat() != platform::pf32bit) {
    converted.Assign(bitmap);
    converted.SetPixelFormat(platform::pf32bit);
    source = &converted;
  }
  for (int32_t r = 0; r < h; ++r) {
    const uint8_t* in = source->ScanLine(r);
    uint8_t* out = pixels + int64_t{h - 1 - r} * w * 4;
    for (int32_t x = 0; x < w; ++x, in += 4, out += 4) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      out[3] = 255;
    }
  }
}

void UpdateBackgroundPlane(gl3d::TGLPlane& plane, int32_t side, int32_t pictureFlag,
                           const platform::TBitmap& picture) {
  platform::TBitmap bitmap(kSidePlaneTextureSize, kSidePlaneTextureSize, platform::pf32bit);
  platform::TCanvas& canvas = bitmap.Canvas();
  if (pictureFlag == 1 && picture.Width() > 0) canvas.Draw(255, 255, picture);
  canvas.Pen.Width = 3;
  if (side >= 0 && side < 6) {
    const TSideLayout& layout = kSides[side];
    PlaceSidePlane(plane, layout);
    DrawAxisCross(canvas, layout);
  }
  gl3d::TGLTextureImage* textureImage = plane.Material()->Texture()->Image();
  CopyBitmapToGLImage(bitmap, *textureImage->GetImageBuffer());
  textureImage->NotifyChange(textureImage);
}

}  // namespace shape
