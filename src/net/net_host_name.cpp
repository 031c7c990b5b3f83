#include "net/net_host_name.h"

#include <idn2.h>

#include <algorithm>

#include "core/text_case.h"
#include "net/net_socket_errors.h"

namespace tarvo::net {

std::string NetHostNameToASCII(const std::string& name) {
  bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return name;
  if (name.find('\0') != std::string::npos) RaiseSocketErrorCode(Net_WSAHOST_NOT_FOUND);
  char* converted = nullptr;
  int rc = idn2_to_ascii_8z(name.c_str(), &converted, IDN2_NONTRANSITIONAL);
  if (rc != IDN2_OK) {
    converted = nullptr;
    rc = idn2_to_ascii_8z(name.c_str(), &converted, IDN2_TRANSITIONAL);
  }
  if (rc != IDN2_OK || converted == nullptr) RaiseSocketErrorCode(Net_WSAHOST_NOT_FOUND);
  std::string result(converted);
  idn2_free(converted);
  return result;
}

bool NetIsReservedInvalidName(std::string_view name) {
  if (!name.empty() && name.back() == '.') name.remove_suffix(1);
  constexpr std::string_view tld = "invalid";
  if (name.size() < tld.size()) return false;
  std::string_view tail = name.substr(name.size() - tld.size());
  if (!core::SameText(tail, tld)) return false;
  return name.size() == tld.size() || name[name.size() - tld.size() - 1] == '.';
}

}  // namespace tarvo::net
