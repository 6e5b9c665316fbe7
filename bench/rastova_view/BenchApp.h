#pragma once
// The application object of the view benchmarks (off-screen), with the image library started
// as the program starts it, and the vector layer the vector benchmarks draw on.
#include <QApplication>
#include <QWidget>
#include <cstdlib>

#include "rastova/core/RVStartup.h"
#include "rastova/view/RastovaViewStartup.h"
#include "rastova/view/vector/RastovaVect.h"

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

// A frameless vector layer without scroll bars in the parent window, W x H, over a picture of
// that size.
inline rv::TRastovaVect* NewVectLayer(QWidget& parent, int W, int H) {
  auto* v = new rv::TRastovaVect(&parent);
  v->WriteBorderStyle(platform::bsNone);
  v->WriteScrollBars(rv::ssNone);
  v->WriteCenter(false);
  v->resize(W, H);
  v->GetRVBitmap()->Allocate(W, H, rv::rv24RGB);
  return v;
}

}  // namespace viewbench
