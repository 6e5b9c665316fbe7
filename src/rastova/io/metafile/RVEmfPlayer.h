#pragma once
// Enhanced metafiles (EMF): the check of a file's header and record chain, and the playback of
// its records into a device context (RVMetaDC.h). EMF+ records, which ride in comment records,
// are skipped: the EMF records a file carries beside them draw the picture. Unknown records are
// skipped too.
//
// A file is refused when its header record is not one (type 1, the signature " EMF", at least
// 88 bytes) or when a record of the chain is shorter than 8 bytes, not a multiple of 4 bytes or
// runs past the end of the data. The chain ends at the end-of-file record, or at the end of the
// data on a record's end. Inside a record every count and offset is checked before use; a record
// whose contents do not fit is skipped.
#include <uemf.h>

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

struct TRVEmfHeader {
  // The picture's own size: the header's bounds (inclusive device pixels of the recording
  // device), |right - left| + 1 by |bottom - top| + 1, held to 2^31 - 1.
  int32_t Width = 0;
  int32_t Height = 0;
  // The bounds as a rectangle of the recording device, the one drawn onto the picture.
  QRectF Reference;
  // Recording-device pixels per millimetre (the header's device size over its size in
  // millimetres; 96 pixels per inch when those are not positive).
  QPointF UnitsPerMm;
};

// Checks the EMF that `data` holds from its first byte; false for data that are no EMF or a
// damaged one.
bool CheckEmf(std::span<const uint8_t> data, TRVEmfHeader& header);
// Plays the records of an EMF that CheckEmf accepted.
void PlayEmf(std::span<const uint8_t> data, TRVMetaDC& dc);

// The playback of one file: the device context and the object table.
struct TRVEmfPlay {
  TRVMetaDC& DC;
  TRVMetaObjects Objects;
};
using TRVEmfHandler = void (*)(TRVEmfPlay& play, const TRVMetaRecord& record);
using TRVEmfHandlers = std::array<TRVEmfHandler, 123>;  // by record type, up to U_EMR_MAX

// What the handlers share: a point of two 32-bit values, a colour reference.
inline QPointF EmfPoint(int32_t x, int32_t y) { return QPointF(double(x), double(y)); }
inline QRgb EmfColour(const U_COLORREF& c) { return qRgb(c.Red, c.Green, c.Blue); }

// The record handlers, by group (RVEmfState.cpp, RVEmfDrawing.cpp, RVEmfPictures.cpp).
void AddEmfStateHandlers(TRVEmfHandlers& handlers);
void AddEmfObjectHandlers(TRVEmfHandlers& handlers);
void AddEmfDrawingHandlers(TRVEmfHandlers& handlers);
void AddEmfPictureHandlers(TRVEmfHandlers& handlers);

}  // namespace rv
