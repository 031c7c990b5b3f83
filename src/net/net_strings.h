// Resource strings of the network transport (identifiers 1000..1999). The socket error
// texts come from net_socket_error_table.h.
#pragma once

#include "core/resource_string.h"
#include "net/net_socket_error_table.h"

namespace tarvo::net {

// Socket stack
TARVO_RESOURCESTRING(RSStackAlreadyCreated, 1000, "Stack already created.");
TARVO_RESOURCESTRING(RSStackClassUndefined, 1001, "Stack Class is undefined.");
TARVO_RESOURCESTRING(RSStackSetSizeExceeded, 1002, "Set Size Exceeded.");
TARVO_RESOURCESTRING(RSIPVersionUnsupported, 1003, "The requested IPVersion / Address family is not supported.");
TARVO_RESOURCESTRING(RSWinsockLoadError, 1004, "Error on loading Winsock2 library (%s)");
TARVO_RESOURCESTRING(RSWinsockCallError, 1005, "Error on call to Winsock2 library function %s");
TARVO_RESOURCESTRING(RSStackError, 1006, "Socket Error # %d\r\n%s");

// The socket error texts, RSStackEINTR ... RSStackHOST_NOT_FOUND, from the one table.
#define TARVO_SOCKET_ERROR_TEXT(name, number, text) \
  TARVO_RESOURCESTRING(RSStack##name, (number) == 11001 ? 1199 : 1100 + ((number) - 10000), text);
TARVO_SOCKET_ERRORS(TARVO_SOCKET_ERROR_TEXT)
TARVO_RESOLVER_ERRORS(TARVO_SOCKET_ERROR_TEXT)
#undef TARVO_SOCKET_ERROR_TEXT

// Byte buffer and I/O handler
TARVO_RESOURCESTRING(RSConnectionClosedGracefully, 1200, "Connection Closed Gracefully.");
TARVO_RESOURCESTRING(RSReadTimeout, 1201, "Read timed out.");
TARVO_RESOURCESTRING(RSNotConnected, 1202, "Not Connected");
TARVO_RESOURCESTRING(RSStatusDisconnectedSocket, 1203, "Disconnected.");
TARVO_RESOURCESTRING(RSReadLnMaxLineLengthExceeded, 1204, "Max line length exceeded.");
TARVO_RESOURCESTRING(RSReadLnWaitMaxAttemptsExceeded, 1205, "Max line read attempts exceeded.");
TARVO_RESOURCESTRING(RSStreamDataTooLarge, 1206, "Data is too large for stream");
TARVO_RESOURCESTRING(RSRequiresLargeStream, 1207, "Set LargeStream to True to send streams greater than 2GB");
TARVO_RESOURCESTRING(RSNoDataToRead, 1208, "No data to read.");
TARVO_RESOURCESTRING(RSTooMuchDataInBuffer, 1209, "Too much data in buffer.");
TARVO_RESOURCESTRING(RSNotEnoughDataInBuffer, 1210, "Not enough data in buffer. (%d/%d)");
TARVO_RESOURCESTRING(RSBufferCapacityTooSmall, 1211, "Capacity cannot be smaller than Size");
TARVO_RESOURCESTRING(RSBufferMissingTerminator, 1212, "Buffer terminator must be specified.");
TARVO_RESOURCESTRING(RSBufferInvalidStartPos, 1213, "Buffer start position is invalid.");
TARVO_RESOURCESTRING(RSNoBytesInBuffer, 1214, "No bytes in buffer.");
TARVO_RESOURCESTRING(RSIndexOutOfBounds, 1215, "Index out of bounds.");

// TCP connection
TARVO_RESOURCESTRING(RSAlreadyConnected, 1300, "Already connected.");
TARVO_RESOURCESTRING(RSConnectTimeout, 1301, "Connect timed out.");
TARVO_RESOURCESTRING(RSInvalidPortRange, 1302, "Invalid Port Range (%d - %d)");
TARVO_RESOURCESTRING(RSCanNotBindRange, 1303, "Can not bind in port range (%d - %d)");
TARVO_RESOURCESTRING(RSCouldNotBindSocket, 1304, "Could not bind socket. Address and port are already in use.");
TARVO_RESOURCESTRING(RSCannotSetIPVersionWhenConnected, 1305, "Cannot change IPVersion when connected");
TARVO_RESOURCESTRING(RSIOHandlerCannotChange, 1306, "Cannot change a connected IOHandler.");
TARVO_RESOURCESTRING(RSIOHandlerTypeNotInstalled, 1307, "No IOHandler of type %s is installed.");
TARVO_RESOURCESTRING(RSInterceptIsDifferent, 1308, "The IOHandler already has a different Intercept assigned");

// Status texts and the anti-freeze hook
TARVO_RESOURCESTRING(RSStatusResolving, 1400, "Resolving hostname %s.");
TARVO_RESOURCESTRING(RSStatusConnecting, 1401, "Connecting to %s.");
TARVO_RESOURCESTRING(RSStatusConnected, 1402, "Connected.");
TARVO_RESOURCESTRING(RSStatusDisconnecting, 1403, "Disconnecting.");
TARVO_RESOURCESTRING(RSStatusDisconnected, 1404, "Disconnected.");
TARVO_RESOURCESTRING(RSStatusText, 1405, "%s");
TARVO_RESOURCESTRING(RSOnlyOneAntiFreeze, 1406, "Only one TNetAntiFreeze can exist per application.");

}  // namespace tarvo::net
