#include "net/net_exception.h"

#include "core/format.h"
#include "net/net_socket_errors.h"
#include "net/net_strings.h"

namespace tarvo::net {

using core::Format;
using core::LoadResString;

ENetConnClosedGracefully::ENetConnClosedGracefully() : ENetSilentException(LoadResString(RSConnectionClosedGracefully)) {}
ENetSocketError::ENetSocketError(int lastError) : ENetSocketError(lastError, TranslateSocketErrorMsg(lastError)) {}
ENetStackSetSizeExceeded::ENetStackSetSizeExceeded() : ENetStackError(LoadResString(RSStackSetSizeExceeded)) {}
ENetIPVersionUnsupported::ENetIPVersionUnsupported() : ENetStackError(LoadResString(RSIPVersionUnsupported)) {}

ENetWinsockStubError::ENetWinsockStubError(int win32Error, const std::string& title)
    : ENetException(title), FWin32Error(win32Error), FTitle(title) {
  if (win32Error != 0) {
    FWin32ErrorMessage = core::SysErrorMessage(win32Error);
    SetMessage(title + ": " + FWin32ErrorMessage);
  }
}

ENetReadTimeout::ENetReadTimeout() : ENetException(LoadResString(RSReadTimeout)) {}
ENetNotConnected::ENetNotConnected() : ENetException(LoadResString(RSNotConnected)) {}
ENetClosedSocket::ENetClosedSocket() : ENetException(LoadResString(RSStatusDisconnectedSocket)) {}
ENetReadLnMaxLineLengthExceeded::ENetReadLnMaxLineLengthExceeded()
    : ENetException(LoadResString(RSReadLnMaxLineLengthExceeded)) {}
ENetReadLnWaitMaxAttemptsExceeded::ENetReadLnWaitMaxAttemptsExceeded()
    : ENetException(LoadResString(RSReadLnWaitMaxAttemptsExceeded)) {}
ENetIOHandlerStreamDataTooLarge::ENetIOHandlerStreamDataTooLarge() : ENetException(LoadResString(RSStreamDataTooLarge)) {}
ENetIOHandlerRequiresLargeStream::ENetIOHandlerRequiresLargeStream()
    : ENetException(LoadResString(RSRequiresLargeStream)) {}
ENetNoDataToRead::ENetNoDataToRead() : ENetException(LoadResString(RSNoDataToRead)) {}
ENetTooMuchDataInBuffer::ENetTooMuchDataInBuffer() : ENetException(LoadResString(RSTooMuchDataInBuffer)) {}
ENetNotEnoughDataInBuffer::ENetNotEnoughDataInBuffer(long long requested, long long held)
    : ENetException(Format(LoadResString(RSNotEnoughDataInBuffer), {std::to_string(requested), std::to_string(held)})) {}

ENetAlreadyConnected::ENetAlreadyConnected() : ENetException(LoadResString(RSAlreadyConnected)) {}
ENetConnectTimeout::ENetConnectTimeout() : ENetException(LoadResString(RSConnectTimeout)) {}
ENetCouldNotBindSocket::ENetCouldNotBindSocket() : ENetSocketHandleError(LoadResString(RSCouldNotBindSocket)) {}
ENetCannotSetIPVersionWhenConnected::ENetCannotSetIPVersionWhenConnected()
    : ENetSocketHandleError(LoadResString(RSCannotSetIPVersionWhenConnected)) {}
ENetInvalidPortRange::ENetInvalidPortRange(int minPort, int maxPort)
    : ENetSocketHandleError(Format(LoadResString(RSInvalidPortRange), {std::to_string(minPort), std::to_string(maxPort)})) {}
ENetCanNotBindPortInRange::ENetCanNotBindPortInRange(int minPort, int maxPort)
    : ENetSocketHandleError(Format(LoadResString(RSCanNotBindRange), {std::to_string(minPort), std::to_string(maxPort)})) {}

}  // namespace tarvo::net
