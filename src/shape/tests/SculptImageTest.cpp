#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "common/Round.h"
#include "platform/gfx/Bitmap.h"
#include "shape/PictureFiles.h"
#include "shape/SculptCodec.h"
#include "shape/SculptImage.h"
#include "shape/tests/PictureTestUtil.h"
#include "shape/tests/ShapeIoTestUtil.h"

using namespace shape;
using shape_test::NewShape;
using shape_test::ScratchDir;
using shape_test::SettingsGuard;

namespace {

// Brings every coordinate of the block onto the map's steps k / 128, k = -127 .. 128.
void SnapToSteps(TCS& cs) {
  for (int i = 0; i < cs.CPMaxI; ++i)
    for (int j = 0; j < cs.CPMaxJ; ++j)
      for (int k = 0; k < 3; ++k) {
        const int64_t s = std::clamp<int64_t>(common::Round(cs.CP[i][j][k] * 128), -127, 128);
        cs.CP[i][j][k] = static_cast<double>(s) / 128;
      }
}

// Stretches every axis of the block over the whole map range (as the box encoding stores it),
// on the map's steps; an axis without extent becomes 0.
void StretchToBox(TCS& cs, bool symmetric) {
  const int top = symmetric ? 254 : 255;
  for (int k = 0; k < 3; ++k) {
    double lo = 2, hi = -2;
    for (int i = 0; i < cs.CPMaxI; ++i)
      for (int j = 0; j < cs.CPMaxJ; ++j) {
        lo = std::min(lo, cs.CP[i][j][k]);
        hi = std::max(hi, cs.CP[i][j][k]);
      }
    for (int i = 0; i < cs.CPMaxI; ++i)
      for (int j = 0; j < cs.CPMaxJ; ++j) {
        double& c = cs.CP[i][j][k];
        c = lo == hi ? 0.0 : static_cast<double>(common::Round((c - lo) / (hi - lo) * top) - 127) / 128;
      }
  }
}

void ExpectSamePoints(const TCS& a, const TCS& b, const std::string& what) {
  ASSERT_EQ(a.CPMaxI, b.CPMaxI) << what;
  ASSERT_EQ(a.CPMaxJ, b.CPMaxJ) << what;
  EXPECT_EQ(a.ScType, b.ScType) << what;
  int bad = 0;
  for (int i = 0; i < a.CPMaxI; ++i)
    for (int j = 0; j < a.CPMaxJ; ++j)
      for (int k = 0; k < 3; ++k) bad += a.CP[i][j][k] != b.CP[i][j][k];
  EXPECT_EQ(bad, 0) << what;
}

bool IsDefaultSphere(const TCS& cs) {
  auto ref = NewShape(SCTYPE_SPHERE, 33, 33);
  if (cs.CPMaxI != 33 || cs.CPMaxJ != 33 || cs.ScType != SCTYPE_SPHERE) return false;
  for (int i = 0; i < 32; ++i)
    for (int j = 0; j < 33; ++j)
      for (int k = 0; k < 3; ++k)
        if (cs.CP[i][j][k] != ref->CP[i][j][k]) return false;
  return true;
}

std::vector<std::string> ReadLines(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  // Lines end in CR LF.
  while (std::getline(in, line)) {
    EXPECT_TRUE(!line.empty() && line.back() == '\r') << line;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

uint32_t PixelWord(const platform::TBitmap& b, int x, int y) {
  const uint8_t* p = b.ScanLine(y) + x * 4;
  return p[2] | (p[1] << 8) | (p[0] << 16);
}

const TScType kTypes[] = {SCTYPE_SPHERE, SCTYPE_TORUS, SCTYPE_PLANE, SCTYPE_CYLINDER};

}  // namespace

TEST(SculptImage, RoundTripIsExactOnTheMapStepsForEveryTypeSizeAndFormat) {
  SettingsGuard guard;
  ScratchDir dir;
  settings::AppSettings.AutoMaximize = false;
  settings::AppSettings.FileOverWrite = true;
  const int sizes[][2] = {{33, 33}, {65, 17}, {17, 65}, {129, 9}, {9, 129}, {257, 5}, {5, 257}};
  for (TScType type : kTypes)
    for (const auto& size : sizes)
      for (const char* ext : {".tga", ".png"}) {
        settings::AppSettings.TgaSize = size[0] == 33 ? 64 : 128;
        auto cs = NewShape(type, size[0], size[1]);
        SnapToSteps(*cs);
        std::string name = dir / (std::string("map") + ext);
        EXPECT_TRUE(WriteSculptMap(*cs, name));
        EXPECT_EQ(name, dir / (std::string("map") + ext));
        // A map that cannot be stored (one map or every part of a divided one) reports it.
        std::string nowhere = dir / (std::string("no-such-folder/map") + ext);
        EXPECT_FALSE(WriteSculptMap(*cs, nowhere));
        auto back = NewShape(SCTYPE_TORUS, 9, 9);
        const std::string what =
            std::to_string(type) + " " + std::to_string(size[0]) + "x" + std::to_string(size[1]) + ext;
        ASSERT_TRUE(ReadSculptImage(*back, name, -1)) << what;
        ExpectSamePoints(*cs, *back, what);
      }
}

TEST(SculptImage, BoxEncodedRoundTripOfAShapeSpanningTheBox) {
  SettingsGuard guard;
  ScratchDir dir;
  settings::AppSettings.AutoMaximize = true;
  for (bool symmetric : {false, true})
    for (TScType type : kTypes) {
      settings::AppSettings.MaximizeWithSymmetry = symmetric;
      auto cs = NewShape(type, 33, 33);
      StretchToBox(*cs, symmetric);
      std::string name = dir / "box.png";
      WriteSculptMap(*cs, name);
      auto back = NewShape(SCTYPE_PLANE, 9, 9);
      ASSERT_TRUE(ReadSculptImage(*back, name, -1));
      ExpectSamePoints(*cs, *back, std::to_string(type) + (symmetric ? " symmetric" : ""));
    }
}

TEST(SculptImage, SingleMapGeometryAndColours) {
  SettingsGuard guard;
  ScratchDir dir;
  settings::AppSettings.AutoMaximize = false;
  settings::AppSettings.TgaSize = 128;
  auto cs = NewShape(SCTYPE_PLANE, 33, 33);
  cs->CP[0][32] = {-0.9921875, 0, 1.0};  // top-left square, cut to 2 x 2 pixels
  cs->CP[5][0] = {0.5, -0.5, 0.25};      // bottom row
  std::string name = dir / "plane.tga";
  WriteSculptMap(*cs, name);
  platform::TBitmap b(0, 0, platform::pf32bit), a(0, 0, platform::pf8bit);
  ASSERT_TRUE(LoadPictureWithAlpha(name, b, a));
  ASSERT_EQ(b.Width(), 128);
  ASSERT_EQ(b.Height(), 128);
  EXPECT_EQ(PixelWord(b, 0, 0), 0xFF7F00u);  // red 0, green 127, blue 255
  EXPECT_EQ(PixelWord(b, 1, 1), 0xFF7F00u);
  EXPECT_NE(PixelWord(b, 2, 0), 0xFF7F00u);
  const uint32_t p = EncodePointColor({0.5, -0.5, 0.25});
  for (int x = 18; x <= 21; ++x) EXPECT_EQ(PixelWord(b, x, 127), p) << x;
  EXPECT_NE(PixelWord(b, 22, 127), p);
  EXPECT_EQ(PixelWord(b, 20, 126), p);
  EXPECT_EQ(a.PixelColor(64, 64), platform::clWhite);
  auto back = NewShape(SCTYPE_SPHERE, 33, 33);
  ASSERT_TRUE(ReadSculptImage(*back, name, -1));
  EXPECT_EQ(back->CP[0][32][0], -0.9921875);
  EXPECT_EQ(back->CP[0][32][2], 1.0);

  // Transparent maps have alpha 0 everywhere.
  settings::AppSettings.SculptTransparent = true;
  name = dir / "clear.png";
  WriteSculptMap(*cs, name);
  ASSERT_TRUE(LoadPictureWithAlpha(name, b, a));
  int opaque = 0;
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) opaque += a.ScanLine(y)[x] != 0;
  EXPECT_EQ(opaque, 0);
}

TEST(SculptImage, ReaderFallsBackToTheDefaultSphere) {
  SettingsGuard guard;
  ScratchDir dir;
  auto grey = [](int x, int y) { return static_cast<uint32_t>((x + y) & 0xFF) * 0x010101u; };
  struct Case {
    const char* name;
    int w, h;
  };
  for (const Case& c : {Case{"step1.png", 32, 32}, Case{"ratio.png", 64, 48}, Case{"wide.tga", 256, 4},
                        Case{"big.png", 1024, 1024}}) {
    ASSERT_TRUE(shape_test::WritePicture(dir / c.name, c.w, c.h, grey)) << c.name;
    auto cs = NewShape(SCTYPE_TORUS, 17, 9);
    EXPECT_FALSE(ReadSculptImage(*cs, dir / c.name, -1)) << c.name;
    EXPECT_TRUE(IsDefaultSphere(*cs)) << c.name;
  }
  // Unreadable and missing files.
  std::ofstream(dir / "junk.tga") << "this is no picture at all, only text";
  std::ofstream(dir / "cut.png") << "\x89PNG\r\n\x1a\n";
  for (const char* name : {"junk.tga", "cut.png", "missing.png", "noext"}) {
    auto cs = NewShape(SCTYPE_PLANE, 17, 9);
    cs->SP[3][3] = true;
    EXPECT_FALSE(ReadSculptImage(*cs, dir / name, -1)) << name;
    EXPECT_TRUE(IsDefaultSphere(*cs)) << name;
    EXPECT_TRUE(cs->SP[3][3]) << name;  // masks are left alone
  }
  // 512 x 8 gives 257 x 5 with step 2.
  ASSERT_TRUE(shape_test::WritePicture(dir / "strip.png", 512, 8, grey));
  auto cs = NewShape(SCTYPE_TORUS, 17, 9);
  ASSERT_TRUE(ReadSculptImage(*cs, dir / "strip.png", -1));
  EXPECT_EQ(cs->CPMaxI, 257);
  EXPECT_EQ(cs->CPMaxJ, 5);
  // Grid column 3 from picture column 6; grid row 4 from picture row 0, row 0 from row 7.
  EXPECT_EQ(cs->CP[3][4][0], (6 - 127) / 128.0);
  EXPECT_EQ(cs->CP[3][0][0], (13 - 127) / 128.0);
  EXPECT_EQ(cs->CP[256][2][0], ((511 + 3) % 256 - 127) / 128.0);  // last column: picture column 511
}

TEST(SculptImage, EarlierDecodingOnlyForTargaWithTheOldAuthor) {
  SettingsGuard guard;
  ScratchDir dir;
  // Pixel (r, g, b) = (10, 200, 128) everywhere.
  auto fill = [](int, int) { return 10u | (200u << 8) | (128u << 16); };
  struct Case {
    const char* name;
    const char* author;
    bool earlier;
  };
  for (const Case& c :
       {Case{"old.tga", "DURIM PROJECT", true}, Case{"new.tga", "DURIM PROJECT Ver.3.0", false},
        Case{"other.tga", "someone", false}, Case{"old.png", "DURIM PROJECT", false}}) {
    ASSERT_TRUE(shape_test::WritePicture(dir / c.name, 64, 64, fill, c.author)) << c.name;
    platform::TBitmap b(0, 0, platform::pf32bit);
    EXPECT_EQ(LoadSculptPicture(dir / c.name, b), c.earlier ? 1 : 0) << c.name;
    auto cs = NewShape(SCTYPE_SPHERE, 9, 9);
    ASSERT_TRUE(ReadSculptImage(*cs, dir / c.name, 2)) << c.name;
    EXPECT_EQ(cs->ScType, SCTYPE_PLANE) << c.name;  // forced
    const TDbl3D expected = c.earlier ? DecodePixel128(fill(0, 0)) : DecodePixel127(fill(0, 0));
    EXPECT_EQ(cs->CP[7][11][0], expected[0]) << c.name;
    EXPECT_EQ(cs->CP[7][11][1], expected[1]) << c.name;
    EXPECT_EQ(cs->CP[7][11][2], expected[2]) << c.name;
  }
  platform::TBitmap b(0, 0, platform::pf32bit);
  EXPECT_EQ(LoadSculptPicture(dir / "missing.tga", b), -1);
}

TEST(SculptImage, DividedMapPartsShareTheirBoundaryRows) {
  SettingsGuard guard;
  ScratchDir dir;
  settings::AppSettings.AutoMaximize = false;
  settings::AppSettings.TgaSize = 128;
  settings::AppSettings.DividedHorizontal = true;
  settings::AppSettings.OutputTextForKelpo = true;
  auto cs = NewShape(SCTYPE_SPHERE, 65, 65);
  SnapToSteps(*cs);
  std::string name = dir / "my.shape.tga";
  WriteSculptMap(*cs, name);
  EXPECT_EQ(name, dir / "my.shape.tga");  // unchanged for a divided map
  const std::vector<std::string> lines = ReadLines(dir / "my.shape.txt");
  ASSERT_EQ(lines.size(), 4u);
  const char* types[] = {"CYLINDER", "CYLINDER", "CYLINDER", "CYLINDER"};
  for (int n = 1; n <= 4; ++n) {
    const std::string part = dir / ("my.shape-0" + std::to_string(n) + ".tga");
    platform::TBitmap b(0, 0, platform::pf32bit), a(0, 0, platform::pf8bit);
    ASSERT_TRUE(LoadPictureWithAlpha(part, b, a)) << part;
    EXPECT_EQ(b.Width(), 256);
    EXPECT_EQ(b.Height(), 64);
    auto back = NewShape(SCTYPE_PLANE, 9, 9);
    ASSERT_TRUE(ReadSculptImage(*back, part, 3)) << part;
    ASSERT_EQ(back->CPMaxI, 65);
    ASSERT_EQ(back->CPMaxJ, 17);
    int bad = 0;
    for (int i = 0; i < 65; ++i)
      for (int j = 0; j < 17; ++j)
        for (int k = 0; k < 3; ++k) bad += back->CP[i][j][k] != cs->CP[i][16 * (n - 1) + j][k];
    EXPECT_EQ(bad, 0) << part;
    EXPECT_EQ(lines[n - 1], "my.shape-0" + std::to_string(n) +
                                ":<0.0,0.0,0.0>:<1.0,1.0,1.0>:<0.0,0.0,0.0>:" + types[n - 1]);
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "my.tga"));
  EXPECT_FALSE(std::filesystem::exists(dir / "my.txt"));

