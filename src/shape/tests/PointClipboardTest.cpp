#include "shape/PointClipboard.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <limits>
#include <map>

#include "shape/model/uScSelect.h"
#include "shape/tests/ShapeIoTestUtil.h"

using namespace shape;
using shape_test::NewShape;

namespace {

// A clipboard in memory.
class MemoryClipboard : public platform::IClipboard {
 public:
  std::map<platform::TClipboardFormat, std::vector<uint8_t>> data;
  std::map<std::string, platform::TClipboardFormat> formats;
  platform::TClipboardFormat RegisterFormat(const std::string& name) override {
    auto it = formats.find(name);
    if (it != formats.end()) return it->second;
    return formats[name] = 0xC000 + static_cast<platform::TClipboardFormat>(formats.size());
  }
  bool HasFormat(platform::TClipboardFormat format) override { return data.count(format) > 0; }
  void PutBytes(platform::TClipboardFormat format, const std::vector<uint8_t>& bytes) override {
    data.clear();
    data[format] = bytes;
  }
  bool GetBytes(platform::TClipboardFormat format, std::vector<uint8_t>& bytes) override {
    bytes.clear();
    if (!HasFormat(format)) return false;
    bytes = data[format];
    return true;
  }
  std::vector<uint8_t>& Block() { return data[formats.at(kPointClipboardFormatName)]; }
};

struct ClipboardFixture {
  MemoryClipboard clipboard;
  ClipboardFixture() { RegisterPointClipboardFormat(&clipboard); }
  ~ClipboardFixture() { RegisterPointClipboardFormat(nullptr); }
};

void Select(TCS& cs, std::initializer_list<std::pair<int, int>> points) {
  FillPointFlags(cs.SP, kGridMax, kGridMax, false);
  for (auto [i, j] : points) cs.SP[i][j] = true;
  CountSelectedPoints(cs);
}

// Block of w x h points (i * 0.01, j * 0.01, 0.5) with optional holes.
TBitmapClip Block(int w, int h) {
  TBitmapClip b;
  b.Width = w;
  b.Height = h;
  for (int r = 0; r < h; ++r)
    for (int c = 0; c < w; ++c) b.Points.push_back({c * 0.01, r * 0.01, 0.5});
  return b;
}

std::vector<uint8_t> Header(int32_t w, int32_t h) {
  std::vector<uint8_t> b(8);
  std::memcpy(b.data(), &w, 4);
  std::memcpy(b.data() + 4, &h, 4);
  return b;
}

}  // namespace

TEST(PointClipboard, SelectionBoxLeavesOutSeamDuplicates) {
  struct Case {
    TScType type;
    std::vector<std::pair<int, int>> selected;
    int32_t box[4];  // first and last column, first and last row
  };
  const Case cases[] = {
      {SCTYPE_CYLINDER, {}, {9, -1, 5, -1}},
      {SCTYPE_CYLINDER, {{0, 2}}, {0, 0, 2, 2}},  // column 8 is selected too by the seam
      {SCTYPE_PLANE, {{8, 4}, {3, 1}}, {3, 8, 1, 4}},
      {SCTYPE_TORUS, {{2, 0}}, {2, 2, 0, 0}},  // row 4 is selected too by the seam
      {SCTYPE_SPHERE, {{3, 0}}, {0, 7, 0, 0}},  // the whole pole row
  };
  for (const Case& c : cases) {
    auto cs = NewShape(c.type, 9, 5);
    FillPointFlags(cs->SP, kGridMax, kGridMax, false);
    for (auto [i, j] : c.selected) cs->SP[i][j] = true;
    JoinSeamFlagsOr(*cs, cs->SP);
    int32_t box[4];
    SelectionBox(*cs, box[0], box[1], box[2], box[3]);
    EXPECT_EQ(std::vector<int32_t>(box, box + 4), std::vector<int32_t>(c.box, c.box + 4)) << c.type;
  }
}

