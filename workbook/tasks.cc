#include "workbook/tasks.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace vestrano {

int ThreadsOrCores(int setting) {
  return setting > 0 ? setting : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

bool RunTasks(std::size_t count, int threads,
              const std::function<void(std::size_t index, int worker)>& task,
              const std::function<void(std::size_t done)>& watch, std::chrono::milliseconds every,
              const CancelFlag* cancel) {
  std::atomic<std::size_t> next{0};
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t done = 0;
  int running = 0;  // workers that have not stopped yet
  auto cancelled = [cancel] { return cancel != nullptr && cancel->IsSet(); };
  auto work = [&](int worker) {
    for (std::size_t i; !cancelled() && (i = next.fetch_add(1)) < count;) {
      task(i, worker);
      const std::lock_guard lock(mutex);
      ++done;
      changed.notify_one();
    }
    const std::lock_guard lock(mutex);
    --running;
    changed.notify_one();
  };
  // Joined when they go, also when watch throws.
  std::vector<std::jthread> workers;
  const auto wanted = static_cast<int>(std::min<std::size_t>(std::max(threads, 1), count));
  for (int t = 0; t < wanted; ++t) {
    try {
      {
        const std::lock_guard lock(mutex);
        ++running;
      }
      workers.emplace_back(work, t);
    } catch (const std::system_error&) {
      const std::lock_guard lock(mutex);
      --running;
      break;
    }
  }
  if (workers.empty() && count > 0) {
    ++running;
    work(0);
  }
  std::size_t seen = 0;
  std::unique_lock lock(mutex);
  for (;;) {
    changed.wait_for(lock, every, [&] { return done != seen || running == 0; });
    seen = done;
    const bool over = running == 0;
    if (watch) {
      lock.unlock();
      watch(seen);
      lock.lock();
    }
    if (over) return seen == count;
  }
}

}  // namespace vestrano
