#pragma once
// The 3D mouse (a six-axis device such as a SpaceNavigator), read through the spacenavd daemon
// with libspnav. The main window connects once at start-up; each idle pass then reads the device
// into an Sp3dState of stepped values (editor/input/SpaceMouse.h turns them into camera motion).
//
// - Sp3dConnect opens the daemon's socket ($SPNAV_SOCKET, else the daemon's default). Without a
//   daemon the feature is absent (Sp3dPresent false) and nothing reports an error. While connected,
//   a socket notifier wakes the event loop when the device sends something, so that the idle pass
//   that reads it follows.
// - Sp3dRead drains the pending events and keeps the last motion (three translations and the
//   rotation vector, i.e. the rotation axis times the angle) and the state of the reset button.
//   A daemon that goes away turns the feature off, without an error.
// - Every value is multiplied by Sp3dScale before it is stepped: spacenavd reports about +-350 at
//   full deflection (SpaceNavigator; a little more on larger devices), so the steps 10 and 40 fall
//   at about a ninth and a half of the travel, the dead zone and the fast zone of the device.
// - Device button Sp3dResetButton (the second button, on the right of a two-button device) is the
//   reset key.
#include <cstdint>

class QObject;

namespace platform {

struct Sp3dState {
  // Stepped values -2..2: 0..2 translation x, y, z; 3..5 rotation axis x, y, z times the angle.
  int32_t Axes[6] = {0, 0, 0, 0, 0, 0};
  // The reset key is down.
  bool ResetKey = false;
};

// Whether a device daemon is connected.
extern bool Sp3dPresent;

inline constexpr double Sp3dScale = 0.25;
inline constexpr int Sp3dResetButton = 1;

// Connects to the daemon (dropping an earlier connection first). The socket notifier is a child
// of `owner` when one is given.
void Sp3dConnect(QObject* owner);
// Not present: every axis 0 and the key up. Otherwise the pending events are drained first.
void Sp3dRead(Sp3dState& state);
// The step of a value: below -40 -> -2; -40 up to below -10 -> -1; -10 up to below 10 -> 0;
// 10 up to below 40 -> 1; 40 and above -> 2. NaN -> 0.
int32_t Sp3dStep(double value);
// Closes the connection; nothing when not present.
void Sp3dDisconnect();

}  // namespace platform
