#include "support/shell_double.h"

#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <sstream>
#include <thread>

#include "runtime/error_report.h"
#include "runtime/shell_services.h"
#include "runtime/thread_layer.h"

namespace {
std::mutex lock;
std::vector<recorded_alert> alert_log;
std::vector<int> finish_log;
std::vector<std::string> url_log;
std::string log_path;
void (*alert_action)(const recorded_alert&) = nullptr;
const std::thread::id main_id = std::this_thread::get_id();

void record_alert(int screen, std::string l1, std::string l2, std::string l3, std::string l4,
                  int type, const char* file, int line);
void record_finishup(int save);
std::string identity(const std::string& english) { return english; }
void record_url(std::string url);

// Installed before any test runs; the double is linked into every test program whole.
struct opener {
  opener() {
    shell_hooks hooks;
    hooks.alert = record_alert;
    hooks.finishup = record_finishup;
    hooks.translate = identity;
    hooks.open_url = record_url;
    install_shell_hooks(hooks);
    shell_double::reopen_log();
  }
  ~opener() {
    if (!log_path.empty()) unlink(log_path.c_str());
  }
} open_at_start;
void record_alert(int screen, std::string l1, std::string l2, std::string l3, std::string l4,
                  int type, const char* file, int line) {
  recorded_alert a;
  a.screen = screen;
  a.lines[0] = l1;
  a.lines[1] = l2;
  a.lines[2] = l3;
  a.lines[3] = l4;
  a.type = type;
  a.file = file ? file : "";
  a.line = line;
  a.on_main_thread = std::this_thread::get_id() == main_id;
  {
    std::lock_guard<std::mutex> g(lock);
    alert_log.push_back(a);
  }
  if (alert_action) alert_action(a);
  // Off the main thread the real alert posts the report to the main thread, and a fatal one
  // ends the calling thread there; tests of the thread layer rely on the same routing.
  if (THREAD_is_inited() && !THREAD_is_main_thread())
    THREAD_send_exception(exce_class(l1, l2, l3, l4, file, line, type));
}

void record_finishup(int save) {
  std::lock_guard<std::mutex> g(lock);
  finish_log.push_back(save);
}

void record_url(std::string url) {
  std::lock_guard<std::mutex> g(lock);
  url_log.push_back(url);
}

}  // namespace

namespace shell_double {
std::vector<recorded_alert> alerts() {
  std::lock_guard<std::mutex> g(lock);
  return alert_log;
}
std::vector<int> finishups() {
  std::lock_guard<std::mutex> g(lock);
  return finish_log;
}
std::vector<std::string> urls() {
  std::lock_guard<std::mutex> g(lock);
  return url_log;
}
void set_alert_action(void (*action)(const recorded_alert& alert)) { alert_action = action; }
void reset() {
  std::lock_guard<std::mutex> g(lock);
  alert_action = nullptr;
  alert_log.clear();
  finish_log.clear();
  url_log.clear();
  app_done = 0;
}
std::string reopen_log() {
  if (xer.is_open()) xer.close();
  if (!log_path.empty()) unlink(log_path.c_str());
  const char* tmp = std::getenv("TMPDIR");
  std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/sky_test_log_XXXXXX";
  int fd = mkstemp(templ.data());
  if (fd >= 0) close(fd);
  log_path = templ;
  xer.open(log_path, std::ios::out | std::ios::trunc);
  return log_path;
}
std::string log_text() {
  xer.flush();
  std::ifstream in(log_path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
}  // namespace shell_double
