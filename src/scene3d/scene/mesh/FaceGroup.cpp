// Face groups: ownership, triangle counts and extraction, and their draws.
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <string>

#include "common/Exception.h"
#include "scene3d/base/GLSLog.h"
#include "scene3d/gl/GLContext.h"
#include "scene3d/gl/GLStateCache.h"
#include "scene3d/scene/material/GLMaterialLibrary.h"
#include "scene3d/scene/mesh/MeshObject.h"
#include "scene3d/scene/mesh/MeshUtils.h"
#include "scene3d/scene/texture/GLMultitextureCoordinator.h"
#include "scene3d/scene/texture/GLTexture.h"

namespace gl3d {

namespace {

constexpr const char* kAssertText = "Assertion failed (GLVectorFileObjects)";

GLenum FaceGroupPrimitive(TFaceGroupMode mode) {
  switch (mode) {
    case fgTriangles:
    case fgTriangles2:
      return GL_TRIANGLES;
    case fgTriangleStrip:
      return GL_TRIANGLE_STRIP;
    case fgTriangleFan:
      return GL_TRIANGLE_FAN;
    case fgQuads:
      return GL_QUADS;
  }
  ZASSERT(false, kAssertText);
  return GL_TRIANGLES;
}

void LogSkippedGroup(const char* className, const char* why) {
  GLSLogger().LogWarning(std::string(className) + " not drawn: " + why);
}

const TVector3f& ItemOrZero(const TAffineVectorList& list, int32_t index) {
  return index >= 0 && index < list.Count() ? list.List()[index] : NullVector3f;
}

}  // namespace

// ---- TFaceGroup ----

TFaceGroup::TFaceGroup(TFaceGroups* owner) : owner_(owner) {
  if (owner_) owner_->Add(this);
}

TFaceGroup::~TFaceGroup() {
  if (owner_) owner_->Remove(this);
}

TMeshObject* TFaceGroup::MeshObject() const { return owner_ ? owner_->Owner() : nullptr; }

void TFaceGroup::BindMaterialCache(TGLMaterialLibrary* library) {
  materialCache_ = library && !materialName_.empty() ? library->FindLibMaterial(materialName_) : nullptr;
}

void TFaceGroup::SetupLightmap(TRenderContextInfo& rci) {
  if (!CurrentGLEntryPoints().ARB_multitexture || rci.IgnoreMaterials) return;
  auto* library = dynamic_cast<TGLMaterialLibrary*>(rci.LightmapLibrary);
  TMeshObject* mesh = MeshObject();
  if (!library || !mesh || mesh->LastLightmapIndex() == lightMapIndex_) return;
  mesh->SetLastLightmapIndex(lightMapIndex_);
  if (lightMapIndex_ < 0) {
    mesh->DisableLightmapUnit(rci);
    return;
  }
  ZASSERT(lightMapIndex_ < library->Materials()->Count(), kAssertText);
  SetupTexture(*library->Materials()->Items(lightMapIndex_)->Material()->Texture(), rci);
  mesh->EnableLightmapUnit(rci);
}

void TFaceGroup::SetupTexture(TGLTexture& texture, TRenderContextInfo& rci) {
  if (!CurrentGLEntryPoints().ARB_multitexture) return;
  ZASSERT(texture.Image()->NativeTarget() == ttTexture2D, kAssertText);
  TGLStateCache& states = *rci.StateCache;
  states.SetTextureBinding(1, ttTexture2D, texture.GetHandle());
  states.SetActiveTexture(1);
  CurrentGLEntryPoints().TexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  states.SetActiveTexture(0);
}

void TFaceGroup::AddToTriangles(TAffineVectorList*, TAffineVectorList*, TAffineVectorList*) {}

void TFaceGroup::CheckIndices(const TMeshObject&) const {}

// ---- TFGVertexIndexList ----

TFGVertexIndexList::TFGVertexIndexList(TFaceGroups* owner) : TFaceGroup(owner) {}

TFGVertexIndexList::~TFGVertexIndexList() = default;

std::unique_ptr<TPersistentObject> TFGVertexIndexList::NewInstance() const {
  return std::make_unique<TFGVertexIndexList>();
}

void TFGVertexIndexList::SetVertexIndices(const TIntegerList& list) {
  vertexIndices_.Assign(&list);
  InvalidateIndexBuffer();
}

void TFGVertexIndexList::Reverse() {
  vertexIndices_.Reverse();
  InvalidateIndexBuffer();
}

int TFGVertexIndexList::TriangleCount() const {
  const int n = vertexIndices_.Count();
  switch (mode_) {
    case fgTriangles:
    case fgTriangles2:
      return n / 3;
    case fgTriangleStrip:
    case fgTriangleFan:
      return n > 2 ? n - 2 : 0;
    case fgQuads:
      return n / 2;
  }
  ZASSERT(false, kAssertText);
  return 0;
}

bool TFGVertexIndexList::IndicesBelow(const TIntegerList& indices, int count) {
  const int32_t* p = indices.List();
  for (int i = 0, n = indices.Count(); i < n; ++i)
    if (p[i] < 0 || p[i] >= count) return false;
  return true;
}

void TFGVertexIndexList::BuildList(TRenderContextInfo& rci) {
  if (vertexIndices_.Count() == 0) return;
  TMeshObject* mesh = MeshObject();
  if (!mesh) return;
  const GLenum primitive = FaceGroupPrimitive(mode_);
  mesh->DeclareArraysToOpenGL(rci, false);
  SetupLightmap(rci);
  if (mesh->UseVBO()) {
    DrawFromBuffer(*mesh, primitive);
    return;
  }
  if (!IndicesBelow(vertexIndices_, mesh->Vertices()->Count())) {
    LogSkippedGroup(ClassName(), "an index lies outside the vertex list");
    return;
  }
  CurrentGLEntryPoints().DrawElements(primitive, vertexIndices_.Count(), GL_UNSIGNED_INT,
                                      vertexIndices_.List());
}

void TFGVertexIndexList::DrawFromBuffer(TMeshObject& mesh, GLenum primitive) {
  if (!indexBuffer_) indexBuffer_ = std::make_unique<TGLVBOElementArrayHandle>();
  indexBuffer_->AllocateHandle();
  // Appends show in the count, and whatever else changes the list's length (a flush before the
  // same number of appends, too) in its revision. Indices changed in place through VertexIndices
  // need InvalidateIndexBuffer.
  if (indexBuffer_->IsDataNeedUpdate() || uploadedCount_ != vertexIndices_.Count() ||
      uploadedRevision_ != vertexIndices_.Revision()) {
    const int n = vertexIndices_.Count();
    const int32_t* p = vertexIndices_.List();
    int32_t largest = -1;
    bool negative = false;
    for (int i = 0; i < n; ++i) {
      largest = std::max(largest, p[i]);
      negative |= p[i] < 0;
    }
    indexBuffer_->BufferData(p, static_cast<GLsizeiptr>(n) * 4, GL_STATIC_DRAW);
    indexBuffer_->NotifyDataUpdated();
    uploadedCount_ = n;
    uploadedRevision_ = vertexIndices_.Revision();
    // A negative index reads as a huge unsigned one.
    uploadedMaxIndex_ = negative ? INT32_MAX : largest;
  }
  if (uploadedMaxIndex_ >= mesh.Vertices()->Count()) {
    indexBuffer_->UnBind();
    LogSkippedGroup(ClassName(), "an index lies outside the vertex list");
    return;
  }
  indexBuffer_->Bind();
  CurrentGLEntryPoints().DrawElements(primitive, uploadedCount_, GL_UNSIGNED_INT, nullptr);
  indexBuffer_->UnBind();
}

void TFGVertexIndexList::AppendCorners(const TAffineVectorList& source, TAffineVectorList* destination,
                                       const TIntegerList& indices) const {
  const int n = indices.Count();
  if (!destination || n < 3) return;
  const int32_t* idx = indices.List();
  int corners = 0;
  switch (mode_) {
    case fgTriangles:
    case fgTriangles2:
      corners = n / 3 * 3;
      break;
    case fgTriangleStrip:
    case fgTriangleFan:
      corners = 3 * (n - 2);
      break;
    case fgQuads:
      corners = n / 4 * 6;
      break;
    default:
      ZASSERT(false, kAssertText);
  }
  destination->EnsureCapacity(destination->Count() + corners);
  if (source.Count() == 0) {
    destination->AddNulls(corners);
    return;
  }
  switch (mode_) {
    case fgTriangles:
    case fgTriangles2:
      for (int i = 0; i < corners; ++i) destination->Add(ItemOrZero(source, idx[i]));
      break;
    case fgTriangleStrip:
      IndexedStripToTriangles(source, indices, *destination);
      break;
    case fgTriangleFan:
      for (int k = 2; k < n; ++k)
        destination->AddThree(ItemOrZero(source, idx[0]), ItemOrZero(source, idx[k - 1]),
                              ItemOrZero(source, idx[k]));
      break;
    case fgQuads:
      for (int q = 0; q + 3 < n; q += 4) {
        const TVector3f& a = ItemOrZero(source, idx[q]);
        const TVector3f& c = ItemOrZero(source, idx[q + 2]);
        destination->AddThree(a, ItemOrZero(source, idx[q + 1]), c);
        destination->AddThree(a, c, ItemOrZero(source, idx[q + 3]));
      }
      break;
  }
}

void TFGVertexIndexList::AddToTriangles(TAffineVectorList* vertices, TAffineVectorList* texCoords,
                                        TAffineVectorList* normals) {
  if (TMeshObject* mesh = MeshObject()) {
    AppendCorners(*mesh->Vertices(), vertices, vertexIndices_);
    AppendCorners(*mesh->TexCoords(), texCoords, vertexIndices_);
    AppendCorners(*mesh->Normals(), normals, vertexIndices_);
  }
  InvalidateIndexBuffer();
}

void TFGVertexIndexList::CheckIndices(const TMeshObject& mesh) const {
  if (!IndicesBelow(vertexIndices_, mesh.Vertices()->Count()))
    throw EReadError(std::string(ClassName()) + " : vertex index beyond the vertex count");
}

// ---- TFGVertexNormalTexIndexList ----

TFGVertexNormalTexIndexList::TFGVertexNormalTexIndexList(TFaceGroups* owner) : TFGVertexIndexList(owner) {}

std::unique_ptr<TPersistentObject> TFGVertexNormalTexIndexList::NewInstance() const {
  return std::make_unique<TFGVertexNormalTexIndexList>();
}

void TFGVertexNormalTexIndexList::BuildList(TRenderContextInfo&) {
  TMeshObject* mesh = MeshObject();
  if (!mesh) return;
  const int n = vertexIndices_.Count();
  ZASSERT(texCoordIndices_.Count() == 0 || texCoordIndices_.Count() >= n, kAssertText);
  ZASSERT(normalIndices_.Count() == 0 || normalIndices_.Count() >= n, kAssertText);
  GLenum primitive = GL_TRIANGLES;
  switch (mode_) {
    case fgTriangleStrip:
      primitive = GL_TRIANGLE_STRIP;
      break;
    case fgTriangleFan:
      primitive = GL_TRIANGLE_FAN;
      break;
    case fgTriangles:
    case fgTriangles2:
      break;
    default:
      ZASSERT(false, kAssertText);
  }
  const TIntegerList& normalIdx = normalIndices_.Count() ? normalIndices_ : vertexIndices_;
  const TIntegerList& texIdx = texCoordIndices_.Count() ? texCoordIndices_ : vertexIndices_;
  const TAffineVectorList& texCoords = *mesh->TexCoords();
  const bool withTexCoords = texCoords.Count() > 0;
  // Immediate mode reads the lists here, so every index is checked against its list first.
  if (!IndicesBelow(vertexIndices_, mesh->Vertices()->Count()) ||
      !IndicesBelow(normalIdx, mesh->Normals()->Count()) ||
      (withTexCoords && !IndicesBelow(texIdx, texCoords.Count()))) {
    LogSkippedGroup(ClassName(), "an index lies outside its list");
    return;
  }
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  TGLMultitextureCoordinator* coordinator = CurrentMultitextureCoordinator();
  const TVector3f* vertices = mesh->Vertices()->List();
  const TVector3f* normals = mesh->Normals()->List();
  gl.Begin(primitive);
  for (int i = 0; i < n; ++i) {
    gl.Normal3fv(&normals[normalIdx.List()[i]].X);
    if (withTexCoords) coordinator->TexCoord2fv(&texCoords.List()[texIdx.List()[i]].X);
    gl.Vertex3fv(&vertices[vertexIndices_.List()[i]].X);
  }
  gl.End();
}

void TFGVertexNormalTexIndexList::AddToTriangles(TAffineVectorList* vertices, TAffineVectorList* texCoords,
                                                 TAffineVectorList* normals) {
  if (TMeshObject* mesh = MeshObject()) {
    AppendCorners(*mesh->Vertices(), vertices, vertexIndices_);
    AppendCorners(*mesh->TexCoords(), texCoords, texCoordIndices_);
    AppendCorners(*mesh->Normals(), normals, normalIndices_);
  }
  InvalidateIndexBuffer();
}

void TFGVertexNormalTexIndexList::CheckIndices(const TMeshObject& mesh) const {
  TFGVertexIndexList::CheckIndices(mesh);
  if (!IndicesBelow(normalIndices_, mesh.Normals()->Count()) ||
      !IndicesBelow(texCoordIndices_, mesh.TexCoords()->Count()))
    throw EReadError(std::string(ClassName()) + " : normal or texture index beyond its list");
}

// ---- TFGIndexTexCoordList ----

TFGIndexTexCoordList::TFGIndexTexCoordList(TFaceGroups* owner) : TFGVertexIndexList(owner) {}

std::unique_ptr<TPersistentObject> TFGIndexTexCoordList::NewInstance() const {
  return std::make_unique<TFGIndexTexCoordList>();
}

void TFGIndexTexCoordList::BuildList(TRenderContextInfo&) {
  TMeshObject* mesh = MeshObject();
  if (!mesh) return;
  const int n = vertexIndices_.Count();
  ZASSERT(n == texCoords_.Count(), kAssertText);
  const GLenum primitive = FaceGroupPrimitive(mode_);
  const int vertexCount = mesh->Vertices()->Count();
  if (!IndicesBelow(vertexIndices_, vertexCount)) {
    LogSkippedGroup(ClassName(), "an index lies outside the vertex list");
    return;
  }
  const bool withColors = mesh->Colors()->Count() == vertexCount;
  const bool withNormals = mesh->Normals()->Count() == vertexCount;
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  TGLMultitextureCoordinator* coordinator = CurrentMultitextureCoordinator();
  gl.Begin(primitive);
  for (int i = 0; i < n; ++i) {
    const int32_t v = vertexIndices_.List()[i];
    coordinator->TexCoord2fv(&texCoords_.List()[i].X);
    if (withColors) gl.Color4fv(&mesh->Colors()->List()[v].X);
    if (withNormals) gl.Normal3fv(&mesh->Normals()->List()[v].X);
    gl.Vertex3fv(&mesh->Vertices()->List()[v].X);
  }
  gl.End();
  gl.CheckError();
}

void TFGIndexTexCoordList::AddToTriangles(TAffineVectorList* vertices, TAffineVectorList* texCoords,
                                          TAffineVectorList* normals) {
  TMeshObject* mesh = MeshObject();
  if (!mesh) return;
  AppendCorners(*mesh->Vertices(), vertices, vertexIndices_);
  AppendCorners(*mesh->Normals(), normals, vertexIndices_);
  if (!texCoords) return;
  const int n = std::min(vertexIndices_.Count(), texCoords_.Count());
  const TVector3f* t = texCoords_.List();
  switch (mode_) {
    case fgTriangleStrip: {
      TAffineVectorList strip;
      strip.SetCount(n);
      for (int i = 0; i < n; ++i) strip.List()[i] = t[i];
      StripToTriangles(strip, *texCoords);
      break;
    }
    case fgTriangleFan:
      for (int k = 2; k < n; ++k) texCoords->AddThree(t[0], t[k - 1], t[k]);
      break;
    case fgTriangles:
    case fgTriangles2:
      for (int i = 0; i < n / 3 * 3; ++i) texCoords->Add(t[i]);
      break;
    default:
      ZASSERT(false, kAssertText);
  }
}

void TFGIndexTexCoordList::CheckIndices(const TMeshObject& mesh) const {
  TFGVertexIndexList::CheckIndices(mesh);
  if (texCoords_.Count() != vertexIndices_.Count())
    throw EReadError(std::string(ClassName()) + " : texture coordinates do not match the indices");
}

// ---- TFaceGroups ----

TFaceGroups::~TFaceGroups() { Clear(); }

std::unique_ptr<TPersistentObject> TFaceGroups::NewInstance() const {
  return std::make_unique<TFaceGroups>();
}

void TFaceGroups::Clear() {
  // As for the mesh-object list: a failed read may leave items of another class behind.
  for (int i = 0; i < Count(); ++i) {
    TObject* item = Get(i);
    if (auto* group = dynamic_cast<TFaceGroup*>(item)) group->SetOwner(nullptr);
    delete item;
  }
  TPersistentObjectList::Clear();
}

void TFaceGroups::ReadFromFiler(TVirtualReader& reader) {
  Clear();
  TPersistentObjectList::ReadFromFiler(reader);
  AdoptArchiveItems<TFaceGroup>(*this);
}

void TFaceGroups::AddToTriangles(TAffineVectorList* vertices, TAffineVectorList* texCoords,
                                 TAffineVectorList* normals) {
  for (int i = 0; i < Count(); ++i) GetFaceGroup(i)->AddToTriangles(vertices, texCoords, normals);
}

void TFaceGroups::BindMaterialCache(TGLMaterialLibrary* library) {
  for (int i = 0; i < Count(); ++i) GetFaceGroup(i)->BindMaterialCache(library);
}

void TFaceGroups::ReleaseMaterialCache() {
  for (int i = 0; i < Count(); ++i)
    if (auto* group = dynamic_cast<TFaceGroup*>(Get(i))) group->ReleaseMaterialCache();
}

}  // namespace gl3d
