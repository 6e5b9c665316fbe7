#include "scene3d/scene/material/GLShader.h"

#include <algorithm>

namespace gl3d {

TGLShader::TGLShader(TComponent* owner)
    : TGLUpdateAbleComponent(owner), handle_(std::make_unique<TGLVirtualHandle>()) {
  // The handle makes no GL object: it only marks per context whether the shader was initialised.
  handle_->OnAllocate = [] { return GLuint{1}; };
  handle_->OnDestroy = [](GLuint) {};
}

TGLShader::~TGLShader() {
  handle_->DestroyHandle();
  // Each user unregisters itself while it forgets the shader.
  while (!users_.empty()) {
    IGLShaderUser* user = users_.back();
    user->ShaderFreed(this);
    UnRegisterUser(user);
  }
}

void TGLShader::operator delete(TGLShader* shader, std::destroying_delete_t) {
  // The object the shader is part of starts here, whatever class it is.
  void* block = dynamic_cast<void*>(shader);
  try {
    shader->handle_->DestroyHandle();
    shader->FinalizeShader();
  } catch (...) {
    // Freeing cannot raise; the shader goes all the same.
  }
  shader->~TGLShader();
  ::operator delete(block);
}

void TGLShader::Apply(TRenderContextInfo& rci, TObject* sender) {
  ZASSERT(!active_, "Unbalanced shader application.");
  if (enabled_) {
    if (handle_->GetHandle() == 0 || handle_->IsDataNeedUpdate()) InitializeShader(rci, sender);
    ShaderApply(rci, sender);
  }
  active_ = true;
}

bool TGLShader::UnApply(TRenderContextInfo& rci) {
  ZASSERT(active_, "Unbalanced shader application.");
  if (!enabled_) {
    active_ = false;
    return false;
  }
  const bool again = ShaderUnApply(rci);
  if (!again) active_ = false;
  return again;
}

void TGLShader::SetEnabled(bool value) {
  ZASSERT(!active_, "Shader is active.");
  if (value == enabled_) return;
  enabled_ = value;
  NotifyChange(this);
}

void TGLShader::InitializeShader(TRenderContextInfo& rci, TObject* sender) {
  handle_->AllocateHandle();
  if (!handle_->IsDataNeedUpdate()) return;
  ShaderInitialize(rci, sender);
  handle_->NotifyDataUpdated();
}

void TGLShader::FinalizeShader() {
  handle_->NotifyChangesOfData();
  ShaderFinalize();
}

void TGLShader::NotifyChange(TObject*) {
  for (size_t i = users_.size(); i-- > 0;) users_[i]->NotifyUsers();
  FinalizeShader();
}

void TGLShader::RegisterUser(IGLShaderUser* user) {
  if (std::find(users_.begin(), users_.end(), user) == users_.end()) users_.push_back(user);
}

void TGLShader::UnRegisterUser(IGLShaderUser* user) {
  const auto it = std::find(users_.begin(), users_.end(), user);
  if (it != users_.end()) users_.erase(it);
}

void TGLShader::Assign(const TPersistent* source) {
  const auto* src = dynamic_cast<const TGLShader*>(source);
  if (!src) {
    TGLUpdateAbleComponent::Assign(source);
    return;
  }
  applyOrder_ = src->applyOrder_;
  initFailureAction_ = src->initFailureAction_;
  SetEnabled(src->enabled_);
}

void TGLShader::HandleInitFailure(const std::string& message) {
  switch (initFailureAction_) {
    case ifIgnore:
      return;
    case ifRaise:
      throw EGLShaderException(InitFailureMessage());
    case ifRaiseHandled:
      try {
        throw EGLShaderException(InitFailureMessage());
      } catch (const EGLShaderException&) {
      }
      return;
    case ifRaiseWithMessage:
      throw EGLShaderException(message.empty() ? InitFailureMessage() : message);
  }
  ZASSERT(false, "Error: Unknown type!");
}

std::string TGLShader::InitFailureMessage() const {
  const std::string name = Name().empty() ? std::string(ClassName()) : Name();
  return "Your hardware/driver doesn't support shader \"" + name + "\"!";
}

}  // namespace gl3d
