#pragma once
// The blend operations of the renderer and the image view's layers: one 24-bit source pixel
// combined with one 24-bit destination pixel in place.
#include <cstdint>

#include "rastova/core/RVDefs.h"

namespace rv {

// Stored with the layers of the image view: the values must not change.
enum TRVRenderOperation : uint8_t {
  rvlNormal = 0,
  rvlAdd,
  rvlSub,
  rvlDiv,
  rvlMul,
  rvlOR,
  rvlAND,
  rvlXOR,
  rvlMAX,
  rvlMIN,
  rvlAverage,
  rvlScreen,
  rvlNegation,
  rvlExclusion,
  rvlOverlay,
  rvlHardLight,
  rvlSoftLight,
  rvlXFader,
  rvlColorEdge,
  rvlColorBurn,
  rvlInverseColorDodge,
  rvlInverseColorBurn,
  rvlSoftDodge,
  rvlSoftBurn,
  rvlReflect,
  rvlGlow,
  rvlFreeze,
  rvlEat,
  rvlSubtractive,
  rvlInterpolation,
  rvlStamp,
  rvlRed,
  rvlGreen,
  rvlBlue,
  rvlHue,
  rvlSaturation,
  rvlColor,
  rvlLuminosity,
  rvlStereoBW,
  rvlStereoColor,
  rvlStereoColorDubois,
  rvlStereoEven,
  rvlStereoOdd,
};
static_assert(rvlStereoOdd == 42);

// Replaces *dest by the combination of *source and *dest. `row` is the destination row, used
// only by rvlStereoEven and rvlStereoOdd. Values above rvlStereoOdd leave *dest unchanged.
void ApplyRenderOperation(const TRGB* source, TRGB* dest, TRVRenderOperation operation, int32_t row);

}  // namespace rv
