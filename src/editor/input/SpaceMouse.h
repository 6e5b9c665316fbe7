#pragma once
// The 3D mouse's share of the main window's idle pass: the device's stepped axes (platform/ui/Sp3d.h)
// turn into camera motion. The "Sp3D" settings choose which axis zooms ("FocalLength") and which
// two orbit ("AroundTargetX" pitches, "AroundTargetY" turns).
#include "platform/ui/Sp3d.h"

namespace gl3d {
class TGLCamera;
}

namespace editor {

// One idle pass: reads the device (Sp3dRead) and moves the camera. Without a device nothing is
// read and the camera is left alone. Every failure inside is swallowed.
void PollSpaceMouse(gl3d::TGLCamera& camera);
// The camera step of one reading:
// - the reset key: focal length 100, position (0, 0, 3);
// - otherwise f := focal length x "PreViewZoom" ^ (zoom axis / 120), below 50 (or NaN) -> 50,
//   above 300 -> 300; orbit by -pitch axis x 0.05 and -turn axis x 0.05 degrees; then the focal
//   length := f.
// When the three axes in use are 0 and the key is up the camera is left alone, so that a device
// at rest does not count as a change of the scene (which would repaint the view on every idle
// pass and keep the program from ever coming to rest). Every failure inside is swallowed.
void PollSpaceMouse(gl3d::TGLCamera& camera, const platform::Sp3dState& state);

}  // namespace editor
