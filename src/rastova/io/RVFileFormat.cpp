#include "rastova/io/RVFileFormat.h"

#include <cstring>
#include <exception>
#include <limits>
#include <vector>

#include "rastova/codecs/bitmaps/icofilt.h"
#include "rastova/codecs/bitmaps/pcxfilter.h"
#include "rastova/codecs/bitmaps/pxmfilter.h"
#include "rastova/codecs/bitmaps/rawbmpfilt.h"
#include "rastova/codecs/psd/rvpsd.h"
#include "rastova/codecs/tga/rvtgafil.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"
#include "rastova/io/RVCodecBindings.h"
#include "rastova/io/RVViewFormats.h"

namespace rv {

namespace {

// The built-in rows in registration order. A row is registered only when its codec exists
// (`built`); the others are listed so that their place in the order stays fixed.
struct TBuiltInRow {
  int32_t fileType;
  const char* description;
  const char* extensions;
  bool readable;
  bool writable;
  uint16_t pages;
  bool built;
};

const TBuiltInRow kBuiltInRows[] = {
    {ioTIFF, "TIFF Bitmap", "TIF;TIFF;FAX;G3N;G3F;XIF", true, true, ppTIFF, kHaveTiffCodec},
    {ioGIF, "CompuServe Bitmap", "GIF", true, true, ppGIF, true},
    {ioJPEG, "JPEG Bitmap", "JPG;JPEG;JPE;JIF", true, true, ppJPEG, kHaveJpegCodec},
    {ioPCX, "PaintBrush", "PCX", true, true, ppPCX, true},
    {ioBMP, "Windows Bitmap", "BMP;DIB;RLE", true, true, ppBMP, kHaveBmpCodec},
    {ioBMPRAW, "Raw Bitmap", "", true, true, 0, true},
    {ioICO, "Windows Icon", "ICO", true, true, 0, true},
    {ioCUR, "Windows Cursor", "CUR", true, false, 0, true},
    {ioPNG, "Portable Network Graphics", "PNG", true, true, ppPNG, kHavePngCodec},
    {ioDICOM, "DICOM Bitmap", "DCM;DIC;DICOM;V2", true, false, 0, kHaveDicomCodec},
    {ioWMF, "Windows Metafile", "WMF", true, false, 0, true},
    {ioEMF, "Enhanced Windows Metafile", "EMF", true, false, 0, true},
    {ioTGA, "Targa Bitmap", "TGA;TARGA;VDA;ICB;VST;PIX", true, true, ppTGA, true},
    {ioPXM, "Portable Pixmap, GrayMap, BitMap", "PXM;PPM;PGM;PBM", true, true, 0, true},
    {ioWBMP, "Wireless Bitmap", "WBMP", true, true, 0, true},
    {ioJP2, "JPEG2000", "JP2", true, true, ppJ2000, kHaveJ2000Codec},
    {ioJ2K, "JPEG2000 Code Stream", "J2K;JPC;J2C", true, true, ppJ2000, kHaveJ2000Codec},
    {ioPS, "PostScript Level 2", "PS;EPS", false, true, 0, kHavePsCodec},
    {ioPDF, "Adobe PDF", "PDF", false, true, 0, kHavePdfCodec},
    {ioDCX, "Multipage PCX", "DCX", true, true, 0, true},
    {ioRAW, "Camera RAW", "CRW;CR2;NEF;RAW;PEF;RAF;X3F;BAY;ORF;SRF;MRW;DCR;SR2", true, false, 0,
     kHaveRawCodec},
    {ioPSD, "Photoshop PSD", "PSD", true, true, 0, true},
    // The view's own formats: built when the view library installed their operations.
    {ioRVV, "Vectorial objects", "RVV", true, true, 0, false},
    {ioLYR, "Layers", "LYR", true, true, 0, false},
    {ioALL, "Layers and objects", "ALL", true, true, 0, false},
    {ioHDP, "Microsoft HD Photo", "WDP;HDP", true, true, 0, kHaveHDPCodec},
};

std::vector<std::unique_ptr<TRVFileFormatInfo>>* registry = nullptr;

std::string Lower(std::string_view s) { return LowerCaseA(s); }

// Entries of a ";"-separated list in order (empty entries kept).
std::vector<std::string> SplitExtensions(const std::string& list) {
  std::vector<std::string> out;
  if (list.empty()) return out;
  size_t start = 0;
  for (;;) {
    const size_t p = list.find(';', start);
    out.push_back(list.substr(start, p == std::string::npos ? std::string::npos : p - start));
    if (p == std::string::npos) break;
    start = p + 1;
  }
  return out;
}

// Reads up to n bytes at `start` and puts the position back; the count read.
int64_t PeekBytes(TStream& stream, int64_t start, void* buffer, int64_t n) {
  stream.SetPosition(start);
  int64_t got = 0;
  auto* p = static_cast<uint8_t*>(buffer);
  while (got < n) {
    const int64_t r = stream.Read(p + got, n - got);
    if (r <= 0) break;
    got += r;
  }
  stream.SetPosition(start);
  return got;
}

bool HasRow(int32_t fileType) { return fileType == ioAVI || GetFileFormatInfo(fileType) != nullptr; }

// One content test of the fixed order: a minimum stream size (the size must exceed it) and a
// test at the start position.
struct TContentStep {
  int32_t fileType;
  int64_t sizeAbove;
  bool (*test)(TStream& stream, int64_t start);
};

bool HeaderJFIF(TStream& s, int64_t start) {
  uint8_t b[12];
  return PeekBytes(s, start, b, 12) == 12 && std::memcmp(b, "JFIF\0", 5) == 0;
}
bool HeaderGIF(TStream& s, int64_t start) {
  uint8_t b[13];
  return PeekBytes(s, start, b, 13) == 13 && std::memcmp(b, "GIF", 3) == 0;
}
bool HeaderPCX2(TStream& s, int64_t start) {
  uint8_t b[12];
  return PeekBytes(s, start, b, 12) == 12 && std::memcmp(b, "PCX2\0", 5) == 0;
}
bool HeaderPCXOld(TStream& s, int64_t start) {
  uint8_t b[4];
  return PeekBytes(s, start, b, 4) == 4 && std::memcmp(b, "PCX\0", 4) == 0;
}
bool HeaderBMP(TStream& s, int64_t start) {
  uint8_t b[2];
  return PeekBytes(s, start, b, 2) == 2 && (b[0] | (b[1] << 8)) == 19778;
}
bool HeaderPCXManufacturer(TStream& s, int64_t start) {
  uint8_t b[2];
  return PeekBytes(s, start, b, 2) == 2 && b[0] == 0x0A && b[1] <= 5;
}
bool HeaderTIFF(TStream& s, int64_t start) {
  uint8_t b[12];
  return PeekBytes(s, start, b, 12) == 12 && std::memcmp(b, "TIFF\0", 5) == 0;
}
bool TestAVI(TStream& s, int64_t start) {
  s.SetPosition(start);
  return IsAVIStream(s);
}
bool TestTGA(TStream& s, int64_t start) {
  s.SetPosition(start);
  return IsTGAStream(s);
}
bool TestTIFF(TStream& s, int64_t start) {
  s.SetPosition(start);
  return CodecIsPlainTIFFStream(s);
}
bool TestHDP(TStream& s, int64_t start) {
  s.SetPosition(start);
  return CodecIsHDPStream(s);
}
bool TestPNG(TStream& s, int64_t start) {
  s.SetPosition(start);
  return CodecIsPNGStream(s);
}
bool TestDICOM(TStream& s, int64_t start) {
  s.SetPosition(start);
  return CodecIsDICOMStream(s);
}
bool TestJP2(TStream& s, int64_t start) {
  s.SetPosition(start);
  return CodecIsJP2Stream(s);
}
bool TestJ2K(TStream& s, int64_t start) {
  s.SetPosition(start);
  return CodecIsJ2KStream(s);
}
// A codec's signature test at the start position.
template <bool (*Test)(TStream&)>
bool TestAt(TStream& s, int64_t start) {
  s.SetPosition(start);
  return Test(s);
}

const TRVViewFormatOps* viewFormatOps[3] = {nullptr, nullptr, nullptr};

template <int32_t FileType>
bool TestViewFormat(TStream& s, int64_t start) {
  const TRVViewFormatOps* ops = GetViewFormatOps(FileType);
  s.SetPosition(start);
  return ops && ops->IsStream && ops->IsStream(s);
}

// The fixed order of the content tests. Tests of codecs that are not built yet are absent
// (nullptr) and keep their place; a test whose format has no row does not decide.
const TContentStep kContentSteps[] = {
    {ioJPEG, 12, HeaderJFIF},             // JPEG with the stream header
    {ioGIF, 13, HeaderGIF},               //
    {ioPCX, 12, HeaderPCX2},              // PCX with the stream header
    {ioPCX, 4, HeaderPCXOld},             // PCX with the older four-byte header
    {ioBMP, 14, HeaderBMP},               //
    {ioPCX, 128, HeaderPCXManufacturer},  // manufacturer and version bytes
    {ioTIFF, 12, HeaderTIFF},             // TIFF with the stream header
    {ioHDP, -1, TestHDP},
    {ioTIFF, -1, TestTIFF},  // a TIFF that is not a camera raw file
    {ioPNG, 8, TestPNG},
    {ioDICOM, -1, TestDICOM},
    {ioICO, -1, TestAt<IsICOStream>},
    {ioCUR, -1, TestAt<IsCURStream>},
    {ioTGA, -1, TestTGA},
    {ioPXM, -1, TestAt<IsPXMStream>},
    {ioJP2, -1, TestJP2},
    {ioJ2K, -1, TestJ2K},
    {ioAVI, -1, TestAVI},
    {ioDCX, -1, TestAt<IsDCXStream>},
    {ioWMF, -1, TestAt<IsWMFStream>},
    {ioEMF, -1, TestAt<IsEMFStream>},
    {ioPSD, -1, TestAt<IsPSDStream>},
    {ioRVV, -1, TestViewFormat<ioRVV>},
    {ioLYR, -1, TestViewFormat<ioLYR>},
    {ioALL, -1, TestViewFormat<ioALL>},
};

}  // namespace

void SetViewFormatOps(int32_t fileType, const TRVViewFormatOps* ops) {
  if (fileType >= ioRVV && fileType <= ioALL) viewFormatOps[fileType - ioRVV] = ops;
}

const TRVViewFormatOps* GetViewFormatOps(int32_t fileType) {
  return fileType >= ioRVV && fileType <= ioALL ? viewFormatOps[fileType - ioRVV] : nullptr;
}

bool PlacedPictureJustified(int64_t Width, int64_t Height, int64_t HeldBytes) {
  constexpr int64_t kMaxSide = std::numeric_limits<int32_t>::max();
  if (Width <= 0 || Height <= 0 || Width > kMaxSide || Height > kMaxSide) return false;
  const int64_t pixels = Width * Height;
  return pixels <= kMaxPlacedPicturePixels || pixels <= HeldBytes / 3 * 2;
}

int64_t HeldImageBytes(TRVBitmap& Image) {
  return Image.ImageSize() + (Image.HasAlphaBitmap() ? Image.AlphaBitmap()->ImageSize() : 0);
}

void PlaceholderRead(TStream&, TRVBitmap&, TIOParamsVals&, bool, TRVProgressRec&) {}
void PlaceholderWrite(TStream&, TRVBitmap&, TIOParamsVals&, TRVProgressRec&) {}
bool PlaceholderTest(TStream&, int32_t) { return false; }

void BuildFileFormatRegistry() {
  FreeFileFormatRegistry();
  registry = new std::vector<std::unique_ptr<TRVFileFormatInfo>>();
  for (const TBuiltInRow& r : kBuiltInRows) {
    if (!r.built && !GetViewFormatOps(r.fileType)) continue;
    auto row = std::make_unique<TRVFileFormatInfo>();
    row->FileType = r.fileType;
    row->Description = r.description;
    row->Extensions = r.extensions;
    row->BuiltIn = true;
    row->DialogPages = r.pages;
    row->ReadRoutine = r.readable ? PlaceholderRead : nullptr;
    row->WriteRoutine = r.writable ? PlaceholderWrite : nullptr;
    row->TestRoutine = PlaceholderTest;
    registry->push_back(std::move(row));
  }
}

void FreeFileFormatRegistry() {
  delete registry;
  registry = nullptr;
}

bool FileFormatRegistryBuilt() { return registry != nullptr; }

void RegisterFileFormat(std::unique_ptr<TRVFileFormatInfo> row) {
  if (!row) return;
  if (!registry) registry = new std::vector<std::unique_ptr<TRVFileFormatInfo>>();
  registry->push_back(std::move(row));
}

void UnregisterFileFormat(int32_t fileType) {
  if (!registry) return;
  for (auto it = registry->begin(); it != registry->end(); ++it) {
    if ((*it)->FileType == fileType) {
      registry->erase(it);
      return;
    }
  }
}

int32_t FileFormatCount() { return registry ? static_cast<int32_t>(registry->size()) : 0; }

TRVFileFormatInfo* FileFormatAt(int32_t index) {
  if (!registry || index < 0 || index >= FileFormatCount()) return nullptr;
  return (*registry)[static_cast<size_t>(index)].get();
}

TRVFileFormatInfo* GetFileFormatInfo(int32_t fileType) {
  if (!registry || fileType == 0) return nullptr;
  for (auto& row : *registry)
    if (row->FileType == fileType) return row.get();
  return nullptr;
}

int32_t GetExtensionCount(int32_t fileType) {
  TRVFileFormatInfo* row = GetFileFormatInfo(fileType);
  if (!row) return 0;
  int32_t n = 0;
  for (const std::string& e : SplitExtensions(row->Extensions))
    if (!e.empty()) ++n;
  return n;
}

std::string GetFileExtension(int32_t fileType, int32_t index) {
  TRVFileFormatInfo* row = GetFileFormatInfo(fileType);
  if (!row || index < 0) return std::string();
  const std::vector<std::string> list = SplitExtensions(row->Extensions);
  return static_cast<size_t>(index) < list.size() ? list[static_cast<size_t>(index)] : std::string();
}

TRVFileFormatInfo* FindFileFormatInfo(std::string_view ext) {
  std::string e = Lower(ext);
  if (!e.empty() && e[0] == '.') e.erase(0, 1);
  if (e.empty() || !registry) return nullptr;
  for (auto& row : *registry)
    for (const std::string& x : SplitExtensions(row->Extensions))
      if (Lower(x) == e) return row.get();
  return nullptr;
}

int32_t FileTypeOfExtension(std::string_view ext) {
  TRVFileFormatInfo* row = FindFileFormatInfo(Lower(ext));
  return row ? row->FileType : 0;
}

bool IsAVIStream(TStream& stream) {
  const int64_t start = stream.GetPosition();
  uint8_t b[12];
  const bool ok = PeekBytes(stream, start, b, 12) == 12 && std::memcmp(b, "RIFF", 4) == 0 &&
                  std::memcmp(b + 8, "AVI ", 4) == 0;
  return ok;
}

int32_t FindStreamFormat(TStream& stream) {
  int32_t result = 0;
  int64_t start = 0;
  try {
    start = stream.GetPosition();
  } catch (...) {
    return 0;
  }
  try {
    const int64_t size = stream.GetSize();
    for (const TContentStep& step : kContentSteps) {
      if (!step.test || size <= step.sizeAbove || !HasRow(step.fileType)) continue;
      const bool hit = step.test(stream, start);
      stream.SetPosition(start);
      if (hit) {
        result = step.fileType;
        break;
      }
    }
    if (result == 0 && HasRow(ioJPEG)) {
      stream.SetPosition(start);
      if (CodecFindJpegSOI(stream, true) >= 0) result = ioJPEG;
    }
    if (result == 0 && registry) {
      for (int32_t i = 0; i < FileFormatCount() && result == 0; ++i) {
        TRVFileFormatInfo* row = FileFormatAt(i);
        if (!row->TestRoutine) continue;
        stream.SetPosition(start);
        if (row->TestRoutine(stream, row->FileType)) result = row->FileType;
      }
    }
    // Camera raw files are recognised last (after a TIFF test has had its say).
    if (result == 0 && HasRow(ioRAW)) {
      stream.SetPosition(start);
      if (CodecIsCameraRawStream(stream)) result = ioRAW;
    }
  } catch (...) {
    // A failing test ends the detection with what was found so far.
  }
  try {
    stream.SetPosition(start);
  } catch (...) {
  }
  return result;
}

int32_t FindFileFormat(const std::string& fileName, bool checkExtension) {
  int32_t result = 0;
  if (fileName.empty() || !FileExistsUnicode(fileName)) return 0;
  try {
    TRVWideFileStream file(fileName, TRVWideFileStream::fmOpenRead | TRVWideFileStream::fmShareDenyWrite);
    result = FindStreamFormat(file);
  } catch (...) {
    result = 0;
  }
  TRVFileFormatInfo* row = FindFileFormatInfo(ExtractFileExtLower(fileName, false));
  if (row && row->FileType == ioRAW && result == ioTIFF) result = ioRAW;
  if (row && !row->BuiltIn) {
    result = row->FileType;
  } else if (checkExtension && result != 0) {
    if (!row) {
      result = 0;
    } else if (result == ioICO || result == ioCUR) {
      result = row->FileType;
    } else if (row->FileType != result) {
      result = 0;
    }
  }
  return result;
}

}  // namespace rv
