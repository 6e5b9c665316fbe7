#pragma once
// Texture images: where a texture's pixels come from. A texture (GLTexture.h) owns one texture
// image and asks it, when it uploads, for a TGLImage (GLGraphics.h) holding the pixels. Four
// classes exist: a blank image of a given size and colour format whose pixels the program writes,
// a picture kept with the scene's description, a picture file loaded by name, and a cube map of
// six pictures. They are registered by class name (an ordered list, names compared with their
// case), so a texture can switch its image class by name.
//
// The files they read and write:
// - blank image: 8-bit text "[BlankImage]", then the lines "Width=", "Height=", "Depth=" with
//   decimal numbers;
// - picture-file image: the picture's file name as 8-bit text (a file of 512 bytes or more, or one
//   holding a NUL byte, is taken to be the picture itself);
// - cube map: the 16-bit little-endian version word 0x0100, then six complete BMP files, one per
//   face in the order +X, -X, +Y, -Y, +Z, -Z.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/Exception.h"
#include "scene3d/base/BaseClasses.h"
#include "scene3d/gl/GLTextureFormat.h"
#include "scene3d/scene/texture/GLGraphics.h"
#include "scene3d/scene/texture/picture/Picture.h"

namespace gl3d {

class TGLTexture;
class TGLTextureImage;

// Texture errors ("Could not open file: <name>").
class ETexture : public common::Exception {
 public:
  using Exception::Exception;
};

// Asked before a file is opened; the handler may replace the file name.
using TTextureNeededEvent = std::function<void(TObject* sender, std::string& textureFileName)>;

// What the registry knows of a texture image class: its name, its constructor and its texts.
struct TGLTextureImageClassInfo {
  const char* Name;
  std::unique_ptr<TGLTextureImage> (*Create)(TPersistent* owner);
  const char* DisplayName;
  const char* DisplayDescription;
};
using TGLTextureImageClass = const TGLTextureImageClassInfo*;

// The record of class T, made on the first call (each class's StaticClass makes it).
template <class T>
TGLTextureImageClass MakeTextureImageClass(const char* name, const char* displayName,
                                           const char* description) {
  static const TGLTextureImageClassInfo info{
      name, [](TPersistent* owner) -> std::unique_ptr<TGLTextureImage> { return std::make_unique<T>(owner); },
      displayName, description};
  return &info;
}

class TGLTextureImage : public TGLUpdateAbleObject {
 public:
  // The owner must be a texture or nothing: any other owner raises EInvalidCast
  // "Invalid class typecast".
  explicit TGLTextureImage(TPersistent* owner);
  const char* ClassName() const override { return "TGLTextureImage"; }
  virtual TGLTextureImageClass ImageClass() const = 0;

  // With an owner texture: marks the texture's data and parameters as changed, lets the image
  // settle its target (NativeTarget) and tells the texture. Without one: nothing.
  void NotifyChange(TObject* sender) override;

  // Whether the image uploads itself instead of handing out a TGLImage (none of these does).
  virtual bool LoadsItself() const { return false; }
  virtual void UploadItself(TGLInternalFormat) {}
  virtual TGLTextureTarget NativeTarget() = 0;
  virtual int32_t GetWidth() const = 0;
  virtual int32_t GetHeight() const = 0;
  virtual int32_t GetDepth() const = 0;
  std::string DisplayName() const { return ImageClass()->DisplayName; }
  std::string DisplayDescription() const { return ImageClass()->DisplayDescription; }
  // The pixels, built on demand; the image keeps them until ReleaseImageBuffer.
  virtual TGLImage* GetImageBuffer() = 0;
  virtual void ReleaseImageBuffer() {}

  virtual void SaveToFile(const std::string& fileName) = 0;
  // The base only asks OnTextureNeeded (the name it may give is not used).
  virtual void LoadFromFile(const std::string& fileName);
  // ReleaseImageBuffer, then NotifyChange(this).
  virtual void Invalidate();

  TGLTexture* OwnerTexture() const { return ownerTexture_; }
  const std::string& ResourceName() const { return resourceName_; }
  TTextureNeededEvent OnTextureNeeded;

 protected:
  // The file name after OnTextureNeeded had its say.
  std::string TextureNeeded(const std::string& fileName);
  std::string resourceName_;

 private:
  TGLTexture* ownerTexture_;
};

// An image of its own: a size and colour format; the pixels are what the program writes into
// the buffer GetImageBuffer hands out.
class TGLBlankImage : public TGLTextureImage {
 public:
  explicit TGLBlankImage(TPersistent* owner);
  ~TGLBlankImage() override;
  const char* ClassName() const override { return "TGLBlankImage"; }
  static TGLTextureImageClass StaticClass();
  TGLTextureImageClass ImageClass() const override { return StaticClass(); }

