// Published properties: helpers that turn a class's getter/setter pair into a property
// table entry, and generic access by property name along the class ancestry.
//
//   const TClassInfo& TButton::StaticClassInfo() noexcept {
//     static const TPropInfo props[] = {
//         TextProperty<&TButton::Caption, &TButton::SetCaption>("Caption"),
//         StringsProperty<&TButton::Items>("Items"),
//     };
//     static const TClassInfo info{"TButton", &ClassInfoOf<TControl>(), props};
//     return info;
//   }
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "core/class_info.h"
#include "core/exception.h"
#include "core/persistent.h"
#include "core/string_list.h"

namespace tarvo::core {

// Access by a name the class does not publish, or of the wrong kind, or writing a
// read-only property.
class EPropertyError : public Exception {
public:
  using Exception::Exception;
};

namespace detail {
template <class M>
struct MemberOf;
template <class C, class R>
struct MemberOf<R (C::*)() const> {
  using Class = C;
};
template <class C, class R>
struct MemberOf<R (C::*)() const noexcept> {
  using Class = C;
};
template <class C, class R>
struct MemberOf<R C::*> {
  using Class = C;
};
}  // namespace detail

// A text property read through Get and, when given, written through Set.
template <auto Get, auto Set = nullptr>
constexpr TPropInfo TextProperty(const char* name) {
  using C = typename detail::MemberOf<decltype(Get)>::Class;
  TPropInfo p{name, TPropKind::pkText};
  p.GetText = [](const TPersistent& o) -> std::string { return (static_cast<const C&>(o).*Get)(); };
  if constexpr (!std::is_same_v<decltype(Set), std::nullptr_t>)
    p.SetText = [](TPersistent& o, const std::string& v) { (static_cast<C&>(o).*Set)(v); };
  return p;
}

// A string list the instance owns; Get returns a TStrings pointer. Writing assigns the
// lines of the given list.
template <auto Get>
constexpr TPropInfo StringsProperty(const char* name) {
  using C = typename detail::MemberOf<decltype(Get)>::Class;
  TPropInfo p{name, TPropKind::pkStrings};
  p.GetObject = [](const TPersistent& o) -> TPersistent* { return (static_cast<const C&>(o).*Get)(); };
  p.SetObject = [](TPersistent& o, TPersistent* v) {
    TStrings* list = (static_cast<const C&>(o).*Get)();
    if (list && v) list->Assign(*v);
    else if (list) list->Clear();
  };
  return p;
}

// A reference to another persistent object; Set receives the new object (or none).
template <auto Get, auto Set = nullptr>
constexpr TPropInfo ObjectProperty(const char* name) {
  using C = typename detail::MemberOf<decltype(Get)>::Class;
  TPropInfo p{name, TPropKind::pkObject};
  p.GetObject = [](const TPersistent& o) -> TPersistent* { return (static_cast<const C&>(o).*Get)(); };
  if constexpr (!std::is_same_v<decltype(Set), std::nullptr_t>)
    p.SetObject = [](TPersistent& o, TPersistent* v) { (static_cast<C&>(o).*Set)(v); };
  return p;
}

// Every published property of a class, ancestors' first; a class that publishes a name
// again replaces its ancestor's entry.
std::vector<const TPropInfo*> GetPropList(const TClassInfo& cls);
// The property of that name (any case), or none.
const TPropInfo* GetPropInfo(const TClassInfo& cls, std::string_view name);

// Access by name. Text access to a string list property reads and writes its Text.
std::string GetStrProp(const TPersistent& obj, std::string_view name);
void SetStrProp(TPersistent& obj, std::string_view name, const std::string& value);
TPersistent* GetObjectProp(const TPersistent& obj, std::string_view name);
void SetObjectProp(TPersistent& obj, std::string_view name, TPersistent* value);

}  // namespace tarvo::core
