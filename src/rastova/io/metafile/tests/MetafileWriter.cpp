// Metafiles written by libUEMF's writer functions, for the tests and the fuzz seeds.
#include "rastova/io/metafile/tests/MetafileWriter.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace rv::metatest {

namespace {

// libUEMF writes its files by name: a name of this process's own in the temporary folder.
std::string TempName(const char* ext) {
  static std::atomic<int> counter{0};
  const auto dir = std::filesystem::temp_directory_path();
  return (dir / ("zephor-metafile-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ext))
      .string();
}

std::vector<uint8_t> ReadAndRemove(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  std::vector<uint8_t> bytes(error ? 0 : size_t(size));
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
  bytes.resize(size_t(in.gcount()));
  in.close();
  std::remove(path.c_str());
  return bytes;
}

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("libUEMF: ") + what);
}

}  // namespace

// ---------------------------------------------------------------- EMF

TEmfWriter::TEmfWriter(int32_t width, int32_t height) : path_(TempName(".emf")) {
  Check(emf_start(path_.c_str(), 1 << 16, 1 << 16, &track_) == 0, "emf_start");
  Check(emf_htable_create(128, 128, &handles_) == 0, "emf_htable_create");
  // 96 pixels per inch: 1000 pixels are 264.58 mm, the frame in hundredths of a millimetre.
  const U_RECTL bounds{0, 0, width - 1, height - 1};
  const U_RECTL frame{0, 0, width * 2540 / 96, height * 2540 / 96};
  const U_SIZEL device{1000, 1000}, millimetres{265, 265};
  Add(U_EMRHEADER_set(bounds, frame, nullptr, 0, nullptr, device, millimetres, 0));
}

TEmfWriter::~TEmfWriter() {
  if (track_) {
    emf_free(&track_);
    std::remove(path_.c_str());
  }
  if (handles_) emf_htable_free(&handles_);
}

TEmfWriter& TEmfWriter::Add(char* record) {
  Check(record != nullptr, "record");
  Check(emf_append(reinterpret_cast<U_ENHMETARECORD*>(record), track_, U_REC_FREE) == 0, "emf_append");
  return *this;
}

uint32_t TEmfWriter::Pen(uint32_t style, int32_t width, U_COLORREF color) {
  uint32_t index = 0;
  Add(createpen_set(&index, handles_, logpen_set(style, U_POINT{width, 0}, color)));
  return index;
}

uint32_t TEmfWriter::Brush(uint32_t style, U_COLORREF color, uint32_t hatch) {
  uint32_t index = 0;
  Add(createbrushindirect_set(&index, handles_, logbrush_set(style, color, int32_t(hatch))));
  return index;
}

uint32_t TEmfWriter::Font(int32_t height, const char* face, int32_t escapement, int32_t weight) {
  size_t length = 0;
  uint16_t* name = U_Utf8ToUtf16le(face, 0, &length);
  const U_LOGFONT lf = logfont_set(height, 0, escapement, escapement, weight, U_FW_NOITALIC, U_FW_NOUNDERLINE,
                                   U_FW_NOSTRIKEOUT, U_ANSI_CHARSET, U_OUT_DEFAULT_PRECIS,
                                   U_CLIP_DEFAULT_PRECIS, U_DEFAULT_QUALITY, U_DEFAULT_PITCH, name);
  std::free(name);
  uint32_t index = 0;
  Add(extcreatefontindirectw_set(&index, handles_, reinterpret_cast<const char*>(&lf), nullptr));
  return index;
}

uint32_t TEmfWriter::PatternBrush(int32_t width, int32_t height, const std::vector<uint32_t>& colors) {
  TDib dib(width, height, colors);
  uint32_t index = 0;
  Add(createdibpatternbrushpt_set(&index, handles_, U_DIB_RGB_COLORS, dib.Info, uint32_t(dib.Bits.size()),
                                  dib.Bits.data()));
  return index;
}

TEmfWriter& TEmfWriter::Select(uint32_t index) { return Add(selectobject_set(index, handles_)); }

