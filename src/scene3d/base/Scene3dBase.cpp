#include "scene3d/base/Scene3dBase.h"

#include "scene3d/base/GLSLog.h"
#include "scene3d/base/GLUtils.h"
#include "scene3d/base/PersistentClasses.h"
#include "scene3d/base/VectorLists.h"
#include "scene3d/base/XCollection.h"

namespace gl3d {

void Scene3dBaseStartup() {
  StartGLClock();
  GLSLogger();
  RegisterPersistentClasses();
  RegisterVectorListClasses();
}

void Scene3dBaseShutdown() { ReleaseXCollectionItemClasses(); }

void AddScene3dBaseSteps(common::TStartupSequence& sequence) {
  sequence.Add("scene3d_base", Scene3dBaseStartup, Scene3dBaseShutdown);
}

}  // namespace gl3d