TEST(PointClipboard, CopyWritesTheExactLittleEndianLayout) {
  ClipboardFixture f;
  auto cs = NewShape(SCTYPE_PLANE, 9, 9);
  cs->CP[2][5] = {0.125, -0.5, 1.0};
  Select(*cs, {{2, 4}, {3, 4}, {4, 4}, {2, 5}, {3, 5}, {4, 5}});
  CopyPointsToClipboard(*cs);
  ASSERT_TRUE(CanPastePoints());
  const std::vector<uint8_t>& b = f.clipboard.Block();
  ASSERT_EQ(b.size(), 152u);
  EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 8), (std::vector<uint8_t>{3, 0, 0, 0, 2, 0, 0, 0}));
  // Block row 1, column 0 is element 3: point (2, 5), each double little-endian.
  uint64_t bits = 0;
  for (int k = 7; k >= 0; --k) bits = bits << 8 | b[8 + 3 * 24 + 8 + k];
  EXPECT_EQ(std::bit_cast<double>(bits), -0.5);
  // Nothing selected: the clipboard keeps what it has.
  Select(*cs, {});
  f.clipboard.Block() = {1, 2, 3};
  CopyPointsToClipboard(*cs);
  EXPECT_EQ(f.clipboard.Block(), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(PointClipboard, LShapedCopyKeepsItsHoleThroughAPaste) {
  ClipboardFixture f;
  auto source = NewShape(SCTYPE_PLANE, 9, 9);
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) source->CP[i][j] = {i * 0.1, j * 0.1, 0.25};
  Select(*source, {{1, 1}, {2, 1}, {1, 2}});  // (2, 2) is the hole
  const TBitmapClip block = CopySelectionBlock(*source);
  ASSERT_EQ(block.Width, 2);
  ASSERT_EQ(block.Height, 2);
  EXPECT_EQ(block.Points[3][0], -100.0);
  EXPECT_EQ(block.Points[3][1], 0.0);
  CopyPointsToClipboard(*source);

  auto target = NewShape(SCTYPE_PLANE, 9, 9);
  const TDbl3D kept = target->CP[6][6];
  Select(*target, {{5, 5}, {6, 6}});
  PastePointsFromClipboard(*target);
  EXPECT_EQ(target->CP[5][5][0], 0.1);
  EXPECT_EQ(target->CP[6][5][0], 0.2);
  EXPECT_EQ(target->CP[5][6][1], 0.2);
  EXPECT_EQ(std::memcmp(&target->CP[6][6], &kept, sizeof kept), 0);
  EXPECT_FALSE(target->SP[6][6]);
  EXPECT_EQ(target->Count, 3);
}

TEST(PointClipboard, ColumnsWrapAcrossTheSeamExceptOnAPlane) {
  struct Case {
    TScType type;
    std::vector<int> written;  // target columns, in block order
  };
  const Case cases[] = {{SCTYPE_CYLINDER, {30, 31, 0, 1}}, {SCTYPE_PLANE, {30, 31, 32}}};
  for (const Case& c : cases) {
    auto cs = NewShape(c.type, 33, 33);
    Select(*cs, {{30, 10}});
    PastePointBlock(*cs, Block(4, 1));
    for (size_t n = 0; n < c.written.size(); ++n) {
      EXPECT_EQ(cs->CP[c.written[n]][10][0], n * 0.01) << c.type << " " << n;
      EXPECT_EQ(cs->CP[c.written[n]][10][2], 0.5);
      EXPECT_TRUE(cs->SP[c.written[n]][10]);
    }
    // The seam copy mirrors column 0 into column 32 on the cylinder.
    if (c.type == SCTYPE_CYLINDER) {
      EXPECT_EQ(cs->CP[32][10][0], cs->CP[0][10][0]);
      EXPECT_EQ(cs->Count, 4);
    } else {
      EXPECT_EQ(cs->Count, 3);
    }
  }
}

TEST(PointClipboard, RowsWrapOnlyOnATorusAndTheBlockMeetsTheLastRow) {
  // On a cylinder the block's last row meets the selection's last row; rows above the grid drop.
  auto cyl = NewShape(SCTYPE_CYLINDER, 9, 9);
  Select(*cyl, {{2, 1}, {2, 3}});
  PastePointBlock(*cyl, Block(1, 5));
  EXPECT_EQ(cyl->CP[2][3][1], 0.04);
  EXPECT_EQ(cyl->CP[2][0][1], 0.01);
  EXPECT_EQ(cyl->Count, 4);
  // On a torus a selection starting at row 0 takes the block from row 0; row 8 is row 0.
  auto torus = NewShape(SCTYPE_TORUS, 9, 9);
  Select(*torus, {{2, 0}});
  PastePointBlock(*torus, Block(1, 3));
  EXPECT_EQ(torus->CP[2][0][1], 0.0);
  EXPECT_EQ(torus->CP[2][2][1], 0.02);
  // Starting elsewhere, rows above wrap round to the last rows.
  auto torus2 = NewShape(SCTYPE_TORUS, 9, 9);
  Select(*torus2, {{2, 1}});
  PastePointBlock(*torus2, Block(1, 3));
  EXPECT_EQ(torus2->CP[2][7][1], 0.0);  // row -1
  EXPECT_EQ(torus2->CP[2][0][1], 0.01);
  EXPECT_EQ(torus2->CP[2][1][1], 0.02);
  EXPECT_EQ(torus2->Count, 3);
}

