#pragma once
// Start-up and shut-down of the image I/O: the format registry, the codecs' hooks, the colour
// conversions and the process-wide I/O settings. They run as the I/O step of the image
// library's ordered start-up, which RegisterRastovaIOStartup adds.
#include <cstdint>

#include "rastova/core/RVDefs.h"
#include "rastova/core/RVQuantizer.h"
#include "rastova/core/RVStream.h"

namespace rv {

// Adds the I/O step, and the codecs' steps it relies on, to the library's start-up (once,
// before the library starts).
void RegisterRastovaIOStartup();

void RastovaIOStartup();
void RastovaIOShutdown();
// Whether the start-up could initialise the transfer library used for addresses.
bool URLLibraryLoaded();

// Process-wide settings the start-up sets. Those that the core reads live beside their users:
// ColorReductionMethod and NeuQuantSetting (RVQuantizer.h), BufferedReaderRelative
// (RVStream.h) and TempDirectory (RVDefs.h).
extern int32_t MetafileSizeLimit;

}  // namespace rv
