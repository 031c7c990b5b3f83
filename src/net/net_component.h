// Base of every network component (connections, I/O handlers, the HTTP client): work
// (progress) notifications in two directions, status notifications, and the component's
// share in the process-wide socket stack (the stack lives while any component does).
//
// Work: producers call BeginWork(mode, total) / DoWork(mode, bytes) / EndWork(mode).
// Nested begins only count depth; OnWorkBegin and OnWorkEnd fire for the outermost pair, and
// OnWork reports the running total since that begin. DoWork outside a pair is ignored. With
// a WorkTarget set, all three calls are handed on to the target (an I/O handler reports its
// work through the connection that uses it).
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/component.h"
#include "net/net_types.h"

namespace tarvo::net {

class TNetComponent;

using TWorkBeginEvent = std::function<void(TNetComponent* ASender, TWorkMode AWorkMode, std::int64_t AWorkCountMax)>;
using TWorkEvent = std::function<void(TNetComponent* ASender, TWorkMode AWorkMode, std::int64_t AWorkCount)>;
using TWorkEndEvent = std::function<void(TNetComponent* ASender, TWorkMode AWorkMode)>;
using TNetStatusEvent =
    std::function<void(TNetComponent* ASender, TNetStatus AStatus, const std::string& AStatusText)>;
using TNetNotifyEvent = std::function<void(TNetComponent* ASender)>;

struct TWorkInfo {
  std::int64_t Current = 0;
  std::int64_t Max = 0;
  int Level = 0;
};

// A component of the component model: it can have an owner that frees it, and uses
// FreeNotification / Notification for references to components it does not own.
class TNetComponent : public core::TComponent {
  TARVO_PERSISTENT_CLASS(TNetComponent)
public:
  explicit TNetComponent(core::TComponent* owner = nullptr);
  ~TNetComponent() override;

  TWorkBeginEvent OnWorkBegin;
  TWorkEvent OnWork;
  TWorkEndEvent OnWorkEnd;
  TNetStatusEvent OnStatus;

  virtual void BeginWork(TWorkMode mode, std::int64_t total = 0);
  virtual void DoWork(TWorkMode mode, std::int64_t count);
  virtual void EndWork(TWorkMode mode);

  const TWorkInfo& WorkInfo(TWorkMode mode) const noexcept { return FWorkInfos[mode]; }

  TNetComponent* WorkTarget() const noexcept { return FWorkTarget; }
  // The target is only referenced; its destruction clears the reference.
  void SetWorkTarget(TNetComponent* target);

  // Formats the status's text with args (texts of the TNetStatus values) and fires OnStatus;
  // nothing is formatted without a handler.
  void ReportStatus(TNetStatus status, std::initializer_list<std::string_view> args = {});

protected:
  // Clears the work target when it is freed.
  void Notification(core::TComponent* component, core::TOperation operation) override;

private:
  TWorkInfo FWorkInfos[2];
  TNetComponent* FWorkTarget = nullptr;
  // The same object seen as a component: compared against in Notification, where the
  // freed object is no longer a TNetComponent.
  core::TComponent* FWorkTargetComponent = nullptr;
};

// Text of a status value with its format filled in ("Connecting to 127.0.0.1.").
std::string NetStatusText(TNetStatus status, std::initializer_list<std::string_view> args);

// The hook that lets a single-threaded GUI program keep its window alive during blocking
// network calls. At most one instance exists; the transport calls DoProcess after waits and
// sends and slices its waits by IdleTimeOut while the hook is in use (an instance exists,
// it is Active, and the caller is the main thread). The installer creates none.
class TNetAntiFreezeBase {
public:
  // Raises ENetException "Only one TNetAntiFreeze can exist per application." for a second one.
  TNetAntiFreezeBase();
  virtual ~TNetAntiFreezeBase();
  TNetAntiFreezeBase(const TNetAntiFreezeBase&) = delete;
  TNetAntiFreezeBase& operator=(const TNetAntiFreezeBase&) = delete;

  bool Active() const noexcept { return FActive; }
  void SetActive(bool value) noexcept { FActive = value; }
  bool ApplicationHasPriority() const noexcept { return FApplicationHasPriority; }
  void SetApplicationHasPriority(bool value) noexcept { FApplicationHasPriority = value; }
  int IdleTimeOut() const noexcept { return FIdleTimeOut; }
  void SetIdleTimeOut(int ms) noexcept { FIdleTimeOut = ms; }
  bool OnlyWhenIdle() const noexcept { return FOnlyWhenIdle; }
  void SetOnlyWhenIdle(bool value) noexcept { FOnlyWhenIdle = value; }

  // The keeping-alive step of the user interface.
  virtual void Process() = 0;

  static TNetAntiFreezeBase* Instance() noexcept;
  static bool ShouldUse() noexcept;
  static void DoProcess(bool idle = true, bool overrideIdle = false);
  static void Sleep(int ms);
  // The thread that counts as the main (GUI) thread: the one that created the first hook, or
  // the one set here.
  static void SetMainThread(std::thread::id id) noexcept;

private:
  bool FActive = true;
  bool FApplicationHasPriority = true;
  int FIdleTimeOut = 250;
  bool FOnlyWhenIdle = true;
};

}  // namespace tarvo::net
