#include "net/net_tcp_client.h"

#include <charconv>

#include "core/scope_guard.h"
#include "net/net_exception.h"
#include "net/net_io_handler_socket.h"

namespace tarvo::net {

const core::TClassInfo& TNetTCPClientCustom::StaticClassInfo() noexcept {
  static const core::TClassInfo info{"TNetTCPClientCustom", &core::ClassInfoOf<TNetTCPConnection>(), {}};
  return info;
}

const core::TClassInfo& TNetTCPClient::StaticClassInfo() noexcept {
  static const core::TClassInfo info{"TNetTCPClient", &core::ClassInfoOf<TNetTCPClientCustom>(), {}};
  return info;
}

TNetTCPClientCustom::TNetTCPClientCustom(core::TComponent* owner) : TNetTCPConnection(owner) {}

TNetTCPClientCustom::~TNetTCPClientCustom() = default;

void TNetTCPClientCustom::SetHost(const std::string& value) {
  FHost = value;
  if (IOHandler() != nullptr) IOHandler()->SetHost(value);
}

void TNetTCPClientCustom::SetPort(std::uint16_t value) {
  FPort = value;
  if (IOHandler() != nullptr) IOHandler()->SetPort(value);
}

void TNetTCPClientCustom::SetIPVersion(TNetIPVersion value) {
  if (value != Net_IPv4 && value != Net_IPv6) throw ENetIPVersionUnsupported();
  FIPVersion = value;
  if (Socket() != nullptr) Socket()->SetIPVersion(value);
}

void TNetTCPClientCustom::SetBoundIP(const std::string& value) {
  FBoundIP = value;
  if (Socket() != nullptr) Socket()->SetBoundIP(value);
}

void TNetTCPClientCustom::SetBoundPort(std::uint16_t value) {
  FBoundPort = value;
  if (Socket() != nullptr) Socket()->SetBoundPort(value);
}

void TNetTCPClientCustom::SetBoundPortMin(std::uint16_t value) {
  FBoundPortMin = value;
  if (Socket() != nullptr) Socket()->SetBoundPortMin(value);
}

void TNetTCPClientCustom::SetBoundPortMax(std::uint16_t value) {
  FBoundPortMax = value;
  if (Socket() != nullptr) Socket()->SetBoundPortMax(value);
}

TNetReuseSocket TNetTCPClientCustom::ReuseSocket() const noexcept {
  return Socket() != nullptr ? Socket()->ReuseSocket() : FReuseSocket;
}

void TNetTCPClientCustom::SetReuseSocket(TNetReuseSocket value) {
  FReuseSocket = value;
  if (Socket() != nullptr) Socket()->SetReuseSocket(value);
}

bool TNetTCPClientCustom::UseNagle() const noexcept { return Socket() != nullptr ? Socket()->UseNagle() : FUseNagle; }

void TNetTCPClientCustom::SetUseNagle(bool value) {
  FUseNagle = value;
  if (Socket() != nullptr) Socket()->SetUseNagle(value);
}

void TNetTCPClientCustom::SetConnectTimeout(int value) {
  FConnectTimeout = value;
  if (IOHandler() != nullptr) IOHandler()->SetConnectTimeout(value);
}

int TNetTCPClientCustom::ReadTimeout() const noexcept {
  return IOHandler() != nullptr ? IOHandler()->ReadTimeout() : FReadTimeout;
}

void TNetTCPClientCustom::SetReadTimeout(int value) {
  FReadTimeout = value;
  if (IOHandler() != nullptr) IOHandler()->SetReadTimeout(value);
}

std::string TNetTCPClientCustom::Destination() const {
  if (!FDestination.empty()) return FDestination;
  return FHost + ":" + std::to_string(FPort);
}

void TNetTCPClientCustom::SetDestination(const std::string& value) {
  FDestination = value;
  std::size_t colon = value.rfind(':');
  if (colon == std::string::npos) {
    SetHost(value);
    return;
  }
  SetHost(value.substr(0, colon));
  unsigned port = 0;
  const char* first = value.data() + colon + 1;
  const char* last = value.data() + value.size();
  auto [end, ec] = std::from_chars(first, last, port);
  if (ec == std::errc() && end == last && port <= 0xFFFF) SetPort(static_cast<std::uint16_t>(port));
}

void TNetTCPClientCustom::SetIOHandler(TNetIOHandler* handler) {
  TNetTCPConnection::SetIOHandler(handler);
  if (handler != nullptr) CopyToIOHandler();
}

void TNetTCPClientCustom::CopyToIOHandler() {
  TNetIOHandler* handler = IOHandler();
  if (handler == nullptr) return;
  if (!FDestination.empty()) handler->SetDestination(FDestination);
  handler->SetPort(FPort);
  handler->SetHost(FHost);
  handler->SetConnectTimeout(FConnectTimeout);
  handler->SetReadTimeout(FReadTimeout);
  if (TNetIOHandlerSocket* socket = Socket()) {
    socket->SetBoundIP(FBoundIP);
    socket->SetBoundPort(FBoundPort);
    socket->SetBoundPortMin(FBoundPortMin);
    socket->SetBoundPortMax(FBoundPortMax);
    socket->SetIPVersion(FIPVersion);
    socket->SetReuseSocket(FReuseSocket);
    socket->SetUseNagle(FUseNagle);
    socket->OnBeforeBind = OnBeforeBind;
    socket->OnAfterBind = OnAfterBind;
    socket->OnSocketAllocated = OnSocketAllocated;
  }
}

std::unique_ptr<TNetIOHandler> TNetTCPClientCustom::MakeClientIOHandler() { return MakeDefaultIOHandler(); }

void TNetTCPClientCustom::DoOnConnected() {
  if (OnConnected) OnConnected(this);
}

void TNetTCPClientCustom::Connect() {
  if (Connected()) throw ENetAlreadyConnected();
  if (FHost.empty()) throw ENetHostRequired();
  if (FPort == 0) throw ENetPortRequired();
  if (IOHandler() == nullptr) {
    std::unique_ptr<TNetIOHandler> handler = MakeClientIOHandler();
    handler->OnStatus = OnStatus;
    SetManagedIOHandler(std::move(handler));
  }
  // No half-open socket and no half-made managed handler may stay behind.
  core::TScopeGuard undo([this] {
    if (IOHandler() == nullptr) return;
    core::TScopeGuard drop([this] {
      if (ManagedIOHandler()) TNetTCPConnection::SetIOHandler(nullptr);
    });
    IOHandler()->Close();
    drop.Run();
  });
  CopyToIOHandler();
  IOHandler()->Open();
  if (Intercept() != nullptr) Intercept()->Connect();
  ReportStatus(hsConnected, {FHost});
  DoOnConnected();
  undo.Dismiss();
}

void TNetTCPClientCustom::Connect(const std::string& host) {
  SetHost(host);
  Connect();
}

void TNetTCPClientCustom::Connect(const std::string& host, std::uint16_t port) {
  SetHost(host);
  SetPort(port);
  Connect();
}

void TNetTCPClientCustom::ConnectAndGetAll() {
  Connect();
  core::TScopeGuard disconnect([this] { Disconnect(); });
  IOHandler()->DiscardAll();
  disconnect.Run();
}

}  // namespace tarvo::net
