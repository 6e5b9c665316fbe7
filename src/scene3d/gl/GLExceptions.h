#pragma once
// Exceptions of the GL layer.
#include "common/Exception.h"

namespace gl3d {

// The silent abort: ends the current operation without a message to the user.
class EAbort : public common::Exception {
 public:
  EAbort() : common::Exception("Operation aborted") {}
};

// Rendering-context errors.
class EGLContext : public common::Exception {
 public:
  using common::Exception::Exception;
};

// Off-screen (pbuffer) context errors.
class EPBuffer : public common::Exception {
 public:
  using common::Exception::Exception;
};

}  // namespace gl3d
