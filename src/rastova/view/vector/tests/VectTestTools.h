#pragma once
// Helpers of the vector layer's tests: a layer in a parent window over a white picture, and
// records of the kinds with their usual settings.
#include <QWidget>

#include "rastova/core/RVBitmap.h"
#include "rastova/view/tests/ViewTestTools.h"
#include "rastova/view/vector/RastovaVect.h"

namespace rv::vecttest {

// Every test runs with the image library started, as the view tests do.
class VectModel : public viewtest::ViewLibraryTest {};
class VectMeasure : public viewtest::ViewLibraryTest {};
class VectSelect : public viewtest::ViewLibraryTest {};
class VectDraw : public viewtest::ViewLibraryTest {};

// A frameless layer without scroll bars, ClientW x ClientH, over a white W x H picture.
struct TVectInWindow {
  QWidget parent;
  TRastovaVect* vect;
  TVectInWindow(int32_t clientW, int32_t clientH, int32_t w, int32_t h) {
    parent.resize(clientW + 100, clientH + 100);
    vect = new TRastovaVect(&parent);
    vect->WriteBorderStyle(platform::bsNone);
    vect->WriteScrollBars(ssNone);
    vect->WriteCenter(false);
    vect->resize(clientW, clientH);
    TRVBitmap& b = *vect->GetRVBitmap();
    b.Allocate(w, h, rv24RGB);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) *b.GetPPixels_rv24RGB(x, y) = TRGB{255, 255, 255};
    vect->Update();
  }
  void Paint() { vect->PaintPendingNow(); }
};

// A record of the kind spanning (x1, y1)-(x2, y2), from the layer's template.
inline TRVVObjRecord Obj(TRastovaVect& v, TRVVObjectKind kind, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  TRVVObjRecord o = v.NewObjectTemplate;
  o.Kind = kind;
  o.X1 = x1, o.Y1 = y1, o.X2 = x2, o.Y2 = y2;
  o.PenColor = 0;  // black on white
  return o;
}

// Pixels of a 24-bit platform bitmap that are not white, inside [l, r) x [t, b).
inline int32_t NonWhite(platform::TBitmap& b, int32_t l, int32_t t, int32_t r, int32_t bottom) {
  int32_t n = 0;
  for (int32_t y = std::max(t, 0); y < std::min(bottom, b.Height()); ++y)
    for (int32_t x = std::max(l, 0); x < std::min(r, b.Width()); ++x)
      if ((b.PixelColor(x, y) & 0xFFFFFF) != 0xFFFFFF) ++n;
  return n;
}

// A white 24-bit platform bitmap.
inline std::unique_ptr<platform::TBitmap> WhiteBitmap(int32_t w, int32_t h) {
  auto b = std::make_unique<platform::TBitmap>(w, h, platform::pf24bit);
  for (int32_t y = 0; y < h; ++y) std::fill(b->ScanLine(y), b->ScanLine(y) + size_t(w) * 3, uint8_t(255));
  return b;
}

}  // namespace rv::vecttest
