#include "scene3d/scene/texture/GLTextureEx.h"

#include <algorithm>

#include "scene3d/scene/texture/GLMultitextureCoordinator.h"

namespace gl3d {

namespace {

const TVector4f kDefaultOffset{0, 0, 0, 0};
const TVector4f kDefaultScale{1, 1, 1, 0};

TGLStateCache& StatesOf(const TRenderContextInfo& rci) {
  return rci.StateCache ? *rci.StateCache : SafeCurrentGLContext()->GLStates();
}

}  // namespace

// ---- TGLTextureExItem ----

TGLTextureExItem::TGLTextureExItem(TCollection* collection) : TCollectionItem(collection) {
  texture_ = std::make_unique<TGLTexture>(this);
  textureIndex_ = ID();
  offset_ = std::make_unique<TGLCoordinates3>(this, kDefaultOffset, ckPoint);
  scale_ = std::make_unique<TGLCoordinates3>(this, kDefaultScale, ckPoint);
  offset_->OnPropertyChange = [this](TObject*) { CalculateTextureMatrix(); };
  scale_->OnPropertyChange = [this](TObject*) { CalculateTextureMatrix(); };
}

TGLTextureExItem::~TGLTextureExItem() = default;

TGLTextureEx* TGLTextureExItem::List() const { return dynamic_cast<TGLTextureEx*>(Collection()); }

void TGLTextureExItem::Assign(const TPersistent* source) {
  if (const auto* item = dynamic_cast<const TGLTextureExItem*>(source)) {
    if (item == this) return;
    SetTexture(item->texture_.get());
    SetTextureIndex(item->textureIndex_);
    SetTextureOffset(item->offset_.get());
    SetTextureScale(item->scale_.get());
    NotifyChange(this);
    return;
  }
  TCollectionItem::Assign(source);
}

std::string TGLTextureExItem::GetDisplayName() const { return "Tex [" + std::to_string(textureIndex_) + "]"; }

void TGLTextureExItem::SetTexture(const TGLTexture* value) {
  texture_->Assign(value);
  NotifyChange(this);
}

void TGLTextureExItem::SetTextureIndex(int32_t value) {
  value = std::max(value, 0);
  if (value == textureIndex_) return;
  textureIndex_ = value;
  NotifyChange(this);
}

// Copying coordinates does not fire their change event, so the matrix is recomputed here.
void TGLTextureExItem::SetTextureOffset(const TGLCoordinates3* value) {
  offset_->Assign(value);
  CalculateTextureMatrix();
  NotifyChange(this);
}

void TGLTextureExItem::SetTextureScale(const TGLCoordinates3* value) {
  scale_->Assign(value);
  CalculateTextureMatrix();
  NotifyChange(this);
}

void TGLTextureExItem::NotifyChange(TObject*) {
  if (TGLTextureEx* list = List()) list->NotifyChange();
}

void TGLTextureExItem::NotifyTexMapChange(TObject* sender) {
  TGLTextureEx* list = List();
  if (!list) return;
  if (auto* material = dynamic_cast<IGLTextureNotifyAble*>(list->GetOwner()))
    material->NotifyTexMapChange(sender);
}

void TGLTextureExItem::CalculateTextureMatrix() {
  matrixIsIdentity_ = offset_->Equals(kDefaultOffset) && scale_->Equals(kDefaultScale);
  if (!matrixIsIdentity_) matrix_ = CreateScaleAndTranslationMatrix(scale_->AsVector(), offset_->AsVector());
  NotifyChange(this);
}

void TGLTextureExItem::Apply(TRenderContextInfo& rci) {
  applied_ = false;
  if (texture_->Disabled()) return;
  TGLStateCache& states = StatesOf(rci);
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  states.SetActiveTexture(textureIndex_);
  gl.MatrixMode(GL_TEXTURE);
  gl.PushMatrix();
  if (matrixIsIdentity_)
    gl.LoadIdentity();
  else
    gl.LoadMatrixf(&matrix_[0].X);
  gl.MatrixMode(GL_MODELVIEW);
  states.SetActiveTexture(0);
  if (textureIndex_ == 0)
    texture_->Apply(rci);
  else if (textureIndex_ == 1)
    texture_->ApplyOnSecondUnit(rci, nullptr);
  else
    texture_->ApplyOnUnit(textureIndex_ + 1, rci, nullptr);
  applied_ = true;
}

void TGLTextureExItem::UnApply(TRenderContextInfo& rci) {
  if (!applied_) return;
  if (textureIndex_ == 0)
    texture_->UnApply(rci);
  else if (textureIndex_ == 1)
    texture_->UnApplyOnSecondUnit(rci, false);
  else
    texture_->UnApplyOnUnit(textureIndex_ + 1, rci, false);
  TGLStateCache& states = StatesOf(rci);
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  states.SetActiveTexture(textureIndex_);
  gl.MatrixMode(GL_TEXTURE);
  gl.PopMatrix();
  gl.MatrixMode(GL_MODELVIEW);
  states.SetActiveTexture(0);
  applied_ = false;
}

// ---- TGLTextureEx ----

TGLTextureEx::TGLTextureEx(TPersistent* material)
    : TCollection(&TGLTextureExItem::Create), material_(material) {}

void TGLTextureEx::NotifyChange() {
  if (auto* material = dynamic_cast<IGLNotifyAble*>(material_)) material->NotifyChange(this);
}

void TGLTextureEx::Loaded() {
  for (int i = 0; i < Count(); ++i) Items(i)->CalculateTextureMatrix();
}

bool TGLTextureEx::IsTextureEnabled(int32_t index) const {
  for (int i = 0; i < Count(); ++i) {
    const TGLTextureExItem* item = Items(i);
    if (item->TextureIndex() == index && !item->Texture()->Disabled()) return true;
  }
  return false;
}

void TGLTextureEx::Apply(TRenderContextInfo& rci) {
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  if (!gl.ARB_multitexture) return;
  GLint units = 0;
  gl.GetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
  units = std::min<GLint>(units, kTextureUnitCount);  // the units the state cache keeps
  int32_t mask = 0;
  for (int i = 0; i < Count(); ++i) {
    TGLTextureExItem* item = Items(i);
    const int32_t unit = item->TextureIndex();
    if (unit >= units) continue;
    item->Apply(rci);
    // Only units 0 to 7 can be expressed to the coordinator.
    if (item->Applied() && unit > 0 && unit < 32 && item->Texture()->MappingMode() == tmmUser)
      mask |= static_cast<int32_t>(1u << unit);
  }
  if (mask != 0) CurrentMultitextureCoordinator()->AddArbitraryMappingBits(mask);
}

void TGLTextureEx::UnApply(TRenderContextInfo& rci) {
  if (!CurrentGLEntryPoints().ARB_multitexture) return;
  for (int i = 0; i < Count(); ++i) Items(i)->UnApply(rci);
}

}  // namespace gl3d
