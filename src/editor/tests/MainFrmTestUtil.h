#pragma once
// What the main window's tests share: the program's modules started once (settings in a
// temporary folder, the 3D library on a headless EGL context), a window made and shown as the
// program makes it, message boxes answered and recorded, a scripted file dialog, and mouse
// input sent to a pane.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QDialog>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/StartupSequence.h"
#include "editor/mainwin/EditorModules.h"
#include "editor/mainwin/MainFrm.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/MessageBoxes.h"
#include "settings/AppSettings.h"
#include "settings/RegStore.h"
#include "shape/OutputNames.h"
#include "shape/model/uScPrim.h"

namespace mainfrm_test {

namespace fs = std::filesystem;

inline fs::path& TempRoot() {
  static fs::path root;
  return root;
}

// Runs `act` on the next modal dialog once it is shown (for up to three seconds).
// The poll holds itself only weakly: the pending timer keeps it, and it is freed after its last
// try.
inline void OnNextDialog(std::function<void(QDialog*)> act) {
  auto poll = std::make_shared<std::function<void(int)>>();
  std::weak_ptr<std::function<void(int)>> self = poll;
  *poll = [self, act](int tries) {
    if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
      act(d);
    else if (auto again = self.lock(); again && tries > 0)
      QTimer::singleShot(10, [again, tries] { (*again)(tries - 1); });
  };
  QTimer::singleShot(0, [poll] { (*poll)(300); });
}

// The program's start-up, once for the test program.
class ProgramEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "test_main_window";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);  // never destroyed: Qt's own exit-time destructors follow
    std::string pattern = (fs::temp_directory_path() / "zephor_mainfrm_XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    TempRoot() = pattern;
    ::setenv("XDG_CONFIG_HOME", (TempRoot() / "config").c_str(), 1);
    editor::AddProgramSteps(sequence_);
    sequence_.Startup();
    editor::CreateServiceContext();
  }
  void TearDown() override {
    sequence_.Shutdown();
    std::error_code ec;
    fs::remove_all(TempRoot(), ec);
  }

 private:
  common::TStartupSequence sequence_;
};

// Every message box the program shows, answered by the script (OK, Yes by default).
class MessageBoxes : public shape::IFilePrompts {
 public:
  MessageBoxes() {
    platform::SetMessageBoxHandler([this](const platform::TMessageBoxRequest& r) {
      shown.push_back(r.Text);
      if (!answers.empty()) {
        const platform::TModalResult a = answers.front();
        answers.pop_front();
        return a;
      }
      return r.Buttons == platform::TMsgDlgButtons::YesNo ? platform::TModalResult::Yes
                                                          : platform::TModalResult::Ok;
    });
    shape::SetFilePrompts(this);
  }
  ~MessageBoxes() override {
    platform::SetMessageBoxHandler(nullptr);
    shape::SetFilePrompts(nullptr);
  }
  bool AskWarningYesNo(const std::string& text) override { return platform::AskWarningYesNo(text); }
  void ShowWarning(const std::string& text) override { platform::ShowWarning(text); }
  void ShowMessage(const std::string& text) override { platform::ShowMessage(text); }

  std::vector<std::string> shown;
  std::deque<platform::TModalResult> answers;
};

// A file dialog that answers from a script and records what it was asked.
class ScriptedDialog : public platform::IFileDialog {
 public:
  struct Answer {
    bool ok;
    std::string file;
    int filter;
  };
  bool Execute(const platform::TFileDialogRequest& request, platform::TFileDialogResult& result) override {
    requests.push_back(request);
    if (answers.empty()) return false;
    const Answer a = answers.front();
    answers.pop_front();
    result.FileName = a.file;
    result.FilterIndex = a.filter;
    return a.ok;
  }
  std::deque<Answer> answers;
  std::vector<platform::TFileDialogRequest> requests;
};

class MainFrmTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TempRoot() / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(dir_);
    settingsFile_ = (dir_ / "ZEPHOR6.reg").string();
    settings::SetSettingsFileName(settingsFile_);
    settings::AppSettings = settings::TAppSettings();
    // The object size is the program's too, not one of the stored values: each test starts
    // from the cube.
    for (double& size : settings::ObjectSize) size = 1.0;
    settings::NormalizeAxisScales();
  }
  void TearDown() override {
    form.reset();
    settings::SetSettingsFileName("");
    settings::AppSettings = settings::TAppSettings();
  }

  // Stores settings that differ from the defaults, for the next window to load.
  void StoreSettings(const settings::TAppSettings& values) {
    settings::AppSettings = values;
    settings::SaveAppSettings(false);
  }

  // Makes the window as the program does (without plug-ins unless asked), then shows it.
  editor::TMainFrm& Open(std::vector<std::string> args = {}, bool show = true, fs::path plugins = {}) {
    editor::TMainFrmOptions options;
    options.Arguments = std::move(args);
    options.PluginFolder = plugins.empty() ? dir_ / "no-plugins" : plugins;
    form = std::make_unique<editor::TMainFrm>(std::move(options));
    form->CreateDialogs();
    auto script = std::make_unique<ScriptedDialog>();
    dialog = script.get();
    form->SetFileDialog(std::move(script));
    if (show) {
      form->show();
      EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
      QCoreApplication::processEvents();
      form->IdleLoop();
    }
    return *form;
  }

  fs::path File(const std::string& name) const { return dir_ / name; }

  // Mouse input on a pane, as the window system sends it.
  static void Press(QWidget* w, QPoint p, Qt::MouseButton b = Qt::LeftButton) {
    QTest::mousePress(w, b, Qt::NoModifier, p);
  }
  static void Release(QWidget* w, QPoint p, Qt::MouseButton b = Qt::LeftButton) {
    QTest::mouseRelease(w, b, Qt::NoModifier, p);
  }
  static void DragMove(QWidget* w, QPoint p) {
    QMouseEvent e(QEvent::MouseMove, QPointF(p), w->mapToGlobal(QPointF(p)), Qt::NoButton, Qt::LeftButton,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  }

  // Filled undo slots.
  static int Snapshots(const shape::TUBuf& ring) {
    int n = 0;
    for (int s : ring.States) n += s;
    return n;
  }

  MessageBoxes boxes;
  std::unique_ptr<editor::TMainFrm> form;
  ScriptedDialog* dialog = nullptr;
  fs::path dir_;
  std::string settingsFile_;
};

}  // namespace mainfrm_test
