// International host names through IdnToAscii.
#include <windows.h>

#include <algorithm>

#include "core/utf16.h"
#include "net/net_host_name.h"
#include "net/net_socket_errors.h"

namespace tarvo::net {

std::string NetHostNameToASCII(const std::string& name) {
  bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return name;
  if (name.find('\0') != std::string::npos) RaiseSocketErrorCode(Net_WSAHOST_NOT_FOUND);
  const std::wstring wide = core::Utf8ToWide(name);
  // Ill-formed UTF-8 has become U+FFFD, which IdnToAscii refuses like any other
  // character a host name cannot hold.
  const int wideLength = static_cast<int>(wide.size());
  int needed = ::IdnToAscii(0, wide.c_str(), wideLength, nullptr, 0);
  if (needed <= 0) RaiseSocketErrorCode(Net_WSAHOST_NOT_FOUND);
  std::wstring converted(static_cast<std::size_t>(needed), L'\0');
  int written = ::IdnToAscii(0, wide.c_str(), wideLength, converted.data(), needed);
  if (written <= 0) RaiseSocketErrorCode(Net_WSAHOST_NOT_FOUND);
  converted.resize(static_cast<std::size_t>(written));
  return core::WideToUtf8(converted);
}

}  // namespace tarvo::net
