// The preview's quantisation: the two step functions against float64 references
// (quantize_reference.py), and the choice of plain or per-part quantisation with the parts' boxes.
#include <gtest/gtest.h>

#include <cmath>

#include "settings/AppSettings.h"
#include "shape/preview/PreviewQuantizer.h"
#include "shape/tests/ShapeIoTestUtil.h"

using namespace shape;
using shape_test::NewShape;
using shape_test::SettingsGuard;

TEST(PreviewQuantize, QuantizeToBoxIncludingSinglePrecisionTies) {
  // From quantize_reference.py. The ties (1/510, 3/510, ... of the extent) are exact halves only in
  // single precision, and go to the even neighbour: a double product would round 1/510 up.
  const struct {
    double min, extent, value, expected;
  } cases[] = {
      {0.3, 0.0, 0.7, 0.3},
      {-1.0, 2.0, -1.0, -1.0},
      {-1.0, 2.0, 1.0, 1.0},
      {-1.0, 2.0, 0.0, 0.0039215686274509665},
      {0.0, 1.0, 0.00196078431372549, 0.0},
      {0.0, 1.0, 0.0058823529411764705, 0.00784313725490196},
      {0.0, 1.0, 0.00980392156862745, 0.00784313725490196},
      {0.0, 1.0, 0.9980392156862745, 0.996078431372549},
      {-0.75, 1.5, -0.7294117647058823, -0.7264705882352941},
      {-0.75, 1.5, 0.123456789, 0.12058823529411766},
      {0.2, 0.35, 0.55, 0.55},
      {-0.9921875, 1.9921875, 0.5, 0.5},
      {0.0, 1.0, 1.5, 1.4980392156862745},  // outside the box: not clamped
      {0.0, 1.0, -0.25, -0.25098039215686274},
  };
  for (const auto& c : cases)
    EXPECT_EQ(QuantizeToBox(c.min, c.extent, c.value), c.expected)
        << c.min << " " << c.extent << " " << c.value;
  // A damaged value is no undefined conversion (the sanitizer build checks); an empty box still
  // gives its minimum.
  (void)QuantizeToBox(0, 1, NAN);
  (void)QuantizeToBox(0, 1e-300, 1e300);
  (void)QuantizeToStep128(1e300);
  EXPECT_EQ(QuantizeToBox(0.25, 0, NAN), 0.25);
}

TEST(PreviewQuantize, QuantizeToStep128) {
  const struct {
    double value, expected;
  } cases[] = {
      {0.0, 0.0},
      {1.0, 1.0},
      {-0.9921875, -0.9921875},
      {0.00390625, 0.0},
      {0.01171875, 0.015625},
      {0.01953125, 0.015625},
      {-0.00390625, -0.0},
      {-0.01171875, -0.015625},
      {0.123456789, 0.125},
      {-0.7071067811865476, -0.7109375},
      {0.75, 0.75},
      {0.02421875, 0.0234375},
  };
  for (const auto& c : cases) EXPECT_EQ(QuantizeToStep128(c.value), c.expected) << c.value;
}

