#pragma once
// The 3D library's versioned binary archive and the objects that save themselves into it.
//
// An archive is a sequence of tagged values (one tag byte, then little-endian data) without a
// header of its own; every object writes its own archive version first and reads only the
// versions it knows. Polymorphic lists store class names, resolved through the class registry of
// TPersistentObject, so every class that can appear in an archive is registered at start-up.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/ClassRegistry.h"
#include "common/Exception.h"
#include "scene3d/base/Classes.h"

namespace gl3d {

// The archive version of an object is one it does not know:
// "<class name> : unknown archive version <n>".
class EFilerException : public common::Exception {
 public:
  using Exception::Exception;
};
// "Invalid file signature".
class EInvalidFileSignature : public common::Exception {
 public:
  using Exception::Exception;
};

// ---- Archive writers and readers ----

class TVirtualWriter : public TObject {
 public:
  explicit TVirtualWriter(TStream& stream) : stream_(stream) {}
  const char* ClassName() const override { return "TVirtualWriter"; }
  TStream& Stream() const { return stream_; }
  virtual void Write(const void* buffer, int64_t count) = 0;
  virtual void WriteInteger(int32_t value) = 0;
  virtual void WriteBoolean(bool value) = 0;
  virtual void WriteString(const std::string& value) = 0;
  virtual void WriteFloat(long double value) = 0;
  virtual void WriteListBegin() = 0;
  virtual void WriteListEnd() = 0;

 protected:
  TStream& stream_;
};

class TVirtualReader : public TObject {
 public:
  explicit TVirtualReader(TStream& stream) : stream_(stream) {}
  const char* ClassName() const override { return "TVirtualReader"; }
  TStream& Stream() const { return stream_; }
  virtual void Read(void* buffer, int64_t count) = 0;
  // The next tag, not consumed.
  virtual TValueType NextValue() = 0;
  virtual int32_t ReadInteger() = 0;
  virtual bool ReadBoolean() = 0;
  virtual std::string ReadString() = 0;
  virtual long double ReadFloat() = 0;
  virtual void ReadListBegin() = 0;
  virtual void ReadListEnd() = 0;
  virtual bool EndOfList() = 0;
  // EReadError "<reader class>, read type error".
  [[noreturn]] void ReadTypeError() const;

 protected:
  TStream& stream_;
};

// The one archive format. Integers take their smallest form (tag 2, 3 or 4), booleans one tag
// (8 or 9), strings UTF-16 (tag 18), floats the 10 bytes of the x87 80-bit format (tag 5),
// lists begin with tag 1 and end with tag 0.
class TBinaryWriter : public TVirtualWriter {
 public:
  using TVirtualWriter::TVirtualWriter;
  const char* ClassName() const override { return "TBinaryWriter"; }
  void Write(const void* buffer, int64_t count) override;
  void WriteInteger(int32_t value) override;
  void WriteBoolean(bool value) override;
  void WriteString(const std::string& value) override;
  void WriteFloat(long double value) override;
  void WriteListBegin() override;
  void WriteListEnd() override;
  // Windows-1252 text: tag 6 with a length byte up to 255 bytes, tag 12 with 4 bytes above.
  void WriteAnsiString(const std::string& value);
  void WriteWideString(const std::u16string& value);
};

// Reads what TBinaryWriter writes, and every string tag (6, 12, 18, 20). A tag the operation does
// not accept fails with the type error; a length or a value that runs past the end of the data
// fails with EReadError "Stream read error".
class TBinaryReader : public TVirtualReader {
 public:
  using TVirtualReader::TVirtualReader;
  const char* ClassName() const override { return "TBinaryReader"; }
  void Read(void* buffer, int64_t count) override;
  TValueType NextValue() override;
  int32_t ReadInteger() override;
  bool ReadBoolean() override;
  std::string ReadString() override;
  long double ReadFloat() override;
  void ReadListBegin() override;
  void ReadListEnd() override;
  bool EndOfList() override;

 private:
  uint8_t ReadTag();
};

// Writer and reader "classes": factories; nullptr stands for the default.
using TVirtualWriterClass = std::unique_ptr<TVirtualWriter> (*)(TStream& stream);
using TVirtualReaderClass = std::unique_ptr<TVirtualReader> (*)(TStream& stream);
std::unique_ptr<TVirtualWriter> BinaryWriterClass(TStream& stream);
std::unique_ptr<TVirtualReader> BinaryReaderClass(TStream& stream);

// ---- Persistent objects ----

// A persistent object that takes part in interface queries without reference counting.
// In C++ the interfaces are abstract classes reached through dynamic_cast.
class TGLInterfacedPersistent : public TPersistent {
 public:
  const char* ClassName() const override { return "TGLInterfacedPersistent"; }
};

class TPersistentObject : public TPersistent {
 public:
  const char* ClassName() const override { return "TPersistentObject"; }
  // The virtual constructor: a new, empty object of the same class.
  virtual std::unique_ptr<TPersistentObject> NewInstance() const = 0;
  // A signature written raw before the archive (empty: none).
  virtual std::string FileSignature() const { return ""; }
  virtual TVirtualWriterClass FileVirtualWriter() const { return BinaryWriterClass; }
  virtual TVirtualReaderClass FileVirtualReader() const { return BinaryReaderClass; }

