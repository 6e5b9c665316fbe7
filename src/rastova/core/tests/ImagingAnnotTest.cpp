// Wang annotations: marks saved and loaded again, blocks of other programs (format flag 0), and
// blocks cut or inflated anywhere.
#include <gtest/gtest.h>

#include <cstring>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVImagingAnnot.h"

namespace rv {
namespace {

void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// A named block record as another program writes it (format flag 0: 4 extra bytes).
void NamedBlock(std::vector<uint8_t>& b, uint32_t record, const char* name, const std::vector<uint8_t>& data,
                bool extra) {
  Put32(b, record);
  Put32(b, 12);
  uint8_t n[8] = {};
  std::memcpy(n, name, std::strlen(name));
  b.insert(b.end(), n, n + 8);
  Put32(b, static_cast<uint32_t>(data.size()));
  if (extra) Put32(b, 0xDEADBEEF);
  b.insert(b.end(), data.begin(), data.end());
}

void Attributes(std::vector<uint8_t>& b, uint32_t type) {
  Put32(b, 5);
  Put32(b, 164);
  std::vector<uint8_t> a(164, 0);
  a[0] = uint8_t(type);
  a[100] = 0x77;  // a byte carried unchanged
  b.insert(b.end(), a.begin(), a.end());
}

// Three marks: a line with points, an image, a text whose font height is -20.
void ThreeMarks(TRVImagingAnnot& a) {
  TRVImagingObject& line = a.AddObject();
  line.SetMarkType(3);
  line.Attributes[60] = 0x42;
  line.Points = {{1, 2}, {30, -4}, {7, 8}};
  TRVImagingObject& image = a.AddObject();
  image.SetMarkType(1);
  image.Image = std::make_unique<TRVBitmap>();
  image.Image->Allocate(5, 3, rv24RGB);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      image.Image->SetPixels_rv24RGB(x, y, uint32_t(x * 40) << 16 | uint32_t(y * 80));
  TRVImagingObject& text = a.AddObject();
  text.SetMarkType(8);
  text.SetFontHeight(-20);
  text.Text = "Approved";
  text.HasText = true;
}

TEST(ImagingAnnot, MarksSavedAndLoadedComeBackInOrder) {
  TRVImagingAnnot a;
  ThreeMarks(a);
  const std::vector<uint8_t> data = a.SaveToWangData();
  ASSERT_FALSE(data.empty());
  TRVImagingAnnot b;
  b.Modified = true;
  b.LoadFromWangData(data.data(), data.size());
  EXPECT_FALSE(b.Modified);
  ASSERT_EQ(b.Count(), 3);
  EXPECT_EQ(b.GetObject(0).MarkType(), 3);
  EXPECT_EQ(b.GetObject(0).Attributes[60], 0x42);
  ASSERT_EQ(b.GetObject(0).Points.size(), 3u);
  EXPECT_EQ(b.GetObject(0).Points[1].x, 30);
  EXPECT_EQ(b.GetObject(0).Points[1].y, -4);
  ASSERT_TRUE(b.GetObject(1).Image);
  EXPECT_EQ(b.GetObject(1).Image->GetWidth(), 5);
  const TRGB corner = b.GetObject(1).Image->GetPixels(4, 2);
  EXPECT_EQ(corner.r, 160);
  EXPECT_EQ(corner.g, 0);
  EXPECT_EQ(corner.b, 160);
  EXPECT_EQ(b.GetObject(2).Text, "Approved");
  EXPECT_EQ(b.GetObject(2).FontHeight(), -15);
  // Assign copies every mark.
  TRVImagingAnnot c;
  c.Assign(b);
  ASSERT_EQ(c.Count(), 3);
  EXPECT_EQ(c.GetObject(0).Points.size(), 3u);
  EXPECT_NE(c.GetObject(1).Image.get(), b.GetObject(1).Image.get());
  EXPECT_EQ(c.GetObject(2).Text, "Approved");
  // Nothing to save, nothing to load.
  TRVImagingAnnot empty;
  EXPECT_TRUE(empty.SaveToWangData().empty());
  empty.LoadFromWangData(data.data(), 0);
  EXPECT_EQ(empty.Count(), 0);
}

TEST(ImagingAnnot, OtherProgramsBlocksWithFormatFlagZero) {
  std::vector<uint8_t> b;
  Put32(b, 0);
  Put32(b, 0);  // format flag 0: 4 more bytes after each size
  NamedBlock(b, 2, "OiGroup", {'x', 0}, true);
  Attributes(b, 4);
  std::vector<uint8_t> pts;
  Put32(pts, 2);
  Put32(pts, 2);
  for (uint32_t v : {10u, 20u, 30u, 40u}) Put32(pts, v);
  NamedBlock(b, 6, "OiAnoDat", pts, true);
  NamedBlock(b, 6, "OiUnknwn", {1, 2, 3}, true);
  Attributes(b, 0);  // no mark
  TRVImagingAnnot a;
  a.LoadFromWangData(b.data(), b.size());
  ASSERT_EQ(a.Count(), 1);
  EXPECT_EQ(a.GetObject(0).Attributes[100], 0x77);
  ASSERT_EQ(a.GetObject(0).Points.size(), 2u);
  EXPECT_EQ(a.GetObject(0).Points[1].y, 40);
  // Only the header and default blocks: no marks.
  std::vector<uint8_t> defaults;
  Put32(defaults, 0);
  Put32(defaults, 1);
  NamedBlock(defaults, 2, "OiIndex", {'1', 0}, false);
  TRVImagingAnnot d;
  d.LoadFromWangData(defaults.data(), defaults.size());
  EXPECT_EQ(d.Count(), 0);
}

// Cut or inflated blocks drop the mark they damage and keep the ones before it.
TEST(ImagingAnnot, DamagedBlocks) {
  TRVImagingAnnot three;
  ThreeMarks(three);
  const std::vector<uint8_t> good = three.SaveToWangData();
  std::vector<uint8_t> header;
  Put32(header, 0);
  Put32(header, 1);
  auto withMark = [&](uint32_t type, const char* name, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> b = header;
    Attributes(b, 1);  // an intact first mark (no image)
    Attributes(b, type);
    NamedBlock(b, 6, name, data, false);
    return b;
  };
  std::vector<uint8_t> hugePoints;
  Put32(hugePoints, 1u << 30);
  Put32(hugePoints, 1u << 30);
  std::vector<uint8_t> longText;
  for (uint32_t v : {0u, 1000u, 7500u, 0x7FFFFFFFu}) Put32(longText, v);
  longText.push_back('x');
  std::vector<uint8_t> sizePastEnd = withMark(8, "OiAnText", {});
  sizePastEnd[sizePastEnd.size() - 4] = 0xFF;  // the block's data size
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
    int32_t marks;
  } cases[] = {
      {"cut inside an attribute record", std::vector<uint8_t>(good.begin(), good.begin() + 120), 0},
      {"cut inside a named block", std::vector<uint8_t>(good.begin(), good.end() - 3), 2},
      {"point count 2^30", withMark(3, "OiAnoDat", hugePoints), 1},
      {"text length past the end", withMark(8, "OiAnText", longText), 1},
      {"named block size past the end", sizePastEnd, 1},
      {"header cut", {0, 0, 0}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TRVImagingAnnot a;
    a.LoadFromWangData(c.data.data(), c.data.size());
    EXPECT_EQ(a.Count(), c.marks);
  }
}

}  // namespace
}  // namespace rv
