#include "net/net_poll.h"

#include <algorithm>
#include <atomic>
#include <chrono>

namespace tarvo::net {

namespace {

std::int64_t SteadyMS() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::atomic<TNetClock> GClock{&SteadyMS};

}  // namespace

std::int64_t NetNowMS() { return GClock.load(std::memory_order_relaxed)(); }

TNetClock SetNetClock(TNetClock clock) noexcept { return GClock.exchange(clock != nullptr ? clock : &SteadyMS); }

short NetPollToNative(short events, const TNetPollBit* bits, std::size_t count) {
  short native = 0;
  for (std::size_t i = 0; i < count; ++i)
    if (events & bits[i].Ours) native = static_cast<short>(native | bits[i].Native);
  return native;
}

short NetPollFromNative(short native, const TNetPollBit* bits, std::size_t count) {
  short events = 0;
  for (std::size_t i = 0; i < count; ++i)
    if (native & bits[i].Native) events = static_cast<short>(events | bits[i].Ours);
  return events;
}

int TNetDeadline::Remaining(int step) const {
  if (!FLimited) return step;
  std::int64_t left = std::max<std::int64_t>(0, FEnd - NetNowMS());
  if (step >= 0) left = std::min<std::int64_t>(left, step);
  return static_cast<int>(left);
}

}  // namespace tarvo::net
