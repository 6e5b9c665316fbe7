#pragma once
// The shape the fuzz targets of the shape files read into: one per process (it is a few
// megabytes), cleared and laid out anew as the given primitive for every input.
#include <cstring>
#include <memory>

#include "shape/model/ShapeRecord.h"
#include "shape/model/uScPrim.h"

namespace zephor_fuzz {

inline shape::TCS& FreshShape(shape::TScType type, int32_t columns, int32_t rows) {
  static const std::unique_ptr<shape::TCS> cs = std::make_unique<shape::TCS>();
  std::memset(cs.get(), 0, sizeof(shape::TCS));  // what one input leaves must not reach the next
  shape::InitShape(*cs, type, columns, rows);
  return *cs;
}

}  // namespace zephor_fuzz
