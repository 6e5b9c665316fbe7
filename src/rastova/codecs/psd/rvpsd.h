#pragma once
// Photoshop documents (PSD): the header, the palette, the image resources (resolution, IPTC,
// JPEG thumbnail, ICC profile, transparency index, XMP), the layers with their masks and the
// merged image, in every colour mode at 1, 8 and 16 bits, raw or PackBits coded. The reader is in
// rvpsd.cpp, the writer in rvpsdw.cpp; the PackBits coders are those of the TIFF and DICOM codecs.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVDefs.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TStream;
// The resampling filters (RVResample.h); 0 is rfNone.
enum TResampleFilter : uint8_t;

// One layer of a document as the codec reads and writes it; an image view takes it over into
// its own layer. A mask layer (IsMask) is the user mask of the layer before it in the list.
struct TPSDLayer {
  std::unique_ptr<TRVBitmap> Bitmap = std::make_unique<TRVBitmap>();
  int32_t Left = 0, Top = 0;
  uint8_t Opacity = 255;
  bool Visible = true;
  std::string Name;  // 8-bit, at most 255 bytes written
  bool IsMask = false;
  bool ClipBase = false;
  TResampleFilter ResampleFilter{};
  bool UseResampleFilter = false;
  // The size the layer is shown at: DisplayWidth and DisplayHeight when set (above 0), else
  // its bitmap's size. The writer resamples a bitmap of another size to it.
  int32_t DisplayWidth = 0, DisplayHeight = 0;
  int32_t Width() const { return DisplayWidth > 0 ? DisplayWidth : Bitmap->GetWidth(); }
  int32_t Height() const { return DisplayHeight > 0 ? DisplayHeight : Bitmap->GetHeight(); }
};
using TPSDLayerList = std::vector<std::unique_ptr<TPSDLayer>>;

// The 26-byte header: "8BPS", version 1, 1 to 24 channels, depth 1 to 16, colour mode below 10.
// The position is restored.
bool IsPSDStream(TStream& stream);

// Reads the document at the stream's position. The merged image goes into `bitmap` (nullptr:
// parameters only) when there is no layer list, when `readLayers` is false, or when no layer was
// read; layers are appended to `layers`. Documents of two or more layers skip their layers when
// `readLayers` is false. Without NativePixelFormat every bitmap that is not 1-bit becomes
// rv24RGB, through the ICC profiles when the document has one and colour management is on.
// Sizes, counts and lengths the data cannot hold set the abort flag before anything is allocated.
void ReadPSDStream(TStream& stream, TRVBitmap* bitmap, TIOParamsVals& params, TPSDLayerList* layers, bool readLayers,
                   TRVProgressRec& progress);

// Writes the merged bitmap with the layers (which may be empty) as one document. A bitmap whose
// pixel format has no colour mode (none, rv32f) sets the abort flag and writes nothing; rv32RGB is
// written as rv24RGB. A short write sets the abort flag.
void WritePSDStream(TStream& stream, TIOParamsVals& params, TRVProgressRec& progress, TPSDLayerList& layers,
                    TRVBitmap& bitmap);

// One PackBits row of at most `srcLen` bytes into `dest` (`destLen` bytes, never written past;
// what the source does not reach is zero).
void PackBitsDecodeRow(const uint8_t* src, int64_t srcLen, uint8_t* dest, int64_t destLen);

}  // namespace rv
