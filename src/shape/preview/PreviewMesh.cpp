#include "shape/preview/PreviewMesh.h"

#include <algorithm>
#include <memory>

#include "scene3d/scene/mesh/GLBaseMesh.h"
#include "scene3d/scene/mesh/MeshObject.h"
#include "scene3d/scene/mesh/MeshUtils.h"
#include "settings/AppSettings.h"

namespace shape {

namespace {

// Vertices and texture coordinates, row by row from the top of the grid.
void AddPreviewVertices(const TCS& cs, int32_t step, int32_t w, int32_t h, int32_t columns, int32_t rows,
                        gl3d::TMeshObject& mesh) {
  const TPreviewQuantizer quantizer(cs);
  gl3d::TAffineVectorList& vertices = *mesh.Vertices();
  gl3d::TAffineVectorList& texCoords = *mesh.TexCoords();
  vertices.EnsureCapacity(w * h);
  texCoords.EnsureCapacity(w * h);
  const double lastColumn = columns - 1, lastRow = rows - 1;
  for (int32_t r = 0; r < h; ++r) {
    const int32_t j = step * (h - 1 - r);
    const float t = lastRow > 0 ? static_cast<float>(j / lastRow) : 0.0f;
    for (int32_t c = 0; c < w; ++c) {
      const int32_t i = step * c;
      vertices.Add(quantizer.Position(i, j));
      texCoords.Add({lastColumn > 0 ? static_cast<float>(i / lastColumn) : 0.0f, t, 0});
    }
  }
}

// Two triangles per quad of the W x H vertices.
void AddPreviewTriangles(int32_t w, int32_t h, gl3d::TFGVertexIndexList& group) {
  group.VertexIndices()->EnsureCapacity(6 * (w - 1) * (h - 1));
  for (int32_t r = 0; r + 1 < h; ++r)
    for (int32_t c = 0; c + 1 < w; ++c) {
      const int32_t k = c + w * r;
      group.Add(k);
      group.Add(k + w);
      group.Add(k + 1);
      group.Add(k + 1);
      group.Add(k + w);
      group.Add(k + w + 1);
    }
}

}  // namespace

void BuildPreviewMesh(const TCS& cs, gl3d::TGLFreeForm& freeForm) {
  const int32_t step = std::max(settings::AppSettings.ViewLevel, 1);
  const int32_t columns = std::clamp(cs.CPMaxI, 1, kGridMax);
  const int32_t rows = std::clamp(cs.CPMaxJ, 1, kGridMax);
  const int32_t w = (columns - 1) / step + 1;
  const int32_t h = (rows - 1) / step + 1;

  gl3d::TMeshObjectList& list = *freeForm.MeshObjects();
  list.Clear();
  gl3d::TMeshObject& mesh = *gl3d::TMeshObject::CreateOwned(&list);
  mesh.SetMode(gl3d::moFaceGroups);
  AddPreviewVertices(cs, step, w, h, columns, rows, mesh);
  auto& group = *gl3d::TFaceGroup::CreateOwned<gl3d::TFGVertexIndexList>(mesh.FaceGroups());
  group.SetMode(gl3d::fgTriangles);
  AddPreviewTriangles(w, h, group);
  const std::unique_ptr<gl3d::TAffineVectorList> normals =
      gl3d::BuildNormals(*mesh.Vertices(), *group.VertexIndices());
  mesh.SetNormals(*normals);
  freeForm.StructureChanged();
}

}  // namespace shape
