// The socket operations common to BSD-style interfaces (POSIX sockets and Winsock), over
// the raw calls; the system classes add what differs: start-up, error numbers, keep-alive.
#pragma once

#include "net/net_stack.h"

namespace tarvo::net {

// Operations shared by BSD-style socket interfaces.
class TNetStackBSDBase : public TNetStack {
public:
  std::string LookupHostAddress(const std::string& name, TNetIPVersion version) override;
  TNetStackSocketHandle NewSocketHandle(int socketType, int protocol, TNetIPVersion version,
                                        bool overlapped = false) override;
  void Connect(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version, std::uint16_t port) override;
  bool ConnectWithTimeout(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version,
                          std::uint16_t port, int timeoutMS) override;
  void Bind(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version, std::uint16_t port) override;
  void Disconnect(TNetStackSocketHandle handle) override;
  void GetSocketName(TNetStackSocketHandle handle, std::string& ip, std::uint16_t& port, TNetIPVersion& version) override;
  void GetPeerName(TNetStackSocketHandle handle, std::string& ip, std::uint16_t& port, TNetIPVersion& version) override;
  int Receive(TNetStackSocketHandle handle, TNetBytes& buffer) override;
  int Send(TNetStackSocketHandle handle, const TNetBytes& bytes, int size = -1, int offset = 0) override;
  int GetSocketOption(TNetStackSocketHandle handle, int level, int option) override;
  void SetSocketOption(TNetStackSocketHandle handle, int level, int option, int value) override;
  void SetBlocking(TNetStackSocketHandle handle, bool blocking) override;
  bool WouldBlock(int result) override;
  bool SupportsIPv6() override;
  bool CheckIPVersionSupport(TNetIPVersion version) override;

  // Raw calls: return -1 on failure with the error in WSGetLastError.
  int WSCloseSocket(TNetStackSocketHandle handle);
  int WSRecv(TNetStackSocketHandle handle, void* buffer, int length);
  int WSSend(TNetStackSocketHandle handle, const void* buffer, int length);
  int WSShutdown(TNetStackSocketHandle handle, int how);

private:
  // The socket error SO_ERROR holds after a connect ended (0: connected).
  int ConnectError(TNetStackSocketHandle handle);
};

}  // namespace tarvo::net
