// The socket handler the HTTP client makes for itself. It adds one operation to the
// transport's stack handler: a receive straight into a reusable block, used for response
// bodies once the input buffer is empty. A body then moves from the socket to its
// destination with a single copy, as fast as the bytes arrive, instead of through a fresh
// receive array and the input buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/net_io_handler_socket.h"

namespace tarvo::http {

class TNetHTTPIOHandler : public net::TNetIOHandlerStack {
  TARVO_PERSISTENT_CLASS(TNetHTTPIOHandler)
public:
  using net::TNetIOHandlerStack::TNetIOHandlerStack;
  // Receives at most maxBytes (waiting as ReadTimeout says) into DirectData(). Returns the
  // count, 0 when the peer has closed, -1 when this handler cannot receive directly (an
  // intercept is attached) and the caller must use the input buffer. The bytes are
  // reported as read work. Raises ENetReadTimeout and socket errors like FillInputBuffer.
  int ReceiveDirect(std::size_t maxBytes);
  const std::uint8_t* DirectData() const noexcept { return FDirect.data(); }

private:
  net::TNetBytes FDirect;
};

}  // namespace tarvo::http
