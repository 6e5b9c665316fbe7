#include "rastova/codecs/j2000/rvj2000.h"

#include <openjpeg.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "common/Round.h"
#include "rastova/codecs/CodecUtils.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVDefs.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv {

int32_t J2000CrToRed[256];
int32_t J2000CbToBlue[256];
int32_t J2000CrToGreen[256];
int32_t J2000CbToGreen[256];

namespace {

using codecs::StartProgress;
using codecs::StepProgress;

// ---------------------------------------------------------------- OpenJPEG glue

// What the stream callbacks and the message handlers share. Nothing thrown may cross OpenJPEG's
// C frames, so every callback catches and reports failure through its return value.
struct TOpjContext {
  TStream* stream = nullptr;
  int64_t start = 0;  // stream position of OpenJPEG's byte 0
  TRVProgressRec* progress = nullptr;
  std::string errors;  // recorded, never shown
};

OPJ_SIZE_T StreamRead(void* buffer, OPJ_SIZE_T count, void* user) {
  auto* c = static_cast<TOpjContext*>(user);
  try {
    const int64_t got = c->stream->Read(buffer, static_cast<int64_t>(count));
    return got > 0 ? static_cast<OPJ_SIZE_T>(got) : static_cast<OPJ_SIZE_T>(-1);
  } catch (const std::exception&) {
    return static_cast<OPJ_SIZE_T>(-1);
  }
}

OPJ_SIZE_T StreamWrite(void* buffer, OPJ_SIZE_T count, void* user) {
  auto* c = static_cast<TOpjContext*>(user);
  if (!codecs::WriteChecked(*c->stream, *c->progress, buffer, static_cast<int64_t>(count)))
    return static_cast<OPJ_SIZE_T>(-1);
  return count;
}

OPJ_OFF_T StreamSkip(OPJ_OFF_T count, void* user) {
  auto* c = static_cast<TOpjContext*>(user);
  try {
    c->stream->Seek(count, soCurrent);
    return count;
  } catch (const std::exception&) {
    return -1;
  }
}

OPJ_BOOL StreamSeek(OPJ_OFF_T position, void* user) {
  auto* c = static_cast<TOpjContext*>(user);
  try {
    c->stream->SetPosition(c->start + position);
    return OPJ_TRUE;
  } catch (const std::exception&) {
    return OPJ_FALSE;
  }
}

void RecordMessage(const char* text, void* user) {
  auto* c = static_cast<TOpjContext*>(user);
  if (c->errors.size() < 4096) c->errors += text ? text : "";
}
void IgnoreMessage(const char*, void*) {}

// OpenJPEG's stream and codec handles are the same pointer type, so each gets a deleter of its own.
struct TOpjStreamDeleter {
  void operator()(opj_stream_t* s) const { opj_stream_destroy(s); }
};
struct TOpjCodecDeleter {
  void operator()(opj_codec_t* c) const { opj_destroy_codec(c); }
};
struct TOpjImageDeleter {
  void operator()(opj_image_t* i) const { opj_image_destroy(i); }
};
using TOpjStreamPtr = std::unique_ptr<opj_stream_t, TOpjStreamDeleter>;
using TOpjCodecPtr = std::unique_ptr<opj_codec_t, TOpjCodecDeleter>;
using TOpjImagePtr = std::unique_ptr<opj_image_t, TOpjImageDeleter>;

TOpjStreamPtr MakeStream(TOpjContext& context, bool input) {
  TOpjStreamPtr s(opj_stream_create(1 << 16, input ? OPJ_TRUE : OPJ_FALSE));
  if (!s) return s;
  opj_stream_set_user_data(s.get(), &context, nullptr);
  if (input) {
    opj_stream_set_read_function(s.get(), StreamRead);
    opj_stream_set_user_data_length(s.get(), static_cast<OPJ_UINT64>(codecs::BytesLeft(*context.stream)));
  } else {
    opj_stream_set_write_function(s.get(), StreamWrite);
  }
  opj_stream_set_skip_function(s.get(), StreamSkip);
  opj_stream_set_seek_function(s.get(), StreamSeek);
  return s;
}

void SetHandlers(opj_codec_t* codec, TOpjContext& context) {
  opj_set_error_handler(codec, RecordMessage, &context);
  opj_set_warning_handler(codec, IgnoreMessage, &context);
  opj_set_info_handler(codec, IgnoreMessage, &context);
}

bool HasSignature(TStream& stream, const uint8_t* signature, int64_t length) {
  const int64_t start = stream.GetPosition();
  uint8_t head[12] = {};
  bool ok = false;
  try {
    ok =
        stream.Read(head, length) == length && std::memcmp(head, signature, static_cast<size_t>(length)) == 0;
  } catch (const std::exception&) {
    ok = false;
  }
  stream.SetPosition(start);
  return ok;
}

// ---------------------------------------------------------------- reading

// Every tile has at least one tile part in the code stream, of 14 bytes at least (its SOT marker
// segment and the SOD marker), so a header that declares more tiles than the bytes after it can
// hold belongs to a damaged file. OpenJPEG allocates the records of every tile while it reads the
// header, and a few hundred bytes can declare millions of tiles: this is checked before OpenJPEG
// sees the stream. A stream whose header cannot be found here is left to OpenJPEG to refuse.
constexpr int64_t kMinTileBytes = 14;

uint32_t BigEndian32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// The position of the code stream: the stream's own position for a bare code stream, the
// contents of the top-level "jp2c" box for a JP2 file; -1 when there is none.
int64_t CodeStreamStart(TStream& stream, bool jp2) {
  int64_t at = stream.GetPosition();
  if (!jp2) return at;
  const int64_t end = stream.GetSize();
  for (int boxes = 0; boxes < 1024 && at + 8 <= end; ++boxes) {
    uint8_t head[16];
    stream.SetPosition(at);
    if (stream.Read(head, 8) != 8) return -1;
    int64_t length = BigEndian32(head), headLength = 8;
    if (length == 1) {
      if (stream.Read(head + 8, 8) != 8) return -1;
      const uint64_t wide = uint64_t(BigEndian32(head + 8)) << 32 | BigEndian32(head + 12);
      if (wide > uint64_t(INT64_MAX)) return -1;
      length = static_cast<int64_t>(wide);
      headLength = 16;
    }
    if (std::memcmp(head + 4, "jp2c", 4) == 0) return at + headLength;
    if (length == 0 || length < headLength || length > end - at) return -1;
    at += length;
  }
  return -1;
}

bool TileCountFits(TStream& stream, bool jp2) {
  const int64_t start = stream.GetPosition();
  bool fits = true;
  try {
    const int64_t codeStream = CodeStreamStart(stream, jp2);
    uint8_t h[2 + 38];  // SOC, then SIZ: its marker, Lsiz, Rsiz, then Xsiz .. YTOsiz of 4 bytes each
    if (codeStream >= 0) {
      stream.SetPosition(codeStream);
      if (stream.Read(h, sizeof h) == int64_t(sizeof h) && h[0] == 0xFF && h[1] == 0x4F && h[2] == 0xFF &&
          h[3] == 0x51) {
        const uint8_t* siz = h + 2;
        const int64_t x = BigEndian32(siz + 6), y = BigEndian32(siz + 10);
        const int64_t tileWidth = BigEndian32(siz + 22), tileHeight = BigEndian32(siz + 26);
        const int64_t tileX = BigEndian32(siz + 30), tileY = BigEndian32(siz + 34);
        if (tileWidth > 0 && tileHeight > 0 && x > tileX && y > tileY) {
          const int64_t across = (x - tileX + tileWidth - 1) / tileWidth,
                        down = (y - tileY + tileHeight - 1) / tileHeight;
          const int64_t bytes = stream.GetSize() - codeStream;
          int64_t tiles = 0;
          fits = !__builtin_mul_overflow(across, down, &tiles) && tiles <= bytes / kMinTileBytes;
        }
      }
    }
  } catch (const std::exception&) {
    fits = false;
  }
  stream.SetPosition(start);
  return fits;
}

enum class TJ2000Model { Grey, RGB, YCbCr };

// The components the reader takes: colour channels and an optional opacity component.
struct TJ2000Layout {
  TJ2000Model model = TJ2000Model::Grey;
  int32_t channel[3] = {0, 0, 0};
  int32_t alpha = -1;
};

// The pixel grid of the picture: the grid of its finest component. Components sampled more
// coarsely (chroma at half the rate) are replicated over it; when every component is sampled at
// the same step (a whole picture subsampled by 2 in each direction), the picture is the
// components' own grid, not the reference grid they are spread over. Pixel (x, y) lies at
// reference position ((x0 + x) * dx, (y0 + y) * dy).
struct TJ2000Grid {
  int64_t dx = 1, dy = 1;
  int64_t x0 = 0, y0 = 0;
  int32_t width = 0, height = 0;
};

int64_t CeilDiv(int64_t a, int64_t b) { return (a + b - 1) / b; }

TJ2000Grid GridOf(const opj_image_t& image, const TJ2000Layout& layout) {
  TJ2000Grid g;
  g.dx = g.dy = INT64_MAX;
  const int32_t colours = layout.model == TJ2000Model::Grey ? 1 : 3;
  for (int32_t i = 0; i < colours + 1; ++i) {
    const int32_t index = i < colours ? layout.channel[i] : layout.alpha;
    if (index < 0) continue;
    g.dx = std::min<int64_t>(g.dx, image.comps[index].dx);
    g.dy = std::min<int64_t>(g.dy, image.comps[index].dy);
  }
  g.x0 = CeilDiv(image.x0, g.dx);
  g.y0 = CeilDiv(image.y0, g.dy);
  g.width = static_cast<int32_t>(CeilDiv(image.x1, g.dx) - g.x0);
  g.height = static_cast<int32_t>(CeilDiv(image.y1, g.dy) - g.y0);
  return g;
}

// The components an image is read from, or false for a colour space the reader refuses. An image
// without a colour space (OpenJPEG's "unspecified") is taken by its component count; the
// opacity component of an image of four or more is the one marked as such, else the fourth.
bool ChooseLayout(const opj_image_t& image, TJ2000Layout& layout) {
  const int32_t n = static_cast<int32_t>(image.numcomps);
  switch (image.color_space) {
    case OPJ_CLRSPC_UNSPECIFIED:
      layout.model = n >= 3 ? TJ2000Model::RGB : TJ2000Model::Grey;
      break;
    case OPJ_CLRSPC_GRAY:
      layout.model = TJ2000Model::Grey;
      break;
    case OPJ_CLRSPC_SRGB:
      layout.model = TJ2000Model::RGB;
      break;
    case OPJ_CLRSPC_SYCC:
      layout.model = TJ2000Model::YCbCr;
      break;
    default:
      return false;
  }
  const int32_t colours = layout.model == TJ2000Model::Grey ? 1 : 3;
  if (n < colours) return false;
  for (int32_t i = 0; i < 3; ++i) layout.channel[i] = layout.model == TJ2000Model::Grey ? 0 : i;
  if (n >= 4) {
    for (int32_t i = colours; i < n && layout.alpha < 0; ++i)
      if (image.comps[i].alpha) layout.alpha = i;
    if (layout.alpha < 0 && colours == 3) layout.alpha = 3;
  }
  return true;
}

// Pixels a byte of the code stream may stand for, beyond a number always allowed (2048 x 2048):
// wavelet coding of flat areas at a coarse quantisation is very compact, but not without bound,
// and OpenJPEG allocates every component of the whole picture before it decodes a byte.
constexpr int64_t kPixelsPerByte = 2048;
constexpr int64_t kPixelSlack = int64_t(1) << 22;

// Whether the header describes an image the reader can hold: a size within the codec limit and
// what `bytes` of data can code, and components whose precision and sampling make sense.
bool HeaderIsSound(const opj_image_t& image, int64_t bytes) {
  if (image.numcomps == 0 || image.x1 <= image.x0 || image.y1 <= image.y0) return false;
  const int64_t w = int64_t(image.x1) - image.x0, h = int64_t(image.y1) - image.y0;
  if (w > INT32_MAX || h > INT32_MAX || w * h > codecs::kMaxPixelCount) return false;
  if (w * h > bytes * kPixelsPerByte + kPixelSlack) return false;
  for (OPJ_UINT32 i = 0; i < image.numcomps; ++i) {
    const opj_image_comp_t& c = image.comps[i];
    if (c.prec < 1 || c.prec > 31 || c.dx == 0 || c.dy == 0) return false;
  }
  return true;
}

// One used component, mapped onto the output grid: the component column of every output column
// (-1 outside the component) and the sample-to-byte conversion.
struct TMappedComponent {
  const opj_image_comp_t* comp = nullptr;
  TJ2000Grid grid;
  std::vector<int32_t> column;
  int64_t offset = 0;  // added to signed samples so that they start at 0
  int64_t top = 0;     // largest sample value
  int32_t shift = 0;   // a sample shifted left by this, in 64 bits, has its top byte in bits 24-31
  bool plain = false;  // unsigned 8-bit samples on the output grid: taken as they are

