#include "runtime/thread_layer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "runtime/shell_services.h"
#include "support/shell_double.h"

namespace {

void* item(uintptr_t v) { return reinterpret_cast<void*>(v); }

struct ThreadLayer : ::testing::Test {
  void SetUp() override {
    shell_double::reopen_log();
    shell_double::reset();
    THREAD_init();
  }
  void TearDown() override {
    if (THREAD_is_inited()) THREAD_shutdown();
  }
  // Starts a thread through the layer's trampoline and waits for it to end.
  static void run_thread(UTL_thread_func f, void* arg = nullptr) {
    UTL_thread t{}, id{}, join{};
    THREAD_create(f, arg, &t, &id, &join, 0);
    UTL_thread_join(t, join);
  }
  static std::vector<std::string> headlines() {
    std::vector<std::string> out;
    for (auto& a : shell_double::alerts())
      if (a.on_main_thread) out.push_back(std::to_string(a.type) + " " + a.lines[0]);
    return out;
  }
};

TEST_F(ThreadLayer, KnowsTheMainThread) {
  EXPECT_EQ(THREAD_is_inited(), 1);
  EXPECT_EQ(THREAD_is_main_thread(), 1);
  int on_main = -1;
  std::thread([&] { on_main = THREAD_is_main_thread(); }).join();
  EXPECT_EQ(on_main, 0);
}

TEST_F(ThreadLayer, CookiesStepByFourAndNeverGiveZero) {
  THREAD_make_workers();
  struct row {
    int start;
    std::vector<int> want;
  } rows[] = {
      {0, {4, 8, 12}},
      {-8, {-4, 4, 8}},
      {2147483644, {INT32_MIN, INT32_MIN + 4}},  // wraps without signed overflow
  };
  for (const row& r : rows) {
    THREAD_set_next_cookie_for_test(r.start);
    for (int want : r.want) {
      THREAD_call* call = THREAD_run_async([](void* a) -> void* { return a; }, item(1));
      EXPECT_EQ(call->cookie, want);
      while (!THREAD_is_done(call, -1)) {
      }
      THREAD_cleanup(call);
    }
  }
}

TEST_F(ThreadLayer, ManyAsyncCallsOverTheWorkersEachGiveTheirResult) {
  THREAD_make_workers();
  std::vector<THREAD_call*> calls;
  for (uintptr_t i = 1; i <= 1000; ++i) {
    calls.push_back(THREAD_run_async(
        [](void* a) -> void* { return item(reinterpret_cast<uintptr_t>(a) * 3); }, item(i)));
    if (calls.size() == 50 || i == 1000) {
      for (size_t k = 0; k < calls.size(); ++k) {
        while (!THREAD_is_done(calls[k], 1000)) {
        }
        EXPECT_EQ(THREAD_cleanup(calls[k]), item((i - calls.size() + 1 + k) * 3));
      }
      calls.clear();
    }
  }
  EXPECT_TRUE(shell_double::alerts().empty());
}

TEST_F(ThreadLayer, CleanupOfACallNotDoneIsFatal) {
  THREAD_make_workers();
  static UTL_message_queue* gate;
  UTL_message_queue_create(&gate);
  THREAD_call* call =
      THREAD_run_async([](void*) -> void* { return UTL_message_queue_read(gate, -1); }, nullptr);
  EXPECT_EQ(THREAD_cleanup(call), nullptr);
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].lines[0], "Thread cleanup called on not-done call.");
  EXPECT_EQ(alerts[0].type, 2);
  EXPECT_EQ(alerts[0].file, "/code/design++/RIzirud/Thread/hl_thread");
  EXPECT_EQ(alerts[0].line, 610);
  UTL_message_queue_write(gate, item(77));
  while (!THREAD_is_done(call, -1)) {
  }
  EXPECT_EQ(THREAD_cleanup(call), item(77));
  UTL_message_queue_destroy(gate);
}

TEST_F(ThreadLayer, SendExceptionBySeverity) {
  // 0 is dropped, 1 and 2 are queued and the main thread goes on.
  for (int severity : {0, 1, 2, 3})
    THREAD_send_exception(exce_class("s" + std::to_string(severity), "", "", "", "f", 1, severity));
  THREAD_check_exception(1);
  EXPECT_EQ(headlines(), (std::vector<std::string>{"2 s2", "1 s1"}));
}

TEST_F(ThreadLayer, FatalReportOnAWorkerEndsThatThread) {
  static std::atomic<int> after{0};
  run_thread([](void*) -> void* {
    THREAD_send_exception(exce_class("dead", "", "", "", "f", 1, 2));
    after = 1;
    return nullptr;
  });
  EXPECT_EQ(after.load(), 0);
  THREAD_check_exception(0);
  EXPECT_EQ(headlines(), (std::vector<std::string>{"2 dead"}));
}