TEmfWriter& TEmfWriter::Delete(uint32_t index) {
  uint32_t i = index;
  return Add(deleteobject_set(&i, handles_));
}

std::vector<uint8_t> TEmfWriter::Finish() {
  Add(U_EMREOF_set(0, nullptr, track_));
  Check(emf_finish(track_, handles_) == 0, "emf_finish");
  emf_free(&track_);
  track_ = nullptr;
  return ReadAndRemove(path_);
}

// ---------------------------------------------------------------- WMF

TWmfWriter::TWmfWriter(int32_t width, int32_t height, uint32_t unitsPerInch) : path_(TempName(".wmf")) {
  Check(wmf_start(path_.c_str(), 1 << 16, 1 << 16, &track_) == 0, "wmf_start");
  Check(wmf_htable_create(128, 128, &handles_) == 0, "wmf_htable_create");
  // The placeable header's box from the size in inches.
  U_PAIRF* size = U_PAIRF_set(float(width) / float(unitsPerInch), float(height) / float(unitsPerInch));
  char* header = U_WMRHEADER_set(size, unitsPerInch);
  std::free(size);
  Check(header && wmf_header_append(reinterpret_cast<U_METARECORD*>(header), track_, U_REC_FREE) == 0,
        "header");
}

TWmfWriter::~TWmfWriter() {
  if (track_) {
    wmf_free(&track_);
    std::remove(path_.c_str());
  }
  if (handles_) wmf_htable_free(&handles_);
}

TWmfWriter& TWmfWriter::Add(char* record) {
  Check(record != nullptr, "record");
  Check(wmf_append(reinterpret_cast<U_METARECORD*>(record), track_, U_REC_FREE) == 0, "wmf_append");
  return *this;
}

uint32_t TWmfWriter::Pen(uint16_t style, uint16_t width, U_COLORREF color) {
  uint32_t index = 0;
  Add(wcreatepenindirect_set(&index, handles_, U_PEN_set(style, width, color)));
  return index;
}

uint32_t TWmfWriter::Brush(uint16_t style, U_COLORREF color, uint16_t hatch) {
  uint32_t index = 0;
  Add(wcreatebrushindirect_set(&index, handles_, U_WLOGBRUSH_set(style, color, hatch)));
  return index;
}

TWmfWriter& TWmfWriter::Select(uint32_t index) { return Add(wselectobject_set(index, handles_)); }

TWmfWriter& TWmfWriter::Delete(uint32_t index) {
  uint32_t i = index;
  return Add(wdeleteobject_set(&i, handles_));
}

std::vector<uint8_t> TWmfWriter::Finish() {
  Add(U_WMREOF_set());
  Check(wmf_finish(track_) == 0, "wmf_finish");
  wmf_free(&track_);
  track_ = nullptr;
  return ReadAndRemove(path_);
}

// ---------------------------------------------------------------- bitmaps and text

TDib::TDib(int32_t width, int32_t height, const std::vector<uint32_t>& colors) {
  const U_BITMAPINFOHEADER header =
      bitmapinfoheader_set(width, height, 1, U_BCBM_COLOR24, U_BI_RGB, 0, 2835, 2835, 0, 0);
  Info = bitmapinfo_set(header, nullptr);
  const size_t row = (size_t(width) * 3 + 3) / 4 * 4;
  Bits.assign(row * size_t(height), 0);
  for (int32_t y = 0; y < height; ++y) {
    char* d = Bits.data() + row * size_t(height - 1 - y);  // bottom-up
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t c = colors[size_t(y) * size_t(width) + size_t(x)];
      d[3 * x] = char(c & 0xFF);
      d[3 * x + 1] = char((c >> 8) & 0xFF);
      d[3 * x + 2] = char((c >> 16) & 0xFF);
    }
  }
}

TDib::~TDib() { std::free(Info); }

