// Enumerations and interfaces shared by the HTTP client's parts.
#pragma once

#include <string>

#include "core/stream.h"

namespace tarvo::http {

enum TNetHTTPProtocolVersion { pv1_0, pv1_1 };

enum TNetHTTPConnectionType { ctNormal, ctSSL, ctProxy, ctSSLProxy };

enum TNetHTTPOption : unsigned {
  hoInProcessAuth = 1u << 0,
  hoKeepOrigProtocol = 1u << 1,
  hoForceEncodeParams = 1u << 2,
  hoNonSSLProxyUseConnectVerb = 1u << 3,
  hoNoParseMetaHTTPEquiv = 1u << 4,
  hoWaitForUnexpectedData = 1u << 5,
  hoTreat302Like303 = 1u << 6,
  hoNoProtocolErrorException = 1u << 7,
};
using TNetHTTPOptions = unsigned;

enum TNetHTTPWhatsNext { wnGoToURL, wnJustExit, wnDontKnow, wnReadAndGo, wnAuthRequest };

// A content decoder that can be attached to the client (none is attached by default).
class INetDecompressor {
public:
  virtual ~INetDecompressor() = default;
  virtual bool IsReady() const = 0;
  virtual void DecompressDeflateStream(core::TStream& source, core::TStream& destination) = 0;
  virtual void DecompressGZipStream(core::TStream& source, core::TStream& destination) = 0;
};

// What an I/O handler that speaks TLS offers the client. No such handler ships with this
// library; an https target is accepted only when one is attached.
class INetTLSHandler {
public:
  virtual ~INetTLSHandler() = default;
  // True: bytes pass unencrypted (plain http, or before a proxy tunnel is up).
  virtual void SetPassThrough(bool passThrough) = 0;
  virtual void SetURIToCheck(const std::string& uri) = 0;
};

}  // namespace tarvo::http