  // Width and Height below 1 store 1, a negative Depth stores 0; a new value invalidates.
  void SetWidth(int32_t value);
  void SetHeight(int32_t value);
  void SetDepth(int32_t value);
  void SetCubeMap(bool value);
  void SetTextureArray(bool value);
  bool CubeMap() const { return cubeMap_; }
  bool TextureArray() const { return textureArray_; }
  uint32_t ColorFormat() const { return colorFormat_; }
  // A plain field: no notification.
  void SetColorFormat(uint32_t value) { colorFormat_ = value; }

  int32_t GetWidth() const override { return width_; }
  int32_t GetHeight() const override { return height_; }
  int32_t GetDepth() const override { return depth_; }
  // Takes the size, cube-map and array flags of an existing buffer first (so pixels the program
  // assigned set the image's size), then: arrays by cube map and depth, else 3D for a depth
  // above 0, cube map, 1D for a height of 1, 2D; a floating-point texture format gives the
  // rectangle target instead.
  TGLTextureTarget NativeTarget() override;
  // A new buffer is blank: the size and format, no pixels.
  TGLImage* GetImageBuffer() override;
  void ReleaseImageBuffer() override;

  // From a blank image: its size, flags, colour format and resource name. From anything else:
  // the buffer takes it as pixels. Both notify.
  void Assign(const TPersistent* source) override;
  void SaveToFile(const std::string& fileName) override;
  // The sizes of a blank-image file. A missing file fails the assertion "Could not open file:
  // <name>"; a value that is no integer, or a side above 65,536, raises EConvertError and changes
  // nothing. A missing Depth reads as 1.
  void LoadFromFile(const std::string& fileName) override;

 private:
  std::unique_ptr<TGLImage> image_;
  int32_t width_ = 256;
  int32_t height_ = 256;
  int32_t depth_ = 0;
  uint32_t colorFormat_ = GL_RGBA;
  bool cubeMap_ = false;
  bool textureArray_ = false;
};

// The images built from a picture (picture/Picture.h).
class TGLPictureImage : public TGLTextureImage {
 public:
  explicit TGLPictureImage(TPersistent* owner);
  ~TGLPictureImage() override;
  const char* ClassName() const override { return "TGLPictureImage"; }

  // The picture, created on first use; a change of it invalidates the image.
  TPicture* Picture();
  // Built from the picture's graphic, or the 64 x 64 error picture when it holds none.
  TGLImage* GetImageBuffer() override;
  void ReleaseImageBuffer() override;
  // From a persistent image, a graphic or a picture: the picture copies it. From a TGLImage: the
  // picture becomes its 32-bit bitmap. Anything else: EConvertError.
  void Assign(const TPersistent* source) override;

 protected:
  bool HasGraphic() const { return picture_ && picture_->Graphic(); }
  std::unique_ptr<TGLImage> image_;
  std::unique_ptr<TPicture> picture_;
};

// A picture kept with the scene.
class TGLPersistentImage : public TGLPictureImage {
 public:
  using TGLPictureImage::TGLPictureImage;
  const char* ClassName() const override { return "TGLPersistentImage"; }
  static TGLTextureImageClass StaticClass();
  TGLTextureImageClass ImageClass() const override { return StaticClass(); }

  // The picture copies the value.
  void SetPicture(const TPicture* value) { Picture()->Assign(value); }
  TGLTextureTarget NativeTarget() override { return ttTexture2D; }
  int32_t GetWidth() const override { return picture_ ? picture_->Width() : 0; }
  int32_t GetHeight() const override { return picture_ ? picture_->Height() : 0; }
  int32_t GetDepth() const override { return 0; }
  void SaveToFile(const std::string& fileName) override;
  // A picture that cannot be found empties the picture and raises ETexture "Could not open file:
  // <name>"; one that cannot be read raises the reader's error and keeps the picture.
  void LoadFromFile(const std::string& fileName) override;
};

// A picture file named by PictureFileName, read whenever the pixels are asked for and none are
// held; only the pixels are kept, not the picture. A relative name is looked up in the program's
// folder.
class TGLPicFileImage : public TGLPictureImage {
 public:
  using TGLPictureImage::TGLPictureImage;
  const char* ClassName() const override { return "TGLPicFileImage"; }
  static TGLTextureImageClass StaticClass();
  TGLTextureImageClass ImageClass() const override { return StaticClass(); }