char* TextW(int32_t x, int32_t y, const std::string& text, uint32_t options, const U_RECTL& rect,
            int32_t advance) {
  size_t length = 0;
  uint16_t* units = U_Utf8ToUtf16le(text.c_str(), 0, &length);
  std::vector<uint32_t> dx(length, uint32_t(advance));
  char* emrtext = emrtext_set(U_POINTL{x, y}, uint32_t(length), 2, units, options, rect, dx.data());
  std::free(units);
  char* record =
      U_EMREXTTEXTOUTW_set(U_RCL_DEF, U_GM_COMPATIBLE, 1, 1, reinterpret_cast<PU_EMRTEXT>(emrtext));
  std::free(emrtext);
  if (record && advance == 0) {
    // No advances of the record's own: the offset of the advances becomes 0.
    const size_t at = sizeof(U_EMREXTTEXTOUTW) + ((options & U_ETO_NO_RECT) ? 0 : sizeof(U_RECTL));
    std::memset(record + at, 0, 4);
  }
  return record;
}

// ---------------------------------------------------------------- samples

char* WmfRecord(uint16_t function, const std::vector<uint16_t>& params) {
  const size_t words = 3 + params.size();
  auto* record = static_cast<uint16_t*>(std::malloc(words * 2));
  record[0] = uint16_t(words);
  record[1] = uint16_t(words >> 16);
  record[2] = function;
  for (size_t i = 0; i < params.size(); ++i) record[3 + i] = params[i];
  return reinterpret_cast<char*>(record);
}

namespace {

// U_EMRPOLYDRAW16 by hand: libUEMF's own writer of it writes past the record it allocates.
char* PolyDraw16(const U_POINT16* points, const uint8_t* types, uint32_t count) {
  const uint32_t size = 28 + 4 * count + (count + 3) / 4 * 4;
  auto* record = static_cast<char*>(std::calloc(1, size));
  const uint32_t head[] = {U_EMR_POLYDRAW16, size, 0, 0, uint32_t(-1), uint32_t(-1), count};
  std::memcpy(record, head, sizeof(head));
  std::memcpy(record + 28, points, 4 * size_t(count));
  std::memcpy(record + 28 + 4 * count, types, count);
  return record;
}

const std::vector<uint32_t> kQuarterColours = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

}  // namespace

std::vector<uint8_t> SampleEmf() {
  TEmfWriter w(80, 60);
  w.Select(w.Brush(U_BS_SOLID, Rgb(255, 0, 0)));
  w.Select(w.Pen(U_PS_SOLID, 3, Rgb(0, 0, 255)));
  w.Add(U_EMRRECTANGLE_set(Rc(5, 5, 30, 30)));
  const U_POINTL line[] = {Pt(0, 0), Pt(40, 50), Pt(70, 10)};
  w.Add(U_EMRPOLYLINE_set(U_RCL_DEF, 3, line));
  const U_POINT16 poly[] = {Pt16(10, 50), Pt16(50, 10), Pt16(60, 50), Pt16(1, 2)};
  const uint32_t counts[] = {3, 1};
  w.Add(U_EMRPOLYPOLYGON16_set(U_RCL_DEF, 2, counts, 4, poly));
  w.Add(U_EMRBEGINPATH_set());
  w.Add(U_EMRELLIPSE_set(Rc(40, 20, 70, 50)));
  w.Add(U_EMRENDPATH_set());
  w.Add(U_EMRSTROKEANDFILLPATH_set(U_RCL_DEF));
  U_RECTL rects[] = {Rc(0, 0, 60, 40), Rc(10, 45, 70, 55)};
  PU_RGNDATA rgn = rgndata_set(rgndataheader_set(2, Rc(0, 0, 70, 55)), rects);
  w.Add(U_EMREXTSELECTCLIPRGN_set(U_RGN_COPY, rgn));
  std::free(rgn);
  w.Select(w.Font(-12, "Arial"));
  w.Add(TextW(5, 40, "Text", U_ETO_OPAQUE, Rc(5, 40, 40, 55), 7));
  TDib dib(2, 2, kQuarterColours);
  w.Add(U_EMRSTRETCHDIBITS_set(U_RCL_DEF, Pt(50, 5), Pt(20, 20), Pt(0, 0), Pt(2, 2), U_DIB_RGB_COLORS,
                               U_SRCCOPY, dib.Info, uint32_t(dib.Bits.size()), dib.Bits.data()));
  w.Add(U_EMRSETDIBITSTODEVICE_set(U_RCL_DEF, Pt(60, 40), Pt(0, 0), Pt(2, 2), U_DIB_RGB_COLORS, 0, 2,
                                   dib.Info, uint32_t(dib.Bits.size()), dib.Bits.data()));
  w.Select(w.PatternBrush(2, 2, kQuarterColours));
  w.Add(U_EMRRECTANGLE_set(Rc(0, 40, 20, 60)));
  return w.Finish();
}

