#include "rastova/io/RastovaIO.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/CodePage.h"
#include "common/FileReplace.h"
#include "common/MainThreadQueue.h"
#include "common/Round.h"
#include "platform/gfx/Canvas.h"
#include "rastova/codecs/RVEXIF.h"
#include "rastova/codecs/bitmaps/icofilt.h"
#include "rastova/codecs/bitmaps/pcxfilter.h"
#include "rastova/codecs/bitmaps/pxmfilter.h"
#include "rastova/codecs/bitmaps/rawbmpfilt.h"
#include "rastova/codecs/gif/giffilter.h"
#include "rastova/codecs/pages/pdffilt.h"
#include "rastova/codecs/pages/psfilt.h"
#include "rastova/codecs/psd/rvpsd.h"
#include "rastova/codecs/tga/rvtgafil.h"
#include "rastova/codecs/video/RVDirectShow.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVRectCopy.h"
#include "rastova/core/RVResample.h"
#include "rastova/core/RastovaProc.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"
#include "rastova/io/RVCodecBindings.h"
#include "rastova/io/RVAvi.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RVIOThread.h"
#include "rastova/io/RVMetafileImport.h"
#include "rastova/io/RVTWainParams.h"
#include "rastova/io/RVViewFormats.h"
#include "rastova/io/RVWia.h"

