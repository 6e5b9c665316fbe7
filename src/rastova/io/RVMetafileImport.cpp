#include "rastova/io/RVMetafileImport.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/CodePage.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "rastova/codecs/bitmaps/rawbmpfilt.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVDefs.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RVIOThread.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/io/RastovaIOStartup.h"

namespace rv {

namespace {

int32_t LE32(const uint8_t* p) {
  return int32_t(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24));
}
int16_t LE16(const uint8_t* p) { return int16_t(uint16_t(p[0]) | (uint16_t(p[1]) << 8)); }

int32_t HoldSize(int64_t v) { return static_cast<int32_t>(std::min<int64_t>(v, INT32_MAX)); }

// Pixels per inch of the screen a Windows metafile's units are converted to.
constexpr int64_t kScreenDpi = 96;

// The key colour of the transparency pass: blue 1, green 2, red 3.
constexpr TColor kKeyColor = 66051;

}  // namespace

bool TRVHeaderMetafile::LoadFromStream(TStream& stream) {
  Width = Height = 0;
  Enhanced = false;
  const int64_t start = stream.GetPosition();
  if (IsEMFStream(stream)) {
    uint8_t h[24];
    const bool read = stream.Read(h, 24) == 24;
    stream.SetPosition(start);
    if (!read) return false;
    const int64_t left = LE32(h + 8), top = LE32(h + 12), right = LE32(h + 16), bottom = LE32(h + 20);
    Enhanced = true;
    Width = HoldSize(std::llabs(right - left) + 1);
    Height = HoldSize(std::llabs(bottom - top) + 1);
    return true;
  }
  if (!IsWMFStream(stream)) return false;
  uint8_t h[16];
  const bool read = stream.Read(h, 16) == 16;
  stream.SetPosition(start);
  if (!read) return false;
  if (uint32_t(LE32(h)) == 0x9AC6CDD7u) {
    const int64_t left = LE16(h + 6), top = LE16(h + 8), right = LE16(h + 10), bottom = LE16(h + 12);
    const int64_t inch = std::max<int64_t>(1, uint16_t(LE16(h + 14)));
    Width = HoldSize(std::llabs(right - left) * kScreenDpi / inch);
    Height = HoldSize(std::llabs(bottom - top) * kScreenDpi / inch);
  }
  return true;
}

bool TRVHeaderMetafile::Draw(platform::TCanvas& /*canvas*/, int32_t /*left*/, int32_t /*top*/) {
  return false;
}

void MetafileParams(TStream& stream, TIOParamsVals& params, TRVProgressRec& progress) {
  TRVHeaderMetafile metafile;
  if (!metafile.LoadFromStream(stream)) {
    progress.SetAborting();
    return;
  }
  params.FileName.clear();
  params.FileType = metafile.Enhanced ? ioEMF : ioWMF;
  params.BitsPerSample = 8;
  params.SamplesPerPixel = 3;
  params.Width = params.StoredWidth = metafile.Width;
  params.Height = params.StoredHeight = metafile.Height;
  params.SetDpiX(DefaultDpiX);
  params.SetDpiY(DefaultDpiY);
  params.FreeColorMap();
}

// ---------------------------------------------------------------- the component's members

void TRastovaIO::ImportMetafile(const std::string& fileName, int32_t width, int32_t height, bool withAlpha) {
  if (AsyncGateOpen()) {
    TRVIOThread::StartMetafile(
        *this, fileName, width, height, withAlpha,
        [this](const std::string& n, int32_t w, int32_t h, bool a) { ImportMetafile(n, w, h, a); });
    return;
  }
  try {
    TRVHeaderMetafile metafile;
    {
      TRVWideFileStream file(fileName, TRVWideFileStream::fmOpenRead | TRVWideFileStream::fmShareDenyWrite);
      metafile.LoadFromStream(file);
    }
    ImportMetafileGraphic(metafile, width, height, withAlpha);
    Params.FileName = common::Utf8ToUtf16(fileName);
  } catch (...) {
    Aborting = true;
    DoFinishWork();
    throw;
  }
  DoFinishWork();
}

