#include "scene3d/base/Silhouette.h"

#include <algorithm>

namespace gl3d {

void SilhouetteRingAxes(const TVector3f& seenFrom, TVector3f& right, TVector3f& up) {
  VectorCrossProduct3f(seenFrom, XVector3f, right);
  if (VectorLength3f(right) < 0.001f) VectorCrossProduct3f(seenFrom, YVector3f, right);
  VectorCrossProduct3f(seenFrom, right, up);
  NormalizeVector3f(right);
  NormalizeVector3f(up);
}

namespace {

uint64_t EdgeKey(int a, int b) {
  const uint32_t lo = static_cast<uint32_t>(std::min(a, b)), hi = static_cast<uint32_t>(std::max(a, b));
  return (static_cast<uint64_t>(lo) << 32) | hi;
}

}  // namespace

void TGLSilhouette::Flush() {
  vertices_.Flush();
  indices_.Flush();
  capIndices_.Flush();
}

void TBaseConnectivity::CreateSilhouette(const TSilhouetteQuery&, std::unique_ptr<TGLSilhouette>&, bool) {}

TConnectivity::TConnectivity(bool precomputeFaceNormal)
    : TBaseConnectivity(precomputeFaceNormal),
      ownedVertices_(std::make_unique<TAffineVectorList>()),
      vertices_(ownedVertices_.get()) {}

void TConnectivity::BorrowVertices(TAffineVectorList* vertices) {
  if (vertices) {
    ownedVertices_.reset();
    vertices_ = vertices;
  } else {
    ownedVertices_ = std::make_unique<TAffineVectorList>();
    vertices_ = ownedVertices_.get();
  }
}

void TConnectivity::Clear() {
  edgeVertices_.Clear();
  edgeFaces_.Clear();
  faceVisible_.Clear();
  faceVertexIndex_.Clear();
  faceNormal_.Clear();
  vertexMemory_.Clear();
  if (ownedVertices_) ownedVertices_->Clear();
  edgeIndex_.clear();
}

void TConnectivity::FaceNormalOf(int face, TVector3f& normal) const {
  const int32_t* idx = faceVertexIndex_.List() + static_cast<int64_t>(face) * 3;
  const int n = vertices_->Count();
  for (int k = 0; k < 3; ++k)
    if (idx[k] < 0 || idx[k] >= n) throw EListError("Invalid list index");
  const TVector3f* v = vertices_->List();
  CalcPlaneNormal3f(v[idx[0]], v[idx[1]], v[idx[2]], normal);
}

int TConnectivity::AddIndexedFace(int a, int b, int c) {
  faceVertexIndex_.AddThree(a, b, c);
  const int face = faceVisible_.Count();
  if (precomputeFaceNormal_) {
    TVector3f normal;
    try {
      FaceNormalOf(face, normal);
    } catch (...) {
      faceVertexIndex_.SetCount(faceVertexIndex_.Count() - 3);
      throw;
    }
    faceNormal_.Add(normal);
  }
  faceVisible_.Add(0);
  AddIndexedEdge(a, b, face);
  AddIndexedEdge(b, c, face);
  AddIndexedEdge(c, a, face);
  return face;
}

void TConnectivity::AddIndexedEdge(int a, int b, int face) {
  const auto [it, inserted] = edgeIndex_.try_emplace(EdgeKey(a, b), edgeVertices_.Count() / 2);
  if (!inserted) {
    edgeFaces_[it->second * 2 + 1] = face;
    return;
  }
  edgeVertices_.AddTwo(a, b);
  edgeFaces_.AddTwo(face, -1);
}

int TConnectivity::AddQuad(const TVector3f& p1, const TVector3f& p2, const TVector3f& p3,
                           const TVector3f& p4) {
  const int i1 = vertices_->FindOrAdd(p1);
  const int i2 = vertices_->FindOrAdd(p2);
  const int i3 = vertices_->FindOrAdd(p3);
  const int i4 = vertices_->FindOrAdd(p4);
  const int face = AddIndexedFace(i1, i2, i3);
  AddIndexedFace(i3, i4, i1);
  return face;
}

int TConnectivity::EnterVertex(int vertex, TGLSilhouette& silhouette) {
  if (vertex < 0 || vertex >= vertices_->Count()) throw EListError("Invalid list index");
  if (vertex >= vertexMemory_.Count()) {
    const int old = vertexMemory_.Count();
    vertexMemory_.SetCount(vertex + 1);
    for (int i = old; i <= vertex; ++i) vertexMemory_[i] = -1;
  }
  int32_t& slot = vertexMemory_[vertex];
  if (slot == -1) slot = silhouette.Vertices().AddPoint(vertices_->Get(vertex));
  return slot;
}

void TConnectivity::CreateSilhouette(const TSilhouetteQuery& query,
                                     std::unique_ptr<TGLSilhouette>& silhouette, bool addToSilhouette) {
  if (!silhouette)
    silhouette = std::make_unique<TGLSilhouette>();
  else if (!addToSilhouette)
    silhouette->Flush();
  TGLSilhouette& s = *silhouette;
  vertexMemory_.Flush();

  const int faces = FaceCount();
  for (int f = 0; f < faces; ++f) {
    TVector3f normal;
    if (precomputeFaceNormal_)
      normal = faceNormal_[f];
    else
      FaceNormalOf(f, normal);
    const int32_t* idx = faceVertexIndex_.List() + static_cast<int64_t>(f) * 3;
    if (idx[0] < 0 || idx[0] >= vertices_->Count()) throw EListError("Invalid list index");
    TVector3f toEye;
    VectorSubtract3f(query.SeenFrom, vertices_->Get(idx[0]), toEye);
    const bool visible = VectorDotProduct3f(toEye, normal) >= 0;
    faceVisible_[f] = visible ? 1 : 0;
    if (!visible && query.CappingRequired) {
      const int c3 = EnterVertex(idx[2], s);
      const int c2 = EnterVertex(idx[1], s);
      const int c1 = EnterVertex(idx[0], s);
      s.CapIndices().AddThree(c1, c2, c3);
    }
  }

  const int edges = EdgeCount();
  for (int e = 0; e < edges; ++e) {
    const int f1 = edgeFaces_[e * 2], f2 = edgeFaces_[e * 2 + 1];
    if (f2 != -1 && faceVisible_[f1] == faceVisible_[f2]) continue;
    const int v1 = edgeVertices_[e * 2], v2 = edgeVertices_[e * 2 + 1];
    if (faceVisible_[f1] == 0) {
      const int a = EnterVertex(v1, s);
      const int b = EnterVertex(v2, s);
      s.Indices().AddTwo(a, b);
    } else if (f2 >= 0) {
      const int a = EnterVertex(v1, s);
      const int b = EnterVertex(v2, s);
      s.Indices().AddTwo(b, a);
    }
  }
}

}  // namespace gl3d
