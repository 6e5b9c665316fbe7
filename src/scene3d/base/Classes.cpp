#include "scene3d/base/Classes.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include "common/CodePage.h"

namespace gl3d {

static_assert(std::endian::native == std::endian::little, "archives are little-endian and copied raw");

namespace {

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

[[noreturn]] void StreamReadError() { throw EReadError("Stream read error"); }

// A 32-bit length that must fit in the bytes that remain (unitSize bytes per unit).
int64_t ReadCheckedLength(TStream& stream, int64_t unitSize) {
  uint32_t n = 0;
  stream.ReadBuffer(&n, 4);
  if (static_cast<int64_t>(n) * unitSize > stream.Remaining()) StreamReadError();
  return n;
}

std::string ReadBytes(TStream& stream, int64_t n) {
  std::string s(static_cast<size_t>(n), '\0');
  if (n > 0) stream.ReadBuffer(s.data(), n);
  return s;
}

}  // namespace

// ---- TPersistent ----

void TPersistent::Assign(const TPersistent* source) {
  if (source)
    source->AssignTo(this);
  else
    AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* dest) const { dest->AssignError(this); }

void TPersistent::AssignError(const TPersistent* source) const {
  throw EConvertError(std::string("Cannot assign a ") + (source ? source->ClassName() : "nil") + " to a " +
                      ClassName());
}

std::string TPersistent::GetNamePath() const {
  std::string result = ClassName();
  if (TPersistent* owner = GetOwner()) {
    const std::string s = owner->GetNamePath();
    if (!s.empty()) result = s + "." + result;
  }
  return result;
}

void TPersistent::DefineStoredProperties(TFiler&) {}

// ---- TComponent ----

TComponent::TComponent(TComponent* owner) : owner_(nullptr) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  RemoveFreeNotifications();
  while (!components_.empty()) {
    TComponent* c = components_.back();
    components_.pop_back();
    c->owner_ = nullptr;
    delete c;
  }
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::InsertComponent(TComponent* component) {
  if (!component || component->owner_ == this) return;
  if (component->owner_) component->owner_->RemoveComponent(component);
  components_.push_back(component);
  component->owner_ = this;
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  if (!component || component->owner_ != this) return;
  auto it = std::find(components_.begin(), components_.end(), component);
  if (it != components_.end()) components_.erase(it);
  component->owner_ = nullptr;
  Notification(component, opRemove);
}

void TComponent::SetReading(bool reading) {
  if (reading)
    state_ |= ComponentStateBit(csReading);
  else
    state_ &= static_cast<TComponentState>(~ComponentStateBit(csReading));
}

void TComponent::Loaded() { state_ &= static_cast<TComponentState>(~ComponentStateBit(csLoading)); }

void TComponent::Destroying() {
  if (IsDestroying()) return;
  state_ |= ComponentStateBit(csDestroying);
  for (TComponent* c : components_) c->Destroying();
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end())
    freeNotifies_.push_back(component);
  auto& theirs = component->freeNotifies_;
  if (std::find(theirs.begin(), theirs.end(), this) == theirs.end()) theirs.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (!component) return;
  std::erase(freeNotifies_, component);
  std::erase(component->freeNotifies_, this);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove && component) std::erase(freeNotifies_, component);
}

void TComponent::RemoveFreeNotifications() {
  while (!freeNotifies_.empty()) {
    TComponent* other = freeNotifies_.back();
    freeNotifies_.pop_back();
    std::erase(other->freeNotifies_, this);
    other->Notification(this, opRemove);
  }
}

void TComponent::ReadState(TReader& reader) {
  SetReading(true);
  try {
    reader.ReadDefinedProperties(*this);
  } catch (...) {
    SetReading(false);
    throw;
  }
  SetReading(false);
}

// ---- Class registry ----

void RegisterClass(const std::string& name, TPersistentClassRegistry::Factory factory) {
  TPersistentClassRegistry::Instance().Register(name, std::move(factory));
}

void UnRegisterClass(const std::string& name) { TPersistentClassRegistry::Instance().Unregister(name); }

std::unique_ptr<TPersistent> TryCreateRegisteredClass(const std::string& name) {
  return TPersistentClassRegistry::Instance().TryCreate(name);
}

std::unique_ptr<TPersistent> CreateRegisteredClass(const std::string& name) {
  return TPersistentClassRegistry::Instance().Create(name);
}

bool IsClassRegistered(const std::string& name) {
  return TPersistentClassRegistry::Instance().IsRegistered(name);
}

// ---- Streams ----

int64_t TStream::Size() {
  const int64_t pos = Seek(0, soCurrent);
  const int64_t end = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return end;
}

