#include "scene3d/scene/primitives/GLSphere.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/Exception.h"
#include "scene3d/scene/texture/GLMultitextureCoordinator.h"

namespace gl3d {

namespace {
constexpr const char* kAssertText = "Assertion failure (GLObjects)";
}

// ---- TGLQuadricObject ----

void TGLQuadricObject::SetNormals(TNormalSmoothing value) {
  if (normals_ == value) return;
  normals_ = value;
  StructureChanged();
}

void TGLQuadricObject::SetNormalDirection(TNormalDirection value) {
  if (normalDirection_ == value) return;
  normalDirection_ = value;
  StructureChanged();
}

void TGLQuadricObject::Assign(const TPersistent* source) {
  if (auto* src = dynamic_cast<const TGLQuadricObject*>(source)) {
    SetNormals(src->normals_);
    SetNormalDirection(src->normalDirection_);
  }
  TGL3DSceneObject::Assign(source);
}

// ---- TGLSphere properties ----

void TGLSphere::SetRadius(float value) {
  if (radius_ == value) return;
  radius_ = value;
  StructureChanged();
}

void TGLSphere::SetSlices(int value) {
  if (value < 1) value = 1;
  if (slices_ == value) return;
  slices_ = value;
  StructureChanged();
}

void TGLSphere::SetStacks(int value) {
  if (value < 1) value = 1;
  if (stacks_ == value) return;
  stacks_ = value;
  StructureChanged();
}

void TGLSphere::SetTop(TAngleLimit1 value) {
  if (top_ == value) return;
  top_ = value;
  StructureChanged();
}

void TGLSphere::SetBottom(TAngleLimit1 value) {
  if (bottom_ == value) return;
  bottom_ = value;
  StructureChanged();
}

void TGLSphere::SetStart(TAngleLimit2 value) {
  if (start_ == value) return;
  ZASSERT(value <= stop_, kAssertText);
  start_ = value;
  StructureChanged();
}

void TGLSphere::SetStop(TAngleLimit2 value) {
  if (stop_ == value) return;
  ZASSERT(value >= start_, kAssertText);
  stop_ = value;
  StructureChanged();
}

void TGLSphere::SetTopCap(TCapType value) {
  if (topCap_ == value) return;
  topCap_ = value;
  StructureChanged();
}

void TGLSphere::SetBottomCap(TCapType value) {
  if (bottomCap_ == value) return;
  bottomCap_ = value;
  StructureChanged();
}

void TGLSphere::Assign(const TPersistent* source) {
  if (auto* src = dynamic_cast<const TGLSphere*>(source)) {
    SetRadius(src->radius_);
    SetSlices(src->slices_);
    SetStacks(src->stacks_);
    SetBottom(src->bottom_);
    SetTop(src->top_);
    // Straight to the fields: the pair is valid in the source, not always against this one's.
    if (start_ != src->start_ || stop_ != src->stop_) {
      start_ = src->start_;
      stop_ = src->stop_;
      StructureChanged();
    }
  }
  TGLQuadricObject::Assign(source);
}

// ---- TGLSphere geometry ----

TVector4f TGLSphere::AxisAlignedDimensionsUnscaled() {
  const float r = std::fabs(radius_);
  return {r, r, r, 0};
}

bool TGLSphere::RayCastIntersect(const TVector4f& rayStart, const TVector4f& rayVector,
                                 TVector4f* intersectPoint, TVector4f* intersectNormal) {
  const TVector4f start = AbsoluteToLocal(rayStart);
  TVector4f vector = AbsoluteToLocal(rayVector);
  NormalizeVector4f(vector);
  TVector4f i1, i2;
  if (RaySphereIntersect(start, vector, NullVector3f, radius_, i1, i2) == 0) return false;
  if (intersectPoint) *intersectPoint = LocalToAbsolute(i1);
  if (intersectNormal) {
    i1.W = 0;
    *intersectNormal = LocalToAbsolute(i1);
  }
  return true;
}

std::unique_ptr<TGLSilhouette> TGLSphere::GenerateSilhouette(const TSilhouetteQuery& params) {
  const int n = std::max(stacks_, slices_);
  TVector3f right, up;
  SilhouetteRingAxes(params.SeenFrom, right, up);

  auto silhouette = std::make_unique<TGLSilhouette>();
  const long double step = 2 * std::numbers::pi_v<long double> / n;
  for (int i = 0; i < n; ++i) {
    long double s, c;
    SinCosExtended(i * step, s, c);
    silhouette->Vertices().AddPoint({static_cast<float>(radius_ * (s * right.X + c * up.X)),
                                     static_cast<float>(radius_ * (s * right.Y + c * up.Y)),
                                     static_cast<float>(radius_ * (s * right.Z + c * up.Z))});
    const int next = (i + 1) % n;
    silhouette->Indices().AddTwo(i, next);
    if (params.CappingRequired) silhouette->CapIndices().AddThree(n, i, next);
  }
  if (params.CappingRequired) silhouette->Vertices().Add(OriginPoint4f);
  return silhouette;
}

// ---- TGLSphere drawing ----

void TGLSphere::DrawCap(bool top) {
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  TGLMultitextureCoordinator& xgl = *CurrentMultitextureCoordinator();
  const bool inside = NormalDirection() == ndInside;
  const TCapType cap = top ? topCap_ : bottomCap_;
  const long double latitude = DegToRadExtended(top ? top_ : bottom_);
  const long double stepH = DegToRadExtended(static_cast<long double>(stop_) - start_) / slices_;
  long double sP, cP;
  SinCosExtended(latitude, sP, cP);
  // The pole's side of the cap, and its opposite when the normals point inwards.
  const float pole = (top != inside) ? 1.0f : -1.0f;

  gl.Begin(GL_TRIANGLE_FAN);
  xgl.TexCoord2f(0.5f, 0.5f);
  gl.Normal3f(0, pole, 0);
  if (cap == ctCenter)
    gl.Vertex3f(0, 0, 0);
  else
    gl.Vertex3f(0, static_cast<float>(sP), 0);
  // The top cap turns from Start, the bottom one back from Stop.
  const long double from = DegToRadExtended(top ? start_ : stop_);
  const long double step = top ? stepH : -stepH;
  for (int i = 0; i <= slices_; ++i) {
    long double sT, cT;
    SinCosExtended(from + i * step, sT, cT);
    const TVector3f v{static_cast<float>(cP * sT), static_cast<float>(sP), static_cast<float>(cP * cT)};
    xgl.TexCoord2f(static_cast<float>(sT * 0.5 + 0.5), static_cast<float>(cT * 0.5 + 0.5));
    if (cap == ctCenter) {
      TVector3f normal;
      VectorRejection3f({0, top ? 1.0f : -1.0f, 0}, v, normal);
      if (inside) NegateVector3f(normal);
      gl.Normal3fv(&normal.X);
    }
    gl.Vertex3fv(&v.X);
  }
  gl.End();
}

void TGLSphere::BuildList(TRenderContextInfo& rci) {
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  TGLMultitextureCoordinator& xgl = *CurrentMultitextureCoordinator();
  TGLStateCache& states = *rci.StateCache;
  const bool inside = NormalDirection() == ndInside;
  const long double top = DegToRadExtended(top_), start = DegToRadExtended(start_);
  const long double stepH = (DegToRadExtended(stop_) - start) / slices_;
  const long double stepV = (top - DegToRadExtended(bottom_)) / stacks_;

  states.PushAttrib(StateTypes(sttPolygon));
  if (inside) states.InvertFrontFace();
  gl.PushMatrix();
  gl.Scalef(radius_, radius_, radius_);

  if (top_ < 90 && (topCap_ == ctCenter || topCap_ == ctFlat)) DrawCap(true);

  const float sign = inside ? -1.0f : 1.0f;
  for (int j = 0; j < stacks_; ++j) {
    const long double phi1 = top - j * stepV, phi2 = phi1 - stepV;
    long double s1, c1, s2, c2;
    SinCosExtended(phi1, s1, c1);
    SinCosExtended(phi2, s2, c2);
    const float t1 = 1 - static_cast<float>(j) / stacks_, t2 = 1 - static_cast<float>(j + 1) / stacks_;
    gl.Begin(GL_TRIANGLE_STRIP);
    for (int i = 0; i <= slices_; ++i) {
      long double sT, cT;
      SinCosExtended(start + i * stepH, sT, cT);
      const float u = static_cast<float>(i) / slices_;
      const TVector3f a{static_cast<float>(c1 * sT), static_cast<float>(s1), static_cast<float>(c1 * cT)};
      const TVector3f b{static_cast<float>(c2 * sT), static_cast<float>(s2), static_cast<float>(c2 * cT)};
      xgl.TexCoord2f(u, t1);
      gl.Normal3f(sign * a.X, sign * a.Y, sign * a.Z);
      gl.Vertex3fv(&a.X);
      xgl.TexCoord2f(u, t2);
      gl.Normal3f(sign * b.X, sign * b.Y, sign * b.Z);
      gl.Vertex3fv(&b.X);
    }
    gl.End();
  }

  if (bottom_ > -90 && (bottomCap_ == ctCenter || bottomCap_ == ctFlat)) DrawCap(false);

  if (inside) states.InvertFrontFace();
  gl.PopMatrix();
  states.PopAttrib();
}

}  // namespace gl3d