namespace rv {

namespace {

constexpr uint16_t kOpenRead = TRVWideFileStream::fmOpenRead | TRVWideFileStream::fmShareDenyWrite;

// Whether the component has its own operations for a built-in format (its codec is built).
bool HasFormatOps(int32_t fileType) {
  switch (fileType) {
    case ioTGA:
      return true;
    case ioPNG:
      return kHavePngCodec;
    case ioBMP:
      return kHaveBmpCodec;
    case ioJPEG:
      return kHaveJpegCodec;
    case ioTIFF:
      return kHaveTiffCodec;
    case ioJP2:
    case ioJ2K:
      return kHaveJ2000Codec;
    case ioDICOM:
      return kHaveDicomCodec;
    case ioGIF:
    case ioPCX:
    case ioICO:
    case ioCUR:
    case ioPXM:
    case ioWBMP:
    case ioDCX:
    case ioPSD:
    case ioBMPRAW:
      return true;
    case ioRAW:
      return kHaveRawCodec;
    case ioHDP:
      return kHaveHDPCodec;
    case ioPS:
      return kHavePsCodec;
    case ioPDF:
      return kHavePdfCodec;
    default:
      return false;
  }
}

// The view's own formats, served by the operations the view library installed.
bool IsViewFormat(int32_t fileType) { return GetViewFormatOps(fileType) != nullptr; }

// Whether the component has a saver of its own for a built-in format.
bool HasSaverOps(int32_t fileType) {
  switch (fileType) {
    case ioCUR:
    case ioDICOM:
    case ioBMPRAW:
      return false;
    default:
      return HasFormatOps(fileType);
  }
}

// What a loader does after its reader: fix a missing resolution, adjust differing resolutions
// (when AutoAdjustDPI), pass the resolution to the view (stream and file loads).
struct TLoadSteps {
  bool fix, adjust, viewFromFile, viewFromStream;
};
TLoadSteps LoadStepsOf(int32_t fileType) {
  switch (fileType) {
    case ioTGA:
      return {true, true, true, false};
    case ioGIF:
    case ioPXM:
      return {true, true, false, false};
    case ioWBMP:
      return {true, false, false, false};
    case ioBMPRAW:
    case ioDICOM:  // keeps the resolution its reader gives
      return {false, false, false, false};
    default:
      return {true, true, true, true};
  }
}

// The leading icon sizes with a width above 0 (at most 16) and as many bit counts.
void IconEntries(const TIOParamsVals& params, std::vector<int32_t>& bitCounts,
                 std::vector<TIOParamsFields::TIcoSize>& sizes) {
  for (int i = 0; i < 16 && params.ICO_Sizes[i].cx > 0; ++i) {
    sizes.push_back(params.ICO_Sizes[i]);
    bitCounts.push_back(params.ICO_BitCount[i]);
  }
}

// The file type the save table gives an extension (lower case, with its dot); 0 for the
// extensions the table does not list.
int32_t SaverOfExtension(const std::string& ext) {
  static const struct {
    const char* ext;
    int32_t type;
  } kTable[] = {
      {".jpg", ioJPEG}, {".jpeg", ioJPEG}, {".jpe", ioJPEG},  {".jif", ioJPEG}, {".jp2", ioJP2},
      {".j2k", ioJ2K},  {".jpc", ioJ2K},   {".j2c", ioJ2K},   {".pcx", ioPCX},  {".dcx", ioDCX},
      {".gif", ioGIF},  {".tif", ioTIFF},  {".tiff", ioTIFF}, {".fax", ioTIFF}, {".g3f", ioTIFF},
      {".g3n", ioTIFF}, {".png", ioPNG},   {".bmp", ioBMP},   {".dib", ioBMP},  {".rle", ioBMP},
      {".tga", ioTGA},  {".targa", ioTGA}, {".vda", ioTGA},   {".icb", ioTGA},  {".vst", ioTGA},
      {".win", ioTGA},  {".pxm", ioPXM},   {".pbm", ioPXM},   {".pgm", ioPXM},  {".ppm", ioPXM},
      {".ico", ioICO},  {".wbmp", ioWBMP}, {".ps", ioPS},     {".eps", ioPS},   {".pdf", ioPDF},
      {".psd", ioPSD},  {".hdp", ioHDP},   {".wdp", ioHDP},
  };
  for (const auto& e : kTable)
    if (ext == e.ext) return e.type;
  return 0;
}

// A stream on a descriptor that hands the descriptor back instead of closing it, so that the
// caller sees the result of close().
class TOwnedFdStream : public THandleStream {
 public:
  explicit TOwnedFdStream(int fd) : THandleStream(fd) {}
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
};

int64_t BytesLeftInStream(TStream& stream) {
  return std::max<int64_t>(0, stream.GetSize() - stream.GetPosition());
}

std::string SystemText(int err) { return std::strerror(err); }

[[noreturn]] void RaiseCreateError(const std::string& name, int err) {
  throw EFCreateError("Cannot create file \"" + name + "\". " + SystemText(err));
}

std::string DirectoryOf(const std::string& path) {
  const size_t p = path.rfind('/');
  if (p == std::string::npos) return ".";
  if (p == 0) return "/";
  return path.substr(0, p);
}

// A save writes ".rvsave-<process id>-XXXXXXXX.tmp" beside its target. The process id lets a
// later save tell the files of processes that were killed mid-save from those of saves still
// running (a reused id only keeps a leftover a while longer).
constexpr char kSaveFilePrefix[] = ".rvsave-";

// The process id in the name of a save's temporary file; 0 when the name is not one.
pid_t SaveFileOwner(const char* name) {
  const size_t prefix = sizeof kSaveFilePrefix - 1;
  if (std::strncmp(name, kSaveFilePrefix, prefix) != 0) return 0;
  const char* p = name + prefix;
  int64_t pid = 0;
  int digits = 0;
  for (; *p >= '0' && *p <= '9' && digits < 10; ++p, ++digits) pid = pid * 10 + (*p - '0');
  if (digits == 0 || *p != '-' || pid <= 0 || pid > INT_MAX) return 0;
  ++p;
  for (int i = 0; i < 8; ++i, ++p)
    if (!((*p >= '0' && *p <= '9') || (*p >= 'A' && *p <= 'F'))) return 0;
  return std::strcmp(p, ".tmp") == 0 ? static_cast<pid_t>(pid) : 0;
}

// Removes the temporary files that saves of processes no longer running left in `dir`.
void RemoveAbandonedSaveFiles(const std::string& dir) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  while (const dirent* e = ::readdir(d)) {
    const pid_t owner = SaveFileOwner(e->d_name);
    if (owner == 0 || ::kill(owner, 0) == 0 || errno != ESRCH) continue;
    struct stat st {};
    if (::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
      ::unlinkat(::dirfd(d), e->d_name, 0);
  }
  ::closedir(d);
}

// Makes a rename in `dir` durable; the file is in place whether or not this succeeds.
void SyncDirectory(const std::string& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// The alpha channel as the writers take it: its 8-bit rows and its Full flag. The writers read
// no bounding box, so the mask's box (a scan of every pixel) is not computed.
void AlphaToWriterMask(TRVBitmap& alpha, TRVMask& mask) {
  if (alpha.GetPixelFormat() != rv8g || alpha.IsEmpty()) {
    alpha.CopyToTRVMask(mask);
    return;
  }
  const int32_t w = alpha.GetWidth(), h = alpha.GetHeight();
  mask.AllocateBits(w, h, 8);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* s = alpha.GetScanLine(y);
    uint8_t* d = mask.GetScanLine(y);
    if (s && d) std::memcpy(d, s, static_cast<size_t>(w));
  }
  alpha.ReleaseFileRows();
  mask.Full = alpha.Full;
}

// The resolution block (Photoshop resource 1005) inside an APP13 marker gets the resolution
// of the parameters; every offset is checked against the marker's length.
void RewriteResolutionBlock(TIOParamsVals& params) {
  TRVMarkerList& markers = params.JPEG_MarkerList;
  const int32_t index = markers.IndexOf(0xED);
  if (index < 0) return;
  const int32_t len = markers.GetMarkerLength(index);
  const uint8_t* data = markers.GetMarkerData(index);
  if (!data || len < 6) return;
  std::vector<uint8_t> copy(data, data + len);
  for (int32_t i = 0; i + 6 <= len; ++i) {
    if (std::memcmp(&copy[static_cast<size_t>(i)], "8BIM\x03\xED", 6) != 0) continue;
    int64_t p = int64_t(i) + 6;
    if (p >= len) return;
    const int64_t nameLen = copy[static_cast<size_t>(p)];
    int64_t nameTotal = 1 + nameLen;
    if (nameTotal & 1) ++nameTotal;
    p += nameTotal;
    if (p + 4 > len) return;
    const uint32_t size = (uint32_t(copy[size_t(p)]) << 24) | (uint32_t(copy[size_t(p + 1)]) << 16) |
                          (uint32_t(copy[size_t(p + 2)]) << 8) | copy[size_t(p + 3)];
    p += 4;
    if (size < 16 || p + 16 > len) return;
    auto put32 = [&](int64_t at, uint32_t v) {
      copy[size_t(at)] = uint8_t(v >> 24);
      copy[size_t(at + 1)] = uint8_t(v >> 16);
      copy[size_t(at + 2)] = uint8_t(v >> 8);
      copy[size_t(at + 3)] = uint8_t(v);
    };
    auto put16 = [&](int64_t at, uint16_t v) {
      copy[size_t(at)] = uint8_t(v >> 8);
      copy[size_t(at + 1)] = uint8_t(v);
    };
    put32(p, static_cast<uint32_t>(params.DpiX) << 16);
    put16(p + 4, 1);
    put16(p + 6, 1);
    put32(p + 8, static_cast<uint32_t>(params.DpiY) << 16);
    put16(p + 12, 1);
    put16(p + 14, 1);
    markers.SetMarker(index, 0xED, copy.data(), len);
    return;
  }
}

// The metadata blocks a JPEG save writes with the image.
void PrepareJpegMarkers(TIOParamsVals& params) {
  RewriteResolutionBlock(params);
  TRVMarkerList& markers = params.JPEG_MarkerList;
  if (params.IPTC_Info.Changed || (params.IPTC_Info.Count() > 0 && markers.Count() == 0)) {
    const std::vector<uint8_t> block = params.IPTC_Info.SaveToBuffer(true);
    const int32_t index = markers.IndexOf(0xED);
    if (!block.empty()) {
      if (index >= 0)
        markers.SetMarker(index, 0xED, block.data(), static_cast<int32_t>(block.size()));
      else
        markers.AddMarker(0xED, block.data(), static_cast<int32_t>(block.size()));
    } else if (index >= 0) {
      markers.DeleteMarker(index);
    }
  }
  if (params.EXIF_HasEXIFData) {
    const std::vector<uint8_t> exif = BuildEXIFBlock(params, true);
    for (int32_t i = 0; i < markers.Count(); ++i) {
      if (markers.GetMarkerType(i) == 0xE1 &&
          IsEXIFMarker(markers.GetMarkerData(i), markers.GetMarkerLength(i))) {
        markers.DeleteMarker(i);
        break;
      }
    }
    markers.AddMarker(0xE1, exif.data(), static_cast<int32_t>(exif.size()));
  }
  for (int32_t i = 0; i < markers.Count(); ++i) {
    if (markers.GetMarkerType(i) == 0xE1 &&
        FindXMPPacket(markers.GetMarkerData(i), markers.GetMarkerLength(i))) {
      markers.DeleteMarker(i);
      break;
    }
  }
  if (!params.XMP_Info.empty()) {
    const std::vector<uint8_t> xmp = BuildXMPMarker(params.XMP_Info);
    markers.AddMarker(0xE1, xmp.data(), static_cast<int32_t>(xmp.size()));
  }
}

}  // namespace

// ---------------------------------------------------------------- object and attachment

TRastovaIO::TRastovaIO()
    : Params(this),
      workers_(std::make_shared<TRVIOWorkerList>()),
      previewFont_(std::make_unique<platform::TFont>()),
      twainParams_(std::make_unique<TRVTWainParams>(this)),
      printPreviewSettings_(std::make_unique<TIOPrintPreviewParams>()) {
  MakeOwnBitmap();
}

TRastovaIO::TRastovaIO(TRVBitmap* bitmap) : TRastovaIO() { SetAttachedRVBitmap(bitmap); }

TRastovaIO::~TRastovaIO() {
  WaitThreads(false);
  // Notifications of the workers still queued for the main thread find the component gone.
  life_.reset();
  CloseAVIFile();
  ClosePSFile();
  ClosePDFFile();
  DropViewRegistration();
  if (ownsBitmap_) delete bitmap_;
}

void TRastovaIO::MakeOwnBitmap() {
  if (ownsBitmap_) delete bitmap_;
  bitmap_ = new TRVBitmap();
  ownsBitmap_ = true;
  bitmap_->BWConversion = monoConversionMode_;
}

void TRastovaIO::DropViewRegistration() {
  if (view_ && viewRegistration_) view_->RemoveBitmapChangeHandler(viewRegistration_);
  viewRegistration_ = nullptr;
}

void TRastovaIO::UseExternalBitmap(TRVBitmap* bitmap) {
  attachedTBitmap_ = nullptr;
  if (ownsBitmap_) delete bitmap_;
  ownsBitmap_ = false;
  bitmap_ = bitmap;
}

void TRastovaIO::SetAttachedRVBitmap(TRVBitmap* bitmap) {
  if (!bitmap && (view_ || image_)) return;
  DropViewRegistration();
  UseExternalBitmap(bitmap);
  if (bitmap) {
    view_ = nullptr;
    image_ = nullptr;
  }
}

void TRastovaIO::SetAttachedView(TRVIOView* view) {
  DropViewRegistration();
  view_ = view;
  if (!view) {
    attachedTBitmap_ = nullptr;
    MakeOwnBitmap();
    return;
  }
  if (ownsBitmap_) delete bitmap_;
  ownsBitmap_ = false;
  attachedTBitmap_ = view->GetBitmap();
  bitmap_ = view->GetRVBitmap();
  if (bitmap_) {
    attachedTBitmap_ = nullptr;
  } else {
    bitmap_ = new TRVBitmap();
    ownsBitmap_ = true;
    bitmap_->EncapsulateTBitmap(attachedTBitmap_, false);
  }
  image_ = nullptr;
  viewRegistration_ =
      view->AddBitmapChangeHandler([this](bool destroying) { ViewBitmapChanged(destroying); });
}

void TRastovaIO::ViewBitmapChanged(bool destroying) {
  if (!view_) return;
  if (destroying) {
    // The view's image goes with the view: never touch it again.
    viewRegistration_ = nullptr;
    view_ = nullptr;
    attachedTBitmap_ = nullptr;
    if (ownsBitmap_) delete bitmap_;
    bitmap_ = nullptr;
    ownsBitmap_ = false;
    return;
  }
  if (bitmap_ && !attachedTBitmap_) {
    if (ownsBitmap_) delete bitmap_;
    ownsBitmap_ = false;
    bitmap_ = view_->GetRVBitmap();
    attachedTBitmap_ = nullptr;
  } else if (attachedTBitmap_) {
    attachedTBitmap_ = view_->GetBitmap();
    if (ownsBitmap_ && bitmap_) bitmap_->EncapsulateTBitmap(attachedTBitmap_, false);
  }
  Params.SetDpiX(view_->GetDpiX());
  Params.SetDpiY(view_->GetDpiY());
}

void TRastovaIO::SetAttachedImage(TRVIOImage* image) {
  DropViewRegistration();
  image_ = image;
  if (image) {
    attachedTBitmap_ = image->PictureBitmap();
    if (!bitmap_ || !ownsBitmap_) {
      bitmap_ = new TRVBitmap();
      ownsBitmap_ = true;
    }
    bitmap_->EncapsulateTBitmap(attachedTBitmap_, true);
    view_ = nullptr;
  } else if (bitmap_) {
    bitmap_->FreeImage(true);
  }
}

void TRastovaIO::ImageRemoved() {
  if (!image_) return;
  image_ = nullptr;
  attachedTBitmap_ = nullptr;
  if (bitmap_ && ownsBitmap_) bitmap_->FreeImage(true);
}

platform::TBitmap* TRastovaIO::GetBitmap() {
  if (bitmap_ && bitmap_->GetLocation() == rvTBitmap && bitmap_->PlatformBitmap())
    return bitmap_->PlatformBitmap()->Bitmap();
  return attachedTBitmap_;
}

TColor TRastovaIO::GetBackground() { return view_ ? view_->GetBackground() : background_; }

void TRastovaIO::SetBackground(TColor value) {
  if (!view_) background_ = value;
}

void TRastovaIO::SetMonoConversionMode(uint8_t value) {
  if (bitmap_) bitmap_->BWConversion = value;
  monoConversionMode_ = value;
}

bool TRastovaIO::ParamsOwnerBitmapSize(int32_t& width, int32_t& height) {
  if (!bitmap_) return false;
  width = bitmap_->GetWidth();
  height = bitmap_->GetHeight();
  return true;
}

void TRastovaIO::ParamsOwnerDpiChanged(bool horizontal, int32_t value) {
  if (!view_ || !view_->IsRastovaView()) return;
  view_->LockPaint();
  view_->SetDPI(horizontal ? value : view_->GetDpiX(), horizontal ? view_->GetDpiY() : value);
  view_->UnlockPaint();
}

// ---------------------------------------------------------------- common steps

bool TRastovaIO::PrepareBitmap(TRVPixelFormatSet formats) {
  if (!bitmap_) return false;
  if (attachedTBitmap_) bitmap_->EncapsulateTBitmap(attachedTBitmap_, false);
  if (formats == 0) return true;
  const int f = bitmap_->GetPixelFormat();
  return f < 16 && (formats & (1u << f)) != 0;
}

void TRastovaIO::Update() {
  if (attachedTBitmap_ && bitmap_) bitmap_->RemoveAlphaBitmap(false, 0);
  if (view_ && IsInsideAsyncThreads()) {
    // A view is touched on the main thread only; a view outside a window gets no refresh.
    const bool refresh = view_->HasParent();
    PostToMainThread([this, refresh] {
      if (!view_) return;
      if (refresh) view_->Update();
      view_->ImageChange();
    });
  } else if (view_) {
    view_->Update();
    view_->ImageChange();
  } else if (image_) {
    image_->MarkModified();
  }
}

void TRastovaIO::UpdateViewDPI(int32_t dpiX, int32_t dpiY) {
  if (!view_ || !view_->IsRastovaView()) return;
  view_->LockPaint();
  view_->SetDPI(dpiX, dpiY);
  view_->UnlockPaint();
}

void TRastovaIO::FixDefaultDPI() {
  if (Params.DpiX < 2) Params.SetDpiX(DefaultDpiX);
  if (Params.DpiY < 2) Params.SetDpiY(DefaultDpiY);
}

void TRastovaIO::AdjustDPI() {
  if (!PrepareBitmap(0)) return;
  const int32_t dx = Params.DpiX, dy = Params.DpiY;
  if (dx <= 0 || dy <= 0 || dx == dy) return;
  if (bitmap_->GetWidth() <= 0 || bitmap_->GetHeight() <= 0 || Params.Width <= 0 || Params.Height <= 0)
    return;
  if (Params.Height < Params.Width) {
    Params.Height = common::Trunc(static_cast<double>(Params.Height) / dy * dx);
    Params.DpiY = dx;
  } else {
    Params.Width = common::Trunc(static_cast<double>(Params.Width) / dx * dy);
    Params.DpiX = dy;
  }
  if (Params.Width <= 0 || Params.Height <= 0) return;
  std::unique_ptr<TRVBitmap> alpha;
  if (bitmap_->HasAlphaBitmap()) {
    alpha = std::make_unique<TRVBitmap>();
    alpha->Assign(bitmap_->AlphaBitmap());
  }
  TRVBitmap scaled;
  if (FilteredAdjustDPI) {
    // The fast linear pass works on 24-bit colour: other formats are converted first.
    scaled.Allocate(Params.Width, Params.Height, rv24RGB);
    if (scaled.IsEmpty()) return;
    if (bitmap_->GetPixelFormat() != rv24RGB) bitmap_->SetPixelFormat(rv24RGB);
    ResampleFiltered(*bitmap_, scaled, rfFastLinear, nullptr, TRVProgressEvent());
  } else {
    scaled.Allocate(Params.Width, Params.Height, bitmap_->GetPixelFormat());
    if (scaled.IsEmpty()) return;
    StretchBitmapNearest(*bitmap_, scaled, nullptr, TRVProgressEvent());
  }
  bitmap_->Assign(&scaled);
  if (alpha) {
    TRVBitmap* target = bitmap_->AlphaBitmap();
    if (target) StretchBitmapNearest(*alpha, *target, nullptr, TRVProgressEvent());
  }
}

bool TRastovaIO::NotifyThroughMainThread() { return view_ && view_->HasParent() && IsInsideAsyncThreads(); }

void TRastovaIO::DoProgress(TRastovaIO& sender, int32_t per) {
  if (!OnProgress) return;
  if (NotifyThroughMainThread()) {
    PostToMainThread([this, per] {
      if (OnProgress) OnProgress(*this, per);
    });
    return;
  }
  OnProgress(sender, per);
}

void TRastovaIO::DoFinishWork() {
  DoProgress(*this, 100);
  if (!OnFinishWork) return;
  if (NotifyThroughMainThread()) {
    PostToMainThread([this] {
      if (OnFinishWork) OnFinishWork(*this);
    });
    return;
  }
  OnFinishWork(*this);
}

// ---------------------------------------------------------------- worker threads

bool TRastovaIO::IsInsideAsyncThreads() {
  const auto self = std::this_thread::get_id();
  std::lock_guard lock(workers_->Lock);
  for (const TRVIOThread* t : workers_->Items)
    if (t->ThreadID() == self) return true;
  return false;
}

bool TRastovaIO::AsyncGateOpen() { return !ownsBitmap_ && Asynchronous && !IsInsideAsyncThreads(); }

void TRastovaIO::WaitThreads(bool setAborting) {
  std::unique_lock lock(workers_->Lock);
  for (;;) {
    if (setAborting) Aborting = true;
    if (workers_->Items.empty()) return;
    workers_->IdleEvent.wait(lock, [&] { return workers_->IdleSignalled; });
    workers_->IdleSignalled = false;
  }
}

// ---------------------------------------------------------------- the video object

// The notifications of the video object: a new frame and a graph event.
constexpr uint32_t kVideoFrameMessage = 8025, kVideoEventMessage = 8026;

TRVDirectShow* TRastovaIO::GetDShowParams() {
  if (!dshow_) dshow_ = std::make_unique<TRVDirectShow>();
  if (view_) dshow_->SetNotifyWindow(view_->GetWindowHandle(), kVideoFrameMessage, kVideoEventMessage);
  return dshow_.get();
}

void TRastovaIO::SyncDirectShowWindow() {
  if (!view_ || !dshow_) return;
  const uintptr_t window = view_->GetWindowHandle();
  if (window != dshow_->NotifyWindow()) dshow_->SetNotifyWindow(window, kVideoFrameMessage, kVideoEventMessage);
}

void TRastovaIO::PostToMainThread(std::function<void()> call) {
  std::weak_ptr<int> alive = life_;
  common::TMainThreadQueue::Instance().Post([alive, call = std::move(call)] {
    if (alive.lock()) call();
  });
}

void TRastovaIO::InitProgress(TRVProgressRec& progress, bool withEvent) {
  if (withEvent) {
    progress.fnc = [this](void* sender, int32_t per) { DoProgress(*static_cast<TRastovaIO*>(sender), per); };
  } else {
    progress.fnc = nullptr;
  }
  progress.Sender = this;
}

// ---------------------------------------------------------------- the per-format frame

void TRastovaIO::ReadFormat(int32_t fileType, TStream& stream, TRVProgressRec& progress, bool fromFile) {
  std::unique_ptr<TRVMask> mask;
  bitmap_->RemoveAlphaBitmap(false, 0);
  switch (fileType) {
    case ioTGA:
      ReadTGAStream(stream, *bitmap_, Params, false, mask, false, progress);
      break;
    case ioPNG:
      if (fromFile) Params.PNG_Background = ColorToTRGB(GetBackground());
      CodecReadPNG(stream, *bitmap_, Params, false, progress);
      SetBackground(RGBToColor(Params.PNG_Background));
      break;
    case ioBMP:
      CodecReadBMP(stream, *bitmap_, BytesLeftInStream(stream), Params, false, mask, !Params.BMP_KeepAlpha,
                   progress);
      break;
    case ioJPEG:
      CodecReadJpeg(stream, *bitmap_, Params.NativePixelFormat, false, Params, progress);
      break;
    case ioTIFF: {
      TRVBufferedReadStream buffered(stream, 8192, false);
      pageCount_ = CodecReadTIFF(buffered, *bitmap_, Params, false, absoluteOffsets_, mask, progress);
      break;
    }
    case ioJP2:
    case ioJ2K:
      CodecReadJ2000(stream, *bitmap_, Params, false, progress);
      break;
    case ioDICOM:
      // DICOM pictures keep the resolution the reader gives them.
      CodecReadDICOM(stream, *bitmap_, Params, false, progress);
      return;
    case ioGIF:
      ReadGIFFrames(stream, progress);
      break;
    case ioPCX:
      if (!ReadPCXWithHeader(stream, progress, fromFile)) return;
      break;
    case ioDCX:
      ReadDCXStream(stream, *bitmap_, Params, progress, false);
      break;
    case ioICO:
      ReadICOStream(stream, *bitmap_, Params, false, progress, mask, false);
      break;
    case ioCUR:
      ReadCURStream(stream, *bitmap_, Params, false, progress, mask, false);
      break;
    case ioPXM:
      ReadPXMStream(stream, *bitmap_, Params, false, progress);
      break;
    case ioWBMP:
      ReadWBMPStream(stream, *bitmap_, Params, false, progress);
      break;
    case ioPSD:
      ReadPSD(stream, progress);
      break;
    case ioBMPRAW:
      try {
        ReadRawBitmapStream(stream, *bitmap_, Params, progress);
      } catch (const common::Exception&) {
        // "Format unsupported": a coding the bitmap's samples cannot take.
        progress.SetAborting();
      }
      break;
    case ioRAW:
      CodecReadRAW(stream, *bitmap_, Params, false, progress);
      break;
    case ioHDP:
      CodecReadHDP(stream, *bitmap_, Params, progress);
      break;
    default:
      progress.SetAborting();
      return;
  }
  const TLoadSteps steps = LoadStepsOf(fileType);
  if (steps.fix) FixDefaultDPI();
  if (mask) bitmap_->AlphaBitmap()->CopyFromTRVMask(mask.get());
  if (steps.adjust && AutoAdjustDPI) AdjustDPI();
  if (fileType == ioGIF)
    SetBackground(RGBToColor(Params.GIF_FlagTranspColor ? Params.GIF_TranspColor : Params.GIF_Background));
}

void TRastovaIO::ReadPSD(TStream& stream, TRVProgressRec& progress) {
  // Layers go to a view that keeps them; without one the merged image is the picture.
  const bool viewLayers = view_ && view_->AcceptsPSDLayers();
  TPSDLayerList layers;
  ReadPSDStream(stream, bitmap_, Params, &layers, viewLayers && Params.PSD_ReadLayers, progress);
  if (viewLayers) {
    view_->TakePSDLayers(layers, Params);
    return;
  }
  // A single layer's transparency becomes the picture's, placed at the layer's position.
  if (layers.size() != 1 || Params.GetThumbnail || progress.IsAborting() || bitmap_->IsEmpty()) return;
  TPSDLayer& layer = *layers[0];
  if (!layer.Bitmap->HasAlphaBitmap()) return;
  TRVBitmap* alpha = bitmap_->AlphaBitmap();
  alpha->Fill(0);
  CopyRectTo(*layer.Bitmap->AlphaBitmap(), *alpha, std::max(0, -layer.Left), std::max(0, -layer.Top),
             std::max(0, layer.Left), std::max(0, layer.Top), layer.Width() - std::max(0, -layer.Left),
             layer.Height() - std::max(0, -layer.Top));
  alpha->UpdateOpaqueFlag();
}

bool TRastovaIO::ReadPCXWithHeader(TStream& stream, TRVProgressRec& progress, bool fromFile) {
  const int64_t start = stream.GetPosition();
  if (!StreamHeaders || fromFile) {
    ReadPCXStream(stream, *bitmap_, Params, BytesLeftInStream(stream), progress, false);
    return true;
  }
  uint8_t header[12] = {};
  if (stream.Read(header, 12) != 12 || std::memcmp(header, "PCX", 3) != 0) {
    progress.SetAborting();
    return false;
  }
  if (header[3] == '2' && header[4] == 0) {
    const uint32_t length = uint32_t(header[8]) | (uint32_t(header[9]) << 8) | (uint32_t(header[10]) << 16) |
                            (uint32_t(header[11]) << 24);
    const int64_t end = start + 12 + std::min<int64_t>(length, std::max<int64_t>(0, stream.GetSize() - start - 12));
    ReadPCXStream(stream, *bitmap_, Params, end - start - 12, progress, false);
    stream.SetPosition(end);
  } else {
    // The older four-byte header: the data follow it up to the end of the stream.
    stream.SetPosition(start + 4);
    ReadPCXStream(stream, *bitmap_, Params, BytesLeftInStream(stream), progress, false);
  }
  return true;
}

void TRastovaIO::LoadFileFrame(const std::string& fileName, int32_t fileType) {
  if (fileType == ioBMPRAW && fileName.empty()) return;
  if (AsyncGateOpen()) {
    TRVIOThread::StartFile(*this, fileName, [this, fileType](const std::string& n) { LoadFileFrame(n, fileType); });
    return;
  }
  Aborting = true;
  TRVProgressRec progress(&Aborting);
  InitProgress(progress, false);
  if (!PrepareBitmap(0)) {
    DoFinishWork();
    return;
  }
  Params.ResetInfo();
  std::unique_ptr<TRVWideFileStream> file;
  try {
    file = std::make_unique<TRVWideFileStream>(fileName, kOpenRead);
    Aborting = false;
    InitProgress(progress, true);
    if (fileType == ioJPEG) {
      TRVBufferedReadStream buffered(*file, 8192, BufferedReaderRelative);
      ReadFormat(fileType, buffered, progress, true);
    } else {
      ReadFormat(fileType, *file, progress, true);
    }
    Params.FileName = common::Utf8ToUtf16(fileName);
    Params.FileType = fileType;
    if (LoadStepsOf(fileType).viewFromFile) UpdateViewDPI(Params.DpiX, Params.DpiY);
    Update();
  } catch (...) {
    Aborting = true;
    file.reset();
    DoFinishWork();
    throw;
  }
  file.reset();
  DoFinishWork();
}

// A 12-byte header may give the length of the data, so that several images can follow each
// other in one stream. JPEG data may come without it; TIFF data must have it when stream headers
// are on, and its offsets then count from the stream's start.
void TRastovaIO::ReadWithStreamHeader(int32_t fileType, TStream& stream, TRVProgressRec& progress, const char* tag,
                                      bool required) {
  const int64_t start = stream.GetPosition();
  uint8_t header[12];
  const int64_t got = stream.Read(header, 12);
  if (got == 12 && std::memcmp(header, tag, 4) == 0 && header[4] == 0) {
    const uint32_t length = uint32_t(header[8]) | (uint32_t(header[9]) << 8) | (uint32_t(header[10]) << 16) |
                            (uint32_t(header[11]) << 24);
    const int64_t dataStart = start + 12;
    const int64_t end = dataStart + std::min<int64_t>(length, std::max<int64_t>(0, stream.GetSize() - dataStart));
    absoluteOffsets_ = true;
    ReadFormat(fileType, stream, progress, false);
    absoluteOffsets_ = false;
    stream.SetPosition(end);
  } else if (required) {
    progress.SetAborting();
  } else {
    stream.SetPosition(start);
    ReadFormat(fileType, stream, progress, false);
  }
}

void TRastovaIO::LoadStreamFrame(TStream& stream, int32_t fileType) {
  if (AsyncGateOpen()) {
    TRVIOThread::StartStream(*this, stream, [this, fileType](TStream& s) { LoadStreamFrame(s, fileType); });
    return;
  }
  Aborting = false;
  TRVProgressRec progress(&Aborting);
  InitProgress(progress, false);
  if (!PrepareBitmap(0)) {
    Aborting = true;
    DoFinishWork();
    return;
  }
  Params.ResetInfo();
  InitProgress(progress, true);
  try {
    if (fileType == ioJPEG) {
      ReadWithStreamHeader(fileType, stream, progress, "JFIF", false);
    } else if (fileType == ioTIFF && StreamHeaders) {
      ReadWithStreamHeader(fileType, stream, progress, "TIFF", true);
    } else {
      ReadFormat(fileType, stream, progress, false);
    }
    Params.FileName.clear();
    Params.FileType = fileType;
    if (LoadStepsOf(fileType).viewFromStream) UpdateViewDPI(Params.DpiX, Params.DpiY);
    Update();
  } catch (...) {
    Aborting = true;
    DoFinishWork();
    throw;
  }
  DoFinishWork();
}

void TRastovaIO::ConvertForWriter(int32_t fileType, bool toFile) {
  const TRVPixelFormat f = bitmap_->GetPixelFormat();
  switch (fileType) {
    case ioTGA:
    case ioJPEG:
    case ioJP2:
    case ioJ2K:
    case ioPCX:
    case ioICO:
    case ioWBMP:
    case ioPS:
    case ioPDF:
      if (f != rv24RGB && f != rv1g) bitmap_->SetPixelFormat(rv24RGB);
      break;
    case ioPXM:
      // The file saver keeps 16-bit colour; the stream saver writes 8 bits.
      if (f != rv24RGB && f != rv1g && !(toFile && f == rv48RGB)) bitmap_->SetPixelFormat(rv24RGB);
      break;
    default:
      break;
  }
  if (fileType == ioJPEG) PrepareJpegMarkers(Params);
}

void TRastovaIO::WriteFormat(int32_t fileType, TStream& stream, TRVProgressRec& progress) {
  std::unique_ptr<TRVMask> mask;
  if ((fileType == ioTGA || fileType == ioPNG || fileType == ioTIFF) && bitmap_->HasAlphaBitmap()) {
    mask = std::make_unique<TRVMask>();
    AlphaToWriterMask(*bitmap_->AlphaBitmap(), *mask);
  }
  switch (fileType) {
    case ioTGA:
      WriteTGAStream(stream, *bitmap_, Params, mask.get(), progress);
      break;
    case ioPNG:
      CodecWritePNG(stream, *bitmap_, Params, mask.get(), progress);
      break;
    case ioBMP:
      CodecWriteBMP(stream, *bitmap_, Params, Params.BMP_KeepAlpha, progress);
      break;
    case ioJPEG:
      CodecWriteJpeg(stream, *bitmap_, Params, progress);
      break;
    case ioTIFF:
      CodecWriteTIFF(stream, *bitmap_, Params, mask.get(), progress);
      break;
    case ioJP2:
      CodecWriteJ2000(stream, *bitmap_, Params, 0, progress);
      break;
    case ioJ2K:
      CodecWriteJ2000(stream, *bitmap_, Params, 1, progress);
      break;
    case ioGIF:
      WriteGIFStream(stream, *bitmap_, Params, progress);
      break;
    case ioPCX:
      WritePCXStream(stream, *bitmap_, Params, progress);
      break;
    case ioDCX: {
      // Both savers write a new one-page file.
      stream.SetSize(0);
      stream.SetPosition(0);
      const int32_t index = Params.DCX_ImageIndex;
      Params.DCX_ImageIndex = 0;
      WriteDCXStream(stream, *bitmap_, Params, progress);
      Params.DCX_ImageIndex = index;
      break;
    }
    case ioICO: {
      std::vector<int32_t> bitCounts;
      std::vector<TIOParamsFields::TIcoSize> sizes;
      IconEntries(Params, bitCounts, sizes);
      WriteICOStream(stream, *bitmap_, Params, bitCounts, sizes, progress);
      break;
    }
    case ioPXM:
      WritePXMStream(stream, *bitmap_, Params, progress);
      break;
    case ioWBMP:
      WriteWBMPStream(stream, *bitmap_, progress);
      break;
    case ioPSD: {
      TPSDLayerList layers;
      TRVBitmap merged;
      if (view_ && view_->AcceptsPSDLayers() && view_->GetPSDLayersForSave(merged, layers))
        WritePSDStream(stream, Params, progress, layers, merged);
      else
        WritePSDStream(stream, Params, progress, layers, *bitmap_);
      break;
    }
    case ioHDP:
      CodecWriteHDP(stream, *bitmap_, Params, progress);
      break;
    case ioPS:
      CodecWritePS(stream, *bitmap_, Params, progress);
      break;
    case ioPDF:
      CodecWritePDF(stream, *bitmap_, Params, progress);
      break;
    default:
      progress.SetAborting();
      break;
  }
}

void TRastovaIO::WriteWithStreamHeader(int32_t fileType, TStream& stream, TRVProgressRec& progress, const char* tag) {
  const int64_t start = stream.GetPosition();
  uint8_t header[12] = {uint8_t(tag[0]), uint8_t(tag[1]), uint8_t(tag[2]), uint8_t(tag[3]), 0, 0, 0, 0, 0, 0, 0, 0};
  stream.WriteBuffer(header, 12);
  WriteFormat(fileType, stream, progress);
  // A PCX header is written only over data written whole.
  if (fileType == ioPCX && Aborting) return;
  const int64_t end = stream.GetPosition();
  const int64_t length = end - start - 12;
  if (length < 0 || length > int64_t(UINT32_MAX)) {
    Aborting = true;
    return;
  }
  for (int i = 0; i < 4; ++i) header[8 + i] = static_cast<uint8_t>(uint64_t(length) >> (8 * i));
  stream.SetPosition(start);
  stream.WriteBuffer(header, 12);
  stream.SetPosition(end);
}

void TRastovaIO::SaveFileAndFinish(const std::string& fileName, int32_t fileType,
                                   const std::function<void(TStream&)>& write) {
  try {
    WriteFileSafely(fileName, write);
  } catch (...) {
    Aborting = true;
    DoFinishWork();
    throw;
  }
  if (!Aborting) {
    Params.FileName = common::Utf8ToUtf16(fileName);
    Params.FileType = fileType;
  }
  DoFinishWork();
}

void TRastovaIO::WriteFileSafely(const std::string& fileName, const std::function<void(TStream&)>& write) {
  // Write beside the file a link points to, so that the link stays a link.
  const std::string target = common::FileToReplace(fileName);
  struct stat st {};
  const bool exists = stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) RaiseCreateError(fileName, EISDIR);
  if (exists && access(target.c_str(), W_OK) != 0) RaiseCreateError(fileName, errno);
  const std::string dir = DirectoryOf(target);
  if (access(dir.c_str(), W_OK | X_OK) != 0) RaiseCreateError(fileName, errno);

