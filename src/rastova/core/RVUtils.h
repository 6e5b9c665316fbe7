#pragma once
// Free routines shared by the image buffer, the codecs, the I/O front end and the view:
// bit and row arithmetic, byte order, powers, colour conversions (CIELab, HSL, CMYK),
// distances for hit testing, encoders for the PostScript and PDF writers, locale-proof
// number text, memory blocks, file and system queries, XMP packets and sorting helpers.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "rastova/core/RVDefs.h"

namespace rv {

class TStream;

// ---------------------------------------------------------------- numbers and bits

inline int32_t IntMin(int32_t a, int32_t b) { return a < b ? a : b; }
inline int32_t IntMax(int32_t a, int32_t b) { return a > b ? a : b; }
// The lower bound is tested first.
inline int32_t IntClamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }
inline double FloatMin(double a, double b) { return a < b ? a : b; }
inline double FloatMax(double a, double b) { return a > b ? a : b; }
inline uint8_t ClampToByte(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }
// Trunc(v) + 1 when the fractional part is positive, else Trunc(v) (saturating).
int32_t CeilToInt(long double value);
inline void SwapIntValues(int32_t& a, int32_t& b) { int32_t t = a; a = b; b = t; }
inline void SwapByteValues(uint8_t& a, uint8_t& b) { uint8_t t = a; a = b; b = t; }
// Swaps the x values when x2 < x1 and the y values when y2 < y1.
void OrderRectCorners(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2);

// Bit n of a byte buffer, most significant bit of each byte first.
inline bool GetBufferBit(const void* buffer, int64_t n) {
  return (static_cast<const uint8_t*>(buffer)[n >> 3] & (0x80 >> (n & 7))) != 0;
}
inline void SetBufferBit(void* buffer, int64_t n, bool value) {
  uint8_t& b = static_cast<uint8_t*>(buffer)[n >> 3];
  if (value) b |= static_cast<uint8_t>(0x80 >> (n & 7));
  else b &= static_cast<uint8_t>(~(0x80 >> (n & 7)));
}
// Copies `bitCount` bits (most significant first) from bit `sourceBit` of `source` to bit
// `destBit` of `dest`, keeping the destination bits outside the run.
void CopyBitBlock(const void* source, void* dest, int64_t sourceBit, int64_t destBit, int64_t bitCount);

// Width of a channel's bit-field mask: the run of set bits from the lowest set bit among bits
// 0..30 upward (0 for 0, 32 for 0xFFFFFFFF).
int32_t BitMaskWidth(uint32_t mask);
// -1 for 0, k for 2^k, otherwise the index of the highest set bit plus 1.
int32_t CeilLog2(uint32_t n);
// Bytes per row, computed in 64 bits (a negative or overflowing size gives 0 or the true value).
int64_t AlignedRowLength64(int64_t width, int32_t bitsPerPixel, int32_t alignBits);
// The same saturated to the 32-bit range (callers that need the exact value use the 64-bit form).
int32_t AlignedRowLength(int32_t width, int32_t bitsPerPixel, int32_t alignBits);
int32_t PixelFormatBitCount(TPixelFormat format);
TRVPixelFormat PixelFormatToRVFormat(TPixelFormat format);
int32_t BitmapRowLength(int32_t width, TPixelFormat format);
// 2^(bitsPerSample * samplesPerPixel), 1 when samplesPerPixel <= 0, saturated to 32 bits.
int32_t BitDepthColorCount(int32_t bitsPerSample, int32_t samplesPerPixel);
void ReverseBitsInByte(uint8_t& b);
void ReverseBits32(uint32_t& v);
inline uint16_t SwapBytes16(uint16_t v) { return static_cast<uint16_t>((v >> 8) | (v << 8)); }
void ByteSwap16Array(uint16_t* p, int64_t n);
inline uint32_t ByteSwap32(uint32_t v) { return __builtin_bswap32(v); }
inline uint16_t ByteSwap16If(uint16_t v, bool swap) { return swap ? SwapBytes16(v) : v; }
inline uint32_t ByteSwap32If(uint32_t v, bool swap) { return swap ? ByteSwap32(v) : v; }

