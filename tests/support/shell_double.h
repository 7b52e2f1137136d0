// A stand-in for the shell in unit tests of the lower layers, installed as the lower layers'
// hooks before any test runs: alerts and finish calls are recorded instead of shown, translation is the identity, and the log goes to a file of the
// test's own choosing (a temporary file by default). Like the real alert, one raised off the
// main thread while the thread layer runs is also posted to the main thread, and a fatal one
// ends the calling thread.
#pragma once

#include <string>
#include <vector>

struct recorded_alert {
  int screen = 0;
  std::string lines[4];
  int type = 0;
  std::string file;
  int line = 0;
  bool on_main_thread = true;
};

namespace shell_double {
// Every alert raised since the last reset, in order. Safe to read once the raising threads end.
std::vector<recorded_alert> alerts();
// Every MACIBM_finishup argument since the last reset.
std::vector<int> finishups();
// Every go_to_URL argument since the last reset.
std::vector<std::string> urls();
// Runs after each alert is recorded, on the raising thread (null: nothing): a test's stand-in
// for the user who puts something right before dismissing the alert. reset() removes it.
void set_alert_action(void (*action)(const recorded_alert& alert));
void reset();
// Reopens xer on a fresh file and returns its path; log_text() reads what was written so far.
std::string reopen_log();
std::string log_text();

// The release builder's progress display: every (status line, path) drawn since the last reset.
struct builder_progress_line {
  std::string status;
  std::string path;
};
std::vector<builder_progress_line> builder_progress();
// The key poll answers q at its nth call after the reset (1 is the first); 0 never.
void press_q_at_poll(int nth);
// Forgets the progress lines and the key press (reset() leaves the builder's display alone).
void reset_builder_display();
}  // namespace shell_double
