#include "net/net_stack.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <idn2.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>

#include "core/resource_string.h"
#include "net/net_component.h"
#include "net/net_exception.h"
#include "net/net_socket_errors.h"
#include "net/net_strings.h"

namespace tarvo::net {

const int Net_SOL_SOCKET = SOL_SOCKET;
const int Net_SO_REUSEADDR = SO_REUSEADDR;
const int Net_SO_TYPE = SO_TYPE;
const int Net_SO_KEEPALIVE = SO_KEEPALIVE;
const int Net_IPPROTO_TCP = IPPROTO_TCP;
const int Net_TCP_NODELAY = TCP_NODELAY;

// ---------------------------------------------------------------------------------------
// The shared instance

namespace {

std::unique_ptr<TNetStack> MakePosixStack() { return std::make_unique<TNetStackPosix>(); }

std::mutex& StackLock() {
  static std::mutex lock;  // never freed: components may die during static destruction
  return lock;
}
TNetStack* GSocketStack = nullptr;
TNetStackFactory GSocketStackClass = &MakePosixStack;
int GSocketStackUsers = 0;

}  // namespace

void TNetStack::IncUsage() {
  std::lock_guard<std::mutex> guard(StackLock());
  if (GSocketStackUsers == 0) {
    if (GSocketStack != nullptr) throw ENetException(core::LoadResString(RSStackAlreadyCreated));
    if (GSocketStackClass == nullptr) throw ENetException(core::LoadResString(RSStackClassUndefined));
    GSocketStack = GSocketStackClass().release();
  }
  ++GSocketStackUsers;
}

void TNetStack::DecUsage() {
  std::lock_guard<std::mutex> guard(StackLock());
  if (GSocketStackUsers > 0) {
    --GSocketStackUsers;
    if (GSocketStackUsers == 0) {
      delete GSocketStack;
      GSocketStack = nullptr;
    }
  }
}

TNetStack* TNetStack::Instance() noexcept {
  std::lock_guard<std::mutex> guard(StackLock());
  return GSocketStack;
}

TNetStack& TNetStack::Get() {
  TNetStack* stack = Instance();
  if (stack == nullptr) throw ENetNotConnected();
  return *stack;
}

TNetStackFactory TNetStack::SetStackClass(TNetStackFactory factory) noexcept {
  std::lock_guard<std::mutex> guard(StackLock());
  TNetStackFactory previous = GSocketStackClass;
  GSocketStackClass = factory;
  return previous;
}

int TNetStack::UserCount() noexcept {
  std::lock_guard<std::mutex> guard(StackLock());
  return GSocketStackUsers;
}

// ---------------------------------------------------------------------------------------
// Host-name rules

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

// Decimal value of a part, -1 when it does not convert.
long PartValue(std::string_view s) {
  s = Trim(s);
  if (s.empty() || s.size() > 10) return -1;
  long value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size()) return -1;
  return value;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

std::string HexGroup(unsigned value) {
  char buf[8];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, 16);
  (void)ec;
  std::string s(buf, end);
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Eight groups of an IPv6 literal, or false.
bool ParseIPv6Groups(std::string_view text, std::uint16_t groups[8]) {
  std::string canonical = TNetStack::CanonicalIPv6Text(text);
  if (canonical.empty()) return false;
  std::string_view s = canonical;
  for (int i = 0; i < 8; ++i) {
    std::size_t colon = s.find(':');
    std::string_view part = s.substr(0, colon);
    unsigned value = 0;
    std::from_chars(part.data(), part.data() + part.size(), value, 16);
    groups[i] = static_cast<std::uint16_t>(value);
    s = colon == std::string_view::npos ? std::string_view() : s.substr(colon + 1);
  }
  return true;
}

std::string IPv4Text(const in_addr& a) {
  const auto* b = reinterpret_cast<const std::uint8_t*>(&a.s_addr);
  return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." + std::to_string(b[3]);
}

std::string IPv6Text(const in6_addr& a) {
  std::string out;
  for (int i = 0; i < 8; ++i) {
    unsigned value = (static_cast<unsigned>(a.s6_addr[2 * i]) << 8) | a.s6_addr[2 * i + 1];
    if (i > 0) out += ':';
    out += HexGroup(value);
  }
  return out;
}

bool IPv4Bytes(std::string_view text, in_addr& out) {
  auto* b = reinterpret_cast<std::uint8_t*>(&out.s_addr);
  for (int i = 0; i < 4; ++i) {
    std::size_t dot = i < 3 ? text.find('.') : std::string_view::npos;
    if (i < 3 && dot == std::string_view::npos) return false;
    long v = PartValue(text.substr(0, dot));
    if (v < 0 || v > 255) return false;
    b[i] = static_cast<std::uint8_t>(v);
    if (i < 3) text.remove_prefix(dot + 1);
  }
  return true;
}

// Socket address for connect and bind; an empty ip leaves the address zero (any).
socklen_t MakeSockAddr(const std::string& ip, TNetIPVersion version, std::uint16_t port, sockaddr_storage& addr) {
  std::memset(&addr, 0, sizeof addr);
  if (version == Net_IPv4) {
    auto* a4 = reinterpret_cast<sockaddr_in*>(&addr);
    a4->sin_family = AF_INET;
    a4->sin_port = htons(port);
    if (!ip.empty() && !IPv4Bytes(ip, a4->sin_addr)) RaiseSocketErrorCode(Net_WSAEINVAL);
    return sizeof(sockaddr_in);
  }
  if (version == Net_IPv6) {
    auto* a6 = reinterpret_cast<sockaddr_in6*>(&addr);
    a6->sin6_family = AF_INET6;
    a6->sin6_port = htons(port);
    if (!ip.empty()) {
      std::uint16_t groups[8];
      if (!ParseIPv6Groups(ip, groups)) RaiseSocketErrorCode(Net_WSAEINVAL);
      for (int i = 0; i < 8; ++i) {
        a6->sin6_addr.s6_addr[2 * i] = static_cast<std::uint8_t>(groups[i] >> 8);
        a6->sin6_addr.s6_addr[2 * i + 1] = static_cast<std::uint8_t>(groups[i] & 0xFF);
      }
    }
    return sizeof(sockaddr_in6);
  }
  throw ENetIPVersionUnsupported();
}

void AddressText(const sockaddr_storage& addr, std::string& ip, std::uint16_t& port, TNetIPVersion& version) {
  if (addr.ss_family == AF_INET6) {
    const auto* a6 = reinterpret_cast<const sockaddr_in6*>(&addr);
    ip = IPv6Text(a6->sin6_addr);
    port = ntohs(a6->sin6_port);
    version = Net_IPv6;
  } else {
    const auto* a4 = reinterpret_cast<const sockaddr_in*>(&addr);
    ip = IPv4Text(a4->sin_addr);
    port = ntohs(a4->sin_port);
    version = Net_IPv4;
  }
}

// Names under the reserved top-level domain "invalid" never exist (RFC 6761, 6.4): answer
// at once instead of asking a name server.
bool IsReservedInvalidName(std::string_view name) {
  if (!name.empty() && name.back() == '.') name.remove_suffix(1);
  constexpr std::string_view tld = "invalid";
  if (name.size() < tld.size()) return false;
  std::string_view tail = name.substr(name.size() - tld.size());
  if (!EqualsNoCase(tail, tld)) return false;
  return name.size() == tld.size() || name[name.size() - tld.size() - 1] == '.';
}

int WaitFor(int fd, short events, int timeoutMS) {
  pollfd p{fd, events, 0};
  auto start = std::chrono::steady_clock::now();
  for (;;) {
    int wait = timeoutMS;
    if (timeoutMS >= 0) {
      auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
      wait = static_cast<int>(std::max<long long>(0, timeoutMS - elapsed));
    }
    int rc = ::poll(&p, 1, wait);
    if (rc >= 0) return rc;
    if (errno != EINTR) return -1;
  }
}

}  // namespace

