// Resource strings of the network transport (identifiers 1000..1999). The socket error
// texts are keyed by their Windows socket error number: identifier 1100 + (code - 10000)
// for 10004..10066 and 1199 for 11001.
#pragma once

#include "core/resource_string.h"

namespace tarvo::net {

// Socket stack
TARVO_RESOURCESTRING(RSStackAlreadyCreated, 1000, "Stack already created.");
TARVO_RESOURCESTRING(RSStackClassUndefined, 1001, "Stack Class is undefined.");
TARVO_RESOURCESTRING(RSStackSetSizeExceeded, 1002, "Set Size Exceeded.");
TARVO_RESOURCESTRING(RSIPVersionUnsupported, 1003, "The requested IPVersion / Address family is not supported.");
TARVO_RESOURCESTRING(RSWinsockLoadError, 1004, "Error on loading Winsock2 library (%s)");
TARVO_RESOURCESTRING(RSWinsockCallError, 1005, "Error on call to Winsock2 library function %s");
TARVO_RESOURCESTRING(RSStackError, 1006, "Socket Error # %d\r\n%s");

TARVO_RESOURCESTRING(RSStackEINTR, 1104, "Interrupted system call.");
TARVO_RESOURCESTRING(RSStackEBADF, 1109, "Bad file number.");
TARVO_RESOURCESTRING(RSStackEACCES, 1113, "Access denied.");
TARVO_RESOURCESTRING(RSStackEFAULT, 1114, "Buffer fault.");
TARVO_RESOURCESTRING(RSStackEINVAL, 1122, "Invalid argument.");
TARVO_RESOURCESTRING(RSStackEMFILE, 1124, "Too many open files.");
TARVO_RESOURCESTRING(RSStackEWOULDBLOCK, 1135, "Operation would block.");
TARVO_RESOURCESTRING(RSStackEINPROGRESS, 1136, "Operation now in progress.");
TARVO_RESOURCESTRING(RSStackEALREADY, 1137, "Operation already in progress.");
TARVO_RESOURCESTRING(RSStackENOTSOCK, 1138, "Socket operation on non-socket.");
TARVO_RESOURCESTRING(RSStackEDESTADDRREQ, 1139, "Destination address required.");
TARVO_RESOURCESTRING(RSStackEMSGSIZE, 1140, "Message too long.");
TARVO_RESOURCESTRING(RSStackEPROTOTYPE, 1141, "Protocol wrong type for socket.");
TARVO_RESOURCESTRING(RSStackENOPROTOOPT, 1142, "Bad protocol option.");
TARVO_RESOURCESTRING(RSStackEPROTONOSUPPORT, 1143, "Protocol not supported.");
TARVO_RESOURCESTRING(RSStackESOCKTNOSUPPORT, 1144, "Socket type not supported.");
TARVO_RESOURCESTRING(RSStackEOPNOTSUPP, 1145, "Operation not supported on socket.");
TARVO_RESOURCESTRING(RSStackEPFNOSUPPORT, 1146, "Protocol family not supported.");
TARVO_RESOURCESTRING(RSStackEAFNOSUPPORT, 1147, "Address family not supported by protocol family.");
TARVO_RESOURCESTRING(RSStackEADDRINUSE, 1148, "Address already in use.");
TARVO_RESOURCESTRING(RSStackEADDRNOTAVAIL, 1149, "Cannot assign requested address.");
TARVO_RESOURCESTRING(RSStackENETDOWN, 1150, "Network is down.");
TARVO_RESOURCESTRING(RSStackENETUNREACH, 1151, "Network is unreachable.");
TARVO_RESOURCESTRING(RSStackENETRESET, 1152, "Net dropped connection or reset.");
TARVO_RESOURCESTRING(RSStackECONNABORTED, 1153, "Software caused connection abort.");
TARVO_RESOURCESTRING(RSStackECONNRESET, 1154, "Connection reset by peer.");
TARVO_RESOURCESTRING(RSStackENOBUFS, 1155, "No buffer space available.");
TARVO_RESOURCESTRING(RSStackEISCONN, 1156, "Socket is already connected.");
TARVO_RESOURCESTRING(RSStackENOTCONN, 1157, "Socket is not connected.");
TARVO_RESOURCESTRING(RSStackESHUTDOWN, 1158, "Cannot send or receive after socket is closed.");
TARVO_RESOURCESTRING(RSStackETOOMANYREFS, 1159, "Too many references, cannot splice.");
TARVO_RESOURCESTRING(RSStackETIMEDOUT, 1160, "Connection timed out.");
TARVO_RESOURCESTRING(RSStackECONNREFUSED, 1161, "Connection refused.");
TARVO_RESOURCESTRING(RSStackELOOP, 1162, "Too many levels of symbolic links.");
TARVO_RESOURCESTRING(RSStackENAMETOOLONG, 1163, "File name too long.");
TARVO_RESOURCESTRING(RSStackEHOSTDOWN, 1164, "Host is down.");
TARVO_RESOURCESTRING(RSStackEHOSTUNREACH, 1165, "No route to host.");
TARVO_RESOURCESTRING(RSStackENOTEMPTY, 1166, "Directory not empty");
TARVO_RESOURCESTRING(RSStackHOST_NOT_FOUND, 1199, "Host not found.");

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
