// The socket stack of Windows: Winsock 2, started once per process by the first stack and
// cleaned up when the process ends.
#pragma once

#include "net/net_stack_bsd.h"

namespace tarvo::net {

// The Winsock binding.
class TNetStackWindows : public TNetStackBSDBase {
public:
  // The first construction in the process starts Winsock 2.2; raises
  // ENetStackInitializationFailed "Error on loading Winsock2 library (WS2_32.DLL): <text>"
  // when it cannot be started.
  TNetStackWindows();
  std::string LookupHostAddress(const std::string& name, TNetIPVersion version) override;
  void Connect(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version, std::uint16_t port) override;
  bool ConnectWithTimeout(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version,
                          std::uint16_t port, int timeoutMS) override;
  void Bind(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version, std::uint16_t port) override;
  void Disconnect(TNetStackSocketHandle handle) override;
  void GetSocketName(TNetStackSocketHandle handle, std::string& ip, std::uint16_t& port, TNetIPVersion& version) override;
  void GetPeerName(TNetStackSocketHandle handle, std::string& ip, std::uint16_t& port, TNetIPVersion& version) override;
  // SIO_KEEPALIVE_VALS with the times in milliseconds; disabled: SO_KEEPALIVE off.
  void SetKeepAliveValues(TNetStackSocketHandle handle, bool enabled, int timeMS, int intervalMS) override;
  bool SupportsIPv6() override;
  int WSGetLastError() override;
};

}  // namespace tarvo::net
