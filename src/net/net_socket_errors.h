// Socket error numbers. Users read the Windows socket error numbers ("Socket Error # 10061"),
// so the native errno values of the BSD socket interface and the resolver's EAI_* codes are
// mapped onto them (net_socket_errors_posix.cpp), and every message is made from the mapped
// number. Numbers, names and texts come from net_socket_error_table.h.
#pragma once

#include <string>

#include "net/net_socket_error_table.h"

namespace tarvo::net {

// The Windows socket error numbers: Net_WSAEINTR, ..., Net_WSAHOST_NOT_FOUND.
#define TARVO_SOCKET_ERROR_CONSTANT(name, number, text) inline constexpr int Net_WSA##name = number;
TARVO_SOCKET_ERRORS(TARVO_SOCKET_ERROR_CONSTANT)
TARVO_RESOLVER_ERRORS(TARVO_SOCKET_ERROR_CONSTANT)
#undef TARVO_SOCKET_ERROR_CONSTANT
#define TARVO_RESOLVER_CODE_CONSTANT(name, number) inline constexpr int Net_WSA##name = number;
TARVO_RESOLVER_CODES(TARVO_RESOLVER_CODE_CONSTANT)
#undef TARVO_RESOLVER_CODE_CONSTANT

// The Windows number for a native errno value; values without a counterpart are returned
// unchanged (they then show with an empty text). On Windows the native value is already
// the Windows number.
int NetErrnoToSocketError(int errnoValue) noexcept;

// The Windows number for a getaddrinfo() result (EAI_*); errnoValue is consulted for
// EAI_SYSTEM. EAI success (0) maps to 0.
int NetResolverErrorToSocketError(int eaiCode, int errnoValue) noexcept;

// "Socket Error # <code>\r\n<text>", the text from the table (empty for unknown codes).
std::string TranslateSocketErrorMsg(int code);

// Raises ENetNotASocket for 10038, ENetSocketError for any other code.
[[noreturn]] void RaiseSocketErrorCode(int code);

}  // namespace tarvo::net
