#include "platform/ui/FileDialogs.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QStringList>
#include <QTreeView>
#include <QWidget>
#include <vector>

namespace platform {

namespace {

// The "|"-separated parts of a filter string.
std::vector<std::string> SplitBars(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t bar = text.find('|', start);
    if (bar == std::string::npos) {
      parts.push_back(text.substr(start));
      break;
    }
    parts.push_back(text.substr(start, bar - start));
    start = bar + 1;
  }
  return parts;
}

QStringList QtFilters(const std::string& filter) {
  QStringList list;
  const auto parts = SplitBars(filter);
  for (size_t k = 0; k + 1 < parts.size(); k += 2)
    list << QString::fromStdString(QtFilterEntry(parts[k], parts[k + 1]));
  return list;
}

// The detail view's Size, Type and Date columns follow their longest entries as the folder
// loads and changes, and the name column takes the rest of the list. The dialog's own fixed
// widths (about 63, 64 and 110 pixels at a 9-point font) cut sizes, type names such as "PNG
// image" and dates, while some 200 pixels of an 820-pixel dialog's list stand empty beside them.
void FitDetailColumns(QFileDialog& dialog) {
  auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  if (!view) return;
  QHeaderView* header = view->header();
  header->setStretchLastSection(false);
  header->setSectionResizeMode(0, QHeaderView::Stretch);
  for (int c = 1; c < header->count(); ++c) header->setSectionResizeMode(c, QHeaderView::ResizeToContents);
}

class TQtFileDialog : public IFileDialog {
 public:
  explicit TQtFileDialog(QWidget* owner) : owner_(owner) {}

  bool Execute(const TFileDialogRequest& request, TFileDialogResult& result) override {
    QFileDialog dialog(owner_, QString::fromStdString(request.Title));
    const bool save = request.Kind == TFileDialogKind::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (save && !request.OverwritePrompt) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    // Wide enough for the columns of the file list (name, size, type, date).
    dialog.setViewMode(QFileDialog::Detail);
    FitDetailColumns(dialog);
    dialog.resize(dialog.sizeHint().expandedTo(QSize(kFileDialogWidth, kFileDialogHeight)));
    const QStringList filters = QtFilters(request.Filter);
    dialog.setNameFilters(filters);
    if (request.FilterIndex >= 1 && request.FilterIndex <= filters.size())
      dialog.selectNameFilter(filters[request.FilterIndex - 1]);
    if (!request.InitialDir.empty()) dialog.setDirectory(QString::fromStdString(request.InitialDir));
    if (!request.FileName.empty()) dialog.selectFile(QString::fromStdString(request.FileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    result.FileName = dialog.selectedFiles().front().toStdString();
    const int index = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
    result.FilterIndex = index >= 0 ? index + 1 : 1;
    return true;
  }

 private:
  QWidget* owner_;
};

}  // namespace

std::string QtFilterEntry(const std::string& name, const std::string& patterns) {
  std::string list;
  for (char c : patterns) list += c == ';' ? ' ' : c;
  return name + " (" + list + ")";
}

std::unique_ptr<IFileDialog> CreateQtFileDialog(QWidget* owner) {
  return std::make_unique<TQtFileDialog>(owner);
}

}  // namespace platform
