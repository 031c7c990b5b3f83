#include "net/net_tcp_connection.h"

#include "core/scope_guard.h"
#include "net/net_exception.h"
#include "net/net_io_handler_socket.h"
#include "net/net_strings.h"

namespace tarvo::net {

const core::TClassInfo& TNetTCPConnection::StaticClassInfo() noexcept {
  static const core::TClassInfo info{"TNetTCPConnection", &core::ClassInfoOf<TNetComponent>(), {}};
  return info;
}

TNetTCPConnection::TNetTCPConnection(core::TComponent* owner) : TNetComponent(owner) {}

TNetTCPConnection::~TNetTCPConnection() {
  if (FIOHandler != nullptr) {
    try {
      FIOHandler->Close();
    } catch (...) {
    }
  }
  try {
    AttachIOHandler(nullptr, nullptr);
  } catch (...) {
  }
}

void TNetTCPConnection::SetIntercept(TNetConnectionIntercept* value) {
  FIntercept = value;
  if (FIOHandler != nullptr) FIOHandler->SetIntercept(value);
}

void TNetTCPConnection::AttachIOHandler(TNetIOHandler* handler, std::unique_ptr<TNetIOHandler> owned) {
  if (handler == FIOHandler && owned == nullptr) return;
  if (FIntercept != nullptr && handler != nullptr && handler->Intercept() != nullptr && handler->Intercept() != FIntercept)
    throw ENetException(core::LoadResString(RSInterceptIsDifferent));
  TNetIOHandler* old = FIOHandler;
  if (old != nullptr) {
    old->SetWorkTarget(nullptr);
    RemoveFreeNotification(old);
  }
  // The old managed handler dies when this goes out of scope, after the switch, so its
  // removal notification finds nothing to clear.
  std::unique_ptr<TNetIOHandler> oldManaged = std::move(FManagedIOHandler);
  FIOHandler = handler;
  FIOHandlerComponent = handler;
  FSocket = dynamic_cast<TNetIOHandlerSocket*>(handler);
  FManagedIOHandler = std::move(owned);
  if (handler != nullptr) {
    handler->SetWorkTarget(this);
    FreeNotification(handler);
    if (FIntercept != nullptr) handler->SetIntercept(FIntercept);
  }
}

void TNetTCPConnection::SetIOHandler(TNetIOHandler* handler) { AttachIOHandler(handler, nullptr); }

void TNetTCPConnection::SetManagedIOHandler(std::unique_ptr<TNetIOHandler> handler) {
  TNetIOHandler* raw = handler.get();
  AttachIOHandler(raw, std::move(handler));
}

void TNetTCPConnection::Notification(core::TComponent* component, core::TOperation operation) {
  if (operation == core::opRemove && component != nullptr && component == FIOHandlerComponent) {
    FIOHandler = nullptr;
    FIOHandlerComponent = nullptr;
    FSocket = nullptr;
  }
  TNetComponent::Notification(component, operation);
}

TNetIOHandler* TNetTCPConnection::CreateIOHandler(const core::TClassInfo* baseClass) {
  if (Connected()) throw ENetException(core::LoadResString(RSIOHandlerCannotChange));
  std::unique_ptr<TNetIOHandler> handler = baseClass != nullptr ? MakeIOHandlerOfClass(*baseClass) : MakeDefaultIOHandler();
  TNetIOHandler* raw = handler.get();
  SetManagedIOHandler(std::move(handler));
  return raw;
}

bool TNetTCPConnection::Connected() { return FIOHandler != nullptr && FIOHandler->Connected(); }

void TNetTCPConnection::DoOnDisconnected() {
  if (OnDisconnected) OnDisconnected(this);
}

void TNetTCPConnection::Disconnect(bool notifyPeer) {
  core::TScopeGuard closeHandler([this] {
    if (FIOHandler != nullptr && FIOHandler->Opened()) {
      ReportStatus(hsDisconnecting);
      FIOHandler->Close();
      DoOnDisconnected();
      ReportStatus(hsDisconnected);
    }
  });
  if (notifyPeer && Connected()) DisconnectNotifyPeer();
  closeHandler.Run();
}

void TNetTCPConnection::CheckForGracefulDisconnect(bool raise) {
  if (FIOHandler != nullptr) {
    FIOHandler->CheckForDisconnect(raise, false);
  } else if (raise) {
    throw ENetException(core::LoadResString(RSNotConnected));
  }
}

}  // namespace tarvo::net
