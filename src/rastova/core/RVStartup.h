#pragma once
// The image library's start-up and shut-down, the processor-core count and the thread pool.
//
// The library comes up through one reference-counted call. It runs one step of each library
// module in a fixed order and its shut-down runs them in reverse. The modules above the core
// (codecs, I/O, processing, view) register their steps into their slot before the first
// start-up; nothing relies on static constructors.
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace rv {

// The fixed order of the library's module steps.
enum class TRVStartupSlot : uint8_t {
  GdiPlus = 0,   // RVGdiPlusStartup (anti-aliased canvas)
  HyRVDefs,      // the core's defaults (grey weights, default resolution)
  HyRVUtils,     // the core's utilities (memory threshold, allocation flags, cosine ramp)
  J2000,         // RVJ2000Startup
  Vect,          // RVVectStartup
  IO,            // RastovaIOStartup
  Proc,          // RastovaProcStartup
  View,          // RastovaViewStartup
  TifCCITT,      // TifCCITTStartup
  TextC,         // RVTextCStartup
  PresetIm,      // RVPresetImStartup
};

// Adds a module's step to its slot (after the steps already in that slot). Registering the
// same name again replaces that step. A step registered while the library is up takes effect
// at the next complete start-up.
void RegisterRastovaStartupStep(TRVStartupSlot slot, const std::string& name,
                                std::function<void()> startup, std::function<void()> shutdown);
void UnregisterRastovaStartupStep(const std::string& name);
// Names of the registered steps in the order they run.
std::vector<std::string> RastovaStartupStepNames();

// Brings the library up, or only counts when it is up. A step that throws leaves the library
// down (the steps started by this call are shut down again) and the exception propagates.
void RastovaLibraryStartup();
// Counts down; the last matching call runs every shut-down step in reverse order.
// Without a matching start-up it does nothing.
void RastovaLibraryShutdown();
// Start-ups not yet matched by a shut-down.
int32_t RastovaStartupCount();

// The core's own steps (registered by the library itself).
void HyRVDefsStartup();
void HyRVDefsShutdown();
void HyRVUtilsStartup();
void HyRVUtilsShutdown();
// The processing module's steps, both in the Proc slot: the colour reduction installs the
// quantizer and the threshold as the buffer's conversions (RVColorReduce.cpp); the module's
// own builds the 1-bit expansion table and the filter presets and registers the clipboard
// format "RASTOVA RAW FORMAT" (RastovaProc.cpp).
void RVColorReductionStartup();
void RVColorReductionShutdown();
void RastovaProcStartup();
void RastovaProcShutdown();

// Number of physical processor cores, counted once and cached; the logical processor count
// when the topology cannot be read, and at least 1.
int32_t GetProcessorCoreCount();

// Runs added work on threads of its own; WaitAll joins them in the order they were added.
// The pool is used by the one thread that owns it.
class TRVThreadPool {
 public:
  TRVThreadPool() = default;
  ~TRVThreadPool();
  TRVThreadPool(const TRVThreadPool&) = delete;
  TRVThreadPool& operator=(const TRVThreadPool&) = delete;

  // Starts `work` on a new thread at once.
  void Add(std::function<void()> work);
  // Waits for every thread in the order of adding, then empties the list. An exception that
  // escaped a worker is rethrown here (the first one) after all threads have ended.
  void WaitAll();
  size_t Count() const { return threads_.size(); }

 private:
  struct Worker;
  std::vector<Worker*> threads_;
};

}  // namespace rv