// ---------------------------------------------------------------- powers

long double FloatIntPower(int32_t n, long double x);
long double FloatPower(long double base, long double exponent);
long double DoublePower(double base, double exponent);

// ---------------------------------------------------------------- colours

TRGB MakeRGB(uint8_t red, uint8_t green, uint8_t blue);
TRGB48 MakeRGB48(uint16_t red, uint16_t green, uint16_t blue);
// Blue in bits 0-7, green 8-15, red 16-23, the fourth byte in 24-31.
uint32_t MakeRGBA(uint8_t red, uint8_t green, uint8_t blue, uint8_t fourth);
TCMYK MakeCMYK(uint8_t c, uint8_t m, uint8_t y, uint8_t k);
inline bool SameRGB(const TRGB& a, const TRGB& b) { return a == b; }
inline uint32_t PackRGB(const TRGB& c) { return (uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | c.b; }
inline TRGB UnpackRGB(uint32_t v) {
  return TRGB{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16)};
}

// Resolves a system colour (negative TColor) to RGB through the hook the platform layer
// installs (a fixed table by default), then stores red from bits 0-7, green 8-15, blue 16-23.
using TSystemColorResolver = uint32_t (*)(TColor color);
void SetSystemColorResolver(TSystemColorResolver resolver);
void ColorToTRGB(TColor color, TRGB& value);
TRGB ColorToTRGB(TColor color);
TColor RGBToColor(const TRGB& value);
// (red * 21 + green * 71 + blue * 8) div 100 with the library's weights.
int32_t RGBToGrayLevel(uint32_t packedRGB);

// Hue, saturation and lightness in 0..1 (hue and saturation 0 for greys).
void TRGBToHSL(double& hue, double& saturation, double& lightness, uint32_t packedRGB);
// Hue wrapped into 0..1, saturation and lightness clamped; channels rounded (halves to even).
void HSLToTRGB(TRGB& value, double lightness, double saturation, double hue);

void RGBToCIELab(uint32_t packedRGB, TCIELab& lab);
// `lab` packed as L in bits 0-7, a in 8-15, b in 16-23.
void CIELabToRGB(uint32_t lab, TRGB& rgb);
inline uint32_t PackLab(const TCIELab& l) {
  return uint32_t(l.l) | (uint32_t(uint8_t(l.a)) << 8) | (uint32_t(uint8_t(l.b)) << 16);
}

// CMYK with inverted ink amounts. Plain formulas unless the I/O front end installs its
// colour-managed conversions.
using TCMYKToRGBHook = bool (*)(const TCMYK& cmyk, TRGB& rgb);
using TRGBToCMYKHook = bool (*)(const TRGB& rgb, TCMYK& cmyk);
void SetCMYKConversionHooks(TCMYKToRGBHook toRGB, TRGBToCMYKHook toCMYK);
TRGB CMYKToRGB(const TCMYK& value);
TCMYK RGBToCMYK(uint32_t packedRGB);

// Index among the first `count` entries with the smallest sum of channel differences; the
// first wins a tie; 0 for an empty palette.
int32_t NearestPaletteIndex(const TRGB* palette, int32_t count, const TRGB& colour);
void SwapRedBlue(void* pixels, int64_t count);
void SwapRedBlue48(void* pixels, int64_t count);
void CopyBGRToRGB(void* dest, const void* source, int64_t count);
void SwapPaletteRedBlue(TRGB* palette, int32_t count);
// Dst[2] = R, Dst[1] = G, Dst[0] = B from Y, Cb, Cr (truncated, then clamped).
void YCbCrToRGB(uint8_t* dst, int32_t y, int32_t cb, int32_t cr);

