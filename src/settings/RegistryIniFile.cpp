#include "settings/RegistryIniFile.h"

#include <bit>
#include <cstdio>

#include "common/NumberText.h"

namespace settings {

TRegistryIniFile::TRegistryIniFile(std::string_view keyPath, std::string fileName)
    : keyPath_(NormalizeKeyPath(keyPath)), store_(std::move(fileName)) {}

TRegistryIniFile::~TRegistryIniFile() {
  if (flushFailed_ || !store_.Modified()) return;
  try {
    store_.Flush();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  }
}

std::string TRegistryIniFile::SectionKey(std::string_view section) const {
  std::string key = keyPath_;
  if (!section.empty()) {
    key += '\\';
    key += section;
  }
  return NormalizeKeyPath(key);
}

bool TRegistryIniFile::SectionExists(std::string_view section) const {
  return store_.KeyExists(SectionKey(section));
}

bool TRegistryIniFile::ValueExists(std::string_view section, std::string_view ident) const {
  return store_.ValueExists(SectionKey(section), ident);
}

std::vector<std::string> TRegistryIniFile::ReadSection(std::string_view section) const {
  return store_.GetValueNames(SectionKey(section));
}

std::string TRegistryIniFile::ReadString(std::string_view section, std::string_view ident,
                                         std::string_view def) const {
  const TRegValue* v = store_.GetValue(SectionKey(section), ident);
  if (v && v->Type == TRegDataType::rdString) return v->Data;
  if (v && v->Type == TRegDataType::rdInteger) return common::IntToStr(static_cast<int32_t>(v->Integer));
  return std::string(def);
}

int32_t TRegistryIniFile::ReadInteger(std::string_view section, std::string_view ident, int32_t def) const {
  const TRegValue* v = store_.GetValue(SectionKey(section), ident);
  if (v && v->Type == TRegDataType::rdInteger) return static_cast<int32_t>(v->Integer);
  if (v && v->Type == TRegDataType::rdString) return common::StrToIntDef(v->Data, def);
  return def;
}

bool TRegistryIniFile::ReadBool(std::string_view section, std::string_view ident, bool def) const {
  return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

double TRegistryIniFile::ReadFloat(std::string_view section, std::string_view ident, double def) const {
  const TRegValue* v = store_.GetValue(SectionKey(section), ident);
  if (!v) return def;
  switch (v->Type) {
    case TRegDataType::rdBinary: {
      if (v->Data.size() != 8) return def;
      uint64_t bits = 0;
      for (int i = 7; i >= 0; --i) bits = (bits << 8) | static_cast<unsigned char>(v->Data[i]);
      return std::bit_cast<double>(bits);
    }
    case TRegDataType::rdString:
      return common::StrToFloatDef(v->Data, def);
    case TRegDataType::rdInteger:
      return static_cast<int32_t>(v->Integer);
    case TRegDataType::rdUnknown:
      break;
  }
  return def;
}

void TRegistryIniFile::WriteString(std::string_view section, std::string_view ident, std::string_view value) {
  store_.WriteString(SectionKey(section), ident, value);
}

void TRegistryIniFile::WriteInteger(std::string_view section, std::string_view ident, int32_t value) {
  store_.WriteInteger(SectionKey(section), ident, static_cast<uint32_t>(value));
}

void TRegistryIniFile::WriteBool(std::string_view section, std::string_view ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

void TRegistryIniFile::WriteFloat(std::string_view section, std::string_view ident, double value) {
  uint64_t bits = std::bit_cast<uint64_t>(value);
  char bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
  store_.WriteBinary(SectionKey(section), ident, std::string_view(bytes, 8));
}

void TRegistryIniFile::UpdateFile() {
  try {
    store_.Flush();
    flushFailed_ = false;
  } catch (...) {
    flushFailed_ = true;
    throw;
  }
}

}  // namespace settings
