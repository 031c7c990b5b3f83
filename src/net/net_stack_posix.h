// The socket stack of POSIX systems: addresses, name service, connect and keep-alive.
#pragma once

#include "net/net_stack_bsd.h"

namespace tarvo::net {

// The POSIX binding.
class TNetStackPosix : public TNetStackBSDBase {
public:
  TNetStackPosix();
  std::string LookupHostAddress(const std::string& name, TNetIPVersion version) override;
  void Connect(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version, std::uint16_t port) override;
  bool ConnectWithTimeout(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version,
                          std::uint16_t port, int timeoutMS) override;
  void Bind(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version, std::uint16_t port) override;
  void Disconnect(TNetStackSocketHandle handle) override;
  void GetSocketName(TNetStackSocketHandle handle, std::string& ip, std::uint16_t& port, TNetIPVersion& version) override;
  void GetPeerName(TNetStackSocketHandle handle, std::string& ip, std::uint16_t& port, TNetIPVersion& version) override;
  void SetKeepAliveValues(TNetStackSocketHandle handle, bool enabled, int timeMS, int intervalMS) override;
  bool SupportsIPv6() override;
  int WSGetLastError() override;
  std::string WSTranslateSocketErrorMsg(int code) override;
};

}  // namespace tarvo::net
