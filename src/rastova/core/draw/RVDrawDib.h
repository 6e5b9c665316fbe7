#pragma once
// Drawing device-independent bitmaps given as a header and pixel rows, the four calls the image
// view and the processing code draw through. The window system's video library behind them has
// no counterpart here; this is the least layer those callers need: a handle of the library's
// own, closing and palette realising that do nothing, and a draw that reads the bitmap with the
// packed-DIB reader and stretch-draws its rectangle onto the canvas. Flags are not interpreted.
#include <cstdint>

#include "rastova/core/RVDibTransfer.h"

namespace platform {
class TCanvas;
}

namespace rv {

using HDRAWDIB = uintptr_t;

// A new handle, never 0.
HDRAWDIB DrawDibOpenProc();
// Always true.
bool DrawDibCloseProc(HDRAWDIB Handle);
// Always 0: no palette to realise.
int32_t DrawDibRealizeProc(HDRAWDIB Handle, platform::TCanvas* DC, bool Background);
// Draws the part xSrc, ySrc, dxSrc x dySrc of the bitmap (rows counted from the top) onto DC at
// xDst, yDst, stretched to dxDst x dyDst. BitmapInfoHeader is followed by its colour table (or
// bit-field masks); Bits holds the rows, or is nullptr when they follow the table. As with the
// window system's call, the header and rows must be as large as the header says. False when the
// bitmap is not read (a 0 handle, no header, a format the reader refuses) or nothing is drawn.
bool DrawDibDrawProc(HDRAWDIB Handle, platform::TCanvas* DC, int32_t xDst, int32_t yDst, int32_t dxDst,
                     int32_t dyDst, const TBitmapInfoHeader* BitmapInfoHeader, const void* Bits, int32_t xSrc,
                     int32_t ySrc, int32_t dxSrc, int32_t dySrc, uint32_t Flags);

}  // namespace rv
