#pragma once
// The background plane of the 3D preview: while the six-sided editor works, a textured plane stands
// behind the shape on one side of the modelling cube, showing that side's background picture and an
// axis cross in the axes' colours, with an arrow on the line that points up in the editor's view.
#include <cstdint>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Color.h"

namespace gl3d {
class TGLImage;
class TGLPlane;
}  // namespace gl3d

namespace shape {

// The axis colours of the cross.
constexpr platform::TColor kAxisXPlusColor = 0x0000FF;   // red
constexpr platform::TColor kAxisXMinusColor = 0x000088;  // dark red
constexpr platform::TColor kAxisYPlusColor = 0x00FF00;   // green
constexpr platform::TColor kAxisYMinusColor = 0x008800;  // dark green
constexpr platform::TColor kAxisZPlusColor = 0xFF8888;   // light blue
constexpr platform::TColor kAxisZMinusColor = 0x880000;  // dark blue
// The side texture: 1021 x 1021 pixels, the cross centred at (511, 511) on a black ground, the
// picture's top-left corner at (255, 255) (the editor's 511 x 511 backgrounds fill the central half).
constexpr int32_t kSidePlaneTextureSize = 1021;

// For side 0..5: the plane's width and height (4 x the AxisScales factors of the side's axes), its
// matrix (rotations about X and Y by single-precision multiples of pi/2, the products taken in the
// order RotY x RotX with the 3D library's product), then its position 1.001 out along the side's
// axis; then a fresh texture: the picture when pictureFlag is 1 and it is not empty, and the axis
// cross (pen width 3). A side outside 0..5 leaves the plane as it is and gets only the picture.
// The texture goes into the plane's material texture image (its own buffer), which is told of the
// change.
void UpdateBackgroundPlane(gl3d::TGLPlane& plane, int32_t side, int32_t pictureFlag,
                           const platform::TBitmap& picture);
// `image` becomes the bitmap's size in 8-bit RGBA, the rows flipped (bitmap row r is image row
// height - 1 - r), blue, green, red reordered to red, green, blue, alpha 255.
void CopyBitmapToGLImage(const platform::TBitmap& bitmap, gl3d::TGLImage& image);

}  // namespace shape
