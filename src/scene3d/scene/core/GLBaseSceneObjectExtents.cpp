// What a scene object answers about its size, its centre, the points inside it, where a ray
// hits it and its outline: the base class answers for a unit box and its bounding sphere.
#include <cmath>

#include "common/Exception.h"
#include "scene3d/scene/core/GLBaseSceneObject.h"

namespace gl3d {

namespace {

TCornerBox EmptyBox() {
  TCornerBox box;
  for (TVector4f& c : box.Corner) c = OriginPoint4f;
  return box;
}

TVector3f XYZ(const TVector4f& v) { return {v.X, v.Y, v.Z}; }

// Length of (x, y, z) in single precision (within an ulp of the exact length): culling takes it
// for every object in every frame.
float Length3(const TVector4f& v) { return std::sqrt(v.X * v.X + v.Y * v.Y + v.Z * v.Z); }

}  // namespace

float TGLBaseSceneObject::BoundingSphereRadiusUnscaled() { return Length3(AxisAlignedDimensionsUnscaled()); }

TAxisBox TGLBaseSceneObject::AxisAlignedBoundingBoxUnscaled(bool includeChildren) {
  const TVector4f d = AxisAlignedDimensionsUnscaled();
  TAxisBox box{{-d.X, -d.Y, -d.Z}, {d.X, d.Y, d.Z}};
  if (includeChildren)
    for (int i = 0; i < GetCount(); ++i) {
      TGLBaseSceneObject* child = Child(i);
      TAxisBox childBox = child->AxisAlignedBoundingBoxUnscaled(true);
      TransformAxisBox(childBox, child->GetMatrix());
      AddAxisBox(box, childBox);
    }
  return box;
}

TAxisBox TGLBaseSceneObject::AxisAlignedBoundingBox(bool includeChildren) {
  TAxisBox box = AxisAlignedBoundingBoxUnscaled(includeChildren);
  ScaleAxisBox(box, scale_.GetAsAffineVector());
  return box;
}

TCornerBox TGLBaseSceneObject::BoundingBox() {
  TCornerBox box;
  AxisBoxToCornerBox(AxisAlignedBoundingBoxUnscaled(false), box);
  OffsetCornerBox(box, XYZ(AbsoluteToLocal(BarycenterAbsolutePosition())));
  return box;
}

const TCornerBox& TGLBaseSceneObject::OwnBoundingBoxCached() {
  if (boundsChanges_ & BBChangeBit(bcOwn)) {
    ownBox_ = BoundingBox();
    boundsChanges_ &= static_cast<TObjectBBChanges>(~BBChangeBit(bcOwn));
    boxWithChildrenStale_ = true;
  }
  return ownBox_;
}

const TCornerBox& TGLBaseSceneObject::ChildrenBoundingBoxCached() {
  if (boundsChanges_ & BBChangeBit(bcChildren)) {
    const TCornerBox empty = EmptyBox();
    childrenBox_ = empty;
    for (int i = 0; i < GetCount(); ++i) {
      TGLBaseSceneObject* child = Child(i);
      TCornerBox box = child->BoundingBoxWithChildrenCached();
      if (CornerBoxesEqual(box, empty)) continue;
      TransformCornerBox(box, child->GetMatrix());
      if (CornerBoxesEqual(childrenBox_, empty))
        childrenBox_ = box;
      else
        AddCornerBox(childrenBox_, box, childrenBox_);
    }
    boundsChanges_ &= static_cast<TObjectBBChanges>(~BBChangeBit(bcChildren));
    boxWithChildrenStale_ = true;
  }
  return childrenBox_;
}

const TCornerBox& TGLBaseSceneObject::BoundingBoxWithChildrenCached() {
  const TCornerBox& own = OwnBoundingBoxCached();
  const TCornerBox& children = ChildrenBoundingBoxCached();
  if (boxWithChildrenStale_) {
    const TCornerBox empty = EmptyBox();
    if (CornerBoxesEqual(own, empty)) {
      boxWithChildren_ = children;
    } else {
      boxWithChildren_ = own;
      if (!CornerBoxesEqual(children, empty)) AddCornerBox(boxWithChildren_, children, boxWithChildren_);
    }
    boxWithChildrenStale_ = false;
  }
  return boxWithChildren_;
}

TAxisBox TGLBaseSceneObject::AbsoluteBoundingBoxWithChildren() {
  TCornerBox box = BoundingBoxWithChildrenCached();
  TransformCornerBox(box, GetAbsoluteMatrix());
  TAxisBox out;
  CornerBoxToAxisBox(box, out);
  return out;
}

bool TGLBaseSceneObject::PointInObject(const TVector4f& point) {
  TVector4f local;
  VectorTransform4f(point, GetInvAbsoluteMatrix(), local);
  const TVector4f d = AxisAlignedDimensions();
  const TVector4f& s = scale_.AsVector();
  return std::fabs(local.X * s.X) <= d.X && std::fabs(local.Y * s.Y) <= d.Y &&
         std::fabs(local.Z * s.Z) <= d.Z;
}

bool TGLBaseSceneObject::RayCastIntersect(const TVector4f& rayStart, const TVector4f& rayVector,
                                          TVector4f* intersectPoint, TVector4f* intersectNormal) {
  const TVector4f centre = AbsolutePosition();
  TVector4f first, second;
  if (RaySphereIntersect(rayStart, rayVector, XYZ(centre), BoundingSphereRadius(), first, second) <= 0)
    return false;
  if (intersectPoint) *intersectPoint = first;
  if (intersectNormal) {
    TVector4f n;
    VectorSubtract4f(first, centre, n);
    NormalizeVector4f(n);
    *intersectNormal = n;
  }
  return true;
}

std::unique_ptr<TGLSilhouette> TGLBaseSceneObject::GenerateSilhouette(const TSilhouetteQuery& params) {
  constexpr int kPoints = 21;
  constexpr float kStep = 0.2991993f;  // 2π / 21
  const float radius = BoundingSphereRadiusUnscaled();
  const float distance = VectorLength3f(params.SeenFrom);
  float r = 0;
  switch (params.Style) {
    case ssOmni:
      r = SphereApparentRadius(distance, radius);
      break;
    case ssParallel:
      r = radius;
      break;
    default:
      ZASSERT(false, "Assertion failure (scene core)");
  }
  TVector3f right, up;
  SilhouetteRingAxes(params.SeenFrom, right, up);
  r *= 0.98f;

  auto silhouette = std::make_unique<TGLSilhouette>();
  for (int i = 0; i < kPoints; ++i) {
    float s, c;
    SinCosScaled(static_cast<float>(i) * kStep, r, s, c);
    silhouette->Vertices().AddPoint({s * right.X + c * up.X, s * right.Y + c * up.Y, s * right.Z + c * up.Z});
    const int next = (i + 1) % kPoints;
    silhouette->Indices().Add(i);
    silhouette->Indices().Add(next);
    if (params.CappingRequired) {
      silhouette->CapIndices().Add(kPoints);
      silhouette->CapIndices().Add(i);
      silhouette->CapIndices().Add(next);
    }
  }
  if (params.CappingRequired) silhouette->Vertices().AddPoint(NullVector3f);
  return silhouette;
}

}  // namespace gl3d
