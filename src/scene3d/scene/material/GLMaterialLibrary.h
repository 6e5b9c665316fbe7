#pragma once
// Material libraries: components holding named materials that many objects share by name
// (GLMaterial.h links a material to one). A library material adds to its material a texture
// matrix (offset, scale, rotation about Z), an optional second texture taken from another
// material of the same library, and an optional shader (GLShader.h). The library finds texture
// files in a list of folders and keeps its materials in a binary archive:
//
//   Integer version (4 written, 0 to 4 read), Integer material count, then per material:
//   String name; Boolean has image; [String BMP file, one character per byte (Windows-1252);
//   texture parameters (v3)]; front colours (ambient RGB, diffuse RGBA, emission RGB, specular
//   RGB as singles); shininess byte, polygon mode, back colours and shininess, polygon mode again,
//   blending mode (v1); custom blending (v3); face culling (v3); Integer option byte count and the
//   options (v1); texture offset and scale (v1); String second texture (v1); Float rotation (v4);
//   extra textures (v2).
//
// Integers, Booleans, Strings and Floats are the archive's tagged values (PersistentClasses.h).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene3d/base/PersistentClasses.h"
#include "scene3d/scene/core/GLCoordinates.h"
#include "scene3d/scene/material/GLMaterial.h"
#include "scene3d/scene/material/GLShader.h"
#include "scene3d/scene/texture/picture/Graphic.h"

namespace gl3d {

class TGLMaterialLibrary;

class TGLLibMaterial : public TGLAbstractLibMaterial, public IGLShaderUser {
 public:
  // The material's texture exists at once and asks FindTextureFile for its files; offset
  // (0, 0, 0, 0), scale (1, 1, 1, 0), no rotation: the identity texture matrix.
  explicit TGLLibMaterial(TCollection* collection);
  static TCollectionItem* Create(TCollection* collection) { return new TGLLibMaterial(collection); }
  // Drops the shader and the second texture; every material that links here forgets the link,
  // every library material that takes its second texture from here forgets that name.
  ~TGLLibMaterial() override;
  const char* ClassName() const override { return "TGLLibMaterial"; }

  // From a library material: material, offset, scale, rotation, matrix, second-texture name and
  // shader, then the name (made unique). Anything else: EConvertError.
  void Assign(const TPersistent* source) override;

  TGLMaterial* Material() const { return material_.get(); }
  void SetMaterial(const TGLMaterial* value) { material_->Assign(value); }
  TGLCoordinates3* TextureOffset() const { return textureOffset_.get(); }
  TGLCoordinates3* TextureScale() const { return textureScale_.get(); }
  // Each takes the value's vector and recomputes the matrix.
  void SetTextureOffset(const TGLCustomCoordinates* value);
  void SetTextureScale(const TGLCustomCoordinates* value);
  // Degrees about Z.
  float TextureRotate() const { return textureRotate_; }
  void SetTextureRotate(float value);
  bool StoreTextureRotate() const { return textureRotate_ > 1e-40f || textureRotate_ < -1e-40f; }
  const TMatrix4f& TextureMatrix() const { return textureMatrix_; }
  bool TextureMatrixIsIdentity() const { return textureMatrixIsIdentity_; }
  bool TextureMatrixIsExplicit() const { return textureMatrixIsExplicit_; }
  // A matrix of the caller's; identity when it is the identity byte for byte.
  void SetTextureMatrix(const TMatrix4f& matrix);
  // Scale and offset, then the rotation; the identity for the defaults.
  void CalculateTextureMatrix();

  // The name of the library material whose texture goes on the second unit.
  const std::string& Texture2Name() const { return texture2Name_; }
  void SetTexture2Name(const std::string& value);
  TGLLibMaterial* Texture2Link() const { return libMatTexture2_; }
  TGLShader* Shader() const { return shader_; }
  // The library material registers with the new shader and leaves the old one.
  void SetShader(TGLShader* value);

  bool Blended() const override { return material_->Blended(); }
  // The texture matrix, then the material's load completion.
  void Loaded() override;
  const TGLMaterial* ChainMaterial() const override { return material_.get(); }
  void PrepareTexture() { material_->PrepareTexture(); }
  // The material's handles, then those of the second-texture chain (each material once).
  void DestroyHandles();
  // The library's OnTextureNeeded first; then a name that is not absolute (no ":", no leading
  // "\" or "/") is tried in each texture folder in order, and the first file found replaces it.
  void FindTextureFile(TObject* sender, std::string& name);

