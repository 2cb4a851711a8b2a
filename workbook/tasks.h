#pragma once
// Independent tasks on threads of their own while the caller's thread watches them.
#include <chrono>
#include <cstddef>
#include <functional>

#include "workbook/progress.h"

namespace vestrano {

// A thread-count setting made a number: 0 (or less) means one per processor core; at least 1.
int ThreadsOrCores(int setting);

inline constexpr std::chrono::milliseconds kWatchEvery{100};

// Runs task(index, worker) once for every index from 0 to count - 1 on up to `threads` threads;
// the next free thread takes the next index, and worker (0 … threads - 1) names the thread, for
// what a thread keeps between its tasks. Meanwhile the caller's thread calls watch(done) after
// tasks end and at least every `every` (a window's progress must be drawn from its own thread),
// and returns once all have ended. When the system starts fewer threads, those that started do
// all the work; when it starts none, the caller's thread runs the tasks.
// Once cancel is set, no further task starts: the call returns when the running ones have ended,
// false when some never ran (the tasks themselves may poll the flag to end early).
// Once a task or the watcher throws, no further task starts either (and the watcher that threw
// is not called again): when the running tasks have ended and every thread is joined, the call
// raises the first exception; the others are dropped.
bool RunTasks(std::size_t count, int threads,
              const std::function<void(std::size_t index, int worker)>& task,
              const std::function<void(std::size_t done)>& watch = {},
              std::chrono::milliseconds every = kWatchEvery, const CancelFlag* cancel = nullptr);

}  // namespace vestrano
