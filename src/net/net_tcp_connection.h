// A TCP connection component: owns or borrows an I/O handler through which all reading and
// writing happens, and disconnects it. A handler made by the connection itself is managed
// (freed with the connection or when replaced); one handed in with SetIOHandler is only
// referenced, and its destruction clears the reference.
#pragma once

#include <memory>

#include "net/net_component.h"
#include "net/net_intercept.h"
#include "net/net_io_handler.h"

namespace tarvo::net {

class TNetIOHandlerSocket;

class TNetTCPConnection : public TNetComponent {
  TARVO_PERSISTENT_CLASS(TNetTCPConnection)
public:
  explicit TNetTCPConnection(core::TComponent* owner = nullptr);
  ~TNetTCPConnection() override;

  TNetIOHandler* IOHandler() const noexcept { return FIOHandler; }
  // Attaches a handler that is not owned (nullptr detaches). A managed handler in use is
  // freed. The handler reports its work through this connection from now on.
  virtual void SetIOHandler(TNetIOHandler* handler);
  bool ManagedIOHandler() const noexcept { return FManagedIOHandler != nullptr && FManagedIOHandler.get() == FIOHandler; }
  // The handler when it is a socket handler, else nullptr.
  TNetIOHandlerSocket* Socket() const noexcept { return FSocket; }
  TNetConnectionIntercept* Intercept() const noexcept { return FIntercept; }
  void SetIntercept(TNetConnectionIntercept* value);

  // Makes a handler of the most recently installed class deriving from baseClass (without
  // one: the default class, TNetIOHandlerStack), attaches it and marks it managed. Raises
  // ENetException "Cannot change a connected IOHandler." while connected, and "No
  // IOHandler of type <name> is installed." when no installed class fits.
  TNetIOHandler* CreateIOHandler(const core::TClassInfo* baseClass = nullptr);

  TNetNotifyEvent OnDisconnected;

  // The handler reports a live connection (see TNetIOHandler::Connected); false without one.
  virtual bool Connected();
  // Closes the handler when it is open, with hsDisconnecting / hsDisconnected; safe to call
  // any number of times.
  virtual void Disconnect(bool notifyPeer = true);
  // The handler's CheckForDisconnect(raise, false); without a handler raises "Not Connected"
  // when asked to.
  void CheckForGracefulDisconnect(bool raise = true);

protected:
  // A farewell to the peer before disconnecting; nothing here.
  virtual void DisconnectNotifyPeer() {}
  virtual void DoOnDisconnected();
  void Notification(core::TComponent* component, core::TOperation operation) override;
  // Attaches handler and takes ownership of it.
  void SetManagedIOHandler(std::unique_ptr<TNetIOHandler> handler);

private:
  void AttachIOHandler(TNetIOHandler* handler, std::unique_ptr<TNetIOHandler> owned);

  TNetIOHandler* FIOHandler = nullptr;
  core::TComponent* FIOHandlerComponent = nullptr;  // FIOHandler as a component, for Notification
  std::unique_ptr<TNetIOHandler> FManagedIOHandler;
  TNetIOHandlerSocket* FSocket = nullptr;
  TNetConnectionIntercept* FIntercept = nullptr;
};

}  // namespace tarvo::net
