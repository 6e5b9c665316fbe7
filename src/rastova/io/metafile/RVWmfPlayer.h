#pragma once
// Windows metafiles (WMF): the check of a file's headers and record chain, and the playback of
// its records into a device context (RVMetaDC.h). Unknown records are skipped.
//
// A file is an optional 22-byte placeable header (key 9AC6CDD7h, handle, the box left, top,
// right, bottom and the units per inch, 16 bits each), the 18-byte metafile header (type 1 or
// 2, a header of 9 words), then records of a 32-bit size in 16-bit words and a 16-bit function
// whose low byte names the record (libUEMF's U_WMR_* values), the parameters following.
//
// A file is refused when its header is not one or when a record of the chain is shorter than 3
// words or runs past the end of the data. The chain ends at the end-of-file record (function 0),
// or at the end of the data on a record's end. Inside a record every count and offset is checked
// before use; a record whose contents do not fit is skipped.
//
// The picture is the placeable header's box: its size is |right - left| x |bottom - top| units
// at 96 pixels per inch (0 units per inch read as 1); a file without that header has no size.
// Playback maps the box onto the picture as an anisotropic window, which the file's own window
// records then change, as a metafile picture is played on the window system.
#include <QColor>
#include <QPointF>
#include <QRectF>
#include <array>
#include <cstdint>
#include <span>

#include "rastova/io/metafile/RVMetaObjects.h"
#include "rastova/io/metafile/RVMetaRecord.h"

namespace rv {

class TRVMetaDC;

struct TRVWmfHeader {
  bool Placeable = false;
  int32_t Width = 0;
  int32_t Height = 0;
  // The box in logical units, and logical units per millimetre.
  QRectF Reference;
  QPointF UnitsPerMm;
};

// Checks the WMF that `data` holds from its first byte; false for data that are no WMF or a
// damaged one.
bool CheckWmf(std::span<const uint8_t> data, TRVWmfHeader& header);
// Plays the records of a WMF that CheckWmf accepted.
void PlayWmf(std::span<const uint8_t> data, TRVMetaDC& dc);

struct TRVWmfPlay {
  TRVMetaDC& DC;
  TRVMetaObjects Objects;
};
// Records by the low byte of their function; the record with its 6-byte head (size, function).
using TRVWmfHandler = void (*)(TRVWmfPlay& play, const TRVMetaRecord& record);
using TRVWmfHandlers = std::array<TRVWmfHandler, 256>;

// The record handlers, by group (RVWmfState.cpp, RVWmfDrawing.cpp).
void AddWmfStateHandlers(TRVWmfHandlers& handlers);
void AddWmfObjectHandlers(TRVWmfHandlers& handlers);
void AddWmfDrawingHandlers(TRVWmfHandlers& handlers);
void AddWmfPictureHandlers(TRVWmfHandlers& handlers);

// The parameters of a record, 16 bits each from byte 6; 0 beyond the record.
inline int16_t WmfParam(const TRVMetaRecord& r, uint32_t i) { return r.I16(6 + 2 * uint64_t(i)); }
inline bool WmfHasParams(const TRVMetaRecord& r, uint32_t n) { return r.Has(6, 2 * uint64_t(n)); }
// The colour reference at byte `at` (red, green, blue, flags).
inline QRgb WmfColour(const TRVMetaRecord& r, uint64_t at) {
  return qRgb(r.U8(at), r.U8(at + 1), r.U8(at + 2));
}
// A point or extent from parameter i, stored y first.
inline QPointF WmfPoint(const TRVMetaRecord& r, uint32_t i) {
  return QPointF(WmfParam(r, i + 1), WmfParam(r, i));
}

}  // namespace rv
