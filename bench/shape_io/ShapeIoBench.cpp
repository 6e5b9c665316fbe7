// Sculpt maps, textures and the display texture on disk and in memory:
// - writing and reading a 257 x 257 sculpt map (64 parts) as Targa and as PNG, beside the image
//   I/O alone saving and loading the same 64 pictures;
// - loading a 4000 x 3000 JPEG as a 4096 x 4096 texture, beside the image I/O alone loading it;
// - refreshing the 4096 x 4096 display texture and its RGBA copy for the preview.
//
// The 64 small saves allocate and free the compressors' buffers for every part; whether the C
// library gives that memory back to the system between parts (and the next part faults it in
// again) depends on what else sits on the heap, and can differ between the two sides by more
// than the work compared. Running with GLIBC_TUNABLES=glibc.malloc.trim_threshold=268435456
// takes that out of the comparison.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QGuiApplication>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/Bitmap.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStartup.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/io/RastovaIOStartup.h"
#include "settings/AppSettings.h"
#include "shape/OutputNames.h"
#include "shape/PictureFiles.h"
#include "shape/SculptImage.h"
#include "shape/TextureBitmaps.h"
#include "shape/model/LineMarks.h"
#include "shape/model/uScPrim.h"

namespace {

struct Env {
  std::filesystem::path dir;
  std::unique_ptr<shape::TCS> cs = std::make_unique<shape::TCS>();
  Env() {
    rv::RegisterRastovaIOStartup();
    rv::RastovaLibraryStartup();
    shape::CreateTextureBitmaps();
    shape::FillLineMarks(shape::ColumnMarks, 1);
    shape::FillLineMarks(shape::RowMarks, 1);
    dir = std::filesystem::temp_directory_path() / ("zephor_bench_shape_io_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    settings::AppSettings.FileOverWrite = true;  // rewrite the same files every iteration
    shape::InitShape(*cs, shape::SCTYPE_SPHERE, 257, 257);
  }
  ~Env() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string File(const std::string& name) const { return (dir / name).string(); }
};

Env& E() {
  static Env env;
  return env;
}

void StartGui() {
  static QGuiApplication* app = [] {
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "bench_shape_io";
    static char* argv[] = {name, nullptr};
    return new QGuiApplication(argc, argv);
  }();
  (void)app;
}

const char* Ext(int64_t png) { return png ? ".png" : ".tga"; }

std::vector<std::string> PartNames(const std::string& base, const char* ext) {
  std::vector<std::string> names;
  for (int n = 1; n <= 64; ++n) names.push_back(shape::PartFileName(E().File(base + ext), n));
  return names;
}

void BM_WriteSculptMap257(benchmark::State& state) {
  Env& env = E();
  for (auto _ : state) {
    std::string name = env.File(std::string("map") + Ext(state.range(0)));
    shape::WriteSculptMap(*env.cs, name);
  }
}
BENCHMARK(BM_WriteSculptMap257)->Arg(0)->Arg(1)->ArgName("png")->Unit(benchmark::kMillisecond);

// The same 64 pictures (1024 x 16 with alpha) saved by the I/O component alone, with the same
// settings and texts, so that both sides write the same files.
void BM_CodecWrite257(benchmark::State& state) {
  Env& env = E();
  std::string first = env.File(std::string("map") + Ext(state.range(0)));
  shape::WriteSculptMap(*env.cs, first);
  const std::vector<std::string> parts = PartNames("map", Ext(state.range(0)));
  std::vector<std::unique_ptr<rv::TRVBitmap>> pictures;
  for (const std::string& p : parts) {
    auto b = std::make_unique<rv::TRVBitmap>();
    rv::TRastovaIO io(b.get());
    io.LoadFromFile(p);
    pictures.push_back(std::move(b));
  }
  std::vector<std::string> imageNames;
  for (const std::string& p : parts) imageNames.push_back(shape::ExtractBaseName(p));
  for (auto _ : state) {
    for (size_t k = 0; k < parts.size(); ++k) {
      rv::TRastovaIO io(pictures[k].get());
      io.Params.PNG_TextKeys = {"Author", "ImageName"};
      io.Params.PNG_TextValues = {shape::kPngAuthor, imageNames[k]};
      io.Params.PNG_Interlaced = false;
      io.Params.PNG_Compression = 9;
      io.Params.TGA_Author = shape::kTgaAuthor;
      io.Params.TGA_ImageName = imageNames[k];
      io.Params.TGA_Compressed = true;
      io.SaveToFile(parts[k]);
    }
  }
}
BENCHMARK(BM_CodecWrite257)->Arg(0)->Arg(1)->ArgName("png")->Unit(benchmark::kMillisecond);

void BM_ReadSculptMapParts257(benchmark::State& state) {
  Env& env = E();
  std::string first = env.File(std::string("map") + Ext(state.range(0)));
  shape::WriteSculptMap(*env.cs, first);
  const std::vector<std::string> parts = PartNames("map", Ext(state.range(0)));
  auto back = std::make_unique<shape::TCS>();
  shape::InitShape(*back, shape::SCTYPE_SPHERE, 9, 9);
  for (auto _ : state)
    for (const std::string& p : parts) benchmark::DoNotOptimize(shape::ReadSculptImage(*back, p, -1));
}
BENCHMARK(BM_ReadSculptMapParts257)->Arg(0)->Arg(1)->ArgName("png")->Unit(benchmark::kMillisecond);

void BM_CodecReadParts257(benchmark::State& state) {
  Env& env = E();
  std::string first = env.File(std::string("map") + Ext(state.range(0)));
  shape::WriteSculptMap(*env.cs, first);
  const std::vector<std::string> parts = PartNames("map", Ext(state.range(0)));
  for (auto _ : state)
    for (const std::string& p : parts) {
      rv::TRVBitmap b;
      rv::TRastovaIO io(&b);
      io.LoadFromFile(p);
      benchmark::DoNotOptimize(b.GetWidth());
    }
}
BENCHMARK(BM_CodecReadParts257)->Arg(0)->Arg(1)->ArgName("png")->Unit(benchmark::kMillisecond);

// A photo-like 4000 x 3000 JPEG (quality 80, 2 x 2 chroma subsampling), written once.
std::string Photo() {
  static const std::string name = [] {
    const std::string file = E().File("photo.jpg");
    rv::TRVBitmap b(4000, 3000, rv::rv24RGB);
    for (int y = 0; y < 3000; ++y) {
      uint8_t* row = b.GetScanLine(y);
      for (int x = 0; x < 4000; ++x) {
        row[3 * x] = static_cast<uint8_t>(x / 16 + y / 23);
        row[3 * x + 1] = static_cast<uint8_t>((x * y) >> 12);
        row[3 * x + 2] = static_cast<uint8_t>(y / 12 + ((x ^ y) & 7));
      }
    }
    rv::TRastovaIO io(&b);
    io.SaveToFile(file);
    return file;
  }();
  return name;
}

void BM_LoadTexture4000x3000To4096(benchmark::State& state) {
  Env& env = E();
  const std::string photo = Photo();
  state.SetLabel(shape::ExtractFileExt(photo));
  shape::SetGridSize(*env.cs);  // the readers above changed the grid size
  for (auto _ : state) shape::LoadTextureFile(photo);
  (void)env;
}
BENCHMARK(BM_LoadTexture4000x3000To4096)->Unit(benchmark::kMillisecond);

// Loading the same picture by the I/O component alone.
void BM_CodecLoad4000x3000(benchmark::State& state) {
  const std::string photo = Photo();
  for (auto _ : state) {
    rv::TRVBitmap b;
    rv::TRastovaIO io(&b);
    io.LoadFromFile(photo);
    benchmark::DoNotOptimize(b.GetWidth());
  }
}
BENCHMARK(BM_CodecLoad4000x3000)->Unit(benchmark::kMillisecond);

void BM_RefreshDisplayTexture4096(benchmark::State& state) {
  StartGui();
  Env& env = E();
  shape::SetGridSize(*env.cs);
  shape::ShowTextureGrid = state.range(0) != 0;
  env.cs->SP[10][10] = env.cs->RP[20][20] = true;
  shape::TRGBAImage rgba;
  for (auto _ : state) {
    shape::RefreshTextureDisplay(*env.cs);
    shape::CopyPreviewTexture(rgba);
    benchmark::DoNotOptimize(rgba.Pixels.data());
  }
  state.SetLabel(std::to_string(rgba.Width) + " x " + std::to_string(rgba.Height));
}
BENCHMARK(BM_RefreshDisplayTexture4096)->Arg(0)->Arg(1)->ArgName("grid")->Unit(benchmark::kMillisecond);

}  // namespace
