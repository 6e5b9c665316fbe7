#include "scene3d/scene/texture/picture/Graphic.h"

#include <filesystem>
#include <system_error>

#include "scene3d/base/ApplicationFileIO.h"

namespace gl3d {

void TGraphic::LoadFromFile(const std::string& fileName) {
  std::unique_ptr<TStream> stream = CreateFileStream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(*stream);
}

// The graphic is encoded in memory and written under a temporary name that then replaces the file,
// so a failed save leaves an older file as it was.
void TGraphic::SaveToFile(const std::string& fileName) const {
  TMemoryStream encoded;
  SaveToStream(encoded);
  const std::string temporary = fileName + ".saving~";
  {
    std::unique_ptr<TStream> stream = CreateFileStream(temporary, fmCreate);
    const std::string& bytes = encoded.DataString();
    try {
      stream->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    } catch (...) {
      stream.reset();
      std::error_code ec;
      std::filesystem::remove(temporary, ec);
      throw;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temporary, fileName, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    throw EFCreateError("Cannot create file \"" + fileName + "\". " + ec.message());
  }
}

}  // namespace gl3d
