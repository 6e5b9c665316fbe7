// The OBJ reader on a file; the first byte chooses the forced stitch type (0 to 3, 4 detects).
#include <exception>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "fuzz/ImageInput.h"
#include "fuzz/ShapeInput.h"
#include "shape/ObjFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::StartImageLibrary();
  const unsigned choice = zephor_fuzz::TakeChoice(data, size, 5);
  const zephor_fuzz::TempFile file("obj", ".obj", data, size);
  if (file.Name().empty()) return 0;
  shape::TCS& cs = zephor_fuzz::FreshShape(shape::SCTYPE_SPHERE, 9, 9);
  std::string mtl;
  try {
    shape::ReadObjFile(cs, file.Name(), mtl, choice == 4 ? -1 : static_cast<int32_t>(choice));
  } catch (const std::exception&) {
  }
  return 0;
}
