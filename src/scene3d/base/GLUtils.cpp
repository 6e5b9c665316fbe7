#include "scene3d/base/GLUtils.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "scene3d/base/Classes.h"

namespace gl3d {

namespace {

struct ClockState {
  std::mutex lock;
  bool started = false;
  std::chrono::steady_clock::time_point base;
  double last = -1;
  double step = 0.1;
};

ClockState& Clock() {
  static ClockState state;
  return state;
}

}  // namespace

void StartGLClock() {
  ClockState& c = Clock();
  std::lock_guard<std::mutex> guard(c.lock);
  if (!c.started) {
    c.started = true;
    c.base = std::chrono::steady_clock::now();
  }
}

double GLClockMs() {
  StartGLClock();
  ClockState& c = Clock();
  std::lock_guard<std::mutex> guard(c.lock);
  const auto elapsed = std::chrono::steady_clock::now() - c.base;
  const double t =
      static_cast<double>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
  if (t != c.last) {
    c.last = t;
    c.step = 0.1;
    return t;
  }
  // Further calls within the same millisecond: small steps that stay below the next one.
  const double r = t + c.step;
  c.step = c.step < 0.85 ? c.step + 0.1 : c.step + (1 - c.step) / 2;
  return r;
}

uint32_t GetTickCountMs() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void ReadPerformanceCounter(int64_t& counter) {
  counter = std::chrono::duration_cast<std::chrono::nanoseconds>(
                std::chrono::steady_clock::now().time_since_epoch())
                .count();
}

bool ReadPerformanceFrequency(int64_t& frequency) {
  frequency = 1000000000;
  return true;
}

int32_t ColorFromRGB(uint8_t r, uint8_t g, uint8_t b) { return r + g * 256 + b * 65536; }

float HalfToFloat(uint16_t half) {
  const uint32_t s = (half >> 15) & 1u;
  uint32_t e = (half >> 10) & 0x1Fu;
  uint32_t m = half & 0x3FFu;
  uint32_t bits;
  if (e == 0) {
    if (m == 0) {
      bits = s << 31;
    } else {
      // A half denormal: normalise the mantissa.
      uint32_t k = 0;
      while ((m & 0x400u) == 0) {
        m <<= 1;
        ++k;
      }
      bits = (s << 31) | ((113u - k) << 23) | ((m & 0x3FFu) << 13);
    }
  } else if (e == 31) {
    bits = (s << 31) | (0xFFu << 23) | (m << 13);
  } else {
    bits = (s << 31) | ((e + 112u) << 23) | (m << 13);
  }
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

uint16_t FloatToHalf(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  const uint32_t s = (bits >> 16) & 0x8000u;
  const int32_t b = static_cast<int32_t>((bits >> 23) & 0xFFu);
  uint32_t f = bits & 0x7FFFFFu;
  int32_t e = b - 112;
  if (bits == 0) return 0;
  if (e > 0 && b < 142)
    return static_cast<uint16_t>(s + static_cast<uint32_t>(e) * 1024u + ((f + 4096u) >> 13));
  if (e <= 0) {
    if (b <= 101) return 0;
    f = (f + 0x800000u) >> (1 - e);
    if (f & 0x1000u) f += 0x2000u;
    return static_cast<uint16_t>(s + (f >> 13));
  }
  if (b == 255) {
    if (f == 0) return static_cast<uint16_t>(s | 0x7C00u);
    // Keep the top mantissa bits; a NaN whose top bits are all zero must not turn into infinity.
    const uint32_t m = f >> 13;
    return static_cast<uint16_t>(s | 0x7C00u | (m ? m : 1u));
  }
  if (f & 0x1000u) {
    f += 0x2000u;
    if (f & 0x800000u) {
      f = 0;
      ++e;
    }
  }
  if (e > 30) return static_cast<uint16_t>(s | 0x7C00u);
  return static_cast<uint16_t>(s + static_cast<uint32_t>(e) * 1024u + (f >> 13));
}

void RaiseLastOSErrorText() { throw EOSError(std::string("OS Error : ") + std::strerror(errno)); }

bool IsSubComponent(const TComponent* component) { return component && component->IsSubComponentStyle(); }

std::string ExeDirectory() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

void SetExeDirectory() {
  const std::string folder = ExeDirectory();
  std::error_code ec;
  if (!folder.empty()) std::filesystem::current_path(folder, ec);
}

}  // namespace gl3d
