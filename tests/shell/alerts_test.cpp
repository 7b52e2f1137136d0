// The alert call of the real shell, by calling thread, thread-layer state and type. Fatal
// alerts end the process, so those cases run as death tests in a re-executed child; the native
// box is replaced by one that prints to stderr and returns, so nothing ever waits for a person.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "runtime/command_line.h"
#include "runtime/shell_services.h"
#include "runtime/thread_layer.h"
#include "runtime/worker_pool.h"
#include "shell/alerts.h"
#include "shell/log.h"
#include "support/temp_tree.h"
#include "shell/startup.h"

// A fatal alert ends the process while the worker that raised it lies unjoined, as it should;
// ThreadSanitizer would call that a leaked thread and change the exit status.
extern "C" const char* __tsan_default_options() { return "report_thread_leaks=0"; }

namespace {

// The real shell answers the lower layers' calls, as after start-up.
const bool shell_hooks_installed = (shell_install_hooks(), true);

std::vector<std::string> boxes;

void print_box(const std::string& message, const std::string& explanation) {
  boxes.push_back(message + "|" + explanation);
  std::fprintf(stderr, "BOX: %s|%s\n", message.c_str(), explanation.c_str());
}

// Every case works in a folder of its own: the log and "stack_crawl.txt" land there. A death
// test's child runs the case again from the start, so it finds the folder of its parent
// through the environment instead of making one of its own.
struct folder_of_case {
  std::unique_ptr<temp_tree> owned;
  std::string where;
  folder_of_case() {
    const char* inherited = std::getenv("SKY_ALERTS_TEST_DIR");
    if (inherited && *inherited) {
      where = inherited;
      return;
    }
    owned.reset(new temp_tree);
    where = owned->path();
    setenv("SKY_ALERTS_TEST_DIR", where.c_str(), 1);
  }
  ~folder_of_case() {
    if (owned) unsetenv("SKY_ALERTS_TEST_DIR");
  }
  const std::string& path() const { return where; }
};

struct Alerts : ::testing::Test {
  folder_of_case dir;
  std::string old_cwd;
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    char buf[4096];
    old_cwd = getcwd(buf, sizeof buf) ? buf : "/";
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    platform_set_alert_box(print_box);
    boxes.clear();
    app_done = 0;
  }
  void TearDown() override {
    if (THREAD_is_inited()) THREAD_shutdown();
    platform_set_alert_box(nullptr);
    if (chdir(old_cwd.c_str()) != 0) ADD_FAILURE() << "cannot go back to " << old_cwd;
  }
  std::string log() const { return read_whole_file(dir.path() + "Skyrill Installer Log.txt"); }
  std::string crawl() const { return read_whole_file(dir.path() + "stack_crawl.txt"); }
  // The log after its header.
  std::string log_body() const {
    std::string text = log();
    std::string header_end = "case sensitive=0\n\n";
    size_t at = text.find(header_end);
    return at == std::string::npos ? text : text.substr(at + header_end.size());
  }
};

// What the memory report adds to the log before an alert's own lines.
const std::string memory_report_line =
    std::string("OK check MemoryLog.txt! I just sent him a dump from ") + alert_mem_stats_reason +
    "\n";

TEST_F(Alerts, OrdinaryAlertOnTheMainThreadShowsLogsAndReturns) {
  for (int layer : {0, 1}) {
    SCOPED_TRACE(layer);
    MACIBM_open_log(dir.path());
    boxes.clear();
    if (layer) THREAD_init();
    __MACIBM_alert(0, "l1", "l2", "l3", "l4", t_alert, "file.cpp", 12);
    EXPECT_EQ(boxes, (std::vector<std::string>{"l1 l2|l3 l4"}));
    EXPECT_EQ(log_body(), memory_report_line + "\nl1\nl2\nl3\nl4\n(file.cpp line 12)\n");
    EXPECT_NE(read_whole_file(dir.path() + "MemoryLog.txt").find(alert_mem_stats_reason),
              std::string::npos);
    EXPECT_EQ(app_done, 0);
    EXPECT_FALSE(path_exists(dir.path() + "stack_crawl.txt"));
    if (layer) THREAD_shutdown();
  }
}

TEST_F(Alerts, LanguageChooserIsNotLogged) {
  MACIBM_open_log(dir.path());
  __MACIBM_alert(-1, "-", "-", "-", "-", t_lang, "hl_init", 1669);
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(log_body(), "");
}

