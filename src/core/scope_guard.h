// Cleanup that must run however a block is left. The guard runs its action when it goes
// out of scope; on the normal path the block calls Run() itself, so a failing cleanup
// reaches the caller there. When the block is left by an exception the destructor runs the
// action and drops any failure of it: the first failure is the one the caller needs to see,
// and a destructor never throws.
#pragma once

#include <type_traits>
#include <utility>

namespace tarvo::core {

template <class TAction>
class TScopeGuard {
public:
  explicit TScopeGuard(TAction action) noexcept(std::is_nothrow_move_constructible_v<TAction>)
      : FAction(std::move(action)) {}
  TScopeGuard(const TScopeGuard&) = delete;
  TScopeGuard& operator=(const TScopeGuard&) = delete;
  ~TScopeGuard() {
    if (!FArmed) return;
    try {
      FAction();
    } catch (...) {
    }
  }

  // Runs the action now (once); its failure propagates.
  void Run() {
    if (!FArmed) return;
    FArmed = false;
    FAction();
  }
  // The action will not run.
  void Dismiss() noexcept { FArmed = false; }

private:
  TAction FAction;
  bool FArmed = true;
};

}  // namespace tarvo::core
