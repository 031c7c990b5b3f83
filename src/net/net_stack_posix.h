// The socket stack of POSIX systems: errno values as socket error numbers, keep-alive in
// seconds.
#pragma once

#include "net/net_stack_bsd.h"

namespace tarvo::net {

class TNetStackPosix : public TNetStackBSDBase {
public:
  void SetKeepAliveValues(TNetStackSocketHandle handle, bool enabled, int timeMS, int intervalMS) override;
  int WSGetLastError() override;
};

}  // namespace tarvo::net
