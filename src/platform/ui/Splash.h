#pragma once
// The splash window: a frameless window of the picture's size, centred on the screen, shown
// and painted at once, that closes and frees itself as soon as it loses the focus (when the
// main window takes it) or the main window is shown. It never keeps the program running.
#include <QImage>
#include <QWidget>

namespace platform {

class TSplashForm : public QWidget {
 public:
  explicit TSplashForm(const QImage& picture);

  // Creates the window, shows it centred and paints it before returning; it frees itself.
  static TSplashForm* ShowSplash(const QImage& picture);
  // Closes the splash that is showing, if any: the main window calls it when it is shown,
  // whatever kept the focus from moving (no window manager, a message box before it).
  static void CloseSplash();
  // The splash that is showing, or nullptr.
  static TSplashForm* Current();

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  QImage picture_;
};

}  // namespace platform
