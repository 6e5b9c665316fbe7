#include "shape/SculptCodec.h"

#include <algorithm>
#include <cmath>

#include "common/Round.h"
#include "settings/AppSettings.h"
#include "shape/FileFormatSettings.h"

namespace shape {

namespace {

uint8_t ClampByte(int64_t v) { return static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 255)); }

uint32_t PackColor(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<uint32_t>(r) | (static_cast<uint32_t>(g) << 8) | (static_cast<uint32_t>(b) << 16);
}

double Channel(uint32_t color, int shift) { return static_cast<double>((color >> shift) & 0xFF); }

}  // namespace

uint8_t EncodeChannel(double c) { return ClampByte(CoordToChannelValue(c)); }

uint32_t EncodePointColor(const TDbl3D& p) {
  return PackColor(EncodeChannel(p[0]), EncodeChannel(p[1]), EncodeChannel(p[2]));
}

namespace {
// nearest(scale t), t the quotient as a double, of the exact product (fma gives its error).
uint8_t BoxChannel(double min, double max, double c, double scale) {
  if (min == max) return 127;
  const double t = (c - min) / (max - min);
  const double product = scale * t;
  return ClampByte(common::RoundWithError(product, std::fma(scale, t, -product)));
}
double BoxScale() { return settings::AppSettings.MaximizeWithSymmetry ? 254.0 : 255.0; }
}  // namespace

uint8_t EncodeChannelInBox(double min, double max, double c) { return BoxChannel(min, max, c, BoxScale()); }

uint32_t EncodePointColorInBox(const TDbl3D& p, const TDbl3D& boxMax, const TDbl3D& boxMin) {
  return PackColor(EncodeChannelInBox(boxMin[0], boxMax[0], p[0]),
                   EncodeChannelInBox(boxMin[1], boxMax[1], p[1]),
                   EncodeChannelInBox(boxMin[2], boxMax[2], p[2]));
}

void EncodePointColors(const TDbl3D* points, int32_t count, bool box, const TDbl3D& boxMax, const TDbl3D& boxMin,
                       uint32_t* colors) {
  if (!box) {
    for (int32_t k = 0; k < count; ++k) colors[k] = EncodePointColor(points[k]);
    return;
  }
  const double scale = BoxScale();
  for (int32_t k = 0; k < count; ++k) {
    const TDbl3D& p = points[k];
    colors[k] = PackColor(BoxChannel(boxMin[0], boxMax[0], p[0], scale), BoxChannel(boxMin[1], boxMax[1], p[1], scale),
                          BoxChannel(boxMin[2], boxMax[2], p[2], scale));
  }
}

TDbl3D DecodePixel127(uint32_t color) {
  return {(Channel(color, 0) - 127) / 128, (Channel(color, 8) - 127) / 128, (Channel(color, 16) - 127) / 128};
}

TDbl3D DecodePixel128(uint32_t color) {
  return {(128 - Channel(color, 8)) / 128, (128 - Channel(color, 0)) / 128, (128 - Channel(color, 16)) / 128};
}

void BlockBounds(const TACP256& points, int32_t firstColumn, int32_t firstRow, int32_t rows, int32_t columns,
                 TDbl3D& min, TDbl3D& max) {
  min = {2.0, 2.0, 2.0};
  max = {-2.0, -2.0, -2.0};
  const int32_t lastColumn = std::min(firstColumn + columns, kGridMax);
  const int32_t lastRow = std::min(firstRow + rows, kGridMax);
  for (int32_t i = std::max(firstColumn, 0); i < lastColumn; ++i)
    for (int32_t j = std::max(firstRow, 0); j < lastRow; ++j)
      for (int k = 0; k < 3; ++k) {
        const double c = points[i][j][k];
        if (c < min[k]) min[k] = c;
        if (c > max[k]) max[k] = c;
      }
}

std::string FormatScaleText(const TDbl3D& boxMax, const TDbl3D& boxMin) {
  double first[3], second[3];
  const bool symmetric = settings::AppSettings.MaximizeWithSymmetry;
  for (int k = 0; k < 3; ++k) {
    const double s = settings::ObjectSize[k];
    const double a = boxMax[k] * s / 1.9921875;
    const double b = boxMin[k] * s / 1.9921875;
    if (symmetric) {
      first[k] = (0.9921875 * a + b) / 1.9921875;
      second[k] = (a - b) / 1.984375 * 1.9921875;
    } else {
      first[k] = (a + b) / 2;
      second[k] = a - b;
    }
  }
  return FileFormatSettings.Format("<%1.8f,%1.8f,%1.8f>:<%1.8f,%1.8f,%1.8f>", first[0], first[1], first[2],
                                   second[0], second[1], second[2]);
}

std::string BlockDescription(const std::string& scaleText, const std::string& stitchTypeName) {
  return scaleText + ":<0.0,0.0,0.0>:" + stitchTypeName;
}

namespace {

struct TPictureGrid {
  double ratio;
  int32_t columns;
};
constexpr TPictureGrid kPictureGrids[] = {{1, 33},    {4, 65},     {16, 129},    {64, 257},
                                          {0.25, 17}, {0.0625, 9}, {0.015625, 5}};
constexpr int32_t kPictureSteps[] = {2, 4, 8, 16};

}  // namespace

std::string SculptMapSizesText() {
  std::string text;
  for (const TPictureGrid& g : kPictureGrids) {
    if (!text.empty()) text += "\r\n";
    for (int32_t s : kPictureSteps) {
      const int32_t width = (g.columns - 1) * s;
      const int32_t height = static_cast<int32_t>(width / g.ratio);
      if (s != kPictureSteps[0]) text += ", ";
      text += std::to_string(width) + " x " + std::to_string(height);
    }
  }
  return text;
}

bool SculptGridOfPicture(int32_t width, int32_t height, int32_t& cpMaxI, int32_t& cpMaxJ, int32_t& step) {
  if (width <= 0 || height <= 0) return false;
  const auto& kTable = kPictureGrids;
  using Entry = TPictureGrid;
  const double ratio = static_cast<double>(width) / static_cast<double>(height);
  const Entry* hit = nullptr;
  for (const Entry& e : kTable)
    if (ratio == e.ratio) hit = &e;
  if (!hit) return false;
  cpMaxI = hit->columns;
  cpMaxJ = 1024 / (cpMaxI - 1) + 1;
  for (int32_t s : kPictureSteps)
    if (width == (cpMaxI - 1) * s) {
      step = s;
      return true;
    }
  return false;
}

int32_t SculptPictureColumn(int32_t i, int32_t cpMaxI, int32_t step, int32_t width) {
  const int32_t x = i >= cpMaxI - 1 ? width - 1 : i * step;
  return std::clamp(x, 0, std::max(width - 1, 0));
}

int32_t SculptPictureRow(int32_t j, int32_t cpMaxJ, int32_t step, int32_t height) {
  const int32_t m = cpMaxJ - 1 - j;
  const int32_t y = m <= 0 ? 0 : m * step - 1;
  return std::clamp(y, 0, std::max(height - 1, 0));
}

}  // namespace shape
