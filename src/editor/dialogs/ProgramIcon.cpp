#include "editor/dialogs/ProgramIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>
#include <cmath>

namespace editor {

namespace {

QPixmap DrawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const double s = size;
  // The tile.
  QLinearGradient tile(0, 0, 0, s);
  tile.setColorAt(0, QColor(0x2E, 0x6F, 0xC8));
  tile.setColorAt(1, QColor(0x12, 0x2E, 0x66));
  p.setPen(Qt::NoPen);
  p.setBrush(tile);
  p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.18, s * 0.18);
  // The prim: a shaded ball ...
  const QPointF c(s / 2, s / 2);
  const double r = s * 0.36;
  QRadialGradient ball(c - QPointF(r * 0.35, r * 0.35), r * 1.3);
  ball.setColorAt(0, QColor(0xFF, 0xE9, 0xB0));
  ball.setColorAt(1, QColor(0xE0, 0x8A, 0x1E));
  p.setBrush(ball);
  p.drawEllipse(c, r, r);
  // ... with its grid: rows as flattened ellipses, columns as meridians.
  if (size >= 24) {
    QPen line(QColor(0x5A, 0x2A, 0x05, 170), std::max(1.0, s / 64));
    p.setPen(line);
    p.setBrush(Qt::NoBrush);
    for (int k = 1; k < 4; ++k) {
      const double a = k * 3.14159265358979 / 4;  // latitude from the pole
      const double y = c.y() - r * std::cos(a), w = r * std::sin(a);
      p.drawEllipse(QPointF(c.x(), y), w, w * 0.28);
    }
    for (int k = 1; k < 4; ++k) {
      const double w = r * std::cos(k * 3.14159265358979 / 4);
      p.drawEllipse(c, std::abs(w), r);
    }
  }
  return pixmap;
}

}  // namespace

QIcon ProgramIcon() {
  static const QIcon icon = [] {
    QIcon drawn;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) drawn.addPixmap(DrawIcon(size));
    return drawn;
  }();
  return icon;
}

}  // namespace editor
