// The JPEG codec over libjpeg's 6b interface. libjpeg's error_exit jumps back (longjmp) into the
// function that called setjmp, never through a C++ exception; the guarded steps keep their state
// in records owned by the callers, so the jump skips no destructor.
#include "rastova/codecs/jpeg/jpegfilt.h"

#include <cstdio>
// jpeglib.h needs FILE and size_t first.
#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <vector>

#include "common/Round.h"
#include "rastova/core/RVRotate.h"
#include "rastova/codecs/CodecUtils.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv {

using namespace codecs;

TJpegReadEXIFProc JpegReadEXIFMarkerHook = nullptr;

namespace {

constexpr int kIOBufferSize = 65536;
constexpr int kSOIScanLimit = 150;
// A JPEG needs at least one bit per 8 x 8 block of its first component: a stream with fewer bytes
// than that cannot hold the picture its header announces, and nothing is allocated for it.
constexpr int64_t kPixelsPerByte = 8 * 64;

// ---------------------------------------------------------------- error manager

struct ErrorMgr {
  jpeg_error_mgr pub;
  jmp_buf jump;
  std::atomic<bool>* aborting = nullptr;
  int32_t warnings = 0;
  int32_t lastWarning = 0;
  int32_t code = 0;
};

void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorMgr*>(cinfo->err);
  err->code = err->pub.msg_code;
  // Too few scanlines is tolerated: libjpeg goes on.
  if (err->code == JERR_TOO_LITTLE_DATA) return;
  if (err->aborting) err->aborting->store(true);
  longjmp(err->jump, 1);
}

void EmitMessage(j_common_ptr cinfo, int level) {
  auto* err = reinterpret_cast<ErrorMgr*>(cinfo->err);
  if (level < 0) {
    ++err->warnings;
    ++err->pub.num_warnings;
    err->lastWarning = err->pub.msg_code;
  }
}

void OutputMessage(j_common_ptr) {}

void ResetErrorMgr(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorMgr*>(cinfo->err);
  err->pub.num_warnings = 0;
  err->pub.msg_code = 0;
  err->warnings = 0;
}

void InitErrorMgr(ErrorMgr& err, std::atomic<bool>* aborting) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.emit_message = EmitMessage;
  err.pub.output_message = OutputMessage;
  err.pub.reset_error_mgr = ResetErrorMgr;
  err.aborting = aborting;
}

// The library's message for a code, with "?" in place of every argument.
std::string MessageText(const ErrorMgr& err, int code) {
  if (code < 0 || code > err.pub.last_jpeg_message || !err.pub.jpeg_message_table[code]) return "Corrupted";
  const char* t = err.pub.jpeg_message_table[code];
  std::string out;
  for (const char* p = t; *p; ++p) {
    if (*p == '%' && p[1] == '%') {
      out += '%';
      ++p;
    } else if (*p == '%') {
      ++p;
      while (*p && !std::strchr("diouxXcsfgeEp", *p)) ++p;
      out += '?';
      if (!*p) break;
    } else {
      out += *p;
    }
  }
  return out;
}

// ---------------------------------------------------------------- source manager

struct SourceMgr {
  jpeg_source_mgr pub;
  TStream* stream = nullptr;
  bool startOfFile = true;
  std::atomic<bool>* aborting = nullptr;
  std::vector<JOCTET> buffer = std::vector<JOCTET>(kIOBufferSize);
};

void InitSource(j_decompress_ptr cinfo) { reinterpret_cast<SourceMgr*>(cinfo->src)->startOfFile = true; }

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<SourceMgr*>(cinfo->src);
  int64_t n = 0;
  try {
    n = src->stream->Read(src->buffer.data(), kIOBufferSize);
  } catch (const std::exception&) {
    n = 0;
  }
  if (n <= 0) {
    if (src->startOfFile && src->aborting) src->aborting->store(true);  // an empty stream
    // A fake end of image: a truncated file ends as if complete.
    src->buffer[0] = 0xFF;
    src->buffer[1] = JPEG_EOI;
    n = 2;
  }
  src->pub.next_input_byte = src->buffer.data();
  src->pub.bytes_in_buffer = static_cast<size_t>(n);
  src->startOfFile = false;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  auto* src = reinterpret_cast<SourceMgr*>(cinfo->src);
  if (count <= 0) return;
  while (count > static_cast<long>(src->pub.bytes_in_buffer)) {
    count -= static_cast<long>(src->pub.bytes_in_buffer);
    FillInputBuffer(cinfo);
  }
  src->pub.next_input_byte += count;
  src->pub.bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

