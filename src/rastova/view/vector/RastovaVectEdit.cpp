// Keys of the vector layer and in-place editing of texts and memos.
#include "rastova/view/vector/RastovaVect.h"

namespace rv {

void TRastovaVect::BeginTextEdit() {}

}  // namespace rv
