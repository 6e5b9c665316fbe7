// The mesh scene objects: properties, material caches, geometry queries, drawing, and loading and
// saving through the vector-file registry.
#include "scene3d/scene/mesh/GLBaseMesh.h"

#include <cctype>
#include <cstdio>
#include <limits>
#include <utility>

#include "common/FileReplace.h"
#include "scene3d/base/ApplicationFileIO.h"
#include "scene3d/gl/GLStateCache.h"
#include "scene3d/scene/animation/GLBaseMeshConnectivity.h"
#include "scene3d/scene/animation/Skeleton.h"
#include "scene3d/scene/material/GLMaterialLibrary.h"
#include "scene3d/scene/mesh/GLMesh.h"
#include "scene3d/scene/texture/GLMultitextureCoordinator.h"

namespace gl3d {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The text after the last dot of the file's own name, or "".
std::string ExtensionOf(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  const size_t slash = fileName.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return fileName.substr(dot + 1);
}

}  // namespace

// ---- Vector files and their registry ----

TVectorFile::TVectorFile(TPersistent* owner) : TDataFile(owner), owner_(dynamic_cast<TGLBaseMesh*>(owner)) {
  ZASSERT(owner_ != nullptr, "Assertion failed (GLVectorFileObjects)");
}

std::unique_ptr<TDataFile> TGLGLSMVectorFile::NewInstance(TPersistent* owner) const {
  return std::make_unique<TGLGLSMVectorFile>(owner);
}

void TGLGLSMVectorFile::LoadFromStream(TStream& stream) { Owner()->MeshObjects()->LoadFromStream(stream); }

void TGLGLSMVectorFile::SaveToStream(TStream& stream) { Owner()->MeshObjects()->SaveToStream(stream); }

void TVectorFileFormatsList::Add(const std::string& extension, const std::string& description, int descResID,
                                 TVectorFileClass vectorFileClass) {
  formats_.push_back({Lower(extension), vectorFileClass, description, descResID});
}

TVectorFileClass TVectorFileFormatsList::ClassForExtension(const std::string& extension) const {
  const std::string ext = Lower(extension);
  for (auto it = formats_.rbegin(); it != formats_.rend(); ++it)
    if (it->Extension == ext) return it->VectorFileClass;
  return nullptr;
}

TVectorFileClass TVectorFileFormatsList::ClassForFileName(const std::string& fileName) const {
  const std::string ext = ExtensionOf(fileName);
  if (TVectorFileClass cls = ClassForExtension(ext)) return cls;
  throw EInvalidVectorFile("Unknown file extension (" + ext +
                           "), maybe you forgot to add the support unit to your uses? (GLFile" + Upper(ext) + "?)");
}

TVectorFileFormatsList& VectorFileFormatRegistry() {
  static TVectorFileFormatsList registry;
  return registry;
}

void AddVectorFileFormat(const std::string& extension, const std::string& description,
                         TVectorFileClass vectorFileClass) {
  VectorFileFormatRegistry().Add(extension, description, 0, vectorFileClass);
}

// ---- TGLBaseMesh ----

TGLBaseMesh::TGLBaseMesh(TComponent* owner)
    : TGL3DSceneObject(owner),
      autoScaling_(std::make_unique<TGLCoordinates3>(nullptr, TVector4f{1, 1, 1, 0}, ckVector)),
      meshObjects_(std::make_unique<TMeshObjectList>(this)),
      skeleton_(std::make_unique<TSkeleton>(this)) {}

TGLBaseMesh::~TGLBaseMesh() { ReleaseMaterialCache(); }

void TGLBaseMesh::SetOverlaySkeleton(bool value) {
  if (overlaySkeleton_ == value) return;
  overlaySkeleton_ = value;
  NotifyChange(this);
}

std::unique_ptr<TGLSilhouette> TGLBaseMesh::GenerateSilhouette(const TSilhouetteQuery& query) {
  TGLBaseMeshConnectivity connectivity(this);
  std::unique_ptr<TGLSilhouette> silhouette;
  connectivity.CreateSilhouette(query, silhouette, false);
  return silhouette;
}