int64_t TStream::Remaining() {
  const int64_t r = Size() - Position();
  return r > 0 ? r : 0;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count < 0 || (count > 0 && Read(buffer, count) != count)) StreamReadError();
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count < 0 || (count > 0 && Write(buffer, count) != count)) throw EWriteError("Stream write error");
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t size = Size();
  if (count <= 0 || position_ >= size) return 0;
  const int64_t n = std::min(count, size - position_);
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const int64_t end = position_ + count;
  if (end > Size()) data_.resize(static_cast<size_t>(end));
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t p = origin == soBeginning ? offset : (origin == soCurrent ? position_ + offset : Size() + offset);
  position_ = p < 0 ? 0 : p;
  return position_;
}

TFileStream::TFileStream(const std::string& fileName, uint16_t mode) : fileName_(fileName) {
  if (mode == fmCreate || (mode & 0xFF00) == 0xFF00) {
    file_ = std::fopen(fileName.c_str(), "w+b");
    if (!file_) throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(errno));
  } else {
    file_ = std::fopen(fileName.c_str(), (mode & 3) == fmOpenRead ? "rb" : "r+b");
    if (!file_) throw EFOpenError("Cannot open file \"" + fileName + "\". " + std::strerror(errno));
  }
}

TFileStream::~TFileStream() {
  if (file_) std::fclose(file_);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  return static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(count), file_));
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  return static_cast<int64_t>(std::fwrite(buffer, 1, static_cast<size_t>(count), file_));
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int whence = origin == soBeginning ? SEEK_SET : (origin == soCurrent ? SEEK_CUR : SEEK_END);
  if (fseeko(file_, offset, whence) != 0) return -1;
  return ftello(file_);
}

// ---- Tagged values ----

void WriteTaggedInteger(TStream& stream, int32_t value) {
  uint8_t buf[5];
  size_t n;
  if (value >= -128 && value <= 127) {
    buf[0] = vaInt8;
    const int8_t v = static_cast<int8_t>(value);
    std::memcpy(buf + 1, &v, 1);
    n = 2;
  } else if (value >= -32768 && value <= 32767) {
    buf[0] = vaInt16;
    const int16_t v = static_cast<int16_t>(value);
    std::memcpy(buf + 1, &v, 2);
    n = 3;
  } else {
    buf[0] = vaInt32;
    std::memcpy(buf + 1, &value, 4);
    n = 5;
  }
  stream.WriteBuffer(buf, static_cast<int64_t>(n));
}

// The reference conversion from UTF-8 to UTF-16 that old writers and readers agree on: the
// number of trailing bytes comes from the lead byte alone, trailing bytes are not checked for
// their 10xxxxxx pattern and overlong forms are accepted. A sequence cut off by the end of the
// text and any value above U+10FFFF become U+FFFD.
std::u16string DecodeArchiveUtf8(std::string_view bytes) {
  static constexpr uint32_t kOffsets[6] = {0x00000000u, 0x00003080u, 0x000E2080u,
                                           0x03C82080u, 0xFA082080u, 0x82082080u};
  std::u16string out;
  out.reserve(bytes.size());
  size_t i = 0;
  const size_t n = bytes.size();
  while (i < n) {
    const uint8_t lead = static_cast<uint8_t>(bytes[i]);
    const int extra = lead < 0xC0   ? 0
                      : lead < 0xE0 ? 1
                      : lead < 0xF0 ? 2
                      : lead < 0xF8 ? 3
                      : lead < 0xFC ? 4
                                    : 5;
    if (i + static_cast<size_t>(extra) >= n) {
      out.push_back(u'\uFFFD');
      break;
    }
    uint32_t ch = 0;  // wraps exactly as the 32-bit reference does
    for (int k = 0; k <= extra; ++k) {
      ch += static_cast<uint8_t>(bytes[i++]);
      if (k < extra) ch <<= 6;
    }
    ch -= kOffsets[extra];
    if (ch <= 0xFFFF) {
      out.push_back(static_cast<char16_t>(ch));
    } else if (ch > 0x10FFFF) {
      out.push_back(u'\uFFFD');
    } else {
      ch -= 0x10000;
      out.push_back(static_cast<char16_t>((ch >> 10) + 0xD800));
      out.push_back(static_cast<char16_t>((ch & 0x3FF) + 0xDC00));
    }
  }
  return out;
}

std::string ReadTaggedStringBody(TStream& stream, uint8_t tag) {
  switch (tag) {
    case vaString: {
      uint8_t n = 0;
      stream.ReadBuffer(&n, 1);
      if (n > stream.Remaining()) StreamReadError();
      return common::Cp1252ToUtf8(ReadBytes(stream, n));
    }
    case vaLString:
      return common::Cp1252ToUtf8(ReadBytes(stream, ReadCheckedLength(stream, 1)));
    case vaWString: {
      const int64_t n = ReadCheckedLength(stream, 2);
      std::u16string s(static_cast<size_t>(n), u'\0');
      if (n > 0) stream.ReadBuffer(s.data(), n * 2);
      return common::Utf16ToUtf8(s);
    }
    case vaUTF8String:
      return common::Utf16ToUtf8(DecodeArchiveUtf8(ReadBytes(stream, ReadCheckedLength(stream, 1))));
    default:
      throw EReadError("Invalid string value");
  }
}

