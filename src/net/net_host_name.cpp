#include "net/net_host_name.h"

#include "core/text_case.h"

namespace tarvo::net {

bool NetIsReservedInvalidName(std::string_view name) {
  if (!name.empty() && name.back() == '.') name.remove_suffix(1);
  constexpr std::string_view tld = "invalid";
  if (name.size() < tld.size()) return false;
  std::string_view tail = name.substr(name.size() - tld.size());
  if (!core::SameText(tail, tld)) return false;
  return name.size() == tld.size() || name[name.size() - tld.size() - 1] == '.';
}

}  // namespace tarvo::net