TEST_F(Alerts, FatalAlertAppendsAStackDumpLogsAndExitsWithOne) {
  write_whole_file(dir.path() + "stack_crawl.txt", "an earlier crash\n");
  EXPECT_EXIT(
      {
        MACIBM_open_log(dir.path());
        THREAD_init();
        __MACIBM_alert(0, "dead", "", "", "end", t_exit, "fatal.cpp", 99);
      },
      testing::ExitedWithCode(1), "BOX: dead [|] end");
  EXPECT_EQ(log_body(), memory_report_line + "\ndead\n\n\nend\n(fatal.cpp line 99)\n");
  std::string dump = crawl();
  // The dump starts at the shell's alert, reached through the call the lower layers make.
  EXPECT_EQ(dump.rfind("an earlier crash\n  0) shell_alert(", 0), 0u) << dump;
  EXPECT_NE(dump.find("\n  1) __MACIBM_alert("), std::string::npos) << dump;
  EXPECT_NE(dump.find("Alerts_FatalAlertAppendsAStackDump"), std::string::npos) << dump;
}

TEST_F(Alerts, AlertRaisedWhileAnotherShowsEndsTheProcess) {
  EXPECT_EXIT(
      {
        MACIBM_open_log(dir.path());
        platform_set_alert_box([](const std::string& m, const std::string& e) {
          print_box(m, e);
          if (boxes.size() == 1) __MACIBM_alert(0, "inner", "", "", "", t_alert, "inner.cpp", 2);
        });
        __MACIBM_alert(0, "outer", "", "", "", t_alert, "outer.cpp", 1);
      },
      testing::ExitedWithCode(1), "BOX: outer [|] *\nBOX: inner [|] ");
  EXPECT_EQ(log_body(), memory_report_line + "\ninner\n\n\n\n(inner.cpp line 2)\n");
  EXPECT_FALSE(path_exists(dir.path() + "stack_crawl.txt"));
}

// Each worker runs through the thread layer's trampoline; the main thread shows what they post
// as it would in its frames.
std::atomic<int> reached{0};
void run_worker(UTL_thread_func f) {
  UTL_thread t{}, id{}, join{};
  THREAD_create(f, nullptr, &t, &id, &join, 0);
  UTL_thread_join(t, join);
}
void workers_raise_a_warning_then_a_fatal_alert(const std::string& folder) {
  MACIBM_open_log(folder);
  THREAD_init();
  run_worker([](void*) -> void* {
    __MACIBM_alert(0, "chooser", "", "", "", t_lang, "w.cpp", 1);
    __MACIBM_alert(0, "warning", "", "", "", t_alert, "w.cpp", 2);
    reached = 1;
    return nullptr;
  });
  if (reached != 1 || !boxes.empty()) std::_Exit(10);
  THREAD_check_exception(1);
  if (boxes.size() != 1) std::_Exit(11);
  run_worker([](void*) -> void* {
    __MACIBM_alert(0, "fatal", "from a worker", "", "", t_exit, "w.cpp", 3);
    reached = 2;
    return nullptr;
  });
  if (reached != 1) std::_Exit(12);
  THREAD_check_exception(1);
  std::_Exit(13);
}

void thread_throws(const std::string& folder) {
  MACIBM_open_log(folder);
  THREAD_init();
  run_worker([](void*) -> void* { throw std::runtime_error("out of cheese"); });
  THREAD_check_exception(0);
  std::_Exit(10);
}

// On a worker: type 0 is dropped, type 1 is posted and the worker goes on, type 2 is posted
// and the worker ends there. The main thread shows them in order in its frames; the fatal one
// ends the process with status 1, never with the abort of a swallowed thread exit (134).
TEST_F(Alerts, WorkerAlertsReachTheMainThreadInOrder) {
  EXPECT_EXIT(workers_raise_a_warning_then_a_fatal_alert(dir.path()),
      testing::ExitedWithCode(1), "BOX: warning [|] *\nBOX: fatal from a worker[|] ");
  EXPECT_EQ(log_body(),
            memory_report_line + "\nwarning\n\n\n\n(w.cpp line 2)\n" + memory_report_line +
                "\nfatal\nfrom a worker\n\n\n(w.cpp line 3)\n");
  // The dump is taken where the main thread shows the report.
  EXPECT_NE(crawl().find("THREAD_check_exception(int) + "), std::string::npos) << crawl();
  EXPECT_NE(crawl().find("exce_class::Report() + "), std::string::npos) << crawl();
}

