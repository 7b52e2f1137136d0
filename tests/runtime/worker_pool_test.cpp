#include "runtime/worker_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/event_wait.h"

#include "support/shell_double.h"

namespace {

// A task that waits until the test opens its gate, and counts how many run at once.
struct gated_task : UTL_work_task {
  static std::atomic<int> running, most_running;
  UTL_message_queue* gate = nullptr;
  int id = 0;
  bool ran = false;
  void do_it() override {
    int now = ++running;
    int seen = most_running.load();
    while (now > seen && !most_running.compare_exchange_weak(seen, now)) {
    }
    if (gate) UTL_message_queue_read(gate, -1);
    ran = true;
    --running;
  }
  int check_error(std::string& message) override {
    message = escaped;
    return !escaped.empty();
  }
};
std::atomic<int> gated_task::running{0}, gated_task::most_running{0};

struct throwing_task : UTL_work_task {
  bool throw_int;
  explicit throwing_task(bool i) : throw_int(i) {}
  void do_it() override {
    if (throw_int) throw 3;
    throw std::runtime_error("disk on fire");
  }
  int check_error(std::string& message) override {
    message = escaped;
    return !escaped.empty();
  }
};

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(WorkerPool, OneThreadThirtySlotsIsFullUntilATaskIsRetired) {
  UTL_message_queue* gate;
  UTL_message_queue_create(&gate);
  std::vector<std::unique_ptr<gated_task>> tasks;
  {
    UTL_worker_threads pool(1, 30);
    for (int i = 0; i < 30; ++i) {
      ASSERT_EQ(pool.has_free_slot(), 1);
      tasks.emplace_back(new gated_task);
      tasks.back()->gate = gate;
      pool.enqueue_task(tasks.back().get());
    }
    EXPECT_EQ(pool.has_free_slot(), 0);
    EXPECT_EQ(pool.count_total_tasks(), 30);
    UTL_message_queue_write(gate, nullptr);
    UTL_work_task* done = pool.wait_retired_tasks();
    EXPECT_EQ(done, tasks[0].get());
    EXPECT_EQ(pool.has_free_slot(), 1);
    for (int i = 1; i < 30; ++i) UTL_message_queue_write(gate, nullptr);
    while (pool.wait_retired_tasks()) {
    }
    EXPECT_EQ(pool.count_total_tasks(), 0);
  }
  UTL_message_queue_destroy(gate);
}

TEST(WorkerPool, NothingFinishedPollsNullAndNothingInFlightWaitsNull) {
  UTL_message_queue* gate;
  UTL_message_queue_create(&gate);
  UTL_worker_threads pool(2, 4);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(pool.wait_retired_tasks(), nullptr);
  gated_task t;
  t.gate = gate;
  pool.enqueue_task(&t);
  EXPECT_EQ(pool.check_retired_tasks(), nullptr);
  EXPECT_EQ(pool.count_total_tasks(), 1);
  EXPECT_LT(seconds_since(start), 1.0);
  UTL_message_queue_write(gate, nullptr);
  EXPECT_EQ(pool.wait_retired_tasks(), &t);
  EXPECT_EQ(pool.count_total_tasks(), 0);
  UTL_message_queue_destroy(gate);
}

// The owner's cycle as the scan runs it: enqueue while a slot is free, collect without
// blocking, drain at the end. Every task comes back once, never more run at once than there
// are threads, and never more are in flight than the slots allow.
TEST(WorkerPool, ThousandTasksOnePerProcessorFourSlotsEach) {
  const int n = UTL_count_processors();
  gated_task::running = 0;
  gated_task::most_running = 0;
  std::vector<gated_task> tasks(1000);
  std::set<UTL_work_task*> back;
  UTL_worker_threads pool(n, 4 * n);
  size_t next = 0;
  int most_in_flight = 0;
  while (back.size() < tasks.size()) {
    while (next < tasks.size() && pool.has_free_slot()) pool.enqueue_task(&tasks[next++]);
    most_in_flight = std::max(most_in_flight, pool.count_total_tasks());
    UTL_work_task* t = next < tasks.size() ? pool.check_retired_tasks() : pool.wait_retired_tasks();
    if (t) {
      EXPECT_TRUE(back.insert(t).second);
    }
  }
  EXPECT_EQ(pool.wait_retired_tasks(), nullptr);
  EXPECT_LE(most_in_flight, 4 * n);
  EXPECT_LE(gated_task::most_running.load(), n);
  for (auto& t : tasks) EXPECT_TRUE(t.ran);
}

// An exception escaping do_it once ended the whole process; the task now comes back with the
// message for its check_error.
TEST(WorkerPool, ATaskThatThrowsComesBackWithTheMessage) {
  shell_double::reset();
  UTL_worker_threads pool(2, 4);
  throwing_task a(false), b(true);
  pool.enqueue_task(&a);
  pool.enqueue_task(&b);
  std::set<UTL_work_task*> back = {pool.wait_retired_tasks(), pool.wait_retired_tasks()};
  EXPECT_EQ(back, (std::set<UTL_work_task*>{&a, &b}));
  std::string message;
  EXPECT_NE(a.check_error(message), 0);
  EXPECT_EQ(message, "disk on fire");
  EXPECT_NE(b.check_error(message), 0);
  EXPECT_EQ(message, "unknown exception");
  // The pool still works after both.
  gated_task ok;
  pool.enqueue_task(&ok);
  EXPECT_EQ(pool.wait_retired_tasks(), &ok);
  EXPECT_EQ(ok.check_error(message), 0);
  EXPECT_TRUE(shell_double::alerts().empty());
}

// A pool asked for no threads would take tasks that nothing ever runs.
TEST(WorkerPool, NoThreadsAskedStillRunsTasks) {
  for (int threads : {0, -3}) {
    UTL_worker_threads pool(threads, 2);
    gated_task t;
    pool.enqueue_task(&t);
    EXPECT_EQ(pool.wait_retired_tasks(), &t);
    EXPECT_TRUE(t.ran);
  }
}

TEST(WorkerPool, DestroyingAnIdlePoolReturns) {
  auto start = std::chrono::steady_clock::now();
  { UTL_worker_threads pool(UTL_count_processors(), 4); }
  EXPECT_LT(seconds_since(start), 10.0);
}


// The owner's frame wait is woken as the pool was told: for every task back, when the last task
// under way is back, or never. Each wake comes once the task can be collected.
TEST(WorkerPool, WakesTheOwnersWaitAsTold) {
  using wake = UTL_worker_threads::wake;
  struct row {
    const char* name;
    wake when;
    bool after_first, after_last;  // whether a wait wakes once one, then all, are back
  };
  const row rows[] = {
      {"never", wake::never, false, false},
      {"each task", wake::each_task, true, true},
      {"when idle", wake::when_idle, false, true},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    platform_wait_for_events(0);  // no wake left from the row before
    UTL_message_queue* gate;
    UTL_message_queue_create(&gate);
    std::vector<gated_task> tasks(3);
    {
      UTL_worker_threads pool(3, 3);
      pool.wake_owner(r.when);
      for (gated_task& t : tasks) {
        t.gate = gate;
        pool.enqueue_task(&t);
      }
      auto collect = [&](int left) {
        const auto start = std::chrono::steady_clock::now();
        while (pool.count_total_tasks() > left && seconds_since(start) < 10) {
          if (!pool.check_retired_tasks()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_EQ(pool.count_total_tasks(), left);
      };
      UTL_message_queue_write(gate, nullptr);
      collect(2);
      platform_watch_wakes();
      EXPECT_EQ(platform_wait_for_events(100), r.after_first);
      UTL_message_queue_write(gate, nullptr);
      UTL_message_queue_write(gate, nullptr);
      collect(0);
      platform_watch_wakes();
      EXPECT_EQ(platform_wait_for_events(100), r.after_last);
    }
    UTL_message_queue_destroy(gate);
  }
}

}  // namespace