void InstallSource(j_decompress_ptr cinfo, SourceMgr& src, TStream& stream) {
  src.stream = &stream;
  src.startOfFile = true;
  src.pub.init_source = InitSource;
  src.pub.fill_input_buffer = FillInputBuffer;
  src.pub.skip_input_data = SkipInputData;
  src.pub.resync_to_restart = jpeg_resync_to_restart;
  src.pub.term_source = TermSource;
  src.pub.next_input_byte = nullptr;
  src.pub.bytes_in_buffer = 0;
  cinfo->src = &src.pub;
}

// ---------------------------------------------------------------- destination manager

struct DestMgr {
  jpeg_destination_mgr pub;
  TStream* stream = nullptr;
  TRVProgressRec* progress = nullptr;
  std::vector<JOCTET> buffer = std::vector<JOCTET>(kIOBufferSize);
};

void InitDestination(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<DestMgr*>(cinfo->dest);
  d->pub.next_output_byte = d->buffer.data();
  d->pub.free_in_buffer = d->buffer.size();
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<DestMgr*>(cinfo->dest);
  if (!d->progress->IsAborting()) WriteChecked(*d->stream, *d->progress, d->buffer.data(), kIOBufferSize);
  d->pub.next_output_byte = d->buffer.data();
  d->pub.free_in_buffer = d->buffer.size();
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<DestMgr*>(cinfo->dest);
  const int64_t n = static_cast<int64_t>(d->buffer.size() - d->pub.free_in_buffer);
  if (!d->progress->IsAborting()) WriteChecked(*d->stream, *d->progress, d->buffer.data(), n);
}

// Runs `step` with error_exit jumping back here; false when libjpeg failed. The step keeps no
// object with a destructor of its own across libjpeg's calls.
template <typename F>
bool Guarded(ErrorMgr& err, F&& step) {
  if (setjmp(err.jump)) return false;
  step();
  return true;
}

J_DCT_METHOD DctMethod(uint8_t m) { return m == 1 ? JDCT_IFAST : (m == 2 ? JDCT_FLOAT : JDCT_ISLOW); }

// ---------------------------------------------------------------- reader

struct ReadState {
  jpeg_decompress_struct cinfo;
  ErrorMgr err;
  SourceMgr src;
  bool created = false;
  bool started = false;
  int32_t rows = 0;
  std::vector<uint8_t> buffer;
  bool colorManaged = false;
};

void ApplyScale(jpeg_decompress_struct& c, TIOParamsVals& params) {
  int denom = 1;
  switch (params.JPEG_Scale) {
    case 2: denom = 2; break;
    case 3: denom = 4; break;
    case 4: denom = 8; break;
    case 0:
      if (params.Width > 0 && params.Height > 0) {
        for (int n = 3; n >= 0; --n) {
          if (int64_t(c.image_width) >> n >= params.Width && int64_t(c.image_height) >> n >= params.Height) {
            denom = 1 << n;
            break;
          }
        }
      }
      break;
    default: break;
  }
  c.scale_num = 1;
  c.scale_denom = static_cast<unsigned>(denom);
  params.JPEG_ScaleUsed = denom;
}

