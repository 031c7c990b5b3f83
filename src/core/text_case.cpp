#include "core/text_case.h"

namespace tarvo::core {

namespace {
char Up(char c) noexcept { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char Low(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

std::string UpperCase(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = Up(c);
  return r;
}

std::string LowerCase(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = Low(c);
  return r;
}

bool SameText(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Up(a[i]) != Up(b[i])) return false;
  return true;
}

bool LessText(std::string_view a, std::string_view b) noexcept {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(Up(a[i]));
    const auto y = static_cast<unsigned char>(Up(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

}  // namespace tarvo::core
