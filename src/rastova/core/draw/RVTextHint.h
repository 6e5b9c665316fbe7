#pragma once
// The hint box the image view and the vector objects show over the picture (the size of a
// selection, of an object being dragged): an opaque box with a raised frame and a line of text.
#include <cstdint>
#include <string>

#include "platform/gfx/Canvas.h"

namespace platform {
class TBitmap;
}

namespace rv {

// Draws the box for Text near (X, Y) with Font and Brush and keeps what was under it in Saved.
// The box is W = text width + 12 by H = text height + 12, placed at X and Y kept at least 0 and
// then at most MaxWidth - W - 1 and MaxHeight - H - 1 (so a box pushed past the right edge ends
// one pixel inside); the corrected X and Y go back to the caller. Saved becomes the 24-bit W x H
// copy of the canvas at (X, Y), for restoring the background later. The box itself is filled from
// (X + 6, Y + 6) to (X + W, Y + H), framed one pixel inside with LightColor on the left and top and
// DarkColor on the bottom and right, and Text is written at (X + 9, Y + 9).
void DrawTextHint(platform::TCanvas& Canvas, int32_t& X, int32_t& Y, const std::string& Text,
                  const platform::TFont& Font, const platform::TBrush& Brush, platform::TBitmap& Saved,
                  int32_t MaxWidth, int32_t MaxHeight, platform::TColor LightColor,
                  platform::TColor DarkColor);

}  // namespace rv
