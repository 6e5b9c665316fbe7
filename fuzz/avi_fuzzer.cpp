// The AVI frame reader: the file's lists, headers and index, then a few of its frames, forward
// and back (compressed ones through FFmpeg's demuxer and decoders).
#include <algorithm>
#include <memory>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVAvi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rv::TRVAviFile avi;
  if (!avi.Open(std::make_unique<rv::TRVMemStream>(data, static_cast<int64_t>(size)))) return 0;
  const int32_t count = avi.FrameCount();
  rv::TRVBitmap bitmap;
  for (int32_t f = 0; f < std::min(count, 4); ++f) avi.GetFrame(f, bitmap);
  avi.GetFrame(count - 1, bitmap);
  avi.GetFrame(1, bitmap);
  avi.GetFrame(count, bitmap);
  (void)avi.FrameDelay();
  return 0;
}
