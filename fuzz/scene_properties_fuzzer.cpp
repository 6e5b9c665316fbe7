// The scene core's binary properties in a component stream: a scene object's "BehavioursData"
// and "EffectsData" (first byte even) and its position's "Coordinates" (odd).
#include <exception>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "fuzz/SceneStartup.h"
#include "scene3d/base/Classes.h"
#include "scene3d/scene/core/GLBaseSceneObject.h"
#include "scene3d/scene/core/GLCoordinates.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::StartSceneLibrary();
  const unsigned choice = zephor_fuzz::TakeChoice(data, size, 2);
  gl3d::TMemoryStream stream(std::string(reinterpret_cast<const char*>(data), size));
  gl3d::TReader reader(stream);
  gl3d::TGLBaseSceneObject object(nullptr);
  try {
    if (choice == 0) reader.ReadDefinedProperties(object);
    else reader.ReadDefinedProperties(*object.Position());
  } catch (const std::exception&) {
  }
  return 0;
}
