#include "platform/ui/Splash.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QScreen>

namespace platform {

TSplashForm::TSplashForm(const QImage& picture)
    : QWidget(nullptr, Qt::FramelessWindowHint), picture_(picture) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName("SplashForm");
  setFixedSize(picture_.size());
}

TSplashForm* TSplashForm::ShowSplash(const QImage& picture) {
  auto* form = new TSplashForm(picture);
  if (QScreen* screen = QApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    form->move(area.center() - QPoint(form->width() / 2, form->height() / 2));
  }
  form->show();
  form->activateWindow();
  form->repaint();
  return form;
}

void TSplashForm::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, picture_);
}

bool TSplashForm::event(QEvent* event) {
  if (event->type() == QEvent::WindowDeactivate) close();
  return QWidget::event(event);
}

}  // namespace platform
