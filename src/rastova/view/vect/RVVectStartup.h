#pragma once
// The vector layer's unit start-up and shut-down (the Vect step of the image library's start-up).
// It registers the vector clipboard format, fills the text editor's twelve Ctrl shortcuts
// (TextControlShortcuts) and creates the extended-object registry, which the shut-down frees.
#include <cstdint>

namespace rv {

// The identifier of the "RASTOVA VECT" clipboard format (0 before the start-up).
extern uint32_t VectClipboardFormat;

void RVVectStartup();
void RVVectShutdown();

}  // namespace rv
