#include "editor/input/SpaceMouse.h"

#include <cmath>

#include "scene3d/scene/core/GLBaseSceneObject.h"
#include "settings/AppSettings.h"

namespace editor {

namespace {

// The stepped value of the axis a setting names; 0 for an index outside the six axes.
int32_t Axis(const platform::Sp3dState& state, int index) {
  return index >= 0 && index < 6 ? state.Axes[index] : 0;
}

}  // namespace

void PollSpaceMouse(gl3d::TGLCamera& camera) {
  try {
    if (!platform::Sp3dPresent) return;
    platform::Sp3dState state;
    platform::Sp3dRead(state);
    PollSpaceMouse(camera, state);
  } catch (...) {
  }
}

void PollSpaceMouse(gl3d::TGLCamera& camera, const platform::Sp3dState& state) {
  try {
    if (state.ResetKey) {
      camera.SetFocalLength(100);
      camera.Position()->SetPoint(0, 0, 3);
      return;
    }
    const settings::TAppSettings& s = settings::AppSettings;
    const int32_t zoom = Axis(state, s.FocalLength);
    const int32_t pitch = Axis(state, s.AroundTargetX);
    const int32_t turn = Axis(state, s.AroundTargetY);
    if (zoom == 0 && pitch == 0 && turn == 0) return;
    double f = camera.FocalLength() * std::pow(s.PreViewZoom, zoom / 120.0);
    if (!(f >= 50))
      f = 50;
    else if (f > 300)
      f = 300;
    camera.MoveAroundTarget(static_cast<float>(-pitch * 0.05), static_cast<float>(-turn * 0.05));
    camera.SetFocalLength(static_cast<float>(f));
  } catch (...) {
  }
}

}  // namespace editor
