#pragma once
// The application object of the view benchmarks (off-screen), with the image library started
// as the program starts it.
#include <QApplication>
#include <cstdlib>

#include "rastova/core/RVStartup.h"
#include "rastova/view/RastovaViewStartup.h"

namespace viewbench {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_rastova_view";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    auto* a = new QApplication(argc, argv);
    rv::RegisterRastovaViewStartup();
    rv::RastovaLibraryStartup();
    return a;
  }();
  return *app;
}

}  // namespace viewbench
