// The component model: tags and state, free notification, ownership moves, the class registry,
// and owned collections with their update bracket.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scene3d/base/Collection.h"

using namespace gl3d;

namespace {

// Logs every notification it hears as "<op>:<name>", and can read what its partner still holds.
class TWatcher : public TComponent {
 public:
  TWatcher(TComponent* owner, std::string name, std::vector<std::string>* log)
      : TComponent(owner), log_(log) {
    SetName(name);
  }
  TComponent* watched = nullptr;
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (log_)
      log_->push_back(std::string(operation == opInsert ? "insert:" : "remove:") + Name() + "<" +
                      (component == watched ? "watched" : "other") + ">");
    if (operation == opRemove && component == watched) watched = nullptr;
  }

 private:
  std::vector<std::string>* log_;
};

class TLoadable : public TComponent {
 public:
  using TComponent::TComponent;
  int loadedCalls = 0;
  bool wasLoadingInLoaded = false;
  void Loaded() override {
    wasLoadingInLoaded = IsLoading();
    TComponent::Loaded();
    ++loadedCalls;
  }
};

}  // namespace

TEST(Component, TagStateAndLoading) {
  TLoadable c(nullptr);
  EXPECT_EQ(c.Tag(), 0);
  c.SetTag(-42);
  EXPECT_EQ(c.Tag(), -42);
  EXPECT_EQ(c.ComponentState(), 0);
  c.Loading();
  c.SetReading(true);
  EXPECT_TRUE(c.IsLoading());
  EXPECT_TRUE(c.IsReading());
  c.SetReading(false);
  c.Loaded();
  EXPECT_TRUE(c.wasLoadingInLoaded);
  EXPECT_FALSE(c.IsLoading());
  EXPECT_EQ(c.ComponentState(), 0);
  EXPECT_EQ(c.ComponentState() & ComponentStateBit(csDesigning), 0);

  // Destroying marks the whole owned tree.
  TComponent owner(nullptr);
  auto* child = new TComponent(&owner);
  auto* grandChild = new TComponent(child);
  owner.Destroying();
  EXPECT_TRUE(child->IsDestroying());
  EXPECT_TRUE(grandChild->IsDestroying());
}

TEST(Component, FreeNotificationReachesTheOtherSideBeforeItGoes) {
  std::vector<std::string> log;
  TWatcher camera(nullptr, "camera", &log);
  auto* target = new TWatcher(nullptr, "target", &log);
  camera.watched = target;
  camera.FreeNotification(target);
  camera.FreeNotification(target);  // a second request links once
  delete target;
  EXPECT_EQ(log, (std::vector<std::string>{"remove:camera<watched>"}));
  EXPECT_EQ(camera.watched, nullptr);

  // Both ways: freeing the watcher tells the target, and a removed link is silent.
  log.clear();
  auto* a = new TWatcher(nullptr, "a", &log);
  TWatcher b(nullptr, "b", &log);
  TWatcher c(nullptr, "c", &log);
  a->FreeNotification(&b);
  a->FreeNotification(&c);
  c.RemoveFreeNotification(a);
  delete a;
  EXPECT_EQ(log, (std::vector<std::string>{"remove:b<other>"}));
  // b's side of the link is gone too: destroying b later touches nothing freed (sanitizer build).
}

TEST(Component, OwnershipMovesAndOwnedComponentsAreFreedLastFirst) {
  std::vector<std::string> log;
  TWatcher owner(nullptr, "owner", &log);
  TWatcher other(nullptr, "other", &log);
  auto* item = new TComponent(&owner);
  EXPECT_EQ(log, (std::vector<std::string>{"insert:owner<other>"}));
  other.InsertComponent(item);
  EXPECT_EQ(item->Owner(), &other);
  EXPECT_EQ(owner.ComponentCount(), 0);
  EXPECT_EQ(other.ComponentCount(), 1);
  other.RemoveComponent(item);
  EXPECT_EQ(item->Owner(), nullptr);
  EXPECT_EQ(other.ComponentCount(), 0);
  owner.RemoveComponent(item);  // not its owner: nothing
  EXPECT_EQ(log, (std::vector<std::string>{"insert:owner<other>", "remove:owner<other>",
                                           "insert:other<other>", "remove:other<other>"}));
  delete item;

  // An owned component that frees a sibling in its destructor does not upset the owner's loop.
  struct TFreesSibling : TComponent {
    TFreesSibling(TComponent* o, TComponent* s) : TComponent(o), sibling(s) {}
    ~TFreesSibling() override { delete sibling; }
    TComponent* sibling;
  };
  auto* holder = new TComponent(nullptr);
  auto* first = new TComponent(holder);
  new TFreesSibling(holder, first);
  EXPECT_EQ(holder->ComponentCount(), 2);
  delete holder;
}

TEST(Component, RenameHookAndReadState) {
  struct TRenamed : TComponent {
    using TComponent::TComponent;
    std::vector<std::string> names;
    void WriteName(const std::string& name) override {
      TComponent::WriteName(name);
      names.push_back(name);
    }
    int read = 0;
    void DefineStoredProperties(TFiler& filer) override {
      filer.DefineProperty(
          "Value", [this](TReader& r) { read = r.ReadInteger(); }, nullptr, false);
    }
  };
  TRenamed c(nullptr);
  c.SetName("GLCube1");
  EXPECT_EQ(c.names, std::vector<std::string>{"GLCube1"});
  EXPECT_EQ(c.Name(), "GLCube1");

  TMemoryStream ms;
  TWriter w(ms);
  w.WritePropName("Value");
  w.WriteInteger(1234);
  w.WriteListEnd();
  ms.SetPosition(0);
  TReader r(ms);
  c.ReadState(r);
  EXPECT_EQ(c.read, 1234);
  EXPECT_FALSE(c.IsReading());
  TMemoryStream bad(std::string("\x05Other\x02\x01\x00", 9));
  TReader rb(bad);
  EXPECT_THROW(c.ReadState(rb), EReadError);
  EXPECT_FALSE(c.IsReading());  // cleared also when the read fails
}