void TRastovaIO::ImportMetafileStream(TStream& stream, int32_t width, int32_t height, bool withAlpha) {
  try {
    TRVHeaderMetafile metafile;
    metafile.LoadFromStream(stream);
    ImportMetafileGraphic(metafile, width, height, withAlpha);
    Params.FileName.clear();
  } catch (...) {
    Aborting = true;
    DoFinishWork();
    throw;
  }
  DoFinishWork();
}

void TRastovaIO::ParamsFromMetafileStream(TStream& stream) {
  TRVProgressRec progress(&Aborting);
  MetafileParams(stream, Params, progress);
}

void TRastovaIO::ImportMetafileGraphic(TRVMetafile& metafile, int32_t width, int32_t height, bool withAlpha) {
  Aborting = false;
  if (metafile.Width <= 0 || metafile.Height <= 0) {
    Aborting = true;
    return;
  }
  if (width == 0 || height == 0 || !PrepareBitmap(0)) return;
  Params.ResetInfo();
  // The size asked for: both sides, one side with the other following the picture's aspect, or
  // the picture's own size.
  const int64_t mw = metafile.Width, mh = metafile.Height;
  int64_t w = mw, h = mh;
  if (width > 0 && height > 0) {
    w = width;
    h = height;
  } else if (height > 0) {
    w = mw * height / mh;
    h = height;
  } else if (width > 0) {
    h = mh * width / mw;
    w = width;
  }
  // The larger side is held to the limit and the other scaled with it.
  const int64_t limit = std::max<int32_t>(1, MetafileSizeLimit);
  if (w > limit || h > limit) {
    if (h > w) {
      w = w * limit / h;
      h = limit;
    } else {
      h = h * limit / w;
      w = limit;
    }
  }
  // A side scaled below one pixel keeps one.
  w = std::max<int64_t>(1, w);
  h = std::max<int64_t>(1, h);
  metafile.Width = static_cast<int32_t>(w);
  metafile.Height = static_cast<int32_t>(h);

  platform::TBitmap picture(metafile.Width, metafile.Height, platform::pf24bit);
  Params.FileName.clear();
  Params.FileType = metafile.Enhanced ? ioEMF : ioWMF;
  Params.BitsPerSample = 8;
  Params.SamplesPerPixel = 3;
  Params.Width = Params.StoredWidth = picture.Width();
  Params.Height = Params.StoredHeight = picture.Height();
  Params.SetDpiX(DefaultDpiX);
  Params.SetDpiY(DefaultDpiY);
  Params.FreeColorMap();
  UpdateViewDPI(Params.DpiX, Params.DpiY);

  auto paint = [&](platform::TBitmap& target, TColor background) {
    platform::TCanvas canvas(target);
    canvas.Brush.Color = background;
    canvas.Brush.Style = platform::bsSolid;
    canvas.FillRect(platform::TRect{0, 0, target.Width(), target.Height()});
    return metafile.Draw(canvas, 0, 0);
  };
  if (!paint(picture, GetBackground())) {
    Aborting = true;
    return;
  }
  const int32_t pw = picture.Width(), ph = picture.Height();
  bitmap_->RemoveAlphaBitmap(false, 0);
  bitmap_->Allocate(pw, ph, rv24RGB);
  if (bitmap_->IsEmpty()) {
    Aborting = true;
    return;
  }
  for (int32_t y = 0; y < ph; ++y) std::memcpy(bitmap_->GetScanLine(y), picture.ScanLine(y), size_t(pw) * 3);
  bitmap_->RemoveAlphaBitmap(false, 0);

  if (withAlpha) {
    // Drawn again over the key colour: what the picture leaves unpainted becomes transparent.
    platform::TBitmap keyed(pw, ph, platform::pf24bit);
    if (paint(keyed, kKeyColor)) {
      TRVBitmap* alpha = bitmap_->AlphaBitmap();
      for (int32_t y = 0; y < ph; ++y) {
        const uint8_t* s = keyed.ScanLine(y);
        uint8_t* a = alpha->GetScanLine(y);
        for (int32_t x = 0; x < pw; ++x, s += 3) a[x] = (s[0] == 1 && s[1] == 2 && s[2] == 3) ? 0 : 255;
      }
      alpha->UpdateOpaqueFlag();
    }
  }
  Update();
}

}  // namespace rv
