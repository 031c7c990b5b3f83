#include "http/cookie_public_suffix.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "cookie_public_suffix_table.inc"

namespace tarvo::http {

namespace {

std::string_view RuleAt(std::size_t i) {
  const char* start = kPublicSuffixText + kPublicSuffixOffsets[i];
  const char* end = start;
  while (*end != '\n') ++end;
  return {start, static_cast<std::size_t>(end - start)};
}

bool HasRule(std::string_view rule) {
  const std::size_t n = std::size(kPublicSuffixOffsets);
  std::size_t lo = 0, hi = n;
  while (lo < hi) {
    std::size_t mid = lo + (hi - lo) / 2;
    if (RuleAt(mid) < rule)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo < n && RuleAt(lo) == rule;
}

}  // namespace

bool IsPublicSuffix(std::string_view domain) {
  while (!domain.empty() && domain.back() == '.') domain.remove_suffix(1);
  if (domain.empty()) return false;
  if (HasRule("!" + std::string(domain))) return false;
  if (HasRule(domain)) return true;
  std::size_t dot = domain.find('.');
  return dot != std::string_view::npos && HasRule("*" + std::string(domain.substr(dot)));
}

}  // namespace tarvo::http
