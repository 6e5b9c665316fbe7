// The effects that show the Target through a clip region: curved, bar, crisscross, shredded,
// speckled, polygon, zigzag, triangle, shape, in-and-out, grid, random, sweeping, rotating,
// spiralling, blind and rectangle wipes. Each builds its region from scratch for the frame,
// copies the whole Target through it and leaves the canvas without a clip.
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <numbers>
#include <span>
#include <vector>

#include "common/Random.h"
#include "common/Round.h"
#include "rastova/view/transitions/TransitionRegions.h"
#include "rastova/view/transitions/TransitionRows.h"

namespace rv {

using platform::TBitmap;
using platform::TCanvas;
using platform::TPoint;
using platform::TRect;
using platform::TRegion;

uint32_t TransitionSeed(const TBitmap& Target) {
  const auto address = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&Target));
  return static_cast<uint32_t>(address ^ (address >> 32));
}

namespace {

constexpr long double kPi = std::numbers::pi_v<long double>;

// Copies the whole of `from` onto the frame through the region; nothing without a region. The
// clip is removed on every path.
void Reveal(TCanvas& Canvas, TBitmap& from, const TSteps& s, const PRegion& region) {
  if (!region) return;
  struct TClipGuard {
    TCanvas& canvas;
    ~TClipGuard() { canvas.SetClipRegion(nullptr); }
  } guard{Canvas};
  Canvas.SetClipRegion(region.get());
  Put(Canvas, from, platform::Bounds(0, 0, s.W, s.H), platform::Bounds(0, 0, s.W, s.H));
}

PRegion Make(TRegion region) { return std::make_unique<TRegion>(std::move(region)); }
PRegion Polygon(std::initializer_list<TPoint> points) {
  return Make(TRegion::Polygon(std::span<const TPoint>(points.begin(), points.size())));
}
PRegion FrameRegion(const TSteps& s) { return Make(TRegion(platform::Bounds(0, 0, s.W, s.H))); }

// Restores the shared generator's seed on every path.
struct TSeedGuard {
  uint32_t saved = common::RandSeed();
  ~TSeedGuard() { common::SetRandSeed(saved); }
};

// ---- curved, bars, shreds, speckles

PRegion CurvedRegion(int Row, const TSteps& s) {
  const auto [W, H, w, h] = s;
  switch (Row) {
    case 76:
      return Make(TRegion::RoundRect({-2 * W, 0, 2 * w, H + 1}, 2 * W, 2 * W));
    case 77:
      return Make(TRegion::RoundRect({W - 2 * w, 0, 3 * W, H + 1}, 2 * W, 2 * W));
    case 78:
      return Make(TRegion::RoundRect({0, -2 * H, W + 1, 2 * h}, 2 * H, 2 * H));
    case 79:
      return Make(TRegion::RoundRect({0, H - 2 * h, W + 1, 3 * H}, 2 * H, 2 * H));
    case 80:
      return Make(TRegion::RoundRect({-W, -H, 3 * w / 2, 3 * h / 2}, 2 * W, 2 * H));
    case 81:
      return Make(TRegion::RoundRect({W - 3 * w / 2, -H, 2 * W, 3 * h / 2}, 2 * W, 2 * H));
    case 82:
      return Make(TRegion::RoundRect({-W, H - 3 * h / 2, 3 * w / 2, 2 * H}, 2 * W, 2 * H));
    default:
      return Make(TRegion::RoundRect({W - 3 * w / 2, H - 3 * h / 2, 2 * W, 2 * H}, 2 * W, 2 * H));  // 83
  }
}

// Bars and crisscross rows: the lengths as multiples of w and h, and the modes.
struct TBarsRow {
  int row, xTimes, yTimes, rowMode, columnMode;
};
constexpr TBarsRow kBarsRows[] = {{84, 2, 0, 2, 0},  {85, 2, 0, 1, 0},  {86, 0, 2, 0, 2},  {87, 0, 2, 0, 1},
                                  {88, 2, 0, 4, 0},  {89, 2, 0, 5, 0},  {90, 0, 2, 0, 4},  {91, 0, 2, 0, 5},
                                  {92, 1, 0, 3, 0},  {93, 0, 1, 0, 3},  {118, 2, 2, 2, 2}, {119, 2, 2, 1, 2},
                                  {120, 2, 2, 2, 1}, {121, 2, 2, 1, 1}, {122, 2, 2, 4, 4}, {123, 2, 2, 5, 4},
                                  {124, 2, 2, 4, 5}, {125, 2, 2, 5, 5}, {126, 1, 1, 3, 2}, {127, 1, 1, 3, 1},
                                  {128, 1, 1, 2, 3}, {129, 1, 1, 3, 3}, {130, 1, 1, 1, 3}};

PRegion BarsRegion(int Row, const TSteps& s) {
  const auto [W, H, w, h] = s;
  if (Row == 131) {  // where the bars from the bottom right and from the top left overlap
    PRegion region = CreateBarsRegion(2 * w, 2 * h, W, H, 1, 1);
    CombineRegions(region, CreateBarsRegion(2 * w, 2 * h, W, H, 2, 2), platform::RGN_AND);
    return region;
  }
  for (const TBarsRow& r : kBarsRows)
    if (r.row == Row) return CreateBarsRegion(r.xTimes * w, r.yTimes * h, W, H, r.rowMode, r.columnMode);
  return nullptr;
}

// Shredded rows 94 to 111 and speckled rows 146 to 149: row mode, column mode.
constexpr int kShredModes[][2] = {{2, 0}, {1, 0}, {0, 2}, {0, 1}, {2, 2}, {1, 2}, {2, 1}, {1, 1}, {2, 3},
                                  {1, 3}, {3, 2}, {3, 1}, {3, 3}, {4, 4}, {0, 4}, {4, 0}, {0, 3}, {3, 0}};
constexpr int kSpeckleModes[][2] = {{2, 0}, {1, 0}, {0, 2}, {0, 1}};

PRegion ShredsRegion(int Row, const TSteps& s) {
  const int rowMode = kShredModes[Row - 94][0], columnMode = kShredModes[Row - 94][1];
  return CreateShredsRegion(rowMode != 0 ? s.w : 0, columnMode != 0 ? s.h : 0, s.W, s.H, rowMode, columnMode);
}

PRegion SpecklesRegion(int Row, const TSteps& s) {
  return CreateSpecklesRegion(s.w, s.h, s.W, s.H, kSpeckleModes[Row - 146][0], kSpeckleModes[Row - 146][1]);
}

// ---- polygons

// The four triangles of the diagonal cross, reaching a in from the sides and b from top and bottom.
std::vector<std::vector<TPoint>> CrossTriangles(const TSteps& s, int32_t a, int32_t b) {
  const int32_t W = s.W, H = s.H, HW = s.HW(), HH = s.HH();
  return {{{0, HH - b}, {a, HH}, {0, HH + b}},
          {{W, HH - b}, {W - a, HH}, {W, HH + b}},
          {{HW - a, 0}, {HW, b}, {HW + a, 0}},
          {{HW - a, H}, {HW, H - b}, {HW + a, H}}};
}

std::vector<std::vector<TPoint>> WipePolygons(int Row, const TSteps& s) {
  const auto [W, H, w, h] = s;
  const int32_t HW = s.HW(), HH = s.HH();
  const TPoint C{HW, HH};
  switch (Row) {
    case 132:
      return {{{0, 0}, {2 * w, 0}, {0, 2 * h}}};
    case 133:
      return {{{W, 0}, {W - 2 * w, 0}, {W, 2 * h}}};
    case 134:
      return {{{0, H}, {2 * w, H}, {0, H - 2 * h}}};
    case 135:
      return {{{W, H}, {W - 2 * w, H}, {W, H - 2 * h}}};
    case 136:
      return {{{W, 0}, {0, 0}, {W, h}}, {{W, H}, {0, H}, {0, H - h}}};
    case 137:
      return {{{0, H}, {0, 0}, {w, H}}, {{W, H}, {W, 0}, {W - w, 0}}};
    case 140:
      return {{C, {0, 0}, {w, 0}}, {C, {0, H}, {0, H - h}}, {C, {W, H}, {W - w, H}}, {C, {W, 0}, {W, h}}};
    case 141:
      return {{C, {0, 0}, {0, h}}, {C, {0, H}, {w, H}}, {C, {W, H}, {W, H - h}}, {C, {W, 0}, {W - w, 0}}};
    case 170:
      return {{{0, HH - h}, {2 * w, HH}, {0, HH + h}}};
    case 171:
      return {{{W, HH - h}, {W - 2 * w, HH}, {W, HH + h}}};
    case 172:
      return {{{HW - w, 0}, {HW, 2 * h}, {HW + w, 0}}};
    case 173:
      return {{{HW - w, H}, {HW, H - 2 * h}, {HW + w, H}}};
    case 174:
      return {{{0, HH - h}, {w, HH}, {0, HH + h}}, {{W, HH - h}, {W - w, HH}, {W, HH + h}}};
    case 175:
      return {{{HW - w, 0}, {HW, 2 * h}, {HW + w, 0}}, {{HW - w, H}, {HW, H - 2 * h}, {HW + w, H}}};
    case 177:
      return CrossTriangles(s, s.hw(), s.hh());
    case 180:
      return {{{HW - w, HH}, {HW, HH - h}, {HW + w, HH}, {HW, HH + h}}};
    default:
      return {};
  }
}

PRegion PolygonWipeRegion(int Row, const TSteps& s) {
  const auto [W, H, w, h] = s;
  const int32_t HW = s.HW(), HH = s.HH();
  std::vector<std::vector<TPoint>> polygons;
  PRegion region;
  platform::TRegionCombine mode = platform::RGN_OR;
  if (Row == 176 || Row == 181) {  // what lies outside the shapes
    region = FrameRegion(s);
    mode = platform::RGN_XOR;
    polygons = Row == 176 ? CrossTriangles(s, (W - w) / 2, (H - h) / 2)
                          : std::vector<std::vector<TPoint>>{
                                {{w - HW, HH}, {HW, h - HH}, {3 * HW - w, HH}, {HW, 3 * HH - h}}};
  } else {
    polygons = WipePolygons(Row, s);
  }
  for (const auto& p : polygons) CombineRegions(region, Make(TRegion::Polygon(p)), mode);
  return region;
}

// The zigzag band about the centre line: 12 points along one edge and back along the other.
PRegion ZigzagBand(bool vertical, const TSteps& s, int32_t Progress) {
  const int32_t step = (vertical ? s.H : s.W) / 10, n = (vertical ? s.W : s.H) / 10;
  const int32_t mid = vertical ? s.HW() : s.HH();
  const int32_t b = common::MulDiv(n, Progress, 100) + (vertical ? s.hw() : s.hh());
  std::vector<TPoint> points(24);
  for (int k = 0; k < 12; ++k) {
    const int32_t along = k * step;
    const int32_t near = (k % 2 == 0 ? mid + n : mid - n) - b, far = (k % 2 == 0 ? mid + n : mid - n) + b;
    points[k] = vertical ? TPoint{near, along} : TPoint{along, near};
    points[23 - k] = vertical ? TPoint{far, along} : TPoint{along, far};
  }
  return Make(TRegion::Polygon(points));
}

void Zigzag(int Row, TCanvas& Canvas, TBitmap& Source, TBitmap& Target, const TRect& ARect,
            int32_t Progress) {
  const bool vertical = Row == 179 || Row == 190;
  if (Row == 178 || Row == 179) {
    const TSteps s = Steps(ARect, Progress);
    Reveal(Canvas, Target, s, ZigzagBand(vertical, s, Progress));
    return;
  }
  // The old picture narrows to nothing.
  const TSteps s = Steps(ARect, 100 - Progress);
  Put(Canvas, Target, platform::Bounds(0, 0, s.W, s.H), platform::Bounds(0, 0, s.W, s.H));
  Reveal(Canvas, Source, s, ZigzagBand(vertical, s, 100 - Progress));
}

PRegion TriangularRegion(const TSteps& s, int32_t Factor) {
  int32_t b = common::MulDiv(std::max(s.W, s.H), Factor, 90);
  if (b < 1)
    b = 1;
  else if (b > 1)
    b /= 2;
  const int32_t cw = s.W / b, ch = s.H / b, hw = s.w / b, hh = s.h / b;
  PRegion region;
  for (int32_t n = b; n >= 0; --n)
    for (int32_t m = b; m >= 0; --m)
      CombineRegions(
          region,
          CreateTriangleRegion(m * cw - hw, n * ch - hh, m * cw + hw, n * ch - hh, m * cw - hw, n * ch + hh),
          platform::RGN_OR);
  return region;
}

// ---- grids, sweeps, turns, blinds

PRegion ExpandingGridRegion(int Row, const TSteps& s, int32_t Progress) {
  const auto [W, H, w, h] = s;
  if (Row == 113) {  // triangles pointing down
    const int32_t cw = W / 10 + 1, ch = H / 10 + 1;
    const int32_t ax = common::MulDiv(cw, Progress, 50), ay = common::MulDiv(ch, Progress, 50);
    PRegion region;
    for (int32_t x0 = 0; x0 < W; x0 += 2 * cw)
      for (int32_t y0 = 0; y0 < H + ch; y0 += 2 * ch) {
        const int32_t x = x0 + cw, y = y0 + ch;
        CombineRegions(region, CreateTriangleRegion(x - ax, y - ay, x, y + ay, x + ax, y - ay),
                       platform::RGN_OR);
      }
    return region;
  }
  const int32_t n = std::min(W, H) / 10 + 1;
  const int32_t a = common::MulDiv(n, Progress, Row == 112 ? 100 : 50);
  TComplexRegion squares;
  PRegion diamonds;
  for (int32_t x0 = 0; x0 < W; x0 += 2 * n)
    for (int32_t y0 = 0; y0 < H; y0 += 2 * n) {
      const int32_t x = x0 + n, y = y0 + n;
      if (Row == 112)
        squares.AddRect(x - a, y - a, x + a, y + a);
      else
        CombineRegions(diamonds, Polygon({{x - a, y}, {x, y - a}, {x + a, y}, {x, y + a}}), platform::RGN_OR);
    }
  return Row == 112 ? squares.CreateRegion() : std::move(diamonds);
}

PRegion SweepRegion(const TSteps& s, int32_t Progress, bool Clockwise) {
  const int32_t radius =
      common::CeilInt(std::hypot(static_cast<long double>(s.HH()), static_cast<long double>(s.HW())));
  const long double turn = Progress * kPi / 50;
  return CreateSectorRegion(s.HW(), s.HH(), radius, -kPi / 2, Clockwise ? -kPi / 2 + turn : -kPi / 2 - turn,
                            Progress);
}

long double TurnAngle(int32_t Progress, bool Clockwise) {
  const long double angle = Progress * kPi / 50;
  return Clockwise ? angle : -angle;
}

std::vector<TPoint> CentredRectangle(const TSteps& s) {
  const int32_t HW = s.HW(), HH = s.HH(), hw = s.hw(), hh = s.hh();
  return {{HW - hw, HH - hh}, {HW + hw, HH - hh}, {HW + hw, HH + hh}, {HW - hw, HH + hh}};
}

PRegion BlindsRegion(int Row, const TSteps& s, int32_t Progress) {
  const int32_t W = s.W, H = s.H, w = s.w, h = s.h;  // plain names: the lambda below uses them
  TComplexRegion region;
  if (Row == 158 || Row == 159) {
    const bool columns = Row == 159;
    const int32_t n = (columns ? W : H) / 40 + 1, a = common::MulDiv(n, Progress, 100);
    for (int32_t x0 = 0; x0 < (columns ? W : H); x0 += 2 * n) {
      if (columns)
        region.AddRect(x0 + n - a, 0, x0 + n + a, H);
      else
        region.AddRect(0, x0 + n - a, W, x0 + n + a);
    }
    return region.CreateRegion();
  }
  // Uneven blinds (rows 160 to 163), alone or crossed by thin bars (rows 164 to 167).
  const int uneven = Row >= 164 ? Row - 4 : Row;
  const bool columns = uneven == 160 || uneven == 161;
  const int32_t period = columns ? w : h, size = columns ? W : H;
  if (period == 0) return nullptr;
  if (Row >= 164) {
    const int32_t n = (columns ? H : W) / 20;
    if (n == 0) return nullptr;
    const int32_t a = common::MulDiv(n, Progress, 100);
    for (int32_t y = -n; y < (columns ? H : W); y += 3 * n) {
      if (columns)
        region.AddRect(0, y - a, W, y + a);
      else
        region.AddRect(y - a, 0, y + a, H);
    }
  }
  const int32_t a = common::MulDiv(period, Progress, 100);
  auto add = [&](int32_t from, int32_t to) {
    if (columns)
      region.AddRect(from, 0, to, H);
    else
      region.AddRect(0, from, W, to);
  };
  if (uneven == 160 || uneven == 162)
    for (int32_t x = 0; x < size; x += period) add(x, x + a);
  else
    for (int32_t x = size; x > 0; x -= period) add(x - a, x);
  return region.CreateRegion();
}

// Random family: rows 191 to 194 through RandomShapes, 184 with squares.
void RandomBigBoxes(TCanvas& Canvas, TBitmap& Target, const TRect& ARect, int32_t Progress) {
  const TSteps s = Steps(ARect, Progress);
  PRegion region;
  {
    TSeedGuard seed;
    common::SetRandSeed(TransitionSeed(Target));
    const int32_t n = std::min(s.W, s.H) / 20 + 1;
    TComplexRegion boxes;
    for (int32_t x0 = 0; x0 < s.W; x0 += 2 * n)
      for (int32_t y0 = 0; y0 < s.H; y0 += 2 * n)
        if (common::Random(100) < Progress) boxes.AddRect(x0, y0, x0 + 2 * n, y0 + 2 * n);
    region = boxes.CreateRegion();
  }
  Reveal(Canvas, Target, s, region);
}

}  // namespace

