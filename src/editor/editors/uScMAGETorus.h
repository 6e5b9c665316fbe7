#pragma once
// TScMAGETorus, the bend editor of a closed band (editor mode 4): TScMAGE (uScMAGE.h) on the
// transposed grid. An edge line is a row, a ring is a column (rows 0..CPMaxJ - 2), the path
// runs over the columns and closes on itself; its view side starts at 5, its edge points follow
// SymmetryMode, and its rings are re-spaced where their level points moved.
#include "editor/editors/uScMAGE.h"

namespace editor {

class TScMAGETorus : public TScMAGE {
 public:
  TScMAGETorus();
};

}  // namespace editor
