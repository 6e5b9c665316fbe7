#include "TestTools.h"

#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>

namespace rv::test {

TempDir::TempDir() {
  std::random_device rd;
  path_ = std::filesystem::temp_directory_path() / ("zephor-codecs-" + std::to_string(rd()) + std::to_string(rd()));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

bool RunCommand(const std::string& command) { return std::system(command.c_str()) == 0; }

bool HavePillow() {
  static const bool have = RunCommand("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1");
  return have;
}

bool HaveMagick() {
  static const bool have = std::filesystem::exists("/usr/bin/convert") && std::filesystem::exists("/usr/bin/identify");
  return have;
}

bool RunPython(const std::string& script) {
  TempDir dir;
  const std::string path = dir.File("script.py");
  std::ofstream(path) << script;
  return RunCommand("/usr/bin/python3 " + path + " >/dev/null 2>&1");
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& data) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

std::unique_ptr<TMemoryStream> StreamOf(const std::vector<uint8_t>& data) {
  auto s = std::make_unique<TMemoryStream>();
  if (!data.empty()) s->Write(data.data(), static_cast<int64_t>(data.size()));
  s->SetPosition(0);
  return s;
}

std::vector<uint8_t> BytesOf(TMemoryStream& stream) { return stream.Data(); }

void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& from) {
  if (from.empty()) return;
  const size_t at = to.size();
  to.resize(at + from.size());
  std::memcpy(to.data() + at, from.data(), from.size());
}

const char* const kPyTestPixel =
    "def px(x, y):\n"
    "    return ((x*19+y*7)%256, (x*3+y*31)%256, (x*y*5+11)%256, (x*37+y*11)%256)\n";
const char* const kPyFewColorPixel =
    "def px(x, y):\n"
    "    k = (x//2+y)%16\n"
    "    return (k*16, 255-k*16, (k*40)%256, 255 if k < 8 else 0)\n";

void FillTestBitmap(TRVBitmap& bitmap, int w, int h, bool few) {
  ASSERT_TRUE(bitmap.Allocate(w, h, rv24RGB));
  for (int y = 0; y < h; ++y) {
    uint8_t* row = bitmap.GetScanLine(y);
    for (int x = 0; x < w; ++x) {
      const Rgba p = few ? FewColorPixel(x, y) : TestPixel(x, y);
      row[3 * x] = p.b;
      row[3 * x + 1] = p.g;
      row[3 * x + 2] = p.r;
    }
  }
}

std::unique_ptr<TRVMask> TestAlphaMask(int w, int h, bool few) {
  auto m = std::make_unique<TRVMask>();
  m->AllocateBits(w, h, 8);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) m->GetScanLine(y)[x] = few ? FewColorPixel(x, y).a : TestPixel(x, y).a;
  m->RecomputeBounds();
  m->CheckFull();
  return m;
}

Rgba PixelOf(TRVBitmap& bitmap, int x, int y) {
  const TRGB c = bitmap.GetPixels(x, y);
  return Rgba{c.r, c.g, c.b, 255};
}

namespace {
bool ReadDecoded(const std::string& out, int& w, int& h, std::vector<uint8_t>& rgba) {
  std::ifstream f(out, std::ios::binary);
  if (!(f >> w >> h)) return false;
  f.get();
  rgba.assign(static_cast<size_t>(w) * h * 4, 0);
  f.read(reinterpret_cast<char*>(rgba.data()), static_cast<std::streamsize>(rgba.size()));
  return static_cast<size_t>(f.gcount()) == rgba.size();
}
}  // namespace

bool PillowDecodeAll(const std::vector<std::string>& paths, const std::string& mode) {
  std::ostringstream s;
  s << "from PIL import Image\n"
    << "for p in [";
  for (const auto& p : paths) s << "'" << p << "',";
  s << "]:\n"
    << "    im = Image.open(p)\n"
    << "    im.load()\n"
    << "    im = im.convert('" << mode << "').convert('RGBA')\n"
    << "    f = open(p + '.decoded', 'wb')\n"
    << "    f.write(('%d %d\\n' % im.size).encode())\n"
    << "    f.write(im.tobytes())\n"
    << "    f.close()\n";
  return RunPython(s.str());
}

bool LoadDecoded(const std::string& path, int& w, int& h, std::vector<uint8_t>& rgba) {
  return ReadDecoded(path + ".decoded", w, h, rgba);
}

bool PillowDecode(const std::string& path, int& w, int& h, std::vector<uint8_t>& rgba, const std::string& mode) {
  return PillowDecodeAll({path}, mode) && LoadDecoded(path, w, h, rgba);
}

bool MagickDecode(const std::string& path, int& w, int& h, std::vector<uint8_t>& rgba) {
  const std::string out = path + ".rgba";
  if (!RunCommand("/usr/bin/identify -format '%w %h' '" + path + "' > '" + out + ".size' 2>/dev/null")) return false;
  std::ifstream sz(out + ".size");
  if (!(sz >> w >> h)) return false;
  if (!RunCommand("/usr/bin/convert '" + path + "' -depth 8 rgba:'" + out + "' 2>/dev/null")) return false;
  rgba = ReadFileBytes(out);
  return rgba.size() == static_cast<size_t>(w) * h * 4;
}

void ExpectPicture(TRVBitmap& b, int w, int h, bool few, const char* what) {
  ASSERT_EQ(b.GetWidth(), w) << what;
  ASSERT_EQ(b.GetHeight(), h) << what;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Rgba e = few ? FewColorPixel(x, y) : TestPixel(x, y);
      const Rgba a = PixelOf(b, x, y);
      ASSERT_TRUE(a.r == e.r && a.g == e.g && a.b == e.b) << what << " at " << x << "," << y;
    }
}

void ForEachToolDecoding(const std::vector<std::string>& paths, bool pil, bool magick, int w, int h,
                         const std::function<void(size_t i, int tool, const std::vector<uint8_t>& rgba)>& check) {
  if (pil) {
    ASSERT_TRUE(PillowDecodeAll(paths));
  }
  for (size_t i = 0; i < paths.size(); ++i) {
    for (int tool = 0; tool < 2; ++tool) {
      if ((tool == 0 && !pil) || (tool == 1 && !magick)) continue;
      int dw = 0, dh = 0;
      std::vector<uint8_t> got;
      ASSERT_TRUE(tool == 0 ? LoadDecoded(paths[i], dw, dh, got) : MagickDecode(paths[i], dw, dh, got))
          << paths[i] << " tool " << tool;
      ASSERT_EQ(dw, w) << paths[i];
      ASSERT_EQ(dh, h) << paths[i];
      check(i, tool, got);
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
}

}  // namespace rv::test
