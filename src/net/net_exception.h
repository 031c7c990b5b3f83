// The transport's exceptions. Every class that stands for one fixed situation has a default
// constructor that loads its message from the resource strings; all can also be given a
// message. Callers usually catch ENetException (any transport failure), ENetSocketError
// (a failed socket call, with LastError) or ENetConnClosedGracefully (the peer closed and
// more bytes were needed).
#pragma once

#include <string>

#include "core/exception.h"

namespace tarvo::net {

class ENetException : public core::Exception {
public:
  using core::Exception::Exception;
};

// Failures that a caller expects as part of normal flow (the peer closing).
class ENetSilentException : public ENetException {
public:
  using ENetException::ENetException;
};

#define TARVO_NET_EXCEPTION(name, parent) \
  class name : public parent {            \
  public:                                 \
    name();                               \
    using parent::parent;                 \
  }

// "Connection Closed Gracefully."
TARVO_NET_EXCEPTION(ENetConnClosedGracefully, ENetSilentException);

// The byte stream ended without the end its protocol announces (a TLS stream without the
// server's close_notify): what came may be cut short.
class ENetStreamCut : public ENetException {
public:
  using ENetException::ENetException;
};

// A failed socket call: the message is "Socket Error # <code>\r\n<text>", LastError the
// Windows socket error number of the failure (10061 refused, 11001 host not found, ...).
class ENetSocketError : public ENetException {
public:
  ENetSocketError(int lastError, std::string message) : ENetException(std::move(message)), FLastError(lastError) {}
  // The message made from the code by the error table.
  explicit ENetSocketError(int lastError);
  int LastError() const noexcept { return FLastError; }

private:
  int FLastError;
};

// Error 10038: an operation on something that is not a socket.
class ENetNotASocket : public ENetSocketError {
public:
  using ENetSocketError::ENetSocketError;
};

class ENetStackError : public ENetException {
public:
  using ENetException::ENetException;
};
class ENetStackInitializationFailed : public ENetStackError {
public:
  using ENetStackError::ENetStackError;
};
TARVO_NET_EXCEPTION(ENetStackSetSizeExceeded, ENetStackError);   // "Set Size Exceeded."
TARVO_NET_EXCEPTION(ENetIPVersionUnsupported, ENetStackError);   // "The requested IPVersion / ..."

// The platform's socket library or one of its functions could not be loaded.
class ENetWinsockStubError : public ENetException {
public:
  ENetWinsockStubError(int win32Error, const std::string& title);
  int Win32Error() const noexcept { return FWin32Error; }
  const std::string& Win32ErrorMessage() const noexcept { return FWin32ErrorMessage; }
  const std::string& Title() const noexcept { return FTitle; }

private:
  int FWin32Error;
  std::string FWin32ErrorMessage;
  std::string FTitle;
};

// Reading and the buffers
TARVO_NET_EXCEPTION(ENetReadTimeout, ENetException);                     // "Read timed out."
TARVO_NET_EXCEPTION(ENetNotConnected, ENetException);                    // "Not Connected"
TARVO_NET_EXCEPTION(ENetClosedSocket, ENetException);                    // "Disconnected."
TARVO_NET_EXCEPTION(ENetReadLnMaxLineLengthExceeded, ENetException);     // "Max line length exceeded."
TARVO_NET_EXCEPTION(ENetReadLnWaitMaxAttemptsExceeded, ENetException);   // "Max line read attempts exceeded."
TARVO_NET_EXCEPTION(ENetIOHandlerStreamDataTooLarge, ENetException);     // "Data is too large for stream"
TARVO_NET_EXCEPTION(ENetIOHandlerRequiresLargeStream, ENetException);    // "Set LargeStream to True ..."
TARVO_NET_EXCEPTION(ENetNoDataToRead, ENetException);                    // "No data to read."
TARVO_NET_EXCEPTION(ENetTooMuchDataInBuffer, ENetException);             // "Too much data in buffer."
// "Not enough data in buffer. (<requested>/<held>)"
class ENetNotEnoughDataInBuffer : public ENetException {
public:
  using ENetException::ENetException;
  ENetNotEnoughDataInBuffer(long long requested, long long held);
};

// Connecting
TARVO_NET_EXCEPTION(ENetAlreadyConnected, ENetException);   // "Already connected."
TARVO_NET_EXCEPTION(ENetConnectTimeout, ENetException);     // "Connect timed out."
// The connect thread failed without a socket error code; the message is the recorded one.
class ENetConnectException : public ENetException {
public:
  using ENetException::ENetException;
};
// No host / no port: empty messages.
class ENetHostRequired : public ENetException {
public:
  ENetHostRequired() : ENetException(std::string()) {}
};
class ENetPortRequired : public ENetException {
public:
  ENetPortRequired() : ENetException(std::string()) {}
};

class ENetSocketHandleError : public ENetException {
public:
  using ENetException::ENetException;
};
TARVO_NET_EXCEPTION(ENetCouldNotBindSocket, ENetSocketHandleError);   // "Could not bind socket. ..."
TARVO_NET_EXCEPTION(ENetCannotSetIPVersionWhenConnected, ENetSocketHandleError);
// "Invalid Port Range (<min> - <max>)"
class ENetInvalidPortRange : public ENetSocketHandleError {
public:
  ENetInvalidPortRange(int minPort, int maxPort);
};
// "Can not bind in port range (<min> - <max>)"
class ENetCanNotBindPortInRange : public ENetSocketHandleError {
public:
  ENetCanNotBindPortInRange(int minPort, int maxPort);
};

#undef TARVO_NET_EXCEPTION

}  // namespace tarvo::net
