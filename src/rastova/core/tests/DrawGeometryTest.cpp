// Angles, point tests and hit distances of the drawing helpers.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <numbers>

#include "rastova/core/draw/RVGeometry.h"
#include "rastova/core/draw/RVViewParams.h"

using namespace rv;

namespace {

constexpr double kPiG = std::numbers::pi;
constexpr int32_t kMinI = std::numeric_limits<int32_t>::min();
constexpr int32_t kMaxI = std::numeric_limits<int32_t>::max();

}  // namespace

TEST(DrawGeometry, AnglesOfTheEdgeCases) {
  struct Case {
    const char* what;
    double got, expected;
  } cases[] = {
      {"LineAngle up-right", LineAngle(0, 0, 10, -10), kPiG / 4},
      {"LineAngle down-left", LineAngle(0, 0, -10, 10), 5 * kPiG / 4},
      {"LineAngle straight down", LineAngle(0, 0, 0, 10), 3 * kPiG / 2},
      {"LineAngle equal points", LineAngle(7, 7, 7, 7), 0},
      {"LineAngle across the whole range", LineAngle(kMinI, 0, kMaxI, 0), 0},
      {"ArcCosSafe 1", ArcCosSafe(1), 0},
      {"ArcCosSafe -1 is not pi", ArcCosSafe(-1), 0},
      {"ArcCosSafe 0", ArcCosSafe(0), kPiG / 2},
      {"ArcCosSafe beyond 1", ArcCosSafe(1.5), 0},
      {"ArcCosSafe NaN", ArcCosSafe(std::nan("")), 0},
      {"segments continuing", AngleBetweenSegments(0, 0, 5, 0, 10, 0), 0},
      {"segments at a right angle", AngleBetweenSegments(0, 0, 10, 0, 10, 10), kPiG / 2},
      {"segment without length", AngleBetweenSegments(0, 0, 0, 0, 5, 5), 0},
      {"segments of the whole range", AngleBetweenSegments(kMinI, kMinI, kMaxI, kMaxI, kMinI, kMinI), 0},
      {"vertex of collinear points", VertexAngle({0, 0}, {5, 0}, {10, 0}), 0},
      {"vertex with P1 on P3", VertexAngle({0, 0}, {5, 0}, {0, 0}), 0},
      {"vertex turning one way", VertexAngle({0, 0}, {10, 0}, {10, 10}), kPiG / 2},
      {"vertex turning the other way", VertexAngle({0, 0}, {10, 0}, {10, -10}), 3 * kPiG / 2},
  };
  for (const Case& c : cases) EXPECT_NEAR(c.got, c.expected, 1e-12) << c.what;

  struct Turn {
    TRVPoint p2, p3;
    int32_t expected;
  } turns[] = {{{10, 0}, {0, 10}, 1},
               {{10, 0}, {0, -10}, -1},
               {{5, 0}, {-5, 0}, -1},
               {{5, 0}, {10, 0}, 1},
               {{10, 0}, {5, 0}, 0},
               {{0, 0}, {0, 0}, 0},
               {{kMaxI, kMaxI}, {kMinI, kMaxI}, 1}};
  for (const Turn& t : turns)
    EXPECT_EQ(TurnDirection({0, 0}, t.p2, t.p3), t.expected)
        << t.p2.x << "," << t.p2.y << " " << t.p3.x << "," << t.p3.y;
}