bool TNetStack::IsIP(std::string_view text) {
  for (int i = 0; i < 4; ++i) {
    std::size_t dot = i < 3 ? text.find('.') : std::string_view::npos;
    std::string_view part = text.substr(0, dot);
    long v = PartValue(part);
    if (v < 0 || v > 255) return false;
    if (i < 3) {
      if (dot == std::string_view::npos) return false;
      text.remove_prefix(dot + 1);
    }
  }
  return true;
}

std::string TNetStack::CanonicalIPv6Text(std::string_view input) {
  std::string s(input);
  if (s.empty()) return {};
  if (s.front() == ':') s.insert(s.begin(), '0');
  if (s.back() == ':') s.push_back('0');
  int colons = 0, dots = 0;
  bool afterDot = false;
  for (char c : s) {
    if (c == ':') {
      ++colons;
      if (afterDot) return {};  // the IPv4 tail must follow the last colon
    } else if (c == '.') {
      ++dots;
      afterDot = true;
    } else if (!IsHex(c)) {
      return {};
    } else if (afterDot && !std::isdigit(static_cast<unsigned char>(c))) {
      return {};
    }
  }
  if (colons > 7 || (dots != 0 && dots != 3)) return {};
  if (dots == 0 && colons < 2) return {};
  if (dots == 3 && (colons < 2 || colons > 6)) return {};

  std::vector<std::string_view> parts;
  std::string_view rest = s;
  for (;;) {
    std::size_t colon = rest.find(':');
    parts.push_back(rest.substr(0, colon));
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  std::vector<unsigned> groups;
  int emptyAt = -1;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    std::string_view part = parts[i];
    bool last = i + 1 == parts.size();
    if (part.empty()) {
      if (emptyAt >= 0) return {};
      emptyAt = static_cast<int>(groups.size());
      continue;
    }
    if (last && dots == 3) {
      in_addr a{};
      if (!IPv4Bytes(part, a)) return {};
      const auto* b = reinterpret_cast<const std::uint8_t*>(&a.s_addr);
      groups.push_back((static_cast<unsigned>(b[0]) << 8) | b[1]);
      groups.push_back((static_cast<unsigned>(b[2]) << 8) | b[3]);
      continue;
    }
    // Leading zeros are allowed, but no more digits than a 16-bit value can have after them.
    std::size_t start = part.find_first_not_of('0');
    if (start != std::string_view::npos && part.size() - start > 4) return {};
    unsigned value = 0;
    auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), value, 16);
    if (ec != std::errc() || end != part.data() + part.size() || value > 0xFFFF) return {};
    groups.push_back(value);
  }
  if (emptyAt >= 0) {
    if (groups.size() >= 8) return {};
    groups.insert(groups.begin() + emptyAt, 8 - groups.size(), 0u);
  }
  if (groups.size() != 8) return {};
  std::string out;
  for (std::size_t i = 0; i < 8; ++i) {
    if (i > 0) out += ':';
    out += HexGroup(groups[i]);
  }
  return out;
}

