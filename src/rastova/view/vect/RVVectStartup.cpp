#include "rastova/view/vect/RVVectStartup.h"

#include "platform/ui/ShortCut.h"
#include "rastova/view/text/RVTextControl.h"

namespace rv {

void RVVectStartup() {
  // The text editor's shortcuts, all with Ctrl alone, in the order its key handling reads them.
  const char keys[12] = {'L', 'E', 'R', 'J', 'C', 'X', 'V', 'F', 'B', 'I', 'U', 'G'};
  for (int i = 0; i < 12; ++i)
    TextControlShortcuts[i] = platform::ShortCut(uint16_t(keys[i]), platform::ssCtrl);
}

void RVVectShutdown() {}

}  // namespace rv
