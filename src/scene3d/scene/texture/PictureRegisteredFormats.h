#pragma once
// The registered picture formats (picture/Picture.h) as lines "extension=description", and the
// graphic class that loads a file extension, so that texture images can load a picture file by
// its extension.
#include <string>
#include <vector>

#include "scene3d/scene/texture/picture/Graphic.h"

namespace gl3d {

// One line of the list: its text and the graphic class as the line's object.
struct TPictureFormatLine {
  std::string Text;
  TGraphicClass Object = nullptr;
};

// Appends one line per registered format, in registration order.
void GetRegisteredPictureFormats(std::vector<TPictureFormatLine>& list);
// The class registered for an extension, with or without its leading dot, in any case; nullptr
// for the empty string and for an extension nothing registered.
TGraphicClass GraphicClassForExtension(const std::string& extension);

}  // namespace gl3d