  RemoveAbandonedSaveFiles(dir);
  const std::string prefix = kSaveFilePrefix + std::to_string(::getpid());
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    // Read and write: the HD Photo writer reads back what it wrote to add the EXIF tags, the
    // PostScript writer the page count of its header.
    temp = MakeRandomFileName(prefix, dir + "/");
    fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) RaiseCreateError(fileName, errno);
  }
  if (fd < 0) RaiseCreateError(fileName, EEXIST);
  (void)common::KeepFileMode(fd, target);

  bool ok = false;
  try {
    TOwnedFdStream stream(fd);
    write(stream);
    const int released = stream.Release();
    // The data reaches the disk before the name points at it, so that a crash leaves the old
    // file or the new one, never a truncated one.
    const bool synced = Aborting || ::fsync(released) == 0;
    const bool closed = ::close(released) == 0;
    ok = synced && closed && !Aborting;
  } catch (...) {
    ::unlink(temp.c_str());
    throw;
  }
  if (ok && std::rename(temp.c_str(), target.c_str()) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    RaiseCreateError(fileName, err);
  }
  if (ok) SyncDirectory(dir);
  if (!ok) {
    ::unlink(temp.c_str());
    Aborting = true;
  }
}

void TRastovaIO::SaveFileFrame(const std::string& fileName, int32_t fileType) {
  if (AsyncGateOpen()) {
    TRVIOThread::StartFile(*this, fileName, [this, fileType](const std::string& n) { SaveFileFrame(n, fileType); });
    return;
  }
  Aborting = true;
  TRVProgressRec progress(&Aborting);
  InitProgress(progress, false);
  if (!PrepareBitmap(0)) {
    DoFinishWork();
    return;
  }
  try {
    ConvertForWriter(fileType, true);
  } catch (...) {
    Aborting = true;
    DoFinishWork();
    throw;
  }
  SaveFileAndFinish(fileName, fileType, [&](TStream& stream) {
    Aborting = false;
    InitProgress(progress, true);
    WriteFormat(fileType, stream, progress);
  });
}

