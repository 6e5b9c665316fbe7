#pragma once
// The image library started once per process with the image view's steps, as the program's
// start-up does, for the fuzz targets that load the view's own files (layers, vector objects)
// through the I/O component: loaded without a view, those files are merged or drawn into one
// picture by a view of the component's own, which needs an application object. Qt runs on its
// off-screen platform unless the environment chooses another.
#include <QApplication>
#include <cstdlib>

#include "rastova/core/RVStartup.h"
#include "rastova/view/RastovaViewStartup.h"

namespace zephor_fuzz {

inline void StartViewLibrary() {
  static const bool started = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "zephor_fuzz";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);  // kept to the end of the process, as the program keeps its own
    rv::RegisterRastovaViewStartup();
    rv::RastovaLibraryStartup();
    return true;
  }();
  (void)started;
}

}  // namespace zephor_fuzz
