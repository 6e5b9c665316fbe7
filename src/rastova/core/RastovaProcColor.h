#pragma once
// The processing component's rotation, colour reduction and fill. They run through the
// component's machinery like its other operations (pixel-format check with conversion, undo
// entry with a caption, the work area, notification and the finish signal) and take the
// component as their first argument; the component's methods of the same names forward here.
#include <cstdint>
#include <vector>

#include "rastova/core/RVDefs.h"

namespace rv {

class TRastovaProc;

// Turns the image and its alpha channel by `angle` degrees (counter-clockwise on screen):
// antialiased 24-bit images with a quality (1 bilinear, 2 bicubic) by interpolation,
// antialiased 24-bit and 1-bit images otherwise by three shears, everything else by the
// nearest pixel. Background -1 takes the component's background. Undo caption
// "Rotate <angle with two decimals>". An angle of 0 does nothing at all.
void Rotate(TRastovaProc& proc, double angle, bool antialias, uint8_t quality, TColor background);

// Every pixel of the work area becomes its grey level (the image stays 24-bit).
void ConvertToGray(TRastovaProc& proc);
// Fewer than 3 colours: 1-bit by ordered dithering or, with `useThreshold`, by the average's
// grey level; 3 to 1024: quantized in place (still 24-bit); more: pixels unchanged.
void ConvertTo(TRastovaProc& proc, int32_t numColors, bool useThreshold);
// As ConvertTo, returning the palette: black and white below 3 colours, else the quantizer's
// `numColors` entries. 0 colours does nothing at all.
void ConvertToPalette(TRastovaProc& proc, int32_t numColors, std::vector<TRGB>& palette, bool useThreshold);
// Fills the work area with the colour. Undo caption "Fill (r, g, b)".
void Fill(TRastovaProc& proc, const TRGB& colour);

}  // namespace rv
