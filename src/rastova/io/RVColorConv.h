#pragma once
// CMYK and pixel-row colour conversions of the image library.
//
// The single-pixel conversions are the core's CMYKToRGB and RGBToCMYK (RVUtils.h): once the
// I/O start-up has run they go through a CMYK colour profile while the CMYK-conversion switch
// is on and the profile loads, and use the plain formulas otherwise. ConvertPixelRow converts
// rows from a reader's colour format to the library's 24-bit form (or from it to CMYK, CIELab
// or grey); the codecs reach it through their colour-conversion hook.
//
// Row format codes (the codes of TRVICC::Transform):
//   0 R,G,B   1 B,G,R (rv24RGB)   2 TCMYK (inverted ink)   3 6-byte units, first 4 plain ink C,M,Y,K
//   4 CIELab  5 grey   6 16-bit R,G,B little-endian   7 16-bit R,G,B big-endian   8 Y,Cb,Cr
#include <cstdint>
#include <string>

#include "rastova/core/RVDefs.h"

namespace rv {

class TIOParamsVals;

// The CMYK-conversion switch: the single-pixel and CMYK row conversions go through the CMYK
// profile while it is on (set at start-up).
extern bool CMYKConversionOn;

// Where the CMYK profile is read from: a freely licensed SWOP profile that the system's
// PostScript interpreter ships (Debian package libgs-common).
extern const char* const kCMYKProfileFileName;

// Loads the CMYK profile and an sRGB profile and creates both transforms, once; false when the
// profile cannot be loaded (the formulas are used then).
bool LoadCMYKProfile();
// Frees both profiles and their transforms.
void FreeCMYKProfiles();

// The colour-managed single-pixel conversions the start-up installs into the core; false when
// the switch is off or the profile does not load.
bool ManagedCMYKToRGB(const TCMYK& cmyk, TRGB& rgb);
bool ManagedRGBToCMYK(const TRGB& rgb, TCMYK& cmyk);

// Converts `count` pixels from `source` to `dest`. Colour-managed through the profiles of
// `params` when row colour management is on and its input profile is valid and not yet applied;
// otherwise by the fixed conversions. Pairs without a conversion leave `dest` untouched.
// Source format 3 is inverted in place in the caller's buffer.
void ConvertPixelRow(void* source, uint8_t sourceFormat, void* dest, TIOParamsVals* params, int32_t count,
                     uint8_t destFormat);

}  // namespace rv