  bool Map(const opj_image_t& image, int32_t index, const TJ2000Grid& g) {
    comp = &image.comps[index];
    grid = g;
    if (!comp->data || comp->w == 0 || comp->h == 0) return false;
    column.resize(static_cast<size_t>(g.width));
    for (int32_t x = 0; x < g.width; ++x) {
      const int64_t cx = (g.x0 + x) * g.dx / comp->dx - comp->x0;
      column[static_cast<size_t>(x)] = cx >= 0 && cx < comp->w ? static_cast<int32_t>(cx) : -1;
    }
    top = (int64_t(1) << comp->prec) - 1;
    offset = comp->sgnd ? int64_t(1) << (comp->prec - 1) : 0;
    shift = 32 - static_cast<int32_t>(comp->prec);
    plain = comp->prec == 8 && !comp->sgnd && comp->dx == g.dx && comp->dy == g.dy &&
            comp->w == static_cast<OPJ_UINT32>(g.width) && comp->h == static_cast<OPJ_UINT32>(g.height);
    return true;
  }

  // The component row of output row y, or nullptr outside the component.
  const OPJ_INT32* SourceRow(int32_t y) const {
    const int64_t cy = (grid.y0 + y) * grid.dy / comp->dy - comp->y0;
    return cy < 0 || cy >= comp->h ? nullptr : comp->data + static_cast<size_t>(cy) * comp->w;
  }

