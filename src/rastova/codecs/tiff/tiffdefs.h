#pragma once
// Inside the TIFF codec: the IFD reader context with its tag access, the decoded tags of a page
// (TTIFFVars) that the strip and tile loops hand to the sample decoding, the writer's entry list,
// and the two metadata calls that the tag readers and writers of EXIF, GPS, IPTC, XMP,
// annotations and ICC profiles fill. Not for use outside the codecs.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;
class TRVMask;
class TStream;

namespace tiff {

// Tag types.
enum : uint16_t { ttByte = 1, ttAscii = 2, ttShort = 3, ttLong = 4, ttRational = 5, ttUndefined = 7 };

struct TIFDEntry {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint32_t count = 0;
  uint32_t value = 0;  // the value field as a 32-bit number in host order
};

// One IFD being read: its entries in host order, the stream and the base of its offsets.
struct TTIFFIFD {
  bool littleEndian = true;
  TStream* stream = nullptr;
  std::vector<TIFDEntry> entries;
  int64_t base = 0;

  const TIFDEntry* Find(uint16_t tag) const;
  bool Has(uint16_t tag) const { return Find(tag) != nullptr; }
  // The immediate value by type (BYTE, SHORT, else the whole field).
  int64_t Integer(uint16_t tag, int64_t fallback) const;
  // Item i of a BYTE, SHORT or LONG tag.
  int64_t Item(uint16_t tag, uint32_t index, int64_t fallback) const;
  // Every item of a BYTE, SHORT or LONG tag; empty when absent or when the items do not lie in
  // the stream.
  std::vector<uint32_t> Array(uint16_t tag) const;
  double Rational(uint16_t tag, double fallback) const;
  double RationalItem(uint16_t tag, uint32_t index, double fallback) const;
  // ASCII text cut before its first NUL.
  std::string Ascii(uint16_t tag) const;
  std::u16string Wide(uint16_t tag) const;
  // The raw bytes of the tag's value (empty when they do not lie in the stream).
  std::vector<uint8_t> Raw(uint16_t tag) const;
  // The absolute stream position of the tag's out-of-line data.
  int64_t DataPosition(const TIFDEntry& e) const { return base + e.value; }
  // Reads `size` bytes at the absolute position; false when they do not lie in the stream.
  bool ReadAt(int64_t position, void* dest, int64_t size) const;
};

// Walks the IFD chain from `firstOffset` and loads the IFD at `wantedIndex` into `ifd` (its
// stream, byte order and base already set). `count` receives the number of IFDs in the chain.
// The walk ends at an offset 0, an offset outside the stream or one already visited; `damaged`
// (when given) is set when it ended at an offset or an IFD that the stream does not hold.
bool LoadTIFFIFD(int32_t wantedIndex, uint32_t firstOffset, TTIFFIFD& ifd, int32_t& count,
                 bool* damaged = nullptr);

// Byte-swapping helpers of the file's order.
uint16_t Get16(const uint8_t* p, bool littleEndian);
uint32_t Get32(const uint8_t* p, bool littleEndian);

// The decoded tags of one page.
struct TTIFFVars {
  int32_t Width = 0, Height = 0;
  int32_t SamplesPerPixel = 1, BitsPerSample = 1, RowsPerStrip = 0, TileWidth = -1, TileLength = -1;
  uint16_t Photometric = 2, PlanarConfiguration = 1, Orientation = 1, Compression = 1;
  std::vector<uint32_t> StripOffsets, StripByteCounts, TileOffsets, TileByteCounts;
  std::vector<TRGB> ColorMap;
  std::vector<uint16_t> TransferFunction;
  int32_t ResolutionUnit = 2;
  double XResolution = 0, YResolution = 0;
  int32_t Predictor = 1;
  std::vector<uint8_t> JPEGTables;
  int32_t T4Options = 0, T6Options = 0, FillOrder = 1;
  double XPosition = 0, YPosition = 0;
  std::string DocumentName, ImageDescription, PageName;
  int32_t PageNumber = 0, PageCount = 0;
  std::string Software;
  int32_t InkSet = 1, NumberOfInks = 4;
  int32_t DotRange[8] = {};
  std::string Artist;
  int32_t YCbCrSubsampleH = 2, YCbCrSubsampleV = 2;
  int32_t JPEGProc = 0, JPEGIFOffset = 0, JPEGIFByteCount = 0, JPEGRestartInterval = 0;
  int32_t JPEGLosslessPredictors[7] = {}, JPEGPointTransforms[7] = {}, JPEGQTables[7] = {},
          JPEGDCTables[7] = {}, JPEGACTables[7] = {};
  TTIFFLZWDecompressProc LZWDecompress = nullptr;
  bool LittleEndian = true;
  TIOParamsVals* Params = nullptr;
  TRVMask* AlphaMask = nullptr;
  bool NoAlpha = true;
  int32_t ExtraSample = 0;
  int32_t ExtraSampleCount = 0;
  int32_t ExtraSamples[10] = {};

