// The 3D base's component stream: defined properties of a colour and of a vector list, and an
// extensible collection, as the first byte chooses.
#include <exception>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "scene3d/base/Classes.h"
#include "scene3d/base/GLColor.h"
#include "scene3d/base/Scene3dBase.h"
#include "scene3d/base/VectorLists.h"
#include "scene3d/base/XCollection.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = [] {
    gl3d::Scene3dBaseStartup();
    return true;
  }();
  (void)started;
  const unsigned choice = zephor_fuzz::TakeChoice(data, size, 3);
  gl3d::TMemoryStream stream(std::string(reinterpret_cast<const char*>(data), size));
  gl3d::TReader reader(stream);
  try {
    if (choice == 0) {
      gl3d::TGLColor color(nullptr);
      reader.ReadDefinedProperties(color);
    } else if (choice == 1) {
      gl3d::TAffineVectorList list;
      reader.ReadDefinedProperties(list);
    } else {
      gl3d::TXCollection collection(nullptr);
      collection.ReadFromFiler(reader);
    }
  } catch (const std::exception&) {
  }
  return 0;
}
