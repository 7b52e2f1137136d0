// The thread layer: which thread is the main thread, the trampoline that starts every thread
// of the program (turning an exception that escapes it into a fatal report), a pool of general
// workers fed by a call queue, and the passing of error reports from any thread to the main
// thread, which shows them once per frame.
#pragma once

#include "runtime/error_report.h"
#include "runtime/threads.h"

// Threaded OpenGL, as far as the layer needs it. The graphics layer and the shell sit above
// this one, so they hand these in once the window and the capability check exist; until then
// (and whenever threaded GL is off) no thread asks for a context.
struct THREAD_gl_hooks {
  int (*threaded_avail)();           // threaded GL usable now
  void (*threaded_ogl_failed)();     // switches threaded GL off and tells the user
  void* (*make_context_loader)();    // a context sharing the main one, or null
  int (*set_context_loader)(void*);  // makes it current on the calling thread; 1 on success
};
// Null clears them.
void THREAD_set_gl_hooks(const THREAD_gl_hooks* hooks);

// One call posted to the pool.
struct THREAD_call {
  THREAD_call* next_free;
  UTL_message_queue* reply;
  UTL_critical_section lock;
  void* (*func)(void*);
  void* arg;
  void* result;
  int done;
  int cookie;
};

void THREAD_init();
int THREAD_is_inited();
int THREAD_is_main_thread();
// One idle worker per processor.
void THREAD_make_workers();
// Starts a thread through the trampoline; returns once the thread has taken its arguments.
void THREAD_create(UTL_thread_func func, void* arg, UTL_thread* thread, UTL_thread* id,
                   UTL_thread* join, int want_gl);

// The call pool: run_async, then is_done until 1, then exactly one cleanup per call.
THREAD_call* THREAD_run_async(void* (*func)(void*), void* arg);
int THREAD_is_done(THREAD_call* call, int ms);
void* THREAD_cleanup(THREAD_call* call);

// Queues a copy for the main thread: severity 1 as a warning; severity 2 as fatal, after which
// a thread other than the main one ends at once. Other severities are dropped.
void THREAD_send_exception(const exce_class& report);
// Main thread only (returns at once elsewhere): shows every fatal report, then the warnings
// when also_warnings is non-zero.
void THREAD_check_exception(int also_warnings);
// Stops and joins the workers and frees the layer.
void THREAD_shutdown();

// Sets the last cookie handed out, so that tests can start the sequence near its wrap.
void THREAD_set_next_cookie_for_test(int cookie);
