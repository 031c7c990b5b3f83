#include "net/net_socket_handle.h"

#include <algorithm>

#include "net/net_component.h"
#include "net/net_exception.h"
#include "net/net_poll.h"

namespace tarvo::net {

TNetSocketHandle::TNetSocketHandle() = default;

TNetSocketHandle::~TNetSocketHandle() {
  try {
    CloseSocket();
  } catch (...) {
  }
}

void TNetSocketHandle::SetIPVersion(TNetIPVersion value) {
  if (value == FIPVersion) return;
  if (HandleAllocated()) throw ENetCannotSetIPVersionWhenConnected();
  FIPVersion = value;
}

void TNetSocketHandle::SetUseNagle(bool value) {
  FUseNagle = value;
  if (HandleAllocated() && FSocketType == Net_SOCK_STREAM) {
    bool noDelay = GetSockOpt(Net_IPPROTO_TCP, Net_TCP_NODELAY) != 0;
    if (noDelay == value) SetSockOpt(Net_IPPROTO_TCP, Net_TCP_NODELAY, value ? 0 : 1);
  }
}

void TNetSocketHandle::AllocateSocket(int socketType, int protocol) {
  CloseSocket();
  TNetStack& stack = TNetStack::Get();
  TNetStackSocketHandle handle = stack.NewSocketHandle(socketType, protocol, FIPVersion, FOverLapped);
  {
    std::lock_guard<std::recursive_mutex> guard(FConnectionHandle);
    FHandle = handle;
  }
  FReadList.Add(handle);
  FSocketType = GetSockOpt(Net_SOL_SOCKET, Net_SO_TYPE);
  if (FSocketType == Net_SOCK_STREAM) FUseNagle = GetSockOpt(Net_IPPROTO_TCP, Net_TCP_NODELAY) == 0;
}

void TNetSocketHandle::CloseSocket() {
  std::lock_guard<std::recursive_mutex> guard(FConnectionHandle);
  if (!HandleAllocated()) return;
  TNetStackSocketHandle handle = FHandle;
  FHandle = Net_INVALID_SOCKET;
  FSocketType = 0;
  FReadList.Remove(handle);
  if (TNetStack* stack = TNetStack::Instance()) stack->Disconnect(handle);
}

void TNetSocketHandle::Reset(bool resetLocal) {
  CloseSocket();
  if (resetLocal) {
    FIP.clear();
    FPort = 0;
  }
  FPeerIP.clear();
  FPeerPort = 0;
  FIPVersion = Net_IPv4;
}

bool TNetSocketHandle::TryBind(std::uint16_t port) {
  try {
    TNetStack::Get().Bind(FHandle, FIP, FIPVersion, port);
    return true;
  } catch (const ENetSocketError&) {
    return false;
  }
}

void TNetSocketHandle::Bind() {
  if (FPort == 0 && (FClientPortMin != 0 || FClientPortMax != 0) && FClientPortMin != 0 && FClientPortMax != 0) {
    if (FClientPortMax < FClientPortMin) throw ENetInvalidPortRange(FClientPortMin, FClientPortMax);
    // From the top down: the first free port wins.
    bool bound = false;
    for (int port = FClientPortMax; port >= FClientPortMin && !bound; --port) bound = TryBind(static_cast<std::uint16_t>(port));
    if (!bound) throw ENetCanNotBindPortInRange(FClientPortMin, FClientPortMax);
  } else if (!TryBind(FPort)) {
    throw ENetCouldNotBindSocket();
  }
  UpdateBindingLocal();
}

void TNetSocketHandle::FinishConnect() {
  std::lock_guard<std::recursive_mutex> guard(FConnectionHandle);
  if (!HandleAllocated()) return;
  UpdateBindingLocal();
  UpdateBindingPeer();
}

void TNetSocketHandle::Connect() {
  TNetStack::Get().Connect(FHandle, FPeerIP, FIPVersion, FPeerPort);
  FinishConnect();
}

void TNetSocketHandle::ConnectWithTimeout(int timeoutMS) {
  if (!TNetStack::Get().ConnectWithTimeout(FHandle, FPeerIP, FIPVersion, FPeerPort, timeoutMS)) {
    CloseSocket();
    throw ENetConnectTimeout();
  }
  FinishConnect();
}

bool TNetSocketHandle::Readable(int timeoutMS) {
  if (timeoutMS == NetTimeoutDefault) timeoutMS = NetTimeoutInfinite;
  if (!HandleAllocated()) throw ENetConnClosedGracefully();
  if (!TNetAntiFreezeBase::ShouldUse()) return NetWaitReadable(FHandle, timeoutMS);
  // With the hook in use, wait in slices so the window can be kept alive in between.
  const int slice = std::max(1, TNetAntiFreezeBase::Instance()->IdleTimeOut());
  const TNetDeadline deadline(timeoutMS);
  for (;;) {
    if (!HandleAllocated()) throw ENetConnClosedGracefully();
    bool ready = NetWaitReadable(FHandle, deadline.Remaining(slice));
    TNetAntiFreezeBase::DoProcess(!ready);
    if (ready) return true;
    if (deadline.Expired()) return false;
  }
}

void TNetSocketHandle::UpdateBindingLocal() {
  if (!HandleAllocated()) return;
  TNetIPVersion version;
  TNetStack::Get().GetSocketName(FHandle, FIP, FPort, version);
}

void TNetSocketHandle::UpdateBindingPeer() {
  if (!HandleAllocated()) return;
  TNetIPVersion version;
  TNetStack::Get().GetPeerName(FHandle, FPeerIP, FPeerPort, version);
}

void TNetSocketHandle::SetSockOpt(int level, int option, int value) {
  TNetStack::Get().SetSocketOption(FHandle, level, option, value);
}

int TNetSocketHandle::GetSockOpt(int level, int option) { return TNetStack::Get().GetSocketOption(FHandle, level, option); }

}  // namespace tarvo::net
