// The texture images built from pictures: the persistent image, the picture-file image and the
// cube map.
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "scene3d/base/ApplicationFileIO.h"
#include "scene3d/base/GLUtils.h"
#include "scene3d/scene/texture/GLTextureImage.h"
#include "scene3d/scene/texture/GLUtils.h"
#include "scene3d/scene/texture/picture/Bitmap.h"

namespace gl3d {

namespace {

// Holds a picture's change event off while the image itself changes the picture.
class QuietPicture {
 public:
  explicit QuietPicture(TPicture& picture) : picture_(picture), saved_(std::move(picture.OnChange)) {
    picture_.OnChange = nullptr;
  }
  ~QuietPicture() { picture_.OnChange = std::move(saved_); }
  QuietPicture(const QuietPicture&) = delete;
  QuietPicture& operator=(const QuietPicture&) = delete;

 private:
  TPicture& picture_;
  TNotifyEvent saved_;
};

}  // namespace

// ---- TGLPictureImage ----

TGLPictureImage::TGLPictureImage(TPersistent* owner) : TGLTextureImage(owner) {}

TGLPictureImage::~TGLPictureImage() {
  if (picture_) picture_->OnChange = nullptr;
}

TPicture* TGLPictureImage::Picture() {
  if (!picture_) {
    picture_ = std::make_unique<TPicture>();
    picture_->OnChange = [this](TObject*) { Invalidate(); };
  }
  return picture_.get();
}

TGLImage* TGLPictureImage::GetImageBuffer() {
  if (!image_) {
    image_ = std::make_unique<TGLImage>();
    if (HasGraphic()) {
      QuietPicture quiet(*picture_);
      image_->Assign(picture_->Graphic());
    } else {
      image_->LoadErrorPicture();
    }
  }
  return image_.get();
}

void TGLPictureImage::ReleaseImageBuffer() { image_.reset(); }

void TGLPictureImage::Assign(const TPersistent* source) {
  if (const auto* persistent = dynamic_cast<const TGLPersistentImage*>(source)) {
    if (persistent != this) Picture()->Assign(persistent->picture_.get());
  } else if (dynamic_cast<const TGraphic*>(source) || dynamic_cast<const TPicture*>(source)) {
    Picture()->Assign(source);
  } else if (const auto* image = dynamic_cast<const TGLImage*>(source)) {
    // The bitmap is made from a copy: it converts the pixels to 8-bit RGBA first.
    TGLImage copy;
    copy.Assign(image);
    std::unique_ptr<TBitmap> bitmap = copy.CreateBGRABitmap();
    Picture()->SetGraphic(bitmap.get());
    resourceName_ = image->ResourceName();
  } else {
    TGLTextureImage::Assign(source);
  }
}

// ---- TGLPersistentImage ----

TGLTextureImageClass TGLPersistentImage::StaticClass() {
  return MakeTextureImageClass<TGLPersistentImage>(
      "TGLPersistentImage", "Persistent Image",
      "Image data is stored in its original format with other form resources,ie. in the DFM at "
      "design-time, and embedded in the EXE at run-time.");
}

void TGLPersistentImage::SaveToFile(const std::string& fileName) {
  Picture()->SaveToFile(fileName);
  resourceName_ = fileName;
}

void TGLPersistentImage::LoadFromFile(const std::string& fileName) {
  resourceName_ = fileName;
  const std::string name = TextureNeeded(fileName);
  if (std::unique_ptr<TGraphic> graphic = LoadGraphicFromFile(name)) {
    Picture()->SetGraphic(graphic.get());
    return;
  }
  Picture()->SetGraphic(nullptr);
  throw ETexture("Could not open file: " + fileName);
}

// ---- TGLPicFileImage ----

TGLTextureImageClass TGLPicFileImage::StaticClass() {
  return MakeTextureImageClass<TGLPicFileImage>("TGLPicFileImage", "PicFile Image",
                                                "Image data is retrieved from a file.");
}

void TGLPicFileImage::SetPictureFileName(const std::string& value) {
  if (value == pictureFileName_) return;
  pictureFileName_ = value;
  resourceName_ = value;
  alreadyWarnedAboutMissingFile_ = false;
  width_ = 0;
  height_ = 0;
  Invalidate();
}

void TGLPicFileImage::Invalidate() {
  {
    QuietPicture quiet(*Picture());
    picture_->SetGraphic(nullptr);
  }
  TGLPictureImage::Invalidate();
}

// The picture is read into the picture only for as long as the pixels are built from it. A file
// that is missing or cannot be read gives the error picture; only a missing one is reported.
TGLImage* TGLPicFileImage::GetImageBuffer() {
  if (image_ || pictureFileName_.empty()) return TGLPictureImage::GetImageBuffer();
  TPicture& picture = *Picture();
  QuietPicture quiet(picture);
  const std::string name = TextureNeeded(pictureFileName_);
  const std::string folder = ExeDirectory();
  const std::filesystem::path path(name);
  const std::string file = path.is_relative() && !folder.empty() ? (folder / path).string() : name;
  if (FileStreamExists(file)) {
    try {
      std::unique_ptr<TGraphic> graphic = LoadGraphicFromFile(file);
      picture.SetGraphic(graphic.get());
    } catch (const common::Exception&) {
      picture.SetGraphic(nullptr);
    }
  } else {
    picture.SetGraphic(nullptr);
    if (!alreadyWarnedAboutMissingFile_) {
      alreadyWarnedAboutMissingFile_ = true;
      ShowMessageBox("Could not open file: " + pictureFileName_ + "\r\n(Current directory is " + folder + ")",
                     "Error!");
    }
  }
  TGLImage* image = TGLPictureImage::GetImageBuffer();
  width_ = image->GetWidth();
  height_ = image->GetHeight();
  picture.SetGraphic(nullptr);  // only the pixels are kept
  return image;
}

void TGLPicFileImage::Assign(const TPersistent* source) {
  if (const auto* picFile = dynamic_cast<const TGLPicFileImage*>(source)) {
    pictureFileName_ = picFile->pictureFileName_;
    resourceName_ = picFile->resourceName_;
    return;
  }
  TGLPictureImage::Assign(source);
}

void TGLPicFileImage::SaveToFile(const std::string& fileName) {
  resourceName_ = fileName;
  SaveAnsiStringToFile(fileName, pictureFileName_);
}

void TGLPicFileImage::LoadFromFile(const std::string& fileName) {
  TGLTextureImage::LoadFromFile(fileName);
  std::unique_ptr<TStream> stream = CreateFileStream(fileName, fmOpenRead);
  const int64_t size = stream->Size();
  if (size < 512) {
    std::string text(static_cast<size_t>(size), '\0');
    stream->ReadBuffer(text.data(), size);
    stream.reset();
    SetPictureFileName(text.find('\0') != std::string::npos ? fileName : text);
  } else {
    SetPictureFileName(fileName);
  }
  resourceName_ = pictureFileName_;
}

// ---- TGLCubeMapImage ----

TGLTextureImageClass TGLCubeMapImage::StaticClass() {
  return MakeTextureImageClass<TGLCubeMapImage>("TGLCubeMapImage", "CubeMap Image",
                                                "Image data is contain 6 pictures of cubemap faces.");
}

TGLCubeMapImage::TGLCubeMapImage(TPersistent* owner) : TGLTextureImage(owner) {
  for (std::unique_ptr<TPicture>& picture : pictures_) {
    picture = std::make_unique<TPicture>();
    picture->OnChange = [this](TObject*) { Invalidate(); };
  }
}

TGLCubeMapImage::~TGLCubeMapImage() {
  for (std::unique_ptr<TPicture>& picture : pictures_) picture->OnChange = nullptr;
}

// The cube map takes the first face's layout (its element size included), so faces of that
// format fill their slots exactly; a face of another size copies what fits into its slot.
TGLImage* TGLCubeMapImage::GetImageBuffer() {
  image_.reset();
  TGLImage face;
  face.SetKeepRowOrder(true);
  for (int i = 0; i < 6; ++i) {
    QuietPicture quiet(*pictures_[i]);
    face.Assign(pictures_[i]->Graphic());
    if (!image_) {
      image_ = std::make_unique<TGLImage>();
      image_->Assign(&face);
      image_->SetCubeMap(true);
      image_->SetBlank(false);
    }
    image_->DataSize();  // refreshes both level tables
    face.DataSize();
    const uint64_t bytes =
        std::min({face.LevelSizeInByte(0), face.HeldBytes(), image_->LevelSizeInByte(0) / 6});
    uint8_t* to = image_->LevelFaceAddress(0, i);
    if (bytes > 0 && to && face.LevelAddress(0))
      std::memcpy(to, face.LevelAddress(0), static_cast<size_t>(bytes));
  }
  return image_.get();
}

void TGLCubeMapImage::ReleaseImageBuffer() { image_.reset(); }

void TGLCubeMapImage::Assign(const TPersistent* source) {
  if (const auto* cube = dynamic_cast<const TGLCubeMapImage*>(source)) {
    if (cube == this) return;
    for (int i = 0; i < 6; ++i) pictures_[i]->Assign(cube->pictures_[i].get());
    Invalidate();
    return;
  }
  TGLTextureImage::Assign(source);
}

void TGLCubeMapImage::SaveToFile(const std::string& fileName) {
  TMemoryStream stream;
  const uint8_t version[2] = {0x00, 0x01};
  stream.WriteBuffer(version, 2);
  for (const std::unique_ptr<TPicture>& picture : pictures_) {
    TBitmap bitmap;
    bitmap.Assign(picture->Graphic());
    bitmap.SaveToStream(stream);
  }
  SaveAnsiStringToFile(fileName, stream.DataString());
}

void TGLCubeMapImage::LoadFromFile(const std::string& fileName) {
  std::unique_ptr<TStream> stream = CreateFileStream(fileName, fmOpenRead);
  uint8_t version[2];
  stream->ReadBuffer(version, 2);
  ZASSERT(version[0] == 0x00 && version[1] == 0x01, "Assertion failed");
  for (std::unique_ptr<TPicture>& picture : pictures_) {
    TBitmap bitmap;
    bitmap.LoadFromStream(*stream);
    picture->SetGraphic(&bitmap);
  }
}

}  // namespace gl3d
