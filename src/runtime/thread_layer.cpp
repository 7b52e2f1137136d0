#include "runtime/thread_layer.h"

#include <cxxabi.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <optional>
#include <vector>

#include "runtime/shell_services.h"

namespace {

const char* const layer_file = "/code/design++/RIzirud/Thread/hl_thread";
void* const stop_item = reinterpret_cast<void*>(-1);

// Read by the alert routing on any thread while the main thread starts or stops the layer.
std::atomic<int> threads_inited{0};
pthread_t main_thread{};
UTL_message_queue* warn_exce = nullptr;
UTL_message_queue* quit_exce = nullptr;
UTL_message_queue* call_queue = nullptr;
THREAD_call* free_calls = nullptr;
UTL_critical_section free_calls_lock;
int next_cookie = 0;
std::vector<UTL_thread> worker_threads, worker_threads_join, worker_threads_id;

std::atomic<const THREAD_gl_hooks*> gl_hooks{nullptr};

// Lives on the creator's stack until the new thread has taken its contents.
struct launch_record {
  UTL_thread_func func;
  void* arg;
  UTL_message_queue* handover;
  int want_gl;
  void* context;
};

// The sanitizer's null check misreads the binding of the forced-unwind object, which is no
// C++ object at all; the rethrow is what matters here.
__attribute__((no_sanitize("null"))) void* THREAD_launch(void* p) {
  launch_record* rec = static_cast<launch_record*>(p);
  const THREAD_gl_hooks* hooks = gl_hooks.load();
  if (rec->want_gl && !(hooks && hooks->set_context_loader(rec->context))) rec->want_gl = 0;
  UTL_thread_func func = rec->func;
  void* arg = rec->arg;
  UTL_message_queue_write(rec->handover, nullptr);  // rec is gone after this

  // The report is sent after the handler has finished: sending a fatal one ends this thread.
  std::optional<exce_class> report;
  try {
    return func(arg);
  } catch (abi::__forced_unwind&) {
    // pthread_exit and cancellation unwind with this; swallowing it aborts the process.
    throw;
  } catch (exce_class& e) {
    report = e;
    report->MakeFatal();
  } catch (std::exception& e) {
    report.emplace("Caught an unhandled C++ exception", e.what(), "", "", layer_file, 366, 2);
  } catch (...) {
    report.emplace("Caught an unhandled unknown exception", "", "", "", layer_file, 368, 2);
  }
  THREAD_send_exception(*report);
  return nullptr;
}

void* xtaskproc(void*) {
  for (;;) {
    void* item = UTL_message_queue_read(call_queue, -1);
    if (item == stop_item) return nullptr;
    THREAD_call* call = static_cast<THREAD_call*>(item);
    void* result = call->func(call->arg);
    UTL_critical_section_lock(&call->lock);
    call->result = result;
    UTL_critical_section_unlock(&call->lock);
    UTL_message_queue_write(call->reply, reinterpret_cast<void*>(static_cast<intptr_t>(call->cookie)));
  }
}

void drain_reports(UTL_message_queue* q) {
  while (void* item = UTL_message_queue_read(q, 0)) delete static_cast<exce_class*>(item);
}

void report_all(UTL_message_queue* q) {
  while (void* item = UTL_message_queue_read(q, 0)) {
    exce_class* report = static_cast<exce_class*>(item);
    report->Report();
    delete report;
  }
}

}  // namespace

void THREAD_set_gl_hooks(const THREAD_gl_hooks* hooks) { gl_hooks.store(hooks); }

void THREAD_init() {
  // The platform's threads are always ready, so the start-up test of the original never fails.
  main_thread = UTL_get_current_thread();
  UTL_message_queue_create(&warn_exce);
  UTL_message_queue_create(&quit_exce);
  UTL_critical_section_create(&free_calls_lock);
  UTL_message_queue_create(&call_queue);
  threads_inited.store(1);
}

int THREAD_is_inited() { return threads_inited.load(); }

int THREAD_is_main_thread() { return pthread_equal(UTL_get_current_thread(), main_thread) != 0; }

void THREAD_make_workers() {
  int n = UTL_count_processors();
  xer << "CPU count        : " << n << "\n";
  for (int i = 0; i < n; ++i) {
    UTL_thread t{}, j{}, id{};
    THREAD_create(xtaskproc, nullptr, &t, &id, &j, 1);
    worker_threads.push_back(t);
    worker_threads_join.push_back(j);
    worker_threads_id.push_back(id);
  }
}

