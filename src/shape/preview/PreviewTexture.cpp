#include "shape/preview/PreviewTexture.h"

#include <algorithm>
#include <cstdint>

#include "scene3d/scene/material/GLCustomSceneObject.h"
#include "shape/TextureBitmaps.h"
#include "shape/model/uScPrim.h"

namespace shape {

uint8_t* PrepareRGBA8Image(gl3d::TGLImage& image, int32_t width, int32_t height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  image.ConvertToRGBA8();
  // A new size leaves the image blank until its block is sized.
  image.SetWidth(width);
  image.SetHeight(height);
  image.SetBlank(false);
  const uint64_t bytes = uint64_t{static_cast<uint32_t>(width)} * static_cast<uint32_t>(height) * 4;
  if (bytes == 0 || image.GetWidth() != width || image.GetHeight() != height || image.HeldBytes() < bytes)
    return nullptr;
  return reinterpret_cast<uint8_t*>(image.GetScanLine(0));
}

void UploadPreviewTexture(gl3d::TGLCustomSceneObject& freeForm) {
  gl3d::TGLTextureImage* textureImage = freeForm.Material()->Texture()->Image();
  if (uint8_t* pixels = PrepareRGBA8Image(*textureImage->GetImageBuffer(), TextureWidth, TextureHeight))
    CopyPreviewTexture(pixels);
  textureImage->NotifyChange(textureImage);
}

}  // namespace shape
