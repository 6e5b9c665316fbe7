#pragma once
// The object model the 3D library builds on: a root class with a class name, persistent
// objects that assign and define stored properties, components with an owner, a tag, a state
// and free notification, the registry of classes that archives name, byte streams (memory and
// file), and the component-stream filer (TWriter/TReader) that stores defined properties as
// tagged values. Owned collections are in Collection.h.
//
// Strings in memory are UTF-8. Every read checks sizes against the bytes that remain and fails
// with EReadError instead of reading past the data or allocating what the data cannot hold.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/ClassRegistry.h"
#include "common/Exception.h"

namespace gl3d {

// ---- Errors ----
class EStreamError : public common::Exception {
 public:
  using Exception::Exception;
};
class EFilerError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EReadError : public EFilerError {
 public:
  using EFilerError::EFilerError;
};
class EWriteError : public EFilerError {
 public:
  using EFilerError::EFilerError;
};
class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EListError : public common::Exception {
 public:
  using Exception::Exception;
};
// A typecast to a class the object does not belong to: "Invalid class typecast".
class EInvalidCast : public common::Exception {
 public:
  using Exception::Exception;
};
using common::EConvertError;

// ---- Root classes ----
class TObject {
 public:
  virtual ~TObject() = default;
  virtual const char* ClassName() const { return "TObject"; }
};

class TFiler;

class TPersistent : public TObject {
 public:
  const char* ClassName() const override { return "TPersistent"; }
  // Copies from source; the base asks the source (AssignTo), which fails with
  // EConvertError "Cannot assign a <source> to a <this>" unless a class knows better.
  virtual void Assign(const TPersistent* source);
  virtual TPersistent* GetOwner() const { return nullptr; }
  // The class name, after the owner's name path and a dot when the owner has one.
  virtual std::string GetNamePath() const;
  // Stored properties beyond the published ones (binary data, lists).
  virtual void DefineStoredProperties(TFiler& filer);

 protected:
  virtual void AssignTo(TPersistent* dest) const;
  [[noreturn]] void AssignError(const TPersistent* source) const;
};

class TReader;

// The state flags of a component (bit n for the flag of ordinal n). csDesigning is never set in
// this program: there is no form designer.
enum TComponentStateFlag : uint8_t { csLoading, csReading, csDestroying, csDesigning };
using TComponentState = uint8_t;
constexpr TComponentState ComponentStateBit(TComponentStateFlag f) {
  return static_cast<TComponentState>(1u << f);
}

enum TOperation : uint8_t { opInsert, opRemove };

// A component belongs to an owner, which frees it. Components that refer to one another ask for
// free notification: each hears Notification(other, opRemove) before the other goes, and drops
// its reference there.
class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner);
  // Sends the free notifications (unless a descendant's destructor already did), frees the owned
  // components from the last to the first and leaves the owner.
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  const char* ClassName() const override { return "TComponent"; }

  TComponent* Owner() const { return owner_; }
  TPersistent* GetOwner() const override { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { WriteName(name); }
  // The name write; descendants add what follows a rename.
  virtual void WriteName(const std::string& name) { name_ = name; }
  // The component's name.
  std::string GetNamePath() const override { return name_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(static_cast<size_t>(index)); }
  // Takes the component into this owner's list (leaving its former owner first); the owner then
  // hears Notification(component, opInsert).
  void InsertComponent(TComponent* component);
  // Releases the ownership: the component leaves the list and has no owner; the owner hears
  // Notification(component, opRemove). Nothing when this is not the component's owner.
  void RemoveComponent(TComponent* component);
  // The sub-component style flag: a component published as a property of its owner.
  bool IsSubComponentStyle() const { return subComponent_; }
  void SetSubComponent(bool value) { subComponent_ = value; }

  // A free integer for the program's own use.
  intptr_t Tag() const { return tag_; }
  void SetTag(intptr_t tag) { tag_ = tag; }

  TComponentState ComponentState() const { return state_; }
  bool IsLoading() const { return (state_ & ComponentStateBit(csLoading)) != 0; }
  bool IsReading() const { return (state_ & ComponentStateBit(csReading)) != 0; }
  bool IsDestroying() const { return (state_ & ComponentStateBit(csDestroying)) != 0; }
  // Marks the component as being loaded; Loaded ends it.
  void Loading() { state_ |= ComponentStateBit(csLoading); }
  // Marks the stretch in which the component's own properties are read.
  void SetReading(bool reading);
  // Called once everything of a load has been read: clears csLoading. Descendants finish their
  // load here and call the inherited operation first.
  virtual void Loaded();
  // Sets csDestroying on the component and everything it owns.
  void Destroying();

  // Links the two components both ways: each is told when the other is freed.
  void FreeNotification(TComponent* component);
  // Removes the link both ways.
  void RemoveFreeNotification(TComponent* component);
  // Told of a component that is freed (opRemove, through free notification or when it leaves
  // this owner) or that joins this owner (opInsert). Only the pointer's identity may be used:
  // the component is being destroyed. The base drops a free-notification link to it.
  virtual void Notification(TComponent* component, TOperation operation);

  // Reads the component's stored properties from the reader, up to the end of their list.
  virtual void ReadState(TReader& reader);

 protected:
  // Tells every linked component that this one goes; a descendant whose data those components
  // may still reach calls it first thing in its destructor.
  void RemoveFreeNotifications();

 private:
  TComponent* owner_;
  std::string name_;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  intptr_t tag_ = 0;
  TComponentState state_ = 0;
  bool subComponent_ = false;
};

