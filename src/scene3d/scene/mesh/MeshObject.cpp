// Mesh objects and their list: data, assignment, extents and triangle extraction.
#include "scene3d/scene/mesh/MeshObject.h"

#include "common/Exception.h"
#include "scene3d/scene/mesh/MeshUtils.h"

namespace gl3d {

// ---- TBaseMeshObject ----

void TBaseMeshObject::Assign(const TPersistent* source) {
  if (const auto* other = dynamic_cast<const TBaseMeshObject*>(source)) {
    name_ = other->name_;
    vertices_.Assign(&other->vertices_);
    normals_.Assign(&other->normals_);
  } else {
    TPersistentObject::Assign(source);
  }
}

void TBaseMeshObject::Clear() {
  normals_.Clear();
  vertices_.Clear();
}

void TBaseMeshObject::ContributeToBarycenter(TVector3f& sum, int& count) const {
  const TVector3f s = vertices_.Sum();
  sum.X += s.X;
  sum.Y += s.Y;
  sum.Z += s.Z;
  count += vertices_.Count();
}

void TBaseMeshObject::Translate(const TVector3f& delta) { vertices_.Translate(delta); }

std::unique_ptr<TAffineVectorList> TBaseMeshObject::ExtractTriangles(TAffineVectorList*,
                                                                     TAffineVectorList* normals) {
  auto result = std::make_unique<TAffineVectorList>();
  if (vertices_.Count() % 3 == 0) {
    result->Assign(&vertices_);
    if (normals) normals->Assign(&normals_);
  }
  return result;
}

// ---- TMeshObject ----

TMeshObject::TMeshObject() = default;

TMeshObject::TMeshObject(TMeshObjectList* owner) : owner_(owner) {
  if (owner_) owner_->Add(this);
}

TMeshObject::~TMeshObject() {
  if (owner_) owner_->Remove(this);
}

std::unique_ptr<TPersistentObject> TMeshObject::NewInstance() const { return std::make_unique<TMeshObject>(); }

TVectorList* TMeshObject::GetTexCoordsEx(int index) {
  ZASSERT(index >= 0, "Assertion failed");
  while (static_cast<int>(texCoordsEx_.size()) <= index) texCoordsEx_.push_back(std::make_unique<TVectorList>());
  return texCoordsEx_[static_cast<size_t>(index)].get();
}

void TMeshObject::SetExtraCoordIndex1(int32_t value) {
  ZASSERT(value >= 0, "Assertion failed");
  extraCoordIndex1_ = value;
}

void TMeshObject::SetExtraCoordIndex2(int32_t value) {
  ZASSERT(value >= 0, "Assertion failed");
  extraCoordIndex2_ = value;
}

void TMeshObject::Assign(const TPersistent* source) {
  TBaseMeshObject::Assign(source);
  if (const auto* other = dynamic_cast<const TMeshObject*>(source)) {
    texCoords_.Assign(&other->texCoords_);
    lightMapTexCoords_.Assign(&other->lightMapTexCoords_);
    colors_.Assign(&other->colors_);
    faceGroups_.Assign(&other->faceGroups_);
    mode_ = other->mode_;
    renderingOptions_ = other->renderingOptions_;
    extraCoordIndex1_ = other->extraCoordIndex1_;
    extraCoordIndex2_ = other->extraCoordIndex2_;
    texCoordsEx_.clear();
    for (const auto& list : other->texCoordsEx_) {
      auto copy = std::make_unique<TVectorList>();
      copy->Assign(list.get());
      texCoordsEx_.push_back(std::move(copy));
    }
  }
}

void TMeshObject::Clear() {
  TBaseMeshObject::Clear();
  faceGroups_.Clear();
  colors_.Clear();
  texCoords_.Clear();
  lightMapTexCoords_.Clear();
  for (auto& list : texCoordsEx_) list->Clear();
}

void TMeshObject::GetExtents(TVector3f& min, TVector3f& max) {
  if (vertices_.Revision() != extentsRevision_) {
    vertices_.GetExtents(extentMin_, extentMax_);
    extentsRevision_ = vertices_.Revision();
  }
  min = extentMin_;
  max = extentMax_;
}

TAxisBox TMeshObject::GetExtentsBox() {
  TAxisBox box;
  GetExtents(box.Min, box.Max);
  return box;
}

bool TMeshObject::PointInObject(const TVector3f& p) {
  TVector3f min, max;
  GetExtents(min, max);
  return min.X <= p.X && p.X <= max.X && min.Y <= p.Y && p.Y <= max.Y && min.Z <= p.Z && p.Z <= max.Z;
}

int TMeshObject::TriangleCount() const {
  switch (mode_) {
    case moTriangles:
      return vertices_.Count() / 3;
    case moTriangleStrip:
      return vertices_.Count() > 2 ? vertices_.Count() - 2 : 0;
    case moFaceGroups: {
      int sum = 0;
      for (int i = 0; i < faceGroups_.Count(); ++i) sum += faceGroups_.GetFaceGroup(i)->TriangleCount();
      return sum;
    }
  }
  ZASSERT(false, "Assertion failed");
  return 0;
}

std::unique_ptr<TAffineVectorList> TMeshObject::ExtractTriangles(TAffineVectorList* texCoords,
                                                                 TAffineVectorList* normals) {
  switch (mode_) {
    case moTriangles: {
      auto result = TBaseMeshObject::ExtractTriangles(texCoords, normals);
      if (texCoords) texCoords->Assign(&texCoords_);
      if (normals) normals->Assign(&normals_);
      return result;
    }
    case moTriangleStrip: {
      auto result = std::make_unique<TAffineVectorList>();
      StripToTriangles(vertices_, *result);
      if (texCoords) StripToTriangles(texCoords_, *texCoords);
      if (normals) StripToTriangles(normals_, *normals);
      return result;
    }
    case moFaceGroups: {
      auto result = std::make_unique<TAffineVectorList>();
      faceGroups_.AddToTriangles(result.get(), texCoords, normals);
      return result;
    }
  }
  ZASSERT(false, "Assertion failed");
  return std::make_unique<TAffineVectorList>();
}

// ---- TMeshObjectList ----

TMeshObjectList::~TMeshObjectList() { Clear(); }

std::unique_ptr<TPersistentObject> TMeshObjectList::NewInstance() const {
  return std::make_unique<TMeshObjectList>();
}

void TMeshObjectList::PrepareBuildList(TRenderContextInfo& rci) {
  for (int i = 0; i < Count(); ++i) {
    TMeshObject* mesh = GetMeshObject(i);
    if (mesh->Visible()) mesh->PrepareBuildList(rci);
  }
}

void TMeshObjectList::BuildList(TRenderContextInfo& rci) {
  for (int i = 0; i < Count(); ++i) {
    TMeshObject* mesh = GetMeshObject(i);
    if (mesh->Visible()) mesh->BuildList(rci);
  }
}

void TMeshObjectList::Clear() {
  ReleaseMaterialCache();
  // An archive read that failed part-way may leave items of another class behind: each item is
  // looked at for what it is.
  for (int i = 0; i < Count(); ++i) {
    TObject* item = Get(i);
    if (auto* mesh = dynamic_cast<TMeshObject*>(item)) mesh->SetOwner(nullptr);
    delete item;
  }
  TPersistentObjectList::Clear();
}

void TMeshObjectList::ReadFromFiler(TVirtualReader& reader) {
  Clear();
  TPersistentObjectList::ReadFromFiler(reader);
  // Only mesh objects belong here; an archive that names another persistent class is damaged.
  AdoptArchiveItems<TMeshObject>(*this);
  PrepareSkinnedMeshObjects();
}

void TMeshObjectList::BindMaterialCache(TGLMaterialLibrary* library) {
  for (int i = 0; i < Count(); ++i)
    if (TMeshObject* mesh = GetMeshObject(i)) mesh->FaceGroups()->BindMaterialCache(library);
}

void TMeshObjectList::ReleaseMaterialCache() {
  for (int i = 0; i < Count(); ++i)
    if (auto* mesh = dynamic_cast<TMeshObject*>(Get(i))) mesh->FaceGroups()->ReleaseMaterialCache();
}

void TMeshObjectList::GetExtents(TVector3f& min, TVector3f& max) const {
  min = {1e30f, 1e30f, 1e30f};
  max = {-1e30f, -1e30f, -1e30f};
  for (int i = 0; i < Count(); ++i) {
    TVector3f lo, hi;
    GetMeshObject(i)->GetExtents(lo, hi);
    for (int c = 0; c < 3; ++c) {
      // NaN never wins: the comparison is written the way that keeps the older value then.
      if (!(lo[c] >= min[c])) min[c] = lo[c];
      if (hi[c] > max[c]) max[c] = hi[c];
    }
  }
}

void TMeshObjectList::Translate(const TVector3f& delta) {
  for (int i = 0; i < Count(); ++i) GetMeshObject(i)->Translate(delta);
}

std::unique_ptr<TAffineVectorList> TMeshObjectList::ExtractTriangles(TAffineVectorList* texCoords,
                                                                     TAffineVectorList* normals) const {
  auto result = std::make_unique<TAffineVectorList>();
  TAffineVectorList objectTexCoords, objectNormals;
  for (int i = 0; i < Count(); ++i) {
    TMeshObject* mesh = GetMeshObject(i);
    if (!mesh->Visible()) continue;
    std::unique_ptr<TAffineVectorList> triangles =
        mesh->ExtractTriangles(texCoords ? &objectTexCoords : nullptr, normals ? &objectNormals : nullptr);
    result->AddList(triangles.get());
    if (texCoords) {
      texCoords->AddList(&objectTexCoords);
      objectTexCoords.Flush();
    }
    if (normals) {
      normals->AddList(&objectNormals);
      objectNormals.Flush();
    }
  }
  return result;
}

void TMeshObjectList::InvalidateBuffers() {
  for (int i = 0; i < Count(); ++i) GetMeshObject(i)->InvalidateBuffers();
}

}  // namespace gl3d