void TGLBaseMesh::SetNormalsOrientation(TMeshNormalsOrientation value) {
  if (value == normalsOrientation_) return;
  normalsOrientation_ = value;
  StructureChanged();
}

void TGLBaseMesh::ReplaceLibrary(TGLMaterialLibrary*& library, TGLMaterialLibrary* value) {
  if (library) {
    library->DestroyHandles();
    RemoveFreeNotification(library);
  }
  library = value;
  if (library) FreeNotification(library);
  StructureChanged();
}

void TGLBaseMesh::SetMaterialLibrary(TGLMaterialLibrary* value) {
  if (value == materialLibrary_) return;
  ReleaseMaterialCache();
  ReplaceLibrary(materialLibrary_, value);
}

void TGLBaseMesh::SetLightmapLibrary(TGLMaterialLibrary* value) {
  if (value != lightmapLibrary_) ReplaceLibrary(lightmapLibrary_, value);
}

void TGLBaseMesh::SetUseMeshMaterials(bool value) {
  if (value == useMeshMaterials_) return;
  useMeshMaterials_ = value;
  if (!value) ReleaseMaterialCache();
  StructureChanged();
}

void TGLBaseMesh::Notification(TComponent* component, TOperation operation) {
  // The library is being destroyed: only the links go (it cannot be asked for anything now).
  if (operation == opRemove && component != nullptr) {
    if (component == materialLibrary_) {
      ReleaseMaterialCache();
      materialLibrary_ = nullptr;
      StructureChanged();
    }
    if (component == lightmapLibrary_) {
      lightmapLibrary_ = nullptr;
      StructureChanged();
    }
  }
  TGL3DSceneObject::Notification(component, operation);
}

void TGLBaseMesh::BindMaterialCache() {
  ReleaseMaterialCache();
  meshObjects_->BindMaterialCache(materialLibrary_);
  materialCachesPrepared_ = true;
}

void TGLBaseMesh::ReleaseMaterialCache() {
  if (!materialCachesPrepared_) return;
  meshObjects_->ReleaseMaterialCache();
  materialCachesPrepared_ = false;
}

void TGLBaseMesh::StructureChanged() {
  axisAlignedDimensionsCache_.X = -1;
  barycenterOffsetChanged_ = true;
  ReleaseMaterialCache();
  meshObjects_->InvalidateBuffers();
  TGL3DSceneObject::StructureChanged();
}

void TGLBaseMesh::DestroyHandle() {
  if (materialLibrary_) materialLibrary_->DestroyHandles();
  if (lightmapLibrary_) lightmapLibrary_->DestroyHandles();
  TGL3DSceneObject::DestroyHandle();
}

// ---- Files ----

void TGLBaseMesh::SetupVectorFile(TVectorFile& file) { file.SetNormalsOrientation(normalsOrientation_); }

std::unique_ptr<TMeshObjectList> TGLBaseMesh::ReadVectorFile(const std::string& fileName, TStream& stream) {
  const TVectorFileClass cls = VectorFileFormatRegistry().ClassForFileName(fileName);
  std::unique_ptr<TVectorFile> file = cls(this);
  file->SetResourceName(fileName);
  SetupVectorFile(*file);
  TSceneUpdate update(Scene());
  // The file fills the mesh's list; a fresh one stands in for it while it is read.
  std::unique_ptr<TMeshObjectList> previous = std::move(meshObjects_);
  meshObjects_ = std::make_unique<TMeshObjectList>(this);
  std::unique_ptr<TMeshObjectList> fresh;
  try {
    file->LoadFromStream(stream);
  } catch (...) {
    meshObjects_ = std::move(previous);
    throw;
  }
  fresh = std::move(meshObjects_);
  meshObjects_ = std::move(previous);
  return fresh;
}

