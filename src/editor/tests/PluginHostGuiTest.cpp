// The plug-in host with the real Polyhedron plug-in from the program's folder, its dialog
// driven headless.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <tuple>
#include <vector>

#include "editor/PluginHost.h"
#include "settings/RegStore.h"

namespace {

namespace fs = std::filesystem;
using shape::TCS;

QApplication& App() {
  static int argc = 1;
  static char name[] = "test_plugin_host_gui";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

class PolyhedronThroughHost : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    std::string pattern = (fs::temp_directory_path() / "zephor_host_gui_XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    // the folder where the build puts the editor program
    host_.LoadPlugins(fs::path(ZEPHOR_BIN_DIR));
    for (int k = 0; k < host_.Count(); ++k)
      if (host_.Plugin(k).FileName == "Polyhedron.wqg") index_ = k;
    ASSERT_GE(index_, 0) << "Polyhedron.wqg not loaded from " << ZEPHOR_BIN_DIR;
    cs_ = std::make_unique<TCS>();
    std::memset(static_cast<void*>(cs_.get()), 0x3C, sizeof(TCS));
    cs_->ScType = shape::SCTYPE_PLANE;
    cs_->CPMaxI = 17;
    cs_->CPMaxJ = 17;
  }
  void TearDown() override {
    host_.UnloadPlugins();
    ::unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(dir_);
  }

  bool Run(const std::function<void(QDialog&)>& action, QWidget* owner) {
    std::function<void(int)> poll = [&](int tries) {
      if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
        action(*d);
      else if (tries > 0)
        QTimer::singleShot(10, [&, tries] { poll(tries - 1); });
    };
    QTimer::singleShot(0, [&] { poll(200); });
    return host_.RunPlugin(index_, owner, *cs_);
  }

  fs::path dir_;
  editor::TPluginHost host_;
  int index_ = -1;
  std::unique_ptr<TCS> cs_;
};

TEST_F(PolyhedronThroughHost, OkWritesTheChosenPolyhedronAndItsSettings) {
  EXPECT_EQ(host_.Plugin(index_).Name, u"Polyhedron");
  QWidget mainWindow;
  ASSERT_TRUE(Run(
      [](QDialog& d) {
        d.findChild<QComboBox*>()->setCurrentIndex(10);  // truncated icosahedron
        d.findChild<QPushButton*>()->click();
      },
      &mainWindow));
  EXPECT_EQ(cs_->ScType, shape::SCTYPE_SPHERE);
  EXPECT_EQ(cs_->CPMaxI, 33);
  EXPECT_EQ(cs_->CPMaxJ, 33);
  std::set<std::tuple<double, double, double>> points;
  for (int i = 0; i < 33; ++i)
    for (int j = 0; j < 33; ++j) {
      const auto& p = cs_->CP[i][j];
      EXPECT_NEAR(std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]), 0.9921875, 1e-15);
      points.insert({p[0], p[1], p[2]});
    }
  EXPECT_EQ(points.size(), 60u);
  settings::TRegStore store;
  const settings::TRegValue* type =
      store.GetValue("\\Software\\DURIM PROJECT\\ZEPHOR6\\Polyhedron\\Setup", "Type");
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(*type, settings::TRegValue::FromInteger(10));
}

TEST_F(PolyhedronThroughHost, TheDialogShowsItsTextsWhole) {
  std::vector<std::string> cut;
  Run(
      [&](QDialog& d) {
        for (QLabel* label : d.findChildren<QLabel*>()) {
          const QRect r(label->mapTo(&d, QPoint(0, 0)), label->size());
          if (label->width() < label->sizeHint().width() || !d.rect().contains(r))
            cut.push_back(label->text().toStdString());
        }
        d.reject();
      },
      nullptr);
  EXPECT_TRUE(cut.empty()) << cut.front();
}

TEST_F(PolyhedronThroughHost, ClosedDialogLeavesTheShape) {
  const auto before = std::make_unique<TCS>(*cs_);
  EXPECT_FALSE(Run([](QDialog& d) { d.reject(); }, nullptr));
  EXPECT_EQ(std::memcmp(before.get(), cs_.get(), sizeof(TCS)), 0);
}

}  // namespace
