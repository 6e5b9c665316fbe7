#include "rastova/codecs/MemoryReaders.h"

#include <memory>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/codecs/bitmaps/icofilt.h"
#include "rastova/codecs/bitmaps/pcxfilter.h"
#include "rastova/codecs/bitmaps/pxmfilter.h"
#include "rastova/codecs/bitmaps/rawbmpfilt.h"
#include "rastova/codecs/gif/giffilter.h"
#include "rastova/codecs/gif/giflzw.h"
#include "rastova/codecs/psd/rvpsd.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVStream.h"

namespace rv {

namespace {

// Runs `read` over the memory with a bitmap, parameters and a progress record of its own.
template <typename Read>
bool RunReader(const uint8_t* data, size_t size, Read read) {
  TRVMemStream stream(data, static_cast<int64_t>(size));
  TRVBitmap bitmap;
  TIOParamsVals params;
  TRVProgressRec progress;
  try {
    read(stream, bitmap, params, progress);
  } catch (const std::exception&) {
    return false;
  }
  return !progress.IsAborting();
}

}  // namespace

bool ReadGIFFromMemory(const uint8_t* data, size_t size) {
  return RunReader(data, size, [](TStream& s, TRVBitmap& b, TIOParamsVals& p, TRVProgressRec& pr) {
    p.GIF_LZWDecompress = GIFLZWDecompress;
    int32_t count = 0;
    std::unique_ptr<TRVMask> mask;
    ReadGIFStream(s, b, count, p, pr, false, mask, false);
  });
}

bool ReadPCXFromMemory(const uint8_t* data, size_t size) {
  return RunReader(data, size, [size](TStream& s, TRVBitmap& b, TIOParamsVals& p, TRVProgressRec& pr) {
    ReadPCXStream(s, b, p, static_cast<int64_t>(size), pr, false);
  });
}

bool ReadDCXFromMemory(const uint8_t* data, size_t size) {
  return RunReader(data, size, [](TStream& s, TRVBitmap& b, TIOParamsVals& p, TRVProgressRec& pr) {
    ReadDCXStream(s, b, p, pr, false);
  });
}

bool ReadICOFromMemory(const uint8_t* data, size_t size) {
  return RunReader(data, size, [](TStream& s, TRVBitmap& b, TIOParamsVals& p, TRVProgressRec& pr) {
    std::unique_ptr<TRVMask> mask;
    ReadICOStream(s, b, p, false, pr, mask, false);
  });
}

bool ReadCURFromMemory(const uint8_t* data, size_t size) {
  return RunReader(data, size, [](TStream& s, TRVBitmap& b, TIOParamsVals& p, TRVProgressRec& pr) {
    std::unique_ptr<TRVMask> mask;
    ReadCURStream(s, b, p, false, pr, mask, false);
  });
}

bool ReadPXMFromMemory(const uint8_t* data, size_t size) {
  return RunReader(data, size, [](TStream& s, TRVBitmap& b, TIOParamsVals& p, TRVProgressRec& pr) {
    ReadPXMStream(s, b, p, false, pr);
  });
}

bool ReadWBMPFromMemory(const uint8_t* data, size_t size) {
  return RunReader(data, size, [](TStream& s, TRVBitmap& b, TIOParamsVals& p, TRVProgressRec& pr) {
    ReadWBMPStream(s, b, p, false, pr);
  });
}

bool ReadPSDFromMemory(const uint8_t* data, size_t size) {
  return RunReader(data, size, [](TStream& s, TRVBitmap& b, TIOParamsVals& p, TRVProgressRec& pr) {
    TPSDLayerList layers;
    ReadPSDStream(s, &b, p, &layers, true, pr);
  });
}

bool ReadRawBitmapFromMemory(const uint8_t* data, size_t size) {
  if (size < 2) return false;
  return RunReader(data + 2, size - 2, [data](TStream& s, TRVBitmap& b, TIOParamsVals& p, TRVProgressRec& pr) {
    p.RAWBMP_DataFormat = static_cast<uint8_t>(data[0] % 3);
    p.RAWBMP_Planar = data[1] & 1;
    b.Allocate(17, 5, rv24RGB);
    ReadRawBitmapStream(s, b, p, pr);
  });
}

}  // namespace rv
