#include "shape/model/uWarpFrame.h"

#include <cmath>
#include <numbers>

#include "common/Round.h"
#include "settings/AppSettings.h"

namespace shape {

namespace {

using LD = long double;

constexpr double kNarrowFrame = 0.0078125;  // 1/128: narrower frames keep the pivot on r00

TDbl2D Pt(LD x, LD y) { return TDbl2D{{static_cast<double>(x), static_cast<double>(y)}}; }

// The committed corners and centre of R0.
struct Box {
  LD x0, y0, x1, y1, cx, cy;
};

Box CommittedBox(const TCS& cs) {
  Box b;
  b.x0 = cs.R0.r00[0];
  b.y0 = cs.R0.r00[1];
  b.x1 = cs.R0.r11[0];
  b.y1 = cs.R0.r11[1];
  b.cx = (b.x0 + b.x1) / 2;
  b.cy = (b.y0 + b.y1) / 2;
  return b;
}

// num / den, or false when den is zero (the frame has no extent on that axis).
bool Ratio(LD num, LD den, LD& out) {
  if (den == 0) return false;
  out = num / den;
  return true;
}

void Scale(TFrameTransform& t, LD sx, LD sy, LD fx, LD fy) {
  t.m00 = static_cast<double>(sx);
  t.m01 = 0.0;
  t.m10 = 0.0;
  t.m11 = static_cast<double>(sy);
  t.fx = static_cast<double>(fx);
  t.fy = static_cast<double>(fy);
}

LD Bezier(LD t, LD a, LD b, LD c, LD d) {
  const LD s = 1 - t;
  return s * s * s * a + 3 * s * s * t * b + 3 * s * t * t * c + t * t * t * d;
}

TDbl2D Bezier2(LD t, const TDbl2D& a, const TDbl2D& b, const TDbl2D& c, const TDbl2D& d) {
  return Pt(Bezier(t, a[0], b[0], c[0], d[0]), Bezier(t, a[1], b[1], c[1], d[1]));
}

LD Clamp01(LD v) {
  if (v < 0) return 0;
  if (v > 1) return 1;
  return v;
}

}  // namespace

void SetFrameCorners(TCS& cs, bool centrePivot) {
  TRengeD& f = cs.R1;
  f.r01 = Pt(f.r00[0], f.r11[1]);
  f.r10 = Pt(f.r11[0], f.r00[1]);
  if (!centrePivot) return;
  for (int k = 0; k < 2; ++k) {
    const LD a = f.r00[k];
    const LD b = f.r11[k];
    f.rp[k] = std::fabs(a - b) <= kNarrowFrame ? f.r00[k] : static_cast<double>((a + b) / 2);
  }
}

void ResetFrameHandles(TCS& cs) {
  TRengeD& f = cs.R1;
  f.r01 = Pt(f.r00[0], f.r11[1]);
  f.r10 = Pt(f.r11[0], f.r00[1]);
  const LD x0 = f.r00[0], y0 = f.r00[1], x1 = f.r11[0], y1 = f.r11[1];
  const LD xa = (2 * x0 + x1) / 3, xb = (x0 + 2 * x1) / 3;
  const LD ya = (2 * y0 + y1) / 3, yb = (y0 + 2 * y1) / 3;
  f.b0 = Pt(xa, y0);
  f.b1 = Pt(xb, y0);
  f.b2 = Pt(x0, ya);
  f.b3 = Pt(x0, yb);
  f.b4 = Pt(x1, ya);
  f.b5 = Pt(x1, yb);
  f.b6 = Pt(xa, y1);
  f.b7 = Pt(xb, y1);
}

double FrameAngle(const TDbl2D& p, const TDbl2D& c) {
  if (p[0] == c[0]) return p[1] >= c[1] ? std::numbers::pi / 2 : -std::numbers::pi / 2;
  return static_cast<double>(std::atan2(static_cast<LD>(p[1]) - c[1], static_cast<LD>(p[0]) - c[0]));
}

bool FrameCornerScale(const TCS& cs, int mode, const TDbl2D& mouse, TFrameTransform& t) {
  t = TFrameTransform{};
  const Box b = CommittedBox(cs);
  const LD px = mouse[0], py = mouse[1];
  const LD w = b.x1 - b.x0, h = b.y1 - b.y0;
  LD sx, sy;
  switch (mode) {
    case FRAME_CORNER_00:
      if (!Ratio(b.x1 - px, w, sx) || !Ratio(b.y1 - py, h, sy)) return false;
      Scale(t, sx, sy, b.x1, b.y1);
      return true;
    case FRAME_CORNER_01:
      if (!Ratio(b.x1 - px, w, sx) || !Ratio(py - b.y0, h, sy)) return false;
      Scale(t, sx, sy, b.x1, b.y0);
      return true;
    case FRAME_CORNER_10:
      if (!Ratio(px - b.x0, w, sx) || !Ratio(b.y1 - py, h, sy)) return false;
      Scale(t, sx, sy, b.x0, b.y1);
      return true;
    case FRAME_CORNER_11:
      if (!Ratio(px - b.x0, w, sx) || !Ratio(py - b.y0, h, sy)) return false;
      Scale(t, sx, sy, b.x0, b.y0);
      return true;
    default:
      return false;
  }
}

bool FrameEdgeScale(const TCS& cs, int mode, const TDbl2D& mouse, TFrameTransform& t) {
  t = TFrameTransform{};
  const Box b = CommittedBox(cs);
  const LD px = mouse[0], py = mouse[1];
  const LD w = b.x1 - b.x0, h = b.y1 - b.y0;
  LD s;
  switch (mode) {
    case FRAME_EDGE_Y0:
      if (!Ratio(b.y1 - py, h, s)) return false;
      Scale(t, 1, s, b.x0, b.y1);
      return true;
    case FRAME_EDGE_Y1:
      if (!Ratio(py - b.y0, h, s)) return false;
      Scale(t, 1, s, b.x0, b.y0);
      return true;
    case FRAME_EDGE_X0:
      if (!Ratio(b.x1 - px, w, s)) return false;
      Scale(t, s, 1, b.x1, b.y0);
      return true;
    case FRAME_EDGE_X1:
      if (!Ratio(px - b.x0, w, s)) return false;
      Scale(t, s, 1, b.x0, b.y0);
      return true;
    default:
      return false;
  }
}

bool FrameRotation(const TCS& cs, const TDbl2D& start, const TDbl2D& mouse, bool snap, TFrameTransform& t) {
  t = TFrameTransform{};
  LD a = static_cast<LD>(FrameAngle(mouse, cs.R1.rp)) - FrameAngle(start, cs.R1.rp);
  if (snap) {
    const LD step = settings::GridAngleStep;
    // A step of zero or infinity (a "GridRad" of 0) has no multiples to snap to: no turn.
    if (std::isfinite(step) && step != 0)
      a = static_cast<LD>(common::Round(a / step)) * step;
    else
      a = 0;
  }
  const double c = static_cast<double>(std::cos(a));
  const double s = static_cast<double>(std::sin(a));
  t.m00 = c;
  t.m01 = -s;
  t.m10 = s;
  t.m11 = c;
  t.fx = cs.R0.rp[0];
  t.fy = cs.R0.rp[1];
  return true;
}

bool FrameCentredCornerScale(const TCS& cs, int mode, const TDbl2D& mouse, TFrameTransform& t) {
  t = TFrameTransform{};
  const Box b = CommittedBox(cs);
  const LD px = mouse[0], py = mouse[1];
  LD sx, sy;
  bool ok;
  switch (mode) {
    case FRAME_CENTRED_CORNER_00:
      ok = Ratio(b.cx - px, b.cx - b.x0, sx) && Ratio(b.cy - py, b.cy - b.y0, sy);
      break;
    case FRAME_CENTRED_CORNER_01:
      ok = Ratio(b.cx - px, b.cx - b.x0, sx) && Ratio(py - b.cy, b.y1 - b.cy, sy);
      break;
    case FRAME_CENTRED_CORNER_10:
      ok = Ratio(px - b.cx, b.x1 - b.cx, sx) && Ratio(b.cy - py, b.cy - b.y0, sy);
      break;
    case FRAME_CENTRED_CORNER_11:
      ok = Ratio(px - b.cx, b.x1 - b.cx, sx) && Ratio(py - b.cy, b.y1 - b.cy, sy);
      break;
    default:
      ok = false;
  }
  if (!ok) return false;
  const LD s = (sx + sy) / 2;
  Scale(t, s, s, b.cx, b.cy);
  return true;
}

bool FrameCentredEdgeScale(const TCS& cs, int mode, const TDbl2D& mouse, TFrameTransform& t) {
  t = TFrameTransform{};
  const Box b = CommittedBox(cs);
  const LD px = mouse[0], py = mouse[1];
  LD s;
  switch (mode) {
    case FRAME_CENTRED_EDGE_Y0:
      if (!Ratio(b.cy - py, b.cy - b.y0, s)) return false;
      Scale(t, 1, s, b.cx, b.cy);
      return true;
    case FRAME_CENTRED_EDGE_Y1:
      if (!Ratio(py - b.cy, b.y1 - b.cy, s)) return false;
      Scale(t, 1, s, b.cx, b.cy);
      return true;
    case FRAME_CENTRED_EDGE_X0:
      if (!Ratio(b.cx - px, b.cx - b.x0, s)) return false;
      Scale(t, s, 1, b.cx, b.cy);
      return true;
    case FRAME_CENTRED_EDGE_X1:
      if (!Ratio(px - b.cx, b.x1 - b.cx, s)) return false;
      Scale(t, s, 1, b.cx, b.cy);
      return true;
    default:
      return false;
  }
}

bool FrameCornerWarp(const TCS& cs, int mode, const TDbl2D& mouse, TCornerWarp& w) {
  w = TCornerWarp{};
  const TRengeD& f = cs.R0;
  const TDbl2D* anchor;
  LD ex, ey;
  switch (mode) {
    case FRAME_WARP_00:
      anchor = &f.r11;
      ex = static_cast<LD>(f.r01[0]) - f.r11[0];
      ey = static_cast<LD>(f.r10[1]) - f.r11[1];
      break;
    case FRAME_WARP_01:
      anchor = &f.r10;
      ex = static_cast<LD>(f.r00[0]) - f.r10[0];
      ey = static_cast<LD>(f.r11[1]) - f.r10[1];
      break;
    case FRAME_WARP_10:
      anchor = &f.r01;
      ex = static_cast<LD>(f.r11[0]) - f.r01[0];
      ey = static_cast<LD>(f.r00[1]) - f.r01[1];
      break;
    case FRAME_WARP_11:
      anchor = &f.r00;
      ex = static_cast<LD>(f.r10[0]) - f.r00[0];
      ey = static_cast<LD>(f.r01[1]) - f.r00[1];
      break;
    default:
      return false;
  }
  w.ax = (*anchor)[0];
  w.ay = (*anchor)[1];
  w.ex = static_cast<double>(ex);
  w.ey = static_cast<double>(ey);
  if (w.ex == 0.0 || w.ey == 0.0) {
    // A flat frame cannot be warped: the identity (the corner stays where it is).
    w.ox = w.ex;
    w.oy = w.ey;
    return false;
  }
  w.ox = static_cast<double>(static_cast<LD>(mouse[0]) - w.ax);
  w.oy = static_cast<double>(static_cast<LD>(mouse[1]) - w.ay);
  return true;
}

bool MakeFrameDrag(const TCS& cs, int mode, const TDbl2D& start, const TDbl2D& mouse, bool snap,
                   TFrameDrag& d) {
  d = TFrameDrag{};
  if (mode >= FRAME_CORNER_00 && mode <= FRAME_CORNER_11) return FrameCornerScale(cs, mode, mouse, d.Affine);
  if (mode >= FRAME_EDGE_Y0 && mode <= FRAME_EDGE_X1) return FrameEdgeScale(cs, mode, mouse, d.Affine);
  if (mode == FRAME_ROTATE) return FrameRotation(cs, start, mouse, snap, d.Affine);
  if (mode >= FRAME_CENTRED_CORNER_00 && mode <= FRAME_CENTRED_CORNER_11)
    return FrameCentredCornerScale(cs, mode, mouse, d.Affine);
  if (mode >= FRAME_CENTRED_EDGE_Y0 && mode <= FRAME_CENTRED_EDGE_X1)
    return FrameCentredEdgeScale(cs, mode, mouse, d.Affine);
  if (mode >= FRAME_WARP_00 && mode <= FRAME_WARP_11) {
    d.Warp = true;
    return FrameCornerWarp(cs, mode, mouse, d.Corner);
  }
  return false;
}

TDbl2D ApplyFrameDrag(const TFrameDrag& d, const TDbl2D& p) {
  return d.Warp ? ApplyCornerWarp(d.Corner, p) : ApplyFrameTransform(d.Affine, p);
}

TDbl2D ApplyFrameTransform(const TFrameTransform& t, const TDbl2D& p) {
  const LD dx = static_cast<LD>(p[0]) - t.fx;
  const LD dy = static_cast<LD>(p[1]) - t.fy;
  return Pt(t.fx + t.m00 * dx + t.m01 * dy, t.fy + t.m10 * dx + t.m11 * dy);
}

TDbl2D ApplyCornerWarp(const TCornerWarp& w, const TDbl2D& p) {
  const LD ex = w.ex, ey = w.ey;
  const LD c = ex * ey;
  if (c == 0) return p;
  const LD dx = static_cast<LD>(p[0]) - w.ax;
  const LD dy = static_cast<LD>(p[1]) - w.ay;
  return Pt(w.ax + dx * (c - ex * dy + dy * w.ox) / c, w.ay + dy * (c - dx * ey + dx * w.oy) / c);
}

TDbl2D CurveWarpPoint(const TRengeD& f0, const TRengeD& f1, const TDbl2D& p) {
  TDbl2D bottom = f1.r00;
  TDbl2D top = f1.r11;
  TDbl2D lower = f1.b2;  // inner control points of the vertical curve
  TDbl2D upper = f1.b3;
  if (f0.r11[0] != f0.r00[0]) {
    const LD w = Clamp01((static_cast<LD>(p[0]) - f0.r00[0]) / (static_cast<LD>(f0.r11[0]) - f0.r00[0]));
    top = Bezier2(w, f1.r01, f1.b6, f1.b7, f1.r11);
    bottom = Bezier2(w, f1.r00, f1.b0, f1.b1, f1.r10);
    // The side handles' displacements from the committed corners, blended across the frame.
    for (int k = 0; k < 2; ++k) {
      upper[k] = static_cast<double>(top[k] + (1 - w) * (static_cast<LD>(f1.b3[k]) - f0.r01[k]) +
                                     w * (static_cast<LD>(f1.b5[k]) - f0.r11[k]));
      lower[k] = static_cast<double>(bottom[k] + (1 - w) * (static_cast<LD>(f1.b2[k]) - f0.r00[k]) +
                                     w * (static_cast<LD>(f1.b4[k]) - f0.r10[k]));
    }
  }
  if (f0.r11[1] == f0.r00[1]) return bottom;
  const LD v = Clamp01((static_cast<LD>(p[1]) - f0.r00[1]) / (static_cast<LD>(f0.r11[1]) - f0.r00[1]));
  return Bezier2(v, bottom, lower, upper, top);
}

}  // namespace shape
