// The socket operations common to BSD-style interfaces, over the raw calls.
#pragma once

#include "net/net_stack.h"

namespace tarvo::net {

// Operations shared by BSD-style socket interfaces.
class TNetStackBSDBase : public TNetStack {
public:
  TNetStackSocketHandle NewSocketHandle(int socketType, int protocol, TNetIPVersion version,
                                        bool overlapped = false) override;
  int Receive(TNetStackSocketHandle handle, TNetBytes& buffer) override;
  int Send(TNetStackSocketHandle handle, const TNetBytes& bytes, int size = -1, int offset = 0) override;
  int GetSocketOption(TNetStackSocketHandle handle, int level, int option) override;
  void SetSocketOption(TNetStackSocketHandle handle, int level, int option, int value) override;
  void SetBlocking(TNetStackSocketHandle handle, bool blocking) override;
  bool WouldBlock(int result) override;
  bool CheckIPVersionSupport(TNetIPVersion version) override;

  // Raw calls: return -1 on failure with the error in WSGetLastError.
  int WSCloseSocket(TNetStackSocketHandle handle);
  int WSRecv(TNetStackSocketHandle handle, void* buffer, int length);
  int WSSend(TNetStackSocketHandle handle, const void* buffer, int length);
  int WSShutdown(TNetStackSocketHandle handle, int how);
};

}  // namespace tarvo::net