std::vector<uint8_t> SampleEmfMapped() {
  TEmfWriter w(80, 60);
  w.Add(U_EMRSAVEDC_set());
  w.Add(U_EMRSETMAPMODE_set(U_MM_ANISOTROPIC));
  w.Add(U_EMRSETWINDOWORGEX_set(Pt(-100, -100)));
  w.Add(U_EMRSETWINDOWEXTEX_set(sizel_set(1000, 800)));
  w.Add(U_EMRSETVIEWPORTEXTEX_set(sizel_set(80, 60)));
  w.Add(U_EMRSETWORLDTRANSFORM_set(Xf(0.9f, 0.2f, -0.2f, 0.9f, 10, 5)));
  w.Select(w.Brush(U_BS_HATCHED, Rgb(0, 0, 128), U_HS_DIAGCROSS));
  w.Add(U_EMRSETBKMODE_set(U_OPAQUE));
  w.Add(U_EMRSETBKCOLOR_set(Rgb(255, 255, 0)));
  w.Add(U_EMRPIE_set(Rc(0, 0, 400, 300), Pt(400, 150), Pt(200, 0)));
  w.Add(U_EMRCHORD_set(Rc(300, 100, 700, 500), Pt(700, 300), Pt(300, 300)));
  w.Add(U_EMRSETARCDIRECTION_set(U_AD_CLOCKWISE));
  w.Add(U_EMRARC_set(Rc(100, 100, 800, 600), Pt(800, 350), Pt(450, 100)));
  w.Add(U_EMRMOVETOEX_set(Pt(50, 700)));
  w.Add(U_EMRARCTO_set(Rc(50, 500, 350, 700), Pt(350, 600), Pt(50, 600)));
  w.Add(U_EMRANGLEARC_set(Pt(600, 600), 100, 30, 240));
  w.Add(U_EMRROUNDRECT_set(Rc(500, 50, 900, 250), sizel_set(80, 60)));
  const U_POINT16 draw[] = {Pt16(10, 10), Pt16(200, 10), Pt16(250, 60), Pt16(300, 120), Pt16(200, 200)};
  const uint8_t types[] = {U_PT_MOVETO, U_PT_LINETO, U_PT_BEZIERTO, U_PT_BEZIERTO,
                           U_PT_BEZIERTO | U_PT_CLOSEFIGURE};
  w.Add(PolyDraw16(draw, types, 5));
  w.Add(U_EMRMODIFYWORLDTRANSFORM_set(Xf(1, 0, 0, 1, 0, 0), U_MWT_IDENTITY));
  w.Add(U_EMRSETROP2_set(U_R2_XORPEN));
  w.Select(w.Pen(U_PS_DASHDOT, 0, Rgb(255, 0, 255)));
  const U_POINT16 zig[] = {Pt16(0, 0), Pt16(500, 700), Pt16(900, 0)};
  w.Add(U_EMRPOLYLINETO16_set(U_RCL_DEF, 3, zig));
  w.Add(U_EMRSETPIXELV_set(Pt(300, 300), Rgb(0, 200, 0)));
  w.Add(U_EMRRESTOREDC_set(-1));
  w.Add(U_EMRSETMAPMODE_set(U_MM_LOMETRIC));
  w.Add(U_EMRINTERSECTCLIPRECT_set(Rc(0, 0, 150, -150)));
  U_RECTL rects[] = {Rc(0, 0, 100, -50), Rc(50, -50, 150, -100)};
  PU_RGNDATA rgn = rgndata_set(rgndataheader_set(2, Rc(0, 0, 150, -100)), rects);
  w.Add(U_EMRFILLRGN_set(U_RCL_DEF, U_BLACK_BRUSH, rgn));
  w.Add(U_EMRINVERTRGN_set(rgn));
  std::free(rgn);
  return w.Finish();
}

