#include "rastova/io/RVMetafileImport.h"

#include <algorithm>
#include <cstring>

#include "common/CodePage.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVDefs.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RVIOThread.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/io/RastovaIOStartup.h"
#include "rastova/io/metafile/RVMetafilePlayer.h"

namespace rv {

namespace {

// The key colour of the transparency pass: blue 1, green 2, red 3.
constexpr TColor kKeyColor = 66051;

}  // namespace

void MetafileParams(TStream& stream, TIOParamsVals& params, TRVProgressRec& progress) {
  TRVMetafilePlayer metafile;
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
    TRVMetafilePlayer metafile;
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
    TRVMetafilePlayer metafile;
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
  // A metafile that cannot be drawn fails before a picture of its size is allocated.
  if (!metafile.Drawable()) {
    Aborting = true;
    return;
  }
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

  // 32 bits, for the raster operations of the metafile's pens and transfers.
  platform::TBitmap picture(metafile.Width, metafile.Height, platform::pf32bit);
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

  auto paint = [&](TColor background) {
    platform::TCanvas canvas(picture);
    canvas.Brush.Color = background;
    canvas.Brush.Style = platform::bsSolid;
    canvas.FillRect(platform::TRect{0, 0, picture.Width(), picture.Height()});
    return metafile.Draw(canvas, 0, 0);
  };
  if (!paint(GetBackground())) {
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
  for (int32_t y = 0; y < ph; ++y) {
    const uint8_t* s = picture.ScanLine(y);
    uint8_t* d = bitmap_->GetScanLine(y);
    for (int32_t x = 0; x < pw; ++x, s += 4, d += 3) std::memcpy(d, s, 3);
  }
  bitmap_->RemoveAlphaBitmap(false, 0);

  // Drawn again over the key colour: what the picture leaves unpainted becomes transparent.
  if (withAlpha && paint(kKeyColor)) {
    TRVBitmap* alpha = bitmap_->AlphaBitmap();
    for (int32_t y = 0; y < ph; ++y) {
      const uint8_t* s = picture.ScanLine(y);
      uint8_t* a = alpha->GetScanLine(y);
      for (int32_t x = 0; x < pw; ++x, s += 4) a[x] = (s[0] == 1 && s[1] == 2 && s[2] == 3) ? 0 : 255;
    }
    alpha->UpdateOpaqueFlag();
  }
  Update();
}

}  // namespace rv
