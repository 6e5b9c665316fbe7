#include "scene3d/scene/objects/GLPlane.h"

#include <GL/gl.h>

#include <cmath>

#include "scene3d/gl/GLStateCache.h"
#include "scene3d/scene/texture/GLMultitextureCoordinator.h"

namespace gl3d {

void SendTangentAndBinormal(TRenderContextInfo& rci, const TVector3f& tangent, const TVector3f& binormal) {
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  const GLuint program = rci.StateCache->CurrentProgram();
  if (!gl.ARB_shader_objects || program == 0) return;
  const GLint tangentAttrib = gl.GetAttribLocation(program, "Tangent");
  const GLint binormalAttrib = gl.GetAttribLocation(program, "Binormal");
  if (tangentAttrib >= 0) gl.VertexAttrib3fv(static_cast<GLuint>(tangentAttrib), &tangent.X);
  if (binormalAttrib >= 0) gl.VertexAttrib3fv(static_cast<GLuint>(binormalAttrib), &binormal.X);
}

TGLPlane::TGLPlane(TComponent* owner) : TGL3DSceneObject(owner) {
  SetObjectStyle(ObjectStyle() | ObjectStyleBit(sfDirectDraw));
}

template <class T>
void TGLPlane::SetShape(T& field, T value) {
  if (value == field) return;
  field = value;
  tileMesh_.clear();
  StructureChanged();
}

void TGLPlane::SetWidth(float value) { SetShape(width_, value); }
void TGLPlane::SetHeight(float value) { SetShape(height_, value); }
void TGLPlane::SetXOffset(float value) { SetShape(xOffset_, value); }
void TGLPlane::SetYOffset(float value) { SetShape(yOffset_, value); }
void TGLPlane::SetXScope(float value) { SetShape(xScope_, value > 1 ? 1.0f : value); }
void TGLPlane::SetYScope(float value) { SetShape(yScope_, value > 1 ? 1.0f : value); }
void TGLPlane::SetXTiles(uint32_t value) { SetShape(xTiles_, value); }
void TGLPlane::SetYTiles(uint32_t value) { SetShape(yTiles_, value); }

void TGLPlane::SetStyle(TPlaneStyles value) {
  if (value == style_) return;
  style_ = value;
  StructureChanged();
}

void TGLPlane::Assign(const TPersistent* source) {
  if (const auto* other = dynamic_cast<const TGLPlane*>(source)) {
    width_ = other->width_;
    height_ = other->height_;
    xOffset_ = other->xOffset_;
    xScope_ = other->xScope_;
    xTiles_ = other->xTiles_;
    yOffset_ = other->yOffset_;
    yScope_ = other->yScope_;
    yTiles_ = other->yTiles_;
    style_ = other->style_;
    tileMesh_.clear();
    StructureChanged();
  }
  TGL3DSceneObject::Assign(source);
}

TVector4f TGLPlane::AxisAlignedDimensionsUnscaled() { return {std::fabs(width_) / 2, std::fabs(height_) / 2, 0, 0}; }

bool TGLPlane::RayCastIntersect(const TVector4f& rayStart, const TVector4f& rayVector, TVector4f* intersectPoint,
                                TVector4f* intersectNormal) {
  const TVector4f s = AbsoluteToLocal(rayStart);
  const TVector4f v = AbsoluteToLocal(rayVector);
  const bool positiveSide = s.Z >= 0;
  if (positiveSide ? !(v.Z < 0) : !(v.Z > 0)) return false;
  const float t = s.Z / v.Z;
  const float px = s.X - t * v.X, py = s.Y - t * v.Y;
  if (!(width_ / 2 >= std::fabs(px)) || !(height_ / 2 >= std::fabs(py))) return false;
  if (intersectNormal) {
    *intersectNormal = AbsoluteDirection();
    if (!positiveSide) NegateVector4f(*intersectNormal);
  }
  if (intersectPoint) *intersectPoint = LocalToAbsolute({px, py, 0, 1});
  return true;
}

std::unique_ptr<TGLSilhouette> TGLPlane::GenerateSilhouette(const TSilhouetteQuery& params) {
  auto silhouette = std::make_unique<TGLSilhouette>();
  const float hw = width_ / 2, hh = height_ / 2;
  silhouette->Vertices().AddPointXYZ(hw, hh, 0);
  silhouette->Vertices().AddPointXYZ(hw, -hh, 0);
  silhouette->Vertices().AddPointXYZ(-hw, -hh, 0);
  silhouette->Vertices().AddPointXYZ(-hw, hh, 0);
  for (const int32_t edge : {0, 1, 1, 2, 2, 3, 3, 0}) silhouette->Indices().Add(edge);
  if (params.CappingRequired)
    for (const int32_t corner : {0, 1, 2, 2, 3, 0}) silhouette->CapIndices().Add(corner);
  return silhouette;
}

void TGLPlane::BuildTileMesh(float s1s0, float t1t0) {
  const float hw = width_ / 2, hh = height_ / 2;
  tileMesh_.assign(yTiles_ + 1, std::vector<TVertexRec>(xTiles_ + 1));
  for (uint32_t i = 0; i <= yTiles_; ++i)
    for (uint32_t j = 0; j <= xTiles_; ++j) {
      TVertexRec& r = tileMesh_[i][j];
      r = TVertexRec{};
      r.Position = {j * width_ / xTiles_ - hw, i * height_ / yTiles_ - hh, 0};
      r.TexCoord = {j * s1s0 / xTiles_, i * t1t0 / yTiles_};
    }
}

void TGLPlane::BuildList(TRenderContextInfo& rci) {
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  TGLMultitextureCoordinator* coordinator = CurrentMultitextureCoordinator();
  const TVector3f normal{0, 0, 1};
  gl.Normal3fv(&normal.X);
  SendTangentAndBinormal(rci, {1, 0, 0}, {0, 1, 0});
  const bool tiles = style_ & PlaneStyleBit(psTileTexture);
  const float s0 = tiles ? xOffset_ : 0, s1 = tiles ? xTiles_ * xScope_ + xOffset_ : xScope_;
  const float t0 = tiles ? yOffset_ : 0, t1 = tiles ? yTiles_ * yScope_ + yOffset_ : yScope_;
  const float hw = width_ / 2, hh = height_ / 2;
  if (style_ & PlaneStyleBit(psSingleQuad)) {
    gl.Begin(GL_TRIANGLES);
    coordinator->TexCoord2f(s1, t1);
    gl.Vertex2f(hw, hh);
    coordinator->TexCoord2f(s0, t1);
    gl.Vertex2f(-hw, hh);
    coordinator->TexCoord2f(s0, t0);
    gl.Vertex2f(-hw, -hh);
    gl.Vertex2f(-hw, -hh);
    coordinator->TexCoord2f(s1, t0);
    gl.Vertex2f(hw, -hh);
    coordinator->TexCoord2f(s1, t1);
    gl.Vertex2f(hw, hh);
    gl.End();
    return;
  }
  // A plane with no tiles on an axis has nothing to draw (and no tile size to divide by).
  if (xTiles_ == 0 || yTiles_ == 0) return;
  if (tileMesh_.empty()) BuildTileMesh(s1 - s0, t1 - t0);
  gl.Begin(GL_TRIANGLES);
  auto emit = [&](const TVertexRec& r) {
    coordinator->TexCoord2fv(&r.TexCoord.S);
    gl.Vertex3fv(&r.Position.X);
  };
  for (uint32_t i = 0; i < yTiles_; ++i)
    for (uint32_t j = 0; j < xTiles_; ++j) {
      emit(tileMesh_[i][j]);
      emit(tileMesh_[i][j + 1]);
      emit(tileMesh_[i + 1][j]);
      emit(tileMesh_[i + 1][j + 1]);
      emit(tileMesh_[i + 1][j]);
      emit(tileMesh_[i][j + 1]);
    }
  gl.End();
}

}  // namespace gl3d
