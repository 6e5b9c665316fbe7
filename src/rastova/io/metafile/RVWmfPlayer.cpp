// Windows metafiles: the headers, the record chain and the playback loop.
#include "rastova/io/metafile/RVWmfPlayer.h"

#include <uwmf.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "common/Round.h"
#include "rastova/io/metafile/RVMetaDC.h"

namespace rv {

namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr uint64_t kPlaceableSize = 22;
constexpr uint64_t kHeaderSize = 18;
// Pixels per inch of the screen a metafile's units are converted to.
constexpr int64_t kScreenDpi = 96;

uint64_t HeaderStart(const TRVMetaRecord& all) {
  return all.Has(0, 4) && all.U32(0) == kPlaceableKey ? kPlaceableSize : 0;
}

// Walks the record chain from `offset`: each record's function and bytes to `visit`, until the
// end-of-file record. False when a record is damaged.
template <class Visit>
bool WalkRecords(std::span<const uint8_t> data, uint64_t offset, Visit&& visit) {
  const TRVMetaRecord all(data.data(), data.size());
  while (offset < data.size()) {
    if (!all.Has(offset, 6)) return false;
    const uint64_t bytes = uint64_t(all.U32(offset)) * 2;
    const uint16_t function = all.U16(offset + 4);
    if (bytes < 6 || !all.Has(offset, bytes)) return false;
    visit(function, TRVMetaRecord(data.data() + offset, size_t(bytes)));
    if (function == 0) break;
    offset += bytes;
  }
  return true;
}

const TRVWmfHandlers& Handlers() {
  static const TRVWmfHandlers handlers = [] {
    TRVWmfHandlers h{};
    AddWmfStateHandlers(h);
    AddWmfObjectHandlers(h);
    AddWmfDrawingHandlers(h);
    AddWmfPictureHandlers(h);
    return h;
  }();
  return handlers;
}

}  // namespace

bool CheckWmf(std::span<const uint8_t> data, TRVWmfHeader& header) {
  header = TRVWmfHeader{};
  const TRVMetaRecord all(data.data(), data.size());
  const uint64_t start = HeaderStart(all);
  if (!all.Has(start, kHeaderSize)) return false;
  const uint16_t type = all.U16(start), words = all.U16(start + 2);
  if ((type != 1 && type != 2) || words != 9) return false;
  if (!WalkRecords(data, start + kHeaderSize, [](uint16_t, const TRVMetaRecord&) {})) return false;
  if (start == 0) return true;  // no size
  header.Placeable = true;
  const int64_t left = all.I16(6), top = all.I16(8), right = all.I16(10), bottom = all.I16(12);
  const int64_t inch = std::max<int64_t>(1, all.U16(14));
  header.Width = common::SaturateInt32(std::llabs(right - left) * kScreenDpi / inch);
  header.Height = common::SaturateInt32(std::llabs(bottom - top) * kScreenDpi / inch);
  header.Reference = QRectF(double(std::min(left, right)), double(std::min(top, bottom)),
                            double(std::llabs(right - left)), double(std::llabs(bottom - top)));
  header.UnitsPerMm = QPointF(inch / 25.4, inch / 25.4);
  return true;
}

void PlayWmf(std::span<const uint8_t> data, TRVMetaDC& dc) {
  const TRVMetaRecord all(data.data(), data.size());
  TRVWmfHeader header;
  if (!CheckWmf(data, header) || header.Reference.isEmpty()) return;
  // The box is the window at first, mapped onto the whole picture.
  TRVMetaState& state = dc.State();
  state.MapMode = U_MM_ANISOTROPIC;
  state.WindowOrg = state.ViewportOrg = header.Reference.topLeft();
  state.WindowExt = state.ViewportExt = QPointF(header.Reference.width(), header.Reference.height());
  TRVWmfPlay play{dc, {}};
  const TRVWmfHandlers& handlers = Handlers();
  WalkRecords(data, HeaderStart(all) + kHeaderSize, [&](uint16_t function, const TRVMetaRecord& record) {
    if (TRVWmfHandler h = handlers[function & U_WMR_MASK]) h(play, record);
  });
}

}  // namespace rv
