#pragma once
// The object table of metafile playback: the pens, brushes, fonts and regions that records
// create, select and delete by index. An EMF names the index of each object it creates; a WMF
// object takes the lowest free index. Objects the player does not draw with (palettes, colour
// spaces) hold their index all the same, so that the indices of later objects stay right.
//
// Limits: indices below kMaxMetaObjects (both formats count their objects in 16 bits), and the
// pattern tiles of all live brushes together at most kMaxPatternPixels pixels (a brush beyond is
// not created), so that a small file cannot fill memory with decoded tiles.
#include <QRegion>
#include <cstdint>
#include <functional>
#include <optional>
#include <queue>
#include <unordered_map>
#include <variant>
#include <vector>

#include "rastova/io/metafile/RVMetaDC.h"

namespace rv {

constexpr uint32_t kMaxMetaObjects = 65535;
constexpr int64_t kMaxPatternPixels = int64_t(1) << 24;

// A region object (WMF), in logical units.
struct TRVMetaRegion {
  QRegion Logical;
};

// std::monostate: an object that takes an index and draws nothing.
using TRVMetaObject = std::variant<std::monostate, TRVMetaPen, TRVMetaBrush, TRVMetaFont, TRVMetaRegion>;

class TRVMetaObjects {
 public:
  // The object at `index` (1 up to the limit; 0 is the metafile itself); an object already
  // there is replaced. False when refused.
  bool Put(uint32_t index, TRVMetaObject object);
  // The object into the lowest free index; false when the table is full or the object refused.
  bool Add(TRVMetaObject object);
  const TRVMetaObject* Find(uint32_t index) const;
  void Remove(uint32_t index);

 private:
  bool Admit(const TRVMetaObject& object) const;
  void Forget(uint32_t index);

  std::unordered_map<uint32_t, TRVMetaObject> objects_;
  // Indices below next_ freed again, the lowest first.
  std::priority_queue<uint32_t, std::vector<uint32_t>, std::greater<>> freed_;
  uint32_t next_ = 0;
  int64_t patternPixels_ = 0;
};

// Makes the object the device context's pen, brush or font; a region becomes the clip region.
void SelectObject(TRVMetaDC& dc, const TRVMetaObject& object);

// The window system's stock objects selected by index (U_WHITE_BRUSH ... U_DEFAULT_GUI_FONT, and
// the DC brush and pen); none for other indices.
std::optional<TRVMetaObject> StockObject(uint32_t index);

}  // namespace rv
