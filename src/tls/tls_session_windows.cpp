// The TLS session on Schannel through SSPI. The socket is ours: Schannel only turns bytes into
// records and back, so the handler's read time-outs hold everywhere. Schannel is told not to
// judge the server's certificate (Wine's would accept anything); tls_certificate_windows.cpp
// does it once the handshake is through, the same way on every system.
//
// Received bytes live in one buffer: records are decrypted where they lie and handed out from
// there, and only the start of a cut-off record is moved down, when the space behind it runs
// short.
#include <windows.h>

#include <winternl.h>

#define SCHANNEL_USE_BLACKLISTS
#include "tls/tls_library_windows.h"

#include <schannel.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <utility>

#include "core/format.h"
#include "core/utf16.h"
#include "net/net_stack.h"
#include "tls/tls_certificate_windows.h"
#include "tls/tls_errors.h"
#include "tls/tls_session.h"
#include "tls/tls_strings.h"

namespace tarvo::tls {

namespace {

// The largest record TLS 1.2 allows (header, 2^14 bytes of data, 2048 of expansion); 1.3's
// are smaller.
constexpr std::size_t kMaxRecord = 5 + 16384 + 2048;
// Handshake messages wait here until Schannel has a whole one; a server cannot make it grow.
// Between records it also lets one receive take several of them.
constexpr std::size_t kInputCapacity = 64 * 1024 + kMaxRecord;

// The content type of a TLS 1.2 record that carries an alert.
constexpr std::uint8_t kAlertRecord = 21;

constexpr DWORD kCredentialFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
constexpr ULONG kContextRequest = ISC_REQ_CONFIDENTIALITY | ISC_REQ_REPLAY_DETECT | ISC_REQ_SEQUENCE_DETECT |
                                  ISC_REQ_STREAM | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_MANUAL_CRED_VALIDATION;

// A buffer Schannel allocated (ISC_REQ_ALLOCATE_MEMORY), freed however the call ends.
class TContextBuffer {
public:
  TContextBuffer(const TSchannelLibrary& lib, void* buffer) : FLib(lib), FBuffer(buffer) {}
  TContextBuffer(const TContextBuffer&) = delete;
  TContextBuffer& operator=(const TContextBuffer&) = delete;
  ~TContextBuffer() {
    if (FBuffer != nullptr) FLib.Sspi->FreeContextBuffer(FBuffer);
  }

private:
  const TSchannelLibrary& FLib;
  void* FBuffer;
};

class TSchannelSession final : public TTlsSession {
public:
  TSchannelSession(ITlsTransport& transport, const TTlsSettings& settings)
      : FLib(SchannelLibrary()), FTransport(transport), FSettings(settings) {
    const std::string& host = settings.HostName;
    // SNI carries names only (RFC 6066).
    if (!net::TNetStack::IsIP(host) && host.find(':') == std::string::npos) FTargetName = core::Utf8ToWide(host);
    if (!settings.Insecure && !settings.CAFile.empty()) FCACertificates = ReadCAFile(settings.CAFile);
    AcquireCredentials();
    FIn.resize(kInputCapacity);
  }

  ~TSchannelSession() override {
    if (FHaveContext) FLib.Sspi->DeleteSecurityContext(&FContext);
    if (FHaveCredentials) FLib.Sspi->FreeCredentialsHandle(&FCredentials);
  }

  void Handshake() override {
    if (FEstablished) return;
    FInBegin = FInEnd = 0;
    SECURITY_STATUS status = Negotiate(true);
    for (;;) {
      if (status == SEC_E_OK) break;
      if (status == SEC_I_INCOMPLETE_CREDENTIALS) {
        // The server asks for a client certificate; we have none and go on without.
        if (FWithoutClientCertificate) FailHandshake(SecurityStatusText(status));
        FWithoutClientCertificate = true;
        status = Negotiate(false);
        continue;
      }
      if (status == SEC_I_CONTINUE_NEEDED && FInBegin < FInEnd && FConsumed > 0) {
        status = Negotiate(false);
        continue;
      }
      if (status != SEC_I_CONTINUE_NEEDED && status != SEC_E_INCOMPLETE_MESSAGE)
        FailHandshake(SecurityStatusText(status));
      ReceiveHandshakeBytes();
      status = Negotiate(false);
    }
    Established();
    // What came behind the server's last handshake message (a TLS 1.3 ticket, or data),
    // so that Pending() tells whether the socket has to say more.
    try {
      while (FPlainCount == 0 && !FClosed && Step(rmNever)) {
      }
    } catch (...) {
      FDeferred = std::current_exception();
    }
  }