  // Parts side by side: 257 x 9 points in parts of 129 columns.
  settings::AppSettings.DividedHorizontal = false;
  settings::AppSettings.OutputTextForKelpo = false;
  auto wide = NewShape(SCTYPE_TORUS, 257, 9);
  SnapToSteps(*wide);
  name = dir / "wide.png";
  WriteSculptMap(*wide, name);
  EXPECT_FALSE(std::filesystem::exists(dir / "wide.txt"));
  for (int n = 1; n <= 2; ++n) {
    auto back = NewShape(SCTYPE_PLANE, 9, 9);
    ASSERT_TRUE(ReadSculptImage(*back, dir / ("wide-0" + std::to_string(n) + ".png"), -1));
    ASSERT_EQ(back->CPMaxI, 129);
    ASSERT_EQ(back->CPMaxJ, 9);
    EXPECT_EQ(back->ScType, SCTYPE_PLANE) << n;  // half a torus: its first and last columns differ
    EXPECT_EQ(back->CP[0][4][0], wide->CP[128 * (n - 1)][4][0]);
    EXPECT_EQ(back->CP[128][4][1], wide->CP[128 * n][4][1]);
  }
}

TEST(SculptImage, PartsBeyondTheGridRepeatItsLastLine) {
  SettingsGuard guard;
  ScratchDir dir;
  settings::AppSettings.AutoMaximize = false;
  settings::AppSettings.TgaSize = 64;
  settings::AppSettings.DividedHorizontal = true;
  settings::AppSettings.OutputTextForKelpo = false;
  // 60 rows in parts of 17: the fourth part starts at row 48 and has only 12 rows of the grid.
  auto cs = NewShape(SCTYPE_PLANE, 65, 60);
  SnapToSteps(*cs);
  for (int i = 0; i < 65; ++i) cs->CP[i][60] = {0.5, 0.5, 0.5};  // stale points beyond the grid
  std::string name = dir / "tall.tga";
  WriteSculptMap(*cs, name);
  auto back = NewShape(SCTYPE_PLANE, 9, 9);
  ASSERT_TRUE(ReadSculptImage(*back, dir / "tall-04.tga", -1));
  for (int j = 0; j < 17; ++j) EXPECT_EQ(back->CP[10][j][2], cs->CP[10][std::min(48 + j, 59)][2]) << j;
  EXPECT_FALSE(std::filesystem::exists(dir / "tall-05.tga"));

  // Parts that would run past index 256 (257 x 6, side by side: parts of 205 columns).
  settings::AppSettings.DividedHorizontal = false;
  auto wide = NewShape(SCTYPE_PLANE, 257, 6);
  SnapToSteps(*wide);
  name = dir / "w.png";
  WriteSculptMap(*wide, name);
  platform::TBitmap b(0, 0, platform::pf32bit), a(0, 0, platform::pf8bit);
  ASSERT_TRUE(LoadPictureWithAlpha(dir / "w-02.png", b, a));
  EXPECT_EQ(b.Width(), 204 * 2);
  // Image column of grid column 256 and beyond: the last column's colour.
  // Pixel row 5 shows grid row 2.
  EXPECT_EQ(PixelWord(b, (256 - 204) * 2, 5), EncodePointColor(wide->CP[256][2]));
  EXPECT_EQ(PixelWord(b, 400, 5), EncodePointColor(wide->CP[256][2]));
  EXPECT_EQ(PixelWord(b, 2, 5), EncodePointColor(wide->CP[205][2]));
}

