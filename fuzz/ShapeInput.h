#pragma once
// The shape the fuzz targets of the shape files read into: one per process (it is a few
// megabytes), cleared and laid out anew as the given primitive for every input.
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "fuzz/ImageInput.h"
#include "shape/model/ShapeRecord.h"
#include "shape/model/uScPrim.h"

namespace zephor_fuzz {

inline shape::TCS& FreshShape(shape::TScType type, int32_t columns, int32_t rows) {
  static const std::unique_ptr<shape::TCS> cs = std::make_unique<shape::TCS>();
  std::memset(cs.get(), 0, sizeof(shape::TCS));  // what one input leaves must not reach the next
  shape::InitShape(*cs, type, columns, rows);
  return *cs;
}

// What the targets of the shape files share: the image library started, the first byte as a
// choice among `choices`, the rest in a file of this process whose name ends in `suffix`, and a
// fresh shape of `type` to read into. Name() is empty when the file could not be written.
struct ShapeFileInput {
  ShapeFileInput(const char* target, const char* suffix, const uint8_t* data, size_t size, unsigned choices,
                 shape::TScType type)
      : choice((StartImageLibrary(), TakeChoice(data, size, choices))),
        file(target, suffix, data, size),
        cs(FreshShape(type, 9, 9)) {}
  const std::string& Name() const { return file.Name(); }
  unsigned choice;
  TempFile file;
  shape::TCS& cs;
};

}  // namespace zephor_fuzz
