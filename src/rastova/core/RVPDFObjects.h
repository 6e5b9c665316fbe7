#pragma once
// The PDF object model of the PDF writer (codecs/pdffilt.h): the object classes with their text
// forms, and the routines that write a document's frame (header, numbered objects, the
// cross-reference table and the trailer) and create its catalog, pages and page tree. The
// document itself is a plain list of objects that only refers to them; the writer owns the
// objects through its own lists and through the containers that hold them. Nothing here reads
// PDF.
//
// Every write goes through SafeStreamWrite: a stream that takes fewer bytes than offered sets the
// caller's error flag, so a short write is never reported as success. Lines end with a single LF.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rv {

class TStream;

class TRVPDFObject {
 public:
  TRVPDFObject() = default;
  TRVPDFObject(const TRVPDFObject&) = delete;
  TRVPDFObject& operator=(const TRVPDFObject&) = delete;
  virtual ~TRVPDFObject() = default;
  // Writes the object's text; every override first records the stream position in `Offset`.
  virtual void Write(TStream& stream, bool& error) = 0;

  int32_t ObjectNumber = 0;  // 1-based position in a document's object list, 0 until registered
  int64_t Offset = 0;        // where the text was last written (for a registered object: its "obj" line)
  bool Shared = false;       // a container leaves a shared member alive when it is freed
};

// "5 0 R"
class TRVPDFRefObject : public TRVPDFObject {
 public:
  TRVPDFRefObject(int32_t number, int32_t generation) : RefNumber(number), Generation(generation) {}
  void Write(TStream& stream, bool& error) override;
  int32_t RefNumber;
  int32_t Generation;
};

// Up to 15 significant digits, no trailing zeros, "." whatever the locale.
class TRVPDFNumericObject : public TRVPDFObject {
 public:
  explicit TRVPDFNumericObject(double value) : Value(value) {}
  void Write(TStream& stream, bool& error) override;
  double Value;
};

class TRVPDFBooleanObject : public TRVPDFObject {
 public:
  explicit TRVPDFBooleanObject(bool value) : Value(value) {}
  void Write(TStream& stream, bool& error) override;
  bool Value;
};

// A literal string: backspace, tab, LF, form feed, CR, the parentheses and the backslash escaped.
class TRVPDFStringObject : public TRVPDFObject {
 public:
  explicit TRVPDFStringObject(std::string value) : Value(std::move(value)) {}
  void Write(TStream& stream, bool& error) override;
  std::string Value;
};

// "/" and the bytes; a byte below "!" or above "~" becomes "#" and two upper-case hex digits.
class TRVPDFNameObject : public TRVPDFObject {
 public:
  explicit TRVPDFNameObject(std::string name) : Value(std::move(name)) {}
  void Write(TStream& stream, bool& error) override;
  std::string Value;
};

// "[", each item followed by a blank, "]". Owns its items unless they are shared.
class TRVPDFArrayObject : public TRVPDFObject {
 public:
  TRVPDFArrayObject() = default;
  ~TRVPDFArrayObject() override;
  void Write(TStream& stream, bool& error) override;
  // Appends an item, taking it over (a shared item stays the caller's).
  void Add(TRVPDFObject* item) { Items.push_back(item); }
  std::vector<TRVPDFObject*> Items;
};

// "<< ", then "/key value" and LF per entry in insertion order, then ">>". Keys are written as
// they are and found without regard to case; duplicates are not checked. Owns its values unless
// they are shared.
class TRVPDFDictionaryObject : public TRVPDFObject {
 public:
  TRVPDFDictionaryObject() = default;
  ~TRVPDFDictionaryObject() override;
  void Write(TStream& stream, bool& error) override;
  void Add(std::string key, TRVPDFObject* value) { Entries.emplace_back(std::move(key), value); }
  // The index of the first entry with that key, -1 when none.
  int32_t IndexOf(std::string_view key) const;
  // The value of the first entry with that key, nullptr when none.
  TRVPDFObject* Find(std::string_view key) const;
  // Replaces the value of the first entry with that key (freeing the old one unless shared), or
  // adds the entry.
  void Put(std::string_view key, TRVPDFObject* value);
  std::vector<std::pair<std::string, TRVPDFObject*>> Entries;
};

// The dictionary with its "Length" set to the data's length, LF, "stream", LF, the data, LF,
// "endstream".
class TRVPDFStreamObject : public TRVPDFObject {
 public:
  // No data; the dictionary holds "Length" 0.
  TRVPDFStreamObject();
  // A copy of `length` bytes of `data`.
  TRVPDFStreamObject(const void* data, int64_t length);
  // Takes the bytes over without a copy.
  explicit TRVPDFStreamObject(std::vector<uint8_t> data);
  void Write(TStream& stream, bool& error) override;
  std::vector<uint8_t> Data;
  std::unique_ptr<TRVPDFDictionaryObject> Dictionary;
};

// A document's objects in the order of their numbers; the list does not own them.
using TRVPDFObjectList = std::vector<TRVPDFObject*>;

void PDFWriteLine(TStream& stream, std::string_view text, bool& error);
void PDFWriteText(TStream& stream, std::string_view text, bool& error);
// "%PDF-1.4", then "%" and the bytes C8 D2 F0 FE, which mark the file as binary.
void PDFWriteHeader(TStream& stream, bool& error);
// Appends `obj` and numbers it by its new position.
void PDFAddObject(TRVPDFObjectList& objects, TRVPDFObject* obj);
// The catalog, registered; the caller owns it. Added first, it is object 1.
TRVPDFDictionaryObject* PDFAddCatalog(TRVPDFObjectList& objects);
// A page dictionary (/Type /Page, /Resources when given, /MediaBox, /Contents), registered and
// appended to `pages`; it takes `mediaBox` over and is owned through `pages`.
void PDFAddPage(TRVPDFObjectList& objects, std::vector<std::unique_ptr<TRVPDFDictionaryObject>>& pages,
                TRVPDFDictionaryObject* resources, int32_t contentsNumber, TRVPDFArrayObject* mediaBox);
// The page tree over `pages`, registered before it is filled; every page gets its /Parent and
// the catalog (the first object) its /Pages. The caller owns it.
TRVPDFDictionaryObject* PDFAddPages(TRVPDFObjectList& objects,
                                    const std::vector<std::unique_ptr<TRVPDFDictionaryObject>>& pages);
// Each object as "n 0 obj", its text, LF, "endobj"; its offset becomes the "obj" line's position.
void PDFWriteObjects(TStream& stream, const TRVPDFObjectList& objects, bool& error);
// The cross-reference table of 20-byte entries, the trailer (/Size, /Root 1 0 R, /Info), the
// position of the table and "%%EOF".
void PDFWriteXRefAndTrailer(TStream& stream, const TRVPDFObjectList& objects, const TRVPDFObject& info,
                            bool& error);

}  // namespace rv
