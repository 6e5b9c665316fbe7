#pragma once
// TComplexRegion: collects any number of rectangles and makes one region of them. The
// transitions' grids, blinds, bars, shreds and speckles are built with it (TransitionRegions.h
// holds the builders, TransitionEffects.h the effects that use them).
//
// The rectangles are kept in the window system's rectangle-list block: a 32-byte header (header
// size 32, kind 1, rectangle count, region size 16, bounding rectangle), four spare bytes and
// 16-byte slots of left, top, right, bottom, in the order they were added. The block grows 500
// rectangles at a time; the header is written only when the region is made.
#include <cstdint>
#include <memory>

#include "platform/gfx/Region.h"
#include "platform/gfx/Types.h"

namespace rv {

// A region the builders hand to their caller; nullptr is "no region", which differs from an
// empty region.
using PRegion = std::unique_ptr<platform::TRegion>;

static_assert(sizeof(platform::TRect) == 16, "a rectangle slot of the block holds four 32-bit edges");

class TComplexRegion {
 public:
  TComplexRegion() { Clear(); }
  ~TComplexRegion();
  TComplexRegion(const TComplexRegion&) = delete;
  TComplexRegion& operator=(const TComplexRegion&) = delete;

  // Frees the block; no rectangles, capacity 0, bounds (2147483647, 2147483647, -2147483647,
  // -2147483647).
  void Clear();
  // Appends the rectangle as given (not normalised: right <= left or bottom <= top covers
  // nothing) and widens the bounds where it lies strictly beyond them.
  void AddRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom);
  // nullptr when no rectangle was ever added; else the union of all of them, made in one pass.
  // The list stays as it is.
  PRegion CreateRegion();

  const uint8_t* Data() const { return FData; }
  int32_t Capacity() const { return FCapacity; }
  int32_t Count() const { return FCount; }
  const platform::TRect& Bounds() const { return FBounds; }

 private:
  static constexpr int32_t kHeaderSize = 32;
  static constexpr int32_t kGrowth = 500;

  uint8_t* FData = nullptr;
  int32_t FCapacity = 0;
  int32_t FCount = 0;
  platform::TRect FBounds;
  uint8_t* FNext = nullptr;
};

}  // namespace rv