std::string TNetStack::ResolveHost(const std::string& host, TNetIPVersion version) {
  if (version == Net_IPv4) {
    if (EqualsNoCase(host, "LOCALHOST")) return "127.0.0.1";
    if (IsIP(host)) return host;
    return LookupHostAddress(host, Net_IPv4);
  }
  if (version == Net_IPv6) {
    std::string canonical = CanonicalIPv6Text(host);
    if (!canonical.empty()) return canonical;
    return LookupHostAddress(host, Net_IPv6);
  }
  throw ENetIPVersionUnsupported();
}

int TNetStack::AddressFamily(TNetIPVersion version) {
  switch (version) {
    case Net_IPv4: return AF_INET;
    case Net_IPv6: return AF_INET6;
  }
  throw ENetIPVersionUnsupported();
}

// ---------------------------------------------------------------------------------------
// Error translation

std::string TNetStack::WSTranslateSocketErrorMsg(int code) { return TranslateSocketErrorMsg(code); }

void TNetStack::RaiseSocketError(int code) { RaiseSocketErrorCode(code); }

void TNetStack::RaiseLastSocketError() {
  int code = WSGetLastError();
  RaiseSocketError(code);
  RaiseSocketErrorCode(code);  // in case an override returns
}

int TNetStack::CheckForSocketError(int result) {
  if (result == Net_SOCKET_ERROR) RaiseLastSocketError();
  return result;
}

