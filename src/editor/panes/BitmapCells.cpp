#include "editor/panes/BitmapCells.h"

#include <algorithm>

#include "shape/model/uScSelect.h"

namespace editor {

using shape::TCS;

namespace {

// The seam duplicates of the box columns a..b, rows p..q.
void FollowSeams(TCS& cs, int32_t a, int32_t b, int32_t p, int32_t q, bool value) {
  const int32_t lastRow = cs.CPMaxJ - 1;
  const bool bottom = p == 0;
  const bool top = q == lastRow;
  const bool lastColumn = b == cs.CPMaxI - 1;
  switch (cs.ScType) {
    case shape::SCTYPE_SPHERE:
      if (bottom) cs.SP[0][0] = value;
      if (top) cs.SP[0][lastRow] = value;
      if (lastColumn)
        for (int32_t j = std::max(p, 1); j <= std::min(q, lastRow - 1); ++j) cs.SP[0][j] = value;
      break;
    case shape::SCTYPE_TORUS:
      if (bottom)
        for (int32_t i = a; i <= b; ++i) cs.SP[i][lastRow] = value;
      if (lastColumn)
        for (int32_t j = p; j <= q; ++j) cs.SP[0][j] = value;
      if (bottom && lastColumn) cs.SP[0][lastRow] = value;
      break;
    case shape::SCTYPE_CYLINDER:
      if (lastColumn)
        for (int32_t j = p; j <= q; ++j) cs.SP[0][j] = value;
      break;
    default:
      break;
  }
}

}  // namespace

void SelectCellBand(TCS& Shape, int32_t FirstColumn, int32_t LastColumn, int32_t FirstRow, int32_t LastRow,
                    bool Value) {
  if (FirstColumn != -1 || FirstRow != -1) {
    int32_t a = 0, b = Shape.CPMaxI - 1, p = 0, q = Shape.CPMaxJ - 1;
    if (FirstColumn != -1) {
      a = std::max(FirstColumn, 0);
      b = std::min(LastColumn, b);
    }
    if (FirstColumn == -1 || FirstRow != -1) {
      p = std::max(FirstRow, 0);
      q = std::min(LastRow, q);
    }
    if (a <= b && p <= q) {
      for (int32_t i = a; i <= b; ++i)
        for (int32_t j = p; j <= q; ++j) Shape.SP[i][j] = Value;
      FollowSeams(Shape, a, b, p, q, Value);
    }
  }
  shape::SelectWholeGroups(Shape, Value);
  if (Value)
    shape::JoinSeamFlagsOr(Shape, Shape.SP);
  else
    shape::JoinSeamFlagsAnd(Shape, Shape.SP);
  shape::CountSelectedPoints(Shape);
}

void NudgePoints(TCS& Shape, int32_t DX, int32_t DY, int32_t DZ) {
  const double d[3] = {DX / 128.0, DY / 128.0, DZ / 128.0};
  for (int32_t i = 0; i < Shape.CPMaxI; ++i)
    for (int32_t j = 0; j < Shape.CPMaxJ; ++j)
      if (Shape.SP[i][j] && !Shape.RP[i][j])
        for (int k = 0; k < 3; ++k) Shape.CP[i][j][k] += d[k];
  shape::ClampShapePoints(Shape);
}

void SetPointChannels(TCS& Shape, int32_t Red, int32_t Green, int32_t Blue) {
  const shape::TDbl3D p{{(Red - 127) / 128.0, (Green - 127) / 128.0, (Blue - 127) / 128.0}};
  for (int32_t i = 0; i < Shape.CPMaxI; ++i)
    for (int32_t j = 0; j < Shape.CPMaxJ; ++j)
      if (Shape.SP[i][j] && !Shape.RP[i][j]) Shape.CP[i][j] = p;
  shape::ClampShapePoints(Shape);
}

}  // namespace editor
