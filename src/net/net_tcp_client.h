// The TCP client: a connection that knows its target and socket options and connects.
// Connect resolves the host (no name-service query for "localhost" and address literals),
// creates and binds the socket, connects (on the calling thread, or with a limit of
// ConnectTimeout ms), and reports hsResolving / hsConnecting / hsConnected through OnStatus.
// Every failure inside Connect closes the handler before the exception leaves, and a
// managed handler is dropped, so no half-open socket remains.
//
// Any TNetIOHandler can be handed in with SetIOHandler (for example a TNetIOHandlerMemory);
// Connect then only opens it. Without one, Connect makes a TNetIOHandlerStack.
#pragma once

#include <cstdint>
#include <string>

#include "net/net_tcp_connection.h"

namespace tarvo::net {

class TNetTCPClientCustom : public TNetTCPConnection {
  TARVO_PERSISTENT_CLASS(TNetTCPClientCustom)
public:
  explicit TNetTCPClientCustom(core::TComponent* owner = nullptr);
  ~TNetTCPClientCustom() override;

  const std::string& Host() const noexcept { return FHost; }
  virtual void SetHost(const std::string& value);
  std::uint16_t Port() const noexcept { return FPort; }
  virtual void SetPort(std::uint16_t value);
  TNetIPVersion IPVersion() const noexcept { return FIPVersion; }
  virtual void SetIPVersion(TNetIPVersion value);
  const std::string& BoundIP() const noexcept { return FBoundIP; }
  void SetBoundIP(const std::string& value);
  std::uint16_t BoundPort() const noexcept { return FBoundPort; }
  void SetBoundPort(std::uint16_t value);
  std::uint16_t BoundPortMin() const noexcept { return FBoundPortMin; }
  void SetBoundPortMin(std::uint16_t value);
  std::uint16_t BoundPortMax() const noexcept { return FBoundPortMax; }
  void SetBoundPortMax(std::uint16_t value);
  TNetReuseSocket ReuseSocket() const noexcept;
  void SetReuseSocket(TNetReuseSocket value);
  bool UseNagle() const noexcept;
  void SetUseNagle(bool value);
  // 0 = connect on the calling thread without a limit of our own.
  int ConnectTimeout() const noexcept { return FConnectTimeout; }
  void SetConnectTimeout(int value);
  // -1 and 0 = reads wait without limit.
  int ReadTimeout() const noexcept;
  void SetReadTimeout(int value);
  // "host:port", split on the last ':' when set.
  std::string Destination() const;
  void SetDestination(const std::string& value);

  TNetNotifyEvent OnConnected;
  TNetNotifyEvent OnBeforeBind;
  TNetNotifyEvent OnAfterBind;
  TNetNotifyEvent OnSocketAllocated;

  // Raises ENetAlreadyConnected, ENetHostRequired, ENetPortRequired, ENetSocketError
  // (11001 host not found, 10061 refused, ...), ENetConnectTimeout.
  virtual void Connect();
  void Connect(const std::string& host);
  void Connect(const std::string& host, std::uint16_t port);
  // Connects, reads until the peer closes (the bytes are dropped), disconnects.
  void ConnectAndGetAll();

  void SetIOHandler(TNetIOHandler* handler) override;

protected:
  // Makes the handler Connect uses when none is attached.
  virtual std::unique_ptr<TNetIOHandler> MakeClientIOHandler();
  virtual void DoOnConnected();
  // Copies the target and options to the attached handler.
  void CopyToIOHandler();

private:
  std::string FHost;
  std::uint16_t FPort = 0;
  TNetIPVersion FIPVersion = Net_IPv4;
  std::string FBoundIP;
  std::uint16_t FBoundPort = 0;
  std::uint16_t FBoundPortMin = 0;
  std::uint16_t FBoundPortMax = 0;
  TNetReuseSocket FReuseSocket = rsOSDependent;
  bool FUseNagle = true;
  int FConnectTimeout = 0;
  int FReadTimeout = -1;
  std::string FDestination;
};

// The public TCP client component.
class TNetTCPClient : public TNetTCPClientCustom {
  TARVO_PERSISTENT_CLASS(TNetTCPClient)
public:
  using TNetTCPClientCustom::TNetTCPClientCustom;
};

}  // namespace tarvo::net
