#pragma once
// What the parts of the DICOM reader share: the working record of one read and the decoders of
// the pixel layouts (rvdicom.cpp parses, DicomPixels.cpp decodes frames).
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;
class TStream;

namespace dicom {

// The reader's working record, one per call.
struct TDICOMContext {
  TIOParamsVals* params = nullptr;
  TRVBitmap* bitmap = nullptr;  // decoded into
  TRVProgressRec* progress = nullptr;
  TStream* stream = nullptr;    // buffered; position 0 is where the data set starts
  int64_t size = 0;
  bool noPreamble = false;
  bool littleEndian = true;
  std::string transferSyntax;
  char pixelVR[2] = {0, 0};  // the pixel data element's value representation
  int32_t samplesPerPixel = 1;
  std::string photometric;  // trimmed, upper case
  int32_t planarConfiguration = 0;
  int32_t frames = 1;
  int32_t pixelRepresentation = 0;
  int32_t columns = 0, rows = 0;
  int32_t bitsAllocated = 0, bitsStored = 0, bytesPerSample = 0;
  std::vector<uint16_t> lut[3];  // red, green, blue
  double windowCentre = -1, windowWidth = -1;
  double rescaleIntercept = 0, rescaleSlope = 1;
};

// The product of sizes read from the file, or -1 when it does not fit 64 bits (or a factor is
// negative): sizes are multiplied only through this.
int64_t CheckedProduct(std::initializer_list<int64_t> factors);

extern const char* const kTSImplicitLE;
extern const char* const kTSExplicitLE;
extern const char* const kTSExplicitBE;

// Bytes of one native frame; -1 when the product does not fit 64 bits.
int64_t FrameBytes(const TDICOMContext& c);
void StoreImageParams(TDICOMContext& c);
// Selects frame ImageIndex of the pixel data whose value starts at `valueStart` and decodes it.
void DecodePixelData(TDICOMContext& c, int64_t valueStart, int64_t elementLength);

// The layouts; each checks the data it needs before it allocates anything.
void DecodeNativeFrame(TDICOMContext& c);
void DecodeRLEFrame(TDICOMContext& c, const std::vector<uint8_t>& frame);
void DecodeLosslessFrame(TDICOMContext& c, const std::vector<uint8_t>& frame);
// The 8-bit window (or stretch) and the MONOCHROME1 inversion of a grey picture a codec decoded.
void FinishGrey8(TDICOMContext& c);
// The window (or stretch) and inversion of a grey JPEG 2000 frame decoded to its sample values
// (rv16g): 16-bit when Bits Stored is above 8, else 8-bit samples in an rv24RGB picture.
void FinishJ2000Grey(TDICOMContext& c);

}  // namespace dicom
}  // namespace rv
