#include "runtime/threads.h"

#include <errno.h>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>

#include "platform/threads.h"
#include "runtime/shell_services.h"

namespace {

const char* const thread_file = "/code/design++/RIzirud/UTL/UTL_thread";

// A failed OS call is fatal. On the main thread the alert never returns; on a worker it posts
// the report and ends the thread. Callers therefore hold no queue lock when they get here.
void os_error(const char* call, int err, int line) {
  char code[64];
  std::snprintf(code, sizeof code, "err=%f", static_cast<float>(err));
  __MACIBM_alert(0, std::string("\"") + call + "\" OS error", code, "", "", t_exit, thread_file,
                 line);
}

}  // namespace

struct UTL_message_queue {
  pthread_mutex_t lock;
  pthread_cond_t wake;
  std::deque<void*> items;
  int waiting = 0;
};

UTL_thread UTL_get_current_thread() { return pthread_self(); }

int UTL_count_processors() { return platform_processor_count(); }

void UTL_thread_create(UTL_thread_func func, void* arg, UTL_thread* thread, UTL_thread* id,
                       UTL_thread* join) {
  pthread_t t{};
  int err = pthread_create(&t, nullptr, func, arg);
  if (err != 0) {
    // Outputs are zeroed first: a worker's alert returns to here only in a test shell, and
    // nobody may then join a handle that was never set.
    t = pthread_t{};
    if (thread) *thread = t;
    if (id) *id = t;
    if (join) *join = t;
    os_error("pthread_create", err, 112);
    return;
  }
  if (thread) *thread = t;
  if (id) *id = t;
  if (join) *join = t;
}

void* UTL_thread_join(UTL_thread thread, UTL_thread) {
  void* result = nullptr;
  int err = pthread_join(thread, &result);
  if (err != 0) {
    xer << "Warning: wait on thread cleanup failed with error " << err << "\n";
    return nullptr;
  }
  return result;
}

void UTL_thread_exit(void* result) { pthread_exit(result); }

void UTL_thread_murder(UTL_thread thread) { pthread_cancel(thread); }

