#pragma once
// What the archives of morph targets, skeletons and skinned mesh objects share: the archive error
// of a damaged part and the read of an owning list. (The check that a list read from an archive
// holds only items of its class is AdoptArchiveItems of MeshObject.h.)
#include <string>

#include "scene3d/base/PersistentClasses.h"

namespace gl3d {

// EReadError "<class> : <what>".
[[noreturn]] void ArchiveDamaged(const TObject& object, const std::string& what);

// The object-list archive of an owning list; a read that fails part-way frees what it left in the
// list (whatever its class) through the list's Clear before the error goes on.
void ReadOwningList(TPersistentObjectList& list, TVirtualReader& reader);

}  // namespace gl3d