  // Where the page's data are read from.
  TStream* Stream = nullptr;
  int64_t Base = 0;
  // One flag a bitmap row, set as the row is converted: kept when the page was not cleared
  // before its rows were decoded (the rows left unset are cleared afterwards); null otherwise.
  std::vector<uint8_t>* RowsWritten = nullptr;
};

// Bytes of one decoded row of `width` pixels (for a plane when `plane`).
int64_t TIFFRowBytes(const TTIFFVars& vars, int64_t width, bool plane);

// ---- sample decoding (tiffsamples.cpp)
// Decodes the `rowCount` rows of one strip or tile (`input`, `inputSize` bytes) into the bitmap
// from row `firstRow` on, at byte `rowByteOffset` of each bitmap row, and into the alpha mask.
void ConvertTIFFRows(TTIFFVars& vars, TRVBitmap& bitmap, int32_t firstRow, TRVProgressRec& progress,
                     int32_t rowCount, int32_t width, int64_t inputSize, const uint8_t* input,
                     int64_t rowByteOffset);
// The same for planar data: one buffer per sample (at most kMaxPlanes).
constexpr int32_t kMaxPlanes = 10;
struct TTIFFPlane {
  const uint8_t* data = nullptr;
  int64_t size = 0;
};
void ConvertTIFFPlanarRows(TTIFFVars& vars, TRVBitmap& bitmap, int32_t firstRow, TRVProgressRec& progress,
                           int32_t rowCount, int32_t width, const std::vector<TTIFFPlane>& planes);
// Whether every row of the page that its strips decode is written whole into the bitmap (each
// byte of the row's pixels), so that only the rows no data cover need clearing: 8-bit RGB into
// 24-bit rows, which the pixel-row conversion fills from the file's samples.
bool TIFFWritesWholeRows(const TTIFFVars& vars, TRVBitmap& bitmap);
// Undoes horizontal differencing on one decoded row of `pixels` pixels.
void UndoTIFFPredictor(const TTIFFVars& vars, uint8_t* row, int32_t pixels, bool singlePlane);
// A JPEG-compressed strip or tile (compression 7) decoded into the bitmap at (x, y).
void ReadTIFFJpegBlock(TTIFFVars& vars, TRVBitmap& bitmap, int32_t x, int32_t y, int32_t width, int32_t rows,
                       const uint8_t* input, int64_t inputSize, bool ownProgress, TRVProgressRec& progress);

// ---- the writer's entry list
struct TTIFFEntryList {
  std::vector<TIFDEntry> entries;
  void Add(uint16_t tag, uint16_t type, uint32_t count, uint32_t value);
};

// ---- metadata (tiffmeta.cpp)
// Reads the metadata of a page (EXIF and GPS IFDs, IPTC, XMP, annotations, ICC profile and the
// EXIF-like tags of IFD 0) into the parameters.
void ReadTIFFMetadata(const TTIFFIFD& page, TIOParamsVals& params);
// The writer's metadata: step Descriptive adds the descriptive, resolution and EXIF tags and
// returns true when the parameters hold EXIF data (otherwise the writer adds its own
// description and resolution); step Blocks adds the IPTC, XMP, annotation and ICC blocks.
enum class TTIFFMetaStep { Descriptive, Blocks };
bool WriteTIFFMetadata(TTIFFMetaStep step, TTIFFEntryList& entries, TStream& stream, TIOParamsVals& params,
                       TRVProgressRec& progress);
// The descriptive tags of IFD 0 and the EXIF IFD, and the GPS IFD when EXIF_GPSVersionID is set.
// Out-of-line data and the sub-IFDs go to the stream at even positions as the entries are added.
void WriteEXIFTags(TTIFFEntryList& entries, TStream& stream, TIOParamsVals& params);
// One block each: IPTC (LONG, padded to whole items), XMP (BYTE), Wang annotations (BYTE) and the
// input ICC profile when it is valid and not applied to the pixels (UNDEFINED).
void AddTIFFIPTC(TTIFFEntryList& entries, TStream& stream, TIOParamsVals& params);
void AddTIFFXMP(TTIFFEntryList& entries, TStream& stream, TIOParamsVals& params);
void AddTIFFAnnotations(TTIFFEntryList& entries, TStream& stream, TIOParamsVals& params);
void AddTIFFICC(TTIFFEntryList& entries, TStream& stream, TIOParamsVals& params);

}  // namespace tiff

namespace testing {
// When false, Deflate blocks are always inflated row by row (the reader libdeflate's whole-block
// path must agree with).
extern bool TIFFInflateWhole;
}  // namespace testing

}  // namespace rv
