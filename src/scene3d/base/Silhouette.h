#pragma once
// Silhouettes: the outline of an object seen from a point (edges where a face turned towards
// the point meets one turned away) and, on request, the faces turned away as caps, as shadow
// volumes need them. TConnectivity builds them from an indexed triangle set.
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "scene3d/base/VectorLists.h"

namespace gl3d {

enum TSilhouetteStyle : uint8_t { ssOmni, ssParallel };

struct TSilhouetteQuery {
  TVector3f SeenFrom;
  TVector3f LightDirection;
  TSilhouetteStyle Style;
  bool CappingRequired;
};

// Two unit axes across the direction an object is seen from, for outlines drawn as a ring about
// its centre: right is across seenFrom and the X axis (the Y axis when the two are nearly
// parallel), up across seenFrom and right.
void SilhouetteRingAxes(const TVector3f& seenFrom, TVector3f& right, TVector3f& up);

class TGLSilhouette : public TObject {
 public:
  const char* ClassName() const override { return "TGLSilhouette"; }
  // Homogeneous points (w = 1).
  TVectorList& Vertices() { return vertices_; }
  // Two entries per outline edge.
  TIntegerList& Indices() { return indices_; }
  // Three entries per cap triangle.
  TIntegerList& CapIndices() { return capIndices_; }
  // Empties the three lists, keeping their memory.
  void Flush();

 private:
  TVectorList vertices_;
  TIntegerList indices_;
  TIntegerList capIndices_;
};

class TBaseConnectivity : public TObject {
 public:
  explicit TBaseConnectivity(bool precomputeFaceNormal) : precomputeFaceNormal_(precomputeFaceNormal) {}
  const char* ClassName() const override { return "TBaseConnectivity"; }
  virtual int EdgeCount() const { return 0; }
  virtual int FaceCount() const { return 0; }
  // A null silhouette is created and handed back; otherwise it is flushed unless adding.
  virtual void CreateSilhouette(const TSilhouetteQuery& query, std::unique_ptr<TGLSilhouette>& silhouette,
                                bool addToSilhouette);
  bool PrecomputeFaceNormal() const { return precomputeFaceNormal_; }

 protected:
  bool precomputeFaceNormal_;
};

class TConnectivity : public TBaseConnectivity {
 public:
  explicit TConnectivity(bool precomputeFaceNormal);
  const char* ClassName() const override { return "TConnectivity"; }
  int EdgeCount() const override { return edgeVertices_.Count() / 2; }
  int FaceCount() const override { return faceVisible_.Count(); }
  void CreateSilhouette(const TSilhouetteQuery& query, std::unique_ptr<TGLSilhouette>& silhouette,
                        bool addToSilhouette) override;
  // Empties every list and releases its memory; a borrowed vertex list is left as it is.
  virtual void Clear();

  // Records a triangle by vertex indices and its three edges; returns the face index.
  // With precomputed normals the indices must name existing vertices (EListError otherwise).
  int AddIndexedFace(int a, int b, int c);
  // The edge (a, b) or (b, a) gets face as its second face (a third face replaces the second);
  // a new edge is appended with faces (face, -1).
  void AddIndexedEdge(int a, int b, int face);
  // Corners merged by exact equality; faces (p1, p2, p3) and (p3, p4, p1); returns the first.
  int AddQuad(const TVector3f& p1, const TVector3f& p2, const TVector3f& p3, const TVector3f& p4);

  TAffineVectorList& Vertices() { return *vertices_; }
  // Whether the vertex list is the connectivity's own (the default) or borrowed.
  bool OwnsVertices() const { return ownedVertices_ != nullptr; }
  const TIntegerList& EdgeVertices() const { return edgeVertices_; }
  const TIntegerList& EdgeFaces() const { return edgeFaces_; }
  const TByteList& FaceVisible() const { return faceVisible_; }
  const TIntegerList& FaceVertexIndex() const { return faceVertexIndex_; }
  const TAffineVectorList& FaceNormal() const { return faceNormal_; }

 protected:
  // Works on another object's vertex list, which must outlive the use here: the own list is freed,
  // and neither Clear nor the destructor touches the borrowed one. nullptr goes back to an own,
  // empty list.
  void BorrowVertices(TAffineVectorList* vertices);

 private:
  void FaceNormalOf(int face, TVector3f& normal) const;
  int EnterVertex(int vertex, TGLSilhouette& silhouette);

  TByteList faceVisible_;
  TIntegerList faceVertexIndex_;
  TAffineVectorList faceNormal_;
  TIntegerList edgeVertices_;
  TIntegerList edgeFaces_;
  TIntegerList vertexMemory_;
  std::unique_ptr<TAffineVectorList> ownedVertices_;
  TAffineVectorList* vertices_;  // the own list or a borrowed one
  // The edge of each unordered vertex pair, so that recording an edge is not a search.
  std::unordered_map<uint64_t, int> edgeIndex_;
};

}  // namespace gl3d
