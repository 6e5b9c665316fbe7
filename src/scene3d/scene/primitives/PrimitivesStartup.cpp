#include "scene3d/scene/primitives/PrimitivesStartup.h"

#include "scene3d/scene/primitives/GLLines.h"
#include "scene3d/scene/primitives/GLPoints.h"
#include "scene3d/scene/primitives/GLSphere.h"
#include "scene3d/scene/primitives/GLSprite.h"

namespace gl3d {

void RegisterPrimitiveClasses() {
  RegisterClass<TGLSphere>("TGLSphere");
  RegisterClass<TGLSprite>("TGLSprite");
  RegisterClass<TGLPoints>("TGLPoints");
  RegisterClass<TGLLines>("TGLLines");
}

}  // namespace gl3d
