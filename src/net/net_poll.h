// Waiting on sockets with a time limit. A wait that a signal interrupts goes on with the
// time that is left, so a limit holds however often the process is interrupted.
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/net_types.h"

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

// What a wait asks for and what it found, the same bits on every system.
enum : short {
  NetPollIn = 0x01,      // data to read (or the peer closed)
  NetPollOut = 0x02,     // room to write; a pending connect has ended
  NetPollPri = 0x04,     // urgent data
  NetPollError = 0x08,   // reported only: the socket has an error
  NetPollHangUp = 0x10,  // reported only: the peer hung up
};

struct TNetPollFd {
  TNetStackSocketHandle Fd;
  short Events;   // NetPollIn | NetPollOut | NetPollPri
  short REvents;  // set by NetPoll
};

// One of our wait bits and the system's bits that stand for it.
struct TNetPollBit {
  short Ours;
  short Native;
};
// The system's bits for what we ask, and ours for what the system found, by a table of the
// system's (error and hang-up are only ever found).
short NetPollToNative(short events, const TNetPollBit* bits, std::size_t count);
short NetPollFromNative(short native, const TNetPollBit* bits, std::size_t count);

// Waits on count sockets within timeoutMS (negative: no limit): poll() on POSIX systems,
// WSAPoll() on Windows. Returns the ready count, 0 when the time ran out; raises
// ENetSocketError when the wait itself fails.
int NetPoll(TNetPollFd* fds, std::size_t count, int timeoutMS);

}  // namespace tarvo::net