TEST_F(ThreadLayer, CheckShowsFatalReportsFirstAndWarningsOnlyWhenAsked) {
  run_thread([](void*) -> void* {
    THREAD_send_exception(exce_class("w1", "", "", "", "f", 1, 1));
    THREAD_send_exception(exce_class("w2", "", "", "", "f", 2, 1));
    THREAD_send_exception(exce_class("fatal", "", "", "", "f", 3, 2));
    return nullptr;
  });
  THREAD_check_exception(0);
  EXPECT_EQ(headlines(), (std::vector<std::string>{"2 fatal"}));
  THREAD_check_exception(1);
  EXPECT_EQ(headlines(), (std::vector<std::string>{"2 fatal", "1 w1", "1 w2"}));
}

// A worker asking for reports must neither take them nor show them.
TEST_F(ThreadLayer, CheckOffTheMainThreadReturnsAtOnce) {
  THREAD_send_exception(exce_class("fatal", "", "", "", "f", 3, 2));
  run_thread([](void*) -> void* {
    THREAD_check_exception(1);
    return nullptr;
  });
  EXPECT_TRUE(shell_double::alerts().empty());
  THREAD_check_exception(1);
  EXPECT_EQ(headlines(), (std::vector<std::string>{"2 fatal"}));
}

// Whatever escapes a thread function becomes one fatal report; a fatal alert inside the
// function ends the thread by unwinding through the trampoline, which must let that unwind
// pass (swallowing it aborts the whole process).
TEST_F(ThreadLayer, WhatEscapesAThreadBecomesAFatalReport) {
  struct row {
    UTL_thread_func f;
    const char* line1;
    const char* line2;
    const char* file;
    int line;
  } rows[] = {
      {[](void*) -> void* { throw 5; }, "Caught an unhandled unknown exception", "",
       "/code/design++/RIzirud/Thread/hl_thread", 368},
      {[](void*) -> void* { throw std::runtime_error("x"); }, "Caught an unhandled C++ exception",
       "x", "/code/design++/RIzirud/Thread/hl_thread", 366},
      {[](void*) -> void* { throw exce_class("warned", "l2", "", "", "task.cpp", 12, 1); },
       "warned", "l2", "task.cpp", 12},
      {[](void*) -> void* {
         __MACIBM_alert(0, "inside", "", "", "", t_exit, "worker.cpp", 40);
         ADD_FAILURE() << "the fatal alert returned on a worker";
         return nullptr;
       },
       "inside", "", "worker.cpp", 40},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.line1);
    shell_double::reset();
    run_thread(r.f);
    THREAD_check_exception(0);  // fatal reports only: each of these must be one
    std::vector<recorded_alert> shown;
    for (auto& a : shell_double::alerts())
      if (a.on_main_thread) shown.push_back(a);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].lines[0], r.line1);
    EXPECT_EQ(shown[0].lines[1], r.line2);
    EXPECT_EQ(shown[0].type, 2);
    EXPECT_EQ(shown[0].file, r.file);
    EXPECT_EQ(shown[0].line, r.line);
  }
}

TEST_F(ThreadLayer, ThreadsAskForContextsOnlyWhenThreadedGLIsOn) {
  static int avail, make_calls, set_calls, failed_calls, make_ok, set_ok;
  static const THREAD_gl_hooks hooks = {
      [] { return avail; }, [] { failed_calls++; },
      []() -> void* {
        make_calls++;
        return make_ok ? item(0x10) : nullptr;
      },
      [](void*) {
        set_calls++;
        return set_ok;
      }};
  struct row {
    int avail, want, make_ok, set_ok;
    int makes, sets, failures;
  } rows[] = {
      {0, 1, 1, 1, 0, 0, 0},  // threaded GL off: no context is ever asked for
      {1, 0, 1, 1, 0, 0, 0},  // the thread does not want one
      {1, 1, 1, 1, 1, 1, 0},
      {1, 1, 0, 1, 1, 0, 1},  // no context could be made
      {1, 1, 1, 0, 1, 1, 1},  // the thread could not make it current
  };
  THREAD_set_gl_hooks(&hooks);
  for (const row& r : rows) {
    avail = r.avail;
    make_ok = r.make_ok;
    set_ok = r.set_ok;
    make_calls = set_calls = failed_calls = 0;
    UTL_thread t{}, id{}, join{};
    THREAD_create([](void* a) -> void* { return a; }, item(3), &t, &id, &join, r.want);
    EXPECT_EQ(UTL_thread_join(t, join), item(3));
    EXPECT_EQ(make_calls, r.makes);
    EXPECT_EQ(set_calls, r.sets);
    EXPECT_EQ(failed_calls, r.failures);
  }
  THREAD_set_gl_hooks(nullptr);
}

TEST_F(ThreadLayer, WorkersAreCountedAndShutdownIsLogged) {
  THREAD_make_workers();
  THREAD_shutdown();
  EXPECT_EQ(THREAD_is_inited(), 0);
  EXPECT_EQ(shell_double::log_text(), "CPU count        : " + std::to_string(UTL_count_processors()) +
                                          "\nClean exit from threads.\n");
}

TEST_F(ThreadLayer, ShutdownWithoutWorkersOnlyFreesTheLayer) {
  THREAD_send_exception(exce_class("never shown", "", "", "", "f", 1, 1));
  THREAD_shutdown();
  EXPECT_EQ(shell_double::log_text(), "Clean exit from threads.\n");
  EXPECT_TRUE(shell_double::alerts().empty());
}

}  // namespace