void TGLBaseMesh::LoadFromFile(const std::string& fileName) {
  if (fileName.empty()) {
    lastLoadedFilename_.clear();
    return;
  }
  std::unique_ptr<TStream> stream = CreateFileStream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(fileName, *stream);
}

void TGLBaseMesh::LoadFromStream(const std::string& fileName, TStream& stream) {
  lastLoadedFilename_.clear();
  if (fileName.empty()) return;
  // The file is read against an empty skeleton, which stays when the read succeeds.
  std::unique_ptr<TSkeleton> previousSkeleton = std::exchange(skeleton_, std::make_unique<TSkeleton>(this));
  std::unique_ptr<TMeshObjectList> fresh;
  try {
    fresh = ReadVectorFile(fileName, stream);
  } catch (...) {
    skeleton_ = std::move(previousSkeleton);
    throw;
  }
  ReleaseMaterialCache();
  meshObjects_ = std::move(fresh);
  lastLoadedFilename_ = fileName;
  ApplyAutoScaling();
  ApplyAutoCentering();
  MeshChanged();
}

void TGLBaseMesh::AppendFromFile(const std::string& fileName) {
  if (fileName.empty()) return;
  std::unique_ptr<TStream> stream = CreateFileStream(fileName, fmOpenRead | fmShareDenyWrite);
  AppendFromStream(fileName, *stream);
}

void TGLBaseMesh::AppendFromStream(const std::string& fileName, TStream& stream) {
  if (fileName.empty()) return;
  std::unique_ptr<TMeshObjectList> fresh = ReadVectorFile(fileName, stream);
  std::vector<TMeshObject*> added;
  for (int i = 0; i < fresh->Count(); ++i) {
    added.push_back(fresh->GetMeshObject(i));
    added.back()->SetOwner(nullptr);
  }
  fresh->TPersistentObjectList::Clear();  // the objects change lists, they are not freed
  for (TMeshObject* mesh : added) {
    mesh->SetOwner(meshObjects_.get());
    meshObjects_->Add(mesh);
  }
  MeshChanged();
}

void TGLBaseMesh::SaveToFile(const std::string& fileName) {
  if (fileName.empty()) return;
  VectorFileFormatRegistry().ClassForFileName(fileName);  // an unknown format creates no file
  const int error = common::ReplaceFileThrough(fileName, ".part", [&](const std::string& temporary) {
    std::unique_ptr<TStream> stream = CreateFileStream(temporary, fmCreate);
    SaveToStream(fileName, *stream);
  });
  if (error) throw EFCreateError("Cannot create file \"" + fileName + "\"");
}

void TGLBaseMesh::SaveToStream(const std::string& fileName, TStream& stream) {
  if (fileName.empty()) return;
  const TVectorFileClass cls = VectorFileFormatRegistry().ClassForFileName(fileName);
  std::unique_ptr<TVectorFile> file = cls(this);
  file->SetResourceName(fileName);
  SetupVectorFile(*file);
  file->SaveToStream(stream);
}

void TGLBaseMesh::ApplyAutoScaling() {
  const TVector4f s = autoScaling_->AsVector();
  if (s.X == 1 && s.Y == 1 && s.Z == 1) return;
  for (int i = 0; i < meshObjects_->Count(); ++i)
    meshObjects_->GetMeshObject(i)->Vertices()->ScaleByVector({s.X, s.Y, s.Z});
}

void TGLBaseMesh::ApplyAutoCentering() {
  if (autoCentering_ == 0) return;
  TVector3f delta{0, 0, 0};
  if (autoCentering_ & AutoCenteringBit(macUseBarycenter)) {
    const TVector3f b = VertexBarycenter();
    delta = {-b.X, -b.Y, -b.Z};
  } else {
    TVector3f min, max;
    GetExtents(min, max);
    for (int c = 0; c < 3; ++c)
      if (autoCentering_ & AutoCenteringBit(static_cast<TMeshAutoCentering>(c))) delta[c] = -(min[c] + max[c]) / 2;
  }
  meshObjects_->Translate(delta);
}

