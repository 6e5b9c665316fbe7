// The XML object reader on a file; the first byte chooses whether the shape is reset first.
#include "fuzz/FuzzSupport.h"
#include "fuzz/ImageInput.h"
#include "fuzz/ShapeInput.h"
#include "shape/XmlObject.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::StartImageLibrary();
  const unsigned choice = zephor_fuzz::TakeChoice(data, size, 2);
  const zephor_fuzz::TempFile file("xml-object", ".xml", data, size);
  if (file.Name().empty()) return 0;
  shape::TCS& cs = zephor_fuzz::FreshShape(shape::SCTYPE_PLANE, 9, 9);
  shape::ReadXmlObject(cs, file.Name(), choice == 1);
  return 0;
}
