#include "net/net_io_handler_socket.h"

#include <mutex>
#include <vector>

#include "core/format.h"
#include "net/net_strings.h"

#include "net/net_exception.h"
#include "net/net_socket_errors.h"
#include "net/net_stack_bsd.h"

namespace tarvo::net {

const core::TClassInfo& TNetIOHandlerSocket::StaticClassInfo() noexcept {
  static const core::TClassInfo info{"TNetIOHandlerSocket", &core::ClassInfoOf<TNetIOHandler>(), {}};
  return info;
}

const core::TClassInfo& TNetIOHandlerStack::StaticClassInfo() noexcept {
  static const core::TClassInfo info{"TNetIOHandlerStack", &core::ClassInfoOf<TNetIOHandlerSocket>(), {}};
  return info;
}

TNetIOHandlerSocket::TNetIOHandlerSocket(core::TComponent* owner) : TNetIOHandler(owner) {}

TNetIOHandlerSocket::~TNetIOHandlerSocket() {
  if (FBinding) FBinding->CloseSocket();
}

void TNetIOHandlerSocket::SetReuseSocket(TNetReuseSocket value) {
  FReuseSocket = value;
  if (FBinding) FBinding->SetReuseSocket(value);
}

void TNetIOHandlerSocket::SetUseNagle(bool value) {
  FUseNagle = value;
  if (FBinding) FBinding->SetUseNagle(value);
}

void TNetIOHandlerSocket::Open() {
  TNetIOHandler::Open();
  if (FBinding) {
    FBinding->Reset(true);
  } else {
    FBinding = std::make_unique<TNetSocketHandle>();
  }
  FBinding->SetClientPortMin(FBoundPortMin);
  FBinding->SetClientPortMax(FBoundPortMax);
  if (!Host().empty() && Port() > 0) ConnectSocket();
}

void TNetIOHandlerSocket::ConnectSocket() {
  TNetStack& stack = TNetStack::Get();
  if (OnBeforeBind) OnBeforeBind(this);
  FBinding->SetIPVersion(FIPVersion);
  FBinding->AllocateSocket(Net_SOCK_STREAM, 0);
  if (OnSocketAllocated) OnSocketAllocated(this);

  if (!FBoundIP.empty()) FBinding->SetIP(FBoundIP);
  FBinding->SetPort(FBoundPort);
  FBinding->SetClientPortMin(FBoundPortMin);
  FBinding->SetClientPortMax(FBoundPortMax);
  FBinding->SetReuseSocket(FReuseSocket);
  FBinding->SetSockOpt(Net_SOL_SOCKET, Net_SO_REUSEADDR, FReuseSocket == rsTrue ? 1 : 0);
  FBinding->Bind();
  FBinding->SetUseNagle(FUseNagle);
  if (OnAfterBind) OnAfterBind(this);

  std::string address;
  if (FIPVersion == Net_IPv4 && TNetStack::IsIP(Host())) {
    address = Host();
  } else if (FIPVersion == Net_IPv6 && !TNetStack::CanonicalIPv6Text(Host()).empty()) {
    address = TNetStack::CanonicalIPv6Text(Host());
  } else {
    ReportStatus(hsResolving, {Host()});
    address = stack.ResolveHost(Host(), FIPVersion);
  }
  FBinding->SetPeerIP(address);
  FBinding->SetPeerPort(Port());
  ReportStatus(hsConnecting, {address});

  if (ConnectTimeout() != 0) {
    FBinding->ConnectWithTimeout(ConnectTimeout());
  } else if (TNetAntiFreezeBase::ShouldUse()) {
    FBinding->ConnectWithTimeout(120000);
  } else {
    FBinding->Connect();
  }
}

void TNetIOHandlerSocket::Close() {
  if (FBinding) FBinding->CloseSocket();
  TNetIOHandler::Close();
}

bool TNetIOHandlerSocket::HasSource() const { return FBinding && FBinding->HandleAllocated(); }

void TNetIOHandlerSocket::CheckForDisconnect(bool raise, bool ignoreBuffer) {
  bool lost;
  if (ClosedGracefully()) {
    if (HasSource()) {
      FBinding->CloseSocket();
      ReportStatus(hsDisconnected);
    }
    lost = true;
  } else {
    lost = !HasSource();
  }
  if (lost && raise && (ignoreBuffer || InputBuffer().Size() == 0)) throw ENetConnClosedGracefully();
}

bool TNetIOHandlerSocket::Connected() {
  bool base = BaseConnected();
  return (HasSource() && base) || !InputBufferIsEmpty();
}

bool TNetIOHandlerSocket::Readable(int timeoutMS) { return FBinding ? FBinding->Readable(timeoutMS) : false; }

int TNetIOHandlerSocket::FilterError(int result) {
  return TNetStack::Get().CheckForSocketError(result, {Net_WSAESHUTDOWN, Net_WSAECONNABORTED, Net_WSAECONNRESET});
}

void TNetIOHandlerSocket::RaiseErrorCode(int code) {
  TNetStack::Get().RaiseSocketError(code);
  RaiseSocketErrorCode(code);  // in case a replaced stack returns
}

bool TNetIOHandlerStack::Connected() {
  if (HasSource() && Opened()) {
    // A close (or reset) the peer already sent is noticed here, so that a caller asking
    // whether an idle connection is still usable gets a true answer instead of an error.
    try {
      FillInputBuffer(false, 0, false);
    } catch (const ENetException&) {
      SetClosedGracefully(true);
    }
  }
  return TNetIOHandlerSocket::Connected();
}

int TNetIOHandlerStack::ReadFromSocket(TNetBytes& buffer) { return TNetStack::Get().Receive(Binding()->Handle(), buffer); }

int TNetIOHandlerStack::WriteToSocket(const TNetBytes& bytes, int offset, int length) {
  TNetStack& stack = TNetStack::Get();
  // The raw send leaves a failure to FilterError, which tells a vanished peer from other
  // errors.
  if (auto* bsd = dynamic_cast<TNetStackBSDBase*>(&stack)) return bsd->WSSend(Binding()->Handle(), bytes.data() + offset, length);
  return stack.Send(Binding()->Handle(), bytes, length, offset);
}

namespace {

struct TRegisteredClass {
  const core::TClassInfo* Info;
  TNetIOHandlerFactory Factory;
};

std::mutex gFactoryLock;
TNetIOHandlerFactory gDefaultFactory;

std::vector<TRegisteredClass>& Registry() {
  static std::vector<TRegisteredClass> registry{
      {&core::ClassInfoOf<TNetIOHandlerStack>(), [] { return std::unique_ptr<TNetIOHandler>(new TNetIOHandlerStack()); }}};
  return registry;
}

}  // namespace

void RegisterIOHandlerClass(const core::TClassInfo& classInfo, TNetIOHandlerFactory factory) {
  std::lock_guard<std::mutex> guard(gFactoryLock);
  Registry().push_back({&classInfo, std::move(factory)});
}

void SetDefaultIOHandlerFactory(TNetIOHandlerFactory factory) {
  std::lock_guard<std::mutex> guard(gFactoryLock);
  gDefaultFactory = std::move(factory);
}

std::unique_ptr<TNetIOHandler> MakeDefaultIOHandler() {
  TNetIOHandlerFactory factory;
  {
    std::lock_guard<std::mutex> guard(gFactoryLock);
    factory = gDefaultFactory;
  }
  if (factory) return factory();
  return std::make_unique<TNetIOHandlerStack>();
}

std::unique_ptr<TNetIOHandler> MakeIOHandlerOfClass(const core::TClassInfo& base) {
  TNetIOHandlerFactory factory;
  {
    std::lock_guard<std::mutex> guard(gFactoryLock);
    auto& registry = Registry();
    for (auto it = registry.rbegin(); it != registry.rend() && !factory; ++it)
      if (it->Info->InheritsFrom(base)) factory = it->Factory;
  }
  if (!factory) throw ENetException(core::Format(core::LoadResString(RSIOHandlerTypeNotInstalled), {base.Name}));
  return factory();
}

}  // namespace tarvo::net
