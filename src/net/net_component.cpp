#include "net/net_component.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>

#include "core/format.h"
#include "net/net_exception.h"
#include "net/net_stack.h"
#include "net/net_strings.h"

namespace tarvo::net {

const core::TClassInfo& TNetComponent::StaticClassInfo() noexcept {
  static const core::TClassInfo info{"TNetComponent", &core::ClassInfoOf<core::TComponent>(), {}};
  return info;
}

TNetComponent::TNetComponent(core::TComponent* owner) : core::TComponent(owner) { TNetStack::IncUsage(); }

TNetComponent::~TNetComponent() { TNetStack::DecUsage(); }

void TNetComponent::Notification(core::TComponent* component, core::TOperation operation) {
  if (operation == core::opRemove && component != nullptr && component == FWorkTargetComponent) {
    FWorkTarget = nullptr;
    FWorkTargetComponent = nullptr;
  }
  core::TComponent::Notification(component, operation);
}

void TNetComponent::SetWorkTarget(TNetComponent* target) {
  if (target == FWorkTarget) return;
  // The old target stays registered if some other reference of a derived class needs it;
  // a stale registration only costs a harmless notification.
  FWorkTarget = target;
  FWorkTargetComponent = target;
  if (target != nullptr) FreeNotification(target);
}

void TNetComponent::BeginWork(TWorkMode mode, std::int64_t total) {
  if (FWorkTarget != nullptr) {
    FWorkTarget->BeginWork(mode, total);
    return;
  }
  TWorkInfo& info = FWorkInfos[mode];
  ++info.Level;
  if (info.Level == 1) {
    info.Max = total;
    info.Current = 0;
    if (OnWorkBegin) OnWorkBegin(this, mode, total);
  }
}

void TNetComponent::DoWork(TWorkMode mode, std::int64_t count) {
  if (FWorkTarget != nullptr) {
    FWorkTarget->DoWork(mode, count);
    return;
  }
  TWorkInfo& info = FWorkInfos[mode];
  if (info.Level < 1) return;
  info.Current += count;
  if (OnWork) OnWork(this, mode, info.Current);
}

void TNetComponent::EndWork(TWorkMode mode) {
  if (FWorkTarget != nullptr) {
    FWorkTarget->EndWork(mode);
    return;
  }
  TWorkInfo& info = FWorkInfos[mode];
  if (info.Level == 1 && OnWorkEnd) {
    --info.Level;
    OnWorkEnd(this, mode);
    return;
  }
  --info.Level;
}

std::string NetStatusText(TNetStatus status, std::initializer_list<std::string_view> args) {
  const core::TResourceString* rs = &RSStatusText;
  switch (status) {
    case hsResolving: rs = &RSStatusResolving; break;
    case hsConnecting: rs = &RSStatusConnecting; break;
    case hsConnected: rs = &RSStatusConnected; break;
    case hsDisconnecting: rs = &RSStatusDisconnecting; break;
    case hsDisconnected: rs = &RSStatusDisconnected; break;
    case hsStatusText: rs = &RSStatusText; break;
  }
  if (args.size() == 0) return core::Format(core::LoadResString(*rs), {std::string_view()});
  return core::Format(core::LoadResString(*rs), args);
}

void TNetComponent::ReportStatus(TNetStatus status, std::initializer_list<std::string_view> args) {
  if (!OnStatus) return;
  OnStatus(this, status, NetStatusText(status, args));
}

// ---------------------------------------------------------------------------------------
// Anti-freeze hook

namespace {
std::mutex gAntiFreezeLock;
std::atomic<TNetAntiFreezeBase*> gAntiFreeze{nullptr};
std::thread::id gMainThread;
bool gMainThreadSet = false;
}  // namespace

TNetAntiFreezeBase::TNetAntiFreezeBase() {
  std::lock_guard<std::mutex> guard(gAntiFreezeLock);
  if (gAntiFreeze.load() != nullptr) throw ENetException(core::LoadResString(RSOnlyOneAntiFreeze));
  if (!gMainThreadSet) {
    gMainThread = std::this_thread::get_id();
    gMainThreadSet = true;
  }
  gAntiFreeze.store(this);
}

TNetAntiFreezeBase::~TNetAntiFreezeBase() {
  std::lock_guard<std::mutex> guard(gAntiFreezeLock);
  if (gAntiFreeze.load() == this) gAntiFreeze.store(nullptr);
}

TNetAntiFreezeBase* TNetAntiFreezeBase::Instance() noexcept { return gAntiFreeze.load(); }

void TNetAntiFreezeBase::SetMainThread(std::thread::id id) noexcept {
  std::lock_guard<std::mutex> guard(gAntiFreezeLock);
  gMainThread = id;
  gMainThreadSet = true;
}

bool TNetAntiFreezeBase::ShouldUse() noexcept {
  TNetAntiFreezeBase* hook = gAntiFreeze.load();
  if (hook == nullptr || !hook->Active()) return false;
  std::lock_guard<std::mutex> guard(gAntiFreezeLock);
  return gMainThreadSet && std::this_thread::get_id() == gMainThread;
}

void TNetAntiFreezeBase::DoProcess(bool idle, bool overrideIdle) {
  if (!ShouldUse()) return;
  TNetAntiFreezeBase* hook = gAntiFreeze.load();
  if (hook != nullptr && (idle || !hook->OnlyWhenIdle() || overrideIdle)) hook->Process();
}

void TNetAntiFreezeBase::Sleep(int ms) {
  if (ms <= 0) return;
  if (!ShouldUse()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return;
  }
  TNetAntiFreezeBase* hook = gAntiFreeze.load();
  int slice = std::max(1, hook->IdleTimeOut());
  while (ms > 0) {
    int step = std::min(ms, slice);
    std::this_thread::sleep_for(std::chrono::milliseconds(step));
    ms -= step;
    DoProcess();
  }
}

}  // namespace tarvo::net