// The classes that stored descriptions create by name (coordinates, scene objects, scenes). The
// instance is made without an owner. Names compare without regard to ASCII case.
using TPersistentClassRegistry = common::TClassRegistry<TPersistent>;
void RegisterClass(const std::string& name, TPersistentClassRegistry::Factory factory);
template <class T>
void RegisterClass(const std::string& name) {
  RegisterClass(name, [] { return std::unique_ptr<TPersistent>(new T(nullptr)); });
}
void UnRegisterClass(const std::string& name);
// nullptr for an unknown name.
std::unique_ptr<TPersistent> TryCreateRegisteredClass(const std::string& name);
// EClassNotFound "Class <name> not found" for an unknown name.
std::unique_ptr<TPersistent> CreateRegisteredClass(const std::string& name);
bool IsClassRegistered(const std::string& name);

// ---- Streams ----
enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
 public:
  const char* ClassName() const override { return "TStream"; }
  // Both return the number of bytes moved.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size();

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t position) { Seek(position, soBeginning); }
  // Bytes between the position and the end (never negative).
  int64_t Remaining();
  // Exactly count bytes, or EReadError "Stream read error" / EWriteError "Stream write error".
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string data) : data_(std::move(data)) {}
  const char* ClassName() const override { return "TMemoryStream"; }
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  // The bytes held, as a string.
  const std::string& DataString() const { return data_; }
  void Clear() {
    data_.clear();
    position_ = 0;
  }

 private:
  std::string data_;
  int64_t position_ = 0;
};

// File modes as the library passes them.
inline constexpr uint16_t fmCreate = 0xFF00;
inline constexpr uint16_t fmOpenRead = 0x0000;
inline constexpr uint16_t fmOpenWrite = 0x0001;
inline constexpr uint16_t fmOpenReadWrite = 0x0002;
inline constexpr uint16_t fmShareDenyWrite = 0x0020;
inline constexpr uint16_t fmShareDenyNone = 0x0040;

