// The component model: owner trees and their destruction, removal notifications, names,
// string lists, collections and published properties by name.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/collection.h"
#include "core/component.h"
#include "core/published.h"
#include "core/string_list.h"

using namespace tarvo::core;

namespace {

std::vector<std::string> gFreed;

// Records its destruction and the removals it is told about; may hold a reference to
// another component that it expects to be cleared.
class TProbe : public TComponent {
  TARVO_PERSISTENT_CLASS(TProbe)
public:
  using TComponent::TComponent;
  ~TProbe() override { gFreed.push_back(Name()); }

  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& v) { FCaption = v; }
  TStringList* Lines() const { return FLines.get(); }
  TComponent* Link() const { return FLink; }
  void SetLink(TPersistent* v) {
    if (FLink) FLink->RemoveFreeNotification(this);
    FLink = dynamic_cast<TComponent*>(v);
    if (FLink) FLink->FreeNotification(this);
  }
  std::vector<std::string> removed;

protected:
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove) {
      removed.push_back(c->Name());
      if (c == FLink) FLink = nullptr;
    }
  }

private:
  std::string FCaption;
  std::unique_ptr<TStringList> FLines = std::make_unique<TStringList>();
  TComponent* FLink = nullptr;
};

class TProbeButton : public TProbe {
  TARVO_PERSISTENT_CLASS(TProbeButton)
public:
  using TProbe::TProbe;
  std::string Caption2() const { return "knop"; }
};

const TClassInfo& TProbe::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {
      TextProperty<&TProbe::Caption, &TProbe::SetCaption>("Caption"),
      StringsProperty<&TProbe::Lines>("Lines"),
      ObjectProperty<&TProbe::Link, &TProbe::SetLink>("Link"),
  };
  static const TClassInfo info{"TProbe", &ClassInfoOf<TComponent>(), props};
  return info;
}

const TClassInfo& TProbeButton::StaticClassInfo() noexcept {
  // Publishes Caption again, now read-only.
  static const TPropInfo props[] = {TextProperty<&TProbeButton::Caption2>("Caption")};
  static const TClassInfo info{"TProbeButton", &ClassInfoOf<TProbe>(), props};
  return info;
}

TProbe* Make(TComponent* owner, const std::string& name) {
  auto* p = new TProbe(owner);
  p->SetName(name);
  return p;
}

}  // namespace

TEST(Component, OwnerFreesItsTreeAndEveryoneHearsOfRemovals) {
  gFreed.clear();
  auto* root = Make(nullptr, "root");
  auto* panel = Make(root, "panel");
  auto* button = Make(panel, "button");
  auto* watcher = Make(root, "watcher");
  watcher->SetLink(button);
  auto* sibling = Make(root, "sibling");
  EXPECT_EQ(root->FindComponent("PANEL"), panel);
  EXPECT_EQ(root->FindComponent("button"), nullptr);  // owned by panel, not root
  EXPECT_EQ(panel->ComponentIndex(), 0);

  delete button;  // the watcher clears its reference
  EXPECT_EQ(watcher->Link(), nullptr);
  delete sibling;  // the owner tells its other components
  EXPECT_EQ(watcher->removed, (std::vector<std::string>{"button", "sibling"}));
  EXPECT_EQ(root->ComponentCount(), 2);

  gFreed.clear();
  delete root;
  // The owner's own part goes first, then what it owns, newest first.
  EXPECT_EQ(gFreed, (std::vector<std::string>{"root", "watcher", "panel"}));
}

TEST(Component, ReferencesDieWithEitherSide) {
  auto* a = Make(nullptr, "a");
  auto* b = Make(nullptr, "b");
  b->SetLink(a);
  delete b;  // a must not tell the freed b later
  delete a;
  auto* c = Make(nullptr, "c");
  auto* d = Make(nullptr, "d");
  d->SetLink(c);
  d->SetLink(nullptr);  // unlinked: no notice any more
  delete c;
  EXPECT_TRUE(d->removed.empty());
  delete d;
}

TEST(Component, NamesAreIdentifiersUniqueWithinTheOwner) {
  TComponent root;
  Make(&root, "btNEXT");
  auto* other = Make(&root, "other");
  try {
    other->SetName("BTnext");
    FAIL();
  } catch (const EComponentError& e) {
    EXPECT_EQ(e.Message(), "A component named BTnext already exists");
  }
  try {
    other->SetName("1abc");
    FAIL();
  } catch (const EComponentError& e) {
    EXPECT_EQ(e.Message(), "'1abc' is not a valid component name");  // quoted once
  }
  EXPECT_THROW(other->SetName("a b"), EComponentError);
  other->SetName("");
  Make(&root, "");  // many may be unnamed
  auto* moving = Make(nullptr, "btNEXT");
  EXPECT_THROW(root.InsertComponent(moving), EComponentError);
  TComponent second;
  second.InsertComponent(moving);
  EXPECT_EQ(moving->Owner(), &second);
}

TEST(Component, InsertingMovesBetweenOwners) {
  TComponent a, b;
  auto* p = Make(&a, "p");
  b.InsertComponent(p);
  EXPECT_EQ(a.ComponentCount(), 0);
  EXPECT_EQ(b.Components(0), p);
  EXPECT_THROW(b.Components(1), EComponentError);
  b.RemoveComponent(p);
  EXPECT_EQ(p->Owner(), nullptr);
  delete p;
}

