// Wang annotations: the marks of a TIFF tag's private block, and the block built back from them.
#include "rastova/core/RVImagingAnnot.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rv::TRVImagingAnnot annot;
  annot.LoadFromWangData(data, size);
  annot.SaveToWangData();
  return 0;
}
