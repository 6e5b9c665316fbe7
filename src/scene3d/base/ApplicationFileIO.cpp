#include "scene3d/base/ApplicationFileIO.h"

#include <filesystem>
#include <system_error>

#include "common/Exception.h"

namespace gl3d {

std::unique_ptr<TStream> CreateFileStream(const std::string& fileName, uint16_t mode) {
  if ((mode & 0xFF00) == 0xFF00 || FileStreamExists(fileName))
    return std::make_unique<TFileStream>(fileName, mode);
  throw common::Exception("File not found: \"" + fileName + "\"");
}

bool FileStreamExists(const std::string& fileName) {
  std::error_code ec;
  const auto status = std::filesystem::status(fileName, ec);
  return !ec && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

}  // namespace gl3d
