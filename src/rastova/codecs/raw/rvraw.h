#pragma once
// Camera raw files (file type 20, read only) through LibRaw: the signature test is LibRaw's
// identification; the reader configures LibRaw from the parameters (half size, white balance,
// four-colour interpolation) and asks it for linear 16-bit RGB without its own curve, rotation
// or brightening, then applies its own white point, gamma and brightness curve, trim of one
// pixel per border after interpolation, magnification and Fuji SuperCCD rotation, and collects
// the metadata: EXIF from the file's TIFF structure (RVEXIF.h) or the Canon CRW (CIFF) records,
// with an embedded image as the EXIF thumbnail.
//
// The brightness that LibRaw does not keep per pixel is computed here from the linear output as
// the grey level (red x 21 + green x 71 + blue x 8) / 100, so that a grey pixel keeps its level;
// its histogram of 8,192 bins (brightness / 8) gives the white point.
#include <cstdint>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;
class TStream;

// A camera LibRaw identifies (a TIFF-based file only with sound IFDs, as below); the stream
// position is restored.
bool IsCameraRawStream(TStream& stream);

// Decodes the raw file at the stream's position. `paramsOnly` fills the parameters (size, camera,
// metadata, thumbnail) without decoding and without touching the bitmap. A file LibRaw cannot
// identify or decode sets the abort flag, as do a file that starts with a TIFF header whose IFDs
// run past the data or hold entries of no TIFF type (refused before LibRaw parses it) and a
// cancel through the progress record.
void ReadCameraRawStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress,
                         bool paramsOnly);

// Turns a Fuji SuperCCD image (rv48RGB or rv24RGB) back by 45 degrees, replacing its content.
void FujiRotate48(TRVBitmap& bitmap);
void FujiRotate24(TRVBitmap& bitmap);

// Reads the CIFF records of a Canon CRW file at the stream's position: description, make and
// model, software, pixel dimensions, the 0x102A and 0x102D records as a MakerNote, and the
// smallest embedded JPEG as the EXIF thumbnail. Heaps nest at most a few levels and every
// directory and entry must lie inside its heap; anything else ends the reading quietly.
void ReadCRWMetadata(TStream& stream, TIOParamsVals& params);

// The output curve of the reader: table[i] for i in 0..65535 from the white point, gamma and
// brightness, scaled to 0..255 (or 0..65535 when `sixteenBits`).
void BuildRawCurve(double* table, int32_t white, double gamma, double bright, bool sixteenBits);
// The white point of a brightness histogram of 8,192 bins: walking down from the top, the bin at
// which more than `percentile` of the pixels lie above, times 16 (at least 1).
int32_t RawWhitePoint(const uint32_t* histogram, int64_t pixels, double percentile);

// Reads the raw file in `data` with default parameters (the entry that fuzzing drives); false
// when the read failed.
bool ReadCameraRawFromMemory(const uint8_t* data, int64_t size, TRVBitmap& bitmap);

}  // namespace rv