TEST(SculptImage, AutoMaximizedBlocksAndTheirScaleText) {
  SettingsGuard guard;
  ScratchDir dir;
  settings::AppSettings.AutoMaximize = true;
  settings::AppSettings.MaximizeWithSymmetry = false;
  settings::AppSettings.TgaSize = 64;
  auto cs = NewShape(SCTYPE_PLANE, 33, 33);
  for (int i = 0; i < 33; ++i)
    for (int j = 0; j < 33; ++j) cs->CP[i][j][0] = 0.3;
  platform::TBitmap color(0, 0, platform::pf32bit), alpha(0, 0, platform::pf8bit);
  CreateSculptBitmaps(32, 32, 2, color, alpha);
  const std::string description = RenderSculptBlock(color, 2, 0, *cs, 33, 33, 0);
  for (int y = 0; y < 64; y += 7)
    for (int x = 0; x < 64; x += 5) ASSERT_EQ(PixelWord(color, x, y) & 0xFF, 127u);
  ASSERT_EQ(description.substr(0, 1), "<");
  const size_t second = description.find(":<");
  EXPECT_EQ(description.substr(second + 2, 11), "0.00000000,");
  EXPECT_NE(description.find(":<0.0,0.0,0.0>:" + StitchTypeName(cs->CP, 0, 0, 33, 33)), std::string::npos);
}

