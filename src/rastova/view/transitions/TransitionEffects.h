#pragma once
// The named transition effects: the contract of an effect procedure, the step sizes they all
// share, the workers that several effects reuse, and the catalogue TransitionEffects (214 rows;
// rows 0 to 29 are drawn by the transition engine itself and carry no procedure).
//
// The contract of a procedure:
// - Canvas holds the frame drawn by the previous call (the Source picture before the first
//   call); a procedure draws only what changes and may read the frame back (the pushes do).
// - Source is the picture being left, Target the one coming in, both at least the frame's
//   size; ARect is the frame, (0, 0, width, height).
// - Progress runs from 0 to 100; Factor is 1 from the engine (only "Triangular Wipe" reads it).
// - Copies use the plain source copy; the engine sets the half-tone stretch mode first.
// - On return the canvas has no clip region, no region made by the procedure is left, and the
//   shared random generator's seed is what it was on entry where the procedure reseeded it.
// CopyEffects.cpp holds the effects that copy, stretch or move pictures, RegionEffects.cpp those
// that reveal the Target through a clip region (built by TransitionRegions.h).
#include <array>
#include <cstdint>
#include <string_view>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"

namespace rv {

using TTransitionEffectProc = void (*)(platform::TCanvas& Canvas, platform::TBitmap& Source,
                                       platform::TBitmap& Target, const platform::TRect& ARect,
                                       int32_t Factor, int32_t Progress);

struct TEffect {
  std::string_view Name;
  TTransitionEffectProc Proc;  // nullptr in rows 0 to 29
  uint8_t Group;               // family 0 to 17
  uint8_t Flag;                // 0 or 1
};

extern const std::array<TEffect, 214> TransitionEffects;

// W and H of R, and w and h scaled by Progress / 100 keeping W : H: the longer side by
// MulDiv(side, Progress, 100), the shorter one derived from it.
void GetStepSizes(const platform::TRect& R, int32_t Progress, int32_t& W, int32_t& H, int32_t& w, int32_t& h);

// The seed of the random family: the same for every frame drawn with the same Target bitmap.
uint32_t TransitionSeed(const platform::TBitmap& Target);

// The workers (each also takes the contract's parameters). Shape 255 stands for the rounded
// ellipse or diamond that the workers build themselves.
void ShapeWipe(platform::TCanvas& Canvas, platform::TBitmap& Source, platform::TBitmap& Target,
               const platform::TRect& ARect, int32_t Factor, int32_t Progress, float Scale, bool Inward,
               uint8_t Shape);
void InOutWipe(platform::TCanvas& Canvas, platform::TBitmap& Source, platform::TBitmap& Target,
               const platform::TRect& ARect, int32_t Factor, int32_t Progress, float Scale, uint8_t Shape);
void ExpandingShapes(platform::TCanvas& Canvas, platform::TBitmap& Source, platform::TBitmap& Target,
                     const platform::TRect& ARect, int32_t Factor, int32_t Progress, float Scale,
                     uint8_t Shape);
// Draws nothing on frames too small for a centre spacing of at least 2.
void RandomShapes(platform::TCanvas& Canvas, platform::TBitmap& Source, platform::TBitmap& Target,
                  const platform::TRect& ARect, int32_t Factor, int32_t Progress, float Scale, int32_t Count,
                  uint8_t Shape);
void RotatingRectangle(platform::TCanvas& Canvas, platform::TBitmap& Source, platform::TBitmap& Target,
                       const platform::TRect& ARect, int32_t Factor, int32_t Progress, bool Clockwise);
void RotatingStar(platform::TCanvas& Canvas, platform::TBitmap& Source, platform::TBitmap& Target,
                  const platform::TRect& ARect, int32_t Factor, int32_t Progress, bool Clockwise);
void SpiralRectangle(platform::TCanvas& Canvas, platform::TBitmap& Source, platform::TBitmap& Target,
                     const platform::TRect& ARect, int32_t Factor, int32_t Progress, bool Clockwise);

}  // namespace rv
