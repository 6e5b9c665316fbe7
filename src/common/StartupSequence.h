#pragma once
// Start-up as explicit, ordered steps: each module adds its start-up and shut-down, `main`
// runs them in order and shuts down in reverse. Nothing depends on the order in which static
// constructors run.
#include <functional>
#include <string>
#include <vector>

namespace common {

class TStartupSequence {
 public:
  // Adds a step at the end. Either function may be empty.
  void Add(std::string name, std::function<void()> startup, std::function<void()> shutdown);

  // Runs the start-ups that have not run yet, in order. When one throws, the steps started by
  // this call are shut down in reverse and the exception propagates.
  void Startup();
  // Shuts down every started step in reverse order; exceptions of one step do not stop the others.
  void Shutdown();

  bool IsStarted(const std::string& name) const;
  size_t Count() const { return steps_.size(); }

 private:
  struct Step {
    std::string name;
    std::function<void()> startup;
    std::function<void()> shutdown;
    bool started = false;
  };
  std::vector<Step> steps_;
};

// The program's own sequence, which `main` runs.
TStartupSequence& ProgramStartup();

// Floating-point exceptions are masked for the whole process and rounding is to nearest:
// a division by zero or an invalid operation yields an infinity or a NaN.
void MaskFloatingPointExceptions();

// The C allocator keeps freed memory for reuse: blocks below 32 MiB come from the heap and go back
// to it, and up to 64 MiB of free heap stays with the process instead of being returned to the
// system at every free. Lists of a few megabytes that are freed and made again at every edit (the
// preview mesh) then reuse pages the process already has, where each new page would cost a page
// fault on first touch; larger pictures (64 MiB at 4096 x 4096) are still mapped and unmapped on
// their own. False when the allocator does not take the setting.
bool KeepFreedMemoryForReuse();

}  // namespace common
