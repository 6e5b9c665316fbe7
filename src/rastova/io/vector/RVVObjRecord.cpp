// The font record's face name and what a record of each kind keeps of its owned data.
#include "rastova/io/vector/RVVObjRecord.h"

#include <algorithm>
#include <cstring>

namespace rv {

std::string LogFontFaceName(const LOGFONTA& LogFont) {
  return std::string(LogFont.lfFaceName, strnlen(LogFont.lfFaceName, sizeof LogFont.lfFaceName - 1));
}

void SetLogFontFaceName(LOGFONTA& LogFont, std::string_view Name) {
  std::memset(LogFont.lfFaceName, 0, sizeof LogFont.lfFaceName);
  std::memcpy(LogFont.lfFaceName, Name.data(), std::min<size_t>(Name.size(), 31));
}

void KeepDataOfKind(TRVVObjRecord& o) {
  const bool textKind = o.Kind == rvkTEXT || o.Kind == rvkLINELABEL || o.Kind == rvkEXTENDED;
  if (!textKind && o.Kind != rvkMEMO) o.Text.clear();
  if (!textKind && o.Kind != rvkMEMO && o.Kind != rvkRULER && o.Kind != rvkANGLE) o.LogFont.reset();
  if (!textKind || o.CurvePointsCount <= 0) {
    o.CurvePoints.clear();
    o.CurvePointsCount = 0;
  }
  if (o.Kind == rvkMEMO && !o.MemoCharFormatIdx.empty()) {
    o.MemoCharFormatIdx.resize(o.Text.size());
  } else {
    o.MemoCharFormatIdx.clear();
    o.MemoCharFormats.clear();
  }
  o.DrawnPoints.clear();
  o.DrawnPointsCount = o.DrawnPointsAlloc = 0;
  if (o.Kind != rvkLINE && o.Kind != rvkRULER && o.Kind != rvkPOLYLINE && o.Kind != rvkLINELABEL)
    OrderRectCorners(o.X1, o.Y1, o.X2, o.Y2);
  if (o.Kind == rvkPOLYLINE) {
    // Never more points than the record holds.
    const int32_t n = std::clamp<int32_t>(o.PolyPointsCount, 0, int32_t(o.PolyPoints.size()));
    o.PolyPoints.resize(size_t(n));
    o.PolyPointsAlloc = o.PolyPointsCount = n;
  } else {
    o.PolyPoints.clear();
    o.PolyPointsCount = o.PolyPointsAlloc = 0;
    o.PolyBaseX1 = o.PolyBaseY1 = o.PolyBaseX2 = o.PolyBaseY2 = 0;
  }
}

}  // namespace rv
