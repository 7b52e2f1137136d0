#include "support/program_driver.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

#include "support/process.h"

extern char** environ;

namespace {

double seconds_now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void pause_briefly(int ms = 100) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The numbers of an xdotool "--shell" answer ("X=12" lines), by name.
std::map<std::string, int> xdotool_values(const std::vector<std::string>& args) {
  std::map<std::string, int> values;
  std::istringstream lines(run_process(args).out);
  for (std::string line; std::getline(lines, line);) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = std::atoi(line.c_str() + eq + 1);
  }
  return values;
}

int count_of(const std::string& text, const std::string& piece) {
  int n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size())) ++n;
  return n;
}

}  // namespace

program_driver::program_driver() {
  std::filesystem::copy_file(SKY_BINARY_DIR "/src/skyrill-installer", dir_.path() + "skyrill-installer");
  std::filesystem::copy(SKY_BINARY_DIR "/src/Resources", dir_.path() + "Resources",
                        std::filesystem::copy_options::recursive);
  make_folders(config_folder());
}

program_driver::~program_driver() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    reap(true);
  }
}

std::string program_driver::log() const { return read_whole_file(log_path()); }

bool program_driver::start(const std::vector<std::string>& args, const std::vector<std::string>& env,
                           std::string* problem) {
  auto fail = [&](const std::string& why) {
    if (problem) *problem = why;
    return false;
  };
  std::string display_problem;
  if (!test_display(&display_problem)) return fail(display_problem);
  if (running()) return fail("the program still runs");
  status_ = -1;
  std::remove(log_path().c_str());

  std::vector<std::string> argv = {dir_.path() + "skyrill-installer"};
  argv.insert(argv.end(), args.begin(), args.end());
  // Under AddressSanitizer the leak check is left to the unit tests: at this program's exit the
  // system libraries behind the window keep allocations and threads that LeakSanitizer's tracer
  // sometimes cannot stop.
  std::vector<std::string> environment = {"XDG_CONFIG_HOME=" + config_folder(), "ASAN_OPTIONS=detect_leaks=0"};
  environment.insert(environment.end(), env.begin(), env.end());
  std::vector<std::string> merged;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const std::string& mine : environment)
      replaced = replaced || entry.compare(0, mine.find('=') + 1, mine, 0, mine.find('=') + 1) == 0;
    if (!replaced) merged.push_back(entry);
  }
  merged.insert(merged.end(), environment.begin(), environment.end());

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string out = dir_.path() + "output.txt";
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addchdir_np(&actions, elsewhere_.path().c_str());
  std::vector<char*> a, e;
  for (std::string& s : argv) a.push_back(s.data());
  a.push_back(nullptr);
  for (std::string& s : merged) e.push_back(s.data());
  e.push_back(nullptr);
  const int rc = posix_spawn(&pid_, a[0], &actions, nullptr, a.data(), e.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    pid_ = -1;
    return fail(std::string("spawn failed: ") + std::strerror(rc));
  }

  window_.clear();
  const bool shown = wait_until(
      [&] {
        if (!running()) return true;
        const std::string found = run_process({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid_)}).out;
        window_ = found.substr(0, found.find('\n'));
        return !window_.empty();
      },
      60);
  if (!shown || window_.empty())
    return fail("no window; the program's output:\n" + read_whole_file(out) + "\nits log:\n" + log());
  const std::map<std::string, int> geometry = xdotool_values({"xdotool", "getwindowgeometry", "--shell", window_});
  for (auto [key, value] : {std::pair{"WIDTH", &width_}, {"HEIGHT", &height_}, {"X", &left_}, {"Y", &top_}})
    if (geometry.count(key)) *value = geometry.at(key);
  // The keyboard goes to the window (there is no window manager to give it focus).
  xdotool({"windowfocus", "--sync", window_});
  return true;
}

bool program_driver::reap(bool block) {
  if (pid_ <= 0) return true;
  int status = 0;
  const pid_t r = waitpid(pid_, &status, block ? 0 : WNOHANG);
  if (r == 0) return false;
  status_ = r < 0 ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  pid_ = -1;
  return true;
}

bool program_driver::running() { return !reap(false); }

