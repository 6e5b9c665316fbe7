#include "scene3d/scene/material/GLMaterialLibrary.h"

#include <cstring>
#include <unordered_set>

#include "scene3d/base/ApplicationFileIO.h"
#include "scene3d/gl/GLLog.h"
#include "scene3d/scene/texture/GLMultitextureCoordinator.h"

namespace gl3d {

namespace {
const TVector4f kDefaultOffset{0, 0, 0, 0};
const TVector4f kDefaultScale{1, 1, 1, 0};

bool TextureEnabled(const TGLMaterial& material) {
  return material.HasTexture() && !const_cast<TGLMaterial&>(material).Texture()->Disabled();
}
}  // namespace

// ---- Library material ----

TGLLibMaterial::TGLLibMaterial(TCollection* collection)
    : TGLAbstractLibMaterial(collection),
      material_(std::make_unique<TGLMaterial>(this)),
      textureOffset_(std::make_unique<TGLCoordinates3>(this, kDefaultOffset, ckPoint)),
      textureScale_(std::make_unique<TGLCoordinates3>(this, kDefaultScale, ckPoint)) {
  material_->Texture()->OnTextureNeeded = [this](TObject* sender, std::string& name) {
    FindTextureFile(sender, name);
  };
  textureOffset_->OnPropertyChange = [this](TObject*) { CalculateTextureMatrix(); };
  textureScale_->OnPropertyChange = [this](TObject*) { CalculateTextureMatrix(); };
}

TGLLibMaterial::~TGLLibMaterial() {
  SetShader(nullptr);
  SetTexture2Name("");
  for (TObject* user : std::vector<TObject*>(Users())) {
    if (auto* material = dynamic_cast<TGLMaterial*>(user)) {
      material->ClearLibraryLink();
    } else if (auto* libMaterial = dynamic_cast<TGLLibMaterial*>(user)) {
      libMaterial->libMatTexture2_ = nullptr;
      libMaterial->texture2Name_.clear();
    }
  }
}

TGLMaterialLibrary* TGLLibMaterial::Library() const {
  return dynamic_cast<TGLMaterialLibrary*>(GetMaterialLibrary());
}

void TGLLibMaterial::Assign(const TPersistent* source) {
  if (const auto* src = dynamic_cast<const TGLLibMaterial*>(source)) {
    if (src == this) return;
    SetMaterial(src->material_.get());
    SetTextureOffset(src->textureOffset_.get());
    SetTextureScale(src->textureScale_.get());
    SetTextureRotate(src->textureRotate_);
    SetTextureMatrix(src->textureMatrix_);
    textureMatrixIsExplicit_ = src->textureMatrixIsExplicit_;
    texture2Name_ = src->texture2Name_;
    SetShader(src->shader_);
  }
  TGLAbstractLibMaterial::Assign(source);
}

void TGLLibMaterial::SetTextureOffset(const TGLCustomCoordinates* value) {
  textureOffset_->AssignVectorQuietly(value->AsVector());
  CalculateTextureMatrix();
}

void TGLLibMaterial::SetTextureScale(const TGLCustomCoordinates* value) {
  textureScale_->AssignVectorQuietly(value->AsVector());
  CalculateTextureMatrix();
}

void TGLLibMaterial::SetTextureRotate(float value) {
  if (value == textureRotate_) return;
  textureRotate_ = value;
  CalculateTextureMatrix();
}

void TGLLibMaterial::SetTextureMatrix(const TMatrix4f& matrix) {
  textureMatrixIsIdentity_ = std::memcmp(&matrix, &IdentityMatrix4f, sizeof(TMatrix4f)) == 0;
  textureMatrix_ = matrix;
  textureMatrixIsExplicit_ = true;
  NotifyUsers();
}

void TGLLibMaterial::CalculateTextureMatrix() {
  if (textureOffset_->Equals(kDefaultOffset) && textureScale_->Equals(kDefaultScale) &&
      !StoreTextureRotate()) {
    textureMatrixIsIdentity_ = true;
  } else {
    textureMatrixIsIdentity_ = false;
    textureMatrix_ = CreateScaleAndTranslationMatrix(textureScale_->AsVector(), textureOffset_->AsVector());
    if (StoreTextureRotate())
      MatrixMultiplyInto(textureMatrix_, CreateRotationMatrixZ(DegToRadSingle(textureRotate_)),
                         textureMatrix_);
  }
  textureMatrixIsExplicit_ = false;
  NotifyUsers();
}

void TGLLibMaterial::DropTexture2Link() {
  if (libMatTexture2_) libMatTexture2_->UnRegisterUser(this);
  libMatTexture2_ = nullptr;
}

void TGLLibMaterial::SetTexture2Name(const std::string& value) {
  if (value == texture2Name_) return;
  DropTexture2Link();
  texture2Name_ = value;
  NotifyUsers();
}

void TGLLibMaterial::SetShader(TGLShader* value) {
  if (value == shader_) return;
  if (shader_) shader_->UnRegisterUser(this);
  shader_ = value;
  if (shader_) shader_->RegisterUser(this);
  NotifyUsers();
}

void TGLLibMaterial::Loaded() {
  CalculateTextureMatrix();
  material_->Loaded();
}

void TGLLibMaterial::DestroyHandles() {
  std::unordered_set<const TGLLibMaterial*> visited;
  auto* collection = dynamic_cast<TGLLibMaterials*>(Collection());
  for (TGLLibMaterial* m = this; m && visited.insert(m).second;) {
    m->material_->DestroyHandles();
    m = collection && !m->texture2Name_.empty() ? collection->FindLibMaterial(m->texture2Name_) : nullptr;
  }
}

void TGLLibMaterial::FindTextureFile(TObject*, std::string& name) {
  TGLMaterialLibrary* library = Library();
  if (!library) return;
  if (library->OnTextureNeeded) library->OnTextureNeeded(library, name);
  if (name.find(':') != std::string::npos || name.starts_with('\\') || name.starts_with('/')) return;
  for (const std::string& folder : library->TextureFolders()) {
    std::string candidate = folder + name;
    if (FileStreamExists(candidate)) {
      name = std::move(candidate);
      return;
    }
  }
}

TGLLibMaterial* TGLLibMaterial::SecondTexture(TRenderContextInfo&) {
  if (texture2Name_.empty() || !CurrentGLEntryPoints().ARB_multitexture ||
      CurrentMultitextureCoordinator()->SecondTextureUnitForbidden())
    return nullptr;
  if (!libMatTexture2_) {
    auto* collection = dynamic_cast<TGLLibMaterials*>(Collection());
    libMatTexture2_ = collection ? collection->FindLibMaterial(texture2Name_) : nullptr;
    if (libMatTexture2_)
      libMatTexture2_->RegisterUser(this);
    else
      texture2Name_.clear();
  }
  return libMatTexture2_ && TextureEnabled(*libMatTexture2_->material_) ? libMatTexture2_ : nullptr;
}

void TGLLibMaterial::Apply(TRenderContextInfo& rci) {
  TGLMultitextureCoordinator* coordinator = CurrentMultitextureCoordinator();
  coordinator->BeginUpdate();
  if (shader_) {
    if (shader_->ApplyOrder() == saBeforeMaterial) shader_->Apply(rci, this);
    if (shader_->ApplyOrder() == saReplaceMaterial) {
      shader_->Apply(rci, this);
      coordinator->EndUpdate();
      return;
    }
  } else {
    rci.StateCache->SetCurrentProgram(0);
  }
  TGLLibMaterial* second = SecondTexture(rci);
  if (!textureMatrixIsIdentity_) rci.StateCache->SetTextureMatrix(textureMatrix_);
  material_->Apply(rci);
  if (second) {
    TGLTexture* texture2 = second->material_->Texture();
    texture2->ApplyOnSecondUnit(rci, second->textureMatrixIsIdentity_ ? nullptr : &second->textureMatrix_);
    const bool generated2 = texture2->MappingMode() != tmmUser;
    const bool ownUserCoordinates =
        TextureEnabled(*material_) && material_->Texture()->MappingMode() == tmmUser;
    if (generated2)
      coordinator->SetMainMapping();
    else if (ownUserCoordinates)
      coordinator->SetDualMapping();
    else
      coordinator->SetSecondMapping();
  }
  if (shader_ && shader_->ApplyOrder() == saAfterMaterial) shader_->Apply(rci, this);
  coordinator->EndUpdate();
}

bool TGLLibMaterial::UnApply(TRenderContextInfo& rci) {
  bool again = false;
  if (shader_) {
    if (shader_->ApplyOrder() == saAfterMaterial) again = shader_->UnApply(rci);
    if (shader_->ApplyOrder() == saReplaceMaterial) return shader_->UnApply(rci);
  }
  if (again) return true;
  if (libMatTexture2_ && CurrentGLEntryPoints().ARB_multitexture &&
      !CurrentMultitextureCoordinator()->SecondTextureUnitForbidden()) {
    libMatTexture2_->material_->Texture()->UnApplyOnSecondUnit(rci,
                                                               !libMatTexture2_->textureMatrixIsIdentity_);
    CurrentMultitextureCoordinator()->SetMainMapping();
  }
  material_->UnApply(rci);
  if (TextureEnabled(*material_) && !textureMatrixIsIdentity_) rci.StateCache->ResetTextureMatrix();
  if (shader_ && shader_->ApplyOrder() == saBeforeMaterial) return shader_->UnApply(rci);
  return again;
}

// ---- Collection ----

TGLLibMaterial* TGLLibMaterials::FindLibMaterial(const std::string& name) const {
  return dynamic_cast<TGLLibMaterial*>(FindMaterial(name));
}

void TGLLibMaterials::DestroyHandles() {
  for (int i = 0; i < Count(); ++i) Items(i)->DestroyHandles();
}

void TGLLibMaterials::PrepareTextures() {
  for (int i = 0; i < Count(); ++i) Items(i)->PrepareTexture();
}

// ---- Library ----

TGLMaterialLibrary::TGLMaterialLibrary(TComponent* owner) : TGLAbstractMaterialLibrary(owner) {
  materials_ = std::make_unique<TGLLibMaterials>(this);
}

TGLMaterialLibrary::~TGLMaterialLibrary() {
  ReleaseMaterialUsers();
  if (lastAppliedMaterial_) gllog::Error("Unbalanced material application");
  lastAppliedMaterial_ = nullptr;
  materials_.reset();
}

void TGLMaterialLibrary::SetTexturePaths(const std::string& value) {
  texturePaths_ = value;
  textureFolders_.clear();
  size_t start = 0;
  while (start <= value.size()) {
    size_t end = value.find(';', start);
    if (end == std::string::npos) end = value.size();
    std::string piece = value.substr(start, end - start);
    const size_t first = piece.find_first_not_of(" \t\r\n");
    const size_t last = piece.find_last_not_of(" \t\r\n");
    piece = first == std::string::npos ? std::string() : piece.substr(first, last - first + 1);
    if (!piece.empty()) {
      if (piece.back() != '/') piece += '/';
      textureFolders_.push_back(std::move(piece));
    }
    start = end + 1;
  }
}

TGLLibMaterial* TGLMaterialLibrary::NewTextureMaterial(TGLLibMaterials& materials, const std::string& name,
                                                       const TGraphic* graphic) {
  TGLLibMaterial* material = materials.Add();
  material->SetName(name);
  TGLTexture* texture = material->Material()->Texture();
  texture->SetMinFilter(miLinearMipmapLinear);
  texture->SetMagFilter(maLinear);
  texture->SetTextureMode(tmModulate);
  texture->SetDisabled(false);
  texture->Image()->Assign(graphic);
  return material;
}

TGLLibMaterial* TGLMaterialLibrary::AddTextureMaterial(const std::string& name, const TGraphic* graphic) {
  return NewTextureMaterial(*Materials(), name, graphic);
}

}  // namespace gl3d
