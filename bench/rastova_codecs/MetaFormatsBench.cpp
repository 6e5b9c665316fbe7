// The formats that stand on the TIFF structure, each against its baseline:
// - a 24-megapixel synthetic DNG through ReadCameraRawStream against LibRaw called directly
//   (unpack, dcraw_process, dcraw_make_mem_image at 8 bits);
// - decoding and encoding a 4096 x 4096 HD Photo through our codec against libjxr called
//   directly on the same data (lossless both sides; our encoder also injects the EXIF tags);
// - loading a 12-megapixel JPEG with a full EXIF block and thumbnail against the same JPEG
//   without its APP1 segment.
#include <benchmark/benchmark.h>
#include <libraw/libraw.h>

#include <cstring>
#include <memory>
#include <vector>

#include "BenchPicture.h"
#include "rastova/codecs/RVEXIF.h"
#include "rastova/codecs/jpeg/jpegfilt.h"
#include "rastova/codecs/raw/rvraw.h"
#include "rastova/codecs/hdp/rvwic.h"
#include "rastova/codecs/tests/RawTools.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RVStream.h"

// libjxr's interface defines macros of its own: it comes last.
#include <JXRGlue.h>
#undef min
#undef max
#undef Report

namespace {

using namespace rv;

// ---------------------------------------------------------------- camera raw

const std::vector<uint8_t>& Dng() {
  static const std::vector<uint8_t> data = [] {
    RastovaLibraryStartup();
    test::TSyntheticDNG spec;
    spec.width = 6000;
    spec.height = 4000;
    spec.sample = [](int32_t x, int32_t y, int32_t c) {
      return static_cast<uint16_t>(((x / 8 + y / 8) * 5 + c * 700 + (x * y) % 97) % 4000);
    };
    return test::MakeSyntheticDNG(spec);
  }();
  return data;
}

void BM_RawOurs(benchmark::State& state) {
  const std::vector<uint8_t>& dng = Dng();
  for (auto _ : state) {
    TRVMemStream s(dng.data(), static_cast<int64_t>(dng.size()));
    TRVBitmap b;
    TIOParamsVals p;
    TRVProgressRec progress;
    ReadCameraRawStream(s, b, p, progress, false);
    if (progress.IsAborting()) state.SkipWithError("raw read failed");
    benchmark::DoNotOptimize(b.GetScanLine(0));
  }
}
BENCHMARK(BM_RawOurs)->Unit(benchmark::kMillisecond);

void BM_RawLibRawDirect(benchmark::State& state) {
  const std::vector<uint8_t>& dng = Dng();
  for (auto _ : state) {
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPIONS_NO_DATAERR_CALLBACK);
    raw->imgdata.params.output_bps = 8;
    raw->imgdata.params.user_qual = 0;
    if (raw->open_buffer(const_cast<uint8_t*>(dng.data()), dng.size()) != LIBRAW_SUCCESS ||
        raw->unpack() != 0 || raw->dcraw_process() != 0)
      state.SkipWithError("LibRaw failed");
    int err = 0;
    libraw_processed_image_t* img = raw->dcraw_make_mem_image(&err);
    benchmark::DoNotOptimize(img);
    LibRaw::dcraw_clear_mem(img);
  }
}
BENCHMARK(BM_RawLibRawDirect)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- HD Photo

constexpr int kHdpSize = 4096;

struct HdpData {
  HdpData() {
    RastovaLibraryStartup();
    rv::bench::FillBenchPicture(bitmap, kHdpSize);
    TMemoryStream s;
    TIOParamsVals p;
    p.HDP_Lossless = true;
    TRVProgressRec progress;
    WriteHDPStream(s, bitmap, p, progress);
    file = s.Data();
    pixels.resize(size_t(kHdpSize) * kHdpSize * 3);
    for (int y = 0; y < kHdpSize; ++y)
      std::memcpy(&pixels[size_t(y) * kHdpSize * 3], bitmap.GetScanLine(y), size_t(kHdpSize) * 3);
  }
  TRVBitmap bitmap;
  std::vector<uint8_t> file, pixels;
};

