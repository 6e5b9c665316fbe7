// The built plug-in library through its two exports, loaded with dlopen as the editor loads
// it, with its dialog driven headless and its settings in a private settings file.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "settings/RegStore.h"
#include "shape/model/PluginInterface.h"

namespace {

namespace fs = std::filesystem;
using shape::TCS;
using shape::TDbl3D;

const char* const kLibrary = ZEPHOR_BIN_DIR "/Polyhedron.wqg";
const std::string kKeyPath = "\\Software\\DURIM PROJECT\\ZEPHOR6\\Polyhedron";
const std::string kSetupKey = kKeyPath + "\\Setup";
const std::u16string kKeyPath16 = u"\\Software\\DURIM PROJECT\\ZEPHOR6\\Polyhedron";

QApplication& App() {
  static int argc = 1;
  static char name[] = "test_polyhedron_plugin";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

struct Library {
  void* handle = nullptr;
  TPluginNameZP6 name = nullptr;
  TPluginExecZP6 exec = nullptr;
};

const Library& Plugin() {
  static const Library lib = [] {
    Library l;
    l.handle = ::dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
    if (l.handle) {
      l.name = reinterpret_cast<TPluginNameZP6>(::dlsym(l.handle, "PluginNameZP6"));
      l.exec = reinterpret_cast<TPluginExecZP6>(::dlsym(l.handle, "PluginExecZP6"));
    }
    return l;
  }();
  return lib;
}

// What the test does with the dialog once it is shown.
using DialogAction = std::function<void(QDialog&)>;

void PressOk(QDialog& d) { d.findChild<QPushButton*>()->click(); }

class PolyhedronPlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    ASSERT_NE(Plugin().handle, nullptr) << ::dlerror();
    ASSERT_NE(Plugin().exec, nullptr);
    std::string pattern = (fs::temp_directory_path() / "zephor_polyhedron_XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    cs_ = std::make_unique<TCS>();
    auto* bytes = reinterpret_cast<unsigned char*>(cs_.get());
    for (size_t k = 0; k < sizeof(TCS); ++k) bytes[k] = static_cast<unsigned char>(k * 5 + 1);
    cs_->ScType = shape::SCTYPE_TORUS;
    cs_->CPMaxI = 257;
    cs_->CPMaxJ = 257;
  }
  void TearDown() override {
    ::unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(dir_);
  }

  // Calls PluginExecZP6 and runs `action` on the modal dialog it shows.
  TPluginBool Run(const DialogAction& action, QWidget* owner = nullptr) {
    bool seen = false;
    std::function<void(int)> poll = [&](int tries) {
      auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (d) {
        seen = true;
        dialogTitle_ = d->windowTitle();
        dialogParent_ = d->parentWidget();
        action(*d);
      } else if (tries > 0) {
        QTimer::singleShot(10, [&, tries] { poll(tries - 1); });
      }
    };
    QTimer::singleShot(0, [&] { poll(200); });
    const std::u16string path = kKeyPath16;
    const char16_t* text = path.c_str();
    const TPluginBool result = Plugin().exec(owner, &text, cs_.get());
    EXPECT_TRUE(seen) << "no modal dialog was shown";
    return result;
  }

  static void SetDword(const char* name, uint32_t value) {
    settings::TRegStore store;
    store.WriteInteger(kSetupKey, name, value);
    store.Flush();
  }
  static void SetString(const char* name, const char* text) {
    settings::TRegStore store;
    store.WriteString(kSetupKey, name, text);
    store.Flush();
  }
  static settings::TRegValue Stored(const char* name) {
    settings::TRegStore store;
    const settings::TRegValue* v = store.GetValue(kSetupKey, name);
    return v ? *v : settings::TRegValue{};
  }

  fs::path dir_;
  std::unique_ptr<TCS> cs_;
  QString dialogTitle_;
  QWidget* dialogParent_ = nullptr;
};

TEST(PolyhedronPluginLibrary, ExportsExactlyTheTwoEntryPoints) {
  ASSERT_NE(Plugin().name, nullptr);
  const char16_t* a = Plugin().name();
  EXPECT_EQ(a, Plugin().name());
  EXPECT_EQ(std::u16string(a), u"Polyhedron");

  std::set<std::string> exported;
  FILE* pipe = ::popen((std::string("nm -D --defined-only '") + kLibrary + "'").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char line[1024];
  while (std::fgets(line, sizeof line, pipe)) {
    char kind = 0;
    char sym[900] = {};
    if (std::sscanf(line, "%*s %c %899s", &kind, sym) == 2 && kind == 'T') exported.insert(sym);
  }
  ::pclose(pipe);
  EXPECT_EQ(exported, (std::set<std::string>{"PluginExecZP6", "PluginNameZP6"}));
  EXPECT_EQ(fs::path(kLibrary).filename(), "Polyhedron.wqg");
}

TEST_F(PolyhedronPlugin, FirstRunShowsDefaultsAndOkWritesTheTetrahedron) {
  int entries = -1, sliderMin = -1, sliderMax = -1, sliderPos = -1, current = -1, buttons = 0;
  QStringList texts;
  const TPluginBool r = Run([&](QDialog& d) {
    auto* combo = d.findChild<QComboBox*>();
    auto* slider = d.findChild<QSlider*>();
    entries = combo->count();
    for (int k = 0; k < combo->count(); ++k) texts << combo->itemText(k);
    current = combo->currentIndex();
    sliderMin = slider->minimum();
    sliderMax = slider->maximum();
    sliderPos = slider->value();
    buttons = static_cast<int>(d.findChildren<QPushButton*>().size());
    PressOk(d);
  });
  EXPECT_NE(r, 0);
  EXPECT_EQ(dialogTitle_, "Polyhedron Plug-in Dialog");
  EXPECT_EQ(entries, 17);
  ASSERT_EQ(texts.size(), 17);
  EXPECT_EQ(texts[0], "r01 Tetrahedron ");
  EXPECT_EQ(texts[14], "s10 Truncated cuboctahedron ");
  EXPECT_EQ(texts[15], "k05 Small stellated dodecahedron");
  EXPECT_EQ(texts[16], "k03 Great stellated dodecahedron");
  EXPECT_EQ(current, 0);
  EXPECT_EQ(sliderMin, 1);
  EXPECT_EQ(sliderMax, 10);
  EXPECT_EQ(sliderPos, 10);
  EXPECT_EQ(buttons, 1);

  EXPECT_EQ(cs_->ScType, shape::SCTYPE_SPHERE);
  EXPECT_EQ(cs_->CPMaxI, 33);
  EXPECT_EQ(cs_->CPMaxJ, 33);
  std::set<std::tuple<double, double, double>> points;
  for (int i = 0; i < 33; ++i) {
    EXPECT_EQ(cs_->CP[i][0][2], -0.9921875);
    for (int j = 0; j < 33; ++j) {
      const TDbl3D& p = cs_->CP[i][j];
      EXPECT_NEAR(std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]), 0.9921875, 1e-15);
      points.insert({p[0], p[1], p[2]});
    }
  }
  EXPECT_EQ(points.size(), 4u);
  EXPECT_EQ(Stored("Type"), settings::TRegValue::FromInteger(0));
  EXPECT_EQ(Stored("Size"), settings::TRegValue::FromInteger(10));
}

