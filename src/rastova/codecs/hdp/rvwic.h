#pragma once
// HD Photo (JPEG XR in its TIFF-like container, file type 29) through libjxr: a reader and a
// writer object that drive libjxr's decoder and encoder over a TStream, and the front end's
// ReadHDPStream and WriteHDPStream. Pixel formats: black-and-white, 8- and 16-bit grey, 24-bit
// BGR, 48-bit RGB and 32-bit CMYK are kept (with native formats); every other format is
// converted to 24-bit BGR (32-bit BGRA and 64-bit RGBA by dropping their alpha). EXIF is read from the container's TIFF tags and injected into them
// after a write (RVEXIF.h). libjxr's interface stays inside rvwic.cpp.
#include <cstdint>
#include <memory>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;
class TStream;

// The file type the reader and writer serve.
constexpr int32_t kHDPFileType = 29;

// True when the codec library is there (always, here); computed once.
bool IsWICAvailable();

class TRVWICReader {
 public:
  TRVWICReader();
  ~TRVWICReader();
  TRVWICReader(const TRVWICReader&) = delete;
  TRVWICReader& operator=(const TRVWICReader&) = delete;

  bool IsAvailable() const;
  // Opens a decoder on the stream at its position; false for other file types than HD Photo or a
  // stream libjxr does not take.
  bool Open(TStream& stream, int32_t fileType);
  // Reads frame `index` into the bitmap (and the metadata into `params`, when given); a failure
  // sets the abort flag.
  void ReadFrame(int32_t index, TRVBitmap& bitmap, TRVProgressRec& progress, TIOParamsVals* params);
  // Decodes the current frame into the bitmap in the format of the pixel-format table (native
  // formats, or 24-bit for everything but black-and-white without them); false on failure, which
  // leaves the bitmap as it was.
  bool CopyFrame(TRVBitmap& bitmap, bool native);
  int32_t GetFrameWidth() const;
  int32_t GetFrameHeight() const;
  void Close();
  double DpiX = 0, DpiY = 0;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

class TRVWICWriter {
 public:
  TRVWICWriter();
  ~TRVWICWriter();
  TRVWICWriter(const TRVWICWriter&) = delete;
  TRVWICWriter& operator=(const TRVWICWriter&) = delete;

  bool Open(TStream& stream, int32_t fileType);
  // Encodes the bitmap; false on failure. Formats without an HD Photo counterpart (palette,
  // float, CIELab, 32-bit RGB) fail an assertion.
  bool WriteFrame(TRVBitmap& bitmap, TIOParamsVals* params);
  void Close();

  // Encoder options: the resolution, and the image quality (0 to 1, 1 lossless; negative = the
  // encoder's default) with the lossless switch.
  double DpiX = 0, DpiY = 0;
  double ImageQuality = -1;
  bool Lossless = false;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

void ReadHDPStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress,
                   bool paramsOnly);
void WriteHDPStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress);

// Reads the HD Photo in `data` with default parameters (the entry that fuzzing drives); false
// when the read failed.
bool ReadHDPFromMemory(const uint8_t* data, int64_t size, TRVBitmap& bitmap);

}  // namespace rv