void TRastovaIO::SaveStreamFrame(TStream& stream, int32_t fileType) {
  if (AsyncGateOpen()) {
    TRVIOThread::StartStream(*this, stream, [this, fileType](TStream& s) { SaveStreamFrame(s, fileType); });
    return;
  }
  Aborting = false;
  TRVProgressRec progress(&Aborting);
  InitProgress(progress, false);
  if (!PrepareBitmap(0)) {
    Aborting = true;
    DoFinishWork();
    return;
  }
  try {
    ConvertForWriter(fileType, false);
    InitProgress(progress, true);
    if ((fileType == ioJPEG || fileType == ioTIFF || fileType == ioPCX) && StreamHeaders) {
      WriteWithStreamHeader(fileType, stream, progress,
                            fileType == ioJPEG ? "JFIF" : fileType == ioTIFF ? "TIFF" : "PCX2");
    } else {
      WriteFormat(fileType, stream, progress);
    }
  } catch (...) {
    Aborting = true;
    DoFinishWork();
    throw;
  }
  DoFinishWork();
}

void TRastovaIO::LoadFromFileTGA(const std::string& fileName) { LoadFileFrame(fileName, ioTGA); }
void TRastovaIO::LoadFromStreamTGA(TStream& stream) { LoadStreamFrame(stream, ioTGA); }
void TRastovaIO::SaveToFileTGA(const std::string& fileName) { SaveFileFrame(fileName, ioTGA); }
void TRastovaIO::SaveToStreamTGA(TStream& stream) { SaveStreamFrame(stream, ioTGA); }
void TRastovaIO::LoadFromFilePNG(const std::string& fileName) { LoadFileFrame(fileName, ioPNG); }
void TRastovaIO::LoadFromStreamPNG(TStream& stream) { LoadStreamFrame(stream, ioPNG); }
void TRastovaIO::SaveToFilePNG(const std::string& fileName) { SaveFileFrame(fileName, ioPNG); }
void TRastovaIO::SaveToStreamPNG(TStream& stream) { SaveStreamFrame(stream, ioPNG); }
void TRastovaIO::LoadFromFileBMP(const std::string& fileName) { LoadFileFrame(fileName, ioBMP); }
void TRastovaIO::LoadFromStreamBMP(TStream& stream) { LoadStreamFrame(stream, ioBMP); }
void TRastovaIO::SaveToFileBMP(const std::string& fileName) { SaveFileFrame(fileName, ioBMP); }
void TRastovaIO::SaveToStreamBMP(TStream& stream) { SaveStreamFrame(stream, ioBMP); }
void TRastovaIO::LoadFromFileJpeg(const std::string& fileName) { LoadFileFrame(fileName, ioJPEG); }
void TRastovaIO::LoadFromStreamJpeg(TStream& stream) { LoadStreamFrame(stream, ioJPEG); }
void TRastovaIO::SaveToFileJpeg(const std::string& fileName) { SaveFileFrame(fileName, ioJPEG); }
void TRastovaIO::SaveToStreamJpeg(TStream& stream) { SaveStreamFrame(stream, ioJPEG); }
int32_t TRastovaIO::LoadFromFileTIFF(const std::string& fileName) {
  if (AsyncGateOpen()) {
    TRVIOThread::StartFileInt(*this, fileName, [this](const std::string& n) { return LoadFromFileTIFF(n); });
    return -1;
  }
  pageCount_ = 0;
  LoadFileFrame(fileName, ioTIFF);
  return pageCount_;
}
int32_t TRastovaIO::LoadFromStreamTIFF(TStream& stream) {
  if (AsyncGateOpen()) {
    TRVIOThread::StartStreamInt(*this, stream, [this](TStream& s) { return LoadFromStreamTIFF(s); });
    return -1;
  }
  pageCount_ = 0;
  LoadStreamFrame(stream, ioTIFF);
  return pageCount_;
}
void TRastovaIO::SaveToFileTIFF(const std::string& fileName) { SaveFileFrame(fileName, ioTIFF); }
void TRastovaIO::SaveToStreamTIFF(TStream& stream) { SaveStreamFrame(stream, ioTIFF); }
void TRastovaIO::LoadFromFileJP2(const std::string& fileName) { LoadFileFrame(fileName, ioJP2); }
void TRastovaIO::LoadFromStreamJP2(TStream& stream) { LoadStreamFrame(stream, ioJP2); }
void TRastovaIO::SaveToFileJP2(const std::string& fileName) { SaveFileFrame(fileName, ioJP2); }
void TRastovaIO::SaveToStreamJP2(TStream& stream) { SaveStreamFrame(stream, ioJP2); }
void TRastovaIO::LoadFromFileJ2K(const std::string& fileName) { LoadFileFrame(fileName, ioJ2K); }
void TRastovaIO::LoadFromStreamJ2K(TStream& stream) { LoadStreamFrame(stream, ioJ2K); }
void TRastovaIO::SaveToFileJ2K(const std::string& fileName) { SaveFileFrame(fileName, ioJ2K); }
void TRastovaIO::SaveToStreamJ2K(TStream& stream) { SaveStreamFrame(stream, ioJ2K); }
void TRastovaIO::LoadFromFileDICOM(const std::string& fileName) { LoadFileFrame(fileName, ioDICOM); }
void TRastovaIO::LoadFromStreamDICOM(TStream& stream) { LoadStreamFrame(stream, ioDICOM); }
int32_t TRastovaIO::LoadFromFileGIF(const std::string& fileName) {
  if (AsyncGateOpen()) {
    TRVIOThread::StartFileInt(*this, fileName, [this](const std::string& n) { return LoadFromFileGIF(n); });
    return -1;
  }
  LoadFileFrame(fileName, ioGIF);
  return Params.ImageCount;
}
int32_t TRastovaIO::LoadFromStreamGIF(TStream& stream) {
  if (AsyncGateOpen()) {
    TRVIOThread::StartStreamInt(*this, stream, [this](TStream& s) { return LoadFromStreamGIF(s); });
    return -1;
  }
  LoadStreamFrame(stream, ioGIF);
  return Params.ImageCount;
}
void TRastovaIO::SaveToFileGIF(const std::string& fileName) { SaveFileFrame(fileName, ioGIF); }
void TRastovaIO::SaveToStreamGIF(TStream& stream) { SaveStreamFrame(stream, ioGIF); }
void TRastovaIO::LoadFromFilePCX(const std::string& fileName) { LoadFileFrame(fileName, ioPCX); }
void TRastovaIO::LoadFromStreamPCX(TStream& stream) { LoadStreamFrame(stream, ioPCX); }
void TRastovaIO::SaveToFilePCX(const std::string& fileName) { SaveFileFrame(fileName, ioPCX); }
void TRastovaIO::SaveToStreamPCX(TStream& stream) { SaveStreamFrame(stream, ioPCX); }
void TRastovaIO::LoadFromFileDCX(const std::string& fileName) { LoadFileFrame(fileName, ioDCX); }
void TRastovaIO::LoadFromStreamDCX(TStream& stream) { LoadStreamFrame(stream, ioDCX); }
void TRastovaIO::SaveToFileDCX(const std::string& fileName) { SaveFileFrame(fileName, ioDCX); }
void TRastovaIO::SaveToStreamDCX(TStream& stream) { SaveStreamFrame(stream, ioDCX); }
void TRastovaIO::LoadFromFileICO(const std::string& fileName) { LoadFileFrame(fileName, ioICO); }
void TRastovaIO::LoadFromStreamICO(TStream& stream) { LoadStreamFrame(stream, ioICO); }
void TRastovaIO::SaveToFileICO(const std::string& fileName) { SaveFileFrame(fileName, ioICO); }
void TRastovaIO::SaveToStreamICO(TStream& stream) { SaveStreamFrame(stream, ioICO); }
void TRastovaIO::LoadFromFileCUR(const std::string& fileName) { LoadFileFrame(fileName, ioCUR); }
void TRastovaIO::LoadFromStreamCUR(TStream& stream) { LoadStreamFrame(stream, ioCUR); }
void TRastovaIO::LoadFromFilePXM(const std::string& fileName) { LoadFileFrame(fileName, ioPXM); }
void TRastovaIO::LoadFromStreamPXM(TStream& stream) { LoadStreamFrame(stream, ioPXM); }
void TRastovaIO::SaveToFilePXM(const std::string& fileName) { SaveFileFrame(fileName, ioPXM); }
void TRastovaIO::SaveToStreamPXM(TStream& stream) { SaveStreamFrame(stream, ioPXM); }
void TRastovaIO::LoadFromFileWBMP(const std::string& fileName) { LoadFileFrame(fileName, ioWBMP); }
void TRastovaIO::LoadFromStreamWBMP(TStream& stream) { LoadStreamFrame(stream, ioWBMP); }
void TRastovaIO::SaveToFileWBMP(const std::string& fileName) { SaveFileFrame(fileName, ioWBMP); }
void TRastovaIO::SaveToStreamWBMP(TStream& stream) { SaveStreamFrame(stream, ioWBMP); }
void TRastovaIO::LoadFromFilePSD(const std::string& fileName) { LoadFileFrame(fileName, ioPSD); }
void TRastovaIO::LoadFromStreamPSD(TStream& stream) { LoadStreamFrame(stream, ioPSD); }
void TRastovaIO::SaveToFilePSD(const std::string& fileName) { SaveFileFrame(fileName, ioPSD); }
void TRastovaIO::SaveToStreamPSD(TStream& stream) { SaveStreamFrame(stream, ioPSD); }
void TRastovaIO::LoadFromFileRawBitmap(const std::string& fileName) { LoadFileFrame(fileName, ioBMPRAW); }
void TRastovaIO::LoadFromStreamRawBitmap(TStream& stream) { LoadStreamFrame(stream, ioBMPRAW); }
void TRastovaIO::LoadFromFileRAW(const std::string& fileName) { LoadFileFrame(fileName, ioRAW); }
void TRastovaIO::LoadFromStreamRAW(TStream& stream) { LoadStreamFrame(stream, ioRAW); }
void TRastovaIO::LoadFromFileHDP(const std::string& fileName) { LoadFileFrame(fileName, ioHDP); }
void TRastovaIO::LoadFromStreamHDP(TStream& stream) { LoadStreamFrame(stream, ioHDP); }
void TRastovaIO::SaveToFileHDP(const std::string& fileName) { SaveFileFrame(fileName, ioHDP); }
void TRastovaIO::SaveToStreamHDP(TStream& stream) { SaveStreamFrame(stream, ioHDP); }
void TRastovaIO::SaveToFilePS(const std::string& fileName) { SaveFileFrame(fileName, ioPS); }
void TRastovaIO::SaveToStreamPS(TStream& stream) { SaveStreamFrame(stream, ioPS); }
void TRastovaIO::SaveToFilePDF(const std::string& fileName) { SaveFileFrame(fileName, ioPDF); }
void TRastovaIO::SaveToStreamPDF(TStream& stream) { SaveStreamFrame(stream, ioPDF); }

