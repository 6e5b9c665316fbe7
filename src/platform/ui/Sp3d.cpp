#include "platform/ui/Sp3d.h"

#include <poll.h>
#include <sys/socket.h>

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

// Last: it brings the X11 headers, whose macros (Bool, Status, ...) clash with Qt's names.
#include <spnav.h>

namespace platform {

bool Sp3dPresent = false;

namespace {

// What the events have told so far: the last motion (x, y, z, rx, ry, rz) and the reset button.
struct TDeviceState {
  int Motion[6] = {0, 0, 0, 0, 0, 0};
  bool ResetButton = false;
};

TDeviceState gDevice;
QPointer<QSocketNotifier> gNotifier;

// Whether the daemon closed its end: the socket reads as ended (a peek of 0 bytes) or hung up.
// Only asked when libspnav has no whole event left, so bytes still waiting are a part event.
bool DaemonGone(int fd) {
  if (fd < 0) return true;
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, 0) <= 0) return false;
  if (p.revents & (POLLERR | POLLNVAL)) return true;
  char byte;
  const ssize_t n = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  return n == 0 || (p.revents & POLLHUP) != 0;
}

// Takes every pending event; a daemon that went away disconnects.
void Drain() {
  if (!Sp3dPresent) return;
  spnav_event event;
  while (spnav_poll_event(&event) != 0) {
    if (event.type == SPNAV_EVENT_MOTION) {
      const spnav_event_motion& m = event.motion;
      const int values[6] = {m.x, m.y, m.z, m.rx, m.ry, m.rz};
      for (int i = 0; i < 6; ++i) gDevice.Motion[i] = values[i];
    } else if (event.type == SPNAV_EVENT_BUTTON && event.button.bnum == Sp3dResetButton) {
      gDevice.ResetButton = event.button.press != 0;
    }
  }
  if (DaemonGone(spnav_fd())) Sp3dDisconnect();
}

}  // namespace

void Sp3dConnect(QObject* owner) {
  Sp3dDisconnect();
  gDevice = {};
  // libspnav must never be asked for events without a connection: it then works on fd -1.
  if (spnav_open() == -1) return;
  Sp3dPresent = true;
  if (QCoreApplication::instance()) {
    gNotifier = new QSocketNotifier(spnav_fd(), QSocketNotifier::Read, owner);
    QObject::connect(gNotifier.data(), &QSocketNotifier::activated, [] { Drain(); });
  }
}

void Sp3dRead(Sp3dState& state) {
  state = {};
  Drain();
  if (!Sp3dPresent) return;
  for (int i = 0; i < 6; ++i) state.Axes[i] = Sp3dStep(gDevice.Motion[i] * Sp3dScale);
  state.ResetKey = gDevice.ResetButton;
}

int32_t Sp3dStep(double value) {
  if (value >= 40) return 2;
  if (value >= 10) return 1;
  if (value >= -10) return 0;
  if (value >= -40) return -1;
  if (value < -40) return -2;
  return 0;  // NaN
}

void Sp3dDisconnect() {
  if (!Sp3dPresent) return;
  Sp3dPresent = false;
  // The notifier may be the one whose signal runs this: it is switched off now and freed later.
  if (gNotifier) {
    gNotifier->setEnabled(false);
    gNotifier->deleteLater();
    gNotifier = nullptr;
  }
  spnav_close();
  gDevice = {};
}

}  // namespace platform