// Every pixel of a painted block against the squares it is made of: the square of point (i, y)
// covers x from i * cell - cell / 2 to i * cell + cell / 2 - 1 (and rows likewise); pixels no
// square covers (between the squares of an odd cell) keep what the image held.
TEST(SculptImage, PaintedBlocksAreTheirSquares) {
  SettingsGuard guard;
  settings::AppSettings.AutoMaximize = false;
  auto cs = NewShape(SCTYPE_TORUS, 9, 7);
  for (const int cell : {2, 3, 4}) {
    for (const int extra : {0, 1}) {
      // A block of 6 x 4 points (clamped at the grid's edge) in an image that may be wider.
      const int columns = 6, rows = 4, firstColumn = 4, firstRow = 1;
      const int w = (columns - 1) * cell + extra * 5, h = (rows - 1) * cell + extra * 3;
      platform::TBitmap color(w, h, platform::pf32bit);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) std::memcpy(color.ScanLine(y) + 4 * x, "\x11\x22\x33\x44", 4);
      RenderSculptBlock(color, cell, firstColumn, *cs, rows, columns, firstRow);
      const int half = cell / 2;
      int bad = 0;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          uint32_t expected = 0x44332211u;
          for (int gy = 0; gy < rows; ++gy)
            for (int gx = 0; gx < columns; ++gx)
              if (x >= gx * cell - half && x < gx * cell + half && y >= gy * cell - half &&
                  y < gy * cell + half) {
                const uint32_t c = EncodePointColor(
                    cs->CP[std::min(firstColumn + gx, 8)][std::min(firstRow + rows - 1 - gy, 6)]);
                expected = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
              }
          uint32_t got;
          std::memcpy(&got, color.ScanLine(y) + 4 * x, 4);
          if (got != expected) ++bad;
        }
      EXPECT_EQ(bad, 0) << "cell " << cell << ", extra " << extra;
    }
  }
}

