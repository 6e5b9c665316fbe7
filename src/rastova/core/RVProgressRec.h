#pragma once
// The progress record that the colour reduction and rotation routines report through: the
// event, its sender and a step that the routine using the record sets itself.
#include <cstdint>

#include "rastova/core/RVProgress.h"

namespace rv {

struct TRVProgressRec {
  TRVProgressEvent OnProgress;
  void* Sender = nullptr;
  double Step = 0;
  void Report(int32_t per) const {
    if (OnProgress) OnProgress(Sender, per);
  }
};

}  // namespace rv
