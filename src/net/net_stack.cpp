#include "net/net_stack.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "core/resource_string.h"
#include "core/text_case.h"
#include "net/net_component.h"
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
    return LookupKeepingAlive(host, Net_IPv4);
  }
  if (version == Net_IPv6) {
    std::string canonical = CanonicalIPv6Text(host);
    if (!canonical.empty()) return canonical;
    return LookupKeepingAlive(host, Net_IPv6);
  }
  throw ENetIPVersionUnsupported();
}

std::string TNetStack::LookupKeepingAlive(const std::string& name, TNetIPVersion version) {
  if (!TNetAntiFreezeBase::ShouldUse()) return LookupHostAddress(name, version);
  struct TLookup {
    std::mutex Lock;
    std::condition_variable Done;
    bool Finished = false;
    std::string Address;
    std::exception_ptr Error;
  };
  auto lookup = std::make_shared<TLookup>();
  IncUsage();  // the thread's: the stack outlives a caller that stops waiting
  try {
    std::thread([lookup, name, version, stack = this] {
      std::string address;
      std::exception_ptr error;
      try {
        address = stack->LookupHostAddress(name, version);
      } catch (...) {
        error = std::current_exception();
      }
      {
        std::lock_guard<std::mutex> guard(lookup->Lock);
        lookup->Address = std::move(address);
        lookup->Error = error;
        lookup->Finished = true;
      }
      lookup->Done.notify_all();
      DecUsage();
    }).detach();
  } catch (...) {
    DecUsage();
    throw;
  }
  const int slice = std::max(1, TNetAntiFreezeBase::Instance()->IdleTimeOut());
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(lookup->Lock);
      if (lookup->Done.wait_for(lock, std::chrono::milliseconds(slice), [&] { return lookup->Finished; })) {
        if (lookup->Error) std::rethrow_exception(lookup->Error);
        return lookup->Address;
      }
    }
    TNetAntiFreezeBase::DoProcess();
  }
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