// ---- TWriter ----

void TWriter::WriteValue(TValueType value) {
  const uint8_t b = value;
  stream_.WriteBuffer(&b, 1);
}

void TWriter::WriteString(const std::string& value) {
  const std::u16string wide = common::Utf8ToUtf16(value);
  const std::string utf8 = common::Utf16ToUtf8(wide);
  if (utf8.size() < 2 * wide.size()) {
    const bool high = std::any_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) != 0; });
    const uint32_t n = static_cast<uint32_t>(utf8.size());
    if (high) {
      WriteValue(vaUTF8String);
      Write(&n, 4);
    } else if (n > 255) {
      WriteValue(vaLString);
      Write(&n, 4);
    } else {
      WriteValue(vaString);
      const uint8_t b = static_cast<uint8_t>(n);
      Write(&b, 1);
    }
    Write(utf8.data(), n);
  } else {
    WriteValue(vaWString);
    const uint32_t n = static_cast<uint32_t>(wide.size());
    Write(&n, 4);
    Write(wide.data(), static_cast<int64_t>(n) * 2);
  }
}

void TWriter::WritePropName(const std::string& name) {
  const std::string bytes = common::Utf8ToCp1252(name);
  const uint8_t n = static_cast<uint8_t>(std::min<size_t>(bytes.size(), 255));
  Write(&n, 1);
  Write(bytes.data(), n);
}

void TWriter::WriteDefinedProperties(TPersistent& object) {
  object.DefineStoredProperties(*this);
  WriteListEnd();
}

void TWriter::DefineProperty(const std::string& name, TReaderProc, TWriterProc writeData, bool hasData) {
  if (!hasData || !writeData) return;
  WritePropName(name);
  writeData(*this);
}

void TWriter::DefineBinaryProperty(const std::string& name, TStreamProc, TStreamProc writeData,
                                   bool hasData) {
  if (!hasData || !writeData) return;
  WritePropName(name);
  WriteValue(vaBinary);
  TMemoryStream data;
  writeData(data);
  const uint32_t n = static_cast<uint32_t>(data.Size());
  Write(&n, 4);
  Write(data.DataString().data(), n);
}

// ---- TReader ----

void TReader::PropValueError() { throw EReadError("Invalid property value"); }

TValueType TReader::ReadValue() {
  uint8_t b = 0;
  stream_.ReadBuffer(&b, 1);
  return static_cast<TValueType>(b);
}

TValueType TReader::NextValue() {
  const TValueType v = ReadValue();
  stream_.Seek(-1, soCurrent);
  return v;
}

int32_t TReader::ReadInteger() {
  switch (ReadValue()) {
    case vaInt8: {
      int8_t v;
      Read(&v, 1);
      return v;
    }
    case vaInt16: {
      int16_t v;
      Read(&v, 2);
      return v;
    }
    case vaInt32: {
      int32_t v;
      Read(&v, 4);
      return v;
    }
    default:
      PropValueError();
  }
}

bool TReader::ReadBoolean() {
  const TValueType v = ReadValue();
  if (v != vaTrue && v != vaFalse) PropValueError();
  return v == vaTrue;
}

std::string TReader::ReadString() {
  const TValueType v = ReadValue();
  if (v != vaString && v != vaLString && v != vaWString && v != vaUTF8String) PropValueError();
  return ReadTaggedStringBody(stream_, v);
}

void TReader::ReadListBegin() {
  if (ReadValue() != vaList) PropValueError();
}

void TReader::ReadListEnd() {
  if (ReadValue() != vaNull) PropValueError();
}

std::string TReader::ReadPropName() {
  uint8_t n = 0;
  Read(&n, 1);
  if (n > stream_.Remaining()) StreamReadError();
  return common::Cp1252ToUtf8(ReadBytes(stream_, n));
}

void TReader::ReadDefinedProperties(TPersistent& object) {
  while (!EndOfList()) {
    propName_ = ReadPropName();
    propRead_ = false;
    object.DefineStoredProperties(*this);
    if (!propRead_) throw EReadError("Property " + propName_ + " does not exist");
  }
  ReadListEnd();
}

void TReader::DefineProperty(const std::string& name, TReaderProc readData, TWriterProc, bool) {
  if (propRead_ || !readData || !SameText(name, propName_)) return;
  propRead_ = true;
  readData(*this);
}

void TReader::DefineBinaryProperty(const std::string& name, TStreamProc readData, TStreamProc, bool) {
  if (propRead_ || !readData || !SameText(name, propName_)) return;
  propRead_ = true;
  if (ReadValue() != vaBinary) PropValueError();
  TMemoryStream data(ReadBytes(stream_, ReadCheckedLength(stream_, 1)));
  readData(data);
}

}  // namespace gl3d
