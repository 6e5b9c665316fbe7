#pragma once
// What the mesh tests share: the editor's preview mesh built the way its builder does it (one mesh
// object in face-group mode over an n x n sphere grid, texture coordinates (u, v, 0), one
// triangle-mode vertex-index group of two triangles per cell, normals from BuildNormals).
#include <cmath>

#include "scene3d/scene/mesh/MeshObject.h"
#include "scene3d/scene/mesh/MeshUtils.h"

namespace gl3d::test {

// The point of column i and row j: a sphere of radius 0.5 whose rows run from pole to pole.
inline TVector3f SpherePoint(int i, int j, int n) {
  const double u = 2 * M_PI * i / (n - 1), v = M_PI * j / (n - 1);
  return {static_cast<float>(0.5 * std::sin(v) * std::cos(u)), static_cast<float>(0.5 * std::cos(v)),
          static_cast<float>(0.5 * std::sin(v) * std::sin(u))};
}

// Appends the two triangles of every cell of an n x n grid (column-major: v = i * n + j).
inline void AddGridTriangles(TFGVertexIndexList& group, int n) {
  for (int i = 0; i + 1 < n; ++i)
    for (int j = 0; j + 1 < n; ++j) {
      const int k = i * n + j;
      group.Add(k);
      group.Add(k + n);
      group.Add(k + 1);
      group.Add(k + 1);
      group.Add(k + n);
      group.Add(k + n + 1);
    }
}

inline TMeshObject* BuildPreviewMesh(TMeshObjectList& list, int n) {
  list.Clear();
  TMeshObject* mesh = TMeshObject::CreateOwned(&list);
  mesh->SetMode(moFaceGroups);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      mesh->Vertices()->Add(SpherePoint(i, j, n));
      mesh->TexCoords()->Add({static_cast<float>(i) / (n - 1), static_cast<float>(j) / (n - 1), 0});
    }
  auto* group = TFaceGroup::CreateOwned<TFGVertexIndexList>(mesh->FaceGroups());
  group->SetMode(fgTriangles);
  AddGridTriangles(*group, n);
  mesh->SetNormals(*BuildNormals(*mesh->Vertices(), *group->VertexIndices()));
  return mesh;
}

}  // namespace gl3d::test
