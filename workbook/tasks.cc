#include "workbook/tasks.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace vestrano {

int ThreadsOrCores(int setting) {
  return setting > 0 ? setting
                     : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

bool RunTasks(std::size_t count, int threads,
              const std::function<void(std::size_t index, int worker)>& task,
              const std::function<void(std::size_t done)>& watch, std::chrono::milliseconds every,
              const CancelFlag* cancel) {
  std::atomic<std::size_t> next{0};
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t done = 0;
  int running = 0;             // workers that have not stopped yet
  std::exception_ptr failure;  // the first exception of a task or the watcher
  auto cancelled = [cancel] { return cancel != nullptr && cancel->IsSet(); };
  // Hands out no index any more: an index is handed out by the fetch_add below, and every one
  // after this exchange is past the end.
  auto fail = [&](std::exception_ptr e) {
    next.exchange(count);
    const std::lock_guard lock(mutex);
    if (!failure) failure = std::move(e);
  };
  auto work = [&](int worker) {
    for (std::size_t i; !cancelled() && (i = next.fetch_add(1)) < count;) {
      try {
        task(i, worker);
      } catch (...) {
        fail(std::current_exception());
        break;
      }
      const std::lock_guard lock(mutex);
      ++done;
      changed.notify_one();
    }
    const std::lock_guard lock(mutex);
    --running;
    changed.notify_one();
  };
  // Joined when they go, should anything below throw.
  std::vector<std::jthread> workers;
  const auto wanted = static_cast<int>(std::min<std::size_t>(std::max(threads, 1), count));
  workers.reserve(static_cast<std::size_t>(wanted));
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
  // The watcher runs until every worker has stopped, and not again once it has thrown.
  bool watching = static_cast<bool>(watch);
  std::size_t seen = 0;
  std::unique_lock lock(mutex);
  for (;;) {
    changed.wait_for(lock, every, [&] { return done != seen || running == 0; });
    seen = done;
    const bool over = running == 0;
    if (watching) {
      lock.unlock();
      try {
        watch(seen);
      } catch (...) {
        watching = false;
        fail(std::current_exception());
      }
      lock.lock();
    }
    if (over) break;
  }
  lock.unlock();
  for (std::jthread& w : workers) w.join();
  if (failure) std::rethrow_exception(failure);
  return seen == count;
}

}  // namespace vestrano
