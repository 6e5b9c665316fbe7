#pragma once
// Mesh objects and their face groups: the geometry a mesh scene object (GLBaseMesh.h) shows.
//
// A mesh object holds parallel per-vertex lists (positions, normals, texture and lightmap
// coordinates, colours, extra coordinate lists) and, in face-group mode, face groups that index
// into them. It draws with OpenGL vertex arrays, from buffer objects when the driver has them
// (given up for good after a draw inside a display-list compilation), or in immediate mode for
// the two plain modes; it caches its extents per vertex-list revision, extracts its triangles and
// streams itself as a versioned archive ("glsm" files are the mesh-object list's archive).
//
// Code: MeshObject.cpp (data, extents, triangles), MeshObjectRender.cpp (arrays, buffers and the
// draw), FaceGroup.cpp (face groups) and MeshArchives.cpp (every archive of this header).
//
// Memory safety of the draw: an array is enabled only when its list covers every vertex, and a
// face group whose indices reach past the lists it reads is not drawn (the reason is logged), so
// OpenGL never reads past client memory or a buffer. Archives are checked as they are read:
// modes outside their tables, option sizes above 4 and indices beyond the lists fail the read.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene3d/base/PersistentClasses.h"
#include "scene3d/base/VectorLists.h"
#include "scene3d/gl/GLContext.h"
#include "scene3d/scene/core/BoundingBoxes.h"
#include "scene3d/scene/core/GLRenderContextInfo.h"

namespace gl3d {

class TGLBaseMesh;
class TGLLibMaterial;
class TGLMaterialLibrary;
class TGLTexture;
class TMeshObject;
class TMeshObjectList;
class TFaceGroups;

enum TMeshObjectMode : uint8_t { moTriangles, moTriangleStrip, moFaceGroups };
// The rendering options: bit 0 draws the face groups grouped by material.
enum TMeshObjectRenderingOption : uint8_t { moroGroupByMaterial };
using TMeshObjectRenderingOptions = uint8_t;
constexpr TMeshObjectRenderingOptions RenderingOptionBit(TMeshObjectRenderingOption o) {
  return static_cast<TMeshObjectRenderingOptions>(1u << o);
}
// Which buffer objects hold the current data of their list.
enum TMeshObjectBuffer : uint8_t {
  vbVertices,
  vbNormals,
  vbColors,
  vbTexCoords,
  vbLightMapTexCoords,
  vbTexCoordsEx
};
using TMeshObjectBuffers = uint8_t;
constexpr TMeshObjectBuffers MeshBufferBit(TMeshObjectBuffer b) {
  return static_cast<TMeshObjectBuffers>(1u << b);
}

// Face-group primitives: GL_TRIANGLES, GL_TRIANGLE_STRIP, GL_TRIANGLES, GL_TRIANGLE_FAN, GL_QUADS.
enum TFaceGroupMode : uint8_t { fgTriangles, fgTriangleStrip, fgTriangles2, fgTriangleFan, fgQuads };

// ---- Face groups ----

// Faces of one mesh object that share one material: indices into the mesh object's lists, a
// primitive and a material name resolved once against a material library.
class TFaceGroup : public TPersistentObject {
 public:
  // The virtual constructor: stores the owner and appends itself to it when given.
  explicit TFaceGroup(TFaceGroups* owner = nullptr);
  // Leaves its owner list.
  ~TFaceGroup() override;
  TFaceGroup(const TFaceGroup&) = delete;
  TFaceGroup& operator=(const TFaceGroup&) = delete;
  const char* ClassName() const override { return "TFaceGroup"; }
  // A new face group of class T appended to owner, which owns it.
  template <class T>
  static T* CreateOwned(TFaceGroups* owner) {
    return new T(owner);
  }

