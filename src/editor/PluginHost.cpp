#include "editor/PluginHost.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <system_error>

namespace editor {

namespace {

constexpr char16_t kPluginKeyBase[] = u"\\Software\\DURIM PROJECT\\ZEPHOR6\\";

// A name longer than this is cut: the text is only a menu caption, and a library that
// returns an unterminated buffer must not send the copy on through its memory.
constexpr size_t kMaxPluginNameLength = 1024;

std::u16string CopyName(const char16_t* text) {
  std::u16string name;
  while (name.size() < kMaxPluginNameLength && text[name.size()] != 0) name.push_back(text[name.size()]);
  return name;
}

bool EndsWithExtension(const std::string& name) {
  const size_t n = std::strlen(shape::kPluginFileExtension);
  return name.size() >= n && name.compare(name.size() - n, n, shape::kPluginFileExtension) == 0;
}

// Loads one library and binds its entry points; false (and nothing kept) when it is no plug-in.
bool LoadOne(const std::filesystem::path& file, TPluginModule& out) {
  void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    ::dlerror();
    return false;
  }
  auto nameFunc = reinterpret_cast<TPluginNameZP6>(::dlsym(handle, shape::kPluginNameSymbol));
  const char16_t* text = nullptr;
  if (nameFunc) {
    try {
      text = nameFunc();
    } catch (...) {
      text = nullptr;
    }
  }
  if (!text) {
    ::dlclose(handle);
    return false;
  }
  out.Handle = handle;
  out.FileName = file.filename().string();
  out.Name = CopyName(text);
  out.Exec = reinterpret_cast<TPluginExecZP6>(::dlsym(handle, shape::kPluginExecSymbol));
  return true;
}

}  // namespace

std::filesystem::path ProgramFolder() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : exe.parent_path();
}

std::u16string PluginKeyPath(const TPluginModule& plugin) {
  std::u16string key = plugin.Name;
  if (key.empty()) {
    const std::string stem = std::filesystem::path(plugin.FileName).stem().string();
    key.assign(stem.begin(), stem.end());  // file names of plug-ins are taken byte by byte
  }
  for (char16_t& c : key)
    if (c == u'\\' || c < 0x20 || c == 0x7F) c = u'_';
  return kPluginKeyBase + key;
}

bool ValidPluginShape(const shape::TCS& cs) {
  uint8_t type;
  std::memcpy(&type, &cs.ScType, 1);
  return type <= shape::SCTYPE_CYLINDER && cs.CPMaxI >= 2 && cs.CPMaxI <= shape::kGridMax && cs.CPMaxJ >= 2 &&
         cs.CPMaxJ <= shape::kGridMax;
}

TPluginHost::~TPluginHost() { UnloadPlugins(); }

int TPluginHost::LoadPlugins(const std::filesystem::path& folder) {
  std::error_code ec;
  const std::filesystem::path dir = std::filesystem::absolute(folder, ec);
  if (ec) return Count();
  std::vector<std::string> names;
  for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code typeError;
    if (EndsWithExtension(name) && it->is_regular_file(typeError)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    TPluginModule plugin;
    if (LoadOne(dir / name, plugin)) plugins_.push_back(std::move(plugin));
  }
  return Count();
}

int TPluginHost::LoadPlugins() {
  const std::filesystem::path folder = ProgramFolder();
  return folder.empty() ? Count() : LoadPlugins(folder);
}

bool TPluginHost::RunPlugin(int index, void* owner, shape::TCS& cs) const {
  if (index < 0 || index >= Count()) return false;
  const TPluginModule& plugin = plugins_[static_cast<size_t>(index)];
  if (!plugin.Exec) return false;
  // The plug-in writes into the live record; keep it as it was so that a plug-in that
  // fails in any way cannot leave a broken or half-written shape behind.
  const auto before = std::make_unique<shape::TCS>(cs);
  const std::u16string keyPath = PluginKeyPath(plugin);
  const char16_t* keyText = keyPath.c_str();
  bool changed = false;
  try {
    changed = plugin.Exec(owner, &keyText, &cs) != 0;
  } catch (...) {
    changed = false;
  }
  if (changed && ValidPluginShape(cs)) return true;
  std::memcpy(static_cast<void*>(&cs), before.get(), sizeof(shape::TCS));
  return false;
}

void TPluginHost::UnloadPlugins() {
  for (TPluginModule& plugin : plugins_) ::dlclose(plugin.Handle);
  plugins_.clear();
}

}  // namespace editor