HdpData& Hdp() {
  static HdpData d;
  return d;
}

void BM_HdpDecodeOurs(benchmark::State& state) {
  HdpData& d = Hdp();
  // The bitmap is there before timing, as libjxr's output buffer is below.
  TRVBitmap b;
  b.Allocate(kHdpSize, kHdpSize, rv24RGB);
  b.Fill(0);
  for (auto _ : state) {
    TRVMemStream s(d.file.data(), static_cast<int64_t>(d.file.size()));
    TIOParamsVals p;
    TRVProgressRec progress;
    ReadHDPStream(s, b, p, progress, false);
    if (progress.IsAborting()) state.SkipWithError("decode failed");
  }
}
BENCHMARK(BM_HdpDecodeOurs)->Unit(benchmark::kMillisecond);

void BM_HdpDecodeLibjxr(benchmark::State& state) {
  HdpData& d = Hdp();
  std::vector<uint8_t> out(size_t(kHdpSize) * kHdpSize * 3 + 16 * kHdpSize * 3);
  for (auto _ : state) {
    WMPStream* ws = nullptr;
    CreateWS_Memory(&ws, d.file.data(), d.file.size());
    PKImageDecode* dec = nullptr;
    PKImageDecode_Create_WMP(&dec);
    dec->Initialize(dec, ws);
    PKRect rect{0, 0, kHdpSize, kHdpSize};
    if (Failed(dec->Copy(dec, &rect, out.data(), kHdpSize * 3))) state.SkipWithError("libjxr decode failed");
    dec->Release(&dec);
    ws->Close(&ws);
  }
}
BENCHMARK(BM_HdpDecodeLibjxr)->Unit(benchmark::kMillisecond);

void BM_HdpEncodeOurs(benchmark::State& state) {
  HdpData& d = Hdp();
  for (auto _ : state) {
    TMemoryStream s;
    TIOParamsVals p;
    p.HDP_Lossless = true;
    TRVProgressRec progress;
    WriteHDPStream(s, d.bitmap, p, progress);
    benchmark::DoNotOptimize(s.Memory());
  }
}
BENCHMARK(BM_HdpEncodeOurs)->Unit(benchmark::kMillisecond);

// A growing memory stream for libjxr's encoder.
struct TGrowingStream {
  WMPStream ws{};
  std::vector<uint8_t> data;
  size_t pos = 0;
  static TGrowingStream* Of(WMPStream* me) { return reinterpret_cast<TGrowingStream*>(me); }
  TGrowingStream() {
    ws.Close = [](WMPStream** p) -> ERR {
      *p = nullptr;
      return WMP_errSuccess;
    };
    ws.EOS = [](WMPStream* me) -> Bool { return Of(me)->pos >= Of(me)->data.size(); };
    ws.Read = [](WMPStream* me, void* pv, size_t cb) -> ERR {
      TGrowingStream* g = Of(me);
      if (g->pos + cb > g->data.size()) return WMP_errFileIO;
      std::memcpy(pv, g->data.data() + g->pos, cb);
      g->pos += cb;
      return WMP_errSuccess;
    };
    ws.Write = [](WMPStream* me, const void* pv, size_t cb) -> ERR {
      TGrowingStream* g = Of(me);
      if (g->pos + cb > g->data.size()) g->data.resize(g->pos + cb);
      std::memcpy(g->data.data() + g->pos, pv, cb);
      g->pos += cb;
      return WMP_errSuccess;
    };
    ws.SetPos = [](WMPStream* me, size_t off) -> ERR {
      Of(me)->pos = off;
      return WMP_errSuccess;
    };
    ws.GetPos = [](WMPStream* me, size_t* off) -> ERR {
      *off = Of(me)->pos;
      return WMP_errSuccess;
    };
  }
};

