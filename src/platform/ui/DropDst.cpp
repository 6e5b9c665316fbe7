#include "platform/ui/DropDst.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "platform/ui/Application.h"

namespace platform {

namespace {

// The local files a drag carries, in its order; the names are taken whole.
std::vector<std::string> LocalFiles(const QMimeData* data) {
  std::vector<std::string> files;
  if (!data || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) files.push_back(url.toLocalFile().toStdString());
  }
  return files;
}

}  // namespace

TDropDst::TDropDst(QObject* owner) : TControlHook(owner) {}

void TDropDst::SetAcceptDrop(bool value) {
  if (value == acceptDrop_) return;
  acceptDrop_ = value;
  ApplyAcceptDrop();
}

void TDropDst::Loaded() {
  TControlHook::Loaded();
  ApplyAcceptDrop();
}

void TDropDst::HandleChanged(int reason) {
  TControlHook::HandleChanged(reason);
  ApplyAcceptDrop();
}

void TDropDst::ApplyAcceptDrop() {
  if (QWidget* target = HookedControl()) target->setAcceptDrops(acceptDrop_);
}

bool TDropDst::WndProc(QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDropEvent*>(event);
      if (acceptDrop_ && !LocalFiles(drag->mimeData()).empty())
        drag->acceptProposedAction();
      else
        drag->ignore();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      const std::vector<std::string> files =
          acceptDrop_ ? LocalFiles(drop->mimeData()) : std::vector<std::string>{};
      if (files.empty()) {
        drop->ignore();
        return true;
      }
      drop->acceptProposedAction();
      if (OnFileDrop) {
        const QPoint at = drop->position().toPoint();
        GuardedCall([&] { OnFileDrop(this, files, at.x(), at.y()); });
      }
      return true;
    }
    default:
      return TControlHook::WndProc(event);
  }
}

}  // namespace platform