void ShapeWipe(TCanvas& Canvas, TBitmap& Source, TBitmap& Target, const TRect& ARect, int32_t /*Factor*/,
               int32_t Progress, float Scale, bool Inward, uint8_t Shape) {
  const TSteps s = Steps(ARect, Progress);
  const auto [W, H, w, h] = s;
  const int32_t d = W / 2, e = H / 2;
  PRegion region;
  if (!Inward) {
    if (Scale == 1) {
      const TRect box{d - w, e - h, d + w, e + h};
      region = Shape == 255 ? Make(TRegion::RoundRect(box, w * 9 / 5, h * 9 / 5))
                            : CreateShapeRegionInRect(Shape, box);
    } else {
      const int32_t f = common::RoundInt(Scale * static_cast<long double>(w));
      const int32_t k = common::RoundInt(Scale * static_cast<long double>(h));
      region = CreateShapeRegionInRect(Shape, {d - f, e - k, d + f, e + k});
    }
  } else {
    region = FrameRegion(s);
    PRegion shape;
    if (Scale == 1) {
      const TRect box{w - d, h - e, 3 * d - w, 3 * e - h};
      shape = Shape == 255 ? Make(TRegion::RoundRect(box, (W - w) * 9 / 5, (H - h) * 9 / 5))
                           : CreateShapeRegionInRect(Shape, box);
    } else {
      const int32_t g = common::RoundInt((W - w) * static_cast<long double>(Scale)) / 2;
      const int32_t l = common::RoundInt((H - h) * static_cast<long double>(Scale)) / 2;
      shape = CreateShapeRegionInRect(Shape, {w - d - g, h - e - l, 3 * d - w + g, 3 * e - h + l});
    }
    CombineRegions(region, std::move(shape), platform::RGN_XOR);
  }
  if (Shape == 10) Put(Canvas, Source, platform::Bounds(0, 0, W, H), platform::Bounds(0, 0, W, H));
  Reveal(Canvas, Target, s, region);
}

