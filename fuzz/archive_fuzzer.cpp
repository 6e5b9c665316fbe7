// The 3D base's binary archives: a list of persistent objects (nested lists and vector lists
// by class name) and a vector list on its own, as the first byte chooses.
#include <exception>
#include <string>

#include "scene3d/base/PersistentClasses.h"
#include "scene3d/base/Scene3dBase.h"
#include "scene3d/base/VectorLists.h"

namespace {

// Frees what a list read, nested lists included: a list does not own its items.
void FreeDeep(gl3d::TPersistentObjectList& list) {
  for (int i = 0; i < list.Count(); ++i)
    if (auto* inner = dynamic_cast<gl3d::TPersistentObjectList*>(list.Get(i))) FreeDeep(*inner);
  list.FreeItemsAndClear();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = [] {
    gl3d::Scene3dBaseStartup();
    return true;
  }();
  (void)started;
  if (size == 0) return 0;
  const std::string archive(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    if (data[0] & 1) {
      gl3d::TAffineVectorList list;
      list.LoadFromString(archive);
    } else {
      gl3d::TPersistentObjectList list;
      try {
        list.LoadFromString(archive);
      } catch (...) {
        FreeDeep(list);
        throw;
      }
      FreeDeep(list);
    }
  } catch (const std::exception&) {
  }
  return 0;
}
