#pragma once
// The preset images: four built-in decorative frame pictures (a photo frame, a film strip, a
// notebook page, a bevelled frame), each a PNG file held in the program with the rectangle
// inside it where content belongs. The list exists from the image library's start-up (the
// PresetIm step that RegisterRastovaViewStartup adds) to its shut-down.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gfx/Types.h"

namespace rv {

class TRVPresetImage {
 public:
  int32_t Size = 0;               // bytes of the encoded picture
  const uint8_t* Data = nullptr;  // constant data of the program: never copied or freed
  int32_t Format = 8;             // the format registry's file type of the encoding (PNG)
  platform::TRect InnerRect;      // in pixels of the decoded picture
};

// nullptr before the start-up and after the shut-down.
extern std::vector<std::unique_ptr<TRVPresetImage>>* PresetImages;

void CreatePresetImages();
void FreePresetImages();

}  // namespace rv
