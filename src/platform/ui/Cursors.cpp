#include "platform/ui/Cursors.h"

#include <QImage>
#include <QPixmap>
#include <algorithm>

namespace platform {

namespace {

Qt::CursorShape StandardShape(TCursor id) {
  switch (id) {
    case crNone:
      return Qt::BlankCursor;
    case crCross:
      return Qt::CrossCursor;
    case crIBeam:
      return Qt::IBeamCursor;
    case crSizeNESW:
      return Qt::SizeBDiagCursor;
    case crSizeNS:
      return Qt::SizeVerCursor;
    case crSizeNWSE:
      return Qt::SizeFDiagCursor;
    case crSizeWE:
      return Qt::SizeHorCursor;
    case crUpArrow:
      return Qt::UpArrowCursor;
    case crHourGlass:
    case crSQLWait:
      return Qt::WaitCursor;
    case crDrag:
      return Qt::DragCopyCursor;
    case crMultiDrag:
      return Qt::DragMoveCursor;
    case crNoDrop:
    case crNo:
      return Qt::ForbiddenCursor;
    case crHSplit:
      return Qt::SplitHCursor;
    case crVSplit:
      return Qt::SplitVCursor;
    case crAppStart:
      return Qt::BusyCursor;
    case crHelp:
      return Qt::WhatsThisCursor;
    case crHandPoint:
      return Qt::PointingHandCursor;
    case crSizeAll:
      return Qt::SizeAllCursor;
    case crDefault:
    case crArrow:
    default:
      return Qt::ArrowCursor;
  }
}

}  // namespace

TCursors& TCursors::Instance() {
  static TCursors cursors;
  return cursors;
}

QCursor TCursors::Get(TCursor id) const {
  for (const auto& [key, cursor] : own_)
    if (key == id) return cursor;
  return QCursor(StandardShape(id));
}

bool TCursors::Has(TCursor id) const {
  if (id <= 0 && id >= crSizeAll) return true;
  return std::any_of(own_.begin(), own_.end(), [id](const auto& e) { return e.first == id; });
}

void TCursors::Set(TCursor id, const QCursor& cursor) {
  for (auto& [key, value] : own_)
    if (key == id) {
      value = cursor;
      return;
    }
  own_.emplace_back(id, cursor);
}

void TCursors::SetFromImage(TCursor id, const QImage& image, int hotX, int hotY) {
  Set(id, QCursor(QPixmap::fromImage(image), hotX, hotY));
}

void TCursors::Remove(TCursor id) {
  own_.erase(std::remove_if(own_.begin(), own_.end(), [id](const auto& e) { return e.first == id; }),
             own_.end());
}

}  // namespace platform
