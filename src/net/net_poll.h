// Waiting on sockets with a time limit. A wait that a signal interrupts goes on with the
// time that is left, so a limit holds however often the process is interrupted.
#pragma once

#include <poll.h>

#include <cstddef>
#include <cstdint>

namespace tarvo::net {

// Milliseconds on a monotonic clock. Tests may replace the clock (nullptr restores the
// steady clock) to step through time limits without waiting for them.
using TNetClock = std::int64_t (*)();
std::int64_t NetNowMS();
TNetClock SetNetClock(TNetClock clock) noexcept;

// A point in time a limit of timeoutMS from now (negative: no limit) ends.
class TNetDeadline {
public:
  explicit TNetDeadline(int timeoutMS) : FLimited(timeoutMS >= 0), FEnd(FLimited ? NetNowMS() + timeoutMS : 0) {}
  bool Limited() const noexcept { return FLimited; }
  bool Expired() const { return FLimited && NetNowMS() >= FEnd; }
  // The milliseconds left, at most step (negative: no cap); -1 for no limit and no cap.
  int Remaining(int step = -1) const;

private:
  bool FLimited;
  std::int64_t FEnd;
};

// poll() over count descriptors within timeoutMS (negative: no limit). Returns the ready
// count, 0 when the time ran out, -1 on failure with errno set.
int NetPoll(pollfd* fds, std::size_t count, int timeoutMS);

}  // namespace tarvo::net
