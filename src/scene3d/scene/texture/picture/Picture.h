#pragma once
// The picture of the picture layer: it holds one graphic (a bitmap or a PNG image, Graphic.h),
// loads it from a file by the file's extension through the registered picture formats, and fires
// its change event whenever the graphic is replaced or changes itself.
#include <string>
#include <vector>

#include "scene3d/scene/texture/picture/Graphic.h"

namespace gl3d {

// A registered picture format: extension without the dot, description, graphic class.
struct TPictureFileFormat {
  std::string Extension;
  std::string Description;
  TGraphicClass GraphicClass = nullptr;
};

class TPicture : public TPersistent {
 public:
  TPicture() = default;
  ~TPicture() override;
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;
  const char* ClassName() const override { return "TPicture"; }

  // The graphic held, or nullptr.
  TGraphic* Graphic() const { return graphic_.get(); }
  // Holds a copy of `value` (a new graphic of its class); nullptr empties the picture.
  void SetGraphic(const TGraphic* value);
  int32_t Width() const { return graphic_ ? graphic_->Width() : 0; }
  int32_t Height() const { return graphic_ ? graphic_->Height() : 0; }

  // A graphic of the class registered for the file's extension (any case) loads the file and
  // replaces the one held. An unknown extension raises EInvalidGraphic
  // "Unknown picture file extension (.<ext>)"; a failing load raises and keeps the picture as it was.
  void LoadFromFile(const std::string& fileName);
  // The graphic saves itself; nothing to save for an empty picture.
  void SaveToFile(const std::string& fileName) const;

  // From a picture: a copy of its graphic. From a graphic: a copy of it. From nil: empty.
  void Assign(const TPersistent* source) override;

  TNotifyEvent OnChange;

  // Process-wide list of picture formats in registration order. Registering an extension that is
  // already there (any case) replaces its entry.
  static void RegisterFileFormat(const std::string& extension, const std::string& description,
                                 TGraphicClass graphicClass);
  static const std::vector<TPictureFileFormat>& FileFormats();

 private:
  void Install(std::unique_ptr<TGraphic> graphic);
  void Changed();
  std::unique_ptr<TGraphic> graphic_;
};

}  // namespace gl3d
