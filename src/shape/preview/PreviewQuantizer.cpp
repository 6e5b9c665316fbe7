#include "shape/preview/PreviewQuantizer.h"

#include <algorithm>

#include "settings/AppSettings.h"
#include "shape/SculptCodec.h"

namespace shape {

double QuantizeToBox(double min, double extent, double value) {
  if (extent == 0) return min;
  const float quotient = static_cast<float>((value - min) / extent);
  const float product = quotient * 255.0f;
  return min + extent * gl3d::RoundSingle(product) / 255;
}

double QuantizeToStep128(double value) { return gl3d::RoundSingle(static_cast<float>(value * 128)) / 128.0; }

TPreviewQuantizer::TPreviewQuantizer(const TCS& cs) : cs_(cs) {
  const settings::TAppSettings& s = settings::AppSettings;
  for (int k = 0; k < 3; ++k) scales_[k] = settings::AxisScales[k];
  const int32_t columns = std::clamp(cs.CPMaxI, 1, kGridMax);
  const int32_t rows = std::clamp(cs.CPMaxJ, 1, kGridMax);
  byParts_ = s.AutoMaximize && int64_t{columns - 1} * (rows - 1) >= 1024;
  if (!byParts_) return;
  byRows_ = s.DividedHorizontal;
  // A part spans L lines and shares its last one with the next part.
  linesPerPart_ = 1024 / ((byRows_ ? columns : rows) - 1);
  partCount_ = std::clamp(((byRows_ ? rows : columns) - 1) / linesPerPart_, 1, 64);
  for (int32_t p = 0; p < partCount_; ++p) {
    TDbl3D min, max;
    if (byRows_)
      BlockBounds(cs.CP, 0, p * linesPerPart_, linesPerPart_ + 1, columns, min, max);
    else
      BlockBounds(cs.CP, p * linesPerPart_, 0, rows, linesPerPart_ + 1, min, max);
    partMin_[static_cast<size_t>(p)] = min;
    for (int k = 0; k < 3; ++k) partExtent_[static_cast<size_t>(p)][k] = max[k] - min[k];
  }
}

int32_t TPreviewQuantizer::PartOf(int32_t i, int32_t j) const {
  if (!byParts_) return 0;
  return std::min((byRows_ ? j : i) / linesPerPart_, partCount_ - 1);
}

gl3d::TVector3f TPreviewQuantizer::Position(int32_t i, int32_t j) const {
  const TDbl3D& v = cs_.CP[i][j];
  double q[3];
  if (byParts_) {
    const auto p = static_cast<size_t>(PartOf(i, j));
    for (int k = 0; k < 3; ++k) q[k] = QuantizeToBox(partMin_[p][k], partExtent_[p][k], v[k]);
  } else {
    for (int k = 0; k < 3; ++k) q[k] = QuantizeToStep128(v[k]);
  }
  return {static_cast<float>(q[0] * scales_[0]), static_cast<float>(q[1] * scales_[1]),
          static_cast<float>(q[2] * scales_[2])};
}

}  // namespace shape
