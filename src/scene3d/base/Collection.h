#pragma once
// Owned collections: a list of items of one item class that the collection creates, numbers and
// frees. Every change of the list or of an item is reported through the collection's Update,
// except inside a BeginUpdate/EndUpdate bracket, whose end reports once for the whole list.
// TOwnedCollection also knows the persistent that owns it (its name path and change reports go
// there). The nodes of lines, extra texture units, library materials and actor animations are
// such collections.
#include <string>
#include <vector>

#include "scene3d/base/Classes.h"

namespace gl3d {

class TCollection;
class TCollectionItem;

// The item class of a collection: its virtual constructor, which makes an item in the collection.
using TCollectionItemClass = TCollectionItem* (*)(TCollection* collection);

class TCollectionItem : public TPersistent {
 public:
  // Joins the collection when one is given.
  explicit TCollectionItem(TCollection* collection);
  // Leaves its collection.
  ~TCollectionItem() override;
  TCollectionItem(const TCollectionItem&) = delete;
  TCollectionItem& operator=(const TCollectionItem&) = delete;
  const char* ClassName() const override { return "TCollectionItem"; }

  TCollection* Collection() const { return collection_; }
  // Leaves the current collection and joins the given one (nullptr: none).
  void SetCollection(TCollection* collection);
  // A number given by the collection on joining, never reused within it.
  int ID() const { return id_; }
  // The position in the collection, -1 without one.
  int Index() const;
  // Moves the item to the position (EListError outside the list); a move reports the change of
  // the whole list.
  virtual void SetIndex(int index);
  // The class name unless a descendant knows better.
  virtual std::string GetDisplayName() const { return ClassName(); }
  TPersistent* GetOwner() const override;
  // "<collection's name path>[<index>]" in a collection.
  std::string GetNamePath() const override;

 protected:
  // Reports a change of this item (or, with allItems, of the whole list) to the collection,
  // unless it is inside an update bracket.
  void Changed(bool allItems);

 private:
  friend class TCollection;
  TCollection* collection_ = nullptr;
  int id_ = 0;
};

class TCollection : public TPersistent {
 public:
  explicit TCollection(TCollectionItemClass itemClass);
  // Frees the items without reporting.
  ~TCollection() override;
  TCollection(const TCollection&) = delete;
  TCollection& operator=(const TCollection&) = delete;
  const char* ClassName() const override { return "TCollection"; }

  TCollectionItemClass ItemClass() const { return itemClass_; }
  int Count() const { return static_cast<int>(items_.size()); }
  // EListError "List index out of bounds (<index>)" outside the list.
  TCollectionItem* GetItem(int index) const;
  TCollectionItem* operator[](int index) const { return GetItem(index); }
  // A new item of the item class, appended.
  TCollectionItem* Add();
  // A new item at the position.
  TCollectionItem* Insert(int index);
  // Frees the item at the position.
  void Delete(int index);
  // Frees every item, reporting once.
  void Clear();
  // The item with the ID, nullptr when none has it.
  TCollectionItem* FindItemID(int id) const;

  virtual void BeginUpdate() { ++updateCount_; }
  // Closes a bracket (nothing when none is open) and reports the change when the last closes.
  virtual void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  // From a collection: the items are replaced by new ones assigned from the source's, with one
  // report. Anything else: the persistent assignment.
  void Assign(const TPersistent* source) override;

 protected:
  // Told of every change outside a bracket: item is the changed item, nullptr for the list.
  virtual void Update(TCollectionItem*) {}
  // Reports a change of the whole list unless inside a bracket.
  void Changed();

 private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* item);
  void RemoveItem(TCollectionItem* item);

  std::vector<TCollectionItem*> items_;
  TCollectionItemClass itemClass_;
  int updateCount_ = 0;
  int nextID_ = 0;
};

// A collection that belongs to a persistent object.
class TOwnedCollection : public TCollection {
 public:
  TOwnedCollection(TPersistent* owner, TCollectionItemClass itemClass)
      : TCollection(itemClass), owner_(owner) {}
  const char* ClassName() const override { return "TOwnedCollection"; }
  TPersistent* GetOwner() const override { return owner_; }

 private:
  TPersistent* owner_;
};

}  // namespace gl3d