TEST(StringList, TextSplitsEveryLineEndAndUpdatesAreBracketed) {
  TStringList list;
  int changes = 0;
  list.OnChange = [&](TStringList*) { ++changes; };
  list.SetText("een\r\ntwee\rdrie\nvier");
  EXPECT_EQ(changes, 1);
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Strings(1), "twee");
  EXPECT_EQ(list.Text(), "een\ntwee\ndrie\nvier\n");
  list.SetText("a\n\nb\n");
  EXPECT_EQ(list.Count(), 3);  // the empty line stays, the final break adds none
  list.BeginUpdate();
  list.Add("c");
  list.Put(0, "z");
  EXPECT_EQ(changes, 2);
  list.EndUpdate();
  EXPECT_EQ(changes, 3);
  try {
    list.Get(4);
    FAIL();
  } catch (const EStringListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (4)");
  }
  EXPECT_THROW(list.Insert(-1, "x"), EStringListError);
  TStringList copy;
  copy.Assign(list);
  EXPECT_EQ(copy.Text(), list.Text());
  TComponent notAList;
  EXPECT_THROW(copy.Assign(notAList), EConvertError);
}

// Every batch operation closes its update bracket however it ends: a failing insert in the
// middle of AddStrings, SetText, Assign or Put leaves the list updatable and listening.
TEST(StringList, FailedBatchesCloseTheirUpdate) {
  struct TFailingList : TStringList {
    int InsertsLeft = -1;  // the insert that fails when this reaches 0
    void Insert(int index, const std::string& s) override {
      if (InsertsLeft >= 0 && InsertsLeft-- == 0) throw EStringListError("full");
      TStringList::Insert(index, s);
    }
  };
  TStringList source;
  source.SetText("a\nb\nc\n");
  const struct {
    std::function<void(TFailingList&)> Batch;
    int InsertsBeforeFailure;
  } cases[] = {
      {[&](TFailingList& l) { l.AddStrings(source); }, 1},
      {[&](TFailingList& l) { l.SetText("a\nb\nc"); }, 1},
      {[&](TFailingList& l) { l.Assign(source); }, 2},
      {[&](TFailingList& l) { l.TStrings::Put(1, "x"); }, 0},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    TFailingList list;
    list.SetText("p\nq\n");
    list.InsertsLeft = cases[i].InsertsBeforeFailure;
    int changes = 0;
    list.OnChange = [&](TStringList*) { ++changes; };
    EXPECT_THROW(cases[i].Batch(list), EStringListError) << i;
    EXPECT_EQ(list.UpdateCount(), 0) << i;
    changes = 0;
    list.Add("r");
    EXPECT_EQ(changes, 1) << i;
  }
}

TEST(Collection, ItemsBelongToTheirCollection) {
  auto collection = std::make_unique<TCollection>();
  auto* first = collection->Add();
  auto* second = new TCollectionItem(collection.get());
  EXPECT_EQ(second->Index(), 1);
  delete first;  // leaves the collection
  EXPECT_EQ(collection->Count(), 1);
  EXPECT_EQ(second->Index(), 0);
  TCollection other;
  second->SetCollection(&other);
  EXPECT_EQ(collection->Count(), 0);
  EXPECT_EQ(other.Items(0), second);
  EXPECT_THROW(other.Items(1), EStringListError);
  other.Delete(0);
  EXPECT_EQ(other.Count(), 0);
  collection->Add();
  collection.reset();  // frees its item; ASan checks
}

TEST(Published, PropertiesByNameAlongTheAncestry) {
  TProbeButton button;
  const TClassInfo& cls = button.ClassInfo();
  EXPECT_TRUE(button.InheritsFrom(ClassInfoOf<TComponent>()));
  EXPECT_TRUE(button.InheritsFrom("tprobe"));
  EXPECT_FALSE(ClassInfoOf<TProbe>().InheritsFrom(ClassInfoOf<TProbeButton>()));
  EXPECT_EQ(button.ClassName(), "TProbeButton");

  std::vector<std::string> names;
  for (const TPropInfo* p : GetPropList(cls)) names.push_back(p->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"Name", "Caption", "Lines", "Link"}));
  EXPECT_FALSE(GetPropInfo(cls, "caption")->Writable());  // the derived entry wins

  SetStrProp(button, "NAME", "btOK");
  EXPECT_EQ(button.Name(), "btOK");
  EXPECT_EQ(GetStrProp(button, "Caption"), "knop");
  try {
    SetStrProp(button, "Caption", "x");
    FAIL();
  } catch (const EPropertyError& e) {
    EXPECT_EQ(e.Message(), "Property Caption is read-only");
  }
  try {
    GetStrProp(button, "Colour");
    FAIL();
  } catch (const EPropertyError& e) {
    EXPECT_EQ(e.Message(), "Property Colour does not exist");
  }
  SetStrProp(button, "Lines", "a\nb");
  EXPECT_EQ(button.Lines()->Count(), 2);
  TStringList replacement({"x"});
  SetObjectProp(button, "Lines", &replacement);
  EXPECT_EQ(GetStrProp(button, "Lines"), "x\n");
  TProbe target;
  SetObjectProp(button, "Link", &target);
  EXPECT_EQ(GetObjectProp(button, "Link"), &target);
  EXPECT_THROW(GetObjectProp(button, "Name"), EPropertyError);
  SetObjectProp(button, "Link", nullptr);
  EXPECT_EQ(button.Link(), nullptr);
}