void InOutWipe(TCanvas& Canvas, TBitmap& /*Source*/, TBitmap& Target, const TRect& ARect, int32_t /*Factor*/,
               int32_t Progress, float Scale, uint8_t Shape) {
  const TSteps s = Steps(ARect, Progress);
  const int32_t c = s.HW(), e = s.HH(), f = s.hw(), k = s.hh(), g = 2 * c, m = 2 * e;
  PRegion region;
  if (Shape == 255) {
    region = Polygon({{-f, e}, {c, -k}, {f + g, e}, {c, m + k}});
    CombineRegions(region, Polygon({{f, e}, {c, k}, {g - f, e}, {c, m - k}}), platform::RGN_XOR);
  } else {
    const int32_t l = common::RoundInt(Scale * static_cast<long double>(f));
    const int32_t j = common::RoundInt(Scale * static_cast<long double>(k));
    region = CreateShapeRegionInRect(Shape, {-l, -j, l + g, j + m});
    CombineRegions(region, CreateShapeRegionInRect(Shape, {f, k, g - f, m - k}), platform::RGN_XOR);
  }
  Reveal(Canvas, Target, s, region);
}

void ExpandingShapes(TCanvas& Canvas, TBitmap& /*Source*/, TBitmap& Target, const TRect& ARect,
                     int32_t /*Factor*/, int32_t Progress, float Scale, uint8_t Shape) {
  const TSteps s = Steps(ARect, Progress);
  const int32_t b = std::min(s.W, s.H) / 10 + 1;
  const int32_t c = common::MulDiv(common::RoundInt(b * static_cast<long double>(Scale)), Progress, 200);
  PRegion region;
  for (int32_t x0 = 0; x0 < s.W; x0 += 2 * b)
    for (int32_t y0 = 0; y0 < s.H; y0 += 2 * b) {
      const int32_t x = x0 + b, y = y0 + b;
      CombineRegions(region,
                     Shape == 255 ? Make(TRegion::Ellipse({x - c, y - c, x + c, y + c}))
                                  : CreateShapeRegion(Shape, x - c, y - c, 2 * c, 2 * c),
                     platform::RGN_OR);
    }
  Reveal(Canvas, Target, s, region);
}