TEST(SculptImage, SavedNamesFollowTheOverwriteSetting) {
  SettingsGuard guard;
  ScratchDir dir;
  settings::AppSettings.FileOverWrite = false;
  auto cs = NewShape(SCTYPE_SPHERE, 33, 33);
  std::string name = dir / "my.shape.tga";
  WriteSculptMap(*cs, name);
  EXPECT_EQ(name, dir / "my.shape.tga");
  WriteSculptMap(*cs, name);
  EXPECT_EQ(name, dir / "my.shape_001.tga");
  EXPECT_EQ(RenameNotice, "File name was renamed to \"my.shape_001.tga\".");
  EXPECT_FALSE(std::filesystem::exists(dir / "my.tga"));
}

namespace {
// The picture of ForcedTypesRestoreTheSeams: every pixel differs from its neighbours.
uint32_t Distinct(int x, int y) {
  return static_cast<uint32_t>((x * 3) % 256) | (static_cast<uint32_t>((y * 4 + 1) % 256) << 8) |
         (static_cast<uint32_t>((x + 2 * y) % 256) << 16);
}
// The point read from pixel (x, y) of that picture: (v - 127) / 128 per channel.
TDbl3D DistinctPoint(int x, int y) {
  const uint32_t c = Distinct(x, y);
  return {((c & 0xFF) - 127.0) / 128, (((c >> 8) & 0xFF) - 127.0) / 128, (((c >> 16) & 0xFF) - 127.0) / 128};
}
bool Same(const TDbl3D& a, const TDbl3D& b) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; }
}  // namespace

