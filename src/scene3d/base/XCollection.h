#pragma once
// Extensible collections: items of different classes that share TXCollectionItem (the scene
// objects' behaviours and effects). Items join and leave their collection by themselves, an
// item class states whether it may coexist with others of its kind, and the collection stores
// itself in the component stream naming each item's class.
#include <string>
#include <vector>

#include "scene3d/base/Classes.h"
#include "scene3d/base/PersistentClasses.h"

namespace gl3d {

class TXCollection;
class TXCollectionItem;

// The class of an item: its name, its parent class and its class operations.
struct TXCollectionItemClass {
  const char* Name;
  const TXCollectionItemClass* Parent;  // nullptr for TXCollectionItem itself
  // The virtual constructor; nullptr for an abstract class.
  TXCollectionItem* (*Create)(TXCollection* owner);
  const char* FriendlyName;
  const char* FriendlyDescription;  // nullptr: the friendly name
  const char* ItemCategory;         // nullptr: empty
  bool UniqueItem;                  // true: one item of the class (or its descendants) per collection
  bool (*CanAddTo)(const TXCollection* collection);  // nullptr: any collection

  bool InheritsFrom(const TXCollectionItemClass& other) const;
  std::string GetFriendlyDescription() const;
};

class TXCollectionItem : public TGLInterfacedPersistent {
 public:
  static const TXCollectionItemClass StaticClass;

  // Joins owner when given: fails the assertion "Addition of <item class> to <collection class>
  // rejected." when the collection does not accept the class.
  TXCollectionItem(TXCollection* owner, const TXCollectionItemClass& itemClass);
  // Leaves the owner's list.
  ~TXCollectionItem() override;
  TXCollectionItem(const TXCollectionItem&) = delete;
  TXCollectionItem& operator=(const TXCollectionItem&) = delete;

  const char* ClassName() const override { return itemClass_->Name; }
  const TXCollectionItemClass& ItemClass() const { return *itemClass_; }
  TXCollection* Owner() const { return owner_; }
  TPersistent* GetOwner() const override;
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { WriteName(name); }
  virtual void WriteName(const std::string& name) { name_ = name; }
  virtual std::string GetDisplayName() const { return name_; }
  // "<owner's name path>[<index>]" with an owner.
  std::string GetNamePath() const override;
  // Position in the owner, -1 without one.
  int Index() const;

  // From another item: the name only.
  void Assign(const TPersistent* source) override;
  // Version 0, then the name; descendants append their data.
  virtual void WriteToFiler(TWriter& writer) const;
  virtual void ReadFromFiler(TReader& reader);
  virtual void Loaded() {}

 private:
  friend class TXCollection;
  TXCollection* owner_;
  const TXCollectionItemClass* itemClass_;
  std::string name_;
};

class TXCollection : public TPersistent {
 public:
  explicit TXCollection(TPersistent* owner) : owner_(owner) {}
  ~TXCollection() override;
  TXCollection(const TXCollection&) = delete;
  TXCollection& operator=(const TXCollection&) = delete;
  const char* ClassName() const override { return "TXCollection"; }

  virtual const TXCollectionItemClass& ItemsClass() const { return TXCollectionItem::StaticClass; }
  // Whether an item of the class may join: the class's own rule, then the unique-item rules.
  // Collections of a particular kind narrow it further.
  virtual bool CanAdd(const TXCollectionItemClass& itemClass) const;
  int Count() const { return count_; }
  // EListError "List index out of bounds (<index>)" outside the list.
  TXCollectionItem* GetItems(int index) const;
  TXCollectionItem* operator[](int index) const { return GetItems(index); }
  // Frees every item (detached first, so it does not touch the list).
  void Clear();
  void Loaded();
  // The archive version of the last archive read (1 after every write).
  int ArchiveVersion() const { return archiveVersion_; }

  // nil: Clear. The same class: a copy of every item. Anything else: the persistent assignment.
  void Assign(const TPersistent* source) override;
  TPersistent* GetOwner() const override { return owner_; }
  std::string GetNamePath() const override;

  // "XCOL" as a 32-bit integer, version 1, the count, then per item its class name the first
  // time (its index among the classes written afterwards) and its data.
  void WriteToFiler(TWriter& writer);
  void ReadFromFiler(TReader& reader);

 private:
  friend class TXCollectionItem;
  TPersistent* owner_;
  std::vector<TXCollectionItem*> items_;
  int count_ = 0;
  int archiveVersion_ = 0;
};

// The item classes an archive may name, looked up by exact name.
void RegisterXCollectionItemClass(const TXCollectionItemClass& itemClass);
void UnregisterXCollectionItemClass(const TXCollectionItemClass& itemClass);
const TXCollectionItemClass* FindXCollectionItemClass(const std::string& name);
void ReleaseXCollectionItemClasses();

}  // namespace gl3d
