// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Jobs numbered 0 to count - 1 run on worker threads, each once, in any order: the caller
// goes on with its own work (reading the next batch, say) until Wait.
#include <atomic>
#include <cstddef>
#include <functional>
#include <thread>
#include <vector>

class TWorkerJobs {
public:
  TWorkerJobs(std::size_t count, unsigned threads, std::function<void(std::size_t)> job)
      : Count(count), Job(std::move(job)) {
    for (unsigned t = 0; t < threads; ++t)
      Workers.emplace_back([this] {
        for (std::size_t j; (j = Next.fetch_add(1)) < Count;)
          Job(j);
      });
  }
  ~TWorkerJobs() { Wait(); }
  TWorkerJobs(const TWorkerJobs&) = delete;
  TWorkerJobs& operator=(const TWorkerJobs&) = delete;

  void Wait() {
    for (std::thread& worker : Workers)
      if (worker.joinable())
        worker.join();
  }

private:
  std::size_t Count;
  std::function<void(std::size_t)> Job;
  std::atomic<std::size_t> Next{0};
  std::vector<std::thread> Workers;
};
