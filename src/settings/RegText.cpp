#include "settings/RegText.h"

namespace settings {

namespace {

constexpr std::string_view kRoot = "HKEY_CURRENT_USER";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char FoldChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithFolded(std::string_view s, std::string_view lowerPrefix) {
  if (s.size() < lowerPrefix.size()) return false;
  for (size_t i = 0; i < lowerPrefix.size(); ++i)
    if (FoldChar(s[i]) != lowerPrefix[i]) return false;
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The lines of the text, each without its line end; `terminated` tells whether it had one.
class TLineReader {
 public:
  explicit TLineReader(std::string_view text) : text_(text) {}
  bool Next(std::string_view& line, bool& terminated) {
    if (pos_ >= text_.size()) return false;
    size_t nl = text_.find('\n', pos_);
    if (nl == std::string_view::npos) {
      line = text_.substr(pos_);
      terminated = false;
      pos_ = text_.size();
    } else {
      line = text_.substr(pos_, nl - pos_);
      terminated = true;
      pos_ = nl + 1;
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return true;
  }
  bool Peek(std::string_view& line, bool& terminated) const {
    TLineReader copy = *this;
    return copy.Next(line, terminated);
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

// A quoted name or string starting at s[i] == '"'; \\ and \" are the escapes, any other
// backslash stands for itself. Leaves i after the closing quote.
bool ParseQuoted(std::string_view s, size_t& i, std::string& out) {
  if (i >= s.size() || s[i] != '"') return false;
  ++i;
  out.clear();
  while (i < s.size()) {
    char c = s[i];
    if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
      out.push_back(s[i + 1]);
      i += 2;
    } else if (c == '"') {
      ++i;
      return true;
    } else {
      out.push_back(c);
      ++i;
    }
  }
  return false;
}

// A header "[HKEY_CURRENT_USER\...]"; false for anything else, including deletions ("[-...]")
// and other roots.
bool ParseHeader(std::string_view line, std::string& path) {
  if (line.size() < 2 || line.front() != '[' || line.back() != ']') return false;
  std::string_view inner = line.substr(1, line.size() - 2);
  size_t sep = inner.find('\\');
  std::string_view root = inner.substr(0, sep);
  if (root.size() != kRoot.size() || FoldCase(root) != FoldCase(kRoot)) return false;
  path = NormalizeKeyPath(sep == std::string_view::npos ? std::string_view() : inner.substr(sep + 1));
  return true;
}

// One line's part of a comma-separated byte list. `continued`: another line follows, so a
// trailing comma is expected.
bool ParseHexList(std::string_view d, std::string& bytes, bool continued) {
  d = TrimBlanks(d);
  if (d.empty()) return true;
  size_t start = 0;
  while (true) {
    size_t comma = d.find(',', start);
    std::string_view item =
        TrimBlanks(d.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    bool last = comma == std::string_view::npos;
    if (item.empty()) {
      if (!(last && continued)) return false;
    } else {
      if (item.size() != 2) return false;
      int hi = HexDigit(item[0]), lo = HexDigit(item[1]);
      if (hi < 0 || lo < 0) return false;
      bytes.push_back(static_cast<char>(hi * 16 + lo));
    }
    if (last) return true;
    start = comma + 1;
  }
}

bool ParseDword(std::string_view d, uint32_t& out) {
  d = TrimBlanks(d);
  if (d.size() != 8) return false;
  uint32_t v = 0;
  for (char c : d) {
    int h = HexDigit(c);
    if (h < 0) return false;
    v = v * 16 + static_cast<uint32_t>(h);
  }
  out = v;
  return true;
}

// Everything after "=" of a value line. Binary data may continue on following lines that
// start with a blank, each line before them ending in a backslash.
bool ParseData(std::string_view data, bool terminated, TLineReader& reader, TRegValue& value) {
  data = TrimBlanks(data);
  if (!data.empty() && data.front() == '"') {
    size_t i = 0;
    std::string text;
    if (!ParseQuoted(data, i, text) || i != data.size()) return false;
    value = TRegValue::FromString(text);
    return true;
  }
  if (StartsWithFolded(data, "dword:")) {
    uint32_t v;
    if (!ParseDword(data.substr(6), v)) return false;
    value = TRegValue::FromInteger(v);
    return true;
  }
  bool isText = false;
  if (StartsWithFolded(data, "hex:")) {
    data.remove_prefix(4);
  } else if (StartsWithFolded(data, "hex(1):")) {
    data.remove_prefix(7);
    isText = true;
  } else {
    return false;
  }
  std::string bytes;
  bool ok = true;
  while (true) {
    data = TrimBlanks(data);
    bool continued = !data.empty() && data.back() == '\\';
    if (continued) data.remove_suffix(1);
    if (!ParseHexList(data, bytes, continued)) ok = false;
    if (!continued) break;
    std::string_view next;
    bool nextTerminated;
    if (!reader.Peek(next, nextTerminated) || next.empty() || !IsBlank(next.front())) return false;
    reader.Next(next, nextTerminated);
    data = next;
    terminated = nextTerminated;
  }
  // A cut file may end right before a comma of the list: without its line end the last line
  // cannot be trusted to be whole.
  if (!ok || !terminated) return false;
  if (isText) {
    if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
    value = TRegValue::FromString(bytes);
  } else {
    value = TRegValue::FromBinary(bytes);
  }
  return true;
}

bool NeedsHexText(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

void AppendQuoted(std::string& out, std::string_view text) {
  out.push_back('"');
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
}

void AppendHexList(std::string& out, std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i) out.push_back(',');
    auto b = static_cast<unsigned char>(bytes[i]);
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
}

}  // namespace

TRegValue TRegValue::FromString(std::string_view text) {
  TRegValue v;
  v.Type = TRegDataType::rdString;
  v.Data = text;
  return v;
}

TRegValue TRegValue::FromInteger(uint32_t value) {
  TRegValue v;
  v.Type = TRegDataType::rdInteger;
  v.Integer = value;
  return v;
}

TRegValue TRegValue::FromBinary(std::string_view bytes) {
  TRegValue v;
  v.Type = TRegDataType::rdBinary;
  v.Data = bytes;
  return v;
}

std::string FoldCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = FoldChar(c);
  return out;
}

std::string NormalizeKeyPath(std::string_view path) {
  std::string out;
  size_t start = 0;
  while (start <= path.size()) {
    size_t sep = path.find('\\', start);
    if (sep == std::string_view::npos) sep = path.size();
    if (sep > start) {
      if (!out.empty()) out.push_back('\\');
      out.append(path.substr(start, sep - start));
    }
    start = sep + 1;
  }
  return out;
}

void TRegTree::Clear() {
  keys_.clear();
  keyIndex_.clear();
  valueIndex_.clear();
}

const TRegTree::TKey* TRegTree::FindKey(std::string_view path) const {
  auto it = keyIndex_.find(FoldCase(NormalizeKeyPath(path)));
  return it == keyIndex_.end() ? nullptr : &keys_[it->second];
}

const TRegValue* TRegTree::FindValue(std::string_view path, std::string_view name) const {
  auto it = keyIndex_.find(FoldCase(NormalizeKeyPath(path)));
  if (it == keyIndex_.end()) return nullptr;
  const auto& index = valueIndex_[it->second];
  auto v = index.find(FoldCase(name));
  return v == index.end() ? nullptr : &keys_[it->second].Values[v->second].Value;
}

size_t TRegTree::KeyIndex(const std::string& normalizedPath) {
  auto [it, added] = keyIndex_.try_emplace(FoldCase(normalizedPath), keys_.size());
  if (added) {
    keys_.push_back(TKey{normalizedPath, {}});
    valueIndex_.emplace_back();
  }
  return it->second;
}

void TRegTree::CreateKey(std::string_view path) { KeyIndex(NormalizeKeyPath(path)); }

void TRegTree::SetValue(std::string_view path, std::string_view name, const TRegValue& value) {
  size_t k = KeyIndex(NormalizeKeyPath(path));
  auto [it, added] = valueIndex_[k].try_emplace(FoldCase(name), keys_[k].Values.size());
  if (added)
    keys_[k].Values.push_back(TRegEntry{std::string(name), value});
  else
    keys_[k].Values[it->second].Value = value;
}

void TRegTree::Merge(const TRegTree& changes) {
  for (const TKey& key : changes.keys_) {
    CreateKey(key.Path);
    for (const TRegEntry& e : key.Values) SetValue(key.Path, e.Name, e.Value);
  }
}

TRegTree ParseRegText(std::string_view text) {
  TRegTree tree;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  TLineReader reader(text);
  std::string_view line;
  bool terminated;
  bool inKey = false;
  std::string keyPath, name;
  while (reader.Next(line, terminated)) {
    std::string_view t = TrimBlanks(line);
    if (t.empty()) continue;
    if (t.front() == '[') {
      inKey = ParseHeader(t, keyPath);
      if (inKey) tree.CreateKey(keyPath);
      continue;
    }
    if (!inKey || (t.front() != '"' && t.front() != '@')) continue;  // comments, garbage
    size_t i = 0;
    if (t.front() == '@') {
      name.clear();
      i = 1;
    } else if (!ParseQuoted(t, i, name)) {
      continue;
    }
    while (i < t.size() && IsBlank(t[i])) ++i;
    if (i >= t.size() || t[i] != '=') continue;
    TRegValue value;
    if (ParseData(t.substr(i + 1), terminated, reader, value)) tree.SetValue(keyPath, name, value);
  }
  return tree;
}

std::string FormatRegText(const TRegTree& tree) {
  std::string out = "REGEDIT4\n";
  for (const TRegTree::TKey& key : tree.Keys()) {
    out += "\n[";
    out += kRoot;
    if (!key.Path.empty()) {
      out += '\\';
      out += key.Path;
    }
    out += "]\n";
    for (const TRegEntry& e : key.Values) {
      if (e.Name.empty())
        out += '@';
      else
        AppendQuoted(out, e.Name);
      out += '=';
      const TRegValue& v = e.Value;
      switch (v.Type) {
        case TRegDataType::rdString:
          if (NeedsHexText(v.Data)) {
            // Line ends would break the line structure: such text is kept as its bytes.
            out += "hex(1):";
            AppendHexList(out, v.Data);
            out += v.Data.empty() ? "00" : ",00";
          } else {
            AppendQuoted(out, v.Data);
          }
          break;
        case TRegDataType::rdInteger: {
          static const char kDigits[] = "0123456789abcdef";
          out += "dword:";
          for (int shift = 28; shift >= 0; shift -= 4) out += kDigits[(v.Integer >> shift) & 15];
          break;
        }
        case TRegDataType::rdBinary:
        case TRegDataType::rdUnknown:
          out += "hex:";
          AppendHexList(out, v.Data);
          break;
      }
      out += '\n';
    }
  }
  out += '\n';
  return out;
}

}  // namespace settings
