#pragma once
// Shared pixel types, pixel formats and the library-wide defaults of the image library.
#include <cstdint>
#include <string>

namespace rv {

// A 24-bit pixel and palette entry: bytes blue, green, red. Read as a little-endian integer
// it is a "packed RGB": red in bits 16-23, green 8-15, blue 0-7.
struct TRGB {
  uint8_t b = 0, g = 0, r = 0;
  friend bool operator==(const TRGB&, const TRGB&) = default;
};
static_assert(sizeof(TRGB) == 3);

// Three 16-bit words red, green, blue (the reverse order of TRGB).
struct TRGB48 {
  uint16_t r = 0, g = 0, b = 0;
  friend bool operator==(const TRGB48&, const TRGB48&) = default;
};
static_assert(sizeof(TRGB48) == 6);

// Inverted ink amounts: 255 = no ink.
struct TCMYK {
  uint8_t c = 0, m = 0, y = 0, k = 0;
  friend bool operator==(const TCMYK&, const TCMYK&) = default;
};
static_assert(sizeof(TCMYK) == 4);

// L 0..255 for L* 0..100; a and b are signed bytes stored as their low byte.
struct TCIELab {
  uint8_t l = 0;
  int8_t a = 0, b = 0;
  friend bool operator==(const TCIELab&, const TCIELab&) = default;
};
static_assert(sizeof(TCIELab) == 3);

// The platform colour type: red in the low byte; negative values are system colours.
using TColor = int32_t;

// Pixel formats of TRVBitmap; the codes are stored in files and must not change.
enum TRVPixelFormat : uint8_t {
  rvNone = 0,
  rv1g = 1,
  rv8p = 2,
  rv8g = 3,
  rv16g = 4,
  rv24RGB = 5,
  rv32f = 6,
  rvCMYK = 7,
  rv48RGB = 8,
  rvCIELab = 9,
  rv32RGB = 10,
};
constexpr int kRVPixelFormatCount = 11;

// Bits per pixel and samples per pixel of each format.
constexpr int kRVBitCount[kRVPixelFormatCount] = {0, 1, 8, 8, 16, 24, 32, 32, 48, 24, 32};
constexpr int kRVChannelCount[kRVPixelFormatCount] = {0, 1, 1, 1, 1, 3, 1, 4, 3, 3, 4};

// Where the pixels of a TRVBitmap are kept.
enum TRVLocation : uint8_t {
  rvInMemory = 0,
  rvInTempFile = 1,
  rvTBitmap = 2,
};

// Pixel formats of the platform bitmap, by their fixed codes.
enum TPixelFormat : uint8_t {
  pfDevice = 0,
  pf1bit = 1,
  pf4bit = 2,
  pf8bit = 3,
  pf15bit = 4,
  pf16bit = 5,
  pf24bit = 6,
  pf32bit = 7,
  pfCustom = 8,
};

// The language of a dialog's texts. msSystem follows the language of the user's locale;
// msUser is a row an application may fill itself. The codes are stored with the components.
enum TMsgLanguage : uint8_t {
  msSystem = 0,
  msEnglish = 1,
  msItalian = 2,
  msGerman = 3,
  msSpanish = 4,
  msFrench = 5,
  msPortuguese = 6,
  msGreek = 7,
  msRussian = 8,
  msDutch = 9,
  msSwedish = 10,
  msPolish = 11,
  msJapanese = 12,
  msCzech = 13,
  msFinnish = 14,
  msFarsi = 15,
  msChinese = 16,
  msChineseTraditional = 17,
  msDanish = 18,
  msTurkish = 19,
  msKorean = 20,
  msHungarian = 21,
  msUser = 22,
};
constexpr int kMsgLanguageCount = 23;

// ---- Library-wide defaults (set again by every complete start-up) ----

// Grey level = (R * RedToGrayCoef + G * GreenToGrayCoef + B * BlueToGrayCoef) div 100.
extern int32_t RedToGrayCoef;
extern int32_t GreenToGrayCoef;
extern int32_t BlueToGrayCoef;
// Background of the save-parameters preview: 0 none, 1 grey stripes, 2 grey gradient with noise.
extern uint8_t DialogBackgroundStyle;
// The library's version text.
extern const char* const RastovaVersion;

// Resolution that readers store when a file gives none.
extern int32_t DefaultDpiX;
extern int32_t DefaultDpiY;
// The screen's pixels per inch, set by the image view's start-up; 96 until then. The annotation
// writer stores them in the placement block of image marks.
extern int32_t ScreenDpiX;
extern int32_t ScreenDpiY;

// Directory for temporary files, used as it stands (so it ends with a separator); empty means
// the system's temporary directory.
extern std::string TempDirectory;

// Memory threshold handed to every new TRVBitmap; -1: each derives it from the physical memory.
extern int64_t GlobalMemoryThreshold;
// A TRVBitmap whose memory allocation fails moves its pixels to a temporary file.
extern bool AllowFileFallback;
// A TRVBitmap that cannot get one memory block may split its pixels into several blocks.
extern bool AllowMemoryChunks;
// Operating-system version code: always 9 ("any other version") here.
extern uint8_t WindowsVersion;
extern bool WinNTPlatform;
// Smooth ramp 0..128 used by the blend operations: entry i = round(64 - 64 cos(i pi / 255)).
extern int32_t CosineRampTable[256];

// Grey level of 8-bit channels with the library's weights.
inline int Gray8(int r, int g, int b) {
  return (r * RedToGrayCoef + g * GreenToGrayCoef + b * BlueToGrayCoef) / 100;
}

}  // namespace rv
