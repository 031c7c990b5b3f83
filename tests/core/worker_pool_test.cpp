// The worker pool: every job runs once on a thread that knows its number, a waiter sees
// what the job wrote, and dropped jobs never run (their waiters return at once).
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <vector>

#include "core/worker_pool.h"

using tarvo::core::TWorkerPool;

namespace {

TEST(WorkerPool, EachJobRunsOnceAndItsWaiterSeesWhatItWrote) {
  for (unsigned threads : {1u, 2u, 5u}) {
    TWorkerPool pool(threads);
    ASSERT_GE(pool.Count(), 1u);
    ASSERT_LE(pool.Count(), threads);
    std::vector<int> results(200, -1);
    std::vector<unsigned> workers(results.size(), ~0u);
    std::vector<TWorkerPool::TTicket> tickets;
    for (std::size_t i = 0; i < results.size(); ++i)
      tickets.push_back(pool.Submit([&, i](unsigned worker) {
        results[i] = static_cast<int>(i * i);  // plain writes: Wait must order them
        workers[i] = worker;
      }));
    for (std::size_t i = 0; i < results.size(); ++i) {
      pool.Wait(tickets[i]);
      EXPECT_EQ(results[i], static_cast<int>(i * i)) << threads << " threads, job " << i;
      EXPECT_LT(workers[i], pool.Count()) << threads << " threads, job " << i;
    }
  }
}

// One job holds the only thread while others queue behind it; then the queue is dropped
// (or the pool ends with it full).
TEST(WorkerPool, DroppedJobsNeverRunAndTheirWaitersReturn) {
  for (bool dropByDestructor : {false, true}) {
    std::atomic<int> ran{0};
    std::promise<void> started, release;
    std::shared_future<void> released = release.get_future().share();
    {
      TWorkerPool pool(1);
      const auto first = pool.Submit([&](unsigned) {
        started.set_value();
        released.wait();
        ++ran;
      });
      started.get_future().wait();
      std::vector<TWorkerPool::TTicket> queued;
      for (int i = 0; i < 5; ++i) queued.push_back(pool.Submit([&](unsigned) { ran += 100; }));
      if (!dropByDestructor) {
        pool.DropQueued();
        for (auto ticket : queued) pool.Wait(ticket);  // would hang if they were still due
        release.set_value();
        pool.Wait(first);
        EXPECT_EQ(ran, 1);
      } else {
        release.set_value();  // the destructor drops the queue, then waits for the running job
      }
    }
    // The running job finished before the pool was gone.
    EXPECT_EQ(ran % 100, 1);
  }
}

}  // namespace
