// TPersistent: the root of every object the component model can describe, copy (Assign)
// and walk by its published properties.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "core/class_info.h"
#include "core/exception.h"

// Declares the class record of a persistent class; define StaticClassInfo() in the .cpp
// with the class name, the parent's record (ClassInfoOf<Parent>()) and the published
// property table. Every class whose record is asked for must declare its own: a record
// that silently fell through to the parent's would let a rule about the class act on the
// parent and all its other descendants.
#define TARVO_PERSISTENT_CLASS(cls)                                      \
private:                                                                 \
  friend struct ::tarvo::core::TClassRecordAccess;                       \
  using TClassRecordOwner = cls;                                         \
  static const ::tarvo::core::TClassInfo& StaticClassInfo() noexcept;    \
                                                                         \
public:                                                                  \
  const ::tarvo::core::TClassInfo& ClassInfo() const noexcept override { \
    return cls::StaticClassInfo();                                       \
  }

namespace tarvo::core {

// Reaches the records, which classes keep private so that no one takes a parent's record
// for a class that has none (TDerived::StaticClassInfo() would compile and answer the
// parent's).
struct TClassRecordAccess {
  template <class T>
  static constexpr bool HasOwnRecord = std::is_same_v<typename T::TClassRecordOwner, T>;
  template <class T>
  static const TClassInfo& Of() noexcept {
    return T::StaticClassInfo();
  }
};

// The class record of T. A class without a TARVO_PERSISTENT_CLASS line of its own does
// not compile here.
template <class T>
const TClassInfo& ClassInfoOf() noexcept {
  static_assert(TClassRecordAccess::HasOwnRecord<T>,
                "this class has no class record of its own: add TARVO_PERSISTENT_CLASS(<class>) and define "
                "its StaticClassInfo()");
  return TClassRecordAccess::Of<T>();
}

// An Assign between classes that cannot take each other's content.
class EConvertError : public Exception {
public:
  using Exception::Exception;
};

class TPersistent {
public:
  TPersistent() = default;
  TPersistent(const TPersistent&) = delete;
  TPersistent& operator=(const TPersistent&) = delete;
  virtual ~TPersistent() = default;

  virtual const TClassInfo& ClassInfo() const noexcept { return StaticClassInfo(); }
  std::string ClassName() const { return ClassInfo().Name; }
  bool InheritsFrom(const TClassInfo& ancestor) const noexcept { return ClassInfo().InheritsFrom(ancestor); }
  bool InheritsFrom(std::string_view className) const noexcept { return ClassInfo().InheritsFrom(className); }

  // Copies the content of source; throws EConvertError when neither side knows how.
  virtual void Assign(const TPersistent& source);

  // Watches this object's lifetime: the answer expires when the object is destroyed. Lets
  // a holder of a plain pointer (a collection item, a string list) notice that it dangles.
  std::weak_ptr<const void> Lifetime() const;

protected:
  // Gives the source a chance to copy itself into a destination class it knows.
  virtual void AssignTo(TPersistent& dest) const;

private:
  friend struct TClassRecordAccess;
  using TClassRecordOwner = TPersistent;
  static const TClassInfo& StaticClassInfo() noexcept;

  mutable std::shared_ptr<const void> FLifetime;  // made on the first request
};

}  // namespace tarvo::core
