// The texture images' files: the blank image's text file (first byte even) and the cube map's
// six bitmaps (odd), each read from a file, then the cube map's pixels built.
#include <exception>

#include "fuzz/FuzzSupport.h"
#include "fuzz/SceneStartup.h"
#include "scene3d/scene/texture/GLTextureImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::StartSceneLibrary();
  const unsigned choice = zephor_fuzz::TakeChoice(data, size, 2);
  const zephor_fuzz::TempFile file("texture-image", choice == 0 ? ".txt" : ".cbm", data, size);
  if (file.Name().empty()) return 0;
  try {
    if (choice == 0) {
      gl3d::TGLBlankImage image(nullptr);
      image.LoadFromFile(file.Name());
    } else {
      gl3d::TGLCubeMapImage image(nullptr);
      image.LoadFromFile(file.Name());
      image.GetImageBuffer();
    }
  } catch (const std::exception&) {
  }
  return 0;
}
