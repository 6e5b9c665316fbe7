#include "scene3d/scene/material/GLMaterial.h"

#include <algorithm>

#include "scene3d/gl/GLLog.h"

namespace gl3d {

namespace {
// How far SetLibMaterialName follows a chain of library references before it calls it cyclic.
constexpr int kMaxLibraryChain = 16;
}  // namespace

TGLMaterial::TGLMaterial(TPersistent* owner)
    : TGLUpdateAbleObject(owner),
      frontProperties_(std::make_unique<TGLFaceProperties>(this)),
      depthProperties_(std::make_unique<TGLDepthProperties>(this)),
      blendingParams_(std::make_unique<TGLBlendingParameters>(this)) {}

TGLMaterial::~TGLMaterial() {
  if (libMaterial_) libMaterial_->UnRegisterUser(this);
  if (materialLibrary_) materialLibrary_->RemoveMaterialUser(this);
}

void TGLMaterial::NotifyChange(TObject*) {
  if (auto* owner = dynamic_cast<IGLNotifyAble*>(Owner())) owner->NotifyChange(this);
}

void TGLMaterial::NotifyTexMapChange(TObject*) {
  if (auto* owner = dynamic_cast<IGLTextureNotifyAble*>(Owner()))
    owner->NotifyTexMapChange(this);
  else
    NotifyChange(this);
}

// ---- Properties ----

void TGLMaterial::SetFrontProperties(const TGLFaceProperties* value) {
  frontProperties_->Assign(value);
  NotifyChange(this);
}

TGLFaceProperties* TGLMaterial::GetBackProperties() {
  if (!backProperties_) backProperties_ = std::make_unique<TGLFaceProperties>(this);
  return backProperties_.get();
}

void TGLMaterial::SetBackProperties(const TGLFaceProperties* value) {
  BackProperties()->Assign(value);
  NotifyChange(this);
}

void TGLMaterial::SetDepthProperties(const TGLDepthProperties* value) {
  depthProperties_->Assign(value);
  NotifyChange(this);
}

void TGLMaterial::SetBlendingParams(const TGLBlendingParameters* value) {
  blendingParams_->Assign(value);
  NotifyChange(this);
}

void TGLMaterial::SetBlendingMode(TBlendingMode value) { ChangeAndNotify(*this, blendingMode_, value); }
void TGLMaterial::SetMaterialOptions(TMaterialOptions value) {
  ChangeAndNotify(*this, materialOptions_, value);
}
void TGLMaterial::SetFaceCulling(TFaceCulling value) { ChangeAndNotify(*this, faceCulling_, value); }
void TGLMaterial::SetPolygonMode(TPolygonMode value) { ChangeAndNotify(*this, polygonMode_, value); }

TGLTexture* TGLMaterial::ReadTexture() {
  if (!texture_) texture_ = std::make_unique<TGLTexture>(this);
  return texture_.get();
}

void TGLMaterial::SetTexture(const TGLTexture* value) {
  if (!value) {
    texture_.reset();
    return;
  }
  Texture()->Assign(value);
}

TGLTextureEx* TGLMaterial::TextureEx() {
  if (!textureEx_) textureEx_ = std::make_unique<TGLTextureEx>(this);
  return textureEx_.get();
}

void TGLMaterial::SetTextureEx(const TGLTextureEx* value) {
  if (value || textureEx_) TextureEx()->Assign(value);
}

void TGLMaterial::Assign(const TPersistent* source) {
  const auto* src = dynamic_cast<const TGLMaterial*>(source);
  if (!src) {
    TGLUpdateAbleObject::Assign(source);
    return;
  }
  if (src == this) return;
  if (src->backProperties_)
    BackProperties()->Assign(src->backProperties_.get());
  else
    backProperties_.reset();
  frontProperties_->Assign(src->frontProperties_.get());
  polygonMode_ = src->polygonMode_;
  blendingMode_ = src->blendingMode_;
  materialOptions_ = src->materialOptions_;
  if (src->texture_)
    Texture()->Assign(src->texture_.get());
  else
    texture_.reset();
  faceCulling_ = src->faceCulling_;
  ReplaceLibrary(src->materialLibrary_);
  SetLibMaterialName(src->libMaterialName_);
  TextureEx()->Assign(const_cast<TGLMaterial*>(src)->TextureEx());
  depthProperties_->Assign(src->depthProperties_.get());
  NotifyChange(this);
}

// ---- Library link ----

void TGLMaterial::ReplaceLibrary(TGLAbstractMaterialLibrary* value) {
  if (value == materialLibrary_) return;
  if (materialLibrary_) materialLibrary_->RemoveMaterialUser(this);
  materialLibrary_ = value;
  if (materialLibrary_) materialLibrary_->AddMaterialUser(this);
}

void TGLMaterial::SetMaterialLibrary(TGLAbstractMaterialLibrary* value) {
  ReplaceLibrary(value);
  SetLibMaterialName(libMaterialName_);
}

bool TGLMaterial::ChainIsCyclic(const TGLAbstractLibMaterial* found) const {
  // The chain continues through each library material's own material. Reaching this material
  // again would close a loop that Apply would follow for ever, so it counts as cyclic too.
  const TGLAbstractLibMaterials* materials = materialLibrary_->Materials();
  for (int step = 0; found; ++step) {
    if (step == kMaxLibraryChain) return true;
    const TGLMaterial* next = found->ChainMaterial();
    if (!next) return false;
    if (next == this) return true;
    found = materials->FindMaterial(next->LibMaterialName());
  }
  return false;
}

void TGLMaterial::SetLibMaterialName(const std::string& value) {
  TGLAbstractLibMaterial* found = materialLibrary_ && materialLibrary_->Materials()
                                      ? materialLibrary_->Materials()->FindMaterial(value)
                                      : nullptr;
  if (found && ChainIsCyclic(found)) {
    gllog::Error(gllog::Format("Cyclic reference detected in material \"%s\"", value.c_str()));
    return;
  }
  libMaterialName_ = value;
  if (found == libMaterial_) return;
  if (libMaterial_) libMaterial_->UnRegisterUser(this);
  libMaterial_ = found;
  if (libMaterial_) libMaterial_->RegisterUser(this);
  NotifyTexMapChange(this);
}

void TGLMaterial::ClearLibraryLink() {
  ReplaceLibrary(nullptr);
  libMaterialName_.clear();
  libMaterial_ = nullptr;
}

// ---- Rendering ----

bool TGLMaterial::Blended() const {
  if (libMaterial_) return libMaterial_->Blended();
  switch (blendingMode_) {
    case bmTransparency:
    case bmAdditive:
    case bmModulate:
    case bmCustom:
      return true;
    default:
      return false;
  }
}

void TGLMaterial::DestroyHandles() {
  if (texture_) texture_->DestroyHandles();
}

void TGLMaterial::PrepareTexture() {
  if (texture_ && !texture_->Disabled()) texture_->GetHandle();
}

void TGLMaterial::Loaded() {
  if (textureEx_) textureEx_->Loaded();
}

void TGLMaterial::Apply(TRenderContextInfo& rci) {
  if (libMaterial_) {
    libMaterial_->Apply(rci);
    return;
  }
  TGLStateCache& states = *rci.StateCache;
  states.Disable(capColorMaterial);
  states.SetPolygonMode(polygonMode_);
  if (polygonMode_ == pmLines) states.Disable(capLineStipple);

  if ((materialOptions_ & MaterialOptionBit(moNoLighting)) || !rci.LightingOn) {
    states.Disable(capLighting);
    frontProperties_->ApplyNoLighting();
  } else {
    states.Enable(capLighting);
    frontProperties_->Apply(rci, cmFront);
  }

  switch (faceCulling_) {
    case fcBufferDefault:
      if (rci.FaceCulling)
        states.Enable(capCullFace);
      else
        states.Disable(capCullFace);
      BackProperties()->Apply(rci, cmBack);
      break;
    case fcCull:
      states.Enable(capCullFace);
      break;
    case fcNoCull:
      states.Disable(capCullFace);
      BackProperties()->Apply(rci, cmBack);
      break;
  }

  if (!rci.IgnoreBlending) ApplyBlending(rci);

  if ((materialOptions_ & MaterialOptionBit(moIgnoreFog)) || !rci.FogOn)
    states.Disable(capFog);
  else
    states.Enable(capFog);

  ApplyTextures(rci);
  if (!rci.IgnoreDepthRequests) depthProperties_->Apply(rci);
}

void TGLMaterial::ApplyBlending(TRenderContextInfo& rci) {
  // Per mode: blending on, blend factors, alpha-test function and reference.
  struct TModeRow {
    bool Blend;
    TBlendFunction Source, Destination;
    bool AlphaTest;
    TComparisonFunction AlphaFunction;
    float Reference;
  };
  static constexpr TModeRow kRows[] = {
      {false, bfOne, bfZero, false, cfGreater, 0.0f},                 // bmOpaque
      {true, bfSrcAlpha, bfOneMinusSrcAlpha, true, cfGreater, 0.0f},  // bmTransparency
      {true, bfSrcAlpha, bfOne, true, cfGreater, 0.0f},               // bmAdditive
      {false, bfOne, bfZero, true, cfGEqual, 0.5f},                   // bmAlphaTest50
      {false, bfOne, bfZero, true, cfGEqual, 1.0f},                   // bmAlphaTest100
      {true, bfDstColor, bfZero, true, cfGreater, 0.0f},              // bmModulate
  };
  if (blendingMode_ == bmCustom) {
    blendingParams_->Apply(rci);
    return;
  }
  const TModeRow& row = kRows[blendingMode_ < bmCustom ? blendingMode_ : bmOpaque];
  TGLStateCache& states = *rci.StateCache;
  if (row.Blend) {
    states.Enable(capBlend);
    states.SetBlendFunc(row.Source, row.Destination);
  } else {
    states.Disable(capBlend);
  }
  if (row.AlphaTest) {
    states.Enable(capAlphaTest);
    states.SetAlphaFunction(row.AlphaFunction, row.Reference);
  } else {
    states.Disable(capAlphaTest);
  }
}

void TGLMaterial::ApplyTextures(TRenderContextInfo& rci) {
  if (!textureEx_) {
    if (texture_) texture_->Apply(rci);
    return;
  }
  if (texture_ && !textureEx_->IsTextureEnabled(0))
    texture_->Apply(rci);
  else if (textureEx_->Count() > 0)
    textureEx_->Apply(rci);
}

bool TGLMaterial::UnApply(TRenderContextInfo& rci) {
  if (libMaterial_) return libMaterial_->UnApply(rci);
  if (!texture_ || texture_->Disabled() || (textureEx_ && textureEx_->IsTextureEnabled(0))) {
    if (textureEx_) textureEx_->UnApply(rci);
  } else {
    texture_->UnApply(rci);
  }
  return false;
}

// ---- Library materials ----

uint32_t NameHashKey(const std::string& name) {
  uint32_t h = static_cast<uint32_t>(name.size());
  for (unsigned char c : name) h = 2 * h + c;
  return h;
}

TGLAbstractLibMaterial::TGLAbstractLibMaterial(TCollection* collection) : TCollectionItem(collection) {
  if (auto* materials = dynamic_cast<TGLAbstractLibMaterials*>(collection)) {
    name_ = materials->MakeUniqueName("LibMaterial");
    nameHash_ = NameHashKey(name_);
  }
}

TGLAbstractLibMaterial::~TGLAbstractLibMaterial() {
  if (TGLAbstractMaterialLibrary* library = GetMaterialLibrary();
      library && library->lastAppliedMaterial_ == this)
    library->lastAppliedMaterial_ = nullptr;
}

TGLAbstractMaterialLibrary* TGLAbstractLibMaterial::GetMaterialLibrary() const {
  return Collection() ? dynamic_cast<TGLAbstractMaterialLibrary*>(Collection()->GetOwner()) : nullptr;
}

void TGLAbstractLibMaterial::SetName(const std::string& value) {
  if (value == name_) return;
  const TGLAbstractMaterialLibrary* library = GetMaterialLibrary();
  const auto* materials = dynamic_cast<const TGLAbstractLibMaterials*>(Collection());
  if ((library && library->IsLoading()) || !materials || materials->FindMaterial(value) == this)
    name_ = value;
  else
    name_ = materials->MakeUniqueName(value);
  nameHash_ = NameHashKey(name_);
}

void TGLAbstractLibMaterial::Assign(const TPersistent* source) {
  const auto* src = dynamic_cast<const TGLAbstractLibMaterial*>(source);
  if (!src) {
    TCollectionItem::Assign(source);
    return;
  }
  const auto* materials = dynamic_cast<const TGLAbstractLibMaterials*>(Collection());
  name_ = materials ? materials->MakeUniqueName(src->name_) : src->name_;
  nameHash_ = NameHashKey(name_);
}

void TGLAbstractLibMaterial::AddUser(TObject* user) {
  ZASSERT(std::find(users_.begin(), users_.end(), user) == users_.end(), "Assertion failed");
  users_.push_back(user);
}

void TGLAbstractLibMaterial::UnRegisterUser(TObject* user) {
  const auto it = std::find(users_.begin(), users_.end(), user);
  if (it != users_.end()) users_.erase(it);
}

namespace {
// Sets a flag for the lifetime of the guard, also when an exception passes.
class TReentryGuard {
 public:
  explicit TReentryGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~TReentryGuard() { flag_ = false; }
  TReentryGuard(const TReentryGuard&) = delete;
  TReentryGuard& operator=(const TReentryGuard&) = delete;

