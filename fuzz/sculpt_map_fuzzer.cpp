// The sculpt-map reader on a picture file; the first byte chooses the file's extension and
// the forced stitch type.
#include <exception>

#include "fuzz/FuzzSupport.h"
#include "fuzz/ImageInput.h"
#include "shape/SculptImage.h"
#include "shape/model/uScPrim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::StartImageLibrary();
  static const char* const kExtensions[] = {".png", ".tga", ".bmp", ".jpg"};
  const unsigned choice = zephor_fuzz::TakeChoice(data, size, 20);
  const zephor_fuzz::TempFile file("sculpt", kExtensions[choice % 4], data, size);
  if (file.Name().empty()) return 0;
  shape::TCS cs;
  shape::InitShape(cs, shape::SCTYPE_SPHERE, 9, 9);
  try {
    shape::ReadSculptImage(cs, file.Name(), static_cast<int32_t>(choice / 4) - 1);
  } catch (const std::exception&) {
  }
  return 0;
}