void TRastovaIO::ClosePSFile() {
  if (psDocument_ && psStream_ && !PSEndDocument(std::move(psDocument_), *psStream_)) Aborting = true;
  psDocument_.reset();
  psStream_.reset();
}

void TRastovaIO::ClosePDFFile() {
  if (pdfDocument_ && pdfStream_ && !PDFEndDocument(std::move(pdfDocument_), *pdfStream_, Params)) Aborting = true;
  pdfDocument_.reset();
  pdfStream_.reset();
}

// ---------------------------------------------------------------- dispatch

void TRastovaIO::LoadFromFile(const std::string& fileName) {
  if (!bitmap_) return;
  if (fileName.empty()) {
    Aborting = true;
    DoFinishWork();
    return;
  }
  if (GetURLKind(fileName) != 0) {
    LoadFromURL(fileName);
    return;
  }
  const std::string ext = ExtractFileExtLower(fileName, true);
  if (ext == ".avi") {
    LoadAVIFromFile(fileName);
    return;
  }
  TRVFileFormatInfo* row = FindFileFormatInfo(ext);
  if (!row) {
    Aborting = true;
    DoFinishWork();
    return;
  }
  if (row->BuiltIn) {
    if (IsViewFormat(row->FileType)) {
      LoadFromFileLayered(fileName, row->FileType);
    } else if (HasFormatOps(row->FileType)) {
      LoadFileFrame(fileName, row->FileType);
    } else if (row->FileType == ioWMF || row->FileType == ioEMF) {
      ImportMetafile(fileName, -1, -1, true);
    } else {
      Aborting = true;
      DoFinishWork();
    }
    return;
  }
  // A format registered from outside: its own reader; its errors become the outcome.
  Params.FileName.clear();
  Params.FileType = 0;
  Params.ResetInfo();
  if (!row->ReadRoutine) {
    Aborting = true;
    DoFinishWork();
    return;
  }
  if (AsyncGateOpen()) {
    TRVIOThread::StartFile(*this, fileName, [this](const std::string& n) { LoadFromFile(n); });
    return;
  }
  Aborting = true;
  if (!PrepareBitmap(0)) {
    DoFinishWork();
    return;
  }
  std::unique_ptr<TRVWideFileStream> file;
  try {
    file = std::make_unique<TRVWideFileStream>(fileName, kOpenRead);
  } catch (...) {
    DoFinishWork();
    throw;
  }
  Aborting = false;
  TRVProgressRec progress(&Aborting);
  InitProgress(progress, true);
  Params.FileName = common::Utf8ToUtf16(fileName);
  Params.FileType = row->FileType;
  try {
    row->ReadRoutine(*file, *bitmap_, Params, false, progress);
  } catch (...) {
    Aborting = true;
  }
  if (!Aborting) {
    if (AutoAdjustDPI) AdjustDPI();
    UpdateViewDPI(Params.DpiX, Params.DpiY);
  }
  Update();
  file.reset();
  DoFinishWork();
}

