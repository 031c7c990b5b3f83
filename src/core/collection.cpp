#include "core/collection.h"

#include <algorithm>

#include "core/component_strings.h"
#include "core/format.h"
#include "core/string_list.h"

namespace tarvo::core {

const TClassInfo& TCollectionItem::StaticClassInfo() noexcept {
  static const TClassInfo info{"TCollectionItem", &ClassInfoOf<TPersistent>(), {}};
  return info;
}

const TClassInfo& TCollection::StaticClassInfo() noexcept {
  static const TClassInfo info{"TCollection", &ClassInfoOf<TPersistent>(), {}};
  return info;
}

TCollectionItem::TCollectionItem(TCollection* collection) { SetCollection(collection); }

TCollectionItem::~TCollectionItem() {
  if (FCollection) FCollection->RemoveItem(this);
}

void TCollectionItem::SetCollection(TCollection* collection) {
  if (collection == FCollection) return;
  if (FCollection) FCollection->RemoveItem(this);
  if (collection) collection->InsertItem(this);
}

int TCollectionItem::Index() const {
  if (!FCollection) return -1;
  auto& items = FCollection->FItems;
  auto it = std::find(items.begin(), items.end(), this);
  return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

TCollection::TCollection(TItemFactory factory) : FFactory(std::move(factory)) {
  if (!FFactory) FFactory = [](TCollection* c) { return new TCollectionItem(c); };
}

TCollection::~TCollection() { Clear(); }

TCollectionItem* TCollection::Add() {
  TCollectionItem* item = FFactory(this);
  if (item && item->FCollection != this) item->SetCollection(this);
  return item;
}

TCollectionItem* TCollection::Items(int index) const {
  if (index < 0 || index >= Count())
    throw EStringListError(Format(LoadResString(SListIndexError), {std::to_string(index)}));
  return FItems[static_cast<std::size_t>(index)];
}

void TCollection::Delete(int index) { delete Items(index); }

void TCollection::Clear() {
  while (!FItems.empty()) delete FItems.back();
}

void TCollection::InsertItem(TCollectionItem* item) {
  FItems.push_back(item);
  item->FCollection = this;
}

void TCollection::RemoveItem(TCollectionItem* item) noexcept {
  auto it = std::find(FItems.begin(), FItems.end(), item);
  if (it != FItems.end()) FItems.erase(it);
  item->FCollection = nullptr;
}

}  // namespace tarvo::core
