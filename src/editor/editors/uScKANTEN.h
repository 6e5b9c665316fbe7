#pragma once
// The cross-section profiles that the two bend editors (uScMAGE.h) lay between the edge lines
// of a bent band, the program-wide choice of the current profile, and two small point routines
// the bend editors share. No class: plain routines and values. Needs no window.
//
// A profile is n points (x, y): x runs across the band from 0 on the first edge line to 1 on
// the second, y is the depth across the band from -1 to 1. Point 0 lies at (0, 0) on the first
// edge; the points run from there towards y = -1 first.
#include <cstdint>

#include "shape/model/ShapeRecord.h"
#include "shape/model/uScPrim.h"

namespace editor {

// Profile types 0..7.
constexpr int32_t SECTION_NORMAL = 0;
constexpr int32_t SECTION_CHAMFER = 1;
constexpr int32_t SECTION_SQUARE = 2;
constexpr int32_t SECTION_ROUND = 3;
constexpr int32_t SECTION_ROUND_SQUARE1 = 4;
constexpr int32_t SECTION_ROUND_SQUARE2 = 5;
constexpr int32_t SECTION_BLADE = 6;
constexpr int32_t SECTION_FIN = 7;
constexpr int32_t SectionTypeCount = 8;

// "Normal", "Chamfer", "SQUARE", "ROUND", "ROUND-SQUARE1", "ROUND-SQUARE2", "BLADE", "Fin".
extern const char* const SectionCaptions[SectionTypeCount];

// The current profile, 0 ("Normal") at start; the Section commands set it to their tag.
extern int32_t CurrentSection;

// Resizes `points` to n entries (new entries (0, 0), kept entries keep their values) and
// writes the profile of `type`. With q = (n - 1) div 4 the key points 0, q, 2q, 3q, 4q are
// (0, 0), (0.5, -1), (1, 0), (0.5, 1), (0, 0); for q <= 1 they are the whole profile. The
// ellipse types (3, 7) put points 1..n-2 on the ellipse about (0.5, 0) with half axes 0.5 and
// 1; the others start from the rectangle [0, 1] x [-1, 1] with corners at h, 3h, 5h, 7h
// (h = q div 2). Entries the walk does not reach keep their values. A size below 5 still
// writes only inside the array (the key points then share entries).
void MakeSection(int32_t type, int32_t n, shape::TDbl2DAry& points);
// MakeSection (CurrentSection, n, points).
void MakeCurrentSection(int32_t n, shape::TDbl2DAry& points);

// The pixels of a profile's 16 x 16 icon: point (x, y) of MakeSection (type, 33) at
// (x * 15, 7.5 - 7.5 y), each taken to the nearest integer (halves to even).
struct TIconPixel {
  int32_t X;
  int32_t Y;
};
void SectionIconPixels(int32_t type, TIconPixel (&pixels)[33]);

void Midpoint3D(const shape::TDbl3D& a, const shape::TDbl3D& b, shape::TDbl3D& result);
double Distance3D(const shape::TDbl3D& a, const shape::TDbl3D& b);

}  // namespace editor
