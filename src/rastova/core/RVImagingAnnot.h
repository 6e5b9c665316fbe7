#pragma once
// Wang annotations: the marks (lines, rectangles, text notes, stamped images) that document-imaging
// programs keep in a private block of a TIFF tag. TRVImagingAnnot turns such a block into a list
// of TRVImagingObject marks and builds the block back from the list; the TIFF reader and writer
// (codecs/tiffmeta.cpp) carry them from file to file through the I/O parameters. Nothing draws
// them.
//
// Block layout (32-bit little-endian integers): a header (reserved, integer-format flag), then
// records of type, size and body: type 2 a default named block, type 5 a 164-byte mark attribute
// block that opens a mark, type 6 a named block of the mark opened last. A named block is an
// 8-byte name, a data size (followed by 4 skipped bytes when the format flag is 0) and the data.
// Every record, named block, point list and text is checked against the block's size; a mark
// whose data run past the block is dropped.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rv {

class TRVBitmap;

// The attribute block of a mark, carried unchanged apart from the font height of text marks.
constexpr size_t kWangAttributeSize = 164;
// Offset of the font description's height (signed 32-bit) inside the attribute block.
constexpr size_t kWangFontHeightOffset = 48;

class TRVImagingObject {
 public:
  struct TPoint {
    int32_t x = 0, y = 0;
  };
  TRVImagingObject();
  ~TRVImagingObject();
  TRVImagingObject(const TRVImagingObject&) = delete;
  TRVImagingObject& operator=(const TRVImagingObject&) = delete;

  uint8_t Attributes[kWangAttributeSize] = {};
  std::vector<TPoint> Points;
  // The mark's text without its terminating zero; HasText tells whether it has one at all.
  std::string Text;
  bool HasText = false;
  std::unique_ptr<TRVBitmap> Image;

  // The mark type of the attribute block (1 image, 3 and 4 point lists, 7 to 10 text).
  int32_t MarkType() const;
  void SetMarkType(int32_t type);
  int32_t FontHeight() const;
  void SetFontHeight(int32_t height);
};

class TRVImagingAnnot {
 public:
  TRVImagingAnnot();
  ~TRVImagingAnnot();
  TRVImagingAnnot(const TRVImagingAnnot&) = delete;
  TRVImagingAnnot& operator=(const TRVImagingAnnot&) = delete;

  // The parameters that created the list (not owned; nullptr until they set it).
  void* Owner = nullptr;
  bool Modified = false;

  void Clear();
  int32_t Count() const { return static_cast<int32_t>(objects_.size()); }
  TRVImagingObject& GetObject(int32_t index) { return *objects_.at(static_cast<size_t>(index)); }
  // Appends a new empty mark and returns it.
  TRVImagingObject& AddObject();
  void Assign(const TRVImagingAnnot& source);
  // Appends the marks of a block; nothing for an empty block. Clears the modified flag.
  void LoadFromWangData(const uint8_t* data, size_t size);
  // The block of all marks; empty when the list is empty.
  std::vector<uint8_t> SaveToWangData() const;

 private:
  std::vector<std::unique_ptr<TRVImagingObject>> objects_;
};

}  // namespace rv
