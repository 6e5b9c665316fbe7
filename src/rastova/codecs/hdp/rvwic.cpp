// HD Photo through libjxr. libjxr's C interface (JXRGlue.h) needs its own compile flags and
// defines min/max macros, so it is included here only.
#include "rastova/codecs/hdp/rvwic.h"

#include <JXRGlue.h>
#undef min
#undef max
#undef Report

#include <signal.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <vector>

#include "common/Exception.h"
#include "common/Round.h"
#include "rastova/codecs/CodecUtils.h"
#include "rastova/codecs/RVEXIF.h"
#include "rastova/codecs/tiff/tiffdefs.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"

namespace rv {

namespace {

// A WMPStream whose callbacks read, write and seek a TStream; positions count from where the
// container starts.
struct TStreamAdapter {
  WMPStream ws;
  TStream* stream;
  int64_t base;
};

TStreamAdapter* AdapterOf(WMPStream* me) { return reinterpret_cast<TStreamAdapter*>(me); }

ERR AdapterClose(WMPStream** pme) {
  // The adapter belongs to the reader or writer object, which frees it.
  if (pme) *pme = nullptr;
  return WMP_errSuccess;
}
Bool AdapterEOS(WMPStream* me) {
  TStreamAdapter* a = AdapterOf(me);
  return a->stream->GetPosition() >= a->stream->GetSize();
}
ERR AdapterRead(WMPStream* me, void* pv, size_t cb) {
  try {
    return AdapterOf(me)->stream->Read(pv, static_cast<int64_t>(cb)) == static_cast<int64_t>(cb)
               ? WMP_errSuccess
               : WMP_errFileIO;
  } catch (...) {
    return WMP_errFileIO;
  }
}
ERR AdapterWrite(WMPStream* me, const void* pv, size_t cb) {
  try {
    return codecs::WriteAll(*AdapterOf(me)->stream, pv, static_cast<int64_t>(cb)) ? WMP_errSuccess
                                                                                  : WMP_errFileIO;
  } catch (...) {
    return WMP_errFileIO;
  }
}
ERR AdapterSetPos(WMPStream* me, size_t off) {
  TStreamAdapter* a = AdapterOf(me);
  try {
    a->stream->SetPosition(a->base + static_cast<int64_t>(off));
  } catch (...) {
    return WMP_errFileIO;
  }
  return WMP_errSuccess;
}
ERR AdapterGetPos(WMPStream* me, size_t* off) {
  TStreamAdapter* a = AdapterOf(me);
  *off = static_cast<size_t>(std::max<int64_t>(0, a->stream->GetPosition() - a->base));
  return WMP_errSuccess;
}

std::unique_ptr<TStreamAdapter> MakeAdapter(TStream& stream) {
  auto a = std::make_unique<TStreamAdapter>();
  std::memset(&a->ws, 0, sizeof(a->ws));
  a->ws.Close = AdapterClose;
  a->ws.EOS = AdapterEOS;
  a->ws.Read = AdapterRead;
  a->ws.Write = AdapterWrite;
  a->ws.SetPos = AdapterSetPos;
  a->ws.GetPos = AdapterGetPos;
  a->stream = &stream;
  a->base = stream.GetPosition();
  return a;
}

bool SameFormat(const PKPixelFormatGUID& a, const PKPixelFormatGUID& b) { return IsEqualGUID(a, b) != 0; }

uint32_t BitsPerPixel(const PKPixelFormatGUID& f) {
  PKPixelInfo pi{};
  pi.pGUIDPixFmt = &f;
  if (Failed(PixelFormatLookup(&pi, LOOKUP_FORWARD))) return 0;
  return pi.cbitUnit;
}

// libjxr asserts on container entries it does not support and reads past its buffers or through
// wild pointers on damaged coded data; neither can be told from the headers. So what libjxr does
// with untrusted bytes runs first, or only, in a child process: a fault ends the child, and the
// reader sees a damaged file. A fault there is the end of that process and nothing more: no
// crash handler of the program runs.
void ResetFaultSignals() {
  for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) ::signal(sig, SIG_DFL);
}

// Waits for the child and tells whether it ended normally with status 0.
bool ChildSucceeded(pid_t child) {
  int status = 0;
  while (::waitpid(child, &status, 0) < 0)
    if (errno != EINTR) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Whether `work` returns true in a child process, which ends without fault. The work is
// deterministic, so the reader may then do it itself. A file stream shares its position with the
// child: it is put back.
bool SucceedsInChild(TStream& stream, const std::function<bool()>& work) {
  const int64_t position = stream.GetPosition();
  const pid_t child = ::fork();
  if (child == 0) {
    ResetFaultSignals();
    bool ok = false;
    try {
      ok = work();
    } catch (...) {
    }
    // No exit handlers: they belong to the reader's process.
    ::_exit(ok ? 0 : 1);
  }
  const bool ok = child > 0 && ChildSucceeded(child);
  stream.SetPosition(position);
  return ok;
}

// Pixels a compressed byte can stand for at most (flat areas at the coarsest quantisation), with
// slack for small files: larger claims are refused before anything is allocated.
constexpr int64_t kPixelsPerByte = 2048;
constexpr int64_t kPixelSlack = int64_t(1) << 22;

// The size the image plane's own header gives ("WMPHOTO", then four bytes of flags, the third
// of which tells whether the width and height less one take 16 or 32 bits); false when the plane
// does not start with that header.
bool PlaneSize(TStream& stream, int64_t at, int64_t& width, int64_t& height) {
  uint8_t h[20];
  stream.SetPosition(at);
  if (stream.Read(h, sizeof h) != int64_t(sizeof h) || std::memcmp(h, "WMPHOTO", 8) != 0) return false;
  const bool shortHeader = (h[10] & 0x80) != 0;
  width = int64_t(shortHeader ? tiff::Get16(h + 12, false) : tiff::Get32(h + 12, false)) + 1;
  height = int64_t(shortHeader ? tiff::Get16(h + 14, false) : tiff::Get32(h + 16, false)) + 1;
  return true;
}

// The container's image plane must lie inside the stream, its size must fit the data, and the
// plane's own header must give the container's size (libjxr decodes the plane by the one and
// lays it out by the other). The transformation is one of the eight orientations: libjxr asserts
// that and would end the program on any other value.
bool PlaneFits(TStream& stream) {
  const int64_t start = stream.GetPosition();
  tiff::TTIFFIFD ifd;
  ifd.stream = &stream;
  ifd.base = start;
  ifd.littleEndian = true;
  uint8_t h[8];
  bool ok = false;
  if (stream.Read(h, 8) == 8 && h[0] == 'I' && h[1] == 'I') {
    int32_t count = 0;
    if (tiff::LoadTIFFIFD(0, tiff::Get32(h + 4, true), ifd, count)) {
      const int64_t size = stream.GetSize() - start;
      const int64_t at = ifd.Integer(0xBCC0, -1), bytes = ifd.Integer(0xBCC1, -1);
      const int64_t w = ifd.Integer(0xBC80, 0), ht = ifd.Integer(0xBC81, 0);
      const int64_t transformation = ifd.Integer(0xBC02, 0);
      // The two sizes are 32-bit each: their product is checked, not trusted.
      int64_t pixels = 0;
      ok = at > 0 && bytes > 0 && at + bytes <= size && w > 0 && ht > 0 && transformation >= 0 &&
           transformation < 8 && !__builtin_mul_overflow(w, ht, &pixels) &&
           pixels <= std::min(codecs::kMaxPixelCount, bytes * kPixelsPerByte + kPixelSlack);
      int64_t planeWidth = 0, planeHeight = 0;
      ok = ok && PlaneSize(stream, start + at, planeWidth, planeHeight) && planeWidth == w &&
           planeHeight == ht;
    }
  }
  stream.SetPosition(start);
  return ok;
}

}  // namespace

bool IsWICAvailable() {
  static const bool available = [] {
    PKCodecFactory* factory = nullptr;
    const bool ok = !Failed(PKCreateCodecFactory(&factory, WMP_SDK_VERSION));
    if (factory) factory->Release(&factory);
    return ok;
  }();
  return available;
}

// ---------------------------------------------------------------- reader

struct TRVWICReader::TImpl {
  std::unique_ptr<TStreamAdapter> adapter;
  PKImageDecode* decoder = nullptr;
  TStream* stream = nullptr;
  int64_t start = 0;
  int32_t width = 0, height = 0;
};

TRVWICReader::TRVWICReader() : impl_(std::make_unique<TImpl>()) { DpiX = DefaultDpiX, DpiY = DefaultDpiY; }
TRVWICReader::~TRVWICReader() { Close(); }

bool TRVWICReader::IsAvailable() const { return IsWICAvailable(); }

bool TRVWICReader::Open(TStream& stream, int32_t fileType) {
  Close();
  if (!IsAvailable() || fileType != kHDPFileType) return false;
  impl_->stream = &stream;
  impl_->start = stream.GetPosition();
  if (!PlaneFits(stream)) return false;
  impl_->adapter = MakeAdapter(stream);
  const bool readable = SucceedsInChild(stream, [&] {
    PKImageDecode* trial = nullptr;
    return !Failed(PKImageDecode_Create_WMP(&trial)) &&
           !Failed(trial->Initialize(trial, &impl_->adapter->ws));
  });
  if (!readable) {
    Close();
    return false;
  }
  if (Failed(PKImageDecode_Create_WMP(&impl_->decoder))) {
    impl_->decoder = nullptr;
    return false;
  }
  if (Failed(impl_->decoder->Initialize(impl_->decoder, &impl_->adapter->ws))) {
    Close();
    return false;
  }
  impl_->decoder->fStreamOwner = 0;
  return true;
}

void TRVWICReader::Close() {
  if (impl_->decoder) impl_->decoder->Release(&impl_->decoder);
  impl_->decoder = nullptr;
  impl_->adapter.reset();
  impl_->width = impl_->height = 0;
}

int32_t TRVWICReader::GetFrameWidth() const { return impl_->width; }
int32_t TRVWICReader::GetFrameHeight() const { return impl_->height; }

namespace {

// How the rows libjxr delivers become the bitmap's rows.
enum class TRowCopy {
  Bytes,        // as they are
  Inverted,     // every byte inverted (CMYK ink amounts to their complements)
  BGRAToBGR,    // 8-bit blue, green, red, alpha: the alpha byte dropped
  RGBA64ToRGB48 // 16-bit red, green, blue, alpha: the alpha word dropped
};

// The bitmap format and the libjxr format to deliver for a source format: the formats the bitmap
// has are taken as they are (and converted by the bitmap when native formats are not wanted),
// every other one is converted to 24-bit BGR by libjxr. libjxr has no conversion from the
// formats with alpha to 24-bit BGR: those are delivered as they are, their alpha dropped here,
// and (`to24`) converted to 24 bits by the bitmap whatever the native setting.
void ChooseTarget(const PKPixelFormatGUID& source, TRVPixelFormat& format, PKPixelFormatGUID& target, TRowCopy& copy,
                  bool& to24) {
  format = rv24RGB;
  target = GUID_PKPixelFormat24bppBGR;
  copy = TRowCopy::Bytes;
  to24 = false;
  if (SameFormat(source, GUID_PKPixelFormat32bppBGRA)) {
    target = source;
    copy = TRowCopy::BGRAToBGR;
  } else if (SameFormat(source, GUID_PKPixelFormat64bppRGBA)) {
    format = rv48RGB;
    target = source;
    copy = TRowCopy::RGBA64ToRGB48;
    to24 = true;
  } else if (SameFormat(source, GUID_PKPixelFormatBlackWhite)) {
    format = rv1g;
    target = source;
  } else if (SameFormat(source, GUID_PKPixelFormat8bppGray)) {
    format = rv8g;
    target = source;
  } else if (SameFormat(source, GUID_PKPixelFormat16bppGray)) {
    format = rv16g;
    target = source;
  } else if (SameFormat(source, GUID_PKPixelFormat48bppRGB)) {
    format = rv48RGB;
    target = source;
  } else if (SameFormat(source, GUID_PKPixelFormat32bppCMYK)) {
    format = rvCMYK;
    target = source;
    // libjxr's CMYK samples are ink amounts; the bitmap keeps their complements.
    copy = TRowCopy::Inverted;
  }
}

// One delivered row into the bitmap's row of `width` pixels.
void CopyRow(uint8_t* row, const uint8_t* from, int32_t width, size_t rowBytes, TRowCopy copy) {
  switch (copy) {
    case TRowCopy::Bytes:
      std::memcpy(row, from, rowBytes);
      break;
    case TRowCopy::Inverted:
      for (size_t i = 0; i < rowBytes; ++i) row[i] = static_cast<uint8_t>(~from[i]);
      break;
    case TRowCopy::BGRAToBGR:
      for (int32_t x = 0; x < width; ++x) std::memcpy(row + 3 * size_t(x), from + 4 * size_t(x), 3);
      break;
    case TRowCopy::RGBA64ToRGB48:
      for (int32_t x = 0; x < width; ++x) std::memcpy(row + 6 * size_t(x), from + 8 * size_t(x), 6);
      break;
  }
}

// Rows of one band: whole macroblock rows.
constexpr int32_t kBand = 128;

// Decodes the frame in the target format, one band of whole macroblock rows at a time (libjxr
// decodes them in order), handing each band to `deliver`; false when libjxr fails.
bool DecodeBands(PKImageDecode* decoder, const PKPixelFormatGUID& source, const PKPixelFormatGUID& target,
                 int32_t width, int32_t height, uint32_t stride, uint8_t* band,
                 const std::function<bool(int32_t y, int32_t rows)>& deliver) {
  PKFormatConverter* converter = nullptr;
  if (!SameFormat(source, target)) {
    if (Failed(PKCodecFactory_CreateFormatConverter(&converter))) return false;
    if (Failed(converter->Initialize(converter, decoder, nullptr, target))) {
      converter->Release(&converter);
      return false;
    }
  }
  bool ok = true;
  for (int32_t y = 0; y < height && ok; y += kBand) {
    PKRect rect{0, y, width, std::min(kBand, height - y)};
    ok = !Failed(converter ? converter->Copy(converter, &rect, band, stride)
                           : decoder->Copy(decoder, &rect, band, stride)) &&
         deliver(y, rect.Height);
  }
  if (converter) converter->Release(&converter);
  return ok;
}

// Whole reads and writes of one byte over the socket between the reader and its decoder.
bool SendByte(int fd, uint8_t b) {
  for (;;) {
    const ssize_t n = ::send(fd, &b, 1, MSG_NOSIGNAL);
    if (n == 1) return true;
    if (n < 0 && errno == EINTR) continue;
    return false;
  }
}
bool ReceiveByte(int fd, uint8_t& b) {
  for (;;) {
    const ssize_t n = ::recv(fd, &b, 1, 0);
    if (n == 1) return true;
    if (n < 0 && errno == EINTR) continue;
    return false;  // 0: the other side has gone
  }
}

// The decoding child, which shares only one band buffer with the reader. It sends 1 for each
// band it filled and waits for the reader's 1 before overwriting it; 0 when libjxr failed.
[[noreturn]] void RunDecoderChild(int fd, PKImageDecode* decoder, const PKPixelFormatGUID& source,
                                  const PKPixelFormatGUID& target, int32_t width, int32_t height,
                                  uint32_t stride, uint8_t* band) {
  ResetFaultSignals();
  const bool ok = DecodeBands(decoder, source, target, width, height, stride, band, [&](int32_t, int32_t) {
    uint8_t ack = 0;
    return SendByte(fd, 1) && ReceiveByte(fd, ack) && ack == 1;
  });
  if (!ok) SendByte(fd, 0);
  // No exit handlers: they belong to the reader's process.
  ::_exit(0);
}

// Decodes the frame in the target format into the allocated bitmap, band by band through the
// decoding child, so that no second copy of the image is needed.
bool DecodeFrame(PKImageDecode* decoder, const PKPixelFormatGUID& source, const PKPixelFormatGUID& target,
                 TRowCopy copy, TRVBitmap& bitmap, TStream& stream) {
  const int32_t width = bitmap.GetWidth(), height = bitmap.GetHeight();
  const uint32_t bits = std::max(BitsPerPixel(source), BitsPerPixel(target));
  if (bits == 0) return false;
  const uint32_t stride = static_cast<uint32_t>(((int64_t(width) * bits + 7) / 8 + 15) / 16 * 16);
  const size_t bandBytes = size_t(stride) * kBand;
  void* shared = ::mmap(nullptr, bandBytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) return false;
  uint8_t* band = static_cast<uint8_t*>(shared);
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
    ::munmap(shared, bandBytes);
    return false;
  }
  // A file stream shares its position with the child: it is put back afterwards.
  const int64_t position = stream.GetPosition();
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    RunDecoderChild(fds[1], decoder, source, target, width, height, stride, band);
  }
  ::close(fds[1]);
  bool ok = child > 0;
  const size_t rowBytes = static_cast<size_t>(std::min<int64_t>(bitmap.GetRowLen(), stride));
  try {
    for (int32_t y = 0; ok && y < height; y += kBand) {
      uint8_t filled = 0;
      ok = ReceiveByte(fds[0], filled) && filled == 1;
      for (int32_t r = 0; ok && r < std::min(kBand, height - y); ++r)
        CopyRow(bitmap.GetScanLine(y + r), band + size_t(r) * stride, width, rowBytes, copy);
      if (ok) ok = SendByte(fds[0], 1);
    }
  } catch (...) {
    ok = false;
  }
  // Closing the socket lets a child still waiting go; one that is busy is not waited for.
  ::close(fds[0]);
  if (child > 0) {
    if (!ok) ::kill(child, SIGKILL);
    ok = ChildSucceeded(child) && ok;
  }
  ::munmap(shared, bandBytes);
  try {
    stream.SetPosition(position);
  } catch (...) {
  }
  return ok;
}

}  // namespace

