#pragma once
// Helpers shared by the view library's tests: filling a bitmap, a view in a parent window with a
// picture of a distinct colour per pixel, and reading the window surface back.
#include <gtest/gtest.h>

#include <QWidget>
#include <memory>

#include "platform/gfx/Bitmap.h"
#include "platform/ui/tests/UiTestApp.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStartup.h"
#include "rastova/view/RastovaViewStartup.h"
#include "rastova/view/core/RastovaView.h"

namespace rv::test {

// Sets every pixel of the bitmap to the colour.
inline void FillBitmap(platform::TBitmap& b, platform::TColor color) {
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) b.SetPixelColor(x, y, color);
}

}  // namespace rv::test

namespace rv::viewtest {

// The view tests run with the image library started as the program starts it (the view's steps
// registered first), once per test, and one application object.
class ViewLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::test::App();
    RegisterRastovaViewStartup();
    RastovaLibraryStartup();
  }
  void TearDown() override { RastovaLibraryShutdown(); }
};

// The colour of picture pixel (x, y): every pixel of a picture up to 12 x 12 differs.
inline TRGB PictureColour(int32_t x, int32_t y) {
  return TRGB{static_cast<uint8_t>((x + y) * 7 + 1), static_cast<uint8_t>(y * 20 + 5),
              static_cast<uint8_t>(x * 20 + 5)};
}

inline void FillPicture(TRVBitmap& b, int32_t w, int32_t h) {
  b.Allocate(w, h, rv24RGB);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) *b.GetPPixels_rv24RGB(x, y) = PictureColour(x, y);
}

inline TRGB SurfacePixel(TRastovaView& v, int32_t x, int32_t y) {
  const uint8_t* p = v.Surface().ScanLine(y) + size_t(x) * 4;
  return TRGB{p[0], p[1], p[2]};
}

// A frameless view without scroll bars, ClientW x ClientH, in a parent window.
struct TViewInWindow {
  QWidget parent;
  TRastovaView* view;
  TViewInWindow(int32_t clientW, int32_t clientH, bool scrollBars = false) {
    parent.resize(clientW + 100, clientH + 100);
    view = new TRastovaView(&parent);
    view->WriteBorderStyle(platform::bsNone);
    if (!scrollBars) view->WriteScrollBars(ssNone);
    view->resize(clientW, clientH);
  }
  void SetPicture(int32_t w, int32_t h) {
    FillPicture(*view->GetRVBitmap(), w, h);
    view->Update();
  }
  // Runs the pending paint into the surface.
  void Paint() { view->PaintPendingNow(); }
};

}  // namespace rv::viewtest
