#pragma once
// The two spacing commands, Equal Intervals and Equal Distance, and the analysis of the
// selection that decides whether and how they apply: whole rows, whole torus columns, or one
// rectangular block whose column range (and on a torus its row range) may run across a seam.
#include <cstdint>

#include "shape/model/ShapeRecord.h"

namespace shape {

// Every row is selected in all columns 0..CPMaxI - 2 or in none, and at least one is.
bool WholeRowsSelected(const TCS& cs);
// Every column is selected in all rows 0..CPMaxJ - 2 or in none, and at least one is.
bool WholeColumnsSelected(const TCS& cs);
// 1 whole rows (sphere, torus, cylinder), 2 whole columns (torus only), 0 otherwise.
int32_t SelectionKind(const TCS& cs);
// Whether the selection is one block of columns startColumn..endColumn and rows
// firstRow..lastRow (the ranges may wrap across the seams of the stitch type). The bounds start
// as -1; the answer is false whenever a bound is left outside the grid.
bool SelectionBlock(const TCS& cs, int32_t& startColumn, int32_t& endColumn, int32_t& firstRow,
                    int32_t& lastRow);
// The steps from a up to b counting modulo n - 1 (0..n - 2).
int32_t CyclicSteps(int32_t a, int32_t b, int32_t n);

// Every wholly selected row becomes a horizontal circle about its own centre.
void EqualIntervalsRows(TCS& cs);
// Torus: every wholly selected column becomes a circle in the vertical plane through the z axis.
void EqualIntervalsColumns(TCS& cs);
// The block becomes the ruled surface spanned by its four corners, evenly spaced; commits
// the shape first and gives locked points and the four corners their committed values back.
void EqualIntervalsBlock(TCS& cs, int32_t startColumn, int32_t endColumn, int32_t firstRow, int32_t lastRow);

// The Equal Intervals command and its availability.
void GridEqualIntervals(TCS& cs);
bool GridCanEqualIntervals(const TCS& cs);
// The Equal Distance command (answers what SelectionBlock answers) and its availability.
bool GridEqualDistance(TCS& cs);
bool GridCanEqualDistance(const TCS& cs);

}  // namespace shape
