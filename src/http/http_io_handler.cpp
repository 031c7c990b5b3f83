#include "http/http_io_handler.h"

#include "net/net_exception.h"

namespace tarvo::http {

const core::TClassInfo& TNetHTTPIOHandler::StaticClassInfo() noexcept {
  static const core::TClassInfo info{"TNetHTTPIOHandler", &core::ClassInfoOf<net::TNetIOHandlerStack>(), {}};
  return info;
}

int TNetHTTPIOHandler::ReceiveDirect(std::size_t maxBytes) {
  if (Intercept() != nullptr) return -1;
  CheckForDisconnect(false, false);
  if (!HasSource() || !Opened()) return 0;
  int timeout = ReadTimeout();
  if (timeout == -1 || timeout == 0) timeout = net::NetTimeoutInfinite;
  if (!Readable(timeout)) throw net::ENetReadTimeout();
  // The block keeps its capacity between receives; only its length follows the request.
  if (FDirect.capacity() < maxBytes) FDirect.reserve(maxBytes);
  FDirect.resize(maxBytes);
  int count = ReadFromSocket(FDirect);
  if (count < 0) {
    int code = FilterError(count);
    (void)code;
    SetClosedGracefully(true);
    Close();
    return 0;
  }
  if (count == 0) {
    SetClosedGracefully(true);
    CheckForDisconnect(false, false);
    return 0;
  }
  DoWork(net::wmRead, count);
  return count;
}

}  // namespace tarvo::http