// A forced stitch type is taken as it is, and the seams are then restored from the middle
// column: a 64 x 64 picture (33 x 33 points, step 2) whose first and last columns and rows differ
// everywhere. Grid column i comes from picture column 2 i (the last from 63), grid row j from
// picture row 63 - 2 j (row 32 from row 0), so the middle column 16 is picture column 32.
TEST(SculptImage, ForcedTypesRestoreTheSeamsFromTheMiddleColumn) {
  SettingsGuard guard;
  ScratchDir dir;
  ASSERT_TRUE(shape_test::WritePicture(dir / "distinct.png", 64, 64, Distinct));
  auto column = [](int i) { return i == 32 ? 63 : 2 * i; };
  auto row = [](int j) { return j == 0 ? 63 : j == 32 ? 0 : 63 - 2 * j; };
  for (const TScType type : kTypes) {
    SCOPED_TRACE(::testing::Message() << "forced type " << int{type});
    auto cs = NewShape(SCTYPE_PLANE, 9, 9);
    ASSERT_TRUE(ReadSculptImage(*cs, dir / "distinct.png", type));
    EXPECT_EQ(cs->ScType, type);
    ASSERT_EQ(cs->CPMaxI, 33);
    ASSERT_EQ(cs->CPMaxJ, 33);
    const bool sphere = type == SCTYPE_SPHERE, torus = type == SCTYPE_TORUS;
    const bool seam = type != SCTYPE_PLANE;
    int bad = 0;
    for (int i = 0; i < 33; ++i)
      for (int j = 0; j < 33; ++j) {
        // Where the point comes from: the seam column repeats column 0, the sphere's first and
        // last rows are the middle column's, the torus's last row repeats its first.
        int si = seam && i == 32 ? 0 : i;
        int sj = torus && j == 32 ? 0 : j;
        if (sphere && (j == 0 || j == 32)) si = 16;
        bad += !Same(cs->CP[i][j], DistinctPoint(column(si), row(sj)));
      }
    EXPECT_EQ(bad, 0);
  }
  // Detected, the same picture is a plane: its first and last columns differ.
  auto cs = NewShape(SCTYPE_SPHERE, 9, 9);
  ASSERT_TRUE(ReadSculptImage(*cs, dir / "distinct.png", -1));
  EXPECT_EQ(cs->ScType, SCTYPE_PLANE);
  EXPECT_TRUE(Same(cs->CP[32][5], DistinctPoint(63, 53)));
}

