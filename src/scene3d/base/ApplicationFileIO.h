#pragma once
// The one way the 3D library opens and tests files.
#include <cstdint>
#include <memory>
#include <string>

#include "scene3d/base/Classes.h"

namespace gl3d {

// A new file stream owned by the caller. With fmCreate the file is created (or emptied);
// any other mode needs an existing file, else a common::Exception
// "File not found: "<name>"" is raised. Errors of the file itself propagate unchanged.
std::unique_ptr<TStream> CreateFileStream(const std::string& fileName, uint16_t mode = fmShareDenyNone);
// Whether the file exists (following symbolic links; a folder is not a file).
bool FileStreamExists(const std::string& fileName);

}  // namespace gl3d