void DecodeRows(ReadState& st, TRVBitmap& bitmap, int32_t maxRows, bool invertCMYK, bool fileIsRGB,
                TRVProgressRec& progress, TIOParamsVals& params) {
  (void)fileIsRGB;
  jpeg_decompress_struct& c = st.cinfo;
  const int32_t w = static_cast<int32_t>(c.output_width), h = static_cast<int32_t>(c.output_height);
  const TRVPixelFormat f = bitmap.GetPixelFormat();
  const int32_t limit = maxRows < 0 ? h : std::min(maxRows, h);
  int32_t lastPer = -1;
  progress.val = 0;
  // Rows go straight into the image when libjpeg gives them in its layout (raw YCbCr samples
  // are asked for from YCbCr files only).
  const bool direct = (c.out_color_space == JCS_GRAYSCALE && f == rv8g) ||
                      (c.out_color_space == JCS_CMYK && f == rvCMYK) ||
                      ((c.out_color_space == JCS_EXT_BGR || c.out_color_space == JCS_YCbCr) && !st.colorManaged);
  // libjpeg writes output_components bytes a pixel, as many as the file has for a colour space
  // it does not know: they must fit the image row or the buffer they are written into.
  const int64_t written = int64_t(c.output_width) * c.output_components;
  if (written > (direct ? int64_t(bitmap.GetRowLen()) : static_cast<int64_t>(st.buffer.size()))) {
    progress.SetAborting();
    return;
  }
  while (static_cast<int32_t>(c.output_scanline) < limit && !progress.IsAborting()) {
    const int32_t y = static_cast<int32_t>(c.output_scanline);
    uint8_t* row = bitmap.GetScanLine(y);
    JSAMPROW target = row;
    if (!direct) target = st.buffer.data();
    const JDIMENSION got = jpeg_read_scanlines(&c, &target, 1);
    if (got == 0) break;
    // The CMYK image holds the inverted ink amounts, as Adobe's files store them.
    if (direct && invertCMYK && c.out_color_space == JCS_CMYK)
      for (int32_t i = 0; i < w * 4; ++i) row[i] = static_cast<uint8_t>(255 - row[i]);
    if (!direct) {
      uint8_t* b = st.buffer.data();
      if (c.out_color_space == JCS_GRAYSCALE) {
        for (int32_t x = 0; x < w; ++x) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = b[x];
      } else if (c.out_color_space == JCS_CMYK) {
        if (invertCMYK)
          for (int32_t i = 0; i < w * 4; ++i) b[i] = static_cast<uint8_t>(255 - b[i]);
        ConvertPixelRow(b, 2, row, &params, w, 1);
      } else {
        ConvertPixelRow(b, 1, row, &params, w, 1);
      }
    }
    ++st.rows;
    progress.val += static_cast<int32_t>(got);
    if (progress.HasEvent()) {
      const int32_t per = static_cast<int32_t>(int64_t(progress.val) * 100 / std::max(h, 1));
      if (per != lastPer) {
        lastPer = per;
        progress.Report(per);
      }
    }
  }
  if (st.rows < limit) progress.SetAborting();
}

void FillMarkers(jpeg_decompress_struct& c, TIOParamsVals& params) {
  params.JPEG_MarkerList.Clear();
  bool firstAPP0 = true;
  for (jpeg_saved_marker_ptr m = c.marker_list; m; m = m->next) {
    if (m->marker == JPEG_APP0 && firstAPP0) {
      firstAPP0 = false;
      // The JFIF header, which the writer produces itself.
      if (m->data_length >= 5 && std::memcmp(m->data, "JFIF\0", 5) == 0) continue;
    }
    params.JPEG_MarkerList.AddMarker(m->marker & 0xFF, m->data, static_cast<int32_t>(m->data_length));
  }
}