  TFaceGroups* Owner() const { return owner_; }
  void SetOwner(TFaceGroups* owner) { owner_ = owner; }
  // The owner list's mesh object, or nullptr.
  TMeshObject* MeshObject() const;
  const std::string& MaterialName() const { return materialName_; }
  void SetMaterialName(const std::string& name) { materialName_ = name; }
  TGLLibMaterial* MaterialCache() const { return materialCache_; }
  // -1: no lightmap.
  int32_t LightMapIndex() const { return lightMapIndex_; }
  void SetLightMapIndex(int32_t index) { lightMapIndex_ = index; }
  // The tag of the last grouped-by-material draw that drew this group.
  int32_t DrawTag() const { return drawTag_; }
  void SetDrawTag(int32_t tag) { drawTag_ = tag; }

  // The library's material of the group's name (nullptr without a name or a library).
  void BindMaterialCache(TGLMaterialLibrary* library);
  void ReleaseMaterialCache() { materialCache_ = nullptr; }
  // Binds the group's lightmap (a texture of the context's lightmap library) to texture unit 1,
  // unless the mesh object's last lightmap is the group's already.
  void SetupLightmap(TRenderContextInfo& rci);
  void SetupTexture(TGLTexture& texture, TRenderContextInfo& rci);

  virtual void BuildList(TRenderContextInfo& rci) = 0;
  // Appends the group's triangle corners to the lists given (any may be nullptr).
  virtual void AddToTriangles(TAffineVectorList* vertices, TAffineVectorList* texCoords,
                              TAffineVectorList* normals);
  virtual int TriangleCount() const = 0;
  virtual void Reverse() {}
  virtual void InvalidateBuffers() {}

  // Version 0 (name) without a lightmap, version 1 (name, lightmap index) with one.
  void WriteToFiler(TVirtualWriter& writer) const override;
  void ReadFromFiler(TVirtualReader& reader) override;
  // Throws the archive error when the group's indices reach past the mesh object's lists; called
  // once a mesh object has read its lists and its face groups.
  virtual void CheckIndices(const TMeshObject& mesh) const;

