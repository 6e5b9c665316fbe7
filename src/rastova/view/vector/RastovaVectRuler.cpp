// Rulers (a graduated scale or a dimension line with its length) and angles (two arms, an arc
// and the angle in degrees).
#include <algorithm>
#include <cmath>

#include "common/CodePage.h"
#include "common/Round.h"
#include "rastova/core/draw/RVGeometry.h"
#include "rastova/view/vector/RastovaVect.h"

namespace rv {

using common::TruncInt;

namespace {

int32_t Sat(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }
int32_t Add(int32_t a, long double b) { return Sat(int64_t(a) + common::Trunc(b)); }

// Pen and font of the measure texts.
void SetUpText(TRVCanvas& Canvas, const LOGFONTA* Font, double ZY, platform::TColor Color, int32_t PenWidth) {
  Canvas.Pen().SetMode(platform::pmCopy);
  Canvas.Pen().SetWidth(static_cast<float>(PenWidth));
  Canvas.Pen().SetStyle(platform::psSolid);
  Canvas.Pen().SetColor(Color);
  platform::TFont& f = Canvas.Font();
  if (Font) f.Name = LogFontFaceName(*Font);
  const int32_t h = Font ? Font->lfHeight : 0;
  f.SetSize(std::max(3, TruncInt(std::abs(static_cast<long double>(h)) * ZY)));
  f.Color = Color;
  f.Escapement = 0;
  Canvas.Brush().SetStyle(platform::bsClear);
}

}  // namespace

int32_t CountAnglePoints(const TRVPoint (&Points)[3]) {
  int32_t n = 0;
  while (n < 3 && Points[n].x != kAnglePointUnset) ++n;
  return n;
}

void TRastovaVect::DrawRuler(TRVCanvas& Canvas, int32_t X1d, int32_t Y1d, int32_t X2d, int32_t Y2d, double Length,
                             TRVUnits RulerUnit, platform::TColor Color, int32_t PenWidth, TRVVRulerType RulerType,
                             double InvZX, double InvZY, platform::TRect& DrawnRect, const LOGFONTA* Font) {
  if (X1d == X2d && Y1d == Y2d) return;
  const double zx = InvZX != 0 ? 1.0 / InvZX : 1.0, zy = InvZY != 0 ? 1.0 / InvZY : 1.0;
  const double DX = double(X2d) - X1d, DY = double(Y2d) - Y1d;
  const double L0 = std::sqrt(DX * DX + DY * DY);
  double theta0 = -std::asin(std::abs(DX) / L0);
  if (DX == 0) theta0 = Y1d < Y2d ? -M_PI / 2 : M_PI / 2;
  const bool S = (DX > 0 && DY > 0) || (DX < 0 && DY < 0);
  const double psi = S ? 2 * M_PI - theta0 + M_PI / 2 : theta0 + M_PI / 2;
  double cpsi = std::cos(psi), spsi = std::sin(psi), cpsiPi = std::cos(psi + M_PI), spsiPi = std::sin(psi + M_PI),
         cpsi2Pi = std::cos(psi + 2 * M_PI), cpsiMinusPi = std::cos(psi - M_PI);
  SetUpText(Canvas, Font, zy, Color, PenWidth);
  Canvas.DrawLine(X1d, Y1d, X2d, Y2d);
  RectIncludePoint(DrawnRect, X1d, Y1d);
  RectIncludePoint(DrawnRect, X2d, Y2d);
  const double L = static_cast<double>(PointDistance(X1d, Y1d, X2d, Y2d));
  double sx, sy;
  ComputeMeasureScale(sx, sy, RulerUnit);

  if (RulerType == rvrtRULER) {
    if (DY == 0) cpsi = 0, spsi = -1, cpsiPi = 0, spsiPi = 1, cpsi2Pi = 0, cpsiMinusPi = 0;
    const int32_t T6 = TruncInt(6 * zy), T8 = TruncInt(8 * zy), T12 = TruncInt(12 * zy);
    const double VX = sx * InvZX * 10, VY = sy * InvZY * 10;
    if (VX == 0 || VY == 0 || !std::isfinite(VX) || !std::isfinite(VY)) return;
    // The offset of tick i along the line is i times (da, db).
    const double da = (X1d > X2d ? spsi : spsiPi) / VX, db = (X1d > X2d ? cpsiPi : cpsi) / VY;
    const double k = std::sqrt(da * da + db * db);
    if (!(k > 0)) return;
    // Ticks closer than a drawing pixel share it: each pixel along the line draws one tick, the
    // longest that falls on it, labelled with the last whole unit among them.
    // Only ticks whose marks can reach the drawing are walked: the part of the tick line inside
    // the bitmap grown by a tick and a label.
    const double ux = da / k, uy = db / k;
    const double margin = T12 + 200.0;
    double t0 = 0, t1 = L + 1;
    platform::TBitmap& surface = Canvas.Handle().Bitmap();
    const double lo[2] = {-margin, -margin}, hi[2] = {surface.Width() + margin, surface.Height() + margin};
    const double from[2] = {double(X1d), double(Y1d)}, dir[2] = {ux, uy};
    for (int axis = 0; axis < 2; ++axis) {
      if (dir[axis] == 0) {
        if (from[axis] < lo[axis] || from[axis] > hi[axis]) return;
        continue;
      }
      double a = (lo[axis] - from[axis]) / dir[axis], b = (hi[axis] - from[axis]) / dir[axis];
      if (a > b) std::swap(a, b);
      t0 = std::max(t0, a), t1 = std::min(t1, b);
    }
    if (t0 > t1) return;
    // Tick indexes are counted in 64 bits: a unit scale from a file can make ticks so fine that
    // those on the drawn part have no such index. They would fill every pixel anyway; the line
    // stays without them.
    if (!((std::min(L, t1 + 1) + 2) / k < 0x1p62)) return;
    int64_t i = static_cast<int64_t>(std::ceil(std::floor(t0) / k));
    double prevLen = std::trunc(double(i) * k);
    const double stop = std::min(L, t1 + 1);
    while (prevLen < stop) {
      int64_t last = i;
      if (k < 1) {
        const double p = std::floor(double(i) * k);
        last = std::max<int64_t>(i, static_cast<int64_t>(std::ceil((p + 1) / k)) - 1);
        while (last > i && std::floor(double(last) * k) > p) --last;
        while (std::floor(double(last + 1) * k) <= p) ++last;
      }
      int64_t c = last - last % 10;
      int32_t T = T12;
      if (c < i) {
        c = last - last % 5;
        T = T8;
        if (c < i) c = last, T = T6;
      }
      const double ox = double(c) * da, oy = double(c) * db;
      if (PointInNormalizedRect(Add(X1d, ox), Add(Y1d, oy), X1d, Y1d, X2d, Y2d)) {
        const int32_t tx1 = Add(X1d, cpsi * T + ox), ty1 = Add(Y1d, spsi * T + oy);
        const int32_t tx2 = Add(X1d, cpsiPi * T + ox), ty2 = Add(Y1d, spsiPi * T + oy);
        Canvas.DrawLine(tx1, ty1, tx2, ty2);
        RectIncludePoint(DrawnRect, tx1, ty1);
        RectIncludePoint(DrawnRect, tx2, ty2);
        if (c % 10 == 0) {
          const std::string label = std::to_string(c / 10);
          const double LH = 2.0 * Canvas.TextHeight(label) + 1, LW = Canvas.TextWidth(label) / 2;
          int32_t px, py;
          if (S) {
            px = Sat(common::Trunc(LH * cpsi2Pi + tx1 - 2 * LW * cpsi + LW * spsi));
            py = Sat(common::Trunc(LH * spsi + ty1 + LW * cpsiMinusPi) + 20);
          } else {
            px = Sat(common::Trunc(LH * cpsi + tx1 + LW * spsi));
            py = Sat(common::Trunc(LH * spsi + ty1 + LW * cpsi) + 20);
          }
          Canvas.TextOut(px, py, label);
          RectIncludePoint(DrawnRect, px - 15, py - 15);
          RectIncludePoint(DrawnRect, px + 15, py + 15);
        }
      }
      prevLen = std::trunc(std::sqrt(double(last) * da * double(last) * da + double(last) * db * double(last) * db));
      i = last + 1;
    }
    return;
  }

  // Dimension line: end bars, then the length turned along the line and kept upright.
  const int32_t B9X = TruncInt(9 * zx), B9Y = TruncInt(9 * zy);
  for (const auto& [x, y] : {std::pair{X1d, Y1d}, std::pair{X2d, Y2d}}) {
    const int32_t ax = Add(x, cpsi * B9X), ay = Add(y, spsi * B9Y), bx = Add(x, cpsiPi * B9X),
                  by = Add(y, spsiPi * B9Y);
    Canvas.DrawLine(ax, ay, bx, by);
    RectIncludePoint(DrawnRect, ax, ay);
    RectIncludePoint(DrawnRect, bx, by);
  }
  const double dir = LineAngle(X1d, Y1d, X2d, Y2d);
  double Q = 2 * M_PI - dir;
  if (M_PI / 2 < Q && Q <= 3 * M_PI / 2) Q -= M_PI;
  if (Length == -1) {
    const double a = std::abs(DX) * sx * InvZX, b = std::abs(DY) * sy * InvZY;
    Length = std::sqrt(a * a + b * b);
  }
  std::string text = FormatMeasure(Length) + " " + kRVUnitNames[std::min<uint8_t>(RulerUnit, 10)];
  if (OnPresentMeasure) OnPresentMeasure(this, text, Length, rvvtLENGTH);
  const bool upright = !(dir >= M_PI / 2 && dir <= 3 * M_PI / 2);
  if (RulerType == rvrtQUOTEBEGIN) text = " " + text;
  if (RulerType == rvrtQUOTEEND) text += " ";
  const std::string utf8 = common::Cp1252ToUtf8(text);
  const double TW = Canvas.TextWidth(utf8), TH = Canvas.TextHeight(utf8);
  const double cq = std::cos(Q), sq = std::sin(Q);
  int32_t px, py;
  switch (RulerType) {
    case rvrtQUOTEBEGIN:
      px = upright ? X1d : X2d, py = upright ? Y1d : Y2d;
      break;
    case rvrtQUOTECENTER:
      if (upright)
        px = Add(X1d, cq * (L - TW) / 2), py = Add(Y1d, sq * (L - TW) / 2);
      else
        px = Sat(int64_t(X1d) - common::Trunc(cq * (TW + L) / 2)), py = Sat(int64_t(Y1d) - common::Trunc(sq * (TW + L) / 2));
      break;
    default:
      if (upright)
        px = Add(X1d, cq * (L - TW)), py = Add(Y1d, sq * (L - TW));
      else
        px = Add(X2d, cq * (L - TW)), py = Add(Y2d, sq * (L - TW));
      break;
  }
  platform::TFont& f = Canvas.Font();
  const int savedEsc = f.Escapement;
  f.Escapement = TruncInt(-Q * 1800 / M_PI);
  Canvas.TextOut(px, py, utf8);
  f.Escapement = savedEsc;
  const int32_t RX = TruncInt(cq * TW - sq * TH), RY = TruncInt(sq * TW + cq * TH);
  const int32_t ex = Sat(int64_t(px) + RX), ey = Sat(int64_t(py) + RY);
  for (const auto& [x, y] : {std::pair{px, py}, std::pair{ex, ey}}) {
    RectIncludePoint(DrawnRect, x, y);
    RectIncludePoint(DrawnRect, Sat(int64_t(x) - 15), Sat(int64_t(y) - 15));
    RectIncludePoint(DrawnRect, Sat(int64_t(x) + 15), Sat(int64_t(y) + 15));
  }
}

std::string TRastovaVect::AngleText(const TRVPoint (&Points)[3]) {
  const double A = VertexAngle(Points[0], Points[1], Points[2]) * 180 / M_PI;
  // "°" as the program's code page stores it.
  return FormatMeasure(A) + '\xB0';
}

void TRastovaVect::DrawAngle(TRVCanvas& Canvas, const TRVPoint (&Points)[3], const LOGFONTA* Font, double InvZY,
                             int32_t Factor, bool UseZoom, platform::TRect& DrawnRect, int32_t PenWidth,
                             platform::TColor Color) {
  const int32_t n = CountAnglePoints(Points);
  if (n == 0) return;
  SetUpText(Canvas, Font, InvZY != 0 ? 1.0 / InvZY : 1.0, Color, PenWidth);
  int32_t dx[3] = {0, 0, 0}, dy[3] = {0, 0, 0};
  for (int32_t k = 0; k < n; ++k) dx[k] = XBmpToDraw(Points[k].x, UseZoom, Factor), dy[k] = YBmpToDraw(Points[k].y, UseZoom, Factor);
  RectIncludePoint(DrawnRect, dx[0], dy[0]);
  for (int32_t k = 1; k < n; ++k) {
    Canvas.DrawLine(dx[k - 1], dy[k - 1], dx[k], dy[k]);
    RectIncludePoint(DrawnRect, dx[k], dy[k]);
  }
  if (n < 3) return;
  const std::string utf8 = common::Cp1252ToUtf8(AngleText(Points));
  const int32_t vx = dx[1], vy = dy[1];
  Canvas.TextOut(vx, vy, utf8);
  RectIncludePoint(DrawnRect, vx, vy);
  RectIncludePoint(DrawnRect, Sat(int64_t(vx) + Canvas.TextWidth(utf8)), Sat(int64_t(vy) + Canvas.TextHeight(utf8)));
  const int32_t R = std::min(TruncInt(PointDistance(vx, vy, dx[2], dy[2])) / 4, TruncInt(PointDistance(vx, vy, dx[0], dy[0])) / 4);
  Canvas.Arc(vx - R, vy - R, vx + R, vy + R, dx[0], dy[0], dx[2], dy[2]);
  RectIncludePoint(DrawnRect, vx - R, vy - R);
  RectIncludePoint(DrawnRect, vx + R, vy + R);
}

}  // namespace rv