void RandomShapes(TCanvas& Canvas, TBitmap& /*Source*/, TBitmap& Target, const TRect& ARect,
                  int32_t /*Factor*/, int32_t Progress, float Scale, int32_t Count, uint8_t Shape) {
  const TSteps s = Steps(ARect, Progress);
  PRegion region;
  {
    TSeedGuard seed;
    common::SetRandSeed(TransitionSeed(Target));
    const int32_t a = std::min(s.W, s.H) / Count + 1;
    const int32_t d = common::TruncInt(a * static_cast<long double>(Scale));
    // A spacing of 0 would never leave its first cell: such a frame shows nothing.
    if (d < 1) return;
    for (int32_t x0 = 0; x0 < s.W; x0 += 2 * d)
      for (int32_t y0 = 0; y0 < s.H; y0 += 2 * d) {
        const int32_t x = x0 + d, y = y0 + d;
        if (common::Random(100) < Progress)
          CombineRegions(region, CreateShapeRegion(Shape, x - a, y - a, 2 * a, 2 * a), platform::RGN_OR);
      }
  }
  Reveal(Canvas, Target, s, region);
}

namespace {

void TurnedPolygon(TCanvas& Canvas, TBitmap& Target, const TRect& ARect, int32_t Progress, bool Clockwise,
                   bool star, bool aboutCorner) {
  const TSteps s = Steps(ARect, Progress);
  const int32_t HW = s.HW(), HH = s.HH(), w = s.w, h = s.h, hw = s.hw(), hh = s.hh();
  std::vector<TPoint> points =
      star ? std::vector<TPoint>{{HW - 2 * w, HH}, {HW - hw, HH - hh}, {HW, HH - 2 * h}, {HW + hw, HH - hh},
                                 {HW + 2 * w, HH}, {HW + hw, HH + hh}, {HW, HH + 2 * h}, {HW - hw, HH + hh}}
           : CentredRectangle(s);
  const TPoint about = aboutCorner ? TPoint{w, h} : TPoint{HW, HH};
  RotatePolygonPoints(points.data(), static_cast<int32_t>(points.size()) - 1, about.X,
                      TurnAngle(Progress, Clockwise), about.Y);
  Reveal(Canvas, Target, s, Make(TRegion::Polygon(points)));
}

}  // namespace

