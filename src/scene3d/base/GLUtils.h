#pragma once
// The few operating-system services the 3D library uses: clocks, colour packing, half floats,
// OS errors and the program folder.
#include <cstdint>
#include <string>

#include "common/Exception.h"

namespace gl3d {

class TComponent;

class EOSError : public common::Exception {
 public:
  using Exception::Exception;
};

// Milliseconds since start-up, monotonic. Calls within one millisecond return t, t + 0.1,
// t + 0.2, ... and never reach the next millisecond. Thread-safe.
double GLClockMs();
// Takes the clock's base; the first GLClockMs takes it when start-up did not.
void StartGLClock();
// A millisecond tick count (wraps after 49.7 days).
uint32_t GetTickCountMs();
void ReadPerformanceCounter(int64_t& counter);
// False when the system has no such counter.
bool ReadPerformanceFrequency(int64_t& frequency);

// r + g·256 + b·65536: red in the low byte.
int32_t ColorFromRGB(uint8_t r, uint8_t g, uint8_t b);

float HalfToFloat(uint16_t half);
// Rounds to nearest; too large gives infinity, too small zero; NaN stays NaN.
uint16_t FloatToHalf(float value);

// EOSError "OS Error : <the system's text for errno>".
[[noreturn]] void RaiseLastOSErrorText();
bool IsSubComponent(const TComponent* component);
// The folder of the program file ("" when it cannot be found).
std::string ExeDirectory();
// Makes the folder of the program file the current folder.
void SetExeDirectory();

}  // namespace gl3d
