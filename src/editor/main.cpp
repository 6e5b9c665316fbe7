// The program: the modules start in their order, the application and the 3D library's service
// context come up, the splash shows, the main window and its dialogs are made, and the event
// loop runs until the main window closes; then everything ends in reverse.
#include <QApplication>
#include <memory>
#include <string>
#include <vector>

#include "common/StartupSequence.h"
#include "editor/dialogs/ProgramIcon.h"
#include "editor/mainwin/EditorModules.h"
#include "editor/mainwin/MainFrm.h"
#include "platform/ui/Application.h"
#include "platform/ui/MessageBoxes.h"
#include "platform/ui/Splash.h"
#include "shape/OutputNames.h"

namespace {

// The shape's questions and notices, answered with message boxes.
class TMessageBoxPrompts : public shape::IFilePrompts {
 public:
  bool AskWarningYesNo(const std::string& text) override { return platform::AskWarningYesNo(text); }
  void ShowWarning(const std::string& text) override { platform::ShowWarning(text); }
  void ShowMessage(const std::string& text) override { platform::ShowMessage(text); }
};

}  // namespace

int main(int argc, char** argv) {
  // Before anything is allocated: the preview's lists, made anew at every edit, reuse the heap.
  common::KeepFreedMemoryForReuse();
  QApplication app(argc, argv);
  platform::TApplication application;
  common::TStartupSequence& modules = common::ProgramStartup();
  editor::AddProgramSteps(modules);
  modules.Startup();
  editor::CreateServiceContext();
  // The application's title; windows keep their own captions (no display name appended).
  QApplication::setApplicationName("ZEPHOR");
  QApplication::setWindowIcon(editor::ProgramIcon());
  TMessageBoxPrompts prompts;
  shape::SetFilePrompts(&prompts);
  platform::TSplashForm::ShowSplash(editor::SplashPicture());

  editor::TMainFrmOptions options;
  for (int k = 1; k < argc; ++k) options.Arguments.emplace_back(argv[k]);
  // Closing the main window ends the program, whatever other window is still open, also when it
  // closes before the event loop runs.
  const int status = editor::RunMainWindow(std::move(options), application);
  shape::SetFilePrompts(nullptr);
  modules.Shutdown();
  return status;
}