  std::size_t Read(std::uint8_t* data, std::size_t capacity) override {
    if (capacity == 0) return 0;
    // What stopped the last read after its first record is this read's answer.
    if (FDeferred) std::rethrow_exception(std::exchange(FDeferred, nullptr));
    while (FPlainCount == 0 && !FClosed) Step(rmWait);
    std::size_t total = Take(data, capacity);
    if (total == 0) return 0;
    // More records, as long as their bytes have arrived: one record is 16 KiB, and a caller
    // that writes what it reads (a file) should not make a system call for each.
    try {
      while (total < capacity && !FClosed) {
        if (FPlainCount > 0)
          total += Take(data + total, capacity - total);
        else if (!Step(rmIfArrived))
          break;
      }
    } catch (...) {
      FDeferred = std::current_exception();
    }
    return total;
  }

  void Write(const std::uint8_t* data, std::size_t count) override {
    if (!FEstablished) throw ETlsError(core::Format(core::LoadResString(STlsRecordFailed), {"no session"}));
    const std::size_t header = FSizes.cbHeader, trailer = FSizes.cbTrailer;
    while (count > 0) {
      const std::size_t piece = std::min<std::size_t>(count, FSizes.cbMaximumMessage);
      std::uint8_t* out = FOut.data();
      std::memcpy(out + header, data, piece);
      SecBuffer buffers[4] = {{static_cast<ULONG>(header), SECBUFFER_STREAM_HEADER, out},
                              {static_cast<ULONG>(piece), SECBUFFER_DATA, out + header},
                              {static_cast<ULONG>(trailer), SECBUFFER_STREAM_TRAILER, out + header + piece},
                              {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
      const SECURITY_STATUS status = FLib.Sspi->EncryptMessage(&FContext, 0, &description, 0);
      if (status != SEC_E_OK) FailRecord(SecurityStatusText(status));
      if (buffers[0].cbBuffer == header && buffers[1].cbBuffer == piece) {
        Send(out, header + piece + buffers[2].cbBuffer);
      } else {
        for (int i = 0; i < 3; ++i) Send(static_cast<const std::uint8_t*>(buffers[i].pvBuffer), buffers[i].cbBuffer);
      }
      data += piece;
      count -= piece;
    }
  }

  std::size_t Pending() const override {
    // The close_notify or the failure met behind the last read is there without the socket.
    if (FPlainCount > 0) return FPlainCount;
    if (FClosed || FDeferred) return 1;
    // Records received whole but not decrypted yet (a read stopped when its buffer was full).
    return FInBegin < FInEnd && !FIncomplete ? 1 : 0;
  }

  void Shutdown() noexcept override {
    if (!FEstablished || FBroken || FShutdownSent) return;
    FShutdownSent = true;
    // Our close_notify only: waiting for the server's would keep the caller.
    try {
      DWORD type = SCHANNEL_SHUTDOWN;
      SecBuffer control{sizeof type, SECBUFFER_TOKEN, &type};
      SecBufferDesc controlDescription{SECBUFFER_VERSION, 1, &control};
      if (FLib.Sspi->ApplyControlToken(&FContext, &controlDescription) != SEC_E_OK) return;
      SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
      SecBufferDesc outDescription{SECBUFFER_VERSION, 1, &out};
      ULONG attributes = 0;
      const SECURITY_STATUS status = FLib.Sspi->InitializeSecurityContextW(
          &FCredentials, &FContext, TargetName(), kContextRequest, 0, 0, nullptr, 0, &FContext, &outDescription,
          &attributes, nullptr);
      TContextBuffer token(FLib, out.pvBuffer);
      if (!FAILED(status) && out.pvBuffer != nullptr && out.cbBuffer > 0)
        Send(static_cast<const std::uint8_t*>(out.pvBuffer), out.cbBuffer);
    } catch (...) {
    }
  }

  std::string Protocol() const override { return FProtocol; }

private:
  wchar_t* TargetName() { return FTargetName.empty() ? nullptr : FTargetName.data(); }

  [[noreturn]] void FailHandshake(const std::string& reason) const {
    throw ETlsError(core::Format(core::LoadResString(STlsHandshakeFailed), {FSettings.HostName, reason}));
  }

  [[noreturn]] static void FailRecord(const std::string& reason) {
    throw ETlsError(core::Format(core::LoadResString(STlsRecordFailed), {reason}));
  }

  SECURITY_STATUS Acquire(void* authData) {
    TimeStamp expiry{};
    const SECURITY_STATUS status = FLib.Sspi->AcquireCredentialsHandleW(
        nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr, authData, nullptr, nullptr,
        &FCredentials, &expiry);
    FHaveCredentials = status == SEC_E_OK;
    return status;
  }

  // TLS 1.2 and 1.3, never older. SCH_CREDENTIALS where the system knows it (the only way to
  // 1.3 on Windows); else the older structure, first with 1.3 for systems that have it there.
  void AcquireCredentials() {
    TLS_PARAMETERS parameters{};
    parameters.grbitDisabledProtocols = ~static_cast<DWORD>(SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT);
    SCH_CREDENTIALS modern{};
    modern.dwVersion = SCH_CREDENTIALS_VERSION;
    modern.dwFlags = kCredentialFlags;
    modern.cTlsParameters = 1;
    modern.pTlsParameters = &parameters;
    SECURITY_STATUS status = Acquire(&modern);
    for (DWORD protocols : {DWORD{SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT}, DWORD{SP_PROT_TLS1_2_CLIENT}}) {
      if (status == SEC_E_OK) return;
      SCHANNEL_CRED older{};
      older.dwVersion = SCHANNEL_CRED_VERSION;
      older.grbitEnabledProtocols = protocols;
      older.dwFlags = kCredentialFlags;
      status = Acquire(&older);
    }
    if (status != SEC_E_OK) FailHandshake(SecurityStatusText(status));
  }

  // One step of the handshake over the bytes waiting in the buffer; sends what it makes.
  SECURITY_STATUS Negotiate(bool first) {
    SecBuffer in[2] = {{static_cast<ULONG>(FInEnd - FInBegin), SECBUFFER_TOKEN, FIn.data() + FInBegin},
                       {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc inDescription{SECBUFFER_VERSION, 2, in};
    SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
    SecBufferDesc outDescription{SECBUFFER_VERSION, 1, out};
    const ULONG request = kContextRequest | (FWithoutClientCertificate ? ISC_REQ_USE_SUPPLIED_CREDS : 0);
    ULONG attributes = 0;
    const SECURITY_STATUS status = FLib.Sspi->InitializeSecurityContextW(
        &FCredentials, first ? nullptr : &FContext, TargetName(), request, 0, 0, first ? nullptr : &inDescription, 0,
        &FContext, &outDescription, &attributes, nullptr);
    if (first && !FAILED(status)) FHaveContext = true;
    TContextBuffer token(FLib, out[0].pvBuffer);
    FConsumed = 0;
    if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED) {
      const std::size_t available = FInEnd - FInBegin;
      const std::size_t left = in[1].BufferType == SECBUFFER_EXTRA ? std::min<std::size_t>(in[1].cbBuffer, available) : 0;
      FConsumed = available - left;
      FInBegin = FInEnd - left;
    }
    if (out[0].pvBuffer != nullptr && out[0].cbBuffer > 0) {
      const auto* bytes = static_cast<const std::uint8_t*>(out[0].pvBuffer);
      if (!FAILED(status)) {
        Send(bytes, out[0].cbBuffer);
      } else {
        // The alert that tells the server why; the failure itself is what the caller hears.
        try {
          Send(bytes, out[0].cbBuffer);
        } catch (...) {
        }
      }
    }
    return status;
  }

  void ReceiveHandshakeBytes() {
    if (FInBegin > 0) {
      std::memmove(FIn.data(), FIn.data() + FInBegin, FInEnd - FInBegin);
      FInEnd -= FInBegin;
      FInBegin = 0;
    }
    if (FInEnd == FIn.size()) FailHandshake("the server's handshake messages are too large");
    const std::size_t n = Receive(FIn.data() + FInEnd, FIn.size() - FInEnd);
    if (n == 0) FailHandshake("the server closed the connection");
    FInEnd += n;
  }

  void Established() {
    SECURITY_STATUS status = FLib.Sspi->QueryContextAttributesW(&FContext, SECPKG_ATTR_STREAM_SIZES, &FSizes);
    if (status != SEC_E_OK) FailHandshake(SecurityStatusText(status));
    if (FSizes.cbMaximumMessage == 0) FailHandshake("no record size");
    SecPkgContext_ConnectionInfo info{};
    status = FLib.Sspi->QueryContextAttributesW(&FContext, SECPKG_ATTR_CONNECTION_INFO, &info);
    if (status != SEC_E_OK) FailHandshake(SecurityStatusText(status));
    // The credentials already forbid older versions; a system that ignored that must not
    // get through with SSL 3 or TLS 1.0.
    if ((info.dwProtocol & SP_PROT_TLS1_3_CLIENT) != 0)
      FProtocol = "TLSv1.3";
    else if ((info.dwProtocol & SP_PROT_TLS1_2_CLIENT) != 0)
      FProtocol = "TLSv1.2";
    else
      FailHandshake("the server offers neither TLS 1.2 nor TLS 1.3");
    if (!FSettings.Insecure) {
      PCCERT_CONTEXT certificate = nullptr;
      status = FLib.Sspi->QueryContextAttributesW(&FContext, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate);
      if (status != SEC_E_OK || certificate == nullptr)
        throw ETlsCertificateError(tcpOther, FSettings.HostName, SecurityStatusText(status));
      std::unique_ptr<const CERT_CONTEXT, decltype(FLib.FreeCertificateContext)> owned(certificate,
                                                                                      FLib.FreeCertificateContext);
      VerifyServerCertificate(certificate, FSettings.HostName, FCACertificates);
    }
    const std::size_t record = std::size_t{FSizes.cbHeader} + FSizes.cbMaximumMessage + FSizes.cbTrailer;
    FOut.resize(record);
    if (FIn.size() < record + kMaxRecord) FIn.resize(record + kMaxRecord);
    FEstablished = true;
  }

  std::size_t Take(std::uint8_t* data, std::size_t capacity) {
    const std::size_t n = std::min(capacity, FPlainCount);
    if (n == 0) return 0;
    std::memcpy(data, FPlain, n);
    FPlain += n;
    FPlainCount -= n;
    return n;
  }

  enum TReceive { rmWait, rmIfArrived, rmNever };

  // One move forward: a record decrypted, a post-handshake message handled, or more bytes
  // received as receive allows. False when nothing could be done.
  bool Step(TReceive receive) {
    FIncomplete = false;
    if (FRenegotiating) {
      const SECURITY_STATUS status = Negotiate(false);
      if (status == SEC_E_OK) {
        FRenegotiating = false;
        const SECURITY_STATUS sizes = FLib.Sspi->QueryContextAttributesW(&FContext, SECPKG_ATTR_STREAM_SIZES, &FSizes);
        const std::size_t record = std::size_t{FSizes.cbHeader} + FSizes.cbMaximumMessage + FSizes.cbTrailer;
        if (sizes != SEC_E_OK || FSizes.cbMaximumMessage == 0 || record > FOut.size())
          FailRecord(SecurityStatusText(sizes));
        return true;
      }
      if (status == SEC_I_INCOMPLETE_CREDENTIALS && !FWithoutClientCertificate) {
        FWithoutClientCertificate = true;
        return true;
      }
      if (status == SEC_I_CONTINUE_NEEDED && FInBegin < FInEnd && FConsumed > 0) return true;
      if (status != SEC_I_CONTINUE_NEEDED && status != SEC_E_INCOMPLETE_MESSAGE) FailRecord(SecurityStatusText(status));
    } else if (FInBegin < FInEnd) {
      const SECURITY_STATUS status = Decrypt();
      if (status == SEC_E_OK) return true;
      if (status == SEC_I_CONTEXT_EXPIRED) {
        FClosed = true;  // the server's close_notify
        return true;
      }
      if (status == SEC_I_RENEGOTIATE) {
        // TLS 1.3 sends tickets and key updates this way, 1.2 a new handshake: the context
        // takes them through InitializeSecurityContext, with what follows them.
        FRenegotiating = true;
        return true;
      }
      if (status != SEC_E_INCOMPLETE_MESSAGE) FailRecord(SecurityStatusText(status));
    }
    FIncomplete = true;
    return receive != rmNever && ReceiveRecordBytes(receive == rmWait);
  }

  SECURITY_STATUS Decrypt() {
    std::uint8_t* const begin = FIn.data() + FInBegin;
    const std::size_t available = FInEnd - FInBegin;
    SecBuffer buffers[4] = {{static_cast<ULONG>(available), SECBUFFER_DATA, begin},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
    const std::uint8_t contentType = begin[0];
    const SECURITY_STATUS status = FLib.Sspi->DecryptMessage(&FContext, &description, 0, nullptr);
    if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED) return status;
    std::size_t left = 0;
    const SecBuffer* plain = nullptr;
    for (const SecBuffer& b : buffers) {
      if (b.BufferType == SECBUFFER_EXTRA) left = std::min<std::size_t>(b.cbBuffer, available);
      if (b.BufferType == SECBUFFER_DATA && status == SEC_E_OK) plain = &b;
    }
    // The bytes of the record just decrypted; what is left behind it stays for the next.
    std::uint8_t* const end = FIn.data() + FInEnd - left;
    FInBegin = FInEnd - left;
    if (plain != nullptr && plain->cbBuffer > 0) {
      auto* p = static_cast<std::uint8_t*>(plain->pvBuffer);
      if (p < begin || p > end || plain->cbBuffer > static_cast<std::size_t>(end - p))
        FailRecord("the record was not decrypted in place");
      FPlain = p;
      FPlainCount = plain->cbBuffer;
    } else if (status == SEC_E_OK && contentType == kAlertRecord && FProtocol == "TLSv1.2") {
      FClosed = true;
    }
    return status;
  }

  bool ReceiveRecordBytes(bool wait) {
    if (FInBegin == FInEnd) {
      FInBegin = FInEnd = 0;
    } else if (FIn.size() - FInEnd < kMaxRecord && FInBegin > 0) {
      // Room for the rest of the record, and for more than a few bytes per receive.
      std::memmove(FIn.data(), FIn.data() + FInBegin, FInEnd - FInBegin);
      FInEnd -= FInBegin;
      FInBegin = 0;
    }
    if (FInEnd == FIn.size()) FailRecord("a record is larger than TLS allows");
    const std::size_t n = Receive(FIn.data() + FInEnd, FIn.size() - FInEnd, wait);
    if (n == ITlsTransport::kNothingYet) return false;
    // The connection ended before the server's close_notify.
    if (n == 0) throw ETlsTruncated();
    FInEnd += n;
    FIncomplete = false;
    return true;
  }

  void Send(const std::uint8_t* data, std::size_t count) {
    if (FBroken) FailRecord("the connection is broken");
    try {
      FTransport.SendRaw(data, count);
    } catch (...) {
      FBroken = true;
      throw;
    }
  }

  std::size_t Receive(std::uint8_t* data, std::size_t capacity, bool wait = true) {
    if (FBroken) FailRecord("the connection is broken");
    try {
      return FTransport.ReceiveRaw(data, capacity, wait);
    } catch (...) {
      FBroken = true;
      throw;
    }
  }

  const TSchannelLibrary& FLib;
  ITlsTransport& FTransport;
  TTlsSettings FSettings;
  std::wstring FTargetName;
  std::vector<TDerCertificate> FCACertificates;
  CredHandle FCredentials{};
  CtxtHandle FContext{};
  bool FHaveCredentials = false;
  bool FHaveContext = false;
  bool FEstablished = false;
  bool FWithoutClientCertificate = false;
  bool FRenegotiating = false;
  // The server's close_notify came. Wine's Schannel gives it as an alert record that
  // decrypts to nothing (SEC_E_OK) rather than as SEC_I_CONTEXT_EXPIRED; in TLS 1.2 the
  // record's type is authenticated, and the other alerts come as errors there. A server that
  // waits for our close_notify before closing would otherwise keep us until the time-out.
  bool FClosed = false;
  bool FIncomplete = false;  // the bytes waiting are no whole record: the socket must say more
  bool FBroken = false;  // the transport failed: nothing more goes over it
  bool FShutdownSent = false;
  std::size_t FConsumed = 0;  // input the last Negotiate took
  SecPkgContext_StreamSizes FSizes{};
  std::string FProtocol;
  // Received bytes not yet decrypted are FIn[FInBegin, FInEnd); decrypted bytes not yet
  // read are FPlain[0, FPlainCount), inside FIn before FInBegin.
  std::vector<std::uint8_t> FIn;
  std::size_t FInBegin = 0;
  std::size_t FInEnd = 0;
  std::uint8_t* FPlain = nullptr;
  std::size_t FPlainCount = 0;
  std::vector<std::uint8_t> FOut;
  std::exception_ptr FDeferred;
};

}  // namespace

std::unique_ptr<TTlsSession> TTlsSession::Create(ITlsTransport& transport, const TTlsSettings& settings) {
  return std::make_unique<TSchannelSession>(transport, settings);
}

}  // namespace tarvo::tls