int TNetStack::CheckForSocketError(int result, std::initializer_list<int> ignore) {
  if (result != Net_SOCKET_ERROR) return result;
  int code = WSGetLastError();
  if (std::find(ignore.begin(), ignore.end(), code) != ignore.end()) return code;
  RaiseSocketError(code);
  RaiseSocketErrorCode(code);
}

// ---------------------------------------------------------------------------------------
// BSD-style operations

TNetStackSocketHandle TNetStackBSDBase::NewSocketHandle(int socketType, int protocol, TNetIPVersion version,
                                                        bool /*overlapped*/) {
  int family = AddressFamily(version);
  int fd = ::socket(family, socketType | SOCK_CLOEXEC, protocol);
  if (fd < 0) RaiseLastSocketError();
  return fd;
}

int TNetStackBSDBase::WSCloseSocket(TNetStackSocketHandle handle) { return ::close(handle); }

int TNetStackBSDBase::WSRecv(TNetStackSocketHandle handle, void* buffer, int length) {
  for (;;) {
    ssize_t n = ::recv(handle, buffer, static_cast<std::size_t>(length), 0);
    if (n >= 0) return static_cast<int>(n);
    if (errno != EINTR) return Net_SOCKET_ERROR;
  }
}

int TNetStackBSDBase::WSSend(TNetStackSocketHandle handle, const void* buffer, int length) {
  for (;;) {
    // A peer that has gone must give an error, not a SIGPIPE that ends the program.
    ssize_t n = ::send(handle, buffer, static_cast<std::size_t>(length), MSG_NOSIGNAL);
    if (n >= 0) return static_cast<int>(n);
    if (errno != EINTR) return Net_SOCKET_ERROR;
  }
}

int TNetStackBSDBase::WSShutdown(TNetStackSocketHandle handle, int how) { return ::shutdown(handle, how); }

int TNetStackBSDBase::Receive(TNetStackSocketHandle handle, TNetBytes& buffer) {
  int length = static_cast<int>(std::min<std::size_t>(buffer.size(), 0x7FFFFFFF));
  return CheckForSocketError(WSRecv(handle, buffer.data(), length));
}

int TNetStackBSDBase::Send(TNetStackSocketHandle handle, const TNetBytes& bytes, int size, int offset) {
  if (offset < 0) offset = 0;
  long long after = static_cast<long long>(bytes.size()) - offset;
  long long count = size < 0 ? after : std::min<long long>(size, after);
  if (count <= 0) return static_cast<int>(std::max<long long>(count, 0));
  count = std::min<long long>(count, 0x7FFFFFFF);
  return CheckForSocketError(WSSend(handle, bytes.data() + offset, static_cast<int>(count)));
}

int TNetStackBSDBase::GetSocketOption(TNetStackSocketHandle handle, int level, int option) {
  int value = 0;
  socklen_t len = sizeof value;
  if (::getsockopt(handle, level, option, &value, &len) != 0) RaiseLastSocketError();
  return value;
}

void TNetStackBSDBase::SetSocketOption(TNetStackSocketHandle handle, int level, int option, int value) {
  if (::setsockopt(handle, level, option, &value, sizeof value) != 0) RaiseLastSocketError();
}

void TNetStackBSDBase::SetBlocking(TNetStackSocketHandle handle, bool blocking) {
  int flags = ::fcntl(handle, F_GETFL, 0);
  if (flags < 0) RaiseLastSocketError();
  flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
  if (::fcntl(handle, F_SETFL, flags) != 0) RaiseLastSocketError();
}

