// One start of a program for bench/startup: the time from exec to its first buffer swaps, and
// then its CPU use while it sits with the window open.
//   startup_bench MARKER_LIBRARY SWAPS IDLE_SECONDS PROGRAM [ARGS...]
// The program runs with MARKER_LIBRARY preloaded (startup_swap_marker.c), which notes the
// monotonic clock of its first SWAPS swaps and the last one's size, centre colour and colour
// count (and writes that frame to SKY_FIRST_FRAME_PICTURE when it is set). The start clock is
// read here just before the fork. Once the frames are marked, the program is left alone for one
// second, then its user and system time (all threads, from /proc) is measured over
// IDLE_SECONDS (none for 0); then it gets SIGTERM (SIGKILL after 10 s). Prints one line:
//   first_frame_ms <ms> last_frame_ms <ms> size <w>x<h> centre <rrggbb> colours <n>
//   idle_cpu_percent <p or -1>
// and fails when the program ends or gives no such frame within 60 s.
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

double now_s() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// User plus system clock ticks of the process and all its threads; -1 when it is gone.
long cpu_ticks(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string all;
  if (!std::getline(in, all)) return -1;
  // The command name may hold blanks and parentheses: the fields start after the last ')'.
  const size_t close = all.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(all.substr(close + 2));
  std::string f;
  long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> f; ++i) {
    if (i == 14) utime = std::atol(f.c_str());
    if (i == 15) stime = std::atol(f.c_str());
  }
  return utime + stime;
}

bool exited(pid_t pid, int* status) { return waitpid(pid, status, WNOHANG) == pid; }

void stop(pid_t pid) {
  int status = 0;
  kill(pid, SIGTERM);
  for (int i = 0; i < 1000; ++i) {
    if (exited(pid, &status)) return;
    usleep(10000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: startup_bench MARKER_LIBRARY SWAPS IDLE_SECONDS PROGRAM [ARGS...]\n");
    return 2;
  }
  const std::string library = argv[1];
  const std::string swaps = argv[2];
  const double idle = std::atof(argv[3]);
  char** program = argv + 4;
  char marker_template[] = "/tmp/sky_startup_marker_XXXXXX";
  const int fd = mkstemp(marker_template);
  if (fd < 0) return 1;
  close(fd);
  unlink(marker_template);
  const std::string marker = marker_template;

  const double start = now_s();
  const pid_t pid = fork();
  if (pid < 0) return 1;
  if (pid == 0) {
    setenv("LD_PRELOAD", library.c_str(), 1);
    setenv("SKY_FIRST_FRAME_MARKER", marker.c_str(), 1);
    setenv("SKY_MARK_SWAPS", swaps.c_str(), 1);
    execvp(program[0], program);
    std::perror("exec");
    _exit(127);
  }

  // The marker line is written whole by one fclose; wait for its newline.
  std::string line;
  int status = 0;
  for (;;) {
    std::ifstream in(marker);
    if (std::getline(in, line) && !in.eof()) break;
    line.clear();
    if (exited(pid, &status)) {
      std::fprintf(stderr, "%s ended before its first frame (status %d)\n", program[0], status);
      return 1;
    }
    if (now_s() - start > 60) {
      std::fprintf(stderr, "%s showed no frame in 60 s\n", program[0]);
      stop(pid);
      return 1;
    }
    usleep(500);
  }
  unlink(marker.c_str());

  // swaps <n> times <t1> ... <tn> size <w>x<h> centre <rrggbb> colours <count>
  std::istringstream fields(line);
  std::string word, size, centre;
  int n = 0, colours = -1;
  double first_at = 0, last_at = 0;
  fields >> word >> n >> word;
  for (int i = 0; i < n; ++i) {
    fields >> last_at;
    if (i == 0) first_at = last_at;
  }
  fields >> word >> size >> word >> centre >> word >> colours;
  if (!fields || n < 1) {
    std::fprintf(stderr, "unreadable marker: %s\n", line.c_str());
    stop(pid);
    return 1;
  }

  double cpu_percent = -1;
  if (idle > 0) {
    usleep(1000000);
    const long t0 = cpu_ticks(pid);
    const double w0 = now_s();
    usleep(static_cast<useconds_t>(idle * 1e6));
    const long t1 = cpu_ticks(pid);
    const double w1 = now_s();
    if (t0 >= 0 && t1 >= 0)
      cpu_percent = 100.0 * static_cast<double>(t1 - t0) / static_cast<double>(sysconf(_SC_CLK_TCK)) / (w1 - w0);
  }
  if (exited(pid, &status)) {
    std::fprintf(stderr, "%s ended while idle (status %d)\n", program[0], status);
    return 1;
  }
  stop(pid);
  std::printf("first_frame_ms %.1f last_frame_ms %.1f size %s centre %s colours %d idle_cpu_percent %.1f\n",
              (first_at - start) * 1000, (last_at - start) * 1000, size.c_str(), centre.c_str(), colours,
              cpu_percent);
  return 0;
}
