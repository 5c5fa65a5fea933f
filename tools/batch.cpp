#include "tools/batch.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

unsigned DefaultJobs() {
  return std::max(1u, std::thread::hardware_concurrency());
}

void RunInOrder(size_t Count, unsigned Jobs, const std::function<TFileOutcome(size_t)>& Work,
                const std::function<void(size_t, const TFileOutcome&)>& Report) {
  if (Jobs <= 1) {
    for (size_t Index = 0; Index < Count; ++Index)
      Report(Index, Work(Index));
    return;
  }
  std::vector<std::optional<TFileOutcome>> Outcomes(Count);
  std::mutex Lock;
  std::condition_variable Finished;
  std::atomic<size_t> Next = 0;
  const auto Worker = [&] {
    for (size_t Index = Next++; Index < Count; Index = Next++) {
      TFileOutcome Outcome = Work(Index);
      const std::lock_guard Guard(Lock);
      Outcomes[Index] = std::move(Outcome);
      Finished.notify_all();
    }
  };
  std::vector<std::jthread> Workers;
  for (size_t Job = 0; Job < std::min<size_t>(Jobs, Count); ++Job)
    Workers.emplace_back(Worker);
  for (size_t Index = 0; Index < Count; ++Index) {
    std::unique_lock Guard(Lock);
    Finished.wait(Guard, [&] { return Outcomes[Index].has_value(); });
    const TFileOutcome Outcome = std::move(*Outcomes[Index]);
    Outcomes[Index].reset();
    Guard.unlock();
    Report(Index, Outcome);
  }
}