// ---------------------------------------------------------------- text and numbers

// Tries the "." form, then with the first "," replaced by "." (or the first "." by ",").
long double StrToFloatDefA(std::string_view s, long double fallback);
// Shortest general form with up to 15 significant digits and "." as separator.
std::string FloatToStrDotA(double value);
inline std::string FloatToStrDot(double value) { return FloatToStrDotA(value); }
// The decimal separator of the process's format settings (the C library's numeric locale,
// which a Qt program takes from the user's settings).
char DecimalSeparatorChar();
// The float formats of FloatToStrFormatted.
enum TFloatFormat : int32_t { ffGeneral = 0, ffExponent = 1, ffFixed = 2, ffNumber = 3, ffCurrency = 4 };
// Number text in the process's format settings (locale-dependent; not for files):
// ffGeneral   the shorter of plain and scientific notation with at most `precision` significant
//             digits, no trailing zeros, plain from 0.0001 up to `precision` digits before the
//             separator, else "d.ddE-x" with at least `digits` (0..4) exponent digits;
// ffExponent  "d.ddddE+xx": `precision` significant digits, a signed exponent of at least
//             `digits` (0..4) digits;
// ffFixed     `digits` (0..18) decimals; the general format when the value has more digits
//             before the separator than `precision`;
// ffNumber    as ffFixed with the thousands separator;
// ffCurrency  as ffNumber with the currency symbol where the settings place it.
// `precision` is taken as 1..18; NaN and the infinities give "NAN", "INF" and "-INF".
std::string FloatToStrFormatted(int32_t format, int32_t precision, int32_t digits, double value);
// Continued-fraction approximation; extreme values use 999,999,999.
void FloatToRational(int32_t& num, int32_t& den, double value, double precision);
std::string IntToStrA(int64_t value);
std::string IntToHexA(uint64_t value, int32_t digits);
int32_t StrToIntDefA(std::string_view text, int32_t fallback);
// Nothing when w or h is 0; else the largest size with the same aspect inside the box, each
// side at least 1.
void FitSizeKeepingAspect(int32_t w, int32_t h, int32_t boxW, int32_t boxH, int32_t& newW, int32_t& newH);
inline int32_t IfThenInt(bool c, int32_t a, int32_t b) { return c ? a : b; }
inline double IfThenFloat(bool c, double a, double b) { return c ? a : b; }
inline char IfThenChar(bool c, char a, char b) { return c ? a : b; }
std::string TrimA(std::string_view s);
std::string UpperCaseA(std::string_view s);
std::string LowerCaseA(std::string_view s);
// 1-based as the file formats count.
std::string CopyA(std::string_view s, int32_t from, int32_t count);
int32_t PosA(std::string_view sub, std::string_view s);
// A new zero-terminated copy of `text`; nullptr for nullptr.
std::unique_ptr<char[]> DuplicatePChar(const char* text);
// Extension of the lower-cased name, with or without its dot; empty when there is none.
std::string ExtractFileExtLower(std::string_view name, bool withDot);
// 1 http://, 2 https://, 3 ftp://, else 0 (case-insensitive).
int32_t GetURLKind(std::string_view name);

// ---------------------------------------------------------------- encoders

// One ASCII85 group of 1..4 bytes; returns the characters written.
int32_t ASCII85EncodeGroup(const uint8_t*& src, int32_t count, uint8_t*& dst);
// Whole buffer with line breaks every 75 characters and the end marker; both pointers advance.
int64_t ASCII85Encode(const uint8_t*& src, int64_t size, uint8_t*& dst, int64_t& counter);
// PostScript/PDF RunLengthDecode data, ending with 128; returns the bytes written.
int64_t RunLengthEncode(const uint8_t* src, int64_t len, uint8_t* dst);
// The most RunLengthEncode writes for `len` bytes. A literal run stops at the first of two equal
// bytes and takes it along, so input such as A B B C C D D ... costs three bytes for every two.
inline int64_t RunLengthEncodeBound(int64_t len) { return len + len / 2 + 3; }
void WriteLineCRLF(TStream& stream, std::string_view text);
void Base64EncodeGroup(const uint8_t* src, char* dst, int32_t count);
// Reads the stream from its position to its end and appends Base64 lines ending in CR LF.
void WriteBase64Lines(TStream& stream, std::string& output, int32_t lineLength);

