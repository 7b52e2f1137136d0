#include "support/shell_double.h"

#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <sstream>
#include <thread>

#include "install/release_builder_display.h"
#include "runtime/error_report.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "runtime/thread_layer.h"

std::ofstream xer;
int app_done = 0;
std::string app_path;
int g_case_sensitive = 0;

namespace {
std::mutex lock;
std::vector<recorded_alert> alert_log;
std::vector<int> finish_log;
std::vector<std::string> url_log;
std::vector<shell_double::builder_progress_line> progress_log;
int q_at_poll = 0;
int polls = 0;
int unfocus_calls = 0;
std::string log_path;
const std::thread::id main_id = std::this_thread::get_id();

struct opener {
  opener() { shell_double::reopen_log(); }
  ~opener() {
    if (!log_path.empty()) unlink(log_path.c_str());
  }
} open_at_start;
}  // namespace

void __MACIBM_alert(int screen, std::string l1, std::string l2, std::string l3, std::string l4,
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
  // Off the main thread the real alert posts the report to the main thread, and a fatal one
  // ends the calling thread there; tests of the thread layer rely on the same routing.
  if (THREAD_is_inited() && !THREAD_is_main_thread())
    THREAD_send_exception(exce_class(l1, l2, l3, l4, file, line, type));
}

void MACIBM_finishup(int save) {
  std::lock_guard<std::mutex> g(lock);
  finish_log.push_back(save);
}

std::string UTL_translate_string(const std::string& english) { return english; }

void go_to_URL(std::string url) {
  std::lock_guard<std::mutex> g(lock);
  url_log.push_back(url);
}

void builder_draw_progress(const std::string& status, const std::string& path) {
  std::lock_guard<std::mutex> g(lock);
  progress_log.push_back({status, path});
}

int builder_poll_key_q() {
  std::lock_guard<std::mutex> g(lock);
  return ++polls == q_at_poll;
}

namespace shell_double {
std::vector<builder_progress_line> builder_progress() {
  std::lock_guard<std::mutex> g(lock);
  return progress_log;
}
void press_q_at_poll(int nth) {
  std::lock_guard<std::mutex> g(lock);
  q_at_poll = nth;
  polls = 0;
}
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
void reset() {
  std::lock_guard<std::mutex> g(lock);
  alert_log.clear();
  finish_log.clear();
  url_log.clear();
  progress_log.clear();
  q_at_poll = 0;
  polls = 0;
  app_done = 0;
  unfocus_calls = 0;
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

// The shell's shared records, as the lower layers see them.
mnw_struct mnw;
colr_class colr;
cmnd_class cmnd;
xtim_class xtim;

void BTN_unfocus_any() { ++unfocus_calls; }

int shell_double::unfocus_count() { return unfocus_calls; }
