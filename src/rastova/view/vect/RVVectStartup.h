#pragma once
// The vector layer's unit start-up and shut-down (the Vect step of the image library's start-up).
// For now it fills the text editor's twelve Ctrl shortcuts (TextControlShortcuts).
namespace rv {

void RVVectStartup();
void RVVectShutdown();

}  // namespace rv
