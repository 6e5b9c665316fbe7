#include "common/Exception.h"

namespace common {

void AssertionFailed(const char* text, const char* file, int line) {
  throw EAssertionFailed(text ? text : "Assertion failed", file, line);
}

}  // namespace common
