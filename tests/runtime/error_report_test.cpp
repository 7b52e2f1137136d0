#include "runtime/error_report.h"

#include <gtest/gtest.h>

#include <thread>

#include "runtime/shell_services.h"
#include "runtime/thread_layer.h"
#include "support/shell_double.h"

namespace {

struct ErrorReport : ::testing::Test {
  void SetUp() override {
    shell_double::reopen_log();
    shell_double::reset();
  }
  void TearDown() override {
    if (THREAD_is_inited()) THREAD_shutdown();
  }
};

TEST_F(ErrorReport, DefaultReportIsAnEmptyFatalOne) {
  exce_class e;
  EXPECT_EQ(e.line1 + e.line2 + e.line3 + e.line4, "");
  EXPECT_STREQ(e.file, "no exception");
  EXPECT_EQ(e.line_number, 0);
  EXPECT_EQ(e.severity, 2);
}

TEST_F(ErrorReport, CopiesShareTheFileAndOwnTheirLines) {
  static const char file[] = "source.cpp";
  exce_class a("one", "two", "three", "four", file, 9, 1);
  exce_class b(a);
  exce_class c;
  c = a;
  a.line1 = "changed";
  for (const exce_class* e : {&b, &c}) {
    EXPECT_EQ(e->line1, "one");
    EXPECT_EQ(e->line4, "four");
    EXPECT_EQ(e->file, file);  // the same pointer, not a copy of the text
    EXPECT_EQ(e->line_number, 9);
    EXPECT_EQ(e->severity, 1);
  }
}

// The label follows the original: only severity 0 is "non-fatal".
TEST_F(ErrorReport, LogAndContinueWritesTheReportToTheLog) {
  for (int severity : {0, 1, 2}) {
    shell_double::reopen_log();
    exce_class("a", "b", "", "d", "f.cpp", 17, severity).LogAndContinue();
    EXPECT_EQ(shell_double::log_text(),
              std::string("Logging ") + (severity == 0 ? "non-fatal" : "fatal") +
                  " Exception thrown from file: f.cpp, line 17.\na\nb\n\nd\n");
  }
  EXPECT_TRUE(shell_double::alerts().empty());
}

// Before the thread layer runs, and on the main thread, a report is an alert; on a worker it
// goes back to the main thread and never runs the shell's finish call there.
TEST_F(ErrorReport, ReportRoutesByThread) {
  for (int severity : {1, 2}) {
    SCOPED_TRACE(severity);
    for (int layer : {0, 1}) {
      shell_double::reset();
      if (layer) THREAD_init();
      exce_class("l1", "l2", "l3", "l4", "main.cpp", 5, severity).Report();
      auto alerts = shell_double::alerts();
      ASSERT_EQ(alerts.size(), 1u);
      EXPECT_EQ(alerts[0].screen, 0);
      EXPECT_EQ(alerts[0].lines[3], "l4");
      EXPECT_EQ(alerts[0].type, severity);
      EXPECT_EQ(alerts[0].file, "main.cpp");
      EXPECT_EQ(alerts[0].line, 5);
      if (layer) THREAD_shutdown();
    }

    shell_double::reset();
    shell_double::reopen_log();
    THREAD_init();
    UTL_thread t{}, id{}, join{};
    static int sev;
    sev = severity;
    THREAD_create(
        [](void*) -> void* {
          exce_class("w1", "w2", "", "", "worker.cpp", 8, sev).Report();
          return nullptr;
        },
        nullptr, &t, &id, &join, 0);
    UTL_thread_join(t, join);
    EXPECT_TRUE(shell_double::alerts().empty());
    EXPECT_TRUE(shell_double::finishups().empty());
    EXPECT_EQ(app_done, 0);
    EXPECT_EQ(shell_double::log_text(), "");
    THREAD_check_exception(1);
    auto alerts = shell_double::alerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_TRUE(alerts[0].on_main_thread);
    EXPECT_EQ(alerts[0].lines[0], "w1");
    EXPECT_EQ(alerts[0].type, severity);
    THREAD_shutdown();
  }
}

TEST_F(ErrorReport, MadeFatalAWarningIsQueuedAsFatal) {
  THREAD_init();
  exce_class e("was a warning", "", "", "", "f", 1, 1);
  e.MakeFatal();
  THREAD_send_exception(e);
  THREAD_check_exception(0);  // fatal reports only
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].type, 2);
}

}  // namespace
