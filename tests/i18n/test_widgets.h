// A few small component classes shaped like the window toolkit's, publishing texts, string
// lists, object references and collections through the property table.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "core/collection.h"
#include "core/component.h"
#include "core/published.h"
#include "core/string_list.h"

namespace testwidgets {

using namespace tarvo::core;

class TFont : public TPersistent {
  TARVO_PERSISTENT_CLASS(TFont)
public:
  const std::string& Name() const { return FName; }
  void SetName(const std::string& v) { FName = v; }

private:
  std::string FName = "Tahoma";
};

class TControl : public TComponent {
  TARVO_PERSISTENT_CLASS(TControl)
public:
  using TComponent::TComponent;
  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& v) {
    ++CaptionWrites;
    if (FailOnWrite) throw std::runtime_error("caption is locked");
    FCaption = v;
  }
  const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& v) { FHint = v; }
  const std::string& HelpKeyword() const { return FHelpKeyword; }
  void SetHelpKeyword(const std::string& v) { FHelpKeyword = v; }
  std::string Version() const { return "Versie 1"; }  // read-only
  TFont* Font() const { return FFont.get(); }

  int CaptionWrites = 0;
  bool FailOnWrite = false;

private:
  std::string FCaption, FHint, FHelpKeyword;
  std::unique_ptr<TFont> FFont = std::make_unique<TFont>();
};

class TListBox : public TControl {
  TARVO_PERSISTENT_CLASS(TListBox)
public:
  using TControl::TControl;
  TStringList* Items() const { return FItems.get(); }

private:
  std::unique_ptr<TStringList> FItems = std::make_unique<TStringList>();
};

class TNotebook : public TControl {
  TARVO_PERSISTENT_CLASS(TNotebook)
public:
  using TControl::TControl;
  TStringList* Pages() const { return FPages.get(); }

private:
  std::unique_ptr<TStringList> FPages = std::make_unique<TStringList>();
};

class TColumn : public TCollectionItem {
  TARVO_PERSISTENT_CLASS(TColumn)
public:
  using TCollectionItem::TCollectionItem;
  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& v) { FCaption = v; }

private:
  std::string FCaption;
};

class TListView : public TControl {
  TARVO_PERSISTENT_CLASS(TListView)
public:
  using TControl::TControl;
  TCollection* Columns() const { return FColumns.get(); }
  TControl* Buddy() const { return FBuddy; }
  void SetBuddy(TPersistent* v) { FBuddy = dynamic_cast<TControl*>(v); }

private:
  std::unique_ptr<TCollection> FColumns =
      std::make_unique<TCollection>([](TCollection* c) { return new TColumn(c); });
  TControl* FBuddy = nullptr;
};

// A drop-down list: like a real one it loses its selection when its items are cleared or
// reordered, and keeps it when an item's text changes.
class TComboBox : public TControl {
  TARVO_PERSISTENT_CLASS(TComboBox)
public:
  using TControl::TControl;
  TStringList* Items() const { return FItems.get(); }
  int ItemIndex = -1;

private:
  struct TItems : TStringList {
    TComboBox* Combo;
    explicit TItems(TComboBox* combo) : Combo(combo) {}
    void Insert(int index, const std::string& s) override {
      Combo->ItemIndex = -1;
      TStringList::Insert(index, s);
    }
    void Delete(int index) override {
      Combo->ItemIndex = -1;
      TStringList::Delete(index);
    }
    void Clear() override {
      Combo->ItemIndex = -1;
      TStringList::Clear();
    }
  };
  std::unique_ptr<TItems> FItems = std::make_unique<TItems>(this);
};

// A text field the user types into.
class TEdit : public TControl {
  TARVO_PERSISTENT_CLASS(TEdit)
public:
  using TControl::TControl;
  const std::string& Text() const { return FText; }
  void SetText(const std::string& v) { FText = v; }

private:
  std::string FText;
};

inline const TClassInfo& TComboBox::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {StringsProperty<&TComboBox::Items>("Items")};
  static const TClassInfo info{"TComboBox", &ClassInfoOf<TControl>(), props};
  return info;
}

inline const TClassInfo& TEdit::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {TextProperty<&TEdit::Text, &TEdit::SetText>("Text")};
  static const TClassInfo info{"TEdit", &ClassInfoOf<TControl>(), props};
  return info;
}

inline const TClassInfo& TFont::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {TextProperty<&TFont::Name, &TFont::SetName>("Name")};
  static const TClassInfo info{"TFont", &ClassInfoOf<TPersistent>(), props};
  return info;
}

inline const TClassInfo& TControl::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {
      TextProperty<&TControl::Caption, &TControl::SetCaption>("Caption"),
      TextProperty<&TControl::Hint, &TControl::SetHint>("Hint"),
      TextProperty<&TControl::HelpKeyword, &TControl::SetHelpKeyword>("HelpKeyword"),
      TextProperty<&TControl::Version>("Version"),
      ObjectProperty<&TControl::Font>("Font"),
  };
  static const TClassInfo info{"TControl", &ClassInfoOf<TComponent>(), props};
  return info;
}

inline const TClassInfo& TListBox::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {StringsProperty<&TListBox::Items>("Items")};
  static const TClassInfo info{"TListBox", &ClassInfoOf<TControl>(), props};
  return info;
}

inline const TClassInfo& TNotebook::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {StringsProperty<&TNotebook::Pages>("Pages")};
  static const TClassInfo info{"TNotebook", &ClassInfoOf<TControl>(), props};
  return info;
}

inline const TClassInfo& TColumn::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {TextProperty<&TColumn::Caption, &TColumn::SetCaption>("Caption")};
  static const TClassInfo info{"TColumn", &ClassInfoOf<TCollectionItem>(), props};
  return info;
}

inline const TClassInfo& TListView::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {
      ObjectProperty<&TListView::Columns>("Columns"),
      ObjectProperty<&TListView::Buddy, &TListView::SetBuddy>("Buddy"),
  };
  static const TClassInfo info{"TListView", &ClassInfoOf<TControl>(), props};
  return info;
}

}  // namespace testwidgets