TEST_F(PolyhedronPlugin, ChosenEntryAndSizeAreWrittenAndStored) {
  QWidget owner;
  const TPluginBool r = Run(
      [](QDialog& d) {
        d.findChild<QComboBox*>()->setCurrentIndex(2);
        d.findChild<QSlider*>()->setValue(5);
        PressOk(d);
      },
      &owner);
  EXPECT_NE(r, 0);
  EXPECT_EQ(dialogParent_, &owner);
  EXPECT_TRUE(owner.findChildren<QDialog*>().isEmpty());  // freed before the call returned
  const double c = 0.49609375 / std::sqrt(3.0);
  for (int i = 0; i < 33; ++i)
    for (int j = 0; j < 33; ++j)
      for (int a = 0; a < 3; ++a) EXPECT_NEAR(std::fabs(cs_->CP[i][j][a]), c, 1e-16);
  EXPECT_EQ(Stored("Type"), settings::TRegValue::FromInteger(2));
  EXPECT_EQ(Stored("Size"), settings::TRegValue::FromInteger(5));
  // the rest of the former 257 x 257 torus is as it was
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(cs_.get());
  const size_t gp = offsetof(TCS, GP);
  EXPECT_EQ(bytes[gp + 1000], static_cast<unsigned char>((gp + 1000) * 5 + 1));
  const size_t beyond = offsetof(TCS, CP) + (33 * 257 + 5) * sizeof(TDbl3D);
  EXPECT_EQ(bytes[beyond], static_cast<unsigned char>(beyond * 5 + 1));
}

