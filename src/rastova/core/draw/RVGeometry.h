#pragma once
// Angles, point tests and hit distances on integer screen coordinates (y grows downwards),
// used by the vector objects, the anti-aliased canvas and the image view to find what the
// mouse is over. Angles are radians. The distances of points to segments and the point in
// rectangle test they build on are in RVUtils.h.
//
// Every routine takes any 32-bit input: differences are formed in 64 bits, and a hit distance
// works on at most kMaxOutlineVertices vertices and kMaxPenOffsets pen offsets per side, so a
// huge figure or pen costs a bounded time.
#include <cstddef>
#include <cstdint>

#include "platform/gfx/Types.h"
#include "rastova/core/RVUtils.h"

namespace rv {

// Widens R so that it contains (X, Y).
void RectIncludePoint(platform::TRect& R, int32_t X, int32_t Y);

// The box from (X - Half, Y - Half) to (X + Half, Y + Half), such as a grip's around its point;
// its sides saturate at the ends of the integer range instead of wrapping round.
platform::TRect BoxAround(int64_t X, int64_t Y, int64_t Half);

// The arc tangent of Y / X in the quadrant of (X, Y).
double ArcTan2(double Y, double X);
// The arc cosine as ArcTan2(sqrt(1 - C^2), C), which is 0 for C = 1 and also for C = -1 (not pi);
// 0 for a C beyond -1..1 or NaN.
double ArcCosSafe(double C);
// The turn between the segments P1-P2 and P2-P3: the angle between U = P2 - P1 and V = P3 - P2;
// 0 when a segment has no length.
double AngleBetweenSegments(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3);
// The direction from P1 to P2 in 0..2 pi, counter-clockwise on the screen (0 towards +x, pi / 2
// upwards); 0 for equal points.
double LineAngle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
// With D1 = P2 - P1 and D2 = P3 - P1: 1 when D1.y D2.x < D1.x D2.y, -1 when D1.x D2.y < D1.y D2.x;
// for collinear points -1 when P2 and P3 lie on opposite sides of P1, else 1 when P2 is nearer
// to P1 than P3, else 0.
int32_t TurnDirection(const TRVPoint& P1, const TRVPoint& P2, const TRVPoint& P3);
// The angle at P2 by the law of cosines, with b = |P3 - P2| and c = |P2 - P1| (a length 0 taken
// as 1) and a = |P3 - P1|; 2 pi minus it when TurnDirection (P1, P2, P3) is -1.
double VertexAngle(const TRVPoint& P1, const TRVPoint& P2, const TRVPoint& P3);

// Rotates Points[0..High] in place about (CX, CY); positive angles turn counter-clockwise on
// the screen. Each new offset from the centre is truncated towards zero.
void RotatePoints(TRVPoint* Points, int32_t High, int32_t CX, int32_t CY, double Degrees);

// Even-odd rule over the closed polygon Points[0..High]: a point on a top or left edge is
// inside, on a bottom or right edge outside. Fewer than three points enclose nothing.
bool PointInPolygon(int32_t X, int32_t Y, const TRVPoint* Points, int32_t High);
// The same over Points[0..Count - 1] mapped to ((x - OriginX) ScaleX + OffsetX,
// (y - OriginY) ScaleY + OffsetY).
bool PointInScaledPolygon(int32_t X, int32_t Y, const TRVPoint* Points, int32_t Count, int32_t OriginX,
                          int32_t OriginY, int32_t OffsetX, int32_t OffsetY, double ScaleX, double ScaleY);

constexpr int32_t kNoHit = 2147483647;
constexpr int64_t kMaxOutlineVertices = 65536;  // a vertex per pixel of outline up to radius 10,430
constexpr int32_t kMaxPenOffsets = 64;          // pens up to 129 pixels wide

// Distance in whole pixels from (X, Y) to the ellipse inscribed in the box, as a polygon of
// trunc(2 pi min(rx, ry)) spokes from the centre when Filled, else a polygon of an eighth as
// many vertices (at least 2), for each pen offset k in -(PenWidth div 2) .. PenWidth div 2 added
// to both radii. kNoHit for a negative pen width.
int32_t DistanceToEllipse(int32_t X, int32_t Y, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom,
                          bool Filled, int32_t PenWidth);
// Distance in whole pixels from (X, Y) to the sides of the rectangle moved by (k, k) for each pen
// offset k; 0 when Filled and the point lies in a moved rectangle, edges included. kNoHit for a
// negative pen width.
int32_t DistanceToRectangle(int32_t X, int32_t Y, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom,
                            bool Filled, int32_t PenWidth);

// The font record of the window system in its one-byte form: the face name is 32 Windows-1252
// characters, zero-terminated. Vector objects store it byte for byte.
#pragma pack(push, 1)
struct LOGFONTA {
  int32_t lfHeight = 0;
  int32_t lfWidth = 0;
  int32_t lfEscapement = 0;
  int32_t lfOrientation = 0;
  int32_t lfWeight = 400;
  uint8_t lfItalic = 0;
  uint8_t lfUnderline = 0;
  uint8_t lfStrikeOut = 0;
  uint8_t lfCharSet = 1;
  uint8_t lfOutPrecision = 0;
  uint8_t lfClipPrecision = 0;
  uint8_t lfQuality = 0;
  uint8_t lfPitchAndFamily = 0;
  char lfFaceName[32] = {};
};
#pragma pack(pop)
static_assert(sizeof(LOGFONTA) == 60);
static_assert(offsetof(LOGFONTA, lfEscapement) == 8);
static_assert(offsetof(LOGFONTA, lfWeight) == 16);
static_assert(offsetof(LOGFONTA, lfItalic) == 20);
static_assert(offsetof(LOGFONTA, lfCharSet) == 23);
static_assert(offsetof(LOGFONTA, lfQuality) == 26);
static_assert(offsetof(LOGFONTA, lfFaceName) == 28);

// The style set of a font: bit 1 bold (weight 700 or more), bit 2 italic, bit 4 underline,
// bit 8 strike-out; 0 for none.
constexpr uint8_t fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8;
uint8_t LogFontStyleBits(const LOGFONTA& LogFont);

}  // namespace rv
