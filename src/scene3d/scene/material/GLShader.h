#pragma once
// The abstract shader: a component that a library material (GLMaterialLibrary.h) applies
// before, after or instead of its material, and that may ask for several rendering passes.
// Concrete shaders supply ShaderApply and ShaderUnApply, and may initialise and finalise
// themselves once per rendering context; the base keeps the books: an Apply must be followed by
// its UnApply before the next, initialisation is tracked per context by a virtual handle, and a
// change of the shader reaches every library material drawn with it.
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "common/Exception.h"
#include "scene3d/base/BaseClasses.h"
#include "scene3d/gl/GLContext.h"
#include "scene3d/scene/core/GLRenderContextInfo.h"

namespace gl3d {

class TGLShader;

// A shader that cannot run here, reported as its InitFailureAction says.
class EGLShaderException : public common::Exception {
 public:
  using Exception::Exception;
};

enum TGLShaderApplyOrder : uint8_t { saBeforeMaterial, saAfterMaterial, saReplaceMaterial };
enum TGLShaderInitFailure : uint8_t { ifIgnore, ifRaise, ifRaiseHandled, ifRaiseWithMessage };

// What a shader knows of the library materials drawn with it.
class IGLShaderUser {
 public:
  virtual ~IGLShaderUser() = default;
  // The shader changed: whatever is drawn with the user must hear of it.
  virtual void NotifyUsers() = 0;
  // The shader is being freed: the user's Shader becomes nil.
  virtual void ShaderFreed(TGLShader* shader) = 0;
};

class TGLShader : public TGLUpdateAbleComponent {
 public:
  // Enabled, saAfterMaterial, ifRaise.
  explicit TGLShader(TComponent* owner);
  // Forgets the per-context initialisation and sets Shader to nil on every library material that
  // uses the shader (the last registered first).
  ~TGLShader() override;
  // Every delete of a shader (also by its owner, or through a base pointer) first forgets the
  // per-context initialisation and finalises the shader, while the concrete shader is still
  // whole: a destructor would only reach the base's empty ShaderFinalize. Then the shader is
  // destroyed and freed. Shaders are components and made with new.
  static void operator delete(TGLShader* shader, std::destroying_delete_t);
  const char* ClassName() const override { return "TGLShader"; }

  // Fails the assertion "Unbalanced shader application." while active. When enabled, initialises
  // for the current context if it was not yet (or was finalised since), then ShaderApply. The
  // shader is active afterwards, also when disabled.
  void Apply(TRenderContextInfo& rci, TObject* sender);
  // Fails the assertion "Unbalanced shader application." unless active. True asks the caller to
  // draw another pass and call UnApply again (the shader stays active); a disabled shader
  // answers false.
  bool UnApply(TRenderContextInfo& rci);

  bool Enabled() const { return enabled_; }
  // Fails the assertion "Shader is active." while active, also for the current value.
  void SetEnabled(bool value);
  TGLShaderApplyOrder ApplyOrder() const { return applyOrder_; }
  void SetApplyOrder(TGLShaderApplyOrder value) { applyOrder_ = value; }
  TGLShaderInitFailure InitFailureAction() const { return initFailureAction_; }
  void SetInitFailureAction(TGLShaderInitFailure value) { initFailureAction_ = value; }
  bool Active() const { return active_; }

  // Each user, the last first, tells its own users; then the shader is finalised, so the next
  // Apply initialises it again.
  void NotifyChange(TObject* sender) override;
  // Added once; removed when listed.
  void RegisterUser(IGLShaderUser* user);
  void UnRegisterUser(IGLShaderUser* user);
  int UserCount() const { return static_cast<int>(users_.size()); }
  // From a shader: ApplyOrder, InitFailureAction, then Enabled through its writer. Anything else:
  // EConvertError.
  void Assign(const TPersistent* source) override;

  // Makes sure the shader is initialised for the current context.
  void InitializeShader(TRenderContextInfo& rci, TObject* sender);
  // Marks every context as needing initialisation again, then ShaderFinalize.
  void FinalizeShader();

  // For concrete shaders whose initialisation fails: nothing (ifIgnore), EGLShaderException with
  // InitFailureMessage (ifRaise), the same raised and caught at once (ifRaiseHandled), or with
  // `message` when it is not empty (ifRaiseWithMessage).
  virtual void HandleInitFailure(const std::string& message);
  // "Your hardware/driver doesn't support shader "<name>"!" (the class name when unnamed).
  virtual std::string InitFailureMessage() const;
  virtual bool IsSupported() const { return true; }

 protected:
  virtual void ShaderApply(TRenderContextInfo& rci, TObject* sender) = 0;
  virtual bool ShaderUnApply(TRenderContextInfo& rci) = 0;
  // Once per context before the first ShaderApply, and again after each FinalizeShader.
  virtual void ShaderInitialize(TRenderContextInfo&, TObject*) {}
  virtual void ShaderFinalize() {}

 private:
  bool enabled_ = true;
  std::vector<IGLShaderUser*> users_;
  std::unique_ptr<TGLVirtualHandle> handle_;
  TGLShaderApplyOrder applyOrder_ = saAfterMaterial;
  bool active_ = false;
  TGLShaderInitFailure initFailureAction_ = ifRaise;
};

}  // namespace gl3d