int32_t ReadImpl(ReadState& st, TStream& stream, TStream* tablesStream, TRVBitmap& bitmap, bool nativeFormat,
                 int32_t maxRows, bool readICC, bool dropICCMarkers, bool invertCMYK, bool readMetadata,
                 bool rawYCbCr, bool paramsOnly, TRVProgressRec& progress, TIOParamsVals& params) {
  const int64_t entry = stream.GetPosition();
  if (params.JPEG_GetExifThumbnail && JpegReadEXIFMarkerHook) {
    // The EXIF thumbnail instead of the image, when the file has one.
    params.EXIF_Thumbnail.reset();
    const int32_t w = params.Width, h = params.Height;
    params.JPEG_GetExifThumbnail = false;
    TRVBitmap scratch;
    ReadJpegStream(stream, nullptr, scratch, false, -1, false, false, false, true, false, true, progress, params);
    params.JPEG_GetExifThumbnail = true;
    stream.SetPosition(entry);
    if (params.EXIF_Thumbnail && !params.EXIF_Thumbnail->IsEmpty() && !progress.IsAborting()) {
      bitmap.Assign(params.EXIF_Thumbnail.get());
      return bitmap.GetHeight();
    }
    params.Width = w;
    params.Height = h;
    progress.Aborting->store(false);
  }
  params.JPEG_WarningCount = 0;
  params.JPEG_LastWarning = 0;
  const int64_t soi = FindJpegSOI(stream, true);
  if (soi < 0) {
    progress.SetAborting();
    return 0;
  }
  stream.SetPosition(soi);
  if (readICC) ReadJpegICCProfile(stream, params);
  st.colorManaged = ColorManagementOn && params.HasInputICCProfile() && params.GetInputICCProfile().IsValid();

  jpeg_decompress_struct& c = st.cinfo;
  InitErrorMgr(st.err, progress.Aborting);
  st.src.aborting = progress.Aborting;
  c.err = &st.err.pub;
  bool fileIsRGB = false;
  bool ok = Guarded(st.err, [&] {
    jpeg_create_decompress(&c);
    st.created = true;
    if (tablesStream && tablesStream != &stream) {
      InstallSource(&c, st.src, *tablesStream);
      jpeg_read_header(&c, FALSE);
    }
    InstallSource(&c, st.src, stream);
    jpeg_save_markers(&c, JPEG_COM, 0xFFFF);
    for (int m = 0; m < 16; ++m) jpeg_save_markers(&c, JPEG_APP0 + m, 0xFFFF);
    jpeg_read_header(&c, TRUE);
  });
  if (ok && !progress.IsAborting()) {
    params.SetImageCount(1);
    params.BitsPerSample = 8;
    switch (c.jpeg_color_space) {
      case JCS_GRAYSCALE:
        params.JPEG_ColorSpace = 1;
        params.SamplesPerPixel = 1;
        c.out_color_space = JCS_GRAYSCALE;
        break;
      case JCS_RGB:
        params.JPEG_ColorSpace = 0;
        params.SamplesPerPixel = 3;
        fileIsRGB = true;
        c.out_color_space = JCS_EXT_BGR;
        break;
      case JCS_YCbCr:
        params.JPEG_ColorSpace = 2;
        params.SamplesPerPixel = 3;
        c.out_color_space = JCS_EXT_BGR;
        break;
      case JCS_CMYK:
        params.JPEG_ColorSpace = 3;
        params.SamplesPerPixel = 4;
        c.out_color_space = JCS_CMYK;
        break;
      case JCS_YCCK:
        params.JPEG_ColorSpace = 4;
        params.SamplesPerPixel = 4;
        c.out_color_space = JCS_CMYK;
        break;
      default:
        break;
    }
    if (rawYCbCr && c.jpeg_color_space == JCS_YCbCr) c.out_color_space = JCS_YCbCr;
    c.dct_method = DctMethod(params.JPEG_DCTMethod);
    // Resolution: the JFIF density, the library's default without one.
    if (c.saw_JFIF_marker && c.X_density != 0 && c.Y_density != 0) {
      if (c.density_unit == 2) {
        params.SetDpiX(common::TruncInt(c.X_density * 2.54L));
        params.SetDpiY(common::TruncInt(c.Y_density * 2.54L));
      } else {
        params.SetDpiX(c.X_density);
        params.SetDpiY(c.Y_density);
      }
    } else {
      params.SetDpiX(DefaultDpiX);
      params.SetDpiY(DefaultDpiY);
    }
    params.FreeColorMap();
    params.JPEG_Progressive = c.progressive_mode != 0;
    params.StoredWidth = static_cast<int32_t>(c.image_width);
    params.StoredHeight = static_cast<int32_t>(c.image_height);
    ApplyScale(c, params);
    if (paramsOnly) {
      params.Width = params.StoredWidth;
      params.Height = params.StoredHeight;
    } else {
      ok = Guarded(st.err, [&] {
        jpeg_calc_output_dimensions(&c);
      });
      const int64_t ow = c.output_width, oh = c.output_height;
      if (!ok || ow * oh > kMaxPixelCount ||
          int64_t(c.image_width) * c.image_height / kPixelsPerByte > BytesLeft(stream) + kIOBufferSize) {
        progress.SetAborting();
      } else {
        TRVPixelFormat format = rv24RGB;
        if (nativeFormat && c.out_color_space == JCS_GRAYSCALE) format = rv8g;
        else if (nativeFormat && c.out_color_space == JCS_CMYK) format = rvCMYK;
        if (!bitmap.Allocate(static_cast<int32_t>(ow), static_cast<int32_t>(oh), format)) {
          progress.SetAborting();
        } else {
          st.buffer.assign(static_cast<size_t>(ow) * 4 + 16, 0);
          ok = Guarded(st.err, [&] {
            jpeg_start_decompress(&c);
            st.started = true;
            params.Width = static_cast<int32_t>(c.output_width);
            params.Height = static_cast<int32_t>(c.output_height);
            DecodeRows(st, bitmap, maxRows, invertCMYK, fileIsRGB, progress, params);
          });
          if (!ok) progress.SetAborting();
        }
      }
    }
  } else {
    progress.SetAborting();
  }

  if (st.created) {
    FillMarkers(c, params);
    if (dropICCMarkers && st.colorManaged && params.GetInputICCProfile().HasTransform()) {
      params.GetInputICCProfile().FreeTransform();
      for (int32_t i = params.JPEG_MarkerList.Count() - 1; i >= 0; --i)
        if (params.JPEG_MarkerList.GetMarkerType(i) == 0xE2) params.JPEG_MarkerList.DeleteMarker(i);
    }
    if (st.started && !progress.IsAborting() && !paramsOnly) {
      // Errors while finishing are ignored: the pixels are already there.
      std::atomic<bool> ignored{false};
      st.err.aborting = &ignored;
      Guarded(st.err, [&] { jpeg_finish_decompress(&c); });
    }
    if (st.err.warnings > 0) {
      params.JPEG_WarningCount = st.err.warnings;
      params.JPEG_LastWarning = st.err.lastWarning;
    }
  }

  if (readMetadata) {
    auto& markers = params.JPEG_MarkerList;
    for (int32_t i = 0; i < markers.Count(); ++i)
      if (markers.GetMarkerType(i) == 0xED &&
          params.IPTC_Info.LoadFromBuffer(markers.GetMarkerData(i), markers.GetMarkerLength(i)))
        break;
    if (JpegReadEXIFMarkerHook) {
      for (int32_t i = 0; i < markers.Count(); ++i) {
        if (markers.GetMarkerType(i) != 0xE1) continue;
        if (!JpegReadEXIFMarkerHook(markers.GetMarkerData(i), markers.GetMarkerLength(i), params)) continue;
        if (params.DpiX == 1 && params.DpiY == 1) {
          const double k = params.EXIF_ResolutionUnit == 3 ? 2.54 : 1.0;
          params.SetDpiX(common::TruncInt(params.EXIF_XResolution * k));
          params.SetDpiY(common::TruncInt(params.EXIF_YResolution * k));
        }
        if (params.JPEG_EnableAdjustOrientation && !paramsOnly && !progress.IsAborting()) {
          ApplyEXIFOrientation(bitmap, params.EXIF_Orientation);
          params.SetEXIF_Orientation(1);
        }
        break;
      }
    }
    for (int32_t i = 0; i < markers.Count(); ++i) {
      if (markers.GetMarkerType(i) != 0xE1) continue;
      const uint8_t* d = markers.GetMarkerData(i);
      const int32_t n = markers.GetMarkerLength(i);
      if (FindXMPPacket(d, n) && ReadXMPMarker(d, n, params.XMP_Info)) break;
    }
  }
  return st.rows;
}

