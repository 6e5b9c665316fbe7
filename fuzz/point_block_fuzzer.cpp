// The point clipboard's block, decoded and pasted over a one-point selection of a 33 x 33 grid;
// the first byte chooses the stitch type (bits 0 and 1) and the selected column (the rest).
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "fuzz/ShapeInput.h"
#include "shape/PointClipboard.h"
#include "shape/model/uScSelect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const unsigned choice = zephor_fuzz::TakeChoice(data, size, 256);
  const std::vector<uint8_t> bytes(data, data + size);
  shape::TBitmapClip block;
  if (!shape::DecodePointBlock(bytes, block)) return 0;
  shape::TCS& cs = zephor_fuzz::FreshShape(static_cast<shape::TScType>(choice & 3), 33, 33);
  cs.SP[(choice >> 2) % 33][16] = true;
  shape::CountSelectedPoints(cs);
  shape::PastePointBlock(cs, block);
  return 0;
}