void program_driver::xdotool(std::vector<std::string> args) {
  args.insert(args.begin(), "xdotool");
  process_result r = run_process(args);
  EXPECT_EQ(r.exit_code, 0) << args[1] << ": " << r.err;
}

void program_driver::page_to_window(float x, float y, int* px, int* py) const {
  *px = static_cast<int>(x * width_ / 800.0f);
  *py = height_ - static_cast<int>(y * height_ / 600.0f);
}

void program_driver::move_to(float x, float y) {
  int px = 0, py = 0;
  page_to_window(x, y, &px, &py);
  // "mousemove --sync" waits for the pointer to leave where it is: sent to the place it already
  // has, it waits out its whole retry budget (15 s) and then reports success.
  const std::map<std::string, int> pointer = xdotool_values({"xdotool", "getmouselocation", "--shell"});
  if (pointer.count("X") && pointer.count("Y") && pointer.at("X") == left_ + px && pointer.at("Y") == top_ + py) return;
  xdotool({"mousemove", "--window", window_, "--sync", std::to_string(px), std::to_string(py)});
}

void program_driver::click(float x, float y) {
  move_to(x, y);
  // The program reads the pointer once a frame: let a frame see it before the press.
  pause_briefly(150);
  xdotool({"mousedown", "1"});
  pause_briefly(120);
  xdotool({"mouseup", "1"});
  pause_briefly(150);
}

void program_driver::type(const std::string& text) {
  xdotool({"windowfocus", "--sync", window_});
  xdotool({"type", "--delay", "120", "--", text});
  pause_briefly(200);
}

void program_driver::keys(const std::vector<std::string>& keysyms) {
  xdotool({"windowfocus", "--sync", window_});
  std::vector<std::string> args = {"key", "--delay", "120"};
  args.insert(args.end(), keysyms.begin(), keysyms.end());
  xdotool(args);
  pause_briefly(200);
}

bool program_driver::wait_for_log(const std::string& text, int count, double timeout_seconds) {
  return wait_until([&] { return count_of(log(), text) >= count; }, timeout_seconds);
}

bool program_driver::wait_until(const std::function<bool()>& condition, double timeout_seconds) {
  const double until = seconds_now() + timeout_seconds;
  for (;;) {
    if (condition()) return true;
    if (seconds_now() > until) return false;
    pause_briefly();
  }
}

gl_picture program_driver::screenshot() {
  gl_picture picture;
  const std::string file = dir_.path() + "screen.png";
  std::ostringstream crop;
  crop << width_ << "x" << height_ << "+" << left_ << "+" << top_;
  if (run_process({"import", "-window", "root", "-crop", crop.str(), "+repage", file}).exit_code != 0) return picture;
  if (!read_png(file, &picture)) return gl_picture();
  return picture;
}

std::string program_driver::save_screenshot(const std::string& name) {
  const std::string folder = std::string(SKY_BINARY_DIR) + "/screenshots";
  mkdir(folder.c_str(), 0755);
  const std::string path = folder + "/" + name + ".png";
  const gl_picture picture = screenshot();
  return picture.width && write_png(path, picture) ? path : std::string();
}

bool program_driver::wait_for_picture(const std::function<bool(const gl_picture&)>& condition,
                                      double timeout_seconds) {
  return wait_until(
      [&] {
        const gl_picture picture = screenshot();
        return picture.width > 0 && condition(picture);
      },
      timeout_seconds);
}

int program_driver::wait_exit(double timeout_seconds) {
  if (!wait_until([&] { return reap(false); }, timeout_seconds)) {
    kill(pid_, SIGKILL);
    reap(true);
    return -1;
  }
  return status_;
}

int program_driver::quit(double timeout_seconds) {
  if (pid_ > 0) kill(pid_, SIGTERM);
  return wait_exit(timeout_seconds);
}

int pixels_differing(const gl_picture& a, const gl_picture& b, int tolerance) {
  if (a.width != b.width || a.height != b.height) return a.width * a.height + b.width * b.height;
  int n = 0;
  for (size_t i = 0; i + 3 < a.rgba.size(); i += 4) {
    bool differs = false;
    for (int c = 0; c < 3; ++c) differs = differs || std::abs(int(a.rgba[i + c]) - int(b.rgba[i + c])) > tolerance;
    n += differs;
  }
  return n;
}
