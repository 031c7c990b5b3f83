// The system's socket interface for the transport files that both systems share: the
// headers, the length type of socket addresses, the send side of shutdown and the native
// form of a handle. Winsock keeps the BSD names of addresses and calls, so past this header
// the shared code reads the same on both.
#pragma once

#if defined(_WIN32)
#include "net/net_winsock.h"
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "net/net_types.h"
#endif

#include <string>

namespace tarvo::net {

#if defined(_WIN32)
using TNetSockLen = int;
inline constexpr int Net_SHUT_SEND = SD_SEND;
#else
using TNetSockLen = socklen_t;
inline constexpr int Net_SHUT_SEND = SHUT_WR;
inline int NetNativeSocket(TNetStackSocketHandle handle) { return handle; }
#endif

// Socket address for connect and bind; an empty ip leaves the address zero (any). Raises
// 10022 for an ip that is not an address of the version.
TNetSockLen NetMakeSockAddr(const std::string& ip, TNetIPVersion version, std::uint16_t port, sockaddr_storage& addr);
// The text, port and version of an IPv4 or IPv6 socket address.
void NetSockAddrText(const sockaddr_storage& addr, std::string& ip, std::uint16_t& port, TNetIPVersion& version);
// The address text of one resolver answer when it is of the version asked for, else empty.
std::string NetResolvedAddressText(int family, const sockaddr* addr, TNetIPVersion version);

// The first address of the version for an ASCII host name, from the system's resolver;
// raises the mapped resolver error, or 11001 when no address of the version came back.
std::string NetSystemLookup(const std::string& asciiName, TNetIPVersion version);
// Waits for a pending connect to end within timeoutMS (negative: no limit): 1 when it has
// (made or failed: SO_ERROR says which), 0 when the time ran out.
int NetWaitConnected(TNetStackSocketHandle handle, int timeoutMS);

}  // namespace tarvo::net
