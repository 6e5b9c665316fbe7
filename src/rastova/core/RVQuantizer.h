#pragma once
// TRVQuantizer: builds a palette of a requested number of colours for an image and maps any
// colour to its palette index afterwards. Depending on the image it takes the image's own
// palette (8-bit palette images), a grey ramp (grey images), the exact colours of a 24-bit
// image when it has few enough, or one of two real quantizers: a variance-splitting box
// quantizer over a 32 x 32 x 32 histogram, or the NeuQuant neural-network quantizer.
//
// Every index GetRGBIndex returns lies inside the palette the quantizer built (or 0 when it
// built none): a colour that is not in the palette maps to the nearest entry.
#include <cstdint>
#include <memory>
#include <vector>

#include "rastova/core/RVDefs.h"

namespace rv {

class TRVBitmap;

// Process-wide settings of every quantizer, set to -1 by the I/O start-up (RastovaIOStartup).
// ColorReductionMethod: -1 automatic (variance split below 128 colours, NeuQuant from 128 up),
// 0 NeuQuant, 1 variance split. NeuQuantSetting, the quality of NeuQuant: -1 automatic, else
// 0..100.
extern int32_t ColorReductionMethod;
extern int32_t NeuQuantSetting;

// What a quantizer ended up doing, for callers and tests.
enum class TRVQuantizerKind : uint8_t {
  None,          // nothing was built (empty image, no colours asked for, other formats)
  ImagePalette,  // the 8-bit palette image's own palette
  GrayRamp,      // grey image: entry i = Trunc(256 / count * i)
  Exact,         // the image's own colours in scan order
  NeuQuant,
  VarianceSplit,
};

class TRVQuantizer {
 public:
  // Builds the palette at once into `palette`, which has room for `colorCount` entries.
  // `unused` is accepted for callers that pass a maximum (134217727) and ignored.
  // Entries beyond the colours actually made keep what the caller put there.
  TRVQuantizer(TRVBitmap& bitmap, int32_t colorCount, int32_t unused, TRGB* palette);
  ~TRVQuantizer();
  TRVQuantizer(const TRVQuantizer&) = delete;
  TRVQuantizer& operator=(const TRVQuantizer&) = delete;

  // The palette index for a colour: always within 0 .. (colours made - 1), or 0 when none.
  int32_t GetRGBIndex(const TRGB& colour);
  int32_t GetRGBIndex(uint32_t packedRGB) { return GetRGBIndex(UnpackColour(packedRGB)); }

  TRVQuantizerKind Kind() const { return kind_; }
  // Number of palette entries actually made (exact colours, boxes, neurons, ramp steps).
  int32_t ColorsMade() const { return made_; }
  // The sampling factor NeuQuant used (0 for the other methods).
  int32_t SamplingFactor() const { return samplingFactor_; }

  struct VarianceState;
  struct NeuQuantState;
  struct ExactList;

 private:
  static TRGB UnpackColour(uint32_t v) {
    return TRGB{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16)};
  }
  bool BuildExactList(TRGB* palette);

  TRVBitmap& bitmap_;
  int32_t colorCount_ = 0;
  bool grey_ = false;
  TRVQuantizerKind kind_ = TRVQuantizerKind::None;
  int32_t made_ = 0;
  int32_t samplingFactor_ = 0;
  std::vector<TRGB> palette_;  // the entries made, for nearest-colour fallbacks
  std::unique_ptr<ExactList> exact_;
  std::unique_ptr<VarianceState> variance_;
  std::unique_ptr<NeuQuantState> neuquant_;
};

// The quantizer as the image buffer's 24-bit to 8-bit-palette conversion: fills `dest8p`
// (allocated rv8p, same size) with indices and a 256-entry palette (unused entries black).
void QuantizeToPalette8(TRVBitmap& source24, TRVBitmap& dest8p, int32_t colorCount);

}  // namespace rv
