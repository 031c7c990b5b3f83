// The I/O handler for https: the HTTP client's socket handler with a TLS session over its
// socket. It passes bytes through unencrypted while told so (plain http, or the CONNECT to a
// proxy before the tunnel is up) and runs the handshake, with the certificate checks, when
// encryption begins; once encrypted, a connection stays so until it closes. Programs attach
// one to a TNetHTTP with SetIOHandler.
#pragma once

#include <memory>
#include <string>

#include "http/http_io_handler.h"
#include "http/http_types.h"
#include "tls/tls_session.h"

namespace tarvo::tls {

class TNetTLSIOHandler : public http::TNetHTTPIOHandler, public http::INetTLSHandler, private ITlsTransport {
  TARVO_PERSISTENT_CLASS(TNetTLSIOHandler)
public:
  explicit TNetTLSIOHandler(core::TComponent* owner = nullptr);
  ~TNetTLSIOHandler() override;

  void SetPassThrough(bool passThrough) override;
  bool PassThrough() const noexcept { return FPassThrough; }
  void SetURIToCheck(const std::string& uri) override;
  // The host the next handshake checks the certificate for.
  const std::string& HostToCheck() const noexcept { return FHostToCheck; }

  // The roots to trust instead of the system's (a PEM file), for this handler's sessions.
  void SetCAFile(const std::string& file) { FCAFile = file; }
  const std::string& CAFile() const noexcept { return FCAFile; }
  // No certificate check at all; only netget offers it, with a warning.
  void SetInsecure(bool insecure) noexcept { FInsecure = insecure; }
  bool Insecure() const noexcept { return FInsecure; }
  // The running session's protocol ("TLSv1.3"), empty without one.
  std::string Protocol() const;

  void Close() override;
  bool Readable(int timeoutMS = net::NetTimeoutInfinite) override;

protected:
  void ConnectSocket() override;
  int ReadFromSocket(net::TNetBytes& buffer) override;
  int WriteToSocket(const net::TNetBytes& bytes, int offset, int length) override;

private:
  void StartSession();
  void SendRaw(const std::uint8_t* data, std::size_t count) override;
  std::size_t ReceiveRaw(std::uint8_t* data, std::size_t capacity, bool wait) override;

  std::unique_ptr<TTlsSession> FSession;
  bool FPassThrough = true;
  bool FInsecure = false;
  bool FReceivedSinceSend = true;  // an answer began since the last request was written
  std::string FHostToCheck;
  std::string FCAFile;
  net::TNetBytes FScratch;
};

}  // namespace tarvo::tls
