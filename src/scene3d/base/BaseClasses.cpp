#include "scene3d/base/BaseClasses.h"

#include <filesystem>

#include "common/Exception.h"
#include "scene3d/base/ApplicationFileIO.h"

namespace gl3d {

void TGLUpdateAbleObject::NotifyChange(TObject*) {
  if (updating_ != 0) return;
  if (owner_) {
    if (auto* object = dynamic_cast<TGLUpdateAbleObject*>(owner_))
      object->NotifyChange(this);
    else if (auto* component = dynamic_cast<TGLUpdateAbleComponent*>(owner_))
      component->NotifyChange(this);
  }
  if (OnPropertyChange) OnPropertyChange(this);
}

void TGLUpdateAbleComponent::NotifyChange(TObject*) {
  if (auto* owner = dynamic_cast<TGLUpdateAbleComponent*>(Owner())) owner->NotifyChange(this);
}

std::unique_ptr<TDataFile> TDataFile::NewInstance(TPersistent* owner) const {
  return std::make_unique<TDataFile>(owner);
}

void TDataFile::LoadFromFile(const std::string& fileName) {
  SetResourceName(std::filesystem::path(fileName).filename().string());
  std::unique_ptr<TStream> stream = CreateFileStream(fileName, fmShareDenyNone);
  LoadFromStream(*stream);
}

void TDataFile::SaveToFile(const std::string& fileName) {
  SetResourceName(std::filesystem::path(fileName).filename().string());
  std::unique_ptr<TStream> stream = CreateFileStream(fileName, fmCreate);
  SaveToStream(*stream);
}

void TDataFile::LoadFromStream(TStream& stream) {
  const std::string text =
      std::string("Imaport for ") + ClassName() + " to " + stream.ClassName() + " not available.";
  ZASSERT(false, text.c_str());
}

void TDataFile::SaveToStream(TStream& stream) {
  const std::string text =
      std::string("Export for ") + ClassName() + " to " + stream.ClassName() + " not available.";
  ZASSERT(false, text.c_str());
}

}  // namespace gl3d
