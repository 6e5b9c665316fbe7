#include "scene3d/scene/objects/ObjectsStartup.h"

#include "scene3d/scene/objects/GLProxyObject.h"

namespace gl3d {

void ObjectsStartup() { RegisterClass<TGLProxyObject>("TGLProxyObject"); }

}  // namespace gl3d