void TRVWICReader::ReadFrame(int32_t index, TRVBitmap& bitmap, TRVProgressRec& progress,
                             TIOParamsVals* params) {
  PKImageDecode* d = impl_->decoder;
  if (!d) {
    progress.SetAborting();
    return;
  }
  U32 frames = 0;
  if (Failed(d->GetFrameCount(d, &frames)) || index < 0 || uint32_t(index) >= std::max<U32>(frames, 1) ||
      (index > 0 && Failed(d->SelectFrame(d, static_cast<U32>(index))))) {
    progress.SetAborting();
    return;
  }
  I32 w = 0, h = 0;
  Float rx = 0, ry = 0;
  if (Failed(d->GetSize(d, &w, &h)) || w <= 0 || h <= 0) {
    progress.SetAborting();
    return;
  }
  if (!Failed(d->GetResolution(d, &rx, &ry)) && rx > 0 && ry > 0) {
    DpiX = rx;
    DpiY = ry;
  }
  impl_->width = w;
  impl_->height = h;
  if (!CopyFrame(bitmap, !params || params->NativePixelFormat)) {
    progress.SetAborting();
    return;
  }
  if (params) {
    const int64_t here = impl_->stream->GetPosition();
    impl_->stream->SetPosition(impl_->start);
    ReadTIFFStreamEXIF(*impl_->stream, *params);
    impl_->stream->SetPosition(here);
    params->BitsPerSample = bitmap.GetBitCount() / std::max(1, bitmap.GetChannelCount());
    params->SamplesPerPixel = bitmap.GetChannelCount();
    params->StoredWidth = params->Width = w;
    params->StoredHeight = params->Height = h;
    params->SetDpiX(common::TruncInt(DpiX));
    params->SetDpiY(common::TruncInt(DpiY));
  }
}

