#include "rastova/core/filter/RVFilterPresets.h"

namespace rv {

std::vector<TFilter3x3> FilterPresets;
std::vector<std::string> FilterPresetNames;

void CreateFilterPresets() {
  FilterPresets.assign(std::begin(kFilterPresetTable), std::end(kFilterPresetTable));
  FilterPresetNames.assign(std::begin(kFilterPresetTableNames), std::end(kFilterPresetTableNames));
}

void FreeFilterPresets() {
  FilterPresets.clear();
  FilterPresets.shrink_to_fit();
  FilterPresetNames.clear();
  FilterPresetNames.shrink_to_fit();
}

}  // namespace rv
