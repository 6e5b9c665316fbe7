// Deflate blocks inflated in one call give what the row-by-row reader gives: the same pixels on
// valid data, and the same outcome on streams that are cut, damaged, checksummed wrongly or
// longer than the block's rows.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "TiffTestTools.h"
#include "rastova/codecs/tiff/tiffdefs.h"

namespace rv::test {
namespace {

std::vector<uint8_t> Zlib(const std::vector<uint8_t>& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> out(size);
  EXPECT_EQ(compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 6), Z_OK);
  out.resize(size);
  return out;
}

struct Outcome {
  bool ok;
  std::vector<uint8_t> pixels;
};

Outcome ReadBoth(const std::vector<uint8_t>& file, bool whole) {
  testing::TIFFInflateWhole = whole;
  auto r = ReadTiff(file);
  testing::TIFFInflateWhole = true;
  Outcome o{r->ok, {}};
  for (int32_t y = 0; y < r->bitmap.GetHeight(); ++y) {
    const uint8_t* p = r->bitmap.GetScanLine(y);
    o.pixels.insert(o.pixels.end(), p, p + (r->bitmap.GetWidth() * r->bitmap.GetBitCount() + 7) / 8);
  }
  return o;
}

TEST_F(TiffTest, WholeBlockInflateAgreesWithTheRowReader) {
  const int width = 37, height = 23;
  std::vector<uint8_t> raw(size_t(width) * height);
  for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(i * 7 + i / 37);
  const std::vector<uint8_t> good = Zlib(raw);
  std::vector<uint8_t> longer = raw;
  longer.insert(longer.end(), 500, 9);  // the stream holds more than the page's rows
  struct Case {
    std::string name;
    std::vector<uint8_t> strip;
  };
  std::vector<Case> cases{{"valid", good}, {"longer than its rows", Zlib(longer)}};
  for (size_t cut : {good.size() - 1, good.size() - 4, good.size() / 2, size_t(3)})
    cases.push_back({"cut to " + std::to_string(cut), std::vector<uint8_t>(good.begin(), good.begin() + cut)});
  for (size_t at : {size_t(1), good.size() / 3, good.size() - 2}) {
    std::vector<uint8_t> bad = good;
    bad[at] ^= 0x5A;
    cases.push_back({"byte " + std::to_string(at) + " changed", bad});
  }
  for (const Case& c : cases) {
    for (uint16_t compression : {uint16_t(8), uint16_t(32946)}) {
      const std::vector<uint8_t> file = TiffBuilder::Page(width, height, 8, c.strip, compression);
      const Outcome whole = ReadBoth(file, true), rows = ReadBoth(file, false);
      EXPECT_EQ(whole.ok, rows.ok) << c.name;
      EXPECT_EQ(whole.pixels, rows.pixels) << c.name;
      if (c.name == "valid") {  // the grey page comes out as 24-bit grey
        EXPECT_TRUE(whole.ok);
        std::vector<uint8_t> green;
        for (size_t i = 1; i < whole.pixels.size(); i += 3) green.push_back(whole.pixels[i]);
        EXPECT_EQ(green, raw);
      }
    }
  }
}

}  // namespace
}  // namespace rv::test
