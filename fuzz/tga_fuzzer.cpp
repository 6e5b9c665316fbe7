// The Targa reader; the first byte chooses whether alpha is ignored and whether only the
// parameters are read.
#include <memory>

#include "fuzz/FuzzSupport.h"
#include "rastova/codecs/rvtgafil.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::StartImageLibrary();
  const unsigned mode = zephor_fuzz::TakeChoice(data, size, 4);
  rv::TRVMemStream stream(data, static_cast<int64_t>(size));
  rv::TRVBitmap bitmap;
  rv::TIOParamsVals params;
  rv::TRVProgressRec progress;
  std::unique_ptr<rv::TRVMask> alpha;
  rv::ReadTGAStream(stream, bitmap, params, (mode & 1) != 0, alpha, (mode & 2) != 0, progress);
  return 0;
}
