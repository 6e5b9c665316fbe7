// Drawing a mesh object: the colour-material reset, the vertex arrays (client memory or buffer
// objects), immediate mode for the two plain modes, the face groups, and the lightmap unit.
#include <GL/gl.h>
#include <GL/glext.h>

#include "common/Exception.h"
#include "scene3d/gl/GLContext.h"
#include "scene3d/gl/GLStateCache.h"
#include "scene3d/scene/material/GLMaterialLibrary.h"
#include "scene3d/scene/mesh/MeshObject.h"
#include "scene3d/scene/mesh/MeshUtils.h"
#include "scene3d/scene/texture/GLMultitextureCoordinator.h"

namespace gl3d {

namespace {

constexpr const char* kAssertText = "Assertion failed (GLVectorFileObjects)";

// Uploads list into buffer (made on first use) when the buffer's data is stale. A list whose
// length changed without a structure change is uploaded too: the arrays are declared for the
// list's length, and the draw must not read past the end of the buffer. False when the driver
// gave no buffer name, so buffers cannot be used.
bool UploadList(std::unique_ptr<TGLVBOArrayBufferHandle>& buffer, const TBaseList& list) {
  if (!buffer) buffer = std::make_unique<TGLVBOArrayBufferHandle>();
  if (buffer->AllocateHandle() == 0) return false;
  const GLsizeiptr bytes = static_cast<GLsizeiptr>(list.Count()) * list.ItemSize();
  if (buffer->IsDataNeedUpdate() || buffer->BufferSize() != bytes) {
    buffer->BufferData(list.BaseList(), bytes, GL_STREAM_DRAW);
    buffer->NotifyDataUpdated();
    buffer->UnBind();
  }
  return true;
}

// The tag of the current grouped-by-material draw; only the drawing thread uses it.
int32_t gDrawTag = 0;

void BindIf(bool withBuffers, TGLVBOArrayBufferHandle* buffer) {
  if (withBuffers && buffer) buffer->Bind();
}

}  // namespace

void TMeshObject::SetValidBuffers(TMeshObjectBuffers buffers) {
  if (buffers == validBuffers_) return;
  validBuffers_ = buffers;
  for (auto* buffer : {verticesBuffer_.get(), normalsBuffer_.get(), colorsBuffer_.get(),
                       texCoordsBuffer_.get(), lightmapBuffer_.get()})
    if (buffer) buffer->NotifyChangesOfData();
  for (auto& buffer : texCoordsExBuffers_)
    if (buffer) buffer->NotifyChangesOfData();
}

void TMeshObject::InvalidateBuffers() {
  SetValidBuffers(0);
  for (int i = 0; i < faceGroups_.Count(); ++i) faceGroups_.GetFaceGroup(i)->InvalidateBuffers();
}

void TMeshObject::PrepareBuildList(TRenderContextInfo& rci) {
  if (mode_ != moFaceGroups || !rci.MaterialLibrary) return;
  for (int i = 0; i < faceGroups_.Count(); ++i)
    if (TGLLibMaterial* material = faceGroups_.GetFaceGroup(i)->MaterialCache()) material->PrepareTexture();
}

void TMeshObject::BuildList(TRenderContextInfo& rci) {
  arraysDeclared_ = false;
  lastMapping_ = 0;
  if (vertices_.Count() == colors_.Count()) ResetColorMaterial(rci);
  switch (mode_) {
    case moTriangles:
    case moTriangleStrip:
      if (vertices_.Count() > 0) {
        DeclareArraysToOpenGL(rci, false);
        DrawImmediate(rci);
      }
      break;
    case moFaceGroups:
      DrawFaceGroups(rci);
      break;
    default:
      ZASSERT(false, kAssertText);
  }
  DisableOpenGLArrays(rci);
}

void TMeshObject::DrawImmediate(TRenderContextInfo&) {
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  TGLMultitextureCoordinator* coordinator = CurrentMultitextureCoordinator();
  const int n = vertices_.Count();
  const bool withNormals = normals_.Count() == n;
  const bool withTexCoords = texCoords_.Count() == n;
  const bool withColors = colors_.Count() == n;
  // An extra list is used only when it covers every vertex.
  std::vector<const TVector4f*> extra(texCoordsEx_.size(), nullptr);
  if (gl.ARB_multitexture)
    for (size_t k = 0; k < texCoordsEx_.size(); ++k)
      if (TexCoordsExCoversVertices(static_cast<int>(k))) extra[k] = texCoordsEx_[k]->List();
  gl.Begin(mode_ == moTriangles ? GL_TRIANGLES : GL_TRIANGLE_STRIP);
  for (int i = 0; i < n; ++i) {
    if (withNormals) gl.Normal3fv(&normals_.List()[i].X);
    if (withColors) gl.Color4fv(&colors_.List()[i].X);
    if (!extra.empty() && extra[0])
      gl.MultiTexCoord4fv(GL_TEXTURE0, &extra[0][i].X);
    else if (withTexCoords)
      coordinator->TexCoord2fv(&texCoords_.List()[i].X);
    for (size_t k = 1; k < extra.size(); ++k)
      if (extra[k]) gl.MultiTexCoord4fv(GL_TEXTURE0 + static_cast<GLenum>(k), &extra[k][i].X);
    gl.Vertex3fv(&vertices_.List()[i].X);
  }
  gl.End();
}

void TMeshObject::DrawFaceGroups(TRenderContextInfo& rci) {
  if (!rci.MaterialLibrary) {
    for (int i = 0; i < faceGroups_.Count(); ++i) faceGroups_.GetFaceGroup(i)->BuildList(rci);
    return;
  }
  if (renderingOptions_ & RenderingOptionBit(moroGroupByMaterial))
    DrawGroupedByMaterial(rci);
  else
    DrawMaterialRuns(rci);
  // Materials may have switched face culling; the buffer's setting comes back.
  TGLStateCache& states = *rci.StateCache;
  if (states.IsEnabled(capCullFace) && !rci.FaceCulling)
    states.Disable(capCullFace);
  else if (!states.IsEnabled(capCullFace) && rci.FaceCulling)
    states.Enable(capCullFace);
}

void TMeshObject::DrawGroupedByMaterial(TRenderContextInfo& rci) {
  const int32_t tag = gDrawTag++;
  const int n = faceGroups_.Count();
  for (int i = 0; i < n; ++i) {
    TFaceGroup* first = faceGroups_.GetFaceGroup(i);
    if (first->DrawTag() == tag) continue;
    TGLLibMaterial* material = first->MaterialCache();
    if (material) material->Apply(rci);
    for (int j = i; j < n; ++j) {
      TFaceGroup* group = faceGroups_.GetFaceGroup(j);
      if (group->DrawTag() != tag && group->MaterialCache() == material) {
        group->SetDrawTag(tag);
        group->BuildList(rci);
      }
    }
    if (!material) continue;
    // Every further pass draws the groups of the material again.
    while (material->UnApply(rci))
      for (int j = i; j < n; ++j)
        if (faceGroups_.GetFaceGroup(j)->MaterialCache() == material)
          faceGroups_.GetFaceGroup(j)->BuildList(rci);
  }
}

void TMeshObject::DrawMaterialRuns(TRenderContextInfo& rci) {
  const int n = faceGroups_.Count();
  for (int i = 0; i < n;) {
    TGLLibMaterial* material = faceGroups_.GetFaceGroup(i)->MaterialCache();
    if (!material) {
      faceGroups_.GetFaceGroup(i++)->BuildList(rci);
      continue;
    }
    int end = i;
    while (end < n && faceGroups_.GetFaceGroup(end)->MaterialCache() == material) ++end;
    material->Apply(rci);
    do {
      for (int j = i; j < end; ++j) faceGroups_.GetFaceGroup(j)->BuildList(rci);
    } while (material->UnApply(rci));
    i = end;
  }
}

void TMeshObject::UploadBuffers() {
  struct TEntry {
    std::unique_ptr<TGLVBOArrayBufferHandle>& buffer;
    const TBaseList& list;
    TMeshObjectBuffer bit;
  };
  const TEntry entries[] = {{verticesBuffer_, vertices_, vbVertices},
                            {normalsBuffer_, normals_, vbNormals},
                            {colorsBuffer_, colors_, vbColors},
                            {texCoordsBuffer_, texCoords_, vbTexCoords},
                            {lightmapBuffer_, lightMapTexCoords_, vbLightMapTexCoords}};
  for (const TEntry& e : entries) {
    if (e.list.Count() == 0) continue;
    if (!UploadList(e.buffer, e.list)) {
      useVBO_ = false;
      return;
    }
    validBuffers_ |= MeshBufferBit(e.bit);
  }
  if (!texCoordsEx_.empty()) {
    texCoordsExBuffers_.resize(texCoordsEx_.size());
    for (size_t i = 0; i < texCoordsEx_.size(); ++i) {
      if (texCoordsEx_[i]->Count() == 0) continue;
      if (!UploadList(texCoordsExBuffers_[i], *texCoordsEx_[i])) {
        useVBO_ = false;
        return;
      }
    }
    validBuffers_ |= MeshBufferBit(vbTexCoordsEx);
  }
  CurrentGLEntryPoints().CheckError();
}

void TMeshObject::DeclareTexCoordArray(bool bindBuffer) {
  TGLMultitextureCoordinator* coordinator = CurrentMultitextureCoordinator();
  BindIf(bindBuffer, texCoordsBuffer_.get());
  coordinator->EnableClientState(GL_TEXTURE_COORD_ARRAY);
  coordinator->TexCoordPointer(2, GL_FLOAT, 12, drawingFromBuffers_ ? nullptr : texCoords_.List());
}

void TMeshObject::DeclareArraysToOpenGL(TRenderContextInfo& rci, bool force) {
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  TGLMultitextureCoordinator* coordinator = CurrentMultitextureCoordinator();
  if (arraysDeclared_ && !force) {
    // A material applied between two groups may feed other texture units.
    if (!rci.IgnoreMaterials && rci.DrawMode != dsPicking && TexCoordsCoverVertices()) {
      const int32_t mapping = coordinator->MappingBits();
      if (mapping != lastMapping_) {
        DeclareTexCoordArray(drawingFromBuffers_);
        lastMapping_ = mapping;
      }
    }
    return;
  }
  useVBO_ = useVBO_ && gl.ARB_vertex_buffer_object && !rci.StateCache->InsideList();
  if (useVBO_) UploadBuffers();
  drawingFromBuffers_ = useVBO_;
  const bool buffers = drawingFromBuffers_;
  auto pointer = [buffers](const TBaseList& list) -> const void* {
    return buffers ? nullptr : list.BaseList();
  };

  if (rci.IgnoreMaterials) {
    gl.DisableClientState(GL_NORMAL_ARRAY);
    gl.DisableClientState(GL_COLOR_ARRAY);
    coordinator->DisableClientState(GL_TEXTURE_COORD_ARRAY);
  } else {
    if (NormalsCoverVertices()) {
      BindIf(buffers, normalsBuffer_.get());
      gl.EnableClientState(GL_NORMAL_ARRAY);
      gl.NormalPointer(GL_FLOAT, 0, pointer(normals_));
    } else {
      gl.DisableClientState(GL_NORMAL_ARRAY);
    }
    if (ColorsCoverVertices()) {
      BindIf(buffers, colorsBuffer_.get());
      gl.EnableClientState(GL_COLOR_ARRAY);
      gl.ColorPointer(4, GL_FLOAT, 0, pointer(colors_));
    } else {
      gl.DisableClientState(GL_COLOR_ARRAY);
    }
    if (TexCoordsCoverVertices())
      DeclareTexCoordArray(buffers);
    else
      coordinator->DisableClientState(GL_TEXTURE_COORD_ARRAY);
    if (gl.ARB_multitexture) {
      if (LightMapCoversVertices()) {
        BindIf(buffers, lightmapBuffer_.get());
        gl.ClientActiveTexture(GL_TEXTURE1);
        gl.TexCoordPointer(2, GL_FLOAT, 12, pointer(lightMapTexCoords_));
        gl.EnableClientState(GL_TEXTURE_COORD_ARRAY);
      }
      for (size_t i = 0; i < texCoordsEx_.size(); ++i) {
        if (!TexCoordsExCoversVertices(static_cast<int>(i))) continue;
        BindIf(buffers, i < texCoordsExBuffers_.size() ? texCoordsExBuffers_[i].get() : nullptr);
        gl.ClientActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(i));
        gl.TexCoordPointer(4, GL_FLOAT, 16, pointer(*texCoordsEx_[i]));
        gl.EnableClientState(GL_TEXTURE_COORD_ARRAY);
      }
      gl.ClientActiveTexture(GL_TEXTURE0);
    }
  }
  if (vertices_.Count() > 0) {
    BindIf(buffers, verticesBuffer_.get());
    gl.EnableClientState(GL_VERTEX_ARRAY);
    gl.VertexPointer(3, GL_FLOAT, 0, pointer(vertices_));
  } else {
    gl.DisableClientState(GL_VERTEX_ARRAY);
  }
  if (gl.EXT_compiled_vertex_array && lightMapTexCoords_.Count() == 0 && !buffers)
    gl.LockArrays(0, vertices_.Count());
  lastLightmapIndex_ = -1;
  arraysDeclared_ = true;
  lightmapArrayEnabled_ = false;
  if (rci.DrawMode != dsPicking) lastMapping_ = coordinator->MappingBits();
}

