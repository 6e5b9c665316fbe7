#pragma once
// Block operations on TRVBitmap: copying a rectangle into another image of the same pixel
// format with clipping on both sides, merging two alpha channels over a rectangle, moving a
// region within one image and changing the canvas size while placing the old content by an
// alignment. They are free routines over the image buffer; the image's own class forwards
// to them where it offers them as methods.
#include <cstdint>

#include "rastova/core/RVDefs.h"

namespace rv {

class TRVBitmap;

// Canvas alignment: the content stays at the near side, is centred, or goes to the far side.
enum : uint8_t { rvAlignNear = 0, rvAlignCenter = 1, rvAlignFar = 2 };

// Copies the width x height rectangle at (srcX, srcY) of `source` to (dstX, dstY) of `dest`,
// clipped to both images (a negative destination origin moves the source origin instead; a
// source origin past the image is clamped to its last column or row). Equal formats copy
// their pixels whole (rv1g bit-exactly, destination bits outside the run kept); rv1g into
// rv24RGB gives black and white pixels; other pairs copy nothing. The palette is not copied.
void CopyRectTo(TRVBitmap& source, TRVBitmap& dest, int32_t srcX, int32_t srcY, int32_t dstX, int32_t dstY,
                int32_t width, int32_t height);

// The same rectangle over the two alpha channels (created, all 255, when missing): the
// destination keeps the larger of the two values.
void MergeAlphaRectTo(TRVBitmap& source, TRVBitmap& dest, int32_t srcX, int32_t srcY, int32_t dstX,
                      int32_t dstY, int32_t width, int32_t height);

// Copies the rectangle (x1, y1)-(x2, y2), corners included, to (dstX, dstY) of the same image
// through a temporary copy; with `fillSource` the rectangle is first filled with `background`
// (a value in the image's format as TRVBitmap::FillRect takes it).
void MoveRect(TRVBitmap& bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t dstX, int32_t dstY,
              double background, bool fillSource);

// Changes the canvas size: the old pixels are placed by the alignments and new areas take
// `background`; the alpha channel, when present, follows with `alphaFill` in its new areas.
void Resize(TRVBitmap& bitmap, int32_t newWidth, int32_t newHeight, double background, int32_t alphaFill,
            uint8_t horzAlign, uint8_t vertAlign);
// The two halves of Resize for one image (its alpha channel untouched): moving the part that
// stays to the top left before the size shrinks, and placing the old block after it grew.
void PlaceBeforeShrink(TRVBitmap& bitmap, int32_t newWidth, int32_t newHeight, double background,
                       uint8_t horzAlign, uint8_t vertAlign);
void PlaceAfterGrow(TRVBitmap& bitmap, int32_t oldWidth, int32_t oldHeight, double background,
                    uint8_t horzAlign, uint8_t vertAlign);

// Gives `target` the pixels, size, format and palette of `image`, keeping the target's alpha
// channel, location and attributes; `image` may be left empty.
void TakeImage(TRVBitmap& target, TRVBitmap& image);

}  // namespace rv
