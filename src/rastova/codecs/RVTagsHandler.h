#pragma once
// TRVTagsHandler: the EXIF MakerNote (tag 37500), a maker-specific IFD, kept in a normalised form.
// It recognises the camera maker by the note's opening bytes, reads the IFD in the maker's byte
// order and offset convention, and writes it back with recomputed offsets. The I/O parameters own
// one (EXIF_MakerNote); the camera-raw reader fills one directly in the normalised form.
//
// Normalised form (the internal stream, little-endian): a 16-bit entry count n (at most 256), n
// entries of tag, type, count and value (12 bytes), then the out-of-line values one after another;
// an entry whose values take more than 4 bytes has as value the position of its data in this
// stream. Reading never looks outside the note's bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "rastova/core/RVStream.h"

namespace rv {

// How one maker lays out its note.
struct TRVEXIFMakerNoteDeviceInfo {
  // The bytes that open the note, zero bytes included.
  std::string Signature;
  // 0: value offsets count from the start of the enclosing TIFF structure; 1: from the note's
  // own header (header kind 1) or its first byte (header kind 2).
  uint8_t OffsetBase = 0;
  // 0: the IFD follows the signature; 1: an 8-byte TIFF header follows the signature and the IFD
  // that header; 2: a 32-bit little-endian IFD offset (from the note's first byte) follows it.
  uint8_t HeaderKind = 0;
  uint8_t TIFFHeader[8] = {};
  // 0: the enclosing structure's order; 1: that of the note's TIFF header; 2: little-endian;
  // 3: big-endian.
  uint8_t ByteOrder = 0;
};

// The known makers, compared in this order.
const std::vector<TRVEXIFMakerNoteDeviceInfo>& MakerNoteDevices();

class TRVTagsHandler {
 public:
  TRVTagsHandler() = default;
  TRVTagsHandler(const TRVTagsHandler&) = delete;
  TRVTagsHandler& operator=(const TRVTagsHandler&) = delete;

  void Clear();
  // Takes the raw note bytes (an empty vector frees them).
  void SetRawData(std::vector<uint8_t> data);
  const std::vector<uint8_t>& RawData() const { return raw_; }
  int32_t RawSize() const { return static_cast<int32_t>(raw_.size()); }
  // The maker whose signature opens the raw data (the default: none).
  void IdentifyMaker();
  // Reads `size` bytes of note at the stream's position (whose position 0 is the enclosing TIFF
  // header); the enclosing structure is little-endian when `littleEndian`. A note that cannot be
  // read leaves the handler cleared.
  void ReadMakerNote(TStream& stream, int32_t size, bool littleEndian);
  // Writes the note at the stream's position in its maker's layout (value offsets from the
  // stream's position 0 for offset base 0); the bytes written, or 0 (output back at the start)
  // when there is nothing to write or the note would exceed 65,000 bytes.
  int32_t WriteMakerNote(TStream& stream);
  // Reads the entry table back from the internal stream.
  void IndexEntries();
  void Assign(const TRVTagsHandler& source);

  const TRVEXIFMakerNoteDeviceInfo& DeviceInfo() const { return device_; }
  // The normalised note; writers of that form call IndexEntries afterwards.
  TMemoryStream& InternalStream() { return stream_; }
  int32_t EntryCount() const { return entryCount_; }
  // Entry i of the table: tag, type, count and value as read back.
  struct TEntry {
    uint16_t tag = 0, type = 0;
    uint32_t count = 0, value = 0;
  };
  TEntry GetEntry(int32_t index) const;
  // The data of entry i (its value field for data of up to 4 bytes); empty when absent.
  std::vector<uint8_t> GetEntryData(int32_t index);

 private:
  std::vector<uint8_t> raw_;
  TRVEXIFMakerNoteDeviceInfo device_;
  TMemoryStream stream_;
  std::vector<uint8_t> table_;
  int32_t entryCount_ = 0;
};

}  // namespace rv
