#include "scene3d/base/GLColor.h"

#include <atomic>

namespace gl3d {

static_assert(sizeof(TVector4f) == 16, "the \"Color\" property is 16 bytes");

TGLColor::TGLColor(TPersistent* owner) : TGLUpdateAbleObject(owner) {}

TGLColor::TGLColor(TPersistent* owner, const TVector4f& color, TNotifyEvent changeEvent)
    : TGLUpdateAbleObject(owner), color_(color) {
  OnPropertyChange = std::move(changeEvent);
}

void TGLColor::SetColor(const TVector4f& color) {
  color_ = color;
  NotifyChange(this);
}

void TGLColor::SetColorComponent(int index, float value) {
  if (index < 0 || index > 3) return;
  if (color_[index] != value) {
    color_[index] = value;
    NotifyChange(this);
  }
}

void TGLColor::Assign(const TPersistent* source) {
  if (auto* c = dynamic_cast<const TGLColor*>(source)) {
    color_ = c->color_;
    NotifyChange(this);
  } else {
    TGLUpdateAbleObject::Assign(source);
  }
}

void TGLColor::DefineStoredProperties(TFiler& filer) {
  TGLUpdateAbleObject::DefineStoredProperties(filer);
  filer.DefineBinaryProperty(
      "Color", [this](TStream& s) { ReadColorData(s); }, [this](TStream& s) { WriteColorData(s); }, true);
}

void TGLColor::ReadColorData(TStream& stream) {
  TVector4f c;
  stream.ReadBuffer(&c, 16);
  color_ = c;
}

void TGLColor::WriteColorData(TStream& stream) const { stream.WriteBuffer(&color_, 16); }

void TGLColor::NotifyChange(TObject* sender) {
  TPersistent* owner = Owner();
  if (!owner) return;
  if (auto* notifyAble = dynamic_cast<IGLNotifyAble*>(owner)) notifyAble->NotifyChange(this);
  TGLUpdateAbleObject::NotifyChange(sender);
}

namespace {
std::atomic<TSysColorResolver> gSysColorResolver{nullptr};
}

void SetSysColorResolver(TSysColorResolver resolver) { gSysColorResolver = resolver; }

int32_t ColorToRGB(int32_t color) {
  if (color >= 0) return color;
  const TSysColorResolver r = gSysColorResolver;
  return r ? r(color) : 0;
}

void WinColorToVector4f(int32_t color, TVector4f& v, float alpha) {
  const int32_t rgb = ColorToRGB(color);
  constexpr long double k = 1.0L / 255;
  v = {static_cast<float>(GetRedValue(rgb) * k), static_cast<float>(GetGreenValue(rgb) * k),
       static_cast<float>(GetBlueValue(rgb) * k), alpha};
}

}  // namespace gl3d
