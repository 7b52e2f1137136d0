// The real installer program on the test display, driven the way a user drives it: a copy of
// the built program with its Resources folder in a private folder, started with arguments,
// its window found by its process id, and xdotool for the pointer and the keyboard. Positions
// are points of the program's 800 x 600 page (y up), scaled to the window's pixels.
//
// Under load xdotool and the program's frames run at their own pace: wait on what the program
// writes to its log, or on what its window shows, never on a fixed sleep alone.
//
// A test file that uses it includes support/display_fixture.h too, which labels it "display".
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "support/display_fixture.h"
#include "support/temp_tree.h"

class program_driver {
 public:
  program_driver();
  // Ends the program when it still runs (killed), so a failed test leaves nothing behind.
  ~program_driver();
  program_driver(const program_driver&) = delete;
  program_driver& operator=(const program_driver&) = delete;

  // The folder holding the program and its Resources, ending with "/"; its log is written there.
  const std::string& folder() const { return dir_.path(); }
  // The settings folder given as XDG_CONFIG_HOME (kept over restarts), ending with "/".
  std::string config_folder() const { return dir_.path() + "config/"; }
  std::string log_path() const { return dir_.path() + "Skyrill Installer Log.txt"; }
  std::string log() const;

  // Starts the program on the test display with these arguments and extra environment
  // ("NAME=value"), then waits for its window. False with *problem set when it cannot start or
  // shows no window in time. A program that has ended may be started again (its log is then
  // written anew).
  bool start(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
             std::string* problem = nullptr);
  bool running();
  pid_t pid() const { return pid_; }
  const std::string& window() const { return window_; }

  // Moves the pointer to a page point and clicks the left button.
  void click(float x, float y);
  // Moves the pointer to a page point without clicking.
  void move_to(float x, float y);
  // Types text (UTF-8) with the keyboard, as xdotool's "type" does, a key at a time.
  void type(const std::string& text);
  // Presses keys by X key symbol name ("Left", "BackSpace", "Delete", "Return", "ctrl+a").
  void keys(const std::vector<std::string>& keysyms);

  // Waits until the log holds text at least count times; false at the timeout.
  bool wait_for_log(const std::string& text, int count = 1, double timeout_seconds = 60);
  // Waits until the condition holds, looking every tenth of a second; false at the timeout.
  bool wait_until(const std::function<bool()>& condition, double timeout_seconds = 60);

  // What the window shows now (rows bottom first, as gl_picture keeps them); empty on failure.
  gl_picture screenshot();
  // The same, also written to <build>/screenshots/<name>.png to look at; returns the path.
  std::string save_screenshot(const std::string& name);
  // Waits until the window's picture satisfies the condition (a few pictures a second).
  bool wait_for_picture(const std::function<bool(const gl_picture&)>& condition, double timeout_seconds = 30);

  // Asks the program to end as the system does (SIGTERM, which the window layer turns into its
  // quit request) and returns its exit status (128 + signal when killed, -1 when it had to be
  // killed after the timeout).
  int quit(double timeout_seconds = 30);
  // Waits for the program to end by itself and returns its status as quit() does.
  int wait_exit(double timeout_seconds = 60);

 private:
  void xdotool(std::vector<std::string> args);
  // Collects the exit status when the program has ended (waiting for it when block is set);
  // true when it is no longer running.
  bool reap(bool block);
  void page_to_window(float x, float y, int* px, int* py) const;

  temp_tree dir_;
  temp_tree elsewhere_;  // the working folder, so nothing relies on it being the program's
  pid_t pid_ = -1;
  int status_ = -1;
  std::string window_;
  int width_ = 800, height_ = 600, left_ = 0, top_ = 0;
};

// The number of pixels that differ by more than tolerance in any channel (all of them when the
// sizes differ).
int pixels_differing(const gl_picture& a, const gl_picture& b, int tolerance = 8);
