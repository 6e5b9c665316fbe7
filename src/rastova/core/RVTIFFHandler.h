#pragma once
// TRVTIFFHandler: the whole tag structure of a TIFF file held in memory (every page of the main
// chain with its entries, their data, the nested EXIF, GPS and interoperability IFDs and the image
// blocks of strips, tiles, old-style JPEG streams and HD Photo planes), so that tags can be copied
// in from another handler and the file written back with everything else unchanged and new
// offsets. It knows nothing about pixels. The TIFF codec uses it to put EXIF tags into an existing
// TIFF or HD Photo file (InjectTIFFEXIF in codecs/RVEXIF.h).
//
// Every offset, count and size read is checked against the stream: an entry's data size is count
// x type size in 64 bits, entries whose data lie outside the stream are dropped, image blocks are
// cut at the end of the stream, and the page chain and nested IFDs end at any IFD already read.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rv {

class TStream;
struct TRVTIFFEntry;

// The entries of one IFD, in file order until sorted.
struct TRVTIFFEntryList {
  std::vector<TRVTIFFEntry> entries;
};

// One IFD entry. Tag, type and count are host numbers; the inline value and the data block keep
// the bytes of the file's byte order.
struct TRVTIFFEntry {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint32_t count = 0;
  uint8_t value[4] = {};
  // The values when they take more than 4 bytes.
  std::vector<uint8_t> data;
  // A sub-IFD tag (34665, 34853, 40965): the IFD it points to.
  std::unique_ptr<TRVTIFFEntryList> sub;
  // An offsets tag: the image data of each element.
  std::vector<std::vector<uint8_t>> blocks;
  bool isOffsets = false;

  TRVTIFFEntry() = default;
  TRVTIFFEntry(TRVTIFFEntry&&) = default;
  TRVTIFFEntry& operator=(TRVTIFFEntry&&) = default;
  // A deep copy (data, nested list and blocks).
  TRVTIFFEntry Clone() const;
};

class TRVTIFFHandler {
 public:
  TRVTIFFHandler() = default;
  TRVTIFFHandler(const TRVTIFFHandler&) = delete;
  TRVTIFFHandler& operator=(const TRVTIFFHandler&) = delete;
  TRVTIFFHandler(TRVTIFFHandler&&) = default;
  TRVTIFFHandler& operator=(TRVTIFFHandler&&) = default;
  static std::unique_ptr<TRVTIFFHandler> CreateFromFile(const std::string& fileName);
  static std::unique_ptr<TRVTIFFHandler> CreateFromStream(TStream& stream);

  // False when no such file exists or its byte-order mark is wrong.
  bool LoadFromFile(const std::string& fileName);
  // Loads the TIFF at the stream's position (offsets are stream positions); false only for a
  // byte-order mark other than "II" or "MM". A damaged file loads what could be read.
  bool LoadFromStream(TStream& stream);
  // Writes the header and page `page`, or every page for any index outside the pages (-1).
  void WriteStream(TStream& stream, int32_t page);
  void WriteFile(const std::string& fileName, int32_t page);

  void Clear() { pages_.clear(); }
  int32_t PageCount() const { return static_cast<int32_t>(pages_.size()); }
  TRVTIFFEntryList& Page(int32_t index) { return pages_.at(static_cast<size_t>(index)); }
  void DeletePage(int32_t page);
  // Deletes an entry with its data, nested list and blocks; an index below 0 is ignored.
  void DeleteTag(int32_t page, int32_t entryIndex);
  void DeletePageEntry(int32_t page, int32_t entryIndex) { DeleteTag(page, entryIndex); }
  static void DeleteListEntry(TRVTIFFEntryList& list, int32_t entryIndex);

  // Copies entry `entryIndex` of Source's page `srcPage` into page `destPage`, replacing an entry
  // of the same tag; nothing for pages out of range or handlers of different byte order.
  void CopyTag(int32_t srcPage, int32_t entryIndex, const TRVTIFFHandler& source, int32_t destPage);
  // Index of the first entry of the page with that tag; -1 when absent or the page does not exist.
  int32_t FindTag(int32_t page, uint16_t tag) const;
  static int32_t FindTagInList(const TRVTIFFEntryList& list, uint16_t tag);
  // Value i of the first entry with the tag as an unsigned number of its width (SBYTE
  // sign-extended); 0 when absent, for other types, or when i is beyond the count.
  int64_t GetTagInteger(const TRVTIFFEntryList& list, uint16_t tag, uint32_t index) const;
  int64_t GetEntryInteger(const TRVTIFFEntry& entry, uint32_t index) const;
  // The bytes of value i (in the inline field or the data block); nullptr beyond the values.
  static const uint8_t* GetValuePointer(const TRVTIFFEntry& entry, uint32_t index);
  // Replaces the tag by a one-value entry appended at the end of the list: BYTE and SBYTE one
  // byte, SHORT and SSHORT 16 bits, LONG and SLONG 32 bits, rationals as trunc(value x 10000) /
  // 10000, FLOAT and DOUBLE as IEEE values; other types store one byte with count 1.
  void SetTagValue(TRVTIFFEntryList& list, uint16_t tag, double value, uint16_t type);
  // An ASCII entry: the text with its terminating zero.
  void SetTagValue(TRVTIFFEntryList& list, uint16_t tag, const std::string& text);
  void SortPage(int32_t page);
  static void SortEntries(TRVTIFFEntryList& list);

  bool BigEndian() const { return bigEndian_; }
  uint16_t Magic() const { return magic_; }
  // The byte-count tag of an offsets tag (0 when the tag is none), given the magic.
  static uint16_t DataPairTags(uint16_t offsetsTag, uint16_t magic);
  // Bytes per value of a type; 0 and types above 12 count one byte.
  static uint32_t TypeSize(uint16_t type);

 private:
  struct TReadState;
  bool ReadHeader(TStream& stream, uint32_t& firstOffset);
  // Reads the IFD at `offset` into `list`; returns the next-IFD offset (0 for none).
  uint32_t ReadIFD(TReadState& st, int64_t offset, TRVTIFFEntryList& list, int32_t depth);
  bool ReadEntry(TReadState& st, const uint8_t* raw, TRVTIFFEntry& e, int32_t depth);
  void ReadBlocks(TReadState& st, TRVTIFFEntryList& list);
  int64_t WriteIFD(TStream& stream, TRVTIFFEntryList& list);
  void WriteEntryData(TStream& stream, TRVTIFFEntryList& list, TRVTIFFEntry& e, uint8_t out[12]);
  void CopyEntry(const TRVTIFFEntryList& srcList, int32_t entryIndex, TRVTIFFEntryList& destList,
                 const TRVTIFFHandler& source);
  uint16_t Get16(const uint8_t* p) const;
  uint32_t Get32(const uint8_t* p) const;
  void Put16(uint8_t* p, uint16_t v) const;
  void Put32(uint8_t* p, uint32_t v) const;

  bool bigEndian_ = false;
  uint16_t magic_ = 42;
  std::vector<TRVTIFFEntryList> pages_;
};

}  // namespace rv
