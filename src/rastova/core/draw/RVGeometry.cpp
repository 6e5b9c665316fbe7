#include "rastova/core/draw/RVGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/Round.h"

namespace rv {

namespace {

constexpr double kPi = std::numbers::pi;

// Pen offsets -(PenWidth div 2) .. PenWidth div 2, bounded; an empty range for a negative width.
int32_t PenReach(int32_t penWidth) { return penWidth < 0 ? -1 : std::min(penWidth / 2, kMaxPenOffsets); }

int32_t Sat(int64_t v) { return common::SaturateInt32(v); }

long double Length(int64_t dx, int64_t dy) {
  const long double x = static_cast<long double>(dx), y = static_cast<long double>(dy);
  return std::sqrt(x * x + y * y);
}

// Whether the edge from (xj, yj) to (xi, yi) crosses the ray from (x, y) towards +x.
bool EdgeCrossesRay(double x, double y, double xi, double yi, double xj, double yj) {
  const bool spans = (yi <= y && y < yj) || (yj <= y && y < yi);
  return spans && x < xi + (xj - xi) * (y - yi) / (yj - yi);
}

}  // namespace

void RectIncludePoint(platform::TRect& R, int32_t X, int32_t Y) {
  R.Left = std::min(R.Left, X);
  R.Right = std::max(R.Right, X);
  R.Top = std::min(R.Top, Y);
  R.Bottom = std::max(R.Bottom, Y);
}

platform::TRect BoxAround(int64_t X, int64_t Y, int64_t Half) {
  return {common::SaturateInt32(X - Half), common::SaturateInt32(Y - Half), common::SaturateInt32(X + Half),
          common::SaturateInt32(Y + Half)};
}

double ArcTan2(double Y, double X) { return std::atan2(Y, X); }

double ArcCosSafe(double C) {
  if (!(C > -1 && C < 1)) return 0;
  return ArcTan2(std::sqrt(1 - C * C), C);
}

double AngleBetweenSegments(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3) {
  const int64_t ux = int64_t(X2) - X1, uy = int64_t(Y2) - Y1;
  const int64_t vx = int64_t(X3) - X2, vy = int64_t(Y3) - Y2;
  const long double lengths = Length(ux, uy) * Length(vx, vy);
  if (!(lengths > 0) || !std::isfinite(lengths)) return 0;
  const long double dot = static_cast<long double>(ux) * vx + static_cast<long double>(uy) * vy;
  const long double c = dot / lengths;
  if (!(std::fabs(c) <= 1)) return 0;
  return ArcCosSafe(static_cast<double>(c));
}

double LineAngle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  if (X1 == X2 && Y1 == Y2) return 0;
  double a = ArcTan2(static_cast<double>(int64_t(Y1) - Y2), static_cast<double>(int64_t(X2) - X1));
  if (a < 0) a += 2 * kPi;
  return a;
}

int32_t TurnDirection(const TRVPoint& P1, const TRVPoint& P2, const TRVPoint& P3) {
  // Products of 33-bit differences are exact in the 64-bit mantissa of long double.
  const long double d1x = int64_t(P2.x) - P1.x, d1y = int64_t(P2.y) - P1.y;
  const long double d2x = int64_t(P3.x) - P1.x, d2y = int64_t(P3.y) - P1.y;
  if (d1y * d2x < d1x * d2y) return 1;
  if (d1x * d2y < d1y * d2x) return -1;
  if (d1x * d2x < 0 || d1y * d2y < 0) return -1;
  if (d1x * d1x + d1y * d1y < d2x * d2x + d2y * d2y) return 1;
  return 0;
}

double VertexAngle(const TRVPoint& P1, const TRVPoint& P2, const TRVPoint& P3) {
  long double b = Length(int64_t(P3.x) - P2.x, int64_t(P3.y) - P2.y);
  long double c = Length(int64_t(P2.x) - P1.x, int64_t(P2.y) - P1.y);
  const long double a = Length(int64_t(P3.x) - P1.x, int64_t(P3.y) - P1.y);
  // Only the divisors are guarded: P1 = P3 is an angle of 0, not of a unit's width.
  if (b == 0) b = 1;
  if (c == 0) c = 1;
  double angle = ArcCosSafe(static_cast<double>((b * b + c * c - a * a) / (2 * b * c)));
  if (TurnDirection(P1, P2, P3) == -1) angle = 2 * kPi - angle;
  return angle;
}