void RotatingRectangle(TCanvas& Canvas, TBitmap& /*Source*/, TBitmap& Target, const TRect& ARect,
                       int32_t /*Factor*/, int32_t Progress, bool Clockwise) {
  TurnedPolygon(Canvas, Target, ARect, Progress, Clockwise, false, false);
}

void RotatingStar(TCanvas& Canvas, TBitmap& /*Source*/, TBitmap& Target, const TRect& ARect,
                  int32_t /*Factor*/, int32_t Progress, bool Clockwise) {
  TurnedPolygon(Canvas, Target, ARect, Progress, Clockwise, true, false);
}

void SpiralRectangle(TCanvas& Canvas, TBitmap& /*Source*/, TBitmap& Target, const TRect& ARect,
                     int32_t /*Factor*/, int32_t Progress, bool Clockwise) {
  TurnedPolygon(Canvas, Target, ARect, Progress, Clockwise, false, true);
}

namespace {

// The rows served by the workers, with their parameters.
struct TShapeRow {
  int row;
  float scale;
  bool inward;
  uint8_t shape;
};
constexpr TShapeRow kShapeWipeRows[] = {{116, 1, false, 255},  {117, 1, true, 255},    {200, 1.3f, false, 15},
                                        {201, 1.3f, true, 15}, {202, 1.6f, false, 0},  {203, 1.6f, true, 0},
                                        {204, 1.3f, false, 1}, {205, 1.3f, true, 1},   {206, 1, false, 8},
                                        {207, 1, true, 8},     {208, 3.6f, false, 10}, {209, 3.5f, true, 10}};
constexpr TShapeRow kInOutRows[] = {{182, 1, false, 255},
                                    {210, 1.6f, false, 15},
                                    {211, 2.4f, false, 0},
                                    {212, 1.6f, false, 1},
                                    {213, 1.1f, false, 8}};
constexpr TShapeRow kExpandingRows[] = {{114, 3, false, 255}, {195, 3, false, 15}, {196, 4, false, 0},
                                        {197, 4, false, 1},   {198, 4, false, 8},  {199, 6, false, 6}};

const TShapeRow* FindRow(std::span<const TShapeRow> rows, int Row) {
  for (const TShapeRow& r : rows)
    if (r.row == Row) return &r;
  return nullptr;
}

// Rows whose region depends only on the step sizes and Progress.
PRegion PlainRegion(int Row, const TSteps& s, int32_t Factor, int32_t Progress) {
  if (Row >= 76 && Row <= 83) return CurvedRegion(Row, s);
  if ((Row >= 84 && Row <= 93) || (Row >= 118 && Row <= 131)) return BarsRegion(Row, s);
  if (Row >= 94 && Row <= 111) return ShredsRegion(Row, s);
  if (Row >= 146 && Row <= 149) return SpecklesRegion(Row, s);
  if (Row == 112 || Row == 113 || Row == 115) return ExpandingGridRegion(Row, s, Progress);
  if (Row == 138 || Row == 139) return SweepRegion(s, Progress, Row == 138);
  if (Row >= 158 && Row <= 167) return BlindsRegion(Row, s, Progress);
  if (Row == 183) return TriangularRegion(s, Factor);
  return PolygonWipeRegion(Row, s);
}

}  // namespace

