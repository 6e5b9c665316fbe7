#pragma once
// A text control shown in a window, started as the library's start-up leaves it (shortcuts,
// clipboard format), with helpers to set its text and formats.
#include <QTest>
#include <QWidget>
#include <memory>
#include <string>

#include "platform/ui/tests/UiTestApp.h"
#include "rastova/view/text/RVTextControl.h"
#include "rastova/view/vect/RVVectStartup.h"

namespace rv::texttest {

struct AppFirst {
  AppFirst() { platform::test::App(); }
};

struct TextWindow : AppFirst {
  QWidget window;
  TRVTextControl* control;
  explicit TextWindow(int w = 300, int h = 200) {
    RVVectStartup();
    RegisterTextMemoFormat();
    control = new TRVTextControl(&window);
    control->FTextFont.Name = "Arial";
    control->FTextFont.SetHeight(-14);
    control->setGeometry(0, 0, w, h);
    window.resize(w + 20, h + 20);
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    QApplication::setActiveWindow(&window);
    control->SetFocus();
  }
  ~TextWindow() { std::free(control->FText); }
  // A new text with the default format; laid out at once.
  void SetText(const std::string& text) {
    std::free(control->FText);
    control->FText = TRVTextControl::AllocText(text);
    control->FFormats.reset();
    std::free(control->FCharFormats);
    control->FCharFormats = nullptr;
    control->InitText();
    Layout();
  }
  void Layout() {
    control->Update();
    control->TCustomControl::Update();
  }
  // Runs the paint that a key or click left pending, so that the positions are current.
  void Settle() { control->TCustomControl::Update(); }
  std::string Text() const { return std::string(control->FText ? control->FText : "", control->FTextLength); }
};

}  // namespace rv::texttest
