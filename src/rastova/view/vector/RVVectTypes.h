#pragma once
// The data of the vector layer. The object record and its enumerations live beside the object
// stream that stores them (rastova/io/vector/RVVObjRecord.h); this adds what only the layer
// uses: the font record as a canvas font, the shared bitmap slots and the special handles.
#include <cstdint>
#include <memory>

#include "platform/gfx/Canvas.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/io/vector/RVVObjRecord.h"

namespace rv {

// The font record as a canvas font: face, height (negative: character height; positive: cell),
// styles, escapement and quality. The colour is left as it is.
void LogFontToFont(const LOGFONTA& LogFont, platform::TFont& Font);

// A slot of the shared bitmap table: nullptr is a free slot.
struct TRVVSharedBitmap {
  std::unique_ptr<TRVBitmap> Bitmap;
  int32_t RefCount = 0;
};

// An x of an angle point not placed yet.
constexpr int32_t kAnglePointUnset = -1000000;
// The handles that name no single object.
constexpr int32_t kObjTemplate = -1, kObjLast = -2, kObjAll = -3, kNoGrip = -4;

}  // namespace rv
