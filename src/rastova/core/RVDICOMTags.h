#pragma once
// TRVDICOMTags: every data element that the DICOM reader (codecs/rvdicom.h) meets, in file order,
// so that the I/O parameters can offer a file's tags to the application after loading. A plain
// owned list; nothing here interprets the values.
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace rv {

class TRVDICOMTags {
 public:
  struct TTag {
    uint16_t Group = 0;
    uint16_t Element = 0;
    char VR[2] = {0, 0};              // zero bytes when none was given
    std::unique_ptr<uint8_t[]> Data;  // DataLength + 1 bytes (a zero after the value), or null
    int32_t DataLength = 0;           // the value's length, also when the data were not kept
  };

  TRVDICOMTags() = default;
  TRVDICOMTags(const TRVDICOMTags&) = delete;
  TRVDICOMTags& operator=(const TRVDICOMTags&) = delete;

  // Appends a record and returns its index. `vr` is kept only when it is exactly two characters.
  // With `dataLength` 0 or more the record takes `data` over as it is (the reader allocates it one
  // byte longer than the value); with a negative length the record has no data and length 0.
  int32_t AddTag(uint16_t group, uint16_t element, int32_t dataLength, std::unique_ptr<uint8_t[]> data,
                 std::string_view vr);
  void Clear() { tags_.clear(); }
  // Clear, then a copy of every record: group, element and VR, and a new block of length + 1
  // bytes when the length is above 0 (no block otherwise); a record without data keeps its length.
  void Assign(const TRVDICOMTags& source);

  int32_t Count() const { return static_cast<int32_t>(tags_.size()); }
  const TTag& Tag(int32_t index) const { return tags_.at(static_cast<size_t>(index)); }

 private:
  std::vector<TTag> tags_;
};

}  // namespace rv
