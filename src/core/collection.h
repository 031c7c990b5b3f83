// Collections: an ordered list of items of one item class, owned by the collection (a
// list view's columns, a status bar's panels). Items are persistent objects, so their
// published properties are walked like those of components.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/persistent.h"

namespace tarvo::core {

class TCollection;

class TCollectionItem : public TPersistent {
  TARVO_PERSISTENT_CLASS(TCollectionItem)
public:
  // Joins the collection (which then owns the item) when one is given.
  explicit TCollectionItem(TCollection* collection = nullptr);
  ~TCollectionItem() override;

  TCollection* Collection() const noexcept { return FCollection; }
  void SetCollection(TCollection* collection);
  int Index() const;

private:
  friend class TCollection;
  TCollection* FCollection = nullptr;
};

class TCollection : public TPersistent {
  TARVO_PERSISTENT_CLASS(TCollection)
public:
  // Makes a new item inside the given collection (the item adds itself).
  using TItemFactory = std::function<TCollectionItem*(TCollection*)>;

  explicit TCollection(TItemFactory factory = {});
  ~TCollection() override;

  // A new item of the collection's item class, appended.
  TCollectionItem* Add();
  int Count() const noexcept { return static_cast<int>(FItems.size()); }
  TCollectionItem* Items(int index) const;
  void Delete(int index);
  void Clear();

private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* item);
  void RemoveItem(TCollectionItem* item) noexcept;

  TItemFactory FFactory;
  std::vector<TCollectionItem*> FItems;
};

}  // namespace tarvo::core
