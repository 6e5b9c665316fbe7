#pragma once
// Coordinates: the four-component position, direction, up, scale and similar properties of
// scene objects, cameras, lights and textures. Every change made through a setter notifies the
// owner, also when the value does not change (the editor's idle orbit relies on it to repaint),
// and the vector is stored in form descriptions as the 16-byte binary property "Coordinates".
#include <cstdint>

#include "scene3d/base/BaseClasses.h"
#include "scene3d/base/VectorGeometry.h"

namespace gl3d {

class TGLCustomCoordinates;

// What the coordinates stand for: a 2D point (z and w 0), a point (w 1) or a vector (w 0).
enum TGLCoordinatesKind : uint8_t { ckPoint2D, ckPoint, ckVector };

// Implemented by owners that want to know which of their coordinates changed.
class IGLCoordinatesUpdateAble {
 public:
  virtual ~IGLCoordinatesUpdateAble() = default;
  virtual void CoordinateChanged(TGLCustomCoordinates* sender) = 0;
};

class TGLCustomCoordinates : public TGLUpdateAbleObject {
 public:
  TGLCustomCoordinates(TPersistent* owner, const TVector4f& value, TGLCoordinatesKind kind = ckPoint);
  const char* ClassName() const override { return "TGLCustomCoordinates"; }

  TGLCoordinatesKind Kind() const { return kind_; }
  const TVector4f& AsVector() const { return coords_; }
  float X() const { return coords_.X; }
  float Y() const { return coords_.Y; }
  float Z() const { return coords_.Z; }
  float W() const { return coords_.W; }

  // Sets the vector without notification.
  void Initialize(const TVector4f& v) { coords_ = v; }
  // From other coordinates: the four components, without notification; otherwise inherited.
  void Assign(const TPersistent* source) override;
  // "Coordinates": 16 bytes, the singles X, Y, Z, W, always written. Data of another size fails
  // with EReadError and leaves the vector as it was.
  void DefineStoredProperties(TFiler& filer) override;
  // Tells an owner that implements IGLCoordinatesUpdateAble, then the inherited notification.
  void NotifyChange(TObject* sender) override;

  // Points only (else the assertion "If you are getting assertions here, consider using the
  // SetVector procedure"): (x, y, z, 1).
  void SetPoint(float x, float y, float z);
  // Vectors only (else "If you are getting assertions here, consider using the SetPoint
  // procedure"): (x, y, z, 0), or all four.
  void SetVector(float x, float y, float z);
  void SetVector(float x, float y, float z, float w);
  // Copies v, then fixes w (and z of a 2D point) by the kind.
  void SetAsVector(const TVector4f& v);
  void AssignVectorQuietly(const TVector4f& v) { coords_ = v; }
  // Component 0 to 3 (X, Y, Z, W); another index fails the assertion "Coordinate index out of
  // range".
  void SetCoordinate(int index, float value);
  float GetCoordinate(int index) const;
  void SetX(float v) { SetCoordinate(0, v); }
  void SetY(float v) { SetCoordinate(1, v); }
  void SetZ(float v) { SetCoordinate(2, v); }
  void SetW(float v) { SetCoordinate(3, v); }
  // Normalises X, Y, Z with W := 0.
  void Normalize();
  float VectorLength() const;
  // Bit-for-bit equality of the four components.
  bool Equals(const TVector4f& v) const { return VectorEquals4f(coords_, v); }
  TVector3f GetAsAffineVector() const { return {coords_.X, coords_.Y, coords_.Z}; }
  // For routines that change the vector in place; they notify themselves when needed.
  TVector4f* AsAddress() { return &coords_; }

 private:
  void ReadData(TStream& stream);
  TVector4f coords_;
  TGLCoordinatesKind kind_;
};

// Coordinates with published X, Y (2), X, Y, Z (3) or X, Y, Z, W (4); they add nothing else.
class TGLCoordinates2 : public TGLCustomCoordinates {
 public:
  explicit TGLCoordinates2(TPersistent* owner, const TVector4f& value = NullVector4f,
                           TGLCoordinatesKind kind = ckPoint2D)
      : TGLCustomCoordinates(owner, value, kind) {}
  const char* ClassName() const override { return "TGLCoordinates2"; }
};

class TGLCoordinates3 : public TGLCustomCoordinates {
 public:
  explicit TGLCoordinates3(TPersistent* owner, const TVector4f& value = NullVector4f,
                           TGLCoordinatesKind kind = ckPoint)
      : TGLCustomCoordinates(owner, value, kind) {}
  const char* ClassName() const override { return "TGLCoordinates3"; }
};

class TGLCoordinates4 : public TGLCustomCoordinates {
 public:
  explicit TGLCoordinates4(TPersistent* owner, const TVector4f& value = NullVector4f,
                           TGLCoordinatesKind kind = ckPoint)
      : TGLCustomCoordinates(owner, value, kind) {}
  const char* ClassName() const override { return "TGLCoordinates4"; }
};

// A component that hears of the changes of its coordinates.
class TGLCoordinatesUpdateAbleComponent : public TGLUpdateAbleComponent, public IGLCoordinatesUpdateAble {
 public:
  using TGLUpdateAbleComponent::TGLUpdateAbleComponent;
  const char* ClassName() const override { return "TGLCoordinatesUpdateAbleComponent"; }
};

// Registers the three coordinates classes by name.
void RegisterCoordinatesClasses();

}  // namespace gl3d
