#include "net/net_stack_bsd.h"

#include <algorithm>

#include "core/byte_span.h"
#include "net/net_socket_errors.h"

namespace tarvo::net {

int TNetStackBSDBase::Receive(TNetStackSocketHandle handle, TNetBytes& buffer) {
  int length = static_cast<int>(std::min<std::size_t>(buffer.size(), 0x7FFFFFFF));
  return CheckForSocketError(WSRecv(handle, buffer.data(), length));
}

int TNetStackBSDBase::Send(TNetStackSocketHandle handle, const TNetBytes& bytes, int size, int offset) {
  const core::TByteSpan span = core::ClampSpan(bytes.size(), size, offset);
  if (span.Count == 0) return 0;
  const int count = static_cast<int>(std::min<std::size_t>(span.Count, 0x7FFFFFFF));
  return CheckForSocketError(WSSend(handle, bytes.data() + span.Offset, count));
}

bool TNetStackBSDBase::WouldBlock(int result) {
  return CheckForSocketError(result, {Net_WSAEWOULDBLOCK}) == Net_WSAEWOULDBLOCK;
}

}  // namespace tarvo::net
