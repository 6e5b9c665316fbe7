#pragma once
// Metafiles for the tests and the fuzz seeds, written by libUEMF's writer functions: records
// made by its U_EMR*_set / U_WMR*_set functions (and the object helpers that number the
// objects) appended in order, the file finished as libUEMF finishes it.
#include <uemf.h>
#include <uwmf.h>

#include <cstdint>
#include <string>
#include <vector>

namespace rv::metatest {

// An EMF of a recording device at 96 pixels per inch whose bounds are (0, 0) to
// (width - 1, height - 1): at its own size a device pixel is a pixel of the picture.
class TEmfWriter {
 public:
  TEmfWriter(int32_t width, int32_t height);
  ~TEmfWriter();
  TEmfWriter(const TEmfWriter&) = delete;
  TEmfWriter& operator=(const TEmfWriter&) = delete;

  // Appends a record made by a libUEMF function (which allocated it; it is freed here).
  TEmfWriter& Add(char* record);
  // Objects: created in the next free index, which is returned; selected; deleted.
  uint32_t Pen(uint32_t style, int32_t width, U_COLORREF color);
  uint32_t Brush(uint32_t style, U_COLORREF color, uint32_t hatch = 0);
  uint32_t Font(int32_t height, const char* face, int32_t escapement = 0, int32_t weight = U_FW_NORMAL);
  // A pattern brush of a 24-bit bitmap of `width` x `height` pixels in `colors` (row by row from
  // the top, 0xRRGGBB).
  uint32_t PatternBrush(int32_t width, int32_t height, const std::vector<uint32_t>& colors);
  TEmfWriter& Select(uint32_t index);
  TEmfWriter& Delete(uint32_t index);
  // Appends the end-of-file record and returns the file's bytes.
  std::vector<uint8_t> Finish();

  EMFHANDLES* Handles() { return handles_; }

 private:
  std::string path_;
  EMFTRACK* track_ = nullptr;
  EMFHANDLES* handles_ = nullptr;
};

// A WMF with a placeable header whose box is (0, 0) to (width, height) logical units at
// `unitsPerInch`.
class TWmfWriter {
 public:
  TWmfWriter(int32_t width, int32_t height, uint32_t unitsPerInch);
  ~TWmfWriter();
  TWmfWriter(const TWmfWriter&) = delete;
  TWmfWriter& operator=(const TWmfWriter&) = delete;

  TWmfWriter& Add(char* record);
  uint32_t Pen(uint16_t style, uint16_t width, U_COLORREF color);
  uint32_t Brush(uint16_t style, U_COLORREF color, uint16_t hatch = 0);
  TWmfWriter& Select(uint32_t index);
  TWmfWriter& Delete(uint32_t index);
  std::vector<uint8_t> Finish();

 private:
  std::string path_;
  WMFTRACK* track_ = nullptr;
  WMFHANDLES* handles_ = nullptr;
};

// A bottom-up 24-bit bitmap header and its rows for `colors` (row by row from the top,
// 0xRRGGBB), as the DIB arguments of libUEMF's functions take them.
struct TDib {
  TDib(int32_t width, int32_t height, const std::vector<uint32_t>& colors);
  ~TDib();
  TDib(const TDib&) = delete;
  TDib& operator=(const TDib&) = delete;
  U_BITMAPINFO* Info = nullptr;
  std::vector<char> Bits;
};

// Points and rectangles for libUEMF's functions.
inline U_POINTL Pt(int32_t x, int32_t y) { return U_POINTL{x, y}; }
inline U_RECTL Rc(int32_t l, int32_t t, int32_t r, int32_t b) { return U_RECTL{l, t, r, b}; }
inline U_POINT16 Pt16(int16_t x, int16_t y) { return U_POINT16{x, y}; }
inline U_RECT16 Rc16(int16_t l, int16_t t, int16_t r, int16_t b) { return U_RECT16{l, t, r, b}; }
inline U_COLORREF Rgb(uint8_t r, uint8_t g, uint8_t b) { return colorref3_set(r, g, b); }
inline U_XFORM Xf(float m11, float m12, float m21, float m22, float dx, float dy) {
  return xform_set(m11, m12, m21, m22, dx, dy);
}

// Files of most record kinds, for the tests of damaged input and the fuzz seeds: figures, a
// path, a clip region, text, bitmaps stretched and set to the device, a pattern brush (SampleEmf); mapping
// modes, world transforms, arcs, point-typed figures, hatches, raster operations, saved states
// and regions (SampleEmfMapped); figures, text and a bitmap (SampleWmf); window mapping, a region
// object as the clip, region fills, text with advances, transfers (SampleWmfRegions).
std::vector<uint8_t> SampleEmf();
std::vector<uint8_t> SampleEmfMapped();
std::vector<uint8_t> SampleWmf();
std::vector<uint8_t> SampleWmfRegions();

// A WMF record of `function` and 16-bit parameters, allocated as libUEMF's records are.
char* WmfRecord(uint16_t function, const std::vector<uint16_t>& params);

// A text record of libUEMF (U_EMREXTTEXTOUTW) for `text` (ASCII) at (x, y), with no
// advances of its own unless `advance` is given (each character that many units).
char* TextW(int32_t x, int32_t y, const std::string& text, uint32_t options = U_ETO_NONE,
            const U_RECTL& rect = U_RCL_DEF, int32_t advance = 0);

}  // namespace rv::metatest
