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

}  // namespace rv::metatest