void TRastovaIO::LoadFromFileAuto(const std::string& fileName) {
  const int32_t type = FindFileFormat(fileName, false);
  if (type != 0)
    LoadFromFileFormat(fileName, type);
  else
    LoadFromFile(fileName);
}

void TRastovaIO::LoadFromFileFormat(const std::string& fileName, int32_t fileType) {
  TRVFileFormatInfo* row = GetFileFormatInfo(fileType);
  if (!row) return;
  if (row->BuiltIn) {
    if (IsViewFormat(fileType))
      LoadFromFileLayered(fileName, fileType);
    else if (HasFormatOps(fileType))
      LoadFileFrame(fileName, fileType);
    else if (fileType == ioWMF || fileType == ioEMF)
      ImportMetafile(fileName, -1, -1, true);
    else
      LoadFromFile(fileName);
    return;
  }
  Params.ResetInfo();
  Params.FileName.clear();
  Params.FileType = 0;
  if (!row->ReadRoutine) {
    Aborting = true;
    DoFinishWork();
    return;
  }
  if (AsyncGateOpen()) {
    TRVIOThread::StartFileType(*this, fileName, fileType,
                               [this](const std::string& n, int32_t t) { LoadFromFileFormat(n, t); });
    return;
  }
  Aborting = true;
  if (!PrepareBitmap(0)) {
    DoFinishWork();
    return;
  }
  std::unique_ptr<TRVWideFileStream> file;
  try {
    file = std::make_unique<TRVWideFileStream>(fileName, kOpenRead);
    Aborting = false;
    TRVProgressRec progress(&Aborting);
    InitProgress(progress, true);
    Params.FileName = common::Utf8ToUtf16(fileName);
    Params.FileType = row->FileType;
    row->ReadRoutine(*file, *bitmap_, Params, false, progress);
  } catch (...) {
    Aborting = true;
    file.reset();
    DoFinishWork();
    throw;
  }
  if (AutoAdjustDPI) AdjustDPI();
  UpdateViewDPI(Params.DpiX, Params.DpiY);
  Update();
  file.reset();
  DoFinishWork();
}

