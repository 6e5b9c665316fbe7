#pragma once
// What the dialog tests share: the application under a chosen locale, and driving a modal
// dialog: steps that run inside its event loop once it shows, closing it through its buttons.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <functional>

#include "editor/tests/PaneTestUtil.h"

namespace editor_test {

// The application, its regional number format taken from `locale` ("C" or "de_DE.UTF-8"); the
// locale counts only when this is the first call of the process.
inline QApplication& DialogApp(const char* locale = "C") {
  static bool first = true;
  if (first) {
    setenv("LC_ALL", locale, 1);
    first = false;
  }
  return App();
}

// A fixture whose members may be widgets: the application exists before they are made.
class DialogTest : public ::testing::Test {
 protected:
  DialogTest() { DialogApp(); }
};

// Runs `steps` as soon as `dialog` shows (inside its modal loop, which the caller starts next).
// A dialog still open five seconds later is closed with Cancel, and the test fails.
inline void OnceShown(QDialog& dialog, std::function<void()> steps) {
  QTimer::singleShot(0, &dialog, [&dialog, steps] {
    EXPECT_TRUE(dialog.isVisible() && dialog.isModal()) << "the dialog is not shown modally";
    steps();
  });
  QTimer::singleShot(5000, &dialog, [&dialog] {
    if (!dialog.isVisible()) return;
    ADD_FAILURE() << "the dialog was left open";
    dialog.reject();
  });
}

// A click near the button's left edge: a check box or radio button reacts only to its mark and
// its text.
inline void Click(QAbstractButton* button) {
  ASSERT_TRUE(button->isEnabled()) << button->text().toStdString();
  QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier,
                    QPoint(std::min(8, button->width() / 2), button->height() / 2));
}

// Runs `execute` (which shows `dialog` modally) with `steps` inside it; `closer` closes the
// dialog when the steps left it open. Answers what `execute` answers.
template <class Execute>
auto RunModal(QDialog& dialog, QAbstractButton* closer, const std::function<void()>& steps, Execute execute) {
  OnceShown(dialog, [&dialog, closer, &steps] {
    steps();
    if (dialog.isVisible()) Click(closer);
  });
  return execute();
}

// The user picks the entry of `list` with text `text`.
inline void Pick(QComboBox& list, const QString& text) {
  const int k = list.findText(text);
  ASSERT_GE(k, 0) << text.toStdString();
  list.setCurrentIndex(k);
  emit list.activated(k);
}

inline QStringList Entries(const QComboBox& list) {
  QStringList out;
  for (int k = 0; k < list.count(); ++k) out << list.itemText(k);
  return out;
}

}  // namespace editor_test
