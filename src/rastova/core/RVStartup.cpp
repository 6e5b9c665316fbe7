#include "rastova/core/RVStartup.h"

#include <cmath>
#include <exception>
#include <fstream>
#include <mutex>
#include <set>
#include <utility>

#include <dirent.h>

#include "common/Round.h"
#include "rastova/core/RVDefs.h"
#include "rastova/core/RVPlatformAdapter.h"
#include "rastova/core/RVWords.h"

namespace rv {

namespace {

struct StepEntry {
  TRVStartupSlot slot;
  std::string name;
  std::function<void()> startup;
  std::function<void()> shutdown;
};

struct LibraryState {
  std::recursive_mutex lock;
  int32_t count = 0;
  std::vector<StepEntry> steps;        // registered, ordered by slot then registration
  std::vector<StepEntry> running;      // the steps the last complete start-up ran
  LibraryState() {
    steps.push_back({TRVStartupSlot::HyRVDefs, "HyRVDefs", HyRVDefsStartup, HyRVDefsShutdown});
    steps.push_back({TRVStartupSlot::HyRVUtils, "HyRVUtils", HyRVUtilsStartup, HyRVUtilsShutdown});
    // The quantizer and the threshold serve the buffer's own palette and 1-bit conversions.
    steps.push_back({TRVStartupSlot::Proc, "RVColorReduction", RVColorReductionStartup, RVColorReductionShutdown});
    steps.push_back({TRVStartupSlot::Proc, "RastovaProc", RastovaProcStartup, RastovaProcShutdown});
  }
};

LibraryState& State() {
  static LibraryState state;
  return state;
}

int32_t coreCountCache = -1;

}  // namespace

void RegisterRastovaStartupStep(TRVStartupSlot slot, const std::string& name,
                                std::function<void()> startup, std::function<void()> shutdown) {
  LibraryState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  for (auto it = s.steps.begin(); it != s.steps.end(); ++it) {
    if (it->name == name) {
      s.steps.erase(it);
      break;
    }
  }
  auto pos = s.steps.begin();
  while (pos != s.steps.end() && pos->slot <= slot) ++pos;
  s.steps.insert(pos, StepEntry{slot, name, std::move(startup), std::move(shutdown)});
}

void UnregisterRastovaStartupStep(const std::string& name) {
  LibraryState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  for (auto it = s.steps.begin(); it != s.steps.end(); ++it) {
    if (it->name == name) {
      s.steps.erase(it);
      return;
    }
  }
}

std::vector<std::string> RastovaStartupStepNames() {
  LibraryState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  std::vector<std::string> names;
  for (auto& e : s.steps) names.push_back(e.name);
  return names;
}

void RastovaLibraryStartup() {
  LibraryState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  if (s.count == 0) {
    std::vector<StepEntry> steps = s.steps;
    size_t done = 0;
    try {
      for (; done < steps.size(); ++done)
        if (steps[done].startup) steps[done].startup();
    } catch (...) {
      // Leave the library down: undo what this call started.
      for (size_t k = done; k-- > 0;) {
        try {
          if (steps[k].shutdown) steps[k].shutdown();
        } catch (...) {
        }
      }
      throw;
    }
    s.running = std::move(steps);
  }
  ++s.count;
}

void RastovaLibraryShutdown() {
  LibraryState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  if (s.count <= 0) return;
  if (--s.count > 0) return;
  std::vector<StepEntry> steps = std::move(s.running);
  s.running.clear();
  std::exception_ptr first;
  for (size_t k = steps.size(); k-- > 0;) {
    try {
      if (steps[k].shutdown) steps[k].shutdown();
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  if (first) std::rethrow_exception(first);
}

int32_t RastovaStartupCount() {
  LibraryState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  return s.count;
}

void HyRVDefsStartup() {
  RedToGrayCoef = 21;
  GreenToGrayCoef = 71;
  BlueToGrayCoef = 8;
  DialogBackgroundStyle = 0;
  // The codecs store this when a file gives no resolution; set here so that they work
  // without the view library.
  DefaultDpiX = 300;
  DefaultDpiY = 300;
}

void HyRVDefsShutdown() {}

void HyRVUtilsStartup() {
  coreCountCache = -1;
  WindowsVersion = 9;
  WinNTPlatform = WindowsVersion > 2;
  // The locale decides the row of msSystem; both are read once per complete start-up.
  ReadSystemLocale();
  FillWordTables();
  GlobalMemoryThreshold = -1;
  AllowFileFallback = true;
  AllowMemoryChunks = true;
  TempDirectory.clear();
  InstallPlatformBitmapAdapter();
  for (int i = 0; i < 256; ++i)
    CosineRampTable[i] =
        static_cast<int32_t>(common::Round(64.0L - 64.0L * std::cos(i * 3.14159265358979323846L / 255.0L)));
}

void HyRVUtilsShutdown() {}

namespace {

// Physical cores from the processor topology: distinct (package, core) pairs.
int32_t CountPhysicalCores() {
  DIR* dir = opendir("/sys/devices/system/cpu");
  if (!dir) return 0;
  std::set<std::pair<long, long>> cores;
  while (dirent* e = readdir(dir)) {
    std::string n = e->d_name;
    if (n.size() < 4 || n.compare(0, 3, "cpu") != 0) continue;
    bool digits = true;
    for (size_t i = 3; i < n.size(); ++i) digits = digits && n[i] >= '0' && n[i] <= '9';
    if (!digits) continue;
    std::string base = "/sys/devices/system/cpu/" + n + "/topology/";
    std::ifstream pkg(base + "physical_package_id"), core(base + "core_id");
    long p = -1, c = -1;
    if (!(pkg >> p) || !(core >> c)) continue;
    cores.insert({p, c});
  }
  closedir(dir);
  return static_cast<int32_t>(cores.size());
}

}  // namespace

int32_t GetProcessorCoreCount() {
  if (coreCountCache != -1) return coreCountCache;
  int32_t n = CountPhysicalCores();
  if (n <= 0) n = static_cast<int32_t>(std::thread::hardware_concurrency());
  if (n <= 0) n = 1;
  coreCountCache = n;
  return n;
}

// ---- TRVThreadPool ----

struct TRVThreadPool::Worker {
  std::thread thread;
  std::exception_ptr error;
};

TRVThreadPool::~TRVThreadPool() {
  try {
    WaitAll();
  } catch (...) {
  }
}

void TRVThreadPool::Add(std::function<void()> work) {
  auto* w = new Worker;
  threads_.push_back(w);
  w->thread = std::thread([w, work = std::move(work)] {
    try {
      work();
    } catch (...) {
      w->error = std::current_exception();
    }
  });
}

void TRVThreadPool::WaitAll() {
  std::exception_ptr first;
  for (Worker* w : threads_) {
    if (w->thread.joinable()) w->thread.join();
    if (w->error && !first) first = w->error;
    delete w;
  }
  threads_.clear();
  if (first) std::rethrow_exception(first);
}

}  // namespace rv
