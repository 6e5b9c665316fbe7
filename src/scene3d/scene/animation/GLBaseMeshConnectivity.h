#pragma once
// Silhouettes of meshes: a connectivity (scene3d/base/Silhouette.h) per visible mesh object of a
// base mesh, built from its face groups over the mesh object's own vertex list, and their
// silhouettes collected into one. TGLBaseMesh::GenerateSilhouette builds one of these for every
// request.
#include <memory>
#include <vector>

#include "scene3d/base/Silhouette.h"

namespace gl3d {

class TGLBaseMesh;
class TMeshObject;

// The connectivity of one mesh object's face groups; its vertex indices are the mesh object's.
class TFaceGroupConnectivity : public TConnectivity {
 public:
  explicit TFaceGroupConnectivity(bool precomputeFaceNormal);
  // CreateFromMesh: the connectivity of the mesh object.
  TFaceGroupConnectivity(TMeshObject* meshObject, bool precomputeFaceNormal);
  const char* ClassName() const override { return "TFaceGroupConnectivity"; }

  TMeshObject* MeshObject() const { return meshObject_; }
  // Clears, works on the mesh object's Vertices (borrowed, never cleared or freed here) and
  // rebuilds the faces and edges.
  void SetMeshObject(TMeshObject* meshObject);
  // Every face group's triangles (strips, fans and triangle lists), by the mesh object's vertex
  // indices. A face group that is not a vertex-index list fails the assertion "Method only works
  // for descendants of TFGVertexIndexList."; quads fail "Not supported".
  void RebuildEdgeList();

 private:
  TMeshObject* meshObject_ = nullptr;
};

class TGLBaseMeshConnectivity : public TBaseConnectivity {
 public:
  explicit TGLBaseMeshConnectivity(bool precomputeFaceNormal);
  // CreateFromMesh: face normals precomputed unless the mesh is an actor (whose vertices move).
  explicit TGLBaseMeshConnectivity(TGLBaseMesh* mesh);
  ~TGLBaseMeshConnectivity() override;
  const char* ClassName() const override { return "TGLBaseMeshConnectivity"; }

  TGLBaseMesh* GLBaseMesh() const { return mesh_; }
  // One face-group connectivity per visible mesh object, in list order (the old ones freed).
  void SetGLBaseMesh(TGLBaseMesh* mesh);
  int FaceGroupConnectivityCount() const { return static_cast<int>(faceGroups_.size()); }
  TFaceGroupConnectivity* GetFaceGroupConnectivity(int index) const {
    return faceGroups_.at(static_cast<size_t>(index)).get();
  }
  // With keepObjects each connectivity clears itself; otherwise all are freed.
  void ClearConnectivities(bool keepObjects);

  int EdgeCount() const override;
  int FaceCount() const override;
  // A silhouette passed in is emptied (whatever addToSilhouette says), a missing one created;
  // then every face-group connectivity adds its silhouette.
  void CreateSilhouette(const TSilhouetteQuery& query, std::unique_ptr<TGLSilhouette>& silhouette,
                        bool addToSilhouette) override;

 private:
  TGLBaseMesh* mesh_ = nullptr;
  std::vector<std::unique_ptr<TFaceGroupConnectivity>> faceGroups_;
};

}  // namespace gl3d
