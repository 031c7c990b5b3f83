// Case rules for identifiers (component, class and property names): ASCII only, so that
// a name compares the same whatever the user's locale is.
#pragma once

#include <string>
#include <string_view>

namespace tarvo::core {

std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
bool SameText(std::string_view a, std::string_view b) noexcept;
// Orders like SameText compares: a strict weak order that ignores ASCII case.
bool LessText(std::string_view a, std::string_view b) noexcept;

// For maps and sets keyed by names that must ignore case.
struct TLessText {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept { return LessText(a, b); }
};

}  // namespace tarvo::core
