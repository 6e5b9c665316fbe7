// The cross-section profiles and the current profile (uScKANTEN.h).
#include "editor/editors/uScKANTEN.h"

#include <cmath>
#include <numbers>

#include "common/Round.h"

namespace editor {

using shape::TDbl2D;

const char* const SectionCaptions[SectionTypeCount] = {"Normal",        "Chamfer",       "SQUARE", "ROUND",
                                                       "ROUND-SQUARE1", "ROUND-SQUARE2", "BLADE",  "Fin"};

int32_t CurrentSection = SECTION_NORMAL;

namespace {

TDbl2D Lerp(const TDbl2D& a, const TDbl2D& b, int32_t k, int32_t n) {
  return {{((n - k) * a[0] + k * b[0]) / n, ((n - k) * a[1] + k * b[1]) / n}};
}

// Point i on the ellipse through the key points: t = i 2 pi / (n - 1).
TDbl2D EllipsePoint(int32_t i, int32_t n) {
  const double t = i * 2 * std::numbers::pi / (n - 1);
  return {{0.5 - 0.5 * std::cos(t), -std::sin(t)}};
}

void EllipseRange(shape::TDbl2DAry& p, int32_t first, int32_t last, int32_t n) {
  for (int32_t i = first; i <= last; ++i) p[i] = EllipsePoint(i, n);
}

// The rectangle walked from the middle of its first edge, corners at h, 3h, 5h and 7h, every
// side interpolated between its two ends.
void Rectangle(shape::TDbl2DAry& p, int32_t q) {
  const int32_t h = q / 2;
  p[h] = {{0, -1}};
  p[3 * h] = {{1, -1}};
  p[5 * h] = {{1, 1}};
  p[7 * h] = {{0, 1}};
  for (int32_t l = 0; l < 8; ++l)
    for (int32_t m = 1; m < h; ++m) p[l * h + m] = Lerp(p[l * h], p[(l + 1) * h], m, h);
}

}  // namespace

void MakeSection(int32_t type, int32_t n, shape::TDbl2DAry& points) {
  if (n < 1) {
    points.clear();
    return;
  }
  points.resize(static_cast<size_t>(n), TDbl2D{{0, 0}});
  shape::TDbl2DAry& p = points;
  const int32_t q = (n - 1) / 4;
  p[0] = {{0, 0}};
  p[q] = {{0.5, -1}};
  p[2 * q] = {{1, 0}};
  p[3 * q] = {{0.5, 1}};
  p[4 * q] = p[0];
  if (q <= 1) return;
  if (type == SECTION_ROUND || type == SECTION_FIN)
    EllipseRange(p, 1, n - 2, n);
  else
    Rectangle(p, q);
  switch (type) {
    case SECTION_ROUND_SQUARE1:
      EllipseRange(p, 1, 2 * q - 1, n);
      break;
    case SECTION_ROUND_SQUARE2:
      EllipseRange(p, 1, q - 1, n);
      EllipseRange(p, 3 * q + 1, 4 * q - 1, n);
      break;
    case SECTION_BLADE:
    case SECTION_FIN:
      // The second half becomes two straight lines through the point on the second edge.
      for (int32_t j = 1; j <= 2; ++j)
        for (int32_t l = 1; l < q; ++l) p[j * q + l] = Lerp(p[j * q], p[(j + 1) * q], l, q);
      break;
    default:
      break;
  }
}

void MakeCurrentSection(int32_t n, shape::TDbl2DAry& points) { MakeSection(CurrentSection, n, points); }

void SectionIconPixels(int32_t type, TIconPixel (&pixels)[33]) {
  shape::TDbl2DAry points;
  MakeSection(type, 33, points);
  for (int k = 0; k < 33; ++k)
    pixels[k] = {common::RoundInt(points[k][0] * 15), common::RoundInt(7.5 - 7.5 * points[k][1])};
}

void Midpoint3D(const shape::TDbl3D& a, const shape::TDbl3D& b, shape::TDbl3D& result) {
  result = {{(a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2}};
}

double Distance3D(const shape::TDbl3D& a, const shape::TDbl3D& b) {
  const double dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

}  // namespace editor
