// One TLS session over a connected socket: the handshake with its certificate checks, then
// records in both directions. The system's library does the cryptography (OpenSSL's libssl
// on Linux, Schannel on Windows); this interface is all the I/O handler sees of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tarvo::tls {

// The raw byte path under a session: the handler's socket, with its time-outs.
class ITlsTransport {
public:
  virtual ~ITlsTransport() = default;
  // Sends every byte, or raises the transport's error.
  virtual void SendRaw(const std::uint8_t* data, std::size_t count) = 0;
  // Receives 1..capacity bytes, waiting at most the read time-out (then raises
  // net::ENetReadTimeout); 0 when the peer closed the connection. Without wait it returns
  // kNothingYet at once when no byte has arrived.
  virtual std::size_t ReceiveRaw(std::uint8_t* data, std::size_t capacity, bool wait = true) = 0;
  static constexpr std::size_t kNothingYet = static_cast<std::size_t>(-1);
};

struct TTlsSettings {
  // The name (or IP address) the certificate must be for; also sent as SNI unless it is an
  // address.
  std::string HostName;
  // A PEM file of the roots to trust instead of the system's, or empty: a chain is accepted
  // only when it ends at one of them.
  std::string CAFile;
  // No check of the certificate at all (netget --insecure): the connection is encrypted to
  // whoever answers.
  bool Insecure = false;
};

class TTlsSession {
public:
  // The system's session over transport; raises ETlsError when the library is missing.
  static std::unique_ptr<TTlsSession> Create(ITlsTransport& transport, const TTlsSettings& settings);
  virtual ~TTlsSession() = default;

  // TLS 1.2 or 1.3 with the checks of the settings; raises ETlsError (a refused certificate
  // as ETlsCertificateError), or the transport's errors.
  virtual void Handshake() = 0;
  // Up to capacity bytes of application data, waiting as the transport does for the first
  // and taking more only while they have arrived; 0 after the peer's close_notify. A connection that ends without one, or an alert, raises ETlsError.
  virtual std::size_t Read(std::uint8_t* data, std::size_t capacity) = 0;
  virtual void Write(const std::uint8_t* data, std::size_t count) = 0;
  // Bytes already received and waiting in the session (a read does not wait for the socket
  // first); not 0 whenever the socket alone would not show them.
  virtual std::size_t Pending() const = 0;
  // Sends close_notify when the session is still up; never raises.
  virtual void Shutdown() noexcept = 0;
  // "TLSv1.3" and the like, for -v; empty before the handshake.
  virtual std::string Protocol() const = 0;
};

}  // namespace tarvo::tls