// BMP and JPEG maps, written by Pillow from a map this program saved: the BMP reads back exactly
// and is detected as the sphere it is; the JPEG's colours move by a few steps, and a forced
// sphere puts its seams and poles together again.
TEST(SculptImage, BmpAndJpegMapsWrittenByPillow) {
  ASSERT_TRUE(shape_test::HavePillow()) << "Pillow (python3-pil) is missing: run scripts/install-deps.sh";
  SettingsGuard guard;
  ScratchDir dir;
  settings::AppSettings.AutoMaximize = false;
  settings::AppSettings.TgaSize = 128;  // 4 pixels per cell: JPEG blocks stay inside the squares
  auto cs = NewShape(SCTYPE_SPHERE, 33, 33);
  SnapToSteps(*cs);
  std::string png = dir / "sphere.png";
  WriteSculptMap(*cs, png);
  const std::string bmp = dir / "sphere.bmp", jpg = dir / "sphere.jpg";
  std::string out;
  ASSERT_TRUE(shape_test::RunPython("from PIL import Image\nim = Image.open('" + png +
                                        "').convert('RGB')\n"
                                        "im.save('" +
                                        bmp + "')\nim.save('" + jpg + "', quality=100, subsampling=0)\n",
                                    &out))
      << out;

  auto fromBmp = NewShape(SCTYPE_PLANE, 9, 9);
  ASSERT_TRUE(ReadSculptImage(*fromBmp, bmp, -1));
  ExpectSamePoints(*cs, *fromBmp, "bmp");

  auto fromJpeg = NewShape(SCTYPE_PLANE, 9, 9);
  ASSERT_TRUE(ReadSculptImage(*fromJpeg, jpg, SCTYPE_SPHERE));
  ASSERT_EQ(fromJpeg->CPMaxI, 33);
  ASSERT_EQ(fromJpeg->CPMaxJ, 33);
  EXPECT_EQ(fromJpeg->ScType, SCTYPE_SPHERE);
  double worst = 0;
  for (int i = 0; i < 33; ++i)
    for (int j = 0; j < 33; ++j) {
      for (int k = 0; k < 3; ++k) worst = std::max(worst, std::fabs(fromJpeg->CP[i][j][k] - cs->CP[i][j][k]));
      EXPECT_TRUE(Same(fromJpeg->CP[i][0], fromJpeg->CP[16][0]));
      EXPECT_TRUE(Same(fromJpeg->CP[i][32], fromJpeg->CP[16][32]));
      EXPECT_TRUE(Same(fromJpeg->CP[32][j], fromJpeg->CP[0][j]));
    }
  EXPECT_LE(worst, 4 / 128.0);  // the current decoding: a swapped or inverted axis would be far off
  EXPECT_GT(worst, 0.0);        // JPEG did change the colours, so the seams above were restored
}
