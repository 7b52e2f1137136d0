// The release builder's display as tests see it: every progress line recorded, and the key q
// pressed at a chosen poll. Installed before any test runs in a program that uses it.
#include <mutex>

#include "install/release_builder_display.h"
#include "support/shell_double.h"

namespace {
std::mutex lock;
std::vector<shell_double::builder_progress_line> progress_log;
int q_at_poll = 0;
int polls = 0;

void record_progress(const std::string& status, const std::string& path) {
  std::lock_guard<std::mutex> g(lock);
  progress_log.push_back({status, path});
}

int poll_key_q() {
  std::lock_guard<std::mutex> g(lock);
  return ++polls == q_at_poll;
}

const bool installed = (set_builder_display(record_progress, poll_key_q), true);
}  // namespace

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
void reset_builder_display() {
  std::lock_guard<std::mutex> g(lock);
  progress_log.clear();
  q_at_poll = 0;
  polls = 0;
}
}  // namespace shell_double
