// Class identity for the component model: every persistent class has one static record
// with its name, its parent's record and the properties it publishes. Class rules such as
// "ignore every TFont" test ancestry through these records, and code that knows nothing
// about a class can still read and write its published properties by name.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace tarvo::core {

class TPersistent;

enum class TPropKind {
  pkText,     // a text value (captions, hints, texts)
  pkStrings,  // a string list object (TStrings) owned by the instance
  pkObject,   // a reference to another persistent object
};

// One published property. The accessors are plain functions (usually captureless lambdas
// made by the helpers in published.h), so a table of them costs nothing per instance.
struct TPropInfo {
  const char* Name;
  TPropKind Kind;
  std::string (*GetText)(const TPersistent&) = nullptr;            // pkText
  void (*SetText)(TPersistent&, const std::string&) = nullptr;     // pkText; none: read-only
  TPersistent* (*GetObject)(const TPersistent&) = nullptr;         // pkStrings, pkObject
  void (*SetObject)(TPersistent&, TPersistent*) = nullptr;         // none: read-only

  bool Writable() const noexcept { return Kind == TPropKind::pkText ? SetText != nullptr : SetObject != nullptr; }
};

struct TClassInfo {
  const char* Name;
  const TClassInfo* Parent;          // none for TPersistent
  std::span<const TPropInfo> Props;  // declared by this class itself

  // True for the class itself and every descendant of the given class.
  bool InheritsFrom(const TClassInfo& ancestor) const noexcept;
  bool InheritsFrom(std::string_view className) const noexcept;
};

}  // namespace tarvo::core
