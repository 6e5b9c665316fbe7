// The shape's mesh files at the largest grid, the 257 x 257 sphere, each beside references measured
// in the same run:
// - writing it as OBJ in triangles and as one COLLADA level, against writing the same bytes with
//   plain buffered I/O (Raw*) and against formatting the same numbers with snprintf into one buffer
//   and writing that (Snprintf*);
// - reading that OBJ back, against splitting the same file into lines and parsing its numbers with
//   std::from_chars (FromChars);
// - building the level-0 tables with "Optimize Mesh" 2, against writing that level's document.
//   The program's sphere is a can: its wall and flat ends merge into a few hundred quads, so that
//   document is small. The same pair is measured on the sphere bent a little everywhere (Bent*),
//   where nothing merges and the document holds the whole mesh.
//
// The OBJ writer also stores the texture as PNG; the texture bitmaps are held at 1 x 1 pixel here so
// the OBJ text is what is measured.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "rastova/core/RVStartup.h"
#include "rastova/io/RastovaIOStartup.h"
#include "settings/AppSettings.h"
#include "shape/ObjFile.h"
#include "shape/TextureBitmaps.h"
#include "shape/model/uScPrim.h"
#include "shape/uFileIO.h"
#include "shape/uScCollada.h"

namespace {

struct Env {
  std::filesystem::path dir;
  std::unique_ptr<shape::TCS> cs = std::make_unique<shape::TCS>();
  std::unique_ptr<shape::TCS> bent = std::make_unique<shape::TCS>();
  std::string objName, objText, daeName, daeText;
  Env() {
    rv::RegisterRastovaIOStartup();
    rv::RastovaLibraryStartup();
    dir = std::filesystem::temp_directory_path() / ("zephor_bench_shape_files_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    settings::AppSettings.FileOverWrite = true;  // rewrite the same files every iteration
    settings::AppSettings.ColladaOptimizeMesh = 2;
    shape::InitShape(*cs, shape::SCTYPE_SPHERE, 257, 257);
    *bent = *cs;
    for (int i = 0; i < 257; ++i)
      for (int j = 1; j < 256; ++j) bent->CP[i][j][2] += 0.01 * std::sin(0.37 * i + 0.11 * j);
    shape::CopySeams(*bent, 0);
    shape::CreateTextureBitmaps();
    shape::SetTextureResizeHook(nullptr);
    shape::TextureBitmaps().BaseColor.SetSize(1, 1);
    shape::TextureBitmaps().BaseAlpha.SetSize(1, 1);
    objName = File("sphere.obj");
    shape::WriteObjFile(*cs, objName, true);
    objText = Load(objName);
    BuildLevel0();
    daeName = shape::WriteColladaFile(File("sphere"), "", "", shape::MeshVertices, shape::MeshNormals,
                                      shape::MeshTexCoords, shape::MeshFaces);
    daeText = Load(daeName);
  }
  ~Env() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string File(const std::string& name) const { return (dir / name).string(); }
  void BuildLevel0(const shape::TCS* shape = nullptr) {
    auto grid = std::make_unique<shape::TLevelGrid>();
    shape::MakeLevelGrid(shape ? *shape : *cs, *grid, 0);
    shape::BuildLodMesh(*grid);
  }
  static std::string Load(const std::string& name) {
    std::string text;
    FILE* f = std::fopen(name.c_str(), "rb");
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);
    return text;
  }
};

Env& E() {
  static Env env;
  return env;
}

void WriteRaw(const std::string& name, const std::string& text) {
  FILE* f = std::fopen(name.c_str(), "wb");
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

// Calls fn(line) for every line of the text (CR LF line ends).
template <typename Fn>
void Lines(const std::string& text, Fn fn) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    fn(std::string_view(text).substr(start, stop - start));
    start = end + 1;
  }
}

// The OBJ's records as numbers: kind 0 "v", 1 "vt", 2 "f" (with its six numbers), 3 any other line.
struct ObjRecord {
  int kind;
  double x[3];
  int f[6];
  std::string line;
};

