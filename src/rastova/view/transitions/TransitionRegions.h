#pragma once
// The clip regions of the transition effects: alternating bars, ragged shreds, speckled
// fringes, pie sectors, triangles, polygons and sixteen outline shapes fitted into a box, with
// the point routines they need and a stretch copy that can mirror. The effects themselves are
// in TransitionEffects.h; TComplexRegion in ComplexRegion.h.
//
// Coordinates are pixels of the frame, y growing downwards. Every builder returns a new region
// or nullptr where it has nothing to build; polygons fill by the winding rule. In the rules
// below "/" on integers truncates towards zero and Round takes halves to the even neighbour.
#include <cstdint>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "rastova/view/transitions/ComplexRegion.h"

namespace rv {

// The polygon of the points x1, y1, x2, y2, ... of Coords (Count values, Count / 2 points).
PRegion CreatePolygonRegion(const int32_t* Coords, int32_t Count);
PRegion CreateTriangleRegion(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3);
// The centre followed by Count points on the circle at StartAngle + k (EndAngle - StartAngle) /
// Count, k = 0 .. Count - 1 (radians; the last point stops one step short of EndAngle).
PRegion CreateSectorRegion(int32_t CX, int32_t CY, int32_t Radius, long double StartAngle,
                           long double EndAngle, int32_t Count);

// Bars of thickness Min(Width, Height) / 50 + 1, every second one, in rows (RowMode) and
// columns (ColumnMode): mode 1 grows from the right (bottom), 2 from the left (top), 3 alternate
// bars from both sides, 4 the first half of the bars from the left and the other from the
// right, 5 the reverse. XLength beyond Width is the second half: the first half's bars are then
// complete.
PRegion CreateBarsRegion(int32_t XLength, int32_t YLength, int32_t Width, int32_t Height, int32_t RowMode,
                         int32_t ColumnMode);
// Strips of thickness Min(Width, Height) / 200 + 1 whose ends are jagged by up to a tenth of
// the frame, drawn from the shared generator at every call: mode 1 from the right (bottom), 2
// from the left (top), 3 out from the centre line, 4 in from both sides.
PRegion CreateShredsRegion(int32_t XLength, int32_t YLength, int32_t Width, int32_t Height, int32_t RowMode,
                           int32_t ColumnMode);
// A solid part with a fringe of random cells a tenth of the frame deep beyond its edge; mode 1
// grows from the right (bottom), any other from the left (top).
PRegion CreateSpecklesRegion(int32_t XLength, int32_t YLength, int32_t Width, int32_t Height, int32_t RowMode,
                             int32_t ColumnMode);

// The shape of a code (taken modulo 128) in the box with top-left corner (X, Y): 0 five- and
// 1 six-pointed star, 2-5 diagonal arrow, 6 lightning bolt, 7 the bolt mirrored, 8 explosion,
// 9 the explosion turned half round, 10 Latin cross, 11-14 feathered arrow, 15 heart; nullptr
// for any other code.
PRegion CreateShapeRegion(uint8_t Shape, int32_t X, int32_t Y, int32_t Width, int32_t Height);
PRegion CreateShapeRegionInRect(uint8_t Shape, const platform::TRect& R);

PRegion CreateStar5Region(int32_t X, int32_t Y, int32_t Width, int32_t Height);
PRegion CreateStar6Region(int32_t X, int32_t Y, int32_t Width, int32_t Height);
// Orientation 0 keeps the head at the top left, 1 mirrors left to right, 2 top to bottom, 3 both.
PRegion CreateArrowRegion(int32_t X, int32_t Y, int32_t Width, int32_t Height, int32_t Orientation);
PRegion CreateLightningRegion(int32_t X, int32_t Y, int32_t Width, int32_t Height, bool Plain);
PRegion CreateExplosionRegion(int32_t X, int32_t Y, int32_t Width, int32_t Height, bool Mirrored);
PRegion CreateCrossRegion(int32_t X, int32_t Y, int32_t Width, int32_t Height, float BarPosition);
PRegion CreateFeatheredArrowRegion(int32_t X, int32_t Y, int32_t Width, int32_t Height, int32_t Orientation);
PRegion CreateHeartRegion(int32_t X, int32_t Y, int32_t Width, int32_t Height);

// The point at Radius from Center, AngleDegrees clockwise from straight up, rounded.
void PolarPoint(const platform::TPoint& Center, uint16_t Radius, platform::TPoint& P, double AngleDegrees);
// Shrinks the box to a square of its smaller side, centred.
void FitSquare(int32_t& X, int32_t& Y, int32_t& Width, int32_t& Height);
// Turns points 0 .. LastIndex about (CX, CY) by Angle radians (clockwise on the screen), rounded.
void RotatePolygonPoints(platform::TPoint* Points, int32_t LastIndex, int32_t CX, long double Angle,
                         int32_t CY);
// Stretches the part of Src inside the bitmap over the whole of Dest, smoothly (half-tone),
// mirrored left to right and/or top to bottom.
void StretchDrawFlipped(platform::TCanvas& Canvas, const platform::TRect& Dest, platform::TBitmap& Bitmap,
                        const platform::TRect& Src, bool FlipHorizontal, bool FlipVertical);

// a := a <Mode> b, where either may be "no region": a union or exclusive or with nothing keeps
// the other, an intersection with nothing is nothing.
void CombineRegions(PRegion& A, PRegion B, platform::TRegionCombine Mode);

}  // namespace rv