class TFileStream : public TStream {
 public:
  // fmCreate creates or truncates (EFCreateError on failure); other modes open an existing file
  // (EFOpenError "Cannot open file "<name>". <reason>").
  TFileStream(const std::string& fileName, uint16_t mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  const char* ClassName() const override { return "TFileStream"; }
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  const std::string& FileName() const { return fileName_; }

 private:
  std::FILE* file_ = nullptr;
  std::string fileName_;
};

// ---- Value tags shared by the component stream and the 3D library's archives ----
enum TValueType : uint8_t {
  vaNull = 0,
  vaList = 1,
  vaInt8 = 2,
  vaInt16 = 3,
  vaInt32 = 4,
  vaExtended = 5,
  vaString = 6,
  vaIdent = 7,
  vaFalse = 8,
  vaTrue = 9,
  vaBinary = 10,
  vaSet = 11,
  vaLString = 12,
  vaNil = 13,
  vaCollection = 14,
  vaSingle = 15,
  vaCurrency = 16,
  vaDate = 17,
  vaWString = 18,
  vaInt64 = 19,
  vaUTF8String = 20,
  vaDouble = 21
};

// Writes the smallest integer form: tag 2, 3 or 4 and 1, 2 or 4 little-endian bytes.
void WriteTaggedInteger(TStream& stream, int32_t value);
// Reads the text that follows a string tag (6, 12, 18 or 20) as UTF-8. 8-bit text is
// Windows-1252; UTF-8 text is decoded the lenient way old archives need (see the .cpp).
// Lengths are checked against the bytes that remain (EReadError "Stream read error").
std::string ReadTaggedStringBody(TStream& stream, uint8_t tag);
// UTF-8 bytes to UTF-16 code units, accepting what old writers produced.
std::u16string DecodeArchiveUtf8(std::string_view bytes);

class TWriter;

// Defines stored properties for a filer: the writer writes those with data, the reader reads the
// one it is positioned on.
class TFiler : public TObject {
 public:
  using TReaderProc = std::function<void(TReader&)>;
  using TWriterProc = std::function<void(TWriter&)>;
  using TStreamProc = std::function<void(TStream&)>;
  explicit TFiler(TStream& stream) : stream_(stream) {}
  const char* ClassName() const override { return "TFiler"; }
  TStream& Stream() const { return stream_; }
  virtual void DefineProperty(const std::string& name, TReaderProc readData, TWriterProc writeData,
                              bool hasData) = 0;
  virtual void DefineBinaryProperty(const std::string& name, TStreamProc readData, TStreamProc writeData,
                                    bool hasData) = 0;

 protected:
  TStream& stream_;
};

// Component-stream writer: tagged values, little-endian.
class TWriter : public TFiler {
 public:
  using TFiler::TFiler;
  const char* ClassName() const override { return "TWriter"; }
  void Write(const void* buffer, int64_t count) { stream_.WriteBuffer(buffer, count); }
  void WriteValue(TValueType value);
  void WriteInteger(int32_t value) { WriteTaggedInteger(stream_, value); }
  void WriteBoolean(bool value) { WriteValue(value ? vaTrue : vaFalse); }
  // As 8-bit text when its UTF-8 form is shorter than twice its UTF-16 length (tag 20 when a byte
  // has its top bit set, else tag 12 above 255 bytes, else tag 6), otherwise as UTF-16 (tag 18).
  void WriteString(const std::string& value);
  void WriteListBegin() { WriteValue(vaList); }
  void WriteListEnd() { WriteValue(vaNull); }
  // A property name: one length byte and the bytes, without a tag.
  void WritePropName(const std::string& name);
  // The defined properties of an object that have data, then the end of the list.
  void WriteDefinedProperties(TPersistent& object);

  void DefineProperty(const std::string& name, TReaderProc readData, TWriterProc writeData,
                      bool hasData) override;
  void DefineBinaryProperty(const std::string& name, TStreamProc readData, TStreamProc writeData,
                            bool hasData) override;
};

// Component-stream reader. A value of another type than asked fails with EReadError
// "Invalid property value".
class TReader : public TFiler {
 public:
  using TFiler::TFiler;
  const char* ClassName() const override { return "TReader"; }
  void Read(void* buffer, int64_t count) { stream_.ReadBuffer(buffer, count); }
  TValueType ReadValue();
  TValueType NextValue();
  int32_t ReadInteger();
  bool ReadBoolean();
  std::string ReadString();
  void ReadListBegin();
  void ReadListEnd();
  bool EndOfList() { return NextValue() == vaNull; }
  std::string ReadPropName();
  // Reads properties until the end of the list, each through the object's DefineStoredProperties.
  // An unknown name fails with EReadError "Property <name> does not exist".
  void ReadDefinedProperties(TPersistent& object);

  void DefineProperty(const std::string& name, TReaderProc readData, TWriterProc writeData,
                      bool hasData) override;
  void DefineBinaryProperty(const std::string& name, TStreamProc readData, TStreamProc writeData,
                            bool hasData) override;

  // The component in which the names read resolve (a form); nullptr when none is set.
  TComponent* Root() const { return root_; }
  void SetRoot(TComponent* root) { root_ = root; }

 private:
  [[noreturn]] void PropValueError();
  TComponent* root_ = nullptr;
  std::string propName_;
  bool propRead_ = false;
};

}  // namespace gl3d
