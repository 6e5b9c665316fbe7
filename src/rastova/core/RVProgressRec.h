#pragma once
// The progress record that every reader and writer of the image library receives by reference.
//
// The I/O component fills one afresh for each load and save: its progress method, the sender,
// and the address of its abort flag. A codec sets the counter and the step, reports the
// truncated product of counter and step as a percentage, stops early when the flag is set, and
// sets the flag itself to report a failure or a short write. A record whose method is empty asks
// for no progress calls. A record made without a flag of the caller uses a flag of its own, so
// failures are never lost.
#include <atomic>
#include <cstdint>

#include "rastova/core/RVProgress.h"

namespace rv {

struct TRVProgressRec {
  TRVProgressRec() : Aborting(&ownFlag_) {}
  explicit TRVProgressRec(std::atomic<bool>* aborting) : Aborting(aborting ? aborting : &ownFlag_) {}
  TRVProgressRec(const TRVProgressRec&) = delete;
  TRVProgressRec& operator=(const TRVProgressRec&) = delete;

  TRVProgressEvent fnc;            // progress method; empty: no progress calls
  void* Sender = nullptr;          // passed to the method
  int32_t val = 0;                 // the codec's counter
  int32_t tot = 0;                 // the codec's total
  double per1 = 0;                 // percentage step per row (entry, strip)
  double per2 = 0;                 // second step (per strip)
  std::atomic<bool>* Aborting;     // never null
  int32_t Extra = 0;

  bool IsAborting() const { return Aborting->load(std::memory_order_relaxed); }
  void SetAborting() { Aborting->store(true, std::memory_order_relaxed); }
  bool HasEvent() const { return static_cast<bool>(fnc); }
  void Report(int32_t per) const {
    if (fnc) fnc(Sender, per);
  }

 private:
  std::atomic<bool> ownFlag_{false};
};

// Several Parts of the library name the same record TRVProgressRecord.
using TRVProgressRecord = TRVProgressRec;

}  // namespace rv
