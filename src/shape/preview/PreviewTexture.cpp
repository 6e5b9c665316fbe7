#include "shape/preview/PreviewTexture.h"

#include <algorithm>
#include <cstdint>

#include "scene3d/scene/material/GLCustomSceneObject.h"
#include "shape/TextureBitmaps.h"
#include "shape/model/uScPrim.h"

namespace shape {

void UploadPreviewTexture(gl3d::TGLCustomSceneObject& freeForm) {
  gl3d::TGLTextureImage* textureImage = freeForm.Material()->Texture()->Image();
  gl3d::TGLImage* image = textureImage->GetImageBuffer();
  const int32_t w = std::max(TextureWidth, 0);
  const int32_t h = std::max(TextureHeight, 0);
  // 8-bit RGBA rows of the texture's size; a new size leaves the image blank until its block is
  // sized, and a block that cannot be had gives the error picture.
  image->ConvertToRGBA8();
  image->SetWidth(w);
  image->SetHeight(h);
  image->SetBlank(false);
  const uint64_t bytes = uint64_t{static_cast<uint32_t>(w)} * static_cast<uint32_t>(h) * 4;
  if (bytes > 0 && image->GetWidth() == w && image->GetHeight() == h && image->HeldBytes() >= bytes)
    CopyPreviewTexture(reinterpret_cast<uint8_t*>(image->GetScanLine(0)));
  textureImage->NotifyChange(textureImage);
}

}  // namespace shape
