#pragma once
// The program's modules as ordered start-up steps: the process's floating-point mode, the 3D
// library (its GL layer first, so that its service thread is stopped last), the image library,
// the texture bitmaps, and then the editor's own modules in their order: the settings' derived
// value, the point clipboard's private format, the eight editors (one instance each for the
// whole run) and the twelve cursors. Shut-downs run in reverse.
//
// `main` and the window's tests run the same steps.
#include "common/StartupSequence.h"

class QImage;

namespace editor {

class TScGYRAN;
class TScTOKOROTEN;
class TScDODUDA;
class TScMAGE;
class TScMAGETorus;
class TScBitmap;
class TScWAPPA;
class TTxDraw;

// The one instance of each editor, from the editors' start-up step to its shut-down.
extern TScGYRAN* ScGYRAN;
extern TScTOKOROTEN* ScTOKOROTEN;
extern TScDODUDA* ScDODUDA;
extern TScMAGE* ScMAGE;
extern TScMAGETorus* ScMAGETorus;
extern TScBitmap* ScBitmap;
extern TScWAPPA* ScWAPPA;
extern TTxDraw* TxDraw;

// Creates them in the order TScGYRAN, TScTOKOROTEN, TScDODUDA, TScMAGE, TScMAGETorus, TScBitmap,
// TScWAPPA, TTxDraw; frees them in reverse.
void CreateEditors();
void FreeEditors();

// The twelve cursors of the program, at ids 1 to 12 in the order "ROTURN", "RONWSE", "RONESW",
// "HAND1", "HAND2", "RONS", "ROEW", "BTNWSE", "BTNESW", "BTNS", "BTEW", "ARMOVE" (pictures of
// the program's resources). Needs the application object.
void LoadProgramCursors();
void FreeProgramCursors();
// Names of the twelve cursors, in id order.
extern const char* const CursorNames[12];

// The splash picture of the program's resources (512 x 256).
QImage SplashPicture();

// Adds every step in its order. The GUI steps need the QApplication before Startup runs.
void AddProgramSteps(common::TStartupSequence& sequence);

// The 3D library's service context: made once the application object exists; start-up waits
// for it.
void CreateServiceContext();

}  // namespace editor