bool TNetStackBSDBase::WouldBlock(int result) {
  return CheckForSocketError(result, {Net_WSAEWOULDBLOCK}) == Net_WSAEWOULDBLOCK;
}

bool TNetStackBSDBase::CheckIPVersionSupport(TNetIPVersion version) {
  if (version != Net_IPv4 && version != Net_IPv6) return false;
  int fd = ::socket(AddressFamily(version), SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

// ---------------------------------------------------------------------------------------
// POSIX binding

TNetStackPosix::TNetStackPosix() = default;

int TNetStackPosix::WSGetLastError() { return NetErrnoToSocketError(errno); }

std::string TNetStackPosix::WSTranslateSocketErrorMsg(int code) { return TranslateSocketErrorMsg(code); }

std::string TNetStackPosix::LookupHostAddress(const std::string& name, TNetIPVersion version) {
  if (version != Net_IPv4 && version != Net_IPv6) throw ENetIPVersionUnsupported();
  if (name.empty() || IsReservedInvalidName(name)) RaiseSocketError(Net_WSAHOST_NOT_FOUND);
  if (name.find('\0') != std::string::npos) RaiseSocketError(Net_WSAHOST_NOT_FOUND);

  std::string query = NetHostNameToASCII(name);
  if (IsReservedInvalidName(query)) RaiseSocketError(Net_WSAHOST_NOT_FOUND);

  addrinfo hints{};
  hints.ai_family = AddressFamily(version);
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  int rc = ::getaddrinfo(query.c_str(), nullptr, &hints, &result);
  if (rc != 0) {
    int savedErrno = errno;
    if (result != nullptr) ::freeaddrinfo(result);
    RaiseSocketError(NetResolverErrorToSocketError(rc, savedErrno));
  }
  std::string text;
  for (addrinfo* ai = result; ai != nullptr && text.empty(); ai = ai->ai_next) {
    if (ai->ai_family == AF_INET && version == Net_IPv4)
      text = IPv4Text(reinterpret_cast<sockaddr_in*>(ai->ai_addr)->sin_addr);
    else if (ai->ai_family == AF_INET6 && version == Net_IPv6)
      text = IPv6Text(reinterpret_cast<sockaddr_in6*>(ai->ai_addr)->sin6_addr);
  }
  ::freeaddrinfo(result);
  if (text.empty()) RaiseSocketError(Net_WSAHOST_NOT_FOUND);
  return text;
}

void TNetStackPosix::Connect(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version,
                             std::uint16_t port) {
  sockaddr_storage addr;
  socklen_t len = MakeSockAddr(ip, version, port, addr);
  if (::connect(handle, reinterpret_cast<sockaddr*>(&addr), len) == 0) return;
  if (errno != EINTR && errno != EINPROGRESS) RaiseLastSocketError();
  // An interrupted (or non-blocking) connect goes on in the background: wait for its end.
  if (WaitFor(handle, POLLOUT, -1) < 0) RaiseLastSocketError();
  int error = GetSocketOption(handle, SOL_SOCKET, SO_ERROR);
  if (error != 0) RaiseSocketError(NetErrnoToSocketError(error));
}

bool TNetStackPosix::ConnectWithTimeout(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version,
                                        std::uint16_t port, int timeoutMS) {
  sockaddr_storage addr;
  socklen_t len = MakeSockAddr(ip, version, port, addr);
  // A non-blocking connect that we wait for: giving up is then just closing the socket,
  // with no thread left blocked in the system call.
  SetBlocking(handle, false);
  if (::connect(handle, reinterpret_cast<sockaddr*>(&addr), len) != 0) {
    if (errno != EINPROGRESS && errno != EINTR) {
      int code = WSGetLastError();
      SetBlocking(handle, true);
      RaiseSocketError(code);
    }
    const auto start = std::chrono::steady_clock::now();
    int step = 125;
    if (TNetAntiFreezeBase::ShouldUse()) step = std::min(step, std::max(1, TNetAntiFreezeBase::Instance()->IdleTimeOut()));
    for (;;) {
      int wait = step;
      if (timeoutMS >= 0) {
        auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        if (elapsed >= timeoutMS) return false;
        wait = static_cast<int>(std::min<long long>(step, timeoutMS - elapsed));
      }
      int rc = WaitFor(handle, POLLOUT, wait);
      if (rc < 0) RaiseLastSocketError();
      TNetAntiFreezeBase::DoProcess();
      if (rc > 0) break;
    }
    int error = GetSocketOption(handle, SOL_SOCKET, SO_ERROR);
    if (error != 0) {
      SetBlocking(handle, true);
      RaiseSocketError(NetErrnoToSocketError(error));
    }
  }
  SetBlocking(handle, true);
  return true;
}

void TNetStackPosix::Bind(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version,
                          std::uint16_t port) {
  sockaddr_storage addr;
  socklen_t len = MakeSockAddr(ip, version, port, addr);
  if (::bind(handle, reinterpret_cast<sockaddr*>(&addr), len) != 0) RaiseLastSocketError();
}

void TNetStackPosix::Disconnect(TNetStackSocketHandle handle) {
  WSShutdown(handle, SHUT_WR);
  WSCloseSocket(handle);
}

void TNetStackPosix::GetSocketName(TNetStackSocketHandle handle, std::string& ip, std::uint16_t& port,
                                   TNetIPVersion& version) {
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  if (::getsockname(handle, reinterpret_cast<sockaddr*>(&addr), &len) != 0) RaiseLastSocketError();
  AddressText(addr, ip, port, version);
}

void TNetStackPosix::GetPeerName(TNetStackSocketHandle handle, std::string& ip, std::uint16_t& port,
                                 TNetIPVersion& version) {
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  if (::getpeername(handle, reinterpret_cast<sockaddr*>(&addr), &len) != 0) RaiseLastSocketError();
  AddressText(addr, ip, port, version);
}

void TNetStackPosix::SetKeepAliveValues(TNetStackSocketHandle handle, bool enabled, int timeMS, int intervalMS) {
  SetSocketOption(handle, SOL_SOCKET, SO_KEEPALIVE, enabled ? 1 : 0);
  if (!enabled) return;
  SetSocketOption(handle, IPPROTO_TCP, TCP_KEEPIDLE, std::max(1, timeMS / 1000));
  SetSocketOption(handle, IPPROTO_TCP, TCP_KEEPINTVL, std::max(1, intervalMS / 1000));
}

bool TNetStackPosix::SupportsIPv6() { return CheckIPVersionSupport(Net_IPv6); }

// ---------------------------------------------------------------------------------------
// Socket lists

std::string NetHostNameToASCII(const std::string& name) {
  bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return name;
  if (name.find('\0') != std::string::npos) RaiseSocketErrorCode(Net_WSAHOST_NOT_FOUND);
  char* converted = nullptr;
  int rc = idn2_to_ascii_8z(name.c_str(), &converted, IDN2_NONTRANSITIONAL);
  if (rc != IDN2_OK) {
    converted = nullptr;
    rc = idn2_to_ascii_8z(name.c_str(), &converted, IDN2_TRANSITIONAL);
  }
  if (rc != IDN2_OK || converted == nullptr) RaiseSocketErrorCode(Net_WSAHOST_NOT_FOUND);
  std::string result(converted);
  idn2_free(converted);
  return result;
}

bool NetWaitReadable(TNetStackSocketHandle fd, int timeoutMS) {
  if (timeoutMS < 0) timeoutMS = -1;
  int rc = WaitFor(fd, POLLIN, timeoutMS);
  if (rc < 0) RaiseSocketErrorCode(NetErrnoToSocketError(errno));
  return rc > 0;
}

void TNetSocketList::Add(TNetStackSocketHandle handle) {
  std::lock_guard<std::mutex> guard(FLock);
  if (std::find(FHandles.begin(), FHandles.end(), handle) != FHandles.end()) return;
  if (static_cast<int>(FHandles.size()) >= MaxSockets) throw ENetStackSetSizeExceeded();
  FHandles.push_back(handle);
}

void TNetSocketList::Remove(TNetStackSocketHandle handle) {
  std::lock_guard<std::mutex> guard(FLock);
  FHandles.erase(std::remove(FHandles.begin(), FHandles.end(), handle), FHandles.end());
}

bool TNetSocketList::ContainsSocket(TNetStackSocketHandle handle) const {
  std::lock_guard<std::mutex> guard(FLock);
  return std::find(FHandles.begin(), FHandles.end(), handle) != FHandles.end();
}

int TNetSocketList::Count() const {
  std::lock_guard<std::mutex> guard(FLock);
  return static_cast<int>(FHandles.size());
}

TNetStackSocketHandle TNetSocketList::Items(int index) const {
  std::lock_guard<std::mutex> guard(FLock);
  if (index < 0 || index >= static_cast<int>(FHandles.size())) return Net_INVALID_SOCKET;
  return FHandles[static_cast<std::size_t>(index)];
}

void TNetSocketList::Clear() {
  std::lock_guard<std::mutex> guard(FLock);
  FHandles.clear();
}

std::unique_ptr<TNetSocketList> TNetSocketList::Clone() const {
  auto copy = std::make_unique<TNetSocketList>();
  std::lock_guard<std::mutex> guard(FLock);
  copy->FHandles = FHandles;
  return copy;
}

bool TNetSocketList::Select(TNetSocketList* readList, TNetSocketList* writeList, TNetSocketList* exceptList,
                            int timeoutMS) {
  struct TSlot {
    TNetSocketList* List;
    short Events;
  };
  TSlot slots[3] = {{readList, POLLIN}, {writeList, POLLOUT}, {exceptList, POLLPRI}};
  std::vector<pollfd> fds;
  std::vector<int> owner;
  for (int s = 0; s < 3; ++s) {
    if (slots[s].List == nullptr) continue;
    std::lock_guard<std::mutex> guard(slots[s].List->FLock);
    for (int h : slots[s].List->FHandles) {
      fds.push_back(pollfd{h, slots[s].Events, 0});
      owner.push_back(s);
    }
  }
  if (timeoutMS < 0) timeoutMS = -1;
  auto start = std::chrono::steady_clock::now();
  int rc;
  for (;;) {
    int wait = timeoutMS;
    if (timeoutMS >= 0) {
      auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
      wait = static_cast<int>(std::max<long long>(0, timeoutMS - elapsed));
    }
    rc = ::poll(fds.data(), fds.size(), wait);
    if (rc >= 0 || errno != EINTR) break;
  }
  if (rc < 0) RaiseSocketErrorCode(NetErrnoToSocketError(errno));
  for (int s = 0; s < 3; ++s) {
    if (slots[s].List == nullptr) continue;
    std::vector<int> ready;
    for (std::size_t i = 0; i < fds.size(); ++i) {
      // Hang-ups and errors count as readable: the next receive reports them.
      short mask = slots[s].Events | (s == 0 ? (POLLHUP | POLLERR) : 0);
      if (owner[i] == s && (fds[i].revents & mask) != 0) ready.push_back(fds[i].fd);
    }
    std::lock_guard<std::mutex> guard(slots[s].List->FLock);
    slots[s].List->FHandles = std::move(ready);
  }
  return rc > 0;
}

bool TNetSocketList::SelectRead(int timeoutMS) { return Select(this, nullptr, nullptr, timeoutMS); }

bool TNetSocketList::SelectReadList(TNetSocketList& readyList, int timeoutMS) const {
  auto copy = Clone();
  bool result = copy->SelectRead(timeoutMS);
  std::lock_guard<std::mutex> guard(readyList.FLock);
  readyList.FHandles = copy->FHandles;
  return result;
}

}  // namespace tarvo::net