void THREAD_create(UTL_thread_func func, void* arg, UTL_thread* thread, UTL_thread* id,
                   UTL_thread* join, int want_gl) {
  const THREAD_gl_hooks* hooks = gl_hooks.load();
  launch_record rec{func, arg, nullptr, 0, nullptr};
  rec.want_gl = (hooks && hooks->threaded_avail()) ? want_gl : 0;
  if (rec.want_gl) {
    rec.context = hooks->make_context_loader();
    if (!rec.context) {
      rec.want_gl = 0;
      hooks->threaded_ogl_failed();
    }
  }
  const int asked_gl = rec.want_gl;
  UTL_message_queue_create(&rec.handover);
  UTL_thread t{}, i{}, j{};
  UTL_thread_create(THREAD_launch, &rec, &t, &i, &j);
  if (thread) *thread = t;
  if (id) *id = i;
  if (join) *join = j;
  // A thread that never started will never hand over; its failure has been alerted already.
  if (!pthread_equal(t, UTL_thread{})) UTL_message_queue_read(rec.handover, -1);
  UTL_message_queue_destroy(rec.handover);
  if (rec.want_gl != asked_gl && hooks) hooks->threaded_ogl_failed();
}

THREAD_call* THREAD_run_async(void* (*func)(void*), void* arg) {
  UTL_critical_section_lock(&free_calls_lock);
  // Unsigned steps wrap without overflow; 0 is skipped because a null item from the reply
  // queue means "nothing yet".
  unsigned cookie = static_cast<unsigned>(next_cookie) + 4u;
  if (cookie == 0) cookie = 4;
  next_cookie = static_cast<int>(cookie);
  THREAD_call* call = free_calls;
  if (call) free_calls = call->next_free;
  UTL_critical_section_unlock(&free_calls_lock);

  if (!call) {
    call = new THREAD_call{};
    UTL_message_queue_create(&call->reply);
    UTL_critical_section_create(&call->lock);
  }
  call->next_free = nullptr;
  call->func = func;
  call->arg = arg;
  call->result = nullptr;
  call->done = 0;
  call->cookie = static_cast<int>(cookie);
  UTL_message_queue_write(call_queue, call);
  return call;
}

int THREAD_is_done(THREAD_call* call, int ms) {
  THREAD_check_exception(0);
  void* got = UTL_message_queue_read(call->reply, ms);
  THREAD_check_exception(0);
  if (!got) return 0;
  UTL_critical_section_lock(&call->lock);
  call->done = 1;
  UTL_critical_section_unlock(&call->lock);
  return 1;
}

void* THREAD_cleanup(THREAD_call* call) {
  THREAD_check_exception(0);
  UTL_critical_section_lock(&call->lock);
  int done = call->done;
  void* result = call->result;
  UTL_critical_section_unlock(&call->lock);
  if (!done) {
    __MACIBM_alert(0, "Thread cleanup called on not-done call.", "", "", "", t_exit, layer_file,
                   610);
    return nullptr;
  }
  UTL_critical_section_lock(&free_calls_lock);
  call->next_free = free_calls;
  free_calls = call;
  UTL_critical_section_unlock(&free_calls_lock);
  return result;
}

void THREAD_send_exception(const exce_class& report) {
  if (!threads_inited.load()) return;
  if (report.severity == 1) {
    UTL_message_queue_write(warn_exce, new exce_class(report));
  } else if (report.severity == 2) {
    UTL_message_queue_write(quit_exce, new exce_class(report));
    if (!THREAD_is_main_thread()) UTL_thread_exit(nullptr);
  }
}

void THREAD_check_exception(int also_warnings) {
  // Only the main thread may show a report; a worker calling through is_done or cleanup must
  // neither steal reports nor run the shell's finish call.
  if (!threads_inited.load() || !THREAD_is_main_thread()) return;
  report_all(quit_exce);
  if (also_warnings) report_all(warn_exce);
}

void THREAD_shutdown() {
  for (size_t i = 0; i < worker_threads.size(); ++i) UTL_message_queue_write(call_queue, stop_item);
  for (size_t i = 0; i < worker_threads.size(); ++i)
    UTL_thread_join(worker_threads[i], worker_threads_join[i]);
  worker_threads.clear();
  worker_threads_join.clear();
  worker_threads_id.clear();

  UTL_critical_section_destroy(&free_calls_lock);
  UTL_message_queue_destroy(call_queue);
  call_queue = nullptr;
  while (THREAD_call* call = free_calls) {
    free_calls = call->next_free;
    UTL_message_queue_destroy(call->reply);
    UTL_critical_section_destroy(&call->lock);
    delete call;
  }
  threads_inited.store(0);
  // Reports nobody showed belong to the layer once queued; free them with their queues.
  drain_reports(warn_exce);
  drain_reports(quit_exce);
  UTL_message_queue_destroy(warn_exce);
  UTL_message_queue_destroy(quit_exce);
  warn_exce = quit_exce = nullptr;
  xer << "Clean exit from threads.\n";
}

void THREAD_set_next_cookie_for_test(int cookie) {
  UTL_critical_section_lock(&free_calls_lock);
  next_cookie = cookie;
  UTL_critical_section_unlock(&free_calls_lock);
}