// ---------------------------------------------------------------- writer

struct WriteState {
  jpeg_compress_struct cinfo;
  ErrorMgr err;
  DestMgr dest;
  bool created = false;
  std::vector<uint8_t> buffer;
};

void WriteImpl(WriteState& st, TStream& stream, TRVBitmap& source, TIOParamsVals& params, TRVProgressRec& progress) {
  const int32_t w = source.GetWidth(), h = source.GetHeight();
  jpeg_compress_struct& c = st.cinfo;
  InitErrorMgr(st.err, progress.Aborting);
  c.err = &st.err.pub;
  st.dest.stream = &stream;
  st.dest.progress = &progress;
  const bool cmyk = params.JPEG_ColorSpace == 3 || params.JPEG_ColorSpace == 4;
  if (cmyk) st.buffer.assign(static_cast<size_t>(w) * 4 + 16, 0);
  const bool ok = Guarded(st.err, [&] {
    jpeg_create_compress(&c);
    st.created = true;
    st.dest.pub.init_destination = InitDestination;
    st.dest.pub.empty_output_buffer = EmptyOutputBuffer;
    st.dest.pub.term_destination = TermDestination;
    c.dest = &st.dest.pub;
    if (progress.IsAborting()) return;
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = cmyk ? 4 : 3;
    c.in_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_set_defaults(&c);
    switch (params.JPEG_ColorSpace) {
      case 1: jpeg_set_colorspace(&c, JCS_GRAYSCALE); break;
      case 2: jpeg_set_colorspace(&c, JCS_YCbCr); break;
      case 3: jpeg_set_colorspace(&c, JCS_CMYK); break;
      case 4: jpeg_set_colorspace(&c, JCS_YCCK); break;
      default: jpeg_set_colorspace(&c, JCS_RGB); break;
    }
    c.density_unit = 1;
    c.X_density = static_cast<UINT16>(std::clamp(params.DpiX > 0 ? params.DpiX : DefaultDpiX, 1, 65535));
    c.Y_density = static_cast<UINT16>(std::clamp(params.DpiY > 0 ? params.DpiY : DefaultDpiY, 1, 65535));
    c.dct_method = DctMethod(params.JPEG_DCTMethod);
    c.optimize_coding = params.JPEG_OptimalHuffman ? TRUE : FALSE;
    c.smoothing_factor = std::clamp(params.JPEG_Smooth, 0, 100);
    jpeg_set_quality(&c, std::clamp(params.JPEG_Quality, 0, 100), TRUE);
    if (params.JPEG_ColorSpace == 2) {
      int hs = 1, vs = 1;
      if (params.JPEG_ChromaSubsampling == 0) hs = 2;
      else if (params.JPEG_ChromaSubsampling == 1) hs = vs = 2;
      c.comp_info[0].h_samp_factor = hs;
      c.comp_info[0].v_samp_factor = vs;
      for (int k = 1; k < 3; ++k) c.comp_info[k].h_samp_factor = c.comp_info[k].v_samp_factor = 1;
    }
    if (cmyk) c.write_Adobe_marker = TRUE;
    if (params.JPEG_Progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    params.JPEG_MarkerList.SortMarkers();
    for (int32_t i = 0; i < params.JPEG_MarkerList.Count(); ++i) {
      const uint8_t t = params.JPEG_MarkerList.GetMarkerType(i);
      if (t == 0xEE) continue;
      jpeg_write_marker(&c, t, params.JPEG_MarkerList.GetMarkerData(i),
                        static_cast<unsigned>(params.JPEG_MarkerList.GetMarkerLength(i)));
    }
    int32_t lastPer = -1;
    for (int32_t y = 0; y < h && !progress.IsAborting(); ++y) {
      JSAMPROW row = source.GetScanLine(y);
      if (cmyk) {
        ConvertPixelRow(row, 1, st.buffer.data(), &params, w, 2);
        row = st.buffer.data();
      }
      jpeg_write_scanlines(&c, &row, 1);
      if (progress.HasEvent()) {
        const int32_t per = static_cast<int32_t>(int64_t(y + 1) * 100 / h);
        if (per != lastPer) {
          lastPer = per;
          progress.Report(per);
        }
      }
    }
    if (!progress.IsAborting()) jpeg_finish_compress(&c);
  });
  if (!ok) {
    const int code = st.err.code;
    if (st.created) jpeg_destroy_compress(&c);
    st.created = false;
    throw ERVJpegException(MessageText(st.err, code));
  }
}

}  // namespace

