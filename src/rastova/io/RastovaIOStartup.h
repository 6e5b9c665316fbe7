#pragma once
// Start-up and shut-down of the image I/O: the format registry, the codecs' hooks, the colour
// conversions and the process-wide I/O settings. They run as the I/O step of the image
// library's ordered start-up, which RegisterRastovaIOStartup adds.
#include <cstdint>

namespace rv {

// Adds the I/O step to the library's start-up (once, before the library starts).
void RegisterRastovaIOStartup();

void RastovaIOStartup();
void RastovaIOShutdown();

// Process-wide settings the start-up sets.
extern int32_t ColorReductionMethod;  // -1: by colour count; 0 NeuQuant; 1 variance
extern int32_t NeuQuantSetting;
extern bool BufferedReaderRelative;
extern int32_t MetafileSizeLimit;

}  // namespace rv
