#pragma once
// The quantisation of the preview's vertices: the preview shows the shape as the saved sculpt map
// will look, so its vertices are quantised as the map's channels quantise them (PreviewMesh.h
// builds the mesh with it).
//
// Two ways, chosen by the settings "Auto Maximize" and "Divided Horizontal":
// - plain, when "Auto Maximize" is off or the grid has fewer than 1024 cells: the 1/128 step of a
//   sculpt map's channels;
// - per part, when "Auto Maximize" is on and the grid has 1024 cells or more: the grid is saved
//   as one or more maps, each scaled to its own box (the 1/255 step of an automatically maximised
//   map). With "Divided Horizontal" the parts are bands of L + 1 rows, L = 1024 div (CPMaxI - 1),
//   neighbouring parts sharing their boundary row; P = (CPMaxJ - 1) div L parts (at most 64).
//   Without it the same by columns.
// Every coordinate is then multiplied by the AxisScales factor of its axis.
#include <array>
#include <cstdint>

#include "scene3d/base/VectorGeometry.h"
#include "shape/model/ShapeRecord.h"

namespace shape {

// min + extent * RoundSingle((value - min) / extent * 255) / 255 when extent is not 0, else min.
// The quotient and the product are rounded to single precision before the rounding to an integer
// (halves to even).
double QuantizeToBox(double min, double extent, double value);
// RoundSingle(value * 128, in single precision) / 128: the 1/128 step of the sculpt-map channels.
double QuantizeToStep128(double value);

// The quantisation of one grid under the current settings.
class TPreviewQuantizer {
 public:
  // Reads "Auto Maximize", "Divided Horizontal" and AxisScales, and measures the parts' boxes over
  // every point of each part (from 2.0 for the minimum and -2.0 for the maximum).
  explicit TPreviewQuantizer(const TCS& cs);

  bool ByParts() const { return byParts_; }
  bool ByRows() const { return byRows_; }
  // L and P of the part quantisation (0 without it).
  int32_t LinesPerPart() const { return linesPerPart_; }
  int32_t PartCount() const { return partCount_; }
  // The part of grid point (i, j): min(j div L, P - 1) by rows, min(i div L, P - 1) by columns.
  int32_t PartOf(int32_t i, int32_t j) const;
  // The quantised position of grid point (i, j), each coordinate times its axis factor.
  gl3d::TVector3f Position(int32_t i, int32_t j) const;

 private:
  const TCS& cs_;
  bool byParts_ = false;
  bool byRows_ = false;
  int32_t linesPerPart_ = 0;
  int32_t partCount_ = 0;
  double scales_[3] = {1, 1, 1};
  std::array<TDbl3D, 64> partMin_{};
  std::array<TDbl3D, 64> partExtent_{};
};

}  // namespace shape
