#include "scene3d/base/XCollection.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <typeinfo>

#include "common/Exception.h"

namespace gl3d {

namespace {

constexpr const char* kAssertText = "Assertion failure (XCollection)";

struct ItemClassRegistry {
  std::mutex lock;
  std::vector<const TXCollectionItemClass*> classes;
};

ItemClassRegistry& Registry() {
  static ItemClassRegistry registry;
  return registry;
}

}  // namespace

// ---- TXCollectionItemClass ----

bool TXCollectionItemClass::InheritsFrom(const TXCollectionItemClass& other) const {
  for (const TXCollectionItemClass* c = this; c; c = c->Parent)
    if (c == &other) return true;
  return false;
}

std::string TXCollectionItemClass::GetFriendlyDescription() const {
  if (FriendlyDescription) return FriendlyDescription;
  return FriendlyName ? FriendlyName : "";
}

const TXCollectionItemClass TXCollectionItem::StaticClass = {
    "TXCollectionItem", nullptr, nullptr, nullptr, nullptr, nullptr, false, nullptr};

// ---- TXCollectionItem ----

TXCollectionItem::TXCollectionItem(TXCollection* owner, const TXCollectionItemClass& itemClass)
    : owner_(owner), itemClass_(&itemClass) {
  if (owner_) {
    if (!owner_->CanAdd(itemClass)) {
      const std::string text =
          std::string("Addition of ") + itemClass.Name + " to " + owner_->ClassName() + " rejected.";
      ZASSERT(false, text.c_str());
    }
    owner_->items_.push_back(this);
    owner_->count_ = static_cast<int>(owner_->items_.size());
  }
}

TXCollectionItem::~TXCollectionItem() {
  if (owner_) {
    auto& items = owner_->items_;
    auto it = std::find(items.begin(), items.end(), this);
    if (it != items.end()) items.erase(it);
    owner_->count_ = static_cast<int>(items.size());
  }
}

TPersistent* TXCollectionItem::GetOwner() const { return owner_; }

int TXCollectionItem::Index() const {
  if (!owner_) return -1;
  const auto& items = owner_->items_;
  auto it = std::find(items.begin(), items.end(), this);
  return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

std::string TXCollectionItem::GetNamePath() const {
  if (owner_) return owner_->GetNamePath() + "[" + std::to_string(Index()) + "]";
  return TGLInterfacedPersistent::GetNamePath();
}

void TXCollectionItem::Assign(const TPersistent* source) {
  if (auto* item = dynamic_cast<const TXCollectionItem*>(source))
    name_ = item->name_;
  else
    TGLInterfacedPersistent::Assign(source);
}

void TXCollectionItem::WriteToFiler(TWriter& writer) const {
  writer.WriteInteger(0);  // archive version
  writer.WriteString(name_);
}

void TXCollectionItem::ReadFromFiler(TReader& reader) {
  ZASSERT(reader.ReadInteger() == 0, kAssertText);
  name_ = reader.ReadString();
}

// ---- TXCollection ----

TXCollection::~TXCollection() { Clear(); }

bool TXCollection::CanAdd(const TXCollectionItemClass& itemClass) const {
  if (itemClass.CanAddTo && !itemClass.CanAddTo(this)) return false;
  if (itemClass.UniqueItem)
    for (const TXCollectionItem* item : items_)
      if (item->itemClass_->InheritsFrom(itemClass)) return false;
  for (const TXCollectionItem* item : items_)
    if (item->itemClass_->UniqueItem && itemClass.InheritsFrom(*item->itemClass_)) return false;
  return true;
}

TXCollectionItem* TXCollection::GetItems(int index) const {
  if (index < 0 || index >= static_cast<int>(items_.size()))
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return items_[static_cast<size_t>(index)];
}

void TXCollection::Clear() {
  std::vector<TXCollectionItem*> items;
  items.swap(items_);
  count_ = 0;
  for (TXCollectionItem* item : items) {
    item->owner_ = nullptr;
    delete item;
  }
}

void TXCollection::Loaded() {
  for (TXCollectionItem* item : items_) item->Loaded();
}

void TXCollection::Assign(const TPersistent* source) {
  if (!source) {
    Clear();
  } else if (typeid(*source) == typeid(*this)) {
    auto* src = static_cast<const TXCollection*>(source);
    if (src == this) return;
    Clear();
    items_.reserve(src->items_.size());
    for (const TXCollectionItem* item : src->items_) {
      ZASSERT(item->itemClass_->Create != nullptr, kAssertText);
      TXCollectionItem* copy = item->itemClass_->Create(this);
      copy->Assign(item);
    }
  } else {
    TPersistent::Assign(source);
  }
  count_ = static_cast<int>(items_.size());
}

std::string TXCollection::GetNamePath() const {
  std::string s = ClassName();
  if (owner_) {
    const std::string path = owner_->GetNamePath();
    if (!path.empty()) s = path + ".XCollection";
  }
  return s;
}

void TXCollection::WriteToFiler(TWriter& writer) {
  archiveVersion_ = 1;
  int32_t magic;
  std::memcpy(&magic, "XCOL", 4);
  writer.WriteInteger(magic);
  writer.WriteInteger(1);  // archive version
  writer.WriteInteger(static_cast<int32_t>(items_.size()));
  std::vector<const TXCollectionItemClass*> classes;
  for (const TXCollectionItem* item : items_) {
    auto it = std::find(classes.begin(), classes.end(), item->itemClass_);
    if (it == classes.end()) {
      classes.push_back(item->itemClass_);
      writer.WriteString(item->itemClass_->Name);
    } else {
      writer.WriteInteger(static_cast<int32_t>(it - classes.begin()));
    }
    item->WriteToFiler(writer);
  }
}

void TXCollection::ReadFromFiler(TReader& reader) {
  Clear();
  char head[4] = {0, 0, 0, 0};
  try {
    const TValueType v = reader.NextValue();
    if (v == vaInt8 || v == vaInt16 || v == vaInt32) {
      const int32_t n = reader.ReadInteger();
      std::memcpy(head, &n, 4);
    } else {
      reader.Read(head, 4);
    }
  } catch (const common::Exception&) {
    std::memset(head, 0, 4);
  }
  int32_t count;
  if (std::memcmp(head, "XCOL", 4) == 0) {
    archiveVersion_ = reader.ReadInteger();
    count = reader.ReadInteger();
  } else {
    archiveVersion_ = 0;
    std::memcpy(&count, head, 4);
  }
  std::vector<const TXCollectionItemClass*> classes;
  for (int32_t n = 0; n < count; ++n) {
    const TValueType v = reader.NextValue();
    const TXCollectionItemClass* itemClass;
    if (v == vaString || v == vaLString) {
      const std::string name = reader.ReadString();
      itemClass = FindXCollectionItemClass(name);
      if (!itemClass) {
        const std::string text = "Class " + name + " unknown. Add the relevant unit to your \"uses\".";
        ZASSERT(false, text.c_str());
      }
      classes.push_back(itemClass);
    } else {
      const int32_t index = reader.ReadInteger();
      if (index < 0 || static_cast<size_t>(index) >= classes.size()) {
        const std::string text = "Invalid classlistIndex: " + std::to_string(index);
        ZASSERT(false, text.c_str());
      }
      itemClass = classes[static_cast<size_t>(index)];
    }
    ZASSERT(itemClass->Create != nullptr, kAssertText);
    TXCollectionItem* item = itemClass->Create(this);
    item->ReadFromFiler(reader);
  }
  count_ = static_cast<int>(items_.size());
}

// ---- Item-class registry ----

void RegisterXCollectionItemClass(const TXCollectionItemClass& itemClass) {
  ItemClassRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.lock);
  if (std::find(r.classes.begin(), r.classes.end(), &itemClass) == r.classes.end())
    r.classes.push_back(&itemClass);
}

void UnregisterXCollectionItemClass(const TXCollectionItemClass& itemClass) {
  ItemClassRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.lock);
  r.classes.erase(std::remove(r.classes.begin(), r.classes.end(), &itemClass), r.classes.end());
}

const TXCollectionItemClass* FindXCollectionItemClass(const std::string& name) {
  ItemClassRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.lock);
  for (const TXCollectionItemClass* c : r.classes)
    if (name == c->Name) return c;
  return nullptr;
}

void ReleaseXCollectionItemClasses() {
  ItemClassRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.lock);
  r.classes.clear();
  r.classes.shrink_to_fit();
}

}  // namespace gl3d
