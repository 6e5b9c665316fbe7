#include "scene3d/scene/texture/picture/Picture.h"

#include "common/ClassRegistry.h"

namespace gl3d {

namespace {

std::vector<TPictureFileFormat>& Formats() {
  static std::vector<TPictureFileFormat> formats;
  return formats;
}

bool SameText(const std::string& a, const std::string& b) {
  const common::CaseInsensitiveLess less;
  return !less(a, b) && !less(b, a);
}

// The extension of a file name without its dot ("" when the name has none).
std::string ExtensionOf(const std::string& fileName) {
  const size_t dot = fileName.find_last_of('.');
  const size_t slash = fileName.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return fileName.substr(dot + 1);
}

}  // namespace

TPicture::~TPicture() {
  if (graphic_) graphic_->OnChange = nullptr;
}

void TPicture::Changed() {
  if (OnChange) OnChange(this);
}

void TPicture::Install(std::unique_ptr<TGraphic> graphic) {
  graphic_ = std::move(graphic);
  if (graphic_) graphic_->OnChange = [this](TObject*) { Changed(); };
  Changed();
}

void TPicture::SetGraphic(const TGraphic* value) {
  if (value == graphic_.get() && value) return;
  if (!value) {
    Install(nullptr);
    return;
  }
  std::unique_ptr<TGraphic> copy = value->NewInstance();
  copy->Assign(value);
  Install(std::move(copy));
}

void TPicture::LoadFromFile(const std::string& fileName) {
  const std::string extension = ExtensionOf(fileName);
  TGraphicClass graphicClass = nullptr;
  for (const TPictureFileFormat& f : Formats())
    if (SameText(f.Extension, extension)) {
      graphicClass = f.GraphicClass;
      break;
    }
  if (!graphicClass) throw EInvalidGraphic("Unknown picture file extension (." + extension + ")");
  std::unique_ptr<TGraphic> graphic = graphicClass();
  graphic->LoadFromFile(fileName);
  Install(std::move(graphic));
}

void TPicture::SaveToFile(const std::string& fileName) const {
  if (graphic_) graphic_->SaveToFile(fileName);
}

void TPicture::Assign(const TPersistent* source) {
  if (source == nullptr) return SetGraphic(nullptr);
  if (const auto* picture = dynamic_cast<const TPicture*>(source)) {
    if (picture != this) SetGraphic(picture->Graphic());
    return;
  }
  if (const auto* graphic = dynamic_cast<const TGraphic*>(source)) return SetGraphic(graphic);
  TPersistent::Assign(source);
}

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& description,
                                  TGraphicClass graphicClass) {
  for (TPictureFileFormat& f : Formats())
    if (SameText(f.Extension, extension)) {
      f = TPictureFileFormat{extension, description, graphicClass};
      return;
    }
  Formats().push_back(TPictureFileFormat{extension, description, graphicClass});
}

const std::vector<TPictureFileFormat>& TPicture::FileFormats() { return Formats(); }

}  // namespace gl3d
