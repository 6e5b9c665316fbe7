#pragma once
// The shape's texture in the 3D preview: the display pair of the texture bitmaps (TextureBitmaps.h)
// uploaded into the texture of the preview object's material.
namespace gl3d {
class TGLCustomSceneObject;
}

namespace shape {

// The texture image's own buffer of the free form's material becomes TextureWidth x TextureHeight
// pixels of 8-bit RGBA, filled straight from the display pair (CopyPreviewTexture: rows flipped,
// red, green, blue from the colour bitmap and alpha from the alpha bitmap, all zero when the
// bitmaps do not have the texture's size), and the texture image is told of the change, so that the
// texture uploads it again. When the buffer cannot be had the image keeps the error picture the
// texture library puts in its place.
void UploadPreviewTexture(gl3d::TGLCustomSceneObject& freeForm);

}  // namespace shape
