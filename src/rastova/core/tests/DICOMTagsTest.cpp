// The DICOM tag list: what a record keeps of its arguments, and copies that own their data.
#include <gtest/gtest.h>

#include <cstring>

#include "rastova/core/RVDICOMTags.h"

namespace rv {
namespace {

std::unique_ptr<uint8_t[]> Block(const char* text) {
  const size_t n = std::strlen(text);
  auto b = std::make_unique<uint8_t[]>(n + 1);
  std::memcpy(b.get(), text, n + 1);
  return b;
}

TEST(DICOMTags, RecordsKeepWhatTheyAreGiven) {
  struct Case {
    const char* vr;
    int32_t length;
    const char* data;  // nullptr: none
    const char* keptVR;
    int32_t keptLength;
    bool hasData;
  } cases[] = {
      {"US", 2, "ab", "US", 2, true},
      {"U", 2, "ab", "\0\0", 2, true},     // one character: no representation
      {"USX", 2, "ab", "\0\0", 2, true},   // three characters: none either
      {"", 0, nullptr, "\0\0", 0, false},
      {"SQ", -1, "xy", "SQ", 0, false},    // a negative length: no data, length 0
  };
  TRVDICOMTags tags;
  for (const Case& c : cases) {
    const int32_t i = tags.AddTag(0x0028, 0x0010, c.length, c.data ? Block(c.data) : nullptr, c.vr);
    const TRVDICOMTags::TTag& t = tags.Tag(i);
    EXPECT_EQ(t.Group, 0x0028);
    EXPECT_EQ(t.Element, 0x0010);
    EXPECT_EQ(std::memcmp(t.VR, c.keptVR, 2), 0) << c.vr;
    EXPECT_EQ(t.DataLength, c.keptLength) << c.vr;
    EXPECT_EQ(t.Data != nullptr, c.hasData) << c.vr;
  }
  EXPECT_EQ(tags.Count(), 5);
}

TEST(DICOMTags, AssignedCopiesOwnTheirData) {
  TRVDICOMTags source;
  source.AddTag(0x0010, 0x0010, 3, Block("Doe"), "PN");
  source.AddTag(0x0010, 0x0020, 0, Block("zz"), "LO");  // length 0 with a block
  TRVDICOMTags copy;
  copy.AddTag(1, 2, 0, nullptr, "XX");
  copy.Assign(source);
  ASSERT_EQ(copy.Count(), 2);
  source.Clear();
  EXPECT_EQ(source.Count(), 0);
  const TRVDICOMTags::TTag& name = copy.Tag(0);
  ASSERT_NE(name.Data, nullptr);
  EXPECT_STREQ(reinterpret_cast<const char*>(name.Data.get()), "Doe");  // with its closing zero
  EXPECT_EQ(std::memcmp(name.VR, "PN", 2), 0);
  EXPECT_EQ(copy.Tag(1).Data, nullptr);
  EXPECT_EQ(copy.Tag(1).DataLength, 0);
  EXPECT_EQ(copy.Tag(1).Element, 0x0020);
}

}  // namespace
}  // namespace rv
