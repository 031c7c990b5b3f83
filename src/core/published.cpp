#include "core/published.h"

#include "core/component_strings.h"
#include "core/format.h"
#include "core/text_case.h"

namespace tarvo::core {

namespace {

const TPropInfo& Need(const TPersistent& obj, std::string_view name) {
  const TPropInfo* p = GetPropInfo(obj.ClassInfo(), name);
  if (!p) throw EPropertyError(Format(LoadResString(SUnknownProperty), {name}));
  return *p;
}

[[noreturn]] void ReadOnly(std::string_view name) {
  throw EPropertyError(Format(LoadResString(SPropertyReadOnly), {name}));
}

[[noreturn]] void WrongKind(std::string_view name) {
  throw EPropertyError(Format(LoadResString(SPropertyKind), {name}));
}

}  // namespace

std::vector<const TPropInfo*> GetPropList(const TClassInfo& cls) {
  std::vector<const TClassInfo*> chain;
  for (const TClassInfo* c = &cls; c; c = c->Parent) chain.push_back(c);
  std::vector<const TPropInfo*> list;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    for (const TPropInfo& p : (*it)->Props) {
      bool replaced = false;
      for (auto& q : list)
        if (SameText(q->Name, p.Name)) {
          q = &p;
          replaced = true;
          break;
        }
      if (!replaced) list.push_back(&p);
    }
  }
  return list;
}

const TPropInfo* GetPropInfo(const TClassInfo& cls, std::string_view name) {
  for (const TClassInfo* c = &cls; c; c = c->Parent)
    for (const TPropInfo& p : c->Props)
      if (SameText(p.Name, name)) return &p;
  return nullptr;
}

std::string GetStrProp(const TPersistent& obj, std::string_view name) {
  const TPropInfo& p = Need(obj, name);
  if (p.Kind == TPropKind::pkText) return p.GetText(obj);
  if (p.Kind == TPropKind::pkStrings) {
    auto* list = dynamic_cast<TStrings*>(p.GetObject(obj));
    return list ? list->Text() : std::string();
  }
  WrongKind(name);
}

void SetStrProp(TPersistent& obj, std::string_view name, const std::string& value) {
  const TPropInfo& p = Need(obj, name);
  if (p.Kind == TPropKind::pkText) {
    if (!p.SetText) ReadOnly(name);
    p.SetText(obj, value);
    return;
  }
  if (p.Kind == TPropKind::pkStrings) {
    auto* list = dynamic_cast<TStrings*>(p.GetObject(obj));
    if (!list) ReadOnly(name);
    list->SetText(value);
    return;
  }
  WrongKind(name);
}

TPersistent* GetObjectProp(const TPersistent& obj, std::string_view name) {
  const TPropInfo& p = Need(obj, name);
  if (p.Kind == TPropKind::pkText) WrongKind(name);
  return p.GetObject(obj);
}

void SetObjectProp(TPersistent& obj, std::string_view name, TPersistent* value) {
  const TPropInfo& p = Need(obj, name);
  if (p.Kind == TPropKind::pkText) WrongKind(name);
  if (!p.SetObject) ReadOnly(name);
  p.SetObject(obj, value);
}

}  // namespace tarvo::core
