// The texture image base, the two registries and the blank image.
#include "scene3d/scene/texture/GLTextureImage.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "common/NumberText.h"
#include "scene3d/base/ApplicationFileIO.h"
#include "scene3d/scene/texture/GLTexture.h"
#include "scene3d/scene/texture/GLUtils.h"
#include "scene3d/scene/texture/PictureRegisteredFormats.h"

namespace gl3d {

// ---- TGLTextureImage ----

namespace {

TGLTexture* OwnerAsTexture(TPersistent* owner) {
  if (!owner) return nullptr;
  auto* texture = dynamic_cast<TGLTexture*>(owner);
  if (!texture) throw EInvalidCast("Invalid class typecast");
  return texture;
}

}  // namespace

TGLTextureImage::TGLTextureImage(TPersistent* owner)
    : TGLUpdateAbleObject(owner), ownerTexture_(OwnerAsTexture(owner)) {}

void TGLTextureImage::NotifyChange(TObject*) {
  if (!ownerTexture_) return;
  ownerTexture_->TextureHandle().NotifyChangesOfData();
  ownerTexture_->SamplerHandle().NotifyChangesOfData();
  NativeTarget();  // a blank image takes the size of pixels assigned to its buffer
  ownerTexture_->NotifyChange(this);
}

std::string TGLTextureImage::TextureNeeded(const std::string& fileName) {
  std::string name = fileName;
  if (OnTextureNeeded) OnTextureNeeded(this, name);
  return name;
}

void TGLTextureImage::LoadFromFile(const std::string& fileName) { TextureNeeded(fileName); }

void TGLTextureImage::Invalidate() {
  ReleaseImageBuffer();
  NotifyChange(this);
}

// ---- Registries ----

namespace {

std::vector<TGLTextureImageClass>& ImageClasses() {
  static std::vector<TGLTextureImageClass> classes;
  return classes;
}

struct GraphicExtension {
  std::string Extension;
  TGraphicClass GraphicClass;
};
std::vector<GraphicExtension>& GraphicExtensions() {
  static std::vector<GraphicExtension> extensions;
  return extensions;
}

std::string LowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The extension with its dot, "" when the name has none.
std::string FileExtension(const std::string& fileName) {
  const size_t dot = fileName.find_last_of('.');
  const size_t slash = fileName.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return fileName.substr(dot);
}

}  // namespace

void RegisterTextureImageClass(TGLTextureImageClass imageClass) { ImageClasses().push_back(imageClass); }

TGLTextureImageClass FindTextureImageClass(const std::string& name) {
  for (TGLTextureImageClass c : ImageClasses())
    if (name == c->Name) return c;
  return nullptr;
}

void ResetTextureImageRegistries() {
  ImageClasses().clear();
  GraphicExtensions().clear();
}

void RegisterGraphicFileExtension(const std::string& extension, TGraphicClass graphicClass) {
  GraphicExtensions().push_back(GraphicExtension{LowerCase(extension), graphicClass});
}

std::unique_ptr<TGraphic> LoadGraphicFromFile(const std::string& fileName) {
  if (!FileStreamExists(fileName)) return nullptr;
  const std::string extension = LowerCase(FileExtension(fileName));
  TGraphicClass graphicClass = nullptr;
  for (const GraphicExtension& e : GraphicExtensions())
    if (e.Extension == extension) {
      graphicClass = e.GraphicClass;
      break;
    }
  if (!graphicClass) graphicClass = GraphicClassForExtension(extension);
  if (!graphicClass) return nullptr;
  std::unique_ptr<TGraphic> graphic = graphicClass();
  std::unique_ptr<TStream> stream = CreateFileStream(fileName, fmOpenRead);
  graphic->LoadFromStream(*stream);
  return graphic;
}

// ---- TGLBlankImage ----

TGLTextureImageClass TGLBlankImage::StaticClass() {
  return MakeTextureImageClass<TGLBlankImage>("TGLBlankImage", "Blank Image",
                                              "Blank Image (Width x Height x Depth)");
}

TGLBlankImage::TGLBlankImage(TPersistent* owner) : TGLTextureImage(owner) {}
TGLBlankImage::~TGLBlankImage() = default;

void TGLBlankImage::SetWidth(int32_t value) {
  if (value == width_) return;
  width_ = std::max(value, 1);
  Invalidate();
}

void TGLBlankImage::SetHeight(int32_t value) {
  if (value == height_) return;
  height_ = std::max(value, 1);
  Invalidate();
}

void TGLBlankImage::SetDepth(int32_t value) {
  if (value == depth_) return;
  depth_ = std::max(value, 0);
  Invalidate();
}

void TGLBlankImage::SetCubeMap(bool value) {
  if (value == cubeMap_) return;
  cubeMap_ = value;
  Invalidate();
}

void TGLBlankImage::SetTextureArray(bool value) {
  if (value == textureArray_) return;
  textureArray_ = value;
  Invalidate();
}

TGLTextureTarget TGLBlankImage::NativeTarget() {
  if (image_) {
    width_ = image_->GetWidth();
    height_ = image_->GetHeight();
    depth_ = image_->GetDepth();
    cubeMap_ = image_->CubeMap();
    textureArray_ = image_->TextureArray();
  }
  TGLTextureTarget target;
  if (textureArray_)
    target = cubeMap_ ? ttTextureCubeArray : depth_ > 1 ? ttTexture2DArray : ttTexture1DArray;
  else if (depth_ > 0)
    target = ttTexture3D;
  else if (cubeMap_)
    target = ttTextureCube;
  else
    target = height_ == 1 ? ttTexture1D : ttTexture2D;
  if (TGLTexture* texture = OwnerTexture()) {
    switch (texture->TextureFormatEx()) {
      case tfFLOAT_R16:
      case tfFLOAT_R32:
      case tfFLOAT_RG16:
      case tfFLOAT_RGB16:
      case tfFLOAT_RGBA16:
      case tfFLOAT_RG32:
      case tfFLOAT_RGB32:
      case tfFLOAT_RGBA32:
        target = ttTextureRect;
        break;
      default:
        break;
    }
  }
  return target;
}

TGLImage* TGLBlankImage::GetImageBuffer() {
  if (!image_) {
    image_ = std::make_unique<TGLImage>();
    image_->SetWidth(width_);
    image_->SetHeight(height_);
    image_->SetDepth(depth_);
    image_->SetCubeMap(cubeMap_);
    image_->SetTextureArray(textureArray_);
    image_->SetColorFormatDataType(colorFormat_, GL_UNSIGNED_BYTE);
  }
  return image_.get();
}

void TGLBlankImage::ReleaseImageBuffer() { image_.reset(); }

void TGLBlankImage::Assign(const TPersistent* source) {
  if (!source) return TGLTextureImage::Assign(source);
  if (const auto* blank = dynamic_cast<const TGLBlankImage*>(source)) {
    if (blank == this) return;
    width_ = blank->GetWidth();
    height_ = blank->GetHeight();
    depth_ = blank->GetDepth();
    cubeMap_ = blank->cubeMap_;
    textureArray_ = blank->textureArray_;
    colorFormat_ = blank->colorFormat_;
    resourceName_ = blank->resourceName_;
    Invalidate();
  } else {
    GetImageBuffer()->Assign(source);
  }
  NotifyChange(this);
}

void TGLBlankImage::SaveToFile(const std::string& fileName) {
  SaveAnsiStringToFile(fileName, "[BlankImage]\r\nWidth=" + common::IntToStr(width_) + "\r\nHeight=" +
                                     common::IntToStr(height_) + "\r\nDepth=" + common::IntToStr(depth_));
}

namespace {

// The value of "name=value" lines as a string list gives it: the first line whose name equals the
// key without regard to ASCII case; "" when none does.
std::string ValueOf(const std::string& text, const std::string& key) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    const size_t equals = line.find('=');
    if (equals != std::string::npos && LowerCase(line.substr(0, equals)) == LowerCase(key))
      return line.substr(equals + 1);
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
  return std::string();
}

// A side of a blank image read from a file: an integer of at most 65,536.
int32_t SideValue(const std::string& text) {
  int32_t value = 0;
  if (!common::TryStrToInt(text, value) || value > 65536)
    throw EConvertError("'" + text + "' is not a valid integer value");
  return value;
}

}  // namespace

void TGLBlankImage::LoadFromFile(const std::string& fileName) {
  const std::string name = TextureNeeded(fileName);
  if (!FileStreamExists(name)) {
    const std::string message = "Could not open file: " + fileName;
    ZASSERT(false, message.c_str());
  }
  const std::string text = LoadAnsiStringFromFile(name);
  const int32_t width = SideValue(ValueOf(text, "Width"));
  const int32_t height = SideValue(ValueOf(text, "Height"));
  const std::string depthText = ValueOf(text, "Depth");
  const int32_t depth = depthText.empty() ? 1 : SideValue(depthText);
  SetWidth(width);
  SetHeight(height);
  SetDepth(depth);
}

}  // namespace gl3d
