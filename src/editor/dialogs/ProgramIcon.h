#pragma once
// The program's icon: a sculpted prim, a sphere drawn as its grid of rows and columns, on a
// rounded blue tile. Drawn at every size a window system asks for.
#include <QIcon>

namespace editor {

// The icon at 16, 24, 32, 48, 64, 128 and 256 pixels.
QIcon ProgramIcon();

}  // namespace editor