TEST(PointClipboard, LockedTargetsStayAndOnlyPastedPointsAreSelected) {
  auto cs = NewShape(SCTYPE_PLANE, 9, 9);
  cs->RP[3][8] = true;
  const TDbl3D locked = cs->CP[3][8];
  Select(*cs, {{3, 3}, {4, 4}, {8, 8}});  // box 3..8 x 3..8: the block lands on rows 7 and 8
  TBitmapClip block = Block(2, 2);
  block.Points[1][0] = 0.9;  // block (1, 0) lands on (4, 7)
  block.Points[3][0] = 2.0;  // on (4, 8), clamped into the cube
  PastePointBlock(*cs, block);
  EXPECT_EQ(std::memcmp(&cs->CP[3][8], &locked, sizeof locked), 0);
  EXPECT_FALSE(cs->SP[3][8]);
  EXPECT_FALSE(cs->SP[3][3] || cs->SP[4][4] || cs->SP[8][8]);
  EXPECT_TRUE(cs->SP[3][7] && cs->SP[4][7] && cs->SP[4][8]);
  EXPECT_EQ(cs->Count, 3);
  EXPECT_EQ(cs->CP[4][7][0], 0.9);
  EXPECT_EQ(cs->CP[4][8][0], 1.0);
  // Nothing selected: nothing changes.
  Select(*cs, {});
  const auto before = std::make_unique<TCS>(*cs);
  PastePointBlock(*cs, Block(2, 2));
  EXPECT_EQ(std::memcmp(cs.get(), before.get(), sizeof(TCS)), 0);
}

TEST(PointClipboard, DamagedBlocksPasteNothing) {
  ClipboardFixture f;
  const std::vector<uint8_t> good = EncodePointBlock(Block(3, 2));
  TBitmapClip decoded;
  ASSERT_TRUE(DecodePointBlock(good, decoded));
  EXPECT_EQ(decoded.Width, 3);
  EXPECT_EQ(decoded.Points[4][1], 0.01);
  std::vector<uint8_t> longer = good;
  longer.push_back(7);
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    bool ok;
  };
  std::vector<uint8_t> huge = Header(0x7FFFFFFF, 0x7FFFFFFF);
  huge.resize(4096);
  std::vector<uint8_t> overflow = Header(65536, 65536);  // w * h wraps to 0 in 32 bits
  const Case cases[] = {
      {"empty", {}, false},
      {"short header", {3, 0, 0, 0, 2, 0}, false},
      {"one byte short", std::vector<uint8_t>(good.begin(), good.end() - 1), false},
      {"header only", Header(3, 2), false},
      {"negative width", Header(-3, 2), false},
      {"zero height", Header(3, 0), false},
      {"258 columns", Header(258, 1), false},
      {"huge sizes", huge, false},
      {"w x h overflowing", overflow, false},
      {"longer than needed", longer, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodePointBlock(c.bytes, decoded), c.ok) << c.name;
    if (!c.ok) {
      EXPECT_EQ(decoded.Width, 0) << c.name;
      EXPECT_TRUE(decoded.Points.empty()) << c.name;
    }
    // Through the clipboard: a damaged block pastes nothing (the selection is cleared, as for
    // an empty block), and no point moves.
    auto cs = NewShape(SCTYPE_PLANE, 9, 9);
    const auto before = std::make_unique<TCS>(*cs);
    Select(*cs, {{1, 1}, {2, 2}});
    f.clipboard.PutBytes(f.clipboard.formats.at(kPointClipboardFormatName), c.bytes);
    TBitmapClip read;
    EXPECT_EQ(ReadPointsFromClipboard(read), c.ok) << c.name;
    EXPECT_EQ(read.Width == 0, !c.ok) << c.name;
    PastePointsFromClipboard(*cs);
    if (c.ok) {
      EXPECT_EQ(cs->Count, 6) << c.name;
    } else {
      EXPECT_EQ(std::memcmp(cs->CP, before->CP, sizeof cs->CP), 0) << c.name;
      EXPECT_EQ(cs->Count, 0) << c.name;
    }
  }
}

TEST(PointClipboard, PointsThatAreNoNumbersArePastedIntoTheCube) {
  // Another writer of the format can send any doubles; the pasted points still lie in the cube.
  auto cs = NewShape(SCTYPE_PLANE, 9, 9);
  Select(*cs, {{2, 2}});
  TBitmapClip block = Block(3, 1);
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  block.Points = {{nan, nan, nan}, {inf, -inf, 0.25}, {1e300, -1e300, nan}};
  TBitmapClip decoded;
  ASSERT_TRUE(DecodePointBlock(EncodePointBlock(block), decoded));
  PastePointBlock(*cs, decoded);
  for (int i = 2; i <= 4; ++i)
    for (int k = 0; k < 3; ++k) {
      EXPECT_GE(cs->CP[i][2][k], -0.9921875) << i << " " << k;
      EXPECT_LE(cs->CP[i][2][k], 1.0) << i << " " << k;
    }
  EXPECT_EQ(cs->CP[3][2][0], 1.0);
  EXPECT_EQ(cs->CP[3][2][2], 0.25);
  EXPECT_EQ(cs->Count, 3);
}

TEST(PointClipboard, WithoutAClipboardNothingHappens) {
  RegisterPointClipboardFormat(nullptr);
  auto cs = NewShape(SCTYPE_PLANE, 9, 9);
  Select(*cs, {{1, 1}});
  CopyPointsToClipboard(*cs);
  EXPECT_FALSE(CanPastePoints());
}