int32_t ReadJpegStream(TStream& stream, TStream* tablesStream, TRVBitmap& bitmap, bool nativeFormat, int32_t maxRows,
                       bool readICC, bool dropICCMarkers, bool invertCMYK, bool readMetadata, bool rawYCbCr,
                       bool paramsOnly, TRVProgressRec& progress, TIOParamsVals& params) {
  ReadState st;
  int32_t rows = 0;
  try {
    rows = ReadImpl(st, stream, tablesStream, bitmap, nativeFormat, maxRows, readICC, dropICCMarkers, invertCMYK,
                    readMetadata, rawYCbCr, paramsOnly, progress, params);
  } catch (const std::exception&) {
    progress.SetAborting();
    rows = st.rows;
  }
  if (st.created) jpeg_destroy_decompress(&st.cinfo);
  return rows;
}

void WriteJpegStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress) {
  std::unique_ptr<TRVBitmap> copy;
  TRVBitmap* src = &bitmap;
  if (bitmap.GetPixelFormat() != rv24RGB) {
    copy = ConvertedCopy(bitmap, rv24RGB);
    if (!copy) {
      progress.SetAborting();
      return;
    }
    src = copy.get();
  }
  if (src->GetWidth() <= 0 || src->GetHeight() <= 0 || src->GetWidth() > 65500 || src->GetHeight() > 65500) {
    progress.SetAborting();
    return;
  }
  WriteState st;
  try {
    WriteImpl(st, stream, *src, params, progress);
  } catch (...) {
    if (st.created) jpeg_destroy_compress(&st.cinfo);
    throw;
  }
  if (st.created) jpeg_destroy_compress(&st.cinfo);
}

