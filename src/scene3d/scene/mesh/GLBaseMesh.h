#pragma once
// The mesh scene objects and the vector-file formats that load and save them.
//
// TGLBaseMesh shows a list of mesh objects (MeshObject.h) with its material, answers bounding,
// barycentre and ray queries from the mesh data, and loads or saves the mesh through a registry
// of formats chosen by file extension. TGLFreeForm is the directly usable kind; the editor's
// preview refills its mesh-object list after every edit and then calls StructureChanged.
//
// The library's own format "glsm" is the mesh-object list's archive. A load reads into a new list
// that replaces the old one only when the whole file was read, so a damaged file or an unknown
// extension leaves the mesh as it was; a save writes a temporary file beside the target and
// renames it over the target when complete.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/Exception.h"
#include "scene3d/base/BaseClasses.h"
#include "scene3d/scene/material/GLCustomSceneObject.h"
#include "scene3d/scene/mesh/MeshObject.h"

namespace gl3d {

class TGLMaterialLibrary;
class TGLBaseMesh;
class TSkeleton;

enum TMeshAutoCentering : uint8_t { macCenterX, macCenterY, macCenterZ, macUseBarycenter };
// A set of TMeshAutoCentering: bit n for the value of ordinal n.
using TMeshAutoCenterings = uint8_t;
constexpr TMeshAutoCenterings AutoCenteringBit(TMeshAutoCentering c) {
  return static_cast<TMeshAutoCenterings>(1u << c);
}
enum TMeshNormalsOrientation : uint8_t { mnoDefault, mnoInvert };

// "Unknown file extension (<ext>), maybe you forgot to add the support unit to your uses?
// (GLFile<EXT>?)".
class EInvalidVectorFile : public common::Exception {
 public:
  using Exception::Exception;
};

// A loader and saver bound to one base mesh (its owner; any other owner fails an assertion).
class TVectorFile : public TDataFile {
 public:
  explicit TVectorFile(TPersistent* owner);
  const char* ClassName() const override { return "TVectorFile"; }
  TGLBaseMesh* Owner() const { return owner_; }
  TMeshNormalsOrientation NormalsOrientation() const { return normalsOrientation_; }
  virtual void SetNormalsOrientation(TMeshNormalsOrientation value) { normalsOrientation_ = value; }

 private:
  TGLBaseMesh* owner_;
  TMeshNormalsOrientation normalsOrientation_ = mnoDefault;
};

// A vector-file class as a value: it makes a file object for the given owner.
using TVectorFileClass = std::unique_ptr<TVectorFile> (*)(TPersistent* owner);
template <class T>
std::unique_ptr<TVectorFile> CreateVectorFile(TPersistent* owner) {
  return std::make_unique<T>(owner);
}

// The library's own format: the owner's mesh-object list as an archive. Reads and writes.
class TGLGLSMVectorFile : public TVectorFile {
 public:
  using TVectorFile::TVectorFile;
  const char* ClassName() const override { return "TGLGLSMVectorFile"; }
  uint8_t Capabilities() const override { return dfcRead | dfcWrite; }
  std::unique_ptr<TDataFile> NewInstance(TPersistent* owner) const override;
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
};

struct TVectorFileFormat {
  std::string Extension;  // lower case, without the dot
  TVectorFileClass VectorFileClass;
  std::string Description;
  int DescResID = 0;
};

class TVectorFileFormatsList {
 public:
  int Count() const { return static_cast<int>(formats_.size()); }
  const TVectorFileFormat& Items(int index) const { return formats_.at(static_cast<size_t>(index)); }
  // The extension is stored in lower case.
  void Add(const std::string& extension, const std::string& description, int descResID,
           TVectorFileClass vectorFileClass);
  // The most recently registered class of the extension (compared in lower case), or nullptr.
  TVectorFileClass ClassForExtension(const std::string& extension) const;
  // The class for the file name's extension; EInvalidVectorFile when none is registered.
  TVectorFileClass ClassForFileName(const std::string& fileName) const;

 private:
  std::vector<TVectorFileFormat> formats_;
};

// The registry, made on first use.
TVectorFileFormatsList& VectorFileFormatRegistry();
void AddVectorFileFormat(const std::string& extension, const std::string& description,
                         TVectorFileClass vectorFileClass);

class TGLBaseMesh : public TGL3DSceneObject {
 public:
  explicit TGLBaseMesh(TComponent* owner);
  // Drops the material caches and the library links first.
  ~TGLBaseMesh() override;
  const char* ClassName() const override { return "TGLBaseMesh"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGLBaseMesh>; }