TEST(Component, ClassRegistryCreatesByName) {
  RegisterClass<TComponent>("TComponent");
  EXPECT_TRUE(IsClassRegistered("tcomponent"));
  std::unique_ptr<TPersistent> made = CreateRegisteredClass("TComponent");
  ASSERT_NE(dynamic_cast<TComponent*>(made.get()), nullptr);
  EXPECT_EQ(dynamic_cast<TComponent*>(made.get())->Owner(), nullptr);
  EXPECT_EQ(TryCreateRegisteredClass("TNoSuchClass"), nullptr);
  EXPECT_THROW(CreateRegisteredClass("TNoSuchClass"), common::EClassNotFound);
  UnRegisterClass("TComponent");
  EXPECT_FALSE(IsClassRegistered("TComponent"));
}

// ---- Owned collections ----

namespace {

class TNode : public TCollectionItem {
 public:
  using TCollectionItem::TCollectionItem;
  static TCollectionItem* Create(TCollection* c) { return new TNode(c); }
  const char* ClassName() const override { return "TNode"; }
  float x = 0;
  void SetX(float v) {
    x = v;
    Changed(false);
  }
  void Assign(const TPersistent* source) override {
    if (auto* n = dynamic_cast<const TNode*>(source))
      x = n->x;
    else
      TCollectionItem::Assign(source);
  }
};

class TNamedOwner : public TPersistent {
 public:
  std::string GetNamePath() const override { return "GLLines1"; }
};

class TNodes : public TOwnedCollection {
 public:
  explicit TNodes(TPersistent* owner) : TOwnedCollection(owner, &TNode::Create) {}
  const char* ClassName() const override { return "TNodes"; }
  std::vector<std::string> reports;
  void Update(TCollectionItem* item) override {
    reports.push_back(item ? "item " + std::to_string(item->Index()) : "list");
  }
};

}  // namespace

TEST(Collection, ItemsNumbersAndReports) {
  TNamedOwner owner;
  TNodes nodes(&owner);
  auto* a = static_cast<TNode*>(nodes.Add());
  auto* b = static_cast<TNode*>(nodes.Add());
  EXPECT_EQ(nodes.reports, (std::vector<std::string>{"list", "list"}));
  EXPECT_EQ(a->ID(), 0);
  EXPECT_EQ(b->ID(), 1);
  EXPECT_EQ(b->GetNamePath(), "GLLines1.TNodes[1]");
  EXPECT_EQ(b->GetDisplayName(), "TNode");
  b->SetX(2);
  EXPECT_EQ(nodes.reports.back(), "item 1");

  auto* c = static_cast<TNode*>(nodes.Insert(0));
  EXPECT_EQ(c->Index(), 0);
  EXPECT_EQ(c->ID(), 2);
  nodes.Delete(0);
  auto* d = nodes.Add();
  EXPECT_EQ(d->ID(), 3);  // IDs are not reused
  EXPECT_EQ(nodes.FindItemID(1), b);
  EXPECT_EQ(nodes.FindItemID(2), nullptr);
  EXPECT_THROW(nodes.GetItem(3), EListError);
  EXPECT_THROW(b->SetIndex(7), EListError);
  EXPECT_THROW(nodes.Insert(9), EListError);
  EXPECT_EQ(nodes.Count(), 3);  // the failed insert left nothing behind

  // An item moved between collections leaves the first.
  TNodes other(nullptr);
  b->SetCollection(&other);
  EXPECT_EQ(nodes.Count(), 2);
  EXPECT_EQ(other[0], b);
  delete b;
  EXPECT_EQ(other.Count(), 0);
}

TEST(Collection, UpdateBracketReportsOnceAndAssignCopies) {
  TNodes nodes(nullptr);
  nodes.BeginUpdate();
  nodes.BeginUpdate();
  for (int i = 0; i < 3; ++i) static_cast<TNode*>(nodes.Add())->SetX(static_cast<float>(i));
  nodes.EndUpdate();
  EXPECT_TRUE(nodes.reports.empty());
  nodes.EndUpdate();
  EXPECT_EQ(nodes.reports, std::vector<std::string>{"list"});
  nodes.EndUpdate();  // unbalanced: ignored, the count stays 0
  EXPECT_EQ(nodes.UpdateCount(), 0);
  EXPECT_EQ(nodes.reports.size(), 1u);

  TNodes copy(nullptr);
  copy.Add();
  copy.reports.clear();
  copy.Assign(&nodes);
  ASSERT_EQ(copy.Count(), 3);
  EXPECT_EQ(static_cast<TNode*>(copy[2])->x, 2);
  EXPECT_EQ(copy.reports, std::vector<std::string>{"list"});
  nodes.Clear();
  EXPECT_EQ(nodes.Count(), 0);
  TNamedOwner notACollection;
  EXPECT_THROW(copy.Assign(&notACollection), EConvertError);
}
