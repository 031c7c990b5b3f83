// Socket error numbers. Users read the Windows socket error numbers ("Socket Error # 10061"),
// so the native errno values of the BSD socket interface and the resolver's EAI_* codes are
// mapped onto them here, in one table, and every message is made from the mapped number.
#pragma once

#include <string>

namespace tarvo::net {

// Windows socket error numbers used by the transport.
inline constexpr int Net_WSAEINTR = 10004;
inline constexpr int Net_WSAEBADF = 10009;
inline constexpr int Net_WSAEINVAL = 10022;
inline constexpr int Net_WSAEWOULDBLOCK = 10035;
inline constexpr int Net_WSAEINPROGRESS = 10036;
inline constexpr int Net_WSAENOTSOCK = 10038;
inline constexpr int Net_WSAEAFNOSUPPORT = 10047;
inline constexpr int Net_WSAEADDRINUSE = 10048;
inline constexpr int Net_WSAENETUNREACH = 10051;
inline constexpr int Net_WSAECONNABORTED = 10053;
inline constexpr int Net_WSAECONNRESET = 10054;
inline constexpr int Net_WSAENOTCONN = 10057;
inline constexpr int Net_WSAESHUTDOWN = 10058;
inline constexpr int Net_WSAETIMEDOUT = 10060;
inline constexpr int Net_WSAECONNREFUSED = 10061;
inline constexpr int Net_WSAEHOSTUNREACH = 10065;
inline constexpr int Net_WSAHOST_NOT_FOUND = 11001;
inline constexpr int Net_WSATRY_AGAIN = 11002;
inline constexpr int Net_WSANO_RECOVERY = 11003;
inline constexpr int Net_WSANO_DATA = 11004;

// The Windows number for a native errno value; values without a counterpart are returned
// unchanged (they then show with an empty text).
int NetErrnoToSocketError(int errnoValue) noexcept;

// The Windows number for a getaddrinfo() result (EAI_*); errnoValue is consulted for
// EAI_SYSTEM. EAI success (0) maps to 0.
int NetResolverErrorToSocketError(int eaiCode, int errnoValue) noexcept;

// "Socket Error # <code>\r\n<text>", the text from the table (empty for unknown codes).
std::string TranslateSocketErrorMsg(int code);

// Raises ENetNotASocket for 10038, ENetSocketError for any other code.
[[noreturn]] void RaiseSocketErrorCode(int code);

}  // namespace tarvo::net
