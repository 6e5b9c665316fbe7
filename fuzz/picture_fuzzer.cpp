// The 3D library's picture layer: its bitmap reader and its PNG reader (the first byte chooses),
// then the graphic drawn into a small bitmap, as a texture takes its pixels.
#include <exception>
#include <memory>

#include "fuzz/FuzzSupport.h"
#include "scene3d/base/Classes.h"
#include "scene3d/scene/texture/picture/Bitmap.h"
#include "scene3d/scene/texture/picture/PngImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const unsigned choice = zephor_fuzz::TakeChoice(data, size, 2);
  std::unique_ptr<gl3d::TGraphic> graphic = choice == 0 ? gl3d::TBitmap::Create() : gl3d::TPngImage::Create();
  gl3d::TMemoryStream stream(std::string(reinterpret_cast<const char*>(data), size));
  try {
    graphic->LoadFromStream(stream);
    gl3d::TBitmap target;
    target.SetSize(16, 16);
    graphic->StretchDraw(target, -3, 2, 20, 9);
  } catch (const std::exception&) {
  }
  return 0;
}
