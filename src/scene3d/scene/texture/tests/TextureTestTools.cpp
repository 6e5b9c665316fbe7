#include "TextureTestTools.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace gl3d::test {

TempDir::TempDir() {
  std::random_device rd;
  path_ = std::filesystem::temp_directory_path() /
          ("zephor-texture-" + std::to_string(rd()) + std::to_string(rd()));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

bool RunCommand(const std::string& command) { return std::system((command + " 2>/dev/null").c_str()) == 0; }

bool RunPython(const std::string& script) {
  TempDir dir;
  const std::string path = dir.File("script.py");
  WriteFile(path, script);
  return RunCommand("/usr/bin/python3 '" + path + "' >/dev/null");
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

namespace {
bool ReadRaw(const std::string& path, int w, int h, Rgba& out) {
  const std::string bytes = ReadFile(path);
  if (bytes.size() != static_cast<size_t>(w) * h * 4) return false;
  out.Width = w;
  out.Height = h;
  out.Pixels.assign(bytes.begin(), bytes.end());
  return true;
}
}  // namespace

bool PillowDecodeAll(const std::vector<std::string>& paths) {
  std::ostringstream s;
  s << "from PIL import Image\n"
    << "for p in [";
  for (const std::string& p : paths) s << "'" << p << "', ";
  s << "]:\n"
    << "    im = Image.open(p).convert('RGBA')\n"
    << "    open(p + '.size', 'w').write('%d %d' % im.size)\n"
    << "    open(p + '.rgba', 'wb').write(im.tobytes())\n";
  return RunPython(s.str());
}

bool LoadDecoded(const std::string& path, Rgba& out) {
  std::ifstream size(path + ".size");
  int w = 0, h = 0;
  return static_cast<bool>(size >> w >> h) && ReadRaw(path + ".rgba", w, h, out);
}

bool PillowDecode(const std::string& path, Rgba& out) {
  return PillowDecodeAll({path}) && LoadDecoded(path, out);
}

bool MagickDecode(const std::string& path, Rgba& out) {
  if (!RunCommand("/usr/bin/identify -format '%w %h' '" + path + "' > '" + path + ".size'")) return false;
  std::ifstream size(path + ".size");
  int w = 0, h = 0;
  if (!(size >> w >> h)) return false;
  return RunCommand("/usr/bin/convert '" + path + "' -depth 8 rgba:'" + path + ".rgba'") &&
         ReadRaw(path + ".rgba", w, h, out);
}

const char* const kPyTestPixel =
    "def px(x, y):\n"
    "    return ((x*19+y*7)%256, (x*3+y*31)%256, (x*y*5+11)%256, (x*37+y*11)%256)\n";

}  // namespace gl3d::test
