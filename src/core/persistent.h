// TPersistent: the root of every object the component model can describe, copy (Assign)
// and walk by its published properties.
#pragma once

#include <string>
#include <string_view>

#include "core/class_info.h"
#include "core/exception.h"

// Declares the class record of a persistent class; define StaticClassInfo() in the .cpp
// with the class name, the parent's record and the published property table.
#define TARVO_PERSISTENT_CLASS(cls)                                      \
public:                                                                  \
  static const ::tarvo::core::TClassInfo& StaticClassInfo() noexcept;    \
  const ::tarvo::core::TClassInfo& ClassInfo() const noexcept override { \
    return cls::StaticClassInfo();                                       \
  }

namespace tarvo::core {

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

  static const TClassInfo& StaticClassInfo() noexcept;
  virtual const TClassInfo& ClassInfo() const noexcept { return StaticClassInfo(); }
  std::string ClassName() const { return ClassInfo().Name; }
  bool InheritsFrom(const TClassInfo& ancestor) const noexcept { return ClassInfo().InheritsFrom(ancestor); }
  bool InheritsFrom(std::string_view className) const noexcept { return ClassInfo().InheritsFrom(className); }

  // Copies the content of source; throws EConvertError when neither side knows how.
  virtual void Assign(const TPersistent& source);

protected:
  // Gives the source a chance to copy itself into a destination class it knows.
  virtual void AssignTo(TPersistent& dest) const;
};

}  // namespace tarvo::core
