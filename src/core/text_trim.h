// Trimming the ends of a text. Two sets of characters, because two kinds of text are
// trimmed: protocol lines, header values and catalog fields lose space and every control
// character up to 32 (Trim); fields a person types or edits (settings files, masks, a port
// in a dialog) lose only spaces and tabs (TrimBlanks), so that any other character they
// hold stays part of the value.
#pragma once

#include <string_view>

namespace tarvo::core {

constexpr bool IsBlank(char c) noexcept { return c == ' ' || c == '\t'; }
constexpr bool IsBlankOrControl(char c) noexcept { return static_cast<unsigned char>(c) <= ' '; }

constexpr std::string_view TrimRightBlanks(std::string_view s) noexcept {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

constexpr std::string_view TrimBlanks(std::string_view s) noexcept {
  s = TrimRightBlanks(s);
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

constexpr std::string_view TrimRight(std::string_view s) noexcept {
  while (!s.empty() && IsBlankOrControl(s.back())) s.remove_suffix(1);
  return s;
}

constexpr std::string_view Trim(std::string_view s) noexcept {
  s = TrimRight(s);
  while (!s.empty() && IsBlankOrControl(s.front())) s.remove_prefix(1);
  return s;
}

}  // namespace tarvo::core
