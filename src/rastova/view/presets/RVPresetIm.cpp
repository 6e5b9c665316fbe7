#include "rastova/view/presets/RVPresetIm.h"

#include "rastova/io/RVFileFormat.h"

namespace rv {

namespace {
#include "rastova/view/presets/RVPresetImages.inc"

struct TPresetEntry {
  const unsigned char* data;
  int32_t size;
  platform::TRect inner;
};

const TPresetEntry kPresets[] = {
    {kPresetImage0, int32_t(sizeof kPresetImage0), platform::TRect{18, 29, 140, 119}},
    {kPresetImage1, int32_t(sizeof kPresetImage1), platform::TRect{13, 1, 95, 98}},
    {kPresetImage2, int32_t(sizeof kPresetImage2), platform::TRect{30, 14, 147, 92}},
    {kPresetImage3, int32_t(sizeof kPresetImage3), platform::TRect{17, 17, 131, 131}},
};
}  // namespace

std::vector<std::unique_ptr<TRVPresetImage>>* PresetImages = nullptr;

void CreatePresetImages() {
  FreePresetImages();
  PresetImages = new std::vector<std::unique_ptr<TRVPresetImage>>();
  for (const TPresetEntry& e : kPresets) {
    auto p = std::make_unique<TRVPresetImage>();
    p->Size = e.size;
    p->Data = e.data;
    p->Format = ioPNG;
    p->InnerRect = e.inner;
    PresetImages->push_back(std::move(p));
  }
}

void FreePresetImages() {
  delete PresetImages;
  PresetImages = nullptr;
}

}  // namespace rv