 protected:
  TFaceGroups* owner_;
  std::string materialName_;
  TGLLibMaterial* materialCache_ = nullptr;
  int32_t lightMapIndex_ = -1;
  int32_t drawTag_ = -1;
};

// The vertex-index face group: one glDrawElements of 32-bit indices, from an element buffer when
// the mesh object uses buffers. The buffer is uploaded again only after the indices changed (every
// Add changes their count, which the next draw compares), so a static mesh uploads its indices once.
class TFGVertexIndexList : public TFaceGroup {
 public:
  explicit TFGVertexIndexList(TFaceGroups* owner = nullptr);
  ~TFGVertexIndexList() override;
  const char* ClassName() const override { return "TFGVertexIndexList"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;

  TIntegerList* VertexIndices() { return &vertexIndices_; }
  const TIntegerList* VertexIndices() const { return &vertexIndices_; }
  // Assigned from list; marks the index buffer changed.
  void SetVertexIndices(const TIntegerList& list);
  TFaceGroupMode Mode() const { return mode_; }
  void SetMode(TFaceGroupMode mode) { mode_ = mode; }

  // Appends one index; the next draw from the index buffer uploads it again. The draw sees the new
  // count, so the append itself stays a plain list append (the preview mesh makes 393,216 of them
  // at every edit).
  void Add(int32_t index) { vertexIndices_.Add(index); }
  void InvalidateIndexBuffer() {
    if (indexBuffer_) indexBuffer_->NotifyChangesOfData();
  }
  // Reverses the indices (order of the faces and their winding); marks the buffer changed.
  void Reverse() override;
  // Triangle modes: count div 3; strip and fan: count - 2, not below 0; quads: count div 2.
  int TriangleCount() const override;
  void BuildList(TRenderContextInfo& rci) override;
  void AddToTriangles(TAffineVectorList* vertices, TAffineVectorList* texCoords,
                      TAffineVectorList* normals) override;

  void WriteToFiler(TVirtualWriter& writer) const override;
  // Modes above 4 fail the read.
  void ReadFromFiler(TVirtualReader& reader) override;
  void CheckIndices(const TMeshObject& mesh) const override;

  // The element buffer, nullptr until the first draw from buffers (for tests).
  TGLVBOElementArrayHandle* IndexBuffer() const { return indexBuffer_.get(); }

 protected:
  // Appends the triangle corners that indices select from source (zero vectors when source is
  // empty, so parallel lists keep equal lengths; an index outside source gives the zero vector).
  void AppendCorners(const TAffineVectorList& source, TAffineVectorList* destination,
                     const TIntegerList& indices) const;
  // Whether every index lies below count.
  static bool IndicesBelow(const TIntegerList& indices, int count);

  TIntegerList vertexIndices_;
  TFaceGroupMode mode_ = fgTriangles;

 private:
  void DrawFromBuffer(TMeshObject& mesh, GLenum primitive);
  std::unique_ptr<TGLVBOElementArrayHandle> indexBuffer_;
  // What the element buffer holds: its index count, the index list's revision then, and the
  // largest index in it.
  int uploadedCount_ = 0;
  int uploadedRevision_ = 0;
  int32_t uploadedMaxIndex_ = -1;
};

// Separate normal and texture-coordinate indices (an empty list stands for the vertex indices),
// drawn in immediate mode.
class TFGVertexNormalTexIndexList : public TFGVertexIndexList {
 public:
  explicit TFGVertexNormalTexIndexList(TFaceGroups* owner = nullptr);
  const char* ClassName() const override { return "TFGVertexNormalTexIndexList"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;
  TIntegerList* NormalIndices() { return &normalIndices_; }
  TIntegerList* TexCoordIndices() { return &texCoordIndices_; }
  const TIntegerList* NormalIndices() const { return &normalIndices_; }
  const TIntegerList* TexCoordIndices() const { return &texCoordIndices_; }

  void BuildList(TRenderContextInfo& rci) override;
  void AddToTriangles(TAffineVectorList* vertices, TAffineVectorList* texCoords,
                      TAffineVectorList* normals) override;
  void WriteToFiler(TVirtualWriter& writer) const override;
  void ReadFromFiler(TVirtualReader& reader) override;
  void CheckIndices(const TMeshObject& mesh) const override;

 private:
  TIntegerList normalIndices_;
  TIntegerList texCoordIndices_;
};

// Texture coordinates of its own, one per index position, drawn in immediate mode.
class TFGIndexTexCoordList : public TFGVertexIndexList {
 public:
  explicit TFGIndexTexCoordList(TFaceGroups* owner = nullptr);
  const char* ClassName() const override { return "TFGIndexTexCoordList"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;
  TAffineVectorList* TexCoords() { return &texCoords_; }
  const TAffineVectorList* TexCoords() const { return &texCoords_; }

  void BuildList(TRenderContextInfo& rci) override;
  void AddToTriangles(TAffineVectorList* vertices, TAffineVectorList* texCoords,
                      TAffineVectorList* normals) override;
  void WriteToFiler(TVirtualWriter& writer) const override;
  void ReadFromFiler(TVirtualReader& reader) override;
  void CheckIndices(const TMeshObject& mesh) const override;

 private:
  TAffineVectorList texCoords_;
};

// The face groups of a mesh object; it owns them.
class TFaceGroups : public TPersistentObjectList {
 public:
  explicit TFaceGroups(TMeshObject* owner = nullptr) : owner_(owner) {}
  ~TFaceGroups() override;
  const char* ClassName() const override { return "TFaceGroups"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;
  TMeshObject* Owner() const { return owner_; }
  TFaceGroup* GetFaceGroup(int index) const { return static_cast<TFaceGroup*>(Get(index)); }
  TFaceGroup* Items(int index) const { return GetFaceGroup(index); }

  // Sets each group's owner to nullptr, frees it and empties the list.
  void Clear() override;
  // The list archive, then every group's owner := the list.
  void ReadFromFiler(TVirtualReader& reader) override;
  void AddToTriangles(TAffineVectorList* vertices, TAffineVectorList* texCoords, TAffineVectorList* normals);
  void BindMaterialCache(TGLMaterialLibrary* library);
  void ReleaseMaterialCache();

 private:
  TMeshObject* owner_;
};

// ---- Mesh objects ----

class TBaseMeshObject : public TPersistentObject {
 public:
  TBaseMeshObject() = default;
  TBaseMeshObject(const TBaseMeshObject&) = delete;
  TBaseMeshObject& operator=(const TBaseMeshObject&) = delete;
  const char* ClassName() const override { return "TBaseMeshObject"; }

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  TAffineVectorList* Vertices() { return &vertices_; }
  const TAffineVectorList* Vertices() const { return &vertices_; }
  TAffineVectorList* Normals() { return &normals_; }
  const TAffineVectorList* Normals() const { return &normals_; }
  // Invisible mesh objects are skipped by the list's draw and triangle extraction.
  bool Visible() const { return visible_; }
  void SetVisible(bool visible) { visible_ = visible; }

