#pragma once
// The magic wand: the pixels whose colour is close to the colour of a seed pixel. Pixel p
// matches the seed colour s when each of |s.R - p.R|, |s.G - p.G| and |s.B - p.B| is at most the
// tolerance, colours read as TRVBitmap::GetPixels reads them (every pixel format); a negative
// tolerance matches nothing, and a seed outside the image selects nothing.
//
// The region routines fill the 4-connected region of matching pixels around the seed with a
// scan-line fill over a stack of row segments, keeping the visited pixels in a grid of one bit
// per pixel; so each pixel is visited a bounded number of times without recursion.
#include <cstdint>
#include <vector>

#include "rastova/core/RVUtils.h"

namespace rv {

class TRVBitmap;
class TRVMask;

// Sets every pixel of the region in the mask (TRVMask::SetPixel with maskValue); with
// maxFilter each region pixel's 3 x 3 neighbourhood, clipped to the image, instead.
void MagicWandFillMask(TRVBitmap& bitmap, int32_t x, int32_t y, int32_t maskValue, TRVMask& mask,
                       int32_t tolerance, bool maxFilter);

// Sets every matching pixel of the whole image in the mask, connected to the seed or not.
void MagicWandGlobalMask(TRVBitmap& bitmap, int32_t x, int32_t y, int32_t maskValue, TRVMask& mask,
                         int32_t tolerance);

// The outline of the region as a closed polygon on pixel corners in image coordinates (the last
// point joins the first); `count` receives the number of points, 0 with an empty result. With
// maxFilter the region is first grown by each pixel's 3 x 3 neighbourhood inside the region's
// box. One ring is traced, the one round the region's top left: holes are not part of it.
//
// The region is drawn four times enlarged into a byte grid of its box with an empty border;
// the cells next to the enlarged pixels form a ring one cell wide round their corners, which an
// 8-neighbour trace follows, writing chain codes (0 east, counting counter-clockwise on screen
// to 7 south-east); every change of direction is a vertex, scaled back by 4. A grid that cannot
// be had gives no polygon.
std::vector<TRVPoint> MagicWandOutline(TRVBitmap& bitmap, int32_t x, int32_t y, int32_t& count,
                                       int32_t tolerance, bool maxFilter);

}  // namespace rv
