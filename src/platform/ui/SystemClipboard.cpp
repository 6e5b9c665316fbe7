#include "platform/ui/SystemClipboard.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace platform {

namespace {

// Registered formats are numbered from here up, as the system numbers its private formats.
constexpr TClipboardFormat kFirstPrivateFormat = 0xC000;

QClipboard* SystemClipboard() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard()
                                                                      : nullptr;
}

}  // namespace

TClipboardFormat TSystemClipboard::RegisterFormat(const std::string& name) {
  const std::string mime = "application/x-" + name;
  for (const auto& [format, type] : mimeTypes_)
    if (type == mime) return format;
  const TClipboardFormat format = kFirstPrivateFormat + static_cast<TClipboardFormat>(mimeTypes_.size());
  mimeTypes_[format] = mime;
  return format;
}

std::string TSystemClipboard::MimeType(TClipboardFormat format) const {
  const auto it = mimeTypes_.find(format);
  return it == mimeTypes_.end() ? std::string() : it->second;
}

bool TSystemClipboard::HasFormat(TClipboardFormat format) {
  const std::string mime = MimeType(format);
  QClipboard* clipboard = SystemClipboard();
  if (mime.empty() || !clipboard) return false;
  const QMimeData* data = clipboard->mimeData();
  return data && data->hasFormat(QString::fromStdString(mime));
}

void TSystemClipboard::PutBytes(TClipboardFormat format, const std::vector<uint8_t>& bytes) {
  const std::string mime = MimeType(format);
  QClipboard* clipboard = SystemClipboard();
  if (mime.empty() || !clipboard) return;
  auto* data = new QMimeData;
  data->setData(QString::fromStdString(mime), QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                                         static_cast<qsizetype>(bytes.size())));
  clipboard->setMimeData(data);  // the clipboard owns it and drops what it held
}

bool TSystemClipboard::GetBytes(TClipboardFormat format, std::vector<uint8_t>& bytes) {
  bytes.clear();
  if (!HasFormat(format)) return false;
  const QByteArray data = SystemClipboard()->mimeData()->data(QString::fromStdString(MimeType(format)));
  bytes.assign(reinterpret_cast<const uint8_t*>(data.constData()),
               reinterpret_cast<const uint8_t*>(data.constData()) + data.size());
  return true;
}

void TSystemClipboard::Put(const std::vector<TClipboardBlock>& blocks, const std::u16string* text) {
  QClipboard* clipboard = SystemClipboard();
  if (!clipboard) return;
  auto* data = new QMimeData;
  for (const TClipboardBlock& block : blocks) {
    const std::string mime = MimeType(block.Format);
    if (mime.empty()) continue;
    data->setData(QString::fromStdString(mime), QByteArray(reinterpret_cast<const char*>(block.Bytes.data()),
                                                           static_cast<qsizetype>(block.Bytes.size())));
  }
  if (text) data->setText(QString::fromUtf16(text->data(), static_cast<qsizetype>(text->size())));
  clipboard->setMimeData(data);
}

bool TSystemClipboard::HasText() {
  QClipboard* clipboard = SystemClipboard();
  const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
  return data && data->hasText();
}

bool TSystemClipboard::GetText(std::u16string& text) {
  text.clear();
  if (!HasText()) return false;
  const QString s = SystemClipboard()->mimeData()->text();
  text.assign(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<size_t>(s.size()));
  return true;
}

TSystemClipboard& Clipboard() {
  static TSystemClipboard clipboard;
  return clipboard;
}

bool OpenClipboardRetry() { return SystemClipboard() != nullptr; }

}  // namespace platform
