#include "scene3d/scene/core/GLCoordinates.h"

#include "common/Exception.h"

namespace gl3d {

namespace {
constexpr const char* kUseSetVector =
    "If you are getting assertions here, consider using the SetVector procedure";
constexpr const char* kUseSetPoint =
    "If you are getting assertions here, consider using the SetPoint procedure";
}  // namespace

TGLCustomCoordinates::TGLCustomCoordinates(TPersistent* owner, const TVector4f& value,
                                           TGLCoordinatesKind kind)
    : TGLUpdateAbleObject(owner), coords_(value), kind_(kind) {}

void TGLCustomCoordinates::Assign(const TPersistent* source) {
  if (auto* c = dynamic_cast<const TGLCustomCoordinates*>(source))
    coords_ = c->coords_;
  else
    TGLUpdateAbleObject::Assign(source);
}

void TGLCustomCoordinates::DefineStoredProperties(TFiler& filer) {
  TGLUpdateAbleObject::DefineStoredProperties(filer);
  filer.DefineBinaryProperty(
      "Coordinates", [this](TStream& s) { ReadData(s); }, [this](TStream& s) { s.WriteBuffer(&coords_, 16); },
      true);
}

void TGLCustomCoordinates::ReadData(TStream& stream) {
  if (stream.Remaining() != 16) throw EReadError("Invalid property value");
  TVector4f v;
  stream.ReadBuffer(&v, 16);
  coords_ = v;
}

void TGLCustomCoordinates::NotifyChange(TObject* sender) {
  if (auto* owner = dynamic_cast<IGLCoordinatesUpdateAble*>(Owner())) owner->CoordinateChanged(this);
  TGLUpdateAbleObject::NotifyChange(sender);
}

void TGLCustomCoordinates::SetPoint(float x, float y, float z) {
  ZASSERT(kind_ == ckPoint, kUseSetVector);
  coords_ = {x, y, z, 1};
  NotifyChange(this);
}

void TGLCustomCoordinates::SetVector(float x, float y, float z) {
  ZASSERT(kind_ == ckVector, kUseSetPoint);
  coords_ = {x, y, z, 0};
  NotifyChange(this);
}

void TGLCustomCoordinates::SetVector(float x, float y, float z, float w) {
  ZASSERT(kind_ == ckVector, kUseSetPoint);
  coords_ = {x, y, z, w};
  NotifyChange(this);
}

void TGLCustomCoordinates::SetAsVector(const TVector4f& v) {
  TVector4f c = v;
  switch (kind_) {
    case ckPoint2D:
      c.Z = 0;
      c.W = 0;
      break;
    case ckPoint:
      c.W = 1;
      break;
    case ckVector:
      c.W = 0;
      break;
    default:
      ZASSERT(false, "Assertion failure (GLCoordinates)");
  }
  coords_ = c;
  NotifyChange(this);
}

void TGLCustomCoordinates::SetCoordinate(int index, float value) {
  ZASSERT(index >= 0 && index <= 3, "Coordinate index out of range");
  coords_[index] = value;
  NotifyChange(this);
}

float TGLCustomCoordinates::GetCoordinate(int index) const {
  ZASSERT(index >= 0 && index <= 3, "Coordinate index out of range");
  return coords_[index];
}

void TGLCustomCoordinates::Normalize() {
  NormalizeVector4f(coords_);
  NotifyChange(this);
}

float TGLCustomCoordinates::VectorLength() const { return VectorLength3f(GetAsAffineVector()); }

void RegisterCoordinatesClasses() {
  RegisterClass<TGLCoordinates2>("TGLCoordinates2");
  RegisterClass<TGLCoordinates3>("TGLCoordinates3");
  RegisterClass<TGLCoordinates4>("TGLCoordinates4");
}

}  // namespace gl3d
