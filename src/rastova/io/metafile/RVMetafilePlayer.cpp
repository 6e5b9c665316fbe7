// The metafile player: loading and checking, and drawing onto a canvas or a painter.
#include "rastova/io/metafile/RVMetafilePlayer.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <climits>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/metafile/RVEmfPlayer.h"
#include "rastova/io/metafile/RVMetaDC.h"
#include "rastova/io/metafile/RVWmfPlayer.h"

namespace rv {

bool TRVMetafilePlayer::LoadFromStream(TStream& stream) {
  const int64_t start = stream.GetPosition();
  // Read in pieces: a stream that claims more than it holds costs only what it holds.
  std::vector<uint8_t> bytes;
  constexpr int64_t kPiece = int64_t(1) << 20;
  while (int64_t(bytes.size()) < kMaxMetafileBytes) {
    const size_t have = bytes.size();
    const int64_t want = std::min<int64_t>(kPiece, kMaxMetafileBytes - int64_t(have));
    bytes.resize(have + size_t(want));
    const int64_t got = stream.Read(bytes.data() + have, want);
    bytes.resize(have + size_t(std::max<int64_t>(got, 0)));
    if (got < want) break;
  }
  stream.SetPosition(start);
  return LoadFromBytes(std::move(bytes));
}

bool TRVMetafilePlayer::LoadFromBytes(std::vector<uint8_t> bytes) {
  bytes_.clear();
  loaded_ = false;
  Width = Height = 0;
  Enhanced = false;
  reference_ = QRectF();
  TRVEmfHeader emf;
  TRVWmfHeader wmf;
  if (CheckEmf(bytes, emf)) {
    Enhanced = true;
    Width = emf.Width;
    Height = emf.Height;
    reference_ = emf.Reference;
    unitsPerMm_ = emf.UnitsPerMm;
  } else if (CheckWmf(bytes, wmf)) {
    Width = wmf.Width;
    Height = wmf.Height;
    reference_ = wmf.Reference;
    unitsPerMm_ = wmf.UnitsPerMm;
  } else {
    return false;
  }
  bytes_ = std::move(bytes);
  loaded_ = true;
  return true;
}

bool TRVMetafilePlayer::Drawable() const {
  return loaded_ && reference_.width() > 0 && reference_.height() > 0;
}

void TRVMetafilePlayer::Play(QPainter& painter, const QRect& target) const {
  if (!Drawable() || target.isEmpty()) return;
  TRVMetaDC dc(painter, target, reference_, unitsPerMm_);
  if (Enhanced)
    PlayEmf(bytes_, dc);
  else
    PlayWmf(bytes_, dc);
}

bool TRVMetafilePlayer::Draw(platform::TCanvas& canvas, int32_t left, int32_t top) {
  if (!Drawable() || Width <= 0 || Height <= 0 || int64_t(left) + Width > INT32_MAX ||
      int64_t(top) + Height > INT32_MAX)
    return false;
  QImage image = canvas.Bitmap().Image();
  if (image.isNull() || image.format() == QImage::Format_Indexed8 || image.format() == QImage::Format_Mono)
    return false;
  const QRect target(left, top, Width, Height);
  {
    QPainter painter(&image);
    if (!painter.isActive()) return false;
    if (canvas.ClipRegion()) painter.setClipRegion(*canvas.ClipRegion());
    Play(painter, target);
  }
  canvas.NotifyChanged(platform::TRect{left, top, left + Width, top + Height});
  return true;
}

}  // namespace rv
