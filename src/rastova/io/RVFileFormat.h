#pragma once
// The file-format registry: one row per known image format (file type number, description,
// extensions, reader, writer, content test) in registration order, and the detection of a
// stream's or a file's format by its content and extension.
//
// File types are the library's fixed numbers: 1 TIFF, 2 GIF, 3 JPEG, 4 PCX, 5 BMP, 6 icon,
// 7 cursor, 8 PNG, 9 WMF, 10 EMF, 11 Targa, 12 PNM, 13 JPEG 2000 file, 14 JPEG 2000 code
// stream, 15 AVI (no row), 16 WBMP, 17 PostScript, 18 PDF, 19 DCX, 20 camera raw, 21 raw
// pixels, 24 Photoshop, 25 vector objects, 26 layers, 27 layers and objects, 28 DICOM,
// 29 HD Photo. A format gets its row when its codec is built; until then its extensions and
// its content are not recognised.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;
class TStream;

// The fixed file type numbers.
enum : int32_t {
  ioTIFF = 1,
  ioGIF = 2,
  ioJPEG = 3,
  ioPCX = 4,
  ioBMP = 5,
  ioICO = 6,
  ioCUR = 7,
  ioPNG = 8,
  ioWMF = 9,
  ioEMF = 10,
  ioTGA = 11,
  ioPXM = 12,
  ioJP2 = 13,
  ioJ2K = 14,
  ioAVI = 15,
  ioWBMP = 16,
  ioPS = 17,
  ioPDF = 18,
  ioDCX = 19,
  ioRAW = 20,
  ioBMPRAW = 21,
  ioPSD = 24,
  ioRVV = 25,
  ioLYR = 26,
  ioALL = 27,
  ioDICOM = 28,
  ioHDP = 29,
};

using TRVReadRoutine = void (*)(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool preview,
                                TRVProgressRec& progress);
using TRVWriteRoutine = void (*)(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params,
                                 TRVProgressRec& progress);
using TRVTestRoutine = bool (*)(TStream& stream, int32_t fileType);

// Dialog pages of the parameters preview that edit a format's settings.
enum : uint16_t {
  ppJPEG = 4,
  ppTIFF = 8,
  ppGIF = 16,
  ppBMP = 32,
  ppPCX = 64,
  ppPNG = 128,
  ppTGA = 256,
  ppJ2000 = 512,
};

// One registry row.
class TRVFileFormatInfo {
 public:
  int32_t FileType = 0;
  std::string Description;
  // Upper case, without dots, separated by ";".
  std::string Extensions;
  // Rows made at start-up: the I/O component serves them with its own per-format operations.
  bool BuiltIn = false;
  uint16_t DialogPages = 0;
  TRVReadRoutine ReadRoutine = nullptr;    // nullptr: cannot be read
  TRVWriteRoutine WriteRoutine = nullptr;  // nullptr: cannot be written
  TRVTestRoutine TestRoutine = nullptr;
};

// Capability markers of the built-in rows: the component does the real work.
void PlaceholderRead(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool preview,
                     TRVProgressRec& progress);
void PlaceholderWrite(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress);
bool PlaceholderTest(TStream& stream, int32_t fileType);

// Builds the rows of the formats whose codecs exist (run once by the I/O start-up).
void BuildFileFormatRegistry();
void FreeFileFormatRegistry();
bool FileFormatRegistryBuilt();
// Appends a row; the registry owns it from then on.
void RegisterFileFormat(std::unique_ptr<TRVFileFormatInfo> row);
// Removes the first row of that file type; nothing when there is none.
void UnregisterFileFormat(int32_t fileType);
int32_t FileFormatCount();
// The row at that registry position (nullptr outside).
TRVFileFormatInfo* FileFormatAt(int32_t index);

// The first row of that file type, nullptr when none (also for 0).
TRVFileFormatInfo* GetFileFormatInfo(int32_t fileType);
int32_t GetExtensionCount(int32_t fileType);
// The Index-th (from 0) entry of the row's extension list, as stored; empty when missing.
std::string GetFileExtension(int32_t fileType, int32_t index);
// The row owning an extension (with or without one leading dot, any case); nullptr when none.
TRVFileFormatInfo* FindFileFormatInfo(std::string_view ext);
int32_t FileTypeOfExtension(std::string_view ext);

// File type of the content at the stream's position, 0 when nothing matches. The position is
// the same afterwards and read errors only fail the test that met them.
int32_t FindStreamFormat(TStream& stream);
// File type of a file by content, adjusted by its extension (see the implementation); 0 when
// the file is missing, unreadable or unrecognised.
int32_t FindFileFormat(const std::string& fileName, bool checkExtension);
// "RIFF" at the position and "AVI " 8 bytes further on; the position is restored.
bool IsAVIStream(TStream& stream);

}  // namespace rv
