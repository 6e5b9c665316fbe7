// The material library's archive (every version, with its pictures).
#include <exception>
#include <string>

#include "fuzz/SceneStartup.h"
#include "scene3d/base/Classes.h"
#include "scene3d/scene/material/GLMaterialLibrary.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::StartSceneLibrary();
  gl3d::TMemoryStream stream(std::string(reinterpret_cast<const char*>(data), size));
  gl3d::TGLMaterialLibrary library(nullptr);
  try {
    library.LoadFromStream(stream);
  } catch (const std::exception&) {
  }
  return 0;
}