  // The samples of output row y when they can be taken as they are (plain), else nullptr.
  const OPJ_INT32* PlainRow(int32_t y) const { return plain ? SourceRow(y) : nullptr; }

  // The sample values of output row y, clamped to 16 bits (signed samples as their 16-bit two's
  // complement), into `out` (width samples); 0 outside the component.
  void Samples(int32_t y, uint16_t* out) const {
    const OPJ_INT32* src = SourceRow(y);
    const int32_t low = comp->sgnd ? INT16_MIN : 0, high = comp->sgnd ? INT16_MAX : UINT16_MAX;
    for (size_t x = 0; x < column.size(); ++x) {
      const int32_t cx = column[x];
      out[x] = src && cx >= 0 ? static_cast<uint16_t>(std::clamp<OPJ_INT32>(src[cx], low, high)) : 0;
    }
  }

  // The top bytes of output row y into `out` (width bytes).
  void Row(int32_t y, uint8_t* out) const {
    const size_t width = column.size();
    const OPJ_INT32* src = SourceRow(y);
    if (!src) {
      std::memset(out, 0, width);
      return;
    }
    if (plain) {
      for (size_t x = 0; x < width; ++x) out[x] = static_cast<uint8_t>(std::clamp<OPJ_INT32>(src[x], 0, 255));
      return;
    }
    for (size_t x = 0; x < width; ++x) {
      const int32_t cx = column[x];
      if (cx < 0) {
        out[x] = 0;
        continue;
      }
      const int64_t v = std::clamp<int64_t>(int64_t(src[cx]) + offset, 0, top);
      out[x] = static_cast<uint8_t>((static_cast<uint64_t>(v) << shift) >> 24);
    }
  }
};

void StoreParams(const opj_image_t& image, const TJ2000Layout& layout, TIOParamsVals& params) {
  const TJ2000Grid grid = GridOf(image, layout);
  const int32_t w = grid.width, h = grid.height;
  params.SetImageCount(1);
  params.SamplesPerPixel = layout.model == TJ2000Model::Grey ? 1 : 3;
  params.BitsPerSample = static_cast<int32_t>(image.comps[layout.channel[0]].prec);
  params.SetDpiX(DefaultDpiX);
  params.SetDpiY(DefaultDpiY);
  params.FreeColorMap();
  params.Width = params.StoredWidth = w;
  params.Height = params.StoredHeight = h;
}

// Fills the bitmap from the decoded image; false when a component holds no usable data.
bool FillBitmap(const opj_image_t& image, const TJ2000Layout& layout, TRVBitmap& bitmap,
                TIOParamsVals& params, TRVProgressRec& progress) {
  const int32_t w = params.Width, h = params.Height;
  const bool grey = layout.model == TJ2000Model::Grey;
  const int32_t colours = grey ? 1 : 3;
  const TJ2000Grid grid = GridOf(image, layout);
  TMappedComponent comps[4];
  for (int32_t i = 0; i < colours; ++i)
    if (!comps[i].Map(image, layout.channel[i], grid)) return false;
  if (layout.alpha >= 0 && !comps[3].Map(image, layout.alpha, grid)) return false;

  const bool oneBit = params.BitsPerSample == 1 && params.SamplesPerPixel == 1;
  if (!bitmap.Allocate(w, h, oneBit ? rv1g : rv24RGB)) return false;
  TRVBitmap* alpha = nullptr;
  if (layout.alpha >= 0) {
    alpha = bitmap.AlphaBitmap();
    alpha->Full = false;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(w) * 4);
  uint8_t* plane[4] = {bytes.data(), bytes.data() + w, bytes.data() + 2 * w, bytes.data() + 3 * w};
  StartProgress(progress, h);
  const auto toByte = [](OPJ_INT32 v) { return static_cast<uint8_t>(std::clamp<OPJ_INT32>(v, 0, 255)); };
  for (int32_t y = 0; y < h && !progress.IsAborting(); ++y) {
    uint8_t* row = bitmap.GetScanLine(y);
    const OPJ_INT32 *red = comps[0].PlainRow(y), *green = comps[1].PlainRow(y), *blue = comps[2].PlainRow(y);
    if (layout.model == TJ2000Model::RGB && red && green && blue) {
      // Plain 8-bit RGB, the common case, straight from the components into the row.
      for (int32_t x = 0; x < w; ++x) {
        row[3 * x] = toByte(blue[x]);
        row[3 * x + 1] = toByte(green[x]);
        row[3 * x + 2] = toByte(red[x]);
      }
      if (alpha) comps[3].Row(y, alpha->GetScanLine(y));
      StepProgress(progress);
      continue;
    }
    for (int32_t i = 0; i < colours; ++i) comps[i].Row(y, plane[i]);
    if (oneBit) {
      for (int32_t x = 0; x < w; ++x) SetBufferBit(row, x, plane[0][x] != 0);
    } else if (grey) {
      for (int32_t x = 0; x < w; ++x) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = plane[0][x];
    } else if (layout.model == TJ2000Model::RGB) {
      for (int32_t x = 0; x < w; ++x) {
        row[3 * x] = plane[2][x];
        row[3 * x + 1] = plane[1][x];
        row[3 * x + 2] = plane[0][x];
      }
    } else {
      for (int32_t x = 0; x < w; ++x) {
        const int32_t Y = plane[0][x], cb = plane[1][x], cr = plane[2][x];
        row[3 * x] = ClampToByte(Y + J2000CbToBlue[cb]);
        row[3 * x + 1] = ClampToByte(Y + J2000CbToGreen[cb] + J2000CrToGreen[cr]);
        row[3 * x + 2] = ClampToByte(Y + J2000CrToRed[cr]);
      }
    }
    if (alpha) comps[3].Row(y, alpha->GetScanLine(y));
    StepProgress(progress);
  }
  return true;
}

// ---------------------------------------------------------------- writing

// Resolution levels the encoder accepts for the image: the lowest level keeps at least one
// sample on each side.
int32_t ResolutionLevels(int32_t width, int32_t height) {
  int32_t levels = 1;
  const int32_t side = std::min(width, height);
  while (levels < 6 && (side >> levels) >= 1) ++levels;
  return levels;
}

void SetupEncoder(opj_cparameters_t& p, const TIOParamsVals& params, int32_t width, int32_t height,
                  int32_t components) {
  opj_set_default_encoder_parameters(&p);
  p.tcp_numlayers = 1;
  p.cp_disto_alloc = 1;
  double rate = params.J2000_Rate;
  if (rate >= 1.0) {
    p.tcp_rates[0] = 0;  // lossless
    p.irreversible = 0;
  } else {
    if (!(rate >= 0.001)) rate = 0.001;
    p.tcp_rates[0] = static_cast<float>(1.0 / rate);
    p.irreversible = 1;
  }
  if (params.J2000_Progression == 1)
    p.prog_order = OPJ_RLCP;
  else
    p.prog_order = OPJ_LRCP;
  p.numresolution = ResolutionLevels(width, height);
  p.tcp_mct = components >= 3 ? 1 : 0;
}

// Sample rows of the image to encode, scaled to `largest`.
void FillComponents(opj_image_t& image, TRVBitmap& bitmap, bool grey, int64_t largest,
                    TRVProgressRec& progress) {
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  const bool oneBit = bitmap.GetPixelFormat() == rv1g;
  TRVBitmap* alpha = image.numcomps == 4 ? bitmap.AlphaBitmap() : nullptr;
  auto scale = [largest](int32_t byte) { return static_cast<OPJ_INT32>(byte * largest / 255); };
  StartProgress(progress, h);
  for (int32_t y = 0; y < h && !progress.IsAborting(); ++y) {
    const uint8_t* row = bitmap.GetScanLine(y);
    const size_t at = static_cast<size_t>(y) * static_cast<size_t>(w);
    if (oneBit) {
      for (int32_t x = 0; x < w; ++x) image.comps[0].data[at + x] = GetBufferBit(row, x) ? 1 : 0;
    } else if (grey) {
      for (int32_t x = 0; x < w; ++x) {
        const int32_t level = (row[3 * x + 2] * RedToGrayCoef + row[3 * x + 1] * GreenToGrayCoef +
                               row[3 * x] * BlueToGrayCoef) /
                              100;
        image.comps[0].data[at + x] = scale(level);
      }
    } else {
      for (int32_t x = 0; x < w; ++x) {
        image.comps[0].data[at + x] = scale(row[3 * x + 2]);
        image.comps[1].data[at + x] = scale(row[3 * x + 1]);
        image.comps[2].data[at + x] = scale(row[3 * x]);
      }
    }
    if (alpha) {
      const uint8_t* a = alpha->GetScanLine(y);
      for (int32_t x = 0; x < w; ++x) image.comps[3].data[at + x] = scale(a[x]);
    }
    StepProgress(progress);
  }
}

bool Encode(TStream& stream, opj_image_t& image, const opj_cparameters_t& setup, int32_t format,
            TRVProgressRec& progress) {
  TOpjContext context;
  context.stream = &stream;
  context.start = stream.GetPosition();
  context.progress = &progress;
  TOpjCodecPtr codec(opj_create_compress(format == 0 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
  if (!codec) return false;
  SetHandlers(codec.get(), context);
  opj_cparameters_t p = setup;
  if (!opj_setup_encoder(codec.get(), &p, &image)) return false;
  TOpjStreamPtr s = MakeStream(context, false);
  if (!s) return false;
  return opj_start_compress(codec.get(), &image, s.get()) && opj_encode(codec.get(), s.get()) &&
         opj_end_compress(codec.get(), s.get());
}

}  // namespace

bool IsJP2Stream(TStream& stream) {
  static const uint8_t kSignature[12] = {0, 0, 0, 12, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
  return HasSignature(stream, kSignature, 12);
}

bool IsJ2KStream(TStream& stream) {
  static const uint8_t kSignature[4] = {0xFF, 0x4F, 0xFF, 0x51};
  return HasSignature(stream, kSignature, 4);
}

namespace {

// Reads the header of the JP2 file or code stream at the position and, unless `paramsOnly`, decodes
// the image whole; the image and its layout, or nullptr when the stream is refused.
TOpjImagePtr DecodeImage(TStream& stream, TRVProgressRec& progress, bool paramsOnly, TJ2000Layout& layout) {
  const bool jp2 = IsJP2Stream(stream);
  if ((!jp2 && !IsJ2KStream(stream)) || !TileCountFits(stream, jp2)) return nullptr;
  TOpjContext context;
  context.stream = &stream;
  context.start = stream.GetPosition();
  context.progress = &progress;
  const int64_t bytes = codecs::BytesLeft(stream);
  TOpjCodecPtr codec(opj_create_decompress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
  TOpjStreamPtr s = MakeStream(context, true);
  if (!codec || !s) return nullptr;
  SetHandlers(codec.get(), context);
  opj_dparameters_t dp;
  opj_set_default_decoder_parameters(&dp);
  opj_image_t* raw = nullptr;
  // Strict mode: a truncated code stream is an error, not a partly decoded picture.
  bool ok = opj_setup_decoder(codec.get(), &dp) && opj_decoder_set_strict_mode(codec.get(), OPJ_TRUE) &&
            opj_read_header(s.get(), codec.get(), &raw);
  TOpjImagePtr image(raw);
  ok = ok && image && HeaderIsSound(*image, bytes);
  if (ok && !paramsOnly)
    ok = opj_decode(codec.get(), s.get(), image.get()) && opj_end_decompress(codec.get(), s.get()) &&
         HeaderIsSound(*image, bytes);
  ok = ok && ChooseLayout(*image, layout);
  return ok ? std::move(image) : nullptr;
}

}  // namespace

void ReadJ2000Stream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress,
                     bool paramsOnly) {
  TJ2000Layout layout;
  TOpjImagePtr image = DecodeImage(stream, progress, paramsOnly, layout);
  if (!image) {
    progress.SetAborting();
    return;
  }
  if (paramsOnly) {
    StoreParams(*image, layout, params);
    return;
  }
  // The picture is decoded whole before the bitmap is touched, so a failure leaves it as it was.
  TIOParamsVals scratch;
  scratch.Assign(params);
  StoreParams(*image, layout, scratch);
  TRVBitmap decoded;
  if (!FillBitmap(*image, layout, decoded, scratch, progress)) {
    progress.SetAborting();
    return;
  }
  StoreParams(*image, layout, params);
  if (bitmap.GetLocation() == rvInMemory)
    decoded.MoveTo(bitmap);
  else
    bitmap.Assign(&decoded);
}

bool ReadJ2000GreySamples(TStream& stream, TRVBitmap& bitmap, TRVProgressRec& progress) {
  const int64_t start = stream.GetPosition();
  TJ2000Layout layout;
  TOpjImagePtr image = DecodeImage(stream, progress, false, layout);
  if (!image) {
    progress.SetAborting();
    return false;
  }
  if (layout.model != TJ2000Model::Grey || layout.alpha >= 0) {
    stream.SetPosition(start);
    return false;
  }
  const TJ2000Grid grid = GridOf(*image, layout);
  TMappedComponent grey;
  TRVBitmap decoded;
  if (!grey.Map(*image, layout.channel[0], grid) || !decoded.Allocate(grid.width, grid.height, rv16g)) {
    progress.SetAborting();
    return false;
  }
  for (int32_t y = 0; y < grid.height; ++y) grey.Samples(y, reinterpret_cast<uint16_t*>(decoded.GetScanLine(y)));
  if (bitmap.GetLocation() == rvInMemory)
    decoded.MoveTo(bitmap);
  else
    bitmap.Assign(&decoded);
  return true;
}

void WriteJ2000Stream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress,
                      int32_t format) {
  if (params.J2000_ColorSpace > 2 || bitmap.IsEmpty()) {
    progress.SetAborting();
    return;
  }
  TRVBitmap* source = &bitmap;
  std::unique_ptr<TRVBitmap> converted;
  if (bitmap.GetPixelFormat() != rv24RGB && bitmap.GetPixelFormat() != rv1g) {
    converted = codecs::ConvertedCopy(bitmap, rv24RGB);
    if (!converted) {
      progress.SetAborting();
      return;
    }
    if (bitmap.HasAlphaBitmap()) converted->AlphaBitmap()->Assign(bitmap.AlphaBitmap());
    source = converted.get();
  }
  if (source->GetPixelFormat() == rv1g) {
    params.BitsPerSample = 1;
    params.J2000_ColorSpace = 0;
  }
  const int32_t precision = params.BitsPerSample;
  if (precision < 1 || precision > 16) {
    progress.SetAborting();
    return;
  }
  const bool grey = params.J2000_ColorSpace == 0;
  const bool withAlpha = !grey && source->HasAlphaBitmap() && !source->AlphaBitmap()->Full;
  const int32_t count = grey ? 1 : (withAlpha ? 4 : 3);
  const int32_t w = source->GetWidth(), h = source->GetHeight();

  opj_image_cmptparm_t parts[4];
  std::memset(parts, 0, sizeof parts);
  for (auto& c : parts) {
    c.dx = c.dy = 1;
    c.w = static_cast<OPJ_UINT32>(w);
    c.h = static_cast<OPJ_UINT32>(h);
    c.prec = static_cast<OPJ_UINT32>(precision);
    c.sgnd = 0;
  }
  TOpjImagePtr image(
      opj_image_create(static_cast<OPJ_UINT32>(count), parts, grey ? OPJ_CLRSPC_GRAY : OPJ_CLRSPC_SRGB));
  if (!image) {
    progress.SetAborting();
    return;
  }
  image->x0 = image->y0 = 0;
  image->x1 = static_cast<OPJ_UINT32>(w);
  image->y1 = static_cast<OPJ_UINT32>(h);
  if (withAlpha) image->comps[3].alpha = 1;
  FillComponents(*image, *source, grey, (int64_t(1) << precision) - 1, progress);
  if (progress.IsAborting()) return;
  opj_cparameters_t setup;
  SetupEncoder(setup, params, w, h, count);
  if (!Encode(stream, *image, setup, format, progress)) progress.SetAborting();
}

void RVJ2000Startup() {
  // The luma weights in single precision, as the tables have always been built.
  const float kr = 0.299f, kg = 0.587f, kb = 0.114f;
  const double crToRed = 2.0f - 2.0f * kr, cbToBlue = 2.0f - 2.0f * kb;
  const double crToGreen = double(kr) * crToRed / kg, cbToGreen = double(kb) * cbToBlue / kg;
  for (int32_t i = 0; i < 256; ++i) {
    const double c = i - 128;
    J2000CrToRed[i] = static_cast<int32_t>(common::Round(crToRed * c));
    J2000CbToBlue[i] = static_cast<int32_t>(common::Round(cbToBlue * c));
    J2000CrToGreen[i] = -static_cast<int32_t>(common::Round(crToGreen * c));
    J2000CbToGreen[i] = -static_cast<int32_t>(common::Round(cbToGreen * c));
  }
}

void RVJ2000Shutdown() {}

}  // namespace rv