// ---------------------------------------------------------------- files and system

// A regular file (not a directory) of that UTF-8 name exists.
bool FileExistsUnicode(const std::string& name);
bool FileExistsWide(const std::u16string& name);
// Total (or available) physical memory in bytes; 0 when unknown.
int64_t GetPhysicalMemory(bool available);
// No remote sessions on this platform: always false.
bool IsRemoteSession();
// The directory for temporary files: TempDirectory, else the system's (with a trailing "/").
std::string TemporaryDirectory();

// ---------------------------------------------------------------- memory

// Tagged blocks: one tag byte in front of the caller's memory (0 heap, 1 zero-filled block).
void* AllocBlock(int64_t size);
void FreeBlock(void*& p);
// nullptr instead of an out-of-memory error.
void TryGetMem(void*& p, int64_t size);
void* GlobalAllocZeroed(int64_t size);
void GlobalFreeAndNil(void*& p);

// ---------------------------------------------------------------- XMP

// The address after the first zero byte when the data starts with the XMP namespace
// identifier of JPEG APP1 segments and is at least 30 bytes long; else nullptr.
const uint8_t* FindXMPPacket(const uint8_t* data, int64_t len);
// The packet becomes `xmpInfo`; false and nothing changed when it is no XMP segment.
bool ReadXMPMarker(const uint8_t* data, int64_t len, std::string& xmpInfo);
// The namespace identifier, a zero byte, then the XMP text.
std::vector<uint8_t> BuildXMPMarker(const std::string& xmpInfo);

// ---------------------------------------------------------------- sorting and lists

using TIndexCompare = int32_t (*)(void* data, int32_t a, int32_t b);
using TIndexExchange = void (*)(void* data, int32_t a, int32_t b);
void QuickSortIndexed(int32_t l, int32_t r, TIndexCompare compare, void* compareData,
                      TIndexExchange exchange, void* exchangeData);
void SortIndexed(int32_t count, TIndexCompare compare, void* compareData, TIndexExchange exchange,
                 void* exchangeData);
void CopyTList(const std::vector<void*>& source, std::vector<void*>& dest);
bool SameGUID(const void* a, const void* b);

// ---------------------------------------------------------------- geometry

// Square roots of 64-bit squares: exact for any 32-bit coordinates.
long double PointDistance(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
double DistanceToLine(int32_t px, int32_t py, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
double DistanceToSegment(int32_t px, int32_t py, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
struct TRVPoint {
  int32_t x = 0, y = 0;
};
double DistanceToPolyline(int32_t px, int32_t py, const TRVPoint* points, int32_t count, bool closed,
                          int32_t width, double xScale, double yScale, int32_t xOffset, int32_t yOffset,
                          int32_t xOrigin, int32_t yOrigin);
void SnapToAxisOrDiagonal(int32_t x0, int32_t y0, int32_t& x, int32_t& y);
bool RectsOverlap(int32_t ax1, int32_t ay1, int32_t ax2, int32_t ay2, int32_t left, int32_t top,
                  int32_t right, int32_t bottom);
bool PointInRectangle(int32_t x, int32_t y, int32_t left, int32_t top, int32_t right, int32_t bottom);
bool PointInNormalizedRect(int32_t x, int32_t y, int32_t x1, int32_t y1, int32_t x2, int32_t y2);

// Always 9 ("any other version") on this platform.
uint8_t GetWindowsVersionCode();

}  // namespace rv
