#include "scene3d/scene/objects/ObjectsStartup.h"

#include "scene3d/scene/objects/GLCameraInvariantObject.h"
#include "scene3d/scene/objects/GLCube.h"
#include "scene3d/scene/objects/GLDummyCube.h"
#include "scene3d/scene/objects/GLPlane.h"
#include "scene3d/scene/objects/GLProxyObject.h"

namespace gl3d {

void ObjectsStartup() {
  RegisterClass<TGLDirectOpenGL>("TGLDirectOpenGL");
  RegisterClass<TGLRenderPoint>("TGLRenderPoint");
  RegisterClass<TGLProxyObject>("TGLProxyObject");
  RegisterClass<TGLDummyCube>("TGLDummyCube");
  RegisterClass<TGLPlane>("TGLPlane");
  RegisterClass<TGLCube>("TGLCube");
}

}  // namespace gl3d
