// One socket with its local and peer addresses (the "binding" of a socket I/O handler).
// Closing the socket and the last step of a connect are serialised by the connection lock,
// so a connect that runs while another thread gives up on it cannot touch a closed handle.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "net/net_socket_list.h"
#include "net/net_stack.h"
#include "net/net_types.h"

namespace tarvo::net {

class TNetSocketHandle {
public:
  TNetSocketHandle();
  ~TNetSocketHandle();
  TNetSocketHandle(const TNetSocketHandle&) = delete;
  TNetSocketHandle& operator=(const TNetSocketHandle&) = delete;

  TNetStackSocketHandle Handle() const noexcept { return FHandle; }
  bool HandleAllocated() const noexcept { return FHandle != Net_INVALID_SOCKET; }

  const std::string& IP() const noexcept { return FIP; }
  void SetIP(const std::string& value) { FIP = value; }
  std::uint16_t Port() const noexcept { return FPort; }
  void SetPort(std::uint16_t value) noexcept { FPort = value; }
  const std::string& PeerIP() const noexcept { return FPeerIP; }
  void SetPeerIP(const std::string& value) { FPeerIP = value; }
  std::uint16_t PeerPort() const noexcept { return FPeerPort; }
  void SetPeerPort(std::uint16_t value) noexcept { FPeerPort = value; }
  TNetIPVersion IPVersion() const noexcept { return FIPVersion; }
  // Raises ENetCannotSetIPVersionWhenConnected when a socket of another family is allocated.
  void SetIPVersion(TNetIPVersion value);
  std::uint16_t ClientPortMin() const noexcept { return FClientPortMin; }
  void SetClientPortMin(std::uint16_t value) noexcept { FClientPortMin = value; }
  std::uint16_t ClientPortMax() const noexcept { return FClientPortMax; }
  void SetClientPortMax(std::uint16_t value) noexcept { FClientPortMax = value; }
  TNetReuseSocket ReuseSocket() const noexcept { return FReuseSocket; }
  void SetReuseSocket(TNetReuseSocket value) noexcept { FReuseSocket = value; }
  bool UseNagle() const noexcept { return FUseNagle; }
  // Applied to an allocated stream socket at once (the no-delay option).
  void SetUseNagle(bool value);
  int SocketType() const noexcept { return FSocketType; }
  bool OverLapped() const noexcept { return FOverLapped; }
  void SetOverLapped(bool value) noexcept { FOverLapped = value; }

  // Closes any previous socket and creates a new one of the handle's family.
  void AllocateSocket(int socketType = Net_SOCK_STREAM, int protocol = 0);
  // Shuts down sending and closes; safe when nothing is allocated.
  void CloseSocket();
  // Clears addresses and closes the socket; the family goes back to IPv4.
  void Reset(bool resetLocal = true);
  // Binds to IP():Port() or, with port 0 and a range, to the highest free port of the range.
  void Bind();
  // Connects to PeerIP():PeerPort() on the calling thread (blocks until made or refused).
  void Connect();
  // Connects with a time limit (ms; -1 = none). Raises ENetConnectTimeout "Connect timed
  // out." when it runs out; the pending connect is abandoned and the socket closed.
  void ConnectWithTimeout(int timeoutMS);
  bool Readable(int timeoutMS = NetTimeoutInfinite);
  void UpdateBindingLocal();
  void UpdateBindingPeer();
  void SetSockOpt(int level, int option, int value);
  int GetSockOpt(int level, int option);

private:
  bool TryBind(std::uint16_t port);
  void FinishConnect();

  std::recursive_mutex FConnectionHandle;  // the connection lock
  TNetStackSocketHandle FHandle = Net_INVALID_SOCKET;
  std::string FIP;
  std::uint16_t FPort = 0;
  std::string FPeerIP;
  std::uint16_t FPeerPort = 0;
  TNetIPVersion FIPVersion = Net_IPv4;
  std::uint16_t FClientPortMin = 0;
  std::uint16_t FClientPortMax = 0;
  TNetReuseSocket FReuseSocket = rsOSDependent;
  bool FUseNagle = true;
  int FSocketType = 0;
  bool FOverLapped = false;
  TNetSocketList FReadList;
};

}  // namespace tarvo::net
