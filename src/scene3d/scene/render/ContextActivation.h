#pragma once
// Keeps a rendering context active for a scope (the render buffer and the off-screen viewers
// bracket their GL work with it). A deactivation that fails is logged, so that it cannot hide
// the error that may be unwinding through the scope.
#include <exception>

#include "scene3d/gl/GLContext.h"
#include "scene3d/gl/GLLog.h"

namespace gl3d {

class TGLContextActivation {
 public:
  explicit TGLContextActivation(TGLContext& context) : context_(context) { context_.Activate(); }
  ~TGLContextActivation() {
    try {
      context_.Deactivate();
    } catch (const std::exception& e) {
      gllog::Error(e.what());
    }
  }
  TGLContextActivation(const TGLContextActivation&) = delete;
  TGLContextActivation& operator=(const TGLContextActivation&) = delete;

 private:
  TGLContext& context_;
};

}  // namespace gl3d