void DrawRegionEffect(int Row, TCanvas& Canvas, TBitmap& Source, TBitmap& Target, const TRect& ARect,
                      int32_t Factor, int32_t Progress) {
  if (const TShapeRow* r = FindRow(kShapeWipeRows, Row))
    return ShapeWipe(Canvas, Source, Target, ARect, Factor, Progress, r->scale, r->inward, r->shape);
  if (const TShapeRow* r = FindRow(kInOutRows, Row))
    return InOutWipe(Canvas, Source, Target, ARect, Factor, Progress, r->scale, r->shape);
  if (const TShapeRow* r = FindRow(kExpandingRows, Row))
    return ExpandingShapes(Canvas, Source, Target, ARect, Factor, Progress, r->scale, r->shape);
  switch (Row) {
    case 184:
      return RandomBigBoxes(Canvas, Target, ARect, Progress);
    case 191:
      return RandomShapes(Canvas, Source, Target, ARect, Factor, Progress, 0.6f, 12, 15);
    case 192:
      return RandomShapes(Canvas, Source, Target, ARect, Factor, Progress, 0.4f, 14, 0);
    case 193:
      return RandomShapes(Canvas, Source, Target, ARect, Factor, Progress, 0.4f, 14, 1);
    case 194:
      return RandomShapes(Canvas, Source, Target, ARect, Factor, Progress, 0.5f, 18,
                          Progress % 2 == 0 ? 8 : 9);
    case 142:
    case 143:
      return RotatingRectangle(Canvas, Source, Target, ARect, Factor, Progress, Row == 142);
    case 144:
    case 145:
      return RotatingStar(Canvas, Source, Target, ARect, Factor, Progress, Row == 144);
    case 168:
    case 169:
      return SpiralRectangle(Canvas, Source, Target, ARect, Factor, Progress, Row == 168);
    case 178:
    case 179:
    case 189:
    case 190:
      return Zigzag(Row, Canvas, Source, Target, ARect, Progress);
    default:
      break;
  }
  const TSteps s = Steps(ARect, Progress);
  Reveal(Canvas, Target, s, PlainRegion(Row, s, Factor, Progress));
}

}  // namespace rv