void RotatePoints(TRVPoint* Points, int32_t High, int32_t CX, int32_t CY, double Degrees) {
  if (Points == nullptr || High < 0) return;
  const double d = -Degrees * kPi / 180;
  const double cs = std::cos(d), sn = std::sin(d);
  for (int32_t i = 0; i <= High; ++i) {
    const double x = static_cast<double>(int64_t(Points[i].x) - CX);
    const double y = static_cast<double>(int64_t(Points[i].y) - CY);
    Points[i].x = Sat(CX + common::Trunc(cs * x - sn * y));
    Points[i].y = Sat(CY + common::Trunc(sn * x + cs * y));
  }
}

bool PointInPolygon(int32_t X, int32_t Y, const TRVPoint* Points, int32_t High) {
  if (Points == nullptr || High < 0) return false;
  bool inside = false;
  for (int32_t i = 0, j = High; i <= High; j = i++) {
    if (EdgeCrossesRay(X, Y, Points[i].x, Points[i].y, Points[j].x, Points[j].y)) inside = !inside;
  }
  return inside;
}

bool PointInScaledPolygon(int32_t X, int32_t Y, const TRVPoint* Points, int32_t Count, int32_t OriginX,
                          int32_t OriginY, int32_t OffsetX, int32_t OffsetY, double ScaleX, double ScaleY) {
  if (Points == nullptr || Count <= 0) return false;
  const auto mapX = [&](int32_t x) { return (double(x) - OriginX) * ScaleX + OffsetX; };
  const auto mapY = [&](int32_t y) { return (double(y) - OriginY) * ScaleY + OffsetY; };
  bool inside = false;
  for (int32_t i = 0, j = Count - 1; i < Count; j = i++) {
    if (EdgeCrossesRay(X, Y, mapX(Points[i].x), mapY(Points[i].y), mapX(Points[j].x), mapY(Points[j].y)))
      inside = !inside;
  }
  return inside;
}

int32_t DistanceToEllipse(int32_t X, int32_t Y, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom,
                          bool Filled, int32_t PenWidth) {
  int32_t result = kNoHit;
  const int64_t halfW = (int64_t(Right) - Left) / 2, halfH = (int64_t(Bottom) - Top) / 2;
  const int32_t dx = Sat(X - (Left + halfW)), dy = Sat(Y - (Top + halfH));
  const int32_t reach = PenReach(PenWidth);
  for (int32_t k = -reach; k <= reach; ++k) {
    const int64_t rx = halfW + k, ry = halfH + k;
    int64_t n = common::Trunc(2 * kPi * static_cast<double>(std::min(rx, ry)));
    if (!Filled) n /= 8;
    n = std::clamp<int64_t>(n, 2, kMaxOutlineVertices);
    int32_t px = Sat(rx), py = 0;
    // Vertex n is vertex 0 again, which closes the outline and gives the filled figure its
    // spoke along +x.
    for (int64_t i = 1; i <= n; ++i) {
      const double a = 2 * kPi * static_cast<double>(i) / static_cast<double>(n);
      const int32_t vx = Sat(common::Trunc(std::cos(a) * static_cast<double>(rx)));
      const int32_t vy = Sat(common::Trunc(std::sin(a) * static_cast<double>(ry)));
      const double d =
          Filled ? DistanceToSegment(dx, dy, 0, 0, vx, vy) : DistanceToSegment(dx, dy, px, py, vx, vy);
      result = std::min(result, Sat(common::Trunc(d)));
      px = vx;
      py = vy;
    }
  }
  return result;
}

int32_t DistanceToRectangle(int32_t X, int32_t Y, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom,
                            bool Filled, int32_t PenWidth) {
  int32_t result = kNoHit;
  const int32_t reach = PenReach(PenWidth);
  for (int32_t k = -reach; k <= reach; ++k) {
    const int32_t l = Sat(int64_t(Left) + k), t = Sat(int64_t(Top) + k);
    const int32_t r = Sat(int64_t(Right) + k), b = Sat(int64_t(Bottom) + k);
    const double d = std::min({DistanceToSegment(X, Y, l, t, r, t), DistanceToSegment(X, Y, r, t, r, b),
                               DistanceToSegment(X, Y, r, b, l, b), DistanceToSegment(X, Y, l, b, l, t)});
    result = std::min(result, Sat(common::Trunc(d)));
    if (Filled && PointInRectangle(X, Y, l, t, r, b)) return 0;
  }
  return result;
}

uint8_t LogFontStyleBits(const LOGFONTA& LogFont) {
  uint8_t bits = 0;
  if (LogFont.lfWeight >= 700) bits |= fsBold;
  if (LogFont.lfItalic != 0) bits |= fsItalic;
  if (LogFont.lfUnderline != 0) bits |= fsUnderline;
  if (LogFont.lfStrikeOut != 0) bits |= fsStrikeOut;
  return bits;
}

}  // namespace rv
