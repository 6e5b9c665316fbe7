#include "scene3d/scene/animation/GLBaseMeshConnectivity.h"

#include "common/Exception.h"
#include "scene3d/scene/animation/GLActor.h"

namespace gl3d {

// ---- TFaceGroupConnectivity ----

TFaceGroupConnectivity::TFaceGroupConnectivity(bool precomputeFaceNormal)
    : TConnectivity(precomputeFaceNormal) {}

TFaceGroupConnectivity::TFaceGroupConnectivity(TMeshObject* meshObject, bool precomputeFaceNormal)
    : TConnectivity(precomputeFaceNormal) {
  SetMeshObject(meshObject);
}

void TFaceGroupConnectivity::SetMeshObject(TMeshObject* meshObject) {
  Clear();
  meshObject_ = meshObject;
  BorrowVertices(meshObject ? meshObject->Vertices() : nullptr);
  RebuildEdgeList();
}

void TFaceGroupConnectivity::RebuildEdgeList() {
  Clear();
  if (!meshObject_) return;
  const TFaceGroups& groups = *meshObject_->FaceGroups();
  for (int g = 0; g < groups.Count(); ++g) {
    auto* list = dynamic_cast<const TFGVertexIndexList*>(groups.GetFaceGroup(g));
    if (!list)
      throw common::EAssertionFailed("Method only works for descendants of TFGVertexIndexList.",
                                     "GLBaseMeshSilhouette", __LINE__);
    const int32_t* I = list->VertexIndices()->List();
    const int count = list->VertexIndices()->Count();
    switch (list->Mode()) {
      case fgTriangleStrip:
        for (int k = 0; k + 2 < count; ++k) {
          if (k % 2 == 0)
            AddIndexedFace(I[k], I[k + 1], I[k + 2]);
          else
            AddIndexedFace(I[k + 2], I[k + 1], I[k]);
        }
        break;
      case fgTriangleFan:
        for (int k = 2; k < count; ++k) AddIndexedFace(I[0], I[k - 1], I[k]);
        break;
      case fgTriangles:
      case fgTriangles2:
        for (int t = 0; t < list->TriangleCount(); ++t) AddIndexedFace(I[3 * t], I[3 * t + 1], I[3 * t + 2]);
        break;
      default:
        throw common::EAssertionFailed("Not supported", "GLBaseMeshSilhouette", __LINE__);
    }
  }
}

// ---- TGLBaseMeshConnectivity ----

TGLBaseMeshConnectivity::TGLBaseMeshConnectivity(bool precomputeFaceNormal)
    : TBaseConnectivity(precomputeFaceNormal) {}

TGLBaseMeshConnectivity::TGLBaseMeshConnectivity(TGLBaseMesh* mesh)
    : TBaseConnectivity(!dynamic_cast<TGLActor*>(mesh)) {
  SetGLBaseMesh(mesh);
}

TGLBaseMeshConnectivity::~TGLBaseMeshConnectivity() = default;

void TGLBaseMeshConnectivity::SetGLBaseMesh(TGLBaseMesh* mesh) {
  faceGroups_.clear();
  mesh_ = mesh;
  if (!mesh) return;
  precomputeFaceNormal_ = !dynamic_cast<TGLActor*>(mesh);
  TMeshObjectList& objects = *mesh->MeshObjects();
  for (int i = 0; i < objects.Count(); ++i) {
    TMeshObject* object = objects.GetMeshObject(i);
    if (object->Visible())
      faceGroups_.push_back(std::make_unique<TFaceGroupConnectivity>(object, precomputeFaceNormal_));
  }
}

void TGLBaseMeshConnectivity::ClearConnectivities(bool keepObjects) {
  if (keepObjects) {
    for (auto& c : faceGroups_) c->Clear();
  } else {
    faceGroups_.clear();
  }
}

int TGLBaseMeshConnectivity::EdgeCount() const {
  int n = 0;
  for (const auto& c : faceGroups_) n += c->EdgeCount();
  return n;
}

int TGLBaseMeshConnectivity::FaceCount() const {
  int n = 0;
  for (const auto& c : faceGroups_) n += c->FaceCount();
  return n;
}

void TGLBaseMeshConnectivity::CreateSilhouette(const TSilhouetteQuery& query,
                                               std::unique_ptr<TGLSilhouette>& silhouette, bool) {
  if (silhouette)
    silhouette->Flush();
  else
    silhouette = std::make_unique<TGLSilhouette>();
  for (auto& c : faceGroups_) c->CreateSilhouette(query, silhouette, true);
}

}  // namespace gl3d
