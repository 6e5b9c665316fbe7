#pragma once
// Start-up and shut-down of the image view library, and the module state its views share: the
// screen's depth and resolution, the frame metrics, the default resolution of new images, the
// pen of the pixel grid, the two-colour gradient and the views' cursor table.
//
// RegisterRastovaViewStartup adds the library's steps to the image library's ordered start-up
// (rastova/core/RVStartup.h): the anti-aliased canvas's binding in the GdiPlus slot, the vector
// layer's unit start-up in the Vect slot (vect/RVVectStartup.h), RastovaViewStartup /
// RastovaViewShutdown in the View slot and the text editor's clipboard format in the TextC slot
// (RegisterTextMemoFormat), with the I/O's steps they rely on.
#include <cstdint>

#include "platform/gfx/Canvas.h"
#include "platform/gfx/Types.h"
#include "rastova/core/RVDefs.h"  // ScreenDpiX, ScreenDpiY (set here), DefaultDpiX, DefaultDpiY

namespace rv {

// Adds the view library's steps (and the I/O's) to the library's start-up; call once before
// the library starts. Registering again replaces the same steps.
void RegisterRastovaViewStartup();

// Fills the module state below and makes the cursor pictures available (LoadCursorTable).
// Needs a running QGuiApplication for the screen's values; without one the defaults stand.
void RastovaViewStartup();
// Releases what the start-up made (the pixel-grid pen returns to its defaults).
void RastovaViewShutdown();

// The screen's depth in bits per pixel (24 or 32 here); 32 before the start-up.
extern int32_t ScreenBitsPerPixel;
// Always False here: there is no remote-session path.
extern bool RemoteSession;
// ScreenDpiX, ScreenDpiY (RVDefs.h): the start-up sets them to the primary screen's logical
// pixels per inch. DefaultDpiX, DefaultDpiY (RVDefs.h, 300 x 300) are given to new views.
// A 3D edge (2 x 2) and a border line (1 x 1), in pixels.
extern int32_t EdgeWidth, EdgeHeight;
extern int32_t BorderWidth, BorderHeight;
// Zoom (per cent) from which the pixel grid is drawn: 400.
extern int32_t PixelGridMinZoom;
// The pen of the pixel grid: mode not, solid, width 1.
extern platform::TPen NotPen;

// Whether GradientRect can draw: always True here (the gradient is drawn by the painter).
bool LoadGradientFill();
// Fills Rect on Canvas with a linear gradient from Color1 to Color2: top to bottom when
// Vertical, else left to right. True when something could be drawn (a non-empty rectangle).
bool GradientRect(const platform::TRect& Rect, platform::TCanvas& Canvas, platform::TColor Color1,
                  bool Vertical, platform::TColor Color2);

// The views' cursors: ids 1778 to 1814, each a 32 x 32 picture with its hot spot.
constexpr int32_t kFirstViewCursor = 1778, kLastViewCursor = 1814;
// Installs the 37 cursors in the screen's cursor table (platform::Cursors()) under their ids,
// replacing earlier ones; every view does it when it is made. Needs a running QGuiApplication.
void LoadCursorTable();
// The resource name of a cursor id ("ZOOMMENO" for 1778 ...); empty outside 1778 .. 1814.
const char* ViewCursorName(int32_t Id);

}  // namespace rv
