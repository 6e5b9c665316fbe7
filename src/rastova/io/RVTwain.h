#pragma once
// The TWAIN client of the I/O component, with the scanner library (RVSane.h) in the place of
// the TWAIN source manager: it lists the installed sources as TWAIN identities and keeps the
// library open between listings. The manager's states 1 to 3 map onto the library: loading
// (1 -> 2) takes a reference on its session, which the kept handles hold until
// FreeTWainResources; opening and closing (2 <-> 3) bracket the listing.
//
// Nothing here enables a source, and there is no window message stream to deliver images, so
// the transfer machinery exists only as its window-free steps: the mapping of a source's image
// information onto the parameters and the bitmap (XferReadyImageInfo), the copy of a memory
// strip (CopyBuffer) and the name of a file transfer (TWainTempFileName).
//
// Every step is written to the TWAIN log when TWainLogFileName is set (it starts empty).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "rastova/core/RVDefs.h"
#include "rastova/io/RVSane.h"

namespace rv {

class TRVBitmap;
class TIOParamsVals;

// ---- TWAIN records (TWAIN 1.9 layouts, packed to two bytes)
#pragma pack(push, 2)
struct TW_VERSION {
  uint16_t MajorNum;
  uint16_t MinorNum;
  uint16_t Language;
  uint16_t Country;
  char Info[34];
};
struct TW_IDENTITY {
  uint32_t Id;
  TW_VERSION Version;
  uint16_t ProtocolMajor;
  uint16_t ProtocolMinor;
  uint32_t SupportedGroups;
  char Manufacturer[34];
  char ProductFamily[34];
  char ProductName[34];
};
struct TW_FIX32 {
  int16_t Whole;
  uint16_t Frac;
};
struct TW_IMAGEINFO {
  TW_FIX32 XResolution;
  TW_FIX32 YResolution;
  int32_t ImageWidth;
  int32_t ImageLength;
  int16_t SamplesPerPixel;
  int16_t BitsPerSample[8];
  int16_t BitsPerPixel;
  uint16_t Planar;
  int16_t PixelType;
  uint16_t Compression;
};
struct TW_MEMORY {
  uint32_t Flags;
  uint32_t Length;
  void* TheMem;
};
struct TW_IMAGEMEMXFER {
  uint16_t Compression;
  uint32_t BytesPerRow;
  uint32_t Columns;
  uint32_t Rows;
  uint32_t XOffset;
  uint32_t YOffset;
  uint32_t BytesWritten;
  TW_MEMORY Memory;
};
#pragma pack(pop)
static_assert(sizeof(TW_IDENTITY) == 156);
static_assert(offsetof(TW_IDENTITY, ProtocolMajor) == 46 && offsetof(TW_IDENTITY, SupportedGroups) == 50);
static_assert(offsetof(TW_IDENTITY, ProductName) == 122);
static_assert(sizeof(TW_IMAGEINFO) == 42);

// Return codes and condition codes.
constexpr uint16_t TWRC_SUCCESS = 0;
constexpr uint16_t TWRC_FAILURE = 1;
constexpr uint16_t TWRC_ENDOFLIST = 7;
constexpr uint16_t TWCC_SUCCESS = 0;
constexpr uint16_t TWCC_BUMMER = 1;
constexpr uint16_t TWCC_LOWMEMORY = 2;
constexpr uint16_t TWCC_MAXCONNECTIONS = 4;
constexpr uint16_t TWCC_OPERATIONERROR = 5;
constexpr uint16_t TWCC_BADPROTOCOL = 9;
constexpr uint16_t TWCC_BADVALUE = 10;
constexpr uint16_t TWCC_DENIED = 16;
constexpr uint16_t TWCC_PAPERJAM = 20;
// Pixel types, compression and file formats used by the transfer steps.
constexpr int16_t TWPT_BW = 0;
constexpr int16_t TWPT_RGB = 2;
constexpr uint16_t TWCP_NONE = 0;

// What survives between listings: the library reference, held from the first listing until
// FreeTWainResources. `Library` chooses the library (nullptr: libsane).
struct TRVTWainKeptHandles {
  const TRVSaneEntryPoints* Library = nullptr;
  bool Loaded = false;
  const TRVSaneEntryPoints* Entry = nullptr;
  SANE_Int Version = 0;
};

// The scanner parameters' record of the last failure: the condition code and its text.
struct TRVTWainLastError {
  int32_t Code = 0;
  std::string Text;
};

// One operation's context.
struct TRVTWainContext {
  int32_t State = 1;  // 1 nothing loaded, 2 manager loaded, 3 manager open
  const TRVSaneEntryPoints* Entry = nullptr;
  uint16_t ReturnCode = TWRC_FAILURE;
  uint16_t ConditionCode = TWCC_SUCCESS;
  TW_IDENTITY AppId{};
  TW_IDENTITY SourceId{};
  TRVTWainLastError* LastError = nullptr;
};

// The TWAIN text of a condition code; "Unknown Condition <n>" for other numbers.
std::string TWainConditionText(int32_t code);
// The condition a failing status of the scanner library stands for.
uint16_t SaneStatusCondition(SANE_Status status);

// The log file; empty (the start) writes nothing.
extern std::string TWainLogFileName;
// Appends date, time, " : " and Text to the log; the log's file errors raise EInOutError.
void TWainLog(const std::string& Text);

void InitTWainContext(TRVTWainContext& context);
bool RVTW_LoadSourceManager(TRVTWainContext& context, TRVTWainKeptHandles& kept);
// Forced: the library reference is let go and the kept handles cleared. Not forced: the
// context forgets the library, the kept handles keep it.
bool RVTW_UnloadSourceManager(TRVTWainContext& context, TRVTWainKeptHandles& kept, bool force);
bool RVTW_OpenSourceManager(TRVTWainContext& context);
bool RVTW_CloseSourceManager(TRVTWainContext& context);

// Fills List with one identity per local device that has a model (the product name), keeping
// the library open in `kept`. A failing step leaves the list as far as it came and its
// condition in `lastError` when given.
void FillTWainSourceList(std::vector<TW_IDENTITY>& List, TRVTWainKeptHandles& kept,
                         TRVTWainLastError* lastError = nullptr);
// Ends the library session the kept handles hold.
void FreeTWainResources(TRVTWainKeptHandles& kept);

// ---- window-free steps of a transfer

enum class TRVTWainImageInfoResult : uint8_t { Ready, UnknownSize, Abort };

// Takes a source's image information into the parameters (bits and samples per pixel,
// resolutions, sizes; the colour map freed) and prepares the bitmap's size and pixel format
// for it. A memory transfer of planar, compressed or non-grey, non-RGB data becomes a native
// one (transferMode 0 native, 1 memory, 2 file). Sizes of 0 abort; a negative size (unknown)
// leaves the bitmap alone.
TRVTWainImageInfoResult XferReadyImageInfo(const TW_IMAGEINFO& info, int32_t& transferMode,
                                           bool nativePixelFormat, TIOParamsVals& params, TRVBitmap& bitmap);

// Copies one memory strip of `bitsPerPixel` data into the bitmap prepared by
// XferReadyImageInfo at its offsets, clipped to the bitmap on both axes and to the strip's
// BytesPerRow x Rows (and its memory's length).
void CopyBuffer(const TW_IMAGEMEMXFER& strip, int32_t bitsPerPixel, bool nativePixelFormat,
                TRVBitmap& bitmap);

// The file of a file transfer: a temporary name with ".bmp"; shorter fallbacks past 254
// characters.
std::string TWainTempFileName();

}  // namespace rv
