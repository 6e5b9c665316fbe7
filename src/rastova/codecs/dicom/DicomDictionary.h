#pragma once
// The DICOM data dictionary as the reader needs it: the value representation of each public data
// element, with "xs" where the file gives the representation (the pixel data and the elements of
// two representations) and "!!" for the item and delimitation elements. The table is generated
// (DicomDictionary.cpp, by scripts/gen-dicom-dictionary.py) and sorted by group, then element.
#include <cstdint>

namespace rv {

struct TDicomDictEntry {
  uint16_t group;
  uint16_t element;
  char vr[2];
};

extern const TDicomDictEntry kDicomDictionary[];
extern const int32_t kDicomDictionaryCount;

// The representation of an element, found by halving; "xs" for elements not in the table.
const char* DicomDictionaryVR(uint16_t group, uint16_t element, char (&vr)[3]);

}  // namespace rv