TEST(DrawGeometry, RotationAndPolygonEdges) {
  struct Rotation {
    TRVPoint from;
    int32_t cx, cy;
    double degrees;
    TRVPoint to;
  } rotations[] = {{{10, 0}, 0, 0, 90, {0, -10}},
                   {{10, 0}, 0, 0, -90, {0, 10}},
                   {{10, 5}, 5, 5, 180, {0, 5}},
                   {{13, 0}, 0, 0, 45, {9, -9}},
                   {{3, 4}, 3, 4, 33, {3, 4}}};
  for (const Rotation& r : rotations) {
    TRVPoint p[2] = {r.from, r.from};
    RotatePoints(p, 1, r.cx, r.cy, r.degrees);
    for (const TRVPoint& q : p) {
      EXPECT_EQ(q.x, r.to.x) << r.degrees;
      EXPECT_EQ(q.y, r.to.y) << r.degrees;
    }
  }
  TRVPoint untouched{1, 2};
  RotatePoints(&untouched, -1, 0, 0, 90);
  EXPECT_EQ(untouched.x, 1);

  const TRVPoint square[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  struct Probe {
    int32_t x, y;
    bool inside;
  } probes[] = {{5, 5, true},   {5, 0, true},   {0, 5, true},   {5, 10, false},
                {10, 5, false}, {15, 5, false}, {-1, 5, false}, {kMinI, kMaxI, false}};
  for (const Probe& p : probes) {
    EXPECT_EQ(PointInPolygon(p.x, p.y, square, 3), p.inside) << p.x << "," << p.y;
    // The same square drawn twice as large from (100, 100).
    const int64_t sx = p.x == kMinI || p.x == kMaxI ? p.x : 100 + 2 * int64_t(p.x);
    const int64_t sy = p.y == kMinI || p.y == kMaxI ? p.y : 100 + 2 * int64_t(p.y);
    EXPECT_EQ(PointInScaledPolygon(int32_t(sx), int32_t(sy), square, 4, 0, 0, 100, 100, 2, 2), p.inside)
        << p.x << "," << p.y;
  }
  // Fewer than three points enclose nothing, and no points at all is no polygon.
  const TRVPoint line[] = {{0, 0}, {10, 10}};
  for (int32_t high : {-1, 0, 1}) {
    EXPECT_FALSE(PointInPolygon(0, 0, line, high));
    EXPECT_FALSE(PointInPolygon(5, 5, line, high));
    EXPECT_FALSE(PointInScaledPolygon(5, 5, line, high + 1, 0, 0, 0, 0, 1, 1));
  }
  EXPECT_FALSE(PointInPolygon(0, 0, nullptr, 5));
}

TEST(DrawGeometry, RectangleAndEllipseHitDistances) {
  struct Case {
    const char* what;
    int32_t got, expected;
  } cases[] = {
      {"inside a filled rectangle", DistanceToRectangle(5, 4, 0, 0, 10, 10, true, 1), 0},
      {"inside an outlined rectangle", DistanceToRectangle(5, 4, 0, 0, 10, 10, false, 1), 4},
      {"right of a rectangle", DistanceToRectangle(15, 5, 0, 0, 10, 10, true, 1), 5},
      {"a wide pen reaches out", DistanceToRectangle(13, 5, 0, 0, 10, 10, false, 3), 2},
      {"rectangle with a negative pen", DistanceToRectangle(5, 5, 0, 0, 10, 10, true, -1), kNoHit},
      {"centre of a filled circle", DistanceToEllipse(100, 100, 0, 0, 200, 200, true, 1), 0},
      {"on the outline at +x", DistanceToEllipse(200, 100, 0, 0, 200, 200, false, 1), 0},
      {"outside on +x", DistanceToEllipse(300, 100, 0, 0, 200, 200, false, 1), 100},
      {"ellipse with a negative pen", DistanceToEllipse(100, 100, 0, 0, 200, 200, true, -1), kNoHit},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
  // The outline is closed: the arc from the last vertex back to the first (just above +x on the
  // screen) is as near as the rest of the outline.
  for (int32_t deg = 1; deg < 360; deg += 2) {
    const double a = deg * kPiG / 180;
    const int32_t x = 100 + int32_t(std::lround(100 * std::cos(a))),
                  y = 100 + int32_t(std::lround(100 * std::sin(a)));
    EXPECT_LE(DistanceToEllipse(x, y, 0, 0, 200, 200, false, 1), 2) << deg;
  }
}

TEST(DrawGeometry, HitDistancesOfHugeFiguresEndSoon) {
  const auto start = std::chrono::steady_clock::now();
  for (bool filled : {false, true}) {
    for (int32_t pen : {-1, 1, kMaxI}) {
      const int32_t e = DistanceToEllipse(kMaxI, kMinI, kMinI, kMinI, kMaxI, kMaxI, filled, pen);
      const int32_t r = DistanceToRectangle(kMaxI, kMinI, kMinI, kMinI, kMaxI, kMaxI, filled, pen);
      EXPECT_GE(e, 0);
      EXPECT_GE(r, 0);
      if (pen < 0) {
        EXPECT_EQ(e, kNoHit);
        EXPECT_EQ(r, kNoHit);
      }
    }
  }
  EXPECT_EQ(DistanceToRectangle(kMaxI - 1, kMaxI - 1, kMaxI - 5, kMaxI - 5, kMaxI, kMaxI, true, 1), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(DrawGeometry, RectIncludePointAndFontStyles) {
  platform::TRect r{10, 10, 20, 20};
  RectIncludePoint(r, 5, 25);
  RectIncludePoint(r, 30, 12);
  EXPECT_EQ(r, (platform::TRect{5, 10, 30, 25}));

  struct Style {
    int32_t weight;
    uint8_t italic, underline, strike;
    uint8_t bits;
  } styles[] = {{400, 0, 0, 0, 0},
                {699, 0, 0, 0, 0},
                {700, 0, 0, 0, fsBold},
                {900, 1, 1, 1, fsBold | fsItalic | fsUnderline | fsStrikeOut},
                {400, 255, 0, 1, fsItalic | fsStrikeOut},
                {400, 0, 1, 0, fsUnderline}};
  for (const Style& s : styles) {
    LOGFONTA f;
    f.lfWeight = s.weight;
    f.lfItalic = s.italic;
    f.lfUnderline = s.underline;
    f.lfStrikeOut = s.strike;
    EXPECT_EQ(LogFontStyleBits(f), s.bits) << s.weight;
  }
}

TEST(DrawViewParams, RecordDefaultsAndTheProcessorTest) {
  const TRVScrollBarParams bar;
  EXPECT_EQ(bar.LineStep, -1);
  EXPECT_EQ(bar.PageStep, -1);
  EXPECT_TRUE(bar.Tracking);
  // The wheel zooms by 8 per cent of the current zoom per notch.
  const TRVMouseWheelParams wheel;
  EXPECT_FALSE(wheel.InverseDirection);
  EXPECT_EQ(wheel.Action, 2);
  EXPECT_EQ(wheel.Variation, 1);
  EXPECT_EQ(wheel.Value, 8);
  EXPECT_FALSE(wheel.ZoomAtMouse);
#if defined(__x86_64__)
  EXPECT_TRUE(CPUHasMMX());
#elif !defined(__i386__)
  EXPECT_FALSE(CPUHasMMX());
#endif
}
