#include "scene3d/scene/animation/SkeletonMeshObject.h"

#include <algorithm>

#include "scene3d/scene/animation/Skeleton.h"
#include "scene3d/scene/mesh/GLBaseMesh.h"

namespace gl3d {

TSkeletonMeshObject::TSkeletonMeshObject() = default;

TSkeletonMeshObject::TSkeletonMeshObject(TMeshObjectList* owner) : TMorphableMeshObject(owner) {}

TSkeletonMeshObject::~TSkeletonMeshObject() = default;

std::unique_ptr<TPersistentObject> TSkeletonMeshObject::NewInstance() const {
  return std::make_unique<TSkeletonMeshObject>();
}

void TSkeletonMeshObject::SetVerticeBoneWeightCount(int count) {
  count = std::max(count, 0);
  if (count == weightCount_) return;
  weightCount_ = count;
  capacity_ = std::max(capacity_, count);
  weights_.resize(static_cast<size_t>(count) * bonesPerVertex_, TVertexBoneWeight{0, 0});
}

void TSkeletonMeshObject::SetVerticeBoneWeightCapacity(int capacity) {
  capacity_ = std::max(capacity, weightCount_);
  ResizeBoneWeights();
}

void TSkeletonMeshObject::SetBonesPerVertex(int count) {
  count = std::max(count, 1);
  if (count == bonesPerVertex_) return;
  const int old = bonesPerVertex_;
  bonesPerVertex_ = count;
  std::vector<TVertexBoneWeight> reshaped(static_cast<size_t>(weightCount_) * count, TVertexBoneWeight{0, 0});
  const int kept = std::min(old, count);
  for (int v = 0; v < weightCount_; ++v)
    for (int k = 0; k < kept; ++k)
      reshaped[static_cast<size_t>(v) * count + k] = weights_[static_cast<size_t>(v) * old + k];
  weights_ = std::move(reshaped);
}

TVertexBoneWeight& TSkeletonMeshObject::VerticesBonesWeights(int vertex, int slot) {
  if (vertex < 0 || vertex >= weightCount_ || slot < 0 || slot >= bonesPerVertex_)
    throw EListError("Invalid list index");
  return weights_[static_cast<size_t>(vertex) * bonesPerVertex_ + slot];
}

const TVertexBoneWeight& TSkeletonMeshObject::VerticesBonesWeights(int vertex, int slot) const {
  return const_cast<TSkeletonMeshObject*>(this)->VerticesBonesWeights(vertex, slot);
}

void TSkeletonMeshObject::ResizeBoneWeights() {
  if (static_cast<int64_t>(capacity_) * bonesPerVertex_ == 0) {
    weights_.clear();
    weights_.shrink_to_fit();
    weightCount_ = 0;
    return;
  }
  weights_.resize(static_cast<size_t>(weightCount_) * bonesPerVertex_, TVertexBoneWeight{0, 0});
}

TSkeleton* TSkeletonMeshObject::OwnerSkeleton() const {
  TMeshObjectList* list = Owner();
  TGLBaseMesh* mesh = list ? list->Owner() : nullptr;
  return mesh ? mesh->Skeleton() : nullptr;
}

const TMatrix4f& TSkeletonMeshObject::BoneMatrix(TSkeleton& skeleton, int32_t boneID) const {
  TSkeletonBone* bone = skeleton.BoneByID(boneID);
  if (!bone) throw EListError("Invalid list index");
  return bone->GlobalMatrix();
}

void TSkeletonMeshObject::PrepareBoneSpaceMeshes() {
  boneSpaceMeshes_.clear();
  TSkeleton* skeleton = OwnerSkeleton();
  if (!skeleton || skeleton->RootBones()->Count() == 0) return;
  const int n = std::min(weightCount_, vertices_.Count());
  const int normals = std::min(n, normals_.Count());
  // Only the vertices that have weights follow a bone, and only they are copied: with no weight
  // there is nothing to pose, and a bones-per-vertex count that no weight data backs (an archive
  // may give 0 weights and any count) costs nothing.
  if (n == 0) return;
  std::vector<std::unique_ptr<TBaseMeshObject>> meshes;
  for (int k = 0; k < bonesPerVertex_; ++k) {
    // A morph target is the plain vertex-and-normal mesh object.
    auto mesh = std::make_unique<TMeshMorphTarget>();
    mesh->Vertices()->SetCount(n);
    std::copy_n(vertices_.List(), n, mesh->Vertices()->List());
    mesh->Normals()->SetCount(normals);
    if (normals > 0) std::copy_n(normals_.List(), normals, mesh->Normals()->List());
    TVector3f* v = mesh->Vertices()->List();
    TVector3f* nrm = mesh->Normals()->List();
    for (int i = 0; i < n; ++i) {
      const TVertexBoneWeight& w = weights_[static_cast<size_t>(i) * bonesPerVertex_ + k];
      if (bonesPerVertex_ > 1 && w.Weight == 0) continue;
      TMatrix4f inverse = BoneMatrix(*skeleton, w.BoneID);
      InvertMatrix(inverse);
      VectorTransform3f(v[i], inverse, v[i]);
      if (i < normals) {
        TMatrix4f rotation = BoneMatrix(*skeleton, w.BoneID);
        rotation[3] = {0, 0, 0, 1};
        InvertMatrix(rotation);
        TVector4f out;
        VectorTransform4f({nrm[i].X, nrm[i].Y, nrm[i].Z, 0}, rotation, out);
        nrm[i] = {out.X, out.Y, out.Z};
      }
    }
    meshes.push_back(std::move(mesh));
  }
  boneSpaceMeshes_ = std::move(meshes);
}

void TSkeletonMeshObject::ApplySkeletonFrame(bool normalize) {
  TSkeleton* skeleton = OwnerSkeleton();
  if (!skeleton || boneSpaceMeshes_.size() != static_cast<size_t>(bonesPerVertex_)) return;
  int n = std::min(weightCount_, vertices_.Count());
  for (const auto& mesh : boneSpaceMeshes_) n = std::min(n, mesh->Vertices()->Count());
  int normals = std::min(n, normals_.Count());
  for (const auto& mesh : boneSpaceMeshes_) normals = std::min(normals, mesh->Normals()->Count());
  TVector3f* v = vertices_.List();
  TVector3f* nrm = normals_.List();

  // Neighbouring vertices mostly share their bone: its matrix is looked up once per run.
  int32_t lastID = -1;
  const TMatrix4f* matrix = nullptr;
  auto matrixOf = [&](int32_t id) -> const TMatrix4f& {
    if (!matrix || id != lastID) {
      matrix = &BoneMatrix(*skeleton, id);
      lastID = id;
    }
    return *matrix;
  };

  if (bonesPerVertex_ == 1) {
    const TVector3f* sv = boneSpaceMeshes_[0]->Vertices()->List();
    const TVector3f* sn = boneSpaceMeshes_[0]->Normals()->List();
    for (int i = 0; i < n; ++i) {
      const TMatrix4f& m = matrixOf(weights_[static_cast<size_t>(i)].BoneID);
      VectorTransform3f(sv[i], m, v[i]);
      if (i < normals) {
        TVector4f out;
        VectorTransform4f({sn[i].X, sn[i].Y, sn[i].Z, 0}, m, out);
        nrm[i] = {out.X, out.Y, out.Z};
      }
    }
  } else {
    for (int i = 0; i < n; ++i) {
      TVector3f vs{0, 0, 0}, ns{0, 0, 0};
      for (int k = 0; k < bonesPerVertex_; ++k) {
        const TVertexBoneWeight& w = weights_[static_cast<size_t>(i) * bonesPerVertex_ + k];
        if (w.Weight == 0) continue;
        const TMatrix4f& m = matrixOf(w.BoneID);
        const TBaseMeshObject& space = *boneSpaceMeshes_[static_cast<size_t>(k)];
        TVector3f p;
        VectorTransform3f(space.Vertices()->Get(i), m, p);
        AddScaledVector3f(vs, p, w.Weight);
        if (i < normals) {
          const TVector3f& sn = space.Normals()->Get(i);
          TVector4f out;
          VectorTransform4f({sn.X, sn.Y, sn.Z, 0}, m, out);
          AddScaledVector3f(ns, {out.X, out.Y, out.Z}, w.Weight);
        }
      }
      v[i] = vs;
      if (i < normals) nrm[i] = ns;
    }
  }
  if (normalize) normals_.Normalize();
  // The lists were written in place: their revisions move so that cached extents are recomputed.
  vertices_.SetRevision(vertices_.Revision() + 1);
  normals_.SetRevision(normals_.Revision() + 1);
  InvalidateBufferOf(vbVertices);
  InvalidateBufferOf(vbNormals);
}

void TMeshObjectList::PrepareSkinnedMeshObjects() {
  for (int i = 0; i < Count(); ++i) {
    auto* skinned = dynamic_cast<TSkeletonMeshObject*>(Get(i));
    if (!skinned) continue;
    try {
      skinned->PrepareBoneSpaceMeshes();
    } catch (const EListError&) {
      Clear();
      throw EReadError("TSkeletonMeshObject : a weight names a bone that the skeleton lacks");
    }
  }
}

void TSkeletonMeshObject::Clear() {
  TMorphableMeshObject::Clear();
  weights_.clear();
  weightCount_ = 0;
  capacity_ = 0;
  boneSpaceMeshes_.clear();
}

}  // namespace gl3d
