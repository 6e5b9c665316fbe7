#pragma once
// The vector layer's object stream ("RVV"), versions '1' to 'R': the content of vector-object
// files, the payload of object undo steps and the second half of the "Layers and objects"
// stream, which puts the layer stream (rastova/io/RVLayerStream.h) in front of it. Reading and
// writing live here, without windows, so that the I/O component recognises the formats and the
// reader can be checked and fuzzed on its own; the vector layer
// (rastova/view/vector/RastovaVect.h) maps its store to and from what is read and written here.
//
// Layout (little-endian): "RVV", the version character, the int32 length of the whole stream,
// the measure base scale (a double; an int32 in version '1'), the int32 slot count N and N
// bitmap slots (an int32 count of the objects using the slot and, when it is above 0, a PNG
// image; BMP in versions '1' and '2'; versions '7' to '<' add a deflated alpha plane), then a
// zlib block to the end: an int32 object count and the object entries in z-order. An entry of
// kind rvkNONE is a group: an int32 count of nested entries follows its common fields.
//
// Reading never trusts a stored count or length for an allocation: outside the compressed block
// every length is checked against the bytes that remain, the block is inflated with its buffer
// growing only as data arrives, and every count inside it is checked against what it holds.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/Exception.h"
#include "rastova/io/vector/RVVObjRecord.h"

namespace rv {

class TStream;
class TRastovaVect;

// A damaged object stream (short, impossible counts, unknown kinds or classes, deep groups).
class ERVVectStreamError : public common::Exception {
 public:
  using Exception::Exception;
};

constexpr char kRVVVersion = 'R';
// Groups nested deeper than this are refused.
constexpr int32_t kRVVMaxGroupDepth = 64;
// The records a vector layer's store keeps free past its objects: a read reserves them too,
// so that the layer takes the records without moving them.
constexpr int32_t kRVVStoreSpare = 522;

// What an object stream holds, read whole. Extended objects and user data of the records are
// owned here until the records are taken by a layer.
struct TRVVObjStreamContent {
  TRVVObjStreamContent() = default;
  TRVVObjStreamContent(const TRVVObjStreamContent&) = delete;
  TRVVObjStreamContent& operator=(const TRVVObjStreamContent&) = delete;
  ~TRVVObjStreamContent();
  char Version = kRVVVersion;
  double MeasureBaseScale = 1.0;
  std::vector<std::unique_ptr<TRVBitmap>> Slots;  // nullptr: a slot no object used
  std::vector<TRVVObjRecord> Objects;             // z-order; BitmapIdx refers to Slots
};

// True when the four bytes at the position are "RVV" and a version from '1' to 'R'. Never
// raises; the position is restored.
bool IsRVVStream(TStream& Stream);
// The content test of the "Layers and objects" stream: an int32 position inside the stream, a
// layer stream after it and an object stream at that position. Never raises; the position is
// restored.
bool IsAllStream(TStream& Stream);

// Reads one object stream at the position. False (the four bytes consumed, Content untouched)
// for another signature or version; ERVVectStreamError for a damaged stream (Content then holds
// a part, to be dropped). Template gives the values older versions do not store; Owner becomes
// the extended objects' owner. References outside what was read are repaired: a BitmapIdx
// outside the slots names no bitmap, a memo character's format index outside its list is 0.
// Each record keeps only the data of its kind (KeepDataOfKind), as a layer keeps it.
bool ReadObjectStream(TStream& Stream, TRVVObjStreamContent& Content, const TRVVObjRecord& Template,
                      TRastovaVect* Owner);
// Reads one object entry of the given version at the position into Content.Objects (a group
// adds what it holds, the group itself nothing). BitmapIdx values stay as stored: they name
// slots of the reading layer. ERVVectStreamError for a damaged entry.
void ReadObjectEntry(TStream& Stream, char Version, TRVVObjStreamContent& Content,
                     const TRVVObjRecord& Template, TRastovaVect* Owner);

// A bitmap slot to write: Count objects use it (0 writes no image).
struct TRVVSlotToWrite {
  TRVBitmap* Bitmap = nullptr;
  int32_t Count = 0;
};
// An object to write, with the handle it has in its layer.
struct TRVVEntryToWrite {
  int32_t Handle = 0;
  const TRVVObjRecord* Obj = nullptr;
};

// Writes the entry of one object in the current version (the handle first). A kind-none object
// is written as an empty group, so that it reads back.
void WriteObjectEntry(TStream& Stream, const TRVVObjRecord& Obj, int32_t Handle);
// Writes a whole object stream of the current version at the position and leaves the position
// at its end. A slot image the I/O component cannot write raises ERVVectStreamError; stream
// errors propagate.
void WriteObjectStream(TStream& Stream, double MeasureBaseScale, const std::vector<TRVVSlotToWrite>& Slots,
                       const std::vector<TRVVEntryToWrite>& Entries);

}  // namespace rv