void TRastovaIO::SaveToFile(const std::string& fileName) {
  if (fileName.empty()) {
    Aborting = true;
    return;
  }
  const std::string ext = ExtractFileExtLower(fileName, true);
  int32_t type = SaverOfExtension(ext);
  if (type != 0 && HasSaverOps(type)) {
    SaveFileFrame(fileName, type);
    return;
  }
  TRVFileFormatInfo* row = FindFileFormatInfo(ext);
  if (!row || !row->WriteRoutine) {
    Aborting = true;
    return;
  }
  if (row->BuiltIn) {
    // A built-in row the save table does not list (such as pix) is saved by its format's own
    // writer; a format without one is refused before any file is made.
    if (IsViewFormat(row->FileType))
      SaveLayeredFile(fileName, row->FileType);
    else if (HasSaverOps(row->FileType))
      SaveFileFrame(fileName, row->FileType);
    else
      Aborting = true;
    return;
  }
  if (AsyncGateOpen()) {
    TRVIOThread::StartFile(*this, fileName, [this](const std::string& n) { SaveToFile(n); });
    return;
  }
  Aborting = true;
  if (!PrepareBitmap(0)) {
    DoFinishWork();
    return;
  }
  TRVProgressRec progress(&Aborting);
  try {
    const TRVPixelFormat f = bitmap_->GetPixelFormat();
    if (f != rv24RGB && f != rv1g) bitmap_->SetPixelFormat(rv24RGB);
    WriteFileSafely(fileName, [&](TStream& stream) {
      Aborting = false;
      InitProgress(progress, true);
      Params.FileName = common::Utf8ToUtf16(fileName);
      Params.FileType = row->FileType;
      row->WriteRoutine(stream, *bitmap_, Params, progress);
    });
  } catch (...) {
    Aborting = true;
    DoFinishWork();
    throw;
  }
  Params.FileName = common::Utf8ToUtf16(fileName);
  Params.FileType = row->FileType;
  DoFinishWork();
}


void TRastovaIO::LoadFromStream(TStream& stream) {
  const int64_t start = stream.GetPosition();
  const int32_t type = FindStreamFormat(stream);
  TRVFileFormatInfo* row = GetFileFormatInfo(type);
  if (!row) return;
  stream.SetPosition(start);
  if (type == ioWMF || type == ioEMF) {
    ImportMetafileStream(stream, -1, -1, true);
    return;
  }
  if (!row->BuiltIn && AsyncGateOpen()) {
    TRVIOThread::StartStream(*this, stream, [this](TStream& s) { LoadFromStream(s); });
    return;
  }
  LoadStreamWithRow(stream, *row);
}

void TRastovaIO::LoadFromStreamFormat(TStream& stream, int32_t fileType) {
  if (fileType == 0) {
    LoadFromStream(stream);
    return;
  }
  TRVFileFormatInfo* row = GetFileFormatInfo(fileType);
  if (!row) return;
  if (!row->BuiltIn && AsyncGateOpen()) {
    TRVIOThread::StartStreamType(*this, stream, fileType,
                                 [this](TStream& s, int32_t t) { LoadFromStreamFormat(s, t); });
    return;
  }
  LoadStreamWithRow(stream, *row);
}

// Reads the stream with the reader of one registry row: the component's own formats through
// their per-format frame, the others through the row's read routine.
void TRastovaIO::LoadStreamWithRow(TStream& stream, TRVFileFormatInfo& row) {
  const int32_t type = row.FileType;
  if (row.BuiltIn) {
    if (IsViewFormat(type))
      LoadFromStreamLayered(stream, type);
    else if (HasFormatOps(type))
      LoadStreamFrame(stream, type);
    return;
  }
  Params.ResetInfo();
  Params.FileName.clear();
  Params.FileType = 0;
  if (!row.ReadRoutine) {
    Aborting = true;
    DoFinishWork();
    return;
  }
  Aborting = false;
  if (!PrepareBitmap(0)) {
    Aborting = true;
    DoFinishWork();
    return;
  }
  TRVProgressRec progress(&Aborting);
  InitProgress(progress, true);
  Params.FileType = row.FileType;
  try {
    row.ReadRoutine(stream, *bitmap_, Params, false, progress);
  } catch (...) {
    Aborting = true;
    DoFinishWork();
    throw;
  }
  if (AutoAdjustDPI) AdjustDPI();
  UpdateViewDPI(Params.DpiX, Params.DpiY);
  Update();
  DoFinishWork();
}

