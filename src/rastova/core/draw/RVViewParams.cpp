#include "rastova/core/draw/RVViewParams.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace rv {

bool CPUHasMMX() {
#if defined(__x86_64__) || defined(__i386__)
  // __get_cpuid checks that the instruction and the leaf exist (the ID-flag test of EFLAGS on
  // 32-bit processors) before it asks.
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
  return (edx & (1u << 23)) != 0;
#else
  return false;
#endif
}

}  // namespace rv
