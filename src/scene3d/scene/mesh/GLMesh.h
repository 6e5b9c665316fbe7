#pragma once
// The simple mesh object: one interleaved vertex list (VertexList.h) drawn with one primitive.
// Registered for stored descriptions; the editor makes none.
#include <cstdint>
#include <memory>

#include "scene3d/scene/material/GLCustomSceneObject.h"
#include "scene3d/scene/mesh/VertexList.h"

namespace gl3d {

// GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN, GL_TRIANGLES, GL_QUAD_STRIP, GL_QUADS, GL_POLYGON.
enum TMeshMode : uint8_t { mmTriangleStrip, mmTriangleFan, mmTriangles, mmQuadStrip, mmQuads, mmPolygon };
// Which parts of the records reach OpenGL.
enum TVertexMode : uint8_t { vmV, vmVN, vmVNC, vmVNCT, vmVNT, vmVT };

class TGLMesh : public TGL3DSceneObject {
 public:
  // Three records (1, 0, 0), (0, 1, 0), (0, 0, 1) with normal (0, 0, 1), colour (0, 0, 0, 0) and
  // texture point (0, 0); a change of the list is a structure change.
  explicit TGLMesh(TComponent* owner);
  const char* ClassName() const override { return "TGLMesh"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGLMesh>; }

  TVertexList* Vertices() const { return vertices_.get(); }
  TMeshMode Mode() const { return mode_; }
  void SetMode(TMeshMode value);
  TVertexMode VertexMode() const { return vertexMode_; }
  void SetVertexMode(TVertexMode value);

  // From a mesh: the vertex list and both modes (not the scene-object properties).
  void Assign(const TPersistent* source) override;
  // Per axis the larger of |max| and |min| of the positions: measured from the local origin.
  TVector4f AxisAlignedDimensionsUnscaled() override;
  void StructureChanged() override;
  void BuildList(TRenderContextInfo& rci) override;

 private:
  std::unique_ptr<TVertexList> vertices_;
  TMeshMode mode_ = mmTriangleStrip;
  TVertexMode vertexMode_ = vmVNCT;
  TVector4f dimensionsCache_{-1, 0, 0, 0};
};

}  // namespace gl3d