 private:
  bool& flag_;
};
}  // namespace

void TGLAbstractLibMaterial::NotifyUsers() {
  if (notifying_) return;
  TReentryGuard guard(notifying_);
  for (TObject* user : std::vector<TObject*>(users_)) {
    if (auto* material = dynamic_cast<TGLUpdateAbleObject*>(user))
      material->NotifyChange(this);
    else if (auto* component = dynamic_cast<TGLUpdateAbleComponent*>(user))
      component->NotifyChange(this);
    else if (auto* libMaterial = dynamic_cast<TGLAbstractLibMaterial*>(user))
      libMaterial->NotifyUsers();
    else
      ZASSERT(false, "Assertion failed");
  }
}

void TGLAbstractLibMaterial::NotifyTexMapChange(TObject* sender) {
  if (notifying_) return;
  TReentryGuard guard(notifying_);
  for (TObject* user : std::vector<TObject*>(users_)) {
    if (auto* material = dynamic_cast<TGLMaterial*>(user))
      material->NotifyTexMapChange(sender);
    else if (auto* libMaterial = dynamic_cast<TGLAbstractLibMaterial*>(user))
      libMaterial->NotifyTexMapChange(sender);
    else if (auto* object = dynamic_cast<TGLUpdateAbleObject*>(user))
      object->NotifyChange(sender);
    else if (auto* component = dynamic_cast<TGLUpdateAbleComponent*>(user))
      component->NotifyChange(sender);
  }
}

// ---- Collections and the abstract library ----

TGLAbstractLibMaterial* TGLAbstractLibMaterials::FindMaterial(const std::string& name) const {
  const uint32_t hash = NameHashKey(name);
  for (int i = 0; i < Count(); ++i) {
    TGLAbstractLibMaterial* material = Items(i);
    if (material->NameHash() == hash && material->Name() == name) return material;
  }
  return nullptr;
}

std::string TGLAbstractLibMaterials::MakeUniqueName(const std::string& base) const {
  if (!FindMaterial(base)) return base;
  for (int64_t n = 1;; ++n) {
    std::string candidate = base + std::to_string(n);
    if (!FindMaterial(candidate)) return candidate;
  }
}

void TGLAbstractLibMaterials::Loaded() {
  for (int i = Count() - 1; i >= 0; --i) Items(i)->Loaded();
}

TGLAbstractMaterialLibrary::~TGLAbstractMaterialLibrary() { ReleaseMaterialUsers(); }

void TGLAbstractMaterialLibrary::AddMaterialUser(TGLMaterial* material) {
  if (std::find(materialUsers_.begin(), materialUsers_.end(), material) == materialUsers_.end())
    materialUsers_.push_back(material);
}

void TGLAbstractMaterialLibrary::RemoveMaterialUser(TGLMaterial* material) {
  const auto it = std::find(materialUsers_.begin(), materialUsers_.end(), material);
  if (it != materialUsers_.end()) materialUsers_.erase(it);
}

void TGLAbstractMaterialLibrary::ReleaseMaterialUsers() {
  // Each material leaves the list as its library becomes nil.
  while (!materialUsers_.empty()) {
    TGLMaterial* material = materialUsers_.back();
    material->SetMaterialLibrary(nullptr);
    RemoveMaterialUser(material);
  }
}

void TGLAbstractMaterialLibrary::Loaded() {
  TGLCadenceAbleComponent::Loaded();
  if (materials_) materials_->Loaded();
}

bool TGLAbstractMaterialLibrary::ApplyMaterial(const std::string& name, TRenderContextInfo& rci) {
  lastAppliedMaterial_ = materials_ ? materials_->FindMaterial(name) : nullptr;
  if (!lastAppliedMaterial_) return false;
  lastAppliedMaterial_->Apply(rci);
  return true;
}

bool TGLAbstractMaterialLibrary::UnApplyMaterial(TRenderContextInfo& rci) {
  if (!lastAppliedMaterial_) return false;
  const bool again = lastAppliedMaterial_->UnApply(rci);
  if (!again) lastAppliedMaterial_ = nullptr;
  return again;
}

}  // namespace gl3d
