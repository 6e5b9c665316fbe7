#pragma once
// The shape record: one grid of up to 257 x 257 points with its selection, lock and group
// masks and its two warp frames.
//
// The plug-in library receives the record by reference and writes into it, so its byte layout
// is an interface shared by two separately built binaries. This header therefore includes
// nothing of the project, and every size and offset is checked at compile time. No field is
// reference-counted: the whole record may be copied as raw bytes.
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace shape {

// Stitch type: how the edges of the grid are joined (one byte).
enum TScType : uint8_t {
  SCTYPE_SPHERE = 0,    // first and last column coincide; first row is one pole, last row the other
  SCTYPE_TORUS = 1,     // first and last column coincide, and first and last row coincide
  SCTYPE_PLANE = 2,     // no seams
  SCTYPE_CYLINDER = 3,  // first and last column coincide only
};

// The largest number of columns or rows.
constexpr int32_t kGridMax = 257;

// A point or vector (x, y, z).
struct TDbl3D {
  double v[3];
  constexpr double& operator[](int k) { return v[k]; }
  constexpr const double& operator[](int k) const { return v[k]; }
};

// A pane coordinate (horizontal, vertical).
struct TDbl2D {
  double v[2];
  constexpr double& operator[](int k) { return v[k]; }
  constexpr const double& operator[](int k) const { return v[k]; }
};

// Element [i][j]: column i, row j (memory index i * 257 + j).
using TACP256 = TDbl3D[kGridMax][kGridMax];
using TASP256 = bool[kGridMax][kGridMax];
using TAGP256 = int32_t[kGridMax][kGridMax];

// The warp frame: four corners, the pivot and two handles on each edge.
struct TRengeD {
  TDbl2D r00, r01, r10, r11;
  TDbl2D rp;
  TDbl2D b0, b1, b2, b3, b4, b5, b6, b7;
};

struct TCS {
  TScType ScType;
  int32_t CPMaxI;  // columns in use, 2..257
  int32_t CPMaxJ;  // rows in use, 2..257
  int32_t Count;   // selected points, each seam duplicate counted once
  TRengeD R0;      // the committed warp frame
  TRengeD R1;      // the warp frame being edited
  TACP256 CP;      // the points
  TACP256 DP;      // the points as committed before the current edit
  TASP256 SP;      // selection flags
  TASP256 RP;      // lock flags
  TAGP256 GP;      // group id of each point, -1 for none
};

static_assert(sizeof(bool) == 1, "Boolean fields are one byte");
static_assert(sizeof(TScType) == 1);
static_assert(sizeof(TDbl3D) == 24 && sizeof(TDbl2D) == 16);
static_assert(sizeof(TACP256) == 1585176 && sizeof(TASP256) == 66049 && sizeof(TAGP256) == 264196);
static_assert(sizeof(TRengeD) == 208);
static_assert(offsetof(TRengeD, r00) == 0 && offsetof(TRengeD, r01) == 16 && offsetof(TRengeD, r10) == 32 &&
              offsetof(TRengeD, r11) == 48 && offsetof(TRengeD, rp) == 64 && offsetof(TRengeD, b0) == 80 &&
              offsetof(TRengeD, b1) == 96 && offsetof(TRengeD, b2) == 112 && offsetof(TRengeD, b3) == 128 &&
              offsetof(TRengeD, b4) == 144 && offsetof(TRengeD, b5) == 160 && offsetof(TRengeD, b6) == 176 &&
              offsetof(TRengeD, b7) == 192);
static_assert(std::is_standard_layout_v<TCS> && std::is_trivially_copyable_v<TCS>);
static_assert(offsetof(TCS, ScType) == 0);
static_assert(offsetof(TCS, CPMaxI) == 4);
static_assert(offsetof(TCS, CPMaxJ) == 8);
static_assert(offsetof(TCS, Count) == 12);
static_assert(offsetof(TCS, R0) == 16);
static_assert(offsetof(TCS, R1) == 224);
static_assert(offsetof(TCS, CP) == 432);
static_assert(offsetof(TCS, DP) == 1585608);
static_assert(offsetof(TCS, SP) == 3170784);
static_assert(offsetof(TCS, RP) == 3236833);
static_assert(offsetof(TCS, GP) == 3302884);
static_assert(sizeof(TCS) == 3567080);

}  // namespace shape