void BM_HdpEncodeLibjxr(benchmark::State& state) {
  HdpData& d = Hdp();
  for (auto _ : state) {
    TGrowingStream out;
    WMPStream* ws = &out.ws;
    PKImageEncode* enc = nullptr;
    PKImageEncode_Create_WMP(&enc);
    CWMIStrCodecParam scp{};
    scp.bdBitDepth = BD_LONG;
    scp.bfBitstreamFormat = FREQUENCY;
    scp.bProgressiveMode = 1;
    scp.olOverlap = OL_ONE;
    scp.cfColorFormat = YUV_444;
    scp.uiDefaultQPIndex = 1;
    enc->Initialize(enc, ws, &scp, sizeof(scp));
    enc->SetPixelFormat(enc, GUID_PKPixelFormat24bppBGR);
    enc->SetSize(enc, kHdpSize, kHdpSize);
    enc->SetResolution(enc, 300, 300);
    // In bands of whole macroblock rows, as our encoder writes them.
    enc->WritePixelsBandedBegin(enc, nullptr);
    for (int y = 0; y < kHdpSize; y += 128)
      if (Failed(enc->WritePixelsBanded(enc, 128, d.pixels.data() + size_t(y) * kHdpSize * 3, kHdpSize * 3,
                                        y + 128 >= kHdpSize)))
        state.SkipWithError("encode failed");
    enc->WritePixelsBandedEnd(enc);
    enc->Release(&enc);
  }
}
BENCHMARK(BM_HdpEncodeLibjxr)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- JPEG with EXIF

struct JpegData {
  JpegData() {
    RastovaLibraryStartup();
    TRVBitmap b;
    b.Allocate(4000, 3000, rv24RGB);
    for (int y = 0; y < 3000; ++y) {
      uint8_t* row = b.GetScanLine(y);
      for (int x = 0; x < 12000; ++x) row[x] = uint8_t((x / 3 + y) / 16);
    }
    TIOParamsVals exif;
    exif.EXIF_HasEXIFData = true;
    exif.EXIF_Make = "BenchCam";
    exif.EXIF_Model = "12MP";
    exif.SetEXIF_ExposureTime(0.01);
    exif.SetEXIF_FNumber(4);
    exif.EXIF_ISOSpeedRatings[0] = 100;
    exif.EXIF_GPSVersionID = "2.2.0.0";
    exif.EXIF_UserComment = u"a comment";
    exif.EXIF_Thumbnail = std::make_unique<TRVBitmap>();
    exif.EXIF_Thumbnail->Allocate(160, 120, rv24RGB);
    exif.EXIF_Thumbnail->Fill(90);
    const std::vector<uint8_t> block = BuildEXIFBlock(exif, true);
    TIOParamsVals with, without;
    with.JPEG_MarkerList.AddMarker(0xE1, block.data(), static_cast<int32_t>(block.size()));
    TRVProgressRec progress;
    TMemoryStream a, c;
    WriteJpegStream(a, b, with, progress);
    WriteJpegStream(c, b, without, progress);
    withExif = a.Data();
    withoutExif = c.Data();
  }
  std::vector<uint8_t> withExif, withoutExif;
};

JpegData& Jpeg() {
  static JpegData d;
  return d;
}

void LoadJpeg(benchmark::State& state, const std::vector<uint8_t>& data) {
  JpegReadEXIFMarkerHook = ReadEXIFMarker;
  TRVBitmap b;
  for (auto _ : state) {
    TRVMemStream s(data.data(), static_cast<int64_t>(data.size()));
    TIOParamsVals p;
    TRVProgressRec progress;
    ReadJpegStream(s, nullptr, b, false, -1, true, true, false, true, false, false, progress, p);
  }
}
void BM_JpegWithExif(benchmark::State& state) { LoadJpeg(state, Jpeg().withExif); }
void BM_JpegWithoutExif(benchmark::State& state) { LoadJpeg(state, Jpeg().withoutExif); }
BENCHMARK(BM_JpegWithExif)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegWithoutExif)->Unit(benchmark::kMillisecond);

}  // namespace
