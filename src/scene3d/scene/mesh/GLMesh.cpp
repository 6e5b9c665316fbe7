#include "scene3d/scene/mesh/GLMesh.h"

#include <GL/gl.h>

#include <cmath>
#include <cstddef>

#include "common/Exception.h"
#include "scene3d/gl/GLContext.h"
#include "scene3d/scene/mesh/MeshUtils.h"

namespace gl3d {

TGLMesh::TGLMesh(TComponent* owner) : TGL3DSceneObject(owner), vertices_(std::make_unique<TVertexList>(this)) {
  for (const TVector3f& p : {TVector3f{1, 0, 0}, TVector3f{0, 1, 0}, TVector3f{0, 0, 1}})
    vertices_->AddVertex(p, {0, 0, 1}, {0, 0, 0, 0}, {0, 0});
  vertices_->OnNotifyChange = [this](TObject*) { StructureChanged(); };
}

void TGLMesh::SetMode(TMeshMode value) {
  if (value == mode_) return;
  mode_ = value;
  StructureChanged();
}

void TGLMesh::SetVertexMode(TVertexMode value) {
  if (value == vertexMode_) return;
  vertexMode_ = value;
  StructureChanged();
}

void TGLMesh::Assign(const TPersistent* source) {
  if (const auto* other = dynamic_cast<const TGLMesh*>(source)) {
    vertices_->Assign(other->vertices_.get());
    mode_ = other->mode_;
    vertexMode_ = other->vertexMode_;
    StructureChanged();
    return;
  }
  TGL3DSceneObject::Assign(source);
}

TVector4f TGLMesh::AxisAlignedDimensionsUnscaled() {
  if (dimensionsCache_.X < 0) {
    TVector3f min, max;
    vertices_->GetExtents(min, max);
    for (int c = 0; c < 3; ++c) dimensionsCache_[c] = std::max(std::fabs(max[c]), std::fabs(min[c]));
    dimensionsCache_.W = 0;
  }
  return dimensionsCache_;
}

void TGLMesh::StructureChanged() {
  dimensionsCache_.X = -1;
  TGL3DSceneObject::StructureChanged();
}

void TGLMesh::BuildList(TRenderContextInfo& rci) {
  TGL3DSceneObject::BuildList(rci);
  const bool direct = HasStyle(sfDirectDraw);
  if (direct) vertices_->Lock();
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  const auto* first = reinterpret_cast<const uint8_t*>(vertices_->List());
  auto at = [first](size_t offset) -> const void* { return first ? first + offset : nullptr; };
  switch (vertexMode_) {
    case vmV:
      gl.InterleavedArrays(GL_V3F, sizeof(TVertexData), at(offsetof(TVertexData, Coord)));
      break;
    case vmVN:
      gl.InterleavedArrays(GL_N3F_V3F, sizeof(TVertexData), at(offsetof(TVertexData, Normal)));
      break;
    case vmVNC:
      gl.InterleavedArrays(GL_C4F_N3F_V3F, sizeof(TVertexData), at(offsetof(TVertexData, Color)));
      break;
    case vmVNCT:
    case vmVNT:
      gl.InterleavedArrays(GL_T2F_C4F_N3F_V3F, 0, at(0));
      break;
    case vmVT:
      // The records are 48 bytes with the texture point first and the position last; the packed
      // GL_T2F_V3F layout does not fit them, so both arrays get the record stride.
      gl.DisableClientState(GL_NORMAL_ARRAY);
      gl.DisableClientState(GL_COLOR_ARRAY);
      gl.EnableClientState(GL_TEXTURE_COORD_ARRAY);
      gl.TexCoordPointer(2, GL_FLOAT, sizeof(TVertexData), at(offsetof(TVertexData, TextCoord)));
      gl.EnableClientState(GL_VERTEX_ARRAY);
      gl.VertexPointer(3, GL_FLOAT, sizeof(TVertexData), at(offsetof(TVertexData, Coord)));
      break;
    default:
      ZASSERT(false, "Interleaved Array format not supported yet. Sorry.");
  }
  if (vertexMode_ == vmVNC || vertexMode_ == vmVNCT) ResetColorMaterial(rci);
  static constexpr GLenum kPrimitives[] = {GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN, GL_TRIANGLES,
                                           GL_QUAD_STRIP,     GL_QUADS,        GL_POLYGON};
  ZASSERT(mode_ <= mmPolygon, "Assertion failed");
  gl.DrawArrays(kPrimitives[mode_], 0, vertices_->Count());
  if (direct) vertices_->UnLock();
}

}  // namespace gl3d