int64_t FindJpegSOI(TStream& stream, bool scan) {
  const int64_t pos = stream.GetPosition();
  int64_t found = -1;
  try {
    const int tries = scan ? kSOIScanLimit : 1;
    uint8_t b[3];
    for (int i = 0; i < tries; ++i) {
      stream.SetPosition(pos + i);
      if (stream.Read(b, 3) < 3) break;
      if (b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) {
        found = scan ? pos + i : 0;
        break;
      }
    }
  } catch (const std::exception&) {
    found = -1;
  }
  stream.SetPosition(pos);
  return found;
}

int64_t GetJpegStreamLength(TStream& stream) {
  const int64_t start = stream.GetPosition();
  int64_t result = 0;
  try {
    TBufferedInput in(stream, 8192);
    while (!in.Truncated) {
      if (in.Byte() != 0xFF) continue;
      uint8_t code = in.Byte();
      while (code == 0xFF && !in.Truncated) code = in.Byte();
      if (in.Truncated) break;
      if (code == 0xD9) break;
      if ((code >= 0xC0 && code <= 0xCF) || (code >= 0xDA && code <= 0xFE)) {
        const uint8_t hi = in.Byte(), lo = in.Byte();
        const int32_t len = (hi << 8) | lo;
        if (len >= 2) in.Skip(len - 2);
      }
    }
    result = in.Position() - start;
  } catch (const std::exception&) {
    result = 0;
  }
  stream.SetPosition(start);
  return result;
}

void ReadJpegICCProfile(TStream& stream, TIOParamsVals& params) {
  const int64_t start = stream.GetPosition();
  try {
    TBufferedInput in(stream, 8192);
    std::vector<std::vector<uint8_t>> chunks;
    int32_t count = 0, arrived = 0;
    bool done = false;
    while (!done && !in.Truncated) {
      if (in.Byte() != 0xFF) continue;
      uint8_t code = in.Byte();
      while (code == 0xFF && !in.Truncated) code = in.Byte();
      if (in.Truncated) break;
      if (code < 0xC0 || (code >= 0xD0 && code <= 0xD8)) continue;
      const bool skip = code == 0xC4 || code == 0xC8 || code == 0xCC || (code >= 0xDA && code <= 0xE1) ||
                        (code >= 0xE3 && code <= 0xFE);
      if (!skip && code != 0xE2) break;  // a frame header or the end of the image
      const int32_t len = (in.Byte() << 8) | in.Byte();
      if (len < 2) continue;
      if (skip) {
        in.Skip(len - 2);
        continue;
      }
      std::vector<uint8_t> data(static_cast<size_t>(len - 2));
      if (!in.Bytes(data.data(), len - 2)) break;
      if (len < 16 || !IsICCProfileMarker(data.data(), len - 2)) continue;
      const int32_t seq = data[12], total = data[13];
      if (count == 0 && total > 0) {
        count = total;
        chunks.assign(static_cast<size_t>(count), {});
      }
      // A chunk numbered 0 or past the count belongs to no place of the profile.
      if (seq < 1 || seq > count || !chunks[size_t(seq - 1)].empty()) continue;
      chunks[size_t(seq - 1)].assign(data.begin() + 14, data.end());
      if (++arrived == count) done = true;
    }
    std::vector<uint8_t> profile;
    for (const auto& ch : chunks) profile.insert(profile.end(), ch.begin(), ch.end());
    if (!profile.empty()) params.GetInputICCProfile().LoadFromBuffer(profile.data(), int64_t(profile.size()));
  } catch (const std::exception&) {
  }
  stream.SetPosition(start);
}

}  // namespace rv
