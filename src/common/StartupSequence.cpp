#include "common/StartupSequence.h"

#include <cfenv>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace common {

void TStartupSequence::Add(std::string name, std::function<void()> startup,
                           std::function<void()> shutdown) {
  steps_.push_back(Step{std::move(name), std::move(startup), std::move(shutdown), false});
}

void TStartupSequence::Startup() {
  size_t first = steps_.size();
  for (size_t i = 0; i < steps_.size(); ++i) {
    Step& s = steps_[i];
    if (s.started) continue;
    if (first == steps_.size()) first = i;
    try {
      if (s.startup) s.startup();
      s.started = true;
    } catch (...) {
      for (size_t k = i; k-- > first;) {
        if (steps_[k].started && steps_[k].shutdown) {
          try {
            steps_[k].shutdown();
          } catch (...) {
          }
        }
        steps_[k].started = false;
      }
      throw;
    }
  }
}

void TStartupSequence::Shutdown() {
  for (size_t k = steps_.size(); k-- > 0;) {
    Step& s = steps_[k];
    if (!s.started) continue;
    s.started = false;
    try {
      if (s.shutdown) s.shutdown();
    } catch (...) {
    }
  }
}

bool TStartupSequence::IsStarted(const std::string& name) const {
  for (auto& s : steps_)
    if (s.name == name) return s.started;
  return false;
}

TStartupSequence& ProgramStartup() {
  static TStartupSequence sequence;
  return sequence;
}

void MaskFloatingPointExceptions() {
  fedisableexcept(FE_ALL_EXCEPT);
  fesetround(FE_TONEAREST);
  feclearexcept(FE_ALL_EXCEPT);
}

bool KeepFreedMemoryForReuse() {
#if defined(__GLIBC__)
  // Both are set: setting either one ends glibc's own adjustment of both, which otherwise raises
  // the mapping threshold to the largest mapped block freed (up to 32 MiB) and then returns the
  // heap top to the system whenever more than twice that lies free, so a rebuild's lists touched
  // new pages each time. The values are where that adjustment stops: a block that grows past a
  // lower fixed threshold would be mapped afresh at every use.
  constexpr int kMapThreshold = 32 << 20;
  constexpr int kTrimThreshold = 64 << 20;
  return mallopt(M_MMAP_THRESHOLD, kMapThreshold) == 1 && mallopt(M_TRIM_THRESHOLD, kTrimThreshold) == 1;
#else
  return false;
#endif
}

}  // namespace common