// ---- Geometry ----

void TGLBaseMesh::GetExtents(TVector3f& min, TVector3f& max) const {
  constexpr float inf = std::numeric_limits<float>::infinity();
  min = {inf, inf, inf};
  max = {-inf, -inf, -inf};
  for (int i = 0; i < meshObjects_->Count(); ++i) {
    TVector3f lo, hi;
    meshObjects_->GetMeshObject(i)->GetExtents(lo, hi);
    for (int c = 0; c < 3; ++c) {
      if (lo[c] < min[c]) min[c] = lo[c];
      if (hi[c] > max[c]) max[c] = hi[c];
    }
  }
}

TVector3f TGLBaseMesh::VertexBarycenter() const {
  TVector3f sum{0, 0, 0};
  int count = 0;
  for (int i = 0; i < meshObjects_->Count(); ++i) meshObjects_->GetMeshObject(i)->ContributeToBarycenter(sum, count);
  if (count == 0) return {0, 0, 0};
  const float k = 1.0f / static_cast<float>(count);
  return {sum.X * k, sum.Y * k, sum.Z * k};
}

TVector4f TGLBaseMesh::AxisAlignedDimensionsUnscaled() {
  if (axisAlignedDimensionsCache_.X < 0) {
    TVector3f min, max;
    meshObjects_->GetExtents(min, max);
    axisAlignedDimensionsCache_ = {(max.X - min.X) / 2, (max.Y - min.Y) / 2, (max.Z - min.Z) / 2, 0};
  }
  return axisAlignedDimensionsCache_;
}

TVector4f TGLBaseMesh::BarycenterAbsolutePosition() {
  if (barycenterOffsetChanged_) {
    TVector3f min, max;
    meshObjects_->GetExtents(min, max);
    barycenterOffset_ = {(min.X + max.X) / 2, (min.Y + max.Y) / 2, (min.Z + max.Z) / 2, 0};
    barycenterOffsetChanged_ = false;
  }
  const TVector4f p = Position()->AsVector();
  return LocalToAbsolute({p.X + barycenterOffset_.X, p.Y + barycenterOffset_.Y, p.Z + barycenterOffset_.Z, 1});
}

bool TGLBaseMesh::RayCastIntersect(const TVector4f& rayStart, const TVector4f& rayVector,
                                   TVector4f* intersectPoint, TVector4f* intersectNormal) {
  const TVector4f start = AbsoluteToLocal(rayStart);
  const TVector4f vector = AbsoluteToLocal(rayVector);
  std::unique_ptr<TAffineVectorList> triangles = meshObjects_->ExtractTriangles();
  const TVector3f* t = triangles->List();
  bool found = false;
  float best = 0;
  TVector4f bestPoint{}, bestNormal{};
  for (int i = 0; i + 2 < triangles->Count(); i += 3) {
    TVector4f point, normal;
    if (!RayTriangleIntersect(start, vector, t[i], t[i + 1], t[i + 2], &point, &normal)) continue;
    const float d = VectorDistanceSquared3f({point.X, point.Y, point.Z}, {start.X, start.Y, start.Z});
    if (!found || d < best) {
      found = true;
      best = d;
      bestPoint = point;
      bestNormal = normal;
    }
  }
  if (!found) return false;
  if (intersectPoint) *intersectPoint = LocalToAbsolute({bestPoint.X, bestPoint.Y, bestPoint.Z, 1});
  if (intersectNormal) {
    *intersectNormal = LocalToAbsolute({bestNormal.X, bestNormal.Y, bestNormal.Z, 0});
    if (normalsOrientation_ == mnoInvert) NegateVector4f(*intersectNormal);
  }
  return true;
}

// ---- Drawing ----

void TGLBaseMesh::PrepareBuildList(TRenderContextInfo& rci) {
  meshObjects_->PrepareBuildList(rci);
  if (lightmapLibrary_) lightmapLibrary_->Materials()->PrepareTextures();
}

