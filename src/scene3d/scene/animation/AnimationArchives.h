#pragma once
// What the archives of morph targets, skeletons and skinned mesh objects share: the archive error
// of a damaged part. (The check that a list read from an archive holds only items of its class
// is AdoptArchiveItems of MeshObject.h.)
#include <string>

#include "scene3d/base/PersistentClasses.h"

namespace gl3d {

// EReadError "<class> : <what>".
[[noreturn]] void ArchiveDamaged(const TObject& object, const std::string& what);

}  // namespace gl3d