TEST_F(PolyhedronPlugin, ClosingWithoutOkChangesNothing) {
  SetDword("Size", 7);
  const auto before = std::make_unique<TCS>(*cs_);
  const TPluginBool r = Run([](QDialog& d) {
    d.findChild<QComboBox*>()->setCurrentIndex(9);
    d.close();  // the caption's close button
  });
  EXPECT_EQ(r, 0);
  EXPECT_EQ(std::memcmp(before.get(), cs_.get(), sizeof(TCS)), 0);
  EXPECT_EQ(Stored("Type").Type, settings::TRegDataType::rdUnknown);
  EXPECT_EQ(Stored("Size"), settings::TRegValue::FromInteger(7));
  settings::TRegStore store;
  EXPECT_TRUE(store.KeyExists(kKeyPath));  // opened for reading, the key exists from now on
}

TEST_F(PolyhedronPlugin, StoredSettingsAreBoundedAndKeepTheirKind) {
  struct Case {
    const char* what;
    bool typeIsText;
    int64_t type;
    const char* typeText;
    int64_t size;  // < 0: not stored
    int shownType, shownSize;
    settings::TRegValue typeAfter, sizeAfter;
  };
  using settings::TRegValue;
  const Case cases[] = {
      {"type too large", false, 40, "", 10, 16, 10, TRegValue::FromInteger(16), TRegValue::FromInteger(10)},
      {"type negative", false, -3, "", 10, 0, 10, TRegValue::FromInteger(0), TRegValue::FromInteger(10)},
      {"size 0", false, 4, "", 0, 4, 1, TRegValue::FromInteger(4), TRegValue::FromInteger(1)},
      {"size 25", false, 4, "", 25, 4, 10, TRegValue::FromInteger(4), TRegValue::FromInteger(10)},
      {"size missing", false, 7, "", -1, 7, 10, TRegValue::FromInteger(7), TRegValue::FromInteger(10)},
      {"type as text", true, 0, "5", 3, 5, 3, TRegValue::FromString("5"), TRegValue::FromInteger(3)},
      {"type as other text", true, 0, "abc", 3, 0, 3, TRegValue::FromString("0"), TRegValue::FromInteger(3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir_ / "DURIM PROJECT");
    if (c.typeIsText)
      SetString("Type", c.typeText);
    else
      SetDword("Type", static_cast<uint32_t>(c.type));
    if (c.size >= 0) SetDword("Size", static_cast<uint32_t>(c.size));
    int shownType = -1, shownSize = -1;
    const TPluginBool r = Run([&](QDialog& d) {
      shownType = d.findChild<QComboBox*>()->currentIndex();
      shownSize = d.findChild<QSlider*>()->value();
      PressOk(d);
    });
    EXPECT_NE(r, 0);
    EXPECT_EQ(shownType, c.shownType);
    EXPECT_EQ(shownSize, c.shownSize);
    EXPECT_EQ(Stored("Type"), c.typeAfter);
    EXPECT_EQ(Stored("Size"), c.sizeAfter);
  }
}

TEST_F(PolyhedronPlugin, TheEditorsOwnWriteBackKeepsThePlugInsValues) {
  settings::TRegStore editorStore;  // read at start-up, before the plug-in runs
  Run([](QDialog& d) {
    d.findChild<QComboBox*>()->setCurrentIndex(12);
    PressOk(d);
  });
  editorStore.WriteInteger("\\Software\\DURIM PROJECT\\ZEPHOR6\\Setup", "View Level", 2);
  editorStore.Flush();
  EXPECT_EQ(Stored("Type"), settings::TRegValue::FromInteger(12));
}

TEST_F(PolyhedronPlugin, BadArgumentsReportNoChange) {
  const auto before = std::make_unique<TCS>(*cs_);
  const char16_t* none = nullptr;
  EXPECT_EQ(Plugin().exec(nullptr, nullptr, cs_.get()), 0);
  EXPECT_EQ(Plugin().exec(nullptr, &none, cs_.get()), 0);
  const char16_t* text = kKeyPath16.c_str();
  EXPECT_EQ(Plugin().exec(nullptr, &text, nullptr), 0);
  EXPECT_EQ(std::memcmp(before.get(), cs_.get(), sizeof(TCS)), 0);
}

}  // namespace
