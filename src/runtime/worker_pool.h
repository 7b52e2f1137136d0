// A fixed pool of threads that runs work tasks handed in by one owning thread and hands the
// finished tasks back to it. The owner enqueues while a slot is free, collects finished tasks
// each frame, and drains with wait_retired_tasks before deleting the pool.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "runtime/threads.h"

class UTL_work_task {
 public:
  virtual ~UTL_work_task() {}
  // Does the work, on a pool thread; touches only the task's own data.
  virtual void do_it() = 0;
  // Called by the owner on a finished task: 0 on success, else non-zero with a message.
  virtual int check_error(std::string& message) = 0;

  // Set by the pool when do_it let an exception escape; check_error implementations report it.
  std::string escaped;
};

class UTL_worker_threads {
 public:
  // A thread count below 1 still gets one thread, or nothing would ever run the tasks.
  UTL_worker_threads(int thread_count, int slot_limit);
  // Stops and joins the threads. Tasks still queued are not deleted.
  ~UTL_worker_threads();
  UTL_worker_threads(const UTL_worker_threads&) = delete;
  UTL_worker_threads& operator=(const UTL_worker_threads&) = delete;

  // Does not test the slot limit: ask has_free_slot first.
  void enqueue_task(UTL_work_task* task);
  int has_free_slot() const { return tasks_in_flight < slot_limit; }
  // A finished task, or null at once.
  UTL_work_task* check_retired_tasks();
  // Null when nothing is in flight; else waits for the next finished task.
  UTL_work_task* wait_retired_tasks();
  int count_total_tasks() const { return tasks_in_flight; }

  // When the owner's frame wait is woken (platform_wake_wait), once a finished task is back in
  // the owner's reach: never, for every task, or when the last task under way is back.
  enum class wake { never, each_task, when_idle };
  void wake_owner(wake when) { wake_when = when; }

 private:
  static void* thread_func(void* pool);

  UTL_message_queue* input = nullptr;
  UTL_message_queue* output = nullptr;
  int slot_limit;
  int tasks_in_flight = 0;
  std::atomic<wake> wake_when{wake::never};
  // Tasks handed in and not yet handed back, counted by the threads too.
  std::atomic<int> unreturned{0};
  std::vector<UTL_thread> threads, join_handles, ids;
};