  TMeshObjectList* MeshObjects() const { return meshObjects_.get(); }
  TMeshNormalsOrientation NormalsOrientation() const { return normalsOrientation_; }
  void SetNormalsOrientation(TMeshNormalsOrientation value);
  TGLMaterialLibrary* MaterialLibrary() const { return materialLibrary_; }
  void SetMaterialLibrary(TGLMaterialLibrary* value);
  TGLMaterialLibrary* LightmapLibrary() const { return lightmapLibrary_; }
  void SetLightmapLibrary(TGLMaterialLibrary* value);
  bool UseMeshMaterials() const { return useMeshMaterials_; }
  void SetUseMeshMaterials(bool value);
  // The skeleton drawn over the mesh (by an actor).
  bool OverlaySkeleton() const { return overlaySkeleton_; }
  void SetOverlaySkeleton(bool value);
  // Every base mesh owns one, empty unless a loaded model fills it.
  TSkeleton* Skeleton() const { return skeleton_.get(); }
  TMeshAutoCenterings AutoCentering() const { return autoCentering_; }
  void SetAutoCentering(TMeshAutoCenterings value) { autoCentering_ = value; }
  TGLCoordinates3* AutoScaling() const { return autoScaling_.get(); }
  void SetAutoScaling(const TGLCustomCoordinates& value) { autoScaling_->Assign(&value); }
  const std::string& LastLoadedFilename() const { return lastLoadedFilename_; }

  // ---- Materials ----
  // Resolves every face group's material name in MaterialLibrary.
  void BindMaterialCache();
  void ReleaseMaterialCache();

  // ---- Changes ----
  // Dimensions and barycentre recomputed at the next query, material caches dropped, buffers
  // marked for upload, then the scene object's structure change.
  void StructureChanged() override;
  virtual void MeshChanged() { StructureChanged(); }
  void Notification(TComponent* component, TOperation operation) override;
  // The libraries release their OpenGL objects, then the display list goes.
  void DestroyHandle() override;

  // ---- Files ----
  // The file's normals orientation := the mesh's.
  virtual void SetupVectorFile(TVectorFile& file);
  // Replaces the mesh objects by the file's (auto-scaled and auto-centred) and empties the
  // skeleton. An empty name only clears the last loaded name. On any failure the mesh keeps its
  // objects and its skeleton.
  void LoadFromFile(const std::string& fileName);
  virtual void LoadFromStream(const std::string& fileName, TStream& stream);
  // Writes a temporary file and renames it over fileName when complete.
  void SaveToFile(const std::string& fileName);
  void SaveToStream(const std::string& fileName, TStream& stream);
  // Adds the file's mesh objects to those there are (no auto scaling or centring).
  void AppendFromFile(const std::string& fileName);
  void AppendFromStream(const std::string& fileName, TStream& stream);
  // Multiplies every vertex by AutoScaling unless it is exactly (1, 1, 1).
  void ApplyAutoScaling();
  void ApplyAutoCentering();

  // ---- Geometry ----
  // From +infinity and -infinity, merged over every mesh object.
  void GetExtents(TVector3f& min, TVector3f& max) const;
  // The mean of all vertices; the zero vector without any.
  TVector3f VertexBarycenter() const;
  TVector4f AxisAlignedDimensionsUnscaled() override;
  TVector4f BarycenterAbsolutePosition() override;
  // The nearest triangle of the visible mesh objects that the ray meets.
  bool RayCastIntersect(const TVector4f& rayStart, const TVector4f& rayVector, TVector4f* intersectPoint = nullptr,
                        TVector4f* intersectNormal = nullptr) override;
  // The outline of the visible mesh objects' face groups (GLBaseMeshConnectivity.h).
  std::unique_ptr<TGLSilhouette> GenerateSilhouette(const TSilhouetteQuery& query) override;

  // ---- Drawing ----
  virtual void PrepareBuildList(TRenderContextInfo& rci);
  void BuildList(TRenderContextInfo& rci) override;
  void DoRender(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) override;

  // From a base mesh: orientation, libraries, caches, flags, auto settings, a copy of the skeleton
  // (its global matrices prepared) and of the mesh objects; then the inherited assignment.
  void Assign(const TPersistent* source) override;

 private:
  // Loads the file into a fresh list; the caller decides what becomes of it. The old list is
  // back in place whatever happens.
  std::unique_ptr<TMeshObjectList> ReadVectorFile(const std::string& fileName, TStream& stream);
  // Lets go of the old library (its OpenGL objects and its free notification) and links value.
  void ReplaceLibrary(TGLMaterialLibrary*& library, TGLMaterialLibrary* value);

  TMeshNormalsOrientation normalsOrientation_ = mnoDefault;
  TGLMaterialLibrary* materialLibrary_ = nullptr;
  TGLMaterialLibrary* lightmapLibrary_ = nullptr;
  TVector4f axisAlignedDimensionsCache_{-1, 0, 0, 0};
  bool barycenterOffsetChanged_ = true;
  TVector4f barycenterOffset_{0, 0, 0, 0};
  bool useMeshMaterials_ = true;
  bool overlaySkeleton_ = false;
  TMeshAutoCenterings autoCentering_ = 0;
  std::unique_ptr<TGLCoordinates3> autoScaling_;
  bool materialCachesPrepared_ = false;
  std::string lastLoadedFilename_;
  std::unique_ptr<TMeshObjectList> meshObjects_;
  std::unique_ptr<TSkeleton> skeleton_;
};

class TGLFreeForm : public TGLBaseMesh {
 public:
  explicit TGLFreeForm(TComponent* owner);
  const char* ClassName() const override { return "TGLFreeForm"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGLFreeForm>; }
};

// Registers "glsm" and the mesh scene objects (free form, simple mesh) that stored descriptions name.
void RegisterBaseMeshClasses();

}  // namespace gl3d
