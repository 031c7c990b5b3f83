#include "core/worker_pool.h"

#include <algorithm>
#include <system_error>

namespace tarvo::core {

TWorkerPool::TWorkerPool(unsigned count) {
  try {
    for (unsigned i = 0; i < count; ++i) FThreads.emplace_back([this, i] { Loop(i); });
  } catch (const std::system_error&) {
    // The threads started so far do the work.
  }
}

TWorkerPool::~TWorkerPool() {
  {
    std::lock_guard lock(FMutex);
    FStop = true;
    FQueue.clear();
  }
  FWake.notify_all();
  for (std::thread& t : FThreads) t.join();
}

TWorkerPool::TTicket TWorkerPool::Submit(TJob job) {
  TTicket ticket;
  {
    std::lock_guard lock(FMutex);
    ticket = FNext++;
    FQueue.emplace_back(ticket, std::move(job));
  }
  FWake.notify_one();
  return ticket;
}

bool TWorkerPool::Pending(TTicket ticket) const {
  return std::find(FRunning.begin(), FRunning.end(), ticket) != FRunning.end() ||
         std::any_of(FQueue.begin(), FQueue.end(), [&](const auto& queued) { return queued.first == ticket; });
}

void TWorkerPool::Wait(TTicket ticket) {
  std::unique_lock lock(FMutex);
  FFinished.wait(lock, [&] { return !Pending(ticket); });
}

void TWorkerPool::DropQueued() {
  {
    std::lock_guard lock(FMutex);
    FQueue.clear();
  }
  FFinished.notify_all();
}

void TWorkerPool::Loop(unsigned worker) {
  for (;;) {
    std::pair<TTicket, TJob> job;
    {
      std::unique_lock lock(FMutex);
      FWake.wait(lock, [&] { return FStop || !FQueue.empty(); });
      if (FStop) return;
      job = std::move(FQueue.front());
      FQueue.pop_front();
      FRunning.push_back(job.first);
    }
    job.second(worker);
    job.second = nullptr;  // what it holds goes before its waiter goes on
    {
      std::lock_guard lock(FMutex);
      std::erase(FRunning, job.first);
    }
    FFinished.notify_all();
  }
}

}  // namespace tarvo::core