bool TRVWICReader::CopyFrame(TRVBitmap& bitmap, bool native) {
  PKImageDecode* d = impl_->decoder;
  PKPixelFormatGUID source;
  if (!d || impl_->width <= 0 || impl_->height <= 0 || Failed(d->GetPixelFormat(d, &source))) return false;
  TRVPixelFormat format;
  PKPixelFormatGUID target;
  TRowCopy copy;
  bool to24;
  ChooseTarget(source, format, target, copy, to24);
  // The frame is decoded whole before the bitmap is touched, so a failure leaves it as it was.
  TRVBitmap decoded;
  try {
    if (!decoded.Allocate(impl_->width, impl_->height, format) ||
        !DecodeFrame(d, source, target, copy, decoded, *impl_->stream))
      return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  // Without native formats everything but black-and-white becomes 24-bit.
  if ((to24 || !native) && format != rv1g && format != rv24RGB) decoded.ConvertToPixelFormat(rv24RGB);
  if (bitmap.GetLocation() == rvInMemory)
    decoded.MoveTo(bitmap);
  else
    bitmap.Assign(&decoded);
  return true;
}

// ---------------------------------------------------------------- writer

struct TRVWICWriter::TImpl {
  std::unique_ptr<TStreamAdapter> adapter;
  PKImageEncode* encoder = nullptr;
  // libjxr's release of an encoder that was never initialised crashes: such an encoder is only
  // freed.
  bool initialized = false;
};

TRVWICWriter::TRVWICWriter() : impl_(std::make_unique<TImpl>()) { DpiX = DefaultDpiX, DpiY = DefaultDpiY; }
TRVWICWriter::~TRVWICWriter() { Close(); }

bool TRVWICWriter::Open(TStream& stream, int32_t fileType) {
  Close();
  if (!IsWICAvailable() || fileType != kHDPFileType) return false;
  impl_->adapter = MakeAdapter(stream);
  return true;
}

void TRVWICWriter::Close() {
  if (impl_->encoder && impl_->initialized)
    impl_->encoder->Release(&impl_->encoder);
  else if (impl_->encoder)
    PKFree(reinterpret_cast<void**>(&impl_->encoder));
  impl_->encoder = nullptr;
  impl_->initialized = false;
  impl_->adapter.reset();
}

bool TRVWICWriter::WriteFrame(TRVBitmap& bitmap, TIOParamsVals* params) {
  const TRVPixelFormat f = bitmap.GetPixelFormat();
  ZASSERT(f != rv8p && f != rv32f && f != rvCIELab && f != rv32RGB, "rvwic: no HD Photo pixel format");
  if (!impl_->adapter || impl_->encoder || bitmap.IsEmpty()) return false;
  if (Failed(PKImageEncode_Create_WMP(&impl_->encoder))) {
    impl_->encoder = nullptr;
    return false;
  }
  PKImageEncode* e = impl_->encoder;
  if (params) {
    DpiX = params->DpiX;
    DpiY = params->DpiY;
    ImageQuality = params->HDP_ImageQuality;
    Lossless = params->HDP_Lossless;
  }
  CWMIStrCodecParam scp{};
  scp.bVerbose = 0;
  scp.bdBitDepth = BD_LONG;
  scp.bfBitstreamFormat = FREQUENCY;
  scp.bProgressiveMode = 1;
  scp.olOverlap = OL_ONE;
  scp.sbSubband = SB_ALL;
  scp.uAlphaMode = 0;
  // Quality 1 (or lossless) is quantiser 1, which encodes losslessly; lower qualities quantise
  // more coarsely. A negative quality leaves the encoder's default (quantiser 1).
  uint8_t qp = 1;
  if (!Lossless && ImageQuality >= 0 && ImageQuality < 1)
    qp = static_cast<uint8_t>(std::clamp(1 + common::RoundInt((1 - ImageQuality) * 128), 1, 255));
  scp.uiDefaultQPIndex = qp;
  PKPixelFormatGUID format = GUID_PKPixelFormat24bppBGR;
  scp.cfColorFormat = YUV_444;
  switch (f) {
    case rv1g:
      format = GUID_PKPixelFormatBlackWhite;
      scp.cfColorFormat = Y_ONLY;
      scp.bBlackWhite = 1;
      break;
    case rv8g:
      format = GUID_PKPixelFormat8bppGray;
      scp.cfColorFormat = Y_ONLY;
      break;
    case rv16g:
      format = GUID_PKPixelFormat16bppGray;
      scp.cfColorFormat = Y_ONLY;
      break;
    case rv48RGB:
      format = GUID_PKPixelFormat48bppRGB;
      break;
    case rvCMYK:
      format = GUID_PKPixelFormat32bppCMYK;
      scp.cfColorFormat = CMYK;
      break;
    default:
      break;
  }
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  if (Failed(e->Initialize(e, &impl_->adapter->ws, &scp, sizeof(scp)))) return false;
  impl_->initialized = true;
  if (Failed(e->SetPixelFormat(e, format)) || Failed(e->SetSize(e, w, h)) ||
      Failed(e->SetResolution(e, static_cast<Float>(DpiX), static_cast<Float>(DpiY))))
    return false;
  // Rows go out through libjxr's banded interface, in bands of whole macroblock rows.
  const uint32_t stride = static_cast<uint32_t>(bitmap.GetRowLen());
  constexpr int32_t kBand = 128;
  std::vector<uint8_t> band(size_t(stride) * kBand);
  if (Failed(e->WritePixelsBandedBegin(e, nullptr))) return false;
  for (int32_t y = 0; y < h; y += kBand) {
    const int32_t rows = std::min(kBand, h - y);
    for (int32_t r = 0; r < rows; ++r) {
      uint8_t* dst = band.data() + size_t(r) * stride;
      std::memcpy(dst, bitmap.GetScanLine(y + r), stride);
      if (f == rvCMYK)
        for (uint32_t i = 0; i < stride; ++i) dst[i] = static_cast<uint8_t>(~dst[i]);
    }
    if (Failed(e->WritePixelsBanded(e, static_cast<U32>(rows), band.data(), stride, y + rows >= h)))
      return false;
  }
  if (Failed(e->WritePixelsBandedEnd(e))) return false;
  return true;
}

// ---------------------------------------------------------------- the front end's routines

void ReadHDPStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress,
                   bool) {
  if (progress.HasEvent()) progress.Report(0);
  TRVWICReader reader;
  try {
    if (reader.Open(stream, kHDPFileType))
      reader.ReadFrame(params.ImageIndex, bitmap, progress, &params);
    else
      progress.SetAborting();
  } catch (const common::EAssertionFailed&) {
    throw;
  } catch (...) {
    progress.SetAborting();
  }
  if (progress.HasEvent()) progress.Report(0);
}

void WriteHDPStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress) {
  if (!IsWICAvailable()) {
    progress.SetAborting();
    return;
  }
  if (progress.HasEvent()) progress.Report(0);
  const int64_t start = stream.GetPosition();
  bool ok = false;
  {
    TRVWICWriter writer;
    try {
      ok = writer.Open(stream, kHDPFileType) && writer.WriteFrame(bitmap, &params);
    } catch (const common::EAssertionFailed&) {
      throw;
    } catch (...) {
      ok = false;
    }
  }  // the writer's release finishes the file
  // A failed write gets no EXIF injected into what it left.
  if (!ok) {
    progress.SetAborting();
    return;
  }
  stream.SetPosition(start);
  try {
    InjectTIFFEXIF(&stream, &stream, std::string(), params, 0, std::string());
  } catch (...) {
    progress.SetAborting();
  }
  if (progress.HasEvent()) progress.Report(0);
}

bool ReadHDPFromMemory(const uint8_t* data, int64_t size, TRVBitmap& bitmap) {
  TRVMemStream stream(data, size);
  TIOParamsVals params;
  std::atomic<bool> aborting{false};
  TRVProgressRec progress(&aborting);
  ReadHDPStream(stream, bitmap, params, progress, false);
  return !aborting;
}

}  // namespace rv
