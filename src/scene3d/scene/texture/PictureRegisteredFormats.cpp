#include "scene3d/scene/texture/PictureRegisteredFormats.h"

#include "common/ClassRegistry.h"
#include "scene3d/scene/texture/picture/Picture.h"

namespace gl3d {

void GetRegisteredPictureFormats(std::vector<TPictureFormatLine>& list) {
  for (const TPictureFileFormat& f : TPicture::FileFormats())
    list.push_back(TPictureFormatLine{f.Extension + "=" + f.Description, f.GraphicClass});
}

TGraphicClass GraphicClassForExtension(const std::string& extension) {
  if (extension.empty()) return nullptr;
  const std::string name = extension[0] == '.' ? extension.substr(1) : extension;
  std::vector<TPictureFormatLine> lines;
  GetRegisteredPictureFormats(lines);
  const common::CaseInsensitiveLess less;
  // The list's name search: the text before the first "=", compared without regard to case.
  for (const TPictureFormatLine& line : lines) {
    const std::string lineName = line.Text.substr(0, line.Text.find('='));
    if (!less(lineName, name) && !less(name, lineName)) return line.Object;
  }
  return nullptr;
}

}  // namespace gl3d
