#include "scene3d/scene/texture/picture/Graphic.h"

#include "scene3d/base/ApplicationFileIO.h"
#include "scene3d/scene/texture/GLUtils.h"

namespace gl3d {

void TGraphic::LoadFromFile(const std::string& fileName) {
  std::unique_ptr<TStream> stream = CreateFileStream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(*stream);
}

// The graphic is encoded in memory and saved in one piece, so a failed save leaves an older file
// as it was.
void TGraphic::SaveToFile(const std::string& fileName) const {
  TMemoryStream encoded;
  SaveToStream(encoded);
  SaveAnsiStringToFile(fileName, encoded.DataString());
}

}  // namespace gl3d