  const std::string& PictureFileName() const { return pictureFileName_; }
  // A new name is read at the next request for the pixels.
  void SetPictureFileName(const std::string& value);
  TGLTextureTarget NativeTarget() override { return ttTexture2D; }
  // The size of the last picture read (0 before).
  int32_t GetWidth() const override { return width_; }
  int32_t GetHeight() const override { return height_; }
  int32_t GetDepth() const override { return 0; }
  // A missing file shows "Could not open file: <name>\r\n(Current directory is <folder>)" with
  // the caption "Error!" once per name, and gives the error picture.
  TGLImage* GetImageBuffer() override;
  void Invalidate() override;
  void Assign(const TPersistent* source) override;
  void SaveToFile(const std::string& fileName) override;
  // A missing file raises the file stream's error.
  void LoadFromFile(const std::string& fileName) override;

 private:
  void ReadPictureFile();
  std::string pictureFileName_;
  bool alreadyWarnedAboutMissingFile_ = false;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

enum TGLCubeMapTarget : uint8_t { cmtPX, cmtNX, cmtPY, cmtNY, cmtPZ, cmtNZ };

// Six pictures, one per face; all must have the size and format of the first.
class TGLCubeMapImage : public TGLTextureImage {
 public:
  explicit TGLCubeMapImage(TPersistent* owner);
  ~TGLCubeMapImage() override;
  const char* ClassName() const override { return "TGLCubeMapImage"; }
  static TGLTextureImageClass StaticClass();
  TGLTextureImageClass ImageClass() const override { return StaticClass(); }

  TPicture* Pictures(TGLCubeMapTarget face) const { return pictures_[face].get(); }
  // The faces by name; writing one copies the picture into it (which invalidates the image).
  TPicture* PicturePX() const { return Pictures(cmtPX); }
  TPicture* PictureNX() const { return Pictures(cmtNX); }
  TPicture* PicturePY() const { return Pictures(cmtPY); }
  TPicture* PictureNY() const { return Pictures(cmtNY); }
  TPicture* PicturePZ() const { return Pictures(cmtPZ); }
  TPicture* PictureNZ() const { return Pictures(cmtNZ); }
  void SetPicture(TGLCubeMapTarget face, const TPicture* value) { pictures_[face]->Assign(value); }
  void SetPicturePX(const TPicture* value) { SetPicture(cmtPX, value); }
  void SetPictureNX(const TPicture* value) { SetPicture(cmtNX, value); }
  void SetPicturePY(const TPicture* value) { SetPicture(cmtPY, value); }
  void SetPictureNY(const TPicture* value) { SetPicture(cmtNY, value); }
  void SetPicturePZ(const TPicture* value) { SetPicture(cmtPZ, value); }
  void SetPictureNZ(const TPicture* value) { SetPicture(cmtNZ, value); }
  TGLTextureTarget NativeTarget() override { return ttTextureCube; }
  int32_t GetWidth() const override { return pictures_[cmtPX]->Width(); }
  int32_t GetHeight() const override { return pictures_[cmtPX]->Height(); }
  int32_t GetDepth() const override { return 0; }
  // Built anew at each call: one cube-map image whose faces are the six pictures (rows top first).
  // A face of another size copies what fits into its slot.
  TGLImage* GetImageBuffer() override;
  void ReleaseImageBuffer() override;
  void Assign(const TPersistent* source) override;
  void SaveToFile(const std::string& fileName) override;
  // Another version word fails the assertion "Assertion failed"; a damaged face
  // raises the BMP reader's error. The faces read before a failure keep their new pictures.
  void LoadFromFile(const std::string& fileName) override;

 private:
  std::unique_ptr<TGLImage> image_;
  std::unique_ptr<TPicture> pictures_[6];
};

// ---- Registries ----

// Appends (duplicates are kept).
void RegisterTextureImageClass(TGLTextureImageClass imageClass);
// The first class whose name equals `name` exactly, case included; nullptr when none does.
TGLTextureImageClass FindTextureImageClass(const std::string& name);
// Empties the image-class registry and the graphic extension table (start-up makes them anew).
void ResetTextureImageRegistries();

// Appends the lower-cased extension (with its dot) and the graphic class.
void RegisterGraphicFileExtension(const std::string& extension, TGraphicClass graphicClass);
// The picture in a file: nullptr when the file does not exist or no graphic class knows its
// extension (the extension table first, then the registered picture formats). A graphic that
// cannot read the file raises its error.
std::unique_ptr<TGraphic> LoadGraphicFromFile(const std::string& fileName);

}  // namespace gl3d
