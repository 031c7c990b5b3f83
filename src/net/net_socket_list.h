// Sets of socket handles and readability waits on them.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "net/net_types.h"

namespace tarvo::net {

// A lockable set of at most 64 socket handles with readability waits.
class TNetSocketList {
public:
  static constexpr int MaxSockets = 64;

  TNetSocketList() = default;
  TNetSocketList(const TNetSocketList&) = delete;
  TNetSocketList& operator=(const TNetSocketList&) = delete;

  // Raises ENetStackSetSizeExceeded "Set Size Exceeded." when 64 handles are in the list.
  void Add(TNetStackSocketHandle handle);
  void Remove(TNetStackSocketHandle handle);
  bool ContainsSocket(TNetStackSocketHandle handle) const;
  int Count() const;
  TNetStackSocketHandle Items(int index) const;
  void Clear();
  std::unique_ptr<TNetSocketList> Clone() const;

  // Waits until one handle is readable or timeoutMS has passed (-2 or -1: no limit, 0: poll).
  // Afterwards the list holds only the ready handles. Raises on a failed wait.
  bool SelectRead(int timeoutMS = NetTimeoutInfinite);
  // The same over three lists at once (any may be nullptr).
  static bool Select(TNetSocketList* readList, TNetSocketList* writeList, TNetSocketList* exceptList,
                     int timeoutMS = NetTimeoutInfinite);
  // Readability of the list's sockets without changing the list.
  bool SelectReadList(TNetSocketList& readyList, int timeoutMS = NetTimeoutInfinite) const;

private:
  mutable std::mutex FLock;
  std::vector<TNetStackSocketHandle> FHandles;
};

// Waits until fd is readable (or has an error / hang-up) within timeoutMS (-1 / -2: no
// limit). EINTR restarts the wait with the remaining time. Raises on failure.
bool NetWaitReadable(TNetStackSocketHandle fd, int timeoutMS);

}  // namespace tarvo::net