  // Shader before, after or instead of the material; texture matrix; the material; the second
  // texture; all inside one multitexturing update.
  void Apply(TRenderContextInfo& rci) override;
  // True asks for another pass (the material stays applied).
  bool UnApply(TRenderContextInfo& rci) override;

  void NotifyUsers() override { TGLAbstractLibMaterial::NotifyUsers(); }
  void ShaderFreed(TGLShader*) override { SetShader(nullptr); }

 private:
  TGLMaterialLibrary* Library() const;
  void DropTexture2Link();
  // Resolves Texture2Name; the second texture to use, or nullptr.
  TGLLibMaterial* SecondTexture(TRenderContextInfo& rci);

  std::unique_ptr<TGLMaterial> material_;
  std::unique_ptr<TGLCoordinates3> textureOffset_;
  std::unique_ptr<TGLCoordinates3> textureScale_;
  float textureRotate_ = 0.0f;
  bool textureMatrixIsIdentity_ = true;
  bool textureMatrixIsExplicit_ = false;
  TMatrix4f textureMatrix_ = IdentityMatrix4f;
  std::string texture2Name_;
  TGLShader* shader_ = nullptr;
  TGLLibMaterial* libMatTexture2_ = nullptr;
};

class TGLLibMaterials : public TGLAbstractLibMaterials {
 public:
  explicit TGLLibMaterials(TPersistent* owner) : TGLAbstractLibMaterials(owner, &TGLLibMaterial::Create) {}
  const char* ClassName() const override { return "TGLLibMaterials"; }
  TGLLibMaterial* Items(int index) const { return static_cast<TGLLibMaterial*>(GetItem(index)); }
  void SetItems(int index, const TGLLibMaterial* value) { Items(index)->Assign(value); }
  TGLLibMaterial* Add() { return static_cast<TGLLibMaterial*>(TCollection::Add()); }
  // The first material of the name when it is a TGLLibMaterial, else nullptr.
  TGLLibMaterial* FindLibMaterial(const std::string& name) const;
  void DestroyHandles();
  void PrepareTextures();
};

class TGLMaterialLibrary : public TGLAbstractMaterialLibrary {
 public:
  explicit TGLMaterialLibrary(TComponent* owner);
  // A material still applied is logged as "Unbalanced material application" (a destructor
  // cannot raise).
  ~TGLMaterialLibrary() override;
  const char* ClassName() const override { return "TGLMaterialLibrary"; }

  TGLLibMaterials* Materials() const { return static_cast<TGLLibMaterials*>(materials_.get()); }
  void SetMaterials(const TGLLibMaterials* value) { materials_->Assign(value); }
  bool StoreMaterials() const { return materials_->Count() > 0; }
  TGLLibMaterial* FindLibMaterial(const std::string& name) const {
    return Materials()->FindLibMaterial(name);
  }

  // Folders separated by ";"; each piece is trimmed and, when not empty, ends with "/".
  const std::string& TexturePaths() const { return texturePaths_; }
  void SetTexturePaths(const std::string& value);
  const std::vector<std::string>& TextureFolders() const { return textureFolders_; }
  TTextureNeededEvent OnTextureNeeded;

  void DestroyHandles() { Materials()->DestroyHandles(); }
  // A new library material of the name (made unique) whose texture shows the graphic: enabled,
  // tmModulate, trilinear filtering.
  TGLLibMaterial* AddTextureMaterial(const std::string& name, const TGraphic* graphic);

  // The archive (version 4).
  void WriteArchive(TVirtualWriter& writer) const;
  // Reads an archive of version 0 to 4 into new materials, which replace the old ones only when
  // the whole archive was read. An unknown version raises EFilerException; truncated or damaged
  // data (counts, enumerations or option sizes out of range, a broken picture) EReadError.
  void ReadArchive(TVirtualReader& reader);
  void SaveToStream(TStream& stream) const;
  void LoadFromStream(TStream& stream);
  // The file is written under a temporary name that then replaces it.
  void SaveToFile(const std::string& fileName) const;
  void LoadFromFile(const std::string& fileName);

 private:
  static TGLLibMaterial* NewTextureMaterial(TGLLibMaterials& materials, const std::string& name,
                                            const TGraphic* graphic);
  // The fields of an archived material after its front colours.
  static void ReadMaterialBody(TVirtualReader& reader, int32_t version, TGLLibMaterial& libMaterial);
  std::string texturePaths_;
  std::vector<std::string> textureFolders_;
};

}  // namespace gl3d
