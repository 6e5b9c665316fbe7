#include "rastova/view/RastovaPaletteDialog.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include "platform/gfx/Canvas.h"
#include "rastova/core/RVUtils.h"

namespace rv {

namespace {

constexpr int32_t kPitch = 16;
constexpr int32_t kColumns = 32;

// Whole-number division rounding down, so that positions left of or above the grid fall
// outside it.
int32_t FloorDiv(int32_t a, int32_t b) { return a >= 0 ? a / b : -((-int64_t(a) + b - 1) / b); }

}  // namespace

TRastovaPaletteDialog::TRastovaPaletteDialog(QWidget* AOwner) : QDialog(AOwner) {
  setWindowTitle(QStringLiteral("Palette"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setModal(true);
  setFixedSize(520, 199);
  setMouseTracking(true);
  cancelButton_ = new QPushButton(QStringLiteral("&Cancel"), this);
  cancelButton_->setGeometry(4, 136, 75, 25);
  cancelButton_->setAutoDefault(false);
  // Escape rejects the dialog as the cancel button does.
  connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
  surface_.SetSize(width(), height());
  PaintSwatches();
}

void TRastovaPaletteDialog::SetPalette(const TRGB* Palette, int32_t Count) {
  palette_ = Palette;
  colorCount_ = Palette ? std::max(Count, 0) : 0;
  PaintSwatches();
  update();
}

bool TRastovaPaletteDialog::Execute() { return exec() == QDialog::Accepted; }

int32_t TRastovaPaletteDialog::SwatchAt(int32_t X, int32_t Y) const {
  const int32_t column = FloorDiv(X - 1, kPitch), row = FloorDiv(Y - 1, kPitch);
  if (column < 0 || column >= kColumns || row < 0) return -1;
  const int64_t index = int64_t(row) * kColumns + column;
  return index < colorCount_ ? static_cast<int32_t>(index) : -1;
}

void TRastovaPaletteDialog::PaintSwatches() {
  platform::TCanvas& canvas = surface_.Canvas();
  canvas.Brush = {platform::clBtnFace, platform::bsSolid};
  canvas.FillRect(platform::Rect(0, 0, surface_.Width(), surface_.Height()));
  canvas.Pen = platform::TPen{};
  for (int32_t i = 0; i < colorCount_; ++i) {
    const int32_t x = kPitch * (i % kColumns), y = kPitch * (i / kColumns);
    if (y > surface_.Height()) break;
    canvas.Brush.Color = RGBToColor(palette_[i]);
    canvas.Pen.Color = i == highlightedIndex_ ? platform::clBlack : platform::clWhite;
    canvas.Rectangle(x + 1, y + 1, x + kPitch, y + kPitch);
  }
}

void TRastovaPaletteDialog::MouseMoveHandler(int32_t X, int32_t Y) {
  const int32_t index = SwatchAt(X, Y);
  if (index < 0 || index == highlightedIndex_) return;
  highlightedIndex_ = index;
  PaintSwatches();
  repaint();
}

void TRastovaPaletteDialog::ClickHandler() {
  if (highlightedIndex_ < 0 || highlightedIndex_ >= colorCount_) return;
  pickedColor_ = RGBToColor(palette_[highlightedIndex_]);
  accept();
}

void TRastovaPaletteDialog::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.drawImage(0, 0, surface_.Image());
}

void TRastovaPaletteDialog::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  MouseMoveHandler(p.x(), p.y());
  QDialog::mouseMoveEvent(event);
}

void TRastovaPaletteDialog::mouseReleaseEvent(QMouseEvent* event) {
  QDialog::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) ClickHandler();
}

void TRastovaPaletteDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  surface_.SetSize(width(), height());
  PaintSwatches();
}

}  // namespace rv
