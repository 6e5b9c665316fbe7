#pragma once
// Small double-precision vector routines on TDbl3D.
#include "shape/model/ShapeRecord.h"

namespace shape {

// Each component differs by at most 1e-05.
bool SameDbl3D(const TDbl3D& a, const TDbl3D& b);
// All three components exactly equal.
bool EqualDbl3D(const TDbl3D& a, const TDbl3D& b);
double Dbl3DLength(const TDbl3D& a);
TDbl3D AddDbl3D(const TDbl3D& a, const TDbl3D& b);
TDbl3D SubDbl3D(const TDbl3D& a, const TDbl3D& b);
void IncDbl3D(TDbl3D& a, const TDbl3D& b);
double DotDbl3D(const TDbl3D& a, const TDbl3D& b);
TDbl3D CrossDbl3D(const TDbl3D& a, const TDbl3D& b);
// a / |a|; the zero vector when the length is not greater than 0.
TDbl3D NormalizeDbl3D(const TDbl3D& a);
// a / |a|; (0, 0, 1) when the length is not greater than 0.
TDbl3D UnitDbl3D(const TDbl3D& a);
// Normalize(b - a) x Normalize(c - a), not normalised again.
TDbl3D TriangleNormal(const TDbl3D& a, const TDbl3D& b, const TDbl3D& c);
// (a - b) x (c - a), not normalised.
TDbl3D FaceNormalDbl3D(const TDbl3D& a, const TDbl3D& b, const TDbl3D& c);
// a . b / (|a| |b|); 1 when the product of the lengths is 0.
double CosAngleDbl3D(const TDbl3D& a, const TDbl3D& b);

}  // namespace shape
