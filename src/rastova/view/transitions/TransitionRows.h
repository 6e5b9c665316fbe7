#pragma once
// Inside the transitions: the catalogue's procedures are drawn by two row dispatchers, one for
// the effects that copy pictures and one for those that reveal through regions; RowProc turns
// a row of either into a procedure of its own.
#include "rastova/view/transitions/TransitionEffects.h"

namespace rv {

using TRowDrawer = void (*)(int Row, platform::TCanvas& Canvas, platform::TBitmap& Source,
                            platform::TBitmap& Target, const platform::TRect& ARect, int32_t Factor,
                            int32_t Progress);

// Rows 30 to 75, 150 to 157 and 185 to 188.
void DrawCopyEffect(int Row, platform::TCanvas& Canvas, platform::TBitmap& Source, platform::TBitmap& Target,
                    const platform::TRect& ARect, int32_t Factor, int32_t Progress);
// Every other row from 76 to 213.
void DrawRegionEffect(int Row, platform::TCanvas& Canvas, platform::TBitmap& Source,
                      platform::TBitmap& Target, const platform::TRect& ARect, int32_t Factor,
                      int32_t Progress);

// The sizes every effect works with (GetStepSizes); hw = w / 2, HW = W / 2 and so on.
struct TSteps {
  int32_t W, H, w, h;
  int32_t hw() const { return w / 2; }
  int32_t hh() const { return h / 2; }
  int32_t HW() const { return W / 2; }
  int32_t HH() const { return H / 2; }
};

inline TSteps Steps(const platform::TRect& ARect, int32_t Progress) {
  TSteps s{};
  GetStepSizes(ARect, Progress, s.W, s.H, s.w, s.h);
  return s;
}

// Copies (stretching where the sizes differ) `src` of `from` onto `dest` of the frame.
inline void Put(platform::TCanvas& Canvas, platform::TBitmap& from, const platform::TRect& dest,
                const platform::TRect& src) {
  Canvas.CopyMode = platform::cmSrcCopy;
  Canvas.CopyRect(dest, from.Canvas(), src);
}

template <TRowDrawer Drawer, int Row>
void RowProc(platform::TCanvas& Canvas, platform::TBitmap& Source, platform::TBitmap& Target,
             const platform::TRect& ARect, int32_t Factor, int32_t Progress) {
  Drawer(Row, Canvas, Source, Target, ARect, Factor, Progress);
}

}  // namespace rv
