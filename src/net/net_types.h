// Small types shared by the whole transport: bytes, address families, work directions and
// connection states.
#pragma once

#include <cstdint>
#include <vector>

namespace tarvo::net {

// The unit of all transport I/O.
using TNetBytes = std::vector<std::uint8_t>;

// A socket handle of the operating system; -1 means none.
using TNetStackSocketHandle = int;
inline constexpr TNetStackSocketHandle Net_INVALID_SOCKET = -1;
// What a failed socket call returns.
inline constexpr int Net_SOCKET_ERROR = -1;

enum TNetIPVersion : int { Net_IPv4 = 0, Net_IPv6 = 1 };

enum TWorkMode : int { wmRead = 0, wmWrite = 1 };

enum TNetStatus : int { hsResolving, hsConnecting, hsConnected, hsDisconnecting, hsDisconnected, hsStatusText };

// What ReadLn does with a line longer than its limit.
enum TNetMaxLineAction : int { maException = 0, maSplit = 1 };

// Whether a client socket asks for address reuse before binding; only rsTrue switches it on.
enum TNetReuseSocket : int { rsOSDependent, rsTrue, rsFalse };

// Special time limits of the read operations (milliseconds otherwise).
inline constexpr int NetTimeoutDefault = -1;   // use the handler's ReadTimeout
inline constexpr int NetTimeoutInfinite = -2;  // wait without limit

// Socket types of NewSocketHandle.
inline constexpr int Net_SOCK_STREAM = 1;
inline constexpr int Net_SOCK_DGRAM = 2;

}  // namespace tarvo::net
