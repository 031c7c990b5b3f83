#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/processors.h"

namespace tarvo::platform {

namespace {

// GetSystemTimes gives the time all processors together spent idle, in the kernel (idle
// included) and in user mode since start-up; the share of idle time between two readings
// is the share of processors nobody used.
struct TTimes {
  std::uint64_t Idle = 0, Busy = 0, Tick = 0;
};

bool Read(TTimes& t) {
  FILETIME idle{}, kernel{}, user{};
  if (!::GetSystemTimes(&idle, &kernel, &user)) return false;
  auto v = [](const FILETIME& f) { return static_cast<std::uint64_t>(f.dwHighDateTime) << 32 | f.dwLowDateTime; };
  t.Idle = v(idle);
  t.Busy = v(kernel) + v(user) - v(idle);
  t.Tick = ::GetTickCount64();
  return true;
}

// The reading of the last call: a decoder asks per entry, and a fresh interval of its own
// each time would make every small entry wait. An older reading than this is not used.
constexpr std::uint64_t kReadingLifetimeMs = 1000;
// The interval measured when there is no usable earlier reading.
constexpr DWORD kFreshIntervalMs = 15;

std::atomic<std::uint64_t> g_idle{0}, g_busy{0}, g_tick{0};

}  // namespace

unsigned IdleProcessors() noexcept {
  const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
  TTimes before{g_idle.load(), g_busy.load(), g_tick.load()}, now;
  if (!Read(now)) return processors;
  if (before.Tick == 0 || now.Tick - before.Tick > kReadingLifetimeMs || now.Tick - before.Tick < kFreshIntervalMs) {
    before = now;
    ::Sleep(kFreshIntervalMs);
    if (!Read(now)) return processors;
  }
  g_idle = now.Idle;
  g_busy = now.Busy;
  g_tick = now.Tick;
  const std::uint64_t idle = now.Idle - before.Idle, busy = now.Busy - before.Busy;
  if (idle + busy == 0) return processors;
  // Round to the nearest processor. This thread waits while a fresh interval is measured,
  // so its own processor counts as free, as it does on Linux.
  const auto free = static_cast<unsigned>((idle * processors + (idle + busy) / 2) / (idle + busy));
  return std::clamp(free, 1u, processors);
}

}  // namespace tarvo::platform