void TGLBaseMesh::BuildList(TRenderContextInfo& rci) { meshObjects_->BuildList(rci); }

void TGLBaseMesh::DoRender(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) {
  TGLMultitextureCoordinator* coordinator = lightmapLibrary_ ? CurrentMultitextureCoordinator() : nullptr;
  // The lightmaps take texture unit 1.
  if (coordinator) coordinator->ForbidSecondTextureUnit();
  if (renderSelf) {
    TGLStateCache& states = *rci.StateCache;
    ZASSERT(normalsOrientation_ == mnoDefault || normalsOrientation_ == mnoInvert, "Assertion failed");
    if (normalsOrientation_ == mnoInvert) states.InvertFrontFace();
    if (rci.IgnoreMaterials) {
      if (HasStyle(sfDirectDraw) || rci.Amalgamating)
        BuildList(rci);
      else
        states.CallList(GetHandle(rci));
    } else {
      if (useMeshMaterials_ && materialLibrary_) {
        rci.MaterialLibrary = materialLibrary_;
        if (!materialCachesPrepared_) BindMaterialCache();
      } else {
        rci.MaterialLibrary = nullptr;
      }
      rci.LightmapLibrary = lightmapLibrary_;
      if (rci.Amalgamating || (!ListHandleAllocated() && !HasStyle(sfDirectDraw))) PrepareBuildList(rci);
      Material()->Apply(rci);
      // A mesh with its own materials is drawn directly: they are applied while it draws.
      do {
        if (HasStyle(sfDirectDraw) || rci.Amalgamating || useMeshMaterials_)
          BuildList(rci);
        else
          states.CallList(GetHandle(rci));
      } while (Material()->UnApply(rci));
      rci.MaterialLibrary = nullptr;
    }
    if (normalsOrientation_ == mnoInvert) states.InvertFrontFace();
  }
  if (coordinator) coordinator->AllowSecondTextureUnit();
  if (renderChildren && Count() > 0) RenderChildren(0, Count() - 1, rci);
}

void TGLBaseMesh::Assign(const TPersistent* source) {
  if (const auto* other = dynamic_cast<const TGLBaseMesh*>(source)) {
    normalsOrientation_ = other->normalsOrientation_;
    SetMaterialLibrary(other->materialLibrary_);
    SetLightmapLibrary(other->lightmapLibrary_);
    axisAlignedDimensionsCache_ = other->axisAlignedDimensionsCache_;
    barycenterOffset_ = other->barycenterOffset_;
    barycenterOffsetChanged_ = other->barycenterOffsetChanged_;
    useMeshMaterials_ = other->useMeshMaterials_;
    overlaySkeleton_ = other->overlaySkeleton_;
    autoCentering_ = other->autoCentering_;
    autoScaling_->Assign(other->autoScaling_.get());
    ReleaseMaterialCache();
    // The skeleton first: reading the mesh objects prepares the skinned ones against it.
    skeleton_->Clear();
    skeleton_->Assign(other->skeleton_.get());
    skeleton_->RootBones()->PrepareGlobalMatrices();
    meshObjects_->Assign(other->meshObjects_.get());
    for (int i = 0; i < meshObjects_->Count(); ++i) meshObjects_->GetMeshObject(i)->SetOwner(meshObjects_.get());
  }
  TGL3DSceneObject::Assign(source);
}

// ---- TGLFreeForm ----

TGLFreeForm::TGLFreeForm(TComponent* owner) : TGLBaseMesh(owner) { SetUseMeshMaterials(true); }

void RegisterBaseMeshClasses() {
  TVectorFileFormatsList& registry = VectorFileFormatRegistry();
  if (registry.ClassForExtension("glsm") != &CreateVectorFile<TGLGLSMVectorFile>)
    AddVectorFileFormat("glsm", "GL3D Mesh", &CreateVectorFile<TGLGLSMVectorFile>);
  RegisterClass<TGLFreeForm>("TGLFreeForm");
  RegisterClass<TGLMesh>("TGLMesh");
}

}  // namespace gl3d