std::vector<ObjRecord> ParseObjRecords(const std::string& text) {
  std::vector<ObjRecord> records;
  Lines(text, [&](std::string_view line) {
    ObjRecord r{};
    const std::string s(line);
    if (std::sscanf(s.c_str(), "v %lf %lf %lf", &r.x[0], &r.x[1], &r.x[2]) == 3 && s[1] == ' ') {
      r.kind = 0;
    } else if (std::sscanf(s.c_str(), "vt %lf %lf", &r.x[0], &r.x[1]) == 2) {
      r.kind = 1;
    } else if (std::sscanf(s.c_str(), "f %d/%d/ %d/%d/ %d/%d/", &r.f[0], &r.f[1], &r.f[2], &r.f[3], &r.f[4],
                           &r.f[5]) == 6) {
      r.kind = 2;
    } else {
      r.kind = 3;
      r.line = s;
    }
    records.push_back(r);
  });
  return records;
}

// ---- OBJ writing ----

void BM_WriteObjTriangles(benchmark::State& state) {
  Env& env = E();
  for (auto _ : state) {
    std::string name = env.File("sphere.obj");
    shape::WriteObjFile(*env.cs, name, true);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * env.objText.size()));
}
BENCHMARK(BM_WriteObjTriangles)->Unit(benchmark::kMillisecond);

void BM_RawWriteObjBytes(benchmark::State& state) {
  Env& env = E();
  for (auto _ : state) WriteRaw(env.File("raw.obj"), env.objText);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * env.objText.size()));
}
BENCHMARK(BM_RawWriteObjBytes)->Unit(benchmark::kMillisecond);

void BM_SnprintfObj(benchmark::State& state) {
  Env& env = E();
  const std::vector<ObjRecord> records = ParseObjRecords(env.objText);
  for (auto _ : state) {
    std::string out;
    out.reserve(env.objText.size());
    char buf[256];
    for (const ObjRecord& r : records) {
      int n = 0;
      switch (r.kind) {
        case 0:
          n = std::snprintf(buf, sizeof buf, "v %1.8f %1.8f %1.8f\r\n", r.x[0], r.x[1], r.x[2]);
          break;
        case 1:
          n = std::snprintf(buf, sizeof buf, "vt %1.8f %1.8f\r\n", r.x[0], r.x[1]);
          break;
        case 2:
          n = std::snprintf(buf, sizeof buf, "f %d/%d/ %d/%d/ %d/%d/\r\n", r.f[0], r.f[1], r.f[2], r.f[3], r.f[4],
                            r.f[5]);
          break;
        default:
          out += r.line;
          out += "\r\n";
          break;
      }
      out.append(buf, static_cast<size_t>(n));
    }
    WriteRaw(env.File("snprintf.obj"), out);
  }
}
BENCHMARK(BM_SnprintfObj)->Unit(benchmark::kMillisecond);

// ---- OBJ reading ----

void BM_ReadObjTriangles(benchmark::State& state) {
  Env& env = E();
  auto back = std::make_unique<shape::TCS>();
  shape::InitShape(*back, shape::SCTYPE_PLANE, 9, 9);
  for (auto _ : state) {
    std::string mtl;
    benchmark::DoNotOptimize(shape::ReadObjFile(*back, env.objName, mtl, -1));
  }
}
BENCHMARK(BM_ReadObjTriangles)->Unit(benchmark::kMillisecond);

// The file loaded, split into lines and every number of every record parsed with from_chars.
void BM_FromCharsObj(benchmark::State& state) {
  Env& env = E();
  for (auto _ : state) {
    const std::string text = Env::Load(env.objName);
    double sum = 0;
    int64_t ints = 0;
    Lines(text, [&](std::string_view line) {
      if (line.size() < 2) return;
      const char* p = line.data();
      const char* end = p + line.size();
      if (line[0] == 'v') {
        p += line[1] == 't' ? 3 : 2;
        while (p < end) {
          double v = 0;
          auto r = std::from_chars(p, end, v);
          sum += v;
          p = r.ptr + 1;
        }
      } else if (line[0] == 'f') {
        p += 2;
        while (p < end) {
          int v = 0;
          auto r = std::from_chars(p, end, v);
          ints += v;
          p = r.ptr + 1;
          while (p < end && (*p == '/' || *p == ' ')) ++p;
        }
      }
    });
    benchmark::DoNotOptimize(sum);
    benchmark::DoNotOptimize(ints);
  }
}
BENCHMARK(BM_FromCharsObj)->Unit(benchmark::kMillisecond);