void UTL_sleep(int ms) {
  if (ms <= 0) return;
  timespec left{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

void UTL_critical_section_create(UTL_critical_section* cs) {
  pthread_mutexattr_t attr;
  int err = pthread_mutexattr_init(&attr);
  if (err) os_error("::pthread_mutexattr_init", err, 179);
  err = pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  if (err) os_error("::pthread_mutexattr_settype", err, 181);
  err = pthread_mutex_init(&cs->mutex, &attr);
  if (err) os_error("::pthread_mutex_init", err, 183);
  err = pthread_mutexattr_destroy(&attr);
  if (err) os_error("::pthread_mutexattr_destroy", err, 185);
}

void UTL_critical_section_destroy(UTL_critical_section* cs) {
  int err = pthread_mutex_destroy(&cs->mutex);
  if (err) os_error("::pthread_mutex_destroy", err, 198);
}

void UTL_critical_section_lock(UTL_critical_section* cs) {
  int err = pthread_mutex_lock(&cs->mutex);
  if (err) os_error("pthread_mutex_lock", err, 211);
}

void UTL_critical_section_unlock(UTL_critical_section* cs) {
  int err = pthread_mutex_unlock(&cs->mutex);
  if (err) os_error("pthread_mutex_unlock", err, 224);
}

int UTL_critical_section_trylock(UTL_critical_section* cs) {
  return pthread_mutex_trylock(&cs->mutex) == 0;
}

void UTL_message_queue_create(UTL_message_queue** queue) {
  UTL_message_queue* q = new UTL_message_queue;
  *queue = q;
  int err = pthread_mutex_init(&q->lock, nullptr);
  if (err) os_error("::pthread_mutex_init", err, 268);
  // Deadlines are measured on the monotonic clock, so that setting the wall clock neither
  // stretches nor cuts a timed read.
  pthread_condattr_t attr;
  pthread_condattr_init(&attr);
  pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
  err = pthread_cond_init(&q->wake, &attr);
  pthread_condattr_destroy(&attr);
  if (err) os_error("::pthread_cond_init", err, 271);
}

void UTL_message_queue_destroy(UTL_message_queue* queue) {
  int err = pthread_mutex_destroy(&queue->lock);
  if (err) os_error("::pthread_mutex_destroy", err, 287);
  err = pthread_cond_destroy(&queue->wake);
  if (err) os_error("::pthread_cond_desroy", err, 290);
  delete queue;  // frees the list, never the items
}

void UTL_message_queue_write(UTL_message_queue* queue, void* item) {
  int err = pthread_mutex_lock(&queue->lock);
  if (err) {
    os_error("pthread_mutex_lock", err, 319);
    return;
  }
  // Signalled under the lock: a reader may destroy a one-shot queue as soon as it has its item
  // (the thread start hand-over does), so the writer must be done with the queue by then.
  if (queue->waiting > 0) {
    err = pthread_cond_signal(&queue->wake);
    if (err) {
      pthread_mutex_unlock(&queue->lock);
      os_error("pthread_cond_signal", err, 324);
      return;
    }
  }
  queue->items.push_back(item);
  err = pthread_mutex_unlock(&queue->lock);
  if (err) os_error("pthread_mutex_unlock", err, 330);
}

timespec UTL_queue_deadline(long sec, long usec, int ms) {
  int64_t nsec = static_cast<int64_t>(ms % 1000) * 1000000 + static_cast<int64_t>(usec) * 1000;
  int64_t s = static_cast<int64_t>(sec) + ms / 1000 + nsec / 1000000000;
  nsec %= 1000000000;
  if (nsec < 0) {
    nsec += 1000000000;
    --s;
  }
  timespec ts;
  ts.tv_sec = static_cast<time_t>(s);
  ts.tv_nsec = static_cast<long>(nsec);
  return ts;
}

void* UTL_message_queue_read(UTL_message_queue* queue, int ms) {
  // Only -1 waits without end; any other negative time-out would make a deadline in the past
  // (or an invalid one), so it polls like 0.
  const bool poll = ms == 0 || ms < -1;
  timespec deadline{};
  if (ms > 0) {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    deadline = UTL_queue_deadline(now.tv_sec, now.tv_nsec / 1000, ms);
  }

  int err = pthread_mutex_lock(&queue->lock);
  if (err) {
    os_error("pthread_mutex_lock", err, 381);
    return nullptr;
  }
  if (poll && queue->items.empty()) {
    err = pthread_mutex_unlock(&queue->lock);
    if (err) os_error("pthread_mutex_unlock", err, 386);
    return nullptr;
  }
  ++queue->waiting;
  for (;;) {
    if (!queue->items.empty()) {
      --queue->waiting;
      void* item = queue->items.front();
      queue->items.pop_front();
      err = pthread_mutex_unlock(&queue->lock);
      if (err) os_error("pthread_mutex_unlock", err, 412);
      return item;
    }
    int rc = ms == -1 ? pthread_cond_wait(&queue->wake, &queue->lock)
                      : pthread_cond_timedwait(&queue->wake, &queue->lock, &deadline);
    if (rc == 0) continue;
    if (rc == ETIMEDOUT) {
      // A write may have raced with the deadline and spent its one signal on us: take its
      // item rather than leave it behind for a reader that was never woken.
      if (!queue->items.empty()) continue;
      --queue->waiting;
      err = pthread_mutex_unlock(&queue->lock);
      if (err) os_error("pthread_mutex_unlock", err, 401);
      return nullptr;
    }
    // Leave the queue usable before alerting: a fatal alert on a worker ends the thread inside
    // the alert, and a lock held there would hang every later user of this queue.
    --queue->waiting;
    pthread_mutex_unlock(&queue->lock);
    os_error("pthread_cond_timedwait", rc, 404);
    return nullptr;
  }
}

int UTL_message_queue_waiting(UTL_message_queue* queue) {
  pthread_mutex_lock(&queue->lock);
  int n = queue->waiting;
  pthread_mutex_unlock(&queue->lock);
  return n;
}
