// The socket stack of Windows: Winsock 2, started once per process by the first stack and
// cleaned up when the process ends.
#pragma once

#include "net/net_stack_bsd.h"

namespace tarvo::net {

class TNetStackWindows : public TNetStackBSDBase {
public:
  // The first construction in the process starts Winsock 2.2; raises
  // ENetStackInitializationFailed "Error on loading Winsock2 library (WS2_32.DLL): <text>"
  // when it cannot be started.
  TNetStackWindows();
  // SIO_KEEPALIVE_VALS with the times in milliseconds; disabled: SO_KEEPALIVE off.
  void SetKeepAliveValues(TNetStackSocketHandle handle, bool enabled, int timeMS, int intervalMS) override;
  int WSGetLastError() override;
};

}  // namespace tarvo::net
