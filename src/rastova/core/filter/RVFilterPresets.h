#pragma once
// The nine predefined 3 x 3 filters of the processing dialogs and their names. The constant
// table is the source; the library-wide lists are built from it by the processing module's
// start-up (RastovaProcStartup) and emptied by its shut-down.
#include <cstdint>
#include <string>
#include <vector>

#include "rastova/core/RVColorReduce.h"

namespace rv {

constexpr int32_t kFilterPresetCount = 9;
// Indices of the presets the library itself uses.
constexpr int32_t kFilterPresetNone = 0;
constexpr int32_t kFilterPresetBlur = 1;

// Coefficients row by row from the top left, then the divisor (0 is taken as 1 by the filter).
inline constexpr TFilter3x3 kFilterPresetTable[kFilterPresetCount] = {
    {{0, 0, 0, 0, 1, 0, 0, 0, 0}, 0},          // None
    {{1, 1, 1, 1, 1, 1, 1, 1, 1}, 9},          // Blur
    {{1, 1, 1, 1, -8, 1, 1, 1, 1}, 1},         // Edges
    {{-1, 0, 1, -1, 1, 1, -1, 0, 1}, 1},       // Emboss
    {{0, -1, 0, -1, 5, -1, 0, -1, 0}, 1},      // High Pass 1
    {{-1, -1, -1, -1, 9, -1, -1, -1, -1}, 1},  // High Pass 2
    {{1, -2, 1, -2, 5, -2, 1, -2, 1}, 1},      // High Pass 3
    {{1, 1, 1, 1, 1, 1, 1, 1, 1}, 10},         // Low Pass 1
    {{1, 2, 1, 2, 4, 2, 1, 2, 1}, 16},         // Low Pass 2
};
inline constexpr const char* kFilterPresetTableNames[kFilterPresetCount] = {
    "None",        "Blur",        "Edges",      "Emboss",    "High Pass 1",
    "High Pass 2", "High Pass 3", "Low Pass 1", "Low Pass 2"};

// The presets and their names, parallel; empty outside the library's start-up and shut-down.
extern std::vector<TFilter3x3> FilterPresets;
extern std::vector<std::string> FilterPresetNames;

// Fills both lists from the table (again, when they were filled), and empties them.
void CreateFilterPresets();
void FreeFilterPresets();

}  // namespace rv
