// The effects that copy, stretch or move pictures: expanding, expanding in, shrinking, sliding,
// pushing, plain wipes, building up, unrolling and page flips, with the step sizes and the
// catalogue rows they serve. Rectangles are written as (x, y, width, height).
#include <algorithm>
#include <initializer_list>
#include <utility>
#include <vector>

#include "common/Round.h"
#include "rastova/view/transitions/TransitionRegions.h"
#include "rastova/view/transitions/TransitionRows.h"

namespace rv {

using platform::Bounds;
using platform::TBitmap;
using platform::TCanvas;
using platform::TRect;

void GetStepSizes(const TRect& R, int32_t Progress, int32_t& W, int32_t& H, int32_t& w, int32_t& h) {
  W = R.Right - R.Left;
  H = R.Bottom - R.Top;
  if (W >= H) {
    w = common::MulDiv(W, Progress, 100);
    h = common::MulDiv(w, H, W);
  } else {
    h = common::MulDiv(H, Progress, 100);
    w = common::MulDiv(h, W, H);
  }
}

namespace {

// The same rectangles of the Target copied in place.
void PutInPlace(TCanvas& Canvas, TBitmap& Target, std::initializer_list<TRect> parts) {
  for (const TRect& r : parts) Put(Canvas, Target, r, r);
}

// The frame moved or squeezed on itself: the whole source area is read before it is written.
void MoveFrame(TCanvas& Canvas, const TRect& dest, const TRect& src) {
  Canvas.CopyMode = platform::cmSrcCopy;
  Canvas.CopyRect(dest, Canvas, src);
}

void Expand(int Row, TCanvas& Canvas, TBitmap& Target, const TSteps& s) {
  const auto [W, H, w, h] = s;
  TRect dest;
  switch (Row) {
    case 30:
      dest = Bounds(0, 0, w, H);
      break;
    case 31:
      dest = Bounds(W - w, 0, w, H);
      break;
    case 32:
      dest = Bounds(0, 0, W, h);
      break;
    case 33:
      dest = Bounds(0, H - h, W, h);
      break;
    case 34:
      dest = Bounds(0, 0, w, h);
      break;
    case 35:
      dest = Bounds(W - w, 0, w, h);
      break;
    case 36:
      dest = Bounds(0, H - h, w, h);
      break;
    case 37:
      dest = Bounds(W - w, H - h, w, h);
      break;
    case 46:
      dest = Bounds(0, (H - h) / 2, W, h);
      break;
    default:
      dest = Bounds((W - w) / 2, 0, w, H);
      break;  // 47
  }
  Put(Canvas, Target, dest, Bounds(0, 0, W, H));
}

// Expanding in and shrinking: parts of the Target (source, destination) stretched.
void StretchParts(int Row, TCanvas& Canvas, TBitmap& Target, const TSteps& s) {
  const auto [W, H, w, h] = s;
  const int32_t hw = s.hw(), hh = s.hh(), HW = s.HW(), HH = s.HH();
  std::vector<std::pair<TRect, TRect>> parts;
  switch (Row) {
    case 38:
      parts = {{Bounds(W - w, 0, w, H), Bounds(w - W, 0, 2 * W - w, H)}};
      break;
    case 39:
      parts = {{Bounds(0, 0, w, H), Bounds(0, 0, 2 * W - w, H)}};
      break;
    case 40:
      parts = {{Bounds(0, H - h, W, h), Bounds(0, h - H, W, 2 * H - h)}};
      break;
    case 41:
      parts = {{Bounds(0, 0, W, h), Bounds(0, 0, W, 2 * H - h)}};
      break;
    case 42:
      parts = {{Bounds((W - w) / 2, 0, w, H), Bounds(w - W, 0, 3 * W - 2 * w, H)}};
      break;
    case 43:
      parts = {{Bounds(0, (H - h) / 2, W, h), Bounds(0, h - H, W, 3 * H - 2 * h)}};
      break;
    case 44:
      parts = {{Bounds(0, 0, HW, H), Bounds(0, 0, hw, H)}, {Bounds(HW, 0, HW, H), Bounds(W - hw, 0, hw, H)}};
      break;
    case 45:
      parts = {{Bounds(0, 0, W, HH), Bounds(0, 0, W, hh)}, {Bounds(0, HH, W, HH), Bounds(0, H - hh, W, hh)}};
      break;
    case 74:
      parts = {{Bounds(0, 0, HW, HH), Bounds(0, 0, hw, hh)},
               {Bounds(0, HH, HW, HH), Bounds(0, H - hh, hw, hh)},
               {Bounds(HW, HH, HW, HH), Bounds(W - hw, H - hh, hw, hh)},
               {Bounds(HW, 0, HW, HH), Bounds(W - hw, 0, hw, hh)}};
      break;
    case 68:
      parts = {{Bounds(0, 0, w, h), Bounds(0, 0, 2 * W - w, 2 * H - h)}};
      break;
    case 69:
      parts = {{Bounds(W - w, 0, w, h), Bounds(w - W, 0, 2 * W - w, 2 * H - h)}};
      break;
    case 70:
      parts = {{Bounds(0, H - h, w, h), Bounds(0, h - H, 2 * W - w, 2 * H - h)}};
      break;
    case 71:
      parts = {{Bounds(W - w, H - h, w, h), Bounds(w - W, h - H, 2 * W - w, 2 * H - h)}};
      break;
    default:  // 72
      parts = {{Bounds((W - w) / 2, (H - h) / 2, w, h), Bounds(w - W, h - H, 3 * W - 2 * w, 3 * H - 2 * h)}};
      break;
  }
  for (const auto& [src, dest] : parts) Put(Canvas, Target, dest, src);
}

void Slide(int Row, TCanvas& Canvas, TBitmap& Target, const TSteps& s) {
  const auto [W, H, w, h] = s;
  const int32_t hw = s.hw(), hh = s.hh(), HW = s.HW(), HH = s.HH();
  auto at = [&](const TRect& src, int32_t x, int32_t y) {
    Put(Canvas, Target, Bounds(x, y, src.Width(), src.Height()), src);
  };
  const TRect whole = Bounds(0, 0, W, H);
  switch (Row) {
    case 64:
      at(whole, w - W, 0);
      break;
    case 65:
      at(whole, W - w, 0);
      break;
    case 66:
      at(whole, 0, h - H);
      break;
    case 67:
      at(whole, 0, H - h);
      break;
    default:  // 75: each quadrant in from its own side
      at(Bounds(0, 0, HW, HH), hw - HW, 0);
      at(Bounds(HW, 0, HW, HH), HW, hh - HH);
      at(Bounds(HW, HH, HW, HH), W - hw, HH);
      at(Bounds(0, HH, HW, HH), 0, H - hh);
      break;
  }
}

void Push(int Row, TCanvas& Canvas, TBitmap& Target, const TSteps& s) {
  const auto [W, H, w, h] = s;
  const TRect frame = Bounds(0, 0, W, H);
  switch (Row) {
    case 150:
      MoveFrame(Canvas, Bounds(0, 0, W - w, H), Bounds(w, 0, W - w, H));
      Put(Canvas, Target, Bounds(W - w, 0, w, H), Bounds(0, 0, w, H));
      break;
    case 151:
      MoveFrame(Canvas, Bounds(w, 0, W - w, H), Bounds(0, 0, W - w, H));
      Put(Canvas, Target, Bounds(0, 0, w, H), Bounds(W - w, 0, w, H));
      break;
    case 152:
      MoveFrame(Canvas, Bounds(0, 0, W, H - h), Bounds(0, h, W, H - h));
      Put(Canvas, Target, Bounds(0, H - h, W, h), Bounds(0, 0, W, h));
      break;
    case 153:
      MoveFrame(Canvas, Bounds(0, h, W, H - h), Bounds(0, 0, W, H - h));
      Put(Canvas, Target, Bounds(0, 0, W, h), Bounds(0, H - h, W, h));
      break;
    case 154:
      MoveFrame(Canvas, Bounds(0, 0, W - w, H), frame);
      Put(Canvas, Target, Bounds(W - w, 0, w, H), Bounds(0, 0, w, H));
      break;
    case 155:
      MoveFrame(Canvas, Bounds(w, 0, W - w, H), frame);
      Put(Canvas, Target, Bounds(0, 0, w, H), Bounds(W - w, 0, w, H));
      break;
    case 156:
      MoveFrame(Canvas, Bounds(0, 0, W, H - h), frame);
      Put(Canvas, Target, Bounds(0, H - h, W, h), Bounds(0, 0, W, h));
      break;
    default:  // 157
      MoveFrame(Canvas, Bounds(0, h, W, H - h), frame);
      Put(Canvas, Target, Bounds(0, 0, W, h), Bounds(0, H - h, W, h));
      break;
  }
}

void Wipe(int Row, TCanvas& Canvas, TBitmap& Target, const TSteps& s) {
  const auto [W, H, w, h] = s;
  const int32_t hw = s.hw(), hh = s.hh();
  switch (Row) {
    case 48:
      PutInPlace(Canvas, Target, {Bounds(0, 0, w, h)});
      break;
    case 49:
      PutInPlace(Canvas, Target, {Bounds(W - w, 0, w, h)});
      break;
    case 50:
      PutInPlace(Canvas, Target, {Bounds(0, H - h, w, h)});
      break;
    case 51:
      PutInPlace(Canvas, Target, {Bounds(W - w, H - h, w, h)});
      break;
    case 52:
      PutInPlace(Canvas, Target, {Bounds(0, 0, W, hh), Bounds(0, H - hh, W, hh)});
      break;
    case 53:
      PutInPlace(Canvas, Target, {Bounds(0, (H - h) / 2, W, h)});
      break;
    case 54:
      PutInPlace(Canvas, Target, {Bounds(0, 0, hw, H), Bounds(W - hw, 0, hw, H)});
      break;
    case 55:
      PutInPlace(Canvas, Target, {Bounds((W - w) / 2, 0, w, H)});
      break;
    default:  // 73
      PutInPlace(Canvas, Target,
                 {Bounds(0, 0, hw, hh), Bounds(0, H - hh, hw, hh), Bounds(W - hw, H - hh, hw, hh),
                  Bounds(W - hw, 0, hw, hh)});
      break;
  }
}

// The reached part in place, and a strip just beyond it (at most a tenth of the frame deep)
// smeared over the rest.
void BuildUp(int Row, TCanvas& Canvas, TBitmap& Target, const TSteps& s) {
  const auto [W, H, w, h] = s;
  switch (Row) {
    case 56:
      PutInPlace(Canvas, Target, {Bounds(W - w, 0, w, H)});
      Put(Canvas, Target, Bounds(0, 0, W - w, H), TRect{std::max(W - w - W / 10, 0), 0, W - w, H});
      break;
    case 57:
      PutInPlace(Canvas, Target, {Bounds(0, 0, w, H)});
      Put(Canvas, Target, Bounds(w, 0, W - w, H), Bounds(w, 0, std::min(W - w, W / 10), H));
      break;
    case 58:
      PutInPlace(Canvas, Target, {Bounds(0, H - h, W, h)});
      Put(Canvas, Target, Bounds(0, 0, W, H - h), TRect{0, std::max(H - h - H / 10, 0), W, H - h});
      break;
    default:  // 59
      PutInPlace(Canvas, Target, {Bounds(0, 0, W, h)});
      Put(Canvas, Target, Bounds(0, h, W, H - h), Bounds(0, h, W, std::min(H - h, H / 10)));
      break;
  }
}

// Where the roll in front of an unrolled edge at `edge` (counted from the side it starts on)
// ends: half the unrolled part while that is under a fifth of the frame, half the rest when the
// rest is under a fifth, else a tenth of the frame.
int32_t RollDepth(int32_t edge, int32_t size) {
  if (edge < size / 5) return edge / 2;
  if (size - edge < size / 5) return (size - edge) / 2;
  return size / 10;
}

void Unroll(int Row, TCanvas& Canvas, TBitmap& Target, const TRect& ARect, const TSteps& s) {
  const auto [W, H, w, h] = s;
  switch (Row) {
    case 60: {
      const int32_t r = w + RollDepth(w, W);
      StretchDrawFlipped(Canvas, {w, ARect.Top, r, ARect.Bottom}, Target,
                         {r, ARect.Top, 2 * r - w, ARect.Bottom}, true, false);
      PutInPlace(Canvas, Target, {TRect{0, ARect.Top, w, ARect.Bottom}});
      break;
    }
    case 61: {
      const int32_t e = W - w, l = e - RollDepth(w, W);
      StretchDrawFlipped(Canvas, {l, ARect.Top, e, ARect.Bottom}, Target,
                         {2 * l - e, ARect.Top, l, ARect.Bottom}, true, false);
      PutInPlace(Canvas, Target, {TRect{e, ARect.Top, W, ARect.Bottom}});
      break;
    }
    case 62: {
      const int32_t r = h + RollDepth(h, H);
      StretchDrawFlipped(Canvas, {ARect.Left, h, ARect.Right, r}, Target,
                         {ARect.Left, r, ARect.Right, 2 * r - h}, false, true);
      PutInPlace(Canvas, Target, {TRect{ARect.Left, 0, ARect.Right, h}});
      break;
    }
    default: {  // 63
      const int32_t e = H - h, l = e - RollDepth(h, H);
      StretchDrawFlipped(Canvas, {ARect.Left, l, ARect.Right, e}, Target,
                         {ARect.Left, 2 * l - e, ARect.Right, l}, false, true);
      PutInPlace(Canvas, Target, {TRect{ARect.Left, e, ARect.Right, H}});
      break;
    }
  }
}

// Rows 185 and 186 turn the page from right to left, 187 and 188 the other way; 186 and 188
// draw the fold line at the moving edge.
void PageFlip(int Row, TCanvas& Canvas, TBitmap& Source, TBitmap& Target, const TRect& ARect,
              int32_t Progress) {
  const int32_t W = ARect.Right - ARect.Left, H = ARect.Bottom - ARect.Top, half = W / 2;
  Canvas.Pen.Color = platform::clBlack;
  Canvas.Pen.Width = 1;
  Canvas.Pen.Style = platform::psSolid;
  int32_t line;
  if (Row == 185 || Row == 186) {
    PutInPlace(Canvas, Target, {Bounds(half, 0, half, H)});
    if (Progress > 50) {
      const int32_t b = common::MulDiv(W, Progress - 50, 50) / 2;
      Put(Canvas, Target, Bounds(half - b, 0, b, H), Bounds(0, 0, half, H));
      line = half - b;
    } else {
      const int32_t b = common::MulDiv(W, 50 - Progress, 100);
      Put(Canvas, Source, Bounds(half, 0, b, H), Bounds(half, 0, half, H));
      line = half + b;
    }
  } else {
    PutInPlace(Canvas, Target, {Bounds(0, 0, half, H)});
    if (Progress > 50) {
      const int32_t b = common::MulDiv(W, Progress - 50, 50) / 2;
      Put(Canvas, Target, Bounds(half, 0, b, H), Bounds(half, 0, half, H));
      line = half + b;
    } else {
      const int32_t a = common::MulDiv(W, Progress, 100);
      Put(Canvas, Source, Bounds(a, 0, half - a, H), Bounds(0, 0, half, H));
      line = a;
    }
  }
  if (Row == 186 || Row == 188) {
    Canvas.MoveTo(line, 0);
    Canvas.LineTo(line, H);
  }
}

}  // namespace

void DrawCopyEffect(int Row, TCanvas& Canvas, TBitmap& Source, TBitmap& Target, const TRect& ARect,
                    int32_t /*Factor*/, int32_t Progress) {
  if (Row >= 185) {
    PageFlip(Row, Canvas, Source, Target, ARect, Progress);
    return;
  }
  const TSteps s = Steps(ARect, Progress);
  if ((Row >= 30 && Row <= 37) || Row == 46 || Row == 47)
    Expand(Row, Canvas, Target, s);
  else if ((Row >= 38 && Row <= 45) || (Row >= 68 && Row <= 72) || Row == 74)
    StretchParts(Row, Canvas, Target, s);
  else if ((Row >= 64 && Row <= 67) || Row == 75)
    Slide(Row, Canvas, Target, s);
  else if (Row >= 150)
    Push(Row, Canvas, Target, s);
  else if ((Row >= 48 && Row <= 55) || Row == 73)
    Wipe(Row, Canvas, Target, s);
  else if (Row >= 56 && Row <= 59)
    BuildUp(Row, Canvas, Target, s);
  else
    Unroll(Row, Canvas, Target, ARect, s);
}

}  // namespace rv
