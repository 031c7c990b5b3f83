// I/O handlers over a TCP socket. TNetIOHandlerSocket adds the socket (Binding()), the
// binding options and the connect step to TNetIOHandler; TNetIOHandlerStack reads and
// writes through the socket stack and is the handler a connection makes for itself when it
// has none.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/net_io_handler.h"
#include "net/net_socket_handle.h"

namespace tarvo::net {

class TNetIOHandlerSocket : public TNetIOHandler {
  TARVO_PERSISTENT_CLASS(TNetIOHandlerSocket)
public:
  explicit TNetIOHandlerSocket(core::TComponent* owner = nullptr);
  ~TNetIOHandlerSocket() override;

  // The socket; nullptr before the first Open.
  TNetSocketHandle* Binding() const noexcept { return FBinding.get(); }

  const std::string& BoundIP() const noexcept { return FBoundIP; }
  void SetBoundIP(const std::string& value) { FBoundIP = value; }
  std::uint16_t BoundPort() const noexcept { return FBoundPort; }
  void SetBoundPort(std::uint16_t value) noexcept { FBoundPort = value; }
  std::uint16_t BoundPortMin() const noexcept { return FBoundPortMin; }
  void SetBoundPortMin(std::uint16_t value) noexcept { FBoundPortMin = value; }
  std::uint16_t BoundPortMax() const noexcept { return FBoundPortMax; }
  void SetBoundPortMax(std::uint16_t value) noexcept { FBoundPortMax = value; }
  TNetIPVersion IPVersion() const noexcept { return FIPVersion; }
  void SetIPVersion(TNetIPVersion value) noexcept { FIPVersion = value; }
  TNetReuseSocket ReuseSocket() const noexcept { return FReuseSocket; }
  void SetReuseSocket(TNetReuseSocket value);
  bool UseNagle() const noexcept { return FUseNagle; }
  void SetUseNagle(bool value);

  TNetNotifyEvent OnBeforeBind;
  TNetNotifyEvent OnAfterBind;
  TNetNotifyEvent OnSocketAllocated;

  // Base Open, then (re)creates the binding and, with Host and Port set, connects.
  void Open() override;
  // Closes the socket first.
  void Close() override;
  bool Connected() override;
  void CheckForDisconnect(bool raise = true, bool ignoreBuffer = false) override;
  bool Readable(int timeoutMS = NetTimeoutInfinite) override;

protected:
  virtual void ConnectSocket();
  bool HasSource() const override;
  int FilterError(int result) override;
  [[noreturn]] void RaiseErrorCode(int code) override;

private:
  std::unique_ptr<TNetSocketHandle> FBinding;
  std::string FBoundIP;
  std::uint16_t FBoundPort = 0;
  std::uint16_t FBoundPortMin = 0;
  std::uint16_t FBoundPortMax = 0;
  TNetIPVersion FIPVersion = Net_IPv4;
  TNetReuseSocket FReuseSocket = rsOSDependent;
  bool FUseNagle = true;
};

class TNetIOHandlerStack : public TNetIOHandlerSocket {
  TARVO_PERSISTENT_CLASS(TNetIOHandlerStack)
public:
  using TNetIOHandlerSocket::TNetIOHandlerSocket;
  bool Connected() override;

protected:
  int ReadFromSocket(TNetBytes& buffer) override;
  int WriteToSocket(const TNetBytes& bytes, int offset, int length) override;
};

// Installed handler classes. TNetIOHandlerStack is installed from the start and is the
// default: the handler a connection makes when it has none.
using TNetIOHandlerFactory = std::function<std::unique_ptr<TNetIOHandler>()>;
// Installs a handler class (the most recently installed one wins among matching classes).
void RegisterIOHandlerClass(const core::TClassInfo& classInfo, TNetIOHandlerFactory factory);
// Replaces the default (nullptr restores TNetIOHandlerStack).
void SetDefaultIOHandlerFactory(TNetIOHandlerFactory factory);
std::unique_ptr<TNetIOHandler> MakeDefaultIOHandler();
// A handler of the most recently installed class that derives from base; raises
// ENetException "No IOHandler of type <name> is installed." when there is none.
std::unique_ptr<TNetIOHandler> MakeIOHandlerOfClass(const core::TClassInfo& base);

}  // namespace tarvo::net
