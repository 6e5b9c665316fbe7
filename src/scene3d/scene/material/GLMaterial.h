#pragma once
// The material of a scene object: front and back face colours, depth settings, a blending mode,
// options that switch lighting and fog off for the object, face culling, polygon mode, a texture
// and a list of extra textures; or, instead of all that, the name of a material in a material
// library. The renderer calls Apply before an object draws and UnApply after it (a true answer
// asks for another pass). Everything goes through the state cache, so an unchanged material
// costs no GL call.
//
// The abstract library material, its collection and the abstract material library live here too,
// because a material links to them by name; the concrete library (textures by folder, second
// texture, shader, archive) is GLMaterialLibrary.h.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene3d/base/BaseClasses.h"
#include "scene3d/base/Collection.h"
#include "scene3d/gl/GLStateCache.h"
#include "scene3d/scene/core/GLRenderContextInfo.h"
#include "scene3d/scene/material/GLMaterialProperties.h"
#include "scene3d/scene/texture/GLTexture.h"
#include "scene3d/scene/texture/GLTextureEx.h"

namespace gl3d {

class TGLAbstractLibMaterial;
class TGLAbstractLibMaterials;
class TGLAbstractMaterialLibrary;
class TGLMaterialLibrary;

enum TBlendingMode : uint8_t {
  bmOpaque,
  bmTransparency,
  bmAdditive,
  bmAlphaTest50,
  bmAlphaTest100,
  bmModulate,
  bmCustom
};
enum TFaceCulling : uint8_t { fcBufferDefault, fcCull, fcNoCull };
enum TMaterialOption : uint8_t { moIgnoreFog, moNoLighting };
// Bit n for the option of ordinal n.
using TMaterialOptions = uint8_t;
constexpr TMaterialOptions MaterialOptionBit(TMaterialOption o) {
  return static_cast<TMaterialOptions>(1u << o);
}

// Implemented by what belongs to a material library.
class IGLMaterialLibrarySupported {
 public:
  virtual ~IGLMaterialLibrarySupported() = default;
  virtual TGLAbstractMaterialLibrary* GetMaterialLibrary() const = 0;
};

class TGLMaterial : public TGLUpdateAbleObject,
                    public IGLTextureNotifyAble,
                    public IGLMaterialLibrarySupported {
 public:
  // Front, depth and blending settings at their defaults; no texture, texture list or back
  // properties until they are first read.
  explicit TGLMaterial(TPersistent* owner);
  // Leaves the linked library material and the library first.
  ~TGLMaterial() override;
  TGLMaterial(const TGLMaterial&) = delete;
  TGLMaterial& operator=(const TGLMaterial&) = delete;
  const char* ClassName() const override { return "TGLMaterial"; }

  // From a material: back properties (freed here when the source has none), front properties,
  // polygon mode, blending mode, options, texture (freed here when the source has none), face
  // culling, library and library name, texture list and depth properties, then one notification.
  // The blending parameters are not copied. Anything else: EConvertError.
  void Assign(const TPersistent* source) override;
  // Tells an owner that can be notified; nothing else.
  void NotifyChange(TObject* sender) override;
  // Tells an owner that listens for texture-mapping changes, else NotifyChange.
  void NotifyTexMapChange(TObject* sender) override;
  TGLAbstractMaterialLibrary* GetMaterialLibrary() const override { return materialLibrary_; }

  // ---- Properties; each writer that copies a value notifies afterwards ----
  TGLFaceProperties* FrontProperties() const { return frontProperties_.get(); }
  void SetFrontProperties(const TGLFaceProperties* value);
  // Created on first read.
  TGLFaceProperties* GetBackProperties();
  // The BackProperties property, read through GetBackProperties.
  TGLFaceProperties* BackProperties() { return GetBackProperties(); }
  bool HasBackProperties() const { return backProperties_ != nullptr; }
  void SetBackProperties(const TGLFaceProperties* value);
  TGLDepthProperties* DepthProperties() const { return depthProperties_.get(); }
  void SetDepthProperties(const TGLDepthProperties* value);
  TGLBlendingParameters* BlendingParams() const { return blendingParams_.get(); }
  void SetBlendingParams(const TGLBlendingParameters* value);
  TBlendingMode BlendingMode() const { return blendingMode_; }
  void SetBlendingMode(TBlendingMode value);
  TMaterialOptions MaterialOptions() const { return materialOptions_; }
  void SetMaterialOptions(TMaterialOptions value);
  TFaceCulling FaceCulling() const { return faceCulling_; }
  void SetFaceCulling(TFaceCulling value);
  TPolygonMode PolygonMode() const { return polygonMode_; }
  void SetPolygonMode(TPolygonMode value);

  // The texture, created on first read (disabled, tmDecal, an empty persistent image).
  TGLTexture* ReadTexture();
  // The Texture property, read through ReadTexture.
  TGLTexture* Texture() { return ReadTexture(); }
  bool HasTexture() const { return texture_ != nullptr; }
  // nullptr frees the texture; anything else is copied into it.
  void SetTexture(const TGLTexture* value);
  // The extra textures, created on first read.
  TGLTextureEx* TextureEx();
  bool HasTextureEx() const { return textureEx_ != nullptr; }
  // Copies the value when the value or the own list exists.
  void SetTextureEx(const TGLTextureEx* value);

  // ---- The library link ----
  TGLAbstractMaterialLibrary* MaterialLibrary() const { return materialLibrary_; }
  // Stores the library, then resolves the current name in it. The library tells the material
  // when it is freed, and the material's library becomes nil (its name stays).
  void SetMaterialLibrary(TGLAbstractMaterialLibrary* value);
  const std::string& LibMaterialName() const { return libMaterialName_; }
  // Looks the name up in the library and links the material found (nullptr when none). A name
  // whose chain of library references runs back to this material, or past 16 steps, is refused:
  // "Cyclic reference detected in material "<name>"" is logged and nothing changes.
  void SetLibMaterialName(const std::string& value);
  // The library material the name resolved to, or nullptr.
  TGLAbstractLibMaterial* LibMaterial() const { return libMaterial_; }
  // Forgets library, name and link without notification (the linked material is going).
  void ClearLibraryLink();

  // What a description stores: the face, depth, blending and texture settings only while no
  // library material is linked; the texture list only when it has items.
  bool StoreMaterialProps() const { return libMaterial_ == nullptr; }
  bool StoreTextureEx() const { return textureEx_ && textureEx_->Count() > 0; }

  // ---- Rendering ----
  // With a library material, that one's answer; otherwise true for the blending modes that
  // blend (bmTransparency, bmAdditive, bmModulate, bmCustom).
  bool Blended() const;
  void DestroyHandles();
  // Uploads an enabled texture now (before a display list is compiled).
  void PrepareTexture();
  // The texture list's matrices after a load.
  void Loaded();
  // Polygon mode, lighting and front colours, culling and back colours, blending, fog, textures
  // and depth settings, in that order; a linked library material applies itself instead.
  void Apply(TRenderContextInfo& rci);
  // Undoes the textures; false (no further pass) unless a linked library material asks for one.
  bool UnApply(TRenderContextInfo& rci);

 private:
  friend class TGLMaterialLibrary;  // its archive fills colours and options without notification
  bool ChainIsCyclic(const TGLAbstractLibMaterial* found) const;
  // Stores the library and moves the material to its list of users.
  void ReplaceLibrary(TGLAbstractMaterialLibrary* value);
  void ApplyBlending(TRenderContextInfo& rci);
  void ApplyTextures(TRenderContextInfo& rci);

  std::unique_ptr<TGLFaceProperties> frontProperties_;
  std::unique_ptr<TGLFaceProperties> backProperties_;
  std::unique_ptr<TGLDepthProperties> depthProperties_;
  TBlendingMode blendingMode_ = bmOpaque;
  std::unique_ptr<TGLBlendingParameters> blendingParams_;
  std::unique_ptr<TGLTexture> texture_;
  std::unique_ptr<TGLTextureEx> textureEx_;
  TGLAbstractMaterialLibrary* materialLibrary_ = nullptr;
  std::string libMaterialName_;
  TMaterialOptions materialOptions_ = 0;
  TFaceCulling faceCulling_ = fcBufferDefault;
  TPolygonMode polygonMode_ = pmFill;
  TGLAbstractLibMaterial* libMaterial_ = nullptr;
};

// The hash that speeds up name lookups: h := length, then h := 2h + the low byte of each
// character, in 32-bit arithmetic.
uint32_t NameHashKey(const std::string& name);

// A named material of a library, shared by the objects that name it. They register as its users
// and hear of its changes.
class TGLAbstractLibMaterial : public TCollectionItem,
                               public IGLNotifyAble,
                               public IGLTextureNotifyAble,
                               public IGLMaterialLibrarySupported {
 public:
  // In a collection the name is "LibMaterial", made unique.
  explicit TGLAbstractLibMaterial(TCollection* collection);
  ~TGLAbstractLibMaterial() override;
  const char* ClassName() const override { return "TGLAbstractLibMaterial"; }

  // From a library material: its name, made unique. Anything else: EConvertError.
  void Assign(const TPersistent* source) override;
  std::string GetDisplayName() const override { return name_; }
  TGLAbstractMaterialLibrary* GetMaterialLibrary() const override;

  const std::string& Name() const { return name_; }
  // While the library is being loaded, and when the value is this material's own name, taken as
  // it is; otherwise made unique in the collection.
  void SetName(const std::string& value);
  uint32_t NameHash() const { return nameHash_; }
  int32_t Tag() const { return tag_; }
  void SetTag(int32_t value) { tag_ = value; }

  virtual void Loaded() = 0;
  virtual void Apply(TRenderContextInfo& rci) = 0;
  virtual bool UnApply(TRenderContextInfo& rci) = 0;
  virtual bool Blended() const { return false; }
  // The material whose library name continues a chain of references from this one (nullptr when
  // this kind of library material has none).
  virtual const TGLMaterial* ChainMaterial() const { return nullptr; }

  // A user is added once (a second registration fails an assertion).
  void RegisterUser(TGLMaterial* material) { AddUser(material); }
  void RegisterUser(TGLAbstractLibMaterial* libMaterial) { AddUser(libMaterial); }
  void UnRegisterUser(TObject* user);
  int UserCount() const { return static_cast<int>(users_.size()); }
  // Each user in order: a material or an update-able object or component hears NotifyChange, a
  // library material tells its own users. Not re-entered.
  virtual void NotifyUsers();
  void NotifyChange(TObject*) override { NotifyUsers(); }
  // Materials and library materials hear of the mapping change, other users of a plain change.
  void NotifyTexMapChange(TObject* sender) override;

 protected:
  const std::vector<TObject*>& Users() const { return users_; }

 private:
  void AddUser(TObject* user);
  std::vector<TObject*> users_;
  std::string name_;
  uint32_t nameHash_ = 0;
  int32_t tag_ = 0;
  bool notifying_ = false;
};

class TGLAbstractLibMaterials : public TOwnedCollection {
 public:
  TGLAbstractLibMaterials(TPersistent* owner, TCollectionItemClass itemClass)
      : TOwnedCollection(owner, itemClass) {}
  const char* ClassName() const override { return "TGLAbstractLibMaterials"; }
  TGLAbstractLibMaterial* Items(int index) const {
    return static_cast<TGLAbstractLibMaterial*>(GetItem(index));
  }
  // The first material with the name (case-sensitive), nullptr when none.
  TGLAbstractLibMaterial* FindMaterial(const std::string& name) const;
  // base when no material has it, else base followed by 1, 2, ... (the first free number).
  virtual std::string MakeUniqueName(const std::string& base) const;
  // Each material's Loaded, the last first.
  void Loaded();
};

class TGLAbstractMaterialLibrary : public TGLCadenceAbleComponent {
 public:
  explicit TGLAbstractMaterialLibrary(TComponent* owner) : TGLCadenceAbleComponent(owner) {}
  // Tells the materials that use the library, when a descendant did not already.
  ~TGLAbstractMaterialLibrary() override;
  const char* ClassName() const override { return "TGLAbstractMaterialLibrary"; }
  TGLAbstractLibMaterials* Materials() const { return materials_.get(); }
  void Loaded() override;
  // Applies the named material and remembers it; false when there is none.
  virtual bool ApplyMaterial(const std::string& name, TRenderContextInfo& rci);
  // UnApply of the material applied last; false when none is. It is forgotten once it asks for
  // no further pass.
  virtual bool UnApplyMaterial(TRenderContextInfo& rci);
  TGLAbstractLibMaterial* LastAppliedMaterial() const { return lastAppliedMaterial_; }

  // The materials whose MaterialLibrary is this library, kept by the materials themselves. Like
  // a component's free notification: when the library is freed, each of them hears of it and
  // sets its MaterialLibrary to nil, so that none keeps a pointer to a freed library.
  void AddMaterialUser(TGLMaterial* material);
  void RemoveMaterialUser(TGLMaterial* material);
  int MaterialUserCount() const { return static_cast<int>(materialUsers_.size()); }

 protected:
  friend class TGLAbstractLibMaterial;  // a material that goes is no longer the one applied
  // Sets MaterialLibrary to nil on every material that uses the library. A descendant calls it
  // first thing in its destructor, while its library materials still exist for the materials
  // to leave.
  void ReleaseMaterialUsers();
  std::unique_ptr<TGLAbstractLibMaterials> materials_;
  TGLAbstractLibMaterial* lastAppliedMaterial_ = nullptr;

 private:
  std::vector<TGLMaterial*> materialUsers_;
};

}  // namespace gl3d