void TRastovaIO::SaveToStream(TStream& stream, int32_t fileType) {
  if (IsViewFormat(fileType)) {
    SaveLayeredStream(stream, fileType);
    return;
  }
  if (HasSaverOps(fileType)) {
    SaveStreamFrame(stream, fileType);
    return;
  }
  if (AsyncGateOpen()) {
    TRVIOThread::StartStreamType(*this, stream, fileType, [this](TStream& s, int32_t t) { SaveToStream(s, t); });
    return;
  }
  TRVFileFormatInfo* row = GetFileFormatInfo(fileType);
  // Built-in rows without a writer of their own write nothing rather than report success.
  if (!row || !row->WriteRoutine || row->BuiltIn) {
    Aborting = true;
    return;
  }
  Aborting = false;
  if (!PrepareBitmap(0)) {
    Aborting = true;
    DoFinishWork();
    return;
  }
  TRVProgressRec progress(&Aborting);
  InitProgress(progress, true);
  try {
    const TRVPixelFormat f = bitmap_->GetPixelFormat();
    if (f != rv24RGB && f != rv1g) bitmap_->SetPixelFormat(rv24RGB);
    Params.FileType = row->FileType;
    row->WriteRoutine(stream, *bitmap_, Params, progress);
  } catch (...) {
    Aborting = true;
    DoFinishWork();
    throw;
  }
  DoFinishWork();
}

void TRastovaIO::LoadFromFileLayered(const std::string& fileName, int32_t fileType) {
  const TRVViewFormatOps* ops = GetViewFormatOps(fileType);
  Params.FileType = fileType;
  if (!ops || !ops->LoadFile) {
    Aborting = true;
    DoFinishWork();
    return;
  }
  Aborting = false;
  bool ok = false;
  try {
    ok = ops->LoadFile(*this, fileName);
  } catch (...) {
    Aborting = true;
    Params.FileType = fileType;
    DoFinishWork();
    throw;
  }
  Aborting = !ok;
  if (ok) Params.FileName = common::Utf8ToUtf16(fileName);
  Params.FileType = fileType;
  DoFinishWork();
}

void TRastovaIO::LoadFromStreamLayered(TStream& stream, int32_t fileType) {
  const TRVViewFormatOps* ops = GetViewFormatOps(fileType);
  const TRVViewLoad result = ops && ops->LoadStream ? ops->LoadStream(*this, stream) : TRVViewLoad::NoView;
  if (result == TRVViewLoad::Damaged) Aborting = true;
  if (result == TRVViewLoad::Loaded) Aborting = false;
  Params.FileType = fileType;
}

void TRastovaIO::SaveLayeredFile(const std::string& fileName, int32_t fileType) {
  const TRVViewFormatOps* ops = GetViewFormatOps(fileType);
  // Refused before any file is made when there is nothing to write.
  if (!ops || !ops->SaveStream || !view_) {
    Aborting = true;
    return;
  }
  SaveFileAndFinish(fileName, fileType, [&](TStream& stream) {
    Aborting = false;
    if (!ops->SaveStream(*this, stream)) Aborting = true;
  });
}

void TRastovaIO::SaveLayeredStream(TStream& stream, int32_t fileType) {
  const TRVViewFormatOps* ops = GetViewFormatOps(fileType);
  if (!ops || !ops->SaveStream || !view_) {
    Aborting = true;
    return;
  }
  Aborting = false;
  try {
    if (!ops->SaveStream(*this, stream)) Aborting = true;
  } catch (...) {
    Aborting = true;
    DoFinishWork();
    throw;
  }
  DoFinishWork();
}

void TRastovaIO::LoadFromBuffer(const void* buffer, int64_t bufferSize, int32_t fileType) {
  if (!buffer || bufferSize <= 0) {
    Aborting = true;
    return;
  }
  TRVMemStream stream(buffer, bufferSize);
  if (fileType != 0)
    LoadFromStreamFormat(stream, fileType);
  else
    LoadFromStream(stream);
}

void TRastovaIO::ParamsFromBuffer(const void* buffer, int64_t bufferSize, int32_t fileType) {
  if (!buffer || bufferSize <= 0) {
    Aborting = true;
    return;
  }
  TRVMemStream stream(buffer, bufferSize);
  if (fileType != 0)
    ParamsFromStreamFormat(stream, fileType);
  else
    ParamsFromStream(stream);
}

void TRastovaIO::ParamsFromFile(const std::string& fileName) {
  try {
    ParamsFromFileFormat(fileName, FindFileFormat(fileName, true));
  } catch (...) {
    Params.FileType = 0;
  }
}

void TRastovaIO::ParamsFromStream(TStream& stream) {
  try {
    ParamsFromStreamFormat(stream, FindStreamFormat(stream));
  } catch (...) {
    Params.FileType = 0;
  }
}

namespace {

// Reads only the parameters of a format from `source`; the abort flag tells the outcome.
void ReadParamsOnly(int32_t fileType, TStream& source, TIOParamsVals& params, TRVProgressRec& progress) {
  TRVBitmap scratch;
  std::unique_ptr<TRVMask> mask;
  switch (fileType) {
    case ioTGA:
      ReadTGAStream(source, scratch, params, false, mask, true, progress);
      return;
    case ioPNG:
      if (kHavePngCodec)
        CodecReadPNG(source, scratch, params, true, progress);
      else
        progress.SetAborting();
      return;
    case ioBMP:
      if (kHaveBmpCodec)
        CodecReadBMP(source, scratch, source.GetSize(), params, true, mask, false, progress);
      else
        progress.SetAborting();
      return;
    case ioJPEG:
      if (kHaveJpegCodec)
        CodecReadJpeg(source, scratch, false, true, params, progress);
      else
        progress.SetAborting();
      return;
    case ioTIFF:
      if (kHaveTiffCodec)
        CodecReadTIFF(source, scratch, params, true, false, mask, progress);
      else
        progress.SetAborting();
      return;
    case ioJP2:
    case ioJ2K:
      if (kHaveJ2000Codec)
        CodecReadJ2000(source, scratch, params, true, progress);
      else
        progress.SetAborting();
      return;
    case ioDICOM:
      if (kHaveDicomCodec)
        CodecReadDICOM(source, scratch, params, true, progress);
      else
        progress.SetAborting();
      return;
    case ioGIF: {
      int32_t count = 0;
      ReadGIFStream(source, scratch, count, params, progress, true, mask, true);
      return;
    }
    case ioPCX:
      ReadPCXStream(source, scratch, params, source.GetSize(), progress, true);
      return;
    case ioDCX:
      ReadDCXStream(source, scratch, params, progress, true);
      return;
    case ioICO:
      ReadICOStream(source, scratch, params, true, progress, mask, true);
      return;
    case ioCUR:
      ReadCURStream(source, scratch, params, true, progress, mask, true);
      return;
    case ioPXM:
      ReadPXMStream(source, scratch, params, true, progress);
      return;
    case ioWBMP:
      ReadWBMPStream(source, scratch, params, true, progress);
      return;
    case ioPSD:
      ReadPSDStream(source, nullptr, params, nullptr, false, progress);
      return;
    case ioRAW:
      CodecReadRAW(source, scratch, params, true, progress);
      return;
    case ioHDP:
      // The HD Photo reader has no parameters-only mode: it reads the pixels as well.
      CodecReadHDP(source, scratch, params, progress);
      return;
    case ioWMF:
    case ioEMF:
      MetafileParams(source, params, progress);
      return;
    default: {
      TRVFileFormatInfo* row = GetFileFormatInfo(fileType);
      if (row && !row->BuiltIn && row->ReadRoutine)
        row->ReadRoutine(source, scratch, params, true, progress);
      else
        progress.SetAborting();
      return;
    }
  }
}

}  // namespace

void TRastovaIO::ParamsFromFileFormat(const std::string& fileName, int32_t fileType) {
  Params.FileType = fileType;
  try {
    Params.ResetInfo();
    Aborting = true;
    TRVProgressRec progress(&Aborting);
    TRVWideFileStream file(fileName, kOpenRead);
    Aborting = false;
    TRVBufferedReadStream buffered(file, 8192, BufferedReaderRelative);
    ReadParamsOnly(fileType, buffered, Params, progress);
  } catch (...) {
    Params.FileType = 0;
    Aborting = true;
  }
  if (Aborting) Params.FileType = 0;
  Params.FileName = common::Utf8ToUtf16(fileName);
  DoFinishWork();
}

void TRastovaIO::ParamsFromStreamFormat(TStream& stream, int32_t fileType) {
  Params.FileType = fileType;
  try {
    Params.ResetInfo();
    Aborting = false;
    TRVProgressRec progress(&Aborting);
    TRVBufferedReadStream buffered(stream, 8192, BufferedReaderRelative);
    ReadParamsOnly(fileType, buffered, Params, progress);
  } catch (...) {
    Params.FileType = 0;
    Aborting = true;
  }
  if (Aborting) Params.FileType = 0;
  DoFinishWork();
}

}  // namespace rv
