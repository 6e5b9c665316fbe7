#pragma once
// What the fuzz targets of the image readers share: the image library started once per
// process, as the program's start-up does, and a reader's arguments over one input.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVProgressRec.h"
#include "rastova/core/RVStream.h"

namespace zephor_fuzz {

// Starts the image library (with its I/O step) the first time it is called.
void StartImageLibrary();

// The input's first byte as a choice among `choices` ways to read (0 for an empty input), a
// stream over the rest, and an empty bitmap, parameters, progress and alpha mask to read into.
// Constructing one starts the image library.
struct ImageInput {
  ImageInput(const uint8_t* data, size_t size, unsigned choices);
  unsigned choice;
  std::unique_ptr<rv::TRVMemStream> stream;
  rv::TRVBitmap bitmap;
  rv::TIOParamsVals params;
  rv::TRVProgressRec progress;
  std::unique_ptr<rv::TRVMask> alpha;
};

}  // namespace zephor_fuzz
