#pragma once
// Frames for the transition tests: 24-bit pictures with a colour of their own at every pixel,
// and the frame a transition draws on, starting as the Source.
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "rastova/view/transitions/TransitionEffects.h"

namespace rv::test {

// A 24-bit picture whose pixels never repeat the other picture's: Source and Target differ at
// every pixel, so each pixel of a frame tells where it came from.
inline std::unique_ptr<platform::TBitmap> Picture(int width, int height, uint8_t tag) {
  auto b = std::make_unique<platform::TBitmap>(width, height, platform::pf24bit);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = b->ScanLine(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<uint8_t>(x);
      row[3 * x + 1] = static_cast<uint8_t>(y);
      row[3 * x + 2] = static_cast<uint8_t>(tag + ((x >> 8) << 4) + ((y >> 8) << 2));
    }
  }
  return b;
}

inline bool SamePixel(const platform::TBitmap& a, int ax, int ay, const platform::TBitmap& b, int bx,
                      int by) {
  return std::memcmp(a.ScanLine(ay) + 3 * ax, b.ScanLine(by) + 3 * bx, 3) == 0;
}

// The pixels of the frame equal to the same pixel of `picture`.
inline int Matching(const platform::TBitmap& frame, const platform::TBitmap& picture) {
  int n = 0;
  for (int y = 0; y < frame.Height(); ++y)
    for (int x = 0; x < frame.Width(); ++x) n += SamePixel(frame, x, y, picture, x, y);
  return n;
}

struct TTransition {
  std::unique_ptr<platform::TBitmap> Source, Target, Frame;
  TTransition(int width, int height)
      : Source(Picture(width, height, 10)),
        Target(Picture(width, height, 200)),
        Frame(std::make_unique<platform::TBitmap>(width, height, platform::pf24bit)) {
    Frame->Assign(*Source);
    Frame->Canvas().StretchMode = platform::smHalftone;
  }
  // One frame of the catalogue's row at Progress.
  void Step(int row, int progress, int factor = 1) {
    TransitionEffects[row].Proc(Frame->Canvas(), *Source, *Target, Rect(), factor, progress);
  }
  platform::TRect Rect() const { return {0, 0, Frame->Width(), Frame->Height()}; }
  bool ShowsTarget(int x, int y) const { return SamePixel(*Frame, x, y, *Target, x, y); }
  bool ShowsSource(int x, int y) const { return SamePixel(*Frame, x, y, *Source, x, y); }
};

}  // namespace rv::test