// ---- COLLADA ----

void BM_BuildLevel0Optimize2(benchmark::State& state) {
  Env& env = E();
  for (auto _ : state) env.BuildLevel0();
}
BENCHMARK(BM_BuildLevel0Optimize2)->Unit(benchmark::kMillisecond);

void BM_WriteColladaLevel0(benchmark::State& state) {
  Env& env = E();
  env.BuildLevel0();
  for (auto _ : state)
    shape::WriteColladaFile(env.File("sphere"), "", "", shape::MeshVertices, shape::MeshNormals, shape::MeshTexCoords,
                            shape::MeshFaces);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * env.daeText.size()));
}
BENCHMARK(BM_WriteColladaLevel0)->Unit(benchmark::kMillisecond);

void BM_BentBuildLevel0Optimize2(benchmark::State& state) {
  Env& env = E();
  for (auto _ : state) env.BuildLevel0(env.bent.get());
}
BENCHMARK(BM_BentBuildLevel0Optimize2)->Unit(benchmark::kMillisecond);

void BM_BentWriteColladaLevel0(benchmark::State& state) {
  Env& env = E();
  env.BuildLevel0(env.bent.get());
  for (auto _ : state)
    shape::WriteColladaFile(env.File("bent"), "", "", shape::MeshVertices, shape::MeshNormals,
                            shape::MeshTexCoords, shape::MeshFaces);
}
BENCHMARK(BM_BentWriteColladaLevel0)->Unit(benchmark::kMillisecond);

void BM_RawWriteColladaBytes(benchmark::State& state) {
  Env& env = E();
  for (auto _ : state) WriteRaw(env.File("raw.dae"), env.daeText);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * env.daeText.size()));
}
BENCHMARK(BM_RawWriteColladaBytes)->Unit(benchmark::kMillisecond);

// The document's numbers (the three sources and the index list) formatted with snprintf, the rest
// of its text copied.
void BM_SnprintfCollada(benchmark::State& state) {
  Env& env = E();
  env.BuildLevel0();
  std::vector<double> numbers;
  for (const auto& v : shape::MeshVertices)
    if (v.Used) numbers.insert(numbers.end(), v.P.v, v.P.v + 3);
  for (const auto& n : shape::MeshNormals)
    if (n.Used) numbers.insert(numbers.end(), n.N.v, n.N.v + 3);
  for (const auto& t : shape::MeshTexCoords)
    if (t.Used) numbers.insert(numbers.end(), {t.U, t.V});
  std::vector<int> indices;
  for (const auto& f : shape::MeshFaces)
    if (f.Used)
      for (int k = 0; k < 3; ++k)
        indices.insert(indices.end(), {shape::MeshVertices[f.VIdx[k]].OutIndex,
                                       shape::MeshNormals[f.NIdx[k]].OutIndex,
                                       shape::MeshTexCoords[f.TIdx[k]].OutIndex});
  const size_t fixedText = env.daeText.size() / 100;  // the document's lines around the numbers
  for (auto _ : state) {
    std::string out;
    out.reserve(env.daeText.size());
    out.append(env.daeText, 0, fixedText);
    char buf[64];
    for (double x : numbers) out.append(buf, static_cast<size_t>(std::snprintf(buf, sizeof buf, " %.5f", x)));
    for (int i : indices) out.append(buf, static_cast<size_t>(std::snprintf(buf, sizeof buf, " %d", i)));
    WriteRaw(env.File("snprintf.dae"), out);
  }
}
BENCHMARK(BM_SnprintfCollada)->Unit(benchmark::kMillisecond);

}  // namespace
