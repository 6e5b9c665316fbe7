// The texture object: construction, its image, its properties and their change rules, the copy
// and the memory estimate. What it sends to OpenGL is in GLTextureApply.cpp.
#include "scene3d/scene/texture/GLTexture.h"

#include <algorithm>
#include <limits>

#include "scene3d/scene/texture/GLTextureEx.h"

namespace gl3d {

namespace {

// The internal format of each TGLTextureFormat from tfRGB to tfRGBAFloat32 (index = ordinal).
constexpr TGLInternalFormat kTextureFormats[] = {
    DefaultTextureFormat, tfRGB8,       tfRGBA8, tfRGB5,         tfRGBA4,       tfALPHA8, tfLUMINANCE8,
    tfLUMINANCE8_ALPHA8,  tfINTENSITY8, tfRGB8,  tfRGBA_FLOAT16, tfRGBA_FLOAT32};
static_assert(std::size(kTextureFormats) == tfExtended);

const TVector4f kMappingDefaults[4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

}  // namespace

TGLTexture::TGLTexture(TPersistent* owner) : TGLUpdateAbleObject(owner) {
  InstallImage(std::make_unique<TGLPersistentImage>(this));
  textureHandle_ = std::make_unique<TGLTextureHandle>();
  // The sampler handle makes no OpenGL object: its name 1 only records, per context, whether the
  // sampler parameters were sent.
  samplerHandle_ = std::make_unique<TGLVirtualHandle>();
  samplerHandle_->OnAllocate = [] { return GLuint(1); };
  samplerHandle_->OnDestroy = [](GLuint) {};
  envColor_ = std::make_unique<TGLColor>(this, TVector4f{0, 0, 0, 0});
  borderColor_ = std::make_unique<TGLColor>(this, TVector4f{0, 0, 0, 0});
}

TGLTexture::~TGLTexture() {
  ++updating_;  // what is freed below tells nobody
  envColor_.reset();
  borderColor_.reset();
  for (std::unique_ptr<TGLCoordinates4>& m : mapping_) m.reset();
  DestroyHandles();
  textureHandle_.reset();
  samplerHandle_.reset();
  image_.reset();
}

void TGLTexture::InstallImage(std::unique_ptr<TGLTextureImage> image) {
  image->OnTextureNeeded = [this](TObject* sender, std::string& name) { ForwardTextureNeeded(sender, name); };
  image_ = std::move(image);
}

void TGLTexture::ForwardTextureNeeded(TObject* sender, std::string& fileName) {
  if (OnTextureNeeded) OnTextureNeeded(sender, fileName);
}

void TGLTexture::NotifyChange(TObject* sender) {
  if (auto* item = dynamic_cast<TGLTextureExItem*>(Owner())) item->NotifyChange(this);
  if (dynamic_cast<TGLTextureImage*>(sender)) textureHandle_->NotifyChangesOfData();
  TGLUpdateAbleObject::NotifyChange(sender);
}

void TGLTexture::MarkImageChanged() {
  textureHandle_->NotifyChangesOfData();
  NotifyChange(this);
}

void TGLTexture::MarkParamsChanged() {
  samplerHandle_->NotifyChangesOfData();
  NotifyChange(this);
}

// ---- The image ----

void TGLTexture::SetImage(const TGLTextureImage* value) {
  if (!value) {
    InstallImage(std::make_unique<TGLPersistentImage>(this));
    return;
  }
  if (value == image_.get()) return;
  if (image_->ImageClass() != value->ImageClass()) InstallImage(value->ImageClass()->Create(this));
  image_->Assign(value);
}

void TGLTexture::SetImageClassName(const std::string& value) {
  if (value.empty() || value == image_->ClassName()) return;
  TGLTextureImageClass imageClass = FindTextureImageClass(value);
  if (!imageClass) {
    const std::string message = "Make sure you include the unit for " + value + " in your uses clause";
    ZASSERT(false, message.c_str());
  }
  InstallImage(imageClass->Create(this));
}

// ---- Properties ----

template <class T>
void TGLTexture::SetAndMark(T& field, T value, void (TGLTexture::*mark)()) {
  if (field == value) return;
  field = value;
  (this->*mark)();
}

void TGLTexture::SetImageAlpha(TGLTextureImageAlpha v) {
  SetAndMark(imageAlpha_, v, &TGLTexture::MarkImageChanged);
}
void TGLTexture::SetImageBrightness(float v) {
  SetAndMark(imageBrightness_, v, &TGLTexture::MarkImageChanged);
}
void TGLTexture::SetImageGamma(float v) { SetAndMark(imageGamma_, v, &TGLTexture::MarkImageChanged); }
void TGLTexture::SetTextureFormatEx(TGLInternalFormat v) {
  SetAndMark(textureFormat_, v, &TGLTexture::MarkImageChanged);
}
void TGLTexture::SetMagFilter(TGLMagFilter v) { SetAndMark(magFilter_, v, &TGLTexture::MarkParamsChanged); }
void TGLTexture::SetMinFilter(TGLMinFilter v) { SetAndMark(minFilter_, v, &TGLTexture::MarkParamsChanged); }
void TGLTexture::SetTextureMode(TGLTextureMode v) {
  SetAndMark(textureMode_, v, &TGLTexture::MarkParamsChanged);
}
void TGLTexture::SetTextureWrap(TGLTextureWrap v) {
  SetAndMark(textureWrap_, v, &TGLTexture::MarkParamsChanged);
}
void TGLTexture::SetTextureWrapS(TGLSeparateTextureWrap v) {
  SetAndMark(wrapS_, v, &TGLTexture::MarkParamsChanged);
}
void TGLTexture::SetTextureWrapT(TGLSeparateTextureWrap v) {
  SetAndMark(wrapT_, v, &TGLTexture::MarkParamsChanged);
}
void TGLTexture::SetTextureWrapR(TGLSeparateTextureWrap v) {
  SetAndMark(wrapR_, v, &TGLTexture::MarkParamsChanged);
}
void TGLTexture::SetCompression(TGLInternalCompression v) {
  SetAndMark(compression_, v, &TGLTexture::MarkParamsChanged);
}
void TGLTexture::SetFilteringQuality(TGLTextureFilteringQuality v) {
  SetAndMark(filteringQuality_, v, &TGLTexture::MarkParamsChanged);
}
void TGLTexture::SetTextureCompareMode(TGLTextureCompareMode v) {
  SetAndMark(compareMode_, v, &TGLTexture::MarkParamsChanged);
}
void TGLTexture::SetTextureCompareFunc(TComparisonFunction v) {
  SetAndMark(compareFunc_, v, &TGLTexture::MarkParamsChanged);
}
void TGLTexture::SetDepthTextureMode(TGLDepthTextureMode v) {
  SetAndMark(depthTextureMode_, v, &TGLTexture::MarkParamsChanged);
}

void TGLTexture::SetEnvColor(const TGLColor* value) {
  envColor_->Assign(value);
  MarkParamsChanged();
}

void TGLTexture::SetBorderColor(const TGLColor* value) {
  borderColor_->Assign(value);
  MarkParamsChanged();
}

TGLTextureFormat TGLTexture::TextureFormat() const {
  if (textureFormat_ == DefaultTextureFormat) return tfDefault;
  for (int f = tfRGB; f < tfExtended; ++f)
    if (kTextureFormats[f] == textureFormat_) return static_cast<TGLTextureFormat>(f);
  return tfExtended;
}

// Meant for construction and descriptions: a change at run time takes effect at the next upload
// that happens for another reason.
void TGLTexture::SetTextureFormat(TGLTextureFormat value) {
  if (value != tfExtended) textureFormat_ = kTextureFormats[value];
}

// No format reads back as tfNormalMap, so the scale never notifies.
void TGLTexture::SetNormalMapScale(float value) { normalMapScale_ = value; }

bool TGLTexture::NotifyOwnerTexMapChange() {
  auto* owner = dynamic_cast<IGLTextureNotifyAble*>(Owner());
  if (owner) owner->NotifyTexMapChange(this);
  return owner != nullptr;
}

void TGLTexture::SetDisabled(bool value) {
  if (value == disabled_) return;
  disabled_ = value;
  if (!NotifyOwnerTexMapChange()) NotifyChange(this);
}

void TGLTexture::SetMappingMode(TGLTextureMappingMode value) {
  if (value == mappingMode_) return;
  const bool texMapChange = (mappingMode_ == tmmUser) != (value == tmmUser);
  mappingMode_ = value;
  if (texMapChange)
    NotifyOwnerTexMapChange();
  else
    NotifyChange(this);
}

TGLCoordinates4* TGLTexture::MappingCoordinates(int index) const {
  if (!mapping_[index])
    mapping_[index] =
        std::make_unique<TGLCoordinates4>(const_cast<TGLTexture*>(this), kMappingDefaults[index], ckVector);
  return mapping_[index].get();
}

// ---- Copy ----

void TGLTexture::Assign(const TPersistent* source) {
  if (const auto* texture = dynamic_cast<const TGLTexture*>(source)) {
    if (texture == this) return;
    imageAlpha_ = texture->imageAlpha_;
    textureMode_ = texture->textureMode_;
    textureWrap_ = texture->textureWrap_;
    textureFormat_ = texture->textureFormat_;
    compression_ = texture->compression_;
    minFilter_ = texture->minFilter_;
    magFilter_ = texture->magFilter_;
    mappingMode_ = texture->mappingMode_;
    for (int i = 0; i < 4; ++i) MappingCoordinates(i)->Assign(texture->MappingCoordinates(i));
    disabled_ = texture->disabled_;
    SetImage(texture->image_.get());
    imageBrightness_ = texture->imageBrightness_;
    imageGamma_ = texture->imageGamma_;
    filteringQuality_ = texture->filteringQuality_;
    envColor_->Assign(texture->envColor_.get());
    borderColor_->Assign(texture->borderColor_.get());
    normalMapScale_ = texture->normalMapScale_;
    textureHandle_->NotifyChangesOfData();
    samplerHandle_->NotifyChangesOfData();
    return;
  }
  if (dynamic_cast<const TGraphic*>(source)) return image_->Assign(source);
  if (const auto* picture = dynamic_cast<const TPicture*>(source)) return image_->Assign(picture->Graphic());
  if (!source) {
    SetDisabled(true);
    SetImage(nullptr);
    textureHandle_->NotifyChangesOfData();
    samplerHandle_->NotifyChangesOfData();
    return;
  }
  TGLUpdateAbleObject::Assign(source);
}

// ---- Memory estimate ----

int32_t TGLTexture::RequiredMemory() {
  if (requiredMemory_ >= 0) return requiredMemory_;
  constexpr uint64_t kLimit = std::numeric_limits<int32_t>::max();
  // Every product saturates just above the 32-bit limit, so nothing overflows on the way.
  auto times = [](uint64_t a, uint64_t b) { return (a != 0 && b > (kLimit + 1) / a) ? kLimit + 1 : a * b; };
  uint64_t w = static_cast<uint64_t>(std::max(image_->GetWidth(), 0));
  uint64_t h = static_cast<uint64_t>(std::max(image_->GetHeight(), 0));
  if (IsCompressedFormat(textureFormat_)) {
    w = (w + 3) / 4;
    h = (h + 3) / 4;
  }
  const uint64_t element = static_cast<uint64_t>(GetInternalFormatElementSize(textureFormat_));
  uint64_t bytes = times(times(h, w), element);
  if (image_->GetDepth() > 0) bytes = times(bytes, static_cast<uint64_t>(image_->GetDepth()));
  if (minFilter_ > miLinear) {
    uint64_t s = bytes;
    while (s > element) {
      s /= 4;
      bytes += s;
    }
  }
  if (image_->NativeTarget() == ttTextureCube) bytes = times(bytes, 6);
  requiredMemory_ = static_cast<int32_t>(std::min(bytes, kLimit));
  return requiredMemory_;
}

}  // namespace gl3d
