// Independent tasks on threads while the caller's thread watches: each index once, a cancel, and
// what a task or the watcher that throws does to the rest.
#include "workbook/tasks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace vestrano {
namespace {

using namespace std::chrono_literals;

// Waits until the flag is set (ten seconds at most, so that a fault fails the test instead of
// hanging it); then gives the thread that set it ample time to get its exception to RunTasks.
void AfterThrow(const std::atomic<bool>& thrown) {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!thrown && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(200ms);
}

// Each index runs once, the watcher runs on the caller's thread and last sees every task done,
// however the counts compare.
TEST(RunTasks, EachIndexOnceWatchedFromTheCaller) {
  const std::pair<std::size_t, int> cases[] = {{0, 4}, {1, 4}, {7, 1}, {50, 3}};
  for (const auto& [count, threads] : cases) {
    SCOPED_TRACE(std::to_string(count) + " tasks on " + std::to_string(threads) + " threads");
    std::vector<std::atomic<int>> runs(count);
    std::vector<std::size_t> seen;
    const auto caller = std::this_thread::get_id();
    RunTasks(
        count, threads,
        [&](std::size_t i, int worker) {
          EXPECT_LT(worker, threads);
          ++runs[i];
        },
        [&](std::size_t done) {
          EXPECT_EQ(std::this_thread::get_id(), caller);
          seen.push_back(done);
        });
    for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(runs[i], 1) << i;
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), count);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  }
}

// A cancel starts no further task; those running end as they would, and the call says that
// some never ran.
TEST(RunTasks, ACancelStartsNoFurtherTask) {
  for (const int threads : {1, 3}) {
    SCOPED_TRACE(std::to_string(threads) + " threads");
    CancelFlag cancel;
    std::vector<std::atomic<int>> runs(50);
    std::atomic<int> started{0};
    const bool all = RunTasks(
        runs.size(), threads,
        [&](std::size_t i, int) {
          if (++started == 5) cancel.Set();
          ++runs[i];
        },
        {}, kWatchEvery, &cancel);
    EXPECT_FALSE(all);
    EXPECT_GE(started, 5);
    EXPECT_LE(started, 4 + threads);  // at most one more on each thread that had begun a task
    for (const auto& r : runs) EXPECT_LE(r, 1);
  }
  CancelFlag before;
  before.Set();
  int runs = 0;
  EXPECT_FALSE(RunTasks(
      3, 2, [&](std::size_t, int) { ++runs; }, {}, kWatchEvery, &before));
  EXPECT_EQ(runs, 0);
  CancelFlag never;
  EXPECT_TRUE(RunTasks(
      3, 2, [](std::size_t, int) {}, {}, kWatchEvery, &never));
}

// A task that throws: no task starts after it, the running ones end before the call does, and
// the call raises the first exception (later ones are dropped).
TEST(RunTasks, AThrowingTaskStopsTheRestAndIsRethrownAfterTheJoin) {
  // One thread: the order is known.
  std::vector<int> ran;
  try {
    RunTasks(10, 1, [&](std::size_t i, int) {
      ran.push_back(static_cast<int>(i));
      if (i == 3) throw std::runtime_error("task 3");
    });
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "task 3");
  }
  EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3}));

  // Three threads: tasks 0 and 1 are running when task 2 throws; they end later, and throw too.
  std::atomic<bool> thrown{false};
  std::atomic<int> started{0}, ended{0};
  try {
    RunTasks(50, 3, [&](std::size_t i, int) {
      ++started;
      if (i == 2) {
        thrown = true;
        throw std::runtime_error("task 2");
      }
      if (i < 2) AfterThrow(thrown);
      ++ended;
      throw std::runtime_error("later");
    });
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "task 2");
  }
  EXPECT_EQ(started, 3);
  EXPECT_EQ(ended, 2);
}

// A watcher that throws while both threads run a task: no task starts after it, the running ones
// end before the call does, the watcher is not called again, and the call raises its exception.
TEST(RunTasks, AThrowingWatcherStopsTheTasksAndIsRethrownAfterTheJoin) {
  std::atomic<bool> thrown{false};
  std::atomic<int> started{0}, ended{0};
  int watched = 0;
  try {
    RunTasks(
        50, 2,
        [&](std::size_t, int) {
          ++started;
          AfterThrow(thrown);
          ++ended;
        },
        [&](std::size_t) {
          if (started < 2) return;  // once both threads are in a task
          ++watched;
          thrown = true;
          throw std::runtime_error("watcher");
        },
        1ms);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "watcher");
  }
  EXPECT_EQ(started, 2);
  EXPECT_EQ(ended, 2);
  EXPECT_EQ(watched, 1);
}

}  // namespace
}  // namespace vestrano
