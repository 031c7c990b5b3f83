// International host names through libidn2.
#include <idn2.h>

#include <algorithm>

#include "net/net_host_name.h"
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

}  // namespace tarvo::net
