#include "tls/tls_io_handler.h"

#include <algorithm>
#include <cstring>

#include "http/uri.h"
#include "net/net_exception.h"
#include "net/net_stack_bsd.h"
#include "tls/tls_errors.h"

namespace tarvo::tls {

const core::TClassInfo& TNetTLSIOHandler::StaticClassInfo() noexcept {
  static const core::TClassInfo info{"TNetTLSIOHandler", &core::ClassInfoOf<http::TNetHTTPIOHandler>(), {}};
  return info;
}

TNetTLSIOHandler::TNetTLSIOHandler(core::TComponent* owner) : http::TNetHTTPIOHandler(owner) {}

TNetTLSIOHandler::~TNetTLSIOHandler() { FSession.reset(); }

void TNetTLSIOHandler::SetPassThrough(bool passThrough) {
  FPassThrough = passThrough;
  // The end of pass-through on an open connection is the tunnel being up: the handshake
  // with the target runs inside it now. A connection that is encrypted stays so until it
  // closes, whatever is asked for the next one.
  if (!passThrough && !FSession && HasSource() && Opened()) StartSession();
}

void TNetTLSIOHandler::SetURIToCheck(const std::string& uri) {
  http::TNetURI parsed(uri);
  FHostToCheck = parsed.Host();
}

std::string TNetTLSIOHandler::Protocol() const { return FSession ? FSession->Protocol() : std::string(); }

void TNetTLSIOHandler::ConnectSocket() {
  FSession.reset();
  http::TNetHTTPIOHandler::ConnectSocket();
  if (!FPassThrough) StartSession();
}

void TNetTLSIOHandler::StartSession() {
  TTlsSettings settings;
  settings.HostName = FHostToCheck.empty() ? Host() : FHostToCheck;
  settings.CAFile = FCAFile;
  settings.Insecure = FInsecure;
  FSession.reset();
  std::unique_ptr<TTlsSession> session = TTlsSession::Create(*this, settings);
  session->Handshake();
  FSession = std::move(session);
  FReceivedSinceSend = true;
}

void TNetTLSIOHandler::Close() {
  if (FSession && HasSource()) FSession->Shutdown();
  FSession.reset();
  http::TNetHTTPIOHandler::Close();
}

bool TNetTLSIOHandler::Readable(int timeoutMS) {
  if (FSession && FSession->Pending() > 0) return true;
  return http::TNetHTTPIOHandler::Readable(timeoutMS);
}

int TNetTLSIOHandler::ReadFromSocket(net::TNetBytes& buffer) {
  if (!FSession) return http::TNetHTTPIOHandler::ReadFromSocket(buffer);
  try {
    const std::size_t n = FSession->Read(buffer.data(), buffer.size());
    if (n > 0) FReceivedSinceSend = true;
    return static_cast<int>(n);
  } catch (const ETlsTruncated&) {
    // A kept connection the server dropped while idle, before any byte of an answer: the
    // same as a plain connection that closed, which the client may resend on.
    if (!FReceivedSinceSend) return 0;
    throw;
  }
}

int TNetTLSIOHandler::WriteToSocket(const net::TNetBytes& bytes, int offset, int length) {
  if (!FSession) return http::TNetHTTPIOHandler::WriteToSocket(bytes, offset, length);
  FSession->Write(bytes.data() + offset, static_cast<std::size_t>(length));
  FReceivedSinceSend = false;
  return length;
}

void TNetTLSIOHandler::SendRaw(const std::uint8_t* data, std::size_t count) {
  auto* bsd = dynamic_cast<net::TNetStackBSDBase*>(&net::TNetStack::Get());
  while (count > 0) {
    const int chunk = static_cast<int>(std::min<std::size_t>(count, 1 << 30));
    int sent;
    if (bsd != nullptr) {
      sent = bsd->WSSend(Binding()->Handle(), data, chunk);
    } else {
      net::TNetBytes bytes(data, data + chunk);
      sent = net::TNetStack::Get().Send(Binding()->Handle(), bytes, chunk, 0);
    }
    if (sent < 0) RaiseErrorCode(FilterError(sent));
    if (sent == 0) throw net::ENetConnClosedGracefully();
    data += sent;
    count -= static_cast<std::size_t>(sent);
  }
}

std::size_t TNetTLSIOHandler::ReceiveRaw(std::uint8_t* data, std::size_t capacity, bool wait) {
  int timeout = ReadTimeout();
  if (timeout == -1 || timeout == 0) timeout = net::NetTimeoutInfinite;
  if (!http::TNetHTTPIOHandler::Readable(wait ? timeout : 0)) {
    if (!wait) return kNothingYet;
    throw net::ENetReadTimeout();
  }
  const int length = static_cast<int>(std::min<std::size_t>(capacity, 1 << 30));
  int received;
  if (auto* bsd = dynamic_cast<net::TNetStackBSDBase*>(&net::TNetStack::Get())) {
    received = bsd->WSRecv(Binding()->Handle(), data, length);
  } else {
    FScratch.resize(static_cast<std::size_t>(length));
    received = net::TNetStack::Get().Receive(Binding()->Handle(), FScratch);
    if (received > 0) std::memcpy(data, FScratch.data(), static_cast<std::size_t>(received));
  }
  if (received < 0) {
    // A reset is the end of the byte stream; the session tells whether that was allowed.
    FilterError(received);
    return 0;
  }
  return static_cast<std::size_t>(received);
}

}  // namespace tarvo::tls
