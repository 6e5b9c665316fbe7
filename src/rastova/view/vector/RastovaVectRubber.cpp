// Rubber outlines of an insertion in progress, drawn straight on the window surface as the
// view draws its own polygon rubber line: lines, boxes and ellipses with RubberPen (the NOT pen
// by default, so that drawing the same outline again restores every pixel), rulers and angles
// through a plain canvas after a repaint.
#include <algorithm>

#include "platform/gfx/Region.h"
#include "rastova/view/vector/RastovaVect.h"

namespace rv {

void TRastovaVect::ShowRubber(TRubberKind Kind) {
  FRubber = TRubberShown{Kind, FDownInImageX, FDownInImageY, InsertX, InsertY};
  StrokeRubber();
}

void TRastovaVect::StrokeRubber() {
  if (FRubber.Kind == rbNone || !HasParentWindow()) return;
  platform::TCanvas& c = Canvas();
  const int32_t x0 = FRubber.X0, y0 = FRubber.Y0, x1 = FRubber.X1, y1 = FRubber.Y1;
  if (FRubber.Kind == rbRuler || FRubber.Kind == rbAngle) {
    TRVCanvas rc(c, false, false);
    platform::TRect drawn{2000000000, 2000000000, -2000000000, -2000000000};
    if (FRubber.Kind == rbRuler) {
      const TRVVObjRecord& t = NewObjectTemplate;
      DrawRuler(rc, x0, y0, x1, y1, -1, t.RulerUnit, t.PenColor, t.PenWidth, t.RulerType, FInvZoomX, FInvZoomY,
                drawn, t.LogFont ? &*t.LogFont : nullptr);
      return;
    }
    const TRVVObjRecord* o = GetObj(InsertingAngle);
    if (!o) return;
    TRVPoint pts[3] = {o->AnglePoints[0], o->AnglePoints[1], o->AnglePoints[2]};
    const int32_t n = CountAnglePoints(pts);
    if (n < 3) pts[n] = TRVPoint{XScr2Bmp(x1), YScr2Bmp(y1)};
    DrawAngle(rc, pts, o->LogFont ? &*o->LogFont : nullptr, FInvZoomY, 1, true, drawn, o->PenWidth, o->PenColor);
    return;
  }
  const platform::TPen pen = c.Pen;
  const platform::TBrush brush = c.Brush;
  c.Pen = RubberPen;
  switch (FRubber.Kind) {
    case rbLine:
      c.MoveTo(x0, y0);
      c.LineTo(x1, y1);
      break;
    case rbBox: {
      const platform::TPoint sides[5] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}};
      c.Polyline(sides);
      break;
    }
    default: {
      c.Brush.Style = platform::bsClear;
      c.Ellipse(std::min(x0, x1), std::min(y0, y1), std::max(x0, x1) + 1, std::max(y0, y1) + 1);
      break;
    }
  }
  c.Pen = pen;
  c.Brush = brush;
}

void TRastovaVect::EraseRubber() {
  const TRubberShown shown = FRubber;
  if (shown.Kind == rbNone) return;
  if (shown.Kind == rbRuler || shown.Kind == rbAngle) {
    // Drawn over a fresh repaint: the next repaint takes them away.
    FRubber.Kind = rbNone;
    return;
  }
  if (RubberPen.Mode == platform::pmNot) {
    StrokeRubber();
  } else if (HasParentWindow()) {
    // A wide pen reaches half its width past the outline.
    const int32_t grow = 1 + std::max(RubberPen.Width, 1) / 2;
    PaintBackBuffer(platform::Rect(std::min(shown.X0, shown.X1) - grow, std::min(shown.Y0, shown.Y1) - grow,
                                   std::max(shown.X0, shown.X1) + grow + 1, std::max(shown.Y0, shown.Y1) + grow + 1));
  }
  FRubber.Kind = rbNone;
}

void TRastovaVect::RedrawRubber(bool Whole) {
  if (FRubber.Kind == rbNone || FPaintLock != 0 || !HasParentWindow()) return;
  // The repaint copied the whole back buffer, or the box around the paint's clip region.
  platform::TCanvas& c = Canvas();
  const std::optional<QRegion> clip = c.ClipRegion();
  if (Whole) {
    c.SetClipRegion(nullptr);
  } else {
    const platform::TRegion box(c.ClipRect());
    c.SetClipRegion(&box);
  }
  StrokeRubber();
  if (clip) {
    const platform::TRegion region(*clip);
    c.SetClipRegion(&region);
  } else {
    c.SetClipRegion(nullptr);
  }
}

void TRastovaVect::DrawRubberLine(bool Erase) {
  if (Erase)
    EraseRubber();
  else
    ShowRubber(rbLine);
}

void TRastovaVect::DrawRubberBox(bool Erase) {
  if (Erase)
    EraseRubber();
  else
    ShowRubber(rbBox);
}

void TRastovaVect::DrawRubberEllipse(bool Erase) {
  if (Erase)
    EraseRubber();
  else
    ShowRubber(rbEllipse);
}

void TRastovaVect::DrawRubberRuler() { ShowRubber(rbRuler); }

void TRastovaVect::DrawRubberAngle() { ShowRubber(rbAngle); }

}  // namespace rv
