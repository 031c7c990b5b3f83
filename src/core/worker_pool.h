// A few threads that run jobs in the order they were queued, for work that splits into
// independent pieces (the blocks of a compressed stream). The pool holds no results: a job
// writes its own, and the thread that waits for it reads them after Wait.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tarvo::core {

class TWorkerPool {
public:
  // A job learns which of the pool's threads runs it (0 to Count() - 1), so that it can use
  // state kept per thread. A job must not throw.
  using TJob = std::function<void(unsigned worker)>;
  using TTicket = std::uint64_t;

  // Starts as many threads as the system gives, up to count; Count() says how many.
  explicit TWorkerPool(unsigned count);
  TWorkerPool(const TWorkerPool&) = delete;
  TWorkerPool& operator=(const TWorkerPool&) = delete;
  // Drops the jobs not yet started and waits for the running ones.
  ~TWorkerPool();

  unsigned Count() const noexcept { return static_cast<unsigned>(FThreads.size()); }
  // Queues job behind the others; the ticket names it to Wait.
  TTicket Submit(TJob job);
  // Returns when the job has run, or at once when it was dropped.
  void Wait(TTicket ticket);
  // Jobs not yet started are dropped; those running finish.
  void DropQueued();

private:
  void Loop(unsigned worker);
  bool Pending(TTicket ticket) const;

  std::mutex FMutex;
  std::condition_variable FWake, FFinished;
  std::deque<std::pair<TTicket, TJob>> FQueue;
  std::vector<TTicket> FRunning;
  TTicket FNext = 0;
  bool FStop = false;
  std::vector<std::thread> FThreads;
};

}  // namespace tarvo::core