TEST(PreviewQuantize, PlainOrByPartsAndThePartsLayout) {
  SettingsGuard guard;
  const struct {
    int columns, rows;
    bool autoMaximize, dividedHorizontal;
    bool byParts;
    int linesPerPart, parts;
  } cases[] = {
      {33, 33, true, true, true, 32, 1},  // 32 x 32 = 1024 cells: one part over the whole grid
      {33, 33, false, true, false, 0, 0},  {17, 17, true, true, false, 0, 0},  // 256 cells
      {257, 257, true, true, true, 4, 64}, {257, 257, true, false, true, 4, 64},
      {9, 257, true, true, true, 128, 2},  {9, 257, true, false, true, 4, 2},
      {65, 17, true, true, true, 16, 1},
  };
  for (const auto& c : cases) {
    settings::AppSettings.AutoMaximize = c.autoMaximize;
    settings::AppSettings.DividedHorizontal = c.dividedHorizontal;
    auto cs = NewShape(SCTYPE_SPHERE, c.columns, c.rows);
    const TPreviewQuantizer q(*cs);
    EXPECT_EQ(q.ByParts(), c.byParts) << c.columns << " x " << c.rows;
    EXPECT_EQ(q.LinesPerPart(), c.linesPerPart) << c.columns << " x " << c.rows;
    EXPECT_EQ(q.PartCount(), c.parts) << c.columns << " x " << c.rows;
  }

  // 257 x 257 by rows: parts of 5 rows sharing their boundary row, which belongs to the later part;
  // row 256 falls into the last part. By columns the same across.
  settings::AppSettings.AutoMaximize = true;
  settings::AppSettings.DividedHorizontal = true;
  auto cs = NewShape(SCTYPE_SPHERE, 257, 257);
  const TPreviewQuantizer rows(*cs);
  EXPECT_EQ(rows.PartOf(100, 0), 0);
  EXPECT_EQ(rows.PartOf(100, 3), 0);
  EXPECT_EQ(rows.PartOf(100, 4), 1);
  EXPECT_EQ(rows.PartOf(0, 255), 63);
  EXPECT_EQ(rows.PartOf(0, 256), 63);
  settings::AppSettings.DividedHorizontal = false;
  const TPreviewQuantizer columns(*cs);
  EXPECT_EQ(columns.PartOf(256, 0), 63);
  EXPECT_EQ(columns.PartOf(8, 256), 2);
}

TEST(PreviewQuantize, PartBoxesCoverEveryPointOfThePartAndTheAxisScales) {
  SettingsGuard guard;
  settings::AppSettings.AutoMaximize = true;
  settings::AppSettings.DividedHorizontal = true;
  auto cs = NewShape(SCTYPE_PLANE, 257, 257);
  for (int i = 0; i < 257; ++i)
    for (int j = 0; j < 257; ++j) {
      cs->CP[i][j][0] = 0.1;
      cs->CP[i][j][1] = 0.3;  // one value everywhere: extent 0
      cs->CP[i][j][2] = 0.2;
    }
  // Part 0 (rows 0..4): x from -0.5 to 0.9, z from -0.2 to 0.6, the extremes on odd rows and
  // columns that a coarse view level never samples.
  cs->CP[3][1][0] = 0.9;
  cs->CP[5][3][0] = -0.5;
  cs->CP[7][1][2] = 0.6;
  cs->CP[9][3][2] = -0.2;
  const double xExtent = 0.9 - -0.5, zExtent = 0.6 - -0.2;
  const TPreviewQuantizer q(*cs);
  ASSERT_TRUE(q.ByParts());
  for (const auto& [i, j] : {std::pair{0, 0}, {3, 1}, {128, 3}, {256, 2}}) {
    const gl3d::TVector3f p = q.Position(i, j);
    EXPECT_EQ(p.Y, 0.3f) << "a shared coordinate keeps exactly its minimum";
    EXPECT_EQ(p.X, static_cast<float>(QuantizeToBox(-0.5, xExtent, cs->CP[i][j][0])));
    EXPECT_EQ(p.Z, static_cast<float>(QuantizeToBox(-0.2, zExtent, cs->CP[i][j][2])));
  }
  // Row 4 is shared and belongs to part 1, whose box does not reach the extremes of part 0.
  cs->CP[10][4][0] = 0.4;
  const TPreviewQuantizer shared(*cs);
  EXPECT_EQ(shared.Position(10, 4).X, static_cast<float>(QuantizeToBox(0.1, 0.4 - 0.1, 0.4)));
  EXPECT_EQ(shared.Position(10, 5).X, static_cast<float>(QuantizeToBox(0.1, 0.4 - 0.1, 0.1)));

  // Every coordinate times its axis factor.
  settings::AxisScales[0] = 0.5;
  settings::AxisScales[2] = 0.25;
  const TPreviewQuantizer scaled(*cs);
  EXPECT_EQ(scaled.Position(3, 1).X, static_cast<float>(QuantizeToBox(-0.5, xExtent, 0.9) * 0.5));
  EXPECT_EQ(scaled.Position(7, 1).Z, static_cast<float>(QuantizeToBox(-0.2, zExtent, 0.6) * 0.25));
  settings::AppSettings.AutoMaximize = false;
  const TPreviewQuantizer plain(*cs);
  EXPECT_EQ(plain.Position(3, 1).X, static_cast<float>(QuantizeToStep128(0.9) * 0.5));
}