std::vector<uint8_t> SampleWmf() {
  TWmfWriter w(80, 60, 96);
  w.Select(w.Brush(U_BS_SOLID, Rgb(255, 0, 0)));
  w.Select(w.Pen(U_PS_SOLID, 2, Rgb(0, 0, 255)));
  w.Add(U_WMRRECTANGLE_set(Rc16(5, 5, 30, 30)));
  const U_POINT16 p[] = {Pt16(10, 50), Pt16(50, 10), Pt16(60, 50)};
  w.Add(U_WMRPOLYGON_set(3, p));
  w.Add(U_WMRTEXTOUT_set(Pt16(5, 40), const_cast<char*>("Text")));
  TDib dib(2, 2, kQuarterColours);
  w.Add(U_WMRSTRETCHDIB_set(Pt16(50, 5), Pt16(20, 20), Pt16(0, 0), Pt16(2, 2), U_DIB_RGB_COLORS, U_SRCCOPY,
                            dib.Info, uint32_t(dib.Bits.size()), dib.Bits.data()));
  return w.Finish();
}

std::vector<uint8_t> SampleWmfRegions() {
  TWmfWriter w(160, 120, 96);
  w.Add(U_WMRSETMAPMODE_set(U_MM_ANISOTROPIC));
  w.Add(U_WMRSETWINDOWORG_set(Pt16(0, 0)));
  w.Add(U_WMRSETWINDOWEXT_set(Pt16(80, 60)));
  const uint32_t brush = w.Brush(U_BS_HATCHED, Rgb(0, 128, 0), U_HS_CROSS);
  // A region of two scans: (10, 10)-(30, 20) and (20, 20)-(60, 40).
  w.Add(WmfRecord(0x06FF, {0, 6,  0,  0,  0,  2, 2, 10, 10, 60, 40,  //
                           2, 10, 20, 10, 30, 2,                     //
                           2, 20, 40, 20, 60, 2}));
  w.Add(WmfRecord(0x0228, {1, uint16_t(brush)}));  // fill the region (index 1) with the brush
  w.Add(WmfRecord(0x012C, {1}));                   // the region as the clip
  w.Add(U_WMRSETTEXTCOLOR_set(Rgb(0, 0, 200)));
  const int16_t dx[] = {9, 9, 9, 9};
  w.Add(U_WMREXTTEXTOUT_set(Pt16(5, 15), 4, U_ETO_OPAQUE, "Wmf!", const_cast<int16_t*>(dx),
                            Rc16(0, 10, 40, 30)));
  w.Add(U_WMRPATBLT_set(Pt16(0, 0), Pt16(80, 60), U_DSTINVERT));
  w.Add(WmfRecord(0x012C, {0xFFFF}));  // no region: the clip goes
  TDib dib(2, 2, kQuarterColours);
  w.Add(U_WMRDIBBITBLT_set(Pt16(70, 50), Pt16(2, 2), Pt16(0, 0), U_SRCINVERT, dib.Info,
                           uint32_t(dib.Bits.size()), dib.Bits.data()));
  w.Add(U_WMRSAVEDC_set());
  w.Add(U_WMRSETROP2_set(U_R2_NOT));
  w.Add(U_WMRELLIPSE_set(Rc16(40, 0, 80, 30)));
  w.Add(U_WMRRESTOREDC_set(-1));
  w.Add(U_WMRCHORD_set(Pt16(0, 60), Pt16(40, 60), Rc16(0, 30, 40, 60)));
  return w.Finish();
}

}  // namespace rv::metatest
