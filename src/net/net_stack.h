// The socket stack: the one object through which every network operation reaches the
// operating system. One instance per process, created by the first IncUsage and freed by
// the DecUsage that brings the user count back to 0 (every network component and every
// TNetBuffer is a user). Failures raise ENetSocketError with the Windows socket error number
// and its text ("Socket Error # 10061\r\nConnection refused.").
//
// TNetStack holds the platform-neutral rules (host resolution, error translation);
// TNetStackBSDBase (net_stack_bsd.h) the parts common to BSD-style socket interfaces, and
// TNetStackPosix (net_stack_posix.h) or TNetStackWindows (net_stack_windows.h) binds them to
// the system's socket calls.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "net/net_types.h"

namespace tarvo::net {

// Socket option levels and names (the native values of this platform).
extern const int Net_SOL_SOCKET;
extern const int Net_SO_REUSEADDR;
extern const int Net_SO_TYPE;
extern const int Net_SO_KEEPALIVE;
extern const int Net_IPPROTO_TCP;
extern const int Net_TCP_NODELAY;

class TNetStack;
using TNetStackFactory = std::unique_ptr<TNetStack> (*)();
// The stack of the system the program runs on (TNetStackPosix or TNetStackWindows).
std::unique_ptr<TNetStack> NetMakeSystemStack();

class TNetStack {
public:
  virtual ~TNetStack() = default;
  TNetStack(const TNetStack&) = delete;
  TNetStack& operator=(const TNetStack&) = delete;

  // Registers one more user; the first creates the instance. Raises ENetException "Stack
  // Class is undefined." when no stack class is set.
  static void IncUsage();
  // Drops one user; the last frees the instance.
  static void DecUsage();
  // The shared instance, or nullptr while nobody uses the stack.
  static TNetStack* Instance() noexcept;
  // The instance for a caller that holds a usage; raises ENetNotConnected while nobody
  // uses the stack.
  static TNetStack& Get();
  // The class to instantiate (NetMakeSystemStack by default); returns the previous one.
  static TNetStackFactory SetStackClass(TNetStackFactory factory) noexcept;
  static int UserCount() noexcept;

  // "LOCALHOST" (any case) → 127.0.0.1 and dotted quads as they are for IPv4; IPv6 literals
  // in canonical form; everything else through the name service. With the anti-freeze hook
  // in use the name service is asked on a thread of its own while the caller waits in
  // slices that give the hook its turns: a slow resolver does not freeze the window, and a
  // hook that raises (the user cancelled) ends the wait at once. The answer that comes
  // later is dropped; the thread keeps the stack in use until it ends.
  std::string ResolveHost(const std::string& host, TNetIPVersion version = Net_IPv4);
  // A dotted quad of four values 0..255 (blanks around the parts are allowed).
  static bool IsIP(std::string_view text);
  // The canonical IPv6 text (eight upper-case hexadecimal groups, no "::"), or empty when
  // text is not an IPv6 literal.
  static std::string CanonicalIPv6Text(std::string_view text);

  virtual std::string LookupHostAddress(const std::string& name, TNetIPVersion version) = 0;

private:
  std::string LookupKeepingAlive(const std::string& name, TNetIPVersion version);

public:
  virtual TNetStackSocketHandle NewSocketHandle(int socketType, int protocol, TNetIPVersion version,
                                                bool overlapped = false) = 0;
  virtual void Connect(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version,
                       std::uint16_t port) = 0;
  // Connect with a time limit in milliseconds (-1 = none), waiting in steps that run the
  // anti-freeze hook. Returns false when the time ran out (the connect is still pending:
  // close the socket); raises for a failed connect.
  virtual bool ConnectWithTimeout(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version,
                                  std::uint16_t port, int timeoutMS) = 0;
  // An empty ip binds to any local address.
  virtual void Bind(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version,
                    std::uint16_t port) = 0;
  // Shuts the sending side down, then closes; failures are ignored.
  virtual void Disconnect(TNetStackSocketHandle handle) = 0;
  virtual void GetSocketName(TNetStackSocketHandle handle, std::string& ip, std::uint16_t& port,
                             TNetIPVersion& version) = 0;
  virtual void GetPeerName(TNetStackSocketHandle handle, std::string& ip, std::uint16_t& port,
                           TNetIPVersion& version) = 0;
  // One receive of at most buffer.size() bytes; 0 = the peer closed. Raises on failure.
  virtual int Receive(TNetStackSocketHandle handle, TNetBytes& buffer) = 0;
  // One send of min(size, bytes after offset) bytes (size -1 = all); returns the count sent.
  virtual int Send(TNetStackSocketHandle handle, const TNetBytes& bytes, int size = -1, int offset = 0) = 0;
  virtual int GetSocketOption(TNetStackSocketHandle handle, int level, int option) = 0;
  virtual void SetSocketOption(TNetStackSocketHandle handle, int level, int option, int value) = 0;
  virtual void SetBlocking(TNetStackSocketHandle handle, bool blocking) = 0;
  // True when the last error is "would block" (10035); any other error raises.
  virtual bool WouldBlock(int result) = 0;
  virtual void SetKeepAliveValues(TNetStackSocketHandle handle, bool enabled, int timeMS, int intervalMS) = 0;
  virtual bool SupportsIPv6() = 0;
  virtual bool CheckIPVersionSupport(TNetIPVersion version) = 0;

  // The last socket error of the calling thread, as a Windows socket error number.
  virtual int WSGetLastError() = 0;
  virtual std::string WSTranslateSocketErrorMsg(int code);
  [[noreturn]] virtual void RaiseSocketError(int code);
  [[noreturn]] void RaiseLastSocketError();
  // result unless it is -1, which raises.
  int CheckForSocketError(int result);
  // result unless it is -1; then the last error code when it is in ignore, else raises.
  int CheckForSocketError(int result, std::initializer_list<int> ignore);

  // The system's address family of a version; raises ENetIPVersionUnsupported for others.
  static int AddressFamily(TNetIPVersion version);

protected:
  TNetStack() = default;
};

}  // namespace tarvo::net
