// Exceptions of the HTTP client. All derive from the transport's ENetException, so a caller
// that catches network failures catches these too.
#pragma once

#include <string>

#include "http/net_types.h"

namespace tarvo::http {

// A URI that cannot be rebuilt (no scheme or no host).
class ENetURIException : public ENetException {
public:
  using ENetException::ENetException;
};

// A target with neither a known scheme nor a port.
class ENetUnknownProtocol : public ENetException {
public:
  using ENetException::ENetException;
};

// An https target without a TLS-capable I/O handler.
class ENetIOHandlerPropInvalid : public ENetException {
public:
  using ENetException::ENetException;
};

// A reply with a numeric code that the protocol treats as a failure.
class ENetReplyRFCError : public ENetException {
public:
  ENetReplyRFCError(int errorCode, std::string message)
      : ENetException(std::move(message)), FErrorCode(errorCode) {}
  int ErrorCode() const noexcept { return FErrorCode; }

private:
  int FErrorCode;
};

// An HTTP error status. The message is the status line exactly as received (what the user
// is shown); ErrorMessage holds the decoded error page.
class ENetHTTPProtocolException : public ENetReplyRFCError {
public:
  ENetHTTPProtocolException(int errorCode, std::string replyMessage, std::string errorMessage)
      : ENetReplyRFCError(errorCode, std::move(replyMessage)), FErrorMessage(std::move(errorMessage)) {}
  static ENetHTTPProtocolException CreateError(int errorCode, std::string replyMessage,
                                               std::string errorMessage) {
    return ENetHTTPProtocolException(errorCode, std::move(replyMessage), std::move(errorMessage));
  }
  const std::string& ErrorMessage() const noexcept { return FErrorMessage; }

private:
  std::string FErrorMessage;
};

// A URL or header value that would split the request (CR, LF or NUL): refused before any
// byte is sent.
class ENetHTTPInvalidRequestText : public ENetException {
public:
  using ENetException::ENetException;
};

// A response whose framing cannot be trusted: a chunk size that is not a hexadecimal number
// or does not fit, too many or too long header lines.
class ENetHTTPBadResponse : public ENetException {
public:
  using ENetException::ENetException;
};

}  // namespace tarvo::http
