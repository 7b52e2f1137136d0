#include "runtime/worker_pool.h"

#include <cxxabi.h>

#include <exception>

#include "platform/event_wait.h"
#include "runtime/thread_layer.h"

UTL_worker_threads::UTL_worker_threads(int thread_count, int slots) : slot_limit(slots) {
  UTL_message_queue_create(&input);
  UTL_message_queue_create(&output);
  if (thread_count < 1) thread_count = 1;
  threads.resize(thread_count);
  join_handles.resize(thread_count);
  ids.resize(thread_count);
  for (int i = 0; i < thread_count; ++i)
    UTL_thread_create(thread_func, this, &threads[i], &ids[i], &join_handles[i]);
}

UTL_worker_threads::~UTL_worker_threads() {
  for (size_t i = 0; i < threads.size(); ++i) UTL_message_queue_write(input, nullptr);
  for (size_t i = 0; i < threads.size(); ++i)
    if (!pthread_equal(threads[i], UTL_thread{})) UTL_thread_join(threads[i], join_handles[i]);
  UTL_message_queue_destroy(input);
  UTL_message_queue_destroy(output);
}

void UTL_worker_threads::enqueue_task(UTL_work_task* task) {
  ++tasks_in_flight;
  unreturned.fetch_add(1);
  UTL_message_queue_write(input, task);
}

UTL_work_task* UTL_worker_threads::check_retired_tasks() {
  UTL_work_task* task = static_cast<UTL_work_task*>(UTL_message_queue_read(output, 0));
  if (task) --tasks_in_flight;
  return task;
}

UTL_work_task* UTL_worker_threads::wait_retired_tasks() {
  if (tasks_in_flight == 0) return nullptr;
  // A task whose do_it raised a fatal alert ended its thread and will never come back. Waiting
  // in slices and showing posted fatal reports between them lets that report end the process
  // instead of leaving the owner waiting for ever.
  for (;;) {
    void* item = UTL_message_queue_read(output, 100);
    if (item) {
      --tasks_in_flight;
      return static_cast<UTL_work_task*>(item);
    }
    THREAD_check_exception(0);
  }
}

// No null check: it misreads the binding of the forced-unwind object, which is no C++ object.
__attribute__((no_sanitize("null"))) void* UTL_worker_threads::thread_func(void* p) {
  UTL_worker_threads* pool = static_cast<UTL_worker_threads*>(p);
  for (;;) {
    UTL_work_task* task = static_cast<UTL_work_task*>(UTL_message_queue_read(pool->input, -1));
    if (!task) return nullptr;
    // An escaping exception would end the whole process; the task goes back to its owner with
    // the message instead, and its check_error reports it.
    try {
      task->do_it();
    } catch (abi::__forced_unwind&) {
      throw;
    } catch (std::exception& e) {
      task->escaped = e.what();
      if (task->escaped.empty()) task->escaped = "unknown exception";
    } catch (...) {
      task->escaped = "unknown exception";
    }
    UTL_message_queue_write(pool->output, task);
    const bool idle = pool->unreturned.fetch_sub(1) == 1;
    const wake when = pool->wake_when.load();
    if (when == wake::each_task || (when == wake::when_idle && idle)) platform_wake_wait();
  }
}
