#pragma once
// The layers file (file type 26, "LYR") of the I/O component, served by the image view.

namespace rv {

// Gives the I/O component the layers file's operations; the view library's start-up
// registration calls it before the I/O start-up builds the format registry.
void InstallLayersFormat();

}  // namespace rv
