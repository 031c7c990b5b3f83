// A connection intercept: an optional filter that sees (and may rewrite) every block the
// I/O handler receives or sends, and is told when the connection is made and ended.
#pragma once

#include "net/net_types.h"

namespace tarvo::net {

class TNetConnectionIntercept {
public:
  virtual ~TNetConnectionIntercept() = default;
  virtual void Connect() {}
  virtual void Disconnect() {}
  // May change the block in place, including its length.
  virtual void Receive(TNetBytes& /*buffer*/) {}
  virtual void Send(TNetBytes& /*buffer*/) {}
};

}  // namespace tarvo::net
