#pragma once
// Colour property objects: four singles red, green, blue, alpha, handed to GL as one vector and
// stored in form descriptions as the 16-byte binary property "Color".
#include <cstdint>

#include "scene3d/base/BaseClasses.h"
#include "scene3d/base/VectorGeometry.h"

namespace gl3d {

class TGLColor : public TGLUpdateAbleObject {
 public:
  // Opaque black, set without notification.
  explicit TGLColor(TPersistent* owner);
  // CreateInitialized: the colour set without notification, and the change event.
  TGLColor(TPersistent* owner, const TVector4f& color, TNotifyEvent changeEvent = nullptr);
  const char* ClassName() const override { return "TGLColor"; }

  const TVector4f& Color() const { return color_; }
  // Stores and always notifies, also when nothing changed.
  void SetColor(const TVector4f& color);
  void Initialize(const TVector4f& color) { color_ = color; }
  void SetColorNoNotify(const TVector4f& color) { color_ = color; }
  // Notifies only when the component changes.
  void SetColorComponent(int index, float value);
  float Red() const { return color_.X; }
  float Green() const { return color_.Y; }
  float Blue() const { return color_.Z; }
  float Alpha() const { return color_.W; }
  void SetRed(float v) { SetColorComponent(0, v); }
  void SetGreen(float v) { SetColorComponent(1, v); }
  void SetBlue(float v) { SetColorComponent(2, v); }
  void SetAlpha(float v) { SetColorComponent(3, v); }
  // The four singles as GL colour and material calls take them; valid while the object lives.
  const float* ColorAddress() const { return &color_.X; }

  // From a colour: copies and notifies. Anything else: the persistent assignment.
  void Assign(const TPersistent* source) override;
  void DefineStoredProperties(TFiler& filer) override;
  // 16 bytes, little-endian singles in the order red, green, blue, alpha; no notification.
  void ReadColorData(TStream& stream);
  void WriteColorData(TStream& stream) const;

  // Without an owner nothing happens. Otherwise an owner that can be notified hears of the
  // change through that interface, then the update-able object's propagation runs (so an
  // update-able owner hears of one change twice), then the change event fires.
  void NotifyChange(TObject* sender) override;

 private:
  TVector4f color_{0, 0, 0, 1};
};

// Colour values of the GUI library: red in the low byte, green next, blue third; negative values
// name system colours, resolved by the installed resolver (black without one).
using TSysColorResolver = int32_t (*)(int32_t color);
// The two colour values the render buffer names: the button face (a system colour, its default
// background) and grey.
constexpr int32_t clBtnFace = static_cast<int32_t>(0xFF000000u | 15u);
constexpr int32_t clGray = 0x808080;
void SetSysColorResolver(TSysColorResolver resolver);
int32_t ColorToRGB(int32_t color);
// (red / 255, green / 255, blue / 255, alpha).
void WinColorToVector4f(int32_t color, TVector4f& v, float alpha);
inline uint8_t GetRedValue(int32_t color) { return static_cast<uint8_t>(color & 0xFF); }
inline uint8_t GetGreenValue(int32_t color) { return static_cast<uint8_t>((color >> 8) & 0xFF); }
inline uint8_t GetBlueValue(int32_t color) { return static_cast<uint8_t>((color >> 16) & 0xFF); }

}  // namespace gl3d
