#pragma once
// Failures of the drawing objects.
#include "common/Exception.h"

namespace platform {

// An operation the graphic object cannot carry out (a row outside the bitmap, a pixel format
// it cannot hold).
class EInvalidGraphicOperation : public common::Exception {
 public:
  using common::Exception::Exception;
};

// The pixel memory of a bitmap could not be had.
class EOutOfResources : public common::Exception {
 public:
  using common::Exception::Exception;
};

}  // namespace platform
