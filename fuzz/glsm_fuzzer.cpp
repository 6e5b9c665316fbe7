// "glsm" files: the mesh-object list's archive (mesh objects, their face groups and vector
// lists). A list that loads is also asked for its triangles, which reads every face group's
// indices against the lists they index.
#include <exception>
#include <string>

#include "scene3d/scene/Scene3dScene.h"
#include "scene3d/scene/mesh/MeshObject.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = [] {
    gl3d::Scene3dSceneStartup();
    return true;
  }();
  (void)started;
  gl3d::TMeshObjectList list;
  try {
    list.LoadFromString(std::string(reinterpret_cast<const char*>(data), size));
    gl3d::TAffineVectorList texCoords, normals;
    list.ExtractTriangles(&texCoords, &normals);
  } catch (const std::exception&) {
  }
  return 0;
}
