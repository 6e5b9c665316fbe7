// The 3D-mouse reader: the step table, the absent daemon, and a stand-in daemon on a socket of its
// own ($SPNAV_SOCKET) that sends motion and button events in the daemon's event format (eight
// 32-bit integers: kind, then the values) and then goes away.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "UiTestApp.h"
#include "platform/ui/Application.h"
#include "platform/ui/Sp3d.h"

// Last: it brings the X11 headers, whose macros clash with Qt's names.
#include <spnav.h>

using namespace platform;
using platform::test::App;

namespace {

std::filesystem::path TempSocketPath(const char* name) {
  const auto dir = std::filesystem::temp_directory_path() / ("zephor-sp3d-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  return dir / name;
}

// Points libspnav at a socket path for the life of the object.
class TSocketEnv {
 public:
  explicit TSocketEnv(const std::filesystem::path& path) { ::setenv("SPNAV_SOCKET", path.c_str(), 1); }
  ~TSocketEnv() { ::unsetenv("SPNAV_SOCKET"); }
};

// A daemon that accepts one client and sends what the test tells it.
class TStandInDaemon {
 public:
  TStandInDaemon() : path_(TempSocketPath("spnav.sock")), env_(path_) {
    std::filesystem::remove(path_);
    listener_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path_.c_str());
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_, 1) != 0)
      throw std::runtime_error("cannot listen on " + path_.string());
    acceptor_ = std::thread([this] { client_ = ::accept(listener_, nullptr, nullptr); });
  }
  ~TStandInDaemon() {
    if (acceptor_.joinable()) acceptor_.join();
    Close();
    ::close(listener_);
    std::filesystem::remove(path_);
  }
  // Waits for the client the library opened.
  void Accepted() {
    if (acceptor_.joinable()) acceptor_.join();
  }
  void Send(std::array<int32_t, 8> event) { ASSERT_EQ(::write(client_, event.data(), sizeof event), 32); }
  void Motion(int x, int y, int z, int rx, int ry, int rz) { Send({0, x, y, z, rx, ry, rz, 16}); }
  void Button(int number, bool press) { Send({press ? 1 : 2, number, 0, 0, 0, 0, 0, 0}); }
  void Close() {
    if (client_ >= 0) ::close(client_);
    client_ = -1;
  }

 private:
  std::filesystem::path path_;
  TSocketEnv env_;
  int listener_ = -1;
  int client_ = -1;
  std::thread acceptor_;
};

bool SocketHasData() {
  pollfd p{spnav_fd(), POLLIN, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

}  // namespace

TEST(Sp3d, StepTable) {
  const struct {
    double value;
    int32_t step;
  } cases[] = {{9.9, 0},    {10, 1},   {39.9, 1},   {40, 2},    {1e9, 2}, {0, 0},        {-10, 0},
               {-10.1, -1}, {-40, -1}, {-40.1, -2}, {-1e9, -2}, {NAN, 0}, {INFINITY, 2}, {-INFINITY, -2}};
  for (const auto& c : cases) EXPECT_EQ(Sp3dStep(c.value), c.step) << c.value;
}

TEST(Sp3d, WithoutADaemonTheDeviceIsAbsentAndReadsAsRest) {
  App();
  TSocketEnv env(TempSocketPath("nobody-listens.sock"));
  Sp3dConnect(nullptr);
  EXPECT_FALSE(Sp3dPresent);
  Sp3dState state;
  state.Axes[2] = 7;
  state.ResetKey = true;
  Sp3dRead(state);
  for (int32_t a : state.Axes) EXPECT_EQ(a, 0);
  EXPECT_FALSE(state.ResetKey);
  Sp3dDisconnect();
  EXPECT_FALSE(Sp3dPresent);
}

// One connection for the whole story: opening costs the library a wait for a protocol reply the
// stand-in never sends.
TEST(Sp3d, ReadsTheDaemonsEventsWakesTheLoopAndLetsTheDaemonGo) {
  App();
  TStandInDaemon daemon;
  QObject owner;
  Sp3dConnect(&owner);
  daemon.Accepted();
  ASSERT_TRUE(Sp3dPresent);

  // The last motion counts, scaled and stepped; the reset button is the second one.
  daemon.Motion(400, 400, 400, 400, 400, 400);
  daemon.Motion(39, 40, 159, 160, -41, -161);
  daemon.Button(0, true);
  Sp3dState state;
  Sp3dRead(state);
  EXPECT_EQ((std::array<int32_t, 6>{state.Axes[0], state.Axes[1], state.Axes[2], state.Axes[3], state.Axes[4],
                                    state.Axes[5]}),
            (std::array<int32_t, 6>{0, 1, 1, 2, -1, -2}));
  EXPECT_FALSE(state.ResetKey);
  daemon.Button(Sp3dResetButton, true);
  Sp3dRead(state);
  EXPECT_TRUE(state.ResetKey);
  EXPECT_EQ(state.Axes[3], 2) << "the motion is kept between events";
  daemon.Button(Sp3dResetButton, false);
  daemon.Motion(0, 0, 0, 0, 0, 0);
  Sp3dRead(state);
  EXPECT_FALSE(state.ResetKey);
  EXPECT_EQ(state.Axes[3], 0);

  // An event arriving while the loop waits wakes it, so the idle pass that reads it follows.
  {
    TApplication app;
    int idleAxis = 0;
    QEventLoop loop;
    app.OnIdle = [&] {
      Sp3dState s;
      Sp3dRead(s);
      idleAxis = s.Axes[0];
      if (idleAxis != 0) loop.quit();
    };
    std::thread sender([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      daemon.Motion(-200, 0, 0, 0, 0, 0);
    });
    QTimer::singleShot(3000, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    loop.exec();
    sender.join();
    EXPECT_EQ(idleAxis, -2);
    EXPECT_LT(clock.elapsed(), 2000) << "woken by the device, not by the time-out";
    EXPECT_FALSE(SocketHasData()) << "the notifier drained the socket";
  }

  // The daemon goes away: the feature turns off quietly.
  daemon.Close();
  Sp3dRead(state);
  EXPECT_FALSE(Sp3dPresent);
  for (int32_t a : state.Axes) EXPECT_EQ(a, 0);
  Sp3dRead(state);
  Sp3dDisconnect();
}