void TMeshObject::DisableOpenGLArrays(TRenderContextInfo& rci) {
  if (!arraysDeclared_) return;
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  DisableLightmapUnit(rci);
  const bool buffers = drawingFromBuffers_;
  if (gl.EXT_compiled_vertex_array && lightMapTexCoords_.Count() == 0 && !buffers) gl.UnlockArrays();
  if (vertices_.Count() > 0) gl.DisableClientState(GL_VERTEX_ARRAY);
  if (!rci.IgnoreMaterials) {
    if (NormalsCoverVertices()) gl.DisableClientState(GL_NORMAL_ARRAY);
    if (ColorsCoverVertices()) gl.DisableClientState(GL_COLOR_ARRAY);
    if (TexCoordsCoverVertices())
      CurrentMultitextureCoordinator()->DisableClientState(GL_TEXTURE_COORD_ARRAY);
    if (gl.ARB_multitexture) {
      if (LightMapCoversVertices()) {
        gl.ClientActiveTexture(GL_TEXTURE1);
        gl.DisableClientState(GL_TEXTURE_COORD_ARRAY);
      }
      for (size_t i = 0; i < texCoordsEx_.size(); ++i) {
        if (!TexCoordsExCoversVertices(static_cast<int>(i))) continue;
        gl.ClientActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(i));
        gl.DisableClientState(GL_TEXTURE_COORD_ARRAY);
      }
      gl.ClientActiveTexture(GL_TEXTURE0);
    }
  }
  if (buffers) {
    // Every array buffer shares the one binding point; unbinding it once releases them all.
    for (auto* buffer : {verticesBuffer_.get(), normalsBuffer_.get(), colorsBuffer_.get(),
                         texCoordsBuffer_.get(), lightmapBuffer_.get()})
      if (buffer) {
        buffer->UnBind();
        break;
      }
  }
  arraysDeclared_ = false;
}

void TMeshObject::EnableLightmapUnit(TRenderContextInfo& rci) {
  if (!CurrentGLEntryPoints().ARB_multitexture || rci.IgnoreMaterials) return;
  ZASSERT(arraysDeclared_, kAssertText);
  if (lightmapArrayEnabled_) return;
  TGLStateCache& states = *rci.StateCache;
  states.SetActiveTexture(1);
  states.SetActiveTextureEnabled(ttTexture2D, true);
  states.SetActiveTexture(0);
  lightmapArrayEnabled_ = true;
}

void TMeshObject::DisableLightmapUnit(TRenderContextInfo& rci) {
  if (!lightmapArrayEnabled_) return;
  TGLStateCache& states = *rci.StateCache;
  states.SetActiveTexture(1);
  states.SetActiveTextureEnabled(ttTexture2D, false);
  states.SetActiveTexture(0);
  lightmapArrayEnabled_ = false;
}

}  // namespace gl3d
