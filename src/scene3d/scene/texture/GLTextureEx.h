#pragma once
// Extra textures of a material, each on a texture unit of its own with its own texture matrix
// (offset and scale). A material holds them in its TextureEx list; when the list has an enabled
// texture on unit 0, or the material has no main texture, the material applies the list instead
// of its main texture. Textures above unit 0 that use the program's own texture coordinates are
// added to the multitexturing coordinator, so geometry sends its coordinates to those units too.
#include <cstdint>
#include <memory>
#include <string>

#include "scene3d/base/Collection.h"
#include "scene3d/scene/texture/GLTexture.h"

namespace gl3d {

class TGLTextureEx;

class TGLTextureExItem : public TCollectionItem, public IGLNotifyAble, public IGLTextureNotifyAble {
 public:
  // TextureIndex starts as the item's ID in its collection; offset (0, 0, 0, 0), scale (1, 1, 1, 0).
  explicit TGLTextureExItem(TCollection* collection);
  ~TGLTextureExItem() override;
  static TCollectionItem* Create(TCollection* collection) { return new TGLTextureExItem(collection); }
  const char* ClassName() const override { return "TGLTextureExItem"; }

  // From another item: its texture, unit, offset and scale, then a change. Anything else:
  // EConvertError.
  void Assign(const TPersistent* source) override;
  // "Tex [<TextureIndex>]".
  std::string GetDisplayName() const override;

  TGLTexture* Texture() const { return texture_.get(); }
  // The texture copies the value.
  void SetTexture(const TGLTexture* value);
  int32_t TextureIndex() const { return textureIndex_; }
  // Negative values store 0.
  void SetTextureIndex(int32_t value);
  TGLCoordinates3* TextureOffset() const { return offset_.get(); }
  TGLCoordinates3* TextureScale() const { return scale_.get(); }
  void SetTextureOffset(const TGLCoordinates3* value);
  void SetTextureScale(const TGLCoordinates3* value);

  // Tells the list, which tells its material.
  void NotifyChange(TObject* sender) override;
  // Passed on to the list's material when it listens for such changes.
  void NotifyTexMapChange(TObject* sender) override;
  // The identity for the default offset and scale (then loaded as such), else scale on the
  // diagonal and offset in the translation row; then a change.
  void CalculateTextureMatrix();
  const TMatrix4f& TextureMatrix() const { return matrix_; }
  bool TextureMatrixIsIdentity() const { return matrixIsIdentity_; }

  // An enabled texture goes on unit TextureIndex, its matrix pushed on that unit's texture matrix
  // stack; UnApply undoes what Apply did.
  void Apply(TRenderContextInfo& rci);
  void UnApply(TRenderContextInfo& rci);
  bool Applied() const { return applied_; }

 private:
  TGLTextureEx* List() const;
  std::unique_ptr<TGLTexture> texture_;
  int32_t textureIndex_ = 0;
  std::unique_ptr<TGLCoordinates3> offset_;
  std::unique_ptr<TGLCoordinates3> scale_;
  TMatrix4f matrix_ = IdentityMatrix4f;
  bool matrixIsIdentity_ = false;
  bool applied_ = false;
};

class TGLTextureEx : public TCollection {
 public:
  // An empty list of the material (any persistent; it hears of changes when it can be told).
  explicit TGLTextureEx(TPersistent* material);
  const char* ClassName() const override { return "TGLTextureEx"; }
  TPersistent* GetOwner() const override { return material_; }

  TGLTextureExItem* Items(int index) const { return static_cast<TGLTextureExItem*>(GetItem(index)); }
  void SetItems(int index, const TGLTextureExItem* value) { Items(index)->Assign(value); }
  TGLTextureExItem* Add() { return static_cast<TGLTextureExItem*>(TCollection::Add()); }

  // The material's NotifyChange, with the list as the sender.
  void NotifyChange();
  // Every item's matrix from its offset and scale (after the material was read).
  void Loaded();
  // Whether an item on the unit has an enabled texture.
  bool IsTextureEnabled(int32_t index) const;

  // Needs GL_ARB_multitexture. Items on units the context has are applied in list order; the
  // units above 0 with user coordinates are added to the multitexturing coordinator.
  void Apply(TRenderContextInfo& rci);
  void UnApply(TRenderContextInfo& rci);

 private:
  TPersistent* material_;
};

}  // namespace gl3d