  // From a mesh object: name, Vertices and Normals (not the visible flag).
  void Assign(const TPersistent* source) override;
  virtual void Clear();
  // sum += the sum of the vertices, count += their number.
  void ContributeToBarycenter(TVector3f& sum, int& count) const;
  virtual void Translate(const TVector3f& delta);
  // Empty unless the vertex count is a multiple of 3, else a copy of Vertices (normals, when
  // given, assigned from Normals; texCoords is ignored).
  virtual std::unique_ptr<TAffineVectorList> ExtractTriangles(TAffineVectorList* texCoords = nullptr,
                                                              TAffineVectorList* normals = nullptr);
  // Replace the content of Vertices / Normals by assignment (the caller keeps list).
  void SetVertices(const TAffineVectorList& list) { vertices_.Assign(&list); }
  void SetNormals(const TAffineVectorList& list) { normals_.Assign(&list); }

  void WriteToFiler(TVirtualWriter& writer) const override;
  void ReadFromFiler(TVirtualReader& reader) override;

 protected:
  std::string name_;
  TAffineVectorList vertices_;
  TAffineVectorList normals_;
  bool visible_ = true;
};

class TMeshObject : public TBaseMeshObject {
 public:
  // The virtual constructor: moTriangles, ExtraCoordIndex1 2, ExtraCoordIndex2 1, buffers on.
  TMeshObject();
  // CreateOwned: the constructor, then appended to owner when given.
  explicit TMeshObject(TMeshObjectList* owner);
  static TMeshObject* CreateOwned(TMeshObjectList* owner) { return new TMeshObject(owner); }
  // Leaves its owner list.
  ~TMeshObject() override;
  const char* ClassName() const override { return "TMeshObject"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;

  TMeshObjectList* Owner() const { return owner_; }
  void SetOwner(TMeshObjectList* owner) { owner_ = owner; }
  // Only x and y (s, t) reach OpenGL.
  TAffineVectorList* TexCoords() { return &texCoords_; }
  const TAffineVectorList* TexCoords() const { return &texCoords_; }
  // x and y go to texture unit 1.
  TAffineVectorList* LightMapTexCoords() { return &lightMapTexCoords_; }
  const TAffineVectorList* LightMapTexCoords() const { return &lightMapTexCoords_; }
  TVectorList* Colors() { return &colors_; }
  const TVectorList* Colors() const { return &colors_; }
  TFaceGroups* FaceGroups() { return &faceGroups_; }
  const TFaceGroups* FaceGroups() const { return &faceGroups_; }
  TMeshObjectMode Mode() const { return mode_; }
  void SetMode(TMeshObjectMode mode) { mode_ = mode; }
  TMeshObjectRenderingOptions RenderingOptions() const { return renderingOptions_; }
  void SetRenderingOptions(TMeshObjectRenderingOptions options) { renderingOptions_ = options; }
  // Extra four-component coordinate lists, list i for texture unit i. Reading index i appends
  // empty lists until it exists.
  TVectorList* GetTexCoordsEx(int index);
  void SetTexCoordsEx(int index, const TVectorList& list) { GetTexCoordsEx(index)->Assign(&list); }
  int TexCoordsExCount() const { return static_cast<int>(texCoordsEx_.size()); }
  // Kept and archived; the setters assert a value of at least 0.
  int32_t ExtraCoordIndex1() const { return extraCoordIndex1_; }
  int32_t ExtraCoordIndex2() const { return extraCoordIndex2_; }
  void SetExtraCoordIndex1(int32_t value);
  void SetExtraCoordIndex2(int32_t value);

  void Assign(const TPersistent* source) override;
  void Clear() override;
  // Recomputed when the Vertices revision differs from the one of the cached box.
  void GetExtents(TVector3f& min, TVector3f& max);
  TAxisBox GetExtentsBox();
  // min <= p <= max on all three axes.
  bool PointInObject(const TVector3f& p);
  int TriangleCount() const;
  std::unique_ptr<TAffineVectorList> ExtractTriangles(TAffineVectorList* texCoords = nullptr,
                                                      TAffineVectorList* normals = nullptr) override;

  // ---- Drawing (MeshObjectRender.cpp) ----
  virtual void PrepareBuildList(TRenderContextInfo& rci);
  virtual void BuildList(TRenderContextInfo& rci);
  void DeclareArraysToOpenGL(TRenderContextInfo& rci, bool force = false);
  void DisableOpenGLArrays(TRenderContextInfo& rci);
  void EnableLightmapUnit(TRenderContextInfo& rci);
  void DisableLightmapUnit(TRenderContextInfo& rci);
  TMeshObjectBuffers ValidBuffers() const { return validBuffers_; }
  void SetValidBuffers(TMeshObjectBuffers buffers);
  void InvalidateBuffers();
  // Whether buffer objects are still in use (false for good once they could not be).
  bool UseVBO() const { return useVBO_; }
  bool ArraysDeclared() const { return arraysDeclared_; }
  int32_t LastLightmapIndex() const { return lastLightmapIndex_; }
  void SetLastLightmapIndex(int32_t index) { lastLightmapIndex_ = index; }
  // Whether a per-vertex list covers every vertex (and may be handed to OpenGL as an array).
  bool NormalsCoverVertices() const { return CoversVertices(normals_.Count()); }
  bool TexCoordsCoverVertices() const { return CoversVertices(texCoords_.Count()); }
  bool ColorsCoverVertices() const { return CoversVertices(colors_.Count()); }
  bool LightMapCoversVertices() const { return CoversVertices(lightMapTexCoords_.Count()); }

  void WriteToFiler(TVirtualWriter& writer) const override;
  void ReadFromFiler(TVirtualReader& reader) override;

 private:
  bool CoversVertices(int count) const { return count > 0 && count >= vertices_.Count(); }
  bool TexCoordsExCoversVertices(int index) const {
    return CoversVertices(texCoordsEx_[static_cast<size_t>(index)]->Count());
  }
  // Render steps.
  void DrawImmediate(TRenderContextInfo& rci);
  void DrawFaceGroups(TRenderContextInfo& rci);
  void DrawGroupedByMaterial(TRenderContextInfo& rci);
  void DrawMaterialRuns(TRenderContextInfo& rci);
  void UploadBuffers();
  void DeclareTexCoordArray(bool bindBuffer);
  void ReadFaceGroups(TVirtualReader& reader);

  TMeshObjectList* owner_ = nullptr;
  int extentsRevision_ = 0;
  TAffineVectorList texCoords_;
  TAffineVectorList lightMapTexCoords_;
  TVectorList colors_;
  TFaceGroups faceGroups_{this};
  TMeshObjectMode mode_ = moTriangles;
  TMeshObjectRenderingOptions renderingOptions_ = 0;
  bool arraysDeclared_ = false;
  bool lightmapArrayEnabled_ = false;
  int32_t lastLightmapIndex_ = -1;
  std::vector<std::unique_ptr<TVectorList>> texCoordsEx_;
  int32_t extraCoordIndex1_ = 2;
  int32_t extraCoordIndex2_ = 1;
  int32_t lastMapping_ = 0;
  bool useVBO_ = true;
  // Client memory or offsets into the bound buffers of the current draw.
  bool drawingFromBuffers_ = false;
  std::unique_ptr<TGLVBOArrayBufferHandle> verticesBuffer_;
  std::unique_ptr<TGLVBOArrayBufferHandle> normalsBuffer_;
  std::unique_ptr<TGLVBOArrayBufferHandle> colorsBuffer_;
  std::unique_ptr<TGLVBOArrayBufferHandle> texCoordsBuffer_;
  std::unique_ptr<TGLVBOArrayBufferHandle> lightmapBuffer_;
  // One buffer for each extra list, separate from the main texture coordinates.
  std::vector<std::unique_ptr<TGLVBOArrayBufferHandle>> texCoordsExBuffers_;
  TMeshObjectBuffers validBuffers_ = 0;
  TVector3f extentMin_{0, 0, 0};
  TVector3f extentMax_{0, 0, 0};
};

// The mesh objects of a base mesh; it owns them.
class TMeshObjectList : public TPersistentObjectList {
 public:
  explicit TMeshObjectList(TGLBaseMesh* owner = nullptr) : owner_(owner) {}
  ~TMeshObjectList() override;
  const char* ClassName() const override { return "TMeshObjectList"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;
  TGLBaseMesh* Owner() const { return owner_; }
  TMeshObject* GetMeshObject(int index) const { return static_cast<TMeshObject*>(Get(index)); }
  TMeshObject* Items(int index) const { return GetMeshObject(index); }

  // The same call on every visible mesh object, in list order.
  virtual void PrepareBuildList(TRenderContextInfo& rci);
  virtual void BuildList(TRenderContextInfo& rci);
  // Drops the material caches, sets each object's owner to nullptr and frees it, empties the list.
  void Clear() override;
  // The list archive, then each object's owner := the list; then every skinned mesh object
  // prepares its bone-space meshes (a bone missing from the skeleton fails the read).
  void ReadFromFiler(TVirtualReader& reader) override;
  void BindMaterialCache(TGLMaterialLibrary* library);
  void ReleaseMaterialCache();
  // From (1e30, 1e30, 1e30) and (-1e30, -1e30, -1e30), merged over every object (visible or not).
  void GetExtents(TVector3f& min, TVector3f& max) const;
  void Translate(const TVector3f& delta);
  // The triangles of every visible object, appended; texCoords and normals likewise when given.
  std::unique_ptr<TAffineVectorList> ExtractTriangles(TAffineVectorList* texCoords = nullptr,
                                                      TAffineVectorList* normals = nullptr) const;
  void InvalidateBuffers();

  // Forwarded to the morphable mesh objects (MorphableMeshObject.h, where these are defined):
  // every one takes its target index, or interpolates two targets by t; the count is the
  // smallest target count among them, 0 without any.
  void ApplyMorphTarget(int index);
  void Lerp(int index1, int index2, float t);
  int MorphTargetCount() const;

 private:
  // Defined beside the skinned mesh objects (SkeletonMeshObject.cpp).
  void PrepareSkinnedMeshObjects();

  TGLBaseMesh* owner_;
};

// After a list's archive was read: every item must be a TItem (otherwise the list is emptied and
// EReadError names the class found), and each takes the list as its owner.
template <class TItem, class TList>
void AdoptArchiveItems(TList& list) {
  for (int i = 0; i < list.Count(); ++i) {
    auto* item = dynamic_cast<TItem*>(list.Get(i));
    if (!item) {
      const std::string name = list.Get(i) ? list.Get(i)->ClassName() : "nil";
      list.Clear();
      throw EReadError(std::string(list.ClassName()) + " : element of class " + name + " in the archive");
    }
    item->SetOwner(&list);
  }
}

// Registers the mesh-object and face-group classes that archives name.
void RegisterMeshObjectClasses();

}  // namespace gl3d