// A task whose do_it raises a fatal alert ends its pool thread and never comes back; draining
// the pool must show that report (which ends the process) instead of waiting for ever.
TEST_F(Alerts, DrainingAPoolWhoseTaskDiedShowsTheFatalReport) {
  struct dying_task : UTL_work_task {
    void do_it() override {
      __MACIBM_alert(0, "task died", "", "", "", t_exit, "task.cpp", 5);
    }
    int check_error(std::string&) override { return 0; }
  };
  EXPECT_EXIT(
      {
        MACIBM_open_log(dir.path());
        THREAD_init();
        UTL_worker_threads pool(1, 4);
        dying_task task;
        pool.enqueue_task(&task);
        while (pool.wait_retired_tasks()) {
        }
        std::_Exit(10);
      },
      testing::ExitedWithCode(1), "BOX: task died ");
  EXPECT_NE(log_body().find("task died\n"), std::string::npos);
}

TEST_F(Alerts, UncaughtExceptionOnAThreadIsReportedAsFatal) {
  EXPECT_EXIT(thread_throws(dir.path()),
      testing::ExitedWithCode(1), "BOX: Caught an unhandled C[+][+] exception out of cheese");
}

// Under "--fps_test" alerts are only logged: nothing is shown, an ordinary alert returns and a
// fatal one ends the process at once, after its stack dump.
void fps_test_alerts(const std::string& folder) {
  MACIBM_open_log(folder);
  cmdline["--fps_test"] = "";
  THREAD_init();
  platform_set_alert_box([](const std::string&, const std::string&) { std::_Exit(20); });
  __MACIBM_alert(0, "only", "logged", "", "", t_alert, "fps.cpp", 1);
  if (app_done != 0) std::_Exit(21);
  __MACIBM_alert(0, "fatal", "", "", "", t_exit, "fps.cpp", 2);
  std::_Exit(22);
}

TEST_F(Alerts, FpsTestOnlyLogs) {
  EXPECT_EXIT(fps_test_alerts(dir.path()), testing::ExitedWithCode(1), "");
  EXPECT_EQ(log_body(), "only\nlogged\n\n\n(fps.cpp line 1)\nfatal\n\n\n\n(fps.cpp line 2)\n");
  EXPECT_NE(crawl().find("FpsTestOnlyLogs"), std::string::npos) << crawl();
}

TEST_F(Alerts, FinishWithSavingStopsTheThreadsAndClosesTheLog) {
  // The preference file it writes goes to a folder of the test's own.
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", (dir.path() + "config").c_str(), 1);
  MACIBM_open_log(dir.path());
  THREAD_init();
  THREAD_make_workers();
  MACIBM_finishup(1);
  EXPECT_EQ(THREAD_is_inited(), 0);
  EXPECT_FALSE(xer.is_open());
  std::string body = log_body();
  EXPECT_EQ(body.rfind("CPU count        : ", 0), 0u);
  EXPECT_EQ(body.substr(body.size() - 25), "Clean exit from threads.\n");
  EXPECT_TRUE(path_exists(dir.path() + "config/Skyrill Installer.prf"));
  if (old) setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else unsetenv("XDG_CONFIG_HOME");
}

TEST_F(Alerts, LogHeaderKeepsItsLabels) {
  std::string h = MACIBM_log_header();
  EXPECT_EQ(h.rfind("Installer log.txt for Skyrill Web Updater 2.04r1 compiled on ", 0), 0u);
  for (const char* label :
       {"\n\nThis log file is generated automatically by Corvane applications and contains "
        "diagnostics about your graphics hardware, installation, and any error conditions.\n"
        "If you need to contact tech support or file a bug, please send us this file. NOTE: this "
        "file is rewritten every time you start ANY of your Nimbrel applications.\n\nLinux ",
        "\nCPU type: ", ") CPU speed (mhz): ", " Bus speed (mhz): ? RAM (MB): ",
        "\n\nNimbrel folder:'', case sensitive=0\n\n"})
    EXPECT_NE(h.find(label), std::string::npos) << label;
}

}  // namespace
