#include "rastova/view/transitions/TransitionRegions.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <span>
#include <vector>

#include "common/Random.h"
#include "common/Round.h"

namespace rv {

using platform::TPoint;
using platform::TRect;
using platform::TRegion;

namespace {

struct TUnitPoint {
  long double x, y;
};

// The outlines in the unit square, in drawing order.
constexpr TUnitPoint kStar5[] = {{0.5L, 0},      {0.62L, 0.36L}, {1, 0.36L},     {0.7L, 0.59L},
                                 {0.81L, 0.95L}, {0.5L, 0.73L},  {0.19L, 0.95L}, {0.31L, 0.59L},
                                 {0, 0.36L},     {0.39L, 0.36L}, {0.5L, 0}};
constexpr TUnitPoint kStar6[] = {{0.5L, 0},     {0.625L, 0.25L}, {0.9L, 0.25L}, {0.75L, 0.5L},
                                 {0.9L, 0.75L}, {0.625L, 0.75L}, {0.5L, 1},     {0.375L, 0.75L},
                                 {0.1L, 0.75L}, {0.25L, 0.5L},   {0.1L, 0.25L}, {0.375L, 0.25L},
                                 {0.5L, 0}};
constexpr TUnitPoint kArrow[] = {{0, 0},    {0.4L, 0},    {0.3L, 0.1L}, {1, 0.8L},
                                 {0.8L, 1}, {0.1L, 0.3L}, {0, 0.4L},    {0, 0}};
constexpr TUnitPoint kFeatheredArrow[] = {
    {0.85L, 1},       {0.8L, 0.95L},    {0.8L, 0.85L}, {0.775L, 0.825L}, {0.775L, 0.925L}, {0.725L, 0.875L},
    {0.725L, 0.775L}, {0.7L, 0.75L},    {0.7L, 0.85L}, {0.65L, 0.8L},    {0.65L, 0.7L},    {0.15L, 0.2L},
    {0.15L, 0.3L},    {0, 0.15L},       {0, 0},        {0.15L, 0},       {0.3L, 0.15L},    {0.2L, 0.15L},
    {0.7L, 0.65L},    {0.8L, 0.65L},    {0.85L, 0.7L}, {0.75L, 0.7L},    {0.775L, 0.725L}, {0.875L, 0.725L},
    {0.925L, 0.775L}, {0.825L, 0.775L}, {0.85L, 0.8L}, {0.95L, 0.8L},    {1, 0.85L},       {0.85L, 0.85L},
    {0.85L, 1}};
constexpr TUnitPoint kLightning[] = {{1, 0.19L},     {0.61L, 0.01L}, {0.41L, 0.29L}, {0.49L, 0.31L},
                                     {0.23L, 0.55L}, {0.33L, 0.6L},  {0, 1},         {0.51L, 0.69L},
                                     {0.46L, 0.65L}, {0.78L, 0.45L}, {0.66L, 0.39L}, {1, 0.19L}};
constexpr TUnitPoint kExplosion[] = {
    {0.33L, 0},     {0.5L, 0.26L},  {0.62L, 0.11L}, {0.67L, 0.28L}, {0.99L, 0.1L},
    {0.78L, 0.35L}, {1, 0.39L},     {0.84L, 0.54L}, {0.99L, 0.66L}, {0.75L, 0.64L},
    {0.78L, 0.81L}, {0.65L, 0.71L}, {0.61L, 1},     {0.51L, 0.69L}, {0.38L, 0.89L},
    {0.35L, 0.66L}, {0.17L, 0.83L}, {0.22L, 0.59L}, {0, 0.61L},     {0.19L, 0.48L},
    {0.04L, 0.37L}, {0.22L, 0.34L}, {0.16L, 0.2L},  {0.35L, 0.25L}, {0.33L, 0.01L}};

PRegion Make(TRegion region) { return std::make_unique<TRegion>(std::move(region)); }

// The outline in the box, each unit coordinate mirrored (c -> 1 - c) where asked.
PRegion OutlineRegion(std::span<const TUnitPoint> outline, int32_t X, int32_t Y, int32_t Width,
                      int32_t Height, bool mirrorX, bool mirrorY) {
  std::vector<TPoint> points;
  points.reserve(outline.size());
  for (const TUnitPoint& u : outline) {
    const long double x = mirrorX ? 1 - u.x : u.x, y = mirrorY ? 1 - u.y : u.y;
    points.push_back({X + common::RoundInt((Width - 1) * x), Y + common::RoundInt((Height - 1) * y)});
  }
  return Make(TRegion::Polygon(points));
}

// Adds the rectangle with its axes exchanged when `columns` is set.
struct TAxisAdder {
  TComplexRegion& region;
  bool columns;
  void operator()(int32_t a0, int32_t b0, int32_t a1, int32_t b1) const {
    if (columns)
      region.AddRect(b0, a0, b1, a1);
    else
      region.AddRect(a0, b0, a1, b1);
  }
};

// One pass of the bars: along = the bar length axis (Width for rows), across = the other.
void AddBars(const TAxisAdder& add, int32_t Length, int32_t along, int32_t across, int32_t t, int32_t mode) {
  const bool second = Length > along;
  for (int32_t y = second ? t : 0; y < across + t; y += 2 * t) {
    if (second) {
      if (mode == 1 || mode == 4) add(2 * along - Length, y, along, y + t);
      if (mode == 2 || mode == 5) add(0, y, Length - along, y + t);
      add(0, y - t, along, y);
    } else if (mode == 1 || mode == 5) {
      add(along - Length, y, along, y + t);
    } else if (mode == 2 || mode == 4) {
      add(0, y, Length, y + t);
    } else if (mode == 3) {
      add(along - Length, y, along, y + t);
      add(0, y + t, Length, y + 2 * t);
    }
  }
}

void AddShreds(const TAxisAdder& add, int32_t Length, int32_t along, int32_t across, int32_t t,
               int32_t mode) {
  const int32_t jag = Length < along ? along / 10 : 0;
  const int32_t extra = across % t;
  for (int32_t y = 0; y < across; y += t) {
    const int32_t L = Length - jag + common::Random(2 * jag);
    const int32_t b = y + t + extra;
    switch (mode) {
      case 1:
        add(along - L, y, along, b);
        break;
      case 2:
        add(0, y, L, b);
        break;
      case 3:
        add(along / 2 - L / 2, y, along / 2, b);
        add(along / 2, y, along / 2 + L / 2, b);
        break;
      case 4:
        add(along - L / 2, y, along, b);
        add(0, y, L / 2, b);
        break;
      default:
        break;
    }
  }
}

void AddSpeckles(const TAxisAdder& add, int32_t Length, int32_t along, int32_t across, int32_t mode) {
  const int32_t fringe = Length < along ? along / 10 : 0;
  const int32_t s = std::max(fringe / 20, 2);
  const int32_t n = fringe / s, nearLimit = 3 * fringe / (4 * s);
  for (int32_t y = 0; y < across; y += s / 2) {
    if (mode == 1)
      add(along - Length, y, along, y + s);
    else
      add(0, y, Length, y + s);
    for (int32_t k = n; k >= 1; --k) {
      const int32_t draw = common::Random(k);
      if (k <= nearLimit ? draw > 1 : draw != 0) continue;
      if (mode == 1) {
        const int32_t a = along - Length - k * s;
        add(a, y, a + s, y + s);
      } else {
        add(Length + (k - 1) * s, y, Length + k * s, y + s);
      }
    }
  }
}

}  // namespace

void CombineRegions(PRegion& A, PRegion B, platform::TRegionCombine Mode) {
  if (!B) {
    if (Mode == platform::RGN_AND) A.reset();
    return;
  }
  if (!A) {
    if (Mode != platform::RGN_AND) A = std::move(B);
    return;
  }
  A->Combine(*A, *B, Mode);
}

PRegion CreatePolygonRegion(const int32_t* Coords, int32_t Count) {
  std::vector<TPoint> points;
  for (int32_t i = 0; i + 1 < Count; i += 2) points.push_back({Coords[i], Coords[i + 1]});
  return Make(TRegion::Polygon(points));
}

PRegion CreateTriangleRegion(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3) {
  const TPoint points[] = {{X1, Y1}, {X2, Y2}, {X3, Y3}};
  return Make(TRegion::Polygon(points));
}

PRegion CreateSectorRegion(int32_t CX, int32_t CY, int32_t Radius, long double StartAngle,
                           long double EndAngle, int32_t Count) {
  std::vector<TPoint> points{{CX, CY}};
  for (int32_t k = 0; k < Count; ++k) {
    const long double theta = StartAngle + k * (EndAngle - StartAngle) / Count;
    points.push_back(
        {CX + common::RoundInt(Radius * std::cos(theta)), CY + common::RoundInt(Radius * std::sin(theta))});
  }
  return Make(TRegion::Polygon(points));
}

PRegion CreateBarsRegion(int32_t XLength, int32_t YLength, int32_t Width, int32_t Height, int32_t RowMode,
                         int32_t ColumnMode) {
  const int32_t t = std::min(Width, Height) / 50 + 1;
  TComplexRegion region;
  AddBars({region, false}, XLength, Width, Height, t, RowMode);
  AddBars({region, true}, YLength, Height, Width, t, ColumnMode);
  return region.CreateRegion();
}

PRegion CreateShredsRegion(int32_t XLength, int32_t YLength, int32_t Width, int32_t Height, int32_t RowMode,
                           int32_t ColumnMode) {
  const int32_t t = std::min(Width, Height) / 200 + 1;
  TComplexRegion region;
  if (RowMode != 0) AddShreds({region, false}, XLength, Width, Height, t, RowMode);
  if (ColumnMode != 0) AddShreds({region, true}, YLength, Height, Width, t, ColumnMode);
  return region.CreateRegion();
}

PRegion CreateSpecklesRegion(int32_t XLength, int32_t YLength, int32_t Width, int32_t Height, int32_t RowMode,
                             int32_t ColumnMode) {
  TComplexRegion region;
  if (RowMode != 0) AddSpeckles({region, false}, XLength, Width, Height, RowMode);
  if (ColumnMode != 0) AddSpeckles({region, true}, YLength, Height, Width, ColumnMode);
  return region.CreateRegion();
}

PRegion CreateStar5Region(int32_t X, int32_t Y, int32_t Width, int32_t Height) {
  FitSquare(X, Y, Width, Height);
  return OutlineRegion(kStar5, X, Y, Width, Height, false, false);
}

PRegion CreateStar6Region(int32_t X, int32_t Y, int32_t Width, int32_t Height) {
  FitSquare(X, Y, Width, Height);
  return OutlineRegion(kStar6, X, Y, Width, Height, false, false);
}

PRegion CreateArrowRegion(int32_t X, int32_t Y, int32_t Width, int32_t Height, int32_t Orientation) {
  FitSquare(X, Y, Width, Height);
  return OutlineRegion(kArrow, X, Y, Width, Height, Orientation == 1 || Orientation == 3,
                       Orientation == 2 || Orientation == 3);
}

PRegion CreateFeatheredArrowRegion(int32_t X, int32_t Y, int32_t Width, int32_t Height, int32_t Orientation) {
  FitSquare(X, Y, Width, Height);
  return OutlineRegion(kFeatheredArrow, X, Y, Width, Height, Orientation == 1 || Orientation == 3,
                       Orientation == 2 || Orientation == 3);
}

PRegion CreateLightningRegion(int32_t X, int32_t Y, int32_t Width, int32_t Height, bool Plain) {
  if (Height < Width) {
    X += (Width - Height) / 2;
    Width = Height;
  }
  return OutlineRegion(kLightning, X, Y, Width, Height, !Plain, false);
}

PRegion CreateExplosionRegion(int32_t X, int32_t Y, int32_t Width, int32_t Height, bool Mirrored) {
  return OutlineRegion(kExplosion, X, Y, Width, Height, Mirrored, Mirrored);
}

PRegion CreateCrossRegion(int32_t X, int32_t Y, int32_t Width, int32_t Height, float BarPosition) {
  const int32_t c = common::RoundInt(Height * 0.75L);
  if (Width > c) {
    X += (Width - c) / 2;
    Width = c;
  }
  const int32_t g = std::min(common::RoundInt(Width * 0.2L), common::RoundInt(Height * 0.22L));
  PRegion region = Make(TRegion(platform::Bounds(X + (Width - g) / 2, Y, g, Height)));
  const int32_t barTop = Y + common::RoundInt((Height - g) * static_cast<long double>(BarPosition));
  CombineRegions(region, Make(TRegion(platform::Bounds(X, barTop, Width, g))), platform::RGN_OR);
  return region;
}

PRegion CreateHeartRegion(int32_t X, int32_t Y, int32_t Width, int32_t Height) {
  FitSquare(X, Y, Width, Height);
  const int32_t m = Width, k = m / 2, q = m / 4, D = k + 2, r = D / 2;
  PRegion region = Make(TRegion::Ellipse({X, Y, X + D, Y + D}));
  CombineRegions(region, Make(TRegion::Ellipse({X + m - D, Y, X + m, Y + D})), platform::RGN_OR);
  TPoint P1, P2;
  PolarPoint({q, q}, static_cast<uint16_t>(r - 1), P1, 233.14);
  PolarPoint({m - q, q}, static_cast<uint16_t>(r - 1), P2, 126.86);
  CombineRegions(region, CreateTriangleRegion(X + P1.X, Y + P1.Y, X + P2.X, Y + P2.Y, X + k, Y + m),
                 platform::RGN_OR);
  CombineRegions(region, Make(TRegion(TRect{X + r, Y + r, X + m - r, Y + D})), platform::RGN_OR);
  return region;
}

PRegion CreateShapeRegion(uint8_t Shape, int32_t X, int32_t Y, int32_t Width, int32_t Height) {
  switch (Shape % 128) {
    case 0:
      return CreateStar5Region(X, Y, Width, Height);
    case 1:
      return CreateStar6Region(X, Y, Width, Height);
    case 2:
    case 3:
    case 4:
    case 5:
      return CreateArrowRegion(X, Y, Width, Height, Shape % 128 - 2);
    case 6:
      return CreateLightningRegion(X, Y, Width, Height, true);
    case 7:
      return CreateLightningRegion(X, Y, Width, Height, false);
    case 8:
      return CreateExplosionRegion(X, Y, Width, Height, false);
    case 9:
      return CreateExplosionRegion(X, Y, Width, Height, true);
    case 10:
      return CreateCrossRegion(X, Y, Width, Height, 0.33f);
    case 11:
    case 12:
    case 13:
    case 14:
      return CreateFeatheredArrowRegion(X, Y, Width, Height, Shape % 128 - 11);
    case 15:
      return CreateHeartRegion(X, Y, Width, Height);
    default:
      return nullptr;
  }
}

PRegion CreateShapeRegionInRect(uint8_t Shape, const TRect& R) {
  return CreateShapeRegion(Shape, R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top);
}

void PolarPoint(const TPoint& Center, uint16_t Radius, TPoint& P, double AngleDegrees) {
  const long double a = (AngleDegrees - 90.0L) * std::numbers::pi_v<long double> / 180;
  P = {common::RoundInt(std::cos(a) * Radius + Center.X), common::RoundInt(std::sin(a) * Radius + Center.Y)};
}

void FitSquare(int32_t& X, int32_t& Y, int32_t& Width, int32_t& Height) {
  const int32_t m = std::min(Width, Height);
  X += (Width - m) / 2;
  Y += (Height - m) / 2;
  Width = m;
  Height = m;
}

void RotatePolygonPoints(TPoint* Points, int32_t LastIndex, int32_t CX, long double Angle, int32_t CY) {
  const long double c = std::cos(Angle), s = std::sin(Angle);
  for (int32_t i = 0; i <= LastIndex; ++i) {
    const long double dx = Points[i].X - CX, dy = Points[i].Y - CY;
    Points[i] = {CX + common::RoundInt(dx * c - dy * s), CY + common::RoundInt(dx * s + dy * c)};
  }
}

void StretchDrawFlipped(platform::TCanvas& Canvas, const TRect& Dest, platform::TBitmap& Bitmap,
                        const TRect& Src, bool FlipHorizontal, bool FlipVertical) {
  const TRect src{std::max(Src.Left, 0), std::max(Src.Top, 0), std::min(Src.Right, Bitmap.Width()),
                  std::min(Src.Bottom, Bitmap.Height())};
  Canvas.StretchMode = platform::smHalftone;
  // A destination given right to left (bottom to top) mirrors the copy onto the same pixels.
  TRect dest = Dest;
  if (FlipHorizontal) std::swap(dest.Left, dest.Right);
  if (FlipVertical) std::swap(dest.Top, dest.Bottom);
  const platform::TCopyMode mode = Canvas.CopyMode;
  Canvas.CopyMode = platform::cmSrcCopy;
  Canvas.CopyRect(dest, Bitmap.Canvas(), src);
  Canvas.CopyMode = mode;
}

}  // namespace rv
