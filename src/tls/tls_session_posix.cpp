// The TLS session on OpenSSL's libssl. The socket is reached through a BIO of our own, so
// the handler's read time-outs hold inside a record as between records; the certificate is
// checked against OpenSSL's default trust store (SSL_CERT_FILE and SSL_CERT_DIR apply) and
// the name or address we connected to.
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <map>
#include <mutex>
#include <utility>

#include "core/format.h"
#include "net/net_stack.h"
#include "tls/tls_errors.h"
#include "tls/tls_session.h"
#include "tls/tls_strings.h"

namespace tarvo::tls {

namespace {

std::string OpenSSLErrorText() {
  unsigned long code = ERR_peek_last_error();
  ERR_clear_error();
  if (code == 0) return "unknown error";
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  // "error:0A000086:SSL routines::certificate verify failed": the reason is what users read.
  std::string s(text);
  std::size_t colon = s.rfind(':');
  return colon == std::string::npos ? s : s.substr(colon + 1);
}

// The system's roots as OpenSSL finds them. Its default file holds every root and is read
// whole (some 150 certificates: longer than the rest of a small download); the hashed folder
// beside it holds the same roots and is read one certificate at a time, as a chain needs
// them. So the folder alone, when it has them; SSL_CERT_FILE or SSL_CERT_DIR set by the user
// are taken exactly as OpenSSL takes them.
void LoadSystemRoots(SSL_CTX* ctx) {
  if (std::getenv(X509_get_default_cert_file_env()) != nullptr || std::getenv(X509_get_default_cert_dir_env()) != nullptr) {
    SSL_CTX_set_default_verify_paths(ctx);
    return;
  }
  std::error_code ec;
  const std::filesystem::path folder = X509_get_default_cert_dir();
  bool hashed = false;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end && !hashed; it.increment(ec))
    hashed = it->path().extension() == ".0";
  if (!hashed || SSL_CTX_load_verify_dir(ctx, folder.c_str()) != 1) SSL_CTX_set_default_verify_paths(ctx);
  ERR_clear_error();
}

// One context per trust setting, made once: loading the system's roots is the expensive part.
SSL_CTX* ContextFor(const std::string& caFile, bool insecure) {
  // Freed at exit (a session still open keeps its own reference).
  struct TContexts {
    std::map<std::pair<std::string, bool>, SSL_CTX*> Map;
    ~TContexts() {
      for (auto& entry : Map) SSL_CTX_free(entry.second);
    }
  };
  static std::mutex lock;
  static TContexts cache;
  auto& contexts = cache.Map;
  std::lock_guard<std::mutex> guard(lock);
  auto key = std::make_pair(caFile, insecure);
  if (auto it = contexts.find(key); it != contexts.end()) return it->second;
  SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
  if (ctx == nullptr) throw ETlsError(core::LoadResString(STlsLibraryMissing));
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  SSL_CTX_set_mode(ctx, SSL_MODE_AUTO_RETRY);
  // Whole records and more per receive: fewer system calls on a long body.
  SSL_CTX_set_read_ahead(ctx, 1);
  SSL_CTX_set_default_read_buffer_len(ctx, 256 * 1024);
  SSL_CTX_set_verify(ctx, insecure ? SSL_VERIFY_NONE : SSL_VERIFY_PEER, nullptr);
  if (!insecure && caFile.empty()) LoadSystemRoots(ctx);
  if (!insecure && !caFile.empty() && SSL_CTX_load_verify_locations(ctx, caFile.c_str(), nullptr) != 1) {
    ERR_clear_error();
    SSL_CTX_free(ctx);
    throw ETlsError(core::Format(core::LoadResString(STlsCAFileUnreadable), {caFile}));
  }
  contexts.emplace(key, ctx);
  return ctx;
}

TTlsCertificateProblem ProblemOf(long verify) {
  switch (verify) {
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
      return tcpSelfSigned;
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED:
      return tcpUntrusted;
    case X509_V_ERR_CERT_HAS_EXPIRED:
      return tcpExpired;
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return tcpNotYetValid;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return tcpNameMismatch;
    case X509_V_ERR_CERT_REVOKED:
      return tcpRevoked;
    default:
      return tcpOther;
  }
}

class TOpenSSLSession final : public TTlsSession {
public:
  TOpenSSLSession(ITlsTransport& transport, const TTlsSettings& settings)
      : FTransport(transport), FSettings(settings) {
    FSSL = SSL_new(ContextFor(settings.CAFile, settings.Insecure));
    if (FSSL == nullptr) throw ETlsError(core::LoadResString(STlsLibraryMissing));
    BIO* bio = BIO_new(Method());
    if (bio == nullptr) throw ETlsError(core::LoadResString(STlsLibraryMissing));
    BIO_set_data(bio, this);
    BIO_set_init(bio, 1);
    SSL_set_bio(FSSL, bio, bio);
    const std::string& host = settings.HostName;
    const bool address = net::TNetStack::IsIP(host) || host.find(':') != std::string::npos;
    // SNI carries names only (RFC 6066); an address is checked against the IP entries.
    if (!address) SSL_set_tlsext_host_name(FSSL, host.c_str());
    if (!settings.Insecure) {
      X509_VERIFY_PARAM* param = SSL_get0_param(FSSL);
      X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
      if (address)
        X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str());
      else
        X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size());
    }
  }

  ~TOpenSSLSession() override { SSL_free(FSSL); }

  void Handshake() override {
    ERR_clear_error();
    const int rc = SSL_connect(FSSL);
    RethrowTransportError();
    if (rc == 1) return;
    const long verify = SSL_get_verify_result(FSSL);
    if (!FSettings.Insecure && verify != X509_V_OK)
      throw ETlsCertificateError(ProblemOf(verify), FSettings.HostName, X509_verify_cert_error_string(verify));
    const int error = SSL_get_error(FSSL, rc);
    std::string reason = error == SSL_ERROR_SYSCALL && ERR_peek_last_error() == 0 ? "the server closed the connection"
                                                                                   : OpenSSLErrorText();
    throw ETlsError(core::Format(core::LoadResString(STlsHandshakeFailed), {FSettings.HostName, reason}));
  }

  std::size_t Read(std::uint8_t* data, std::size_t capacity) override {
    if (capacity == 0) return 0;
    // What stopped the last read after its first record is this read's answer.
    if (FDeferred) std::rethrow_exception(std::exchange(FDeferred, nullptr));
    if (FPeerClosed) return 0;
    ERR_clear_error();
    std::size_t got = 0;
    const int rc = SSL_read_ex(FSSL, data, capacity, &got);
    RethrowTransportError();
    if (rc == 1) return got + ReadArrived(data + got, capacity - got);
    return ReadStopped();
  }

  // The answer to a read that returned no byte: 0 for the server's close_notify, else the
  // error.
  std::size_t ReadStopped() {
    switch (SSL_get_error(FSSL, 0)) {
      case SSL_ERROR_ZERO_RETURN:
        FPeerClosed = true;
        return 0;  // close_notify: the server ended the stream
      case SSL_ERROR_SYSCALL:
        if (ERR_peek_last_error() == 0) throw ETlsTruncated();
        break;
      case SSL_ERROR_SSL:
        if (ERR_GET_REASON(ERR_peek_last_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
          ERR_clear_error();
          throw ETlsTruncated();
        }
        break;
      default:
        break;
    }
    throw ETlsError(core::Format(core::LoadResString(STlsRecordFailed), {OpenSSLErrorText()}));
  }

  // More records, as long as their bytes have arrived: one record is 16 KiB, and a caller
  // that writes what it reads (a file) should not make a system call for each. What stops
  // this (no bytes yet, the server's close_notify, an error) is kept for the next Read,
  // which Pending() then says is not to wait for the socket.
  std::size_t ReadArrived(std::uint8_t* data, std::size_t capacity) {
    std::size_t total = 0;
    FNoWait = true;
    while (total < capacity) {
      std::size_t got = 0;
      if (SSL_read_ex(FSSL, data + total, capacity - total, &got) == 1) {
        total += got;
        continue;
      }
      if (SSL_get_error(FSSL, 0) == SSL_ERROR_WANT_READ && !FFailure) break;
      FNoWait = false;
      try {
        RethrowTransportError();
        ReadStopped();
      } catch (...) {
        FDeferred = std::current_exception();
      }
      break;
    }
    FNoWait = false;
    ERR_clear_error();
    return total;
  }

  void Write(const std::uint8_t* data, std::size_t count) override {
    while (count > 0) {
      ERR_clear_error();
      std::size_t written = 0;
      const int rc = SSL_write_ex(FSSL, data, count, &written);
      RethrowTransportError();
      if (rc != 1) throw ETlsError(core::Format(core::LoadResString(STlsRecordFailed), {OpenSSLErrorText()}));
      data += written;
      count -= written;
    }
  }

  std::size_t Pending() const override {
    if (FPeerClosed || FDeferred) return 1;
    const int pending = SSL_pending(FSSL);
    if (pending > 0) return static_cast<std::size_t>(pending);
    // Records read ahead but not yet decrypted: the socket may have nothing more to say.
    return SSL_has_pending(FSSL) ? 1 : 0;
  }

  void Shutdown() noexcept override {
    if (FBroken || !SSL_is_init_finished(FSSL)) return;
    // Our close_notify only: waiting for the server's would keep the caller.
    SSL_shutdown(FSSL);
    FFailure = nullptr;
    ERR_clear_error();
  }

  std::string Protocol() const override { return SSL_is_init_finished(FSSL) ? SSL_get_version(FSSL) : ""; }

private:
  static BIO_METHOD* Method() {
    static BIO_METHOD* method = [] {
      BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "tarvo transport");
      BIO_meth_set_write_ex(m, &TOpenSSLSession::BioWrite);
      BIO_meth_set_read_ex(m, &TOpenSSLSession::BioRead);
      BIO_meth_set_ctrl(m, &TOpenSSLSession::BioCtrl);
      return m;
    }();
    return method;
  }

  // Our exceptions must not pass through OpenSSL's C frames: a failure of the transport is
  // kept here and raised again once the library call returned.
  static int BioWrite(BIO* bio, const char* data, std::size_t count, std::size_t* written) {
    auto* self = static_cast<TOpenSSLSession*>(BIO_get_data(bio));
    if (self->FBroken) return 0;
    try {
      self->FTransport.SendRaw(reinterpret_cast<const std::uint8_t*>(data), count);
      *written = count;
      return 1;
    } catch (...) {
      self->FFailure = std::current_exception();
      self->FBroken = true;
      return 0;
    }
  }

  static int BioRead(BIO* bio, char* data, std::size_t capacity, std::size_t* read) {
    auto* self = static_cast<TOpenSSLSession*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    if (self->FBroken) return 0;
    try {
      const std::size_t got = self->FTransport.ReceiveRaw(reinterpret_cast<std::uint8_t*>(data), capacity, !self->FNoWait);
      if (got == ITlsTransport::kNothingYet) {
        BIO_set_retry_read(bio);
        return 0;
      }
      *read = got;
      return *read > 0 ? 1 : 0;
    } catch (...) {
      self->FFailure = std::current_exception();
      self->FBroken = true;
      return 0;
    }
  }

  static long BioCtrl(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

  void RethrowTransportError() {
    if (!FFailure) return;
    ERR_clear_error();
    std::exception_ptr failure = std::exchange(FFailure, nullptr);
    std::rethrow_exception(failure);
  }

  ITlsTransport& FTransport;
  TTlsSettings FSettings;
  SSL* FSSL = nullptr;
  std::exception_ptr FFailure;
  bool FBroken = false;  // the transport failed: nothing more goes over it
  bool FNoWait = false;  // reading what has arrived only
  bool FPeerClosed = false;      // the server's close_notify came
  std::exception_ptr FDeferred;  // what ended a read after its first record
};

}  // namespace

std::unique_ptr<TTlsSession> TTlsSession::Create(ITlsTransport& transport, const TTlsSettings& settings) {
  return std::make_unique<TOpenSSLSession>(transport, settings);
}

}  // namespace tarvo::tls
