#pragma once
// The shape's texture in the 3D preview: the display pair of the texture bitmaps (TextureBitmaps.h)
// uploaded into the texture of the preview object's material.
#include <cstdint>

namespace gl3d {
class TGLCustomSceneObject;
class TGLImage;
}  // namespace gl3d

namespace shape {

// Makes `image` a single level of width x height pixels of 8-bit RGBA (converting what it held
// first, so that no stale layout is kept) and returns its first row (the picture's bottom row; the
// rows follow without gaps), for the caller to fill. Nullptr for an empty size, or when the block
// cannot be had (the image then holds the texture library's error picture).
uint8_t* PrepareRGBA8Image(gl3d::TGLImage& image, int32_t width, int32_t height);

// The texture image's own buffer of the free form's material becomes TextureWidth x TextureHeight
// pixels of 8-bit RGBA, filled straight from the display pair (CopyPreviewTexture: rows flipped,
// red, green, blue from the colour bitmap and alpha from the alpha bitmap, all zero when the
// bitmaps do not have the texture's size), and the texture image is told of the change, so that the
// texture uploads it again. When the buffer cannot be had the image keeps the error picture the
// texture library puts in its place.
void UploadPreviewTexture(gl3d::TGLCustomSceneObject& freeForm);

}  // namespace shape
