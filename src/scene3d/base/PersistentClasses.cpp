#include "scene3d/base/PersistentClasses.h"

#include <cstring>
#include <limits>
#include <typeinfo>
#include <vector>

#include "common/CodePage.h"
#include "scene3d/base/ApplicationFileIO.h"

namespace gl3d {

// Archives hold extended floats as the 10 bytes of the x87 80-bit format; on x86-64 the
// compiler's long double is that format, padded to 16 bytes, so the first 10 bytes are copied.
static_assert(std::numeric_limits<long double>::digits == 64 &&
                  std::numeric_limits<long double>::radix == 2 &&
                  std::numeric_limits<long double>::max_exponent == 16384 && sizeof(long double) >= 10,
              "long double must be the x87 80-bit extended format");

namespace {

[[noreturn]] void BrokenListArchive() { throw common::Exception("Broken ObjectList archive"); }

// Lists inside lists recurse; a hostile archive must not exhaust the stack.
constexpr int kMaxListNesting = 256;
thread_local int gListNesting = 0;

struct NestingGuard {
  NestingGuard() {
    if (++gListNesting > kMaxListNesting) {
      --gListNesting;
      BrokenListArchive();
    }
  }
  ~NestingGuard() { --gListNesting; }
};

}  // namespace

// ---- TVirtualReader ----

void TVirtualReader::ReadTypeError() const {
  throw EReadError(std::string(ClassName()) + ", read type error");
}

// ---- TBinaryWriter ----

void TBinaryWriter::Write(const void* buffer, int64_t count) { stream_.WriteBuffer(buffer, count); }

void TBinaryWriter::WriteInteger(int32_t value) { WriteTaggedInteger(stream_, value); }

void TBinaryWriter::WriteBoolean(bool value) {
  const uint8_t tag = value ? vaTrue : vaFalse;
  Write(&tag, 1);
}

void TBinaryWriter::WriteString(const std::string& value) { WriteWideString(common::Utf8ToUtf16(value)); }

void TBinaryWriter::WriteAnsiString(const std::string& value) {
  const std::string bytes = common::Utf8ToCp1252(value);
  if (bytes.size() <= 255) {
    const uint8_t head[2] = {vaString, static_cast<uint8_t>(bytes.size())};
    Write(head, 2);
  } else {
    const uint8_t tag = vaLString;
    const uint32_t n = static_cast<uint32_t>(bytes.size());
    Write(&tag, 1);
    Write(&n, 4);
  }
  Write(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void TBinaryWriter::WriteWideString(const std::u16string& value) {
  const uint8_t tag = vaWString;
  const uint32_t n = static_cast<uint32_t>(value.size());
  Write(&tag, 1);
  Write(&n, 4);
  Write(value.data(), static_cast<int64_t>(n) * 2);
}

void TBinaryWriter::WriteFloat(long double value) {
  uint8_t buf[11];
  buf[0] = vaExtended;
  std::memcpy(buf + 1, &value, 10);
  Write(buf, 11);
}

void TBinaryWriter::WriteListBegin() {
  const uint8_t tag = vaList;
  Write(&tag, 1);
}

void TBinaryWriter::WriteListEnd() {
  const uint8_t tag = vaNull;
  Write(&tag, 1);
}

// ---- TBinaryReader ----

void TBinaryReader::Read(void* buffer, int64_t count) { stream_.ReadBuffer(buffer, count); }

uint8_t TBinaryReader::ReadTag() {
  uint8_t tag = 0;
  stream_.ReadBuffer(&tag, 1);
  return tag;
}

TValueType TBinaryReader::NextValue() {
  const uint8_t tag = ReadTag();
  stream_.Seek(-1, soCurrent);
  return static_cast<TValueType>(tag);
}

int32_t TBinaryReader::ReadInteger() {
  switch (ReadTag()) {
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
      ReadTypeError();
  }
}

bool TBinaryReader::ReadBoolean() {
  const uint8_t tag = ReadTag();
  if (tag == vaFalse) return false;
  if (tag == vaTrue) return true;
  ReadTypeError();
}

std::string TBinaryReader::ReadString() {
  const uint8_t tag = ReadTag();
  if (tag != vaString && tag != vaLString && tag != vaWString && tag != vaUTF8String) ReadTypeError();
  return ReadTaggedStringBody(stream_, tag);
}

long double TBinaryReader::ReadFloat() {
  if (ReadTag() != vaExtended) ReadTypeError();
  long double v = 0;
  std::memset(&v, 0, sizeof(v));
  Read(&v, 10);
  return v;
}

void TBinaryReader::ReadListBegin() {
  if (ReadTag() != vaList) ReadTypeError();
}

void TBinaryReader::ReadListEnd() {
  if (ReadTag() != vaNull) ReadTypeError();
}

bool TBinaryReader::EndOfList() { return NextValue() == vaNull; }

std::unique_ptr<TVirtualWriter> BinaryWriterClass(TStream& stream) {
  return std::make_unique<TBinaryWriter>(stream);
}
std::unique_ptr<TVirtualReader> BinaryReaderClass(TStream& stream) {
  return std::make_unique<TBinaryReader>(stream);
}

// ---- TPersistentObject ----

void RaiseFilerException(const char* className, int32_t archiveVersion) {
  throw EFilerException(std::string(className) + " : unknown archive version " +
                        std::to_string(archiveVersion));
}

void TPersistentObject::RaiseFilerException(int32_t archiveVersion) const {
  gl3d::RaiseFilerException(ClassName(), archiveVersion);
}

void TPersistentObject::Assign(const TPersistent* source) {
  if (source && typeid(*source) == typeid(*this)) {
    TMemoryStream ms;
    static_cast<const TPersistentObject*>(source)->SaveToStream(ms);
    ms.SetPosition(0);
    LoadFromStream(ms);
  } else {
    TPersistent::Assign(source);
  }
}

std::unique_ptr<TPersistentObject> TPersistentObject::CreateClone() const {
  std::unique_ptr<TPersistentObject> clone = NewInstance();
  clone->Assign(this);
  return clone;
}

void TPersistentObject::WriteToFiler(TVirtualWriter&) const {}

void TPersistentObject::ReadFromFiler(TVirtualReader&) {}

void TPersistentObject::SaveToStream(TStream& stream, TVirtualWriterClass writerClass) const {
  std::unique_ptr<TVirtualWriter> writer = (writerClass ? writerClass : BinaryWriterClass)(stream);
  const std::string signature = FileSignature();
  if (!signature.empty()) {
    const std::string bytes = common::Utf8ToCp1252(signature);
    writer->Write(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
  WriteToFiler(*writer);
}

void TPersistentObject::LoadFromStream(TStream& stream, TVirtualReaderClass readerClass) {
  std::unique_ptr<TVirtualReader> reader = (readerClass ? readerClass : BinaryReaderClass)(stream);
  const std::string signature = FileSignature();
  if (!signature.empty()) {
    const std::string expected = common::Utf8ToCp1252(signature);
    std::string found(expected.size(), '\0');
    const int64_t n = stream.Read(found.data(), static_cast<int64_t>(found.size()));
    if (n != static_cast<int64_t>(found.size()) || found != expected)
      throw EInvalidFileSignature("Invalid file signature");
  }
  ReadFromFiler(*reader);
}

void TPersistentObject::SaveToFile(const std::string& fileName, TVirtualWriterClass writerClass) const {
  std::unique_ptr<TStream> stream = CreateFileStream(fileName, fmCreate);
  SaveToStream(*stream, writerClass ? writerClass : FileVirtualWriter());
}

void TPersistentObject::LoadFromFile(const std::string& fileName, TVirtualReaderClass readerClass) {
  std::unique_ptr<TStream> stream = CreateFileStream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(*stream, readerClass ? readerClass : FileVirtualReader());
}

std::string TPersistentObject::SaveToString(TVirtualWriterClass writerClass) const {
  TMemoryStream ms;
  SaveToStream(ms, writerClass);
  return ms.DataString();
}

void TPersistentObject::LoadFromString(const std::string& data, TVirtualReaderClass readerClass) {
  TMemoryStream ms(data);
  LoadFromStream(ms, readerClass);
}

// ---- TPersistentObjectList ----

TPersistentObjectList::~TPersistentObjectList() { TPersistentObjectList::Clear(); }

std::unique_ptr<TPersistentObject> TPersistentObjectList::NewInstance() const {
  return std::make_unique<TPersistentObjectList>();
}

void TPersistentObjectList::Error() const { throw EListError("Invalid list index"); }

void TPersistentObjectList::Grow() {
  const int64_t wanted = static_cast<int64_t>(capacity_) + (growthDelta_ > 0 ? growthDelta_ : 16);
  SetCapacity(static_cast<int>(std::min<int64_t>(wanted, std::numeric_limits<int>::max())));
}

int TPersistentObjectList::AddGrowing(TObject* item) {
  if (count_ == capacity_) Grow();
  if (count_ >= capacity_) Error();
  list_[count_] = item;
  return count_++;
}

void TPersistentObjectList::Insert(int index, TObject* item) {
  if (index < 0 || index > count_) Error();
  if (count_ == capacity_) Grow();
  if (count_ >= capacity_) Error();
  if (index < count_)
    std::memmove(list_ + index + 1, list_ + index, static_cast<size_t>(count_ - index) * sizeof(TObject*));
  list_[index] = item;
  ++count_;
}

void TPersistentObjectList::Delete(int index) {
  if (index < 0 || index >= count_) Error();
  --count_;
  if (index < count_)
    std::memmove(list_ + index, list_ + index + 1, static_cast<size_t>(count_ - index) * sizeof(TObject*));
}

int TPersistentObjectList::IndexOf(const TObject* item) const {
  for (int i = 0; i < count_; ++i)
    if (list_[i] == item) return i;
  return -1;
}

int TPersistentObjectList::Remove(TObject* item) {
  const int i = IndexOf(item);
  if (i >= 0) Delete(i);
  return i;
}

TObject* TPersistentObjectList::Pop() {
  if (count_ == 0) return nullptr;
  return list_[--count_];
}

TObject* TPersistentObjectList::Get(int index) const {
  if (index < 0 || index >= count_) Error();
  return list_[index];
}

void TPersistentObjectList::Put(int index, TObject* item) {
  if (index < 0 || index >= count_) Error();
  list_[index] = item;
}

void TPersistentObjectList::SetCapacity(int newCapacity) {
  if (newCapacity == capacity_) return;
  if (newCapacity < 0) Error();
  if (count_ > newCapacity) count_ = newCapacity;
  if (newCapacity == 0) {
    std::free(list_);
    list_ = nullptr;
  } else {
    void* p = std::realloc(list_, static_cast<size_t>(newCapacity) * sizeof(TObject*));
    if (!p) throw std::bad_alloc();
    list_ = static_cast<TObject**>(p);
  }
  capacity_ = newCapacity;
}

void TPersistentObjectList::SetCount(int newCount) {
  if (newCount < 0) Error();
  if (newCount > capacity_) SetCapacity(newCount);
  for (int i = count_; i < newCount; ++i) list_[i] = nullptr;
  count_ = newCount;
}

void TPersistentObjectList::Clear() {
  if (list_) {
    count_ = 0;
    SetCapacity(0);
  }
}

void TPersistentObjectList::FreeItems() {
  for (int i = count_ - 1; i >= 0; --i) {
    if (i < count_) {
      TObject* item = list_[i];
      list_[i] = nullptr;
      delete item;
    }
  }
}

void TPersistentObjectList::FreeItemsAndClear() {
  FreeItems();
  Clear();
}

void TPersistentObjectList::AfterObjectCreatedByReader(TObject*, TObject*) {}

void TPersistentObjectList::WriteToFiler(TVirtualWriter& writer) const {
  writer.WriteInteger(0);  // archive version
  writer.WriteListBegin();
  std::vector<std::string> classes;
  for (int i = 0; i < count_; ++i) {
    const TObject* item = list_[i];
    if (!item) {
      writer.WriteBoolean(false);
      writer.WriteInteger(0);
    } else if (auto* object = dynamic_cast<const TPersistentObject*>(item)) {
      const std::string name = object->ClassName();
      size_t k = 0;
      while (k < classes.size() && classes[k] != name) ++k;
      if (k == classes.size()) {
        classes.push_back(name);
        writer.WriteString(name);
      } else {
        writer.WriteInteger(static_cast<int32_t>(k));
      }
      object->WriteToFiler(writer);
    } else {
      // A reference is meaningless outside this process, and a reader never turns a number
      // back into a pointer: such an element cannot be archived.
      throw EWriteError(std::string(ClassName()) + " : element of class " + item->ClassName() +
                        " cannot be archived");
    }
  }
  writer.WriteListEnd();
}

void TPersistentObjectList::ReadFromFiler(TVirtualReader& reader) {
  ReadFromFilerWithEvent(
      reader, [this](TObject* sender, TObject* object) { AfterObjectCreatedByReader(sender, object); });
}

void TPersistentObjectList::ReadFromFilerWithEvent(TVirtualReader& reader,
                                                   const TObjectCreatedEvent& afterSenderObjectCreated) {
  NestingGuard guard;
  FreeItemsAndClear();
  const int32_t version = reader.ReadInteger();
  if (version != 0) RaiseFilerException(version);
  reader.ReadListBegin();
  try {
    ReadItems(reader, afterSenderObjectCreated);
  } catch (...) {
    // The list does not own its items, and no one else holds the ones read so far: free them,
    // with what the lists among them read.
    FreeReadItems(*this);
    throw;
  }
  reader.ReadListEnd();
}

void TPersistentObjectList::FreeReadItems(TPersistentObjectList& list) {
  for (int i = 0; i < list.count_; ++i)
    if (auto* inner = dynamic_cast<TPersistentObjectList*>(list.list_[i])) FreeReadItems(*inner);
  list.FreeItemsAndClear();
}

void TPersistentObjectList::ReadItems(TVirtualReader& reader, const TObjectCreatedEvent& afterSenderObjectCreated) {
  std::vector<std::string> classes;
  const TPersistentObjectRegistry& registry = TPersistentObjectRegistry::Instance();
  while (!reader.EndOfList()) {
    const uint8_t tag = reader.NextValue() & 0x7F;
    switch (tag) {
      case vaInt8:
      case vaInt16:
      case vaInt32:
      case vaString:
      case vaLString:
      case vaWString:
      case vaUTF8String: {
        std::string name;
        if (tag == vaInt8 || tag == vaInt16 || tag == vaInt32) {
          const int32_t index = reader.ReadInteger();
          if (index < 0 || static_cast<size_t>(index) >= classes.size()) BrokenListArchive();
          name = classes[static_cast<size_t>(index)];
        } else {
          name = reader.ReadString();
          if (!registry.IsRegistered(name)) throw common::EClassNotFound("Class " + name + " not found");
          classes.push_back(name);
        }
        std::unique_ptr<TPersistentObject> object = registry.Create(name);
        if (afterSenderObjectCreated) afterSenderObjectCreated(this, object.get());
        object->ReadFromFiler(reader);
        Add(object.get());
        object.release();
        break;
      }
      case vaFalse:
      case vaTrue:
        reader.ReadBoolean();
        // Only nil survives an archive.
        if (reader.ReadInteger() != 0) BrokenListArchive();
        Add(nullptr);
        break;
      default:
        BrokenListArchive();
    }
  }
}

void RegisterPersistentClasses() {
  TPersistentObjectRegistry::Instance().Register<TPersistentObjectList>("TPersistentObjectList");
}

}  // namespace gl3d
