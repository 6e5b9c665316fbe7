// The two entry points of the library, the whole of its interface with the editor.
#include <QApplication>
#include <memory>
#include <string>

#include "PlugSetupDlg.h"
#include "shape/model/PluginInterface.h"

const char16_t* PluginNameZP6() {
  static constexpr char16_t kName[] = u"Polyhedron";
  return kName;
}

TPluginBool PluginExecZP6(void* owner, const char16_t* const* keyPath, shape::TCS* shape) {
  // Nothing may unwind into the editor: any failure is reported as "no change".
  try {
    if (!keyPath || !*keyPath || !shape) return 0;
    const std::u16string path(*keyPath);  // the editor's text lives only for the call
    // The dialog needs the editor's application object; without one there is nothing to show.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return 0;
    const auto dialog = std::make_unique<polyhedron::TPlugSetupDlg>(static_cast<QWidget*>(owner));
    return dialog->Execute(path.c_str(), *shape) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}