  // Same class: copied through an archive. Anything else: TPersistent's assignment.
  void Assign(const TPersistent* source) override;
  std::unique_ptr<TPersistentObject> CreateClone() const;

  // Descendants write their archive version first, then their data, calling the inherited
  // operation first where their parent has data.
  virtual void WriteToFiler(TVirtualWriter& writer) const;
  virtual void ReadFromFiler(TVirtualReader& reader);

  void SaveToStream(TStream& stream, TVirtualWriterClass writerClass = nullptr) const;
  void LoadFromStream(TStream& stream, TVirtualReaderClass readerClass = nullptr);
  void SaveToFile(const std::string& fileName, TVirtualWriterClass writerClass = nullptr) const;
  void LoadFromFile(const std::string& fileName, TVirtualReaderClass readerClass = nullptr);
  // The archive bytes, kept unchanged in a string.
  std::string SaveToString(TVirtualWriterClass writerClass = nullptr) const;
  void LoadFromString(const std::string& data, TVirtualReaderClass readerClass = nullptr);

  [[noreturn]] void RaiseFilerException(int32_t archiveVersion) const;
};

[[noreturn]] void RaiseFilerException(const char* className, int32_t archiveVersion);

// A new object read from an archive.
template <class T>
std::unique_ptr<T> CreateFromFiler(TVirtualReader& reader) {
  auto object = std::make_unique<T>();
  object->ReadFromFiler(reader);
  return object;
}

// Persistent classes created by name when an archive names them.
using TPersistentObjectRegistry = common::TClassRegistry<TPersistentObject>;

// A growable list of object references, grown by a fixed step (16). The list does not own its
// items unless a descendant says so.
class TPersistentObjectList : public TPersistentObject {
 public:
  using TObjectCreatedEvent = std::function<void(TObject* sender, TObject* object)>;

  TPersistentObjectList() = default;
  ~TPersistentObjectList() override;
  TPersistentObjectList(const TPersistentObjectList&) = delete;
  TPersistentObjectList& operator=(const TPersistentObjectList&) = delete;
  const char* ClassName() const override { return "TPersistentObjectList"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;

  int Count() const { return count_; }
  // The items in place, for loops that must not pay for a checked access per item.
  TObject** List() const { return list_; }
  int Capacity() const { return capacity_; }
  int GrowthDelta() const { return growthDelta_; }
  void SetGrowthDelta(int delta) { growthDelta_ = delta; }

  // Inline while there is room: render passes append every child of a sorted parent per frame.
  int Add(TObject* item) {
    const int index = count_;
    if (index >= capacity_) return AddGrowing(item);
    list_[index] = item;
    count_ = index + 1;
    return index;
  }
  void Insert(int index, TObject* item);
  void Delete(int index);
  int Remove(TObject* item);
  int IndexOf(const TObject* item) const;
  // nullptr on an empty list.
  TObject* Pop();
  TObject* Get(int index) const;
  void Put(int index, TObject* item);
  TObject* operator[](int index) const { return Get(index); }
  void SetCapacity(int newCapacity);
  void SetCount(int newCount);
  // Releases the array; the items are not freed.
  virtual void Clear();
  // Frees the items from the last to the first (an item's destructor may remove others).
  void FreeItems();
  void FreeItemsAndClear();
  // EListError "Invalid list index".
  [[noreturn]] virtual void Error() const;
  // Called for every element the archive reader creates.
  virtual void AfterObjectCreatedByReader(TObject* sender, TObject* object);

  void WriteToFiler(TVirtualWriter& writer) const override;
  void ReadFromFiler(TVirtualReader& reader) override;
  // An archive that fails part-way leaves the list empty, the items it had read freed (with
  // the items of the lists among them).
  void ReadFromFilerWithEvent(TVirtualReader& reader, const TObjectCreatedEvent& afterSenderObjectCreated);

 private:
  void Grow();
  // Add when the list is full: grows by the step first.
  int AddGrowing(TObject* item);
  void ReadItems(TVirtualReader& reader, const TObjectCreatedEvent& afterSenderObjectCreated);
  static void FreeReadItems(TPersistentObjectList& list);
  TObject** list_ = nullptr;
  int count_ = 0;
  int capacity_ = 0;
  int growthDelta_ = 16;
};

// Registers the persistent classes of this module by name.
void RegisterPersistentClasses();

}  // namespace gl3d
