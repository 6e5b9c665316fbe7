#include "rastova/view/vect/RVVectStartup.h"

#include "platform/ui/SystemClipboard.h"
#include "platform/ui/ShortCut.h"
#include "rastova/view/text/RVTextControl.h"
#include "rastova/view/vector/RVVectStreams.h"

namespace rv {

// The clipboard format of vector objects (registered; nothing places data under it).
uint32_t VectClipboardFormat = 0;

void RVVectStartup() {
  VectClipboardFormat = platform::Clipboard().RegisterFormat("RASTOVA VECT");
  // The text editor's shortcuts, all with Ctrl alone, in the order its key handling reads them.
  const char keys[12] = {'L', 'E', 'R', 'J', 'C', 'X', 'V', 'F', 'B', 'I', 'U', 'G'};
  for (int i = 0; i < 12; ++i)
    TextControlShortcuts[i] = platform::ShortCut(uint16_t(keys[i]), platform::ssCtrl);
  CreateExtendedObjectRegistry();
}

void RVVectShutdown() { FreeExtendedObjectRegistry(); }

}  // namespace rv
