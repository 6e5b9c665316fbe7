#include "platform/ui/Splash.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>

namespace platform {

namespace {
QPointer<TSplashForm> gSplash;
}

TSplashForm::TSplashForm(const QImage& picture)
    : QWidget(nullptr, Qt::FramelessWindowHint), picture_(picture) {
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_QuitOnClose, false);
  setObjectName("SplashForm");
  setFixedSize(picture_.size());
}

TSplashForm* TSplashForm::ShowSplash(const QImage& picture) {
  CloseSplash();
  auto* form = new TSplashForm(picture);
  gSplash = form;
  if (QScreen* screen = QApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    form->move(area.center() - QPoint(form->width() / 2, form->height() / 2));
  }
  form->show();
  form->activateWindow();
  form->repaint();
  return form;
}

void TSplashForm::CloseSplash() {
  if (gSplash) gSplash->close();
  gSplash = nullptr;
}

TSplashForm* TSplashForm::Current() { return gSplash; }

void TSplashForm::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, picture_);
}

bool TSplashForm::event(QEvent* event) {
  if (event->type() == QEvent::WindowDeactivate) close();
  return QWidget::event(event);
}

}  // namespace platform
