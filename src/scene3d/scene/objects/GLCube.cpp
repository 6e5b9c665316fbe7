#include "scene3d/scene/objects/GLCube.h"

#include <GL/gl.h>

#include <cmath>

#include "scene3d/base/Silhouette.h"
#include "scene3d/gl/GLStateCache.h"
#include "scene3d/scene/objects/GLPlane.h"
#include "scene3d/scene/texture/GLMultitextureCoordinator.h"

namespace gl3d {

namespace {

// One face: its part, its normal, tangent and binormal as multiples of s (+1 outside, -1 inside),
// and its six corners, each a sign per axis (c = coefficient of the size, k = 1 or s) with its
// texture coordinate. Corner 4 repeats corner 3.
struct TFaceCorner {
  float x, y, z;   // signs of hx, hy, hz
  bool sx, sy, sz;  // whether the sign is also multiplied by s
  float u, v;
};
struct TFace {
  TCubePart part;
  TVector3f normal, tangent, binormal;  // each component is multiplied by s
  TFaceCorner corners[6];
};

constexpr TFace kFaces[] = {
    {cpFront,
     {0, 0, 1},
     {1, 0, 0},
     {0, 1, 0},
     {{1, 1, 1, 0, 0, 0, 1, 1},
      {-1, 1, 1, 1, 1, 0, 0, 1},
      {-1, -1, 1, 0, 0, 0, 0, 0},
      {-1, -1, 1, 0, 0, 0, 0, 0},
      {1, -1, 1, 1, 1, 0, 1, 0},
      {1, 1, 1, 0, 0, 0, 1, 1}}},
    {cpBack,
     {0, 0, -1},
     {-1, 0, 0},
     {0, 1, 0},
     {{1, 1, -1, 0, 0, 0, 0, 1},
      {1, -1, -1, 1, 1, 0, 0, 0},
      {-1, -1, -1, 0, 0, 0, 1, 0},
      {-1, -1, -1, 0, 0, 0, 1, 0},
      {-1, 1, -1, 1, 1, 0, 1, 1},
      {1, 1, -1, 0, 0, 0, 0, 1}}},
    {cpLeft,
     {-1, 0, 0},
     {0, 0, 1},
     {0, 1, 0},
     {{-1, 1, 1, 0, 0, 0, 1, 1},
      {-1, 1, -1, 0, 1, 1, 0, 1},
      {-1, -1, -1, 0, 0, 0, 0, 0},
      {-1, -1, -1, 0, 0, 0, 0, 0},
      {-1, -1, 1, 0, 1, 1, 1, 0},
      {-1, 1, 1, 0, 0, 0, 1, 1}}},
    {cpRight,
     {1, 0, 0},
     {0, 0, -1},
     {0, 1, 0},
     {{1, 1, 1, 0, 0, 0, 0, 1},
      {1, -1, 1, 0, 1, 1, 0, 0},
      {1, -1, -1, 0, 0, 0, 1, 0},
      {1, -1, -1, 0, 0, 0, 1, 0},
      {1, 1, -1, 0, 1, 1, 1, 1},
      {1, 1, 1, 0, 0, 0, 0, 1}}},
    {cpTop,
     {0, 1, 0},
     {1, 0, 0},
     {0, 0, -1},
     {{-1, 1, -1, 0, 0, 0, 0, 1},
      {-1, 1, 1, 1, 0, 1, 0, 0},
      {1, 1, 1, 0, 0, 0, 1, 0},
      {1, 1, 1, 0, 0, 0, 1, 0},
      {1, 1, -1, 1, 0, 1, 1, 1},
      {-1, 1, -1, 0, 0, 0, 0, 1}}},
    {cpBottom,
     {0, -1, 0},
     {-1, 0, 0},
     {0, 0, 1},
     {{-1, -1, -1, 0, 0, 0, 0, 0},
      {1, -1, -1, 1, 0, 1, 1, 0},
      {1, -1, 1, 0, 0, 0, 1, 1},
      {1, -1, 1, 0, 0, 0, 1, 1},
      {-1, -1, 1, 1, 0, 1, 0, 1},
      {-1, -1, -1, 0, 0, 0, 0, 0}}},
};

TVector3f Scaled(const TVector3f& v, float s) { return {v.X * s, v.Y * s, v.Z * s}; }

}  // namespace

TGLCube::TGLCube(TComponent* owner) : TGL3DSceneObject(owner) {
  SetObjectStyle(ObjectStyle() | ObjectStyleBit(sfDirectDraw));
}

void TGLCube::SetSize(float& field, float value) {
  if (value == field) return;
  field = value;
  StructureChanged();
}

void TGLCube::WriteCubeWidth(float value) { SetSize(cubeWidth_, value); }
void TGLCube::WriteCubeHeight(float value) { SetSize(cubeHeight_, value); }
void TGLCube::WriteCubeDepth(float value) { SetSize(cubeDepth_, value); }

void TGLCube::SetParts(TCubeParts value) {
  if (value == parts_) return;
  parts_ = value;
  StructureChanged();
}

void TGLCube::SetNormalDirection(TNormalDirection value) {
  if (value == normalDirection_) return;
  normalDirection_ = value;
  StructureChanged();
}

void TGLCube::DefineStoredProperties(TFiler& filer) {
  TGL3DSceneObject::DefineStoredProperties(filer);
  filer.DefineBinaryProperty(
      "CubeSize", [this](TStream& stream) { ReadSize(stream); }, [this](TStream& stream) { WriteSize(stream); },
      cubeWidth_ != 1 || cubeHeight_ != 1 || cubeDepth_ != 1);
}

void TGLCube::ReadSize(TStream& stream) {
  float size[3];
  if (stream.Remaining() != static_cast<int64_t>(sizeof(size))) throw EReadError("Invalid property value");
  stream.ReadBuffer(size, sizeof(size));
  cubeWidth_ = size[0];
  cubeHeight_ = size[1];
  cubeDepth_ = size[2];
  StructureChanged();
}

void TGLCube::WriteSize(TStream& stream) const {
  const float size[3] = {cubeWidth_, cubeHeight_, cubeDepth_};
  stream.WriteBuffer(size, sizeof(size));
}

void TGLCube::Assign(const TPersistent* source) {
  if (const auto* other = dynamic_cast<const TGLCube*>(source)) {
    cubeWidth_ = other->cubeWidth_;
    cubeHeight_ = other->cubeHeight_;
    cubeDepth_ = other->cubeDepth_;
    parts_ = other->parts_;
    normalDirection_ = other->normalDirection_;
  }
  TGL3DSceneObject::Assign(source);
}

TVector4f TGLCube::AxisAlignedDimensionsUnscaled() { return {cubeWidth_ / 2, cubeHeight_ / 2, cubeDepth_ / 2, 0}; }

bool TGLCube::RayCastIntersect(const TVector4f& rayStart, const TVector4f& rayVector, TVector4f* intersectPoint,
                               TVector4f* intersectNormal) {
  const TVector4f s4 = AbsoluteToLocal(rayStart);
  TVector4f v4 = AbsoluteToLocal(rayVector);
  NormalizeVector4f(v4);
  const TVector3f s{s4.X, s4.Y, s4.Z}, v{v4.X, v4.Y, v4.Z};
  const float size[3] = {cubeWidth_, cubeHeight_, cubeDepth_};
  const TVector3f e{size[0] * 0.5001f, size[1] * 0.5001f, size[2] * 0.5001f};
  static constexpr TVector3f kNormals[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {-1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
  for (int i = 0; i < 6; ++i) {
    const TVector3f& n = kNormals[i];
    const float nv = VectorDotProduct3f(n, v);
    if (!(nv > 0)) continue;
    const float t = -(VectorDotProduct3f(n, s) + size[i % 3] * 0.5f) / nv;
    const TVector3f p{s.X + t * v.X, s.Y + t * v.Y, s.Z + t * v.Z};
    if (std::fabs(p.X) > e.X || std::fabs(p.Y) > e.Y || std::fabs(p.Z) > e.Z) continue;
    const TVector3f ahead{p.X - s.X, p.Y - s.Y, p.Z - s.Z};
    if (!(VectorDotProduct3f(ahead, v) > 0)) continue;
    if (intersectPoint) *intersectPoint = LocalToAbsolute({p.X, p.Y, p.Z, 1});
    if (intersectNormal) *intersectNormal = LocalToAbsolute({-n.X, -n.Y, -n.Z, 0});
    return true;
  }
  return false;
}

std::unique_ptr<TGLSilhouette> TGLCube::GenerateSilhouette(const TSilhouetteQuery& params) {
  const float hx = cubeWidth_ / 2, hy = cubeHeight_ / 2, hz = cubeDepth_ / 2;
  TConnectivity connectivity(true);
  struct TQuad {
    TCubePart part;
    TVector3f a, b, c, d;
  };
  const TQuad quads[] = {
      {cpFront, {hx, hy, hz}, {-hx, hy, hz}, {-hx, -hy, hz}, {hx, -hy, hz}},
      {cpBack, {hx, hy, -hz}, {hx, -hy, -hz}, {-hx, -hy, -hz}, {-hx, hy, -hz}},
      {cpLeft, {-hx, hy, hz}, {-hx, hy, -hz}, {-hx, -hy, -hz}, {-hx, -hy, hz}},
      {cpRight, {hx, hy, hz}, {hx, -hy, hz}, {hx, -hy, -hz}, {hx, hy, -hz}},
      {cpTop, {-hx, hy, -hz}, {-hx, hy, hz}, {hx, hy, hz}, {hx, hy, -hz}},
      {cpBottom, {-hx, -hy, -hz}, {hx, -hy, -hz}, {hx, -hy, hz}, {-hx, -hy, hz}},
  };
  for (const TQuad& q : quads)
    if (parts_ & CubePartBit(q.part)) connectivity.AddQuad(q.a, q.b, q.c, q.d);
  std::unique_ptr<TGLSilhouette> silhouette;
  connectivity.CreateSilhouette(params, silhouette, false);
  return silhouette;
}

void TGLCube::BuildList(TRenderContextInfo& rci) {
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  TGLMultitextureCoordinator* coordinator = CurrentMultitextureCoordinator();
  const float h[3] = {cubeWidth_ / 2, cubeHeight_ / 2, cubeDepth_ / 2};
  const float s = normalDirection_ == ndOutside ? 1.0f : -1.0f;
  const GLuint program = rci.StateCache->CurrentProgram();
  GLint tangentAttrib = -1, binormalAttrib = -1;
  if (gl.ARB_shader_objects && program != 0) {
    tangentAttrib = gl.GetAttribLocation(program, "Tangent");
    binormalAttrib = gl.GetAttribLocation(program, "Binormal");
  }
  gl.Begin(GL_TRIANGLES);
  for (const TFace& face : kFaces) {
    if (!(parts_ & CubePartBit(face.part))) continue;
    const TVector3f n = Scaled(face.normal, s), t = Scaled(face.tangent, s), b = Scaled(face.binormal, s);
    gl.Normal3f(n.X, n.Y, n.Z);
    if (tangentAttrib >= 0) gl.VertexAttrib3f(static_cast<GLuint>(tangentAttrib), t.X, t.Y, t.Z);
    if (binormalAttrib >= 0) gl.VertexAttrib3f(static_cast<GLuint>(binormalAttrib), b.X, b.Y, b.Z);
    for (int k = 0; k < 6; ++k) {
      const TFaceCorner& c = face.corners[k];
      if (k != 3) coordinator->TexCoord2f(c.u, c.v);
      gl.Vertex3f(c.x * h[0] * (c.sx ? s : 1), c.y * h[1] * (c.sy ? s : 1), c.z * h[2] * (c.sz ? s : 1));
    }
  }
  gl.End();
}

}  // namespace gl3d
