// The scene object's placement: the local matrix built from Position, Direction, Up and Scale,
// the absolute and inverse matrices derived through the parents, orientation by Euler angles and
// by a whole matrix, and the orbit about a target.
#include <cmath>

#include "common/Exception.h"
#include "scene3d/scene/core/GLBaseSceneObject.h"

namespace gl3d {

namespace {

constexpr TObjectChanges kAbsoluteChanges =
    ObjectChangeBit(chAbsoluteMatrix) | ObjectChangeBit(chInvAbsoluteMatrix);
constexpr float kMinRightLength = 0.00001f;
// The orbit keeps the view this far (radians) from the up axis.
constexpr float kMinPitch = 0.025f;
constexpr float kMaxPitch = static_cast<float>(3.14159265358979323846 - 0.025);

TVector4f Cross(const TVector4f& a, const TVector4f& b) {
  TVector4f out;
  VectorCrossProduct4f(a, b, out);
  return out;
}

// The right vector Direction × Up, or a fallback when the two are (nearly) parallel.
TVector4f RightOf(const TVector4f& direction, const TVector4f& up) {
  TVector4f right = Cross(direction, up);
  if (VectorLength4f(right) < kMinRightLength) {
    right = Cross({0, 0, 1, 0}, up);
    if (VectorLength4f(right) < kMinRightLength) right = Cross({1, 0, 0, 0}, up);
  }
  return right;
}

TVector4f Normalized(const TVector4f& v) {
  TVector4f out;
  VectorNormalize4f(v, out);
  return out;
}

bool IsZeroXYZ(const TVector4f& v) { return v.X == 0 && v.Y == 0 && v.Z == 0; }

}  // namespace

void TGLBaseSceneObject::RebuildMatrix() {
  if (!(changes_ & ObjectChangeBit(chLocalMatrix))) return;
  const TVector4f& up = up_.AsVector();
  const TVector4f& direction = direction_.AsVector();
  const TVector4f& scale = scale_.AsVector();
  VectorScale4f(Cross(up, direction), scale.X, localMatrix_[0]);
  VectorScale4f(up, scale.Y, localMatrix_[1]);
  VectorScale4f(direction, scale.Z, localMatrix_[2]);
  localMatrix_[3] = position_.AsVector();
  changes_ &= static_cast<TObjectChanges>(~ObjectChangeBit(chLocalMatrix));
  changes_ |= kAbsoluteChanges;
}

const TMatrix4f& TGLBaseSceneObject::GetMatrix() {
  RebuildMatrix();
  return localMatrix_;
}

void TGLBaseSceneObject::UpdateAbsoluteMatrix() {
  RebuildMatrix();
  if (!parent_ || dynamic_cast<TGL3DSceneRootObject*>(parent_))
    absoluteMatrix_ = localMatrix_;
  else
    MultiplyMatrix4f(localMatrix_, parent_->GetAbsoluteMatrix(), absoluteMatrix_);
  changes_ &= static_cast<TObjectChanges>(~ObjectChangeBit(chAbsoluteMatrix));
  changes_ |= ObjectChangeBit(chInvAbsoluteMatrix);
}

const TMatrix4f& TGLBaseSceneObject::GetInvAbsoluteMatrix() {
  TMatrix4f* block = &invAbsoluteMatrix_;
  if (changes_ & ObjectChangeBit(chInvAbsoluteMatrix)) {
    if (VectorEquals4f(scale_.AsVector(), {1, 1, 1, 0})) {
      // Rotation and translation only: the cheap inversion, composed with the parent's.
      RebuildMatrix();
      TMatrix4f localInverse;
      InvertAnglePreservingMatrix(localMatrix_, localInverse);
      if (parent_)
        MultiplyMatrix4f(parent_->GetInvAbsoluteMatrix(), localInverse, *block);
      else
        *block = localInverse;
    } else {
      *block = GetAbsoluteMatrix();
      InvertMatrix(*block);
    }
    changes_ &= static_cast<TObjectChanges>(~ObjectChangeBit(chInvAbsoluteMatrix));
  }
  return *block;
}

TVector4f TGLBaseSceneObject::AbsoluteDirection() { return Normalized(GetAbsoluteMatrix()[2]); }
TVector4f TGLBaseSceneObject::AbsoluteUp() { return Normalized(GetAbsoluteMatrix()[1]); }
TVector4f TGLBaseSceneObject::RightVector() const { return Cross(direction_.AsVector(), up_.AsVector()); }
TVector4f TGLBaseSceneObject::LeftVector() const { return Cross(up_.AsVector(), direction_.AsVector()); }

TVector4f TGLBaseSceneObject::AbsoluteToLocal(const TVector4f& v) {
  TVector4f out;
  VectorTransform4f(v, GetInvAbsoluteMatrix(), out);
  return out;
}

TVector4f TGLBaseSceneObject::LocalToAbsolute(const TVector4f& v) {
  TVector4f out;
  VectorTransform4f(v, GetAbsoluteMatrix(), out);
  return out;
}

void TGLBaseSceneObject::SetPosition(const TGLCustomCoordinates& value) {
  position_.SetPoint(value.X(), value.Y(), value.Z());
}

void TGLBaseSceneObject::SetDirection(const TGLCustomCoordinates& value) {
  if (IsZeroXYZ(value.AsVector())) return;
  direction_.SetVector(value.X(), value.Y(), value.Z());
}

void TGLBaseSceneObject::SetUp(const TGLCustomCoordinates& value) {
  if (IsZeroXYZ(value.AsVector())) return;
  up_.SetVector(value.X(), value.Y(), value.Z());
}

void TGLBaseSceneObject::SetScale(const TGLCustomCoordinates& value) {
  scale_.Assign(&value);
  TransformationChanged();
}

void TGLBaseSceneObject::CoordinateChanged(TGLCustomCoordinates* sender) {
  if (calculating_) return;
  calculating_ = true;
  struct TReset {
    bool& flag;
    ~TReset() { flag = false; }
  } reset{calculating_};
  if (sender == &direction_) {
    if (direction_.VectorLength() == 0) direction_.AssignVectorQuietly({0, 0, 1, 0});
    direction_.AssignVectorQuietly(Normalized(direction_.AsVector()));
    const TVector4f right = RightOf(direction_.AsVector(), up_.AsVector());
    up_.AssignVectorQuietly(Normalized(Cross(right, direction_.AsVector())));
  } else if (sender == &up_) {
    if (up_.VectorLength() == 0) up_.AssignVectorQuietly({0, 1, 0, 0});
    up_.AssignVectorQuietly(Normalized(up_.AsVector()));
    const TVector4f right = RightOf(direction_.AsVector(), up_.AsVector());
    direction_.AssignVectorQuietly(Normalized(Cross(up_.AsVector(), right)));
  }
  // Every sender: the matrices are stale. The notice is the coordinates' own, which follows.
  MarkTransformationChanged();
}

void TGLBaseSceneObject::SetPitchAngle(float value) { SetAngle(0, value); }
void TGLBaseSceneObject::SetTurnAngle(float value) { SetAngle(1, value); }
void TGLBaseSceneObject::SetRollAngle(float value) { SetAngle(2, value); }

// component 0 pitch (about the right vector), 1 turn (about Up), 2 roll (about Direction).
void TGLBaseSceneObject::SetAngle(int component, float value) {
  const float old = rotation_.GetCoordinate(component);
  if (value == old) return;
  if (!IsLoading()) {
    calculating_ = true;
    struct TReset {
      bool& flag;
      ~TReset() { flag = false; }
    } reset{calculating_};
    const TVector4f axis =
        component == 0 ? RightVector() : (component == 1 ? up_.AsVector() : direction_.AsVector());
    const TMatrix4f rotation = CreateAxisRotationMatrix4f(axis, DegToRadSingle(old - value));
    TVector4f v;
    VectorTransform4f(up_.AsVector(), rotation, v);
    up_.AssignVectorQuietly(v);
    up_.Normalize();
    VectorTransform4f(direction_.AsVector(), rotation, v);
    direction_.AssignVectorQuietly(v);
    direction_.Normalize();
    TransformationChanged();
  }
  rotation_.AsAddress()->operator[](component) = NormalizeDegAngle(value);
}

void TGLBaseSceneObject::SetMatrix(const TMatrix4f& m) {
  localMatrix_ = m;
  // A zero row says nothing about the axis: the previous Direction or Up stays.
  if (!IsZeroXYZ(m[2])) direction_.AssignVectorQuietly(Normalized(m[2]));
  if (!IsZeroXYZ(m[1])) up_.AssignVectorQuietly(Normalized(m[1]));
  scale_.SetVector(VectorLength4f(m[0]), VectorLength4f(m[1]), VectorLength4f(m[2]));
  position_.AssignVectorQuietly(m[3]);
  TransformationChanged();
}

void TGLBaseSceneObject::MoveObjectAround(TGLBaseSceneObject* target, float pitchDelta, float turnDelta) {
  if (!target) return;
  // A zero orbit must not touch Position: rewriting it would notify and let rounding drift.
  if (pitchDelta == 0 && turnDelta == 0) return;
  const TVector4f position = AbsolutePosition();
  const TVector4f targetPosition = target->AbsolutePosition();
  TVector4f toObject;
  VectorSubtract4f(position, targetPosition, toObject);
  toObject.W = 0;
  const float distance = VectorLength4f(toObject);
  if (distance == 0) return;  // on the target: no direction to orbit along
  const TVector4f n = Normalized(toObject);
  const TVector4f up = AbsoluteUp();
  TVector4f right = Cross(up, n);
  if (VectorLength4f(right) < 0.001f)
    right = {1, 0, 0, 0};
  else
    right = Normalized(right);
  const float cosine = ClampSingle(VectorDotProduct4f(up, n), -1, 1);
  const float pitch = ClampSingle(ArcCosSingle(cosine) + DegToRadSingle(pitchDelta), kMinPitch, kMaxPitch);
  TVector4f moved = up;
  RotateVector4f(moved, right, -pitch);
  RotateVector4f(moved, up, -DegToRadSingle(turnDelta));
  ScaleVector4f(moved, distance);
  TVector4f newPosition{position.X + (moved.X - toObject.X), position.Y + (moved.Y - toObject.Y),
                        position.Z + (moved.Z - toObject.Z), 1};
  if (parent_) newPosition = parent_->AbsoluteToLocal(newPosition);
  position_.SetAsVector(newPosition);
}

}  // namespace gl3d
