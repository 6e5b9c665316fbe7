#include "rastova/core/RVDICOMTags.h"

#include <cstring>

namespace rv {

int32_t TRVDICOMTags::AddTag(uint16_t group, uint16_t element, int32_t dataLength, std::unique_ptr<uint8_t[]> data,
                             std::string_view vr) {
  TTag tag;
  tag.Group = group;
  tag.Element = element;
  if (vr.size() == 2) {
    tag.VR[0] = vr[0];
    tag.VR[1] = vr[1];
  }
  if (dataLength >= 0) {
    tag.Data = std::move(data);
    tag.DataLength = dataLength;
  }
  tags_.push_back(std::move(tag));
  return static_cast<int32_t>(tags_.size()) - 1;
}

void TRVDICOMTags::Assign(const TRVDICOMTags& source) {
  if (&source == this) return;
  Clear();
  tags_.reserve(source.tags_.size());
  for (const TTag& s : source.tags_) {
    TTag& t = tags_.emplace_back();
    t.Group = s.Group;
    t.Element = s.Element;
    t.VR[0] = s.VR[0];
    t.VR[1] = s.VR[1];
    // A record without data keeps its length: the reader keeps the file's length of a value it
    // skipped.
    if (!s.Data) t.DataLength = s.DataLength;
    if (s.DataLength > 0 && s.Data) {
      t.Data = std::make_unique<uint8_t[]>(static_cast<size_t>(s.DataLength) + 1);
      std::memcpy(t.Data.get(), s.Data.get(), static_cast<size_t>(s.DataLength) + 1);
      t.DataLength = s.DataLength;
    }
  }
}

}  // namespace rv
