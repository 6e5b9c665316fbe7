#pragma once
// Skinned mesh objects: every vertex follows one or more bones of the base mesh's skeleton
// (Skeleton.h) with weights. The mesh keeps, per bone slot, a copy of its vertices and normals
// taken into the space of the slot's bone (the bone-space meshes), from which each pose is built.
#include <cstdint>
#include <memory>
#include <vector>

#include "scene3d/scene/animation/MorphableMeshObject.h"

namespace gl3d {

class TSkeleton;

// One bone of a vertex: 8 bytes as archives store them.
struct TVertexBoneWeight {
  int32_t BoneID;
  float Weight;
};
static_assert(sizeof(TVertexBoneWeight) == 8);

class TSkeletonMeshObject : public TMorphableMeshObject {
 public:
  TSkeletonMeshObject();
  // CreateOwned: appended to owner when given.
  explicit TSkeletonMeshObject(TMeshObjectList* owner);
  ~TSkeletonMeshObject() override;
  const char* ClassName() const override { return "TSkeletonMeshObject"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;

  // The vertices that have weights; raising it above the capacity raises the capacity.
  int VerticeBoneWeightCount() const { return weightCount_; }
  void SetVerticeBoneWeightCount(int count);
  int VerticeBoneWeightCapacity() const { return capacity_; }
  // Not below the weight count.
  void SetVerticeBoneWeightCapacity(int capacity);
  // At least 1 (1 after construction).
  int BonesPerVertex() const { return bonesPerVertex_; }
  void SetBonesPerVertex(int count);
  // The weight of one slot of one vertex (EListError outside the weights).
  TVertexBoneWeight& VerticesBonesWeights(int vertex, int slot);
  const TVertexBoneWeight& VerticesBonesWeights(int vertex, int slot) const;

  // Reshapes the weights for the capacity and bones per vertex (zero-filled), keeping the entries
  // that fit both the old and the new shape.
  void ResizeBoneWeights();
  // Per bone slot, the vertices and normals taken into the space of the slot's bone (its global
  // matrix inverted). A slot of weight 0 of a vertex with several bones keeps the vertex as it is;
  // any other bone must be in the skeleton (EListError otherwise). The copies hold the vertices
  // that have weights (the first VerticeBoneWeightCount ones). Without a skeleton (no owner
  // mesh), with one that has no bones yet, or without weights, the meshes are freed.
  void PrepareBoneSpaceMeshes();
  // The pose of the skeleton's global matrices: each vertex and normal is its bone-space copy
  // transformed by its bone's global matrix, or, with several bones, the weighted sum over the
  // slots of weight other than 0. With normalize the normals are normalised afterwards. Nothing
  // before PrepareBoneSpaceMeshes.
  void ApplySkeletonFrame(bool normalize);
  // The morphable clear, no weights, no bone-space meshes.
  void Clear() override;
  int BoneSpaceMeshCount() const { return static_cast<int>(boneSpaceMeshes_.size()); }
  const TBaseMeshObject* BoneSpaceMesh(int slot) const {
    return boneSpaceMeshes_.at(static_cast<size_t>(slot)).get();
  }

  // The morphable archive, version 0, weight count, bones per vertex, capacity, then the weights
  // of every vertex (8 bytes per slot). A weight count above the capacity, fewer than one bone per
  // vertex, weights beyond the data and negative bone IDs fail the read.
  void WriteToFiler(TVirtualWriter& writer) const override;
  void ReadFromFiler(TVirtualReader& reader) override;

 private:
  // The skeleton of the base mesh that owns the mesh-object list, or nullptr.
  TSkeleton* OwnerSkeleton() const;
  const TMatrix4f& BoneMatrix(TSkeleton& skeleton, int32_t boneID) const;

  // weightCount_ rows of bonesPerVertex_ entries; the capacity is the number the object reports
  // and stores, so that an archive's capacity costs no memory beyond its weights.
  std::vector<TVertexBoneWeight> weights_;
  int weightCount_ = 0;
  int bonesPerVertex_ = 1;
  int capacity_ = 0;
  std::vector<std::unique_ptr<TBaseMeshObject>> boneSpaceMeshes_;
};

}  // namespace gl3d
