#include "net/net_stack.h"

#include <algorithm>
#include <utility>

#include "core/resource_string.h"
#include "core/text_case.h"
#include "net/net_exception.h"
#include "net/net_socket_errors.h"
#include "net/net_strings.h"

namespace tarvo::net {

// ---------------------------------------------------------------------------------------
// The shared instance

namespace {

struct TSharedStack {
  std::mutex Lock;
  std::unique_ptr<TNetStack> Instance;
  TNetStackFactory Factory = &NetMakeSystemStack;
  int Users = 0;
};

// Never destroyed itself: components may die during static destruction and still call
// DecUsage. The instance it owns is freed by the last DecUsage.
TSharedStack& Shared() {
  static TSharedStack* shared = new TSharedStack;
  return *shared;
}

}  // namespace

void TNetStack::IncUsage() {
  TSharedStack& shared = Shared();
  std::lock_guard<std::mutex> guard(shared.Lock);
  if (shared.Users == 0) {
    if (shared.Instance != nullptr) throw ENetException(core::LoadResString(RSStackAlreadyCreated));
    if (shared.Factory == nullptr) throw ENetException(core::LoadResString(RSStackClassUndefined));
    shared.Instance = shared.Factory();
  }
  ++shared.Users;
}

void TNetStack::DecUsage() {
  TSharedStack& shared = Shared();
  std::lock_guard<std::mutex> guard(shared.Lock);
  if (shared.Users > 0 && --shared.Users == 0) shared.Instance.reset();
}

TNetStack* TNetStack::Instance() noexcept {
  TSharedStack& shared = Shared();
  std::lock_guard<std::mutex> guard(shared.Lock);
  return shared.Instance.get();
}

TNetStack& TNetStack::Get() {
  TNetStack* stack = Instance();
  if (stack == nullptr) throw ENetNotConnected();
  return *stack;
}

TNetStackFactory TNetStack::SetStackClass(TNetStackFactory factory) noexcept {
  TSharedStack& shared = Shared();
  std::lock_guard<std::mutex> guard(shared.Lock);
  return std::exchange(shared.Factory, factory);
}

int TNetStack::UserCount() noexcept {
  TSharedStack& shared = Shared();
  std::lock_guard<std::mutex> guard(shared.Lock);
  return shared.Users;
}

std::string TNetStack::ResolveHost(const std::string& host, TNetIPVersion version) {
  if (version == Net_IPv4) {
    if (core::SameText(host, "LOCALHOST")) return "127.0.0.1";
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

}  // namespace tarvo::net
