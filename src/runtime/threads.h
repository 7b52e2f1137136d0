// The thin layer over POSIX threads: starting, joining, ending and cancelling threads, sleeping,
// counting processors, recursive locks and the thread-safe pointer queue with a read time-out.
// Every failed OS call here is a fatal alert naming the call, except a failed join, which only
// logs a warning.
#pragma once

#include <pthread.h>
#include <time.h>

using UTL_thread = pthread_t;
using UTL_thread_func = void* (*)(void*);

// Threads.
UTL_thread UTL_get_current_thread();
int UTL_count_processors();
// Writes the new thread's handle to all three outputs (zero handles when the start failed).
void UTL_thread_create(UTL_thread_func func, void* arg, UTL_thread* thread, UTL_thread* id,
                       UTL_thread* join);
// Waits for the thread and returns its result; null (and a log warning) when the wait fails.
void* UTL_thread_join(UTL_thread thread, UTL_thread join);
[[noreturn]] void UTL_thread_exit(void* result);
void UTL_thread_murder(UTL_thread thread);
// Nothing for 0 or less.
void UTL_sleep(int ms);

// The recursive lock, embedded in the structure it guards.
struct UTL_critical_section {
  pthread_mutex_t mutex;
};
void UTL_critical_section_create(UTL_critical_section* cs);
void UTL_critical_section_destroy(UTL_critical_section* cs);
void UTL_critical_section_lock(UTL_critical_section* cs);
void UTL_critical_section_unlock(UTL_critical_section* cs);
// 1 when the lock was taken; never waits. Not an alerting call: a busy lock is an answer.
int UTL_critical_section_trylock(UTL_critical_section* cs);

// First-in first-out queue of untyped pointers. It never owns its items; null is a legal item
// and also what an empty poll or a timed-out read returns.
struct UTL_message_queue;
void UTL_message_queue_create(UTL_message_queue** queue);
void UTL_message_queue_destroy(UTL_message_queue* queue);
void UTL_message_queue_write(UTL_message_queue* queue, void* item);
// The oldest item, or null. ms 0 polls, -1 waits for ever, a positive value waits up to that
// many milliseconds; any other negative value polls as well.
void* UTL_message_queue_read(UTL_message_queue* queue, int ms);
// Readers currently registered as waiting (for tests and diagnostics).
int UTL_message_queue_waiting(UTL_message_queue* queue);

// The absolute deadline ms milliseconds (ms >= 0) after the instant (sec, usec), normalised so
// that the nanoseconds lie in 0..999,999,999.
timespec UTL_queue_deadline(long sec, long usec, int ms);
