// Enhanced metafiles: the header, the record chain and the playback loop.
#include "rastova/io/metafile/RVEmfPlayer.h"

#include <uemf.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "common/Round.h"
#include "rastova/io/metafile/RVMetaDC.h"

namespace rv {

namespace {

constexpr uint32_t kHeaderMin = U_SIZE_EMRHEADER_MIN;  // 88 bytes, the header of the first files
static_assert(kHeaderMin == 88);
static_assert(sizeof(U_EMRHEADER) == 108);
static_assert(offsetof(U_EMRHEADER, dSignature) == 40);
static_assert(offsetof(U_EMRHEADER, szlDevice) == 72);

// Walks the record chain from `offset`: each record's type and bytes to `visit`, until the
// end-of-file record. False when a record is damaged.
template <class Visit>
bool WalkRecords(std::span<const uint8_t> data, size_t offset, Visit&& visit) {
  const TRVMetaRecord all(data.data(), data.size());
  while (offset < data.size()) {
    if (!all.Has(offset, 8)) return false;
    const uint32_t type = all.U32(offset), size = all.U32(offset + 4);
    if (size < 8 || size % 4 != 0 || !all.Has(offset, size)) return false;
    visit(type, TRVMetaRecord(data.data() + offset, size));
    if (type == U_EMR_EOF) break;
    offset += size;
  }
  return true;
}

const TRVEmfHandlers& Handlers() {
  static const TRVEmfHandlers handlers = [] {
    TRVEmfHandlers h{};
    AddEmfStateHandlers(h);
    AddEmfObjectHandlers(h);
    AddEmfDrawingHandlers(h);
    AddEmfPictureHandlers(h);
    return h;
  }();
  return handlers;
}

}  // namespace

bool CheckEmf(std::span<const uint8_t> data, TRVEmfHeader& header) {
  header = TRVEmfHeader{};
  const TRVMetaRecord all(data.data(), data.size());
  if (!all.Has(0, kHeaderMin)) return false;
  const uint32_t size = all.U32(4);
  if (all.U32(0) != U_EMR_HEADER || all.U32(40) != U_ENHMETA_SIGNATURE || size < kHeaderMin ||
      size % 4 != 0 || !all.Has(0, size))
    return false;
  if (!WalkRecords(data, size, [](uint32_t, const TRVMetaRecord&) {})) return false;
  const int64_t left = all.I32(8), top = all.I32(12), right = all.I32(16), bottom = all.I32(20);
  header.Width = common::SaturateInt32(std::llabs(right - left) + 1);
  header.Height = common::SaturateInt32(std::llabs(bottom - top) + 1);
  header.Reference = QRectF(double(std::min(left, right)), double(std::min(top, bottom)),
                            double(std::llabs(right - left) + 1), double(std::llabs(bottom - top) + 1));
  const int32_t deviceX = all.I32(72), deviceY = all.I32(76), mmX = all.I32(80), mmY = all.I32(84);
  const double screen = 96 / 25.4;
  header.UnitsPerMm = QPointF(deviceX > 0 && mmX > 0 ? double(deviceX) / mmX : screen,
                              deviceY > 0 && mmY > 0 ? double(deviceY) / mmY : screen);
  return true;
}

void PlayEmf(std::span<const uint8_t> data, TRVMetaDC& dc) {
  const TRVMetaRecord all(data.data(), data.size());
  if (!all.Has(0, kHeaderMin)) return;
  TRVEmfPlay play{dc, {}};
  const TRVEmfHandlers& handlers = Handlers();
  WalkRecords(data, all.U32(4), [&](uint32_t type, const TRVMetaRecord& record) {
    if (type < handlers.size() && handlers[type]) handlers[type](play, record);
  });
}

}  // namespace rv
