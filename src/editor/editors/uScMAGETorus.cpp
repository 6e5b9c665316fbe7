// TScMAGETorus, the bend editor of a closed band (uScMAGETorus.h).
#include "editor/editors/uScMAGETorus.h"

namespace editor {

TScMAGETorus::TScMAGETorus() : TScMAGE(true) {}

}  // namespace editor
