#pragma once
// Two metadata containers of the per-image parameters:
// - TRVMarkerList: the JPEG application and comment markers read from a file and written back
//   when the image is saved as JPEG (the IPTC data as APP13, the EXIF block as APP1);
// - TRVIPTCInfoList: the IPTC-IIM records of an image (record, dataset, data), read from a JPEG
//   APP13 marker, a TIFF IPTC tag or a Photoshop resource and encoded back into those forms.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/Exception.h"

namespace rv {

class TMemoryStream;

// An index outside a list.
class EListError : public common::Exception {
 public:
  using Exception::Exception;
};

class TRVMarkerList {
 public:
  TRVMarkerList();
  ~TRVMarkerList();
  TRVMarkerList(const TRVMarkerList&) = delete;
  TRVMarkerList& operator=(const TRVMarkerList&) = delete;

  int32_t Count() const { return static_cast<int32_t>(types_.size()); }
  // Stores the first (length AND 0xFFFF) bytes: a marker holds at most 65,535 bytes.
  void AddMarker(uint8_t markerType, const void* data, int32_t length);
  void SetMarker(int32_t index, uint8_t markerType, const void* data, int32_t length);
  void DeleteMarker(int32_t index);
  void Clear();
  // Index of the first marker of that type, -1 when there is none.
  int32_t IndexOf(uint8_t markerType) const;
  uint8_t GetMarkerType(int32_t index) const;
  int32_t GetMarkerLength(int32_t index) const;
  // nullptr for an empty marker.
  const uint8_t* GetMarkerData(int32_t index) const;
  // The marker's own stream, positioned at 0.
  TMemoryStream& GetMarkerStream(int32_t index);
  void Assign(const TRVMarkerList* source);
  // Ascending type; ICC profile chunks in sequence order; the EXIF block first among the APP1s.
  void SortMarkers();

 private:
  void Check(int32_t index) const;
  std::vector<std::unique_ptr<TMemoryStream>> data_;
  std::vector<uint8_t> types_;
};

// The payload is an EXIF block: it begins with "Exif" and a zero byte, and holds at least the
// 6-byte header.
bool IsEXIFMarker(const uint8_t* data, int32_t length);
// The payload begins with the zero-terminated "ICC_PROFILE".
bool IsICCProfileMarker(const uint8_t* data, int32_t length);

class TRVIPTCInfoList {
 public:
  TRVIPTCInfoList() = default;
  TRVIPTCInfoList(const TRVIPTCInfoList&) = delete;
  TRVIPTCInfoList& operator=(const TRVIPTCInfoList&) = delete;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  int32_t AddItem(int32_t recordNumber, int32_t dataSet, const void* data, int32_t length);
  int32_t GetRecordNumber(int32_t index) const;
  void SetRecordNumber(int32_t index, int32_t value);
  int32_t GetDataSet(int32_t index) const;
  void SetDataSet(int32_t index, int32_t value);
  int32_t GetLength(int32_t index) const;
  const uint8_t* GetData(int32_t index) const;
  // The record's bytes as Windows-1252 text, returned as UTF-8; empty outside the list.
  std::string GetStrings(int32_t index) const;
  // UTF-8 text stored as Windows-1252 bytes.
  void SetStrings(int32_t index, const std::string& value);
  void Clear();
  void Assign(const TRVIPTCInfoList* source);
  // The encoded records behind the Photoshop resource header or the record-version header;
  // empty when the list is.
  std::vector<uint8_t> SaveToBuffer(bool photoshopHeader) const;
  // True when at least one record was read.
  bool LoadFromBuffer(const uint8_t* buffer, int32_t length);
  bool Changed = false;

 private:
  struct Item {
    int32_t record = 0, dataSet = 0;
    std::vector<uint8_t> data;
  };
  void Check(int32_t index) const;
  std::vector<Item> items_;
};

}  // namespace rv
